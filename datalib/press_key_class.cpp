#include "datalib/press_key_class.h"

#include <chrono>
#include <thread>

#include "platform/os/input.h"
#include "platform/rt/fixed_string.h"

namespace ov::files {
namespace {

// Length of the UTF-8 character starting at s[i] (1 for a stray byte).
size_t charLength(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  return i + n <= s.size() ? n : 1;
}

char32_t decode(std::string_view c) {
  unsigned char b0 = static_cast<unsigned char>(c[0]);
  if (c.size() == 1) return b0;
  char32_t cp = c.size() == 2 ? (b0 & 0x1F) : c.size() == 3 ? (b0 & 0x0F) : (b0 & 0x07);
  for (size_t k = 1; k < c.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(c[k]) & 0x3F);
  return cp;
}

}  // namespace

void PressKeyClass::Init(std::string_view delimiters) {
  KEYQ.clear();
  TRNQ.clear();
  AddTrn(pressKeyBlock());
  DELIMITERLEFT = delimiters.empty() ? std::string() : std::string(1, delimiters[0]);
  DELIMITERRIGHT = delimiters.size() >= 2 ? std::string(1, delimiters[1]) : DELIMITERLEFT;
}

void PressKeyClass::Kill() {
  KEYQ.clear();
  TRNQ.clear();
}

int32_t PressKeyClass::charCode(char32_t ch) {
  int code = os::vkKeyScan(ch);
  if (code < 0) return 0;
  // The layout's Shift bit (0x100) becomes the key code's Shift bit.
  return (code & 0xFF) | ((code & 0x100) ? kPressKeyBits.shift : 0);
}

void PressKeyClass::sendKey(int vk, bool down) { (void)os::keyEvent(vk, down); }

void PressKeyClass::sendButton(int button, bool down) {
  os::MouseButton b = button == 2 ? os::MouseButton::Right : button == 3 ? os::MouseButton::Middle : os::MouseButton::Left;
  (void)os::mouseButton(b, down);
}

void PressKeyClass::typeCharacter(std::string_view utf8) { (void)os::typeText(utf8); }

bool PressKeyClass::lockOn(int vk) { return vk == 20 ? os::capsLockOn() : vk == 144 ? os::numLockOn() : false; }

void PressKeyClass::pause(int32_t hundredths) {
  if (hundredths > 0) std::this_thread::sleep_for(std::chrono::milliseconds(hundredths * 10));
}

void PressKeyClass::MouseClick(int32_t button) {
  int b = button >= 5 && button <= 7 ? button - 4 : button;
  if (b < 1 || b > 3) return;
  int times = button >= 5 ? 2 : 1;
  for (int i = 0; i < times; ++i) {
    sendButton(b, true);
    sendButton(b, false);
  }
}

void PressKeyClass::GetMousePos(int32_t& x, int32_t& y) {
  int px = 0, py = 0;
  if (os::mousePosition(px, py)) {
    x = px;
    y = py;
  }
}

void PressKeyClass::SetMousePos(int32_t x, int32_t y) { (void)os::moveMouseTo(x, y); }

void PressKeyClass::QVPressKey(int32_t code) {
  struct Mod { int32_t bit; int vk; };
  static const Mod kMods[] = {{kPressKeyBits.shift, 16}, {kPressKeyBits.ctrl, 17}, {kPressKeyBits.alt, 18}, {kPressKeyBits.win, 91}};
  for (const Mod& m : kMods)
    if (code & m.bit) sendKey(m.vk, true);
  int low = code & 0xFF;
  if ((low >= 1 && low <= 3) || (low >= 5 && low <= 7)) {
    MouseClick(low);
  } else if (low != 0) {
    sendKey(low, true);
    sendKey(low, false);
  }
  for (const Mod& m : kMods)
    if (code & m.bit) sendKey(m.vk, false);
}

void PressKeyClass::withLocksOff(const std::function<void()>& work) {
  bool num = lockOn(144), caps = lockOn(20);
  auto toggle = [this](int vk) {
    sendKey(vk, true);
    sendKey(vk, false);
  };
  if (num) toggle(144);
  if (caps) toggle(20);
  work();
  if (caps) toggle(20);
  if (num) toggle(144);
}

void PressKeyClass::typeChars(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t n = charLength(text, i);
    std::string_view c = text.substr(i, n);
    int32_t code = charCode(decode(c));
    if (code != 0)
      QVPressKey(code);
    else
      typeCharacter(c);  // no key on this layout: typed through a spare key
    pause(DELAY);
    i += n;
  }
}

void PressKeyClass::QVPress(std::string_view text) {
  if (text.empty()) return;
  withLocksOff([&] { typeChars(text); });
}

void PressKeyClass::PressEx(std::string_view input) {
  std::string copy(input.substr(0, rt::utf8CutLength(input, 2048)));
  if (DELIMITERLEFT.empty() || copy.find(DELIMITERLEFT) == std::string::npos) {
    QVPress(rt::clipView(copy));
    return;
  }
  const char left = DELIMITERLEFT[0], right = DELIMITERRIGHT.empty() ? left : DELIMITERRIGHT[0];
  std::string_view rest(copy);
  while (!rest.empty()) {
    size_t p = rest.find(left);
    if (p == std::string_view::npos) break;
    if (p > 0) {
      QVPress(rest.substr(0, p));
      rest.remove_prefix(p);
      pause(DELAY);
      continue;
    }
    if (rest.size() > 1 && rest[1] == left) {  // a doubled delimiter types one
      QVPress(rest.substr(0, 1));
      rest.remove_prefix(2);
      continue;
    }
    size_t close = rest.find(right, 1);
    if (close != std::string_view::npos && close - 1 <= 32) {
      int32_t code = TrnKeyName(rest.substr(1, close - 1));
      if (code != 0) {
        QVPressKey(code);
        rest.remove_prefix(close + 1);
        continue;
      }
    }
    QVPress(rest.substr(0, 1));  // not a key name: the delimiter is typed as it stands
    rest.remove_prefix(1);
    pause(DELAY);
  }
  QVPress(rt::clipView(rest));
}

void PressKeyClass::KeyToQ(std::string_view name) {
  KEYQ.push_back({TrnKeyName(name), std::string(name.substr(0, rt::utf8CutLength(name, 32)))});
}

void PressKeyClass::StringToQ(std::string_view text) {
  KEYQ.clear();
  for (size_t i = 0; i < text.size();) {
    size_t n = charLength(text, i);
    KEYQ.push_back({charCode(decode(text.substr(i, n))), std::string(text.substr(i, n))});
    i += n;
  }
}

void PressKeyClass::PressQ() {
  withLocksOff([&] {
    for (const PressKeyEntry& e : KEYQ) QVPressKey(e.ID);
  });
}

}  // namespace ov::files
