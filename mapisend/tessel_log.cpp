#include "mapisend/tessel_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "datalib/date_string_functions.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"

namespace ov::mapisend {
namespace {

constexpr int kWritesPerOpen = 100;

struct EventLog {
  int fd = -1;
  uint8_t writes = 0;  // since the file was opened
  std::string path;
};

EventLog& eventLog() {
  static EventLog log;
  return log;
}

bool writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += size_t(n);
  }
  return true;
}

}  // namespace

void logKey(std::string_view section, std::string_view key, std::string_view value) {
  (void)rt::PUTINI(section, key, value, kTesselLog);  // see the header: a log line, never a reason to stop
}

void removeTesselLog() {
  const std::string path = rt::resolvePath(kTesselLog);
  (void)::unlink(path.c_str());  // a missing log is what we want
}

void closeEventLog() {
  EventLog& log = eventLog();
  if (log.fd >= 0) (void)::close(log.fd);  // appends are written through
  log.fd = -1;
  log.writes = 0;
  log.path.clear();
}

void WriteEventLog(std::string_view category, std::string_view text) {
  if (!files::LOG.ACTIVE) return;
  EventLog& log = eventLog();
  const std::string path = rt::normalizePath(files::GLO.LOGFILENAME.clipped());
  if (log.fd >= 0 && log.path != path) closeEventLog();
  if (log.fd < 0) {
    log.fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (log.fd < 0) return;  // no event log to write to; the run goes on
    log.path = path;
    log.writes = 0;
  }
  files::LogRec line;
  const std::string date = files::FMTDATE(rt::TODAY());
  line.LogDate = date.size() <= line.LogDate.size() ? date : rt::FORMAT(double(rt::TODAY()), "@d3");
  line.LogTime = rt::FORMAT(double(rt::CLOCK()), "@t7");
  line.LogLabel = category;
  line.LogData = text;
  std::string out;
  out.append(line.LogDate.view()).append(line.LogTime.view()).append(line.LogLabel.view()).append(line.LogData.view());
  out += '\n';
  (void)writeAll(log.fd, out);  // a line that cannot be written is lost, not fatal
  if (++log.writes > kWritesPerOpen) closeEventLog();
}

void debugLine(std::string_view category, std::string_view text) {
  if (files::DEBUG.ACTIVE) WriteEventLog(category, text);
}

}  // namespace ov::mapisend
