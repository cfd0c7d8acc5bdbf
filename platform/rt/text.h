// The runtime's string built-ins over UTF-8 text.
//
// Positions and lengths count bytes, as the widths of fixed strings do, and are 1-based as the
// runtime writes them. A slice never splits a character: a start inside a character moves on to
// the next one, an end inside a character drops it.
#pragma once

#include <string>
#include <string_view>

namespace ov::rt {

// Unicode-aware case mapping ("é" <-> "É"); bytes that are not valid UTF-8 are kept as they are.
std::string UPPER(std::string_view s);
std::string LOWER(std::string_view s);

// `s` without trailing blanks.
std::string CLIP(std::string_view s);

// `s` with its leading blanks moved to the end: same length, left-justified. With `width`, the
// left-justified text is cut or blank-padded to `width` bytes.
std::string LEFT(std::string_view s);
std::string LEFT(std::string_view s, size_t width);

// `length` bytes of `s` from the 1-based `start`; a negative start counts from the end (-1 is
// the last byte). Parts outside `s` are left out; 0 or a start past the end gives "".
std::string SUB(std::string_view s, int start, int length);

// The runtime's slice s[from : to], both ends 1-based and included.
std::string slice(std::string_view s, int from, int to);

// Searches `s` for `part` at positions start, start + step, start + 2*step, ... and returns the
// number of the step that found it: (position - 1) / |step| + 1, which is the position itself
// for a step of 1. A start of 0 (the default) is 1, or for a negative step (a backward search)
// the last position where `part` fits. 0 when not found, when `part` is empty or when step is 0.
// Exact compare.
int INSTRING(std::string_view part, std::string_view s, int step = 1, int start = 0);

// Length in bytes.
inline size_t LEN(std::string_view s) { return s.size(); }

// True when `s`, without surrounding blanks, is a decimal number: an optional sign, digits with
// at most one decimal point, an optional exponent ("-12", "3.5", ".5", "1e3"). Blank is not.
bool NUMERIC(std::string_view s);

// The numeric value of a text, as the runtime converts a string to a number: 0 when the text is
// not NUMERIC.
double textToNumber(std::string_view s);

// A number as the runtime converts it to a string: whole numbers without a decimal point
// ("12", "-3"), others in the shortest form that reads back to the same value ("2.5", "0.1").
// With `decimals` >= 0 the value is rounded half away from zero to that many places ("2.50").
std::string numberToText(double value, int decimals = -1);

// The character with the given code (ASCII, then Latin-1 and on through Unicode), in UTF-8.
// CHR(171) is "«". A code outside Unicode gives "".
std::string CHR(long code);

// The code of the first character of `s` (the inverse of CHR); a byte that does not start a
// valid UTF-8 character gives its own value; "" gives 0.
long VAL(std::string_view s);

// Windows-style wildcard match of the whole text, ignoring case: "*" matches any run of
// characters (none included), "?" exactly one character.
bool wildcardMatch(std::string_view text, std::string_view pattern);

}  // namespace ov::rt
