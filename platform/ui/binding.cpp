#include "platform/ui/binding.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ov::ui {
namespace {

std::string numberText(double v) {
  char buf[64];
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", v);
  } else {
    std::snprintf(buf, sizeof buf, "%.15g", v);
  }
  return buf;
}

double textNumber(std::string_view s) {
  std::string t(rt::clipView(s));
  size_t b = t.find_first_not_of(' ');
  if (b == std::string::npos) return 0;
  const char* start = t.c_str() + b;
  char* end = nullptr;
  double v = std::strtod(start, &end);
  if (end == start) return 0;
  while (*end == ' ') ++end;
  return *end ? 0 : v;
}

template <typename T>
T clampWhole(double v) {
  double lo = static_cast<double>(std::numeric_limits<T>::min());
  double hi = static_cast<double>(std::numeric_limits<T>::max());
  return static_cast<T>(std::trunc(std::fmin(std::fmax(v, lo), hi)));
}

}  // namespace

bool Binding::isNumeric() const {
  switch (m_kind) {
    case Kind::None:
    case Kind::Fixed:
    case Kind::Zero:
    case Kind::StdString: return false;
    case Kind::Field:
      switch (m_field->type) {
        case rt::FieldType::String:
        case rt::FieldType::CString:
        case rt::FieldType::Memo:
        case rt::FieldType::Blob: return false;
        default: return true;
      }
    default: return true;
  }
}

size_t Binding::width() const {
  switch (m_kind) {
    case Kind::Fixed: return m_width;
    case Kind::Zero: return m_width - 1;
    case Kind::Field:
      if (m_field->type == rt::FieldType::String) return m_field->width;
      if (m_field->type == rt::FieldType::CString) return m_field->width - 1;
      return 0;
    default: return 0;
  }
}

std::string Binding::text() const {
  switch (m_kind) {
    case Kind::None: return {};
    case Kind::Fixed: return std::string(rt::clipView(std::string_view(static_cast<char*>(m_ptr), m_width)));
    case Kind::Zero: {
      const char* p = static_cast<const char*>(m_ptr);
      return std::string(p, ::strnlen(p, m_width));
    }
    case Kind::StdString: return *static_cast<std::string*>(m_ptr);
    case Kind::Field: return rt::fieldText(m_ptr, *m_field, m_index);
    default: return numberText(number());
  }
}

double Binding::number() const {
  switch (m_kind) {
    case Kind::None: return 0;
    case Kind::I32: return *static_cast<int32_t*>(m_ptr);
    case Kind::I16: return *static_cast<int16_t*>(m_ptr);
    case Kind::U8: return *static_cast<uint8_t*>(m_ptr);
    case Kind::U16: return *static_cast<uint16_t*>(m_ptr);
    case Kind::U32: return *static_cast<uint32_t*>(m_ptr);
    case Kind::I64: return static_cast<double>(*static_cast<int64_t*>(m_ptr));
    case Kind::F64: return *static_cast<double*>(m_ptr);
    case Kind::F32: return *static_cast<float*>(m_ptr);
    case Kind::Field: return rt::fieldNumber(m_ptr, *m_field, m_index);
    default: return textNumber(text());
  }
}

void Binding::setText(std::string_view s) {
  switch (m_kind) {
    case Kind::None: return;
    case Kind::Fixed: {
      char* p = static_cast<char*>(m_ptr);
      size_t n = rt::utf8CutLength(s, m_width);
      std::memcpy(p, s.data(), n);
      std::memset(p + n, ' ', m_width - n);
      return;
    }
    case Kind::Zero: {
      char* p = static_cast<char*>(m_ptr);
      size_t n = rt::utf8CutLength(s, m_width - 1);
      std::memcpy(p, s.data(), n);
      std::memset(p + n, 0, m_width - n);
      return;
    }
    case Kind::StdString: *static_cast<std::string*>(m_ptr) = std::string(s); return;
    case Kind::Field: rt::setFieldText(m_ptr, *m_field, s, m_index); return;
    default: setNumber(textNumber(s)); return;
  }
}

void Binding::setNumber(double v) {
  switch (m_kind) {
    case Kind::None: return;
    case Kind::I32: *static_cast<int32_t*>(m_ptr) = clampWhole<int32_t>(v); return;
    case Kind::I16: *static_cast<int16_t*>(m_ptr) = clampWhole<int16_t>(v); return;
    case Kind::U8: *static_cast<uint8_t*>(m_ptr) = clampWhole<uint8_t>(v); return;
    case Kind::U16: *static_cast<uint16_t*>(m_ptr) = clampWhole<uint16_t>(v); return;
    case Kind::U32: *static_cast<uint32_t*>(m_ptr) = clampWhole<uint32_t>(v); return;
    case Kind::I64: *static_cast<int64_t*>(m_ptr) = clampWhole<int64_t>(v); return;
    case Kind::F64: *static_cast<double*>(m_ptr) = v; return;
    case Kind::F32: *static_cast<float*>(m_ptr) = static_cast<float>(v); return;
    case Kind::Field: rt::setFieldNumber(m_ptr, *m_field, v, m_index); return;
    default: setText(numberText(v)); return;
  }
}

}  // namespace ov::ui
