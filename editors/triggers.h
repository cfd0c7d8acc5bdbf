// The trigger form and the trigger list of the main program.
//
//   UpdateTriggers   the form on the TRI record buffer: request in GLOBALREQUEST (0 or 1 insert,
//                    2 change, 3 delete, 4 view), answer in GLOBALRESPONSE (1 completed,
//                    2 cancelled). Two pages: "Basic" (type, description, active flag and the
//                    details group of the type) and "Task". "&Next" checks a file trigger's names
//                    and finds the trigger's task, or marks a new one to be made; the new task
//                    (a "Trigger" task without date or time) is added in the same transaction
//                    that stores the trigger, so a cancelled form leaves nothing behind. Every
//                    close posts EVENT:TriggersChanged to the frame.
//   BrowseTriggers   the list "Triggers" (type, description, active icon and details) in three
//                    orders; "Cop&y" runs the form on a copy whose new task gets copies of the
//                    source task's script items when the copy is stored; "E&xecute" runs the
//                    highlighted trigger's task. Single-instance unless opened to select.
//
// The headless parts (the type's details group, the file list append rule, the details column,
// storing a trigger with its task) are declared here for the windows and the tests.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datalib/records.h"
#include "platform/rt/err.h"
#include "platform/ui/window_manager.h"

namespace ov::editors {

// The frame's event that reloads the triggers.
constexpr int kEventTriggersChanged = 3352;

// The details group a trigger type shows.
enum class TriggerGroup { None, File, Window, Event };
TriggerGroup triggerGroup(std::string_view type);

// The file list after the files a file dialog returned are appended (none: unchanged).
std::string appendFileSpec(std::string_view list, const std::vector<std::string>& files);

// The "Details" column of a trigger.
std::string TriggerDetailsText(const files::TriggerRec& trigger);

// Stores the trigger in files::TRI (insert or change) and, when `newTask` is set, first adds its
// task (a "Trigger" task named after the trigger, without date or time) with copies of the script
// items of task `copyItemsFrom` (0: none), setting TRI.ID to it: all in one transaction, so on an
// error nothing is stored and TRI.ID is as it was. A task `madeTask` that the form made for this
// trigger before it was stored (the trigger's TRI.ID) takes the trigger's type and description
// in the same transaction. TRIGGERS, SCHEDULE and SCRIPTING must be open.
rt::Err storeTrigger(bool insert, bool newTask, int32_t copyItemsFrom, int32_t madeTask = 0);

std::unique_ptr<ui::WindowManager> makeUpdateTriggers();
std::unique_ptr<ui::WindowManager> makeBrowseTriggers();
// Runs the form modally on the current thread; its response. `copyItemsFrom`: the task whose
// script items a copied trigger's new task gets.
int UpdateTriggers(int32_t copyItemsFrom = 0);
int BrowseTriggers();

}  // namespace ov::editors
