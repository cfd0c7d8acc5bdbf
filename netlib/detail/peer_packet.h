// Peer packets: their byte layouts, how they are built and how a receiver checks them (internal).
//
// Every peer packet is a byte image, little-endian and packed, that begins with the 24-byte
// PacketInfo header. The layouts below are the wire format other instances read and write: never
// reorder, widen or pad a field. Text items after a fixed header are located by 1-based (first,
// last) position pairs; (0, 0) is an absent item.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "netlib/detail/library.h"

namespace ov::net::detail {

static_assert(std::endian::native == std::endian::little, "peer packets are copied as memory images");

constexpr std::int32_t kCompatableVersion = 12;
constexpr std::int32_t kPacketICanDo = 1;
constexpr std::int32_t kPacketICanDoBack = 2;
constexpr std::int32_t kPacketICanDoNRN = 3;
constexpr std::int32_t kPacketDataPacket = 10;
constexpr std::int32_t kPacketAcknowledge = 20;

constexpr std::int32_t kOptionBodyEnciphered = 1;     // PacketOptions: every byte after the header
constexpr std::int32_t kOptionBinDataEnciphered = 4;  // PacketOptions: the data item

constexpr int kPacketInfoLen = 24;
constexpr int kICanDoHeaderLen = 68;
constexpr int kDataHeaderLen = 108;
constexpr int kAckHeaderLen = 60;
constexpr int kAckDataLen = 9;
constexpr int kMaxAcksInPacket = 1000;
constexpr int kMaxServiceList = 1024;
constexpr int kMaxNameLen = 80;
constexpr int kMaxPeerBinData = 16384;
constexpr int kMaxICanDoPacketSize = kICanDoHeaderLen + kMaxServiceList + 81 + 81;
constexpr int kMaxDataPacketSize = kDataHeaderLen + 3 * 81 + kMaxPeerBinData;
constexpr int kMaxAckPacketSize = kAckHeaderLen + kAckDataLen * kMaxAcksInPacket;
constexpr int kMaxStreamPacket = 66940;  // the stream reassembly buffer
static_assert(kMaxICanDoPacketSize == 1254 && kMaxDataPacketSize == 16735 && kMaxAckPacketSize == 9060);

#pragma pack(push, 1)
struct PacketInfo {
  std::int32_t CompatableVersion = kCompatableVersion;
  std::int32_t PacketType = 0;
  std::int32_t PacketLength = 0;
  std::int32_t PacketOptions = 0;
  char Reserved[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
};

struct NetICanDoHeader {
  PacketInfo Info;
  NetID FromNetID;
  std::int16_t FromNetName1 = 0, FromNetName2 = 0;
  std::int16_t ServiceName1 = 0, ServiceName2 = 0;
  std::int16_t Description1 = 0, Description2 = 0;
  std::uint32_t LowestUnAckPacketID = 0;
  char ReservedICanDoHeader[12] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
};

struct NetDataHeader {
  PacketInfo Info;
  NetID FromNetID;
  std::int16_t ToNetName1 = 0, ToNetName2 = 0;
  std::int16_t ServiceName1 = 0, ServiceName2 = 0;
  std::int16_t BinData1 = 0, BinData2 = 0;
  std::int32_t Command = 0;
  std::int16_t FromNetName1 = 0, FromNetName2 = 0;
  std::int32_t ToThread = 0;
  std::int32_t FromThread = 0;
  std::int32_t PacketNumber = 0;
  std::int32_t SetNumber = 0;
  std::uint32_t PacketID = 0;
  std::int32_t SentDate = 0;
  std::int32_t SentTime = 0;
  std::int32_t Options = 0;
  std::uint32_t LowestUnAckPacketID = 0;
  char ReservedDataHeader[12] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
};

struct NetAckHeader {
  PacketInfo Info;
  NetID FromNetID;
  std::int16_t BinData1 = 0, BinData2 = 0;
  std::uint32_t LowestUnAckPacketID = 0;
  char ReservedDataHeader[12] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
};

struct NetAckEntry {
  std::uint8_t AckType = 0;
  std::uint32_t StartPacketID = 0;
  std::uint32_t EndPacketID = 0;
};
#pragma pack(pop)

static_assert(sizeof(PacketInfo) == kPacketInfoLen);
static_assert(offsetof(PacketInfo, PacketLength) == 8 && offsetof(PacketInfo, Reserved) == 16);
static_assert(sizeof(NetICanDoHeader) == kICanDoHeaderLen);
static_assert(offsetof(NetICanDoHeader, FromNetID) == 24 && offsetof(NetICanDoHeader, FromNetName1) == 40);
static_assert(offsetof(NetICanDoHeader, ServiceName1) == 44 && offsetof(NetICanDoHeader, Description1) == 48);
static_assert(offsetof(NetICanDoHeader, LowestUnAckPacketID) == 52 && offsetof(NetICanDoHeader, ReservedICanDoHeader) == 56);
static_assert(sizeof(NetDataHeader) == kDataHeaderLen);
static_assert(offsetof(NetDataHeader, ToNetName1) == 40 && offsetof(NetDataHeader, BinData1) == 48);
static_assert(offsetof(NetDataHeader, Command) == 52 && offsetof(NetDataHeader, FromNetName1) == 56);
static_assert(offsetof(NetDataHeader, ToThread) == 60 && offsetof(NetDataHeader, PacketNumber) == 68);
static_assert(offsetof(NetDataHeader, PacketID) == 76 && offsetof(NetDataHeader, SentDate) == 80);
static_assert(offsetof(NetDataHeader, Options) == 88 && offsetof(NetDataHeader, LowestUnAckPacketID) == 92);
static_assert(offsetof(NetDataHeader, ReservedDataHeader) == 96);
static_assert(sizeof(NetAckHeader) == kAckHeaderLen);
static_assert(offsetof(NetAckHeader, BinData1) == 40 && offsetof(NetAckHeader, LowestUnAckPacketID) == 44);
static_assert(sizeof(NetAckEntry) == kAckDataLen);

// Result codes of the receive checks.
constexpr int kPeerTooShort = -7;
constexpr int kPeerUnknownType = -9;
constexpr int kPeerLengthMismatch = -11;
constexpr int kPeerIncompatible = -25;
constexpr int kPeerCorrupt = -51;

// Appends text items to a packet body and sets their position pairs.
class ItemWriter {
 public:
  explicit ItemWriter(std::string& packet) : m_packet(packet) {}
  // Appends `text` as it is (callers cut trailing blanks where the item wants that).
  void append(std::string_view text, std::int16_t& first, std::int16_t& last);

 private:
  std::string& m_packet;
};

// The text of an item: bytes first..last (1-based, inclusive); empty when first < 1, last < first
// or the pair reaches past the packet.
std::string readItem(std::string_view packet, std::int32_t first, std::int32_t last);

// Copies the fixed header at the start of `packet` (which must be long enough).
template <typename Header>
Header headerOf(std::string_view packet) {
  Header h;
  std::memcpy(&h, packet.data(), sizeof h);
  return h;
}

// A text without trailing blanks, cut at its first NUL.
std::string clipText(std::string_view text);

// ---- Announcements ----

struct LocalServiceName {
  std::string name;
  bool isPrivate = false;
};
// The service list of an announcement: each public name followed by a comma, stopping before the
// list would pass 1024 characters. `truncated` says whether some were left out.
std::string buildServiceList(const std::vector<LocalServiceName>& services, bool* truncated = nullptr);

struct ICanDoContent {
  std::int32_t type = kPacketICanDo;
  NetID fromNetId;
  std::string serviceList;  // built by buildServiceList
  std::string netName;
  std::string description;
};
std::string makeICanDoPacket(const ICanDoContent& content);

struct ICanDoParsed {
  NetICanDoHeader header;
  std::string netName;
  std::string description;
  std::vector<std::string> services;
};
// Checks an announcement of `packet.size()` bytes (type 1, 2 or 3): 0, -11 or -51.
int parseICanDoPacket(std::string_view packet, ICanDoParsed& out);
// The names of a service list: the characters since the previous comma, up to each comma.
std::vector<std::string> splitServiceList(std::string_view list);

// ---- Data packets ----

struct DataContent {
  NetID fromNetId;
  std::string toNetName, serviceName, fromNetName;
  std::string binData;  // as sent (already cut to its length)
  bool encipher = false;
  std::string_view key;
  std::int32_t command = 0, toThread = 0, fromThread = 0, packetNumber = 0, setNumber = 0, options = 0;
  std::uint32_t packetId = 0, lowestUnAckPacketId = 0;
  std::int32_t sentDate = 0, sentTime = 0;
};
// Builds a data packet; `BinData` is enciphered when asked and at least 8 bytes long.
std::string makeDataPacket(const DataContent& content);

struct DataParsed {
  NetDataHeader header;
  std::string toNetName, serviceName, fromNetName;
  std::string binData;  // deciphered when it was enciphered and at least 8 bytes long
};
// Checks a data packet: 0, -7, -11 or -51. A data item longer than 16384 bytes is corrupt.
int parseDataPacket(std::string_view packet, std::string_view key, DataParsed& out);

// ---- Acknowledgements ----

constexpr std::uint8_t kAckReceivedBase = 1;
constexpr std::uint8_t kAckReceivedRange = 2;
constexpr std::uint8_t kAckRequestRange = 3;

struct AckRange {
  std::uint32_t start = 0, end = 0;  // inclusive
};
// Builds one acknowledgement packet of at most 1000 ReceivedRange entries.
std::string makeAckPacket(const NetID& from, std::uint32_t lowestUnAckPacketId, const std::vector<AckRange>& ranges);

struct AckParsed {
  NetAckHeader header;
  std::vector<NetAckEntry> entries;
};
// Checks an acknowledgement: 0, -7, -11 or -51 (the entries must fill the packet exactly, at most
// 1000 of them).
int parseAckPacket(std::string_view packet, AckParsed& out);

// ---- Dispatch checks ----

// The checks every received packet passes first: more than 24 bytes (-7), version 12 (-25); a body
// marked enciphered as a whole is deciphered in place. Answers the packet type through `type`.
int checkPacketInfo(std::string& packet, std::string_view key, std::int32_t& type);

// ---- Streams ----

// Splits the bytes of one stream connection into packets by the length word of their headers.
// A length word below 24 or above 66940 can never complete a packet: the stream is refused then
// (the connection is to be closed) instead of waiting, or looping, forever.
class StreamFramer {
 public:
  enum class Result { Packet, NeedMore, Incompatible, BadLength };
  // How many bytes the buffer can still take.
  size_t room() const { return kMaxStreamPacket - m_held.size(); }
  void append(const char* bytes, size_t n) { m_held.append(bytes, std::min(n, room())); }
  // The next complete packet, or why there is none.
  Result next(std::string& packet);
  size_t held() const { return m_held.size(); }
  // The version and length words of the packet at the front (valid once 24 bytes are held).
  std::int32_t version() const;
  std::int32_t lengthWord() const;

 private:
  std::string m_held;
};

}  // namespace ov::net::detail
