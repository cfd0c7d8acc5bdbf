// The "Start Script" step: loads the steps of a script exchange file (".ovs") into the running
// queue, each with its due moment, by a mode letter:
//   "I"  insert right behind the running step; the steps queued after it move later by the time
//        the new steps take;
//   "A"  append behind everything queued, ending with an "**End**" marker;
//   "J"  replace the whole queue with them (any other letter replaces as well).
// Blank and "Comment" lines are left out; a line with an unknown action is reported ("Import
// Error") and left out. The loading runs behind the "Importing Script Items" process window.
// Frame (GUI) thread, with the application's windows.
#pragma once

#include <string_view>

namespace ov::scheduler {

// False, with a message box naming the file, when the file cannot be read; the queue is then
// left as it was.
bool StartScript(std::string_view fileName, char mode);

}  // namespace ov::scheduler
