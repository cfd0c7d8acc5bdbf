#include "platform/os/window_sink.h"

namespace ov::os {

MessageSink sendTo(ui::Handle window) {
  return [window](const WinMessage& m) -> std::intptr_t {
    return ui::SendMessage(window, m.msg, m.wParam, m.lParam);
  };
}

}  // namespace ov::os
