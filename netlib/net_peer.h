// Peer messaging: instances of programs that load the library, on one machine or on several, find
// each other's public services and exchange acknowledged data packets.
//
// An application declares named services on one of its threads (NetSetService). The first
// declaration starts the event thread, binds the instance's datagram port (announcements) and
// stream port (data), and announces the public services to every instance on this machine (the
// datagram ports from the base port on) and to the hosts named with NetRemote. Announcements are
// answered, repeated every 20 minutes and sent again to instances that fell silent. The LAN-wide
// broadcast is not sent: instances on other machines are found through NetRemote or through their
// own announcements.
//
// NetASend queues a data packet for a known instance's service; it goes out over a stream
// connection and stays queued until the receiver acknowledges it (every 10 seconds, or at once
// after 50 packets), and is sent again every 20 seconds until then, at most 15 times. The
// receiving service's thread is posted its event; NetReceive then takes the packet.
//
// Records are the caller's; their byte layouts (little-endian, packed) are fixed. Exports may be
// called from any thread; each is one atomic step against the event thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::net {

#pragma pack(push, 1)
// The identity of one running instance of the library (16 bytes).
struct NetID {
  std::int32_t GUID1 = 0;
  std::int32_t GUID2 = 0;
  std::int32_t RunID = 0;
  std::uint16_t SPort = 0;   // stream port, host order
  std::uint16_t DGPort = 0;  // datagram port, host order
};

// A service declaration (1117 bytes) for NetSetService and NetNotify.
struct NetServiceRecord {
  char ServiceName[81] = {};  // one name or several separated by commas; blank-padded
  std::int32_t Thread = 0;
  std::int32_t Event = 0;
  std::int32_t Options = 0;   // see kService... and kNotify...
  char Reserved[1024] = {};
};

// A remote host for NetRemote (149 bytes).
struct NetRemoteRecord {
  char Name[81] = {};  // dotted IPv4 address or host name
  std::uint32_t Options = 0;
  char Reserved[64] = {};
};

// One data packet as the application sees it (17687 bytes), for NetASend and NetReceive.
struct NetPacketRecord {
  std::int32_t Command = 0;
  char BinData[16384] = {};
  std::int32_t BinDataLen = 0;  // -1: the length of BinData without trailing blanks
  char ToNetName[81] = {};
  char FromNetName[81] = {};    // blank: this instance's NetName
  char ServiceName[81] = {};
  std::int32_t PacketNumber = 0;
  std::int32_t SetNumber = 0;
  std::int32_t Options = 0;     // see kPacket... below
  std::int32_t SentDate = 0;
  std::int32_t SentTime = 0;
  std::int32_t ToThread = 0;
  std::int32_t FromThread = 0;
  NetID DirectResponse;         // receive: the sender
  char FromIP[15] = {};         // receive: the sender's dotted address
  std::uint8_t Compress = 0;    // carried, not acted on
  std::uint8_t Encrypt = 0;     // 1: BinData is enciphered (obfuscated, see below) on the wire
  char Reserved[991] = {};
};

// One public service of another instance, as NetGetServer lists it.
struct NetPublicService {
  char Description[81] = {};
  char UniqueNetName[81] = {};
  char IP[85] = {};
  char ServiceName[81] = {};
  NetID ServerNetID;
  char Mark = ' ';  // 'A' for a current entry
};
#pragma pack(pop)

static_assert(sizeof(NetID) == 16);
static_assert(sizeof(NetServiceRecord) == 1117);
static_assert(sizeof(NetRemoteRecord) == 149);
static_assert(sizeof(NetPacketRecord) == 17687);
static_assert(offsetof(NetPacketRecord, ToNetName) == 16392);
static_assert(offsetof(NetPacketRecord, DirectResponse) == 16663);
static_assert(offsetof(NetPacketRecord, Encrypt) == 16695);
static_assert(offsetof(NetPublicService, ServiceName) == 247);
static_assert(offsetof(NetPublicService, ServerNetID) == 328);
static_assert(offsetof(NetPublicService, Mark) == 344);

// NetSetService options: 2 without 1 stops the named services; 4 keeps a service out of the
// announcements (packets for thread 0 never reach it); 0x200 lists it under this instance's own
// NetID when the instance hears its own announcement.
constexpr std::int32_t kServiceStart = 1;
constexpr std::int32_t kServiceStop = 2;
constexpr std::int32_t kServicePrivate = 4;
constexpr std::int32_t kServiceListOwn = 0x200;
// NetNotify options.
constexpr std::int32_t kNotifyAdd = 1;
constexpr std::int32_t kNotifyRemove = 2;
// NetPacketRecord options.
constexpr std::int32_t kPacketReply = 0x400;      // to DirectResponse, names and threads exchanged
constexpr std::int32_t kPacketOrderedSet = 0x800;
constexpr std::int32_t kPacketLastOfSet = 0x1000;

// Results beyond those of net_error.h.
constexpr int kNetMaxInstances = -3;
constexpr int kNetReceiverNotFound = -12;
constexpr int kNetRequestNotFound = -14;
constexpr int kNetNoServers = -15;
constexpr int kNetServerNotFound = -16;
constexpr int kNetBadResponseAddress = -18;
constexpr int kNetNoSupport = -38;

// Declares (or with kServiceStop stops) services on `record.Thread`; a blank name drops them all.
// 0, -4, -31, -3, or what starting the event thread or binding the ports answered.
long NetSetService(long size, const NetServiceRecord& record);
// Adds (kNotifyAdd) or removes (kNotifyRemove) a request to be posted `Event` on `Thread` when
// the services of other instances change (of the named service only, or of any when blank).
long NetNotify(long size, const NetServiceRecord& record);
// Announces this instance to a host, now and with every announcement after. Mode 0 looks a host
// name up without blocking the caller. 0, -4, -56, -22.
long NetRemote(long size, const NetRemoteRecord& record, long mode);
// Sends an announcement of `type` (1, 2 or 3) to this machine, the NetRemote hosts and every
// known instance; `options` 2 (or 1 for instances silent over 59 minutes) sends an ICanDo.
long NetSendBroadCast(long type, long options);
std::string NetGetNetName();
// Queues one data packet; 0, -4, -56, -12 (no such instance or it offers nothing), -18 (a reply
// without a sender), or what the transport answered.
long NetASend(long size, NetPacketRecord& record, long reserved);
// Kept for old callers: -38.
long NetSend();
// Takes the first ready packet matching the record's ServiceName and FromNetName (blank: any).
// 0, -4, -56, -13 (nothing received), -14 (nothing matching).
long NetReceive(long size, NetPacketRecord& record);
// Refreshes `list` with the active public services of other instances named `serviceName` (blank:
// all). 0, -4, -56, -15 (none known), -16 (none matching).
long NetGetServer(long size, std::string_view serviceName, std::vector<NetPublicService>& list);

}  // namespace ov::net
