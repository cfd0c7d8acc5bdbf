// Faults between programs and on disk: wrong passwords, files that are not data files, files
// locked by another program, a full disk, a writer killed in the middle of a change, and two
// programs writing one file at once.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <vector>

#include "platform/files/detail/storage.h"
#include "platform/files/detail/txn.h"
#include "platform/files/file_manager.h"
#include "platform/files/relation_manager.h"
#include "platform/files/tests/fixture.h"
#include "platform/files/tests/process.h"

namespace ov::db {
namespace {

using rt::Err;
using testing::Child;
using testing::Person;
using testing::TempDir;

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

int64_t countPeople(const std::string& name, const std::string& password = "secret-01") {
  Person p;
  File f(testing::personDecl(p, name, password));
  if (f.open() != Err::None) return -1;
  return f.records();
}

TEST(Robustness, PasswordAndFileFaultsGiveTheirCodeAndAClearText) {
  TempDir dir;
  Person p;
  {
    File f(testing::personDecl(p, dir / "RO97.ZEZ\\!People"));
    ASSERT_EQ(f.create(), Err::None);
    File plain(testing::personDecl(p, dir / "PLAIN.TPS", ""));
    ASSERT_EQ(plain.create(), Err::None);
  }
  writeBytes(dir / "JUNK.TPS", std::string(40, 'x'));
  writeBytes(dir / "ZERO.TPS", std::string(2048, '\0'));
  struct Case {
    const char* name;
    std::string file;
    const char* password;
    Err want;
    const char* text;
  };
  const Case cases[] = {
      {"wrong owner password", dir / "RO97.ZEZ\\!People", "secret-02", Err::NoAccess, "wrong owner password"},
      {"no password for an encrypted file", dir / "RO97.ZEZ\\!People", "", Err::NoAccess, "no owner password"},
      {"a password for a plain file", dir / "PLAIN.TPS", "secret-01", Err::FileSystem, "not an encrypted data file"},
      {"40 bytes of text", dir / "JUNK.TPS", "secret-01", Err::FileSystem, "not a data file"},
      {"40 bytes of text, no password", dir / "JUNK.TPS", "", Err::FileSystem, "not a data file"},
      {"a folder", dir.path(), "", Err::BadName, "not a file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    File f(testing::personDecl(p, c.file, c.password));
    EXPECT_EQ(f.open(), c.want);
    EXPECT_EQ(rt::ERRORCODE(), static_cast<int>(c.want));
    EXPECT_NE(rt::FILEERROR().find(c.text), std::string::npos) << rt::FILEERROR();
    EXPECT_EQ(f.create(), c.want) << "nothing is overwritten";
  }
  EXPECT_EQ(countPeople(dir / "RO97.ZEZ\\!People"), 0) << "the right password still opens it";
  std::ifstream junk(dir / "JUNK.TPS", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(junk), {}), std::string(40, 'x'));
}

TEST(Robustness, AFileOpenedExclusivelyElsewhereIsRefusedAndABusyOneTimesOut) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People";
  ASSERT_EQ(File(testing::personDecl(p, name)).create(), Err::None);
  {
    Child holder([&](Child& c) {
      Person q;
      File f(testing::personDecl(q, name));
      if (f.open(kReadWrite | kDenyAll) != Err::None) return 1;
      c.tell();
      c.await();
      return 0;
    });
    ASSERT_EQ(holder.awaitChild(), '.');
    File f(testing::personDecl(p, name));
    EXPECT_EQ(f.open(), Err::NoAccess);
    EXPECT_NE(rt::FILEERROR().find("opened exclusively by another program"), std::string::npos) << rt::FILEERROR();
    holder.answer();
    EXPECT_EQ(holder.wait(), 0);
    EXPECT_EQ(f.open(), Err::None);
  }
  Child writer([&](Child& c) {
    Person q;
    File f(testing::personDecl(q, name));
    if (f.open() != Err::None || LOGOUT(1, {&f}) != Err::None) return 1;
    testing::setPerson(q, 1, "Ann", "Oslo");
    if (f.add() != Err::None) return 2;
    c.tell();
    c.await();
    return COMMIT() == Err::None ? 0 : 3;
  });
  ASSERT_EQ(writer.awaitChild(), '.');
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.open(), Err::None);
  EXPECT_EQ(LOGOUT(1, {&f}), Err::IsLocked);
  EXPECT_EQ(rt::ERRORCODE(), 32);
  EXPECT_EQ(f.records(), 0) << "readers see the last committed state";
  writer.answer();
  EXPECT_EQ(writer.wait(), 0);
  EXPECT_EQ(f.records(), 1);
}

TEST(Robustness, AFullDiskFailsTheWriteWithCode90AndLosesNothingStored) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People";
  ASSERT_EQ(File(testing::personDecl(p, name)).create(), Err::None);
  detail::setWriteBudget(64 * 1024);
  int stored = 0;
  Err err = Err::None;
  {
    File f(testing::personDecl(p, name));
    ASSERT_EQ(f.open(), Err::None);
    for (int i = 1; i <= 100000 && (err = f.add()) == Err::None; ++i, ++stored) testing::setPerson(p, i + 1, "Name", "City");
    EXPECT_EQ(err, Err::FileSystem) << rt::FILEERROR();
    EXPECT_NE(rt::FILEERROR().find("the disk is full"), std::string::npos) << rt::FILEERROR();
    EXPECT_GT(stored, 0);
    // A change of many records that runs out of room leaves none of them.
    detail::setWriteBudget(-1);
    ASSERT_EQ(f.close(), Err::None);
  }
  detail::setWriteBudget(16 * 1024);
  {
    File f(testing::personDecl(p, name));
    ASSERT_EQ(f.open(), Err::None);
    ASSERT_EQ(LOGOUT(1, {&f}), Err::None);
    err = Err::None;
    for (int i = 0; i < 5000 && err == Err::None; ++i) {
      testing::setPerson(p, 1000000 + i, "Many", "More");
      err = f.add();
    }
    if (err == Err::None) err = COMMIT();
    else (void)ROLLBACK();
    EXPECT_EQ(err, Err::FileSystem);
    EXPECT_FALSE(isLoggedOut());
  }
  detail::setWriteBudget(-1);
  EXPECT_EQ(countPeople(name), stored);
}

// A write that fails in the middle of a transaction can make SQLite roll the transaction back on
// its own. The writes after it must then fail too, not be stored one by one outside it.
TEST(Robustness, WritesAfterATransactionWasLostToAFullDiskFailAndStoreNothing) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People";
  detail::setWriteBudget(int64_t(1) << 40);  // storages opened from now on can run out of room
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.create(), Err::None);
  ASSERT_EQ(f.open(), Err::None);
  for (int i = 1; i <= 3; ++i) {
    testing::setPerson(p, i, "Kept", "Oslo");
    ASSERT_EQ(f.add(), Err::None);
  }
  ASSERT_EQ(LOGOUT(1, {&f}), Err::None);
  // A page cache of a few pages spills changed pages to the journal file during the
  // transaction; with no room on the disk the spill fails inside an ADD.
  ASSERT_EQ(detail::storageOf(f)->exec("PRAGMA cache_size = 4"), Err::None);
  detail::setWriteBudget(0);
  Err err = Err::None;
  for (int i = 0; i < 5000 && err == Err::None; ++i) {
    testing::setPerson(p, 100 + i, "Lost", "Rome");
    err = f.add();
  }
  detail::setWriteBudget(-1);
  ASSERT_EQ(err, Err::FileSystem) << rt::FILEERROR();
  testing::setPerson(p, 99999, "After", "Rome");
  EXPECT_EQ(f.add(), Err::FileSystem);
  EXPECT_NE(rt::FILEERROR().find("rolled back"), std::string::npos) << rt::FILEERROR();
  p.id = 1;
  ASSERT_EQ(f.get(f.key("PER:KeyID")), Err::None);
  EXPECT_EQ(f.put(), Err::FileSystem);
  EXPECT_EQ(f.deleteRecord(), Err::FileSystem);
  EXPECT_EQ(COMMIT(), Err::FileSystem);
  EXPECT_FALSE(isLoggedOut());
  EXPECT_EQ(f.records(), 3);
  ASSERT_EQ(LOGOUT(1, {&f}), Err::None) << "a new transaction can begin";
  testing::setPerson(p, 4, "Next", "Oslo");
  EXPECT_EQ(f.add(), Err::None);
  EXPECT_EQ(COMMIT(), Err::None);
  EXPECT_EQ(countPeople(name), 4);
}

// A child that changes many records in one transaction is killed before it commits.
TEST(Robustness, AWriterKilledInTheMiddleOfAChangeLeavesTheTablesAsBefore) {
  TempDir dir;
  Person p;
  testing::City city;
  std::string people = dir / "PEOPLE.TPS\\!People", cities = dir / "RO97.ZEZ\\!Cities";
  {
    File pf(testing::personDecl(p, people)), cf(testing::cityDecl(city, cities));
    ASSERT_EQ(pf.create(), Err::None);
    ASSERT_EQ(cf.create(), Err::None);
    ASSERT_EQ(pf.open(), Err::None);
    ASSERT_EQ(cf.open(), Err::None);
    city.name = "Oslo";
    ASSERT_EQ(cf.add(), Err::None);
    ASSERT_EQ(LOGOUT(5, {&pf}), Err::None);
    for (int i = 1; i <= 300; ++i) {
      testing::setPerson(p, i, "Person", "Oslo");
      ASSERT_EQ(pf.add(), Err::None);
    }
    ASSERT_EQ(COMMIT(), Err::None);
  }
  {  // killed while adding records without end
    Child writer([&](Child& c) {
      Person q;
      File f(testing::personDecl(q, people));
      if (f.open() != Err::None || LOGOUT(5, {&f}) != Err::None) return 1;
      for (int i = 1000;; ++i) {
        testing::setPerson(q, i, "Extra", "Oslo");
        if (f.add() != Err::None) return 2;
        if (i == 1500) c.tell();
      }
    });
    ASSERT_EQ(writer.awaitChild(), '.');
    writer.killNow();
  }
  EXPECT_EQ(countPeople(people), 300);
  {  // killed after a cascade across two storage files did its work, before the commit
    Child cascade([&](Child& c) {
      Person q;
      testing::City k;
      File pf(testing::personDecl(q, people)), cf(testing::cityDecl(k, cities));
      FileManager pfm(pf), cfm(cf);
      RelationManager prm(pfm), crm(cfm);
      crm.AddRelation(prm, Rule::Cascade, Rule::Cascade, pf.key("PER:KeyCity"), {{"CIT:Name", "PER:City"}});
      if (crm.Open() != Err::None || LOGOUT(5, {&cf, &pf}) != Err::None) return 1;
      k.name = "Oslo";
      if (cf.get(cf.key(0)) != Err::None || crm.Delete() != Err::None) return 2;
      if (pf.records() != 0) return 3;
      c.tell();
      c.await();
      return 0;
    });
    ASSERT_EQ(cascade.awaitChild(), '.');
    cascade.killNow();
  }
  EXPECT_EQ(countPeople(people), 300);
  File cf(testing::cityDecl(city, cities));
  ASSERT_EQ(cf.open(), Err::None);
  EXPECT_EQ(cf.records(), 1);
}

TEST(Robustness, TwoProgramsNumberAndWriteOneFileAtOnce) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People";
  ASSERT_EQ(File(testing::personDecl(p, name)).create(), Err::None);
  constexpr int kEach = 150;
  auto body = [&](const char* who) {
    return [&, who](Child& c) {
      Person q;
      File f(testing::personDecl(q, name));
      FileManager fm(f);
      if (fm.Open() != Err::None) return 1;
      c.tell();
      c.await();  // both start together
      for (int i = 0; i < kEach; ++i) {
        if (fm.PrimeRecord() != Err::None) return 2;
        q.name = who;
        q.date = i;
        if (fm.Insert() != Err::None) return 3;
        if (i % 10 == 0 && f.records() < i) return 4;  // reading between the writes
      }
      return 0;
    };
  };
  Child a(body("A")), b(body("B"));
  ASSERT_EQ(a.awaitChild(), '.');
  ASSERT_EQ(b.awaitChild(), '.');
  a.answer();
  b.answer();
  EXPECT_EQ(a.wait(), 0);
  EXPECT_EQ(b.wait(), 0);
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.open(), Err::None);
  std::set<int> ids;
  std::map<std::string, int> perWriter;
  ASSERT_EQ(f.set(f.key("PER:KeyID")), Err::None);
  while (f.next() == Err::None) {
    ids.insert(p.id);
    ++perWriter[p.name.str()];
  }
  EXPECT_EQ(ids.size(), 2u * kEach);
  EXPECT_EQ(*ids.begin(), 1);
  EXPECT_EQ(*ids.rbegin(), 2 * kEach) << "numbers without gaps or doubles";
  EXPECT_EQ(perWriter["A"], kEach);
  EXPECT_EQ(perWriter["B"], kEach);
}

TEST(Robustness, AHeldRecordIsRefusedToAnotherProgramUntilReleased) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People";
  {
    File f(testing::personDecl(p, name));
    ASSERT_EQ(f.create(), Err::None);
    ASSERT_EQ(f.open(), Err::None);
    testing::setPerson(p, 1, "Ann", "Oslo");
    ASSERT_EQ(f.add(), Err::None);
  }
  Child other([&](Child& c) {
    Person q;
    File f(testing::personDecl(q, name));
    if (f.open() != Err::None) return 1;
    q.id = 1;
    if (f.hold() != Err::None || f.get(f.key(0)) != Err::None) return 2;
    c.tell();
    c.await();
    f.release();
    c.tell();
    c.await();
    return 0;
  });
  ASSERT_EQ(other.awaitChild(), '.');
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.open(), Err::None);
  p.id = 1;
  ASSERT_EQ(f.hold(), Err::None);
  EXPECT_EQ(f.get(f.key(0)), Err::IsHeld);
  EXPECT_EQ(rt::ERRORCODE(), 43);
  EXPECT_EQ(f.get(f.key(0)), Err::None) << "reading without a hold is allowed";
  EXPECT_EQ(f.send("HELD"), "ON");
  other.answer();
  ASSERT_EQ(other.awaitChild(), '.');
  ASSERT_EQ(f.hold(), Err::None);
  EXPECT_EQ(f.get(f.key(0)), Err::None);
  other.answer();
  EXPECT_EQ(other.wait(), 0);
  // A hold left by a program that died is no hold.
  f.release();
  Child dies([&](Child& c) {
    Person q;
    File g(testing::personDecl(q, name));
    q.id = 1;
    if (g.open() != Err::None || g.hold() != Err::None || g.get(g.key(0)) != Err::None) return 1;
    c.tell();
    c.await();
    return 0;
  });
  ASSERT_EQ(dies.awaitChild(), '.');
  ASSERT_EQ(f.hold(), Err::None);
  EXPECT_EQ(f.get(f.key(0)), Err::IsHeld);
  f.send("RECOVER=1");  // recovery drops the hold of a live program as well
  ASSERT_EQ(f.get(f.key(0)), Err::None);
  EXPECT_EQ(f.send("HELD"), "OFF");
  f.send("RECOVER=0");
  dies.killNow();
  ASSERT_EQ(f.hold(), Err::None);
  EXPECT_EQ(f.get(f.key(0)), Err::None);
  EXPECT_EQ(f.send("HELD"), "ON");
}

}  // namespace
}  // namespace ov::db

namespace ov::db {
namespace {

// The rows a transaction wrote, kept as runs: whatever order they come in, the set read back is
// the set written, and rows added one after another take a single run.
TEST(RowRuns, HoldEveryRowWrittenInRuns) {
  const std::vector<std::vector<int64_t>> kOrders = {
      {1, 2, 3, 4, 5},
      {5, 4, 3, 2, 1},
      {1, 3, 5, 2, 4},
      {10, 12, 11, 11, 10, 20, 19, 21, 1},
      {INT64_MAX, INT64_MAX - 1, 1},
  };
  for (const auto& order : kOrders) {
    detail::RowRuns runs;
    for (int64_t id : order) runs.insert(id);
    std::set<int64_t> want(order.begin(), order.end()), got;
    runs.forEach([&](int64_t id) { EXPECT_TRUE(got.insert(id).second) << id; });
    EXPECT_EQ(got, want);
  }
  detail::RowRuns bulk;
  for (int64_t id = 1; id <= 100000; ++id) bulk.insert(id);
  EXPECT_EQ(bulk.runs(), 1u);
}

}  // namespace
}  // namespace ov::db

namespace ov::db {
namespace {

// A program killed while a new record was reserved (a form open on a new record, with steps
// already written under its number) leaves neither half: the next open of the file through its
// relations removes the blank record and its steps. Records finished by a program that ended,
// and a reservation of a program still running, stay.
TEST(Robustness, ANewRecordLeftReservedByAKilledProgramGoesWithItsChildren) {
  TempDir dir;
  std::string people = dir / "RO97.ZEZ\\!People", steps = dir / "RO97.ZEZ\\!Steps";
  {
    Person p;
    testing::Step s;
    ASSERT_EQ(File(testing::personDecl(p, people)).create(), Err::None);
    ASSERT_EQ(File(testing::stepDecl(s, steps)).create(), Err::None);
  }
  // Each program opens the people with their steps, as a task and its script items.
  auto program = [&](const std::function<int(FileManager&, testing::Step&, FileManager&)>& body) {
    Person q;
    testing::Step s;
    File pf(testing::personDecl(q, people)), sf(testing::stepDecl(s, steps));
    FileManager pfm(pf), sfm(sf);
    RelationManager prm(pfm), srm(sfm);
    prm.AddRelation(srm, Rule::Cascade, Rule::Cascade, sf.key("STP:KeyID"), {{"PER:ID", "STP:Task"}});
    if (prm.Open() != Err::None) return 1;
    return body(pfm, s, sfm);
  };
  auto reserveWithSteps = [&](const char* name, int stepCount, Child& c) {
    return program([&](FileManager& pfm, testing::Step& s, FileManager& sfm) {
      if (pfm.PrimeRecord() != Err::None) return 2;
      const int32_t id = static_cast<Person*>(pfm.file().buffer())->id;
      for (int i = 0; i < stepCount; ++i) {
        s.task = id;
        s.seq = i + 1;
        s.action = name;
        if (sfm.file().add() != Err::None) return 3;
      }
      c.tell();
      c.await();
      return 0;
    });
  };
  // Finished and ended normally: number 1 with two steps.
  Child finished([&](Child&) {
    return program([&](FileManager& pfm, testing::Step& s, FileManager& sfm) {
      if (pfm.PrimeRecord() != Err::None) return 2;
      Person& q = *static_cast<Person*>(pfm.file().buffer());
      q.name = "Ann";
      for (int i = 1; i <= 2; ++i) {
        s.task = q.id;
        s.seq = i;
        s.action = "kept";
        if (sfm.file().add() != Err::None) return 3;
      }
      return pfm.Insert() == Err::None ? 0 : 4;
    });
  });
  ASSERT_EQ(finished.wait(), 0);
  Child killed([&](Child& c) { return reserveWithSteps("half", 3, c); });  // number 2
  ASSERT_EQ(killed.awaitChild(), '.');
  killed.killNow();
  // The next program's open removes number 2 with its steps; its own new record takes number 2
  // again and finds none of them.
  Child running([&](Child& c) { return reserveWithSteps("running", 1, c); });
  ASSERT_EQ(running.awaitChild(), '.');

  auto ids = [](File& f) {
    std::vector<int> out;
    Person& p = *static_cast<Person*>(f.buffer());
    if (f.set(f.key("PER:KeyID")) != Err::None) return out;
    while (f.next() == Err::None) out.push_back(p.id);
    return out;
  };
  auto actions = [](File& f) {
    std::multiset<std::string> out;
    testing::Step& s = *static_cast<testing::Step*>(f.buffer());
    if (f.set() != Err::None) return out;
    while (f.next() == Err::None) out.insert(s.action.str());
    return out;
  };
  program([&](FileManager& pfm, testing::Step&, FileManager& sfm) {
    EXPECT_EQ(ids(pfm.file()), (std::vector<int>{1, 2})) << "a running program's reservation stays";
    EXPECT_EQ(actions(sfm.file()), (std::multiset<std::string>{"kept", "kept", "running"}));
    return 0;
  });
  running.killNow();
  program([&](FileManager& pfm, testing::Step&, FileManager& sfm) {
    EXPECT_EQ(ids(pfm.file()), (std::vector<int>{1}));
    EXPECT_EQ(actions(sfm.file()), (std::multiset<std::string>{"kept", "kept"}));
    EXPECT_EQ(pfm.PrimeRecord(), Err::None);
    EXPECT_EQ(static_cast<Person*>(pfm.file().buffer())->id, 2);
    EXPECT_EQ(pfm.CancelAutoInc(), Err::None);
    return 0;
  });
  Person p;
  File pf(testing::personDecl(p, people));
  ASSERT_EQ(pf.open(), Err::None);
  EXPECT_EQ(pf.records(), 1) << "the given-up record is gone as well";
}

}  // namespace
}  // namespace ov::db
