// A backup taken while another process keeps writing a data file: every archived data file is one
// committed state of it, which the restore brings back whole.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#define SQLITE_HAS_CODEC
#include <sqlcipher/sqlite3.h>

#include <memory>
#include <string>

#include "backup/backup_runner.h"
#include "backup/tests/test_util.h"
#include "datalib/globals.h"
#include "platform/files/detail/storage.h"
#include "platform/rt/command_line.h"
#include "platform/ui/testing/scripted_host.h"

using namespace ov::backup;
using namespace ov::backup::test;
using ov::db::detail::Storage;

namespace {

const std::string kOwner(ov::files::kMasterFileOwner);

// The writer: fills the file, says so through `ready`, then commits one transaction after another
// until it is killed. Each adds row n to "t" and sets the one row of "total" to n, so a copy that
// mixes two moments shows as a count, a largest n and a total that disagree.
[[noreturn]] void writer(const std::string& path, int ready) {
  std::shared_ptr<Storage> s;
  std::string detail;
  if (Storage::acquire(path, kOwner, true, false, s, detail) != ov::rt::Err::None) _exit(2);
  // Frequent check-points: the file itself changes all the time, not only its journal.
  s->exec("PRAGMA wal_autocheckpoint=20");
  s->exec("CREATE TABLE IF NOT EXISTS t(n INTEGER PRIMARY KEY, payload BLOB)");
  s->exec("CREATE TABLE IF NOT EXISTS total(n INTEGER)");
  s->exec("INSERT INTO total VALUES(0)");
  for (long n = 1;; ++n) {
    if (s->begin(10000) != ov::rt::Err::None) _exit(3);
    s->exec("INSERT INTO t VALUES(" + std::to_string(n) + ", randomblob(3000))");
    s->exec("UPDATE total SET n=" + std::to_string(n));
    if (s->end(true) != ov::rt::Err::None) _exit(4);
    if (n == 3000) (void)!::write(ready, "r", 1);
  }
}

long long single(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  long long v = -1;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    v = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  return v;
}

std::string text(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  std::string v = "(no answer)";
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    v = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  return v;
}

TEST(ConsistentBackup, DataFilesWrittenDuringTheBackupRestoreAsOneCommittedState) {
  Scratch scratch;
  ov::ui::test::ScriptedHost host;  // quiet runs: a box would fail the test
  fs::create_directories(scratch.work() / "data");
  writeFile(scratch.work() / "data" / "OV98.INI", "[Settings]");
  const std::string data = (scratch.work() / "data" / "RO97.ZEZ").string();
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) writer(data, pipeFds[1]);
  // The writer goes with the test, however it ends (a failed assertion returns early).
  struct Stop {
    pid_t pid;
    int status = 0;
    bool stopped = false;
    void now() {
      if (stopped) return;
      stopped = true;
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
    ~Stop() { now(); }
  } stop{pid};
  ::close(pipeFds[1]);
  char c = 0;
  ASSERT_EQ(::read(pipeFds[0], &c, 1), 1) << "the writer did not get going";
  ::close(pipeFds[0]);

  for (int round = 1; round <= 3; ++round) {
    SCOPED_TRACE("backup " + std::to_string(round));
    const std::string archive = "b" + std::to_string(round) + ".zip";
    ov::rt::setCommandLine("qmtback BACKUP=" + archive + " PATH=data");
    ASSERT_EQ(BackupOperation(MainSetup(readRunnerCommand()).backup).RunNow(), kExitSucceeded);
    const std::set<std::string> names = zipNames(scratch.work() / archive);
    EXPECT_TRUE(names.count("RO97.ZEZ") && names.count("OV98.INI"));
    // The journal keeps its place in the archive, empty: the copy holds what it held.
    if (names.count("RO97.ZEZ-wal")) {
      EXPECT_EQ(run("unzip -p " + archive + " RO97.ZEZ-wal").size(), 0u);
    }

    const std::string folder = "restored" + std::to_string(round);
    ov::rt::setCommandLine("qmtback RESTORE=" + archive + " PATH=" + folder);
    ASSERT_EQ(RestoreOperation(MainSetup(readRunnerCommand()).restore).RunNow(), kExitSucceeded);
    EXPECT_EQ(readFile(scratch.work() / folder / "OV98.INI"), "[Settings]") << "other files as they are";

    std::shared_ptr<Storage> s;
    std::string detail;
    ASSERT_EQ(Storage::acquire((scratch.work() / folder / "RO97.ZEZ").string(), kOwner, false, false, s, detail),
              ov::rt::Err::None)
        << detail;
    EXPECT_EQ(text(s->db(), "PRAGMA integrity_check"), "ok");
    const long long count = single(s->db(), "SELECT count(*) FROM t");
    EXPECT_GE(count, 3000);
    EXPECT_EQ(single(s->db(), "SELECT min(n) FROM t"), 1);
    EXPECT_EQ(single(s->db(), "SELECT max(n) FROM t"), count) << "a prefix of the writes, without gaps";
    EXPECT_EQ(single(s->db(), "SELECT n FROM total"), count) << "both tables from the same commit";
    EXPECT_EQ(single(s->db(), "SELECT count(*) FROM t WHERE length(payload) <> 3000"), 0);
  }
  stop.now();
  EXPECT_TRUE(WIFSIGNALED(stop.status)) << "the writer stopped on its own with " << WEXITSTATUS(stop.status);
}

TEST(ConsistentBackup, AFileThatIsNoDataFileIsArchivedAsItIs) {
  Scratch scratch;
  ov::ui::test::ScriptedHost host;
  // An empty file, a text, bytes that look like nothing, a damaged data file (its header and
  // nothing behind it) and a journal without a data file.
  writeFile(scratch.work() / "data" / "EMPTY.TPS", "");
  std::string damaged(16384, '\0');
  damaged.replace(0, 16, std::string("SQLite format 3\0", 16));
  damaged[16] = 0x20;  // page size 8192
  damaged[21] = 64;    // the fixed payload fractions: a header that reads
  damaged[22] = 32;
  damaged[23] = 32;
  damaged[31] = 2;     // two pages; the first holds no valid tree
  writeFile(scratch.work() / "data" / "DAMAGED.TPS", damaged);
  writeFile(scratch.work() / "data" / "notes.txt", "some notes");
  writeFile(scratch.work() / "data" / "noise.bin", std::string(8192, '\x5a'));
  writeFile(scratch.work() / "data" / "lonely-wal", "not a journal of anything");
  ov::rt::setCommandLine("qmtback BACKUP=b.zip PATH=data");
  ASSERT_EQ(BackupOperation(MainSetup(readRunnerCommand()).backup).RunNow(), kExitSucceeded);
  for (const char* f : {"EMPTY.TPS", "DAMAGED.TPS", "notes.txt", "noise.bin", "lonely-wal"})
    EXPECT_EQ(run(std::string("unzip -p b.zip ") + f), readFile(scratch.work() / "data" / f)) << f;
}

}  // namespace
