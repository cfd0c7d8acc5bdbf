// Fuzzes the exchange-file reader: any bytes as a line must parse or be refused cleanly; what
// parses must write back to a line that parses to the same record, and must convert into a step
// and back without fault.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "datalib/script_exchange.h"

using namespace ov::files;

namespace {
bool sameRecord(const ExportRec& a, const ExportRec& b) {
  return formatExchangeLine(a) == formatExchangeLine(b);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view line = input.substr(0, input.find('\n'));

  ExportRec rec;
  std::string problem;
  if (!parseExchangeLine(line, rec, &problem)) {
    if (problem.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  ExportRec again;
  if (!parseExchangeLine(formatExchangeLine(rec), again) || !sameRecord(rec, again)) std::abort();

  ScriptingRec step;
  importScriptRecord(rec, step);
  ExportRec out;
  exportScriptRecord(step, out);
  (void)formatExchangeLine(out);

  // Escaping round-trips any value that fits a column once escaped.
  std::string value(input.substr(0, 255));
  std::erase(value, '\0');  // zero bytes are dropped: they have no escape
  std::string escaped = escapeExchangeValue(value);
  if (escaped.size() > 255) std::abort();
  std::string back = unescapeExchangeValue(escaped);
  if (!value.starts_with(back)) std::abort();  // a cut value loses only its end
  return 0;
}
