// ov_rpts: the report program. It opens its frame with the Reports menu on the data folder the
// data library finds (PATH= on the command line names one); a Reports use name as the first
// argument ("?ReportsCalendar") runs that report at once. User= names the user.
#include <QApplication>

#include "datalib/help.h"
#include "datalib/startup.h"
#include "platform/rt/command_line.h"
#include "platform/ui/help_key.h"
#include "reports/report_frame.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ov::rt::setCommandLine(argc, argv);
  ov::ui::setHelpHandler([](const std::string& id) { (void)ov::files::ShowHelp(id); });
  if (!ov::reports::startReportProgram()) {
    ov::files::OV_FILES_UNLOAD();
    return 1;
  }
  {
    std::unique_ptr<ov::ui::WindowManager> frame = ov::reports::makeMain();
    frame->Run();
  }
  ov::files::OV_FILES_KILL();
  ov::files::OV_FILES_UNLOAD();  // the tables close now, while the error state they report to lives
  return 0;
}
