// The running scripts: one process-wide queue of pending steps, each with the moment it becomes
// due. The timer tick calls ScriptStep, which looks at the head only: once its moment has passed,
// ExecuteScriptItem performs it by its action name and, unless the action keeps it at the head
// (a wait, a program still running), logs it and removes it. So at most one step runs per tick and
// steps run strictly in queue order.
//
// Producers: QueueTaskScript (program_runner.h) appends a task's steps and an "**End**" marker;
// the "Start Script" step inserts, appends or replaces (start_script.h); loops put their body back
// at the head. The script-queue viewer reads the queue and may delete an entry; the frame's
// stop-scripts event empties it.
//
// Frame (GUI) thread only; nothing here is locked.
#pragma once

#include <cstdint>
#include <string>

#include "datalib/records.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/queue.h"

namespace ov::scheduler {

// One queued step: a copy of a SCRIPTING record (S:RECORD), its due moment (S:DATE, S:TIME), the
// handle of the program its task started (S:WINDOWHANDLE; read by "Close Program") and one value
// carried along (S:TASKHANDLE). Execution rewrites some fields of the head entry (a wait's
// deadline, a started program's handle, a loop's counter); stored records never change.
struct ScriptEntry {
  files::ScriptingRec RECORD;
  int32_t DATE = 0;
  int32_t TIME = 0;
  uint32_t WINDOWHANDLE = 0;
  uint32_t TASKHANDLE = 0;
};

// Entry 1 is the head.
extern rt::Queue<ScriptEntry> ActiveScriptQueue;
// While a loop is open: its "Start Loop" entry and every step completed since, so that
// "...End Loop" can put the body back at the head. "**End**" and "Start Script" "J" empty it.
extern rt::Queue<ScriptEntry> ScriptLoopStack;

// The end marker of one queued script.
inline constexpr std::string_view kEndMarker = "**End**";

// The frame's state of the step being executed and of the handlers across steps.
struct ScriptState {
  rt::String<32> status;  // appended to the step's log line
  bool keep = false;      // the head stays (still waiting, or the queue was rebuilt under it)
  int32_t response = 0;          // the last message box's answer
  int32_t lastResult = 0;        // the last "File Actions" or "Send Email" result
  // The most recent "Start Program": its prepared command and options.
  std::string command;           // 1024 bytes at most; empty when none was prepared
  int32_t showMode = 1;
  int32_t priority = 2;
  bool wait = false;
  int32_t timeoutSeconds = 0;
  int32_t processHandle = 0;     // the program it started, while known
  // Loops.
  bool loopDone = false;
  int loopNesting = 0;
  int loopStart = 0;             // position of the loop's "Start Loop" in ScriptLoopStack
};
ScriptState& scriptState();

// One tick's look at the head of the queue. Call only while the queue holds entries.
void ScriptStep();
// Performs the head entry.
void ExecuteScriptItem();
// Completes the head step: copies it onto ScriptLoopStack while a loop is open (never a "Wait for
// Program End"), then removes it.
void CompleteScriptStep();

// Empties both queues (the frame's stop-scripts event).
void StopScripts();

// The action of a step, clipped.
inline std::string actionOf(const ScriptEntry& e) { return e.RECORD.Action.str(); }

}  // namespace ov::scheduler
