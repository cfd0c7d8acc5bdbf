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
//
// A paged view (SetPaged, as a browse has it) in a key's order or in file order reads nothing at
// Open: it selects records in that order as they are asked for (ReadPage, Next, ensure), so its
// first page costs the records up to that page, not the file. Where the ranges or the filter
// bound the key's first component (ranges on its field, or filter terms joined by AND of the form
// "field = value", "field >= value" and the like, the value not depending on the record), the
// reading starts at the lower bound in the key and stops past the upper one; the filter is still
// checked on every record read. records() and a search for a record the view has not reached
// read on to the end. An order of free elements whose first element is the first field of a key
// (as the key orders it: a text field in UPPER for a key that ignores case, as it is for one that
// doesn't) is read in that key's order (backwards for the other direction) a value of the field at
// a time, the records of each value sorted by the elements; unless that first value is shared by
// a tenth of the file or more. An order whose elements are all fields (a text field in UPPER or
// as it is, either direction) is otherwise sorted by the file's driver, which hands over the row
// ids of a growing batch at a time; the view reads the records of those it checks against the
// filter, and can start from the end (SeekEnd) or at a record (SeekPosition), the records of the
// file before it counted as its index, an estimate as above. Any other order of elements (an
// expression, a memo, a driver without indexes) must sort every record: the view reads the file
// at Open as an unpaged one does.
//
// A paged view in a key's order may also be placed in the middle (SeekKey, SeekPosition): it then
// reads from a value of the key on, and back from it as records before are asked for, so a list
// shown at today's tasks reads the records of its page, not those before them. The index of the
// first record read is then the count of the key's entries before it (within the key bounds),
// taken from the index: an estimate not below the true one, since records the filter drops are
// counted too. When the reading back reaches the first record the indexes become exact, and every
// index the view gave moves by the same amount: shift() adds up these moves, so a caller that
// keeps an index adds the change of shift() to it.
#pragma once

#include <cstdint>
#include <deque>
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

  // Paged reading (see above); off by default.
  void SetPaged(bool on) { m_paged = on; }
  bool paged() const { return m_paged; }

  // Selects and orders the records; 37 when the file is not open.
  rt::Err Open();
  void Close();
  // Back before the first selected record.
  void Reset() { m_pos = -1; }
  rt::Err Next();
  rt::Err Previous();
  // The number of records the view selects (a paged view reads on to its end for it).
  int64_t records();
  // Selects records until at least `count` are known or none are left; answers how many are
  // known. An unpaged view knows every record from Open.
  int64_t ensure(int64_t count);
  // One past the index of the last record selected so far; the index of the first one (0 unless
  // the view was placed in the middle); whether that is all of them, from the first to the last.
  int64_t known() const { return m_base + static_cast<int64_t>(m_rows.size()); }
  int64_t first() const { return m_base; }
  bool complete() const { return !m_pending && !m_backPending; }
  // The number of records, exact once complete, else a guess that is not below known() (for a
  // scroll bar): the records of the file.
  int64_t estimate();
  // Reads up to `count` records from the `first` selected one (0-based) into the buffer in turn,
  // calling `each` after each; returns how many were read.
  size_t ReadPage(size_t first, size_t count, const std::function<void()>& each);
  // The file position of the `index`-th selected record (0-based), 0 past the end; and the index
  // of the record at `position`, -1 when the view does not select it. A paged view looks among
  // the first `limit` records only when a limit is given.
  int64_t positionAt(size_t index);
  int64_t indexOf(int64_t position, int64_t limit = -1);

  // Placing a paged view in a key's order (see above). SeekKey: at the first record whose first
  // `parts` components of the key are at or after those of the record buffer (or at the start
  // of the key bounds, when that lies later); answers its index, which is known() when no record
  // lies there, or -1 when the view cannot be placed (another order, a driver without indexes),
  // leaving the view as it was. SeekPosition: at the record at `position` when the view selects
  // it; false when the view cannot be placed, else `index` is the record's index or -1 when the
  // view does not select it (the view is then left as it was).
  int64_t SeekKey(size_t parts);
  // At the end, for a view not bounded there: answers known(), the index past the last record
  // (the view reads back from there); known() too when the view has read to its end already;
  // -1 when it cannot be placed.
  int64_t SeekEnd();
  bool SeekPosition(int64_t position, int64_t& index);
  // Selects records before first() until `index` is known or the first record is reached;
  // answers `index` as it stands afterwards (moved by the change of shift()). A long way back
  // from where the view stands, the view reads again from its first record instead.
  int64_t reachBack(int64_t index);
  int64_t shift() const { return m_shift; }

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
  // Paged reading: the key bounds from the ranges and the filter, and the reading on.
  struct Bounds;
  void findBounds(Bounds& b);
  bool pastBounds() const;
  bool beforeBounds() const;
  rt::Err openPaged();
  // An order of elements led by a key's first field; with `longRuns` false, not when the key's
  // first value is shared by many records (see firstRun).
  bool openGrouped(bool longRuns);
  int64_t firstRun(Key key, bool backward);
  static constexpr int64_t kLongRun = 1000;
  bool openSorted();
  void readSorted(bool forward, int64_t want);
  std::string elementKey(size_t* firstLength = nullptr);
  void flushGroup();
  int64_t seekKey(const std::string& target);
  void readBack(int64_t count);
  // Forgets the rows read and starts again with `before` records ahead of the first one read
  // (read back on demand); `pending` when reading on is still to come.
  void restartAt(int64_t before, bool pending);
  void restartAtHead();
  void rebase(int64_t base);

  std::string m_orderText, m_filterText;
  Key m_orderKey;
  std::vector<Element> m_elements;
  std::unique_ptr<struct FilterExpr> m_filter;
  std::function<bool()> m_hook;
  std::vector<Range> m_ranges;
  std::deque<int64_t> m_rows;  // the selected records from index m_base on
  int64_t m_base = 0;
  int64_t m_pos = -1;

  bool m_paged = false;
  bool m_pending = false;      // a paged view with records still to select after the last
  bool m_backPending = false;  // a placed view with records still to select before the first
  int64_t m_shift = 0;
  std::unique_ptr<Bounds> m_bounds;
  std::unique_ptr<struct ViewScan> m_scan;
  int64_t m_estimate = -1;
};

}  // namespace ov::db
