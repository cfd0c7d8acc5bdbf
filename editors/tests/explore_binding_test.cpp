// The explorer binding's graph categories: each row's value of a column counted once under its
// text, the way the explorer's bar graph groups rows.
#include "editors/explore_binding.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "platform/rt/fixed_string.h"
#include "platform/rt/queue.h"
#include "platform/rt/record.h"
#include "platform/ui/list_control.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"

using namespace ov;

namespace {

struct Row {
  rt::String<20> City;
  int32_t Born = 0;
};
const rt::FieldDesc kRowFields[] = {
    {"ROW:City", rt::FieldType::String, 20, 0, offsetof(Row, City)},
    {"ROW:Born", rt::FieldType::Long, 4, 20, offsetof(Row, Born)},
};
const rt::RecordDesc kRow{"ROW", kRowFields, 24};

TEST(ExploreBinding, GraphCategoriesCountEachRowUnderItsText) {
  ui::test::application();
  rt::Queue<Row> rows;
  for (auto [city, born] : {std::pair{"Berlin", 1970}, {"Paris", 1985}, {"Berlin", 1960}}) {
    rows.buf = Row{};
    rows.buf.City = city;
    rows.buf.Born = born;
    rows.ADD();
  }
  ui::WindowManager manager("GraphTest");
  ui::Window& w = manager.window();
  auto& list = w.add<ui::ListControl>(0, "?List").from(rows, kRow);
  list.format("80L(2)|M~City~@s20@30R(2)|M~Born~@n_4@");
  editors::BoundExplorer explorer;
  explorer.columns = {{"ROW:City", 80, "City", "@s20", "City", 'L', true, false, false, true},
                      {"ROW:Born", 30, "Born", "@n_4", "Born", 'R', true, false, false, true}};
  editors::ExploreState state;
  winclasses::ExploreListClass items;
  winclasses::ExploreWindowVars vars;
  vars.sequenceNbr = &state.sequence;
  explorer.Init(manager, items, list.feq(), ">Header", "", false, vars);
  // The graph's gathering puts each row in the queue's buffer in turn; the selected row stays put.
  list.setSelected(1);
  for (int r = 1; r <= 3; ++r) {
    ASSERT_EQ(list.queue()->get(r), rt::Err::None);
    explorer.GetStringForGraph(1, "@s20");
  }
  ASSERT_EQ(explorer.QSel.size(), 2u);
  EXPECT_EQ(explorer.QSel[0].Name, "Berlin");
  EXPECT_EQ(explorer.QSel[0].Count, 2);
  EXPECT_EQ(explorer.QSel[1].Name, "Paris");
  EXPECT_EQ(explorer.QSel[1].Count, 1);
  EXPECT_EQ(explorer.QSel[0].Total, 0) << "the task lists give every row the amount 0";
  explorer.Kill();
}

}  // namespace
