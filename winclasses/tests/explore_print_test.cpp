// The explorer list's printout: the columns and font size that fit a page, worked by hand from the
// fitting rules, and the printout made from the list, read back from its PDF with pdftotext.
#include "winclasses/explore_print.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ui/print_job.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/tests/explore_fixture.h"

using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ov::ui::test::ScriptedHost;

namespace {

TEST(ExplorePrint, ColumnsAndFontSizeFitThePage) {
  struct Case {
    const char* name;
    std::vector<int> widths;
    std::vector<bool> borders;
    int minFont;
    int size;
    std::vector<size_t> kept;
    bool reduced;
  };
  const Case cases[] = {
      {"narrow list stays at 8", {100, 100, 100}, {false, false, false}, 6, 8, {0, 1, 2}, false},
      // 800 x 16 is over the page, 800 x 12 is not: all four print at 6.
      {"wide list drops to the smallest size", {200, 200, 200, 200}, {false, false, false, false}, 6, 6, {0, 1, 2, 3}, true},
      {"wider list loses columns from the right", {300, 300, 300, 300}, {false, false, false, false}, 6, 6, {0, 1}, true},
      // Borders count one each: 614 x 16 fits with the slack but leaves no room at 8.
      {"bordered columns take their room", {306, 306}, {true, true}, 6, 6, {0, 1}, false},
      // 820 x 12 is within the slack but over the page: the spare width is negative, the
      // one-pixel column is left out, and no size from 6 down leaves room: the next size below.
      {"no size fits", {409, 410, 1}, {false, false, false}, 6, 4, {0, 1}, true},
      {"nothing to print", {}, {}, 6, 8, {}, false},
      {"a smallest size below 1 is taken as 1", {5000}, {false}, 0, 1, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PrintFit fit = fitPrintColumns(c.widths, c.borders, c.minFont);
    EXPECT_EQ(fit.fontSize, c.size);
    EXPECT_EQ(fit.kept, c.kept);
    EXPECT_EQ(fit.reduced, c.reduced);
  }
}

std::string pdfText(const std::string& pdf) {
  std::string out;
  FILE* p = ::popen(("pdftotext -layout '" + pdf + "' -").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

class PrintFromList : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)ov::ui::test::application();
    ov::ui::setPrintSpooler([this](const std::string& file) {
      const std::string copy = dir.file(("printed" + std::to_string(printed.size()) + ".pdf").c_str());
      std::filesystem::copy_file(file, copy);
      printed.push_back(copy);
      return true;
    });
  }
  void TearDown() override { ov::ui::setPrintSpooler({}); }

  // The people list with the year of birth totalled.
  void setUpList(ExploreWindow& w) {
    w.setUp();
    for (XPGQ& f : w.explorer.FQ)
      if (f.Field == "PER:Born") f.TotalOK = true;
    w.explorer.RptLine1 = "Members";
    w.explorer.AllPreview = false;
    w.explorer.PagePreview = false;
  }

  TempDir dir;
  std::vector<std::string> printed;
};

TEST_F(PrintFromList, PrintAllPrintsEveryRowAndTheTotals) {
  ScriptedHost host;
  ExploreWindow w(dir.file("POSITION.INI"), 0);
  setUpList(w);
  w.explorer.HandleMyEvents(ExploreEvent::PrintAll);
  ASSERT_EQ(printed.size(), 1u);
  const std::string text = pdfText(printed[0]);
  for (const char* want : {"People", "Members", "Name", "City", "Born", "Carol", "alice", "Bob", "Paris",
                           "3 Records", "Page 1", "Size: 8"})
    EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
  EXPECT_NE(text.find("5915"), std::string::npos) << "1970 + 1985 + 1960\n" << text;
  EXPECT_LT(text.find("Carol"), text.find("alice"));
  EXPECT_EQ(text.find("Note"), std::string::npos) << "hidden columns are not printed";
  EXPECT_EQ(w.explorer.MaxFontSize, 8);
  EXPECT_TRUE(w.explorer.printedFile.empty());
}

TEST_F(PrintFromList, PrintPageHasNoTotalsAndThePreviewDecides) {
  ScriptedHost host;
  ExploreWindow w(dir.file("POSITION.INI"), 0);
  setUpList(w);
  w.explorer.HandleMyEvents(ExploreEvent::PrintPage);
  ASSERT_EQ(printed.size(), 1u);
  const std::string text = pdfText(printed[0]);
  EXPECT_NE(text.find("Carol"), std::string::npos) << text;
  EXPECT_EQ(text.find("5915"), std::string::npos) << "no totals band\n" << text;

  // With the preview asked for, only a preview that answers yes prints.
  w.explorer.AllPreview = true;
  bool sawFile = false;
  w.explorer.previewer = [&] {
    sawFile = std::filesystem::exists(w.explorer.printedFile);
    return false;
  };
  w.explorer.HandleMyEvents(ExploreEvent::PrintAll);
  EXPECT_TRUE(sawFile);
  EXPECT_EQ(printed.size(), 1u);
  w.explorer.previewer = [] { return true; };
  w.explorer.HandleMyEvents(ExploreEvent::PrintAll);
  EXPECT_EQ(printed.size(), 2u);
}

TEST_F(PrintFromList, ARefusedJobIsReported) {
  ScriptedHost host;
  ExploreWindow w(dir.file("POSITION.INI"), 0);
  setUpList(w);
  ov::ui::setPrintSpooler([](const std::string&) { return false; });
  host.expectMessage("could not be handed to the printer", ov::ui::BUTTON::Ok);
  w.explorer.HandleMyEvents(ExploreEvent::PrintAll);
  EXPECT_FALSE(host.pending());
}

}  // namespace
