// The test driver for list controls: reads a list's rows as the user sees them and clicks, drags
// and types on it with real mouse and key events on its view, so the list's own hit testing,
// mouse properties and events are what the program gets.
//
//   runScript([&](Driver& d) {
//     WindowDriver w = d.waitWindow("BrowseHolidays");
//     ListDriver list(d, w, "?Browse");
//     EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Easter", "Labour Day"}));
//     host.expectPopup("&Change");
//     list.rightClick(2);
//   });
//
// Rows are queue positions (1-based) and columns display columns (1-based). A row out of sight is
// scrolled into sight before it is clicked. Failures fail the test and the script goes on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/testing/driver.h"

namespace ov::ui::test {

class ListDriver {
 public:
  ListDriver(Driver& d, const WindowDriver& w, std::string list);

  // Every entry of the list's queue, each as its cells in display order.
  std::vector<std::vector<ListCell>> rows() const;
  // The texts of one column, row by row; of the rows shown only (a contracted tree hides some).
  std::vector<std::string> texts(int column) const;
  int selected() const;
  int items() const;
  std::string prop(int p) const;
  std::string propList(int p, int column = 0) const;

  void select(int row);        // a left click on the row's first cell in sight
  void doubleClick(int row);
  void rightClick(int row);
  void clickCell(int row, int column);
  void clickBelowRows();       // a left click under the last row
  void clickHeader(int column);
  void rightClickHeader(int column);
  // Presses on a header cell, moves to the middle of another column's header and lets go.
  void dragHeader(int column, int toColumn);
  // Presses on the right border of a column's header, moves by `dx` pixels and lets go.
  void dragBorder(int column, int dx);
  // Presses on a row, moves to another row and lets go.
  void dragRow(int row, int toRow);
  void clickExpandBox(int row);
  void key(int keycode);
  void type(std::string_view text);
  void wheel(int notches);     // positive: away from the user

  // The items of the list's popup as it would open now (texts, checks, enabled states).
  std::vector<PopupItem> popup() const;

 private:
  struct Point {
    int x = 0, y = 0;
    bool ok = false;
  };
  Point cellPoint(int row, int column, bool scroll) const;
  Point headerPoint(int column, bool border) const;
  void mouse(int type, Point at, int button, int buttons) const;
  ListControl* list() const;  // on the GUI thread

  Driver* m_driver;
  WindowDriver m_window;
  std::string m_name;
};

}  // namespace ov::ui::test
