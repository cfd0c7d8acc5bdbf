#include "scheduler/tick.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "datalib/date_string_functions.h"
#include "datalib/globals.h"
#include "platform/files/file.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "scheduler/clipboard_capture.h"
#include "scheduler/event_log.h"
#include "scheduler/globals.h"
#include "scheduler/housekeeping.h"
#include "scheduler/runner.h"
#include "scheduler/task_items.h"
#include "scheduler/temp_script_execution.h"

namespace ov::scheduler {

namespace {

constexpr std::string_view kWeekdays = "Sunday   Monday   Tuesday  WednesdayThursday Friday   Saturday ";
static_assert(kWeekdays.size() == 63);

template <class F, class... A>
void call(const F& f, A&&... a) {
  if (f) f(std::forward<A>(a)...);
}

std::string clip(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

std::string productTitle() {
  const TickState& t = tickState();
  if (t.pathParameter.empty()) return files::PRODUCTNAME.str();
  return files::PRODUCTNAME.str() + " " + files::VERSIONNUMBER.str() + " (" + t.pathParameter + ")";
}

void UpdateTitle(std::string title) {
  TickState& t = tickState();
  if (tickFrame().isHidden && tickFrame().isHidden()) t.unlocked = false;
  if (t.unlocked) title += " (Unlocked)";
  call(tickFrame().setTitle, title);
}

// The status bar's first zone marks a running script.
constexpr int kScriptMarkerZone = 1;

int queuedScripts() { return tickFrame().queuedScripts ? tickFrame().queuedScripts() : 0; }

void UpdateScriptState() {
  TickState& t = tickState();
  // A task run by hand from a list runs its script even while the scheduler is inactive.
  t.ScriptRunning = queuedScripts() > 0 && (SchedulerActive || TempScriptExecution() != 0);
  if (t.ScriptRunning != t.previousScriptRunning) {
    call(tickFrame().setStatus, kScriptMarkerZone, t.ScriptRunning ? "*" : "");
    call(tickFrame().scriptsRunning, t.ScriptRunning);
  }
  if (!t.ScriptRunning) TempScriptExecution() = 0;
}

void UpdateWorkingIcon() {
  const TickState& t = tickState();
  call(tickFrame().setWorkingIcon, workingIcon(t.animationPhase, t.ScriptRunning, SchedulerActive != 0));
}

// A note left by another window takes the next task's place for one tick.
bool ShowStatusBarNote() {
  if (StatusBarNote.isBlank()) return false;
  call(tickFrame().setStatus, 2, StatusBarNote.str());
  StatusBarNote.clear();
  tickState().shownNextTask.clear();  // the next task's text comes back at the next tick
  return true;
}

void UpdateStatusLine() {
  TickState& t = tickState();
  if (queuedScripts() == 0) {
    if (SchedulerActive) {
      const std::string& next = runnerState().nextTaskText;
      if (next != t.shownNextTask) {
        t.shownNextTask = next;
        call(tickFrame().setStatus, 2, next);
        call(runnerFrame().setTrayTip, files::PRODUCTNAME.str() + " - " + next);
      }
    } else if (t.shownNextTask != "Inactive") {
      t.shownNextTask = "Inactive";
      call(tickFrame().setStatus, 2, "Inactive");
    }
  } else if (tickFrame().shownScriptStep) {
    t.shownNextTask.clear();
    call(tickFrame().setStatus, 2, tickFrame().shownScriptStep());
  }
}

// The current folder is the data folder; a program or dialog that moved it is put right.
void GuardCurrentFolder() {
  std::error_code ec;
  const std::string dataPath = files::GLO.DATAPATH.str();
  if (dataPath.empty()) return;
  const std::filesystem::path current = std::filesystem::current_path(ec);
  if (ec) return;
  const std::string cur = current.string();
  if (cur == dataPath || cur + "/" == dataPath) return;
  WriteLog(cur, "Data path changed");
  if (::chdir(dataPath.c_str()) != 0) return;  // logged above; looked at again next tick
}

// A data file replaced by another (a copy renamed over it) or deleted while the program runs: the
// program no longer saves into it; said once, as soon as it is seen.
void CheckDataFiles() {
  for (const std::string& text : db::lostStorageFiles())
    call(tickFrame().warn, "A data file of this program is no longer the one it opened.\r\r" + text, "Data file");
}

}  // namespace

TickFrame& tickFrame() {
  static TickFrame frame;
  return frame;
}

TickState& tickState() {
  static TickState state;
  return state;
}

std::string workingIcon(int animationPhase, bool scriptRunning, bool schedulerActive) {
  if (!scriptRunning && !schedulerActive) return "~blank.ico";
  const int phase = animationPhase >= 1 && animationPhase <= 7 ? animationPhase : 1;
  return std::string("~wrk") + char('a' + phase - 1) + (scriptRunning ? "s" : "") + ".ico";
}

std::string statusDate(int32_t today) {
  const int day = int(((today % 7) + 7) % 7);
  return clip(kWeekdays.substr(size_t(day) * 9, 9)) + ", " + clip(rt::FORMAT(double(today), "@d17"));
}

std::string statusTime(int32_t now) {
  const std::string code = clip(files::FORMAT.TIME.view());
  std::string picture = "@t7";
  if (!code.empty() && (code[0] == 't' || code[0] == 'T')) {
    if (code == "tb8") {
      picture = "@t8b";
    } else if (code == "t1b" || code == "t3b" || code == "t03b" || code == "t4b" || code == "t6b" || code == "t06b" ||
               code == "t7b") {
      picture = "@" + code;
    } else {
      return {};  // zone 4 is left as it is
    }
  }
  return clip(rt::FORMAT(double(now), picture));
}

void CheckDueTasks() {
  TickState& t = tickState();
  RunnerState& r = runnerState();
  const bool hasWatch = tickFrame().hasChangeNotification && tickFrame().hasChangeNotification();
  if (t.noWatchDir) {
    call(tickFrame().closeChangeNotification);
  } else if (hasWatch && tickFrame().dataFolderChanged && tickFrame().dataFolderChanged()) {
    r.NextCheckDate = rt::TODAY();
    r.NextCheckTime = rt::CLOCK() + 100;
    files::FIXDATE(r.NextCheckDate, r.NextCheckTime);
    r.RefreshPending += 1;
  }
  const bool watching = !t.noWatchDir && tickFrame().hasChangeNotification && tickFrame().hasChangeNotification();
  if ((watching || t.TickCounter % 3 != 0) && t.TickCounter != 1 &&
      files::COMPAREDATEMINUTE(rt::TODAY(), rt::CLOCK(), r.NextCheckDate, r.NextCheckTime) < 0)
    return;
  FindNextTask();
  CheckAdvanceWarnings();
}

void ClockForwardCheck() {
  call(tickFrame().reapPrograms);
  TickState& t = tickState();
  const int32_t today = rt::TODAY();
  // The last date seen moves on with every tick, so only a jump of the clock warns (not a program
  // that has simply run for days), and only a jump forward.
  if (t.LastSeenDate != 0 && today - t.LastSeenDate >= 4) {
    call(tickFrame().startBackup);
    const std::string text = "Warning!\r\rYou have set the system date forward more than 3 days.\r\rTasks scheduled prior to " +
                             clip(rt::FORMAT(double(today), "@d17")) + " " + clip(rt::FORMAT(double(rt::CLOCK()), "@t7")) +
                             " will be executed immediately.  We recommend that you make a backup or change the date back to " +
                             clip(rt::FORMAT(double(t.LastSeenDate), "@d17")) + " before pressing OK (on this warning message).";
    call(tickFrame().warn, text, "Warning");
  }
  t.LastSeenDate = today;
}

void MainTimerTick() {
  TickState& t = tickState();
  RunnerState& r = runnerState();
  t.animationPhase = t.animationPhase % 7 + 1;
  t.previousScriptRunning = t.ScriptRunning;
  t.ScriptRunning = false;
  if (files::CLIP.MONITOR && !files::CLIP.USEEXTERNAL) CaptureClipboard();

  if (++t.TickCounter > 60) {
    t.TickCounter = 1;
    // The tray setting may have changed since the frame opened: minimising follows it.
    if (files::GLO.NOTRAY == 0)
      call(tickFrame().disallowMinimize);
    else if (files::GLO.NOTRAY == 1)
      call(tickFrame().allowMinimize);
    // One day-change broadcast per change of date.
    if (rt::TODAY() != t.startupDay) {
      t.startupDay = rt::TODAY();
      call(tickFrame().broadcastDayChange);
    }
  }
  std::string title = productTitle();
  call(tickFrame().setStatus, 3, statusDate(rt::TODAY()));
  if (std::string time = statusTime(rt::CLOCK()); !time.empty()) call(tickFrame().setStatus, 4, time);

  if (SchedulerActive) {
    UpdateTitle(title);
    CheckDueTasks();
    ClockForwardCheck();
    if (t.TickCounter == 1 && RemoveExpiredHistory()) r.RefreshPending += 1;
    if (t.TickCounter % 3 == 0) call(tickFrame().pollTriggers);
  } else {
    UpdateTitle(title + " (Inactive)");
    call(tickFrame().closeChangeNotification);
  }
  UpdateScriptState();
  UpdateWorkingIcon();
  const bool noted = ShowStatusBarNote();
  if (!noted) UpdateStatusLine();
  if (t.ScriptRunning) {
    call(tickFrame().scriptStep);
    if (!noted) UpdateStatusLine();
  }
  GuardCurrentFolder();
  CheckDataFiles();
  if (t.ScriptRunning) {
    t.busyPhase = t.busyPhase % 4 + 1;
    call(tickFrame().setTrayIcon, t.busyPhase % 2 == 1 ? "traybusy_ico" : "traybus2_ico");
  } else {
    // Idle: the clock, or while the scheduler is off its inactive picture, so that the tray tells
    // at a glance whether tasks will run.
    call(tickFrame().setTrayIcon, SchedulerActive ? "tray_ico" : "trayoff");
  }
  if (t.TickCounter % 2 == 0 && r.RefreshPending != 0) {
    r.RefreshPending = 0;
    call(tickFrame().broadcastRefresh);
  }
}

}  // namespace ov::scheduler
