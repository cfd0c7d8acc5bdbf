#include "impex/csv.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"

namespace ov::impex {
namespace {

std::vector<std::string> texts(const CsvRecord& r) {
  std::vector<std::string> out;
  for (const CsvField& f : r.fields) out.push_back(f.text);
  return out;
}

struct LineCase {
  const char* name;
  const char* input;
  std::vector<std::vector<std::string>> records;
};

const LineCase kLines[] = {
    {"bare fields", "1,2,3\r\n", {{"1", "2", "3"}}},
    {"empty middle field", "a,,b\r\n", {{"a", "", "b"}}},
    {"comma inside quotes", "\"x,y\",2\r\n", {{"x,y", "2"}}},
    {"doubled quotes", "\"say \"\"hi\"\"\",\"\"\"\"\r\n", {{"say \"hi\"", "\""}}},
    {"trailing comma gives no field", "a,\r\n", {{"a"}}},
    {"blank remainder gives no field", "a,b,   \r\n", {{"a", "b"}}},
    {"leading blanks stay in a bare field", " a, b\n", {{" a", " b"}}},
    {"blank after a closing quote is skipped", "\"a\" ,b\r\n", {{"a", "b"}}},
    {"quoted empty field", "\"\",x\r\n", {{"", "x"}}},
    {"line break inside quotes", "\"one\r\ntwo\",3\r\nnext\r\n", {{"one\r\ntwo", "3"}, {"next"}}},
    {"bare LF line ends and no final line end", "a\nb", {{"a"}, {"b"}}},
    {"lone CR ends a line", "a\rb\r", {{"a"}, {"b"}}},
    {"blank line holds no field", "a\r\n\r\nb\r\n", {{"a"}, {}, {"b"}}},
    {"quote inside a bare field is text", "ab\"c,d\r\n", {{"ab\"c", "d"}}},
};

TEST(CsvReader, SplitsLinesIntoFields) {
  for (const LineCase& c : kLines) {
    SCOPED_TRACE(c.name);
    CsvReader r(c.input);
    CsvRecord rec;
    std::vector<std::vector<std::string>> got;
    while (r.next(rec) == CsvReader::Result::Record) got.push_back(texts(rec));
    EXPECT_EQ(got, c.records);
    EXPECT_EQ(r.error(), "");
  }
}

TEST(CsvReader, MalformedRecordNamesItsLine) {
  struct Bad { const char* name; const char* input; int good; const char* error; };
  const Bad kBad[] = {
      {"character after a closing quote", "1,2\r\n\"a\"x,b\r\n", 1,
       "Line 2: unexpected character 'x' after a closing quote"},
      {"quote never closed", "a\r\nb\r\n\"open,\r\nmore\r\n", 2, "Line 3: a quoted field is not closed"},
      {"line counted past a multi-line field", "\"1\n2\n3\",x\n\"a\"b\n", 1,
       "Line 4: unexpected character 'b' after a closing quote"},
  };
  for (const Bad& c : kBad) {
    SCOPED_TRACE(c.name);
    CsvReader r(c.input);
    CsvRecord rec;
    int good = 0;
    CsvReader::Result res;
    while ((res = r.next(rec)) == CsvReader::Result::Record) ++good;
    EXPECT_EQ(res, CsvReader::Result::Malformed);
    EXPECT_EQ(good, c.good);
    EXPECT_EQ(r.error(), c.error);
    EXPECT_EQ(r.next(rec), CsvReader::Result::Malformed);  // stays there
  }
}

TEST(CsvReader, CountsBytesOfEachRecord) {
  CsvReader r("ab,c\r\n\"x\ny\"\n");
  CsvRecord rec;
  ASSERT_EQ(r.next(rec), CsvReader::Result::Record);
  EXPECT_EQ(rec.bytes, 6u);
  EXPECT_EQ(rec.line, 1);
  ASSERT_EQ(r.next(rec), CsvReader::Result::Record);
  EXPECT_EQ(rec.bytes, 6u);
  EXPECT_EQ(rec.line, 2);
  EXPECT_EQ(r.next(rec), CsvReader::Result::End);
}

// Everything a reader made of a text, record by record, then how it ended.
struct ReadOut {
  std::vector<std::vector<std::string>> records;
  std::vector<int> lines;
  std::vector<size_t> bytes;
  CsvReader::Result end = CsvReader::Result::End;
  std::string error;
  size_t offset = 0;
  bool operator==(const ReadOut&) const = default;
};

ReadOut readOut(CsvReader& r) {
  ReadOut out;
  CsvRecord rec;
  while ((out.end = r.next(rec)) == CsvReader::Result::Record) {
    out.records.push_back(texts(rec));
    out.lines.push_back(rec.line);
    out.bytes.push_back(rec.bytes);
  }
  out.error = r.error();
  out.offset = r.offset();
  return out;
}

std::string repeat(char c, size_t n) { return std::string(n, c); }

// A stream read a few bytes at a time reads exactly as the same text in memory: every record
// and line, and the same error for a record that breaks a rule or a limit, wherever the chunks
// end. Near the limits the reader looks no further than a record can reach.
TEST(CsvReader, StreamReadsAsTheTextInMemory) {
  std::vector<std::string> inputs;
  for (const LineCase& c : kLines) inputs.push_back(c.input);
  const std::string big = repeat('x', kCsvFieldMax);
  inputs.insert(inputs.end(), {
      "\xEF\xBB\xBF\"a\",b\r\n1,2\r\n",          // a byte order mark
      "1,2\r\n\"a\"x,b\r\n",                    // character after a closing quote
      "a\r\n\"open,\r\nmore\r\n",                // quote never closed
      "\"1\n2\n3\",x\n\"a\"b\n",                  // lines counted inside a field
      "a\r",                                     // CR at the very end
      "\"" + big + "\"\r\n",                       // the longest quoted field
      big + "y,1\r\n",                           // a bare field one byte too long
      "\"" + repeat('"', 2 * kCsvFieldMax) + "\"\r\n",  // doubled quotes over the limit
      // An open quote with more than a window after it: closed later or never.
      "\"" + repeat('z', kCsvRecordWindow) + "\"\r\nb\r\n",
      "\"" + repeat('z', kCsvRecordWindow) + "\r\nb\r\n",
      // Many fields, just inside and just past the length of a line.
      [&] { std::string s; for (int i = 0; i < 17; ++i) s += "\"" + repeat('w', 60000) + "\","; return s + "1\r\n2\r\n"; }(),
      // Blanks after a closing quote that run past a line's length.
      "\"a\"" + repeat(' ', kCsvRecordWindow) + ",b\r\n",
  });
  for (size_t n = 0; n < inputs.size(); ++n) {
    SCOPED_TRACE("input " + std::to_string(n));
    CsvReader whole(inputs[n]);
    const ReadOut want = readOut(whole);
    for (size_t chunk : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{4096}, kCsvChunk}) {
      if (inputs[n].size() > 200000 && chunk < 4096) continue;  // byte by byte takes too long
      SCOPED_TRACE("chunk " + std::to_string(chunk));
      std::istringstream in(inputs[n]);
      CsvReader stream(in, chunk);
      EXPECT_EQ(readOut(stream), want);
    }
  }
}

TEST(CsvReader, RecordsPastTheLimitsNameTheirLine) {
  const std::string big = repeat('z', kCsvRecordWindow);
  struct Case { std::string input; std::string error; };
  const Case kCases[] = {
      {"a\r\n\"" + big + "\"\r\n", "Line 2: a field is longer than 65536 bytes"},
      {"a\r\n\"" + big + "\r\n", "Line 2: a quoted field is not closed"},
      {"\"a\"" + repeat(' ', kCsvRecordWindow) + ",b\r\n", "Line 1: a line is longer than 1048576 bytes"},
      {"a," + repeat(' ', kCsvRecordWindow) + "\r\n", "Line 1: a line is longer than 1048576 bytes"},
  };
  for (const Case& c : kCases) {
    std::istringstream in(c.input);
    CsvReader r(in, 4096);
    const ReadOut out = readOut(r);
    EXPECT_EQ(out.end, CsvReader::Result::Malformed);
    EXPECT_EQ(out.error, c.error);
  }
}

// Text is checked as UTF-8 wherever the bad byte sits: after a long run of plain ASCII too.
TEST(CsvReader, TextMustBeUtf8Throughout) {
  struct Case { std::string field; bool good; };
  const Case kCases[] = {
      {"abcdefghijklmnop", true},
      {"abcdefghijklmnop\xC3\xA9 caf\xC3\xA9 \xF0\x9F\x98\x80", true},
      {"abcdefghijklmnop\xE9", false},              // Latin-1
      {"abcdefgh\xE9ijklmnop", false},
      {"abcdefghijklmnopq\xC3", false},             // a sequence cut at the end
      {"abcdefgh\xED\xA0\x80abcdefgh", false},      // a surrogate
      {"abcdefgh\xC0\xAFabcdefgh", false},          // an overlong form
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.field);
    const std::string line = "1,\"" + c.field + "\"\r\n";
    CsvReader r(line);
    CsvRecord rec;
    if (c.good) {
      ASSERT_EQ(r.next(rec), CsvReader::Result::Record);
      EXPECT_EQ(rec.fields[1].text, c.field);
    } else {
      EXPECT_EQ(r.next(rec), CsvReader::Result::Malformed);
      EXPECT_EQ(r.error(), "Line 1: field 2 is not UTF-8 text (save the file as UTF-8)");
    }
  }
}

// A stream that fails part-way is refused, not read as a file that ended there.
TEST(CsvReader, StreamThatFailsIsNotAShortFile) {
  struct FailingBuf : std::streambuf {
    std::string text = "1,2\r\n3,4\r\n";
    int_type underflow() override {
      if (gptr() == nullptr) {
        setg(text.data(), text.data(), text.data() + text.size());
        return traits_type::to_int_type(text[0]);
      }
      throw std::runtime_error("read error");  // the stream sets badbit
    }
  } buf;
  std::istream in(&buf);
  CsvReader r(in, 64);
  CsvRecord rec;
  EXPECT_EQ(r.next(rec), CsvReader::Result::Malformed);
  EXPECT_TRUE(r.inputFailed());
  EXPECT_EQ(r.error(), "The file could not be read.");
}

class CsvWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = rt::systemFormats();
    rt::setSystemFormats({"MM/dd/yyyy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"});
  }
  void TearDown() override { rt::setSystemFormats(saved_); }
  rt::SystemFormats saved_;
};

TEST_F(CsvWriterTest, WritesEachKindOfField) {
  files::TodoRec rec;
  rec.Priority = 7;
  rec.Category = "Home, \"garden\"";
  rec.CompletionDate = rt::DATE(3, 14, 2026);
  rec.CompletionTime = 0;
  rec.Notes = "line one\r\nline two   ";
  const rt::RecordDesc& d = files::Desc_TODO;
  struct Case { const char* field; const char* picture; const char* want; };
  const Case kCases[] = {
      {"TDO:Priority", "@n2", "7"},
      {"TDO:Priority", "@s5", "\"7\""},
      {"TDO:Category", "@s20", "\"Home, \"\"garden\"\"\""},
      {"TDO:Category", "@n3", "\"Home, \"\"garden\"\"\""},  // kept in one column
      {"TDO:CompletionDate", "@d17b", "\"03/14/2026\""},
      {"TDO:CompletionDate", "@d3", "\"MAR 14,2026\""},
      {"TDO:CompletionDate", "@n6", "82256"},
      {"TDO:CompletionTime", "@t7b", "\"\""},
      {"TDO:CompletionTime", "@t3", "\"\""},  // no time, not midnight
      {"TDO:Notes", "@s255", "\"line one\r\nline two\""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.picture);
    CsvLineWriter w;
    w.start();
    w.appendField(&rec, *d.find(c.field), c.picture);
    EXPECT_EQ(w.line(), c.want);
  }
  CsvLineWriter w;
  w.start();
  w.appendHeader("TDO:Priority");
  w.appendField(&rec, *d.find("TDO:Priority"), "@n2");
  w.appendField(&rec, *d.find("TDO:Done"), "@n1");
  EXPECT_EQ(w.line(), "\"TDO:Priority\",7,0");
}

TEST_F(CsvWriterTest, LongMemoIsWrittenWhole) {
  files::ScheduleRec rec;
  std::string message(4096, 'm');
  message[4095] = 'Z';
  rec.Message = message;
  CsvLineWriter w;
  w.start();
  w.appendField(&rec, *files::Desc_SCHEDULE.find("SCH:Message"), "@s255");
  EXPECT_EQ(w.line(), "\"" + message + "\"");
}

TEST_F(CsvWriterTest, StoresFieldsBack) {
  files::TodoRec rec;
  const rt::RecordDesc& d = files::Desc_TODO;
  struct Case { const char* field; const char* text; const char* picture; const char* target; double want; };
  const Case kCases[] = {
      {"TDO:CompletionDate", "03/14/2026", "@d17", "", 82256},
      {"TDO:CompletionDate", "", "@d17b", "", 0},
      {"TDO:CompletionDate", "03/14/2026", "@S1000", "@d17b", 82256},  // a date read as text
      {"TDO:CompletionDate", "82256", "@N30.9", "@d17b", 82256},
      {"TDO:CompletionTime", "17:30", "@S1000", "@t7b", 6300001},
      {"TDO:Priority", "12", "@N30.9", "@n2", 12},
      {"TDO:Priority", "abc", "@S1000", "@n2", 0},
      {"TDO:Priority", "3.9", "@N30.9", "@n2", 3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.field) + " <- " + c.text);
    const rt::FieldDesc& f = *d.find(c.field);
    rt::setFieldNumber(&rec, f, 99);
    storeField(&rec, f, c.text, c.picture, c.target);
    EXPECT_EQ(rt::fieldNumber(&rec, f), c.want);
  }
  storeField(&rec, *d.find("TDO:Category"), "a much longer category than twenty", "@S1000");
  EXPECT_EQ(rec.Category.str(), "a much longer catego");
}

}  // namespace
}  // namespace ov::impex
