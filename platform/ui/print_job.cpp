#include "platform/ui/print_job.h"

#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::ui {

namespace {

PrintSpooler& spooler() {
  static PrintSpooler s;
  return s;
}

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool isPdf(const std::string& file) {
  QFile f(QString::fromStdString(file));
  return f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-";
}

// A text file becomes a PDF at `target` (one page after another, in a fixed-pitch font).
bool textToPdf(const std::string& file, const std::string& target, std::string& why) {
  QFile in(QString::fromStdString(file));
  if (!in.open(QIODevice::ReadOnly)) {
    why = "The file " + file + " could not be read.";
    return false;
  }
  QTextDocument doc;
  doc.setDefaultFont(QFont("Liberation Mono", 9));
  doc.setPlainText(QString::fromUtf8(in.readAll()));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(target));
  doc.print(&printer);
  if (!std::filesystem::exists(target)) {
    why = "The file " + target + " could not be written.";
    return false;
  }
  return true;
}

}  // namespace

void setPrintSpooler(PrintSpooler s) { spooler() = std::move(s); }

bool choosePrinter(std::string_view title, PrintChoice& choice) {
  if (const char* unattended = std::getenv("OV_UNATTENDED"); unattended && *unattended) {
    std::fprintf(stderr, "OV_UNATTENDED: a print dialog would wait for an answer: \"%.*s\"\n", int(title.size()),
                 title.data());
    std::fflush(stderr);
    std::abort();
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(q(title));
  // Without a printer on the system, printing goes to a PDF file in the home folder.
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    const char* home = std::getenv("HOME");
    std::string name(title.empty() ? std::string_view("printout") : title);
    for (char& c : name)
      if (c == '/' || c == '\\') c = '-';
    printer.setOutputFileName(QString::fromStdString(std::string(home ? home : ".") + "/" + name + ".pdf"));
  }
  Window* owner = currentWindow();
  QPrintDialog dialog(&printer, owner ? owner->view() : nullptr);
  dialog.setWindowTitle("Print");
  dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
  int answer;
  {
    ModalScope modal;
    answer = dialog.exec();
  }
  if (answer != QDialog::Accepted) return false;
  choice.copies = std::max(1, printer.copyCount());
  if (printer.outputFormat() == QPrinter::PdfFormat || !printer.outputFileName().isEmpty()) {
    choice.printer.clear();
    choice.pdfFile = printer.outputFileName().toStdString();
    if (choice.pdfFile.empty()) choice.pdfFile = "printout.pdf";
  } else {
    choice.printer = printer.printerName().toStdString();
    choice.pdfFile.clear();
  }
  return true;
}

bool sendToPrinter(const std::string& file, const PrintChoice& choice, std::string_view title, std::string& why) {
  const char* program = std::getenv("OV_LP");
  QStringList args;
  if (!choice.printer.empty()) args << "-d" << QString::fromStdString(choice.printer);
  args << "-n" << QString::number(std::max(1, choice.copies));
  if (!title.empty()) args << "-t" << q(title);
  args << QString::fromStdString(file);
  QProcess lp;
  lp.start(program && *program ? QString::fromLocal8Bit(program) : QString("lp"), args);
  if (!lp.waitForStarted(10000)) {
    why = "The print command lp could not be started.";
    return false;
  }
  lp.closeWriteChannel();
  lp.waitForFinished(60000);
  if (lp.exitStatus() != QProcess::NormalExit || lp.exitCode() != 0) {
    const std::string said = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed().toStdString();
    why = said.empty() ? "The print command lp failed with exit code " + std::to_string(lp.exitCode()) + "."
                       : said;
    return false;
  }
  return true;
}

bool spoolFile(const std::string& file, std::string* why, std::string_view title) {
  if (spooler()) return spooler()(file);
  std::string reason;
  if (title.empty()) title = std::filesystem::path(file).filename().string();
  PrintChoice choice;
  if (!choosePrinter(title, choice)) return true;  // the user chose not to print
  bool done;
  if (!choice.pdfFile.empty()) {
    std::error_code ec;
    if (isPdf(file)) {
      std::filesystem::copy_file(file, choice.pdfFile, std::filesystem::copy_options::overwrite_existing, ec);
      done = !ec;
      if (!done) reason = "The file " + choice.pdfFile + " could not be written: " + ec.message() + ".";
    } else {
      done = textToPdf(file, choice.pdfFile, reason);
    }
    if (done) MESSAGE("The printout was saved as " + choice.pdfFile + ".", "Print", Icon::Information);
  } else {
    done = sendToPrinter(file, choice, title, reason);
  }
  if (!done && why) *why = reason;
  return done;
}

}  // namespace ov::ui
