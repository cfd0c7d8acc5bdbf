#include "platform/files/outer_scan.h"

namespace ov::db {

bool OuterScan::next() {
  for (++m_at; m_at < m_text.size(); ++m_at) {
    const char c = m_text[m_at];
    if (c == '\'') {
      m_quoted = !m_quoted;
      m_depth = m_open;
      return true;
    }
    if (m_quoted) continue;
    if (c == ')' && --m_open < 0) m_underflow = true;
    m_depth = m_open;
    if (c == '(') ++m_open;
    return true;
  }
  m_at = m_text.size();
  return false;
}

std::vector<std::string_view> splitOuter(std::string_view text, char separator) {
  std::vector<std::string_view> out;
  size_t from = 0;
  for (OuterScan s(text); s.next();) {
    if (s.ch() != separator || s.depth() != 0) continue;
    out.push_back(text.substr(from, s.at() - from));
    from = s.at() + 1;
  }
  out.push_back(text.substr(from));
  return out;
}

}  // namespace ov::db
