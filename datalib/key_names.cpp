#include "datalib/key_names.h"

#include <utility>

#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::files {
namespace {

std::vector<std::pair<std::string, int>> hotKeyNames() {
  std::vector<std::pair<std::string, int>> n = {
      {"A", 65}, {"Ast", 106}, {"B", 66}, {"Bs", 8}, {"Backspace", 8}, {"CapsLock", 20}, {"Caps", 20},
      {"C", 67}, {"Decimal", 110}, {"Del", 46}, {"Delete", 46}, {"D", 68}, {"Down", 40}, {"E", 69},
      {"End", 35}, {"Enter", 13}, {"Esc", 27}, {"F10", 121}, {"F11", 122}, {"F12", 123}};
  for (int i = 1; i <= 9; ++i) n.emplace_back("F" + std::to_string(i), 111 + i);
  const std::pair<const char*, int> rest[] = {
      {"F", 70}, {"G", 71}, {"H", 72}, {"Home", 36}, {"I", 73}, {"Ins", 45}, {"Insert", 45}, {"J", 74},
      {"K", 75}, {"Left", 37}, {"L", 76}, {"Minus", 109}, {"M", 77}, {"MouseCenter", 3}, {"MouseCenter2", 7},
      {"Mouse", 1}, {"MouseLeft", 1}, {"MouseLeft2", 5}, {"MouseRight", 2}, {"MouseRight2", 6}, {"N", 78},
      {"O", 79}, {"Pause", 19}, {"PgDn", 34}, {"PgUp", 33}, {"P", 80}, {"Plus", 107}, {"Print", 44},
      {"Q", 81}, {"Right", 39}, {"R", 82}, {"S", 83}, {"Slash", 111}, {"Space", 32}, {"Tab", 9}, {"T", 84},
      {"U", 85}, {"Up", 38}};
  for (const auto& [name, vk] : rest) n.emplace_back(name, vk);
  for (char c = 'V'; c <= 'Z'; ++c) n.emplace_back(std::string(1, c), c);
  for (char c = '0'; c <= '9'; ++c) n.emplace_back(std::string(1, c), c);
  for (int i = 0; i <= 9; ++i) n.emplace_back("Pad" + std::to_string(i), 96 + i);
  return n;
}

std::string pack(const std::vector<std::pair<std::string, int>>& names) {
  std::string b;
  b += static_cast<char>(names.size() & 0xFF);
  b += static_cast<char>(names.size() >> 8);
  for (const auto& [name, vk] : names) {
    b += static_cast<char>(name.size());
    b += name;
    b += static_cast<char>(vk);
  }
  return b;
}

}  // namespace

const std::string& hotKeyBlock() {
  static const std::string block = pack(hotKeyNames());
  return block;
}

const std::string& pressKeyBlock() {
  static const std::string block = [] {
    auto n = hotKeyNames();
    const std::pair<const char*, int> more[] = {
        {"LWin", 91}, {"RWin", 92}, {"LShift", 160}, {"RShift", 161}, {"LCtrl", 162}, {"RCtrl", 163},
        {"LAlt", 164}, {"RAlt", 165}, {"PrintScreen", 44}, {"Print", 42}, {"Shift", 16}, {"Ctrl", 17},
        {"Alt", 18}, {"NumLock", 144}, {"Scroll", 145}};
    for (const auto& [name, vk] : more) n.emplace_back(name, vk);
    return pack(n);
  }();
  return block;
}

void appendKeyBlock(KeyTranslations& trn, std::string_view block) {
  if (block.size() < 2) return;
  size_t count = static_cast<uint8_t>(block[0]) | (static_cast<size_t>(static_cast<uint8_t>(block[1])) << 8);
  size_t pos = 2;
  for (size_t i = 0; i < count; ++i) {
    if (pos >= block.size()) return;
    size_t len = static_cast<uint8_t>(block[pos]);
    if (pos + 1 + len + 1 > block.size()) return;
    trn.push_back({static_cast<uint8_t>(block[pos + 1 + len]), std::string(block.substr(pos + 1, len))});
    pos += len + 2;
  }
}

int32_t translateKeyName(const KeyTranslations& trn, std::string_view text, const ModifierBits& bits) {
  std::string s = rt::UPPER(rt::clipView(text));
  int32_t mods = 0;
  // Modifier signs and words, left to right; "-" separates.
  for (;;) {
    if (s.empty()) return mods;
    char c = s[0];
    if (c == '+') { mods |= bits.shift; s.erase(0, 1); continue; }
    if (c == '^') { mods |= bits.ctrl; s.erase(0, 1); continue; }
    if (c == '%') { mods |= bits.alt; s.erase(0, 1); continue; }
    if (c == '*') { mods |= bits.win; s.erase(0, 1); continue; }
    if (c == '-') { s.erase(0, 1); continue; }
    std::string_view head = std::string_view(s).substr(0, 3);
    if (head == "SHI") { mods |= bits.shift; s.erase(0, std::min<size_t>(5, s.size())); continue; }
    if (head == "CTR") { mods |= bits.ctrl; s.erase(0, std::min<size_t>(4, s.size())); continue; }
    if (head == "ALT") { mods |= bits.alt; s.erase(0, 3); continue; }
    if (head == "WIN") { mods |= bits.win; s.erase(0, 3); continue; }
    break;
  }
  if (size_t k = s.find("KEY"); k != std::string::npos) s.erase(k, 3);
  for (auto it = trn.rbegin(); it != trn.rend(); ++it)
    if (rt::UPPER(it->KEY) == s) return mods | it->ID;
  return mods;
}

std::string translateVirtKey(const KeyTranslations& trn, uint32_t code, const ModifierBits& bits) {
  std::string name;
  for (auto it = trn.rbegin(); it != trn.rend(); ++it) {
    if (it->ID == (code & 0xFF)) {
      name = it->KEY;
      break;
    }
  }
  if (code & bits.win) name = "Win-" + name;
  if (code & bits.ctrl) name = "Ctrl-" + name;
  if (code & bits.alt) name = "Alt-" + name;
  if (code & bits.shift) name = "Shift-" + name;
  return name.substr(0, 32);
}

}  // namespace ov::files
