// The tessel program end to end, started as the main program starts it: in the data folder, with
// the message number on its command line; the recording sendmail stands in for the mail client.
#include <stdlib.h>

#include <cstdlib>

#include "mapisend/tests/support.h"
#include "platform/libs/mapi/simple_mapi.h"
#include "platform/rt/process.h"

namespace ov::mapisend {
namespace {

class TesselProgram : public test::MailFixture {
 protected:
  void SetUp() override {
    MailFixture::SetUp();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    rt::clearTestClock();  // the program has its own clock
    addMessage(5, [](files::MessageRec& m) {
      m.EmailTo = "bob@example.org";
      m.Subject = "From the program";
      m.Message = "Hello";
    });
  }
  int run(const std::string& arguments) {
    int code = -1;
    rt::StartOptions options;
    options.folder = m_data.data().string();
    EXPECT_EQ(rt::runProgram(std::string("\"") + OV_TESSEL_PROGRAM + "\" " + arguments, code, options, 60000), 0);
    return code;
  }
};

TEST_F(TesselProgram, SendsTheMessageAndStampsIt) {
  EXPECT_EQ(run("5"), 0);
  ASSERT_EQ(m_sendmail.runs(), 1);
  EXPECT_EQ(mapi::testing::header(m_sendmail.message(1), "Subject"), "From the program");
  EXPECT_EQ(storedMessage(5).LastDateSent, rt::TODAY());
  EXPECT_EQ(logged("Command").substr(logged("Command").size() - 7), "tessel5");
  EXPECT_EQ(logged("Recipient1"), "bob@example.org");
}

TEST_F(TesselProgram, ExitCodeOfAFailedRun) {
  struct Case {
    const char* arguments;
    std::vector<int> sendmailExits;
    int want;
    bool noBccWay;
  };
  const Case kCases[] = {
      {"404", {}, kExitNoMessage, false},
      {"5 /NOBCC", {67}, 14, true},
      {"5 /NOBCC /BCC", {75}, 2, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.arguments);
    const int before = m_sendmail.runs();
    std::vector<int> codes(before, 0);
    codes.insert(codes.end(), c.sendmailExits.begin(), c.sendmailExits.end());
    m_sendmail.answer(codes);
    EXPECT_EQ(run(c.arguments), c.want);
    EXPECT_EQ(m_sendmail.runs() - before, int(c.sendmailExits.size()));
    EXPECT_EQ(logged("LastUsed").ends_with(" No BCC"), c.noBccWay) << logged("LastUsed");
  }
  EXPECT_EQ(storedMessage(5).LastDateSent, 0);
}

// Started by a task ("/AUTO") or without a display, a run that cannot send ends with its exit code
// and its log; a message box would have waited for ever (the test run's OV_UNATTENDED ends the
// program on one instead).
TEST_F(TesselProgram, UnattendedRunWithoutAMailClientEndsWithItsLog) {
  ::setenv(mapi::kSendmailVariable, "/nonexistent/sendmail", 1);  // the fixture's stand-in sets it back
  struct Case {
    const char* name;
    const char* arguments;
    bool display;
  };
  const Case kCases[] = {{"started by a task", "5 /AUTO", true}, {"no display", "5", false}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string platform = std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    if (!c.display) {
      ::unsetenv("QT_QPA_PLATFORM");
      ::unsetenv("DISPLAY");
    }
    const int code = run(c.arguments);
    if (!platform.empty()) ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    if (!display.empty()) ::setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(code, kExitLogonFailed);
    EXPECT_NE(logged("Message").find("MS-Mail: Unspecified error(s) occurred while signing in."), std::string::npos)
        << logged("Message");
    EXPECT_NE(logged("Error").find("/nonexistent/sendmail"), std::string::npos) << logged("Error");
  }
  EXPECT_EQ(m_sendmail.runs(), 0);
  EXPECT_EQ(storedMessage(5).LastDateSent, 0);
}

}  // namespace
}  // namespace ov::mapisend
