#include "platform/ui/print_job.h"

#include "platform/rt/process.h"

namespace ov::ui {

namespace {
PrintSpooler& spooler() {
  static PrintSpooler s;
  return s;
}
}  // namespace

void setPrintSpooler(PrintSpooler s) { spooler() = std::move(s); }

bool spoolFile(const std::string& file) {
  if (spooler()) return spooler()(file);
  rt::RUN("lp \"" + file + "\"", true);
  return rt::RUNCODE() == 0;
}

}  // namespace ov::ui
