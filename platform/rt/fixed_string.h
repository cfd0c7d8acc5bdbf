// Fixed-width strings of record buffers and globals.
//
// String<N> is the runtime's STRING(N): always N bytes, blank-padded. CString<N> is CSTRING(N):
// at most N-1 bytes followed by a zero. Both are plain arrays of char (standard layout, alignment 1),
// so a record struct keeps the byte size its layout declares. Text is UTF-8; an assignment that
// does not fit is cut at N bytes without splitting a character.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace ov::rt {

// Length of the longest prefix of `s` of at most `max` bytes that ends on a character boundary.
size_t utf8CutLength(std::string_view s, size_t max);

// `s` without trailing blanks (the runtime's CLIP).
std::string_view clipView(std::string_view s);

// Compares as the runtime does: trailing blanks don't count. `caseless` upper-cases both sides
// (Unicode-aware) first. Returns <0, 0, >0.
int compareText(std::string_view a, std::string_view b, bool caseless = false);

template <size_t N>
struct String {
  static_assert(N > 0);
  char m_data[N];

  String() { std::memset(m_data, ' ', N); }
  String(std::string_view s) { assign(s); }  // NOLINT: implicit like the runtime's assignment
  String(const char* s) { assign(s); }  // NOLINT
  String& operator=(std::string_view s) { assign(s); return *this; }
  String& operator=(const std::string& s) { assign(s); return *this; }
  String& operator=(const char* s) { assign(s); return *this; }

  void assign(std::string_view s) {
    size_t n = utf8CutLength(s, N);
    if (n) std::memcpy(m_data, s.data(), n);  // an empty view may have no data at all
    std::memset(m_data + n, ' ', N - n);
  }
  void clear() { std::memset(m_data, ' ', N); }

  static constexpr size_t size() { return N; }
  std::string_view view() const { return {m_data, N}; }      // padded, all N bytes
  std::string_view clipped() const { return clipView(view()); }
  std::string str() const { return std::string(clipped()); }  // without trailing blanks
  bool isBlank() const { return clipped().empty(); }
  char* data() { return m_data; }
  const char* data() const { return m_data; }

  friend bool operator==(const String& a, std::string_view b) { return compareText(a.view(), b) == 0; }
  template <size_t M>
  friend bool operator==(const String& a, const String<M>& b) { return compareText(a.view(), b.view()) == 0; }
  friend auto operator<=>(const String& a, std::string_view b) { return compareText(a.view(), b) <=> 0; }
};

template <size_t N>
struct CString {
  static_assert(N > 0);
  char m_data[N];

  CString() { std::memset(m_data, 0, N); }
  CString(std::string_view s) { assign(s); }  // NOLINT
  CString(const char* s) { assign(s); }  // NOLINT
  CString& operator=(std::string_view s) { assign(s); return *this; }
  CString& operator=(const std::string& s) { assign(s); return *this; }
  CString& operator=(const char* s) { assign(s); return *this; }

  void assign(std::string_view s) {
    size_t n = utf8CutLength(s, N - 1);
    if (n) std::memcpy(m_data, s.data(), n);  // an empty view may have no data at all
    std::memset(m_data + n, 0, N - n);
  }
  void clear() { std::memset(m_data, 0, N); }

  static constexpr size_t size() { return N; }
  std::string_view view() const { return {m_data, ::strnlen(m_data, N)}; }
  std::string_view clipped() const { return clipView(view()); }
  std::string str() const { return std::string(view()); }
  bool isBlank() const { return clipped().empty(); }
  char* data() { return m_data; }
  const char* data() const { return m_data; }

  friend bool operator==(const CString& a, std::string_view b) { return compareText(a.view(), b) == 0; }
  friend auto operator<=>(const CString& a, std::string_view b) { return compareText(a.view(), b) <=> 0; }
};

}  // namespace ov::rt
