// Conditions as expression text and back. Each form is a prefix, the value's literal and a
// suffix (conditionParts), so a condition reads back by matching the same parts: whatever
// buildQuery writes, readQuery recognises, and nothing else.
#include <charconv>
#include <cmath>

#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/rt/picture.h"

namespace ov::qwizard {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

const char* comparison(Op op) {
  switch (op) {
    case Op::Equal: return "=";
    case Op::NotEqual: return "<>";
    case Op::Greater: return ">";
    case Op::Less: return "<";
    case Op::GreaterEqual: return ">=";
    case Op::LessEqual: return "<=";
    default: return nullptr;
  }
}

bool offers(const QueryField& f, Op op) {
  for (Op o : operationsFor(f))
    if (o == op) return true;
  return false;
}

bool comparesAsText(const QueryField& f) { return f.value == ValueKind::Text; }

struct Parts {
  std::string prefix, suffix;
  bool literal = true;  // a value stands between them
};

Parts conditionParts(const QueryField& f, Op op, bool caseSensitive) {
  const std::string& name = f.name;
  if (op == Op::Checked) return {name + "<>0", "", false};
  if (op == Op::NotChecked) return {name + "=0", "", false};
  if (!comparesAsText(f)) return {name + comparison(op), "", true};
  const bool caseless = !caseSensitive;
  if (const char* cmp = comparison(op)) {
    if (caseless) return {"UPPER(" + name + ")" + cmp + "UPPER(", ")", true};
    return {name + cmp, "", true};
  }
  // The value found at the first position begins the field; found anywhere, the field holds it.
  const char* found = op == Op::BeginsWith     ? "=1"
                      : op == Op::NotBeginWith ? "<>1"
                      : op == Op::Contains     ? ">0"
                                               : "=0";
  if (caseless) return {"INSTRING(UPPER(", "),UPPER(" + name + "),1,1)" + found, true};
  return {"INSTRING(", "," + name + ",1,1)" + found, true};
}

std::string quoted(std::string_view s) {
  std::string out = "'";
  for (char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

bool unquoted(std::string_view s, std::string& out) {
  if (s.size() < 2 || s.front() != '\'' || s.back() != '\'') return false;
  s = s.substr(1, s.size() - 2);
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    out += s[i];
    if (s[i] == '\'') {
      if (i + 1 >= s.size() || s[i + 1] != '\'') return false;
      ++i;
    }
  }
  return true;
}

// Plain decimal form, as the evaluator reads numbers (it has no exponent form).
std::string numberText(double v) {
  if (v == 0) return "0";
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  return ec == std::errc() ? std::string(buf, end) : "0";
}

bool plainNumber(std::string_view s, double& out) {
  if (s.empty()) return false;
  const char* first = s.data();
  if (*first == '+') ++first;
  const auto [end, ec] = std::from_chars(first, s.data() + s.size(), out, std::chars_format::fixed);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

bool hasDigit(std::string_view s) {
  for (char c : s)
    if (c >= '0' && c <= '9') return true;
  return false;
}

// The literal of a condition's value, or false with the reason.
bool literalOf(const QueryField& f, const Condition& c, std::string& out, std::string* error) {
  const std::string_view typed = trim(c.value);
  auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  if (comparesAsText(f)) {
    // Every text begins with and contains the empty one: such a condition would test nothing.
    if (typed.empty() && comparison(c.op) == nullptr) return fail(displayText(157));
    out = quoted(c.value);
    return true;
  }
  if (f.isDate() || f.isTime()) {
    // An empty value stands for no date or time, which is stored as 0.
    const double v = typed.empty() ? 0 : rt::deformatValue(typed, f.picture);
    if (!typed.empty() && v == 0)
      return fail("\"" + std::string(typed) + "\" is not a " + (f.isDate() ? "date" : "time") + " for " + f.label + ".");
    out = numberText(v);
    return true;
  }
  if (typed.empty()) return fail(displayText(157));
  double v = 0;
  if (!plainNumber(typed, v)) {
    if (!hasDigit(typed) || rt::pictureKind(f.picture) != rt::PictureKind::Number)
      return fail("\"" + std::string(typed) + "\" is not a number for " + f.label + ".");
    v = rt::deformatValue(typed, f.picture);
  }
  out = numberText(v);
  return true;
}

// The value as the wizard shows it, from a literal that readQuery found.
bool valueOf(const QueryField& f, std::string_view literal, std::string& out) {
  if (comparesAsText(f)) return unquoted(literal, out);
  double v = 0;
  if (!plainNumber(literal, v)) return false;
  if (f.isDate() || f.isTime())
    out = v == 0 ? std::string() : std::string(trim(rt::FORMAT(v, f.picture)));
  else
    out = std::string(literal);
  return true;
}

// The end of the parenthesised group opening at `open`, quotes respected; npos when unbalanced.
size_t groupEnd(std::string_view s, size_t open) {
  int depth = 0;
  bool inQuote = false;
  for (size_t i = open; i < s.size(); ++i) {
    const char ch = s[i];
    if (inQuote) {
      if (ch == '\'') inQuote = false;  // a doubled quote closes and opens again
    } else if (ch == '\'') {
      inQuote = true;
    } else if (ch == '(') {
      ++depth;
    } else if (ch == ')' && --depth == 0) {
      return i;
    }
  }
  return std::string_view::npos;
}

bool readCondition(const QueryFields& fields, std::string_view text, Condition& out) {
  for (size_t i = 0; i < fields.fields.size(); ++i) {
    const QueryField& f = fields.fields[i];
    for (Op op : operationsFor(f)) {
      for (bool caseSensitive : {false, true}) {
        if (caseSensitive && !comparesAsText(f)) continue;
        const Parts parts = conditionParts(f, op, caseSensitive);
        if (text.size() < parts.prefix.size() + parts.suffix.size() || !text.starts_with(parts.prefix) ||
            !text.ends_with(parts.suffix))
          continue;
        Condition c;
        c.field = static_cast<int>(i);
        c.op = op;
        c.caseSensitive = caseSensitive;
        if (parts.literal) {
          const std::string_view literal =
              text.substr(parts.prefix.size(), text.size() - parts.prefix.size() - parts.suffix.size());
          if (!valueOf(f, literal, c.value)) continue;
        } else if (text.size() != parts.prefix.size() + parts.suffix.size()) {
          continue;
        }
        // Only a condition that builds to the very same text is taken.
        std::string again;
        if (!conditionText(f, c, again) || again != text) continue;
        out = std::move(c);
        return true;
      }
    }
  }
  return false;
}

}  // namespace

std::vector<Op> operationsFor(const QueryField& f) {
  if (f.entry == EntryKind::Flag) return {Op::Checked, Op::NotChecked};
  if (f.entry == EntryKind::Choice) return {Op::Equal, Op::NotEqual};
  if (!comparesAsText(f))
    return {Op::Equal, Op::NotEqual, Op::Greater, Op::Less, Op::GreaterEqual, Op::LessEqual};
  return {Op::Equal,        Op::NotEqual,     Op::Greater,  Op::Less,         Op::GreaterEqual,
          Op::LessEqual,    Op::BeginsWith,   Op::Contains, Op::NotBeginWith, Op::NotContain};
}

bool takesValue(Op op) { return op != Op::Checked && op != Op::NotChecked; }

bool conditionText(const QueryField& f, const Condition& c, std::string& out, std::string* error) {
  if (!offers(f, c.op)) {
    if (error) *error = displayText(static_cast<int>(c.op)) + " does not apply to " + f.label + ".";
    return false;
  }
  const Parts parts = conditionParts(f, c.op, c.caseSensitive && comparesAsText(f));
  std::string literal;
  if (parts.literal && !literalOf(f, c, literal, error)) return false;
  out = parts.prefix + literal + parts.suffix;
  return true;
}

bool buildQuery(const QueryFields& fields, const std::vector<Condition>& conditions, std::string& out,
                std::string* error) {
  std::string text;
  for (size_t i = 0; i < conditions.size(); ++i) {
    const Condition& c = conditions[i];
    if (c.field < 0 || static_cast<size_t>(c.field) >= fields.fields.size()) {
      if (error) *error = "The query names a field that is not listed.";
      return false;
    }
    std::string one;
    if (!conditionText(fields.fields[c.field], c, one, error)) return false;
    if (i > 0) text += c.link == Link::Or ? " OR " : " AND ";
    text += "(" + one + ")";
  }
  out = std::move(text);
  return true;
}

bool readQuery(const QueryFields& fields, std::string_view text, std::vector<Condition>& out) {
  std::vector<Condition> conditions;
  size_t pos = 0;
  Link link = Link::And;
  while (pos < text.size()) {
    if (text[pos] != '(') return false;
    const size_t end = groupEnd(text, pos);
    if (end == std::string_view::npos) return false;
    Condition c;
    if (!readCondition(fields, text.substr(pos + 1, end - pos - 1), c)) return false;
    c.link = link;
    conditions.push_back(std::move(c));
    pos = end + 1;
    if (pos == text.size()) break;
    const std::string_view rest = text.substr(pos);
    if (rest.starts_with(" AND (")) {
      link = Link::And;
      pos += 5;
    } else if (rest.starts_with(" OR (")) {
      link = Link::Or;
      pos += 4;
    } else {
      return false;
    }
  }
  if (!conditions.empty()) conditions.front().link = Link::And;
  out = std::move(conditions);
  return true;
}

std::string describe(const QueryFields& fields, const Condition& c) {
  if (c.field < 0 || static_cast<size_t>(c.field) >= fields.fields.size()) return {};
  const QueryField& f = fields.fields[c.field];
  std::string s = f.label + " " + displayText(static_cast<int>(c.op));
  if (takesValue(c.op)) s += comparesAsText(f) ? " \"" + c.value + "\"" : " " + std::string(trim(c.value));
  if (c.caseSensitive && comparesAsText(f)) s += " (case sensitive)";
  return s;
}

}  // namespace ov::qwizard
