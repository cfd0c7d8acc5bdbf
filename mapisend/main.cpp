// tessel: sends one stored message (single, mass mailing, mail merge or mail script; a test
// message without a number) through the system's mail client and ends. Command line: the message
// number, then any of "/NOBCC", "/BCC", "/NEGXY". The outcome is the exit code (send_message.h);
// ".\TESSEL.LOG" in the data folder describes the run.
#include <QApplication>

#include "mapisend/main_frame.h"
#include "platform/rt/command_line.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ov::rt::setCommandLine(argc, argv);
  return ov::mapisend::runProgram();
}
