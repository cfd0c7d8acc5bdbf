// The task explorer and the day task list of the main program.
//
//   ExploreSchedule  every task through four quick filters (day range, status, category, text)
//                    over an explorer list; new, copy, edit, delete, quick start, run now,
//                    special-event copy, script editing, enable/disable, skip the next occurrence,
//                    reschedule all.
//   BrowseSchedule   the same list and actions with tabs in place of the filters: one day's tasks,
//                    all by date, all of one category, all again.
// Both are single-instance windows on a thread of their own; the task form ("UpdateSchedule") is
// run with the record in SCH and the request in GLOBALREQUEST; the other windows by name.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::editors {

std::unique_ptr<ui::WindowManager> makeExploreSchedule();
std::unique_ptr<ui::WindowManager> makeBrowseSchedule();

}  // namespace ov::editors
