// Maintenance of the task data: the daily history expiry and the Housekeeping window's actions.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/rt/err.h"

namespace ov::scheduler {

// Once a day while TASK.HISTORYEXPIRES is not 0: removes the disabled tasks (at most 10000 looked
// at) whose date lies TASK.HISTORYEXPIRES days or more before today and that are completed (or
// any, with TASK.REMOVEUNCOMPLETED), with their script items; then trims the event log, logs
// "Checked for tasks needing removal" and adds the default holidays. Read and delete errors other
// than the end of the file show "Cannot Remove History" and end the pass. True when it ran today's
// check, false on a second call the same day or with the expiry off.
bool RemoveExpiredHistory();
// Forgets the day of the last check (a new run of the program).
void resetHistoryCheck();

// The Housekeeping window's passes, each one transaction where one can be begun within a second.
// The disabled tasks (all, or the completed ones among them) with their script items.
rt::Err removeDisabledTasks(bool completedOnly);
// Every to-do.
rt::Err clearToDoList();
// POSITION.INI in the current (data) folder.
rt::Err resetWindowPositions();
// Script items whose task no longer exists; `progress` hears the percentage done, `removed` (when
// given) the number of items removed.
rt::Err VerifyLinks(const std::function<void(int percent)>& progress = {}, int64_t* removed = nullptr);

}  // namespace ov::scheduler
