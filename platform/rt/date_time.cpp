#include "date_time.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>

namespace ov::rt {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int32_t& y, int32_t& m, int32_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int32_t>(yoe + era * 400 + (m <= 2));
}

// Day number 4 is 1 January 1801. A constant, so that globals of other files may call DATE()
// in their initialisers.
constexpr int64_t kEpochOffset = daysFromCivil(1801, 1, 1) - 4;

struct TestClock {
  std::mutex mutex;
  bool active = false;
  int64_t centis = 0;  // centiseconds since day 0, midnight
};
TestClock& testClock() {
  static TestClock clock;
  return clock;
}

}  // namespace

bool isLeapYear(int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int32_t daysInMonth(int32_t m, int32_t y) {
  static const int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12) return 0;
  return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

int32_t DATE(int32_t month, int32_t day, int32_t year) {
  int64_t m0 = static_cast<int64_t>(month) - 1;
  int64_t y = year + (m0 >= 0 ? m0 / 12 : (m0 - 11) / 12);
  m0 = ((m0 % 12) + 12) % 12;
  if (y < 1700 || y > 10100) return 0;
  int64_t n = daysFromCivil(y, m0 + 1, 1) + day - 1 - kEpochOffset;
  if (n < kFirstDate || n > kLastDate) return 0;
  return static_cast<int32_t>(n);
}

int32_t DAY(int32_t date) {
  if (date < kFirstDate || date > kLastDate) return 0;
  int32_t y, m, d;
  civilFromDays(date + kEpochOffset, y, m, d);
  return d;
}

int32_t MONTH(int32_t date) {
  if (date < kFirstDate || date > kLastDate) return 0;
  int32_t y, m, d;
  civilFromDays(date + kEpochOffset, y, m, d);
  return m;
}

int32_t YEAR(int32_t date) {
  if (date < kFirstDate || date > kLastDate) return 0;
  int32_t y, m, d;
  civilFromDays(date + kEpochOffset, y, m, d);
  return y;
}

int64_t toUnixTime(int32_t date, int32_t time) {
  std::tm tm{};
  tm.tm_year = YEAR(date) - 1900;
  tm.tm_mon = MONTH(date) - 1;
  tm.tm_mday = DAY(date);
  int32_t secs = time > 0 ? (time - 1) / 100 : 0;
  tm.tm_hour = secs / 3600;
  tm.tm_min = secs / 60 % 60;
  tm.tm_sec = secs % 60;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

void fromUnixTime(int64_t seconds, int32_t& date, int32_t& time) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  date = DATE(tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900);
  time = (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) * 100 + 1;
}

namespace {
void now(int32_t& date, int32_t& time) {
  TestClock& tc = testClock();
  {
    std::lock_guard lock(tc.mutex);
    if (tc.active) {
      date = static_cast<int32_t>(tc.centis / kCentisecondsPerDay);
      time = static_cast<int32_t>(tc.centis % kCentisecondsPerDay) + 1;
      return;
    }
  }
  using namespace std::chrono;
  auto sinceEpoch = system_clock::now().time_since_epoch();
  int64_t ms = duration_cast<milliseconds>(sinceEpoch).count();
  fromUnixTime(ms / 1000, date, time);
  time += static_cast<int32_t>(ms % 1000 / 10);
}
}  // namespace

int32_t TODAY() {
  int32_t d, t;
  now(d, t);
  return d;
}

int32_t CLOCK() {
  int32_t d, t;
  now(d, t);
  return t;
}

void setTestClock(int32_t date, int32_t time) {
  TestClock& tc = testClock();
  std::lock_guard lock(tc.mutex);
  tc.active = true;
  tc.centis = static_cast<int64_t>(date) * kCentisecondsPerDay + (time > 0 ? time - 1 : 0);
}

void advanceTestClock(int64_t centiseconds) {
  TestClock& tc = testClock();
  std::lock_guard lock(tc.mutex);
  tc.centis += centiseconds;
}

void clearTestClock() {
  TestClock& tc = testClock();
  std::lock_guard lock(tc.mutex);
  tc.active = false;
}

bool hasTestClock() {
  TestClock& tc = testClock();
  std::lock_guard lock(tc.mutex);
  return tc.active;
}

}  // namespace ov::rt
