// Subclassing window manager and drawn menus: the raw-message hook and its removal, every item of
// nested menus made owner-drawn with its bar index, level and label, the sizes Qt lays the menus
// out with, and the pictures of plain, chosen and icon-less items.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QMenuBar>

#include <map>

#include "platform/ui/owner_draw.h"
#include "platform/ui/prop.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window.h"
#include "winclasses/subclass_window_manager.h"

using namespace ov;
using namespace ov::ui;
using namespace ov::winclasses;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::WindowDriver;

namespace {

constexpr uint32_t kProbe = WM::User + 7;

// File (Open, separator, Recent > (One, Two)), Edit (Copy); Open has an icon, Copy names a
// missing one.
class XPWindow : public XPWindowManager {
 public:
  XPWindow() : XPWindowManager("XPWindow") {}
  int file = 0, open = 0, separator = 0, recent = 0, one = 0, two = 0, edit = 0, copy = 0;
  std::map<int32_t, std::string> icons;  // equate label -> icon name
  int probes = 0;

  Level Init() override {
    Window& w = window();
    w.setTitle("XP");
    w.at(0, 0, 200, 120);
    file = w.menu("?File", "&File", 0, -1).feq();
    open = w.item("?Open", "&Open", file, -2).feq();
    separator = w.separator(file).feq();
    recent = w.menu("?Recent", "Recent", file, -3).feq();
    one = w.item("?One", "One", recent, -4).feq();
    two = w.item("?Two", "Two", recent, -5).feq();
    edit = w.menu("?Edit", "&Edit", 0, -6).feq();
    copy = w.item("?Copy", "Copy", edit, -7).feq();
    Open();
    InitSubclass(w);
    return Level::Benign;
  }
  Level Kill() override {
    KillSubclass();
    return XPWindowManager::Kill();
  }
  LRESULT SubclassEvent(Handle hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) override {
    if (message == kProbe) return ++probes;
    return XPWindowManager::SubclassEvent(hwnd, message, wParam, lParam);
  }
  void GetMenuIcon(int32_t label, int32_t, std::string& name) override {
    name = icons.count(label) ? icons[label] : "";
  }
  const XPMenuItem& record(int feq) {
    MENUITEMINFO info;
    info.fMask = MIIM::Data | MIIM::Type;
    const HMENU menu = feq == file || feq == edit ? GetMenu(window().handle())
                       : feq == one || feq == two ? HMENU(window().control(recent)->handle())
                       : feq == copy              ? HMENU(window().control(edit)->handle())
                                                  : HMENU(window().control(file)->handle());
    EXPECT_TRUE(GetMenuItemInfoA(menu, uint32_t(feq), false, &info)) << feq;
    EXPECT_TRUE(info.fType & MFT::OwnerDraw) << feq;
    return *reinterpret_cast<const XPMenuItem*>(info.dwItemData);
  }
  QAction* action(int feq) { return static_cast<QAction*>(static_cast<MenuControl*>(window().control(feq))->actionHandle()); }
};

QColor at(const QImage& img, QPoint p) { return img.pixelColor(p); }

TEST(SubclassWindowManager, HookSeesRawMessagesUntilKilled) {
  test::application();
  XPWindow* win = nullptr;
  runScript([&](Driver& d) {
    d.start([&] {
      auto p = std::make_unique<XPWindow>();
      win = p.get();
      return p;
    });
    WindowDriver w = d.waitWindow("XPWindow");
    d.gui([&] {
      const Handle h = win->window().handle();
      EXPECT_EQ(SendMessage(h, kProbe, 0, 0), 1);
      EXPECT_EQ(SendMessage(h, kProbe, 0, 0), 2);
      win->KillSubclass();
      EXPECT_EQ(SendMessage(h, kProbe, 0, 0), 0) << "the former procedure answers again";
      EXPECT_EQ(win->probes, 2);
      EXPECT_EQ(win->window().propInt(0, Prop::WndProc), win->WNDPROC);
    });
    w.close();
    d.waitClosed(w);
  });
}

TEST(XPWindowManager, NestedMenusAreOwnerDrawnMeasuredAndDrawn) {
  test::application();
  XPWindow* win = nullptr;
  runScript([&](Driver& d) {
    d.start([&] {
      auto p = std::make_unique<XPWindow>();
      win = p.get();
      return p;
    });
    WindowDriver w = d.waitWindow("XPWindow");
    d.gui([&] {
      XPWindow& x = *win;
      EXPECT_EQ(XPWindowManager::lastMenu(), GetMenu(x.window().handle()));
      // Labels count down across the process: take them relative to the first item met.
      const int32_t base = x.record(x.file).EQUATELABEL;
      struct Row {
        const char* name;
        int feq;
        int32_t bar, level, index, label;  // label: offset from File's
        int32_t type;
        const char* text;
      };
      const Row kRows[] = {
          {"File", x.file, 0, 0, 0, 0, 0, "&File"},
          {"Open", x.open, 0, 1, 0, -1, 0, "&Open"},
          {"separator", x.separator, 0, 1, 1, 0, 2048, ""},
          {"Recent", x.recent, 0, 1, 2, -2, 0, "Recent"},
          {"One, nested", x.one, 0, 2, 0, -3, 0, "One"},
          {"Two, nested", x.two, 0, 2, 1, -4, 0, "Two"},
          {"Edit", x.edit, 1, 0, 1, -5, 0, "&Edit"},
          {"Copy", x.copy, 1, 1, 0, -6, 0, "Copy"},
      };
      for (const Row& r : kRows) {
        SCOPED_TRACE(r.name);
        const XPMenuItem& rec = x.record(r.feq);
        EXPECT_EQ(rec.UBARINDEX, r.bar);
        EXPECT_EQ(rec.ULEVEL, r.level);
        EXPECT_EQ(rec.UINDEX, r.index);
        EXPECT_EQ(rec.FTYPE, r.type);
        EXPECT_STREQ(rec.SZITEMTEXT, r.text);
        if (r.type == 0) EXPECT_EQ(rec.EQUATELABEL, base + r.label);
        else EXPECT_EQ(rec.EQUATELABEL, 0);
      }
      x.icons[x.record(x.open).EQUATELABEL] = "open";
      x.icons[x.record(x.copy).EQUATELABEL] = "nosuchicon";

      // The sizes Qt lays the menus out with come from the window.
      QMenu* fileMenu = x.action(x.file)->menu();
      QMenu* editMenu = x.action(x.edit)->menu();
      ASSERT_NE(fileMenu, nullptr);
      fileMenu->adjustSize();
      editMenu->adjustSize();
      EXPECT_EQ(fileMenu->actionGeometry(x.action(x.open)).height(), 20);
      EXPECT_EQ(fileMenu->actionGeometry(x.action(x.separator)).height(), 3);
      const int copyText = GetTextExtent(x.window().handle(), "Copy").cx;
      EXPECT_GE(editMenu->actionGeometry(x.action(x.copy)).width(), copyText + 23);
      MEASUREITEMSTRUCT bar;
      bar.itemData = reinterpret_cast<uintptr_t>(&x.record(x.file));
      ASSERT_EQ(SendMessage(x.window().handle(), WM::MeasureItem, 0, reinterpret_cast<LPARAM>(&bar)), 1);
      const SIZE fileText = GetTextExtent(x.window().handle(), "&File");
      EXPECT_EQ(bar.itemWidth, uint32_t(fileText.cx * 8 / 10));
      EXPECT_EQ(bar.itemHeight, uint32_t(fileText.cy));
      MEASUREITEMSTRUCT under0, under1;
      under0.itemData = reinterpret_cast<uintptr_t>(&x.record(x.open));
      under1.itemData = reinterpret_cast<uintptr_t>(&x.record(x.copy));
      SendMessage(x.window().handle(), WM::MeasureItem, 0, reinterpret_cast<LPARAM>(&under0));
      SendMessage(x.window().handle(), WM::MeasureItem, 0, reinterpret_cast<LPARAM>(&under1));
      EXPECT_EQ(under0.itemWidth, uint32_t(GetTextExtent(x.window().handle(), "&Open").cx + 43)) << "20 more under the first entry";
      EXPECT_EQ(under1.itemWidth, uint32_t(copyText + 23));

      // Pictures: the white text area right of the gutter, the icon, the chosen item's colours.
      const QColor menu = QColor::fromRgb(GetSysColor(30) & 0xFF, (GetSysColor(30) >> 8) & 0xFF, (GetSysColor(30) >> 16) & 0xFF);
      const QRect openRect = fileMenu->actionGeometry(x.action(x.open));
      QImage plain = fileMenu->grab().toImage();
      EXPECT_EQ(at(plain, openRect.topRight() + QPoint(-3, 3)), QColor(Qt::white));
      EXPECT_EQ(at(plain, openRect.topLeft() + QPoint(1, 1)), menu) << "the gutter";
      bool iconDrawn = false;
      for (int dx = 2; dx < 18; ++dx)
        for (int dy = 2; dy < 18; ++dy) iconDrawn |= at(plain, openRect.topLeft() + QPoint(dx, dy)) != menu;
      EXPECT_TRUE(iconDrawn) << "the cold icon falls back to open_ICO";

      const QRect copyRect = editMenu->actionGeometry(x.action(x.copy));
      QImage noIcon = editMenu->grab().toImage();
      bool anyInGutter = false;
      for (int dx = 1; dx < 22; ++dx)
        for (int dy = 1; dy < 19; ++dy) anyInGutter |= at(noIcon, copyRect.topLeft() + QPoint(dx, dy)) != menu;
      EXPECT_FALSE(anyInGutter) << "a missing icon leaves the text only";

      fileMenu->setActiveAction(x.action(x.open));
      QImage chosen = fileMenu->grab().toImage();
      EXPECT_EQ(at(chosen, openRect.topRight() + QPoint(-3, 3)), QColor(191, 191, 223));
      EXPECT_EQ(at(chosen, openRect.topLeft()), QColor(0, 0, 128)) << "the navy frame";
      fileMenu->setActiveAction(nullptr);
    });
    w.close();
    d.waitClosed(w);
  });
}

}  // namespace
