// Write scopes over the storages of several files: one transaction, or savepoints inside the
// active one, committed or rolled back together.
#pragma once

#include <memory>
#include <vector>

#include "platform/files/detail/backend.h"
#include "platform/files/file.h"

namespace ov::db::detail {

class Storage;

class WriteScope {
 public:
  WriteScope() = default;
  ~WriteScope();  // rolls back what was not finished
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;

  // Begins on the storages of `files` (files of text drivers take no part). 32 when a storage
  // stays busy for `timeoutMs`.
  rt::Err begin(const std::vector<File*>& files, int timeoutMs, std::string* detail = nullptr);
  // Adds the storage of `file` to a begun scope.
  rt::Err join(File& file, std::string* detail = nullptr);
  rt::Err finish(bool commit, std::string* detail = nullptr);
  bool isActive() const { return !m_storages.empty(); }

 private:
  std::vector<std::shared_ptr<Storage>> m_storages;
  int m_timeoutMs = 10000;
};

std::shared_ptr<Storage> storageOf(File& file);

// The highest value of the numbered component of auto-numbered `key` among the records that
// share the buffer's leading components.
rt::Err highestNumber(File& file, Key key, double& value);
// Notes (or forgets) the record at `rid` as a new record reserved by this process; inside the
// write that makes (or finishes or removes) it.
rt::Err noteReservation(File& file, int64_t rid, bool reserved);
// The positions of reserved records whose process ended before finishing them.
std::vector<int64_t> abandonedReservations(File& file);
// Whether any stored record has the buffer's value of unique `key`.
bool duplicateAny(File& file, Key key);
std::string encodeKeyPrefixOf(File& file, Key key, const void* buffer, size_t parts);
// The number of records whose encoded `key` lies in [low, high) (an end left open when null),
// from the key's index; 80 when the file's driver keeps no indexes.
rt::Err countKeyRange(File& file, Key key, const std::string* low, const std::string* high, int64_t& n);

// Up to `limit` row ids of `file` in the order of `columns` after (or before) `from`, with their
// values of the columns, as Backend::sortedScan reads them; 80 when the file's driver cannot
// order by columns. readRows: the records at `rids` that still exist, in any order.
rt::Err sortedRows(File& file, const std::vector<Backend::SortColumn>& columns, const Anchor& from, bool forward,
                   int limit, std::vector<Row>& out);
rt::Err readRows(File& file, const std::vector<int64_t>& rids, std::vector<Row>& out);
// Where the record at `rid` stands in the order of `columns` (Backend::sortedPlace).
rt::Err sortedPlace(File& file, const std::vector<Backend::SortColumn>& columns, int64_t rid, std::string& key,
                    int64_t& before);

// Where a file's sequence stands and which record is current, to be put back after a
// cascade has read the file.
struct CursorState {
  int order = -1;
  Anchor anchor;
  int64_t current = 0;
};
CursorState saveCursor(File& file);
void restoreCursor(File& file, const CursorState& state);

// The encoded value of `key` for the record at `buffer` (a buffer of `file`'s layout).
std::string encodeKeyOf(File& file, Key key, const void* buffer);

}  // namespace ov::db::detail
