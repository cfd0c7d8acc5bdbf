// Window procedures: chains of message hooks with Windows message numbers, and window-event
// handlers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QWheelEvent>
#include <QtTest/QTest>

#include <string>
#include <vector>

#include "platform/ui/event.h"
#include "platform/ui/help_key.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_proc.h"

using namespace ov::ui;

namespace {

class Hooked : public WindowManager {
 public:
  Hooked() : WindowManager("Hooked") {}
  Level Init() override {
    window().setTitle("Hooked");
    button = window().button("?Press", "Press").at(20, 10, 50, 14).feq();
    entry = window().entry("?Name", "@s20").at(20, 30, 60, 12).feq();
    window().alert(Key::alt(Key::F(11)));
    window().alert(Key::ctrl(Key::Quote));
    Open();
    return Level::Benign;
  }
  Level TakeEvent() override {
    events.push_back({EVENT(), FIELD(), KEYCODE()});
    return WindowManager::TakeEvent();
  }
  struct Seen {
    int event, field, keycode;
  };
  std::vector<Seen> events;
  int button = 0, entry = 0;
  bool saw(int event, int field = -1) const {
    for (const Seen& s : events)
      if (s.event == event && (field < 0 || s.field == field)) return true;
    return false;
  }
};

struct Msg {
  std::string hook;
  uint32_t msg;
  WPARAM wParam;
  LPARAM lParam;
};

class WindowProc : public ::testing::Test {
 protected:
  void SetUp() override {
    ov::ui::test::application();
    START([this] {
      auto p = std::make_unique<Hooked>();
      proc = p.get();
      return p;
    });
    processEvents();
    ASSERT_NE(proc, nullptr);
    ASSERT_TRUE(proc->window().isOpen());
  }
  void TearDown() override {
    for (ProcNumber p : registered) unregisterWindowProc(p);
    closeAllWindows();
    processEvents();
  }
  Window& win() { return proc->window(); }

  // Installs a hook that records messages and passes them on unless told to swallow `swallow`.
  ProcNumber hook(const std::string& name, int feq = 0, std::vector<uint32_t> swallow = {}) {
    ProcNumber former = static_cast<ProcNumber>(win().propInt(feq, Prop::WndProc));
    ProcNumber mine = registerWindowProc([=, this](Handle h, uint32_t msg, WPARAM w, LPARAM l) -> LRESULT {
      seen.push_back({name, msg, w, l});
      if (std::find(swallow.begin(), swallow.end(), msg) != swallow.end()) return 77;
      return CallWindowProc(former, h, msg, w, l);
    });
    registered.push_back(mine);
    win().setProp(feq, Prop::WndProc, mine);
    return mine;
  }
  std::vector<Msg> of(uint32_t msg) const {
    std::vector<Msg> out;
    for (const Msg& m : seen)
      if (m.msg == msg) out.push_back(m);
    return out;
  }

  Hooked* proc = nullptr;
  std::vector<Msg> seen;
  std::vector<ProcNumber> registered;
};

TEST_F(WindowProc, TheLastInstalledHookSeesAMessageFirstAndASwallowStopsTheChain) {
  ProcNumber root = static_cast<ProcNumber>(win().propInt(0, Prop::WndProc));
  EXPECT_NE(root, 0);
  EXPECT_GT(win().propInt(0, Prop::Handle), 32) << "handles of 32 and below mean no window";
  hook("A");
  hook("B");
  EXPECT_EQ(SendMessage(win().handle(), WM::HotKey, 3, 0x740200), 0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].hook, "B");
  EXPECT_EQ(seen[1].hook, "A");
  EXPECT_EQ(seen[1].wParam, 3u);
  EXPECT_EQ(seen[1].lParam, 0x740200);

  seen.clear();
  hook("C", 0, {WM::QueryEndSession});
  EXPECT_EQ(SendMessage(win().handle(), WM::QueryEndSession, 0, 0), 77);
  ASSERT_EQ(seen.size(), 1u) << "the hooks below C never see a message C answered";
  EXPECT_EQ(seen[0].hook, "C");
}

TEST_F(WindowProc, AHookPutsItsFormerProcedureBackOnlyWhileItIsStillInstalled) {
  ProcNumber root = static_cast<ProcNumber>(win().propInt(0, Prop::WndProc));
  ProcNumber a = hook("A");
  ProcNumber b = hook("B");
  auto unhook = [&](ProcNumber mine, ProcNumber former) {
    if (win().propInt(0, Prop::WndProc) == mine) win().setProp(0, Prop::WndProc, former);
  };
  unhook(a, root);  // A was hooked over by B: nothing changes
  EXPECT_EQ(win().propInt(0, Prop::WndProc), b);
  unhook(b, a);
  EXPECT_EQ(win().propInt(0, Prop::WndProc), a);
  unhook(a, root);
  EXPECT_EQ(win().propInt(0, Prop::WndProc), root);
  // A plain function has one number for good.
  WindowProcPtr fn = [](Handle, uint32_t, WPARAM, LPARAM) -> LRESULT { return 1; };
  EXPECT_EQ(windowProcNumber(fn), windowProcNumber(fn));
}

TEST_F(WindowProc, MouseInputReachesTheHooksWithWindowsNumbersAndCanBeSwallowed) {
  QWidget* button = win().control(proc->button)->view();
  ASSERT_NE(button, nullptr);
  hook("W");
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
  processEvents();
  auto down = of(WM::LButtonDown);
  auto up = of(WM::LButtonUp);
  ASSERT_EQ(down.size(), 1u) << "one message per click, however far Qt propagates the event";
  ASSERT_EQ(up.size(), 1u);
  // Client coordinates of the window: the button's own position plus the click's offset.
  QPoint at = button->pos() + QPoint(5, 6);
  EXPECT_EQ(GET_X_LPARAM(down[0].lParam), at.x());
  EXPECT_EQ(GET_Y_LPARAM(down[0].lParam), at.y());
  EXPECT_TRUE(down[0].wParam & MK::LButton);
  EXPECT_TRUE(proc->saw(EVENT::Accepted, proc->button)) << "passed on, the click works";

  proc->events.clear();
  seen.clear();
  hook("Eater", proc->button, {WM::LButtonDown, WM::LButtonUp});
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
  processEvents();
  ASSERT_EQ(of(WM::LButtonDown).size(), 1u);
  EXPECT_EQ(of(WM::LButtonDown)[0].hook, "Eater") << "the control's chain comes first, in its own coordinates";
  EXPECT_EQ(GET_X_LPARAM(of(WM::LButtonDown)[0].lParam), 5);
  EXPECT_FALSE(proc->saw(EVENT::Accepted, proc->button)) << "a swallowed click never reaches Qt";
}

TEST_F(WindowProc, TheWheelCarriesItsNotchesInTheHighWord) {
  hook("W");
  QWidget* entry = win().control(proc->entry)->view();
  for (int delta : {120, -120, 360}) {
    QWheelEvent ev(QPointF(3, 3), entry->mapToGlobal(QPointF(3, 3)), QPoint(), QPoint(0, delta), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(entry, &ev);
  }
  auto wheel = of(WM::MouseWheel);
  ASSERT_EQ(wheel.size(), 3u);
  // As the mouse-wheel class reads it: wParam as a signed 32-bit number over 0x780000.
  EXPECT_EQ(static_cast<int32_t>(wheel[0].wParam) / 7864320, 1);
  EXPECT_EQ(static_cast<int32_t>(wheel[1].wParam) / 7864320, -1);
  EXPECT_EQ(static_cast<int32_t>(wheel[2].wParam) / 7864320, 3);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[1].wParam), -120);
}

TEST_F(WindowProc, KeysReachTheHooksAndAlertKeysBecomeEvents) {
  hook("W");
  QWidget* entry = win().control(proc->entry)->view();
  QTest::keyClick(entry, Qt::Key_F5, Qt::ControlModifier);
  QTest::keyClick(entry, Qt::Key_M, Qt::AltModifier);
  QTest::keyClick(entry, Qt::Key_F11, Qt::AltModifier);
  QTest::keyClick(entry, Qt::Key_Apostrophe, Qt::ControlModifier);
  processEvents();
  auto down = of(WM::KeyDown);
  ASSERT_FALSE(down.empty());
  EXPECT_EQ(down[0].wParam, 116u) << "F5's virtual-key code";
  auto sys = of(WM::SysKeyDown);
  ASSERT_FALSE(sys.empty()) << "keys with Alt come as system keys";
  EXPECT_EQ(sys[0].wParam, 77u);
  std::vector<int> alerts;
  for (auto& e : proc->events)
    if (e.event == EVENT::AlertKey) alerts.push_back(e.keycode);
  EXPECT_EQ(alerts, (std::vector<int>{1146, 734})) << "Alt+F11 and Ctrl+' in the runtime's key codes";
}

TEST_F(WindowProc, F1AsksForTheWindowsPageUnlessTheWindowTakesTheKey) {
  hook("W");
  QWidget* entry = win().control(proc->entry)->view();
  QTest::keyClick(entry, Qt::Key_F1);
  processEvents();
  ASSERT_FALSE(of(WM::KeyDown).empty()) << "without a handler F1 is an ordinary key";

  std::vector<std::string> asked;
  setHelpHandler([&](const std::string& id) { asked.push_back(id); });
  seen.clear();
  QTest::keyClick(entry, Qt::Key_F1);
  setHelpId(win(), "HookedPage");
  QTest::keyClick(entry, Qt::Key_F1);
  QTest::keyClick(entry, Qt::Key_F1, Qt::ShiftModifier);  // not F1 alone
  win().alert(Key::F1);
  QTest::keyClick(entry, Qt::Key_F1);
  processEvents();
  setHelpHandler({});
  EXPECT_EQ(asked, (std::vector<std::string>{"Hooked", "HookedPage"})) << "the procedure's name, then the set id";
  int f1Down = 0;
  for (const Msg& m : of(WM::KeyDown)) f1Down += m.wParam == 112u;
  EXPECT_EQ(f1Down, 1) << "F1 taken by the handler reaches no hook; Shift+F1 does";
  int alerted = 0;
  for (auto& e : proc->events) alerted += e.event == EVENT::AlertKey && e.keycode == Key::F1;
  EXPECT_EQ(alerted, 1) << "a window that alerts F1 gets it itself";
}

TEST_F(WindowProc, WindowEventHandlersTakeMinimisingAndRestoring) {
  int asked = 0;
  int id = win().registerEventHandler(EVENT::Iconize, [&] {
    ++asked;
    win().setProp(0, Prop::Hide, 1);
    return 5;
  });
  SendMessage(win().handle(), WM::SysCommand, SC::Minimize, 0);
  processEvents();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(win().prop(0, Prop::Iconize), "") << "a handler answering 5 took the event: not minimised";
  EXPECT_EQ(win().prop(0, Prop::Hide), "1");
  EXPECT_FALSE(proc->saw(EVENT::Iconized));

  win().unregisterEventHandler(id);
  SendMessage(win().handle(), WM::SysCommand, SC::Minimize, 0);
  processEvents();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(win().prop(0, Prop::Iconize), "1");
  EXPECT_TRUE(proc->saw(EVENT::Iconized));
}

TEST_F(WindowProc, TheCloseMessageClosesTheWindowThroughItsProcedure) {
  int thread = win().thread();
  SendMessage(win().handle(), WM::Close, 0, 0);
  processEvents();
  EXPECT_FALSE(isThreadRunning(thread));
  EXPECT_EQ(SendMessage(0x7FFFFFF0, WM::Close, 0, 0), 0) << "no window has that handle";
}

}  // namespace
