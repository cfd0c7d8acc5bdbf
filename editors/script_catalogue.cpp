#include "editors/script_catalogue.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "datalib/script_actions.h"
#include "platform/rt/fixed_string.h"

namespace ov::editors {
namespace act = files::action;
namespace {

constexpr std::string_view kModifiers[] = {"", "Ctrl", "Alt", "Shift", "CtrlAlt", "CtrlShift", "AltShift"};
constexpr std::string_view kKeys[] = {
    "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r",
    "s", "t", "u", "v", "w", "x", "y", "z", "BS", "DELETE", "DOWN", "END", "ENTER", "ESC", "F1", "F2",
    "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12", "HOME", "INSERT", "LEFT", "PGDN",
    "PGUP", "PLUS", "PRINT", "RIGHT", "SLASH", "SPACE", "TAB", "UP"};
constexpr std::string_view kComparisons[] = {"=", "<", "<=", "=>", ">", "<>"};
constexpr std::string_view kSetTypes[] = {"Set value", "Set reserved value", "Set value from INI",
                                          "Set INI from value"};
constexpr std::string_view kLoopTypes[] = {"While", "Until", "Count", "Forever", "Files"};
constexpr std::string_view kStartMethods[] = {"Insert (Execute and continue)", "Jump to (Execute and skip)",
                                              "Append"};
constexpr std::string_view kFileActions[] = {
    "Copy", "Rename", "Recycle", "Move", "Delete", "Make Directory", "Remove Directory", "Get File Date",
    "Get File Time", "Get File Size", "Log Windows", "If File Exists", "FTP Upload", "FTP Download",
    "HTTP Download", "Zip", "Unzip"};
constexpr std::string_view kSystemActions[] = {"Reboot", "Logoff", "Shutdown", "Desktop",
                                               "Reboot as", "Logon as", "Stop Service", "Start Service"};
constexpr std::string_view kReserved[] = {
    "TODAY", "DATE", "NOW", "TIME", "FOCUS", "EXITCODE", "FILECOPY", "FILEMOVE", "FILEDELETE", "DIRCREATE",
    "DIRREMOVE", "FILEDATE", "FILETIME", "FILESIZE", "FILEEXISTS", "ERRORCODE", "MAIL", "MAILERROR", "CLIPBOARD"};

struct TabOf {
  std::string_view action, tab;
};
constexpr TabOf kTabs[] = {
    {act::kSendKeys, "Keys"}, {act::kSendKeystrokes, "Keys"}, {act::kWait, "Wait"},
    {act::kSetFocus, "Focus"}, {act::kIfWindow, "IfWin"}, {act::kIfTimeElapsed, "IfTime"},
    {act::kIfFileExists, "IfFile"}, {act::kIfValue, "IfVar"}, {act::kSetValue, "SetVar"},
    {act::kStartLoop, "Loop"}, {act::kStartScript, "Script"}, {act::kSendEmail, "Email"},
    {act::kGetEmail, "Pop"}, {act::kFileActions, "File"}, {act::kStartProgram, "Start"},
    {act::kDisplayMessage, "Msg"}, {act::kCloseProgram, "Close"}, {act::kSystem, "Sys"},
    {act::kDDE, "DDE"}, {act::kDDELong, "DDE"}, {act::kComment, "Comment"},
};

template <class T>
bool contains(std::span<const std::string_view> list, const T& value) {
  return std::find(list.begin(), list.end(), std::string_view(value)) != list.end();
}

// Characters from..from+len-1 (1-based) of a field, without trailing blanks.
std::string slice(std::string_view field, size_t from, size_t len) {
  if (from - 1 >= field.size()) return {};
  return std::string(rt::clipView(field.substr(from - 1, len)));
}

// `value` cut to `width` bytes and blank-padded to exactly that width.
std::string padded(std::string_view value, size_t width) {
  std::string out(value.substr(0, rt::utf8CutLength(value, width)));
  out.resize(width, ' ');
  return out;
}

bool isCopyOrMove(std::string_view kind) { return kind == "Copy" || kind == "Move"; }

}  // namespace

std::string_view ActionTab(std::string_view action) {
  const std::string_view name = rt::clipView(action);
  for (const TabOf& t : kTabs)
    if (t.action == name) return t.tab;
  return "Other";
}

bool ActionNeedsNoValues(std::string_view action) { return ActionTab(action) == "Other"; }

std::span<const std::string_view> ModifierList() { return kModifiers; }
std::span<const std::string_view> KeyList() { return kKeys; }
std::span<const std::string_view> ComparisonList() { return kComparisons; }
std::span<const std::string_view> SetTypeList() { return kSetTypes; }
std::span<const std::string_view> LoopTypeList() { return kLoopTypes; }
std::span<const std::string_view> StartMethodList() { return kStartMethods; }
std::span<const std::string_view> FileActionList() { return kFileActions; }
std::span<const std::string_view> SystemActionList() { return kSystemActions; }
std::span<const std::string_view> ReservedValueNames(bool withClipboard) {
  return std::span<const std::string_view>(kReserved).first(withClipboard ? 19 : 18);
}

std::string_view StartMethodFor(std::string_view method) {
  const std::string_view m = rt::clipView(method);
  const char first = m.empty() ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(m.front())));
  if (first == 'A') return kStartMethods[2];
  if (first == 'J') return kStartMethods[1];
  return kStartMethods[0];
}

std::string WaitCombination(int32_t seconds, std::string_view window, std::string_view chosen) {
  if (seconds == 0 || rt::clipView(window).empty()) return {};
  return rt::compareText(chosen, "Either", true) == 0 ? "Either" : "Both";
}

ItemLocals ReadItemLocals(const files::ScriptingRec& item) {
  ItemLocals l;
  const std::string_view action = item.Action.clipped();
  const std::string_view name = item.DDEApplicationName.view();
  const std::string kind = item.DDEType.str();
  if (action == act::kStartProgram) {
    l.waitForProgram = std::atoi(std::string(name.substr(0, 1)).c_str()) != 0;
  } else if (action == act::kWait) {
    l.waitCombination = slice(name, 1, 6);
  } else if (action == act::kFileActions) {
    const std::string_view topic = item.DDEApplicationTopic.view();
    l.fileThird = item.DDEApplicationName.str();
    l.ftpUser = slice(topic, 1, 128);
    l.ftpPassword = slice(topic, 129, 127);
    if ((isCopyOrMove(kind) || kind == "Zip") && item.DDEApplicationTopic == "/S") l.includeFolders = true;
    if (isCopyOrMove(kind) && item.DDEApplicationName == "/D") l.newerFiles = true;
    if (isCopyOrMove(kind) && item.DDEApplicationName == "/R") l.renameFiles = true;
  } else if (action == act::kDisplayMessage) {
    l.messageText = item.DDEApplicationName.str();
    l.messageTitle = item.DDEApplicationTopic.str();
    l.windowsDialog = item.SecondsToWait != 0;
  } else if (action == act::kSystem) {
    const std::string_view logon = item.DDECommand.view();
    l.logonUser = slice(logon, 1, 64);
    l.logonPassword = slice(logon, 65, 64);
    l.logonDomain = slice(logon, 129, 64);
    l.systemAction = kind.empty() ? "Reboot" : kind;
  } else if (action == act::kGetEmail) {
    l.mailServer = slice(item.Command.view(), 1, 64);
    l.mailUser = slice(item.Path.view(), 1, 64);
    l.mailPassword = slice(item.DDECommand.view(), 1, 64);
    l.deleteAfterRetrieving = item.EmailID != 0;
    l.attachmentsFolder = item.DDEApplicationName.str();
    l.messageFolder = item.DDEApplicationTopic.str();
    l.mailParameters = item.WindowTitleToCheckFor.str();
  }
  return l;
}

void WriteItemLocals(const ItemLocals& l, files::ScriptingRec& item) {
  const std::string_view action = item.Action.clipped();
  const std::string kind = item.DDEType.str();
  if (action == act::kWait) {
    item.DDEApplicationName = l.waitCombination.substr(0, 6);
  } else if (action == act::kStartProgram) {
    item.DDEApplicationName.data()[0] = l.waitForProgram ? '1' : '0';
  } else if (action == act::kDisplayMessage) {
    item.DDEApplicationName = l.messageText;
    item.DDEApplicationTopic = l.messageTitle;
    item.SecondsToWait = l.windowsDialog ? 1 : 0;
  } else if (action == act::kFileActions) {
    item.DDEApplicationName = l.fileThird;
    item.DDEApplicationTopic = padded(l.ftpUser, 128) + padded(l.ftpPassword, 127);
    if (isCopyOrMove(kind)) {
      item.DDEApplicationName.clear();
      item.DDEApplicationTopic.clear();
      if (l.newerFiles) item.DDEApplicationName = "/D";
      if (l.renameFiles) item.DDEApplicationName = "/R";
    }
    if ((isCopyOrMove(kind) || kind == "Zip") && l.includeFolders) item.DDEApplicationTopic = "/S";
  } else if (action == act::kSystem) {
    item.DDECommand = padded(l.logonUser, 64) + padded(l.logonPassword, 64) + padded(l.logonDomain, 64);
    item.DDEType = l.systemAction;
  } else if (action == act::kGetEmail) {
    item.Command = l.mailServer.substr(0, rt::utf8CutLength(l.mailServer, 64));
    item.Path = l.mailUser.substr(0, rt::utf8CutLength(l.mailUser, 64));
    item.DDECommand = l.mailPassword.substr(0, rt::utf8CutLength(l.mailPassword, 64));
    item.EmailID = l.deleteAfterRetrieving ? 1 : 0;
    item.DDEApplicationName = l.attachmentsFolder;
    item.DDEApplicationTopic = l.messageFolder;
    item.WindowTitleToCheckFor = l.mailParameters;
  }
}

void ApplyTabDefaults(files::ScriptingRec& item) {
  const std::string_view action = item.Action.clipped();
  if (action == act::kWait) {
    if (item.DDEApplicationName.isBlank()) item.DDEApplicationName = "Either";
  } else if (action == act::kIfWindow || action == act::kIfFileExists) {
    if (item.WindowExistance.isBlank()) item.WindowExistance = "Exists";
  } else if (action == act::kIfTimeElapsed) {
    if (item.IfTimeElapsed.isBlank()) item.IfTimeElapsed = "Less than";
  } else if (action == act::kIfValue) {
    if (item.WindowTitleToCheckFor.isBlank()) item.WindowTitleToCheckFor = "=";
    if (item.Command.isBlank()) item.Command = "FILEEXISTS";
    if (item.WaitForWindow.isBlank()) item.WaitForWindow = "1";
  } else if (action == act::kSetValue) {
    if (!contains(kSetTypes, item.DDEType.str())) {
      item.DDEType = "Set value";
      item.DDEApplicationName.clear();
      item.DDEApplicationTopic.clear();
    }
  } else if (action == act::kStartLoop) {
    if (!contains(kLoopTypes, item.DDEType.str())) {
      item.DDEType = "Count";
      item.SecondsToWait = 1;
    }
  } else if (action == act::kStartScript) {
    item.Path = StartMethodFor(item.Path.view());
  } else if (action == act::kFileActions) {
    if (!contains(kFileActions, item.DDEType.str())) {
      item.DDEType = "Copy";
      item.DDEApplicationName.clear();
      item.DDEApplicationTopic.clear();
    }
  } else if (action == act::kSystem) {
    if (item.DDEType.isBlank()) item.DDEType = "Reboot";
  }
}

}  // namespace ov::editors
