#include "datalib/prepare_script_record.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "datalib/date_string_functions.h"
#include "datalib/globals.h"
#include "datalib/program_hooks.h"
#include "datalib/script_actions.h"
#include "platform/rt/date_time.h"
#include "platform/rt/process.h"
#include "platform/rt/secret_file.h"
#include "platform/rt/text.h"

namespace ov::files {
namespace {

std::string quoted(std::string_view value) {
  std::string s(value);
  return WRAPQUOTES(s);
}

std::string quoted(const rt::String<255>& field) { return quoted(field.clipped()); }

std::string programFolder() {
  std::string folder(EXEPATH.clipped());
  if (folder.empty()) folder = rt::programFolder();
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  return folder;
}

// The entry of `folder` named `base` or `base` + ".exe", ignoring case; empty when there is none.
std::string findIgnoringCase(const std::string& folder, const std::string& base) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    std::string name = entry.path().filename().string();
    std::string lower = rt::LOWER(name);
    if ((lower == base || lower == base + ".exe") && entry.is_regular_file(ec)) return name;
  }
  return {};
}

// Finishes a companion step: the command line is in place.
void convertToStartProgram(ScriptingRec& s, const std::string& command) {
  s.Action = action::kStartProgram;
  s.Command = command;
  s.DDEApplicationName = isCallerWindowHidden() ? "12700" : "12800";
  s.TimeElapsed = kCompanionWait;
  s.DDEApplicationTopic.clear();
}

// A companion's password, handed over in a file of its own (secret_file.h) rather than on the
// command line, which every local user can read. `passwordFile` receives the file's path, and
// `refusal` why none could be written.
struct Secret {
  std::string passwordFile;
  std::string refusal;
};

bool handOver(std::string_view password, Secret& secret) {
  std::string error;
  secret.passwordFile = rt::writeSecretFile(password, &error);
  if (secret.passwordFile.empty()) secret.refusal = "the password could not be handed over: " + error;
  return !secret.passwordFile.empty();
}

std::string getEmailCommand(const ScriptingRec& s, Secret& secret) {
  std::string line = companionProgram("OV_POP.EXE");
  const std::pair<const char*, const rt::String<255>*> kOptions[] = {
      {" SERVER=", &s.Command},          {" USER=", &s.Path},
      {" SAVEATTACH=", &s.DDEApplicationName},
      {" SAVETEXT=", &s.DDEApplicationTopic}, {" SAVEHTML=", &s.DDEApplicationTopic},
  };
  for (auto [option, field] : kOptions) {
    if (!field->isBlank()) line += option + quoted(*field);
    if (field == &s.Path && !s.DDECommand.isBlank()) {
      if (!handOver(s.DDECommand.clipped(), secret)) return {};
      line += " PASSWORDFILE=" + quoted(std::string_view(secret.passwordFile));
    }
  }
  line += " " + std::string(s.WindowTitleToCheckFor.clipped());
  if (s.EmailID == 1) line += " /DELETE";
  return std::string(rt::clipView(line));
}

// The password's place stays empty; "/AUTO" tells the program that nobody watches it, so it
// reports only through its exit code and FTPLOG.INI.
std::string ftpCommand(const ScriptingRec& s, std::string_view direction, Secret& secret) {
  std::string_view topic = s.DDEApplicationTopic.view();
  const std::string_view password = rt::clipView(topic.substr(std::min<size_t>(128, topic.size())));
  std::string line = companionProgram("OVFTP.EXE") + " " + std::string(direction) + " " + quoted(s.Command) + " " +
                     quoted(s.Path) + " " + quoted(s.DDEApplicationName) + " " +
                     quoted(rt::clipView(topic.substr(0, 128))) + " \"\"";
  if (!password.empty()) {
    if (!handOver(password, secret)) return {};
    line += " PASSWORDFILE=" + quoted(std::string_view(secret.passwordFile));
  }
  return line + " /AUTO";
}

// A zip step given as one path ("/data/*.TPS") with no separate folder: the folder goes to
// DDEApplicationName, the pattern stays in Path.
void splitZipPath(ScriptingRec& s) {
  std::string path(s.Path.clipped());
  if (path.find_first_of("\\/") == std::string::npos || !s.DDEApplicationName.isBlank()) return;
  STRIPQUOTES(path);
  size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return;
  s.DDEApplicationName = path.substr(0, cut + 1);
  s.Path = path.substr(cut + 1);
}

std::string zipCommand(ScriptingRec& s, bool backup) {
  std::string line = companionProgram("QMTBACK.EXE") + (backup ? " BACKUP=" : " RESTORE=") + quoted(s.Command) +
                     " FILES=" + quoted(s.Path) + " PATH=" + quoted(s.DDEApplicationName);
  if (backup && s.DDEApplicationTopic == "/S") line += " /S";
  return line;
}

// The command line a companion step needs, or empty for a step that stays as it is (or whose
// password could not be handed over: `secret.refusal` says why).
std::string companionCommand(ScriptingRec& s, Secret& secret) {
  std::string_view head = s.Action.view().substr(0, 4);
  if (head == "Send") {
    if (EMAIL.USEMAPI == 0 || rt::UPPER(s.Action.clipped()).find("MAIL") == std::string::npos) return {};
    return companionProgram("TESSEL.EXE") + " " + std::to_string(s.EmailID) + " /AUTO";
  }
  if (head == "Get ") return s.Action == action::kGetEmail ? getEmailCommand(s, secret) : std::string();
  if (head != "File") return {};
  if (s.DDEType == "FTP Upload") return ftpCommand(s, "U", secret);
  if (s.DDEType == "FTP Download") return ftpCommand(s, "D", secret);
  if (s.DDEType == "HTTP Download")
    return companionProgram("HTTPGET.EXE") + " " + quoted(s.Command) + " " + quoted(s.Path) + " /AUTO";
  if (s.DDEType == "Zip") {
    splitZipPath(s);
    return zipCommand(s, true);
  }
  if (s.DDEType == "Unzip") return zipCommand(s, false);
  return {};
}

}  // namespace

std::string companionProgram(std::string_view windowsName) {
  std::string base = rt::LOWER(windowsName);
  if (base.ends_with(".exe")) base.resize(base.size() - 4);
  std::string folder = programFolder();
  std::string found = folder.empty() ? std::string() : findIgnoringCase(folder, base);
  if (found.empty()) return base;
  std::string path = folder + found;
  bool needsQuotes = path.find_first_of(" \t\"") != std::string::npos;
  return needsQuotes ? "\"" + path + "\"" : path;
}

uint8_t PREPARESCRIPTRECORD(ScriptingRec& step, int32_t date, int32_t time) {
  ScriptingRec s = step;

  if (s.Action.view().substr(0, 4) == "If T") {
    // Relative seconds to an absolute moment; carry whole days first so nothing overflows.
    int64_t t = static_cast<int64_t>(s.TimeElapsed) * 100 + time;
    int64_t days = t / rt::kCentisecondsPerDay;
    int32_t d = static_cast<int32_t>(date + days);
    int32_t tt = static_cast<int32_t>(t - days * rt::kCentisecondsPerDay);
    FIXDATE(d, tt);
    s.SecondsToWait = d;
    s.TimeElapsed = tt;
    step = s;
    return 0;
  }

  Secret secret;
  std::string command = companionCommand(s, secret);
  if (command.empty() && secret.refusal.empty()) return 0;
  if (!secret.refusal.empty() || command.size() > kCommandWidth) {
    std::error_code ignored;  // the step is not run, so nobody reads the password file
    if (!secret.passwordFile.empty()) std::filesystem::remove(secret.passwordFile, ignored);
    std::string why = secret.refusal;
    if (why.empty())
      why = "command line for " + EXTRACTFILENAME(command) + " needs " + std::to_string(command.size()) +
            " characters, at most " + std::to_string(kCommandWidth);
    writeEventLog("Step not run: " + why, "Script");
    ScriptingRec refused = step;
    refused.Action = action::kComment;
    refused.Command = "Not run: " + why;
    step = refused;
    return 1;
  }
  convertToStartProgram(s, command);
  step = s;
  return 0;
}

}  // namespace ov::files
