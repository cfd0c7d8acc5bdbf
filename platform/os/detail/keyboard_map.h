// A snapshot of the server's keyboard: key symbols per key, group and level, the modifiers a
// level needs, and the keys that set each modifier. Internal to ov_os.
#pragma once

#include "platform/os/detail/x_connection.h"

#include <X11/XKBlib.h>

#include <vector>

namespace ov::os::detail {

struct KeyPlace {
  KeyCode code = 0;
  unsigned mods = 0;  // X modifier mask that selects the level (ShiftMask, Mod5Mask for AltGr)
};

class KeyboardMap {
 public:
  explicit KeyboardMap(XConnection& x);
  ~KeyboardMap();
  KeyboardMap(const KeyboardMap&) = delete;
  KeyboardMap& operator=(const KeyboardMap&) = delete;

  bool valid() const { return m_desc != nullptr; }

  // The key that carries `keysym` in the current group, at the level with the fewest modifiers;
  // with `anyGroup`, other groups are searched after the current one (a key, not a character).
  bool findSym(KeySym keysym, KeyPlace& place, bool anyGroup) const;

  // The key that types character `ch` in the current group.
  bool findChar(char32_t ch, KeyPlace& place) const;

  // A key that sets the modifier with mask `bit` (ShiftMask, Mod5Mask, ...), or 0.
  KeyCode modifierKey(unsigned bit) const;

  // The modifier mask that a key with symbol `keysym` sets (Num_Lock gives Mod2Mask), or 0.
  unsigned maskOfSym(KeySym keysym) const;

  // Every key code that is in the modifier map.
  std::vector<KeyCode> modifierKeys() const;

  // Key codes with no symbol at all, free to be bound for a moment.
  std::vector<KeyCode> spareCodes() const;

  KeySym symAt(KeyCode code, int group, int level) const;
  unsigned lockedMods() const { return m_lockedMods; }

 private:
  bool findIn(int group, KeySym keysym, char32_t ch, KeyPlace& place) const;
  bool levelMods(KeyCode code, int group, int level, unsigned& mods) const;

  XConnection& m_x;
  XkbDescPtr m_desc = nullptr;
  XModifierKeymap* m_modmap = nullptr;
  int m_group = 0;
  unsigned m_lockedMods = 0;
};

}  // namespace ov::os::detail
