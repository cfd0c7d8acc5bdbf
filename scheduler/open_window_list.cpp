#include "scheduler/open_window_list.h"

#include <algorithm>


namespace ov::scheduler {

namespace {
constexpr size_t kNameWidth = 64;

std::string entryName(std::string_view name) { return std::string(name.substr(0, kNameWidth)); }
}  // namespace

std::vector<OpenWindowEntry>& OpenWindowList() {
  static std::vector<OpenWindowEntry> list;
  return list;
}

int openWindowThread(std::string_view name) {
  const std::string key = entryName(name);
  for (const OpenWindowEntry& e : OpenWindowList())
    if (e.name == key) return e.thread;
  return 0;
}

void enterOpenWindow(std::string_view name, int thread) {
  const std::string key = entryName(name);
  std::erase_if(OpenWindowList(), [&](const OpenWindowEntry& e) { return e.name == key; });
  OpenWindowList().push_back({key, thread});
}

void leaveOpenWindow(std::string_view name, int thread) {
  const std::string key = entryName(name);
  std::erase_if(OpenWindowList(), [&](const OpenWindowEntry& e) { return e.name == key && e.thread == thread; });
}

}  // namespace ov::scheduler
