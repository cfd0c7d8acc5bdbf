// The frame's end-of-session sequence and its system events, with the session's messages sent to
// the frame's window as the system classes get them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "scheduler/runner.h"
#include "scheduler/services.h"
#include "scheduler/tick.h"
#include "platform/ui/window_proc.h"
#include "scheduler/tests/frame_fixture.h"

namespace ov::scheduler {
namespace {

using testing::FrameFixture;
using ui::test::Driver;
using ui::test::WindowDriver;

// A window of another logical thread (a browse, say).
class OtherWindow : public ui::WindowManager {
 public:
  OtherWindow() : WindowManager("OtherWindow") {}
  ui::Level Init() override {
    window().setTitle("Other");
    Open();
    return ui::Level::Benign;
  }
};

class Frame : public FrameFixture {
 protected:
  std::string mutexFile() {
    std::ifstream in(dir() / "MUTEX.TMP");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(Frame, EndOfSessionClosesTheOtherWindowsAtOnceAndTheFrameFiveSecondsLater) {
  const int32_t task = taskSetting("SHUTDOWNRAN");
  addTrigger(task, "Event", "Shutdown");
  ui::test::runScript([&](Driver& d) {
    WindowDriver w = startFrame(d);
    d.start([] { return std::make_unique<OtherWindow>(); });
    WindowDriver other = d.waitWindow("OtherWindow");

    // The query fires the "Shutdown" trigger on the next poll, not at once; the answer lets the
    // session end.
    ui::LRESULT answer = 0;
    d.gui([&] { answer = ui::SendMessage(w.handle(), ui::WM::QueryEndSession, 0, 0); });
    EXPECT_EQ(answer, 1);
    d.settle();
    EXPECT_TRUE(triggerState().events == std::vector<std::string>{"Shutdown"});
    EXPECT_EQ(var("SHUTDOWNRAN"), "");

    d.gui([&] { answer = ui::SendMessage(w.handle(), ui::WM::EndSession, 1, 0); });
    EXPECT_EQ(answer, 1);
    d.waitClosed(other, std::chrono::seconds(5));
    EXPECT_FALSE(other.isOpen()) << "the other windows close at once";
    for (int second = 1; second <= 5; ++second) {
      tick(d, w);
      EXPECT_TRUE(w.isOpen()) << "second " << second;
    }
    EXPECT_EQ(var("SHUTDOWNRAN"), "ran") << "the trigger's task has run meanwhile";
    tick(d, w);
    d.waitClosed(w, std::chrono::seconds(5));
    EXPECT_FALSE(w.isOpen()) << "the frame closes on the first step more than 5 seconds on";
  });
  EXPECT_NE(mutexFile().find("Normal Exit=True"), std::string::npos) << "a clean exit";
}

TEST_F(Frame, PowerAndDeviceEventsFeedTheirTriggers) {
  struct Case {
    uint32_t msg;
    ui::WPARAM wParam;
    const char* trigger;  // the event noted, or nullptr
    bool closesOthers;
  };
  const Case cases[] = {
      {ui::WM::PowerBroadcast, 10, "Power status change", false},
      {ui::WM::PowerBroadcast, 9, "Low battery", true},
      {ui::WM::PowerBroadcast, 1, "Standby", true},
      {ui::WM::PowerBroadcast, 0, "Suspend", true},
      {ui::WM::PowerBroadcast, 4, nullptr, false},  // the suspend itself
      {ui::WM::DeviceChange, 7, "Device change", false},
  };
  addTrigger(taskSetting("ANY"), "Event", "Device change");  // event triggers are noted only when there are triggers
  ui::test::runScript([&](Driver& d) {
    WindowDriver w = startFrame(d);
    for (const Case& c : cases) {
      d.start([] { return std::make_unique<OtherWindow>(); });
      WindowDriver other = d.waitWindow("OtherWindow");
      d.gui([&] {
        triggerState().events.clear();
        (void)ui::SendMessage(w.handle(), c.msg, c.wParam, 0);
      });
      d.settle();
      const std::vector<std::string> expected = c.trigger ? std::vector<std::string>{c.trigger} : std::vector<std::string>{};
      EXPECT_EQ(triggerState().events, expected) << c.msg << " " << c.wParam;
      EXPECT_EQ(other.isOpen(), !c.closesOthers) << c.msg << " " << c.wParam;
      if (other.isOpen()) other.close();
      d.waitClosed(other);
    }
    w.close();  // not held in the tray: the frame closes
    d.waitClosed(w);
  });
}

TEST_F(Frame, TrayClicksReachTheFrameThroughItsMessageHooks) {
  constexpr uint32_t kTrayCallback = 1088;
  constexpr ui::LPARAM kLeftDoubleClick = 515, kRightButtonUp = 517;
  ui::test::runScript([&](Driver& d) {
    WindowDriver w = startFrame(d);
    auto hidden = [&] {
      bool h = false;
      w.with([&](ui::Window& win) { h = win.propInt(0, ui::Prop::Hide) != 0; });
      return h;
    };
    w.with([](ui::Window& win) { win.setProp(0, ui::Prop::Hide, 1); });
    ASSERT_TRUE(hidden());
    // A tick that sees the data folder change may ask for a refresh of its own meanwhile.
    int refreshBefore = 0;
    d.gui([&] {
      refreshBefore = runnerState().RefreshPending;
      (void)ui::SendMessage(w.handle(), kTrayCallback, 99, kLeftDoubleClick);
    });
    d.settle();
    EXPECT_FALSE(hidden()) << "a double click brings the frame back";
    EXPECT_GE(runnerState().RefreshPending, refreshBefore + 1) << "and asks for a refresh";

    prompts.expectPopup("Exit Orvane");
    d.gui([&] { (void)ui::SendMessage(w.handle(), kTrayCallback, 99, kRightButtonUp); });
    d.waitClosed(w);
    EXPECT_FALSE(w.isOpen()) << "Exit in the tray popup closes the frame";
  });
}

TEST_F(Frame, MenusOfferWhatIsThereAndTheTrayPopupRunsTheFramesCommands) {
  ui::test::runScript([&](Driver& d) {
    WindowDriver w = startFrame(d);
    EXPECT_TRUE(w.enabled("?RescheduleAll"));
    EXPECT_TRUE(w.enabled("?Housekeeping"));
    EXPECT_TRUE(w.enabled("?Exit"));
    EXPECT_FALSE(w.enabled("?ToDo")) << "no to-do list is registered in this program";
    EXPECT_FALSE(w.enabled("?TbToDo"));
    EXPECT_FALSE(w.enabled("?Options"));

    w.press("?Housekeeping");
    WindowDriver housekeeping = d.waitWindow("Housekeeping");
    housekeeping.press("?Close");
    d.waitClosed(housekeeping);

    prompts.expectPopup("Reschedule All");
    d.gui([&] { (void)ui::SendMessage(w.handle(), 1088, 99, 517); });  // the tray's right click
    WindowDriver reschedule = d.waitWindow("RescheduleAllTasks:GetDate");
    reschedule.press("?Cancel");
    d.waitClosed(reschedule);
    EXPECT_TRUE(w.isOpen());

    d.gui([] { tickState().unlocked = true; });
    w.post(ui::EVENT::Iconize);
    d.settle();
    d.gui([] { EXPECT_FALSE(tickState().unlocked) << "minimising puts the system lock back on"; });
    d.gui([] { ui::closeAllWindows(); });
  });
}

TEST_F(Frame, ClockJumpOfFourDaysStartsTheBackupAndWarns) {
  std::vector<std::string> started;
  services().runNoWait = [&](std::string_view line) {
    started.emplace_back(line);
    return 0;
  };
  ui::test::runScript([&](Driver& d) {
    WindowDriver w = startFrame(d);
    tick(d, w);
    d.gui([] { rt::advanceTestClock(3 * 8640000); });
    tick(d, w);
    EXPECT_TRUE(started.empty()) << "three days change nothing";
    prompts.expectMessage("You have set the system date forward more than 3 days.", ui::BUTTON::Ok);
    d.gui([] { rt::advanceTestClock(4 * 8640000); });
    tick(d, w);
    d.settle();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(started[0].ends_with("/QMTBACK.EXE RO97.ZEZ")) << started[0];
    tick(d, w);
    EXPECT_EQ(started.size(), 1u) << "once per jump";
    d.gui([] { ui::closeAllWindows(); });
  });
  EXPECT_FALSE(prompts.pending());
}

}  // namespace
}  // namespace ov::scheduler
