// The viewer of the pending script steps ("Current Script"): the live ActiveScriptQueue with each
// step's due moment and description, "&Details" (the step in the script item form, read-only),
// "Delete" (the step will not run), and a hidden spot that starts the bug report with script
// debugging on.
//
// The frame's tick consumes the same queue while the viewer is open (both on the GUI thread). A
// step the viewer writes back after its form closed is found again by its script, sequence and due
// moment, never by its position, so a step the tick has taken meanwhile is not overwritten.
//
// Threading: GUI thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/window_manager.h"
#include "scheduler/script_queue.h"

namespace ov::dialogs {

std::unique_ptr<ui::WindowManager> makeViewQueueScript();

// The details of a step: due date (d17), due time (t6), the action and its description, each
// followed by CR LF, cut to 80 characters.
std::string scriptStepDetails(const scheduler::ScriptEntry& entry);

}  // namespace ov::dialogs
