// The window list, focus and typing on a display without a window manager: a private Xvfb of
// this test program, so the fall-backs (the root's children, XSetInputFocus) are the ones used.
#include "platform/os/input.h"
#include "platform/os/window_list.h"

#include "platform/os/tests/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace ov::os {
namespace {

using test::Probe;
using test::waitUntil;

// Starts the private display before any test touches X, and stops it at the end.
class BareDisplay : public ::testing::Environment {
 public:
  void SetUp() override {
    m_server = std::make_unique<test::Child>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    std::string number;
    ASSERT_TRUE(m_server->readLine(number, 10000)) << "Xvfb did not start";
    setenv("DISPLAY", (":" + number).c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);  // for the probe windows
  }
  void TearDown() override { m_server.reset(); }

 private:
  std::unique_ptr<test::Child> m_server;
};

const auto* const kDisplay = ::testing::AddGlobalTestEnvironment(new BareDisplay);

int indexOf(WindowId id) {
  auto list = listTopWindows();
  auto it = std::find_if(list.begin(), list.end(), [&](const TopWindow& w) { return w.id == id; });
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TEST(BareX11, ListFocusTypeAndClose) {
  ASSERT_TRUE(haveDisplay());
  Probe a("Bare Alpha", 50, 50, 300, 200), b("Bare Beta", 400, 50, 300, 200);
  ASSERT_TRUE(a.ready() && b.ready());
  ASSERT_TRUE(waitUntil([&] { return isWindowVisible(a.id()) && isWindowVisible(b.id()); }));
  EXPECT_EQ(windowTitle(a.id()), "Bare Alpha");
  EXPECT_EQ(windowClass(b.id()), "os_test_helper");

  ASSERT_TRUE(bringToFront(a.id(), test::kFrontWaitMs));
  EXPECT_EQ(foregroundWindow(), a.id());
  EXPECT_LT(indexOf(a.id()), indexOf(b.id())) << "raised to the top";
  std::string line;
  ASSERT_TRUE(a.next("focus in", line));
  ASSERT_EQ(typeText("bare {x} é", a.id()), TypeResult::Typed);
  EXPECT_EQ(a.typedText("bare {x} é"), "bare {x} é");

  ASSERT_TRUE(bringToFront(b.id(), test::kFrontWaitMs));
  EXPECT_LT(indexOf(b.id()), indexOf(a.id()));
  EXPECT_EQ(typeText("no", a.id()), TypeResult::NotFocused);

  WindowRect r;
  ASSERT_TRUE(windowRect(b.id(), r));
  EXPECT_EQ(r.x, 400);  // no frame: the client's own place
  EXPECT_EQ(r.y, 50);
  EXPECT_EQ(r.width, 300);
  ASSERT_TRUE(moveMouseTo(r.x + 10, r.y + 10));
  EXPECT_EQ(windowUnderPointer(), b.id());

  ASSERT_TRUE(closeWindow(b.id()));
  EXPECT_TRUE(b.next("close", line));
  EXPECT_TRUE(waitUntil([&] { return indexOf(b.id()) < 0; }));
}

}  // namespace
}  // namespace ov::os
