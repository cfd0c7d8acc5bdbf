// Export and import runs against real tables in a temporary data folder.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/tests/data_folder.h"
#include "impex/export_run.h"
#include "impex/import_run.h"
#include "platform/files/detail/storage.h"
#include "platform/files/tests/process.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"

namespace ov::impex {
namespace {

using files::testing::DataFolder;
using files::testing::openOrCreate;
using Rows = std::vector<std::vector<std::string>>;

// Fixed short forms, as a desktop with a two-digit-year short date has them.
class ImpexRun : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = rt::systemFormats();
    rt::setSystemFormats({"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"});
    rt::setTestClock(rt::DATE(12, 10, 2026), 1);
  }
  void TearDown() override {
    rt::setSystemFormats(saved_);
    rt::clearTestClock();
  }
  rt::SystemFormats saved_;
};

// Every field of the record (listed or not), as text, in file order.
Rows rowsOf(const ImpexTable& t) {
  Rows rows;
  EXPECT_EQ(t.file->set(), rt::Err::None);
  while (t.file->next() == rt::Err::None) {
    std::vector<std::string> row;
    for (const rt::FieldDesc& f : t.file->record().fields) row.push_back(std::string(f.name) + "=" + rt::fieldText(t.buffer(), f));
    rows.push_back(row);
  }
  return rows;
}

std::string readAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<ExportField> allFields(const ImpexTable& t) {
  std::vector<ExportField> out;
  for (const ImpexField& f : t.fields) out.push_back({f.name, f.picture});
  return out;
}

bool exportAll(const ImpexTable& t, const std::string& path) {
  ExportRun run(t, allFields(t), true);
  if (!run.begin(path)) {
    ADD_FAILURE() << run.error();
    return false;
  }
  ExportRun::Step s;
  while ((s = run.step(25)) == ExportRun::Step::More) {
  }
  EXPECT_EQ(s, ExportRun::Step::Done) << run.error();
  EXPECT_EQ(run.done(), t.file->records());
  return run.finish();
}

// Imports `data` with the automatic assignment; returns the run's error ("" on success).
std::string importAuto(const ImpexTable& t, const std::string& data, int* assigned = nullptr) {
  CsvReader r(data);
  CsvRecord first, second;
  EXPECT_EQ(r.next(first), CsvReader::Result::Record);
  const bool hasSecond = r.next(second) == CsvReader::Result::Record;
  ImportLayout layout = ImportLayout::fromSample(t, first, hasSecond ? &second : nullptr);
  int n = layout.autoAssign(t);
  if (assigned) *assigned = n;
  // Through a file on disk, as the program reads one.
  const std::string path = (std::filesystem::current_path() / "import.csv").string();
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
  ImportRun run(t, CsvFile{path}, layout);
  if (!run.begin()) return run.error();
  ImportRun::Step s;
  while ((s = run.step(25)) == ImportRun::Step::More) {
  }
  if (s == ImportRun::Step::Failed) return run.error();
  return run.finish() ? "" : run.error();
}

// Round trip: records made by `fill`, exported, the data file removed, imported into an empty
// one; every field must come back, ids renumbered from 1 where the import numbers them.
void roundTrip(const ImpexTable& t, int count, const std::function<void(int)>& fill) {
  DataFolder dir;
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  for (int i = 0; i < count; ++i) {
    t.file->clear();
    fill(i);
    ASSERT_EQ(t.file->add(), rt::Err::None) << rt::ERROR();
  }
  // Stored in key order by the export, so compare with the rows in that order.
  Rows before;
  ASSERT_EQ(t.file->set(t.readKey), rt::Err::None);
  while (t.file->next() == rt::Err::None) {
    std::vector<std::string> row;
    for (const rt::FieldDesc& f : t.file->record().fields) row.push_back(std::string(f.name) + "=" + rt::fieldText(t.buffer(), f));
    before.push_back(row);
  }
  const std::string csv = (dir.root() / "out.csv").string();
  ASSERT_TRUE(exportAll(t, csv));
  ASSERT_EQ(t.file->close(), rt::Err::None);
  std::filesystem::remove(dir.data() / "RO97.ZEZ");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  ASSERT_EQ(t.file->records(), 0);

  int assigned = 0;
  EXPECT_EQ(importAuto(t, readAll(csv), &assigned), "");
  EXPECT_EQ(assigned, static_cast<int>(t.fields.size()));
  if (t.idField != nullptr) {  // the import numbers new records itself
    for (size_t i = 0; i < before.size(); ++i)
      for (std::string& cell : before[i])
        if (cell.rfind(std::string(t.idField->name) + "=", 0) == 0)
          cell = std::string(t.idField->name) + "=" + std::to_string(i + 1);
  }
  const Rows after = rowsOf(t);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i)  // cell by cell, so a failure shows the field
    for (size_t j = 0; j < after[i].size(); ++j) EXPECT_EQ(after[i][j], before[i][j]) << "record " << i;
  (void)t.file->close();
}

TEST_F(ImpexRun, TodoRoundTripKeepsEveryField) {
  roundTrip(*findImpexTable("TODO"), 60, [](int i) {
    files::TDO.Done = static_cast<uint8_t>(i % 2);
    files::TDO.Priority = static_cast<uint8_t>(1 + i % 10);
    files::TDO.Category = "Cat " + std::to_string(i % 3);
    files::TDO.ToDo = "Call \"Bob\", then write";
    files::TDO.CompletionDate = i % 4 == 0 ? 0 : rt::DATE(1 + i % 12, 1 + i % 28, 1990 + i % 30);
    files::TDO.CompletionTime = i % 5 == 0 ? 0 : (i % 24) * 360000 + (i % 60) * 6000 + 1;
    files::TDO.Notes = i == 7 ? std::string(4096, 'n') : "first line\r\nsecond, \"quoted\"\nthird";
    files::TDO.Resolution = i % 3 == 0 ? "" : "done";
  });
}

TEST_F(ImpexRun, HolidaysRoundTripKeepsDates) {
  roundTrip(*findImpexTable("HOLIDAYS"), 5, [](int i) {
    files::HOL.HolidayDate = rt::DATE(12, 25, 1850 + 40 * i);  // years beyond any two-digit window
    files::HOL.Holiday = "Day " + std::to_string(i);
    files::HOL.HolidayType = i % 2 ? "Bank" : "";
  });
}

TEST_F(ImpexRun, ContactRoundTripNumbersFromOne) {
  roundTrip(*findImpexTable("CONTACTS"), 30, [](int i) {
    files::C_.ClientID = 100 + i * 3;
    files::C_.LastName = "Name" + std::to_string(i);
    files::C_.FirstName = "A, B";
    files::C_.Company = "\"Quoted\" Co";
    files::C_.AddressLine1 = "1 Road";
    files::C_.AddressLine3 = "Town";
    files::C_.PostalCode = "12345";
    files::C_.WorkDayPhone = "555-0100";
    files::C_.Fax = "555-0199";
    files::C_.ContactCategory = "Work";
    files::C_.Email = "n@example.org";
    files::C_.WebSite = "https://example.org/";
    files::C_.DefaultContact = "E-mail";
    files::C_.Notes = std::string(1024, 'x').replace(10, 2, "\r\n");
  });
}

TEST_F(ImpexRun, ScheduleRoundTripKeepsAllListedFields) {
  const ImpexTable& t = *findImpexTable("SCHEDULE");
  roundTrip(t, 30, [&](int i) {
    // Every listed number field gets a value of its own; every text field a text with a comma.
    int k = 0;
    for (const ImpexField& f : t.fields) {
      ++k;
      const std::string pic = f.picture;
      if (pic[1] == 's') {
        std::string v = "v" + std::to_string(i) + "," + std::to_string(k);
        if (std::string(f.name) == "SCH:Message") v += "\r\nmore";
        rt::setFieldText(t.buffer(), *f.desc, v);
      } else if (pic[1] == 'n') {
        rt::setFieldNumber(t.buffer(), *f.desc, pic == "@n-2b" ? -(i % 5) : (i + k) % 7);
      } else if (pic[1] == 'd') {
        rt::setFieldNumber(t.buffer(), *f.desc, (i + k) % 3 == 0 && pic != "@d17" ? 0 : rt::DATE(1 + k % 12, 1 + i % 28, 2001 + k));
      } else {
        rt::setFieldNumber(t.buffer(), *f.desc, (i % 3 == 0 ? 0 : ((i + k) % 24) * 360000 + (k % 60) * 6000 + 1));
      }
    }
    files::SCH.ID = 500 + i;
    if (files::SCH.AdvanceWarnDate == 0) files::SCH.AdvanceWarnTime = 0;
  });
}

TEST_F(ImpexRun, MalformedFileNamesItsLineAndImportsNothing) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("TODO");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  const std::string head = "\"TDO:Category\",\"TDO:Priority\",\"TDO:ToDo\"\r\n\"Home\",5,\"Mow\"\r\n";
  auto repeated = [](size_t n, const std::string& field) {
    std::string fields;
    for (size_t i = 0; i < n; ++i) fields += "," + field;
    return fields;
  };
  struct Case {
    const char* name;
    std::string data;
    const char* error;
  };
  const Case kCases[] = {
      {"text after a closing quote", head + "\"Work\"x,1,\"b\"\r\n", "Line 3: unexpected character 'x' after a closing quote"},
      {"a last line cut inside a quote", head + "\"Work\",2,\"Call\"\r\n\"Wo", "Line 4: a quoted field is not closed"},
      {"a line cut short", head + "\"Work\",2\r\n\"Play\",3,\"Chess\"\r\n", "Line 3: 2 fields where the first line has 3"},
      {"a last line of one field", head + "\"Work\"", "Line 3: 1 field where the first line has 3"},
      {"a NUL byte", head + std::string("\"Wo\0rk\",1,\"x\"\r\n", 16), "Line 3: field 1 holds a NUL byte"},
      {"Latin-1, not UTF-8", head + "\"Caf\xE9\",1,\"x\"\r\n", "Line 3: field 1 is not UTF-8 text (save the file as UTF-8)"},
      {"a surrogate written as UTF-8", head + "\"\xED\xA0\x80\",1,\"x\"\r\n",
       "Line 3: field 1 is not UTF-8 text (save the file as UTF-8)"},
      {"a UTF-8 sequence cut at the end of the field", head + "\"ab\xC3\",1,\"x\"\r\n",
       "Line 3: field 1 is not UTF-8 text (save the file as UTF-8)"},
      {"a quoted field too long", head + "\"Work\",1,\"" + std::string(kCsvFieldMax + 1, 'a') + "\"\r\n",
       "Line 3: a field is longer than 65536 bytes"},
      {"a bare field too long", head + "\"Work\",1," + std::string(kCsvFieldMax + 1, '7') + "\r\n",
       "Line 3: a field is longer than 65536 bytes"},
      {"a line too long", head + "\"W\",1" + repeated(20, "\"" + std::string(60000, 'a') + "\"") + "\r\n",
       "Line 3: a line is longer than 1048576 bytes"},
      {"too many fields", head + "\"W\",1,\"x\"" + repeated(kCsvFieldsMax, "1") + "\r\n", "Line 3: more than 1000 fields"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(importAuto(t, c.data), std::string(c.error) + ".  Nothing was imported.");
    EXPECT_EQ(t.file->records(), 0);
  }
  // The same kind of file whole and in UTF-8, with the byte order mark some editors put first.
  EXPECT_EQ(importAuto(t, "\xEF\xBB\xBF" + head + "\"Caf\xC3\xA9 \xF0\x9F\x98\x80\",2,\"Call\"\r\n"), "");
  ASSERT_EQ(t.file->records(), 2);
  ASSERT_EQ(t.file->set(t.readKey), rt::Err::None);
  std::vector<std::string> categories;
  while (t.file->next() == rt::Err::None) categories.push_back(files::TDO.Category.str());
  std::sort(categories.begin(), categories.end());
  EXPECT_EQ(categories, (std::vector<std::string>{"Caf\xC3\xA9 \xF0\x9F\x98\x80", "Home"}));
}

// A full disk while the records go in: the message names the data file and says why, and the
// table is as it was.
TEST_F(ImpexRun, FullDiskNamesTheFileAndKeepsTheTable) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("TODO");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  ASSERT_EQ(t.file->close(), rt::Err::None);
  std::string data = "\"TDO:ToDo\",\"TDO:Notes\"\r\n";
  for (int i = 0; i < 400; ++i) data += "\"task " + std::to_string(i) + "\",\"" + std::string(500, 'n') + "\"\r\n";
  db::detail::setWriteBudget(20000);
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  const std::string err = importAuto(t, data);
  db::detail::setWriteBudget(-1);
  EXPECT_NE(err.find("Error #90"), std::string::npos) << err;
  EXPECT_NE(err.find("RO97.ZEZ: the disk is full"), std::string::npos) << err;
  EXPECT_NE(err.find("Nothing was imported"), std::string::npos) << err;
  EXPECT_EQ(t.file->records(), 0);
}

TEST_F(ImpexRun, DuplicateKeyStopsAndLeavesTheTableAsItWas) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("HOLIDAYS");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  files::HOL.HolidayDate = rt::DATE(7, 4, 2027);
  files::HOL.Holiday = "Old";
  ASSERT_EQ(t.file->add(), rt::Err::None);
  const std::string data =
      "\"HOL:HolidayDate\",\"HOL:Holiday\"\r\n\"JAN 1,2027\",\"A\"\r\n\"JAN 2,2027\",\"B\"\r\n\"JUL 4,2027\",\"C\"\r\n";
  const std::string err = importAuto(t, data);
  EXPECT_NE(err.find("Error #40"), std::string::npos) << err;
  EXPECT_NE(err.find("(line 4)"), std::string::npos) << err;
  EXPECT_EQ(t.file->records(), 1);
}

TEST_F(ImpexRun, ImportedContactsFollowTheHighestId) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("CONTACT");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  files::C_.ClientID = 41;
  files::C_.LastName = "Existing";
  ASSERT_EQ(t.file->add(), rt::Err::None);
  EXPECT_EQ(importAuto(t, "\"C_:LastName\"\r\n\"X\"\r\n\"Y\"\r\n"), "");
  Rows rows = rowsOf(t);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][0], "C_:ClientID=42");
  EXPECT_EQ(rows[2][0], "C_:ClientID=43");
}

// The last id is the highest a contact id holds, so every new id collides with it: after three
// tries the user is asked; Retry gives three more tries, Cancel fails the run with nothing stored.
TEST_F(ImpexRun, NumberingThatKeepsCollidingAsksBeforeGivingUp) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("CONTACT");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  files::C_.ClientID = 2147483647;
  files::C_.LastName = "Last";
  ASSERT_EQ(t.file->add(), rt::Err::None);
  const std::string data = "\"C_:LastName\"\r\n\"X\"\r\n";
  CsvReader r(data);
  CsvRecord first, second;
  ASSERT_EQ(r.next(first), CsvReader::Result::Record);
  ASSERT_EQ(r.next(second), CsvReader::Result::Record);
  ImportLayout layout = ImportLayout::fromSample(t, first, &second);
  ASSERT_EQ(layout.autoAssign(t), 1);

  std::vector<std::string> asked;
  ImportRun run(t, data, layout, [&](const std::string& text) {
    asked.push_back(text);
    return asked.size() < 2;  // Retry once, then Cancel
  });
  ASSERT_TRUE(run.begin()) << run.error();
  EXPECT_EQ(run.step(25), ImportRun::Step::Failed);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].rfind("Attempts to automatically number this record have failed.  Error: ", 0), 0u) << asked[0];
  EXPECT_EQ(asked[0].back(), '.');
  EXPECT_EQ(run.errorCaption(), "Cannot ADD to Contact!");
  EXPECT_NE(run.error().find("Error #40"), std::string::npos) << run.error();
  EXPECT_EQ(t.file->records(), 1);

  // Without anyone to ask, numbering gives up after its three tries.
  ImportRun unattended(t, data, layout);
  ASSERT_TRUE(unattended.begin());
  EXPECT_EQ(unattended.step(25), ImportRun::Step::Failed);
  EXPECT_EQ(t.file->records(), 1);
}

// Whether the storage at `path` has the index `name`: dropping it inside a transaction that is
// then rolled back succeeds only when it is there, and changes nothing.
bool hasIndex(const std::string& path, const std::string& name) {
  std::shared_ptr<db::detail::Storage> s = db::detail::Storage::find(path);
  if (!s || s->begin(1000) != rt::Err::None) return false;
  const bool present = s->exec("DROP INDEX \"" + name + "\"") == rt::Err::None;
  (void)s->end(false);
  return present;
}

// Whether the run builds the table's keys at the end (an import at least as large as the table)
// or keeps them record by record, and whether it runs to the end or is cancelled and kept, the
// stored records read back in every key's order, and an abandoned run leaves the keys as they were.
TEST_F(ImpexRun, ImportedTodosReadBackInKeyOrderHoweverTheKeysWereKept) {
  struct Case {
    const char* name;
    int existing;  // records in the table before the run
    int steps;     // steps of 2 records taken before finish() (-1: to the end)
    bool keep;
    int64_t deferLimit = kDeferredKeyRecords;
    bool keysBeforeFinish = false;  // the keys exist before finish()
  };
  const Case cases[] = {
      {"keys built at the end", 0, -1, true},
      {"cancelled, keys built for what was stored", 1, 2, true},
      {"keys kept record by record", 9, -1, true, kDeferredKeyRecords, true},
      {"abandoned after deferring", 0, 2, false},
      {"keys built part-way, the rest kept record by record", 1, -1, true, 3, true},
      {"abandoned after building the keys part-way", 0, 2, false, 3, true},
      {"limit reached by the last record: keys built at the end", 0, -1, true, 6},
  };
  const std::string data =
      "\"TDO:Category\",\"TDO:Priority\",\"TDO:ToDo\"\r\n\"work\",3,\"b\"\r\n\"Home\",1,\"c\"\r\n"
      "\"work\",2,\"a\"\r\n\"Away\",9,\"d\"\r\n\"home\",1,\"a\"\r\n\"Zoo\",5,\"e\"\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataFolder dir;
    const ImpexTable& t = *findImpexTable("TODO");
    ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
    for (int i = 0; i < c.existing; ++i) {
      t.file->clear();
      files::TDO.Category = "Mid";
      files::TDO.Priority = 4;
      files::TDO.ToDo = "old " + std::to_string(i);
      ASSERT_EQ(t.file->add(), rt::Err::None);
    }
    CsvReader r(data);
    CsvRecord first, second;
    ASSERT_EQ(r.next(first), CsvReader::Result::Record);
    ASSERT_EQ(r.next(second), CsvReader::Result::Record);
    ImportLayout layout = ImportLayout::fromSample(t, first, &second);
    ASSERT_EQ(layout.autoAssign(t), 3);
    {
      ImportRun run(t, data, layout);
      run.setDeferredKeyRecords(c.deferLimit);
      ASSERT_TRUE(run.begin()) << run.error();
      ImportRun::Step s = ImportRun::Step::More;
      for (int n = 0; s == ImportRun::Step::More && n != c.steps; ++n) s = run.step(2);
      ASSERT_NE(s, ImportRun::Step::Failed) << run.error();
      EXPECT_EQ(hasIndex(t.file->path(), "ix_ToDo_KeyToDo"), c.keysBeforeFinish);
      if (c.keep) {
        ASSERT_TRUE(run.finish()) << run.error();
      }
    }  // a run not finished is abandoned
    for (const char* key : {"KeyDone", "KeyPriority", "KeyToDo", "KeyCategory"})
      EXPECT_TRUE(hasIndex(t.file->path(), std::string("ix_ToDo_") + key)) << key;
    const int added = !c.keep ? 0 : c.steps < 0 ? 6 : 2 * c.steps;
    EXPECT_EQ(t.file->records(), c.existing + added);
    // Expected orders: every stored record as "category/priority/to-do", sorted as each key sorts.
    std::vector<std::array<std::string, 3>> recs;
    for (int i = 0; i < c.existing; ++i) recs.push_back({"MID", "4", "OLD " + std::to_string(i)});
    const std::array<std::string, 3> imported[] = {{"WORK", "3", "B"}, {"HOME", "1", "C"}, {"WORK", "2", "A"},
                                                   {"AWAY", "9", "D"}, {"HOME", "1", "A"}, {"ZOO", "5", "E"}};
    for (int i = 0; i < added; ++i) recs.push_back(imported[i]);
    auto readBy = [&](db::Key key) {
      std::vector<std::string> out;
      EXPECT_EQ(t.file->set(key), rt::Err::None);
      while (t.file->next() == rt::Err::None)
        out.push_back(rt::UPPER(files::TDO.Category.str()) + "/" + std::to_string(files::TDO.Priority) + "/" +
                      rt::UPPER(files::TDO.ToDo.str()));
      return out;
    };
    auto sortedBy = [&](std::vector<int> order) {  // stable: ties stay in file order, as keys keep them
      std::vector<std::array<std::string, 3>> v = recs;
      std::stable_sort(v.begin(), v.end(), [&](const auto& a, const auto& b) {
        for (int part : order)
          if (a[part] != b[part]) return part == 1 ? std::stoi(a[part]) < std::stoi(b[part]) : a[part] < b[part];
        return false;
      });
      std::vector<std::string> out;
      for (const auto& r : v) out.push_back(r[0] + "/" + r[1] + "/" + r[2]);
      return out;
    };
    EXPECT_EQ(readBy(files::TDO_KeyCategory), sortedBy({0, 1, 2}));
    EXPECT_EQ(readBy(files::TDO_KeyPriority), sortedBy({1, 2}));
    EXPECT_EQ(readBy(files::TDO_KeyToDo), sortedBy({2}));
    (void)t.file->close();
  }
}

// Another program reading the table while a large import runs (its keys dropped, then built
// part-way) sees the records and keys as they were, until the run is kept.
TEST_F(ImpexRun, AnotherProgramSeesTheOldRecordsUntilTheImportIsKept) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("TODO");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  for (const char* old : {"old b", "old a"}) {
    t.file->clear();
    files::TDO.ToDo = old;
    ASSERT_EQ(t.file->add(), rt::Err::None);
  }
  ASSERT_EQ(t.file->close(), rt::Err::None);  // the reader starts with no storage of ours
  // On each word the reader answers with the to-dos it reads in the order of the to-do key,
  // as one letter a record ('.' when the count of records disagrees).
  db::testing::Child reader([](db::testing::Child& c) {
    if (files::TODO.open() != rt::Err::None) return 1;
    while (c.await() == '?') {
      std::string seen;
      if (files::TODO.set(files::TDO_KeyToDo) != rt::Err::None) return 2;
      while (files::TODO.next() == rt::Err::None) seen += files::TDO.ToDo.str().back();
      if (static_cast<int64_t>(seen.size()) != files::TODO.records()) seen = ".";
      for (char ch : seen) c.tell(ch);
      c.tell('|');
    }
    return 0;
  });
  ASSERT_TRUE(reader.started());
  auto ask = [&] {
    reader.answer('?');
    std::string got;
    for (char ch; (ch = reader.awaitChild()) != '|' && ch != 0;) got += ch;
    return got;
  };
  ASSERT_EQ(t.file->open(), rt::Err::None);
  const std::string data =
      "\"TDO:ToDo\",\"TDO:Priority\"\r\n\"new f\",1\r\n\"new e\",1\r\n\"new d\",1\r\n\"new c\",1\r\n";
  CsvReader r(data);
  CsvRecord first, second;
  ASSERT_EQ(r.next(first), CsvReader::Result::Record);
  ASSERT_EQ(r.next(second), CsvReader::Result::Record);
  ImportLayout layout = ImportLayout::fromSample(t, first, &second);
  ASSERT_EQ(layout.autoAssign(t), 2);
  ImportRun run(t, data, layout);
  run.setDeferredKeyRecords(4);
  ASSERT_TRUE(run.begin()) << run.error();
  EXPECT_EQ(run.step(1), ImportRun::Step::More);  // keys dropped, one record stored
  EXPECT_EQ(ask(), "ab");
  EXPECT_EQ(run.step(2), ImportRun::Step::More);  // keys built at four records, one more kept up
  EXPECT_EQ(ask(), "ab");
  EXPECT_EQ(run.step(2), ImportRun::Step::Done);
  ASSERT_TRUE(run.finish()) << run.error();
  EXPECT_EQ(ask(), "cdefab");
  reader.answer('q');
  EXPECT_EQ(reader.wait(), 0);
}

TEST_F(ImpexRun, BlankLineDoesNotEndTheImport) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("TODO");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  EXPECT_EQ(importAuto(t, "\"TDO:ToDo\"\r\n\"a\"\r\n\r\n\"b\"\r\n"), "");
  EXPECT_EQ(t.file->records(), 2);
}

// The file is read twice, checked whole and then stored: a file changed in between stores
// nothing, whether it grew, shrank or went bad.
TEST_F(ImpexRun, FileChangedWhileImportedStoresNothing) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("TODO");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  const std::string path = (std::filesystem::current_path() / "changing.csv").string();
  const std::string head = "\"TDO:ToDo\",\"TDO:Priority\"\r\n";
  std::string lines;
  for (int i = 0; i < 10; ++i) lines += "\"item " + std::to_string(i) + "\"," + std::to_string(i) + "\r\n";
  struct Case { const char* name; std::string after; int steps; std::string error; };
  const Case kCases[] = {
      {"a line added", head + lines + "\"more\",1\r\n", 100, "The file changed while it was imported"},
      {"lines taken away", head + lines.substr(0, lines.size() / 2), 100, "The file changed while it was imported"},
      {"a line spoilt before it is stored", head + "\"x\"y,1\r\n" + lines, 1,
       "Line 2: unexpected character 'y' after a closing quote"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << head << lines;
    std::ifstream sample(path, std::ios::binary);
    CsvReader r(sample);
    CsvRecord first, second;
    ASSERT_EQ(r.next(first), CsvReader::Result::Record);
    ASSERT_EQ(r.next(second), CsvReader::Result::Record);
    ImportLayout layout = ImportLayout::fromSample(t, first, &second);
    ASSERT_EQ(layout.autoAssign(t), 2);
    ImportRun run(t, CsvFile{path}, layout);
    ASSERT_TRUE(run.begin()) << run.error();
    EXPECT_EQ(run.total(), 10);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.after;
    ImportRun::Step s = ImportRun::Step::More;
    while (s == ImportRun::Step::More) s = run.step(c.steps);
    const bool kept = s == ImportRun::Step::Done && run.finish();
    EXPECT_FALSE(kept);
    EXPECT_EQ(run.error(), c.error + ".  Nothing was imported.");
    EXPECT_EQ(t.file->records(), 0);
  }
  // A file that is gone when the run starts.
  std::filesystem::remove(path);
  ImportRun gone(t, CsvFile{path}, ImportLayout{});
  EXPECT_FALSE(gone.begin());
  EXPECT_EQ(gone.errorCaption(), "Cannot OPEN " + path);
}

TEST_F(ImpexRun, FailedExportLeavesTheOldFile) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("TODO");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  ExportRun bad(t, allFields(t), true);
  EXPECT_FALSE(bad.begin((dir.root() / "no-such-folder" / "x.csv").string()));
  EXPECT_EQ(bad.error().rfind("Cannot CREATE ", 0), 0u) << bad.error();

  // A path longer than 80 characters works.
  const std::filesystem::path deep = dir.root() / std::string(60, 'd') / std::string(60, 'e');
  std::filesystem::create_directories(deep);
  const std::string path = (deep / "todo.csv").string();
  { std::ofstream(path) << "old"; }
  {
    ExportRun run(t, allFields(t), true);
    ASSERT_TRUE(run.begin(path));
    run.abandon();  // as after a failed write
  }
  EXPECT_EQ(readAll(path), "old");
  ASSERT_TRUE(exportAll(t, path));
  EXPECT_EQ(readAll(path).rfind("\"TDO:Notes\",\"TDO:Resolution\",\"TDO:Done\"", 0), 0u);
}

// A write that fails (here the file size limit, as a full disk would) stops the run with the
// path and the system's error; Retry writes the same lines again at the same place and the run
// goes on to a whole file; giving up leaves the old file as it was.
TEST_F(ImpexRun, FailedExportWriteIsRetriedOrLeavesTheOldFile) {
  DataFolder dir;
  const ImpexTable& t = *findImpexTable("TODO");
  ASSERT_EQ(openOrCreate(*t.file), rt::Err::None);
  for (int i = 0; i < 300; ++i) {
    t.file->clear();
    files::TDO.ToDo = "task " + std::to_string(i);
    files::TDO.Notes = std::string(400, 'n');
    ASSERT_EQ(t.file->add(), rt::Err::None);
  }
  const std::string whole = (dir.root() / "whole.csv").string(), path = (dir.root() / "todo.csv").string();
  ASSERT_TRUE(exportAll(t, whole));
  ASSERT_GT(readAll(whole).size(), 100000u);

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto limitFiles = [&](rlim_t bytes) {
    struct rlimit l = saved;
    l.rlim_cur = bytes;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &l), 0);
  };
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  for (const bool retry : {true, false}) {
    SCOPED_TRACE(retry ? "retried" : "given up");
    { std::ofstream(path) << "old"; }
    ExportRun run(t, allFields(t), true);
    ASSERT_TRUE(run.begin(path));
    limitFiles(32 * 1024);
    ExportRun::Step s;
    while ((s = run.step(25)) == ExportRun::Step::More) {
    }
    limitFiles(saved.rlim_cur);
    ASSERT_EQ(s, ExportRun::Step::Failed);
    EXPECT_TRUE(run.writeFailed());
    EXPECT_FALSE(run.readFailed());
    EXPECT_EQ(run.error().rfind("Cannot ADD to " + path + ": Error #" + std::to_string(EFBIG) + " - ", 0), 0u) << run.error();
    if (retry) {
      ASSERT_TRUE(run.retryWrite()) << run.error();
      while ((s = run.step(25)) == ExportRun::Step::More) {
      }
      EXPECT_EQ(s, ExportRun::Step::Done);
      ASSERT_TRUE(run.finish()) << run.error();
      EXPECT_EQ(readAll(path), readAll(whole));
    } else {
      run.abandon();
      EXPECT_EQ(readAll(path), "old");
      EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    }
  }
  std::signal(SIGXFSZ, oldHandler);
}

}  // namespace
}  // namespace ov::impex
