// Devices added to or removed from the machine, handed to a window as wm::kDeviceChange with
// wParam kDevNodesChanged, as Windows tells every top-level window. The source is the kernel's
// device events; a burst of them (one plug-in makes several) gives one message per pass of the
// event loop. GUI thread.
#pragma once

#include "platform/os/win_msg.h"

#include <QObject>

class QSocketNotifier;

namespace ov::os {

constexpr unsigned kDevNodesChanged = 7;  // DBT_DEVNODES_CHANGED

class DeviceWatch : public QObject {
 public:
  explicit DeviceWatch(MessageSink sink, QObject* parent = nullptr);
  ~DeviceWatch() override;

  // False when the system would not let us listen (nothing will be reported then).
  bool active() const { return m_fd >= 0; }

 private:
  void onReadable();

  MessageSink m_sink;
  int m_fd = -1;
  QSocketNotifier* m_notifier = nullptr;
};

}  // namespace ov::os
