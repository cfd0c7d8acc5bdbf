// Log-off, reboot and shut-down of the machine, asked of logind over D-Bus.
//
// Tests (and callers' tests) set a recorder: while one is set, requests go to it and the system
// is left alone.
#pragma once

#include <QDBusConnection>

#include <functional>
#include <string>

namespace ov::os {

enum class SystemRequest { LogOff, Reboot, ShutDown };

// True when logind took the request. False with `detail` set to the refusal (no permission,
// no logind, no session to end). Log-off ends the session named by $XDG_SESSION_ID, else the
// session of this process.
bool requestSystem(SystemRequest what, std::string* detail = nullptr);
bool requestSystem(SystemRequest what, const QDBusConnection& bus, std::string* detail = nullptr);

// While set, requests are handed to `recorder` (and answered true) instead of going to logind.
// An empty function ends the recording.
void setSystemRequestRecorder(std::function<void(SystemRequest)> recorder);

}  // namespace ov::os
