// The holiday upkeep: the defaults added once per data folder, and past holidays moved on by their
// kind. Expected dates are worked by hand (weekdays checked against a calendar).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "datalib/config.h"
#include "dialogs/default_holidays.h"
#include "dialogs/tests/fixture.h"
#include "dialogs/tests/records.h"

using namespace ov;
using ov::dialogs::testing::addHoliday;
using ov::dialogs::testing::storedHolidays;
using rt::DATE;

namespace {

class DefaultHolidays : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(DATE(10, 1, 2025), 1000000);
  }
  std::map<std::string, std::pair<int32_t, std::string>> byName() {
    std::map<std::string, std::pair<int32_t, std::string>> out;
    for (const auto& h : storedHolidays()) out[h.Holiday.str()] = {h.HolidayDate, h.HolidayType.str()};
    return out;
  }
};

TEST_F(DefaultHolidays, NewDataFolderGetsTheDefaultsOnTheirNextDates) {
  dialogs::InitDefaultHolidays();
  EXPECT_EQ(files::GETCONFIG("DEFHOL"), "Y");
  const auto stored = byName();
  struct Want {
    const char* name;
    int32_t date;
    const char* kind;
  };
  const Want kWant[] = {
      {"Christmas Day", DATE(12, 25, 2025), "Annual"},
      {"Christmas Eve", DATE(12, 24, 2025), "Annual"},
      {"New Year's Day", DATE(1, 1, 2026), "Annual"},
      {"New Year's Eve", DATE(12, 31, 2025), "Annual"},
      {"Canada Day (Canada)", DATE(7, 1, 2026), "Annual"},
      {"Independence Day (U.S.)", DATE(7, 4, 2026), "Annual"},
      {"Victoria Day (Canada)", DATE(5, 18, 2026), "Day of Month"},
      {"Memorial Day (U.S.)", DATE(5, 25, 2026), "Day of Month"},  // the last Monday of May
      {"Labor Day/Labour Day", DATE(9, 7, 2026), "Day of Month"},
      {"Veteran's Day (U.S.)", DATE(11, 11, 2025), "Annual"},
      {"Thanksgiving (Canada)", DATE(10, 13, 2025), "Day of Month"},
      {"Thanksgiving (U.S.)", DATE(11, 27, 2025), "Day of Month"},  // the fourth Thursday
      {"Easter", DATE(4, 5, 2026), "Easter"},
      {"Palm Sunday", DATE(3, 29, 2026), "Easter"},
      {"Good Friday", DATE(4, 3, 2026), "Easter"},
      {"Easter Monday", DATE(4, 6, 2026), "Easter"},
  };
  // Remembrance Day shares Veteran's Day's date, which the holiday table holds once.
  EXPECT_EQ(stored.size(), std::size(kWant));
  for (const Want& w : kWant) {
    SCOPED_TRACE(w.name);
    auto it = stored.find(w.name);
    ASSERT_NE(it, stored.end());
    EXPECT_EQ(it->second.first, w.date);
    EXPECT_EQ(it->second.second, w.kind);
  }
}

TEST_F(DefaultHolidays, DefaultsAreAddedOnlyOnce) {
  files::PUTCONFIG("DEFHOL", "Y");
  dialogs::InitDefaultHolidays();
  EXPECT_TRUE(storedHolidays().empty());
}

TEST_F(DefaultHolidays, PastHolidaysMoveByTheirKind) {
  files::PUTCONFIG("DEFHOL", "Y");
  addHoliday(DATE(10, 1, 2025), "Today", "Once");
  addHoliday(DATE(9, 26, 2025), "A day before", "Annual");
  addHoliday(DATE(9, 30, 2025), "Yesterday", "Annual");
  addHoliday(DATE(9, 28, 2025), "Gone", "Once");
  addHoliday(DATE(6, 8, 2025), "Whit Sunday", "Easter");  // 49 days after Easter 2025
  addHoliday(DATE(9, 29, 2025), "Blank kind", "");
  addHoliday(DATE(9, 27, 2025), "Odd kind", "Weekly");
  addHoliday(DATE(9, 30, 2024), "Two years back", "Annual");  // moves first, onto Yesterday's next date
  addHoliday(DATE(11, 12, 2014), "Second Wednesday", "Day of Month");  // years back
  addHoliday(DATE(2, 29, 2024), "Leap day", "Annual");
  dialogs::InitDefaultHolidays();
  const auto stored = byName();
  EXPECT_EQ(stored.count("Gone"), 0u);
  struct Want {
    const char* name;
    int32_t date;
    const char* kind;
  };
  const Want kWant[] = {
      {"Today", DATE(10, 1, 2025), "Once"},
      {"A day before", DATE(9, 26, 2026), "Annual"},
      {"Yesterday", DATE(9, 30, 2025), "Annual"},  // its next date is taken: it stays, the others move
      {"Whit Sunday", DATE(5, 24, 2026), "Easter"},  // Easter 2026 is 5 April
      {"Blank kind", DATE(9, 29, 2026), "Annual"},
      {"Odd kind", DATE(9, 27, 2026), "Annual"},
      {"Two years back", DATE(9, 30, 2026), "Annual"},
      {"Second Wednesday", DATE(11, 12, 2025), "Day of Month"},
      {"Leap day", DATE(3, 1, 2026), "Annual"},  // 29 February 2025 is 1 March, then one year on
  };
  for (const Want& w : kWant) {
    SCOPED_TRACE(w.name);
    auto it = stored.find(w.name);
    ASSERT_NE(it, stored.end());
    EXPECT_EQ(it->second.first, w.date);
    EXPECT_EQ(it->second.second, w.kind);
  }
}

TEST_F(DefaultHolidays, DayOfMonthKeepsWeekAndWeekday) {
  struct Case {
    const char* name;
    int32_t from, to;
  };
  const Case kCases[] = {
      {"first Monday of September", DATE(9, 1, 2025), DATE(9, 7, 2026)},
      {"second Wednesday of November", DATE(11, 12, 2025), DATE(11, 11, 2026)},
      {"fourth Thursday of November", DATE(11, 27, 2025), DATE(11, 26, 2026)},
      {"fifth week: the last Monday of May", DATE(5, 31, 2021), DATE(5, 30, 2022)},
      {"fifth week never spills into June", DATE(5, 29, 2023), DATE(5, 27, 2024)},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dialogs::nextHolidayDate(c.from, "Day of Month"), c.to);
  }
  // Victoria Day is the Monday before 25 May: in 2027 the fourth Monday, not the third.
  const Case kVictoria[] = {
      {"2026 to 2027", DATE(5, 18, 2026), DATE(5, 24, 2027)},
      {"2027 to 2028", DATE(5, 24, 2027), DATE(5, 22, 2028)},
      {"1998 seed to 1999", DATE(5, 18, 1998), DATE(5, 24, 1999)},
      {"2032 to 2033 (24 May is a Monday)", DATE(5, 24, 2032), DATE(5, 23, 2033)},
  };
  for (const Case& c : kVictoria) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dialogs::nextHolidayDate(c.from, "Day of Month", dialogs::kVictoriaDay), c.to);
  }
  EXPECT_EQ(dialogs::nextHolidayDate(DATE(5, 18, 2026), "Day of Month", "Other third Monday"), DATE(5, 17, 2027));
  // Memorial Day is the last Monday of May, whichever week that is.
  const Case kMemorial[] = {
      {"2026 (fourth week) to 2027 (fifth)", DATE(5, 25, 2026), DATE(5, 31, 2027)},
      {"2027 to 2028", DATE(5, 31, 2027), DATE(5, 29, 2028)},
      {"1999 seed to 2000", DATE(5, 31, 1999), DATE(5, 29, 2000)},
      {"2000 to 2001 (fourth week)", DATE(5, 29, 2000), DATE(5, 28, 2001)},
  };
  for (const Case& c : kMemorial) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dialogs::nextHolidayDate(c.from, "Day of Month", dialogs::kMemorialDay), c.to);
  }
}

TEST_F(DefaultHolidays, VictoriaDayAndMemorialDayRollToTheirOwnMondays) {
  // Past May 2026 both move on: the fourth Monday of May 2027 is Victoria Day, the fifth Memorial
  // Day (rolled by its week, Memorial Day took Victoria Day's date, was refused and stayed in 1999).
  rt::setTestClock(DATE(12, 11, 2026), 1000000);
  dialogs::InitDefaultHolidays();
  const auto stored = byName();
  const std::pair<const char*, int32_t> kWant[] = {{"Victoria Day (Canada)", DATE(5, 24, 2027)},
                                                   {"Memorial Day (U.S.)", DATE(5, 31, 2027)}};
  for (const auto& [name, date] : kWant) {
    SCOPED_TRACE(name);
    auto it = stored.find(name);
    ASSERT_NE(it, stored.end());
    EXPECT_EQ(it->second.first, date);
    EXPECT_EQ(it->second.second, "Day of Month") << "the stored kind stays as the other programs read it";
  }
}

}  // namespace
