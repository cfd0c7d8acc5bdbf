#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include "netlib/detail/dns.h"
#include "netlib/detail/library.h"
#include "netlib/net_error.h"
#include "netlib/net_options.h"
#include "netlib/net_ping.h"
#include "netlib/tests/support.h"

namespace ov::net {
namespace {

using test::CapturedLog;
using test::loadWith;
using test::TempConfig;
namespace testing = detail::testing;

TEST(NetPing, AnswersForLoopbackAndNamesThatResolve) {
  TempConfig config;
  loadWith("prog");
  testing::setIcmpUnavailable(false);
  long rc = NetPing("127.0.0.1", 2000);
  if (rc == kNetCouldNotLoadProcedures) GTEST_SKIP() << "this user may open neither an ICMP datagram nor a raw socket";
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(NetPing("localhost", 2000), 0);
  EXPECT_EQ(NetPing("a-name-of-more-than-22-characters.localhost.invalid", 200), kNetAddressNotFound);
  EXPECT_EQ(NetPing("0.0.0.0", 200), kNetAddressNotFound);
}

TEST(NetPing, AMissingIcmpSocketIsLookedForOnlyOnce) {
  TempConfig config;
  CapturedLog log;
  loadWith("prog /netdlllog /netdlllogall");
  testing::setIcmpUnavailable(true);
  EXPECT_EQ(NetPing("127.0.0.1", 100), kNetCouldNotLoadProcedures);
  EXPECT_TRUE(log.contains("About to Load at Run-Time the ICMP.dll functions needed in Wirelet."));
  log.clear();
  EXPECT_EQ(NetPing("127.0.0.1", 100), kNetCouldNotLoadProcedures);
  EXPECT_FALSE(log.contains("About to Load"));
  EXPECT_TRUE(log.contains("Error. Could not load the procedures used for PING."));
  testing::setIcmpUnavailable(false);
}

// In a network namespace of its own the loopback interface is down, so no echo can go out.
TEST(NetPing, AnEchoThatCannotGoOutIsUnsuccessful) {
  TempConfig config;
  loadWith("prog");
  testing::setIcmpUnavailable(false);
  pid_t child = ::fork();
  if (child == 0) {
    if (::unshare(CLONE_NEWNET) != 0) ::_exit(77);
    long rc = NetPing("127.0.0.1", 200);
    ::_exit(rc == kNetPingUnsuccessful ? 0 : rc == kNetCouldNotLoadProcedures ? 77 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no network namespace or no ICMP socket for this user";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DNSblocking, LooksUpBothWays) {
  TempConfig config;
  loadWith("prog");
  EXPECT_EQ(detail::DNSblocking("localhost  "), "127.0.0.1");
  EXPECT_EQ(detail::DNSblocking("127.0.0.1"), "localhost");
  EXPECT_EQ(detail::DNSblocking("no-such-host.invalid"), "");
  EXPECT_EQ(detail::DNSblocking(""), "");
}

TEST(DNSblocking, OptionEightyNeedsTheEventThread) {
  TempConfig config;
  loadWith("prog");
  char buffer[90];
  std::memset(buffer, ' ', sizeof buffer);
  std::memcpy(buffer, "127.0.0.1", 9);
  EXPECT_EQ(NetOptions(kNetDnsLookup, buffer), kNetNotInitiated);
  ASSERT_EQ(detail::LoadCallBackWindow(), 0);
  std::memcpy(buffer, "127.0.0.1", 9);
  EXPECT_EQ(NetOptions(kNetDnsLookup, buffer), 0);
  EXPECT_EQ(std::string(buffer, 10), "localhost ");
}

TEST(DGSendUDPMsg, SendsALargeDatagramWholeAfterTheWarning) {
  TempConfig config;
  CapturedLog log;
  loadWith("prog /netdlllog");
  int receiver = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(receiver, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  socklen_t len = sizeof a;
  ::getsockname(receiver, reinterpret_cast<sockaddr*>(&a), &len);

  std::string data(513, 'd');
  data[0] = 'F';
  std::uint64_t sentBefore = detail::lib().bytesSent;
  EXPECT_EQ(detail::DGSendUDPMsg(0, a.sin_addr.s_addr, ntohs(a.sin_port), 513, data.data()), 0);
  EXPECT_TRUE(log.contains("Warning. DataGram Packet size = 513. This is larger than recommended size of 512."));
  EXPECT_EQ(detail::lib().bytesSent, sentBefore + 513);
  pollfd p{receiver, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  char got[2048];
  EXPECT_EQ(::recv(receiver, got, sizeof got, 0), 513);
  EXPECT_EQ(std::string(got, 513), data);
  ::close(receiver);
}

}  // namespace
}  // namespace ov::net
