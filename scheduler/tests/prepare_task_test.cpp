#include "scheduler/prepare_task.h"

#include <gtest/gtest.h>

#include "datalib/globals.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "scheduler/tests/memory_store.h"
#include "scheduler/tests/test_tasks.h"

using namespace ov;
using namespace ov::scheduler;
using namespace ov::scheduler::testing;

namespace {

struct PrepareTask : ::testing::Test {
  void SetUp() override {
    files::clearGlobals();
    files::APP.USERID = "alice";
    files::FORMAT.DATE = "d2";
    rt::setTestClock(ymd(2024, 3, 10), at(10, 5));
  }
  void TearDown() override { rt::clearTestClock(); }
};

}  // namespace

TEST_F(PrepareTask, FillsBlankDescriptionsByTaskType) {
  struct Row {
    const char* name;
    const char* taskType;
    const char* command;
    const char* message;
    const char* wantDescription;
    const char* wantCommand;
  };
  const Row rows[] = {
      {"reminder", "None", "", "Call Bob", "Reminder: Call Bob", ""},
      {"message", "Display Message", "", "Lunch", "Message: Lunch", ""},
      {"program", "Run Program", "backup.sh", "", "Run: backup.sh", "backup.sh"},
      {"script (no program)", "Run Program", "", "", "Script:  3/10/2024", "N/A"},
      {"script, n/a in lower case", "Run Program", "n/a", "", "Script:  3/10/2024", "n/a"},
      {"both", "Both", "", "", "Message/Run Program", "N/A"},
      {"hot key", "Hot Key", "", "", "Hot Key 42", "N/A"},
      {"cut to the field", "Display Message", "", "A message much longer than the forty bytes of the field",
       "Message: A message much longer than the", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemoryStore store;
    ScheduleRecord t = task("Once", ymd(2024, 3, 11), at(9, 0));
    t.ID = 42;
    t.TaskType = row.taskType;
    t.Command = row.command;
    t.Message = row.message;
    PrepareTaskRecord(t, store);
    EXPECT_EQ(t.Description.str(), row.wantDescription);
    EXPECT_EQ(t.Command.str(), row.wantCommand);
  }
}

TEST_F(PrepareTask, StampsTheChangeAndKeepsWhatIsSet) {
  MemoryStore store;
  ScheduleRecord t = task("Once", ymd(2024, 3, 11), at(9, 0));
  t.ID = 42;
  t.TaskType = "Display Message";
  t.Description = "Mine";
  PrepareTaskRecord(t, store);
  EXPECT_EQ(t.Description.str(), "Mine");
  EXPECT_EQ(t.Category.str(), "General");
  EXPECT_EQ(t.NetworkUser.str(), "alice");
  EXPECT_EQ(t.LastChangeDate, ymd(2024, 3, 10));
  EXPECT_EQ(t.LastChangeTime, at(10, 5));
  EXPECT_EQ(t.OriginalID, 42);

  ScheduleRecord copied = t;
  copied.ID = 43;
  copied.Category = "Work";
  PrepareTaskRecord(copied, store);
  EXPECT_EQ(copied.OriginalID, 42) << "a copy keeps the task it came from";
  EXPECT_EQ(copied.Category.str(), "Work");
}

TEST_F(PrepareTask, StoringTheSameShiftedOccurrenceAgainReplacesItsCopy) {
  MemoryStore store;
  store.holidays = {ymd(2024, 12, 25)};
  ScheduleRecord t = custom(1, "week(s)", ymd(2024, 12, 25), at(9, 0));
  t.ID = 1;
  t.ExceptHolidays = 1;
  t.ShiftType = "Next day";
  store.tasks[1] = t;
  PrepareTaskRecord(t, store);
  store.tasks[1] = t;
  PrepareTaskRecord(t, store);
  ASSERT_EQ(store.onceCopies().size(), 1u);
  EXPECT_EQ(store.onceCopies()[0]->Date, ymd(2024, 12, 26));
  EXPECT_EQ(t.ExceptionLink, store.onceCopies()[0]->ID);
}
