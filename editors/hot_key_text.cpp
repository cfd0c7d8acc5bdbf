#include "editors/hot_key_text.h"

#include "datalib/key_names.h"
#include "platform/rt/text.h"

namespace ov::editors {

namespace {

const files::KeyTranslations& keyTable() {
  static const files::KeyTranslations table = [] {
    files::KeyTranslations t;
    files::appendKeyBlock(t, files::hotKeyBlock());
    return t;
  }();
  return table;
}

}  // namespace

const std::vector<std::string>& hotKeyChoices() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (char c = 'A'; c <= 'Z'; ++c) n.emplace_back(1, c);
    for (const char* s : {"BS", "DELETE", "DOWN", "END", "ENTER", "ESC"}) n.emplace_back(s);
    for (int i = 1; i <= 12; ++i) n.push_back("F" + std::to_string(i));
    for (const char* s : {"HOME", "INSERT", "LEFT", "PGDN", "PGUP", "PLUS", "PRINT", "RIGHT", "SLASH", "SPACE",
                          "TAB", "UP"})
      n.emplace_back(s);
    return n;
  }();
  return names;
}

std::string buildHotKeyText(const HotKeyParts& parts) {
  std::string text;
  if (parts.win) text += "Win-";
  if (parts.ctrl) text += "Ctrl-";
  if (parts.alt) text += "Alt-";
  if (parts.shift) text += "Shift-";
  return text + rt::CLIP(parts.key);
}

HotKeyParts splitHotKeyText(std::string_view stored) {
  const std::string text = rt::CLIP(stored);
  HotKeyParts parts;
  size_t start = std::string::npos, end = 0;
  for (std::string_view word : {"Ctrl", "Alt", "Win", "Shift"}) {
    const size_t at = text.find(word);
    if (at == std::string::npos) continue;
    if (start == std::string::npos || at > start) {
      start = at;
      end = at + word.size();
    }
  }
  if (start == std::string::npos) {
    parts.key = text;
    return parts;
  }
  const std::string_view prefix = std::string_view(text).substr(0, end);
  parts.ctrl = prefix.find("Ctrl") != std::string_view::npos;
  parts.alt = prefix.find("Alt") != std::string_view::npos;
  parts.win = prefix.find("Win") != std::string_view::npos;
  parts.shift = prefix.find("Shift") != std::string_view::npos;
  // The word's "-" is skipped; a "-" after it is itself the key.
  if (end < text.size() && text[end] == '-') ++end;
  parts.key = text.substr(end);
  return parts;
}

int32_t hotKeyCode(std::string_view text) {
  const int32_t code = files::translateKeyName(keyTable(), text);
  return (code & 0xFF) != 0 ? code : 0;
}

std::string hotKeyTextProblem(std::string_view stored) {
  const std::string text = rt::CLIP(stored);
  if (text.empty() || splitHotKeyText(text).key.empty()) return "Choose the key of the hot key.";
  if (text.size() > kHotKeyTextSize)
    return "The hot key " + text + " is too long to be stored (at most " + std::to_string(kHotKeyTextSize) +
           " characters): choose fewer modifiers or a key with a shorter name.";
  if (hotKeyCode(text) == 0) return "The hot key " + text + " names no key that can be used.";
  return {};
}

}  // namespace ov::editors
