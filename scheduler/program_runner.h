// Starting the program or document of a task, a script step, a trigger or a hot key, and queuing
// a task's script behind it.
//
// RunTaskProgram starts the command by process creation (when the caller wants the process handle
// or exit codes are logged) or else through the desktop shell, with the shell's fallbacks for
// unquoted paths with blanks; "N/A" starts nothing; "OVEMAIL n" sends stored message n instead;
// "OVCHAIN" without "TASK=" hands over to the chain program and closes the main program. Log lines
// and message boxes never show a password: a run-as command shows only what follows its
// credentials, and every other password a command line carries is masked.
//
// Frame (GUI) thread; run-now on a browse thread calls it too, the scripting lock keeps two
// tasks' scripts from interleaving.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rt/fixed_string.h"
#include "platform/rt/process.h"
#include "platform/rt/queue.h"

namespace ov::scheduler {

// A started program whose exit code is still to be logged (while LOG.ACTIVE and LOG.ALLEXITCODES
// are set): its handle, the name shown for it and its exit code (0 when added).
struct ProgramExitEntry {
  rt::ProcessHandle HPROCESS = 0;
  int32_t HTHREAD = 0;
  rt::String<80> COMMANDLINE;
  int32_t STATUS = 0;
};
extern rt::Queue<ProgramExitEntry> ProgramExitQueue;

// Set while a task's program is started and its script queued.
extern bool ScriptingLock;

// The arguments of RunTaskProgram besides the command.
struct RunOptions {
  int32_t task = 0;                         // SCH.ID whose script is queued; 0 for none
  rt::ProcessHandle* handle = nullptr;      // receives the started process's handle (caller owns it)
  int32_t show = 1;                         // 0 hidden, 1 normal, 2, 3, 7, 8
  bool normalWindow = true;                 // show mode 1 whatever `show` says
  bool openVerb = true;                     // the shell verb "open", else `verb`
  bool normalPriority = true;               // normal priority, else `priority`
  int32_t priority = 2;                     // 1 idle, 2 normal, 3 high
  std::string folder;                       // working folder; blank for none
  std::string verb;
};

// 0 when the program started or nothing had to be started, else the Windows error code of the
// failed start (-1 when that code is 0). Sets ExitCode and ExitCode<program> to 0 or to the code.
// A failure is logged (with LOG.ACTIVE) or shown in a message box. The current folder is the same
// afterwards. With a task, its script is queued after a successful start.
int32_t RunTaskProgram(std::string_view command, const RunOptions& options);

// Appends the steps of task `task` to ActiveScriptQueue, each due SCRIPT.DELAYLEN after the one
// before (waits and steps named with "..." take no time of their own), starting 2 × DELAYLEN from
// now or DELAYLEN after the last step already queued, whichever is later, and then an "**End**"
// marker. `windowHandle` (a program the runner started) is stored with each step for "Close
// Program"; the marker lets go of it once the script has run. Returns the number of steps queued.
// Reads SCRIPTING, which the caller has opened.
int QueueTaskScript(int32_t task, uint32_t windowHandle = 0);

// What log lines and message boxes show of a command: a run-as command only from the blank after
// the quote that closes its password (or its domain, when that comes later); every password left
// in it masked; at most 255 bytes.
std::string commandShownName(std::string_view command);

// The description of a failed start's error code (the fixed texts of the common codes, else the
// Windows name of the code).
std::string startErrorDescription(int code);

}  // namespace ov::scheduler
