// Sending stored messages: SMTP to a mail server on loopback (python3-aiosmtpd), read back with
// Python's mail parser; mail scripts; the MAPI sender program; the task command and script step.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "datalib/files.h"
#include "datalib/script_exchange.h"
#include "platform/libs/smtp/tests/smtp_sink.h"
#include "platform/rt/ini.h"
#include "scheduler/message_sending.h"
#include "scheduler/program_runner.h"
#include "scheduler/smtp_mail.h"
#include "scheduler/tests/script_fixture.h"

namespace ov::scheduler {
namespace {

namespace fs = std::filesystem;
using smtp::testing::SmtpSink;
using smtp::testing::StoredMail;

class SendMessage : public testing::ScriptFixture {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/ov-mail-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    s_dir = tmpl;
    s_sink = new SmtpSink(s_dir / "mail", "mailer", "pa55 w0rd");
    ASSERT_GT(s_sink->port(), 0) << "the loopback mail server did not start";
  }
  static void TearDownTestSuite() {
    delete s_sink;
    s_sink = nullptr;
    std::error_code ec;
    fs::remove_all(s_dir, ec);
  }

  void SetUp() override {
    ScriptFixture::SetUp();
    files::EMAIL.HOST = s_sink->address();
    files::EMAIL.SENDER = "sender@example.com";
    files::EMAIL.SENDERNAME = "Orvane Sender";
    files::EMAIL.ORGANIZATION = "Acme";
    files::PRODUCTNAME = "Orvane 2003";
    m_before = s_sink->count();
  }

  std::vector<StoredMail> sent() const { return s_sink->messages(m_before); }

  // Stores `m` as message `id`.
  void addMessage(int32_t id, files::MessageRec m) {
    ASSERT_EQ(files::Access_MESSAGES.Open(), rt::Err::None);
    files::M_ = std::move(m);
    files::M_.EmailID = id;
    ASSERT_EQ(files::MESSAGES.add(), rt::Err::None);
    (void)files::Access_MESSAGES.Close();
  }

  files::MessageRec storedMessage(int32_t id) {
    files::MessageRec out;
    EXPECT_EQ(files::Access_MESSAGES.Open(), rt::Err::None);
    files::M_.EmailID = id;
    if (files::MESSAGES.get(files::M_KeyEmailID) == rt::Err::None) out = files::M_;
    (void)files::Access_MESSAGES.Close();
    return out;
  }

  static files::MessageRec message(std::string_view to, std::string_view subject, std::string_view body) {
    files::MessageRec m;
    m.MailType = "E-mail";
    m.MailFormat = "Text";
    m.EmailTo = to;
    m.Subject = subject;
    m.Message = std::string(body);
    return m;
  }

  fs::path file(const std::string& name, const std::string& content) {
    const fs::path p = dir() / name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }

  static inline fs::path s_dir;
  static inline SmtpSink* s_sink = nullptr;
  size_t m_before = 0;
};

TEST_F(SendMessage, SentMessageCarriesItsFieldsAndIsStamped) {
  SetVariable("Ann", "WHO");
  files::MessageRec m = message("ann@example.com, bob@example.com", "Report for [WHO] – Ärger", "Hello [WHO]");
  m.EmailToName = "Ann Lee;Bob";
  m.CC = "carol@example.com";
  m.BCC = "dave@example.com";
  addMessage(7, m);

  EXPECT_EQ(SendMessageRecord(7, 0, 1), 0);
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 1u);
  EXPECT_EQ(mail[0].mailFrom, "sender@example.com");
  EXPECT_EQ(mail[0].recipients, (std::vector<std::string>{"ann@example.com", "bob@example.com", "carol@example.com",
                                                          "dave@example.com"}));
  EXPECT_EQ(mail[0]["from"], "Orvane Sender <sender@example.com>");
  EXPECT_EQ(mail[0]["to"], "Ann Lee <ann@example.com>, Bob <bob@example.com>");
  EXPECT_EQ(mail[0]["cc"], "carol@example.com");
  EXPECT_EQ(mail[0]["bcc-header"], "no");
  EXPECT_EQ(mail[0].raw.find("dave@"), std::string::npos);
  EXPECT_EQ(mail[0]["subject"], "Report for Ann – Ärger");
  EXPECT_EQ(mail[0]["organization"], "Acme");
  EXPECT_EQ(mail[0]["mailer"], "Orvane 2003");
  EXPECT_EQ(mail[0]["body"], "Hello Ann\\n");

  EXPECT_EQ(var("Mail"), "Sent");
  EXPECT_EQ(var("MailError"), "None");
  EXPECT_EQ(var("EmailHost"), s_sink->address());
  EXPECT_EQ(var("EmailSenderName"), "Orvane Sender");
  EXPECT_EQ(var("EmailReturnPath"), "sender@example.com");
  EXPECT_EQ(logWith("E-mail"), std::vector<std::string>{"E-mail|Sent ann@example.com, bob@example.com"});
  EXPECT_EQ(storedMessage(7).LastDateSent, rt::TODAY());
  EXPECT_TRUE(EmailState.isBlank());
}

TEST_F(SendMessage, CcOrBccAloneIsSent) {
  struct Case {
    const char* name;
    const char* to;
    const char* cc;
    const char* bcc;
    std::vector<std::string> envelope;
    const char* logged;
  };
  const Case kCases[] = {
      {"To N/A, Cc only", "N/A", "carol@example.com", "", {"carol@example.com"}, "E-mail|Sent carol@example.com"},
      {"To blank, Bcc only", "", "", "dave@example.com", {"dave@example.com"}, "E-mail|Sent dave@example.com"},
  };
  int32_t id = 20;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    files::MessageRec m = message(c.to, "Copy", "For you");
    m.CC = c.cc;
    m.BCC = c.bcc;
    addMessage(++id, m);
    m_before = s_sink->count();
    closeEventLog();
    fs::remove(dir() / "OV_EVENT.LOG");
    EXPECT_EQ(SendMessageRecord(id, 0, 1), 0);
    const std::vector<StoredMail> mail = sent();
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].recipients, c.envelope);
    EXPECT_EQ(logWith("E-mail"), std::vector<std::string>{c.logged});
    EXPECT_EQ(storedMessage(id).LastDateSent, rt::TODAY());
  }
  // Nobody at all: the library's "no recipients", and the message is not stamped.
  addMessage(30, message("N/A", "Nobody", "x"));
  EXPECT_EQ(SendMessageRecord(30, 0, 1), 15);
  EXPECT_EQ(var("MailError"), "No recipiens specified");
  EXPECT_EQ(storedMessage(30).LastDateSent, 0);
}

TEST_F(SendMessage, EmptyMessageSaysSo) {
  addMessage(3, message("ann@example.com", "", ""));
  addMessage(4, message("ann@example.com", "Only a subject", ""));
  EXPECT_EQ(SendMessageRecord(3, 0, 1), 0);
  EXPECT_EQ(SendMessageRecord(4, 0, 1), 0);
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 2u);
  EXPECT_EQ(mail[0]["body"], "|No message|\\n");
  EXPECT_EQ(mail[1]["body"], "Only a subject\\n");
}

TEST_F(SendMessage, WildcardAttachmentsAreAllSentAndNoted) {
  file("a1.txt", "one");
  file("a2.txt", "two");
  file("a3.txt", "three");
  file("b.dat", "other");
  files::MessageRec m = message("ann@example.com", "Files", "See attached");
  m.Attachment = "a?.txt";
  addMessage(5, m);
  m.Attachment = "nomatch*.zip";
  m.Subject = "No files";
  addMessage(6, m);

  EXPECT_EQ(SendMessageRecord(5, 0, 1), 0);
  EXPECT_EQ(SendMessageRecord(6, 0, 1), 0);  // sent without the attachments it did not find
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 2u);
  std::vector<std::string> names;
  for (const std::string& a : mail[0].attachments) names.push_back(a.substr(0, a.find('|')));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a1.txt", "a2.txt", "a3.txt"}));
  EXPECT_TRUE(mail[1].attachments.empty());

  const std::string today = rt::FORMAT(double(rt::TODAY()), "@d17");
  std::vector<std::string> noted;
  for (int n = 1; n <= 3; ++n) noted.push_back(rt::GETINI("E-mail", "Attachment " + today + " " + std::to_string(n), "", ".\\DEBUG.INI"));
  std::sort(noted.begin(), noted.end());
  EXPECT_EQ(noted, (std::vector<std::string>{"a1.txt", "a2.txt", "a3.txt"}));
  EXPECT_EQ(rt::GETINI("E-mail", "Attachment " + today + " 4", "", ".\\DEBUG.INI"), "");
  EXPECT_EQ(rt::GETINI("E-mail error", "No files " + today, "", ".\\DEBUG.INI"), "nomatch*.zip not found.");
  EXPECT_EQ(logWith("E-mail error"), std::vector<std::string>{"E-mail error|nomatch*.zip not found."});
}

TEST_F(SendMessage, BodyFormats) {
  file("letter.txt", "Dear Ann,   \r\nbye  \r\n");
  file("page.htm", "<html><body>Page</body></html>");
  file("report.bin", std::string("\x01\x02\x03", 3));
  struct Case {
    const char* format;
    const char* htmlFile;
    const char* type;
    const char* body;
    const char* attachment;
  };
  const Case kCases[] = {
      {"HTML", "", "text/html", "<b>x</b>\\n", ""},
      {"Text file", "letter.txt", "text/plain", "Dear Ann,\\nbye\\n", ""},
      {"HTML file", "PAGE.HTM", "text/html", "<html><body>Page</body></html>\\n", ""},
      {"HTML file", "gone.htm", "text/plain", "HTML file not found:  gone.htm\\n", ""},
      {"Binary", "report.bin", "multipart/mixed", "", "report.bin|application/octet-stream|3|010203"},
  };
  SetVariable("x", "WHO");
  int32_t id = 40;
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.format) + " " + c.htmlFile);
    files::MessageRec m = message("ann@example.com", "Format", "<b>[WHO]</b>");
    m.MailFormat = c.format;
    m.HTMLFile = c.htmlFile;
    addMessage(++id, m);
    m_before = s_sink->count();
    EXPECT_EQ(SendMessageRecord(id, 0, 1), 0);
    const std::vector<StoredMail> mail = sent();
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0]["type"], c.type);
    if (*c.body) {
      EXPECT_EQ(mail[0]["body"], c.body);
    }
    if (*c.attachment) {
      EXPECT_EQ(mail[0].attachments, std::vector<std::string>{c.attachment});
    }
  }
}

TEST_F(SendMessage, MailScriptSendsEachLineAndReportsLinesLeftUnsent) {
  file("body3.txt", "From a file\n");
  std::vector<files::ExportRec> lines(4);
  lines[0].Type = "Ann";
  lines[0].Field1 = "ann@example.com";
  lines[0].Field2 = "First subject";
  lines[0].Field3 = "First body";
  lines[1].Field1 = "  bob@example.com";  // subject and body carried over from the line before
  lines[2].Field1 = "carol@example.com";
  lines[2].Field4 = "missing.pdf";  // not sent
  lines[3].Field1 = "dave@example.com";
  lines[3].Field3 = "body3.txt";  // the body is the file's text
  lines[3].Field4 = "body3.txt";
  ASSERT_EQ(files::writeExchangeFile((dir() / "script.csv").string(), lines), rt::Err::None);
  files::MessageRec m = message("", "", "");
  m.MailType = "Mail Script";
  m.MergeFile = "SCRIPT.CSV";
  addMessage(50, m);

  EXPECT_EQ(SendMessageRecord(50, 0, 1), -1);
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 3u);
  EXPECT_EQ(mail[0]["to"], "Ann <ann@example.com>");
  EXPECT_EQ(mail[1].recipients, std::vector<std::string>{"bob@example.com"});
  EXPECT_EQ(mail[1]["subject"], "First subject");
  EXPECT_EQ(mail[1]["body"], "First body\\n");
  EXPECT_EQ(mail[2].recipients, std::vector<std::string>{"dave@example.com"});
  EXPECT_EQ(mail[2]["body"], "From a file");  // its line end belongs to the boundary after it
  EXPECT_EQ(mail[2].attachments.size(), 1u);
  EXPECT_EQ(logWith("Mail Script"),
            (std::vector<std::string>{"Mail Script|Sent ann@example.com", "Mail Script|Sent bob@example.com",
                                      "Mail Script|line 3 not sent to carol@example.com: missing.pdf not found.",
                                      "Mail Script|Sent dave@example.com"}));
  EXPECT_EQ(var("Mail"), "Error");
  EXPECT_EQ(storedMessage(50).LastDateSent, 0);  // not every line went out
  EXPECT_EQ(storedMessage(50).EmailTo, "");      // the lines never reach the stored message
}

TEST_F(SendMessage, MailScriptStopsAtTheFirstFailure) {
  std::vector<files::ExportRec> lines(3);
  lines[0].Field1 = "ann@example.com";
  lines[1].Field1 = "refused@example.com";
  lines[2].Field1 = "carol@example.com";
  for (auto& l : lines) l.Field2 = "Hi";
  ASSERT_EQ(files::writeExchangeFile((dir() / "script.csv").string(), lines), rt::Err::None);
  files::MessageRec m = message("", "", "");
  m.MailType = "Mail Script";
  m.MergeFile = "script.csv";
  addMessage(51, m);
  EXPECT_EQ(SendMessageRecord(51, 0, 1), 9);
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 1u);
  EXPECT_EQ(mail[0].recipients, std::vector<std::string>{"ann@example.com"});

  // A script file that is not there, and one with a malformed line (nothing of it is sent).
  m.MergeFile = "none.csv";
  addMessage(52, m);
  EXPECT_EQ(SendMessageRecord(52, 0, 1), -1);
  file("bad.csv", "\"\",\"ann@example.com\"\r\n\"\",\"unclosed\r\n");
  m.MergeFile = "bad.csv";
  addMessage(53, m);
  EXPECT_EQ(SendMessageRecord(53, 0, 1), -1);
  EXPECT_EQ(sent().size(), 1u);
  const std::vector<std::string> log = logWith("Mail Script");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "Mail Script|Sent ann@example.com");
  EXPECT_EQ(log[1], "Mail Script|none.csv not found.");
  EXPECT_EQ(log[2].rfind("Mail Script|Error opening bad.csv: ", 0), 0u) << log[2];
}

TEST_F(SendMessage, MassMailingAndMergeSendOneMessagePerAddressee) {
  ASSERT_EQ(files::Access_CONTACT.Open(), rt::Err::None);
  const struct {
    int32_t id;
    const char *first, *last, *email, *category;
  } kContacts[] = {{1, "Ann", "Lee", "ann@example.com", "Friends"},
                   {2, "Bob", "", "bob@example.com", "Friends"},
                   {3, "Carl", "Nomail", "", "Friends"},
                   {4, "Dora", "Work", "dora@example.com", "Work"}};
  for (const auto& c : kContacts) {
    files::CONTACT.clear();
    files::C_.ClientID = c.id;
    files::C_.FirstName = c.first;
    files::C_.LastName = c.last;
    files::C_.Email = c.email;
    files::C_.ContactCategory = c.category;
    ASSERT_EQ(files::CONTACT.add(), rt::Err::None) << rt::ERROR();
  }
  (void)files::Access_CONTACT.Close();

  // To each contact of the category that has an address, alone: not to the message's own Cc.
  files::MessageRec m = message("", "News for [WHO]", "Dear friend");
  SetVariable("you", "WHO");
  m.MailType = "Mass Mailing";
  m.EmailToGroup = "friends";
  m.CC = "carol@example.com";
  addMessage(100, m);
  EXPECT_EQ(SendMessageRecord(100, 0, 1), 0);
  std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 2u);  // in the category key's order
  std::vector<std::string> got;
  for (const StoredMail& one : mail) {
    ASSERT_EQ(one.recipients.size(), 1u);
    got.push_back(one.recipients[0] + " | " + one["to"] + " | " + one["subject"]);
  }
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::string>{"ann@example.com | Ann Lee <ann@example.com> | News for you",
                                           "bob@example.com | Bob <bob@example.com> | News for you"}));
  std::vector<std::string> logged = logWith("Mass Mailing");
  std::sort(logged.begin(), logged.end());
  EXPECT_EQ(logged, (std::vector<std::string>{"Mass Mailing|No e-mail address for Carl Nomail; not sent",
                                              "Mass Mailing|Sent ann@example.com", "Mass Mailing|Sent bob@example.com"}));
  EXPECT_EQ(storedMessage(100).LastDateSent, rt::TODAY());

  // A category nobody can be mailed in is not reported as sent.
  m.EmailToGroup = "Nobody";
  addMessage(101, m);
  m_before = s_sink->count();
  EXPECT_EQ(SendMessageRecord(101, 0, 1), -1);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(var("Mail"), "Error");
  EXPECT_EQ(storedMessage(101).LastDateSent, 0);

  // A merge: each line's addressee in turn; a refused one does not stop the lines after it.
  std::vector<files::ExportRec> lines(4);
  lines[0].Type = "Eve";
  lines[0].Field1 = "eve@example.com";
  lines[1].Field1 = "refused@example.com";
  lines[2].Type = "No Address";
  lines[3].Field1 = "  fred@example.com";
  ASSERT_EQ(files::writeExchangeFile((dir() / "merge.csv").string(), lines), rt::Err::None);
  files::MessageRec merge = message("", "Merged", "Hello");
  merge.MailType = "Mail Merge";
  merge.MergeFile = "merge.csv";
  addMessage(102, merge);
  m_before = s_sink->count();
  EXPECT_EQ(SendMessageRecord(102, 0, 1), 9);
  mail = sent();
  ASSERT_EQ(mail.size(), 2u);
  EXPECT_EQ(mail[0]["to"], "Eve <eve@example.com>");
  EXPECT_EQ(mail[1].recipients, std::vector<std::string>{"fred@example.com"});
  EXPECT_EQ(var("Mail"), "Error");
  EXPECT_EQ(var("MailError").rfind("1 of 3 not sent, Mail Server Error:", 0), 0u) << var("MailError");
  EXPECT_EQ(storedMessage(102).LastDateSent, 0);

  merge.MergeFile = "absent.csv";
  addMessage(103, merge);
  EXPECT_EQ(SendMessageRecord(103, 0, 1), -1);
  EXPECT_EQ(logWith("Mail Merge").back(), "Mail Merge|absent.csv not found.");
}

TEST_F(SendMessage, RefusedAndAbsentServersAreNotReportedAsSent) {
  addMessage(60, message("refused@example.com", "No", "x"));
  EXPECT_EQ(SendMessageRecord(60, 0, 1), 9);
  EXPECT_EQ(var("Mail"), "Error");
  EXPECT_EQ(var("MailError"), "Mail Server Error:\r550 5.1.1 <refused@example.com>: Recipient address rejected");
  const std::vector<std::string> log = logWith("Mail Error");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "Mail Error|Error:  Mail Server Error:\r550 5.1.1 <refused@example.com>: Recipient address rejected");
  EXPECT_EQ(log[1], "Mail Error|Could not send refused@example.com");
  EXPECT_EQ(storedMessage(60).LastDateSent, 0);

  // Nothing listens on port 1 of loopback.
  files::MessageRec m = message("ann@example.com", "No", "x");
  m.Mail_Server = "127.0.0.1:1";
  addMessage(61, m);
  EXPECT_EQ(SendMessageRecord(61, 0, 1), 6);
  EXPECT_EQ(var("MailError"), "Failed to connect. Mail Server not found!");
  EXPECT_EQ(var("EmailHost"), "127.0.0.1:1");
  EXPECT_EQ(logWith("Mail Error").size(), 5u);  // the connection's own error between the two
  EXPECT_EQ(storedMessage(61).LastDateSent, 0);
  EXPECT_TRUE(sent().empty());
}

TEST_F(SendMessage, LogsOnWithoutShowingThePassword) {
  files::EMAIL.SMTPNAME = "mailer";
  files::EMAIL.SMTPPASSWORD = "pa55 w0rd";
  addMessage(70, message("ann@example.com", "Secret", "x"));
  EXPECT_EQ(SendMessageRecord(70, 0, 1), 0);
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 1u);
  EXPECT_EQ(mail[0].login, "mailer");

  files::EMAIL.SMTPPASSWORD = "wrong";
  EXPECT_EQ(SendMessageRecord(70, 0, 1), 9);
  EXPECT_EQ(var("MailError").substr(0, 22), "Mail Server Error:\r535");
  closeEventLog();
  for (const fs::path& p : {dir() / "inmail.log", dir() / "OV_EVENT.LOG"}) {
    const std::string text = smtp::testing::readWholeFile(p);
    EXPECT_FALSE(text.empty()) << p;
    EXPECT_EQ(text.find("pa55"), std::string::npos) << p;
    EXPECT_EQ(text.find("wrong"), std::string::npos) << p;
  }
}

TEST_F(SendMessage, MissingSetupOrMessageSendsNothing) {
  addMessage(80, message("ann@example.com", "x", "x"));
  files::EMAIL.HOST.clear();
  prompts.expectMessage("E-mail not setup.  Select File->Setup, Email tab, and fill in the required information.",
                        ui::BUTTON::Ok);
  EXPECT_EQ(SendMessageRecord(80, 0, 1), 1);

  files::EMAIL.HOST = s_sink->address();
  EXPECT_EQ(SendMessageRecord(999, 0, 1), 1);
  EXPECT_EQ(logWith("Script"), std::vector<std::string>{"Script|Error sending message"});

  files::MessageRec news = message("comp.lang", "x", "x");
  news.MailType = "News";
  addMessage(81, news);
  EXPECT_EQ(SendMessageRecord(81, 0, 1), 1);
  EXPECT_EQ(var("Mail"), "Error");
  EXPECT_NE(var("MailError").find("no way to reach a news server"), std::string::npos) << var("MailError");
  EXPECT_EQ(storedMessage(81).LastDateSent, 0);
  EXPECT_TRUE(sent().empty());
}

TEST_F(SendMessage, MapiSenderExitCodeIsTheResult) {
  files::EMAIL.USEMAPI = 1;
  files::EMAIL.HOST.clear();  // not needed on this path
  const fs::path sender = file("tessel", "#!/bin/sh\necho \"$@\" > tessel.args\nexit $(cat tessel.code)\n");
  ::chmod(sender.c_str(), 0755);
  addMessage(90, message("ann@example.com", "x", "x"));
  file("tessel.code", "3");
  EXPECT_EQ(SendMessageRecord(90, 0, 1), 3);
  EXPECT_EQ(storedMessage(90).LastDateSent, 0);
  file("tessel.code", "0");
  EXPECT_EQ(SendMessageRecord(90, 0, 1), 0);
  EXPECT_EQ(smtp::testing::readWholeFile(dir() / "tessel.args"), "90 /AUTO\n");  // a task's send: no box waits
  EXPECT_EQ(storedMessage(90).LastDateSent, rt::TODAY());
  EXPECT_TRUE(sent().empty());
}

TEST_F(SendMessage, TaskCommandAndScriptStepSendMail) {
  addMessage(12, message("ann@example.com", "From a task", "x"));
  addMessage(13, message("bob@example.com", "From a step", "x"));
  EXPECT_EQ(RunTaskProgram("OVEMAIL 12", RunOptions{}), 0);
  EXPECT_EQ(var("EmailExitCode"), "0");
  testing::Step step("Send Email");
  step.r.EmailID = 13;
  SetVariable("unset", "EmailExitCode");
  queue({step});
  run();
  EXPECT_EQ(var("EmailExitCode"), "0");
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 2u);
  EXPECT_EQ(mail[0]["subject"], "From a task");
  EXPECT_EQ(mail[1]["subject"], "From a step");
}

TEST(EmailMessage, AddressListsPairNamesWithAddresses) {
  struct Case {
    const char* name;
    const char* addresses;
    const char* names;
    std::vector<std::pair<std::string, std::string>> want;  // (name, address)
  };
  const Case kCases[] = {
      {"comma and semicolon lists", "a@x, b@y", "Ann;Bob", {{"Ann", "a@x"}, {"Bob", "b@y"}}},
      {"names run out", "a@x;b@y;c@z", "Ann", {{"Ann", "a@x"}, {"", "b@y"}, {"", "c@z"}}},
      {"the first comma splits, wherever the semicolons are", "a@x;b@y,c@z", "", {{"", "a@x;b@y"}, {"", "c@z"}}},
      {"blank list", "   ", "Ann", {}},
      {"trailing separator", "a@x,", "", {{"", "a@x"}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EmailMessageClass mail;
    mail.Init();
    mail.AddTo(c.addresses, c.names);
    std::vector<std::pair<std::string, std::string>> got;
    for (const EmailRecipient& r : mail.toList()) got.emplace_back(r.name, r.address);
    EXPECT_EQ(got, c.want);
  }
}

TEST(EmailMessage, FromTextsAndBlocks) {
  EmailMessageClass mail;
  mail.Init();
  mail.SetFrom("Ann Lee", "ann@x.com  ", false);
  EXPECT_EQ(mail.from(), "\"Ann Lee\" <ann@x.com>");
  mail.SetFrom("Ann Lee", "", false);
  EXPECT_EQ(mail.from(), "Ann Lee");
  mail.SetFrom("\"A\" <a@x>", "ignored", true);
  EXPECT_EQ(mail.from(), "\"A\" <a@x>");

  mail.AddBcc("b@y");
  mail.AddAttachment("  ", 8);
  mail.AddAttachment("/tmp/f.txt", 8);
  EXPECT_EQ(mail.attachments().size(), 1u);
  const std::vector<char> bcc = CopyQueueToMemory(mail.bccList());
  ASSERT_EQ(bcc.size(), 400u);
  EXPECT_STREQ(bcc.data(), "b@y");        // the address serves as the name
  EXPECT_STREQ(bcc.data() + 200, "b@y");
  const std::vector<char> files = CopyQueueToMemory(mail.attachments());
  ASSERT_EQ(files.size(), 256u);
  EXPECT_STREQ(files.data(), "/tmp/f.txt");
  EXPECT_EQ(files[255], 8);
  EXPECT_TRUE(CopyQueueToMemory(mail.toList()).empty());

  mail.SetBody("text   ", 4);
  EXPECT_EQ(std::string(mail.bodyBlock().data()), "text");
  EXPECT_EQ(mail.bodyBlock().size(), 5u);
  EXPECT_EQ(mail.bodyKind(), 4);
  // A message for b@y alone gets past the recipients' check; the library then wants a server.
  EXPECT_EQ(mail.SendEmailMessage(), 1);
  EXPECT_EQ(mail.serverReply(), "no mail server");
}

}  // namespace
}  // namespace ov::scheduler
