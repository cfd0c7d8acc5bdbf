// The to-do list and the to-do form.
//
//   BrowseToDoList   the single-instance list of TODO in four orders, one per tab (open items
//                    first, by priority, by text, the current category's items); marks the
//                    highlighted item done or not done, opens the task categories to choose the
//                    current category, and turns an item into a new reminder task ("Transfer to
//                    Schedule" in the list's popup).
//   UpdateTodo       the form on the TDO buffer: request in GLOBALREQUEST (1 insert, 2 change,
//                    3 delete, 4 view), answer in GLOBALRESPONSE. A new item takes priority 5 and
//                    the current category (CAT buffer, "General" when blank); ticking Done stamps
//                    the completion date and time; OK stamps the writer and the time of the change.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "datalib/records.h"
#include "platform/ui/window_manager.h"

namespace ov::dialogs {

// The reminder text of a transferred item: its notes (trailing blanks removed), a line break,
// "Completed " and the completion date in the system's short-date format (or "Priority " and
// the priority when it has none), a line break, then, when the resolution is not blank,
// "Resolution:", a line break, the resolution and a line break. Cut to 4096 bytes.
std::string toDoTransferMessage(const files::TodoRec& item);

// Turns the done flag over; an item now done gets `date` and `time` as its completion, an item
// turned back keeps the completion it had.
void toggleToDoDone(files::TodoRec& item, int32_t date, int32_t time);

// Fills the SCHEDULE buffer from the item in the TDO buffer (description, category, message,
// tomorrow at the current time) and opens the task form "UpdateSchedule" for a new "Display
// Message" task on this thread. The item itself is not changed.
void TransferToDoToSchedule();

std::unique_ptr<ui::WindowManager> makeBrowseToDoList();
// Runs the list modally on the current thread; its response.
int BrowseToDoList();
// Runs the form modally on the current thread; its response.
int UpdateTodo();

}  // namespace ov::dialogs
