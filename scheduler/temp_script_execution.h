// APP:TempScriptExecution: set to 1 before a task is run by hand (the task lists' Execute), so the
// frame offers to stop the scripts such a run queues.
//
// Threading: GUI thread only (one instance per process).
#pragma once

#include <cstdint>

namespace ov::scheduler {

uint8_t& TempScriptExecution();

}  // namespace ov::scheduler
