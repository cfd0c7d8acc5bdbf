// Qt's headers must come before Xlib's, which define Bool, Status and None as macros.
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include "platform/os/detail/x_connection.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>

#include <vector>

namespace ov::os::detail {
namespace {

XErrorHandler g_previousHandler = nullptr;
Display* g_ours = nullptr;
int g_trapDepth = 0;
int g_firstError = 0;

// Installed once for the process. Errors of other Xlib connections (Qt may hold one) go to the
// handler that was there before; errors of ours are recorded while a trap is set, else dropped,
// instead of Xlib's default of ending the program.
int onXError(Display* d, XErrorEvent* e) {
  if (d == g_ours) {
    if (g_trapDepth > 0 && g_firstError == 0) g_firstError = e->error_code;
    return 0;
  }
  return g_previousHandler ? g_previousHandler(d, e) : 0;
}

void installHandler() {
  // Others (Qt's xcb plugin among them) may have put their own handler in since: take the place
  // back and pass their displays' errors on to them.
  XErrorHandler current = XSetErrorHandler(onXError);
  if (current != onXError) g_previousHandler = current;
}

}  // namespace

XConnection* XConnection::get() {
  static XConnection* instance = nullptr;
  static bool tried = false;
  if (tried) return instance;
  tried = true;
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return nullptr;
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(dpy, &event, &error, &major, &minor)) {
    XCloseDisplay(dpy);
    return nullptr;
  }
  int xkbOpcode = 0, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
  if (!XkbQueryExtension(dpy, &xkbOpcode, &event, &error, &xkbMajor, &xkbMinor)) {
    XCloseDisplay(dpy);
    return nullptr;
  }
  g_ours = dpy;
  installHandler();
  // Fake input must reach the server even while another client holds a server grab.
  XTestGrabControl(dpy, True);
  instance = new XConnection(dpy);  // kept for the life of the process
  return instance;
}

XConnection::XConnection(Display* dpy) : m_dpy(dpy), m_root(DefaultRootWindow(dpy)) {}

Atom XConnection::atom(const char* name) {
  auto it = m_atoms.find(name);
  if (it != m_atoms.end()) return it->second;
  Atom a = XInternAtom(m_dpy, name, False);
  m_atoms.emplace(name, a);
  return a;
}

std::vector<unsigned long> readLongProperty(XConnection& x, Window w, Atom property, Atom type) {
  std::vector<unsigned long> out;
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  XErrorTrap trap(x);
  int rc = XGetWindowProperty(x.dpy(), w, property, 0, 65536, False, type, &actualType, &format,
                              &count, &after, &data);
  if (rc == Success && data && format == 32 && actualType == type) {
    // Xlib hands 32-bit items back as longs.
    auto* items = reinterpret_cast<unsigned long*>(data);
    out.assign(items, items + count);
  }
  if (data) XFree(data);
  (void)trap.sync();  // a window that vanished simply has no property
  return out;
}

bool XConnection::hasWindowManager() {
  auto check = readLongProperty(*this, m_root, atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
  if (check.empty() || check[0] == 0) return false;
  // A stale property (the manager died) points at a window that is gone or lacks the mark.
  auto self = readLongProperty(*this, check[0], atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
  return !self.empty() && self[0] == check[0];
}

int XConnection::addListener(std::function<void(XEvent&)> listener) {
  int id = m_nextListener++;
  m_listeners.emplace(id, std::move(listener));
  return id;
}

void XConnection::removeListener(int id) { m_listeners.erase(id); }

void XConnection::pump() {
  if (m_pumping) return;  // a listener's own requests may read more events; they wait their turn
  m_pumping = true;
  while (XPending(m_dpy) > 0) {
    XEvent ev;
    XNextEvent(m_dpy, &ev);
    if (ev.type == MappingNotify) XRefreshKeyboardMapping(&ev.xmapping);
    // Copy: a listener may add or remove listeners.
    auto listeners = m_listeners;
    for (auto& [id, listener] : listeners) listener(ev);
  }
  m_pumping = false;
}

void XConnection::watchInEventLoop() {
  if (m_watching || !QCoreApplication::instance()) return;
  m_watching = true;
  m_notifier = new QSocketNotifier(ConnectionNumber(m_dpy), QSocketNotifier::Read,
                                   QCoreApplication::instance());
  QObject::connect(m_notifier, &QSocketNotifier::activated, [this] { pump(); });
  // Xlib reads events into its own queue during any round trip, after which the socket stays
  // quiet; look at that queue (a local check) on every pass of the loop.
  if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
    auto queued = [this] {
      if (XEventsQueued(m_dpy, QueuedAlready) > 0) pump();
    };
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, m_notifier, queued);
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, m_notifier, queued);
  }
}

XErrorTrap::XErrorTrap(XConnection& x) : m_x(x), m_savedError(g_firstError) {
  installHandler();
  XSync(m_x.dpy(), False);  // errors of earlier requests are not ours to report
  ++g_trapDepth;
  g_firstError = 0;
}

XErrorTrap::~XErrorTrap() {
  --g_trapDepth;
  g_firstError = m_savedError;
}

int XErrorTrap::sync() {
  XSync(m_x.dpy(), False);
  int err = g_firstError;
  g_firstError = 0;
  return err;
}

}  // namespace ov::os::detail
