// Small date, time and string functions that every program linking the data library uses.
//
// Dates are day numbers (0 = no date) and times centiseconds plus one (1..8640000, 0 = no time),
// as platform/rt/date_time.h keeps them. Texts are UTF-8; fixed fields are rt::String<N>, and
// every function taking a fixed field also takes a std::string. All functions are thread-safe
// except where a comment says they read a setting.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/fixed_string.h"

namespace ov::files {

// Normalises a date and time pair so that the time lies in 1..8640000, carrying whole days into
// the date. A pair whose date reaches 0 stops there and keeps a time of 0 or below.
void FIXDATE(int32_t& date, int32_t& time);

// -1, 0 or 1 as the first moment is earlier than, equal to or later than the second; both pairs
// are compared normalised (the arguments are not changed).
int32_t COMPAREDATE(int32_t date1, int32_t time1, int32_t date2, int32_t time2);

// As COMPAREDATE, but equal dates compare whole minutes of the times (time / 6000), or whole
// seconds (time / 100) when `bySecond` is set. The four-argument form takes the precision from the
// setting TASK.ROUNDING ("Second", in any case, means seconds; anything else minutes).
int32_t COMPAREDATEMINUTE(int32_t date1, int32_t time1, int32_t date2, int32_t time2, bool bySecond);
int32_t COMPAREDATEMINUTE(int32_t date1, int32_t time1, int32_t date2, int32_t time2);

// The date in the user's picture: FORMAT.DATE holds it without its "@" ("d7"); the number in its
// second and third characters picks the date picture @d1..@d18, any other number @d3. Date 0
// gives an empty text. Reads the setting FORMAT.DATE.
std::string FMTDATE(int32_t date);

// The year as a plain number, then month and day as two digits each: 9 March 2007 gives
// "20070309"; date 0 gives "00000".
std::string FMTYYYYMMDD(int32_t date);

// Replaces every occurrence of `find` in `target`, examining the positions from the last to the
// first; with `ignoreCase` the texts compare upper-cased. `find` counts with its full length,
// trailing blanks included; an empty `find` matches nothing. With a `width`, the target is a
// fixed field: the result is cut to `width` bytes (never inside a character) and padded with
// blanks; without one the text grows or shrinks freely.
void FREPLACE(std::string& target, std::string_view find, std::string_view replacement, bool ignoreCase,
              size_t width = std::string::npos);
template <size_t N>
void FREPLACE(rt::String<N>& target, std::string_view find, std::string_view replacement, bool ignoreCase) {
  std::string text(target.view());
  FREPLACE(text, find, replacement, ignoreCase, N);
  target = text;
}

// A text that is two double quotes (trailing blanks aside) becomes empty; a text whose first
// character and last non-blank character are double quotes loses both; any other text stays.
void STRIPQUOTES(std::string& text);
template <size_t N>
void STRIPQUOTES(rt::String<N>& text) {
  std::string s(text.clipped());
  STRIPQUOTES(s);
  text = s;
}

// Strips surrounding quotes from `text` (in place, as STRIPQUOTES), then returns it ready to stand
// as one argument of a command line: in double quotes, leading blanks removed, when it holds white
// space, a double quote, a slash or a backslash; two double quotes when it is empty; else clipped.
// Inside the quotes a double quote is written \" and backslashes in front of a double quote (or
// of the closing one) are doubled, so that the program start splits the argument back exactly.
std::string WRAPQUOTES(std::string& text);
template <size_t N>
std::string WRAPQUOTES(rt::String<N>& text) {
  std::string s(text.clipped());
  std::string out = WRAPQUOTES(s);
  text = s;
  return out;
}

// Fills `queue` with the files that `list` names: file patterns separated by ";" or line breaks,
// each a path or a pattern ("*" and "?", case ignored). Each entry is the file pattern's folder
// part as written followed by a file's name; `withDetails` appends "|" date "|" time "|" size "|"
// (date picture @d17, time picture @t7). A file pattern that matches nothing but names an
// existing file (a hidden one, say) is added as it stands. No entry is added twice; `clearFirst`
// empties the queue first, else its entries are kept and not repeated.
void GETFILEQ(std::string_view list, std::vector<std::string>& queue, bool clearFirst, bool withDetails);

// The name of the program a command line starts, without folder and extension, in its given case
// ("\"/opt/My Tools/Edit.bin\" a.txt" gives "Edit"); "UNKNOWN" for an empty command line.
std::string EXTRACTFILENAME(std::string_view commandLine);

// The search key of a text, at most 120 bytes (the width of the clipboard history's key field):
// the text's letters upper-cased, in order (at most kHashLetterBytes bytes), then "#" and a
// 32-digit hexadecimal digest of the whole text without trailing blanks. Keys sort by the letters
// first; texts that differ anywhere before their trailing blanks get different keys.
constexpr size_t kHashKeyWidth = 120;
constexpr size_t kHashDigestDigits = 32;
constexpr size_t kHashLetterBytes = kHashKeyWidth - 1 - kHashDigestDigits;
std::string GETHASH(std::string_view text);

// Password fields of script steps are kept scrambled, marked by "!ENC" at their start. The names
// read the other way round from what they do, and stay so because every program calls them by
// these names:
//   QVDECRYPT scrambles a plain value and puts the mark in front; a value that is blank, already
//             marked, too long to take the mark within the field, or holding a byte that would
//             scramble to the byte FFh is left as it is (plain), so nothing is ever lost;
//   QVENCRYPT turns a marked value back into plain text and leaves an unmarked value alone.
// Each character that is not a blank is combined by exclusive-or with (its position counted from
// 65) & 11h; a scrambled blank is stored as FFh, so a blank always means an empty position.
// QVENCRYPT(QVDECRYPT(x)) gives x back. `field` is the whole fixed field (a 64-byte slice of the
// step's command field, for example).
inline constexpr std::string_view kScrambleMark = "!ENC";
void QVENCRYPT(std::span<char> field);
void QVDECRYPT(std::span<char> field);
template <size_t N>
void QVENCRYPT(rt::String<N>& field) { QVENCRYPT(std::span<char>(field.data(), N)); }
template <size_t N>
void QVDECRYPT(rt::String<N>& field) { QVDECRYPT(std::span<char>(field.data(), N)); }

}  // namespace ov::files
