// The script item list of one task and the whole-script commands it offers.
//
//   BrowseScripting     the items of the task in SCH (the caller loads it) in sequence order, with
//                       their descriptions. "&New", "Cop&y", "&Edit" and "&Delete" run the item
//                       form; the move buttons and drag and drop reorder; "Clear", "&Template",
//                       "&Import", "E&xport", "&Print" and "As Te&xt" work on the whole script.
//                       Hot-key and trigger tasks get "&OK" and "Cancel", and Cancel puts the
//                       script back as it was when the list opened. Single-instance unless opened
//                       with the select request. An explorer list: its columns sort from the
//                       header (every order kept to the task) and its layout is kept in
//                       .\POSITION.INI.
//   ConfirmClearScript  asks, then deletes the current task's items (the current template's while
//                       the template list is open).
//   PrintCurrentScript, ExportScript, ImportScript   the print, export and import of the task's
//                       (or, for printing in template mode, the template's) items.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::editors {

std::unique_ptr<ui::WindowManager> makeBrowseScripting();
// Runs the list modally on the current thread; its response.
int BrowseScripting();

void ConfirmClearScript();
void PrintCurrentScript(uint8_t templateMode);
void ExportScript();
void ImportScript();

}  // namespace ov::editors
