// The windows of the program's other parts that the frame starts by their procedure's name
// ("Splash", "BrowseContacts", "BrowseToDoList", ...): each part registers its window procedure
// once, before the frame opens, and the frame starts only what is registered, so a window that
// does not exist yet is simply not started.
//
// Threading: GUI thread only.
#pragma once

#include <string>
#include <string_view>

#include "platform/ui/runtime.h"

namespace ov::scheduler {

// Registers (or, with an empty factory, removes) the window procedure `name`.
void registerProgramWindow(std::string name, ui::ProcFactory factory);

// Starts window procedure `name` on a logical thread of its own; its thread number, 0 when the
// procedure is not registered or could not be started.
int startProgramWindow(std::string_view name, int stack = 0);

// Whether window procedure `name` is registered.
bool programWindowRegistered(std::string_view name);

// Calls window procedure `name` modally on the current thread; its response, 0 when the procedure
// is not registered.
int callProgramWindow(std::string_view name);

}  // namespace ov::scheduler
