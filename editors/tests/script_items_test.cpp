// The logic under the script item windows: action labels and the quick menu, help texts, the texts
// the item form builds, Start Program options, and the whole-script operations over a temporary
// data folder (clear, copy, the saved copy Cancel puts back, export, import, printed pages).
#include "editors/script_items.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/script_exchange.h"
#include "editors/script_text.h"
#include "platform/files/file.h"
#include "platform/files/tests/process.h"
#include "platform/report/page.h"
#include "platform/ui/testing/driver.h"
#include "scheduler/tests/data_fixture.h"

namespace ov::editors {
namespace {

using files::SCR;
using files::ScriptingRec;
using rt::Err;

ScriptingRec item(const char* action, const char* kind = "") {
  ScriptingRec r;
  r.Action = action;
  r.DDEType = kind;
  return r;
}

TEST(ScriptActions, PickedLabelsBecomeStoredActions) {
  struct Case {
    const char* label;
    const char* kindBefore;
    const char* action;
    const char* kind;
  };
  const Case cases[] = {
      {"Copy Files", "", "File Actions", "Copy"},
      {"Move Files", "Zip", "File Actions", "Move"},
      {"Delete Files", "", "File Actions", "Delete"},
      {"Unzip Files", "", "File Actions", "Unzip"},
      {"Get Date", "", "File Actions", "Get File Date"},
      {"Get Size", "", "File Actions", "Get File Size"},
      {"Log Windows", "", "File Actions", "Log Windows"},
      {"Download web page", "", "File Actions", "HTTP Download"},
      {"FTP Download", "", "File Actions", "FTP Download"},
      {"Other...", "Rename", "File Actions", "Rename"},
      {"Other...", "", "File Actions", "Recycle"},
      {"System Command", "Reboot", "System", "Reboot"},
      {"Send Email", "", "Send Email", ""},
      {"...End If", "", "...End If", ""},
      {"Whatever", "x", "Whatever", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScriptingRec r = item(c.label, c.kindBefore);
    ConvertPickedAction(r);
    EXPECT_EQ(r.Action.str(), c.action);
    EXPECT_EQ(r.DDEType.str(), c.kind);
  }
}

TEST(ScriptActions, StoredItemsShowTheirPickerLabel) {
  struct Case {
    const char* action;
    const char* kind;
    const char* label;
  };
  const Case cases[] = {
      {"File Actions", "Copy", "Copy Files"},         {"File Actions", "Zip", "Zip Files"},
      {"File Actions", "HTTP Download", "Download web page"}, {"File Actions", "FTP Upload", "FTP Upload"},
      {"File Actions", "Rename", "Other..."},         {"File Actions", "Get File Size", "Other..."},
      {"System", "Logoff", "System Command"},        {"Wait", "", "Wait"},
      {"Exit Script", "", "Exit Script"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.action) + "/" + c.kind);
    EXPECT_EQ(PickerLabelFor(item(c.action, c.kind)), c.label);
    // The label taken back gives the same item.
    ScriptingRec r = item(c.action, c.kind);
    r.Action = PickerLabelFor(r);
    ConvertPickedAction(r);
    EXPECT_EQ(r.Action.str(), c.action);
    EXPECT_EQ(r.DDEType.str(), c.kind);
  }
}

// The menu's items counted as POPUP counts them: leaves in order, submenu titles not counted.
std::vector<std::string> menuLeaves(std::string_view menu) {
  std::vector<std::string> out;
  std::string word;
  for (char ch : menu) {
    if (ch == '{') {
      word.clear();
    } else if (ch == '|' || ch == '}') {
      if (!word.empty()) out.push_back(word);
      word.clear();
    } else {
      word += ch;
    }
  }
  if (!word.empty()) out.push_back(word);
  return out;
}

TEST(ScriptActions, QuickMenuItemsGiveTheirStoredAction) {
  const std::vector<std::string> leaves = menuLeaves(QuickActionMenu());
  ASSERT_EQ(leaves.size(), 37u);
  struct Case {
    int n;
    const char* leaf;
    const char* action;
    const char* kind;
  };
  const Case cases[] = {
      {1, "Send Keys", "Send Keys", ""},           {5, "If Window", "If Window...", ""},
      {9, "End If", "...End If", ""},              {10, "Set Value", "Set Value", ""},
      {16, "Rename", "File Actions", "Rename"},    {20, "Get Date", "File Actions", "Get File Date"},
      {23, "Log Windows", "File Actions", "Log Windows"}, {24, "Download web page", "File Actions", "HTTP Download"},
      {27, "Send E-mail", "Send Email", ""},       {31, "System Command", "System", ""},
      {33, "End Loop", "...End Loop", ""},         {35, "Exit Script", "Exit Script", ""},
      {37, "Comment", "Comment", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(leaves[c.n - 1], c.leaf);
    ScriptingRec r;
    r.Action = QuickActionLabel(c.n);
    ConvertPickedAction(r);
    EXPECT_EQ(r.Action.str(), c.action);
    EXPECT_EQ(r.DDEType.str(), c.kind);
  }
  EXPECT_EQ(QuickActionLabel(0), "");
  EXPECT_EQ(QuickActionLabel(38), "");
}

TEST(ScriptActions, HelpTexts) {
  EXPECT_EQ(ActionHelpText("...End If"), "");
  EXPECT_EQ(ActionHelpText("Rename Files"), "");
  EXPECT_EQ(ActionHelpText("Send Email"), "Send a message via the Internet.");
  EXPECT_EQ(ActionHelpText("Send Keystrokes"), ActionHelpText("Send Keys"));
  EXPECT_EQ(ActionHelpText("DDE (Dynamic Data Exchange)"), ActionHelpText("DDE"));
  EXPECT_EQ(ActionHelpText("Exit Loop  "), "Stop repeating actions in the loop.") << "the stored name is blank-padded";
  EXPECT_EQ(ActionHelpText("Comment", 9), "Enter a c");
  EXPECT_GT(ActionHelpText("Display Message").size(), 255u);
}

TEST(ScriptItemTexts, KeyCodesValueNamesAndPreview) {
  EXPECT_EQ(AppendKeyCode("", "Ctrl", "a"), "[Ctrl-a]");
  EXPECT_EQ(AppendKeyCode("", "", "a"), "[a]");
  EXPECT_EQ(AppendKeyCode("hello  ", "", "ENTER"), "hello[ENTER]");
  EXPECT_EQ(AppendKeyCode("x", "CtrlShift", "F5"), "x[CtrlShift-F5]");
  EXPECT_EQ(AppendValueName("Today is ", "TODAY"), "Today is[TODAY]") << "the text is clipped first";

  ScriptingRec r = item("Set Value", "Set value");
  r.Path = "DAY";
  r.Command = "MONDAY";
  r.DDEApplicationName = "/etc/app.ini";
  r.DDEApplicationTopic = "Main";
  EXPECT_EQ(SetValuePreview(r), "[DAY] =MONDAY");
  r.DDEType = "Set value from INI";
  EXPECT_EQ(SetValuePreview(r), "[DAY] =MONDAY under [Main] in /etc/app.ini");
  r.DDEType = "Set INI from value";
  EXPECT_EQ(SetValuePreview(r), "MONDAY under [Main] in /etc/app.ini = [DAY]");

  EXPECT_EQ(ProgramStartFolder("C:\\Tools\\App.exe"), "C:\\Tools");
  EXPECT_EQ(ProgramStartFolder("/usr/local/bin/tool"), "/usr/local/bin");
  EXPECT_EQ(ProgramStartFolder("tool"), "tool");
}

TEST(StartProgramOptions, ReadAndWrittenBack) {
  struct Case {
    const char* name;
    const char* stored;  // DDEApplicationName
    const char* mode;
    const char* priority;
    bool wait, translate, asUser;
    const char* writtenBack;
  };
  const Case cases[] = {
      {"hidden, high, waits", "13H11", "Start hidden", "High", true, true, true, "13H11"},
      {"blank mode and priority", "0    ", "Start and give focus", "Normal", false, false, false, "02100"},
      {"odd priority", "0981 ", "Start without focus", "Normal", false, true, false, "02810"},
      {"minimised without focus", "01700", "Start minimized without focus", "Low", false, false, false, "01700"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptingRec r = item("Start Program");
    r.DDEApplicationName = c.stored;
    r.TimeElapsed = 30;
    const StartOptions o = ReadStartOptions(r);
    EXPECT_EQ(o.windowMode, c.mode);
    EXPECT_EQ(o.priority, c.priority);
    EXPECT_EQ(o.wait, c.wait);
    EXPECT_EQ(o.translate, c.translate);
    EXPECT_EQ(o.asUser, c.asUser);
    EXPECT_EQ(o.startType, "Open") << "an empty verb is Open";
    EXPECT_EQ(o.stopWaitingAfter, 30);
    WriteStartOptions(o, r);
    EXPECT_EQ(r.DDEApplicationName.str(), c.writtenBack);
    EXPECT_EQ(r.DDEApplicationTopic.str(), "Open");
  }

  // The run-as values are written back as they stand, with the check off too.
  ScriptingRec r = item("Start Program");
  StartOptions o;
  o.user = "anne";
  o.password = "secret";
  o.domain = "HOME";
  o.startType = "Print";
  WriteStartOptions(o, r);
  EXPECT_EQ(r.DDECommand.view().substr(0, 4), "anne");
  EXPECT_EQ(r.DDECommand.view().substr(64, 6), "secret");
  EXPECT_EQ(r.DDECommand.view().substr(128, 4), "HOME");
  const StartOptions back = ReadStartOptions(r);
  EXPECT_EQ(back.user, "anne");
  EXPECT_EQ(back.password, "secret");
  EXPECT_EQ(back.domain, "HOME");
  EXPECT_EQ(back.startType, "Print");
  EXPECT_FALSE(back.asUser);
}

TEST(ScriptCommandTemplates, EveryTemplateReadsBackAsItsAction) {
  ASSERT_EQ(ScriptCommandTemplates().size(), 30u);
  for (std::string_view line : ScriptCommandTemplates()) {
    SCOPED_TRACE(std::string(line));
    ScriptingRec r;
    std::string problem;
    EXPECT_TRUE(ParseScriptLine(line, r, &problem)) << problem;
  }
  // The two WAIT templates keep the window title in its field, and DISPLAY's flag is read.
  ScriptingRec r;
  ASSERT_TRUE(ParseScriptLine(ScriptCommandTemplates()[2], r, nullptr));
  EXPECT_EQ(r.WaitForWindow.str(), "window_title");
  EXPECT_EQ(r.SecondsToWait, 999);
  EXPECT_EQ(r.DDEApplicationName.str(), "Either");
  ASSERT_TRUE(ParseScriptLine(ScriptCommandTemplates()[3], r, nullptr));
  EXPECT_EQ(r.WaitForWindow.str(), "window_title");
  EXPECT_EQ(r.DDEApplicationName.str(), "Both");
  ASSERT_TRUE(ParseScriptLine(ScriptCommandTemplates()[4], r, nullptr));
  EXPECT_EQ(r.Action.str(), "Display Message");
  EXPECT_EQ(r.SecondsToWait, 1);
}

TEST(ScriptPrint, ReportPagesWithHeaderLinesAndPageNumbers) {
  ui::test::application();
  std::vector<ScriptingRec> items;
  ScriptingRec r = item("Send Keys");
  r.Keystrokes = "hello";
  items.push_back(r);
  items.push_back(item("Exit Script"));
  r = item("Comment");
  r.Command = "done";
  items.push_back(r);
  const std::vector<ScriptPrintLine> lines = ScriptPrintLines(items);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].action, "Send Keys");
  EXPECT_NE(lines[0].details.find("hello"), std::string::npos);

  // Enough lines for a second page.
  std::vector<ScriptPrintLine> many;
  for (int i = 1; i <= 60; ++i) many.push_back({"Comment", "line " + std::to_string(i)});
  report::Report rep = ScriptReport(std::string(50, 'D'));
  rep.open();
  for (const ScriptPrintLine& l : many) rep.print(ScriptLineBand(l));
  rep.close();
  const std::vector<report::Page> pages = report::allPages(rep.pages());
  ASSERT_EQ(pages.size(), 2u);
  for (const report::Page& page : pages) {
    SCOPED_TRACE(page.number);
    const std::vector<std::string> texts = report::pageTexts(page);
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[0], "Script");
    EXPECT_EQ(texts[1], std::string(40, 'D')) << "the description is cut to 40";
    EXPECT_EQ(texts.back(), "Page " + std::to_string(page.number));
    EXPECT_TRUE(report::overlappingTexts(page).empty());
  }
  const std::vector<std::string> first = report::pageTexts(pages[0]);
  EXPECT_EQ(first[2], "Comment");
  EXPECT_EQ(first[3], "line 1") << "the details stand beside their action";
  const std::vector<std::string> second = report::pageTexts(pages[1]);
  EXPECT_EQ(second[second.size() - 2], "line 60");
}

TEST(ScriptExportName, OnlyANameWithoutExtensionGetsOvs) {
  EXPECT_EQ(ScriptExportName("/tmp/backup"), "/tmp/backup.ovs");
  EXPECT_EQ(ScriptExportName("/tmp/backup."), "/tmp/backup.ovs");
  EXPECT_EQ(ScriptExportName("/tmp/backup.OVS"), "/tmp/backup.OVS");
  EXPECT_EQ(ScriptExportName("/tmp/script.txt"), "/tmp/script.txt") << "a chosen .txt name is kept";
  EXPECT_EQ(ScriptExportName("/tmp/my.dir/backup"), "/tmp/my.dir/backup.ovs");
}

// ---- over a data folder ----------------------------------------------------------------------

class ScriptItemStore : public scheduler::testing::DataFixture {
 protected:
  void SetUp() override {
    DataFixture::SetUp();
    ASSERT_EQ(files::Access_SCRIPTING.Open(), Err::None);
  }
  void TearDown() override {
    (void)files::Access_SCRIPTING.Close();
    DataFixture::TearDown();
  }

  void add(int32_t task, int32_t sequence, const std::string& keys) {
    files::SCRIPTING.clear();
    SCR.ID = task;
    SCR.Sequence = sequence;
    SCR.Action = "Send Keys";
    SCR.Keystrokes = keys;
    ASSERT_EQ(files::SCRIPTING.add(), Err::None);
  }

  // "sequence:keys" of the task's items in order.
  std::vector<std::string> items(int32_t task) {
    std::vector<ScriptingRec> v;
    EXPECT_EQ(ReadScriptItems(task, v), Err::None);
    std::vector<std::string> out;
    for (const ScriptingRec& r : v)
      out.push_back(std::to_string(r.Sequence) + ":" + std::string(rt::clipView(r.Keystrokes.view())));
    return out;
  }
  using Items = std::vector<std::string>;
};

TEST_F(ScriptItemStore, DeleteAndCopyTouchOnlyTheirTasks) {
  add(1, 1, "a");
  add(1, 2, "b");
  add(2, 1, "x");
  add(3, 5, "keep");
  EXPECT_EQ(CopyScriptItems(1, 2), Err::None);
  EXPECT_EQ(items(2), (Items{"1:a", "2:b"})) << "the target's old items go";
  EXPECT_EQ(items(1), (Items{"1:a", "2:b"}));
  EXPECT_EQ(CopyScriptItems(2, 2), Err::None);
  EXPECT_EQ(items(2), (Items{"1:a", "2:b"})) << "a copy onto itself keeps the items";
  EXPECT_EQ(CopyScriptItems(9, 2), Err::None);
  EXPECT_TRUE(items(2).empty()) << "a copy from a task without items leaves none";
  files::SCH.ID = 1;
  EXPECT_EQ(DeleteScriptItems(0, true), Err::None);
  EXPECT_TRUE(items(1).empty());
  EXPECT_EQ(items(3), (Items{"5:keep"}));
  EXPECT_EQ(DeleteScriptItems(3, false), Err::None);
  EXPECT_TRUE(items(3).empty());
}

TEST_F(ScriptItemStore, DeleteRefusesWhenItsTransactionCannotBegin) {
  for (int i = 1; i <= 3; ++i) add(4, i, "k" + std::to_string(i));
  (void)files::Access_SCRIPTING.Close();  // no data file open across the fork
  // Another program holds a write transaction on the script items.
  db::testing::Child writer([](db::testing::Child& c) {
    if (files::Access_SCRIPTING.Open() != Err::None || db::LOGOUT(1, {&files::SCRIPTING}) != Err::None) return 1;
    c.tell();
    c.await();
    return db::ROLLBACK() == Err::None ? 0 : 2;
  });
  ASSERT_EQ(writer.awaitChild(), '.');
  ASSERT_EQ(files::Access_SCRIPTING.Open(), Err::None);
  EXPECT_EQ(DeleteScriptItems(4, false), Err::IsLocked);
  writer.answer();
  EXPECT_EQ(writer.wait(), 0);
  EXPECT_EQ(items(4), (Items{"1:k1", "2:k2", "3:k3"})) << "nothing was deleted";
  // Inside a caller's transaction the deletes join it.
  ASSERT_EQ(db::LOGOUT(1, {&files::SCRIPTING}), Err::None);
  EXPECT_EQ(DeleteScriptItems(4, false), Err::None);
  ASSERT_EQ(db::ROLLBACK(), Err::None);
  EXPECT_EQ(items(4).size(), 3u) << "rolled back with the caller's transaction";
  EXPECT_EQ(DeleteScriptItems(4, false), Err::None);
  EXPECT_TRUE(items(4).empty());
}

TEST_F(ScriptItemStore, RestorePutsBackTheWholeScriptOfAnySize) {
  for (int i = 1; i <= 120; ++i) add(7, i, "k" + std::to_string(i));
  std::vector<ScriptingRec> saved;
  ASSERT_EQ(ReadScriptItems(7, saved), Err::None);
  ASSERT_EQ(saved.size(), 120u);
  // Items changed, deleted and added while the list was open.
  files::SCH.ID = 7;
  ASSERT_EQ(DeleteScriptItems(7, false), Err::None);
  add(7, 3, "new");
  add(7, 500, "late");
  ASSERT_EQ(RestoreScriptItems(7, saved), Err::None);
  const Items now = items(7);
  ASSERT_EQ(now.size(), 120u);
  EXPECT_EQ(now.front(), "1:k1");
  EXPECT_EQ(now.back(), "120:k120");
  EXPECT_EQ(std::count(now.begin(), now.end(), "3:new"), 0);
}

TEST_F(ScriptItemStore, ExportThenImportAppendsAfterTheLastItem) {
  for (int i = 1; i <= 3; ++i) add(1, i, "src" + std::to_string(i));
  for (int i = 1; i <= 5; ++i) add(2, i, "old" + std::to_string(i));
  const std::string path = (std::filesystem::current_path() / "script.ovs").string();
  {
    std::ofstream stale(path);
    stale << "\"Bogus\"\r\n\"Bogus\"\r\n\"Bogus\"\r\n\"Bogus\"\r\n";
  }
  int written = 0;
  ASSERT_EQ(ExportScriptItems(1, path, &written), Err::None);
  EXPECT_EQ(written, 3);
  std::vector<files::ExportRec> lines;
  ASSERT_EQ(files::readExchangeFile(path, lines), Err::None);
  EXPECT_EQ(lines.size(), 3u) << "an export replaces the file";

  std::vector<ImportNote> notes;
  int added = 0;
  ASSERT_EQ(ImportScriptItems(2, path, notes, &added), Err::None);
  EXPECT_TRUE(notes.empty());
  EXPECT_EQ(added, 3);
  EXPECT_EQ(items(2), (Items{"1:old1", "2:old2", "3:old3", "4:old4", "5:old5", "6:src1", "7:src2", "8:src3"}));
  ASSERT_EQ(ImportScriptItems(9, path, notes, &added), Err::None);
  EXPECT_EQ(items(9), (Items{"1:src1", "2:src2", "3:src3"})) << "a task without items starts at 1";
}

TEST_F(ScriptItemStore, ImportSkipsUnknownActionsAndAddsNothingFromABadFile) {
  add(4, 1, "first");
  const std::string path = (std::filesystem::current_path() / "mixed.ovs").string();
  {
    std::ofstream out(path, std::ios::binary);
    out << "\"Send Keys\",\"typed\"\r\n"
        << "\"Bogus Action\",\"x\"\r\n"
        << "\"\",\"\"\r\n"
        << "\"Send Keys\",\"more\"\r\n";
  }
  std::vector<ImportNote> notes;
  int added = 0;
  ASSERT_EQ(ImportScriptItems(4, path, notes, &added), Err::None);
  EXPECT_EQ(added, 2);
  ASSERT_EQ(notes.size(), 1u) << "a blank action is skipped without a word";
  EXPECT_EQ(notes[0].text, "Unrecognized script action: Bogus Action");
  EXPECT_EQ(notes[0].title, "Import Error");
  EXPECT_EQ(items(4), (Items{"1:first", "2:typed", "3:more"}));

  {
    std::ofstream out(path, std::ios::binary);
    out << "\"Send Keys\",\"ok\"\r\n\"Send Keys\",\"unclosed\r\n";
  }
  std::string problem;
  notes.clear();
  EXPECT_NE(ImportScriptItems(4, path, notes, &added, &problem), Err::None);
  EXPECT_FALSE(problem.empty());
  EXPECT_EQ(items(4), (Items{"1:first", "2:typed", "3:more"})) << "nothing of a malformed file is added";
  EXPECT_NE(ImportScriptItems(4, "/nonexistent/none.ovs", notes, &added, &problem), Err::None);
}

TEST_F(ScriptItemStore, AnExportThatCannotBeWrittenLeavesTheOldFile) {
  add(1, 1, "a");
  std::string problem;
  EXPECT_NE(ExportScriptItems(1, "/nonexistent-folder/x.ovs", nullptr, &problem), Err::None);
  EXPECT_FALSE(problem.empty());
}

}  // namespace
}  // namespace ov::editors
