#include "datalib/program_hooks.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace ov::files {
namespace {

std::mutex g_mutex;

void logToStderr(std::string_view text, std::string_view label) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(label.size()), label.data(), static_cast<int>(text.size()),
               text.data());
}

EventLogWriter& writer() {
  static EventLogWriter w = logToStderr;
  return w;
}

WindowHiddenProbe& probe() {
  static WindowHiddenProbe p = [] { return false; };
  return p;
}

}  // namespace

EventLogWriter setEventLogWriter(EventLogWriter w) {
  std::lock_guard lock(g_mutex);
  EventLogWriter old = std::move(writer());
  writer() = w ? std::move(w) : EventLogWriter(logToStderr);
  return old;
}

WindowHiddenProbe setWindowHiddenProbe(WindowHiddenProbe p) {
  std::lock_guard lock(g_mutex);
  WindowHiddenProbe old = std::move(probe());
  probe() = p ? std::move(p) : WindowHiddenProbe([] { return false; });
  return old;
}

void writeEventLog(std::string_view text, std::string_view label) {
  EventLogWriter w;
  {
    std::lock_guard lock(g_mutex);
    w = writer();
  }
  w(text, label);
}

bool isCallerWindowHidden() {
  WindowHiddenProbe p;
  {
    std::lock_guard lock(g_mutex);
    p = probe();
  }
  return p();
}

}  // namespace ov::files
