// The due-task runner: one look-up of the earliest enabled task per call, and the performing of
// a task whose moment has come (skip rules, message, program, alarm, next occurrence, history copy).
//
// It works on the process's SCH buffer and the SCHEDULE file, on the frame's logical thread (1),
// inside the tick. What it needs of the frame it reaches through RunnerFrame; the message display,
// the program runner and sounds through services().
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ov::scheduler {

// The frame's side of the runner. A member that is not installed does nothing (0 scripts queued).
struct RunnerFrame {
  std::function<void()> restore;                       // out of the tray, shown
  std::function<void()> raise;                         // to the front before a question
  std::function<void(std::string_view)> showNextTask;  // status zone 2
  std::function<void(std::string_view)> setTrayTip;
  std::function<int()> queuedScripts;                  // entries of the active script queue
};

// The runner's and the tick's shared moments and counters (one set per process).
struct RunnerState {
  int32_t NextCheckDate = 0;  // the runner may look from this moment; (0, 0) = at once
  int32_t NextCheckTime = 0;
  int RefreshPending = 0;     // reasons to broadcast a refresh
  std::string nextTaskText;   // "Next: ..." or "No tasks pending"
  std::string trayTip;
  int32_t OverrideSkipTimeout = 0;  // centiseconds; above 500 shortens the late-start limit
  bool suppressExternalLog = false;  // one-shot: no log line for the next outside-program reminder
};

RunnerFrame& runnerFrame();
RunnerState& runnerState();

// One look-up: performs the earliest enabled task when it is due and sets the next look-up moment.
void FindNextTask();
// Performs the task in SCH (as FindNextTask found it).
void RunDueTask();
// Shows the message of the task in SCH (outside program, message box, or the reminder display).
void DisplayTaskMessage();

// The file name the outside message program would have; absent on this system unless installed.
inline constexpr std::string_view kOutsideMessageProgram = "OVMSG";

}  // namespace ov::scheduler
