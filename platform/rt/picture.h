// Display pictures: FORMAT turns a value into text through a picture, DEFORMAT reads such text
// back. A picture may be written with or without its leading "@", in either case, and with
// trailing blanks ("@d17b", "d7", "N10B", "@s20", "@p#pb").
//
// Dates (values are day numbers)      @D[0]n[s][<|>r][B]
//   n   1 M/DD/YY     10/31/59       7 D MON YY     31 OCT 59     13 M/YY      10/59
//       2 M/DD/YYYY   10/31/1959     8 D MON YYYY   31 OCT 1959   14 M/YYYY    10/1959
//       3 MON D,YYYY  OCT 31,1959    9 YY/MM/DD     59/10/31      15 YY/MM     59/10
//       4 Month D, YYYY October 31, 1959  10 YYYY/MM/DD 1959/10/31  16 YYYY/MM  1959/10
//       5 D/MM/YY     31/10/59      11 YYMMDD       591031        17 the system's short date
//       6 D/MM/YYYY   31/10/1959    12 YYYYMMDD     19591031      18 the system's long date
//   The first number of a picture takes two places, blank-filled (" 5/01/99"); with the "0"
//   it is zero-filled ("05/01/99"). In 3 and 7 the day is that first number; in 4 it is not
//   padded unless "0" is given. Later numbers are always two digits.
//   s   separator in place of "/" (and of the blanks of 7 and 8): "." "-", "_" for a blank,
//       "`" for a comma.
//   <r, >r   accepted for compatibility; two-digit years always read within the window below.
//   B   blank (empty text) when the value is 0.
//   A date outside 1 January 1801 .. 31 December 9999 (0 included) formats as empty text.
//
// Times (values are centiseconds + 1; 1 is midnight)   @T[0]n[s][B]
//   n   1 H:MM  17:30    3 H:MMXM  5:30PM      5 HMMSS   173000      7 the system's short time
//       2 HMM   1730     4 H:MM:SS 17:30:00    6 H:MM:SSXM 5:30:00PM  8 the system's long time
//   The hour takes two places, blank-filled; "0" zero-fills it ("t05" gives 093000). s replaces
//   ":" as for dates. B: empty text for 0. Values past a day wrap around midnight.
//
// Numbers   @N[$|~text~][-|(][0|_|*][size][group][.places|`places|vplaces][-|)][$|~text~][B]
//   size     total width: digits, sign, grouping, decimal separator and text; the number is
//            right-justified in it, and a value that does not fit shows size "#" characters.
//            No size: as wide as needed.
//   fill     "0" zeros, "_" or none blanks, "*" asterisks. Without a fill the whole part is
//            grouped by "," unless another group character is given: "." "-" or "_" (blank).
//            With a "0" or "_" fill there is no grouping unless a group character is given.
//   places   "." point, "`" comma, "v" no separator (implied decimals).
//   sign     "-" in front or behind, or "(" ")"; without a sign mark a negative number still
//            shows a leading "-".
//   text     "$" or any text between "~", in front of or behind the number.
//   Values are rounded half away from zero.
//
// Strings   @Sn: the text cut (never inside a character) or blank-padded to n bytes.
// Patterns  @P...P[B]: "#" a digit, "<" a digit or a blank while no digit has been placed
//   before it; every other character stands as it is ("@P(###)###-####P", "@pPage <<<#p").
//   Digits of the whole value fill the positions from the right; too many digits show "#".
//
// DEFORMAT never fails: text it cannot read gives 0 for date, time and number pictures and the
// digits found (possibly none) for patterns; @S gives the text unchanged. Dates read the numbers
// in the picture's order with any separators, month names ("Oct", "october") in place of the
// month number, weekday names skipped; two-digit years fall within the 100 years that end 20
// years after TODAY()'s year; an impossible date (31 April) reads as 0. Times read "17:30",
// "5:30 pm", "1730", "173000"; an impossible time reads as 0.
#pragma once

#include <concepts>
#include <string>
#include <string_view>

namespace ov::rt {

enum class PictureKind { Invalid, String, Number, Date, Time, Pattern };

// The kind of a picture by its letter and whether the rest of it is well formed.
PictureKind pictureKind(std::string_view picture);

// FORMAT of a number, or of a text: for @S the text itself, for @P a text of digits keeps its
// digits, for the other kinds the text's numeric value (textToNumber). An invalid picture gives
// the value in plain form.
std::string FORMAT(double value, std::string_view picture);
std::string FORMAT(std::string_view value, std::string_view picture);
inline std::string FORMAT(const char* value, std::string_view picture) {
  return FORMAT(std::string_view(value), picture);
}
// Whole numbers of any width (day numbers, times, counts), including a literal 0.
template <std::integral I>
std::string FORMAT(I value, std::string_view picture) {
  return FORMAT(static_cast<double>(value), picture);
}

// DEFORMAT as text: the value in plain decimal form for dates, times and numbers ("0" when the
// text cannot be read), the digits for patterns, the text itself for @S and invalid pictures.
std::string DEFORMAT(std::string_view text, std::string_view picture);

// DEFORMAT as a number (the day number, the time, the number; patterns give their digits' value).
double deformatValue(std::string_view text, std::string_view picture);

// The system's date and time forms behind @D17, @D18, @T7 and @T8, as patterns:
//   d dd      day, plain or two digits          ddd dddd  weekday name, short or full
//   M MM      month, plain or two digits        MMM MMMM  month name, short or full
//   yy yyyy   year, two or four digits
//   H HH      hour 0-23;  h hh  hour 1-12 when the pattern holds AP, ap or tt, else 0-23
//   m mm, s ss  minutes, seconds                AP ap tt  AM/PM, am/pm, AM/PM
//   'text'    literal text ('' is a quote); any other character stands as it is.
// Names are English. The default comes from the C library's LC_TIME of the environment
// (systemFormatsFromLocale("")); the window layer may replace it with the desktop's forms.
struct SystemFormats {
  std::string shortDate;  // C locale: "MM/dd/yy"
  std::string longDate;   // derived from the short date's order: "dddd, MMMM d, yyyy"
  std::string shortTime;  // the long time without seconds: "HH:mm"
  std::string longTime;   // C locale: "HH:mm:ss"
};

// Forms of an installed locale's LC_TIME ("" is the environment's); "C" when it is not installed.
SystemFormats systemFormatsFromLocale(const char* localeName);
SystemFormats systemFormats();
void setSystemFormats(const SystemFormats& formats);

}  // namespace ov::rt
