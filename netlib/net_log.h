// Debug output of the network library.
//
// The library keeps no log file: it writes text lines to the debug output, which is standard
// error unless a program or a test installs a sink of its own. Which lines are written is decided
// by switches on the process's command line ("/netdlllog", "/netdlllogerrors", "/netdlllogall")
// and by options (net_options.h). Every line the library writes ends with CR LF.
//
// All functions may be called from any thread.
#pragma once

#include <functional>
#include <string_view>

namespace ov::net {

// Writes `text` to the debug output, trailing blanks removed, then CR LF. A text passed with 1022
// characters or more (counted before the blanks are removed) is cut to 1012 characters and
// " <clipped>" is added. Always answers 0; the switches are the callers' business.
long NetDebugTrace(std::string_view text);

// Reads the logging switches from the command line again and writes the banner when plain
// logging is on (the start-up lines kept so far are replayed once, as "[Past Info]" lines).
long NetTurnOnLogging();

// Where the debug output goes: `sink` receives each line with its CR LF. An empty sink restores
// standard error (where CR LF is written as a plain line end).
using DebugSink = std::function<void(std::string_view line)>;
void setDebugSink(DebugSink sink);

}  // namespace ov::net
