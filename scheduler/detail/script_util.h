// Small helpers of the script interpreter. Internal to scheduler/.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datalib/globals.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"
#include "scheduler/event_log.h"

namespace ov::scheduler::detail {

// A log line written only while DEBUG.ACTIVE is set.
inline void debugLog(std::string_view text, std::string_view label) {
  if (files::DEBUG.ACTIVE) WriteLog(text, label);
}

// The number at the start of `s` after leading blanks: an optional sign, then digits with at most
// one decimal point; 0 when there are none. "100 Y" gives 100, "-5" gives -5.
inline double leadingNumber(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  double value = 0, scale = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.' && scale == 0) {
      scale = 1;
    } else if (c >= '0' && c <= '9') {
      if (scale == 0) {
        value = value * 10 + (c - '0');
      } else {
        scale /= 10;
        value += (c - '0') * scale;
      }
    } else {
      break;
    }
  }
  return negative ? -value : value;
}

// A clipped, upper-cased copy.
inline std::string upperClip(std::string_view s) { return rt::UPPER(rt::clipView(s)); }

// `s` cut to at most `width` bytes, never inside a character.
inline std::string cut(std::string_view s, size_t width) {
  return std::string(s.substr(0, rt::utf8CutLength(s, width)));
}

inline bool startsWithCaseless(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = s[i], b = prefix[i];
    if (a >= 'a' && a <= 'z') a = char(a - 32);
    if (b >= 'a' && b <= 'z') b = char(b - 32);
    if (a != b) return false;
  }
  return true;
}

}  // namespace ov::scheduler::detail
