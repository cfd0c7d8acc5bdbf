#include "scheduler/program_runner.h"

#include <algorithm>
#include <QCoreApplication>

#include <chrono>
#include <thread>
#include <vector>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/prepare_script_record.h"
#include "datalib/records.h"
#include "datalib/script_status.h"
#include "platform/rt/date_time.h"
#include "platform/rt/err.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "scheduler/detail/script_util.h"
#include "scheduler/event_log.h"
#include "scheduler/script_queue.h"
#include "scheduler/script_services.h"
#include "scheduler/services.h"
#include "scheduler/variables.h"

namespace ov::scheduler {

rt::Queue<ProgramExitEntry> ProgramExitQueue;
bool ScriptingLock = false;

namespace {

using detail::cut;

constexpr size_t kCommandWidth = 255;
constexpr int kLockWaitMs = 3000;  // 300 centiseconds
constexpr int kEventCloseDown = 514;
constexpr int kEventCloseWindow = 513;

// Waits for the scripting lock, letting the other logical threads run; gives up after 3 seconds
// with a log line and takes the lock anyway.
void takeScriptingLock() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
  while (ScriptingLock && std::chrono::steady_clock::now() < deadline) {
    if (QCoreApplication::instance()) ui::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (ScriptingLock) WriteLog("Lock Error", "Scripting");
  ScriptingLock = true;
}

// The scripting lock, the busy cursor and the current folder of one call, given back on return.
class CallScope {
 public:
  CallScope(bool withTask) : m_withTask(withTask) {
    if (m_withTask) takeScriptingLock();
  }
  ~CallScope() {
    restoreFolder();
    if (m_withTask) ScriptingLock = false;
  }
  void rememberFolder() {
    m_folder = rt::SHORTPATH(rt::PATH());
    m_busy = std::make_unique<ui::BusyCursor>();
  }
  void restoreFolder() {
    if (!m_folder.empty()) (void)rt::SETPATH(m_folder);  // it existed a moment ago
  }

 private:
  bool m_withTask;
  std::string m_folder;
  std::unique_ptr<ui::BusyCursor> m_busy;
};

std::string runLabel(int32_t task) {
  return task != 0 ? "Run Program (" + std::to_string(task) + ")" : std::string("Run Program ");
}

void setExitCodes(std::string_view command, const std::string& value) {
  SetVariable(value, "ExitCode" + files::EXTRACTFILENAME(command));
  SetVariable(value, "ExitCode");
}

struct Attempt {
  int error = 0;            // the first error recorded
  uint32_t shellHandle = 0; // what a successful shell start gives the queued steps
  std::string resultText;
};

bool createProcess(std::string_view command, const RunOptions& o, int32_t windowMode, const std::string& shown,
                   Attempt& a) {
  a.resultText = "(Successful CreateProcess)";
  rt::StartOptions options;
  options.show = (windowMode == 0 || windowMode == 2 || windowMode == 3 || windowMode == 7 || windowMode == 8)
                     ? windowMode
                     : 1;
  options.priority = o.normalPriority || o.priority < 1 || o.priority > 3 ? 2 : o.priority;
  std::string line = cut(rt::clipView(command), kCommandWidth);
  if (rt::clipView(command).size() > kCommandWidth) WriteLog("Program name too long - " + shown, "Error");
  const rt::Started started = rt::startProgram(line, options);
  if (!started.ok()) {
    if (a.error == 0) a.error = started.error;
    return false;
  }
  if (files::LOG.ALLEXITCODES && files::LOG.ACTIVE) {
    ProgramExitQueue.buf = {};
    ProgramExitQueue.buf.HPROCESS = started.handle;
    ProgramExitQueue.buf.COMMANDLINE = shown;
    ProgramExitQueue.ADD();
  } else if (!o.handle) {
    rt::closeProgram(started.handle);
  }
  if (o.handle) *o.handle = started.handle;
  return true;
}

bool shellTry(std::string_view file, std::string_view parameters, std::string_view folder, const std::string& verb,
              Attempt& a) {
  const rt::Started started = rt::shellOpen(file, parameters, folder, verb);
  if (started.ok()) {
    a.shellHandle = uint32_t(started.handle);
    return true;
  }
  if (a.error == 0) a.error = started.error;
  return false;
}

bool shellExecute(std::string_view commandIn, const RunOptions& o, Attempt& a) {
  const std::string verb = o.openVerb ? std::string("open") : rt::LOWER(rt::clipView(o.verb));
  a.resultText = "(Successful ShellExec " + verb + ")";
  const std::string command(rt::clipView(commandIn));
  const std::string_view folder = rt::clipView(o.folder);
  if (shellTry(command, {}, folder, verb, a)) return true;

  // Second try: the program and its parameters split at the closing quote or the first blank.
  std::string file = command, parameters;
  if (command.starts_with('"')) {
    const size_t close = command.find('"', 1);
    file = command.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    if (close != std::string::npos) parameters = command.substr(close + 1);
  } else if (const size_t blank = command.find(' '); blank != std::string::npos) {
    file = command.substr(0, blank);
    parameters = command.substr(blank + 1);
  }
  if (shellTry(file, rt::CLIP(rt::LEFT(parameters)), folder, verb, a)) return true;

  // Third: every blank from the end, for a path with blanks written without quotes.
  for (int pos = int(command.size()) - 1; pos >= 3; --pos) {  // 1-based positions
    if (command[size_t(pos) - 1] != ' ') continue;
    if (shellTry(command.substr(0, size_t(pos) - 1), command.substr(size_t(pos)), folder, verb, a)) return true;
  }
  return false;
}

void reportSuccess(int32_t task, std::string_view command, std::string_view folder, const std::string& shown,
                   const std::string& resultText) {
  if (shown.find("OVCHAIN.EXE TASK=") != std::string::npos) {
    WriteLog(files::SCH.Category.str() + " " + files::SCH.Description.str() + " " + shown + " " + resultText,
             "Trigger");
    return;
  }
  WriteLog(shown + " " + std::string(rt::clipView(folder)) + " " + resultText, runLabel(task));
  setExitCodes(command, "0");
}

int32_t reportFailure(int32_t task, std::string_view command, std::string_view folder, const std::string& shown,
                      int error) {
  setExitCodes(command, std::to_string(error));
  const std::string description = startErrorDescription(error);
  if (files::LOG.ACTIVE) {
    WriteLog("FAILED: " + shown + " " + std::string(rt::clipView(folder)), runLabel(task));
    WriteLog(description, "Error code " + std::to_string(error));
  } else {
    (void)ui::MESSAGE("Could not start " + shown + ".", "Error Code " + std::to_string(error) + " " + description);
  }
  return error == 0 ? -1 : error;
}

}  // namespace

std::string commandShownName(std::string_view commandIn) {
  const std::string command(commandIn);
  const std::string lower = rt::LOWER(command);
  std::string shown = command;
  // The password is given as p="..." or, as the scheduler hands it over, as PASSWORDFILE="...".
  const size_t password = std::min(lower.find("p="), lower.find("passwordfile="));
  if (lower.find("executeas") != std::string::npos && password != std::string::npos) {
    size_t anchor = password;
    if (const size_t d = lower.find("d="); d != std::string::npos && d > anchor) anchor = d;
    shown.clear();
    const size_t open = command.find('"', anchor);
    const size_t close = open == std::string::npos ? open : command.find('"', open + 1);
    if (close != std::string::npos) {
      const size_t blank = command.find(' ', close + 1);
      if (blank != std::string::npos) shown = command.substr(blank);
    }
  }
  return rt::CLIP(rt::LEFT(cut(files::maskPasswords(shown), kCommandWidth)));
}

std::string startErrorDescription(int code) {
  switch (code) {
    case 2: return "FILE NOT FOUND.  CHECK THE TASK/SCRIPT PARAMETERS OR NETWORK CONNECTIONS.";
    case 3: return "PATH/FOLDER NOT FOUND.  CHECK THE TASK/SCRIPT PARAMETERS OR NETWORK CONNECTIONS.";
    case 5: return "ACCESS DENIED.  THE OPERATING SYSTEM DENIED ACCESS TO THE SPECIFIED FILE. ";
    case 8: return "OUT OF MEMORY.  THE OPERATING SYSTEM IS OUT OF MEMORY OR RESOURCES.";
    case 11: return "BAD FORMAT.  THE .EXE FILE IS INVALID (NON-WIN32\u00AE .EXE OR ERROR IN .EXE IMAGE).";
    case 26: return "A SHARING VIOLATION OCCURRED.";
    case 27: return "THE FILE NAME ASSOCIATION IS INCOMPLETE OR INVALID.";
    case 31:
      return "THERE IS NO APPLICATION ASSOCIATED WITH THE GIVEN FILE NAME EXTENSION OR YOU HAVE ATTEMPTED TO "
             "PRINT A FILE THAT IS NOT PRINTABLE.";
    case 32: return "DLL NOT FOUND.  THE SPECIFIED DYNAMIC-LINK LIBRARY WAS NOT FOUND. ";
    default: return systemErrorText(code);
  }
}

int32_t RunTaskProgram(std::string_view commandIn, const RunOptions& o) {
  std::string command(rt::clipView(commandIn));
  const std::string shown = commandShownName(command);
  CallScope scope(o.task != 0);
  const std::string head = rt::UPPER(command.substr(0, 7));

  if (head == "OVCHAIN" && rt::UPPER(command).find("TASK=") == std::string::npos) {
    // The chain program takes over and the main program closes. (The service program, which
    // would make this a plain start, does not exist here.) When the chain program cannot be
    // started the main program stays and the failure is reported like any other.
    const rt::Started chain = rt::startProgram(command);
    if (chain.ok()) {
      rt::closeProgram(chain.handle);
      if (services().post) {
        services().post(kEventCloseDown, kFrameThread);
        services().post(kEventCloseWindow, kFrameThread);
      }
      return 0;
    }
    return reportFailure(o.task, command, o.folder, shown, chain.error);
  }
  if (head == "OVEMAIL") {
    const int32_t message = int32_t(rt::textToNumber(rt::clipView(command.substr(7, 12))));
    command = "N/A";
    SetVariable(std::to_string(sendMessageRecord(message)), "EmailExitCode");
  }

  scope.rememberFolder();
  rt::clearError();
  const int32_t windowMode = o.normalWindow ? 1 : o.show;
  if (!rt::clipView(o.folder).empty()) (void)rt::SETPATH(rt::clipView(o.folder));  // a bad folder fails the start

  Attempt a;
  if (rt::UPPER(command.substr(0, 3)) != "N/A") {
    bool started = false;
    if (o.handle || files::LOG.ACTIVE || files::LOG.ALLEXITCODES) started = createProcess(command, o, windowMode, shown, a);
    if (!started) started = shellExecute(command, o, a);
    if (!started) return reportFailure(o.task, command, o.folder, shown, a.error);
    reportSuccess(o.task, command, o.folder, shown, a.resultText);
  }
  scope.restoreFolder();
  int queued = 0;
  if (o.task != 0 && files::Access_SCRIPTING.Open() == rt::Err::None) {
    queued = QueueTaskScript(o.task, a.shellHandle);
    (void)files::Access_SCRIPTING.Close();  // read only
  }
  // The shell's program is known to the queued steps only; without any, nobody needs it.
  if (queued == 0 && a.shellHandle != 0) rt::closeProgram(rt::ProcessHandle(a.shellHandle));
  return 0;
}

int QueueTaskScript(int32_t task, uint32_t windowHandle) {
  const int32_t delay = files::SCRIPT.DELAYLEN;
  int32_t date = rt::TODAY(), time = rt::CLOCK() + 2 * delay;
  if (ActiveScriptQueue.RECORDS() > 0) {
    const ScriptEntry& last = ActiveScriptQueue.at(ActiveScriptQueue.RECORDS());
    if (files::COMPAREDATE(last.DATE, last.TIME, date, time) == 1) {
      date = last.DATE;
      time = last.TIME + delay;
    }
  }
  files::FIXDATE(date, time);
  const int32_t startDate = date, startTime = time;

  files::SCR = {};
  files::SCR.ID = task;
  files::SCR.Sequence = 0;
  if (rt::Err err = files::SCRIPTING.setFrom(files::SCR_KeyID); err != rt::Err::None) {
    WriteLog("Set Error: " + std::string(rt::errorText(err)), "Script");
    return 0;
  }
  int queued = 0;
  for (;;) {
    const rt::Err err = files::SCRIPTING.next();
    if (err == rt::Err::NotAvailable) break;
    if (err != rt::Err::None) {
      (void)ui::MESSAGE("Error executing script: " + std::string(rt::errorText(err)));
      break;
    }
    if (files::SCR.ID != task) break;
    files::ScriptingRec item = files::SCR;
    const std::string action = item.Action.str();
    if (!action.starts_with("Wait")) {
      if (action.find("...") == std::string::npos) time += delay;
    } else {
      item.TimeElapsed = 0;
    }
    files::FIXDATE(date, time);
    ScriptEntry entry;
    entry.DATE = date;
    entry.TIME = time;
    entry.RECORD = item;
    entry.WINDOWHANDLE = windowHandle;
    (void)files::PREPARESCRIPTRECORD(entry.RECORD, startDate, startTime);  // 1: refused and logged as a Comment
    ActiveScriptQueue.buf = entry;
    ActiveScriptQueue.ADD();
    ++queued;
  }
  if (queued > 0) {
    ActiveScriptQueue.buf = {};
    ActiveScriptQueue.buf.RECORD.Action = kEndMarker;
    ActiveScriptQueue.buf.DATE = date;
    ActiveScriptQueue.buf.TIME = time;
    ActiveScriptQueue.buf.WINDOWHANDLE = windowHandle;
    ActiveScriptQueue.ADD();
  }
  return queued;
}

}  // namespace ov::scheduler
