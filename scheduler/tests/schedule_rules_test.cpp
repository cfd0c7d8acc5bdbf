// The schedule rules followed through the running scheduler: a task stored with its first
// occurrence, the program looking from a given moment on, and the local clock moving on as real
// time passes in the task's time zone. Each row lists every reminder shown, at the moment the clock
// showed, until the end of its last day; between occurrences the clock goes straight to the next
// moment the scheduler waits for, or a minute at a time across the clock being put forward.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scheduler/runner.h"
#include "scheduler/tests/data_fixture.h"
#include "scheduler/tests/test_tasks.h"

namespace ov::scheduler::testing {
namespace {

// Answers every question Yes, and keeps the titles asked.
class YesHost : public RecordingHost {
 public:
  int message(const ui::MessageRequest& request) override {
    messages.push_back(request);
    return ui::BUTTON::Yes;
  }
};

struct Rule {
  const char* name;
  const char* tz;
  ScheduleRecord task;                // date and time: its first occurrence
  std::vector<int32_t> holidays;
  int32_t nowDate, nowTime;           // the program starts looking
  int32_t untilDate;                  // the last local day watched
  std::vector<std::string> runs;      // "YYYY-MM-DD HH:MM" of every reminder shown
  std::vector<std::string> asked{};   // titles of the questions asked (answered Yes)
  int32_t skipIfDaysPassed = 0;
};

class ScheduleRules : public DataFixture {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) m_savedTz = tz;
    DataFixture::SetUp();
  }
  void TearDown() override {
    runnerState() = RunnerState{};
    runnerFrame() = RunnerFrame{};
    DataFixture::TearDown();
    if (m_savedTz)
      setenv("TZ", m_savedTz->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  void follow(const Rule& rule);
  std::optional<std::string> m_savedTz;
};

std::string shownAt() {
  const int32_t date = rt::TODAY(), cs = rt::CLOCK() - 1;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", rt::YEAR(date), rt::MONTH(date), rt::DAY(date),
                cs / 360000, cs / 6000 % 60);
  return buf;
}

// The local clock's reading, in seconds, at `seconds` after the instant s.
int64_t readingAfter(int64_t s, int64_t seconds) {
  int32_t date = 0, time = 0;
  rt::fromUnixTime(s + seconds, date, time);
  return int64_t(date) * 86400 + (time - 1) / 100;
}

void ScheduleRules::follow(const Rule& rule) {
  setenv("TZ", rule.tz, 1);
  tzset();
  runnerState() = RunnerState{};
  runnerFrame() = RunnerFrame{};
  files::TASK.SKIPIFDAYSPASSED = rule.skipIfDaysPassed;
  YesHost host;
  std::vector<std::string> runs;
  services().showReminder = [&runs](const ReminderText&) { runs.push_back(shownAt()); };
  services().runTaskProgram = [](int32_t, std::string_view, std::string_view) { return 0; };
  for (int32_t day : rule.holidays) addHoliday(day);
  ScheduleRecord t = rule.task;
  t.ID = 0;
  if (t.TaskType.clipped().empty()) t.TaskType = "Display Message";
  t.Description = rule.name;
  t.Message = "Due";
  ASSERT_NE(addTask(t), 0);

  int64_t s = rt::toUnixTime(rule.nowDate, rule.nowTime);
  for (int guard = 0; guard < 20000; ++guard) {
    int32_t date = 0, time = 0;
    rt::fromUnixTime(s, date, time);
    if (date > rule.untilDate) break;
    rt::setTestClock(date, time);
    const int before = runnerState().RefreshPending;
    FindNextTask();
    if (runnerState().RefreshPending != before) continue;  // performed one: look again at once
    const RunnerState& st = runnerState();
    if (st.nextTaskText == "No tasks pending") break;
    const int64_t ahead = (int64_t(st.NextCheckDate) - date) * 86400 + (int64_t(st.NextCheckTime) - time) / 100;
    // Straight to the next look when the clock reading moves with real time up to it; across the
    // clock being put forward, by shorter jumps down to a minute.
    int64_t jump = std::max<int64_t>(60, ahead / 60 * 60);
    while (jump > 60 && readingAfter(s, jump) != readingAfter(s, 0) + jump) jump = std::max<int64_t>(60, jump / 120 * 60);
    s += jump;
  }
  EXPECT_EQ(runs, rule.runs);
  EXPECT_EQ(host.titles(), rule.asked);
}

ScheduleRecord with(ScheduleRecord t, const std::function<void(ScheduleRecord&)>& change) {
  change(t);
  return t;
}

ScheduleRecord expiring(ScheduleRecord t, int32_t date, int32_t time) {
  t.ExpiryDate = date;
  t.ExpiryTime = time;
  return t;
}

ScheduleRecord semi(const char* repeat, int32_t offset, int32_t date, int32_t time) {
  ScheduleRecord t = task("Monthly", date, time);
  t.MonthRepeat = repeat;
  t.Offset = offset;
  return t;
}

TEST_F(ScheduleRules, OccurrencesOneAfterAnother) {
  const int32_t ten = at(10, 0);
  auto daily = [&](int32_t date, int32_t time) { return custom(1, "day(s)", date, time); };
  auto expires = [&](int32_t date, int32_t time) { return expiring(daily(ymd(2027, 6, 1), ten), date, time); };
  auto holidayMonthly = [&](int day, const char* shift) {
    return with(task("Monthly", ymd(2027, 11, day), at(9, 0)), [&](ScheduleRecord& t) {
      t.ExceptHolidays = 1;
      t.ExceptWeekends = 1;
      t.ShiftType = shift;
    });
  };
  auto window = [&](int32_t begin, int32_t end, int32_t date, int32_t time) {
    return with(custom(2, "hour(s)", date, time), [&](ScheduleRecord& t) {
      t.ExceptTime = 1;
      t.ExceptTimeBegin = begin;
      t.ExceptTimeEnd = end;
    });
  };
  auto missedMonthly = [&](auto change) { return with(task("Monthly", ymd(2027, 1, 10), ten), change); };
  auto none = [](ScheduleRecord&) {};

  const Rule rules[] = {
      // Months: the day is kept and carried past a short month's end, from then on.
      {"monthly on 31 January of a leap year", "UTC", task("Monthly", ymd(2028, 1, 31), ten), {}, ymd(2028, 1, 31), ten,
       ymd(2028, 5, 2), {"2028-01-31 10:00", "2028-03-02 10:00", "2028-04-02 10:00", "2028-05-02 10:00"}},
      {"monthly on 29 January of a common year", "UTC", task("Monthly", ymd(2027, 1, 29), ten), {}, ymd(2027, 1, 29), ten,
       ymd(2027, 4, 1), {"2027-01-29 10:00", "2027-03-01 10:00", "2027-04-01 10:00"}},
      {"monthly on 29 January of a leap year", "UTC", task("Monthly", ymd(2028, 1, 29), ten), {}, ymd(2028, 1, 29), ten,
       ymd(2028, 3, 29), {"2028-01-29 10:00", "2028-02-29 10:00", "2028-03-29 10:00"}},
      {"monthly on 30 January of a common year", "UTC", task("Monthly", ymd(2027, 1, 30), ten), {}, ymd(2027, 1, 30), ten,
       ymd(2027, 4, 2), {"2027-01-30 10:00", "2027-03-02 10:00", "2027-04-02 10:00"}},
      {"every 2 months from 31 December", "UTC", custom(2, "month(s)", ymd(2027, 12, 31), ten), {}, ymd(2027, 12, 31), ten,
       ymd(2028, 5, 2), {"2027-12-31 10:00", "2028-03-02 10:00", "2028-05-02 10:00"}},
      {"yearly on 29 February", "UTC", task("Yearly", ymd(2028, 2, 29), ten), {}, ymd(2028, 2, 29), ten,
       ymd(2030, 3, 1), {"2028-02-29 10:00", "2029-03-01 10:00", "2030-03-01 10:00"}},
      {"every year on 29 February", "UTC", custom(1, "year(s)", ymd(2028, 2, 29), ten), {}, ymd(2028, 2, 29), ten,
       ymd(2030, 3, 1), {"2028-02-29 10:00", "2029-03-01 10:00", "2030-03-01 10:00"}},
      {"15th and last through February", "UTC", semi("Twice - 15th, Last", 0, ymd(2027, 1, 15), ten), {},
       ymd(2027, 1, 15), ten, ymd(2027, 3, 31),
       {"2027-01-15 10:00", "2027-01-31 10:00", "2027-02-15 10:00", "2027-02-28 10:00", "2027-03-15 10:00",
        "2027-03-31 10:00"}},
      {"15th and last a day early, leap February", "UTC", semi("Twice - 15th, Last", -1, ymd(2028, 2, 14), ten), {},
       ymd(2028, 2, 14), ten, ymd(2028, 3, 30),
       {"2028-02-14 10:00", "2028-02-28 10:00", "2028-03-14 10:00", "2028-03-30 10:00"}},
      {"1st and 15th three days late, across the year", "UTC", semi("Twice - 1st, 15th", 3, ymd(2027, 12, 18), ten), {},
       ymd(2027, 12, 18), ten, ymd(2028, 2, 4), {"2027-12-18 10:00", "2028-01-04 10:00", "2028-01-18 10:00", "2028-02-04 10:00"}},

      // Weeks of the month go by the day of the month; the last week is the month's last seven days.
      {"fourth Friday: never a fifth one", "UTC", dayOfMonth("-----F-", "---4-", ymd(2027, 1, 22), ten), {},
       ymd(2027, 1, 22), ten, ymd(2027, 4, 30), {"2027-01-22 10:00", "2027-02-26 10:00", "2027-03-26 10:00", "2027-04-23 10:00"}},
      {"last Friday", "UTC", dayOfMonth("-----F-", "----L", ymd(2027, 1, 29), ten), {}, ymd(2027, 1, 29), ten,
       ymd(2027, 4, 30), {"2027-01-29 10:00", "2027-02-26 10:00", "2027-03-26 10:00", "2027-04-30 10:00"}},
      {"fourth and last Friday", "UTC", dayOfMonth("-----F-", "---4L", ymd(2027, 1, 22), ten), {}, ymd(2027, 1, 22), ten,
       ymd(2027, 4, 30),
       {"2027-01-22 10:00", "2027-01-29 10:00", "2027-02-26 10:00", "2027-03-26 10:00", "2027-04-23 10:00",
        "2027-04-30 10:00"}},
      {"weekdays of the last week", "UTC", dayOfMonth("-MTWTF-", "----L", ymd(2027, 1, 25), ten), {}, ymd(2027, 1, 25), ten,
       ymd(2027, 2, 22),
       {"2027-01-25 10:00", "2027-01-26 10:00", "2027-01-27 10:00", "2027-01-28 10:00", "2027-01-29 10:00",
        "2027-02-22 10:00"}},
      {"first Sunday and first Monday, whichever starts the month", "UTC", dayOfMonth("SM-----", "1----", ymd(2027, 7, 4), ten),
       {}, ymd(2027, 7, 4), ten, ymd(2027, 9, 6),
       {"2027-07-04 10:00", "2027-07-05 10:00", "2027-08-01 10:00", "2027-08-02 10:00", "2027-09-05 10:00",
        "2027-09-06 10:00"}},
      {"last day of the month, leap year", "UTC", lastDayOfMonthTask(ymd(2028, 1, 31), ten), {}, ymd(2028, 1, 31), ten,
       ymd(2028, 4, 30), {"2028-01-31 10:00", "2028-02-29 10:00", "2028-03-31 10:00", "2028-04-30 10:00"}},

      // Excluded hours: a window across midnight leaves its begin and end outside; a daytime one
      // holds both.
      {"every 2 hours, 22:00-06:00 excluded", "UTC", window(at(22, 0), at(6, 0), ymd(2027, 6, 1), at(20, 0)), {},
       ymd(2027, 6, 1), at(20, 0), ymd(2027, 6, 2), {"2027-06-01 20:00", "2027-06-01 22:00", "2027-06-02 06:00",
       "2027-06-02 08:00", "2027-06-02 10:00", "2027-06-02 12:00", "2027-06-02 14:00", "2027-06-02 16:00",
       "2027-06-02 18:00", "2027-06-02 20:00", "2027-06-02 22:00"}},
      {"every 2 hours, 09:00-17:00 excluded", "UTC", window(at(9, 0), at(17, 0), ymd(2027, 6, 1), at(7, 0)), {},
       ymd(2027, 6, 1), at(7, 0), ymd(2027, 6, 1), {"2027-06-01 07:00", "2027-06-01 19:00", "2027-06-01 21:00",
       "2027-06-01 23:00"}},

      // Excluded days: 25 December 2027 is a Saturday. A day moved to where the task runs anyway
      // adds no second run at that moment.
      {"holiday on a Saturday, next day", "UTC", holidayMonthly(25, "Next day"), {ymd(2027, 12, 25)}, ymd(2027, 11, 25),
       at(9, 0), ymd(2028, 1, 25), {"2027-11-25 09:00", "2027-12-27 09:00", "2028-01-25 09:00"}},
      {"holiday on a Saturday, previous day", "UTC", holidayMonthly(25, "Previous day"), {ymd(2027, 12, 25)},
       ymd(2027, 11, 25), at(9, 0), ymd(2028, 1, 25), {"2027-11-25 09:00", "2027-12-24 09:00", "2028-01-25 09:00"}},
      {"holiday on a Saturday, skipped", "UTC", holidayMonthly(25, "Skip (to next valid day)"), {ymd(2027, 12, 25)},
       ymd(2027, 11, 25), at(9, 0), ymd(2028, 1, 25), {"2027-11-25 09:00", "2028-01-25 09:00"}},
      {"holiday on a Sunday, kept on Monday too, next day", "UTC", holidayMonthly(26, "Next day"),
       {ymd(2027, 12, 26), ymd(2027, 12, 27)}, ymd(2027, 11, 26), at(9, 0), ymd(2028, 1, 26),
       {"2027-11-26 09:00", "2027-12-28 09:00", "2028-01-26 09:00"}},
      {"daily, weekends to the next day", "UTC", with(daily(ymd(2027, 12, 10), at(9, 0)), [](ScheduleRecord& t) {
         t.ExceptWeekends = 1;
         t.ShiftType = "Next day";
       }), {}, ymd(2027, 12, 10), at(9, 0), ymd(2027, 12, 14), {"2027-12-10 09:00", "2027-12-13 09:00", "2027-12-14 09:00"}},
      {"every 6 hours, weekends to the next day", "UTC", with(custom(6, "hour(s)", ymd(2027, 12, 10), at(18, 0)),
       [](ScheduleRecord& t) {
         t.ExceptWeekends = 1;
         t.ShiftType = "Next day";
       }), {}, ymd(2027, 12, 10), at(18, 0), ymd(2027, 12, 13),
       {"2027-12-10 18:00", "2027-12-13 00:00", "2027-12-13 06:00", "2027-12-13 12:00", "2027-12-13 18:00"}},
      {"daily, weekends to the previous day", "UTC", with(daily(ymd(2027, 12, 9), at(9, 0)), [](ScheduleRecord& t) {
         t.ExceptWeekends = 1;
         t.ShiftType = "Previous day";
       }), {}, ymd(2027, 12, 9), at(9, 0), ymd(2027, 12, 14),
       {"2027-12-09 09:00", "2027-12-10 09:00", "2027-12-13 09:00", "2027-12-14 09:00"}},
      {"the next occurrence skipped once", "UTC", with(custom(1, "week(s)", ymd(2027, 6, 7), ten),
       [](ScheduleRecord& t) { t.SkipNextTime = 1; }), {}, ymd(2027, 6, 7), ten, ymd(2027, 6, 21),
       {"2027-06-14 10:00", "2027-06-21 10:00"}},

      // The end: an occurrence at the expiry moment still runs; an expiry time of 0 is the end of
      // that day.
      {"expiry at an occurrence", "UTC", expires(ymd(2027, 6, 3), ten), {}, ymd(2027, 6, 1), ten, ymd(2027, 6, 8),
       {"2027-06-01 10:00", "2027-06-02 10:00", "2027-06-03 10:00"}},
      {"expiry a moment before an occurrence", "UTC", expires(ymd(2027, 6, 3), at(9, 59, 59, 99)), {}, ymd(2027, 6, 1),
       ten, ymd(2027, 6, 8), {"2027-06-01 10:00", "2027-06-02 10:00"}},
      {"expiry date without a time", "UTC", expires(ymd(2027, 6, 3), 0), {}, ymd(2027, 6, 1), ten, ymd(2027, 6, 8),
       {"2027-06-01 10:00", "2027-06-02 10:00", "2027-06-03 10:00"}},

      // Missed while the program was not running: within the day allowed it runs once at the start,
      // later it is skipped, or asked about when it warns; then it goes on from the start.
      {"missed by an hour: runs once at the start", "UTC", missedMonthly(none), {}, ymd(2027, 1, 10), at(11, 0),
       ymd(2027, 3, 10), {"2027-01-10 11:00", "2027-02-10 10:00", "2027-03-10 10:00"}},
      {"missed by two months: skipped", "UTC", missedMonthly(none), {}, ymd(2027, 3, 5), at(12, 0), ymd(2027, 4, 10),
       {"2027-03-10 10:00", "2027-04-10 10:00"}},
      {"missed by two months, a reminder that warns: skipped", "UTC",
       missedMonthly([](ScheduleRecord& t) { t.Warn = 1; }), {}, ymd(2027, 3, 5), at(12, 0), ymd(2027, 4, 10),
       {"2027-03-10 10:00", "2027-04-10 10:00"}},
      {"missed by two months, a program that warns: asked, runs once", "UTC", missedMonthly([](ScheduleRecord& t) {
         t.Warn = 1;
         t.TaskType = "Both";
       }), {}, ymd(2027, 3, 5), at(12, 0), ymd(2027, 4, 10),
       {"2027-03-05 12:00", "2027-03-10 10:00", "2027-04-10 10:00"}, {"Missed Task"}},
      {"missed by two months, skip if missed", "UTC", missedMonthly([](ScheduleRecord& t) { t.SkipIfMissed = 1; }), {},
       ymd(2027, 3, 5), at(12, 0), ymd(2027, 4, 10), {"2027-03-10 10:00", "2027-04-10 10:00"}},
      {"missed month end, skip if missed: that day's end on the day", "UTC",
       with(lastDayOfMonthTask(ymd(2027, 1, 31), ten), [](ScheduleRecord& t) { t.SkipIfMissed = 1; }), {},
       ymd(2027, 3, 31), at(8, 0), ymd(2027, 4, 30), {"2027-03-31 10:00", "2027-04-30 10:00"}},
      {"daily, missed for two days: skipped, today's still runs", "UTC", daily(ymd(2027, 1, 10), ten), {},
       ymd(2027, 1, 12), at(9, 0), ymd(2027, 1, 13), {"2027-01-12 10:00", "2027-01-13 10:00"}},
      {"daily, missed for two days, three allowed: runs once at the start", "UTC", daily(ymd(2027, 1, 10), ten), {},
       ymd(2027, 1, 12), at(9, 0), ymd(2027, 1, 13), {"2027-01-12 09:00", "2027-01-12 10:00", "2027-01-13 10:00"}, {},
       3},
      {"every 15 minutes, missed for three hours: runs once, then on its own quarters", "UTC",
       expiring(custom(15, "minute(s)", ymd(2027, 1, 10), at(8, 0)), ymd(2027, 1, 10), at(11, 45)), {}, ymd(2027, 1, 10),
       at(11, 7), ymd(2027, 1, 10),
       {"2027-01-10 11:07", "2027-01-10 11:15", "2027-01-10 11:30", "2027-01-10 11:45"}},
      {"a reminder missed by three days: never shown", "UTC", task("Once", ymd(2027, 1, 10), ten), {}, ymd(2027, 1, 13),
       ten, ymd(2027, 1, 20), {}},

      // The local clock put forward and back: days and weeks keep the time of day the clock shows;
      // a time the clock skips runs when it shows the next, a time it shows twice runs once.
      {"every 3 days across the spring change", "Europe/Berlin", custom(3, "day(s)", ymd(2027, 3, 26), ten), {},
       ymd(2027, 3, 26), ten, ymd(2027, 4, 1), {"2027-03-26 10:00", "2027-03-29 10:00", "2027-04-01 10:00"}},
      {"daily at 02:30, spring", "Europe/Berlin", daily(ymd(2027, 3, 27), at(2, 30)), {}, ymd(2027, 3, 27), at(2, 30),
       ymd(2027, 3, 29), {"2027-03-27 02:30", "2027-03-28 03:00", "2027-03-29 02:30"}},
      {"daily at 02:30, autumn", "Europe/Berlin", daily(ymd(2027, 10, 30), at(2, 30)), {}, ymd(2027, 10, 30), at(2, 30),
       ymd(2027, 11, 1), {"2027-10-30 02:30", "2027-10-31 02:30", "2027-11-01 02:30"}},
      {"every 3 days across the autumn change", "Europe/Berlin", custom(3, "day(s)", ymd(2027, 10, 29), ten), {},
       ymd(2027, 10, 29), ten, ymd(2027, 11, 4), {"2027-10-29 10:00", "2027-11-01 10:00", "2027-11-04 10:00"}},
      {"every 2 hours, spring", "America/New_York", custom(2, "hour(s)", ymd(2027, 3, 13), at(22, 0)), {},
       ymd(2027, 3, 13), at(22, 0), ymd(2027, 3, 14),
       {"2027-03-13 22:00", "2027-03-14 00:00", "2027-03-14 03:00", "2027-03-14 04:00", "2027-03-14 06:00",
        "2027-03-14 08:00", "2027-03-14 10:00", "2027-03-14 12:00", "2027-03-14 14:00", "2027-03-14 16:00",
        "2027-03-14 18:00", "2027-03-14 20:00", "2027-03-14 22:00"}},
      {"every hour, autumn", "America/New_York", custom(1, "hour(s)", ymd(2027, 11, 7), at(0, 0)), {}, ymd(2027, 11, 7),
       at(0, 0), ymd(2027, 11, 7),
       {"2027-11-07 00:00", "2027-11-07 01:00", "2027-11-07 02:00", "2027-11-07 03:00", "2027-11-07 04:00",
        "2027-11-07 05:00", "2027-11-07 06:00", "2027-11-07 07:00", "2027-11-07 08:00", "2027-11-07 09:00",
        "2027-11-07 10:00", "2027-11-07 11:00", "2027-11-07 12:00", "2027-11-07 13:00", "2027-11-07 14:00",
        "2027-11-07 15:00", "2027-11-07 16:00", "2027-11-07 17:00", "2027-11-07 18:00", "2027-11-07 19:00",
        "2027-11-07 20:00", "2027-11-07 21:00", "2027-11-07 22:00", "2027-11-07 23:00"}},
      {"weekly on Sunday at 01:30, autumn", "America/New_York", dayOfWeek("S------", ymd(2027, 10, 31), at(1, 30)), {},
       ymd(2027, 10, 31), at(1, 30), ymd(2027, 11, 14), {"2027-10-31 01:30", "2027-11-07 01:30", "2027-11-14 01:30"}},
  };
  for (const Rule& rule : rules) {
    SCOPED_TRACE(rule.name);
    TearDown();
    SetUp();
    follow(rule);
  }
}

}  // namespace
}  // namespace ov::scheduler::testing
