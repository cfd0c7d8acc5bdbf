#include "scheduler/task_items.h"

#include <mutex>
#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "scheduler/detail/keep_place.h"
#include "scheduler/event_log.h"
#include "platform/ui/host.h"
#include "scheduler/schedule_data.h"
#include "scheduler/services.h"

namespace ov::scheduler {

using files::SCH;
using rt::Err;

namespace {

constexpr int kMaxAdvanceTasks = 10000;
constexpr int kMaxMessageThreads = 60;

struct WarningMoment {
  std::mutex mutex;
  int32_t date = 0, time = 0;
};
WarningMoment& keptWarning() {
  static WarningMoment w;
  return w;
}

std::string expand(std::string_view text) {
  return services().expandVariables ? services().expandVariables(text) : std::string(text);
}

void postRefresh() {
  if (services().post) services().post(kEventRefreshAll, kFrameThread);
}

int runNoWait(const std::string& commandLine) {
  if (services().runNoWait) return services().runNoWait(commandLine);
  rt::RUN(commandLine, false);
  return rt::RUNCODE();
}

// Reads the task whose ID stands in SCH, changes it and writes it back.
template <typename Change>
void changeTask(Change change) {
  if (files::Access_SCHEDULE.Open() != Err::None) return;
  if (files::Access_SCHEDULE.Fetch(files::SCH_KeyID) == Err::None) {
    change();
    (void)files::Access_SCHEDULE.Update();  // a failure is reported by the error manager
  }
  (void)files::Access_SCHEDULE.Close();
  postRefresh();
}

// Hands a message to the outside message program through a MSGLINK record. True when the program
// started; false leaves the message to the program's own display.
bool showThroughMessageProgram(const std::string& title, const std::string& message, const std::string& sound) {
  db::FileManager& link = files::Access_MSGLINK;
  if (link.Open() != Err::None) return false;
  bool started = false;
  {
    detail::KeepPlace keep(files::MSGLINK);
    files::MSGLINK.clear();
    int32_t id = 1;
    if (files::MSGLINK.set(files::ML_K_ID) == Err::None && files::MSGLINK.previous() == Err::None)
      id = files::ML.ID + 1;
    files::MSGLINK.clear();
    files::ML.ID = id;
    files::ML.Title = title;
    files::ML.Message = message;
    files::ML.AlarmFile = sound;
    if (link.TryInsert() == Err::None) {
      const std::string args = "OVMSG.EXE ID=" + std::to_string(id);
      std::string folder(files::EXEPATH.clipped());
      if (!folder.empty() && folder.back() != '/') folder += '/';
      started = runNoWait(rt::EXISTS("OVMSG.EXE") ? args : folder + args) == 0;
    }
  }
  (void)link.Close();
  return started;
}

std::string noticeText() {
  std::string text = rt::FORMAT(double(SCH.Date), "@d3") + " " + rt::FORMAT(double(SCH.Time), "@t3") + "\r\n\r\n";
  const std::string message = SCH.Message.str(), command = SCH.Command.str();
  if (SCH.TaskType == "Display Message") {
    text += message;
  } else if (SCH.TaskType == "Run Program") {
    text += "Command:  " + command;
  } else if (SCH.TaskType == "Both") {
    text += message + "\r\n\r\nCommand: " + command;
  } else {
    text += message;
    if (!command.empty()) text += "\r\n\r\nCommand: " + command;
  }
  return text;
}

}  // namespace

void ToggleTaskEnabled() {
  changeTask([] {
    SCH.Disabled = !SCH.Disabled;
    if (!SCH.Disabled && SCH.Completed) {
      SCH.Completed = 0;
      SCH.SkipNextTime = 1;  // its stale occurrence is skipped once
      SCH.AdvanceWarned =
          files::COMPAREDATEMINUTE(rt::TODAY(), rt::CLOCK(), SCH.AdvanceWarnDate, SCH.AdvanceWarnTime) >= 0;
    }
  });
}

void ToggleSkipNextOccurrence() {
  changeTask([] { SCH.SkipNextTime = !SCH.SkipNextTime; });
}

int32_t SnoozeTask() {
  static constexpr int32_t kDelays[] = {30000, 60000, 180000, 360000, 720000, 1080000};
  const int choice = ui::POPUP("5 minutes|10 minutes|30 minutes|1 hour|2 hours|3 hours|-|Cancel");
  if (choice < 1 || choice > 6) return 0;
  if (files::Access_SCHEDULE.Open() != Err::None) return 0;
  int32_t newId = 0;
  const int32_t taskId = SCH.ID;
  {
    detail::KeepPlace keep(files::SCHEDULE);
    int32_t date = rt::TODAY(), time = rt::CLOCK() + kDelays[choice - 1] + 100;
    files::FIXDATE(date, time);
    SCH.ID = 0;  // numbered when it is added
    SCH.Date = date;
    SCH.Time = time;
    SCH.ScheduleType = "Once";
    SCH.AdvanceWarnDate = SCH.AdvanceWarnTime = 0;
    SCH.Disabled = SCH.Completed = SCH.Skipped = 0;
    // The copy is a reminder of its own: it neither inherits a pending skip nor the task's shift.
    SCH.SkipNextTime = 0;
    SCH.ExceptionLink = 0;
    if (files::Access_SCHEDULE.Insert() == Err::None) newId = SCH.ID;
  }
  (void)files::Access_SCHEDULE.Close();
  if (newId != 0) (void)copyScriptItems(taskId, newId);
  postRefresh();
  return newId;
}

namespace {

// Whether task `id` has any script items.
bool hasScriptItems(int32_t id) {
  if (files::Access_SCRIPTING.TryOpen() != rt::Err::None) return false;
  files::SCR = {};
  files::SCR.ID = id;
  const bool found = files::SCRIPTING.setFrom(files::SCR_KeyID) == rt::Err::None &&
                     files::SCRIPTING.next() == rt::Err::None && files::SCR.ID == id;
  (void)files::Access_SCRIPTING.Close();  // read only
  return found;
}

}  // namespace

void RunTaskNow() {
  // A program task without a program runs only its script; with none left there is nothing to
  // do, and the user is told why instead of seeing nothing happen.
  if (SCH.TaskType == "Run Program" && rt::UPPER(SCH.Command.clipped()).starts_with("N/A") && !hasScriptItems(SCH.ID)) {
    ui::MESSAGE(SCH.Completed ? "This task has already been executed, and its script was removed when it was "
                                "completed, so there is nothing left to execute.\r\n\r\nTo keep the scripts of "
                                "completed tasks, check \"Save script information on completed tasks\" on the "
                                "Scripting tab of the Options."
                              : "This task has no program to run and no script items, so there is nothing to execute.",
                "Execute", ui::Icon::Exclamation);
    return;
  }
  if (SCH.Alarm) {
    if (rt::UPPER(SCH.AlarmFile.clipped()) == "BEEP") {
      if (services().beep) services().beep();
    } else if (services().playSound) {
      services().playSound(SCH.AlarmFile.clipped());
    }
  }
  if (SCH.TaskType == "Display Message" || SCH.TaskType == "Both") ShowTaskMessage();
  if ((SCH.TaskType == "Run Program" || SCH.TaskType == "Both") && services().runTaskProgram)
    (void)services().runTaskProgram(SCH.ID, SCH.Command.clipped(), SCH.Path.clipped());
}

void ShowTaskMessage() {
  const std::string title = expand(SCH.Description.clipped());
  const std::string message = expand(SCH.Message.clipped());
  const std::string sound = SCH.Alarm ? expand(SCH.AlarmFile.clipped()) : std::string();
  if (files::MSG.USEEXTERNAL) {
    WriteLog(SCH.Description.str() + " " + SCH.AlarmFile.str() + " /External", "Message");
    if (showThroughMessageProgram(title, message, sound)) return;
  }
  const int threads = services().threadCount ? services().threadCount() : 0;
  if (threads >= kMaxMessageThreads || !services().showReminder) {
    ui::MESSAGE(message, title);
    return;
  }
  ReminderText reminder;
  reminder.title = rt::String<40>(title).str();
  reminder.message = rt::String<1024>(message).str();
  reminder.sound = rt::String<255>(sound).str();
  reminder.modal = !files::MSG.USEEXTERNAL && files::MSG.USEMODAL;
  services().showReminder(reminder);
}

bool CheckScheduleLink(std::string_view what, int32_t idPresent) {
  if (idPresent != 0) return true;
  ui::MESSAGE("Unable to attach " + std::string(what) + " to scheduled item.  Schedule ID is " +
                  std::to_string(SCH.ID) + ".",
              "Internal Error", ui::Icon::Hand);
  return false;
}

namespace {

struct Notice {
  std::string description, alarmFile, text;
  bool alarm = false;
};

void showNotice(const Notice& n) {
  const std::string expanded = expand(n.text);
  const std::string title = "Advanced Warning: " + expand(n.description);
  if (files::MSG.USEEXTERNAL && showThroughMessageProgram(title, expanded, n.alarm ? n.alarmFile : std::string()))
    return;
  ui::MESSAGE(expanded, title, ui::Icon::Exclamation);
}

}  // namespace

void CheckAdvanceWarnings() {
  if (files::Access_SCHEDULE.Open() != Err::None) return;
  // The notices are shown after the pass: a message box lets other windows use the SCHEDULE file.
  std::vector<Notice> notices;
  {
    detail::KeepPlace keep(files::SCHEDULE);
    const int32_t today = rt::TODAY(), now = rt::CLOCK();
    WarningMoment& kept = keptWarning();
    Err err = files::SCHEDULE.set(files::SCH_KeyAdvanced);
    for (int seen = 0; err == Err::None && seen < kMaxAdvanceTasks; ++seen) {
      if ((err = files::SCHEDULE.next()) != Err::None) break;
      if (SCH.AdvanceWarned || SCH.ScheduleType.isBlank()) break;  // the rest are warned already
      if (files::COMPAREDATEMINUTE(SCH.AdvanceWarnDate, SCH.AdvanceWarnTime, today, now) > 0) {
        std::lock_guard lock(kept.mutex);
        if (kept.date == 0 || files::COMPAREDATE(kept.date, kept.time, SCH.AdvanceWarnDate, SCH.AdvanceWarnTime) > 0) {
          kept.date = SCH.AdvanceWarnDate;
          kept.time = SCH.AdvanceWarnTime;
        }
        // The key orders the tasks still to warn by their warning moment: every later one lies in
        // the future too, so the pass is over (a tick must not read thousands of records).
        break;
      }
      SCH.AdvanceWarned = 1;
      if (files::Access_SCHEDULE.Update() != Err::None) break;  // reported by the error manager
      // A task without a warning date asked for no advance warning.
      if (SCH.Completed || SCH.Disabled || SCH.AdvanceWarnDate == 0) continue;
      if (SCH.SkipNextTime) {
        WriteLog("Skipped:  " + SCH.Description.str(), "Advanced Warning");
        continue;
      }
      WriteLog(SCH.Description.str(), "Advanced Warning");
      notices.push_back({SCH.Description.str(), std::string(SCH.AlarmFile.clipped()), noticeText(), SCH.Alarm != 0});
      std::lock_guard lock(kept.mutex);
      kept.date = kept.time = 0;
    }
  }
  (void)files::Access_SCHEDULE.Close();
  for (const Notice& n : notices) showNotice(n);
}

void ShowAdvanceWarning(std::string_view text) {
  showNotice({SCH.Description.str(), std::string(SCH.AlarmFile.clipped()), std::string(text), SCH.Alarm != 0});
}

void nextAdvanceWarning(int32_t& date, int32_t& time) {
  WarningMoment& kept = keptWarning();
  std::lock_guard lock(kept.mutex);
  date = kept.date;
  time = kept.time;
}

}  // namespace ov::scheduler
