#include "dialogs/easter.h"

#include <string>

#include "platform/rt/date_time.h"
#include "platform/rt/text.h"

namespace ov::dialogs {

namespace {
int32_t mod(int32_t a, int32_t b) { return ((a % b) + b) % b; }
}  // namespace

int32_t EasterDate(int32_t y) {
  const int32_t g = mod(y, 19) + 1;            // golden number
  const int32_t c = y / 100 + 1;               // century
  const int32_t x = 3 * c / 4 - 12;            // skipped leap years
  const int32_t z = (8 * c + 5) / 25 - 5;      // the moon's orbit
  const int32_t d = 5 * y / 4 - x - 10;        // March's Sunday offset
  int32_t e = mod(11 * g + 20 + z - x, 30);    // epact
  if ((e == 25 && g > 11) || e == 24) ++e;
  int32_t n = 44 - e;                          // full moon, as a day of March
  if (n < 21) n += 30;
  n = n + 7 - mod(d + n, 7);                   // the Sunday after it
  return n > 31 ? rt::DATE(4, n - 31, y) : rt::DATE(3, n, y);
}

int32_t easterRelativeDate(int32_t date, std::string_view description, int32_t today) {
  int32_t easter = EasterDate(rt::YEAR(today));
  if (easter < today) easter = EasterDate(rt::YEAR(today) + 1);
  const std::string name = rt::CLIP(rt::UPPER(description));
  if (date < easter - 30 || name == "EASTER") date = easter;
  if (name == "GOOD FRIDAY") date = easter - 2;
  if (name == "EASTER MONDAY") date = easter + 1;
  return date;
}

}  // namespace ov::dialogs
