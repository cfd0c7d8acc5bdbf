// OpenWindowList: the main program's single-instance windows that are open, by procedure name
// (64 characters) and the logical thread that shows each.
//
// Threading: GUI thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ov::scheduler {

struct OpenWindowEntry {
  std::string name;
  int thread = 0;
};

std::vector<OpenWindowEntry>& OpenWindowList();

// The thread that shows window `name`, 0 when none does.
int openWindowThread(std::string_view name);
// Enters `name` for `thread` (replacing an older entry of that name); leave removes it again
// when it is still that thread's.
void enterOpenWindow(std::string_view name, int thread);
void leaveOpenWindow(std::string_view name, int thread);

}  // namespace ov::scheduler
