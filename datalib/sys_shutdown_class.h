// SysShutdownClass: tells a program's main window that the session is ending or the power state
// changes. It hooks the window's chain of message hooks, answers the session-end queries with
// values fixed at set-up and posts each message as a window event to the window's thread:
//
//   WM_QUERYENDSESSION  EVENT:QueryEndSession 2065 (answered RETVALQUERY, not passed on)
//   WM_ENDSESSION       EVENT:EndSession 2070      (answered RETVALEND, not passed on)
//   WM_POWERBROADCAST   2583 query suspend, 2582 query standby, 2581 suspend, 2580 standby,
//                       2579 low battery, 2578 power status change, 2584 any other (passed on)
//   WM_DEVICECHANGE     EVENT:DeviceChange 2585, so "Device change" triggers can fire (passed on)
//
// Init also starts the session and power watch of platform/os that produces these messages.
// One object per process; GUI thread.
#pragma once

#include <cstdint>
#include <memory>

namespace ov::os {
class SessionWatch;
}

namespace ov::files {

namespace ShutdownEvent {
constexpr int QueryEndSession = 2065;
constexpr int EndSession = 2070;
constexpr int PowerStatusChange = 2578;
constexpr int LowBattery = 2579;
constexpr int Standby = 2580;
constexpr int Suspend = 2581;
constexpr int QueryStandby = 2582;
constexpr int QuerySuspend = 2583;
constexpr int PowerOther = 2584;
constexpr int DeviceChange = 2585;
}  // namespace ShutdownEvent

class SysShutdownClass {
 public:
  SysShutdownClass();
  ~SysShutdownClass();

  int32_t RETVALQUERY = 0;
  int32_t RETVALEND = 0;
  int32_t HWND = 0;
  int32_t HWNDPROC = 0;

  // `watchSession` false leaves the platform's session watch out (tests send the messages).
  void Init(int32_t queryAnswer, int32_t endAnswer, bool watchSession = true);
  void Kill();

  intptr_t ShutdownWindowProc(int32_t hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam);

 private:
  std::unique_ptr<os::SessionWatch> m_watch;
  int32_t m_procNumber = 0;
};

}  // namespace ov::files
