#include "platform/report/page_queue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/report/render.h"
#include "platform/report/report.h"
#include "platform/report/tests/app.h"
#include "platform/report/tests/pdf_text.h"

namespace ov::report {
namespace {

using test::app;

// Every field of a page, so that two pages compare as a whole.
std::string describe(const Page& page) {
  std::ostringstream s;
  s << page.number << ' ' << page.width << 'x' << page.height << '\n';
  for (const Item& it : page.items)
    s << int(it.kind) << ' ' << it.x << ',' << it.y << ' ' << it.width << 'x' << it.height << " [" << it.text << "] "
      << it.font.face << ' ' << it.font.points << ' ' << it.font.bold << it.font.italic << ' ' << it.font.color << ' '
      << int(it.align) << ' ' << it.wrap << it.border << it.filled << it.checked << ' ' << it.borderColor << ' '
      << it.fill << '\n';
  return s.str();
}

// A page with an item of every kind and every setting away from its default.
Page fullPage(int number) {
  Page page;
  page.number = number;
  page.width = 11000, page.height = 8500;
  Item text;
  text.x = -20, text.y = 40, text.width = 3000, text.height = 200;
  text.text = "Zoë's \"tasks\"\r\nline two " + std::to_string(number);
  text.font = {"Courier New", 8.5, true, true, 0x123456};
  text.align = Align::Right;
  text.wrap = true;
  Item blank;
  blank.text = "";
  Item box;
  box.kind = Item::Kind::Box;
  box.border = false, box.filled = true, box.fill = 0xC0C0C0, box.borderColor = 0xFF0000;
  box.width = 100, box.height = 50;
  Item line;
  line.kind = Item::Kind::Line;
  line.width = 7500, line.height = -3;
  Item check;
  check.kind = Item::Kind::Check;
  check.text = "Done";
  check.checked = true;
  page.items = {text, blank, box, line, check};
  return page;
}

TEST(PageQueue, PagesReadBackFromTheFileAsTheyWereMade) {
  PageQueue q(2);  // pages 3 to 40 go to the file
  std::vector<Page> made;
  for (int i = 1; i <= 40; ++i) {
    made.push_back(fullPage(i));
    q.push(made.back());
  }
  ASSERT_EQ(q.size(), 40u);
  EXPECT_EQ(q.pagesInMemory(), 2u);
  // Read out of order, as the preview reads them.
  for (size_t i : {39u, 0u, 17u, 1u, 2u, 39u}) {
    EXPECT_EQ(describe(q.at(i)), describe(made[i])) << "page " << i + 1;
    EXPECT_EQ(q.pageSize(i), std::make_pair(11000, 8500));
  }
  EXPECT_EQ(q.error(), "");

  // Moved, the queue keeps its pages; cleared, it has none and takes new ones.
  PageQueue moved = std::move(q);
  EXPECT_EQ(describe(moved.at(30)), describe(made[30]));
  moved.clear();
  EXPECT_TRUE(moved.empty());
  moved.push(fullPage(7));
  moved.push(fullPage(8));
  moved.push(fullPage(9));
  EXPECT_EQ(describe(moved.at(2)), describe(fullPage(9)));
}

TEST(PageQueue, ADamagedRecordIsRefused) {
  std::string bytes;
  writePage(fullPage(1), bytes);
  Page page;
  ASSERT_TRUE(readPage(bytes, page));
  EXPECT_EQ(describe(page), describe(fullPage(1)));
  for (size_t cut : {size_t(0), size_t(7), bytes.size() / 2, bytes.size() - 1}) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(readPage(bytes.substr(0, cut), page));
  }
  EXPECT_FALSE(readPage(bytes + "x", page)) << "bytes after the last item";
  std::string badKind = bytes;
  badKind[16] = 9;  // the first item's kind
  EXPECT_FALSE(readPage(badKind, page));
}

TEST(PageQueue, CopiesAreThePagesReadAgain) {
  PageQueue q(0);
  for (int i = 1; i <= 3; ++i) q.push(fullPage(i));
  auto numbers = [](const PageSource& pages) {
    std::string s;
    for (size_t i = 0; i < pages.size(); ++i) s += std::to_string(pages.at(i).number);
    return s;
  };
  EXPECT_EQ(numbers(CopiedPages(q, 2, true)), "123123");
  EXPECT_EQ(numbers(CopiedPages(q, 2, false)), "112233");
  EXPECT_EQ(numbers(CopiedPages(q, 0, false)), "123");
}

// A long report holds a few pages in memory, and its PDF has every page.
TEST(PageQueue, ALongReportKeepsFewPagesInMemory) {
  app();
  Layout layout;
  layout.detail = {500, 1000, 7500, 1000};
  Report r(layout);
  r.setFooter({200, [](Canvas& c) { c.text(0, 0, 2000, 200, "Page " + std::to_string(c.pageNumber())); }});
  r.open();
  for (int i = 1; i <= 1000; ++i)
    r.print({200, [i](Canvas& c) { c.text(0, 0, 3000, 200, "Line " + std::to_string(i)); }});
  r.close();
  ASSERT_EQ(r.pages().size(), 200u);
  EXPECT_LE(r.pages().pagesInMemory(), 8u);
  const PageQueue pages = r.takePages();
  EXPECT_TRUE(r.pages().empty());
  EXPECT_EQ(pageTexts(pages.at(199)), (std::vector<std::string>{"Line 996", "Line 997", "Line 998", "Line 999",
                                                                 "Line 1000", "Page 200"}));
  std::string dir = (std::filesystem::temp_directory_path() / "ov-queue-XXXXXX").string();
  ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  const std::string pdf = dir + "/long.pdf";
  std::string error;
  ASSERT_TRUE(writePdf(pages, pdf, "Long", &error)) << error;
  EXPECT_EQ(test::pdfPages(pdf), 200);
  const std::string text = test::pdfText(pdf);
  EXPECT_NE(text.find("Line 1000"), std::string::npos);
  EXPECT_NE(text.find("Page 200"), std::string::npos);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

}  // namespace
}  // namespace ov::report
