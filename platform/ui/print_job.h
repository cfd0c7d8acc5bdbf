// Printing a finished document (a PDF or a text file). The print dialog lists the system's printers
// (through CUPS) and offers printing to a PDF file; a printer gets the file through "lp -d printer
// -n copies", a PDF file is written where the user chose. Tests put a spooler of their own in the
// dialog's place.
//
// Threading: GUI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ov::ui {

// Takes the file; true when the spooler accepted the job.
using PrintSpooler = std::function<bool(const std::string& file)>;

// Replaces the spooler; an empty function restores the print dialog.
void setPrintSpooler(PrintSpooler spooler);

// Prints `file` (titled `title` in the dialog and the printer's queue). True when it was printed or
// saved, or when the user cancelled the dialog; false when printing failed, with the reason (the
// print command's own message where it gave one) in `why`.
bool spoolFile(const std::string& file, std::string* why = nullptr, std::string_view title = {});

// The choice the print dialog returns.
struct PrintChoice {
  std::string printer;  // "" with a PDF file
  std::string pdfFile;  // where to write the PDF, or ""
  int copies = 1;
};

// Shows the print dialog; false when it was cancelled.
bool choosePrinter(std::string_view title, PrintChoice& choice);

// Hands a PDF or text file to `lp` for the chosen printer; false with lp's reason in `why`.
bool sendToPrinter(const std::string& file, const PrintChoice& choice, std::string_view title, std::string& why);

}  // namespace ov::ui
