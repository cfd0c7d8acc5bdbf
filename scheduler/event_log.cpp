#include "scheduler/event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "datalib/date_string_functions.h"
#include "scheduler/globals.h"
#include "platform/ui/host.h"

namespace ov::scheduler {
namespace {

constexpr int kLinesPerOpen = 26;  // the file is closed after every 26th line

struct LogState {
  std::mutex mutex;
  int fd = -1;
  int counter = 0;          // lines written since the file was opened; 0 = closed
  std::string openPath;
  std::string reportedPath;  // the file whose failure was reported last (reported once)
};

LogState& state() {
  static LogState s;
  return s;
}

void closeLocked(LogState& s) {
  if (s.fd >= 0) (void)::close(s.fd);  // appends are written through; nothing is pending
  s.fd = -1;
  s.counter = 0;
  s.openPath.clear();
}

bool containsTestLog(std::string_view path) {
  return rt::UPPER(path).find(kTestLogName) != std::string::npos;
}

std::string trimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return std::string(s.substr(i));
}

// The line as the log stores it: the four fields of OV_LOG side by side, then a line feed.
std::string formatLine(const files::LogRec& r) {
  std::string line;
  line.reserve(kLogLineWidth + 1);
  line.append(r.LogDate.view()).append(r.LogTime.view()).append(r.LogLabel.view()).append(r.LogData.view());
  line += '\n';
  return line;
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

void reportFailure(LogState& s, const std::string& path, int error) {
  if (s.reportedPath == path) return;
  s.reportedPath = path;
  ui::MESSAGE("The event log " + path + " cannot be written: " + std::strerror(error), "Event Log",
              ui::Icon::Exclamation);
}

}  // namespace

std::string maskPasswords(std::string_view text) {
  std::string out(text);
  const std::string upper = rt::UPPER(text);
  static constexpr std::string_view kMark = "PASSWORD=";
  const size_t end = rt::clipView(out).size();
  size_t from = 0;
  while (true) {
    const size_t at = upper.find(kMark, from);
    if (at == std::string::npos || at >= end) break;
    size_t i = at + kMark.size();
    if (i < end && out[i] == '"') {
      // A quoted value runs to its closing quote; \" inside it is an escaped quote.
      size_t j = i + 1;
      while (j < end && out[j] != '"') j += out[j] == '\\' && j + 1 < end ? 2 : 1;
      const size_t stop = std::min(end, j + 1);
      for (; i < stop; ++i) out[i] = '*';
    } else {
      for (; i < end && out[i] != ' '; ++i) out[i] = '*';
    }
    from = i;
  }
  return out;
}

void WriteLog(std::string_view text, std::string_view label) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  if (!files::LOG.ACTIVE) {
    Feedback.clear();
    return;
  }
  const std::string cleanText = trimLeft(text);
  const std::string cleanLabel = trimLeft(label);

  if (!SchedulerActive) {
    if (s.fd >= 0 && !containsTestLog(files::GLO.LOGFILENAME.clipped())) closeLocked(s);
    files::GLO.LOGFILENAME = std::string(files::GLO.DATAPATH.clipped()) + std::string(kTestLogName);
  }
  const std::string path = rt::normalizePath(files::GLO.LOGFILENAME.clipped());
  if (s.fd >= 0 && s.openPath != path) closeLocked(s);
  if (s.counter == 0) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      reportFailure(s, path, errno);
      return;  // the line is dropped; a pending Feedback waits for the next one
    }
    s.fd = fd;
    s.openPath = path;
  }
  ++s.counter;

  files::LogRec line;
  line.LogLabel = cleanLabel;
  // The feedback joins the line when it fits beside the text; otherwise it follows on its own line.
  const std::string_view feedback = Feedback.clipped();
  const std::string_view clippedText = rt::clipView(cleanText);
  bool feedbackPending = !feedback.empty();
  if (feedbackPending && clippedText.size() + 1 + feedback.size() <= line.LogData.size()) {
    line.LogData = std::string(clippedText) + " " + std::string(feedback);
    feedbackPending = false;
  } else {
    line.LogData = cleanText;
  }
  const int32_t today = rt::TODAY();
  std::string dateText = files::FMTDATE(today);
  if (dateText.size() > line.LogDate.size()) dateText = rt::FORMAT(double(today), "@d3");
  line.LogDate = dateText;
  line.LogTime = rt::FORMAT(double(rt::CLOCK()), "@t7");
  line.LogData = maskPasswords(line.LogData.view());

  bool written = writeAll(s.fd, formatLine(line));
  if (written && feedbackPending) {
    files::LogRec more = line;
    more.LogLabel = "(continued)";
    more.LogData = maskPasswords(feedback);
    written = writeAll(s.fd, formatLine(more));
  }
  if (!written) {
    reportFailure(s, path, errno);
    closeLocked(s);
    return;
  }
  Feedback.clear();
  if (s.reportedPath == path) s.reportedPath.clear();
  if (s.counter >= kLinesPerOpen) closeLocked(s);
}

namespace {

// Trimming errors never stop the program; they are noted for whoever looks into DEBUG.INI.
void noteTrimError(std::string_view step, int error) {
  (void)rt::PUTINI("Log", "Error", std::string(step) + std::strerror(error), ".\\DEBUG.INI");  // best effort
}

bool readWhole(const std::string& path, std::string& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) noteTrimError("Open: ", errno);
    return false;
  }
  char buf[18200];
  int errors = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, size_t(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      noteTrimError("Next: ", errno);
      if (++errors >= 4) break;
    }
  }
  (void)::close(fd);
  return errors < 4;
}

// Writes `data` beside `path` and renames it over `path`: the log is replaced whole or not at all.
void replaceAtomically(const std::string& path, const std::string& data) {
  const std::string temp = path + ".trim";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    noteTrimError("Create: ", errno);
    return;
  }
  bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
  const int writeError = errno;
  ok = ::close(fd) == 0 && ok;
  if (!ok) {
    noteTrimError("Open: ", writeError);
    (void)::unlink(temp.c_str());  // best effort: the log itself is untouched
    return;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    noteTrimError("Remove: ", errno);
    (void)::unlink(temp.c_str());
  }
}

}  // namespace

void TrimEventLog() {
  if (!SchedulerActive || !files::LOG.ACTIVE || files::LOG.MAXSIZE == 0 || files::LOG.USENTEVENT) return;
  bool corrupt = false;
  {
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    closeLocked(s);
    const double maxSize = files::LOG.MAXSIZE;
    if (0.95 * maxSize < 18200) return;  // 95 % must hold at least 100 lines
    const std::string path = rt::normalizePath(files::GLO.LOGFILENAME.clipped());
    std::string log;
    if (!readWhole(path, log) || double(log.size()) < 1.05 * maxSize) return;
    // Drop the oldest lines until what is left is below 95 %.
    double remaining = double(log.size());
    size_t keepFrom = 0;
    while (keepFrom < log.size() && remaining >= 0.95 * maxSize) {
      size_t end = log.find('\n', keepFrom);
      end = end == std::string::npos ? log.size() : end + 1;
      remaining -= double(end - keepFrom);
      keepFrom = end;
    }
    if (keepFrom < log.size())
      replaceAtomically(path, log.substr(keepFrom));
    else
      corrupt = true;
  }
  if (corrupt) WriteLog("Unable to reduce log size", "File corruption");
}

void closeEventLog() {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  closeLocked(s);
}

}  // namespace ov::scheduler
