// NetSimple: plain TCP client connections of the network library.
//
// A caller fills a connection record, opens it, sends blocks of bytes and is told by a posted
// event (the record's `Event`, to its `Thread`; see net_callback.h) whenever a packet was queued
// for it: data that arrived, the connection's open, close or failure. It then fetches the packets
// with NetSimpleConnectReceive until that answers -13. Sending only queues the bytes: the library's
// event thread writes them when the socket can take them.
//
// Calling order: open; for every posted `Event` receive until -13 and act on `PacketType`; send at
// will; close with phase 1 and, after a packet of kind 5 or 6 arrived (or at once), phase 2; abort
// with phase -1.
//
// The two records belong to the caller and live as long as it keeps them; their byte layouts
// (little-endian, packed) are fixed. Exports may be called from any thread; each is one atomic step
// against the event thread.
//
// A record with `Mode` 1 is a server: with `UDPMode` 0 a TCP port listening on every local address
// at `Port`, whose accepted connections each arrive as a packet of kind 2 (then kind 3 for their
// data, 5 or 6 at their close; `OnSocket` and `SockID` tell them apart); with `UDPMode` 1 a UDP
// port whose datagrams arrive as packets of kind 3 with `FromIP` and `UDPFromPort` of the sender.
// `MaxServerConnections` above 0 limits the accepted connections open at once: one more is
// closed at once and never reported. Sending on a listening port goes to the accepted connection
// named by the packet's `ToIP` (dotted), `OnSocket` and `SockID`; on a UDP port it sends one
// datagram at once to `ToIP` and `UDPToPort`. Closing with a non-zero socket closes that accepted
// connection; with socket 0 the port itself (phase 1 closes every connection of it, posts `Event`+2
// and stops listening; phase 2 releases it; -1 aborts it and its connections).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ov::net {

#pragma pack(push, 1)
// The connection record (248 bytes).
struct NetSimpleConnection {
  std::uint8_t Mode = 0;               // 0 client; any value but 0 and 1: every export does nothing
  char Server[81] = {};                // remote host: dotted IPv4 address or host name, NUL-terminated
  std::uint16_t Port = 0;              // remote port
  std::uint32_t Socket = 0;            // set by the library (0 while a host-name look-up is pending)
  std::int32_t SockID = 0;             // set by open: serial number from one library-wide counter
  std::int32_t Thread = 0;             // logical thread that receives the events
  std::int32_t Event = 0;              // posted once per queued packet
  std::int32_t MaxServerConnections = 0;
  char LocalIP[16] = {};               // set by the library: dotted local address, else "<unknown>"
  std::uint8_t Reserved1[4] = {};      // the remote IPv4 address (network order), 0 until known
  std::uint8_t UDPMode = 0;
  std::int32_t AsyncOpenTimeout = 0;   // centiseconds; non-zero opens without waiting for the connect
  char Reserved2[119] = {};
};

// The packet record (16564 bytes); one record serves for sending and for receiving.
struct NetSimplePacket {
  char ToIP[16] = {};
  std::uint32_t OnSocket = 0;          // receive: the socket the packet came from
  std::int32_t SockID = 0;             // receive: the connection the packet belongs to
  char FromIP[16] = {};                // receive: dotted remote address
  char BinData[16384] = {};            // only the first BinDataLen bytes count
  std::int32_t BinDataLen = 0;
  std::int32_t PacketType = 0;         // see the kPacket constants
  std::int32_t Reserved2 = 0;          // receive: sequence number, library-wide, from 1
  std::uint16_t UDPToPort = 0;
  std::uint16_t UDPFromPort = 0;
  std::int32_t Error = 0;              // receive: the error of a failed asynchronous open (kind 8)
  char Reserved[120] = {};
};

// One accepted connection of a listening port, as NetSimpleGetServerConnections lists it (42 bytes).
struct NetServerConnection {
  char RemoteIP[16] = {};
  std::uint32_t Socket = 0;
  std::int32_t SockID = 0;
  std::uint16_t RemotePort = 0;
  char LocalIP[16] = {};
};
#pragma pack(pop)

static_assert(sizeof(NetSimpleConnection) == 248);
static_assert(offsetof(NetSimpleConnection, Port) == 82);
static_assert(offsetof(NetSimpleConnection, SockID) == 88);
static_assert(offsetof(NetSimpleConnection, LocalIP) == 104);
static_assert(offsetof(NetSimpleConnection, Reserved1) == 120);
static_assert(offsetof(NetSimpleConnection, AsyncOpenTimeout) == 125);
static_assert(sizeof(NetSimplePacket) == 16564);
static_assert(offsetof(NetSimplePacket, BinData) == 40);
static_assert(offsetof(NetSimplePacket, BinDataLen) == 16424);
static_assert(offsetof(NetSimplePacket, UDPToPort) == 16436);
static_assert(offsetof(NetSimplePacket, Error) == 16440);
static_assert(sizeof(NetServerConnection) == 42);

constexpr int kMaxBinData = 16384;

// Packet kinds (PacketType).
constexpr std::int32_t kPacketNewConnection = 2;
constexpr std::int32_t kPacketData = 3;
constexpr std::int32_t kPacketClosedRemotely = 5;
constexpr std::int32_t kPacketClosedLocally = 6;
constexpr std::int32_t kPacketAsyncOpenOk = 7;
constexpr std::int32_t kPacketAsyncOpenFailed = 8;

// Close phases.
constexpr long kClosePhaseOne = 1;
constexpr long kClosePhaseTwo = 2;
constexpr long kCloseAbort = -1;

// Opens the connection; starts the event thread first when it does not run. With
// `AsyncOpenTimeout` 0 it connects before returning (waiting at most 30 seconds, then 10060);
// otherwise it returns at once and a packet of kind 7 or 8 follows (kind 8 with 10060 when the
// connect has not finished within the time-out). 0, or -56, -29, -30, -20, or a sockets number.
long NetSimpleConnectOpen(NetSimpleConnection& connection);

// Queues `BinDataLen` bytes of the packet for sending: 0, -34 (closing, closed or unknown), -30,
// or a sockets number when the socket could not be re-armed (the connection is then aborted).
long NetSimpleConnectSend(NetSimpleConnection& connection, const NetSimplePacket& packet);

// Clears the packet record and fills it with the oldest packet queued for this connection: 0, or
// -13 when there is none.
long NetSimpleConnectReceive(NetSimpleConnection& connection, NetSimplePacket& packet);

// Closes the connection: phase 1 (graceful: unsent packets go out first, then a packet of kind 6
// is queued), phase 2 (releases the connection once the close has completed), -1 (abort at once).
// `socket` and `sockId` are those of a received packet (or 0, 0). Other phases answer 0 and change
// nothing; after the library's close-down every close is ignored and answers 0.
long NetSimpleConnectClose(NetSimpleConnection& connection, std::uint32_t socket, std::int32_t sockId, long phase);

// Lists the accepted connections of the listening port named by the record's `Port`: 0, -20 when
// there is no such port.
long NetSimpleGetServerConnections(NetSimpleConnection& connection, std::vector<NetServerConnection>& list);

}  // namespace ov::net
