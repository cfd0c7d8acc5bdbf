// Typing, named keys and the mouse, seen by the probe window of the helper program.
#include "platform/os/input.h"
#include "platform/os/window_list.h"

#include "platform/os/tests/support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace ov::os {
namespace {

using test::Probe;
using test::run;
using test::waitUntil;

// A probe that has the focus.
class FocusedProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(haveDisplay());
    ASSERT_TRUE(probe.ready());
    ASSERT_TRUE(waitUntil([&] { return isWindowVisible(probe.id()); }));
    ASSERT_TRUE(bringToFront(probe.id(), test::kFrontWaitMs));
    std::string line;
    ASSERT_TRUE(probe.next("focus in", line));
  }
  Probe probe{"Probe Input", 300, 200, 400, 300};
};

// Sets the server's keyboard layout for one test and puts "us" back.
class Layout {
 public:
  explicit Layout(const char* name) { run({"setxkbmap", name}); }
  ~Layout() { run({"setxkbmap", "us"}); }
};

std::string keymapDump() {
  return run({"xkbcomp", "-xkb", std::getenv("DISPLAY"), "-"});
}

TEST_F(FocusedProbe, TypesTextInTheCurrentLayout) {
  const char* kTexts[] = {
      "Hello, World! 123",
      "{|}~ <>?:\"_+ `[]\\;',./",
      "é€ßñ Ω — 中",  // not on a US keyboard: typed through a spare key
  };
  std::string before = keymapDump();
  for (const char* text : kTexts) {
    SCOPED_TRACE(text);
    ASSERT_EQ(typeText(text, probe.id()), TypeResult::Typed);
    EXPECT_EQ(probe.typedText(text), text);
  }
  EXPECT_EQ(keymapDump(), before) << "the spare keys were not given back";
}

TEST_F(FocusedProbe, TypesAltGrLevelsOfAGermanLayout) {
  Layout de("de");
  // On a German keyboard these sit on AltGr (and AltGr+Shift) levels, and z/y are swapped.
  const std::string text = "@€{[]}\\~|µ äöüßÄ zy";
  ASSERT_EQ(typeText(text, probe.id()), TypeResult::Typed);
  EXPECT_EQ(probe.typedText(text), text);
}

TEST_F(FocusedProbe, ControlCharactersPressTheirKeys) {
  ASSERT_EQ(typeText("a\r\nb\tc\bd\x01", probe.id()), TypeResult::Typed);
  EXPECT_EQ(probe.typedText("a\rb\tc\bd"), "a\rb\tc\bd") << "\\r\\n is one Enter; \\x01 is skipped";
}

TEST_F(FocusedProbe, CapsLockIsOffWhileTypingAndOnAgainAfter) {
  ASSERT_TRUE(setCapsLock(true));
  ASSERT_TRUE(capsLockOn());
  ASSERT_EQ(typeText("abC", probe.id()), TypeResult::Typed);
  EXPECT_EQ(probe.typedText("abC"), "abC");
  EXPECT_TRUE(capsLockOn());
  ASSERT_TRUE(setCapsLock(false));
  EXPECT_FALSE(capsLockOn());
}

TEST_F(FocusedProbe, NamedKeysWithModifiers) {
  struct Case {
    const char* name;
    std::vector<int> mods;
    int vk;
    std::string want;  // the probe's "key" line after "key "
  };
  const Case kCases[] = {
      {"Ctrl+S", {17}, 'S', "13 83 C"},
      {"Shift+A", {16}, 'A', "41 65 S"},
      {"F5", {}, 116, "- 16777268 -"},
      {"Ctrl+Shift+F6", {17, 16}, 117, "- 16777269 SC"},
      {"Enter", {}, 13, "0d 16777220 -"},
      {"keypad *", {}, 106, "2a 42 -"},
      {"Delete", {}, 46, "7f 16777223 -"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    for (int m : c.mods) ASSERT_TRUE(keyEvent(m, true));
    ASSERT_TRUE(keyEvent(c.vk, true));
    ASSERT_TRUE(keyEvent(c.vk, false));
    for (int m : c.mods) ASSERT_TRUE(keyEvent(m, false));
    std::string line;
    // Modifier presses show as keys of their own; skip to the key itself.
    bool found = false;
    while (probe.next("key ", line)) {
      std::string rest = line.substr(4);
      if (rest.rfind("- 16777248 ", 0) == 0 || rest.rfind("- 16777249 ", 0) == 0) continue;  // Shift, Ctrl
      EXPECT_EQ(rest, c.want);
      found = true;
      break;
    }
    EXPECT_TRUE(found);
  }
  EXPECT_FALSE(keyEvent(0, true));
  EXPECT_FALSE(keyEvent(255, true));
}

TEST_F(FocusedProbe, HeldModifiersAreReleased) {
  ASSERT_TRUE(keyEvent(16, true));  // Shift held, as after a hot key
  ASSERT_TRUE(keyEvent(17, true));  // and Ctrl
  releaseHeldModifiers();
  ASSERT_EQ(typeText("ab", probe.id()), TypeResult::Typed);
  EXPECT_EQ(probe.typedText("ab"), "ab");
}

TEST_F(FocusedProbe, NothingIsTypedIntoAWindowWithoutTheFocus) {
  Probe other("Probe Elsewhere", 700, 200, 200, 200);
  ASSERT_TRUE(other.ready());
  ASSERT_TRUE(waitUntil([&] { return windowExists(other.id()) && isWindowVisible(other.id()); }));
  ASSERT_TRUE(bringToFront(probe.id(), test::kFrontWaitMs));
  EXPECT_EQ(typeText("lost", other.id()), TypeResult::NotFocused);
  ASSERT_EQ(typeText("kept", probe.id()), TypeResult::Typed);
  EXPECT_EQ(probe.typedText("kept"), "kept") << "the text meant for the other window came here";
}

TEST_F(FocusedProbe, MouseMovesAndClicks) {
  WindowRect r;
  ASSERT_TRUE(windowRect(probe.id(), r));
  int x = r.x + 100, y = r.y + 120;
  ASSERT_TRUE(moveMouseTo(x, y));
  int px = 0, py = 0;
  ASSERT_TRUE(mousePosition(px, py));
  EXPECT_EQ(px, x);
  EXPECT_EQ(py, y);
  std::string where = run({"xdotool", "getmouselocation", "--shell"});
  EXPECT_EQ(where.substr(0, where.find("SCREEN")), "X=" + std::to_string(x) + "\nY=" + std::to_string(y) + "\n");
  ASSERT_TRUE(moveMouseBy(25, -10));
  ASSERT_TRUE(mousePosition(px, py));
  EXPECT_EQ(px, x + 25);
  EXPECT_EQ(py, y - 10);

  std::string line;
  ASSERT_TRUE(mouseClick(MouseButton::Left));
  ASSERT_TRUE(probe.next("press", line));
  EXPECT_EQ(line, "press 1 " + std::to_string(x + 25) + " " + std::to_string(y - 10));
  ASSERT_TRUE(mouseClick(MouseButton::Right));
  ASSERT_TRUE(probe.next("press", line));
  EXPECT_EQ(line.substr(0, 7), "press 2");
  ASSERT_TRUE(mouseClick(MouseButton::Middle));
  ASSERT_TRUE(probe.next("press", line));
  EXPECT_EQ(line.substr(0, 7), "press 3");
  ASSERT_TRUE(mouseDoubleClick(MouseButton::Left));
  ASSERT_TRUE(probe.next("press", line));
  EXPECT_EQ(line.substr(0, 7), "press 1");
  ASSERT_TRUE(probe.next("dblclick", line));
  EXPECT_EQ(line.substr(0, 10), "dblclick 1");
}

TEST(X11Keys, VkKeyScanOnAUsLayout) {
  ASSERT_TRUE(haveDisplay());
  struct Case {
    char32_t ch;
    int want;
  };
  const Case kCases[] = {
      {U'a', 65},  {U'A', 0x141}, {U'1', 49},   {U'!', 0x131}, {U' ', 32},
      {U'{', 0x1DB}, {U'[', 219}, {U'~', 0x1C0}, {U'é', -1},    {U'€', -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.ch));
    EXPECT_EQ(vkKeyScan(c.ch), c.want);
  }
}

}  // namespace
}  // namespace ov::os
