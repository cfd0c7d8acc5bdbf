// Reads arbitrary bytes as the stream of one peer connection: the framer splits them into packets
// by their length words, and each packet goes through the checks and the reader of its type, as
// the event thread does with what a connection delivers. Every packet handed out must be as long
// as its length word says and within the stream limit, and what a reader accepts must keep to the
// limits of its packet type. The whole input is read once more as one datagram.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "netlib/detail/peer_packet.h"

using namespace ov::net::detail;

namespace {

constexpr std::string_view kKey = "fuzzkey!";

void readPacket(std::string packet) {
  std::int32_t type = 0;
  if (checkPacketInfo(packet, kKey, type) != 0) return;
  switch (type) {
    case kPacketICanDo:
    case kPacketICanDoBack:
    case kPacketICanDoNRN: {
      ICanDoParsed parsed;
      if (parseICanDoPacket(packet, parsed) != 0) return;
      if (parsed.netName.size() > packet.size() || parsed.description.size() > packet.size()) std::abort();
      for (const std::string& s : parsed.services)
        if (s.find(',') != std::string::npos) std::abort();  // the list's separator never inside a name
      return;
    }
    case kPacketDataPacket: {
      DataParsed parsed;
      if (parseDataPacket(packet, kKey, parsed) != 0) return;
      if (parsed.binData.size() > static_cast<size_t>(kMaxPeerBinData)) std::abort();
      return;
    }
    case kPacketAcknowledge: {
      AckParsed parsed;
      if (parseAckPacket(packet, parsed) != 0) return;
      if (parsed.entries.size() > static_cast<size_t>(kMaxAcksInPacket) ||
          kAckHeaderLen + parsed.entries.size() * kAckDataLen != packet.size())
        std::abort();
      return;
    }
    default: return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // The first byte says how the bytes arrive: in pieces of 1 to 256 bytes, as reads would give them.
  const size_t piece = input.empty() ? 1 : static_cast<unsigned char>(input[0]) + 1;
  StreamFramer framer;
  std::string packet;
  bool refused = false;
  for (size_t at = input.empty() ? 0 : 1; at < input.size() && !refused; at += piece) {
    const std::string_view chunk = input.substr(at, piece);
    framer.append(chunk.data(), chunk.size());
    if (framer.held() > static_cast<size_t>(kMaxStreamPacket)) std::abort();
    for (;;) {
      const StreamFramer::Result r = framer.next(packet);
      if (r == StreamFramer::Result::NeedMore) break;
      if (r != StreamFramer::Result::Packet) {  // the connection is closed
        refused = true;
        break;
      }
      std::int32_t length = 0;
      std::memcpy(&length, packet.data() + 8, sizeof length);
      if (packet.size() < static_cast<size_t>(kPacketInfoLen) || packet.size() > static_cast<size_t>(kMaxStreamPacket) ||
          static_cast<size_t>(length) != packet.size())
        std::abort();
      readPacket(packet);
    }
  }
  readPacket(std::string(input));
  return 0;
}
