// NetPing: one ICMP echo request to a host, answered or not within a time-out.
//
// It uses an ICMP datagram socket where the system allows one to this user (net.ipv4.
// ping_group_range), else a raw socket (root or CAP_NET_RAW). Which one works is found out at the
// first ping and kept for the life of the process; when neither does, every ping answers -50.
#pragma once

#include <string_view>

namespace ov::net {

// Pings `host` (a dotted address, or a host name looked up on the calling thread) and waits at
// most `timeoutMs` milliseconds for the reply: 0 answered, -54 no reply in time, -20 the host is
// neither an address nor a name that resolves, -50 no ICMP socket can be had.
long NetPing(std::string_view host, long timeoutMs);

}  // namespace ov::net
