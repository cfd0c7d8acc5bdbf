// The script action catalogue: which tab of the script item form each stored action opens, the
// option lists of that form, and how an item's fields are read into the form's own values and
// written back. The script interpreter, the text form and the exchange file read the same fields.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "datalib/records.h"

namespace ov::editors {

// The tab of the item form for a stored action ("Keys", "Wait", "Focus", "IfWin", "IfTime",
// "IfFile", "IfVar", "SetVar", "Loop", "Script", "Email", "Pop", "File", "Start", "Msg", "Close",
// "Sys", "DDE", "Comment"); "Other" for the actions that need no values and for unknown names.
// The older names "Send Keystrokes" and "DDE (Dynamic Data Exchange)" open their action's tab.
std::string_view ActionTab(std::string_view action);
// True for the actions that need no values: a new item of such an action is complete at once.
bool ActionNeedsNoValues(std::string_view action);

// The lists of the item form, in their order.
std::span<const std::string_view> ModifierList();     // "", "Ctrl", "Alt", ... "AltShift"
std::span<const std::string_view> KeyList();          // "a" .. "z", "BS" .. "UP"
std::span<const std::string_view> ComparisonList();   // "=", "<", "<=", "=>", ">", "<>"
std::span<const std::string_view> SetTypeList();      // "Set value" .. "Set INI from value"
std::span<const std::string_view> LoopTypeList();     // "While", "Until", "Count", "Forever", "Files"
std::span<const std::string_view> StartMethodList();  // "Insert (Execute and continue)" ..
std::span<const std::string_view> FileActionList();   // the 17 file sub-actions
std::span<const std::string_view> SystemActionList(); // "Reboot" .. "Start Service"
// The reserved value names of the If Value and Start Loop menus (18); the Keys and Set Value
// lists add "CLIPBOARD" (`withClipboard`).
std::span<const std::string_view> ReservedValueNames(bool withClipboard = false);

// The stored start method for a typed or stored one, by its first letter: "A" Append, "J" Jump
// to, anything else Insert.
std::string_view StartMethodFor(std::string_view method);

// The combination word of a Wait item: empty unless both seconds and a window are given; then
// "Either" when that was chosen, else "Both".
std::string WaitCombination(int32_t seconds, std::string_view window, std::string_view chosen);

// The values the item form edits in its own fields rather than in the record.
struct ItemLocals {
  // Start Program
  bool waitForProgram = false;
  // Wait
  std::string waitCombination;
  // File Actions
  std::string fileThird;        // host, folder or destination (255)
  std::string ftpUser;          // 128
  std::string ftpPassword;      // 127
  bool includeFolders = false;  // "/S" (Copy, Move, Zip)
  bool newerFiles = false;      // "/D" (Copy, Move)
  bool renameFiles = false;     // "/R" (Copy, Move)
  // Display Message
  std::string messageTitle, messageText;  // 255 each, as the fields
  bool windowsDialog = false;
  // System
  std::string systemAction, logonUser, logonPassword, logonDomain;  // 20, 64, 64, 64
  // Get Email
  std::string mailServer, mailUser, mailPassword;  // 64 each
  std::string attachmentsFolder, messageFolder, mailParameters;
  bool deleteAfterRetrieving = false;
};

// Reads the item's values for its action into the form's fields (done as the form opens).
ItemLocals ReadItemLocals(const files::ScriptingRec& item);
// Writes them back into the item for its action (on OK).
void WriteItemLocals(const ItemLocals& locals, files::ScriptingRec& item);

// The rules of a tab as it opens on an item: empty conditions take their defaults ("Exists",
// "Less than", "=", "FILEEXISTS", "1", "Reboot", "Either"), an unknown file sub-action becomes
// "Copy" without its third and fourth values, an unknown set type "Set value" without its INI
// values, an unknown loop type "Count" with one repetition, a start method its full name.
void ApplyTabDefaults(files::ScriptingRec& item);

}  // namespace ov::editors
