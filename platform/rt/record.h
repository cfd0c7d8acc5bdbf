// Descriptors of record buffers and groups: what binding by name needs (filters, the expression
// evaluator, CSV, explorer columns, the globals dump, the table layer's columns).
//
// A record is an ordinary struct of fixed members (String<N>, CString<N>, integers, doubles);
// its descriptor table lists each field with the name the data declarations give it
// ("SCH:Date"), its runtime type, its declared width in bytes, its byte offset in the declared
// layout and the offset of the C++ member. A test per record checks that the widths add up to
// the declared record size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ov::rt {

enum class FieldType : uint8_t {
  String,    // String<N>, blank-padded
  CString,   // CString<N>, zero-terminated
  Byte,      // uint8_t
  Short,     // int16_t
  UShort,    // uint16_t
  Long,      // int32_t
  ULong,     // uint32_t
  Real,      // double
  SReal,     // float
  Decimal,   // double shown with `decimals` places
  Date,      // int32_t day number
  Time,      // int32_t centiseconds + 1
  Memo,      // std::string held beside the record (text column)
  Blob,      // std::string of bytes (blob column)
};

struct FieldDesc {
  const char* name;       // as declared, with its prefix: "SCH:Date"
  FieldType type;
  uint32_t width;         // declared bytes (String/CString: N; Long: 4; Memo: its maximum size)
  uint32_t layoutOffset;  // byte offset in the declared layout
  size_t memberOffset;    // offsetof() in the C++ struct
  uint16_t decimals = 0;  // Decimal places, or 0
  uint16_t dim = 1;       // array fields: the number of elements (each `width` bytes)
};

struct RecordDesc {
  const char* prefix;     // "SCH"
  std::span<const FieldDesc> fields;
  uint32_t declaredSize;  // bytes of the declared layout

  // Finds a field by name, ignoring case, with or without the prefix ("SCH:Date" or "Date").
  const FieldDesc* find(std::string_view name) const;
};

// Reads or writes one field of a record at `base` through its descriptor, as text (numbers in
// plain decimal form) or as a number (text fields give their numeric value, 0 when not numeric).
std::string fieldText(const void* base, const FieldDesc& f, int index = 0);
double fieldNumber(const void* base, const FieldDesc& f, int index = 0);
void setFieldText(void* base, const FieldDesc& f, std::string_view text, int index = 0);
void setFieldNumber(void* base, const FieldDesc& f, double value, int index = 0);

// Sum of the declared widths (times dimensions) of the fields.
uint32_t layoutWidth(const RecordDesc& rec);

}  // namespace ov::rt
