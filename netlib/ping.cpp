#include "netlib/net_ping.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>

#include "netlib/detail/dns.h"
#include "netlib/detail/log.h"
#include "netlib/detail/testing.h"
#include "netlib/net_error.h"
#include "platform/rt/fixed_string.h"

namespace ov::net {
namespace {

constexpr size_t kEchoData = 20;  // "X" and 19 zero bytes

struct Icmp {
  std::mutex mutex;
  bool loaded = false;
  bool loadFailed = false;
  int socketType = 0;  // SOCK_DGRAM or SOCK_RAW
  bool forceUnavailable = false;
};

Icmp& icmp() {
  static Icmp* s = new Icmp;
  return *s;
}

std::atomic<std::uint16_t> g_sequence{0};

int openIcmp(int type) { return ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP); }

// RunTimeLoadProcedures_ICMP: finds out once which ICMP socket this process may use.
long loadIcmp() {
  Icmp& s = icmp();
  std::lock_guard lock(s.mutex);
  if (s.loadFailed) return kNetCouldNotLoadProcedures;
  if (s.loaded) return 0;
  if (detail::logAll()) detail::logLine("NetPing", "About to Load at Run-Time the ICMP.dll functions needed in Wirelet.");
  for (int type : {SOCK_DGRAM, SOCK_RAW}) {
    if (s.forceUnavailable) break;
    int fd = openIcmp(type);
    if (fd < 0) continue;
    ::close(fd);
    s.socketType = type;
    s.loaded = true;
    if (detail::logAll())
      detail::logLine("NetPing", std::string("Loaded ICMP.DLL functions. fpIcmpCreateFile = ") +
                                     (type == SOCK_DGRAM ? "ICMP datagram socket" : "raw ICMP socket") +
                                     " fpIcmpCloseHandle = close fpIcmpSendEcho = sendto");
    return 0;
  }
  if (detail::logAll())
    detail::logLine("NetPing", "Warning. Could not load ICMP.DLL (ICMP.DLL). Wirelet will continue to function, but no "
                               "network sensing will be possible. API Error = " + std::to_string(errno));
  s.loadFailed = true;
  return kNetCouldNotLoadProcedures;
}

std::uint16_t checksum(const unsigned char* data, size_t size) {
  std::uint32_t sum = 0;
  for (size_t i = 0; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
  if (size & 1) sum += static_cast<std::uint32_t>(data[size - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

// True when an echo reply with our sequence number (and, on a raw socket, our id) from `to` came.
bool echo(int fd, int type, std::uint32_t to, long timeoutMs) {
  unsigned char packet[8 + kEchoData] = {};
  std::uint16_t id = static_cast<std::uint16_t>(::getpid());
  std::uint16_t seq = ++g_sequence;
  packet[0] = ICMP_ECHO;
  packet[4] = static_cast<unsigned char>(id >> 8);
  packet[5] = static_cast<unsigned char>(id);
  packet[6] = static_cast<unsigned char>(seq >> 8);
  packet[7] = static_cast<unsigned char>(seq);
  packet[8] = 'X';
  std::uint16_t sum = checksum(packet, sizeof packet);
  packet[2] = static_cast<unsigned char>(sum >> 8);
  packet[3] = static_cast<unsigned char>(sum);
  sockaddr_in dest{};
  dest.sin_family = AF_INET;
  dest.sin_addr.s_addr = to;
  if (::sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest) < 0) return false;

  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0L, timeoutMs));
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    int n = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    unsigned char reply[1500];
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    ssize_t got = ::recvfrom(fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (got <= 0) continue;
    const unsigned char* icmpPart = reply;
    ssize_t icmpSize = got;
    if (type == SOCK_RAW) {  // the reply starts with its IP header
      size_t header = static_cast<size_t>(reply[0] & 0x0F) * 4;
      if (static_cast<size_t>(got) < header + 8) continue;
      icmpPart = reply + header;
      icmpSize = got - static_cast<ssize_t>(header);
    }
    if (icmpSize < 8 || icmpPart[0] != ICMP_ECHOREPLY || from.sin_addr.s_addr != to) continue;
    if ((icmpPart[6] << 8 | icmpPart[7]) != seq) continue;
    if (type == SOCK_RAW && (icmpPart[4] << 8 | icmpPart[5]) != id) continue;
    return true;
  }
}

}  // namespace

long NetPing(std::string_view host, long timeoutMs) {
  std::string name(rt::clipView(host));
  name.erase(0, name.find_first_not_of(' '));
  if (detail::logAll()) detail::logLine("NetPing", "Ping request [" + name + "].");
  if (loadIcmp() != 0) {
    if (detail::logAll())
      detail::logLine("NetPing", "Error. Could not load the procedures used for PING. (ERROR:CouldNotLoadProcedures)");
    return kNetCouldNotLoadProcedures;
  }
  int type = icmp().socketType;
  int fd = openIcmp(type);
  if (fd < 0) return kNetCouldNotLoadProcedures;
  in_addr a{};
  if (::inet_pton(AF_INET, name.c_str(), &a) != 1) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (!name.empty() && ::getaddrinfo(name.c_str(), nullptr, &hints, &result) == 0 && result)
      a = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
    if (result) ::freeaddrinfo(result);
  }
  if (a.s_addr == 0) {
    if (detail::logAll())
      detail::logLine("NetPing", "Error. Could not convert [" + name + "] to a valid IP address (ERROR:AddressNotFound). "
                                 "Either its incorrect or a DNS Server could not be reached");
    ::close(fd);
    return kNetAddressNotFound;
  }
  if (detail::logAll())
    detail::logLine("NetPing", "About to try and Ping " + name + " [" + detail::dottedAddress(a.s_addr) + "].");
  bool answered = echo(fd, type, a.s_addr, timeoutMs);
  ::close(fd);
  if (detail::logAll()) detail::logLine("NetPing", answered ? "Ping successful. Returned = 1" : "Ping failed. Returned = 0");
  return answered ? 0 : kNetPingUnsuccessful;
}

namespace detail::testing {

void setIcmpUnavailable(bool unavailable) {
  Icmp& s = icmp();
  std::lock_guard lock(s.mutex);
  s.forceUnavailable = unavailable;
  s.loaded = s.loadFailed = false;
}

}  // namespace detail::testing
}  // namespace ov::net
