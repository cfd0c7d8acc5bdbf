// Hot-key texts as the hot-key form builds and reads them: "Win-", "Ctrl-", "Alt-", "Shift-" (each
// only when chosen, always in that order) and a key name, at most 20 characters as stored in
// HOT:HotKey. Key names and codes are the data library's (key_names.h): a text is a usable hot
// key only when that table turns it into a key code.
//
// Threading: any thread; no state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::editors {

constexpr size_t kHotKeyTextSize = 20;  // HOT:HotKey

struct HotKeyParts {
  bool win = false, ctrl = false, alt = false, shift = false;
  std::string key;  // key name, "" when none chosen
  bool operator==(const HotKeyParts&) const = default;
};

// The key names the form's key list offers, in its order ("A".."Z", "BS", "DELETE", ...).
const std::vector<std::string>& hotKeyChoices();

// HotKeyText: the modifiers and the key name, uncut (it may be longer than HOT:HotKey holds).
std::string buildHotKeyText(const HotKeyParts& parts);

// Splits a stored key text into flags and key name: the prefix ends after the right-most of the
// words "Ctrl", "Alt", "Win", "Shift" and its "-"; with none of them the whole text is the key.
HotKeyParts splitHotKeyText(std::string_view text);

// The data library's key code of a key text (modifier bits and virtual key), 0 when the text
// names no key.
int32_t hotKeyCode(std::string_view text);

// Why `text` cannot be stored as a hot key, or "" when it can: no key chosen, longer than the
// field holds, or a key the key table does not know.
std::string hotKeyTextProblem(std::string_view text);

}  // namespace ov::editors
