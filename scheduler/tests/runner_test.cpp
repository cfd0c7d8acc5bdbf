// The due-task runner on a data folder: what runs, what is skipped, where the task moves on to,
// and the history copy each occurrence leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "scheduler/runner.h"
#include "scheduler/tests/data_fixture.h"
#include "scheduler/tests/test_tasks.h"

namespace ov::scheduler::testing {
namespace {

class Runner : public DataFixture {
 protected:
  void SetUp() override {
    DataFixture::SetUp();
    reminders.clear();
    programs.clear();
    sounds.clear();
    programResult = beeps = 0;
    runnerState() = RunnerState{};
    runnerFrame() = RunnerFrame{};
    files::PRODUCTNAME = "Orvane 2003";
    services().showReminder = [this](const ReminderText& r) { reminders.push_back(r); };
    services().runTaskProgram = [this](int32_t, std::string_view command, std::string_view) {
      programs.emplace_back(command);
      return programResult;
    };
    services().beep = [this] { ++beeps; };
    services().playSound = [this](std::string_view f) { sounds.emplace_back(f); };
  }
  void TearDown() override {
    runnerState() = RunnerState{};
    runnerFrame() = RunnerFrame{};
    DataFixture::TearDown();
  }
  std::vector<ReminderText> reminders;
  std::vector<std::string> programs, sounds;
  int programResult = 0;
  int beeps = 0;
};

files::ScheduleRec reminderTask(const char* type, int32_t date, int32_t time) {
  files::ScheduleRec t;
  t.TaskType = "Display Message";
  t.Description = "Water the plants";
  t.Message = "The ferns too";
  t.ScheduleType = type;
  t.Date = date;
  t.Time = time;
  return t;
}

struct RunCase {
  const char* name;
  std::function<void(files::ScheduleRec&)> setup;
  int32_t now;
  int32_t overrideSkip;
  int programResult;
  bool shown;                  // the reminder was shown
  int32_t nextDate;            // where the task stands afterwards
  const char* history;         // the history copy's description; nullptr = no copy
  const char* logLabel;        // a log line expected with this label, or nullptr
};

TEST_F(Runner, PerformsOrSkipsTheDueTaskAndKeepsItsHistory) {
  const int32_t day = ymd(2024, 3, 10), nextMonth = ymd(2024, 4, 10);
  auto none = [](files::ScheduleRec&) {};
  auto skipIfMissed = [](files::ScheduleRec& t) { t.SkipIfMissed = 1; };
  const RunCase cases[] = {
      {"due now: shown, moved on a month", none, at(10, 0, 30), 0, 0, true, nextMonth, "Water the plants", nullptr},
      {"9 minutes late, skip-if-missed: still runs", skipIfMissed, at(10, 9), 0, 0, true, nextMonth, "Water the plants", nullptr},
      {"11 minutes late, skip-if-missed: skipped", skipIfMissed, at(10, 11), 0, 0, false, nextMonth,
       "(Skipped) Water the plants", "Overdue task skipped"},
      {"late 31 s with a 30 s override: skipped", skipIfMissed, at(10, 0, 31), 3000, 0, false, nextMonth,
       "(Skipped) Water the plants", "Overdue task skipped"},
      {"an override of 500 or less changes nothing", skipIfMissed, at(10, 5), 500, 0, true, nextMonth, "Water the plants", nullptr},
      {"skip next time: nothing shown, no copy", [](files::ScheduleRec& t) { t.SkipNextTime = 1; }, at(10, 0), 0, 0, false,
       nextMonth, nullptr, nullptr},
      {"no history asked for", [](files::ScheduleRec& t) { t.NoHistory = 1; }, at(10, 0), 0, 0, true, nextMonth, nullptr, nullptr},
      {"a failing program marks the copy", [](files::ScheduleRec& t) { t.TaskType = "Both"; }, at(10, 0), 0, 5, true, nextMonth,
       "(Error 5!) Water the plants", nullptr},
      {"a 40-character description with a mark is cut to 40",
       [](files::ScheduleRec& t) {
         t.Description = "1234567890123456789012345678901234567890";
         t.SkipIfMissed = 1;
       },
       at(11, 0), 0, 0, false, nextMonth, "(Skipped) 123456789012345678901234567890", "Overdue task skipped"},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    rt::setTestClock(day, c.now);
    runnerState().OverrideSkipTimeout = c.overrideSkip;
    programResult = c.programResult;
    files::ScheduleRec t = reminderTask("Monthly", day, at(10, 0));
    c.setup(t);
    const int32_t id = addTask(t);

    FindNextTask();

    EXPECT_EQ(reminders.size(), c.shown ? 1u : 0u);
    const files::ScheduleRec stored = storedTask(id);
    EXPECT_EQ(moment(stored.Date, stored.Time), moment(c.nextDate, at(10, 0)));
    EXPECT_EQ(stored.SkipNextTime, 0) << "a skip covers one occurrence";
    EXPECT_EQ(stored.LastRunDate, day);
    std::vector<files::ScheduleRec> copies;
    for (const files::ScheduleRec& r : storedTasks())
      if (r.ID != id) copies.push_back(r);
    if (c.history == nullptr) {
      EXPECT_TRUE(copies.empty());
    } else if (copies.size() == 1) {
      EXPECT_EQ(copies[0].Description.str(), c.history);
      EXPECT_EQ(moment(copies[0].Date, copies[0].Time), moment(day, at(10, 0)));
      EXPECT_TRUE(copies[0].Completed && copies[0].Disabled);
      EXPECT_EQ(copies[0].Skipped, std::string(c.history).front() == '(' ? 1 : 0);
    } else {
      ADD_FAILURE() << copies.size() << " history copies";
    }
    bool logged = false;
    for (const auto& [label, text] : logLines()) logged |= c.logLabel && label == c.logLabel;
    EXPECT_EQ(logged, c.logLabel != nullptr);
    EXPECT_EQ(runnerState().NextCheckDate, 0) << "after a task the next tick looks again";
    EXPECT_EQ(runnerState().RefreshPending, 1);
  }
}

TEST_F(Runner, OnceTaskWhoseProgramIsMissingEndsCompletedAndMarked) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  files::ScheduleRec t = reminderTask("Once", ymd(2024, 3, 10), at(10, 0));
  t.TaskType = "Run Program";
  t.Command = "nothere.exe";
  const int32_t id = addTask(t);
  programResult = 2;
  FindNextTask();
  EXPECT_EQ(programs, std::vector<std::string>{"nothere.exe"});
  const files::ScheduleRec stored = storedTask(id);
  EXPECT_TRUE(stored.Completed && stored.Disabled);
  EXPECT_EQ(stored.Description.str(), "(File not found!) Water the plants");
  EXPECT_EQ(storedTasks().size(), 1u) << "a completed task is its own history";
}

TEST_F(Runner, NotYetDueOrEmptyScheduleSetsTheNextLookUp) {
  rt::setTestClock(ymd(2024, 3, 10), at(9, 59));
  FindNextTask();
  EXPECT_EQ(runnerState().nextTaskText, "No tasks pending");
  EXPECT_EQ(moment(runnerState().NextCheckDate, runnerState().NextCheckTime), moment(ymd(2024, 3, 10), at(10, 0)));

  addTask(reminderTask("Monthly", ymd(2024, 3, 10), at(10, 30)));
  FindNextTask();
  EXPECT_TRUE(reminders.empty());
  EXPECT_EQ(runnerState().nextTaskText, "Next: Water the plants");
  EXPECT_EQ(moment(runnerState().NextCheckDate, runnerState().NextCheckTime), moment(ymd(2024, 3, 10), at(10, 30)));
  EXPECT_EQ(runnerState().RefreshPending, 0);
}

TEST_F(Runner, AlarmBeepsOrPlaysItsFile) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  files::ScheduleRec t = reminderTask("Monthly", ymd(2024, 3, 10), at(10, 0));
  t.Alarm = 1;
  t.AlarmFile = "beep";
  addTask(t);
  t.AlarmFile = "/tmp/chime.wav";
  t.Date = ymd(2024, 3, 9);
  addTask(t);
  FindNextTask();
  FindNextTask();
  EXPECT_EQ(sounds, std::vector<std::string>{"/tmp/chime.wav"});
  EXPECT_EQ(beeps, 1);
  ASSERT_EQ(reminders.size(), 2u);
  EXPECT_EQ(reminders[0].sound, "/tmp/chime.wav");
  EXPECT_EQ(reminders[1].sound, "beep");
}

TEST_F(Runner, OutsideMessageProgramAbsentShowsTheReminderItself) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  files::MSG.USEEXTERNAL = 1;
  files::MSG.USEMODAL = 1;
  addTask(reminderTask("Monthly", ymd(2024, 3, 10), at(10, 0)));
  FindNextTask();
  ASSERT_EQ(reminders.size(), 1u);
  EXPECT_EQ(reminders[0].title, "Water the plants");
  EXPECT_FALSE(reminders[0].modal) << "the outside program's stand-in is a message thread";
}

TEST_F(Runner, TaskSkippedWhileAScriptRuns) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  runnerFrame().queuedScripts = [] { return 3; };
  files::ScheduleRec t = reminderTask("Monthly", ymd(2024, 3, 10), at(10, 0));
  t.SkipIfScriptActive = 1;
  addTask(t);
  FindNextTask();
  EXPECT_TRUE(reminders.empty());
  bool logged = false;
  for (const auto& [label, text] : logLines()) logged |= label == "Task skipped during script" && text == "Water the plants";
  EXPECT_TRUE(logged);
}

struct NightTask {
  std::string description;  // also what tells its runs apart
  const char* kind;         // "30 min", "daily", "once"
  int dayOffset, hour, minute;
  bool skipIfMissed;
  std::vector<std::string> runs;  // local clock readings of its runs, in order
  bool skippedOverdue = false;
};

TEST_F(Runner, DailyTaskBeforeAHolidayWithPreviousDayRunsOnceAndLogsTheShiftThatPassed) {
  // 25 December 2024 is a holiday; the copy for it would go on the 24th at 09:00, the moment of
  // the run that moves the task on: it would run a second time at once.
  const int32_t eve = ymd(2024, 12, 24);
  addHoliday(ymd(2024, 12, 25));
  rt::setTestClock(eve, at(9, 0, 20));
  files::ScheduleRec t = reminderTask("Custom", eve, at(9, 0));
  t.Every = 1;
  t.EveryType = "day(s)";
  t.ExceptHolidays = 1;
  t.ShiftType = "Previous day";
  t.NoHistory = 1;
  const int32_t id = addTask(t);
  FindNextTask();
  FindNextTask();
  EXPECT_EQ(reminders.size(), 1u);
  EXPECT_EQ(storedTasks().size(), 1u) << "no copy";
  const files::ScheduleRec stored = storedTask(id);
  EXPECT_EQ(stored.Date, ymd(2024, 12, 25));
  EXPECT_EQ(stored.SkipNextTime, 1);
  bool logged = false;
  for (const auto& [label, text] : logLines()) logged |= label == "Shifted task passed";
  EXPECT_TRUE(logged);
}

// The nights the local clock is put forward and back (Europe/Berlin, 2027): the test clock shows
// what the local clock shows, minute by minute of real time, and the runner looks on every tick.
class RunnerOverClockChange : public Runner {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) m_savedTz = tz;
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    Runner::SetUp();
  }
  void TearDown() override {
    Runner::TearDown();
    if (m_savedTz)
      setenv("TZ", m_savedTz->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  void runNight(int32_t day, int64_t fromUtc, int64_t toUtc, const std::vector<NightTask>& tasks);
  std::optional<std::string> m_savedTz;
};

// Runs the night from `fromUtc` to `toUtc` (seconds since the epoch) over the tasks of `day`.
void RunnerOverClockChange::runNight(int32_t day, int64_t fromUtc, int64_t toUtc, const std::vector<NightTask>& tasks) {
  for (const NightTask& n : tasks) {
    const std::string kind = n.kind;
    files::ScheduleRec t = reminderTask(kind == "once" ? "Once" : "Custom", day + n.dayOffset, at(n.hour, n.minute));
    t.Description = n.description;
    t.Every = kind == "30 min" ? 30 : 1;
    t.EveryType = kind == "30 min" ? "minute(s)" : "day(s)";
    t.SkipIfMissed = n.skipIfMissed;
    t.NoHistory = 1;
    EXPECT_NE(addTask(t), 0);
  }
  std::map<std::string, std::vector<std::string>> runs;
  services().showReminder = [&runs](const ReminderText& r) {
    const int32_t cs = rt::CLOCK() - 1;
    char hhmm[8];
    std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", cs / 360000, cs / 6000 % 60);
    runs[r.title].push_back(hhmm);
  };
  for (int64_t s = fromUtc; s <= toUtc; s += 60) {
    int32_t date = 0, time = 0;
    rt::fromUnixTime(s, date, time);
    rt::setTestClock(date, time);
    for (int i = 0; i < 50; ++i) {  // a tick after a performed task comes at once
      const int before = runnerState().RefreshPending;
      FindNextTask();
      if (runnerState().RefreshPending == before) break;
    }
  }
  std::vector<std::string> overdue;
  for (const auto& [label, text] : logLines())
    if (label == "Overdue task skipped") overdue.push_back(text);
  for (const NightTask& n : tasks) {
    SCOPED_TRACE(n.description);
    EXPECT_EQ(runs[n.description], n.runs);
    EXPECT_EQ(std::count(overdue.begin(), overdue.end(), n.description), n.skippedOverdue ? 1 : 0);
  }
}

int64_t utc(int y, int mo, int d, int h) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  return int64_t(timegm(&tm));
}

// Each task in both forms: without and with skip-if-missed, which must not see an hour's lateness
// in a jump of the clock.
std::vector<NightTask> bothWays(std::vector<NightTask> tasks) {
  std::vector<NightTask> out;
  for (NightTask t : tasks) {
    out.push_back(t);
    if (t.skippedOverdue) continue;
    t.skipIfMissed = true;
    t.description += " skip";
    out.push_back(t);
  }
  return out;
}

TEST_F(RunnerOverClockChange, SpringForwardRunsEachOccurrenceOnceAndSkipsNoneForTheJump) {
  // 28 March 2027: at 02:00 the clock shows 03:00 (01:00 UTC). From 00:00 to 05:00 local, both included.
  const int32_t day = ymd(2027, 3, 28);
  runNight(day, utc(2027, 3, 27, 23), utc(2027, 3, 28, 3),
           bothWays({
               {"daily 01:30", "daily", 0, 1, 30, false, {"01:30"}},
               {"daily 01:59", "daily", 0, 1, 59, false, {"01:59"}},
               {"daily 02:00 (missing)", "daily", 0, 2, 0, false, {"03:00"}},
               {"daily 02:30 (missing)", "daily", 0, 2, 30, false, {"03:00"}},
               {"daily 03:00", "daily", 0, 3, 0, false, {"03:00"}},
               {"daily 03:30", "daily", 0, 3, 30, false, {"03:30"}},
               {"once 02:30 (missing)", "once", 0, 2, 30, false, {"03:00"}},
               {"once 03:05", "once", 0, 3, 5, false, {"03:05"}},
               // 02:00 and 02:30 are not shown by the clock: their run is the one at 03:00.
               {"30 min from 01:00", "30 min", 0, 1, 0, false, {"01:00", "01:30", "03:00", "03:30", "04:00", "04:30", "05:00"}},
               {"30 min from 02:30", "30 min", 0, 2, 30, false, {"03:00", "03:30", "04:00", "04:30", "05:00"}},
               {"once the evening before", "once", -1, 23, 0, true, {}, true},
           }));
}

TEST_F(RunnerOverClockChange, FallBackRunsEachOccurrenceOnceNotAgainInTheRepeatedHour) {
  // 31 October 2027: at 03:00 the clock shows 02:00 again (01:00 UTC). From 00:00 to 05:00 local, both
  // included.
  const int32_t day = ymd(2027, 10, 31);
  runNight(day, utc(2027, 10, 30, 22), utc(2027, 10, 31, 4),
           bothWays({
               {"daily 01:30", "daily", 0, 1, 30, false, {"01:30"}},
               {"daily 02:00 (repeated)", "daily", 0, 2, 0, false, {"02:00"}},
               {"daily 02:30 (repeated)", "daily", 0, 2, 30, false, {"02:30"}},
               {"daily 02:59 (repeated)", "daily", 0, 2, 59, false, {"02:59"}},
               {"daily 03:00", "daily", 0, 3, 0, false, {"03:00"}},
               {"once 02:30 (repeated)", "once", 0, 2, 30, false, {"02:30"}},
               {"30 min from 01:00", "30 min", 0, 1, 0, false,
                {"01:00", "01:30", "02:00", "02:30", "03:00", "03:30", "04:00", "04:30", "05:00"}},
               {"30 min from 02:30", "30 min", 0, 2, 30, false, {"02:30", "03:00", "03:30", "04:00", "04:30", "05:00"}},
               {"once the evening before", "once", -1, 23, 0, true, {}, true},
           }));
}

}  // namespace
}  // namespace ov::scheduler::testing
