// The "More Information Required" windows that answer a script template's questions while the
// template is copied into a script: a file name (with "Select File..."), a window title (with the
// windows open now) or a text (with key codes and value names to append).
//
// Threading: GUI thread; the window is called on the caller's logical thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "editors/template_tokens.h"

namespace ov::editors {

// A TokenAsker: shows the window for `kind` with `promptLine` and `answer` in its entry; true with
// the entry's text in `answer` on OK, false on Cancel or when the window is closed.
bool AskTokenInWindow(TokenQuestion kind, std::string_view promptLine, std::string& answer);

// Copies template `templateId` into the script of `task`, its questions answered in the windows
// above, under the "Importing Template" progress window: Cancel there keeps the items copied so
// far. Says what went wrong in a message box titled `errorTitle`; the number of items stored.
int CopyTemplateWithProgress(int32_t templateId, int32_t task, std::string_view errorTitle);

}  // namespace ov::editors
