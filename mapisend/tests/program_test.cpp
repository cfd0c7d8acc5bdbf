// The tessel program end to end, started as the main program starts it: in the data folder, with
// the message number on its command line; the recording sendmail stands in for the mail client.
#include <stdlib.h>

#include "mapisend/tests/support.h"
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

}  // namespace
}  // namespace ov::mapisend
