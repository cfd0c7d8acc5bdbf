// What other code of the process and other programs can do to open data files: a stray open and
// close of a data file must not drop our locks, a program closing its last connection must not
// delete a WAL that another still uses, and a change over two storage files killed between its
// commits is completed at the next open; a file put in the place of an open one (or deleted) takes
// no more writes and is left whole for the programs that open it next. A large commit's WAL is
// copied into the file beside the program without another program missing a row or a last close
// leaving a WAL behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/files/detail/storage.h"
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

// Whether a process other than the caller holds any record lock on `path` (asked from a child,
// as another program would see it; a process never sees its own locks).
bool lockedForOthers(const std::string& path) {
  Child probe([&](Child&) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return 2;
    struct flock lock{};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;  // the whole file
    if (::fcntl(fd, F_GETLK, &lock) != 0) return 2;
    return lock.l_type == F_UNLCK ? 0 : 1;
  });
  return probe.wait() == 1;
}

// What a file dialog or a type probe does to a file it lists.
void peekInside(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char head[64];
  (void)!::read(fd, head, sizeof head);
  ::close(fd);
}

int64_t countPeople(const std::string& name) {
  Person p;
  File f(testing::personDecl(p, name));
  if (f.open() != Err::None) return -1;
  return f.records();
}

TEST(Sharing, AStrayCloseOfADataFileKeepsOurLocksAndAnotherProgramLeavesTheWal) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People", file = dir / "RO97.ZEZ";
  {
    File f(testing::personDecl(p, name));
    ASSERT_EQ(f.create(), Err::None);
    ASSERT_EQ(f.open(), Err::None);
    testing::setPerson(p, 1, "Ann", "Oslo");
    ASSERT_EQ(f.add(), Err::None);
  }
  // Forked before this process opens the file: the writer has storages of its own.
  Child writer([&](Child& c) {
    c.await();
    Person q;
    {
      File f(testing::personDecl(q, name));
      if (f.open() != Err::None) return 1;
      testing::setPerson(q, 2, "Bob", "Rome");
      if (f.add() != Err::None) return 2;
    }  // its last connection closes here
    c.tell();
    return 0;
  });
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.open(), Err::None);
  ASSERT_EQ(f.records(), 1);
  ASSERT_TRUE(lockedForOthers(file));
  for (const char* suffix : {"", "-wal", "-shm"}) peekInside(file + suffix);
  EXPECT_TRUE(lockedForOthers(file)) << "a stray close dropped the lock on the data file";
  EXPECT_TRUE(lockedForOthers(file + "-shm")) << "a stray close dropped the lock on the shared index";

  writer.answer();
  ASSERT_EQ(writer.awaitChild(), '.');
  EXPECT_EQ(writer.wait(), 0);
  EXPECT_TRUE(std::filesystem::exists(file + "-wal"));
  EXPECT_TRUE(std::filesystem::exists(file + "-shm"));
  EXPECT_EQ(f.records(), 2) << "the other program's record is seen";
  testing::setPerson(p, 3, "Cid", "Oslo");
  ASSERT_EQ(f.add(), Err::None);
  Child reader([&](Child&) { return static_cast<int>(countPeople(name)); });
  EXPECT_EQ(reader.wait(), 3) << "our record reaches the file, not a private copy";
}

TEST(Sharing, ALargeCommitReachesTheFileBesideTheProgram) {
  TempDir dir;
  Person p;
  std::string name = dir / "RO97.ZEZ\\!People", file = dir / "RO97.ZEZ";
  detail::setBesideCheckpointPages(64);
  constexpr int kPeople = 6000;  // some 90 pages of records and keys
  {
    File f(testing::personDecl(p, name));
    ASSERT_EQ(f.create(), Err::None);
    ASSERT_EQ(f.open(), Err::None);
    // Forked now: a process forked while the copy runs would inherit its locks held.
    Child reader([&](Child& c) {
      c.await();
      return static_cast<int>(countPeople(name) / 100);
    });
    ASSERT_EQ(LOGOUT(1, {&f}), Err::None);
    for (int i = 1; i <= kPeople; ++i) {
      testing::setPerson(p, i, ("Person " + std::to_string(i)).c_str(), i % 2 ? "Oslo" : "Rome");
      ASSERT_EQ(f.add(), Err::None);
    }
    ASSERT_EQ(COMMIT(), Err::None);
    reader.answer();
    EXPECT_EQ(reader.wait(), kPeople / 100) << "another program sees the commit at once";
    // Committed while the copy may still run: it is copied as well, or stays in the WAL.
    testing::setPerson(p, kPeople + 1, "Last", "Oslo");
    ASSERT_EQ(f.add(), Err::None);

    std::shared_ptr<detail::Storage> storage = detail::Storage::find(file);
    ASSERT_TRUE(storage);
    storage->waitForCheckpoint();
    // The file without its WAL holds the large commit: the copy was made.
    const std::string copy = dir / "COPY.ZEZ";
    std::filesystem::copy_file(file, copy);
    std::string why;
    bool repairable = false;
    EXPECT_EQ(checkStorageFile(copy, "secret-01", why, repairable), Err::None) << why;
    Person q;
    File c(testing::personDecl(q, dir / "COPY.ZEZ\\!People"));
    ASSERT_EQ(c.open(), Err::None);
    EXPECT_GE(c.records(), kPeople);
    ASSERT_EQ(c.set(c.key("PER:KeyName")), Err::None);
    int read = 0;
    while (c.next() == Err::None) ++read;
    EXPECT_EQ(read, c.records()) << "the copied keys hold every record";
    EXPECT_EQ(f.records(), kPeople + 1);
  }
  detail::setBesideCheckpointPages(4096);
  // The copy's connection has gone before the storage's own: the last close emptied the WAL.
  EXPECT_EQ(std::filesystem::file_size(file + "-wal"), 0u);
  EXPECT_EQ(countPeople(name), kPeople + 1);
}

int g_killAt = -1;

// A cascade renames a city in the owner file and the people who live there in another file; the
// writer is killed before the first commit, between the two, or before it cleared its intent
// record. Every open afterwards sees the rename in both files or in neither.
TEST(Sharing, AChangeOverTwoFilesKilledAtItsCommitsIsWholeAtTheNextOpen) {
  TempDir dir;
  Person p;
  testing::City city;
  std::string people = dir / "PEOPLE.TPS\\!People", cities = dir / "RO97.ZEZ\\!Cities";
  {
    File pf(testing::personDecl(p, people, "")), cf(testing::cityDecl(city, cities));
    ASSERT_EQ(pf.create(), Err::None);
    ASSERT_EQ(cf.create(), Err::None);
    ASSERT_EQ(pf.open(), Err::None);
    ASSERT_EQ(cf.open(), Err::None);
    city.name = "N0";
    ASSERT_EQ(cf.add(), Err::None);
    for (int i = 1; i <= 3; ++i) {
      testing::setPerson(p, i, "Person", "N0");
      ASSERT_EQ(pf.add(), Err::None);
    }
  }
  std::string current = "N0";
  for (int round = 1; round <= 50; ++round) {
    SCOPED_TRACE(round);
    int killAt = round % 3;  // 0 before any commit, 1 after the first, 2 after both
    std::string renamed = "N" + std::to_string(round);
    Child writer([&](Child&) {
      g_killAt = killAt;
      detail::setCommitSeam([](int committed) {
        if (committed == g_killAt) ::raise(SIGKILL);
      });
      Person q;
      testing::City k;
      File pf(testing::personDecl(q, people, "")), cf(testing::cityDecl(k, cities));
      FileManager pfm(pf), cfm(cf);
      RelationManager prm(pfm), crm(cfm);
      crm.AddRelation(prm, Rule::Cascade, Rule::Cascade, pf.key("PER:KeyCity"), {{"CIT:Name", "PER:City"}});
      if (crm.Open() != Err::None) return 1;
      k.name = current;
      if (cf.get(cf.key(0)) != Err::None) return 2;
      k.name = renamed;
      if (crm.Update() != Err::None) return 3;
      return 4;  // not killed
    });
    ASSERT_EQ(writer.wait(), -1) << "the writer was not killed at its commit";
    if (killAt != 0) current = renamed;

    // The owner file first, as every program opens it: its open completes the change.
    File cf(testing::cityDecl(city, cities)), pf(testing::personDecl(p, people, ""));
    ASSERT_EQ(cf.open(), Err::None);
    ASSERT_EQ(pf.open(), Err::None);
    ASSERT_EQ(cf.records(), 1);
    ASSERT_EQ(cf.set(), Err::None);
    ASSERT_EQ(cf.next(), Err::None);
    EXPECT_EQ(city.name.str(), current);
    ASSERT_EQ(pf.set(), Err::None);
    int moved = 0;
    while (pf.next() == Err::None) moved += p.city.str() == current;
    ASSERT_EQ(moved, 3) << "the people's city differs from the city";
  }
}

// The names of the people in file order, or "!" and the reason when the file does not open.
std::string namesIn(const std::string& name) {
  Person p;
  File f(testing::personDecl(p, name));
  if (f.open() != Err::None) return "!" + rt::FILEERROR();
  std::string names;
  for (f.set(); f.next() == Err::None;) names += (names.empty() ? "" : ",") + p.name.str();
  return names;
}

void makePeople(const std::string& name, std::initializer_list<const char*> names) {
  Person p;
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.create(), Err::None);
  ASSERT_EQ(f.open(), Err::None);
  int id = 0;
  for (const char* n : names) {
    testing::setPerson(p, ++id, n, "Oslo");
    ASSERT_EQ(f.add(), Err::None);
  }
}

// A copy restored by hand (or a sync tool) renamed over the data file while a program has it
// open, or the file deleted: the program's next writes would go to a file nobody finds again and
// its WAL, left beside the name, would be read as the new file's.
TEST(Sharing, AFileReplacedOrDeletedWhileOpenTakesNoMoreWritesAndTheFileNowThereReadsAsItIs) {
  for (bool replaced : {true, false}) {
    SCOPED_TRACE(replaced ? "replaced" : "deleted");
    TempDir dir;
    std::string name = dir / "RO97.ZEZ\\!People", file = dir / "RO97.ZEZ";
    makePeople(name, {"Ann", "Ben"});
    if (replaced) makePeople(dir / "COPY.ZEZ\\!People", {"Cid", "Dag", "Eva"});
    std::string expected = replaced ? "Cid,Dag,Eva" : "";
    // Another program, forked while this one has no file open, looks once the file is replaced.
    Child other([&](Child& c) {
      c.await();
      if (!replaced) makePeople(name, {});  // as a first start makes the data file
      return namesIn(name) == expected ? 0 : 1;
    });
    Person p;
    File f(testing::personDecl(p, name));
    ASSERT_EQ(f.open(), Err::None);
    testing::setPerson(p, 3, "Fay", "Rome");
    ASSERT_EQ(f.add(), Err::None);  // its pages wait in the WAL
    if (replaced)
      ASSERT_EQ(std::rename((dir / "COPY.ZEZ").c_str(), file.c_str()), 0);
    else
      ASSERT_EQ(::unlink(file.c_str()), 0);

    testing::setPerson(p, 4, "Gus", "Rome");
    EXPECT_EQ(f.add(), Err::FileSystem) << "a record was written into a file that is not at its name";
    EXPECT_NE(rt::FILEERROR().find(file), std::string::npos) << rt::FILEERROR();
    EXPECT_NE(rt::FILEERROR().find(replaced ? "replaced by another file" : "deleted"), std::string::npos)
        << rt::FILEERROR();
    ASSERT_EQ(f.set(), Err::None);
    ASSERT_EQ(f.next(), Err::None);
    p.city = "Lima";
    EXPECT_EQ(f.put(), Err::FileSystem);
    Person q;
    File again(testing::personDecl(q, name));
    EXPECT_EQ(again.open(), Err::FileSystem) << "a new open in this program reads the lost file";

    other.answer();
    EXPECT_EQ(other.wait(), 0) << "another program read the file through the lost file's WAL";
    ASSERT_EQ(f.close(), Err::None);
    if (!replaced) continue;
    // The next start.
    EXPECT_EQ(namesIn(name), expected);
    std::string detail;
    bool repairable = false;
    EXPECT_EQ(checkStorageFile(file, "secret-01", detail, repairable), Err::None) << detail;
  }
}

// Not a file at all in its place: the look at what is there must not wait on a reader of a FIFO.
TEST(Sharing, AFifoInThePlaceOfAnOpenFileIsToldAsAReplacement) {
  TempDir dir;
  std::string name = dir / "RO97.ZEZ\\!People", file = dir / "RO97.ZEZ";
  makePeople(name, {"Ann"});
  Person p;
  File f(testing::personDecl(p, name));
  ASSERT_EQ(f.open(), Err::None);
  ASSERT_EQ(::unlink(file.c_str()), 0);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  testing::setPerson(p, 2, "Ben", "Rome");
  EXPECT_EQ(f.add(), Err::FileSystem);
  EXPECT_NE(rt::FILEERROR().find("replaced by another file"), std::string::npos) << rt::FILEERROR();
}

// Two programs had the file when a copy took its place; one notices at once, then the file now
// there is opened and written to by a third. The other, closing later, must leave the WAL to it.
TEST(Sharing, AProgramClosingALostFileLeavesTheWalToTheNewFilesPrograms) {
  TempDir dir;
  std::string name = dir / "RO97.ZEZ\\!People", file = dir / "RO97.ZEZ";
  makePeople(name, {"Ann"});
  makePeople(dir / "COPY.ZEZ\\!People", {"Cid"});
  Child holder([&](Child& c) {  // opens the file, then closes it when told
    Person q;
    File f(testing::personDecl(q, name));
    if (f.open() != Err::None) return 1;
    c.tell();
    c.await();
    return 0;
  });
  Child newcomer([&](Child& c) {  // opens the file now there, adds a record and keeps it open
    c.await();
    Person q;
    File f(testing::personDecl(q, name));
    if (f.open() != Err::None) return 1;
    testing::setPerson(q, 2, "Hal", "Rome");
    if (f.add() != Err::None) return 2;
    c.tell();
    c.await();
    return 0;
  });
  ASSERT_EQ(holder.awaitChild(), '.');
  {
    Person p;
    File f(testing::personDecl(p, name));
    ASSERT_EQ(f.open(), Err::None);
    ASSERT_EQ(std::rename((dir / "COPY.ZEZ").c_str(), file.c_str()), 0);
    testing::setPerson(p, 3, "Fay", "Rome");
    ASSERT_EQ(f.add(), Err::FileSystem);
  }
  newcomer.answer();
  ASSERT_EQ(newcomer.awaitChild(), '.');
  holder.answer();
  EXPECT_EQ(holder.wait(), 0);
  newcomer.answer();
  EXPECT_EQ(newcomer.wait(), 0);
  EXPECT_EQ(namesIn(name), "Cid,Hal") << "the new file's record went with the lost file";
}

}  // namespace
}  // namespace ov::db
