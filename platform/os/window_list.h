// Top-level windows of the X display: list, titles, focus, raise, restore, close, the pointer.
//
// Handles are X window ids of the clients (not of a window manager's frames); 0 means none.
// With an EWMH window manager the list comes from _NET_CLIENT_LIST_STACKING and activation
// goes through _NET_ACTIVE_WINDOW; without one the root's children and XSetInputFocus serve.
// Every function fails softly (empty, 0, false) when there is no display. GUI thread only.
#pragma once

#include <string>
#include <vector>

namespace ov::os {

using WindowId = unsigned long;

struct TopWindow {
  WindowId id = 0;
  std::string title;      // _NET_WM_NAME, else WM_NAME, as UTF-8
  std::string className;  // the class part of WM_CLASS
};

struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// True when an X display with XTest and XKB is reachable.
bool haveDisplay();

// Every top-level window, the topmost first, minimised ones included.
std::vector<TopWindow> listTopWindows();

// The named X windows inside a top-level window, depth first. Toolkits draw their controls
// without windows of their own, so this is often empty.
std::vector<TopWindow> listChildWindows(WindowId window);

bool windowExists(WindowId window);
std::string windowTitle(WindowId window);
std::string windowClass(WindowId window);

// Shown on the screen or minimised (not withdrawn), as Windows counts visibility.
bool isWindowVisible(WindowId window);
bool isWindowMinimized(WindowId window);

// The window that has the keyboard focus (the active window), or 0.
WindowId foregroundWindow();

// True when the keyboard focus is in `window` or in one of its children.
bool hasFocus(WindowId window);

// Brings a minimised window back; false when it is not a window.
bool restoreWindow(WindowId window);

// Restores, raises and activates `window`, then waits (up to `waitMs`) until it has the focus.
// False when it did not get the focus.
bool bringToFront(WindowId window, int waitMs = 2000);

// Asks the window to close as its close box would (WM_DELETE_WINDOW, or the window manager's
// _NET_CLOSE_WINDOW). False when the window takes neither.
bool closeWindow(WindowId window);

// The top-level window under the mouse pointer, or 0 over the bare desktop.
WindowId windowUnderPointer();

// The window's outer rectangle in screen coordinates, the window manager's frame included.
bool windowRect(WindowId window, WindowRect& rect);

}  // namespace ov::os
