// The one-line text of a task's recurrence, shown in the "Schedule Type" column of the task lists.
#pragma once

#include <string>

#include "datalib/records.h"

namespace ov::editors {

// The schedule type with its details ("Twice Monthly (3)", "Days: 1st, Last: Tue", "Every 15
// Minutes"), followed by " (exceptions exist)" when the task has exception rules. At most 80
// characters, without trailing blanks. Reads `task` only.
std::string DescribeRecurrence(const files::ScheduleRec& task);
// The same for the task in the SCHEDULE record buffer.
std::string DescribeRecurrence();

// Its two steps: each extends `text` in place (kept to 80 characters).
void AppendWeekdayNames(std::string& text, const files::ScheduleRec& task);
void AppendWeekOrdinals(std::string& text, const files::ScheduleRec& task);

}  // namespace ov::editors
