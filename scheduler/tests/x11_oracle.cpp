// Answers of the X server itself for the X11 script tests, kept apart from the headers of the
// program (Xlib's macros clash with their names).
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace ov::scheduler {

// Caps Lock as the keyboard's indicators show it.
bool capsLockLit() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  unsigned state = 0;
  XkbGetIndicatorState(d, XkbUseCoreKbd, &state);
  XCloseDisplay(d);
  return (state & 1) != 0;
}

}  // namespace ov::scheduler
