// The file statements over SQLCipher tables: open and create, reading in key and file order,
// writing, and the error codes each leaves behind.
#include "platform/files/file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/files/detail/storage.h"
#include "platform/files/tests/fixture.h"
#include "platform/files/tests/process.h"

namespace ov::db {
namespace {

using rt::Err;
using testing::Person;
using testing::TempDir;
using testing::personDecl;
using testing::setPerson;

TEST(File, CreatesTablesOfOneStorageAndKeepsRecordsAcrossReopen) {
  TempDir dir;
  Person a, b;
  File people(personDecl(a, dir / "RO97.ZEZ\\!People"));
  File others(personDecl(b, dir / "RO97.ZEZ\\!Others", "secret-01", "OTHERS"));
  EXPECT_EQ(people.open(), Err::NoFile);
  EXPECT_EQ(rt::ERRORCODE(), 2);
  ASSERT_EQ(people.create(), Err::None);
  ASSERT_EQ(others.create(), Err::None);
  ASSERT_EQ(people.open(), Err::None);
  ASSERT_EQ(others.open(), Err::None);
  EXPECT_EQ(people.open(), Err::AlreadyOpen);
  EXPECT_EQ(rt::ERRORCODE(), 52);
  EXPECT_EQ(people.path(), others.path());

  setPerson(a, 1, "Ann", "Oslo");
  ASSERT_EQ(people.add(), Err::None);
  setPerson(a, 2, "Bob", "Rome");
  ASSERT_EQ(people.add(), Err::None);
  setPerson(b, 7, "Zed", "Kyiv");
  ASSERT_EQ(others.add(), Err::None);
  EXPECT_EQ(people.records(), 2);
  EXPECT_EQ(others.records(), 1);
  ASSERT_EQ(people.close(), Err::None);
  EXPECT_EQ(people.records(), -1);
  EXPECT_EQ(rt::ERRORCODE(), 37);

  ASSERT_EQ(people.open(), Err::None);
  a.id = 2;
  ASSERT_EQ(people.get(people.key("PER:KeyID")), Err::None);
  EXPECT_EQ(a.name.str(), "Bob");
  EXPECT_EQ(a.city.view(), "Rome        ");  // padded on read
  a.id = 3;
  EXPECT_EQ(people.get(people.key("KeyID")), Err::NotFound);
  EXPECT_EQ(rt::ERRORCODE(), 35);
  EXPECT_EQ(rt::ERROR(), "Record Not Found");
}

TEST(File, StatementsOnAClosedFileReportFileNotOpen) {
  TempDir dir;
  Person p;
  File f(personDecl(p, dir / "DATA"));
  ASSERT_EQ(f.create(), Err::None);
  for (Err err : {f.next(), f.previous(), f.add(), f.put(), f.deleteRecord(), f.get(f.key(0)), f.set(), f.close()})
    EXPECT_EQ(err, Err::NotOpen);
}

// A person file in a fresh folder, open, with the given people added in this order.
struct PeopleFile {
  struct Entry {
    int id;
    const char* name;
    const char* city;
    int flag = 0;
    int date = 0;
  };
  explicit PeopleFile(std::initializer_list<Entry> people, std::string password = "secret-01")
      : file(personDecl(rec, dir / "RO97.ZEZ\\!People", password)) {
    EXPECT_EQ(file.create(), Err::None);
    EXPECT_EQ(file.open(), Err::None);
    for (const Entry& e : people) {
      setPerson(rec, e.id, e.name, e.city, e.flag, e.date);
      EXPECT_EQ(file.add(), Err::None) << e.name;
    }
  }
  // Ids read by repeating `step` until it fails, and the error that ended it.
  template <typename Step>
  std::vector<int> read(Step step, Err* end = nullptr) {
    std::vector<int> ids;
    Err err;
    while ((err = step()) == Err::None) ids.push_back(rec.id);
    if (end) *end = err;
    return ids;
  }
  std::vector<int> forward() {
    return read([&] { return file.next(); });
  }
  std::vector<int> backward() {
    return read([&] { return file.previous(); });
  }

  TempDir dir;
  Person rec;
  File file;
};

using Ids = std::vector<int>;

TEST(File, KeyOrderIgnoresCaseAndTrailingBlanksAndKeepsDuplicatesInFileOrder) {
  PeopleFile f({{1, "bob", "Oslo"}, {2, "Alice", "Rome"}, {3, "alice ", "Oslo"}, {4, "\xC3\x89mile", "Kyiv"},
                {5, "carl", "Rome"}, {6, "ALICE", "Kyiv"}});
  ASSERT_EQ(f.file.set(f.file.key("PER:KeyName")), Err::None);
  Err end;
  EXPECT_EQ(f.read([&] { return f.file.next(); }, &end), (Ids{2, 3, 6, 1, 5, 4}));
  EXPECT_EQ(end, Err::NotAvailable);
  EXPECT_EQ(rt::ERRORCODE(), 33);
  ASSERT_EQ(f.file.set(f.file.key("PER:KeyName")), Err::None);
  EXPECT_EQ(f.backward(), (Ids{4, 5, 1, 6, 3, 2}));
  ASSERT_EQ(f.file.set(), Err::None);
  EXPECT_EQ(f.forward(), (Ids{1, 2, 3, 4, 5, 6}));
}

TEST(File, CursorTurnsAroundInsideDuplicates) {
  PeopleFile f({{1, "Ann", "Oslo"}, {2, "Ann", "Oslo"}, {3, "Ann", "Oslo"}, {4, "Ann", "Oslo"}, {5, "Bea", "Oslo"}});
  ASSERT_EQ(f.file.set(f.file.key("PER:KeyCity")), Err::None);
  ASSERT_EQ(f.file.next(), Err::None);
  ASSERT_EQ(f.file.next(), Err::None);
  ASSERT_EQ(f.file.next(), Err::None);
  EXPECT_EQ(f.rec.id, 3);
  EXPECT_EQ(f.backward(), (Ids{2, 1}));
  EXPECT_EQ(f.forward(), (Ids{1, 2, 3, 4, 5}));  // past the start, NEXT begins again at the first
  EXPECT_EQ(f.backward(), (Ids{5, 4, 3, 2, 1}));  // past the end, PREVIOUS begins at the last
}

TEST(File, SetFromKeyValuesStartsAtOrAfterThemForwardAndAtOrBeforeThemBackward) {
  PeopleFile f({{1, "Ann", "Oslo"}, {2, "Cid", "Oslo"}, {3, "Bea", "Oslo"}, {4, "Bea", "Oslo"}, {5, "Abe", "Rome"}});
  struct Case {
    const char* name;
    const char* city;
    const char* person;
    Ids forward, backward;
  };
  const Case cases[] = {
      {"exact duplicates: the first of them forward, the last backward", "oslo", "bea", {3, 4, 2, 5}, {4, 3, 1}},
      {"between two values", "Oslo", "Bz", {2, 5}, {4, 3, 1}},
      {"before everything", "", "", {1, 3, 4, 2, 5}, {}},
      {"after everything", "Zurich", "", {}, {5, 2, 4, 3, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.rec.city = c.city;
    f.rec.name = c.person;
    ASSERT_EQ(f.file.setFrom(f.file.key("PER:KeyCity")), Err::None);
    EXPECT_EQ(f.forward(), c.forward);
    f.rec.city = c.city;
    f.rec.name = c.person;
    ASSERT_EQ(f.file.setFrom(f.file.key("PER:KeyCity")), Err::None);
    EXPECT_EQ(f.backward(), c.backward);
  }
}

TEST(File, ClearToLowestOrHighestValuesReachesEitherEndOfAKey) {
  PeopleFile f({{1, "Ann", "Oslo", 1, 100}, {2, "Bea", "Rome", 0, 300}, {3, "Cid", "Kyiv", 0, 200}});
  f.file.clear(-1);
  ASSERT_EQ(f.file.setFrom(f.file.key("PER:KeyFlagDate")), Err::None);
  EXPECT_EQ(f.forward(), (Ids{3, 2, 1}));
  f.file.clear(1);
  ASSERT_EQ(f.file.setFrom(f.file.key("PER:KeyFlagDate")), Err::None);
  EXPECT_EQ(f.backward(), (Ids{1, 2, 3}));
}

TEST(File, WritesDuringATraversalAreSeenAndDeletingGoesOnAfterTheDeletedRecord) {
  PeopleFile f({{1, "A", "X"}, {2, "B", "X"}, {3, "C", "X"}, {4, "D", "X"}});
  ASSERT_EQ(f.file.set(f.file.key("PER:KeyName")), Err::None);
  ASSERT_EQ(f.file.next(), Err::None);
  ASSERT_EQ(f.file.next(), Err::None);  // B, with C and D read ahead
  ASSERT_EQ(f.file.deleteRecord(), Err::None);
  EXPECT_EQ(f.file.put(), Err::NotAvailable);  // no current record after DELETE
  Person keep = f.rec;
  setPerson(f.rec, 9, "BB", "X");
  ASSERT_EQ(f.file.add(), Err::None);  // sorts right after the deleted B
  f.rec = keep;
  EXPECT_EQ(f.forward(), (Ids{9, 3, 4}));
  EXPECT_EQ(f.file.records(), 4);
}

// A loop that writes each record it reads, in key order, meets every record once; a write
// through another File of the table meanwhile is seen when its record comes.
TEST(File, PutsDuringATraversalMeetEachRecordOnceAndSeeOtherWrites) {
  PeopleFile f({});
  for (int i = 1; i <= 40; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "N%02d", 41 - i);  // key order runs against file order
    setPerson(f.rec, i, name, "X");
    ASSERT_EQ(f.file.add(), Err::None);
  }
  Person o;
  File other(personDecl(o, f.dir / "RO97.ZEZ\\!People"));
  ASSERT_EQ(other.open(), Err::None);
  ASSERT_EQ(f.file.set(f.file.key("PER:KeyName")), Err::None);
  Ids seen;
  std::string cityOf25;
  while (f.file.next() == Err::None) {
    seen.push_back(f.rec.id);
    if (f.rec.id == 25) cityOf25 = f.rec.city.str();
    if (f.rec.id == 30) {  // N11, with N12 (id 29) to N21 (id 20) read ahead by now
      o.id = 25;
      ASSERT_EQ(other.get(other.key("PER:KeyID")), Err::None);
      o.city = "Y";
      ASSERT_EQ(other.put(), Err::None);
    }
    f.rec.flag = 1;
    ASSERT_EQ(f.file.put(), Err::None);
  }
  Ids want;
  for (int i = 40; i >= 1; --i) want.push_back(i);
  EXPECT_EQ(seen, want);
  EXPECT_EQ(cityOf25, "Y");
  ASSERT_EQ(f.file.set(f.file.key("PER:KeyFlagDate")), Err::None);
  ASSERT_EQ(f.file.next(), Err::None);
  EXPECT_EQ(f.rec.flag, 1) << "every record was written";
}

TEST(File, UniqueKeysRefuseDuplicatesWithCode40AndTheStoredRecordStays) {
  PeopleFile f({{1, "Ann", "Oslo"}, {2, "Bea", "Rome"}});
  setPerson(f.rec, 1, "Other", "Kyiv");
  EXPECT_EQ(f.file.add(), Err::DupKey);
  EXPECT_EQ(rt::ERRORCODE(), 40);
  EXPECT_NE(rt::FILEERROR().find("PER:KeyID"), std::string::npos) << rt::FILEERROR();
  f.rec.id = 2;
  ASSERT_EQ(f.file.get(f.file.key("PER:KeyID")), Err::None);
  EXPECT_FALSE(f.file.duplicate());
  f.rec.id = 1;
  EXPECT_TRUE(f.file.duplicate(f.file.key("PER:KeyID")));
  EXPECT_EQ(f.file.put(), Err::DupKey);
  f.rec.id = 1;
  ASSERT_EQ(f.file.get(f.file.key("PER:KeyID")), Err::None);
  EXPECT_EQ(f.rec.name.str(), "Ann");
  f.rec.id = 2;
  ASSERT_EQ(f.file.get(f.file.key("PER:KeyID")), Err::None);
  EXPECT_EQ(f.rec.name.str(), "Bea");
}

// Inside a transaction a refused PUT changes neither the record nor any of its keys, and the
// transaction goes on with what it did before.
TEST(File, ARefusedPutInsideATransactionLeavesTheRecordAndItsKeysAsTheyWere) {
  PeopleFile f({{1, "Ann", "Oslo", 0, 100}, {2, "Bea", "Rome", 1, 200}});
  ASSERT_EQ(LOGOUT(1, {&f.file}), Err::None);
  setPerson(f.rec, 3, "Cid", "Kyiv");
  ASSERT_EQ(f.file.add(), Err::None);
  f.rec.id = 2;
  ASSERT_EQ(f.file.get(f.file.key("PER:KeyID")), Err::None);
  setPerson(f.rec, 1, "Zed", "Aden", 0, 50);  // every key changes; the id is Ann's
  EXPECT_EQ(f.file.put(), Err::DupKey);
  EXPECT_EQ(rt::ERRORCODE(), 40);
  ASSERT_EQ(COMMIT(), Err::None);
  struct Case {
    const char* key;
    Ids order;
  };
  const Case cases[] = {
      {"PER:KeyID", {1, 2, 3}},
      {"PER:KeyName", {1, 2, 3}},
      {"PER:KeyCity", {3, 1, 2}},
      {"PER:KeyFlagDate", {3, 1, 2}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(f.file.set(f.file.key(c.key)), Err::None);
    EXPECT_EQ(f.forward(), c.order) << c.key;
  }
  f.rec.id = 2;
  ASSERT_EQ(f.file.get(f.file.key("PER:KeyID")), Err::None);
  EXPECT_EQ(f.rec.name.str(), "Bea");
  EXPECT_EQ(f.rec.city.str(), "Rome");
  EXPECT_EQ(f.rec.date, 200);
}

TEST(File, PositionsReadAndRestartFileOrder) {
  PeopleFile f({{1, "A", "X"}, {2, "B", "X"}, {3, "C", "X"}});
  ASSERT_EQ(f.file.set(), Err::None);
  ASSERT_EQ(f.file.next(), Err::None);
  ASSERT_EQ(f.file.next(), Err::None);
  int64_t second = f.file.position();
  ASSERT_EQ(f.file.getPosition(second), Err::None);
  EXPECT_EQ(f.rec.id, 2);
  ASSERT_EQ(f.file.setPosition(second), Err::None);
  EXPECT_EQ(f.forward(), (Ids{2, 3}));
  ASSERT_EQ(f.file.deleteRecord(), Err::NotAvailable);  // the failed NEXT left none current
  ASSERT_EQ(f.file.getPosition(second), Err::None);
  ASSERT_EQ(f.file.deleteRecord(), Err::None);
  EXPECT_EQ(f.file.getPosition(second), Err::NotFound);
}

TEST(File, TransactionsOverTwoStorageFilesCommitOrRollBackTogether) {
  TempDir dir;
  Person a, b;
  File one(personDecl(a, dir / "ONE.TPS")), two(personDecl(b, dir / "TWO.TPS"));
  ASSERT_EQ(one.create(), Err::None);
  ASSERT_EQ(two.create(), Err::None);
  EXPECT_EQ(LOGOUT(1, {&one, &two}), Err::NotOpen);
  ASSERT_EQ(one.open(), Err::None);
  ASSERT_EQ(two.open(), Err::None);
  EXPECT_EQ(COMMIT(), Err::NoLogout);
  EXPECT_EQ(rt::ERRORCODE(), 91);
  EXPECT_EQ(ROLLBACK(), Err::NoLogout);

  ASSERT_EQ(LOGOUT(1, {&one, &two}), Err::None);
  EXPECT_EQ(LOGOUT(1, {&one}), Err::LogoutActive);
  EXPECT_EQ(rt::ERRORCODE(), 56);
  setPerson(a, 1, "Ann", "Oslo");
  ASSERT_EQ(one.add(), Err::None);
  setPerson(b, 1, "Bob", "Rome");
  ASSERT_EQ(two.add(), Err::None);
  ASSERT_EQ(one.set(), Err::None);
  ASSERT_EQ(one.next(), Err::None) << "the transaction sees its own changes";
  ASSERT_EQ(ROLLBACK(), Err::None);
  EXPECT_FALSE(isLoggedOut());
  EXPECT_EQ(one.records(), 0);
  EXPECT_EQ(two.records(), 0);
  ASSERT_EQ(one.set(), Err::None);
  EXPECT_EQ(one.next(), Err::NotAvailable) << "nothing read ahead survives the rollback";

  ASSERT_EQ(LOGOUT(1, {&one, &two}), Err::None);
  ASSERT_EQ(one.add(), Err::None);
  ASSERT_EQ(two.add(), Err::None);
  ASSERT_EQ(COMMIT(), Err::None);
  EXPECT_EQ(one.records(), 1);
  EXPECT_EQ(two.records(), 1);
}

TEST(File, ADescendingKeyListsTheNewestFirstAndTiesInFileOrder) {
  TempDir dir;
  Person p;
  FileDecl d = personDecl(p, dir / "CLIP.TPS");
  d.keys.push_back({.name = "PER:KeyNewest", .description = "All by Date",
                    .parts = {{"PER:Date", true}, {"PER:Flag", true}}, .caseSensitive = true});
  File f(std::move(d));
  ASSERT_EQ(f.create(), Err::None);
  ASSERT_EQ(f.open(), Err::None);
  struct Entry {
    int id, date, time;
  };
  for (Entry e : {Entry{1, 100, 5}, Entry{2, 300, 1}, Entry{3, 100, 9}, Entry{4, 300, 1}, Entry{5, 200, 0}}) {
    setPerson(p, e.id, "x", "y", e.time, e.date);
    ASSERT_EQ(f.add(), Err::None);
  }
  std::vector<int> ids;
  ASSERT_EQ(f.set(f.key("PER:KeyNewest")), Err::None);
  while (f.next() == Err::None) ids.push_back(p.id);
  EXPECT_EQ(ids, (std::vector<int>{2, 4, 5, 3, 1}));
  setPerson(p, 0, "", "", 255, 250);  // from 250 down
  ASSERT_EQ(f.setFrom(f.key("PER:KeyNewest")), Err::None);
  ASSERT_EQ(f.next(), Err::None);
  EXPECT_EQ(p.id, 5);
}

TEST(File, PackGivesSpaceBackAndBuildRemakesEveryKey) {
  TempDir dir;
  Person p;
  File f(personDecl(p, dir / "BIG.TPS"));
  ASSERT_EQ(f.create(), Err::None);
  ASSERT_EQ(f.open(), Err::None);
  ASSERT_EQ(LOGOUT(1, {&f}), Err::None);
  for (int i = 1; i <= 3000; ++i) {
    setPerson(p, i, "A rather long name", "Somewhere", 0, i);
    ASSERT_EQ(f.add(), Err::None);
  }
  ASSERT_EQ(COMMIT(), Err::None);
  ASSERT_EQ(LOGOUT(1, {&f}), Err::None);
  ASSERT_EQ(f.set(), Err::None);
  for (int i = 0; i < 2990 && f.next() == Err::None; ++i) ASSERT_EQ(f.deleteRecord(), Err::None);
  ASSERT_EQ(COMMIT(), Err::None);
  ASSERT_EQ(f.close(), Err::None);
  ASSERT_EQ(f.open(), Err::None);  // closing checkpointed the journal into the file
  auto size = [&] { return std::filesystem::file_size(dir / "BIG.TPS"); };
  uintmax_t before = size();
  ASSERT_EQ(f.pack(), Err::None);
  ASSERT_EQ(f.close(), Err::None);
  ASSERT_EQ(f.open(), Err::None);
  EXPECT_LT(size() * 4, before) << before;
  std::vector<std::string> built;
  ASSERT_EQ(f.build([&](std::string_view k) { built.emplace_back(k); }), Err::None);
  EXPECT_EQ(built, (std::vector<std::string>{"PER:KeyID", "PER:KeyName", "PER:KeyCity", "PER:KeyFlagDate"}));
  EXPECT_EQ(f.records(), 10);
  p.id = 2995;
  EXPECT_EQ(f.get(f.key("PER:KeyID")), Err::None);
}

// Whether the storage at `path` has the index `name`: dropping it inside a transaction that is
// then rolled back succeeds only when it is there, and changes nothing.
bool hasIndex(const std::string& path, const std::string& name) {
  std::shared_ptr<detail::Storage> s = detail::Storage::find(path);
  if (!s || s->begin(1000) != Err::None) return false;
  const bool present = s->exec("DROP INDEX \"" + name + "\"") == Err::None;
  (void)s->end(false);
  return present;
}

TEST(File, DeferredKeysAreBuiltAgainFromTheRecordsOrComeBackWithARollback) {
  TempDir dir;
  Person p;
  FileDecl decl = personDecl(p, dir / "RO97.ZEZ\\!People");
  for (KeyDecl& k : decl.keys) k.unique = k.primary = false;
  decl.keys[0].autoNumber = AutoNumber::None;
  File f(std::move(decl));
  ASSERT_EQ(f.create(), Err::None);
  ASSERT_EQ(f.open(), Err::None);
  const std::string path = f.path();
  const std::vector<std::string> indexes = {"ix_People_KeyID", "ix_People_KeyName", "ix_People_KeyCity",
                                            "ix_People_KeyFlagDate"};
  auto idsBy = [&](const char* key) {
    std::vector<int> ids;
    EXPECT_EQ(f.set(f.key(key)), Err::None);
    while (f.next() == Err::None) ids.push_back(p.id);
    return ids;
  };
  setPerson(p, 5, "eve", "Oslo");
  ASSERT_EQ(f.add(), Err::None);

  EXPECT_EQ(f.deferKeys(), Err::NoLogout);  // only inside a transaction

  ASSERT_EQ(LOGOUT(1, {&f}), Err::None);
  ASSERT_EQ(f.deferKeys(), Err::None);
  for (const std::string& ix : indexes) EXPECT_FALSE(hasIndex(path, ix)) << ix;
  setPerson(p, 3, "Carl", "Rome");
  ASSERT_EQ(f.add(), Err::None);
  setPerson(p, 1, "ANN ", "Kyiv");
  ASSERT_EQ(f.add(), Err::None);
  EXPECT_EQ(idsBy("PER:KeyName"), (std::vector<int>{1, 3, 5}));  // key order holds meanwhile
  ASSERT_EQ(f.buildDeferredKeys(), Err::None);
  ASSERT_EQ(COMMIT(), Err::None);
  for (const std::string& ix : indexes) EXPECT_TRUE(hasIndex(path, ix)) << ix;
  EXPECT_EQ(idsBy("PER:KeyName"), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(idsBy("PER:KeyCity"), (std::vector<int>{1, 5, 3}));
  p.id = 3;
  ASSERT_EQ(f.get(f.key("PER:KeyID")), Err::None);
  EXPECT_EQ(p.name.str(), "Carl");

  // Given up: the records and the old indexes come back with the rollback.
  ASSERT_EQ(LOGOUT(1, {&f}), Err::None);
  ASSERT_EQ(f.deferKeys(), Err::None);
  setPerson(p, 2, "Bea", "Oslo");
  ASSERT_EQ(f.add(), Err::None);
  ASSERT_EQ(ROLLBACK(), Err::None);
  for (const std::string& ix : indexes) EXPECT_TRUE(hasIndex(path, ix)) << ix;
  EXPECT_EQ(f.records(), 3);
  EXPECT_EQ(idsBy("PER:KeyName"), (std::vector<int>{1, 3, 5}));
  ASSERT_EQ(f.close(), Err::None);
  ASSERT_EQ(f.open(), Err::None);  // the stored layout still matches its declaration
  EXPECT_EQ(idsBy("PER:KeyFlagDate"), (std::vector<int>{1, 3, 5}));
}

TEST(File, AFileWithAUniqueKeyKeepsItsKeys) {
  TempDir dir;
  Person p;
  File f(personDecl(p, dir / "RO97.ZEZ\\!People"));
  ASSERT_EQ(f.create(), Err::None);
  ASSERT_EQ(f.open(), Err::None);
  ASSERT_EQ(LOGOUT(1, {&f}), Err::None);
  EXPECT_EQ(f.deferKeys(), Err::BadParameters);
  EXPECT_TRUE(hasIndex(f.path(), "ix_People_KeyID"));
  ASSERT_EQ(COMMIT(), Err::None);
}

// Data files are declared as globals and may still be open when the program ends; closing them
// then must not touch what the table layer has already torn down (a fault that shows as a crash
// at exit or, reliably, under valgrind).
std::string g_exitPath;
Person g_exitRecord;
File g_openAtExit([] {
  FileDecl d = personDecl(g_exitRecord, "");
  d.nameFrom = [] { return g_exitPath; };
  return d;
}());

TEST(File, AGlobalFileLeftOpenClosesCleanlyAtExit) {
  TempDir dir;
  g_exitPath = dir / "EXIT.TPS";
  testing::Child program([](testing::Child&) {
    if (g_openAtExit.create() != Err::None || g_openAtExit.open() != Err::None) return 1;
    if (LOGOUT(1, {&g_openAtExit}) != Err::None) return 2;  // even inside a transaction
    setPerson(g_exitRecord, 1, "Ann", "Oslo");
    if (g_openAtExit.add() != Err::None) return 3;
    std::exit(0);  // runs the destructors of the globals, unlike the helper's own end
  });
  EXPECT_EQ(program.wait(), 0);
  Person p;
  File f(personDecl(p, g_exitPath));
  ASSERT_EQ(f.open(), Err::None);
  EXPECT_EQ(f.records(), 0) << "the transaction left open at exit is rolled back";
}

TEST(File, MemosAndBlobsAreStoredBesideTheRecordAndCutToTheirSize) {
  TempDir dir;
  testing::Note n;
  File notes(testing::noteDecl(n, dir / "NOTES.TPS"));
  ASSERT_EQ(notes.create(), Err::None);
  ASSERT_EQ(notes.open(), Err::None);
  n.id = 1;
  n.title = "first";
  n.text = "caf\xC3\xA9 au lait!";  // "café au lai" is the first 12 bytes
  n.data = std::string("\0\1\2\3\4\5\6\7\x08\x09", 10);
  ASSERT_EQ(notes.add(), Err::None);
  n.id = 2;
  n.title = "second";
  n.text = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";  // 14 bytes: cut at 12
  n.data.clear();
  ASSERT_EQ(notes.add(), Err::None);
  notes.clear();
  EXPECT_TRUE(n.text.empty());
  n.id = 1;
  ASSERT_EQ(notes.get(notes.key(0)), Err::None);
  EXPECT_EQ(n.text, "caf\xC3\xA9 au lai");
  EXPECT_EQ(n.data, std::string("\0\1\2\3\4\5\6\7", 8));
  n.id = 2;
  ASSERT_EQ(notes.get(notes.key(0)), Err::None);
  EXPECT_EQ(n.text, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
  EXPECT_TRUE(n.data.empty());
  EXPECT_EQ(n.title.str(), "second");
}

}  // namespace
}  // namespace ov::db
