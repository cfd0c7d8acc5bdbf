// The upkeep of the holiday table: the common holidays are added once per data folder (the
// setting "DEFHOL" then holds "Y"), and every holiday whose date has passed moves on to its next
// date by its kind, or goes when it happens only once:
//
//   "Annual"        the same month and day in the following year
//   "Day of Month"  the same weekday in the same week of the month in the following year; a
//                   holiday in the fifth week (days 29 to 31) is on the last such weekday
//   "Easter"        the same distance from Easter Sunday in the following year
//   "Once"          deleted
//   anything else   rolled as "Annual", and its kind rewritten to "Annual"
//
// A holiday several years back moves on until it lies today or later, all in one run.
//
// Threading: the frame's thread (the HOL record buffer is shared with the holiday windows; it is
// given back as it was).
#pragma once

#include <cstdint>
#include <string_view>

namespace ov::dialogs {

// Adds the defaults when "DEFHOL" is blank, then rolls the past holidays forward.
void InitDefaultHolidays();
// Adds the defaults of the current year and stores "DEFHOL" = "Y".
void FillDefaultHolidays();
// Inserts one holiday; the caller has HOLIDAYS open. A refused insert is passed over.
void AddDefaultHoliday(int32_t date, std::string_view kind, std::string_view name);

// The default Victoria Day: a "Day of Month" holiday that is the Monday before 25 May, which no
// fixed week of the month holds (18 May 1998, 24 May 2027).
constexpr std::string_view kVictoriaDay = "Victoria Day (Canada)";

// The default Memorial Day: the last Monday of May, which is the fourth Monday in some years and the
// fifth in others, so the week of its last date does not tell the next one (25 May 2026, 31 May 2027).
constexpr std::string_view kMemorialDay = "Memorial Day (U.S.)";

// The date a holiday of `kind` on `date` moves to one year on (the kinds above; "Once" and
// unknown kinds as "Annual"). `name` tells the default Victoria Day and Memorial Day
// from other holidays.
int32_t nextHolidayDate(int32_t date, std::string_view kind, std::string_view name = {});

}  // namespace ov::dialogs
