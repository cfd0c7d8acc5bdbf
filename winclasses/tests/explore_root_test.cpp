// The explorer list base: packed descriptions to columns, sort orders and sort strings, the list
// format rebuilt and read back, moves and hides, the pixel layout, the sort mark and the saved
// layout, on a list that is declared but not opened.
#include "winclasses/explore_root.h"

#include <gtest/gtest.h>

#include "platform/rt/ini.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/tests/explore_fixture.h"

using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ov::ui::test::ScriptedHost;

namespace {

class ExploreRoot : public ::testing::Test {
 protected:
  void SetUp() override { (void)ov::ui::test::application(); }
  TempDir dir;
  std::string ini() const { return dir.file("POSITION.INI"); }
};

TEST_F(ExploreRoot, PackedDescriptionsNumberTheDataQueueFields) {
  struct Case {
    const char* name;
    std::vector<PackedColumn> columns;
    std::vector<int> fq;  // QNos of the FQ entries
    std::vector<int> sq;  // QNos of the displayed columns
  };
  const Case kCases[] = {
      {"plain fields count one each",
       {{"A", 10, "A", "@s5", "a", 'L', 1, 0, 0, 1, 0, ' '}, {"B", 10, "B", "@s5", "b", 'L', 1, 0, 0, 1, 0, ' '}},
       {1, 2},
       {1, 2}},
      {"colours take four fields after the column's own",
       {{"A", 10, "A", "@s5", "a", 'L', 1, 1, 0, 1, 0, ' '}, {"B", 10, "B", "@s5", "b", 'L', 1, 0, 0, 1, 0, ' '}},
       {1, 6},
       {1, 6}},
      {"an icon takes one field",
       {{"A", 10, "A", "@s5", "a", 'L', 1, 0, 1, 1, 0, ' '}, {"B", 10, "B", "@s5", "b", 'L', 1, 0, 0, 1, 0, ' '}},
       {1, 3},
       {1, 3}},
      {"X and not displayed: no entry, its field still counted",
       {{"A", 10, "A", "@s5", "a", 'L', 0, 0, 0, 1, 0, 'X'}, {"B", 10, "B", "@s5", "b", 'L', 1, 0, 0, 1, 0, ' '}},
       {2},
       {2}},
      {"X but displayed keeps its entry",
       {{"A", 10, "A", "@s5", "a", 'L', 1, 0, 0, 1, 0, 'X'}, {"B", 10, "B", "@s5", "b", 'L', 0, 0, 0, 1, 0, ' '}},
       {1, 2},
       {1}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ExploreWindow w(ini(), 0);
    std::string packed;
    for (const PackedColumn& p : c.columns) packed += packColumn(p);
    w.explorer.GrLBF = packed;
    w.explorer.QDim = static_cast<int>(c.columns.size());
    w.explorer.GrSSF.clear();
    w.explorer.QDimS = 0;
    w.explorer.GetQFields();
    std::vector<int> fq, sq;
    for (const XPGQ& f : w.explorer.FQ) fq.push_back(f.QNos);
    for (const XPGQ& s : w.explorer.SQ) sq.push_back(s.QNos);
    EXPECT_EQ(fq, c.fq);
    EXPECT_EQ(sq, c.sq);
  }
}

TEST_F(ExploreRoot, PackedColumnFieldsAndDefaults) {
  std::vector<XPGQ> cols =
      decodePackedColumns(packColumn({"PER:Born", 300, "Born", "@n_4", "Year of birth", 'R', 1, 0, 0, 1, 7, 'X'}), 1);
  ASSERT_EQ(cols.size(), 1u);
  EXPECT_EQ(cols[0].Field, "PER:Born");
  EXPECT_EQ(cols[0].WidthDLU, 300) << "two bytes, little-endian";
  EXPECT_EQ(cols[0].Header, "Born");
  EXPECT_EQ(cols[0].Picture, "@n_4");
  EXPECT_EQ(cols[0].Description, "Year of birth");
  EXPECT_EQ(cols[0].HJust, 'R');
  EXPECT_EQ(cols[0].FJust, 'R');
  EXPECT_TRUE(cols[0].ViewField);
  EXPECT_EQ(cols[0].SortField, 7);
  EXPECT_EQ(cols[0].LocatorType, 'X');

  ExploreWindow w(ini(), 0);
  w.setUp();
  const XPGQ& name = w.explorer.SQ[0];
  EXPECT_EQ(name.HOffset, 1);
  EXPECT_EQ(name.FOffset, 1);
  EXPECT_TRUE(name.Border);
  EXPECT_TRUE(name.Resize);
  EXPECT_EQ(name.NFG, -1);
  ASSERT_EQ(w.explorer.FQ.size(), 4u);
  EXPECT_FALSE(w.explorer.FQ[3].ControlField) << "the note is described but not shown";
  EXPECT_EQ(w.explorer.FQ[3].QNos, 8);
}

TEST_F(ExploreRoot, ShortOrMalformedPackedTextReadsAsZeros) {
  // A record cut short: the missing bytes read as zeros and blanks, nothing is read past the end.
  std::string full = packColumn({"PER:City", 60, "City", "@s20", "Town", 'L', 1, 0, 0, 1, 1, ' '});
  std::vector<XPGQ> cols = decodePackedColumns(full.substr(0, full.size() - 3), 2);
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(cols[0].Field, "PER:City");
  EXPECT_EQ(cols[0].SortField, 0);
  EXPECT_EQ(cols[1].Field, "");
  // A length byte larger than what is left takes what is left.
  std::vector<XPGQ> odd = decodePackedColumns(std::string("\x50" "abc", 4), 1);
  EXPECT_EQ(odd[0].Field, "abc");
  // Three blanks as the apply-to-all description: ApplyAll is set and the count (8224) stops at
  // the end of the text.
  int applyAll = 0;
  std::vector<SortSubField> all = decodePackedApplyAll("   ", applyAll);
  EXPECT_EQ(applyAll, 1);
  EXPECT_TRUE(all.empty());
  EXPECT_TRUE(decodePackedSubFields("", 5).empty());
}

TEST_F(ExploreRoot, OrderElementsFollowDirectionsAndPictures) {
  XPGQ name;
  name.Field = "PER:Name";
  name.Picture = "@s20";
  XPGQ born;
  born.Field = "PER:Born";
  born.Picture = "@n_4";
  std::vector<SortSubField> citySubs = {{0, 1, "PER:City", 0, "@s20"}, {0, 2, "PER:Name", 1, "@s20"}};
  std::vector<SortSubField> all = {{0, 1, "PER:Born", 0, "@n_4"}};
  struct Case {
    const char* name;
    const XPGQ& column;
    std::vector<SortSubField> subs, all;
    bool applyAll;
    int direction;
    bool upper;
    std::vector<std::string> want;
  };
  const Case kCases[] = {
      {"own field ascending", name, {}, {}, false, 0, false, {"PER:Name"}},
      {"own field descending", name, {}, {}, false, 1, false, {"-PER:Name"}},
      {"upper for a string picture", name, {}, {}, false, 0, true, {"UPPER(PER:Name)"}},
      {"no upper for a number picture", born, {}, {}, false, 1, true, {"-PER:Born"}},
      {"sub-fields keep their own directions", name, citySubs, {}, false, 0, false, {"PER:City", "-PER:Name"}},
      {"and flip together", name, citySubs, {}, false, 1, false, {"-PER:City", "PER:Name"}},
      {"apply-to-all after a column without sub-fields", name, {}, all, false, 0, false, {"PER:Name", "PER:Born"}},
      {"not after sub-fields unless ApplyAll", name, citySubs, all, false, 0, false, {"PER:City", "-PER:Name"}},
      {"after sub-fields with ApplyAll", name, citySubs, all, true, 1, false, {"-PER:City", "PER:Name", "-PER:Born"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(columnOrderElements(c.column, c.subs, c.all, c.applyAll, c.direction, c.upper), c.want);
  }
}

TEST_F(ExploreRoot, TwoOrdersPerSortableColumnAndFullSortStrings) {
  ExploreWindow w(ini(), 0);
  w.setUp();
  // List type 3: sort strings, two per sortable column, numbered on.
  ASSERT_EQ(w.explorer.LSQ.size(), 6u);
  EXPECT_EQ(w.explorer.LSQ[0].SortString, "PER:Name");
  EXPECT_EQ(w.explorer.LSQ[1].SortString, "-PER:Name");
  EXPECT_EQ(w.explorer.LSQ[2].SortString, "PER:City,-PER:Name");
  EXPECT_EQ(w.explorer.LSQ[3].SortString, "-PER:City,PER:Name");
  EXPECT_EQ(w.explorer.SQ[1].SortField, 3) << "the column's ascending entry";
  EXPECT_EQ(w.explorer.SQ[2].SortField, 5);
}

TEST_F(ExploreRoot, SortStringsAreNotCutAtFortyCharacters) {
  ExploreWindow w(ini(), 0);
  describePeople(w.explorer);
  w.explorer.subFields = packText("PER:City") + packSubs({{"PER:City", 0, "@s20"},
                                                          {"PER:Name", 0, "@s20"},
                                                          {"PER:Born", 1, "@n_4"},
                                                          {"PER:Note", 0, "@s30"},
                                                          {"PER:Fg", 0, "@n_4"},
                                                          {"PER:Bg", 0, "@n_4"}});
  ov::ui::Window& win = w.window();
  w.list = &win.add<ov::ui::ListControl>(0, "?List");
  w.list->from(w.people, kPerson);
  w.explorer.Init(w, w.source, w.list->feq(), "Text Bar", ini(), false, w.vars);
  w.list->format(exploreFormatString(w.explorer.SQ));
  w.explorer.AddAllColumnSortOrders();
  EXPECT_EQ(w.explorer.LSQ[2].SortString, "PER:City,PER:Name,-PER:Born,PER:Note,PER:Fg,PER:Bg");
  w.explorer.CurrentCol = 2;
  w.explorer.ShowNewSort();
  EXPECT_EQ(w.names(), (std::vector<std::string>{"Bob", "Carol", "alice"})) << "Berlin before Paris, then by name";
}

TEST_F(ExploreRoot, FormatRoundTripsThroughTheList) {
  ExploreWindow w(ini(), 0);
  w.setUp();
  struct Case {
    const char* name;
    std::function<void(XPGQ&)> change;
  };
  const Case kCases[] = {
      {"plain", [](XPGQ&) {}},
      {"header with a tilde", [](XPGQ& c) { c.Header = "Cost ~ net"; }},
      {"header with an at sign", [](XPGQ& c) { c.Header = "Mail @ home"; }},
      {"header with both", [](XPGQ& c) { c.Header = "~@~"; }},
      {"offsets, flags and colours",
       [](XPGQ& c) {
         c.FOffset = 3;
         c.HOffset = 0;
         c.Fixed = true;
         c.ULine = true;
         c.Border = false;
         c.NFG = 255;
         c.SBG = 16777215;
         c.HJust = 'C';
         c.FJust = 'D';
       }},
      {"empty picture becomes @S20", [](XPGQ& c) { c.Picture.clear(); }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<XPGQ> cols = w.explorer.SQ;
    c.change(cols[1]);
    std::string format = exploreFormatString(cols);
    ASSERT_TRUE(w.list->setFormat(format)) << format;
    EXPECT_EQ(w.list->formatString(), format) << "the list keeps the text as it is";
    std::vector<XPGQ> back;
    ASSERT_TRUE(columnsFromFormat(format, w.explorer.FQ, back));
    ASSERT_EQ(back.size(), cols.size());
    EXPECT_EQ(back[1].Header, cols[1].Header);
    EXPECT_EQ(back[1].QNos, cols[1].QNos);
    EXPECT_EQ(back[1].FOffset, cols[1].FOffset);
    EXPECT_EQ(back[1].FJust, cols[1].FJust);
    EXPECT_EQ(back[1].HJust, cols[1].HJust);
    EXPECT_EQ(back[1].Fixed, cols[1].Fixed);
    EXPECT_EQ(back[1].Border, cols[1].Border);
    EXPECT_EQ(back[1].NFG, cols[1].NFG);
    EXPECT_EQ(back[1].SBG, cols[1].SBG);
    EXPECT_EQ(back[1].Picture, cols[1].Picture.empty() ? "@S20" : cols[1].Picture);
    EXPECT_EQ(back[2].Header, "Born") << "the next column is read as it was";
    EXPECT_EQ(exploreFormatString(back), format);
  }
}

TEST_F(ExploreRoot, HeadersAreCutAtTwentyFiveCharactersInTheFormat) {
  ExploreWindow w(ini(), 0);
  w.setUp();
  std::vector<XPGQ> cols = w.explorer.SQ;
  cols[0].Header = "A header that is much longer than the list shows";
  std::vector<XPGQ> back;
  ASSERT_TRUE(columnsFromFormat(exploreFormatString(cols), w.explorer.FQ, back));
  EXPECT_EQ(back[0].Header, "A header that is much lon");
}

TEST_F(ExploreRoot, MovesStopAtTheEndsAndAtTheLowestMovableColumn) {
  struct Case {
    const char* name;
    int lowest;
    int column;
    bool right;
    std::vector<std::string> want;
    int beeps;
    int current;
  };
  const Case kCases[] = {
      {"left from the second", 1, 2, false, {"City", "Name", "Born"}, 0, 1},
      {"left from the first beeps", 1, 1, false, {"Name", "City", "Born"}, 1, 1},
      {"right from the first", 1, 1, true, {"City", "Name", "Born"}, 0, 2},
      {"right from the last beeps", 1, 3, true, {"Name", "City", "Born"}, 1, 3},
      {"left onto the fixed part beeps", 2, 2, false, {"Name", "City", "Born"}, 1, 2},
      {"left inside the movable part", 2, 3, false, {"Name", "Born", "City"}, 0, 2},
      {"right from a fixed column beeps", 2, 1, true, {"Name", "City", "Born"}, 1, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScriptedHost host;
    ExploreWindow w(ini(), 0);
    w.setUp();
    w.explorer.LHCol4Moving = c.lowest;
    w.explorer.CurrentCol = c.column;
    if (c.right)
      w.explorer.MoveColRight();
    else
      w.explorer.MoveColLeft();
    w.explorer.ReformatListBox();
    EXPECT_EQ(w.headers(), c.want);
    EXPECT_EQ(host.beeps(), c.beeps);
    EXPECT_EQ(w.explorer.CurrentCol, c.current);
    for (size_t i = 0; i < w.explorer.SQ.size(); ++i) EXPECT_EQ(w.explorer.SQ[i].Seq, static_cast<int>(i) + 1);
    std::vector<XPGQ> back;
    ASSERT_TRUE(columnsFromFormat(w.list->formatString(), w.explorer.FQ, back));
    EXPECT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].Header, c.want[0]) << "the list shows the new order";
  }
}

TEST_F(ExploreRoot, HideRenumbersAndKeepsTheLastColumn) {
  ExploreWindow w(ini(), 0);
  w.setUp();
  w.explorer.CurrentCol = 1;
  w.explorer.HideColumn();
  EXPECT_EQ(w.headers(), (std::vector<std::string>{"City", "Born"}));
  EXPECT_EQ(w.explorer.SQ[0].Seq, 1);
  EXPECT_EQ(w.explorer.SQ[1].Seq, 2);
  EXPECT_EQ(w.list->columnCount(), 2);
  EXPECT_FALSE(w.explorer.fieldEntry(1)->Display);
  w.explorer.HideColumn();
  w.explorer.HideColumn();
  EXPECT_EQ(w.explorer.SQ.size(), 1u) << "the only column is never hidden";
  EXPECT_EQ(w.list->columnCount(), 1);

  w.explorer.ResetToDefault();
  EXPECT_EQ(w.headers(), (std::vector<std::string>{"Name", "City", "Born"}));
  EXPECT_EQ(w.list->formatString(), w.explorer.Def.OrigFormatString);
}

TEST_F(ExploreRoot, LayoutGivesTheRoomLeftToTheLastColumn) {
  auto cols = [](std::vector<int> widths, std::vector<bool> borders) {
    std::vector<XPGQ> out(widths.size());
    for (size_t i = 0; i < widths.size(); ++i) {
      out[i].WidthPix = widths[i];
      out[i].Border = borders[i];
    }
    return out;
  };
  struct Case {
    const char* name;
    std::vector<XPGQ> columns;
    int room;
    std::vector<int> x, width;
  };
  const Case kCases[] = {
      {"room left over", cols({50, 30}, {true, false}), 100, {0, 51}, {50, 49}},
      {"cut to the room", cols({80, 60}, {false, false}), 100, {0, 80}, {80, 20}},
      {"no room", cols({80, 60}, {false, false}), 0, {0, 0}, {0, 0}},
      {"scrolled-out columns take none", cols({0, 40, 30}, {true, true, true}), 100, {0, 0, 41}, {0, 40, 58}},
  };
  for (Case c : kCases) {
    SCOPED_TRACE(c.name);
    layoutColumns(c.columns, c.room);
    std::vector<int> x, width;
    for (const XPGQ& col : c.columns) {
      x.push_back(col.XPosPix);
      width.push_back(col.WidthPix);
    }
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(width, c.width);
  }
  std::vector<XPGQ> none;
  layoutColumns(none, 100);  // an empty list lays nothing out
}

TEST_F(ExploreRoot, SortingFlipsTheSameColumnAndSortsInMemory) {
  ExploreWindow w(ini(), 0);
  w.titleText = "People by \"\" order";
  w.setUp();
  w.sequence = 0;
  w.explorer.CurrentCol = 1;
  w.explorer.ShowNewSort();
  EXPECT_EQ(w.sequence, 1);
  EXPECT_EQ(w.names(), (std::vector<std::string>{"Bob", "Carol", "alice"})) << "in-memory lists compare with case";
  EXPECT_EQ(w.window().title(), "People by Name (Ascending) order");
  EXPECT_EQ(w.viewOrder, 0) << "sorted in memory";
  EXPECT_EQ(w.explorer.newOrderCalls, 1);

  w.explorer.ShowNewSort();
  EXPECT_EQ(w.names(), (std::vector<std::string>{"alice", "Carol", "Bob"}));
  EXPECT_EQ(w.window().title(), "People by Name (Descending) order");

  w.explorer.AscDesc = 1;  // the direction the next column starts with
  w.explorer.CurrentCol = 3;
  w.explorer.ShowNewSort();
  EXPECT_EQ(w.sequence, 3);
  EXPECT_EQ(w.explorer.AscDesc, 0) << "used once";
  EXPECT_EQ(w.names(), (std::vector<std::string>{"alice", "Carol", "Bob"})) << "youngest first";

  w.explorer.EraseVisual();
  EXPECT_EQ(w.window().title(), "People by key sequence order");
}

TEST_F(ExploreRoot, SortMarksUnderlineAndHeaderToken) {
  {
    ExploreWindow w(ini(), 0, "Underline");
    w.setUp();
    w.explorer.CurrentCol = 2;
    w.explorer.ShowNewSort();
    EXPECT_EQ(w.list->propList(ov::ui::PROPLIST::Underline, 2), "1");
    w.explorer.EraseVisual();
    EXPECT_EQ(w.list->propList(ov::ui::PROPLIST::Underline, 2), "") << "cleared";
  }
  {
    ExploreWindow w(ini(), 0, ">Header");
    w.setUp();
    w.explorer.CurrentCol = 2;
    w.explorer.ShowNewSort();
    EXPECT_EQ(w.list->propList(ov::ui::PROPLIST::Header, 2), ">City");
    EXPECT_EQ(w.restoreHeader, 0);
    w.explorer.ShowNewSort();  // flips: the mark is taken off and put back with the other token
    EXPECT_EQ(w.list->propList(ov::ui::PROPLIST::Header, 2), "<City");
    w.explorer.EraseVisual();
    EXPECT_EQ(w.list->propList(ov::ui::PROPLIST::Header, 2), "City");
  }
}

TEST_F(ExploreRoot, AColumnThatCannotBeSortedChangesNothing) {
  ExploreWindow w(ini(), 0);
  w.setUp();
  w.explorer.SQ[0].SortField = 0;
  w.sequence = 0;
  w.explorer.CurrentCol = 1;
  w.explorer.ShowNewSort();
  EXPECT_EQ(w.sequence, 0);
  EXPECT_EQ(w.names(), (std::vector<std::string>{"Carol", "alice", "Bob"}));
}

TEST_F(ExploreRoot, LayoutIsSavedAndRestored) {
  std::string savedFormat;
  {
    ExploreWindow w(ini(), 0);
    w.setUp();
    EXPECT_EQ(w.sequence, 1) << "no saved layout: the first column";
    w.explorer.CurrentCol = 1;
    w.explorer.MoveColRight();
    w.explorer.SQ[0].Header = "Town ~ @ place";
    w.explorer.ReformatListBox();
    w.list->setProp(ov::ui::Prop::HScroll, "1");
    savedFormat = w.list->formatString();
    w.explorer.PutIniX("ExploreTest", "?List", 2, 1);
  }
  EXPECT_EQ(ov::rt::GETINI("ExploreTest", "ExplorePrevCol-?List", "", ini()), "2");
  EXPECT_EQ(ov::rt::GETINI("ExploreTest", "ExploreAscDesc-?List", "", ini()), "1");
  EXPECT_EQ(ov::rt::GETINI("ExploreTest", "ExploreFormatString-?List1", "", ini()), savedFormat);
  {
    ExploreWindow w(ini(), 0);
    w.setUp();
    EXPECT_EQ(w.list->formatString(), savedFormat);
    EXPECT_EQ(w.headers(), (std::vector<std::string>{"Town ~ @ place", "Name", "Born"}));
    EXPECT_EQ(w.sequence, 2);
    EXPECT_EQ(w.explorer.AscDesc, 1);
    EXPECT_EQ(w.list->prop(ov::ui::Prop::HScroll), "1");
    EXPECT_EQ(w.explorer.ForQ[1].Format, w.explorer.Def.OrigFormatString) << "an unsaved slot: the design";
  }
}

TEST_F(ExploreRoot, ALayoutSavedForAnotherDesignIsIgnored) {
  {
    ExploreWindow w(ini(), 0);
    w.setUp();
    w.explorer.CurrentCol = 1;
    w.explorer.MoveColRight();
    w.explorer.ReformatListBox();
    w.explorer.PutIniX("ExploreTest", "?List", 3, 0);
  }
  ASSERT_EQ(ov::rt::PUTINI("ExploreTest", "ExploreOrigFormatString-?List", "10L~Old~@s5@", ini()), ov::rt::Err::None);
  ExploreWindow w(ini(), 0);
  w.setUp();
  EXPECT_EQ(w.headers(), (std::vector<std::string>{"Name", "City", "Born"}));
  EXPECT_EQ(w.explorer.ForQ[0].Format, w.explorer.Def.OrigFormatString);
  EXPECT_EQ(w.sequence, 1);
}

TEST_F(ExploreRoot, AStoredFormatThatCannotBeReadIsNotApplied) {
  ASSERT_EQ(ov::rt::PUTINI("ExploreTest", "ExploreFormatString-?List1", "80L~Broken", ini()), ov::rt::Err::None);
  ASSERT_EQ(ov::rt::PUTINI("ExploreTest", "ExplorePrevCol-?List", "9", ini()), ov::rt::Err::None);
  ExploreWindow w(ini(), 0);
  w.setUp();
  EXPECT_EQ(w.headers(), (std::vector<std::string>{"Name", "City", "Born"}));
  EXPECT_EQ(w.list->formatString(), w.explorer.Def.OrigFormatString);
  EXPECT_EQ(w.sequence, 0) << "a sort column past the last column is none";
}

TEST_F(ExploreRoot, AbstractOperationsShowTheirMessage) {
  ScriptedHost host;
  host.expectMessage("Explore.ListBoxData Base Method", ov::ui::BUTTON::Ok);
  host.expectMessage("Explore.SetNewOrderFields Base Method", ov::ui::BUTTON::Ok);
  ExploreRootClass base;
  base.ListBoxData();
  base.SetNewOrderFields();
  ASSERT_EQ(host.messages().size(), 2u);
  EXPECT_EQ(host.messages()[0].text,
            "This should not be executed - the VIRTUAL in the Procedure should be executed instead");
}

}  // namespace
