// What the scheduler core asks of the parts of the main program built on top of it: the variable
// expansion and the program runner of the script interpreter, the reminder display, the logical
// threads' posted events, the system-lock prompt, the default holidays, forwarding a reminder. Each is a replaceable
// function; the main program installs its own at start-up, tests install fakes.
//
// Where a part is not installed the scheduler core goes on without it, as stated per member.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ov::scheduler {

// The texts of one reminder for the program's own message display.
struct ReminderText {
  std::string title;    // 40 bytes at most
  std::string message;  // 1024 bytes at most
  std::string sound;    // a sound file, or empty
  bool modal = false;   // the modal reminder window instead of a message thread
};

struct Services {
  // ExpandVariables: the text with its [variables] replaced. Not installed: the text as it is.
  std::function<std::string(std::string_view text)> expandVariables;
  // RunTaskProgram for a task started at once (normal window, "open", normal priority; it queues
  // the task's script): 0 when started, else a Windows error code. Not installed: nothing runs.
  std::function<int(int32_t task, std::string_view command, std::string_view path)> runTaskProgram;
  // Shows a reminder through the program's message thread or modal window. Not installed: a
  // message box.
  std::function<void(const ReminderText& reminder)> showReminder;
  // Plays a sound file without waiting; the platform beep. Not installed: silence.
  std::function<void(std::string_view file)> playSound;
  std::function<void()> beep;
  // POST(event, 0, thread). Not installed: dropped.
  std::function<void(int event, int thread)> post;
  // fPasswordValidation: true when the system lock is off or opened. Not installed: true.
  std::function<bool()> passwordValidation;
  // InitDefaultHolidays. Not installed: nothing.
  std::function<void()> initDefaultHolidays;
  // LoadRegistryEmailDefaults: fills empty e-mail settings from the registry. Not installed:
  // nothing.
  std::function<void()> loadEmailDefaults;
  // Starts a program without waiting; 0 when it started (RUN and RUNCODE). Not installed: the
  // platform's RUN.
  std::function<int(std::string_view commandLine)> runNoWait;
  // The number of message threads running (THREADCOUNT). Not installed: 0.
  std::function<int()> threadCount;
  // The date picker (Calendar): the chosen date, or `date` when cancelled. Not installed: the
  // date buttons change nothing.
  std::function<int32_t(int32_t date, std::string_view mode, std::string_view title)> calendar;
  // Empties the active script queue. Not installed: nothing.
  std::function<void()> clearActiveScripts;
  // Posts the refresh event to every registered thread. Not installed: to the frame thread.
  std::function<void()> broadcastRefresh;
  // GenerateEmail: forwards a reminder as an e-mail, called modally on the reminder window's
  // thread with that window's reminder. Not installed: the reminder windows' E-mail button is
  // disabled.
  std::function<void(const ReminderText& reminder)> generateEmail;
};

Services& services();

// The frame's logical thread and the events the scheduler core posts to it.
constexpr int kFrameThread = 1;
constexpr int kEventRefreshAll = 3394;

}  // namespace ov::scheduler
