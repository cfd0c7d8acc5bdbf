// One import: the lines of a CSV file added as new records of a table.
//
// ImportLayout is what the assignment window edits: the file's columns ("Field_1"...) with the
// picture each is read through, and for each field of the table's list the column that feeds it.
// ImportRun checks the whole file before it stores anything (a malformed record, or a record with
// fewer fields than the first line, stops it with its line number and nothing stored), then reads
// the file again record by record and adds the records in steps inside one transaction, so
// a failure part-way (a duplicate key) leaves the table as it was; a large import into a table of
// non-unique keys builds the keys once when it is kept (or once the table holds
// kDeferredKeyRecords records, keeping the rest record by record). Each record starts cleared: a field
// without a column is blank or zero, never the previous line's value. A file on disk is read as
// a stream both times, a chunk at a time, so the memory a run takes does not grow with the file;
// a file that changes between the check and the end of storing stores nothing.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "impex/csv.h"
#include "impex/field_lists.h"

namespace ov::impex {

inline constexpr const char* kTextColumnPicture = "@S1000";

// The most records a table holds when an import builds its keys in one pass. The keys are sorted
// in memory (an encrypted data file never sorts through a plain temporary file), about 80 bytes a
// record for a to-do's key, one key at a time; past this many the keys are built where the run
// has got to and kept record by record from there on, so the memory an import takes stays bounded
// however large its file.
inline constexpr int64_t kDeferredKeyRecords = 500000;
inline constexpr const char* kNumberColumnPicture = "@N30.9";

struct ImportColumn {
  std::string field;    // "Field_1"
  std::string picture = kTextColumnPicture;
  std::string value;    // the column's text in the sample line (up to 100 characters)
};

// "Alpha-num", "Numeric" or the picture itself.
std::string displayPicture(std::string_view picture);

struct ImportLayout {
  std::vector<ImportColumn> columns;
  std::vector<int> source;   // per field of the table's list: a column index, or -1
  bool stripHeader = false;

  // Columns from the first record; number pictures for the columns that the second record holds
  // bare. No column is assigned.
  static ImportLayout fromSample(const ImpexTable& table, const CsvRecord& first,
                                 const CsvRecord* second);
  // Assigns each target without a column to the first column whose sample value is the target's
  // name; a column assigned to a date or time field takes that field's picture. The header is
  // stripped when at least one column was recognised. Returns the number of targets assigned.
  int autoAssign(const ImpexTable& table);
  // Puts the values of another sample record into the columns (missing columns keep theirs).
  void showSample(const CsvRecord& rec);
  bool hasAssignment() const;
};

// An import file on disk, by its path.
struct CsvFile {
  std::string path;
};

class ImportRun {
 public:
  enum class Step { More, Done, Failed };

  // Asked when new ids for a record kept colliding ("Auto Increment Error"): true to try again,
  // false to give up (the run then fails).
  using RetryQuestion = std::function<bool(const std::string& text)>;

  // `table` must be open; `data` is the whole file. Without `askRetry` numbering gives up at once.
  ImportRun(const ImpexTable& table, std::string data, ImportLayout layout, RetryQuestion askRetry = {});
  // The same for a file on disk, which the run opens and reads itself.
  ImportRun(const ImpexTable& table, CsvFile file, ImportLayout layout, RetryQuestion askRetry = {});
  ~ImportRun();
  ImportRun(const ImportRun&) = delete;
  ImportRun& operator=(const ImportRun&) = delete;

  // Reads every record of the file and starts the transaction; false with error() set when the
  // file is malformed or the table cannot be written.
  bool begin();
  // Stores up to `maxRecords` records. Failed rolls back everything this run stored.
  Step step(int maxRecords);
  // Keeps what was stored (at the end, or when the user cancels).
  bool finish();
  // Rolls back whatever was stored.
  void abandon();

  // For tests: the records at which deferred keys are built (kDeferredKeyRecords). Before begin().
  void setDeferredKeyRecords(int64_t n) { m_deferLimit = n; }

  // Records the file holds (known after begin()) and records stored so far.
  int64_t total() const { return m_total; }
  int64_t done() const { return m_next; }
  int64_t bytesDone() const { return static_cast<int64_t>(m_reader.offset()); }
  int64_t bytesTotal() const { return m_bytes; }
  const std::string& error() const { return m_error; }
  const std::string& errorCaption() const { return m_caption; }

 private:
  void bindColumns();
  bool openInput();
  bool restIsAsChecked();
  // The error for a record that cannot be stored as it was read; "" for a sound one.
  std::string badRecord(CsvReader::Result r, const CsvRecord& rec) const;
  void inputError(const std::string& text);
  void fillRecord(const CsvRecord& rec);
  rt::Err store();
  bool buildKeys();
  rt::Err autoNumberAdd();

  struct Binding {  // a target fed by a column
    size_t column;
    FieldStore store;
  };

  const ImpexTable& m_table;
  std::string m_data;  // the text of a run from memory
  std::string m_path;  // the file of a run from disk
  std::ifstream m_in;
  CsvReader m_reader;  // the records as they are stored
  int64_t m_bytes = 0;  // bytes of the file as checked
  ImportLayout m_layout;
  std::vector<Binding> m_bindings;
  int64_t m_total = 0, m_next = 0;
  bool m_headerPending = false;
  bool m_inTransaction = false;
  bool m_keysDeferred = false;  // the table's keys are built at finish() or at m_deferLimit
  int64_t m_deferLimit = kDeferredKeyRecords;
  int64_t m_existing = 0;  // records the table held when the run began
  RetryQuestion m_askRetry;
  bool m_readFailed = false;  // numbering could not read the last record
  std::string m_error, m_caption;
};

}  // namespace ov::impex
