// Operations on one task that the task lists offer, and the advance warnings.
//
// Each operation works on the task whose SCH:ID stands in SCH (the SCHEDULE record buffer) and
// tells the frame about a change with the refresh event.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ov::scheduler {

// Flips SCH:Disabled. A completed task that is enabled again is no longer completed, skips its
// stale occurrence once and gives no advance warning that has passed already.
void ToggleTaskEnabled();
// Flips SCH:SkipNextTime.
void ToggleSkipNextOccurrence();

// Asks for a delay ("5 minutes" .. "3 hours") and adds a one-time copy of the task due that much
// (and a second) after now, with the task's script items. The task itself is not changed. Returns
// the copy's SCH:ID, 0 when nothing was added.
int32_t SnoozeTask();

// Sounds the task's alarm, shows its message and starts its program at once, as the task's type
// asks; its date and time don't change.
void RunTaskNow();
// Shows the task's message now: through the outside message program when MSG.USEEXTERNAL is set
// and it starts, else through the program's own reminder display.
void ShowTaskMessage();

// False, after an "Internal Error" message, when `idPresent` is 0.
bool CheckScheduleLink(std::string_view what, int32_t idPresent);

// Gives the advance warnings that are due: goes through SCHEDULE by SCH:KeyAdvanced (at most 10000
// tasks, up to the first one warned already), marks each due one warned and shows its notice.
// Completed and disabled tasks and tasks that ask for no advance warning (no warning date) get no
// notice; a task that skips its next occurrence gets only a line in the event log.
void CheckAdvanceWarnings();
// Shows one advance-warning notice for the task in SCH.
void ShowAdvanceWarning(std::string_view text);
// The earliest warning moment still to come that the last check saw; 0, 0 when none.
void nextAdvanceWarning(int32_t& date, int32_t& time);

}  // namespace ov::scheduler
