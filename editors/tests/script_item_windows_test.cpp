// The script item windows driven as a user would, over a temporary data folder: the list adding
// items through the picker and the quick menu, copying, deleting, reordering and clearing; the
// form's tabs and rules; the Start Program options and program file; Cancel of a hot-key task's
// list; sorting from the header and the kept column layout; the template list; the text windows;
// export and import through the list; and the frame's and trigger form's ways in.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datalib/files.h"
#include "dialogs/tests/fixture.h"
#include "editors/register_windows.h"
#include "editors/script_item_form.h"
#include "editors/script_item_list.h"
#include "editors/script_items.h"
#include "editors/script_templates.h"
#include "editors/script_text_windows.h"
#include "editors/triggers.h"
#include "platform/report/output.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_windows.h"

using namespace ov;
using files::OVD;
using files::OVT;
using files::SCH;
using files::SCR;
using rt::Err;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

using Items = std::vector<std::string>;

// Takes the place of the preview window and the printer: keeps the pages and prints when asked.
class PrintRecorder : public report::PreviewHost, public report::PrintSink {
 public:
  PrintRecorder() {
    report::setPreviewHost(this);
    report::setPrintSink(this);
  }
  ~PrintRecorder() override {
    report::setPreviewHost(nullptr);
    report::setPrintSink(nullptr);
  }
  int preview(const report::PageSource& pages, std::string_view title, int) override {
    previewed = report::allPages(pages);
    previewTitle = std::string(title);
    return 1;  // print
  }
  bool supportsCopies() override { return true; }
  bool print(const report::PageSource& pages, int, std::string_view, std::string&) override {
    printed = report::allPages(pages);
    return true;
  }
  std::vector<report::Page> previewed, printed;
  std::string previewTitle;
};

class ScriptItemWindows : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    editors::NewScriptItemOwner = 0;
    editors::ScriptTemplateMode = 0;
    scheduler::services().runNoWait = [this](std::string_view command) {
      started.push_back(std::string(command));
      return 0;
    };
  }
  void TearDown() override {
    editors::templateDetailBeforeDelete = {};
    DataFolder::TearDown();
  }

  // A task in SCHEDULE, loaded into the SCH buffer.
  void seedTask(int32_t id, const char* type = "Run Program") {
    ASSERT_EQ(files::Access_SCHEDULE.Open(), Err::None);
    files::SCHEDULE.clear();
    SCH.ID = id;
    SCH.TaskType = type;
    SCH.Category = "General";
    SCH.Description = "Backup";
    SCH.Command = "N/A";
    ASSERT_EQ(files::SCHEDULE.add(), Err::None);
    (void)files::Access_SCHEDULE.Close();
  }

  void seedItem(int32_t task, int32_t sequence, const char* action, const char* keys = "", const char* kind = "") {
    ASSERT_EQ(files::Access_SCRIPTING.Open(), Err::None);
    files::SCRIPTING.clear();
    SCR.ID = task;
    SCR.Sequence = sequence;
    SCR.Action = action;
    SCR.Keystrokes = keys;
    SCR.DDEType = kind;
    ASSERT_EQ(files::SCRIPTING.add(), Err::None);
    (void)files::Access_SCRIPTING.Close();
  }

  // Loads an item into the SCR buffer.
  void loadItem(int32_t task, int32_t sequence) {
    ASSERT_EQ(files::Access_SCRIPTING.Open(), Err::None);
    files::SCRIPTING.clear();
    SCR.ID = task;
    SCR.Sequence = sequence;
    ASSERT_EQ(files::SCRIPTING.get(files::SCR_KeyID), Err::None);
    (void)files::Access_SCRIPTING.Close();
  }

  std::vector<files::ScriptingRec> stored(int32_t task) {
    std::vector<files::ScriptingRec> v;
    EXPECT_EQ(files::Access_SCRIPTING.Open(), Err::None);
    EXPECT_EQ(editors::ReadScriptItems(task, v), Err::None);
    (void)files::Access_SCRIPTING.Close();
    return v;
  }

  // "sequence:action:keys" of the task's stored items.
  Items items(int32_t task) {
    Items out;
    for (const files::ScriptingRec& r : stored(task)) {
      std::string s = std::to_string(r.Sequence) + ":" + std::string(rt::clipView(r.Action.view()));
      if (!r.Keystrokes.isBlank()) s += ":" + std::string(rt::clipView(r.Keystrokes.view()));
      out.push_back(s);
    }
    return out;
  }

  WindowDriver openList(Driver& d, int& response) {
    d.later([&response] {
      files::GLOBALREQUEST = ui::ChangeRecord;
      response = editors::BrowseScripting();
    });
    return d.waitWindow("BrowseScripting");
  }

  std::vector<std::string> started;
};

TEST_F(ScriptItemWindows, ListAddsCopiesPlacesAndDeletesItems) {
  seedTask(5);
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(list.title(), "Scripting - General: Backup N/A");
    EXPECT_FALSE(list.enabled("?Copy")) << "nothing to copy in an empty script";
    EXPECT_TRUE(list.shown("?Close"));
    EXPECT_FALSE(list.shown("?OK"));

    // "&New": the picker first; an item that needs no values is stored at once.
    list.press("?Insert");
    WindowDriver picker = d.waitWindow("UpdateScripting:GetAction");
    EXPECT_EQ(picker.title(), "Select Script Action");
    picker.choose("?SCR:Action", "Exit Script");
    picker.press("?OK");
    d.waitClosed(picker);
    d.settle();
    EXPECT_EQ(rows.texts(1), (Items{"Exit Script"}));
    EXPECT_TRUE(list.enabled("?Copy"));

    // A keys item: the picker's default, then the form's Keys tab.
    list.press("?Insert");
    picker = d.waitWindow("UpdateScripting:GetAction");
    picker.press("?OK");
    WindowDriver form = d.waitWindow("UpdateScripting");
    EXPECT_EQ(form.title(), "New Script Action");
    EXPECT_EQ(form.tabs("?Sheet"), (std::vector<std::string>{"Keys"}));
    EXPECT_NE(form.text("?HelpText").find("Enter the keys you wish to send"), std::string::npos);
    form.choose("?Modifier", "Ctrl");
    form.choose("?Key", "a");
    form.press("?AppendKey");
    form.choose("?Modifier", "");
    form.choose("?Key", "ENTER");
    form.press("?AppendKey");
    EXPECT_EQ(form.text("?SCR:Keystrokes"), "[Ctrl-a][ENTER]");
    form.press("?OK");
    d.waitClosed(form);
    d.settle();
    EXPECT_EQ(rows.texts(1), (Items{"Exit Script", "Send Keys"}));

    // A new item goes right after the highlighted row.
    rows.select(1);
    host.expectPopup("Log Windows");
    list.press("?InsertMenu");
    form = d.waitWindow("UpdateScripting");
    EXPECT_EQ(form.tabs("?Sheet"), (std::vector<std::string>{"File"}));
    EXPECT_EQ(form.text("?File:Action"), "Log Windows");
    EXPECT_EQ(form.text("?File:Row1:Prompt"), "Log to &File:");
    EXPECT_FALSE(form.shown("?File:Row2"));
    form.enter("?File:Row1", "/tmp/windows.log");
    form.press("?OK");
    d.waitClosed(form);
    d.settle();
    EXPECT_EQ(rows.texts(1), (Items{"Exit Script", "File Actions", "Send Keys"}));

    // Copy starts from the highlighted item without asking for an action.
    rows.select(3);
    list.press("?Copy");
    form = d.waitWindow("UpdateScripting");
    EXPECT_EQ(form.text("?SCR:Keystrokes"), "[Ctrl-a][ENTER]");
    form.type("?SCR:Keystrokes", "[Ctrl-a][ENTER]x");
    form.press("?OK");
    d.waitClosed(form);
    d.settle();

    // Delete asks first; No keeps the item, Yes deletes it and closes the gap.
    rows.select(1);
    host.expectMessage("Are you sure", ui::BUTTON::No);
    list.press("?Delete");
    d.settle();
    EXPECT_EQ(rows.texts(1).size(), 4u);
    host.expectMessage("Are you sure", ui::BUTTON::Yes);
    list.press("?Delete");
    d.settle();
    list.press("?Close");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(response, ui::RequestCancelled) << "Close answers cancelled; the changes are stored";
  EXPECT_EQ(items(5), (Items{"1:File Actions", "2:Send Keys:[Ctrl-a][ENTER]", "3:Send Keys:[Ctrl-a][ENTER]x"}));
  const auto v = stored(5);
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0].DDEType.str(), "Log Windows");
  EXPECT_EQ(v[0].Command.str(), "/tmp/windows.log");
  EXPECT_EQ(v[1].ID, 5);
  EXPECT_EQ(v[1].OriginalID, 5) << "the first save stamps the owner";
  EXPECT_EQ(v[1].LastChangeDate, rt::TODAY());
}

TEST_F(ScriptItemWindows, CancelledActionChoiceStoresNothing) {
  seedTask(6);
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    list.press("?Insert");
    WindowDriver picker = d.waitWindow("UpdateScripting:GetAction");
    picker.press("?Cancel");
    d.waitClosed(picker);
    d.settle();
    host.expectPopup("");
    list.press("?InsertMenu");
    d.settle();
    // The Insert key on the list asks through the quick menu too.
    host.expectPopup("");
    ListDriver(d, list, "?Browse:1").key(ui::Key::Insert);
    d.settle();
    list.press("?Close");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_TRUE(items(6).empty()) << "no reserved item is left behind";
}

TEST_F(ScriptItemWindows, MoveButtonsAndDragReorder) {
  seedTask(7);
  seedItem(7, 1, "Send Keys", "a");
  seedItem(7, 2, "Send Keys", "b");
  seedItem(7, 4, "Send Keys", "c");  // a gap, as a blank line of the text form leaves
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    ListDriver rows(d, list, "?Browse:1");
    rows.select(1);
    list.press("?MoveDown");
    d.settle();
    rows.select(3);
    list.press("?MoveTop");
    d.settle();
    // Dragging the last row onto the first: rows are read as the sequences they show.
    rows.dragRow(3, 1);
    d.settle();
    list.press("?Close");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  // b a c -> c b a (top) -> a c b (drag a, at row 3, onto row 1)
  EXPECT_EQ(items(7), (Items{"1:Send Keys:a", "2:Send Keys:c", "4:Send Keys:b"}));
}

TEST_F(ScriptItemWindows, ListSortsItsTasksItemsFromTheHeaderAndKeepsItsLayout) {
  seedTask(8);
  seedTask(7);  // the task the list shows
  seedItem(7, 1, "Wait");
  seedItem(7, 2, "Comment");
  seedItem(7, 3, "Send Keys", "x");
  seedItem(8, 1, "Beep");  // another task's item stays out of every order
  const Items bySequence{"Wait", "Comment", "Send Keys"}, byAction{"Comment", "Send Keys", "Wait"};
  auto headers = [](const ListDriver& rows) {
    return Items{rows.propList(ui::PROPLIST::Header, 1), rows.propList(ui::PROPLIST::Header, 2)};
  };
  ScriptedHost host;
  int response = 0;
  Items moved;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.texts(1), bySequence);
    rows.clickHeader(1);
    d.settle();
    EXPECT_EQ(rows.texts(1), byAction) << "by action, still this task's items only";
    host.expectPopup("Sort by default key");
    rows.rightClickHeader(1);
    d.settle();
    EXPECT_EQ(rows.texts(1), bySequence);
    rows.dragHeader(1, 2);
    d.settle();
    moved = headers(rows);
    EXPECT_EQ(moved[0], "Details");
    list.press("?Close");
    d.waitClosed(list);
  });
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(headers(rows), moved) << "the layout came back from POSITION.INI";
    list.press("?Close");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(ScriptItemWindows, HotKeyTaskListCancelPutsTheScriptBack) {
  seedTask(8, "Hot Key");
  seedItem(8, 1, "Send Keys", "one");
  seedItem(8, 2, "Send Keys", "two");
  files::HOT.Description = "Ctrl+Alt+X";
  SCH.TaskType = "Hot Key";
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    EXPECT_EQ(list.title(), "Hot Key Scripting - Ctrl+Alt+X");
    EXPECT_FALSE(list.shown("?Close"));
    EXPECT_TRUE(list.shown("?OK"));
    EXPECT_TRUE(list.shown("?Cancel"));
    host.expectMessage("Delete all script items", ui::BUTTON::Yes);
    list.press("?Clear");
    d.settle();
    host.expectPopup("Exit Script");
    list.press("?InsertMenu");
    d.settle();
    EXPECT_EQ(items(8), (Items{"1:Exit Script"}));
    list.press("?Cancel");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(response, ui::RequestCancelled);
  EXPECT_EQ(items(8), (Items{"1:Send Keys:one", "2:Send Keys:two"}));
}

TEST_F(ScriptItemWindows, ListOpensOnceAndWarnsOfAMissingTask) {
  seedTask(9);
  SCH.ID = 0;
  ScriptedHost host;
  runScript([&](Driver& d) {
    host.expectMessage("Invalid Schedule ID #0", ui::BUTTON::Ok);
    const int first = d.start(editors::makeBrowseScripting);
    WindowDriver list = d.waitWindow("BrowseScripting");
    EXPECT_NE(first, 0);
    d.start(editors::makeBrowseScripting);
    d.settle();
    int open = 0;
    d.gui([&] {
      for (ui::Window* w : ui::openWindows()) open += w->isOpen() && w->title().starts_with("Scripting") ? 1 : 0;
    });
    EXPECT_EQ(open, 1) << "the second start brings the first forward";
    list.close();
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(host.messages().front().title, "Internal Error");
}

// ---- the form -----------------------------------------------------------------------------------

TEST_F(ScriptItemWindows, FormDeleteRequestDeletesWithoutOpening) {
  seedTask(10);
  seedItem(10, 1, "Comment");
  seedItem(10, 2, "Comment");
  loadItem(10, 1);
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    d.gui([&] {
      files::GLOBALREQUEST = ui::DeleteRecord;
      response = editors::UpdateScripting();
    });
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  EXPECT_EQ(items(10), (Items{"2:Comment"}));
}

TEST_F(ScriptItemWindows, FormTabsFollowTheActionAndItsRules) {
  seedTask(11);
  seedItem(11, 1, "Mystery Step");
  seedItem(11, 2, "Wait");
  seedItem(11, 3, "File Actions", "", "Copy");
  seedItem(11, 4, "Set Value", "", "Set value from INI");
  seedItem(11, 5, "Start Loop", "", "Bogus");
  ScriptedHost host;
  runScript([&](Driver& d) {
    auto open = [&](int32_t sequence, int request = ui::ChangeRecord) {
      d.gui([&] { loadItem(11, sequence); });
      d.later([request] {
        files::GLOBALREQUEST = static_cast<uint8_t>(request);
        (void)editors::UpdateScripting();
      });
      return d.waitWindow("UpdateScripting");
    };
    // A name outside the catalogue shows "Other" and is stored back under its own name.
    WindowDriver form = open(1);
    EXPECT_EQ(form.title(), "Edit Script Action");
    EXPECT_EQ(form.tabs("?Sheet"), (std::vector<std::string>{"Other"}));
    EXPECT_EQ(form.text("?HelpText"), "");
    form.press("?OK");
    d.waitClosed(form);

    // Wait: the combination only with seconds and a window, then "Both".
    form = open(2);
    EXPECT_FALSE(form.enabled("?WaitCombination"));
    form.enter("?SCR:SecondsToWait", "5");
    EXPECT_FALSE(form.enabled("?WaitCombination"));
    form.enter("?SCR:WaitForWindow", "*Editor");
    EXPECT_TRUE(form.enabled("?WaitCombination"));
    EXPECT_EQ(form.text("?WaitCombination"), "Both");
    form.press("?OK");
    d.waitClosed(form);

    // File Actions: the two switches exclude each other; a required row must be filled.
    form = open(3);
    EXPECT_EQ(form.text("?File:Row1:Prompt"), "&From:");
    EXPECT_TRUE(form.shown("?File:Newer"));
    EXPECT_FALSE(form.shown("?File:Row3"));
    form.check("?File:Newer", true);
    form.check("?File:Rename", true);
    form.with([](ui::Window& w) { EXPECT_EQ(w.prop(w.feq("?File:Newer"), ui::Prop::Checked), ""); });
    form.enter("?File:Row2", "/tmp/to");
    host.expectMessage("must be entered", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    EXPECT_TRUE(form.isOpen());
    EXPECT_EQ(host.messages().back().title, "Missing Information");
    form.enter("?File:Row1", "/tmp/from");
    form.choose("?File:Action", "FTP Upload");
    EXPECT_EQ(form.text("?File:Row3:Prompt"), "FTP &Host:");
    EXPECT_TRUE(form.shown("?File:Password"));
    form.enter("?File:Row3", "ftp.example.org");
    form.enter("?File:User", "anonymous");
    form.press("?OK");  // an empty password is accepted for anonymous servers
    d.waitClosed(form);

    // Set Value from INI shows the INI group and the preview.
    form = open(4);
    EXPECT_TRUE(form.shown("?IniGroup"));
    form.enter("?SetVar:SCR:Path", "COLOUR");
    form.enter("?SetVar:SCR:DDEApplicationTopic", "Main");
    form.enter("?SetVar:SCR:DDEApplicationName", "app.ini");
    EXPECT_EQ(form.text("?SetVarPreview"), "[COLOUR] = under [Main] in app.ini");
    form.choose("?SetVar:Type", "Set value");
    EXPECT_FALSE(form.shown("?IniGroup"));
    form.press("?Cancel");
    d.waitClosed(form);

    // An unknown loop type opens as Count with one repetition; view mode is read-only.
    form = open(5, ui::ViewRecord);
    EXPECT_EQ(form.title(), "View Script Action");
    EXPECT_EQ(form.text("?Loop:Type"), "Count");
    EXPECT_EQ(std::string(rt::clipView(form.text("?Loop:SCR:SecondsToWait").substr(form.text("?Loop:SCR:SecondsToWait").find_first_not_of(' ')))), "1");
    EXPECT_TRUE(form.shown("?Loop:CountRow"));
    EXPECT_FALSE(form.shown("?Loop:ConditionRow"));
    EXPECT_FALSE(form.enabled("?Loop:Type"));
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
  const auto v = stored(11);
  ASSERT_EQ(v.size(), 5u);
  EXPECT_EQ(v[0].Action.str(), "Mystery Step");
  EXPECT_EQ(v[1].DDEApplicationName.str(), "Both");
  EXPECT_EQ(v[1].SecondsToWait, 5);
  EXPECT_EQ(v[2].DDEType.str(), "FTP Upload");
  EXPECT_EQ(v[2].Command.str(), "/tmp/from");
  EXPECT_EQ(v[2].DDEApplicationName.str(), "ftp.example.org");
  EXPECT_EQ(v[2].DDEApplicationTopic.view().substr(0, 9), "anonymous");
  EXPECT_EQ(v[3].DDEType.str(), "Set value from INI") << "a cancelled form changes nothing";
  EXPECT_EQ(v[4].DDEType.str(), "Bogus") << "a viewed item is not stored";
}

TEST_F(ScriptItemWindows, ServiceActionsAreOfferedWhereSystemctlIsInstalled) {
  seedTask(12);
  seedItem(12, 1, "System", "", "Stop Service");
  // A PATH with a systemctl in it, and one without.
  const std::filesystem::path with = dir() / "with", without = dir() / "without";
  std::filesystem::create_directories(with);
  std::filesystem::create_directories(without);
  { std::ofstream(with / "systemctl") << "#!/bin/sh\n"; }
  std::filesystem::permissions(with / "systemctl", std::filesystem::perms::owner_all);
  const char* saved = std::getenv("PATH");
  const std::string savedPath = saved ? saved : "";
  ScriptedHost host;
  for (const auto& [path, offered] : {std::pair{with, true}, {without, false}}) {
    SCOPED_TRACE(path.string());
    ::setenv("PATH", path.c_str(), 1);
    runScript([&](Driver& d) {
      d.gui([&] { loadItem(12, 1); });
      d.later([] {
        files::GLOBALREQUEST = ui::ChangeRecord;
        (void)editors::UpdateScripting();
      });
      WindowDriver form = d.waitWindow("UpdateScripting");
      EXPECT_TRUE(form.shown("?Sys:Service"));
      EXPECT_EQ(form.enabled("?Sys:Stop Service"), offered);
      EXPECT_EQ(form.enabled("?Sys:Start Service"), offered);
      EXPECT_TRUE(form.enabled("?Sys:Reboot"));
      form.press("?Cancel");
      d.waitClosed(form);
    });
  }
  ::setenv("PATH", savedPath.c_str(), 1);
  EXPECT_FALSE(host.pending());
}

TEST_F(ScriptItemWindows, AnItemWithoutARealActionIsNotStored) {
  seedTask(12);
  seedItem(12, 1, "Other");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([&] { loadItem(12, 1); });
    d.later([] {
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)editors::UpdateScripting();
    });
    WindowDriver form = d.waitWindow("UpdateScripting");
    host.expectMessage("\"Other\" script item not recorded correctly", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    EXPECT_TRUE(form.isOpen()) << "the user chooses an action first";
    form.press("?ChangeAction");
    WindowDriver picker = d.waitWindow("UpdateScripting:GetAction");
    picker.choose("?SCR:Action", "Comment");
    picker.press("?OK");
    d.waitClosed(picker);
    EXPECT_EQ(form.tabs("?Sheet"), (std::vector<std::string>{"Comment"}));
    form.enter("?Comment:SCR:Command", "was unknown");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
  const auto v = stored(12);
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].Action.str(), "Comment");
  EXPECT_EQ(v[0].Command.str(), "was unknown");
}

TEST_F(ScriptItemWindows, PickerShowsAStoredFileActionAsOtherAndKeepsIt) {
  ScriptedHost host;
  files::SCRIPTING.clear();
  SCR.Action = "File Actions";
  SCR.DDEType = "Rename";
  int result = -1;
  runScript([&](Driver& d) {
    d.later([&] { result = editors::UpdateScripting_GetAction(); });
    WindowDriver picker = d.waitWindow("UpdateScripting:GetAction");
    EXPECT_EQ(picker.text("?SCR:Action"), "Other...");
    picker.with([](ui::Window& w) { EXPECT_EQ(w.focus(), w.feq("?Radio:Other...")); });
    picker.press("?OK");
    d.waitClosed(picker);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(SCR.Action.str(), "File Actions");
  EXPECT_EQ(SCR.DDEType.str(), "Rename");

  // Cancel keeps an existing item's action.
  runScript([&](Driver& d) {
    d.later([&] { result = editors::UpdateScripting_GetAction(); });
    WindowDriver picker = d.waitWindow("UpdateScripting:GetAction");
    picker.choose("?SCR:Action", "Wait");
    picker.press("?Cancel");
    d.waitClosed(picker);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(SCR.Action.str(), "File Actions");

  // The close box too.
  runScript([&](Driver& d) {
    d.later([&] { result = editors::UpdateScripting_GetAction(); });
    WindowDriver picker = d.waitWindow("UpdateScripting:GetAction");
    picker.choose("?SCR:Action", "Comment");
    picker.close();
    d.waitClosed(picker);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(SCR.Action.str(), "File Actions");
  EXPECT_EQ(SCR.DDEType.str(), "Rename");
}

TEST_F(ScriptItemWindows, StartProgramOptionsAndProgramFile) {
  seedTask(13);
  seedItem(13, 1, "Start Program");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([&] {
      loadItem(13, 1);
      SCR.DDEApplicationName = "00 00";
    });
    d.later([] {
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)editors::UpdateScripting();
    });
    WindowDriver form = d.waitWindow("UpdateScripting");
    host.expectFile("Select a Program", {"/opt/tools/app"});
    form.press("?StartBrowse");
    EXPECT_EQ(form.text("?Start:SCR:Command"), "/opt/tools/app");
    EXPECT_EQ(form.text("?Start:SCR:Path"), "/opt/tools");
    form.check("?Start:Wait", true);
    form.press("?StartAdvanced");
    WindowDriver options = d.waitWindow("UpdateScripting:StartProgram:Advanced");
    EXPECT_EQ(options.text("?WindowMode"), "Start and give focus");
    EXPECT_EQ(options.text("?Priority"), "Normal");
    options.selectTab("Wait");
    EXPECT_TRUE(options.enabled("?StopWaiting")) << "the form's wait check is the same character";
    EXPECT_FALSE(options.enabled("?StartType"));
    EXPECT_FALSE(options.enabled("?User"));
    options.enter("?StopWaiting", "45");
    options.selectTab("Start Settings");
    options.choose("?WindowMode", "Start hidden");
    options.choose("?Priority", "High");
    options.selectTab("Start as User");
    options.check("?AsUser", true);
    EXPECT_TRUE(options.enabled("?User"));
    options.enter("?User", "anne");
    options.press("?Close");
    d.waitClosed(options);
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
  const auto v = stored(13);
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].DDEApplicationName.str(), "13H01");
  EXPECT_EQ(v[0].TimeElapsed, 45);
  EXPECT_EQ(v[0].DDECommand.view().substr(0, 4), "anne");
  EXPECT_EQ(v[0].DDEApplicationTopic.str(), "Open");
}

TEST_F(ScriptItemWindows, ContainingTextPickerListsTheTargetsChildren) {
  seedTask(14);
  seedItem(14, 1, "Set Focus");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([&] { loadItem(14, 1); });
    d.later([] {
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)editors::UpdateScripting();
    });
    WindowDriver form = d.waitWindow("UpdateScripting");
    form.enter("?SCR:FocusOnWindow", "No such window here");
    form.press("?FocusAdvanced");
    WindowDriver picker = d.waitWindow("UpdateScriptingGetChildFocus");
    EXPECT_EQ(picker.title(), "Advanced Settings");
    picker.type("?Text", std::string(50, 'x'));
    picker.press("?Close");
    d.waitClosed(picker);
    EXPECT_EQ(form.text("?FocusContaining"), "Containing: " + std::string(40, 'x'));
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(stored(14)[0].WaitForWindow.str(), std::string(40, 'x'));
}

// The desktop as the form sees it: the pointer at (100, 200) over an editor's Save button.
class PointerScene {
 public:
  PointerScene() : m_saved(editors::pointerHost()) {
    editors::PointerHost& p = editors::pointerHost();
    p.position = [](int& x, int& y) {
      x = 100;
      y = 200;
      return true;
    };
    p.windowUnder = [] { return os::WindowId(7); };
    p.controlUnder = [](os::WindowId top, int, int) { return top == 7 ? os::WindowId(8) : os::WindowId(0); };
    p.text = [](os::WindowId id) { return std::string(id == 7 ? "notes.txt - Editor" : "Save"); };
    p.className = [](os::WindowId id) { return std::string(id == 7 ? "editor" : "button"); };
  }
  ~PointerScene() { editors::pointerHost() = m_saved; }

 private:
  editors::PointerHost m_saved;
};

void releaseMouse(WindowDriver& w, Qt::MouseButton button) {
  w.with([button](ui::Window& win) {
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), QPointF(3, 3), button, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(win.view(), &release);
  });
}

TEST_F(ScriptItemWindows, MousePanelFollowsThePointerOnFocusItems) {
  seedTask(16);
  seedItem(16, 1, "Set Focus");
  seedItem(16, 2, "Send Keys");
  PointerScene scene;
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([&] { loadItem(16, 1); });
    d.later([] {
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)editors::UpdateScripting();
    });
    WindowDriver form = d.waitWindow("UpdateScripting");
    EXPECT_TRUE(form.shown("?MouseGroup"));
    form.tick();
    EXPECT_EQ(form.text("?MousePanel"), "The mouse (X=100, Y=200) is currently over...");
    EXPECT_EQ(form.text("?MouseWindowText"), "notes.txt - Editor");
    EXPECT_EQ(form.text("?MouseWindowClass"), "editor");
    EXPECT_EQ(form.text("?MouseControlText"), "Save");
    EXPECT_EQ(form.text("?MouseControlClass"), "button");
    form.press("?Cancel");
    d.waitClosed(form);

    d.gui([&] { loadItem(16, 2); });
    d.later([] {
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)editors::UpdateScripting();
    });
    form = d.waitWindow("UpdateScripting");
    EXPECT_FALSE(form.shown("?MouseGroup")) << "only Set Focus and If Window show the panel";
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(ScriptItemWindows, WatchMouseRecordsALeftClickAndAbandonsOnARightOne) {
  seedTask(17);
  seedItem(17, 1, "Send Keys", "go");
  std::vector<int> frameEvents;
  scheduler::services().post = [&](int event, int thread) {
    if (thread == scheduler::kFrameThread) frameEvents.push_back(event);
  };
  PointerScene scene;
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([&] { loadItem(17, 1); });
    d.later([] {
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)editors::UpdateScripting();
    });
    WindowDriver form = d.waitWindow("UpdateScripting");
    form.press("?WatchMouse");
    releaseMouse(form, Qt::RightButton);
    d.settle();
    EXPECT_EQ(form.text("?SCR:Keystrokes"), "go") << "a right click appends nothing";
    form.press("?WatchMouse");
    releaseMouse(form, Qt::LeftButton);
    d.settle();
    EXPECT_EQ(form.text("?SCR:Keystrokes"), "go[MOUSE X=100 Y=200][MOUSELEFT]");
    EXPECT_EQ(form.text("?WatchMouse"), "Wa&tch");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(stored(17)[0].Keystrokes.str(), "go[MOUSE X=100 Y=200][MOUSELEFT]");
  ASSERT_GE(frameEvents.size(), 4u);
  EXPECT_EQ(frameEvents[0], editors::kEventHideForCapture);
  EXPECT_EQ(frameEvents.back(), editors::kEventShowAfterCapture);
}

// A stand-in for the message list called to pick a message.
int g_messagePick = 0;
int g_messageRequest = 0;
class MessagePicker : public ui::WindowManager {
 public:
  MessagePicker() : ui::WindowManager("BrowseMessages") {}
  ui::Level Init() override {
    g_messageRequest = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::M_.EmailID = 77;
    files::M_.Subject = "Weekly report";
    files::M_.EmailTo = "boss@example.org";
    Response = g_messagePick;
    return ui::Level::Notify;
  }
};

TEST_F(ScriptItemWindows, SendEmailItemsTakeTheChosenMessage) {
  seedTask(15);
  scheduler::registerProgramWindow("BrowseMessages", [] { return std::make_unique<MessagePicker>(); });
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    g_messagePick = ui::RequestCancelled;
    host.expectPopup("Send E-mail");
    list.press("?InsertMenu");
    d.settle();
    EXPECT_EQ(g_messageRequest, ui::SelectRecord);
    g_messagePick = ui::RequestCompleted;
    host.expectPopup("Send E-mail");
    list.press("?InsertMenu");
    d.settle();
    list.press("?Close");
    d.waitClosed(list);
  });
  scheduler::registerProgramWindow("BrowseMessages", {});
  EXPECT_FALSE(host.pending());
  const auto v = stored(15);
  ASSERT_EQ(v.size(), 1u) << "a cancelled pick stores nothing";
  EXPECT_EQ(v[0].Action.str(), "Send Email");
  EXPECT_EQ(v[0].EmailID, 77);
  EXPECT_EQ(v[0].WindowTitleToCheckFor.str(), "Weekly report - boss@example.org");
}

class ContactPicker : public ui::WindowManager {
 public:
  ContactPicker() : ui::WindowManager("BrowseContacts") {}
  ui::Level Init() override {
    files::GLOBALREQUEST = 0;
    files::C_.ClientID = 12;
    Response = ui::RequestCompleted;
    return ui::Level::Notify;
  }
};

TEST_F(ScriptItemWindows, DisplayMessageNamesAChosenContact) {
  seedTask(18);
  seedItem(18, 1, "Display Message");
  scheduler::registerProgramWindow("BrowseContacts", [] { return std::make_unique<ContactPicker>(); });
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([&] { loadItem(18, 1); });
    d.later([] {
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)editors::UpdateScripting();
    });
    WindowDriver form = d.waitWindow("UpdateScripting");
    form.type("?Msg:Text", "   Call back");
    form.press("?Msg:Contact");
    EXPECT_EQ(form.text("?Msg:Text"), "Call back [CONTACT 12]");
    form.enter("?Msg:Title", std::string(120, 't'));
    form.press("?OK");
    d.waitClosed(form);
  });
  scheduler::registerProgramWindow("BrowseContacts", {});
  EXPECT_FALSE(host.pending());
  const auto v = stored(18);
  EXPECT_EQ(v[0].DDEApplicationName.str(), "Call back [CONTACT 12]");
  EXPECT_EQ(v[0].DDEApplicationTopic.str(), std::string(120, 't')) << "titles are not cut to 80";
}

// ---- templates ----------------------------------------------------------------------------------

class ScriptTemplateWindows : public ScriptItemWindows {
 protected:
  int32_t seedTemplate(const char* description, std::vector<std::string> keys) {
    EXPECT_EQ(files::Access_SCRIPTTEMPLATES.Open(), Err::None);
    files::SCRIPTTEMPLATES.clear();
    OVT.WIZ_ID = ++m_lastTemplate;
    OVT.Description = description;
    EXPECT_EQ(files::SCRIPTTEMPLATES.add(), Err::None);
    EXPECT_EQ(files::Access_SCRIPTTEMPLATEDETAILS.Open(), Err::None);
    int seq = 0;
    for (const std::string& k : keys) {
      files::SCRIPTTEMPLATEDETAILS.clear();
      OVD.WIZ_ID = m_lastTemplate;
      OVD.Sequence = ++seq;
      OVD.Action = "Send Keys";
      OVD.Keystrokes = k;
      EXPECT_EQ(files::SCRIPTTEMPLATEDETAILS.add(), Err::None);
    }
    (void)files::Access_SCRIPTTEMPLATEDETAILS.Close();
    (void)files::Access_SCRIPTTEMPLATES.Close();
    return m_lastTemplate;
  }
  int details(int32_t id) {
    EXPECT_EQ(files::Access_SCRIPTTEMPLATEDETAILS.Open(), Err::None);
    int n = 0;
    files::SCRIPTTEMPLATEDETAILS.clear();
    OVD.WIZ_ID = id;
    Err err = files::SCRIPTTEMPLATEDETAILS.setFrom(files::OVD_K_WIZ_ID);
    while (err == Err::None && (err = files::SCRIPTTEMPLATEDETAILS.next()) == Err::None && OVD.WIZ_ID == id) ++n;
    (void)files::Access_SCRIPTTEMPLATEDETAILS.Close();
    return n;
  }
  int32_t m_lastTemplate = 0;
};

TEST_F(ScriptTemplateWindows, TemplateListEditsNamesInPlaceAndIsSingleInstance) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseScriptTemplates);
    WindowDriver list = d.waitWindow("BrowseScriptTemplates");
    d.gui([] { EXPECT_EQ(editors::ScriptTemplateMode, 1); });
    EXPECT_EQ(list.title(), "Script Templates");
    EXPECT_FALSE(list.enabled("?Copy"));
    EXPECT_FALSE(list.shown("?Select"));
    d.start(editors::makeBrowseScriptTemplates);
    d.settle();
    list.press("?Insert");
    list.type("?EIP:OVT:Description", "Log on to the mail");
    list.key("?EIP:OVT:Description", ui::Key::Enter);
    d.settle();
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.texts(1), (Items{"Log on to the mail"}));
    EXPECT_TRUE(list.enabled("?Copy"));
    list.press("?Close");
    d.waitClosed(list);
    d.gui([] { EXPECT_EQ(editors::ScriptTemplateMode, 0); });
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(ScriptTemplateWindows, TemplateListSortsFromTheHeaderAndKeepsItsColumnWidth) {
  seedTemplate("Zeta", {});
  seedTemplate("Alpha", {});
  seedTemplate("Mid", {});
  const Items ascending{"Alpha", "Mid", "Zeta"}, descending{"Zeta", "Mid", "Alpha"};
  ScriptedHost host;
  std::string width;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseScriptTemplates);
    WindowDriver list = d.waitWindow("BrowseScriptTemplates");
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.texts(1), ascending);
    rows.clickHeader(1);
    d.settle();
    rows.clickHeader(1);
    d.settle();
    EXPECT_EQ(rows.texts(1), descending) << "the second click turns the column's order round";
    EXPECT_EQ(rows.propList(ui::PROPLIST::Header, 1), "<Description") << "the heading marks the sort";
    host.expectPopup("Sort by default key");
    rows.rightClickHeader(1);
    d.settle();
    EXPECT_EQ(rows.texts(1), ascending);
    const std::string before = rows.propList(ui::PROPLIST::Width, 1);
    rows.dragBorder(1, 40);
    d.settle();
    width = rows.propList(ui::PROPLIST::Width, 1);
    EXPECT_NE(width, before);
    list.press("?Close");
    d.waitClosed(list);
  });
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseScriptTemplates);
    WindowDriver list = d.waitWindow("BrowseScriptTemplates");
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.propList(ui::PROPLIST::Width, 1), width) << "the width came back from POSITION.INI";
    list.press("?Close");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(ScriptTemplateWindows, TemplateButtonAppendsAnsweredItems) {
  seedTask(20);
  seedItem(20, 1, "Send Keys", "first");
  seedTemplate("Greeting", {"Hello [?TEXT Name]", "Bye [?Name]"});
  seedTemplate("Other", {"x"});
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    list.press("?Template");
    WindowDriver templates = d.waitWindow("BrowseScriptTemplates");
    EXPECT_TRUE(templates.shown("?Select"));
    ListDriver rows(d, templates, "?Browse:1");
    EXPECT_EQ(rows.texts(1), (Items{"Greeting", "Other"}));
    rows.select(1);
    templates.press("?Select");
    WindowDriver ask = d.waitWindow("TemplateTokenAskText");
    EXPECT_EQ(ask.text("?PromptLine"), "Name:");
    // Key codes and value names append to the answer.
    ask.type("?Answer", "Anne");
    ask.choose("?Modifier", "Ctrl");
    ask.choose("?Key", "F5");
    ask.press("?AppendKey");
    ask.choose("?Reserved", "TODAY");
    ask.press("?AppendValue");
    EXPECT_EQ(ask.text("?Answer"), "Anne[Ctrl-F5][TODAY]");
    ask.type("?Answer", "Anne");
    ask.press("?OK");
    d.waitClosed(ask);
    d.waitClosed(templates);
    EXPECT_TRUE(d.waitUntil([] {
      for (ui::Window* w : ui::openWindows())
        if (w->title() == "Processing Records") return false;
      return true;
    })) << "the template's progress window closes by itself";
    d.settle();
    list.press("?Close");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(items(20), (Items{"1:Send Keys:first", "2:Send Keys:Hello Anne", "3:Send Keys:Bye Anne"}));
}

TEST_F(ScriptTemplateWindows, FileAndWindowQuestionsHaveTheirWindowsAndCancelStopsTheCopy) {
  seedTask(22);
  seedTemplate("Log", {"open [?FILE Log file]", "then [?WINDOW ]"});
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    list.press("?Template");
    WindowDriver templates = d.waitWindow("BrowseScriptTemplates");
    ListDriver(d, templates, "?Browse:1").select(1);
    templates.press("?Select");
    WindowDriver file = d.waitWindow("TemplateTokenAskFile");
    EXPECT_EQ(file.text("?PromptLine"), "Log file:");
    EXPECT_TRUE(file.shown("?SelectFile"));
    file.type("?Answer", "/tmp/x.log");
    file.press("?OK");
    d.waitClosed(file);
    WindowDriver window = d.waitWindow("TemplateTokenAskWindow");
    EXPECT_EQ(window.text("?PromptLine"), "Enter window title:");
    host.expectMessage("Cancelled: nothing was copied.", ui::BUTTON::Ok);
    window.press("?Cancel");
    d.waitClosed(window);
    d.waitClosed(templates);
    d.settle();
    list.press("?Close");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(items(22), Items{}) << "a cancelled question stores nothing";
}

TEST_F(ScriptTemplateWindows, ClearInTemplateModeDeletesTheTemplatesItemsOnly) {
  seedTask(21);
  seedItem(21, 1, "Send Keys", "task item");
  const int32_t id = seedTemplate("T", {"a", "b", "c"});
  ScriptedHost host;
  runScript([&](Driver& d) {
    host.expectMessage("Delete all script items for the current task?", ui::BUTTON::Yes);
    d.later([&] {
      editors::ScriptTemplateMode = 1;
      editors::ScriptTemplateThread = ui::THREAD();
      OVT.WIZ_ID = id;
      editors::ConfirmClearScript();
      editors::ScriptTemplateMode = 0;
    });
    d.settle();
    d.waitUntil([&] { return ui::openWindows().empty(); });
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(details(id), 0);
  EXPECT_EQ(items(21), (Items{"1:Send Keys:task item"}));
}

TEST_F(ScriptTemplateWindows, ATasksListClearsItsTaskWhileTheTemplateListIsOpenElsewhere) {
  seedTask(22);
  seedItem(22, 1, "Send Keys", "task item");
  const int32_t id = seedTemplate("T", {"a", "b"});
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    d.start(editors::makeBrowseScriptTemplates);
    WindowDriver templates = d.waitWindow("BrowseScriptTemplates");
    d.gui([&] { OVT.WIZ_ID = id; });
    WindowDriver list = openList(d, response);
    host.expectMessage("Delete all script items for the current task?", ui::BUTTON::Yes);
    list.press("?Clear");
    d.settle();
    list.press("?Close");
    d.waitClosed(list);
    templates.press("?Close");
    d.waitClosed(templates);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_TRUE(items(22).empty());
  EXPECT_EQ(details(id), 2) << "the template's items are not the task's";
}

TEST_F(ScriptTemplateWindows, AFailedTemplateItemDeleteLeavesEveryItem) {
  const int32_t id = seedTemplate("T", {"a", "b", "c"});
  int deletes = 0;
  editors::templateDetailBeforeDelete = [&](const files::ScriptingRec&) {
    return ++deletes == 3 ? Err::NoAccess : Err::None;
  };
  ScriptedHost host;
  host.expectMessage("were not deleted", ui::BUTTON::Ok);
  runScript([&](Driver& d) {
    d.later([&] {
      OVT.WIZ_ID = id;
      editors::DeleteScriptTemplateDetails();
    });
    d.settle();
    d.waitUntil([&] { return ui::openWindows().empty(); });
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(details(id), 3) << "the two deleted before the failure are back";

  // Template id 0 does nothing.
  runScript([&](Driver& d) {
    d.gui([] {
      OVT.WIZ_ID = 0;
      editors::DeleteScriptTemplateDetails();
    });
  });
  EXPECT_EQ(details(id), 3);
}

// ---- text, export, import, print --------------------------------------------------------------

TEST_F(ScriptItemWindows, EditAsTextReplacesOnlyOnOk) {
  seedTask(30);
  seedItem(30, 1, "Send Keys", "abc");
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    list.press("?AsText");
    WindowDriver text = d.waitWindow("Script:EditAsText");
    EXPECT_EQ(text.title(), "Scripting:  Edit As Text");
    EXPECT_EQ(text.text("?Text"), "KEYS abc\r\n") << "an unedited box gives back the lines it was given";
    text.type("?Text", "EXIT\r\n");
    text.press("?Cancel");
    d.waitClosed(text);
    EXPECT_EQ(items(30), (Items{"1:Send Keys:abc"}));

    list.press("?AsText");
    text = d.waitWindow("Script:EditAsText");
    text.type("?Text", "   ");
    host.expectMessage("Nothing to save.", ui::BUTTON::Ok);
    text.press("?OK");
    d.waitClosed(text);
    EXPECT_EQ(items(30), (Items{"1:Send Keys:abc"}));

    list.press("?AsText");
    text = d.waitWindow("Script:EditAsText");
    text.type("?Text", "KEYS one\r\nBOGUS line\r\n");
    host.expectMessage("Line 2", ui::BUTTON::Ok);
    text.press("?OK");
    d.settle();
    EXPECT_TRUE(text.isOpen()) << "a bad line keeps the text to be put right";
    text.type("?Text", "KEYS one\r\nEXIT\r\n");
    text.press("?OK");
    d.waitClosed(text);
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.texts(1), (Items{"Send Keys", "Exit Script"}));
    list.press("?Close");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(items(30), (Items{"1:Send Keys:one", "2:Exit Script"}));
}

TEST_F(ScriptItemWindows, ReferenceBuildsOnTheClipboard) {
  ScriptedHost host;
  host.setClipboardText("start ");
  runScript([&](Driver& d) {
    d.later([] { editors::Script_Text_Reference(); });
    WindowDriver ref = d.waitWindow("Script:Text:Reference");
    EXPECT_EQ(ref.title(), "Edit Script as Text: Reference");
    EXPECT_EQ(ref.text("?Clipboard"), "start");
    ref.choose("?Modifier", "Ctrl");
    ref.choose("?Key", "a");
    ref.press("?AppendKey");
    ref.choose("?Modifier", "");
    ref.choose("?Key", "ENTER");
    ref.press("?AppendKey");
    ref.choose("?Value", "TODAY");
    ref.press("?AppendValue");
    EXPECT_EQ(ref.text("?Clipboard"), "start[Ctrl-a][ENTER][TODAY]");
    ref.press("?Close");
    d.waitClosed(ref);
  });
  EXPECT_EQ(host.clipboardText(), "start[Ctrl-a][ENTER][TODAY]");

  runScript([&](Driver& d) {
    d.later([] { editors::Script_Text_Reference(); });
    WindowDriver ref = d.waitWindow("Script:Text:Reference");
    ref.choose("?Command", "EXIT");
    ref.press("?Replace");
    EXPECT_EQ(ref.text("?Clipboard"), "EXIT");
    ref.type("?Clipboard", "");
    ref.press("?Close");
    d.waitClosed(ref);
  });
  EXPECT_EQ(host.clipboardText(), "") << "an emptied field empties the clipboard";
}

TEST_F(ScriptItemWindows, ExportAndImportThroughTheList) {
  seedTask(31);
  seedItem(31, 1, "Send Keys", "x1");
  seedItem(31, 2, "Send Keys", "x2");
  const std::string base = (dir() / "saved").string();
  PrintRecorder out;
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver list = openList(d, response);
    host.expectFile("Export to File", {base});
    list.press("?Export");
    EXPECT_TRUE(d.waitUntil([] {
      for (ui::Window* w : ui::openWindows())
        if (w->title() == "Processing Records") return false;
      return true;
    })) << "the export's progress window closes by itself";
    d.settle();
    host.expectFile("Choose File to Import", {base + ".ovs"});
    list.press("?Import");
    EXPECT_TRUE(d.waitUntil([] {
      for (ui::Window* w : ui::openWindows())
        if (w->title() == "Processing Records") return false;
      return true;
    })) << "the import's progress window closes by itself";
    d.settle();
    host.expectFile("Choose File to Import", {});
    list.press("?Import");
    d.settle();
    host.expectMessage("Delete all script items", ui::BUTTON::No);
    list.press("?Clear");
    d.settle();
    // Print lays the items out behind the progress window and shows them in the preview first.
    list.press("?Print");
    EXPECT_TRUE(d.waitUntil([&] { return !out.printed.empty(); }));
    d.settle();
    list.press("?Close");
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_TRUE(std::filesystem::exists(base + ".ovs"));
  EXPECT_EQ(items(31), (Items{"1:Send Keys:x1", "2:Send Keys:x2", "3:Send Keys:x1", "4:Send Keys:x2"}));
  EXPECT_EQ(out.previewTitle, "Script");
  ASSERT_EQ(out.previewed.size(), 1u);
  const std::vector<std::string> texts = report::pageTexts(out.previewed[0]);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Send Keys"), 4) << "one line per item";
  EXPECT_EQ(texts.back(), "Page 1");
  EXPECT_EQ(out.printed.size(), 1u) << "printed as previewed";
  EXPECT_TRUE(started.empty()) << "no plain text is handed to lp";
}

// ---- ways in ------------------------------------------------------------------------------------

TEST_F(ScriptItemWindows, FrameCommandAndTriggerFormOpenTheWindows) {
  using scheduler::Command::ScriptTemplates;
  for (const char* name : {"BrowseScriptTemplates", "BrowseScripting", "UpdateScripting", "Script:EditAsText"})
    scheduler::registerProgramWindow(name, {});
  EXPECT_FALSE(scheduler::CommandAvailable(ScriptTemplates));
  editors::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(ScriptTemplates));
  EXPECT_TRUE(scheduler::programWindowRegistered("BrowseScripting"));
  EXPECT_TRUE(scheduler::programWindowRegistered("UpdateScripting"));

  // A stored trigger's task: the trigger form's Next opens the list on it, and the list's OK
  // completes the form.
  seedTask(40, "Trigger");
  seedItem(40, 1, "Send Keys", "from trigger");
  ASSERT_EQ(files::Access_TRIGGERS.Open(), Err::None);
  files::TRIGGERS.clear();
  files::TRI.TRI_ID = 1;
  files::TRI.ID = 40;
  files::TRI.TriggerType = "Startup";
  files::TRI.Description = "At start";
  files::TRI.Active = 1;
  ASSERT_EQ(files::TRIGGERS.add(), Err::None);
  (void)files::Access_TRIGGERS.Close();
  SCH.ID = 0;
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    d.later([&] {
      // As the trigger list calls it: on the fetched record.
      ASSERT_EQ(files::Access_TRIGGERS.Open(), Err::None);
      files::TRI.TRI_ID = 1;
      ASSERT_EQ(files::TRIGGERS.get(files::TRI_K_TRI_ID), Err::None);
      files::GLOBALREQUEST = ui::ChangeRecord;
      response = editors::UpdateTriggers();
      (void)files::Access_TRIGGERS.Close();
    });
    WindowDriver form = d.waitWindow("UpdateTriggers");
    form.press("?Next");
    WindowDriver list = d.waitWindow("BrowseScripting");
    EXPECT_EQ(list.title(), "Startup Trigger Scripting - At start");
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.texts(1), (Items{"Send Keys"}));
    list.press("?OK");
    d.waitClosed(list);
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);

  // A new trigger gets its task and its script in the same session; the list's Cancel goes back
  // to the form's first page, and a form cancelled then leaves no task behind.
  runScript([&](Driver& d) {
    for (const char* listButton : {"?Cancel", "?OK"}) {
      SCOPED_TRACE(listButton);
      d.later([&] {
        files::GLOBALREQUEST = ui::InsertRecord;
        response = editors::UpdateTriggers();
      });
      WindowDriver form = d.waitWindow("UpdateTriggers");
      form.choose("?TRI:TriggerType", "Startup");
      form.enter("?TRI:Description", "Morning");
      form.press("?Next");
      WindowDriver list = d.waitWindow("BrowseScripting");
      EXPECT_EQ(list.title(), "Startup Trigger Scripting - Morning");
      EXPECT_EQ(ListDriver(d, list, "?Browse:1").texts(1), Items{});
      list.press(listButton);
      d.waitClosed(list);
      d.settle();
      if (std::string(listButton) == "?Cancel") {
        EXPECT_TRUE(form.isOpen());
        EXPECT_TRUE(form.shown("?TRI:Description")) << "back on the first page";
        form.press("?Cancel");
      }
      d.waitClosed(form);
    }
  });
  ASSERT_EQ(files::Access_TRIGGERS.Open(), Err::None);
  files::TRIGGERS.clear();
  files::TRI.TRI_ID = 2;
  ASSERT_EQ(files::TRIGGERS.get(files::TRI_K_TRI_ID), Err::None);
  const int32_t newTask = files::TRI.ID;
  EXPECT_EQ(files::TRI.Description.str(), "Morning");
  (void)files::Access_TRIGGERS.Close();
  ASSERT_EQ(files::Access_SCHEDULE.Open(), Err::None);
  std::vector<int32_t> tasks;
  files::SCHEDULE.clear();
  for (Err err = files::SCHEDULE.setFrom(files::SCH_KeyID); err == Err::None && (err = files::SCHEDULE.next()) == Err::None;)
    tasks.push_back(SCH.ID);
  (void)files::Access_SCHEDULE.Close();
  EXPECT_EQ(tasks, (std::vector<int32_t>{40, newTask})) << "the cancelled trigger's task was removed";
  EXPECT_FALSE(host.pending());
  scheduler::registerProgramWindow("BrowseScriptTemplates", {});
  scheduler::registerProgramWindow("BrowseScripting", {});
  scheduler::registerProgramWindow("UpdateScripting", {});
  scheduler::registerProgramWindow("Script:EditAsText", {});
}

}  // namespace
