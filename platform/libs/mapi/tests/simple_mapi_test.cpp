// Simple MAPI over the sendmail interface, against the recording sendmail stand-in.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/libs/mapi/simple_mapi.h"
#include "platform/libs/mapi/tests/recording_sendmail.h"

namespace ov::mapi {
namespace {

using testing::addresses;
using testing::header;
using testing::RecordingSendmail;

MapiRecipDesc recip(uint32_t cls, std::string text) { return {cls, std::move(text), {}}; }

struct Session {
  Session() { code = MAPILogon("profile", "secret", MAPI_LOGON_UI | MAPI_NEW_SESSION, id); }
  ~Session() {
    if (id) (void)MAPILogoff(id);
  }
  uint32_t code = 0;
  uint32_t id = 0;
};

TEST(SimpleMapi, NoMailClientFailsTheLogOnAndSaysSo) {
  const char* old = std::getenv(kSendmailVariable);
  const std::string saved = old ? old : "";
  ::setenv(kSendmailVariable, "/nonexistent/sendmail", 1);
  uint32_t session = 99;
  EXPECT_EQ(MAPILogon("", "", 0, session), MAPI_E_FAILURE);
  EXPECT_EQ(session, 0u);
  EXPECT_NE(lastMapiError().find("No mail client"), std::string::npos) << lastMapiError();
  EXPECT_NE(lastMapiError().find("/nonexistent/sendmail"), std::string::npos);
  if (old) ::setenv(kSendmailVariable, saved.c_str(), 1); else ::unsetenv(kSendmailVariable);
}

TEST(SimpleMapi, HandsOneComposedMessageToSendmailWithBccInItsHeader) {
  RecordingSendmail sendmail;
  Session s;
  ASSERT_EQ(s.code, SUCCESS_SUCCESS) << lastMapiError();
  MapiMessage m;
  m.lpszSubject = "Quarterly figures";
  m.lpszNoteText = "Line one\r\nLine two\r\n";
  m.originator = {MAPI_ORIG, "\"Ann Lee\" <ann@example.org>", {}};
  m.recips = {recip(MAPI_TO, "Bob Roe <bob@example.org>"), recip(MAPI_CC, "cc1@example.org; \"Cy, Jr\" <cc2@example.org>"),
              recip(MAPI_BCC, "hidden@example.org")};
  ASSERT_EQ(MAPISendMail(s.id, m, 0), SUCCESS_SUCCESS) << lastMapiError();
  ASSERT_EQ(sendmail.runs(), 1);
  EXPECT_EQ(sendmail.arguments(1), "-t -i");
  const std::string mail = sendmail.message(1);
  EXPECT_EQ(mail.find('\r'), std::string::npos) << "local line ends for the sendmail interface";
  EXPECT_EQ(header(mail, "From"), "\"Ann Lee\" <ann@example.org>");
  EXPECT_EQ(header(mail, "To"), "Bob Roe <bob@example.org>");
  EXPECT_EQ(header(mail, "Cc"), "cc1@example.org, \"Cy, Jr\" <cc2@example.org>");
  EXPECT_EQ(header(mail, "Bcc"), "hidden@example.org");
  EXPECT_EQ(header(mail, "Subject"), "Quarterly figures");
  EXPECT_NE(mail.find("\n\nLine one\nLine two\n"), std::string::npos) << mail;
}

TEST(SimpleMapi, ResultCodes) {
  RecordingSendmail sendmail;
  std::filesystem::path file = sendmail.program().parent_path() / "a.txt";
  std::ofstream(file) << "x";
  Session s;
  ASSERT_EQ(s.code, SUCCESS_SUCCESS);
  struct Case {
    const char* name;
    std::vector<MapiRecipDesc> recips;
    std::vector<MapiFileDesc> files;
    int sendmailExit;  // -1: sendmail must not run
    uint32_t want;
  };
  const MapiRecipDesc ok = recip(MAPI_TO, "ok@example.org");
  const Case kCases[] = {
      {"sent", {ok}, {}, 0, SUCCESS_SUCCESS},
      {"sendmail: no such user", {ok}, {}, 67, MAPI_E_UNKNOWN_RECIPIENT},
      {"sendmail: no such host", {ok}, {}, 68, MAPI_E_UNKNOWN_RECIPIENT},
      {"sendmail: temporary failure", {ok}, {}, 75, MAPI_E_FAILURE},
      {"a name without an address", {recip(MAPI_TO, "John Smith")}, {}, -1, MAPI_E_UNKNOWN_RECIPIENT},
      {"a blank recipient", {recip(MAPI_TO, "")}, {}, -1, MAPI_E_UNKNOWN_RECIPIENT},
      {"a line break in the recipient", {recip(MAPI_TO, "a@x.org\nBcc: b@y.org")}, {}, -1, MAPI_E_UNKNOWN_RECIPIENT},
      {"class 4", {recip(4, "ok@example.org")}, {}, -1, MAPI_E_BAD_RECIPTYPE},
      {"no recipients", {}, {}, -1, MAPI_E_FAILURE},
      {"a missing attachment", {ok}, {{0, -1, "/nonexistent/file.txt", "file.txt"}}, -1, MAPI_E_ATTACHMENT_NOT_FOUND},
      {"an attachment", {ok}, {{0, -1, file.string(), "a.txt"}}, 0, SUCCESS_SUCCESS},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const int before = sendmail.runs();
    std::vector<int> codes(before, 0);
    codes.push_back(c.sendmailExit < 0 ? 0 : c.sendmailExit);
    sendmail.answer(codes);
    MapiMessage m;
    m.lpszSubject = "s";
    m.originator = {MAPI_ORIG, "me@example.org", {}};
    m.recips = c.recips;
    m.files = c.files;
    EXPECT_EQ(MAPISendMail(s.id, m, 0), c.want) << lastMapiError();
    EXPECT_EQ(sendmail.runs(), before + (c.sendmailExit < 0 ? 0 : 1));
    if (c.want != SUCCESS_SUCCESS) {
      EXPECT_FALSE(lastMapiError().empty());
    }
  }
  EXPECT_EQ(MAPISendMail(s.id + 1000, MapiMessage{}, 0), MAPI_E_INVALID_SESSION);
  EXPECT_EQ(MAPILogoff(s.id + 1000), MAPI_E_INVALID_SESSION);
}

TEST(SimpleMapi, AttachmentsBecomePartsAndTheirPaddingLeavesTheText) {
  RecordingSendmail sendmail;
  const auto dir = sendmail.program().parent_path();
  std::ofstream(dir / "one.txt") << "first file";
  std::ofstream(dir / "two.csv") << "a,b";
  Session s;
  MapiMessage m;
  m.lpszSubject = "files";
  m.lpszNoteText = "     Hello";  // 2 x 2 + 1 blanks, attachments at 1 and 3
  m.originator = {MAPI_ORIG, "me@example.org", {}};
  m.recips = {recip(MAPI_TO, "you@example.org")};
  m.files = {{0, 1, (dir / "one.txt").string(), "one.txt"}, {0, 3, (dir / "two.csv").string(), "two.csv"}};
  ASSERT_EQ(MAPISendMail(s.id, m, 0), SUCCESS_SUCCESS) << lastMapiError();
  const std::string mail = sendmail.message(1);
  EXPECT_NE(mail.find("\n\nHello"), std::string::npos) << mail;
  EXPECT_EQ(mail.find(" Hello"), std::string::npos) << mail;
  EXPECT_NE(mail.find("filename=\"one.txt\""), std::string::npos);
  EXPECT_NE(mail.find("filename=\"two.csv\""), std::string::npos);
  EXPECT_NE(mail.find("Zmlyc3QgZmlsZQ=="), std::string::npos);  // "first file" in base64

  // Text that does not start with the padding keeps its blanks.
  EXPECT_EQ(detail::noteTextWithoutPositions("  Hi", m.files), "  Hi");
  EXPECT_EQ(detail::noteTextWithoutPositions("     Hi", {}), "     Hi");
}

}  // namespace
}  // namespace ov::mapi
