// Reads arbitrary bytes as a CSV file; then writes the fields read back as text fields and
// checks that they read again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "impex/csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ov::impex::CsvReader reader(text);
  ov::impex::CsvRecord rec;
  int guard = 0;
  while (reader.next(rec) == ov::impex::CsvReader::Result::Record) {
    if (++guard > 100000 || rec.bytes == 0) std::abort();  // the reader must move on
    if (rec.fields.empty()) continue;
    ov::impex::CsvLineWriter w;
    w.start();
    for (const auto& f : rec.fields) w.appendText(f.text);
    std::string line = w.line() + std::string(ov::impex::kCsvLineEnd);
    ov::impex::CsvReader again(line);
    ov::impex::CsvRecord back;
    if (again.next(back) != ov::impex::CsvReader::Result::Record) std::abort();
    // Text fields lose trailing blanks on writing, and a last field that is blank is not read.
    size_t n = rec.fields.size();
    while (n > 0 && rec.fields[n - 1].text.find_first_not_of(' ') == std::string::npos) --n;
    if (back.fields.size() < n) std::abort();
    for (size_t i = 0; i < n; ++i) {
      std::string want = rec.fields[i].text;
      while (!want.empty() && want.back() == ' ') want.pop_back();
      if (back.fields[i].text != want) std::abort();
    }
  }
  return 0;
}
