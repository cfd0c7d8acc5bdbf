#include "scheduler/triggers.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/sys_hot_key_class.h"
#include "platform/os/input.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "scheduler/detail/handlers.h"
#include "scheduler/globals.h"
#include "scheduler/keystrokes.h"
#include "scheduler/program_runner.h"
#include "scheduler/variables.h"

namespace ov::scheduler {

namespace {

using rt::Err;

std::string clipped(std::string_view s) { return std::string(rt::clipView(s)); }

bool sameText(std::string_view a, std::string_view b) { return rt::UPPER(rt::clipView(a)) == rt::UPPER(rt::clipView(b)); }

void pause(int ms) {
  if (triggerFrame().pause)
    triggerFrame().pause(ms);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void raiseFrame() {
  if (triggerFrame().raise) triggerFrame().raise();
}

os::WindowId findWindow(std::string_view pattern, std::string_view child) {
  if (triggerFrame().findWindow) return triggerFrame().findWindow(pattern, child);
  return FindWindowByPattern(pattern, child, true);
}

bool fileExists(const std::string& file) {
  struct stat st {};
  return ::stat(rt::resolvePath(file).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The files a trigger's patterns name, as GETFILEQ lists them.
std::vector<std::string> listFiles(const std::string& spec) {
  std::vector<std::string> files;
  files::GETFILEQ(spec, files, true, false);
  return files;
}

void addOnce(std::vector<std::string>& list, const std::string& text) {
  if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(text);
}

std::string joined(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& s : list) out += (out.empty() ? "" : ";") + s;
  return out;
}

// The chain program in the program's folder, under its Windows name or its own.
bool chainProgramPresent() {
  std::error_code ec;
  const std::filesystem::path folder = files::EXEPATH.str();
  if (folder.empty()) return false;
  for (const char* name : {"OVCHAIN.EXE", "OVCHAIN", "ovchain"})
    if (std::filesystem::is_regular_file(folder / name, ec)) return true;
  return false;
}

// Fetches the task into SCH; false when it is gone.
bool fetchTask(int32_t id) {
  if (files::Access_SCHEDULE.Open() != Err::None) return false;
  files::SCHEDULE.clear();
  files::SCH.ID = id;
  const bool found = files::SCHEDULE.get(files::SCH_KeyID) == Err::None;
  (void)files::Access_SCHEDULE.Close();
  return found;
}

// Starts nothing and queues the task's script, or hands the task to the chain program.
void runTask(int32_t id, bool allowChain) {
  if (files::Access_SCRIPTING.Open() != Err::None) return;
  RunOptions options;
  if (allowChain && chainProgramPresent()) {
    (void)RunTaskProgram(files::EXEPATH.str() + (files::EXEPATH.str().ends_with('/') ? "" : "/") +
                             "OVCHAIN.EXE TASK=" + std::to_string(id),
                         options);
  } else {
    options.task = id;
    (void)RunTaskProgram("N/A", options);
  }
  (void)files::Access_SCRIPTING.Close();
}

void pollFileCreation(TriggerEntry& t, std::vector<std::string>& newFiles) {
  for (const std::string& file : listFiles(t.spec)) {
    if (!t.knownFiles.insert(file).second) continue;
    addOnce(newFiles, file);
    t.fired = true;
  }
  // A file that has gone is forgotten, so that making it again fires again.
  for (auto it = t.knownFiles.begin(); it != t.knownFiles.end();)
    it = fileExists(*it) ? std::next(it) : t.knownFiles.erase(it);
}

void pollFileChange(TriggerEntry& t, std::vector<std::string>& changedFiles) {
  for (const std::string& file : listFiles(t.spec)) {
    const std::string stamp = fileStamp(file);
    if (stamp.empty()) continue;  // gone between the listing and now: the next poll sees it
    auto [it, added] = t.watched.try_emplace(file, stamp);
    if (!added && it->second == stamp) continue;
    it->second = stamp;
    addOnce(changedFiles, file);
    t.fired = true;
  }
  // A watched file that has gone is a change too, reported once.
  for (auto it = t.watched.begin(); it != t.watched.end();) {
    if (fileExists(it->first)) {
      ++it;
      continue;
    }
    addOnce(changedFiles, it->first);
    t.fired = true;
    it = t.watched.erase(it);
  }
}

void pollWindow(TriggerEntry& t) {
  const os::WindowId w = findWindow(t.spec, t.childSpec);
  if (w == 0) {
    t.seenWindow = 0;  // it may fire again when the window comes back
    return;
  }
  if (w == t.seenWindow) return;
  t.seenWindow = w;
  t.fired = true;
}

void poll(bool baseline) {
  TriggerState& s = triggerState();
  const bool anyWindow =
      std::any_of(s.queue.begin(), s.queue.end(), [](const TriggerEntry& t) { return t.kind == TriggerKind::Window; });
  if (anyWindow && !triggerFrame().findWindow) ListTopWindows();
  std::vector<std::string> newFiles, changedFiles;
  for (TriggerEntry& t : s.queue) {
    switch (t.kind) {
      case TriggerKind::FileCreation: pollFileCreation(t, newFiles); break;
      case TriggerKind::FileChange: pollFileChange(t, changedFiles); break;
      case TriggerKind::Window: pollWindow(t); break;
      case TriggerKind::Event:
        if (std::any_of(s.events.begin(), s.events.end(), [&](const std::string& e) { return sameText(e, t.spec); }))
          t.fired = true;
        break;
    }
  }
  if (!baseline) {
    if (!newFiles.empty()) SetVariable(joined(newFiles), "NEWFILES");
    if (!changedFiles.empty()) SetVariable(joined(changedFiles), "CHANGEDFILES");
  }
  s.events.clear();
}

}  // namespace

TriggerState& triggerState() {
  static TriggerState state;
  return state;
}

TriggerFrame& triggerFrame() {
  static TriggerFrame frame;
  return frame;
}

std::string fileStamp(const std::string& file) {
  struct stat st {};
  if (::stat(rt::resolvePath(file).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return std::to_string(int64_t(st.st_mtim.tv_sec)) + "." + std::to_string(int64_t(st.st_mtim.tv_nsec)) + "|" +
         std::to_string(int64_t(st.st_size));
}

void LoadTriggers() {
  TriggerState& s = triggerState();
  s.queue.clear();
  std::vector<TriggerEntry> startup;
  if (files::Access_TRIGGERS.Open() == Err::None) {
    const files::TriggerRec saved = files::TRI;
    files::TRIGGERS.clear();
    files::TRI.Active = 1;
    Err err = files::TRIGGERS.setFrom(files::TRI_K_Active);
    while (err == Err::None && (err = files::TRIGGERS.next()) == Err::None) {
      if (files::TRI.Active == 0) continue;
      TriggerEntry t;
      t.task = files::TRI.ID;
      t.type = clipped(files::TRI.TriggerType.view());
      const std::string type = rt::UPPER(t.type);
      if (type == "FILE CREATION" || type == "FILE") {
        t.kind = TriggerKind::FileCreation;
        t.spec = ExpandVariables(files::TRI.FileSpec.clipped());
      } else if (type == "FILE CHANGE") {
        t.kind = TriggerKind::FileChange;
        t.spec = ExpandVariables(files::TRI.FileSpec.clipped());
      } else if (type == "WINDOW") {
        t.kind = TriggerKind::Window;
        t.spec = ExpandVariables(files::TRI.WindowSpec.clipped()).substr(0, 255);
        t.childSpec = ExpandVariables(files::TRI.WindowChildSpec.clipped()).substr(0, 255);
      } else if (type == "EVENT") {
        t.kind = TriggerKind::Event;
        t.spec = clipped(files::TRI.EventSpec.view());
      } else if (type == "STARTUP") {
        if (s.startupPending) startup.push_back(t);
        continue;
      } else {
        continue;
      }
      s.queue.push_back(std::move(t));
    }
    files::TRI = saved;
    (void)files::Access_TRIGGERS.Close();
  }
  // What exists now does not fire.
  poll(true);
  for (TriggerEntry& t : s.queue) t.fired = false;
  const bool first = s.startupPending;
  s.startupPending = false;
  if (first)
    for (const TriggerEntry& t : startup) RunTaskByTrigger(t);
}

void PollTriggers() { poll(false); }

void FireTriggers() {
  // A task run from here may reload the queue (its script saves a trigger): run from a copy.
  std::vector<TriggerEntry> due;
  for (TriggerEntry& t : triggerState().queue) {
    if (!t.fired) continue;
    t.fired = false;
    TriggerEntry copy;
    copy.task = t.task;
    copy.type = t.type;
    copy.kind = t.kind;
    due.push_back(std::move(copy));
  }
  for (const TriggerEntry& t : due) RunTaskByTrigger(t);
}

void QueueEventTrigger(std::string_view name) {
  TriggerState& s = triggerState();
  if (s.queue.empty() || !SchedulerActive) return;
  addOnce(s.events, std::string(name));
}

void RunTaskByTrigger(const TriggerEntry& trigger) {
  pause(200);  // lets the program that made the file finish writing it
  if (!fetchTask(trigger.task)) {
    raiseFrame();
    std::string description;
    if (files::Access_TRIGGERS.Open() == Err::None) {
      const files::TriggerRec saved = files::TRI;
      files::TRIGGERS.clear();
      files::TRI.ID = trigger.task;
      if (files::TRIGGERS.get(files::TRI_K_ID) == Err::None) description = clipped(files::TRI.Description.view());
      files::TRI = saved;
      (void)files::Access_TRIGGERS.Close();
    }
    (void)ui::MESSAGE("Unable to retrieve associated task.", "Trigger " + description + " Error", ui::Icon::Exclamation);
    return;
  }
  runTask(trigger.task, true);
}

// --- hot keys -------------------------------------------------------------------------------

void LoadHotKeys(files::SysHotKeyClass& keys) {
  keys.AddKey(kFrameHotKey);
  if (files::Access_SYSHOTKEYS.Open() != Err::None) return;
  const files::HotKeyRec saved = files::HOT;
  files::SYSHOTKEYS.clear();
  files::HOT.Active = 1;
  Err err = files::SYSHOTKEYS.setFrom(files::HOT_K_Active);
  while (err == Err::None && (err = files::SYSHOTKEYS.next()) == Err::None)
    if (files::HOT.Active != 0) keys.AddKey(files::HOT.HotKey.clipped());
  files::HOT = saved;
  (void)files::Access_SYSHOTKEYS.Close();
}

void HotKeyPressed(files::SysHotKeyClass& keys) {
  if (keys.PRESSEDKEYQ.empty()) return;
  const files::HotKeyEntry pressed = keys.PRESSEDKEYQ.front();
  keys.PRESSEDKEYQ.erase(keys.PRESSEDKEYQ.begin());
  std::string name = pressed.ID < 1 ? "Unknown: " + pressed.KEY : pressed.KEY;
  name = name.substr(0, rt::utf8CutLength(name, 32));
  if (pressed.ID >= 1 && pressed.ID == keys.TrnKeyName(kFrameHotKey)) {
    if (triggerFrame().restore) triggerFrame().restore();
    return;
  }
  bool found = false;
  if (pressed.ID >= 1 && files::Access_SYSHOTKEYS.Open() == Err::None) {
    files::SYSHOTKEYS.clear();
    files::HOT.HotKey = name;
    found = files::SYSHOTKEYS.get(files::HOT_K_HotKey) == Err::None;
    (void)files::Access_SYSHOTKEYS.Close();
  }
  if (!found) {
    raiseFrame();
    (void)ui::MESSAGE("Error retrieving hot key.", name, ui::Icon::Exclamation);
    if (triggerFrame().hotKeysChanged) triggerFrame().hotKeysChanged();
    return;
  }
  HotKeyAction();
}

void HotKeyAction() {
  if (files::HOT.Active == 0) return;
  const std::string action = rt::UPPER(files::HOT.Action.clipped());
  if (action == "TEXT") {
    HotKeyText();
  } else if (action == "TASK") {
    HotKeyTask();
  } else {
    raiseFrame();
    (void)ui::MESSAGE("Unknown Action:  " + clipped(files::HOT.Action.view()),
                      "Hot-Key " + clipped(files::HOT.HotKey.view()) + " Error", ui::Icon::Exclamation);
  }
}

void HotKeyTask() {
  pause(200);  // lets the user release the hot key
  const int32_t id = files::HOT.ID;
  if (!fetchTask(id)) {
    raiseFrame();
    (void)ui::MESSAGE("Unable to retrieve associated task.", "Hot-Key " + clipped(files::HOT.HotKey.view()) + " Error",
                      ui::Icon::Exclamation);
    return;
  }
  runTask(id, false);
}

void HotKeyText() {
  const std::string kind = rt::UPPER(files::HOT.TextType.clipped());
  const std::string text = clipped(files::HOT.Text);
  // The keys of the hot key may still be held; typed text must not combine with them.
  auto releaseModifiers = [] {
    os::releaseHeldModifiers();
    pause(200);
  };
  if (kind == "TYPE") {
    releaseModifiers();
    std::string typed = text;
    for (size_t at = 0; (at = typed.find("\r\n", at)) != std::string::npos; ++at) typed.erase(at + 1, 1);
    detail::SendKeystrokes(typed);
  } else if (kind == "COPY") {
    ui::SETCLIPBOARD(text);
  } else if (kind == "PASTE") {
    ui::SETCLIPBOARD(text);
    releaseModifiers();
    PressKey(ParseKeyToken("CtrlV"));
  } else {
    raiseFrame();
    (void)ui::MESSAGE("Unknown Text Automation:  " + clipped(files::HOT.TextType.view()),
                      "Hot-Key " + clipped(files::HOT.HotKey.view()) + " Error", ui::Icon::Exclamation);
  }
}

}  // namespace ov::scheduler
