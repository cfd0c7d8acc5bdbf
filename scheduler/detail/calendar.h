// Calendar arithmetic shared by the recurrence and exception rules. Internal to scheduler/.
#pragma once

#include <cstdint>

#include "platform/rt/date_time.h"
#include "scheduler/schedule_record.h"

namespace ov::scheduler::detail {

constexpr int64_t kDay = ov::rt::kCentisecondsPerDay;

constexpr int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
constexpr int64_t ceilDiv(int64_t a, int64_t b) { return -floorDiv(-a, b); }

constexpr bool inCalendar(int64_t date) { return date >= rt::kFirstDate && date <= rt::kLastDate; }

// Stores `value` into `date` when it lies in the calendar; false (and no change) otherwise.
inline bool setDate(int32_t& date, int64_t value) {
  if (!inCalendar(value)) return false;
  date = int32_t(value);
  return true;
}

// The last day of the month of `date` (a date in the calendar).
inline int32_t lastDayOfMonth(int32_t date) {
  const int32_t next = rt::DATE(rt::MONTH(date) + 1, 1, rt::YEAR(date));
  return next ? next - 1 : rt::kLastDate;
}

// Same day of the month, `months` later, carried by DATE (31 January + 1 month = 3 March).
inline bool addMonths(int32_t& date, int64_t months) {
  if (!inCalendar(date)) return false;
  const int64_t m = rt::MONTH(date) + months;
  if (m > 12 * 10000) return false;
  const int32_t next = rt::DATE(int32_t(m), rt::DAY(date), rt::YEAR(date));
  return next != 0 && setDate(date, next);
}

// Same day of the month, `months` earlier; where that day doesn't exist in the month reached,
// goes back by `months` again (29 February back one year is 29 February four years before), so
// that a backward step never changes the task's day.
inline bool subtractMonthsKeepingDay(int32_t& date, int64_t months) {
  if (!inCalendar(date)) return false;
  const int32_t day = rt::DAY(date);
  const int64_t index = int64_t(rt::YEAR(date)) * 12 + rt::MONTH(date) - 1;
  for (int64_t i = 1; i <= 12; ++i) {
    const int64_t at = index - i * months;
    const int64_t y = floorDiv(at, 12);
    if (y < 1801) return false;
    const int32_t m = int32_t(at - y * 12) + 1;
    if (day <= rt::daysInMonth(m, int32_t(y))) return setDate(date, rt::DATE(m, day, int32_t(y)));
  }
  const int64_t at = index - months;
  const int64_t y = floorDiv(at, 12);
  if (y < 1801) return false;
  return setDate(date, rt::DATE(int32_t(at - y * 12) + 1, day, int32_t(y)));
}

// Bit w (0 Sunday .. 6 Saturday) set for each chosen weekday of the task.
inline unsigned weekdayMask(const ScheduleRecord& t) {
  const uint8_t flags[7] = {t.Sunday, t.Monday, t.Tuesday, t.Wednesday, t.Thursday, t.Friday, t.Saturday};
  unsigned mask = 0;
  for (int w = 0; w < 7; ++w)
    if (flags[w]) mask |= 1u << w;
  return mask;
}

inline bool isChosen(unsigned mask, int64_t date) { return date >= 0 && (mask >> (date % 7)) & 1u; }

// The first day from `from` on whose weekday is chosen; `from` itself when none is chosen.
inline int64_t firstChosenFrom(int64_t from, unsigned mask) {
  if (mask == 0) return from;
  while (!isChosen(mask, from)) ++from;
  return from;
}

// The last day up to `until` whose weekday is chosen; `until` itself when none is chosen.
inline int64_t lastChosenUntil(int64_t until, unsigned mask) {
  if (mask == 0) return until;
  while (until > 0 && !isChosen(mask, until)) --until;
  return until;
}

// How many days in [from, to) have a chosen weekday (every day counts when none is chosen).
inline int64_t chosenDaysBetween(int64_t from, int64_t to, unsigned mask) {
  if (to <= from) return 0;
  if (mask == 0) return to - from;
  const int64_t weeks = (to - from) / 7;
  int64_t count = weeks * __builtin_popcount(mask);
  for (int64_t d = from + weeks * 7; d < to; ++d) count += isChosen(mask, d);
  return count;
}

}  // namespace ov::scheduler::detail
