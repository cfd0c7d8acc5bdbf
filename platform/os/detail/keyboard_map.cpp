#include "platform/os/detail/keyboard_map.h"

#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <bit>

namespace ov::os::detail {

KeyboardMap::KeyboardMap(XConnection& x) : m_x(x) {
  m_desc = XkbGetMap(x.dpy(), XkbKeyTypesMask | XkbKeySymsMask | XkbVirtualModsMask, XkbUseCoreKbd);
  m_modmap = XGetModifierMapping(x.dpy());
  XkbStateRec state{};
  if (XkbGetState(x.dpy(), XkbUseCoreKbd, &state) == Success) {
    m_group = state.group;
    m_lockedMods = state.locked_mods;
  }
}

KeyboardMap::~KeyboardMap() {
  if (m_desc) XkbFreeKeyboard(m_desc, 0, True);
  if (m_modmap) XFreeModifiermap(m_modmap);
}

KeySym KeyboardMap::symAt(KeyCode code, int group, int level) const {
  if (!m_desc || code < m_desc->min_key_code || code > m_desc->max_key_code) return NoSymbol;
  if (group >= XkbKeyNumGroups(m_desc, code)) return NoSymbol;
  if (level >= XkbKeyGroupWidth(m_desc, code, group)) return NoSymbol;
  return XkbKeySymEntry(m_desc, code, level, group);
}

bool KeyboardMap::levelMods(KeyCode code, int group, int level, unsigned& mods) const {
  if (level == 0) {
    mods = 0;
    return true;
  }
  XkbKeyTypePtr type = XkbKeyKeyType(m_desc, code, group);
  bool found = false;
  for (int i = 0; i < type->map_count; ++i) {
    const XkbKTMapEntryRec& entry = type->map[i];
    if (!entry.active || entry.level != level) continue;
    unsigned mask = entry.mods.mask;
    if (mask & LockMask) continue;  // the Caps Lock way to a level; we use Shift instead
    if (!found || std::popcount(mask) < std::popcount(mods)) {
      mods = mask;
      found = true;
    }
  }
  return found;
}

bool KeyboardMap::findIn(int group, KeySym keysym, char32_t ch, KeyPlace& place) const {
  bool found = false;
  int bestLevel = 0;
  for (int code = m_desc->min_key_code; code <= m_desc->max_key_code; ++code) {
    if (group >= XkbKeyNumGroups(m_desc, code)) continue;
    int width = XkbKeyGroupWidth(m_desc, code, group);
    for (int level = 0; level < width && (!found || level < bestLevel); ++level) {
      KeySym sym = XkbKeySymEntry(m_desc, code, level, group);
      if (sym == NoSymbol) continue;
      bool match = sym == keysym || (ch != 0 && xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(sym)) == ch);
      if (!match) continue;
      unsigned mods = 0;
      if (!levelMods(static_cast<KeyCode>(code), group, level, mods)) continue;
      // Every modifier of the level must be reachable by a key of ours.
      bool reachable = true;
      for (unsigned bit = 1; bit <= Mod5Mask; bit <<= 1)
        if ((mods & bit) && modifierKey(bit) == 0) reachable = false;
      if (!reachable) continue;
      place = {static_cast<KeyCode>(code), mods};
      bestLevel = level;
      found = true;
    }
    if (found && bestLevel == 0) break;
  }
  return found;
}

bool KeyboardMap::findSym(KeySym keysym, KeyPlace& place, bool anyGroup) const {
  if (!m_desc || keysym == NoSymbol) return false;
  if (findIn(m_group, keysym, 0, place)) return true;
  if (!anyGroup) return false;
  for (int group = 0; group < XkbNumKbdGroups; ++group)
    if (group != m_group && findIn(group, keysym, 0, place)) return true;
  return false;
}

bool KeyboardMap::findChar(char32_t ch, KeyPlace& place) const {
  if (!m_desc) return false;
  auto keysym = static_cast<KeySym>(xkb_utf32_to_keysym(ch));
  return findIn(m_group, keysym, ch, place);
}

KeyCode KeyboardMap::modifierKey(unsigned bit) const {
  if (!m_modmap) return 0;
  int index = std::countr_zero(bit);
  if (index > 7) return 0;
  int per = m_modmap->max_keypermod;
  for (int j = 0; j < per; ++j) {
    KeyCode code = m_modmap->modifiermap[index * per + j];
    if (code == 0) continue;
    // Mode_switch shares Mod5 with the AltGr key but changes the group instead of the level.
    if (symAt(code, 0, 0) == XK_Mode_switch) continue;
    return code;
  }
  return 0;
}

unsigned KeyboardMap::maskOfSym(KeySym keysym) const {
  if (!m_modmap) return 0;
  int per = m_modmap->max_keypermod;
  for (int index = 0; index < 8; ++index)
    for (int j = 0; j < per; ++j) {
      KeyCode code = m_modmap->modifiermap[index * per + j];
      if (code != 0 && symAt(code, 0, 0) == keysym) return 1u << index;
    }
  return 0;
}

std::vector<KeyCode> KeyboardMap::modifierKeys() const {
  std::vector<KeyCode> out;
  if (!m_modmap) return out;
  for (int i = 0; i < 8 * m_modmap->max_keypermod; ++i)
    if (m_modmap->modifiermap[i] != 0) out.push_back(m_modmap->modifiermap[i]);
  return out;
}

std::vector<KeyCode> KeyboardMap::spareCodes() const {
  std::vector<KeyCode> out;
  if (!m_desc) return out;
  for (int code = m_desc->min_key_code; code <= m_desc->max_key_code; ++code) {
    bool empty = true;
    for (int g = 0; g < XkbKeyNumGroups(m_desc, code) && empty; ++g)
      for (int l = 0; l < XkbKeyGroupWidth(m_desc, code, g); ++l)
        if (XkbKeySymEntry(m_desc, code, l, g) != NoSymbol) empty = false;
    if (empty) out.push_back(static_cast<KeyCode>(code));
  }
  return out;
}

}  // namespace ov::os::detail
