// Delivery of this layer's messages to a window of the window layer: through the window's chain
// of message hooks, as SendMessage to its handle, so the classes that hook a window see them with
// their Windows numbers and their answer comes back (e.g. to the end-of-session query).
//
//   HotKeys keys(sendTo(window.handle()));
//   SessionWatch watch(sendTo(frame.handle()));
#pragma once

#include "platform/os/win_msg.h"
#include "platform/ui/window_proc.h"

namespace ov::os {

// A sink that sends each message to `window`; a window that has gone answers 0.
MessageSink sendTo(ui::Handle window);

}  // namespace ov::os
