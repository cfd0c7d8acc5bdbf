// The frame's timer tick: the clipboard capture, title, status zones and tray icon, the gate in front of the due-task
// runner, the clock-forward check, history expiry, the trigger poll, one script step, the current
// folder guard, the look at the data files still being the ones opened, and the refresh broadcast.
//
// Runs on the frame's logical thread, one tick per timer step; a tick never overlaps another.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ov::scheduler {

// What the tick needs of the frame; a member that is not installed does nothing.
struct TickFrame {
  std::function<void(std::string_view)> setTitle;
  std::function<void(int zone, std::string_view)> setStatus;
  std::function<bool()> isHidden;                      // hidden or iconised
  std::function<void(std::string_view icon)> setTrayIcon;
  std::function<void(bool running)> scriptsRunning;    // the stop-scripts commands follow the queue
  std::function<void(std::string_view icon)> setWorkingIcon;  // the frame's animated working icon
  std::function<void()> allowMinimize;                 // minimising goes to the task bar
  std::function<void()> disallowMinimize;              // minimising hides the frame into the tray
  std::function<bool()> dataFolderChanged;             // polls the change notification
  std::function<void()> closeChangeNotification;
  std::function<bool()> hasChangeNotification;
  std::function<void()> broadcastRefresh;
  std::function<void()> broadcastDayChange;
  std::function<void(std::string_view text, std::string_view title)> warn;
  std::function<void()> startBackup;                   // the backup runner on the data file
  std::function<void()> pollTriggers;                  // every third tick
  std::function<void()> reapPrograms;                  // programs started by tasks that ended
  std::function<void()> scriptStep;                    // at most one due script step
  std::function<int()> queuedScripts;
  std::function<std::string()> shownScriptStep;        // zone 2 text of the first queued step
};

struct TickState {
  int TickCounter = 0;      // 1..60; 1 on the first tick and after every wrap
  int animationPhase = 0;   // 1..7
  int busyPhase = 0;        // 1..4
  bool ScriptRunning = false;
  bool previousScriptRunning = false;
  int32_t LastSeenDate = 0;
  int32_t startupDay = 0;
  std::string pathParameter;
  std::string shownNextTask;  // what zone 2 last showed
  bool noWatchDir = false;    // "/NOWATCHDIR"
  bool unlocked = false;      // the system lock is open
};

TickFrame& tickFrame();
TickState& tickState();

void MainTimerTick();
// The working icon's picture: none while the scheduler is off and no script runs; otherwise the
// animation's frame, the script frames while one runs.
std::string workingIcon(int animationPhase, bool scriptRunning, bool schedulerActive);
void CheckDueTasks();
void ClockForwardCheck();
// Zone 4: the time in the user's time picture (t7 unless FORMAT:TIME chooses another).
std::string statusTime(int32_t now);
// "Tuesday, " + the date in picture D17.
std::string statusDate(int32_t today);

}  // namespace ov::scheduler
