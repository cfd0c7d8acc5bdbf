#include "scheduler/program_windows.h"

#include <map>
#include <memory>

#include "platform/ui/window_manager.h"

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

bool programWindowRegistered(std::string_view name) { return table().find(name) != table().end(); }

int callProgramWindow(std::string_view name) {
  const auto it = table().find(name);
  if (it == table().end()) return 0;
  // A copy: the window may register or remove procedures while it runs.
  const ui::ProcFactory factory = it->second;
  std::unique_ptr<ui::WindowManager> window = factory();
  return window ? window->Run() : 0;
}

}  // namespace ov::scheduler
