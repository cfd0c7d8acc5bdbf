#include "platform/report/render.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>

#include <algorithm>
#include <tuple>

namespace ov::report {

QFont toQFont(const Font& f) {
  QFont q(QString::fromStdString(f.face));
  // Sizes in report units, so text measures the same on every device.
  q.setPixelSize(std::max(1, static_cast<int>(f.points * kUnitsPerInch / 72.0 + 0.5)));
  q.setBold(f.bold);
  q.setItalic(f.italic);
  q.setHintingPreference(QFont::PreferNoHinting);
  return q;
}

namespace {

QColor color(Rgb rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

struct FontSubstitutes {
  FontSubstitutes() {
    QFont::insertSubstitution("Arial", "Liberation Sans");
    QFont::insertSubstitution("Times New Roman", "Liberation Serif");
    QFont::insertSubstitution("Courier New", "Liberation Mono");
  }
};

void ensureSubstitutes() { static FontSubstitutes once; }

}  // namespace

void render(QPainter& p, const Page& page) {
  ensureSubstitutes();
  for (const Item& it : page.items) {
    QRectF r(it.x, it.y, it.width, it.height);
    switch (it.kind) {
      case Item::Kind::Text: {
        p.setFont(toQFont(it.font));
        p.setPen(color(it.font.color));
        int flags = it.align == Align::Center ? Qt::AlignHCenter
                    : it.align == Align::Right ? Qt::AlignRight : Qt::AlignLeft;
        flags |= Qt::AlignTop;
        if (it.wrap) flags |= Qt::TextWordWrap;
        QString s = QString::fromUtf8(it.text.data(), static_cast<qsizetype>(it.text.size()));
        s.replace("\r\n", "\n");
        s.replace('\r', '\n');
        p.save();
        p.setClipRect(r.adjusted(0, 0, 0, it.wrap ? 0 : r.height()));
        p.drawText(r, flags, s);
        p.restore();
        break;
      }
      case Item::Kind::Box:
        p.setPen(it.border ? QPen(color(it.borderColor), 10) : QPen(Qt::NoPen));
        p.setBrush(it.filled ? QBrush(color(it.fill)) : QBrush(Qt::NoBrush));
        p.drawRect(r);
        break;
      case Item::Kind::Line:
        p.setPen(QPen(color(it.borderColor), 10));
        p.drawLine(QPointF(it.x, it.y), QPointF(it.x + it.width, it.y + it.height));
        break;
      case Item::Kind::Check: {
        const int side = std::min(it.height, 120);
        p.setPen(QPen(Qt::black, 8));
        p.setBrush(Qt::NoBrush);
        QRectF box(it.x, it.y + (it.height - side) / 2.0, side, side);
        p.drawRect(box);
        if (it.checked) {
          p.drawLine(box.topLeft(), box.bottomRight());
          p.drawLine(box.topRight(), box.bottomLeft());
        }
        p.setFont(toQFont(it.font));
        QString s = QString::fromUtf8(it.text.data(), static_cast<qsizetype>(it.text.size()));
        p.drawText(QRectF(it.x + side + 40, it.y, std::max(0, it.width - side - 40), it.height),
                   Qt::AlignLeft | Qt::AlignVCenter, s);
        break;
      }
    }
  }
}

bool writePdf(const std::vector<Page>& pages, const std::string& path, const std::string& title,
              std::string* error) {
  return writePdf(PageList(pages), path, title, error);
}

bool writePdf(const PageSource& pages, const std::string& path, const std::string& title,
              std::string* error) {
  ensureSubstitutes();
  QPdfWriter pdf(QString::fromStdString(path));
  pdf.setResolution(kUnitsPerInch);
  pdf.setTitle(QString::fromStdString(title));
  pdf.setCreator("Orvane");
  auto layoutOf = [](const Page& page) {
    bool landscape = page.width > page.height;
    return QPageLayout(QPageSize(QPageSize::Letter),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
  };
  Page page;
  if (!pages.empty()) {
    page = pages.at(0);
    pdf.setPageLayout(layoutOf(page));
  }
  QPainter painter;
  if (!painter.begin(&pdf)) {
    if (error) *error = "Cannot write " + path;
    return false;
  }
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) {
      page = pages.at(i);
      pdf.setPageLayout(layoutOf(page));
      pdf.newPage();
    }
    render(painter, page);
  }
  if (!painter.end()) {
    if (error) *error = "Cannot write " + path;
    return false;
  }
  if (const std::string why = pages.error(); !why.empty()) {
    if (error) *error = why;
    return false;
  }
  return true;
}

QImage renderImage(const Page& page, double dotsPerInch) {
  const double scale = dotsPerInch / kUnitsPerInch;
  QImage image(static_cast<int>(page.width * scale), static_cast<int>(page.height * scale),
               QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(scale, scale);
  render(p, page);
  return image;
}

std::vector<std::string> pageTexts(const Page& page) {
  std::vector<const Item*> items;
  for (const Item& it : page.items)
    if (it.kind == Item::Kind::Text || it.kind == Item::Kind::Check) items.push_back(&it);
  std::stable_sort(items.begin(), items.end(), [](const Item* a, const Item* b) {
    return std::tie(a->y, a->x) < std::tie(b->y, b->x);
  });
  std::vector<std::string> out;
  for (const Item* it : items) {
    if (it->kind == Item::Kind::Check)
      out.push_back(std::string(it->checked ? "[X] " : "[ ] ") + it->text);
    else
      out.push_back(it->text);
  }
  return out;
}

std::vector<std::string> overlappingTexts(const Page& page) {
  std::vector<const Item*> items;
  for (const Item& it : page.items) {
    if (it.kind != Item::Kind::Text && it.kind != Item::Kind::Check) continue;
    if (it.text.find_first_not_of(" \t\r\n") == std::string::npos || it.width <= 0 || it.height <= 0) continue;
    items.push_back(&it);
  }
  auto place = [](const Item& it) {
    return "\"" + it.text + "\" at (" + std::to_string(it.x) + "," + std::to_string(it.y) + " " + std::to_string(it.width) +
           "x" + std::to_string(it.height) + ")";
  };
  // What a text covers across: a line takes the width of its letters (placed by its alignment)
  // within its rectangle; wrapped texts and check boxes take the whole rectangle.
  auto span = [](const Item& it) {
    if (it.kind != Item::Kind::Text || it.wrap) return std::pair<double, double>(it.x, it.x + it.width);
    const QFontMetricsF fm(toQFont(it.font));
    const double ink = std::min<double>(it.width, fm.horizontalAdvance(QString::fromStdString(it.text)));
    const double left = it.align == Align::Left    ? it.x
                        : it.align == Align::Right ? it.x + it.width - ink
                                                   : it.x + (it.width - ink) / 2;
    return std::pair<double, double>(left, left + ink);
  };
  std::vector<std::pair<double, double>> spans;
  for (const Item* it : items) spans.push_back(span(*it));
  std::vector<std::string> out;
  for (size_t i = 0; i < items.size(); ++i) {
    for (size_t j = i + 1; j < items.size(); ++j) {
      const Item& a = *items[i];
      const Item& b = *items[j];
      if (spans[i].first < spans[j].second && spans[j].first < spans[i].second && a.y < b.y + b.height &&
          b.y < a.y + a.height)
        out.push_back("page " + std::to_string(page.number) + ": " + place(a) + " overlaps " + place(b));
    }
  }
  return out;
}

}  // namespace ov::report
