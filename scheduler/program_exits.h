// The exit codes of programs that tasks and script steps started while every exit code is logged
// (LOG.ACTIVE and LOG.ALLEXITCODES): the tick looks at ProgramExitQueue (program_runner.h) and
// logs each program that has ended with its code's system error name.
//
// Frame thread only.
#pragma once

namespace ov::scheduler {

// Walks ProgramExitQueue from its last entry to its first. An ended program (or an entry whose
// process is no longer known, which counts as exit code -1) gets the log line "Program Exit Code
// <code>" with its name and the code's name, sets the ExitCode variables when it is the program
// the running script started, and leaves the queue. A program that the head step of the script
// queue is waiting for stays until that step has taken its exit code.
void ReapExitedPrograms();

}  // namespace ov::scheduler
