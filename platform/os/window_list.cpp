#include "platform/os/window_list.h"

#include "platform/os/detail/x_connection.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <chrono>
#include <deque>
#include <thread>

namespace ov::os {

using detail::readLongProperty;
using detail::XConnection;
using detail::XErrorTrap;

namespace {

constexpr long kWithdrawnState = 0;
constexpr long kIconicState = 3;

std::string latin1ToUtf8(const unsigned char* s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = s[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// A text property as UTF-8: UTF8_STRING as it stands, STRING as Latin-1; compound text keeps its
// ASCII part, which is what titles in it nearly always are.
bool readText(XConnection& x, Window w, Atom property, std::string& out) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  XErrorTrap trap(x);
  int rc = XGetWindowProperty(x.dpy(), w, property, 0, 16384, False, AnyPropertyType, &type, &format,
                              &count, &after, &data);
  bool found = false;
  if (rc == Success && data && format == 8 && type != None) {
    if (type == XA_STRING)
      out = latin1ToUtf8(data, count);
    else
      out.assign(reinterpret_cast<char*>(data), count);
    found = true;
  }
  if (data) XFree(data);
  (void)trap.sync();  // the window may have gone meanwhile
  return found;
}

std::string title(XConnection& x, Window w) {
  std::string t;
  if (readText(x, w, x.atom("_NET_WM_NAME"), t)) return t;
  t.clear();
  readText(x, w, XA_WM_NAME, t);
  return t;
}

std::string className(XConnection& x, Window w) {
  std::string raw;
  if (!readText(x, w, XA_WM_CLASS, raw)) return {};
  // "instance\0class\0"
  size_t nul = raw.find('\0');
  if (nul == std::string::npos) return raw;
  std::string cls = raw.substr(nul + 1);
  if (size_t end = cls.find('\0'); end != std::string::npos) cls.resize(end);
  return cls;
}

long wmState(XConnection& x, Window w) {
  Atom wmStateAtom = x.atom("WM_STATE");
  auto v = readLongProperty(x, w, wmStateAtom, wmStateAtom);
  return v.empty() ? -1 : static_cast<long>(v[0]);
}

std::vector<Window> children(XConnection& x, Window w) {
  Window root = 0, parent = 0;
  Window* kids = nullptr;
  unsigned n = 0;
  std::vector<Window> out;
  XErrorTrap trap(x);
  if (XQueryTree(x.dpy(), w, &root, &parent, &kids, &n) && kids) out.assign(kids, kids + n);
  if (kids) XFree(kids);
  (void)trap.sync();
  return out;  // bottom to top
}

Window parentOf(XConnection& x, Window w) {
  Window root = 0, parent = 0;
  Window* kids = nullptr;
  unsigned n = 0;
  XErrorTrap trap(x);
  Status ok = XQueryTree(x.dpy(), w, &root, &parent, &kids, &n);
  if (kids) XFree(kids);
  if (trap.sync() != 0 || !ok) return 0;
  return parent;
}

// The client window inside a frame: the frame itself or the first descendant with WM_STATE.
Window clientOf(XConnection& x, Window frame) {
  if (wmState(x, frame) >= 0) return frame;
  std::deque<Window> queue{frame};
  while (!queue.empty()) {
    Window w = queue.front();
    queue.pop_front();
    for (Window c : children(x, w)) {
      if (wmState(x, c) >= 0) return c;
      queue.push_back(c);
    }
  }
  return frame;
}

// The root's child that holds `w`, or 0.
Window topAncestor(XConnection& x, Window w) {
  while (w != 0 && w != x.root()) {
    Window parent = parentOf(x, w);
    if (parent == 0) return 0;
    if (parent == x.root()) return w;
    w = parent;
  }
  return 0;
}

bool netSupported(XConnection& x, const char* name) {
  auto list = readLongProperty(x, x.root(), x.atom("_NET_SUPPORTED"), XA_ATOM);
  Atom wanted = x.atom(name);
  for (unsigned long a : list)
    if (a == wanted) return true;
  return false;
}

void sendToRoot(XConnection& x, Window w, Atom type, long l0, long l1 = 0, long l2 = 0) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = type;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = l0;
  ev.xclient.data.l[1] = l1;
  ev.xclient.data.l[2] = l2;
  XSendEvent(x.dpy(), x.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

bool viewable(XConnection& x, Window w) {
  XWindowAttributes attrs;
  XErrorTrap trap(x);
  Status ok = XGetWindowAttributes(x.dpy(), w, &attrs);
  if (trap.sync() != 0 || !ok) return false;
  return attrs.map_state == IsViewable;
}

}  // namespace

bool haveDisplay() { return XConnection::get() != nullptr; }

std::vector<TopWindow> listTopWindows() {
  std::vector<TopWindow> out;
  XConnection* x = XConnection::get();
  if (!x) return out;
  std::vector<Window> ids;  // topmost first
  if (x->hasWindowManager()) {
    auto stacking = readLongProperty(*x, x->root(), x->atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
    if (stacking.empty())
      stacking = readLongProperty(*x, x->root(), x->atom("_NET_CLIENT_LIST"), XA_WINDOW);
    ids.assign(stacking.rbegin(), stacking.rend());
  } else {
    auto kids = children(*x, x->root());
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
      XWindowAttributes attrs;
      XErrorTrap trap(*x);
      Status ok = XGetWindowAttributes(x->dpy(), *it, &attrs);
      if (trap.sync() != 0 || !ok) continue;
      if (attrs.override_redirect || attrs.c_class == InputOnly) continue;  // menus, tips, helpers
      ids.push_back(clientOf(*x, *it));
    }
  }
  for (Window w : ids) {
    if (!windowExists(w)) continue;
    out.push_back({w, title(*x, w), className(*x, w)});
  }
  return out;
}

std::vector<TopWindow> listChildWindows(WindowId window) {
  std::vector<TopWindow> out;
  XConnection* x = XConnection::get();
  if (!x || window == 0) return out;
  std::vector<Window> stack;
  auto kids = children(*x, window);
  stack.assign(kids.rbegin(), kids.rend());
  while (!stack.empty()) {
    Window w = stack.back();
    stack.pop_back();
    std::string t = title(*x, w);
    if (!t.empty()) out.push_back({w, t, className(*x, w)});
    auto grandKids = children(*x, w);
    stack.insert(stack.end(), grandKids.rbegin(), grandKids.rend());
  }
  return out;
}

bool windowExists(WindowId window) {
  XConnection* x = XConnection::get();
  if (!x || window == 0) return false;
  XWindowAttributes attrs;
  XErrorTrap trap(*x);
  Status ok = XGetWindowAttributes(x->dpy(), window, &attrs);
  return trap.sync() == 0 && ok;
}

std::string windowTitle(WindowId window) {
  XConnection* x = XConnection::get();
  return x && window ? title(*x, window) : std::string();
}

std::string windowClass(WindowId window) {
  XConnection* x = XConnection::get();
  return x && window ? className(*x, window) : std::string();
}

bool isWindowMinimized(WindowId window) {
  XConnection* x = XConnection::get();
  if (!x || window == 0) return false;
  if (wmState(*x, window) == kIconicState) return true;
  auto states = readLongProperty(*x, window, x->atom("_NET_WM_STATE"), XA_ATOM);
  for (unsigned long s : states)
    if (s == x->atom("_NET_WM_STATE_HIDDEN")) return true;
  return false;
}

bool isWindowVisible(WindowId window) {
  XConnection* x = XConnection::get();
  if (!x || window == 0) return false;
  if (viewable(*x, window)) return true;
  long state = wmState(*x, window);
  return state == kIconicState;
}

WindowId foregroundWindow() {
  XConnection* x = XConnection::get();
  if (!x) return 0;
  if (x->hasWindowManager()) {
    auto active = readLongProperty(*x, x->root(), x->atom("_NET_ACTIVE_WINDOW"), XA_WINDOW);
    return active.empty() ? 0 : active[0];
  }
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(x->dpy(), &focus, &revert);
  if (focus == None || focus == PointerRoot) return 0;
  Window top = topAncestor(*x, focus);
  return top ? clientOf(*x, top) : 0;
}

bool hasFocus(WindowId window) {
  XConnection* x = XConnection::get();
  if (!x || window == 0) return false;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(x->dpy(), &focus, &revert);
  for (Window w = focus; w != 0 && w != PointerRoot && w != x->root(); w = parentOf(*x, w))
    if (w == window) return true;
  return false;
}

bool restoreWindow(WindowId window) {
  XConnection* x = XConnection::get();
  if (!x || !windowExists(window)) return false;
  if (isWindowMinimized(window)) {
    // ICCCM: mapping an iconic client asks for the normal state.
    XMapWindow(x->dpy(), window);
    if (x->hasWindowManager()) {
      Atom state = x->atom("_NET_WM_STATE");
      sendToRoot(*x, window, state, 0 /* remove */, static_cast<long>(x->atom("_NET_WM_STATE_HIDDEN")));
    }
  }
  XFlush(x->dpy());
  return true;
}

bool bringToFront(WindowId window, int waitMs) {
  XConnection* x = XConnection::get();
  if (!x || !windowExists(window)) return false;
  restoreWindow(window);
  bool managed = x->hasWindowManager();
  auto start = std::chrono::steady_clock::now();
  auto deadline = start + std::chrono::milliseconds(waitMs);
  auto nextAsk = start;
  bool forced = false;
  while (true) {
    // In front means shown and focused: an iconic window may keep the focus for a moment.
    if (hasFocus(window) && viewable(*x, window) && !isWindowMinimized(window)) return true;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    if (now >= nextAsk) {
      // Asked again now and then: a window manager ignores a window it does not manage yet.
      if (managed) {
        // Source 2 (a pager): the request comes from the user's side, so no focus-stealing guard.
        WindowId current = foregroundWindow();
        sendToRoot(*x, window, x->atom("_NET_ACTIVE_WINDOW"), 2, CurrentTime, static_cast<long>(current));
      } else {
        XMapRaised(x->dpy(), window);
      }
      XFlush(x->dpy());
      nextAsk = now + std::chrono::milliseconds(100);
    }
    // No window manager, or one that ignores the request: set the focus ourselves once the
    // window is on the screen.
    if (!forced && (!managed || now - start > std::chrono::milliseconds(waitMs / 2)) && viewable(*x, window)) {
      XErrorTrap trap(*x);
      XRaiseWindow(x->dpy(), window);
      XSetInputFocus(x->dpy(), window, RevertToParent, CurrentTime);
      forced = trap.sync() == 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool closeWindow(WindowId window) {
  XConnection* x = XConnection::get();
  if (!x || !windowExists(window)) return false;
  Atom* protocols = nullptr;
  int count = 0;
  bool takesDelete = false;
  Atom deleteAtom = x->atom("WM_DELETE_WINDOW");
  {
    XErrorTrap trap(*x);
    if (XGetWMProtocols(x->dpy(), window, &protocols, &count)) {
      for (int i = 0; i < count; ++i)
        if (protocols[i] == deleteAtom) takesDelete = true;
    }
    if (protocols) XFree(protocols);
    (void)trap.sync();
  }
  if (takesDelete) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = x->atom("WM_PROTOCOLS");
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(deleteAtom);
    ev.xclient.data.l[1] = CurrentTime;
    XErrorTrap trap(*x);
    XSendEvent(x->dpy(), window, False, NoEventMask, &ev);
    return trap.sync() == 0;
  }
  if (x->hasWindowManager() && netSupported(*x, "_NET_CLOSE_WINDOW")) {
    sendToRoot(*x, window, x->atom("_NET_CLOSE_WINDOW"), CurrentTime, 2);
    XFlush(x->dpy());
    return true;
  }
  return false;
}

WindowId windowUnderPointer() {
  XConnection* x = XConnection::get();
  if (!x) return 0;
  Window root = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (!XQueryPointer(x->dpy(), x->root(), &root, &child, &rx, &ry, &wx, &wy, &mask) || child == 0)
    return 0;
  return clientOf(*x, child);
}

bool windowRect(WindowId window, WindowRect& rect) {
  XConnection* x = XConnection::get();
  if (!x || window == 0) return false;
  XWindowAttributes attrs;
  Window child = 0;
  int rx = 0, ry = 0;
  {
    XErrorTrap trap(*x);
    Status ok = XGetWindowAttributes(x->dpy(), window, &attrs);
    if (ok) XTranslateCoordinates(x->dpy(), window, x->root(), 0, 0, &rx, &ry, &child);
    if (trap.sync() != 0 || !ok) return false;
  }
  rect = {rx, ry, attrs.width, attrs.height};
  auto extents = readLongProperty(*x, window, x->atom("_NET_FRAME_EXTENTS"), XA_CARDINAL);
  if (extents.size() == 4) {  // left, right, top, bottom
    rect.x -= static_cast<int>(extents[0]);
    rect.y -= static_cast<int>(extents[2]);
    rect.width += static_cast<int>(extents[0] + extents[1]);
    rect.height += static_cast<int>(extents[2] + extents[3]);
  }
  return true;
}

}  // namespace ov::os
