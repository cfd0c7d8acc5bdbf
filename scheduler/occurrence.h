// The recurrence rules of a task: its next occurrence after a moment, the occurrence before a
// moment (for rescheduling), and whether a date fits its schedule.
//
// Everything here works on a SCHEDULE record passed in and touches no file. The forms without a
// record argument work on the process's SCHEDULE buffer. A date is a day number, a time
// centiseconds plus one (platform/rt/date_time.h).
#pragma once

#include <cstdint>

#include "scheduler/schedule_record.h"

namespace ov::scheduler {

enum class ScheduleKind { Once, Monthly, SemiMonthly, Yearly, DayOfWeek, DayOfMonth, Custom };
enum class CustomUnit { Minute, Hour, Day, Week, Month, Year, Invalid };

// "Once", "Monthly" ("Twice..." in MonthRepeat makes it semi-monthly), "Yearly", "Day of Week",
// "Day of Month", compared exactly (blank-padded); anything else is Custom.
ScheduleKind scheduleKind(const ScheduleRecord& task);
// The first three letters of EveryType in lower case: "min", "hou", "day", "wee", "mon", "yea".
CustomUnit customUnit(const ScheduleRecord& task);

// "Past" a reference means more than this after it (one minute), except for custom minutes and
// hours, which compare with the exact reference.
constexpr int32_t kPastMargin = 6000;
// A task that needs more backward steps than this is given up by ReschedulePreviousOccurrence.
constexpr int64_t kMaxBackwardSteps = 100000;

// Moves task.Date (and for custom minutes and hours task.Time) to the task's next occurrence past
// the reference moment; sets Completed for a "Once" task and for a task whose next occurrence lies
// beyond its expiry moment (an expiry time of 0 means the end of the expiry date). Custom Every
// below 1 is stored as 1. An unknown custom unit shows "Invalid Units" (once per
// CalculationScope) and moves the date to the day after the reference when it isn't later.
void NextOccurrence(ScheduleRecord& task, int32_t referenceDate, int32_t referenceTime);

// Whether `date` (task.Date when useTaskDate is set or date is 0) fits the task's schedule.
bool IsValidScheduleDate(const ScheduleRecord& task, int32_t date, bool useTaskDate);

// Moves the task back to an occurrence of its own schedule before the moment (a minute before
// it; the exact moment for custom minutes and hours), so that NextOccurrence from the moment then
// finds the first occurrence after it. A "Once" task is left as it is. Returns false, and leaves
// the task unchanged, when more than kMaxBackwardSteps steps would be needed.
bool ReschedulePreviousOccurrence(ScheduleRecord& task, int32_t date, int32_t time);

// One calculation: while the outermost scope is open, the "Invalid Units" message is shown at
// most once, however many steps run into the unknown unit. GUI thread only.
class CalculationScope {
 public:
  CalculationScope();
  ~CalculationScope();
  CalculationScope(const CalculationScope&) = delete;
  CalculationScope& operator=(const CalculationScope&) = delete;
};

}  // namespace ov::scheduler
