// Forwarding a reminder by e-mail: the window driven as a user would (offscreen), mail sent to a
// mail server on loopback (python3-aiosmtpd) and read back with Python's mail parser, the MAPI way
// through the real mail sender program and a recording sendmail, and the reminder windows' E-mail
// button with two reminders open.
#include "dialogs/generate_email.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/libs/mapi/tests/recording_sendmail.h"
#include "platform/libs/smtp/tests/smtp_sink.h"
#include "platform/rt/ini.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "scheduler/reminder.h"
#include "scheduler/tests/data_fixture.h"

namespace ov::dialogs {
namespace {

namespace fs = std::filesystem;
using scheduler::ReminderText;
using smtp::testing::SmtpSink;
using smtp::testing::StoredMail;
using ui::test::Driver;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

constexpr const char* kUser = "mailer";
constexpr const char* kPassword = "pa55 w0rd";

class ForwardReminder : public scheduler::testing::DataFixture {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/ov-genmail-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    s_dir = tmpl;
    s_sink = new SmtpSink(s_dir / "mail", kUser, kPassword);
    ASSERT_GT(s_sink->port(), 0) << "the loopback mail server did not start";
  }
  static void TearDownTestSuite() {
    delete s_sink;
    s_sink = nullptr;
    std::error_code ec;
    fs::remove_all(s_dir, ec);
  }

  void SetUp() override {
    DataFixture::SetUp();
    ui::test::application();
    files::EMAIL.HOST = s_sink->address();
    files::EMAIL.SENDER = "sender@example.com";
    files::EMAIL.SENDERNAME = "Orvane Sender";
    files::EMAIL.ORGANIZATION = "Acme";
    m_before = s_sink->count();
  }
  void TearDown() override {
    ui::closeAllWindows();
    ui::processEvents();
    DataFixture::TearDown();
  }

  std::vector<StoredMail> sent() const { return s_sink->messages(m_before); }

  // "OVMSG.INI" as it lies in the configuration folder.
  fs::path rememberIni() const { return dir() / "config" / "orvane" / "OVMSG.INI"; }
  std::string remembered(const char* key) const {
    return rt::GETINI("Email", key, "<none>", rememberIni().string());
  }

  std::vector<files::MessageRec> storedMessages() {
    std::vector<files::MessageRec> out;
    const files::MessageRec saved = files::M_;
    EXPECT_EQ(files::Access_MESSAGES.Open(), rt::Err::None);
    rt::Err err = files::MESSAGES.set(files::M_KeyEmailID);
    while (err == rt::Err::None && (err = files::MESSAGES.next()) == rt::Err::None) out.push_back(files::M_);
    (void)files::Access_MESSAGES.Close();
    files::M_ = saved;
    return out;
  }

  static inline fs::path s_dir;
  static inline SmtpSink* s_sink = nullptr;
  size_t m_before = 0;
};

TEST_F(ForwardReminder, FormSendsTheReminderAndOffersTheRecipientAgain) {
  ScriptedHost prompts;
  prompts.expectMessage("Message sent.", ui::BUTTON::Ok);
  ui::test::runScript([&](Driver& d) {
    d.later([] { GenerateEmail({"Dentist at 3", "Bring the forms.\nAsk about the bill.", "", false}); });
    WindowDriver form = d.waitWindow("GenerateEmail");
    EXPECT_EQ(form.title(), "Email Message");
    EXPECT_EQ(form.text("?ML:Title"), "Dentist at 3");
    EXPECT_EQ(form.text("?ML:Message"), "Bring the forms.\nAsk about the bill.");
    EXPECT_EQ(form.text("?Recipient"), "") << "nothing remembered yet";
    EXPECT_EQ(form.tip("?Recipient"), "Email address");
    form.type("?Recipient", "ann@example.com; bob@example.com");
    form.type("?RecipientName", "Ann Lee; Bob");
    form.type("?ML:Title", "Dentist at 3 (moved)");
    form.press("OK");
    d.waitClosed(form);
  });
  EXPECT_FALSE(prompts.pending());

  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 1u);
  EXPECT_EQ(mail[0].mailFrom, "sender@example.com");
  EXPECT_EQ(mail[0].recipients, (std::vector<std::string>{"ann@example.com", "bob@example.com"}));
  EXPECT_EQ(mail[0].login, "") << "no log-on is configured";
  EXPECT_EQ(mail[0]["from"], "Orvane Sender <sender@example.com>");
  EXPECT_EQ(mail[0]["to"], "Ann Lee <ann@example.com>, Bob <bob@example.com>");
  EXPECT_EQ(mail[0]["subject"], "Dentist at 3 (moved)");
  EXPECT_EQ(mail[0]["organization"], "Acme");
  EXPECT_EQ(mail[0]["mailer"], "Orvane");
  EXPECT_NE(mail[0]["body"].find("Bring the forms."), std::string::npos) << mail[0]["body"];
  EXPECT_NE(mail[0]["body"].find("Ask about the bill."), std::string::npos) << mail[0]["body"];
  EXPECT_TRUE(fs::exists(dir() / "inmail.log")) << "the conversation is logged in the current folder";

  EXPECT_EQ(remembered("Recipient"), "ann@example.com; bob@example.com");
  EXPECT_EQ(remembered("RecipientName"), "Ann Lee; Bob");

  // Another reminder: the recipient is offered again. Cancel sends and remembers nothing.
  ScriptedHost again;
  ui::test::runScript([&](Driver& d) {
    d.later([] { GenerateEmail({"Pay the rent", "Today", "", false}); });
    WindowDriver form = d.waitWindow("GenerateEmail");
    EXPECT_EQ(form.text("?Recipient"), "ann@example.com; bob@example.com");
    EXPECT_EQ(form.text("?RecipientName"), "Ann Lee; Bob");
    EXPECT_EQ(form.text("?ML:Title"), "Pay the rent");
    form.type("?Recipient", "carol@example.com");
    form.press("Cancel");
    d.waitClosed(form);
  });
  EXPECT_EQ(sent().size(), 1u);
  EXPECT_EQ(remembered("Recipient"), "ann@example.com; bob@example.com");
}

TEST_F(ForwardReminder, HeadersFromTheSettingsAndTheReminder) {
  struct Case {
    const char* name;
    const char* senderName;
    const char* recipientName;
    const char* title;
    const char* from;
    const char* to;
    const char* nameAfter;  // what the window then remembers as the name
    const char* subject;
  };
  const Case kCases[] = {
      {"named sender, named recipient", "Orvane Sender", "Ann Lee", "Lunch", "Orvane Sender <sender@example.com>",
       "Ann Lee <ann@example.com>", "Ann Lee", "Lunch"},
      {"no title gives the stock subject", "Orvane Sender", "Ann Lee", "", "Orvane Sender <sender@example.com>",
       "Ann Lee <ann@example.com>", "Ann Lee", "Forwarded Message"},
      {"no recipient name: the address stands for it", "Orvane Sender", "", "Lunch",
       "Orvane Sender <sender@example.com>", "ann@example.com", "ann@example.com", "Lunch"},
      {"no sender name: the From line is the address", "", "Ann Lee", "Lunch", "sender@example.com",
       "Ann Lee <ann@example.com>", "Ann Lee", "Lunch"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    m_before = s_sink->count();
    host.messages.clear();
    files::EMAIL.SENDERNAME = c.senderName;
    std::string name = c.recipientName;
    EXPECT_EQ(ForwardMessageByEmail("ann@example.com", name, c.title, "See you there"), 0);
    EXPECT_EQ(name, c.nameAfter);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Message sent.");
    EXPECT_EQ(host.messages[0].title, "Status");
    const std::vector<StoredMail> mail = sent();
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].mailFrom, "sender@example.com");
    EXPECT_EQ(mail[0]["from"], c.from);
    // A name equal to the address is written as the bare address.
    EXPECT_EQ(mail[0]["to"], c.to);
    EXPECT_EQ(mail[0]["subject"], c.subject);
    EXPECT_EQ(mail[0]["body"], "See you there\\n");
  }
}

TEST_F(ForwardReminder, RefusedOrAbsentServerIsNeverReportedAsSent) {
  struct Case {
    const char* name;
    const char* host;  // blank: the sink
    const char* recipient;
    const char* error;
  };
  const Case kCases[] = {
      {"recipient refused", "", "refused@example.com",
       "Error:\nMail Server Error:\n550 5.1.1 <refused@example.com>: Recipient address rejected"},
      {"nothing listens", "127.0.0.1:1", "ann@example.com", "Error:\nFailed to connect. Mail Server not found!"},
      {"no recipient at all", "", "", "Error:\nNo recipiens specified"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    m_before = s_sink->count();
    host.messages.clear();
    files::EMAIL.HOST = *c.host ? c.host : s_sink->address();
    std::string name;
    EXPECT_NE(ForwardMessageByEmail(c.recipient, name, "Lunch", "x"), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    const std::string& text = host.messages[0].text;
    EXPECT_EQ(host.messages[0].title, "Status");
    EXPECT_EQ(text.rfind("Message was not sent.\n\n", 0), 0u) << text;
    EXPECT_NE(text.find(c.error), std::string::npos) << text;
    EXPECT_NE(text.find("\n\nSender: sender@example.com\nHost: " + files::EMAIL.HOST.str()), std::string::npos) << text;
    EXPECT_TRUE(sent().empty());
  }
}

TEST_F(ForwardReminder, LogsOnWithoutEverShowingThePassword) {
  files::EMAIL.SMTPNAME = kUser;
  files::EMAIL.SMTPPASSWORD = kPassword;
  std::string name;
  EXPECT_EQ(ForwardMessageByEmail("ann@example.com", name, "Lunch", "x"), 0);
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 1u);
  EXPECT_EQ(mail[0].login, kUser);

  files::EMAIL.SMTPPASSWORD = "wr0ng-s3cret";
  host.messages.clear();
  EXPECT_EQ(ForwardMessageByEmail("ann@example.com", name, "Lunch", "x"), 9);
  ASSERT_EQ(host.messages.size(), 1u);
  const std::string& text = host.messages[0].text;
  EXPECT_NE(text.find("Mail Server Error:\n535"), std::string::npos) << text;
  EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
  const std::string log = smtp::testing::readWholeFile(dir() / "inmail.log");
  EXPECT_FALSE(log.empty());
  EXPECT_EQ(log.find("pa55"), std::string::npos);
  EXPECT_EQ(log.find("s3cret"), std::string::npos);
  EXPECT_EQ(sent().size(), 1u);
}

TEST_F(ForwardReminder, MapiWayStoresTheMessageAndHandsItToTheSender) {
  mapi::testing::RecordingSendmail sendmail;
  files::EMAIL.USEMAPI = 1;
  files::EMAIL.HOST.clear();  // not needed on this way
  // Another message's fields left in the shared buffer must not travel with the reminder.
  files::M_.CC = "stale@example.com";
  files::M_.Attachment = "/etc/passwd";

  ScriptedHost prompts;
  ui::test::runScript([&](Driver& d) {
    d.later([] { GenerateEmail({"Dentist at 3", "Bring the forms.", "", false}); });
    WindowDriver form = d.waitWindow("GenerateEmail");
    form.type("?Recipient", "ann@example.com");
    form.type("?RecipientName", "Ann Lee");
    form.press("OK");
    d.waitClosed(form);
  });
  EXPECT_FALSE(prompts.pending());
  EXPECT_EQ(files::M_.CC.str(), "stale@example.com") << "the caller's buffer is given back";

  const std::vector<files::MessageRec> stored = storedMessages();
  ASSERT_EQ(stored.size(), 1u);
  const files::MessageRec& m = stored[0];
  EXPECT_GT(m.EmailID, 0);
  EXPECT_EQ(m.Subject.str(), "Dentist at 3");
  EXPECT_EQ(m.EmailTo.str(), "ann@example.com");
  EXPECT_EQ(m.EmailToName.str(), "Ann Lee");
  EXPECT_EQ(m.Message, "Bring the forms.");
  EXPECT_EQ(m.MailType.str(), "Email");
  EXPECT_TRUE(m.CC.isBlank());
  EXPECT_TRUE(m.Attachment.isBlank());
  EXPECT_EQ(remembered("Recipient"), "ann@example.com");

  // The sender program was not waited for: it hands the message to sendmail and stamps it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline &&
         (sendmail.runs() < 1 || storedMessages().at(0).LastDateSent == 0))
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(sendmail.runs(), 1);
  const std::string message = sendmail.message(1);
  EXPECT_EQ(mapi::testing::header(message, "Subject"), "Dentist at 3");
  EXPECT_EQ(mapi::testing::addresses(mapi::testing::header(message, "To")),
            std::vector<std::string>{"ann@example.com"});
  EXPECT_EQ(mapi::testing::header(message, "Cc"), "");
  EXPECT_NE(message.find("Bring the forms."), std::string::npos) << message;
  EXPECT_NE(storedMessages().at(0).LastDateSent, 0);
  EXPECT_TRUE(sent().empty()) << "nothing went by SMTP";
}

TEST_F(ForwardReminder, SenderThatCannotStartIsReportedAndTheMessageKept) {
  files::EMAIL.USEMAPI = 1;
  std::vector<std::string> started;
  scheduler::services().runNoWait = [&](std::string_view line) {
    started.emplace_back(line);
    return 2;  // the program file is not there
  };
  EXPECT_EQ(ForwardMessageByMapi("ann@example.com", "Ann", "Lunch", "x"), 0);
  const std::vector<files::MessageRec> stored = storedMessages();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(started, std::vector<std::string>{"TESSEL.EXE " + std::to_string(stored[0].EmailID)});
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "Status");
  EXPECT_EQ(host.messages[0].text, "Message was not sent.\n\nError:\nCould not start TESSEL.EXE " +
                                       std::to_string(stored[0].EmailID) + " (error 2)\n\nThe message is kept as message " +
                                       std::to_string(stored[0].EmailID) + ".");
}

TEST_F(ForwardReminder, EachReminderWindowForwardsItsOwnReminder) {
  ScriptedHost prompts;
  prompts.expectMessage("Message sent.", ui::BUTTON::Ok);
  ui::test::runScript([&](Driver& d) {
    // Without the window installed the button cannot be pressed.
    d.gui([] { scheduler::ShowMessageThread({"Unwired", "x", "", false}); });
    WindowDriver unwired = d.waitWindow("ShowMessageNormal");
    EXPECT_FALSE(unwired.enabled("?Email"));
    unwired.press("?Close");
    d.waitClosed(unwired);

    d.gui([] {
      scheduler::services().generateEmail = [](const ReminderText& r) { GenerateEmail(r); };
      scheduler::ShowMessageThread({"Water the plants", "The ferns too", "", false});
    });
    WindowDriver first = d.waitWindow("ShowMessageNormal");
    d.gui([] { scheduler::ShowMessageThread({"Call the garage", "Ask about the brakes", "", true}); });
    WindowDriver second = d.waitWindow("ShowModalMessage");
    EXPECT_TRUE(first.enabled("?Email"));
    EXPECT_EQ(first.tip("?Email"), "Send this as an email message");

    // The text as edited in the window is what goes out; the window keeps its reminder.
    first.type("?Message", "The ferns too, and the cactus");
    first.press("?Email");
    WindowDriver form = d.waitWindow("GenerateEmail");
    EXPECT_EQ(form.text("?ML:Title"), "Water the plants");
    EXPECT_EQ(form.text("?ML:Message"), "The ferns too, and the cactus");

    // The second reminder forwards at the same time, with its own reminder.
    second.press("?Email");
    WindowDriver other = d.waitWindow("GenerateEmail");
    ASSERT_NE(other.handle(), form.handle());
    EXPECT_EQ(other.text("?ML:Title"), "Call the garage");
    EXPECT_EQ(other.text("?ML:Message"), "Ask about the brakes");
    EXPECT_EQ(form.text("?ML:Title"), "Water the plants");
    other.press("Cancel");
    d.waitClosed(other);

    form.type("?Recipient", "ann@example.com");
    form.press("OK");
    d.waitClosed(form);
    EXPECT_TRUE(first.isOpen()) << "forwarding leaves the reminder open";
    EXPECT_EQ(first.title(), "Water the plants");
    EXPECT_EQ(second.text("?Message"), "Ask about the brakes");
    first.press("?Close");
    second.press("?Close");
    d.waitClosed(first);
    d.waitClosed(second);
  });
  EXPECT_FALSE(prompts.pending());
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 1u);
  EXPECT_EQ(mail[0]["subject"], "Water the plants");
  EXPECT_EQ(mail[0]["body"], "The ferns too, and the cactus\\n");
  EXPECT_EQ(mail[0].recipients, std::vector<std::string>{"ann@example.com"});
}

}  // namespace
}  // namespace ov::dialogs
