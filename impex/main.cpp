// ov_impex: exports chosen fields of one table (TODO, SCHEDULE, CONTACT, HOLIDAYS) to a CSV file
// or imports one into it. Command line: "E" or "I" and the table word ("E SCHEDULE", "I TODO");
// anything else ends at once. The data files are found through the data library's search.
#include <QApplication>

#include "datalib/startup.h"
#include "impex/windows.h"
#include "platform/rt/command_line.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ov::rt::setCommandLine(argc, argv);
  const std::string verb = ov::rt::COMMAND("1");
  if (verb != "E" && verb != "I") return 0;
  ov::files::OV_FILES_INIT(nullptr, nullptr);
  ov::impex::ImpExDispatch();
  ov::files::OV_FILES_KILL();
  return 0;
}
