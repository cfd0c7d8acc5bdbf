// A task's recurrence in words for the schedule listings, whether a date fits a task's
// recurrence, and month names as numbers. They read the SCHEDULE record given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datalib/records.h"

namespace ov::reports {

// `text`, a blank, then "1st, ", "2nd, ", "3rd, ", "4th, ", "Last" for the set week flags,
// without a trailing comma.
std::string OrdinalListText(std::string_view text, const files::ScheduleRec& task);
// `text`, a blank, then "Sun, " ... "Sat, " for the set weekday flags, without a trailing comma.
std::string WeekdayListText(std::string_view text, const files::ScheduleRec& task);

// "Days: Mon, Fri (exceptions exist)", "Days: 1st, Last: Tue", "Twice Monthly (2)",
// "Every 1 day"; at most 80 characters.
std::string ScheduleDescriptionText(const files::ScheduleRec& task);

// Whether `date` (0: the task's own date) fits the task's recurrence.
bool DateFitsSchedule(const files::ScheduleRec& task, int32_t date);

// "January" .. "December" (exact names, trailing blanks ignored) as 1 .. 12; 0 for anything else.
int monthNumber(std::string_view name);

}  // namespace ov::reports
