// The explorer's small windows driven offscreen: list properties (header, add, hide, the option
// mask, the list box controls), the numeric attribute, the header text, the column colours, the
// user filter and the graph preferences.
#include <gtest/gtest.h>

#include "platform/rt/ini.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/list_driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/tests/explore_fixture.h"

using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ov::ui::test::Driver;
using ov::ui::test::ListDriver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;
namespace PROPLIST = ov::ui::PROPLIST;

namespace {

std::string trimmed(std::string s) {
  s.erase(0, s.find_first_not_of(' '));
  return s;
}

class ExploreWindows : public ::testing::Test {
 protected:
  void SetUp() override { (void)ov::ui::test::application(); }
  TempDir dir;
  std::string ini() const { return dir.file("POSITION.INI"); }
};

TEST_F(ExploreWindows, ListPropertiesAddHideAndEditColumns) {
  ScriptedHost host;
  ExploreWindow w(ini(), 0x1FFFFFFF);
  w.setUp();
  w.sequence = 2;
  runScript([&](Driver& d) {
    d.later([&] { w.explorer.HandleMyEvents(ExploreEvent::ListProperties); });
    WindowDriver p = d.waitWindow("ExploreListProperties");
    ListDriver available(d, p, "?Props:Available");
    ListDriver active(d, p, "?Props:Active");
    EXPECT_EQ(available.texts(2), (std::vector<std::string>{"Name", "Town", "Year of birth", "Note"}));
    EXPECT_EQ(available.texts(1)[0], "\xE2\x9C\x93") << "displayed fields carry a tick";
    EXPECT_EQ(available.texts(1)[3], "");
    EXPECT_EQ(active.texts(1), (std::vector<std::string>{"Name", "Town", "Year of birth"}));
    EXPECT_TRUE(p.shown("?Props:Box1"));

    p.enter("?Props:Header", "Full ~ name");
    d.gui([&] { EXPECT_EQ(w.list->propList(PROPLIST::Header, 1), "Full ~ name"); });

    available.select(4);
    p.press("?Props:Add");
    EXPECT_EQ(active.texts(1), (std::vector<std::string>{"Name", "Town", "Year of birth", "Note"}));
    EXPECT_EQ(active.selected(), 4);
    EXPECT_EQ(trimmed(p.text("?Props:Width")), "50");

    available.select(2);
    p.press("?Props:Add");
    EXPECT_EQ(host.beeps(), 1) << "already shown";
    EXPECT_EQ(active.selected(), 2);

    p.press("?Props:Hide");
    EXPECT_EQ(active.texts(1), (std::vector<std::string>{"Name", "Year of birth", "Note"}));
    p.check("?Props:Underline", true);
    d.gui([&] { EXPECT_EQ(w.list->propList(PROPLIST::Underline, 2), "1"); });

    p.press("?Props:Close");
    d.waitClosed(p);
  });
  EXPECT_EQ(w.headers(), (std::vector<std::string>{"Full ~ name", "Born", "Note"}));
  EXPECT_EQ(w.list->columnCount(), 3);
  EXPECT_EQ(w.sequence, 0) << "the list has no sort column afterwards";
  EXPECT_EQ(w.list->columnCursor(), 0) << "the column cursor as it was";
  EXPECT_TRUE(w.explorer.SQ[1].ULine);
}

TEST_F(ExploreWindows, ListPropertiesFollowTheMaskAndTheResizeFlag) {
  ExploreWindow w(ini(), ExploreMask::Width);
  w.setUp();
  w.explorer.Def.AllowBBResize = false;
  runScript([&](Driver& d) {
    d.later([&] { w.explorer.ProcReformat(); });
    WindowDriver p = d.waitWindow("ExploreListProperties");
    EXPECT_TRUE(p.enabled("?Props:Width"));
    EXPECT_FALSE(p.enabled("?Props:Header"));
    EXPECT_FALSE(p.enabled("?Props:Fixed"));
    EXPECT_FALSE(p.enabled("?Props:LineHeight"));
    EXPECT_FALSE(p.shown("?Props:Box1")) << "no list position or size without AllowBBResize";
    EXPECT_FALSE(p.shown("?Props:Box4"));
    p.press("?Props:Close");
    d.waitClosed(p);
  });
}

TEST_F(ExploreWindows, AttributeHeaderAndColourWindowsApplyAtOnce) {
  ExploreWindow w(ini(), 0x1FFFFFFF);
  w.setUp();
  w.explorer.CurrentCol = 2;
  runScript([&](Driver& d) {
    d.later([&] { w.explorer.HandleMyEvents(ExploreEvent::Width); });
    WindowDriver a = d.waitWindow("ExploreAttribute");
    EXPECT_EQ(a.title(), "City");
    EXPECT_EQ(trimmed(a.text("?Attribute:Value")), "60");
    a.enter("?Attribute:Value", "75");
    d.gui([&] { EXPECT_EQ(w.list->propList(PROPLIST::Width, 2), "75"); });
    a.press("?Attribute:OK");
    d.waitClosed(a);

    d.later([&] { w.explorer.HandleMyEvents(ExploreEvent::HeaderText); });
    WindowDriver h = d.waitWindow("ExploreAttribute");
    EXPECT_EQ(h.title(), "Header Text: City");
    h.enter("?Attribute:Header", "Town @ ~ x");
    d.gui([&] { EXPECT_EQ(w.list->propList(PROPLIST::Header, 2), "Town @ ~ x"); });
    h.press("?Attribute:OK");
    d.waitClosed(h);

    d.later([&] { w.explorer.HandleMyEvents(ExploreEvent::Colors); });
    WindowDriver c = d.waitWindow("ExploreColumnColors");
    EXPECT_EQ(c.title(), "Colors for Column: Town");
    c.choose("?Colors:Color1", "Red");
    d.gui([&] { EXPECT_EQ(w.list->propList(PROPLIST::TextColor, 2), "255"); });
    c.press("?Colors:Reset");
    d.gui([&] { EXPECT_EQ(w.list->propList(PROPLIST::TextColor, 2), "-1"); });
    c.choose("?Colors:Color2", "Navy");
    c.press("?Colors:OK");
    d.waitClosed(c);
  });
  EXPECT_EQ(w.explorer.SQ[1].NBG, 8388608) << "read back into the column";
  EXPECT_EQ(w.explorer.SQ[1].Header, "Town @ ~ x");
  std::vector<XPGQ> back;
  ASSERT_TRUE(columnsFromFormat(w.list->formatString(), w.explorer.FQ, back));
  EXPECT_EQ(back[1].Header, "Town @ ~ x") << "the format carries the header whole";
  EXPECT_EQ(back[1].WidthDLU, 75);
}

TEST_F(ExploreWindows, UserFilterTakesTheTypedTextAsAValue) {
  ExploreWindow w(ini(), 0);
  w.asBrowse = true;
  w.setUp();
  w.explorer.Upper = true;
  w.explorer.CurrentCol = 2;
  runScript([&](Driver& d) {
    d.later([&] { w.explorer.HandleMyEvents(ExploreEvent::UserFilter); });
    WindowDriver f = d.waitWindow("ExploreFilter");
    EXPECT_EQ(f.title(), "Town");
    f.choose("?Filter:Symbol", "Contains");
    f.type("?Filter:Value", "^Par");
    f.press("?Filter:Search");
    d.waitClosed(f);

    w.explorer.CurrentCol = 3;
    d.later([&] { w.explorer.HandleMyEvents(ExploreEvent::UserFilter); });
    WindowDriver g = d.waitWindow("ExploreFilter");
    g.choose("?Filter:Symbol", ">=");
    g.type("?Filter:Value", "1970");
    g.press("?Filter:Search");
    d.waitClosed(g);
  });
  std::vector<ov::ui::QueryClass::Condition> c = w.query.conditions();
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].field, "PER:CITY");
  EXPECT_EQ(c[0].op, ov::ui::QueryClass::Op::Contains);
  EXPECT_EQ(c[0].value, "^Par") << "the typed marks are data";
  EXPECT_TRUE(c[0].caseless);
  EXPECT_EQ(c[1].op, ov::ui::QueryClass::Op::GreaterEqual);
  EXPECT_EQ(c[1].value, "1970");
  EXPECT_FALSE(c[1].caseless);

  // Escape closes the window, forgets the value and sets no limit.
  runScript([&](Driver& d) {
    d.later([&] { w.explorer.HandleMyEvents(ExploreEvent::UserFilter); });
    WindowDriver f = d.waitWindow("ExploreFilter");
    f.type("?Filter:Value", "x");
    f.key("", ov::ui::Key::Esc);
    d.waitClosed(f);
  });
  EXPECT_EQ(w.explorer.sValue, "");
  EXPECT_EQ(w.query.conditions().size(), 2u);
}

TEST_F(ExploreWindows, PreferencesSaveTheOrderOnlyOnOk) {
  ScriptedHost host;
  ExploreWindow w(ini(), 0);
  w.setUp();
  auto run = [&](bool ok) {
    runScript([&](Driver& d) {
      d.later([&] { w.explorer.Preferences(); });
      WindowDriver p = d.waitWindow("ExplorePreferences");
      p.choose("?Preferences:List", "Red");
      for (int i = 0; i < 8; ++i) p.press("?Preferences:Up");
      p.press("?Preferences:Up");  // already first: a beep
      if (ok)
        p.press("?Preferences:OK");
      else
        p.close();
      d.waitClosed(p);
    });
  };
  run(false);
  EXPECT_EQ(ov::rt::GETINI("ExplorePreferences", "Col01", "", ini()), "Maroon") << "closed without OK";
  EXPECT_EQ(ov::rt::GETINI("ExplorePreferences", "FontStyle", "", ini()), "700") << "every key is written";
  run(true);
  EXPECT_EQ(ov::rt::GETINI("ExplorePreferences", "Col01", "", ini()), "Red");
  EXPECT_EQ(ov::rt::GETINI("ExplorePreferences", "Col02", "", ini()), "Maroon");
  EXPECT_EQ(ov::rt::GETINI("ExplorePreferences", "Col10", "", ini()), "Yellow");
  EXPECT_EQ(host.beeps(), 2);
}

}  // namespace
