// Exceptions of a recurring task: occurrences inside a daily time window are stepped past; an
// occurrence on an excluded day (weekend, weekday, holiday, chosen weekday) is skipped once and,
// when the task asks for it, replaced by a one-time copy on the previous or next valid day.
#pragma once

#include <cstdint>
#include <string_view>

#include "scheduler/schedule_record.h"

namespace ov::scheduler {

// What the exception rules need of the data files. The implementation over the SCHEDULE,
// SCRIPTING and HOLIDAYS files keeps the SCHEDULE record buffer as it found it.
class ExceptionStore {
 public:
  virtual ~ExceptionStore() = default;
  // A HOLIDAYS record with that date exists.
  virtual bool isHoliday(int32_t date) = 0;
  // Reads the task with that ID; false when there is none (or it can't be read).
  virtual bool fetchTask(int32_t id, ScheduleRecord& out) = 0;
  // Deletes the task with that ID together with its script items.
  virtual void deleteTask(int32_t id) = 0;
  // Adds `copy` as a new task with the next free ID and gives it the script items of the task
  // `sourceId`; returns the new ID, or 0 when the task could not be added.
  virtual int32_t insertCopy(const ScheduleRecord& copy, int32_t sourceId) = 0;
  // A line in the event log.
  virtual void writeLog(std::string_view text, std::string_view label) = 0;
};

// Why the exceptions are applied: the task has moved on to a new occurrence (the runner, after
// NextOccurrence), or the same occurrence is stored again (PrepareTaskRecord, from a form).
enum class ExceptionPass { NewOccurrence, SameOccurrence };

// The exception test: 2 when the task's date is an excluded day, plus 1 when its time lies in the
// window; 0 to 3. For "Once" and "Day of Week" tasks the exception fields are cleared and the
// result is 0. A window end of 0 becomes 8640000; weekends excluded clear the weekdays flag.
int exceptionTest(ScheduleRecord& task, ExceptionStore& store);

// The time lies in the task's window (both ends included; a window across midnight when the
// begin is after the end).
bool isInTimeWindow(const ScheduleRecord& task, int32_t time);

// Moves the task out of its exceptions. An occurrence in the time window is stepped with
// NextOccurrence, at most 200 times; when that doesn't leave the window the task goes back to
// where it was and is placed at the window's end on the day of its next occurrence (one
// centisecond after it when the window includes its end: begin before end), or, when even that
// lies in the window, it is marked to skip that occurrence. An excluded day sets SkipNextTime;
// with ShiftType "Next day" or "Previous day" a "Once" copy goes on the nearest valid day (within
// 366 days) and ExceptionLink names it; a copy whose moment has already passed is not made, and
// the log says so ("Shifted task passed").
//
// A copy made earlier is kept when the task has moved on (it still has to run). When a task is
// stored again (SameOccurrence), its link counts only when the stored task has it and it leads to
// a pending copy of this task: a copy for the stored occurrence is made anew while the task stays
// on that shifted occurrence, else removed (and the skip it set cleared); a copy for an occurrence
// the task has moved past is kept unless the schedule stored now no longer has that occurrence.
// A removed copy is logged ("Shifted copy removed"). "Invalid Units" is shown at most once.
void ApplyExceptions(ScheduleRecord& task, ExceptionStore& store,
                     ExceptionPass pass = ExceptionPass::NewOccurrence);

}  // namespace ov::scheduler
