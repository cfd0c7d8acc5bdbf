// Sending stored messages through the recording sendmail: the log keys, the exit codes, batches of
// Bcc recipients, one message per contact, mail merges, mail scripts and attachments.
#include "mapisend/send_message.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "datalib/script_exchange.h"
#include "mapisend/tests/support.h"
#include "platform/libs/mapi/simple_mapi.h"
#include "platform/rt/command_line.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"

namespace ov::mapisend {
namespace {

using mapi::testing::addresses;
using mapi::testing::header;
using test::kToday;
using test::MailFixture;

std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class TesselSend : public MailFixture {
 protected:
  void SetUp() override {
    MailFixture::SetUp();
    rt::setCommandLine("tessel 5");
  }
  // TESSEL.LOG with the session numbers written as "n".
  std::string tesselLog() const {
    return std::regex_replace(readFile(m_data.data() / "TESSEL.LOG"), std::regex("\\(\\d+\\)"), "(n)");
  }
  void file(const std::string& name, const std::string& text) { std::ofstream(m_data.data() / name) << text; }
  void exchangeFile(const std::string& name, const std::vector<std::vector<std::string>>& lines) {
    std::vector<files::ExportRec> recs;
    for (const auto& l : lines) {
      files::ExportRec r;
      r.Type = l.at(0);
      for (size_t i = 1; i < l.size(); ++i) *r.field(int(i)) = l[i];
      recs.push_back(r);
    }
    ASSERT_EQ(files::writeExchangeFile((m_data.data() / name).string(), recs), rt::Err::None);
  }
  // Contacts `first`..`last` of category `category`, addresses c<n>@example.org.
  void addContacts(int first, int last, const std::string& category) {
    ASSERT_EQ(files::testing::openOrCreate(files::CONTACT), rt::Err::None);
    for (int i = first; i <= last; ++i) {
      files::CONTACT.clear();
      files::C_.ClientID = i;
      files::C_.FirstName = "C" + std::to_string(i);
      files::C_.LastName = "Member";
      files::C_.Email = "c" + std::to_string(i) + "@example.org";
      files::C_.ContactCategory = category;
      ASSERT_EQ(files::CONTACT.add(), rt::Err::None) << rt::ERROR();
    }
    ASSERT_EQ(files::CONTACT.close(), rt::Err::None);
  }
  void clearStamp(int32_t id) {
    ASSERT_EQ(files::testing::openOrCreate(files::MESSAGES), rt::Err::None);
    files::M_.EmailID = id;
    ASSERT_EQ(files::MESSAGES.get(files::M_KeyEmailID), rt::Err::None);
    files::M_.LastDateSent = 0;
    ASSERT_EQ(files::MESSAGES.put(), rt::Err::None);
    ASSERT_EQ(files::MESSAGES.close(), rt::Err::None);
  }
  std::vector<std::string> bccOf(int run) const { return addresses(header(m_sendmail.message(run), "Bcc")); }
  std::string bodyOf(int run) const {
    const std::string m = m_sendmail.message(run);
    return m.substr(m.find("\n\n") + 2);
  }
};

TEST_F(TesselSend, WayFromTheCommandLineAndTheSetting) {
  struct Case {
    const char* line;
    uint8_t setting;
    Way want;
  };
  const Case kCases[] = {
      {"tessel 5", 0, Way::Bcc},          {"tessel 5 /NOBCC", 0, Way::NoBcc},      {"tessel 5 /nobcc /BCC", 0, Way::Bcc},
      {"tessel 5", 1, Way::NoBcc},        {"tessel 5 /BCC", 1, Way::Bcc},          {"tessel", 0, Way::Bcc},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.line);
    rt::setCommandLine(c.line);
    files::EMAIL.USEMAPINOBCC = c.setting;
    EXPECT_EQ(chooseWay(), c.want);
  }
}

TEST_F(TesselSend, SingleMessageLogsEveryStepInBothWays) {
  files::LOG.ACTIVE = 1;
  addMessage(5, [](files::MessageRec& m) {
    m.EmailTo = "bob@example.org";
    m.EmailToName = "Bob Roe";
    m.CC = "cc@example.org";
    m.BCC = "b1@example.org";
    m.Subject = "Hello [TODAY]";
    m.Message = "Body [DAYOFWEEKTEXT]";
  });
  SendStoredMessage(5, Way::Bcc);
  EXPECT_EQ(ExitCode, 0);
  ASSERT_EQ(m_sendmail.runs(), 1);
  const std::string mail = m_sendmail.message(1);
  EXPECT_EQ(header(mail, "To"), "Bob Roe <bob@example.org>");
  EXPECT_EQ(header(mail, "Cc"), "cc@example.org");
  EXPECT_EQ(header(mail, "Bcc"), "b1@example.org");
  EXPECT_EQ(header(mail, "Subject"), "Hello 2026/12/06");
  EXPECT_EQ(header(mail, "From"), "\"Mia Example\" <me@example.org>");
  EXPECT_EQ(bodyOf(1), "Body Sun\n");
  const std::string folder = rt::SHORTPATH(rt::PATH());
  EXPECT_EQ(tesselLog(), "[MAPILog]\nCommand=tessel5\nPath=" + folder +
                             "\nLastUsed=12/06/26\nMAPILOGON(n)=Successful\nRecipient1=Bob Roe <bob@example.org>\n"
                             "Recipient2=cc@example.org\nRecipient3=b1@example.org\nFrom=\"Mia Example\" <me@example.org>\n"
                             "Subject=Hello 2026/12/06\nMAPISENDMAIL(n)=Successful\n[Sending]\n"
                             "Recipient1=Bob Roe <bob@example.org> 1\nRecipient2=cc@example.org 2\nRecipient3=b1@example.org 3\n");
  const std::vector<std::string> events = eventLines();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(rt::CLIP(events[0].substr(22, 32)), "MAPI Mail");
  EXPECT_EQ(rt::CLIP(events[0].substr(54)), "E-mail sent:  Hello [TODAY] bob@example.org");
  EXPECT_EQ(storedMessage(5).LastDateSent, kToday);

  // The no-BCC way: the log starts afresh and says so; no Sending section.
  SendStoredMessage(5, Way::NoBcc);
  EXPECT_EQ(ExitCode, 0);
  EXPECT_EQ(tesselLog(), "[MAPILog]\nCommand=tessel5\nPath=" + folder +
                             "\nLastUsed=12/06/26 No BCC\nMAPILOGON(n)=Successful\nRecipient(Single)=Bob Roe <bob@example.org>\n"
                             "Recipient2=cc@example.org\nRecipient3=b1@example.org\nFrom=\"Mia Example\" <me@example.org>\n"
                             "Subject=Hello 2026/12/06\nMAPISENDMAIL(n)=Successful\n");
}

TEST_F(TesselSend, ExitCodes) {
  addMessage(1, [](files::MessageRec& m) { m.EmailTo = "a@example.org"; m.Subject = "s"; });
  addMessage(2, [](files::MessageRec& m) { m.MailType = "News"; m.EmailTo = "a@example.org"; });
  addMessage(3, [](files::MessageRec& m) { m.MailFormat = "HTML file"; m.EmailTo = "a@example.org"; });
  addMessage(4, [](files::MessageRec& m) { m.MailType = "Mass Mailing"; m.Subject = "s"; m.Message = "t"; });
  addMessage(6, [](files::MessageRec& m) { m.MailType = "Mass Mailing"; m.EmailToGroup = "Empty"; m.Subject = "s"; });
  addMessage(7, [](files::MessageRec& m) { m.MailType = "Mail Merge"; m.MergeFile = "nowhere.csv"; m.Subject = "s"; });
  addMessage(8, [](files::MessageRec& m) { m.MailType = "Mail Script"; m.MergeFile = "nowhere.ovs"; });
  addMessage(9, [](files::MessageRec& m) { m.EmailTo = "John Smith"; m.Subject = "s"; });
  struct Case {
    const char* name;
    int32_t message;
    Way way;
    std::vector<int> sendmailExits;
    const char* box;  // the message box expected, or null
    int32_t want;
    int runs;
    const char* key;    // a key of the log, and its value
    const char* value;
  };
  const Case kCases[] = {
      {"sent", 1, Way::Bcc, {}, nullptr, 0, 1, "MAPISENDMAIL(n)", "Successful"},
      {"no such message", 404, Way::Bcc, {}, nullptr, kExitNoMessage, 0, "Message", "Error retrieving message #404"},
      {"news", 2, Way::Bcc, {}, "News articles may not be posted using MAPI.", kExitNotSendable, 0, "Error",
       "News article not allowed."},
      {"HTML file", 3, Way::NoBcc, {}, "This message format (HTML file) may not be posted using MAPI.", kExitNotSendable,
       0, "Error", "Format (HTML file) may not be posted using MAPI."},
      {"sendmail: no such user", 1, Way::Bcc, {67}, nullptr, 14, 1, "MAPISENDMAIL(n)", "There is an unknown recipient."},
      {"sendmail: other failure", 1, Way::NoBcc, {1}, nullptr, 2, 1, "MAPISENDMAIL(n)",
       "Unspecified MAPI error(s) occurred."},
      {"recipient without an address", 9, Way::Bcc, {}, nullptr, 14, 0, "MAPISENDMAIL(n)",
       "There is an unknown recipient."},
      {"mass mailing without category, BCC way", 4, Way::Bcc, {}, nullptr, kExitNothingSent, 0, "Error",
       "Nothing was sent: the mass mailing names no contact category"},
      {"mass mailing, empty category, no-BCC way", 6, Way::NoBcc, {}, nullptr, kExitNothingSent, 0, "Error",
       "Nothing was sent: no contact of the category Empty has an e-mail address"},
      {"merge file missing, BCC way", 7, Way::Bcc, {}, nullptr, kExitFileMissing, 0, "Merge File",
       "nowhere.csv not found."},
      {"merge file missing, no-BCC way", 7, Way::NoBcc, {}, nullptr, kExitFileMissing, 0, "Mass Mailing",
       "nowhere.csv not found."},
      {"mail script missing", 8, Way::Bcc, {}, nullptr, kExitFileMissing, 0, "Mass Mailing", "nowhere.ovs not found."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const int before = m_sendmail.runs();
    std::vector<int> codes(before, 0);
    codes.insert(codes.end(), c.sendmailExits.begin(), c.sendmailExits.end());
    m_sendmail.answer(codes);
    if (c.box) m_host.expectMessage(c.box, ui::BUTTON::Ok);
    ExitCode = 0;
    SendStoredMessage(c.message, c.way);
    EXPECT_EQ(ExitCode, c.want);
    EXPECT_EQ(m_sendmail.runs() - before, c.runs);
    if (std::string_view(c.key).find("(n)") != std::string_view::npos) {
      EXPECT_NE(tesselLog().find(std::string(c.key) + "=" + c.value), std::string::npos) << tesselLog();
    } else {
      EXPECT_EQ(logged(c.key), c.value);
    }
    if (c.message != 404) {
      EXPECT_EQ(storedMessage(c.message).LastDateSent, c.want == 0 ? kToday : 0);
      clearStamp(c.message);
    }
  }
  EXPECT_FALSE(m_host.pending());
}

TEST_F(TesselSend, NoMailClientEndsWithTheLogOnFailure) {
  addMessage(1, [](files::MessageRec& m) { m.EmailTo = "a@example.org"; m.Subject = "s"; });
  ::setenv(mapi::kSendmailVariable, "/nonexistent/sendmail", 1);  // the fixture's stand-in sets it back
  m_host.expectMessage("No mail client", ui::BUTTON::Ok);
  SendStoredMessage(1, Way::Bcc);
  EXPECT_EQ(ExitCode, kExitLogonFailed);
  EXPECT_NE(logged("Error").find("/nonexistent/sendmail"), std::string::npos) << logged("Error");
  EXPECT_NE(tesselLog().find("MAPILOGON(n)=Unspecified MAPI error(s) occurred."), std::string::npos) << tesselLog();
  EXPECT_EQ(storedMessage(1).LastDateSent, 0);
  EXPECT_EQ(m_host.messages().at(0).title, "MAPI Error: MAPILOGON(0)");
}

TEST_F(TesselSend, BccRecipientsGoInBatchesOfAHundredAndAFailedBatchEndsTheRest) {
  addContacts(1, 250, "Club");
  addContacts(251, 252, "Other");
  addMessage(5, [](files::MessageRec& m) {
    m.MailType = "Mass Mailing";
    m.EmailToGroup = "club";
    m.Subject = "News for [DAYOFWEEKTEXT]";
    m.Message = "Dear members";
  });
  SendStoredMessage(5, Way::Bcc);
  EXPECT_EQ(ExitCode, 0);
  ASSERT_EQ(m_sendmail.runs(), 3);
  std::vector<std::string> all;
  for (int run = 1; run <= 3; ++run) {
    const std::vector<std::string> bcc = bccOf(run);
    EXPECT_EQ(bcc.size(), run < 3 ? 100u : 50u);
    EXPECT_EQ(header(m_sendmail.message(run), "To"), "undisclosed-recipients:;");
    EXPECT_EQ(header(m_sendmail.message(run), "Subject"), "News for Sun");
    all.insert(all.end(), bcc.begin(), bcc.end());
  }
  // Each member once, in the category key's order, which the log numbers.
  std::vector<std::string> want;
  for (int i = 1; i <= 250; ++i) want.push_back("c" + std::to_string(i) + "@example.org");
  std::vector<std::string> sorted = all;
  std::sort(sorted.begin(), sorted.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(sorted, want);
  EXPECT_EQ(logged("Recipient1"), "C1 Member <" + all.front() + ">");
  EXPECT_EQ(logged("Recipient250"), "C99 Member <" + all.back() + ">");
  EXPECT_EQ(logged("Recipient50", "Sending"), "C" + all[249].substr(1, all[249].find('@') - 1) + " Member <" + all[249] + "> 3");
  EXPECT_EQ(storedMessage(5).LastDateSent, kToday);

  // The second batch fails: the third is not tried, and the run reports the failure.
  addMessage(6, [](files::MessageRec& m) {
    m.MailType = "Mass Mailing";
    m.EmailToGroup = "Club";
    m.Subject = "again";
  });
  m_sendmail.answer({0, 0, 0, 0, 75});
  SendStoredMessage(6, Way::Bcc);
  EXPECT_EQ(ExitCode, 2);
  EXPECT_EQ(m_sendmail.runs(), 5);
  EXPECT_EQ(storedMessage(6).LastDateSent, 0);
}

TEST_F(TesselSend, NoBccWaySendsOneMessagePerContactAndGoesOnAfterAFailure) {
  files::LOG.ACTIVE = 1;
  addContacts(1, 3, "Team");
  addContact(4, [](files::ContactRec& c) {
    c.FirstName = "No";
    c.LastName = "Address";
    c.ContactCategory = "Team";
  });
  addMessage(5, [](files::MessageRec& m) {
    m.MailType = "Mass Mailing";
    m.EmailToGroup = "Team";
    m.Subject = "Hi";
  });
  m_sendmail.answer({0, 67, 0});
  SendStoredMessage(5, Way::NoBcc);
  ASSERT_EQ(m_sendmail.runs(), 3);
  for (int run = 1; run <= 3; ++run) {
    SCOPED_TRACE(run);
    EXPECT_EQ(header(m_sendmail.message(run), "To"), "C" + std::to_string(run) + " Member <c" + std::to_string(run) + "@example.org>");
    EXPECT_EQ(header(m_sendmail.message(run), "Bcc"), "");
  }
  // The second send failed; the third going out does not hide it.
  EXPECT_EQ(ExitCode, 14);
  EXPECT_EQ(storedMessage(5).LastDateSent, 0);
  bool skippedLogged = false;
  for (const std::string& line : eventLines()) skippedLogged |= line.find("No e-mail address for contact No Address") != std::string::npos;
  EXPECT_TRUE(skippedLogged);
}

TEST_F(TesselSend, MailMergeInBothWays) {
  exchangeFile("merge.csv", {{"Ann", "ann@example.org"}, {"", ""}, {"", "bob@example.org"}});
  addMessage(5, [&](files::MessageRec& m) {
    m.MailType = "Mail Merge";
    m.MergeFile = (m_data.data() / "merge.csv").string();
    m.Subject = "Merged";
  });
  SendStoredMessage(5, Way::Bcc);
  EXPECT_EQ(ExitCode, 0);
  ASSERT_EQ(m_sendmail.runs(), 1);
  EXPECT_EQ(bccOf(1), (std::vector<std::string>{"ann@example.org", "bob@example.org"}));
  EXPECT_EQ(logged("Recipient2"), "bob@example.org");

  SendStoredMessage(5, Way::NoBcc);
  EXPECT_EQ(ExitCode, 0);
  ASSERT_EQ(m_sendmail.runs(), 3);
  EXPECT_EQ(header(m_sendmail.message(2), "To"), "Ann <ann@example.org>");
  EXPECT_EQ(header(m_sendmail.message(3), "To"), "bob@example.org");
}

TEST_F(TesselSend, MailScriptLinesCarryTheirValuesForward) {
  file("a.txt", "attached");
  file("body.txt", "line 1   \nline 2\n");
  exchangeFile("script.ovs", {
                                 {"Ann", "ann@example.org", "First subject", "Text one", ""},
                                 {"Bob", "bob@example.org", "", "", "a.txt"},
                                 {"", ""},
                                 {"Cy", "cy@example.org", "Third [DAYOFWEEKTEXT]", "body.txt", ""},
                                 {"Dee", "dee@example.org", "", "", "missing.txt"},
                                 {"Eve", "eve@example.org", "", "", "a.txt"},
                             });
  addMessage(5, [&](files::MessageRec& m) {
    m.MailType = "Mail Script";
    m.MergeFile = "script.ovs";
  });
  SendStoredMessage(5, Way::Bcc);
  ASSERT_EQ(m_sendmail.runs(), 4);
  struct Want {
    const char* to;
    const char* subject;
    const char* body;
    bool attached;
  };
  const Want kWant[] = {
      {"Ann <ann@example.org>", "First subject", "Text one\n", false},
      {"Bob <bob@example.org>", "First subject", "Text one\n", true},
      {"Cy <cy@example.org>", "Third Sun", "line 1\nline 2\n", true},
      {"Eve <eve@example.org>", "Third Sun", "line 1\nline 2\n", true},
  };
  for (int run = 1; run <= 4; ++run) {
    SCOPED_TRACE(run);
    const Want& w = kWant[run - 1];
    const std::string mail = m_sendmail.message(run);
    EXPECT_EQ(header(mail, "To"), w.to);
    EXPECT_EQ(header(mail, "Subject"), w.subject);
    EXPECT_NE(mail.find(w.body), std::string::npos) << mail;
    EXPECT_EQ(mail.find("filename=\"a.txt\"") != std::string::npos, w.attached) << mail;
  }
  EXPECT_EQ(logged("Mail Script Dee"), "missing.txt not found.");
  EXPECT_EQ(logged("Recipient6"), "Eve <eve@example.org>");
  // A line left unsent is reported, and the message is not marked sent.
  EXPECT_EQ(ExitCode, 11);
  EXPECT_EQ(storedMessage(5).LastDateSent, 0);
}

TEST_F(TesselSend, AttachmentsAndASubjectFromTheText) {
  file("20261206.txt", "today's figures");
  file("b.csv", "x,y");
  addMessage(5, [](files::MessageRec& m) {
    m.EmailTo = "a@example.org";
    m.Message = "The figures of the day are attached to this note.";
    m.Attachment = "[DATE].txt;b.csv;gone.txt";
  });
  SendStoredMessage(5, Way::Bcc);
  EXPECT_EQ(ExitCode, 0);
  ASSERT_EQ(m_sendmail.runs(), 1);
  const std::string mail = m_sendmail.message(1);
  EXPECT_EQ(header(mail, "Subject"), "The figures of the day are attac");
  EXPECT_NE(mail.find("filename=\"20261206.txt\""), std::string::npos);
  EXPECT_NE(mail.find("filename=\"b.csv\""), std::string::npos);
  EXPECT_NE(mail.find("\nThe figures of the day"), std::string::npos);
  EXPECT_EQ(mail.find("  The figures"), std::string::npos) << "the attachments' blanks are not text";
  EXPECT_EQ(logged("File1", "Attachments"), "20261206.txt");
  EXPECT_EQ(logged("Path2", "Attachments"), "b.csv");
  EXPECT_EQ(logged("File3", "Attachments"), "<none>");

  // A "Text file" message whose file is gone goes out with its stored text.
  addMessage(6, [](files::MessageRec& m) {
    m.EmailTo = "a@example.org";
    m.Subject = "t";
    m.MailFormat = "Text file";
    m.HTMLFile = "gone.txt";
    m.Message = "stored text";
  });
  SendStoredMessage(6, Way::Bcc);
  EXPECT_EQ(bodyOf(2), "stored text\n");
}

TEST_F(TesselSend, TestMessageGoesToTheUsersOwnAddress) {
  m_host.setClipboardText("from the clipboard");
  SendStoredMessage(0, Way::Bcc);
  EXPECT_EQ(ExitCode, 0);
  ASSERT_EQ(m_sendmail.runs(), 1);
  const std::string mail = m_sendmail.message(1);
  EXPECT_EQ(header(mail, "To"), "Mia Example <me@example.org>");
  EXPECT_EQ(header(mail, "Subject"), "Test MAPI E-Mail from Mia Example 2026/12/06 09:05");
  EXPECT_EQ(bodyOf(1), "This is a test message.\nSent 2026/12/06 at 09:05.\nfrom the clipboard\n");
  EXPECT_EQ(logged("Test"), "me@example.org");
}

}  // namespace
}  // namespace ov::mapisend
