#include "scheduler/occurrence.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/rt/date_time.h"
#include "platform/rt/text.h"
#include "scheduler/detail/calendar.h"
#include "platform/ui/host.h"

namespace ov::scheduler {

using namespace detail;

namespace {

// Calculations run on the GUI thread (the runner, the forms, the task lists), like every user of
// the SCHEDULE buffer, so one scope state serves the process.
int g_scopeDepth = 0;
bool g_unitsWarned = false;

void warnInvalidUnits() {
  if (g_scopeDepth > 0 && g_unitsWarned) return;
  g_unitsWarned = true;
  ui::MESSAGE("Custom repetition is not set up properly.  Select units.", "Invalid Units", ui::Icon::Exclamation);
}

bool isSemiMonthlyToLast(const ScheduleRecord& t) {
  return rt::UPPER(t.MonthRepeat.view()).find("LAST") != std::string::npos;
}

// Adds one half-month step of the semi-monthly pattern. False when the calendar ends.
bool stepSemiMonthly(ScheduleRecord& t) {
  const int64_t base = int64_t(t.Date) - t.Offset;
  if (!inCalendar(base)) return false;
  const int32_t b = int32_t(base);
  const int32_t d = rt::DAY(b), m = rt::MONTH(b), y = rt::YEAR(b);
  int32_t next;
  if (d == 15) {
    next = rt::DATE(m + 1, 1, y);
    if (next && isSemiMonthlyToLast(t)) next -= 1;
  } else if (d < 15) {
    next = rt::DATE(m, 15, y);
  } else {
    next = rt::DATE(m + 1, 15, y);
  }
  return next && setDate(t.Date, int64_t(next) + t.Offset);
}

// Steps back to the previous date of the semi-monthly pattern (1st/15th or 15th/last).
bool stepBackSemiMonthly(ScheduleRecord& t) {
  const int64_t base = int64_t(t.Date) - t.Offset;
  if (!inCalendar(base)) return false;
  const int32_t b = int32_t(base);
  const int32_t d = rt::DAY(b), m = rt::MONTH(b), y = rt::YEAR(b);
  int32_t prev;
  if (isSemiMonthlyToLast(t)) {
    prev = d > 15 ? rt::DATE(m, 15, y) : rt::DATE(m, 1, y) - 1;  // 15th, or last of the month before
  } else if (d > 15) {
    prev = rt::DATE(m, 15, y);
  } else if (d > 1) {
    prev = rt::DATE(m, 1, y);
  } else {
    prev = rt::DATE(m - 1, 15, y);
  }
  return prev > 0 && setDate(t.Date, int64_t(prev) + t.Offset);
}

bool weekMatches(const ScheduleRecord& t, int32_t date) {
  const int32_t day = rt::DAY(date);
  if (day <= 7 && t.Every1st) return true;
  if (day >= 8 && day <= 14 && t.Every2nd) return true;
  if (day >= 15 && day <= 21 && t.Every3rd) return true;
  if (day >= 22 && day <= 28 && t.Every4th) return true;
  return t.EveryLast && lastDayOfMonth(date) - date < 7;
}

bool anyWeekChosen(const ScheduleRecord& t) {
  return t.Every1st || t.Every2nd || t.Every3rd || t.Every4th || t.EveryLast;
}

// Linear centiseconds of a (date, time) pair; FIXDATE keeps this value.
int64_t linear(int32_t date, int32_t time) { return int64_t(date) * kDay + time; }

// The normalised pair of a linear value (time in 1..8640000). False outside the calendar.
bool setLinear(ScheduleRecord& t, int64_t l) {
  const int64_t date = floorDiv(l - 1, kDay);
  if (date > rt::kLastDate || date < 0) return false;
  t.Date = int32_t(date);
  t.Time = int32_t(l - date * kDay);
  return true;
}

int64_t customStep(const ScheduleRecord& t, CustomUnit unit) {
  return int64_t(t.Every) * (unit == CustomUnit::Minute ? 6000 : 360000);
}

}  // namespace

CalculationScope::CalculationScope() {
  if (g_scopeDepth++ == 0) g_unitsWarned = false;
}
CalculationScope::~CalculationScope() { --g_scopeDepth; }

ScheduleKind scheduleKind(const ScheduleRecord& t) {
  if (t.ScheduleType == "Once") return ScheduleKind::Once;
  if (t.ScheduleType == "Monthly") {
    return rt::UPPER(t.MonthRepeat.view().substr(0, 5)) == "TWICE" ? ScheduleKind::SemiMonthly
                                                                     : ScheduleKind::Monthly;
  }
  if (t.ScheduleType == "Yearly") return ScheduleKind::Yearly;
  if (t.ScheduleType == "Day of Week") return ScheduleKind::DayOfWeek;
  if (t.ScheduleType == "Day of Month") return ScheduleKind::DayOfMonth;
  return ScheduleKind::Custom;
}

CustomUnit customUnit(const ScheduleRecord& t) {
  const std::string unit = rt::LOWER(t.EveryType.view().substr(0, 3));
  if (unit == "min") return CustomUnit::Minute;
  if (unit == "hou") return CustomUnit::Hour;
  if (unit == "day") return CustomUnit::Day;
  if (unit == "wee") return CustomUnit::Week;
  if (unit == "mon") return CustomUnit::Month;
  if (unit == "yea") return CustomUnit::Year;
  return CustomUnit::Invalid;
}

void NextOccurrence(ScheduleRecord& t, int32_t refDate, int32_t refTime) {
  CalculationScope scope;
  const ScheduleKind kind = scheduleKind(t);
  if (kind == ScheduleKind::Once) {
    t.Completed = 1;
    return;
  }
  const int64_t threshold = int64_t(refTime) + kPastMargin;
  auto isPast = [&] { return t.Date > refDate || (t.Date == refDate && t.Time > threshold); };
  // The first date on which the task, at its own time of day, is past the reference.
  const int64_t pastFrom = t.Time > threshold ? int64_t(refDate) : int64_t(refDate) + 1;
  const unsigned weekdays = weekdayMask(t);
  bool inRange = true;

  switch (kind) {
    case ScheduleKind::Once:
      break;
    case ScheduleKind::SemiMonthly:
      while (inRange && !isPast()) inRange = stepSemiMonthly(t);
      break;
    case ScheduleKind::Monthly:
      while (inRange && !isPast()) inRange = addMonths(t.Date, 1);
      break;
    case ScheduleKind::Yearly:
      while (inRange && !isPast()) inRange = addMonths(t.Date, 12);
      break;
    case ScheduleKind::DayOfWeek:
      // Stepping from chosen weekday to chosen weekday ends on the first one from pastFrom on.
      if (!isPast()) inRange = setDate(t.Date, firstChosenFrom(pastFrom, weekdays));
      break;
    case ScheduleKind::DayOfMonth:
      if (t.LastDayOfMonth) {
        int64_t d = std::max(int64_t(t.Date) + 1, int64_t(refDate));
        inRange = inCalendar(d) && setDate(t.Date, lastDayOfMonth(int32_t(d)));
        // A recomputed month end that is not past the reference has been run already (or missed):
        // its next occurrence is the end of the following month.
        if (inRange && !isPast()) inRange = setDate(t.Date, lastDayOfMonth(t.Date + 1));
      } else {
        // At least one step from the task's date; then the first matching date on which the task,
        // at its own time of day, lies past the reference (date and time, as for the other kinds:
        // a run of the day that is still ahead is kept).
        int64_t d = std::max(int64_t(t.Date), pastFrom - 1);
        const bool anyWeek = anyWeekChosen(t);
        for (;;) {
          d = firstChosenFrom(d + 1, weekdays);
          if (!inCalendar(d)) {
            inRange = false;
            break;
          }
          if (!anyWeek || weekMatches(t, int32_t(d))) break;
        }
        if (inRange) t.Date = int32_t(d);
      }
      break;
    case ScheduleKind::Custom: {
      if (t.Every < 1) t.Every = 1;
      const CustomUnit unit = customUnit(t);
      switch (unit) {
        case CustomUnit::Minute:
        case CustomUnit::Hour: {
          // Each step adds a fixed number of centiseconds and FIXDATE keeps the linear value, so
          // the k-th step lands on norm(start + k * step); the loop stops at the first past
          // `bound` (the reference with its time held to one day).
          const int64_t step = customStep(t, unit);
          const int64_t start = linear(t.Date, t.Time);
          const int64_t bound = linear(refDate, 0) + std::clamp<int64_t>(refTime, 0, kDay);
          const int64_t k = start <= bound ? (bound - start) / step + 1 : 1;
          inRange = setLinear(t, start + k * step);
          break;
        }
        case CustomUnit::Day:
        case CustomUnit::Week:
          if (!isPast()) {
            const int64_t n = int64_t(t.Every) * (unit == CustomUnit::Week ? 7 : 1);
            inRange = setDate(t.Date, t.Date + ceilDiv(pastFrom - t.Date, n) * n);
          }
          break;
        case CustomUnit::Month:
        case CustomUnit::Year: {
          const int64_t months = int64_t(t.Every) * (unit == CustomUnit::Year ? 12 : 1);
          while (inRange && !isPast()) inRange = addMonths(t.Date, months);
          break;
        }
        case CustomUnit::Invalid:
          warnInvalidUnits();
          if (t.Date <= refDate) t.Date = refDate + 1;
          break;
      }
      break;
    }
  }

  // A task whose next occurrence would lie beyond the calendar has none.
  if (!inRange) t.Completed = 1;

  if (!t.Completed && t.ExpiryDate != 0) {
    const int64_t expiryTime = t.ExpiryTime != 0 ? t.ExpiryTime : kDay;
    if (t.Date > t.ExpiryDate || (t.Date == t.ExpiryDate && t.Time > expiryTime)) t.Completed = 1;
  }
}

bool IsValidScheduleDate(const ScheduleRecord& t, int32_t date, bool useTaskDate) {
  const int32_t d = useTaskDate || date == 0 ? t.Date : date;
  switch (scheduleKind(t)) {
    case ScheduleKind::Once:
    case ScheduleKind::Yearly:
    case ScheduleKind::Custom:
    case ScheduleKind::Monthly:
      return true;
    case ScheduleKind::SemiMonthly: {
      const int64_t base = int64_t(d) - t.Offset;
      if (!inCalendar(base)) return false;
      const int32_t b = int32_t(base);
      if (rt::DAY(b) == 15) return true;
      if (b == lastDayOfMonth(b)) return isSemiMonthlyToLast(t);
      if (rt::DAY(b) == 1) return !isSemiMonthlyToLast(t);
      return false;
    }
    case ScheduleKind::DayOfWeek:
      return isChosen(weekdayMask(t), d);
    case ScheduleKind::DayOfMonth:
      if (!inCalendar(d)) return false;
      if (t.LastDayOfMonth) return d == lastDayOfMonth(d);
      if (!isChosen(weekdayMask(t), d)) return false;  // also when no weekday is chosen at all
      // With no week of the month chosen the task runs on every chosen weekday (NextOccurrence):
      // refusing those would grey out every day of its calendar and warn on every start date.
      return !anyWeekChosen(t) || weekMatches(t, d);
  }
  return true;
}

bool ReschedulePreviousOccurrence(ScheduleRecord& t, int32_t date, int32_t time) {
  CalculationScope scope;
  const ScheduleKind kind = scheduleKind(t);
  // Rescheduling leaves one-time tasks (reminders, snoozes, shifted copies) where they are.
  if (kind == ScheduleKind::Once) return true;

  const int32_t savedDate = t.Date, savedTime = t.Time, savedEvery = t.Every;
  auto giveUp = [&] {
    t.Date = savedDate;
    t.Time = savedTime;
    t.Every = savedEvery;
    return false;
  };

  CustomUnit unit = CustomUnit::Invalid;
  if (kind == ScheduleKind::Custom) {
    if (t.Every < 1) t.Every = 1;
    unit = customUnit(t);
  }
  const bool exact = unit == CustomUnit::Minute || unit == CustomUnit::Hour;
  const int64_t threshold = exact ? int64_t(time) : int64_t(time) - kPastMargin;
  auto isBefore = [&] { return t.Date < date || (t.Date == date && t.Time < threshold); };
  if (isBefore()) return true;

  // The last date on which the task, at its own time of day, lies before the moment.
  const int64_t beforeUntil = t.Time < threshold ? int64_t(date) : int64_t(date) - 1;
  const unsigned weekdays = weekdayMask(t);
  int64_t steps = 0;
  bool inRange = true;

  switch (kind) {
    case ScheduleKind::Once:
      break;
    case ScheduleKind::SemiMonthly:
      while (inRange && !isBefore()) {
        if (++steps > kMaxBackwardSteps) return giveUp();
        inRange = stepBackSemiMonthly(t);
      }
      break;
    case ScheduleKind::Monthly:
    case ScheduleKind::Yearly:
      while (inRange && !isBefore()) {
        if (++steps > kMaxBackwardSteps) return giveUp();
        inRange = subtractMonthsKeepingDay(t.Date, kind == ScheduleKind::Yearly ? 12 : 1);
      }
      break;
    case ScheduleKind::DayOfWeek: {
      const int64_t target = lastChosenUntil(beforeUntil, weekdays);
      steps = chosenDaysBetween(target, t.Date, weekdays);
      if (steps > kMaxBackwardSteps) return giveUp();
      inRange = setDate(t.Date, target);
      break;
    }
    case ScheduleKind::DayOfMonth:
      if (t.LastDayOfMonth) {
        // The forward pass recomputes the month end from the day after this one.
        inRange = setDate(t.Date, int64_t(date) - 1);
      } else {
        // Mirror of the forward search: back over chosen weekdays to a date before the moment's
        // date that lies in a chosen week.
        int64_t d = std::min(t.Date, date);
        steps = chosenDaysBetween(d, t.Date, weekdays);
        const bool anyWeek = anyWeekChosen(t);
        for (;;) {
          if (++steps > kMaxBackwardSteps) return giveUp();
          d = lastChosenUntil(d - 1, weekdays);
          if (!inCalendar(d)) {
            inRange = false;
            break;
          }
          if (!anyWeek || weekMatches(t, int32_t(d))) break;
        }
        if (inRange) t.Date = int32_t(d);
      }
      break;
    case ScheduleKind::Custom:
      switch (unit) {
        case CustomUnit::Minute:
        case CustomUnit::Hour: {
          const int64_t step = customStep(t, unit);
          const int64_t start = linear(t.Date, t.Time);
          // For a normalised pair, "before the moment" is: linear value below `bound`.
          const int64_t bound = linear(date, 0) + std::clamp<int64_t>(time, 1, kDay + 1);
          steps = start >= bound ? (start - bound) / step + 1 : 1;
          if (steps > kMaxBackwardSteps) return giveUp();
          inRange = setLinear(t, start - steps * step);
          break;
        }
        case CustomUnit::Day:
        case CustomUnit::Week: {
          const int64_t n = int64_t(t.Every) * (unit == CustomUnit::Week ? 7 : 1);
          steps = ceilDiv(t.Date - beforeUntil, n);
          if (steps > kMaxBackwardSteps) return giveUp();
          inRange = setDate(t.Date, t.Date - steps * n);
          break;
        }
        case CustomUnit::Month:
        case CustomUnit::Year: {
          const int64_t months = int64_t(t.Every) * (unit == CustomUnit::Year ? 12 : 1);
          while (inRange && !isBefore()) {
            if (++steps > kMaxBackwardSteps) return giveUp();
            inRange = subtractMonthsKeepingDay(t.Date, months);
          }
          break;
        }
        case CustomUnit::Invalid:
          warnInvalidUnits();
          if (t.Date >= date) t.Date = date - 1;
          break;
      }
      break;
  }
  // A task that can't go back further (the calendar's first years) stays where the steps ended;
  // the forward pass still moves it past the moment.
  (void)inRange;
  return true;
}

}  // namespace ov::scheduler
