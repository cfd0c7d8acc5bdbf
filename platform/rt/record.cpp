#include "record.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fixed_string.h"
#include "text.h"

namespace ov::rt {
namespace {

char* at(void* base, const FieldDesc& f, int index) {
  return static_cast<char*>(base) + f.memberOffset + static_cast<size_t>(index) * f.width;
}
const char* at(const void* base, const FieldDesc& f, int index) {
  return static_cast<const char*>(base) + f.memberOffset + static_cast<size_t>(index) * f.width;
}

template <typename T>
T load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
void store(char* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

std::string numberText(double v, int decimals) { return numberToText(v, decimals > 0 ? decimals : -1); }

}  // namespace

const FieldDesc* RecordDesc::find(std::string_view name) const {
  std::string want = UPPER(name);
  for (const FieldDesc& f : fields) {
    std::string full = UPPER(f.name);
    if (full == want) return &f;
    size_t colon = full.find(':');
    if (colon != std::string::npos && full.compare(colon + 1, std::string::npos, want) == 0) return &f;
  }
  return nullptr;
}

double fieldNumber(const void* base, const FieldDesc& f, int index) {
  const char* p = at(base, f, index);
  switch (f.type) {
    case FieldType::Byte: return load<uint8_t>(p);
    case FieldType::Short: return load<int16_t>(p);
    case FieldType::UShort: return load<uint16_t>(p);
    case FieldType::Long:
    case FieldType::Date:
    case FieldType::Time: return load<int32_t>(p);
    case FieldType::ULong: return load<uint32_t>(p);
    case FieldType::Real:
    case FieldType::Decimal: return load<double>(p);
    case FieldType::SReal: return load<float>(p);
    case FieldType::String:
    case FieldType::CString:
    case FieldType::Memo:
    case FieldType::Blob: return textToNumber(fieldText(base, f, index));
  }
  return 0;
}

std::string fieldText(const void* base, const FieldDesc& f, int index) {
  const char* p = at(base, f, index);
  switch (f.type) {
    case FieldType::String: return std::string(clipView(std::string_view(p, f.width)));
    case FieldType::CString: return std::string(p, ::strnlen(p, f.width));
    case FieldType::Memo:
    case FieldType::Blob: return *reinterpret_cast<const std::string*>(p);
    default: return numberText(fieldNumber(base, f, index), f.decimals);
  }
}

void setFieldNumber(void* base, const FieldDesc& f, double v, int index) {
  char* p = at(base, f, index);
  auto whole = [&](double lo, double hi) { return static_cast<int64_t>(std::trunc(std::fmin(std::fmax(v, lo), hi))); };
  switch (f.type) {
    case FieldType::Byte: store<uint8_t>(p, static_cast<uint8_t>(whole(0, 255))); break;
    case FieldType::Short: store<int16_t>(p, static_cast<int16_t>(whole(-32768, 32767))); break;
    case FieldType::UShort: store<uint16_t>(p, static_cast<uint16_t>(whole(0, 65535))); break;
    case FieldType::Long:
    case FieldType::Date:
    case FieldType::Time: store<int32_t>(p, static_cast<int32_t>(whole(-2147483648.0, 2147483647.0))); break;
    case FieldType::ULong: store<uint32_t>(p, static_cast<uint32_t>(whole(0, 4294967295.0))); break;
    case FieldType::Real:
    case FieldType::Decimal: store<double>(p, v); break;
    case FieldType::SReal: store<float>(p, static_cast<float>(v)); break;
    default: setFieldText(base, f, numberText(v, f.decimals), index); break;
  }
}

void setFieldText(void* base, const FieldDesc& f, std::string_view text, int index) {
  char* p = at(base, f, index);
  switch (f.type) {
    case FieldType::String: {
      size_t n = utf8CutLength(text, f.width);
      std::memcpy(p, text.data(), n);
      std::memset(p + n, ' ', f.width - n);
      break;
    }
    case FieldType::CString: {
      size_t n = utf8CutLength(text, f.width - 1);
      std::memcpy(p, text.data(), n);
      std::memset(p + n, 0, f.width - n);
      break;
    }
    case FieldType::Memo:
    case FieldType::Blob: {
      auto* s = reinterpret_cast<std::string*>(p);
      s->assign(text.substr(0, f.type == FieldType::Memo ? utf8CutLength(text, f.width) : f.width));
      break;
    }
    default: setFieldNumber(base, f, textToNumber(text), index); break;
  }
}

uint32_t layoutWidth(const RecordDesc& rec) {
  uint32_t sum = 0;
  for (const FieldDesc& f : rec.fields)
    if (f.type != FieldType::Memo && f.type != FieldType::Blob) sum += f.width * f.dim;
  return sum;
}

}  // namespace ov::rt
