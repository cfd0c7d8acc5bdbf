// The form wizard on a sheet of four tabs: skipping hidden tabs, the last reachable tab turning
// Next into OK, the validation hook, the ordinary-form mode, and shrinking the sheet.
#include <gtest/gtest.h>

#include "winclasses/form_wizard_class.h"
#include "winclasses/tests/support.h"

using namespace ov;
using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::WindowDriver;

namespace {

class BlockingWizard : public FormWizardClass {
 public:
  int block = 0;
  int32_t Validate() override { return block; }
};

struct Options {
  bool skipHidden = true, coexist = false, validate = false;
  int mode = 1;
  std::vector<int> hiddenTabs;
};

class Wizard : public ::testing::Test {
 protected:
  void SetUp() override { ui::test::application(); }
  BlockingWizard wiz;
  TestWindow* win = nullptr;
  int sheet = 0, back = 0, next = 0, ok = 0, cancel = 0;
  std::vector<int> tabs;

  WindowDriver open(Driver& d, Options o) {
    return openTestWindow(d, win, [this, o](TestWindow& t) {
      t.declare = [this, o](ui::Window& w) {
        sheet = w.sheet("?Sheet").at(4, 4, 200, 100).feq();
        tabs.clear();
        for (int i = 1; i <= 4; ++i) {
          ui::Tab& tab = w.tab("?Tab" + std::to_string(i), "Step " + std::to_string(i), sheet);
          if (std::find(o.hiddenTabs.begin(), o.hiddenTabs.end(), i) != o.hiddenTabs.end()) tab.hidden();
          tabs.push_back(tab.feq());
        }
        back = w.button("?Back", "< Back").at(40, 120, 40, 14).feq();
        next = w.button("?Next", "Next >").at(84, 120, 40, 14).feq();
        ok = w.button("?OK", "OK").at(128, 120, 40, 14).feq();
        cancel = w.button("?Cancel", "Cancel").at(172, 120, 40, 14).feq();
      };
      t.afterOpen = [this, o] { wiz.Init(sheet, back, next, ok, cancel, o.skipHidden, o.coexist, o.validate, o.mode); };
      t.onEvent = [this] {
        if (ui::EVENT() == ui::EVENT::Accepted) wiz.TakeAccepted();
        return ui::Level::Benign;
      };
    });
  }
  int chosenTab(WindowDriver& w) { return std::stoi(w.prop("?Sheet", ui::Prop::Selected)); }
  bool isDefault(WindowDriver& w, const char* button) { return w.prop(button, ui::Prop::Default) == "1"; }
};

TEST_F(Wizard, HiddenTabsAreSkippedBothWays) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, {.hiddenTabs = {2}});
    EXPECT_EQ(w.prop("?Sheet", ui::Prop::Wizard), "1") << "no tab row";
    EXPECT_EQ(chosenTab(w), 1);
    EXPECT_FALSE(w.enabled("?Back")) << "nothing before the first tab";
    EXPECT_TRUE(isDefault(w, "?Next"));
    w.press("?Next");
    EXPECT_EQ(wiz.CURTABNUM, 3);
    EXPECT_EQ(chosenTab(w), 3);
    EXPECT_TRUE(w.enabled("?Back"));
    w.press("?Back");
    EXPECT_EQ(chosenTab(w), 1);
    w.close();
  });
}

TEST_F(Wizard, TheLastVisibleTabEndsTheWalk) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, {.coexist = true, .hiddenTabs = {4}});
    EXPECT_FALSE(w.shown("?OK")) << "OK and Next share one place";
    EXPECT_EQ(w.prop("?OK", ui::Prop::Xpos), w.prop("?Next", ui::Prop::Xpos));
    w.press("?Next");
    w.press("?Next");
    EXPECT_EQ(chosenTab(w), 3);
    EXPECT_EQ(wiz.MAXTAB, 3);
    EXPECT_TRUE(isDefault(w, "?OK"));
    EXPECT_FALSE(isDefault(w, "?Next"));
    EXPECT_TRUE(w.shown("?OK"));
    EXPECT_FALSE(w.shown("?Next"));
    EXPECT_EQ(wiz.NextControl(), ok);
    // A tab shown meanwhile counts at the next move.
    d.gui([&] { win->window().setProp(tabs[3], ui::Prop::Hide, 0); });
    w.press("?Back");
    EXPECT_EQ(wiz.MAXTAB, 4);
    EXPECT_TRUE(w.shown("?Next"));
    w.close();
  });
}

TEST_F(Wizard, ValidationHoldsNextButBackAlwaysMoves) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, {.skipHidden = false, .validate = true, .hiddenTabs = {}});
    w.press("?Next");
    EXPECT_EQ(chosenTab(w), 2);
    wiz.block = 1;
    w.press("?Next");
    EXPECT_EQ(chosenTab(w), 2) << "Validate refused";
    EXPECT_FALSE(w.enabled("?Next")) << "what leads on is disabled while the tab does not validate";
    w.press("?Back");
    EXPECT_EQ(chosenTab(w), 1);
    w.close();
  });
}

TEST_F(Wizard, AnOrdinaryFormKeepsItsTabsAndLayout) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, {.mode = 0, .hiddenTabs = {}});
    EXPECT_FALSE(w.shown("?Back"));
    EXPECT_FALSE(w.shown("?Next"));
    EXPECT_TRUE(w.shown("?OK"));
    EXPECT_EQ(w.prop("?Sheet", ui::Prop::Wizard), "");
    std::string okY = w.prop("?OK", ui::Prop::Ypos), sheetH = w.prop("?Sheet", ui::Prop::Height);
    w.selectTab("Step 3");
    d.gui([&] {
      wiz.TakeNewSelection();
      wiz.ShrinkSheet(20);
      wiz.InitMultiUseForm(0, 0);
    });
    d.settle();
    EXPECT_EQ(chosenTab(w), 3);
    EXPECT_EQ(w.prop("?OK", ui::Prop::Ypos), okY);
    EXPECT_EQ(w.prop("?Sheet", ui::Prop::Height), sheetH);
    w.close();
  });
}

TEST_F(Wizard, ShrinkingTheSheetMovesTheControlsBelowItUp) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, {.hiddenTabs = {}});
    int okY = std::stoi(w.prop("?OK", ui::Prop::Ypos)), sheetH = std::stoi(w.prop("?Sheet", ui::Prop::Height));
    d.gui([&] { wiz.ShrinkSheet(20); });
    d.settle();
    EXPECT_EQ(std::stoi(w.prop("?OK", ui::Prop::Ypos)), okY - 20);
    EXPECT_EQ(std::stoi(w.prop("?Sheet", ui::Prop::Height)), sheetH - 20);
    EXPECT_EQ(w.prop("?Sheet", ui::Prop::Ypos), "4") << "the sheet itself stays";
    EXPECT_GE(win->count(ui::EVENT::Sized, 0), 1);
    w.close();
  });
}

}  // namespace
