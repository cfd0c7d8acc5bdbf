// The application frame: menus, toolbar, status zones and title; MDI children; the standard
// toolbar buttons acting on the active child; the resizer and the translator.
#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QWidget>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/toolbar_class.h"
#include "platform/ui/translator_class.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_resize_class.h"

using namespace ov::ui;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

class Frame : public WindowManager {
 public:
  Frame() : WindowManager("Main") {}
  Level Init() override {
    Window& w = window();
    w.setTitle("Orvane 2003 3.42");
    w.kind(WindowKind::Frame).at(-1, -1, 400, 260);
    int file = w.menu("?FileMenu", "&File").feq();
    w.item("?Options", "&Options...", file, -114);
    w.separator(file);
    w.item("?Exit", "E&xit", file, -33);
    int tb = w.toolbar().feq();
    w.button("?TbInsert", "Insert", Toolbar::Insert).on(tb).tip("Insert a record");
    w.button("?TbDelete", "Delete", Toolbar::Delete).on(tb);
    w.button("?TbOptions", "Options", -135).on(tb);
    w.statusZones({-1, 90, 60});
    Open();
    w.setStatusText(3, "Tuesday, 3/17/26");
    return Level::Benign;
  }
  Level TakeAccepted() override {
    accepted.push_back(ACCEPTED());
    if (ACCEPTED() == -33) POST(EVENT::CloseWindow);
    return WindowManager::TakeAccepted();
  }
  std::vector<int> accepted;
};

// A list in the frame that takes the standard toolbar buttons.
class Child : public WindowManager, public ToolbarTarget {
 public:
  Child() : WindowManager("Child") {}
  Level Init() override {
    Window& w = window();
    w.setTitle("Child");
    w.kind(WindowKind::Mdi).at(4, 4, 160, 80);
    m_list = w.entry("?List", "@s20").at(4, 4, 100, 12).feq();
    Open();
    m_toolbar.Init(*this);
    m_toolbar.AddTarget(*this, m_list);
    AddItem(m_toolbar);
    return Level::Benign;
  }
  void TakeToolbar(int control) override { taken.push_back(control); }
  bool ToolbarEnabled(int control) const override { return control == Toolbar::Insert; }
  std::vector<int> taken;

 private:
  ToolbarClass m_toolbar;
  int m_list = 0;
};

// A child of a given size, fixed or resizable down to a minimum.
class Sized : public WindowManager {
 public:
  Sized(int w, int h, int minW, int minH) : WindowManager("Sized"), m_w(w), m_h(h), m_minW(minW), m_minH(minH) {}
  Level Init() override {
    Window& w = window();
    w.setTitle("Sized");
    w.kind(WindowKind::Mdi).at(-1, -1, m_w, m_h);
    if (m_minW > 0) w.minSize(m_minW, m_minH).resizable();
    // At the far corner of the least size it takes.
    const int right = m_minW > 0 ? m_minW : m_w, bottom = m_minW > 0 ? m_minH : m_h;
    w.button("?Far", "Far").at(right - 50, bottom - 18, 45, 14);
    Open();
    return Level::Benign;
  }

 private:
  int m_w, m_h, m_minW, m_minH;
};

class Frames : public ::testing::Test {
 protected:
  void SetUp() override { ov::ui::test::application(); }
};

TEST_F(Frames, TileCascadeAndArrangeIconsPlaceTheChildren) {
  ScriptedHost host;
  Frame frame;
  runScript([&](Driver& d) {
    d.later([&] { frame.Run(); });
    WindowDriver main = d.waitWindow("Main");
    std::vector<Child*> kids;
    for (int i = 0; i < 3; ++i) {
      d.start([&] {
        auto c = std::make_unique<Child>();
        kids.push_back(c.get());
        return c;
      });
      ASSERT_TRUE(d.waitUntil([&] { return kids.size() == size_t(i + 1) && kids.back()->window().isOpen(); }));
    }
    auto rects = [&] {
      std::vector<QRect> out;
      d.gui([&] {
        for (Child* c : kids) out.push_back(c->window().view()->geometry());
      });
      return out;
    };
    auto overlapping = [](const std::vector<QRect>& r) {
      int n = 0;
      for (size_t i = 0; i < r.size(); ++i)
        for (size_t j = i + 1; j < r.size(); ++j) n += r[i].intersects(r[j]);
      return n;
    };
    main.with([](Window& w) { w.tileChildren(); });
    std::vector<QRect> tiled = rects();
    EXPECT_EQ(overlapping(tiled), 0) << "tiled children lie side by side";
    main.with([](Window& w) { w.cascadeChildren(); });
    std::vector<QRect> stacked = rects();
    for (size_t i = 1; i < stacked.size(); ++i) {
      EXPECT_TRUE(stacked[i].intersects(stacked[i - 1])) << "cascaded children lie over each other";
      EXPECT_GT(stacked[i].top(), stacked[i - 1].top()) << "each one step lower";
    }

    d.gui([&] {
      for (Child* c : kids) c->window().view()->showMinimized();
    });
    main.with([](Window& w) { w.arrangeIcons(); });
    std::vector<QRect> icons = rects();
    EXPECT_EQ(overlapping(icons), 0) << "the minimised children lie in a row";
    d.gui([&] {
      const int bottom = frame.window().view()->findChild<QMdiArea*>()->viewport()->height();
      for (const QRect& r : icons) EXPECT_EQ(r.bottom() + 1, bottom) << "along the bottom";
    });
    main.press("?Exit");
    d.waitClosed(main);
  });
}

// A child that cannot be made as small as the frame's area opens at the area's top-left, and the
// area's scroll bars reach all of it; a resizable one is made as small as its minimum, no smaller.
TEST_F(Frames, AChildLargerThanTheAreaOpensAtItsTopLeftAndTheAreaScrollsToIt) {
  struct Case {
    const char* what;
    int w, h, minW, minH;
  };
  for (const Case& c : {Case{"fixed", 600, 400, 0, 0}, Case{"resizable above its minimum", 700, 500, 500, 330}}) {
    SCOPED_TRACE(c.what);
    ScriptedHost host;
    Frame frame;
    Sized* child = nullptr;
    runScript([&](Driver& d) {
      d.later([&] { frame.Run(); });
      WindowDriver main = d.waitWindow("Main");
      d.start([&] {
        auto k = std::make_unique<Sized>(c.w, c.h, c.minW, c.minH);
        child = k.get();
        return k;
      });
      WindowDriver kid = d.waitWindow("Sized");
      QMdiArea* area = nullptr;
      ASSERT_TRUE(d.waitUntil([&] {
        area = frame.window().view()->findChild<QMdiArea*>();
        return area && child->window().view()->isVisible() && area->horizontalScrollBar()->isVisible();
      })) << "the area shows its scroll bars";
      d.gui([&] {
        auto* sub = qobject_cast<QMdiSubWindow*>(child->window().view());
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(sub->pos(), QPoint(0, 0));
        const QSize view = area->viewport()->size();
        EXPECT_TRUE(sub->width() > view.width() && sub->height() > view.height());
        if (c.minW > 0) {
          const QSize least(child->window().dluToPxX(c.minW), child->window().dluToPxY(c.minH));
          EXPECT_EQ(child->window().clientView()->size(), least) << "sized down to its minimum";
        }
        // Scrolled to the ends, the child's far corner and its button there come into view.
        area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        const QRect seen = sub->geometry();
        EXPECT_LE(seen.right(), view.width() - 1);
        EXPECT_LE(seen.bottom(), view.height() - 1);
        QWidget* far = child->window().control(child->window().feq("?Far"))->view();
        const QPoint corner = far->mapTo(area->viewport(), QPoint(far->width() - 1, far->height() - 1));
        EXPECT_TRUE(area->viewport()->rect().contains(corner)) << corner.x() << "," << corner.y();
      });
      kid.post(EVENT::CloseWindow);
      d.waitClosed(kid);
      main.press("?Exit");
      d.waitClosed(main);
    });
  }
}

TEST_F(Frames, MenusToolbarAndStatusOfTheFrameAndItsMdiChildren) {
  ScriptedHost host;
  Frame frame;
  Child* child = nullptr;
  runScript([&](Driver& d) {
    d.later([&] { frame.Run(); });
    WindowDriver main = d.waitWindow("Main");
    EXPECT_EQ(main.title(), "Orvane 2003 3.42");
    EXPECT_EQ(main.prop("", Prop::StatusText + 3), "Tuesday, 3/17/26");
    EXPECT_EQ(main.tip("?TbInsert"), "Insert a record");
    // The menu, toolbar and status bar come on top of the frame's declared size.
    EXPECT_TRUE(d.waitUntil([&] {
      const QSize want(frame.window().dluToPxX(400), frame.window().dluToPxY(260));
      return frame.window().clientView()->size() == want;
    })) << "the frame's client area is its 400x260 dialog units";

    main.press("?Options");
    main.press("?TbInsert");  // no child open: the frame takes it
    main.press("?TbOptions");
    d.gui([&] { EXPECT_EQ(frame.accepted, (std::vector<int>{-114, Toolbar::Insert, -135})); });

    d.start([&] {
      auto c = std::make_unique<Child>();
      child = c.get();
      return c;
    });
    WindowDriver kid = d.waitWindow("Child");
    kid.with([](Window& w) {
      EXPECT_NE(qobject_cast<QMdiSubWindow*>(w.view()), nullptr) << "an MDI child lies in the frame";
    });
    // The child's title bar and border come on top of its declared size, not out of it.
    EXPECT_TRUE(d.waitUntil([&] {
      const QSize want(child->window().dluToPxX(160), child->window().dluToPxY(80));
      return child->window().clientView()->size() == want;
    })) << "the child shows all of its 160x80 dialog units";
    EXPECT_TRUE(d.waitUntil([&] { return activeMdiThread() == child->window().thread(); }));
    main.press("?TbInsert");
    d.gui([&] {
      EXPECT_EQ(child->taken, (std::vector<int>{Toolbar::Insert})) << "the active child takes the button";
      EXPECT_EQ(frame.accepted.size(), 3u);
    });
    EXPECT_TRUE(main.enabled("?TbInsert"));
    EXPECT_FALSE(main.enabled("?TbDelete")) << "the target cannot delete";

    main.with([](Window& w) { w.setProp(w.feq("?Toolbar"), Prop::Hide, 1); });
    main.with([](Window& w) {
      EXPECT_FALSE(w.control(Toolbar::Insert)->view()->isVisible());
    });

    main.press("?Exit");
    d.waitClosed(main);
    EXPECT_TRUE(d.waitUntil([&] { return openWindows().empty(); })) << "closing the frame closes its children";
  });
}

TEST_F(Frames, TheResizerMovesButtonsAndStretchesTextBoxes) {
  ScriptedHost host;
  struct Sized : WindowManager {
    Sized() : WindowManager("Sized") {}
    Level Init() override {
      Window& w = window();
      w.at(-1, -1, 200, 120).resizable();
      text = w.textBox("?Text").at(4, 4, 150, 80).feq();
      ok = w.button("?OK", "OK").at(150, 100, 40, 14).feq();
      label = w.string("?Label", "Notes").at(4, 100, 40, 10).feq();
      Open();
      m_resizer.Init(*this, WindowResizeClass::AppStrategy::Surface);
      m_resizer.SetMinSize(180, 100);
      AddItem(m_resizer);
      return Level::Benign;
    }
    WindowResizeClass m_resizer;
    int text = 0, ok = 0, label = 0;
  };
  Sized* s = nullptr;
  runScript([&](Driver& d) {
    d.start([&] {
      auto p = std::make_unique<Sized>();
      s = p.get();
      return p;
    });
    d.waitWindow("Sized");
    d.gui([&] {
      s->window().setProp(0, Prop::Width, 240);
      s->window().setProp(0, Prop::Height, 150);
    });
    d.settle();
    d.gui([&] {
      Window& win = s->window();
      EXPECT_EQ(win.control(s->ok)->rect().x, 190);
      EXPECT_EQ(win.control(s->ok)->rect().y, 130);
      EXPECT_EQ(win.control(s->text)->rect().w, 190);
      EXPECT_EQ(win.control(s->text)->rect().h, 110);
      EXPECT_EQ(win.control(s->label)->rect().x, 4) << "other controls stay in place";
      EXPECT_EQ(win.propInt(0, Prop::MinWidth), 180);
    });
  });
}

TEST_F(Frames, TextBoxGivesBackTheLineBreaksItWasShownUnlessEdited) {
  ScriptedHost host;
  struct Notes : WindowManager {
    Notes() : WindowManager("Notes") {}
    Level Init() override {
      window().at(-1, -1, 200, 120);
      window().textBox("?Text").at(4, 4, 150, 80).use(text);
      window().button("?Other", "Other").at(4, 100, 40, 14);
      Open();
      return Level::Benign;
    }
    std::string text = "Hello\r\n\r\nAge: 42";
  };
  Notes* n = nullptr;
  runScript([&](Driver& d) {
    d.start([&] {
      auto p = std::make_unique<Notes>();
      n = p.get();
      return p;
    });
    WindowDriver w = d.waitWindow("Notes");
    d.gui([&] { n->Update(); });
    d.gui([&] { EXPECT_EQ(n->text, "Hello\r\n\r\nAge: 42") << "shown, not edited"; });
    w.type("?Text", "Bye\nnow");
    w.accept("?Text");
    d.gui([&] { EXPECT_EQ(n->text, "Bye\nnow"); });
    w.close();
    d.waitClosed(w);
  });
}

TEST_F(Frames, TheTranslatorReplacesCaptionsTipsAndTitle) {
  ScriptedHost host;
  TranslatorClass t;
  t.AddTranslation("Holidays", "Feiertage");
  t.AddTranslation("&Close", "&Schliessen");
  t.AddTranslation("Closes the list", "Schliesst die Liste");
  struct Plain : WindowManager {
    explicit Plain(TranslatorClass& t) : WindowManager("Plain"), tr(t) {}
    Level Init() override {
      window().setTitle("Holidays");
      window().button("?Close", "&Close").at(4, 4, 40, 14).tip("Closes the list");
      window().entry("?Date", "@d2").at(4, 20, 60, 12);
      window().button("?Help", "&Help").at(50, 4, 40, 14);
      Open();
      tr.TranslateWindow(window());
      return Level::Benign;
    }
    TranslatorClass& tr;
  };
  runScript([&](Driver& d) {
    d.start([&] { return std::make_unique<Plain>(t); });
    WindowDriver w = d.waitWindow("Plain");
    EXPECT_EQ(w.title(), "Feiertage");
    EXPECT_EQ(w.text("?Close"), "&Schliessen");
    EXPECT_EQ(w.tip("?Close"), "Schliesst die Liste");
    EXPECT_EQ(w.prop("?Date", Prop::Text), "@d2") << "an entry's picture is not a text to translate";
  });
  EXPECT_EQ(t.Untranslated(), (std::set<std::string>{"&Help"}));
}

}  // namespace
