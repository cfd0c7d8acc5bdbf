// The splash outline table, the splash window (shape, version line, closing by timer and click,
// a narrow picture), the about box, and the colour-depth levels.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QRegion>
#include <QWidget>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "datalib/globals.h"
#include "dialogs/about.h"
#include "dialogs/register_windows.h"
#include "dialogs/tests/fixture.h"
#include "platform/rt/command_line.h"
#include "platform/rt/ini.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "scheduler/frame_commands.h"
#include "scheduler/keystrokes.h"

using namespace ov;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

// The picture lies beside the program, which every test program shares: the tests that put one
// there or expect none take turns through a lock file in the same folder.
class Looks : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    m_lock = ::open((scheduler::ProgramFolder() + "ovlogo.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(m_lock, 0);
    ASSERT_EQ(::flock(m_lock, LOCK_EX), 0);
    DataFolder::SetUp();
    files::VERSIONNUMBER = "5.0";
    files::PRODUCTNAME = "Orvane";
  }
  void TearDown() override {
    DataFolder::TearDown();
    if (m_lock >= 0) ::close(m_lock);  // releases the lock
  }

 private:
  int m_lock = -1;
};

// Removes the picture beside the program however the test ends.
struct LogoFile {
  explicit LogoFile(int width, int height) : path(scheduler::ProgramFolder() + "ovlogo.jpg") {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    ok = image.save(QString::fromStdString(path), "JPG");
  }
  ~LogoFile() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
  std::string path;
  bool ok = false;
};

TEST_F(Looks, SplashRegionTable) {
  const auto& data = dialogs::splashRegionData();
  const auto rects = dialogs::regionRects(data.data(), data.size());
  ASSERT_EQ(rects.size(), 253u);
  EXPECT_EQ(data[0], 32);
  EXPECT_EQ(data[12] | (data[13] << 8), 4048);
  const dialogs::RegionRect first[] = {{79, 3, 93, 4}, {68, 4, 105, 5}, {62, 5, 111, 6}, {58, 6, 116, 7},
                                       {55, 7, 120, 8}, {53, 8, 124, 9}, {50, 9, 127, 10}, {183, 9, 248, 10}};
  const dialogs::RegionRect last[] = {
      {68, 276, 135, 277}, {72, 277, 132, 278}, {76, 278, 127, 279}, {82, 279, 122, 280}, {91, 280, 113, 281}};
  auto same = [](const dialogs::RegionRect& a, const dialogs::RegionRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  for (size_t i = 0; i < std::size(first); ++i) EXPECT_TRUE(same(rects[i], first[i])) << "row " << i;
  for (size_t i = 0; i < std::size(last); ++i) EXPECT_TRUE(same(rects[248 + i], last[i])) << "row " << 248 + i;
  // Rows run top to bottom, each rectangle inside the bounding box, which they fill to its edges.
  int minL = 1000, minT = 1000, maxR = 0, maxB = 0;
  for (size_t i = 0; i < rects.size(); ++i) {
    const auto& r = rects[i];
    EXPECT_LT(r.left, r.right);
    EXPECT_LT(r.top, r.bottom);
    if (i > 0) EXPECT_GE(r.top, rects[i - 1].top);
    minL = std::min(minL, r.left), minT = std::min(minT, r.top);
    maxR = std::max(maxR, r.right), maxB = std::max(maxB, r.bottom);
  }
  EXPECT_EQ(minL, 8);
  EXPECT_EQ(minT, 3);
  EXPECT_EQ(maxR, 472);
  EXPECT_EQ(maxB, 281);
  // A damaged header gives no region, so the window stays rectangular.
  auto damaged = data;
  damaged[8] = 254;
  EXPECT_TRUE(dialogs::regionRects(damaged.data(), damaged.size()).empty());
}

TEST_F(Looks, SplashShowsTheShapeAndClosesByTimerOrClick) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeSplash);
    WindowDriver w = d.waitWindow("Splash");
    EXPECT_EQ(w.text("?Version1"), "Version 5.0");
    EXPECT_TRUE(w.shown("?Version1"));
    EXPECT_FALSE(w.shown("?Version2"));
    w.with([](ui::Window& win) {
      const QRegion mask = win.view()->mask();
      EXPECT_TRUE(mask.contains(QPoint(86, 3)));
      EXPECT_FALSE(mask.contains(QPoint(0, 0))) << "a corner outside the outline";
      EXPECT_FALSE(mask.contains(QPoint(150, 9))) << "the gap between the two rectangles of a row";
      EXPECT_EQ(mask.boundingRect(), QRect(8, 3, 464, 278));
      // The version line lies wholly inside the outline, where it can be seen.
      const QRect version = win.control("?Version1")->view()->geometry();
      EXPECT_TRUE(QRegion(version).subtracted(mask).isEmpty()) << "version line at " << version.x() << "," << version.y();
      // Without a logo file the program's own splash picture fills the window.
      const auto* picture = qobject_cast<const QLabel*>(win.control("?Image1")->view());
      ASSERT_NE(picture, nullptr);
      EXPECT_FALSE(picture->pixmap().isNull());
    });
    w.tick();
    d.waitClosed(w);

    d.start(dialogs::makeSplash);
    w = d.waitWindow("Splash");
    w.with([](ui::Window& win) { win.post(ui::EVENT::AlertKey, 0, ui::Key::MouseRight); });
    d.waitClosed(w);
  });
}

TEST_F(Looks, NarrowPictureMovesTheVersionLine) {
  LogoFile logo(200, 120);
  ASSERT_TRUE(logo.ok);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeSplash);
    WindowDriver w = d.waitWindow("Splash");
    EXPECT_FALSE(w.shown("?Version1"));
    EXPECT_TRUE(w.shown("?Version2"));
    EXPECT_EQ(w.text("?Version2"), "Version 5.0");
    w.with([](ui::Window& win) { win.post(ui::EVENT::AlertKey, 0, ui::Key::MouseLeft2); });
    d.waitClosed(w);
  });
}

TEST_F(Looks, AboutShowsVersionAndBuild) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { dialogs::About(); });
    WindowDriver w = d.waitWindow("About");
    EXPECT_EQ(w.text("?Version"), "Version 5.0");
    EXPECT_EQ(w.text("?Build"), "597");
    EXPECT_EQ(w.text("?BuildDate"), "02/05/03");
    w.press("?ClickRegion");
    d.waitClosed(w);
    d.later([] { dialogs::About(); });
    w = d.waitWindow("About");
    w.press("?OK");
    d.waitClosed(w);
  });
  dialogs::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(scheduler::Command::About));
}

TEST_F(Looks, AboutFitsTheWindowToThePicture) {
  LogoFile logo(300, 200);
  ASSERT_TRUE(logo.ok);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { dialogs::About(); });
    WindowDriver w = d.waitWindow("About");
    w.with([](ui::Window& win) {
      EXPECT_EQ(win.propInt(0, ui::Prop::Width), win.pxToDluX(300));
      EXPECT_EQ(win.propInt(0, ui::Prop::Height), win.pxToDluY(200));
    });
    w.press("?OK");
    d.waitClosed(w);
  });
}

TEST_F(Looks, ColorDepthLevels) {
  struct Case {
    const char* name;
    int32_t planes, bits, override, level;
  };
  const Case kCases[] = {
      {"16 colours", 1, 4, 0, 1},   {"4 planes of 1 bit", 4, 1, 0, 1}, {"256 colours", 1, 8, 0, 2},
      {"5 bits", 1, 5, 0, 2},       {"16 bits", 1, 16, 0, 3},          {"true colour", 1, 32, 0, 3},
      {"no planes count as one", 0, 8, 0, 2}, {"override wins", 1, 32, 2, 2}, {"override 0 is none", 1, 4, 0, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dialogs::colorDepthLevel(c.planes, c.bits, c.override), c.level);
  }
}

TEST_F(Looks, ColorDepthOverrideAndDiagnostic) {
  ScriptedHost host;
  ASSERT_EQ(rt::PUTINI("Makeover", "ColorDepth", "1"), rt::Err::None);
  EXPECT_EQ(dialogs::GetColorDepth(), 1);
  ASSERT_EQ(rt::PUTINI("Makeover", "ColorDepth", "none"), rt::Err::None);
  ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
  ASSERT_GE(QGuiApplication::primaryScreen()->depth(), 16) << "the test screen has many colours";
  EXPECT_EQ(dialogs::GetColorDepth(), 3) << "not a number counts as no override";
  rt::setCommandLine("ov98 /DebugMakeOver");
  ASSERT_EQ(rt::PUTINI("Makeover", "ColorDepth", "2"), rt::Err::None);
  host.expectMessage("M2.0 : 32 bit - Color Depth = 2 planes = 1 bits = ", ui::BUTTON::Ok);
  EXPECT_EQ(dialogs::GetColorDepth(), 2);
  EXPECT_FALSE(host.pending());
  rt::setCommandLine("ov98");
}

}  // namespace
