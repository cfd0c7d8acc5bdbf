// TranslatorClass: replaces the texts of windows (captions, prompts, tips, title) by their
// translations. A text without a translation stays as it is and is noted, so the texts still to be
// translated can be listed.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace ov::ui {

class Window;

class TranslatorClass {
 public:
  void AddTranslation(std::string_view from, std::string_view to) { m_table[std::string(from)] = to; }
  std::string TranslateString(std::string_view text);
  // Every caption, prompt, tip and the title of the window.
  void TranslateWindow(Window& window);
  // The texts met that had no translation.
  const std::set<std::string>& Untranslated() const { return m_missing; }

 private:
  std::map<std::string, std::string> m_table;
  std::set<std::string> m_missing;
};

}  // namespace ov::ui
