#include "platform/ui/list_format.h"

#include <cctype>
#include <cstdlib>

namespace ov::ui {

bool operator==(const ListColumn& a, const ListColumn& b) {
  return a.width == b.width && a.just == b.just && a.offset == b.offset && a.colors == b.colors &&
         a.icon == b.icon && a.tree == b.tree && a.fixed == b.fixed && a.underline == b.underline &&
         a.resize == b.resize && a.rightBorder == b.rightBorder && a.hasHeader == b.hasHeader &&
         a.header == b.header && a.headerJust == b.headerJust && a.headerOffset == b.headerOffset &&
         a.picture == b.picture && a.field == b.field && a.color[0] == b.color[0] && a.color[1] == b.color[1] &&
         a.color[2] == b.color[2] && a.color[3] == b.color[3];
}

int defaultField(const std::vector<ListColumn>& columns, size_t index) {
  if (index == 0 || columns.empty()) return 1;
  const ListColumn& prev = columns[std::min(index, columns.size()) - 1];
  return prev.field + prev.fieldCount();
}

namespace {

bool isJust(char c) {
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return c == 'L' || c == 'R' || c == 'C' || c == 'D';
}

class Reader {
 public:
  Reader(std::string_view text, ListFormatError* error) : m_text(text), m_error(error) {}

  bool read(std::vector<ListColumn>& out) {
    while (m_pos < m_text.size()) {
      char c = m_text[m_pos];
      if (c == '[') {  // a column group opens: its columns follow
        ++m_pos;
        continue;
      }
      if (c == ']') {
        ++m_pos;
        if (!skipGroupTail()) return false;
        continue;
      }
      if (!std::isdigit(static_cast<unsigned char>(c))) return fail("a column must start with its width");
      ListColumn col;
      if (!column(col, out)) return false;
      out.push_back(std::move(col));
    }
    return true;
  }

 private:
  bool fail(std::string message) {
    if (m_error) {
      m_error->position = m_pos;
      m_error->message = std::move(message);
    }
    return false;
  }
  bool atEnd() const { return m_pos >= m_text.size(); }
  char peek(size_t ahead = 0) const { return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : '\0'; }
  static char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

  bool number(int& out) {
    size_t start = m_pos;
    while (!atEnd() && std::isdigit(static_cast<unsigned char>(peek()))) ++m_pos;
    if (m_pos == start) return fail("a number was expected");
    if (m_pos - start > 6) return fail("the number is too large");
    out = std::atoi(std::string(m_text.substr(start, m_pos - start)).c_str());
    return true;
  }

  // "(" n ")" after a justification.
  bool offset(int& out) {
    if (peek() != '(') return true;
    ++m_pos;
    if (!number(out)) return false;
    if (peek() != ')') return fail("\")\" was expected after the offset");
    ++m_pos;
    return true;
  }

  // Skips a parenthesised part, nested parentheses included.
  bool skipParens() {
    int depth = 0;
    size_t start = m_pos;
    while (!atEnd()) {
      char c = m_text[m_pos++];
      if (c == '(') ++depth;
      if (c == ')' && --depth == 0) return true;
    }
    m_pos = start;
    return fail("unclosed \"(\"");
  }

  // Reads "~...~" with "~~" standing for one "~"; m_pos is on the opening mark.
  bool header(std::string& out) {
    size_t start = m_pos++;
    while (!atEnd()) {
      char c = m_text[m_pos++];
      if (c != '~') {
        out += c;
        continue;
      }
      if (peek() == '~') {
        out += '~';
        ++m_pos;
        continue;
      }
      return true;
    }
    m_pos = start;
    return fail("unclosed header");
  }

  bool skipGroupTail() {
    while (!atEnd()) {
      char c = peek();
      if (std::isdigit(static_cast<unsigned char>(c)) || c == '[' || c == ']') return true;
      if (c == '(') {
        if (!skipParens()) return false;
      } else if (c == '~') {
        std::string ignored;
        if (!header(ignored)) return false;
      } else if (isJust(c) || c == 'M' || c == 'F' || c == '_' || c == '|' || c == '*') {
        ++m_pos;
      } else {
        return fail(std::string("unexpected \"") + c + "\" after a column group");
      }
    }
    return true;
  }

  bool column(ListColumn& col, const std::vector<ListColumn>& before) {
    if (!number(col.width)) return false;
    if (isJust(peek())) col.just = upper(m_text[m_pos++]);
    if (!offset(col.offset)) return false;
    col.headerJust = col.just;
    bool headerJustGiven = false;
    bool explicitField = false;
    bool hasPicture = false, hasColors = false;
    while (!atEnd()) {
      char c = peek();
      if (std::isdigit(static_cast<unsigned char>(c)) || c == '[' || c == ']') break;
      char u = upper(c);
      switch (u) {
        case '*': col.colors = true; ++m_pos; continue;
        case 'I': col.icon = std::max(col.icon, 1); ++m_pos; continue;
        case 'J': col.icon = 2; ++m_pos; continue;
        case 'F': col.fixed = true; ++m_pos; continue;
        case '_': col.underline = true; ++m_pos; continue;
        case 'M': col.resize = true; ++m_pos; continue;
        case '|': col.rightBorder = true; ++m_pos; continue;
        case 'T':
          col.tree = true;
          ++m_pos;
          if (peek() == '(' && !skipParens()) return false;
          continue;
        case 'S':
        case 'Z':
          ++m_pos;
          if (peek() != '(') return fail(std::string("\"(\" was expected after \"") + c + "\"");
          if (!skipParens()) return false;
          continue;
        default: break;
      }
      if (c == '~') {
        if (col.hasHeader) return fail("the column has two headers");
        col.hasHeader = true;
        if (!header(col.header)) return false;
        if (isJust(peek())) {
          col.headerJust = upper(m_text[m_pos++]);
          headerJustGiven = true;
        }
        if (!offset(col.headerOffset)) return false;
        continue;
      }
      if (c == '@') {
        if (hasPicture) return fail("the column has two pictures");
        size_t close = m_text.find('@', m_pos + 1);
        if (close == std::string_view::npos) return fail("unclosed picture");
        std::string_view pic = m_text.substr(m_pos + 1, close - m_pos - 1);
        if (pic.empty()) return fail("empty picture");
        col.picture = "@" + std::string(pic);
        hasPicture = true;
        m_pos = close + 1;
        continue;
      }
      if (c == '#') {
        if (explicitField) return fail("the column has two field numbers");
        size_t at = ++m_pos;
        if (!number(col.field)) return false;
        if (col.field < 1) {
          m_pos = at;
          return fail("field numbers start at 1");
        }
        if (peek() != '#') return fail("\"#\" was expected after the field number");
        ++m_pos;
        explicitField = true;
        continue;
      }
      if (u == 'E' && peek(1) == '(') {
        if (hasColors) return fail("the column has two colour lists");
        hasColors = true;
        m_pos += 2;
        for (int i = 0; i < 4; ++i) {
          size_t start = m_pos;
          if (peek() == '-') ++m_pos;
          while (!atEnd() && std::isdigit(static_cast<unsigned char>(peek()))) ++m_pos;
          std::string_view v = m_text.substr(start, m_pos - start);
          if (v == "-") return fail("a colour was expected");
          col.color[i] = v.empty() ? -1 : static_cast<int32_t>(std::strtol(std::string(v).c_str(), nullptr, 10));
          char sep = peek();
          if (sep == ')') {
            ++m_pos;
            break;
          }
          if (sep != ',' || i == 3) return fail("\",\" or \")\" was expected in the colours");
          ++m_pos;
        }
        continue;
      }
      return fail(std::string("unexpected \"") + c + "\"");
    }
    if (!headerJustGiven) col.headerJust = col.just;
    if (!explicitField) col.field = defaultField(before, before.size());
    return true;
  }

  std::string_view m_text;
  size_t m_pos = 0;
  ListFormatError* m_error;
};

}  // namespace

bool parseListFormat(std::string_view text, std::vector<ListColumn>& out, ListFormatError* error) {
  std::vector<ListColumn> cols;
  if (error) *error = ListFormatError{};
  Reader r(text, error);
  if (!r.read(cols)) return false;
  out = std::move(cols);
  return true;
}

std::string listFormatString(const std::vector<ListColumn>& columns) {
  std::string s;
  for (size_t i = 0; i < columns.size(); ++i) {
    const ListColumn& c = columns[i];
    s += std::to_string(std::max(0, c.width));
    s += c.just;
    if (c.offset) s += "(" + std::to_string(c.offset) + ")";
    if (c.colors) s += '*';
    if (c.icon == 1) s += 'I';
    if (c.icon == 2) s += 'J';
    if (c.tree) s += 'T';
    if (c.fixed) s += 'F';
    if (c.underline) s += '_';
    if (c.resize) s += 'M';
    if (c.rightBorder) s += '|';
    if (c.hasHeader) {
      s += '~';
      for (char ch : c.header) {
        s += ch;
        if (ch == '~') s += '~';
      }
      s += '~';
      s += c.headerJust;
      if (c.headerOffset) s += "(" + std::to_string(c.headerOffset) + ")";
    }
    if (!c.picture.empty()) {
      std::string_view pic = c.picture;
      if (pic.front() == '@') pic.remove_prefix(1);
      s += '@';
      for (char ch : pic)
        if (ch != '@') s += ch;
      s += '@';
    }
    if (c.field != defaultField(columns, i)) s += "#" + std::to_string(c.field) + "#";
    if (c.color[0] != -1 || c.color[1] != -1 || c.color[2] != -1 || c.color[3] != -1) {
      s += "E(";
      for (int k = 0; k < 4; ++k) {
        if (k) s += ',';
        if (c.color[k] != -1) s += std::to_string(c.color[k]);
      }
      s += ')';
    }
  }
  return s;
}

}  // namespace ov::ui
