// The event log: one fixed-width line per event, appended to the file GLO.LOGFILENAME names (or to
// OV_TEST.LOG in the data folder while the program's own scheduler is off).
//
// A line is the date (12 bytes, the user's date picture, or picture @d3 when that doesn't fit),
// the time (10, the system's short time), the label (32) and the text (128), each left-justified
// and blank-padded, 182 bytes, then a line feed. Readers (the trimming, the log viewer) take the
// fields by position.
//
// Any thread may call these functions; each line is written with one append, so lines of
// concurrent writers never mix.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ov::scheduler {

constexpr size_t kLogLineWidth = 182;           // without the line feed
constexpr std::string_view kTestLogName = "OV_TEST.LOG";

// Appends a line with `text` and `label` (text first), when LOG.ACTIVE is set; with logging off a
// pending Feedback is dropped. A pending Feedback goes into the same line when it fits beside the
// text, else onto a second line labelled "(continued)". Every value after "PASSWORD=" (any case)
// is masked with asterisks: up to the next blank, or through the closing quote when it is quoted.
void WriteLog(std::string_view text, std::string_view label);

// Closes the log file; the next line opens it again.
void closeEventLog();

// The text with every password value masked, as WriteLog writes it.
std::string maskPasswords(std::string_view text);

// Cuts the event log back once it has grown to 105 % of LOG.MAXSIZE bytes: its oldest lines go
// until what is left is below 95 % of it. Only while the own scheduler runs, LOG.ACTIVE is set,
// LOG.MAXSIZE is at least 19158 (95 % of it holds 100 lines) and LOG.USENTEVENT is off. The cut
// copy replaces the log in one rename, so a failure at any step leaves the log as it was; failures
// are noted in DEBUG.INI of the current folder (section "Log", key "Error").
void TrimEventLog();

}  // namespace ov::scheduler
