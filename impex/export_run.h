// One export: chosen fields of every record of a table, in the table's export order, written as
// CSV lines to a file. The run writes to a temporary file beside the target and renames it over
// the target only at the end, so a failed run leaves an existing file as it was. Runs in steps so
// a progress window can stay responsive; testable without windows.
//
// Lines are written in chunks. A chunk that cannot be written (a full disk) fails the step or
// finish() with writeFailed(): retryWrite() tries the same bytes again at the same place, as often
// as the user asks, and the run goes on from there; abandon() gives up. A record that cannot be
// read fails the step with readFailed() and ends the table there: finish() keeps what was written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "impex/csv.h"
#include "impex/field_lists.h"

namespace ov::impex {

struct ExportField {
  std::string name;     // a name of the table's list
  std::string picture;  // the picture to write it with
};

class ExportRun {
 public:
  enum class Step { More, Done, Failed };

  // `table` must be open.
  ExportRun(const ImpexTable& table, std::vector<ExportField> fields, bool header);
  ~ExportRun();
  ExportRun(const ExportRun&) = delete;
  ExportRun& operator=(const ExportRun&) = delete;

  // Creates the file and writes the header line; false with error() set when it cannot.
  bool begin(const std::string& path);
  // Writes up to `maxRecords` records.
  Step step(int maxRecords);
  // After a failed write: writes the lines not yet written; true when they are.
  bool retryWrite();
  // Closes and keeps what was written (at the end, or when the user cancels); false with error()
  // set when the file cannot be completed: with writeFailed() the write may be retried and
  // finish() called again, else the target is untouched.
  bool finish();
  // Drops the temporary file; the target is untouched.
  void abandon();

  int64_t total() const { return m_total; }
  int64_t done() const { return m_done; }
  const std::string& error() const { return m_error; }
  bool writeFailed() const { return m_writeFailed; }
  bool readFailed() const { return m_readFailed; }

 private:
  static constexpr size_t kWriteChunk = 64 * 1024;
  bool writeLine();
  bool flush();
  bool fail(std::string text);

  const ImpexTable& m_table;
  std::vector<ExportField> m_fields;
  std::vector<const rt::FieldDesc*> m_descs;
  bool m_header;
  std::string m_path, m_temp;
  int m_out = -1;           // the temporary file
  std::string m_pending;    // lines not yet written
  int64_t m_written = 0;    // bytes in the file
  CsvLineWriter m_line;
  int64_t m_total = 0, m_done = 0;
  bool m_started = false, m_atEnd = false, m_writeFailed = false, m_readFailed = false;
  std::string m_error;
};

}  // namespace ov::impex
