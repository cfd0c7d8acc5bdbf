// ViewAscii:ScriptKeys, the key code viewer: shows "KEYCODES.TXT", the key names a Send Keys item
// may use, read-only, with printing and searching. It runs on the caller's thread and changes no
// data. The file is looked up in the current folder and then in the program's own folder, where
// the build puts the program's copy; when neither can be read the window closes at once.
//
// Threading: GUI thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/window_manager.h"

namespace ov::editors {

constexpr const char* kKeyCodesFile = "KEYCODES.TXT";

// The key reference to show: the current folder's, else the program folder's; "" when neither
// exists.
std::string keyCodesFile();

std::unique_ptr<ui::WindowManager> makeViewAsciiScriptKeys();
// Runs the viewer modally on the current thread.
int ViewAscii_ScriptKeys();

}  // namespace ov::editors
