// PressKeyClass: keyboard and mouse input for other windows: types a text, presses named keys
// with modifiers, expands key names written between delimiters ("Dear {Enter}"), plays back a
// queue of keys, clicks and moves the mouse. Input goes to whichever window has the focus.
//
// Key codes use the class's own modifier bits, kPressKeyBits (key_names.h: 256 Shift, 512 Ctrl,
// 1024 Alt, 2048 Win); a low byte of 1-3 is a click of the left, right or middle button, 5-7 a
// double click. GUI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "datalib/key_names.h"

namespace ov::files {

struct PressKeyEntry {
  int32_t ID = 0;
  std::string KEY;
};

class PressKeyClass {
 public:
  virtual ~PressKeyClass() = default;

  std::vector<PressKeyEntry> KEYQ;
  KeyTranslations TRNQ;
  std::string DELIMITERLEFT;
  std::string DELIMITERRIGHT;
  int32_t DELAY = 0;  // hundredths of a second after each character or token

  void Init(std::string_view delimiters);
  void Kill();
  void SetDelay(int32_t n) { DELAY = n; }
  void MouseClick(int32_t button);
  void GetMousePos(int32_t& x, int32_t& y);
  void SetMousePos(int32_t x, int32_t y);
  void QVPress(std::string_view text);
  void QVPressKey(int32_t code);
  void QVPressKeyStr(std::string_view name) { QVPressKey(TrnKeyName(name)); }
  void PressEx(std::string_view text);
  void PressQ();
  void KeyToQ(std::string_view name);
  void StringToQ(std::string_view text);
  int32_t TrnKeyName(std::string_view name) const { return translateKeyName(TRNQ, name, kPressKeyBits); }
  std::string TrnVirtKey(uint32_t code) const { return translateVirtKey(TRNQ, code, kPressKeyBits); }
  void AddTrn(std::string_view keyBlock) { appendKeyBlock(TRNQ, keyBlock); }

  // The code of a typed character: its key and Shift as the layout has them, 0 when it has none.
  virtual int32_t charCode(char32_t ch);

 protected:
  // The input itself; tests override these to record what would be sent.
  virtual void sendKey(int vk, bool down);
  virtual void sendButton(int button, bool down);  // 1 left, 2 right, 3 middle
  virtual void typeCharacter(std::string_view utf8);  // a character the layout has no key for
  virtual bool lockOn(int vk);
  virtual void pause(int32_t hundredths);

 private:
  void withLocksOff(const std::function<void()>& work);
  void typeChars(std::string_view text);
};

}  // namespace ov::files
