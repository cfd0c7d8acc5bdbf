// The tick: when the runner looks at the schedule, and the clock-forward warning.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datalib/globals.h"
#include "scheduler/globals.h"
#include "scheduler/runner.h"
#include "scheduler/temp_script_execution.h"
#include "scheduler/tests/data_fixture.h"
#include "scheduler/tests/test_tasks.h"
#include "scheduler/tick.h"

namespace ov::scheduler::testing {
namespace {

class Tick : public DataFixture {
 protected:
  void SetUp() override {
    DataFixture::SetUp();
    files::PRODUCTNAME = "Orvane 2003";
    files::TASK.HISTORYEXPIRES = 0;
    tickState() = TickState{};
    runnerState() = RunnerState{};
    tickFrame() = TickFrame{};
    runnerFrame() = RunnerFrame{};
    // An empty schedule: every look-up of the runner sets the tray tip to the bare product name.
    runnerFrame().setTrayTip = [this](std::string_view tip) { lookUps += tip == "Orvane 2003"; };
    tickFrame().warn = [this](std::string_view text, std::string_view) { warnings.emplace_back(text); };
    tickFrame().startBackup = [this] { ++backups; };
  }
  void TearDown() override {
    tickFrame() = TickFrame{};
    runnerFrame() = RunnerFrame{};
    DataFixture::TearDown();
  }
  int lookUps = 0, backups = 0;
  std::vector<std::string> warnings;
};

TEST_F(Tick, RunnerLooksOnEveryThirdTickWithoutAWatchOnlyWhenDueWithOne) {
  struct Case {
    const char* name;
    bool watching;
    std::vector<int> lookedOn;  // ticks 1..9 on which the runner looked
  };
  const Case cases[] = {
      {"no change notification: first tick and every third", false, {1, 3, 6, 9}},
      {"a change notification: first tick and when due", true, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tickState() = TickState{};
    runnerState() = RunnerState{};
    rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
    tickState().LastSeenDate = rt::TODAY();
    tickFrame().hasChangeNotification = [&] { return c.watching; };
    tickFrame().dataFolderChanged = [] { return false; };
    std::vector<int> looked;
    for (int tick = 1; tick <= 9; ++tick) {
      const int before = lookUps;
      MainTimerTick();
      if (lookUps != before) looked.push_back(tick);
      rt::advanceTestClock(100);
    }
    EXPECT_EQ(looked, c.lookedOn);
  }
  // The empty schedule set the next look one minute after the first; then the runner looks again.
  const int before = lookUps;
  rt::advanceTestClock(6000);
  tickFrame().hasChangeNotification = [] { return true; };
  MainTimerTick();
  EXPECT_EQ(lookUps, before + 1);
}

TEST_F(Tick, ChangeInTheDataFolderBringsTheLookForward) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  tickState().LastSeenDate = rt::TODAY();
  bool changed = false;
  tickFrame().hasChangeNotification = [] { return true; };
  tickFrame().dataFolderChanged = [&] { return std::exchange(changed, false); };
  MainTimerTick();  // first tick: looks
  MainTimerTick();
  EXPECT_EQ(lookUps, 1);
  changed = true;
  MainTimerTick();  // the change moves the look to one second ahead: within this minute
  EXPECT_EQ(lookUps, 2);
  MainTimerTick();
  EXPECT_EQ(lookUps, 2);
}

TEST_F(Tick, ClockMovedForwardFourDaysWarnsOnceButDaysOfRunningDoNot) {
  struct Case {
    const char* name;
    std::vector<int> days;  // the dates of successive ticks, as days after the start
    int warnings;
  };
  const Case cases[] = {
      {"forward by exactly 3 days: nothing", {3, 3}, 0},
      {"forward by 4 days: warned once", {4, 4, 5}, 1},
      {"running for five days, a tick each day: nothing", {1, 2, 3, 4, 5}, 0},
      {"set back a week: nothing", {-7}, 0},
  };
  const int32_t start = ymd(2024, 3, 10);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    warnings.clear();
    backups = 0;
    tickState().LastSeenDate = start;
    for (int day : c.days) {
      rt::setTestClock(start + day, at(12, 0));
      ClockForwardCheck();
    }
    EXPECT_EQ(int(warnings.size()), c.warnings);
    EXPECT_EQ(backups, c.warnings);
  }
}

TEST_F(Tick, RefreshIsBroadcastOnEvenTicksWhenPending) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  tickState().LastSeenDate = rt::TODAY();
  int broadcasts = 0;
  tickFrame().broadcastRefresh = [&] { ++broadcasts; };
  MainTimerTick();
  runnerState().RefreshPending = 2;
  MainTimerTick();
  MainTimerTick();
  MainTimerTick();
  EXPECT_EQ(broadcasts, 1);
  EXPECT_EQ(runnerState().RefreshPending, 0);
}

TEST_F(Tick, MinimisingFollowsTheTraySettingOnceEverySixtyTicks) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  tickState().LastSeenDate = rt::TODAY();
  std::vector<std::string> calls;
  tickFrame().allowMinimize = [&] { calls.emplace_back("allow"); };
  tickFrame().disallowMinimize = [&] { calls.emplace_back("disallow"); };
  files::GLO.NOTRAY = 1;
  for (int i = 0; i < 60; ++i) MainTimerTick();
  EXPECT_TRUE(calls.empty()) << "set-up applied the setting already";
  MainTimerTick();
  EXPECT_EQ(calls, (std::vector<std::string>{"allow"}));
  files::GLO.NOTRAY = 0;  // changed in Options: no restart needed
  for (int i = 0; i < 60; ++i) MainTimerTick();
  EXPECT_EQ(calls, (std::vector<std::string>{"allow", "disallow"}));
  files::GLO.NOTRAY = 2;  // neither: nothing changes
  for (int i = 0; i < 60; ++i) MainTimerTick();
  EXPECT_EQ(calls.size(), 2u);
  files::GLO.NOTRAY = 0;
}

TEST_F(Tick, AStatusBarNoteShowsForOneTickEvenWhileAScriptRuns) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  tickState().LastSeenDate = rt::TODAY();
  std::vector<std::string> shown;  // what status zone 2 showed, tick by tick
  tickFrame().setStatus = [&](int zone, std::string_view text) {
    if (zone == 2) shown.emplace_back(text);
  };
  tickFrame().queuedScripts = [] { return 1; };
  tickFrame().shownScriptStep = [] { return std::string("Send Email"); };
  StatusBarNote = "Sending Email...";
  MainTimerTick();
  EXPECT_EQ(shown, std::vector<std::string>{"Sending Email..."});
  EXPECT_TRUE(StatusBarNote.isBlank());
  shown.clear();
  rt::advanceTestClock(100);
  MainTimerTick();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), "Send Email");
}

// The working icon: its idle frames turn one a tick while the scheduler runs, the script frames
// take over while a script runs, and nothing shows while the scheduler is off with no script.
TEST_F(Tick, TheWorkingIconFollowsTheSchedulerAndTheScriptQueue) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  tickState().LastSeenDate = rt::TODAY();
  SchedulerActive = 1;
  int queued = 0;
  std::vector<std::string> icons;
  tickFrame().queuedScripts = [&] { return queued; };
  tickFrame().setWorkingIcon = [&](std::string_view icon) { icons.emplace_back(icon); };
  for (int i = 0; i < 8; ++i) MainTimerTick();
  EXPECT_EQ(icons, (std::vector<std::string>{"~wrka.ico", "~wrkb.ico", "~wrkc.ico", "~wrkd.ico", "~wrke.ico",
                                             "~wrkf.ico", "~wrkg.ico", "~wrka.ico"}));

  const struct {
    bool active;
    int queued;
    uint8_t runByHand;
    const char* icon;
  } cases[] = {
      {true, 1, 0, "~wrkbs.ico"},   // a queued script runs
      {true, 0, 0, "~wrkc.ico"},    // back to idle once the queue is empty
      {false, 0, 0, "~blank.ico"},  // off, nothing queued
      {false, 1, 0, "~blank.ico"},  // off: a scheduled script waits
      {false, 1, 1, "~wrkfs.ico"},  // off, but run by hand from a list
  };
  for (const auto& c : cases) {
    SchedulerActive = c.active ? 1 : 0;
    queued = c.queued;
    TempScriptExecution() = c.runByHand;
    icons.clear();
    MainTimerTick();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons.back(), c.icon) << "active " << c.active << ", queued " << c.queued << ", by hand "
                                    << int(c.runByHand);
  }
  TempScriptExecution() = 0;
  SchedulerActive = 1;
}

TEST_F(Tick, WhileInactiveOnlyAScriptRunByHandTakesItsSteps) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  tickState().LastSeenDate = rt::TODAY();
  SchedulerActive = 0;
  int queued = 2, steps = 0;
  std::string marker = "?";
  tickFrame().setStatus = [&](int zone, std::string_view text) {
    if (zone == 1) marker = text;
  };
  tickFrame().queuedScripts = [&] { return queued; };
  tickFrame().scriptStep = [&] { ++steps, --queued; };

  std::string tray;
  tickFrame().setTrayIcon = [&](std::string_view icon) { tray = icon; };
  std::vector<bool> stopCommand;
  tickFrame().scriptsRunning = [&](bool running) { stopCommand.push_back(running); };

  TempScriptExecution() = 0;
  MainTimerTick();
  EXPECT_EQ(steps, 0) << "a script the schedule queued waits while inactive";
  EXPECT_EQ(tray, "trayoff");

  TempScriptExecution() = 1;  // the task lists' Execute
  MainTimerTick();
  EXPECT_EQ(marker, "*") << "the status bar marks the running script";
  EXPECT_EQ(tray, "traybusy_ico");
  MainTimerTick();
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(tray, "traybus2_ico") << "the busy picture alternates";
  MainTimerTick();
  EXPECT_EQ(TempScriptExecution(), 0) << "cleared once the queue is empty";
  EXPECT_EQ(marker, "");
  EXPECT_EQ(tray, "trayoff");
  EXPECT_EQ(stopCommand, (std::vector<bool>{true, false})) << "stop-scripts is offered only while one runs";
  queued = 1;
  MainTimerTick();
  EXPECT_EQ(steps, 2) << "the next script waits again";
  SchedulerActive = 1;
  MainTimerTick();
  EXPECT_EQ(tray, "traybusy_ico");
  queued = 0;
  MainTimerTick();
  EXPECT_EQ(tray, "tray_ico");
}

TEST_F(Tick, ADataFileReplacedWhileOpenIsToldOnce) {
  rt::setTestClock(ymd(2024, 3, 10), at(10, 0));
  tickState().LastSeenDate = rt::TODAY();
  ASSERT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
  MainTimerTick();
  EXPECT_TRUE(warnings.empty());
  // Not a data file of ours at all: nothing may be written into it.
  const std::string file = (dir() / "RO97.ZEZ").string();
  { std::ofstream(dir() / "other") << "a file from somewhere else\n"; }
  ASSERT_EQ(std::rename((dir() / "other").c_str(), file.c_str()), 0);
  MainTimerTick();
  MainTimerTick();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find(file + ": the file was replaced by another file"), std::string::npos) << warnings[0];
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "a file from somewhere else\n");
}

}  // namespace
}  // namespace ov::scheduler::testing
