// The qmtback program run as a process on a data folder: what a backup takes by default, a
// restore from an archive with a damaged last member, and a restore while a program has the data
// open (another process writing through the table layer, the main program on the folder).
#include <gtest/gtest.h>

#include "backup/restore_swap.h"
#include "backup/tests/test_util.h"
#include "platform/files/file.h"
#include "platform/files/tests/fixture.h"
#include "platform/files/tests/process.h"
#include "platform/os/instance_lock.h"
#include "platform/os/win_msg.h"

using namespace ov::backup::test;
using ov::db::File;
using ov::db::testing::Child;
using ov::db::testing::Person;
using ov::db::testing::personDecl;
using ov::rt::Err;

namespace {

class RestoreProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    data = scratch.work() / "data";
    // Data files of every kind of name the main program uses.
    for (const char* f : {"RO97.ZEZ", "OVCLPBRD.TPS", "OVTpl", "MSGLINK", "OVACTN", "ZZLAST.TPS"})
      writeFile(data / f, std::string("old ") + f);
  }
  // Runs qmtback in the work folder; its exit status, and its output in `out`.
  int qmtback(const std::string& args, std::string& out) {
    const std::string env = "cd '" + scratch.work().string() + "' && XDG_CONFIG_HOME='" +
                            (scratch.root() / "config").string() + "' QT_QPA_PLATFORM=offscreen timeout 60 ";
    int status = -1;
    out = run(env + std::string(OV_BIN_DIR) + "/qmtback " + args, &status);
    return status;
  }
  // Names in the data folder (hidden ones included: a staging folder left behind shows).
  std::set<std::string> dataNames() {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(data)) names.insert(e.path().filename().string());
    return names;
  }
  Scratch scratch;
  fs::path data;
};

TEST_F(RestoreProgram, BackupsTakeEveryDataFileWhateverItsName) {
  const std::set<std::string> all{"RO97.ZEZ", "OVCLPBRD.TPS", "OVTpl", "MSGLINK", "OVACTN", "ZZLAST.TPS"};
  std::string out;
  // No FILES: every file of the folder; the archive itself, written there, is left out.
  ASSERT_EQ(qmtback("BACKUP=data/all.zip PATH=data", out), 0) << out;
  EXPECT_EQ(zipNames(data / "all.zip"), all);
  fs::remove(data / "all.zip");
  // "*.*" finds the names without a dot too.
  ASSERT_EQ(qmtback("BACKUP=star.zip PATH=data FILES=*.*", out), 0) << out;
  EXPECT_EQ(zipNames(scratch.work() / "star.zip"), all);
  ASSERT_EQ(qmtback("BACKUP=dotless.zip PATH=data \"FILES=OVTPL.*;msglink\"", out), 0) << out;
  EXPECT_EQ(zipNames(scratch.work() / "dotless.zip"), (std::set<std::string>{"OVTpl", "MSGLINK"}));

  // A restore (FILES "*.*" by default) brings every one of them back.
  ASSERT_EQ(qmtback("RESTORE=star.zip PATH=back", out), 0) << out;
  for (const std::string& f : all) EXPECT_EQ(readFile(scratch.work() / "back" / f), "old " + f) << f;
}

TEST_F(RestoreProgram, ADamagedLastMemberLeavesEveryDataFileAsItWas) {
  // The archive's members are stored as they are, the last one with a text to damage.
  const fs::path src = scratch.work() / "src";
  for (const char* f : {"RO97.ZEZ", "OVCLPBRD.TPS", "OVTpl"}) writeFile(src / f, std::string("new ") + f);
  writeFile(src / "ZZLAST.TPS", "new ZZLAST.TPS MARKER-TO-DAMAGE");
  int status = -1;
  std::string out = run("cd '" + src.string() + "' && zip -0 -X ../good.zip RO97.ZEZ OVCLPBRD.TPS OVTpl ZZLAST.TPS",
                        &status);
  ASSERT_EQ(status, 0) << out;
  std::string bytes = readFile(scratch.work() / "good.zip");
  const size_t at = bytes.find("MARKER-TO-DAMAGE");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'X';  // the stored data no longer matches its CRC
  writeFile(scratch.work() / "bad.zip", bytes);
  writeFile(data / "RO97.ZEZ-wal", "journal of the old RO97.ZEZ");
  const std::set<std::string> before = dataNames();

  EXPECT_EQ(qmtback("RESTORE=bad.zip PATH=data", out), 1) << out;
  EXPECT_NE(out.find("-15"), std::string::npos) << out;  // the CRC error
  for (const char* f : {"RO97.ZEZ", "OVCLPBRD.TPS", "OVTpl", "MSGLINK", "OVACTN", "ZZLAST.TPS"})
    EXPECT_EQ(readFile(data / f), std::string("old ") + f) << f;
  EXPECT_EQ(dataNames(), before);  // no staging folder left behind either

  // A file that cannot be put in place (a folder holds its name) puts back every one before it.
  fs::remove(data / "ZZLAST.TPS");
  writeFile(data / "ZZLAST.TPS" / "inside", "a folder's file");
  EXPECT_EQ(qmtback("RESTORE=good.zip PATH=data", out), 1) << out;
  EXPECT_NE(out.find("Every data file was left as it was."), std::string::npos) << out;
  for (const char* f : {"RO97.ZEZ", "OVCLPBRD.TPS", "OVTpl"}) EXPECT_EQ(readFile(data / f), std::string("old ") + f);
  EXPECT_EQ(readFile(data / "RO97.ZEZ-wal"), "journal of the old RO97.ZEZ");
  EXPECT_EQ(dataNames(), before);
  fs::remove_all(data / "ZZLAST.TPS");
  writeFile(data / "ZZLAST.TPS", "old ZZLAST.TPS");

  // The sound archive replaces them all; the old file's journal goes with the old file.
  ASSERT_EQ(qmtback("RESTORE=good.zip PATH=data", out), 0) << out;
  for (const char* f : {"RO97.ZEZ", "OVCLPBRD.TPS", "OVTpl"}) EXPECT_EQ(readFile(data / f), std::string("new ") + f);
  EXPECT_EQ(readFile(data / "ZZLAST.TPS"), "new ZZLAST.TPS MARKER-TO-DAMAGE");
  EXPECT_EQ(readFile(data / "MSGLINK"), "old MSGLINK");  // not in the archive: left alone
  std::set<std::string> after = before;
  after.erase("RO97.ZEZ-wal");
  EXPECT_EQ(dataNames(), after);
}

TEST_F(RestoreProgram, NothingIsReplacedWhileAProgramHasTheDataOpen) {
  std::string out;
  ASSERT_EQ(qmtback("BACKUP=old.zip PATH=data", out), 0) << out;

  // Another program opens a data file through the table layer and writes, before and after the
  // restore tries; none of its writes may be lost.
  const std::string table = (data / "OVACTN").string();
  fs::remove(table);
  Child writer([&](Child& self) {
    Person buf;
    File f(personDecl(buf, table));
    if (f.create() != Err::None || f.open() != Err::None) return 10;
    auto addBatch = [&](int from) {
      for (int id = from; id < from + 10; ++id) {
        f.clear();
        buf.id = id;
        buf.name = "writer";
        if (f.add() != Err::None) return false;
      }
      return true;
    };
    if (!addBatch(1)) return 11;
    self.tell();
    self.await();
    if (!addBatch(11)) return 12;
    return f.close() == Err::None ? 0 : 13;
  });
  ASSERT_TRUE(writer.started());
  ASSERT_EQ(writer.awaitChild(), '.');
  writeFile(data / "RO97.ZEZ", "changed RO97.ZEZ");

  EXPECT_EQ(qmtback("RESTORE=old.zip PATH=data", out), 1) << out;
  EXPECT_NE(out.find("in use by backup_tests (process "), std::string::npos) << out;
  EXPECT_NE(out.find("Nothing was restored."), std::string::npos) << out;
  EXPECT_EQ(readFile(data / "RO97.ZEZ"), "changed RO97.ZEZ");
  EXPECT_EQ(ov::backup::programsUsing(table).size(), 1u);

  writer.answer();
  ASSERT_EQ(writer.wait(), 0);
  {
    Person buf;
    File f(personDecl(buf, table));
    ASSERT_EQ(f.open(), Err::None);
    EXPECT_EQ(f.records(), 20);  // both batches are in the file the writer had open
    ASSERT_EQ(f.close(), Err::None);
  }
  EXPECT_TRUE(ov::backup::programsUsing(table).empty());

  // ov98 on a data folder holds the folder's lock and works in it (this process plays it): the
  // restore is refused even with no file open.
  using ov::os::InstanceLock;
  const fs::path folder = data / "a-data-folder-with-a-long-name";
  const fs::path inside = folder / "inside";
  fs::create_directories(inside);
  fs::current_path(folder);
  InstanceLock mainProgram;
  ASSERT_EQ(mainProgram.acquire(InstanceLock::dataFolderName(fs::canonical(folder).string())),
            ov::os::winerr::kSuccess);
  EXPECT_EQ(qmtback("RESTORE=old.zip PATH=data/a-data-folder-with-a-long-name", out), 1) << out;
  EXPECT_NE(out.find("ov98 is running on the data folder " + fs::canonical(folder).string()), std::string::npos)
      << out;
  // The lock's name comes from the start of the path only: a folder inside has the same one, but
  // ov98 does not work there, and a restore into it goes ahead.
  ASSERT_EQ(InstanceLock::dataFolderName(fs::canonical(inside).string()),
            InstanceLock::dataFolderName(fs::canonical(folder).string()));
  EXPECT_EQ(qmtback("RESTORE=old.zip PATH=data/a-data-folder-with-a-long-name/inside", out), 0) << out;
  EXPECT_EQ(readFile(inside / "RO97.ZEZ"), "old RO97.ZEZ");
  fs::current_path(scratch.work());
  mainProgram.release();
  fs::remove_all(folder);

  // With everything closed the restore goes ahead.
  ASSERT_EQ(qmtback("RESTORE=old.zip PATH=data", out), 0) << out;
  EXPECT_EQ(readFile(table), "old OVACTN");
  EXPECT_EQ(readFile(data / "RO97.ZEZ"), "old RO97.ZEZ");
}

}  // namespace
