// The script action handlers: what each step does when it reaches the head of the queue.
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "datalib/date_string_functions.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/script_actions.h"
#include "datalib/script_status.h"
#include "platform/os/window_list.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/process.h"
#include "platform/rt/secret_file.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "scheduler/conditions.h"
#include "scheduler/detail/handlers.h"
#include "scheduler/detail/script_util.h"
#include "scheduler/event_log.h"
#include "scheduler/file_actions.h"
#include "scheduler/keystrokes.h"
#include "scheduler/program_runner.h"
#include "scheduler/script_services.h"
#include "scheduler/services.h"
#include "scheduler/start_script.h"
#include "scheduler/variables.h"

namespace ov::scheduler {

// The files of the current "Files" loop, in ascending order of their full names.
struct LoopFileEntry {
  rt::String<255> name;  // the canonical full path
  int32_t date = 0;
  int32_t time = 0;
  double size = 0;
};
rt::Queue<LoopFileEntry> LoopFileQueue;

namespace detail {
namespace {

namespace a = files::action;

constexpr size_t kPreparedCommandWidth = 1024;

ScriptState& st() { return scriptState(); }

void setStatus(std::string_view text) { st().status = cut(text, 32); }

bool windowFound(os::WindowId w) { return w > 32; }

std::string nowText() {
  return rt::FORMAT(double(rt::TODAY()), "@d17") + " " + rt::FORMAT(double(rt::CLOCK()), "@t7");
}

// Gives `w` the keyboard focus, with the debug lines of Set Focus.
void focusWindow(os::WindowId w, std::string_view childText) {
  const bool ok = os::bringToFront(w);
  if (ok) debugLog(std::to_string(w), "Foreground Window");
  debugLog(std::string(ok ? "Switched to window:" : "Failed to switched to window:") + "\r" +
               std::string(rt::clipView(childText)),
           "Debug");
}

// --- If tests ---------------------------------------------------------------------------------

// Completes the If step at the head and every step up to the "...End If" of its block, nested
// blocks included. That "...End If" is completed too when `includeEnd`, else it stays at the head.
// False when the queue ran empty first.
bool skipIfBlock(bool includeEnd) {
  CompleteScriptStep();
  for (;;) {
    if (ActiveScriptQueue.RECORDS() == 0) return false;
    const std::string action = rt::LOWER(actionOf(ActiveScriptQueue.at(1)));
    if (action.find("end if") != std::string::npos) {
      if (includeEnd) CompleteScriptStep();
      return true;
    }
    if (action.starts_with("if ")) {
      if (!skipIfBlock(true)) return false;
      continue;
    }
    CompleteScriptStep();
  }
}

void SkipFailedIf() {
  debugLog("Removing task items.", "Test failed");
  if (!skipIfBlock(false)) st().keep = true;
}

void testResult(bool passed, std::string_view failureSuffix = {}) {
  const ScriptEntry h = readHead();
  if (passed) {
    debugLog("Next item will be processed.  " + statusOf(h), "Test Passed");
    return;
  }
  WriteLog(statusOf(h) + std::string(failureSuffix), "Script:  " + actionOf(h));
  SkipFailedIf();
}

// --- loops ------------------------------------------------------------------------------------

void ListLoopFiles(std::string_view pattern) {
  LoopFileQueue.FREE();
  static const rt::QueueOrder<LoopFileEntry> byName{rt::ascending(&LoopFileEntry::name)};
  const std::string spec = ExpandVariables(pattern);
  for (const FileListEntry& f : ListDirectoryTree(spec, false)) {
    LoopFileQueue.buf.name = rt::SHORTPATH(f.name);
    if (LoopFileQueue.GET(byName) == rt::Err::None) {
      LoopFileQueue.buf.date = f.date;
      LoopFileQueue.buf.time = f.time;
      LoopFileQueue.buf.size = double(f.size);
      (void)LoopFileQueue.PUT();  // the entry just read
    } else {
      LoopFileQueue.buf.date = f.date;
      LoopFileQueue.buf.time = f.time;
      LoopFileQueue.buf.size = double(f.size);
      LoopFileQueue.ADD(byName);
    }
  }
}

// The position in ScriptLoopStack of the innermost open loop's "Start Loop", 0 when none.
int findLoopStart() {
  int count = 0;
  for (int i = ScriptLoopStack.RECORDS(); i >= 1; --i) {
    const std::string action = actionOf(ScriptLoopStack.at(i));
    if (action == a::kEndLoop) {
      ++count;
    } else if (action == a::kStartLoop) {
      if (count == 0) return i;
      --count;
    }
  }
  return 0;
}

// Tests the loop whose "Start Loop" stands at `position` of ScriptLoopStack; when it is done the
// loop is left. Returns whether it is done.
bool TestLoop(int position) {
  (void)ScriptLoopStack.GET(position);
  ScriptEntry loop = ScriptLoopStack.buf;
  files::ScriptingRec& r = loop.RECORD;
  const std::string kind(r.DDEType.clipped());
  int32_t counter = r.NextTaskID;
  bool done = false;
  if (kind == "Forever") {
    ++counter;
  } else if (kind == "While") {
    ++counter;
    done = EvaluateCondition(r.Command.view(), r.WindowTitleToCheckFor.view(), r.WaitForWindow.view()) == 0;
  } else if (kind == "Until") {
    ++counter;
    done = EvaluateCondition(r.Command.view(), r.WindowTitleToCheckFor.view(), r.WaitForWindow.view()) != 0;
  } else if (kind == "Files") {
    if (LoopFileQueue.GET(1) == rt::Err::None) {
      const LoopFileEntry f = LoopFileQueue.buf;
      (void)LoopFileQueue.DELETE();
      SetVariable(f.name.str(), "FILENAME");
      SetVariable(rt::LONGPATH(f.name.str()), "LONGFILENAME");
      SetVariable(files::FMTYYYYMMDD(f.date), "FILEDATE");
      SetVariable(std::to_string(f.date), "FILEDATERAW");
      SetVariable(rt::numberToText(f.size), "FILESIZE");
      SetVariable(rt::FORMAT(double(f.time), "@t7"), "FILETIMERAW");
    } else {
      done = true;
    }
  } else if (kind == "Count") {
    --counter;
    done = counter <= 0;
  } else {
    done = true;  // an unknown kind never repeats
  }
  r.NextTaskID = counter;
  ScriptLoopStack.buf = loop;
  (void)ScriptLoopStack.PUT();  // the entry just read
  SetVariable(std::to_string(counter), "OVLoopCount");
  std::string text = done ? "Done" : "Not Done";
  if (kind == "Count" && !done)
    text += ", " + std::to_string(counter) + " loop(s) left";
  else
    text += ", " + actionOf(loop) + " " + statusOf(loop);
  WriteLog(text, "Script:  Test Loop End");
  if (done) {
    WriteLog(statusOf(loop), "Script:  " + actionOf(loop));
    LeaveLoop();
  }
  return done;
}

// --- Start Program --------------------------------------------------------------------------

// Prepares the command of a "Start Program" step into the script state. A run-as step's password
// is handed to the run-as program in a private file (platform/rt/secret_file.h) that PASSWORDFILE
// names (`passwordFile`), never on its command line, where every local user can read it; the
// program deletes the file once read. False, with `refusal` saying why, when that file cannot be
// written: the step is then not run.
bool PrepareProgramCommand(ScriptEntry& e, std::string& passwordFile, std::string& refusal) {
  ScriptState& s = st();
  s.status.clear();
  passwordFile.clear();
  files::ScriptingRec& r = e.RECORD;
  const std::string options = rt::LEFT(r.DDEApplicationName.view(), 5);
  s.wait = options[0] == '1';
  s.priority = options[1] == '1' ? 1 : options[1] == '3' ? 3 : 2;
  switch (options[2]) {
    case 'H': s.showMode = 0; setStatus("(hidden)"); break;
    case '2': s.showMode = 2; setStatus("(min/focus)"); break;
    case '3': s.showMode = 3; setStatus("(maximized)"); break;
    case '7': s.showMode = 7; setStatus("(minimized)"); break;
    case '8': s.showMode = 8; break;
    default: s.showMode = 1; break;
  }
  const bool expand = options[3] == '1', runAs = options[4] == '1';
  std::string command = cut(r.Command.clipped(), kPreparedCommandWidth);
  if (expand) {
    command = cut(ExpandVariables(command), kPreparedCommandWidth);
    r.Path = ExpandVariables(r.Path.view());
    debugLog(command, "Translated");
  }
  if (runAs) {
    const std::string_view credentials = r.DDECommand.view();
    const std::string user = rt::CLIP(credentials.substr(0, 64)), domain = rt::CLIP(credentials.substr(128, 64));
    std::string error;
    passwordFile = rt::writeSecretFile(rt::CLIP(credentials.substr(64, 64)), &error);
    if (passwordFile.empty()) {
      refusal = "the password could not be handed over: " + error;
      return false;
    }
    std::string line = "ExecuteAs u=\"" + user + "\" PASSWORDFILE=\"" + passwordFile + "\" d=\"" + domain + "\" ";
    if (s.showMode != 1) line += "show=" + std::to_string(s.showMode) + " ";
    command = line + command;
    setStatus("*User=" + user + "*");
    int lookup = 0;
    if (rt::findProgram(".\\EXECUTEAS.EXE", &lookup).empty() &&
        !rt::findProgram(ProgramFolder() + "EXECUTEAS.EXE", &lookup).empty())
      command = ProgramFolder() + command;
  }
  s.timeoutSeconds = r.TimeElapsed;
  if (files::SCRIPT.TRANSLATEFILENAMES) {
    r.Path = ExpandVariables(r.Path.view());
    command = cut(ExpandVariables(command), kPreparedCommandWidth);
  }
  r.Command = command;
  s.command = command;
  return true;
}

void finishProgramWait(ScriptEntry& e, bool withExitCode, int code) {
  const rt::ProcessHandle h = e.RECORD.ID;
  if (withExitCode) {
    SetVariable(std::to_string(code), "ExitCode" + files::EXTRACTFILENAME(e.RECORD.Command.clipped()));
    SetVariable(std::to_string(code), "ExitCode");
    debugLog("[EXITCODE] = " + std::to_string(code), "Set Value");
  }
  if (files::LOG.ALLEXITCODES || h <= 32) return;
  for (int i = 1; i <= ProgramExitQueue.RECORDS(); ++i) {
    if (ProgramExitQueue.at(i).HPROCESS != h) continue;
    (void)ProgramExitQueue.GET(i);
    (void)ProgramExitQueue.DELETE();
    rt::closeProgram(h);
    return;
  }
}

// --- Send Keys ---------------------------------------------------------------------------------

// Waits SCRIPT.DELAYLEN centiseconds in ten slices; ends early when the clock went back past
// the start of the wait (midnight).
void pace() {
  const int32_t start = rt::CLOCK();
  const int sliceMs = files::SCRIPT.DELAYLEN;  // a tenth of DELAYLEN × 10 ms
  for (int i = 0; i < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    if (rt::CLOCK() < start) return;
  }
}

void stepTrayIcon() {
  static constexpr const char* kIcons[] = {"busykey.ico",  "busykey2.ico", "busykey3.ico", "busykey4.ico",
                                           "busykey2.ico", "busykey4.ico", "busykey.ico",  "busykey3.ico"};
  static size_t next = 0;
  if (scriptServices().changeTrayIcon) scriptServices().changeTrayIcon(kIcons[next]);
  next = (next + 1) % std::size(kIcons);
}

}  // namespace

// --- the handlers ---------------------------------------------------------------------------

void DisplayMessageItem() {
  const ScriptEntry e = readHead();
  const files::ScriptingRec& r = e.RECORD;
  const std::string text = ExpandVariables(r.DDEApplicationName.view());
  const std::string title = ExpandVariables(r.DDEApplicationTopic.view());
  if (r.SecondsToWait == 0) {
    files::SCH.Description = title;
    files::SCH.Alarm = 0;
    files::SCH.AlarmFile = "";
    files::SCH.Message = text;
    if (services().showReminder)
      services().showReminder({files::SCH.Description.str(), files::SCH.Message.str(), {}, files::MSG.USEMODAL != 0});
    else
      (void)ui::MESSAGE(files::SCH.Message.str(), files::SCH.Description.str());
    return;
  }
  if (!r.FocusOnWindow.isBlank()) {
    const int answer = ui::MESSAGE(text, title, ui::Icon::Question, r.FocusOnWindow.clipped());
    st().response = answer;
    SetVariable(std::to_string(answer), "RESPONSE");
    WriteLog(std::to_string(answer), "User Response");
    return;
  }
  (void)ui::MESSAGE(text, title);
}

void ExitScriptItem() {
  do {
    CompleteScriptStep();
  } while (ActiveScriptQueue.RECORDS() > 0 && actionOf(ActiveScriptQueue.at(1)) != kEndMarker);
  if (ActiveScriptQueue.RECORDS() == 0) {
    st().keep = true;
    return;
  }
  ScriptLoopStack.FREE();  // the end marker's own work; it is logged and completed next
}

void CloseProgramItem() {
  ScriptState& s = st();
  const ScriptEntry e = readHead();
  if (!s.command.empty()) {
    if (const os::WindowId w = FindWindowByPattern(s.command, e.RECORD.Path.clipped(), false); windowFound(w)) {
      (void)os::closeWindow(w);
      return;
    }
    // No window of that title: end the program this script started, when it still runs.
    int code = 0;
    if (s.processHandle != 0 && rt::programExitCode(s.processHandle, code) && code == rt::winerr::StillActive) {
      (void)rt::endProgram(s.processHandle);
      debugLog(commandShownName(s.command), "Close Program");
      return;
    }
    // The last resort ends every process of that program's name.
    const std::string kill = "KillProc " + s.command;
    WriteLog("Ending every process named " + files::EXTRACTFILENAME(s.command) + ": " + commandShownName(kill),
             "Close Program");
    if (services().runNoWait)
      (void)services().runNoWait(kill);
    else
      rt::RUN(kill);
    return;
  }
  const os::WindowId foreground = os::foregroundWindow();
  if (foreground == 0) return;
  const os::WindowId frame = scriptServices().frameWindow ? scriptServices().frameWindow() : 0;
  if (foreground == frame) {
    // The handle the runner kept when it started the task's program.
    if (e.WINDOWHANDLE != 0) (void)rt::endProgram(rt::ProcessHandle(e.WINDOWHANDLE));
    return;
  }
  (void)os::closeWindow(foreground);
}

void StartProgramItem() {
  ScriptState& s = st();
  ScriptEntry e = readHead();
  std::string passwordFile, refusal;
  if (!PrepareProgramCommand(e, passwordFile, refusal)) {
    WriteLog("Not run: " + refusal, "Run As");
    return;
  }
  writeHead(e);
  const files::ScriptingRec& r = e.RECORD;
  RunOptions o;
  rt::ProcessHandle handle = 0;
  o.handle = &handle;
  o.folder = r.Path.clipped();
  if (!s.wait && s.priority == 2 && s.showMode == 1 && r.DDEApplicationTopic.isBlank()) {
    debugLog(commandShownName(s.command), "Debug - Simple Run");
  } else {
    o.normalWindow = false;
    o.show = s.showMode;
    o.normalPriority = false;
    o.priority = s.priority;
    if (r.DDEApplicationTopic.isBlank() || s.wait) {
      debugLog(commandShownName(s.command), "Debug - No Operation Sent");
    } else {
      o.openVerb = false;
      o.verb = r.DDEApplicationTopic.str();
      debugLog(commandShownName(s.command), "Debug - Full Command Sent");
    }
  }
  (void)RunTaskProgram(s.command, o);  // a failed start is reported there and in ExitCode
  if (!passwordFile.empty() && handle == 0) {
    std::error_code ignored;  // the run-as program did not start, so nobody reads it
    std::filesystem::remove(passwordFile, ignored);
  }
  if (s.processHandle != 0 && s.processHandle != handle) rt::closeProgram(s.processHandle);
  s.processHandle = handle;
  if (!s.wait) return;

  // Wait for the program: the step is saved as if completed, then becomes "Wait for Program End".
  e = readHead();
  if (ScriptLoopStack.RECORDS() > 0) {
    ScriptLoopStack.buf = e;
    ScriptLoopStack.ADD();
  }
  if (s.timeoutSeconds > 0) {
    int32_t date = rt::TODAY(), time = rt::CLOCK() + s.timeoutSeconds * 100;
    files::FIXDATE(date, time);
    e.RECORD.NextTaskID = date;
    e.RECORD.TimeElapsed = time;
  } else {
    e.RECORD.NextTaskID = 0;
    e.RECORD.TimeElapsed = 0;
  }
  e.RECORD.Action = a::kWaitForProgramEnd;
  e.RECORD.ID = handle;
  writeHead(e);
  s.keep = true;
}

void WaitForProgramEndItem() {
  ScriptEntry e = readHead();
  const rt::ProcessHandle h = e.RECORD.ID;
  if (h == 0) {
    WriteLog("No process ID", "Get Exit Code Failed");
    return;
  }
  int code = 0;
  if (!rt::programExitCode(h, code)) {
    SetVariable("-1 Process " + std::to_string(h) + " not found",
                "ExitCode" + files::EXTRACTFILENAME(e.RECORD.Command.clipped()));
    WriteLog("Process information no longer available from operating system.", "Get Exit Code Failed");
    finishProgramWait(e, false, 0);
    return;
  }
  if (code != rt::winerr::StillActive) {
    finishProgramWait(e, true, code);
    return;
  }
  const bool hasDeadline = e.RECORD.TimeElapsed != 0;
  if (!hasDeadline ||
      files::COMPAREDATE(rt::TODAY(), rt::CLOCK(), e.RECORD.NextTaskID, e.RECORD.TimeElapsed) != 1) {
    st().keep = true;
    return;
  }
  // Timed out: the program runs on; Close Program can still end it.
  if (h != st().processHandle) finishProgramWait(e, false, 0);
}

void SendKeystrokesItem() { SendKeystrokes(readHead().RECORD.Keystrokes.clipped()); }

void SendKeystrokes(std::string_view keys) {
  std::string text(keys);
  const size_t perSend = files::KEYS.MAXCHARSPERSEND > 0 ? files::KEYS.MAXCHARSPERSEND : 7;
  while (!text.empty()) {
    pace();
    stepTrayIcon();
    const size_t open = text.find('[');
    if (open == std::string::npos) {
      SendText(text);
      break;
    }
    if (open == 0) {
      text.erase(0, 1);
      const size_t close = text.find(']');
      if (close == std::string::npos) continue;
      PositionMouseTarget(std::string_view(text).substr(0, close));
      text.erase(0, close + 1);
      continue;
    }
    const size_t n = rt::utf8CutLength(text, std::min(open, perSend));
    SendText(std::string_view(text).substr(0, n == 0 ? open : n));
    text.erase(0, n == 0 ? open : n);
  }
}

void DDEItem() {
  const files::ScriptingRec& r = readHead().RECORD;
  WriteLog("Not available on this system: " + r.DDEApplicationName.str() + " " + r.DDEApplicationTopic.str(), "DDE");
}

void SystemActionItem() {
  const files::ScriptingRec r = readHead().RECORD;
  const std::string kind(r.DDEType.clipped());
  if (kind == "Reboot") {
    if (!systemRequest(SystemAction::Reboot)) WriteLog("Check privileges", "Reboot failed");
  } else if (kind == "Logoff") {
    if (!systemRequest(SystemAction::LogOff)) WriteLog("Check privileges", "Logoff failed");
  } else if (kind == "Shutdown") {
    if (!systemRequest(SystemAction::ShutDown)) WriteLog("Check privileges", "Shutdown failed");
  } else if (kind == "Desktop" || kind == "Reboot as" || kind == "Logon as") {
    // Switching desktops and logging on as another user have no counterpart here; rebooting
    // without the change of user would not do what the step asks.
    WriteLog("Not available on this system", kind);
  } else if (kind == "Stop Service" || kind == "Start Service") {
    const std::string line = std::string("systemctl --no-ask-password ") + (kind == "Stop Service" ? "stop " : "start ") +
                             std::string(r.Command.clipped());
    if (services().runNoWait)
      (void)services().runNoWait(line);
    else
      rt::RUN(line);
  }
}

void SetFocusItem() {
  const files::ScriptingRec& r = readHead().RECORD;
  const os::WindowId w = FindWindowByPattern(r.FocusOnWindow.clipped(), r.WaitForWindow.clipped(), false);
  if (windowFound(w))
    focusWindow(w, r.WaitForWindow.view());
  else
    debugLog(r.FocusOnWindow.str() + " Failed Set Focus", "Debug");
}

void FileActionsItem() {
  const files::ScriptingRec r = readHead().RECORD;
  st().lastResult = FileActions(r.DDEType.view(), r.Command.view(), r.Path.view(), r.DDEApplicationName.view(),
                                r.DDEApplicationTopic.view());
  setStatus("; " + std::to_string(st().lastResult));
}

void SendEmailItem() {
  const int32_t result = sendMessageRecord(readHead().RECORD.EmailID);
  st().lastResult = result;
  SetVariable(std::to_string(result), "EmailExitCode");
  setStatus("; " + std::to_string(result));
}

void SetValueItem() {
  ScriptEntry e = readHead();
  files::ScriptingRec& r = e.RECORD;
  std::string kind(r.DDEType.clipped());
  if (kind != "Set value" && kind != "Set reserved value" && kind != "Set value from INI" && kind != "Set INI from value") {
    kind = "Set value";
    r.DDEType = kind;
    r.DDEApplicationName.clear();
    r.DDEApplicationTopic.clear();
    writeHead(e);
  }
  if (kind == "Set value" || kind == "Set reserved value") {
    SetVariable(r.Command.clipped(), r.Path.clipped());
    return;
  }
  const std::string section = ExpandVariables(r.DDEApplicationTopic.view());
  const std::string key = ExpandVariables(r.Command.view());
  const std::string file = ExpandVariables(r.DDEApplicationName.view());
  if (kind == "Set value from INI") {
    SetVariable(rt::GETINI(section, key, "", file), r.Path.clipped());
  } else if (rt::Err err = rt::PUTINI(section, key, ExpandVariables(r.Path.view()), file); err != rt::Err::None) {
    WriteLog(file + " [" + section + "] " + key + ": " + std::string(rt::errorText(err)), "Set Value");
  }
}

void IfValueItem() {
  const files::ScriptingRec& r = readHead().RECORD;
  const bool passed = EvaluateCondition(r.Command.view(), r.WindowTitleToCheckFor.view(), r.WaitForWindow.view()) != 0;
  setStatus(passed ? "*TRUE*" : "*FALSE*");
  testResult(passed, " *FALSE*");
}

void IfWindowItem() {
  const files::ScriptingRec& r = readHead().RECORD;
  const bool expected = rt::LOWER(r.WindowExistance.clipped()).find("exists") != std::string::npos;
  const bool found = FindWindowByPattern(r.WindowTitleToCheckFor.clipped(), r.FocusOnWindow.clipped(), false) > 0;
  testResult(found == expected);
}

void IfFileExistsItem() {
  const files::ScriptingRec r = readHead().RECORD;
  const bool expected = rt::LOWER(r.WindowExistance.clipped()).find("exists") != std::string::npos;
  const bool found = FileActions("If File Exists", r.Command.view(), r.Path.view(), r.DDEApplicationName.view(),
                                 r.DDEApplicationTopic.view()) != 0;
  testResult(found == expected);
}

void IfTimeItem() {
  const files::ScriptingRec& r = readHead().RECORD;
  const int32_t today = rt::TODAY();
  const bool before = r.SecondsToWait > today || (r.SecondsToWait == today && r.TimeElapsed > rt::CLOCK());
  const bool greater = rt::LOWER(r.IfTimeElapsed.clipped()).find("greater") != std::string::npos;
  testResult(greater ? before : !before);
}

void StartScriptItem() {
  const files::ScriptingRec r = readHead().RECORD;
  const char mode = char(rt::UPPER(rt::LEFT(r.Path.view(), 1))[0]);
  if (mode == 'I' || mode == 'A') {
    (void)StartScript(r.Command.clipped(), mode);  // a file that can't be read is reported there
    return;
  }
  // "J" replaces the queue, this step included. Any other letter replaces it too, and the first
  // loaded step then stands where this one stood: it is logged and removed unexecuted.
  if (!StartScript(r.Command.clipped(), mode)) return;
  if (mode == 'J') {
    st().keep = true;
    ScriptLoopStack.FREE();
  }
}

void WaitItem() {
  ScriptState& s = st();
  s.keep = false;
  ScriptEntry e = readHead();
  files::ScriptingRec& r = e.RECORD;
  if (r.TimeElapsed == 0) {
    int32_t date = rt::TODAY(), time = rt::CLOCK() + r.SecondsToWait * 100 - files::SCRIPT.DELAYLEN;
    files::FIXDATE(date, time);
    r.NextTaskID = date;
    r.TimeElapsed = time;
    writeHead(e);
  }
  const std::string mode = rt::LOWER(r.DDEApplicationName.clipped());
  const int cmp = files::COMPAREDATE(rt::TODAY(), rt::CLOCK(), r.NextTaskID, r.TimeElapsed);
  bool finished = false;
  if (mode == "or" || mode == "either") {
    finished = cmp == 1;
  } else if (r.SecondsToWait != 0 && cmp == -1) {
    s.keep = true;
    return;
  }
  if (!finished && !r.WaitForWindow.isBlank()) {
    const std::string pattern(r.WaitForWindow.clipped());
    const os::WindowId w = FindWindowByPattern(pattern, r.FocusOnWindow.clipped(), false);
    if (pattern.starts_with('~')) {
      if (windowFound(w)) {
        s.keep = true;
        return;
      }
    } else {
      if (!windowFound(w)) {
        s.keep = true;
        return;
      }
      focusWindow(w, r.WaitForWindow.view());
    }
  }
  debugLog("Completed wait at " + nowText(), "Debug");
}

void StartLoopItem() {
  ScriptState& s = st();
  s.keep = true;
  ScriptEntry loop = readHead();
  const std::string kind(loop.RECORD.DDEType.clipped());
  const int32_t counter = kind == "Count" ? loop.RECORD.SecondsToWait : 1;
  if (kind == "Files") ListLoopFiles(loop.RECORD.Command.view());
  loop.RECORD.NextTaskID = counter;
  SetVariable(std::to_string(counter), "OVLoopCount");
  ScriptLoopStack.buf = loop;
  ScriptLoopStack.ADD();
  WriteLog(statusOf(loop) + " " + std::string(s.status.clipped()), "Script:  " + actionOf(loop));
  (void)ActiveScriptQueue.GET(1);
  (void)ActiveScriptQueue.DELETE();
  if (kind == "While" || kind == "Files") (void)TestLoop(ScriptLoopStack.RECORDS());
}

void EndLoopItem() {
  const int start = findLoopStart();
  if (start == 0) return;  // no open loop: logged and completed
  if (TestLoop(start)) return;
  // Not done: the body goes back to the head, in its former order, before this "...End Loop".
  for (int i = ScriptLoopStack.RECORDS(); i > start; --i) {
    (void)ScriptLoopStack.GET(i);
    ScriptEntry e = ScriptLoopStack.buf;
    (void)ScriptLoopStack.DELETE();
    if (actionOf(e) == a::kWait) e.RECORD.TimeElapsed = 0;  // a fresh deadline on its next look
    debugLog(statusOf(e), "Restore Script:  " + actionOf(e));
    ActiveScriptQueue.buf = e;
    ActiveScriptQueue.ADD(1);
  }
  st().keep = true;
}

void LeaveLoop() {
  if (ScriptLoopStack.RECORDS() == 0) return;
  if (findLoopStart() == 1) ScriptLoopStack.FREE();
  st().keep = true;
  // Up to and including this loop's "...End Loop"; loops nested in what is skipped count.
  int depth = 0;
  while (ActiveScriptQueue.RECORDS() > 0) {
    const std::string action = actionOf(ActiveScriptQueue.at(1));
    if (action == a::kStartLoop) ++depth;
    CompleteScriptStep();
    if (action == kEndMarker) {
      ScriptLoopStack.FREE();
      break;
    }
    if (action == a::kEndLoop && depth-- == 0) break;
  }
}

void CommentItem() {
  const files::ScriptingRec& r = readHead().RECORD;
  if (r.Command.clipped().find('[') != std::string_view::npos) setStatus("*" + ExpandVariables(r.Command.view()) + "*");
}

}  // namespace detail
}  // namespace ov::scheduler
