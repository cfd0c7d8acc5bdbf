// One-line descriptions of script steps, for the step lists, printed scripts, the queue viewer and
// log lines.
#pragma once

#include <string>
#include <string_view>

#include "datalib/records.h"

namespace ov::files {

constexpr size_t kScriptStatusWidth = 128;

// What the step does, built from its fields by its action, at most 128 bytes (never cut inside a
// character), trailing blanks removed; empty for an action without a description. Passwords are
// never shown: a "Get Email" step shows one asterisk per character of its password, and command
// lines pass through maskPasswords.
std::string SCRIPTSTATUS(const ScriptingRec& step);

// `commandLine` with every password it carries replaced by one asterisk per character: the value
// of a PASSWORD= argument (the POP3 mail receiver's), the p= value of a run-as command and the
// password argument of the FTP transfer program (its sixth argument). Quotes are kept, so the
// text still splits into the same number of arguments. Log writers use it for command lines.
std::string maskPasswords(std::string_view commandLine);

}  // namespace ov::files
