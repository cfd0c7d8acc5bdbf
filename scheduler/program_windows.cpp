#include "scheduler/program_windows.h"

#include <map>

namespace ov::scheduler {

namespace {

std::map<std::string, ui::ProcFactory, std::less<>>& table() {
  static std::map<std::string, ui::ProcFactory, std::less<>> windows;
  return windows;
}

}  // namespace

void registerProgramWindow(std::string name, ui::ProcFactory factory) {
  if (factory)
    table()[std::move(name)] = std::move(factory);
  else
    table().erase(name);
}

int startProgramWindow(std::string_view name, int stack) {
  const auto it = table().find(name);
  if (it == table().end()) return 0;
  return ui::START(it->second, stack);
}

}  // namespace ov::scheduler
