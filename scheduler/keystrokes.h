// What script steps do to other programs' windows: find top-level windows by title patterns
// (optionally by a child window's text), type text, press named keys with modifiers, move the
// mouse and click.
//
// Key codes are a Windows virtual-key code (or a mouse pseudo-code) in the low byte with modifier
// bits kShift, kCtrl, kAlt and kWin. Key tokens of "Send Keys" texts are written in brackets:
// [ENTER], [CTRL-S], [^S], [+%F4], [KEYF5], [ENTER 3] (three times, in a target window),
// [MOUSE X=100 Y=200], [MOUSE X+=5 Y+=-5], [MOUSE <title>], [MOUSELEFT2], [TARGET <title>].
//
// Typing goes through the current keyboard layout: every character of the text is typed as that
// character ("{", "|", "}", "~" and letters beyond ASCII included), and Caps Lock does not change
// what is typed. Frame (GUI) thread only; everything fails softly without an X display.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/os/window_list.h"
#include "platform/rt/fixed_string.h"

namespace ov::scheduler {

constexpr int kShift = 256;
constexpr int kCtrl = 512;
constexpr int kAlt = 1024;
constexpr int kWin = 2048;

// Mouse pseudo-codes (the low byte of a key code).
constexpr int kMouseLeft = 1, kMouseRight = 2, kMouseMiddle = 3;
constexpr int kMouseLeft2 = 5, kMouseRight2 = 6, kMouseMiddle2 = 7;

struct WindowEntry {
  os::WindowId handle = 0;
  std::string title;      // up to 1023 bytes
  std::string className;  // up to 1023 bytes
};

// The window lists, refilled on demand: top-level windows topmost first (without the invisible
// ones while SCRIPT.EXCLUDEHIDDENWINDOWS is set), and the named child windows of one window.
// Windows without a title are not listed.
extern std::vector<WindowEntry> TopWindowList;
extern std::vector<WindowEntry> ChildWindowList;
void ListTopWindows();
void ListChildWindows(os::WindowId window);

// The title of the window that typed text and keys go to while it is not blank ([TARGET ...]).
extern rt::String<255> TargetWindowTitle;

// Whether `title` qualifies for `pattern`, both compared upper-cased and clipped: equal texts; a
// pattern starting with "*" qualifies titles that contain the rest of it; a pattern with a "*"
// further on qualifies titles that begin with the text before that "*" (the rest is ignored).
bool titleMatchesPattern(std::string_view pattern, std::string_view title);

// The first listed window whose title qualifies for `pattern` (a leading "~" is ignored) and,
// with a `childText`, that has a child window whose text contains it (ignoring case); 0 when
// none. Refills the top-level list unless `keepList`.
os::WindowId FindWindowByPattern(std::string_view pattern, std::string_view childText, bool keepList = false);
os::WindowId FindWindowByTitle(std::string_view pattern);

// The code of a key name ("ENTER" 13, "F5" 116, "PAD0" 96, "MOUSELEFT2" 5, ...), 0 when unknown.
int KeyNameToCode(std::string_view name);
// A key token with its modifiers ("+" Shift, "^" Ctrl, "%" Alt, "CTRL", "ALT", "SHIFT", "-"
// ignored, the word "KEY" ignored): the key code with modifier bits, 0 when no key is named.
int ParseKeyToken(std::string_view token);

// Presses the modifiers of `code` (Shift, Ctrl, Alt, Win), then the key or mouse click, then
// releases the modifiers.
void PressKey(int code);
// A mouse pseudo-code's click where the pointer stands; other codes do nothing.
void MouseClick(int code);
// Types `text` into the window that has the focus.
void TypeText(std::string_view text);

// Types `text` into the window found by `title` (FindWindowByTitle), giving it the focus first:
// bracketed key tokens within 33 characters of their "[" are pressed, optionally repeated
// ("[ENTER 3]"); anything else is typed as it stands. Mode 2 gives the focus back to the window
// that had it. Nothing is typed when no window has that title.
void FocusWindowControl(std::string_view text, std::string_view title, int mode);

// Performs one bracketed token of a "Send Keys" text (without its brackets): TARGET, MOUSE, a key
// token, or else a variable whose value (or, when it has none, the token itself) is typed.
void PositionMouseTarget(std::string_view token);

// Types plain text where "Send Keys" sends it: into the target window while one is set, else
// into the focused window.
void SendText(std::string_view text);

// This program's own folder with a closing "/".
std::string ProgramFolder();

}  // namespace ov::scheduler
