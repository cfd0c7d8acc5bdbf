// The bug report: the user's text, a dump of the program's settings and state (DumpGlobals) and a
// listing of the data folder, mailed to the maker's support address through SMTP, optionally
// with the data file and the event log attached. The outcome is logged and left in the script
// variables "Mail" ("Sent" or "Error") and "MailError".
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

inline constexpr const char* kSupportAddress = "support@orvane.example";
inline constexpr size_t kBugReportTextWidth = 9999;

std::unique_ptr<ui::WindowManager> makeBugReport();
// Runs the window modally on the current thread.
void BugReport();

// Fills `lines` (emptied first) with one "<label> = <value>" line per global the program keeps,
// in a fixed order, each cut to `width`; no password is dumped. With `scriptValues` the script
// variables follow "------ Script Values:" as "[name] = value".
void DumpGlobals(std::vector<std::string>& lines, bool scriptValues, size_t width = 80);

// The message body: the report, the internal information and the data folder's listing (name,
// date as mm-dd-yy, time), cut at 9999 characters.
std::string bugReportBody(std::string_view report, const std::vector<std::string>& lines);

// Sends the report; 0 when it went out, else the mail object's code. Logs the outcome and sets
// the script variables.
int32_t sendBugReport(std::string_view report, const std::vector<std::string>& lines, bool includeDatabase,
                      bool includeLog, std::string* errorText = nullptr);

}  // namespace ov::dialogs
