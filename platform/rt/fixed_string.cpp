#include "fixed_string.h"

#include "text.h"

namespace ov::rt {

size_t utf8CutLength(std::string_view s, size_t max) {
  if (s.size() <= max) return s.size();
  size_t n = max;
  // Step back over continuation bytes (10xxxxxx) to the lead byte of the cut character.
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

std::string_view clipView(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0')) --n;
  return s.substr(0, n);
}

int compareText(std::string_view a, std::string_view b, bool caseless) {
  a = clipView(a);
  b = clipView(b);
  if (caseless) {
    std::string ua = UPPER(a), ub = UPPER(b);
    int c = ua.compare(ub);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace ov::rt
