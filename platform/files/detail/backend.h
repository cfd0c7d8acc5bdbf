// What a driver does for a File: the storage-specific half of the file statements.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/file.h"

namespace ov::db::detail {

// A memo or BLOB of a file: a Memo/Blob field of the record descriptor (a std::string member of
// the record buffer) or one declared beside the record (MemoDecl).
struct MemoSlot {
  const char* name;
  uint32_t size;
  bool isBlob;
  const rt::FieldDesc* field;  // set for a descriptor field
  std::string* value;          // set for a MemoDecl
  std::string& ref(void* buffer) const {
    return field ? *reinterpret_cast<std::string*>(static_cast<char*>(buffer) + field->memberOffset) : *value;
  }
  const std::string& ref(const void* buffer) const { return ref(const_cast<void*>(buffer)); }
};
std::vector<MemoSlot> memoSlots(const FileDecl& decl);

// Copies the values of the record's fixed fields (not its memos) from `src` to `dst`; a record
// buffer holds std::string members, so it is never copied as a whole.
void copyFields(const rt::RecordDesc& record, void* dst, const void* src);

// A record as read: its position, the encoded value of the key it was read by, its image.
struct Row {
  int64_t rid = 0;
  std::string key;
  RecordImage image;
};

// Where a sequence stands, relative to which the next or previous record is found.
struct Anchor {
  enum Kind {
    Unset,  // after SET: NEXT reads the first record, PREVIOUS the last
    Begin,  // before the first record
    End,    // after the last record
    Value,  // SET(key, key) or SET(file, position): at `key` (or at `rid` in file order), inclusive
    Row,    // on a record that was read: the records strictly after or before it
  };
  Kind kind = Unset;
  std::string key;
  int64_t rid = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual rt::Err open(int mode, std::string& detail) = 0;
  virtual rt::Err create(std::string& detail) = 0;
  virtual void close() = 0;
  virtual rt::Err removeFile(std::string& detail) = 0;
  virtual std::string path() const = 0;
  // Up to `limit` records in `order` (-1 file order, else a key index) after (or, when not
  // `forward`, before) `from`.
  virtual rt::Err scan(int order, const Anchor& from, bool forward, int limit, std::vector<Row>& out,
                       std::string& detail) = 0;
  virtual rt::Err getByKey(int key, const std::string& value, Row& out, std::string& detail) = 0;
  virtual rt::Err getByRid(int64_t rid, Row& out, std::string& detail) = 0;
  // Store the record buffer (and memos): a new record, or over the record `rid`.
  virtual rt::Err insert(int64_t& rid, std::string& detail) = 0;
  virtual rt::Err update(int64_t rid, std::string& detail) = 0;
  virtual rt::Err erase(int64_t rid, std::string& detail) = 0;
  virtual rt::Err count(int64_t& n, std::string& detail) = 0;
  // The number of records whose encoded value of `key` lies at or after `low` and before `high`
  // (either end open when not given), counted in the key's index; 80 for drivers without indexes.
  virtual rt::Err countKeys(int key, const std::string* low, const std::string* high, int64_t& n, std::string& detail) {
    (void)key, (void)low, (void)high, (void)n, (void)detail;
    return rt::Err::NotSupported;
  }
  // Up to `limit` records in the order of `columns` (numbers by value, texts as a key of those
  // components compares them, ties by row id) after (or, when not `forward`, before) `from`: an
  // Unset anchor starts at the first (or last) record, a Row anchor at the key and row id of a
  // Row this gave. Each Row holds the row id and, as its key, the record's values of the columns
  // (the driver's own form); not the record. 80 for drivers that cannot order by columns.
  struct SortColumn {
    const rt::FieldDesc* field;
    bool caseless;  // texts: compared with case ignored
    bool descending;
  };
  virtual rt::Err sortedScan(const std::vector<SortColumn>& columns, const Anchor& from, bool forward, int limit,
                             std::vector<Row>& out, std::string& detail) {
    (void)columns, (void)from, (void)forward, (void)limit, (void)out, (void)detail;
    return rt::Err::NotSupported;
  }
  // The place of the record `rid` in the order of `columns`: its values of the columns (as
  // sortedScan gives them) and the number of records before it. 35 when it is gone.
  virtual rt::Err sortedPlace(const std::vector<SortColumn>& columns, int64_t rid, std::string& key, int64_t& before,
                              std::string& detail) {
    (void)columns, (void)rid, (void)key, (void)before, (void)detail;
    return rt::Err::NotSupported;
  }
  // The records at `rids` that still exist, in any order.
  virtual rt::Err readRows(const std::vector<int64_t>& rids, std::vector<Row>& out, std::string& detail) {
    out.clear();
    for (int64_t rid : rids) {
      Row row;
      rt::Err err = getByRid(rid, row, detail);
      if (err == rt::Err::NotFound) continue;
      if (err != rt::Err::None) return err;
      out.push_back(std::move(row));
    }
    return rt::Err::None;
  }
  // Whether another record than `rid` has the buffer's value of unique key `key`.
  virtual bool duplicate(int key, int64_t rid) = 0;
  // Changes made through this process since open; read-ahead is valid while it stays the same.
  virtual uint64_t generation() const = 0;
  virtual std::string encodeKey(int key, const void* buffer) const = 0;
  virtual std::string encodeKeyPrefix(int key, const void* buffer, size_t parts) const = 0;
  // Holds for other processes: take one on `rid` (43 when another live process holds it) or
  // drop every hold of this File.
  virtual rt::Err hold(int64_t rid, std::string& detail) = 0;
  virtual void releaseHolds() = 0;
  // Whether a live process holds `rid`; dropHold removes any hold on it.
  virtual bool isHeld(int64_t rid) = 0;
  virtual void dropHold(int64_t rid) = 0;
  // New records reserved by a file manager (PrimeRecord), noted with the process that reserved
  // them until the record is finished or given up, in the same transaction as the record; the
  // noted ones whose process has ended were left half-made. Drivers without transactions note
  // nothing.
  virtual rt::Err noteReservation(int64_t rid, bool reserved, std::string& detail) {
    (void)rid, (void)reserved, (void)detail;
    return rt::Err::None;
  }
  virtual std::vector<int64_t> abandonedReservations() { return {}; }
  // PACK and BUILD.
  virtual rt::Err pack(std::string& detail) = 0;
  virtual rt::Err build(const std::function<void(std::string_view)>& onKey, std::string& detail) = 0;
  // The highest value of an auto-numbered key's numbered component among the records that
  // share the buffer's leading components (all records for a whole-key number).
  virtual rt::Err highestNumber(int key, double& value, std::string& detail) = 0;
  // Bulk adding (File::deferKeys): drop the keys' indexes inside the active transaction, and
  // build the missing ones again from the records. Drivers without indexes have nothing to do.
  virtual rt::Err deferKeys(std::string& detail) { (void)detail; return rt::Err::None; }
  virtual rt::Err buildDeferredKeys(std::string& detail) { (void)detail; return rt::Err::None; }
  // Transactions: the storage this backend writes to, or null for drivers without them.
  virtual class Storage* storage() { return nullptr; }
};

std::unique_ptr<Backend> makeTableBackend(File& file);
std::unique_ptr<Backend> makeTextBackend(File& file);

}  // namespace ov::db::detail
