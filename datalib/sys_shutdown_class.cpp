#include "datalib/sys_shutdown_class.h"

#include "platform/os/session_watch.h"
#include "platform/os/win_msg.h"
#include "platform/os/window_sink.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"
#include "platform/ui/window_proc.h"

namespace ov::files {

SysShutdownClass::SysShutdownClass() = default;
SysShutdownClass::~SysShutdownClass() = default;

void SysShutdownClass::Init(int32_t queryAnswer, int32_t endAnswer, bool watchSession) {
  RETVALQUERY = queryAnswer;
  RETVALEND = endAnswer;
  ui::Window* w = ui::currentWindow();
  if (!w) return;
  HWND = w->handle();
  HWNDPROC = static_cast<int32_t>(w->propInt(0, ui::Prop::WndProc));
  if (!m_procNumber) {
    m_procNumber = ui::registerWindowProc([this](ui::Handle h, uint32_t m, ui::WPARAM wp, ui::LPARAM lp) {
      return ShutdownWindowProc(h, m, wp, lp);
    });
  }
  w->setProp(0, ui::Prop::WndProc, static_cast<int64_t>(m_procNumber));
  w->setProp(0, ui::Prop::Immediate, 1);
  if (watchSession && !m_watch) m_watch = std::make_unique<os::SessionWatch>(os::sendTo(HWND));
}

void SysShutdownClass::Kill() {
  m_watch.reset();
  for (ui::Window* w : ui::openWindows()) {
    if (w->handle() == HWND && m_procNumber && w->propInt(0, ui::Prop::WndProc) == m_procNumber)
      w->setProp(0, ui::Prop::WndProc, static_cast<int64_t>(HWNDPROC));
  }
}

intptr_t SysShutdownClass::ShutdownWindowProc(int32_t hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
    case ui::WM::QueryEndSession:
      ui::POST(ShutdownEvent::QueryEndSession);
      return RETVALQUERY;
    case ui::WM::EndSession:
      ui::POST(ShutdownEvent::EndSession);
      return RETVALEND;
    case ui::WM::PowerBroadcast: {
      int event = ShutdownEvent::PowerOther;
      switch (wParam) {
        case os::pbt::kQuerySuspend: event = ShutdownEvent::QuerySuspend; break;
        case os::pbt::kQueryStandby: event = ShutdownEvent::QueryStandby; break;
        case os::pbt::kSuspend: event = ShutdownEvent::Suspend; break;
        case os::pbt::kStandby: event = ShutdownEvent::Standby; break;
        case os::pbt::kBatteryLow: event = ShutdownEvent::LowBattery; break;
        case os::pbt::kPowerStatusChange: event = ShutdownEvent::PowerStatusChange; break;
        default: break;
      }
      ui::POST(event);
      break;
    }
    case ui::WM::DeviceChange:
      ui::POST(ShutdownEvent::DeviceChange);
      break;
    default:
      break;
  }
  return ui::CallWindowProc(HWNDPROC, hwnd, msg, wParam, lParam);
}

}  // namespace ov::files
