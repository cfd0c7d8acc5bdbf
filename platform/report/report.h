// The report engine: a report lays out bands (page header, details, page footer) onto pages.
//
// A band is a height and a function that draws the band's controls onto a canvas, in units
// relative to the band's top left corner; it runs when the band is printed, so it shows the
// values of that moment. Printing a detail band puts it at the cursor of the page's detail area;
// one that does not fit ends the page (the footer is drawn with the page number) and goes on the
// next page, after its header. A band taller than its declared height (a text that wraps) takes
// the height it needs; a band taller than a whole detail area is cut at the area's bottom.
//
// Finished pages go into the report's page queue (page_queue.h), which keeps only a few of them in
// memory; the page being laid out is the only other one held.
//
// Threading: GUI thread (text is measured with Qt's font metrics).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/report/page.h"
#include "platform/report/page_queue.h"

namespace ov::report {

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct Layout {
  bool landscape = false;
  Rect header{500, 500, 7500, 0};    // where the page header starts
  Rect detail{500, 1240, 7500, 9000};  // the detail area
  Rect footer{500, 10500, 7500, 0};  // where the page footer starts
  Font font;                         // the report's default font
};

class Canvas {
 public:
  Canvas(const Font& font, int pageNumber) : m_font(font), m_page(pageNumber) {}

  const Font& font() const { return m_font; }
  // The report's font with another size or weight.
  Font font(double points, bool bold = false) const;
  int pageNumber() const { return m_page; }

  Item& text(int x, int y, int width, int height, std::string text, const Font& font,
             Align align = Align::Left);
  Item& text(int x, int y, int width, int height, std::string text) {
    return this->text(x, y, width, height, std::move(text), m_font);
  }
  // A text over as many lines as it needs within `width` (line breaks kept); returns its height.
  int textBlock(int x, int y, int width, std::string text, const Font& font);
  Item& box(int x, int y, int width, int height, Rgb border = kBlack);
  Item& filledBox(int x, int y, int width, int height, Rgb fill, bool border = false,
                  Rgb borderColor = kBlack);
  Item& line(int x, int y, int width, int height = 0, Rgb color = kBlack);
  Item& check(int x, int y, int width, int height, std::string caption, bool checked);

  std::vector<Item>& items() { return m_items; }
  // The lowest edge of anything drawn.
  int bottom() const;

 private:
  Font m_font;
  int m_page;
  std::vector<Item> m_items;
};

struct Band {
  int height = 0;
  std::function<void(Canvas&)> draw;
};

// The height a text takes in `width` units with `font`, wrapped at word boundaries.
int measureText(std::string_view text, const Font& font, int width);

class Report {
 public:
  explicit Report(Layout layout);

  void setHeader(Band band) { m_header = std::move(band); }
  void setFooter(Band band) { m_footer = std::move(band); }
  const Layout& layout() const { return m_layout; }

  // OPEN: the first page starts with the first band printed.
  void open();
  bool isOpen() const { return m_open; }
  // PRINT(band) at the cursor.
  void print(const Band& band);
  // Ends the current page; the next band starts a new one. Nothing happens between pages.
  void endPage();
  // CLOSE: ends the last page.
  void close();

  // The pages finished so far; endPage() or close() finishes the open one.
  const PageQueue& pages() const { return m_pages; }
  // Whether a page was started since open(), finished or not.
  bool hasPages() const { return m_pageOpen || !m_pages.empty(); }
  // Ends the open page and hands over every page; the report is left without pages.
  PageQueue takePages();

  // Copies asked for and whether they are collated.
  int copies = 1;
  bool collate = false;

 private:
  void startPage();
  void place(Canvas& canvas, int left, int top);

  Layout m_layout;
  Band m_header, m_footer;
  PageQueue m_pages;
  Page m_page;  // the open page
  bool m_open = false;
  bool m_pageOpen = false;
  int m_cursor = 0;
};

}  // namespace ov::report
