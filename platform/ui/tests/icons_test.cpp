// The programs' own icons: every icon the windows, lists, toolbar and tray name is there and
// draws at the sizes desktops use; the tray's states tell apart; windows without an icon of their
// own show the application's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <set>
#include <string>

#include "platform/ui/detail/view_util.h"
#include "platform/ui/icons.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"

using namespace ov::ui;
using ov::ui::test::Driver;
using ov::ui::test::runScript;

namespace {

QImage render(const QIcon& icon, int size) {
  return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

int opaquePixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 128;
  return n;
}

int differingPixels(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      n += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) > 60;
    }
  return n;
}

class Icons : public ::testing::Test {
 protected:
  void SetUp() override { ov::ui::test::application(); }
};

TEST_F(Icons, NamesCompareWithoutCaseTildeFolderOrEnding) {
  const std::pair<const char*, const char*> cases[] = {
      {"~close.ico", "close"},   {"EXIT.ICO", "exit"},          {"tray_ico", "tray"},
      {"traybus2_ico", "traybus2"}, {"C:\\ICONS\\CAL2.ICO", "cal2"}, {"/opt/x/Mail.ico", "mail"},
      {"~~done.ico", "done"},    {"busykey", "busykey"},
  };
  for (const auto& [name, stem] : cases) EXPECT_EQ(programIconName(name), stem) << name;
}

// Every icon the windows, the tray popup and the main toolbar name.
TEST_F(Icons, EveryNamedIconIsThereAndDrawsAtDesktopSizes) {
  const char* names[] = {
      "~blank.ico", "0msgwz2.ico", "bottom.ico", "busykey.ico", "busykey2.ico", "busykey3.ico", "busykey4.ico",
      "CAL.ICO", "CAL2.ICO", "calendar.ico", "cancel.ico", "contact.ico", "CRDFLE09.ICO", "datecard.ico",
      "davavida.ico", "disk.ico", "down.ico", "drop.ico", "EXIT.ICO", "fourstar.ico", "help.ico", "hotkey4.ico",
      "keydown.ico", "keydownw.ico", "litebolt.ICO", "MAIL.ICO", "ok.ico", "old.ico", "open.ico", "PICK.ICO",
      "prgwiz16.ico", "msgwiz16.ico", "scrwiz16.ico", "qvmovebg.ico", "qvmovedn.ico", "qvmovend.ico",
      "qvmoveup.ico", "restore.ico", "save.ico", "stopscr.ico", "taskdoc.ico", "timedate.ico", "top.ico",
      "up.ico", "WINPYR.ICO", "wizard.ico", "wrench16.ico", "~wrka.ico", "~wrkb.ico", "~wrkc.ico",
      "~wrkd.ico", "~wrke.ico", "~wrkf.ico", "~wrkg.ico", "~wrkas.ico", "~wrkbs.ico", "~wrkcs.ico", "~wrkds.ico",
      "~wrkes.ico", "~wrkfs.ico", "~wrkgs.ico", "ZIZOzurU.ico", "~bothtask.ico", "~close.ico", "~disabled.ico", "~done.ico", "~go.ico",
      "~msgtask.ico", "~notdone.ico", "~progtsk2.ico", "~skip.ico", "~skipped.ico", "~x.ico",
      "tray_ico", "traybusy_ico", "traybus2_ico", "trayoff",
  };
  for (const char* name : names) {
    QIcon icon = detail::loadIcon(name);
    ASSERT_FALSE(icon.isNull()) << name;
    if (programIconName(name) == "blank") continue;  // keeps a list row's place without a mark
    for (int size : {16, 22, 32, 48}) {
      QImage image = render(icon, size);
      EXPECT_EQ(image.width(), size) << name;
      EXPECT_GT(opaquePixels(image), size * size / 2) << name << " at " << size << " pixels";
    }
  }
  EXPECT_TRUE(programIcon("nosuchicon.ico").isNull());
}

// The tray shows whether the scheduler is idle, busy or switched off: three pictures that differ
// in a good part of their pixels at the tray's size, in both phases of the busy one.
TEST_F(Icons, TrayStatesAreNonBlankAndDistinct) {
  const char* states[] = {"tray_ico", "traybusy_ico", "traybus2_ico", "trayoff"};
  QImage images[4];
  for (int i = 0; i < 4; ++i) {
    images[i] = render(programIcon(states[i]), 22);
    ASSERT_GT(opaquePixels(images[i]), 22 * 22 / 2) << states[i];
  }
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j) {
      // The busy phases alternate: they differ in the clock's hand only.
      const int atLeast = (i == 1 && j == 2) ? 1 : 22 * 22 / 4;
      EXPECT_GE(differingPixels(images[i], images[j]), atLeast) << states[i] << " and " << states[j];
    }
  // Idle, busy and off also differ in colour, not only in a detail.
  auto centreColour = [](const QImage& image) { return QColor(image.pixel(3, 11)); };
  EXPECT_NE(centreColour(images[0]).hue() / 20, centreColour(images[1]).hue() / 20);
  EXPECT_LT(centreColour(images[3]).saturation(), 80) << "off is grey";
}

// The working icon's seven frames turn: each differs from the next (the last from the first), and
// the script frames differ from the idle ones in colour.
TEST_F(Icons, WorkingIconFramesTurnAndTheScriptFramesStandOut) {
  const std::string letters = "abcdefg";
  for (const std::string end : {"", "s"}) {
    for (size_t i = 0; i < letters.size(); ++i) {
      const std::string name = std::string("~wrk") + letters[i] + end + ".ico";
      const std::string next = std::string("~wrk") + letters[(i + 1) % letters.size()] + end + ".ico";
      EXPECT_GT(differingPixels(render(programIcon(name), 22), render(programIcon(next), 22)), 10)
          << name << " and " << next;
    }
  }
  auto hue = [](const char* name) { return QColor(render(programIcon(name), 22).pixel(3, 11)).hue() / 20; };
  EXPECT_NE(hue("~wrkc.ico"), hue("~wrkcs.ico"));
}

// Every picture a window names has a drawing: opaque all over its tile and not one flat colour,
// so the picture area never shows empty.
TEST_F(Icons, EveryNamedPictureIsDrawn) {
  const char* names[] = {"3hand.jpg",   "~3dispmsg.jpg", "~3startprg.jpg", "~3scripting.jpg",
                         "scheduling.jpg", "~splash.jpg", "~about.jpg"};
  for (const char* name : names) {
    const QIcon picture = programPicture(name);
    ASSERT_FALSE(picture.isNull()) << name;
    const QImage image = picture.pixmap(120, 120).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_GT(opaquePixels(image), image.width() * image.height() * 9 / 10) << name;
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
      for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    EXPECT_GE(colours.size(), 16u) << name;
  }
}

// An image control that names one of the programs' own icons draws it; on a toolbar too.
TEST_F(Icons, AnImageControlDrawsAProgramIcon) {
  struct Pictured : WindowManager {
    Pictured() : WindowManager("Pictured") {}
    Level Init() override {
      window().setTitle("Pictured");
      window().kind(WindowKind::Frame).at(-1, -1, 200, 100);
      const int bar = window().toolbar().feq();
      window().image("?OnBar", "~wrkb.ico", -99).on(bar);
      window().image("?InWindow", "~wrkbs.ico").at(4, 4, 20, 20);
      Open();
      return Level::Benign;
    }
  };
  QImage onBar, inWindow;
  runScript([&](Driver& d) {
    d.later([&] { Pictured().Run(); });
    auto w = d.waitWindow("Pictured");
    w.with([&](Window& win) {
      auto picture = [&](const char* name) {
        return static_cast<QLabel*>(win.control(name)->view())->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
      };
      onBar = picture("?OnBar");
      inWindow = picture("?InWindow");
    });
    w.close();
    d.waitClosed(w);
  });
  ASSERT_FALSE(onBar.isNull());
  ASSERT_FALSE(inWindow.isNull());
  EXPECT_GT(opaquePixels(onBar), onBar.width() * onBar.height() / 2);
  EXPECT_EQ(differingPixels(onBar, render(programIcon("~wrkb.ico"), onBar.width())), 0)
      << "the toolbar's image is the icon itself";
  EXPECT_GT(opaquePixels(inWindow), inWindow.width() * inWindow.height() / 2);
}

class Plain : public WindowManager {
 public:
  Plain(std::string icon) : WindowManager("Plain"), m_icon(std::move(icon)) {}
  Level Init() override {
    window().setTitle("Plain");
    window().at(-1, -1, 100, 40);
    if (!m_icon.empty()) window().setProp(0, Prop::Icon, m_icon);
    Open();
    return Level::Benign;
  }
  std::string m_icon;
};

TEST_F(Icons, AWindowShowsItsIconOrElseTheApplicationIcon) {
  for (const std::string icon : {"", "CAL2.ICO", "nosuch.ico"}) {
    QImage shown;
    runScript([&](Driver& d) {
      d.later([&] { Plain(icon).Run(); });
      auto w = d.waitWindow("Plain");
      w.with([&](Window& win) { shown = render(win.view()->window()->windowIcon(), 32); });
      w.close();
      d.waitClosed(w);
    });
    const QIcon expected = icon == "CAL2.ICO" ? programIcon("cal2") : applicationIcon();
    EXPECT_EQ(differingPixels(shown, render(expected, 32)), 0) << "icon '" << icon << "'";
    EXPECT_GT(opaquePixels(shown), 32 * 32 / 2);
  }
  EXPECT_FALSE(QApplication::windowIcon().isNull()) << "the programs carry the application icon";
}

}  // namespace
