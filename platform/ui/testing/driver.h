// The test driver: a test's script runs on a thread of its own while the test's main thread runs
// the GUI; every call below is carried out on the GUI thread, and every action waits until the
// events it caused have been handled (or a handler sits in a modal loop). So a script reads like a
// user's session, also across modal windows:
//
//   ScriptedHost host;
//   runScript([&](Driver& d) {
//     d.later([&] { response = form.Run(); });        // a called window: runs modally
//     WindowDriver w = d.waitWindow("UpdateHolidays");
//     w.type("?HOL:Date", "3/15/2026");
//     w.press("?OK");
//     d.waitClosed(w);
//   });
//
// Controls are named as declared ("?OK") or by their caption without "&" ("OK"). A failed action
// (no such control, hidden, disabled, timeout) fails the test and the script goes on.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "platform/ui/runtime.h"

class QApplication;

namespace ov::ui::test {

using namespace std::chrono_literals;

// The test program's QApplication, created on first use on the calling (main) thread; offscreen
// unless QT_QPA_PLATFORM says otherwise.
QApplication& application();

class Driver;

class WindowDriver {
 public:
  WindowDriver() = default;
  WindowDriver(Driver* d, Handle h) : m_driver(d), m_handle(h) {}
  bool valid() const { return m_handle != 0; }
  Handle handle() const { return m_handle; }

  // Actions.
  void press(std::string_view control);                 // a button, region, menu item or radio
  void type(std::string_view control, std::string_view text);  // replaces the text, not accepted yet
  void accept(std::string_view control);                // completes the field (Enter)
  void enter(std::string_view control, std::string_view text) { type(control, text); accept(control); }
  void choose(std::string_view control, std::string_view item);  // drop list, combo, option
  void check(std::string_view control, bool on);
  void selectTab(std::string_view tab);                 // a tab by name or caption
  void key(std::string_view control, int keycode);      // a key pressed on a control ("" = the window)
  void post(int event, std::string_view control = {});
  void tick(int n = 1);                                 // timer events
  void close();                                         // the title bar's close button
  void spin(std::string_view control, int steps);

  // Reads.
  bool isOpen() const;
  std::string title() const;
  std::string text(std::string_view control) const;    // what the control shows
  bool shown(std::string_view control) const;
  bool enabled(std::string_view control) const;
  std::string tip(std::string_view control) const;
  std::string prop(std::string_view control, int prop) const;
  int choice(std::string_view control) const;
  int focus() const;
  std::vector<std::string> tabs(std::string_view sheet) const;  // captions of the tabs shown

  // Runs `fn` with the window on the GUI thread, on the window's logical thread (its record buffers).
  void with(const std::function<void(Window&)>& fn) const;

 private:
  Driver* m_driver = nullptr;
  Handle m_handle = 0;
};

class Driver {
 public:
  // Waits for an open window of the procedure (the newest when there are several).
  WindowDriver waitWindow(std::string_view procedure, std::chrono::milliseconds timeout = 5s);
  // Waits until the window has closed.
  void waitClosed(const WindowDriver& w, std::chrono::milliseconds timeout = 5s);
  // Waits until `condition` (asked on the GUI thread) holds; false after the timeout.
  bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s);
  // Waits until no event can be delivered and no set-up is pending.
  void settle();

  // Runs `fn` on the GUI thread and waits for it. It must not open a modal window: use later.
  void gui(const std::function<void()>& fn);
  // Queues `fn` for the GUI thread and returns at once (calling a window modally, say).
  void later(std::function<void()> fn);
  // START on the GUI thread.
  int start(ProcFactory factory);
};

// Runs `script` on a thread of its own while this thread runs the GUI; returns when the script
// has ended and every window is closed. A script that runs longer than `timeout` fails the test.
void runScript(const std::function<void(Driver&)>& script, std::chrono::milliseconds timeout = 30s);

}  // namespace ov::ui::test
