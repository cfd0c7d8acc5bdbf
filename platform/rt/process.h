// Starting other programs: the runtime's RUN and the process calls the program runner makes
// (start, wait, exit code, end), and opening a document or address with the desktop's handler.
//
// A command line is split by the Windows rules and handed to posix_spawn; it never passes through
// a shell. The program named first drops a ".EXE" ending and is looked up ignoring case: in this
// program's own folder, then the current folder, then each folder of PATH. Failures come back as
// the Windows error codes the program runner logs and describes (2, 3, 5, 8, 11, 26, 27, 31, 32,
// ...), never as an exception.
//
// A started program is known by a handle (a number above 32, never reused). One watcher thread per
// child waits for that child's own pid, records its exit code and reaps it, so no zombie is left
// and no other part of the program loses a child of its own (no waitpid(-1), no SIGCHLD handler).
// All functions may be called from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::rt {

using ProcessHandle = int32_t;

// Windows error codes reported here.
namespace winerr {
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int TooManyOpenFiles = 4;
constexpr int AccessDenied = 5;
constexpr int NotEnoughMemory = 8;
constexpr int BadFormat = 11;             // not a program this system can run
constexpr int SharingViolation = 26;      // the program file is being written
constexpr int AssociationIncomplete = 27; // the desktop's handler failed
constexpr int NoAssociation = 31;         // no handler for the document, or an unknown verb
constexpr int LibraryNotFound = 32;       // a shared library of the program is missing
constexpr int InvalidParameter = 87;
constexpr int DiskFull = 112;
constexpr int NameTooLong = 206;
constexpr int StillActive = 259;          // "exit code" of a program that still runs
constexpr int Cancelled = 1223;
constexpr int Timeout = 1460;
}  // namespace winerr

// The Windows error code for an errno value (ENOENT 2, ENOTDIR 3, EACCES/EPERM 5, ENOMEM 8,
// ENOEXEC 11, ETXTBSY 26, ...); 31 for a value without a closer match.
int windowsError(int errnoValue);

// Splits a command line as Windows programs split theirs: blanks and tabs separate arguments;
// a double quote starts or ends a quoted part; inside a quoted part two double quotes give one;
// 2n backslashes before a double quote give n backslashes, 2n+1 give n and a literal quote;
// other backslashes are kept. The first argument (the program) only honours quotes, so a quoted
// "C:\Dir\" keeps its last backslash. Leading blanks are skipped; an empty line gives no arguments.
std::vector<std::string> splitCommandLine(std::string_view line);

// The full path of the program `name` names ("OVFTP", "tessel.exe", "./tools/x", ".\X.EXE", a path
// with "\" separators), found as the header describes; empty with `error` set (2, 3 or 5) when
// there is none.
std::string findProgram(std::string_view name, int* error = nullptr);

// This program's own folder (where its companion programs lie), without a trailing "/".
std::string programFolder();

struct StartOptions {
  std::string folder;  // working folder of the program; empty: the current folder
  int show = 1;        // window show command (0 hidden, 1 normal, 2, 3, 7, 8); the desktop decides
  int priority = 2;    // 1 idle, 2 normal, 3 high (high needs privileges; without them, normal)
};

struct Started {
  int error = 0;             // 0, or the Windows error code of the failed start
  ProcessHandle handle = 0;  // open until closeProgram(); 0 when nothing was started
  int pid = 0;
  bool ok() const { return error == 0; }
};

// Starts the program of `commandLine` without waiting. When the line does not begin with a quote
// and its first word names no program, longer runs of words are tried as the program, as Windows
// does for "C:\Program Files\App\app.exe /x" written without quotes.
Started startProgram(std::string_view commandLine, const StartOptions& options = {});

// Opens `file` the way the desktop shell does: a program is started with `parameters` (split by the
// rules above); a document, a folder or an address ("https://...", "mailto:...", "www....") is
// handed to xdg-open, whose early failure is reported (2 missing file, 31 no handler, 27 handler
// failed). `verb` "open" (also blank, "explore", "edit") is the only action there is; another
// verb gives 31. A relative `file` is looked for in `folder` first, then in the current folder.
Started shellOpen(std::string_view file, std::string_view parameters = {}, std::string_view folder = {},
                  std::string_view verb = "open");

// The exit code of a started program: StillActive (259) while it runs, the code it exited with,
// or 128 + the signal number when a signal ended it. False for a handle that is not open.
bool programExitCode(ProcessHandle handle, int& code);

enum class WaitResult { Ended, TimedOut, NoSuchHandle };

// Waits for a started program to end, at most `timeoutMs` milliseconds (negative: without limit).
WaitResult waitProgram(ProcessHandle handle, int timeoutMs = -1);

// Ends a started program: asks it to end (SIGTERM) and, when it is still there after `graceMs`,
// kills it. True once it has ended (also when it had ended before).
bool endProgram(ProcessHandle handle, int graceMs = 3000);

// The process id of an open handle, or 0.
int programPid(ProcessHandle handle);

// Forgets a handle. A program that still runs goes on running; it is reaped when it ends.
void closeProgram(ProcessHandle handle);

// Starts `commandLine`, waits for it (at most `timeoutMs`, negative: without limit) and closes its
// handle. `exitCode` is the program's code, StillActive when the wait timed out (the program goes
// on running). Returns the start error, 0 when the program ran.
int runProgram(std::string_view commandLine, int& exitCode, const StartOptions& options = {}, int timeoutMs = -1);

// The runtime's RUN: starts `command` and, with `wait`, waits until it ends. A failed start sets
// ERRORCODE() to the Windows code (ERRORFILE() names the command) and RUNCODE() to -4; a started
// program sets RUNCODE() to its exit code when waited for, else to 0. Per thread, like ERRORCODE().
void RUN(std::string_view command, bool wait = false);
int RUNCODE();

}  // namespace ov::rt
