// The text form of a task's script: one line an item, a keyword first ("WAIT", "START", "IF" ...)
// and its arguments after it, separated by blanks; lines end in CR LF and block contents are
// indented by 3 blanks a level (at most 24). What ScriptToText writes, TextToScript reads back into
// the same fields.
//
// An argument is written bare, or in double quotes when it is empty or holds a blank, "/", "\",
// ",", "[" or "]"; inside it CR, LF, TAB and the double quote are written "<13>", "<10>", "<9>"
// and "<34>", and a "<" that would read as one of those (or as "<60>") is written "<60>". Reading
// splits at blanks and commas outside quotes and square brackets (a comma that ends a bare token
// stays on it), drops one pair of enclosing quotes and turns the escapes back. Run-as, Get Email
// and FTP passwords travel scrambled (marked "!ENC"); the items hold them as typed.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "datalib/records.h"
#include "platform/rt/err.h"

namespace ov::editors {

// One value in its written form, and a keyword with values (values left out are not written).
std::string QuoteScriptValue(std::string_view value);
struct ScriptValue {
  std::string_view text;
  bool leaveOut = false;
};
std::string BuildScriptLine(std::string_view keyword, std::span<const ScriptValue> values);

// The tokens of an argument text, each unquoted and unescaped.
std::vector<std::string> SplitScriptArguments(std::string_view arguments);
// Token n (from 1) of `tokens`, or an empty text.
std::string ScriptArgument(const std::vector<std::string>& tokens, size_t n);

// The line of one item, without indentation and line end; empty for an action the text form does
// not know. `opensBlock` / `closesBlock` say how the line moves the indentation.
std::string ScriptItemLine(const files::ScriptingRec& item, bool* opensBlock = nullptr, bool* closesBlock = nullptr);
// The whole text of a run of items, indented, every line ending in CR LF.
std::string ScriptItemsText(std::span<const files::ScriptingRec> items);

// Reads one line (leading blanks allowed) into `item` (cleared first; ID and Sequence are left to
// the caller). False with `problem` set for an unknown keyword or a value that does not fit; a
// blank line gives false with `problem` empty.
bool ParseScriptLine(std::string_view line, files::ScriptingRec& item, std::string* problem);

// A problem found in a script text: the line (from 1) and what is wrong with it.
struct ScriptTextProblem {
  int line = 0;
  std::string message;
};
// The items a whole text describes, numbered for `task` by line (a blank line leaves a gap in the
// sequence). On the first bad line: false, `problem` set and `items` empty.
bool ParseScriptText(std::string_view text, int32_t task, std::vector<files::ScriptingRec>& items,
                     ScriptTextProblem* problem);

// The text of `task`'s stored items in sequence order. Task 0: Err::BadParameters, "No task ID".
// The SCRIPTING file is opened and closed here.
rt::Err ScriptToText(int32_t task, std::string& text, std::string* problem = nullptr);
// Replaces `task`'s stored items with those the text describes, in one transaction: a blank text
// ("Nothing to save."), a bad line or a failed write changes nothing and says why in `problem`
// (with the line number for a bad line).
rt::Err TextToScript(int32_t task, std::string_view text, ScriptTextProblem* problem = nullptr);

// Test hook: called before TextToScript adds each item; a non-zero result fails that add.
extern std::function<rt::Err(const files::ScriptingRec&)> textToScriptBeforeAdd;

}  // namespace ov::editors
