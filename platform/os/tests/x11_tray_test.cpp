// The tray icon docked in the test helper's tray host, clicked through XTest.
#include "platform/os/input.h"
#include "platform/os/tray_icon.h"

#include "platform/os/tests/support.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

// After gtest and Qt: Xlib defines None, Bool and Status as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sstream>

namespace ov::os {
namespace {

using test::Child;

QIcon filled(QColor color) {
  QPixmap p(24, 24);
  p.fill(color);
  return QIcon(p);
}

struct Docked {
  unsigned long window = 0;
  int x = 0, y = 0;
};

// Follows the host's "docked <id> <x> <y>" and "gone <id>" lines (Qt may give the tray a new
// window once after docking); true once the docked window's middle shows `colour`.
bool waitShown(Child& host, Docked& d, unsigned long colour);

// The colour of the middle of the docked window, read from the X server.
unsigned long centrePixel(unsigned long window) {
  if (window == 0) return ~0ul;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 0;
  XImage* img = XGetImage(d, window, 12, 12, 1, 1, AllPlanes, ZPixmap);
  unsigned long pixel = img ? XGetPixel(img, 0, 0) : 0;
  if (img) XDestroyImage(img);
  XCloseDisplay(d);
  return pixel & 0xFFFFFF;
}

bool waitShown(Child& host, Docked& d, unsigned long colour) {
  return test::waitUntil(
      [&] {
        std::string line;
        while (host.readLine(line, 0)) {
          if (line.rfind("docked ", 0) == 0) std::istringstream(line.substr(7)) >> d.window >> d.x >> d.y;
          if (line == "gone " + std::to_string(d.window)) d.window = 0;
        }
        return d.window != 0 && centrePixel(d.window) == colour;
      },
      10000);
}

TEST(X11Tray, ClicksArriveAsTheTrayMessages) {
  test::ensureApp();
  Child host({OV_OS_HELPER, "trayhost"});
  std::string line;
  ASSERT_TRUE(host.waitForLine("ready", line, 10000));
  ASSERT_TRUE(test::waitUntil([] { return TrayIcon::trayAvailable(); }));

  std::vector<WinMessage> got;
  TrayIcon icon(99, [&](const WinMessage& m) {
    got.push_back(m);
    return std::intptr_t{0};
  });
  EXPECT_TRUE(icon.add(filled(Qt::red), "Orvane"));
  Docked d;
  ASSERT_TRUE(waitShown(host, d, 0xFF0000)) << "the red picture shows";

  ASSERT_TRUE(moveMouseTo(d.x + 12, d.y + 12));
  struct Click {
    const char* name;
    std::function<bool()> act;
    unsigned want;
  };
  const Click kClicks[] = {
      {"left", [] { return mouseClick(MouseButton::Left); }, wm::kLButtonUp},
      {"right", [] { return mouseClick(MouseButton::Right); }, wm::kRButtonUp},
      {"middle", [] { return mouseClick(MouseButton::Middle); }, wm::kMButtonUp},
      {"double", [] { return mouseDoubleClick(MouseButton::Left); }, wm::kLButtonDblClk},
  };
  for (const Click& c : kClicks) {
    SCOPED_TRACE(c.name);
    got.clear();
    ASSERT_TRUE(c.act());
    ASSERT_TRUE(test::waitUntil([&] {
      return std::any_of(got.begin(), got.end(), [&](const WinMessage& m) { return m.lParam == static_cast<std::intptr_t>(c.want); });
    }));
    for (const WinMessage& m : got) {
      EXPECT_EQ(m.msg, wm::kTrayCallback);
      EXPECT_EQ(m.wParam, 99u);
    }
  }

  EXPECT_TRUE(icon.changeIcon(filled(Qt::blue)));
  EXPECT_TRUE(waitShown(host, d, 0x0000FF)) << "the new picture shows";
  EXPECT_TRUE(icon.changeTip("Orvane (Inactive)"));
  EXPECT_EQ(icon.tip(), "Orvane (Inactive)");

  EXPECT_TRUE(icon.remove());
  EXPECT_TRUE(test::waitUntil([&] {
    std::string l;
    return host.readLine(l, 0) && l == "gone " + std::to_string(d.window);
  }));
  EXPECT_FALSE(icon.remove()) << "nothing left to remove";
  EXPECT_FALSE(icon.changeTip("x"));
}

TEST(X11Tray, AnIconAddedBeforeTheTrayAppearsWhenItStarts) {
  test::ensureApp();
  ASSERT_TRUE(test::waitUntil([] { return !TrayIcon::trayAvailable(); })) << "another tray host still runs";
  TrayIcon icon(1, {});
  EXPECT_FALSE(icon.add(filled(Qt::green), "Waiting")) << "no tray to show it";
  Child host({OV_OS_HELPER, "trayhost"});
  Docked d;
  EXPECT_TRUE(waitShown(host, d, 0x00FF00));
}

}  // namespace
}  // namespace ov::os
