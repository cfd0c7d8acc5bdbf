// The application frame run in the test process on a data folder (ScriptFixture: test clock,
// scripted prompts), with the system's watches left out so the test sends their messages; and
// tasks whose script sets a variable, so a run of the task shows once its step has run.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "datalib/files.h"
#include "platform/ui/testing/driver.h"
#include "scheduler/main_frame.h"
#include "scheduler/tests/script_fixture.h"
#include "scheduler/triggers.h"

namespace ov::scheduler::testing {

class FrameFixture : public ScriptFixture {
 protected:
  void TearDown() override {
    triggerState() = TriggerState{};
    triggerFrame() = TriggerFrame{};
    ScriptFixture::TearDown();
  }

  // A task whose script sets the variable `name` to "ran".
  int32_t taskSetting(const std::string& name) {
    files::ScheduleRec t{};
    t.Description = name;
    const int32_t id = addTask(t);
    EXPECT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
    files::SCRIPTING.clear();
    files::SCR = setValue(name, "ran").r;
    files::SCR.ID = id;
    files::SCR.Sequence = 1;
    EXPECT_EQ(files::SCRIPTING.add(), rt::Err::None);
    (void)files::Access_SCRIPTING.Close();
    return id;
  }

  void addTrigger(int32_t taskId, std::string_view type, std::string_view spec) {
    ASSERT_EQ(files::Access_TRIGGERS.Open(), rt::Err::None);
    files::TRIGGERS.clear();
    files::TRI.ID = taskId;
    files::TRI.TriggerType = type;
    files::TRI.Description = type;
    files::TRI.Active = 1;
    if (type == "Event")
      files::TRI.EventSpec = spec;
    else if (type == "Window")
      files::TRI.WindowSpec = spec;
    else
      files::TRI.FileSpec = spec;
    ASSERT_EQ(files::Access_TRIGGERS.Insert(), rt::Err::None);
    (void)files::Access_TRIGGERS.Close();
  }

  void addHotKey(std::string_view key, int32_t taskId, std::string_view action = "Task",
                 std::string_view textType = {}, std::string_view text = {}) {
    ASSERT_EQ(files::Access_SYSHOTKEYS.Open(), rt::Err::None);
    files::SYSHOTKEYS.clear();
    files::HOT.HotKey = key;
    files::HOT.ID = taskId;
    files::HOT.Action = action;
    files::HOT.TextType = textType;
    files::HOT.Text = std::string(text);
    files::HOT.Active = 1;
    ASSERT_EQ(files::Access_SYSHOTKEYS.Insert(), rt::Err::None);
    (void)files::Access_SYSHOTKEYS.Close();
  }

  // Starts the frame (its Run on the GUI thread) and waits until its first events (hot keys and
  // triggers loaded) have been handled.
  ui::test::WindowDriver startFrame(ui::test::Driver& d) {
    d.later([this] {
      Main frame(FrameOptions{false});
      frameRef = &frame;
      (void)frame.Run();
      frameRef = nullptr;
    });
    ui::test::WindowDriver w = d.waitWindow("Main");
    d.settle();
    return w;
  }

  // One timer step of the frame a second after the last.
  void tick(ui::test::Driver& d, ui::test::WindowDriver& w) {
    d.gui([] { rt::advanceTestClock(100); });
    w.tick();
  }

  Main* frameRef = nullptr;
};

}  // namespace ov::scheduler::testing
