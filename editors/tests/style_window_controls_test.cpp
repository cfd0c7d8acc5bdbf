// The read-only form mode over a window holding one control of each kind, opened to view and to
// delete, and the accelerator strip.
#include <gtest/gtest.h>

#include <string>

#include "editors/style_window_controls.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/event.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window_manager.h"

using namespace ov;
using editors::stripAccelerator;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

TEST(StripAccelerator, RemovesOnlyTheFirstAmpersand) {
  struct Case { const char* in; const char* want; };
  const Case kCases[] = {
      {"&Last Name:", "Last Name:"},
      {"Last Name:", "Last Name:"},
      {"De&scription:   ", "Description:"},
      {"&", ""},
      {"", ""},
  };
  for (const Case& c : kCases) EXPECT_EQ(stripAccelerator(c.in), c.want) << c.in;
}

// A form with every kind of control the mode acts on, and some it leaves alone.
class AllKinds : public ui::WindowManager {
 public:
  explicit AllKinds(bool deleting) : ui::WindowManager("AllKinds"), m_deleting(deleting) {}
  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("All kinds");
    w.at(-1, -1, 260, 200);
    w.prompt("?Prompt", "&Last Name:").at(4, 4, 50, 10);
    w.entry("?Entry", "@s20").at(60, 4, 80, 12).use(m_text);
    w.check("?Check", "&Active").at(4, 20, 60, 10).use(m_flag);
    w.combo("?Combo", "a|b").at(4, 34, 60, 12);
    w.spin("?Spin", "@n3").at(70, 34, 40, 12).use(m_number);
    w.textBox("?Text").at(4, 50, 100, 30);
    w.dropList("?DropList", "x|y").at(110, 50, 60, 12);
    w.dropCombo("?DropCombo", "p|q").at(110, 66, 60, 12);
    const int option = w.option("?Option", "&Kind").at(4, 84, 150, 30).use(m_kind).feq();
    w.radio("?Radio1", "&Annual", option).at(10, 94, 40, 10);
    w.radio("?Radio2", "&Once", option).at(60, 94, 40, 10);
    w.radio("?Radio3", "&Easter", option).at(110, 94, 40, 10);
    w.button("?Lookup", "...").at(144, 4, 14, 12);
    w.button("?Action", "&Print").at(4, 120, 40, 14);
    w.add<ui::TextList>(0, "?List").at(170, 4, 80, 60);
    OkControl = w.button("?OK", "&OK").at(150, 180, 40, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(200, 180, 40, 14).feq();
    Open();
    w.setProp(OkControl, ui::Prop::Disable, 1);  // as a form might have it
    return ui::Level::Benign;
  }
  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    editors::StyleWindowControls(*this, m_deleting);
  }

 private:
  bool m_deleting;
  rt::String<20> m_text;
  uint8_t m_flag = 1;
  int32_t m_number = 5;
  rt::String<10> m_kind = "Once";
};

TEST(StyleWindowControls, ViewTurnsEditingOffAndKeepsTheRest) {
  ui::test::application();
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start([] { return std::make_unique<AllKinds>(false); });
    WindowDriver w = d.waitWindow("AllKinds");
    for (const char* c : {"?Entry", "?Check", "?Combo", "?Spin", "?Text", "?DropList", "?DropCombo", "?Lookup"})
      EXPECT_FALSE(w.enabled(c)) << c;
    for (const char* c : {"?Action", "?List", "?Cancel"}) EXPECT_TRUE(w.enabled(c)) << c;
    EXPECT_FALSE(w.enabled("?OK")) << "view leaves OK as it was";
    EXPECT_EQ(w.prop("?Prompt", ui::Prop::Text), "Last Name:");
    EXPECT_EQ(w.prop("?Check", ui::Prop::Text), "&Active") << "a check box only gets disabled";
    EXPECT_EQ(w.prop("?Option", ui::Prop::Text), "Kind");
    EXPECT_EQ(w.prop("?Radio1", ui::Prop::Text), "Annual");
    EXPECT_EQ(w.prop("?Cancel", ui::Prop::Text), "Cl&ose");
    EXPECT_EQ(w.prop("?Cancel", ui::Prop::Icon), "~close.ico");
    // The chosen radio stays readable and cannot be changed; the others are disabled.
    EXPECT_TRUE(w.enabled("?Radio2"));
    EXPECT_EQ(w.prop("?Radio2", ui::Prop::ReadOnly), "1");
    EXPECT_FALSE(w.enabled("?Radio1"));
    EXPECT_FALSE(w.enabled("?Radio3"));
    w.press("?Radio2");
    EXPECT_EQ(w.choice("?Option"), 2);
    // A refresh that enables a control again is undone by the next reset.
    w.with([](ui::Window& win) {
      win.setProp(win.feq("?Entry"), ui::Prop::Disable, 0);
      win.manager()->Reset(true);
    });
    EXPECT_FALSE(w.enabled("?Entry"));
    w.press("?Cancel");
    d.waitClosed(w);
  });
}

TEST(StyleWindowControls, DeleteKeepsOkToConfirm) {
  ui::test::application();
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start([] { return std::make_unique<AllKinds>(true); });
    WindowDriver w = d.waitWindow("AllKinds");
    EXPECT_TRUE(w.enabled("?OK"));
    EXPECT_FALSE(w.enabled("?Entry"));
    EXPECT_EQ(w.prop("?Cancel", ui::Prop::Text), "Cl&ose");
    w.close();
    d.waitClosed(w);
  });
}

}  // namespace
