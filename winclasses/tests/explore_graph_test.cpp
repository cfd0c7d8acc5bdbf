// The explorer list's bar graph: categories counted in name order, percentages of the rows or of
// the amounts, the bars' places worked by hand from the layout rules, the picture's bar colours,
// and the graph run from the list: its window, its copy to the clipboard and the messages that
// end a graph early.
#include "winclasses/explore_graph.h"

#include <gtest/gtest.h>

#include <QImage>

#include <string>
#include <vector>

#include "platform/ui/event.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/tests/explore_fixture.h"

using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;
using ov::ui::test::WindowDriver;

namespace {

std::vector<GraphCategory> counted(const std::vector<std::pair<const char*, int>>& counts) {
  std::vector<GraphCategory> out;
  for (const auto& [name, n] : counts)
    for (int i = 0; i < n; ++i) addGraphCategory(out, name);
  return out;
}

TEST(ExploreGraph, CategoriesAreCountedInNameOrder) {
  std::vector<GraphCategory> c;
  for (const char* city : {"Paris", "Berlin", "Rome", "Berlin", "Paris", "Berlin"}) addGraphCategory(c, city, 1.5);
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].Name, "Berlin");
  EXPECT_EQ(c[0].Count, 3);
  EXPECT_DOUBLE_EQ(c[0].Total, 4.5);
  EXPECT_EQ(c[1].Name, "Paris");
  EXPECT_EQ(c[2].Name, "Rome");
  EXPECT_EQ(c[2].Count, 1);
}

TEST(ExploreGraph, PercentagesOfRowsOrOfAmounts) {
  std::vector<GraphCategory> rows = counted({{"A", 1}, {"B", 2}});
  computeGraphPercents(rows, false, 3);
  EXPECT_DOUBLE_EQ(rows[0].Percent, 33.3);
  EXPECT_DOUBLE_EQ(rows[1].Percent, 66.7);
  EXPECT_EQ(rows[1].TextSfx, "2");

  std::vector<GraphCategory> amounts;
  addGraphCategory(amounts, "Food", 12.25);
  addGraphCategory(amounts, "Rent", 50);
  addGraphCategory(amounts, "Food", 7.75);
  addGraphCategory(amounts, "Toys", 30);
  computeGraphPercents(amounts, true, 4);
  double sum = 0;
  for (const GraphCategory& g : amounts) sum += g.Percent;
  EXPECT_NEAR(sum, 100.0, 0.15);
  EXPECT_DOUBLE_EQ(amounts[0].Percent, 20.0);  // Food: 20 of 100
  EXPECT_EQ(amounts[0].TextSfx, "20.00");

  // Amounts that are all 0 give percentages and bars of 0, not a division by nothing.
  std::vector<GraphCategory> zero;
  addGraphCategory(zero, "A", 0);
  addGraphCategory(zero, "B", 0);
  computeGraphPercents(zero, true, 2);
  EXPECT_EQ(zero[0].Percent, 0.0);
  const GraphLayout flat = layoutBarGraph(zero, true, 400, 300);
  for (const GraphBar& b : flat.bars) EXPECT_EQ(b.height, 0);
}

TEST(ExploreGraph, BarsArePlacedByTheLayoutRules) {
  struct Case {
    const char* name;
    int n, width;
    int gap, bar, firstX;
    bool whole;
  };
  const Case cases[] = {
      // n <= 5: gap ((W-160)/n)/5, bar four gaps: (560/4)/5 = 28, bar 112.
      {"four bars", 4, 720, 28, 112, (720 - (3 * 140 + 112)) / 2 + 32, false},
      // n > 5: gap 4, bar (W-80)/n - 4 = 640/8 - 4 = 76.
      {"eight bars", 8, 720, 4, 76, (720 - (7 * 80 + 76)) / 2 + 32, false},
      // (W-80)/n - 4 = 200/20 - 4 = 6 < 10: gap 2, bar 200/20 - 2 = 8; 8 + 2 < 26 rounds.
      {"twenty narrow bars", 20, 280, 2, 8, (280 - (19 * 10 + 8)) / 2 + 32, true},
      // A window too narrow for its bars still gives them a pixel.
      {"fifty in a narrow window", 50, 100, 2, 1, (100 - (49 * 3 + 1)) / 2 + 32, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<GraphCategory> cats;
    for (int i = 0; i < c.n; ++i) addGraphCategory(cats, "C" + std::to_string(100 + i));
    const GraphLayout g = layoutBarGraph(cats, false, c.width, 300);
    EXPECT_EQ(g.gap, c.gap);
    EXPECT_EQ(g.barWidth, c.bar);
    EXPECT_EQ(g.firstX, c.firstX);
    EXPECT_EQ(g.wholePercent, c.whole);
    ASSERT_EQ(g.bars.size(), static_cast<size_t>(c.n));
    EXPECT_EQ(g.bars[1].x - g.bars[0].x, c.bar + c.gap);
  }
}

TEST(ExploreGraph, HeightsFollowTheLargestAndColoursCycleAfterEight) {
  std::vector<GraphCategory> cats = counted({{"A", 4}, {"B", 2}, {"C", 1}, {"D", 1}, {"E", 1}, {"F", 1}, {"G", 1},
                                             {"H", 1}, {"I", 3}});
  const GraphLayout g = layoutBarGraph(cats, false, 720, 330);
  EXPECT_EQ(g.baseLine, 280);
  EXPECT_EQ(g.bars[0].height, 250);        // the largest: H - 50 - 30
  EXPECT_EQ(g.bars[1].height, 125);
  EXPECT_EQ(g.bars[8].height, 3 * 250 / 4);
  EXPECT_EQ(g.bars[0].top, 280 - 250);
  std::vector<int> colours;
  for (const GraphBar& b : g.bars) colours.push_back(b.colour);
  EXPECT_EQ(colours, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 1}));
}

TEST(ExploreGraph, BarsArePaintedInTheirColours) {
  (void)ov::ui::test::application();
  std::vector<GraphCategory> cats = counted({{"A", 2}, {"B", 1}});
  computeGraphPercents(cats, false, 3);
  GraphPicture pic;
  pic.heading = "2 Categories of Field: Town";
  pic.colours = {128, 32768, 8388608, 12632256, 8388736, 32768, 8421376, 8421504};
  QImage image(400, 300, QImage::Format_RGB32);
  drawBarGraph(image, cats, false, pic);
  const GraphLayout g = layoutBarGraph(cats, false, 400, 300);
  // Sample each bar away from its upright legend, half way up.
  const GraphBar& a = g.bars[0];
  const GraphBar& b = g.bars[1];
  EXPECT_EQ(image.pixelColor(a.x + 2, a.top + a.height / 2), QColor(128, 0, 0));   // Maroon
  EXPECT_EQ(image.pixelColor(b.x + 2, b.top + b.height / 2), QColor(0, 128, 0));   // Green
  EXPECT_EQ(image.pixelColor(b.x + 2, b.top - 5), QColor(Qt::white)) << "above the shorter bar";
}

// ---- the graph run from the list --------------------------------------------------------------

class GraphFromList : public ::testing::Test {
 protected:
  void SetUp() override { (void)ov::ui::test::application(); }
  TempDir dir;
};

TEST_F(GraphFromList, ShowsTheCitiesAndCopiesThePictureToTheClipboard) {
  ScriptedHost host;
  ExploreWindow w(dir.file("POSITION.INI"), 0);
  std::vector<std::pair<int, std::string>> asked;
  runScript([&](Driver& d) {
    d.gui([&] {
      w.setUp();
      addPerson(w.people, "Dan", "Paris", 1990);
      w.explorer.graphString = [&](int field, std::string_view picture) {
        asked.emplace_back(field, std::string(picture));
        w.explorer.AddGraphCategory(w.people.buf.City.clipped());
      };
      w.explorer.CurrentCol = 2;  // City
    });
    d.later([&] { w.explorer.HandleMyEvents(ExploreEvent::Graph); });
    WindowDriver g = d.waitWindow("ExploreGraph");
    EXPECT_EQ(g.title(), "2 Categories of Field: Town");
    d.gui([&] {
      ASSERT_EQ(w.explorer.QSel.size(), 2u);
      EXPECT_EQ(w.explorer.QSel[0].Name, "Berlin");
      EXPECT_EQ(w.explorer.QSel[0].Count, 2);
      EXPECT_DOUBLE_EQ(w.explorer.QSel[1].Percent, 50.0);
    });
    g.press("?ToClipboard");
    QImage copied;
    EXPECT_TRUE(host.clipboardImage(copied));
    EXPECT_FALSE(copied.isNull());
    g.press("?Close");
    d.waitClosed(g);
  });
  EXPECT_EQ(asked.size(), 4u) << "one call per row";
  EXPECT_EQ(asked.front(), (std::pair<int, std::string>{6, "@s20"}));
  EXPECT_TRUE(w.explorer.QSel.empty()) << "emptied as the graph ends";
  EXPECT_FALSE(w.explorer.graphImage);
}

TEST_F(GraphFromList, GraphsThatCannotBeDrawnSaySo) {
  struct Case {
    const char* name;
    int categories;
    const char* message;
  };
  const Case cases[] = {
      {"none", 0, "There are no categories to Graph of 'Town'"},
      {"one", 1, "There is only one category to Graph of 'Town'"},
      {"fifty-one", 51, "Too complex to graph - exceeds max number of categories: 50 - 'Town"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedHost host;
    ExploreWindow w(dir.file("POSITION.INI"), 0);
    w.setUp();
    w.people.FREE();
    for (int i = 0; i < 60; ++i) addPerson(w.people, "P", "X", 1990);
    int row = 0;
    w.explorer.graphString = [&](int, std::string_view) {
      ++row;
      if (row <= c.categories) w.explorer.AddGraphCategory("C" + std::to_string(100 + row));
    };
    w.explorer.CurrentCol = 2;
    host.expectMessage(c.message, ov::ui::BUTTON::Ok);
    w.explorer.HandleMyEvents(ExploreEvent::Graph);
    EXPECT_FALSE(host.pending());
    EXPECT_TRUE(w.explorer.QSel.empty());
    if (c.categories == 51) EXPECT_EQ(row, 51) << "gathering stops at the 51st category";
  }
}

TEST_F(GraphFromList, FiftyCategoriesAreDrawn) {
  ScriptedHost host;
  ExploreWindow w(dir.file("POSITION.INI"), 0);
  runScript([&](Driver& d) {
    d.gui([&] {
      w.setUp();
      w.people.FREE();
      for (int i = 0; i < 50; ++i) addPerson(w.people, "P", ("City" + std::to_string(10 + i)).c_str(), 1990);
      w.explorer.graphString = [&](int, std::string_view) { w.explorer.AddGraphCategory(w.people.buf.City.clipped()); };
      w.explorer.CurrentCol = 2;
    });
    d.later([&] { w.explorer.HandleMyEvents(ExploreEvent::Graph); });
    WindowDriver g = d.waitWindow("ExploreGraph");
    EXPECT_EQ(g.title(), "50 Categories of Field: Town");
    g.close();
    d.waitClosed(g);
  });
}

}  // namespace
