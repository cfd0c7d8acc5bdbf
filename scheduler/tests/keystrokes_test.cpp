// Key tokens and title patterns (no display needed).
#include <gtest/gtest.h>

#include "scheduler/keystrokes.h"

namespace ov::scheduler {
namespace {

TEST(KeyTokens, NamesAndModifiers) {
  struct Case {
    const char* token;
    int want;
  };
  const Case cases[] = {
      {"CTRL-S", kCtrl | 'S'},
      {"^S", kCtrl | 'S'},
      {"ctrl+s", kCtrl | kShift | 'S'},  // "+" after the word adds Shift
      {"+%F4", kShift | kAlt | 115},
      {"ALT-F4", kAlt | 115},
      {"SHIFT-TAB", kShift | 9},
      {"KEYF5", 116},
      {"F12", 123},
      {"F13", 0},
      {"ENTER", 13},
      {"pad7", 103},
      {"PgDn", 34},
      {"DELETE", 46},
      {"MOUSELEFT2", kMouseLeft2},
      {"^MOUSE", kCtrl | kMouseLeft},
      {"7", '7'},
      {"TODAY", 0},
      {"CTRL", 0},
      {"ENTER 3", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    EXPECT_EQ(ParseKeyToken(c.token), c.want);
  }
}

TEST(KeyTokens, TitlePatterns) {
  struct Case {
    const char *pattern, *title;
    bool want;
  };
  const Case cases[] = {
      {"*pad", "Untitled - Notepad", true},
      {"Untitled*", "Untitled - Notepad", true},
      {"untitled - notepad", "Untitled - Notepad", true},
      {"Notepad", "Untitled - Notepad", false},
      {"*", "Anything", true},
      {"Unt*ignored", "Untitled - Notepad", true},
      {"*Note", "Untitled - Notepad", true},
      {"*pad*", "Untitled - Notepad", false},  // the rest of a leading "*" pattern is literal
      {"Editor ", "editor", true},              // trailing blanks do not count
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.title);
    EXPECT_EQ(titleMatchesPattern(c.pattern, c.title), c.want);
  }
}

}  // namespace
}  // namespace ov::scheduler
