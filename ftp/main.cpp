// ovftp: performs one FTP upload, download or remote folder command given on its command line,
// shows its progress in a small window, leaves FTPLOG.INI in its own folder after a failure and
// ends with 0 for success or -1. Command line and operations: ftp/ftp_command.h.
#include <QApplication>

#include <cstdlib>
#include <vector>

#include "ftp/ftp_window.h"
#include "platform/rt/command_line.h"
#include "platform/rt/process.h"

int main(int argc, char** argv) {
  // Without a display the run goes on offscreen, and as nobody could answer a message box it
  // reports as a run a task started does ("/AUTO"): by its exit code and FTPLOG.INI.
  const bool noDisplay = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
  if (noDisplay) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ov::rt::setCommandLine(argc, argv);
  std::vector<std::string> words = ov::rt::commandWords();
  std::vector<std::string> values(words.begin() + (words.empty() ? 0 : 1), words.end());
  if (noDisplay) values.push_back("/AUTO");
  return ov::ftp::FtpProgram(values, ov::rt::programFolder());
}
