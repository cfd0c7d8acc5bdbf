// Rewrites script steps that a companion program carries out into "Start Program" steps whose
// command line starts that program, as a step is queued:
//
//   Send Email (with EMAIL.USEMAPI)  tessel <message number> /AUTO
//   Get Email                        ov_pop[ SERVER=s][ USER=u][ PASSWORDFILE=f][ SAVEATTACH=dir]
//                                          [ SAVETEXT=dir][ SAVEHTML=dir] <options>[ /DELETE]
//   File Actions, FTP Upload         ovftp U <remote> <local> <host> <user> ""[ PASSWORDFILE=f] /AUTO
//   File Actions, FTP Download       ovftp D <remote> <local> <host> <user> ""[ PASSWORDFILE=f] /AUTO
//   File Actions, HTTP Download      httpget <url> <file> /AUTO
//   File Actions, Zip                qmtback BACKUP=<zip> FILES=<spec> PATH=<folder>[ /S]
//   File Actions, Unzip              qmtback RESTORE=<zip> FILES=<spec> PATH=<folder>
//
// A password never goes on the command line, where every local user can read it: it is written to
// a private file (platform/rt/secret_file.h) that PASSWORDFILE names and the companion deletes
// once read. "/AUTO" tells the FTP program and the mail sender that nobody watches them (no message
// boxes: they report through their exit code and log).
//
// Each value is quoted by WRAPQUOTES, so the program start splits the line back into exactly
// these values. A companion is named by its full path when it lies in the program's own folder
// (EXEPATH), else by its bare name, which the program start looks up in the program's own folder
// and then on PATH; the data folder is never searched first, since others may write there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datalib/records.h"

namespace ov::files {

constexpr size_t kCommandWidth = 255;  // SCR:Command
constexpr int32_t kCompanionWait = 360000;  // seconds "Start Program" waits for the companion

// The rewrite of `step`, queued at `date` and `time`; the step changes in place:
// - a companion step becomes "Start Program" with the command line above, the window mode "12800"
//   ("12700" while the caller's window is hidden or minimised) in DDEApplicationName, the wait
//   360000 in TimeElapsed and DDEApplicationTopic cleared;
// - a step whose action begins with "If T" gets its due moment: SecondsToWait = `date`,
//   TimeElapsed = TimeElapsed seconds after `time`, normalised;
// - any other step stays as it is.
// A command line longer than the 255-byte command field is never cut (a cut could drop a switch or
// end a path elsewhere), and a password that cannot be written to its file is never put on the
// command line instead: the step becomes a "Comment" saying it was not run, an event-log line
// with the label "Script" says why, and the result is 1. Otherwise the result is 0.
uint8_t PREPARESCRIPTRECORD(ScriptingRec& step, int32_t date, int32_t time);

// How a companion program (named as on Windows, "OVFTP.EXE") is written at the start of a command
// line: its path in EXEPATH (the file found ignoring case, with or without ".exe") in double quotes
// when it holds white space, else its lower-case name without ".exe".
std::string companionProgram(std::string_view windowsName);

}  // namespace ov::files
