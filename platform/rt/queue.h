// In-memory queues as the runtime keeps them: an ordered list of entries of one record type and
// a record buffer. GET copies an entry into the buffer, ADD and PUT store the buffer; positions
// are 1-based; POINTER is the position of the entry last read, added or written.
//
//   struct Var { String<30> Name; int32_t Value; };
//   Queue<Var> q;
//   const QueueOrder<Var> byName{ascending(&Var::Name)};
//   q.buf.Name = "x"; q.buf.Value = 1; q.ADD(byName);      // insert in name order
//   q.buf.Name = "x"; if (q.GET(byName) == Err::None) ...  // first entry with that name
//
// Failures return Err::EntryNotFound and leave the queue and the buffer as they were; every
// operation also records its outcome for ERRORCODE(). Not thread-safe: a queue belongs to one
// thread at a time.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "err.h"
#include "fixed_string.h"
#include "record.h"

namespace ov::rt {

// Compares two field values: fixed strings and std::string as the runtime compares text
// (trailing blanks ignored, optionally ignoring case), everything else by operator<.
template <typename M>
int compareField(const M& a, const M& b, bool caseless) {
  if constexpr (requires { a.view(); }) {
    return compareText(a.view(), b.view(), caseless);
  } else if constexpr (std::is_convertible_v<const M&, std::string_view>) {
    return compareText(std::string_view(a), std::string_view(b), caseless);
  } else {
    return a < b ? -1 : b < a ? 1 : 0;
  }
}

// One component of a queue's sort key.
template <typename T>
struct QueueKey {
  std::function<int(const T&, const T&)> compare;  // <0, 0, >0 in ascending order
  bool descending = false;
};

template <typename T, typename M>
QueueKey<T> ascending(M T::*field, bool caseless = false) {
  return {[field, caseless](const T& a, const T& b) { return compareField(a.*field, b.*field, caseless); }, false};
}
template <typename T, typename M>
QueueKey<T> descending(M T::*field, bool caseless = false) {
  QueueKey<T> k = ascending(field, caseless);
  k.descending = true;
  return k;
}

// A sort key of one or more fields, each ascending or descending; the runtime's "+a,-b".
template <typename T>
class QueueOrder {
 public:
  QueueOrder() = default;
  QueueOrder(std::initializer_list<QueueKey<T>> keys) : m_keys(keys) {}
  void add(QueueKey<T> key) { m_keys.push_back(std::move(key)); }
  bool empty() const { return m_keys.empty(); }

  int compare(const T& a, const T& b) const {
    for (const QueueKey<T>& k : m_keys) {
      int c = k.compare(a, b);
      if (c != 0) return k.descending ? -c : c;
    }
    return 0;
  }

 private:
  std::vector<QueueKey<T>> m_keys;
};

// Builds an order from field names of the record's descriptor, separated by commas, each
// optionally preceded by "+" (ascending) or "-" (descending): "-Date,Name". Names ignore case,
// with or without the prefix. Text fields compare as text, the others by their numeric value.
// Returns false, leaving `out` unchanged, when a name is unknown or the list is empty.
template <typename T>
bool orderFromNames(const RecordDesc& desc, std::string_view names, QueueOrder<T>& out) {
  QueueOrder<T> order;
  while (!names.empty()) {
    size_t comma = names.find(',');
    std::string_view part = names.substr(0, comma);
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    part = clipView(part);
    bool descending = false;
    if (!part.empty() && (part.front() == '-' || part.front() == '+')) {
      descending = part.front() == '-';
      part.remove_prefix(1);
    }
    const FieldDesc* f = desc.find(part);
    if (!f) return false;
    bool isText = f->type == FieldType::String || f->type == FieldType::CString ||
                  f->type == FieldType::Memo || f->type == FieldType::Blob;
    order.add({[f, isText](const T& a, const T& b) {
                 if (isText) return compareText(fieldText(&a, *f), fieldText(&b, *f));
                 double x = fieldNumber(&a, *f), y = fieldNumber(&b, *f);
                 return x < y ? -1 : y < x ? 1 : 0;
               },
               descending});
  }
  if (order.empty()) return false;
  out = std::move(order);
  return true;
}

template <typename T>
class Queue {
 public:
  T buf{};  // the record buffer

  int RECORDS() const { return static_cast<int>(m_entries.size()); }
  int POINTER() const { return m_pointer; }

  // Appends the buffer.
  void ADD() {
    m_entries.push_back(buf);
    m_pointer = RECORDS();
    clearError();
  }

  // Inserts the buffer at `position`; a position past the end appends, one below 1 inserts first.
  void ADD(int position) {
    size_t at = static_cast<size_t>(std::clamp(position, 1, RECORDS() + 1) - 1);
    m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(at), buf);
    m_pointer = static_cast<int>(at) + 1;
    clearError();
  }

  // Inserts the buffer in key order, after the entries with an equal key. The queue is taken to
  // be in that order already (kept so by ADD with the same order, or by SORT).
  void ADD(const QueueOrder<T>& order) {
    auto it = std::upper_bound(m_entries.begin(), m_entries.end(), buf,
                               [&](const T& a, const T& b) { return order.compare(a, b) < 0; });
    size_t at = static_cast<size_t>(it - m_entries.begin());
    m_entries.insert(it, buf);
    m_pointer = static_cast<int>(at) + 1;
    clearError();
  }

  // Copies the entry at `position` into the buffer.
  Err GET(int position) {
    if (position < 1 || position > RECORDS()) return fail();
    buf = m_entries[static_cast<size_t>(position - 1)];
    m_pointer = position;
    clearError();
    return Err::None;
  }

  // Copies the first entry whose key equals the buffer's into the buffer.
  Err GET(const QueueOrder<T>& order) {
    for (size_t i = 0; i < m_entries.size(); ++i) {
      if (order.compare(m_entries[i], buf) == 0) {
        buf = m_entries[i];
        m_pointer = static_cast<int>(i) + 1;
        clearError();
        return Err::None;
      }
    }
    return fail();
  }

  // Writes the buffer over the entry at POINTER.
  Err PUT() {
    if (m_pointer < 1 || m_pointer > RECORDS()) return fail();
    m_entries[static_cast<size_t>(m_pointer - 1)] = buf;
    clearError();
    return Err::None;
  }

  // Writes the buffer over the entry at POINTER and moves it to its place in key order.
  Err PUT(const QueueOrder<T>& order) {
    if (m_pointer < 1 || m_pointer > RECORDS()) return fail();
    m_entries.erase(m_entries.begin() + (m_pointer - 1));
    ADD(order);
    return Err::None;
  }

  // Removes the entry at POINTER; POINTER then names the entry that followed it.
  Err DELETE() {
    if (m_pointer < 1 || m_pointer > RECORDS()) return fail();
    m_entries.erase(m_entries.begin() + (m_pointer - 1));
    clearError();
    return Err::None;
  }

  // Sorts the entries; entries with equal keys keep their order. POINTER is reset.
  void SORT(const QueueOrder<T>& order) {
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [&](const T& a, const T& b) { return order.compare(a, b) < 0; });
    m_pointer = 0;
  }

  // Removes every entry; the buffer keeps its contents.
  void FREE() {
    m_entries.clear();
    m_pointer = 0;
  }

  // Direct read access for lists and loops; `position` must lie in 1..RECORDS().
  const T& at(int position) const {
    assert(position >= 1 && position <= RECORDS());
    return m_entries[static_cast<size_t>(position - 1)];
  }
  auto begin() const { return m_entries.begin(); }
  auto end() const { return m_entries.end(); }

 private:
  Err fail() {
    setError(Err::EntryNotFound);
    return Err::EntryNotFound;
  }

  std::vector<T> m_entries;
  int m_pointer = 0;
};

}  // namespace ov::rt
