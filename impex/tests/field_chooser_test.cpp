#include "impex/field_chooser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ov::impex {
namespace {

// The chosen list as names, a "*" after each marked one.
std::string chosen(const FieldChooser& c) {
  std::string out;
  for (const ChooserEntry& e : c.entries(FieldChooser::Chosen))
    out += e.field.substr(e.field.find(':') + 1) + (e.marked ? "* " : " ");
  return out;
}

TEST(FieldChooser, StartsWithEveryFieldChosenInListOrder) {
  FieldChooser c(*findImpexTable("HOLIDAYS"));
  EXPECT_EQ(chosen(c), "HolidayDate* Holiday HolidayType ");
  EXPECT_EQ(c.pictureDisplay(), "@d3");
}

TEST(FieldChooser, ButtonsAndSelectionKeys) {
  FieldChooser c(*findImpexTable("TODO"));
  using L = FieldChooser::List;
  // Keep Category and ToDo only: mark all from the first, then drop the two from the range.
  c.click(L::Chosen, 0);
  c.extend(L::Chosen, 7);
  c.toggle(L::Chosen, 4);
  c.toggle(L::Chosen, 5);
  c.removeMarked();
  EXPECT_EQ(chosen(c), "Category ToDo ");
  EXPECT_EQ(c.current(L::Chosen), 1);

  c.shiftUp();
  EXPECT_EQ(chosen(c), "ToDo Category ");
  c.shiftUp();  // already first
  EXPECT_EQ(c.current(L::Chosen), 0);
  c.shiftDown();
  c.shiftDown();  // already last
  EXPECT_EQ(chosen(c), "Category ToDo ");

  // Adding a listed field only marks it; a new one is appended once.
  c.click(L::All, 5);   // TDO:ToDo, marked already
  c.toggle(L::All, 3);  // + TDO:Priority
  c.addMarked();
  EXPECT_EQ(chosen(c), "Category ToDo* Priority* ");
  c.click(L::Chosen, 2);
  c.setPicture("@s4");
  EXPECT_EQ(c.pictureDisplay(), "Alpha-numeric");
  c.setPicture("");  // a cancelled picture changes nothing
  EXPECT_EQ(c.chosen().back().picture, "@s4");
  c.click(L::Chosen, 0);
  c.extend(L::Chosen, 2);
  c.removeMarked();
  EXPECT_EQ(chosen(c), "");
  EXPECT_EQ(c.current(L::Chosen), -1);
  EXPECT_EQ(c.pictureDisplay(), "");
}

}  // namespace
}  // namespace ov::impex
