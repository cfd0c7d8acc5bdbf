#include "platform/report/output.h"

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/report/render.h"
#include "platform/rt/process.h"
#include "platform/ui/host.h"
#include "platform/ui/print_job.h"

namespace ov::report {

namespace {

PrintSink* g_sink = nullptr;
PreviewHost* g_preview = nullptr;

// The preview window: the pages one under the other, a zoom choice, Print and Close.
class PreviewDialog : public PreviewHost {
 public:
  int preview(const std::vector<Page>& pages, std::string_view title, int /*option*/) override {
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
    auto* holder = new QWidget;
    auto* column = new QVBoxLayout(holder);
    std::vector<QLabel*> labels;
    for (size_t i = 0; i < pages.size(); ++i) {
      labels.push_back(new QLabel);
      column->addWidget(labels.back());
    }
    auto draw = [&] {
      const double dpi = 96.0 * zoom->currentData().toInt() / 100.0;
      for (size_t i = 0; i < pages.size(); ++i)
        labels[i]->setPixmap(QPixmap::fromImage(renderImage(pages[i], dpi)));
    };
    draw();
    scroll->setWidget(holder);
    layout->addWidget(scroll);
    QObject::connect(zoom, &QComboBox::currentIndexChanged, &dlg, [&] { draw(); holder->adjustSize(); });
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

bool LpPrintSink::print(const std::vector<Page>& pages, int copies, std::string_view title,
                        std::string& error) {
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

int PRINTPREVIEW(const std::vector<Page>& pages, std::string_view title, int option) {
  return previewHost().preview(pages, title, option);
}

std::vector<Page> HANDLECOPIES(const std::vector<Page>& pages, int copies, bool collate) {
  std::vector<Page> out;
  copies = std::max(1, copies);
  if (collate) {
    for (int c = 0; c < copies; ++c) out.insert(out.end(), pages.begin(), pages.end());
  } else {
    for (const Page& p : pages)
      for (int c = 0; c < copies; ++c) out.push_back(p);
  }
  return out;
}

}  // namespace ov::report
