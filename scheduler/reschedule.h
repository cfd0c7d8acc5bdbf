// "Reschedule all tasks": every recurring task moves to its first occurrence after a chosen moment.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/rt/err.h"

namespace ov::scheduler {

struct RescheduleOutcome {
  int64_t rescheduled = 0;  // tasks moved and stored
  int64_t givenUp = 0;      // tasks left as they were: too many backward steps
};

// Goes through SCHEDULE by SCH:KeyID and moves each task back before the moment and then to its
// first occurrence after it. Tasks without a date or time, completed tasks, hot-key tasks and
// one-time tasks are left alone. A task that needs more backward steps than the limit is left as
// it was, with a line in the event log ("Debug Previous"), and the pass goes on. The pass is one
// transaction when one can be begun within a second: a failed write is reported through the error
// manager and undoes the whole pass. `progress` hears the percentage done.
rt::Err RescheduleAllTasks(int32_t date, int32_t time, const std::function<void(int percent)>& progress = {});

// The moment the "Reschedule all tasks" window offers: the one chosen last in this run, or now
// plus two minutes, rounded up to a whole minute, when that lies earlier.
void rescheduleMomentOffered(int32_t& date, int32_t& time);
// Whether the window accepts a moment: at least a minute ahead of now. Remembers it when it does.
bool acceptRescheduleMoment(int32_t date, int32_t time);
// Forgets the chosen moment, as at the start of a run (each test starts this way).
void forgetRescheduleMoment();

}  // namespace ov::scheduler
