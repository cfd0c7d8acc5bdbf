// The mail sender's two logs: ".\TESSEL.LOG", an INI-form file in the current folder that
// describes the last run key by key, and the lines it adds to the event log.
//
// Threading: the program's one thread.
#pragma once

#include <string_view>

namespace ov::mapisend {

inline constexpr std::string_view kTesselLog = ".\\TESSEL.LOG";
inline constexpr std::string_view kLogSection = "MAPILog";
inline constexpr std::string_view kEventCategory = "MAPI Mail";

// Writes one key of ".\TESSEL.LOG" (the file is made when missing). A key that cannot be
// written is dropped: the log describes the run, it does not steer it.
void logKey(std::string_view section, std::string_view key, std::string_view value);
inline void logKey(std::string_view key, std::string_view value) { logKey(kLogSection, key, value); }

// Deletes ".\TESSEL.LOG" of the current folder.
void removeTesselLog();

// Appends one event-log line (category cut to 32 bytes, text to 128) when LOG.ACTIVE is set: the
// date in the user's picture (picture @d3 when that does not fit its 12 bytes), the time in the
// system's short form, the category and the text, in the event log's fixed columns. The log is
// kept open and closed again after 100 lines, so the next line opens it anew.
void WriteEventLog(std::string_view category, std::string_view text);

// A debug line: written through WriteEventLog only while DEBUG.ACTIVE is set.
void debugLine(std::string_view category, std::string_view text);

// Closes the event log when it is open.
void closeEventLog();

}  // namespace ov::mapisend
