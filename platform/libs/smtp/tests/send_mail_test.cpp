// SendMail against a mail server on loopback (python3-aiosmtpd), messages read back with Python's
// mail parser.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/libs/smtp/mime.h"
#include "platform/libs/smtp/send_mail.h"
#include "platform/libs/smtp/tests/smtp_sink.h"

namespace ov::smtp {
namespace {

namespace fs = std::filesystem;
using testing::SmtpSink;
using testing::StoredMail;

std::vector<char> recipients(const std::vector<std::pair<std::string, std::string>>& list) {
  std::vector<char> block(list.size() * kRecipientEntrySize, '\0');
  for (size_t i = 0; i < list.size(); ++i) {
    std::strncpy(block.data() + i * kRecipientEntrySize, list[i].first.c_str(), kNameWidth - 1);
    std::strncpy(block.data() + i * kRecipientEntrySize + kNameWidth, list[i].second.c_str(), kAddressWidth - 1);
  }
  return block;
}

std::vector<char> attachmentBlock(const std::vector<std::string>& files) {
  std::vector<char> block(files.size() * kAttachmentEntrySize, '\0');
  for (size_t i = 0; i < files.size(); ++i) {
    std::strncpy(block.data() + i * kAttachmentEntrySize, files[i].c_str(), kFileNameWidth - 1);
    block[i * kAttachmentEntrySize + kFileNameWidth] = 8;
  }
  return block;
}

std::vector<char> text(const std::string& s) { return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1); }

class SendMailTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/ov-smtp-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    s_dir = tmpl;
    s_sink = new SmtpSink(s_dir / "mail", "mailer", "s3cret pass");
    ASSERT_GT(s_sink->port(), 0) << "the loopback mail server did not start";
  }
  static void TearDownTestSuite() {
    delete s_sink;
    s_sink = nullptr;
    std::error_code ec;
    fs::remove_all(s_dir, ec);
  }

  void SetUp() override {
    m_server = s_sink->address();
    m_before = s_sink->count();
    block.server = m_server.c_str();
    block.from = "\"Orvane Test\" <sender@example.com>";
    block.returnPath = "sender@example.com";
    block.subject = "Hello";
    m_body = text("Body text");
    block.body = m_body;
    block.reply = reply;
    block.logFile = m_log.c_str();
  }

  // Messages stored since the test began.
  std::vector<StoredMail> sent() const {
    return s_sink->messages(m_before);
  }

  fs::path file(const std::string& name, const std::string& content) {
    const fs::path p = s_dir / name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }

  static inline fs::path s_dir;
  static inline SmtpSink* s_sink = nullptr;
  SendMailBlock block;
  char reply[kReplySize] = "";
  std::vector<char> m_body;
  std::string m_server;
  std::string m_log = (s_dir / "inmail.log").string();
  size_t m_before = 0;
};

TEST_F(SendMailTest, HeadersBodyAndEnvelope) {
  const auto to = recipients({{"Ann Lee", "ann@example.com"}, {"", "bob@example.com"}});
  const auto cc = recipients({{"carol@example.com", "carol@example.com"}, {"", "ANN@example.com"}});
  const auto bcc = recipients({{"dave@example.com", "dave@example.com"}});
  block.to = to;
  block.cc = cc;
  block.bcc = bcc;
  block.subject = "Grüße aus Köln – €5";
  block.organization = "Acme";
  block.mailer = "Orvane 2003";
  m_body = text("Line one\r\n.leading dot\nÜmlaut line\n");
  block.body = m_body;
  int32_t r1 = -1, r2 = -1, r3 = -1;
  block.result1 = &r1;
  block.result2 = &r2;
  block.result3 = &r3;

  ASSERT_EQ(SendMail(block), code::Ok) << reply;
  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 1u);
  const StoredMail& m = mail[0];
  EXPECT_EQ(m.mailFrom, "sender@example.com");
  // Each address once (ANN@ is ann@), Bcc in the envelope only.
  EXPECT_EQ(m.recipients, (std::vector<std::string>{"ann@example.com", "bob@example.com", "carol@example.com",
                                                    "dave@example.com"}));
  EXPECT_EQ(m["from"], "Orvane Test <sender@example.com>");
  EXPECT_EQ(m["to"], "Ann Lee <ann@example.com>, bob@example.com");
  EXPECT_EQ(m["cc"], "carol@example.com, ANN@example.com");
  EXPECT_EQ(m["bcc-header"], "no");
  EXPECT_EQ(m.raw.find("dave@"), std::string::npos);
  EXPECT_EQ(m["subject"], "Grüße aus Köln – €5");
  EXPECT_EQ(m.raw.find("Köln"), std::string::npos) << "the subject went out unencoded";
  EXPECT_EQ(m["organization"], "Acme");
  EXPECT_EQ(m["mailer"], "Orvane 2003");
  EXPECT_EQ(m["type"], "text/plain");
  EXPECT_EQ(m["body"], "Line one\\r\\n.leading dot\\r\\nÜmlaut line\\r\\n");
  EXPECT_EQ(r1, 250);
  EXPECT_EQ(r2, 4);
  EXPECT_EQ(size_t(r3), m.raw.size());
}

TEST_F(SendMailTest, CcOrBccAloneIsEnough) {
  const auto bcc = recipients({{"", "hidden@example.com"}});
  block.bcc = bcc;
  ASSERT_EQ(SendMail(block), code::Ok) << reply;
  const auto cc = recipients({{"", "copy@example.com"}});
  block.bcc = {};
  block.cc = cc;
  ASSERT_EQ(SendMail(block), code::Ok) << reply;

  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 2u);
  EXPECT_EQ(mail[0].recipients, std::vector<std::string>{"hidden@example.com"});
  EXPECT_EQ(mail[0]["to"], "undisclosed-recipients:;");
  EXPECT_EQ(mail[0].raw.find("hidden@"), std::string::npos);
  EXPECT_EQ(mail[1].recipients, std::vector<std::string>{"copy@example.com"});
  EXPECT_EQ(mail[1]["cc"], "copy@example.com");
}

TEST_F(SendMailTest, NoRecipientsSendsNothing) {
  block.server = "127.0.0.1:1";  // not even tried
  EXPECT_EQ(SendMail(block), code::NoRecipients);
  EXPECT_TRUE(sent().empty());
}

TEST_F(SendMailTest, AttachmentsAndBodyKinds) {
  const auto to = recipients({{"", "ann@example.com"}});
  block.to = to;
  const fs::path notes = file("notes.txt", "first\nsecond\n");
  const fs::path bin = file("data.bin", std::string("\x00\x01\xff\r\n.", 6));
  const fs::path named = file("Bericht März.pdf", "%PDF-1.4");
  const auto files = attachmentBlock({notes.string(), bin.string(), named.string()});
  block.attachments = files;
  m_body = text("<p>Hi <b>there</b></p>");
  block.body = m_body;
  block.bodyKind = kHtmlText;
  ASSERT_EQ(SendMail(block), code::Ok) << reply;

  // An HTML file as the body; a file as the body.
  block.attachments = {};
  const fs::path page = file("page.htm", "<html><body>From a file</body></html>");
  const std::vector<char> pageName = text(page.string());
  block.body = pageName;
  block.bodyKind = kHtmlFile;
  ASSERT_EQ(SendMail(block), code::Ok) << reply;
  const std::vector<char> binName = text(bin.string());
  block.body = binName;
  block.bodyKind = kFileBody;
  ASSERT_EQ(SendMail(block), code::Ok) << reply;

  const std::vector<StoredMail> mail = sent();
  ASSERT_EQ(mail.size(), 3u);
  EXPECT_EQ(mail[0]["type"], "multipart/mixed");
  // The line end before a boundary belongs to the boundary.
  EXPECT_EQ(mail[0]["body"], "<p>Hi <b>there</b></p>");
  EXPECT_EQ(mail[0].attachments, (std::vector<std::string>{"notes.txt|text/plain|13|first\\nsecond\\n",
                                                           "data.bin|application/octet-stream|6|0001ff0d0a2e",
                                                           "Bericht März.pdf|application/pdf|8|255044462d312e34"}));
  EXPECT_EQ(mail[1]["type"], "text/html");
  EXPECT_EQ(mail[1]["body"], "<html><body>From a file</body></html>\\n");
  EXPECT_EQ(mail[2].attachments, std::vector<std::string>{"data.bin|application/octet-stream|6|0001ff0d0a2e"});
}

TEST_F(SendMailTest, UnreadableFilesSendNothing) {
  const auto to = recipients({{"", "ann@example.com"}});
  block.to = to;
  const std::string missing = (s_dir / "no-such-file.txt").string();
  const auto files = attachmentBlock({missing});
  block.attachments = files;
  EXPECT_EQ(SendMail(block), code::CannotReadFile);
  EXPECT_EQ(std::string(reply), "cannot read " + missing);

  block.attachments = {};
  const std::vector<char> name = text(missing);
  block.body = name;
  block.bodyKind = kHtmlFile;
  EXPECT_EQ(SendMail(block), code::CannotReadFile);
  EXPECT_TRUE(sent().empty());
}

TEST_F(SendMailTest, LogsOnAndKeepsThePasswordOutOfTheLog) {
  const auto to = recipients({{"", "ann@example.com"}});
  block.to = to;
  block.user = "mailer";
  block.password = "s3cret pass";
  fs::remove(m_log);
  ASSERT_EQ(SendMail(block), code::Ok) << reply;
  ASSERT_EQ(sent().size(), 1u);
  EXPECT_EQ(sent()[0].login, "mailer");

  block.password = "wrong";
  EXPECT_EQ(SendMail(block), code::ServerError);
  EXPECT_EQ(std::string(reply).substr(0, 3), "535") << reply;
  EXPECT_EQ(s_sink->count(), m_before + 1);

  const std::string log = testing::readWholeFile(m_log);
  EXPECT_NE(log.find("C: AUTH"), std::string::npos) << log;
  EXPECT_NE(log.find("S: 235"), std::string::npos) << log;
  // Neither the password nor any base64 form of the log-on.
  for (const std::string& secret : {std::string("s3cret"), std::string("wrong"), base64("s3cret pass"),
                                   base64(std::string("\0mailer\0s3cret pass", 19)), base64("mailer")}) {
    SCOPED_TRACE(secret);
    EXPECT_EQ(log.find(secret), std::string::npos);
  }
}

TEST_F(SendMailTest, RefusalsAreErrorsWithTheServersReply) {
  const auto to = recipients({{"", "ann@example.com"}, {"", "refused@example.com"}});
  block.to = to;
  EXPECT_EQ(SendMail(block), code::ServerError);
  EXPECT_EQ(std::string(reply), "550 5.1.1 <refused@example.com>: Recipient address rejected");

  const auto ok = recipients({{"", "ann@example.com"}});
  block.to = ok;
  block.returnPath = "reject-data@example.com";
  EXPECT_EQ(SendMail(block), code::ServerError);
  EXPECT_EQ(std::string(reply), "554 5.7.1 Message content rejected");
  EXPECT_TRUE(sent().empty());
}

TEST_F(SendMailTest, ServersThatAreNotThere) {
  const auto to = recipients({{"", "ann@example.com"}});
  block.to = to;
  // A port that was free a moment ago: nothing listens there.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len), 0);
  ::close(fd);
  const std::string closed = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  block.server = closed.c_str();
  EXPECT_EQ(SendMail(block), code::ConnectFailed);
  EXPECT_NE(std::string(reply).find("onnect"), std::string::npos) << reply;

  block.server = "bad host name";
  EXPECT_EQ(SendMail(block), code::ResolveFailed);
  block.server = "";
  EXPECT_EQ(SendMail(block), code::BadArguments);
}

TEST_F(SendMailTest, BadAddressesAndCancelSendNothing) {
  const auto bad = recipients({{"", "ann@example.com"}, {"", "two words@example.com"}});
  block.to = bad;
  EXPECT_EQ(SendMail(block), code::BadArguments);
  EXPECT_EQ(std::string(reply), "unusable recipient address \"two words@example.com\"");

  const auto to = recipients({{"", "ann@example.com"}});
  block.to = to;
  block.returnPath = "";
  block.from = "no address here";
  EXPECT_EQ(SendMail(block), code::BadArguments);

  block.from = "sender@example.com";
  block.callback = [](int64_t, int64_t) { return false; };
  EXPECT_EQ(SendMail(block), code::Cancelled);
  EXPECT_TRUE(sent().empty());
}

}  // namespace
}  // namespace ov::smtp
