#include "scheduler/runner.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "platform/rt/err.h"
#include "platform/rt/picture.h"
#include "platform/ui/host.h"
#include "scheduler/event_log.h"
#include "scheduler/schedule_data.h"
#include "scheduler/services.h"

namespace ov::scheduler {

using files::SCH;
using rt::Err;

namespace {

constexpr int32_t kLateLimit = 60000;      // ten minutes
constexpr int32_t kFirstLookDelay = 2000;  // twenty seconds
constexpr int32_t kEmptyLookDelay = 6000;  // one minute
constexpr int kMaxMessageThreads = 60;
constexpr size_t kDescriptionWidth = 40;

bool isTaskType(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::toupper(uint8_t(x)) == std::toupper(uint8_t(y)); });
}
bool showsMessage() { return isTaskType(SCH.TaskType.clipped(), "Display Message") || isTaskType(SCH.TaskType.clipped(), "Both"); }
bool runsProgram() { return isTaskType(SCH.TaskType.clipped(), "Run Program") || isTaskType(SCH.TaskType.clipped(), "Both"); }

std::string expand(std::string_view text) {
  return services().expandVariables ? services().expandVariables(text) : std::string(text);
}

int queuedScripts() { return runnerFrame().queuedScripts ? runnerFrame().queuedScripts() : 0; }

void call(const std::function<void()>& f) {
  if (f) f();
}

// The description with a mark in front, cut to the field's width without splitting a character.
void markDescription(std::string_view mark) {
  std::string text = std::string(mark) + SCH.Description.str();
  size_t cut = std::min(text.size(), kDescriptionWidth);
  while (cut > 0 && cut < text.size() && (uint8_t(text[cut]) & 0xC0) == 0x80) --cut;
  SCH.Description = std::string_view(text).substr(0, cut);
}

std::string programFailureMark(int code) {
  return code == 2 ? std::string("(File not found!) ") : "(Error " + std::to_string(code) + "!) ";
}

// Asks whether a task that waited too long, or that asks each time, runs; true = skip it.
bool AskMissedTask() {
  const int32_t today = rt::TODAY(), now = rt::CLOCK();
  const int32_t days = files::TASK.SKIPIFDAYSPASSED;
  const int32_t limit = SCH.Date + days + (days == 0 ? 1 : 0);
  const std::string description = SCH.Description.str();
  if (files::COMPAREDATEMINUTE(today, now, limit, SCH.Time) <= 0) {
    if (!SCH.UserSkip) return false;
    call(runnerFrame().raise);
    if (ui::MESSAGE(description + " is due to run.  Run it now?", "Confirm Task", ui::Icon::Exclamation,
                    ui::BUTTON::Yes | ui::BUTTON::No, ui::BUTTON::No) == ui::BUTTON::Yes)
      return false;
    WriteLog(description, "Task skipped");
    return true;
  }
  if (!SCH.Warn || isTaskType(SCH.TaskType.clipped(), "Display Message")) return true;
  call(runnerFrame().raise);
  if (ui::MESSAGE(description + " was not run.  Run it now?", "Missed Task", ui::Icon::Exclamation,
                  ui::BUTTON::Yes | ui::BUTTON::No, ui::BUTTON::No) == ui::BUTTON::Yes)
    return false;
  WriteLog(description, "Missed task skipped");
  return true;
}

void RestoreForMessage() {
  const bool ownDisplay = (!files::MSG.USEMODAL && !files::MSG.USEEXTERNAL) || files::TASK.RESTOREONRUNPROGRAM;
  if (ownDisplay && (showsMessage() || files::TASK.RESTOREONRUNPROGRAM)) call(runnerFrame().restore);
}

// The seconds since the epoch at which the local clock shows (date, time): the earliest and the
// latest of them. A moment of the hour repeated when the clock goes back is shown twice; a moment
// of the hour skipped when it goes forward is never shown, and counts as reached at the jump.
struct Instants {
  int64_t earliest = 0, latest = 0;
};
Instants instantsOf(int32_t date, int32_t time) {
  const int32_t secs = time > 0 ? (time - 1) / 100 : 0;
  std::tm wall{};
  wall.tm_year = rt::YEAR(date) - 1900;
  wall.tm_mon = rt::MONTH(date) - 1;
  wall.tm_mday = rt::DAY(date);
  wall.tm_hour = secs / 3600;
  wall.tm_min = secs / 60 % 60;
  wall.tm_sec = secs % 60;
  auto shown = [](std::time_t s) {
    std::tm tm{};
    localtime_r(&s, &tm);
    return tm;
  };
  auto key = [](const std::tm& tm) {
    return ((((int64_t(tm.tm_year) * 12 + tm.tm_mon) * 32 + tm.tm_mday) * 24 + tm.tm_hour) * 60 + tm.tm_min) * 60 +
           tm.tm_sec;
  };
  const int64_t wanted = key(wall);
  std::vector<int64_t> found, tried;
  for (int dst : {0, 1}) {
    std::tm tm = wall;
    tm.tm_isdst = dst;
    const std::time_t s = std::mktime(&tm);
    tried.push_back(int64_t(s));
    if (key(shown(s)) == wanted) found.push_back(int64_t(s));
  }
  if (found.empty()) {
    // In the skipped hour: the first second at which the clock shows a later moment.
    int64_t lo = std::min(tried[0], tried[1]), hi = std::max(tried[0], tried[1]);
    while (lo < hi) {
      const int64_t mid = lo + (hi - lo) / 2;
      if (key(shown(std::time_t(mid))) >= wanted)
        hi = mid;
      else
        lo = mid + 1;
    }
    found.push_back(lo);
  }
  return {*std::min_element(found.begin(), found.end()), *std::max_element(found.begin(), found.end())};
}

// How long ago (centiseconds) the moment was, as time has passed, not as the local clock reads:
// on the nights the clock is put forward or back the two differ by the hour. Where the clock's
// reading is ambiguous, the moment counts as late as possible; now is the reading the system clock
// is at (the earlier one under a test clock, which has only the reading).
int64_t centisecondsSince(int32_t date, int32_t time, int32_t nowDate, int32_t nowTime) {
  const int64_t due = instantsOf(date, time).latest;
  const Instants nowAt = instantsOf(nowDate, nowTime);
  int64_t now = nowAt.earliest;
  if (!rt::hasTestClock()) {
    const int64_t real = int64_t(std::time(nullptr));
    if (std::llabs(real - nowAt.latest) < std::llabs(real - nowAt.earliest)) now = nowAt.latest;
  }
  const auto part = [](int32_t t) { return t > 0 ? (t - 1) % 100 : 0; };
  return (now - due) * 100 + part(nowTime) - part(time);
}

// True when the occurrence is late beyond the limits and the task skips late starts.
bool isOverdue() {
  if (!SCH.SkipIfMissed) return false;
  const int64_t late = centisecondsSince(SCH.Date, SCH.Time, rt::TODAY(), rt::CLOCK());
  if (late > kLateLimit) return true;
  const int32_t override = runnerState().OverrideSkipTimeout;
  return override > 500 && late > override;
}

void soundAlarm() {
  std::string file(SCH.AlarmFile.clipped());
  std::string upper = file;
  for (char& c : upper) c = char(std::toupper(uint8_t(c)));
  if (upper == "BEEP") {
    if (services().beep) services().beep();
  } else if (services().playSound) {
    services().playSound(file);
  }
}

// The outside message program, looked up in the current folder and then the program's folder.
bool outsideMessageProgramExists() {
  std::error_code ec;
  for (const std::string& dir : {std::string("."), files::EXEPATH.str()}) {
    if (dir.empty()) continue;
    for (std::string_view name : {kOutsideMessageProgram, std::string_view("ovmsg")})
      if (std::filesystem::is_regular_file(std::filesystem::path(dir) / name, ec)) return true;
  }
  return false;
}

}  // namespace

RunnerFrame& runnerFrame() {
  static RunnerFrame frame;
  return frame;
}

RunnerState& runnerState() {
  static RunnerState state;
  return state;
}

void DisplayTaskMessage() {
  const std::string description = SCH.Description.str();
  if (files::MSG.USEEXTERNAL) {
    if (!runnerState().suppressExternalLog)
      WriteLog(description + " " + std::string(SCH.AlarmFile.clipped()) + " /External", "Message");
    runnerState().suppressExternalLog = false;
    // Linux has no outside message program; when one has not been installed beside the program, the
    // reminder is shown by the program's own window below rather than being lost.
    if (outsideMessageProgramExists() && services().runNoWait) {
      files::MSGLINK.clear();
      if (files::Access_MSGLINK.Open() == Err::None) {
        int32_t id = 1;
        if (files::MSGLINK.set(files::ML_K_ID) == Err::None && files::MSGLINK.previous() == Err::None) id = files::ML.ID + 1;
        files::MSGLINK.clear();
        files::ML.ID = id;
        files::ML.Title = expand(description);
        files::ML.Message = expand(SCH.Message.str());
        files::ML.AlarmFile = SCH.Alarm ? expand(SCH.AlarmFile.clipped()) : std::string();
        const bool added = files::Access_MSGLINK.TryInsert() == Err::None;
        (void)files::Access_MSGLINK.Close();
        if (added && services().runNoWait(std::string(kOutsideMessageProgram) + " ID=" + std::to_string(id)) == 0) return;
      }
    }
  }
  const int threads = services().threadCount ? services().threadCount() : 0;
  ReminderText reminder;
  reminder.title = expand(description).substr(0, 40);
  reminder.message = expand(SCH.Message.str()).substr(0, 1024);
  reminder.sound = SCH.Alarm ? expand(SCH.AlarmFile.clipped()) : std::string();
  reminder.modal = !files::MSG.USEEXTERNAL && files::MSG.USEMODAL;
  if (threads >= kMaxMessageThreads || !services().showReminder) {
    call(runnerFrame().raise);
    (void)ui::MESSAGE(reminder.message, reminder.title);
    return;
  }
  services().showReminder(reminder);
}

void RunDueTask() {
  const int32_t idAsFound = SCH.ID;
  const bool skipNextTime = SCH.SkipNextTime != 0;
  bool skip = false;
  int programResult = 0;
  bool storeError = false;
  const std::string description = SCH.Description.str();

  if (!skipNextTime) {
    RestoreForMessage();
    if (isOverdue()) {
      WriteLog(description, "Overdue task skipped");
      skip = true;
    } else if (SCH.SkipIfScriptActive && queuedScripts() > 0) {
      WriteLog(description, "Task skipped during script");
      skip = true;
    } else {
      skip = AskMissedTask();
    }
  }
  SCH.LastRunDate = rt::TODAY();
  SCH.LastRunTime = rt::CLOCK();

  if (!skip && !skipNextTime) {
    if (showsMessage()) DisplayTaskMessage();
    if (runsProgram() && services().runTaskProgram)
      programResult = services().runTaskProgram(SCH.ID, SCH.Command.clipped(), SCH.Path.clipped());
    if (SCH.Alarm) soundAlarm();
  }

  const int32_t savedDate = SCH.Date, savedTime = SCH.Time;
  const int32_t savedWarnDate = SCH.AdvanceWarnDate, savedWarnTime = SCH.AdvanceWarnTime;
  bool offsetsHeld = false;
  if (SCH.AdvanceWarnDate != 0) {
    SCH.AdvanceWarnDate -= SCH.Date;
    offsetsHeld = true;
  }
  if (SCH.AdvanceWarnTime != 0) {
    SCH.AdvanceWarnTime -= SCH.Time;
    offsetsHeld = true;
  }
  const int32_t today = rt::TODAY();
  if (SCH.Date < today && SCH.SkipIfMissed)
    NextOccurrence(today, 0);
  else
    NextOccurrence(today, rt::CLOCK());

  auto makeHistory = [&] {
    SCH.Completed = 1;
    SCH.Disabled = 1;
    SCH.Date = savedDate;
    SCH.Time = savedTime;
    SCH.AdvanceWarnDate = savedWarnDate;
    SCH.AdvanceWarnTime = savedWarnTime;
    SCH.AdvanceWarned = 1;
    if (skip) {
      markDescription("(Skipped) ");
      SCH.Skipped = 1;
    }
    if (programResult != 0) {
      markDescription(programFailureMark(programResult));
      SCH.Skipped = 1;
    }
  };

  if (SCH.Completed) {
    if (SCH.NoHistory) {
      if (files::Access_SCHEDULE.TryDelete() != Err::None) {
        storeError = true;
        WriteLog("Error deleting completed task " + std::to_string(idAsFound) + " : " + rt::ERROR() + " " + description,
                 "Scheduling " + std::to_string(files::SCHEDULE.position()));
      }
      (void)deleteScriptItems(idAsFound);
    } else {
      // The task itself becomes the record of its last occurrence.
      makeHistory();
      if (files::Access_SCHEDULE.TryUpdate() != Err::None) {
        storeError = true;
        WriteLog("Error updating schedule " + std::to_string(idAsFound) + " : " + rt::ERROR() + " " + description,
                 "Scheduling" + std::to_string(files::SCHEDULE.position()));
      }
    }
    if (!files::SCRIPT.SAVEONCOMPLETION) (void)deleteScriptItems(idAsFound);
    return;
  }

  SCH.SkipNextTime = 0;
  if (offsetsHeld) {
    SCH.AdvanceWarnDate += SCH.Date;
    SCH.AdvanceWarnTime += SCH.Time;
  }
  SCH.AdvanceWarned = 0;
  ApplyExceptions();
  if (programResult != 0 && isTaskType(SCH.ScheduleType.clipped(), "Once")) {
    markDescription(programFailureMark(programResult));
    programResult = 0;
    SCH.Skipped = 1;
  }
  if (files::Access_SCHEDULE.TryUpdate() != Err::None) {
    storeError = true;
    WriteLog("Error updating schedule " + std::to_string(idAsFound) + " : " + rt::ERROR() + " " + description, "Scheduling");
  }
  if (SCH.NoHistory || skipNextTime || storeError) return;

  makeHistory();
  SCH.ID = 0;  // numbered when it is added
  if (files::Access_SCHEDULE.TryInsert() != Err::None) {
    WriteLog("Error adding history record " + std::to_string(idAsFound) + " : " + rt::ERROR() + " " + description, "Scheduling");
    return;
  }
  if (SCH.ID != idAsFound && files::SCRIPT.SAVEONCOMPLETION) (void)copyScriptItems(idAsFound, SCH.ID);
}

void FindNextTask() {
  RunnerState& state = runnerState();
  const int32_t today = rt::TODAY(), now = rt::CLOCK();
  auto lookAgainInAMinute = [&] {
    state.NextCheckDate = today;
    state.NextCheckTime = now + kEmptyLookDelay;
    files::FIXDATE(state.NextCheckDate, state.NextCheckTime);
  };
  if (files::Access_SCHEDULE.Open() != Err::None) {
    lookAgainInAMinute();
    return;
  }
  struct Closer {
    ~Closer() { (void)files::Access_SCHEDULE.Close(); }
  } closer;

  files::SCHEDULE.clear();
  SCH.Date = 1;
  SCH.Time = 1;
  if (files::SCHEDULE.setFrom(files::SCH_KeyDateEnabled) != Err::None) return lookAgainInAMinute();
  if (files::SCHEDULE.next() != Err::None || SCH.Disabled) {
    state.nextTaskText = "No tasks pending";
    state.trayTip = files::PRODUCTNAME.str();
    if (runnerFrame().setTrayTip) runnerFrame().setTrayTip(state.trayTip);
    return lookAgainInAMinute();
  }
  if (SCH.Time > 8640000) {
    files::FIXDATE(SCH.Date, SCH.Time);
    if (files::Access_SCHEDULE.TryUpdate() == Err::None) {
      state.NextCheckDate = today;
      state.NextCheckTime = now + kFirstLookDelay;
      files::FIXDATE(state.NextCheckDate, state.NextCheckTime);
      return;
    }
  }
  state.nextTaskText = "Next: " + SCH.Description.str();
  if (queuedScripts() == 0 && runnerFrame().showNextTask) runnerFrame().showNextTask(state.nextTaskText);
  state.trayTip = files::PRODUCTNAME.str() + " - " + SCH.Description.str() + " " + files::FMTDATE(SCH.Date) + " " +
                  rt::FORMAT(double(SCH.Time), "@t7");
  if (runnerFrame().setTrayTip) runnerFrame().setTrayTip(state.trayTip);

  if (files::COMPAREDATEMINUTE(today, now, SCH.Date, SCH.Time) < 0) {
    state.NextCheckDate = SCH.Date;
    state.NextCheckTime = SCH.Time;
    return;
  }
  RunDueTask();
  state.RefreshPending += 1;
  state.NextCheckDate = 0;
  state.NextCheckTime = 0;
}

}  // namespace ov::scheduler
