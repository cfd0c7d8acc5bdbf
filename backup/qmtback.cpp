// qmtback: the backup and restore runner. With BACKUP= or RESTORE= on the command line it does
// that one job behind a progress window and ends; without, it shows a small window in which the
// user picks the operation and the archive. The exit code says whether the job worked (0), failed
// (1) or was cancelled (2).
#include <QApplication>

#include "backup/runner_windows.h"
#include "platform/rt/command_line.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ov::rt::setCommandLine(argc, argv);
  return ov::backup::RunBackupProgram();
}
