// The library's line builder and logging switches (internal).
#pragma once

#include <string>
#include <string_view>

namespace ov::net::detail {

constexpr int kLevelPlain = 0;
constexpr int kLevelError = 100;

// "[NetDLL]  " + procedure + "() : " + text, written when plain logging is on, or when
// errors-only logging is on and the level is kLevelError.
void logLine(std::string_view procedure, std::string_view text, int level = kLevelPlain);

// Detailed lines are built only when this is true (and then still go through logLine).
bool logAll();
bool logOn();
bool logErrorsOnly();
void setLogOn(bool on);
void setLogAll(bool on);
void setLogErrorsOnly(bool on);

// Keeps a start-up line for the banner's "[Past Info]" replay and writes "[NetDLL] " + line at
// once when plain logging is on. Start-up lines begin with a blank of their own.
void startupLine(std::string_view line);
// Forgets the kept start-up lines and switches every logging flag off (a fresh load).
void resetLogging();

// True when `word` (such as "/netdlllog") is a word of the process's command line, in any case.
bool hasSwitch(std::string_view word);

// The program's name (command-line word 0), trailing blanks removed, lower case.
std::string programNameLower();

}  // namespace ov::net::detail
