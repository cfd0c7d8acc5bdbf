#include "platform/files/detail/key_codec.h"

#include <cstring>
#include <memory>

#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::db::detail {
namespace {

// Event bytes of the text encoding. At each position a text has either ended (it goes on as
// blanks), or has k >= 0 blanks followed by a character d. Against the end, a run of blanks
// followed by a character below the blank sorts lower, one above it sorts higher; among runs
// followed by a higher character the longer run sorts lower, among runs followed by a lower
// character the longer run sorts higher.
constexpr unsigned char kLowRun = 0x01;   // then k (2 bytes), then d < ' '
constexpr unsigned char kEnd = 0x02;
constexpr unsigned char kHighRun = 0x20;  // then 0xFFFF - k (2 bytes), then d > ' '
// A character above the blank with no blanks before it is written as itself (0x21..0xFF).

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;

char* put16(char* p, unsigned v) {
  *p++ = static_cast<char>((v >> 8) & 0xFF);
  *p++ = static_cast<char>(v & 0xFF);
  return p;
}

void invertFrom(std::string& out, size_t start) {
  for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~static_cast<unsigned char>(out[i]));
}

bool isText(rt::FieldType t) {
  return t == rt::FieldType::String || t == rt::FieldType::CString || t == rt::FieldType::Memo ||
         t == rt::FieldType::Blob;
}

void encodePart(const KeyLayout::Part& part, bool caseSensitive, const void* buffer, std::string& out) {
  const rt::FieldDesc& f = *part.field;
  if (isText(f.type)) {
    const char* p = static_cast<const char*>(buffer) + f.memberOffset;
    std::string_view raw = f.type == rt::FieldType::CString ? std::string_view(p, ::strnlen(p, f.width))
                                                            : std::string_view(p, f.width);
    encodeText(raw, caseSensitive, part.descending, out);
  } else if (f.type == rt::FieldType::Real || f.type == rt::FieldType::SReal || f.type == rt::FieldType::Decimal) {
    encodeNumber(rt::fieldNumber(buffer, f), part.descending, out);
  } else {
    encodeInteger(static_cast<int64_t>(rt::fieldNumber(buffer, f)), part.descending, out);
  }
}

}  // namespace

void encodeText(std::string_view text, bool caseSensitive, bool descending, std::string& out) {
  text = rt::clipView(text);
  // Keys are encoded for every record written and every key compared: ASCII text (the common
  // case) is upper-cased on the way, other text through the Unicode tables first.
  uint64_t high = 0;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, text.data() + i, 8);
    high |= w;
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  const bool ascii = (high & kHighBits) == 0;
  const bool foldAscii = ascii && !caseSensitive;
  if (!ascii && !caseSensitive) {
    thread_local std::string upper;
    upper = rt::UPPER(text);
    text = rt::clipView(upper);
  }
  // At most four bytes a character and the end; written into a buffer on the stack (a heap one
  // for long texts) and appended at once, so `out` is never filled only to be overwritten.
  char local[1024];
  std::unique_ptr<char[]> heap;
  const size_t most = 4 * text.size() + 1;
  char* const buf = most <= sizeof local ? local : (heap.reset(new char[most]), heap.get());
  char* p = buf;
  const char* s = text.data();
  const char* const e = s + text.size();
  while (s < e) {
    if (ascii) {
      // Eight characters at a time while none is a blank or below it: each is itself,
      // upper-cased. No byte is 0x80 or above, so no sum carries into the next byte.
      while (e - s >= 8) {
        uint64_t w;
        std::memcpy(&w, s, 8);
        const uint64_t low = ~(w + kOnes * (0x80 - 0x21)) & kHighBits;  // the bytes <= ' '
        if (foldAscii) w -= ((w + kOnes * (0x80 - 'a')) & ~(w + kOnes * (0x80 - 'z' - 1)) & kHighBits) >> 2;
        std::memcpy(p, &w, 8);  // room: four bytes are set aside a character, and eight are left
        const size_t n = low ? static_cast<size_t>(__builtin_ctzll(low)) / 8 : 8;
        p += n;
        s += n;
        if (n < 8) break;
      }
      if (s == e) break;
    }
    unsigned char d = static_cast<unsigned char>(*s++);
    if (d > ' ') {  // a character with no blanks before it: itself
      if (foldAscii && d >= 'a' && d <= 'z') d = static_cast<unsigned char>(d - 'a' + 'A');
      *p++ = static_cast<char>(d);
      continue;
    }
    size_t k = 0;
    while (d == ' ') {  // clipped: a run of blanks ends in a character
      ++k;
      d = static_cast<unsigned char>(*s++);
    }
    if (k > 0xFFFF) k = 0xFFFF;
    if (d < ' ') {
      *p++ = static_cast<char>(kLowRun);
      p = put16(p, static_cast<unsigned>(k));
    } else {
      if (foldAscii && d >= 'a' && d <= 'z') d = static_cast<unsigned char>(d - 'a' + 'A');
      *p++ = static_cast<char>(kHighRun);
      p = put16(p, 0xFFFF - static_cast<unsigned>(k));
    }
    *p++ = static_cast<char>(d);
  }
  *p++ = static_cast<char>(kEnd);
  if (descending)
    for (char* q = buf; q < p; ++q) *q = static_cast<char>(~static_cast<unsigned char>(*q));
  out.append(buf, static_cast<size_t>(p - buf));
}

void encodeNumber(double value, bool descending, std::string& out) {
  if (value == 0) value = 0;  // -0 sorts as 0
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = (bits & (1ULL << 63)) ? ~bits : bits | (1ULL << 63);
  size_t start = out.size();
  for (int shift = 56; shift >= 0; shift -= 8) out += static_cast<char>((bits >> shift) & 0xFF);
  if (descending) invertFrom(out, start);
}

void encodeInteger(int64_t value, bool descending, std::string& out) {
  // A length byte orders the sizes: negatives below 0x80, the longer the lower; non-negatives
  // from 0x80, the longer the higher. The value's bytes follow big-endian, a negative's as they
  // are in two's complement: -257 is 7D FE FF, -256 7E 00, -2 7E FE, -1 7F, 0 80, 256 82 01 00.
  uint64_t magnitude = value < 0 ? ~static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  int len = 0;
  while (len < 8 && (magnitude >> (8 * len)) != 0) ++len;
  char buf[9];
  buf[0] = static_cast<char>(value < 0 ? 0x7F - len : 0x80 + len);
  uint64_t bits = value < 0 ? ~magnitude : magnitude;
  for (int i = 0; i < len; ++i) buf[1 + i] = static_cast<char>((bits >> (8 * (len - 1 - i))) & 0xFF);
  if (descending)
    for (int i = 0; i <= len; ++i) buf[i] = static_cast<char>(~static_cast<unsigned char>(buf[i]));
  out.append(buf, static_cast<size_t>(len) + 1);
}

bool resolveKey(const KeyDecl& key, const rt::RecordDesc& record, KeyLayout& out, std::string& missing) {
  out.parts.clear();
  out.caseSensitive = key.caseSensitive;
  for (const KeyPart& part : key.parts) {
    const rt::FieldDesc* f = record.find(part.field);
    if (!f) {
      missing = part.field;
      return false;
    }
    out.parts.push_back({f, part.descending});
  }
  return true;
}

std::string encodeKey(const KeyLayout& key, const void* buffer) {
  return encodeKeyPrefix(key, buffer, key.parts.size());
}

std::string encodeKeyPrefix(const KeyLayout& key, const void* buffer, size_t parts) {
  std::string out;
  for (size_t i = 0; i < parts && i < key.parts.size(); ++i) encodePart(key.parts[i], key.caseSensitive, buffer, out);
  return out;
}

}  // namespace ov::db::detail
