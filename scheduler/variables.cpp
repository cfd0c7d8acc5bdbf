#include "scheduler/variables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/queues.h"
#include "datalib/records.h"
#include "platform/os/window_list.h"
#include "platform/rt/date_time.h"
#include "platform/rt/err.h"
#include "platform/rt/expr.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "scheduler/detail/script_util.h"

namespace ov::scheduler {
namespace {

using detail::cut;
using detail::debugLog;

// A value that counts as a number for adding an offset: its numeric value is not 0, or it is "0".
bool isNumberText(std::string_view text, double& value) {
  value = rt::textToNumber(text);
  return value != 0 || rt::clipView(text) == "0";
}

// A whole number (a day number or a record id) from a number text's value. Any text may stand here
// ("+1111e111" as a day offset), so the value is held to some 270,000 years either side of the
// epoch before it becomes an integer: far beyond any date the pictures show, and the sum of two
// stays inside 32 bits.
int32_t boundedWhole(double value) {
  constexpr double kLimit = 100'000'000;
  if (std::isnan(value)) return 0;
  return int32_t(std::clamp(value, -kLimit, kLimit));
}

std::string twoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", ((v % 100) + 100) % 100);
  return buf;
}

// The value of a date word for the date `d`, or nothing when `word` is not one.
bool dateWord(const std::string& word, int32_t d, std::string& out) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  const int day = rt::DAY(d), month = rt::MONTH(d), year = rt::YEAR(d);
  if (word == "DAYOFWEEKTEXT") {
    out = kDays[((d % 7) + 7) % 7];
  } else if (word == "DAYOFWEEK") {
    out = std::to_string(d % 7);
  } else if (word == "DAYOFMONTH") {
    out = std::to_string(day);
  } else if (word == "YYYY-MM-DD") {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
    out = buf;
  } else if (word == "DD-MM-YY") {
    out = twoDigits(day) + "-" + twoDigits(month) + "-" + twoDigits(year);
  } else if (word == "MM-DD-YY") {
    out = twoDigits(month) + "-" + twoDigits(day) + "-" + twoDigits(year);
  } else if (word == "DDMMYY") {
    out = twoDigits(day) + twoDigits(month) + twoDigits(year);
  } else if (word == "MMYY") {
    out = twoDigits(month) + twoDigits(year);
  } else if (word == "YYMM") {
    out = twoDigits(year) + twoDigits(month);
  } else if (word == "MMDDYY") {
    out = twoDigits(month) + twoDigits(day) + twoDigits(year);
  } else if (word == "DATE") {
    out = files::FMTYYYYMMDD(d);
  } else if (word == "DATE-1") {
    out = files::FMTYYYYMMDD(d - 1);
  } else if (word == "DATE+1") {
    out = files::FMTYYYYMMDD(d + 1);
  } else if (word == "TODAY") {
    out = files::FMTDATE(d);
  } else if (word == "YESTERDAY") {
    out = files::FMTDATE(d - 1);
  } else if (word == "TOMORROW") {
    out = files::FMTDATE(d + 1);
  } else if (word == "TIME") {
    out = rt::FORMAT(double(rt::CLOCK()), "@t05");
  } else if (word == "NOW") {
    out = rt::FORMAT(double(rt::CLOCK()), "@t7");
  } else if (word == "CLIPBOARD") {
    out = rt::CLIP(ui::CLIPBOARD());
  } else if (word == "FOCUS") {
    const os::WindowId w = os::foregroundWindow();
    std::string title = w ? os::windowTitle(w) : std::string();
    out = title.empty() ? "Handle " + std::to_string(w) : cut(title, 1023);
  } else {
    return false;
  }
  return true;
}

// "Ann Lee, Acme - 555 1234": the contact's name, company and preferred number; nothing when no
// contact has that number.
bool contactText(int32_t id, std::string& out) {
  if (files::Access_CONTACT.Open() != rt::Err::None) return false;
  files::C_.ClientID = id;
  const bool found = files::Access_CONTACT.TryFetch(files::C_KeyClientID) == rt::Err::None;
  (void)files::Access_CONTACT.Close();  // read-only use; nothing to lose
  if (!found) return false;
  const files::ContactRec& c = files::C_;
  std::string text = std::string(c.FirstName.clipped()) + " " + std::string(c.LastName.clipped());
  if (!c.Company.isBlank()) text += ", " + std::string(c.Company.clipped());
  text += " - ";
  const std::string_view preferred = c.DefaultContact.clipped();
  if (preferred == "Business") {
    text += c.WorkDayPhone.clipped();
  } else if (preferred == "Home") {
    text += c.HomeEveningPhone.clipped();
  } else if (preferred == "Other") {
    text += c.OtherPhone.clipped();
  } else if (preferred == "Fax") {
    text += c.Fax.clipped();
  } else if (preferred == "E-mail") {
    text += c.Email.clipped();
  } else {
    text += "Bus:" + std::string(c.WorkDayPhone.clipped()) + "/Res:" + std::string(c.HomeEveningPhone.clipped());
  }
  size_t first = text.find_first_not_of(' ');
  out = first == std::string::npos ? std::string() : text.substr(first);
  return true;
}

size_t clippedLength(const std::string& s) { return rt::clipView(s).size(); }

// Resolves the bracketed group that starts at `s` (a "[") in place and returns the length of the
// value that replaced it. Leaves the text as it is from where the walk stops, at the end of the
// text or after kGroupWalkLimit positions, and then returns npos.
size_t resolveGroup(std::string& work, size_t s) {
  int depth = 1;
  size_t start = s;
  size_t p = s + 1;
  for (int steps = 0; steps <= kGroupWalkLimit; ++steps) {
    if (p >= clippedLength(work)) return std::string::npos;
    const char c = work[p];
    if (c == '[') {
      ++depth;
      start = p++;
    } else if (c == ']') {
      const std::string name = cut(std::string_view(work).substr(start + 1, p - start - 1), kVariableNameWidth);
      const std::string value = rt::CLIP(TranslateVariable(name));
      work.replace(start, p - start + 1, value);
      if (work.size() > kExpandWidth) work.resize(rt::utf8CutLength(work, kExpandWidth));
      if (depth-- == 1) return value.size();
      p = start;
      start = work.rfind('[', start == 0 ? 0 : start - 1);
      if (start == std::string::npos) return std::string::npos;  // cannot happen while depth > 0
    } else {
      ++p;
    }
  }
  return std::string::npos;
}

}  // namespace

std::string ExpandVariables(std::string_view text, std::string_view /*label*/) {
  std::string work = cut(text, kExpandWidth);
  for (size_t pos = 0; pos < clippedLength(work);) {
    if (work[pos] != '[') {
      ++pos;
      continue;
    }
    if (pos + 1 < work.size() && (work[pos + 1] == '[' || work[pos + 1] == ']')) {
      work.erase(pos, 1);
      ++pos;  // over the literal bracket
      continue;
    }
    // On from the value's second character, so that its own brackets from there on expand; an
    // empty value leaves the walk where it is, so that a name right behind it still expands.
    if (resolveGroup(work, pos) != 0) ++pos;
  }
  return rt::CLIP(work);
}

std::string ExpandText(std::string_view text) { return ExpandVariables(text, {}); }

std::string TranslateVariable(std::string_view nameIn) {
  std::string name(nameIn);
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  debugLog(name, "TranslateVariable");

  // The day offset: "+" (or, when the name has no "+" before its last character, "-") followed by
  // a number that is not 0.
  double offset = 0;
  if (!name.starts_with('=')) {
    auto takeOffset = [&](size_t at) {
      if (rt::textToNumber(std::string_view(name).substr(at + 1, 2)) == 0) return;
      offset = rt::textToNumber(std::string_view(name).substr(at, 9));
      if (offset != 0) name.resize(at);
    };
    const size_t plus = name.find('+');
    if (plus != std::string::npos && plus + 1 < name.size()) {
      takeOffset(plus);
    } else if (const size_t minus = name.find('-'); minus != std::string::npos && minus + 1 < name.size()) {
      takeOffset(minus);
    }
  }
  const double wholeOffset = std::trunc(offset);

  int32_t base = rt::TODAY();
  if (const size_t sep = name.find("::"); sep != std::string::npos && sep >= 1) {
    base = boundedWhole(rt::textToNumber(TranslateVariable(name.substr(0, sep))));
    name = name.substr(sep + 2);
  }
  const int32_t d = base + boundedWhole(wholeOffset);

  std::string value;
  if (dateWord(rt::UPPER(rt::clipView(name)), d, value)) return value;

  if (name.starts_with('=')) {
    value = EvaluateExpression(cut(std::string_view(name).substr(1), 255));
    double number = 0;
    if (wholeOffset != 0 && isNumberText(value, number)) value = rt::numberToText(number + offset);
    if (!rt::clipView(value).empty()) return value;
  }

  if (detail::startsWithCaseless(name, "CONTACT ")) {
    const int32_t id = boundedWhole(rt::textToNumber(std::string_view(name).substr(8, 32)));
    if (contactText(id, value)) return value;
  }

  files::VARQ.buf.NAME = rt::UPPER(name);
  if (files::VARQ.GET(files::VAR_ByName) != rt::Err::None)
    return offset != 0 ? rt::numberToText(offset) : std::string();
  value = files::VARQ.buf.STRINGVALUE.str();
  double number = 0;
  if (wholeOffset != 0 && isNumberText(value, number)) value = rt::numberToText(number + offset);
  return rt::CLIP(value);
}

std::string EvaluateExpression(std::string_view expression) {
  debugLog(expression, "Evaluation");
  std::string result = rt::EVALUATE(expression);
  debugLog("Result:  " + result, "Evaluation");
  return result;
}

void SetVariable(std::string_view valueIn, std::string_view nameIn) {
  std::string value = cut(ExpandVariables(valueIn), 255);
  if (value.starts_with('=')) {
    std::string result = rt::EVALUATE(std::string_view(value).substr(1));
    if (rt::ERRORCODE() == 0) value = cut(result, 255);
  }
  const std::string name = cut(rt::UPPER(rt::clipView(nameIn)), 32);
  if (name == "CLIPBOARD") {
    ui::SETCLIPBOARD(rt::CLIP(value));
    return;
  }
  const double number = std::round(rt::textToNumber(value) * 100) / 100;
  files::VARQ.buf.NAME = name;
  if (files::VARQ.GET(files::VAR_ByName) == rt::Err::None) {
    files::VARQ.buf.STRINGVALUE = value;
    files::VARQ.buf.VALUE = number;
    (void)files::VARQ.PUT();  // the entry was just read: PUT cannot miss it
  } else {
    files::VARQ.buf.NAME = name;
    files::VARQ.buf.STRINGVALUE = value;
    files::VARQ.buf.VALUE = number;
    files::VARQ.ADD(files::VAR_ByName);
  }
}

std::string variableText(std::string_view name) {
  files::VARQ.buf.NAME = rt::UPPER(rt::clipView(name));
  if (files::VARQ.GET(files::VAR_ByName) != rt::Err::None) return {};
  return files::VARQ.buf.STRINGVALUE.str();
}

}  // namespace ov::scheduler
