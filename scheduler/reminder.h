// The program's own reminder display: a reminder window per due message, each on a logical thread
// of its own, repeating its alarm, with Snooze, Add to To Do, E-mail and Close.
//
// Each window keeps its own copy of the reminder it shows, so Snooze, Add to To Do and E-mail act
// on the reminder they are pressed in however many reminders are open. E-mail calls
// services().generateEmail and is disabled when that is not installed.
#pragma once

#include <cstdint>
#include <string>

#include "scheduler/services.h"

namespace ov::scheduler {

// Message threads (reminder windows) running: THREADCOUNT.
int THREADCOUNT();

// Starts a reminder window for `reminder` on a thread of its own (the modal kind stays on top);
// shows a message box instead when no thread is free. Installed as services().showReminder.
void ShowMessageThread(const ReminderText& reminder);

// The repeat of a reminder's alarm: every `intervalSeconds` until `maxMinutes` have passed
// (0 = no limit); intervals of 0 or less never repeat.
class AlarmRepeat {
 public:
  void start(int32_t today, int32_t now, int32_t intervalSeconds, int32_t maxMinutes);
  // True when the alarm sounds again at this moment (and then moves the next alarm on).
  bool due(int32_t today, int32_t now);

 private:
  int32_t m_interval = 0;  // centiseconds
  int32_t m_nextDate = 0, m_nextTime = 0;
  int32_t m_stopDate = 0, m_stopTime = 0;
};

// A one-time task "Snooze" that brings the reminder back after the snooze interval (ten minutes
// when the setting is 0); returns its id, 0 when it could not be stored.
int32_t SnoozeMessage(const ReminderText& reminder);
// A to-do item in "General" with the reminder's title and text; false when it could not be stored.
bool AddMessageToToDo(const ReminderText& reminder);

}  // namespace ov::scheduler
