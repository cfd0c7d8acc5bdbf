// The mouse-wheel class on a small window: notches from wheel messages and from Qt wheel events,
// the target control (focus, under the mouse, first visible), lists, immediate lists and text
// boxes, and a window without wheel-aware controls.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QWheelEvent>

#include "platform/ui/window_proc.h"
#include "winclasses/qv_mouse_wheel_class.h"
#include "winclasses/tests/support.h"

using namespace ov;
using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::WindowDriver;

namespace {

struct Feqs {
  int listA = 0, listB = 0, text = 0, ok = 0;
};

// Two lists of five names, a text box of five lines and a button.
std::function<void(ui::Window&)> declareWheelWindow(rt::Queue<NameRow>& a, rt::Queue<NameRow>& b, Feqs& f) {
  return [&a, &b, &f](ui::Window& w) {
    f.listA = w.add<ui::ListControl>(0, "?ListA").from(a, kNameRow).format("60L~Name~@s20@").at(10, 10, 80, 60).feq();
    f.listB = w.add<ui::ListControl>(0, "?ListB").from(b, kNameRow).format("60L~Name~@s20@").at(100, 10, 80, 60).feq();
    f.text = w.textBox("?Text").at(10, 80, 80, 40).feq();
    f.ok = w.button("?OK", "OK").at(200, 150, 40, 14).feq();
  };
}

// A wheel turn as Qt delivers it, over the window's client area at a point in dialog units.
void wheelAt(ui::Window& w, int xDlu, int yDlu, int delta, Qt::KeyboardModifiers mods = {}) {
  QWidget* client = w.clientView();
  QPoint pos(w.dluToPxX(xDlu), w.dluToPxY(yDlu));
  QWidget* target = client->childAt(pos);
  if (!target) target = client;
  QPoint local = target->mapFrom(client, pos);
  // Every event at an address of its own: the layer tells an event Qt passes on to a parent from
  // a new one by its address.
  static std::vector<std::unique_ptr<QWheelEvent>> sent;
  sent.push_back(std::make_unique<QWheelEvent>(local, target->mapToGlobal(local), QPoint(), QPoint(0, delta),
                                               Qt::NoButton, mods, Qt::NoScrollPhase, false));
  QCoreApplication::sendEvent(target, sent.back().get());
}

ui::WPARAM wheelParam(int delta, ui::WPARAM keys = 0) {
  return (static_cast<ui::WPARAM>(static_cast<uint16_t>(delta)) << 16) | keys;
}

class MouseWheel : public ::testing::Test {
 protected:
  void SetUp() override { ui::test::application(); }
  rt::Queue<NameRow> a, b;
  Feqs f;
  QVMouseWheelClass wheel;
  TestWindow* win = nullptr;

  WindowDriver open(Driver& d) {
    fillNames(a, {"Ann", "Ben", "Cid", "Dan", "Eve"});
    fillNames(b, {"Fay", "Gus", "Hal", "Ida", "Jon"});
    WindowDriver w = openTestWindow(d, win, [this](TestWindow& t) {
      t.declare = declareWheelWindow(a, b, f);
      t.afterOpen = [this] {
        wheel.Init();
        ui::Window* w = ui::currentWindow();
        w->setProp(f.listA, ui::Prop::Selected, 1);
        w->setProp(f.listB, ui::Prop::Selected, 1);
      };
    });
    return w;
  }
};

TEST_F(MouseWheel, EachNotchMovesTheFocusedListOneEntryWhateverKeysAreHeld) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d);
    d.gui([&] { win->window().select(f.listA); });
    struct Step { const char* name; int delta; ui::WPARAM keys; int selected; };
    const Step steps[] = {
        {"one notch down", -120, 0, 2},
        {"one notch down with Ctrl held", -120, ui::MK::Control, 3},
        {"one notch down with the left button held", -120, ui::MK::LButton, 4},
        {"three notches up", 360, 0, 1},
        {"past the first entry it stays", 120, 0, 1},
        {"a part of a notch does nothing yet", -40, 0, 1},
        {"a second part neither", -40, 0, 1},
        {"the third part makes the notch", -40, 0, 2},
    };
    for (const Step& s : steps) {
      SCOPED_TRACE(s.name);
      int events = 0;
      d.gui([&] {
        events = win->count(ui::EVENT::NewSelection, f.listA);
        ui::SendMessage(win->window().handle(), ui::WM::MouseWheel, wheelParam(s.delta, s.keys), 0);
      });
      d.settle();
      d.gui([&] {
        EXPECT_EQ(win->window().choice(f.listA), s.selected);
        EXPECT_EQ(win->count(ui::EVENT::NewSelection, f.listA) - events, wheel.TURNS > 0 ? wheel.TURNS : 0);
      });
    }
    d.gui([&] { EXPECT_EQ(win->window().choice(f.listB), 1) << "the other list stays"; });
    w.close();
  });
}

TEST_F(MouseWheel, WithoutFocusTheVisibleListUnderTheMouseMovesElseTheFirstVisible) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d);
    d.gui([&] {
      ui::Window& win_ = win->window();
      win_.select(f.ok);
      wheelAt(win_, 140, 30, -120);  // over list B
    });
    d.settle();
    d.gui([&] {
      ui::Window& win_ = win->window();
      EXPECT_EQ(win_.choice(f.listB), 2);
      EXPECT_EQ(win_.choice(f.listA), 1);
      win_.setProp(f.listA, ui::Prop::Hide, 1);
      wheelAt(win_, 40, 30, -240);  // over the hidden list A
    });
    d.settle();
    d.gui([&] {
      EXPECT_EQ(win->window().choice(f.listA), 1) << "a hidden list does not scroll";
      EXPECT_EQ(win->window().choice(f.listB), 4) << "the first visible list takes the turn";
    });
    w.close();
  });
}

TEST_F(MouseWheel, AnImmediateListGetsScrollEventsInsteadOfMoving) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d);
    d.gui([&] {
      win->window().setProp(f.listA, ui::Prop::Immediate, 1);
      win->window().select(f.listA);
      wheelAt(win->window(), 40, 30, -240);
    });
    d.settle();
    d.gui([&] {
      EXPECT_EQ(win->count(ui::EVENT::ScrollDown, f.listA), 2);
      EXPECT_EQ(win->count(ui::EVENT::NewSelection, f.listA), 0);
      EXPECT_EQ(win->window().choice(f.listA), 1);
      wheelAt(win->window(), 40, 30, 120);
    });
    d.settle();
    d.gui([&] { EXPECT_EQ(win->count(ui::EVENT::ScrollUp, f.listA), 1); });
    w.close();
  });
}

TEST_F(MouseWheel, ATextBoxMovesByArrowKeysOnePerNotch) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d);
    w.type("?Text", "one\ntwo\nthree\nfour\nfive");
    auto line = [&] {
      int block = -1;
      d.gui([&] {
        auto* edit = qobject_cast<QPlainTextEdit*>(win->window().control(f.text)->view());
        block = edit->textCursor().blockNumber();
      });
      return block;
    };
    d.gui([&] {
      auto* edit = qobject_cast<QPlainTextEdit*>(win->window().control(f.text)->view());
      edit->moveCursor(QTextCursor::Start);
      win->window().select(f.text);
      wheelAt(win->window(), 40, 100, -240);
    });
    d.settle();
    EXPECT_EQ(line(), 2);
    d.gui([&] { wheelAt(win->window(), 40, 100, 120); });
    d.settle();
    EXPECT_EQ(line(), 1);
    w.close();
  });
}

// Sends a message to its own window and a nested wheel message while it moves.
class ChattyWheel : public QVMouseWheelClass {
 public:
  void WheelDown() override {
    ui::SendMessage(HWND, ui::WM::User + 7, 0, 0);
    ui::SendMessage(HWND, ui::WM::MouseWheel, wheelParam(-120), 0);
    QVMouseWheelClass::WheelDown();
  }
};

TEST_F(MouseWheel, OtherMessagesGoOnWhileAWheelIsHandled) {
  ChattyWheel chatty;
  int seen = 0;
  ui::ProcNumber counter = 0;
  runScript([&](Driver& d) {
    fillNames(a, {"Ann", "Ben", "Cid"});
    fillNames(b, {"Fay"});
    WindowDriver w = openTestWindow(d, win, [&](TestWindow& t) {
      t.declare = declareWheelWindow(a, b, f);
      t.afterOpen = [&] {
        ui::Window* wnd = ui::currentWindow();
        ui::ProcNumber former = static_cast<ui::ProcNumber>(wnd->propInt(0, ui::Prop::WndProc));
        counter = ui::registerWindowProc([&seen, former](ui::Handle h, uint32_t m, ui::WPARAM wp, ui::LPARAM lp) {
          if (m == ui::WM::User + 7) ++seen;
          return ui::CallWindowProc(former, h, m, wp, lp);
        });
        wnd->setProp(0, ui::Prop::WndProc, static_cast<int64_t>(counter));
        chatty.Init();
        wnd->setProp(f.listA, ui::Prop::Selected, 1);
        wnd->select(f.listA);
      };
    });
    d.gui([&] { ui::SendMessage(win->window().handle(), ui::WM::MouseWheel, wheelParam(-120), 0); });
    d.settle();
    d.gui([&] {
      EXPECT_EQ(seen, 1) << "the message sent during the wheel reached the former procedure";
      EXPECT_EQ(win->window().choice(f.listA), 2) << "the nested wheel message moved nothing";
      chatty.Kill();
      EXPECT_EQ(win->window().propInt(0, ui::Prop::WndProc), counter);
      ui::unregisterWindowProc(counter);
    });
    w.close();
  });
}

TEST_F(MouseWheel, OneObjectPerWindowAndNoHookWithoutWheelAwareControls) {
  QVMouseWheelClass second;
  runScript([&](Driver& d) {
    fillNames(a, {"Ann", "Ben", "Cid"});
    fillNames(b, {"Fay"});
    ui::ProcNumber original = 0;
    WindowDriver w = openTestWindow(d, win, [&](TestWindow& t) {
      t.declare = declareWheelWindow(a, b, f);
      t.afterOpen = [&] {
        original = static_cast<ui::ProcNumber>(ui::currentWindow()->propInt(0, ui::Prop::WndProc));
        wheel.Init();
        second.Init();  // the window's first object keeps it
        ui::currentWindow()->setProp(f.listA, ui::Prop::Selected, 1);
        ui::currentWindow()->select(f.listA);
      };
    });
    d.gui([&] {
      ui::Window& wnd = win->window();
      EXPECT_EQ(wheel.HWND, wnd.handle());
      EXPECT_EQ(wheel.HWNDPROC, original);
      EXPECT_EQ(wheel.TARGETQ, (std::vector<int32_t>{f.listA, f.listB, f.text}));
      EXPECT_EQ(second.HWND, 0);
      EXPECT_EQ(wnd.propInt(0, ui::Prop::WndProc), ui::windowProcNumber(&QVMouseWheelClass::WheelWindowProc));
      ui::SendMessage(wnd.handle(), ui::WM::MouseWheel, wheelParam(-120), 0);
    });
    d.settle();
    d.gui([&] {
      EXPECT_EQ(win->window().choice(f.listA), 2) << "one step: only the first object moved";
      wheel.Kill();
      EXPECT_EQ(win->window().propInt(0, ui::Prop::WndProc), original);
      EXPECT_TRUE(wheel.TARGETQ.empty());
    });
    w.close();
  });
  runScript([&](Driver& d) {
    TestWindow* plain = nullptr;
    QVMouseWheelClass none;
    ui::ProcNumber before = 0;
    WindowDriver w = openTestWindow(d, plain, [&](TestWindow& t) {
      t.declare = [](ui::Window& wnd) {
        wnd.entry("?Name", "@s20").at(10, 10, 80, 12);
        wnd.button("?OK", "OK").at(10, 30, 40, 14);
      };
      t.afterOpen = [&] {
        before = static_cast<ui::ProcNumber>(ui::currentWindow()->propInt(0, ui::Prop::WndProc));
        none.Init();
      };
    });
    d.gui([&] {
      EXPECT_EQ(none.HWND, 0);
      EXPECT_EQ(none.HWNDPROC, 0);
      EXPECT_EQ(plain->window().propInt(0, ui::Prop::WndProc), before) << "not hooked";
      none.Kill();
      EXPECT_EQ(plain->window().propInt(0, ui::Prop::WndProc), before);
    });
    w.close();
  });
}

}  // namespace
