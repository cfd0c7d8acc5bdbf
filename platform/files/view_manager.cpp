#include "platform/files/view_manager.h"

#include <algorithm>

#include "platform/files/detail/key_codec.h"
#include "platform/files/detail/txn.h"
#include "platform/rt/expr.h"
#include "platform/rt/text.h"

namespace ov::db {

using rt::Err;

struct ViewManager::Element {
  rt::Expression expr;
  bool descending = false;
};

struct FilterExpr {
  rt::Expression expr;
};

namespace {

// The names a view's expressions see: the thread's, then the file's fields and memos.
struct ViewNames {
  explicit ViewNames(FileManager& fm) : names(rt::threadBindings()) {
    names.push();
    names.bindRecord(fm.file().record(), fm.file().buffer());
    fm.BindFields([&](std::string_view name, const rt::FieldDesc& f, const void* base) { names.bindField(name, f, base); });
  }
  rt::Bindings names;
};

// Splits at commas outside parentheses and quotes.
std::vector<std::string> splitElements(std::string_view text) {
  std::vector<std::string> out(1);
  int depth = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == '(') ++depth;
    if (!quoted && c == ')') --depth;
    if (!quoted && depth == 0 && c == ',') {
      out.emplace_back();
      continue;
    }
    out.back() += c;
  }
  return out;
}

std::string trimmed(std::string_view s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string_view::npos ? std::string() : std::string(s.substr(b, e - b + 1));
}

Err exprError(const rt::ExprError& e) {
  rt::setError(e.code, {}, e.message);
  return e.code;
}

}  // namespace

ViewManager::ViewManager(FileManager& primary) : Primary(primary) {}
ViewManager::~ViewManager() = default;

void ViewManager::SetOrder(Key key) {
  m_orderKey = key;
  m_elements.clear();
  m_orderText = key.isValid() ? key.decl().name : "";
}

Err ViewManager::parseOrder(std::string_view text, std::vector<Element>& out) {
  ViewNames n(Primary);
  for (const std::string& raw : splitElements(text)) {
    std::string element = trimmed(raw);
    if (element.empty()) continue;
    Element e;
    if (element[0] == '-' || element[0] == '+') {
      e.descending = element[0] == '-';
      element = trimmed(element.substr(1));
    }
    rt::ExprError error;
    if (!e.expr.parse(element, n.names, &error)) return exprError(error);
    out.push_back(std::move(e));
  }
  return Err::None;
}

Err ViewManager::SetOrder(std::string_view order) {
  // A key named by itself is that key's order.
  std::string name = trimmed(order);
  if (Key k = Primary.file().key(name); k.isValid() && name.find_first_of("(),+-") == std::string::npos) {
    SetOrder(k);
    return Err::None;
  }
  std::vector<Element> parsed;
  if (Err err = parseOrder(order, parsed); err != Err::None) return err;
  m_orderKey = Key();
  m_elements = std::move(parsed);
  m_orderText = std::string(order);
  return Err::None;
}

Err ViewManager::parseFilter(std::string_view text) {
  if (trimmed(text).empty()) {
    m_filter.reset();
    return Err::None;
  }
  ViewNames n(Primary);
  auto f = std::make_unique<FilterExpr>();
  rt::ExprError error;
  if (!f->expr.parse(text, n.names, &error)) return exprError(error);
  m_filter = std::move(f);
  return Err::None;
}

Err ViewManager::SetFilter(std::string_view expression) {
  if (Err err = parseFilter(expression); err != Err::None) return err;
  m_filterText = std::string(expression);
  return Err::None;
}

void ViewManager::AddRange(std::string_view field, std::string_view low, std::string_view high) {
  if (const rt::FieldDesc* f = Primary.file().record().find(field)) m_ranges.push_back({f, std::string(low), std::string(high)});
}

bool ViewManager::passes() {
  const void* base = Primary.file().buffer();
  for (const Range& r : m_ranges) {
    bool text = r.field->type == rt::FieldType::String || r.field->type == rt::FieldType::CString ||
                r.field->type == rt::FieldType::Memo;
    if (text) {
      std::string v, lo, hi;
      detail::encodeText(rt::fieldText(base, *r.field), false, false, v);
      detail::encodeText(r.low, false, false, lo);
      detail::encodeText(r.high, false, false, hi);
      if (v < lo || v > hi) return false;
    } else {
      double v = rt::fieldNumber(base, *r.field);
      if (v < std::strtod(r.low.c_str(), nullptr) || v > std::strtod(r.high.c_str(), nullptr)) return false;
    }
  }
  if (m_filter && !m_filter->expr.isTrue()) return false;
  return !m_hook || m_hook();
}

Err ViewManager::Open() {
  File& f = Primary.file();
  m_rows.clear();
  m_pos = -1;
  if (!f.isOpen()) {
    rt::setError(Err::NotOpen, f.name());
    return Err::NotOpen;
  }
  // Names may have been bound anew since SetFilter: parse against the present ones.
  if (Err err = parseFilter(m_filterText); err != Err::None) return err;
  if (!m_elements.empty()) {
    std::vector<Element> again;
    if (Err err = parseOrder(m_orderText, again); err != Err::None) return err;
    m_elements = std::move(again);
  }
  RecordImage saved = f.saveBuffer();
  detail::CursorState cursor = detail::saveCursor(f);
  std::vector<std::pair<std::string, int64_t>> sorted;
  Err err = m_orderKey.isValid() ? f.set(m_orderKey) : f.set();
  while (err == Err::None && (err = f.next()) == Err::None) {
    if (!passes()) continue;
    if (m_elements.empty()) {
      m_rows.push_back(f.position());
      continue;
    }
    std::string key;
    for (const Element& e : m_elements) {
      if (e.expr.isTextResult()) detail::encodeText(e.expr.text(), true, e.descending, key);
      else detail::encodeNumber(e.expr.number(), e.descending, key);
    }
    sorted.emplace_back(std::move(key), f.position());
  }
  f.restoreBuffer(saved);
  detail::restoreCursor(f, cursor);
  if (err != Err::NotAvailable) {
    m_rows.clear();
    return err;
  }
  if (!m_elements.empty()) {
    std::sort(sorted.begin(), sorted.end());  // equal keys: by position, which is file order
    m_rows.reserve(sorted.size());
    for (auto& [key, pos] : sorted) m_rows.push_back(pos);
  }
  rt::clearError();
  return Err::None;
}

void ViewManager::Close() {
  m_rows.clear();
  m_pos = -1;
}

Err ViewManager::step(int direction) {
  File& f = Primary.file();
  for (;;) {
    int64_t next = m_pos + direction;
    if (next < 0 || next >= static_cast<int64_t>(m_rows.size())) {
      m_pos = next < 0 ? -1 : static_cast<int64_t>(m_rows.size());
      rt::setError(Err::NotAvailable, f.name());
      return Err::NotAvailable;
    }
    m_pos = next;
    Err err = f.getPosition(m_rows[static_cast<size_t>(m_pos)]);
    if (err != Err::NotFound) return err;  // a record deleted since Open is passed over
  }
}

Err ViewManager::Next() { return step(1); }
Err ViewManager::Previous() { return step(-1); }

size_t ViewManager::ReadPage(size_t first, size_t count, const std::function<void()>& each) {
  File& f = Primary.file();
  size_t read = 0;
  for (size_t i = first; i < m_rows.size() && read < count; ++i) {
    if (f.getPosition(m_rows[i]) != Err::None) continue;
    ++read;
    each();
  }
  return read;
}

int64_t ViewManager::indexOf(int64_t position) const {
  auto it = std::find(m_rows.begin(), m_rows.end(), position);
  return it == m_rows.end() ? -1 : static_cast<int64_t>(it - m_rows.begin());
}

}  // namespace ov::db
