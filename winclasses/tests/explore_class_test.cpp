// The explorer list class: the header mouse as a state machine on synthetic messages, the popup
// items against the option mask, the popup prepared for a column, the event handler, column
// attributes, quick filters, the label helpers and the graph preferences.
#include "winclasses/explore_class.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/rt/ini.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window_proc.h"
#include "winclasses/explore_preferences.h"
#include "winclasses/tests/explore_fixture.h"

using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ov::ui::test::ScriptedHost;
namespace WM = ov::ui::WM;

namespace {

class Explore : public ::testing::Test {
 protected:
  void SetUp() override { (void)ov::ui::test::application(); }
  TempDir dir;
  std::string ini() const { return dir.file("POSITION.INI"); }
};

struct Msg {
  uint32_t msg;
  int x, y;
};

TEST_F(Explore, HeaderMousePostsEventsForPressesDragsAndMoves) {
  struct Case {
    const char* name;
    bool buttonShown;
    std::vector<Msg> messages;
    std::vector<int> want;
    bool dragBox;
  };
  // The pressed header cell spans x 100..180; the header is 20 pixels high.
  const Case kCases[] = {
      {"a click", true, {{WM::LButtonDown, 120, 10}, {WM::LButtonUp, 121, 10}}, {1025, 1026}, false},
      {"a move with no button held posts nothing", true, {{WM::MouseMove, 300, 10}, {WM::MouseMove, 10, 10}}, {}, false},
      {"a small move stays on the button", true, {{WM::LButtonDown, 120, 10}, {WM::MouseMove, 125, 10}}, {1025}, false},
      {"past half a header height the drag box shows",
       true,
       {{WM::LButtonDown, 120, 10}, {WM::MouseMove, 135, 10}},
       {1025, 1028},
       true},
      {"past a header height the drag moves",
       true,
       {{WM::LButtonDown, 120, 10}, {WM::MouseMove, 150, 10}},
       {1025, 1028, 1032},
       true},
      {"leaving the cell downwards", true, {{WM::LButtonDown, 120, 10}, {WM::MouseMove, 121, 30}}, {1025, 1028}, false},
      {"leaving the cell sideways",
       true,
       {{WM::LButtonDown, 170, 10}, {WM::MouseMove, 185, 10}},
       {1025, 1028, 1028},
       true},
      {"no button shown: a far move still drags", false, {{WM::LButtonDown, 120, 10}, {WM::MouseMove, 150, 5}}, {1025, 1032}, false},
      {"too far below the header is no drag", false, {{WM::LButtonDown, 120, 10}, {WM::MouseMove, 200, 45}}, {1025}, false},
      {"after the release moves post nothing",
       false,
       {{WM::LButtonDown, 120, 10}, {WM::LButtonUp, 120, 10}, {WM::MouseMove, 200, 10}},
       {1025, 1026},
       false},
      {"right button", true, {{WM::RButtonDown, 120, 10}, {WM::RButtonUp, 120, 10}}, {1029, 1030}, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    HeaderMouse hm;
    std::vector<int> posted;
    hm.post = [&](int e) { posted.push_back(e); };
    hm.cellLeft = 100;
    hm.cellWidth = 80;
    hm.headerHeight = 20;
    hm.buttonShown = c.buttonShown;
    for (const Msg& m : c.messages) hm.message(m.msg, m.x, m.y);
    EXPECT_EQ(posted, c.want);
    EXPECT_EQ(hm.dragBoxShown, c.dragBox);
    EXPECT_EQ(hm.messages, static_cast<int>(c.messages.size()));
  }
}

std::vector<std::string> names(const ov::ui::PopupClass& p) { return p.ItemNames(); }
bool has(const std::vector<std::string>& v, const char* n) { return std::find(v.begin(), v.end(), n) != v.end(); }

TEST_F(Explore, PopupItemsFollowTheOptionMask) {
  struct Case {
    const char* name;
    int64_t mask;
    bool browse;
    std::vector<const char*> present, absent;
  };
  const Case kCases[] = {
      {"no bits: output, list and sort only",
       0,
       false,
       {"Output", "PVW", "PPG", "ASC", "HTM", "GBR", "List", "DEF", "ADJ", "SRT"},
       {"PRP", "Explore", "Filter", "ADDF1", "MCL", "FNT", "S11"}},
      {"list properties alone opens no Explore menu", 0x100000, false, {"PRP"}, {"Explore"}},
      {"moving", 0x2000, false, {"Explore", "MCL", "MCR", "S21"}, {"HOS", "ListBox"}},
      {"justifications and their separators",
       0x1 | 0x20,
       false,
       {"Explore", "FJL", "S23", "HJL", "S24"},
       {"FJC", "HJR", "S22", "MCL"}},
      {"list box items", 0x2000000 | 0x200000, false, {"Explore", "ListBox", "XPS", "S34", "FNT"}, {"LHI", "S35"}},
      {"a browse adds the filter menu", 0, true, {"Filter", "ADDF1", "ADDF4", "ADDF2", "ADDF3", "EQL", "USERF", "VOID"}, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ExploreWindow w(ini(), c.mask);
    w.asBrowse = c.browse;
    w.setUp();
    std::vector<std::string> n = names(*w.explorer.RPU);
    for (const char* p : c.present) EXPECT_TRUE(has(n, p)) << p;
    for (const char* a : c.absent) EXPECT_FALSE(has(n, a)) << a;
  }
}

TEST_F(Explore, EveryPopupItemHasItsOwnNameAndEvent) {
  ExploreWindow w(ini(), 0x1FFFFFFF);
  w.asBrowse = true;
  w.setUp();
  std::vector<std::string> n = names(*w.explorer.RPU);
  std::vector<std::string> sorted = n;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "item names are unique";
  EXPECT_EQ(w.explorer.RPU->GetText("ASC"), "Export to ASCII (XPort.CSV)");
  EXPECT_EQ(w.explorer.RPU->GetText("FXD"), "Fixed") << "the + makes a tick";
  // The tree as shown: FNT sits in ListBox inside Explore.
  std::vector<ov::ui::PopupItem> items = w.explorer.RPU->Items();
  auto find = [](const std::vector<ov::ui::PopupItem>& v, const std::string& text) -> const ov::ui::PopupItem* {
    for (const auto& i : v)
      if (i.text == text) return &i;
    return nullptr;
  };
  const ov::ui::PopupItem* explore = find(items, "&Explore");
  ASSERT_NE(explore, nullptr);
  const ov::ui::PopupItem* listBox = find(explore->children, "&ListBox");
  ASSERT_NE(listBox, nullptr);
  EXPECT_NE(find(listBox->children, "Font"), nullptr);
  EXPECT_TRUE(find(explore->children, "Fixed")->checkable);
}

TEST_F(Explore, PreparedPopupCarriesTheColumnAndTheSelectedRow) {
  ExploreWindow w(ini(), 0x1FFFFFFF);
  w.asBrowse = true;
  w.setUp();
  w.list->setSelected(2);  // alice, Paris
  w.explorer.CurrentCol = 2;
  w.explorer.FilterEqual = true;
  w.explorer.Graph = true;
  w.explorer.PrintView = false;
  w.explorer.PrintPage = true;
  w.explorer.SQ[1].HJust = 'D';
  w.explorer.SQ[1].Fixed = true;
  w.explorer.PreparePopup();
  ov::ui::PopupClass& p = *w.explorer.RPU;
  EXPECT_EQ(p.GetText("ADDF1"), "Add Filter of (Town=Paris)");
  EXPECT_EQ(p.GetText("ADDF4"), "Add Filter of (Town~=Paris)");
  EXPECT_EQ(p.GetText("ADDF2"), "Add Filter of (Town<=Paris)");
  EXPECT_EQ(p.GetText("ADDF3"), "Add Filter of (Town>=Paris)");
  EXPECT_EQ(p.GetText("SRT"), "Sort on Town");
  EXPECT_TRUE(p.GetItemEnabled("SRT"));
  EXPECT_FALSE(p.GetItemEnabled("GBR")) << "the column allows no graph";
  EXPECT_FALSE(p.GetItemEnabled("PVW"));
  EXPECT_FALSE(p.GetItemEnabled("HTM"));
  EXPECT_TRUE(p.GetItemEnabled("PPG"));
  EXPECT_TRUE(p.GetItemChecked("HJD"));
  EXPECT_FALSE(p.GetItemChecked("HJL"));
  EXPECT_TRUE(p.GetItemChecked("FJL"));
  EXPECT_TRUE(p.GetItemChecked("FXD"));
  EXPECT_TRUE(p.GetItemChecked("EQL"));
  EXPECT_TRUE(p.GetItemChecked("BDR"));
  EXPECT_FALSE(p.GetItemChecked("ULI"));
}

TEST_F(Explore, MovesNeedTheMovingBit) {
  for (int64_t mask : {int64_t{0}, ExploreMask::Moving}) {
    SCOPED_TRACE(mask);
    ExploreWindow w(ini(), mask);
    w.setUp();
    w.sequence = 1;  // sorted on Name
    w.explorer.QNos = 1;
    w.explorer.CurrentCol = 1;
    w.explorer.HandleMyEvents(ExploreEvent::MoveRight);
    if (mask) {
      EXPECT_EQ(w.headers(), (std::vector<std::string>{"City", "Name", "Born"}));
      EXPECT_EQ(w.sequence, 2) << "the sort column's new place";
    } else {
      EXPECT_EQ(w.headers(), (std::vector<std::string>{"Name", "City", "Born"}));
      EXPECT_EQ(w.sequence, 1);
    }
  }
}

TEST_F(Explore, SortOnShowsTheOrderAndPostsNewSort) {
  ExploreWindow w(ini(), 0);
  w.setUp();
  w.sequence = 0;
  w.explorer.CurrentCol = 3;
  w.explorer.HandleMyEvents(ExploreEvent::SortOn);
  EXPECT_EQ(w.names(), (std::vector<std::string>{"Bob", "Carol", "alice"}));
  EXPECT_EQ(w.sequence, 3);
}

TEST_F(Explore, AttributeCodesChangeTheColumnAndTheList) {
  struct Case {
    const char* code;
    std::function<bool(const XPGQ&, ov::ui::ListControl&)> check;
  };
  const Case kCases[] = {
      {"HJD",
       [](const XPGQ& c, ov::ui::ListControl& l) {
         return c.HJust == 'D' && l.propList(ov::ui::PROPLIST::HeaderDecimal, 2) == "1" &&
                l.propList(ov::ui::PROPLIST::HeaderLeft, 2) != "1" &&
                l.propList(ov::ui::PROPLIST::HeaderDecimalOffset, 2) == "1";
       }},
      {"FJR",
       [](const XPGQ& c, ov::ui::ListControl& l) {
         return c.FJust == 'R' && l.propList(ov::ui::PROPLIST::Right, 2) == "1";
       }},
      {"ULI",
       [](const XPGQ& c, ov::ui::ListControl& l) {
         return c.ULine && l.propList(ov::ui::PROPLIST::Underline, 2) == "1";
       }},
      {"BDR",
       [](const XPGQ& c, ov::ui::ListControl& l) {
         return !c.Border && l.propList(ov::ui::PROPLIST::RightBorder, 2) != "1";
       }},
      {"XYZ", [](const XPGQ& c, ov::ui::ListControl&) { return c.HJust == 'L' && !c.ULine && c.Border; }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.code);
    ExploreWindow w(ini(), 0);
    w.setUp();
    w.explorer.CurrentCol = 2;
    std::string before = w.list->formatString();
    w.explorer.ModColAttribute(c.code);
    EXPECT_TRUE(c.check(w.explorer.SQ[1], *w.list)) << w.list->formatString();
    if (c.code == std::string("ULI") || c.code == std::string("BDR")) {
      w.explorer.ModColAttribute(c.code);
      EXPECT_EQ(w.list->formatString(), before) << "toggled twice: as it was";
    }
  }
}

TEST_F(Explore, QuickFiltersPassTheRowValueAsAValue) {
  ExploreWindow w(ini(), 0);
  w.asBrowse = true;
  w.people.GET(2);
  w.people.buf.City = "^=Oslo*";  // marks of the query syntax, here plain data
  w.people.PUT();
  w.setUp();
  w.explorer.Upper = true;
  w.list->setSelected(2);
  w.explorer.CurrentCol = 2;
  w.explorer.HandleMyEvents(ExploreEvent::FilterEqual);
  std::vector<ov::ui::QueryClass::Condition> c = w.query.conditions();
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].field, "PER:CITY");
  EXPECT_EQ(c[0].value, "^=Oslo*");
  EXPECT_EQ(c[0].op, ov::ui::QueryClass::Op::Equal);
  EXPECT_TRUE(c[0].caseless) << "a text with Upper set";

  // Less-than on one row, greater-than on another: both limits stay.
  w.explorer.CurrentCol = 3;
  w.list->setSelected(1);  // 1970
  w.explorer.HandleMyEvents(ExploreEvent::FilterLess);
  w.list->setSelected(3);  // 1960
  w.explorer.HandleMyEvents(ExploreEvent::AddEqualToFilter);
  w.explorer.HandleMyEvents(ExploreEvent::FilterGreater);
  c = w.query.conditions();
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(w.query.GetText(), "PER:CITY = ^=Oslo* AND PER:BORN >= 1960 AND PER:BORN < 1970");
  EXPECT_FALSE(c[1].caseless) << "a number takes no case marker";

  w.explorer.HandleMyEvents(ExploreEvent::CancelFilter);
  EXPECT_TRUE(w.query.conditions().empty());
}

TEST_F(Explore, LabelsForDaysMonthsAndHourBands) {
  ExploreClass e;
  struct Case {
    const char* name;
    std::function<void(std::string&)> op;
    const char* in;
    const char* want;
  };
  const Case kCases[] = {
      {"Sunday", [&](std::string& s) { e.GetDayName(1, s); }, "", " 1 =Sunday"},
      {"day 0 leaves the text", [&](std::string& s) { e.GetDayName(0, s); }, "as it was", "as it was"},
      {"padded to the string's length", [&](std::string& s) { e.GetDayName(7, s); }, "xxxxxxxxxxxxxxxx",
       " 7 =Saturday    "},
      {"December", [&](std::string& s) { e.GetMonthName(12, s); }, "", "12 =December"},
      {"month 13 leaves the text", [&](std::string& s) { e.GetMonthName(13, s); }, "13", "13"},
      {"6-hour band", [&](std::string& s) { e.Get6HrString(s); }, "05", "00:00-05:59"},
      {"6-hour band padded", [&](std::string& s) { e.Get6HrString(s); }, "18   ", "18:00-23:59"},
      {"4-hour band 20", [&](std::string& s) { e.Get4HrString(s); }, "20", "20:00-23:59"},
      {"4-hour band 03", [&](std::string& s) { e.Get4HrString(s); }, "03", "00:00-03:59"},
      {"hour 24 is no band", [&](std::string& s) { e.Get4HrString(s); }, "24", "24"},
      {"a time with minutes is no band", [&](std::string& s) { e.Get6HrString(s); }, "03:15", "03:15"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string s = c.in;
    c.op(s);
    EXPECT_EQ(s, c.want);
  }
}

TEST_F(Explore, ColourNames) {
  int32_t v = 7;
  EXPECT_TRUE(ExploreClass::ColorStringToLong("None", v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(ExploreClass::ColorStringToLong("Fuschia", v));
  EXPECT_EQ(v, 16711935);
  v = 7;
  EXPECT_FALSE(ExploreClass::ColorStringToLong("red", v)) << "names match exactly";
  EXPECT_EQ(v, 7);
}

TEST_F(Explore, ToggleBarAndTheKeyboardPopupUnderTheColumn) {
  ScriptedHost host;
  ExploreWindow w(ini(), 0);
  w.setUp();
  w.explorer.InvokePopup();
  EXPECT_TRUE(host.popups().empty()) << "no column cursor: nothing opens";
  w.explorer.ToggleBar();
  EXPECT_EQ(w.list->columnCursor(), 1);
  w.explorer.GetColumnInfo(false, true);
  int x = 0, y = 0;
  ASSERT_TRUE(w.explorer.popupPoint(x, y));
  EXPECT_EQ(x, w.window().dluToPxX(4) + w.explorer.SQ[0].WidthPix / 2) << "under the first column's centre";
  EXPECT_EQ(y, w.window().dluToPxY(4) + w.window().dluToPxY(140)) << "below the list's bottom edge";
  host.expectPopup("");
  w.explorer.InvokePopup();
  ASSERT_EQ(host.popups().size(), 1u);
  EXPECT_EQ(host.popups()[0].x, x);
  w.explorer.ToggleBar();
  EXPECT_EQ(w.list->columnCursor(), 0);
}

TEST_F(Explore, FormatSlotsKeepTheirOwnLayout) {
  ExploreWindow w(ini(), 0);
  w.setUp();
  std::string first = w.list->formatString();
  w.explorer.ForQ[1].Format = "30R(1)M|~Born~R(1)@n4@#7#60L(1)M|~City~L(1)@s20@#6#";
  w.explorer.ChangeFormatString(101);
  EXPECT_EQ(w.headers(), (std::vector<std::string>{"Born", "City"}));
  w.explorer.ChangeFormatString(100);
  EXPECT_EQ(w.list->formatString(), first);
  EXPECT_EQ(w.headers(), (std::vector<std::string>{"Name", "City", "Born"}));
  w.list->setProp(ov::ui::Prop::Hide, "1");
  w.explorer.ChangeFormatString(101);
  EXPECT_EQ(w.list->formatString(), first) << "a hidden list keeps its format";
}

TEST_F(Explore, PreferencesDefaultsMovesAndStyles) {
  ExplorePreferencesData d;
  d.read(ini());
  EXPECT_EQ(d.colors[0], "Maroon");
  EXPECT_EQ(d.colors[8], "Red");
  EXPECT_EQ(d.colors[15], "Black");
  EXPECT_EQ(d.fontName, "Arial");
  EXPECT_EQ(d.fontSize, 8);
  EXPECT_EQ(d.fontStyle, 700);
  for (int row = 9; row > 1; --row) ASSERT_TRUE(d.moveUp(row, 1));
  EXPECT_FALSE(d.moveUp(1, 1));
  EXPECT_FALSE(d.moveDown(16, 1));
  ASSERT_EQ(d.write(ini()), ov::rt::Err::None);
  EXPECT_EQ(ov::rt::GETINI("ExplorePreferences", "Col01", "", ini()), "Red");
  EXPECT_EQ(ov::rt::GETINI("ExplorePreferences", "Col02", "", ini()), "Maroon");
  EXPECT_EQ(ov::rt::GETINI("ExplorePreferences", "Col09", "", ini()), "Gray");
  ExplorePreferencesData other;
  other.read(ini());
  EXPECT_EQ(other.colors, d.colors) << "lists naming the same file share them";
  EXPECT_EQ(ExplorePreferencesData::styleName(4796), "Bold Italic");
  EXPECT_EQ(ExplorePreferencesData::styleName(4496), "Italic") << "an italic as the font dialog gives it";
  EXPECT_EQ(ExplorePreferencesData::styleName(401), "");
}

}  // namespace
