#include "mapisend/variables.h"

#include <cmath>
#include <vector>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/queues.h"
#include "datalib/records.h"
#include "mapisend/tessel_log.h"
#include "platform/os/window_list.h"
#include "platform/rt/date_time.h"
#include "platform/rt/expr.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"

namespace ov::mapisend {
namespace {

std::string cut(std::string_view s, size_t width) { return std::string(s.substr(0, rt::utf8CutLength(s, width))); }

size_t clippedLength(std::string_view s) { return rt::clipView(s).size(); }

// The work text and, per byte, whether it came from a value (and so is never a bracket).
struct Work {
  std::string text;
  std::vector<bool> literal;

  bool isBracket(size_t at, char c) const { return text[at] == c && !literal[at]; }
  void replace(size_t at, size_t length, const std::string& value) {
    text.replace(at, length, value);
    literal.erase(literal.begin() + at, literal.begin() + at + length);
    literal.insert(literal.begin() + at, value.size(), true);
    if (text.size() > kExpandWidth) {
      const size_t keep = rt::utf8CutLength(text, kExpandWidth);
      text.resize(keep);
      literal.resize(keep);
    }
  }
  void erase(size_t at) {
    text.erase(at, 1);
    literal.erase(literal.begin() + at);
  }
};

// Resolves the bracket group that opens at `p`, innermost groups first. Returns the length of the
// value that replaced the whole group, or npos when the group did not close within the text or
// the step limit (the text then keeps what was resolved inside it so far).
size_t resolveGroup(Work& w, size_t p) {
  size_t last = p;  // the "[" of the group being read
  size_t q = p;
  int depth = 1;
  for (int steps = 0; steps < kGroupStepLimit; ++steps) {
    ++q;
    if (q >= clippedLength(w.text)) return std::string::npos;
    if (w.isBracket(q, '[')) {
      ++depth;
      last = q;
    } else if (w.isBracket(q, ']')) {
      const std::string name = cut(std::string_view(w.text).substr(last + 1, q - last - 1), kVariableNameWidth);
      const std::string value = rt::CLIP(TranslateVariable(name));
      w.replace(last, q - last + 1, value);
      if (--depth == 0) return value.size();
      // On after the value, inside the enclosing group.
      q = last + value.size() - 1;
      size_t outer = last;
      do {
        if (outer == 0) return std::string::npos;  // cannot happen while depth > 0
        --outer;
      } while (!w.isBracket(outer, '['));
      last = outer;
    }
  }
  return std::string::npos;
}

// The value of a date, time or desktop word for the day `d`; false when `word` is none of them.
bool keywordValue(const std::string& word, int32_t d, std::string& out) {
  static constexpr std::string_view kDays = "SunMonTueWedThuFriSat";
  const auto picture = [d](const char* pic) { return rt::FORMAT(double(d), pic); };
  if (word == "DAYOFWEEKTEXT") {
    out = std::string(kDays.substr(size_t(((d % 7) + 7) % 7) * 3, 3));
  } else if (word == "DAYOFWEEK") {
    out = std::to_string(d % 7);
  } else if (word == "DAYOFMONTH") {
    out = std::to_string(rt::DAY(d));
  } else if (word == "YYYY-MM-DD") {
    out = picture("D10-");
  } else if (word == "DD-MM-YY") {
    out = picture("D05-");
  } else if (word == "MM-DD-YY") {
    out = picture("D01-");
  } else if (word == "DDMMYY") {
    const std::string s = picture("D05-");
    out = s.substr(0, 2) + s.substr(3, 2) + s.substr(6, 2);
  } else if (word == "MMYY") {
    const std::string s = picture("D05-");
    out = s.substr(3, 2) + s.substr(6, 2);
  } else if (word == "YYMM") {
    const std::string s = picture("D05-");
    out = s.substr(6, 2) + s.substr(3, 2);
  } else if (word == "MMDDYY") {
    const std::string s = picture("D01-");
    out = s.substr(0, 2) + s.substr(3, 2) + s.substr(6, 2);
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
    out = rt::FORMAT(double(rt::CLOCK()), "t05");
  } else if (word == "NOW") {
    out = rt::FORMAT(double(rt::CLOCK()), "@t7");
  } else if (word == "CLIPBOARD") {
    out = rt::CLIP(ui::CLIPBOARD());
  } else if (word == "FOCUS") {
    const os::WindowId w = os::foregroundWindow();
    const std::string title = w ? os::windowTitle(w) : std::string();
    out = title.empty() ? "Handle " + std::to_string(w) : cut(title, 1023);
  } else {
    return false;
  }
  return true;
}

// "Ann Lee, Acme - 555 1234": false when no contact has that number.
bool contactValue(int32_t id, std::string& out) {
  if (files::Access_CONTACT.TryOpen() != rt::Err::None) return false;
  files::C_.ClientID = id;
  const bool found = files::Access_CONTACT.TryFetch(files::C_KeyClientID) == rt::Err::None;
  (void)files::Access_CONTACT.Close();  // read only; nothing to lose
  if (!found) return false;
  const files::ContactRec& c = files::C_;
  const std::string_view preferred = c.DefaultContact.clipped();
  std::string phone;
  if (preferred == "Business") phone = c.WorkDayPhone.clipped();
  else if (preferred == "Home") phone = c.HomeEveningPhone.clipped();
  else if (preferred == "Other") phone = c.OtherPhone.clipped();
  else if (preferred == "Fax") phone = c.Fax.clipped();
  else if (preferred == "E-mail") phone = c.Email.clipped();
  else phone = "Bus:" + std::string(c.WorkDayPhone.clipped()) + "/Res:" + std::string(c.HomeEveningPhone.clipped());
  std::string text = std::string(c.FirstName.clipped()) + " " + std::string(c.LastName.clipped());
  if (!c.Company.isBlank()) text += ", ";
  text += std::string(c.Company.clipped()) + " - " + phone;
  out = rt::CLIP(rt::LEFT(text));
  return true;
}

// True when `text` counts as a number for adding an offset: its value is not 0, or it is "0".
bool numberFor(std::string_view text, double& value) {
  value = rt::textToNumber(text);
  return value != 0 || text == "0";
}

double offsetAt(const std::string& name, size_t at, bool negative) {
  if (rt::textToNumber(std::string_view(name).substr(at + 1, 2)) == 0) return 0;
  return negative ? rt::textToNumber(std::string_view(name).substr(at, 10))
                  : rt::textToNumber(std::string_view(name).substr(at + 1, 9));
}

}  // namespace

std::string ExpandVariables(std::string_view text) {
  Work w;
  w.text = cut(text, kExpandWidth);
  w.literal.assign(w.text.size(), false);
  for (size_t p = 0; p + 1 < clippedLength(w.text); ++p) {
    if (!w.isBracket(p, '[')) continue;
    if (!w.literal[p + 1] && (w.text[p + 1] == '[' || w.text[p + 1] == ']')) {
      w.erase(p);  // the kept bracket is now at p and is passed over
      continue;
    }
    const size_t length = resolveGroup(w, p);
    // The value is passed over as a whole; an empty one leaves p on what followed the group.
    if (length != std::string::npos) p = p + length - 1;
  }
  return rt::CLIP(w.text);
}

std::string TranslateVariable(std::string_view nameIn) {
  std::string name(nameIn);
  if (name.starts_with('[') && rt::clipView(name).ends_with(']')) name = std::string(rt::clipView(name)).substr(1, rt::clipView(name).size() - 2);
  debugLine("TranslateVariable", name);

  double offset = 0;
  if (!name.starts_with('=')) {
    const size_t plus = name.find('+');
    if (plus != std::string::npos && plus + 1 < name.size()) {
      offset = offsetAt(name, plus, false);
      if (offset != 0) name.resize(plus);
    } else if (const size_t minus = name.find('-'); minus != std::string::npos && minus + 1 < name.size()) {
      offset = offsetAt(name, minus, true);
      if (offset != 0) name.resize(minus);
    }
  }
  const double wholeOffset = std::trunc(offset);

  int32_t base = rt::TODAY();
  if (const size_t sep = name.find("::"); sep != std::string::npos && sep >= 1) {
    base = int32_t(std::trunc(rt::textToNumber(rt::clipView(TranslateVariable(name.substr(0, sep))))));
    name = name.substr(sep + 2);
  }
  const int32_t d = base + int32_t(wholeOffset);

  std::string value;
  if (keywordValue(rt::UPPER(rt::clipView(name)), d, value)) return value;

  if (name.starts_with('=')) {
    const std::string expression = cut(std::string_view(name).substr(1), 255);
    debugLine("Evaluation", expression);
    value = rt::EVALUATE(expression);
    debugLine("Evaluation", "Result:  " + value);
    if (!rt::clipView(value).empty()) return rt::CLIP(value);
  }

  if (rt::UPPER(std::string_view(name).substr(0, 8)) == "CONTACT ") {
    const int32_t id = int32_t(rt::textToNumber(rt::clipView(std::string_view(name).substr(8, 32))));
    if (contactValue(id, value)) return value;
  }

  files::VARQ.buf.NAME = cut(rt::UPPER(name), 32);
  if (files::VARQ.GET(files::VAR_ByName) != rt::Err::None) return offset != 0 ? rt::numberToText(offset) : std::string();
  value = rt::CLIP(files::VARQ.buf.STRINGVALUE.view());
  double number = 0;
  if (wholeOffset != 0 && !value.empty() && numberFor(value, number)) value = rt::numberToText(number + offset);
  return rt::CLIP(value);
}

}  // namespace ov::mapisend
