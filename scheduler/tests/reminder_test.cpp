// The program's own reminder windows, driven as a user would (offscreen): each window acts on
// its own reminder, the alarm repeats and stops, Snooze brings the reminder back.
#include "scheduler/reminder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "scheduler/tests/data_fixture.h"
#include "scheduler/tests/test_tasks.h"

using namespace ov;
using namespace ov::scheduler;
using namespace ov::scheduler::testing;
using ui::test::Driver;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

struct Reminders : DataFixture {
  void SetUp() override {
    DataFixture::SetUp();
    ui::test::application();
    rt::setTestClock(ymd(2024, 1, 10), at(12, 0));
    services().playSound = [this](std::string_view file) { played.emplace_back(file); };
  }
  void TearDown() override {
    ui::closeAllWindows();
    ui::processEvents();
    DataFixture::TearDown();
  }

  std::vector<files::TodoRec> storedToDos() {
    std::vector<files::TodoRec> out;
    EXPECT_EQ(files::Access_TODO.Open(), rt::Err::None);
    rt::Err err = files::TODO.set(files::TDO_KeyToDo);
    while (err == rt::Err::None && (err = files::TODO.next()) == rt::Err::None) out.push_back(files::TDO);
    (void)files::Access_TODO.Close();
    return out;
  }

  std::vector<std::string> played;
};

}  // namespace

TEST_F(Reminders, EachWindowSnoozesOrFilesItsOwnReminder) {
  files::MSG.SNOOZEINTERVAL = 0;  // ten minutes
  const std::string longText(1500, 'x');
  ScriptedHost scripted;
  scripted.expectMessage("Call the garage", ui::BUTTON::Ok);  // "Added to To Do List:" + title, "Saved"; once
  ui::test::runScript([&](Driver& d) {
    d.gui([] { ShowMessageThread({"Water the plants", std::string(1500, 'x'), "/tmp/chime.wav", false}); });
    WindowDriver first = d.waitWindow("ShowMessageNormal");
    d.gui([] { ShowMessageThread({"Call the garage", "Ask about the brakes", "", false}); });
    WindowDriver second = d.waitWindow("ShowMessageNormal");
    ASSERT_NE(first.handle(), second.handle());
    EXPECT_EQ(first.title(), "Water the plants");
    EXPECT_EQ(first.text("?Message"), longText.substr(0, 1024)) << "the text is cut to 1024";
    EXPECT_EQ(second.text("?Message"), "Ask about the brakes");
    d.gui([&] { EXPECT_EQ(THREADCOUNT(), 2); });

    second.press("?ToDo");
    EXPECT_TRUE(second.isOpen()) << "filing a reminder leaves its window open";
    first.press("?Snooze");
    d.waitClosed(first);
    second.press("?Close");
    d.waitClosed(second);
    d.gui([&] { EXPECT_EQ(THREADCOUNT(), 0); });
  });
  EXPECT_FALSE(scripted.pending());

  const std::vector<files::ScheduleRec> tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  const files::ScheduleRec& snooze = tasks[0];
  EXPECT_EQ(snooze.Description.str(), "Water the plants");
  EXPECT_EQ(snooze.Message.str(), longText.substr(0, 1024));
  EXPECT_EQ(snooze.Category.str(), "Snooze");
  EXPECT_EQ(snooze.ScheduleType.str(), "Once");
  EXPECT_EQ(snooze.TaskType.str(), "Display Message");
  EXPECT_EQ(moment(snooze.Date, snooze.Time), moment(ymd(2024, 1, 10), at(12, 10)));
  EXPECT_EQ(snooze.SkipIfMissed, 1);
  EXPECT_EQ(snooze.Alarm, 1);
  EXPECT_EQ(snooze.AlarmFile.str(), "/tmp/chime.wav");

  const std::vector<files::TodoRec> todos = storedToDos();
  ASSERT_EQ(todos.size(), 1u);
  EXPECT_EQ(todos[0].ToDo.str(), "Call the garage");
  EXPECT_EQ(todos[0].Notes, "Ask about the brakes");
  EXPECT_EQ(todos[0].Category.str(), "General");
  EXPECT_EQ(todos[0].Priority, 5);
}

TEST_F(Reminders, SnoozeLateInTheDayComesBackTomorrow) {
  files::MSG.SNOOZEINTERVAL = 30;
  rt::setTestClock(ymd(2024, 1, 10), at(23, 50));
  EXPECT_NE(SnoozeMessage({"Late", "Late text", "", false}), 0);
  const std::vector<files::ScheduleRec> tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(moment(tasks[0].Date, tasks[0].Time), moment(ymd(2024, 1, 11), at(0, 20)));
  EXPECT_EQ(tasks[0].Alarm, 0) << "no sound, no alarm";
}

TEST_F(Reminders, AlarmRepeatsEveryIntervalUntilItsTimeIsUpWhileTheWindowStays) {
  files::MSG.REPEATALARMINTERVAL = 30;  // seconds
  files::MSG.MAXALARMTIME = 2;          // minutes
  // (seconds after the window opened, sounds heard by then)
  const std::vector<std::pair<int, size_t>> steps = {{10, 0}, {29, 0}, {30, 1}, {45, 1}, {60, 2},
                                                     {90, 3}, {120, 4}, {150, 4}, {240, 4}};
  ui::test::runScript([&](Driver& d) {
    d.gui([] { ShowMessageThread({"Stand up", "Stretch", "/tmp/chime.wav", true}); });
    WindowDriver w = d.waitWindow("ShowModalMessage");
    for (const auto& [seconds, heard] : steps) {
      d.gui([s = seconds] { rt::setTestClock(ymd(2024, 1, 10), at(12, 0) + s * 100); });
      w.tick();
      d.gui([&, s = seconds, h = heard] { EXPECT_EQ(played.size(), h) << "after " << s << " seconds"; });
    }
    EXPECT_TRUE(w.isOpen()) << "the window stays after the alarm stopped";
    w.press("?Close");
    d.waitClosed(w);
  });
  for (const std::string& file : played) EXPECT_EQ(file, "/tmp/chime.wav");
}

TEST(AlarmRepeat, WithoutAnIntervalNeverSoundsAndCrossesMidnight) {
  AlarmRepeat none;
  none.start(100, 100, 0, 5);
  EXPECT_FALSE(none.due(101, 100));

  AlarmRepeat late;  // 23:59:50 plus 30 seconds is 00:00:20 the next day
  const int32_t nearMidnight = 8640000 - 1000 + 1;
  late.start(100, nearMidnight, 30, 0);
  EXPECT_FALSE(late.due(100, nearMidnight + 500));
  EXPECT_TRUE(late.due(101, 2001 + 100));
  EXPECT_FALSE(late.due(101, 2001 + 200)) << "the next one is 30 seconds on";
  EXPECT_TRUE(late.due(101, 2001 + 3100));
}
