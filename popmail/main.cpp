// ov_pop: fetches the mail of one POP3 mailbox, filters it, saves texts, HTML and attachments,
// deletes on request, and ends. Options: name=value arguments or .\OV_POP.INI section [Pop]
// (SERVER, PORT, USER, PASSWORD or PASSWORDFILE, SAVETEXT, SAVEHTML, SAVEATTACH, DELETE, MESSAGE,
// SUBJECT, FROM, REPLYTO, TO, MINSIZE, MAXSIZE, TIMEOUT) and the switch /DELETE. The last error and the last
// saved file are kept in .\OV_POP.LOG; the exit code is 0 only after a complete run.

#include <QApplication>

#include <atomic>
#include <cstdlib>

#include "netlib/net_callback.h"
#include "netlib/net_log.h"
#include "platform/rt/command_line.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"
#include "popmail/main_window.h"

int main(int argc, char** argv) {
  // Without a display (a task run by a session without one) the window goes offscreen; the run
  // reports through its exit code and OV_POP.LOG as ever.
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ov::rt::setCommandLine(argc, argv);
  // An "Error" left by an earlier run must not be read as this run's.
  if (ov::rt::EXISTS(ov::pop::kPopLog)) (void)ov::rt::PUTINI("Pop", "Error", "", ov::pop::kPopLog);  // best effort

  ov::pop::PopOptions options;
  std::string missing;
  ov::pop::readPopOptions(options, missing);
  int code;
  {
    ov::pop::Main window(options, missing);
    // The library's events for this thread are drained in one pass of the GUI loop for all that
    // came meanwhile, and go straight to the receiver.
    ov::net::CallbackQueue events(1);
    std::atomic<bool> drainQueued{false};
    events.setWakeUp([&] {
      if (drainQueued.exchange(true)) return;
      QMetaObject::invokeMethod(&app, [&] {
        drainQueued = false;
        int event;
        while (events.take(event)) window.takeNetworkEvent(event);
      }, Qt::QueuedConnection);
    });
    window.Run();
    code = window.exitCode();
  }
  ov::net::NetCloseCallBackWindow();
  if (!ov::rt::COMMAND("/wireletlog").empty() || !ov::rt::COMMAND("/wireletlogerrors").empty() ||
      !ov::rt::COMMAND("/netall").empty())
    ov::net::NetDebugTrace("[Net] Closing Down Wirelet (Object) version 2.5c in application " +
                           ov::rt::LOWER(ov::rt::clipView(ov::rt::COMMAND(""))));
  return code;
}
