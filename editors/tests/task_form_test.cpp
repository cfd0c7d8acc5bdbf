// The task form driven as a user would, over a temporary data folder: a new task with its
// defaults, the wizards, e-mail tasks and their messages, change, view and delete, the date
// checks, rescheduling and copying with script items, the script page's item positions, a
// cancelled new task, the program chooser, and the frame's commands once the form is registered.
#include "editors/task_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "datalib/config.h"
#include "dialogs/tests/fixture.h"
#include "editors/register_windows.h"
#include "editors/script_items.h"
#include "platform/files/tests/process.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/testing/list_driver.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_windows.h"

using namespace ov;
using files::M_;
using files::SCH;
using files::SCR;
using rt::Err;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

const int32_t kToday = rt::DATE(3, 16, 2026);  // a Monday
const int32_t kTenAm = 10 * 360000 + 1;

class TaskForm : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(kToday, kTenAm);
    scheduler::services().post = [this](int event, int thread) { posted.push_back({event, thread}); };
    scheduler::PresetTaskType() = "";
    editors::TaskFormStartDate() = "";
    editors::TaskFormSourceID() = 0;
    SCH = files::ScheduleRec{};
    M_ = files::MessageRec{};
  }
  void TearDown() override {
    for (const char* name : {"UpdateScripting", "UpdateSchedule"})
      scheduler::registerProgramWindow(name, {});
    for (const char* name : {"ConfirmClearScript", "PrintCurrentScript", "ExportScript", "ImportScript"})
      editors::registerScriptCommand(name, {});
    DataFolder::TearDown();
  }
  bool wasPosted(int event) const {
    return std::find(posted.begin(), posted.end(), std::make_pair(event, 1)) != posted.end();
  }
  std::vector<std::pair<int, int>> posted;
};

std::vector<files::ScheduleRec> storedTasks() {
  std::vector<files::ScheduleRec> out;
  EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
  const files::ScheduleRec kept = SCH;
  files::SCHEDULE.clear();
  Err err = files::SCHEDULE.setFrom(files::SCH_KeyID);
  while (err == Err::None && (err = files::SCHEDULE.next()) == Err::None) out.push_back(SCH);
  SCH = kept;
  (void)files::Access_SCHEDULE.Close();
  return out;
}

std::vector<files::MessageRec> storedMessages() {
  std::vector<files::MessageRec> out;
  EXPECT_EQ(files::Access_MESSAGES.Open(), Err::None);
  const files::MessageRec kept = M_;
  files::MESSAGES.clear();
  Err err = files::MESSAGES.setFrom(files::M_KeyEmailID);
  while (err == Err::None && (err = files::MESSAGES.next()) == Err::None) out.push_back(M_);
  M_ = kept;
  (void)files::Access_MESSAGES.Close();
  return out;
}

// The keystroke texts of a task's items in sequence order, with their sequences.
std::vector<std::string> itemsOf(int32_t task) {
  std::vector<std::string> out;
  EXPECT_EQ(files::Access_SCRIPTING.Open(), Err::None);
  const files::ScriptingRec kept = SCR;
  files::SCRIPTING.clear();
  SCR.ID = task;
  SCR.Sequence = INT32_MIN;
  Err err = files::SCRIPTING.setFrom(files::SCR_KeyID);
  while (err == Err::None && (err = files::SCRIPTING.next()) == Err::None && SCR.ID == task)
    out.push_back(std::to_string(SCR.Sequence) + ":" + SCR.Keystrokes.str());
  SCR = kept;
  (void)files::Access_SCRIPTING.Close();
  return out;
}

void addItems(int32_t task, const std::vector<std::string>& keys) {
  EXPECT_EQ(files::Access_SCRIPTING.Open(), Err::None);
  int32_t sequence = 0;
  for (const std::string& k : keys) {
    files::SCRIPTING.clear();
    SCR.ID = task;
    SCR.Sequence = ++sequence;
    SCR.Action = "Keystrokes";
    SCR.Keystrokes = k;
    EXPECT_EQ(files::SCRIPTING.add(), Err::None);
  }
  (void)files::Access_SCRIPTING.Close();
}

// A stored "Display Message" task on weekdays at 10:00, changed by `edit`; its record stays in SCH.
int32_t seedTask(const char* description, int32_t id, const std::function<void()>& edit = {}) {
  EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
  SCH = files::ScheduleRec{};
  SCH.ID = id;
  SCH.TaskType = "Display Message";
  SCH.Description = description;
  SCH.Message = description;
  SCH.Category = "General";
  SCH.ScheduleType = "Day of Week";
  SCH.Monday = SCH.Tuesday = SCH.Wednesday = SCH.Thursday = SCH.Friday = 1;
  SCH.Date = kToday;
  SCH.Time = kTenAm;
  SCH.OriginalID = id;
  if (edit) edit();
  EXPECT_EQ(files::SCHEDULE.add(), Err::None);
  (void)files::Access_SCHEDULE.Close();
  return id;
}

WindowDriver openForm(Driver& d, int request, int& response) {
  d.later([&response, request] {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    response = editors::UpdateSchedule();
  });
  return d.waitWindow("UpdateSchedule");
}

TEST_F(TaskForm, NewTaskOpenedAt2358IsStoredForTheNextDayWithItsDefaults) {
  rt::setTestClock(kToday, 23 * 360000 + 58 * 6000 + 1);
  { std::ofstream service(dir() / "OVNT.EXE"); }  // the service program is present
  ScriptedHost host;
  int response = 0;
  const editors::NewTaskNote before = editors::lastNewTask();
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    EXPECT_EQ(form.title(), "New Task");
    EXPECT_EQ(form.text("?SCH:Category"), "General") << "no categories yet: the one the task is stored under";
    EXPECT_EQ(form.tabs("?CurrentTab"),
              (std::vector<std::string>{"Task Basics", "Program", "Script", "Message", "Scheduling", "Users",
                                        "Options / Alarm"}));
    EXPECT_EQ(form.choice("?SCH:TaskType"), 3) << "a plain new task is \"Both\"";
    // "Both" needs a message.
    host.expectMessage("\"Message\" must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    EXPECT_TRUE(form.isOpen());
    EXPECT_EQ(host.messages().back().title, "Missing Information");
    // The description becomes the message.
    form.selectTab("Task Basics");
    form.enter("?SCH:Description", "Water the plants");
    form.selectTab("Message");
    EXPECT_EQ(form.text("?SCH:Message"), "Water the plants");
    // Every page can be left again.
    for (const char* page : {"Script", "Users", "Scheduling", "Options / Alarm", "Program", "Message"}) {
      form.selectTab(page);
      EXPECT_EQ(form.tabs("?CurrentTab").size(), 7u);
      form.with([page](ui::Window& w) {
        const auto* sheet = w.as<ui::Sheet>(w.feq("?CurrentTab"));
        const int chosen = static_cast<int>(w.propInt(w.feq("?CurrentTab"), ui::Prop::Selected));
        EXPECT_EQ(w.prop(sheet->tabs().at(static_cast<size_t>(chosen - 1)), ui::Prop::Text), page);
      });
    }
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  EXPECT_FALSE(host.pending());
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  const files::ScheduleRec& t = tasks[0];
  EXPECT_EQ(t.TaskType.str(), "Both");
  EXPECT_EQ(t.Date, kToday + 1);
  EXPECT_EQ(t.Time, 3 * 6000 + 1) << "00:03";
  EXPECT_EQ(t.ScheduleType.str(), "Day of Week");
  EXPECT_EQ(t.Command.str(), "N/A");
  EXPECT_EQ(t.Category.str(), "General");
  EXPECT_EQ(editors::lastNewTask().count, before.count + 1) << "the lists learn of the new task";
  EXPECT_EQ(editors::lastNewTask().id, t.ID);
  EXPECT_EQ(t.Category.str(), "General");
  EXPECT_EQ(t.Message.str(), "Water the plants");
  EXPECT_EQ(t.OriginalID, t.ID);
  EXPECT_EQ(t.LastChangeDate, kToday);
  EXPECT_TRUE(wasPosted(scheduler::kEventRefreshAll));
  EXPECT_FALSE(wasPosted(editors::kEventTaskFormCancelled));
  EXPECT_EQ(files::GETCONFIG("OVCATBoth"), "General") << "the next task of the type starts in this category";
  EXPECT_EQ(rt::GETINI("Main", "Last Update", "", "./OVNT.INI").substr(0, 9), "03/16/26 ");
}

TEST_F(TaskForm, StartedFromTheFrameItIsANewTaskWhateverTheBufferHolds) {
  seedTask("Another window's task", 1);  // left in SCH
  editors::registerWindows();
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.gui([] {
      files::GLOBALREQUEST = ui::ChangeRecord;  // left by another window
      EXPECT_TRUE(scheduler::RunCommand(scheduler::Command::NewMessageTask, {}));
    });
    WindowDriver form = d.waitWindow("UpdateSchedule");
    EXPECT_EQ(form.title().substr(0, 22), "Display Message Wizard");
    form.with([](ui::Window&) {
      EXPECT_EQ(SCH.ID, 2);
      EXPECT_EQ(SCH.TaskType.str(), "Display Message");
      EXPECT_TRUE(SCH.Description.isBlank());
    });
    // The wizard's message is on its first page, and required before Next.
    EXPECT_TRUE(form.shown("?SCH:Message:Basics"));
    host.expectMessage("\"Message\" must be entered.", ui::BUTTON::Ok);
    form.press("?Next");
    d.settle();
    EXPECT_TRUE(form.shown("?SCH:Message:Basics"));
    form.type("?SCH:Message:Basics", "Stretch");
    form.press("?Next");
    EXPECT_TRUE(form.shown("?SCH:Date"));
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(storedTasks().size(), 1u);
}

TEST_F(TaskForm, AlarmTakesTheLastWavFile) {
  ASSERT_EQ(rt::PUTINI("Settings", "LastWAVFile", "/snd/bell.wav", files::INI.FILENAME.str()), Err::None);
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    form.selectTab("Options / Alarm");
    EXPECT_FALSE(form.enabled("?SCH:AlarmFile"));
    form.check("?SCH:Alarm", true);
    EXPECT_TRUE(form.enabled("?SCH:AlarmFile"));
    EXPECT_EQ(form.text("?SCH:AlarmFile"), "/snd/bell.wav");
    form.enter("?SCH:AlarmFile", "/snd/gong.wav");
    // Play: a file that is not there sends the user to Browse.
    form.press("?PlayWav");
    form.with([](ui::Window& w) { EXPECT_EQ(w.focus(), w.feq("?BrowseWav")); });
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_EQ(files::GETCONFIG("LastWAVFile"), "/snd/gong.wav");
}

TEST_F(TaskForm, CancelledNewTaskTakesTheItemsWrittenUnderItsNumberWithIt) {
  seedTask("Kept", 1);
  addItems(1, {"kept"});
  SCH = files::ScheduleRec{};  // a new task, not a copy
  ScriptedHost host;
  int response = 0;
  int32_t reserved = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    form.with([&](ui::Window&) { reserved = SCH.ID; });
    EXPECT_EQ(reserved, 2);
    // Items written by the item form while the task is open.
    d.gui([&] { addItems(reserved, {"a", "b"}); });
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCancelled);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].ID, 1);
  EXPECT_TRUE(itemsOf(reserved).empty()) << "a later task numbered 2 must not inherit them";
  EXPECT_EQ(itemsOf(1), std::vector<std::string>{"1:kept"});
  EXPECT_TRUE(wasPosted(editors::kEventTaskFormCancelled));
  EXPECT_FALSE(wasPosted(scheduler::kEventRefreshAll));
}

TEST_F(TaskForm, CancelLeavesTheItemsOfATaskWhoseNumberTheBufferCarried) {
  seedTask("Stored", 1);
  addItems(1, {"kept"});
  SCH.ScheduleType = "";  // a buffer with a stored task's number but no schedule: not a copy
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_EQ(itemsOf(1), std::vector<std::string>{"1:kept"});
  EXPECT_EQ(storedTasks().size(), 1u);
}

TEST_F(TaskForm, ScriptWizardStoresARunProgramTaskWithoutProgram) {
  scheduler::PresetTaskType() = "Script";
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, 0, response);
    EXPECT_EQ(form.title().substr(0, 13), "Script Wizard");
    EXPECT_FALSE(form.shown("?SCH:TaskType")) << "a wizard knows its type";
    EXPECT_TRUE(form.shown("?Next"));
    EXPECT_FALSE(form.enabled("?Back"));
    form.press("?Next");
    EXPECT_TRUE(form.shown("?ST:Browse:1")) << "the script page follows the basics";
    form.with([](ui::Window&) {
      EXPECT_EQ(SCH.Command.str(), "N/A");
      EXPECT_EQ(SCH.Description.str(), "Script  3/16/2026");
    });
    form.press("?Next");
    EXPECT_TRUE(form.shown("?SCH:Date"));
    form.press("?Back");
    EXPECT_TRUE(form.shown("?ST:Browse:1"));
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  EXPECT_EQ(scheduler::PresetTaskType().str(), "") << "the input is used once";
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].TaskType.str(), "Run Program");
  EXPECT_EQ(tasks[0].Command.str(), "N/A");
  EXPECT_EQ(tasks[0].Description.str(), "Script  3/16/2026");
}

TEST_F(TaskForm, EmailWizardStoresTheMessageAndNamesItInTheCommand) {
  scheduler::PresetTaskType() = "E-mail";
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, 0, response);
    EXPECT_EQ(form.title().substr(0, 13), "E-mail Wizard");
    form.with([](ui::Window&) { EXPECT_EQ(SCH.Description.str(), "E-mail 03/16/26"); });
    form.press("?Next");
    EXPECT_TRUE(form.shown("?M_:EmailTo"));
    EXPECT_EQ(form.text("?M_:EmailTo:Prompt"), "*&To:");
    EXPECT_FALSE(form.shown("?M_:MergeFile"));
    form.enter("?M_:EmailTo", "ann@example.com");
    // No subject yet: the user may go back.
    host.expectMessage("This e-mail message has no subject.", ui::BUTTON::No);
    form.press("?OK");
    d.settle();
    EXPECT_TRUE(form.isOpen());
    form.enter("?M_:Subject", "Report");
    form.with([](ui::Window&) { EXPECT_EQ(SCH.Description.str(), "E-mail Report 03/16/26"); });
    form.press("?Next");
    form.type("?M_:Message", "Figures attached.");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  EXPECT_FALSE(host.pending());
  const auto messages = storedMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].EmailTo.str(), "ann@example.com");
  EXPECT_EQ(messages[0].Subject.str(), "Report");
  EXPECT_EQ(messages[0].MailType.str(), "E-mail");
  EXPECT_EQ(messages[0].MailFormat.str(), "Text");
  EXPECT_EQ(messages[0].Message, "Figures attached.");
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].TaskType.str(), "Run Program");
  EXPECT_EQ(tasks[0].Command.str(), "OVEMAIL " + std::to_string(messages[0].EmailID));
  EXPECT_EQ(files::GETCONFIG("LastEmail"), "ann@example.com");
}

TEST_F(TaskForm, ChangedEmailTaskUpdatesItsMessage) {
  EXPECT_EQ(files::Access_MESSAGES.Open(), Err::None);
  files::MESSAGES.clear();
  M_.EmailID = 3;
  M_.MailType = "E-mail";
  M_.MailFormat = "Text";
  M_.EmailTo = "ann@example.com";
  M_.Subject = "Old";
  EXPECT_EQ(files::MESSAGES.add(), Err::None);
  (void)files::Access_MESSAGES.Close();
  M_ = files::MessageRec{};
  seedTask("Mail", 1, [] {
    SCH.TaskType = "Run Program";
    SCH.Command = "OVEMAIL 3";
  });
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::ChangeRecord, response);
    form.selectTab("E-mail");
    EXPECT_EQ(form.text("?M_:Subject"), "Old");
    form.enter("?M_:Subject", "New");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto messages = storedMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].EmailID, 3);
  EXPECT_EQ(messages[0].Subject.str(), "New");
  EXPECT_EQ(storedTasks().at(0).Command.str(), "OVEMAIL 3");
}

TEST_F(TaskForm, EmailTaskWhoseMessageIsGoneGetsANewOne) {
  seedTask("Old mail", 1, [] {
    SCH.TaskType = "Run Program";
    SCH.Command = "OVEMAIL 7";
  });
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::ChangeRecord, response);
    EXPECT_EQ(form.title().substr(0, 9), "Edit Task");
    EXPECT_TRUE(form.tabs("?CurrentTab").front() == "Task Basics");
    form.selectTab("E-mail");
    form.choose("?M_:MailType", "Mass Mailing");
    EXPECT_FALSE(form.shown("?M_:EmailTo"));
    EXPECT_TRUE(form.shown("?M_:EmailToGroup"));
    form.choose("?M_:MailType", "E-mail");
    form.enter("?M_:EmailTo", "bob@example.com");
    form.enter("?M_:Subject", "Again");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto messages = storedMessages();
  ASSERT_EQ(messages.size(), 1u);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].Command.str(), "OVEMAIL " + std::to_string(messages[0].EmailID));
  EXPECT_NE(messages[0].EmailID, 7);
}

TEST_F(TaskForm, FailedTaskWriteLeavesNoMessageBehind) {
  seedTask("Taken", 1);
  ScriptedHost host;
  host.expectMessage("", ui::BUTTON::Ok);  // the data layer's report of the duplicate number
  runScript([&](Driver& d) {
    d.gui([&] {
      ASSERT_EQ(files::Relate_SCHEDULE.Open(), Err::None);
      ASSERT_EQ(files::Relate_MESSAGES.Open(), Err::None);
      SCH.TaskType = "Run Program";
      SCH.Command = "OVEMAIL";
      M_ = files::MessageRec{};
      M_.EmailTo = "ann@example.com";
      std::string failure;
      const uint64_t noted = editors::lastNewTask().count;
      EXPECT_NE(editors::storeTask({ui::InsertRecord, true, false, 0, {}}, failure), Err::None) << "task 1 exists";
      EXPECT_EQ(editors::lastNewTask().count, noted) << "a failed write makes no new task for the lists";
      (void)files::Relate_MESSAGES.Close();
      (void)files::Relate_SCHEDULE.Close();
    });
  });
  EXPECT_TRUE(storedMessages().empty());
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].Description.str(), "Taken");
}

TEST_F(TaskForm, ChangedCompletedTask) {
  struct Case {
    const char* name;
    uint8_t disabled;
    bool warned;
    uint8_t completedAfter;
  };
  const Case cases[] = {{"completed and disabled: warned, kept", 1, true, 1},
                        {"completed, enabled again: no longer completed", 0, false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seedTask("Done", 1, [&] {
      SCH.Completed = 1;
      SCH.Disabled = c.disabled;
    });
    ScriptedHost host;
    if (c.warned) host.expectMessage("already been executed and marked as disabled", ui::BUTTON::Ok);
    int response = 0;
    runScript([&](Driver& d) {
      WindowDriver form = openForm(d, ui::ChangeRecord, response);
      form.press("?OK");
      d.waitClosed(form);
    });
    EXPECT_EQ(response, ui::RequestCompleted);
    EXPECT_FALSE(host.pending());
    const auto tasks = storedTasks();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0].Completed, c.completedAfter);
    // Start again from an empty task file.
    EXPECT_EQ(files::Relate_SCHEDULE.Open(), Err::None);
    SCH.ID = 1;
    EXPECT_EQ(files::SCHEDULE.get(files::SCH_KeyID), Err::None);
    EXPECT_EQ(files::Relate_SCHEDULE.Delete(), Err::None);
    (void)files::Relate_SCHEDULE.Close();
  }
}

TEST_F(TaskForm, ChangedTaskOpensOnItsFirstShownPageWithWhenItWasLastPerformed) {
  files::FORMAT.TIME = "t7b";  // the configuration's default time picture, already blank when zero
  const int32_t lastTime = 4 * 360000 + 47 * 6000 + 1;
  seedTask("Water the plants", 1, [&] {
    SCH.LastRunDate = kToday - 7;
    SCH.LastRunTime = lastTime;
  });
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::ChangeRecord, response);
    EXPECT_FALSE(form.shown("?Tab:Event"));
    EXPECT_TRUE(form.shown("?SCH:Description")) << "a page is shown";
    form.selectTab("Scheduling");
    EXPECT_EQ(form.text("?SCH:LastRunDate"), rt::CLIP(rt::FORMAT(kToday - 7, "@d2")));
    EXPECT_EQ(form.text("?SCH:LastRunTime"), rt::CLIP(rt::FORMAT(lastTime, "@t7")));
    EXPECT_NE(form.text("?SCH:LastRunTime").find(':'), std::string::npos);
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
}

// Another program changes the task after the form read it: OK asks whether to keep what was
// typed; No reloads the task and shows it, Yes stores what was typed over the change.
TEST_F(TaskForm, AChangeByAnotherProgramWhileTheFormIsOpenIsAskedAboutOnOk) {
  struct Case {
    int answer;
    const char* stored;
  };
  const Case cases[] = {{ui::BUTTON::No, "Renamed elsewhere"}, {ui::BUTTON::Yes, "Typed here"}};
  int32_t id = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    seedTask("Old name", ++id);
    db::testing::Child other([id](db::testing::Child& ch) {
      ch.await();
      if (files::Access_SCHEDULE.Open() != Err::None) return 1;
      SCH.ID = id;
      if (files::SCHEDULE.get(files::SCH_KeyID) != Err::None) return 2;
      SCH.Description = "Renamed elsewhere";
      if (files::SCHEDULE.put() != Err::None) return 3;
      ch.tell();
      return 0;
    });
    ScriptedHost host;
    host.expectMessage("was changed by another window or program after you opened it", c.answer);
    int response = 0;
    runScript([&](Driver& d) {
      // As the task list calls it: the task read into the buffer.
      d.later([&response, id] {
        EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
        SCH.ID = id;
        EXPECT_EQ(files::SCHEDULE.get(files::SCH_KeyID), Err::None);
        files::GLOBALREQUEST = ui::ChangeRecord;
        response = editors::UpdateSchedule();
        (void)files::Access_SCHEDULE.Close();
      });
      WindowDriver form = d.waitWindow("UpdateSchedule");
      form.selectTab("Task Basics");
      form.enter("?SCH:Description", "Typed here");
      other.answer();
      EXPECT_EQ(other.awaitChild(), '.');
      EXPECT_EQ(other.wait(), 0);
      form.press("?OK");
      d.settle();
      if (c.answer == ui::BUTTON::No) {
        ASSERT_TRUE(form.isOpen()) << "the form stays with the reloaded task";
        form.selectTab("Task Basics");
        EXPECT_EQ(form.text("?SCH:Description"), "Renamed elsewhere");
        form.press("?OK");
      }
      d.waitClosed(form);
    });
    EXPECT_EQ(response, ui::RequestCompleted);
    EXPECT_FALSE(host.pending());
    std::string stored;
    for (const files::ScheduleRec& t : storedTasks())
      if (t.ID == id) stored = t.Description.str();
    EXPECT_EQ(stored, c.stored);
  }
}

TEST_F(TaskForm, ViewShowsReadOnlyAndDeleteTakesTheItems) {
  seedTask("Old", 1);
  addItems(1, {"x", "y"});
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::ViewRecord, response);
    EXPECT_EQ(form.title().substr(0, 9), "View Task");
    EXPECT_EQ(form.text("?Cancel"), "Cl&ose");
    EXPECT_FALSE(form.enabled("?OK"));
    EXPECT_FALSE(form.enabled("?SCH:Description"));
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCancelled);
  EXPECT_EQ(storedTasks().size(), 1u);

  runScript([&](Driver& d) {
    d.gui([] {
      EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
      SCH.ID = 1;
      EXPECT_EQ(files::SCHEDULE.get(files::SCH_KeyID), Err::None);
      (void)files::Access_SCHEDULE.Close();
    });
    WindowDriver form = openForm(d, ui::DeleteRecord, response);
    EXPECT_EQ(form.title().substr(0, 9), "Edit Task");
    EXPECT_TRUE(form.enabled("?OK")) << "OK confirms the delete";
    EXPECT_FALSE(form.enabled("?SCH:Description"));
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  EXPECT_TRUE(storedTasks().empty());
  EXPECT_TRUE(itemsOf(1).empty());
}

TEST_F(TaskForm, DateChecksOnTheSchedulingPage) {
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    form.selectTab("Scheduling");
    // A Saturday for a weekday task: warned, kept.
    host.expectMessage("Date entered (03/14/26) does not match schedule type.  The next valid date would be 03/16/26.",
                       ui::BUTTON::Ok);
    form.enter("?SCH:Date", "03/14/2026");
    form.with([](ui::Window&) { EXPECT_EQ(SCH.Date, rt::DATE(3, 14, 2026)); });
    // A warning after the task is taken back.
    host.expectMessage("Advanced Warning cannot be after scheduled task.", ui::BUTTON::Ok);
    form.enter("?SCH:AdvanceWarnDate", "03/20/2026");
    form.with([](ui::Window&) { EXPECT_EQ(SCH.AdvanceWarnDate, 0); });
    form.enter("?SCH:AdvanceWarnDate", "03/13/2026");
    form.with([](ui::Window&) { EXPECT_EQ(SCH.AdvanceWarnDate, rt::DATE(3, 13, 2026)); });
    // An end before the start is taken back.
    host.expectMessage("End date and time must be after the start date and time.", ui::BUTTON::Ok);
    form.enter("?SCH:ExpiryDate", "03/01/2026");
    form.with([](ui::Window&) { EXPECT_EQ(SCH.ExpiryDate, 0); });
    form.enter("?SCH:ExpiryDate", "12/31/2026");
    // "Once" keeps no end.
    form.choose("?SCH:ScheduleType", "Once");
    form.with([](ui::Window&) { EXPECT_EQ(SCH.ExpiryDate, 0); });
    EXPECT_FALSE(form.shown("?SCH:Monday"));
    // Month End leaves only itself.
    form.choose("?SCH:ScheduleType", "Day of Month");
    EXPECT_TRUE(form.shown("?SCH:Every1st"));
    form.check("?SCH:Every1st", true);
    form.check("?SCH:LastDayOfMonth", true);
    EXPECT_FALSE(form.enabled("?SCH:Every1st"));
    EXPECT_FALSE(form.enabled("?SCH:Monday"));
    form.with([](ui::Window&) {
      EXPECT_EQ(SCH.Every1st, 0);
      EXPECT_EQ(SCH.Monday, 0);
    });
    form.check("?SCH:LastDayOfMonth", false);
    EXPECT_TRUE(form.enabled("?SCH:Every1st"));
    // Custom hourly repeats keep no history.
    form.choose("?SCH:ScheduleType", "Every...");
    EXPECT_TRUE(form.shown("?SCH:Every"));
    form.enter("?SCH:Every", "2");
    form.with([](ui::Window&) { EXPECT_EQ(SCH.NoHistory, 1); });
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_TRUE(storedTasks().empty());
}

TEST_F(TaskForm, TaskOnAnExcludedDayIsStoredWithItsShiftedCopy) {
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    form.with([](ui::Window& w) {
      SCH.Description = "Weekly report";
      SCH.Message = "Weekly report";
      SCH.ScheduleType = "Custom";
      SCH.Every = 1;
      SCH.EveryType = "week(s)";  // a daily task runs on the Monday anyway: no copy for it
      SCH.Date = rt::DATE(3, 14, 2026);  // a Saturday
      SCH.ExceptWeekends = 1;
      SCH.ShiftType = "Next day";
      w.display();
    });
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 2u);
  const files::ScheduleRec& task = tasks[0].ScheduleType == "Custom" ? tasks[0] : tasks[1];
  const files::ScheduleRec& shifted = tasks[0].ScheduleType == "Custom" ? tasks[1] : tasks[0];
  EXPECT_EQ(task.SkipNextTime, 1) << "the Saturday itself is skipped";
  EXPECT_EQ(task.ExceptionLink, shifted.ID);
  EXPECT_EQ(shifted.ScheduleType.str(), "Once");
  EXPECT_EQ(shifted.Date, rt::DATE(3, 16, 2026)) << "the next weekday";
}

TEST_F(TaskForm, StartDateSetsTheConfiguredAdvanceWarning) {
  const std::string ini = files::INI.FILENAME.str();
  ASSERT_EQ(rt::PUTINI("Warning", "Active", "1", ini), Err::None);
  ASSERT_EQ(rt::PUTINI("Warning", "Date", "1", ini), Err::None);
  ASSERT_EQ(rt::PUTINI("Warning", "Time", "360000", ini), Err::None);  // a day and an hour before
  rt::setTestClock(kToday, 30 * 6000 + 1);                              // 00:30: the task at 00:35
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    form.selectTab("Scheduling");
    form.enter("?SCH:Date", "03/18/2026");
    form.with([](ui::Window&) {
      EXPECT_EQ(SCH.AdvanceWarnDate, rt::DATE(3, 16, 2026)) << "an hour before 00:35 lies the day before";
      EXPECT_EQ(SCH.AdvanceWarnTime, 23 * 360000 + 35 * 6000 + 1);
      EXPECT_EQ(SCH.AdvanceWarned, 0);
    });
    form.press("?Cancel");
    d.waitClosed(form);
  });
}

TEST_F(TaskForm, RescheduleMakesAOneTimeCopyAndMarksTheSourceSkipped) {
  const int32_t source = seedTask("Standup", 5);
  addItems(source, {"one", "two"});
  scheduler::PresetTaskType() = "Reschedule";
  editors::TaskFormSourceID() = source;
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    EXPECT_EQ(form.title().substr(0, 22), "Display Message Wizard");
    const std::vector<std::string> tabs = form.tabs("?CurrentTab");
    ASSERT_FALSE(tabs.empty());
    EXPECT_EQ(tabs.front(), "Event");
    EXPECT_EQ(std::count(tabs.begin(), tabs.end(), "Scheduling"), 0);
    d.gui([] {
      const auto reserved = storedTasks();
      ASSERT_EQ(reserved.size(), 2u);
      EXPECT_EQ(reserved[1].Date, 0) << "the number is held by a record the scheduler passes over";
    });
    form.enter("?SCH:Date:Event", "03/18/2026");
    form.check("?SCH:SkipNextTime:Event", true);
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_EQ(tasks[0].ID, source);
  EXPECT_EQ(tasks[0].SkipNextTime, 1);
  EXPECT_EQ(tasks[0].ScheduleType.str(), "Day of Week");
  const files::ScheduleRec& copy = tasks[1];
  EXPECT_EQ(copy.ScheduleType.str(), "Once");
  EXPECT_EQ(copy.SkipNextTime, 0);
  EXPECT_EQ(copy.Date, rt::DATE(3, 18, 2026));
  EXPECT_EQ(copy.Description.str(), "Standup");
  EXPECT_EQ(itemsOf(copy.ID), (std::vector<std::string>{"1:one", "2:two"}));
  EXPECT_EQ(itemsOf(source), (std::vector<std::string>{"1:one", "2:two"}));
}

TEST_F(TaskForm, RescheduleLeavesTheSourcesPendingShiftedCopyAlone) {
  // The source's link names its pending copy (6); the new task starts from the source's record.
  seedTask("Standup", 6, [] {
    SCH.ScheduleType = "Once";
    SCH.Date = rt::DATE(3, 17, 2026);
    SCH.OriginalID = 5;
  });
  const int32_t source = seedTask("Standup", 5, [] { SCH.ExceptionLink = 6; });  // stays in SCH
  scheduler::PresetTaskType() = "Reschedule";
  editors::TaskFormSourceID() = source;
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    form.enter("?SCH:Date:Event", "03/18/2026");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 3u);
  EXPECT_EQ(tasks[0].ExceptionLink, 6);
  EXPECT_EQ(tasks[1].ID, 6) << "the source's copy is still there";
  EXPECT_EQ(tasks[1].Date, rt::DATE(3, 17, 2026));
  EXPECT_EQ(tasks[2].Date, rt::DATE(3, 18, 2026));
  EXPECT_EQ(tasks[2].ExceptionLink, 0) << "the new task has no copy of its own";
}

TEST_F(TaskForm, OkMovesAStartDateOffTheScheduleOntoItAndSaysSo) {
  rt::setTestClock(rt::DATE(3, 20, 2026), kTenAm);  // a Friday
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);
    form.with([](ui::Window& w) {
      EXPECT_EQ(SCH.Date, rt::DATE(3, 20, 2026)) << "a new task starts today";
      SCH.Description = "Committee";
      SCH.Message = "Committee";
      SCH.ScheduleType = "Day of Month";  // the second Tuesday
      SCH.Monday = SCH.Wednesday = SCH.Thursday = SCH.Friday = 0;
      SCH.Tuesday = 1;
      SCH.Every2nd = 1;
      SCH.EveryLast = 0;
      SCH.AdvanceWarnDate = rt::DATE(3, 19, 2026);
      SCH.AdvanceWarnTime = kTenAm;
      w.display();
    });
    host.expectMessage("Date entered (03/20/26) does not match schedule type.  The next valid date would be 04/14/26.",
                       ui::BUTTON::Ok);
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].Date, rt::DATE(4, 14, 2026)) << "not the Friday it was left on";
  EXPECT_EQ(tasks[0].AdvanceWarnDate, rt::DATE(4, 13, 2026)) << "the warning keeps its day before";
}

TEST_F(TaskForm, CopyGetsTheSourcesItemsUnderItsOwnNumber) {
  const int32_t source = seedTask("Backup", 3);
  addItems(source, {"zip"});
  editors::TaskFormSourceID() = source;
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    WindowDriver form = openForm(d, ui::InsertRecord, response);  // SCH still holds the source
    EXPECT_EQ(form.title().substr(0, 8), "New Task");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_EQ(tasks[1].ID, 4);
  EXPECT_EQ(tasks[1].Description.str(), "Backup");
  EXPECT_EQ(itemsOf(4), std::vector<std::string>{"1:zip"});
}

// The script item form as a stand-in: an insert adds the buffer's item (or "new") after the last
// item of the task, a delete deletes the current item.
class StandInItemForm : public ui::WindowManager {
 public:
  StandInItemForm() : ui::WindowManager("UpdateScripting") {}
  static int32_t lastOwner;
  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    lastOwner = editors::NewScriptItemOwner;
    if (request == ui::InsertRecord) {
      const files::ScriptingRec item = SCR;
      int32_t last = 0;
      SCR.ID = SCH.ID;
      SCR.Sequence = INT32_MIN;
      Err err = files::SCRIPTING.setFrom(files::SCR_KeyID);
      while (err == Err::None && (err = files::SCRIPTING.next()) == Err::None && SCR.ID == SCH.ID) last = SCR.Sequence;
      SCR = item;
      SCR.ID = SCH.ID;
      SCR.Sequence = last + 1;
      SCR.Action = "Keystrokes";
      if (SCR.Keystrokes.isBlank()) SCR.Keystrokes = "new";
      EXPECT_EQ(files::SCRIPTING.add(), Err::None);
    } else if (request == ui::DeleteRecord) {
      EXPECT_EQ(files::SCRIPTING.deleteRecord(), Err::None);
    }
    Response = ui::RequestCompleted;
    files::GLOBALRESPONSE = ui::RequestCompleted;
    return ui::Level::Notify;
  }
};
int32_t StandInItemForm::lastOwner = 0;

TEST_F(TaskForm, ScriptPageKeepsNewItemsAfterTheHighlightedOneAndClosesGaps) {
  auto program = [] {
    SCH.TaskType = "Run Program";
    SCH.Command = "N/A";
  };
  seedTask("Scripted", 1, program);
  addItems(1, {"a", "b", "c", "d", "e"});
  seedTask("Empty", 2, program);
  scheduler::registerProgramWindow("UpdateScripting", [] { return std::make_unique<StandInItemForm>(); });
  int32_t clearedTask = 0;
  editors::registerScriptCommand("ConfirmClearScript", [&clearedTask] { clearedTask = SCH.ID; });
  ScriptedHost host;
  int response = 0;
  auto highlight = [](WindowDriver& form, int row) {
    form.with([row](ui::Window& w) { w.as<ui::ListControl>(w.feq("?ST:Browse:1"))->setSelected(row); });
  };
  runScript([&](Driver& d) {
    d.gui([] {
      EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
      SCH.ID = 1;
      EXPECT_EQ(files::SCHEDULE.get(files::SCH_KeyID), Err::None);
      (void)files::Access_SCHEDULE.Close();
    });
    WindowDriver form = openForm(d, ui::ChangeRecord, response);
    form.selectTab("Script");
    EXPECT_TRUE(form.enabled("?CopyItem"));
    highlight(form, 3);
    form.press("?NewItem");
    EXPECT_EQ(StandInItemForm::lastOwner, 1);
    form.with([](ui::Window& w) { EXPECT_EQ(w.as<ui::ListControl>(w.feq("?ST:Browse:1"))->selected(), 4); });
    highlight(form, 1);
    form.press("?DeleteItem");
    form.with([](ui::Window& w) { EXPECT_EQ(w.as<ui::ListControl>(w.feq("?ST:Browse:1"))->selected(), 1); });
    highlight(form, 2);
    form.press("?NewQuick");
    EXPECT_EQ(StandInItemForm::lastOwner, -1) << "the drop button asks for the action first";
    d.gui([] { EXPECT_EQ(itemsOf(1), (std::vector<std::string>{"1:b", "2:c", "3:new", "4:new", "5:d", "6:e"})); });
    // The last item dragged onto the first row goes to the top.
    ui::test::ListDriver list(d, form, "?ST:Browse:1");
    list.dragRow(6, 1);
    d.gui([] { EXPECT_EQ(itemsOf(1), (std::vector<std::string>{"1:e", "2:b", "3:c", "4:new", "5:new", "6:d"})); });
    // The list's menu copies the highlighted item behind it.
    host.expectPopup("Copy");
    list.rightClick(2);
    d.settle();
    // A whole-script command runs on the task shown.
    form.press("?ClearScript");
    EXPECT_EQ(clearedTask, 1);
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
  EXPECT_EQ(itemsOf(1), (std::vector<std::string>{"1:e", "2:b", "3:b", "4:c", "5:new", "6:new", "7:d"}));

  runScript([&](Driver& d) {
    d.gui([] {
      EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
      SCH.ID = 2;
      EXPECT_EQ(files::SCHEDULE.get(files::SCH_KeyID), Err::None);
      (void)files::Access_SCHEDULE.Close();
    });
    WindowDriver form = openForm(d, ui::ChangeRecord, response);
    form.selectTab("Script");
    EXPECT_FALSE(form.enabled("?CopyItem")) << "nothing to copy";
    EXPECT_FALSE(form.enabled("?EditItem"));
    EXPECT_FALSE(form.enabled("?ClearScript"));
    EXPECT_FALSE(form.enabled("?ExportScript")) << "not installed";
    form.press("?Cancel");
    d.waitClosed(form);
  });
}

// The script page is an explorer list: a header click sorts it by that column, and the column
// widths the user set come back the next time the form opens.
TEST_F(TaskForm, ScriptPageSortsByColumnAndKeepsItsLayout) {
  seedTask("Scripted", 1, [] {
    SCH.TaskType = "Run Program";
    SCH.Command = "N/A";
  });
  ASSERT_EQ(files::Access_SCRIPTING.Open(), Err::None);
  int32_t sequence = 0;
  for (const char* action : {"Wait", "Beep", "Keystrokes"}) {
    files::SCRIPTING.clear();
    SCR.ID = 1;
    SCR.Sequence = ++sequence;
    SCR.Action = action;
    ASSERT_EQ(files::SCRIPTING.add(), Err::None);
  }
  (void)files::Access_SCRIPTING.Close();
  ScriptedHost host;
  int response = 0;
  auto open = [&](Driver& d) {
    d.gui([] {
      EXPECT_EQ(files::Access_SCHEDULE.Open(), Err::None);
      SCH.ID = 1;
      EXPECT_EQ(files::SCHEDULE.get(files::SCH_KeyID), Err::None);
      (void)files::Access_SCHEDULE.Close();
    });
    WindowDriver form = openForm(d, ui::ChangeRecord, response);
    form.selectTab("Script");
    return form;
  };
  std::string widened;
  runScript([&](Driver& d) {
    WindowDriver form = open(d);
    ui::test::ListDriver list(d, form, "?ST:Browse:1");
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Wait", "Beep", "Keystrokes"})) << "in sequence";
    list.clickHeader(1);
    d.settle();
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Beep", "Keystrokes", "Wait"}));
    list.clickHeader(1);
    d.settle();
    EXPECT_EQ(list.texts(1), (std::vector<std::string>{"Wait", "Keystrokes", "Beep"})) << "a second click turns it";
    const std::string before = list.propList(ui::PROPLIST::Width, 1);
    list.dragBorder(1, 40);
    d.settle();
    widened = list.propList(ui::PROPLIST::Width, 1);
    EXPECT_NE(widened, before);
    form.press("?Cancel");
    d.waitClosed(form);
  });
  runScript([&](Driver& d) {
    WindowDriver form = open(d);
    ui::test::ListDriver list(d, form, "?ST:Browse:1");
    d.settle();
    EXPECT_EQ(list.propList(ui::PROPLIST::Width, 1), widened);
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(TaskForm, ProgramChooserFillsCommandAndFolder) {
  ScriptedHost host;
  const std::string folder = rt::PATH();
  runScript([&](Driver& d) {
    d.gui([&] {
      SCH = files::ScheduleRec{};
      host.expectFile("Choose a Program to Start", {"/opt/tools/run.sh"});
      EXPECT_TRUE(editors::ChooseProgramToStart());
      EXPECT_EQ(SCH.Command.str(), "/opt/tools/run.sh");
      EXPECT_EQ(SCH.Path.str(), "/opt/tools");

      SCH.Path = "/srv";
      host.expectFile("Choose a Program to Start", {"/usr/bin/env"});
      EXPECT_TRUE(editors::ChooseProgramToStart());
      EXPECT_EQ(SCH.Command.str(), "/usr/bin/env");
      EXPECT_EQ(SCH.Path.str(), "/srv") << "a start folder is kept";

      host.expectFile("Choose a Program to Start", {});
      EXPECT_FALSE(editors::ChooseProgramToStart());
      EXPECT_EQ(SCH.Command.str(), "/usr/bin/env");
      EXPECT_EQ(SCH.Path.str(), "/srv");
    });
  });
  EXPECT_EQ(rt::PATH(), folder) << "the current folder is as it was";
  EXPECT_FALSE(host.pending());
}

TEST_F(TaskForm, FrameCommandsBecomeAvailableOnceRegistered) {
  using namespace scheduler::Command;
  scheduler::registerProgramWindow("UpdateSchedule", {});
  for (int feq : {NewTask, NewMessageTask, NewProgramTask, NewScriptTask, NewEmailTask})
    EXPECT_FALSE(scheduler::CommandAvailable(feq)) << feq;
  editors::registerWindows();
  for (int feq : {NewTask, NewMessageTask, NewProgramTask, NewScriptTask, NewEmailTask})
    EXPECT_TRUE(scheduler::CommandAvailable(feq)) << feq;
}

}  // namespace
