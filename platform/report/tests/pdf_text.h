// Reading back a PDF's text with poppler's pdftotext, for tests.
#pragma once

#include <cstdio>
#include <string>

namespace ov::report::test {

// The text of the PDF at `path` in layout mode; "" when pdftotext fails.
inline std::string pdfText(const std::string& path) {
  std::string out;
  std::string cmd = "pdftotext -layout '" + path + "' - 2>/dev/null";
  if (FILE* f = ::popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    ::pclose(f);
  }
  return out;
}

// The number of pages pdfinfo reports; -1 when it fails.
inline int pdfPages(const std::string& path) {
  std::string cmd = "pdfinfo '" + path + "' 2>/dev/null | sed -n 's/^Pages: *//p'";
  int pages = -1;
  if (FILE* f = ::popen(cmd.c_str(), "r")) {
    if (std::fscanf(f, "%d", &pages) != 1) pages = -1;
    ::pclose(f);
  }
  return pages;
}

}  // namespace ov::report::test
