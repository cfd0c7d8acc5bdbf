// What the script interpreter and the program runner ask of the parts of the main program built
// around them: mail sending, the tray icon, the frame window, the Windows error names, the
// machine's log-off, reboot and shut-down, and the file actions' status lines. Each is a
// replaceable function; the main program installs its own at start-up, tests install fakes.
// Where one is not installed the interpreter goes on as each member states.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/os/window_list.h"

namespace ov::scheduler {

enum class SystemAction { LogOff, Reboot, ShutDown };

struct ScriptServices {
  // SendMessageRecord(message, 0, 1): the result of sending stored message `message`, 0 when it
  // was sent. Not installed: the program's own SendMessageRecord (message_sending.h).
  std::function<int32_t(int32_t message)> sendMessageRecord;
  // Shows another icon of the tray ("busykey2.ico", ...). Not installed: nothing.
  std::function<void(std::string_view icon)> changeTrayIcon;
  // Brings the frame window to the top. Not installed: nothing.
  std::function<void()> raiseFrame;
  // The frame's own X window, 0 when it has none. Not installed: 0.
  std::function<os::WindowId()> frameWindow;
  // The upper-case name of a system error code ("BAD NETPATH"); "Unknown Status" for an unknown
  // one. Not installed: the program's own name table (system_error_text.h).
  std::function<std::string(int code)> systemErrorText;
  // Asks the session manager to log off, reboot or shut down; false when it refused. Not
  // installed: logind over D-Bus.
  std::function<bool(SystemAction action)> systemRequest;
  // One status line of the file actions' progress ("Searching ...", "a->b", "Skipping ...").
  // Not installed: nothing is shown.
  std::function<void(std::string_view line)> fileActionStatus;
};

ScriptServices& scriptServices();

// The calls above with their defaults.
int32_t sendMessageRecord(int32_t message);
std::string systemErrorText(int code);
bool systemRequest(SystemAction action);

}  // namespace ov::scheduler
