// Hot keys grabbed on the root window, pressed through XTest and by xdotool.
#include "platform/os/hot_keys.h"
#include "platform/os/input.h"
#include "platform/os/window_list.h"

#include "platform/os/window_sink.h"

#include "platform/os/tests/support.h"
#include "platform/os/tests/support_ui.h"

#include <gtest/gtest.h>

// After gtest: Xlib defines None, Bool and Status as macros.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <vector>

namespace ov::os {
namespace {

constexpr int kCtrl = 17, kAlt = 18, kShift = 16, kWin = 91;

struct Received {
  std::vector<WinMessage> messages;
  MessageSink sink() {
    return [this](const WinMessage& m) {
      messages.push_back(m);
      return std::intptr_t{0};
    };
  }
};

void press(std::initializer_list<int> mods, int vk) {
  for (int m : mods) ASSERT_TRUE(keyEvent(m, true));
  ASSERT_TRUE(keyEvent(vk, true));
  ASSERT_TRUE(keyEvent(vk, false));
  for (int m : mods) ASSERT_TRUE(keyEvent(m, false));
}

std::intptr_t lParam(unsigned mods, int vk) { return static_cast<std::intptr_t>((static_cast<unsigned>(vk) << 16) | mods); }

TEST(X11HotKeys, APressArrivesOnceInEveryLockState) {
  ASSERT_TRUE(haveDisplay());
  Received got;
  HotKeys keys(got.sink());
  ASSERT_EQ(keys.registerHotKey(7, hotmod::kControl | hotmod::kAlt, 'H'), winerr::kSuccess);

  struct LockState {
    const char* name;
    bool caps, num;
  };
  const LockState kStates[] = {{"no locks", false, false}, {"Caps Lock", true, false},
                               {"Num Lock", false, true},  {"both", true, true}};
  for (const LockState& s : kStates) {
    SCOPED_TRACE(s.name);
    setCapsLock(s.caps);
    setNumLock(s.num);
    got.messages.clear();
    press({kCtrl, kAlt}, 'H');
    keys.dispatchPending();  // the server handled the press before answering: all is here
    ASSERT_EQ(got.messages.size(), 1u);
    EXPECT_EQ(got.messages[0].msg, wm::kHotKey);
    EXPECT_EQ(got.messages[0].wParam, 7u);
    EXPECT_EQ(got.messages[0].lParam, lParam(hotmod::kControl | hotmod::kAlt, 'H'));
  }
  setCapsLock(false);
  setNumLock(false);

  // Other modifiers make another key.
  got.messages.clear();
  press({kCtrl, kAlt, kShift}, 'H');
  press({kCtrl}, 'H');
  keys.dispatchPending();
  EXPECT_TRUE(got.messages.empty());

  ASSERT_EQ(keys.unregisterHotKey(7), winerr::kSuccess);
  press({kCtrl, kAlt}, 'H');
  keys.dispatchPending();
  EXPECT_TRUE(got.messages.empty());
  EXPECT_EQ(keys.unregisterHotKey(7), winerr::kHotKeyNotRegistered);
}

TEST(X11HotKeys, APressReachesTheHooksOfTheOwningWindow) {
  test::HookedWindow w;
  ASSERT_TRUE(w.open());
  HotKeys keys(sendTo(w.handle()));
  ASSERT_EQ(keys.registerHotKey(4, hotmod::kControl | hotmod::kAlt, 'T'), winerr::kSuccess);
  press({kCtrl, kAlt}, 'T');
  ASSERT_TRUE(test::waitUntil([&] { return !w.of(wm::kHotKey).empty(); }));
  keys.dispatchPending();
  auto seen = w.of(wm::kHotKey);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].wParam, 4u);
  EXPECT_EQ(seen[0].lParam, ui::MAKELPARAM(hotmod::kControl | hotmod::kAlt, 'T'));
}

TEST(X11HotKeys, ArrivesThroughTheEventLoopFromAnotherProgram) {
  test::ensureApp();
  Received got;
  HotKeys keys(got.sink());
  ASSERT_EQ(keys.registerHotKey(1, hotmod::kWin, 'W'), winerr::kSuccess);
  ASSERT_EQ(keys.registerHotKey(2, hotmod::kControl | hotmod::kShift, 116), winerr::kSuccess);
  test::run({"xdotool", "key", "super+w"});
  test::run({"xdotool", "key", "ctrl+shift+F5"});
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 2; }));
  EXPECT_EQ(got.messages[0].wParam, 1u);
  EXPECT_EQ(got.messages[0].lParam, lParam(hotmod::kWin, 'W'));
  EXPECT_EQ(got.messages[1].wParam, 2u);
  EXPECT_EQ(got.messages[1].lParam, lParam(hotmod::kControl | hotmod::kShift, 116));
  keys.dispatchPending();
  EXPECT_EQ(got.messages.size(), 2u);
}

TEST(X11HotKeys, AKeyHeldByAnotherProgramIsReportedInUse) {
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  KeyCode k = XKeysymToKeycode(other, XK_k);
  // The other program grabs Ctrl+Alt+K (with Num Lock on, as Mod2).
  XGrabKey(other, k, ControlMask | Mod1Mask | Mod2Mask, DefaultRootWindow(other), False, GrabModeAsync,
           GrabModeAsync);
  XSync(other, False);

  Received got;
  HotKeys keys(got.sink());
  EXPECT_EQ(keys.registerHotKey(3, hotmod::kControl | hotmod::kAlt, 'K'), winerr::kHotKeyAlreadyRegistered);
  // What it could grab before the clash is given back: the other program alone holds the key.
  press({kCtrl, kAlt}, 'K');
  keys.dispatchPending();
  EXPECT_TRUE(got.messages.empty());

  XCloseDisplay(other);
  EXPECT_EQ(keys.registerHotKey(3, hotmod::kControl | hotmod::kAlt, 'K'), winerr::kSuccess);
  press({kCtrl, kAlt}, 'K');
  keys.dispatchPending();
  EXPECT_EQ(got.messages.size(), 1u);
}

TEST(X11HotKeys, RefusesDuplicatesAndKeysThatCannotBeGrabbed) {
  Received got;
  HotKeys keys(got.sink());
  ASSERT_EQ(keys.registerHotKey(1, hotmod::kAlt, 'Q'), winerr::kSuccess);
  EXPECT_EQ(keys.registerHotKey(2, hotmod::kAlt, 'Q'), winerr::kHotKeyAlreadyRegistered);
  struct Bad {
    const char* name;
    unsigned mods;
    int vk;
  };
  const Bad kBad[] = {{"no key (Ctrl alone)", hotmod::kControl, 0},
                      {"a mouse button", hotmod::kControl, 1},
                      {"an unknown code", hotmod::kControl, 255},
                      {"an unknown modifier bit", 0x10, 'A'}};
  for (const Bad& b : kBad) {
    SCOPED_TRACE(b.name);
    EXPECT_EQ(keys.registerHotKey(9, b.mods, b.vk), winerr::kInvalidParameter);
  }
  // Registering an id again moves it to the new key.
  ASSERT_EQ(keys.registerHotKey(1, hotmod::kAlt, 'R'), winerr::kSuccess);
  EXPECT_EQ(keys.registerHotKey(2, hotmod::kAlt, 'Q'), winerr::kSuccess);
  press({kAlt}, 'R');
  press({kAlt}, 'Q');
  keys.dispatchPending();
  ASSERT_EQ(got.messages.size(), 2u);
  EXPECT_EQ(got.messages[0].wParam, 1u);
  EXPECT_EQ(got.messages[1].wParam, 2u);
}

TEST(X11HotKeys, GrabsEndWithTheObject) {
  {
    Received got;
    HotKeys keys(got.sink());
    ASSERT_EQ(keys.registerHotKey(1, hotmod::kControl | hotmod::kAlt, 'J'), winerr::kSuccess);
  }
  // Another client can now take the key.
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  int (*old)(Display*, XErrorEvent*) = XSetErrorHandler([](Display*, XErrorEvent* e) {
    ADD_FAILURE() << "the key is still grabbed, X error " << static_cast<int>(e->error_code);
    return 0;
  });
  XGrabKey(other, XKeysymToKeycode(other, XK_j), ControlMask | Mod1Mask, DefaultRootWindow(other), False,
           GrabModeAsync, GrabModeAsync);
  XSync(other, False);
  XSetErrorHandler(old);
  XCloseDisplay(other);
}

}  // namespace
}  // namespace ov::os
