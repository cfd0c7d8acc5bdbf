#include "platform/os/hot_keys.h"

#include "platform/os/detail/keyboard_map.h"
#include "platform/os/detail/vk_keysym.h"
#include "platform/os/detail/x_connection.h"

#include <X11/keysym.h>

namespace ov::os {

using detail::KeyboardMap;
using detail::KeyPlace;
using detail::XConnection;
using detail::XErrorTrap;

namespace {

struct Placed {
  unsigned keycode = 0;
  unsigned xmods = 0;
  unsigned numLock = 0;
};

// Where a hot key sits on the keyboard now; false when its key is not there.
bool place(XConnection& x, unsigned modifiers, int vk, Placed& out) {
  KeySym sym = detail::keysymForVk(vk);
  if (sym == NoSymbol) return false;
  KeyboardMap km(x);
  KeyPlace p;
  if (!km.findSym(sym, p, true)) return false;
  unsigned alt = km.maskOfSym(XK_Alt_L);
  unsigned super = km.maskOfSym(XK_Super_L);
  out.keycode = p.code;
  out.xmods = 0;
  if (modifiers & hotmod::kShift) out.xmods |= ShiftMask;
  if (modifiers & hotmod::kControl) out.xmods |= ControlMask;
  if (modifiers & hotmod::kAlt) out.xmods |= alt ? alt : Mod1Mask;
  if (modifiers & hotmod::kWin) out.xmods |= super ? super : Mod4Mask;
  out.numLock = km.maskOfSym(XK_Num_Lock);
  return true;
}

std::vector<unsigned> lockVariants(unsigned numLock) {
  std::vector<unsigned> v{0, LockMask};
  if (numLock) {
    v.push_back(numLock);
    v.push_back(numLock | LockMask);
  }
  return v;
}

unsigned g_numLock = 0;  // the Num Lock mask of the keys grabbed last

}  // namespace

HotKeys::HotKeys(MessageSink sink) : m_sink(std::move(sink)) {
  if (XConnection* x = XConnection::get()) {
    m_listener = x->addListener([this](XEvent& ev) { onEvent(&ev); });
    x->watchInEventLoop();
  }
}

HotKeys::~HotKeys() {
  for (auto& [id, key] : m_keys) ungrab(key);
  if (XConnection* x = XConnection::get()) {
    XSync(x->dpy(), False);
    x->removeListener(m_listener);
  }
}

bool HotKeys::grab(Key& key) {
  XConnection* x = XConnection::get();
  Placed p;
  if (!place(*x, key.modifiers, key.vk, p)) return false;
  key.keycode = p.keycode;
  key.xmods = p.xmods;
  g_numLock = p.numLock;
  XErrorTrap trap(*x);
  for (unsigned lock : lockVariants(p.numLock))
    XGrabKey(x->dpy(), static_cast<int>(key.keycode), key.xmods | lock, x->root(), False, GrabModeAsync,
             GrabModeAsync);
  if (trap.sync() != 0) {  // BadAccess: another program holds it
    ungrab(key);
    key.keycode = 0;
  }
  return true;
}

void HotKeys::ungrab(const Key& key) {
  if (key.keycode == 0) return;
  XConnection* x = XConnection::get();
  XErrorTrap trap(*x);
  for (unsigned lock : lockVariants(g_numLock))
    XUngrabKey(x->dpy(), static_cast<int>(key.keycode), key.xmods | lock, x->root());
  (void)trap.sync();  // a grab that never took leaves nothing to give back
}

int HotKeys::registerHotKey(int id, unsigned modifiers, int vk) {
  XConnection* x = XConnection::get();
  if (!x) return winerr::kInvalidFunction;
  if (modifiers & ~(hotmod::kAlt | hotmod::kControl | hotmod::kShift | hotmod::kWin))
    return winerr::kInvalidParameter;
  Placed p;
  if (!place(*x, modifiers, vk, p)) return winerr::kInvalidParameter;
  for (auto& [otherId, other] : m_keys)
    if (otherId != id && other.keycode == p.keycode && other.xmods == p.xmods)
      return winerr::kHotKeyAlreadyRegistered;
  if (auto it = m_keys.find(id); it != m_keys.end()) {
    ungrab(it->second);
    m_keys.erase(it);
  }
  Key key{modifiers, vk, 0, 0};
  if (!grab(key)) return winerr::kInvalidParameter;
  if (key.keycode == 0) return winerr::kHotKeyAlreadyRegistered;
  m_keys.emplace(id, key);
  return winerr::kSuccess;
}

int HotKeys::unregisterHotKey(int id) {
  auto it = m_keys.find(id);
  if (it == m_keys.end()) return winerr::kHotKeyNotRegistered;
  ungrab(it->second);
  m_keys.erase(it);
  if (XConnection* x = XConnection::get()) XSync(x->dpy(), False);
  return winerr::kSuccess;
}

void HotKeys::dispatchPending() {
  if (XConnection* x = XConnection::get()) {
    XSync(x->dpy(), False);
    x->pump();
  }
}

void HotKeys::regrabAll() {
  XConnection* x = XConnection::get();
  for (auto& [id, key] : m_keys) {
    Placed p;
    bool there = place(*x, key.modifiers, key.vk, p);
    if (there && p.keycode == key.keycode && p.xmods == key.xmods) continue;
    ungrab(key);
    key.keycode = 0;
    if (there) grab(key);
  }
}

void HotKeys::onEvent(void* xevent) {
  auto& ev = *static_cast<XEvent*>(xevent);
  XConnection* x = XConnection::get();
  if (ev.type == MappingNotify) {
    if (ev.xmapping.request != MappingPointer) regrabAll();
    return;
  }
  if (ev.type != KeyPress || ev.xkey.window != x->root()) return;
  unsigned state = ev.xkey.state & ~(LockMask | g_numLock) &
                   (ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask);
  for (auto& [id, key] : m_keys) {
    if (key.keycode == ev.xkey.keycode && key.xmods == state) {
      WinMessage msg{wm::kHotKey, static_cast<std::uintptr_t>(id),
                     static_cast<std::intptr_t>((static_cast<unsigned>(key.vk) << 16) | key.modifiers)};
      if (m_sink) m_sink(msg);
      return;
    }
  }
}

}  // namespace ov::os
