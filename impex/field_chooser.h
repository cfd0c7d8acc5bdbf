// The two lists of the export window ("All Fields" and "Export Fields") and what the buttons and
// the selection keys do to them; the window only shows them.
#pragma once

#include <string>
#include <vector>

#include "impex/export_run.h"
#include "impex/field_lists.h"

namespace ov::impex {

struct ChooserEntry {
  std::string field;
  std::string picture;
  bool marked = false;
};

class FieldChooser {
 public:
  enum List { All = 0, Chosen = 1 };

  // Both lists hold every field of the table with its default picture; the first entry of each
  // is current and marked.
  explicit FieldChooser(const ImpexTable& table);

  const std::vector<ChooserEntry>& entries(List l) const { return m_list[l]; }
  int current(List l) const { return m_current[l]; }  // 0-based, -1 when empty

  // A plain click: the entry becomes the only marked one and the anchor.
  void click(List l, int index);
  // Space or Ctrl-click: toggles the entry's mark; it becomes the anchor.
  void toggle(List l, int index);
  // Shift with a click or a move: marks from the anchor to the entry, unmarks the others.
  void extend(List l, int index);
  // The entry becomes current; marks and anchor stay.
  void moveTo(List l, int index);
  // What the user did on a list: `keycode` is the key (with its Shift and Ctrl bits) or the left
  // button, `index` the entry it reached. A click alone, with Ctrl or with Shift; Space toggles
  // the current entry; Up, Down, Page Up, Page Down, Home and End move, with Shift (and Ctrl)
  // marking the range from the anchor.
  void select(List l, int index, int keycode);

  void addMarked();      // "&Add ->"
  void removeMarked();   // "&Remove"
  void shiftUp();        // "Shift &Up"
  void shiftDown();      // "Shift &Down"
  void setPicture(const std::string& picture);  // "&Picture" on the current chosen entry
  // Whether each button would change the lists now; the window greys the ones that would not.
  bool canAdd() const;     // a marked field is missing from "Export Fields", or listed unmarked
  bool canRemove() const;  // an entry of "Export Fields" is marked
  bool canShiftUp() const;
  bool canShiftDown() const;
  // What the "Picture" display shows for the current chosen entry.
  std::string pictureDisplay() const;

  std::vector<ExportField> chosen() const;

 private:
  std::vector<ChooserEntry> m_list[2];
  int m_current[2] = {-1, -1};
  int m_anchor[2] = {-1, -1};
};

}  // namespace ov::impex
