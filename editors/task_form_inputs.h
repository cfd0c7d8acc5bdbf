// Inputs of the next task form ("UpdateSchedule") besides the SCH record buffer, the request and
// PresetTaskType(): the day a new task starts on (a day number as text, blank for today) and the
// task a reschedule or copy comes from (its script items go with the new task; 0: none). The task
// lists set them before they run the form; the form reads and clears them as it opens.
//
// Threading: GUI thread only (one instance per process).
#pragma once

#include <cstdint>

#include "platform/rt/fixed_string.h"

namespace ov::editors {

rt::String<20>& TaskFormStartDate();
int32_t& TaskFormSourceID();

}  // namespace ov::editors
