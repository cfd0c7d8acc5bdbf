// The "More Information Required" windows that answer a script template's questions while the
// template is copied into a script: a file name (with "Select File..."), a window title (with the
// windows open now) or a text (with key codes and value names to append).
//
// Threading: GUI thread; the window is called on the caller's logical thread.
#pragma once

#include <string>
#include <string_view>

#include "editors/template_tokens.h"

namespace ov::editors {

// A TokenAsker: shows the window for `kind` with `promptLine` and `answer` in its entry; true with
// the entry's text in `answer` on OK, false on Cancel or when the window is closed.
bool AskTokenInWindow(TokenQuestion kind, std::string_view promptLine, std::string& answer);

}  // namespace ov::editors
