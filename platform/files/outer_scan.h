// A walk over the text of an expression (a filter, an order) at its outer level: quoted texts
// ('...', a doubled quote inside one closes and reopens it) are passed over whole, and the depth
// of parentheses is known at each character, so commas, operators and words can be found where
// they separate the expression's parts.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace ov::db {

class OuterScan {
 public:
  explicit OuterScan(std::string_view text) : m_text(text) {}

  // Moves to the next character that lies outside quoted texts; false at the end of the text.
  // The quotes themselves are reported, what lies between them is not.
  bool next();

  size_t at() const { return m_at; }
  char ch() const { return m_text[m_at]; }
  // The parentheses around this character: a parenthesis stands at the depth of the text it
  // opens or closes, so "(" and ")" of "a(b)" stand at 0, "b" at 1. Negative once a ")" has
  // closed more than were opened.
  int depth() const { return m_depth; }

  // After the walk (or at any point, for the text so far): no quote left open, no parenthesis
  // left open, none closed that was not open.
  bool balanced() const { return !m_quoted && m_open == 0 && !m_underflow; }

 private:
  std::string_view m_text;
  size_t m_at = static_cast<size_t>(-1);
  int m_open = 0;   // parentheses open after the current character
  int m_depth = 0;  // the current character's depth
  bool m_quoted = false;
  bool m_underflow = false;
};

// The parts of `text` between the `separator`s that lie outside quotes and parentheses, as they
// are (blanks kept). One part for a text without separators, an empty one for an empty text.
std::vector<std::string_view> splitOuter(std::string_view text, char separator = ',');

}  // namespace ov::db
