#include "reports/schedule_texts.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/rt/date_time.h"

namespace ov::reports {
namespace {

using Task = files::ScheduleRec;

Task task(const char* type, const std::function<void(Task&)>& fill = {}) {
  Task t;
  t.ScheduleType = type;
  if (fill) fill(t);
  return t;
}

TEST(ScheduleDescriptionText, SaysHowATaskRepeats) {
  struct Case {
    const char* name;
    Task task;
    const char* want;
  };
  const Case cases[] = {
      {"once", task("Once"), "Once"},
      {"once with another exception", task("Once", [](Task& t) { t.ExceptOther = "x"; }),
       "Once (exceptions exist)"},
      {"Monday and Friday, holidays excepted",
       task("Day of Week", [](Task& t) { t.Monday = t.Friday = t.ExceptHolidays = 1; }),
       "Days: Mon, Fri (exceptions exist)"},
      {"weekday list without days", task("Day of Week"), "Days:"},
      {"first and last Tuesday",
       task("Day of Month", [](Task& t) { t.Every1st = t.EveryLast = t.Tuesday = 1; }), "Days: 1st, Last: Tue"},
      {"second and fourth Sunday, Saturday",
       task("Day of Month", [](Task& t) { t.Every2nd = t.Every4th = t.Sunday = t.Saturday = 1; }),
       "Days: 2nd, 4th: Sun, Sat"},
      {"twice monthly with offset",
       task("Monthly", [](Task& t) { t.MonthRepeat = "Twice - 1st, 15th"; t.Offset = 2; }), "Twice Monthly (2)"},
      {"twice monthly, no offset", task("Monthly", [](Task& t) { t.MonthRepeat = "twice - 15th, Last"; }),
       "Twice Monthly"},
      {"monthly once", task("Monthly", [](Task& t) { t.MonthRepeat = "Once"; }), "Monthly"},
      {"every 1 drops (s)", task("Custom", [](Task& t) { t.Every = 1; t.EveryType = "day(s)"; }), "Every 1 day"},
      {"every 2 keeps (s)", task("Custom", [](Task& t) { t.Every = 2; t.EveryType = "day(s)"; }), "Every 2 day(s)"},
      {"every 1 without (s)", task("Every", [](Task& t) { t.Every = 1; t.EveryType = "Hours"; }), "Every 1 Hours"},
      {"yearly keeps its name", task("Yearly"), "Yearly"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ScheduleDescriptionText(c.task), c.want);
  }
}

TEST(DateFitsSchedule, FollowsEachKindOfRecurrence) {
  const int32_t fri29 = rt::DATE(5, 29, 2026);  // Friday 29 May 2026, the last Friday
  const int32_t fri22 = rt::DATE(5, 22, 2026);
  const int32_t fri1 = rt::DATE(5, 1, 2026);
  ASSERT_EQ(rt::weekday(fri29), 5);
  struct Case {
    const char* name;
    Task task;
    int32_t date;
    bool want;
  };
  const Case cases[] = {
      {"once fits any day", task("Once"), fri1, true},
      {"yearly fits any day", task("Yearly"), fri1, true},
      {"day of week, flag set", task("Day of Week", [](Task& t) { t.Friday = 1; }), fri1, true},
      {"day of week, flag clear", task("Day of Week", [](Task& t) { t.Monday = 1; }), fri1, false},
      {"day of week without flags", task("Day of Week"), fri1, false},
      {"last Friday on the 29th",
       task("Day of Month", [](Task& t) { t.EveryLast = t.Friday = 1; }), fri29, true},
      {"last Friday, not on the 22nd",
       task("Day of Month", [](Task& t) { t.EveryLast = t.Friday = 1; }), fri22, false},
      {"4th Friday on the 22nd", task("Day of Month", [](Task& t) { t.Every4th = t.Friday = 1; }), fri22, true},
      {"1st Friday, wrong weekday flag", task("Day of Month", [](Task& t) { t.Every1st = t.Monday = 1; }), fri1, false},
      {"last day of month", task("Day of Month", [](Task& t) { t.LastDayOfMonth = 1; }), rt::DATE(2, 28, 2026), true},
      {"not the last day", task("Day of Month", [](Task& t) { t.LastDayOfMonth = 1; }), rt::DATE(2, 27, 2026), false},
      {"twice 1st/15th on the 15th", task("Monthly", [](Task& t) { t.MonthRepeat = "Twice - 1st, 15th"; }),
       rt::DATE(6, 15, 2026), true},
      {"twice 1st/15th on the 1st", task("Monthly", [](Task& t) { t.MonthRepeat = "Twice - 1st, 15th"; }),
       rt::DATE(6, 1, 2026), true},
      {"twice 1st/15th on the 30th", task("Monthly", [](Task& t) { t.MonthRepeat = "Twice - 1st, 15th"; }),
       rt::DATE(6, 30, 2026), false},
      {"twice 15th/last on the 30th of June", task("Monthly", [](Task& t) { t.MonthRepeat = "Twice - 15th, Last"; }),
       rt::DATE(6, 30, 2026), true},
      {"twice with offset 2 on the 3rd",
       task("Monthly", [](Task& t) { t.MonthRepeat = "Twice - 1st, 15th"; t.Offset = 2; }), rt::DATE(6, 3, 2026), true},
      {"monthly once fits any day", task("Monthly", [](Task& t) { t.MonthRepeat = "Once"; }), rt::DATE(6, 9, 2026), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DateFitsSchedule(c.task, c.date), c.want);
  }
  // 0 tests the task's own date.
  Task own = task("Day of Week", [&](Task& t) { t.Friday = 1; t.Date = fri1; });
  EXPECT_TRUE(DateFitsSchedule(own, 0));
}

TEST(MonthNumber, ExactNamesOnly) {
  EXPECT_EQ(monthNumber("January"), 1);
  EXPECT_EQ(monthNumber("December "), 12);
  EXPECT_EQ(monthNumber("september"), 0);
  EXPECT_EQ(monthNumber(""), 0);
  EXPECT_EQ(monthNumber("Jan"), 0);
}

}  // namespace
}  // namespace ov::reports
