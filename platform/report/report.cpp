#include "platform/report/report.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace ov::report {

QFont toQFont(const Font& f);  // render.cpp

namespace {

// Report units per point.
constexpr double kUnitsPerPoint = kUnitsPerInch / 72.0;

}  // namespace

Font Canvas::font(double points, bool bold) const {
  Font f = m_font;
  f.points = points;
  f.bold = bold;
  return f;
}

Item& Canvas::text(int x, int y, int width, int height, std::string text, const Font& font, Align align) {
  Item it;
  it.kind = Item::Kind::Text;
  it.x = x, it.y = y, it.width = width, it.height = height;
  it.text = std::move(text);
  it.font = font;
  it.align = align;
  m_items.push_back(std::move(it));
  return m_items.back();
}

int Canvas::textBlock(int x, int y, int width, std::string text, const Font& font) {
  int height = measureText(text, font, width);
  Item& it = this->text(x, y, width, height, std::move(text), font);
  it.wrap = true;
  return height;
}

Item& Canvas::box(int x, int y, int width, int height, Rgb border) {
  Item it;
  it.kind = Item::Kind::Box;
  it.x = x, it.y = y, it.width = width, it.height = height;
  it.borderColor = border;
  m_items.push_back(std::move(it));
  return m_items.back();
}

Item& Canvas::filledBox(int x, int y, int width, int height, Rgb fill, bool border, Rgb borderColor) {
  Item& it = box(x, y, width, height, borderColor);
  it.border = border;
  it.filled = true;
  it.fill = fill;
  return it;
}

Item& Canvas::line(int x, int y, int width, int height, Rgb color) {
  Item it;
  it.kind = Item::Kind::Line;
  it.x = x, it.y = y, it.width = width, it.height = height;
  it.borderColor = color;
  m_items.push_back(std::move(it));
  return m_items.back();
}

Item& Canvas::check(int x, int y, int width, int height, std::string caption, bool checked) {
  Item it;
  it.kind = Item::Kind::Check;
  it.x = x, it.y = y, it.width = width, it.height = height;
  it.text = std::move(caption);
  it.font = m_font;
  it.checked = checked;
  m_items.push_back(std::move(it));
  return m_items.back();
}

int Canvas::bottom() const {
  int b = 0;
  for (const Item& it : m_items) b = std::max(b, it.y + it.height);
  return b;
}

int measureText(std::string_view text, const Font& font, int width) {
  QFont qf = toQFont(font);
  QFontMetricsF fm(qf);
  const double lineHeight = std::ceil(fm.lineSpacing());
  if (text.empty() || width <= 0) return static_cast<int>(lineHeight);
  QString all = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  all.replace("\r\n", "\n");
  all.replace('\r', '\n');
  int lines = 0;
  for (const QString& para : all.split('\n')) {
    QRectF r = fm.boundingRect(QRectF(0, 0, width, 1e9), Qt::TextWordWrap, para.isEmpty() ? " " : para);
    lines += std::max(1, static_cast<int>(std::lround(r.height() / fm.lineSpacing())));
  }
  return static_cast<int>(lines * lineHeight);
}

Report::Report(Layout layout) : m_layout(std::move(layout)) {}

void Report::open() {
  m_open = true;
  m_pages.clear();
  m_pageOpen = false;
}

void Report::startPage() {
  m_page = Page{};
  m_page.number = static_cast<int>(m_pages.size()) + 1;
  if (m_layout.landscape) m_page.width = 11000, m_page.height = 8500;
  m_pageOpen = true;
  if (m_header.draw) {
    Canvas c(m_layout.font, m_page.number);
    m_header.draw(c);
    place(c, m_layout.header.x, m_layout.header.y);
  }
  m_cursor = m_layout.detail.y;
}

void Report::place(Canvas& canvas, int left, int top) {
  Page& page = m_page;
  for (Item& it : canvas.items()) {
    it.x += left;
    it.y += top;
    page.items.push_back(std::move(it));
  }
}

void Report::print(const Band& band) {
  if (!m_open) open();
  if (!m_pageOpen) startPage();
  Canvas c(m_layout.font, m_page.number);
  if (band.draw) band.draw(c);
  const int height = std::max(band.height, c.bottom());
  const int areaBottom = m_layout.detail.y + m_layout.detail.height;
  if (m_cursor + height > areaBottom && m_cursor > m_layout.detail.y) {
    endPage();
    startPage();
    // Redraw so that a page number in the band is the new page's.
    c = Canvas(m_layout.font, m_page.number);
    if (band.draw) band.draw(c);
  }
  // A band taller than the whole area is cut at its bottom.
  std::erase_if(c.items(), [&](const Item& it) { return m_cursor + it.y >= areaBottom; });
  place(c, m_layout.detail.x, m_cursor);
  m_cursor += height;
}

void Report::endPage() {
  if (!m_pageOpen) return;
  if (m_footer.draw) {
    Canvas c(m_layout.font, m_page.number);
    m_footer.draw(c);
    place(c, m_layout.footer.x, m_layout.footer.y);
  }
  m_pageOpen = false;
  m_pages.push(std::move(m_page));
  m_page = Page{};
}

void Report::close() {
  endPage();
  m_open = false;
}

PageQueue Report::takePages() {
  endPage();
  PageQueue out = std::move(m_pages);
  m_pages = PageQueue();
  return out;
}

}  // namespace ov::report
