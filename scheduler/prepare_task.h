// Completing a task before the task form or a wizard stores it.
#pragma once

#include "scheduler/exceptions.h"
#include "scheduler/schedule_record.h"

namespace ov::scheduler {

// Fills what the form left blank ("N/A" for a missing program, a description from the task's
// type, the category "General"), stamps the user and the moment of the change, gives a new task its
// OriginalID, then applies the exception rules to the occurrence being stored.
void PrepareTaskRecord(ScheduleRecord& task, ExceptionStore& store);

}  // namespace ov::scheduler
