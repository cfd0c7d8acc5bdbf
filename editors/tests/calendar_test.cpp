// The date picker: the month grid (month ends, leap years, a month that needs six rows, the
// restricted days), the steps that wrap between 1801 and 2099, and the window driven offscreen.
#include <gtest/gtest.h>

#include <string>

#include "datalib/globals.h"
#include "datalib/records.h"
#include "editors/calendar.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"

using namespace ov;
using editors::monthGrid;
using editors::monthHeading;
using editors::stepMonth;
using editors::stepYear;
using rt::DATE;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

// Buttons are counted 1..42 from the top left, Sunday first. First weekdays checked with Python's
// datetime.date(y, m, 1).weekday().
TEST(MonthGrid, PlacesTheDaysAndHidesTheRest) {
  struct Case { const char* name; int month, year, firstButton, days, rowsShown; };
  const Case kCases[] = {
      {"leap February, starts Thursday", 2, 2024, 5, 29, 5},
      {"plain February, starts Wednesday", 2, 2023, 4, 28, 5},
      {"February 1900 is no leap month", 2, 1900, 5, 28, 5},
      {"February from Sunday fills four rows", 2, 2015, 1, 28, 4},
      {"31 days from Saturday need six rows", 3, 2025, 7, 31, 6},
      {"first month of the range", 1, 1801, 5, 31, 5},
      {"last month of the range", 12, 2099, 3, 31, 5},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto cells = monthGrid(c.month, c.year);
    const int last = c.firstButton + c.days - 1;
    for (int b = 1; b <= editors::kCalendarButtons; ++b) {
      const auto& cell = cells[static_cast<size_t>(b - 1)];
      if (b < c.firstButton || b > last) {
        EXPECT_EQ(cell.day, 0) << "button " << b;
        EXPECT_FALSE(cell.shown) << "button " << b;
      } else {
        EXPECT_EQ(cell.day, b - c.firstButton + 1) << "button " << b;
        EXPECT_EQ(cell.date, DATE(c.month, cell.day, c.year));
        EXPECT_TRUE(cell.shown && cell.enabled) << "button " << b;
      }
    }
    EXPECT_EQ((last + 6) / 7, c.rowsShown);
    EXPECT_EQ(rt::weekday(cells[static_cast<size_t>(c.firstButton - 1)].date), c.firstButton - 1);
  }
}

TEST(MonthGrid, RestrictedDaysAreShownDisabled) {
  const auto cells = monthGrid(3, 2026, [](int32_t d) { return rt::weekday(d) == 1; });  // Mondays
  int enabled = 0;
  for (const auto& c : cells) {
    if (!c.day) continue;
    EXPECT_TRUE(c.shown);
    EXPECT_EQ(c.enabled, rt::weekday(c.date) == 1) << c.day;
    enabled += c.enabled;
  }
  EXPECT_EQ(enabled, 5);  // 2, 9, 16, 23, 30 March 2026
}

TEST(CalendarSteps, WrapBetween1801And2099) {
  struct Case { const char* name; int month, year, deltaMonths, deltaYears, wantMonth, wantYear; };
  const Case kCases[] = {
      {"year back from 1801", 6, 1801, 0, -1, 6, 2099},
      {"year on from 2099", 6, 2099, 0, 1, 6, 1801},
      {"month back from January 1801", 1, 1801, -1, 0, 12, 2099},
      {"month on from December 2099", 12, 2099, 1, 0, 1, 1801},
      {"month on across a year's end", 12, 2025, 1, 0, 1, 2026},
      {"month back across a year's start", 1, 2026, -1, 0, 12, 2025},
      {"plain year", 3, 2024, 0, 1, 3, 2025},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    int m = c.month, y = c.year;
    if (c.deltaYears) stepYear(y, c.deltaYears);
    if (c.deltaMonths) stepMonth(m, y, c.deltaMonths);
    EXPECT_EQ(m, c.wantMonth);
    EXPECT_EQ(y, c.wantYear);
  }
}

TEST(CalendarSteps, HeadingReadsMonthAndYear) {
  EXPECT_EQ(monthHeading(3, 2026), "March 2026");
  EXPECT_EQ(monthHeading(12, 2099), "December 2099");
}

class CalendarWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::test::application();
    files::FORMAT.DATE = "d2";
    files::SCH = files::ScheduleRec{};
    rt::setTestClock(DATE(3, 15, 2026), 1000000);
  }
  void TearDown() override {
    rt::clearTestClock();
    files::SCH = files::ScheduleRec{};
  }
};

TEST_F(CalendarWindow, NoDateOpensOnTodayAndCancelGivesItBack) {
  ScriptedHost host;
  int32_t result = -1;
  runScript([&](Driver& d) {
    d.later([&] { result = editors::Calendar(0, "None", ""); });
    WindowDriver w = d.waitWindow("Calendar");
    EXPECT_EQ(w.title(), "Select Date");
    EXPECT_EQ(w.text("?Heading"), "March 2026");
    EXPECT_EQ(w.text("?Day1"), "1") << "1 March 2026 is a Sunday";
    EXPECT_EQ(w.tip("?Day15"), " 3/15/2026") << "FMTDATE in the user's picture (d2: month blank-padded)";
    EXPECT_FALSE(w.shown("?Day36")) << "31 March ends on button 31";
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_EQ(result, 0);
}

TEST_F(CalendarWindow, RestrictingWithoutATaskOffersEveryDay) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([&] { (void)editors::Calendar(DATE(2, 10, 2027), "", ""); });
    WindowDriver w = d.waitWindow("Calendar");
    EXPECT_EQ(w.title(), "Select Date") << "no schedule type in the buffer";
    for (int b = 2; b <= 29; ++b) EXPECT_TRUE(w.enabled("?Day" + std::to_string(b))) << b;  // 1 Feb 2027: Monday
    w.press("?Cancel");
    d.waitClosed(w);
  });
}

TEST_F(CalendarWindow, AnEarlierDayAsksFirst) {
  ScriptedHost host;
  int32_t result = -1;
  runScript([&](Driver& d) {
    d.later([&] { result = editors::Calendar(DATE(3, 20, 2026), "None", "Pick"); });
    WindowDriver w = d.waitWindow("Calendar");
    EXPECT_EQ(w.title(), "Pick");
    host.expectMessage("You have selected a date earlier than today.  Do you wish to use this date?", ui::BUTTON::No);
    w.press("?Day10");
    d.settle();
    ASSERT_TRUE(w.isOpen()) << "No keeps the picker open";
    host.expectMessage("earlier than today", ui::BUTTON::Yes);
    w.press("?Day10");
    d.waitClosed(w);
  });
  EXPECT_EQ(result, DATE(3, 10, 2026));
}

TEST_F(CalendarWindow, RestrictedToTheTasksDaysAndWrapsAtTheRangeEnds) {
  files::SCH.ScheduleType = "Day of Week";
  files::SCH.Monday = 1;
  ScriptedHost host;
  int32_t result = -1;
  runScript([&](Driver& d) {
    d.later([&] { result = editors::Calendar(DATE(1, 20, 1801), "", ""); });
    WindowDriver w = d.waitWindow("Calendar");
    EXPECT_EQ(w.title(), "Day of Week") << "the task's schedule type";
    EXPECT_EQ(w.text("?Heading"), "January 1801");
    // 1 January 1801 was a Thursday: button 5; the first Monday is 5 January on button 9.
    EXPECT_EQ(w.text("?Day5"), "1");
    EXPECT_FALSE(w.enabled("?Day5"));
    EXPECT_TRUE(w.enabled("?Day9"));
    w.press("?PrevMonth");
    EXPECT_EQ(w.text("?Heading"), "December 2099");
    w.press("?NextYear");
    EXPECT_EQ(w.text("?Heading"), "December 1801");
    w.press("?NextMonth");
    EXPECT_EQ(w.text("?Heading"), "January 1802");
    // 1 January 1802 was a Friday; Monday 4 January sits on button 9. Choosing it (in the past) asks.
    EXPECT_EQ(w.text("?Day9"), "4");
    host.expectMessage("earlier than today", ui::BUTTON::Yes);
    w.press("?Day9");
    d.waitClosed(w);
  });
  EXPECT_EQ(result, DATE(1, 4, 1802));
}

}  // namespace
