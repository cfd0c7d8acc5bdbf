// What the task lists hand to the next task form besides the record buffer and the request: the
// day a new task starts on, the task a new one is copied from, and the flag set before a task is
// run by hand. The task type a form starts with is PresetTaskType() (frame_commands.h).
//
// Threading: GUI thread only (one instance per process).
#pragma once

#include <cstdint>

#include "platform/rt/fixed_string.h"

namespace ov::scheduler {

// The day number, as digits, that a new task takes as its date; blank: today.
rt::String<20>& TaskFormStartDate();
// The SCH:ID of the task a new task is copied from (its script items go with it); 0: none.
int32_t& SourceTaskID();
// Set to 1 before a task is run by hand, so the frame offers to stop the scripts it queues.
uint8_t& TempScriptExecution();

}  // namespace ov::scheduler
