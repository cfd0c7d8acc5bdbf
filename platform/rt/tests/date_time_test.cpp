#include "platform/rt/date_time.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace ov::rt;

namespace {

std::string iso(int32_t d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", YEAR(d), MONTH(d), DAY(d));
  return buf;
}

struct Carry {
  const char* name;
  int m, d, y;
  const char* want;
};
const Carry kCarry[] = {
    {"plain date", 6, 15, 2024, "2024-06-15"},
    {"month 13 rolls into January", 13, 1, 2023, "2024-01-01"},
    {"month 0 is December before", 0, 10, 2023, "2022-12-10"},
    {"month -1 is November before", -1, 10, 2023, "2022-11-10"},
    {"31 February is 3 March", 2, 31, 2023, "2023-03-03"},
    {"31 February in a leap year is 2 March", 2, 31, 2024, "2024-03-02"},
    {"29 February, no leap year", 2, 29, 2023, "2023-03-01"},
    {"29 February 2000 exists", 2, 29, 2000, "2000-02-29"},
    {"29 February 1900 does not", 2, 29, 1900, "1900-03-01"},
    {"day 0 is the last of the month before", 3, 0, 2024, "2024-02-29"},
    {"day 32 of December rolls the year", 12, 32, 2023, "2024-01-01"},
    {"month 25 is two years on", 25, 1, 2020, "2022-01-01"},
    {"first valid date", 1, 1, 1801, "1801-01-01"},
    {"last valid date", 12, 31, 9999, "9999-12-31"},
};

// Initialised before main(), possibly before date_time.cpp's own globals.
const int32_t kNewYear2000 = DATE(1, 1, 2000);

}  // namespace

TEST(Date, GlobalsMayCallDateInTheirInitialisers) { EXPECT_EQ(kNewYear2000, 72687); }

TEST(Date, CarriesOutOfRangeValues) {
  for (const Carry& c : kCarry) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(iso(DATE(c.m, c.d, c.y)), c.want);
  }
}

TEST(Date, DayNumbersAndWeekdays) {
  EXPECT_EQ(DATE(1, 1, 1801), 4);
  EXPECT_EQ(DATE(12, 31, 9999), kLastDate);
  EXPECT_EQ(weekday(DATE(1, 1, 1801)), 4);   // a Thursday
  EXPECT_EQ(weekday(DATE(12, 10, 2026)), 4); // a Thursday
  EXPECT_EQ(weekday(DATE(2, 29, 2000)), 2);  // a Tuesday
  EXPECT_EQ(weekday(DATE(1, 1, 2023)), 0);   // a Sunday
}

TEST(Date, OutsideTheRangeIsZero) {
  EXPECT_EQ(DATE(12, 31, 1800), 0);
  EXPECT_EQ(DATE(1, 1, 10000), 0);
  EXPECT_EQ(DAY(0), 0);
  EXPECT_EQ(MONTH(kLastDate + 1), 0);
  EXPECT_EQ(YEAR(3), 0);
}

TEST(Date, MonthLengths) {
  EXPECT_EQ(daysInMonth(2, 2024), 29);
  EXPECT_EQ(daysInMonth(2, 2100), 28);
  EXPECT_EQ(daysInMonth(2, 2400), 29);
  EXPECT_EQ(daysInMonth(4, 2023), 30);
  EXPECT_EQ(daysInMonth(13, 2023), 0);
}

TEST(Clock, TestClockIsSetAndAdvanced) {
  setTestClock(DATE(12, 31, 2025), 8640000 - 99);  // 23:59:59.00
  EXPECT_EQ(TODAY(), DATE(12, 31, 2025));
  EXPECT_EQ(CLOCK(), 8640000 - 99);
  advanceTestClock(100);  // one second: past midnight
  EXPECT_EQ(TODAY(), DATE(1, 1, 2026));
  EXPECT_EQ(CLOCK(), 1);
  clearTestClock();
  EXPECT_FALSE(hasTestClock());
  EXPECT_GE(CLOCK(), 1);
  EXPECT_LE(CLOCK(), kCentisecondsPerDay);
}

TEST(Clock, UnixTimeRoundTrip) {
  int32_t d = DATE(7, 4, 2021), t = 13 * 360000 + 5 * 6000 + 7 * 100 + 1;
  int32_t d2, t2;
  fromUnixTime(toUnixTime(d, t), d2, t2);
  EXPECT_EQ(d2, d);
  EXPECT_EQ(t2, t);
}
