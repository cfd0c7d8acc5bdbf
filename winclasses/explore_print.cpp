#include "winclasses/explore_print.h"

#include <algorithm>
#include <filesystem>

#include "platform/report/render.h"

namespace ov::winclasses {

namespace {

constexpr double kPageSlack = 1.01;

int sumOf(const std::vector<int>& widths, const std::vector<bool>& borders, const std::vector<size_t>& kept) {
  int sum = 0;
  for (size_t i : kept) sum += widths[i] + (borders[i] ? 1 : 0);
  return sum;
}

int spareWidth(int sum, int fontSize, size_t columns) {
  if (columns == 0) return 0;
  return (kPrintPageUnits - sum * 2 * fontSize) / static_cast<int>(columns);
}

report::Align alignOf(char just) {
  switch (just) {
    case 'C': return report::Align::Center;
    case 'R':
    case 'D': return report::Align::Right;
    default: return report::Align::Left;
  }
}

}  // namespace

PrintFit fitPrintColumns(const std::vector<int>& widths, const std::vector<bool>& borders, int minFont) {
  PrintFit fit;
  minFont = std::max(minFont, 1);
  for (size_t i = 0; i < widths.size(); ++i) fit.kept.push_back(i);
  int largest = kPrintLargestFont;
  int sum = sumOf(widths, borders, fit.kept);
  if (sum * 2 * largest > kPrintPageUnits * kPageSlack) {
    largest = minFont;
    fit.reduced = true;
    // Left out from the right until the rest fits at the smallest size.
    while (!fit.kept.empty() && sum * 2 * minFont > kPrintPageUnits * kPageSlack) {
      fit.kept.pop_back();
      sum = sumOf(widths, borders, fit.kept);
    }
  }
  // Columns too narrow to hold anything once the spare width is shared out are left out too.
  const int spare = spareWidth(sum, minFont, fit.kept.size());
  std::erase_if(fit.kept, [&](size_t i) { return widths[i] * 2 * minFont + spare < 1; });
  sum = sumOf(widths, borders, fit.kept);
  if (fit.kept.empty()) {
    fit.fontSize = largest;
    return fit;
  }
  int size = largest;
  for (; size >= minFont; size -= 2)
    if (spareWidth(sum, size, fit.kept.size()) >= 1) break;
  fit.fontSize = std::max(size, 1);
  return fit;
}

std::vector<report::Page> layoutListReport(const PrintReport& r) {
  // A4 portrait with margins of 12 mm, in the report's thousandths of an inch.
  constexpr int kPageWidth = 8268, kPageHeight = 11693, kMargin = 472;
  const int pageLeft = kMargin, pageWidth = kPageWidth - 2 * kMargin, pageBottom = kPageHeight - kMargin;
  const double scale = static_cast<double>(pageWidth) / kPrintPageUnits;

  // Each column's room: its width at the font size plus an even share of what is left.
  const int unit = 2 * r.fontSize;
  int sum = 0;
  for (const PrintColumn& c : r.columns) sum += c.width + (c.border ? 1 : 0);
  const int spare = r.columns.empty() ? 0 : std::max(0, (kPrintPageUnits - sum * unit) / static_cast<int>(r.columns.size()));
  std::vector<int> left, room;
  int x = 0;
  for (const PrintColumn& c : r.columns) {
    left.push_back(static_cast<int>(x * scale));
    const int w = c.width * unit + spare;
    room.push_back(std::max(1, static_cast<int>(w * scale)));
    x += w + (c.border ? unit : 0);
  }

  report::Font body;
  body.face = r.font.empty() ? std::string("Arial") : r.font;
  body.points = r.fontSize;
  report::Font bold = body;
  bold.bold = true;
  report::Font heading = bold;
  heading.points = 12;
  auto height = [](const report::Font& f) { return static_cast<int>(f.points * report::kUnitsPerInch / 72.0 * 1.2 + 0.5); };
  const int line = height(body) + 14;
  const int headLine = height(heading);

  std::vector<report::Page> pages;
  int y = 0;
  auto text = [&](int tx, int ty, int tw, int th, const std::string& s, const report::Font& f, report::Align a) {
    report::Item it;
    it.x = tx;
    it.y = ty;
    it.width = std::max(1, tw);
    it.height = th;
    it.text = s;
    it.font = f;
    it.align = a;
    pages.back().items.push_back(std::move(it));
  };
  auto rule = [&](int lx, int ly, int lw, int lh) {
    report::Item it;
    it.kind = report::Item::Kind::Line;
    it.x = lx;
    it.y = ly;
    it.width = lw;
    it.height = lh;
    pages.back().items.push_back(std::move(it));
  };
  auto cellText = [&](const std::string& s, size_t col, char just, int top, const report::Font& f) {
    text(pageLeft + left[col] + 14, top, room[col] - 28, line, s, f, alignOf(just));
  };
  auto borders = [&](int top, int bottom) {
    for (size_t i = 0; i + 1 < r.columns.size(); ++i)
      if (r.columns[i].border) rule(pageLeft + left[i] + room[i], top, 0, bottom - top);
  };
  auto startPage = [&]() {
    report::Page page;
    page.number = static_cast<int>(pages.size()) + 1;
    page.width = kPageWidth;
    page.height = kPageHeight;
    pages.push_back(std::move(page));
    y = kMargin;
    text(pageLeft, y, pageWidth, headLine, r.title, heading, report::Align::Left);
    text(pageLeft, y, pageWidth, headLine, "Page " + std::to_string(pages.size()), body, report::Align::Right);
    y += headLine;
    for (const std::string* t : {&r.line1, &r.line3})
      if (!t->empty()) {
        text(pageLeft, y, pageWidth, line, *t, body, report::Align::Left);
        y += line;
      }
    text(pageLeft, y, pageWidth, line,
         "Date: " + r.date + "    Time: " + r.time + "    Font: " + r.font + "    Size: " + std::to_string(r.fontSize),
         body, report::Align::Left);
    text(pageLeft, y, pageWidth, line, std::to_string(r.rows.size()) + " Records", body, report::Align::Right);
    y += line;
    // The order and the filter only when the list has them.
    std::string orderFilter;
    if (!r.order.empty()) orderFilter = "Order: " + r.order;
    if (!r.filter.empty()) orderFilter += (orderFilter.empty() ? "" : "    ") + std::string("Filter: ") + r.filter;
    if (!orderFilter.empty()) {
      text(pageLeft, y, pageWidth, line, orderFilter, body, report::Align::Left);
      y += line;
    }
    y += line / 2;
    for (size_t i = 0; i < r.columns.size(); ++i) cellText(r.columns[i].header, i, r.columns[i].headerJust, y, bold);
    y += line;
    rule(pageLeft, y, pageWidth, 0);
  };

  startPage();
  for (const auto& row : r.rows) {
    if (y + line > pageBottom) startPage();
    for (size_t i = 0; i < r.columns.size() && i < row.size(); ++i) cellText(row[i], i, r.columns[i].dataJust, y, body);
    borders(y, y + line);
    y += line;
  }
  if (!r.totals.empty()) {
    if (y + 2 * line > pageBottom) startPage();
    rule(pageLeft, y + 6, pageWidth, 0);
    y += 12;
    for (size_t i = 0; i < r.columns.size() && i < r.totals.size(); ++i)
      if (!r.totals[i].empty()) cellText(r.totals[i], i, r.columns[i].dataJust, y, bold);
  }
  return pages;
}

rt::Err writeListReport(const std::string& pdfPath, const PrintReport& r) {
  return writeListPages(pdfPath, layoutListReport(r), r.title);
}

rt::Err writeListPages(const std::string& pdfPath, const std::vector<report::Page>& pages, const std::string& title) {
  const std::string partial = pdfPath + ".part";
  std::string error;
  if (!report::writePdf(pages, partial, title, &error)) {
    std::error_code ec;
    std::filesystem::remove(partial, ec);
    return rt::Err::NoAccess;
  }
  std::error_code ec;
  std::filesystem::rename(partial, pdfPath, ec);
  if (ec) {
    std::filesystem::remove(partial, ec);
    return rt::Err::NoAccess;
  }
  return rt::Err::None;
}

}  // namespace ov::winclasses
