#include "text.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace ov::rt {
namespace {

locale_t utf8Locale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
  }();
  return loc;
}

// Decodes one UTF-8 character at s[i]; returns its length, or 0 when the bytes are not valid.
size_t decode(std::string_view s, size_t i, char32_t& cp) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
  for (size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  return len;
}

void encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

template <typename Map>
std::string mapCase(std::string_view s, Map map) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {  // fast path for ASCII
      out += static_cast<char>(map(c, true));
      ++i;
      continue;
    }
    char32_t cp;
    size_t len = decode(s, i, cp);
    if (len == 0) {
      out += s[i++];
      continue;
    }
    encode(map(cp, false), out);
    i += len;
  }
  return out;
}

}  // namespace

std::string UPPER(std::string_view s) {
  return mapCase(s, [](char32_t c, bool ascii) -> char32_t {
    if (ascii) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), utf8Locale()));
  });
}

std::string LOWER(std::string_view s) {
  return mapCase(s, [](char32_t c, bool ascii) -> char32_t {
    if (ascii) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8Locale()));
  });
}

}  // namespace ov::rt
