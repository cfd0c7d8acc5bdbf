// StyleWindowControls: a record form opened to view a record or to confirm its deletion shows the
// record read-only. Every editing control is disabled, prompts lose their accelerator, the chosen
// radio button of an option stays readable but cannot be changed, lookup buttons ("...") are
// disabled, and the cancel button becomes "Cl&ose". When deleting, OK stays enabled to confirm.
//
// A form calls it at the end of its set-up when opened for deletion and after each Reset while
// opened to view or delete, so that controls a refresh enabled again are turned off again.
//
// Threading: GUI thread only.
#pragma once

#include <string>
#include <string_view>

namespace ov::ui {
class Window;
class WindowManager;
}  // namespace ov::ui

namespace ov::editors {

// The text without its first "&" and with trailing blanks removed; unchanged without "&".
std::string stripAccelerator(std::string_view text);

// Styles `window`'s controls as above; `cancelFeq` is the form's cancel button, `okFeq` its OK
// button (0 when none), `deleting` the form's delete flag.
void StyleWindowControls(ui::Window& window, int cancelFeq, int okFeq, bool deleting);

// The same for a form's window manager: its CancelControl and OkControl.
void StyleWindowControls(ui::WindowManager& form, bool deleting);

}  // namespace ov::editors
