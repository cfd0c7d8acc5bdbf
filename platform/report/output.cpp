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

#include <cstdlib>
#include <filesystem>

#include "platform/report/render.h"
#include "platform/rt/process.h"

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

bool LpPrintSink::print(const std::vector<Page>& pages, int copies, std::string_view title,
                        std::string& error) {
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
  const char* program = std::getenv("OV_LP");
  auto quote = [](std::string_view text) {
    std::string q = "\"";
    for (char ch : text)
      if (ch != '"') q += ch;
    return q + "\"";
  };
  std::string command = quote(program && *program ? program : "lp");
  if (!PRINTER().name.empty()) command += " -d " + quote(PRINTER().name);
  command += " -n " + std::to_string(std::max(1, copies)) + " -t " + quote(title) + " " + quote(tmpl);
  int exitCode = 0;
  if (int err = rt::runProgram(command, exitCode); err != 0) {
    error = "The print command could not be started (error " + std::to_string(err) + ")";
    return false;
  }
  if (exitCode != 0) {
    error = "The print command failed with exit code " + std::to_string(exitCode);
    return false;
  }
  return true;
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
