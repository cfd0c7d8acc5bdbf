// The calendar: one page per month of a chosen span, a box for every day with the day's tasks
// (every occurrence, from the work file), and the "Print Calendar" settings dialog before it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ov::reports {

int PrintCalendarReport();
// "Print Calendar": months, years and category; OK sets RANGE, the CAT buffer (blank for all)
// and GLO.ReportOrder/ReportFilter, which stay blank when it is cancelled.
void SelectCalendarSettings();

// The grid of one month.
struct MonthGrid {
  int32_t first = 0, last = 0;  // the month's first and last day
  int dowOffset = 0;            // weekday of the first day, 0 = Sunday
  int weeks = 0;                // rows used, 4 to 6
  int boxHeight = 0;            // 6360 / weeks
};
MonthGrid monthGrid(int32_t anyDayOfMonth);
// The grid row (1..6) and column (1 = Sunday .. 7) of a day of the month.
int gridRow(const MonthGrid& g, int32_t date);
int gridColumn(int32_t date);

// The answers of the settings dialog and its corrections.
struct CalendarChoice {
  std::string fromMonth, fromYear, toMonth, toYear;  // "March", "2026"
  bool allCategories = true;
  std::string category;

  enum class Changed { FromMonth, FromYear, ToMonth, ToYear };
  // Keeps the span from running backwards after one of the four was changed.
  void correct(Changed changed);
  // The range of whole months: day 1 of the first month to the last day of the last.
  int32_t rangeFrom() const;
  int32_t rangeTo() const;
};
// The years the dialog offers: five before the current year to five after it.
std::vector<std::string> calendarYears(int32_t today);

}  // namespace ov::reports
