// The drivers over plain files: fixed lines (ASCII), comma-delimited values (BASIC) and
// fixed binary records (DOS), read in file order both ways and written in place or appended.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/files/file.h"
#include "platform/files/tests/fixture.h"

namespace ov::db {
namespace {

using rt::Err;
using rt::FieldType;
using rt::String;
using testing::TempDir;

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

template <typename Rec>
FileDecl textDecl(Rec& rec, const rt::RecordDesc& desc, Driver driver, std::string name) {
  FileDecl d;
  d.label = "TEXT";
  d.prefix = desc.prefix;
  d.name = "TEXT";
  d.nameFrom = [name] { return name; };
  d.driver = driver;
  d.record = &desc;
  d.buffer = &rec;
  d.bufferSize = sizeof rec;
  d.errorLabel = "Text";
  return d;
}

// A line of the event log: date, time, label and text side by side (182 bytes).
struct LogLine {
  String<12> date;
  String<10> time;
  String<32> label;
  String<128> text;
};
const rt::FieldDesc kLogFields[] = {
    {"LOG:Date", FieldType::String, 12, 0, offsetof(LogLine, date)},
    {"LOG:Time", FieldType::String, 10, 12, offsetof(LogLine, time)},
    {"LOG:Label", FieldType::String, 32, 22, offsetof(LogLine, label)},
    {"LOG:Text", FieldType::String, 128, 54, offsetof(LogLine, text)},
};
const rt::RecordDesc kLogRecord{"LOG", kLogFields, 182};

TEST(TextDrivers, AsciiLinesHoldTheFieldsSideBySideWithoutTrailingBlanks) {
  TempDir dir;
  LogLine l;
  File log(textDecl(l, kLogRecord, Driver::Ascii, dir / "OV_EVENT.LOG"));
  EXPECT_EQ(log.open(), Err::NoFile);
  ASSERT_EQ(log.create(), Err::None);
  ASSERT_EQ(log.open(), Err::None);
  auto add = [&](const char* d, const char* t, const char* label, const char* text) {
    l.date = d;
    l.time = t;
    l.label = label;
    l.text = text;
    return log.add();
  };
  ASSERT_EQ(add("01/02/2024", "10:00", "Start", "Program started"), Err::None);
  ASSERT_EQ(add("01/02/2024", "10:05", "Message", "Backup"), Err::None);
  std::string first = "01/02/2024  10:00     Start" + std::string(27, ' ') + "Program started\n";
  std::string second = "01/02/2024  10:05     Message" + std::string(25, ' ') + "Backup\n";
  EXPECT_EQ(readAll(dir / "OV_EVENT.LOG"), first + second);
  EXPECT_EQ(log.records(), 2);

  ASSERT_EQ(log.set(), Err::None);
  ASSERT_EQ(log.previous(), Err::None);
  EXPECT_EQ(l.label.str(), "Message");
  EXPECT_EQ(l.text.view().size(), 128u);
  ASSERT_EQ(log.previous(), Err::None);
  EXPECT_EQ(l.text.str(), "Program started");
  int64_t start = log.position();
  EXPECT_EQ(log.previous(), Err::NotAvailable);
  ASSERT_EQ(log.getPosition(start), Err::None);
  l.text = "Program started again";  // longer: the file is written anew
  ASSERT_EQ(log.put(), Err::None);
  ASSERT_EQ(log.set(), Err::None);
  std::vector<std::string> texts;
  while (log.next() == Err::None) texts.push_back(l.text.str());
  EXPECT_EQ(texts, (std::vector<std::string>{"Program started again", "Backup"}));
  EXPECT_EQ(log.deleteRecord(), Err::NotAvailable);
  ASSERT_EQ(log.close(), Err::None);
  ASSERT_EQ(log.removeFile(), Err::None);
  EXPECT_EQ(log.open(), Err::NoFile);
}

TEST(TextDrivers, AsciiReadsLinesOfOtherLengthsAndWindowsLineEnds) {
  TempDir dir;
  LogLine l;
  writeAll(dir / "KEYS.TXT", "short\r\n\r\n" + std::string(200, 'x') + "\nlast without end");
  File f(textDecl(l, kLogRecord, Driver::Ascii, dir / "KEYS.TXT"));
  ASSERT_EQ(f.open(kReadOnly | kDenyNone), Err::None);
  std::vector<std::string> dates;
  while (f.next() == Err::None) dates.push_back(l.date.str() + "|" + l.text.str().substr(0, 3));
  EXPECT_EQ(dates, (std::vector<std::string>{"short|", "|", "xxxxxxxxxxxx|xxx", "last without|"}));
  EXPECT_EQ(f.records(), 4);
  EXPECT_EQ(f.add(), Err::NoAccess) << "opened for reading";
}

// One line of the exchange file: a type, two texts and a number.
struct Exchange {
  String<10> type;
  String<20> field1;
  int32_t count = 0;
  String<20> field2;
};
const rt::FieldDesc kExchangeFields[] = {
    {"EXP:Type", FieldType::String, 10, 0, offsetof(Exchange, type)},
    {"EXP:Field1", FieldType::String, 20, 10, offsetof(Exchange, field1)},
    {"EXP:Count", FieldType::Long, 4, 30, offsetof(Exchange, count)},
    {"EXP:Field2", FieldType::String, 20, 34, offsetof(Exchange, field2)},
};
const rt::RecordDesc kExchangeRecord{"EXP", kExchangeFields, 54};

TEST(TextDrivers, BasicQuotesTextsAndReadsShortAndUnquotedLines) {
  TempDir dir;
  Exchange e;
  File f(textDecl(e, kExchangeRecord, Driver::Basic, dir / "Export.txt"));
  ASSERT_EQ(f.create(), Err::None);
  ASSERT_EQ(f.open(kWriteOnly | kDenyAll), Err::None);
  File other(textDecl(e, kExchangeRecord, Driver::Basic, dir / "Export.txt"));
  EXPECT_EQ(other.open(), Err::NoAccess) << "others are denied";
  e.type = "He said \"hi\"";  // cut at 10 bytes: He said "h
  e.field1 = "a,b";
  e.count = -42;
  e.field2 = "";
  ASSERT_EQ(f.add(), Err::None);
  EXPECT_EQ(f.next(), Err::NoAccess) << "opened for writing";
  ASSERT_EQ(f.close(), Err::None);
  EXPECT_EQ(readAll(dir / "Export.txt"), "\"He said \"\"h\",\"a,b\",-42,\"\"\n");

  writeAll(dir / "In.csv", "\"x\",\"y, z\",7\n plain , text ,3,\"q\"\"\"\n\"only\"\n");
  File in(textDecl(e, kExchangeRecord, Driver::Basic, dir / "In.csv"));
  ASSERT_EQ(in.open(kReadOnly | kDenyWrite), Err::None);
  struct Want {
    const char* type;
    const char* f1;
    int count;
    const char* f2;
  };
  for (Want w : {Want{"x", "y, z", 7, ""}, Want{"plain", "text", 3, "q\""}, Want{"only", "", 0, ""}}) {
    SCOPED_TRACE(w.type);
    ASSERT_EQ(in.next(), Err::None);
    EXPECT_EQ(e.type.str(), w.type);
    EXPECT_EQ(e.field1.str(), w.f1);
    EXPECT_EQ(e.count, w.count);
    EXPECT_EQ(e.field2.str(), w.f2);
  }
  EXPECT_EQ(in.next(), Err::NotAvailable);
  EXPECT_EQ(in.records(), 3);
}

// A fixed binary record: a number, a text and a flag (9 bytes).
struct Block {
  int32_t n = 0;
  String<4> s;
  uint8_t b = 0;
};
const rt::FieldDesc kBlockFields[] = {
    {"BLK:N", FieldType::Long, 4, 0, offsetof(Block, n)},
    {"BLK:S", FieldType::String, 4, 4, offsetof(Block, s)},
    {"BLK:B", FieldType::Byte, 1, 8, offsetof(Block, b)},
};
const rt::RecordDesc kBlockRecord{"BLK", kBlockFields, 9};

TEST(TextDrivers, DosRecordsKeepTheDeclaredLayoutInBinary) {
  TempDir dir;
  Block k;
  File f(textDecl(k, kBlockRecord, Driver::Dos, dir / "BLOCKS.DAT"));
  ASSERT_EQ(f.create(), Err::None);
  ASSERT_EQ(f.open(), Err::None);
  k.n = 258;
  k.s = "ab";
  k.b = 7;
  ASSERT_EQ(f.add(), Err::None);
  k.n = -1;
  k.s = "wxyz";
  k.b = 255;
  ASSERT_EQ(f.add(), Err::None);
  EXPECT_EQ(readAll(dir / "BLOCKS.DAT"), std::string("\x02\x01\x00\x00" "ab  " "\x07" "\xFF\xFF\xFF\xFF" "wxyz" "\xFF", 18));
  EXPECT_EQ(f.records(), 2);
  ASSERT_EQ(f.getPosition(10), Err::None);  // the second record starts at byte 9
  EXPECT_EQ(k.n, -1);
  EXPECT_EQ(k.s.str(), "wxyz");
  k.n = 5;
  ASSERT_EQ(f.put(), Err::None);
  ASSERT_EQ(f.set(), Err::None);
  std::vector<int> ns;
  while (f.next() == Err::None) ns.push_back(k.n);
  EXPECT_EQ(ns, (std::vector<int>{258, 5}));
  EXPECT_EQ(readAll(dir / "BLOCKS.DAT").size(), 18u);
}

}  // namespace
}  // namespace ov::db
