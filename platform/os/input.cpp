#include "platform/os/input.h"

#include "platform/os/detail/keyboard_map.h"
#include "platform/os/detail/vk_keysym.h"
#include "platform/os/detail/x_connection.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <map>
#include <thread>

namespace ov::os {

using detail::KeyboardMap;
using detail::KeyPlace;
using detail::XConnection;

namespace {

// A target program learns of a bound spare key from the mapping notice that comes before our
// key events, and reads the map when it handles that notice. Keep the binding this long after
// the last key so that a busy program still reads the bound map.
constexpr auto kSpareSettle = std::chrono::milliseconds(150);

char32_t nextCodePoint(std::string_view s, size_t& i) {
  auto c = static_cast<unsigned char>(s[i++]);
  if (c < 0x80) return c;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t cp = c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return cp;
}

void pressWithMods(XConnection& x, const KeyboardMap& km, const KeyPlace& place) {
  std::vector<KeyCode> mods;
  for (unsigned bit = 1; bit <= Mod5Mask; bit <<= 1)
    if (place.mods & bit) mods.push_back(km.modifierKey(bit));
  for (KeyCode m : mods) XTestFakeKeyEvent(x.dpy(), m, True, CurrentTime);
  XTestFakeKeyEvent(x.dpy(), place.code, True, CurrentTime);
  XTestFakeKeyEvent(x.dpy(), place.code, False, CurrentTime);
  for (auto it = mods.rbegin(); it != mods.rend(); ++it) XTestFakeKeyEvent(x.dpy(), *it, False, CurrentTime);
}

// Spare key codes bound to characters the layout lacks, given back when typing ends.
class SpareKeys {
 public:
  SpareKeys(XConnection& x, std::vector<KeyCode> free) : m_x(x), m_free(std::move(free)) {}
  ~SpareKeys() { releaseAll(); }

  KeyCode bind(char32_t ch) {
    if (auto it = m_bound.find(ch); it != m_bound.end()) return it->second;
    if (m_free.empty()) releaseAll();  // all in use: let them settle, give them back, start over
    if (m_free.empty()) return 0;
    KeyCode code = m_free.back();
    m_free.pop_back();
    KeySym sym = keysymForChar(ch);
    XChangeKeyboardMapping(m_x.dpy(), code, 1, &sym, 1);
    m_bound.emplace(ch, code);
    return code;
  }

  void releaseAll() {
    if (m_bound.empty()) return;
    XSync(m_x.dpy(), False);
    std::this_thread::sleep_for(kSpareSettle);
    KeySym none = NoSymbol;
    for (auto& [ch, code] : m_bound) {
      XChangeKeyboardMapping(m_x.dpy(), code, 1, &none, 1);
      m_free.push_back(code);
    }
    m_bound.clear();
    XSync(m_x.dpy(), False);
  }

 private:
  static KeySym keysymForChar(char32_t ch) {
    // Latin-1 characters are their own key symbols; the rest use the Unicode range.
    if ((ch >= 0x20 && ch <= 0x7E) || (ch >= 0xA0 && ch <= 0xFF)) return ch;
    return 0x01000000 | ch;
  }

  XConnection& m_x;
  std::vector<KeyCode> m_free;
  std::map<char32_t, KeyCode> m_bound;
};

bool setLock(unsigned mask, bool on) {
  XConnection* x = XConnection::get();
  if (!x || mask == 0) return false;
  bool ok = XkbLockModifiers(x->dpy(), XkbUseCoreKbd, mask, on ? mask : 0);
  XSync(x->dpy(), False);
  return ok;
}

unsigned numLockMask(XConnection& x) {
  KeyboardMap km(x);
  return km.maskOfSym(XK_Num_Lock);
}

unsigned xButton(MouseButton b) {
  switch (b) {
    case MouseButton::Left: return 1;
    case MouseButton::Middle: return 2;
    case MouseButton::Right: return 3;
  }
  return 1;
}

}  // namespace

TypeResult typeText(std::string_view utf8, WindowId into) {
  XConnection* x = XConnection::get();
  if (!x) return TypeResult::NoDisplay;
  if (into != 0 && !hasFocus(into)) return TypeResult::NotFocused;
  KeyboardMap km(*x);
  if (!km.valid()) return TypeResult::NoDisplay;
  bool capsWasOn = km.lockedMods() & LockMask;
  if (capsWasOn) setLock(LockMask, false);

  TypeResult result = TypeResult::Typed;
  {
    SpareKeys spares(*x, km.spareCodes());
    size_t i = 0;
    while (i < utf8.size()) {
      char32_t ch = nextCodePoint(utf8, i);
      KeySym named = NoSymbol;
      if (ch == '\r') {
        if (i < utf8.size() && utf8[i] == '\n') ++i;
        named = XK_Return;
      } else if (ch == '\n') {
        named = XK_Return;
      } else if (ch == '\t') {
        named = XK_Tab;
      } else if (ch == '\b') {
        named = XK_BackSpace;
      } else if (ch < 0x20 || ch == 0x7F) {
        continue;
      }
      if (into != 0 && !hasFocus(into)) {
        result = TypeResult::FocusLost;
        break;
      }
      KeyPlace place;
      bool found = named != NoSymbol ? km.findSym(named, place, true) : km.findChar(ch, place);
      if (!found && named == NoSymbol) {
        place = {spares.bind(ch), 0};
        found = place.code != 0;
      }
      if (found) pressWithMods(*x, km, place);
      XSync(x->dpy(), False);
    }
  }  // spare keys given back here, after they settled

  if (capsWasOn) setLock(LockMask, true);
  XSync(x->dpy(), False);
  return result;
}

bool keyEvent(int vk, bool down) {
  XConnection* x = XConnection::get();
  if (!x) return false;
  KeySym sym = detail::keysymForVk(vk);
  if (sym == NoSymbol) return false;
  KeyboardMap km(*x);
  KeyPlace place;
  if (!km.findSym(sym, place, true)) return false;
  XTestFakeKeyEvent(x->dpy(), place.code, down ? True : False, CurrentTime);
  XFlush(x->dpy());
  return true;
}

void releaseHeldModifiers() {
  XConnection* x = XConnection::get();
  if (!x) return;
  KeyboardMap km(*x);
  char keys[32] = {};
  XQueryKeymap(x->dpy(), keys);
  for (KeyCode code : km.modifierKeys())
    if (keys[code / 8] & (1 << (code % 8))) XTestFakeKeyEvent(x->dpy(), code, False, CurrentTime);
  XSync(x->dpy(), False);
}

int vkKeyScan(char32_t ch) {
  XConnection* x = XConnection::get();
  if (!x) return -1;
  KeyboardMap km(*x);
  KeyPlace place;
  if (!km.findChar(ch, place)) return -1;
  if (place.mods & ~static_cast<unsigned>(ShiftMask)) return -1;
  // The key's own name is its unshifted symbol in the first group, as a Windows key code.
  int vk = detail::vkForKeysym(km.symAt(place.code, 0, 0));
  if (vk == 0) return -1;
  return vk | ((place.mods & ShiftMask) ? 0x100 : 0);
}

bool capsLockOn() {
  XConnection* x = XConnection::get();
  if (!x) return false;
  XkbStateRec state{};
  return XkbGetState(x->dpy(), XkbUseCoreKbd, &state) == Success && (state.locked_mods & LockMask);
}

bool numLockOn() {
  XConnection* x = XConnection::get();
  if (!x) return false;
  unsigned mask = numLockMask(*x);
  XkbStateRec state{};
  return mask && XkbGetState(x->dpy(), XkbUseCoreKbd, &state) == Success && (state.locked_mods & mask);
}

bool setCapsLock(bool on) { return setLock(LockMask, on); }

bool setNumLock(bool on) {
  XConnection* x = XConnection::get();
  return x && setLock(numLockMask(*x), on);
}

bool moveMouseTo(int px, int py) {
  XConnection* x = XConnection::get();
  if (!x) return false;
  XTestFakeMotionEvent(x->dpy(), -1, px, py, CurrentTime);
  XSync(x->dpy(), False);
  return true;
}

bool moveMouseBy(int dx, int dy) {
  XConnection* x = XConnection::get();
  if (!x) return false;
  XTestFakeRelativeMotionEvent(x->dpy(), dx, dy, CurrentTime);
  XSync(x->dpy(), False);
  return true;
}

bool mousePosition(int& px, int& py) {
  XConnection* x = XConnection::get();
  if (!x) return false;
  Window root = 0, child = 0;
  int wx = 0, wy = 0;
  unsigned mask = 0;
  return XQueryPointer(x->dpy(), x->root(), &root, &child, &px, &py, &wx, &wy, &mask);
}

bool mouseButton(MouseButton button, bool down) {
  XConnection* x = XConnection::get();
  if (!x) return false;
  XTestFakeButtonEvent(x->dpy(), xButton(button), down ? True : False, CurrentTime);
  XSync(x->dpy(), False);
  return true;
}

namespace {

// Clicks go to the server in one batch, so that a busy machine cannot stretch the gap between
// them beyond the double-click time of the window under the pointer.
bool clicks(MouseButton button, int count) {
  XConnection* x = XConnection::get();
  if (!x) return false;
  for (int i = 0; i < count; ++i) {
    XTestFakeButtonEvent(x->dpy(), xButton(button), True, CurrentTime);
    XTestFakeButtonEvent(x->dpy(), xButton(button), False, CurrentTime);
  }
  XSync(x->dpy(), False);
  return true;
}

}  // namespace

bool mouseClick(MouseButton button) { return clicks(button, 1); }

bool mouseDoubleClick(MouseButton button) { return clicks(button, 2); }

void flushInput() {
  if (XConnection* x = XConnection::get()) XSync(x->dpy(), False);
}

}  // namespace ov::os
