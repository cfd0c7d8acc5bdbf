// The program's command line as COMMAND() reads it.
//
// The words are those the program was started with (read from /proc/self/cmdline until set
// otherwise); a whole line given as text is split by the Windows rules of splitCommandLine
// (process.h), so quotes group words and are removed. All functions may be called from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ov::rt {

// Replaces the command line: by the program's argv, or by a whole line whose first word is the
// program (tests, and programs that hand their line on).
void setCommandLine(int argc, const char* const* argv);
void setCommandLine(std::string_view line);

// Appends words (a line split by the same rules) for later look-ups.
void SETCOMMAND(std::string_view words);

// The runtime's COMMAND(flag), ignoring case everywhere:
//   ""          the words after the program, joined by blanks (a word holding a blank is quoted)
//   "n"         the n-th word after the program ("0" the program); "" past the end
//   "/SWITCH"   the word as written on the command line when it is there, else ""
//   "KEY=" or "KEY"   the value after "KEY=" of the first word that starts so; without "=", a
//               word that is KEY itself gives KEY as written; else ""
std::string COMMAND(std::string_view flag = {});

// The words, the program first.
std::vector<std::string> commandWords();

}  // namespace ov::rt
