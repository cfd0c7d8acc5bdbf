#include "editors/script_text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "datalib/files.h"
#include "scheduler/tests/data_fixture.h"

namespace ov::editors {
namespace {

using files::ScriptingRec;

ScriptingRec item(const char* action) {
  ScriptingRec r;
  r.Action = action;
  return r;
}

std::string padded(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

// Every field but the owner and sequence, by name, for field-by-field comparison.
void expectSameFields(const ScriptingRec& a, const ScriptingRec& b, const std::string& where) {
#define OV_SAME(f) EXPECT_EQ(a.f, b.f) << where << ": " #f
  OV_SAME(Action.view()); OV_SAME(Keystrokes.view()); OV_SAME(SecondsToWait); OV_SAME(WaitForWindow.view());
  OV_SAME(FocusOnWindow.view()); OV_SAME(WindowExistance.view()); OV_SAME(WindowTitleToCheckFor.view());
  OV_SAME(IfTimeElapsed.view()); OV_SAME(TimeElapsed); OV_SAME(EmailID); OV_SAME(Command.view());
  OV_SAME(Path.view()); OV_SAME(DDEType.view()); OV_SAME(DDEApplicationName.view());
  OV_SAME(DDEApplicationTopic.view()); OV_SAME(DDECommand.view());
#undef OV_SAME
}

// One item of every action the text form knows, with values that need quoting and escapes.
std::vector<ScriptingRec> everyAction() {
  std::vector<ScriptingRec> v;
  ScriptingRec r = item("Display Message");
  r.DDEApplicationName = "Line one\r\nsays \"hi\", <13> stays, a [b c";
  r.DDEApplicationTopic = "  Title with leading blanks";
  r.FocusOnWindow = "OK|Cancel";
  r.SecondsToWait = 1;
  v.push_back(r);
  v.push_back(item("Exit Script"));
  r = item("Close Program"); r.Command = "/usr/bin/gedit"; r.Path = "Untitled, 1"; v.push_back(r);
  r = item("Start Program");
  r.Command = "/opt/My Tools/run.sh";
  r.Path = "/home/anne";
  r.DDEApplicationName = "13H11";
  r.TimeElapsed = 30;
  r.DDEApplicationTopic = "Print";
  r.DDECommand = padded("anne smith", 64) + padded("pa ss\"word", 64) + padded("HOME", 64);
  v.push_back(r);
  r = item("Send Keys"); r.Keystrokes = "  [Ctrl-a]hello, \"world\" /x"; v.push_back(r);
  r = item("DDE (Dynamic Data Exchange)"); r.DDEApplicationName = "app"; r.DDEApplicationTopic = "topic";
  r.DDECommand = "[cmd one]"; v.push_back(r);
  r = item("Set Focus"); r.FocusOnWindow = "*Editor"; r.WaitForWindow = "doc.txt"; v.push_back(r);
  r = item("System"); r.DDEType = "Logon as";
  r.DDECommand = padded("anne", 64) + padded("Jx[=-M", 64) + padded("dom", 64); v.push_back(r);
  r = item("Start Loop"); r.DDEType = "While"; r.Command = "[COUNT]"; r.WindowTitleToCheckFor = "<";
  r.WaitForWindow = "10"; v.push_back(r);
  r = item("Start Loop"); r.DDEType = "Files"; r.Command = "/tmp/*.txt"; v.push_back(r);
  r = item("Start Loop"); r.DDEType = "Count"; r.SecondsToWait = 7; v.push_back(r);
  r = item("Start Loop"); r.DDEType = "Forever"; v.push_back(r);
  v.push_back(item("Exit Loop"));
  v.push_back(item("...End Loop"));
  r = item("If File Exists..."); r.WindowExistance = "Does not exist"; r.Command = "/tmp/a b"; v.push_back(r);
  r = item("If File Exists..."); r.WindowExistance = "Exists"; r.Command = "a.txt"; v.push_back(r);
  r = item("File Actions"); r.DDEType = "Copy"; r.Command = "/a/*.txt"; r.Path = "/b"; r.DDEApplicationName = "/D";
  r.DDEApplicationTopic = "/S"; v.push_back(r);
  r = item("File Actions"); r.DDEType = "Delete"; r.Command = "/a/x.txt"; v.push_back(r);
  r = item("File Actions"); r.DDEType = "FTP Upload"; r.Command = "a.txt"; r.Path = "/up"; r.DDEApplicationName = "host";
  r.DDEApplicationTopic = padded("ftp user", 128) + "pass,word"; v.push_back(r);
  r = item("File Actions"); r.DDEType = "HTTP Download"; r.Command = "http://x/y"; r.Path = "/tmp/y";
  r.DDEApplicationName = "z"; v.push_back(r);
  r = item("File Actions"); r.DDEType = "Make Directory"; r.Command = "/tmp/new dir"; r.Path = "x"; v.push_back(r);
  r = item("Send Email"); r.EmailID = 42; v.push_back(r);
  r = item("Get Email"); r.Command = "pop.example.org"; r.Path = "anne"; r.DDECommand = "se cret";
  r.DDEApplicationName = "/tmp/att"; r.DDEApplicationTopic = "/tmp/msg"; r.WindowTitleToCheckFor = "-v";
  r.EmailID = 1; v.push_back(r);
  r = item("Set Value"); r.DDEType = "Set value"; r.Path = "name"; r.Command = "a value"; v.push_back(r);
  r = item("Set Value"); r.DDEType = "Set reserved value"; r.Path = "CLIPBOARD"; r.Command = "x"; v.push_back(r);
  r = item("Set Value"); r.DDEType = "Set value from INI"; r.Path = "v"; r.Command = "key";
  r.DDEApplicationName = "/etc/a.ini"; r.DDEApplicationTopic = "Main"; v.push_back(r);
  r = item("Set Value"); r.DDEType = "Set INI from value"; r.Path = "v"; r.Command = "key";
  r.DDEApplicationName = "a.ini"; r.DDEApplicationTopic = "Sec"; v.push_back(r);
  r = item("If Value..."); r.Command = "[FOCUS]"; r.WindowTitleToCheckFor = "<>"; r.WaitForWindow = "Editor 2"; v.push_back(r);
  r = item("Start Script"); r.Command = "/s/a.ovs"; r.Path = "Jump to (Execute and skip)"; v.push_back(r);
  r = item("Wait"); r.SecondsToWait = 10; v.push_back(r);
  r = item("Wait"); r.WaitForWindow = "Editor"; r.FocusOnWindow = "doc"; v.push_back(r);
  r = item("Wait"); r.DDEApplicationName = "Either"; r.SecondsToWait = 5; r.WaitForWindow = "Ed itor"; v.push_back(r);
  r = item("If Window..."); r.WindowExistance = "Exists"; r.WindowTitleToCheckFor = "*Edit*"; r.FocusOnWindow = "x";
  v.push_back(r);
  r = item("If Window..."); r.WindowExistance = "Does not exist"; r.WindowTitleToCheckFor = "Ed"; v.push_back(r);
  r = item("If Time Elapsed..."); r.IfTimeElapsed = "Greater than"; r.TimeElapsed = 90; v.push_back(r);
  r = item("If Time Elapsed..."); r.IfTimeElapsed = "Less than"; r.TimeElapsed = 5; v.push_back(r);
  v.push_back(item("...End If"));
  r = item("Comment"); r.Command = "a comment, with \"quotes\""; v.push_back(r);
  return v;
}

TEST(ScriptText, EveryActionRoundTripsFieldByField) {
  const std::vector<ScriptingRec> items = everyAction();
  const std::string text = ScriptItemsText(items);
  std::vector<ScriptingRec> back;
  ScriptTextProblem problem;
  ASSERT_TRUE(ParseScriptText(text, 7, back, &problem)) << problem.message << "\n" << text;
  ASSERT_EQ(back.size(), items.size()) << text;
  for (size_t i = 0; i < items.size(); ++i) {
    expectSameFields(items[i], back[i], std::to_string(i + 1) + " " + items[i].Action.str());
    EXPECT_EQ(back[i].ID, 7);
    EXPECT_EQ(back[i].Sequence, static_cast<int32_t>(i + 1));
  }
  // Writing what was read gives the same text again.
  EXPECT_EQ(ScriptItemsText(back), text);
  // Passwords do not appear in the text as typed.
  EXPECT_EQ(text.find("se cret"), std::string::npos);
  EXPECT_EQ(text.find("pa ss"), std::string::npos);
  EXPECT_EQ(text.find("pass,word"), std::string::npos);
  EXPECT_NE(text.find("!ENC"), std::string::npos);
}

TEST(ScriptText, WrittenLines) {
  struct Case {
    ScriptingRec rec;
    const char* line;
  };
  std::vector<Case> cases;
  ScriptingRec r = item("Display Message");
  r.DDEApplicationName = "Hello";
  cases.push_back({r, "DISPLAY Hello"});  // trailing empty title and button text left out
  r = item("Close Program"); r.Command = "C:\\Program Files\\x.exe"; cases.push_back({r, "CLOSE \"C:\\Program Files\\x.exe\""});
  r = item("Comment"); r.Command = "say \"hi\""; cases.push_back({r, "COMMENT \"say <34>hi<34>\""});
  r = item("Comment"); r.Command = "a<13>b"; cases.push_back({r, "COMMENT a<60>13>b"});
  r = item("Start Program"); r.Command = "prog"; r.DDEApplicationName = "1  1"; r.TimeElapsed = 30;
  cases.push_back({r, "START prog \"\" WAIT=30 /TRANSLATE"});
  r = item("Start Program"); r.Command = "prog"; r.Path = "dir"; r.DDEApplicationName = "02100";
  cases.push_back({r, "START prog dir"});
  r = item("Set Value"); r.DDEType = "Set value"; r.Path = "x"; r.Command = "a,b"; cases.push_back({r, "SET x \"a,b\""});
  r = item("Exit Script"); cases.push_back({r, "EXIT"});
  r = item("Wait"); r.SecondsToWait = 10; r.WaitForWindow = "Editor"; cases.push_back({r, "WAIT 10 Editor"});
  for (const Case& c : cases) EXPECT_EQ(ScriptItemLine(c.rec), c.line);
  EXPECT_EQ(ScriptItemLine(item("Unheard Of")), "");
}

TEST(ScriptText, NestedBlocksAreIndentedUpTo24Blanks) {
  std::vector<ScriptingRec> items;
  ScriptingRec loop = item("Start Loop");
  loop.DDEType = "Forever";
  items.push_back(loop);
  ScriptingRec iff = item("If Value...");
  iff.Command = "A";
  iff.WindowTitleToCheckFor = "=";
  iff.WaitForWindow = "1";
  items.push_back(iff);
  ScriptingRec file = item("If File Exists...");
  file.WindowExistance = "Exists";
  file.Command = "x";
  items.push_back(file);
  items.push_back(item("Exit Script"));
  items.push_back(item("...End If"));
  items.push_back(item("...End If"));
  items.push_back(item("...End Loop"));
  items.push_back(item("...End If"));  // one closing line too many stays at 0
  EXPECT_EQ(ScriptItemsText(items),
            "LOOP Forever\r\n   IF A = 1\r\n      IFFILE x\r\n         EXIT\r\n      END\r\n   END\r\nENDLOOP\r\nEND\r\n");

  std::vector<ScriptingRec> deep(10, loop);
  deep.push_back(item("Exit Script"));
  const std::string text = ScriptItemsText(deep);
  EXPECT_NE(text.find("\r\n" + std::string(24, ' ') + "EXIT\r\n"), std::string::npos);
  EXPECT_EQ(text.find(std::string(25, ' ')), std::string::npos);
}

TEST(ScriptText, ReadLines) {
  ScriptingRec r;
  std::string why;
  ASSERT_TRUE(ParseScriptLine("START \"/opt/a b/x\" /tmp WAIT=30 /TRANSLATE", r, &why)) << why;
  EXPECT_EQ(r.Command.str(), "/opt/a b/x");
  EXPECT_EQ(r.Path.str(), "/tmp");
  EXPECT_EQ(r.TimeElapsed, 30);
  EXPECT_EQ(r.DDEApplicationName.str(), "1  1");
  EXPECT_EQ(ScriptItemLine(r), "START \"/opt/a b/x\" \"/tmp\" WAIT=30 /TRANSLATE");

  // A folder that merely contains an option's letters sets nothing.
  ASSERT_TRUE(ParseScriptLine("START prog /ASSETS", r, &why)) << why;
  EXPECT_EQ(r.Path.str(), "/ASSETS");
  EXPECT_TRUE(r.DDEApplicationName.isBlank());
  ASSERT_TRUE(ParseScriptLine("START prog ACTION=pr", r, &why)) << why;
  EXPECT_EQ(r.DDEApplicationTopic.str(), "Print");
  EXPECT_TRUE(r.Path.isBlank());

  ASSERT_TRUE(ParseScriptLine("WAIT 10", r, &why));
  EXPECT_EQ(r.SecondsToWait, 10);
  EXPECT_TRUE(r.WaitForWindow.isBlank());
  ASSERT_TRUE(ParseScriptLine("WAIT Editor", r, &why));
  EXPECT_EQ(r.WaitForWindow.str(), "Editor");
  EXPECT_EQ(r.SecondsToWait, 0);
  ASSERT_TRUE(ParseScriptLine("WAIT Or 10 \"My Editor\"", r, &why));
  EXPECT_EQ(r.DDEApplicationName.str(), "Or");
  EXPECT_EQ(r.SecondsToWait, 10);
  EXPECT_EQ(r.WaitForWindow.str(), "My Editor");
  ASSERT_TRUE(ParseScriptLine("wait 10 Editor", r, &why));
  EXPECT_EQ(r.DDEApplicationName.str(), "Both");

  ASSERT_TRUE(ParseScriptLine("   LOOP fOrEvEr", r, &why));
  EXPECT_EQ(r.DDEType.str(), "Forever");
  ASSERT_TRUE(ParseScriptLine("LOOP often", r, &why));
  EXPECT_EQ(r.DDEType.str(), "Count");
  EXPECT_EQ(r.SecondsToWait, 1);

  ASSERT_TRUE(ParseScriptLine("FILE copy a.txt b.txt /S", r, &why));
  EXPECT_EQ(r.DDEType.str(), "Copy");
  EXPECT_EQ(r.DDEApplicationTopic.str(), "/S");
  EXPECT_TRUE(r.DDEApplicationName.isBlank());

  ASSERT_TRUE(ParseScriptLine("! note", r, &why));
  EXPECT_EQ(r.Action.str(), "Comment");
  EXPECT_EQ(r.Command.str(), "note");
  ASSERT_TRUE(ParseScriptLine("! two words", r, &why));
  EXPECT_EQ(r.Command.str(), "two words");

  ASSERT_TRUE(ParseScriptLine("DISPLAY hi /wait", r, &why));
  EXPECT_EQ(r.SecondsToWait, 1);
  EXPECT_TRUE(r.DDEApplicationTopic.isBlank());

  ASSERT_TRUE(ParseScriptLine("KEYS  [Ctrl-a]x, y", r, &why));
  EXPECT_EQ(r.Keystrokes.str(), " [Ctrl-a]x, y");

  // A bare comma ends a token and stays on it.
  EXPECT_EQ(SplitScriptArguments("a,b \"c d\" [x y] \"\""), (std::vector<std::string>{"a,", "b", "c d", "[x y]", ""}));
  // Brackets inside quotes do not hold the token together.
  EXPECT_EQ(SplitScriptArguments("\"a[b\" c"), (std::vector<std::string>{"a[b", "c"}));
}

TEST(ScriptText, BadLinesAreRejectedWithTheirLineNumber) {
  struct Case {
    const char* text;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"WAIT 1\r\nFROB x\r\n", 2, "Unknown script action: FROB"},
      {"EXIT\r\n\r\n!note\r\n", 3, "Unknown script action: !note"},
      {"FILE shred a\r\n", 1, "Unknown file operation"},
      {"EMAIL twelve\r\n", 1, "whole number"},
      {"IFTIME 5s\r\n", 1, "whole number"},
      {"START prog dir BOGUS\r\n", 1, "Unknown START option"},
      {"COMMENT ok\nWAIT 1\nCLOSE \"" "%LONG%" "\"\n", 3, "longer than 255"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    if (auto at = text.find("%LONG%"); at != std::string::npos) text.replace(at, 6, std::string(300, 'x'));
    std::vector<ScriptingRec> items;
    ScriptTextProblem problem;
    EXPECT_FALSE(ParseScriptText(text, 1, items, &problem)) << c.text;
    EXPECT_EQ(problem.line, c.line) << c.text;
    EXPECT_NE(problem.message.find(c.says), std::string::npos) << problem.message;
    EXPECT_TRUE(items.empty());
  }
}

TEST(ScriptText, BlankLinesLeaveGapsAndLineEndsAreCrLfOrLf) {
  std::vector<ScriptingRec> items;
  ASSERT_TRUE(ParseScriptText("WAIT 1\r\n\r\nEXIT\nEND", 3, items, nullptr));
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].Sequence, 1);
  EXPECT_EQ(items[1].Sequence, 3);
  EXPECT_EQ(items[2].Sequence, 4);
  EXPECT_EQ(items[2].Action.str(), "...End If");
}

class ScriptTextStore : public scheduler::testing::DataFixture {
 protected:
  std::vector<ScriptingRec> stored(int32_t task) {
    std::vector<ScriptingRec> out;
    EXPECT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
    rt::Err err = files::SCRIPTING.set(files::SCR_KeyID);
    while (err == rt::Err::None && (err = files::SCRIPTING.next()) == rt::Err::None)
      if (files::SCR.ID == task) out.push_back(files::SCR);
    (void)files::Access_SCRIPTING.Close();
    return out;
  }
};

TEST_F(ScriptTextStore, TextReplacesTheTasksItemsAndReadsBack) {
  addScriptItems(5, 4);
  addScriptItems(6, 2);
  ScriptTextProblem problem;
  ASSERT_EQ(TextToScript(5, "WAIT 3\r\n\r\nCOMMENT \"two words\"\r\n", &problem), rt::Err::None) << problem.message;
  const auto items = stored(5);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Sequence, 1);
  EXPECT_EQ(items[0].SecondsToWait, 3);
  EXPECT_EQ(items[1].Sequence, 3);
  EXPECT_EQ(items[1].Command.str(), "two words");
  EXPECT_EQ(scriptItemCount(6), 2);

  std::string text;
  ASSERT_EQ(ScriptToText(5, text), rt::Err::None);
  EXPECT_EQ(text, "WAIT 3\r\nCOMMENT \"two words\"\r\n");

  std::string why;
  EXPECT_EQ(ScriptToText(0, text, &why), rt::Err::BadParameters);
  EXPECT_EQ(why, "No task ID");
}

TEST_F(ScriptTextStore, ABadTextOrABlankOneStoresNothing) {
  addScriptItems(5, 3);
  ScriptTextProblem problem;
  EXPECT_NE(TextToScript(5, "WAIT 1\r\nWAIT 2\r\nJUMP 3\r\n", &problem), rt::Err::None);
  EXPECT_EQ(problem.line, 3);
  EXPECT_EQ(scriptItemCount(5), 3);
  EXPECT_NE(TextToScript(5, "  \r\n\r\n", &problem), rt::Err::None);
  EXPECT_EQ(problem.message, "Nothing to save.");
  EXPECT_EQ(scriptItemCount(5), 3);
}

TEST_F(ScriptTextStore, AnAddFailingPartWayLeavesTheOldScript) {
  addScriptItems(5, 3);
  int adds = 0;
  textToScriptBeforeAdd = [&](const ScriptingRec&) { return ++adds == 2 ? rt::Err::Changed : rt::Err::None; };
  ScriptTextProblem problem;
  const rt::Err err = TextToScript(5, "WAIT 7\r\nWAIT 8\r\nWAIT 9\r\n", &problem);
  textToScriptBeforeAdd = nullptr;
  EXPECT_EQ(err, rt::Err::Changed);
  EXPECT_EQ(problem.message.rfind("Error adding scripting:\r\n", 0), 0u) << problem.message;
  EXPECT_NE(problem.message.find("Nothing was changed."), std::string::npos);
  const auto items = stored(5);
  ASSERT_EQ(items.size(), 3u);  // the old items, none of the new ones
  for (const ScriptingRec& r : items) EXPECT_EQ(r.SecondsToWait, 0);
}

TEST_F(ScriptTextStore, AScriptInUseElsewhereIsLeftAlone) {
  addScriptItems(5, 3);
  // Another transaction on the file is under way: the new text is not written without one.
  ASSERT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
  ASSERT_EQ(db::LOGOUT(1, {&files::SCRIPTING}), rt::Err::None);
  ScriptTextProblem problem;
  EXPECT_NE(TextToScript(5, "WAIT 9\r\n", &problem), rt::Err::None);
  EXPECT_EQ(db::ROLLBACK(), rt::Err::None);
  (void)files::Access_SCRIPTING.Close();
  EXPECT_NE(problem.message.find("nothing was changed"), std::string::npos) << problem.message;
  const auto items = stored(5);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].SecondsToWait, 0);
}

}  // namespace
}  // namespace ov::editors
