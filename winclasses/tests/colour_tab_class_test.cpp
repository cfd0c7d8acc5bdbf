// Coloured tabs: the chosen and the other tabs in their schemes, swapped when another tab is
// chosen, bold captions, controls on the tabs, sheets run as wizards left alone, a window without
// sheets, and the colours on the screen.
#include <gtest/gtest.h>

#include <QImage>
#include <QTabBar>
#include <QTabWidget>

#include "platform/ui/runtime.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/tests/support.h"

using namespace ov;
using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::WindowDriver;

namespace {

constexpr int32_t kSelTab = 0x00FFFF;    // yellow
constexpr int32_t kSelText = 0x0000FF;   // red
constexpr int32_t kOtherTab = 0xA7A7A7;  // grey
constexpr int32_t kOtherText = 0x000000;

class ColourTabs : public ::testing::Test {
 protected:
  void SetUp() override { ui::test::application(); }
  void TearDown() override { ui::setSystemProp(ui::Prop::ColorTabs, ""); }
  ColourTabClass tabs;
  TestWindow* win = nullptr;
  int sheet = 0, tab1 = 0, tab2 = 0, child1 = 0, child2 = 0, wizSheet = 0, wizTab = 0;

  WindowDriver open(Driver& d, bool bold, bool noWizard, bool children) {
    return openTestWindow(d, win, [=, this](TestWindow& t) {
      t.declare = [this](ui::Window& w) {
        sheet = w.sheet("?Sheet").at(4, 4, 200, 80).feq();
        tab1 = w.tab("?Tab1", "General", sheet).feq();
        tab2 = w.tab("?Tab2", "Details", sheet).feq();
        w.setProp(tab2, ui::Prop::FontStyle, 4096 + 400);  // italic
        child1 = w.check("?Child1", "On one").at(10, 30, 60, 10).on(tab1).feq();
        child2 = w.check("?Child2", "On two").at(10, 30, 60, 10).on(tab2).feq();
        wizSheet = w.sheet("?Wizard").wizard().at(4, 90, 200, 60).feq();
        wizTab = w.tab("?WizTab", "Step", wizSheet).feq();
      };
      t.afterOpen = [=, this] { tabs.Init(kSelTab, kSelText, bold, kOtherTab, kOtherText, noWizard, children); };
    });
  }
  int64_t prop(int feq, int p) { return win->window().propInt(feq, p); }
};

TEST_F(ColourTabs, TheSchemesFollowTheChosenTab) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, true, true, true);
    d.gui([&] {
      ASSERT_EQ(tabs.TABQ->size(), 3u);
      ASSERT_EQ(tabs.CHILDQ->size(), 2u);
      tabs.ColourTabs();
      EXPECT_EQ(prop(tab1, ui::Prop::Color), kSelTab);
      EXPECT_EQ(prop(tab1, ui::Prop::FontColor), kSelText);
      EXPECT_EQ(prop(tab1, ui::Prop::FontStyle), 700);
      EXPECT_EQ(prop(tab2, ui::Prop::Color), kOtherTab);
      EXPECT_EQ(prop(tab2, ui::Prop::FontStyle), 4096 + 400);
      EXPECT_EQ(prop(child1, ui::Prop::Color), kSelTab);
      EXPECT_EQ(prop(child2, ui::Prop::FontColor), kOtherText);
      EXPECT_EQ(prop(child1, ui::Prop::FontStyle), 0) << "captions on a tab are never made bold";
      EXPECT_EQ(prop(wizTab, ui::Prop::Color), -1) << "a sheet run as a wizard keeps its colours";
    });
    w.selectTab("Details");
    d.gui([&] {
      tabs.ColourTabs();
      EXPECT_EQ(prop(tab1, ui::Prop::Color), kOtherTab);
      EXPECT_EQ(prop(tab1, ui::Prop::FontColor), kOtherText);
      EXPECT_EQ(prop(tab1, ui::Prop::FontStyle), 400) << "bold goes back to normal weight";
      EXPECT_EQ(prop(tab2, ui::Prop::Color), kSelTab);
      EXPECT_EQ(prop(tab2, ui::Prop::FontStyle), 4096 + 700) << "bold, still italic";
      EXPECT_EQ(prop(child2, ui::Prop::Color), kSelTab);
      EXPECT_EQ(prop(child1, ui::Prop::Color), kOtherTab);
    });
    // On the screen: the chosen tab's header is filled with its colour.
    d.gui([&] {
      auto* view = qobject_cast<QTabWidget*>(win->window().control(sheet)->view());
      ASSERT_NE(view, nullptr);
      QTabBar* bar = view->tabBar();
      QImage image = bar->grab().toImage();
      QRect r = bar->tabRect(1);
      QColor fill = image.pixelColor(r.left() + 4, r.top() + 4);
      EXPECT_EQ(fill, QColor(255, 255, 0)) << "yellow: 0x00FFFF as a COLORREF";
      QColor other = image.pixelColor(bar->tabRect(0).left() + 4, bar->tabRect(0).top() + 4);
      EXPECT_EQ(other, QColor(0xA7, 0xA7, 0xA7));
    });
    w.close();
  });
}

TEST_F(ColourTabs, WithoutTheOptionsOnlyTheTabsChangeAndWizardsToo) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, false, false, false);
    d.gui([&] {
      EXPECT_TRUE(tabs.CHILDQ->empty());
      tabs.ColourTabs();
      EXPECT_EQ(prop(tab1, ui::Prop::FontStyle), 0) << "not bold";
      EXPECT_EQ(prop(wizTab, ui::Prop::Color), kSelTab) << "wizards are coloured too";
      EXPECT_EQ(prop(child1, ui::Prop::Color), -1);
    });
    w.close();
  });
}

TEST_F(ColourTabs, AWindowWithoutSheetsIsLeftAlone) {
  runScript([&](Driver& d) {
    TestWindow* plain = nullptr;
    ColourTabClass none;
    WindowDriver w = openTestWindow(d, plain, [&](TestWindow& t) {
      t.declare = [](ui::Window& wnd) { wnd.button("?OK", "OK").at(4, 4, 40, 14); };
      t.afterOpen = [&] { none.Init(kSelTab, kSelText, 1, kOtherTab, kOtherText, 0, 1); };
    });
    d.gui([&] {
      none.ColourTabs();
      EXPECT_TRUE(none.TABQ->empty());
      EXPECT_EQ(plain->window().propInt(plain->window().feq("?OK"), ui::Prop::Color), -1);
      none.Kill();
      EXPECT_FALSE(none.TABQ);
    });
    w.close();
  });
}

}  // namespace
