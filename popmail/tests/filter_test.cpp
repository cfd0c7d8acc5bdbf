#include <gtest/gtest.h>

#include "popmail/pop_receiver.h"

namespace ov::pop {
namespace {

TEST(MatchFilter, ReadsTermsFromLeftToRight) {
  struct Case {
    const char* text;
    const char* filter;
    bool want;
  };
  const Case cases[] = {
      {"Your invoice 12", "Invoice", true},                  // case does not matter
      {"Your invoice 12", "receipt", false},
      {"Cheap meds", "~~spam", true},                        // negated term
      {"SPAM offer", "~~spam", false},
      {"only a here", "a||b&&c", false},                     // (a or b) and c
      {"a and c", "a||b&&c", true},
      {"just y", "x||y||z", true},                           // each term is exactly its text
      {"just y", "x&&y", false},
      {"x then y", "x&&y", true},
      {"anything", "", true},                                // an empty filter passes
      {"", "invoice", true},                                 // so does an empty text
      {"   ", "invoice", true},
      {"Order 4711", "REGEX:ORDER [0-9]+", true},
      {"Order abc", "REGEX:ORDER [0-9]+$", false},
      {"order 4711", "~~REGEX:^ORDER", false},
      {"Order", "REGEX:([", false},                          // an invalid expression matches nothing
      {"Order", "REGEX:([||order", true},
      {"abc", "a &&c", true},                                // trailing blanks of a term do not count
      {"abc", "a&& c", false},                               // leading ones do
      {"grüße aus köln", "KÖLN", true},                      // upper case beyond ASCII
  };
  for (const Case& c : cases) EXPECT_EQ(MatchFilter(c.text, c.filter), c.want) << c.text << " / " << c.filter;
}

TEST(MessageFileName, UsesTheSafeSubjectAndAHashOfTheWholeId) {
  EXPECT_EQ(MakeSafeName("Re: a/b?"), "Re; a{S}b{Q}");
  EXPECT_EQ(MakeSafeName("x\\y|z \"q\" *[1] <2>  "), "x{S}y{S}z `q` {Star}(1) (2)");
  std::string name = MessageFileName("Re: a/b?", "<1234@example.org>");
  ASSERT_EQ(name.size(), std::string("Re; a{S}b{Q} ").size() + 8);
  EXPECT_EQ(name.substr(0, 13), "Re; a{S}b{Q} ");
  EXPECT_EQ(name.substr(13).find_first_not_of("0123456789ABCDEF"), std::string::npos);
  // Ids that end alike still give different names: messages never replace each other.
  EXPECT_NE(MessageFileName("Same", "<first.abcd>"), MessageFileName("Same", "<other.abcd>"));
  EXPECT_EQ(MessageFileName("Same", "<first.abcd>"), MessageFileName("Same", "<first.abcd>  "));
  // A long subject leaves room for the hash and an extension within a file name's 255 bytes.
  EXPECT_LE(MessageFileName(std::string(300, 'x'), "<id>").size() + 8, 255u);
}

TEST(HexString, PadsToEightOrToTheDigitsAsked) {
  EXPECT_EQ(HexString(0x1A2B, 0, true), "00001A2B");
  EXPECT_EQ(HexString(0xFFFFFFFFul, 0, true), "FFFFFFFF");
  EXPECT_EQ(HexString(255, 4, false), "00FF");
  EXPECT_EQ(HexString(255, 0, false), "FF");
}

TEST(ReplaceText, ReplacesEveryOccurrence) {
  std::string s = "a-b-c";
  ReplaceText(s, "-", "--", false);
  EXPECT_EQ(s, "a--b--c");
  s = "Abc abc";
  ReplaceText(s, "ABC", "x", true);
  EXPECT_EQ(s, "x x");
  s = "Abc abc";
  ReplaceText(s, "ABC", "x", false);
  EXPECT_EQ(s, "Abc abc");
  s = "   ";
  ReplaceText(s, "", "filled", false);
  EXPECT_EQ(s, "filled");
  s = "text";
  ReplaceText(s, "", "filled", false);
  EXPECT_EQ(s, "text");
}

}  // namespace
}  // namespace ov::pop
