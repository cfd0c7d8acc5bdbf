// The explorer list's printout: which columns fit a page and in which font size, its pages (which
// the preview shows) and the PDF that holds them (headings, column headers, one line per row, a totals band).
//
// Widths are in the list's pixels; the page is 9800 units wide and a pixel takes two units per
// point of the font size. Columns that do not fit even at the smallest size are left out from the
// right; a list with no column left prints no columns rather than dividing by none.
//
// Threading: GUI thread only (the PDF is drawn with Qt).
#pragma once

#include <string>
#include <vector>

#include "platform/report/page.h"
#include "platform/rt/err.h"

namespace ov::winclasses {

constexpr int kPrintPageUnits = 9800;
constexpr int kPrintLargestFont = 8;

struct PrintFit {
  int fontSize = kPrintLargestFont;
  bool reduced = false;           // the list was too wide for the largest size
  std::vector<size_t> kept;       // the columns printed, by their index in display order
};

// `widths` and `borders` per displayed column in display order; `minFont` the smallest size.
PrintFit fitPrintColumns(const std::vector<int>& widths, const std::vector<bool>& borders, int minFont);

struct PrintColumn {
  std::string header;
  char headerJust = 'L', dataJust = 'L';  // 'L', 'C', 'R' or 'D' (decimal, printed right)
  int width = 0;                          // list pixels
  bool border = false;
};

struct PrintReport {
  std::string title, line1, line3;
  std::string date, time, font, order, filter;
  int fontSize = kPrintLargestFont;
  std::vector<PrintColumn> columns;
  std::vector<std::vector<std::string>> rows;  // cells per printed column
  std::vector<std::string> totals;             // empty: no totals band; "" under untotalled columns
};

// The printout's pages: A4 portrait, the headings on every page, a totals band after the rows.
std::vector<report::Page> layoutListReport(const PrintReport& report);

// Writes the pages to `pdfPath` (replacing the file only when it was written whole).
[[nodiscard]] rt::Err writeListReport(const std::string& pdfPath, const PrintReport& report);
[[nodiscard]] rt::Err writeListPages(const std::string& pdfPath, const std::vector<report::Page>& pages,
                                     const std::string& title);

}  // namespace ov::winclasses
