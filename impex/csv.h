// The CSV files of the import/export program: a line writer and a record reader.
//
// Format: one record per line, lines ended by CR LF; fields separated by one comma. Text fields
// (pictures whose type letter is S) are written between double quotes with each quote doubled
// and trailing blanks removed; number fields (type letter N) bare in plain decimal form; dates,
// times and other pictures formatted with the picture, between quotes. A quoted field may hold
// commas and line breaks: the reader joins the physical lines of such a record again, so a
// multi-line memo reads back as one field of one record.
//
// The reader is strict where guessing would change data: a character other than a blank, a comma
// or the line end after a closing quote, or a quote left open at the end of the file, makes the
// record malformed and the error names its line. A record ends at the first blank remainder of
// its line: "a," and "a,  " hold one field. A blank line holds no field. A UTF-8 byte order mark
// at the start of the file is skipped.
//
// Text must be UTF-8 without NUL bytes: a field holding a NUL byte or bytes that are not UTF-8 is
// malformed too (the file is refused, not repaired: a guess at its encoding could change the
// text). So are a field longer than kCsvFieldMax bytes, a record longer than kCsvRecordMax bytes
// or with more than kCsvFieldsMax fields; a file longer than kCsvFileMax bytes is not read at all.
// These bound what one hostile file can make the program hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/record.h"

namespace ov::impex {

// The picture's type letter in upper case (the character after "@"); 0 for an empty picture.
char pictureType(std::string_view picture);

// Builds one line (StartCsvLine / AppendCsvField).
class CsvLineWriter {
 public:
  void start();  // an empty line, the next field is the first
  // A field of the record at `record` formatted by `picture`.
  void appendField(const void* record, const rt::FieldDesc& field, std::string_view picture);
  // A field name of the header line, quoted as it stands.
  void appendHeader(std::string_view name);
  // Appends a text value as a text field would be written (quoted, quotes doubled, trailing
  // blanks removed).
  void appendText(std::string_view text);
  // The line without its line end.
  const std::string& line() const { return m_line; }

 private:
  void separate();
  std::string m_line;
  bool m_first = true;
};

inline constexpr std::string_view kCsvLineEnd = "\r\n";

inline constexpr size_t kCsvFieldMax = 64 * 1024;
inline constexpr size_t kCsvRecordMax = 1024 * 1024;
inline constexpr size_t kCsvFieldsMax = 1000;
inline constexpr size_t kCsvFileMax = 256 * 1024 * 1024;

struct CsvField {
  std::string text;
  bool quoted = false;
};

struct CsvRecord {
  std::vector<CsvField> fields;
  int line = 0;        // physical line (1-based) where the record starts
  size_t bytes = 0;    // bytes it took in the file, line end included
};

// The bytes a reader looks at for one record: as far as a record within the limits can reach (its
// last field starting just inside kCsvRecordMax, quotes doubled). A record that runs on past them
// is malformed whatever follows, so no more of it is ever held.
inline constexpr size_t kCsvRecordWindow = kCsvRecordMax + 2 * kCsvFieldMax + 64;
inline constexpr size_t kCsvChunk = 256 * 1024;

// Reads records from a text held in memory, or from a stream a chunk at a time: a stream reader
// holds the record being read and at most a chunk more, whatever the size of the file. Both read
// alike. The text or the stream must outlive the reader.
class CsvReader {
 public:
  enum class Result { Record, End, Malformed };
  CsvReader() = default;
  explicit CsvReader(std::string_view data) : m_data(data) {}
  explicit CsvReader(std::istream& in, size_t chunk = kCsvChunk);
  CsvReader(CsvReader&&) noexcept;
  CsvReader& operator=(CsvReader&&) noexcept;
  // The next record; Malformed leaves error() naming the line, and the reader stays there. A stream
  // that cannot be read, or that holds more than kCsvFileMax bytes, is Malformed too, with
  // inputFailed() set and an error naming no line.
  Result next(CsvRecord& out);
  const std::string& error() const { return m_error; }
  bool inputFailed() const { return m_inputFailed; }
  // Bytes of the text or stream read as records so far.
  size_t offset() const { return m_base + m_pos; }
  // Back to the start (a stream is sought back to its start).
  void rewind();

 private:
  Result read(CsvRecord& out, size_t begin);
  // Whether the byte at `at` is there, reading on as far as needed.
  bool has(size_t at) { return at < m_data.size() || fill(at); }
  bool fill(size_t at);
  // Within the current record's window, and the byte there read.
  bool within(size_t at) { return at < m_limit && has(at); }
  // The record reaches its window's end and the text goes on.
  bool clipped(size_t at) { return at >= m_limit && has(at); }
  size_t findQuote(size_t from);
  bool quoteAhead(size_t from);
  void compact();
  bool atLineEnd(size_t at);
  void takeLineEnd();
  Result fail(int line, std::string_view what);
  // Checks a field just read and the record so far; false (with the error set) when it breaks a
  // rule of the text or a limit.
  bool acceptField(const CsvRecord& rec, size_t begin);
  CsvField& takeField(CsvRecord& out);

  std::string_view m_data;  // the text, or the part of the stream in m_buf
  std::istream* m_in = nullptr;
  std::string m_buf;
  size_t m_chunk = kCsvChunk;
  size_t m_base = 0;  // stream offset of m_buf[0]
  bool m_eof = false;
  bool m_inputFailed = false;
  size_t m_pos = 0;
  size_t m_limit = 0;  // end of the current record's window
  int m_line = 1;
  size_t m_used = 0;  // fields of the record being read
  std::string m_error;
};

// Stores a read field into a record field. `picture` is the column's: a date or time picture
// turns the text into its day number or time first. Text targets take the text cut to their
// width; number targets its whole numeric value (0 when it is no number). A date or time target
// read through a text or number picture takes a bare whole number as it stands and reads any
// other text through `targetPicture` (its own date or time picture), so a date survives being
// read as text. The pictures are read once, when the store is made.
class FieldStore {
 public:
  FieldStore(const rt::FieldDesc& field, std::string_view picture, std::string_view targetPicture = {});
  void operator()(void* record, std::string_view text) const;

 private:
  enum class Way { Text, ColumnDateTime, TargetDateTime };
  const rt::FieldDesc* m_field;
  std::string m_picture;  // the one a date or time text is read through
  Way m_way = Way::Text;
};

inline void storeField(void* record, const rt::FieldDesc& field, std::string_view text,
                       std::string_view picture, std::string_view targetPicture = {}) {
  FieldStore(field, picture, targetPicture)(record, text);
}

}  // namespace ov::impex
