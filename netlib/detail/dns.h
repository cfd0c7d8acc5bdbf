// Blocking host-name look-up and datagram sending (internal; shared by the simple connections and
// the options).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ov::net::detail {

// A dotted IPv4 address gives its host name; anything else is looked up as a host name and gives
// its first IPv4 address as dotted text. "" when there is no answer. Blocks the calling thread;
// never call it with the library lock held.
std::string DNSblocking(std::string_view text);

// Sends one datagram of `count` bytes to `ip` (network order) and `port` (host order), from
// `socket` or, when it is 0, from a socket made for this send: 0, -10 for a short send, or the
// sockets number of the failure.
long DGSendUDPMsg(int socket, std::uint32_t ip, std::uint16_t port, long count, const char* bytes);

// The dotted text of an IPv4 address in network order.
std::string dottedAddress(std::uint32_t networkOrder);

}  // namespace ov::net::detail
