#include "scheduler/task_items.h"

#include <gtest/gtest.h>

#include "scheduler/tests/data_fixture.h"
#include "scheduler/tests/test_tasks.h"

using namespace ov;
using namespace ov::scheduler;
using namespace ov::scheduler::testing;
using files::SCH;

namespace {

struct TaskItems : DataFixture {
  void SetUp() override {
    DataFixture::SetUp();
    rt::setTestClock(ymd(2024, 3, 10), at(23, 30));
  }
  int32_t addReminder(int32_t date, int32_t time, const char* description) {
    ScheduleRecord t = custom(1, "day(s)", date, time);
    t.ID = 0;
    t.TaskType = "Display Message";
    t.Description = description;
    t.Message = "Water the plants";
    return addTask(t);
  }
};

}  // namespace

TEST_F(TaskItems, EnablingACompletedTaskSkipsItsStaleOccurrence) {
  ScheduleRecord t = custom(1, "day(s)", ymd(2024, 3, 1), at(10, 0));
  t.ID = 0;
  t.Disabled = 1;
  t.Completed = 1;
  t.AdvanceWarnDate = ymd(2024, 2, 28);
  t.AdvanceWarnTime = at(10, 0);
  const int32_t id = addTask(t);
  SCH.ID = id;
  ToggleTaskEnabled();
  files::ScheduleRec stored = storedTask(id);
  EXPECT_EQ(stored.Disabled, 0);
  EXPECT_EQ(stored.Completed, 0);
  EXPECT_EQ(stored.SkipNextTime, 1);
  EXPECT_EQ(stored.AdvanceWarned, 1) << "no stale advance warning";
  EXPECT_EQ(posted, (std::vector<std::pair<int, int>>{{3394, 1}}));

  SCH.ID = id;
  ToggleTaskEnabled();
  EXPECT_EQ(storedTask(id).Disabled, 1);
  SCH.ID = id;
  ToggleSkipNextOccurrence();
  EXPECT_EQ(storedTask(id).SkipNextTime, 0);
}

TEST_F(TaskItems, SnoozeAddsAOneTimeCopyWithTheScript) {
  const int32_t id = addReminder(ymd(2024, 3, 10), at(23, 0), "Plants");
  addScriptItems(id, 2);
  SCH = storedTask(id);
  SCH.SkipNextTime = 1;
  host.popupAnswers = {"1 hour"};
  const int32_t copy = SnoozeTask();
  ASSERT_NE(copy, 0);
  ASSERT_EQ(host.popups.size(), 1u);
  EXPECT_EQ(host.popups[0], (std::vector<std::string>{"5 minutes", "10 minutes", "30 minutes", "1 hour", "2 hours",
                                                      "3 hours", "-", "Cancel"}));
  const files::ScheduleRec c = storedTask(copy);
  EXPECT_EQ(moment(c.Date, c.Time), moment(ymd(2024, 3, 11), at(0, 30, 1)));
  EXPECT_EQ(c.ScheduleType.str(), "Once");
  EXPECT_EQ(c.SkipNextTime, 0) << "a snooze is never skipped";
  EXPECT_EQ(c.Description.str(), "Plants");
  EXPECT_EQ(scriptItemCount(copy), 2);
  EXPECT_EQ(storedTask(id).ScheduleType.str(), "Custom") << "the snoozed task is not changed";
  EXPECT_EQ(SCH.ID, id) << "the buffer still holds the task";

  host.popupAnswers = {"Cancel"};
  EXPECT_EQ(SnoozeTask(), 0);
  EXPECT_EQ(SnoozeTask(), 0) << "nothing chosen";
  EXPECT_EQ(storedTasks().size(), 2u);
}

TEST_F(TaskItems, RunNowSoundsShowsAndStarts) {
  std::vector<std::string> did;
  services().beep = [&] { did.push_back("beep"); };
  services().playSound = [&](std::string_view f) { did.push_back("play " + std::string(f)); };
  services().showReminder = [&](const ReminderText& r) { did.push_back("show " + r.title + ": " + r.message); };
  services().runTaskProgram = [&](int32_t task, std::string_view command, std::string_view path) {
    did.push_back("run " + std::to_string(task) + " " + std::string(command) + " in " + std::string(path));
    return 0;
  };
  services().expandVariables = [](std::string_view s) { return "<" + std::string(s) + ">"; };
  SCH = task("Day of Week", ymd(2024, 3, 10), at(10, 0));
  SCH.ID = 9;
  SCH.TaskType = "Both";
  SCH.Alarm = 1;
  SCH.AlarmFile = "beep";
  SCH.Description = "Backup";
  SCH.Message = "Starting";
  SCH.Command = "backup.sh";
  SCH.Path = "/srv";
  RunTaskNow();
  EXPECT_EQ(did, (std::vector<std::string>{"beep", "show <Backup>: <Starting>", "run 9 backup.sh in /srv"}));
  EXPECT_EQ(SCH.Date, ymd(2024, 3, 10));

  did.clear();
  SCH.TaskType = "Run Program";
  SCH.AlarmFile = "/sounds/ding.wav";
  RunTaskNow();
  EXPECT_EQ(did, (std::vector<std::string>{"play /sounds/ding.wav", "run 9 backup.sh in /srv"}));
}

TEST_F(TaskItems, RunNowOfAScriptTaskWithoutItsScriptSaysWhy) {
  std::vector<int32_t> ran;
  services().runTaskProgram = [&](int32_t task, std::string_view, std::string_view) {
    ran.push_back(task);
    return 0;
  };
  struct Case {
    const char* name;
    uint8_t completed;
    int items;
    const char* says;  // nullptr: it runs, silently
  };
  const Case kCases[] = {
      {"finished one-time task, script removed", 1, 0, "its script was removed when it was completed"},
      {"finished one-time task, script kept", 1, 2, nullptr},
      {"never had a script", 0, 0, "no program to run and no script items"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ran.clear();
    host.messages.clear();
    ScheduleRecord t = task("Once", ymd(2024, 3, 1), at(10, 0));
    t.ID = 0;
    t.TaskType = "Run Program";
    t.Command = "N/A";
    t.Completed = c.completed;
    t.Disabled = c.completed;
    const int32_t id = addTask(t);
    if (c.items > 0) addScriptItems(id, c.items);
    SCH = storedTask(id);
    RunTaskNow();
    if (c.says) {
      EXPECT_TRUE(ran.empty());
      ASSERT_EQ(host.messages.size(), 1u);
      EXPECT_NE(host.messages[0].text.find(c.says), std::string::npos) << host.messages[0].text;
    } else {
      EXPECT_EQ(ran, std::vector<int32_t>{id});
      EXPECT_TRUE(host.messages.empty());
    }
  }
}

TEST_F(TaskItems, MissingMessageProgramFallsBackToTheOwnDisplay) {
  files::MSG.USEEXTERNAL = 1;
  int shown = 0;
  services().showReminder = [&](const ReminderText& r) {
    ++shown;
    EXPECT_FALSE(r.modal);
  };
  std::string line;
  services().runNoWait = [&](std::string_view l) {
    line = l;
    return 2;  // not found
  };
  files::EXEPATH = "/opt/orvane";
  SCH = task("Once", ymd(2024, 3, 10), at(10, 0));
  SCH.Description = "Call";
  SCH.Message = "Call the bank";
  ShowTaskMessage();
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(line, "/opt/orvane/OVMSG.EXE ID=1") << "the program is looked for in the program's folder";
  ASSERT_EQ(files::Access_MSGLINK.Open(), rt::Err::None);
  EXPECT_EQ(files::MSGLINK.records(), 1) << "the message was handed over first";
  (void)files::Access_MSGLINK.Close();
  ASSERT_EQ(logLines().size(), 1u);
  EXPECT_EQ(logLines()[0].second, "Call  /External");
}

TEST_F(TaskItems, CheckScheduleLink) {
  SCH.ID = 12;
  EXPECT_TRUE(CheckScheduleLink("contact", 5));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(CheckScheduleLink("contact", 0));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Unable to attach contact to scheduled item.  Schedule ID is 12.");
  EXPECT_EQ(host.messages[0].title, "Internal Error");
}

TEST_F(TaskItems, AdvanceWarnings) {
  // Now is 10 March 2024 23:30.
  struct Row {
    const char* name;
    int32_t warnDate, warnTime;
    bool disabled, completed, skip;
    bool wantNotice;
  };
  const Row rows[] = {
      {"due warning", ymd(2024, 3, 10), at(23, 0), false, false, false, true},
      {"no warning asked for", 0, 0, false, false, false, false},
      {"disabled task", ymd(2024, 3, 10), at(22, 0), true, false, false, false},
      {"completed task", ymd(2024, 3, 10), at(22, 0), false, true, false, false},
      {"skipping task", ymd(2024, 3, 10), at(22, 0), false, false, true, false},
      {"warning to come", ymd(2024, 3, 11), at(8, 0), false, false, false, false},
  };
  for (const Row& row : rows) {
    ScheduleRecord t = custom(1, "day(s)", ymd(2024, 3, 12), at(9, 0));
    t.ID = 0;
    t.TaskType = "Display Message";
    t.Description = row.name;
    t.Message = "Bring the slides";
    t.AdvanceWarnDate = row.warnDate;
    t.AdvanceWarnTime = row.warnTime;
    t.Disabled = row.disabled;
    t.Completed = row.completed;
    t.SkipNextTime = row.skip;
    addTask(t);
  }
  CheckAdvanceWarnings();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "Advanced Warning: due warning");
  EXPECT_EQ(host.messages[0].text, "MAR 12,2024  9:00AM\r\n\r\nBring the slides");
  // In the order of the warning moments: 22:00 before 23:00.
  EXPECT_EQ(logLines(), (std::vector<std::pair<std::string, std::string>>{
                            {"Advanced Warning", "Skipped:  skipping task"}, {"Advanced Warning", "due warning"}}));
  const std::vector<files::ScheduleRec> stored = storedTasks();
  for (size_t i = 0; i < stored.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(stored[i].AdvanceWarned, i + 1 < stored.size() ? 1 : 0);
  }
  int32_t date = 0, time = 0;
  nextAdvanceWarning(date, time);
  EXPECT_EQ(moment(date, time), moment(ymd(2024, 3, 11), at(8, 0)));

  CheckAdvanceWarnings();
  EXPECT_EQ(host.messages.size(), 1u) << "each warning is given once";
}

TEST_F(TaskItems, NextAdvanceWarningIsTheEarliestToCome) {
  // Now is 10 March 2024 23:30. A warning that is due clears the kept moment; of the two to
  // come, the later one is stored first.
  for (int32_t warnDate : {ymd(2024, 3, 10), ymd(2024, 3, 13), ymd(2024, 3, 12)}) {
    ScheduleRecord t = custom(1, "day(s)", ymd(2024, 3, 14), at(9, 0));
    t.ID = 0;
    t.TaskType = "Display Message";
    t.Description = "warned on " + std::to_string(warnDate);
    t.AdvanceWarnDate = warnDate;
    t.AdvanceWarnTime = at(8, 0);
    addTask(t);
  }
  CheckAdvanceWarnings();
  EXPECT_EQ(host.messages.size(), 1u);
  int32_t date = 0, time = 0;
  nextAdvanceWarning(date, time);
  EXPECT_EQ(moment(date, time), moment(ymd(2024, 3, 12), at(8, 0)));
  const std::vector<files::ScheduleRec> stored = storedTasks();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0].AdvanceWarned, 1);
  EXPECT_EQ(stored[1].AdvanceWarned, 0);
  EXPECT_EQ(stored[2].AdvanceWarned, 0);
}
