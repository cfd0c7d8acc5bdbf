// Where laid-out pages go: a printer chosen in the print dialog (through the system's `lp` command)
// or a PDF file, the preview window, and the handling of copies for printers that cannot make them.
//
// The preview and the printer are seams: the program uses the preview window and `lp`; tests
// install their own to keep the pages and answer as a user would.
//
// Threading: GUI thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/report/page.h"
#include "platform/report/page_queue.h"
#include "platform/rt/err.h"

namespace ov::report {

// The process-wide printer settings that Print Setup changes.
struct PrinterSettings {
  std::string name;   // "" = the system's default printer
  int copies = 1;
  bool collate = false;
  bool chosen = false;  // Print Setup chose the printer: printing asks no more
  std::string pdfFile;  // Print Setup chose printing to this PDF file
};

// Print Setup: the print dialog preset with PRINTER(); false when it was cancelled.
bool PrintSetup();
PrinterSettings& PRINTER();

class PrintSink {
 public:
  virtual ~PrintSink() = default;
  // Whether the printer makes several copies by itself.
  virtual bool supportsCopies() = 0;
  // Prints the pages `copies` times; an error text names what failed (empty when the user
  // cancelled).
  virtual bool print(const PageSource& pages, int copies, std::string_view title, std::string& error) = 0;
};

class PreviewHost {
 public:
  virtual ~PreviewHost() = default;
  // Shows the pages; 1 when the user chose to print them, 2 when the preview was closed.
  virtual int preview(const PageSource& pages, std::string_view title, int option) = 0;
};

PrintSink& printSink();
void setPrintSink(PrintSink* sink);  // nullptr: back to `lp`
PreviewHost& previewHost();
void setPreviewHost(PreviewHost* host);  // nullptr: back to the preview window

// The printer through `lp` ("lp [-d printer] -n copies -t title file.pdf"); OV_LP names another
// program with the same options. Unless Print Setup chose already, the print dialog asks for the
// printer (or a PDF file, which is all it offers on a system without printers).
class LpPrintSink : public PrintSink {
 public:
  bool supportsCopies() override { return true; }
  bool print(const PageSource& pages, int copies, std::string_view title, std::string& error) override;
};

// SUPPORTED(copies): the printer makes copies itself.
bool SUPPORTED();
// PRINTPREVIEW: shows the pages; answers 1 when the user chose to print. The preview window draws
// the pages it shows when it shows them and keeps only a few drawn.
int PRINTPREVIEW(const PageSource& pages, std::string_view title, int option = 0);
int PRINTPREVIEW(const std::vector<Page>& pages, std::string_view title, int option = 0);
// HANDLECOPIES: the pages repeated for `copies` copies, collated (1..n, 1..n) or not (1,1, 2,2);
// CopiedPages (page_queue.h) does the same without copying the pages.
std::vector<Page> HANDLECOPIES(const std::vector<Page>& pages, int copies, bool collate);

}  // namespace ov::report
