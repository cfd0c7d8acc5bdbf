#include "expr.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "date_time.h"
#include "picture.h"
#include "text.h"

namespace ov::rt {

// ---- names ---------------------------------------------------------------------------------------

void Bindings::push() { m_scopes.push_back(m_entries.size()); }

void Bindings::pop() {
  if (m_scopes.empty()) {
    m_entries.clear();
    return;
  }
  m_entries.resize(m_scopes.back());
  m_scopes.pop_back();
}

void Bindings::unbind(std::string_view name) {
  std::string want = UPPER(name);
  for (size_t i = m_entries.size(); i-- > 0;) {
    if (m_entries[i].name != want) continue;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
    for (size_t& mark : m_scopes)
      if (mark > i) --mark;
    return;
  }
}

void Bindings::add(std::string_view name, const void* v, FieldType type, uint32_t width) {
  FieldDesc f{nullptr, type, width, 0, 0};
  m_entries.push_back(Entry{UPPER(name), v, f});
}

void Bindings::bindRecord(const RecordDesc& record, const void* buffer) {
  for (const FieldDesc& f : record.fields) m_entries.push_back(Entry{UPPER(f.name), buffer, f});
}

void Bindings::bindField(std::string_view name, const FieldDesc& field, const void* buffer) {
  m_entries.push_back(Entry{UPPER(name), buffer, field});
}

const Bindings::Entry* Bindings::find(std::string_view name) const {
  std::string want = UPPER(name);
  for (size_t i = m_entries.size(); i-- > 0;)
    if (m_entries[i].name == want) return &m_entries[i];
  return nullptr;
}

Bindings& threadBindings() {
  thread_local Bindings names;
  return names;
}

// ---- the parsed form -----------------------------------------------------------------------------

namespace {

enum class Op : uint8_t { Add, Sub, Mul, Div, Mod, Pow, Eq, Ne, Lt, Le, Gt, Ge, And, Or, Xor };

enum class Fn : uint8_t {
  Upper, Lower, Clip, Left, Sub, Instring, Len, Today, Clock, Day, Month, Year, Date, Format,
  Deformat, Int, Abs, Round, Val, Chr, Numeric, Age,
};

struct FnInfo {
  const char* name;
  Fn fn;
  uint8_t minArgs, maxArgs;
};
constexpr FnInfo kFunctions[] = {
    {"UPPER", Fn::Upper, 1, 1},       {"LOWER", Fn::Lower, 1, 1},     {"CLIP", Fn::Clip, 1, 1},
    {"LEFT", Fn::Left, 1, 2},         {"SUB", Fn::Sub, 2, 3},         {"INSTRING", Fn::Instring, 2, 4},
    {"LEN", Fn::Len, 1, 1},           {"TODAY", Fn::Today, 0, 0},     {"CLOCK", Fn::Clock, 0, 0},
    {"DAY", Fn::Day, 1, 1},           {"MONTH", Fn::Month, 1, 1},     {"YEAR", Fn::Year, 1, 1},
    {"DATE", Fn::Date, 3, 3},         {"FORMAT", Fn::Format, 2, 2},   {"DEFORMAT", Fn::Deformat, 1, 2},
    {"INT", Fn::Int, 1, 1},           {"ABS", Fn::Abs, 1, 1},         {"ROUND", Fn::Round, 2, 2},
    {"VAL", Fn::Val, 1, 1},           {"CHR", Fn::Chr, 1, 1},         {"NUMERIC", Fn::Numeric, 1, 1},
    {"AGE", Fn::Age, 1, 2},
};

enum class Kind : uint8_t {
  Const,    // num or text
  Var,      // a bound name; kids[0] is the subscript of an array field, when given
  Neg,      // -kids[0]
  Plus,     // +kids[0]: the number of a text
  Not,      // NOT kids[0]
  Arith,    // kids[0] ops[0] kids[1] ops[1] ... (one precedence level, left to right)
  Concat,   // kids[0] & kids[1] & ...
  Compare,  // kids[0] ops[0] kids[1] ...: each comparison's 1 or 0 is the next left side
  Logic,    // AND, or OR / XOR, left to right
  Call,
};

struct Node {
  Kind kind = Kind::Const;
  Fn fn = Fn::Upper;
  bool isText = false;  // Const
  double num = 0;       // Const
  std::string text;     // Const
  const void* base = nullptr;  // Var
  FieldDesc field{};           // Var
  std::vector<int> kids;
  std::vector<Op> ops;
};

}  // namespace

struct Expression::Program {
  std::vector<Node> nodes;
};

namespace {

// ---- values --------------------------------------------------------------------------------------

// A number or a text. A text either refers to memory that outlives the evaluation (a bound
// variable, a constant of the program) or owns its bytes.
struct Value {
  bool isText = false;
  bool owned = false;
  double num = 0;
  std::string own;
  std::string_view ref;

  std::string_view str() const { return owned ? std::string_view(own) : ref; }

  static Value number(double v) {
    Value x;
    x.num = std::isfinite(v) ? v : 0;  // overflow and 0/0 give 0 rather than a poisoned result
    return x;
  }
  static Value view(std::string_view s) {
    Value x;
    x.isText = true;
    x.ref = s;
    return x;
  }
  static Value text(std::string s) {
    Value x;
    x.isText = true;
    x.owned = true;
    x.own = std::move(s);
    return x;
  }
  static Value boolean(bool b) { return number(b ? 1 : 0); }
};

double toNumber(const Value& v) { return v.isText ? textToNumber(v.str()) : v.num; }

// A number as text, to 15 significant digits: what binary fractions add on beyond them is noise
// the user never typed ("0.1+0.2" shows 0.3).
std::string numberText(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return numberToText(std::strtod(buf, nullptr));
}

std::string toText(const Value& v) { return v.isText ? std::string(v.str()) : numberText(v.num); }

bool isTrue(const Value& v) { return v.isText ? !clipView(v.str()).empty() : v.num != 0; }

// The widest text LEFT pads to, so that a typed filter cannot ask for gigabytes.
constexpr int32_t kMaxWidth = 1 << 20;

// A number as a whole int32, cut toward zero; values outside the range are clamped.
int32_t toInt(double d) {
  if (!(d == d)) return 0;
  if (d >= 2147483647.0) return INT32_MAX;
  if (d <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(d);
}

bool nearlyEqual(double a, double b) {
  if (a == b) return true;
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

// -1, 0, 1. Two texts compare as texts (trailing blanks ignored, case counts); anything else
// compares as numbers.
int compareValues(const Value& a, const Value& b) {
  if (a.isText && b.isText) return compareText(a.str(), b.str());
  double x = toNumber(a), y = toNumber(b);
  return nearlyEqual(x, y) ? 0 : x < y ? -1 : 1;
}

bool holds(Op op, int c) {
  switch (op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Le: return c <= 0;
    case Op::Gt: return c > 0;
    case Op::Ge: return c >= 0;
    default: return false;
  }
}

double arith(Op op, double a, double b) {
  switch (op) {
    case Op::Add: return a + b;
    case Op::Sub: return a - b;
    case Op::Mul: return a * b;
    case Op::Div: return b == 0 ? 0 : a / b;
    case Op::Mod: return b == 0 ? 0 : std::fmod(a, b);
    case Op::Pow: return std::pow(a, b);
    default: return 0;
  }
}

// ROUND(value, order): the nearest multiple of `order`, halves away from zero. The quotient gets a
// nudge of a few units in its last place, so 5.55 rounded to 0.1 gives 5.6 although 5.55 is
// stored a little below.
double roundTo(double v, double order) {
  order = std::fabs(order);
  if (order == 0) return v;
  double q = std::fabs(v) / order;
  double r = std::floor(q + 0.5 + q * 4 * 2.220446049250313e-16);
  // For an order of 0.1, 0.01, ... divide by its inverse: 56 / 10 is 5.6, 56 * 0.1 is not.
  double inverse = std::round(1 / order);
  bool decimal = inverse > 1 && std::fabs(inverse * order - 1) < 1e-12;
  return std::copysign(decimal ? r / inverse : r * order, v);
}

// AGE(birth, base): "n DAYS" up to 60 days, "n MOS" below two years, else "n YRS"; whole units
// that have passed. "" when a date is not valid or the base lies before the birth.
std::string age(int32_t birth, int32_t base) {
  if (birth < kFirstDate || birth > kLastDate || base < kFirstDate || base > kLastDate || base < birth) return "";
  int32_t days = base - birth;
  if (days <= 60) return std::to_string(days) + " DAYS";
  int32_t months = (YEAR(base) - YEAR(birth)) * 12 + MONTH(base) - MONTH(birth) - (DAY(base) < DAY(birth) ? 1 : 0);
  if (months < 24) return std::to_string(months) + " MOS";
  return std::to_string(months / 12) + " YRS";
}

Value evaluate(const Expression::Program& p, int index);

Value readVar(const Expression::Program& p, const Node& n) {
  const FieldDesc& f = n.field;
  int element = 0;
  if (!n.kids.empty()) {
    element = toInt(toNumber(evaluate(p, n.kids[0]))) - 1;
    if (element < 0 || element >= f.dim) {  // outside the array: an empty value of its type
      bool text = f.type == FieldType::String || f.type == FieldType::CString || f.type == FieldType::Memo ||
                  f.type == FieldType::Blob;
      return text ? Value::view({}) : Value::number(0);
    }
  }
  const char* at = static_cast<const char*>(n.base) + f.memberOffset + static_cast<size_t>(element) * f.width;
  switch (f.type) {
    case FieldType::String: return Value::view(std::string_view(at, f.width));
    case FieldType::CString: return Value::view(std::string_view(at, ::strnlen(at, f.width)));
    case FieldType::Memo:
    case FieldType::Blob: return Value::view(*reinterpret_cast<const std::string*>(at));
    default: return Value::number(fieldNumber(n.base, f, element));
  }
}

Value call(const Expression::Program& p, const Node& n) {
  Value a[4];
  size_t count = n.kids.size();
  for (size_t i = 0; i < count; ++i) a[i] = evaluate(p, n.kids[i]);
  auto num = [&](size_t i) { return toNumber(a[i]); };
  auto str = [&](size_t i) -> std::string_view {
    if (!a[i].isText) a[i] = Value::text(numberText(a[i].num));
    return a[i].str();
  };
  switch (n.fn) {
    case Fn::Upper: return Value::text(UPPER(str(0)));
    case Fn::Lower: return Value::text(LOWER(str(0)));
    case Fn::Clip: {
      size_t length = clipView(str(0)).size();
      Value v = std::move(a[0]);
      if (v.owned) {
        v.own.resize(length);
      } else {
        v.ref = v.ref.substr(0, length);
      }
      return v;
    }
    case Fn::Left: {
      if (count == 1) return Value::text(LEFT(str(0)));
      int32_t width = std::clamp(toInt(num(1)), 0, kMaxWidth);
      return Value::text(LEFT(str(0), static_cast<size_t>(width)));
    }
    case Fn::Sub: {
      std::string_view s = str(0);
      int32_t start = toInt(num(1));
      int64_t rest = start > 0 ? static_cast<int64_t>(s.size()) - start + 1 : -static_cast<int64_t>(start);
      int32_t length = count == 3 ? toInt(num(2)) : static_cast<int32_t>(rest < 0 ? 0 : std::min<int64_t>(rest, INT32_MAX));
      return Value::text(SUB(s, start, length));
    }
    case Fn::Instring: {
      std::string_view part = str(0), s = str(1);
      // Without a step the search moves by the length of what it looks for.
      int32_t step = count >= 3 ? toInt(num(2)) : static_cast<int32_t>(std::min<size_t>(part.size(), INT32_MAX));
      int32_t start = count == 4 ? toInt(num(3)) : 0;
      return Value::number(INSTRING(part, s, step, start));
    }
    case Fn::Len: return Value::number(static_cast<double>(str(0).size()));
    case Fn::Today: return Value::number(TODAY());
    case Fn::Clock: return Value::number(CLOCK());
    case Fn::Day: return Value::number(DAY(toInt(num(0))));
    case Fn::Month: return Value::number(MONTH(toInt(num(0))));
    case Fn::Year: return Value::number(YEAR(toInt(num(0))));
    case Fn::Date: return Value::number(DATE(toInt(num(0)), toInt(num(1)), toInt(num(2))));
    case Fn::Format: {
      std::string picture(str(1));
      return Value::text(a[0].isText ? FORMAT(a[0].str(), picture) : FORMAT(a[0].num, picture));
    }
    case Fn::Deformat: return Value::text(DEFORMAT(str(0), count == 2 ? str(1) : std::string_view()));
    case Fn::Int: return Value::number(std::trunc(num(0)));
    case Fn::Abs: return Value::number(std::fabs(num(0)));
    case Fn::Round: return Value::number(roundTo(num(0), num(1)));
    case Fn::Val: return Value::number(static_cast<double>(VAL(str(0))));
    case Fn::Chr: return Value::text(CHR(toInt(num(0))));
    case Fn::Numeric: return Value::boolean(!a[0].isText || NUMERIC(a[0].str()));
    case Fn::Age: return Value::text(age(toInt(num(0)), count == 2 ? toInt(num(1)) : TODAY()));
  }
  return Value::number(0);
}

Value evaluate(const Expression::Program& p, int index) {
  const Node& n = p.nodes[static_cast<size_t>(index)];
  switch (n.kind) {
    case Kind::Const: return n.isText ? Value::view(n.text) : Value::number(n.num);
    case Kind::Var: return readVar(p, n);
    case Kind::Neg: return Value::number(-toNumber(evaluate(p, n.kids[0])));
    case Kind::Plus: return Value::number(toNumber(evaluate(p, n.kids[0])));
    case Kind::Not: return Value::boolean(!isTrue(evaluate(p, n.kids[0])));
    case Kind::Arith: {
      double v = toNumber(evaluate(p, n.kids[0]));
      for (size_t i = 0; i < n.ops.size(); ++i) {
        v = arith(n.ops[i], v, toNumber(evaluate(p, n.kids[i + 1])));
        if (!std::isfinite(v)) v = 0;
      }
      return Value::number(v);
    }
    case Kind::Concat: {
      std::string s;
      for (int kid : n.kids) {
        Value v = evaluate(p, kid);
        if (v.isText) {
          s += v.str();
        } else {
          s += numberText(v.num);
        }
      }
      return Value::text(std::move(s));
    }
    case Kind::Compare: {
      Value left = evaluate(p, n.kids[0]);
      for (size_t i = 0; i < n.ops.size(); ++i) {
        Value right = evaluate(p, n.kids[i + 1]);
        left = Value::boolean(holds(n.ops[i], compareValues(left, right)));
      }
      return left;
    }
    case Kind::Logic: {
      bool v = isTrue(evaluate(p, n.kids[0]));
      for (size_t i = 0; i < n.ops.size(); ++i) {
        Op op = n.ops[i];
        if (op == Op::And && !v) continue;  // false stays false; the rest of an AND run is skipped
        if (op == Op::Or && v) continue;
        bool w = isTrue(evaluate(p, n.kids[i + 1]));
        v = op == Op::And ? w : op == Op::Or ? w : v != w;
      }
      return Value::boolean(v);
    }
    case Kind::Call: return call(p, n);
  }
  return Value::number(0);
}

// ---- reading the text ----------------------------------------------------------------------------

enum class Tok : uint8_t {
  End, Number, Text, Name, LParen, RParen, LBracket, RBracket, Comma,
  Plus, Minus, Star, Slash, Percent, Caret, Amp, Eq, Ne, Lt, Le, Gt, Ge, Not, And, Or, Xor,
};

struct Token {
  Tok kind = Tok::End;
  size_t pos = 0;
  double num = 0;
  std::string text;  // Text, Name (as written)
};

struct Fault {
  Err code;
  size_t pos;
  std::string message;
};

constexpr int kMaxDepth = 100;  // nesting of parentheses, calls and prefix operators

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c & 0x80); }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == ':'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  size_t i = 0;
  auto put = [&](Tok kind, size_t at, size_t len) {
    Token t;
    t.kind = kind;
    t.pos = at;
    out.push_back(std::move(t));
    i = at + len;
  };
  while (i < s.size()) {
    char c = s[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    size_t at = i;
    char next = i + 1 < s.size() ? s[i + 1] : '\0';
    if (isDigit(c) || (c == '.' && isDigit(next))) {
      size_t j = i;
      while (j < s.size() && isDigit(s[j])) ++j;
      if (j < s.size() && s[j] == '.') {
        ++j;
        while (j < s.size() && isDigit(s[j])) ++j;
      }
      if (j < s.size() && (isNameChar(s[j]) || s[j] == '.'))
        throw Fault{Err::BadExpression, at, "Malformed number"};
      Token t;
      t.kind = Tok::Number;
      t.pos = at;
      t.num = std::strtod(std::string(s.substr(i, j - i)).c_str(), nullptr);
      out.push_back(std::move(t));
      i = j;
    } else if (c == '\'') {
      Token t;
      t.kind = Tok::Text;
      t.pos = at;
      size_t j = i + 1;
      for (;;) {
        if (j >= s.size()) throw Fault{Err::BadExpression, at, "Text without its closing quote"};
        if (s[j] == '\'') {
          if (j + 1 < s.size() && s[j + 1] == '\'') {
            t.text += '\'';
            j += 2;
            continue;
          }
          break;
        }
        t.text += s[j++];
      }
      out.push_back(std::move(t));
      i = j + 1;
    } else if (c == '@') {
      // A picture written without quotes (FORMAT(SCH:Date,@D17)): up to a blank, a comma, or a
      // closing parenthesis that it did not open itself; "~...~" is taken whole.
      size_t j = i + 1;
      int depth = 0;
      while (j < s.size()) {
        char d = s[j];
        if (d == '~') {
          size_t close = s.find('~', j + 1);
          j = close == std::string_view::npos ? s.size() : close + 1;
          continue;
        }
        if (d == ' ' || d == '\t' || d == ',' || (d == ')' && depth == 0)) break;
        if (d == '(') ++depth;
        if (d == ')') --depth;
        ++j;
      }
      if (j == i + 1) throw Fault{Err::BadExpression, at, "Empty picture"};
      Token t;
      t.kind = Tok::Text;
      t.pos = at;
      t.text.assign(s.substr(i, j - i));
      out.push_back(std::move(t));
      i = j;
    } else if (isNameStart(c)) {
      size_t j = i;
      while (j < s.size() && isNameChar(s[j])) ++j;
      Token t;
      t.pos = at;
      t.text.assign(s.substr(i, j - i));
      std::string upper = UPPER(t.text);
      t.kind = upper == "AND" ? Tok::And : upper == "OR" ? Tok::Or : upper == "XOR" ? Tok::Xor
             : upper == "NOT" ? Tok::Not : Tok::Name;
      out.push_back(std::move(t));
      i = j;
    } else {
      switch (c) {
        case '(': put(Tok::LParen, at, 1); break;
        case ')': put(Tok::RParen, at, 1); break;
        case '[': put(Tok::LBracket, at, 1); break;
        case ']': put(Tok::RBracket, at, 1); break;
        case ',': put(Tok::Comma, at, 1); break;
        case '+': put(Tok::Plus, at, 1); break;
        case '-': put(Tok::Minus, at, 1); break;
        case '*': put(Tok::Star, at, 1); break;
        case '/': put(Tok::Slash, at, 1); break;
        case '%': put(Tok::Percent, at, 1); break;
        case '^': put(Tok::Caret, at, 1); break;
        case '&': put(Tok::Amp, at, 1); break;
        case '=':
          if (next == '<') put(Tok::Le, at, 2);
          else if (next == '>') put(Tok::Ge, at, 2);
          else put(Tok::Eq, at, 1);
          break;
        case '<':
          if (next == '>') put(Tok::Ne, at, 2);
          else if (next == '=') put(Tok::Le, at, 2);
          else put(Tok::Lt, at, 1);
          break;
        case '>':
          if (next == '=') put(Tok::Ge, at, 2);
          else put(Tok::Gt, at, 1);
          break;
        case '~':
          if (next == '=') put(Tok::Ne, at, 2);
          else if (next == '<') put(Tok::Ge, at, 2);
          else if (next == '>') put(Tok::Le, at, 2);
          else put(Tok::Not, at, 1);
          break;
        default: throw Fault{Err::BadExpression, at, std::string("Unexpected character ") + c};
      }
    }
  }
  Token end;
  end.pos = s.size();
  out.push_back(std::move(end));
  return out;
}

bool isRelation(Tok t) {
  return t == Tok::Eq || t == Tok::Ne || t == Tok::Lt || t == Tok::Le || t == Tok::Gt || t == Tok::Ge;
}

Op relation(Tok t, bool negated) {
  switch (t) {
    case Tok::Eq: return negated ? Op::Ne : Op::Eq;
    case Tok::Ne: return negated ? Op::Eq : Op::Ne;
    case Tok::Lt: return negated ? Op::Ge : Op::Lt;
    case Tok::Le: return negated ? Op::Gt : Op::Le;
    case Tok::Gt: return negated ? Op::Le : Op::Gt;
    default: return negated ? Op::Lt : Op::Ge;
  }
}

class Parser {
 public:
  Parser(std::string_view text, const Bindings& names, Expression::Program& program)
      : m_tokens(tokenize(text)), m_names(names), m_program(program) {}

  int expression() { return parseOr(); }

  bool at(Tok kind) const { return m_tokens[m_pos].kind == kind; }
  const Token& token() const { return m_tokens[m_pos]; }
  void next() {
    if (!at(Tok::End)) ++m_pos;
  }
  void expect(Tok kind, const char* what) {
    if (!at(kind)) fail(Err::BadExpression, std::string("Expected ") + what);
    next();
  }
  [[noreturn]] void fail(Err code, std::string message) const {
    throw Fault{code, token().pos, std::move(message)};
  }
  [[noreturn]] void unexpected() const {
    if (at(Tok::End)) fail(Err::BadExpression, "The expression ends too soon");
    fail(Err::BadExpression, "Unexpected " + describe(token()));
  }

 private:
  static std::string describe(const Token& t) {
    switch (t.kind) {
      case Tok::Number: return "number";
      case Tok::Text: return "text";
      case Tok::Name:
      case Tok::And:
      case Tok::Or:
      case Tok::Xor:
      case Tok::Not: return t.text.empty() ? std::string("operator ~") : "word " + t.text;
      default: return "operator";
    }
  }

  int add(Node n) {
    m_program.nodes.push_back(std::move(n));
    return static_cast<int>(m_program.nodes.size() - 1);
  }

  // Joins operands of one precedence level into one node, so a long run of "+" or "AND" costs no
  // depth in the evaluation.
  template <typename Sub, typename Match>
  int level(Kind kind, Sub sub, Match match) {
    int first = sub();
    Op op;
    if (!match(op)) return first;
    Node n;
    n.kind = kind;
    n.kids.push_back(first);
    do {
      next();
      n.ops.push_back(op);
      n.kids.push_back(sub());
    } while (match(op));
    return add(std::move(n));
  }

  int parseOr() {
    return level(Kind::Logic, [&] { return parseAnd(); }, [&](Op& op) {
      if (at(Tok::Or)) return op = Op::Or, true;
      if (at(Tok::Xor)) return op = Op::Xor, true;
      return false;
    });
  }
  int parseAnd() {
    return level(Kind::Logic, [&] { return parseCompare(); }, [&](Op& op) {
      return at(Tok::And) ? (op = Op::And, true) : false;
    });
  }
  int parseCompare() {
    return level(Kind::Compare, [&] { return parseConcat(); }, [&](Op& op) {
      if (isRelation(token().kind)) return op = relation(token().kind, false), true;
      // "NOT =", "~ <": the negated relation
      if (at(Tok::Not) && isRelation(m_tokens[m_pos + 1].kind)) {
        next();
        return op = relation(token().kind, true), true;
      }
      return false;
    });
  }
  int parseConcat() {
    return level(Kind::Concat, [&] { return parseAdditive(); }, [&](Op& op) {
      return at(Tok::Amp) ? (op = Op::Add, true) : false;
    });
  }
  int parseAdditive() {
    return level(Kind::Arith, [&] { return parseMultiplicative(); }, [&](Op& op) {
      if (at(Tok::Plus)) return op = Op::Add, true;
      if (at(Tok::Minus)) return op = Op::Sub, true;
      return false;
    });
  }
  int parseMultiplicative() {
    return level(Kind::Arith, [&] { return parsePower(); }, [&](Op& op) {
      if (at(Tok::Star)) return op = Op::Mul, true;
      if (at(Tok::Slash)) return op = Op::Div, true;
      if (at(Tok::Percent)) return op = Op::Mod, true;
      return false;
    });
  }
  int parsePower() {
    return level(Kind::Arith, [&] { return parseUnary(); }, [&](Op& op) {
      return at(Tok::Caret) ? (op = Op::Pow, true) : false;
    });
  }

  struct Deeper {
    Parser& p;
    explicit Deeper(Parser& parser) : p(parser) {
      if (++p.m_depth > kMaxDepth) p.fail(Err::BadExpression, "The expression is nested too deeply");
    }
    ~Deeper() { --p.m_depth; }
  };

  int parseUnary() {
    Kind kind;
    if (at(Tok::Minus)) kind = Kind::Neg;
    else if (at(Tok::Plus)) kind = Kind::Plus;
    else if (at(Tok::Not)) kind = Kind::Not;
    else return parsePrimary();
    Deeper deeper(*this);
    next();
    Node n;
    n.kind = kind;
    n.kids.push_back(parseUnary());
    return add(std::move(n));
  }

  int parsePrimary() {
    const Token& t = token();
    switch (t.kind) {
      case Tok::Number: {
        Node n;
        n.num = t.num;
        next();
        return add(std::move(n));
      }
      case Tok::Text: {
        Node n;
        n.isText = true;
        n.text = t.text;
        next();
        return add(std::move(n));
      }
      case Tok::LParen: {
        Deeper deeper(*this);
        next();
        int inner = parseOr();
        expect(Tok::RParen, "\")\"");
        return inner;
      }
      case Tok::Name: return m_tokens[m_pos + 1].kind == Tok::LParen ? parseCall() : parseName();
      default: unexpected();
    }
  }

  int parseCall() {
    Deeper deeper(*this);
    std::string name = UPPER(token().text);
    const FnInfo* info = nullptr;
    for (const FnInfo& f : kFunctions)
      if (name == f.name) info = &f;
    if (!info) fail(Err::UnknownName, "Unknown function " + token().text);
    size_t callPos = token().pos;
    next();  // the name
    next();  // "("
    Node n;
    n.kind = Kind::Call;
    n.fn = info->fn;
    if (!at(Tok::RParen)) {
      for (;;) {
        if (n.kids.size() == info->maxArgs)
          throw Fault{Err::BadFunctionCall, callPos, std::string(info->name) + " takes at most " + std::to_string(info->maxArgs) + " arguments"};
        n.kids.push_back(parseOr());
        if (!at(Tok::Comma)) break;
        next();
      }
    }
    expect(Tok::RParen, "\")\"");
    if (n.kids.size() < info->minArgs)
      throw Fault{Err::BadFunctionCall, callPos, std::string(info->name) + " needs " + std::to_string(info->minArgs) + " arguments"};
    return add(std::move(n));
  }

  int parseName() {
    const Bindings::Entry* bound = m_names.find(token().text);
    if (!bound) fail(Err::UnknownName, "Unknown name " + token().text);
    Node n;
    n.kind = Kind::Var;
    n.base = bound->base;
    n.field = bound->field;
    next();
    if (at(Tok::LBracket)) {
      if (n.field.dim <= 1) fail(Err::BadExpression, "Not an array");
      Deeper deeper(*this);
      next();
      n.kids.push_back(parseOr());
      expect(Tok::RBracket, "\"]\"");
    }
    return add(std::move(n));
  }

  std::vector<Token> m_tokens;
  size_t m_pos = 0;
  int m_depth = 0;
  const Bindings& m_names;
  Expression::Program& m_program;
};

bool report(const Fault& f, ExprError* error) {
  if (error) *error = ExprError{f.code, f.pos, f.message};
  return false;
}

}  // namespace

// ---- Expression ----------------------------------------------------------------------------------

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(const Expression&) = default;
Expression& Expression::operator=(const Expression&) = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

namespace {

// Parses one expression, or with `many` a comma-separated list, into one program.
bool parseRoots(std::string_view text, const Bindings& names, bool many,
                std::shared_ptr<const Expression::Program>& program, std::vector<int>& roots, ExprError* error) {
  try {
    auto built = std::make_shared<Expression::Program>();
    Parser parser(text, names, *built);
    if (parser.at(Tok::End)) parser.fail(Err::BadExpression, "The expression is empty");
    roots.push_back(parser.expression());
    while (many && parser.at(Tok::Comma)) {
      parser.next();
      roots.push_back(parser.expression());
    }
    if (!parser.at(Tok::End)) parser.unexpected();
    program = std::move(built);
    if (error) *error = ExprError{};
    return true;
  } catch (const Fault& f) {
    return report(f, error);
  } catch (const std::bad_alloc&) {
    return report(Fault{Err::NoMemory, 0, "Out of memory"}, error);
  }
}

}  // namespace

bool Expression::parse(std::string_view text, const Bindings& names, ExprError* error) {
  std::shared_ptr<const Program> program;
  std::vector<int> roots;
  bool ok = parseRoots(text, names, false, program, roots, error);
  m_program = std::move(program);
  m_root = ok ? roots.front() : 0;
  return ok;
}

std::string Expression::text() const {
  if (!m_program) return {};
  return toText(evaluate(*m_program, m_root));
}

double Expression::number() const {
  if (!m_program) return 0;
  return toNumber(evaluate(*m_program, m_root));
}

bool Expression::isTrue() const {
  if (!m_program) return false;
  return ov::rt::isTrue(evaluate(*m_program, m_root));
}

bool Expression::isTextResult() const {
  if (!m_program) return false;
  return evaluate(*m_program, m_root).isText;
}

bool parseExpressionList(std::string_view text, const Bindings& names, std::vector<Expression>& out,
                         ExprError* error) {
  out.clear();
  std::shared_ptr<const Expression::Program> program;
  std::vector<int> roots;
  if (!parseRoots(text, names, true, program, roots, error)) return false;
  for (int root : roots) {
    Expression e;
    e.m_program = program;
    e.m_root = root;
    out.push_back(std::move(e));
  }
  return true;
}

std::string EVALUATE(std::string_view text) {
  Expression e;
  ExprError fault;
  if (!e.parse(text, threadBindings(), &fault)) {
    setError(fault.code, {}, fault.message);
    return {};
  }
  clearError();
  return e.text();
}

}  // namespace ov::rt
