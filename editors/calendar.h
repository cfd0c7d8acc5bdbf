// Calendar: the main program's modal month-grid date picker, and the grid it shows.
//
// Calendar(date, mode, title) answers the chosen date, or `date` when the user cancels. With a
// mode other than "None" the days on which the task in the SCHEDULE record buffer cannot run
// (IsValidScheduleDate) are offered disabled. A blank title gives "Select Date", or, in a
// restricting mode with a task whose schedule type is not blank, that schedule type.
//
// The picker's years run from 1801 to 2099: stepping a year or a month past either end wraps to
// the other end, so no grid ever holds a day before the first day the calendar can number.
//
// Threading: GUI thread only; runs on the caller's logical thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ov::editors {

constexpr int kFirstCalendarYear = 1801;
constexpr int kLastCalendarYear = 2099;
constexpr int kCalendarButtons = 42;  // six rows of seven, Sunday first

struct CalendarCell {
  int day = 0;            // day of the month; 0: the button has no text
  int32_t date = 0;       // its day number; 0 without a day
  bool shown = true;
  bool enabled = false;
};

// The 42 buttons of `month`/`year`: the first day on the column of its weekday, the days in
// turn, enabled unless `allowed` (when given) rejects them; buttons before the first day and
// after the last one hidden.
std::array<CalendarCell, kCalendarButtons> monthGrid(int month, int year,
                                                     const std::function<bool(int32_t)>& allowed = {});

// "March 2026": the month's long name and the year.
std::string monthHeading(int month, int year);

// The navigation buttons' steps, wrapping 1801 <-> 2099 (see above).
void stepYear(int& year, int delta);
void stepMonth(int& month, int& year, int delta);

int32_t Calendar(int32_t date, std::string_view mode, std::string_view title);

}  // namespace ov::editors
