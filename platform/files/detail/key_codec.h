// Keys as byte strings that sort, compared byte by byte, in the order the key defines.
//
// Text components compare as the runtime compares fixed strings: trailing blanks don't count
// (a text compares as if padded with blanks without end), case is ignored (Unicode upper-casing)
// unless the key is case-significant. Numbers sort by value. A descending component has its
// bytes inverted. Every component's encoding is prefix-free, so components simply follow one
// another and a memcmp of two encodings orders the keys.
#pragma once

#include <string>
#include <string_view>

#include "platform/files/decl.h"
#include "platform/rt/record.h"

namespace ov::db::detail {

// Appends the encoding of one text component.
void encodeText(std::string_view text, bool caseSensitive, bool descending, std::string& out);
// Appends the encoding of one numeric component: reals in 8 bytes; integers (whole numbers of
// integer fields: bytes, longs, dates, times) in a length byte and as few bytes as they need.
void encodeNumber(double value, bool descending, std::string& out);
void encodeInteger(int64_t value, bool descending, std::string& out);

// A key's parts resolved against the record descriptor.
struct KeyLayout {
  struct Part {
    const rt::FieldDesc* field;
    bool descending;
  };
  std::vector<Part> parts;
  bool caseSensitive = false;
};

// Resolves `key` against `record`; false (and `missing` set) when a component names no field.
bool resolveKey(const KeyDecl& key, const rt::RecordDesc& record, KeyLayout& out, std::string& missing);

// The encoded key of the record at `buffer`.
std::string encodeKey(const KeyLayout& key, const void* buffer);
// Only the first `parts` components (a prefix of the key).
std::string encodeKeyPrefix(const KeyLayout& key, const void* buffer, size_t parts);

}  // namespace ov::db::detail
