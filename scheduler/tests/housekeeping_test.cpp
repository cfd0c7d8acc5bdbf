#include "scheduler/housekeeping.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "scheduler/tests/data_fixture.h"
#include "scheduler/tests/test_tasks.h"

using namespace ov;
using namespace ov::scheduler;
using namespace ov::scheduler::testing;
using files::SCH;

namespace {

struct Housekeeping : DataFixture {
  void SetUp() override {
    DataFixture::SetUp();
    resetHistoryCheck();
    rt::setTestClock(ymd(2024, 3, 31), at(4, 0));
  }
  int32_t addHistory(int32_t date, bool completed, bool disabled = true) {
    ScheduleRecord t = custom(1, "day(s)", date, at(10, 0));
    t.ID = 0;
    t.Completed = completed;
    t.Disabled = disabled;
    return addTask(t);
  }
  std::vector<int32_t> ids() {
    std::vector<int32_t> out;
    for (const auto& t : storedTasks()) out.push_back(t.ID);
    return out;
  }
};

}  // namespace

TEST_F(Housekeeping, HistoryExpiresAfterItsDays) {
  files::TASK.HISTORYEXPIRES = 30;
  const int32_t old = addHistory(ymd(2024, 3, 1), true);        // 30 days ago: removed today
  const int32_t recent = addHistory(ymd(2024, 3, 2), true);     // 29 days ago: tomorrow
  const int32_t open = addHistory(ymd(2024, 1, 1), false);      // not completed: kept
  const int32_t enabled = addHistory(ymd(2024, 1, 1), true, false);  // not disabled: not history
  addScriptItems(old, 2);
  int holidaysAdded = 0;
  services().initDefaultHolidays = [&] { ++holidaysAdded; };

  EXPECT_TRUE(RemoveExpiredHistory());
  EXPECT_EQ(ids(), (std::vector<int32_t>{recent, open, enabled}));
  EXPECT_EQ(scriptItemCount(old), 0);
  EXPECT_EQ(holidaysAdded, 1);
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], (std::pair<std::string, std::string>{"History", "Checked for tasks needing removal"}));

  EXPECT_FALSE(RemoveExpiredHistory()) << "once a day";
  rt::setTestClock(ymd(2024, 4, 1), at(4, 0));
  files::TASK.REMOVEUNCOMPLETED = 1;
  EXPECT_TRUE(RemoveExpiredHistory());
  EXPECT_EQ(ids(), (std::vector<int32_t>{enabled}));
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(Housekeeping, NoHistoryExpiryWhenItsDaysAreZero) {
  files::TASK.HISTORYEXPIRES = 0;
  addHistory(ymd(2020, 1, 1), true);
  EXPECT_FALSE(RemoveExpiredHistory());
  EXPECT_EQ(ids().size(), 1u);
  EXPECT_TRUE(logLines().empty());
}

TEST_F(Housekeeping, HolidaysAreKeptOnceADayWhenHistoryIsKept) {
  files::TASK.HISTORYEXPIRES = 0;
  int holidaysKept = 0;
  services().initDefaultHolidays = [&] { ++holidaysKept; };
  EXPECT_FALSE(RemoveExpiredHistory());
  EXPECT_FALSE(RemoveExpiredHistory());
  EXPECT_EQ(holidaysKept, 1);
  rt::setTestClock(ymd(2024, 4, 1), at(4, 0));
  EXPECT_FALSE(RemoveExpiredHistory());
  EXPECT_EQ(holidaysKept, 2);
}

TEST_F(Housekeeping, RemovePassesWorkAmongTheDisabledTasks) {
  const int32_t disabledDone = addHistory(ymd(2024, 3, 1), true);
  const int32_t disabledOpen = addHistory(ymd(2024, 3, 1), false);
  const int32_t enabledDone = addHistory(ymd(2024, 3, 1), true, false);
  addScriptItems(disabledDone, 1);
  ASSERT_EQ(removeDisabledTasks(true), rt::Err::None);
  EXPECT_EQ(ids(), (std::vector<int32_t>{disabledOpen, enabledDone})) << "completed only among the disabled";
  EXPECT_EQ(scriptItemCount(disabledDone), 0);
  ASSERT_EQ(removeDisabledTasks(false), rt::Err::None);
  EXPECT_EQ(ids(), (std::vector<int32_t>{enabledDone}));
}

TEST_F(Housekeeping, VerifyLinksRemovesItemsOfMissingTasks) {
  const int32_t task = addHistory(ymd(2024, 3, 1), false, false);
  addScriptItems(task, 2);
  addScriptItems(task + 5, 3);
  addScriptItems(task + 9, 1);
  std::vector<int> percents;
  int64_t removed = -1;
  ASSERT_EQ(VerifyLinks([&](int p) { percents.push_back(p); }, &removed), rt::Err::None);
  EXPECT_EQ(removed, 4);
  EXPECT_EQ(scriptItemCount(task), 2);
  EXPECT_EQ(scriptItemCount(task + 5), 0);
  EXPECT_EQ(scriptItemCount(task + 9), 0);
  EXPECT_EQ(percents.back(), 100);
}

TEST_F(Housekeeping, ClearsToDosAndWindowPositions) {
  ASSERT_EQ(files::Access_TODO.Open(), rt::Err::None);
  for (int i = 1; i <= 3; ++i) {
    files::TODO.clear();
    files::TDO.Priority = i;
    ASSERT_EQ(files::TODO.add(), rt::Err::None);
  }
  (void)files::Access_TODO.Close();
  ASSERT_EQ(clearToDoList(), rt::Err::None);
  ASSERT_EQ(files::Access_TODO.Open(), rt::Err::None);
  EXPECT_EQ(files::TODO.records(), 0);
  (void)files::Access_TODO.Close();

  { std::ofstream("position.ini") << "[Main]\nXPos=1\n"; }
  ASSERT_EQ(resetWindowPositions(), rt::Err::None);
  EXPECT_FALSE(std::filesystem::exists("position.ini")) << "found whatever its case";
  EXPECT_EQ(resetWindowPositions(), rt::Err::None) << "nothing saved is fine";
}
