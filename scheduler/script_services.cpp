#include "scheduler/script_services.h"

#include "platform/os/system_control.h"
#include "scheduler/message_sending.h"
#include "scheduler/system_error_text.h"

namespace ov::scheduler {

ScriptServices& scriptServices() {
  static ScriptServices s;
  return s;
}

int32_t sendMessageRecord(int32_t message) {
  if (scriptServices().sendMessageRecord) return scriptServices().sendMessageRecord(message);
  return SendMessageRecord(message, 0, 1);
}

std::string systemErrorText(int code) {
  if (scriptServices().systemErrorText) return scriptServices().systemErrorText(code);
  return SystemErrorText(true, code);
}

bool systemRequest(SystemAction action) {
  if (scriptServices().systemRequest) return scriptServices().systemRequest(action);
  switch (action) {
    case SystemAction::LogOff: return os::requestSystem(os::SystemRequest::LogOff);
    case SystemAction::Reboot: return os::requestSystem(os::SystemRequest::Reboot);
    case SystemAction::ShutDown: return os::requestSystem(os::SystemRequest::ShutDown);
  }
  return false;
}

}  // namespace ov::scheduler
