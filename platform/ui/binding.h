// A control's USE variable: a reference to a record field or a variable of the caller.
//
// The variable must outlive the control's window. Text variables hand out their text without
// trailing blanks; numeric ones (dates and times are day numbers and centiseconds) their number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rt/fixed_string.h"
#include "platform/rt/record.h"

namespace ov::ui {

class Binding {
 public:
  Binding() = default;
  template <size_t N>
  Binding(rt::String<N>& s) : m_kind(Kind::Fixed), m_ptr(s.data()), m_width(N) {}  // NOLINT
  template <size_t N>
  Binding(rt::CString<N>& s) : m_kind(Kind::Zero), m_ptr(s.data()), m_width(N) {}  // NOLINT
  Binding(std::string& s) : m_kind(Kind::StdString), m_ptr(&s) {}  // NOLINT
  Binding(int32_t& v) : m_kind(Kind::I32), m_ptr(&v) {}  // NOLINT
  Binding(int16_t& v) : m_kind(Kind::I16), m_ptr(&v) {}  // NOLINT
  Binding(uint8_t& v) : m_kind(Kind::U8), m_ptr(&v) {}  // NOLINT
  Binding(uint16_t& v) : m_kind(Kind::U16), m_ptr(&v) {}  // NOLINT
  Binding(uint32_t& v) : m_kind(Kind::U32), m_ptr(&v) {}  // NOLINT
  Binding(int64_t& v) : m_kind(Kind::I64), m_ptr(&v) {}  // NOLINT
  Binding(double& v) : m_kind(Kind::F64), m_ptr(&v) {}  // NOLINT
  Binding(float& v) : m_kind(Kind::F32), m_ptr(&v) {}  // NOLINT
  // A field of a record buffer through its descriptor.
  Binding(void* base, const rt::FieldDesc& field, int index = 0)
      : m_kind(Kind::Field), m_ptr(base), m_field(&field), m_index(index) {}

  bool isBound() const { return m_kind != Kind::None; }
  bool isNumeric() const;
  // Width in bytes of a text variable; 0 for numbers and unbounded text.
  size_t width() const;

  std::string text() const;     // numbers in plain decimal form
  double number() const;        // text gives its numeric value, 0 when not a number
  void setText(std::string_view s);   // numbers take the numeric value of the text
  void setNumber(double v);

  // Two bindings to the same variable compare equal.
  bool sameVariable(const Binding& o) const {
    return m_ptr == o.m_ptr && m_field == o.m_field && m_index == o.m_index;
  }

 private:
  enum class Kind { None, Fixed, Zero, StdString, I32, I16, U8, U16, U32, I64, F64, F32, Field };
  Kind m_kind = Kind::None;
  void* m_ptr = nullptr;
  size_t m_width = 0;
  const rt::FieldDesc* m_field = nullptr;
  int m_index = 0;
};

}  // namespace ov::ui
