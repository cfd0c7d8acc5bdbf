#include "scheduler/exceptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "scheduler/tests/recording_host.h"
#include "scheduler/occurrence.h"
#include "scheduler/tests/memory_store.h"
#include "scheduler/tests/test_tasks.h"

using namespace ov;
using namespace ov::scheduler;
using namespace ov::scheduler::testing;

namespace {

ScheduleRecord withWindow(ScheduleRecord t, int32_t begin, int32_t end) {
  t.ExceptTime = 1;
  t.ExceptTimeBegin = begin;
  t.ExceptTimeEnd = end;
  return t;
}

// 25 December 2023 and 1 January 2024 are Mondays; 23 and 24 December 2023 a weekend.
const int32_t kXmas = ymd(2023, 12, 25), kNewYear = ymd(2024, 1, 1);

}  // namespace

TEST(ExceptionTest, WindowsAndDays) {
  struct Row {
    const char* name;
    ScheduleRecord task;
    int want;
  };
  auto daily = [](int32_t date, int32_t time) { return custom(1, "day(s)", date, time); };
  auto weekends = [&](int32_t date) {
    ScheduleRecord t = daily(date, at(10, 0));
    t.ExceptWeekends = 1;
    return t;
  };
  auto holidays = [&](int32_t date) {
    ScheduleRecord t = daily(date, at(10, 0));
    t.ExceptHolidays = 1;
    return t;
  };
  auto other = [&](int32_t date, const char* days) {
    ScheduleRecord t = daily(date, at(10, 0));
    t.ExceptOther = days;
    return t;
  };
  const int32_t tuesday = ymd(2024, 1, 2);
  const Row rows[] = {
      {"22:00-06:00: 23:00 is inside", withWindow(daily(tuesday, at(23, 0)), at(22, 0), at(6, 0)), 1},
      {"22:00-06:00: 05:00 is inside", withWindow(daily(tuesday, at(5, 0)), at(22, 0), at(6, 0)), 1},
      {"22:00-06:00: 12:00 is outside", withWindow(daily(tuesday, at(12, 0)), at(22, 0), at(6, 0)), 0},
      {"22:00-06:00: 22:00 itself is outside", withWindow(daily(tuesday, at(22, 0)), at(22, 0), at(6, 0)), 0},
      {"22:00-06:00: 06:00 itself is outside", withWindow(daily(tuesday, at(6, 0)), at(22, 0), at(6, 0)), 0},
      {"09:00-17:00: 09:00 is inside", withWindow(daily(tuesday, at(9, 0)), at(9, 0), at(17, 0)), 1},
      {"09:00-17:00: 17:00 is inside", withWindow(daily(tuesday, at(17, 0)), at(9, 0), at(17, 0)), 1},
      {"end 0 is the end of the day", withWindow(daily(tuesday, at(23, 59, 59, 99)), at(20, 0), 0), 1},
      {"weekend: Saturday", weekends(ymd(2023, 12, 23)), 2},
      {"weekend: Monday", weekends(kXmas), 0},
      {"holiday on the date", holidays(kXmas), 2},
      {"holiday elsewhere", holidays(tuesday), 0},
      {"Y at Tuesday's place (the third)", other(tuesday, "--Y----"), 2},
      {"Y elsewhere", other(tuesday, "-Y-Y---"), 0},
      {"time and day together", withWindow(weekends(ymd(2023, 12, 23)), at(9, 0), at(11, 0)), 3},
  };
  MemoryStore store;
  store.holidays = {kXmas};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScheduleRecord t = row.task;
    EXPECT_EQ(exceptionTest(t, store), row.want);
  }
}

TEST(ExceptionTest, StoresWhatItNormalises) {
  MemoryStore store;
  ScheduleRecord weekly = withWindow(dayOfWeek("-M-----", kXmas, at(10, 0)), at(9, 0), at(11, 0));
  weekly.ExceptWeekends = weekly.ExceptHolidays = 1;
  weekly.ExceptOther = "YYYYYYY";
  EXPECT_EQ(exceptionTest(weekly, store), 0) << "Day of Week tasks have no exceptions";
  EXPECT_FALSE(weekly.ExceptTime || weekly.ExceptWeekends || weekly.ExceptHolidays || weekly.ExceptTimeBegin ||
               weekly.ExceptTimeEnd || !weekly.ExceptOther.isBlank());

  ScheduleRecord endless = withWindow(custom(1, "day(s)", kXmas, at(10, 0)), at(20, 0), 0);
  exceptionTest(endless, store);
  EXPECT_EQ(endless.ExceptTimeEnd, 8640000);

  ScheduleRecord both = custom(1, "day(s)", kXmas, at(10, 0));
  both.ExceptWeekends = both.ExceptWeekdays = 1;
  EXPECT_EQ(exceptionTest(both, store), 0) << "weekends win: a Monday is no longer excluded";
  EXPECT_EQ(both.ExceptWeekdays, 0);
}

TEST(ApplyExceptions, TimeWindow) {
  struct Row {
    const char* name;
    ScheduleRecord task;
    int32_t wantDate, wantTime;
    bool wantSkip;
  };
  const int32_t d = ymd(2024, 1, 2);
  const Row rows[] = {
      {"every 30 minutes steps out of 08:00-12:00", withWindow(custom(30, "minute(s)", d, at(9, 0)), at(8, 0), at(12, 0)),
       d, at(12, 30), false},
      {"every minute in 09:00-17:00: one centisecond after 17:00 (the end is inside)",
       withWindow(custom(1, "minute(s)", d, at(9, 0)), at(9, 0), at(17, 0)), d, at(17, 0) + 1, false},
      {"daily at 23:00 in 22:00-06:00: at 06:00 itself the next day (the end is outside)",
       withWindow(custom(1, "day(s)", d, at(23, 0)), at(22, 0), at(6, 0)), d + 1, at(6, 0), false},
      {"every minute in 22:00-06:00: at 06:00 itself the next day",
       withWindow(custom(1, "minute(s)", d, at(23, 0)), at(22, 0), at(6, 0)), d + 1, at(6, 0), false},
      {"window to the end of the day: carried to the next day",
       withWindow(custom(1, "day(s)", d, at(21, 0)), at(20, 0), 0), d + 2, 1, false},
      {"a window over the whole day: skipped, never left inside unmarked",
       withWindow(custom(1, "minute(s)", d, at(10, 0)), 0, 0), d + 1, 1, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemoryStore store;
    ScheduleRecord t = row.task;
    t.ShiftType = "Next day";
    t.ExceptWeekends = 1;  // no weekend in sight: the day rules don't hit
    ApplyExceptions(t, store);
    EXPECT_EQ(moment(t.Date, t.Time), moment(row.wantDate, row.wantTime));
    EXPECT_EQ(t.SkipNextTime, row.wantSkip ? 1 : 0);
    EXPECT_TRUE(store.tasks.empty()) << "no copy for a time window";
  }
}

TEST(ApplyExceptions, AbandonedSteppingRestoresCompleted) {
  // Every day at 10:00 inside 09:00-11:00: the steps run past the expiry and are thrown away.
  MemoryStore store;
  ScheduleRecord t = withWindow(custom(1, "day(s)", ymd(2024, 1, 2), at(10, 0)), at(9, 0), at(11, 0));
  t.ExpiryDate = ymd(2024, 1, 12);
  t.ExpiryTime = at(23, 0);
  ApplyExceptions(t, store);
  EXPECT_EQ(moment(t.Date, t.Time), moment(ymd(2024, 1, 3), at(11, 0) + 1));
  EXPECT_EQ(t.Completed, 0);
}

TEST(ApplyExceptions, InvalidUnitsShownOnceForTheWholeStepping) {
  MemoryStore store;
  RecordingHost host;
  ScheduleRecord t = withWindow(custom(1, "sec", ymd(2024, 1, 2), at(10, 0)), at(9, 0), at(11, 0));
  ApplyExceptions(t, store);
  EXPECT_EQ(host.titles(), std::vector<std::string>{"Invalid Units"});
  EXPECT_FALSE(isInTimeWindow(t, t.Time) && !t.SkipNextTime);
}

TEST(ApplyExceptions, ExcludedDaysAndShiftedCopies) {
  const ClockAt clock(ymd(2023, 12, 1), at(8, 0));
  struct Row {
    const char* name;
    const char* shift;
    int32_t date;
    bool weekends, holidays;
    const char* other;
    int32_t wantCopyDate;  // 0: no copy
    const char* unit = "week(s)";
    int every = 1;
  };
  const Row rows[] = {
      {"holiday, next day: the next day", "Next day", kXmas, false, true, "", ymd(2023, 12, 26)},
      {"holiday, next day, past further holidays", "Next day", ymd(2023, 12, 31), false, true, "", ymd(2024, 1, 2)},
      {"Saturday, previous day: Friday", "Previous day", ymd(2023, 12, 23), true, false, "", ymd(2023, 12, 22)},
      {"Sunday, next day, holiday Monday: Tuesday", "Next day", ymd(2023, 12, 24), true, true, "", ymd(2023, 12, 26)},
      {"lower case shift letter", "next day", kXmas, false, true, "", ymd(2023, 12, 26)},
      {"skip: no copy", "Skip (to next valid day)", kXmas, false, true, "", 0},
      {"every weekday excluded, previous day: the excluded day itself", "Previous day", kXmas, false, false,
       "YYYYYYY", kXmas},
      // The task itself runs at the copy's moment: a copy would perform it twice at once.
      {"daily, next day: runs there anyway, no copy", "Next day", kXmas, false, true, "", 0, "day(s)"},
      {"daily, previous day: runs there anyway, no copy", "Previous day", ymd(2023, 12, 23), true, false, "", 0,
       "day(s)"},
      {"every 3 days, next day: not a day of its own, a copy", "Next day", kXmas, false, true, "", ymd(2023, 12, 26),
       "day(s)", 3},
      {"every 8 hours, next day: one of its own times there, no copy", "Next day", kXmas, false, true, "", 0,
       "hour(s)", 8},
      {"every 7 hours, next day: off its own times there, a copy", "Next day", kXmas, false, true, "",
       ymd(2023, 12, 26), "hour(s)", 7},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemoryStore store;
    store.holidays = {kXmas, ymd(2023, 12, 31), kNewYear};
    ScheduleRecord t = custom(row.every, row.unit, row.date, at(10, 0));
    t.ID = 7;
    t.OriginalID = 7;
    t.TaskType = "Display Message";
    t.Message = "Pay the rent";
    t.ShiftType = row.shift;
    t.ExceptWeekends = row.weekends;
    t.ExceptHolidays = row.holidays;
    t.ExceptOther = row.other;
    store.tasks[7] = t;
    store.scriptItems[7] = 3;
    ApplyExceptions(t, store);
    EXPECT_EQ(t.Date, row.date) << "the task keeps its occurrence";
    EXPECT_EQ(t.SkipNextTime, 1) << "and skips it once";
    const auto copies = store.onceCopies();
    if (row.wantCopyDate == 0) {
      EXPECT_TRUE(copies.empty());
      EXPECT_EQ(t.ExceptionLink, 0);
      continue;
    }
    ASSERT_EQ(copies.size(), 1u);
    const ScheduleRecord& c = *copies[0];
    EXPECT_EQ(c.Date, row.wantCopyDate);
    EXPECT_EQ(c.Time, at(10, 0));
    EXPECT_EQ(c.SkipNextTime, 0);
    EXPECT_EQ(c.ExceptionLink, 0);
    EXPECT_EQ(c.Message, "Pay the rent");
    EXPECT_EQ(t.ExceptionLink, c.ID);
    EXPECT_EQ(store.scriptItems[c.ID], 3) << "the copy runs the task's script";
  }
}

TEST(ApplyExceptions, FailedInsertLeavesNoLinkButStillSkips) {
  MemoryStore store;
  store.holidays = {kXmas};
  store.failInserts = true;
  ScheduleRecord t = custom(1, "day(s)", kXmas, at(10, 0));
  t.ExceptHolidays = 1;
  t.ShiftType = "Next day";
  ApplyExceptions(t, store);
  EXPECT_EQ(t.SkipNextTime, 1);
  EXPECT_EQ(t.ExceptionLink, 0);
}

TEST(ApplyExceptions, WeeklyMondayWithTwoHolidaysRunsOnBothNextDays) {
  const ClockAt clock(ymd(2023, 12, 1), at(8, 0));
  // The task runs on Monday 18 December; the runner moves it on and applies the exceptions after
  // each occurrence. The copy for 25 December must survive the shift for 1 January.
  MemoryStore store;
  store.holidays = {kXmas, kNewYear};
  ScheduleRecord t = custom(1, "week(s)", ymd(2023, 12, 18), at(9, 0));
  t.ID = t.OriginalID = 1;
  t.ExceptHolidays = 1;
  t.ShiftType = "Next day";
  store.tasks[1] = t;
  for (int32_t runAt : {ymd(2023, 12, 18), kXmas}) {
    ASSERT_EQ(t.Date, runAt);
    NextOccurrence(t, runAt, at(9, 0));
    t.SkipNextTime = 0;
    ApplyExceptions(t, store);
    store.tasks[1] = t;
  }
  EXPECT_EQ(t.Date, kNewYear);
  EXPECT_EQ(t.SkipNextTime, 1);
  std::vector<int32_t> copyDates;
  for (const ScheduleRecord* c : store.onceCopies()) copyDates.push_back(c->Date);
  EXPECT_EQ(copyDates, (std::vector<int32_t>{ymd(2023, 12, 26), ymd(2024, 1, 2)}));
}

TEST(ApplyExceptions, SameOccurrenceStoredAgain) {
  const ClockAt clock(ymd(2023, 12, 1), at(8, 0));
  auto setUp = [](MemoryStore& store, bool copyHasRun) {
    store.holidays = {kXmas};
    ScheduleRecord t = custom(1, "week(s)", kXmas, at(9, 0));
    t.ID = t.OriginalID = 1;
    t.ExceptHolidays = 1;
    t.ShiftType = "Next day";
    store.tasks[1] = t;
    ApplyExceptions(t, store);
    store.tasks[1] = t;
    if (copyHasRun) store.tasks[t.ExceptionLink].Completed = 1;
    return t;
  };
  {
    SCOPED_TRACE("stored again on the holiday: the pending copy is replaced");
    MemoryStore store;
    ScheduleRecord t = setUp(store, false);
    store.tasks[t.ExceptionLink].Description = "first copy";
    ApplyExceptions(t, store, ExceptionPass::SameOccurrence);
    const auto copies = store.onceCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(copies[0]->Description.isBlank()) << "the first copy is gone";
    EXPECT_EQ(t.ExceptionLink, copies[0]->ID);
  }
  {
    SCOPED_TRACE("a copy that has run is history and stays");
    MemoryStore store;
    ScheduleRecord t = setUp(store, true);
    const int32_t first = t.ExceptionLink;
    ApplyExceptions(t, store, ExceptionPass::SameOccurrence);
    EXPECT_EQ(store.tasks.count(first), 1u);
  }
  {
    SCOPED_TRACE("edited off the holiday: the skip and the pending copy go");
    MemoryStore store;
    ScheduleRecord t = setUp(store, false);
    const int32_t first = t.ExceptionLink;
    t.Date = ymd(2024, 1, 8);
    ApplyExceptions(t, store, ExceptionPass::SameOccurrence);
    EXPECT_EQ(t.SkipNextTime, 0);
    EXPECT_EQ(t.ExceptionLink, 0);
    EXPECT_EQ(store.tasks.count(first), 0u);
  }
  {
    SCOPED_TRACE("a link to another task's record is never deleted");
    MemoryStore store;
    ScheduleRecord t = setUp(store, false);
    store.tasks[t.ExceptionLink].OriginalID = 99;  // the number now belongs to someone else
    const int32_t first = t.ExceptionLink;
    ApplyExceptions(t, store, ExceptionPass::SameOccurrence);
    EXPECT_EQ(store.tasks.count(first), 1u);
  }
  {
    SCOPED_TRACE("without a shift the user's own skip stays");
    MemoryStore store;
    ScheduleRecord t = custom(1, "week(s)", ymd(2024, 1, 8), at(9, 0));
    t.ExceptHolidays = 1;
    t.SkipNextTime = 1;
    ApplyExceptions(t, store, ExceptionPass::SameOccurrence);
    EXPECT_EQ(t.SkipNextTime, 1);
  }
}

TEST(ApplyExceptions, NeverLeavesATaskInsideItsWindowUnlessSkipped) {
  std::mt19937 rng(424242);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const char* units[] = {"minute(s)", "hour(s)", "day(s)", "week(s)", "month(s)", "year(s)", "sec"};
  const char* types[] = {"Custom", "Custom", "Custom", "Monthly", "Yearly", "Day of Month", "Day of Week", "Once"};
  RecordingHost host;  // "Invalid Units" comes for the tasks with the unit "sec"
  for (int i = 0; i < 3000; ++i) {
    MemoryStore store;
    for (int h = 0; h < 20; ++h) store.holidays.insert(ymd(2024, 1, 1) + pick(0, 400));
    const int32_t date = ymd(2024, 1, 1) + pick(0, 365);
    ScheduleRecord t = task(types[pick(0, 7)], date, pick(1, 8640000));
    t.Every = pick(0, 3000);
    t.EveryType = units[pick(0, 6)];
    setWeekdays(t, pick(0, 1) ? "-MTWTF-" : "S-----S");
    setWeeks(t, pick(0, 1) ? "-2---" : "-----");
    t.LastDayOfMonth = pick(0, 4) == 0;
    t.ExceptTime = 1;
    t.ExceptTimeBegin = pick(0, 8640000);
    t.ExceptTimeEnd = pick(0, 3) == 0 ? 0 : pick(0, 8640000);
    t.ExceptWeekends = pick(0, 1);
    t.ExceptHolidays = pick(0, 1);
    t.ShiftType = pick(0, 1) ? "Next day" : "Previous day";
    ApplyExceptions(t, store);
    ASSERT_FALSE(isInTimeWindow(t, t.Time) && !t.SkipNextTime)
        << "task " << i << " " << t.ScheduleType.str() << " every " << t.Every << " " << t.EveryType.str()
        << " at " << moment(t.Date, t.Time) << " window " << t.ExceptTimeBegin << "-" << t.ExceptTimeEnd;
  }
}

namespace {

// A weekly Monday task at 09:00 with holidays excluded and "Next day", as the runner leaves it
// after 18 and 25 December 2023 (25 December a holiday): on 1 January, its copy for 26 December
// pending and linked.
ScheduleRecord weeklyMovedPastItsShift(MemoryStore& store) {
  store.holidays = {kXmas};
  ScheduleRecord t = custom(1, "week(s)", ymd(2023, 12, 18), at(9, 0));
  t.ID = t.OriginalID = 1;
  t.Description = "Standup";
  t.ExceptHolidays = 1;
  t.ShiftType = "Next day";
  store.tasks[1] = t;
  for (int32_t runAt : {ymd(2023, 12, 18), kXmas}) {
    const ClockAt clock(runAt, at(9, 0));
    NextOccurrence(t, runAt, at(9, 0));
    t.SkipNextTime = 0;
    ApplyExceptions(t, store);
    store.tasks[1] = t;
  }
  return t;
}

}  // namespace

TEST(ApplyExceptions, SavingATaskKeepsTheCopyOfAnOccurrenceItHasMovedPast) {
  struct Row {
    const char* name;
    std::function<void(ScheduleRecord&)> edit;
    bool copyKept;
  };
  const Row rows[] = {
      {"saved unchanged", [](ScheduleRecord&) {}, true},
      {"message edited", [](ScheduleRecord& t) { t.Message = "Room 4"; }, true},
      {"time changed", [](ScheduleRecord& t) { t.Time = at(10, 0); }, true},
      {"skip marked by the user", [](ScheduleRecord& t) { t.SkipNextTime = 1; }, true},
      {"holidays no longer excluded: the skipped Monday still gets its run", [](ScheduleRecord& t) { t.ExceptHolidays = 0; },
       true},
      {"every two weeks from 1 January: 25 December is no longer an occurrence",
       [](ScheduleRecord& t) { t.Every = 2; }, false},
      {"moved to Wednesday 3 January: Mondays are no longer occurrences",
       [](ScheduleRecord& t) { t.Date = ymd(2024, 1, 3); }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemoryStore store;
    ScheduleRecord t = weeklyMovedPastItsShift(store);
    ASSERT_EQ(t.Date, kNewYear);
    const int32_t copy = t.ExceptionLink;
    ASSERT_NE(copy, 0);
    ASSERT_EQ(store.tasks[copy].Date, ymd(2023, 12, 26));
    const bool skipBefore = [&] {
      ScheduleRecord edited = t;
      row.edit(edited);
      return edited.SkipNextTime != 0;
    }();

    const ClockAt clock(kXmas, at(12, 0));  // saved on Christmas Day, after the skipped 09:00
    row.edit(t);
    ApplyExceptions(t, store, ExceptionPass::SameOccurrence);

    EXPECT_EQ(store.tasks.count(copy), row.copyKept ? 1u : 0u);
    EXPECT_EQ(t.ExceptionLink, row.copyKept ? copy : 0);
    EXPECT_EQ(t.SkipNextTime != 0, skipBefore) << "the task's own skip mark is its user's";
    if (row.copyKept) {
      EXPECT_TRUE(store.log.empty());
    } else {
      ASSERT_EQ(store.log.size(), 1u);
      EXPECT_EQ(store.log[0].first, "Shifted copy removed");
      EXPECT_EQ(store.log[0].second.rfind("Standup (", 0), 0u) << store.log[0].second;
    }
  }
}

TEST(ApplyExceptions, SavingKeepsTheSkipMarkUnlessAPendingCopyOfItsOccurrenceWentAway) {
  // The task stands on Monday 8 January 2024 (no holiday) with the user's skip mark and a link
  // left from an earlier shift; what the link leads to decides nothing about the mark.
  struct Row {
    const char* name;
    bool copyThere;
    std::function<void(ScheduleRecord&)> copyState;
    bool copyKept;
    int32_t wantLink;
  };
  const Row rows[] = {
      {"link to a copy that is gone", false, [](ScheduleRecord&) {}, false, 0},
      {"link to a copy that has run", true, [](ScheduleRecord& c) { c.Completed = 1; }, true, 0},
      {"link to another task's record", true, [](ScheduleRecord& c) { c.OriginalID = 99; }, true, 0},
      {"link to a pending copy of an earlier occurrence", true, [](ScheduleRecord&) {}, true, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ClockAt clock(ymd(2024, 1, 3), at(12, 0));
    MemoryStore store;
    store.holidays = {kXmas};
    ScheduleRecord t = custom(1, "week(s)", ymd(2024, 1, 8), at(9, 0));
    t.ID = t.OriginalID = 1;
    t.ExceptHolidays = 1;
    t.ShiftType = "Next day";
    t.ExceptionLink = 2;
    t.SkipNextTime = 1;
    store.tasks[1] = t;
    if (row.copyThere) {
      ScheduleRecord c = t;
      c.ID = 2;
      c.ScheduleType = "Once";
      c.Date = ymd(2023, 12, 26);
      c.ExceptionLink = 0;
      c.SkipNextTime = 0;
      row.copyState(c);
      store.tasks[2] = c;
    }
    ApplyExceptions(t, store, ExceptionPass::SameOccurrence);
    EXPECT_EQ(t.SkipNextTime, 1);
    EXPECT_EQ(t.ExceptionLink, row.wantLink);
    EXPECT_EQ(store.tasks.count(2), row.copyKept ? 1u : 0u);
    EXPECT_TRUE(store.log.empty());
  }
}

TEST(ApplyExceptions, ANewTaskMadeFromAnotherNeverReachesThatOnesCopy) {
  // The reschedule wizard and a copy start from the source task's record, link included.
  const ClockAt clock(ymd(2023, 12, 20), at(12, 0));
  MemoryStore store;
  store.holidays = {kXmas};
  ScheduleRecord source = custom(1, "week(s)", kXmas, at(9, 0));
  source.ID = source.OriginalID = 1;
  source.ExceptHolidays = 1;
  source.ShiftType = "Next day";
  store.tasks[1] = source;
  ApplyExceptions(source, store, ExceptionPass::SameOccurrence);
  store.tasks[1] = source;
  const int32_t copy = source.ExceptionLink;
  ASSERT_NE(copy, 0);

  ScheduleRecord made = source;  // numbered 50, not stored yet
  made.ID = 50;
  made.Date = ymd(2023, 12, 27);
  ApplyExceptions(made, store, ExceptionPass::SameOccurrence);
  EXPECT_EQ(store.tasks.count(copy), 1u) << "the source's pending copy stays";
  EXPECT_EQ(made.ExceptionLink, 0);
  EXPECT_EQ(made.SkipNextTime, source.SkipNextTime) << "nothing of the source's shift is undone on the new task";
}

TEST(ApplyExceptions, APreviousDayCopyWhoseMomentHasPassedIsNotMade) {
  // Monday 25 December 2023 at 09:00 is a holiday; "Previous day" puts the copy on Sunday 24th 09:00.
  struct Row {
    const char* name;
    int32_t nowDate, nowTime;
    bool made;
  };
  const Row rows[] = {
      {"the day before", ymd(2023, 12, 23), at(12, 0), true},
      {"that morning, before 09:00", ymd(2023, 12, 24), at(8, 59), true},
      {"at its moment", ymd(2023, 12, 24), at(9, 0), true},
      {"half a minute later", ymd(2023, 12, 24), at(9, 0, 30), false},
      {"on the holiday itself", kXmas, at(8, 0), false},
  };
  for (const ExceptionPass pass : {ExceptionPass::NewOccurrence, ExceptionPass::SameOccurrence}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + (pass == ExceptionPass::NewOccurrence ? " (runner)" : " (saved)"));
      const ClockAt clock(row.nowDate, row.nowTime);
      MemoryStore store;
      store.holidays = {kXmas};
      ScheduleRecord t = custom(1, "week(s)", kXmas, at(9, 0));
      t.ID = t.OriginalID = 1;
      t.Description = "Standup";
      t.ExceptHolidays = 1;
      t.ShiftType = "Previous day";
      store.tasks[1] = t;
      ApplyExceptions(t, store, pass);
      EXPECT_EQ(t.SkipNextTime, 1) << "the holiday is skipped either way";
      const auto copies = store.onceCopies();
      if (row.made) {
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(moment(copies[0]->Date, copies[0]->Time), moment(ymd(2023, 12, 24), at(9, 0)));
        EXPECT_EQ(t.ExceptionLink, copies[0]->ID);
        EXPECT_TRUE(store.log.empty());
      } else {
        EXPECT_TRUE(copies.empty()) << "a copy already late would run at once";
        EXPECT_EQ(t.ExceptionLink, 0);
        ASSERT_EQ(store.log.size(), 1u) << "and the run doesn't vanish silently";
        EXPECT_EQ(store.log[0].first, "Shifted task passed");
        EXPECT_EQ(store.log[0].second.rfind("Standup (", 0), 0u);
      }
    }
  }
}
