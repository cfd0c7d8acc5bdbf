// Helper program of the ov_os tests. Modes:
//   probe TITLE [X Y W H]   a window that writes what it receives to stdout, a line per event:
//                           "ready <id>", "key <text as hex> <Qt key> <mods>", "press <button> <x> <y>",
//                           "dblclick <button> <x> <y>", "focus in", "focus out", "close"
//   trayhost                a system-tray host (XEMBED): "ready", then "docked <id> <x> <y>" per icon
//   lock NAME               takes the single-instance lock: "locked" or "busy"; holds it until stdin ends
//   lockspawn NAME          takes the lock, starts "sleep 60", writes "spawned <pid>" and ends
//   term busy|modal SECONDS watches SIGTERM with that deadline, writes "ready", then spins without
//                           an event loop (busy) or shows a modal message box, writing "closed"
//                           and ending with 0 once the box is gone (modal)
#include "platform/os/instance_lock.h"
#include "platform/os/session_watch.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

extern char** environ;

namespace {

void say(const std::string& line) {
  std::cout << line << std::endl;  // flushed: the test reads line by line
}

std::string hex(const QString& s) {
  QByteArray utf8 = s.toUtf8();
  std::string out;
  char buf[3];
  for (unsigned char c : utf8) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out.empty() ? "-" : out;
}

std::string mods(Qt::KeyboardModifiers m) {
  std::string out;
  if (m & Qt::ShiftModifier) out += 'S';
  if (m & Qt::ControlModifier) out += 'C';
  if (m & Qt::AltModifier) out += 'A';
  if (m & Qt::MetaModifier) out += 'M';
  return out.empty() ? "-" : out;
}

class Probe : public QWidget {
 protected:
  void keyPressEvent(QKeyEvent* e) override {
    say("key " + hex(e->text()) + " " + std::to_string(e->key()) + " " + mods(e->modifiers()));
  }
  void mousePressEvent(QMouseEvent* e) override { report("press", e); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { report("dblclick", e); }
  void focusInEvent(QFocusEvent*) override { say("focus in"); }
  void focusOutEvent(QFocusEvent*) override { say("focus out"); }
  void closeEvent(QCloseEvent* e) override {
    say("close");
    e->accept();
  }

 private:
  void report(const char* what, QMouseEvent* e) {
    int button = e->button() == Qt::LeftButton ? 1 : e->button() == Qt::RightButton ? 2 : 3;
    QPoint g = e->globalPosition().toPoint();
    say(std::string(what) + " " + std::to_string(button) + " " + std::to_string(g.x()) + " " + std::to_string(g.y()));
  }
};

int probe(int argc, char** argv) {
  QApplication app(argc, argv);
  Probe w;
  w.setWindowTitle(QString::fromUtf8(argv[2]));
  w.setFocusPolicy(Qt::StrongFocus);
  int x = argc > 6 ? std::atoi(argv[3]) : 100, y = argc > 6 ? std::atoi(argv[4]) : 100;
  int width = argc > 6 ? std::atoi(argv[5]) : 400, height = argc > 6 ? std::atoi(argv[6]) : 300;
  w.setGeometry(x, y, width, height);
  // One named X window inside, as classic toolkits make for each control.
  auto* child = new QWindow(w.windowHandle() ? w.windowHandle() : nullptr);
  w.show();
  child->setParent(w.windowHandle());
  child->setTitle("Probe Child");
  child->setGeometry(10, 10, 50, 20);
  child->show();
  QObject::connect(&app, &QApplication::focusChanged, [] {});
  say("ready " + std::to_string(w.winId()));
  return app.exec();
}

// --- tray host -------------------------------------------------------------------------------

int trayHost() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 2;
  // An icon window may be gone by the time its dock request is read: carry on.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  int screen = DefaultScreen(d);
  Window root = RootWindow(d, screen);
  XSetWindowAttributes attrs{};
  attrs.override_redirect = True;
  attrs.background_pixel = BlackPixel(d, screen);
  Window tray = XCreateWindow(d, root, 1000, 0, 240, 32, 0, CopyFromParent, InputOutput, CopyFromParent,
                              CWOverrideRedirect | CWBackPixel, &attrs);
  XSelectInput(d, tray, SubstructureNotifyMask);
  XMapRaised(d, tray);
  std::string selName = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
  Atom selection = XInternAtom(d, selName.c_str(), False);
  Atom opcode = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
  Atom manager = XInternAtom(d, "MANAGER", False);
  Atom xembed = XInternAtom(d, "_XEMBED", False);
  Atom orientation = XInternAtom(d, "_NET_SYSTEM_TRAY_ORIENTATION", False);
  long horizontal = 0;
  XChangeProperty(d, tray, orientation, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&horizontal), 1);
  XSetSelectionOwner(d, selection, tray, CurrentTime);
  if (XGetSelectionOwner(d, selection) != tray) return 3;
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = root;
  ev.xclient.message_type = manager;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = CurrentTime;
  ev.xclient.data.l[1] = static_cast<long>(selection);
  ev.xclient.data.l[2] = static_cast<long>(tray);
  XSendEvent(d, root, False, StructureNotifyMask, &ev);
  XSync(d, False);
  say("ready");
  int next = 0;
  while (true) {
    XNextEvent(d, &ev);
    if (ev.type == ClientMessage && ev.xclient.message_type == opcode && ev.xclient.data.l[1] == 0) {
      Window icon = static_cast<Window>(ev.xclient.data.l[2]);
      int x = 4 + 32 * next++;
      XReparentWindow(d, icon, tray, x, 4);
      XResizeWindow(d, icon, 24, 24);
      XMapRaised(d, icon);
      XEvent notify{};
      notify.xclient.type = ClientMessage;
      notify.xclient.window = icon;
      notify.xclient.message_type = xembed;
      notify.xclient.format = 32;
      notify.xclient.data.l[0] = CurrentTime;
      notify.xclient.data.l[1] = 0;  // XEMBED_EMBEDDED_NOTIFY
      notify.xclient.data.l[3] = static_cast<long>(tray);
      XSendEvent(d, icon, False, NoEventMask, &notify);
      XSync(d, False);
      int rx = 0, ry = 0;
      Window child = 0;
      XTranslateCoordinates(d, icon, root, 0, 0, &rx, &ry, &child);
      say("docked " + std::to_string(icon) + " " + std::to_string(rx) + " " + std::to_string(ry));
    } else if (ev.type == DestroyNotify || ev.type == UnmapNotify) {
      Window w = ev.type == DestroyNotify ? ev.xdestroywindow.window : ev.xunmap.window;
      if (w != tray) say("gone " + std::to_string(w));
    }
  }
}

// --- lock ------------------------------------------------------------------------------------

int lock(const char* name, bool spawnChild) {
  ov::os::InstanceLock lock;
  int rc = lock.acquire(name);
  say(rc == 0 ? "locked" : "busy");
  if (spawnChild) {
    pid_t pid = -1;
    char sleepName[] = "sleep", sixty[] = "60";
    char* args[] = {sleepName, sixty, nullptr};
    if (posix_spawnp(&pid, "sleep", nullptr, nullptr, args, environ) != 0) return 2;
    say("spawned " + std::to_string(pid));
    return 0;  // the lock goes with this process; the child must not keep it
  }
  char c;
  while (read(0, &c, 1) > 0) {
  }
  return 0;
}

int term(int argc, char** argv, const std::string& mode) {
  QApplication app(argc, argv);
  ov::os::SessionWatch::setTermDeadline(static_cast<unsigned>(std::atoi(argv[3])));
  ov::os::SessionWatch watch([](const ov::os::WinMessage&) -> std::intptr_t { return 1; },
                             QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "helper_no_bus"));
  say("ready");
  if (mode == "busy") {
    for (volatile unsigned long n = 0;; n = n + 1) {
    }
  }
  QMessageBox box(QMessageBox::Question, "Question", "Keep this open?", QMessageBox::Yes | QMessageBox::No);
  box.exec();
  say("closed");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "term") == 0) return term(argc, argv, argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "probe") == 0) return probe(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "trayhost") == 0) return trayHost();
  if (argc >= 3 && std::strcmp(argv[1], "lock") == 0) return lock(argv[2], false);
  if (argc >= 3 && std::strcmp(argv[1], "lockspawn") == 0) return lock(argv[2], true);
  std::cerr << "usage: os_test_helper probe TITLE [X Y W H] | trayhost | lock NAME | lockspawn NAME\n";
  return 2;
}
