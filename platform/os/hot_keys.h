// System-wide hot keys: a key with modifiers grabbed on the X root window, so that its press
// reaches us whichever window has the focus.
//
// A press is handed to the sink as wm::kHotKey with wParam = the hot key's id and lParam = the
// modifiers (hotmod flags) in the low word and the virtual-key code in the high word, as Windows
// sends it. Each key is grabbed with every Num Lock and Caps Lock state, so it works whatever
// the lock keys say. One object per process; GUI thread only. Presses are delivered from Qt's
// event loop, or by dispatchPending() where there is none.
#pragma once

#include "platform/os/win_msg.h"

#include <map>

namespace ov::os {

class HotKeys {
 public:
  explicit HotKeys(MessageSink sink);
  ~HotKeys();  // gives every grab back
  HotKeys(const HotKeys&) = delete;
  HotKeys& operator=(const HotKeys&) = delete;

  // Returns winerr::kSuccess, or kHotKeyAlreadyRegistered when this process or another program
  // holds the combination, kInvalidParameter for a key that is not on the keyboard (mouse codes,
  // 0), kInvalidFunction when there is no display. Registering an id again replaces its key.
  int registerHotKey(int id, unsigned modifiers, int vk);

  // winerr::kSuccess, or kHotKeyNotRegistered for an unknown id.
  int unregisterHotKey(int id);

  // Delivers the presses that have arrived.
  void dispatchPending();

 private:
  struct Key {
    unsigned modifiers;
    int vk;
    unsigned keycode;
    unsigned xmods;
  };
  bool grab(Key& key);
  void ungrab(const Key& key);
  void onEvent(void* xevent);
  void regrabAll();

  MessageSink m_sink;
  std::map<int, Key> m_keys;
  int m_listener = 0;
};

}  // namespace ov::os
