#include "platform/rt/picture.h"

#include <gtest/gtest.h>

#include "platform/rt/date_time.h"

using namespace ov::rt;

namespace {

// Fixes the clock (two-digit years read relative to it) and the system forms for one test.
class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = systemFormats();
    setTestClock(DATE(6, 15, 2025), 1);
    setSystemFormats({"M/d/yyyy", "dddd, MMMM d, yyyy", "h:mm AP", "h:mm:ss AP"});
  }
  void TearDown() override {
    setSystemFormats(m_saved);
    clearTestClock();
  }
  SystemFormats m_saved;
};

const double kOct31 = DATE(10, 31, 1959);  // a Saturday
const double kJan5 = DATE(1, 5, 2004);     // a Monday

double hms(int h, int m, int s) { return h * 360000 + m * 6000 + s * 100 + 1; }
double day(int m, int d, int y) { return DATE(m, d, y); }

struct Fmt {
  const char* picture;
  double value;
  const char* want;
};

const Fmt kDates[] = {
    {"@d1", kOct31, "10/31/59"},        {"@d1", kJan5, " 1/05/04"},        {"@d01", kJan5, "01/05/04"},
    {"@d2", kJan5, " 1/05/2004"},       {"@d3", kOct31, "OCT 31,1959"},    {"@d3", kJan5, "JAN  5,2004"},
    {"@d4", kJan5, "January 5, 2004"},  {"@d04", kJan5, "January 05, 2004"},
    {"@d5", kJan5, " 5/01/04"},         {"D05-", kJan5, "05-01-04"},       {"@d6", kOct31, "31/10/1959"},
    {"@d7", kJan5, " 5 JAN 04"},        {"@d08", kJan5, "05 JAN 2004"},    {"@d8-", kOct31, "31-OCT-1959"},
    {"@d9", kJan5, "04/01/05"},         {"D10-", kJan5, "2004-01-05"},     {"@d11", kJan5, "040105"},
    {"@d12", kJan5, "20040105"},        {"@d13", kJan5, " 1/04"},          {"@d14", kJan5, " 1/2004"},
    {"@d15", kJan5, "04/01"},           {"@d16", kJan5, "2004/01"},        {"@d1.", kOct31, "10.31.59"},
    {"@d1_", kOct31, "10 31 59"},       {"@d1`", kOct31, "10,31,59"},      {"D01-", kJan5, "01-05-04"},
    {"@d17", kJan5, "1/5/2004"},        {"@D18", kJan5, "Monday, January 5, 2004"},
    {"d7    ", kOct31, "31 OCT 59"},    {"@D2", day(2, 29, 2000), " 2/29/2000"},
    {"@d10", kLastDate, "9999/12/31"},  {"@d10", kFirstDate, "1801/01/01"},
    {"@d2b", 0, ""},                    {"@d2", 0, ""},                    {"@d17b", 0, ""},
    {"@d2", kLastDate + 1, ""},         {"@d3>70", kOct31, "OCT 31,1959"},
};

const Fmt kTimes[] = {
    {"@t1", hms(17, 30, 5), "17:30"},      {"@t1", hms(9, 5, 0), " 9:05"},     {"@t01", hms(9, 5, 0), "09:05"},
    {"@t2", hms(17, 30, 5), "1730"},       {"@t2", hms(9, 5, 0), " 905"},      {"@t3", hms(17, 30, 5), " 5:30PM"},
    {"@t3", hms(9, 5, 0), " 9:05AM"},      {"@t3", 1, "12:00AM"},              {"@t3", hms(12, 0, 0), "12:00PM"},
    {"@t03b", hms(9, 5, 0), "09:05AM"},    {"@t4", hms(17, 30, 5), "17:30:05"}, {"@t5", hms(9, 5, 0), " 90500"},
    {"t05", hms(9, 5, 0), "090500"},       {"@t6", hms(17, 30, 5), " 5:30:05PM"},
    {"@t06b", hms(0, 0, 7), "12:00:07AM"}, {"@t1.", hms(17, 30, 5), "17.30"},
    {"@t7", hms(17, 30, 5), "5:30 PM"},    {"@t8", hms(17, 30, 5), "5:30:05 PM"}, {"t7b", 0, ""},
    {"@t1", 0, " 0:00"},                   {"@t4", kCentisecondsPerDay, "23:59:59"},
    {"@t1", kCentisecondsPerDay + hms(17, 30, 5), "17:30"},
};

const Fmt kNumbers[] = {
    {"@n3", 5, "  5"},               {"@n3", 1000, "###"},             {"@n6", 1234, " 1,234"},
    {"@n_6", 1234, "  1234"},        {"n08", 1234, "00001234"},        {"n08", -12, "-0000012"},
    {"@n-2b", -5, "-5"},             {"@n-2b", 0, ""},                 {"@n-2b", 5, " 5"},
    {"@n2", -5, "-5"},               {"n-13", 1, "            1"},    {"N10B", 0, ""},
    {"N10B", 1234567, " 1,234,567"}, {"@n1b", 0, ""},                  {"@n3", 0, "  0"},
    {"@n3", 2.5, "  3"},             {"@N10.2", 1234.5, "  1,234.50"}, {"@N10.2", -1234.5, " -1,234.50"},
    {"@N(10.2)", -1234.5, "(1,234.50)"},                               {"@N(10.2)", 1234.5, "  1,234.50"},
    {"@N10.2-", -1234.5, " 1,234.50-"},                                {"@N$10.2", 1234.5, " $1,234.50"},
    {"@N14.2~ EUR~", 1234.5, "  1,234.50 EUR"},                        {"@N12.`2", 1234567.891, "1.234.567,89"},
    {"@N9_", 4550000, "4 550 000"}, {"@N6v2", 12.34, "  1234"},        {"@N*8", 1234, "***1,234"},
    {"@N30.9", 1.5, "                   1.500000000"},                 {"@N5.2", 2.345, " 2.35"},
    {"@N6.2", -0.004, "  0.00"},     {"@N6.2B", 0.004, ""},           {"@N", -1234.5, "-1,235"},
    {"@N.2", 0.5, "0.50"},
};

const Fmt kPatterns[] = {
    {"@P(###)###-####P", 5551234567.0, "(555)123-4567"},
    {"@pPage <<<#p", 5, "Page    5"},
    {"@pPage <<<#p", 1234, "Page 1234"},
    {"@pPage <<<#p", 12345, "Page ####"},
    {"@p#pb", 1, "1"},
    {"@p#pb", 0, ""},
    {"@P###-##P", 12, "000-12"},
    {"@P<<#P", 0, "  0"},
};

void checkAll(const Fmt* begin, const Fmt* end) {
  for (const Fmt* c = begin; c != end; ++c) {
    SCOPED_TRACE(std::string(c->picture) + " of " + std::to_string(c->value));
    EXPECT_EQ(FORMAT(c->value, c->picture), c->want);
  }
}

}  // namespace

TEST_F(PictureTest, FormatsDates) { checkAll(std::begin(kDates), std::end(kDates)); }
TEST_F(PictureTest, FormatsTimes) { checkAll(std::begin(kTimes), std::end(kTimes)); }
TEST_F(PictureTest, FormatsNumbers) { checkAll(std::begin(kNumbers), std::end(kNumbers)); }
TEST_F(PictureTest, FormatsPatterns) { checkAll(std::begin(kPatterns), std::end(kPatterns)); }

TEST_F(PictureTest, FormatsStrings) {
  EXPECT_EQ(FORMAT("abc", "@s5"), "abc  ");
  EXPECT_EQ(FORMAT("abcdef", "@S3"), "abc");
  EXPECT_EQ(FORMAT("abc\xc3\xa9", "@s4"), "abc ");  // "é" does not fit whole: dropped
  EXPECT_EQ(FORMAT(12.5, "@s6"), "12.5  ");
  EXPECT_EQ(FORMAT("as is", "@s"), "as is");
  EXPECT_EQ(FORMAT(0, "@n3"), "  0");  // a literal 0 is a number, not a null text
  EXPECT_EQ(FORMAT(int32_t{58015}, "@d1"), "10/31/59");
  EXPECT_EQ(FORMAT(uint8_t{7}, "@n02"), "07");
  // A text given to other pictures is read as a number; a text of digits keeps its leading zeros
  // in a pattern.
  EXPECT_EQ(FORMAT("1234.5", "@N10.2"), "  1,234.50");
  EXPECT_EQ(FORMAT("0123456789", "@P(###)###-####P"), "(012)345-6789");
}

TEST_F(PictureTest, OtherSystemForms) {
  setSystemFormats({"dd.MM.yyyy", "dddd, d. MMMM yyyy", "HH:mm", "HH:mm:ss"});
  EXPECT_EQ(FORMAT(kJan5, "@d17"), "05.01.2004");
  EXPECT_EQ(FORMAT(kJan5, "@d18"), "Monday, 5. January 2004");
  EXPECT_EQ(FORMAT(hms(17, 30, 5), "@t7"), "17:30");
  EXPECT_EQ(DEFORMAT("05.01.2004", "@d17"), "74152");
  EXPECT_EQ(deformatValue("5.1.04", "@d17"), kJan5);
  setSystemFormats({"yyyy-MM-dd", "'Day' d 'of' MMMM yyyy", "hh:mm tt", "hh:mm:ss tt"});
  EXPECT_EQ(FORMAT(kJan5, "@d17"), "2004-01-05");
  EXPECT_EQ(FORMAT(kJan5, "@d18"), "Day 5 of January 2004");
  EXPECT_EQ(FORMAT(hms(7, 3, 0), "@t7"), "07:03 AM");
  EXPECT_EQ(deformatValue("2004-01-05", "@d17"), kJan5);
}

TEST(SystemForms, FromTheCLocale) {
  SystemFormats c = systemFormatsFromLocale("C");
  EXPECT_EQ(c.shortDate, "MM/dd/yy");
  EXPECT_EQ(c.longDate, "dddd, MMMM d, yyyy");
  EXPECT_EQ(c.shortTime, "HH:mm");
  EXPECT_EQ(c.longTime, "HH:mm:ss");
  SystemFormats missing = systemFormatsFromLocale("xx_NOWHERE.UTF-8");
  EXPECT_EQ(missing.shortDate, c.shortDate);
  EXPECT_EQ(missing.longTime, c.longTime);
}

struct Read {
  const char* text;
  const char* picture;
  double want;
};

const Read kReadDates[] = {
    {"10/31/59", "@d1", kOct31},                 {" 1/05/2004", "@d2", kJan5},
    {"1-5-2004", "@d2", kJan5},                  {"10/31/45", "@d1", day(10, 31, 2045)},
    {"10/31/46", "@d1", day(10, 31, 1946)},     {"OCT 31,1959", "@d3", kOct31},
    {"october 31, 1959", "@d4", kOct31},         {"31 Oct 1959", "@d8", kOct31},
    {"31/10/1959", "@d6", kOct31},               {"1959/10/31", "@d10", kOct31},
    {"591031", "@d11", kOct31},                  {"19591031", "@d12", kOct31},
    {"10/1959", "@d14", day(10, 1, 1959)},      {"Saturday, October 31, 1959", "@d18", kOct31},
    {"1/5/2004", "d17", kJan5},                  {"Jan 5 2004", "@d2", kJan5},
    {"", "@d2", 0},                              {"hello", "@d2", 0},
    {"2/30/2024", "@d2", 0},                     {"13/01/2024", "@d2", 0},
    {"10/31", "@d2", 0},                         {"1/1/1800", "@d2", 0},
    {"1/2/3/4", "@d2", 0},                       {"99999999999/1/1", "@d2", 0},
    {"12/31/9999", "@d2", kLastDate},            {"Foo 5, 2004", "@d3", 0},
};

const Read kReadTimes[] = {
    {"17:30", "@t1", hms(17, 30, 0)},       {"5:30PM", "@t3", hms(17, 30, 0)},
    {"5:30 pm", "@t3", hms(17, 30, 0)},     {"12:00AM", "@t3", 1},
    {"12:00 PM", "@t3", hms(12, 0, 0)},     {"1730", "@t2", hms(17, 30, 0)},
    {"173005", "@t5", hms(17, 30, 5)},      {"17:30:05", "@t4", hms(17, 30, 5)},
    {"0:00", "@t1", 1},                     {"9", "@t1", hms(9, 0, 0)},
    {"5:30:05 p.m.", "@t8", hms(17, 30, 5)},
    {"25:00", "@t1", 0},                    {"17:60", "@t1", 0},
    {"13:00PM", "@t3", 0},                  {"abc", "@t1", 0},
    {"", "@t1", 0},                         {"1:2:3:4", "@t4", 0},
    {"PM", "@t3", 0},
};

const Read kReadNumbers[] = {
    {"1,234.50", "@N10.2", 1234.5},          {"(1,234.50)", "@N(10.2)", -1234.5},
    {"1,234.50-", "@N10.2-", -1234.5},       {"1.234.567,89", "@N12.`2", 1234567.89},
    {"  1234", "@N6v2", 12.34},              {" $1,234.50", "@N$10.2", 1234.5},
    {"-5", "@n-2b", -5},                     {"abc", "@n6", 0},
    {"", "@N10.2", 0},                       {"1.2.3", "@N10.2", 1.23},
};

void checkReads(const Read* begin, const Read* end) {
  for (const Read* c = begin; c != end; ++c) {
    SCOPED_TRACE(std::string(c->text) + " as " + c->picture);
    EXPECT_EQ(deformatValue(c->text, c->picture), c->want);
  }
}

TEST_F(PictureTest, DeformatsDates) { checkReads(std::begin(kReadDates), std::end(kReadDates)); }
TEST_F(PictureTest, DeformatsTimes) { checkReads(std::begin(kReadTimes), std::end(kReadTimes)); }
TEST_F(PictureTest, DeformatsNumbers) { checkReads(std::begin(kReadNumbers), std::end(kReadNumbers)); }

TEST_F(PictureTest, DeformatAsText) {
  EXPECT_EQ(DEFORMAT("10/31/59", "@d1"), "58015");
  EXPECT_EQ(DEFORMAT("hello", "@d2"), "0");
  EXPECT_EQ(DEFORMAT("nonsense", "@t3"), "0");
  EXPECT_EQ(DEFORMAT("1,234.50", "@N10.2"), "1234.5");
  EXPECT_EQ(DEFORMAT("(555)123-4567", "@P(###)###-####P"), "5551234567");
  EXPECT_EQ(DEFORMAT("Page   12", "@pPage <<<#p"), "12");
  EXPECT_EQ(DEFORMAT("no digits", "@P###P"), "");
  EXPECT_EQ(DEFORMAT("  text  ", "@s20"), "  text  ");
  EXPECT_EQ(deformatValue("Page   12", "@pPage <<<#p"), 12);
}

TEST_F(PictureTest, RoundTrips) {
  const int32_t dates[] = {kFirstDate, DATE(2, 29, 2000), DATE(10, 31, 1959), DATE(1, 5, 2004), DATE(12, 31, 2044), kLastDate};
  for (int n = 1; n <= 18; ++n) {
    for (int32_t d : dates) {
      std::string pic = "@d" + std::to_string(n);
      bool twoDigitYear = n == 1 || n == 5 || n == 7 || n == 9 || n == 11 || n == 13 || n == 15;
      int year = YEAR(d);
      if (twoDigitYear && (year <= 1945 || year > 2045)) continue;  // outside the window
      int32_t want = (n >= 13 && n <= 16) ? DATE(MONTH(d), 1, year) : d;
      SCOPED_TRACE(pic + " " + FORMAT(d, pic));
      EXPECT_EQ(deformatValue(FORMAT(d, pic), pic), want);
    }
  }
  const double times[] = {1, hms(0, 0, 59), hms(9, 5, 0), hms(12, 0, 0), hms(23, 59, 59)};
  for (int n = 1; n <= 8; ++n) {
    for (double t : times) {
      std::string pic = "@t" + std::to_string(n);
      bool minutes = n == 1 || n == 2 || n == 3 || n == 7;
      double want = minutes ? static_cast<int>(t - 1) / 6000 * 6000 + 1 : t;
      SCOPED_TRACE(pic + " " + FORMAT(t, pic));
      EXPECT_EQ(deformatValue(FORMAT(t, pic), pic), want);
    }
  }
  const char* numberPictures[] = {"@N12.2", "@N(12.2)", "@N12.2-", "@N14.`2", "@N$12.2", "@N012.2", "@N12v2"};
  for (const char* pic : numberPictures) {
    for (double v : {0.0, 1.25, -1234.56, 99999.99}) {
      SCOPED_TRACE(std::string(pic) + " " + FORMAT(v, pic));
      EXPECT_DOUBLE_EQ(deformatValue(FORMAT(v, pic), pic), v);
    }
  }
}

TEST(Picture, InvalidPicturesLoseNothing) {
  const char* invalid[] = {"@x5", "@d19", "@d0", "@t9", "@N(5", "@N5)", "@P###", "", "@", "@s12a", "@N-5-",
                           "@N~abc", "@N9999"};
  for (const char* pic : invalid) {
    SCOPED_TRACE(pic);
    EXPECT_EQ(pictureKind(pic), PictureKind::Invalid);
  }
  EXPECT_EQ(FORMAT(12, "@d19"), "12");
  EXPECT_EQ(FORMAT("text", "@q"), "text");
  EXPECT_EQ(DEFORMAT("abc", "@q"), "abc");
  EXPECT_EQ(pictureKind("d17b"), PictureKind::Date);
  EXPECT_EQ(pictureKind("@T06B"), PictureKind::Time);
  EXPECT_EQ(pictureKind("@S1000"), PictureKind::String);
  EXPECT_EQ(pictureKind("@p#pb"), PictureKind::Pattern);
  EXPECT_EQ(pictureKind("n-_6"), PictureKind::Number);
}
