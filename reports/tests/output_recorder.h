// Takes the place of the preview window and the printer in tests: keeps every page set shown or
// printed, writes it to a PDF in the test's folder and reads its text back with pdftotext.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/report/output.h"
#include "platform/report/render.h"
#include "platform/report/tests/pdf_text.h"

namespace ov::reports::testing {

class OutputRecorder : public report::PreviewHost, public report::PrintSink {
 public:
  struct Shown {
    std::string title;
    int option = 0;
    int pages = 0;
    int pdfPages = 0;
    std::string text;  // the PDF's text (pdftotext -layout)
  };

  explicit OutputRecorder(std::filesystem::path folder) : m_folder(std::move(folder)) {
    report::setPreviewHost(this);
    report::setPrintSink(this);
  }
  ~OutputRecorder() override {
    report::setPreviewHost(nullptr);
    report::setPrintSink(nullptr);
  }

  // What the preview answers: 1 prints, 2 closes.
  int previewAnswer = 2;
  bool copiesSupported = true;
  bool printFails = false;  // the printer refuses the pages

  std::vector<Shown> previews, printed;
  std::vector<int> printedCopies;

  int preview(const report::PageSource& pages, std::string_view title, int option) override {
    previews.push_back(record(pages, title, option));
    return previewAnswer;
  }
  bool supportsCopies() override { return copiesSupported; }
  bool print(const report::PageSource& pages, int copies, std::string_view title, std::string& error) override {
    if (printFails) {
      error = "The print command failed with exit code 1";
      return false;
    }
    printed.push_back(record(pages, title, 0));
    printedCopies.push_back(copies);
    return true;
  }

 private:
  Shown record(const report::PageSource& pages, std::string_view title, int option) {
    Shown s;
    s.title = std::string(title);
    s.option = option;
    s.pages = static_cast<int>(pages.size());
    // Every report shown or printed is checked for texts laid over each other.
    for (size_t i = 0; i < pages.size(); ++i)
      for (const std::string& clash : report::overlappingTexts(pages.at(i))) ADD_FAILURE() << s.title << ": " << clash;
    const std::string path = (m_folder / ("out" + std::to_string(m_count++) + ".pdf")).string();
    if (report::writePdf(pages, path, s.title)) {
      s.pdfPages = report::test::pdfPages(path);
      s.text = report::test::pdfText(path);
      // OV_KEEP_REPORTS=folder keeps a copy of every PDF, to look at.
      if (const char* keep = std::getenv("OV_KEEP_REPORTS")) {
        std::error_code ec;
        std::filesystem::copy_file(path, std::filesystem::path(keep) / (s.title + "-" + std::to_string(m_count) + ".pdf"),
                                   std::filesystem::copy_options::overwrite_existing, ec);
      }
    }
    return s;
  }

  std::filesystem::path m_folder;
  int m_count = 0;
};

// The lines of a text that contain `needle`, in order.
inline std::vector<std::string> linesWith(const std::string& text, const std::string& needle) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.find(needle) != std::string::npos) out.push_back(line);
    start = end + 1;
  }
  return out;
}

// Where `needle` first stands in `text`, npos when absent.
inline size_t at(const std::string& text, const std::string& needle) { return text.find(needle); }

}  // namespace ov::reports::testing
