// The names of script actions, as SCRIPTING records, the exchange file, status texts and the
// interpreter spell them (exact and case-sensitive; stored blank-padded in the 27-byte action).
#pragma once

#include <string_view>

namespace ov::files::action {

inline constexpr std::string_view kCloseProgram = "Close Program";
inline constexpr std::string_view kComment = "Comment";
inline constexpr std::string_view kStartProgram = "Start Program";
inline constexpr std::string_view kDisplayMessage = "Display Message";
inline constexpr std::string_view kMessage = "Message";
inline constexpr std::string_view kDisplay = "Display";
inline constexpr std::string_view kSendKeys = "Send Keys";
inline constexpr std::string_view kSendKeystrokes = "Send Keystrokes";  // older name of Send Keys
inline constexpr std::string_view kDDELong = "DDE (Dynamic Data Exchange)";
inline constexpr std::string_view kDDE = "DDE";
inline constexpr std::string_view kSystem = "System";
inline constexpr std::string_view kSetFocus = "Set Focus";
inline constexpr std::string_view kWait = "Wait";
inline constexpr std::string_view kIfWindow = "If Window...";
inline constexpr std::string_view kIfTimeElapsed = "If Time Elapsed...";
inline constexpr std::string_view kEndIf = "...End If";
inline constexpr std::string_view kExitScript = "Exit Script";
inline constexpr std::string_view kEndLoop = "...End Loop";
inline constexpr std::string_view kExitLoop = "Exit Loop";
inline constexpr std::string_view kFileActions = "File Actions";
inline constexpr std::string_view kGetEmail = "Get Email";
inline constexpr std::string_view kSendEmail = "Send Email";
inline constexpr std::string_view kSendEMail = "Send E-mail";
inline constexpr std::string_view kSetValue = "Set Value";
inline constexpr std::string_view kIfValue = "If Value...";
inline constexpr std::string_view kIfFileExists = "If File Exists...";
inline constexpr std::string_view kStartLoop = "Start Loop";
inline constexpr std::string_view kStartScript = "Start Script";
inline constexpr std::string_view kWaitForProgramEnd = "Wait for Program End";

}  // namespace ov::files::action
