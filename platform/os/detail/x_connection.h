// The process's own Xlib connection, shared by the window list, input injection and hot keys.
// Internal to ov_os: other folders never include it.
//
// GUI thread only. The connection is opened on first use and kept for the life of the process.
// X errors on it never end the program: they are ignored, or collected by an XErrorTrap.
#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QSocketNotifier;

namespace ov::os::detail {

class XConnection {
 public:
  // nullptr when DISPLAY names no reachable server or XTest is missing.
  static XConnection* get();

  Display* dpy() const { return m_dpy; }
  Window root() const { return m_root; }
  Atom atom(const char* name);

  // True while a window manager announces itself through _NET_SUPPORTING_WM_CHECK.
  bool hasWindowManager();

  // Listeners see every event read from the connection (key presses of grabs, mapping changes).
  int addListener(std::function<void(XEvent&)> listener);
  void removeListener(int id);

  // Reads and dispatches the events Xlib has queued or the server has sent.
  void pump();

  // Once a QCoreApplication exists: dispatches events from Qt's event loop as they arrive.
  void watchInEventLoop();

 private:
  XConnection(Display* dpy);

  Display* m_dpy;
  Window m_root;
  std::map<std::string, Atom> m_atoms;
  std::map<int, std::function<void(XEvent&)>> m_listeners;
  int m_nextListener = 1;
  bool m_watching = false;
  bool m_pumping = false;
  QSocketNotifier* m_notifier = nullptr;
};

// Collects the X errors of our connection from construction to sync(); nestable.
class XErrorTrap {
 public:
  explicit XErrorTrap(XConnection& x);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

  // Waits for the server to process every request sent so far; returns the first error code
  // (BadAccess, BadWindow, ...) seen since the trap was set, or 0.
  int sync();

 private:
  XConnection& m_x;
  int m_savedError;
};

// Reads a window property of 32-bit items (WINDOW, ATOM, CARDINAL); empty when absent.
std::vector<unsigned long> readLongProperty(XConnection& x, Window w, Atom property, Atom type);

}  // namespace ov::os::detail
