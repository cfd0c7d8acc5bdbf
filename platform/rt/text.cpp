#include "text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>

#include <clocale>
#include <cwctype>
#include <locale.h>

#include "detail/number_text.h"
#include "detail/utf8.h"
#include "fixed_string.h"

namespace ov::rt {
namespace {

locale_t utf8Locale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
  }();
  return loc;
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
    size_t len = detail::utf8Decode(s, i, cp);
    if (len == 0) {
      out += s[i++];
      continue;
    }
    detail::utf8Encode(map(cp, false), out);
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

namespace ov::rt {

namespace detail {

bool decimalDigits(double value, int places, std::string& whole, std::string& fraction) {
  if (!std::isfinite(value)) return false;
  if (places < 0) places = 0;
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
  if (ec != std::errc()) return false;
  std::string_view text(buf, static_cast<size_t>(end - buf));
  size_t dot = text.find('.');
  whole.assign(text.substr(0, dot));
  std::string frac(dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1));
  bool roundUp = frac.size() > static_cast<size_t>(places) && frac[static_cast<size_t>(places)] >= '5';
  frac.resize(static_cast<size_t>(places), '0');
  if (roundUp) {
    // Carry through the fraction, then the whole part.
    int i = places - 1;
    for (; i >= 0; --i) {
      if (frac[static_cast<size_t>(i)] == '9') {
        frac[static_cast<size_t>(i)] = '0';
      } else {
        ++frac[static_cast<size_t>(i)];
        break;
      }
    }
    if (i < 0) {
      int j = static_cast<int>(whole.size()) - 1;
      for (; j >= 0; --j) {
        if (whole[static_cast<size_t>(j)] == '9') {
          whole[static_cast<size_t>(j)] = '0';
        } else {
          ++whole[static_cast<size_t>(j)];
          break;
        }
      }
      if (j < 0) whole.insert(whole.begin(), '1');
    }
  }
  if (whole.empty()) whole = "0";
  fraction = std::move(frac);
  return true;
}

}  // namespace detail

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (isBlank(s[b]) || s[b] == '\0')) ++b;
  while (e > b && (isBlank(s[e - 1]) || s[e - 1] == '\0')) --e;
  return s.substr(b, e - b);
}

// A decimal number as NUMERIC accepts it, without surrounding blanks.
bool isDecimal(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == s.size();
}

// Byte range [b, e) of `s` adjusted so that it neither starts nor ends inside a character.
std::string cleanSlice(std::string_view s, size_t b, size_t e) {
  if (b >= e || b >= s.size()) return {};
  e = std::min(e, s.size());
  while (b < e && detail::isContinuation(s[b])) ++b;
  if (b >= e) return {};
  size_t n = utf8CutLength(s.substr(b), e - b);
  return std::string(s.substr(b, n));
}

std::u32string upperCodePoints(std::string_view s) {
  std::string up = UPPER(s);
  std::u32string out;
  out.reserve(up.size());
  for (size_t i = 0; i < up.size();) {
    char32_t cp;
    size_t len = detail::utf8Decode(up, i, cp);
    if (len == 0) {
      cp = static_cast<unsigned char>(up[i]);
      len = 1;
    }
    out += cp;
    i += len;
  }
  return out;
}

}  // namespace

std::string CLIP(std::string_view s) { return std::string(clipView(s)); }

std::string LEFT(std::string_view s) {
  size_t lead = 0;
  while (lead < s.size() && s[lead] == ' ') ++lead;
  std::string out(s.substr(lead));
  out.append(lead, ' ');
  return out;
}

std::string LEFT(std::string_view s, size_t width) {
  size_t lead = 0;
  while (lead < s.size() && s[lead] == ' ') ++lead;
  std::string_view rest = s.substr(lead);
  std::string out(rest.substr(0, utf8CutLength(rest, width)));
  out.append(width - out.size(), ' ');
  return out;
}

std::string SUB(std::string_view s, int start, int length) {
  if (length <= 0 || start == 0) return {};
  int64_t size = static_cast<int64_t>(s.size());
  int64_t b = start > 0 ? start - 1 : size + start;
  int64_t e = b + length;
  if (b < 0) b = 0;
  if (b >= size || e <= b) return {};
  return cleanSlice(s, static_cast<size_t>(b), static_cast<size_t>(std::min(e, size)));
}

std::string slice(std::string_view s, int from, int to) {
  if (from < 1) from = 1;
  if (to < from) return {};
  return cleanSlice(s, static_cast<size_t>(from - 1), static_cast<size_t>(to));
}

int INSTRING(std::string_view part, std::string_view s, int step, int start) {
  if (part.empty() || step == 0 || part.size() > s.size()) return 0;
  int64_t last = static_cast<int64_t>(s.size() - part.size()) + 1;  // last 1-based position that fits
  int64_t pos = start;
  if (pos == 0) pos = step > 0 ? 1 : last;
  int64_t stride = step < 0 ? -static_cast<int64_t>(step) : step;
  for (; step > 0 ? pos <= last : pos >= 1; pos += step) {
    if (pos < 1 || pos > last) continue;
    if (s.compare(static_cast<size_t>(pos - 1), part.size(), part) == 0)
      return static_cast<int>((pos - 1) / stride + 1);
  }
  return 0;
}

bool NUMERIC(std::string_view s) { return isDecimal(trimBlanks(s)); }

double textToNumber(std::string_view s) {
  std::string_view t = trimBlanks(s);
  if (!isDecimal(t)) return 0;
  if (t.front() == '+') t.remove_prefix(1);
  double v = 0;
  auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: saturate rather than give an arbitrary value.
    bool negative = t.front() == '-';
    size_t e = t.find_first_of("eE");
    bool tiny = e != std::string_view::npos && t[e + 1] == '-';
    return tiny ? 0.0 : (negative ? -HUGE_VAL : HUGE_VAL);
  }
  (void)ptr;
  return ec == std::errc() ? v : 0;
}

std::string numberToText(double value, int decimals) {
  if (std::isnan(value)) return "0";
  if (decimals >= 0) {
    std::string whole, frac;
    if (!detail::decimalDigits(value, decimals, whole, frac)) return "0";
    bool isZero = whole.find_first_not_of('0') == std::string::npos &&
                  frac.find_first_not_of('0') == std::string::npos;
    std::string out = value < 0 && !isZero ? "-" : "";
    out += whole;
    if (decimals > 0) out += "." + frac;
    return out;
  }
  if (value == 0) return "0";  // also -0
  char buf[400];
  std::to_chars_result r;
  if (std::fabs(value) < 1e21 && std::fabs(value) >= 1e-7)
    r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  else
    r = std::to_chars(buf, buf + sizeof buf, value);
  if (r.ec != std::errc()) return "0";
  return std::string(buf, r.ptr);
}

std::string CHR(long code) {
  if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  std::string out;
  detail::utf8Encode(static_cast<char32_t>(code), out);
  return out;
}

long VAL(std::string_view s) {
  if (s.empty()) return 0;
  char32_t cp;
  if (detail::utf8Decode(s, 0, cp) == 0) return static_cast<unsigned char>(s[0]);
  return static_cast<long>(cp);
}

bool wildcardMatch(std::string_view text, std::string_view pattern) {
  std::u32string t = upperCodePoints(text), p = upperCodePoints(pattern);
  size_t ti = 0, pi = 0;
  size_t starP = std::u32string::npos, starT = 0;
  while (ti < t.size()) {
    if (pi < p.size() && (p[pi] == U'?' || p[pi] == t[ti])) {
      ++ti;
      ++pi;
    } else if (pi < p.size() && p[pi] == U'*') {
      starP = pi++;
      starT = ti;
    } else if (starP != std::u32string::npos) {
      // Let the last star take one more character and try again from there.
      pi = starP + 1;
      ti = ++starT;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == U'*') ++pi;
  return pi == p.size();
}

}  // namespace ov::rt
