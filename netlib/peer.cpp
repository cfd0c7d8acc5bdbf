// Peer messaging: local services and announcements, the NetID table, sending and receiving data
// packets, the stream transport with its acknowledgements and resends.
//
// Every list here is changed only with the library lock held: the exports take it on the caller's
// thread and the event thread holds it for every handler and tick.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "netlib/detail/dns.h"
#include "netlib/detail/library.h"
#include "netlib/detail/log.h"
#include "netlib/detail/peer.h"
#include "netlib/detail/peer_cipher.h"
#include "netlib/detail/peer_packet.h"
#include "netlib/detail/sock_err.h"
#include "netlib/net_error.h"
#include "netlib/net_peer.h"
#include "platform/rt/date_time.h"

namespace ov::net {
namespace detail {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::int32_t kAnnounceInterval = 120000;      // centiseconds: 20 minutes
constexpr std::int32_t kSilenceLimit = 354000;          // 59 minutes
constexpr std::int32_t kInactiveRetryLimit = 360000;    // one hour
constexpr std::int32_t kAckInterval = 1000;             // 10 seconds
constexpr std::int32_t kResendInterval = 2000;          // 20 seconds
constexpr std::int32_t kIdleConnection = 2000;          // 20 seconds
constexpr std::int32_t kCentisecondsPerDay = 8640000;
constexpr std::uint16_t kStreamBasePort = 2376;
constexpr int kAckBurst = 50;                            // received packets that bring the acknowledgements forward
// A packet is sent again at most this many times (every 20 seconds, so for five minutes) before it
// is given up and its destination's services are marked inactive.
constexpr int kMaxResends = 15;
// An instance heard from neither by announcement nor by packet for this long, with nothing queued
// for it, is forgotten with its services.
constexpr auto kNetIdExpiry = std::chrono::hours(2);

constexpr unsigned kMsgPeerStream = 3105;
constexpr unsigned kMsgPeerDatagram = 3106;
constexpr unsigned kMsgAcceptedFirst = 4096;
constexpr unsigned kMsgAcceptedLast = 4352;
constexpr unsigned kMsgSendingFirst = 4608;
constexpr unsigned kMsgSendingLast = 4864;
constexpr std::uint32_t kLoopback = 0x0100007F;  // 127.0.0.1 in network order

bool sameId(const NetID& a, const NetID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
int compareId(const NetID& a, const NetID& b) { return std::memcmp(&a, &b, sizeof a); }
struct IdLess {
  bool operator()(const NetID& a, const NetID& b) const { return compareId(a, b) < 0; }
};
bool sameInstance(const NetID& a, const NetID& b) {
  return a.GUID1 == b.GUID1 && a.GUID2 == b.GUID2 && a.SPort == b.SPort && a.DGPort == b.DGPort;
}

std::string fieldText(const char* field, size_t size) { return clipText(std::string_view(field, ::strnlen(field, size))); }

template <size_t N>
void putText(char (&field)[N], std::string_view value) {
  std::memset(field, 0, N);
  std::memcpy(field, value.data(), std::min(value.size(), N - 1));
}

std::string errorText(int code) { return std::to_string(code) + " " + NetErrorStr(code); }

int newSocket(int type) {
  int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd >= 0 && fd < 3) {
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    fd = moved;
  }
  return fd;
}

struct LocalService {
  std::string name;
  std::int32_t thread = 0, event = 0;
  std::uint32_t options = 0;
};

struct NotifyEntry {
  std::int32_t thread = 0, msg = 0;
  std::string name;
  std::int32_t status = 0;
};

struct NetService {
  NetID id;
  std::string description, name;
  bool active = true;
};

struct NetIdEntry {
  NetID id;
  std::uint32_t ip = 0;
  std::string uniqueName;
  std::int32_t lastTimeOfCanDoReceived = 0;
  SteadyClock::time_point lastHeard = SteadyClock::now();
};

struct InMsg {
  DataParsed packet;
  bool readyForCollect = false;
};

struct OrderInfo {
  NetID id;
  std::int32_t fromThread = 0;
  std::string serviceName;
  std::int32_t setNumber = 0;
  std::int32_t expected = 1;
};

struct Outgoing {
  std::uint32_t packetId = 0;
  std::uint32_t ackPacketId = 0;
  NetID id;
  bool allSent = false;
  std::int32_t createdTime = 0, lastSentTime = 0;
  std::string data;
  size_t sentSoFar = 0;
  int resends = 0;
};

struct Sending {
  int socket = -1;
  NetID id;
  unsigned msg = 0;
  bool readyToSend = false;
  std::uint32_t ip = 0;
  std::uint16_t sport = 0;
  std::int32_t lastActivity = 0;
};

struct Accepted {
  int socket = -1;
  unsigned msg = 0;
  std::uint32_t ip = 0;
  StreamFramer framer;
  std::int32_t lastActivity = 0;
};

struct Peer {
  std::vector<LocalService> localServices;  // by name
  std::vector<NotifyEntry> notify;
  std::vector<NetService> netServices;  // by (NetID, name)
  std::int32_t inactiveServicesCount = 0;
  std::set<std::string> remote;
  std::vector<NetIdEntry> netIds;
  std::vector<InMsg> inMsg;
  std::vector<OrderInfo> orderInfo;
  std::vector<Outgoing> outgoing;
  std::list<Sending> sending;
  std::list<Accepted> accepted;
  std::map<std::pair<NetID, std::uint32_t>, bool, bool (*)(const std::pair<NetID, std::uint32_t>&,
                                                           const std::pair<NetID, std::uint32_t>&)>
      received{[](const std::pair<NetID, std::uint32_t>& a, const std::pair<NetID, std::uint32_t>& b) {
        int c = compareId(a.first, b.first);
        return c != 0 ? c < 0 : a.second < b.second;
      }};
  std::map<NetID, std::uint32_t, IdLess> receivedBase;

  int dgSocket = -1, ssSocket = -1;
  bool socketsLoaded = false;
  bool firstAnnouncementSent = false;
  bool shutDown = false;
  std::uint32_t nextPacketId = 0;
  std::uint32_t startingPacketId = 0;
  std::uint32_t ackCounter = 0;
  unsigned sendingMsgCounter = kMsgSendingFirst;
  int dgInstance = 0;

  std::int32_t ackCountdown = kAckInterval / kTimerPeriod + 1;
  std::int32_t announceCountdown = kAnnounceInterval / kTimerPeriod + 1;
  std::int32_t inactiveCountdown = 1;
  bool resentLastPass = false;

  PeerCounters counters;
};

Peer& peer() {
  static Peer* p = new Peer;
  return *p;
}

std::int32_t now() { return rt::CLOCK(); }

// ---- The NetID table ----

NetIdEntry* findNetId(const NetID& id) {
  for (NetIdEntry& e : peer().netIds)
    if (sameId(e.id, id)) return &e;
  return nullptr;
}

std::uint32_t getNetIDIP(const NetID& id) {
  if (const NetIdEntry* e = findNetId(id)) return e->ip;
  logLine("getNetIDIP", "IP Address Not Found: Could not find IP Address in qNetID. Error = " + std::to_string(kNetAddressNotFound) +
                            " GUID =  " + std::to_string(id.GUID1) + " " + std::to_string(id.GUID2) +
                            " RUNID = " + std::to_string(id.RunID), kLevelError);
  return 0;
}

std::string netNameOf(const NetID& id) {
  const NetIdEntry* e = findNetId(id);
  return e ? e->uniqueName : std::string();
}

long SendNotify(const NetID& id, std::string_view serviceName, bool all);
void sendICanDoTo(std::uint32_t ip, std::uint16_t dgPort, std::int32_t type = kPacketICanDo);
void closeSending(std::list<Sending>::iterator it);

std::string uniqueName(std::string name) {
  if (name.size() > static_cast<size_t>(kMaxNameLen)) name.resize(kMaxNameLen);
  std::uint32_t counter = 0;
  auto taken = [&](const std::string& n) {
    return std::any_of(peer().netIds.begin(), peer().netIds.end(), [&](const NetIdEntry& e) { return e.uniqueName == n; });
  };
  while (taken(name)) {
    char letter = static_cast<char>(65 + counter % 26);
    if (counter % 26 == 0 || name.empty()) name += letter;
    else name.back() = letter;
    --counter;
  }
  return name;
}

// Everything of an old run of an instance, and its record.
void clearRun(const NetID& old) {
  Peer& p = peer();
  std::erase_if(p.netServices, [&](const NetService& s) {
    if (!sameId(s.id, old)) return false;
    if (!s.active) p.inactiveServicesCount = std::max(0, p.inactiveServicesCount - 1);
    return true;
  });
  std::erase_if(p.orderInfo, [&](const OrderInfo& o) { return sameId(o.id, old); });
  std::erase_if(p.inMsg, [&](const InMsg& m) { return sameId(m.packet.header.FromNetID, old); });
  for (auto it = p.sending.begin(); it != p.sending.end();) {
    auto next = std::next(it);
    if (sameId(it->id, old)) closeSending(it);
    it = next;
  }
  std::erase_if(p.outgoing, [&](const Outgoing& o) {
    if (!sameId(o.id, old)) return false;
    logLine("ProcessQNetID", "Deleting qOutGoingPacketsList[] PacketID = " + std::to_string(o.packetId));
    return true;
  });
  for (auto it = p.received.begin(); it != p.received.end();)
    it = sameId(it->first.first, old) ? p.received.erase(it) : std::next(it);
  p.receivedBase.erase(old);
  std::erase_if(p.netIds, [&](const NetIdEntry& e) { return sameId(e.id, old); });
}

// ProcessQNetID: 0; `older` tells the caller to ignore the packet.
long ProcessQNetID(const NetID& id, std::uint32_t ip, const std::string& netName, bool& older, bool sendAnnouncement) {
  Peer& p = peer();
  older = false;
  if (NetIdEntry* e = findNetId(id)) {
    e->lastHeard = SteadyClock::now();
    if (e->ip == ip) return 0;
    if (e->ip == kLoopback) {
      logLine("ProcessQNetID", "Ignoring change to IP as this IP is on the local machine IP = " + dottedAddress(ip));
      return 0;
    }
    logLine("ProcessQNetID", "Information: Updating qNetID with a new IP. IP = " + dottedAddress(ip));
    e->ip = ip;
    SendNotify(id, "", true);
    sendICanDoTo(ip, id.DGPort);
    return 0;
  }
  bool clearedOld = false;
  std::vector<NetID> olderRuns;
  std::uint32_t oldIp = 0;
  std::uint16_t oldDgPort = 0;
  bool foundOther = false;
  for (const NetIdEntry& e : p.netIds) {
    if (!sameInstance(e.id, id)) continue;
    if (!foundOther) {
      logLine("ProcessQNetID", "Information: Found a different RunID in the NetID. Will loop through qNetID and make corrections.");
      oldIp = e.ip;
      oldDgPort = e.id.DGPort;
      foundOther = true;
    }
    if (e.id.RunID == id.RunID) {
      logLine("ProcessQNetID", "Error. Should not get this state!!", kLevelError);
    } else if (e.id.RunID > id.RunID) {
      logLine("ProcessQNetID", "Found an newer RUNID = " + std::to_string(e.id.RunID) +
                                   " already in qNetID, will ignore current packet RunID = " + std::to_string(id.RunID));
      older = true;
      return 0;
    } else {
      logLine("ProcessQNetID", "Found an old RUNID = " + std::to_string(e.id.RunID) + " will clear.");
      olderRuns.push_back(e.id);
    }
  }
  for (const NetID& old : olderRuns) {
    clearRun(old);
    clearedOld = true;
  }
  if (foundOther) sendICanDoTo(oldIp, oldDgPort);
  NetIdEntry e;
  e.id = id;
  e.ip = ip;
  e.uniqueName = uniqueName(netName);
  p.netIds.push_back(e);
  if (clearedOld) SendNotify(id, "", true);
  if (sendAnnouncement) sendICanDoTo(ip, id.DGPort);
  return 0;
}

// ---- Services ----

void markInactive(const NetID& id) {
  Peer& p = peer();
  for (NetService& s : p.netServices) {
    if (!sameId(s.id, id) || !s.active) continue;
    logLine("MarkServicesInactive", "Marking Inactive. NetName Description = " + s.description + " ServiceName = " + s.name);
    s.active = false;
    ++p.inactiveServicesCount;
    lib().inactiveServicesTimerCurr = lib().inactiveServiceRetryStart;
    SendNotify(id, s.name, false);
  }
}

long SendNotify(const NetID& id, std::string_view serviceName, bool all) {
  (void)id;  // every matching request is told; the instance is not part of the request
  Peer& p = peer();
  if (p.notify.empty()) return -1;
  for (const NotifyEntry& n : p.notify) {
    bool match = n.name == serviceName || (all && serviceName.empty()) || (!all && (n.status & 1) == 0);
    if (match) postEvent(n.msg, n.thread);
  }
  return 0;
}

std::string announcement(std::int32_t type) {
  Peer& p = peer();
  std::vector<LocalServiceName> names;
  for (const LocalService& s : p.localServices) names.push_back({s.name, (s.options & kServicePrivate) != 0});
  bool truncated = false;
  ICanDoContent c;
  c.type = type;
  c.fromNetId = lib().netId;
  c.serviceList = buildServiceList(names, &truncated);
  if (truncated)
    logLine("MakeRawICanDoPacket", "ERROR - The string of services exceeds the maximum length of " +
                                       std::to_string(kMaxServiceList) + ". Some services will not be sent.", kLevelError);
  c.netName = lib().netName;
  c.description = lib().description;
  return makeICanDoPacket(c);
}

void sendICanDoTo(std::uint32_t ip, std::uint16_t dgPort, std::int32_t type) {
  std::string packet = announcement(type);
  if (DGSendUDPMsg(peer().dgSocket >= 0 ? peer().dgSocket : 0, ip, dgPort, static_cast<long>(packet.size()), packet.data()) != 0)
    logLine("SendICanDo", "Error. Could not send ICanDo", kLevelError);
}

// SendRemote: one announcement to every datagram port an instance of that machine may have.
void SendRemote(const std::string& address, std::int32_t type) {
  in_addr a{};
  if (::inet_pton(AF_INET, address.c_str(), &a) != 1) {
    logLine("SendRemote", "Remote send error. Could not process IP Address. IPcstr = " + address, kLevelError);
    return;
  }
  std::string packet = announcement(type);
  for (std::int32_t i = 0; i < lib().maxInstances; ++i) {
    std::uint16_t port = static_cast<std::uint16_t>(lib().dgBasePort + i);
    (void)DGSendUDPMsg(peer().dgSocket >= 0 ? peer().dgSocket : 0, a.s_addr, port, static_cast<long>(packet.size()),
                       packet.data());  // fire and forget: nobody may listen on most of these ports
  }
}

long LoadWireletSockets() {
  Peer& p = peer();
  Library& L = lib();
  if (p.socketsLoaded) return 0;
  int dg = newSocket(SOCK_DGRAM);
  if (dg < 0) {
    int code = wsaError(errno);
    logLine("LoadWireletSockets", "The DG socket has not been created. Error " + errorText(code), kLevelError);
    return code;
  }
  for (;;) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(L.netId.DGPort);
    if (::bind(dg, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) break;
    int code = wsaError(errno);
    if (code != 10048) {
      logLine("LoadWireletSockets", "DG socket could not bind. Error " + errorText(code), kLevelError);
      ::close(dg);
      return code;
    }
    ++L.netId.DGPort;
    if (++p.dgInstance >= L.maxInstances) {
      logLine("LoadWireletSockets", "Error: Max Instances Reached! Up to " + std::to_string(L.maxInstances) +
                                        " instances are allowed", kLevelError);
      L.netId.DGPort = L.dgBasePort;
      p.dgInstance = 0;
      ::close(dg);
      return kNetMaxInstances;
    }
  }
  int ss = newSocket(SOCK_STREAM);
  if (ss < 0) {
    int code = wsaError(errno);
    logLine("LoadWireletSockets", "Streamed Socket Not created. Error " + errorText(code), kLevelError);
    ::close(dg);
    return code;
  }
  int on = 1;
  ::setsockopt(ss, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);  // a listener on the port still refuses the bind
  for (;;) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(L.netId.SPort);
    if (::bind(ss, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) break;
    int code = wsaError(errno);
    if (code != 10048 || L.netId.SPort == 65535) {
      logLine("LoadWireletSockets", "Error could not bind streamed socket. Error " + errorText(code) + " Port = " +
                                        std::to_string(L.netId.SPort), kLevelError);
      ::close(dg);
      ::close(ss);
      return code;
    }
    ++L.netId.SPort;
    ++L.streamInstance;
  }
  if (L.streamInstance > 0) L.netName = L.hostName + std::to_string(L.streamInstance + 1);
  if (::listen(ss, 5) != 0) {
    int code = wsaError(errno);
    logLine("LoadWireletSockets", "Error listen = " + errorText(code), kLevelError);
    ::close(dg);
    ::close(ss);
    return code;
  }
  p.dgSocket = dg;
  p.ssSocket = ss;
  loop().asyncSelect(dg, kMsgPeerDatagram, kFdRead);
  loop().asyncSelect(ss, kMsgPeerStream, kFdAccept);
  p.socketsLoaded = true;
  p.ackCountdown = kAckInterval / kTimerPeriod + 1;
  p.announceCountdown = kAnnounceInterval / kTimerPeriod + 1;
  p.inactiveCountdown = std::max(1, L.inactiveServicesTimerCurr / kTimerPeriod + 1);
  return 0;
}

long broadcast(std::int32_t type, long options) {
  Peer& p = peer();
  SendRemote("127.0.0.1", type);
  // The LAN-wide broadcast (255.255.255.255) is not sent: other machines are reached through the
  // NetRemote list and the instances already known.
  for (const std::string& r : p.remote)
    if (r != "127.0.0.1") SendRemote(r, type);
  std::vector<NetIdEntry> known = p.netIds;  // marking services inactive may notify, never changes the table
  const std::int32_t t = now();
  for (const NetIdEntry& e : known) {
    if (e.ip == kLoopback) continue;
    std::int32_t sendType = type;
    bool silent = options == 1 && e.lastTimeOfCanDoReceived + kSilenceLimit < t;
    if (options == 2 || silent) {
      if (silent)
        logLine("NetSendBroadCast", "We haven't heard from " + dottedAddress(e.ip) + " since " +
                                        std::to_string(e.lastTimeOfCanDoReceived));
      markInactive(e.id);
      sendType = kPacketICanDo;
    }
    SendRemote(dottedAddress(e.ip), sendType);
  }
  return 0;
}

// ---- Sending ----

std::uint32_t lowestUnAck(const NetID& id) {
  std::uint32_t lowest = 0xFFFFFFFFu;
  for (const Outgoing& o : peer().outgoing)
    if (sameId(o.id, id)) lowest = std::min(lowest, o.packetId);
  return lowest;
}

Sending* findSending(std::uint32_t ip, std::uint16_t sport) {
  for (Sending& s : peer().sending)
    if (s.ip == ip && s.sport == sport) return &s;
  return nullptr;
}

// Closes without waiting: the kernel goes on sending what is still queued after close() returns.
// A lingering close would block the event thread, and with it every other connection, for as long
// as a peer that does not read leaves the data unsent.
void closeSocketQuietly(int fd) {
  if (fd < 0) return;
  loop().forget(fd);
  (void)::shutdown(fd, SHUT_RD);  // best effort: a socket never connected has nothing to shut
  ::close(fd);
}

void closeSending(std::list<Sending>::iterator it) {
  closeSocketQuietly(it->socket);
  peer().sending.erase(it);
}

void closeAccepted(std::list<Accepted>::iterator it) {
  Peer& p = peer();
  closeSocketQuietly(it->socket);
  p.accepted.erase(it);
  // A message number is free again: the listener may have been left unwatched when none was.
  if (p.ssSocket >= 0) loop().asyncSelect(p.ssSocket, kMsgPeerStream, kFdAccept);
}

long CreateSendingSocket(const NetID& id) {
  Peer& p = peer();
  std::uint32_t ip = getNetIDIP(id);
  if (ip == 0) return kNetAddressNotFound;
  unsigned msg = 0;
  for (int i = 0; i < 256 && msg == 0; ++i) {
    if (p.sendingMsgCounter > kMsgSendingLast) p.sendingMsgCounter = kMsgSendingFirst;
    unsigned candidate = p.sendingMsgCounter++;
    if (std::none_of(p.sending.begin(), p.sending.end(), [&](const Sending& s) { return s.msg == candidate; })) msg = candidate;
  }
  if (msg == 0) {
    logLine("CreateSendingSocket", "ERROR: Exceeded Maximum Sending Sockets.", kLevelError);
    return kNetTooManySendingSockets;
  }
  int fd = newSocket(SOCK_STREAM);
  if (fd < 0) {
    int code = wsaError(errno);
    logLine("CreateSendingSocket", "Error creating Socket. loc:ret = " + errorText(code), kLevelError);
    return code;
  }
  Sending s;
  s.socket = fd;
  s.id = id;
  s.msg = msg;
  s.ip = ip;
  s.sport = id.SPort;
  s.lastActivity = now();
  loop().asyncSelect(fd, msg, kFdWrite | kFdConnect | kFdClose);
  p.sending.push_back(s);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = ip;
  to.sin_port = htons(id.SPort);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
    int code = wsaError(errno);
    logLine("CreateSendingSocket", "Error connecting to machine with IP = " + dottedAddress(ip) + " SPort = " +
                                       std::to_string(id.SPort) + " Socket = " + std::to_string(fd) + " Error = " +
                                       errorText(code), kLevelError);
    closeSending(std::prev(p.sending.end()));
    return code;
  }
  return 0;
}

long HandleSendError(int code, const NetID& id);

long SASendMsg(const NetID& id, const std::string& bytes, std::uint32_t packetId) {
  Peer& p = peer();
  std::uint32_t ip = getNetIDIP(id);
  if (ip == 0) return kNetAddressNotFound;
  if (bytes.empty()) return 0;
  if (Sending* s = findSending(ip, id.SPort)) {
    if (s->readyToSend) loop().asyncSelect(s->socket, s->msg, kFdWrite | kFdClose);
  } else if (long rc = CreateSendingSocket(id); rc != 0) {
    return rc;
  }
  Outgoing o;
  o.packetId = packetId;
  if (packetId == 0) o.ackPacketId = p.ackCounter++;
  o.id = id;
  o.createdTime = o.lastSentTime = now();
  o.data = bytes.substr(0, kMaxDataPacketSize);
  p.outgoing.push_back(std::move(o));
  return 0;
}

long HandleSendError(int code, const NetID& id) {
  Peer& p = peer();
  logLine("HandleSendError", "Error Handling: Error = " + std::to_string(code), kLevelError);
  const std::int32_t before = p.inactiveServicesCount;
  markInactive(id);
  if (p.inactiveServicesCount == before) {
    logLine("HandleSendError", "Nothing to do.");
    return 0;
  }
  std::uint32_t ip = getNetIDIP(id);
  logLine("HandleSendError", " Marking services from IP = " + dottedAddress(ip) + " and SPort = " + std::to_string(id.SPort) +
                                 " as inactive. Will send ICanDo to it now.");
  lib().inactiveServicesTimerCurr = lib().inactiveServiceRetryStart;
  if (ip != 0) sendICanDoTo(ip, id.DGPort);
  return 0;
}

// ---- Receiving ----

void StoreLastAccess(const NetID& id) {
  if (NetIdEntry* e = findNetId(id)) e->lastTimeOfCanDoReceived = now();
}

long TryRestoreInactiveSevices(const NetID& id) {
  Peer& p = peer();
  if (p.inactiveServicesCount <= 0) return 0;
  bool restored = false;
  for (NetService& s : p.netServices) {
    if (!sameId(s.id, id) || s.active) continue;
    SendNotify(id, s.name, false);
    s.active = true;
    p.inactiveServicesCount = std::max(0, p.inactiveServicesCount - 1);
    restored = true;
  }
  if (!restored) {
    logLine("TryRestoreInactiveSevices", "Nothing to do.");
    return 0;
  }
  std::uint32_t ip = getNetIDIP(id);
  logLine("TryRestoreInactiveSevices", "We received packets from IP = " + dottedAddress(ip) + " and SPort = " +
                                           std::to_string(id.SPort) +
                                           " Marking their Services as Active again. Will send ICanDo to it now.");
  if (ip != 0) sendICanDoTo(ip, id.DGPort);
  return 0;
}

void CheckIfServiceIsActive(const NetID& id) {
  for (const NetService& s : peer().netServices)
    if (sameId(s.id, id) && !s.active) {
      logLine("CheckIfServiceIsActive",
              "Received a packet for an Inactive Service (Will try and activate again). NetName = " + netNameOf(id));
      lib().inactiveServicesTimerCurr = 0;
      return;
    }
}

long CheckForOutGoingPackets(const NetID& id) {
  Peer& p = peer();
  std::uint32_t ip = getNetIDIP(id);
  if (ip == 0) return kNetAddressNotFound;
  bool waiting = std::any_of(p.outgoing.begin(), p.outgoing.end(),
                             [&](const Outgoing& o) { return sameId(o.id, id) && !o.allSent; });
  if (!waiting || findSending(ip, id.SPort)) return 0;
  logLine("CheckForOutGoingPackets", "Need to create a socket to send unsent packet(s). IP = " + dottedAddress(ip) + ":" +
                                         std::to_string(id.SPort));
  return CreateSendingSocket(id);
}

long SSendMsg(std::uint32_t ip, std::uint16_t port, const std::string& bytes);

void SendBackICanDo(std::uint32_t ip, std::uint16_t sport, std::uint16_t dgPort) {
  std::string packet = announcement(kPacketICanDoBack);
  if (lib().backProtocol) {
    (void)SSendMsg(ip, sport, packet);  // logs its own failure
    return;
  }
  if (DGSendUDPMsg(peer().dgSocket >= 0 ? peer().dgSocket : 0, ip, dgPort, static_cast<long>(packet.size()), packet.data()) != 0)
    logLine("SendBackICanDo", "Error. Could not send ICanDoBack", kLevelError);
}

long acceptCanDo(std::string_view bytes, std::int32_t type, std::uint32_t ip) {
  Peer& p = peer();
  ICanDoParsed a;
  int rc = parseICanDoPacket(bytes, a);
  if (rc == kPeerLengthMismatch) {
    logLine("n_acceptCanDoTypePacket", "Sent and received bytes are different. Sent = " +
                                           std::to_string(headerOf<PacketInfo>(bytes).PacketLength) +
                                           " Received = " + std::to_string(bytes.size()), kLevelError);
    return rc;
  }
  if (rc != 0) {
    logLine("n_acceptCanDoTypePacket", "Error. Received a corrupt ICanDo packet. Another application may have sent this data "
                                       "or if the packet was decrypted the key may have been wrong. Bytes received = " +
                                           std::to_string(bytes.size()), kLevelError);
    return rc;
  }
  const NetID& from = a.header.FromNetID;
  if (a.netName.empty()) logLine("n_acceptCanDoTypePacket", "Warning. Received a packet with no FromNetName. This may cause problems");
  const bool fromSelf = sameId(from, lib().netId);
  bool older = false;
  if (ProcessQNetID(from, ip, a.netName, older, true) != 0) logLine("n_acceptCanDoTypePacket", "Error. Could not create qNetID entry.");
  if (older) {
    logLine("n_acceptCanDoTypePacket", "Received a packet for an older NetID. Ignoring it");
    return 0;
  }
  StoreLastAccess(from);
  if (p.inactiveServicesCount > 0) TryRestoreInactiveSevices(from);
  std::vector<std::string> names = a.services;
  if (fromSelf) {
    std::erase_if(names, [&](const std::string& n) {
      for (const LocalService& s : p.localServices)
        if (s.name == n) return (s.options & kServiceListOwn) == 0;
      return false;
    });
  }
  size_t stored = 0;
  bool changed = false;
  for (const NetService& s : p.netServices) {
    if (!sameId(s.id, from)) continue;
    ++stored;
    if (std::find(names.begin(), names.end(), s.name) == names.end()) changed = true;
  }
  if (stored != names.size()) changed = true;
  if (changed) {
    for (size_t i = p.netServices.size(); i-- > 0;) {
      if (!sameId(p.netServices[i].id, from)) continue;
      NetService gone = p.netServices[i];
      p.netServices.erase(p.netServices.begin() + static_cast<long>(i));
      SendNotify(from, gone.name, false);
      if (!gone.active) p.inactiveServicesCount = std::max(0, p.inactiveServicesCount - 1);
    }
    for (const std::string& n : names) {
      bool already = std::any_of(p.netServices.begin(), p.netServices.end(),
                                 [&](const NetService& s) { return sameId(s.id, from) && s.name == n; });
      if (already) continue;
      NetService s{from, a.description, n, true};
      auto at = std::upper_bound(p.netServices.begin(), p.netServices.end(), s, [](const NetService& x, const NetService& y) {
        int c = compareId(x.id, y.id);
        return c != 0 ? c < 0 : x.name < y.name;
      });
      p.netServices.insert(at, s);
      SendNotify(from, n, false);
    }
  }
  if (type == kPacketICanDo || (type == kPacketICanDoNRN && changed)) SendBackICanDo(ip, from.SPort, from.DGPort);
  if (!a.services.empty()) (void)CheckForOutGoingPackets(from);  // logs its own failure
  return 0;
}

long SendAcknowledges();

bool inReceivedPacketsBase(const NetID& id, std::uint32_t packetId) {
  auto it = peer().receivedBase.find(id);
  if (it == peer().receivedBase.end()) return false;
  if (packetId < it->second) {
    logLine("InReceivedPacketsBase", "Data Packet already received and found in qReceivedPacketsBase. PacketID = " +
                                         std::to_string(packetId));
    return true;
  }
  return false;
}

long addToReceivePacketsList(const NetID& id, std::uint32_t packetId) {
  Peer& p = peer();
  long result = inReceivedPacketsBase(id, packetId) ? 900 : 0;
  auto [it, added] = p.received.try_emplace({id, packetId}, false);
  if (!added) {
    it->second = false;
    result = 900;
  }
  if (result == 900) p.ackCountdown = 0;
  return result;
}

long TruncateReceivedQueues(const NetID& id, std::uint32_t lowest) {
  Peer& p = peer();
  if (lowest == 0xFFFFFFFFu) return 0;
  auto base = p.receivedBase.find(id);
  if (base == p.receivedBase.end()) {
    p.receivedBase[id] = lowest;
  } else {
    if (lowest <= base->second) return 0;
    base->second = lowest;
  }
  size_t gone = 0;
  for (auto it = p.received.lower_bound({id, 0}); it != p.received.end() && sameId(it->first.first, id) && it->first.second < lowest;) {
    it = p.received.erase(it);
    ++gone;
  }
  if (gone > 0 && logAll()) logLine("TruncateReceivedQueues", "Deleted " + std::to_string(gone) + " received records");
  return 0;
}

const LocalService* findLocalService(const std::string& name, std::int32_t toThread) {
  for (const LocalService& s : peer().localServices) {
    if (s.name != name) continue;
    if (toThread != 0 ? s.thread == toThread : (s.options & kServicePrivate) == 0) return &s;
  }
  return nullptr;
}

bool inMsgLess(const InMsg& a, const InMsg& b) {
  const NetDataHeader& x = a.packet.header;
  const NetDataHeader& y = b.packet.header;
  if (int c = compareId(x.FromNetID, y.FromNetID); c != 0) return c < 0;
  if (x.FromThread != y.FromThread) return x.FromThread < y.FromThread;
  if (a.packet.serviceName != b.packet.serviceName) return a.packet.serviceName < b.packet.serviceName;
  if (x.SetNumber != y.SetNumber) return x.SetNumber < y.SetNumber;
  return x.PacketNumber < y.PacketNumber;
}

OrderInfo* findOrder(const NetID& id, std::int32_t fromThread, const std::string& service, std::int32_t set, bool byThread) {
  for (OrderInfo& o : peer().orderInfo)
    if (sameId(o.id, id) && o.serviceName == service && o.setNumber == set && (!byThread || o.fromThread == fromThread)) return &o;
  return nullptr;
}

long acceptData(std::string_view bytes, std::uint32_t ip) {
  Peer& p = peer();
  DataParsed d;
  int rc = parseDataPacket(bytes, lib().desKey, d);
  if (rc == kPeerTooShort) {
    logLine("n_AcceptDataPacket", "The Data is too short. Recieved = " + std::to_string(bytes.size()) + " Min = " +
                                      std::to_string(kDataHeaderLen), kLevelError);
    return rc;
  }
  if (rc == kPeerLengthMismatch) {
    logLine("n_AcceptDataPacket", "Sent bytes and received bytes are different. Sent = " +
                                      std::to_string(headerOf<PacketInfo>(bytes).PacketLength) + " Received = " +
                                      std::to_string(bytes.size()), kLevelError);
    return rc;
  }
  if (rc != 0) {
    logLine("n_AcceptDataPacket", "Error. Received a corrupt data packet. Another application may have sent this data or if "
                                  "the packet was decrypted the key may have been wrong. Bytes received = " +
                                      std::to_string(bytes.size()), kLevelError);
    return rc;
  }
  const NetDataHeader& h = d.header;
  const NetID from = h.FromNetID;
  ++p.counters.dataPacketsReceived;
  if (p.inactiveServicesCount > 0) TryRestoreInactiveSevices(from);
  bool older = false;
  if (ProcessQNetID(from, ip, d.fromNetName, older, true) != 0) logLine("n_AcceptDataPacket", "Error. Could not create qNetID entry.");
  if (older) {
    logLine("n_AcceptDataPacket", "Received a packet for an older NetID. Ignoring it");
    return 0;
  }
  CheckIfServiceIsActive(from);
  TruncateReceivedQueues(from, h.LowestUnAckPacketID);
  if (addToReceivePacketsList(from, h.PacketID) == 900) {
    logLine("n_AcceptDataPacket", "Packet has already been received. IP = " + dottedAddress(ip) + " SPort = " +
                                      std::to_string(from.SPort) + " PacketID = " + std::to_string(h.PacketID) +
                                      " ServiceName = " + d.serviceName);
    ++p.counters.dataPacketsDuplicatesReceived;
    return 0;
  }
  long result = 0;
  const LocalService* service = findLocalService(d.serviceName, h.ToThread);
  if (!service) {
    logLine("n_AcceptDataPacket", "Received a packet for a local service that does not exist. Local ServiceName = " +
                                      d.serviceName + " ToThread = " + std::to_string(h.ToThread) + " FromNetName = " +
                                      d.fromNetName + " Command = " + std::to_string(h.Command) + " PacketID = " +
                                      std::to_string(h.PacketID), kLevelError);
    result = kNetServiceNotSupported;
  } else {
    InMsg m;
    m.packet = d;
    bool ready = false;
    if (service->thread != 0 && service->event != 0) {
      if ((h.Options & kPacketOrderedSet) == 0) {
        ready = true;
      } else if (h.PacketNumber <= 0) {
        p.orderInfo.push_back(OrderInfo{from, h.FromThread, d.serviceName, h.SetNumber, 1});
        ready = true;
      } else if (OrderInfo* o = findOrder(from, h.FromThread, d.serviceName, h.SetNumber, false);
                 o && o->expected == h.PacketNumber) {
        ++o->expected;
        ready = true;
      }
    }
    m.readyForCollect = ready;
    p.inMsg.insert(std::upper_bound(p.inMsg.begin(), p.inMsg.end(), m, inMsgLess), m);
    if (ready) postEvent(service->event, service->thread);
  }
  if (p.counters.dataPacketsReceived % kAckBurst == 0) SendAcknowledges();
  return result;
}

long acceptAck(std::string_view bytes, std::uint32_t ip) {
  Peer& p = peer();
  const size_t n = bytes.size();
  if (n <= static_cast<size_t>(kAckHeaderLen)) {
    logLine("n_acceptAckPacket", "The Data is too short. Recieved = " + std::to_string(n) + " Min = " +
                                     std::to_string(kAckHeaderLen), kLevelError);
    return kPeerTooShort;
  }
  NetAckHeader h = headerOf<NetAckHeader>(bytes);
  if (h.Info.PacketLength < 0 || static_cast<size_t>(h.Info.PacketLength) != n) {
    logLine("n_acceptAckPacket", "Sent bytes and received bytes are different. Sent = " + std::to_string(h.Info.PacketLength) +
                                     " Received = " + std::to_string(n), kLevelError);
    return kPeerLengthMismatch;
  }
  if (h.BinData2 < h.BinData1 || static_cast<std::int64_t>(n) < h.BinData1 || static_cast<std::int64_t>(n) < h.BinData2 ||
      h.BinData1 <= 0) {
    logLine("n_acceptAckPacket", "Error. Received a corrupt ACK packet. Another application may have sent this data or if the "
                                 "packet was decrypted the key may have been wrong. Bytes received = " + std::to_string(n),
            kLevelError);
    return kPeerCorrupt;
  }
  if ((n - kAckHeaderLen) % kAckDataLen != 0) {
    logLine("n_acceptAckPacket", "Error: (p_size - NET:ACKHeaderLen) mod NET:AckDataLen <> 0 (p_size - NET:ACKHeaderLen) = " +
                                     std::to_string(n - kAckHeaderLen), kLevelError);
    return kPeerLengthMismatch;
  }
  const size_t count = (n - kAckHeaderLen) / kAckDataLen;
  const size_t firstAt = static_cast<size_t>(h.BinData1 - 1);
  if (firstAt + count * kAckDataLen > n) {  // the entries are read from BinData1 on: they must all be there
    logLine("n_acceptAckPacket", "Error. Received a corrupt ACK packet. Bytes received = " + std::to_string(n), kLevelError);
    return kPeerCorrupt;
  }
  ++p.counters.ackPacketsReceived;
  const NetID from = h.FromNetID;
  if (p.inactiveServicesCount > 0) TryRestoreInactiveSevices(from);
  bool older = false;
  if (ProcessQNetID(from, ip, "", older, true) != 0) logLine("n_acceptAckPacket", "Error. Could not create qNetID entry.");
  if (older) {
    logLine("n_acceptAckPacket", "Received a packet for an older NetID. Ignoring it");
    return 0;
  }
  CheckIfServiceIsActive(from);
  TruncateReceivedQueues(from, h.LowestUnAckPacketID);
  for (size_t i = 0; i < count; ++i) {
    NetAckEntry e;
    std::memcpy(&e, bytes.data() + firstAt + i * kAckDataLen, sizeof e);
    if (e.AckType != kAckReceivedRange) {
      logLine("n_acceptAckPacket", e.AckType == kAckReceivedBase || e.AckType == kAckRequestRange
                                       ? "ACKType = " + std::to_string(e.AckType)
                                       : std::string("ACKType = UNKNOWN"));
      continue;
    }
    // The range is matched against what is queued, never walked number by number: a range of four
    // billion numbers costs no more than one of four.
    size_t before = p.outgoing.size();
    std::erase_if(p.outgoing, [&](const Outgoing& o) {
      return o.packetId != 0 && sameId(o.id, from) && o.packetId >= e.StartPacketID && o.packetId <= e.EndPacketID;
    });
    p.counters.dataPacketsAcked += static_cast<std::uint32_t>(before - p.outgoing.size());
  }
  return 0;
}

// n_acceptNewMsg.
long acceptNewMsg(std::string bytes, std::uint32_t ip, const char* socketText) {
  std::int32_t type = 0;
  int rc = checkPacketInfo(bytes, lib().desKey, type);
  if (rc == kPeerTooShort) {
    logLine("n_acceptNewMsg", "New Msg. The Data is too short. Recieved = " + std::to_string(bytes.size()) +
                                  " Min size should be = " + std::to_string(kPacketInfoLen), kLevelError);
    return rc;
  }
  if (rc == kPeerIncompatible) {
    logLine("n_acceptNewMsg", "Incompatable packet version received from IP = " + dottedAddress(ip) + " PacketType = " +
                                  std::to_string(type) + " CompatableVersion received = " +
                                  std::to_string(headerOf<PacketInfo>(bytes).CompatableVersion) + " should be " +
                                  std::to_string(kCompatableVersion) +
                                  " This is a packet sent to this machine from another version of Wirelet or another "
                                  "process talking on the same port", kLevelError);
    return rc;
  }
  if (rc == kPeerUnknownType) {
    logLine("n_acceptNewMsg", "Unknown PacketType. PacketType = " + std::to_string(type) + " From IP = " + dottedAddress(ip) +
                                  " on local socket = " + socketText, kLevelError);
    return rc;
  }
  if (type == kPacketDataPacket) return acceptData(bytes, ip);
  if (type == kPacketAcknowledge) return acceptAck(bytes, ip);
  return acceptCanDo(bytes, type, ip);
}

// ---- Acknowledgements and resends ----

long SendAcknowledges() {
  Peer& p = peer();
  bool sentAny = false;
  NetID current{};
  bool haveCurrent = false;
  std::vector<AckRange> ranges;
  AckRange open{};
  bool rangeOpen = false;
  long result = 0;
  auto closeRange = [&] {
    if (rangeOpen) ranges.push_back(open);
    rangeOpen = false;
  };
  auto send = [&]() -> bool {
    if (ranges.empty()) return true;
    if (getNetIDIP(current) == 0) {
      result = kNetAddressNotFound;
      return false;
    }
    std::string packet = makeAckPacket(lib().netId, lowestUnAck(current), ranges);
    if (long rc = SASendMsg(current, packet, 0); rc != 0) HandleSendError(static_cast<int>(rc), current);
    sentAny = true;
    ranges.clear();
    return true;
  };
  for (auto& [key, acked] : p.received) {
    if (acked) continue;
    if (!haveCurrent || !sameId(key.first, current)) {
      closeRange();
      if (!send()) break;
      current = key.first;
      haveCurrent = true;
    }
    if (rangeOpen && key.second - 1 != open.end) {
      closeRange();
      if (ranges.size() >= static_cast<size_t>(kMaxAcksInPacket) && !send()) break;
    }
    if (!rangeOpen) {
      open.start = key.second;
      rangeOpen = true;
    }
    open.end = key.second;
    acked = true;
  }
  if (result == 0) {
    closeRange();
    send();
  }
  if (sentAny) ++p.counters.ackPassesSent;
  return result;
}

void ensureConnection(const NetID& id, std::vector<NetID>& processed) {
  Peer& p = peer();
  if (std::any_of(processed.begin(), processed.end(), [&](const NetID& x) { return sameId(x, id); })) return;
  std::uint32_t ip = getNetIDIP(id);
  if (ip == 0) {
    logLine("CheckForResends", "Error. Can not find IP in qNetID", kLevelError);
  } else if (Sending* s = findSending(ip, id.SPort); !s) {
    logLine("CheckForResends", "Need to create a socket to send the packet again. IP = " + dottedAddress(ip));
    (void)CreateSendingSocket(id);  // logs its own failure
  } else if (s->readyToSend && lib().reconnectBeforeResend) {
    logLine("CheckForResends", "There are packets to resend. We are first going to close the existing connection and open it "
                               "again.  Socket = " + std::to_string(s->socket));
    for (auto it = p.sending.begin(); it != p.sending.end(); ++it)
      if (&*it == s) {
        closeSending(it);
        break;
      }
    (void)CreateSendingSocket(id);
  } else if (s->readyToSend) {
    logLine("CheckForResends", "Need to refresh messaging for socket. Socket = " + std::to_string(s->socket));
    loop().asyncSelect(s->socket, s->msg, kFdWrite | kFdClose);
  } else {
    logLine("CheckForResends", "Relax mode. The Socket is being setup or used. Socket = " + std::to_string(s->socket));
  }
  processed.push_back(id);
}

long CheckForResends() {
  Peer& p = peer();
  const std::int32_t t = now();
  std::vector<NetID> processed;
  int resent = 0;
  std::vector<NetID> givenUp;
  for (size_t i = 0; i < p.outgoing.size(); ++i) {
    Outgoing& o = p.outgoing[i];
    if (o.packetId == 0) continue;  // acknowledgements are never resent
    if (!(o.lastSentTime < t - kResendInterval || o.lastSentTime > t)) continue;
    bool goAhead = true;
    if (lib().resendCheckNetID) {
      if (NetIdEntry* e = findNetId(o.id)) {
        if (e->lastTimeOfCanDoReceived > t) {
          e->lastTimeOfCanDoReceived = 0;
          logLine("CheckForResends", "Attention - correcting midnight clock() thing. This is fine around the first few hours of "
                                     "the morning");
        }
        if (t < e->lastTimeOfCanDoReceived + kSilenceLimit) {
          bool inactive = std::any_of(p.netServices.begin(), p.netServices.end(),
                                      [&](const NetService& s) { return sameId(s.id, o.id) && !s.active; });
          if (inactive) {
            logLine("CheckForResends", "This packet has an InActive Service. Won't resend just yet.");
            goAhead = false;
          }
        } else {
          logLine("CheckForResends", "This packet's qNetID.LastTimeOfCanDoReceived is too old. Will wait for newer ICanDo "
                                     "packet before sending.");
          goAhead = false;
        }
      } else {
        logLine("CheckForResends", "Error. NetID not found in qNetID.. Error = " + std::to_string(kNetAddressNotFound),
                kLevelError);
      }
    }
    if (o.allSent && goAhead) {
      if (o.resends >= kMaxResends) {
        logLine("CheckForResends", "Giving up PacketID = " + std::to_string(o.packetId) + " after " +
                                       std::to_string(o.resends) + " resends without an acknowledgement.", kLevelError);
        givenUp.push_back(o.id);
        o.data.clear();  // removed below
        continue;
      }
      o.allSent = false;
      o.sentSoFar = 0;
      ++o.resends;
      ++p.counters.resentOutGoingPackets;
      ++resent;
      o.lastSentTime = t;
    } else if (!o.allSent) {
      logLine("CheckForResends", "This packet is still waiting to be sent (ie not sent yet) PacketID = " + std::to_string(o.packetId));
    }
    if (goAhead) ensureConnection(o.id, processed);
    else
      logLine("CheckForResends", "Okay need to resend, but the host is not contactable via the ICANDO process. Will wait for "
                                 "now.  PacketID = " + std::to_string(o.packetId));
  }
  std::erase_if(p.outgoing, [](const Outgoing& o) { return o.packetId != 0 && o.data.empty(); });
  for (const NetID& id : givenUp) HandleSendError(kNetNotAllDataSent, id);
  if (resent > 0 && !p.resentLastPass) logLine("CheckForResends", "Some packets need to be resent.");
  if (resent == 0 && p.resentLastPass) logLine("CheckForResends", "No more packets to resend");
  p.resentLastPass = resent > 0;
  return 0;
}

void CloseInActiveConnections() {
  Peer& p = peer();
  const std::int32_t t = now();
  if (t < kIdleConnection) return;
  for (auto it = p.sending.begin(); it != p.sending.end();) {
    auto next = std::next(it);
    if (std::abs(t - it->lastActivity) > kIdleConnection) {
      logLine("CloseInActiveConnections", "Found a sending socket = " + std::to_string(it->socket) + " (WinMsg = " +
                                              std::to_string(it->msg) + ") that hasn't been used since " +
                                              std::to_string(it->lastActivity) + ". Will close it now");
      closeSending(it);
    }
    it = next;
  }
  for (auto it = p.accepted.begin(); it != p.accepted.end();) {
    auto next = std::next(it);
    if (std::abs(t - it->lastActivity) > kIdleConnection) {
      logLine("CloseInActiveConnections", "Found a listening connection socket = " + std::to_string(it->socket) +
                                              " (WinMsg = " + std::to_string(it->msg) + ") that hasn't been used since " +
                                              std::to_string(it->lastActivity) + ". Will close it now");
      closeAccepted(it);
    }
    it = next;
  }
}

// Forgets instances silent for longer than kNetIdExpiry with nothing queued for them.
void ageNetIds() {
  Peer& p = peer();
  auto cutoff = SteadyClock::now() - kNetIdExpiry;
  std::vector<NetID> stale;
  for (const NetIdEntry& e : p.netIds) {
    if (e.lastHeard > cutoff) continue;
    if (std::any_of(p.outgoing.begin(), p.outgoing.end(), [&](const Outgoing& o) { return sameId(o.id, e.id); })) continue;
    stale.push_back(e.id);
  }
  for (const NetID& id : stale) {
    logLine("ageNetIds", "Forgetting " + netNameOf(id) + ": not heard from for two hours.");
    bool hadServices = std::any_of(p.netServices.begin(), p.netServices.end(), [&](const NetService& s) { return sameId(s.id, id); });
    clearRun(id);
    if (hadServices) SendNotify(id, "", true);
  }
}

void SendICanDoToInactiveServices() {
  Peer& p = peer();
  std::vector<NetID> ids;
  for (const NetService& s : p.netServices)
    if (!s.active && std::none_of(ids.begin(), ids.end(), [&](const NetID& x) { return sameId(x, s.id); })) ids.push_back(s.id);
  if (ids.empty()) return;
  for (const NetID& id : ids) {
    const NetIdEntry* e = findNetId(id);
    if (!e) {
      logLine("SendICanDoToInactiveServices", "Error. Can not find IP in qNetID", kLevelError);
      continue;
    }
    logLine("SendICanDoToInactiveServices", "Sending ICanDo to Inactive Service:  IP = " + dottedAddress(e->ip) +
                                                " DGPort = " + std::to_string(id.DGPort));
    sendICanDoTo(e->ip, id.DGPort);
  }
  std::int32_t& curr = lib().inactiveServicesTimerCurr;
  curr = std::min(kInactiveRetryLimit, static_cast<std::int32_t>((35 + 100) * static_cast<std::int64_t>(curr) / 100));
  logLine("SendICanDoToInactiveServices", "Inc Timer NetMem:InactiveServicesTimerCurr = " + std::to_string(curr));
}

long ReSendCanDoPackets() {
  Peer& p = peer();
  const std::int32_t t = now();
  bool adjusted = false;
  for (NetIdEntry& e : p.netIds)
    if (e.lastTimeOfCanDoReceived > t) {
      e.lastTimeOfCanDoReceived -= kCentisecondsPerDay;
      if (!adjusted) logLine("ReSendCanDoPackets", "Attention. Adjusted qNetID times over midnight");
      adjusted = true;
    }
  return broadcast(kPacketICanDoNRN, 1);
}

long SSendMsg(std::uint32_t ip, std::uint16_t port, const std::string& bytes) {
  if (bytes.empty()) return 0;
  ++peer().nextPacketId;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    int code = wsaError(errno);
    logLine("SSendMsg", "Error creating Socket. loc:ret = " + errorText(code), kLevelError);
    return code;
  }
  timeval limit{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = ip;
  to.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    int code = wsaError(errno);
    logLine("SSendMsg", "Error connecting to machine with IP = " + dottedAddress(ip) + " Port = " + std::to_string(port) +
                            " Socket = " + std::to_string(fd) + " Error = " + errorText(code), kLevelError);
    ::close(fd);
    return code;
  }
  long result = 0;
  ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  if (n < 0) {
    result = wsaError(errno);
    logLine("SSendMsg", "Error Sending Packet (connection was okay though) to machine with IP = " + dottedAddress(ip),
            kLevelError);
  } else {
    lib().bytesSent += static_cast<std::uint64_t>(n);
    if (static_cast<size_t>(n) != bytes.size()) {
      logLine("SSendMsg", "Error in size sent. Wanted to send bytes = " + std::to_string(bytes.size()) + " Actually sent = " +
                              std::to_string(n), kLevelError);
      result = kNetNotAllDataSent;
    }
  }
  closeSocketQuietly(fd);
  return result;
}

// ---- Event handlers ----

void datagramRead(int fd) {
  char buffer[kMaxICanDoPacketSize];
  sockaddr_in from{};
  socklen_t len = sizeof from;
  ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return;
    if (errno == ECONNREFUSED) {
      if (logAll())
        logLine("CallBackWindowClientCallBack", "Last CanDo UDP Message was unable to be delivered as the host was not "
                                                "listening on that port (WSAECONNRESET 10054). You will see lots of these in "
                                                "the logs.");
      return;
    }
    logLine("CallBackWindowClientCallBack", "DG Accept Error = " + errorText(wsaError(errno)), kLevelError);
    return;
  }
  if (n == 0) return;
  lib().bytesReceived += static_cast<std::uint64_t>(n);
  (void)acceptNewMsg(std::string(buffer, static_cast<size_t>(n)), from.sin_addr.s_addr, "DataGram");  // logged inside
}

void streamAccept(std::uint32_t lParam) {
  Peer& p = peer();
  if (int err = selectError(lParam); err != 0) {
    logLine("SS_AsyncAccept", "Received an error =  " + errorText(err), kLevelError);
    return;
  }
  unsigned msg = 0;
  for (unsigned m = kMsgAcceptedFirst; m <= kMsgAcceptedLast && msg == 0; ++m)
    if (std::none_of(p.accepted.begin(), p.accepted.end(), [&](const Accepted& a) { return a.msg == m; })) msg = m;
  if (msg == 0) {
    logLine("SS_AsyncAccept", "ERROR: Run out of avaliable Messages", kLevelError);
    // Nothing is accepted; the listening socket is not watched until a connection frees a number,
    // so that a waiting connection does not wake the event thread over and over.
    loop().asyncSelect(p.ssSocket, kMsgPeerStream, 0);
    return;
  }
  sockaddr_in remote{};
  socklen_t len = sizeof remote;
  int fd = ::accept4(p.ssSocket, reinterpret_cast<sockaddr*>(&remote), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd >= 0 && fd < 3) {
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    fd = moved;
  }
  if (fd < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return;
    logLine("SS_AsyncAccept", "Accept Error - Invalid Socket " + errorText(wsaError(errno)), kLevelError);
    return;
  }
  Accepted a;
  a.socket = fd;
  a.msg = msg;
  a.ip = remote.sin_addr.s_addr;
  a.lastActivity = now();
  p.accepted.push_back(std::move(a));
  loop().asyncSelect(fd, msg, kFdRead | kFdClose);
}

// Hands every complete packet on; false when the connection was closed for a bad stream.
bool extractPackets(std::list<Accepted>::iterator it) {
  std::string packet;
  for (;;) {
    switch (it->framer.next(packet)) {
      case StreamFramer::Result::Packet:
        (void)acceptNewMsg(packet, it->ip, "Stream");  // logged inside
        continue;
      case StreamFramer::Result::NeedMore:
        return true;
      case StreamFramer::Result::Incompatible:
        logLine("SS_AsyncRead", "Error. Incompatable Wirelet DLL Packet version received on Streamed connection from IP = " +
                                    dottedAddress(it->ip) + " received compatability = " +
                                    std::to_string(it->framer.version()) + " should be " +
                                    std::to_string(kCompatableVersion) +
                                    " Closing Socket. This is a packet sent to this machine from another version of Wirelet "
                                    "or another process talking on the same port", kLevelError);
        closeAccepted(it);
        return false;
      case StreamFramer::Result::BadLength:
        logLine("SS_AsyncRead", "Error. A packet length that no packet can have was received on Streamed connection from IP = " +
                                    dottedAddress(it->ip) + ". Closing Socket.", kLevelError);
        closeAccepted(it);
        return false;
    }
  }
}

void streamRead(unsigned msg, int fd, std::uint32_t lParam) {
  Peer& p = peer();
  auto it = std::find_if(p.accepted.begin(), p.accepted.end(), [&](const Accepted& a) { return a.msg == msg; });
  if (it == p.accepted.end() || it->socket != fd) {
    logLine("SS_AsyncRead", "Warning: SocketDead - Got a message for a socket that is no longer in qListeningSockets2.Message = " +
                                std::to_string(msg), kLevelError);
    loop().forget(fd);
    return;
  }
  it->lastActivity = now();
  const std::uint32_t event = selectEvent(lParam);
  if (int err = selectError(lParam); err != 0) logLine("SS_AsyncRead", "Received an error = " + errorText(err), kLevelError);
  if (event == kFdRead) {
    char buffer[kMaxStreamPacket];
    ssize_t n = ::recv(fd, buffer, it->framer.room(), MSG_DONTWAIT);
    if (n > 0) {
      lib().bytesReceived += static_cast<std::uint64_t>(n);
      it->framer.append(buffer, static_cast<size_t>(n));
    }
    extractPackets(it);
    return;
  }
  if (event == kFdClose) {
    // What arrived before the close is still read and delivered.
    for (;;) {
      char buffer[kMaxStreamPacket];
      if (it->framer.room() == 0) break;
      ssize_t n = ::recv(fd, buffer, it->framer.room(), MSG_DONTWAIT);
      if (n <= 0) break;
      it->framer.append(buffer, static_cast<size_t>(n));
      if (!extractPackets(it)) return;
    }
    if (!extractPackets(it)) return;
    closeAccepted(it);
    return;
  }
  logLine("SS_AsyncRead", "Wirelet (Streamed) Unknown Message = " + std::to_string(event));
}

void streamWrite(unsigned msg, int fd, std::uint32_t lParam) {
  Peer& p = peer();
  auto it = std::find_if(p.sending.begin(), p.sending.end(), [&](const Sending& s) { return s.msg == msg; });
  if (it == p.sending.end() || it->socket != fd) {
    logLine("SS_AsyncWrite", "Warning: SocketDead - Got a message for a socket that is no longer in qSendingSockets2.Message = " +
                                 std::to_string(msg), kLevelError);
    loop().forget(fd);
    return;
  }
  it->lastActivity = now();
  const std::uint32_t event = selectEvent(lParam);
  if (int err = selectError(lParam); err != 0) {
    logLine("SS_AsyncWrite", "Received an error =  " + errorText(err) + " Event = " + std::to_string(event) + " Message = " +
                                 std::to_string(msg) + " Socket = " + std::to_string(fd), kLevelError);
    NetID id = it->id;
    bool queued = std::any_of(p.outgoing.begin(), p.outgoing.end(), [&](const Outgoing& o) { return sameId(o.id, id); });
    if (queued) HandleSendError(err, id);
    if (event == kFdConnect) {
      closeSending(it);
      return;
    }
  }
  if (event == kFdConnect) return;
  if (event == kFdClose) {
    closeSending(it);
    return;
  }
  if (event != kFdWrite) {
    logLine("SS_AsyncWrite", "Unknown Wirelet (Streamed) Message = " + std::to_string(event));
    return;
  }
  const NetIdEntry* dest = nullptr;
  for (const NetIdEntry& e : p.netIds)
    if (e.ip == it->ip && e.id.SPort == it->sport) dest = &e;
  if (!dest) logLine("SS_AsyncWrite", "Error. IP and Socket not found in qNetID.", kLevelError);
  for (;;) {
    Outgoing* next = nullptr;
    if (dest) {
      for (Outgoing& o : p.outgoing) {
        if (o.allSent || !sameId(o.id, dest->id)) continue;
        if (!next || o.packetId < next->packetId || (o.packetId == next->packetId && o.ackPacketId < next->ackPacketId)) next = &o;
      }
    }
    if (!next) {
      it->readyToSend = true;
      return;
    }
    it->readyToSend = false;
    ssize_t n = ::send(fd, next->data.data() + next->sentSoFar, next->data.size() - next->sentSoFar, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      next->sentSoFar += static_cast<size_t>(n);
      lib().bytesSent += static_cast<std::uint64_t>(n);
    }
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        loop().sendBlocked(fd);
        return;
      }
      logLine("SS_AsyncWrite", "Error Sending Asyc Packet (connection was okay though) on socket = " + std::to_string(fd) +
                                   " Error = " + errorText(wsaError(errno)), kLevelError);
      return;
    }
    if (next->sentSoFar < next->data.size()) {
      loop().sendBlocked(fd);  // the next FD_WRITE goes on with the rest
      return;
    }
    if (next->packetId != 0) {
      next->allSent = true;
      next->lastSentTime = now();
      ++p.counters.dataPacketsSent;
    } else {
      ++p.counters.ackPacketsSent;
      const std::uint32_t ack = next->ackPacketId;
      std::erase_if(p.outgoing, [&](const Outgoing& o) { return o.packetId == 0 && o.ackPacketId == ack; });
    }
  }
}

}  // namespace

// ---- Hooks for the event thread ----

bool peerMessage(unsigned msg, int fd, std::uint32_t lParam) {
  const std::uint32_t event = selectEvent(lParam);
  if (msg == kMsgPeerStream) {
    if (event == kFdAccept) streamAccept(lParam);
    else logLine("CallBackWindowClientCallBack", "Received an unrecognised SS Message - (Not a FD_Accept or FD_CLOSE)", kLevelError);
    return true;
  }
  if (msg == kMsgPeerDatagram) {
    if (event == kFdRead) datagramRead(fd);
    else logLine("CallBackWindowClientCallBack", "Received an unrecognised DG Message - (Not a FD_Read or FD_CLOSE)", kLevelError);
    return true;
  }
  if (msg >= kMsgAcceptedFirst && msg <= kMsgAcceptedLast) {
    streamRead(msg, fd, lParam);
    return true;
  }
  if (msg >= kMsgSendingFirst && msg <= kMsgSendingLast) {
    streamWrite(msg, fd, lParam);
    return true;
  }
  return false;
}

void peerTick() {
  Peer& p = peer();
  if (!p.socketsLoaded) return;
  --p.ackCountdown;
  --p.announceCountdown;
  --p.inactiveCountdown;
  if (p.inactiveCountdown <= 0) {
    SendICanDoToInactiveServices();
    p.inactiveCountdown = std::max(1, lib().inactiveServicesTimerCurr / kTimerPeriod + 1);
  }
  if (p.ackCountdown <= 0) {
    CloseInActiveConnections();
    SendAcknowledges();
    CheckForResends();
    ageNetIds();
    p.ackCountdown = kAckInterval / kTimerPeriod + 1;
  }
  if (p.announceCountdown <= 0) {
    logLine("CallBackWindowSrc", "Half Hour Timer. Will resend all ICanDo Packets.");
    ReSendCanDoPackets();
    p.announceCountdown = kAnnounceInterval / kTimerPeriod + 1;
  }
}

void peerCloseDown() {
  Peer& p = peer();
  p.localServices.clear();
  if (p.socketsLoaded) broadcast(kPacketICanDoBack, 0);
  p.firstAnnouncementSent = false;
  p.shutDown = true;
}

void closeAllPeer() {
  Peer& p = peer();
  for (auto it = p.sending.begin(); it != p.sending.end();) it = (closeSocketQuietly(it->socket), p.sending.erase(it));
  for (auto it = p.accepted.begin(); it != p.accepted.end();) it = (closeSocketQuietly(it->socket), p.accepted.erase(it));
  for (int* fd : {&p.dgSocket, &p.ssSocket}) {
    if (*fd >= 0) {
      loop().forget(*fd);
      ::close(*fd);
    }
    *fd = -1;
  }
  p.socketsLoaded = false;
  p.localServices.clear();
  p.notify.clear();
  p.netServices.clear();
  p.inactiveServicesCount = 0;
  p.netIds.clear();
  p.inMsg.clear();
  p.orderInfo.clear();
  p.outgoing.clear();
  p.received.clear();
  p.receivedBase.clear();
  p.remote.clear();
  p.dgInstance = 0;
  lib().netId.DGPort = lib().dgBasePort;
}

void peerStartUp() {
  closeAllPeer();
  peer() = Peer();
}

PeerListSizes peerListSizes() {
  Peer& p = peer();
  PeerListSizes z;
  z.netId = static_cast<std::uint32_t>(p.netIds.size());
  z.notify = static_cast<std::uint32_t>(p.notify.size());
  z.localServices = static_cast<std::uint32_t>(p.localServices.size());
  z.netServices = static_cast<std::uint32_t>(p.netServices.size());
  z.inMsg = static_cast<std::uint32_t>(p.inMsg.size());
  z.orderInfo = static_cast<std::uint32_t>(p.orderInfo.size());
  z.listening = static_cast<std::uint32_t>(p.accepted.size());
  z.sending = static_cast<std::uint32_t>(p.sending.size());
  z.outgoing = static_cast<std::uint32_t>(p.outgoing.size());
  z.received = static_cast<std::uint32_t>(p.received.size());
  z.receivedBase = static_cast<std::uint32_t>(p.receivedBase.size());
  z.remote = static_cast<std::uint32_t>(p.remote.size());
  for (const Outgoing& o : p.outgoing)
    if (!o.allSent) ++z.outgoingNotSent;
  return z;
}

const PeerCounters& peerCounters() { return peer().counters; }

long peerDispatch(std::string bytes, std::uint32_t ip) { return acceptNewMsg(std::move(bytes), ip, "Test"); }

}  // namespace detail

// ---- Exports ----

namespace {
using namespace detail;

bool badSize(const char* proc, long size, long want, bool above) {
  if (above ? size <= want : size == want) return false;
  logLine(proc, "Invalid Structure size. Internal size = " + std::to_string(size) + " Sent size = " + std::to_string(want),
          kLevelError);
  return true;
}

std::vector<std::string> splitNames(const std::string& text) {
  std::vector<std::string> names;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    std::string n = clipText(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    n.erase(0, n.find_first_not_of(' '));
    if (!n.empty()) names.push_back(n.substr(0, kMaxNameLen));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return names;
}
}  // namespace

long NetSetService(long size, const NetServiceRecord& record) {
  ensureLoaded();
  {
    std::lock_guard lock(libraryLock());
    if (lib().registryWriteFailed || !lib().winSockLoaded) {
      logLine("NetSetService", "Something went wrong and the DLL must not be loaded.", kLevelError);
      return kNetCouldNotLoad;
    }
    if (badSize("NetSetService", size, sizeof(NetServiceRecord), false)) return kNetBadStructureSize;
    Peer& p = peer();
    if (p.nextPacketId == 0) p.startingPacketId = p.nextPacketId = 1;
    const std::string name = fieldText(record.ServiceName, sizeof record.ServiceName);
    const bool stop = (record.Options & kServiceStop) && !(record.Options & kServiceStart);
    if (!stop && !name.empty()) p.shutDown = false;
    if (p.shutDown) {
      logLine("NetSetService", "DLL already shutdown. Ignoring StopService for ServiceName = " + name);
      return 0;
    }
  }
  if (int rc = LoadCallBackWindow(); rc != 0) {
    logLine("NetSetService", "LoadCallBackWindow returned " + std::to_string(rc), kLevelError);
    return rc;
  }
  std::lock_guard lock(libraryLock());
  Peer& p = peer();
  if (long rc = LoadWireletSockets(); rc != 0) {
    logLine("NetSetService", "LoadWireletSockets returned " + std::to_string(rc), kLevelError);
    return rc;
  }
  const std::string name = fieldText(record.ServiceName, sizeof record.ServiceName);
  const bool stop = (record.Options & kServiceStop) && !(record.Options & kServiceStart);
  const std::uint32_t options = static_cast<std::uint32_t>(record.Options) & ~static_cast<std::uint32_t>(kServiceStop);
  int changes = 0;
  if (name.empty()) {
    logLine("NetSetService", "Freeing all entries in the qLocalServices Queue");
    p.localServices.clear();
    ++changes;
  } else {
    for (const std::string& n : splitNames(name)) {
      auto it = std::find_if(p.localServices.begin(), p.localServices.end(),
                             [&](const LocalService& s) { return s.name == n && s.thread == record.Thread; });
      if (stop) {
        if (it == p.localServices.end()) {
          logLine("NetSetService", "Trying to Deleting Service in the qlocalSerices Queue, but the service was not there. "
                                   "ServiceName = " + n + " Thread = " + std::to_string(record.Thread));
        } else {
          logLine("NetSetService", "Deleting Service in the qlocalSerices Queue. ServiceName = " + n);
          p.localServices.erase(it);
          ++changes;
        }
      } else if (it != p.localServices.end()) {
        logLine("NetSetService", "Warning!*!*!*! Service already exists in the qlocalServices Queue. You can only have one "
                                 "service with the same name on the same thread. You are on your own from here on. "
                                 "ServiceName = " + n + " Thread = " + std::to_string(record.Thread), kLevelError);
        const std::uint32_t watched = kServicePrivate | kServiceListOwn;
        if ((it->options & watched) != (options & watched)) ++changes;
        it->event = record.Event;
        it->options = options;
      } else {
        logLine("NetSetService", "Added Service in the qlocalServices Queue. ServiceName = " + n);
        LocalService s{n, record.Thread, record.Event, options};
        auto at = std::upper_bound(p.localServices.begin(), p.localServices.end(), s,
                                   [](const LocalService& a, const LocalService& b) { return a.name < b.name; });
        p.localServices.insert(at, s);
        ++changes;
      }
    }
  }
  if (changes > 0 || !p.firstAnnouncementSent) {
    long rc = broadcast(kPacketICanDo, 0);
    p.firstAnnouncementSent = true;
    return rc;
  }
  return 0;
}

long NetNotify(long size, const NetServiceRecord& record) {
  ensureLoaded();
  std::lock_guard lock(libraryLock());
  if (badSize("NetNotify", size, sizeof(NetServiceRecord), false)) return kNetBadStructureSize;
  if (!lib().callBackWindowUp || !peer().socketsLoaded) return kNetNotInitiated;
  Peer& p = peer();
  const std::string name = fieldText(record.ServiceName, sizeof record.ServiceName);
  if ((record.Options & kNotifyAdd) && (record.Options & kNotifyRemove)) {
    logLine("NetNotify", "You can't start and stop a service in one go!", kLevelError);
    return kNetBadParameters;
  }
  if (record.Options & kNotifyAdd) {
    p.notify.push_back(NotifyEntry{record.Thread, record.Event, name, name.empty() ? 0 : 1});
    logLine("NetNotify", "Added ServiceName = " + name + " to qNotify");
  } else if (record.Options & kNotifyRemove) {
    for (size_t i = p.notify.size(); i-- > 0;) {
      const NotifyEntry& n = p.notify[i];
      if (n.thread == record.Thread && (name.empty() || n.name == name)) {
        logLine("NetNotify", "Deleted ServiceName = " + n.name + " to qNotify");
        p.notify.erase(p.notify.begin() + static_cast<long>(i));
      }
    }
  }
  return 0;
}

long NetRemote(long size, const NetRemoteRecord& record, long mode) {
  ensureLoaded();
  std::unique_lock lock(libraryLock());
  if (badSize("NetRemote", size, sizeof(NetRemoteRecord), true)) return kNetBadStructureSize;
  if (!lib().callBackWindowUp || !peer().socketsLoaded) {
    logLine("NetRemote", "DLL not active. Use NetSetService before calling this function", kLevelError);
    return kNetNotInitiated;
  }
  std::string name = fieldText(record.Name, sizeof record.Name);
  name.erase(0, name.find_first_not_of(' '));
  in_addr a{};
  auto addRemote = [](const std::string& ip) {
    Peer& p = peer();
    if (p.remote.count(ip)) logLine("NetRemote", "Already in the list. Addr = " + ip);
    else {
      logLine("NetRemote", "Adding " + ip + " to qRemote.IPcstr.");
      p.remote.insert(ip);
    }
  };
  if (::inet_pton(AF_INET, name.c_str(), &a) == 1) {
    addRemote(name);
    SendRemote(name, kPacketICanDo);
    return 0;
  }
  if (mode == 8192) {
    logLine("NetRemote", "Synchronous mode is not supported yet. Returning Bad Options.", kLevelError);
    return kNetBadParameters;
  }
  if (mode != 0) {
    logLine("NetRemote", "Mode is not supported yet. Returning Bad Options. p_Mode = " + std::to_string(mode), kLevelError);
    return kNetBadParameters;
  }
  logLine("NetRemote", "Doing an Asynchronous DNS lookup (starting GetHostInfo)");
  try {
    std::thread([name, addRemote] {
      std::string ip = DNSblocking(name);
      std::lock_guard lock(libraryLock());
      in_addr b{};
      if (ip.empty() || ::inet_pton(AF_INET, ip.c_str(), &b) != 1) {
        logLine("GetHostInfo", "Get Name Error (End of asynchronous DNS lookup) Err Num = " + std::to_string(kWsaHostNotFound) +
                                   " Error = " + NetErrorStr(kWsaHostNotFound), kLevelError);
        return;
      }
      if (!peer().socketsLoaded) return;  // closed down meanwhile
      logLine("GetHostInfo", "Asynchronous DNS lookup returned. Hostname resolved. IP = " + ip);
      addRemote(ip);
      SendRemote(ip, kPacketICanDo);
      SendRemote(ip, kPacketICanDo);
    }).detach();
  } catch (const std::system_error&) {
    logLine("NetRemote", "New thread start error. Make sure the NetRemote call is placed after priority 8040 in ThisWindow.Init().",
            kLevelError);
    return -19;
  }
  return 0;
}

long NetSendBroadCast(long type, long options) {
  ensureLoaded();
  std::lock_guard lock(libraryLock());
  return broadcast(static_cast<std::int32_t>(type), options);
}

std::string NetGetNetName() {
  ensureLoaded();
  std::lock_guard lock(libraryLock());
  return lib().netName;
}

long NetASend(long size, NetPacketRecord& record, long reserved) {
  (void)reserved;
  ensureLoaded();
  std::lock_guard lock(libraryLock());
  if (size != static_cast<long>(sizeof(NetPacketRecord))) {
    logLine("NetASend", "Invalid Structure size. Size of packet passed to DLL = " + std::to_string(size) + " Should be = " +
                            std::to_string(sizeof(NetPacketRecord)), kLevelError);
    return kNetBadStructureSize;
  }
  Peer& p = peer();
  if (!lib().callBackWindowUp || !p.socketsLoaded) {
    logLine("NetASend", "DLL not active. Use NetSetService before calling this function.", kLevelError);
    return kNetNotInitiated;
  }
  NetID dest;
  bool reply = (record.Options & kPacketReply) != 0;
  std::string toName = fieldText(record.ToNetName, sizeof record.ToNetName);
  std::string fromName = fieldText(record.FromNetName, sizeof record.FromNetName);
  std::int32_t toThread = record.ToThread, fromThread = record.FromThread;
  if (reply) {
    dest = record.DirectResponse;
    if (dest.GUID1 == 0 || (dest.SPort == 0 && dest.DGPort == 0)) {
      logLine("NetASend", "Bad response address: GUID = " + std::to_string(dest.GUID1) + " " + std::to_string(dest.GUID2) +
                              " SPort = " + std::to_string(dest.SPort) + " DGPort = " + std::to_string(dest.DGPort), kLevelError);
      return kNetBadResponseAddress;
    }
    record.Options &= ~kPacketReply;
    std::swap(toName, fromName);
    std::swap(toThread, fromThread);
    logLine("NetASend", "Using Net:Response in send");
  } else {
    const NetIdEntry* e = nullptr;
    for (const NetIdEntry& x : p.netIds)
      if (x.uniqueName == toName) e = &x;
    bool offers = e && std::any_of(p.netServices.begin(), p.netServices.end(), [&](const NetService& s) { return sameId(s.id, e->id); });
    if (!offers) {
      logLine("NetASend", "Error (" + std::to_string(kNetReceiverNotFound) + "). Receiver not found in qNetServices.  ToNetName = " +
                              toName + " ServiceName = " + fieldText(record.ServiceName, sizeof record.ServiceName) +
                              " Command = " + std::to_string(record.Command) + " Options = " + std::to_string(record.Options) +
                              " SetNumber = " + std::to_string(record.SetNumber) + " PacketNumber = " +
                              std::to_string(record.PacketNumber) + " ToThread = " + std::to_string(record.ToThread),
              kLevelError);
      return kNetReceiverNotFound;
    }
    dest = e->id;
  }
  std::int32_t declared = record.BinDataLen;
  if (declared == -1) {
    std::string_view data(record.BinData, sizeof record.BinData);
    size_t end = data.find_last_not_of(' ');
    declared = end == std::string_view::npos ? 0 : static_cast<std::int32_t>(end + 1);
    if (!reply) record.BinDataLen = declared;  // a reply is built from a copy of the record
  }
  const std::int32_t binLen = std::clamp(declared, 0, kMaxPeerBinData);
  if (binLen == 0) logLine("MakeRawDataPacket", "BinData = 0, will not send any BinData data - the rest of the packet will be sent though.");
  DataContent c;
  c.fromNetId = lib().netId;
  c.toNetName = toName;
  if (toName.empty()) logLine("MakeRawDataPacket", "Warning. ToNetName is blank.");
  c.serviceName = fieldText(record.ServiceName, sizeof record.ServiceName);
  if (c.serviceName.empty()) logLine("MakeRawDataPacket", "Warning. ServiceName is blank.");
  c.binData.assign(record.BinData, static_cast<size_t>(binLen));
  c.encipher = record.Encrypt == 1;
  if (c.encipher && binLen < static_cast<std::int32_t>(kCipherBlock))
    logLine("MakeRawDataPacket", "Attention. Data size is less than 8 bytes long. Can not encrypt.");
  c.key = lib().desKey;
  c.fromNetName = !fromName.empty() ? fromName : !lib().netName.empty() ? lib().netName : std::string("Unknown");
  c.command = record.Command;
  c.toThread = toThread;
  c.fromThread = fromThread;
  c.packetNumber = record.PacketNumber;
  c.setNumber = record.SetNumber;
  c.options = record.Options;
  c.packetId = p.nextPacketId;
  c.lowestUnAckPacketId = lowestUnAck(dest);
  c.sentDate = rt::TODAY();
  c.sentTime = rt::CLOCK();
  std::string packet = makeDataPacket(c);
  if (long rc = SASendMsg(dest, packet, p.nextPacketId); rc != 0) {
    HandleSendError(static_cast<int>(rc), dest);
    return rc;
  }
  ++p.nextPacketId;
  return 0;
}

long NetSend() {
  ensureLoaded();
  std::lock_guard lock(libraryLock());
  logLine("NetSend", "This function is no longer supported", kLevelError);
  return kNetNoSupport;
}

long NetReceive(long size, NetPacketRecord& record) {
  ensureLoaded();
  std::lock_guard lock(libraryLock());
  if (size > static_cast<long>(sizeof(NetPacketRecord))) {
    logLine("NetReceive", "Invalid Structure size. Internal size = " + std::to_string(size) + " Sent size: " +
                              std::to_string(sizeof(NetPacketRecord)), kLevelError);
    return kNetBadStructureSize;
  }
  Peer& p = peer();
  if (!lib().callBackWindowUp || !p.socketsLoaded) {
    logLine("NetReceive", "DLL not active. Use NetSetService before calling function", kLevelError);
    return kNetNotInitiated;
  }
  if (p.inMsg.empty()) return kNetNoRequest;
  const std::string service = fieldText(record.ServiceName, sizeof record.ServiceName);
  const std::string from = fieldText(record.FromNetName, sizeof record.FromNetName);
  auto it = std::find_if(p.inMsg.begin(), p.inMsg.end(), [&](const InMsg& m) {
    return m.readyForCollect && (service.empty() || m.packet.serviceName == service) &&
           (from.empty() || m.packet.fromNetName == from);
  });
  if (it == p.inMsg.end()) {
    logLine("NetReceive", "Could not find a packet in qInMsg to deliver");
    return kNetRequestNotFound;
  }
  const InMsg m = *it;
  p.inMsg.erase(it);
  const NetDataHeader& h = m.packet.header;
  if (h.Options & kPacketOrderedSet) {
    OrderInfo* o = findOrder(h.FromNetID, h.FromThread, m.packet.serviceName, h.SetNumber, true);
    if (!o) {
      logLine("NetReceive", "Problem here loc:found2 = false!!", kLevelError);
    } else if (h.Options & kPacketLastOfSet) {
      logLine("NetReceive", "This is a LastOfSet: deleting it from the qOrderInfo Queue");
      std::erase_if(p.orderInfo, [&](const OrderInfo& x) { return &x == o; });
    } else {
      if (h.PacketNumber == o->expected) ++o->expected;
      for (InMsg& next : p.inMsg) {
        const NetDataHeader& n = next.packet.header;
        if (!sameId(n.FromNetID, h.FromNetID) || n.FromThread != h.FromThread || next.packet.serviceName != m.packet.serviceName ||
            n.SetNumber != h.SetNumber)
          continue;
        if (next.readyForCollect || n.PacketNumber != o->expected) continue;
        next.readyForCollect = true;
        ++o->expected;
        if (const LocalService* s = findLocalService(next.packet.serviceName, n.ToThread)) postEvent(s->event, s->thread);
        else
          logLine("NetReceive", "There's a packet in qInMsg that no longer has a local service. Local ServiceName = " +
                                    next.packet.serviceName);
        break;
      }
    }
  }
  putText(record.ServiceName, m.packet.serviceName);
  std::memset(record.BinData, 0, sizeof record.BinData);
  std::memcpy(record.BinData, m.packet.binData.data(), m.packet.binData.size());
  record.BinDataLen = static_cast<std::int32_t>(m.packet.binData.size());
  record.Command = h.Command;
  putText(record.FromNetName, m.packet.fromNetName);
  putText(record.ToNetName, m.packet.toNetName);
  record.PacketNumber = h.PacketNumber;
  record.SetNumber = h.SetNumber;
  record.Options = h.Options;
  record.SentDate = h.SentDate;
  record.SentTime = h.SentTime;
  record.DirectResponse = h.FromNetID;
  record.ToThread = h.ToThread;
  record.FromThread = h.FromThread;
  std::memset(record.FromIP, 0, sizeof record.FromIP);
  if (const NetIdEntry* e = findNetId(h.FromNetID)) {
    std::string ip = dottedAddress(e->ip);
    std::memcpy(record.FromIP, ip.data(), std::min(ip.size(), sizeof record.FromIP));
  } else {
    logLine("NetReceive", "Error accessing qNetID Error = " + std::to_string(kNetAddressNotFound), kLevelError);
  }
  return 0;
}

long NetGetServer(long size, std::string_view serviceName, std::vector<NetPublicService>& list) {
  ensureLoaded();
  std::lock_guard lock(libraryLock());
  if (size > static_cast<long>(sizeof(NetServiceRecord))) {
    logLine("NetGetServer", "Invalid Structure size. Internal size = " + std::to_string(size) + " Sent size = " +
                                std::to_string(sizeof(NetServiceRecord)), kLevelError);
    return kNetBadStructureSize;
  }
  Peer& p = peer();
  if (!lib().callBackWindowUp || !p.socketsLoaded) {
    if (p.shutDown) {
      logLine("NetGetServer", "Shutdown in process. Call to function ignored (this is quite acceptable behaviour).");
      return 0;
    }
    logLine("NetGetServer", "DLL not active. Use NetSetService first before calling this function", kLevelError);
    return kNetNotInitiated;
  }
  for (NetPublicService& e : list) e.Mark = ' ';
  long result = p.netServices.empty() ? kNetNoServers : kNetServerNotFound;
  const std::string name = clipText(serviceName);
  for (const NetService& s : p.netServices) {
    if (!s.active) continue;
    result = 0;
    if (!name.empty() && s.name != name) continue;
    auto it = std::find_if(list.begin(), list.end(), [&](const NetPublicService& e) {
      return fieldText(e.ServiceName, sizeof e.ServiceName) == s.name && sameId(e.ServerNetID, s.id);
    });
    if (it != list.end()) {
      it->Mark = 'A';
      continue;
    }
    NetPublicService e;
    putText(e.Description, s.description);
    putText(e.UniqueNetName, netNameOf(s.id));
    const NetIdEntry* id = findNetId(s.id);
    putText(e.IP, id ? dottedAddress(id->ip) : std::string());
    putText(e.ServiceName, s.name);
    e.ServerNetID = s.id;
    e.Mark = 'A';
    list.push_back(e);
  }
  for (size_t i = list.size(); i-- > 0;)
    if (list[i].Mark == ' ') list.erase(list.begin() + static_cast<long>(i));
  if (list.empty()) {
    logLine("NetGetServer", "Records(p_qExternalPublicServices) = 0. Returning ServerNotFound");
    result = kNetServerNotFound;
  }
  return result;
}

}  // namespace ov::net
