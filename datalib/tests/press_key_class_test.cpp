// The key-press class's expansion of texts into key events, recorded instead of sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datalib/press_key_class.h"

using namespace ov::files;

namespace {

// A US-like layout: letters and digits on their keys, capitals with Shift, "{" on Shift+219.
class Recording : public PressKeyClass {
 public:
  std::vector<std::string> sent;
  bool caps = false;
  int32_t charCode(char32_t ch) override {
    if (ch >= 'a' && ch <= 'z') return static_cast<int32_t>(ch - 32);
    if (ch >= 'A' && ch <= 'Z') return static_cast<int32_t>(ch) | kPressKeyBits.shift;
    if (ch >= '0' && ch <= '9') return static_cast<int32_t>(ch);
    if (ch == ' ') return 32;
    if (ch == '{') return 219 | kPressKeyBits.shift;
    if (ch == '}') return 221 | kPressKeyBits.shift;
    return 0;
  }

 protected:
  void sendKey(int vk, bool down) override { sent.push_back((down ? "+" : "-") + std::to_string(vk)); }
  void sendButton(int b, bool down) override { sent.push_back((down ? "B+" : "B-") + std::to_string(b)); }
  void typeCharacter(std::string_view c) override { sent.push_back("T" + std::string(c)); }
  bool lockOn(int vk) override { return vk == 20 && caps; }
  void pause(int32_t) override {}
};

std::vector<std::string> keys(std::initializer_list<const char*> l) { return {l.begin(), l.end()}; }

}  // namespace

TEST(PressKey, DelimitedNamesArePressedAndTheRestTyped) {
  Recording k;
  k.Init("{}");
  k.PressEx("Hi{Enter}");
  EXPECT_EQ(k.sent, keys({"+16", "+72", "-72", "-16", "+73", "-73", "+13", "-13"}));

  k.sent.clear();
  k.PressEx("{{a");  // a doubled delimiter types one
  EXPECT_EQ(k.sent, keys({"+16", "+219", "-219", "-16", "+65", "-65"}));

  k.sent.clear();
  k.PressEx("{Nothing}");  // an unknown name is typed literally
  EXPECT_EQ(k.sent.front(), "+16");
  EXPECT_EQ(k.sent[1], "+219");
  // "{" and "N" and "}" with Shift (4 events each), "othing" plain (2 each).
  EXPECT_EQ(k.sent.size(), 24u);

  k.sent.clear();
  k.PressEx("{Ctrl-Alt-Del}");
  EXPECT_EQ(k.sent, keys({"+17", "+18", "+46", "-46", "-17", "-18"}));
}

TEST(PressKey, OneDelimiterOpensAndCloses) {
  Recording k;
  k.Init("~");
  k.PressEx("~Tab~x");
  EXPECT_EQ(k.sent, keys({"+9", "-9", "+88", "-88"}));
}

TEST(PressKey, CapsLockIsOffWhileTypingAndMouseCodesClick) {
  Recording k;
  k.Init("");
  k.caps = true;
  k.QVPress("a");
  EXPECT_EQ(k.sent, keys({"+20", "-20", "+65", "-65", "+20", "-20"}));
  k.sent.clear();
  k.caps = false;
  k.QVPressKey(k.TrnKeyName("MouseRight2"));  // a double click of the right button
  EXPECT_EQ(k.sent, keys({"B+2", "B-2", "B+2", "B-2"}));
  k.sent.clear();
  k.QVPress("é");  // no key on this layout: typed through the layout's spare key
  EXPECT_EQ(k.sent, keys({"Té"}));
  EXPECT_EQ(k.TrnVirtKey(kPressKeyBits.ctrl + 65), "Ctrl-A");
}

TEST(PressKey, ModifiersUseTheClassesOwnBitsNotTheHotKeyOnes) {
  Recording k;
  k.Init("");
  struct Case {
    const char* name;
    int32_t code;
    const char* text;
  };
  const Case cases[] = {
      {"+A", 321, "Shift-A"},        {"^A", 577, "Ctrl-A"},   {"%A", 1089, "Alt-A"},
      {"*A", 2113, "Win-A"},         {"Shift-A", 321, "Shift-A"}, {"Alt-Ctrl-F5", 1024 + 512 + 116, "Alt-Ctrl-F5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(k.TrnKeyName(c.name), c.code) << c.name;
    EXPECT_EQ(k.TrnVirtKey(static_cast<uint32_t>(c.code)), c.text) << c.name;
  }
  // "+A" presses Shift with A.
  k.QVPressKey(k.TrnKeyName("+A"));
  EXPECT_EQ(k.sent, keys({"+16", "+65", "-65", "-16"}));
  // The hot-key class keeps its own: Shift is 1024 there.
  KeyTranslations hot;
  appendKeyBlock(hot, hotKeyBlock());
  EXPECT_EQ(translateKeyName(hot, "+A"), 1024 + 65);
}

TEST(PressKey, QueueOfKeysPlaysBackInOrder) {
  Recording k;
  k.Init("");
  k.StringToQ("Ab");
  k.KeyToQ("Enter");
  ASSERT_EQ(k.KEYQ.size(), 3u);
  EXPECT_EQ(k.KEYQ[0].ID, 65 | kPressKeyBits.shift);  // a capital carries the Shift bit
  k.PressQ();
  EXPECT_EQ(k.sent, keys({"+16", "+65", "-65", "-16", "+66", "-66", "+13", "-13"}));
}
