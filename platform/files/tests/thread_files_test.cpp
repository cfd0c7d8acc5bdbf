// Each logical thread's own record buffer, sequence, reservation and watch over a data file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/files/file.h"
#include "platform/files/file_manager.h"
#include "platform/files/relation_manager.h"
#include "platform/files/tests/fixture.h"
#include "platform/files/tests/process.h"
#include "platform/rt/thread_data.h"

namespace ov::db {
using rt::Err;
using testing::Child;
using testing::Note;
using testing::Person;
using testing::TempDir;

namespace {

// Leaves thread 1 resident and threads 2 and 3 ended, whatever a test did.
struct ThreadsBack {
  ~ThreadsBack() {
    rt::makeResident(1);
    rt::endThread(2);
    rt::endThread(3);
  }
};

void addPeople(File& f, Person& p, const std::vector<const char*>& names) {
  int id = 1;
  for (const char* n : names) {
    testing::setPerson(p, id++, n, "Town");
    ASSERT_EQ(f.add(), Err::None);
  }
}

std::string storedCity(File& f, int64_t position) {
  RecordImage image;
  if (f.readAt(position, image) != Err::None) return "?";
  Person stored;
  std::memcpy(static_cast<void*>(&stored), image.bytes.data(), sizeof stored);
  return std::string(stored.city.clipped());
}

}  // namespace

TEST(ThreadFiles, TwoThreadsReadAndWriteInTurnWithoutCrossing) {
  ThreadsBack back;
  TempDir dir;
  Person p;
  Note n;
  File people(testing::personDecl(p, dir / "RO97.ZEZ\\!People"));
  File notes(testing::noteDecl(n, dir / "NOTES"));
  ASSERT_EQ(people.create(), Err::None);
  ASSERT_EQ(notes.create(), Err::None);
  ASSERT_EQ(people.open(), Err::None);
  ASSERT_EQ(notes.open(), Err::None);
  addPeople(people, p, {"Ann", "Bob", "Cid", "Dag"});
  Key byName = people.key("KeyName");

  // Thread 1 stands on Ann, with a memo in the other file's buffer.
  ASSERT_EQ(people.set(byName), Err::None);
  ASSERT_EQ(people.next(), Err::None);
  n.text = "one's memo";
  rt::beginThread(2, 1);
  rt::makeResident(2);
  EXPECT_EQ(p.name.clipped(), "Ann") << "a started thread gets a copy of its starter's record";
  EXPECT_EQ(n.text, "one's memo");
  EXPECT_EQ(people.put(), Err::NotAvailable) << "but no current record to write";
  n.text = "two's memo";
  ASSERT_EQ(people.set(byName), Err::None);
  ASSERT_EQ(people.next(), Err::None);
  ASSERT_EQ(people.next(), Err::None);
  EXPECT_EQ(p.name.clipped(), "Bob");
  p.city = "Two";

  rt::makeResident(1);
  EXPECT_EQ(p.name.clipped(), "Ann");
  EXPECT_EQ(p.city.clipped(), "Town");
  EXPECT_EQ(n.text, "one's memo");
  p.city = "One";
  ASSERT_EQ(people.put(), Err::None) << "thread 1's current record is Ann";
  ASSERT_EQ(people.next(), Err::None);
  EXPECT_EQ(p.name.clipped(), "Bob") << "thread 1's sequence goes on after its own Ann";

  rt::makeResident(2);
  EXPECT_EQ(p.name.clipped(), "Bob");
  EXPECT_EQ(p.city.clipped(), "Two") << "thread 1 reading Bob left thread 2's edit alone";
  EXPECT_EQ(n.text, "two's memo");
  ASSERT_EQ(people.put(), Err::None);
  ASSERT_EQ(people.next(), Err::None);
  EXPECT_EQ(p.name.clipped(), "Cid");

  rt::makeResident(1);
  ASSERT_EQ(people.next(), Err::None);
  EXPECT_EQ(p.name.clipped(), "Cid");
  ASSERT_EQ(people.previous(), Err::None);
  EXPECT_EQ(p.name.clipped(), "Bob");
  EXPECT_EQ(p.city.clipped(), "Two") << "reads see what the other thread stored";

  EXPECT_EQ(storedCity(people, 1), "One");
  EXPECT_EQ(storedCity(people, 2), "Two");
  EXPECT_EQ(storedCity(people, 3), "Town");

  // An ended thread leaves nothing behind: its number starts afresh from its next starter.
  rt::endThread(2);
  testing::setPerson(p, 0, "Fresh", "");
  rt::beginThread(2, 1);
  rt::makeResident(2);
  EXPECT_EQ(p.name.clipped(), "Fresh");
  EXPECT_EQ(people.next(), Err::None);
  EXPECT_EQ(p.name.clipped(), "Ann") << "a new sequence reads from the first record in file order";
}

TEST(ThreadFiles, AThreadNeverStartedHasAClearedBuffer) {
  ThreadsBack back;
  TempDir dir;
  Person p;
  File people(testing::personDecl(p, dir / "RO97.ZEZ\\!People"));
  testing::setPerson(p, 7, "Kept", "Here");
  rt::makeResident(3);
  EXPECT_EQ(p.id, 0);
  EXPECT_EQ(p.name.clipped(), "");
  rt::makeResident(1);
  EXPECT_EQ(p.name.clipped(), "Kept");
}

TEST(ThreadFiles, EachThreadGivesBackOnlyTheNumberItReserved) {
  ThreadsBack back;
  TempDir dir;
  Person p;
  File people(testing::personDecl(p, dir / "RO97.ZEZ\\!People"));
  FileManager fm(people);
  ASSERT_EQ(fm.Open(), Err::None);
  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  const int first = p.id;
  rt::beginThread(2, 1);
  rt::makeResident(2);
  EXPECT_FALSE(fm.hasReservation());
  ASSERT_EQ(fm.PrimeRecord(), Err::None);
  const int second = p.id;
  EXPECT_NE(first, second);
  ASSERT_EQ(fm.CancelAutoInc(), Err::None);
  rt::makeResident(1);
  EXPECT_TRUE(fm.hasReservation());
  p.name = "Stored";
  ASSERT_EQ(fm.Insert(), Err::None);
  EXPECT_EQ(people.records(), 1);
  p.id = first;
  ASSERT_EQ(people.get(people.key("KeyID")), Err::None);
  EXPECT_EQ(p.name.clipped(), "Stored");
  (void)fm.Close();
}

// A record changed by another program between a form's read and its write.
class Watch : public ::testing::Test {
 protected:
  void SetUp() override {
    name = dir / "RO97.ZEZ\\!People";
    File f(testing::personDecl(p, name));
    ASSERT_EQ(f.create(), Err::None);
    ASSERT_EQ(f.open(), Err::None);
    addPeople(f, p, {"Ann", "Bob"});
    ASSERT_EQ(f.close(), Err::None);
    errors.setSink([this](const ErrorReport& r) {
      asked.push_back(r);
      return answer;
    });
  }

  // Another program sets Ann's city to `city` once told to; returns when it has.
  void otherProgramWrites(Child& other) {
    other.answer();
    ASSERT_EQ(other.awaitChild(), '.');
  }
  static int writeAnn(const std::string& name, Child& c, const char* city) {
    c.await();
    Person q;
    File f(testing::personDecl(q, name));
    if (f.open() != Err::None) return 1;
    q.id = 1;
    if (f.get(f.key("KeyID")) != Err::None) return 2;
    q.city = city;
    if (f.put() != Err::None) return 3;
    c.tell();
    return 0;
  }

  TempDir dir;
  std::string name;
  Person p;
  ErrorClass errors;
  std::vector<ErrorReport> asked;
  Level answer = Level::Cancel;
};

TEST_F(Watch, AWriteOverAChangeByAnotherProgramIsRefusedAndNothingIsLost) {
  Child other([&](Child& c) { return writeAnn(name, c, "Theirs"); });
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.open(), Err::None);
  p.id = 1;
  ASSERT_EQ(f.get(f.key("KeyID")), Err::None);
  ASSERT_EQ(f.watch(), Err::None);
  otherProgramWrites(other);
  EXPECT_EQ(other.wait(), 0);
  p.city = "Mine";
  EXPECT_EQ(f.put(), Err::Changed);
  EXPECT_EQ(rt::ERRORCODE(), 89);
  EXPECT_EQ(storedCity(f, 1), "Theirs");
  // Bob is not watched: written as before.
  p.id = 2;
  ASSERT_EQ(f.get(f.key("KeyID")), Err::None);
  p.city = "Mine";
  EXPECT_EQ(f.put(), Err::None);
}

TEST_F(Watch, AnUnchangedRecordIsWrittenAndTheWatchEndsWithTheWrite) {
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.open(), Err::None);
  p.id = 1;
  ASSERT_EQ(f.get(f.key("KeyID")), Err::None);
  ASSERT_EQ(f.watch(), Err::None);
  p.city = "Mine";
  ASSERT_EQ(f.put(), Err::None);
  EXPECT_FALSE(f.watching());
  p.city = "Again";
  EXPECT_EQ(f.put(), Err::None);
  EXPECT_EQ(storedCity(f, 1), "Again");
}

TEST_F(Watch, AWatchStartsFromTheRecordAsTheThreadReadItNotAsStoredNow) {
  // A list read the record; the form that opens on it later watches what the list read.
  Child other([&](Child& c) { return writeAnn(name, c, "Theirs"); });
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.open(), Err::None);
  p.id = 1;
  ASSERT_EQ(f.get(f.key("KeyID")), Err::None);
  otherProgramWrites(other);
  EXPECT_EQ(other.wait(), 0);
  ASSERT_EQ(f.watch(), Err::None);
  p.city = "Mine";
  EXPECT_EQ(f.put(), Err::Changed);
}

TEST_F(Watch, TheUserChoosesBetweenReloadingAndKeepingTheirVersion) {
  struct Case {
    Level answer;
    const char* buffer;  // the city in the buffer after Update
    const char* stored;
    Err result;
  };
  const Case cases[] = {
      {Level::Cancel, "Theirs", "Theirs", Err::Changed},  // No: reload
      {Level::User, "Mine", "Mine", Err::None},           // Yes: keep mine
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.buffer);
    Child other([&](Child& ch) { return writeAnn(name, ch, "Theirs"); });
    File f(testing::personDecl(p, name));
    FileManager fm(f);
    fm.setErrors(&errors);
    RelationManager rm(fm);
    ASSERT_EQ(fm.Open(), Err::None);
    p.id = 1;
    ASSERT_EQ(f.get(f.key("KeyID")), Err::None);
    p.city = "Town";
    ASSERT_EQ(f.put(), Err::None);
    ASSERT_EQ(f.watch(), Err::None);
    otherProgramWrites(other);
    EXPECT_EQ(other.wait(), 0);
    p.city = "Mine";
    answer = c.answer;
    asked.clear();
    EXPECT_EQ(rm.Update(), c.result);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].id, Msg::RecordChanged);
    EXPECT_EQ(p.city.clipped(), c.buffer);
    EXPECT_EQ(storedCity(f, 1), c.stored);
    if (c.result == Err::Changed) {
      // The reloaded record is watched as it is now: the next write goes through unasked.
      p.city = "Later";
      EXPECT_EQ(rm.Update(), Err::None);
      EXPECT_EQ(asked.size(), 1u);
    }
    ASSERT_EQ(fm.Close(), Err::None);
  }
}

}  // namespace ov::db
