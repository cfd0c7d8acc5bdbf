#include "reports/work_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "reports/tests/fixture.h"

namespace ov::reports {
namespace {

using testing::kNine;
using WorkFile = testing::DataFolder;
using Task = files::ScheduleRec;

// The (date - today) offsets and ids of the work file's records in key order.
struct Row {
  int day;
  int id;
  std::string description;
  bool operator==(const Row&) const = default;
};
std::vector<Row> rows(const ScheduleWorkFile& wf, int32_t today) {
  wf.select();
  std::vector<Row> out;
  EXPECT_EQ(files::Access_SCHEDULEWORKFILE.Open(), rt::Err::None);
  (void)files::SCHEDULEWORKFILE.set(files::SCW_KeyID);
  while (files::SCHEDULEWORKFILE.next() == rt::Err::None)
    out.push_back({files::SCW.Date - today, files::SCW.ID, files::SCW.Description.str()});
  (void)files::Access_SCHEDULEWORKFILE.Close();
  return out;
}

void daily(Task& t) {
  t.ScheduleType = "Custom";
  t.Every = 1;
  t.EveryType = "day(s)";
}

TEST_F(WorkFile, ExpandsEachTaskIntoItsOccurrencesInTheRange) {
  struct Case {
    const char* name;
    std::function<void(Task&)> fill;
    int from, to;  // days from today
    std::vector<Row> want;
  };
  const int32_t t0 = today();
  const Case cases[] = {
      {"once in the range", [&](Task& t) { t.Date = t0 + 2; }, 0, 6, {{2, 1, "A"}}},
      {"once before the range", [&](Task& t) { t.Date = t0 - 1; }, 0, 6, {}},
      {"daily from today, a week", [&](Task& t) { daily(t); t.Date = t0; }, 0, 6,
       {{0, 1, "A"}, {1, 2, "A"}, {2, 3, "A"}, {3, 4, "A"}, {4, 5, "A"}, {5, 6, "A"}, {6, 7, "A"}}},
      {"disabled daily gives its stored date only", [&](Task& t) { daily(t); t.Date = t0 + 1; t.Disabled = 1; }, 0, 6,
       {{1, 1, "A"}}},
      {"next date before the range: only occurrences from the start",
       [&](Task& t) { daily(t); t.Date = t0 - 5; }, 2, 4, {{2, 1, "A"}, {3, 2, "A"}, {4, 3, "A"}}},
      {"more than 30 days overdue is not read", [&](Task& t) { daily(t); t.Date = t0 - 31; }, 0, 3, {}},
      {"a range that starts 60 days back reads the overdue task",
       [&](Task& t) { t.Date = t0 - 40; }, -60, 0, {{-40, 1, "A"}}},
      {"weekly on Tuesdays",
       [&](Task& t) { t.ScheduleType = "Day of Week"; t.Tuesday = 1; t.Date = t0; }, 0, 14,
       {{0, 1, "A"}, {7, 2, "A"}, {14, 3, "A"}}},
      {"stops at its expiry", [&](Task& t) { daily(t); t.Date = t0; t.ExpiryDate = t0 + 2; t.ExpiryTime = kNine; }, 0,
       6, {{0, 1, "A"}, {1, 2, "A"}, {2, 3, "A"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    (void)files::SCHEDULE.set();
    while (files::SCHEDULE.next() == rt::Err::None) (void)files::SCHEDULE.deleteRecord();
    (void)files::Access_SCHEDULE.Close();
    addTask([&](Task& t) {
      t.Description = "A";
      c.fill(t);
    });
    ui::test::ScriptedHost host;
    // Only a range without any task read brings the message.
    if (std::string(c.name).starts_with("more than 30"))
      host.expectMessage("There are no schedule records in the date range 03/10/26 to 03/13/26.", ui::BUTTON::Ok);
    ScheduleWorkFile wf;
    const int64_t made = wf.create(today() + c.from, today() + c.to, today(), false);
    EXPECT_EQ(made, static_cast<int64_t>(c.want.size()));
    EXPECT_EQ(rows(wf, today()), c.want);
    wf.remove();
  }
}

TEST_F(WorkFile, SeveralTasksInDateOrderAndTheStoredTasksUnchanged) {
  const int32_t t0 = today();
  addTask([&](Task& t) { t.Description = "Daily"; daily(t); t.Date = t0; });
  addTask([&](Task& t) { t.Description = "Once"; t.Date = t0 + 1; });
  ScheduleWorkFile wf;
  EXPECT_EQ(wf.create(t0, t0 + 2, t0, false), 4);
  EXPECT_EQ(rows(wf, t0), (std::vector<Row>{{0, 1, "Daily"}, {1, 2, "Daily"}, {2, 3, "Daily"}, {1, 4, "Once"}}));
  // The tasks keep their next date.
  ASSERT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
  (void)files::SCHEDULE.set(files::SCH_KeyDate);
  ASSERT_EQ(files::SCHEDULE.next(), rt::Err::None);
  EXPECT_EQ(files::SCH.Date, t0);
  (void)files::Access_SCHEDULE.Close();
}

TEST_F(WorkFile, EachRunHasItsOwnFileAndRemovesIt) {
  addTask([&](Task& t) { t.Description = "A"; t.Date = today(); });
  std::string path1;
  {
    ScheduleWorkFile one;
    ScheduleWorkFile two;
    EXPECT_NE(one.name(), two.name());
    EXPECT_EQ(one.create(today(), today(), today(), false), 1);
    one.select();
    path1 = files::SCHEDULEWORKFILE.path();
    EXPECT_TRUE(std::filesystem::exists(path1)) << path1;
    // A second run building meanwhile does not touch the first one's records.
    EXPECT_EQ(two.create(today(), today(), today(), false), 1);
    EXPECT_EQ(rows(one, today()).size(), 1u);
  }
  EXPECT_FALSE(std::filesystem::exists(path1));
}

}  // namespace
}  // namespace ov::reports
