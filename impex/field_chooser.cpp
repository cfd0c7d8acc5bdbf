#include "impex/field_chooser.h"

#include <algorithm>

#include "impex/csv.h"
#include "platform/ui/event.h"

namespace ov::impex {

FieldChooser::FieldChooser(const ImpexTable& table) {
  for (const ImpexField& f : table.fields) m_list[All].push_back({f.name, f.picture, false});
  m_list[Chosen] = m_list[All];
  for (List l : {All, Chosen})
    if (!m_list[l].empty()) click(l, 0);
}

void FieldChooser::click(List l, int index) {
  if (index < 0 || index >= static_cast<int>(m_list[l].size())) return;
  for (ChooserEntry& e : m_list[l]) e.marked = false;
  m_list[l][static_cast<size_t>(index)].marked = true;
  m_current[l] = m_anchor[l] = index;
}

void FieldChooser::toggle(List l, int index) {
  if (index < 0 || index >= static_cast<int>(m_list[l].size())) return;
  ChooserEntry& e = m_list[l][static_cast<size_t>(index)];
  e.marked = !e.marked;
  m_current[l] = m_anchor[l] = index;
}

void FieldChooser::extend(List l, int index) {
  if (index < 0 || index >= static_cast<int>(m_list[l].size())) return;
  if (m_anchor[l] < 0) return click(l, index);
  const int lo = std::min(m_anchor[l], index), hi = std::max(m_anchor[l], index);
  for (int i = 0; i < static_cast<int>(m_list[l].size()); ++i) m_list[l][static_cast<size_t>(i)].marked = i >= lo && i <= hi;
  m_current[l] = index;
}

void FieldChooser::moveTo(List l, int index) {
  if (index < 0 || index >= static_cast<int>(m_list[l].size())) return;
  m_current[l] = index;
}

void FieldChooser::select(List l, int index, int keycode) {
  namespace Key = ui::Key;
  const int key = keycode & ~Key::ModifierMask;
  const bool shift = (keycode & Key::Shift) != 0, ctrl = (keycode & Key::Ctrl) != 0;
  switch (key) {
    case Key::Space:
      toggle(l, m_current[l]);
      return;
    case Key::MouseLeft:
      if (shift) extend(l, index);
      else if (ctrl) toggle(l, index);
      else click(l, index);
      return;
    case Key::Up:
    case Key::Down:
    case Key::PgUp:
    case Key::PgDn:
    case Key::Home:
    case Key::End:
      if (shift) extend(l, index);
      else moveTo(l, index);
      return;
    default:
      click(l, index);
      return;
  }
}

void FieldChooser::addMarked() {
  for (const ChooserEntry& e : m_list[All]) {
    if (!e.marked) continue;
    auto it = std::find_if(m_list[Chosen].begin(), m_list[Chosen].end(),
                           [&](const ChooserEntry& c) { return c.field == e.field; });
    if (it != m_list[Chosen].end()) {
      it->marked = true;
      continue;
    }
    m_list[Chosen].push_back({e.field, e.picture, true});
    if (m_list[Chosen].size() == 1) m_current[Chosen] = 0;
  }
}

void FieldChooser::removeMarked() {
  auto& list = m_list[Chosen];
  for (int i = static_cast<int>(list.size()) - 1; i >= 0; --i) {
    if (!list[static_cast<size_t>(i)].marked) continue;
    list.erase(list.begin() + i);
    if (i <= m_current[Chosen]) --m_current[Chosen];
  }
  if (list.empty()) m_current[Chosen] = -1;
  else m_current[Chosen] = std::clamp(m_current[Chosen], 0, static_cast<int>(list.size()) - 1);
  m_anchor[Chosen] = -1;
}

void FieldChooser::shiftUp() {
  int& c = m_current[Chosen];
  if (c <= 0) return;
  std::swap(m_list[Chosen][static_cast<size_t>(c)], m_list[Chosen][static_cast<size_t>(c - 1)]);
  --c;
}

void FieldChooser::shiftDown() {
  int& c = m_current[Chosen];
  if (c < 0 || c + 1 >= static_cast<int>(m_list[Chosen].size())) return;
  std::swap(m_list[Chosen][static_cast<size_t>(c)], m_list[Chosen][static_cast<size_t>(c + 1)]);
  ++c;
}

bool FieldChooser::canAdd() const {
  for (const ChooserEntry& e : m_list[All]) {
    if (!e.marked) continue;
    auto it = std::find_if(m_list[Chosen].begin(), m_list[Chosen].end(),
                           [&](const ChooserEntry& c) { return c.field == e.field; });
    if (it == m_list[Chosen].end() || !it->marked) return true;
  }
  return false;
}

bool FieldChooser::canRemove() const {
  return std::any_of(m_list[Chosen].begin(), m_list[Chosen].end(), [](const ChooserEntry& e) { return e.marked; });
}

bool FieldChooser::canShiftUp() const { return m_current[Chosen] > 0; }

bool FieldChooser::canShiftDown() const {
  return m_current[Chosen] >= 0 && m_current[Chosen] + 1 < static_cast<int>(m_list[Chosen].size());
}

void FieldChooser::setPicture(const std::string& picture) {
  if (picture.empty() || m_current[Chosen] < 0) return;
  m_list[Chosen][static_cast<size_t>(m_current[Chosen])].picture = picture;
}

std::string FieldChooser::pictureDisplay() const {
  if (m_current[Chosen] < 0) return "";
  const std::string& p = m_list[Chosen][static_cast<size_t>(m_current[Chosen])].picture;
  switch (pictureType(p)) {
    case 'S': return "Alpha-numeric";
    case 'N': return "Numeric";
    default: return p;
  }
}

std::vector<ExportField> FieldChooser::chosen() const {
  std::vector<ExportField> out;
  for (const ChooserEntry& e : m_list[Chosen]) out.push_back({e.field, e.picture});
  return out;
}

}  // namespace ov::impex
