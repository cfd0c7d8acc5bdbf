// The file manager: one per data file, the way programs open, prime, write, read and check the
// records of that file. Failures of the members without "Try" are reported through the error
// manager (error_class.h) under the file's error label; every member also returns its code.
//
// Opening counts: Open opens the file on first use (creating it when it is missing and the
// declaration allows it) and Close closes it when the last user has closed it.
//
// New records: PrimeRecord clears the buffer, lets PrimeFields set the file's primed values and
// gives an auto-numbered key its next number. Unless LazyAutoInc is set, the number is reserved
// at once by storing the primed record (so another program cannot take it); Insert then writes
// the finished record over the reserved one, and CancelAutoInc removes it when the new record is
// abandoned. Numbering happens inside one write transaction; the unique key settles a race with
// another program, after which the next number is tried.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "platform/files/error_class.h"
#include "platform/files/file.h"
#include "platform/rt/thread_data.h"

namespace ov::db {

class FileManager {
 public:
  explicit FileManager(File& file);
  virtual ~FileManager();
  FileManager(const FileManager&) = delete;
  FileManager& operator=(const FileManager&) = delete;

  File& file() const { return m_file; }
  ErrorClass& errors() const { return m_errors ? *m_errors : globalErrors(); }
  void setErrors(ErrorClass* errors) { m_errors = errors; }

  int OpenMode = kSharedReadWrite;
  bool LazyAutoInc = false;   // number new records at Insert instead of reserving at PrimeRecord
  int AutoIncRetries = 10;    // attempts when another program took the number

  rt::Err Open();
  rt::Err TryOpen();
  rt::Err Close();
  // Opens the file when it is not open yet (a first use counts as an Open).
  rt::Err UseFile();
  int openCount() const { return m_opened; }

  rt::Err PrimeRecord(bool suppressClear = false);
  // The file's primed values of a new record; the default primes nothing.
  virtual void PrimeFields() {}
  // Removes the record that PrimeRecord reserved; nothing when none is reserved.
  rt::Err CancelAutoInc();
  // The reservation belongs to the logical thread that primed the record.
  bool hasReservation() const { return m_reserved[rt::residentThread()] != 0; }
  // Reserved records that a program ended (or was killed) without finishing or giving up: their
  // positions, and the note of one taken away once the record is gone.
  std::vector<int64_t> AbandonedReservations();
  rt::Err ForgetReservation(int64_t position);

  rt::Err Insert();
  rt::Err TryInsert();
  // Adds the buffer as a record of its own, numbered afresh when its auto-numbered field is 0,
  // while a record that PrimeRecord reserved on this thread (a form's new record) keeps its
  // reservation: TryInsert would write over that.
  rt::Err TryInsertApart();
  // Update writes the buffer over the current record. When the thread watches that record
  // (File::watch, as a form does while it edits one) and someone else changed it meanwhile,
  // TakeChanged asks the user first.
  rt::Err Update();
  rt::Err TryUpdate();
  rt::Err Fetch(Key key);
  rt::Err TryFetch(Key key);
  rt::Err Next();
  rt::Err TryNext();
  rt::Err Previous();
  rt::Err TryPrevious();
  rt::Err Delete();
  rt::Err TryDelete();

  // Checks one field of the buffer; Level::Benign when it passes. The default lets every field
  // pass; a file that checks a field overrides it (ValidateRange does the usual range check).
  virtual Level ValidateField(const rt::FieldDesc& field);
  Level ValidateByName(std::string_view name);
  // Every field in declaration order, up to the first that fails.
  Level ValidateFields();
  // Refuses `value` outside low..high with the range message for `fieldText` ("Priority") and
  // `rangeText` ("1 and 10").
  Level ValidateRange(std::string_view fieldText, double value, double low, double high, std::string_view rangeText);

  // A write refused because the watched record was changed by someone else: asks whether to keep
  // the user's version (true: the record is watched as stored now, so the write can go over it)
  // or to reload it (false: the buffer gets the stored record, watched anew).
  virtual bool TakeChanged();

  // Report `id` under this file's error label.
  virtual Level Throw(Msg id);
  virtual Level ThrowMessage(Msg id, std::string_view message);

  // Names for filters and reports: calls `bind` for each memo and BLOB of the file with its
  // declared name and size (the record's own fields are bound with the record).
  using Binder = std::function<void(std::string_view name, const rt::FieldDesc& field, const void* base)>;
  virtual void BindFields(const Binder& bind);

  RecordImage SaveBuffer() const { return m_file.saveBuffer(); }
  void RestoreBuffer(const RecordImage& image) { m_file.restoreBuffer(image); }

 protected:
  // Write steps the relation manager wraps; they report nothing.
  rt::Err insertRecord();
  friend class RelationManager;

 private:
  rt::Err openFile();
  Key autoKey() const;
  rt::Err numberAndAdd(bool reserve);
  rt::Err finishReservation(int64_t at, bool keep);
  rt::Err report(rt::Err err, Msg id);

  File& m_file;
  ErrorClass* m_errors = nullptr;
  int m_opened = 0;
  int64_t& reserved() { return m_reserved[rt::residentThread()]; }
  int64_t m_reserved[rt::kMaxThreadData + 1] = {};  // position of the reserved record, by logical thread
};

}  // namespace ov::db
