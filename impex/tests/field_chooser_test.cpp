#include "impex/field_chooser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/event.h"

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

// The buttons the window greys: each is offered only where pressing it changes the lists.
TEST(FieldChooser, ButtonsOfferedOnlyWhereTheyChangeSomething) {
  FieldChooser c(*findImpexTable("HOLIDAYS"));
  using L = FieldChooser::List;
  // As it opens: every field chosen, the first marked in both lists and current.
  EXPECT_FALSE(c.canAdd());
  EXPECT_TRUE(c.canRemove());
  EXPECT_FALSE(c.canShiftUp());
  EXPECT_TRUE(c.canShiftDown());

  c.click(L::Chosen, 2);  // the last one: marked there, the first unmarked
  EXPECT_TRUE(c.canAdd());  // Add would mark HolidayDate again
  EXPECT_TRUE(c.canShiftUp());
  EXPECT_FALSE(c.canShiftDown());
  c.addMarked();
  EXPECT_FALSE(c.canAdd());

  c.click(L::Chosen, 0);
  c.extend(L::Chosen, 2);
  c.removeMarked();
  EXPECT_FALSE(c.canRemove());
  EXPECT_FALSE(c.canShiftUp());
  EXPECT_FALSE(c.canShiftDown());
  EXPECT_TRUE(c.canAdd());  // the marked field is no longer listed
}

// A list's marks: "*" marked, "-" not, "^" before the current entry.
std::string marks(const FieldChooser& c, FieldChooser::List l) {
  std::string out;
  for (size_t i = 0; i < c.entries(l).size(); ++i)
    out += std::string(static_cast<int>(i) == c.current(l) ? "^" : "") + (c.entries(l)[i].marked ? "*" : "-");
  return out;
}

TEST(FieldChooser, SelectionKeysAndClicks) {
  namespace Key = ui::Key;
  using L = FieldChooser::List;
  struct Step {
    int index;
    int keycode;
    const char* after;
  };
  // TODO's eight fields; the first entry starts current, marked and the anchor.
  const Step steps[] = {
      {1, Key::Down, "*^-------"},                         // moving keeps the marks
      {2, Key::shift(Key::Down), "**^*-----"},             // Shift marks anchor..current
      {2, Key::Space, "**^------"},                        // toggles the current entry
      {5, Key::ctrl(Key::MouseLeft), "**---^*--"},         // Ctrl-click toggles, becomes anchor
      {7, Key::shift(Key::MouseLeft), "-----**^*"},        // from the new anchor only
      {0, Key::ctrl(Key::shift(Key::Home)), "^******--"},  // Ctrl+Shift+Home: anchor to the top
      {2, Key::MouseLeft, "--^*-----"},                    // a plain click: only it
      {6, Key::shift(Key::PgDn), "--****^*-"},
      {6, Key::Space, "--****^--"},
  };
  FieldChooser c(*findImpexTable("TODO"));
  ASSERT_EQ(marks(c, L::All), "^*-------");
  for (const Step& s : steps) {
    c.select(L::All, s.index, s.keycode);
    EXPECT_EQ(marks(c, L::All), s.after) << "key code " << s.keycode << " at " << s.index;
  }
}

}  // namespace
}  // namespace ov::impex
