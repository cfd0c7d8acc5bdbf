// Hooks of peer messaging for the event thread, the close-down and the statistics (internal).
#pragma once

#include <cstdint>
#include <string>

namespace ov::net::detail {

// Handles a socket event of the peer sockets (messages 3105, 3106, 4096-4352, 4608-4864); false
// when the message is not one of them.
bool peerMessage(unsigned msg, int fd, std::uint32_t lParam);
// One timer tick: inactive-service retries, the acknowledgement pass (idle connections,
// acknowledgements, resends, forgetting long-silent instances), the periodic announcement.
void peerTick();
// At close-down: drops the local services and announces that none are left.
void peerCloseDown();
// Closes every peer socket and empties every peer list.
void closeAllPeer();
// A fresh load of the library: every peer list, counter and flag back to its start.
void peerStartUp();

struct PeerListSizes {
  std::uint32_t netId = 0, notify = 0, localServices = 0, netServices = 0, inMsg = 0, orderInfo = 0, listening = 0,
                sending = 0, outgoing = 0, received = 0, receivedBase = 0, remote = 0, outgoingNotSent = 0;
};
PeerListSizes peerListSizes();

struct PeerCounters {
  std::uint32_t dataPacketsSent = 0, dataPacketsReceived = 0, dataPacketsDuplicatesReceived = 0,
                resentOutGoingPackets = 0, ackPacketsReceived = 0, ackPacketsSent = 0, dataPacketsAcked = 0,
                ackPassesSent = 0;
};
const PeerCounters& peerCounters();

// Hands `bytes` to the packet dispatcher as if they came from `ip` (network order); for tests.
long peerDispatch(std::string bytes, std::uint32_t ip);

}  // namespace ov::net::detail
