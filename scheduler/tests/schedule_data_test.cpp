// The exception rules and rescheduling on the data files.
#include "scheduler/schedule_data.h"

#include <gtest/gtest.h>

#include "scheduler/occurrence.h"
#include "scheduler/reschedule.h"
#include "scheduler/tests/data_fixture.h"
#include "scheduler/tests/test_tasks.h"

using namespace ov;
using namespace ov::scheduler;
using namespace ov::scheduler::testing;
using files::SCH;

namespace {

using ScheduleData = DataFixture;

const int32_t kXmas = ymd(2023, 12, 25), kNewYear = ymd(2024, 1, 1);

}  // namespace

TEST_F(ScheduleData, RunnerPassKeepsBothShiftedCopiesOfAWeeklyMondayTask) {
  // The runner's steps on the SCHEDULE buffer: read the task, move it on, apply the exceptions
  // and store it. Holidays on Monday 25 December and Monday 1 January; "Next day".
  addHoliday(kXmas);
  addHoliday(kNewYear);
  ScheduleRecord weekly = custom(1, "week(s)", ymd(2023, 12, 18), at(9, 0));
  weekly.ID = 0;
  weekly.ExceptHolidays = 1;
  weekly.ShiftType = "Next day";
  weekly.TaskType = "Run Program";
  const int32_t id = addTask(weekly);
  addScriptItems(id, 2);

  ASSERT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
  for (int32_t runAt : {ymd(2023, 12, 18), kXmas}) {
    rt::setTestClock(runAt, at(9, 0));
    SCH.ID = id;
    ASSERT_EQ(files::Access_SCHEDULE.Fetch(files::SCH_KeyID), rt::Err::None);
    ASSERT_EQ(SCH.Date, runAt);
    NextOccurrence(runAt, at(9, 0));
    SCH.SkipNextTime = 0;
    ApplyExceptions();
    ASSERT_EQ(files::Access_SCHEDULE.Update(), rt::Err::None) << "the task itself is updated, not a copy";
  }
  (void)files::Access_SCHEDULE.Close();

  const std::vector<files::ScheduleRec> tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 3u);
  EXPECT_EQ(tasks[0].Date, kNewYear);
  EXPECT_EQ(tasks[0].SkipNextTime, 1);
  EXPECT_EQ(tasks[0].ExceptionLink, tasks[2].ID);
  for (size_t i : {1u, 2u}) {
    EXPECT_EQ(tasks[i].ScheduleType.str(), "Once");
    EXPECT_EQ(tasks[i].Time, at(9, 0));
    EXPECT_EQ(scriptItemCount(tasks[i].ID), 2) << "a copy runs its task's script";
  }
  EXPECT_EQ(tasks[1].Date, ymd(2023, 12, 26));
  EXPECT_EQ(tasks[2].Date, ymd(2024, 1, 2));
}

TEST_F(ScheduleData, PrepareTaskRecordReplacesThePendingCopyWithItsScript) {
  addHoliday(kXmas);
  ScheduleRecord weekly = custom(1, "week(s)", kXmas, at(9, 0));
  weekly.ID = 0;
  weekly.ExceptHolidays = 1;
  weekly.ShiftType = "Next day";
  const int32_t id = addTask(weekly);
  addScriptItems(id, 3);
  rt::setTestClock(ymd(2023, 12, 20), at(12, 0));
  SCH = storedTask(id);
  PrepareTaskRecord();
  const int32_t firstCopy = SCH.ExceptionLink;
  ASSERT_NE(firstCopy, 0);
  updateTask(SCH);
  PrepareTaskRecord();  // stored again from the form
  EXPECT_EQ(scriptItemCount(id), 3);
  EXPECT_EQ(storedTasks().size(), 2u);
  EXPECT_EQ(scriptItemCount(SCH.ExceptionLink), 3);
  EXPECT_EQ(SCH.OriginalID, id);
}

TEST_F(ScheduleData, DeleteAndCopyScriptItems) {
  addScriptItems(1, 3);
  addScriptItems(2, 2);
  addScriptItems(3, 1);
  EXPECT_EQ(copyScriptItems(1, 2), rt::Err::None);
  EXPECT_EQ(scriptItemCount(2), 3) << "the target's own items are replaced";
  EXPECT_EQ(scriptItemCount(1), 3);
  EXPECT_EQ(copyScriptItems(3, 3), rt::Err::None);
  EXPECT_EQ(scriptItemCount(3), 0) << "a task copied onto itself is left without items";
  EXPECT_EQ(deleteScriptItems(1), rt::Err::None);
  EXPECT_EQ(scriptItemCount(1), 0);
  EXPECT_EQ(scriptItemCount(2), 3);
}

TEST_F(ScheduleData, RescheduleAllTasks) {
  // Wednesday 10 January 2024; the moment is Thursday 11 January 09:00.
  rt::setTestClock(ymd(2024, 1, 10), at(12, 0));
  struct Row {
    const char* name;
    ScheduleRecord task;
    int32_t wantDate, wantTime;
  };
  ScheduleRecord hotKey = custom(1, "day(s)", ymd(2024, 2, 1), at(10, 0));
  hotKey.TaskType = "Hot Key";
  ScheduleRecord completed = custom(1, "day(s)", ymd(2024, 2, 1), at(10, 0));
  completed.Completed = 1;
  const Row rows[] = {
      {"weekly task due in three weeks", dayOfWeek("-M-----", ymd(2024, 1, 29), at(10, 0)), ymd(2024, 1, 15), at(10, 0)},
      {"daily task overdue by a month", custom(1, "day(s)", ymd(2023, 12, 10), at(10, 0)), ymd(2024, 1, 11), at(10, 0)},
      {"a hot-key task is not touched", hotKey, ymd(2024, 2, 1), at(10, 0)},
      {"a completed task is not touched", completed, ymd(2024, 2, 1), at(10, 0)},
      {"a task without a time is not touched", custom(1, "day(s)", ymd(2024, 2, 1), 0), ymd(2024, 2, 1), 0},
      {"a pending one-time task stays pending", task("Once", ymd(2024, 3, 1), at(10, 0)), ymd(2024, 3, 1), at(10, 0)},
      {"too many backward steps: left as it was", custom(1, "minute(s)", ymd(2025, 1, 1), at(9, 0)), ymd(2025, 1, 1),
       at(9, 0)},
      {"the pass goes on after it", custom(2, "day(s)", ymd(2024, 1, 21), at(8, 0)), ymd(2024, 1, 13), at(8, 0)},
  };
  for (const Row& row : rows) {
    ScheduleRecord t = row.task;
    t.ID = 0;
    addTask(t);
  }
  std::vector<int> percents;
  ASSERT_EQ(RescheduleAllTasks(ymd(2024, 1, 11), at(9, 0), [&](int p) { percents.push_back(p); }), rt::Err::None);
  const std::vector<files::ScheduleRec> stored = storedTasks();
  ASSERT_EQ(stored.size(), std::size(rows));
  for (size_t i = 0; i < stored.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(moment(stored[i].Date, stored[i].Time), moment(rows[i].wantDate, rows[i].wantTime));
    EXPECT_EQ(stored[i].Completed, rows[i].task.Completed);
  }
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.front(), 0);
  EXPECT_EQ(percents.back(), 100);
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, "Debug Previous");
  EXPECT_EQ(lines[0].second.rfind("Failed on Custom(minute(s),", 0), 0u);
}

TEST_F(ScheduleData, RescheduleMomentOfTheWindow) {
  forgetRescheduleMoment();
  rt::setTestClock(ymd(2024, 1, 10), at(23, 59));
  int32_t date = 0, time = 0;
  rescheduleMomentOffered(date, time);
  EXPECT_EQ(moment(date, time), moment(ymd(2024, 1, 11), at(0, 1))) << "now plus two minutes, into the next day";
  EXPECT_FALSE(acceptRescheduleMoment(ymd(2024, 1, 10), at(23, 59, 59)));
  EXPECT_FALSE(acceptRescheduleMoment(ymd(2024, 1, 9), at(23, 0)));
  EXPECT_TRUE(acceptRescheduleMoment(ymd(2024, 1, 11), at(0, 0, 30)));
  rescheduleMomentOffered(date, time);
  EXPECT_EQ(moment(date, time), moment(ymd(2024, 1, 11), at(0, 1))) << "a chosen moment too soon gives way";
  EXPECT_TRUE(acceptRescheduleMoment(ymd(2024, 2, 1), at(8, 0)));
  rescheduleMomentOffered(date, time);
  EXPECT_EQ(moment(date, time), moment(ymd(2024, 2, 1), at(8, 0))) << "the chosen moment is offered again";
}

TEST_F(ScheduleData, RescheduleWindowAcceptsItsOwnOfferAMinuteLater) {
  // The window shows the time to the minute and reads back what it shows; the user takes a
  // minute to press OK.
  struct Row {
    const char* name;
    int32_t now;
    int32_t wantDate, wantTime;
  };
  const int32_t day = ymd(2024, 1, 10);
  const Row rows[] = {
      {"on a whole minute", at(9, 0), day, at(9, 2)},
      {"a second past it", at(9, 0, 1), day, at(9, 3)},
      {"half a minute past it", at(9, 0, 30), day, at(9, 3)},
      {"the last centisecond of a minute", at(9, 0, 59, 99), day, at(9, 3)},
      {"past 23:58: the next day", at(23, 58, 30), day + 1, at(0, 1)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    forgetRescheduleMoment();
    rt::setTestClock(day, row.now);
    int32_t date = 0, time = 0;
    rescheduleMomentOffered(date, time);
    EXPECT_EQ(moment(date, time), moment(row.wantDate, row.wantTime));
    const int32_t shown = (time - 1) / 6000 * 6000 + 1;  // to the minute
    rt::advanceTestClock(6000);
    EXPECT_TRUE(acceptRescheduleMoment(date, shown)) << "a minute after the window opened";
  }
}
