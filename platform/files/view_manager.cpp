#include "platform/files/view_manager.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "platform/files/detail/key_codec.h"
#include "platform/files/detail/txn.h"
#include "platform/files/outer_scan.h"
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

// Where a paged view's reading stands: the file's sequence between two readings, and the records
// selected so far (a record whose key changed meanwhile is not selected twice).
struct ViewScan {
  detail::CursorState cursor;
  std::unordered_set<int64_t> seen;
  // Where the reading from the first record starts: the key bounds' start, when there is one.
  detail::CursorState start;
  bool hasStartKey = false;
  std::string startKey;
  // Where the reading back stands, once the view was placed in the middle.
  detail::CursorState back;
  // An order of elements read a value of its first element at a time: the records of the value
  // being read (their element keys and positions), read backwards in the key when `backward`.
  bool grouped = false, backward = false;
  std::string groupValue;
  std::vector<std::pair<std::string, int64_t>> group;
  // An order of fields that no key leads: the driver sorts the file by `columns` and hands over
  // the row ids of a batch at a time after the last one it gave (cursor.anchor), or before the
  // last one it gave reading back (back.anchor); the batches grow as the reading goes on. The
  // ids not taken yet wait in `ahead` and `behind`; drained: the driver has given the last.
  bool sorted = false;
  std::vector<detail::Backend::SortColumn> columns;
  int batch = 0, backBatch = 0;
  std::deque<int64_t> ahead, behind;
  bool aheadDrained = false, behindDrained = false;
};

// Bounds of the first component of a paged view's key: `field` null when there are none.
struct ViewManager::Bounds {
  const rt::FieldDesc* field = nullptr;
  bool descending = false;
  bool text = false;
  bool hasLow = false, hasHigh = false;
  double low = 0, high = 0;             // numbers
  std::string lowText, highText;        // texts as given
  std::string lowKey, highKey;          // texts encoded as a caseless key compares them
  bool empty = false;                   // no value lies between them
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

std::string trimmed(std::string_view s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string_view::npos ? std::string() : std::string(s.substr(b, e - b + 1));
}

bool isTextField(const rt::FieldDesc& f) {
  return f.type == rt::FieldType::String || f.type == rt::FieldType::CString;
}

bool isNumberField(const rt::FieldDesc& f) {
  return !isTextField(f) && f.type != rt::FieldType::Memo && f.type != rt::FieldType::Blob;
}

std::string caselessKey(std::string_view text) {
  std::string out;
  detail::encodeText(text, false, false, out);
  return out;
}

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':'; }

// The words of `text` outside quotes at parenthesis depth 0, with where each starts, and whether
// the text's parentheses and quotes are balanced.
struct TopWord {
  size_t at;
  std::string upper;
};
bool topWords(std::string_view text, std::vector<TopWord>& out) {
  OuterScan s(text);
  while (s.next()) {
    const size_t i = s.at();
    if (s.depth() == 0 && isNameChar(s.ch()) && (i == 0 || !isNameChar(text[i - 1]))) {
      size_t j = i;
      while (j < text.size() && isNameChar(text[j])) ++j;
      out.push_back({i, rt::UPPER(text.substr(i, j - i))});
    }
  }
  return s.balanced();
}

// Whether `text` is wrapped whole in one pair of parentheses.
bool wrapped(std::string_view text) {
  if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
  for (OuterScan s(text); s.next();)
    if (s.ch() == ')' && s.depth() == 0 && s.at() + 1 < text.size()) return false;
  return true;
}

// The terms of a filter that must all hold: its parts joined by AND at the outer level, taken
// apart again where a part is itself such a conjunction in parentheses. A level that joins with
// OR or XOR too is one term (it bounds nothing).
void conjuncts(std::string_view text, std::vector<std::string>& out) {
  std::string t = trimmed(text);
  while (wrapped(t)) t = trimmed(std::string_view(t).substr(1, t.size() - 2));
  std::vector<TopWord> words;
  if (!topWords(t, words)) return;  // unbalanced: nothing is taken from it
  std::vector<size_t> ands;
  for (const TopWord& w : words) {
    if (w.upper == "OR" || w.upper == "XOR") {
      out.push_back(t);
      return;
    }
    if (w.upper == "AND") ands.push_back(w.at);
  }
  if (ands.empty()) {
    out.push_back(t);
    return;
  }
  size_t from = 0;
  for (size_t at : ands) {
    conjuncts(std::string_view(t).substr(from, at - from), out);
    from = at + 3;
  }
  conjuncts(std::string_view(t).substr(from), out);
}

// A term "name op value": the comparison found at the outer level, outside quotes.
enum class Cmp { None, Eq, Lt, Le, Gt, Ge };
bool splitComparison(std::string_view term, std::string& name, Cmp& op, std::string& value) {
  for (OuterScan s(term); s.next();) {
    const char c = s.ch();
    if (s.depth() != 0 || (c != '=' && c != '<' && c != '>' && c != '~')) continue;
    const size_t i = s.at();
    char next = i + 1 < term.size() ? term[i + 1] : '\0';
    size_t len = 1;
    op = Cmp::None;
    switch (c) {
      case '=': op = next == '<' ? Cmp::Le : next == '>' ? Cmp::Ge : Cmp::Eq; len = next == '<' || next == '>' ? 2 : 1; break;
      case '<': op = next == '>' ? Cmp::None : next == '=' ? Cmp::Le : Cmp::Lt; len = next == '>' || next == '=' ? 2 : 1; break;
      case '>': op = next == '=' ? Cmp::Ge : Cmp::Gt; len = next == '=' ? 2 : 1; break;
      case '~': op = next == '<' ? Cmp::Ge : next == '>' ? Cmp::Le : Cmp::None; len = 2; break;
    }
    if (op == Cmp::None) return false;  // not equal, or a negation
    name = trimmed(term.substr(0, i));
    value = trimmed(term.substr(i + len));
    // The value must be one operand: no further comparison, negation or logic in it, at any depth.
    for (OuterScan v(value); v.next();)
      if (v.ch() == '=' || v.ch() == '<' || v.ch() == '>' || v.ch() == '~') return false;
    std::vector<TopWord> words;
    if (value.empty() || !topWords(value, words)) return false;
    for (const TopWord& w : words)
      if (w.upper == "AND" || w.upper == "OR" || w.upper == "XOR" || w.upper == "NOT") return false;
    return true;
  }
  return false;
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
  for (std::string_view raw : splitOuter(text)) {
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
  m_base = 0;
  m_backPending = false;
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
  m_pending = false;
  m_estimate = -1;
  m_scan.reset();
  if (m_paged && m_elements.empty()) return openPaged();
  if (m_paged && (openGrouped(false) || openSorted() || openGrouped(true))) return Err::None;
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
    sorted.emplace_back(elementKey(), f.position());
  }
  f.restoreBuffer(saved);
  detail::restoreCursor(f, cursor);
  if (err != Err::NotAvailable) {
    m_rows.clear();
    return err;
  }
  if (!m_elements.empty()) {
    std::sort(sorted.begin(), sorted.end());  // equal keys: by position, which is file order
    for (auto& [key, pos] : sorted) m_rows.push_back(pos);
  }
  rt::clearError();
  return Err::None;
}

std::string ViewManager::elementKey(size_t* firstLength) {
  std::string key;
  for (const Element& e : m_elements) {
    if (e.expr.isTextResult()) detail::encodeText(e.expr.text(), true, e.descending, key);
    else detail::encodeNumber(e.expr.number(), e.descending, key);
    if (firstLength && &e == &m_elements.front()) *firstLength = key.size();
  }
  return key;
}

// The lexicographic successor of every string that starts with `prefix`, or "" when none exists.
static std::string successorOf(std::string prefix) {
  while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF) prefix.pop_back();
  if (!prefix.empty()) prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
  return prefix;
}

int64_t ViewManager::firstRun(Key key, bool backward) {
  File& f = Primary.file();
  RecordImage saved = f.saveBuffer();
  detail::CursorState cursor = detail::saveCursor(f);
  int64_t n = 0;
  if (f.set(key) == Err::None && (backward ? f.previous() : f.next()) == Err::None) {
    const std::string low = detail::encodeKeyPrefixOf(f, key, f.buffer(), 1);
    const std::string high = successorOf(low);
    if (detail::countKeyRange(f, key, &low, high.empty() ? nullptr : &high, n) != Err::None) n = 0;
  }
  f.restoreBuffer(saved);
  detail::restoreCursor(f, cursor);
  rt::clearError();
  return n;
}

bool ViewManager::openGrouped(bool longRuns) {
  // The first element: a field, or UPPER of a text field.
  std::string first;
  for (std::string_view raw : splitOuter(m_orderText))
    if (!(first = trimmed(raw)).empty()) break;
  bool descending = false;
  if (!first.empty() && (first[0] == '-' || first[0] == '+')) {
    descending = first[0] == '-';
    first = trimmed(std::string_view(first).substr(1));
  }
  bool upper = false;
  if (first.size() > 7 && rt::UPPER(std::string_view(first).substr(0, 6)) == "UPPER(" && first.back() == ')') {
    upper = true;
    first = trimmed(std::string_view(first).substr(6, first.size() - 7));
  }
  File& f = Primary.file();
  const rt::FieldDesc* field = f.record().find(first);
  if (!field || field->dim > 1) return false;
  if (isTextField(*field) ? false : (upper || !isNumberField(*field))) return false;
  for (int k = 0; k < f.keyCount(); ++k) {
    const KeyDecl& decl = f.key(k).decl();
    if (decl.parts.empty() || f.record().find(decl.parts.front().field) != field) continue;
    if (isTextField(*field) && upper == decl.caseSensitive) continue;  // the key compares texts otherwise
    const bool backward = descending != decl.parts.front().descending;
    if (!longRuns) {
      // A value most records share (one category for every task) would be read whole for the
      // first page: a tenth of the file or more is left to the file's own sorting.
      const int64_t run = firstRun(f.key(k), backward);
      if (run > kLongRun && run > f.records() / 10) return false;
    }
    m_bounds = std::make_unique<Bounds>();  // none: the filter alone selects
    m_scan = std::make_unique<ViewScan>();
    m_scan->grouped = true;
    m_scan->backward = backward;
    m_scan->start = detail::CursorState{k, detail::Anchor{}, 0};
    m_scan->cursor = m_scan->start;
    m_pending = true;
    rt::clearError();
    return true;
  }
  return false;
}

bool ViewManager::openSorted() {
  // Every element a field, or UPPER of a text field.
  File& f = Primary.file();
  std::vector<detail::Backend::SortColumn> columns;
  for (std::string_view raw : splitOuter(m_orderText)) {
    std::string e = trimmed(raw);
    if (e.empty()) continue;
    bool descending = false;
    if (e[0] == '-' || e[0] == '+') {
      descending = e[0] == '-';
      e = trimmed(std::string_view(e).substr(1));
    }
    bool upper = false;
    if (e.size() > 7 && rt::UPPER(std::string_view(e).substr(0, 6)) == "UPPER(" && e.back() == ')') {
      upper = true;
      e = trimmed(std::string_view(e).substr(6, e.size() - 7));
    }
    const rt::FieldDesc* field = f.record().find(e);
    if (!field || field->dim > 1) return false;
    if (isTextField(*field) ? false : (upper || !isNumberField(*field))) return false;
    columns.push_back({field, upper, descending});
  }
  // Whether the driver orders by columns at all: asked for no records, it reads none.
  std::vector<detail::Row> none;
  if (columns.empty() || detail::sortedRows(f, columns, detail::Anchor{}, true, 0, none) != Err::None) {
    rt::clearError();
    return false;
  }
  m_bounds = std::make_unique<Bounds>();  // none: the filter alone selects
  m_scan = std::make_unique<ViewScan>();
  m_scan->sorted = true;
  m_scan->columns = std::move(columns);
  m_pending = true;
  rt::clearError();
  return true;
}

void ViewManager::readSorted(bool forward, int64_t want) {
  constexpr int kFirstBatch = 128, kLargestBatch = 1 << 16;
  File& f = Primary.file();
  detail::Anchor& at = forward ? m_scan->cursor.anchor : m_scan->back.anchor;
  int& batch = forward ? m_scan->batch : m_scan->backBatch;
  std::deque<int64_t>& fetched = forward ? m_scan->ahead : m_scan->behind;
  bool& drained = forward ? m_scan->aheadDrained : m_scan->behindDrained;
  // Without a filter every record is selected: the records themselves are not read.
  const bool check = m_filter || !m_ranges.empty() || m_hook;
  RecordImage saved;
  if (check) saved = f.saveBuffer();
  std::vector<detail::Row> rows;
  std::vector<int64_t> rids;
  Err err = Err::None;
  for (int64_t got = 0; got < want;) {
    if (fetched.empty()) {
      if (drained) break;
      const int64_t size = std::max<int64_t>(2 * static_cast<int64_t>(batch), want - got);
      batch = static_cast<int>(std::clamp<int64_t>(size, kFirstBatch, kLargestBatch));
      if ((err = detail::sortedRows(f, m_scan->columns, at, forward, batch, rows)) != Err::None) break;
      drained = rows.size() < static_cast<size_t>(batch);
      if (!rows.empty()) at = detail::Anchor{detail::Anchor::Row, std::move(rows.back().key), rows.back().rid};
      for (const detail::Row& r : rows) fetched.push_back(r.rid);
      continue;
    }
    // The next ones in the order, their records read together (about as many as still wanted).
    const size_t n = check ? std::min<size_t>(fetched.size(), static_cast<size_t>(std::clamp<int64_t>(want - got, 64, 512)))
                           : fetched.size();
    rids.assign(fetched.begin(), fetched.begin() + static_cast<std::ptrdiff_t>(n));
    fetched.erase(fetched.begin(), fetched.begin() + static_cast<std::ptrdiff_t>(n));
    if (check) {
      if ((err = detail::readRows(f, rids, rows)) != Err::None) break;
      std::sort(rows.begin(), rows.end(), [](const detail::Row& a, const detail::Row& b) { return a.rid < b.rid; });
    }
    for (int64_t rid : rids) {
      if (check) {
        auto it = std::lower_bound(rows.begin(), rows.end(), rid,
                                   [](const detail::Row& r, int64_t v) { return r.rid < v; });
        if (it == rows.end() || it->rid != rid) continue;  // deleted meanwhile
        f.restoreBuffer(it->image);
        if (!passes()) continue;
      }
      if (!m_scan->seen.insert(rid).second) continue;
      if (forward) {
        m_rows.push_back(rid);
      } else {
        m_rows.push_front(rid);
        --m_base;
      }
      ++got;
    }
  }
  if (check) f.restoreBuffer(saved);
  if (err == Err::None && !(fetched.empty() && drained)) return;
  // The end (or the first record); or a failure, which stays in ERRORCODE().
  if (forward) {
    m_pending = false;
  } else {
    m_backPending = false;
    if (err == Err::None) rebase(0);  // from here on the indexes are exact
  }
  if (err == Err::None) rt::clearError();
}

void ViewManager::flushGroup() {
  auto& g = m_scan->group;
  std::sort(g.begin(), g.end());  // equal keys: by position, which is file order
  for (auto& [key, at] : g) m_rows.push_back(at);
  g.clear();
}

void ViewManager::Close() {
  m_rows.clear();
  m_base = 0;
  m_pos = -1;
  m_pending = false;
  m_backPending = false;
  m_scan.reset();
}

void ViewManager::findBounds(Bounds& b) {
  if (!m_orderKey.isValid()) return;
  const KeyDecl& k = m_orderKey.decl();
  if (k.parts.empty()) return;
  const rt::FieldDesc* field = Primary.file().record().find(k.parts.front().field);
  if (!field || !(isNumberField(*field) || (isTextField(*field) && !k.caseSensitive))) return;
  b.field = field;
  b.descending = k.parts.front().descending;
  b.text = isTextField(*field);
  auto lowAt = [&](double v) {
    if (!b.hasLow || v > b.low) b.low = v;
    b.hasLow = true;
  };
  auto highAt = [&](double v) {
    if (!b.hasHigh || v < b.high) b.high = v;
    b.hasHigh = true;
  };
  auto lowText = [&](const std::string& v) {
    std::string key = caselessKey(v);
    if (!b.hasLow || key > b.lowKey) b.lowKey = key, b.lowText = v;
    b.hasLow = true;
  };
  auto highText = [&](const std::string& v) {
    std::string key = caselessKey(v);
    if (!b.hasHigh || key < b.highKey) b.highKey = key, b.highText = v;
    b.hasHigh = true;
  };
  for (const Range& r : m_ranges) {
    if (r.field != field) continue;
    if (b.text) {
      lowText(r.low);
      highText(r.high);
    } else {
      lowAt(std::strtod(r.low.c_str(), nullptr));
      highAt(std::strtod(r.high.c_str(), nullptr));
    }
  }
  // Terms of the filter that compare the field with a value the record does not change.
  std::vector<std::string> terms;
  conjuncts(m_filterText, terms);
  const std::string fieldName = rt::UPPER(field->name);
  const std::string prefix = rt::UPPER(std::string(Primary.file().decl().prefix ? Primary.file().decl().prefix : "")) + ":";
  std::unique_ptr<ViewNames> names;
  for (const std::string& term : terms) {
    std::string name, value;
    Cmp op = Cmp::None;
    if (!splitComparison(term, name, op, value) || rt::UPPER(name) != fieldName) continue;
    if (prefix.size() > 1 && rt::UPPER(value).find(prefix) != std::string::npos) continue;  // names a field
    if (!names) names = std::make_unique<ViewNames>(Primary);
    rt::Expression e;
    if (!e.parse(value, names->names)) continue;
    if (b.text) {
      if (op != Cmp::Eq || !e.isTextResult()) continue;  // the key's order ignores case; only equality is safe
      std::string v = e.text();
      lowText(v);
      highText(v);
      continue;
    }
    if (e.isTextResult()) continue;
    double v = e.number();
    if (!std::isfinite(v)) continue;
    if (op == Cmp::Eq || op == Cmp::Ge || op == Cmp::Gt) lowAt(v);
    if (op == Cmp::Eq || op == Cmp::Le || op == Cmp::Lt) highAt(v);
  }
  if (b.hasLow && b.hasHigh) b.empty = b.text ? b.lowKey > b.highKey : b.low > b.high;
}

bool ViewManager::pastBounds() const {
  const Bounds& b = *m_bounds;
  if (!b.field || !(b.descending ? b.hasLow : b.hasHigh)) return false;
  const void* base = Primary.file().buffer();
  if (b.text) {
    std::string key = caselessKey(rt::fieldText(base, *b.field));
    return b.descending ? key < b.lowKey : key > b.highKey;
  }
  double v = rt::fieldNumber(base, *b.field);
  return b.descending ? v < b.low : v > b.high;
}

Err ViewManager::openPaged() {
  File& f = Primary.file();
  m_bounds = std::make_unique<Bounds>();
  findBounds(*m_bounds);
  rt::clearError();
  if (m_bounds->empty) return Err::None;
  m_scan = std::make_unique<ViewScan>();
  const int order = m_orderKey.isValid() ? m_orderKey.index() : -1;
  detail::Anchor start;
  const Bounds& b = *m_bounds;
  if (b.field && (b.descending ? b.hasHigh : b.hasLow)) {
    // The reading starts in the key at the first component's bound: the buffer holds the bound
    // for the encoding, unless the field cannot hold it without moving past it.
    RecordImage saved = f.saveBuffer();
    void* base = f.buffer();
    bool fits;
    if (b.text) {
      rt::setFieldText(base, *b.field, b.descending ? b.highText : b.lowText);
      std::string held = caselessKey(rt::fieldText(base, *b.field));
      fits = b.descending ? held >= b.highKey : held <= b.lowKey;
    } else {
      rt::setFieldNumber(base, *b.field, b.descending ? b.high : b.low);
      double held = rt::fieldNumber(base, *b.field);
      fits = b.descending ? held >= b.high : held <= b.low;
    }
    if (fits) {
      start = detail::Anchor{detail::Anchor::Value, detail::encodeKeyPrefixOf(f, m_orderKey, base, 1), 0};
      m_scan->hasStartKey = true;
      m_scan->startKey = start.key;
    }
    f.restoreBuffer(saved);
  }
  m_scan->start = detail::CursorState{order, start, 0};
  m_scan->cursor = m_scan->start;
  m_pending = true;
  return Err::None;
}

int64_t ViewManager::ensure(int64_t count) {
  if (!m_pending || known() >= count) return known();
  File& f = Primary.file();
  if (!f.isOpen()) {
    m_pending = false;
    return known();
  }
  if (m_scan->sorted) {
    readSorted(true, count - known());
    return known();
  }
  RecordImage saved = f.saveBuffer();
  detail::CursorState user = detail::saveCursor(f);
  detail::restoreCursor(f, m_scan->cursor);
  Err err = Err::None;
  while (known() < count) {
    if ((err = m_scan->backward ? f.previous() : f.next()) != Err::None) break;
    if (pastBounds()) {
      err = Err::NotAvailable;
      break;
    }
    if (!passes()) continue;
    const int64_t at = f.position();
    if (!m_scan->seen.insert(at).second) continue;
    if (!m_scan->grouped) {
      m_rows.push_back(at);
      continue;
    }
    // A value of the first element is complete when the next one begins.
    size_t length = 0;
    std::string key = elementKey(&length);
    if (!m_scan->group.empty() && key.compare(0, length, m_scan->groupValue) != 0) flushGroup();
    if (m_scan->group.empty()) m_scan->groupValue = key.substr(0, length);
    m_scan->group.emplace_back(std::move(key), at);
  }
  if (err != Err::None && m_scan->grouped) flushGroup();
  m_scan->cursor = detail::saveCursor(f);
  f.restoreBuffer(saved);
  detail::restoreCursor(f, user);
  if (err != Err::None) {
    m_pending = false;  // the end; or a failure, which stays in ERRORCODE()
    if (err == Err::NotAvailable) rt::clearError();
  }
  return known();
}

bool ViewManager::beforeBounds() const {
  const Bounds& b = *m_bounds;
  if (!b.field || !(b.descending ? b.hasHigh : b.hasLow)) return false;
  const void* base = Primary.file().buffer();
  if (b.text) {
    std::string key = caselessKey(rt::fieldText(base, *b.field));
    return b.descending ? key > b.highKey : key < b.lowKey;
  }
  double v = rt::fieldNumber(base, *b.field);
  return b.descending ? v > b.high : v < b.low;
}

void ViewManager::rebase(int64_t base) {
  const int64_t delta = base - m_base;
  m_base = base;
  m_shift += delta;
  if (m_pos >= 0) m_pos += delta;
}

void ViewManager::restartAt(int64_t before, bool pending) {
  m_rows.clear();
  m_pos = -1;
  m_scan->seen.clear();
  m_base = before;
  m_backPending = before > 0;
  m_pending = pending;
}

void ViewManager::restartAtHead() {
  restartAt(0, true);
  m_scan->cursor = m_scan->start;
  m_scan->batch = 0;
  m_scan->ahead.clear();
  m_scan->aheadDrained = false;
}

void ViewManager::readBack(int64_t count) {
  File& f = Primary.file();
  if (!m_backPending || !f.isOpen()) return;
  if (m_scan->sorted) {
    readSorted(false, count);
    return;
  }
  RecordImage saved = f.saveBuffer();
  detail::CursorState user = detail::saveCursor(f);
  detail::restoreCursor(f, m_scan->back);
  Err err = Err::None;
  for (int64_t got = 0; got < count;) {
    if ((err = f.previous()) != Err::None) break;
    if (beforeBounds()) {
      err = Err::NotAvailable;
      break;
    }
    if (pastBounds() || !passes()) continue;  // past the far bound only before a view's end
    const int64_t at = f.position();
    if (!m_scan->seen.insert(at).second) continue;
    m_rows.push_front(at);
    --m_base;
    ++got;
  }
  m_scan->back = detail::saveCursor(f);
  f.restoreBuffer(saved);
  detail::restoreCursor(f, user);
  if (err != Err::None) {
    // The first record: from here on the indexes are exact.
    m_backPending = false;
    rebase(0);
    if (err == Err::NotAvailable) rt::clearError();
  }
}

int64_t ViewManager::reachBack(int64_t index) {
  if (!m_backPending || index >= m_base) return index;
  if (index < m_base - index) {
    // Nearer the first record than where the view stands: read from there.
    restartAtHead();
    return index;
  }
  const int64_t shiftBefore = m_shift;
  readBack(m_base - index);  // stops at index > 0: index 0 is read from the first record
  return index + (m_shift - shiftBefore);
}

int64_t ViewManager::seekKey(const std::string& target) {
  File& f = Primary.file();
  std::string start = target;
  if (m_scan->hasStartKey && start < m_scan->startKey) start = m_scan->startKey;
  int64_t before = 0;
  if (detail::countKeyRange(f, m_orderKey, m_scan->hasStartKey ? &m_scan->startKey : nullptr, &start, before) !=
      Err::None) {
    rt::clearError();
    return -1;
  }
  const int order = m_orderKey.index();
  restartAt(before, true);
  m_scan->cursor = detail::CursorState{order, detail::Anchor{detail::Anchor::Value, start, 0}, 0};
  m_scan->back = m_scan->cursor;
  return m_base;
}

int64_t ViewManager::SeekKey(size_t parts) {
  if (!m_paged || !m_elements.empty() || !m_orderKey.isValid() || !m_scan || !Primary.file().isOpen()) return -1;
  const int64_t index = seekKey(detail::encodeKeyPrefixOf(Primary.file(), m_orderKey, Primary.file().buffer(), parts));
  if (index >= 0) ensure(index + 1);
  return index;
}

int64_t ViewManager::SeekEnd() {
  File& f = Primary.file();
  if (!m_pending) return known();
  if (m_scan && m_scan->sorted && f.isOpen()) {
    // Read back from the last record; the index past it starts as the count of the file's
    // records, not below the true one (see readBack).
    const int64_t count = f.records();
    if (count < 0) {
      rt::clearError();
      return -1;
    }
    restartAt(count, false);
    m_scan->back.anchor = detail::Anchor{};
    m_scan->backBatch = 0;
    m_scan->behind.clear();
    m_scan->behindDrained = false;
    return m_base;
  }
  if (!m_paged || !m_elements.empty() || !m_orderKey.isValid() || !m_scan || !f.isOpen()) return -1;
  const Bounds& b = *m_bounds;
  if (b.field && (b.descending ? b.hasLow : b.hasHigh)) return -1;  // ends at a bound: read up to it
  int64_t count = 0;
  if (detail::countKeyRange(f, m_orderKey, m_scan->hasStartKey ? &m_scan->startKey : nullptr, nullptr, count) !=
      Err::None) {
    rt::clearError();
    return -1;
  }
  restartAt(count, false);
  m_scan->back = detail::CursorState{m_orderKey.index(), detail::Anchor{detail::Anchor::End, {}, 0}, 0};
  return m_base;
}

bool ViewManager::SeekPosition(int64_t position, int64_t& index) {
  index = -1;
  File& f = Primary.file();
  if (m_paged && m_scan && m_scan->sorted && f.isOpen()) {
    // Placed at the record: the reading goes on after it and back before it, the records the
    // file holds before it counted as before it (not below the true index).
    RecordImage saved = f.saveBuffer();
    detail::CursorState user = detail::saveCursor(f);
    const bool selected = f.getPosition(position) == Err::None && passes();
    f.restoreBuffer(saved);
    detail::restoreCursor(f, user);
    rt::clearError();
    if (!selected) return true;
    std::string key;
    int64_t before = 0;
    if (detail::sortedPlace(f, m_scan->columns, position, key, before) != Err::None) {
      rt::clearError();
      return false;
    }
    restartAt(before, true);
    m_scan->cursor.anchor = m_scan->back.anchor = detail::Anchor{detail::Anchor::Row, key, position};
    m_scan->batch = m_scan->backBatch = 0;
    m_scan->ahead.assign(1, position);
    m_scan->behind.clear();
    m_scan->aheadDrained = m_scan->behindDrained = false;
    ensure(m_base + 1);
    index = indexOf(position, m_base + 1);
    return true;
  }
  if (!m_paged || !m_elements.empty() || !m_orderKey.isValid() || !m_scan || !f.isOpen()) return false;
  RecordImage saved = f.saveBuffer();
  detail::CursorState user = detail::saveCursor(f);
  bool selected = f.getPosition(position) == Err::None && !beforeBounds() && !pastBounds() && passes();
  std::string key = selected ? detail::encodeKeyOf(f, m_orderKey, f.buffer()) : std::string();
  f.restoreBuffer(saved);
  detail::restoreCursor(f, user);
  rt::clearError();
  if (!selected) return true;
  if (seekKey(key) < 0) return false;
  // The record comes among those of its key value, which the reading starts with.
  index = indexOf(position);
  return true;
}

int64_t ViewManager::records() {
  ensure(std::numeric_limits<int64_t>::max());
  readBack(std::numeric_limits<int64_t>::max());
  return known();
}

int64_t ViewManager::estimate() {
  if (!m_pending) return known();
  if (m_estimate < 0) m_estimate = Primary.file().records();
  return std::max(known() + 1, m_estimate);
}

Err ViewManager::step(int direction) {
  File& f = Primary.file();
  for (;;) {
    int64_t next = m_pos + direction;
    if (next >= 0 && next < m_base) next = reachBack(next);
    if (next >= 0) ensure(next + 1);
    if (next < m_base || next >= known()) {
      m_pos = next < m_base ? -1 : known();
      rt::setError(Err::NotAvailable, f.name());
      return Err::NotAvailable;
    }
    m_pos = next;
    Err err = f.getPosition(m_rows[static_cast<size_t>(m_pos - m_base)]);
    if (err != Err::NotFound) return err;  // a record deleted since Open is passed over
  }
}

Err ViewManager::Next() { return step(1); }
Err ViewManager::Previous() { return step(-1); }

size_t ViewManager::ReadPage(size_t first, size_t count, const std::function<void()>& each) {
  File& f = Primary.file();
  size_t read = 0;
  int64_t from = reachBack(static_cast<int64_t>(std::min<size_t>(first, std::numeric_limits<int64_t>::max())));
  from = std::max(from, m_base);  // before the first record, once the indexes became exact
  ensure(static_cast<int64_t>(std::min<size_t>(static_cast<size_t>(from) + count, std::numeric_limits<int64_t>::max())));
  for (int64_t i = from; i < known() && read < count; ++i) {
    if (f.getPosition(m_rows[static_cast<size_t>(i - m_base)]) != Err::None) continue;
    ++read;
    each();
  }
  return read;
}

int64_t ViewManager::positionAt(size_t index) {
  int64_t at = reachBack(static_cast<int64_t>(index));
  ensure(at + 1);
  return at >= m_base && at < known() ? m_rows[static_cast<size_t>(at - m_base)] : 0;
}

int64_t ViewManager::indexOf(int64_t position, int64_t limit) {
  size_t from = 0;
  for (;;) {
    auto it = std::find(m_rows.begin() + static_cast<std::ptrdiff_t>(from), m_rows.end(), position);
    if (it != m_rows.end()) return m_base + static_cast<int64_t>(it - m_rows.begin());
    if (limit >= 0 && known() >= limit) return -1;
    if (!m_pending) break;
    from = m_rows.size();
    int64_t want = known() + static_cast<int64_t>(m_rows.size()) + 64;  // the run read so far, doubled
    ensure(limit >= 0 ? std::min(limit, want) : want);
  }
  if (limit >= 0 || !m_backPending) return -1;
  // A placed view: the record may lie before the place.
  const size_t had = m_rows.size();
  readBack(std::numeric_limits<int64_t>::max());
  const auto end = m_rows.begin() + static_cast<std::ptrdiff_t>(m_rows.size() - had);
  const auto it = std::find(m_rows.begin(), end, position);
  return it != end ? m_base + static_cast<int64_t>(it - m_rows.begin()) : -1;
}

}  // namespace ov::db
