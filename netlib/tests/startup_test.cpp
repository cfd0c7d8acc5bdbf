#include <gtest/gtest.h>

#include <cstring>

#include "netlib/detail/library.h"
#include "netlib/detail/log.h"
#include "netlib/net_callback.h"
#include "netlib/net_error.h"
#include "netlib/net_options.h"
#include "netlib/net_registry.h"
#include "netlib/net_simple.h"
#include "netlib/tests/support.h"
#include "platform/os/registry.h"
#include "platform/rt/date_time.h"

namespace ov::net {
namespace {

using test::CapturedLog;
using test::loadWith;
using test::TempConfig;
namespace testing = detail::testing;

const char* const kGuidKey = "Software\\Hollin\\Wirelet\\GUID";
const char* const kTcpip = "System\\CurrentControlSet\\Services\\Tcpip\\Parameters";

TEST(LibraryStartUp, CreatesTheIdentityOnceAndCountsRuns) {
  TempConfig config;
  loadWith("prog");
  bool found = false;
  std::string guid = NetGetRegistry(kHkeyCurrentUser, kRegBinary, found, kGuidKey, "GUID");
  ASSERT_TRUE(found);
  ASSERT_EQ(guid.size(), 8u);
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegBinary, found, kGuidKey, "RUNID"), std::string("\x01\0\0\0", 4));
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegText, found, kGuidKey, "Description"), "<no description>");
  EXPECT_EQ(std::int32_t{detail::lib().netId.RunID}, 1);

  loadWith("prog");
  loadWith("prog");
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegBinary, found, kGuidKey, "GUID"), guid);
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegBinary, found, kGuidKey, "RUNID"), std::string("\x03\0\0\0", 4));
  EXPECT_EQ(std::int32_t{detail::lib().netId.RunID}, 3);
  std::int32_t guid1;
  std::memcpy(&guid1, guid.data(), 4);
  EXPECT_EQ(std::int32_t{detail::lib().netId.GUID1}, guid1);
}

TEST(LibraryStartUp, GuidStartsWithTheDaysSince2000) {
  TempConfig config;
  rt::setTestClock(rt::DATE(1, 2, 2000), 100 * 3600 + 1);  // 2 January 2000 01:00:00
  loadWith("prog");
  rt::clearTestClock();
  EXPECT_EQ(std::int32_t{detail::lib().netId.GUID1}, 2 * 100000 + 3600);
}

TEST(LibraryStartUp, DescriptionComesFromOwnerAndOrganization) {
  struct Case {
    const char* name;
    const char* owner;
    const char* org;
    const char* ntOwner;
    const char* want;
  };
  const Case cases[] = {
      {"owner and organization", "Ann", "Acme", "", "Ann at Acme"},
      {"owner only", "Ann", "", "", "Ann"},
      {"organization only", "", "Acme", "", "Acme"},
      {"the NT key when the first is empty", "", "", "Bob", "Bob"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempConfig config;
    os::Registry reg;
    if (*c.owner) reg.setValue(os::RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                               os::RegValue::text("RegisteredOwner", c.owner));
    if (*c.org) reg.setValue(os::RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                             os::RegValue::text("RegisteredOrganization", c.org));
    if (*c.ntOwner) reg.setValue(os::RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                                 os::RegValue::text("RegisteredOwner", c.ntOwner));
    loadWith("prog");
    EXPECT_EQ(detail::lib().description, c.want);
  }
}

// The library never changes a system network setting: Media Sense is only read and reported.
TEST(LibraryStartUp, MediaSenseIsReadButNeverChanged) {
  struct Case {
    const char* name;
    int disable;         // -1: value absent
    int dontChange;      // -1: value absent
    const char* line;    // expected start-up line, "" for none
  };
  const Case cases[] = {
      {"already off", 1, -1, ""},
      {"on, and the library was told to leave it", 0, 1, "Warning. Windows is using Media Sense."},
      {"on", 0, 0, "Media Sense is on. The library leaves system network settings as they are."},
      {"nothing in the registry", -1, -1, "Media Sense is on. The library leaves system network settings as they are."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempConfig config;
    os::Registry reg;
    if (c.disable >= 0)
      reg.setValue(os::RegRoot::LocalMachine, kTcpip, os::RegValue::dword("DisableDHCPMediaSense", c.disable));
    if (c.dontChange >= 0)
      reg.setValue(os::RegRoot::LocalMachine, kTcpip, os::RegValue::dword("WireletDontChangeMediaSense", c.dontChange));
    CapturedLog log;
    loadWith("prog /netdlllog");
    if (*c.line) {
      EXPECT_TRUE(log.contains(c.line));
    } else {
      EXPECT_FALSE(log.contains("Media Sense"));
    }
    std::vector<os::RegValue> values;
    reg.enumValues(os::RegRoot::LocalMachine, kTcpip, values);
    size_t expected = (c.disable >= 0) + (c.dontChange >= 0);
    EXPECT_EQ(values.size(), expected);
    for (const os::RegValue& v : values) {
      int want = v.name == "DisableDHCPMediaSense" ? c.disable : c.dontChange;
      EXPECT_EQ(static_cast<int>(v.asDword()), want) << v.name;
    }
  }
}

TEST(CallBackWindow, StartsOnceAndClosesOnce) {
  TempConfig config;
  loadWith("prog");
  EXPECT_EQ(detail::LoadCallBackWindow(), 0);
  EXPECT_TRUE(testing::isCallBackWindowUp());
  EXPECT_EQ(detail::LoadCallBackWindow(), 0);  // up already: no second thread
  EXPECT_EQ(NetCloseCallBackWindow(), 0);
  ASSERT_TRUE(testing::waitCallBackWindowDown(5000));
  EXPECT_EQ(NetCloseCallBackWindow(), kNetCallBackWindowClosed);
  EXPECT_EQ(detail::LoadCallBackWindow(), 0);  // a later start gets a new event thread
  EXPECT_TRUE(testing::isCallBackWindowUp());
}

TEST(CallBackWindow, SocketsThatDidNotStartRefuseTheWindow) {
  TempConfig config;
  CapturedLog log;
  testing::setSocketsStartFail(true);
  loadWith("prog /netdlllog");
  testing::setSocketsStartFail(false);
  EXPECT_TRUE(log.contains("DLLStartUp() : WSA Startup error: "));
  EXPECT_EQ(detail::LoadCallBackWindow(), kNetCouldNotLoad);
  NetSimpleConnection c;
  std::strcpy(c.Server, "127.0.0.1");
  c.Port = 1;
  EXPECT_EQ(NetSimpleConnectOpen(c), kNetNotInitiated);
  EXPECT_TRUE(log.contains("Error. LoadCallBackWindow returned -31"));
}

class Notifications : public ::testing::Test {
 protected:
  void SetUp() override {
    loadWith("prog");
    ASSERT_EQ(detail::LoadCallBackWindow(), 0);
  }
  void TearDown() override { rt::clearTestClock(); }
  std::vector<int> tick() {
    EXPECT_TRUE(testing::runTimerTick());
    std::vector<int> got;
    int event;
    while (m_queue.take(event)) got.push_back(event);
    return got;
  }
  TempConfig m_config;
  CallbackQueue m_queue{7};
};

TEST_F(Notifications, AreDeliveredAfterTheirTimeInTimeOrder) {
  const std::int32_t day = rt::DATE(3, 4, 2024);
  rt::setTestClock(day, 100000);
  tick();  // the library remembers this clock
  NETSETNOTIFIER(100500, 2, 7);
  NETSETNOTIFIER(100200, 1, 7);
  NETSETNOTIFIER(100500, 3, 7);
  rt::setTestClock(day, 100200);
  EXPECT_EQ(tick(), std::vector<int>{});  // due at this very clock: a later tick
  rt::setTestClock(day, 100201);
  EXPECT_EQ(tick(), std::vector<int>{1});
  rt::setTestClock(day, 100600);
  EXPECT_EQ(tick(), (std::vector<int>{2, 3}));  // equal times keep their order
  EXPECT_EQ(tick(), std::vector<int>{});
}

TEST_F(Notifications, MidnightDeliversEverything) {
  const std::int32_t day = rt::DATE(3, 4, 2024);
  rt::setTestClock(day, rt::kCentisecondsPerDay - 6000);  // 23:59
  NETSETNOTIFIER(rt::kCentisecondsPerDay + 6000, 9, 7);   // one minute after midnight
  EXPECT_EQ(tick(), std::vector<int>{});
  rt::setTestClock(day + 1, 101);
  EXPECT_EQ(tick(), std::vector<int>{9});
}

TEST(NetOptions, AnswersAndRefusesByTheEventThreadsState) {
  TempConfig config;
  CapturedLog log;
  loadWith("prog /netdlllogerrors");
  char buffer[10];
  std::memcpy(buffer, "x", 1);
  EXPECT_EQ(NetOptions(kNetGetNetName, buffer), kNetNotInitiated);
  EXPECT_EQ(std::string(buffer, 10), std::string(10, ' '));
  EXPECT_TRUE(log.contains("NET:GETNETNAME : Error - DLL Not Active"));
  std::memcpy(buffer, "2400      ", 10);
  EXPECT_EQ(NetOptions(kNetSetDgPort, buffer), 0);
  EXPECT_EQ(NetOptions(kNetGetDgPort, buffer), 0);
  EXPECT_EQ(std::string(buffer, 10), "2400      ");

  ASSERT_EQ(detail::LoadCallBackWindow(), 0);
  std::memcpy(buffer, "2500      ", 10);
  EXPECT_EQ(NetOptions(kNetSetDgPort, buffer), -2);
  EXPECT_TRUE(log.contains("NET:SETDGPORT : Error - DLL is active, you can't change this when the DLL is active."));
  EXPECT_EQ(NetOptions(kNetGetDgPort, buffer), 0);
  EXPECT_EQ(std::string(buffer, 10), "2400      ");
  EXPECT_EQ(NetOptions(kNetGetVersion, buffer), 0);
  EXPECT_EQ(std::string(buffer, 10), "2.5c      ");
  EXPECT_EQ(NetOptions(kNetGetNetName, buffer), 0);
  EXPECT_NE(buffer[0], ' ');
  EXPECT_EQ(NetOptions(999, buffer), 0);
}

TEST(NetOptions, LoggingSwitchesFollowTheBuffer) {
  TempConfig config;
  CapturedLog log;
  loadWith("prog /netdlllog");
  char one[] = {'1', ' '};
  EXPECT_EQ(NetOptions(kNetSetLogging, one), 0);
  EXPECT_TRUE(detail::logOn());
  char blank[] = {' ', ' '};
  EXPECT_EQ(NetOptions(kNetSetLogging, blank), 0);
  EXPECT_FALSE(detail::logOn());
  EXPECT_EQ(NetOptions(kNetSetLogErrors, one), 0);
  EXPECT_TRUE(detail::logErrorsOnly());
  EXPECT_TRUE(log.contains("======== DLL Logging : Errors only (/netdlllogerrors) option on ========"));
}

TEST(NetOptions, DescriptionGoesToTheRegistryOnlyWhenAsked) {
  TempConfig config;
  loadWith("prog");
  char buffer[80];
  std::memset(buffer, ' ', sizeof buffer);
  std::memcpy(buffer, "front desk", 10);
  EXPECT_EQ(NetOptions(kNetSetDescriptionTemp, buffer), 0);
  bool found;
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegText, found, kGuidKey, "Description"), "<no description>");
  EXPECT_EQ(NetOptions(kNetSetDescription, buffer), 0);
  EXPECT_EQ(NetGetRegistry(kHkeyCurrentUser, kRegText, found, kGuidKey, "Description"), "front desk");
  char got[12];
  EXPECT_EQ(NetOptions(kNetGetDescription, got), 0);
  EXPECT_EQ(std::string(got, 12), "front desk  ");
}

TEST(NetOptions, StatisticsRecordHasItsFixedSize) {
  TempConfig config;
  loadWith("prog");
  std::vector<char> stats(kNetStatsSize + 10, '#');
  EXPECT_EQ(NetOptions(kNetGetStats, stats), 0);
  EXPECT_EQ(stats[kNetStatsSize - 1], ' ');  // the reserved tail is blank
  EXPECT_EQ(stats[kNetStatsSize], '#');      // nothing written past the record
  std::uint32_t memory;
  std::memcpy(&memory, stats.data() + 19 * 8 + 12, 4);  // MEMORYBYTESUSED
  EXPECT_GT(memory, 0u);
}

}  // namespace
}  // namespace ov::net
