#include "platform/ui/query_class.h"

#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"

namespace ov::ui {

namespace {

constexpr int kEqual = 0, kLow = 1, kHigh = 2;

bool isTextType(rt::FieldType t) {
  return t == rt::FieldType::String || t == rt::FieldType::CString || t == rt::FieldType::Memo ||
         t == rt::FieldType::Blob;
}

std::string quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

const char* symbol(QueryClass::Op op) {
  switch (op) {
    case QueryClass::Op::Equal: return "=";
    case QueryClass::Op::NotEqual: return "<>";
    case QueryClass::Op::Contains: return "contains";
    case QueryClass::Op::Less: return "<";
    case QueryClass::Op::LessEqual: return "<=";
    case QueryClass::Op::Greater: return ">";
    case QueryClass::Op::GreaterEqual: return ">=";
  }
  return "=";
}

}  // namespace

void QueryClass::Init(const rt::RecordDesc* record) {
  m_record = record;
  m_items.clear();
}

void QueryClass::Kill() { m_items.clear(); }

QueryClass::Item* QueryClass::find(std::string_view name) {
  for (Item& i : m_items)
    if (rt::compareText(i.name, name, true) == 0) return &i;
  return nullptr;
}

const QueryClass::Item* QueryClass::find(std::string_view name) const {
  return const_cast<QueryClass*>(this)->find(name);
}

void QueryClass::AddItem(std::string_view name, std::string_view title, std::string_view picture) {
  std::string n(rt::clipView(name));
  if (n.empty() || find(n)) return;
  Item item;
  item.name = n;
  item.title = title.empty() ? n : std::string(rt::clipView(title));
  item.picture = std::string(rt::clipView(picture));
  if (m_record) {
    if (const rt::FieldDesc* f = m_record->find(n)) {
      item.typed = true;
      item.numeric = !isTextType(f->type);
    }
  }
  if (!item.typed && !item.picture.empty()) {
    rt::PictureKind k = rt::pictureKind(item.picture);
    if (k != rt::PictureKind::Invalid) {
      item.typed = true;
      item.numeric = k != rt::PictureKind::String;
    }
  }
  m_items.push_back(std::move(item));
}

bool QueryClass::hasItem(std::string_view name) const { return find(name) != nullptr; }

bool QueryClass::SetEqual(std::string_view name, std::string_view value) {
  Item* i = find(name);
  if (!i) return false;
  i->eq = Limit{true, std::string(value)};
  return true;
}

bool QueryClass::SetLow(std::string_view name, std::string_view value) {
  Item* i = find(name);
  if (!i) return false;
  i->low = Limit{true, std::string(value)};
  return true;
}

bool QueryClass::SetHigh(std::string_view name, std::string_view value) {
  Item* i = find(name);
  if (!i) return false;
  i->high = Limit{true, std::string(value)};
  return true;
}

bool QueryClass::SetLimit(std::string_view name, Op op, std::string_view value, bool caseless) {
  Item* i = find(name);
  if (!i) return false;
  Limit l{true, std::string(value)};
  l.plain = true;
  l.caseless = caseless;
  switch (op) {
    case Op::Equal: i->eq = l; break;
    case Op::NotEqual: l.negate = true; i->eq = l; break;
    case Op::Contains: l.contains = true; i->eq = l; break;
    case Op::Less: i->high = l; break;
    case Op::LessEqual: l.inclusive = true; i->high = l; break;
    case Op::Greater: i->low = l; break;
    case Op::GreaterEqual: l.inclusive = true; i->low = l; break;
  }
  return true;
}

void QueryClass::ClearLimits(std::string_view name) {
  if (Item* i = find(name)) i->eq = i->low = i->high = Limit{};
}

void QueryClass::Reset() {
  for (Item& i : m_items) i.eq = i.low = i.high = Limit{};
}

bool QueryClass::isActive() const {
  for (const Item& i : m_items)
    if (i.eq.set || i.low.set || i.high.set) return true;
  return false;
}

bool QueryClass::condition(const Item& item, const Limit& limit, int kind, Condition& out) {
  if (!limit.set) return false;
  std::string_view v = limit.raw;
  out = Condition{};
  out.field = item.name;
  out.title = item.title;
  out.picture = item.picture;
  bool negate = limit.negate, contains = limit.contains, inclusive = limit.inclusive;
  if (limit.plain) out.caseless = limit.caseless;
  if (!limit.plain && !v.empty()) {
    if (kind == kEqual && v.front() == '~') {
      negate = true;
      v.remove_prefix(1);
    } else if (kind == kEqual && v.front() == '*') {
      contains = true;
      v.remove_prefix(1);
    } else if (kind != kEqual && v.front() == '=') {
      inclusive = true;
      v.remove_prefix(1);
    }
  }
  if (!limit.plain && !v.empty() && v.front() == '^') {
    out.caseless = true;
    v.remove_prefix(1);
  }
  out.value = std::string(v);
  out.numeric = item.typed ? item.numeric : (!out.value.empty() && rt::NUMERIC(out.value));
  if (contains) out.numeric = false;
  switch (kind) {
    case kEqual: out.op = negate ? Op::NotEqual : contains ? Op::Contains : Op::Equal; break;
    case kLow: out.op = inclusive ? Op::GreaterEqual : Op::Greater; break;
    default: out.op = inclusive ? Op::LessEqual : Op::Less; break;
  }
  return true;
}

std::vector<QueryClass::Condition> QueryClass::conditions() const {
  std::vector<Condition> out;
  for (const Item& i : m_items) {
    Condition c;
    if (condition(i, i.eq, kEqual, c)) out.push_back(c);
    if (condition(i, i.low, kLow, c)) out.push_back(c);
    if (condition(i, i.high, kHigh, c)) out.push_back(c);
  }
  return out;
}

std::string QueryClass::GetFilter() const {
  std::string out;
  for (const Condition& c : conditions()) {
    std::string part;
    if (c.numeric) {
      std::string number = rt::numberToText(rt::textToNumber(c.value));
      part = c.field + " " + symbol(c.op) + " " + number;
    } else {
      std::string field = c.caseless ? "UPPER(" + c.field + ")" : c.field;
      std::string literal = quoted(c.caseless ? rt::UPPER(c.value) : c.value);
      if (c.op == Op::Contains)
        part = "INSTRING(" + literal + "," + field + ",1,1) > 0";
      else
        part = field + " " + symbol(c.op) + " " + literal;
    }
    out += (out.empty() ? "" : " AND ") + part;
  }
  return out;
}

std::string QueryClass::GetText() const {
  std::string out;
  for (const Condition& c : conditions()) {
    std::string value = c.value;
    if (!c.picture.empty() && c.numeric) {
      value = rt::FORMAT(rt::textToNumber(c.value), c.picture);
      size_t first = value.find_first_not_of(' ');
      value = first == std::string::npos ? std::string() : rt::CLIP(value.substr(first));
    }
    out += (out.empty() ? "" : " AND ") + c.title + " " + symbol(c.op) + " " + value;
  }
  return out;
}

}  // namespace ov::ui
