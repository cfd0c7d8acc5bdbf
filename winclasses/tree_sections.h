// The tree-list engine and its sections: a list shows a tree whose rows are loaded level by level,
// each level from sections that read rows for one parent row: a fixed header or footer row, the
// records of a data file under a key, the records of a view, or the entries of a queue.
//
// Each shown row keeps its text, its level (positive when expanded, negative when collapsed, its
// absolute value the depth), the number of its section and its position: the record position for
// file and view rows, the parent's position followed by the entry's number for queue rows. A file
// or view section under a parent reads only the records whose linking fields hold the parent's
// values (the links play the part of the field pairs that copy them into the key).
//
// A row's children are loaded with it when the engine loads every level, when its level lies
// within the preload depth, or when the row was expanded before; otherwise the row is only probed
// for children (or assumed to have some). Expanding a row again keeps the expanded or collapsed
// state of its sub-rows when its children are still the same records.
//
// A recursive section (Recursive set) is also its own child: under each of its rows it reads the
// rows of the same file one level deeper, with the row's record as the parent, in its recursive
// order. The section keeps its place in its own level while a row's sub-levels are read, and the
// records current before a recursive load are current again after it. A row that stands for a
// record already on its branch (a loop in the data) gets no children. A load that fails beyond
// repair (a section that throws, a branch too deep to read) shows "Closing active window due to
// unrecoverable error", closes the window and leaves the rows as they were.
//
// Threading: GUI thread only; the sections use the data files' record buffers.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files/file_manager.h"
#include "platform/files/view_manager.h"

namespace ov::winclasses {

struct TreeRow {
  std::string Text;
  int Level = 1;
  uint16_t Section = 0;
  std::string Position;  // 512 characters at most
};

class TreeEngine;

// A child field that takes a value of the parent row's record.
struct TreeLink {
  std::string childField;                   // a field of the section's file ("ORD:Customer")
  std::function<std::string()> parentValue;  // read while the parent row's record is current
};

// Status answers of the sections.
constexpr uint8_t kTreeOk = 0;
constexpr uint8_t kTreeNoRecords = 4;
constexpr uint8_t kTreeEndOfRange = 5;

class TreeSection {
 public:
  virtual ~TreeSection() = default;

  uint8_t ExcludeChildless = 0;
  uint8_t AllowInsert = 0, AllowChange = 0, AllowDelete = 0, AllowSelect = 0;
  uint8_t AssumeChildren = 0;
  uint16_t SectionID = 0;
  TreeSection* MyParent = nullptr;
  TreeEngine* TM = nullptr;
  uint8_t ViewOrder = 0, RecurOrder = 0, MyType = 0, HasHeader = 0, HasFooter = 0, Order = 0;
  uint8_t NodeOffset = 0, ShowProgress = 0;
  uint8_t Recursive = 0;  // the section's rows hold rows of the same section a level deeper
  // The text of the row whose record is current; the section's label when not set.
  std::function<std::string()> RowText;
  std::string Label;

  // Loads the section's rows at `level` under the engine's pending parent: kTreeOk when rows were
  // added, kTreeNoRecords when none were, another status when reading failed. Flag 1 only asks
  // whether there is a row (nothing is kept); flag 2 reads in the recursive order.
  virtual uint8_t LoadSection(uint16_t level, long flags);
  virtual void Kill() {}
  virtual uint8_t P_Next() { return kTreeEndOfRange; }
  virtual std::string P_Position() { return {}; }
  virtual void P_Reset(uint8_t /*secondOrder*/) {}
  // Reads the row at `position` again: kTreeOk, or kTreeNoRecords when it is gone.
  virtual uint8_t P_TryReget(std::string_view /*position*/, uint8_t /*watch*/) { return kTreeNoRecords; }
  // Makes the records of display row `row` and of its parent rows current (a header or footer row
  // takes the row above it).
  virtual uint8_t P_SyncTreeSection(uint16_t row, uint8_t flag);
  // The file named in messages.
  virtual std::string sourceName() const { return Label; }
  // The data file the section reads, whose record buffer a recursive load keeps; none by default.
  virtual db::File* sourceFile() { return nullptr; }

 protected:
  std::string rowText() const { return RowText ? RowText() : Label; }
};

class HeaderSection : public TreeSection {
 public:
  uint8_t Recur = 0;
  uint8_t LoadSection(uint16_t level, long flags) override;
};

class FooterSection : public TreeSection {
 public:
  uint8_t LoadSection(uint16_t level, long flags) override;
};

class FileSection : public TreeSection {
 public:
  // Records of `file` in the order of `key` (an invalid key: record order).
  FileSection(db::FileManager& file, db::Key key) : m_file(file), m_key(key) {}
  std::vector<TreeLink> Links;
  // The order of a recursive load (flag 2); an invalid key keeps the section's own key.
  db::Key RecurKey;
  uint8_t TakeFilter() { return 0; }
  uint8_t LoadSection(uint16_t level, long flags) override;
  uint8_t P_Next() override;
  std::string P_Position() override;
  void P_Reset(uint8_t secondOrder) override;
  uint8_t P_TryReget(std::string_view position, uint8_t watch) override;
  std::string sourceName() const override;
  db::File* sourceFile() override { return &m_file.file(); }

 private:
  bool linked() const;
  // Reads on after the record at `position` once a nested load has moved the file.
  void resumeAfter(int64_t position);
  db::FileManager& m_file;
  db::Key m_key;
  db::Key m_readKey;                  // the key of the current read
  std::vector<std::string> m_values;  // the parent's values while reading
  int m_resets = 0;                   // reads begun, to notice a nested one
};

class ViewSection : public TreeSection {
 public:
  explicit ViewSection(db::ViewManager& view) : m_view(view) {}
  std::vector<TreeLink> Links;  // become ranges of the view
  void AddViewFile(db::FileManager& /*file*/) {}
  uint8_t P_Next() override;
  std::string P_Position() override;
  void P_Reset(uint8_t secondOrder) override;
  uint8_t P_TryReget(std::string_view position, uint8_t watch) override;
  std::string sourceName() const override;
  db::File* sourceFile() override { return &m_view.Primary.file(); }

 private:
  db::ViewManager& m_view;
};

class QueueSection : public TreeSection {
 public:
  // The texts of the rows to show; the window fills it before the level loads, the load empties it.
  std::vector<std::string>* MyQ = nullptr;
  uint16_t QPtr = 0;
  uint8_t LoadSection(uint16_t level, long flags) override;
  uint8_t P_TryReget(std::string_view position, uint8_t watch) override;
};

class TreeEngine {
 public:
  // Sections of the first level have no parent; children are loaded in the order they were added.
  void AddSection(TreeSection& section, TreeSection* parent = nullptr);

  bool LoadAll = false;
  int PreloadDepth = 1;  // levels loaded with their parents: 1 = only the first level
  std::vector<TreeRow> Rows;  // the display queue

  // The deepest branch a load follows; a deeper one cannot be read (see the heading).
  static constexpr int kMaxDepth = 1000;

  // Loads the first level anew; the state of rows expanded before is kept.
  void Load();
  // Loads the children of display row `row` (0-based) under it: 1 when rows were added, 0 when
  // none were; with `probe`, -1 as soon as a child exists and nothing is kept.
  int LoadChildren(size_t row, bool probe);
  // Shows or hides the children of a row.
  void Expand(size_t row);
  void Contract(size_t row);
  bool isExpanded(size_t row) const { return row < Rows.size() && Rows[row].Level > 0; }

  // For the sections' loads: adds a row at the pending place; the pending parent's position.
  void addRow(TreeSection& section, int level, std::string text, std::string position);
  const std::string& parentPosition() const { return m_parentPosition; }
  TreeSection* section(uint16_t id) const;
  bool probing() const { return m_probe; }

 private:
  struct Node {
    std::vector<std::string> children;  // positions of the children when last loaded
    bool expanded = false;
  };
  using NodeKey = std::pair<uint16_t, std::string>;
  // The rows under `row` (its deeper rows that follow it).
  size_t subtreeEnd(size_t row) const;
  // After a row was added: its children loaded, or probed; false when it is to be left out.
  bool settleRow(size_t row, TreeSection& section);
  uint8_t loadLevel(TreeSection& s, int level, long flags);
  int loadChildren(size_t row, bool probe);
  // The child sections of a row's section, a recursive section itself first.
  std::vector<TreeSection*> childSections(const TreeSection& own) const;
  // Whether `row` stands for a record that is on its own branch above it.
  bool repeatsAncestor(size_t row) const;
  // Runs a load; an error beyond repair closes the window and puts the rows back.
  template <class F>
  auto guarded(F&& load, decltype(load()) failed) -> decltype(load());

  std::vector<TreeSection*> m_sections;  // by SectionID - 1
  std::map<NodeKey, Node> m_nodes;
  size_t m_insertAt = 0;
  std::string m_parentPosition;
  bool m_probe = false;
  bool m_probeFound = false;
  int m_depth = 0;  // the level of the children being loaded
};

}  // namespace ov::winclasses
