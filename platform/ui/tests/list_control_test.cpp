// The list control: cells through pictures with colours, icons and tree levels; column
// attributes written back into the format; the mouse properties and events of clicks, double and
// right clicks, keys, immediate scrolling, row dragging and tree boxes, driven through the view.
#include "platform/ui/list_control.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "platform/rt/date_time.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/list_driver.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_proc.h"

using namespace ov::ui;
using ov::rt::FieldType;
using ov::ui::test::Driver;
using ov::ui::test::ListDriver;
using ov::ui::test::runScript;
using ov::ui::test::WindowDriver;

namespace {

struct Row {
  ov::rt::String<20> name;
  int32_t fg = -1, bg = -1, selFg = -1, selBg = -1;
  int32_t icon = 0;
  double amount = 0;
  int32_t date = 0;
  int32_t level = 1;
};

const ov::rt::FieldDesc kRowFields[] = {
    {"Name", FieldType::String, 20, 0, offsetof(Row, name)},
    {"Fg", FieldType::Long, 4, 20, offsetof(Row, fg)},
    {"Bg", FieldType::Long, 4, 24, offsetof(Row, bg)},
    {"SelFg", FieldType::Long, 4, 28, offsetof(Row, selFg)},
    {"SelBg", FieldType::Long, 4, 32, offsetof(Row, selBg)},
    {"Icon", FieldType::Long, 4, 36, offsetof(Row, icon)},
    {"Amount", FieldType::Real, 8, 40, offsetof(Row, amount)},
    {"Date", FieldType::Date, 4, 48, offsetof(Row, date)},
    {"Level", FieldType::Long, 4, 52, offsetof(Row, level)},
};
const ov::rt::RecordDesc kRow{"ROW", kRowFields, 56};

void addRow(ov::rt::Queue<Row>& q, const char* name, double amount = 0, int32_t date = 0, int32_t level = 1) {
  q.buf = Row{};
  q.buf.name = name;
  q.buf.amount = amount;
  q.buf.date = date;
  q.buf.level = level;
  q.ADD();
}

TEST(ListControl, CellsShowFieldsThroughPicturesWithColoursAndIcons) {
  ov::rt::Queue<Row> q;
  addRow(q, "Anna", 1234.5, ov::rt::DATE(3, 15, 2026));
  addRow(q, "Bob", -2, 0);
  q.GET(1);
  q.buf.fg = 255;
  q.buf.icon = 2;
  q.PUT();
  ListControl list("?List");
  list.from(q, kRow).format("60L*I~Name~@s20@E(0,8421504,,)50R(2)~Amount~@n-10.2@40L~Date~@d2@E(,16777215,,)");
  list.setProp(Prop::IconList, "a.ico|b.ico");

  ListCell anna = list.cell(1, 1);
  EXPECT_EQ(anna.text, "Anna");
  EXPECT_EQ(anna.fg, 255) << "the row's own colour field";
  EXPECT_EQ(anna.bg, 8421504) << "no colour in the field: the column's default";
  EXPECT_EQ(anna.selFg, -1);
  EXPECT_EQ(anna.icon, 2);
  EXPECT_EQ(anna.iconName, "b.ico");
  EXPECT_EQ(list.cell(1, 2).text, "1,234.50");
  EXPECT_EQ(list.cell(1, 3).text, "3/15/2026");
  EXPECT_EQ(list.cell(1, 3).bg, 16777215);
  EXPECT_EQ(list.cell(2, 2).text, "-2.00");
  EXPECT_EQ(list.cell(2, 3).text, "") << "no date";
  EXPECT_EQ(list.cell(2, 1).iconName, "") << "icon 0 is none";
  EXPECT_EQ(list.cell(3, 1).text, "") << "past the last entry";
  EXPECT_EQ(list.cell(1, 4).text, "") << "past the last column";
}

TEST(ListControl, ColumnAttributesAreWrittenBackIntoTheFormat) {
  ov::rt::Queue<Row> q;
  ListControl list("?List");
  list.from(q, kRow).format("60L|M~Name~@s20@50R(2)~Amount~@n10.2@#7#");
  ASSERT_TRUE(list.setPropList(PROPLIST::Header, 2, "Total ~ net"));
  list.setPropList(PROPLIST::Left, 2, "1");
  list.setPropList(PROPLIST::LeftOffset, 2, "3");
  list.setPropList(PROPLIST::HeaderCenter, 2, "1");
  list.setPropList(PROPLIST::Underline, 1, "1");
  list.setPropList(PROPLIST::RightBorder, 1, "");
  list.setPropList(PROPLIST::TextColor, 1, "255");
  list.setPropList(PROPLIST::IconTrn, 1, "1");
  list.setPropList(PROPLIST::FieldNo, 1, "9");
  list.setPropList(PROPLIST::Width, 1, "70");
  list.setPropList(PROPLIST::Picture, 2, "@n12.2");
  EXPECT_EQ(list.prop(Prop::Format), "70LJ_M~Name~L@s20@#9#E(255,,,)50L(3)~Total ~~ net~C@n12.2@#7#");
  EXPECT_EQ(list.propList(PROPLIST::Icon, 1), "1");
  EXPECT_EQ(list.propList(PROPLIST::IconTrn, 1), "1");
  EXPECT_EQ(list.propList(PROPLIST::Left, 2), "1");
  EXPECT_EQ(list.propList(PROPLIST::Right, 2), "");
  EXPECT_EQ(list.propList(PROPLIST::HeaderCenter, 2), "1");
  EXPECT_EQ(list.propList(PROPLIST::Header, 2), "Total ~ net");
  EXPECT_EQ(list.propList(PROPLIST::Exists, 3), "");
  EXPECT_FALSE(list.setPropList(PROPLIST::Width, 3, "10")) << "no third column";

  // The format read back sets the same columns.
  std::string f = list.prop(Prop::Format);
  ListControl other("?Other");
  ASSERT_TRUE(other.setFormat(f));
  EXPECT_EQ(other.columns(), list.columns());
  // A malformed format leaves the list as it was.
  ListFormatError err;
  EXPECT_FALSE(list.setFormat("60L~open", &err));
  EXPECT_EQ(list.prop(Prop::Format), f);
  list.setProp(Prop::Format, "x");
  EXPECT_EQ(list.prop(Prop::Format), f);
}

// A window with one list whose events are logged as "event/keycode".
class ListWindow : public WindowManager {
 public:
  ListWindow(std::function<ListControl&(Window&)> build, std::vector<std::string>& log)
      : WindowManager("ListWindow"), m_build(std::move(build)), m_log(log) {}
  Level Init() override {
    window().setTitle("Lists");
    window().at(-1, -1, 260, 140);
    m_list = m_build(window()).at(4, 4, 250, 120).feq();
    window().button("?OK", "OK").at(4, 126, 40, 12);
    Open();
    return Level::Benign;
  }
  Level TakeEvent() override {
    if (FIELD() == m_list) m_log.push_back(std::to_string(EVENT()) + "/" + std::to_string(KEYCODE()));
    return WindowManager::TakeEvent();
  }

 private:
  std::function<ListControl&(Window&)> m_build;
  std::vector<std::string>& m_log;
  int m_list = 0;
};

class ListView : public ::testing::Test {
 protected:
  void SetUp() override { ov::ui::test::application(); }
  void TearDown() override {
    closeAllWindows();
    processEvents();
  }
  // Runs a list window over `q` and the script against it.
  template <typename T>
  void run(ov::rt::Queue<T>& q, const ov::rt::RecordDesc& desc, const std::string& format,
           std::function<void(ListControl&)> setUp,
           const std::function<void(Driver&, WindowDriver&, ListDriver&)>& script) {
    auto build = [&q, &desc, format, setUp](Window& w) -> ListControl& {
      ListControl& l = w.add<ListControl>(0, "?List").from(q, desc).format(format);
      if (setUp) setUp(l);
      return l;
    };
    runScript([&](Driver& d) {
      d.start([&] { return std::make_unique<ListWindow>(build, log); });
      WindowDriver w = d.waitWindow("ListWindow");
      ListDriver list(d, w, "?List");
      script(d, w, list);
      w.close();
      d.waitClosed(w);
    });
  }
  std::vector<std::string> take() {
    std::vector<std::string> out;
    out.swap(log);
    return out;
  }
  std::vector<std::string> log;
};

using Events = std::vector<std::string>;

// Events that carry no key code of their own keep the last key (KEYCODE()): compare their numbers,
// except where a key caused them ("event/key" is kept then for the keys of the test).
Events eventsOnly(const Events& in) {
  Events out;
  for (const std::string& e : in) {
    std::string number = e.substr(0, e.find('/'));
    int ev = std::stoi(number);
    bool keyed = ev == EVENT::ScrollUp || ev == EVENT::PageDown || ev == EVENT::PageUp || ev == EVENT::ScrollBottom ||
                 ev == EVENT::ScrollTop;
    out.push_back(keyed ? e : number);
  }
  return out;
}
const std::string kNewSel = std::to_string(EVENT::NewSelection);
const std::string kAccepted = std::to_string(EVENT::Accepted);

TEST_F(ListView, ClicksSetTheMousePropertiesAndPostTheirEvents) {
  ov::rt::Queue<Row> q;
  for (const char* n : {"Anna", "Bob", "Carl"}) addRow(q, n, 1);
  run(q, kRow, "60L|M~Name~@s20@50R~Amount~@n10.2@#7#", nullptr, [&](Driver&, WindowDriver&, ListDriver& list) {
    take();
    list.select(2);
    EXPECT_EQ(list.selected(), 2);
    EXPECT_EQ(take(), (Events{kNewSel + "/1", kAccepted + "/1"}));
    EXPECT_EQ(list.propList(PROPLIST::MouseDownRow), "2");
    EXPECT_EQ(list.propList(PROPLIST::MouseDownField), "1");
    EXPECT_EQ(list.propList(PROPLIST::MouseDownZone), "0");
    EXPECT_EQ(list.propList(PROPLIST::MouseUpRow), "2");

    list.doubleClick(3);
    EXPECT_EQ(take(), (Events{kNewSel + "/1", kAccepted + "/1", kAccepted + "/5"}));

    list.rightClick(1);
    EXPECT_EQ(list.selected(), 1);
    EXPECT_EQ(take(), (Events{kNewSel + "/2", std::to_string(EVENT::AlertKey) + "/2"}));

    list.key(Key::Down);
    list.key(Key::Enter);
    EXPECT_EQ(list.selected(), 2);
    EXPECT_EQ(take(), (Events{kNewSel + "/40", kAccepted + "/13"}));

    list.clickCell(1, 2);
    EXPECT_EQ(list.propList(PROPLIST::MouseDownField), "2");
    take();

    // The header: row 0, the column, no event of the list's own.
    list.clickHeader(2);
    EXPECT_EQ(list.propList(PROPLIST::MouseDownRow), "0");
    EXPECT_EQ(list.propList(PROPLIST::MouseDownField), "2");
    EXPECT_EQ(list.propList(PROPLIST::MouseDownZone), "0");
    EXPECT_EQ(list.selected(), 1) << "a header click selects nothing";
    EXPECT_EQ(take(), Events{});

    // The grip at a column's right edge is zone 1; a resizable column follows the drag.
    std::string width = list.propList(PROPLIST::Width, 1);
    list.dragBorder(1, 30);
    EXPECT_EQ(list.propList(PROPLIST::MouseDownZone), "1");
    EXPECT_EQ(list.propList(PROPLIST::MouseDownField), "1");
    EXPECT_GT(std::stoi(list.propList(PROPLIST::Width, 1)), std::stoi(width));
    EXPECT_EQ(list.prop(Prop::Format).rfind(list.propList(PROPLIST::Width, 1) + "L", 0), 0u);

    // Below the rows there is no row and no cell.
    list.clickBelowRows();
    EXPECT_EQ(list.propList(PROPLIST::MouseDownRow), "0");
    EXPECT_EQ(list.propList(PROPLIST::MouseDownZone), std::to_string(ListZone::Nowhere));
    EXPECT_EQ(take(), Events{}) << "a left click below the rows selects nothing";
  });
}

TEST_F(ListView, ImmediateListsPostScrollEventsInPlaceOfMoving) {
  ov::rt::Queue<Row> q;
  for (const char* n : {"a", "b", "c"}) addRow(q, n);
  auto immediate = [](ListControl& l) { l.setProp(Prop::Immediate, "1"); };
  run(q, kRow, "60L~Name~@s20@", immediate, [&](Driver&, WindowDriver&, ListDriver& list) {
    list.select(3);
    take();
    list.key(Key::Down);
    EXPECT_EQ(list.selected(), 3);
    list.key(Key::Up);
    EXPECT_EQ(list.selected(), 2) << "away from the edge the selection moves";
    list.select(1);
    take();
    list.key(Key::Up);
    list.key(Key::PgDn);
    list.key(Key::PgUp);
    list.key(Key::Ctrl | Key::End);
    list.key(Key::Home);
    list.wheel(-2);
    EXPECT_EQ(list.selected(), 1);
    auto e = [](int event, int key) { return std::to_string(event) + "/" + std::to_string(key); };
    Events got = eventsOnly(take());
    EXPECT_EQ(got, (Events{e(EVENT::ScrollUp, Key::Up), e(EVENT::PageDown, Key::PgDn), e(EVENT::PageUp, Key::PgUp),
                           e(EVENT::ScrollBottom, Key::Ctrl | Key::End), e(EVENT::ScrollTop, Key::Home),
                           std::to_string(EVENT::ScrollDown), std::to_string(EVENT::ScrollDown)}));
  });
}

TEST_F(ListView, RowsDraggedOntoOthersTellBothRows) {
  ov::rt::Queue<Row> q;
  for (const char* n : {"a", "b", "c", "d"}) addRow(q, n);
  auto draggable = [](ListControl& l) { l.setProp(Prop::DragId, "Rows"); };
  run(q, kRow, "60L~Name~@s20@", draggable, [&](Driver&, WindowDriver&, ListDriver& list) {
    take();
    list.dragRow(4, 2);
    EXPECT_EQ(list.propList(PROPLIST::MouseDownRow), "4");
    EXPECT_EQ(list.propList(PROPLIST::MouseUpRow), "2");
    Events got = eventsOnly(take());
    auto e = [](int event) { return std::to_string(event); };
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(Events(got.end() - 3, got.end()), (Events{e(EVENT::Dragging), e(EVENT::Drag), e(EVENT::Drop)}));
  });
  // Without DragId the same gesture is a click that drags nothing.
  run(q, kRow, "60L~Name~@s20@", nullptr, [&](Driver&, WindowDriver&, ListDriver& list) {
    take();
    list.dragRow(4, 2);
    for (const std::string& ev : eventsOnly(take())) EXPECT_NE(ev, std::to_string(EVENT::Drop));
  });
}

// A class that hooks the list's window procedure (as the explorer's header handling does) sees
// the press, the moves and the release of a header drag in the list's pixels; the list's own
// mouse properties tell the header cells.
TEST_F(ListView, AHeaderDragReachesTheListsMessageHooks) {
  ov::rt::Queue<Row> q;
  addRow(q, "a");
  struct Msg {
    uint32_t msg;
    int x, y;
    WPARAM keys;
  };
  std::vector<Msg> seen;
  run(q, kRow, "60L~Name~@s20@50R~Amount~@n10.2@#7#", nullptr, [&](Driver& d, WindowDriver& w, ListDriver& list) {
    ProcNumber hook = 0;
    w.with([&](Window& win) {
      int feq = win.feq("?List");
      auto former = static_cast<ProcNumber>(win.propInt(feq, Prop::WndProc));
      hook = registerWindowProc([&seen, former](Handle h, uint32_t msg, WPARAM wp, LPARAM lp) -> LRESULT {
        if (msg == WM::LButtonDown || msg == WM::LButtonUp || (msg == WM::MouseMove && (wp & MK::LButton)))
          seen.push_back({msg, GET_X_LPARAM(lp), GET_Y_LPARAM(lp), wp});
        return CallWindowProc(former, h, msg, wp, lp);
      });
      win.setProp(feq, Prop::WndProc, static_cast<int64_t>(hook));
    });
    list.dragHeader(1, 2);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front().msg, WM::LButtonDown);
    EXPECT_EQ(seen.back().msg, WM::LButtonUp);
    EXPECT_EQ(seen[1].msg, WM::MouseMove);
    EXPECT_GT(seen.back().x, seen.front().x);
    int header = std::stoi(list.prop(Prop::HeaderHeight));
    EXPECT_GT(header, 0);
    EXPECT_LT(seen.front().y, header + 4) << "the press lies on the header (the list's border aside)";
    EXPECT_EQ(list.propList(PROPLIST::MouseDownRow), "0");
    EXPECT_EQ(list.propList(PROPLIST::MouseDownField), "1");
    EXPECT_EQ(list.propList(PROPLIST::MouseUpRow), "0");
    EXPECT_EQ(list.propList(PROPLIST::MouseUpField), "2");
    EXPECT_EQ(list.selected(), 0) << "a header drag selects nothing";
    d.gui([&] { unregisterWindowProc(hook); });
  });
}

// The column cursor, sideways scrolling by columns with a fixed column, and the line height.
TEST_F(ListView, ColumnCursorScrolledColumnsAndLineHeight) {
  ov::rt::Queue<Row> q;
  for (const char* n : {"a", "b"}) addRow(q, n, 1, 0);
  auto setUp = [](ListControl& l) {
    l.setProp(Prop::HScroll, "1");
    l.setProp(Prop::Column, "1");
  };
  run(q, kRow, "40LF~A~@s5@40L~B~@n3@#7#40L~C~@s5@#1#", setUp, [&](Driver&, WindowDriver& w, ListDriver& list) {
    take();
    list.key(Key::Right);
    list.key(Key::Right);
    list.key(Key::Right);  // already on the last column
    EXPECT_EQ(list.prop(Prop::Column), "3");
    EXPECT_EQ(eventsOnly(take()), (Events{kNewSel, kNewSel}));
    list.key(Key::Left);
    EXPECT_EQ(list.prop(Prop::Column), "2");
    take();

    w.with([&](Window& win) {
      auto* l = win.as<ListControl>(win.feq("?List"));
      ASSERT_NE(l, nullptr);
      l->setProp(Prop::Column, "0");
      l->setProp(Prop::HScrollPos, "1");
      int left = 0, width = 0;
      EXPECT_TRUE(l->columnSpanPx(1, left, width)) << "the fixed column stays";
      EXPECT_EQ(left, 0);
      EXPECT_FALSE(l->columnSpanPx(2, left, width)) << "the first movable column is scrolled out";
      ASSERT_TRUE(l->columnSpanPx(3, left, width));
      EXPECT_EQ(left, l->window().dluToPxX(40)) << "the third column follows the fixed one";
      l->setProp(Prop::HScrollPos, "9");
      EXPECT_EQ(l->prop(Prop::HScrollPos), "1") << "no further than the last movable column";

      int items = l->items();
      l->setProp(Prop::LineHeight, "20");
      EXPECT_EQ(l->rowHeightPx(), l->window().dluToPxY(20));
      EXPECT_LT(l->items(), items);
    });
    list.clickCell(2, 3);
    EXPECT_EQ(list.propList(PROPLIST::MouseDownField), "3");
    EXPECT_EQ(list.propList(PROPLIST::MouseDownRow), "2");
  });
}

struct Node {
  ov::rt::String<20> name;
  int32_t level = 1;
};
const ov::rt::FieldDesc kNodeFields[] = {
    {"Name", FieldType::String, 20, 0, offsetof(Node, name)},
    {"Level", FieldType::Long, 4, 20, offsetof(Node, level)},
};
const ov::rt::RecordDesc kNode{"NOD", kNodeFields, 24};

TEST_F(ListView, TreeBoxesContractAndExpandTheirRows) {
  ov::rt::Queue<Node> q;
  for (auto [name, level] : {std::pair{"A", 1}, {"A1", 2}, {"A2", 2}, {"B", -1}, {"B1", 2}, {"C", 1}}) {
    q.buf.name = name;
    q.buf.level = level;
    q.ADD();
  }
  run(q, kNode, "80LT~Tree~@s20@", nullptr, [&](Driver&, WindowDriver&, ListDriver& list) {
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"A", "A1", "A2", "B", "C"})) << "B is contracted";
    take();
    list.clickExpandBox(1);
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"A", "B", "C"}));
    list.clickExpandBox(4);
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"A", "B", "B1", "C"}));
    EXPECT_EQ(eventsOnly(take()), (Events{std::to_string(EVENT::Contracted), std::to_string(EVENT::Expanded)}));
    EXPECT_EQ(list.rows()[0][0].level, -1) << "the level's sign is kept in the queue";
    EXPECT_EQ(list.rows()[3][0].level, 1);
    EXPECT_EQ(list.selected(), 0) << "a box click selects nothing";
  });
}

}  // namespace
