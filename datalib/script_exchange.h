// The script exchange file (".ovs" script files and mail scripts): one script step per line.
//
// A line is one EXPORT record: eleven comma-separated text columns, each in double quotes: the
// action name (EXP.Type), then the step's values in EXP.Field1..Field10 in the order the action's
// column table gives, one column each, blank where a value is empty. Inside a value every
// character below 32 and every double quote is written "<" + its decimal code + ">" ("<13>",
// "<10>", "<9>", "<34>"); a "<" that would otherwise read as such an escape is written "<60>".
// Reading turns an escape of one or two digits with a value 1..99 back into its character and
// leaves any other text in angle brackets alone (zero bytes, which have no escape, are dropped). Numbers are decimal text. A value longer than
// 255 bytes once escaped is cut at 255, never inside an escape or a character.
//
// The run-as password of "Start Program" and "System" steps travels in plain text: the file is
// meant to carry a script to another installation, where the password is scrambled again on
// import. Treat such files as secrets.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "datalib/records.h"
#include "platform/rt/err.h"

namespace ov::files {

// Fills the EXPORT record buffer (EXP) from a copy of `step` with the standard edits applied.
// 1 when the action has a column table (the line is worth writing), else 0 with EXP holding only
// the action. `step` is not changed.
uint8_t EXPORTSCRIPTRECORD(const ScriptingRec& step);

// Sets the step's action and the fields of its column table from the EXPORT record buffer (EXP),
// each column to its own field (an empty column clears its field), then applies the standard
// edits. Fields outside the action's table keep what the caller put there. 1 when the action is
// known, else 0 (the step then holds only its action).
uint8_t IMPORTSCRIPTRECORD(ScriptingRec& step);

// The same conversions on a record of the caller's instead of the shared EXP buffer.
uint8_t exportScriptRecord(const ScriptingRec& step, ExportRec& out);
uint8_t importScriptRecord(const ExportRec& in, ScriptingRec& step);

// Normalises older action names and condition words: "Send Keystrokes" becomes "Send Keys"; the
// condition of "If Window..." becomes "Exists" or "Does not exist", that of "If Time Elapsed..."
// "Greater than" or "Less than"; the mode of "Wait" "AND"/"BOTH" becomes "Both", "EITHER" "Either".
void SCRIPT_STANDARDEDITS(ScriptingRec& step);

// Escaping of one value (exposed for the tests and the mail-script writer).
std::string escapeExchangeValue(std::string_view value);
std::string unescapeExchangeValue(std::string_view value);

// One EXPORT record as a line (without its line end) and back. A line with fewer than eleven
// columns leaves the rest blank; more columns, a value too long for its column, an unclosed
// double quote or text after a closing quote are errors: `problem` says which column and why.
std::string formatExchangeLine(const ExportRec& rec);
bool parseExchangeLine(std::string_view line, ExportRec& rec, std::string* problem = nullptr);

// A whole exchange file. Reading accepts CRLF or LF line ends, a UTF-8 byte-order mark and blank
// lines; on the first malformed line it returns Err::FileSystem with the file name and line in
// `problem` (and in FILEERROR()), leaving `records` empty, so nothing is half-imported. The file
// is read as a stream, and what one file may take is bounded: a line longer than kExchangeLineMax
// bytes, more than kExchangeLinesMax lines or more than kExchangeFileMax bytes are refused in the
// same way, before they take their memory. Writing
// replaces the file at once (a temporary file renamed over it); lines end in CRLF.
constexpr size_t kExchangeLineMax = 16 * 1024;  // eleven columns of 255 bytes, quoted, and room
constexpr size_t kExchangeLinesMax = 20000;
constexpr size_t kExchangeFileMax = 64 * 1024 * 1024;
rt::Err readExchangeFile(const std::string& path, std::vector<ExportRec>& records, std::string* problem = nullptr);
rt::Err writeExchangeFile(const std::string& path, std::span<const ExportRec> records);

// Whole scripts: each step through exportScriptRecord (steps whose action has no column table
// are left out), or each line through importScriptRecord into a cleared step. Lines whose action
// is unknown come back too, marked, for the caller to report or skip.
struct ImportedStep {
  ScriptingRec step;
  bool known = false;
};
rt::Err exportScriptFile(const std::string& path, std::span<const ScriptingRec> steps);
rt::Err importScriptFile(const std::string& path, std::vector<ImportedStep>& steps, std::string* problem = nullptr);

}  // namespace ov::files
