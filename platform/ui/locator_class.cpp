#include "platform/ui/locator_class.h"

#include "platform/ui/event.h"

namespace ov::ui {

namespace {
bool printable(std::string_view c) { return !c.empty() && static_cast<unsigned char>(c.front()) >= 32 && c.front() != 127; }
}  // namespace

bool StepLocatorClass::TakeKey(int keycode, std::string_view character, std::string& locate) {
  if ((keycode & (Key::Ctrl | Key::Alt)) || !printable(character)) return false;
  Shadow = std::string(character);
  locate = Shadow;
  return true;
}

bool IncrementalLocatorClass::TakeKey(int keycode, std::string_view character, std::string& locate) {
  if ((keycode & ~Key::ModifierMask) == Key::Backspace) {
    if (Shadow.empty()) return false;
    size_t cut = Shadow.size() - 1;
    while (cut > 0 && (static_cast<unsigned char>(Shadow[cut]) & 0xC0) == 0x80) --cut;  // a whole character
    Shadow.erase(cut);
    locate = Shadow;
    return true;
  }
  if ((keycode & (Key::Ctrl | Key::Alt)) || !printable(character)) return false;
  Shadow += character;
  locate = Shadow;
  return true;
}

}  // namespace ov::ui
