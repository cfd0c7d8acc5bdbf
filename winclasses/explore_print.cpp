#include "winclasses/explore_print.h"

#include <QFont>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <filesystem>

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

QString q(const std::string& s) { return QString::fromStdString(s); }

Qt::Alignment alignOf(char just) {
  switch (just) {
    case 'C': return Qt::AlignHCenter;
    case 'R':
    case 'D': return Qt::AlignRight;
    default: return Qt::AlignLeft;
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

rt::Err writeListReport(const std::string& pdfPath, const PrintReport& r) {
  const std::string partial = pdfPath + ".part";
  {
    QPdfWriter pdf(q(partial));
    pdf.setResolution(720);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    pdf.setTitle(q(r.title));
    QPainter p;
    if (!p.begin(&pdf)) return rt::Err::NoAccess;
    const QRect page = pdf.pageLayout().paintRectPixels(pdf.resolution());
    const double scale = static_cast<double>(page.width()) / kPrintPageUnits;

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

    QFont body(q(r.font.empty() ? std::string("Arial") : r.font), r.fontSize);
    QFont bold = body;
    bold.setBold(true);
    QFont heading(q(r.font.empty() ? std::string("Arial") : r.font), 12, QFont::Bold);
    const int line = QFontMetrics(body, &pdf).height() + 10;
    int pageNumber = 0;
    int y = 0;

    auto cellText = [&](const std::string& text, size_t col, char just, int top) {
      const QRect cell(page.left() + left[col] + 10, top, room[col] - 20, line);
      p.drawText(cell, static_cast<int>(alignOf(just) | Qt::AlignVCenter | Qt::TextSingleLine), q(text));
    };
    auto borders = [&](int top, int bottom) {
      for (size_t i = 0; i + 1 < r.columns.size(); ++i)
        if (r.columns[i].border) {
          const int bx = page.left() + left[i] + room[i];
          p.drawLine(bx, top, bx, bottom);
        }
    };
    auto startPage = [&]() {
      if (pageNumber > 0) pdf.newPage();
      ++pageNumber;
      y = page.top();
      p.setFont(heading);
      const int headLine = QFontMetrics(heading, &pdf).height();
      p.drawText(QRect(page.left(), y, page.width(), headLine), Qt::AlignLeft, q(r.title));
      p.setFont(body);
      p.drawText(QRect(page.left(), y, page.width(), headLine), Qt::AlignRight, q("Page " + std::to_string(pageNumber)));
      y += headLine;
      for (const std::string* t : {&r.line1, &r.line3})
        if (!t->empty()) {
          p.drawText(QRect(page.left(), y, page.width(), line), Qt::AlignLeft, q(*t));
          y += line;
        }
      p.drawText(QRect(page.left(), y, page.width(), line), Qt::AlignLeft,
                 q("Date: " + r.date + "    Time: " + r.time + "    Font: " + r.font + "    Size: " +
                   std::to_string(r.fontSize)));
      p.drawText(QRect(page.left(), y, page.width(), line), Qt::AlignRight,
                 q(std::to_string(r.rows.size()) + " Records"));
      y += line;
      p.drawText(QRect(page.left(), y, page.width(), line), Qt::AlignLeft,
                 q("Order: " + r.order + "    Filter: " + r.filter));
      y += line + line / 2;
      p.setFont(bold);
      for (size_t i = 0; i < r.columns.size(); ++i) cellText(r.columns[i].header, i, r.columns[i].headerJust, y);
      y += line;
      p.drawLine(page.left(), y, page.right(), y);
      p.setFont(body);
    };

    startPage();
    for (const auto& row : r.rows) {
      if (y + line > page.bottom()) startPage();
      for (size_t i = 0; i < r.columns.size() && i < row.size(); ++i) cellText(row[i], i, r.columns[i].dataJust, y);
      borders(y, y + line);
      y += line;
    }
    if (!r.totals.empty()) {
      if (y + 2 * line > page.bottom()) startPage();
      p.drawLine(page.left(), y + 4, page.right(), y + 4);
      y += 8;
      p.setFont(bold);
      for (size_t i = 0; i < r.columns.size() && i < r.totals.size(); ++i)
        if (!r.totals[i].empty()) cellText(r.totals[i], i, r.columns[i].dataJust, y);
    }
    if (!p.end()) return rt::Err::NoAccess;
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
