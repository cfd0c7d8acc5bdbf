#include "datalib/script_status.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "datalib/date_string_functions.h"
#include "datalib/script_actions.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::files {
namespace {

using Span = std::pair<size_t, size_t>;  // begin, end (exclusive)

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Where each argument of a command line lies, split as the program start splits it: white space
// outside double quotes separates; a double quote preceded by an odd run of backslashes is a
// literal quote and toggles nothing.
std::vector<Span> argumentSpans(std::string_view line) {
  std::vector<Span> spans;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isSpace(line[i])) ++i;
    if (i >= line.size()) break;
    size_t begin = i;
    bool inQuotes = false;
    while (i < line.size() && (inQuotes || !isSpace(line[i]))) {
      if (line[i] == '\\') {
        size_t run = 0;
        while (i < line.size() && line[i] == '\\') ++i, ++run;
        if (i < line.size() && line[i] == '"' && run % 2 == 1) ++i;
        continue;
      }
      if (line[i] == '"') inQuotes = !inQuotes;
      ++i;
    }
    spans.emplace_back(begin, i);
  }
  return spans;
}

// One asterisk per character of `s`; double quotes and backslashes are kept, so the text still
// splits where it did.
std::string asterisks(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '"' || c == '\\') {
      out += c;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      out += '*';
    }
  }
  return out;
}

size_t charCount(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && rt::UPPER(s.substr(0, prefix.size())) == rt::UPPER(prefix);
}

std::string clip(const auto& field) { return std::string(field.clipped()); }

std::string number(int32_t n) { return std::to_string(n); }

// "90 seconds"; above 120 and a whole number of minutes, "3 minutes".
std::string secondsText(int32_t seconds) {
  if (seconds > 120 && seconds % 60 == 0) return number(seconds / 60) + " minutes";
  return number(seconds) + " seconds";
}

std::string first64(const String<255>& field) {
  return std::string(rt::clipView(field.view().substr(0, 64)));
}

// The command of a run-as step without its user, password and domain: the rest from the first
// double quote followed by a blank after "p=" or "PASSWORDFILE=" (or after "d=", when that comes
// later); empty when there is no such quote.
std::string withoutRunAsOptions(const std::string& command) {
  std::string lower = rt::LOWER(command);
  if (lower.find("executeas") == std::string::npos) return command;
  size_t from = std::min(lower.find("p="), lower.find("passwordfile="));
  if (from == std::string::npos) return command;
  size_t d = lower.find("d=", from);
  if (d != std::string::npos) from = d;
  size_t quote = command.find("\" ", from);
  if (quote == std::string::npos) return {};
  size_t rest = quote + 1;
  while (rest < command.size() && command[rest] == ' ') ++rest;
  return command.substr(rest);
}

std::string fileActionText(const ScriptingRec& s) {
  static constexpr std::string_view kWithoutTarget[] = {
      "Delete", "Recycle", "Log Windows", "Make Directory", "Remove Directory", "Get File Size",
      "Get File Date"};
  for (std::string_view kind : kWithoutTarget)
    if (s.DDEType == kind) return clip(s.DDEType) + " " + clip(s.Command);
  return clip(s.DDEType) + " " + clip(s.Command) + " to " + clip(s.Path);
}

std::string setValueText(const ScriptingRec& s) {
  std::string text = "[" + clip(s.Path) + "] =" + clip(s.Command);
  if (s.DDEType == "Set value from INI")
    return text + " under [" + clip(s.DDEApplicationTopic) + "] in " + clip(s.DDEApplicationName);
  if (s.DDEType == "Set INI from value")
    return clip(s.Path) + " under [" + clip(s.DDEApplicationTopic) + "] in " + clip(s.DDEApplicationName) +
           " = \"" + clip(s.Command) + "\"";
  return text;
}

std::string waitText(const ScriptingRec& s) {
  if (s.SecondsToWait != 0) {
    std::string text = secondsText(s.SecondsToWait);
    if (!s.WaitForWindow.isBlank())
      text += " " + clip(s.DDEApplicationName) + " " + clip(s.WaitForWindow);
    return text;
  }
  std::string text = clip(s.WaitForWindow);
  if (!s.FocusOnWindow.isBlank()) text += " (containing " + clip(s.FocusOnWindow) + ")";
  return text;
}

std::string startLoopText(const ScriptingRec& s) {
  if (s.DDEType == "Count") return number(s.SecondsToWait) + " times";
  if (s.DDEType == "While" || s.DDEType == "Until")
    return clip(s.DDEType) + " " + clip(s.Command) + " " + clip(s.WindowTitleToCheckFor) + " " +
           clip(s.WaitForWindow);
  if (s.DDEType == "Files") return clip(s.DDEType) + " " + clip(s.Command);
  return clip(s.DDEType);
}

std::string getEmailText(const ScriptingRec& s) {
  String<255> password = s.DDECommand;
  QVENCRYPT(password);  // a scrambled password counts with its plain length
  std::string text = clip(s.Command) + " " + clip(s.Path) + " " + std::string(charCount(password.clipped()), '*') + " " +
                     clip(s.DDEApplicationName) + " " + clip(s.DDEApplicationTopic) + " " +
                     clip(s.WindowTitleToCheckFor) + " ";
  if (s.EmailID == 1) text += "/DELETE";
  return text;
}

std::string describe(const ScriptingRec& s) {
  namespace a = action;
  const auto is = [&](std::string_view name) { return s.Action == name; };

  if (is(a::kComment)) return clip(s.Command);
  if (is(a::kWaitForProgramEnd))
    return maskPasswords(withoutRunAsOptions(clip(s.Command))) + " " + clip(s.Path);
  if (is(a::kStartProgram) || is(a::kStartScript)) return maskPasswords(clip(s.Command)) + " " + clip(s.Path);
  if (is(a::kCloseProgram)) {
    if (s.Command.isBlank() && s.Path.isBlank()) return "Window with focus";
    return clip(s.Command) + " " + clip(s.Path);
  }
  if (is(a::kSystem)) {
    std::string type = clip(s.DDEType), text = type;
    if (type.find(" as") != std::string::npos) text += " " + first64(s.DDECommand);
    if (type.find("ervice") != std::string::npos) text += " " + first64(s.Command);
    return text;
  }
  if (is(a::kSetValue)) return setValueText(s);
  if (is(a::kIfValue))
    return clip(s.Command) + " " + clip(s.WindowTitleToCheckFor) + " " + clip(s.WaitForWindow);
  if (is(a::kFileActions)) return fileActionText(s);
  if (is(a::kSendKeystrokes) || is(a::kSendKeys)) return clip(s.Keystrokes);
  if (is(a::kDDELong) || is(a::kDDE))
    return clip(s.DDEType) + " " + clip(s.DDEApplicationName) + " " + clip(s.DDEApplicationTopic);
  if (is(a::kDisplayMessage) || is(a::kMessage) || is(a::kDisplay)) {
    std::string text = clip(s.DDEApplicationName) + " " + clip(s.DDEApplicationTopic);
    if (s.SecondsToWait != 0 && !s.FocusOnWindow.isBlank()) text += " <" + clip(s.FocusOnWindow) + ">";
    return text;
  }
  if (is(a::kSetFocus)) {
    std::string text = clip(s.FocusOnWindow);
    if (!s.WaitForWindow.isBlank()) text += " (containing " + clip(s.WaitForWindow) + ")";
    return text;
  }
  if (is(a::kWait)) return waitText(s);
  if (is(a::kStartLoop)) return startLoopText(s);
  if (is(a::kEndLoop) || is(a::kExitLoop)) return {};
  if (is(a::kIfFileExists)) return clip(s.Command) + " (" + clip(s.WindowExistance) + ")";
  if (is(a::kIfWindow)) {
    if (s.FocusOnWindow.isBlank()) return clip(s.WindowTitleToCheckFor) + " " + clip(s.WindowExistance);
    return clip(s.WindowTitleToCheckFor) + " (containing " + clip(s.FocusOnWindow) + ") " +
           clip(s.WindowExistance);
  }
  if (is(a::kIfTimeElapsed)) return secondsText(s.TimeElapsed);
  if (is(a::kSendEmail) || is(a::kSendEMail)) {
    std::string text = "Message #" + number(s.EmailID);
    if (!s.WindowTitleToCheckFor.isBlank()) text = clip(s.WindowTitleToCheckFor) + " - " + text;
    return text;
  }
  if (is(a::kGetEmail)) return getEmailText(s);
  return {};
}

}  // namespace

std::string maskPasswords(std::string_view commandLine) {
  std::vector<Span> spans = argumentSpans(commandLine);
  if (spans.empty()) return std::string(commandLine);

  std::vector<Span> secrets;  // in order, never overlapping: one per argument at most
  std::string program = rt::UPPER(EXTRACTFILENAME(commandLine.substr(0, spans[0].second)));
  bool runAsPasswordSeen = program != "EXECUTEAS";
  for (size_t i = 1; i < spans.size(); ++i) {
    auto [begin, end] = spans[i];
    std::string_view arg = commandLine.substr(begin, end - begin);
    if (startsWithNoCase(arg, "PASSWORD=")) {
      secrets.emplace_back(begin + 9, end);
    } else if (!runAsPasswordSeen && startsWithNoCase(arg, "p=")) {
      secrets.emplace_back(begin + 2, end);
      runAsPasswordSeen = true;
    } else if (program == "OVFTP" && i == 6) {
      secrets.push_back(spans[i]);
    }
  }

  std::string out;
  size_t at = 0;
  for (auto [begin, end] : secrets) {
    out += commandLine.substr(at, begin - at);
    out += asterisks(commandLine.substr(begin, end - begin));
    at = end;
  }
  out += commandLine.substr(at);
  return out;
}

std::string SCRIPTSTATUS(const ScriptingRec& step) {
  const ScriptingRec copy = step;
  std::string text = describe(copy);
  text.resize(rt::utf8CutLength(text, kScriptStatusWidth));
  return std::string(rt::clipView(text));
}

}  // namespace ov::files
