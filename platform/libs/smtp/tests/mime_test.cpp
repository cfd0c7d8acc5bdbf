// Pieces of message composition that need no server: base64, header texts, addresses.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/libs/smtp/mime.h"
#include "platform/libs/smtp/send_mail.h"

namespace ov::smtp {
namespace {

TEST(Mime, Base64MatchesTheStandardsVectors) {
  const std::pair<const char*, const char*> kVectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"}, {"\xff\xfe", "//4="},
  };
  for (const auto& [in, want] : kVectors) {
    SCOPED_TRACE(in);
    EXPECT_EQ(base64(in), want);
  }
}

TEST(Mime, LineBreaksCannotStartHeadersOfTheirOwn) {
  EXPECT_EQ(headerText("Hello\r\nBcc: victim@example.com"), "Hello  Bcc: victim@example.com");
  EXPECT_EQ(formatRecipient({"Eve\nX-Evil: 1", "eve@example.com"}), "\"Eve X-Evil: 1\" <eve@example.com>");
  EXPECT_EQ(formatFrom("\"Me\" <me@example.com>\r\nBcc: x@y"), "\"Me\" <me@example.com>  Bcc: x@y");
}

TEST(Mime, EncodedWordsStayShortAndKeepCharactersWhole) {
  // 30 two-byte characters: the 39-byte chunks must cut between characters.
  std::string text;
  for (int i = 0; i < 30; ++i) text += "\xc3\xa9";
  const std::string h = headerText(text);
  size_t words = 0;
  for (size_t at = 0; (at = h.find("=?UTF-8?B?", at)) != std::string::npos; ++at) {
    const size_t end = h.find("?=", at + 10);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end + 2 - at, 75u);
    ++words;
  }
  EXPECT_EQ(words, 2u);  // 60 bytes: 38 + 22
  // The first word holds 19 characters (python3: base64.b64encode(("\u00e9" * 19).encode())).
  EXPECT_EQ(h.substr(0, h.find("?=") + 2), "=?UTF-8?B?w6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6k=?=");
}

TEST(Mime, RecipientsAsHeadersShowThem) {
  const std::pair<Recipient, const char*> kCases[] = {
      {{"", "a@example.com"}, "a@example.com"},
      {{"a@example.com", "a@example.com"}, "a@example.com"},
      {{"Ann Lee", "a@example.com"}, "Ann Lee <a@example.com>"},
      {{"Lee, Ann", "a@example.com"}, "\"Lee, Ann\" <a@example.com>"},
      {{"Say \"hi\"", "a@example.com"}, "\"Say \\\"hi\\\"\" <a@example.com>"},
  };
  for (const auto& [r, want] : kCases) {
    SCOPED_TRACE(want);
    EXPECT_EQ(formatRecipient(r), want);
  }
}

TEST(Mime, UsableAddresses) {
  const std::pair<const char*, bool> kCases[] = {
      {"a@example.com", true},   {"postmaster", true},     {"", false},
      {"a b@example.com", false}, {"a@example.com>", false}, {"a@x.com,b@y.com", false},
      {"a@x\r\n.com", false},
  };
  for (const auto& [a, want] : kCases) {
    SCOPED_TRACE(a);
    EXPECT_EQ(isUsableAddress(a), want);
  }
  EXPECT_EQ(addressOf("\"Me\" <me@example.com>"), "me@example.com");
  EXPECT_EQ(addressOf(" me@example.com "), "me@example.com");
}

TEST(Mime, BlocksAreReadEntryByEntry) {
  std::vector<char> block(2 * kRecipientEntrySize + 17, '\0');  // a short tail is ignored
  std::strcpy(block.data(), "Ann");
  std::strcpy(block.data() + kNameWidth, "ann@example.com");
  std::strcpy(block.data() + kRecipientEntrySize + kNameWidth, "bob@example.com  ");
  const std::vector<Recipient> r = readRecipients(block);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].name, "Ann");
  EXPECT_EQ(r[0].address, "ann@example.com");
  EXPECT_EQ(r[1].name, "");
  EXPECT_EQ(r[1].address, "bob@example.com");
}

}  // namespace
}  // namespace ov::smtp
