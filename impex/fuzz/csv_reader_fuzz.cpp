// Reads arbitrary bytes as a CSV file. Every record must move the reader on, the records of a
// file that reads to its end must account for every byte of it, and the fields read, written
// back as text fields, must read again as one record with the same fields: the writer clips a
// text the way the runtime clips one (trailing blanks and NULs), nothing else changes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "impex/csv.h"
#include "platform/rt/fixed_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using ov::impex::CsvReader;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  CsvReader reader(text);
  ov::impex::CsvRecord rec;
  size_t bytes = 0;
  int records = 0;
  CsvReader::Result r;
  while ((r = reader.next(rec)) == CsvReader::Result::Record) {
    if (++records > 100000 || rec.bytes == 0) std::abort();  // the reader must move on
    bytes += rec.bytes;
    if (rec.fields.empty()) continue;
    ov::impex::CsvLineWriter w;
    w.start();
    for (const auto& f : rec.fields) w.appendText(f.text);
    const std::string line = w.line() + std::string(ov::impex::kCsvLineEnd);
    CsvReader again(line);
    ov::impex::CsvRecord back;
    if (again.next(back) != CsvReader::Result::Record) std::abort();
    if (back.bytes != line.size() || back.fields.size() != rec.fields.size()) std::abort();
    for (size_t i = 0; i < rec.fields.size(); ++i)
      if (!back.fields[i].quoted || back.fields[i].text != ov::rt::clipView(rec.fields[i].text)) std::abort();
    if (again.next(back) != CsvReader::Result::End) std::abort();
  }
  if (r == CsvReader::Result::End && bytes != size) std::abort();
  if (r == CsvReader::Result::Malformed && reader.error().rfind("Line ", 0) != 0) std::abort();
  return 0;
}
