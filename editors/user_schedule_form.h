// UpdateOVUSD, the form on one user's details of a task in a shared data folder (the US record
// buffer): the next date and time, the last run, the advance warning, and that user's own Disabled
// and Skip Next Time switches. Request in GLOBALREQUEST (1 insert, 2 change, 3 delete, 4 view),
// answer in GLOBALRESPONSE (1 completed, 2 cancelled). Writes only OVUSD.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::editors {

std::unique_ptr<ui::WindowManager> makeUpdateOVUSD();
// Runs the form modally on the current thread; its response.
int UpdateOVUSD();

}  // namespace ov::editors
