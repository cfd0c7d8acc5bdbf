// The message box list: positions kept within the queue, paging and dragging, and clicks on the
// list that press the window's default button only as a double click (or Enter, when asked).
#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QWidget>

#include "platform/rt/date_time.h"
#include "platform/ui/testing/list_driver.h"
#include "winclasses/q_box_class.h"
#include "winclasses/tests/support.h"

using namespace ov;
using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::WindowDriver;

namespace {

class MessageBoxList : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::test::application();
    fillNames(rows, {"r1", "r2", "r3", "r4", "r5", "r6", "r7"});
    rt::setTestClock(rt::DATE(3, 15, 2026), 100000);
  }
  void TearDown() override { rt::clearTestClock(); }
  rt::Queue<NameRow> rows;
  ui::QueueOf<NameRow> queue{rows, kNameRow};
  QBoxClass box;
  bool enterAccepts = false;
  TestWindow* win = nullptr;
  int listFeq = 0, selectFeq = 0;

  WindowDriver open(Driver& d) {
    return openTestWindow(d, win, [this](TestWindow& t) {
      t.declare = [this](ui::Window& w) {
        listFeq = w.add<ui::ListControl>(0, "?List").from(rows, kNameRow).format("120L~Name~@s20@").at(4, 4, 140, 60).feq();
        w.button("?Other", "Other").at(4, 70, 40, 14);
        selectFeq = w.button("?Select", "Select").setDefault().at(50, 70, 40, 14).feq();
      };
      t.afterOpen = [this] { box.Init(queue, listFeq); };
      t.onEvent = [this] {
        if (ui::EVENT() == ui::EVENT::Accepted) box.TakeAccepted(enterAccepts);
        return ui::Level::Benign;
      };
    });
  }
  int selected() {
    return static_cast<int>(win->window().propInt(listFeq, ui::Prop::Selected));
  }
  // A left click at a pixel of the list's rows.
  void clickAt(Driver& d, int x, int y) {
    d.gui([&] {
      QWidget* vp = win->window().control(listFeq)->view();
      if (auto* area = qobject_cast<QAbstractScrollArea*>(vp)) vp = area->viewport();
      QPointF at(x, y);
      QMouseEvent press(QEvent::MouseButtonPress, at, vp->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(vp, &press);
      QMouseEvent release(QEvent::MouseButtonRelease, at, vp->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(vp, &release);
    });
    d.settle();
  }
};

TEST_F(MessageBoxList, PositionsStayWithinTheQueue) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d);
    EXPECT_EQ(w.prop("?List", ui::Prop::Immediate), "1");
    const int items = std::stoi(w.prop("?List", ui::Prop::Items));
    ASSERT_GT(items, 1);
    ASSERT_LT(items, 7);
    struct Step { const char* name; std::function<void()> act; int row; };
    const Step steps[] = {
        {"0 selects the first row", [&] { box.UpdatePosition(0); }, 1},
        {"past the end selects the last", [&] { box.UpdatePosition(99); }, 7},
        {"half way over 7 entries is row 3", [&] { box.Drag(50); }, 3},
        {"one down", [&] { box.ScrollDown(); }, 4},
        {"one up", [&] { box.ScrollUp(); }, 3},
        {"a page down", [&] { box.PageDown(); }, std::min(7, 3 + items)},
        {"a page down past the end", [&] { box.PageDown(); box.PageDown(); }, 7},
        {"a page up", [&] { box.PageUp(); }, 7 - items},
        {"a page up past the start", [&] { box.PageUp(); box.PageUp(); }, 1},
        {"100 per cent is the last", [&] { box.Drag(100); }, 7},
    };
    for (const Step& s : steps) {
      SCOPED_TRACE(s.name);
      int before = 0;
      d.gui([&] {
        before = win->count(ui::EVENT::NewSelection, listFeq);
        s.act();
      });
      d.settle();
      d.gui([&] {
        EXPECT_EQ(selected(), s.row);
        EXPECT_GE(win->count(ui::EVENT::NewSelection, listFeq), before + 1);
      });
    }
    d.gui([&] {
      box.UpdatePosition(5);
      box.Update();
      EXPECT_EQ(rows.buf.Name, "r5") << "the queue's buffer holds the selected row";
    });
    w.close();
  });
}

TEST_F(MessageBoxList, OnlyTwoClicksCloseInPlaceAndTimePressTheDefaultButton) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d);
    auto pressed = [&] {
      int n = 0;
      d.gui([&] { n = win->count(ui::EVENT::Accepted, selectFeq); });
      return n;
    };
    ui::Rect cell;
    d.gui([&] { ASSERT_TRUE(win->window().as<ui::ListControl>(listFeq)->cellRectPx(1, 1, cell)); });
    int x = cell.x + 5, y = cell.y + 2;
    clickAt(d, x, y);
    clickAt(d, x + 20, y);  // 20 pixels away: a single click, the new reference
    EXPECT_EQ(pressed(), 0);
    clickAt(d, x + 25, y + 3);  // 5 and 3 pixels from the second
    EXPECT_EQ(pressed(), 1);

    d.gui([&] { rt::advanceTestClock(500); });  // five seconds later: a single click again
    clickAt(d, x + 25, y + 3);
    EXPECT_EQ(pressed(), 1);

    w.key("?List", ui::Key::Enter);
    EXPECT_EQ(pressed(), 1) << "Enter counts only when asked";
    enterAccepts = true;
    w.key("?List", ui::Key::Enter);
    EXPECT_EQ(pressed(), 2);
    d.gui([&] {
      win->window().setProp(selectFeq, ui::Prop::Default, 0);
      win->window().post(ui::EVENT::Accepted, listFeq, ui::Key::MouseLeft2);
    });
    d.settle();
    EXPECT_EQ(pressed(), 2) << "no default button: nothing is pressed";
    w.close();
  });
}

}  // namespace
