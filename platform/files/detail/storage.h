// One SQLCipher database per storage file, shared by every table of it that the process has open.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/rt/err.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ov::db::detail {

// Where a storage name ("RO97.ZEZ\!Contact", ".\OVTpl", "data/MSGLINK") points: the storage
// file's absolute path, with an existing file of another case preferred when the exact name is
// missing, and the table name (`label` when the name has no "\!" part).
struct StorageName {
  std::string path;
  std::string table;
};
StorageName resolveStorageName(std::string_view name, std::string_view label);

// A prepared statement that resets itself when the holder goes out of scope.
class Stmt {
 public:
  explicit Stmt(sqlite3_stmt* s = nullptr) : m_s(s) {}
  ~Stmt();
  Stmt(Stmt&& o) noexcept : m_s(o.m_s) { o.m_s = nullptr; }
  Stmt& operator=(Stmt&&) = delete;
  sqlite3_stmt* get() const { return m_s; }
  explicit operator bool() const { return m_s != nullptr; }

 private:
  sqlite3_stmt* m_s;
};

// A set of row ids kept as runs of consecutive ids: the rows a bulk ADD writes one after another
// take one run, whatever their number.
class RowRuns {
 public:
  void insert(int64_t id);
  bool empty() const { return m_runs.empty(); }
  size_t runs() const { return m_runs.size(); }
  template <class F>
  void forEach(F&& f) const {
    for (const auto& [first, last] : m_runs)
      for (int64_t id = first;; ++id) {
        f(id);
        if (id == last) break;
      }
  }

 private:
  std::map<int64_t, int64_t> m_runs;  // first id of a run -> its last
};

class Storage {
 public:
  ~Storage();

  // Opens (or, with `create`, creates) the storage at `path` with `password` ("" = plain), or
  // returns the one this process has open. `exclusive` asks that no other process has it open.
  static rt::Err acquire(const std::string& path, const std::string& password, bool create, bool exclusive,
                         std::shared_ptr<Storage>& out, std::string& detail);
  // The storages of this process found lost (checkPlace) since the last call, one text each; those
  // lost before have their WAL emptied again when it could not be at first.
  static std::vector<std::string> findLost();
  // Every storage this process has open at `path` (or null).
  static std::shared_ptr<Storage> find(const std::string& path);

  sqlite3* db() const { return m_db; }
  const std::string& path() const { return m_path; }

  // A cached prepared statement, reset on release; null (with `detail`) when it does not compile.
  Stmt prepare(const std::string& sql);
  rt::Err exec(const std::string& sql, std::string* detail = nullptr);
  // The error code for an SQLite result on this storage, with its detail text.
  rt::Err mapError(int rc, std::string* detail) const;

  // Write transactions. begin() opens one (or a savepoint inside the active one); end() commits
  // or rolls back the innermost. The busy wait is `timeoutMs`.
  rt::Err begin(int timeoutMs, std::string* detail = nullptr);
  rt::Err end(bool commit, std::string* detail = nullptr);
  int depth() const { return m_depth; }
  // An error when a transaction was begun here but SQLite has ended it on its own (it rolls a
  // transaction back after some failed writes, a full disk among them): writes must not go on
  // outside it, each committed on its own, until the transaction is ended here.
  rt::Err checkTransaction(std::string* detail) const;
  // Before a write: checkTransaction, and outside a transaction (a write committed on its own)
  // checkPlace.
  rt::Err checkWrite(std::string* detail);

  // Changes made through this process to a table, counted so read-ahead can be dropped;
  // touchAll() counts a change of every table (a rollback).
  uint64_t generation(const std::string& table) const;
  void touch(const std::string& table);
  void touchAll() { ++m_epoch; }

  // None while the file at path() is still the one this storage has open. Once another file has
  // taken its place (a copy renamed over it) or none is there any more, an error naming the file,
  // for good: what is written here would go to a file nobody finds again, and the WAL beside the
  // name would be read as the new file's. On finding it, the WAL is emptied into the lost file
  // (unless a program of ours has the new file open already), so a program opening the file now
  // at the path reads that file as it is.
  rt::Err checkPlace(std::string* detail);
  bool lost() const { return m_lost; }

  int defaultTimeoutMs() const { return m_timeoutMs; }
  // Reads every page: None when sound, else a text of the damage (`damaged` set).
  rt::Err quickCheck(std::string& detail, bool& damaged);
  const std::string& password() const { return m_password; }

  // The rows (table, row id) written through this connection in its open transaction; a change
  // over several storage files copies them into its intent record (commitTogether).
  const std::map<std::string, RowRuns, std::less<>>& touched() const { return m_touched; }

  // Waits until the copy of a large commit's WAL into the file, which runs beside the program on
  // a connection of its own, has ended (closing the storage waits for it as well).
  void waitForCheckpoint();

 private:
  static int onWalCommit(void* self, sqlite3* db, const char* name, int frames);
  // Starts (or asks the running one to repeat) the check-point beside the program; false when
  // it cannot run there and is to be done at once.
  bool checkpointBeside();
  void runCheckpoints(const std::string& key);  // the raw key, "" for a plain file
  rt::Err endLevel(bool commit, std::string* detail);
  static void onUpdate(void* self, int op, const char* db, const char* table, int64_t rowid);
  // Completes (or clears) the changes over several files that a program ended before finishing.
  bool completeIntents();  // false when some stay for a later open
  friend rt::Err commitTogether(const std::vector<std::shared_ptr<Storage>>&, std::string*);

  Storage() = default;
  sqlite3* m_db = nullptr;
  std::string m_path;
  std::string m_password;
  int m_lockFd = -1;
  uint64_t m_device = 0, m_inode = 0;  // of the file opened, to tell it from one put in its place
  bool m_lost = false;
  bool m_walReleased = false;  // the lost file's WAL emptied into it (or left to the new file's programs)
  std::string m_lostDetail;
  bool m_exclusive = false;
  int m_depth = 0;
  int m_timeoutMs = 10000;
  uint64_t m_epoch = 0;
  std::map<std::string, sqlite3_stmt*, std::less<>> m_stmts;
  std::map<std::string, uint64_t, std::less<>> m_generations;
  std::map<std::string, RowRuns, std::less<>> m_touched;
  std::thread m_checkpointer;
  std::mutex m_checkpointMutex;  // guards the two flags below
  bool m_checkpointRunning = false, m_checkpointAgain = false;
  friend struct StorageAccess;
};

// Commits the open transactions of `storages` (each at depth 1) as one change. With changes in
// more than one of them, the first to commit also stores an intent record: a copy of every row
// the others changed. The next open of that file completes a change that a program ended before
// all files had committed, so no kill leaves one file changed and another not.
rt::Err commitTogether(const std::vector<std::shared_ptr<Storage>>& storages, std::string* detail);

// Seam for tests: called with the number of storages committed so far during commitTogether.
void setCommitSeam(void (*seam)(int committed));

// Copies the storage file at `path` (owner `password`, "" = plain) as one commit left it into a
// new file `target` with the same password, through the database's online backup: Made;
// NotDataFile when `path` does not read as a data file with that password (an empty file, a
// text, a foreign or a damaged file), nothing written; Failed with `detail` when it is one and could not be copied.
enum class SnapshotResult { Made, NotDataFile, Failed };
SnapshotResult snapshotStorage(const std::string& path, const std::string& password, const std::string& target,
                               int timeoutMs, std::string& detail);

// The process-wide lock that every file operation holds.
std::recursive_mutex& fileLock();

// The WAL pages (8 KiB each) from which a commit's check-point runs beside the program (4,096);
// smaller WALs are check-pointed as each commit ends, from 1,000 pages. A test sets it lower.
void setBesideCheckpointPages(int pages);

// Seams for tests: the next `n` bytes written to storage files succeed, then writes fail as on a
// full disk (negative: never). Applies to storages opened afterwards.
void setWriteBudget(int64_t n);

}  // namespace ov::db::detail
