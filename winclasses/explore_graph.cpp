#include "winclasses/explore_graph.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ov::winclasses {

namespace {

double valueOf(const GraphCategory& c, bool amounts) { return amounts ? c.Total : c.Count; }

QColor colourRef(int32_t ref) {
  if (ref < 0) return QColor(Qt::white);
  return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}

std::string oneDecimal(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

std::string figure(double v, bool whole) {
  if (whole) return std::to_string(static_cast<long long>(std::llround(v)));
  return oneDecimal(v);
}

std::string amountText(const GraphCategory& c, bool amounts) {
  if (!amounts) return std::to_string(c.Count);
  char text[48];
  std::snprintf(text, sizeof text, "%.2f", c.Total);
  return text;
}

}  // namespace

void addGraphCategory(std::vector<GraphCategory>& categories, std::string_view name, double amount) {
  auto it = std::lower_bound(categories.begin(), categories.end(), name,
                             [](const GraphCategory& c, std::string_view n) { return c.Name < n; });
  if (it == categories.end() || it->Name != name) it = categories.insert(it, GraphCategory{std::string(name)});
  ++it->Count;
  it->Total += amount;
}

void computeGraphPercents(std::vector<GraphCategory>& categories, bool amounts, long rowsRead) {
  double whole = 0;
  if (amounts)
    for (const GraphCategory& c : categories) whole += c.Total;
  else
    whole = static_cast<double>(rowsRead);
  for (GraphCategory& c : categories) {
    const double part = valueOf(c, amounts);
    c.Percent = whole != 0 ? std::round(part * 1000.0 / whole) / 10.0 : 0.0;
    c.TextSfx = amountText(c, amounts);
  }
}

GraphLayout layoutBarGraph(const std::vector<GraphCategory>& categories, bool amounts, int width, int height) {
  GraphLayout g;
  const int n = static_cast<int>(categories.size());
  if (n == 0) return g;
  if (n > 5) {
    g.gap = 4;
    g.barWidth = (width - 80) / n - 4;
    if (g.barWidth < 10) {
      g.gap = 2;
      g.barWidth = (width - 80) / n - 2;
    }
  } else {
    g.gap = ((width - 160) / n) / 5;
    g.barWidth = 4 * g.gap;
  }
  g.gap = std::max(g.gap, 0);
  g.barWidth = std::max(g.barWidth, 1);
  g.firstX = (width - ((n - 1) * (g.barWidth + g.gap) + g.barWidth)) / 2 + 32;
  g.baseLine = height - 50;
  g.wholePercent = g.barWidth + g.gap < 26;
  double largest = 0;
  for (const GraphCategory& c : categories) largest = std::max(largest, valueOf(c, amounts));
  const int room = std::max(height - 50 - 30, 0);
  for (int i = 0; i < n; ++i) {
    GraphBar b;
    b.x = g.firstX + i * (g.barWidth + g.gap);
    b.width = g.barWidth;
    const double v = valueOf(categories[static_cast<size_t>(i)], amounts);
    b.height = largest > 0 && v > 0 ? static_cast<int>(v * room / largest) : 0;
    b.top = g.baseLine - b.height;
    b.colour = i % kGraphColours + 1;
    g.bars.push_back(b);
  }
  return g;
}

void drawBarGraph(QImage& image, const std::vector<GraphCategory>& categories, bool amounts,
                  const GraphPicture& picture) {
  image.fill(Qt::white);
  const GraphLayout g = layoutBarGraph(categories, amounts, image.width(), image.height());
  QPainter p(&image);
  QFont heading("DejaVu Sans", 10, QFont::Bold);
  p.setFont(heading);
  p.setPen(Qt::black);
  p.drawText(10, 16, QString::fromStdString(picture.heading));
  if (!picture.filterLine.empty()) p.drawText(10, 30, QString::fromStdString(picture.filterLine));

  for (size_t i = 0; i < g.bars.size(); ++i) {
    const GraphBar& b = g.bars[i];
    p.fillRect(b.x, b.top, b.width, b.height, colourRef(picture.colours[static_cast<size_t>(b.colour - 1)]));
  }
  p.setPen(QPen(Qt::black, 4));
  if (!g.bars.empty()) p.drawLine(g.firstX - 4, g.baseLine, g.bars.back().x + g.barWidth + 4, g.baseLine);

  // The category names, turned upright along each bar.
  QFont legend(QString::fromStdString(picture.fontName), std::max(picture.fontSize, 1));
  legend.setWeight(static_cast<QFont::Weight>(std::clamp(picture.fontStyle % 4096 / 10 * 10, 100, 900)));
  legend.setItalic(picture.fontStyle & 4096);
  legend.setUnderline(picture.fontStyle & 8192);
  p.setFont(legend);
  p.setPen(colourRef(picture.fontColour < 0 ? 0 : picture.fontColour));
  for (size_t i = 0; i < g.bars.size(); ++i) {
    const GraphBar& b = g.bars[i];
    p.save();
    p.translate(b.x + b.width / 2 + p.fontMetrics().ascent() / 2, g.baseLine - 6);
    p.rotate(-90);
    p.drawText(0, 0, QString::fromStdString(categories[i].Name));
    p.restore();
  }

  // Two rows of figures under the bars.
  QFont small("DejaVu Sans", 7);
  p.setFont(small);
  p.setPen(Qt::black);
  p.drawText(2, g.baseLine + 20, "Count");
  p.drawText(2, g.baseLine + 38, "Percent");
  for (size_t i = 0; i < g.bars.size(); ++i) {
    const GraphBar& b = g.bars[i];
    const QRect countCell(b.x - g.gap / 2, g.baseLine + 8, b.width + g.gap, 16);
    const QRect percentCell(b.x - g.gap / 2, g.baseLine + 26, b.width + g.gap, 16);
    p.drawText(countCell, Qt::AlignCenter, QString::fromStdString(amountText(categories[i], amounts)));
    p.drawText(percentCell, Qt::AlignCenter, QString::fromStdString(figure(categories[i].Percent, g.wholePercent)));
  }
}

}  // namespace ov::winclasses
