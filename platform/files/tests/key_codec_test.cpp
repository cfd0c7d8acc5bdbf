// Encoded keys must order as the runtime compares: blank-padded text, case ignored by default
// (Unicode upper-casing), numbers by value, descending components reversed.
#include "platform/files/detail/key_codec.h"

#include <gtest/gtest.h>

namespace ov::db::detail {
namespace {

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

int compareTexts(std::string_view a, std::string_view b, bool caseSensitive, bool descending = false) {
  std::string ea, eb;
  encodeText(a, caseSensitive, descending, ea);
  encodeText(b, caseSensitive, descending, eb);
  return sign(ea.compare(eb));
}

struct TextCase {
  const char* name;
  const char* a;
  const char* b;
  bool caseSensitive;
  int want;  // sign of a compared with b
};

const TextCase kTexts[] = {
    {"trailing blanks do not count", "abc", "abc   ", false, 0},
    {"empty equals blanks", "", "   ", false, 0},
    {"case ignored", "abc", "ABC", false, 0},
    {"case significant: capitals first", "abc", "ABC", true, 1},
    {"shorter text is padded with blanks", "ab", "ab c", false, -1},
    {"a tab sorts below the padding blank", "ab", "ab\t", false, 1},
    {"a control character below the padding", "a", "a\x01", false, 1},
    {"one blank then a letter above two blanks", "a b", "a  b", false, 1},
    {"inner blanks against the end", "a b", "a", false, 1},
    {"blank run before a tab", "a \t", "a", false, -1},
    {"blank run before a tab against a letter", "a \t", "a b", false, -1},
    {"accented letters ignore case", "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", false, 0},  // été / ÉTÉ
    {"accented letters keep case when significant", "\xC3\xA9", "\xC3\x89", true, 1},
    {"an accented letter after every ASCII letter", "zoe", "Zo\xC3\xAB", false, -1},  // zoe / Zoë
    {"prefix sorts first", "Smith", "Smithson", false, -1},
    {"digits before letters", "9", "A", false, -1},
};

TEST(KeyCodec, TextOrdersAsBlankPaddedCompare) {
  for (const TextCase& c : kTexts) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(compareTexts(c.a, c.b, c.caseSensitive), c.want);
    EXPECT_EQ(compareTexts(c.a, c.b, c.caseSensitive, true), -c.want) << "descending";
  }
}

// The bytes themselves are stored in the keys' indexes of existing files: they must never change.
TEST(KeyCodec, TextBytesAreTheStoredFormat) {
  struct Case {
    const char* name;
    std::string_view text;
    bool caseSensitive, descending;
    std::string_view want;
  };
  using namespace std::string_view_literals;
  const Case cases[] = {
      {"empty", "", false, false, "\x02"sv},
      {"blanks only", "   ", false, false, "\x02"sv},
      {"letters upper-cased", "ab1~", false, false, "AB1~\x02"sv},
      {"case kept", "aB", true, false, "aB\x02"sv},
      {"trailing blanks and zeros dropped", std::string_view("ab  \0 ", 6), false, false, "AB\x02"sv},
      {"blank run before a letter", "a  b", false, false, "A\x20\xFF\xFD" "B\x02"sv},
      {"leading blank", " z", false, false, "\x20\xFF\xFEZ\x02"sv},
      {"control character without blanks", "a\tb", false, false, "A\x01\x00\x00\tB\x02"sv},
      {"blanks before a control character", "a  \x01", false, false, "A\x01\x00\x02\x01\x02"sv},
      {"descending inverts every byte", "Ab", false, true, "\xBE\xBD\xFD"sv},
      {"accented letter upper-cased", "\xC3\xA9t\xC3\xA9", false, false, "\xC3\x89T\xC3\x89\x02"sv},
      {"accented letter kept", "\xC3\xA9 x", true, false, "\xC3\xA9\x20\xFF\xFEx\x02"sv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = "pre";
    encodeText(c.text, c.caseSensitive, c.descending, out);
    EXPECT_EQ(out, "pre" + std::string(c.want));
  }
  // A long text (wider than any field's usual width) with every kind of event.
  std::string text, want;
  for (int i = 0; i < 300; ++i) {
    text += "ab  c\x05 ";
    want += "AB\x20\xFF\xFD" "C\x01\x00\x00\x05"sv;
    if (i + 1 < 300) want += "\x20\xFF\xFE"sv;
  }
  // The last run of the text is its trailing blank: dropped.
  std::string long1;
  encodeText(text, false, false, long1);
  EXPECT_EQ(long1, want + "\x02");
}

// The text encoding as defined, a character at a time, for ASCII text: the encoder takes eight
// characters at once where it can, and must write the same bytes wherever the blanks, control
// characters and letters at the edges of a..z fall against its eight-character steps.
std::string encodeTextByCharacter(std::string_view text, bool caseSensitive, bool descending) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  std::string out;
  size_t i = 0;
  auto fold = [&](unsigned char c) { return !caseSensitive && c >= 'a' && c <= 'z' ? char(c - 32) : char(c); };
  while (i < text.size()) {
    size_t k = 0;
    while (text[i] == ' ') ++k, ++i;
    const unsigned char d = static_cast<unsigned char>(text[i++]);
    if (k == 0 && d > ' ') {
      out += fold(d);
    } else if (d < ' ') {
      out += {'\x01', char(k >> 8), char(k & 0xFF), char(d)};
    } else {
      out += {'\x20', char((0xFFFF - k) >> 8), char((0xFFFF - k) & 0xFF), fold(d)};
    }
  }
  out += '\x02';
  if (descending)
    for (char& c : out) c = static_cast<char>(~static_cast<unsigned char>(c));
  return out;
}

TEST(KeyCodec, TextBytesDoNotDependOnWherePartsFall) {
  const std::string_view pieces[] = {"a", "z", "`", "{", "@", "[", "A", "Z", "~", "0", " ", "  ", "\t", "\x1f", "!"};
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  for (int n = 0; n < 3000; ++n) {
    std::string text;
    const size_t length = next() % 40;
    while (text.size() < length) text += next() % 3 ? std::string(1, char('a' + next() % 26)) : std::string(pieces[next() % std::size(pieces)]);
    for (bool caseSensitive : {false, true})
      for (bool descending : {false, true}) {
        std::string got = "x";
        encodeText(text, caseSensitive, descending, got);
        ASSERT_EQ(got, "x" + encodeTextByCharacter(text, caseSensitive, descending))
            << "text \"" << text << "\" case " << caseSensitive << " descending " << descending;
      }
  }
}

TEST(KeyCodec, NumbersOrderByValue) {
  const double ordered[] = {-1e300, -2147483648.0, -1e9, -2.5, -1, 0, 0.25, 1, 2, 2.5, 255, 2147483647.0, 1e300};
  for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
    std::string a, b, da, db;
    encodeNumber(ordered[i], false, a);
    encodeNumber(ordered[i + 1], false, b);
    encodeNumber(ordered[i], true, da);
    encodeNumber(ordered[i + 1], true, db);
    EXPECT_LT(a, b) << ordered[i] << " < " << ordered[i + 1];
    EXPECT_GT(da, db) << "descending " << ordered[i];
  }
  std::string zero, negZero;
  encodeNumber(0.0, false, zero);
  encodeNumber(-0.0, false, negZero);
  EXPECT_EQ(zero, negZero);
}

TEST(KeyCodec, IntegersOrderByValueInFewBytes) {
  const int64_t ordered[] = {-2147483648LL, -65536, -257, -256, -255, -2, -1, 0, 1, 2, 255, 256, 65535, 80000,
                             8640000, 2147483647LL, INT64_MAX};
  for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
    std::string a, b, da, db;
    encodeInteger(ordered[i], false, a);
    encodeInteger(ordered[i + 1], false, b);
    encodeInteger(ordered[i], true, da);
    encodeInteger(ordered[i + 1], true, db);
    EXPECT_LT(a, b) << ordered[i] << " < " << ordered[i + 1];
    EXPECT_GT(da, db) << "descending " << ordered[i];
  }
  std::string flag, date;
  encodeInteger(1, false, flag);
  encodeInteger(80000, false, date);
  EXPECT_EQ(flag.size(), 2u);
  EXPECT_EQ(date.size(), 4u);
}

// Components follow one another: the first decides unless equal, however long the texts.
TEST(KeyCodec, ComponentsCompareInOrder) {
  auto key = [](std::string_view text, double n, bool descText) {
    std::string out;
    encodeText(text, false, descText, out);
    encodeNumber(n, false, out);
    return out;
  };
  EXPECT_LT(key("ab", 9, false), key("ab c", 1, false));
  EXPECT_LT(key("AB ", 1, false), key("ab", 2, false));
  EXPECT_GT(key("ab", 9, true), key("ab c", 1, true));
  EXPECT_LT(key("ab", 1, true), key("ab  ", 2, true));
}

}  // namespace
}  // namespace ov::db::detail
