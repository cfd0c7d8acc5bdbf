#include "platform/report/report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/report/output.h"
#include "platform/report/render.h"
#include "platform/report/tests/app.h"
#include "platform/report/tests/pdf_text.h"

namespace ov::report {
namespace {

using test::app;

class TempDir {
 public:
  TempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "ov-report-XXXXXX").string();
    m_path = ::mkdtemp(t.data());
  }
  ~TempDir() { std::error_code ec; std::filesystem::remove_all(m_path, ec); }
  std::string file(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

Report numberedReport(int* detailCount) {
  Layout layout;
  layout.header = {500, 500, 7500, 0};
  layout.detail = {500, 1000, 7500, 1000};  // room for five bands of 200
  layout.footer = {500, 10000, 7500, 0};
  Report r(layout);
  r.setHeader({300, [](Canvas& c) { c.text(0, 0, 7500, 200, "Title", c.font(10, true)); }});
  r.setFooter({200, [](Canvas& c) { c.text(0, 0, 2000, 200, "Page " + std::to_string(c.pageNumber())); }});
  (void)detailCount;
  return r;
}

TEST(ReportEngine, OverlappingTextsAreFoundOnAPage) {
  app();
  auto text = [](int x, int y, int w, int h, std::string t) {
    Item it;
    it.x = x, it.y = y, it.width = w, it.height = h, it.text = std::move(t);
    return it;
  };
  Page page;
  page.number = 2;
  page.items = {text(4000, 660, 1100, 160, "Default Contact:"), text(4000, 740, 500, 160, "Web:"),
                text(0, 0, 1000, 160, "Left"), text(1000, 0, 1000, 160, "Touching"), text(0, 160, 1000, 160, "Below"),
                text(0, 0, 3000, 300, "   "), text(6000, 0, 0, 160, "No width"),
                text(0, 2000, 7500, 200, "Title"), text(0, 2000, 7500, 200, "Page 1")};
  page.items.back().align = Align::Right;  // a title and a page number on one line, apart
  Item wide = text(0, 3000, 7500, 200, "A title long enough to run into the page number on the right");
  Item right = text(0, 3000, 7500, 200, std::string(60, 'W'));
  right.align = Align::Right;
  page.items.push_back(wide);
  page.items.push_back(right);
  Item box;
  box.kind = Item::Kind::Box;
  box.x = 0, box.y = 0, box.width = 8000, box.height = 1000;
  page.items.push_back(box);
  const std::vector<std::string> clashes = overlappingTexts(page);
  ASSERT_EQ(clashes.size(), 2u) << "texts that only touch, texts apart on one line, blank texts and boxes do not count";
  EXPECT_EQ(clashes[0], "page 2: \"Default Contact:\" at (4000,660 1100x160) overlaps \"Web:\" at (4000,740 500x160)");
  EXPECT_NE(clashes[1].find("overlaps \"WWW"), std::string::npos) << clashes[1];
}

TEST(ReportEngine, BandsThatDoNotFitGoOnTheNextPageWithHeaderAndFooter) {
  app();
  Report r = numberedReport(nullptr);
  r.open();
  for (int i = 1; i <= 12; ++i)
    r.print({200, [i](Canvas& c) { c.text(0, 0, 3000, 200, "Line " + std::to_string(i)); }});
  r.close();
  ASSERT_EQ(r.pages().size(), 3u);  // 5 + 5 + 2
  EXPECT_EQ(pageTexts(r.pages()[0]),
            (std::vector<std::string>{"Title", "Line 1", "Line 2", "Line 3", "Line 4", "Line 5", "Page 1"}));
  EXPECT_EQ(pageTexts(r.pages()[2]), (std::vector<std::string>{"Title", "Line 11", "Line 12", "Page 3"}));
  // The detail band is placed at the cursor of the detail area.
  const Page second = r.pages()[1];
  const Item& first = second.items[1];
  EXPECT_EQ(first.text, "Line 6");
  EXPECT_EQ(first.y, 1000);
  EXPECT_EQ(first.x, 500);
}

TEST(ReportEngine, AWrappedTextMakesItsBandTaller) {
  app();
  Report r = numberedReport(nullptr);
  r.open();
  std::string longText;
  for (int i = 0; i < 25; ++i) longText += "word ";
  r.print({100, [&](Canvas& c) { c.textBlock(0, 0, 2000, longText, c.font()); }});
  r.print({100, [](Canvas& c) { c.text(0, 0, 2000, 100, "after"); }});
  r.close();
  const Page& p = r.pages()[0];
  int afterY = 0;
  for (const Item& it : p.items)
    if (it.text == "after") afterY = it.y;
  // 25 words do not fit one line of two inches: the next band starts below several lines.
  EXPECT_GT(afterY, 1000 + 3 * 139);
}

TEST(ReportEngine, PdfHoldsThePagesAndTheirText) {
  app();
  TempDir tmp;
  Report r = numberedReport(nullptr);
  r.open();
  for (int i = 1; i <= 7; ++i)
    r.print({200, [i](Canvas& c) { c.text(0, 0, 3000, 200, "Entry number " + std::to_string(i)); }});
  r.close();
  const std::string path = tmp.file("out.pdf");
  ASSERT_TRUE(writePdf(r.pages(), path, "Test"));
  EXPECT_EQ(test::pdfPages(path), 2);
  std::string text = test::pdfText(path);
  EXPECT_NE(text.find("Entry number 7"), std::string::npos) << text;
  EXPECT_NE(text.find("Page 2"), std::string::npos) << text;
}

TEST(ReportEngine, HandleCopiesRepeatsPagesCollatedOrNot) {
  std::vector<Page> pages(2);
  pages[0].number = 1;
  pages[1].number = 2;
  auto numbers = [](const std::vector<Page>& ps) {
    std::string s;
    for (const Page& p : ps) s += std::to_string(p.number);
    return s;
  };
  EXPECT_EQ(numbers(HANDLECOPIES(pages, 3, true)), "121212");
  EXPECT_EQ(numbers(HANDLECOPIES(pages, 3, false)), "111222");
  EXPECT_EQ(numbers(HANDLECOPIES(pages, 0, false)), "12");
}

TEST(ReportEngine, PrintingHandsAPdfToTheLpCommand) {
  app();
  TempDir tmp;
  // A stand-in for lp that records its arguments and the text of the file it was given.
  const std::string script = tmp.file("fake-lp");
  const std::string log = tmp.file("lp.log");
  {
    std::ofstream s(script);
    s << "#!/bin/sh\nprintf '%s ' \"$@\" > '" << log << "'\nfor last; do :; done\npdftotext \"$last\" - >> '" << log << "'\n";
  }
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  ::setenv("OV_LP", script.c_str(), 1);
  Report r = numberedReport(nullptr);
  r.open();
  r.print({200, [](Canvas& c) { c.text(0, 0, 3000, 200, "Printed line"); }});
  r.close();
  std::string error;
  LpPrintSink lp;
  PRINTER().chosen = true;  // Print Setup chose the default printer: no dialog
  EXPECT_TRUE(lp.print(r.pages(), 2, "My Report", error)) << error;
  std::ifstream in(log);
  std::stringstream got;
  got << in.rdbuf();
  EXPECT_NE(got.str().find("-n 2 -t My Report"), std::string::npos) << got.str();
  EXPECT_NE(got.str().find("Printed line"), std::string::npos) << got.str();

  // A failing command is reported, not taken as printed.
  ::setenv("OV_LP", "/bin/false", 1);
  EXPECT_FALSE(lp.print(r.pages(), 1, "x", error));
  EXPECT_NE(error.find("exit code 1"), std::string::npos) << error;

  // The command's own reason is what the user reads.
  {
    std::ofstream s(script);
    s << "#!/bin/sh\necho 'lp: No default destination.' >&2\nexit 1\n";
  }
  ::setenv("OV_LP", script.c_str(), 1);
  EXPECT_FALSE(lp.print(r.pages(), 1, "x", error));
  EXPECT_EQ(error, "lp: No default destination.");
  ::unsetenv("OV_LP");
  PRINTER() = PrinterSettings{};
}

}  // namespace
}  // namespace ov::report
