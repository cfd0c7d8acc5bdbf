// A hot key pressed on the X keyboard (XTest) runs its task through the frame; a window trigger
// fires when a real window of its title opens, under Xvfb and openbox.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QWidget>

#include <chrono>
#include <functional>
#include <thread>

#include "platform/os/input.h"
#include "platform/os/window_list.h"
#include "scheduler/tests/frame_fixture.h"

namespace ov::scheduler {
namespace {

using testing::FrameFixture;
using ui::test::Driver;
using ui::test::WindowDriver;

constexpr int kVkShift = 16, kVkControl = 17, kVkF11 = 122;

int queuedSteps(int32_t task) {
  int n = 0;
  for (const ScriptEntry& e : ActiveScriptQueue) n += e.RECORD.ID == task && actionOf(e) != kEndMarker;
  return n;
}

class X11Triggers : public FrameFixture {
 protected:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    FrameFixture::SetUp();
    if (!os::haveDisplay()) GTEST_SKIP() << "no X display";
  }
};

TEST_F(X11Triggers, AHotKeyPressedOnTheKeyboardRunsItsTask) {
  const int32_t task = taskSetting("HOTKEYRAN");
  addHotKey("Ctrl-Shift-F11", task);
  ui::test::runScript([&](Driver& d) {
    WindowDriver w = startFrame(d);
    d.gui([] {
      ASSERT_TRUE(os::keyEvent(kVkControl, true));
      ASSERT_TRUE(os::keyEvent(kVkShift, true));
      ASSERT_TRUE(os::keyEvent(kVkF11, true));
      ASSERT_TRUE(os::keyEvent(kVkF11, false));
      ASSERT_TRUE(os::keyEvent(kVkShift, false));
      ASSERT_TRUE(os::keyEvent(kVkControl, false));
      os::flushInput();
    });
    EXPECT_TRUE(d.waitUntil([&] { return queuedSteps(task) == 1; })) << "the press queues the task's script";
    for (int i = 0; i < 3 && var("HOTKEYRAN").empty(); ++i) tick(d, w);
    EXPECT_EQ(var("HOTKEYRAN"), "ran");
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(X11Triggers, TextOfAHotKeyIsTypedWithoutTheKeysStillHeld) {
  addHotKey("Ctrl-Shift-F11", taskSetting("UNUSED"), "Text", "Type", "hello\r\nworld");
  ui::test::runScript([&](Driver& d) {
    WindowDriver w = startFrame(d);
    QPlainTextEdit* edit = nullptr;
    d.gui([&] {
      edit = new QPlainTextEdit;
      edit->setWindowTitle("Hot Key Typing");
      edit->resize(300, 120);
      edit->show();
      edit->activateWindow();
    });
    ASSERT_TRUE(d.waitUntil([&] { return QApplication::activeWindow() == edit && edit->hasFocus(); }));
    // The user still holds Ctrl and Shift when the hot key's text goes out.
    d.gui([] {
      ASSERT_TRUE(os::keyEvent(kVkControl, true));
      ASSERT_TRUE(os::keyEvent(kVkShift, true));
      ASSERT_TRUE(os::keyEvent(kVkF11, true));
      ASSERT_TRUE(os::keyEvent(kVkF11, false));
      os::flushInput();
    });
    EXPECT_TRUE(d.waitUntil([&] { return edit->toPlainText() == "hello\nworld"; }, std::chrono::seconds(10)))
        << "one line break for the CR LF: " << edit->toPlainText().toStdString();
    d.gui([&] {
      (void)os::keyEvent(kVkShift, false);
      (void)os::keyEvent(kVkControl, false);
      os::flushInput();
      delete edit;
    });
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(X11Triggers, AWindowTriggerFiresWhenItsWindowOpensAndAgainWhenItComesBack) {
  const std::string title = "Trigger Probe " + std::to_string(::getpid());
  const int32_t task = taskSetting("WINDOWRAN");
  addTrigger(task, "Window", "*" + title);
  triggerFrame().pause = [](int) {};
  LoadTriggers();
  ASSERT_EQ(triggerState().queue.size(), 1u);

  // Polls (letting the window system work) until `done` holds, for at most five seconds.
  auto pollUntil = [&](const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      QApplication::processEvents();
      PollTriggers();
      FireTriggers();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  };
  QWidget probe;
  probe.setWindowTitle(QString::fromStdString(title));
  probe.resize(200, 80);
  for (int round = 1; round <= 2; ++round) {
    probe.show();
    EXPECT_TRUE(pollUntil([&] { return queuedSteps(task) > 0; })) << "round " << round;
    StopScripts();
    for (int i = 0; i < 3; ++i) pollUntil([] { return true; });
    EXPECT_EQ(queuedSteps(task), 0) << "once while the window stays, round " << round;
    probe.hide();
    EXPECT_TRUE(pollUntil([&] { return triggerState().queue[0].seenWindow == 0; })) << "round " << round;
  }
}

}  // namespace
}  // namespace ov::scheduler
