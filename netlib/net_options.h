// NetOptions: reading and changing the library's settings and asking for its state by number.
//
// The buffer carries the value both ways. A set option reads it as text (numbers as decimal text;
// text that is not a number reads as 0); a get option writes its answer into it, left-aligned and
// padded with blanks to the buffer's length (cut when longer). Options 30, 32, 36 and 37 carry
// binary records instead. Any thread.
#pragma once

#include <span>

namespace ov::net {

enum NetOption : long {
  kNetSetNetName = 10,        // set before the event thread runs, else -2
  kNetGetNetName = 11,        // needs the event thread, else -56 and a blank buffer
  kNetGetHostName = 12,       // needs the event thread
  kNetGetHostIpList = 13,     // needs the event thread: the addresses, dotted, blank-separated
  kNetSetDgPort = 14,         // set before the event thread runs, else -2
  kNetGetDgPort = 15,
  kNetGetSPort = 16,
  kNetSetSPort = 17,          // set before the event thread runs, else -2
  kNetGetMaxInstances = 18,
  kNetSetMaxInstances = 19,   // set before the event thread runs, else -2
  kNetSetLogging = 20,        // a blank buffer switches plain logging off
  kNetSetLogAll = 21,
  kNetGetBackProtocol = 22,
  kNetSetBackProtocol = 23,
  kNetSetSockVersion = 24,    // set before the event thread runs, else -2
  kNetGetSInstance = 25,      // needs the event thread
  kNetSetLogErrors = 27,
  kNetGetInactiveServiceTimer = 28,
  kNetSetInactiveServiceTimer = 29,
  kNetGetStats = 30,          // the 433-byte statistics record
  kNetGetVersion = 31,        // "2.5c"
  kNetGetNetId = 32,          // the 16 bytes of the instance's identity
  kNetGetDescription = 33,
  kNetSetDescription = 34,    // also stored in the registry
  kNetSetDescriptionTemp = 35,
  kNetGetQueuedPackets = 36,  // 8 bytes in: socket, SockID; out: SockID's place holds the count
  kNetGetQueuedBytes = 37,    // as 36, and the socket's place holds their bytes
  kNetGetChar = 38,
  kNetSetChar = 39,
  kNetSetDesKey = 40,
  kNetGetReconnect = 41,
  kNetSetReconnect = 42,
  kNetGetResendCheck = 43,
  kNetSetResendCheck = 44,
  kNetDnsLookup = 80,         // needs the event thread: the buffer names a host or an address
};

// 0, -2 (the option can't change once the event thread runs), -56 (the option needs the event
// thread), or (13) -26 when this machine has no IP address. Unknown numbers answer 0 and leave the
// buffer alone.
long NetOptions(long option, std::span<char> buffer);

// The size of the statistics record of option 30.
constexpr std::size_t kNetStatsSize = 433;

}  // namespace ov::net
