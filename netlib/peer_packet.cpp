// Peer packets: building and checking their byte images.

#include "netlib/detail/peer_packet.h"

#include "netlib/detail/peer_cipher.h"

namespace ov::net::detail {
namespace {

template <typename Header>
void putHeader(std::string& packet, const Header& h) {
  std::memcpy(packet.data(), &h, sizeof h);
}

bool validItem(std::int32_t first, std::int32_t last, size_t count) {
  return first >= 1 && last >= first && static_cast<size_t>(last) <= count;
}

bool withinCount(std::int32_t position, size_t count) { return static_cast<size_t>(std::max(position, 0)) <= count; }

std::string cut(std::string text, size_t max) {
  if (text.size() > max) text.resize(max);
  return text;
}

}  // namespace

void ItemWriter::append(std::string_view text, std::int16_t& first, std::int16_t& last) {
  if (text.empty()) {
    first = last = 0;
    return;
  }
  first = static_cast<std::int16_t>(m_packet.size() + 1);
  last = static_cast<std::int16_t>(m_packet.size() + text.size());
  m_packet.append(text);
}

std::string readItem(std::string_view packet, std::int32_t first, std::int32_t last) {
  if (!validItem(first, last, packet.size())) return {};
  return std::string(packet.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1)));
}

std::string clipText(std::string_view text) {
  text = text.substr(0, std::min(text.size(), text.find('\0')));
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string buildServiceList(const std::vector<LocalServiceName>& services, bool* truncated) {
  std::string list;
  if (truncated) *truncated = false;
  for (const LocalServiceName& s : services) {
    if (s.isPrivate) continue;
    if (list.size() + s.name.size() + 1 > static_cast<size_t>(kMaxServiceList)) {
      if (truncated) *truncated = true;
      break;
    }
    list += s.name;
    list += ',';
  }
  return list;
}

std::string makeICanDoPacket(const ICanDoContent& c) {
  NetICanDoHeader h;
  std::string packet(sizeof h, '\0');
  ItemWriter items(packet);
  items.append(cut(c.serviceList, kMaxServiceList), h.ServiceName1, h.ServiceName2);
  items.append(cut(clipText(c.netName), kMaxNameLen), h.FromNetName1, h.FromNetName2);
  items.append(cut(clipText(c.description), kMaxNameLen), h.Description1, h.Description2);
  h.Info.PacketType = c.type;
  h.Info.PacketLength = static_cast<std::int32_t>(packet.size());
  h.FromNetID = c.fromNetId;
  putHeader(packet, h);
  return packet;
}

std::vector<std::string> splitServiceList(std::string_view list) {
  std::vector<std::string> names;
  size_t start = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] != ',') continue;
    names.emplace_back(list.substr(start, i - start));
    start = i + 1;
  }
  return names;
}

int parseICanDoPacket(std::string_view packet, ICanDoParsed& out) {
  const size_t count = packet.size();
  if (count < sizeof(PacketInfo)) return kPeerTooShort;
  const PacketInfo info = headerOf<PacketInfo>(packet);
  if (info.PacketLength < 0 || static_cast<size_t>(info.PacketLength) != count) return kPeerLengthMismatch;
  if (count < sizeof(NetICanDoHeader)) return kPeerCorrupt;  // its positions are not even there
  out.header = headerOf<NetICanDoHeader>(packet);
  const NetICanDoHeader& h = out.header;
  for (std::int32_t first : {h.FromNetName1, h.ServiceName1, h.Description1})
    if (first < 0 || !withinCount(first, count)) return kPeerCorrupt;
  for (std::int32_t last : {h.FromNetName2, h.ServiceName2, h.Description2})
    if (!withinCount(last, count)) return kPeerCorrupt;
  out.netName = readItem(packet, h.FromNetName1, h.FromNetName2);
  out.description = readItem(packet, h.Description1, h.Description2);
  out.services = splitServiceList(readItem(packet, h.ServiceName1, h.ServiceName2));
  return 0;
}

std::string makeDataPacket(const DataContent& c) {
  NetDataHeader h;
  std::string packet(sizeof h, '\0');
  ItemWriter items(packet);
  items.append(cut(clipText(c.toNetName), kMaxNameLen), h.ToNetName1, h.ToNetName2);
  items.append(cut(clipText(c.serviceName), kMaxNameLen), h.ServiceName1, h.ServiceName2);
  const std::string data = cut(c.binData, kMaxPeerBinData);
  items.append(data, h.BinData1, h.BinData2);
  if (c.encipher && data.size() >= kCipherBlock) {
    encipherRun(c.key, reinterpret_cast<std::uint8_t*>(packet.data()) + h.BinData1 - 1, data.size());
    h.Info.PacketOptions |= kOptionBinDataEnciphered;
  }
  items.append(cut(clipText(c.fromNetName), kMaxNameLen), h.FromNetName1, h.FromNetName2);
  h.Info.PacketType = kPacketDataPacket;
  h.FromNetID = c.fromNetId;
  h.Command = c.command;
  h.ToThread = c.toThread;
  h.FromThread = c.fromThread;
  h.PacketNumber = c.packetNumber;
  h.SetNumber = c.setNumber;
  h.Options = c.options;
  h.PacketID = c.packetId;
  h.LowestUnAckPacketID = c.lowestUnAckPacketId;
  h.SentDate = c.sentDate;
  h.SentTime = c.sentTime;
  h.Info.PacketLength = static_cast<std::int32_t>(packet.size());
  putHeader(packet, h);
  return packet;
}

int parseDataPacket(std::string_view packet, std::string_view key, DataParsed& out) {
  const size_t count = packet.size();
  if (count <= sizeof(NetDataHeader)) return kPeerTooShort;
  out.header = headerOf<NetDataHeader>(packet);
  const NetDataHeader& h = out.header;
  if (h.Info.PacketLength < 0 || static_cast<size_t>(h.Info.PacketLength) != count) return kPeerLengthMismatch;
  if (!validItem(h.ToNetName1, h.ToNetName2, count) || !validItem(h.ServiceName1, h.ServiceName2, count) ||
      !validItem(h.FromNetName1, h.FromNetName2, count))
    return kPeerCorrupt;
  if (h.BinData1 < 0 || h.BinData2 < 0 || !withinCount(h.BinData1, count) || !withinCount(h.BinData2, count))
    return kPeerCorrupt;
  if (h.ToThread > 64 || h.FromThread > 64) return kPeerCorrupt;
  out.binData = readItem(packet, h.BinData1, h.BinData2);
  if (out.binData.size() > static_cast<size_t>(kMaxPeerBinData)) return kPeerCorrupt;  // more than a record holds
  out.toNetName = readItem(packet, h.ToNetName1, h.ToNetName2);
  out.serviceName = readItem(packet, h.ServiceName1, h.ServiceName2);
  out.fromNetName = readItem(packet, h.FromNetName1, h.FromNetName2);
  if ((h.Info.PacketOptions & kOptionBinDataEnciphered) && out.binData.size() >= kCipherBlock)
    decipherRun(key, reinterpret_cast<std::uint8_t*>(out.binData.data()), out.binData.size());
  return 0;
}

std::string makeAckPacket(const NetID& from, std::uint32_t lowestUnAckPacketId, const std::vector<AckRange>& ranges) {
  const size_t n = std::min(ranges.size(), static_cast<size_t>(kMaxAcksInPacket));
  NetAckHeader h;
  h.Info.PacketType = kPacketAcknowledge;
  h.Info.PacketLength = static_cast<std::int32_t>(kAckHeaderLen + kAckDataLen * n);
  h.FromNetID = from;
  h.BinData1 = kAckHeaderLen + 1;
  h.BinData2 = static_cast<std::int16_t>(h.Info.PacketLength);
  h.LowestUnAckPacketID = lowestUnAckPacketId;
  std::string packet(static_cast<size_t>(h.Info.PacketLength), '\0');
  putHeader(packet, h);
  for (size_t i = 0; i < n; ++i) {
    NetAckEntry e;
    e.AckType = kAckReceivedRange;
    e.StartPacketID = ranges[i].start;
    e.EndPacketID = ranges[i].end;
    std::memcpy(packet.data() + kAckHeaderLen + kAckDataLen * i, &e, sizeof e);
  }
  return packet;
}

int parseAckPacket(std::string_view packet, AckParsed& out) {
  const size_t count = packet.size();
  if (count < sizeof(NetAckHeader)) return kPeerTooShort;
  out.header = headerOf<NetAckHeader>(packet);
  const NetAckHeader& h = out.header;
  if (h.Info.PacketLength < 0 || static_cast<size_t>(h.Info.PacketLength) != count) return kPeerLengthMismatch;
  const size_t body = count - kAckHeaderLen;
  if (body % kAckDataLen != 0 || body / kAckDataLen > static_cast<size_t>(kMaxAcksInPacket)) return kPeerCorrupt;
  out.entries.clear();
  for (size_t i = 0; i < body / kAckDataLen; ++i) {
    NetAckEntry e;
    std::memcpy(&e, packet.data() + kAckHeaderLen + kAckDataLen * i, sizeof e);
    out.entries.push_back(e);
  }
  return 0;
}

int checkPacketInfo(std::string& packet, std::string_view key, std::int32_t& type) {
  type = 0;
  if (packet.size() <= static_cast<size_t>(kPacketInfoLen)) return kPeerTooShort;
  PacketInfo info = headerOf<PacketInfo>(packet);
  type = info.PacketType;
  if (info.CompatableVersion != kCompatableVersion) return kPeerIncompatible;
  if (info.PacketOptions & kOptionBodyEnciphered)
    decipherRun(key, reinterpret_cast<std::uint8_t*>(packet.data()) + kPacketInfoLen, packet.size() - kPacketInfoLen);
  switch (type) {
    case kPacketICanDo:
    case kPacketICanDoBack:
    case kPacketICanDoNRN:
    case kPacketDataPacket:
    case kPacketAcknowledge:
      return 0;
    default:
      return kPeerUnknownType;
  }
}

std::int32_t StreamFramer::version() const {
  std::int32_t v = 0;
  if (m_held.size() >= 4) std::memcpy(&v, m_held.data(), 4);
  return v;
}

std::int32_t StreamFramer::lengthWord() const {
  std::int32_t v = 0;
  if (m_held.size() >= 12) std::memcpy(&v, m_held.data() + 8, 4);
  return v;
}

StreamFramer::Result StreamFramer::next(std::string& packet) {
  if (m_held.size() < static_cast<size_t>(kPacketInfoLen)) return Result::NeedMore;
  if (version() != kCompatableVersion) {
    m_held.clear();
    return Result::Incompatible;
  }
  const std::int32_t length = lengthWord();
  if (length < kPacketInfoLen || length > kMaxStreamPacket) {
    m_held.clear();
    return Result::BadLength;
  }
  if (m_held.size() < static_cast<size_t>(length)) return Result::NeedMore;
  packet.assign(m_held, 0, static_cast<size_t>(length));
  m_held.erase(0, static_cast<size_t>(length));
  return Result::Packet;
}

}  // namespace ov::net::detail
