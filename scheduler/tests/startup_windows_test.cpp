// The windows the frame opens at start: the splash and the lists the user asked for, each on a
// thread of its own; a window that no part of the program has registered is simply not started.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "datalib/config.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "scheduler/program_windows.h"
#include "scheduler/tests/frame_fixture.h"

namespace ov::scheduler {
namespace {

using testing::FrameFixture;
using ui::test::Driver;
using ui::test::WindowDriver;

class Named : public ui::WindowManager {
 public:
  explicit Named(std::string name) : WindowManager(std::move(name)) {}
  ui::Level Init() override {
    window().setTitle(procedureName());
    Open();
    return ui::Level::Benign;
  }
};

class StartupWindows : public FrameFixture {
 protected:
  void SetUp() override {
    FrameFixture::SetUp();
    for (const char* name : {"Splash", "BrowseToDoList", "ExploreSchedule", "BrowseSchedule"})
      registerProgramWindow(name, [name] { return std::make_unique<Named>(name); });
  }
  void TearDown() override {
    for (const char* name : {"Splash", "BrowseToDoList", "ExploreSchedule", "BrowseSchedule"})
      registerProgramWindow(name, {});
    FrameFixture::TearDown();
  }
  static bool isOpen(const std::string& procedure) {
    for (ui::Window* w : ui::openWindows())
      if (w->manager() && w->manager()->procedureName() == procedure) return true;
    return false;
  }
};

TEST_F(StartupWindows, SplashAndChosenListsOpenAndTheFirstCommandClosesTheSplash) {
  files::PUTCONFIG("StartUpToDo", "1");
  files::PUTCONFIG("StartUpContacts", "1");  // no contacts list is registered: nothing opens for it
  files::PUTCONFIG("AltFmt", "1");           // the explorer view of the schedule
  ui::test::runScript([&](Driver& d) {
    WindowDriver frame = startFrame(d);
    WindowDriver splash = d.waitWindow("Splash");
    WindowDriver todo = d.waitWindow("BrowseToDoList");
    WindowDriver schedule = d.waitWindow("ExploreSchedule");
    d.gui([&] { EXPECT_FALSE(isOpen("BrowseSchedule")); });
    frame.post(ui::EVENT::Accepted, "?About");
    d.waitClosed(splash);
    EXPECT_FALSE(splash.isOpen());
    EXPECT_TRUE(todo.isOpen()) << "only the splash closes";
    EXPECT_TRUE(schedule.isOpen());
    d.gui([] { ui::closeAllWindows(); });
  });
}

TEST_F(StartupWindows, NoSplashWhenTheSettingSaysSoAndTheDayListByDefault) {
  files::PUTCONFIG("NoSplash", "1");
  ui::test::runScript([&](Driver& d) {
    WindowDriver frame = startFrame(d);
    WindowDriver schedule = d.waitWindow("BrowseSchedule");
    d.settle();
    d.gui([&] {
      EXPECT_FALSE(isOpen("Splash"));
      EXPECT_FALSE(isOpen("BrowseToDoList"));
      EXPECT_FALSE(isOpen("ExploreSchedule"));
    });
    d.gui([] { ui::closeAllWindows(); });
  });
}

// The toolbar's working icon shows its first frame as the frame opens, before the first tick.
TEST_F(StartupWindows, TheWorkingIconShowsAsTheFrameOpens) {
  files::PUTCONFIG("NoSplash", "1");
  ui::test::runScript([&](Driver& d) {
    WindowDriver frame = startFrame(d);
    EXPECT_EQ(frame.text("?WorkingIcon"), "~wrka.ico");
    d.gui([] { ui::closeAllWindows(); });
  });
}

}  // namespace
}  // namespace ov::scheduler
