// The key-press and hot-key classes on a real X display: keys typed into the probe window of the
// ov_os tests, the mouse moved and clicked there, and a hot key pressed through XTest reaching its
// window as an event.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "datalib/press_key_class.h"
#include "datalib/sys_hot_key_class.h"
#include "platform/os/input.h"
#include "platform/os/tests/support.h"
#include "platform/os/window_list.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"

using namespace ov;
using namespace ov::files;
using os::test::Probe;
using os::test::waitUntil;

namespace {

class ProbeInFront : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(os::haveDisplay());
    ASSERT_TRUE(probe.ready());
    ASSERT_TRUE(waitUntil([&] { return os::isWindowVisible(probe.id()); }));
    ASSERT_TRUE(os::bringToFront(probe.id(), os::test::kFrontWaitMs));
    std::string line;
    ASSERT_TRUE(probe.next("focus in", line));
    keys.Init("{}");
  }
  void TearDown() override { os::setCapsLock(false); }
  Probe probe{"Probe PressKey", 300, 200, 400, 300};
  PressKeyClass keys;
};

TEST_F(ProbeInFront, TextsWithDelimitedKeyNamesArriveAsTyped) {
  struct Case {
    const char* input;
    const char* typed;  // Enter arrives as "\r"
  };
  const Case kCases[] = {
      {"Dear Sir,{Enter}", "Dear Sir,\r"},
      {"a {{b} {Bogus} C!{Tab}x", "a {b} {Bogus} C!\tx"},  // doubled brace, unknown name typed literally
      {"caf\xC3\xA9 ok", "caf\xC3\xA9 ok"},                 // no key for the accent: typed all the same
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.input);
    keys.PressEx(c.input);
    EXPECT_EQ(probe.typedText(c.typed), c.typed);
  }
}

TEST_F(ProbeInFront, CapsLockDoesNotChangeTheTextAndIsOnAgainAfter) {
  ASSERT_TRUE(os::setCapsLock(true));
  keys.QVPress("aBc");
  EXPECT_EQ(probe.typedText("aBc"), "aBc");
  EXPECT_TRUE(os::capsLockOn());

  keys.StringToQ("Xy");
  keys.KeyToQ("Enter");
  keys.PressQ();
  EXPECT_EQ(probe.typedText("Xy\r"), "Xy\r");
  EXPECT_TRUE(os::capsLockOn());
}

TEST_F(ProbeInFront, NamedKeysCarryTheirModifiers) {
  // The probe writes "key <text hex> <Qt key> <modifiers>"; Qt::Key_S is 83, Key_F5 16777268.
  struct Case {
    const char* name;
    const char* want;
  };
  const Case kCases[] = {{"Ctrl-S", "key 13 83 C"}, {"^+F5", "key - 16777268 SC"}, {"%F5", "key - 16777268 A"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    keys.QVPressKeyStr(c.name);
    std::string line;
    bool found = false;
    while (probe.next("key ", line)) {
      // The modifiers show as keys of their own (Qt::Key_Shift, Key_Control, Key_Alt): passed over.
      bool modifier = false;
      for (const char* m : {"key - 16777248 ", "key - 16777249 ", "key - 16777251 "})
        modifier = modifier || line.rfind(m, 0) == 0;
      if (modifier) continue;
      EXPECT_EQ(line, c.want);
      found = true;
      break;
    }
    EXPECT_TRUE(found);
  }
}

TEST_F(ProbeInFront, MouseMovesAndClicks) {
  os::WindowRect r;
  ASSERT_TRUE(os::windowRect(probe.id(), r));
  const int x = r.x + 120, y = r.y + 90;
  keys.SetMousePos(x, y);
  int32_t gx = -1, gy = -1;
  keys.GetMousePos(gx, gy);
  EXPECT_EQ(gx, x);
  EXPECT_EQ(gy, y);
  std::string where = os::test::run({"xdotool", "getmouselocation", "--shell"});
  EXPECT_EQ(where.substr(0, where.find("SCREEN")), "X=" + std::to_string(x) + "\nY=" + std::to_string(y) + "\n");

  std::string line;
  keys.QVPressKeyStr("MouseRight");
  ASSERT_TRUE(probe.next("press", line));
  EXPECT_EQ(line, "press 2 " + std::to_string(x) + " " + std::to_string(y));
  keys.QVPressKey(5);  // a double click of the left button
  ASSERT_TRUE(probe.next("press", line));
  EXPECT_EQ(line.substr(0, 7), "press 1");
  // On a loaded machine the probe now and then takes the pair as two single clicks: a second pair,
  // well apart from the first, must then come through as a double click.
  bool doubled = probe.next("dblclick", line, 5000);
  for (int again = 0; again < 2 && !doubled; ++again) {
    keys.QVPressKey(5);
    doubled = probe.next("dblclick", line, 5000);
  }
  ASSERT_TRUE(doubled);
  EXPECT_EQ(line.substr(0, 10), "dblclick 1");
}

// ---- a hot key through the X server ---------------------------------------------------------

struct Recorder : ui::WindowManager {
  Recorder() : ui::WindowManager("Recorder") {}
  SysHotKeyClass* keys = nullptr;
  std::vector<int> events;
  ui::Level Init() override {
    window().setTitle("Hot Key Recorder");
    Open();
    keys->Init();
    return ui::Level::Benign;
  }
  ui::Level TakeEvent() override {
    events.push_back(ui::EVENT());
    return WindowManager::TakeEvent();
  }
  int count(int e) const { return static_cast<int>(std::count(events.begin(), events.end(), e)); }
};

TEST(X11HotKeyClass, APressedHotKeyReachesItsWindowAsItsEvent) {
  ASSERT_TRUE(os::haveDisplay());
  os::test::ensureApp();
  SysHotKeyClass keys;
  Recorder* proc = nullptr;
  ui::START([&] {
    auto p = std::make_unique<Recorder>();
    p->keys = &keys;
    proc = p.get();
    return p;
  });
  ui::processEvents();
  ASSERT_NE(proc, nullptr);
  keys.Activate();
  keys.AddKey("Ctrl-Shift-F9");
  keys.AddKey("Alt-Shift-J");
  ASSERT_EQ(keys.KEYQ.size(), 2u);
  EXPECT_TRUE(keys.FAILEDKEYQ.empty());

  PressKeyClass press;
  press.Init("");
  auto waitForPresses = [&](size_t n) {
    return waitUntil([&] {
      ui::processEvents();
      return keys.PRESSEDKEYQ.size() >= n;
    });
  };
  // Pressed with the key-press class: both classes code Alt and Shift alike.
  press.QVPressKeyStr("Alt-Shift-J");
  ASSERT_TRUE(waitForPresses(1));
  EXPECT_EQ(keys.PRESSEDKEYQ[0].KEY, "Alt-Shift-J");
  press.QVPressKeyStr("^+F9");
  ASSERT_TRUE(waitForPresses(2));
  EXPECT_EQ(keys.PRESSEDKEYQ[1].KEY, "Ctrl-Shift-F9");
  ASSERT_TRUE(waitUntil([&] {
    ui::processEvents();
    return proc->count(kEventHotKey) == 2;
  }));

  // Without its modifiers, or after the key is taken away, nothing arrives.
  press.QVPressKeyStr("Shift-J");
  keys.RemoveKey("Ctrl-Shift-F9");
  press.QVPressKeyStr("Ctrl-Shift-F9");
  press.QVPressKeyStr("Alt-Shift-J");  // still registered: a marker that the earlier presses are through
  ASSERT_TRUE(waitForPresses(3));
  EXPECT_EQ(keys.PRESSEDKEYQ.size(), 3u);
  EXPECT_EQ(keys.PRESSEDKEYQ[2].KEY, "Alt-Shift-J");

  keys.Kill();
  ui::closeAllWindows();
  ui::processEvents();
}

}  // namespace
