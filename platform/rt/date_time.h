// Dates as day numbers and times as centiseconds, as the runtime keeps them.
//
// Day 4 is 1 January 1801 (so day 1 is 29 December 1800); the weekday is day % 7 with 0 = Sunday.
// Valid dates run to 31 December 9999; 0 means "no date". A time is centiseconds since midnight
// plus one: 1 is midnight, 8640000 the last centisecond of the day; 0 means "no time".
#pragma once

#include <cstdint>

namespace ov::rt {

constexpr int32_t kCentisecondsPerDay = 8640000;
constexpr int32_t kFirstDate = 4;        // 1 January 1801
constexpr int32_t kLastDate = 2994626;   // 31 December 9999

// DATE(m, d, y): a month above 12 or below 1 carries into the year; a day past the month's end
// carries into the next month (DATE(2, 31, 2023) is 3 March 2023), a day of 0 or less into the
// months before. Returns 0 when the result lies outside 1801..9999.
int32_t DATE(int32_t month, int32_t day, int32_t year);

// Parts of a day number; 0 for a date outside the valid range.
int32_t DAY(int32_t date);
int32_t MONTH(int32_t date);
int32_t YEAR(int32_t date);

// 0 = Sunday .. 6 = Saturday.
constexpr int32_t weekday(int32_t date) { return date % 7; }

bool isLeapYear(int32_t year);
int32_t daysInMonth(int32_t month, int32_t year);

// The one clock of the process. TODAY() is the day number of the current local date, CLOCK() the
// current local time in runtime units (1..8640000). Tests fix the moment with setTestClock and move
// it with advanceTestClock; clearTestClock returns to the system clock.
int32_t TODAY();
int32_t CLOCK();
void setTestClock(int32_t date, int32_t time);
void advanceTestClock(int64_t centiseconds);
void clearTestClock();
bool hasTestClock();

// Converts between runtime units and seconds since the Unix epoch in local time.
int64_t toUnixTime(int32_t date, int32_t time);
void fromUnixTime(int64_t seconds, int32_t& date, int32_t& time);

}  // namespace ov::rt
