// Globals of the main program that the scheduler core shares with it (one instance per process).
#pragma once

#include <cstdint>

#include "platform/rt/fixed_string.h"

namespace ov::scheduler {

// The program's own scheduler runs (1 minus the configuration's StartupActive, 0 under "/I").
// While it is 0 the event log goes to OV_TEST.LOG and the log is not trimmed.
extern uint8_t SchedulerActive;

// GLO:Feedback: a text waiting to be logged with the next event-log line.
extern rt::String<128> Feedback;

// A note the frame shows once in its status bar in place of the next task, then clears.
extern rt::String<20> StatusBarNote;

}  // namespace ov::scheduler
