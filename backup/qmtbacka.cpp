// qmtbacka: the zip archiver. Opens one archive at a time in a window that lists its members and
// adds, deletes, tests and extracts members and writes the archive comment. Argument 1 is a list
// of files to recommend for backing up (shown once per list).
#include <QApplication>

#include "backup/archiver_windows.h"
#include "platform/rt/command_line.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ov::rt::setCommandLine(argc, argv);
  return ov::backup::RunArchiverProgram();
}
