// NetSimple client connections against listening sockets of the test on 127.0.0.1.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include "netlib/detail/library.h"
#include "netlib/net_callback.h"
#include "netlib/net_error.h"
#include "netlib/net_options.h"
#include "netlib/net_simple.h"
#include "netlib/tests/support.h"
#include "platform/rt/date_time.h"

namespace ov::net {
namespace {

using test::loadWith;
using test::TempConfig;
using test::waitFor;
namespace testing = detail::testing;

constexpr int kThread = 5;
constexpr int kEvent = 3000;

// A listening socket of the test; its accepted connections are read and written directly.
class Listener {
 public:
  explicit Listener(int backlog = 8, int receiveBuffer = 0) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(m_fd, backlog);
    socklen_t len = sizeof a;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
  }
  ~Listener() {
    for (int fd : m_accepted) ::close(fd);
    ::close(m_fd);
  }
  std::uint16_t port() const { return m_port; }
  int fd() const { return m_fd; }

  int accept(int ms = 5000) {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return -1;
    int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) m_accepted.push_back(fd);
    return fd;
  }

 private:
  int m_fd = -1;
  std::uint16_t m_port = 0;
  std::vector<int> m_accepted;
};

// Reads until `count` bytes came, the peer closed, or `ms` passed.
std::string readBytes(int fd, size_t count, int ms = 5000) {
  std::string out;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (out.size() < count) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buf[65536];
    ssize_t n = ::recv(fd, buf, std::min(sizeof buf, count - out.size()), 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

// A port of 127.0.0.1 where nobody listens.
std::uint16_t unusedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

bool peerClosed(int fd, int ms = 5000) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, ms) <= 0) return false;
  char c;
  return ::recv(fd, &c, 1, MSG_DONTWAIT) == 0;
}

void sendAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

NetSimpleConnection clientRecord(const char* server, std::uint16_t port, std::int32_t asyncTimeout = 0) {
  NetSimpleConnection c;
  std::strncpy(c.Server, server, sizeof c.Server - 1);
  c.Port = port;
  c.Thread = kThread;
  c.Event = kEvent;
  c.AsyncOpenTimeout = asyncTimeout;
  return c;
}

NetSimplePacket dataPacket(const std::string& bytes) {
  NetSimplePacket p;
  std::memcpy(p.BinData, bytes.data(), bytes.size());
  p.BinDataLen = static_cast<std::int32_t>(bytes.size());
  return p;
}

std::uint32_t queuedPackets(const NetSimpleConnection& c) {
  char group[8];
  std::uint32_t socket = c.Socket;
  std::int32_t sockId = c.SockID;
  std::memcpy(group, &socket, 4);
  std::memcpy(group + 4, &sockId, 4);
  NetOptions(kNetGetQueuedPackets, group);
  std::uint32_t count;
  std::memcpy(&count, group + 4, 4);
  return count;
}

std::uint32_t openClientEntries() {
  std::lock_guard lock(detail::libraryLock());
  return detail::simpleListSizes().clients;
}

// Sends numbered blocks of 16384 bytes until some of them wait in the library's queue (the
// reader has not read, so the socket's buffers fill up); returns every byte sent.
std::string sendUntilQueued(NetSimpleConnection& c) {
  std::string all;
  for (int i = 0; i < 4096; ++i) {
    std::string block(kMaxBinData, static_cast<char>('A' + i % 26));
    std::memcpy(block.data(), &i, sizeof i);
    all += block;
    EXPECT_EQ(NetSimpleConnectSend(c, dataPacket(block)), 0);
    if (i % 16 == 15 && waitFor([&] { return queuedPackets(c) > 0; }, 50)) return all;
  }
  ADD_FAILURE() << "the socket took 64 MB without a reader";
  return all;
}

class SimpleClient : public ::testing::Test {
 protected:
  void SetUp() override { loadWith("netwire_tests"); }
  void TearDown() override { rt::clearTestClock(); }

  // The next packet of `c`, waiting for its posted event; PacketType 0 when none came in time.
  NetSimplePacket next(NetSimpleConnection& c, int ms = 5000) {
    NetSimplePacket p;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (NetSimpleConnectReceive(c, p) == 0) return p;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      int event;
      if (left.count() <= 0 || !m_queue.take(event, left)) return NetSimplePacket{};
      EXPECT_EQ(event, kEvent);
    }
  }
  // Reads data packets of `c` until `count` bytes came.
  std::string receiveData(NetSimpleConnection& c, size_t count) {
    std::string all;
    while (all.size() < count) {
      NetSimplePacket p = next(c);
      if (p.PacketType != kPacketData) break;
      all.append(p.BinData, static_cast<size_t>(p.BinDataLen));
    }
    return all;
  }

  TempConfig m_config;
  CallbackQueue m_queue{kThread};
};

TEST_F(SimpleClient, SendsReceivesAndHearsTheRemoteClose) {
  Listener server;
  NetSimpleConnection c = clientRecord("127.0.0.1", server.port());
  ASSERT_EQ(NetSimpleConnectOpen(c), 0);
  EXPECT_NE(c.Socket, 0u);
  EXPECT_GT(c.SockID, 0);
  EXPECT_STREQ(c.LocalIP, "127.0.0.1");
  int peer = server.accept();
  ASSERT_GE(peer, 0);

  ASSERT_EQ(NetSimpleConnectSend(c, dataPacket("USER bob\r\n")), 0);
  EXPECT_EQ(readBytes(peer, 10), "USER bob\r\n");
  sendAll(peer, "+OK welcome\r\n");
  NetSimplePacket p = next(c);
  EXPECT_EQ(p.PacketType, kPacketData);
  EXPECT_EQ(std::string(p.BinData, static_cast<size_t>(p.BinDataLen)), "+OK welcome\r\n");
  EXPECT_STREQ(p.FromIP, "127.0.0.1");
  EXPECT_EQ(p.OnSocket, c.Socket);
  EXPECT_EQ(p.SockID, c.SockID);
  const std::int32_t firstSequence = p.Reserved2;

  sendAll(peer, "tail");
  ::shutdown(peer, SHUT_RDWR);
  EXPECT_EQ(receiveData(c, 4), "tail");  // what came before the close is not lost
  p = next(c);
  EXPECT_EQ(p.PacketType, kPacketClosedRemotely);
  EXPECT_GT(p.Reserved2, firstSequence);
  EXPECT_EQ(NetSimpleConnectReceive(c, p), kNetNoRequest);
  EXPECT_EQ(NetSimpleConnectSend(c, dataPacket("x")), kNetClientNotFound);
  EXPECT_EQ(NetSimpleConnectClose(c, p.OnSocket, p.SockID, kClosePhaseTwo), 0);
  EXPECT_EQ(openClientEntries(), 0u);
}

TEST_F(SimpleClient, EachConnectionReceivesOnlyItsOwnPackets) {
  Listener server;
  NetSimpleConnection a = clientRecord("127.0.0.1", server.port());
  NetSimpleConnection b = clientRecord("127.0.0.1", server.port());
  ASSERT_EQ(NetSimpleConnectOpen(a), 0);
  int peerA = server.accept();
  ASSERT_EQ(NetSimpleConnectOpen(b), 0);
  int peerB = server.accept();
  sendAll(peerA, "for a");
  EXPECT_EQ(receiveData(a, 5), "for a");
  sendAll(peerB, "for b");
  sendAll(peerA, " again");
  EXPECT_EQ(receiveData(b, 5), "for b");
  EXPECT_EQ(receiveData(a, 6), " again");
  NetSimplePacket p;
  EXPECT_EQ(NetSimpleConnectReceive(b, p), kNetNoRequest);
  EXPECT_EQ(p.PacketType, 0);  // the record is cleared even when nothing came
}

TEST_F(SimpleClient, LargePacketsArriveWholeAndInOrderThroughASlowReader) {
  Listener server(8, 4096);
  NetSimpleConnection c = clientRecord("127.0.0.1", server.port());
  ASSERT_EQ(NetSimpleConnectOpen(c), 0);
  int peer = server.accept();
  std::string all = sendUntilQueued(c);
  std::string got = readBytes(peer, all.size(), 30000);
  ASSERT_EQ(got.size(), all.size());
  EXPECT_TRUE(got == all);
  EXPECT_EQ(queuedPackets(c), 0u);
}

// A client opened on a dotted address that never received anything has no address in Reserved1;
// phase 1 still closes its socket instead of answering -20 and leaving it open.
TEST_F(SimpleClient, PhaseOneClosesAClientThatNeverReceived) {
  Listener server;
  NetSimpleConnection c = clientRecord("127.0.0.1", server.port());
  ASSERT_EQ(NetSimpleConnectOpen(c), 0);
  int peer = server.accept();
  std::uint32_t r1;
  std::memcpy(&r1, c.Reserved1, 4);
  ASSERT_EQ(r1, 0u);
  EXPECT_EQ(NetSimpleConnectClose(c, 0, 0, kClosePhaseOne), 0);
  EXPECT_TRUE(peerClosed(peer));
  NetSimplePacket p = next(c);
  EXPECT_EQ(p.PacketType, kPacketClosedLocally);
  ::shutdown(peer, SHUT_RDWR);
  EXPECT_EQ(NetSimpleConnectClose(c, p.OnSocket, p.SockID, kClosePhaseTwo), 0);
  EXPECT_TRUE(waitFor([] { return openClientEntries() == 0; }));
}

TEST_F(SimpleClient, PhaseOneSendsWhatIsQueuedBeforeClosing) {
  Listener server(8, 4096);
  NetSimpleConnection c = clientRecord("127.0.0.1", server.port());
  ASSERT_EQ(NetSimpleConnectOpen(c), 0);
  int peer = server.accept();
  std::string all = sendUntilQueued(c);
  EXPECT_EQ(NetSimpleConnectClose(c, 0, 0, kClosePhaseOne), 0);
  EXPECT_EQ(NetSimpleConnectSend(c, dataPacket("late")), kNetClientNotFound);
  std::string got = readBytes(peer, all.size(), 30000);
  EXPECT_EQ(got.size(), all.size());
  EXPECT_TRUE(peerClosed(peer));  // the library shut its side down after the last byte
  NetSimplePacket p = next(c);
  EXPECT_EQ(p.PacketType, kPacketClosedLocally);
  ::shutdown(peer, SHUT_RDWR);
  EXPECT_EQ(NetSimpleConnectClose(c, p.OnSocket, p.SockID, kClosePhaseTwo), 0);
  EXPECT_TRUE(waitFor([] { return openClientEntries() == 0; }));
}

TEST_F(SimpleClient, PhaseTwoBeforeTheCloseWaitsForItOrForFiveMinutes) {
  Listener server;
  NetSimpleConnection first = clientRecord("127.0.0.1", server.port());
  NetSimpleConnection second = clientRecord("127.0.0.1", server.port());
  ASSERT_EQ(NetSimpleConnectOpen(first), 0);
  int peerFirst = server.accept();
  ASSERT_EQ(NetSimpleConnectOpen(second), 0);
  ASSERT_GE(server.accept(), 0);
  rt::setTestClock(rt::DATE(5, 6, 2024), 3600 * 100);

  for (NetSimpleConnection* c : {&first, &second}) {
    ASSERT_EQ(NetSimpleConnectClose(*c, 0, 0, kClosePhaseOne), 0);
    NetSimplePacket p = next(*c);
    ASSERT_EQ(p.PacketType, kPacketClosedLocally);
    EXPECT_EQ(NetSimpleConnectClose(*c, p.OnSocket, p.SockID, kClosePhaseTwo), 0);
  }
  EXPECT_EQ(openClientEntries(), 2u);
  ::shutdown(peerFirst, SHUT_RDWR);  // the first peer closes: its entry goes at once
  EXPECT_TRUE(waitFor([] { return openClientEntries() == 1; }));

  // The second peer never closes: the close check takes it five minutes after phase one.
  for (int i = 0; i < 25; ++i) ASSERT_TRUE(testing::runTimerTick());
  EXPECT_EQ(openClientEntries(), 1u);
  rt::advanceTestClock(30000);
  for (int i = 0; i < 25; ++i) ASSERT_TRUE(testing::runTimerTick());
  EXPECT_EQ(openClientEntries(), 0u);
}

TEST_F(SimpleClient, AsynchronousOpensReportTheirOutcomeAsPackets) {
  Listener server;
  const std::uint16_t closedPort = unusedPort();

  NetSimpleConnection byName = clientRecord("localhost", server.port(), 400);
  ASSERT_EQ(NetSimpleConnectOpen(byName), 0);
  EXPECT_EQ(byName.Socket, 0u);  // the look-up is still under way
  NetSimplePacket p = next(byName);
  EXPECT_EQ(p.PacketType, kPacketAsyncOpenOk);
  EXPECT_NE(byName.Socket, 0u);
  EXPECT_STREQ(byName.LocalIP, "127.0.0.1");
  EXPECT_GE(server.accept(), 0);
  EXPECT_EQ(NetSimpleConnectSend(byName, dataPacket("hi")), 0);

  NetSimpleConnection refused = clientRecord("127.0.0.1", closedPort, 400);
  ASSERT_EQ(NetSimpleConnectOpen(refused), 0);
  p = next(refused);
  EXPECT_EQ(p.PacketType, kPacketAsyncOpenFailed);
  EXPECT_EQ(p.Error, kWsaConnRefused);

  NetSimpleConnection unknown = clientRecord("no-such-host.invalid", 110, 400);
  ASSERT_EQ(NetSimpleConnectOpen(unknown), 0);
  p = next(unknown, 15000);
  EXPECT_EQ(p.PacketType, kPacketAsyncOpenFailed);
  EXPECT_GE(p.Error, 11001);  // the look-up's error
  EXPECT_LE(p.Error, 11004);
}

TEST_F(SimpleClient, SynchronousOpenFailuresComeBackAsCodes) {
  NetSimpleConnection refused = clientRecord("127.0.0.1", unusedPort());
  EXPECT_EQ(NetSimpleConnectOpen(refused), kWsaConnRefused);
  NetSimpleConnection unknown = clientRecord("no-such-host.invalid", 110);
  EXPECT_EQ(NetSimpleConnectOpen(unknown), kNetAddressNotFound);
  EXPECT_EQ(openClientEntries(), 0u);
}

// A server whose accept queue is full never completes a connect: the open gives up in time.
TEST_F(SimpleClient, ConnectsThatNeverFinishTimeOut) {
  Listener full(0);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(full.port());
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers.push_back(fd);
  }
  testing::setConnectTimeoutMs(300);
  NetSimpleConnection sync = clientRecord("127.0.0.1", full.port());
  EXPECT_EQ(NetSimpleConnectOpen(sync), kWsaTimedOut);
  testing::setConnectTimeoutMs(30000);

  NetSimpleConnection async = clientRecord("127.0.0.1", full.port(), 30);
  ASSERT_EQ(NetSimpleConnectOpen(async), 0);
  NetSimplePacket p = next(async, 5000);
  EXPECT_EQ(p.PacketType, kPacketAsyncOpenFailed);
  EXPECT_EQ(p.Error, kWsaTimedOut);
  for (int fd : fillers) ::close(fd);
}

TEST_F(SimpleClient, RecordsOfOtherModesAndPhasesChangeNothing) {
  Listener server;
  NetSimpleConnection c = clientRecord("127.0.0.1", server.port());
  ASSERT_EQ(NetSimpleConnectOpen(c), 0);
  ASSERT_GE(server.accept(), 0);
  EXPECT_EQ(NetSimpleConnectClose(c, 0, 0, 3), 0);
  EXPECT_EQ(NetSimpleConnectSend(c, dataPacket("still open")), 0);

  NetSimpleConnection other = clientRecord("127.0.0.1", server.port());
  other.Mode = 2;
  NetSimplePacket p = dataPacket("untouched");
  EXPECT_EQ(NetSimpleConnectOpen(other), 0);
  EXPECT_EQ(other.SockID, 0);
  EXPECT_EQ(NetSimpleConnectReceive(other, p), 0);
  EXPECT_EQ(p.BinDataLen, 9);
  EXPECT_EQ(NetSimpleConnectClose(other, 0, 0, kCloseAbort), 0);
  std::vector<NetServerConnection> list;
  NetSimpleConnection port = clientRecord("", server.port());
  port.Mode = 1;
  EXPECT_EQ(NetSimpleGetServerConnections(port, list), kNetAddressNotFound);
}

TEST_F(SimpleClient, AbortClosesAtOnceAndDropsWhatWasQueued) {
  Listener server;
  NetSimpleConnection c = clientRecord("127.0.0.1", server.port());
  ASSERT_EQ(NetSimpleConnectOpen(c), 0);
  int peer = server.accept();
  sendAll(peer, "unread");
  ASSERT_TRUE(waitFor([&] {
    std::lock_guard lock(detail::libraryLock());
    return detail::simpleListSizes().inData > 0;
  }));
  EXPECT_EQ(NetSimpleConnectClose(c, 0, 0, kCloseAbort), 0);
  EXPECT_TRUE(peerClosed(peer));
  EXPECT_EQ(openClientEntries(), 0u);
  NetSimplePacket p;
  EXPECT_EQ(NetSimpleConnectReceive(c, p), kNetNoRequest);
}

TEST_F(SimpleClient, CloseDownClosesEverySocket) {
  Listener server;
  NetSimpleConnection c = clientRecord("127.0.0.1", server.port());
  ASSERT_EQ(NetSimpleConnectOpen(c), 0);
  int peer = server.accept();
  EXPECT_EQ(NetCloseCallBackWindow(), 0);
  EXPECT_TRUE(peerClosed(peer));
  ASSERT_TRUE(testing::waitCallBackWindowDown(5000));
  EXPECT_EQ(NetSimpleConnectClose(c, 0, 0, kClosePhaseOne), 0);  // ignored after the close-down
  EXPECT_EQ(NetSimpleConnectSend(c, dataPacket("x")), kNetClientNotFound);
}

}  // namespace
}  // namespace ov::net
