// Triggers and hot keys: tasks started outside the schedule.
//
// A trigger (TRIGGERS record) runs its task when a file is created, a file changes, a window
// opens, a system event happens ("Shutdown", "Power status change", "Low battery", "Standby",
// "Suspend", "Device change") or the program starts. LoadTriggers builds the trigger queue from
// the active records and takes a baseline, so that what exists at load time does not fire; the
// frame's tick polls and fires every third tick while the scheduler is active.
//
// Every trigger keeps its own view of the files and windows it has seen, so two triggers on one
// file or window both fire; a file-change trigger keeps one stamp per existing file, so its watch
// grows with the files, not with their changes.
//
// A hot key (SYSHOTKEYS record) is registered through SysHotKeyClass; a press runs its task, or
// types, copies or pastes its stored text.
//
// Frame (GUI) thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/window_list.h"

namespace ov::files {
class SysHotKeyClass;
}

namespace ov::scheduler {

enum class TriggerKind : uint8_t { FileCreation = 0, FileChange = 1, Window = 2, Event = 3 };

struct TriggerEntry {
  int32_t task = 0;
  std::string type;         // the record's trigger type as stored
  TriggerKind kind = TriggerKind::FileCreation;
  std::string spec;         // file patterns, window title pattern or event name (expanded)
  std::string childSpec;    // window triggers: the child window's text
  bool fired = false;
  // What this trigger has seen.
  std::set<std::string> knownFiles;            // file creation
  std::map<std::string, std::string> watched;  // file change: file -> stamp
  os::WindowId seenWindow = 0;                 // window
};

struct TriggerState {
  std::vector<TriggerEntry> queue;
  std::vector<std::string> events;  // system events since the last poll, each once
  bool startupPending = true;       // the first load runs the "Startup" triggers
};

// What the triggers and hot keys need of the frame; a member that is not installed does nothing
// (pause: sleeps; findWindow: FindWindowByPattern on a fresh window list).
struct TriggerFrame {
  std::function<void()> raise;
  std::function<void()> restore;  // the frame's own hot key
  std::function<void(int ms)> pause;
  std::function<os::WindowId(std::string_view pattern, std::string_view childText)> findWindow;
  std::function<void()> hotKeysChanged;  // posts EVENT:HotKeysChanged to the frame
};

TriggerState& triggerState();
TriggerFrame& triggerFrame();

// Rebuilds the trigger queue from the active TRIGGERS records (EVENT:TriggersChanged).
void LoadTriggers();
// One poll of every trigger: sets the fired flags and the NEWFILES and CHANGEDFILES variables.
void PollTriggers();
// Runs the task of every trigger that fired.
void FireTriggers();
// Notes a system event for the Event triggers, while there are triggers and the scheduler is on.
void QueueEventTrigger(std::string_view name);
void RunTaskByTrigger(const TriggerEntry& trigger);

// The stamp a file-change trigger compares: changes with the file's modification time or size.
std::string fileStamp(const std::string& file);

// The frame's own key ("WinW", restores the frame) and every active hot key.
constexpr std::string_view kFrameHotKey = "WinW";
void LoadHotKeys(files::SysHotKeyClass& keys);
// EVENT:HotKey: takes the oldest press of `keys` and runs what its SYSHOTKEYS record says.
void HotKeyPressed(files::SysHotKeyClass& keys);
// The action of the SYSHOTKEYS record in the buffer (HOT).
void HotKeyAction();
void HotKeyTask();
void HotKeyText();

}  // namespace ov::scheduler
