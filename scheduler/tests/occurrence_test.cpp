#include "scheduler/occurrence.h"

#include <gtest/gtest.h>

#include <vector>

#include "scheduler/tests/recording_host.h"
#include "scheduler/tests/test_tasks.h"

using namespace ov::scheduler;
using namespace ov::scheduler::testing;

namespace {

struct Step {
  const char* name;
  ScheduleRecord task;
  int32_t refDate, refTime;
  int32_t wantDate, wantTime;
  bool wantCompleted = false;
};

void runNext(const std::vector<Step>& rows) {
  for (const Step& row : rows) {
    SCOPED_TRACE(row.name);
    ScheduleRecord t = row.task;
    NextOccurrence(t, row.refDate, row.refTime);
    EXPECT_EQ(moment(t.Date, t.Time), moment(row.wantDate, row.wantTime));
    EXPECT_EQ(t.Completed, row.wantCompleted ? 1 : 0);
  }
}

}  // namespace

TEST(NextOccurrence, Once) {
  runNext({
      {"completed whatever the reference; date and time stay", task("Once", ymd(2024, 3, 10), at(10, 0)),
       ymd(2024, 3, 1), at(8, 0), ymd(2024, 3, 10), at(10, 0), true},
      {"also when overdue", task("Once", ymd(2024, 3, 10), at(10, 0)), ymd(2024, 5, 1), at(8, 0),
       ymd(2024, 3, 10), at(10, 0), true},
  });
}

TEST(NextOccurrence, PastMeansMoreThanAMinuteAfterTheReference) {
  const ScheduleRecord monthly = task("Monthly", ymd(2024, 3, 10), at(10, 0));
  runNext({
      {"61 s ahead is past: left where it is", monthly, ymd(2024, 3, 10), at(9, 58, 59), ymd(2024, 3, 10),
       at(10, 0)},
      {"exactly 60 s ahead is not past", monthly, ymd(2024, 3, 10), at(9, 59), ymd(2024, 4, 10), at(10, 0)},
      {"a later day is past", monthly, ymd(2024, 3, 9), at(23, 59), ymd(2024, 3, 10), at(10, 0)},
      {"due 10:00:00, run at 10:00:30: computed past 10:01:30", dayOfWeek("SMTWTFS", ymd(2024, 3, 10), at(10, 0)),
       ymd(2024, 3, 10), at(10, 0, 30), ymd(2024, 3, 11), at(10, 0)},
      {"due 10:00, reference 08:00 the same day: stays", dayOfWeek("SMTWTFS", ymd(2024, 3, 10), at(10, 0)),
       ymd(2024, 3, 10), at(8, 0), ymd(2024, 3, 10), at(10, 0)},
  });
}

TEST(NextOccurrence, SemiMonthly) {
  runNext({
      {"1st -> 15th", semiMonthly("Twice - 1st, 15th", 0, ymd(2024, 3, 1), at(10, 0)), ymd(2024, 3, 1), at(10, 0),
       ymd(2024, 3, 15), at(10, 0)},
      {"15th -> 1st of the next month", semiMonthly("Twice - 1st, 15th", 0, ymd(2024, 3, 15), at(10, 0)),
       ymd(2024, 3, 15), at(10, 0), ymd(2024, 4, 1), at(10, 0)},
      {"December 15th -> 1 January", semiMonthly("Twice - 1st, 15th", 0, ymd(2023, 12, 15), at(10, 0)),
       ymd(2023, 12, 15), at(10, 0), ymd(2024, 1, 1), at(10, 0)},
      {"15th -> last day (leap February)", semiMonthly("Twice - 15th, Last", 0, ymd(2024, 2, 15), at(10, 0)),
       ymd(2024, 2, 15), at(10, 0), ymd(2024, 2, 29), at(10, 0)},
      {"last day -> 15th of the next month", semiMonthly("Twice - 15th, Last", 0, ymd(2024, 2, 29), at(10, 0)),
       ymd(2024, 2, 29), at(10, 0), ymd(2024, 3, 15), at(10, 0)},
      {"a day after the 15th goes to the next 15th", semiMonthly("Twice - 1st, 15th", 0, ymd(2024, 3, 20), at(10, 0)),
       ymd(2024, 3, 20), at(10, 0), ymd(2024, 4, 15), at(10, 0)},
      {"offset 3: the 4th -> the 18th", semiMonthly("Twice - 1st, 15th", 3, ymd(2024, 3, 4), at(10, 0)),
       ymd(2024, 3, 4), at(10, 0), ymd(2024, 3, 18), at(10, 0)},
      {"offset 3: the 18th -> the 4th", semiMonthly("Twice - 1st, 15th", 3, ymd(2024, 3, 18), at(10, 0)),
       ymd(2024, 3, 18), at(10, 0), ymd(2024, 4, 4), at(10, 0)},
      {"offset -1: the 14th -> the day before the last", semiMonthly("Twice - 15th, Last", -1, ymd(2024, 3, 14), at(10, 0)),
       ymd(2024, 3, 14), at(10, 0), ymd(2024, 3, 30), at(10, 0)},
      {"offset -1: the day before the last -> the 14th", semiMonthly("Twice - 15th, Last", -1, ymd(2024, 3, 30), at(10, 0)),
       ymd(2024, 3, 30), at(10, 0), ymd(2024, 4, 14), at(10, 0)},
      {"lower case still counts", semiMonthly("twice - 15th, last", 0, ymd(2024, 4, 15), at(10, 0)),
       ymd(2024, 4, 15), at(10, 0), ymd(2024, 4, 30), at(10, 0)},
      {"overdue by months: steps to the first past", semiMonthly("Twice - 1st, 15th", 0, ymd(2024, 1, 1), at(10, 0)),
       ymd(2024, 3, 20), at(12, 0), ymd(2024, 4, 1), at(10, 0)},
  });
}

TEST(NextOccurrence, Monthly) {
  runNext({
      {"31 January -> 3 March in a common year", task("Monthly", ymd(2023, 1, 31), at(9, 0)), ymd(2023, 1, 31),
       at(9, 0), ymd(2023, 3, 3), at(9, 0)},
      {"31 January -> 2 March in a leap year", task("Monthly", ymd(2024, 1, 31), at(9, 0)), ymd(2024, 1, 31),
       at(9, 0), ymd(2024, 3, 2), at(9, 0)},
      {"and keeps the 3rd from then on", task("Monthly", ymd(2023, 3, 3), at(9, 0)), ymd(2023, 3, 3), at(9, 0),
       ymd(2023, 4, 3), at(9, 0)},
      {"December -> January of the next year", task("Monthly", ymd(2023, 12, 15), at(9, 0)), ymd(2023, 12, 15),
       at(9, 0), ymd(2024, 1, 15), at(9, 0)},
      {"overdue by months", task("Monthly", ymd(2024, 1, 10), at(9, 0)), ymd(2024, 5, 10), at(12, 0),
       ymd(2024, 6, 10), at(9, 0)},
      {"overdue, today's occurrence still ahead", task("Monthly", ymd(2024, 1, 10), at(14, 0)), ymd(2024, 5, 10),
       at(12, 0), ymd(2024, 5, 10), at(14, 0)},
  });
}

TEST(NextOccurrence, Yearly) {
  runNext({
      {"29 February -> 1 March", task("Yearly", ymd(2024, 2, 29), at(6, 0)), ymd(2024, 2, 29), at(6, 0),
       ymd(2025, 3, 1), at(6, 0)},
      {"and keeps 1 March", task("Yearly", ymd(2025, 3, 1), at(6, 0)), ymd(2025, 3, 1), at(6, 0), ymd(2026, 3, 1),
       at(6, 0)},
      {"same month and day a year on", task("Yearly", ymd(2023, 6, 15), at(6, 0)), ymd(2023, 6, 15), at(6, 0),
       ymd(2024, 6, 15), at(6, 0)},
      {"overdue by years", task("Yearly", ymd(2019, 6, 15), at(6, 0)), ymd(2024, 7, 1), at(6, 0), ymd(2025, 6, 15),
       at(6, 0)},
  });
}

TEST(NextOccurrence, DayOfWeek) {
  // 1 January 2024 is a Monday.
  runNext({
      {"Monday -> Wednesday", dayOfWeek("-M-W-F-", ymd(2024, 1, 1), at(10, 0)), ymd(2024, 1, 1), at(10, 0),
       ymd(2024, 1, 3), at(10, 0)},
      {"Friday -> Monday", dayOfWeek("-M-W-F-", ymd(2024, 1, 5), at(10, 0)), ymd(2024, 1, 5), at(10, 0),
       ymd(2024, 1, 8), at(10, 0)},
      {"no weekday chosen: the next day", dayOfWeek("-------", ymd(2024, 1, 1), at(10, 0)), ymd(2024, 1, 1),
       at(10, 0), ymd(2024, 1, 2), at(10, 0)},
      {"overdue weeks: the first Monday past the reference", dayOfWeek("-M-----", ymd(2024, 1, 1), at(10, 0)),
       ymd(2024, 1, 25), at(12, 0), ymd(2024, 1, 29), at(10, 0)},
      {"overdue, the reference day's occurrence still ahead", dayOfWeek("-M-----", ymd(2024, 1, 1), at(10, 0)),
       ymd(2024, 1, 29), at(9, 58), ymd(2024, 1, 29), at(10, 0)},
      {"overdue, the reference day's occurrence within the minute", dayOfWeek("-M-----", ymd(2024, 1, 1), at(10, 0)),
       ymd(2024, 1, 29), at(9, 59, 30), ymd(2024, 2, 5), at(10, 0)},
      {"a date off the chosen days moves to the next chosen one", dayOfWeek("-M-----", ymd(2024, 1, 2), at(10, 0)),
       ymd(2024, 1, 2), at(10, 0), ymd(2024, 1, 8), at(10, 0)},
      {"Saturday -> Sunday across the week's end", dayOfWeek("S-----S", ymd(2024, 1, 6), at(10, 0)),
       ymd(2024, 1, 6), at(10, 0), ymd(2024, 1, 7), at(10, 0)},
  });
}

TEST(NextOccurrence, DayOfMonth) {
  runNext({
      // Tuesdays of January 2024: 2, 9, 16, 23, 30; of February: 6, 13, 20, 27.
      {"second Tuesday", dayOfMonth("--T----", "-2---", ymd(2024, 1, 9), at(10, 0)), ymd(2024, 1, 9), at(10, 0),
       ymd(2024, 2, 13), at(10, 0)},
      // Fridays of February 2024: 2, 9, 16, 23 (the 29th is a Thursday).
      {"last Friday", dayOfMonth("-----F-", "----L", ymd(2024, 1, 26), at(10, 0)), ymd(2024, 1, 26), at(10, 0),
       ymd(2024, 2, 23), at(10, 0)},
      {"last Friday on the 29th", dayOfMonth("-----F-", "----L", ymd(2024, 2, 23), at(10, 0)), ymd(2024, 2, 23),
       at(10, 0), ymd(2024, 3, 29), at(10, 0)},
      {"Monday with no week flag: every Monday", dayOfMonth("-M-----", "-----", ymd(2024, 1, 1), at(10, 0)),
       ymd(2024, 1, 1), at(10, 0), ymd(2024, 1, 8), at(10, 0)},
      {"no weekday, first week: every day of days 1-7", dayOfMonth("-------", "1----", ymd(2024, 1, 7), at(10, 0)),
       ymd(2024, 1, 7), at(10, 0), ymd(2024, 2, 1), at(10, 0)},
      {"first and third Monday", dayOfMonth("-M-----", "1-3--", ymd(2024, 1, 1), at(10, 0)), ymd(2024, 1, 1),
       at(10, 0), ymd(2024, 1, 15), at(10, 0)},
      {"steps at least once, even from a future date", dayOfMonth("--T----", "-2---", ymd(2024, 1, 9), at(10, 0)),
       ymd(2024, 1, 1), at(8, 0), ymd(2024, 2, 13), at(10, 0)},
      // Tuesdays of March 2024: 5, 12, 19, 26; of April: 2, 9.
      {"overdue: the first match after the reference date", dayOfMonth("--T----", "-2---", ymd(2024, 1, 9), at(10, 0)),
       ymd(2024, 3, 20), at(12, 0), ymd(2024, 4, 9), at(10, 0)},
  });
}

TEST(NextOccurrence, DayOfMonthComparesDateAndTimeOnTheDueDay) {
  // The second Tuesday of March 2024 is the 12th, of April the 9th; the last Friday of March the 29th.
  const ScheduleRecord second = dayOfMonth("--T----", "-2---", ymd(2024, 2, 13), at(9, 0));
  const ScheduleRecord lastFriday = dayOfMonth("-----F-", "----L", ymd(2024, 2, 23), at(9, 0));
  runNext({
      {"reference 07:00 on the due day of a 09:00 task: that day", second, ymd(2024, 3, 12), at(7, 0),
       ymd(2024, 3, 12), at(9, 0)},
      {"catch-up from the day's start (time 0): that day", second, ymd(2024, 3, 12), 0, ymd(2024, 3, 12), at(9, 0)},
      {"61 s before the task is still before it", second, ymd(2024, 3, 12), at(8, 58, 59), ymd(2024, 3, 12),
       at(9, 0)},
      {"a minute before the task counts as the run itself: next month", second, ymd(2024, 3, 12), at(8, 59),
       ymd(2024, 4, 9), at(9, 0)},
      {"after the task's time: next month", second, ymd(2024, 3, 12), at(10, 0), ymd(2024, 4, 9), at(9, 0)},
      {"last Friday, reference that morning", lastFriday, ymd(2024, 3, 29), at(7, 0), ymd(2024, 3, 29), at(9, 0)},
      {"Mondays without a week, reference that morning", dayOfMonth("-M-----", "-----", ymd(2024, 3, 4), at(9, 0)),
       ymd(2024, 3, 11), at(7, 0), ymd(2024, 3, 11), at(9, 0)},
      {"a task on the due day itself still steps once", dayOfMonth("--T----", "-2---", ymd(2024, 3, 12), at(9, 0)),
       ymd(2024, 3, 12), at(7, 0), ymd(2024, 4, 9), at(9, 0)},
  });
}

TEST(NextOccurrence, LastDayOfMonth) {
  runNext({
      {"31 October, reference 31 January: the reference day itself", lastDayOfMonthTask(ymd(2023, 10, 31), at(10, 0)),
       ymd(2024, 1, 31), at(9, 0), ymd(2024, 1, 31), at(10, 0)},
      {"missed month end whose time has passed: runs once, at the next month end",
       lastDayOfMonthTask(ymd(2023, 10, 31), at(10, 0)), ymd(2024, 1, 31), at(10, 0, 30), ymd(2024, 2, 29), at(10, 0)},
      {"reference with time 0 (skip if missed): today's month end", lastDayOfMonthTask(ymd(2023, 10, 31), at(10, 0)),
       ymd(2024, 1, 31), 0, ymd(2024, 1, 31), at(10, 0)},
      {"after a run: the end of the next month", lastDayOfMonthTask(ymd(2024, 1, 31), at(10, 0)), ymd(2024, 1, 31),
       at(10, 0), ymd(2024, 2, 29), at(10, 0)},
      {"30 April -> 31 May", lastDayOfMonthTask(ymd(2024, 4, 30), at(10, 0)), ymd(2024, 4, 30), at(10, 0),
       ymd(2024, 5, 31), at(10, 0)},
      {"December -> January", lastDayOfMonthTask(ymd(2023, 12, 31), at(10, 0)), ymd(2023, 12, 31), at(10, 0),
       ymd(2024, 1, 31), at(10, 0)},
      {"always recomputes, even from the future", lastDayOfMonthTask(ymd(2024, 6, 30), at(10, 0)), ymd(2024, 3, 5),
       at(8, 0), ymd(2024, 7, 31), at(10, 0)},
  });
}

TEST(NextOccurrence, CustomUnits) {
  runNext({
      {"every 90 minutes from 23:00: 00:30 the next day", custom(90, "minute(s)", ymd(2024, 3, 10), at(23, 0)),
       ymd(2024, 3, 10), at(23, 0), ymd(2024, 3, 11), at(0, 30)},
      {"every 1500 minutes: 1 day and 60 minutes", custom(1500, "minute(s)", ymd(2024, 3, 10), at(10, 0)),
       ymd(2024, 3, 10), at(10, 0), ymd(2024, 3, 11), at(11, 0)},
      {"minutes compare with the exact reference", custom(1, "minute(s)", ymd(2024, 3, 10), at(10, 0)),
       ymd(2024, 3, 10), at(10, 0), ymd(2024, 3, 10), at(10, 1)},
      {"every minute, 30 days overdue: the next minute of its grid",
       custom(1, "minute(s)", ymd(2024, 3, 1), at(10, 0)), ymd(2024, 3, 31), at(12, 34, 56, 78), ymd(2024, 3, 31),
       at(12, 35)},
      {"every 15 minutes, reference on the grid: the next one", custom(15, "minute(s)", ymd(2024, 3, 1), at(10, 7)),
       ymd(2024, 3, 2), at(10, 7), ymd(2024, 3, 2), at(10, 22)},
      {"minutes step at least once, even from the future", custom(30, "minute(s)", ymd(2024, 3, 12), at(10, 0)),
       ymd(2024, 3, 1), at(8, 0), ymd(2024, 3, 12), at(10, 30)},
      {"every 2 hours, reference on the grid", custom(2, "hour(s)", ymd(2024, 3, 10), at(8, 0)), ymd(2024, 3, 10),
       at(10, 0), ymd(2024, 3, 10), at(12, 0)},
      {"every 5 hours across midnight", custom(5, "Hours", ymd(2024, 3, 10), at(22, 0)), ymd(2024, 3, 10),
       at(22, 0), ymd(2024, 3, 11), at(3, 0)},
      {"every 25 hours: 1 day and 1 hour", custom(25, "hour(s)", ymd(2024, 3, 10), at(10, 0)), ymd(2024, 3, 10),
       at(10, 0), ymd(2024, 3, 11), at(11, 0)},
      {"every 999999 minutes", custom(999999, "minute(s)", ymd(2024, 3, 10), at(10, 0)), ymd(2024, 3, 10),
       at(10, 0), ymd(2024, 3, 10) + 694, at(10, 0) + 639 * 6000},
      {"every 3 days, overdue", custom(3, "day(s)", ymd(2024, 3, 1), at(10, 0)), ymd(2024, 3, 10), at(12, 0),
       ymd(2024, 3, 13), at(10, 0)},
      {"every 3 days, today's occurrence still ahead", custom(3, "day(s)", ymd(2024, 3, 1), at(10, 0)),
       ymd(2024, 3, 10), at(9, 0), ymd(2024, 3, 10), at(10, 0)},
      {"every 2 weeks", custom(2, "week(s)", ymd(2024, 1, 1), at(10, 0)), ymd(2024, 1, 1), at(10, 0),
       ymd(2024, 1, 15), at(10, 0)},
      {"every 2 months keeps the day", custom(2, "month(s)", ymd(2023, 1, 31), at(10, 0)), ymd(2023, 1, 31),
       at(10, 0), ymd(2023, 3, 31), at(10, 0)},
      {"every month carries 31 January to 3 March", custom(1, "month(s)", ymd(2023, 1, 31), at(10, 0)),
       ymd(2023, 1, 31), at(10, 0), ymd(2023, 3, 3), at(10, 0)},
      {"every 12 months across the year", custom(12, "Months", ymd(2023, 5, 5), at(10, 0)), ymd(2023, 5, 5),
       at(10, 0), ymd(2024, 5, 5), at(10, 0)},
      {"every year from 29 February", custom(1, "year(s)", ymd(2024, 2, 29), at(10, 0)), ymd(2024, 2, 29),
       at(10, 0), ymd(2025, 3, 1), at(10, 0)},
  });
}

TEST(NextOccurrence, CustomEveryBelowOneIsStoredAsOne) {
  for (int every : {0, -5}) {
    ScheduleRecord t = custom(every, "day(s)", ymd(2024, 3, 1), at(10, 0));
    NextOccurrence(t, ymd(2024, 3, 1), at(10, 0));
    EXPECT_EQ(t.Every, 1);
    EXPECT_EQ(t.Date, ymd(2024, 3, 2));
  }
}

TEST(NextOccurrence, UnknownUnitShowsInvalidUnitsAndMovesPastTheReferenceDate) {
  struct Row {
    const char* name;
    const char* unit;
    int32_t date, refDate, wantDate;
  };
  const Row rows[] = {
      {"seconds are not a unit", "sec", ymd(2024, 3, 1), ymd(2024, 3, 5), ymd(2024, 3, 6)},
      {"blank unit", "", ymd(2024, 3, 1), ymd(2024, 3, 5), ymd(2024, 3, 6)},
      {"the reference day itself moves on", "x", ymd(2024, 3, 5), ymd(2024, 3, 5), ymd(2024, 3, 6)},
      {"a later date stays", "sec", ymd(2024, 3, 10), ymd(2024, 3, 5), ymd(2024, 3, 10)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingHost messages;
    ScheduleRecord t = custom(1, row.unit, row.date, at(10, 0));
    NextOccurrence(t, row.refDate, at(12, 0));
    EXPECT_EQ(t.Date, row.wantDate);
    EXPECT_EQ(t.Time, at(10, 0));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, "Invalid Units");
    EXPECT_EQ(messages.messages[0].text, "Custom repetition is not set up properly.  Select units.");
  }
}

TEST(NextOccurrence, InvalidUnitsShownOncePerCalculation) {
  RecordingHost messages;
  {
    CalculationScope calculation;
    ScheduleRecord t = custom(1, "sec", ymd(2024, 3, 1), at(10, 0));
    for (int i = 0; i < 5; ++i) NextOccurrence(t, t.Date, t.Time + 1);
    EXPECT_EQ(t.Date, ymd(2024, 3, 6));
  }
  EXPECT_EQ(messages.messages.size(), 1u);
  ScheduleRecord t = custom(1, "sec", ymd(2024, 3, 1), at(10, 0));
  NextOccurrence(t, t.Date, t.Time);  // a new calculation warns again
  EXPECT_EQ(messages.messages.size(), 2u);
}

TEST(NextOccurrence, Expiry) {
  auto daily = [](int32_t expiryDate, int32_t expiryTime) {
    ScheduleRecord t = custom(1, "day(s)", ymd(2024, 3, 9), at(10, 0));
    t.ExpiryDate = expiryDate;
    t.ExpiryTime = expiryTime;
    return t;
  };
  auto once = task("Once", ymd(2024, 3, 9), at(10, 0));
  once.ExpiryDate = ymd(2024, 3, 1);
  once.ExpiryTime = at(8, 0);
  runNext({
      {"an occurrence exactly at the expiry moment is allowed", daily(ymd(2024, 3, 10), at(10, 0)), ymd(2024, 3, 9),
       at(10, 0), ymd(2024, 3, 10), at(10, 0)},
      {"a centisecond after it completes the task", daily(ymd(2024, 3, 10), at(9, 59, 59, 99)), ymd(2024, 3, 9),
       at(10, 0), ymd(2024, 3, 10), at(10, 0), true},
      {"a later date completes the task", daily(ymd(2024, 3, 9), at(23, 0)), ymd(2024, 3, 9), at(10, 0),
       ymd(2024, 3, 10), at(10, 0), true},
      {"expiry time 0 means the end of that day: still allowed", daily(ymd(2024, 3, 10), 0), ymd(2024, 3, 9),
       at(10, 0), ymd(2024, 3, 10), at(10, 0)},
      {"expiry time 0: the day after is beyond it", daily(ymd(2024, 3, 10), 0), ymd(2024, 3, 10), at(10, 0),
       ymd(2024, 3, 11), at(10, 0), true},
      {"no expiry date: never expires", daily(0, at(8, 0)), ymd(2024, 3, 9), at(10, 0), ymd(2024, 3, 10), at(10, 0)},
      {"Once skips the expiry test (and completes anyway)", once, ymd(2024, 3, 9), at(10, 0), ymd(2024, 3, 9),
       at(10, 0), true},
  });
}

TEST(NextOccurrence, EndOfTheCalendarCompletesTheTask) {
  ScheduleRecord t = task("Yearly", ymd(9999, 6, 1), at(10, 0));
  NextOccurrence(t, ymd(9999, 6, 1), at(10, 0));
  EXPECT_EQ(t.Completed, 1);
  EXPECT_EQ(t.Date, ymd(9999, 6, 1));
}

TEST(IsValidScheduleDate, FollowsEachScheduleType) {
  struct Row {
    const char* name;
    ScheduleRecord task;
    int32_t date;
    bool want;
  };
  const int32_t any = ymd(2024, 3, 13);
  const Row rows[] = {
      {"Once accepts any day", task("Once", 0, 0), any, true},
      {"Yearly accepts any day", task("Yearly", 0, 0), any, true},
      {"Custom accepts any day", custom(1, "day(s)", 0, 0), any, true},
      {"an unknown type accepts any day", task("Fortnightly", 0, 0), any, true},
      {"Monthly accepts any day", task("Monthly", 0, 0), any, true},
      {"1st/15th: the 1st", semiMonthly("Twice - 1st, 15th", 0, 0, 0), ymd(2024, 3, 1), true},
      {"1st/15th: the 15th", semiMonthly("Twice - 1st, 15th", 0, 0, 0), ymd(2024, 3, 15), true},
      {"1st/15th: the last day", semiMonthly("Twice - 1st, 15th", 0, 0, 0), ymd(2024, 3, 31), false},
      {"1st/15th: the 10th", semiMonthly("Twice - 1st, 15th", 0, 0, 0), ymd(2024, 3, 10), false},
      {"15th/last: the 1st", semiMonthly("Twice - 15th, Last", 0, 0, 0), ymd(2024, 3, 1), false},
      {"15th/last: the last day", semiMonthly("Twice - 15th, Last", 0, 0, 0), ymd(2024, 2, 29), true},
      {"1st/15th offset 3: the 4th", semiMonthly("Twice - 1st, 15th", 3, 0, 0), ymd(2024, 3, 4), true},
      {"1st/15th offset 3: the 1st", semiMonthly("Twice - 1st, 15th", 3, 0, 0), ymd(2024, 3, 1), false},
      {"Day of Week: a chosen day", dayOfWeek("-M-----", 0, 0), ymd(2024, 1, 1), true},
      {"Day of Week: another day", dayOfWeek("-M-----", 0, 0), ymd(2024, 1, 2), false},
      {"last day of the month: 29 February 2024", lastDayOfMonthTask(0, 0), ymd(2024, 2, 29), true},
      {"last day of the month: 28 February 2024", lastDayOfMonthTask(0, 0), ymd(2024, 2, 28), false},
      {"second Tuesday: 9 January 2024", dayOfMonth("--T----", "-2---", 0, 0), ymd(2024, 1, 9), true},
      {"second Tuesday: 16 January 2024", dayOfMonth("--T----", "-2---", 0, 0), ymd(2024, 1, 16), false},
      {"second Tuesday: a Wednesday in the second week", dayOfMonth("--T----", "-2---", 0, 0), ymd(2024, 1, 10), false},
      {"last Friday: 26 January 2024", dayOfMonth("-----F-", "----L", 0, 0), ymd(2024, 1, 26), true},
      {"last Friday: 19 January 2024", dayOfMonth("-----F-", "----L", 0, 0), ymd(2024, 1, 19), false},
      {"no week flag: every chosen weekday", dayOfMonth("-M-----", "-----", 0, 0), ymd(2024, 1, 1), true},
      {"no week flag: not another weekday", dayOfMonth("-M-----", "-----", 0, 0), ymd(2024, 1, 2), false},
      {"no weekday chosen: false", dayOfMonth("-------", "1----", 0, 0), ymd(2024, 1, 1), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsValidScheduleDate(row.task, row.date, false), row.want);
  }
}

// The days a task's calendar offers are the days it runs on: over two years, the dates the
// next-occurrence steps reach are exactly the dates the test accepts (for every rule with a
// weekday chosen where it takes one).
TEST(IsValidScheduleDate, AcceptsExactlyTheDatesTheTaskRunsOn) {
  const ScheduleRecord tasks[] = {
      dayOfMonth("-M-----", "-----", ymd(2027, 1, 4), at(9, 0)),
      dayOfMonth("--T-T--", "-2-4-", ymd(2027, 1, 12), at(9, 0)),
      dayOfMonth("-----F-", "----L", ymd(2027, 1, 29), at(9, 0)),
      dayOfMonth("S-----S", "1-3-L", ymd(2027, 1, 2), at(9, 0)),
      lastDayOfMonthTask(ymd(2027, 1, 31), at(9, 0)),
      dayOfWeek("-M-W-F-", ymd(2027, 1, 1), at(9, 0)),
      semiMonthly("Twice - 1st, 15th", 0, ymd(2027, 1, 1), at(9, 0)),
      semiMonthly("Twice - 15th, Last", -2, ymd(2027, 1, 13), at(9, 0)),
  };
  for (const ScheduleRecord& start : tasks) {
    std::vector<int32_t> runs{start.Date};
    ScheduleRecord t = start;
    while (t.Date < ymd(2029, 1, 1)) {
      NextOccurrence(t, t.Date, t.Time);
      runs.push_back(t.Date);
    }
    std::vector<int32_t> accepted;
    for (int32_t d = start.Date; d <= runs.back(); ++d)
      if (IsValidScheduleDate(start, d, false)) accepted.push_back(d);
    SCOPED_TRACE(moment(start.Date, start.Time) + " " + start.ScheduleType.str());
    EXPECT_EQ(accepted, runs);
  }
}

TEST(IsValidScheduleDate, UsesTheTaskDateOnRequestOrForDateZero) {
  ScheduleRecord t = dayOfWeek("-M-----", ymd(2024, 1, 1), at(10, 0));
  EXPECT_TRUE(IsValidScheduleDate(t, 0, false));
  EXPECT_TRUE(IsValidScheduleDate(t, ymd(2024, 1, 2), true));
  EXPECT_FALSE(IsValidScheduleDate(t, ymd(2024, 1, 2), false));
}

namespace {

struct Reschedule {
  const char* name;
  ScheduleRecord task;
  int32_t date, time;  // the chosen moment
  int32_t wantDate, wantTime;
};

void runReschedule(const std::vector<Reschedule>& rows) {
  for (const Reschedule& row : rows) {
    SCOPED_TRACE(row.name);
    ScheduleRecord t = row.task;
    ASSERT_TRUE(ReschedulePreviousOccurrence(t, row.date, row.time));
    NextOccurrence(t, row.date, row.time);
    EXPECT_EQ(moment(t.Date, t.Time), moment(row.wantDate, row.wantTime));
    EXPECT_EQ(t.Completed, 0);
  }
}

}  // namespace

TEST(Reschedule, BackThenForwardLandsOnTheFirstOccurrenceAfterTheMoment) {
  runReschedule({
      // Wednesday 10 January 2024; the weekly task is due in three weeks, on Monday 29 January.
      {"weekly task due in three weeks, moment tomorrow 09:00", dayOfWeek("-M-----", ymd(2024, 1, 29), at(10, 0)),
       ymd(2024, 1, 11), at(9, 0), ymd(2024, 1, 15), at(10, 0)},
      {"daily task overdue by a month moves forward only", custom(1, "day(s)", ymd(2023, 12, 10), at(10, 0)),
       ymd(2024, 1, 11), at(9, 0), ymd(2024, 1, 11), at(10, 0)},
      {"every 15 minutes, due in ten days", custom(15, "minute(s)", ymd(2024, 1, 20), at(10, 7)), ymd(2024, 1, 11),
       at(9, 0), ymd(2024, 1, 11), at(9, 7)},
      {"every 15 minutes, moment on its grid", custom(15, "minute(s)", ymd(2024, 1, 20), at(10, 7)), ymd(2024, 1, 11),
       at(9, 7), ymd(2024, 1, 11), at(9, 22)},
      {"every 3 hours, due in two days", custom(3, "hour(s)", ymd(2024, 1, 13), at(1, 0)), ymd(2024, 1, 11),
       at(12, 30), ymd(2024, 1, 11), at(13, 0)},
      {"every 2 weeks keeps its fortnight", custom(2, "week(s)", ymd(2024, 2, 12), at(10, 0)), ymd(2024, 1, 10),
       at(9, 0), ymd(2024, 1, 15), at(10, 0)},
      {"15th/last from 31 March back to February", semiMonthly("Twice - 15th, Last", 0, ymd(2024, 3, 31), at(10, 0)),
       ymd(2024, 2, 20), at(12, 0), ymd(2024, 2, 29), at(10, 0)},
      {"1st/15th offset 3 from June back to March", semiMonthly("Twice - 1st, 15th", 3, ymd(2024, 6, 4), at(10, 0)),
       ymd(2024, 3, 10), at(12, 0), ymd(2024, 3, 18), at(10, 0)},
      {"monthly on the 31st keeps its day going back", task("Monthly", ymd(2024, 3, 31), at(10, 0)),
       ymd(2024, 1, 10), at(9, 0), ymd(2024, 1, 31), at(10, 0)},
      {"yearly, two years ahead", task("Yearly", ymd(2026, 6, 15), at(10, 0)), ymd(2024, 1, 1), at(9, 0),
       ymd(2024, 6, 15), at(10, 0)},
      // Tuesdays of February 2024: 6, 13, 20, 27; of March: 5, 12.
      {"second Tuesday, moment after February's", dayOfMonth("--T----", "-2---", ymd(2024, 5, 14), at(10, 0)),
       ymd(2024, 2, 20), at(9, 0), ymd(2024, 3, 12), at(10, 0)},
      {"last day of the month on the moment's day, later time", lastDayOfMonthTask(ymd(2024, 4, 30), at(10, 0)),
       ymd(2024, 3, 31), at(9, 0), ymd(2024, 3, 31), at(10, 0)},
      {"last day of the month on the moment's day, earlier time", lastDayOfMonthTask(ymd(2024, 4, 30), at(10, 0)),
       ymd(2024, 3, 31), at(11, 0), ymd(2024, 4, 30), at(10, 0)},
      {"a task already before the moment is only moved forward", task("Monthly", ymd(2024, 1, 5), at(10, 0)),
       ymd(2024, 3, 10), at(9, 0), ymd(2024, 4, 5), at(10, 0)},
  });
}

TEST(Reschedule, OnceTaskIsLeftPending) {
  ScheduleRecord t = task("Once", ymd(2024, 5, 1), at(10, 0));
  EXPECT_TRUE(ReschedulePreviousOccurrence(t, ymd(2024, 3, 1), at(9, 0)));
  EXPECT_EQ(t.Date, ymd(2024, 5, 1));
  EXPECT_EQ(t.Time, at(10, 0));
  EXPECT_EQ(t.Completed, 0);
}

TEST(Reschedule, TooManyBackwardStepsGivesUpAndLeavesTheTask) {
  struct Row {
    const char* name;
    ScheduleRecord task;
    bool wantDone;
  };
  // The moment is 1 January 2024 09:00.
  const Row rows[] = {
      {"every minute, 100000 steps ahead: within the limit", custom(1, "minute(s)", ymd(2024, 1, 1), at(9, 0) + 99999 * 6000), true},
      {"every minute, a year ahead", custom(1, "minute(s)", ymd(2025, 1, 1), at(9, 0)), false},
      {"every day, 300 years ahead", custom(1, "day(s)", ymd(2324, 1, 1), at(9, 0)), false},
      {"every weekday of 400 years ahead", dayOfWeek("-MTWTF-", ymd(2424, 1, 1), at(9, 0)), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScheduleRecord t = row.task;
    ScheduleRecord before = t;
    // Normalise the day-spanning time of the first row the way FIXDATE would.
    EXPECT_EQ(ReschedulePreviousOccurrence(t, ymd(2024, 1, 1), at(9, 0)), row.wantDone);
    if (!row.wantDone) {
      EXPECT_EQ(t.Date, before.Date);
      EXPECT_EQ(t.Time, before.Time);
    } else {
      EXPECT_LT(t.Date * 8640000LL + t.Time, ymd(2024, 1, 1) * 8640000LL + at(9, 0));
    }
  }
}

TEST(Reschedule, UnknownUnitGoesToTheDayBeforeTheMomentWithOneMessage) {
  RecordingHost messages;
  ScheduleRecord t = custom(1, "sec", ymd(2024, 3, 20), at(10, 0));
  {
    CalculationScope calculation;
    ASSERT_TRUE(ReschedulePreviousOccurrence(t, ymd(2024, 3, 10), at(9, 0)));
    EXPECT_EQ(t.Date, ymd(2024, 3, 9));
    NextOccurrence(t, ymd(2024, 3, 10), at(9, 0));
  }
  EXPECT_EQ(t.Date, ymd(2024, 3, 11));
  EXPECT_EQ(messages.messages.size(), 1u);
}
