#include "scheduler/program_exits.h"

#include <string>

#include "datalib/date_string_functions.h"
#include "datalib/globals.h"
#include "datalib/script_actions.h"
#include "platform/rt/process.h"
#include "scheduler/event_log.h"
#include "scheduler/program_runner.h"
#include "scheduler/script_queue.h"
#include "scheduler/system_error_text.h"
#include "scheduler/variables.h"

namespace ov::scheduler {

namespace {

// The head step waits for this program and reports its exit code itself.
bool headStepWaitsFor(rt::ProcessHandle handle) {
  if (ActiveScriptQueue.RECORDS() == 0) return false;
  const ScriptEntry& head = ActiveScriptQueue.at(1);
  return head.RECORD.Action.clipped() == files::action::kWaitForProgramEnd && rt::ProcessHandle(head.RECORD.ID) == handle;
}

}  // namespace

void ReapExitedPrograms() {
  for (int i = ProgramExitQueue.RECORDS(); i >= 1; --i) {
    const ProgramExitEntry entry = ProgramExitQueue.at(i);
    int code = -1;
    if (entry.HPROCESS != 0 && rt::programExitCode(entry.HPROCESS, code)) {
      if (code == rt::winerr::StillActive) continue;
    } else {
      code = -1;
    }
    if (headStepWaitsFor(entry.HPROCESS)) continue;
    if (files::LOG.ACTIVE && files::LOG.ALLEXITCODES)
      WriteLog(entry.COMMANDLINE.str() + " (" + SystemErrorText(true, code) + ")", "Program Exit Code " + std::to_string(code));
    ScriptState& script = scriptState();
    const bool scriptsOwn = entry.HPROCESS != 0 && entry.HPROCESS == rt::ProcessHandle(script.processHandle);
    if (scriptsOwn) {
      SetVariable(std::to_string(code), "ExitCode" + files::EXTRACTFILENAME(script.command));
      SetVariable(std::to_string(code), "ExitCode");
    }
    // The script keeps its own program's handle (Close Program asks it); it closes it itself.
    if (entry.HPROCESS > 32 && !scriptsOwn) rt::closeProgram(entry.HPROCESS);
    if (ProgramExitQueue.GET(i) == rt::Err::None) (void)ProgramExitQueue.DELETE();
  }
}

}  // namespace ov::scheduler
