// The scheduler core's windows, driven as a user would (offscreen).
#include "scheduler/scheduler_windows.h"

#include <gtest/gtest.h>

#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "scheduler/reschedule.h"
#include "scheduler/tests/data_fixture.h"
#include "scheduler/tests/test_tasks.h"

using namespace ov;
using namespace ov::scheduler;
using namespace ov::scheduler::testing;
using ui::test::Driver;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

struct SchedulerWindows : DataFixture {
  void SetUp() override {
    DataFixture::SetUp();
    ui::test::application();
    files::FORMAT.DATE = "d2";
    files::FORMAT.TIME = "t1";
    rt::setTestClock(ymd(2024, 1, 10), at(12, 0));  // Wednesday
  }
  void TearDown() override {
    ui::closeAllWindows();
    ui::processEvents();
    DataFixture::TearDown();
  }
};

}  // namespace

TEST_F(SchedulerWindows, RescheduleAcceptsOnlyAMomentAheadAndThenMovesTheTasks) {
  forgetRescheduleMoment();
  ScheduleRecord weekly = dayOfWeek("-M-----", ymd(2024, 1, 29), at(10, 0));
  weekly.ID = 0;
  const int32_t id = addTask(weekly);
  ScriptedHost scripted;
  scripted.expectMessage("must be in the future", ui::BUTTON::Ok);
  int response = 0;
  ui::test::runScript([&](Driver& d) {
    d.later([&] { response = RescheduleAllTasks_GetDate().Run(); });
    WindowDriver w = d.waitWindow("RescheduleAllTasks:GetDate");
    EXPECT_EQ(w.text("?Date"), " 1/10/2024") << "now plus two minutes is offered";
    EXPECT_EQ(w.text("?Time"), "12:02");
    w.type("?Time", "12:00");
    w.press("?OK");
    EXPECT_TRUE(w.isOpen()) << "a moment that is not a minute ahead is refused";
    w.type("?Date", "1/11/2024");
    w.type("?Time", "09:00");
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  EXPECT_FALSE(scripted.pending());
  const files::ScheduleRec moved = storedTask(id);
  EXPECT_EQ(moment(moved.Date, moved.Time), moment(ymd(2024, 1, 15), at(10, 0)));
}

TEST_F(SchedulerWindows, RefusedPasswordOpensNeitherWindow) {
  ScriptedHost scripted;  // no prompt may come
  services().passwordValidation = [] { return false; };
  ui::test::runScript([&](Driver& d) {
    d.gui([&] {
      RescheduleWithPassword();
      Housekeeping().Run();
    });
  });
  EXPECT_TRUE(ui::openWindows().empty());
}

TEST_F(SchedulerWindows, HousekeepingAsksActsConfirmsAndTellsTheOthers) {
  ScheduleRecord done = custom(1, "day(s)", ymd(2024, 1, 1), at(10, 0));
  done.ID = 0;
  done.Disabled = done.Completed = 1;
  addTask(done);
  ScheduleRecord open = done;
  open.Completed = 0;
  const int32_t openId = addTask(open);
  int refreshed = 0;
  services().broadcastRefresh = [&] { ++refreshed; };
  int cleared = 0;
  services().clearActiveScripts = [&] { ++cleared; };

  ScriptedHost scripted;
  scripted.expectMessage("Remove completed tasks?", ui::BUTTON::Yes)
      .expectMessage("Completed tasks removed.", ui::BUTTON::Ok)
      .expectMessage("Remove active scripts?", ui::BUTTON::No)
      .expectMessage("Script links verified: every script item belongs to a task.", ui::BUTTON::Ok);
  ui::test::runScript([&](Driver& d) {
    d.later([&] { Housekeeping().Run(); });
    WindowDriver w = d.waitWindow("Housekeeping");
    EXPECT_EQ(w.prop("?Tab:Housekeeping", ui::Prop::Color), "10987431") << "the chosen tab is coloured";
    w.press("?RemoveCompleted");
    w.press("?RemoveScripts");
    w.press("?VerifyLinks");
    w.press("?Close");
    d.waitClosed(w);
  });
  EXPECT_FALSE(scripted.pending());
  const std::vector<files::ScheduleRec> left = storedTasks();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].ID, openId);
  EXPECT_EQ(cleared, 0) << "No does nothing";
  EXPECT_EQ(refreshed, 1);
}

TEST_F(SchedulerWindows, DateRangeOfOneDayGivesTheStartTwice) {
  int32_t start = ymd(2024, 1, 1), end = ymd(2024, 1, 31);
  bool chosen = false;
  services().calendar = [](int32_t, std::string_view mode, std::string_view title) {
    EXPECT_EQ(mode, "None");
    EXPECT_EQ(title, "Select Start Date");
    return ymd(2024, 2, 14);
  };
  ui::test::runScript([&](Driver& d) {
    d.later([&] { chosen = Function_SelectDateRange(start, end); });
    WindowDriver w = d.waitWindow("Function:SelectDateRange");
    w.press("?StartCalendar");
    EXPECT_EQ(w.text("?Start"), " 2/14/2024");
    w.check("?OneDay", true);
    EXPECT_FALSE(w.enabled("?End"));
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_TRUE(chosen);
  EXPECT_EQ(start, ymd(2024, 2, 14));
  EXPECT_EQ(end, ymd(2024, 2, 14));
}

TEST_F(SchedulerWindows, FindScheduleOnListGivesTheTextOrNothing) {
  std::vector<std::string> found;
  ui::test::runScript([&](Driver& d) {
    d.later([&] { found.push_back(FindScheduleOnList()); });
    WindowDriver w = d.waitWindow("FindScheduleOnList");
    w.type("?Find", "Backup");
    w.press("?OK");
    d.waitClosed(w);
    d.later([&] { found.push_back(FindScheduleOnList()); });
    WindowDriver again = d.waitWindow("FindScheduleOnList");
    again.type("?Find", "ignored");
    again.press("?Cancel");
    d.waitClosed(again);
  });
  EXPECT_EQ(found, (std::vector<std::string>{"Backup", ""}));
}
