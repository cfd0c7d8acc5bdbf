// The explorer list's exports: an HTML table and a comma-separated text file of the rows as the
// list shows them (its displayed columns, in display order).
//
// HTML: the title, headers and cell values are escaped ("<", ">", "&", '"'), so a value that holds
// markup shows as text. An empty cell is "&nbsp". Lines are kept under 2048 characters: a row that
// grows past 2038 goes on in a new line before the next header or value.
//
// Text: line 1 is "# Records=" and the number of data lines in seven digits; then the header line
// (when asked for) and one line per row, fields joined by the separator, lines ended by CR LF. A
// field holding the separator, a double quote, a line break or blanks at either end is written
// between double quotes with its quotes doubled, the way common CSV readers (and ov_impex) read
// it; headers follow the same rule.
//
// Both writers write beside the target and rename over it, so a failed export leaves a file of
// that name as it was.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/err.h"

namespace ov::winclasses {

// Fills `cells` with the next row's values; false when there are no more rows.
using ExportRows = std::function<bool(std::vector<std::string>& cells)>;
// Called after each row with the rows written so far.
using ExportProgress = std::function<void(int rows)>;

constexpr size_t kExportCellMax = 255;     // a cell value is cut to this many bytes
constexpr size_t kExportHtmlLineMax = 2038;  // an HTML line is broken before it grows past this

std::string htmlEscape(std::string_view text);
// One field of the text file; `separator` is one character (",").
std::string csvField(std::string_view value, std::string_view separator);

[[nodiscard]] rt::Err writeHtmlExport(const std::string& path, std::string_view title,
                                      const std::vector<std::string>& headers, bool withHeader,
                                      const ExportRows& rows, int& written, const ExportProgress& progress = {});
[[nodiscard]] rt::Err writeCsvExport(const std::string& path, std::string_view separator,
                                     const std::vector<std::string>& headers, bool withHeader,
                                     const ExportRows& rows, int& written, const ExportProgress& progress = {});

}  // namespace ov::winclasses
