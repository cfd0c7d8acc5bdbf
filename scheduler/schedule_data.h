// The scheduler core on the data files: the process's SCHEDULE record buffer (SCH), the HOLIDAYS
// file for the exception rules, and the script items of tasks.
//
// The functions without a record argument work on SCH, as the forms, the runner and the task
// lists call them. They keep the SCHEDULE file's current record and SCH as they found them apart
// from what they are meant to change, so a caller may update the task afterwards.
#pragma once

#include <cstdint>

#include "platform/rt/err.h"
#include "scheduler/exceptions.h"

namespace ov::scheduler {

// The exception rules' view of the data files: holidays by HOL:KeyHolidayDate, tasks by SCH:KeyID,
// copies numbered by the SCHEDULE file and given the script items of their task.
class DataFileExceptionStore final : public ExceptionStore {
 public:
  bool isHoliday(int32_t date) override;
  bool fetchTask(int32_t id, ScheduleRecord& out) override;
  void deleteTask(int32_t id) override;
  int32_t insertCopy(const ScheduleRecord& copy, int32_t sourceId) override;
  void writeLog(std::string_view text, std::string_view label) override;
};

// On SCH (occurrence.h, exceptions.h, prepare_task.h for what they do).
void NextOccurrence(int32_t referenceDate, int32_t referenceTime);
bool IsValidScheduleDate(int32_t date, bool useTaskDate);
void ApplyExceptions();  // after NextOccurrence: the task has moved on to a new occurrence
void PrepareTaskRecord();

// Every script item of the task, deleted in a transaction of its own when none is active.
rt::Err deleteScriptItems(int32_t task);
// The target task's script items replaced by copies of the source task's (at most 10000).
rt::Err copyScriptItems(int32_t sourceTask, int32_t targetTask);

}  // namespace ov::scheduler
