// Easter Sunday against known years and against python-dateutil's Gregorian Easter, and the
// holiday form's rule for holidays that move with Easter.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "dialogs/easter.h"
#include "platform/rt/date_time.h"

using ov::rt::DATE;
using ov::dialogs::EasterDate;
using ov::dialogs::easterRelativeDate;

namespace {

TEST(EasterDate, KnownYears) {
  // Checked with dateutil.easter.easter (EASTER_WESTERN).
  struct Year { int year, month, day; };
  const Year kYears[] = {
      {1801, 4, 5},  {1818, 3, 22}, {1900, 4, 15}, {1954, 4, 18}, {1961, 4, 2},  {2000, 4, 23},
      {2008, 3, 23}, {2011, 4, 24}, {2019, 4, 21}, {2024, 3, 31}, {2025, 4, 20}, {2038, 4, 25},
      {2049, 4, 18}, {2099, 4, 12}, {2100, 3, 28}, {2285, 3, 22},
  };
  for (const Year& y : kYears) {
    SCOPED_TRACE(y.year);
    EXPECT_EQ(EasterDate(y.year), DATE(y.month, y.day, y.year));
  }
}

TEST(EasterDate, AgreesWithDateutilEveryYear) {
  FILE* p = ::popen(
      "/usr/bin/python3 -c 'from dateutil.easter import easter\n"
      "for y in range(1801, 3001): d = easter(y); print(y, d.month, d.day)' 2>/dev/null",
      "r");
  ASSERT_NE(p, nullptr);
  std::map<int, std::pair<int, int>> oracle;
  int y = 0, m = 0, d = 0;
  while (std::fscanf(p, "%d %d %d", &y, &m, &d) == 3) oracle[y] = {m, d};
  const int status = ::pclose(p);
  if (oracle.empty()) GTEST_SKIP() << "python3-dateutil is not installed (status " << status << ")";
  ASSERT_EQ(oracle.size(), 1200u);
  for (const auto& [year, md] : oracle)
    ASSERT_EQ(EasterDate(year), DATE(md.first, md.second, year)) << "year " << year;
}

TEST(EasterRule, PlacesHolidaysRelativeToTheComingEaster) {
  const int32_t today = DATE(1, 10, 2025);    // Easter 2025: 20 April
  const int32_t easter = DATE(4, 20, 2025);
  struct Case { const char* name; int32_t date; const char* description; int32_t want; };
  const Case kCases[] = {
      {"Good Friday long before", DATE(4, 7, 2023), "Good Friday", easter - 2},
      {"Good Friday near: still moved", easter - 10, "good friday", easter - 2},
      {"Easter Monday", 0, "Easter Monday", easter + 1},
      {"a holiday named Easter always takes Easter Sunday", easter + 5, "EASTER", easter},
      {"other name, empty date", 0, "Palm Sunday", easter},
      {"other name, date 30 days before stays", easter - 30, "Ascension", easter - 30},
      {"other name, date 31 days before moves", easter - 31, "Ascension", easter},
      {"other name, date 39 days after stays", easter + 39, "Ascension", easter + 39},
      {"leading blank prevents the match", 0, " Good Friday", easter},
      {"trailing blanks ignored", 0, "Easter Monday   ", easter + 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(easterRelativeDate(c.date, c.description, today), c.want);
  }
}

TEST(EasterRule, EasterSundayIsThisYearsOneDayLaterNextYears) {
  EXPECT_EQ(easterRelativeDate(0, "Easter", DATE(4, 20, 2025)), DATE(4, 20, 2025));
  EXPECT_EQ(easterRelativeDate(0, "Easter", DATE(4, 21, 2025)), DATE(4, 5, 2026));
  EXPECT_EQ(easterRelativeDate(0, "Good Friday", DATE(4, 21, 2025)), DATE(4, 3, 2026));
  // Across the year's end: on 31 December the coming Easter is next year's.
  EXPECT_EQ(easterRelativeDate(0, "Easter Monday", DATE(12, 31, 2025)), DATE(4, 6, 2026));
}

}  // namespace
