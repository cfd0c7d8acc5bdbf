// ov_impex: exports chosen fields of one table (TODO, SCHEDULE, CONTACT, HOLIDAYS) to a CSV file
// or imports one into it. Command line: "E" or "I" and the table word ("E SCHEDULE", "I TODO");
// anything else ends at once, before the data folder is looked for (or asked for), with a line on
// standard error and exit code 2. The data files are found through the data library's search.
#include <QApplication>

#include <cstdio>

#include "datalib/startup.h"
#include "impex/field_lists.h"
#include "impex/windows.h"
#include "platform/rt/command_line.h"
#include "platform/rt/text.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ov::rt::setCommandLine(argc, argv);
  const std::string verb(ov::rt::clipView(ov::rt::COMMAND("1")));
  if ((verb != "E" && verb != "I") || ov::impex::findImpexTable(ov::rt::COMMAND("2")) == nullptr) {
    std::fprintf(stderr, "usage: ov_impex E|I TODO|SCHEDULE|CONTACT|HOLIDAYS\n");
    return 2;
  }
  ov::files::OV_FILES_INIT(nullptr, nullptr);
  ov::impex::ImpExDispatch();
  ov::files::OV_FILES_KILL();
  ov::files::OV_FILES_UNLOAD();  // the tables close now, while the error state they report to lives
  return 0;
}
