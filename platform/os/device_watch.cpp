#include "platform/os/device_watch.h"

#include <QSocketNotifier>

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace ov::os {

DeviceWatch::DeviceWatch(MessageSink sink, QObject* parent) : QObject(parent), m_sink(std::move(sink)) {
  m_fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
  if (m_fd < 0) return;
  sockaddr_nl addr{};
  addr.nl_family = AF_NETLINK;
  addr.nl_groups = 1;  // the kernel's own events
  if (bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(m_fd);
    m_fd = -1;
    return;
  }
  m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] { onReadable(); });
}

DeviceWatch::~DeviceWatch() {
  if (m_fd >= 0) close(m_fd);
}

void DeviceWatch::onReadable() {
  // "ACTION@DEVPATH\0KEY=VALUE\0...": only devices coming and going count, not their changes
  // of state (a battery's charge, say).
  bool changed = false;
  char buf[8192];
  while (true) {
    ssize_t n = recv(m_fd, buf, sizeof buf - 1, 0);
    if (n <= 0) break;
    std::string_view head(buf, strnlen(buf, static_cast<size_t>(n)));
    if (head.rfind("add@", 0) == 0 || head.rfind("remove@", 0) == 0) changed = true;
  }
  if (changed && m_sink) m_sink(WinMessage{wm::kDeviceChange, kDevNodesChanged, 0});
}

}  // namespace ov::os
