#include "platform/report/output.h"

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <utility>

#include "platform/report/render.h"
#include "platform/rt/process.h"
#include "platform/ui/host.h"
#include "platform/ui/print_job.h"

namespace ov::report {

namespace {

PrintSink* g_sink = nullptr;
PreviewHost* g_preview = nullptr;

// The pages of the preview, one under the other. Only the pages in view are drawn, when they come
// into view; a few drawn pages are kept for scrolling back and forth.
class PageColumn : public QWidget {
 public:
  static constexpr int kGap = 10;
  static constexpr size_t kKept = 6;

  explicit PageColumn(const PageSource& pages) : m_pages(pages) {
    for (size_t i = 0; i < pages.size(); ++i) m_sizes.push_back(pages.pageSize(i));
    setZoom(75);
  }

  void setZoom(int percent) {
    m_dpi = 96.0 * percent / 100.0;
    m_drawn.clear();
    m_tops.clear();
    int y = kGap, width = 0;
    for (const auto& [w, h] : m_sizes) {
      m_tops.push_back(y);
      y += pixels(h) + kGap;
      width = std::max(width, pixels(w));
    }
    setFixedSize(width + 2 * kGap, y);
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter p(this);
    const QRect area = event->rect();
    // The first page whose bottom lies below the area's top.
    auto first = std::upper_bound(m_tops.begin(), m_tops.end(), area.top(),
                                  [&](int top, int pageTop) { return top < pageTop; });
    size_t i = first == m_tops.begin() ? 0 : static_cast<size_t>(first - m_tops.begin()) - 1;
    for (; i < m_sizes.size() && m_tops[i] <= area.bottom(); ++i) {
      const QRect place(kGap, m_tops[i], pixels(m_sizes[i].first), pixels(m_sizes[i].second));
      if (place.intersects(area)) p.drawImage(place.topLeft(), drawn(i));
    }
  }

 private:
  int pixels(int units) const { return static_cast<int>(units * m_dpi / kUnitsPerInch); }

  const QImage& drawn(size_t i) {
    for (auto it = m_drawn.begin(); it != m_drawn.end(); ++it) {
      if (it->first != i) continue;
      m_drawn.splice(m_drawn.begin(), m_drawn, it);  // most recently shown first
      return m_drawn.front().second;
    }
    m_drawn.emplace_front(i, renderImage(m_pages.at(i), m_dpi));
    if (m_drawn.size() > kKept) m_drawn.pop_back();
    return m_drawn.front().second;
  }

  const PageSource& m_pages;
  std::vector<std::pair<int, int>> m_sizes;  // in report units
  std::vector<int> m_tops;                   // in pixels
  double m_dpi = 72;
  std::list<std::pair<size_t, QImage>> m_drawn;
};

// The preview window: the pages one under the other, a zoom choice, Print and Close.
class PreviewDialog : public PreviewHost {
 public:
  int preview(const PageSource& pages, std::string_view title, int /*option*/) override {
    QDialog dlg;
    dlg.setWindowTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
    auto* layout = new QVBoxLayout(&dlg);
    auto* bar = new QHBoxLayout;
    auto* zoom = new QComboBox;
    for (int z : {50, 75, 100, 150}) zoom->addItem(QString("%1%").arg(z), z);
    zoom->setCurrentIndex(1);
    auto* print = new QPushButton("&Print");
    auto* close = new QPushButton("Cl&ose");
    bar->addWidget(new QLabel(QString("%1 page(s)").arg(pages.size())));
    bar->addWidget(zoom);
    bar->addStretch();
    bar->addWidget(print);
    bar->addWidget(close);
    layout->addLayout(bar);
    auto* scroll = new QScrollArea;
    auto* column = new PageColumn(pages);
    scroll->setWidget(column);
    layout->addWidget(scroll);
    QObject::connect(zoom, &QComboBox::currentIndexChanged, &dlg,
                     [&] { column->setZoom(zoom->currentData().toInt()); });
    QObject::connect(print, &QPushButton::clicked, &dlg, &QDialog::accept);
    QObject::connect(close, &QPushButton::clicked, &dlg, &QDialog::reject);
    dlg.resize(900, 800);
    return dlg.exec() == QDialog::Accepted ? 1 : 2;
  }
};

}  // namespace

PrinterSettings& PRINTER() {
  static PrinterSettings settings;
  return settings;
}

PrintSink& printSink() {
  static LpPrintSink lp;
  return g_sink ? *g_sink : lp;
}
void setPrintSink(PrintSink* sink) { g_sink = sink; }

PreviewHost& previewHost() {
  static PreviewDialog dialog;
  return g_preview ? *g_preview : dialog;
}
void setPreviewHost(PreviewHost* host) { g_preview = host; }

bool PrintSetup() {
  PrinterSettings& printer = PRINTER();
  ui::PrintChoice choice;
  choice.printer = printer.name;
  choice.copies = printer.copies;
  if (!ui::choosePrinter("Print Setup", choice)) return false;
  printer.name = choice.printer;
  printer.pdfFile = choice.pdfFile;
  printer.copies = std::clamp(choice.copies, 1, 99);
  printer.chosen = true;
  return true;
}

bool LpPrintSink::print(const PageSource& pages, int copies, std::string_view title, std::string& error) {
  ui::PrintChoice choice;
  choice.printer = PRINTER().name;
  choice.pdfFile = PRINTER().pdfFile;
  choice.copies = std::max(1, copies);
  if (!PRINTER().chosen) {
    if (!ui::choosePrinter(title, choice)) {
      error.clear();  // cancelled by the user: nothing to report
      return false;
    }
  }
  if (!choice.pdfFile.empty()) {
    if (!writePdf(pages, choice.pdfFile, std::string(title), &error)) return false;
    ui::MESSAGE("The report was saved as " + choice.pdfFile + ".", "Print", ui::Icon::Information);
    return true;
  }
  std::error_code ec;
  std::string tmpl = (std::filesystem::temp_directory_path(ec) / "ov-print-XXXXXX.pdf").string();
  int fd = ::mkstemps(tmpl.data(), 4);
  if (fd < 0) {
    error = "Cannot make a temporary file for printing";
    return false;
  }
  ::close(fd);
  struct Remove {
    std::string path;
    ~Remove() { std::error_code e; std::filesystem::remove(path, e); }
  } remove{tmpl};
  if (!writePdf(pages, tmpl, std::string(title), &error)) return false;
  return ui::sendToPrinter(tmpl, choice, title, error);
}

bool SUPPORTED() { return printSink().supportsCopies(); }

int PRINTPREVIEW(const PageSource& pages, std::string_view title, int option) {
  return previewHost().preview(pages, title, option);
}

int PRINTPREVIEW(const std::vector<Page>& pages, std::string_view title, int option) {
  return PRINTPREVIEW(PageList(pages), title, option);
}

std::vector<Page> HANDLECOPIES(const std::vector<Page>& pages, int copies, bool collate) {
  return allPages(CopiedPages(PageList(pages), copies, collate));
}

}  // namespace ov::report
