// The clipboard history's capture: every new clipboard text becomes a CLIPBOARD entry, stamped
// with the date, the time and the title of the window that was in front, and the history is held
// at CLIP:MAXENTRIES entries by deleting the oldest ones not marked to keep.
//
// The frame's tick calls CaptureClipboard while CLIP:MONITOR is on and CLIP:USEEXTERNAL is off.
// The last text seen is kept here, not in the CLI record buffer, and the buffer is given back as
// it was: the history windows edit the same buffer on other logical threads.
//
// Threading: GUI thread only (the frame's tick).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace ov::scheduler {

// The stored contents are cut to this many bytes, on a character boundary.
inline constexpr size_t kClipContentsWidth = 16635;

// Stores the clipboard text when it is new: not equal (trailing blanks aside) to the last text
// seen, and beginning, after any blanks, with a printable character. A text whose search key
// (GETHASH) is stored already is not stored again and deletes nothing; otherwise the history is
// trimmed first. Failures are silent; the next tick looks again.
void CaptureClipboard();

// Deletes the oldest unkept entries, at most CLIP:MAXENTRIES of them, until the file holds
// CLIP:MAXENTRIES entries or fewer; an entry holding the clipboard's text is passed over. Does
// nothing when CLIP:MAXENTRIES is 0 or less.
void TrimClipboardHistory();

// At the frame's start: when the clipboard holds no text, the newest entry's text is put on it
// and counts as seen, so the first tick stores nothing. A text already on the clipboard is left
// to the first tick.
void PrimeClipboardFromHistory();

// Forgets the last text seen (a new data folder, tests).
void resetClipboardCapture();

// The title of the window in front, "" when it has none. Defaults to the X11 active window;
// tests install their own.
std::function<std::string()>& clipboardForegroundTitle();

}  // namespace ov::scheduler
