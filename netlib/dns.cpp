#include "netlib/detail/dns.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "netlib/detail/library.h"
#include "netlib/detail/log.h"
#include "netlib/detail/sock_err.h"
#include "netlib/net_error.h"
#include "platform/rt/fixed_string.h"

namespace ov::net::detail {

constexpr long kRecommendedDatagram = 512;

std::string dottedAddress(std::uint32_t networkOrder) {
  in_addr a{};
  a.s_addr = networkOrder;
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

std::string DNSblocking(std::string_view text) {
  std::string name(rt::clipView(text));
  std::string answer;
  in_addr a{};
  if (::inet_pton(AF_INET, name.c_str(), &a) == 1) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = a;
    char host[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0, NI_NAMEREQD) == 0)
      answer = host;
  } else if (!name.empty()) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &result) == 0 && result) {
      answer = dottedAddress(reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
    }
    if (result) ::freeaddrinfo(result);
  }
  logLine("DNSblocking", "Trying a DNS lookup of Host = " + name + " Result = " + answer);
  return answer;
}

long DGSendUDPMsg(int socket, std::uint32_t ip, std::uint16_t port, long count, const char* bytes) {
  if (count > kRecommendedDatagram)
    logLine("DGSendUDPMsg", "Warning. DataGram Packet size = " + std::to_string(count) +
                                ". This is larger than recommended size of 512. Fragmentation may occur");
  int fd = socket;
  bool own = false;
  if (fd == 0) {
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      int code = wsaError(errno);
      logLine("DGSendUDPMsg", "Error Creating DGSocket " + std::to_string(code), kLevelError);
      return code;
    }
    own = true;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = ip;
  to.sin_port = htons(port);
  long result = 0;
  ssize_t sent = ::sendto(fd, bytes, static_cast<size_t>(count), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to), sizeof to);
  if (sent < 0) {
    result = wsaError(errno);
    logLine("DGSendUDPMsg", "Error Sending DG Packet Error = " + std::to_string(result) + " Error Str = " + NetErrorStr(result),
            kLevelError);
  } else {
    {
      std::lock_guard lock(libraryLock());
      lib().bytesSent += static_cast<std::uint64_t>(sent);
    }
    if (sent < count) {
      logLine("DGSendUDPMsg", "Error in size sent. Wanted to send bytes = " + std::to_string(count) +
                                  " Actually sent = " + std::to_string(sent), kLevelError);
      result = kNetNotAllDataSent;
    }
  }
  if (own && ::close(fd) != 0) {
    result = wsaError(errno);
    logLine("DGSendUDPMsg", "Error Closing Temp DG Socket " + std::to_string(result), kLevelError);
  }
  return result;
}

}  // namespace ov::net::detail
