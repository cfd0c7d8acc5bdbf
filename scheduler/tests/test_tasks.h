// Small builders for task records in the scheduler tests.
#pragma once

#include <cstdio>
#include <string>

#include "platform/rt/date_time.h"
#include "scheduler/schedule_record.h"

namespace ov::scheduler::testing {

// A time of day in runtime units (centiseconds after midnight plus one).
constexpr int32_t at(int h, int m, int s = 0, int cs = 0) { return ((h * 60 + m) * 60 + s) * 100 + cs + 1; }

inline int32_t ymd(int y, int m, int d) { return rt::DATE(m, d, y); }

// "2024-03-10 10:00:00.00" for failure messages.
inline std::string moment(int32_t date, int32_t time) {
  char buf[48];
  const int32_t t = time - 1;
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%02d (%d, %d)", rt::YEAR(date), rt::MONTH(date),
                rt::DAY(date), t / 360000, t / 6000 % 60, t / 100 % 60, t % 100, date, time);
  return buf;
}

// Weekdays as seven characters, Sunday first; any character but '-' chooses the day: "-M-W-F-".
inline void setWeekdays(ScheduleRecord& r, const char* days) {
  uint8_t* flags[7] = {&r.Sunday, &r.Monday, &r.Tuesday, &r.Wednesday, &r.Thursday, &r.Friday, &r.Saturday};
  for (int i = 0; i < 7; ++i) *flags[i] = days[i] != '-';
}

// Weeks of the month as five characters, 1st..4th and last: "-2---", "----L".
inline void setWeeks(ScheduleRecord& r, const char* weeks) {
  uint8_t* flags[5] = {&r.Every1st, &r.Every2nd, &r.Every3rd, &r.Every4th, &r.EveryLast};
  for (int i = 0; i < 5; ++i) *flags[i] = weeks[i] != '-';
}

// The test clock fixed for a scope.
struct ClockAt {
  ClockAt(int32_t date, int32_t time) { rt::setTestClock(date, time); }
  ~ClockAt() { rt::clearTestClock(); }
  ClockAt(const ClockAt&) = delete;
  ClockAt& operator=(const ClockAt&) = delete;
};

inline ScheduleRecord task(const char* type, int32_t date, int32_t time) {
  ScheduleRecord r;
  r.ID = 1;
  r.ScheduleType = type;
  r.Date = date;
  r.Time = time;
  return r;
}

inline ScheduleRecord custom(int every, const char* unit, int32_t date, int32_t time) {
  ScheduleRecord r = task("Custom", date, time);
  r.Every = every;
  r.EveryType = unit;
  return r;
}

inline ScheduleRecord dayOfWeek(const char* days, int32_t date, int32_t time) {
  ScheduleRecord r = task("Day of Week", date, time);
  setWeekdays(r, days);
  return r;
}

inline ScheduleRecord dayOfMonth(const char* days, const char* weeks, int32_t date, int32_t time) {
  ScheduleRecord r = task("Day of Month", date, time);
  setWeekdays(r, days);
  setWeeks(r, weeks);
  return r;
}

inline ScheduleRecord lastDayOfMonthTask(int32_t date, int32_t time) {
  ScheduleRecord r = task("Day of Month", date, time);
  r.LastDayOfMonth = 1;
  return r;
}

inline ScheduleRecord semiMonthly(const char* repeat, int offset, int32_t date, int32_t time) {
  ScheduleRecord r = task("Monthly", date, time);
  r.MonthRepeat = repeat;
  r.Offset = offset;
  return r;
}

}  // namespace ov::scheduler::testing
