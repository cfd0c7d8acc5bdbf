// Peer messaging on 127.0.0.1: a test-made instance (plain sockets speaking the packet format)
// against the library, crafted streams and acknowledgements, resends, and a second library
// instance in a process of its own exchanging acknowledged packets with this one.
//
// Announcements go only to 127.0.0.1 and to instances already known; the library sends no LAN
// broadcast.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>

#include <memory>
#include <random>
#include <set>
#include <atomic>
#include <chrono>
#include <thread>
#include <string>

#include "netlib/detail/library.h"
#include "netlib/detail/peer.h"
#include "netlib/detail/peer_packet.h"
#include "netlib/net_callback.h"
#include "netlib/net_error.h"
#include "netlib/net_options.h"
#include "netlib/net_peer.h"
#include "netlib/tests/support.h"
#include "platform/rt/date_time.h"

extern char** environ;

namespace ov::net {
namespace {

using test::loadWith;
using test::TempConfig;
using test::waitFor;
namespace testing = detail::testing;

constexpr int kThread = 9;
constexpr int kEvent = 6000;
constexpr const char* kKey = "0123456789ABCDEFGHIJKLMN";  // the option takes 24 characters

void setOption(long option, const std::string& value) {
  char buffer[32] = {};
  std::memcpy(buffer, value.data(), std::min(value.size(), sizeof buffer));
  NetOptions(option, buffer);
}

long numberOption(long option) {
  char buffer[32] = {};
  NetOptions(option, buffer);
  return std::strtol(buffer, nullptr, 10);
}

bool canBind(int type, std::uint16_t port) {
  int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons(port);
  bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

// Base ports with five free datagram and five free stream ports each.
std::pair<std::uint16_t, std::uint16_t> freeBases() {
  std::mt19937 rng(std::random_device{}());
  for (int attempt = 0; attempt < 200; ++attempt) {
    std::uint16_t dg = static_cast<std::uint16_t>(20000 + rng() % 20000);
    std::uint16_t s = static_cast<std::uint16_t>(dg + 20000);
    bool free = true;
    for (int i = 0; i < 5 && free; ++i) free = canBind(SOCK_DGRAM, static_cast<std::uint16_t>(dg + i)) &&
                                                canBind(SOCK_STREAM, static_cast<std::uint16_t>(s + i));
    if (free) return {dg, s};
  }
  return {0, 0};
}

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

struct Fd {
  int fd = -1;
  explicit Fd(int f = -1) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  void reset(int f) {
    if (fd >= 0) ::close(fd);
    fd = f;
  }
};

std::uint16_t boundPort(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

int connectTo(std::uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopback(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool peerClosed(int fd, int ms = 5000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    char buf[256];
    ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n <= 0) return true;
  }
}

void sendAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// A peer instance made by the test from plain sockets: a datagram port and a stream listener.
class TestPeer {
 public:
  TestPeer() : m_dg(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), m_listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a = loopback(0);
    ::bind(m_dg.fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::bind(m_listener.fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(m_listener.fd, 8);
    id.GUID1 = 111;
    id.GUID2 = 222;
    id.RunID = 1;
    id.SPort = boundPort(m_listener.fd);
    id.DGPort = boundPort(m_dg.fd);
  }
  void announce(std::uint16_t toPort, std::int32_t type, const std::string& services) {
    detail::ICanDoContent c;
    c.type = type;
    c.fromNetId = id;
    c.serviceList = services;
    c.netName = "farhost";
    c.description = "the test's peer";
    std::string p = detail::makeICanDoPacket(c);
    sockaddr_in to = loopback(toPort);
    ::sendto(m_dg.fd, p.data(), p.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
  // The next datagram of `type`, skipping others; empty when none came in time.
  std::string datagramOfType(std::int32_t type, int ms = 5000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
      pollfd p{m_dg.fd, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
      char buf[2048];
      ssize_t n = ::recv(m_dg.fd, buf, sizeof buf, 0);
      if (n >= 24 && detail::headerOf<detail::PacketInfo>(std::string_view(buf, static_cast<size_t>(n))).PacketType == type)
        return std::string(buf, static_cast<size_t>(n));
    }
  }
  // Accepts the library's next sending connection and never reads from it; a small receive
  // buffer, so the library's side fills up soon.
  bool acceptWithoutReading(int ms = 5000) {
    pollfd p{m_listener.fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    m_conn.reset(::accept4(m_listener.fd, nullptr, nullptr, SOCK_CLOEXEC));
    int small = 4096;
    ::setsockopt(m_conn.fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    return m_conn.fd >= 0;
  }
  // Accepts the library's next sending connection and reads one whole packet from it.
  std::string acceptPacket(int ms = 5000) {
    pollfd p{m_listener.fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return {};
    m_conn.reset(::accept4(m_listener.fd, nullptr, nullptr, SOCK_CLOEXEC));
    return readPacket(ms);
  }
  std::string readPacket(int ms = 5000) {
    detail::StreamFramer framer;
    std::string packet;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (framer.next(packet) != detail::StreamFramer::Result::Packet) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
      pollfd p{m_conn.fd, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
      char buf[4096];
      ssize_t n = ::recv(m_conn.fd, buf, sizeof buf, 0);
      if (n <= 0) return {};
      framer.append(buf, static_cast<size_t>(n));
    }
    return packet;
  }

  NetID id;

 private:
  Fd m_dg, m_listener, m_conn;
};

class Peer : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::setTestClock(80000, 4320000);  // noon
    loadWith("netwire_tests");
    auto [dg, s] = freeBases();
    ASSERT_NE(dg, 0);
    m_dgBase = dg;
    m_sBase = s;
    setOption(kNetSetDgPort, std::to_string(dg));
    setOption(kNetSetSPort, std::to_string(s));
    setOption(kNetSetDesKey, kKey);
  }
  void TearDown() override {
    NetCloseCallBackWindow();
    testing::waitCallBackWindowDown(5000);
    rt::clearTestClock();
  }
  long declare(const char* name, std::int32_t options = kServiceStart) {
    NetServiceRecord r;
    std::strncpy(r.ServiceName, name, sizeof r.ServiceName - 1);
    r.Thread = kThread;
    r.Event = kEvent;
    r.Options = options;
    return NetSetService(sizeof r, r);
  }
  detail::PeerListSizes lists() {
    std::lock_guard lock(detail::libraryLock());
    return detail::peerListSizes();
  }
  detail::PeerCounters counters() {
    std::lock_guard lock(detail::libraryLock());
    return detail::peerCounters();
  }
  // Moves the clock on and runs the ticks of one acknowledgement pass.
  void acknowledgementPass(std::int64_t advance) {
    rt::advanceTestClock(advance);
    for (int i = 0; i < 11; ++i) ASSERT_TRUE(testing::runTimerTick());
  }
  // Announces `peer` with the service "Far" and waits until the library lists it.
  void meet(TestPeer& peer) {
    peer.announce(m_dgBase, detail::kPacketICanDo, "Far,");
    ASSERT_FALSE(peer.datagramOfType(detail::kPacketICanDoBack).empty());
    std::vector<NetPublicService> list;
    ASSERT_TRUE(waitFor([&] { return NetGetServer(sizeof(NetServiceRecord), "Far", list) == 0; }));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0].UniqueNetName, "farhost");
    EXPECT_STREQ(list[0].IP, "127.0.0.1");
    EXPECT_STREQ(list[0].Description, "the test's peer");
  }
  std::unique_ptr<NetPacketRecord> packetTo(const char* netName, const char* service, const std::string& data) {
    auto p = std::make_unique<NetPacketRecord>();
    std::strcpy(p->ToNetName, netName);
    std::strcpy(p->ServiceName, service);
    std::memcpy(p->BinData, data.data(), data.size());
    p->BinDataLen = static_cast<std::int32_t>(data.size());
    return p;
  }

  TempConfig m_config;
  CallbackQueue m_queue{kThread};
  std::uint16_t m_dgBase = 0, m_sBase = 0;
};

TEST_F(Peer, DataPacketGoesOutOverTheStreamAndAHostileAckRangeClearsIt) {
  ASSERT_EQ(declare("Local"), 0);
  EXPECT_EQ(numberOption(kNetGetDgPort), m_dgBase);
  TestPeer far;
  meet(far);

  const auto before = counters();
  auto p = packetTo("farhost", "Far", "payload!!");
  p->Encrypt = 1;
  p->Command = 77;
  ASSERT_EQ(NetASend(sizeof *p, *p, 0), 0);
  std::string wire = far.acceptPacket();
  detail::DataParsed d;
  ASSERT_EQ(detail::parseDataPacket(wire, kKey, d), 0);
  EXPECT_EQ(d.header.Info.PacketOptions, detail::kOptionBinDataEnciphered);
  EXPECT_EQ(wire.find("payload!!"), std::string::npos);  // not in clear on the wire
  EXPECT_EQ(d.binData, "payload!!");
  EXPECT_EQ(d.serviceName, "Far");
  EXPECT_EQ(d.toNetName, "farhost");
  EXPECT_EQ(d.header.Command, 77);
  EXPECT_EQ(d.header.LowestUnAckPacketID, 0xFFFFFFFFu);  // nothing was outstanding when it was built
  EXPECT_TRUE(waitFor([&] { return lists().outgoing == 1 && lists().outgoingNotSent == 0; }));

  // Not acknowledged for 2001 centiseconds: sent again over a new connection.
  acknowledgementPass(2001);
  std::string again = far.acceptPacket();
  EXPECT_TRUE(waitFor([&] { return lists().outgoingNotSent == 0; }));
  EXPECT_EQ(again, wire);
  EXPECT_EQ(counters().resentOutGoingPackets - before.resentOutGoingPackets, 1u);

  // An acknowledgement whose range covers every number clears the one packet, at once.
  const auto beforeAck = counters();
  Fd ack(connectTo(static_cast<std::uint16_t>(numberOption(kNetGetSPort))));
  ASSERT_GE(ack.fd, 0);
  sendAll(ack.fd, detail::makeAckPacket(far.id, 0xFFFFFFFFu, {{0, 0xFFFFFFFFu}}));
  EXPECT_TRUE(waitFor([&] { return lists().outgoing == 0; }));
  EXPECT_EQ(counters().dataPacketsAcked - beforeAck.dataPacketsAcked, 1u);
  EXPECT_EQ(counters().ackPacketsReceived - beforeAck.ackPacketsReceived, 1u);
}

TEST_F(Peer, ResendsStopAfterFifteenAndTheServicesGoInactive) {
  ASSERT_EQ(declare("Local"), 0);
  TestPeer far;
  meet(far);
  const auto before = counters();
  auto p = packetTo("farhost", "Far", "never acknowledged");
  ASSERT_EQ(NetASend(sizeof *p, *p, 0), 0);
  ASSERT_FALSE(far.acceptPacket().empty());
  ASSERT_TRUE(waitFor([&] { return lists().outgoingNotSent == 0; }));
  for (int pass = 0; pass < 15; ++pass) {
    SCOPED_TRACE(pass);
    acknowledgementPass(2001);
    ASSERT_FALSE(far.acceptPacket().empty());
    ASSERT_TRUE(waitFor([&] { return lists().outgoingNotSent == 0; }));  // its send time is taken
  }
  EXPECT_EQ(counters().resentOutGoingPackets - before.resentOutGoingPackets, 15u);
  acknowledgementPass(2001);
  EXPECT_EQ(lists().outgoing, 0u);
  std::vector<NetPublicService> list;
  EXPECT_EQ(NetGetServer(sizeof(NetServiceRecord), "Far", list), kNetServerNotFound);  // listed no more: inactive
}

TEST_F(Peer, CraftedStreamsAreClosedAndTheEventThreadGoesOn) {
  ASSERT_EQ(declare("Local"), 0);
  const std::uint16_t sport = static_cast<std::uint16_t>(numberOption(kNetGetSPort));
  struct Case {
    const char* name;
    std::uint32_t version, length;
  };
  const Case kCases[] = {
      {"length word 0", 12, 0},
      {"length word 23", 12, 23},
      {"length word above the buffer", 12, 66941},
      {"another version", 11, 100},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Fd s(connectTo(sport));
    ASSERT_GE(s.fd, 0);
    std::string h(24, ' ');
    std::memcpy(h.data(), &c.version, 4);
    std::memcpy(h.data() + 8, &c.length, 4);
    sendAll(s.fd, h + std::string(40, 'x'));
    EXPECT_TRUE(peerClosed(s.fd));
    EXPECT_TRUE(testing::runTimerTick());
  }
  // A truncated header followed by the close delivers nothing and hurts nothing.
  {
    Fd s(connectTo(sport));
    sendAll(s.fd, std::string(10, '\x0c'));
  }
  EXPECT_TRUE(testing::runTimerTick());
  EXPECT_TRUE(waitFor([&] { return lists().listening == 0; }));
  EXPECT_EQ(lists().inMsg, 0u);
}

// A connection whose other side stops reading is closed without waiting for its unsent data:
// the event thread goes on at once with the other connections (a lingering close held it for
// up to 3 seconds).
TEST_F(Peer, ClosingAConnectionThatIsNotReadHoldsUpNothing) {
  ASSERT_EQ(declare("Local"), 0);
  TestPeer far;
  meet(far);
  auto first = packetTo("farhost", "Far", std::string(16000, 'x'));
  ASSERT_EQ(NetASend(sizeof *first, *first, 0), 0);
  ASSERT_TRUE(far.acceptWithoutReading());
  // Far more than the buffers of both sides hold: the library is left with data it cannot send.
  for (int i = 0; i < 800; ++i) {
    auto p = packetTo("farhost", "Far", std::string(16000, 'a' + i % 26));
    ASSERT_EQ(NetASend(sizeof *p, *p, 0), 0);
  }
  size_t stuck = 0;
  ASSERT_TRUE(waitFor([&] {
    const size_t before = lists().outgoingNotSent;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stuck = lists().outgoingNotSent;
    return stuck > 0 && stuck == before;
  }, 20000));

  // The acknowledgement pass finds the connection idle (or its packets due again) and closes it;
  // meanwhile another connection brings an acknowledgement.
  rt::advanceTestClock(2001);
  std::atomic<bool> ticked{false};
  std::thread ticks([&] {
    for (int i = 0; i < 11; ++i) (void)testing::runTimerTick();
    ticked = true;
  });
  const auto before = counters();
  Fd ack(connectTo(static_cast<std::uint16_t>(numberOption(kNetGetSPort))));
  ASSERT_GE(ack.fd, 0);
  sendAll(ack.fd, detail::makeAckPacket(far.id, 0xFFFFFFFFu, {{0, 0xFFFFFFFFu}}));
  const bool served = waitFor([&] { return ticked && counters().ackPacketsReceived > before.ackPacketsReceived; }, 1500);
  ticks.join();
  EXPECT_TRUE(served) << "the event thread was held up";
  EXPECT_EQ(lists().outgoing, 0u);
}

TEST_F(Peer, CraftedPacketsAreRefusedByTheDispatcher) {
  ASSERT_EQ(declare("Local"), 0);
  TestPeer far;
  detail::DataContent c;
  c.fromNetId = far.id;
  c.toNetName = "me";
  c.serviceName = "Local";
  c.fromNetName = "farhost";
  c.binData = "x";
  c.packetId = 1;
  c.toThread = 65;
  std::lock_guard lock(detail::libraryLock());
  EXPECT_EQ(detail::peerDispatch(detail::makeDataPacket(c), htonl(INADDR_LOOPBACK)), detail::kPeerCorrupt);
  c.toThread = 0;
  std::string good = detail::makeDataPacket(c);
  EXPECT_EQ(detail::peerDispatch(good.substr(0, 24), htonl(INADDR_LOOPBACK)), detail::kPeerTooShort);
  EXPECT_EQ(detail::peerDispatch(good.substr(0, good.size() - 1), htonl(INADDR_LOOPBACK)), detail::kPeerLengthMismatch);
  std::string ack = detail::makeAckPacket(far.id, 0, {});
  EXPECT_EQ(detail::peerDispatch(ack, htonl(INADDR_LOOPBACK)), detail::kPeerTooShort);  // 60 bytes: no entries
  std::string odd = detail::makeAckPacket(far.id, 0, {{1, 1}}) + "z";
  std::int32_t len = static_cast<std::int32_t>(odd.size());
  std::memcpy(odd.data() + 8, &len, 4);
  EXPECT_EQ(detail::peerDispatch(odd, htonl(INADDR_LOOPBACK)), detail::kPeerLengthMismatch);
  EXPECT_EQ(detail::peerListSizes().inMsg, 0u);
  EXPECT_EQ(detail::peerDispatch(good, htonl(INADDR_LOOPBACK)), 0);
  EXPECT_EQ(detail::peerListSizes().inMsg, 1u);
  EXPECT_EQ(detail::peerDispatch(good, htonl(INADDR_LOOPBACK)), 0);  // a duplicate: dropped
  EXPECT_EQ(detail::peerListSizes().inMsg, 1u);
}

TEST_F(Peer, OrderedSetIsHandedOverInNumberOrder) {
  ASSERT_EQ(declare("Local"), 0);
  TestPeer far;
  auto packet = [&](std::int32_t number, std::uint32_t id, std::int32_t options) {
    detail::DataContent c;
    c.fromNetId = far.id;
    c.toNetName = "me";
    c.serviceName = "Local";
    c.fromNetName = "farhost";
    c.binData = "part " + std::to_string(number);
    c.packetId = id;
    c.setNumber = 4;
    c.packetNumber = number;
    c.options = options;
    return detail::makeDataPacket(c);
  };
  {
    std::lock_guard lock(detail::libraryLock());
    ASSERT_EQ(detail::peerDispatch(packet(0, 1, kPacketOrderedSet), htonl(INADDR_LOOPBACK)), 0);
    ASSERT_EQ(detail::peerDispatch(packet(2, 2, kPacketOrderedSet | kPacketLastOfSet), htonl(INADDR_LOOPBACK)), 0);
    ASSERT_EQ(detail::peerDispatch(packet(1, 3, kPacketOrderedSet), htonl(INADDR_LOOPBACK)), 0);
  }
  std::vector<std::string> got;
  for (int i = 0; i < 3; ++i) {
    auto r = std::make_unique<NetPacketRecord>();
    ASSERT_EQ(NetReceive(sizeof *r, *r), 0);
    got.emplace_back(r->BinData, static_cast<size_t>(r->BinDataLen));
    EXPECT_STREQ(r->FromIP, "127.0.0.1");
    EXPECT_EQ(std::int32_t{r->DirectResponse.GUID1}, 111);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"part 0", "part 1", "part 2"}));
  auto r = std::make_unique<NetPacketRecord>();
  EXPECT_EQ(NetReceive(sizeof *r, *r), kNetNoRequest);
}

// A datagram socket of the test on 127.0.0.1:`port` that collects what the library sends there.
class Listening {
 public:
  explicit Listening(std::uint16_t port) : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a = loopback(port);
    m_bound = ::bind(m_fd.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  bool bound() const { return m_bound; }
  // The next announcement, or an empty string when none came within `ms`.
  std::string next(int ms) {
    pollfd p{m_fd.fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return {};
    char buf[2048];
    ssize_t n = ::recv(m_fd.fd, buf, sizeof buf, 0);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  }

 private:
  Fd m_fd;
  bool m_bound = false;
};

std::string announcementFrom(const NetID& id, std::int32_t type, const std::string& services, const std::string& name) {
  detail::ICanDoContent c;
  c.type = type;
  c.fromNetId = id;
  c.serviceList = services;
  c.netName = name;
  c.description = "desc";
  return detail::makeICanDoPacket(c);
}

TEST_F(Peer, UniqueNamesAndRunsOfOneInstance) {
  ASSERT_EQ(declare("Local"), 0);
  ASSERT_TRUE(waitFor([&] { return lists().netId == 1; }));  // it heard its own announcement
  Listening sink(0);  // where the library's answers go; never read
  auto idOf = [](std::int32_t guid, std::int32_t run) {
    NetID id;
    id.GUID1 = guid;
    id.GUID2 = 1;
    id.RunID = run;
    id.SPort = 9;
    id.DGPort = 9;
    return id;
  };
  std::vector<NetPublicService> list;
  {
    std::lock_guard lock(detail::libraryLock());
    for (std::int32_t guid : {1, 2, 3})
      ASSERT_EQ(detail::peerDispatch(announcementFrom(idOf(guid, 7), detail::kPacketICanDoBack, "S,", "HOST"),
                                     htonl(INADDR_LOOPBACK)), 0);
  }
  ASSERT_EQ(NetGetServer(sizeof(NetServiceRecord), "S", list), 0);
  std::set<std::string> names;
  for (const NetPublicService& e : list) names.insert(e.UniqueNetName);
  EXPECT_EQ(names, (std::set<std::string>{"HOST", "HOSTA", "HOSTV"}));

  const size_t known = lists().netId;
  {
    std::lock_guard lock(detail::libraryLock());
    // An older run of instance 1 is ignored; a newer one replaces it and what belonged to it.
    ASSERT_EQ(detail::peerDispatch(announcementFrom(idOf(1, 6), detail::kPacketICanDoBack, "Other,", "HOST"),
                                   htonl(INADDR_LOOPBACK)), 0);
  }
  EXPECT_EQ(lists().netId, known);
  EXPECT_EQ(NetGetServer(sizeof(NetServiceRecord), "Other", list), kNetServerNotFound);
  {
    std::lock_guard lock(detail::libraryLock());
    ASSERT_EQ(detail::peerDispatch(announcementFrom(idOf(1, 9), detail::kPacketICanDoBack, "Other,", "HOST"),
                                   htonl(INADDR_LOOPBACK)), 0);
  }
  EXPECT_EQ(lists().netId, known);
  ASSERT_EQ(NetGetServer(sizeof(NetServiceRecord), "Other", list), 0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].ServerNetID.RunID, 9);
  ASSERT_EQ(NetGetServer(sizeof(NetServiceRecord), "S", list), 0);
  EXPECT_EQ(list.size(), 2u);  // the old run's "S" went with it
}

TEST_F(Peer, AnnouncementsAreAnsweredAsTheirTypeSays) {
  ASSERT_EQ(declare("Local"), 0);
  TestPeer far;
  struct Step {
    const char* name;
    std::int32_t type;
    const char* services;
    bool answered;
  };
  const Step kSteps[] = {
      {"first NRN: the list changed", detail::kPacketICanDoNRN, "Far,", true},
      {"same NRN again: no answer", detail::kPacketICanDoNRN, "Far,", false},
      {"NRN with one more service", detail::kPacketICanDoNRN, "Far,Near,", true},
      {"ICanDo: always answered", detail::kPacketICanDo, "Far,Near,", true},
      {"ICanDoBack: never answered", detail::kPacketICanDoBack, "Far,", false},
  };
  for (const Step& s : kSteps) {
    SCOPED_TRACE(s.name);
    far.announce(m_dgBase, s.type, s.services);
    std::string back = far.datagramOfType(detail::kPacketICanDoBack, s.answered ? 5000 : 300);
    EXPECT_EQ(!back.empty(), s.answered);
  }
}

TEST_F(Peer, ServicesAreAnnouncedWhenTheyChange) {
  Listening other(static_cast<std::uint16_t>(m_dgBase + 1));  // where a second instance would listen
  ASSERT_TRUE(other.bound());
  auto servicesIn = [](const std::string& packet) {
    detail::ICanDoParsed a;
    EXPECT_EQ(detail::parseICanDoPacket(packet, a), 0);
    return a.services;
  };
  ASSERT_EQ(declare("Alpha,Beta"), 0);
  std::string first = other.next(5000);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(servicesIn(first), (std::vector<std::string>{"Alpha", "Beta"}));
  while (!other.next(200).empty()) {
  }
  EXPECT_EQ(declare("Alpha"), 0);  // the same again: nothing to announce
  EXPECT_TRUE(other.next(300).empty());
  EXPECT_EQ(declare("Alpha", kServiceStart | kServicePrivate), 0);  // private now: announced without it
  std::string changed = other.next(5000);
  ASSERT_FALSE(changed.empty());
  EXPECT_EQ(servicesIn(changed), (std::vector<std::string>{"Beta"}));
  while (!other.next(200).empty()) {
  }
  EXPECT_EQ(declare("Beta", kServiceStop), 0);
  std::string stopped = other.next(5000);
  ASSERT_FALSE(stopped.empty());
  EXPECT_TRUE(servicesIn(stopped).empty());
}

TEST_F(Peer, NotifyRequestsHearOfChangedServices) {
  NetServiceRecord r;
  std::strcpy(r.ServiceName, "Far");
  r.Thread = kThread;
  r.Event = kEvent + 7;
  r.Options = kNotifyAdd;
  EXPECT_EQ(NetNotify(sizeof r, r), kNetNotInitiated);  // before NetSetService
  ASSERT_EQ(declare("Local"), 0);
  EXPECT_EQ(NetNotify(sizeof r - 1, r), kNetBadStructureSize);
  r.Options = kNotifyAdd | kNotifyRemove;
  EXPECT_EQ(NetNotify(sizeof r, r), kNetBadParameters);
  r.Options = kNotifyAdd;
  ASSERT_EQ(NetNotify(sizeof r, r), 0);
  int event;
  while (m_queue.take(event, std::chrono::milliseconds(100))) {
  }
  TestPeer far;
  far.announce(m_dgBase, detail::kPacketICanDoBack, "Near,Far,");
  bool told = false;
  while (!told && m_queue.take(event, std::chrono::milliseconds(3000))) told = event == kEvent + 7;
  EXPECT_TRUE(told);
  r.Options = kNotifyRemove;
  ASSERT_EQ(NetNotify(sizeof r, r), 0);
  far.announce(m_dgBase, detail::kPacketICanDoBack, "Near,");  // "Far" goes: nobody asks any more
  told = false;
  while (!told && m_queue.take(event, std::chrono::milliseconds(500))) told = event == kEvent + 7;
  EXPECT_FALSE(told);
}

TEST_F(Peer, RemoteHostsAreAnnouncedTo) {
  NetRemoteRecord r;
  std::strcpy(r.Name, "127.0.0.1");
  EXPECT_EQ(NetRemote(sizeof r, r, 0), kNetNotInitiated);
  Listening other(static_cast<std::uint16_t>(m_dgBase + 2));
  ASSERT_TRUE(other.bound());
  ASSERT_EQ(declare("Local"), 0);
  while (!other.next(200).empty()) {
  }
  EXPECT_EQ(NetRemote(sizeof r + 1, r, 0), kNetBadStructureSize);
  ASSERT_EQ(NetRemote(sizeof r, r, 0), 0);
  EXPECT_FALSE(other.next(5000).empty());
  ASSERT_EQ(NetRemote(sizeof r, r, 0), 0);  // listed already: announced again, added once
  EXPECT_FALSE(other.next(5000).empty());
  EXPECT_EQ(lists().remote, 1u);
  std::strcpy(r.Name, "localhost");
  EXPECT_EQ(NetRemote(sizeof r, r, 8192), kNetBadParameters);
  ASSERT_EQ(NetRemote(sizeof r, r, 0), 0);  // looked up on a thread of its own, then announced twice
  EXPECT_FALSE(other.next(5000).empty());
  EXPECT_FALSE(other.next(5000).empty());
}

TEST_F(Peer, ReceivedPacketsAreAcknowledgedInRanges) {
  ASSERT_EQ(declare("Local"), 0);
  TestPeer far;
  {
    std::lock_guard lock(detail::libraryLock());
    for (std::uint32_t id : {5u, 6u, 7u, 9u, 10u}) {
      detail::DataContent c;
      c.fromNetId = far.id;
      c.toNetName = "me";
      c.serviceName = "Local";
      c.fromNetName = "farhost";
      c.binData = "x";
      c.packetId = id;
      c.lowestUnAckPacketId = 0xFFFFFFFFu;
      ASSERT_EQ(detail::peerDispatch(detail::makeDataPacket(c), htonl(INADDR_LOOPBACK)), 0);
    }
  }
  acknowledgementPass(0);
  std::string ack = far.acceptPacket();
  ASSERT_EQ(ack.size(), 78u);
  detail::AckParsed a;
  ASSERT_EQ(detail::parseAckPacket(ack, a), 0);
  ASSERT_EQ(a.entries.size(), 2u);
  EXPECT_EQ(a.entries[0].AckType, detail::kAckReceivedRange);
  EXPECT_EQ(std::uint32_t{a.entries[0].StartPacketID}, 5u);
  EXPECT_EQ(std::uint32_t{a.entries[0].EndPacketID}, 7u);
  EXPECT_EQ(std::uint32_t{a.entries[1].StartPacketID}, 9u);
  EXPECT_EQ(std::uint32_t{a.entries[1].EndPacketID}, 10u);
  EXPECT_EQ(a.header.LowestUnAckPacketID, 0xFFFFFFFFu);
  EXPECT_EQ(a.header.BinData1, 61);
}

TEST_F(Peer, RefusalsBeforeAndAroundTheStart) {
  std::vector<NetPublicService> list;
  EXPECT_EQ(NetGetServer(sizeof(NetServiceRecord), "", list), kNetNotInitiated);
  auto p = packetTo("x", "y", "z");
  EXPECT_EQ(NetASend(sizeof *p, *p, 0), kNetNotInitiated);
  EXPECT_EQ(NetReceive(sizeof *p, *p), kNetNotInitiated);
  NetServiceRecord r;
  EXPECT_EQ(NetSetService(sizeof r - 1, r), kNetBadStructureSize);
  EXPECT_EQ(NetSend(), kNetNoSupport);

  // Every datagram port up to the instance limit taken: -3.
  setOption(kNetSetMaxInstances, "2");
  Listening a(m_dgBase), b(static_cast<std::uint16_t>(m_dgBase + 1));
  ASSERT_TRUE(a.bound() && b.bound());
  EXPECT_EQ(declare("Local"), kNetMaxInstances);
}

TEST_F(Peer, SendingRefusesUnknownReceiversAndBadReplies) {
  ASSERT_EQ(declare("Local"), 0);
  std::vector<NetPublicService> list;
  EXPECT_EQ(NetGetServer(sizeof(NetServiceRecord) + 1, "", list), kNetBadStructureSize);
  auto p = packetTo("nobody", "Far", "data");
  EXPECT_EQ(NetASend(sizeof *p, *p, 0), kNetReceiverNotFound);
  EXPECT_EQ(NetASend(sizeof *p - 1, *p, 0), kNetBadStructureSize);
  p->Options = kPacketReply;  // DirectResponse all zero
  EXPECT_EQ(NetASend(sizeof *p, *p, 0), kNetBadResponseAddress);
  auto blanks = packetTo("nobody", "Far", "abc   ");
  blanks->BinDataLen = -1;
  EXPECT_EQ(NetASend(sizeof *blanks, *blanks, 0), kNetReceiverNotFound);
}

// A running child process, killed by its pid if the test ends early.
class Child {
 public:
  Child(const std::string& program, const std::vector<std::string>& args) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_in = in[1];
    m_out = out[0];
  }
  ~Child() {
    if (m_in >= 0) ::close(m_in);  // the child ends when its input closes
    if (m_pid > 0) {
      for (int i = 0; i < 200; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
          m_pid = -1;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
      }
    }
    if (m_out >= 0) ::close(m_out);
  }
  // The next line of the child's output; empty when none came in time.
  std::string line(int ms = 10000) {
    std::string l;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
      pollfd p{m_out, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
      char c;
      if (::read(m_out, &c, 1) <= 0) return {};
      if (c == '\n') return l;
      l += c;
    }
  }
  bool running() const { return m_pid > 0; }

 private:
  pid_t m_pid = -1;
  int m_in = -1, m_out = -1;
};

TEST_F(Peer, TwoInstancesExchangeAcknowledgedPackets) {
  rt::clearTestClock();  // the other instance runs on the real clock
  ASSERT_EQ(declare("Client"), 0);
  Child echo(NETWIRE_PEER_ECHO, {std::to_string(m_dgBase), std::to_string(m_sBase)});
  ASSERT_TRUE(echo.running());
  ASSERT_EQ(echo.line(), "ready 0");
  // The other instance announced itself to this machine's datagram ports: it lists "Echo".
  std::vector<NetPublicService> list;
  ASSERT_TRUE(waitFor([&] { return NetGetServer(sizeof(NetServiceRecord), "Echo", list) == 0; }, 10000));
  ASSERT_EQ(list.size(), 1u);
  const std::string echoName = list[0].UniqueNetName;
  EXPECT_EQ(echoName, NetGetNetName() + "2");  // the second instance on this machine
  EXPECT_EQ(list[0].ServerNetID.DGPort, m_dgBase + 1);
  EXPECT_EQ(list[0].ServerNetID.SPort, m_sBase + 1);

  // 50 packets: the fiftieth brings the other side's acknowledgements forward, and its fifty
  // replies bring this side's.
  const auto before = counters();
  for (int i = 0; i < 50; ++i) {
    auto p = packetTo(echoName.c_str(), "Echo", "message " + std::to_string(i));
    p->FromThread = kThread;
    ASSERT_EQ(NetASend(sizeof *p, *p, 0), 0);
  }
  std::set<std::string> replies;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (replies.size() < 50 && std::chrono::steady_clock::now() < until) {
    int event;
    m_queue.take(event, std::chrono::milliseconds(100));
    auto r = std::make_unique<NetPacketRecord>();
    std::strcpy(r->ServiceName, "Client");
    while (NetReceive(sizeof *r, *r) == 0) {
      replies.insert(std::string(r->BinData, static_cast<size_t>(r->BinDataLen)));
      EXPECT_STREQ(r->FromNetName, echoName.c_str());
      EXPECT_EQ(std::int32_t{r->ToThread}, kThread);
    }
  }
  ASSERT_EQ(replies.size(), 50u);
  EXPECT_EQ(replies.count("echo:message 0"), 1u);
  EXPECT_EQ(replies.count("echo:message 49"), 1u);
  // Every packet sent was acknowledged and left the queue; this side acknowledged the replies.
  EXPECT_TRUE(waitFor([&] { return lists().outgoing == 0; }, 15000));
  EXPECT_EQ(counters().dataPacketsAcked - before.dataPacketsAcked, 50u);
  EXPECT_GE(counters().ackPacketsSent - before.ackPacketsSent, 1u);
  EXPECT_EQ(counters().dataPacketsReceived - before.dataPacketsReceived, 50u);
}

}  // namespace
}  // namespace ov::net
