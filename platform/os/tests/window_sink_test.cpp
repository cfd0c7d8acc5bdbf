// Messages of this layer reach a window of the window layer through its chain of hooks.
#include "platform/os/session_watch.h"
#include "platform/os/window_sink.h"

#include "platform/os/tests/support.h"
#include "platform/os/tests/support_ui.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace ov::os {
namespace {

TEST(WindowSink, TheEndOfTheSessionReachesTheWindowsHooksWithItsAnswer) {
  struct Case {
    const char* name;
    ui::LRESULT queryAnswer;
    ui::WPARAM endWParam;
  };
  const Case kCases[] = {{"the session may end", 1, 1}, {"the window objects", 0, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    test::HookedWindow w;
    ASSERT_TRUE(w.open());
    w.answered = {wm::kQueryEndSession, wm::kEndSession};
    w.answer = c.queryAnswer;
    SessionWatch watch(sendTo(w.handle()), QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "ov_os_none"));
    ASSERT_EQ(raise(SIGTERM), 0);
    ASSERT_TRUE(test::waitUntil([&] { return !w.of(wm::kEndSession).empty(); }));
    EXPECT_EQ(w.of(wm::kQueryEndSession).size(), 1u);
    EXPECT_EQ(w.of(wm::kEndSession)[0].wParam, c.endWParam);
  }
}

TEST(WindowSink, AWindowThatHasGoneAnswersNothing) {
  EXPECT_EQ(sendTo(0x7ffffff)(WinMessage{wm::kHotKey, 1, 2}), 0);
}

}  // namespace
}  // namespace ov::os
