// The window list, focus and window requests against probe windows, with xdotool, xprop and
// xwininfo as independent readers of the display.
#include "platform/os/input.h"
#include "platform/os/window_list.h"

#include "platform/os/tests/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace ov::os {
namespace {

using test::Probe;
using test::run;
using test::waitUntil;

int indexOf(const std::vector<TopWindow>& list, WindowId id) {
  auto it = std::find_if(list.begin(), list.end(), [&](const TopWindow& w) { return w.id == id; });
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

bool listed(WindowId id) { return indexOf(listTopWindows(), id) >= 0; }

// "WM_CLASS(STRING) = "os_test_helper", "os_test_helper"" -> the class part.
std::string xpropClass(WindowId id) {
  std::string out = run({"xprop", "-id", std::to_string(id), "WM_CLASS"});
  auto last = out.rfind('"');
  auto first = out.rfind('"', last - 1);
  return out.substr(first + 1, last - first - 1);
}

std::string xpropName(WindowId id) {
  std::string out = run({"xprop", "-id", std::to_string(id), "-notype", "_NET_WM_NAME"});
  auto first = out.find('"');
  auto last = out.rfind('"');
  return first == std::string::npos ? "" : out.substr(first + 1, last - first - 1);
}

int xwininfoField(const std::string& info, const std::string& field) {
  auto at = info.find(field);
  return at == std::string::npos ? -99999 : std::stoi(info.substr(at + field.size()));
}

TEST(X11Windows, ListsWindowsTopmostFirstWithTitleAndClass) {
  ASSERT_TRUE(haveDisplay());
  Probe a("Probe Alpha Ω"), b("Probe Beta");
  ASSERT_TRUE(a.ready() && b.ready());
  ASSERT_TRUE(waitUntil([&] { return listed(a.id()) && listed(b.id()); }));

  // xdotool finds the same windows by name.
  EXPECT_EQ(run({"xdotool", "search", "--name", "^Probe Beta$"}), std::to_string(b.id()) + "\n");

  ASSERT_TRUE(bringToFront(a.id(), test::kFrontWaitMs));
  ASSERT_TRUE(waitUntil([&] {
    auto list = listTopWindows();
    return indexOf(list, a.id()) >= 0 && indexOf(list, a.id()) < indexOf(list, b.id());
  })) << "the active window comes first";
  ASSERT_TRUE(bringToFront(b.id(), test::kFrontWaitMs));
  ASSERT_TRUE(waitUntil([&] {
    auto list = listTopWindows();
    return indexOf(list, b.id()) >= 0 && indexOf(list, b.id()) < indexOf(list, a.id());
  }));

  for (const Probe* p : {&a, &b}) {
    auto list = listTopWindows();
    const TopWindow& w = list[indexOf(list, p->id())];
    EXPECT_EQ(w.title, xpropName(p->id()));
    EXPECT_EQ(w.className, xpropClass(p->id()));
    EXPECT_EQ(windowTitle(p->id()), w.title);
  }
  EXPECT_EQ(windowTitle(a.id()), "Probe Alpha Ω");
  EXPECT_EQ(windowClass(a.id()), "os_test_helper");
}

TEST(X11Windows, FocusMinimiseRestoreAndClose) {
  Probe p("Probe Focus");
  ASSERT_TRUE(p.ready());
  ASSERT_TRUE(waitUntil([&] { return listed(p.id()); }));
  ASSERT_TRUE(bringToFront(p.id(), test::kFrontWaitMs));
  std::string line;
  EXPECT_TRUE(p.next("focus in", line));
  EXPECT_EQ(foregroundWindow(), p.id());
  EXPECT_EQ(run({"xdotool", "getactivewindow"}), std::to_string(p.id()) + "\n");
  EXPECT_TRUE(waitUntil([&] { return hasFocus(p.id()); }));
  EXPECT_TRUE(isWindowVisible(p.id()));
  EXPECT_FALSE(isWindowMinimized(p.id()));

  run({"xdotool", "windowminimize", "--sync", std::to_string(p.id())});
  ASSERT_TRUE(waitUntil([&] { return isWindowMinimized(p.id()); }));
  EXPECT_TRUE(isWindowVisible(p.id())) << "a minimised window still counts as visible";
  EXPECT_TRUE(listed(p.id()));
  EXPECT_TRUE(waitUntil([&] { return !hasFocus(p.id()); })) << "the focus leaves a minimised window";

  // The window manager updates the state properties after it has mapped the window again.
  ASSERT_TRUE(bringToFront(p.id(), test::kFrontWaitMs));  // restores it, then activates it
  EXPECT_TRUE(waitUntil([&] { return !isWindowMinimized(p.id()); }));
  EXPECT_TRUE(waitUntil([&] { return hasFocus(p.id()); }));
  EXPECT_TRUE(waitUntil([&] {
    return run({"xwininfo", "-id", std::to_string(p.id())}).find("IsViewable") != std::string::npos;
  }));

  ASSERT_TRUE(closeWindow(p.id()));
  EXPECT_TRUE(p.next("close", line));
  EXPECT_EQ(p.child().wait(5000), 0);
  EXPECT_TRUE(waitUntil([&] { return !windowExists(p.id()); }));
  EXPECT_FALSE(closeWindow(p.id())) << "a window that is gone";
  EXPECT_FALSE(bringToFront(p.id(), 100));
}

TEST(X11Windows, RectanglePointerAndChildren) {
  Probe p("Probe Geometry", 200, 150, 320, 240);
  ASSERT_TRUE(p.ready());
  ASSERT_TRUE(waitUntil([&] { return listed(p.id()); }));
  ASSERT_TRUE(bringToFront(p.id(), test::kFrontWaitMs));

  // The window manager may still be placing the window: compare once xwininfo reads the same
  // before and after our own reading.
  WindowRect r;
  std::string info;
  ASSERT_TRUE(waitUntil([&] {
    info = run({"xwininfo", "-id", std::to_string(p.id())});
    bool ok = windowRect(p.id(), r);
    return ok && run({"xwininfo", "-id", std::to_string(p.id())}) == info;
  }));
  std::string extents = run({"xprop", "-id", std::to_string(p.id()), "_NET_FRAME_EXTENTS"});
  int left = 0, right = 0, top = 0, bottom = 0;
  if (auto eq = extents.find('='); eq != std::string::npos) {
    std::string nums = extents.substr(eq + 1);
    std::replace(nums.begin(), nums.end(), ',', ' ');
    std::istringstream(nums) >> left >> right >> top >> bottom;
  }
  EXPECT_GT(top, 0) << "openbox draws a title bar";
  EXPECT_EQ(r.x, xwininfoField(info, "Absolute upper-left X:") - left);
  EXPECT_EQ(r.y, xwininfoField(info, "Absolute upper-left Y:") - top);
  EXPECT_EQ(r.width, xwininfoField(info, "Width:") + left + right);
  EXPECT_EQ(r.height, xwininfoField(info, "Height:") + top + bottom);

  ASSERT_TRUE(moveMouseTo(r.x + r.width / 2, r.y + r.height / 2));
  EXPECT_TRUE(waitUntil([&] { return windowUnderPointer() == p.id(); }));
  ASSERT_TRUE(moveMouseTo(r.x + r.width + 300, r.y + r.height + 300));
  EXPECT_TRUE(waitUntil([&] { return windowUnderPointer() != p.id(); }));

  auto kids = listChildWindows(p.id());
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(kids[0].title, "Probe Child");
}

TEST(X11Windows, UnknownWindowsAnswerSoftly) {
  const WindowId none = 0x7ffffff0;  // no such window
  EXPECT_FALSE(windowExists(none));
  EXPECT_EQ(windowTitle(none), "");
  EXPECT_FALSE(isWindowVisible(none));
  EXPECT_FALSE(restoreWindow(none));
  EXPECT_FALSE(closeWindow(none));
  WindowRect r;
  EXPECT_FALSE(windowRect(none, r));
  EXPECT_TRUE(listChildWindows(none).empty());
}

}  // namespace
}  // namespace ov::os
