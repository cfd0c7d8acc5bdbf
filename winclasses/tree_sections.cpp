#include "winclasses/tree_sections.h"

#include <algorithm>
#include <cstdlib>

#include "platform/rt/text.h"
#include "platform/ui/binding.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"

#include <stdexcept>

namespace ov::winclasses {

namespace {

constexpr size_t kPositionSize = 512;

std::string folded(std::string_view s) { return rt::UPPER(rt::CLIP(s)); }

const rt::FieldDesc* fieldNamed(const rt::RecordDesc& record, std::string_view name) {
  for (const rt::FieldDesc& f : record.fields)
    if (folded(f.name) == folded(name)) return &f;
  return nullptr;
}

int64_t positionOf(std::string_view text) { return std::strtoll(std::string(text).c_str(), nullptr, 10); }

}  // namespace

// ---- sections -----------------------------------------------------------------------------------

uint8_t TreeSection::LoadSection(uint16_t level, long flags) {
  P_Reset((flags & 2) ? 1 : 0);
  bool added = false;
  for (;;) {
    const uint8_t status = P_Next();
    if (status == kTreeEndOfRange) break;
    if (status != kTreeOk) return status;
    if (flags & 1) return kTreeOk;  // there is a row: that is all a probe asks
    TM->addRow(*this, level, rowText(), P_Position());
    added = true;
  }
  return added ? kTreeOk : kTreeNoRecords;
}

uint8_t TreeSection::P_SyncTreeSection(uint16_t row, uint8_t /*flag*/) {
  if (!TM || row >= TM->Rows.size()) return kTreeNoRecords;
  // The rows from the top of the row's branch down to the row itself, each made current.
  std::vector<size_t> chain{row};
  int depth = std::abs(TM->Rows[row].Level);
  for (size_t i = row; i-- > 0 && depth > 1;) {
    if (std::abs(TM->Rows[i].Level) < depth) {
      chain.push_back(i);
      depth = std::abs(TM->Rows[i].Level);
    }
  }
  uint8_t status = kTreeOk;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const TreeRow& r = TM->Rows[*it];
    if (TreeSection* s = TM->section(r.Section)) status = s->P_TryReget(r.Position, 0);
  }
  return status;
}

uint8_t HeaderSection::LoadSection(uint16_t level, long flags) {
  if (flags & 1) return kTreeOk;
  TM->addRow(*this, level, rowText(), TM->parentPosition());
  return kTreeOk;
}

uint8_t FooterSection::LoadSection(uint16_t level, long flags) {
  if (flags & 1) return kTreeOk;
  TM->addRow(*this, level, rowText(), TM->parentPosition());
  return kTreeOk;
}

uint8_t FileSection::LoadSection(uint16_t level, long flags) {
  P_Reset((flags & 2) ? 1 : 0);
  const std::vector<std::string> values = m_values;
  const db::Key readKey = m_readKey;
  bool added = false;
  for (;;) {
    const uint8_t status = P_Next();
    if (status == kTreeEndOfRange) break;
    if (status != kTreeOk) return status;
    if (flags & 1) return kTreeOk;  // there is a row: that is all a probe asks
    const int64_t position = m_file.file().position();
    const int resets = m_resets;
    TM->addRow(*this, level, rowText(), std::to_string(position));
    added = true;
    if (m_resets != resets) {
      // The row's own sub-levels were read from this file: back to this level's read.
      m_values = values;
      m_readKey = readKey;
      resumeAfter(position);
    }
  }
  return added ? kTreeOk : kTreeNoRecords;
}

void FileSection::resumeAfter(int64_t position) {
  db::File& f = m_file.file();
  if (f.getPosition(position) != rt::Err::None) return;  // gone: the next read ends the level
  if (!m_readKey.isValid()) {
    if (f.setPosition(position) == rt::Err::None) (void)f.next();
    return;
  }
  if (f.setFrom(m_readKey) != rt::Err::None) return;
  while (f.next() == rt::Err::None)
    if (f.position() == position) return;
}

void FileSection::P_Reset(uint8_t secondOrder) {
  ++m_resets;
  m_readKey = secondOrder && RecurKey.isValid() ? RecurKey : m_key;
  db::File& f = m_file.file();
  m_values.clear();
  for (const TreeLink& link : Links) m_values.push_back(link.parentValue ? link.parentValue() : std::string());
  f.clear();
  for (size_t i = 0; i < Links.size(); ++i)
    if (const rt::FieldDesc* field = fieldNamed(f.record(), Links[i].childField))
      ui::Binding(f.buffer(), *field).setText(m_values[i]);
  if (m_readKey.isValid())
    (void)f.setFrom(m_readKey);  // a failure shows on the first read
  else
    (void)f.set();
}

bool FileSection::linked() const {
  const db::File& f = m_file.file();
  for (size_t i = 0; i < Links.size(); ++i) {
    const rt::FieldDesc* field = fieldNamed(f.record(), Links[i].childField);
    if (!field || folded(ui::Binding(f.buffer(), *field).text()) != folded(m_values[i])) return false;
  }
  return true;
}

uint8_t FileSection::P_Next() {
  for (;;) {
    const rt::Err err = m_file.file().next();
    if (err == rt::Err::NotAvailable) return kTreeEndOfRange;
    if (err != rt::Err::None) return static_cast<uint8_t>(err);
    if (linked()) return kTreeOk;
    // In key order the parent's records lie together: the first other one ends them.
    if (m_readKey.isValid()) return kTreeEndOfRange;
  }
}

std::string FileSection::P_Position() { return std::to_string(m_file.file().position()); }

uint8_t FileSection::P_TryReget(std::string_view position, uint8_t /*watch*/) {
  return m_file.file().getPosition(positionOf(position)) == rt::Err::None ? kTreeOk : kTreeNoRecords;
}

std::string FileSection::sourceName() const { return m_file.file().label(); }

void ViewSection::P_Reset(uint8_t /*secondOrder*/) {
  m_view.ClearRanges();
  for (const TreeLink& link : Links) m_view.AddRange(link.childField, link.parentValue ? link.parentValue() : "");
  (void)m_view.Open();  // a failure shows as no rows
  m_view.Reset();
}

uint8_t ViewSection::P_Next() {
  const rt::Err err = m_view.Next();
  if (err == rt::Err::None) return kTreeOk;
  if (err == rt::Err::NotAvailable) return kTreeEndOfRange;
  return static_cast<uint8_t>(err);
}

std::string ViewSection::P_Position() { return std::to_string(m_view.Primary.file().position()); }

uint8_t ViewSection::P_TryReget(std::string_view position, uint8_t /*watch*/) {
  return m_view.Primary.file().getPosition(positionOf(position)) == rt::Err::None ? kTreeOk : kTreeNoRecords;
}

std::string ViewSection::sourceName() const { return m_view.Primary.file().label(); }

uint8_t QueueSection::LoadSection(uint16_t level, long flags) {
  if (!MyQ || MyQ->empty()) return kTreeNoRecords;
  if (flags & 1) return kTreeOk;
  const std::vector<std::string> entries = std::move(*MyQ);
  MyQ->clear();
  const std::string parent = rt::CLIP(TM->parentPosition());
  for (size_t i = 0; i < entries.size(); ++i) {
    QPtr = static_cast<uint16_t>(i + 1);
    TM->addRow(*this, level, entries[i], parent + std::to_string(i + 1));
  }
  return kTreeOk;
}

uint8_t QueueSection::P_TryReget(std::string_view /*position*/, uint8_t /*watch*/) { return kTreeOk; }

// ---- the engine ---------------------------------------------------------------------------------

void TreeEngine::AddSection(TreeSection& section, TreeSection* parent) {
  m_sections.push_back(&section);
  section.SectionID = static_cast<uint16_t>(m_sections.size());
  section.MyParent = parent;
  section.TM = this;
}

TreeSection* TreeEngine::section(uint16_t id) const {
  return id >= 1 && id <= m_sections.size() ? m_sections[id - 1] : nullptr;
}

size_t TreeEngine::subtreeEnd(size_t row) const {
  const int depth = std::abs(Rows[row].Level);
  size_t end = row + 1;
  while (end < Rows.size() && std::abs(Rows[end].Level) > depth) ++end;
  return end;
}

uint8_t TreeEngine::loadLevel(TreeSection& s, int level, long flags) {
  const uint8_t status = s.LoadSection(static_cast<uint16_t>(level + s.NodeOffset), flags);
  if (status != kTreeOk && status != kTreeNoRecords)
    (void)ui::MESSAGE("Status " + std::to_string(status) + " attempting to load " + s.sourceName(), "Tree",
                      ui::Icon::Exclamation);
  return status;
}

template <class F>
auto TreeEngine::guarded(F&& load, decltype(load()) failed) -> decltype(load()) {
  const std::vector<TreeRow> before = Rows;
  const auto nodes = m_nodes;
  try {
    return load();
  } catch (const std::exception&) {
    Rows = before;
    m_nodes = nodes;
    m_insertAt = 0;
    m_parentPosition.clear();
    m_probe = m_probeFound = false;
    m_depth = 0;
    (void)ui::MESSAGE("Closing active window due to unrecoverable error", "Tree", ui::Icon::Hand);
    ui::POST(ui::EVENT::CloseWindow);
    return failed;
  }
}

std::vector<TreeSection*> TreeEngine::childSections(const TreeSection& own) const {
  std::vector<TreeSection*> children;
  if (own.Recursive) children.push_back(const_cast<TreeSection*>(&own));
  for (TreeSection* s : m_sections)
    if (s->MyParent == &own && s != &own) children.push_back(s);
  return children;
}

bool TreeEngine::repeatsAncestor(size_t row) const {
  int depth = std::abs(Rows[row].Level);
  for (size_t i = row; i-- > 0 && depth > 1;) {
    const int d = std::abs(Rows[i].Level);
    if (d >= depth) continue;
    depth = d;
    if (Rows[i].Section == Rows[row].Section && Rows[i].Position == Rows[row].Position) return true;
  }
  return false;
}

void TreeEngine::Load() {
  guarded([this] {
    Rows.clear();
    m_insertAt = 0;
    m_parentPosition.clear();
    m_depth = 1;
    for (TreeSection* s : m_sections)
      if (!s->MyParent) (void)loadLevel(*s, 1, 0);  // a failure is reported; the other sections load
    return 0;
  }, 0);
}

void TreeEngine::addRow(TreeSection& section, int level, std::string text, std::string position) {
  if (m_probe) {
    m_probeFound = true;
    return;
  }
  if (position.size() > kPositionSize) position.resize(kPositionSize);
  const size_t at = std::min(m_insertAt, Rows.size());
  Rows.insert(Rows.begin() + static_cast<std::ptrdiff_t>(at), TreeRow{std::move(text), level, section.SectionID, position});
  const std::string parent = m_parentPosition;
  const int depth = m_depth;
  const bool keep = settleRow(at, section);
  m_parentPosition = parent;
  m_depth = depth;
  const size_t end = subtreeEnd(at);
  if (!keep) {
    Rows.erase(Rows.begin() + static_cast<std::ptrdiff_t>(at), Rows.begin() + static_cast<std::ptrdiff_t>(end));
    m_insertAt = at;
  } else {
    m_insertAt = end;
  }
}

bool TreeEngine::settleRow(size_t row, TreeSection& section) {
  const bool hasChildSections = !childSections(section).empty() && !repeatsAncestor(row);
  const int depth = std::abs(Rows[row].Level);
  if (!hasChildSections) {
    Rows[row].Level = depth;
    return !section.ExcludeChildless;
  }
  const NodeKey key{section.SectionID, Rows[row].Position};
  const auto node = m_nodes.find(key);
  const bool wasExpanded = node != m_nodes.end() && node->second.expanded;
  if (LoadAll || depth < PreloadDepth || wasExpanded) {
    const int found = loadChildren(row, false);
    if (found == 0 && section.ExcludeChildless) return false;
    Rows[row].Level = depth;
    m_nodes[key].expanded = found != 0;
    return true;
  }
  const int found = section.AssumeChildren ? -1 : loadChildren(row, true);
  if (found == 0 && section.ExcludeChildless) return false;
  Rows[row].Level = found != 0 ? -depth : depth;
  return true;
}

int TreeEngine::LoadChildren(size_t row, bool probe) {
  return guarded([&] { return loadChildren(row, probe); }, 0);
}

int TreeEngine::loadChildren(size_t row, bool probe) {
  if (row >= Rows.size()) return 0;
  TreeSection* own = section(Rows[row].Section);
  if (!own) return 0;
  const std::vector<TreeSection*> children = repeatsAncestor(row) ? std::vector<TreeSection*>{} : childSections(*own);
  if (children.empty()) return 0;
  const int depth = std::abs(Rows[row].Level) + 1;
  if (depth > kMaxDepth) throw std::runtime_error("tree branch too deep");
  // A recursive load reads the files of the levels again: their records come back afterwards.
  std::vector<std::pair<db::File*, db::RecordImage>> saved;
  if (own->Recursive) {
    for (TreeSection* s : m_sections) {
      db::File* f = s->sourceFile();
      if (!f) continue;
      bool seen = false;
      for (const auto& [file, image] : saved) seen |= file == f;
      if (!seen) saved.emplace_back(f, f->saveBuffer());
    }
  }
  const size_t keepInsert = m_insertAt;
  const std::string keepParent = m_parentPosition;
  const int keepDepth = m_depth;
  const bool keepProbe = m_probe, keepFound = m_probeFound;
  // The row's record and its parents' records are current while its children are read.
  (void)own->P_SyncTreeSection(static_cast<uint16_t>(row), 0);
  m_parentPosition = Rows[row].Position;
  m_depth = depth;
  int result = 0;
  if (probe) {
    m_probe = true;
    m_probeFound = false;
    for (TreeSection* child : children) {
      if (child->AssumeChildren || loadLevel(*child, depth, child == own ? 3 : 1) == kTreeOk) {
        result = -1;
        break;
      }
    }
  } else {
    const size_t end = subtreeEnd(row);
    Rows.erase(Rows.begin() + static_cast<std::ptrdiff_t>(row + 1), Rows.begin() + static_cast<std::ptrdiff_t>(end));
    m_insertAt = row + 1;
    m_probe = false;
    for (TreeSection* child : children) {
      const uint8_t status = loadLevel(*child, depth, child == own ? 2 : 0);
      if (status != kTreeOk && status != kTreeNoRecords) break;  // reported; the rows read stay
    }
    // The children as loaded now; when they are other records than before, their sub-rows start
    // collapsed.
    std::vector<std::string> now;
    const size_t newEnd = subtreeEnd(row);
    for (size_t i = row + 1; i < newEnd; ++i)
      if (std::abs(Rows[i].Level) == depth) now.push_back(Rows[i].Position);
    Node& node = m_nodes[NodeKey{own->SectionID, Rows[row].Position}];
    if (!node.children.empty() && node.children != now) {
      for (size_t i = row + 1; i < subtreeEnd(row); ++i) {
        if (std::abs(Rows[i].Level) != depth || Rows[i].Level < 0 || subtreeEnd(i) == i + 1) continue;
        m_nodes[NodeKey{Rows[i].Section, Rows[i].Position}].expanded = false;
        Rows.erase(Rows.begin() + static_cast<std::ptrdiff_t>(i + 1), Rows.begin() + static_cast<std::ptrdiff_t>(subtreeEnd(i)));
        Rows[i].Level = -depth;
      }
    }
    node.children = now;
    result = now.empty() ? 0 : 1;
  }
  m_insertAt = keepInsert;
  m_parentPosition = keepParent;
  m_depth = keepDepth;
  m_probe = keepProbe;
  m_probeFound = keepFound;
  for (const auto& [file, image] : saved) file->restoreBuffer(image);
  return result;
}

void TreeEngine::Expand(size_t row) {
  if (row >= Rows.size() || Rows[row].Level > 0) return;
  TreeSection* own = section(Rows[row].Section);
  if (!own) return;
  guarded([&] {
    const int depth = std::abs(Rows[row].Level);
    Rows[row].Level = depth;
    const int found = loadChildren(row, false);
    m_nodes[NodeKey{own->SectionID, Rows[row].Position}].expanded = found != 0;
    return 0;
  }, 0);
}

void TreeEngine::Contract(size_t row) {
  if (row >= Rows.size() || Rows[row].Level < 0) return;
  const size_t end = subtreeEnd(row);
  if (end == row + 1) return;  // nothing under it
  Rows.erase(Rows.begin() + static_cast<std::ptrdiff_t>(row + 1), Rows.begin() + static_cast<std::ptrdiff_t>(end));
  Rows[row].Level = -Rows[row].Level;
  m_nodes[NodeKey{Rows[row].Section, Rows[row].Position}].expanded = false;
}

}  // namespace ov::winclasses
