// The list control's format string: one entry per column, read and written back in one form.
//
//   column  ::= WIDTH JUST ["(" n ")"] MOD* ["~" HEADER "~" [HJUST ["(" n ")"]]] ["@" PIC "@"]
//               ["#" n "#"] ["E(" [c] "," [c] "," [c] "," [c] ")"]
//   WIDTH   digits: the width in dialog units; a digit run starts a new column
//   JUST    L left, R right, C centre, D decimal; the number in parentheses is the offset
//   MOD     * four colour fields follow the column's field (text, back, selected text, selected
//           back), I an icon field follows, J the same with a transparent icon, T a tree level
//           field follows, F fixed, _ underlined, M resizable, | right border (any order)
//   HEADER  the header text; "~~" inside it stands for one "~"
//   HJUST   the header's justification (default: the data's) and offset
//   PIC     a display picture without its leading "@" ("s20", "d17", "p p")
//   #n#     the column's field number in the list's queue (default: the previous column's field
//           plus one, plus four after "*", one after I or J and one after T)
//   E(...)  default colours (COLORREF numbers; empty = none)
//
// Tolerated on input and not written back: "S(...)" and "Z(...)" after the modifiers, options in
// parentheses after "T", and the brackets of column groups ("[" ... "]" with the group's own
// attributes and header after the "]").
//
// Written back (toString) in one canonical form: width, justification, offset when not 0, the
// modifiers in the order * I|J T F _ M |, the header with its justification when the column has
// one, the picture, "#n#" only where the number differs from the default, E(...) when a colour is
// set. Parsing the canonical form gives the same columns, so a layout round-trips exactly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::ui {

struct ListColumn {
  int width = 0;              // dialog units
  char just = 'L';            // L R C D
  int offset = 0;             // dialog units from the justified edge
  bool colors = false;        // '*'
  int icon = 0;               // 0 none, 1 'I', 2 'J' (transparent)
  bool tree = false;          // 'T'
  bool fixed = false;         // 'F'
  bool underline = false;     // '_'
  bool resize = false;        // 'M'
  bool rightBorder = false;   // '|'
  bool hasHeader = false;     // a "~...~" part was given (possibly empty)
  std::string header;
  char headerJust = 'L';
  int headerOffset = 0;
  std::string picture;        // with its leading '@' ("@s20"); empty = none
  int field = 0;              // 1-based field of the list's queue
  int32_t color[4] = {-1, -1, -1, -1};  // E(text, back, selected text, selected back)

  // Fields of the queue the column takes: its own, then the colours, the icon, the tree level.
  int fieldCount() const { return 1 + (colors ? 4 : 0) + (icon ? 1 : 0) + (tree ? 1 : 0); }
  int colorField() const { return colors ? field + 1 : 0; }
  int iconField() const { return icon ? field + 1 + (colors ? 4 : 0) : 0; }
  int treeField() const { return tree ? field + 1 + (colors ? 4 : 0) + (icon ? 1 : 0) : 0; }

  friend bool operator==(const ListColumn& a, const ListColumn& b);
};

struct ListFormatError {
  size_t position = 0;   // 0-based offset in the text
  std::string message;   // "" when the text was read
  explicit operator bool() const { return !message.empty(); }
};

// Reads a format string. On malformed text returns false, fills `error` and leaves `out` alone.
bool parseListFormat(std::string_view text, std::vector<ListColumn>& out, ListFormatError* error = nullptr);

// Writes columns in the canonical form.
std::string listFormatString(const std::vector<ListColumn>& columns);

// The field number a column would get by default after the columns before it.
int defaultField(const std::vector<ListColumn>& columns, size_t index);

}  // namespace ov::ui
