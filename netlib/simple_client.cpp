// NetSimple client connections: the exports, the queues and the event handlers.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <thread>

#include "netlib/detail/dns.h"
#include "netlib/detail/library.h"
#include "netlib/detail/log.h"
#include "netlib/detail/sock_err.h"
#include "netlib/detail/testing.h"
#include "netlib/net_error.h"
#include "netlib/net_simple.h"
#include "platform/rt/date_time.h"
#include "platform/rt/fixed_string.h"

namespace ov::net {
namespace detail {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::int32_t kCloseExpiry = 30000;  // centiseconds: 5 minutes
constexpr int kMessageAttempts = 1000;
constexpr int kReadsPerEvent = 64;  // then the event thread turns to others; poll brings it back
std::atomic<int> g_connectTimeoutMs{30000};

struct ClientEntry {
  int socket = -1;  // -1 while a host-name look-up is pending
  bool socketClosed = false;
  std::int32_t sockId = 0;
  std::uint32_t addr = 0;  // remote IPv4, network order
  std::uint16_t port = 0;
  std::uint32_t localAddr = 0;
  bool localKnown = false;
  unsigned asyncMessage = 0;
  int notifyThread = 0;
  int notifyMsg = 0;
  bool closingState = false;
  bool phaseOneCloseCalled = false;
  std::int32_t phaseOneCloseTime = 0;
  bool fdCloseReceived = false;
  bool phaseTwoCloseCalled = false;
  bool receiveShut = false;
  bool asyncOpenInProgress = false;
  std::int32_t asyncOpenStopTime = 0;
  SteadyClock::time_point asyncDeadline{};
  std::uint32_t asyncDnsHandle = 0;
  std::string server;
  // Accepted connections of a listening port: the port's SimpleServerID (0 for a client) and the
  // port data that every packet of the connection carries.
  std::int32_t serverId = 0;
  std::uint16_t serverPort = 0;
  std::uint32_t serverSocket = 0;
  std::int32_t serverSockId = 0;

  bool hasSocket() const { return socket >= 0 && !socketClosed; }
  std::uint32_t recordSocket() const { return socket >= 0 ? static_cast<std::uint32_t>(socket) : 0; }
};

struct OutPacket {
  std::uint32_t id = 0;
  std::uint32_t socket = 0;
  std::int32_t sockId = 0;
  std::uint32_t addr = 0;
  bool allSent = false;
  std::string data;
  size_t bytesSent = 0;
};

struct InPacket {
  std::uint32_t fromIp = 0;
  std::uint32_t onSocket = 0;
  std::int32_t sockId = 0;
  std::string data;
  std::int32_t type = 0;
  std::uint16_t serverPort2 = 0;
  std::uint32_t serverOnSocket = 0;
  std::int32_t serverSockId = 0;
  std::int32_t sequence = 0;
  std::uint16_t udpFromPort = 0;
  std::int32_t error = 0;
};

// qSimpleServerListeningPorts: a TCP listening port or a UDP port.
struct PortEntry {
  std::int32_t serverId = 0;
  int socket = -1;
  bool socketClosed = false;
  std::int32_t sockId = 0;
  std::uint16_t port = 0;
  unsigned asyncMessage = 0;
  int notifyThread = 0;
  int notifyMsg = 0;
  std::int32_t maxServerConnections = 0;
  bool phaseOneCloseCalled = false;
  std::int32_t phaseOneCloseTime = 0;
  bool udpMode = false;

  bool hasSocket() const { return socket >= 0 && !socketClosed; }
  std::uint32_t recordSocket() const { return socket >= 0 ? static_cast<std::uint32_t>(socket) : 0; }
};

struct Lookup {
  std::atomic<bool> cancelled{false};
  std::uint32_t address = 0;
  int error = 0;
};

struct Simple {
  std::list<ClientEntry> clients;  // qSimpleClientSockets
  std::list<ClientEntry> accepted; // qSimpleServerConnections
  std::list<PortEntry> ports;      // qSimpleServerListeningPorts
  std::int32_t serverIdCounter = 0;
  unsigned portMessageCounter = kMsgSimpleServerPortLast;
  unsigned acceptMessageCounter = kMsgSimpleServerAcceptLast;
  std::deque<OutPacket> out;       // qSimpleOutList with qSimpleOutData, in SimplePacketID order
  std::deque<InPacket> in;         // qSimpleInData
  std::int32_t sockIdCounter = 0;
  std::uint32_t packetIdCounter = 0;
  std::int32_t sequenceCounter = 0;
  unsigned clientMessageCounter = kMsgSimpleClientLast;
  std::uint32_t lookupCounter = 0;
  std::map<std::uint32_t, std::shared_ptr<Lookup>> lookups;
  int countSimpleAsyncOpens = 0;
};

Simple& simple() {
  static Simple* s = new Simple;
  return *s;
}

std::string text(const char* field, size_t size) { return std::string(field, ::strnlen(field, size)); }

template <size_t N>
void setText(char (&field)[N], std::string_view value) {
  std::memset(field, 0, N);
  std::memcpy(field, value.data(), std::min(value.size(), N - 1));
}

std::uint32_t reserved1(const NetSimpleConnection& c) {
  std::uint32_t v;
  std::memcpy(&v, c.Reserved1, 4);
  return v;
}

void setReserved1(NetSimpleConnection& c, std::uint32_t v) { std::memcpy(c.Reserved1, &v, 4); }

std::string errorText(int code) { return std::to_string(code) + " " + NetErrorStr(code); }

// A socket never takes descriptors 0-2: a pending look-up is "socket 0" in the records.
int newStreamSocket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd >= 0 && fd < 3) {
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    fd = moved;
  }
  return fd;
}

void closeSocket(ClientEntry& e) {
  if (!e.hasSocket()) return;
  loop().forget(e.socket);
  ::close(e.socket);
  e.socketClosed = true;
}

ClientEntry* findByMessage(unsigned msg) {
  for (ClientEntry& e : simple().clients)
    if (e.asyncMessage != 0 && e.asyncMessage == msg) return &e;
  return nullptr;
}

ClientEntry* findBySocket(std::uint32_t socket, std::int32_t sockId) {
  for (ClientEntry& e : simple().clients)
    if (e.recordSocket() == socket && e.sockId == sockId) return &e;
  return nullptr;
}

// By (address, socket, SockID): address 0 matches any, socket 0 matches by SockID alone.
ClientEntry* findConnection(std::uint32_t addr, std::uint32_t socket, std::int32_t sockId) {
  for (ClientEntry& e : simple().clients) {
    if (e.sockId != sockId) continue;
    if (socket != 0 && e.recordSocket() != socket) continue;
    if (addr != 0 && e.addr != addr) continue;
    return &e;
  }
  return nullptr;
}

void eraseEntry(const ClientEntry* e) {
  for (auto* list : {&simple().clients, &simple().accepted})
    for (auto it = list->begin(); it != list->end(); ++it)
      if (&*it == e) {
        list->erase(it);
        return;
      }
}

void queueIn(InPacket p, int thread, int event) {
  Simple& s = simple();
  p.sequence = ++s.sequenceCounter;
  s.in.push_back(std::move(p));
  postEvent(event, thread);
}

InPacket packetOf(const ClientEntry& e, std::int32_t type) {
  InPacket p;
  p.fromIp = e.addr;
  p.onSocket = e.recordSocket();
  p.sockId = e.sockId;
  p.type = type;
  p.serverPort2 = e.serverPort;
  p.serverOnSocket = e.serverSocket;
  p.serverSockId = e.serverSockId;
  return p;
}

void queueState(const ClientEntry& e, std::int32_t type, std::int32_t error = 0) {
  InPacket p = packetOf(e, type);
  p.error = error;
  queueIn(std::move(p), e.notifyThread, e.notifyMsg);
}

// SimpleClearInAndOutQueues.
void clearQueues(std::uint32_t addr, std::uint32_t socket, std::int32_t sockId, bool keepReceived) {
  Simple& s = simple();
  size_t outBefore = s.out.size(), inBefore = s.in.size();
  std::erase_if(s.out, [&](const OutPacket& p) {
    return p.sockId == sockId && p.socket == socket && (addr == 0 || p.addr == addr);
  });
  if (!keepReceived) {
    std::erase_if(s.in, [&](const InPacket& p) {
      return (p.sockId == sockId && p.onSocket == socket && p.fromIp == addr) ||
             (p.serverSockId == sockId && p.serverOnSocket == socket && sockId != 0);
    });
  }
  size_t outGone = outBefore - s.out.size(), inGone = inBefore - s.in.size();
  if (!logAll()) return;
  if (outGone + inGone > 0)
    logLine("SimpleClearInAndOutQueues", "Warning. Had to clear up some old packets. Outgoing packets (deleted) = " +
                                             std::to_string(outGone) + " Incoming packets (deleted) = " + std::to_string(inGone));
  else
    logLine("SimpleClearInAndOutQueues", "Normal check. (Nothing deleted)");
}

int allocateMessage() {
  Simple& s = simple();
  for (int attempt = 0; attempt < kMessageAttempts; ++attempt) {
    if (++s.clientMessageCounter > kMsgSimpleClientLast) s.clientMessageCounter = kMsgSimpleClientFirst;
    if (!findByMessage(s.clientMessageCounter)) return static_cast<int>(s.clientMessageCounter);
  }
  logLine("SimpleClientOpenB", "ERROR: Exceeded Maximum Simple Client Sockets.", kLevelError);
  return kNetTooManySendingSockets;
}

void readLocal(ClientEntry& e) {
  sockaddr_in local{};
  socklen_t len = sizeof local;
  if (::getsockname(e.socket, reinterpret_cast<sockaddr*>(&local), &len) == 0) {
    e.localAddr = local.sin_addr.s_addr;
    e.localKnown = true;
  } else {
    logLine("SimpleClientOpenB", "Error. Getsockname failed. Could not find out the local IP on this socket",
            kLevelError);
  }
}

struct OpenDetails {
  std::int32_t sockId = 0;
  std::uint32_t addr = 0;
  std::uint16_t port = 0;
  int thread = 0;
  int event = 0;
  std::string server;
  std::int32_t stopTime = 0;
  SteadyClock::time_point deadline{};
};

// SimpleClientOpenB, asynchronous case: the socket is armed before the connect.
long openAsync(const OpenDetails& d, ClientEntry** made) {
  int fd = newStreamSocket();
  if (fd < 0) {
    int code = wsaError(errno);
    logLine("SimpleClientOpenB", "Error could not create Simple Socket. Error = " + errorText(code), kLevelError);
    return code;
  }
  clearQueues(d.addr, static_cast<std::uint32_t>(fd), d.sockId, false);
  while (ClientEntry* old = findBySocket(static_cast<std::uint32_t>(fd), d.sockId)) {
    logLine("SimpleClientOpenB", "Deleting old entry still found in qSimpleClientSockets. Socket = " + std::to_string(fd));
    eraseEntry(old);
  }
  int msg = allocateMessage();
  if (msg < 0) {
    ::close(fd);
    return msg;
  }
  loop().asyncSelect(fd, static_cast<unsigned>(msg), kFdRead | kFdWrite | kFdConnect | kFdClose);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = d.addr;
  to.sin_port = htons(d.port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
    int code = wsaError(errno);
    logLine("SimpleClientOpenB", "Error Connecting. To host = " + d.server + ":" + std::to_string(d.port) + " (" +
                                     dottedAddress(d.addr) + ") Error = " + errorText(code), kLevelError);
    loop().forget(fd);
    ::close(fd);
    return code;
  }
  ClientEntry e;
  e.socket = fd;
  e.sockId = d.sockId;
  e.addr = d.addr;
  e.port = d.port;
  e.asyncMessage = static_cast<unsigned>(msg);
  e.notifyThread = d.thread;
  e.notifyMsg = d.event;
  e.asyncOpenInProgress = true;
  e.asyncOpenStopTime = d.stopTime;
  e.asyncDeadline = d.deadline;
  e.server = d.server;
  simple().clients.push_back(std::move(e));
  ++simple().countSimpleAsyncOpens;
  if (made) *made = &simple().clients.back();
  return 0;
}

// Connects `fd` within the connect time-out; 0 or a sockets number. Runs without the library lock.
int connectWithin(int fd, std::uint32_t addr, std::uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = addr;
  to.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) return 0;
  if (errno != EINPROGRESS) return wsaError(errno);
  auto deadline = SteadyClock::now() + std::chrono::milliseconds(g_connectTimeoutMs.load());
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    if (left <= 0) return kWsaTimedOut;
    pollfd p{fd, POLLOUT, 0};
    int n = ::poll(&p, 1, static_cast<int>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return wsaError(errno);
    if (n == 0) return kWsaTimedOut;
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    return wsaError(err);
  }
}

void readLoop(ClientEntry& e) {
  if (!e.hasSocket()) return;
  static thread_local char buffer[kMaxBinData];
  for (int i = 0; i < kReadsPerEvent; ++i) {
    ssize_t n = ::recv(e.socket, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      lib().bytesReceived += static_cast<std::uint64_t>(n);
      if (e.receiveShut) continue;  // receiving was shut down: what still comes is dropped
      InPacket p = packetOf(e, kPacketData);
      p.data.assign(buffer, static_cast<size_t>(n));
      queueIn(std::move(p), e.notifyThread, e.notifyMsg);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && i == 0)
      logLine("SimpleClient_Async", "Error trying to read Data from Socket. (loc:rc = " + errorText(wsaError(errno)) + ")",
              kLevelError);
    return;
  }
}

long phaseOne(std::uint32_t socket, std::int32_t sockId);
long phaseTwo(std::uint32_t socket, std::int32_t sockId);
long serverPhaseOne(std::uint32_t socket, std::int32_t sockId);
long serverPhaseTwo(std::uint32_t socket, std::int32_t sockId);

void writeLoop(ClientEntry& e) {
  Simple& s = simple();
  for (;;) {
    auto it = std::find_if(s.out.begin(), s.out.end(), [&](const OutPacket& p) {
      return !p.allSent && p.sockId == e.sockId && p.socket == e.recordSocket() && p.addr == e.addr;
    });
    if (it == s.out.end()) {
      if (e.closingState) {
        long rc = e.serverId != 0 ? serverPhaseOne(e.recordSocket(), e.sockId) : phaseOne(e.recordSocket(), e.sockId);
        if (rc == 0) e.closingState = false;
      }
      return;
    }
    if (!e.hasSocket()) return;
    while (it->bytesSent < it->data.size()) {
      ssize_t n = ::send(e.socket, it->data.data() + it->bytesSent, it->data.size() - it->bytesSent,
                         MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        it->bytesSent += static_cast<size_t>(n);
        lib().bytesSent += static_cast<std::uint64_t>(n);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        loop().sendBlocked(e.socket);  // the next FD_WRITE goes on from here
        return;
      }
      logLine("SimpleClient_Async", "Error Sending Asyc Packet (connection was okay though) on socket = " +
                                        std::to_string(e.socket) + " Error = " + errorText(wsaError(errno)), kLevelError);
      return;
    }
    s.out.erase(it);
  }
}

// CloseTheSocket: the socket reported FD_CLOSE.
void closeTheSocket(ClientEntry& e) {
  e.fdCloseReceived = true;
  e.asyncMessage = 0;
  bool phaseOneBefore = e.phaseOneCloseCalled;
  if (!phaseOneBefore) {
    if (e.hasSocket()) ::shutdown(e.socket, SHUT_RDWR);
    queueState(e, kPacketClosedRemotely);
  }
  closeSocket(e);
  if (phaseOneBefore && e.phaseTwoCloseCalled) {
    if (e.serverId != 0) serverPhaseTwo(e.recordSocket(), e.sockId);
    else phaseTwo(e.recordSocket(), e.sockId);
    return;  // the entry is gone
  }
  if (!phaseOneBefore) {
    if (e.asyncOpenInProgress) --simple().countSimpleAsyncOpens;
    e.asyncOpenInProgress = false;
    e.phaseOneCloseCalled = true;
    e.phaseOneCloseTime = 0;  // the close check takes the entry at its next run
  }
}

void deleteUnsent(const ClientEntry& e) {
  std::erase_if(simple().out, [&](const OutPacket& p) {
    return !p.allSent && p.sockId == e.sockId && p.socket == e.recordSocket();
  });
}

void endAsyncOpen(ClientEntry& e) {
  if (e.asyncOpenInProgress) --simple().countSimpleAsyncOpens;
  e.asyncOpenInProgress = false;
}

long phaseOne(std::uint32_t socket, std::int32_t sockId) {
  ClientEntry* e = findBySocket(socket, sockId);
  if (!e) {
    logLine("SimpleClientClosePhaseOne", "(First Phase). Could not find connection in qSimpleClientSockets", kLevelError);
    return kNetClientNotFound;
  }
  long result = 0;
  queueState(*e, kPacketClosedLocally);
  if (!e->fdCloseReceived) {
    if (e->hasSocket() && ::shutdown(e->socket, SHUT_WR) != 0 && errno != ENOTCONN) {
      result = wsaError(errno);
      logLine("SimpleClientClosePhaseOne", "Error call to shutdown failed. Error = " + errorText(static_cast<int>(result)),
              kLevelError);
    }
  } else {
    logLine("SimpleClientClosePhaseOne", "FD_CLOSE was previously received. Will skip calling shutdown on the socket.");
  }
  e->phaseOneCloseCalled = true;
  e->phaseOneCloseTime = rt::CLOCK();
  endAsyncOpen(*e);
  deleteUnsent(*e);
  return result;
}

long phaseTwo(std::uint32_t socket, std::int32_t sockId) {
  ClientEntry* e = findBySocket(socket, sockId);
  if (!e) {
    logLine("SimpleClientClosePhaseTwo", "(Second Phase). Could not find connection in qSimpleClientSockets", kLevelError);
    return kNetClientNotFound;
  }
  if (!e->phaseOneCloseCalled) {
    logLine("SimpleClientClosePhaseTwo", "(Second Phase). Error. Phase One has not been called this socket. Skipping function",
            kLevelError);
    return kNetBadParameters;
  }
  endAsyncOpen(*e);
  if (e->fdCloseReceived) {
    clearQueues(0, e->recordSocket(), e->sockId, false);
    closeSocket(*e);
    eraseEntry(e);
  } else {
    e->phaseTwoCloseCalled = true;
  }
  return 0;
}

long clientClose(NetSimpleConnection& c, std::uint32_t socket, std::int32_t sockId, long phase) {
  Simple& s = simple();
  if (phase == kClosePhaseOne) {
    ClientEntry* e = findBySocket(c.Socket, c.SockID);
    if (!e && c.Socket == 0) e = findConnection(0, 0, c.SockID);
    if (!e) {
      logLine("SimpleClientClose", "Error. Can not find IP in reserved part of SimpleConnection", kLevelError);
      return kNetAddressNotFound;
    }
    long waiting = std::count_if(s.out.begin(), s.out.end(), [&](const OutPacket& p) {
      return !p.allSent && p.socket == e->recordSocket() && p.sockId == e->sockId;
    });
    if (waiting == 0) return phaseOne(e->recordSocket(), e->sockId);
    logLine("SimpleClientClose", "There are " + std::to_string(waiting) +
                                     " packets waiting to be sent. This socket connection will only be closed when all "
                                     "packets are sent. Calling winsock shutdown function.");
    e->receiveShut = true;
    e->closingState = true;
    return 0;
  }
  if (phase == kClosePhaseTwo) {
    if (socket == 0 && sockId == 0) {  // the record's own connection
      socket = c.Socket;
      sockId = c.SockID;
      if (socket == 0)
        if (ClientEntry* e = findConnection(0, 0, sockId)) socket = e->recordSocket();
    }
    return phaseTwo(socket, sockId);
  }
  if (phase == kCloseAbort) {
    ClientEntry* e = findConnection(reserved1(c), c.Socket, c.SockID);
    if (!e) {
      logLine("SimpleClientClose", "Error. Could not find connection in qSimpleClientSockets. Exiting function.",
              kLevelError);
      return kNetClientNotFound;
    }
    if (e->socket < 0) {  // a host-name look-up is still pending: forget its answer
      if (auto it = s.lookups.find(e->asyncDnsHandle); it != s.lookups.end()) {
        it->second->cancelled = true;
        s.lookups.erase(it);
      }
    } else {
      closeSocket(*e);
    }
    endAsyncOpen(*e);
    clearQueues(e->addr, e->recordSocket(), e->sockId, false);
    eraseEntry(e);
    return 0;
  }
  logLine("SimpleClientClose", "Error Warning. Unsupported Phase in SimpleClientClose p_Phase = " + std::to_string(phase),
          kLevelError);
  return 0;
}

// Starts WSAAsyncGetHostByName's stand-in: the look-up runs on a thread of its own and answers on
// the event thread as message 3109.
std::uint32_t startLookup(const std::string& name) {
  Simple& s = simple();
  std::uint32_t handle = ++s.lookupCounter;
  if (handle == 0) handle = ++s.lookupCounter;
  auto lookup = std::make_shared<Lookup>();
  s.lookups[handle] = lookup;
  std::thread([lookup, handle, name] {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (rc == 0 && result) lookup->address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    else lookup->error = wsaLookupError(rc != 0 ? rc : EAI_NONAME);
    if (result) ::freeaddrinfo(result);
    if (!lookup->cancelled)
      loop().postMessage(kMsgSimpleAsyncDns, handle, static_cast<std::uint32_t>(lookup->error) << 16);
  }).detach();
  return handle;
}

long clientOpen(NetSimpleConnection& c) {
  std::unique_lock lock(libraryLock());
  Simple& s = simple();
  if (!lib().callBackWindowUp) {
    logLine("SimpleClientOpen", "Wirelet DLL not active. Wirelet was unable to initialise.", kLevelError);
    return kNetNotInitiated;
  }
  c.SockID = ++s.sockIdCounter;
  c.Socket = 0;
  setReserved1(c, 0);
  setText(c.LocalIP, "<unknown>");
  OpenDetails d;
  d.sockId = c.SockID;
  d.port = c.Port;
  d.thread = c.Thread;
  d.event = c.Event;
  std::string server = text(c.Server, sizeof c.Server);
  server.erase(0, server.find_first_not_of(' '));
  d.server = std::string(rt::clipView(server));
  if (c.AsyncOpenTimeout > 0) {
    std::int32_t stop = rt::CLOCK() + c.AsyncOpenTimeout;
    if (stop >= rt::kCentisecondsPerDay) stop -= rt::kCentisecondsPerDay;
    d.stopTime = stop == 0 ? 1 : stop;
    d.deadline = SteadyClock::now() + std::chrono::milliseconds(10LL * c.AsyncOpenTimeout);
  }
  in_addr a{};
  bool dotted = ::inet_pton(AF_INET, d.server.c_str(), &a) == 1;
  if (!dotted && c.AsyncOpenTimeout > 0) {
    ClientEntry e;
    e.sockId = d.sockId;
    e.port = d.port;
    e.notifyThread = d.thread;
    e.notifyMsg = d.event;
    e.server = d.server;
    e.asyncOpenStopTime = d.stopTime;
    e.asyncDeadline = d.deadline;
    e.asyncDnsHandle = startLookup(d.server);
    s.clients.push_back(std::move(e));
    return 0;
  }
  if (!dotted) {
    lock.unlock();
    std::string ip = DNSblocking(d.server);
    lock.lock();
    if (ip.empty() || ::inet_pton(AF_INET, ip.c_str(), &a) != 1) {
      logLine("SimpleClientOpen", "Could not resolve host name. HostName = " + d.server, kLevelError);
      return kNetAddressNotFound;
    }
    setReserved1(c, a.s_addr);
  }
  d.addr = a.s_addr;
  if (c.AsyncOpenTimeout > 0) {
    ClientEntry* e = nullptr;
    long rc = openAsync(d, &e);
    if (rc == 0) c.Socket = e->recordSocket();
    return rc;
  }

  // Synchronous open: the connect runs without the lock, so the event thread goes on meanwhile.
  lock.unlock();
  int fd = newStreamSocket();
  if (fd < 0) {
    int code = wsaError(errno);
    logLine("SimpleClientOpenB", "Error could not create Simple Socket. Error = " + errorText(code), kLevelError);
    return code;
  }
  int err = connectWithin(fd, d.addr, d.port);
  lock.lock();
  if (err != 0) {
    logLine("SimpleClientOpenB", "Error Connecting. To host = " + d.server + ":" + std::to_string(d.port) + " (" +
                                     dottedAddress(d.addr) + ") Error = " + errorText(err), kLevelError);
    ::close(fd);
    return err;
  }
  if (!lib().callBackWindowUp) {  // the library closed down during the connect
    ::close(fd);
    logLine("SimpleClientOpen", "Wirelet DLL not active. Wirelet was unable to initialise.", kLevelError);
    return kNetNotInitiated;
  }
  clearQueues(d.addr, static_cast<std::uint32_t>(fd), d.sockId, false);
  while (ClientEntry* old = findBySocket(static_cast<std::uint32_t>(fd), d.sockId)) {
    logLine("SimpleClientOpenB", "Deleting old entry still found in qSimpleClientSockets. Socket = " + std::to_string(fd));
    eraseEntry(old);
  }
  int msg = allocateMessage();
  if (msg < 0) {
    ::close(fd);
    return msg;
  }
  ClientEntry e;
  e.socket = fd;
  e.sockId = d.sockId;
  e.addr = d.addr;
  e.port = d.port;
  e.asyncMessage = static_cast<unsigned>(msg);
  e.notifyThread = d.thread;
  e.notifyMsg = d.event;
  e.server = d.server;
  readLocal(e);
  s.clients.push_back(std::move(e));
  loop().asyncSelect(fd, static_cast<unsigned>(msg), kFdRead | kFdWrite | kFdClose);
  c.Socket = static_cast<std::uint32_t>(fd);
  if (s.clients.back().localKnown) setText(c.LocalIP, dottedAddress(s.clients.back().localAddr));
  return 0;
}

// Queues the packet's bytes for the connection and has them written.
void queueSend(ClientEntry& e, const NetSimplePacket& packet) {
  Simple& s = simple();
  OutPacket p;
  p.id = ++s.packetIdCounter;
  p.socket = e.recordSocket();
  p.sockId = e.sockId;
  p.addr = e.addr;
  size_t len = static_cast<size_t>(std::clamp(packet.BinDataLen, 0, kMaxBinData));
  p.data.assign(packet.BinData, len);
  s.out.push_back(std::move(p));
  if (!e.hasSocket() || e.asyncMessage == 0) return;
  // A connected socket with nothing else waiting takes the bytes at once, as the event thread's
  // FD_WRITE would (the order of the queue is kept either way); what it cannot take waits for
  // FD_WRITE.
  std::uint32_t waiting = 0, bytes = 0;
  countQueuedPackets(e.recordSocket(), e.sockId, waiting, bytes);
  if (waiting == 1 && !e.asyncOpenInProgress) writeLoop(e);
  countQueuedPackets(e.recordSocket(), e.sockId, waiting, bytes);
  if (waiting > 0) loop().asyncSelect(e.socket, e.asyncMessage, kFdRead | kFdWrite | kFdClose);
}

long clientSend(NetSimpleConnection& c, const NetSimplePacket& packet) {
  ClientEntry* e = findConnection(reserved1(c), c.Socket, c.SockID);
  if (!e) {
    logLine("SimpleClientSend", "Could not find host and Socket in qSimpleClientSockets", kLevelError);
    return kNetClientNotFound;
  }
  if (e->closingState || e->phaseOneCloseCalled || e->fdCloseReceived || e->phaseTwoCloseCalled) {
    logLine("SimpleClientSend", "Warning. The object may not know, but the Connection is closed or closing. ClosingState = " +
                                    std::to_string(e->closingState) + " PhaseOneCloseCalled = " +
                                    std::to_string(e->phaseOneCloseCalled) + " FD_Close_Received = " +
                                    std::to_string(e->fdCloseReceived) + " PhaseTwoCloseCalled = " +
                                    std::to_string(e->phaseTwoCloseCalled), kLevelError);
    return kNetClientNotFound;
  }
  queueSend(*e, packet);
  return 0;
}

// ---- Listening ports, accepted connections and UDP ports ----

PortEntry* findPortByMessage(unsigned msg) {
  for (PortEntry& p : simple().ports)
    if (p.asyncMessage != 0 && p.asyncMessage == msg) return &p;
  return nullptr;
}

PortEntry* findPort(std::uint32_t socket, std::int32_t sockId) {
  for (PortEntry& p : simple().ports)
    if (p.recordSocket() == socket && p.sockId == sockId) return &p;
  return nullptr;
}

PortEntry* findPortByNumber(std::uint16_t port) {
  for (PortEntry& p : simple().ports)
    if (p.port == port) return &p;
  return nullptr;
}

PortEntry* findPortById(std::int32_t serverId) {
  for (PortEntry& p : simple().ports)
    if (p.serverId == serverId) return &p;
  return nullptr;
}

ClientEntry* findAcceptedByMessage(unsigned msg) {
  for (ClientEntry& e : simple().accepted)
    if (e.asyncMessage != 0 && e.asyncMessage == msg) return &e;
  return nullptr;
}

ClientEntry* findAccepted(std::uint32_t socket, std::int32_t sockId) {
  for (ClientEntry& e : simple().accepted)
    if (e.recordSocket() == socket && e.sockId == sockId) return &e;
  return nullptr;
}

int allocatePortMessage() {
  Simple& s = simple();
  for (int attempt = 0; attempt < kMessageAttempts; ++attempt) {
    if (++s.portMessageCounter > kMsgSimpleServerPortLast) s.portMessageCounter = kMsgSimpleServerPortFirst;
    if (!findPortByMessage(s.portMessageCounter)) return static_cast<int>(s.portMessageCounter);
  }
  logLine("SimpleServerOpen", "ERROR: Exceeded Maximum Simple Server Accept Sockets.", kLevelError);
  return kNetTooManySendingSockets;
}

int allocateAcceptMessage() {
  Simple& s = simple();
  for (int attempt = 0; attempt < kMessageAttempts; ++attempt) {
    if (++s.acceptMessageCounter > kMsgSimpleServerAcceptLast) s.acceptMessageCounter = kMsgSimpleServerAcceptFirst;
    if (!findAcceptedByMessage(s.acceptMessageCounter)) return static_cast<int>(s.acceptMessageCounter);
  }
  logLine("SimpleServer_Accept", "ERROR: Exceeded Maximum Simple Server Sockets.", kLevelError);
  return kNetTooManySendingSockets;
}

void lingerOff(int fd) {
  linger l{0, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

// Closes a connection that was accepted only to be refused or that could not be armed.
void refuse(int fd) {
  ::shutdown(fd, SHUT_RD);
  lingerOff(fd);
  ::close(fd);
}

void closePortSocket(PortEntry& p) {
  if (!p.hasSocket()) return;
  loop().forget(p.socket);
  ::close(p.socket);
  p.socketClosed = true;
}

void erasePort(const PortEntry* p) {
  auto& list = simple().ports;
  for (auto it = list.begin(); it != list.end(); ++it)
    if (&*it == p) {
      list.erase(it);
      return;
    }
}

int newSocket(bool udp) {
  int fd = ::socket(AF_INET, (udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd >= 0 && fd < 3) {
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    fd = moved;
  }
  return fd;
}

// SimpleServerOpen.
long serverOpen(NetSimpleConnection& c) {
  Simple& s = simple();
  if (!lib().callBackWindowUp) {
    logLine("SimpleServerOpen", "Wirelet DLL not active. Wirelet was unable to initialise.", kLevelError);
    return kNetNotInitiated;
  }
  c.SockID = ++s.sockIdCounter;
  int msg = allocatePortMessage();
  if (msg < 0) return msg;
  const bool udp = c.UDPMode == 1;
  int fd = newSocket(udp);
  if (fd < 0) {
    int code = wsaError(errno);
    logLine("SimpleServerOpen", "Error could not create Simple Socket. Error = " + errorText(code), kLevelError);
    return code;
  }
  clearQueues(0, static_cast<std::uint32_t>(fd), c.SockID, false);
  if (!udp) {
    int on = 1;  // a port left in TIME_WAIT by an earlier run can be listened on again at once
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons(c.Port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    int code = wsaError(errno);
    logLine("SimpleServerOpen", "Error Listening. Port = " + std::to_string(c.Port) + " Address = 0.0.0.0 UDPmode = " +
                                    std::to_string(c.UDPMode) + " Error = " + errorText(code), kLevelError);
    ::close(fd);
    return code;
  }
  if (!udp && ::listen(fd, 5) != 0) {
    int code = wsaError(errno);
    logLine("SimpleServerOpen", "Error establishing a listening socket. Error = " + errorText(code), kLevelError);
    ::close(fd);
    return code;
  }
  loop().asyncSelect(fd, static_cast<unsigned>(msg), udp ? kFdRead : kFdAccept);
  PortEntry p;
  p.serverId = ++s.serverIdCounter;
  p.socket = fd;
  p.sockId = c.SockID;
  p.port = c.Port;
  p.asyncMessage = static_cast<unsigned>(msg);
  p.notifyThread = c.Thread;
  p.notifyMsg = c.Event;
  p.maxServerConnections = c.MaxServerConnections;
  p.udpMode = udp;
  s.ports.push_back(p);
  c.Socket = static_cast<std::uint32_t>(fd);
  setText(c.LocalIP, "<na>");
  return 0;
}

// SimpleServer_Accept.
long serverAccept(PortEntry& port, int err) {
  Simple& s = simple();
  if (err != 0) {
    logLine("SimpleServer_Accept", "Accept Error = " + errorText(err), kLevelError);
    return err;
  }
  bool oneTooMany = false;
  if (port.maxServerConnections > 0) {
    auto count = std::count_if(s.accepted.begin(), s.accepted.end(),
                               [&](const ClientEntry& e) { return e.serverId == port.serverId; });
    oneTooMany = count >= port.maxServerConnections;
  }
  int msg = allocateAcceptMessage();
  if (msg < 0) return msg;
  sockaddr_in remote{};
  socklen_t len = sizeof remote;
  int fd = ::accept4(port.socket, reinterpret_cast<sockaddr*>(&remote), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd >= 0 && fd < 3) {
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    fd = moved;
  }
  if (fd < 0) {
    int code = wsaError(errno);
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;  // the client gave up before we came to it
    logLine("SimpleServer_Accept", "Accept Error - Invalid Socket " + errorText(code), kLevelError);
    return code;
  }
  if (oneTooMany) {
    logLine("SimpleServer_Accept",
            "Warning! We received one connection too many. We will now closed the new connection down. Listening Port = " +
                std::to_string(port.port), kLevelError);
    refuse(fd);
    return 0;
  }
  ClientEntry e;
  e.socket = fd;
  e.sockId = ++s.sockIdCounter;
  clearQueues(0, static_cast<std::uint32_t>(fd), e.sockId, false);
  e.addr = remote.sin_addr.s_addr;
  e.port = ntohs(remote.sin_port);
  e.asyncMessage = static_cast<unsigned>(msg);
  e.notifyThread = port.notifyThread;
  e.notifyMsg = port.notifyMsg;
  e.serverId = port.serverId;
  e.serverPort = port.port;
  e.serverSocket = port.recordSocket();
  e.serverSockId = port.sockId;
  sockaddr_in local{};
  socklen_t localLen = sizeof local;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLen) == 0) {
    e.localAddr = local.sin_addr.s_addr;
    e.localKnown = true;
  } else {
    logLine("SimpleServer_Accept", "Error. Getsockname failed. Could not find out the local IP on this socket", kLevelError);
  }
  s.accepted.push_back(e);
  loop().asyncSelect(fd, static_cast<unsigned>(msg), kFdRead | kFdWrite | kFdClose);
  queueState(s.accepted.back(), kPacketNewConnection);
  return 0;
}

// SimpleServer_UDP_Read: one datagram per FD_READ.
void serverUdpRead(PortEntry& port) {
  static thread_local char buffer[kMaxBinData];
  sockaddr_in from{};
  socklen_t len = sizeof from;
  ssize_t n = ::recvfrom(port.socket, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return;
    if (errno == ECONNREFUSED) {
      logLine("SimpleServer_UDP_Read", "Last UDP Message on Socket (" + std::to_string(port.socket) +
                                           ") was unable to be delivered as the host was not listening on that port "
                                           "(WSAECONNRESET 10054)");
      return;
    }
    logLine("SimpleServer_UDP_Read", "UDP Read Error (maybe error from previous send) = " + errorText(wsaError(errno)),
            kLevelError);
    return;
  }
  lib().bytesReceived += static_cast<std::uint64_t>(n);
  InPacket p;
  p.fromIp = from.sin_addr.s_addr;
  p.udpFromPort = ntohs(from.sin_port);
  p.onSocket = port.recordSocket();
  p.sockId = port.sockId;
  p.type = kPacketData;
  p.serverPort2 = port.port;
  p.serverOnSocket = port.recordSocket();
  p.serverSockId = port.sockId;
  p.data.assign(buffer, static_cast<size_t>(n));
  queueIn(std::move(p), port.notifyThread, port.notifyMsg);
}

long serverPhaseOne(std::uint32_t socket, std::int32_t sockId) {
  ClientEntry* e = findAccepted(socket, sockId);
  if (!e) {
    logLine("SimpleServerConnectionClosePhaseOne", "(First Phase). Could not find connection in qSimpleServerConnections",
            kLevelError);
    return kNetClientNotFound;
  }
  if (e->phaseOneCloseCalled) {
    logLine("SimpleServerConnectionClosePhaseOne",
            "(First Phase). Phase One has already been called for this socket. Skipping function");
    return 0;
  }
  long result = 0;
  queueState(*e, kPacketClosedLocally);
  if (!e->fdCloseReceived && e->hasSocket() && ::shutdown(e->socket, SHUT_RDWR) != 0 && errno != ENOTCONN) {
    result = wsaError(errno);
    logLine("SimpleServerConnectionClosePhaseOne", "Error call to shutdown failed. Error = " + errorText(static_cast<int>(result)),
            kLevelError);
  }
  e->phaseOneCloseCalled = true;
  e->phaseOneCloseTime = rt::CLOCK();
  deleteUnsent(*e);
  return result;
}

long serverPhaseTwo(std::uint32_t socket, std::int32_t sockId) {
  ClientEntry* e = findAccepted(socket, sockId);
  if (!e) {
    logLine("SimpleServerConnectionClosePhaseTwo",
            "Attention. Could not find connection in qSimpleServerConnections. It must have already been deleted. Exiting "
            "function.");
    return kNetClientNotFound;
  }
  if (!e->phaseOneCloseCalled) {
    logLine("SimpleServerConnectionClosePhaseTwo",
            "(Second Phase). Error. Phase One has not been called this socket. Skipping function", kLevelError);
    return kNetBadParameters;
  }
  if (e->fdCloseReceived) {
    clearQueues(0, e->recordSocket(), e->sockId, false);
    closeSocket(*e);
    eraseEntry(e);
  } else {
    e->phaseTwoCloseCalled = true;
  }
  return 0;
}

void abortAccepted(ClientEntry* e) {
  if (e->hasSocket()) lingerOff(e->socket);
  closeSocket(*e);
  clearQueues(0, e->recordSocket(), e->sockId, false);
  eraseEntry(e);
}

// SimpleServerConnectionClose.
long serverConnectionClose(std::uint32_t socket, std::int32_t sockId, long phase) {
  Simple& s = simple();
  if (phase == kClosePhaseOne) {
    ClientEntry* e = findAccepted(socket, sockId);
    long waiting = std::count_if(s.out.begin(), s.out.end(), [&](const OutPacket& p) {
      return !p.allSent && p.socket == socket && p.sockId == sockId;
    });
    if (waiting == 0 || !e) {
      long rc = serverPhaseOne(socket, sockId);
      if (rc != 0)
        logLine("SimpleServerConnectionClose", "Call to SimpleServerSocketClosePhaseOne returned Error = " + std::to_string(rc),
                kLevelError);
      return rc;
    }
    logLine("SimpleServerConnectionClose", "There are " + std::to_string(waiting) +
                                               " packets waiting to be sent. This socket connection will only be closed "
                                               "when all packets are sent. Calling winsock shutdown function.");
    if (e->hasSocket()) ::shutdown(e->socket, SHUT_RD);
    e->receiveShut = true;
    e->closingState = true;
    return 0;
  }
  if (phase == kClosePhaseTwo) return serverPhaseTwo(socket, sockId);
  if (phase == kCloseAbort) {
    ClientEntry* e = findAccepted(socket, sockId);
    if (!e) {
      logLine("SimpleServerConnectionClose", "Error. Could not find connection in qSimpleServerConnections. Exiting function.",
              kLevelError);
      return kNetClientNotFound;
    }
    abortAccepted(e);
    return 0;
  }
  logLine("SimpleServerConnectionClose",
          "Error Warning. Unsupported Phase in SimpleServerSocketClose p_Phase = " + std::to_string(phase), kLevelError);
  return 0;
}

void abortConnectionsOf(std::int32_t serverId) {
  std::vector<ClientEntry*> of;
  for (ClientEntry& e : simple().accepted)
    if (e.serverId == serverId) of.push_back(&e);
  for (ClientEntry* e : of) abortAccepted(e);
}

long portPhaseTwo(PortEntry* p) {
  clearQueues(0, p->recordSocket(), p->sockId, false);
  closePortSocket(*p);
  erasePort(p);
  return 0;
}

// SimpleServerPortClose.
long serverPortClose(NetSimpleConnection& c, long phase) {
  if (phase == kClosePhaseOne) {
    PortEntry* p = findPort(c.Socket, c.SockID);
    if (!p) {
      logLine("SimpleServerPortClosePhaseOne", "Error. Could not find the port in qSimpleServerListeningPorts.", kLevelError);
      return kNetAddressNotFound;
    }
    std::vector<std::pair<std::uint32_t, std::int32_t>> of;
    for (ClientEntry& e : simple().accepted)
      if (e.serverId == p->serverId) of.emplace_back(e.recordSocket(), e.sockId);
    for (auto [socket, sockId] : of) (void)serverConnectionClose(socket, sockId, kClosePhaseOne);  // each logs its own failure
    postEvent(p->notifyMsg + 2, p->notifyThread);
    long result = 0;
    if (p->hasSocket()) {
      loop().forget(p->socket);
      if (::close(p->socket) != 0) result = wsaError(errno);
      p->socketClosed = true;
    }
    p->phaseOneCloseCalled = true;
    p->phaseOneCloseTime = rt::CLOCK();
    return result;
  }
  if (phase == kClosePhaseTwo) {
    PortEntry* p = findPort(c.Socket, c.SockID);
    if (!p) {
      logLine("SimpleServerPortClosePhaseTwo", "Error. Could not find the port in qSimpleServerListeningPorts.", kLevelError);
      return kNetAddressNotFound;
    }
    return portPhaseTwo(p);
  }
  if (phase == kCloseAbort) {
    PortEntry* p = findPortByNumber(c.Port);
    if (!p) {
      logLine("SimpleServerPortClose", "Error. Could not find the port in qSimpleServerListeningPorts.", kLevelError);
      return kNetAddressNotFound;
    }
    abortConnectionsOf(p->serverId);
    if (p->hasSocket() && !p->udpMode) lingerOff(p->socket);
    return portPhaseTwo(p);  // what the port received goes with it: nobody can fetch it any more
  }
  logLine("SimpleServerPortClose", "Invalid Phase passed to function", kLevelError);
  return 0;
}

// SimpleServerSend.
long serverSend(NetSimpleConnection& c, const NetSimplePacket& packet, std::unique_lock<std::recursive_mutex>& lock) {
  std::string toIp = text(packet.ToIP, sizeof packet.ToIP);
  toIp.erase(0, toIp.find_first_not_of(' '));
  toIp = std::string(rt::clipView(toIp));
  if (c.UDPMode == 1) {
    if (toIp.empty() || packet.UDPToPort == 0) {
      logLine("SimpleServerSend", "Host or Port not specified. Please set the <object>.packet.ToIp and "
                                  "<object>.packet.UDPToPort before sending data.", kLevelError);
      return kNetHostOrSocketNotGiven;
    }
    in_addr a{};
    if (::inet_pton(AF_INET, toIp.c_str(), &a) != 1) {
      lock.unlock();
      std::string ip = DNSblocking(toIp);
      lock.lock();
      if (ip.empty() || ::inet_pton(AF_INET, ip.c_str(), &a) != 1) {
        logLine("SimpleServerSend", "Could not resolve host name. HostName = " + toIp, kLevelError);
        return kNetAddressNotFound;
      }
    }
    setReserved1(c, a.s_addr);
    PortEntry* p = findPort(c.Socket, c.SockID);
    if (!p || !p->hasSocket()) {
      logLine("SimpleServerSend", "Error. Could not find the port in qSimpleServerListeningPorts. Data not sent",
              kLevelError);
      return kNetAddressNotFound;
    }
    long count = std::clamp(packet.BinDataLen, 0, kMaxBinData);
    long rc = DGSendUDPMsg(p->socket, a.s_addr, packet.UDPToPort, count, packet.BinData);
    if (rc == 0) lib().bytesSent += static_cast<std::uint64_t>(count);
    return rc;
  }
  if (toIp.empty() || packet.OnSocket == 0) {
    logLine("SimpleServerSend", "Host or Port not specified. Please set the <object>.packet.ToIp and "
                                "<object>.packet.OnSocket before sending data.", kLevelError);
    return kNetHostOrSocketNotGiven;
  }
  in_addr a{};
  ClientEntry* e = nullptr;
  if (::inet_pton(AF_INET, toIp.c_str(), &a) == 1) {
    for (ClientEntry& x : simple().accepted)
      if (x.addr == a.s_addr && x.recordSocket() == packet.OnSocket && (packet.SockID == 0 || x.sockId == packet.SockID)) {
        e = &x;
        break;
      }
  }
  if (!e) {
    logLine("SimpleServerSend", "Error. Could not find Host and Socket in qSimpleServerConnections. Data not sent",
            kLevelError);
    return kNetCouldNotSend;
  }
  if (e->closingState || e->phaseOneCloseCalled || e->fdCloseReceived || e->phaseTwoCloseCalled) {
    logLine("SimpleServerSend", "Warning. The object may not know, but the Connection is closed or closing. ClosingState = " +
                                    std::to_string(e->closingState) + " PhaseOneCloseCalled = " +
                                    std::to_string(e->phaseOneCloseCalled) + " FD_Close_Received = " +
                                    std::to_string(e->fdCloseReceived) + " PhaseTwoCloseCalled = " +
                                    std::to_string(e->phaseTwoCloseCalled), kLevelError);
    return kNetClientNotFound;
  }
  queueSend(*e, packet);
  return 0;
}

}  // namespace

void simpleServerPortMessage(unsigned msg, int fd, std::uint32_t lParam) {
  PortEntry* port = findPortByMessage(msg);
  if (!port || port->socket != fd) {
    logLine(selectEvent(lParam) == kFdRead ? "SimpleServer_UDP_Read" : "SimpleServer_Accept",
            std::string("Warning! A socket is dead. Got an ") + (selectEvent(lParam) == kFdRead ? "FD_READ" : "FD_ACCEPT") +
                " message = " + std::to_string(msg), kLevelError);
    loop().forget(fd);
    return;
  }
  if (selectEvent(lParam) == kFdRead) serverUdpRead(*port);
  else (void)serverAccept(*port, selectError(lParam));  // failures are logged where they happen
}

void simpleServerAsync(unsigned msg, int fd, std::uint32_t lParam) {
  std::uint32_t event = selectEvent(lParam);
  ClientEntry* e = findAcceptedByMessage(msg);
  PortEntry* port = e ? findPortById(e->serverId) : nullptr;
  if (!e || e->socket != fd || !port) {
    const char* kind = event == kFdRead ? "FD_READ" : event == kFdWrite ? "FD_WRITE" : event == kFdClose ? "FD_CLOSE" : "unknown";
    logLine("SimpleServer_Async", std::string("Warning! A socket is dead. Got an ") + kind +
                                      " message for a socket that is not in qSimpleServerConnections. Message = " +
                                      std::to_string(msg), kLevelError);
    loop().forget(fd);  // else a level-triggered report would come back at once, forever
    return;
  }
  if (int err = selectError(lParam); err != 0)
    logLine("SimpleServer_Async", "Received an error = " + errorText(err), kLevelError);
  switch (event) {
    case kFdRead:
      readLoop(*e);
      break;
    case kFdWrite:
      writeLoop(*e);
      break;
    case kFdClose:
      readLoop(*e);
      closeTheSocket(*e);
      break;
    default:
      logLine("SimpleServer_Async", "Unknown Server Message = " + std::to_string(event), kLevelError);
  }
}

void simpleClientAsync(unsigned msg, int fd, std::uint32_t lParam) {
  std::uint32_t event = selectEvent(lParam);
  int err = selectError(lParam);
  ClientEntry* e = findByMessage(msg);
  if (!e || e->socket != fd) {
    const char* kind = event == kFdRead ? "FD_READ" : event == kFdWrite ? "FD_WRITE"
                     : event == kFdClose ? "FD_CLOSE" : event == kFdConnect ? "FD_CONNECT" : "unknown";
    logLine("SimpleClient_Async", std::string("Warning! A socket is dead. Got an ") + kind +
                                      " message for a socket that is not in qSimpleClientSockets. Message = " +
                                      std::to_string(msg), kLevelError);
    loop().forget(fd);
    return;
  }
  if (err != 0) logLine("SimpleClient_Async", "Received an error = " + errorText(err), kLevelError);
  switch (event) {
    case kFdConnect:
      if (err == 0) readLocal(*e);
      queueState(*e, err == 0 ? kPacketAsyncOpenOk : kPacketAsyncOpenFailed, err);
      if (err != 0) {
        e->phaseOneCloseCalled = true;
        e->fdCloseReceived = true;
        e->asyncMessage = 0;
        endAsyncOpen(*e);
        closeSocket(*e);
      }
      break;
    case kFdRead:
      readLoop(*e);
      break;
    case kFdWrite:
      writeLoop(*e);
      break;
    case kFdClose:
      readLoop(*e);
      closeTheSocket(*e);
      break;
    default:
      logLine("SimpleClient_Async", "Unknown Client Message = " + std::to_string(event), kLevelError);
  }
}

void simpleAsyncDns(std::uint32_t handle, std::uint32_t lParam) {
  Simple& s = simple();
  auto it = s.lookups.find(handle);
  if (it == s.lookups.end()) return;  // cancelled by an abort
  std::shared_ptr<Lookup> lookup = it->second;
  s.lookups.erase(it);
  ClientEntry* e = nullptr;
  for (ClientEntry& c : s.clients)
    if (c.socket < 0 && c.asyncDnsHandle == handle) e = &c;
  int err = selectError(lParam);
  if (err != 0) {
    logLine("SimpleAsyncDNS", "DNS Lookup Error = " + errorText(err), kLevelError);
    if (!e) return;
    e->phaseOneCloseCalled = true;
    e->fdCloseReceived = true;
    e->asyncMessage = 0;
    InPacket p;
    p.sockId = e->sockId;
    p.type = kPacketAsyncOpenFailed;
    p.error = err;
    queueIn(std::move(p), e->notifyThread, e->notifyMsg);
    return;
  }
  if (!e) {
    logLine("SimpleAsyncDNS", "Error. Could not update qSimpleClientSockets", kLevelError);
    return;
  }
  OpenDetails d;
  d.sockId = e->sockId;
  d.addr = lookup->address;
  d.port = e->port;
  d.thread = e->notifyThread;
  d.event = e->notifyMsg;
  d.server = e->server;
  d.stopTime = e->asyncOpenStopTime;
  d.deadline = e->asyncDeadline;
  eraseEntry(e);
  long rc = openAsync(d, nullptr);
  if (rc != 0) {
    InPacket p;
    p.fromIp = d.addr;
    p.sockId = d.sockId;
    p.type = kPacketAsyncOpenFailed;
    p.error = static_cast<std::int32_t>(rc);
    queueIn(std::move(p), d.thread, d.event);
  }
}

// An asynchronous open that has not finished by its time-out fails with 10060.
void checkAsyncOpenTimeouts() {
  Simple& s = simple();
  auto now = SteadyClock::now();
  for (ClientEntry& e : s.clients) {
    bool pendingLookup = e.socket < 0 && !e.fdCloseReceived && s.lookups.count(e.asyncDnsHandle);
    bool connecting = e.asyncOpenInProgress && e.hasSocket() && e.asyncMessage != 0 && !e.phaseOneCloseCalled;
    if (e.asyncDeadline == SteadyClock::time_point{} || now < e.asyncDeadline) continue;
    if (!pendingLookup && !connecting) continue;
    // A connect that finished but whose FD_CONNECT is still on its way is not timed out.
    if (connecting) {
      sockaddr_in peer{};
      socklen_t len = sizeof peer;
      if (::getpeername(e.socket, reinterpret_cast<sockaddr*>(&peer), &len) == 0) continue;
    }
    logLine("SimpleClientOpen", "Error. The asynchronous open of " + e.server + " did not finish in time.", kLevelError);
    if (pendingLookup) {
      s.lookups[e.asyncDnsHandle]->cancelled = true;
      s.lookups.erase(e.asyncDnsHandle);
    }
    queueState(e, kPacketAsyncOpenFailed, kWsaTimedOut);
    e.phaseOneCloseCalled = true;
    e.fdCloseReceived = true;
    e.asyncMessage = 0;
    endAsyncOpen(e);
    closeSocket(e);
  }
}

void checkToCloseNetSimpleSockets() {
  Simple& s = simple();
  std::int32_t now = rt::CLOCK();
  std::vector<std::pair<std::uint32_t, std::int32_t>> expired;
  for (ClientEntry& e : s.clients) {
    if (!e.phaseOneCloseCalled) continue;
    if (now < e.phaseOneCloseTime) e.phaseOneCloseTime = 0;  // midnight passed
    if (now < e.phaseOneCloseTime + kCloseExpiry) continue;
    if (!e.fdCloseReceived) {
      logLine("CheckToCloseNetSimpleSockets",
              "We never received FD_CLOSE. Closing Socket and Simulating as if we had received FD_Close already");
      closeSocket(e);
      e.fdCloseReceived = true;
    }
    expired.emplace_back(e.recordSocket(), e.sockId);
  }
  for (auto [socket, sockId] : expired) phaseTwo(socket, sockId);

  expired.clear();
  for (ClientEntry& e : s.accepted) {
    if (!e.phaseOneCloseCalled) continue;
    if (now < e.phaseOneCloseTime) e.phaseOneCloseTime = 0;
    if (now < e.phaseOneCloseTime + kCloseExpiry) continue;
    if (!e.fdCloseReceived) {
      logLine("CheckToCloseNetSimpleSockets",
              "We never received FD_CLOSE. Closing Socket and Simulating as if we had received FD_Close already");
      closeSocket(e);
      e.fdCloseReceived = true;
    }
    expired.emplace_back(e.recordSocket(), e.sockId);
  }
  for (auto [socket, sockId] : expired) serverPhaseTwo(socket, sockId);

  std::vector<PortEntry*> ports;
  for (PortEntry& p : s.ports) {
    if (!p.phaseOneCloseCalled) continue;
    if (now < p.phaseOneCloseTime) p.phaseOneCloseTime = 0;
    if (now >= p.phaseOneCloseTime + kCloseExpiry) ports.push_back(&p);
  }
  for (PortEntry* p : ports) portPhaseTwo(p);
}

void closeAllSimpleSockets() {
  Simple& s = simple();
  for (ClientEntry& e : s.clients) {
    if (e.hasSocket()) {
      ::shutdown(e.socket, SHUT_RD);
      closeSocket(e);
    } else if (logAll()) {
      logLine("CloseAll", "Deleting a qSimpleClientSocket queue entry (socket previously closed)  Socket = " +
                              std::to_string(e.recordSocket()));
    }
  }
  for (ClientEntry& e : s.accepted) closeSocket(e);
  for (PortEntry& p : s.ports) closePortSocket(p);
  for (auto& [handle, lookup] : s.lookups) lookup->cancelled = true;
  s.accepted.clear();
  s.ports.clear();
  s.clients.clear();
  s.lookups.clear();
  s.out.clear();
  s.in.clear();
  s.countSimpleAsyncOpens = 0;
}

void countQueuedPackets(std::uint32_t socket, std::int32_t sockId, std::uint32_t& packets, std::uint32_t& bytes) {
  packets = bytes = 0;
  for (const OutPacket& p : simple().out) {
    if (p.allSent || p.socket != socket || p.sockId != sockId) continue;
    ++packets;
    bytes += static_cast<std::uint32_t>(p.data.size());
  }
}

SimpleListSizes simpleListSizes() {
  Simple& s = simple();
  SimpleListSizes z;
  z.clients = static_cast<std::uint32_t>(s.clients.size());
  z.accepted = static_cast<std::uint32_t>(s.accepted.size());
  z.ports = static_cast<std::uint32_t>(s.ports.size());
  z.outList = z.outData = static_cast<std::uint32_t>(s.out.size());
  z.inData = static_cast<std::uint32_t>(s.in.size());
  return z;
}


}  // namespace detail

long NetSimpleConnectOpen(NetSimpleConnection& c) {
  if (c.Mode > 1) return 0;
  if (int rc = detail::LoadCallBackWindow(); rc != 0)
    detail::logLine("NetSimpleConnectOpen", "Error. LoadCallBackWindow returned " + std::to_string(rc), detail::kLevelError);
  if (c.Mode == 1) {
    std::lock_guard lock(detail::libraryLock());
    return detail::serverOpen(c);
  }
  return detail::clientOpen(c);
}

long NetSimpleConnectSend(NetSimpleConnection& c, const NetSimplePacket& packet) {
  if (c.Mode > 1) return 0;
  detail::ensureLoaded();
  std::unique_lock lock(detail::libraryLock());
  if (c.Mode == 1) return detail::serverSend(c, packet, lock);
  return detail::clientSend(c, packet);
}

long NetSimpleConnectReceive(NetSimpleConnection& c, NetSimplePacket& packet) {
  if (c.Mode > 1) return 0;
  packet = NetSimplePacket{};
  detail::ensureLoaded();
  std::lock_guard lock(detail::libraryLock());
  auto& in = detail::simple().in;
  for (auto it = in.begin(); it != in.end(); ++it) {
    const detail::InPacket& p = *it;
    std::uint32_t r1 = detail::reserved1(c);
    bool match = false;
    bool learn = false;
    if (c.Mode == 1) {
      match = p.serverPort2 == c.Port && p.serverSockId == c.SockID && p.serverOnSocket == c.Socket;
    } else if (c.Socket != 0 && r1 != 0) {
      match = p.sockId == c.SockID && p.fromIp == r1 && p.onSocket == c.Socket;
    } else if (c.Socket != 0) {
      match = p.sockId == c.SockID && p.onSocket == c.Socket;
      learn = match;
    } else {
      match = p.sockId == c.SockID;
      if (match && (p.type == kPacketAsyncOpenOk || p.type == kPacketAsyncOpenFailed)) {
        c.Socket = p.onSocket;
        learn = true;
      }
    }
    if (!match) continue;
    if (learn) {
      detail::setReserved1(c, p.fromIp);
      if (detail::text(c.LocalIP, sizeof c.LocalIP) == "<unknown>")
        if (detail::ClientEntry* e = detail::findConnection(0, c.Socket, c.SockID); e && e->localKnown)
          detail::setText(c.LocalIP, detail::dottedAddress(e->localAddr));
    }
    std::memcpy(packet.BinData, p.data.data(), p.data.size());
    packet.BinDataLen = static_cast<std::int32_t>(p.data.size());
    detail::setText(packet.FromIP, detail::dottedAddress(p.fromIp));
    packet.UDPFromPort = p.udpFromPort;
    packet.OnSocket = p.onSocket;
    packet.SockID = p.sockId;
    packet.PacketType = p.type;
    packet.Reserved2 = p.sequence;
    packet.Error = p.error;
    in.erase(it);
    return 0;
  }
  return kNetNoRequest;
}

long NetSimpleConnectClose(NetSimpleConnection& c, std::uint32_t socket, std::int32_t sockId, long phase) {
  if (c.Mode > 1) return 0;
  detail::ensureLoaded();
  std::lock_guard lock(detail::libraryLock());
  if (detail::lib().closedDown) {
    detail::logLine("NetSimpleConnectClose", "DLL already closed down. This function is ignored");
    return 0;
  }
  if (c.Mode == 1) {
    if (socket != 0) return detail::serverConnectionClose(socket, sockId, phase);
    return detail::serverPortClose(c, phase);
  }
  return detail::clientClose(c, socket, sockId, phase);
}

long NetSimpleGetServerConnections(NetSimpleConnection& c, std::vector<NetServerConnection>& list) {
  if (c.Mode > 1) return 0;
  detail::ensureLoaded();
  std::lock_guard lock(detail::libraryLock());
  if (detail::PortEntry* port = detail::findPortByNumber(c.Port)) {
    list.clear();
    for (const detail::ClientEntry& e : detail::simple().accepted) {
      if (e.serverId != port->serverId) continue;
      NetServerConnection n;
      detail::setText(n.RemoteIP, detail::dottedAddress(e.addr));
      n.Socket = e.recordSocket();
      n.SockID = e.sockId;
      n.RemotePort = e.port;
      detail::setText(n.LocalIP, e.localKnown ? detail::dottedAddress(e.localAddr) : std::string("<unknown>"));
      list.push_back(n);
    }
    return 0;
  }
  detail::logLine("NetSimpleGetServerConnections",
                  "Address not found in qSimpleServerListeningPorts. Error = " + std::to_string(kNetAddressNotFound),
                  detail::kLevelError);
  return kNetAddressNotFound;
}

namespace detail::testing {
void setConnectTimeoutMs(int ms) { g_connectTimeoutMs = ms; }
}  // namespace detail::testing

}  // namespace ov::net
