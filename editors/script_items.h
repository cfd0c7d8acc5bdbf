// The logic under the script item windows that needs no window: the globals a list hands its item
// form, choosing an action (picker labels, the quick action menu, the stored names) and its help
// text, the texts the item form builds (key codes, the Set Value preview), the Start Program
// options packed into an item, and the whole-script operations of the script item list (clear,
// copy, the saved copy that Cancel puts back, export, import and the printed lines).
//
// Threading: GUI thread only (the record buffers are the program's).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "datalib/records.h"
#include "datalib/script_exchange.h"
#include "platform/report/report.h"
#include "platform/rt/err.h"

namespace ov::editors {

// Set before the item form is run to insert: -1 makes the form ask for the action through its
// quick action menu, any other value through the action picker. The template list sets 0 for
// New and the template's id for Copy.
extern int32_t NewScriptItemOwner;
// 1 while the script template list is open, and the logical thread it runs on.
extern uint8_t ScriptTemplateMode;
extern int ScriptTemplateThread;
// Whether the windows of the current thread work on template items: only those on the template
// list's own thread do, so a task's script list open elsewhere meanwhile still clears and edits
// its task's items.
bool TemplateModeHere();

// ---- choosing an action --------------------------------------------------------------------------

// Turns a picker or menu label in item.Action into the stored action (and file sub-action in
// item.DDEType): "Copy Files" is "File Actions"/"Copy", "Other..." keeps the sub-action ("Recycle"
// when there is none), "System Command" is "System". Other names are left as they are.
void ConvertPickedAction(files::ScriptingRec& item);
// The picker label that stands for a stored item ("File Actions"/"Rename" is "Other...").
std::string PickerLabelFor(const files::ScriptingRec& item);
// The quick action menu as POPUP text (37 items) and the label of item n (1..37; "" outside).
std::string_view QuickActionMenu();
std::string_view QuickActionLabel(int n);
// The help text of a stored action, cut to `size` bytes; empty for names without one.
std::string ActionHelpText(std::string_view action, size_t size = 2000);

// ---- texts of the item form ----------------------------------------------------------------------

// The keystrokes with a key code appended: "[Ctrl-a]" with a modifier, "[a]" without.
std::string AppendKeyCode(std::string_view keystrokes, std::string_view modifier, std::string_view key);
// The keystrokes with a value name appended: "[TODAY]".
std::string AppendValueName(std::string_view keystrokes, std::string_view name);
// The assignment line a Set Value item shows for its type.
std::string SetValuePreview(const files::ScriptingRec& item);
// The start folder of a program file: everything before its last "\" or "/"; a name without
// either is taken whole.
std::string ProgramStartFolder(std::string_view file);

// The Start Program options an item holds (characters 1-5 of DDEApplicationName, the verb in
// DDEApplicationTopic, the stop-waiting seconds in TimeElapsed, the run-as user, password and
// domain in DDECommand 1-64, 65-128, 129-192).
struct StartOptions {
  bool wait = false;
  std::string priority = "Normal";               // "Low", "Normal", "High"
  std::string windowMode = "Start and give focus";
  bool translate = false;
  bool asUser = false;
  std::string startType = "Open";
  int32_t stopWaitingAfter = 0;
  std::string user, password, domain;
};
StartOptions ReadStartOptions(const files::ScriptingRec& item);
void WriteStartOptions(const StartOptions& options, files::ScriptingRec& item);
// The window modes in the window's order and their stored codes.
const std::vector<std::pair<std::string_view, char>>& StartWindowModes();

// ---- whole scripts -------------------------------------------------------------------------------

// Deletes every item of `task` (of SCH.ID when `currentTask` is set) in one transaction (or
// without one when it cannot begin within a second). SCRIPTING must be open.
rt::Err DeleteScriptItems(int32_t task, bool currentTask);
// Replaces the items of task `to` with copies of those of task `from` (at most 10000, sequences
// kept), in one transaction. Copying a task onto itself changes nothing. SCRIPTING must be open.
rt::Err CopyScriptItems(int32_t from, int32_t to);
// The items of `task` in sequence order. SCRIPTING must be open.
rt::Err ReadScriptItems(int32_t task, std::vector<files::ScriptingRec>& items);
// Puts back a saved script: the task's items become exactly `saved`, in one transaction; on a
// failure the items are as they were before the call. SCRIPTING must be open.
rt::Err RestoreScriptItems(int32_t task, const std::vector<files::ScriptingRec>& saved);

// The export file name for a chosen one: a name without an extension gets ".ovs".
std::string ScriptExportName(std::string_view chosen);
// Writes the task's items to an exchange file; the old file is replaced only when the whole
// script was written. `written` counts the lines. SCRIPTING must be open.
rt::Err ExportScriptItems(int32_t task, const std::string& path, int* written = nullptr,
                          std::string* problem = nullptr);

// One line of an import the caller must report.
struct ImportNote {
  std::string text, title;
};
// Appends the items of an exchange file to `task` from its highest sequence + 1 on, in one
// transaction: lines of unknown actions are skipped (a note each, except blank and "Comment"),
// a sequence that is taken moves on (up to 999). A file that cannot be read, or an item that
// cannot be added, adds nothing.
// SCRIPTING must be open.
rt::Err ImportScriptItems(int32_t task, const std::string& path, std::vector<ImportNote>& notes,
                          int* added = nullptr, std::string* problem = nullptr);

// The same import a line at a time, for a window that shows its progress: begin reads the file
// and starts the transaction, each step adds one line's item (false once all are done or one
// failed), finish commits what was added (a stopped import keeps it) or, after a failure, rolls
// everything back.
class ScriptImporter {
 public:
  rt::Err begin(int32_t task, const std::string& path, std::string* problem = nullptr);
  bool step();
  rt::Err finish(std::string* problem = nullptr);
  size_t done() const { return m_at; }
  size_t total() const { return m_steps.size(); }
  int added() const { return m_added; }
  std::vector<ImportNote> notes;

 private:
  std::vector<files::ImportedStep> m_steps;
  files::ScriptingRec m_saved{};
  int32_t m_task = 0, m_next = 1;
  size_t m_at = 0;
  int m_added = 0;
  bool m_inTransaction = false, m_begun = false;
  rt::Err m_err = rt::Err::None;
};

// The detail lines of a printed script: the action and its description (80 characters).
struct ScriptPrintLine {
  std::string action, details;
};
std::vector<ScriptPrintLine> ScriptPrintLines(const std::vector<files::ScriptingRec>& items);
// The printed script as a report: the "Script" header with the description (40 characters) on
// every page, one band per line (the action and its details), and "Page n" at each page's foot.
report::Report ScriptReport(std::string_view description);
report::Band ScriptLineBand(const ScriptPrintLine& line);

// The command templates of the text-form reference, in list order.
const std::vector<std::string_view>& ScriptCommandTemplates();

}  // namespace ov::editors
