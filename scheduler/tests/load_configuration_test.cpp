// The start-up settings: whether the scheduler starts active ("StartupActive", "/I"), who the
// user is ("User=", MultiUser) and that the user has a USERS record.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "datalib/config.h"
#include "platform/os/user.h"
#include "platform/rt/command_line.h"
#include "scheduler/program_body.h"
#include "scheduler/tests/data_fixture.h"

using namespace ov;
using namespace ov::scheduler;
using namespace ov::scheduler::testing;

namespace {

struct LoadConfigurationTest : DataFixture {
  void TearDown() override {
    rt::setCommandLine("ov98");
    DataFixture::TearDown();
  }

  std::vector<std::string> users() {
    std::vector<std::string> out;
    EXPECT_EQ(files::Access_USERS.Open(), rt::Err::None);
    rt::Err err = files::USERS.set(files::U_KeyUser);
    while (err == rt::Err::None && (err = files::USERS.next()) == rt::Err::None) out.push_back(files::U_.User.str());
    (void)files::Access_USERS.Close();
    return out;
  }
};

}  // namespace

TEST_F(LoadConfigurationTest, CommandLineAndStartupSettingDecideActivityAndUser) {
  const std::string me = os::userName();
  struct Case {
    const char* commandLine;
    const char* startupActive;  // "1" starts inactive
    int active;
    std::string user;
  } cases[] = {
      {"ov98", "0", 1, me},
      {"ov98", "1", 0, me},
      {"ov98 /I", "0", 0, me},
      {"ov98 /i", "0", 0, me},
      {"ov98 User=joe", "0", 1, "joe"},
      {"ov98 /I User=ann", "0", 0, "ann"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine + std::string(" StartupActive=") + c.startupActive);
    files::PUTCONFIG("StartupActive", c.startupActive);
    rt::setCommandLine(c.commandLine);
    SchedulerActive = 7;
    LoadConfiguration();
    EXPECT_EQ(SchedulerActive, c.active);
    EXPECT_EQ(files::GLO.USER.str(), c.user);
  }
  std::vector<std::string> stored = users();
  std::sort(stored.begin(), stored.end());
  std::vector<std::string> expected = {"ann", "joe", me};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(stored, expected) << "each user gets one record, made on the first start";
}

TEST_F(LoadConfigurationTest, MultiUserTakesTheLogInNameAsTheUserId) {
  files::PUTCONFIG("MultiUser", "1");
  files::PUTCONFIG("UserID", "shared");
  rt::setCommandLine("ov98 User=joe");
  LoadConfiguration();
  EXPECT_TRUE(startupSettings().multiUser);
  EXPECT_EQ(files::APP.USERID.str(), os::userName()) << "User= names the user, not the records' id";
  EXPECT_EQ(files::APP.USERNAME.str(), os::userName());
  EXPECT_EQ(files::GLO.USER.str(), "joe");

  files::PUTCONFIG("MultiUser", "0");
  LoadConfiguration();
  EXPECT_FALSE(startupSettings().multiUser);
  EXPECT_EQ(files::APP.USERID.str(), "shared");
  EXPECT_EQ(files::APP.USERNAME.str(), "");
}
