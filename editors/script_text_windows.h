// The script of a task as text.
//
//   Script_EditAsText       "Scripting:  Edit As Text": the items of the task in SCH written as
//                           text (ScriptToText); "&OK" replaces the items with what the text says
//                           (TextToScript), Cancel leaves them alone.
//   Script_Text_Reference   "Edit Script as Text: Reference": builds key codes, value names and
//                           command lines on the clipboard.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::editors {

std::unique_ptr<ui::WindowManager> makeScriptEditAsText();
void Script_EditAsText();
void Script_Text_Reference();

}  // namespace ov::editors
