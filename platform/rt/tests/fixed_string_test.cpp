#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

#include <gtest/gtest.h>

using namespace ov::rt;

TEST(FixedString, PadsCutsAndNeverSplitsACharacter) {
  String<5> s = "ab";
  EXPECT_EQ(s.view(), "ab   ");
  EXPECT_EQ(s.clipped(), "ab");
  s = "abcdefg";
  EXPECT_EQ(s.view(), "abcde");
  s = "abcé";  // "é" is two bytes: 5 bytes fit exactly
  EXPECT_EQ(s.view(), "abcé");
  s = "abcdé";  // the "é" would need bytes 5 and 6: dropped whole
  EXPECT_EQ(s.view(), "abcd ");
  CString<4> c = "héllo";
  EXPECT_EQ(c.view(), "hé");
}

TEST(FixedString, AnEmptyViewBlanksTheField) {
  String<4> s = "abcd";
  s = std::string_view{};
  EXPECT_EQ(s.view(), "    ");
  CString<4> c = "abc";
  c = std::string_view{};
  EXPECT_TRUE(c.view().empty());
}

TEST(FixedString, ComparisonsIgnoreTrailingBlanks) {
  String<10> a = "abc";
  EXPECT_TRUE(a == "abc");
  EXPECT_TRUE(a == "abc   ");
  EXPECT_FALSE(a == "ABC");
  EXPECT_TRUE(a < "abd");
  EXPECT_EQ(compareText("élan ", "ÉLAN", true), 0);
}

TEST(Text, CaseMappingIsUnicodeAware) {
  EXPECT_EQ(UPPER("abc éàü ß"), "ABC ÉÀÜ ß");
  EXPECT_EQ(LOWER("ÄÖÜ Ωmega"), "äöü ωmega");
  EXPECT_EQ(UPPER(std::string("\xff" "a")), std::string("\xff" "A"));  // invalid bytes kept
}
