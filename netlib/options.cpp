#include "netlib/net_options.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "netlib/detail/dns.h"
#include "netlib/detail/library.h"
#include "netlib/detail/peer.h"
#include "netlib/detail/log.h"
#include "netlib/net_error.h"
#include "netlib/net_registry.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::net {
namespace {

constexpr long kDllActive = -2;
constexpr size_t kNameMax = 80;

std::string bufferText(std::span<const char> buffer) {
  std::string_view all(buffer.data(), buffer.size());
  return std::string(rt::clipView(all.substr(0, all.find('\0'))));
}

long bufferNumber(std::span<const char> buffer) {
  std::string t = bufferText(buffer);
  t.erase(0, t.find_first_not_of(' '));
  return static_cast<long>(rt::textToNumber(t));
}

void answer(std::span<char> buffer, std::string_view value) {
  size_t n = std::min(value.size(), buffer.size());
  std::memcpy(buffer.data(), value.data(), n);
  std::memset(buffer.data() + n, ' ', buffer.size() - n);
}

void answerBytes(std::span<char> buffer, const void* bytes, size_t size) {
  size_t n = std::min(size, buffer.size());
  std::memcpy(buffer.data(), bytes, n);
}

long refusedWhileUp(std::span<char>, const char* name) {
  detail::logLine("NetOptions", std::string(name) + " : Error - DLL is active, you can't change this when the DLL is active.",
                  detail::kLevelError);
  return kDllActive;
}

long notActive(std::span<char> buffer, const char* name) {
  detail::logLine("NetOptions", std::string(name) + " : Error - DLL Not Active", detail::kLevelError);
  std::memset(buffer.data(), ' ', buffer.size());
  return kNetNotInitiated;
}

std::uint32_t memoryBytesUsed() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmSize:", 0) != 0) continue;
    unsigned long long kb = std::strtoull(line.c_str() + 7, nullptr, 10);
    return static_cast<std::uint32_t>(std::min<unsigned long long>(kb * 1024, 0xFFFFFFFFull));
  }
  return 0;
}

void putLE(std::vector<char>& out, std::uint64_t v) {
  auto clamped = static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFull));
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(clamped >> (8 * i)));
}

std::vector<char> statistics() {
  detail::Library& L = detail::lib();
  detail::SimpleListSizes simple = detail::simpleListSizes();
  struct ListCount {
    std::uint32_t records;
    std::uint32_t recordSize;
  };
  const detail::PeerListSizes peer = detail::peerListSizes();
  const ListCount lists[] = {
      {peer.netId, 105}, {peer.notify, 93}, {peer.localServices, 97}, {peer.netServices, 179}, {peer.inMsg, 16684},
      {peer.orderInfo, 109}, {peer.listening, 66964}, {peer.sending, 45}, {peer.outgoing, 33}, {peer.outgoing, 16751},
      {peer.received, 21}, {peer.receivedBase, 20}, {static_cast<std::uint32_t>(L.ipList.size()), 4}, {simple.clients, 326}, {simple.ports, 50},
      {simple.accepted, 68}, {simple.outData, 16396}, {simple.outList, 29}, {simple.inData, 16424},
  };
  std::vector<char> out;
  for (const ListCount& l : lists) {
    putLE(out, l.records);
    putLE(out, static_cast<std::uint64_t>(l.records) * l.recordSize);
  }
  putLE(out, peer.outgoingNotSent);
  putLE(out, L.bytesSent);
  putLE(out, L.bytesReceived);
  putLE(out, memoryBytesUsed());
  putLE(out, peer.remote);  // qRemote
  putLE(out, static_cast<std::uint64_t>(peer.remote) * 21);
  const detail::PeerCounters& c = detail::peerCounters();
  for (std::uint32_t v : {c.dataPacketsSent, c.dataPacketsReceived, c.dataPacketsDuplicatesReceived, c.resentOutGoingPackets,
                          c.ackPacketsReceived, c.ackPacketsSent, c.dataPacketsAcked})
    putLE(out, v);
  out.resize(kNetStatsSize, ' ');
  return out;
}

}  // namespace

long NetOptions(long option, std::span<char> buffer) {
  detail::ensureLoaded();
  if (option == kNetDnsLookup) {
    {
      std::lock_guard lock(detail::libraryLock());
      if (!detail::lib().callBackWindowUp) return notActive(buffer, "NET:DNSLOOKUP");
    }
    std::string result = detail::DNSblocking(bufferText(buffer));  // blocking: never under the lock
    answer(buffer, result.substr(0, 81));
    return 0;
  }
  std::lock_guard lock(detail::libraryLock());
  detail::Library& L = detail::lib();
  const bool up = L.callBackWindowUp;
  switch (option) {
    case kNetSetNetName:
      if (up) return kDllActive;
      L.netName = bufferText(buffer).substr(0, kNameMax);
      return 0;
    case kNetGetNetName:
      if (!up) return notActive(buffer, "NET:GETNETNAME");
      answer(buffer, L.netName);
      return 0;
    case kNetGetHostName:
      if (!up) return notActive(buffer, "NET:GETHOSTNAME");
      answer(buffer, L.hostName);
      return 0;
    case kNetGetHostIpList: {
      if (!up) return notActive(buffer, "NET:GETHOSTIPLIST");
      std::string list;
      for (std::uint32_t a : L.ipList) list += (list.empty() ? "" : " ") + detail::dottedAddress(a);
      answer(buffer, list);
      return L.ipList.empty() ? -26 : 0;
    }
    case kNetSetDgPort:
      if (up) return refusedWhileUp(buffer, "NET:SETDGPORT");
      L.netId.DGPort = L.dgBasePort = static_cast<std::uint16_t>(bufferNumber(buffer));
      return 0;
    case kNetGetDgPort:
      answer(buffer, std::to_string(L.netId.DGPort));
      return 0;
    case kNetGetSPort:
      answer(buffer, std::to_string(L.netId.SPort));
      return 0;
    case kNetSetSPort:
      if (up) return refusedWhileUp(buffer, "NET:SETSPORT");
      L.netId.SPort = static_cast<std::uint16_t>(bufferNumber(buffer));
      return 0;
    case kNetGetMaxInstances:
      answer(buffer, std::to_string(L.maxInstances));
      return 0;
    case kNetSetMaxInstances:
      if (up) return refusedWhileUp(buffer, "NET:SETMAXINSTANCES");
      L.maxInstances = static_cast<std::int32_t>(bufferNumber(buffer));
      return 0;
    case kNetSetLogging:
      if (bufferText(buffer).empty()) detail::setLogOn(false);
      return 0;
    case kNetSetLogAll:
      detail::setLogAll(bufferNumber(buffer) != 0);
      if (detail::logAll()) detail::logLine("NetOptions", "Log All (/netdlllogall) option on", detail::kLevelError);
      return 0;
    case kNetGetBackProtocol:
      answer(buffer, std::to_string(L.backProtocol ? 1 : 0));
      return 0;
    case kNetSetBackProtocol:
      // The library shows no message boxes: the warning goes to the log only.
      detail::logLine("NetOptions", "Warning - Changing the back protocol!!!", detail::kLevelError);
      detail::logLine("NetOptions", "Changing the Back Protocol is not supported in this version of the Wirelet DLL",
                      detail::kLevelError);
      L.backProtocol = bufferNumber(buffer) != 0;
      return 0;
    case kNetSetSockVersion:
      if (up) return refusedWhileUp(buffer, "NET:SETSOCKVERSION");
      L.sockVersion = static_cast<std::uint16_t>(bufferNumber(buffer));
      return 0;
    case kNetGetSInstance:
      if (!up) return notActive(buffer, "NET:GETSINSTANCE");
      answer(buffer, std::to_string(L.streamInstance));
      return 0;
    case kNetSetLogErrors:
      detail::setLogErrorsOnly(bufferNumber(buffer) != 0);
      if (detail::logErrorsOnly()) {
        detail::setLogAll(false);
        detail::setLogOn(false);
        detail::logLine("NetOptions", "======== DLL Logging : Errors only (/netdlllogerrors) option on ========",
                        detail::kLevelError);
      }
      return 0;
    case kNetGetInactiveServiceTimer:
      answer(buffer, std::to_string(L.inactiveServiceRetryStart));
      return 0;
    case kNetSetInactiveServiceTimer:
      detail::logLine("NetOptions", "Attention. NET:SETINACTIVESERVICETIMER : Set to " + bufferText(buffer));
      L.inactiveServiceRetryStart = static_cast<std::int32_t>(bufferNumber(buffer));
      return 0;
    case kNetGetStats: {
      std::vector<char> stats = statistics();
      answerBytes(buffer, stats.data(), stats.size());
      return 0;
    }
    case kNetGetVersion:
      answer(buffer, "2.5c");
      return 0;
    case kNetGetNetId:
      answerBytes(buffer, &L.netId, sizeof L.netId);
      return 0;
    case kNetGetDescription:
      answer(buffer, L.description);
      return 0;
    case kNetSetDescription:
    case kNetSetDescriptionTemp: {
      std::string d = bufferText(buffer);
      L.description = d.substr(0, rt::utf8CutLength(d, kNameMax));
      if (option == kNetSetDescription)
        NetSetRegistry(kHkeyCurrentUser, kRegText, "Software\\Hollin\\Wirelet\\GUID", "Description", L.description);
      return 0;
    }
    case kNetGetQueuedPackets:
    case kNetGetQueuedBytes: {
      if (buffer.size() < 8) return 0;
      std::uint32_t socket;
      std::int32_t sockId;
      std::memcpy(&socket, buffer.data(), 4);
      std::memcpy(&sockId, buffer.data() + 4, 4);
      std::uint32_t packets, bytes;
      detail::countQueuedPackets(socket, sockId, packets, bytes);
      std::memcpy(buffer.data() + 4, &packets, 4);
      if (option == kNetGetQueuedBytes) std::memcpy(buffer.data(), &bytes, 4);
      return 0;
    }
    case kNetGetChar:
      answer(buffer, std::string(1, L.oneChar));
      return 0;
    case kNetSetChar:
      L.oneChar = buffer.empty() ? ' ' : buffer[0];
      return 0;
    case kNetSetDesKey: {
      std::string key(buffer.data(), std::min<size_t>(buffer.size(), 24));
      key.resize(24, ' ');
      L.desKey = key;
      return 0;
    }
    case kNetGetReconnect:
      answer(buffer, std::to_string(L.reconnectBeforeResend ? 1 : 0));
      return 0;
    case kNetSetReconnect:
      L.reconnectBeforeResend = bufferNumber(buffer) != 0;
      return 0;
    case kNetGetResendCheck:
      answer(buffer, std::to_string(L.resendCheckNetID ? 1 : 0));
      return 0;
    case kNetSetResendCheck:
      L.resendCheckNetID = bufferNumber(buffer) != 0;
      return 0;
    default:
      return 0;
  }
}

}  // namespace ov::net
