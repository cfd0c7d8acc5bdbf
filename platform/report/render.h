// Drawing laid-out pages: onto any QPainter, into a PDF file, into an image.
#pragma once

#include <string>
#include <vector>

#include "platform/report/page.h"
#include "platform/report/page_queue.h"

class QPainter;
class QImage;

namespace ov::report {

// Draws `page` with the painter's coordinates in report units.
void render(QPainter& painter, const Page& page);
// Writes the pages to a PDF file (each page in its own size), reading one page at a time; false
// with `error` set on failure.
bool writePdf(const PageSource& pages, const std::string& path, const std::string& title,
              std::string* error = nullptr);
bool writePdf(const std::vector<Page>& pages, const std::string& path, const std::string& title,
              std::string* error = nullptr);
// The page as an image at `dotsPerInch`.
QImage renderImage(const Page& page, double dotsPerInch);

}  // namespace ov::report
