// Dial-up: the state and error texts, and the exports answering that dial-up is not available.

#include <gtest/gtest.h>

#include <algorithm>

#include "netlib/net_dialup.h"
#include "netlib/tests/support.h"

namespace ov::net {
namespace {

TEST(DialUpText, StatesAndErrorsHaveTheirTexts) {
  struct Case {
    std::uint32_t number;
    const char* text;
  };
  const Case kStates[] = {
      {0, ""}, {1, "Port Opened"}, {23, "Sub Entry Disconnected"}, {4099, "Password Expired"},
      {8192, "Connected"}, {8193, "Disconnecting"}, {24, "Unknown State [24]"}, {8194, "Unknown State [8194]"},
  };
  for (const Case& c : kStates) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(DUNStateText(c.number), c.text);
  }
  const Case kErrors[] = {
      {0, ""},
      {123, "Invalid Entry Name"},
      {599, "Unknown DUN Error [599]"},
      {600, "An operation is pending"},
      {612, "The route is not allocated"},
      {678, "There is no answer"},
      {703, "The Application does not allow user interaction. The connection requires interaction with the user to "
            "complete successfully. "},
      {753, "The connection could not be disconnected because it was created by the Multi-Protocol Router"},
      {754, "Unknown DUN Error [754]"},
  };
  for (const Case& c : kErrors) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(DUNErrorText(c.number), c.text);
  }
  // Every number from 600 to 753 has a text of its own.
  for (std::uint32_t e = 600; e <= 753; ++e) EXPECT_EQ(DUNErrorText(e).find("Unknown DUN Error"), std::string::npos) << e;
}

TEST(DialUp, EveryExportAnswersNotAvailableAndLooksOnlyOnce) {
  test::TempConfig config;
  test::loadWith("netwire_tests /netdlllog");
  test::CapturedLog log;
  std::uint32_t handle = 7;
  std::vector<NetDUNConnection> connections(2);
  std::vector<NetDUNEntry> entries(1);
  std::vector<NetDUNDevice> devices(1);
  EXPECT_EQ(NetDUNObjectManager(1, 5, 100), kNetDialUpNotAvailable);
  EXPECT_EQ(NetDUNDialDUN(5, 100, "Office", "123", "me", "pw", "", handle), kNetDialUpNotAvailable);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(NetDUNHangUp(1), kNetDialUpNotAvailable);
  EXPECT_EQ(NetDUNGetConnections(connections), kNetDialUpNotAvailable);
  EXPECT_TRUE(connections.empty());
  EXPECT_EQ(NetDUNGetConnectionsStatus(connections), kNetDialUpNotAvailable);
  EXPECT_EQ(NetDUNGetDUNs(entries), kNetDialUpNotAvailable);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(NetDUNGetDevices(devices), kNetDialUpNotAvailable);
  EXPECT_EQ(NetDUNAddDUN(), kNetDialUpNotAvailable);
  EXPECT_EQ(NetDUNChangeDUN("Office"), kNetDialUpNotAvailable);
  EXPECT_EQ(NetDUNRenameDUN("Office", "Home"), kNetDialUpNotAvailable);
  EXPECT_EQ(NetDUNDeleteDUN("Office"), kNetDialUpNotAvailable);
  NetDUNLastError last;
  last.LastError = 678;
  last.LastStateStr[0] = 'x';
  NetDUNGetLastError(5, 100, last);
  EXPECT_EQ(last.LastError, 0u);
  EXPECT_EQ(last.LastStateStr[0], '\0');
  auto lines = log.lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("Could not load Windows Dial-Up Function") != std::string::npos; }),
            1);
}

}  // namespace
}  // namespace ov::net
