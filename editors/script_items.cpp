#include "editors/script_items.h"

#include <algorithm>
#include <climits>
#include <filesystem>

#include "datalib/files.h"
#include "datalib/script_actions.h"
#include "datalib/script_exchange.h"
#include "datalib/script_status.h"
#include "platform/files/file.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"
#include "platform/ui/runtime.h"

namespace ov::editors {

int32_t NewScriptItemOwner = 0;
uint8_t ScriptTemplateMode = 0;
int ScriptTemplateThread = 0;

bool TemplateModeHere() { return ScriptTemplateMode != 0 && ScriptTemplateThread == ui::THREAD(); }

namespace act = files::action;
using files::SCR;
using rt::Err;

namespace {

constexpr int kMaxCopiedItems = 10000;
constexpr int32_t kLastImportSequence = 999;

std::string clipped(std::string_view s) { return std::string(rt::clipView(s)); }

struct Picked {
  std::string_view label, action, kind;
};
// The labels that stand for a file sub-action or another stored name, in the order they are tried.
constexpr Picked kPicked[] = {
    {"Copy Files", act::kFileActions, "Copy"},
    {"Move Files", act::kFileActions, "Move"},
    {"Delete Files", act::kFileActions, "Delete"},
    {"Zip Files", act::kFileActions, "Zip"},
    {"Unzip Files", act::kFileActions, "Unzip"},
    {"Rename Files", act::kFileActions, "Rename"},
    {"Recycle Files", act::kFileActions, "Recycle"},
    {"Make Directory", act::kFileActions, "Make Directory"},
    {"Remove Directory", act::kFileActions, "Remove Directory"},
    {"Get Date", act::kFileActions, "Get File Date"},
    {"Get Time", act::kFileActions, "Get File Time"},
    {"Get Size", act::kFileActions, "Get File Size"},
    {"Log Windows", act::kFileActions, "Log Windows"},
    {"Download web page", act::kFileActions, "HTTP Download"},
    {"FTP Upload", act::kFileActions, "FTP Upload"},
    {"FTP Download", act::kFileActions, "FTP Download"},
    {"Other...", act::kFileActions, ""},
    {"System Command", act::kSystem, ""},
};

constexpr std::string_view kQuickMenu =
    "Basic{Send Keys|Set Focus|Wait|Display Message}|Values/Conditions{If Window|If Time|If Value|If File "
    "Exists|End If|Set Value}|File{Copy|Move|Delete|Zip|Unzip|Rename|Recycle|Make Directory|Remove "
    "Directory|Get Date|Get Time|Get Size|Log Windows}|Internet{Download web page|FTP Upload|FTP Download|Send "
    "E-mail|Get E-mail}|Program{Start Program|Close Program|System Command}|Loop{Start Loop|End Loop|Exit "
    "Loop}|Script Control{Exit Script|Start Script}|Comment";

constexpr std::string_view kQuickLabels[] = {
    "Send Keys", "Set Focus", "Wait", "Display Message", "If Window...", "If Time Elapsed...", "If Value...",
    "If File Exists...", "...End If", "Set Value", "Copy Files", "Move Files", "Delete Files", "Zip Files",
    "Unzip Files", "Rename Files", "Recycle Files", "Make Directory", "Remove Directory", "Get Date", "Get Time",
    "Get Size", "Log Windows", "Download web page", "FTP Upload", "FTP Download", "Send Email", "Get Email",
    "Start Program", "Close Program", "System", "Start Loop", "...End Loop", "Exit Loop", "Exit Script",
    "Start Script", "Comment"};
static_assert(std::size(kQuickLabels) == 37);

struct Help {
  std::string_view action, text;
};
const Help kHelp[] = {
    {"Comment", "Enter a comment. This action can also be used to temporarily disable an existing action."},
    {"System",
     "Select the system command you wish to have performed.  Warning:  Script items following this one will not "
     "be executed if the command includes rebooting or shutting down."},
    {"Display Message",
     "This will display a message with a title.  If \"Use Standard Windows Dialog\" is checked, a standard Windows "
     "dialog will be displayed.  If the \"buttons\" fields is not filled in, a single \"OK\" button will be used.  "
     "If buttons are specified, those buttons will be displayed on the message window, and a value called RESPONSE "
     "will be filled with the button number.  Example:  \"&Yes|&No\" will result in 2 buttons, and RESPONSE will be "
     "set to 1 if Yes is pressed, 2 if No is pressed."},
    {"Start Program",
     "This will start another program.  Enter a program to run in the \"command\" field, or use the BROWSE button "
     "to select one using the standard Windows dialog.  If you're using Windows 95, you can also enter the name of "
     "a document (for example, \"Brevant.URL\"). Optionally, you may enter a path in the \"Start In\" field.  When "
     "you select a program in step 1, this path is defaulted to the path in which the program is located.  If you "
     "leave this blank, the program you have entered will be run from the current (Orvane) folder (directory).  "
     "Press the Advanced button for special startup parameters such as \"wait for program end\" ([EXITCODE] value "
     "will be set - consult help for more information), \"start minimized\" and \"print document\"."},
    {"Close Program",
     "Specify a window title, an executable file (\"EXE\") by name* (including the full path) or leave the "
     "\"executable\" field blank to close whichever window or application that has \"focus\" when this script "
     "item is executed.  Use with caution.  Usually sending [AltF4] let's you shut down an application in a safe "
     "way.  (* - Requires KILLPROC.EXE, only available on Win 95/98 systems.)"},
    {"Exit Script",
     "Exit Script:  This will exit the script at this point. Usually this script action is used in conjunction "
     "with an \"If...\" script action."},
    {"Send Keystrokes",
     "Enter the keys you wish to send to the application that currently has \"focus\".  This would be the "
     "program you just started, or another that you specifically or manually focused on.  To enter special "
     "keycodes, use the square braces (\"[]\") and a keystroke name.  For example \"[AltB]\" would send an Alt-B "
     "to the program with focus."},
    {"Send Keys",
     "Enter the keys you wish to send to the application that currently has \"focus\".  This would be the "
     "program you just started, or another that you specifically or manually focused on.  To enter special "
     "keycodes, use the square braces (\"[]\") and a keystroke name.  For example \"[AltB]\" would send an Alt-B "
     "to the program with focus."},
    {"DDE (Dynamic Data Exchange)",
     "This executes a DDE command of your choice with the application you specify.  Note that the application "
     "must already be running.  Consult the documentation of the application you are communicating for specific "
     "topics and commands to use."},
    {"DDE",
     "This executes a DDE command of your choice with the application you specify.  Note that the application "
     "must already be running.  Consult the documentation of the application you are communicating for specific "
     "topics and commands to use."},
    {"Set Focus",
     "This script action gives the \"focus\" to another application.  Enter one of the following:  |  (a) The "
     "exact title - for example, \"Connect To\" (not case sensitive).  (b) The first few unique characters "
     "followed by an asterisk - for example: \"Untitled - *\".  (c) An asterisk followed by a phrase to find "
     "anywhere in the window title - for example, \"*Notepad\".    (d) An executable name - for example, "
     "\"notepad.exe\"."},
    {"Wait",
     "This script action waits for a number of seconds to pass, and/or a window with a specific title to appear.  "
     "Leave blank whichever does not apply.  For the window, enter:  (a) The exact title - for example, \"Connect "
     "To\" (not case sensitive).  (b) The first few unique characters followed by an asterisk - for example: "
     "\"Untitled - *\".  (c) An asterisk followed by a phrase to find anywhere in the window title. Example: "
     "\"*Notepad\"  (d) A tilde followed by (a), (b), or (c) above to wait for a window to NOT exist (disappear). "},
    {"If Window...",
     "The script items you enter between this item and the next \"End If\" item will only execute if the "
     "condition you specify is true.  For the window title, you can enter:   (a) The exact title - for example, "
     "\"Connect To\" (not case sensitive).  (b) The first few unique characters followed by an asterisk - for "
     "example: \"Untitled - *\".  (c) An asterisk followed by a phrase to find anywhere in the window title. "
     "Example: \"*Notepad\""},
    {"If Time Elapsed...",
     "The script items you enter between this item and the next \"End If\" item will only execute if the "
     "condition you specify is true.  The time elapsed is measured from the execution of the first script item "
     "to this script item, in seconds."},
    {"If File Exists...",
     "The script items you enter between this item and the next \"End If\" item will only execute if the "
     "condition you specify is true.  Wildcards can be used in the file name."},
    {"...End If", ""},
    {"Start Loop",
     "The script items you enter between this item and the next \"End Loop\" item will be executed repeatedly.  "
     "Press F1 for more information."},
    {"Exit Loop", "Stop repeating actions in the loop."},
    {"...End Loop",
     "The script items you enter between this item and the previous \"Start Loop\" item will be executed "
     "repeatedly."},
    {"If Value...",
     "Evaluate a previously set value.  You can compare it to a constant or another value.  Use square brackets "
     "to indicate another value.  Example:  SAVESIZE <> [FILESIZE] or FILESIZE <> 0.   Note that there are "
     "reserved system values TODAY, DATE, TIME, NOW, FILESIZE, FILEDATE, FILETIME, and FOCUS."},
    {"Start Script",
     "Import and execute a script on-the-fly.  \"Insert\" loads the external script into the current location, "
     "and when the external script has completed, continues with the current script.  \"Jump\" loads the "
     "external script into the current location, and when the external script has completed, does not continue "
     "with the current script.  \"Append\" loads the external script onto the end of all executing scripts."},
    {"Send Email", "Send a message via the Internet."},
    {"Get Email", "Retrieve messages and attachments from a \"POP\" server via the Internet."},
    {"Set Value",
     "Set a value to a constant or another value.  Use square brackets to indicate another value.  Example:  "
     "Value Name: SAVESIZE, Value: [FILESIZE] or Value Name: DAY, Value: MONDAY.   Note that there are reserved "
     "system values TODAY, DATE, TIME, NOW, FILESIZE, FILEDATE, FILETIME, and FOCUS."},
    {"File Actions",
     "Perform a file-related action such as copy, move, delete, upload, download, test size, etc.  A system value "
     "is set automatically; it contains the result of the operation.  For example Get File Size creates or "
     "updates a FILESIZE value that can be evaluated with the \"If Value...\" script command."},
};

const std::vector<std::pair<std::string_view, char>> kWindowModes = {
    {"Start and give focus", '1'},          {"Start minimized with focus", '2'},
    {"Start maximized with focus", '3'},    {"Start minimized without focus", '7'},
    {"Start without focus", '8'},           {"Start hidden", 'H'},
};

const std::vector<std::string_view> kCommandTemplates = {
    "KEYS keys",
    "FOCUS window_title optional_contents",
    // The reader takes a leading combination word, so both WAIT forms spell theirs first.
    "WAIT Either 999 window_title optional_content",
    "WAIT Both 999 window_title optional_content",
    "DISPLAY message title button_text /WAIT",
    "START program_to_start start_in WAIT=999 /TRANSLATE",
    "IF value_name < compare_to_this",
    "IF value_name > compare_to_this",
    "IF value_name = compare_to_this",
    "IF value_name <> compare_to_this",
    "IFTIME 999",
    "IFTIMELESS 999",
    "IFWINDOW window_title",
    "IFNOTWINDOW window_title",
    "END",
    "FILE Copy filename_1 filename_2",
    "FILE Move filename_1 filename_2",
    "FILE Delete filename_1",
    "FILE \"Make Directory\" filename_1",
    "FILE \"Remove Directory\" filename_1",
    "FILE \"Get File Date\" filename_1",
    "FILE \"Get File Time\" filename_1",
    "FILE \"Get File Size\" filename_1",
    "FILE \"If File Exists\" filename_1",
    "FILE \"Log Windows\" filename_1",
    "SET value_name value",
    "SCRIPT script_filename \"Insert (Execute and continue)\"",
    "CLOSE program_file_name",
    "EMAIL 999",
    "EXIT",
};

// A fixed-width slice (1-based) of a field without its trailing blanks.
std::string slice(std::string_view field, size_t from, size_t len) {
  if (from - 1 >= field.size()) return {};
  return clipped(field.substr(from - 1, len));
}

std::string padded(std::string_view value, size_t width) {
  std::string out(value.substr(0, rt::utf8CutLength(value, width)));
  out.resize(width, ' ');
  return out;
}

// Starts a transaction on SCRIPTING; false when it could not begin (the writes then go on without).
bool beginScripting() { return db::LOGOUT(1, {&files::SCRIPTING}) == Err::None; }

Err endScripting(bool inTransaction, Err err) {
  if (!inTransaction) return err;
  if (err == Err::None) {
    err = db::COMMIT();
    if (err == Err::None) return err;
  }
  const std::string why = rt::ERROR();
  (void)db::ROLLBACK();
  rt::setError(err, files::SCRIPTING.label(), why);
  return err;
}

Err deleteItemsOf(int32_t task) {
  files::SCRIPTING.clear();
  SCR.ID = task;
  SCR.Sequence = INT32_MIN;
  Err err = files::SCRIPTING.setFrom(files::SCR_KeyID);
  while (err == Err::None && (err = files::SCRIPTING.next()) == Err::None && SCR.ID == task)
    err = files::SCRIPTING.deleteRecord();
  return err == Err::NotAvailable || err == Err::None ? Err::None : err;
}

// The highest sequence of the task's items; 0 when it has none.
int32_t lastSequence(int32_t task) {
  files::SCRIPTING.clear();
  SCR.ID = task;
  SCR.Sequence = INT32_MAX;
  if (files::SCRIPTING.setFrom(files::SCR_KeyID) == Err::None && files::SCRIPTING.previous() == Err::None &&
      SCR.ID == task)
    return SCR.Sequence;
  return 0;
}

}  // namespace

// ---- choosing an action --------------------------------------------------------------------------

void ConvertPickedAction(files::ScriptingRec& item) {
  const std::string label = clipped(item.Action.view());
  for (const Picked& p : kPicked) {
    if (label != p.label) continue;
    item.Action = p.action;
    if (p.action == act::kFileActions) {
      if (!p.kind.empty())
        item.DDEType = p.kind;
      else if (item.DDEType.isBlank())
        item.DDEType = "Recycle";
    }
    return;
  }
}

std::string PickerLabelFor(const files::ScriptingRec& item) {
  const std::string action = clipped(item.Action.view());
  if (action == act::kFileActions) {
    const std::string kind = clipped(item.DDEType.view());
    if (kind == "Copy") return "Copy Files";
    if (kind == "Move") return "Move Files";
    if (kind == "Delete") return "Delete Files";
    if (kind == "Zip") return "Zip Files";
    if (kind == "Unzip") return "Unzip Files";
    if (kind == "HTTP Download") return "Download web page";
    if (kind == "FTP Upload" || kind == "FTP Download") return kind;
    return "Other...";
  }
  if (action == act::kSystem) return "System Command";
  return action;
}

std::string_view QuickActionMenu() { return kQuickMenu; }

std::string_view QuickActionLabel(int n) {
  if (n < 1 || n > static_cast<int>(std::size(kQuickLabels))) return {};
  return kQuickLabels[n - 1];
}

std::string ActionHelpText(std::string_view action, size_t size) {
  const std::string name = clipped(action);
  for (const Help& h : kHelp)
    if (h.action == name) return std::string(h.text.substr(0, rt::utf8CutLength(h.text, size)));
  return {};
}

// ---- texts of the item form ----------------------------------------------------------------------

std::string AppendKeyCode(std::string_view keystrokes, std::string_view modifier, std::string_view key) {
  const std::string mod = clipped(modifier);
  if (!mod.empty()) return clipped(keystrokes) + "[" + mod + "-" + clipped(key) + "]";
  return clipped(keystrokes) + "[" + clipped(key) + "]";
}

std::string AppendValueName(std::string_view keystrokes, std::string_view name) {
  return clipped(keystrokes) + "[" + clipped(name) + "]";
}

std::string SetValuePreview(const files::ScriptingRec& item) {
  const std::string type = clipped(item.DDEType.view());
  const std::string name = clipped(item.Path.view()), value = clipped(item.Command.view());
  const std::string file = clipped(item.DDEApplicationName.view()), section = clipped(item.DDEApplicationTopic.view());
  if (type == "Set value from INI") return "[" + name + "] =" + value + " under [" + section + "] in " + file;
  if (type == "Set INI from value") return value + " under [" + section + "] in " + file + " = " + "[" + name + "]";
  return "[" + name + "] =" + value;
}

std::string ProgramStartFolder(std::string_view file) {
  const size_t at = file.find_last_of("\\/");
  if (at == std::string_view::npos) return std::string(file);
  return std::string(file.substr(0, at));
}

const std::vector<std::pair<std::string_view, char>>& StartWindowModes() { return kWindowModes; }

StartOptions ReadStartOptions(const files::ScriptingRec& item) {
  StartOptions o;
  const std::string_view name = item.DDEApplicationName.view();
  auto at = [&](size_t i) { return i < name.size() ? name[i] : ' '; };
  o.wait = at(0) >= '1' && at(0) <= '9';
  o.asUser = at(4) >= '1' && at(4) <= '9';
  o.priority = at(1) == '1' ? "Low" : at(1) == '3' ? "High" : "Normal";
  o.windowMode = "Start and give focus";
  for (const auto& [mode, code] : kWindowModes)
    if (at(2) == code) o.windowMode = mode;
  o.stopWaitingAfter = item.TimeElapsed;
  o.startType = slice(item.DDEApplicationTopic.view(), 1, 20);
  if (o.startType.empty()) o.startType = "Open";
  o.translate = at(3) == '1';
  const std::string_view command = item.DDECommand.view();
  o.user = slice(command, 1, 64);
  o.password = slice(command, 65, 64);
  o.domain = slice(command, 129, 64);
  return o;
}

void WriteStartOptions(const StartOptions& o, files::ScriptingRec& item) {
  char* name = item.DDEApplicationName.data();
  char mode = '1';
  for (const auto& [text, code] : kWindowModes)
    if (o.windowMode == text) mode = code;
  name[2] = mode;
  name[1] = o.priority == "Low" ? '1' : o.priority == "High" ? '3' : '2';
  name[0] = o.wait ? '1' : '0';
  name[4] = o.asUser ? '1' : '0';
  item.DDECommand = padded(o.user, 64) + padded(o.password, 64) + padded(o.domain, 64);
  name[3] = o.translate ? '1' : '0';
  item.TimeElapsed = o.stopWaitingAfter;
  item.DDEApplicationTopic = o.startType.substr(0, rt::utf8CutLength(o.startType, 20));
}

// ---- whole scripts -------------------------------------------------------------------------------

Err DeleteScriptItems(int32_t task, bool currentTask) {
  if (currentTask) task = files::SCH.ID;
  const files::ScriptingRec saved = SCR;
  Err err = Err::None;
  if (db::isLoggedOut()) {
    err = deleteItemsOf(task);  // part of the caller's transaction
  } else if ((err = db::LOGOUT(1, {&files::SCRIPTING})) == Err::None) {
    err = endScripting(true, deleteItemsOf(task));
  }
  // A transaction that cannot begin (another program writing) deletes nothing: deleting record by
  // record without one could leave half a script behind.
  SCR = saved;
  return err;
}

Err ReadScriptItems(int32_t task, std::vector<files::ScriptingRec>& items) {
  items.clear();
  const files::ScriptingRec saved = SCR;
  files::SCRIPTING.clear();
  SCR.ID = task;
  SCR.Sequence = INT32_MIN;
  Err err = files::SCRIPTING.setFrom(files::SCR_KeyID);
  while (err == Err::None && (err = files::SCRIPTING.next()) == Err::None && SCR.ID == task) items.push_back(SCR);
  SCR = saved;
  return err == Err::NotAvailable ? Err::None : err;
}

Err CopyScriptItems(int32_t from, int32_t to) {
  if (from == to) return Err::None;  // a copy onto itself would first delete what it copies
  std::vector<files::ScriptingRec> items;
  Err err = ReadScriptItems(from, items);
  if (err != Err::None) return err;
  if (items.size() > static_cast<size_t>(kMaxCopiedItems)) items.resize(kMaxCopiedItems);
  for (files::ScriptingRec& item : items) item.ID = to;
  return RestoreScriptItems(to, items);
}

Err RestoreScriptItems(int32_t task, const std::vector<files::ScriptingRec>& saved) {
  const files::ScriptingRec kept = SCR;
  const bool inTransaction = beginScripting();
  Err err = deleteItemsOf(task);
  for (size_t i = 0; err == Err::None && i < saved.size(); ++i) {
    SCR = saved[i];
    SCR.ID = task;
    err = files::SCRIPTING.add();
  }
  err = endScripting(inTransaction, err);
  SCR = kept;
  return err;
}

std::string ScriptExportName(std::string_view chosen) {
  std::string name = clipped(chosen);
  if (name.empty()) return name;
  const std::filesystem::path p(name);
  if (!p.has_extension() || p.extension() == ".") {
    if (!name.empty() && name.back() == '.') name.pop_back();
    name += ".ovs";
  }
  return name;
}

Err ExportScriptItems(int32_t task, const std::string& path, int* written, std::string* problem) {
  if (written) *written = 0;
  std::vector<files::ScriptingRec> items;
  Err err = ReadScriptItems(task, items);
  if (err == Err::None) err = files::exportScriptFile(path, items);
  if (err != Err::None) {
    if (problem) *problem = rt::ERROR();
    return err;
  }
  if (written) {
    files::ExportRec line;
    for (const files::ScriptingRec& item : items) *written += files::exportScriptRecord(item, line);
  }
  return Err::None;
}

Err ImportScriptItems(int32_t task, const std::string& path, std::vector<ImportNote>& notes, int* added,
                      std::string* problem) {
  if (added) *added = 0;
  ScriptImporter importer;
  Err err = importer.begin(task, path, problem);
  if (err != Err::None) return err;
  while (importer.step()) {
  }
  err = importer.finish(problem);
  notes.insert(notes.end(), importer.notes.begin(), importer.notes.end());
  if (err == Err::None && added) *added = importer.added();
  return err;
}

Err ScriptImporter::begin(int32_t task, const std::string& path, std::string* problem) {
  m_err = files::importScriptFile(path, m_steps, problem);
  if (m_err != Err::None) return m_err;
  m_saved = SCR;
  m_task = task;
  m_inTransaction = beginScripting();
  m_next = lastSequence(task) + 1;
  m_begun = true;
  return Err::None;
}

bool ScriptImporter::step() {
  if (!m_begun || m_err != Err::None || m_at >= m_steps.size()) return false;
  const files::ImportedStep& s = m_steps[m_at++];
  if (!s.known) {
    const std::string action = clipped(s.step.Action.view());
    if (!action.empty() && action != act::kComment)
      notes.push_back({"Unrecognized script action: " + action, "Import Error"});
    return m_at < m_steps.size();
  }
  SCR = s.step;
  SCR.ID = m_task;
  SCR.Sequence = m_next;
  while (files::SCRIPTING.duplicate(files::SCR_KeyID) && m_next <= kLastImportSequence) SCR.Sequence = ++m_next;
  if ((m_err = files::SCRIPTING.add()) != Err::None) return false;
  ++m_next;
  ++m_added;
  return m_at < m_steps.size();
}

Err ScriptImporter::finish(std::string* problem) {
  if (!m_begun) return m_err;
  m_begun = false;
  const Err err = endScripting(m_inTransaction, m_err);
  SCR = m_saved;
  if (err != Err::None) {
    m_added = 0;
    if (problem) *problem = rt::ERROR();
  }
  return err;
}

std::vector<ScriptPrintLine> ScriptPrintLines(const std::vector<files::ScriptingRec>& items) {
  std::vector<ScriptPrintLine> lines;
  for (const files::ScriptingRec& item : items) {
    std::string details = files::SCRIPTSTATUS(item);
    details.resize(rt::utf8CutLength(details, 80));
    lines.push_back({clipped(item.Action.view()), details});
  }
  return lines;
}

std::string ScriptPrintText(std::string_view description, const std::vector<ScriptPrintLine>& lines,
                            int linesPerPage) {
  if (linesPerPage < 1) linesPerPage = 1;
  std::string header = clipped(description);
  header.resize(rt::utf8CutLength(header, 40));
  std::string out;
  int page = 0;
  size_t i = 0;
  do {
    if (page > 0) out += '\f';
    ++page;
    out += "Script  " + header + "\n\n";
    for (int n = 0; n < linesPerPage && i < lines.size(); ++n, ++i) {
      std::string action = lines[i].action;
      action.resize(27, ' ');
      out += action + "  " + lines[i].details + "\n";
    }
    out += "\nPage " + std::to_string(page) + "\n";
  } while (i < lines.size());
  return out;
}

const std::vector<std::string_view>& ScriptCommandTemplates() { return kCommandTemplates; }

}  // namespace ov::editors
