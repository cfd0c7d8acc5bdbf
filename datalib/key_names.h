// Key names and key codes shared by the hot-key and key-press classes.
//
// A key code holds a Windows virtual-key code (or a mouse button, for the key-press class) in its
// low byte and the modifiers in bits 8-11. The hot-key class keeps 256 Alt, 512 Ctrl, 1024 Shift,
// 2048 Win (shifted down by 8 they are the hot-key modifier flags); the key-press class keeps
// 256 Shift, 512 Ctrl, 1024 Alt, 2048 Win (Shift where a layout's character code has it).
//
// A key block is the translation table in its packed form: a 16-bit entry count, then per entry a
// length byte, the name and the virtual-key code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::files {

constexpr int32_t kKeyAlt = 256;
constexpr int32_t kKeyCtrl = 512;
constexpr int32_t kKeyShift = 1024;
constexpr int32_t kKeyWin = 2048;

// Where a class's key codes keep the four modifiers.
struct ModifierBits {
  int32_t shift, ctrl, alt, win;
};
constexpr ModifierBits kHotKeyBits{kKeyShift, kKeyCtrl, kKeyAlt, kKeyWin};
constexpr ModifierBits kPressKeyBits{256, 512, 1024, 2048};

struct KeyTranslation {
  uint8_t ID;        // virtual-key code
  std::string KEY;   // name
};
using KeyTranslations = std::vector<KeyTranslation>;

// The hot-key class's 92 names, and the key-press class's 107 (the same 92 and 15 more).
const std::string& hotKeyBlock();
const std::string& pressKeyBlock();

// Appends every entry of a packed block; a block cut short ends the reading there.
void appendKeyBlock(KeyTranslations& trn, std::string_view block);

// "Ctrl-Alt-F5", "^%F5", "WinW", "F5KEY" -> key code; 0 when neither a key nor a modifier is known.
// Names are searched from the last entry back, ignoring case.
int32_t translateKeyName(const KeyTranslations& trn, std::string_view text, const ModifierBits& bits = kHotKeyBits);

// Key code -> "Shift-Alt-Ctrl-Win-Name" (modifiers in that order), at most 32 characters.
std::string translateVirtKey(const KeyTranslations& trn, uint32_t code, const ModifierBits& bits = kHotKeyBits);

}  // namespace ov::files
