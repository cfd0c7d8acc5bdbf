#include "editors/recurrence.h"

#include <gtest/gtest.h>

namespace ov::editors {
namespace {

using files::ScheduleRec;

ScheduleRec task(const char* type) {
  ScheduleRec t;
  t.ScheduleType = type;
  return t;
}

TEST(DescribeRecurrence, OneLinePerScheduleType) {
  struct Case {
    const char* name;
    ScheduleRec rec;
    const char* text;
  };
  std::vector<Case> cases;
  cases.push_back({"once", task("Once"), "Once"});
  cases.push_back({"monthly", task("Monthly"), "Monthly"});
  {
    ScheduleRec t = task("Monthly");
    t.MonthRepeat = "Twice a month";
    cases.push_back({"twice, no offset", t, "Twice Monthly"});
    t.MonthRepeat = "twice";
    t.Offset = 3;
    cases.push_back({"twice, offset 3, lower case", t, "Twice Monthly (3)"});
  }
  {
    ScheduleRec t = task("Day of Week");
    t.Monday = t.Friday = 1;
    cases.push_back({"day of week", t, "Days: Mon, Fri"});
    cases.push_back({"day of week, none", task("Day of Week"), "Days:"});
  }
  {
    ScheduleRec t = task("Day of Month");
    t.Every1st = t.Every3rd = 1;
    t.Monday = t.Wednesday = 1;
    cases.push_back({"day of month", t, "Days: 1st, 3rd: Mon, Wed"});
    ScheduleRec u = task("Day of Month");
    u.Every1st = u.EveryLast = 1;
    u.Tuesday = 1;
    cases.push_back({"day of month, last", u, "Days: 1st, Last: Tue"});
    cases.push_back({"day of month, none", task("Day of Month"), "Days::"});
  }
  for (const char* type : {"Every", "Custom", "Other"}) {
    ScheduleRec t = task(type);
    t.Every = 15;
    t.EveryType = "Minutes";
    cases.push_back({type, t, "Every 15 Minutes"});
  }
  cases.push_back({"yearly", task("Yearly"), "Yearly"});
  cases.push_back({"other capitals kept", task("MONTHLY"), "MONTHLY"});
  cases.push_back({"other capitals, once", task("once"), "once"});
  {
    ScheduleRec t = task("Day of Week");
    t.Sunday = 1;
    t.ExceptWeekends = 1;
    cases.push_back({"weekend exception", t, "Days: Sun (exceptions exist)"});
    ScheduleRec u = task("Once");
    u.ExceptOther = "Mon";
    cases.push_back({"excluded weekday", u, "Once (exceptions exist)"});
    ScheduleRec v = task("Yearly");
    v.ExceptTime = 1;
    cases.push_back({"time range", v, "Yearly (exceptions exist)"});
  }
  for (const Case& c : cases) EXPECT_EQ(DescribeRecurrence(c.rec), c.text) << c.name;
}

TEST(DescribeRecurrence, LongTextIsCutAt80BeforeAndAfterTheExceptionNote) {
  ScheduleRec t = task("Every");
  t.Every = 123456789;
  t.EveryType = "Minutes";
  EXPECT_EQ(DescribeRecurrence(t), "Every 123456789 Minutes");

  // A day-of-month text of all ordinals and weekdays is 64 characters; the note then passes 80.
  ScheduleRec d = task("Day of Month");
  d.Every1st = d.Every2nd = d.Every3rd = d.Every4th = d.EveryLast = 1;
  d.Sunday = d.Monday = d.Tuesday = d.Wednesday = d.Thursday = d.Friday = d.Saturday = 1;
  const std::string plain = DescribeRecurrence(d);
  EXPECT_EQ(plain, "Days: 1st, 2nd, 3rd, 4th, Last: Sun, Mon, Tue, Wed, Thu, Fri, Sat");
  d.ExceptHolidays = 1;
  const std::string noted = DescribeRecurrence(d);
  EXPECT_EQ(noted.size(), 80u);
  EXPECT_EQ(noted, (plain + " (exceptions exist)").substr(0, 80));

  ScheduleRec w = task(std::string(15, 'X').c_str());
  EXPECT_EQ(DescribeRecurrence(w), std::string(15, 'X'));
}

TEST(DescribeRecurrence, ReadsTheScheduleBuffer) {
  files::SCH = task("Day of Week");
  files::SCH.Saturday = 1;
  EXPECT_EQ(DescribeRecurrence(), "Days: Sat");
}

}  // namespace
}  // namespace ov::editors
