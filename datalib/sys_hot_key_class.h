// SysHotKeyClass: system-wide hot keys of one window, given as key texts ("Ctrl-Alt-F5"), kept
// registered while the object is active; each press becomes an entry of PRESSEDKEYQ and the event
// EVENT:HotKey (1810) posted to the window. Also translates key texts and key codes both ways.
//
// The object hooks its window's chain of message hooks (property 7CB4h) and takes the hot-key
// message there; the keys are grabbed on the X display (platform/os). A key's hot-key id is its
// position in KEYQ, so every change unregisters all keys and registers them all again. One object
// per process (the last one set up is served); GUI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datalib/key_names.h"

namespace ov::os {
class HotKeys;
}

namespace ov::files {

constexpr int kEventHotKey = 1810;

struct HotKeyEntry {
  int32_t ID = 0;    // key code
  std::string KEY;   // the key text as added, at most 32 characters
};
using HotKeyQueue = std::vector<HotKeyEntry>;

class SysHotKeyClass {
 public:
  SysHotKeyClass();
  virtual ~SysHotKeyClass();

  uint8_t ACTIVE = 0;
  uint8_t KEYSREGISTERED = 0;
  int32_t HWNDPROC = 0;
  int32_t HWND = 0;
  HotKeyQueue KEYQ;         // ascending by ID
  HotKeyQueue FAILEDKEYQ;   // keys whose last registration or unregistration failed
  KeyTranslations TRNQ;
  HotKeyQueue PRESSEDKEYQ;  // oldest first; the owner takes and deletes the first entry

  void Init();
  void Kill();
  void AddKey(std::string_view text);
  void RemoveKey(std::string_view text);
  void Activate();
  void UnActivate();
  void RegisterHotKeys();
  void UnregisterHotKeys();
  int32_t TrnKeyName(std::string_view text) const;
  std::string TrnVirtKey(uint32_t code) const;

  virtual void AddTrn(std::string_view keyBlock);
  virtual void TakeKey(int32_t id, std::string_view key) { (void)id; (void)key; }
  virtual void TakeInvalidKey(std::string_view key) { (void)key; }

  // The window procedure; public so tests can hand it messages as the window would.
  intptr_t HotKeyWindowProc(int32_t hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam);

 private:
  std::unique_ptr<os::HotKeys> m_keys;
  int32_t m_procNumber = 0;
};

}  // namespace ov::files
