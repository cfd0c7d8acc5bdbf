// NetSimple listening ports and UDP ports, with NetSimple clients and plain sockets of the test
// on 127.0.0.1.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "netlib/detail/library.h"
#include "netlib/net_callback.h"
#include "netlib/net_error.h"
#include "netlib/net_simple.h"
#include "netlib/tests/support.h"
#include "platform/rt/date_time.h"

namespace ov::net {
namespace {

using test::loadWith;
using test::TempConfig;
using test::waitFor;

constexpr int kThread = 6;
constexpr int kEvent = 4000;

std::uint16_t unusedPort(int type) {
  int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

// A plain socket of the test, closed when it goes.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

int connectTo(std::uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopback(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True when the peer closed `fd` within `ms` (end of stream or a reset).
bool peerClosed(int fd, int ms = 5000) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, ms) <= 0) return false;
  char c;
  return ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0;
}

std::string readSome(int fd, size_t count, int ms = 5000) {
  std::string out;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (out.size() < count) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buf[4096];
    ssize_t n = ::recv(fd, buf, std::min(sizeof buf, count - out.size()), 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

NetSimplePacket dataPacket(const std::string& bytes) {
  NetSimplePacket p;
  std::memcpy(p.BinData, bytes.data(), bytes.size());
  p.BinDataLen = static_cast<std::int32_t>(bytes.size());
  return p;
}

NetSimpleConnection portRecord(std::uint16_t port, std::uint8_t udp, std::int32_t maxConnections = 0) {
  NetSimpleConnection c;
  c.Mode = 1;
  c.UDPMode = udp;
  c.Port = port;
  c.Thread = kThread;
  c.Event = kEvent;
  c.MaxServerConnections = maxConnections;
  return c;
}

class SimpleServer : public ::testing::Test {
 protected:
  void SetUp() override { loadWith("netwire_tests"); }
  void TearDown() override { rt::clearTestClock(); }

  // The next packet of `c`, waiting for posted events; PacketType 0 when none came in time.
  // Events other than the record's own are kept in m_other.
  NetSimplePacket next(NetSimpleConnection& c, int ms = 5000) {
    NetSimplePacket p;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (NetSimpleConnectReceive(c, p) == 0) return p;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      int event;
      if (left.count() <= 0 || !m_queue.take(event, left)) return NetSimplePacket{};
      if (event != c.Event) m_other.push_back(event);
    }
  }

  TempConfig m_config;
  CallbackQueue m_queue{kThread};
  std::vector<int> m_other;
};

TEST_F(SimpleServer, ListeningPortServesTwoNetSimpleClients) {
  NetSimpleConnection port = portRecord(unusedPort(SOCK_STREAM), 0);
  ASSERT_EQ(NetSimpleConnectOpen(port), 0);
  EXPECT_NE(port.Socket, 0u);
  EXPECT_STREQ(port.LocalIP, "<na>");

  NetSimpleConnection clients[2];
  for (NetSimpleConnection& c : clients) {
    std::strcpy(c.Server, "127.0.0.1");
    c.Port = port.Port;
    c.Thread = kThread;
    c.Event = kEvent + 100;  // the clients' packets stay apart from the port's
    ASSERT_EQ(NetSimpleConnectOpen(c), 0);
  }
  // Each client's kind 2 comes before its data; OnSocket and SockID tell the two apart.
  NetSimplePacket opened[2];
  for (NetSimplePacket& p : opened) {
    p = next(port);
    ASSERT_EQ(p.PacketType, kPacketNewConnection);
    EXPECT_STREQ(p.FromIP, "127.0.0.1");
  }
  EXPECT_NE(opened[0].OnSocket, opened[1].OnSocket);
  EXPECT_NE(opened[0].SockID, opened[1].SockID);
  EXPECT_NE(opened[0].SockID, port.SockID);

  std::vector<NetServerConnection> list;
  ASSERT_EQ(NetSimpleGetServerConnections(port, list), 0);
  ASSERT_EQ(list.size(), 2u);
  std::set<std::uint16_t> remotePorts;
  for (const NetServerConnection& n : list) {
    EXPECT_STREQ(n.RemoteIP, "127.0.0.1");
    EXPECT_STREQ(n.LocalIP, "127.0.0.1");
    remotePorts.insert(n.RemotePort);
  }
  EXPECT_EQ(remotePorts.size(), 2u);

  ASSERT_EQ(NetSimpleConnectSend(clients[1], dataPacket("from the second")), 0);
  ASSERT_EQ(NetSimpleConnectSend(clients[0], dataPacket("from the first")), 0);
  std::map<std::int32_t, std::string> got;
  while (got.size() < 2) {
    NetSimplePacket p = next(port);
    ASSERT_EQ(p.PacketType, kPacketData);
    got[p.SockID].append(p.BinData, static_cast<size_t>(p.BinDataLen));
  }
  // Which accepted connection belongs to which client: match by the client's local port.
  std::map<std::uint16_t, std::int32_t> sockIdByRemotePort;
  for (const NetServerConnection& n : list) sockIdByRemotePort[n.RemotePort] = n.SockID;
  for (int i = 0; i < 2; ++i) {
    sockaddr_in local{};
    socklen_t len = sizeof local;
    ::getsockname(static_cast<int>(clients[i].Socket), reinterpret_cast<sockaddr*>(&local), &len);
    std::int32_t id = sockIdByRemotePort[ntohs(local.sin_port)];
    EXPECT_EQ(got[id], i == 0 ? "from the first" : "from the second");
  }

  // The port answers the first client by its FromIP, OnSocket and SockID.
  NetSimplePacket reply = dataPacket("answer");
  std::strcpy(reply.ToIP, "127.0.0.1");
  const NetServerConnection* first = nullptr;
  for (const NetServerConnection& n : list) {
    sockaddr_in local{};
    socklen_t len = sizeof local;
    ::getsockname(static_cast<int>(clients[0].Socket), reinterpret_cast<sockaddr*>(&local), &len);
    if (n.RemotePort == ntohs(local.sin_port)) first = &n;
  }
  ASSERT_NE(first, nullptr);
  reply.OnSocket = first->Socket;
  reply.SockID = first->SockID;
  ASSERT_EQ(NetSimpleConnectSend(port, reply), 0);
  NetSimplePacket answer = next(clients[0]);
  ASSERT_EQ(answer.PacketType, kPacketData);
  EXPECT_EQ(std::string(answer.BinData, static_cast<size_t>(answer.BinDataLen)), "answer");

  // Without OnSocket, or to a host name, nothing is sent.
  NetSimplePacket bad = dataPacket("x");
  std::strcpy(bad.ToIP, "127.0.0.1");
  EXPECT_EQ(NetSimpleConnectSend(port, bad), kNetHostOrSocketNotGiven);
  std::strcpy(bad.ToIP, "localhost");
  bad.OnSocket = first->Socket;
  EXPECT_EQ(NetSimpleConnectSend(port, bad), kNetCouldNotSend);

  EXPECT_EQ(NetSimpleConnectClose(port, 0, 0, kCloseAbort), 0);
  std::vector<NetServerConnection> none;
  EXPECT_EQ(NetSimpleGetServerConnections(port, none), kNetAddressNotFound);
}

TEST_F(SimpleServer, ConnectionLimitClosesTheOneTooManyUnreported) {
  struct Case {
    const char* name;
    std::int32_t max;
    int refused;
  };
  const Case kCases[] = {{"limit 2: the third is closed", 2, 1}, {"limit 0: no limit", 0, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    NetSimpleConnection port = portRecord(unusedPort(SOCK_STREAM), 0, c.max);
    ASSERT_EQ(NetSimpleConnectOpen(port), 0);
    Fd a(connectTo(port.Port)), b(connectTo(port.Port));
    ASSERT_EQ(next(port).PacketType, kPacketNewConnection);
    ASSERT_EQ(next(port).PacketType, kPacketNewConnection);
    Fd third(connectTo(port.Port));
    ASSERT_GE(third.fd, 0);
    if (c.refused) {
      EXPECT_TRUE(peerClosed(third.fd));
      EXPECT_EQ(next(port, 300).PacketType, 0);  // nothing for the refused one
      EXPECT_FALSE(peerClosed(a.fd, 50));        // the first two stay open
    } else {
      EXPECT_EQ(next(port).PacketType, kPacketNewConnection);
    }
    std::vector<NetServerConnection> list;
    ASSERT_EQ(NetSimpleGetServerConnections(port, list), 0);
    EXPECT_EQ(list.size(), c.refused ? 2u : 3u);
    EXPECT_EQ(NetSimpleConnectClose(port, 0, 0, kCloseAbort), 0);
    EXPECT_TRUE(peerClosed(a.fd));
  }
}

TEST_F(SimpleServer, PortPhaseOneClosesEveryConnectionAndStopsListening) {
  NetSimpleConnection port = portRecord(unusedPort(SOCK_STREAM), 0);
  ASSERT_EQ(NetSimpleConnectOpen(port), 0);
  Fd a(connectTo(port.Port)), b(connectTo(port.Port));
  std::set<std::int32_t> ids;
  for (int i = 0; i < 2; ++i) {
    NetSimplePacket p = next(port);
    ASSERT_EQ(p.PacketType, kPacketNewConnection);
    ids.insert(p.SockID);
  }
  ASSERT_EQ(NetSimpleConnectClose(port, 0, 0, kClosePhaseOne), 0);
  std::set<std::int32_t> closed;
  for (int i = 0; i < 2; ++i) {
    NetSimplePacket p = next(port);
    ASSERT_EQ(p.PacketType, kPacketClosedLocally);
    closed.insert(p.SockID);
  }
  EXPECT_EQ(closed, ids);
  int event;
  while (m_queue.take(event, std::chrono::milliseconds(200))) m_other.push_back(event);
  EXPECT_EQ(std::count(m_other.begin(), m_other.end(), kEvent + 2), 1);
  EXPECT_TRUE(peerClosed(a.fd));
  EXPECT_TRUE(peerClosed(b.fd));
  Fd late(connectTo(port.Port));
  EXPECT_LT(late.fd, 0);  // nobody listens any more
  EXPECT_EQ(NetSimpleConnectClose(port, 0, 0, kClosePhaseTwo), 0);
  std::vector<NetServerConnection> list;
  EXPECT_EQ(NetSimpleGetServerConnections(port, list), kNetAddressNotFound);
}

TEST_F(SimpleServer, AcceptedConnectionClosedRemotelyRefusesSends) {
  NetSimpleConnection port = portRecord(unusedPort(SOCK_STREAM), 0);
  ASSERT_EQ(NetSimpleConnectOpen(port), 0);
  Fd a(connectTo(port.Port));
  NetSimplePacket opened = next(port);
  ASSERT_EQ(opened.PacketType, kPacketNewConnection);
  ::send(a.fd, "last words", 10, MSG_NOSIGNAL);
  ::close(a.fd);
  a.fd = -1;
  NetSimplePacket p = next(port);
  ASSERT_EQ(p.PacketType, kPacketData);
  EXPECT_EQ(std::string(p.BinData, 10), "last words");
  EXPECT_EQ(next(port).PacketType, kPacketClosedRemotely);
  NetSimplePacket reply = dataPacket("too late");
  std::strcpy(reply.ToIP, "127.0.0.1");
  reply.OnSocket = opened.OnSocket;
  reply.SockID = opened.SockID;
  EXPECT_EQ(NetSimpleConnectSend(port, reply), kNetClientNotFound);
  EXPECT_EQ(NetSimpleConnectClose(port, opened.OnSocket, opened.SockID, kClosePhaseTwo), 0);
  std::vector<NetServerConnection> list;
  ASSERT_EQ(NetSimpleGetServerConnections(port, list), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(NetSimpleConnectClose(port, 0, 0, kCloseAbort), 0);
}

TEST_F(SimpleServer, UdpPortReadsAndSendsDatagrams) {
  NetSimpleConnection port = portRecord(unusedPort(SOCK_DGRAM), 1);
  ASSERT_EQ(NetSimpleConnectOpen(port), 0);
  Fd peer(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in self = loopback(0);
  ASSERT_EQ(::bind(peer.fd, reinterpret_cast<sockaddr*>(&self), sizeof self), 0);
  socklen_t len = sizeof self;
  ::getsockname(peer.fd, reinterpret_cast<sockaddr*>(&self), &len);
  const std::uint16_t peerPort = ntohs(self.sin_port);

  sockaddr_in to = loopback(port.Port);
  ASSERT_EQ(::sendto(peer.fd, "ping", 4, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 4);
  NetSimplePacket p = next(port);
  ASSERT_EQ(p.PacketType, kPacketData);
  EXPECT_EQ(std::string(p.BinData, static_cast<size_t>(p.BinDataLen)), "ping");
  EXPECT_STREQ(p.FromIP, "127.0.0.1");
  EXPECT_EQ(p.UDPFromPort, peerPort);

  NetSimplePacket reply = dataPacket("pong");
  std::strcpy(reply.ToIP, "127.0.0.1");
  EXPECT_EQ(NetSimpleConnectSend(port, reply), kNetHostOrSocketNotGiven);  // no UDPToPort
  reply.UDPToPort = peerPort;
  std::strcpy(reply.ToIP, "localhost");  // a host name is resolved and kept in Reserved1
  ASSERT_EQ(NetSimpleConnectSend(port, reply), 0);
  std::uint32_t kept;
  std::memcpy(&kept, port.Reserved1, 4);
  EXPECT_EQ(kept, htonl(INADDR_LOOPBACK));
  EXPECT_EQ(readSome(peer.fd, 4), "pong");

  // A datagram to a port where nobody listens is sent all the same (Linux reports no error to an
  // unconnected datagram socket; were one reported, it would be logged and dropped), and the port
  // goes on reading.
  NetSimplePacket lost = dataPacket("lost");
  std::strcpy(lost.ToIP, "127.0.0.1");
  lost.UDPToPort = unusedPort(SOCK_DGRAM);
  ASSERT_EQ(NetSimpleConnectSend(port, lost), 0);
  ASSERT_EQ(::sendto(peer.fd, "again", 5, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 5);
  p = next(port);
  ASSERT_EQ(p.PacketType, kPacketData);
  EXPECT_EQ(std::string(p.BinData, static_cast<size_t>(p.BinDataLen)), "again");
  EXPECT_EQ(NetSimpleConnectClose(port, 0, 0, kClosePhaseOne), 0);
  EXPECT_EQ(NetSimpleConnectClose(port, 0, 0, kClosePhaseTwo), 0);
}

TEST_F(SimpleServer, OpenOnAPortInUseReportsTheSocketsError) {
  NetSimpleConnection first = portRecord(unusedPort(SOCK_STREAM), 0);
  ASSERT_EQ(NetSimpleConnectOpen(first), 0);
  NetSimpleConnection second = portRecord(first.Port, 0);
  EXPECT_EQ(NetSimpleConnectOpen(second), 10048);  // WSAEADDRINUSE
  EXPECT_EQ(NetSimpleConnectClose(first, 0, 0, kCloseAbort), 0);
}

}  // namespace
}  // namespace ov::net
