#include "netlib/net_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "netlib/detail/log.h"
#include "platform/rt/text.h"

namespace ov::net {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexUpper[] = "0123456789ABCDEF";
constexpr size_t kQpEncodeMax = 3121;
constexpr long kQpLineMax = 76;

int base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

int hexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The Q encoding of RFC 2047: "_" is a blank, "=XX" a byte; a broken escape stays as written.
std::string decodeQWord(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// Converts `bytes` from `charset` to UTF-8; the bytes unchanged when the charset is unknown, already
// UTF-8 or US-ASCII, or the text does not convert.
std::string toUtf8(std::string_view charset, const std::string& bytes) {
  std::string cs = rt::UPPER(charset);
  if (cs.empty() || cs == "UTF-8" || cs == "UTF8" || cs == "US-ASCII" || cs == "ASCII") return bytes;
  iconv_t cd = ::iconv_open("UTF-8", cs.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return bytes;
  std::string out(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  size_t rc = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
  ::iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || inLeft != 0) return bytes;
  out.resize(out.size() - outLeft);
  return out;
}

// One encoded word at `pos` ("=?" found there): its decoded text and the position after its "?=".
bool readEncodedWord(std::string_view s, size_t pos, std::string& decoded, size_t& end) {
  size_t q1 = s.find('?', pos + 2);
  if (q1 == std::string_view::npos || q1 + 2 >= s.size() || s[q1 + 2] != '?') return false;
  char enc = s[q1 + 1];
  if (enc != 'Q' && enc != 'q' && enc != 'B' && enc != 'b') return false;
  size_t close = s.find("?=", q1 + 3);
  if (close == std::string_view::npos) return false;
  std::string_view charset = s.substr(pos + 2, q1 - pos - 2);
  if (charset.empty() || charset.find_first_of(" \t") != std::string_view::npos) return false;
  if (size_t star = charset.find('*'); star != std::string_view::npos) charset = charset.substr(0, star);  // language
  std::string_view text = s.substr(q1 + 3, close - q1 - 3);
  std::string bytes;
  if (enc == 'Q' || enc == 'q') {
    bytes = decodeQWord(text);
  } else {
    long n = 0;
    bytes = NetBase64Decode(text, n);
  }
  decoded = toUtf8(charset, bytes);
  end = close + 2;
  return true;
}

}  // namespace

std::string NetBase64Encode(std::string_view bytes, long& length) {
  std::string out;
  out.reserve(bytes.size() / 57 * 78 + 80);
  int lineGroups = 0;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    size_t n = std::min<size_t>(3, bytes.size() - i);
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (n > 1) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (n > 2) v |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    out += n > 2 ? kAlphabet[v & 63] : '=';
    if (++lineGroups == 19) {  // 76 characters
      out += "\r\n";
      lineGroups = 0;
    }
  }
  length = static_cast<long>(out.size());
  return out;
}

std::string NetBase64Decode(std::string_view text, long& length) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  unsigned group = 0;
  int filled = 0;
  int groupPads = 0;
  int padsCounted = 0;
  for (unsigned char c : text) {
    int v = base64Value(c);
    if (v < 0) {
      if (c != '=') continue;
      v = 0;
      if (padsCounted < 2) {
        ++padsCounted;
        ++groupPads;
      }
    }
    group = (group << 6) | static_cast<unsigned>(v);
    if (++filled == 4) {
      const char bytes[3] = {static_cast<char>(group >> 16), static_cast<char>(group >> 8), static_cast<char>(group)};
      out.append(bytes, 3 - std::min(groupPads, 2));
      group = 0;
      filled = 0;
      groupPads = 0;
    }
  }
  length = static_cast<long>(out.size());
  return out;
}

std::string NetQuotedPrintableEncode(std::string_view bytes, long& length, long& lineLength) {
  std::string out;
  std::string piece;
  for (size_t i = 0; i < bytes.size(); ++i) {
    // The output of one byte goes into `piece` first, so that a byte that does not fit is left out whole.
    long line = lineLength;
    piece.clear();
    auto softBreak = [&](long needed) {
      if (line + needed > kQpLineMax) {
        piece += "=\r\n";
        line = 0;
      }
    };
    auto c = static_cast<unsigned char>(bytes[i]);
    bool pair = c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
    bool crlfFollows = i + 2 < bytes.size() && bytes[i + 1] == '\r' && bytes[i + 2] == '\n';
    bool literal = c == ' ' || c == '\t' || (c >= 33 && c <= 60) || (c >= 62 && c <= 126);
    if (pair) {
      piece += "\r\n";
      line = 0;
    } else if (literal && !((c == ' ' || c == '\t') && crlfFollows)) {
      softBreak(2);
      piece += static_cast<char>(c);
      ++line;
    } else {
      softBreak(4);
      piece += '=';
      piece += kHexUpper[c >> 4];
      piece += kHexUpper[c & 15];
      line += 3;
    }
    if (out.size() + piece.size() > kQpEncodeMax) {
      detail::logLine("NetQuotedPrintableEncode", "Error. String has run out of room.", detail::kLevelError);
      break;
    }
    out += piece;
    lineLength = line;
    if (pair) ++i;
  }
  length = static_cast<long>(out.size());
  return out;
}

std::string NetQuotedPrintableDecode(std::string_view text, long& length) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '=') {
      out += c;
      continue;
    }
    if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {  // soft line break
      i += 2;
      continue;
    }
    int hi = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
    int lo = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
    out += hi >= 0 && lo >= 0 ? static_cast<char>(hi * 16 + lo) : '_';
    i += 2;
  }
  length = static_cast<long>(out.size());
  return out;
}

std::string NetUUDecode(std::string_view line, long& count) {
  count = 0;
  if (line.empty()) return {};
  int n = static_cast<unsigned char>(line[0]) - 32;
  if (n <= 0 || n >= 64) return {};
  auto value = [&](size_t pos) -> unsigned {
    unsigned char c = pos < line.size() ? static_cast<unsigned char>(line[pos]) : ' ';
    return static_cast<unsigned>(c - 32) & 63;
  };
  std::string out;
  int groups = (n + 2) / 3;
  for (int g = 0; g < groups; ++g) {
    size_t p = 1 + static_cast<size_t>(g) * 4;
    unsigned v = value(p) << 18 | value(p + 1) << 12 | value(p + 2) << 6 | value(p + 3);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
  }
  out.resize(static_cast<size_t>(n));
  count = n;
  return out;
}

std::string NetCharSet(std::string_view value) {
  size_t first = value.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  std::string_view s = value.substr(first, value.find_last_not_of(' ') - first + 1);
  if (s.find("=?") == std::string_view::npos) return std::string(s);
  std::string out;
  size_t pos = 0;
  bool lastWasWord = false;
  while (pos < s.size()) {
    size_t start = s.find("=?", pos);
    if (start == std::string_view::npos) {
      out.append(s.substr(pos));
      break;
    }
    std::string decoded;
    size_t end = 0;
    if (!readEncodedWord(s, start, decoded, end)) {
      out.append(s.substr(pos, start + 2 - pos));
      pos = start + 2;
      lastWasWord = false;
      continue;
    }
    std::string_view between = s.substr(pos, start - pos);
    bool onlyBlanks = between.find_first_not_of(" \t\r\n") == std::string_view::npos;
    if (!(lastWasWord && onlyBlanks)) out.append(between);
    out += decoded;
    pos = end;
    lastWasWord = true;
  }
  return out;
}

std::string NetGetTimeZone() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  long offsetMinutes = 0;
  if (::localtime_r(&now, &local)) offsetMinutes = local.tm_gmtoff / 60;
  long magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[16];
  std::snprintf(text, sizeof text, "%c%02ld%02ld", offsetMinutes < 0 ? '-' : '+', magnitude / 60 % 100, magnitude % 60);
  return text;
}

}  // namespace ov::net
