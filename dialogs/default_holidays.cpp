#include "dialogs/default_holidays.h"

#include <string>
#include <vector>

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/records.h"
#include "dialogs/easter.h"
#include "platform/rt/date_time.h"
#include "platform/rt/text.h"

namespace ov::dialogs {

namespace {

using files::HOL;

bool isKind(std::string_view stored, std::string_view kind) {
  return rt::CLIP(stored.substr(0, 12)) == kind;
}

int32_t weekday(int32_t date) { return ((date % 7) + 7) % 7; }

}  // namespace

int32_t nextHolidayDate(int32_t date, std::string_view kind, std::string_view name) {
  const int32_t day = rt::DAY(date), month = rt::MONTH(date), year = rt::YEAR(date);
  if (isKind(kind, "Day of Month") && rt::CLIP(name) == kVictoriaDay) {
    // The Monday on or before 24 May, kept as a weekday of the month for the other programs.
    const int32_t last = rt::DATE(5, 24, year + 1);
    return last - (weekday(last) - 1 + 7) % 7;
  }
  if (isKind(kind, "Day of Month") && rt::CLIP(name) == kMemorialDay) {
    const int32_t last = rt::DATE(5, 31, year + 1);
    return last - (weekday(last) - 1 + 7) % 7;
  }
  if (isKind(kind, "Day of Month")) {
    const int32_t week = (day - 1) / 7;
    const int32_t first = rt::DATE(month, 7 * week + 1, year + 1);
    int32_t next = first + (weekday(date) - weekday(first) + 7) % 7;
    // The fifth week stands for the last such weekday: it never spills into the next month.
    if (week == 4) {
      while (rt::MONTH(next) != month) next -= 7;
    }
    return next;
  }
  if (isKind(kind, "Easter")) return EasterDate(year + 1) + (date - EasterDate(year));
  return rt::DATE(month, day, year + 1);
}

void AddDefaultHoliday(int32_t date, std::string_view kind, std::string_view name) {
  files::HOLIDAYS.clear();
  HOL.HolidayDate = date;
  HOL.Holiday = name;
  HOL.HolidayType = kind;
  (void)files::Access_HOLIDAYS.TryInsert();  // a refused default is passed over
}

void FillDefaultHolidays() {
  const int32_t year = rt::YEAR(rt::TODAY());
  const files::HolidayRec saved = HOL;
  if (files::Access_HOLIDAYS.Open() == rt::Err::None) {
    AddDefaultHoliday(rt::DATE(12, 25, year), "Annual", "Christmas Day");
    AddDefaultHoliday(rt::DATE(12, 24, year), "Annual", "Christmas Eve");
    AddDefaultHoliday(rt::DATE(1, 1, year + 1), "Annual", "New Year's Day");
    AddDefaultHoliday(rt::DATE(12, 31, year), "Annual", "New Year's Eve");
    AddDefaultHoliday(rt::DATE(7, 1, 1999), "Annual", "Canada Day (Canada)");
    AddDefaultHoliday(rt::DATE(7, 4, 1999), "Annual", "Independence Day (U.S.)");
    AddDefaultHoliday(rt::DATE(5, 18, 1998), "Day of Month", kVictoriaDay);
    // 31 May 1999 lies in the fifth week: the last Monday of May.
    AddDefaultHoliday(rt::DATE(5, 31, 1999), "Day of Month", kMemorialDay);
    AddDefaultHoliday(rt::DATE(9, 7, 1998), "Day of Month", "Labor Day/Labour Day");
    // Fixed dates, not weekdays of the month.
    AddDefaultHoliday(rt::DATE(11, 11, 1998), "Annual", "Veteran's Day (U.S.)");
    AddDefaultHoliday(rt::DATE(11, 11, 1998), "Annual", "Remembrance Day (Canada)");
    AddDefaultHoliday(rt::DATE(10, 12, 1998), "Day of Month", "Thanksgiving (Canada)");
    // The fourth Thursday of November.
    AddDefaultHoliday(rt::DATE(11, 26, 1998), "Day of Month", "Thanksgiving (U.S.)");
    const int32_t easter = EasterDate(year);
    AddDefaultHoliday(easter, "Easter", "Easter");
    AddDefaultHoliday(easter - 7, "Easter", "Palm Sunday");
    AddDefaultHoliday(easter - 2, "Easter", "Good Friday");
    AddDefaultHoliday(easter + 1, "Easter", "Easter Monday");
    (void)files::Access_HOLIDAYS.Close();
  }
  HOL = saved;
  files::PUTCONFIG("DEFHOL", "Y");
}

void InitDefaultHolidays() {
  if (files::GETCONFIG("DEFHOL").empty()) {
    FillDefaultHolidays();
    files::PUTCONFIG("DEFHOL", "Y");
  }
  const int32_t today = rt::TODAY();
  const files::HolidayRec saved = HOL;
  if (files::Access_HOLIDAYS.Open() != rt::Err::None) return;
  // The holidays before today, in date order; each is then fetched by its date (the key is
  // unique), moved on until it lies today or later, and stored once. A holiday that cannot be
  // stored (another holiday has its new date) stays where it is and the others go on.
  std::vector<int32_t> past;
  rt::Err err = files::HOLIDAYS.set(files::HOL_KeyHolidayDate);
  while (err == rt::Err::None && (err = files::HOLIDAYS.next()) == rt::Err::None && HOL.HolidayDate < today)
    past.push_back(HOL.HolidayDate);
  for (int32_t date : past) {
    files::HOLIDAYS.clear();
    HOL.HolidayDate = date;
    if (files::HOLIDAYS.get(files::HOL_KeyHolidayDate) != rt::Err::None) continue;
    if (isKind(HOL.HolidayType.view(), "Once")) {
      (void)files::HOLIDAYS.deleteRecord();  // a failure leaves it for the next run
      continue;
    }
    if (!isKind(HOL.HolidayType.view(), "Day of Month") && !isKind(HOL.HolidayType.view(), "Easter"))
      HOL.HolidayType = "Annual";
    while (HOL.HolidayDate < today) HOL.HolidayDate = nextHolidayDate(HOL.HolidayDate, HOL.HolidayType.view(), HOL.Holiday.view());
    (void)files::HOLIDAYS.put();  // see above
  }
  (void)files::Access_HOLIDAYS.Close();
  HOL = saved;
}

}  // namespace ov::dialogs
