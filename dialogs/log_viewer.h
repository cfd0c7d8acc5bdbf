// ViewAscii:Log, the event-log viewer: asks for a log file (offering the event log), shows it line
// by line with printing and searching, and shows the fields of the current line as the list's
// tool tip.
//
// Threading: GUI thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

// The tool tip of one log line: its date (columns 1-12), time (13-22), label (23-54) and text
// (55-182), each clipped, joined by CR LF. A short line gives empty trailing fields.
std::string logLineTip(std::string_view line);

std::unique_ptr<ui::WindowManager> makeViewAsciiLog();

}  // namespace ov::dialogs
