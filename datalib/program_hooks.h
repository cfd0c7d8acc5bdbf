// What the data library asks of the program it runs in: a line in the event log, and whether the
// calling thread's current window is hidden or minimised.
//
// Both are replaceable functions, so the library works without the main program's event log and
// window layer and tests can watch them: the main program installs its WriteLog and a window
// probe at start-up. Until then log lines go to standard error and no window counts as hidden.
#pragma once

#include <functional>
#include <string_view>

namespace ov::files {

using EventLogWriter = std::function<void(std::string_view text, std::string_view label)>;
using WindowHiddenProbe = std::function<bool()>;

// Install a function (an empty one restores the default); each returns the previous one.
EventLogWriter setEventLogWriter(EventLogWriter writer);
WindowHiddenProbe setWindowHiddenProbe(WindowHiddenProbe probe);

// One event-log line, text first, through the installed writer.
void writeEventLog(std::string_view text, std::string_view label);
// True when the calling thread's current window is hidden or minimised (the frame hides itself
// while the user picks a point with the mouse).
bool isCallerWindowHidden();

}  // namespace ov::files
