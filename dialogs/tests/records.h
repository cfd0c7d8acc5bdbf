// Reading and writing the stored holidays, categories and tasks of a test's data folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/records.h"

namespace ov::dialogs::testing {

inline void addHoliday(int32_t date, const char* name, const char* type) {
  ASSERT_EQ(files::Access_HOLIDAYS.Open(), rt::Err::None);
  files::HOLIDAYS.clear();
  files::HOL.HolidayDate = date;
  files::HOL.Holiday = name;
  files::HOL.HolidayType = type;
  ASSERT_EQ(files::HOLIDAYS.add(), rt::Err::None);
  (void)files::Access_HOLIDAYS.Close();
}

inline std::vector<files::HolidayRec> storedHolidays() {
  std::vector<files::HolidayRec> out;
  const files::HolidayRec saved = files::HOL;
  EXPECT_EQ(files::Access_HOLIDAYS.Open(), rt::Err::None);
  rt::Err err = files::HOLIDAYS.set(files::HOL_KeyHolidayDate);
  while (err == rt::Err::None && (err = files::HOLIDAYS.next()) == rt::Err::None) out.push_back(files::HOL);
  (void)files::Access_HOLIDAYS.Close();
  files::HOL = saved;
  return out;
}

inline void addCategory(const char* name) {
  ASSERT_EQ(files::Access_CATEGORIES.Open(), rt::Err::None);
  files::CATEGORIES.clear();
  files::CAT.Category = name;
  ASSERT_EQ(files::CATEGORIES.add(), rt::Err::None);
  (void)files::Access_CATEGORIES.Close();
}

inline std::vector<std::string> storedCategories() {
  std::vector<std::string> out;
  const files::CategoryRec saved = files::CAT;
  EXPECT_EQ(files::Access_CATEGORIES.Open(), rt::Err::None);
  rt::Err err = files::CATEGORIES.set(files::CAT_KeyCategory);
  while (err == rt::Err::None && (err = files::CATEGORIES.next()) == rt::Err::None)
    out.push_back(files::CAT.Category.str());
  (void)files::Access_CATEGORIES.Close();
  files::CAT = saved;
  return out;
}

inline void addTask(const char* description, const char* category) {
  ASSERT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
  ASSERT_EQ(files::Access_SCHEDULE.PrimeRecord(), rt::Err::None);
  files::SCH.Description = description;
  files::SCH.Category = category;
  files::SCH.TaskType = "Display Message";
  files::SCH.ScheduleType = "Once";
  ASSERT_EQ(files::Access_SCHEDULE.Insert(), rt::Err::None);
  (void)files::Access_SCHEDULE.Close();
}

}  // namespace ov::dialogs::testing
