// The view manager: the records of one file in a chosen order, limited by ranges and a filter,
// read one at a time or a page at a time.
//
// The order is a key of the file or a list of elements separated by commas, each an expression
// over the record's fields, with "-" in front for descending order: "-SCH:Date,UPPER(SCH:
// Description)". A text element orders with case significant (wrap it in UPPER to ignore case);
// records equal in every element keep file order. The filter is an expression over the names of
// the calling thread (rt::BIND) and the file's fields and memos, which the view binds itself; a
// filter hook in code may stand beside it. Range limits keep the records whose field lies between
// two values (texts compared with case ignored, as keys compare).
//
// Open reads the file once and keeps the positions of the records that pass, in order; the
// record buffer and the file's own sequence are left as they were. Next/Previous and ReadPage
// read those records into the buffer; a record deleted since Open is skipped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/file_manager.h"

namespace ov::db {

class ViewManager {
 public:
  explicit ViewManager(FileManager& primary);
  ~ViewManager();
  ViewManager(const ViewManager&) = delete;
  ViewManager& operator=(const ViewManager&) = delete;

  FileManager& Primary;

  void SetOrder(Key key);
  // 800-802 (the evaluator's codes) when an element is malformed; the order is then unchanged.
  rt::Err SetOrder(std::string_view order);
  std::string order() const { return m_orderText; }

  // An empty text removes the filter. 800-802 when it is malformed; the filter is then unchanged.
  rt::Err SetFilter(std::string_view expression);
  std::string filter() const { return m_filterText; }
  void SetFilterHook(std::function<bool()> accept) { m_hook = std::move(accept); }

  void AddRange(std::string_view field, std::string_view value) { AddRange(field, value, value); }
  void AddRange(std::string_view field, std::string_view low, std::string_view high);
  void ClearRanges() { m_ranges.clear(); }

  // Selects and orders the records; 37 when the file is not open.
  rt::Err Open();
  void Close();
  // Back before the first selected record.
  void Reset() { m_pos = -1; }
  rt::Err Next();
  rt::Err Previous();
  // The number of records selected by Open.
  int64_t records() const { return static_cast<int64_t>(m_rows.size()); }
  // Reads up to `count` records from the `first` selected one (0-based) into the buffer in turn,
  // calling `each` after each; returns how many were read.
  size_t ReadPage(size_t first, size_t count, const std::function<void()>& each);
  // The file position of the `index`-th selected record (0-based), 0 past the end; and the index
  // of the record at `position`, -1 when Open did not select it.
  int64_t positionAt(size_t index) const { return index < m_rows.size() ? m_rows[index] : 0; }
  int64_t indexOf(int64_t position) const;

 private:
  struct Element;
  struct Range {
    const rt::FieldDesc* field;
    std::string low, high;
  };
  rt::Err parseOrder(std::string_view text, std::vector<Element>& out);
  rt::Err parseFilter(std::string_view text);
  bool passes();
  rt::Err step(int direction);

  std::string m_orderText, m_filterText;
  Key m_orderKey;
  std::vector<Element> m_elements;
  std::unique_ptr<struct FilterExpr> m_filter;
  std::function<bool()> m_hook;
  std::vector<Range> m_ranges;
  std::vector<int64_t> m_rows;
  int64_t m_pos = -1;
};

}  // namespace ov::db
