// tessel: sends one stored message (single, mass mailing, mail merge or mail script; a test
// message without a number) through the system's mail client and ends. Command line: the message
// number, then any of "/NOBCC", "/BCC", "/NEGXY", "/AUTO" (nobody watches: no message boxes).
// The outcome is the exit code (send_message.h); ".\TESSEL.LOG" in the data folder describes the
// run.
#include <QApplication>

#include <cstdlib>

#include "mapisend/main_frame.h"
#include "mapisend/send_message.h"
#include "platform/rt/command_line.h"

int main(int argc, char** argv) {
  // Without a display the run goes on offscreen; nobody could answer a message box there.
  const bool noDisplay = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
  if (noDisplay) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ov::rt::setCommandLine(argc, argv);
  ov::mapisend::Unattended = noDisplay || !ov::rt::COMMAND("/AUTO").empty();
  return ov::mapisend::runProgram();
}
