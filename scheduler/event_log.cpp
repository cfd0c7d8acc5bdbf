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
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "scheduler/detail/user_date.h"
#include "scheduler/globals.h"
#include "scheduler/message_hook.h"

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
  showMessage({"The event log " + path + " cannot be written: " + std::strerror(error), "Event Log",
               Icon::Exclamation, Buttons::Ok, Answer::Ok});
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
  const std::string path(files::GLO.LOGFILENAME.clipped());
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
  std::string dateText = detail::userDateText(today);
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

void closeEventLog() {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  closeLocked(s);
}

}  // namespace ov::scheduler
