#include <stdlib.h>
#include <time.h>

#include <gtest/gtest.h>

#include <optional>

#include "netlib/net_codec.h"
#include "netlib/tests/support.h"

namespace ov::net {
namespace {

using namespace std::string_literals;

struct Pair {
  const char* name;
  std::string in;
  std::string out;
};

// Expected texts were worked by hand from the encodings' rules (longer ones checked with Python's
// base64 and binascii modules).
TEST(NetBase64Encode, EncodesGroupsWithPaddingAndLineBreaks) {
  const std::string twenty57(57, 'M');
  std::string line57;
  for (int i = 0; i < 19; ++i) line57 += "TU1N";
  const Pair cases[] = {
      {"three bytes, no padding", "abc", "YWJj"},
      {"two bytes end in one =", "ab", "YWI="},
      {"one byte ends in two =", "a", "YQ=="},
      {"nothing gives nothing", "", ""},
      {"57 bytes fill a line and get its CR LF", twenty57, line57 + "\r\n"},
      {"58 bytes start a second line", twenty57 + "M", line57 + "\r\nTQ=="},
      {"binary bytes", "\x00\x01\x02\xff"s, "AAEC/w=="},
  };
  for (const Pair& c : cases) {
    SCOPED_TRACE(c.name);
    long length = -1;
    EXPECT_EQ(NetBase64Encode(c.in, length), c.out);
    EXPECT_EQ(length, static_cast<long>(c.out.size()));
  }
}

TEST(NetBase64Decode, SkipsForeignCharactersAndCountsPadding) {
  const Pair cases[] = {
      {"plain group", "YWJj", "abc"},
      {"line breaks and blanks anywhere", "Y W\r\nJj\r\n", "abc"},
      {"one padding character", "YWI=", "ab"},
      {"two padding characters", "YQ==", "a"},
      {"an incomplete last group adds nothing", "YWJjZA", "abc"},
      {"three leftover characters add nothing", "YWJjZGV", "abc"},
      {"characters outside the alphabet are skipped", "*YW@Jj!", "abc"},
      {"binary bytes", "AAEC/w==", "\x00\x01\x02\xff"s},
      {"UTF-8 text", "w6k=", "é"},
  };
  for (const Pair& c : cases) {
    SCOPED_TRACE(c.name);
    long length = -1;
    EXPECT_EQ(NetBase64Decode(c.in, length), c.out);
    EXPECT_EQ(length, static_cast<long>(c.out.size()));
  }
}

TEST(NetQuotedPrintableEncode, EscapesAndBreaksLines) {
  struct Case {
    const char* name;
    std::string in;
    long lineIn;
    std::string out;
    long lineOut;
  };
  const std::string letters80(80, 'q');
  const Case cases[] = {
      {"= becomes =3D", "a=b", 0, "a=3Db", 5},
      {"a blank before CR LF is escaped", "ab \r\ncd", 0, "ab=20\r\ncd", 2},
      {"a tab before CR LF is escaped", "ab\t\r\n", 0, "ab=09\r\n", 0},
      {"bytes above 126 in upper-case hex", "caf\xc3\xa9", 0, "caf=C3=A9", 9},
      {"control characters are escaped", "a\x01", 0, "a=01", 4},
      {"80 letters break after 75", letters80, 0, std::string(75, 'q') + "=\r\n" + std::string(5, 'q'), 5},
      {"a line goes on from the length passed in", "xyz", 74, "x=\r\nyz", 2},
      {"an escape that would pass 76 breaks first", "=", 73, "=\r\n=3D", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    long length = -1, line = c.lineIn;
    EXPECT_EQ(NetQuotedPrintableEncode(c.in, length, line), c.out);
    EXPECT_EQ(length, static_cast<long>(c.out.size()));
    EXPECT_EQ(line, c.lineOut);
  }
}

TEST(NetQuotedPrintableEncode, StopsWithAnErrorLineWhenItsOutputIsFull) {
  test::TempConfig config;
  test::CapturedLog log;
  test::loadWith("prog /netdlllogerrors");
  long length = 0, line = 0;
  std::string out = NetQuotedPrintableEncode(std::string(2000, '\x80'), length, line);
  EXPECT_LE(out.size(), 3121u);
  EXPECT_GT(out.size(), 3100u);
  EXPECT_EQ(length, static_cast<long>(out.size()));
  EXPECT_TRUE(out.ends_with("=80")) << out.substr(out.size() - 10);
  EXPECT_TRUE(log.contains("NetQuotedPrintableEncode() : Error. String has run out of room."));
}

TEST(NetQuotedPrintableDecode, DecodesEscapesAndSoftBreaks) {
  const Pair cases[] = {
      {"upper-case escape", "a=3Db", "a=b"},
      {"lower-case escape decodes too", "a=3db", "a=b"},
      {"soft line break joins the lines", "ab=\r\ncd", "abcd"},
      {"hard line breaks stay", "a\r\nb", "a\r\nb"},
      {"= as the last character", "a=", "a_"},
      {"= as the next-to-last character", "a=4", "a_"},
      {"not hexadecimal", "=XYz", "_z"},
      {"UTF-8 bytes", "caf=C3=A9", "café"},
  };
  for (const Pair& c : cases) {
    SCOPED_TRACE(c.name);
    long length = -1;
    EXPECT_EQ(NetQuotedPrintableDecode(c.in, length), c.out);
    EXPECT_EQ(length, static_cast<long>(c.out.size()));
  }
}

TEST(NetUUDecode, DecodesOneLineByItsCount) {
  const Pair cases[] = {
      {"three bytes", "#8V%T", "cat"},
      {"twelve bytes", ",2&5L;&\\L(%=O<FQD", "Hello, World"},
      {"count 3 with one group gives exactly 3 bytes", "#8V%T!!!!", "cat"},
      {"` means no bytes", "`", ""},
      {"blank means no bytes", " ", ""},
      {"a count of 64 or more", "a8V%T", ""},
      {"an empty line", "", ""},
  };
  for (const Pair& c : cases) {
    SCOPED_TRACE(c.name);
    long count = -1;
    EXPECT_EQ(NetUUDecode(c.in, count), c.out);
    EXPECT_EQ(count, static_cast<long>(c.out.size()));
  }
}

TEST(NetCharSet, DecodesEveryEncodedWordIntoUtf8) {
  const Pair cases[] = {
      {"no encoded word: only trimmed", "   plain value  ", "plain value"},
      {"Q word in Latin-1", "=?ISO-8859-1?Q?Caf=E9?=", "Café"},
      {"B word in UTF-8", "=?UTF-8?B?w6k=?=", "é"},
      {"lower-case q and charset", "=?utf-8?q?a_b?=", "a b"},
      {"blanks between two words go", "=?UTF-8?Q?Hello?= =?UTF-8?Q?_World?=", "Hello World"},
      {"underscores outside a word stay", "x_y =?UTF-8?Q?a_b?= tail_end", "x_y a b tail_end"},
      {"text after a B word stays", "=?UTF-8?B?YWJj?=def", "abcdef"},
      {"text before a word stays", "Re: =?UTF-8?Q?gr=C3=BC=C3=9Fe?=", "Re: grüße"},
      {"a word without its end stays", "=?UTF-8?Q?abc", "=?UTF-8?Q?abc"},
      {"an unknown encoding letter stays", "=?UTF-8?X?abc?=", "=?UTF-8?X?abc?="},
      {"an unknown charset keeps the bytes", "=?X-NOWHERE?Q?=41=42?=", "AB"},
      {"a language tag is allowed", "=?UTF-8*en?Q?hi?=", "hi"},
  };
  for (const Pair& c : cases) EXPECT_EQ(NetCharSet(c.in), c.out) << c.name;
}

class ZoneGuard {
 public:
  ZoneGuard() {
    if (const char* tz = ::getenv("TZ")) m_saved = tz;
  }
  ~ZoneGuard() {
    if (m_saved) ::setenv("TZ", m_saved->c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::optional<std::string> m_saved;
};

TEST(NetGetTimeZone, WritesTheOffsetAsMailHeadersDo) {
  ZoneGuard guard;
  const std::pair<const char*, const char*> cases[] = {
      {"EST5", "-0500"}, {"IST-5:30", "+0530"}, {"UTC0", "+0000"}, {"NPT-5:45", "+0545"}, {"HST10", "-1000"}};
  for (auto [zone, want] : cases) {
    ::setenv("TZ", zone, 1);
    ::tzset();
    EXPECT_EQ(NetGetTimeZone(), want) << zone;
  }
}

}  // namespace
}  // namespace ov::net
