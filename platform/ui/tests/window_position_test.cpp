// Windows reopen where they were left: the position store's rules against real (offscreen)
// windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/rt/command_line.h"
#include "platform/rt/ini.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"

using namespace ov::ui;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::WindowDriver;

namespace {

class Placed : public WindowManager {
 public:
  Placed(std::string name, bool resizable) : WindowManager(std::move(name)), m_resizable(resizable) {}
  Level Init() override {
    Window& w = window();
    w.setTitle(procedureName());
    w.at(10, 10, 200, 120).resizable(m_resizable);
    w.setProp(0, Prop::Pixels, 1);
    Open();
    return Level::Benign;
  }

 private:
  bool m_resizable;
};

// A window procedure that keeps its place through the keeper.
class Kept : public WindowManager {
 public:
  Kept(ov::rt::INIClass& ini, bool saveOnMove) : WindowManager("Kept"), m_ini(ini), m_saveOnMove(saveOnMove) {}
  Level Init() override {
    Window& w = window();
    w.setTitle("Kept");
    w.at(10, 10, 200, 120).resizable();
    w.setProp(0, Prop::Pixels, 1);
    Open();
    m_position.Init(*this, m_ini, m_saveOnMove);
    return Level::Benign;
  }

 private:
  ov::rt::INIClass& m_ini;
  bool m_saveOnMove;
  WindowPositionKeeper m_position;
};

class WindowPosition : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov-winpos-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    m_dir = tmpl;
    ini.Init((m_dir / "POSITION.INI").string());
    ov::rt::setCommandLine("ov98");
  }
  void TearDown() override {
    ov::rt::setCommandLine("ov98");
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
  std::string file() const {
    std::ifstream in(m_dir / "POSITION.INI");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Opens a window of `name`, runs `fn` on it on the GUI thread, and closes it.
  void withWindow(const std::string& name, bool resizable, const std::function<void(Window&)>& fn) {
    runScript([&](Driver& d) {
      d.start([&] { return std::make_unique<Placed>(name, resizable); });
      WindowDriver w = d.waitWindow(name);
      w.with(fn);
      w.close();
      d.waitClosed(w);
    });
  }
  static void place(Window& w, int x, int y, int width, int height) {
    w.setProp(0, Prop::Xpos, x);
    w.setProp(0, Prop::Ypos, y);
    w.setProp(0, Prop::Width, width);
    w.setProp(0, Prop::Height, height);
  }
  static std::string where(const Window& w) {
    return std::to_string(w.propInt(0, Prop::Xpos)) + "," + std::to_string(w.propInt(0, Prop::Ypos)) + " " +
           std::to_string(w.propInt(0, Prop::Width)) + "x" + std::to_string(w.propInt(0, Prop::Height)) +
           (w.propInt(0, Prop::Maximize) ? " maximised" : "");
  }

  ov::rt::INIClass ini;

 private:
  std::filesystem::path m_dir;
};

TEST_F(WindowPosition, ResizableWindowReopensWhereAndAsLargeAsItWasLeft) {
  withWindow("UpdateSchedule", true, [&](Window& w) {
    place(w, 120, 80, 300, 200);
    SaveWindowPosition(ini, w, "UpdateSchedule");
  });
  EXPECT_EQ(file(), "[UpdateSchedule]\nMaximize=No\nXPos=120\nYPos=80\nHeight=200\nWidth=300\n");
  withWindow("UpdateSchedule", true, [&](Window& w) {
    EXPECT_TRUE(FetchWindowPosition(ini, "UpdateSchedule", w));
    EXPECT_EQ(where(w), "120,80 300x200");
  });
}

TEST_F(WindowPosition, FixedSizeWindowKeepsOnlyItsPosition) {
  withWindow("About", false, [&](Window& w) {
    place(w, 50, 60, 200, 120);
    SaveWindowPosition(ini, w, "About");
  });
  EXPECT_EQ(file(), "[About]\nMaximize=No\nXPos=50\nYPos=60\n");
  ASSERT_EQ(ini.Update("About", "Width", "999"), ov::rt::Err::None);
  withWindow("About", false, [&](Window& w) {
    const std::string size = std::to_string(w.propInt(0, Prop::Width)) + "x" + std::to_string(w.propInt(0, Prop::Height));
    ASSERT_NE(size, "999x120");
    EXPECT_TRUE(FetchWindowPosition(ini, "About", w));
    EXPECT_EQ(where(w), "50,60 " + size) << "the size is the window's own";
  });
}

TEST_F(WindowPosition, MaximisedWindowKeepsItsOlderPlaceForWhenItIsRestored) {
  withWindow("Main", true, [&](Window& w) {
    place(w, 30, 40, 250, 150);
    SaveWindowPosition(ini, w, "Main");
    w.setProp(0, Prop::Maximize, 1);
    SaveWindowPosition(ini, w, "Main");
  });
  EXPECT_EQ(file(), "[Main]\nMaximize=Yes\nXPos=30\nYPos=40\nHeight=150\nWidth=250\n");
  withWindow("Main", true, [&](Window& w) {
    EXPECT_TRUE(FetchWindowPosition(ini, "Main", w));
    EXPECT_EQ(w.propInt(0, Prop::Maximize), 1);
    w.setProp(0, Prop::Maximize, 0);
    EXPECT_EQ(where(w), "30,40 250x150");
  });
}

TEST_F(WindowPosition, HiddenMinimisedOrOffScreenWindowsKeepThePreviousValues) {
  withWindow("Main", true, [&](Window& w) {
    place(w, 30, 40, 250, 150);
    SaveWindowPosition(ini, w, "Main");
    const std::string saved = file();
    place(w, 300, 400, 260, 160);
    w.setProp(0, Prop::Iconize, 1);
    SaveWindowPosition(ini, w, "Main");
    EXPECT_EQ(file(), saved) << "minimised";
    w.setProp(0, Prop::Iconize, 0);
    w.setProp(0, Prop::Hide, 1);
    SaveWindowPosition(ini, w, "Main");
    EXPECT_EQ(file(), saved) << "hidden";
    w.setProp(0, Prop::Hide, 0);
    place(w, -20, 400, 260, 160);
    SaveWindowPosition(ini, w, "Main");
    EXPECT_EQ(file(), saved) << "partly left of the screen";
    place(w, 20, -5, 260, 160);
    SaveWindowPosition(ini, w, "Main");
    EXPECT_EQ(file(), saved) << "partly above the screen";
  });
}

TEST_F(WindowPosition, NegativePositionIsPutRightUnlessTheCommandLineSaysNot) {
  withWindow("Main", true, [&](Window& w) {
    place(w, -20, -7, 250, 150);
    FixNegativePosition(w);
    EXPECT_EQ(where(w), "1,1 250x150");
    place(w, -20, 40, 250, 150);
    FixNegativePosition(w);
    EXPECT_EQ(where(w), "1,40 250x150");
    ov::rt::setCommandLine("ov98 /NEGXY");
    place(w, -20, -7, 250, 150);
    FixNegativePosition(w);
    EXPECT_EQ(where(w), "-20,-7 250x150");
  });
}

TEST_F(WindowPosition, SectionWithoutAMaximizeKeyIsIgnored) {
  ASSERT_EQ(ov::rt::putIniValues("Main", {{"XPos", "300"}, {"YPos", "200"}, {"Width", "400"}, {"Height", "300"}},
                                 ini.fileName()),
            ov::rt::Err::None);
  withWindow("Main", true, [&](Window& w) {
    place(w, 30, 40, 250, 150);
    EXPECT_FALSE(FetchWindowPosition(ini, "Main", w));
    EXPECT_FALSE(FetchWindowPosition(ini, "NoSuchSection", w));
    EXPECT_EQ(where(w), "30,40 250x150");
  });
}

TEST_F(WindowPosition, KeeperRestoresOnOpenKeepsOnScreenAndSavesOnClose) {
  ASSERT_EQ(ov::rt::putIniValues("Kept", {{"Maximize", "No"}, {"XPos", "70"}, {"YPos", "90"}, {"Height", "140"}, {"Width", "260"}},
                                 ini.fileName()),
            ov::rt::Err::None);
  runScript([&](Driver& d) {
    d.start([&] { return std::make_unique<Kept>(ini, false); });
    WindowDriver w = d.waitWindow("Kept");
    w.with([&](Window& win) { EXPECT_EQ(where(win), "70,90 260x140"); });
    // Dragged partly off the top: the move puts it back on the screen.
    Window* kept = nullptr;
    w.with([&](Window& win) {
      kept = &win;
      win.setProp(0, Prop::Ypos, -30);
    });
    EXPECT_TRUE(d.waitUntil([&] { return kept->propInt(0, Prop::Ypos) == 1; }));  // asked on the GUI thread
    w.with([&](Window& win) { win.setProp(0, Prop::Xpos, 75); });
    d.settle();
    w.close();
    d.waitClosed(w);
  });
  EXPECT_EQ(file(), "[Kept]\nMaximize=No\nXPos=75\nYPos=1\nHeight=140\nWidth=260\n");
}

TEST_F(WindowPosition, KeeperCanSaveOnEveryMove) {
  runScript([&](Driver& d) {
    d.start([&] { return std::make_unique<Kept>(ini, true); });
    WindowDriver w = d.waitWindow("Kept");
    w.with([&](Window& win) { place(win, 44, 55, 210, 130); });
    EXPECT_TRUE(d.waitUntil([&] { return file().find("XPos=44\nYPos=55\n") != std::string::npos; })) << file();
    w.close();
    d.waitClosed(w);
  });
}

}  // namespace
