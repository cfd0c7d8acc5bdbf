// The hot-key form and the hot-key list of the main program.
//
//   UpdateHotKeys   the form on the HOT record buffer: request in GLOBALREQUEST (0 or 1 insert,
//                   2 change, 3 delete, 4 view), answer in GLOBALRESPONSE (1 completed,
//                   2 cancelled). A wizard over the pages "Hot Key", "Text" and "Task"; Next with
//                   the action "Task" makes or finds the hot key's own task. OK refuses a key text
//                   that names no key or does not fit, and a key another hot key already uses.
//                   Every close posts EVENT:HotKeysChanged to the frame's thread.
//   BrowseHotKeys   the explorer list "Hot Keys" by key or by description; a column sort from the
//                   header replaces the tab's order until a tab is chosen again, and the column
//                   layout is kept in .\POSITION.INI. "&New", "&Edit" and "&Delete" run the form. Deleting a hot key deletes its task too when that task exists
//                   only for the hot key (no date, no time, category "Hot Key").
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::editors {

constexpr int kEventHotKeysChanged = 3145;

std::unique_ptr<ui::WindowManager> makeUpdateHotKeys();
std::unique_ptr<ui::WindowManager> makeBrowseHotKeys();
// Runs the form modally on the current thread; its response.
int UpdateHotKeys();
// Runs the list modally on the current thread; its response.
int BrowseHotKeys();

// After a hot key was deleted: deletes task `id` with its script items when it is a pure hot-key
// task; true when it was deleted. A task that cannot be read is left alone.
bool DeletePureHotKeyTask(int32_t id);

}  // namespace ov::editors
