#include "platform/rt/text.h"

#include <gtest/gtest.h>

using namespace ov::rt;

TEST(Text, ClipAndLeft) {
  EXPECT_EQ(CLIP("ab  "), "ab");
  EXPECT_EQ(CLIP(" a "), " a");
  EXPECT_EQ(CLIP("   "), "");
  EXPECT_EQ(LEFT("  ab"), "ab  ");
  EXPECT_EQ(LEFT("  ab", 3), "ab ");
  EXPECT_EQ(LEFT("  abcdef", 3), "abc");
  EXPECT_EQ(LEFT("abcdé", 5), "abcd ");  // the "é" would end at byte 6: dropped, not split
}

struct Slice {
  const char* name;
  const char* s;
  int start, length;
  const char* want;
};
const Slice kSub[] = {
    {"middle", "abcdef", 2, 3, "bcd"},
    {"negative start counts from the end", "abcdef", -2, 2, "ef"},
    {"length past the end is cut", "abcdef", 5, 10, "ef"},
    {"start 0", "abcdef", 0, 2, ""},
    {"start past the end", "abcdef", 7, 1, ""},
    {"zero length", "abcdef", 2, 0, ""},
    {"a whole two-byte character", "a\xc3\xa9 b", 2, 2, "\xc3\xa9"},
    {"end inside a character drops it", "a\xc3\xa9 b", 1, 2, "a"},
    {"start inside a character moves on", "a\xc3\xa9 b", 3, 3, " b"},
};

TEST(Text, SubIsOneBasedAndNeverSplitsACharacter) {
  for (const Slice& c : kSub) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SUB(c.s, c.start, c.length), c.want);
  }
  EXPECT_EQ(slice("OVEMAIL1234567890", 8, 15), "12345678");
  EXPECT_EQ(slice("abc", 2, 1), "");
}

struct Find {
  const char* name;
  const char* part;
  const char* s;
  int step, start, want;
};
const Find kInstring[] = {
    {"first position", "c", "abcabc", 1, 0, 3},
    {"from a start", "c", "abcabc", 1, 4, 6},
    {"not there", "x", "abcabc", 1, 0, 0},
    {"empty part", "", "abc", 1, 0, 0},
    {"part longer than the text", "abcd", "abc", 1, 0, 0},
    {"backwards from the end", "bc", "abcabc", -1, 0, 5},
    {"step 2 skips the even positions and counts steps", "ab", "xabxab", 2, 0, 3},
    {"step 0", "a", "abc", 0, 0, 0},
    {"exact case", "B", "abc", 1, 0, 0},
};

TEST(Text, InstringStepsAndStarts) {
  for (const Find& c : kInstring) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(INSTRING(c.part, c.s, c.step, c.start), c.want);
  }
  // The filter of the schedule list: case-insensitive substring of the description.
  EXPECT_GT(INSTRING(UPPER(CLIP("backup   ")), UPPER("Nightly Backup of data"), 1), 0);
}

struct Numeric {
  const char* text;
  bool numeric;
  double value;
};
const Numeric kNumbers[] = {
    {"12", true, 12},       {" -3.5 ", true, -3.5}, {".5", true, 0.5},    {"1e3", true, 1000},
    {"+7", true, 7},        {"5.", true, 5},        {"", false, 0},       {"   ", false, 0},
    {"12a", false, 0},      {"1.2.3", false, 0},    {"-", false, 0},      {".", false, 0},
    {"0x1A", false, 0},     {"inf", false, 0},      {"nan", false, 0},    {"1,000", false, 0},
    {"1e", false, 0},       {"- 5", false, 0},
};

TEST(Text, NumericAndTextToNumber) {
  for (const Numeric& c : kNumbers) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(NUMERIC(c.text), c.numeric);
    EXPECT_EQ(textToNumber(c.text), c.value);
  }
}

struct ToText {
  double value;
  int decimals;
  const char* want;
};
const ToText kToText[] = {
    {3, -1, "3"},         {-3, -1, "-3"},        {2.5, -1, "2.5"},       {0.1, -1, "0.1"},
    {1e15, -1, "1000000000000000"},              {-0.0, -1, "0"},        {2.345, 2, "2.35"},
    {1.005, 2, "1.01"},   {-0.004, 2, "0.00"},   {0.5, 0, "1"},          {-2.5, 0, "-3"},
    {9.995, 2, "10.00"},  {99.5, 0, "100"},      {7, 3, "7.000"},
};

TEST(Text, NumberToTextRoundsAsWritten) {
  for (const ToText& c : kToText) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(numberToText(c.value, c.decimals), c.want);
  }
}

TEST(Text, ChrAndVal) {
  EXPECT_EQ(CHR(65), "A");
  EXPECT_EQ(CHR(171), "\xc2\xab");  // the row separator of the query tables
  EXPECT_EQ(CHR(166), "\xc2\xa6");
  EXPECT_EQ(CHR(0), std::string(1, '\0'));
  EXPECT_EQ(CHR(-1), "");
  EXPECT_EQ(CHR(0x110000), "");
  EXPECT_EQ(VAL("A"), 65);
  EXPECT_EQ(VAL("\xc2\xab" "x"), 171);
  EXPECT_EQ(VAL(CHR(0x20AC)), 0x20AC);
  EXPECT_EQ(VAL("\xff"), 255);
  EXPECT_EQ(VAL(""), 0);
}

struct Wild {
  const char* text;
  const char* pattern;
  bool match;
};
const Wild kWild[] = {
    {"Untitled - Orvane", "*Orvane", true},
    {"orvane", "*ORVANE", true},
    {"report.txt", "*.TXT", true},
    {"a.txt.bak", "*.txt", false},
    {"abc", "a?c", true},
    {"ac", "a?c", false},
    {"", "*", true},
    {"x", "", false},
    {"\xc3\x89t\xc3\xa9", "?T?", true},  // "Été": "?" is one character, case ignored
    {"aXbXc", "a*b*c", true},
    {"abcbd", "a*bd", true},
    {"abcbe", "a*bd", false},
    {"abc", "abc*", true},
    {"ab", "abc", false},
};

TEST(Text, WildcardMatch) {
  for (const Wild& c : kWild) {
    SCOPED_TRACE(std::string(c.text) + " ~ " + c.pattern);
    EXPECT_EQ(wildcardMatch(c.text, c.pattern), c.match);
  }
}
