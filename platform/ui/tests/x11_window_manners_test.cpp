// Windows under a real X server and window manager (frame decoration, focus, screens): they come
// back where they were left, follow a resize with their controls, and answer Esc and Enter as
// dialogs do.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/rt/command_line.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/ini.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"
#include "platform/ui/window_resize_class.h"

using namespace ov::ui;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::WindowDriver;

namespace {

class X11Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ov::ui::test::application();
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov-x11win-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    m_dir = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
  }
  std::string iniFile() const { return (m_dir / "POSITION.INI").string(); }
  std::filesystem::path m_dir;
};

// The window manager has put its frame around the window (the frame's size is known).
bool framed(Window& w) {
  QWidget* top = w.view();
  return top && top->isVisible() && top->windowHandle() && top->windowHandle()->frameMargins().top() > 0;
}

// Waits until the window manager has framed the window.
bool waitFramed(Driver& d, WindowDriver& w) {
  Window* win = nullptr;
  w.with([&](Window& x) { win = &x; });
  bool ok = d.waitUntil([&] { return win && win->isOpen() && framed(*win); });
  d.settle();
  return ok;
}

// ---- positions -----------------------------------------------------------------------------------

class Kept : public WindowManager {
 public:
  explicit Kept(ov::rt::INIClass& ini) : WindowManager("Kept"), m_ini(ini) {}
  Level Init() override {
    Window& w = window();
    w.setTitle("Kept");
    w.at(30, 40, 180, 100).resizable();
    w.entry("?Name", "@s20").at(6, 6, 100, 12);
    w.button("?Close", "Close").at(130, 80, 44, 14);
    Open();
    m_position.Init(*this, m_ini);
    return Level::Benign;
  }

 private:
  ov::rt::INIClass& m_ini;
  WindowPositionKeeper m_position;
};

struct Place {
  QRect frame;   // on the screen, pixels
  QSize client;
  std::string section;
};

Place openAndClose(Driver& d, ov::rt::INIClass& ini, const std::function<void(Window&)>& meanwhile = {}) {
  Place p;
  d.later([&] { Kept(ini).Run(); });
  WindowDriver w = d.waitWindow("Kept");
  EXPECT_TRUE(waitFramed(d, w)) << "the window manager frames the window";
  w.with([&](Window& win) {
    if (meanwhile) meanwhile(win);
  });
  d.settle();
  w.with([&](Window& win) {
    p.frame = win.view()->frameGeometry();
    p.client = win.clientView()->size();
  });
  w.close();
  d.waitClosed(w);
  for (const char* key : {"XPos", "YPos", "Width", "Height", "Maximize"})
    p.section += std::string(key) + "=" + ini.TryFetch("Kept", key) + " ";
  return p;
}

TEST_F(X11Windows, APlaceRoundTripsOverTenOpeningsAndARestart) {
  Place first, restarted;
  std::vector<Place> cycles;
  {
    ov::rt::INIClass ini;
    ini.Init(iniFile());
    runScript([&](Driver& d) {
      // The user moves and sizes the window once; from then on it comes back as it was left.
      first = openAndClose(d, ini, [](Window& win) {
        win.setProp(0, Prop::Xpos, 60);
        win.setProp(0, Prop::Ypos, 50);
        win.setProp(0, Prop::Width, 210);
        win.setProp(0, Prop::Height, 130);
      });
      for (int i = 0; i < 10; ++i) cycles.push_back(openAndClose(d, ini));
    }, std::chrono::seconds(90));
  }
  {
    ov::rt::INIClass ini;  // the program started again
    ini.Init(iniFile());
    runScript([&](Driver& d) { restarted = openAndClose(d, ini); });
  }
  ASSERT_FALSE(first.section.empty());
  EXPECT_NE(first.section.find("Width=210"), std::string::npos) << first.section;
  cycles.push_back(restarted);
  // On the screen: the same frame and client every time (the first reading of the user's own
  // move may come before the window manager carried it out).
  for (size_t i = 0; i < cycles.size(); ++i) {
    EXPECT_EQ(cycles[i].section, first.section) << "opening " << i + 1;
    EXPECT_EQ(cycles[i].frame, cycles[0].frame) << "opening " << i + 1;
    EXPECT_EQ(cycles[i].client, cycles[0].client) << "opening " << i + 1;
  }
  EXPECT_EQ(cycles[0].client, first.client);
}

TEST_F(X11Windows, APlaceOffEveryScreenIsBroughtBack) {
  {
    std::ofstream out(iniFile());
    out << "[Kept]\nXPos=9000\nYPos=-4000\nWidth=180\nHeight=100\nMaximize=No\n";
  }
  ov::rt::INIClass ini;
  ini.Init(iniFile());
  ov::rt::setCommandLine("ov98 /NEGXY");  // not even the negative-position rule helps here
  QRect frame, screen;
  runScript([&](Driver& d) {
    d.later([&] { Kept(ini).Run(); });
    WindowDriver w = d.waitWindow("Kept");
    EXPECT_TRUE(waitFramed(d, w));
    w.with([&](Window& win) {
      frame = win.view()->frameGeometry();
      screen = win.view()->screen()->availableGeometry();
    });
    w.close();
    d.waitClosed(w);
  });
  ov::rt::setCommandLine("ov98");
  // Whole on the screen, give or take the frame the window manager added after it was placed.
  const QRect on = screen.intersected(frame);
  EXPECT_TRUE(on.width() >= frame.width() - 8 && on.height() >= frame.height() - 40) << "frame " << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                                      << frame.height();
}

// ---- resizing ------------------------------------------------------------------------------------

// Three windows: a list with buttons right of it and a row below it; a form whose text box grows
// under entries that stretch with it; one with its own WindowResizeClass strategies.
class Sized : public WindowManager {
 public:
  Sized(std::string name, int layout) : WindowManager(std::move(name)), m_layout(layout) {}
  Level Init() override {
    Window& w = window();
    w.setTitle(procedureName());
    w.at(20, 20, 200, 120).resizable();
    if (m_layout == 0) {
      w.textBox("?List").at(6, 6, 140, 90);
      w.button("?Insert", "&Insert").at(152, 6, 42, 14);
      w.button("?Change", "&Change").at(152, 24, 42, 14);
      w.string("?Count", "3 rows").at(6, 102, 60, 10);
      w.button("?Close", "Close").at(152, 100, 42, 14);
    } else if (m_layout == 1) {
      w.prompt("?Prompt", "&Subject:").at(6, 8, 40, 10);
      w.entry("?Subject", "@s60").at(50, 6, 144, 12);
      w.textBox("?Message").at(6, 24, 188, 70);
      w.button("?OK", "&OK").at(104, 100, 42, 14);
      w.button("?Cancel", "Cancel").at(152, 100, 42, 14);
    } else {
      w.textBox("?Notes").at(6, 6, 188, 70);
      w.button("?OK", "&OK").at(6, 100, 42, 14);
      Open();
      m_resizer.Init(*this, WindowResizeClass::AppStrategy::KeepControls);
      m_resizer.SetStrategy(w.feq("?Notes"), WindowResizeClass::Horizontal::Resize, WindowResizeClass::Vertical::Lock);
      m_resizer.SetStrategy(w.feq("?OK"), WindowResizeClass::Horizontal::FixRight, WindowResizeClass::Vertical::FixBottom);
      AddItem(m_resizer);
      return Level::Benign;
    }
    Open();
    return Level::Benign;
  }

 private:
  int m_layout;
  WindowResizeClass m_resizer;
};

struct Moved {
  const char* control;
  int dx, dy, dw, dh;  // how much the control moves and grows when the window grows by 40 x 30
};

TEST_F(X11Windows, ControlsFollowAResizeAsTheirWindowSays) {
  const std::vector<Moved> expected[3] = {
      {{"?List", 0, 0, 40, 30}, {"?Insert", 40, 0, 0, 0}, {"?Change", 40, 0, 0, 0},
       {"?Count", 0, 30, 0, 0}, {"?Close", 40, 30, 0, 0}},
      {{"?Prompt", 0, 0, 0, 0}, {"?Subject", 0, 0, 40, 0}, {"?Message", 0, 0, 40, 30},
       {"?OK", 40, 30, 0, 0}, {"?Cancel", 40, 30, 0, 0}},
      {{"?Notes", 0, 0, 40, 0}, {"?OK", 40, 30, 0, 0}},
  };
  for (int layout = 0; layout < 3; ++layout) {
    const std::string name = "Sized" + std::to_string(layout);
    runScript([&](Driver& d) {
      d.later([&] { Sized(name, layout).Run(); });
      WindowDriver w = d.waitWindow(name);
      EXPECT_TRUE(waitFramed(d, w));
      std::map<std::string, Rect> before;
      QSize grown;
      w.with([&](Window& win) {
        for (const Moved& m : expected[layout]) {
          Control* c = win.control(m.control);
          before[m.control] = {int(win.propInt(c->feq(), Prop::Xpos)), int(win.propInt(c->feq(), Prop::Ypos)),
                               int(win.propInt(c->feq(), Prop::Width)), int(win.propInt(c->feq(), Prop::Height))};
        }
        // As the user drags the corner: the window manager resizes the frame.
        QWidget* top = win.view();
        grown = top->size() + QSize(win.dluToPxX(40), win.dluToPxY(30));
        top->windowHandle()->resize(grown);
      });
      QWidget* top = nullptr;
      w.with([&](Window& win) { top = win.view(); });
      EXPECT_TRUE(d.waitUntil([&] { return top->size() == grown; }));
      d.settle();
      w.with([&](Window& win) {
        for (const Moved& m : expected[layout]) {
          const int feq = win.feq(m.control);
          const Rect& b = before[m.control];
          // One dialog unit of rounding between pixels and units.
          EXPECT_NEAR(win.propInt(feq, Prop::Xpos) - b.x, m.dx, 1) << name << " " << m.control;
          EXPECT_NEAR(win.propInt(feq, Prop::Ypos) - b.y, m.dy, 1) << name << " " << m.control;
          EXPECT_NEAR(win.propInt(feq, Prop::Width) - b.w, m.dw, 1) << name << " " << m.control;
          EXPECT_NEAR(win.propInt(feq, Prop::Height) - b.h, m.dh, 1) << name << " " << m.control;
        }
      });
      w.close();
      d.waitClosed(w);
    });
  }
}

// ---- keys ----------------------------------------------------------------------------------------

class Asked : public WindowManager {
 public:
  Asked() : WindowManager("Asked") {}
  Level Init() override {
    Window& w = window();
    w.setTitle("Asked");
    w.prompt("?Prompt", "&Name:").at(6, 8, 30, 10);
    m_nameFeq = w.entry("?Name", "@s10").at(40, 6, 100, 12).use(name).feq();
    w.textBox("?Notes").at(6, 22, 134, 30).use(notes);
    m_other = w.button("?Other", "O&ther").at(6, 58, 40, 14).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(50, 58, 40, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(96, 58, 40, 14).feq();
    Open();
    return Level::Benign;
  }
  Level TakeAccepted() override {
    if (ACCEPTED() == m_other) {
      ++otherPressed;
      return Level::Notify;
    }
    if (ACCEPTED() == CancelControl) ++cancelPressed;
    return WindowManager::TakeAccepted();
  }
  ov::rt::String<30> name;
  std::string notes;
  int otherPressed = 0, cancelPressed = 0;

 private:
  int m_nameFeq = 0, m_other = 0;
};

// The user clicks the window to work in it: it becomes the active window.
void activate(Driver& d, WindowDriver& w) {
  QWidget* top = nullptr;
  w.with([&](Window& win) { top = win.view(); });
  EXPECT_TRUE(d.waitUntil([&] {
    if (!top->isActiveWindow()) top->activateWindow();
    return top->isActiveWindow();
  }));
  d.settle();
}

// Types on the widget that has the keyboard focus, as a user would.
void typeKeys(Driver& d, std::function<void(QWidget*)> keys) {
  d.gui([&] {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    keys(focus);
  });
  d.settle();
}

TEST_F(X11Windows, EscCancelsEnterPressesTheDefaultAndEntriesSelectOnFocus) {
  // Esc: the Cancel button.
  {
    Asked form;
    form.name = "Old text";
    int response = 0;
    runScript([&](Driver& d) {
      d.later([&] { response = form.Run(); });
      WindowDriver w = d.waitWindow("Asked");
      activate(d, w);
      w.with([](Window& win) { win.select(win.feq("?Name")); });
      d.settle();
      typeKeys(d, [](QWidget* f) { QTest::keyClicks(f, "xyz"); });
      typeKeys(d, [](QWidget* f) { QTest::keyClick(f, Qt::Key_Escape); });
      d.waitClosed(w);
    });
    EXPECT_EQ(response, RequestCancelled);
    EXPECT_EQ(form.cancelPressed, 1);
  }
  // Enter in the entry: the entry takes its text and the default button completes the form;
  // the entry's pre-filled text was selected, so typing replaced it.
  {
    Asked form;
    form.name = "Old text";
    int response = 0;
    std::string selected;
    runScript([&](Driver& d) {
      d.later([&] { response = form.Run(); });
      WindowDriver w = d.waitWindow("Asked");
      activate(d, w);
      w.with([](Window& win) { win.select(win.feq("?Name")); });
      d.settle();
      d.gui([&] {
        if (auto* e = qobject_cast<QLineEdit*>(QApplication::focusWidget())) selected = e->selectedText().toStdString();
      });
      typeKeys(d, [](QWidget* f) { QTest::keyClicks(f, "New"); });
      typeKeys(d, [](QWidget* f) { QTest::keyClick(f, Qt::Key_Return); });
      d.waitClosed(w);
    });
    EXPECT_EQ(selected, "Old text");
    EXPECT_EQ(response, RequestCompleted);
    EXPECT_EQ(form.name.str(), "New");
  }
  // Enter in a text box is a new line; on a button that is not the default, it presses that one.
  {
    Asked form;
    int response = 0;
    runScript([&](Driver& d) {
      d.later([&] { response = form.Run(); });
      WindowDriver w = d.waitWindow("Asked");
      activate(d, w);
      w.with([](Window& win) { win.select(win.feq("?Notes")); });
      d.settle();
      typeKeys(d, [](QWidget* f) {
        QTest::keyClicks(f, "a");
        QTest::keyClick(f, Qt::Key_Return);
        QTest::keyClicks(f, "b");
      });
      EXPECT_TRUE(w.isOpen());
      w.with([](Window& win) { win.select(win.feq("?Other")); });
      d.settle();
      typeKeys(d, [](QWidget* f) { QTest::keyClick(f, Qt::Key_Return); });
      EXPECT_TRUE(w.isOpen());
      EXPECT_EQ(form.otherPressed, 1);
      EXPECT_EQ(w.text("?Notes"), "a\nb");
      w.press("?Cancel");
      d.waitClosed(w);
    });
    EXPECT_EQ(response, RequestCancelled);
  }
}

TEST_F(X11Windows, AnEntryTakesNoMoreThanItsPictureOrVariableHolds) {
  Asked form;
  runScript([&](Driver& d) {
    d.later([&] { form.Run(); });
    WindowDriver w = d.waitWindow("Asked");
    activate(d, w);
    w.with([](Window& win) { win.select(win.feq("?Name")); });
    d.settle();
    typeKeys(d, [](QWidget* f) { QTest::keyClicks(f, "abcdefghijklmnop"); });
    EXPECT_EQ(w.text("?Name"), "abcdefghij") << "the picture @s10 shows ten characters";
    w.press("?Cancel");
    d.waitClosed(w);
  });
}

}  // namespace
