// Keyboard and mouse input for other programs' windows, through XTest and the current XKB layout.
//
// Keys are named by Windows virtual-key codes (VK_RETURN 13, 'A' 65, VK_F5 116, VK_SHIFT 16, ...);
// text is typed by looking each character up in the current layout, with Shift and AltGr levels,
// and a spare key code bound for the moment to a character the layout lacks. Every function
// fails softly when there is no display. GUI thread only.
#pragma once

#include "platform/os/window_list.h"

#include <string_view>

namespace ov::os {

enum class TypeResult {
  Typed,       // every character went out
  NoDisplay,   // no X display
  NotFocused,  // the target window did not have the focus: nothing was typed
  FocusLost,   // the focus left the target window part-way: typing stopped there
};

// Types UTF-8 text. With `into` set, each character goes out only while that window has the
// focus, so nothing lands in another window. "\r\n", "\r" and "\n" press Enter, "\t" Tab, "\b"
// Backspace; other control characters are skipped. Caps Lock is switched off while typing and on
// again after it.
TypeResult typeText(std::string_view utf8, WindowId into = 0);

// Presses (down) or releases one key named by a Windows virtual-key code. False when the key is
// unknown or not on the keyboard.
bool keyEvent(int vk, bool down);

// Releases every modifier key (Shift, Ctrl, Alt, Win, AltGr) that is held down, e.g. the keys of
// a hot key the user still holds while its text is typed.
void releaseHeldModifiers();

// The Windows answer for a character on the current layout: the virtual-key code in the low byte
// and 0x100 when Shift is needed; -1 when the character needs more than Shift or has no key.
int vkKeyScan(char32_t ch);

bool capsLockOn();
bool numLockOn();
bool setCapsLock(bool on);
bool setNumLock(bool on);

enum class MouseButton { Left, Right, Middle };

bool moveMouseTo(int x, int y);
bool moveMouseBy(int dx, int dy);
bool mousePosition(int& x, int& y);
bool mouseButton(MouseButton button, bool down);
bool mouseClick(MouseButton button);
// Two clicks well inside any double-click time.
bool mouseDoubleClick(MouseButton button);

// Waits until the server has carried out every event sent so far.
void flushInput();

}  // namespace ov::os
