// Peer packet layouts, builders and the checks a receiver applies, with packets built by hand.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "netlib/detail/peer_cipher.h"
#include "netlib/detail/peer_packet.h"

namespace ov::net::detail {
namespace {

NetID someNetId() {
  NetID id;
  id.GUID1 = 0x01020304;
  id.GUID2 = -2;
  id.RunID = 7;
  id.SPort = 2376;
  id.DGPort = 2326;
  return id;
}

void putLE(std::string& s, size_t at, std::uint32_t v, int width = 4) {
  for (int i = 0; i < width; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// An announcement written byte by byte: services "a,bc,", NetName "host2", description "Desk".
std::string handMadeICanDo() {
  std::string p(68, '\0');
  putLE(p, 0, 12);
  putLE(p, 4, 1);
  putLE(p, 8, 68 + 5 + 5 + 4);
  putLE(p, 12, 0);
  p.replace(16, 8, 8, ' ');
  NetID id = someNetId();
  std::memcpy(p.data() + 24, &id, 16);
  putLE(p, 40, 74, 2);  // NetName: 74-78
  putLE(p, 42, 78, 2);
  putLE(p, 44, 69, 2);  // services: 69-73
  putLE(p, 46, 73, 2);
  putLE(p, 48, 79, 2);  // description: 79-82
  putLE(p, 50, 82, 2);
  putLE(p, 52, 0);
  p.replace(56, 12, 12, ' ');
  return p + "a,bc," + "host2" + "Desk";
}

TEST(PeerPacket, AnnouncementIsBuiltByteForByte) {
  ICanDoContent c;
  c.type = kPacketICanDo;
  c.fromNetId = someNetId();
  c.serviceList = buildServiceList({{"a", false}, {"secret", true}, {"bc", false}});
  c.netName = "host2   ";
  c.description = "Desk";
  EXPECT_EQ(makeICanDoPacket(c), handMadeICanDo());

  ICanDoParsed parsed;
  ASSERT_EQ(parseICanDoPacket(handMadeICanDo(), parsed), 0);
  EXPECT_EQ(parsed.netName, "host2");
  EXPECT_EQ(parsed.description, "Desk");
  EXPECT_EQ(parsed.services, (std::vector<std::string>{"a", "bc"}));
}

TEST(PeerPacket, AnnouncementWithoutServicesPutsTheNameAt69) {
  ICanDoContent c;
  c.netName = "host";
  std::string p = makeICanDoPacket(c);
  NetICanDoHeader h = headerOf<NetICanDoHeader>(p);
  EXPECT_EQ(h.ServiceName1, 0);
  EXPECT_EQ(h.ServiceName2, 0);
  EXPECT_EQ(h.FromNetName1, 69);
  EXPECT_EQ(h.FromNetName2, 72);
  EXPECT_EQ(h.Description1, 0);
  EXPECT_EQ(h.Info.PacketLength, 72);
}

TEST(PeerPacket, ServiceListStopsBefore1024Characters) {
  std::vector<LocalServiceName> many(200, LocalServiceName{"service12", false});
  bool truncated = false;
  std::string list = buildServiceList(many, &truncated);
  EXPECT_TRUE(truncated);
  EXPECT_EQ(list.size(), 1020u);
  EXPECT_EQ(splitServiceList(list).size(), 102u);
}

TEST(PeerPacket, AnnouncementChecksRefuseBadLengthsAndPositions) {
  struct Case {
    const char* name;
    size_t at;
    std::uint32_t value;
    int width;
    int want;
  };
  const Case kCases[] = {
      {"PacketLength says more than came", 8, 200, 4, kPeerLengthMismatch},
      {"a last position past the end", 46, 500, 2, kPeerCorrupt},
      {"a first position past the end", 48, 83, 2, kPeerCorrupt},
      {"a negative first position", 40, 0xFFFF, 2, kPeerCorrupt},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string p = handMadeICanDo();
    putLE(p, c.at, c.value, c.width);
    ICanDoParsed parsed;
    EXPECT_EQ(parseICanDoPacket(p, parsed), c.want);
  }
  // 25 bytes that claim to be 25 long pass the header checks and are too short for an announcement.
  std::string tiny = handMadeICanDo().substr(0, 25);
  putLE(tiny, 8, 25);
  std::int32_t type = 0;
  EXPECT_EQ(checkPacketInfo(tiny, "", type), 0);
  EXPECT_EQ(type, kPacketICanDo);
  ICanDoParsed parsed;
  EXPECT_EQ(parseICanDoPacket(tiny, parsed), kPeerCorrupt);
}

TEST(PeerPacket, DispatchChecksTheHeader) {
  std::string p = handMadeICanDo();
  std::int32_t type = 0;
  std::string exactly24 = p.substr(0, 24);
  EXPECT_EQ(checkPacketInfo(exactly24, "", type), kPeerTooShort);
  std::string otherVersion = p;
  putLE(otherVersion, 0, 11);
  EXPECT_EQ(checkPacketInfo(otherVersion, "", type), kPeerIncompatible);
  std::string unknown = p;
  putLE(unknown, 4, 11);
  EXPECT_EQ(checkPacketInfo(unknown, "", type), kPeerUnknownType);
  // A body enciphered as a whole is deciphered before its checks.
  std::string whole = p;
  putLE(whole, 12, kOptionBodyEnciphered);
  encipherRun("key", reinterpret_cast<std::uint8_t*>(whole.data()) + 24, whole.size() - 24);
  ASSERT_NE(whole.substr(24), p.substr(24));
  ASSERT_EQ(checkPacketInfo(whole, "key", type), 0);
  EXPECT_EQ(whole.substr(24), p.substr(24));
}

DataContent someData() {
  DataContent c;
  c.fromNetId = someNetId();
  c.toNetName = "peer";
  c.serviceName = "Chat";
  c.fromNetName = "me";
  c.binData = "hello";
  c.command = 42;
  c.toThread = 3;
  c.fromThread = 64;
  c.packetNumber = 2;
  c.setNumber = 9;
  c.options = 0x800;
  c.packetId = 1234;
  c.lowestUnAckPacketId = 1200;
  c.sentDate = 80000;
  c.sentTime = 360000;
  return c;
}

TEST(PeerPacket, DataPacketLaysOutItsItemsInOrder) {
  std::string p = makeDataPacket(someData());
  ASSERT_EQ(p.size(), 108u + 4 + 4 + 5 + 2);
  EXPECT_EQ(p.substr(108), "peerChathellome");
  NetDataHeader h = headerOf<NetDataHeader>(p);
  EXPECT_EQ(h.Info.PacketType, kPacketDataPacket);
  EXPECT_EQ(h.Info.PacketLength, 123);
  EXPECT_EQ(h.ToNetName1, 109);
  EXPECT_EQ(h.ToNetName2, 112);
  EXPECT_EQ(h.ServiceName1, 113);
  EXPECT_EQ(h.BinData1, 117);
  EXPECT_EQ(h.BinData2, 121);
  EXPECT_EQ(h.FromNetName1, 122);
  EXPECT_EQ(h.FromNetName2, 123);
  EXPECT_EQ(std::string(h.ReservedDataHeader, 12), std::string(12, ' '));
  std::uint32_t id;
  std::memcpy(&id, p.data() + 76, 4);
  EXPECT_EQ(id, 1234u);

  DataParsed d;
  ASSERT_EQ(parseDataPacket(p, "", d), 0);
  EXPECT_EQ(d.toNetName, "peer");
  EXPECT_EQ(d.serviceName, "Chat");
  EXPECT_EQ(d.binData, "hello");
  EXPECT_EQ(d.fromNetName, "me");
  EXPECT_EQ(d.header.Command, 42);
  EXPECT_EQ(d.header.LowestUnAckPacketID, 1200u);

  DataContent empty = someData();
  empty.binData.clear();
  NetDataHeader e = headerOf<NetDataHeader>(makeDataPacket(empty));
  EXPECT_EQ(e.BinData1, 0);
  EXPECT_EQ(e.BinData2, 0);
}

TEST(PeerPacket, DataIsEncipheredFromEightBytesOn) {
  DataContent c = someData();
  c.encipher = true;
  c.key = "abcde";
  c.binData = "7 bytes";
  std::string plain = makeDataPacket(c);
  EXPECT_EQ(headerOf<NetDataHeader>(plain).Info.PacketOptions, 0);
  EXPECT_NE(plain.find("7 bytes"), std::string::npos);

  c.binData = "ABCDEFGH";
  std::string hidden = makeDataPacket(c);
  EXPECT_EQ(headerOf<NetDataHeader>(hidden).Info.PacketOptions, kOptionBinDataEnciphered);
  // The known run of the cipher's own tests: "ABCDEFGH" under "abcde".
  const unsigned char want[8] = {0xbd, 0xf4, 0xc2, 0x67, 0x9c, 0x44, 0xad, 0xb1};
  EXPECT_EQ(0, std::memcmp(hidden.data() + 116, want, 8));
  DataParsed d;
  ASSERT_EQ(parseDataPacket(hidden, "abcde", d), 0);
  EXPECT_EQ(d.binData, "ABCDEFGH");
}

TEST(PeerPacket, DataChecksRefuseCraftedPackets) {
  const std::string good = makeDataPacket(someData());
  struct Case {
    const char* name;
    size_t at;
    std::uint32_t value;
    int width;
    int want;
  };
  const Case kCases[] = {
      {"length word too small", 8, 50, 4, kPeerLengthMismatch},
      {"length word negative", 8, 0xFFFFFFFF, 4, kPeerLengthMismatch},
      {"no ToNetName", 40, 0, 2, kPeerCorrupt},
      {"ServiceName ends before it starts", 46, 100, 2, kPeerCorrupt},
      {"FromNetName past the end", 58, 124, 2, kPeerCorrupt},
      {"BinData past the end", 50, 4000, 2, kPeerCorrupt},
      {"BinData negative", 48, 0xFFF0, 2, kPeerCorrupt},
      {"ToThread 65", 60, 65, 4, kPeerCorrupt},
      {"FromThread 65", 64, 65, 4, kPeerCorrupt},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string p = good;
    putLE(p, c.at, c.value, c.width);
    DataParsed d;
    EXPECT_EQ(parseDataPacket(p, "", d), c.want);
  }
  DataParsed d;
  EXPECT_EQ(parseDataPacket(good.substr(0, 108), "", d), kPeerTooShort);

  // A data item longer than a record holds is refused, not copied.
  DataContent big = someData();
  std::string p = makeDataPacket(big);
  std::string data(kMaxPeerBinData + 1, 'x');
  p.insert(116, data.substr(5));  // widen "hello" to 16385 bytes
  NetDataHeader h = headerOf<NetDataHeader>(p);
  h.BinData2 = static_cast<std::int16_t>(h.BinData1 + kMaxPeerBinData);
  h.FromNetName1 = static_cast<std::int16_t>(h.BinData2 + 1);
  h.FromNetName2 = static_cast<std::int16_t>(h.BinData2 + 2);
  h.Info.PacketLength = static_cast<std::int32_t>(p.size());
  std::memcpy(p.data(), &h, sizeof h);
  EXPECT_EQ(parseDataPacket(p, "", d), kPeerCorrupt);
}

TEST(PeerPacket, AcknowledgementCarriesRangesAndIsCheckedForSize) {
  std::string p = makeAckPacket(someNetId(), 17, {{1, 5}, {9, 9}});
  ASSERT_EQ(p.size(), 60u + 18);
  NetAckHeader h = headerOf<NetAckHeader>(p);
  EXPECT_EQ(h.Info.PacketType, kPacketAcknowledge);
  EXPECT_EQ(h.BinData1, 61);
  EXPECT_EQ(h.BinData2, 78);
  EXPECT_EQ(static_cast<unsigned char>(p[60]), kAckReceivedRange);
  AckParsed a;
  ASSERT_EQ(parseAckPacket(p, a), 0);
  ASSERT_EQ(a.entries.size(), 2u);
  EXPECT_EQ(std::uint32_t{a.entries[1].StartPacketID}, 9u);
  EXPECT_EQ(a.header.LowestUnAckPacketID, 17u);

  std::string ragged = p + "x";
  putLE(ragged, 8, static_cast<std::uint32_t>(ragged.size()));
  EXPECT_EQ(parseAckPacket(ragged, a), kPeerCorrupt);
  std::vector<AckRange> many(1001, AckRange{1, 1});
  std::string capped = makeAckPacket(someNetId(), 0, many);
  EXPECT_EQ(capped.size(), static_cast<size_t>(kMaxAckPacketSize));
  std::string tooMany = capped + std::string(9, '\0');
  putLE(tooMany, 8, static_cast<std::uint32_t>(tooMany.size()));
  EXPECT_EQ(parseAckPacket(tooMany, a), kPeerCorrupt);
}

TEST(PeerPacket, StreamFramerSplitsPacketsAndRefusesImpossibleLengths) {
  const std::string a = handMadeICanDo(), b = makeDataPacket(someData());
  StreamFramer f;
  const std::string both = a + b;
  std::string packet;
  f.append(both.data(), 30);
  EXPECT_EQ(f.next(packet), StreamFramer::Result::NeedMore);
  f.append(both.data() + 30, both.size() - 30);
  ASSERT_EQ(f.next(packet), StreamFramer::Result::Packet);
  EXPECT_EQ(packet, a);
  ASSERT_EQ(f.next(packet), StreamFramer::Result::Packet);
  EXPECT_EQ(packet, b);
  EXPECT_EQ(f.next(packet), StreamFramer::Result::NeedMore);

  struct Case {
    const char* name;
    std::uint32_t version, length;
    StreamFramer::Result want;
  };
  const Case kCases[] = {
      {"length 0 (would never move on)", 12, 0, StreamFramer::Result::BadLength},
      {"length 23", 12, 23, StreamFramer::Result::BadLength},
      {"length above the buffer (would never complete)", 12, 66941, StreamFramer::Result::BadLength},
      {"negative length", 12, 0x80000000u, StreamFramer::Result::BadLength},
      {"another version", 13, 30, StreamFramer::Result::Incompatible},
      {"length 24: a packet, refused later as too short", 12, 24, StreamFramer::Result::Packet},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string h(24, ' ');
    putLE(h, 0, c.version);
    putLE(h, 8, c.length);
    StreamFramer s;
    s.append(h.data(), h.size());
    EXPECT_EQ(s.next(packet), c.want);
    if (c.want != StreamFramer::Result::Packet) {
      EXPECT_EQ(s.held(), 0u);
    }
  }
  // The buffer never takes more than 66940 bytes.
  StreamFramer full;
  std::string lots(70000, 'z');
  full.append(lots.data(), lots.size());
  EXPECT_EQ(full.held(), static_cast<size_t>(kMaxStreamPacket));
  EXPECT_EQ(full.room(), 0u);
}

}  // namespace
}  // namespace ov::net::detail
