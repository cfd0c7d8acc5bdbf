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

// Reads records from a text held in memory; the text must outlive the reader.
class CsvReader {
 public:
  enum class Result { Record, End, Malformed };
  explicit CsvReader(std::string_view data) : m_data(data) {}
  // The next record; Malformed leaves error() naming the line, and the reader stays there.
  Result next(CsvRecord& out);
  const std::string& error() const { return m_error; }
  size_t offset() const { return m_pos; }
  void rewind() { m_pos = 0; m_line = 1; m_error.clear(); }

 private:
  bool atLineEnd(size_t at) const;
  void takeLineEnd();
  Result fail(int line, std::string_view what);
  // Checks a field just read and the record so far; false (with the error set) when it breaks a
  // rule of the text or a limit.
  bool acceptField(const CsvRecord& rec, size_t begin);

  std::string_view m_data;
  size_t m_pos = 0;
  int m_line = 1;
  size_t m_width = 0;  // fields of the last record: room made for as many in the next
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
