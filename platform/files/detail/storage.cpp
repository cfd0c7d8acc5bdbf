#include "platform/files/detail/storage.h"

#define SQLITE_HAS_CODEC
#include <sqlcipher/sqlite3.h>

#include <dirent.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <optional>
#include <random>
#include <tuple>

#include "platform/files/detail/key_codec.h"
#include "platform/rt/text.h"

namespace ov::db::detail {
namespace {

// Process-wide tables are never destroyed: data files declared as globals close at exit, after
// function-local statics would be gone.
std::map<std::string, std::weak_ptr<Storage>>& registry() {
  static auto* r = new std::map<std::string, std::weak_ptr<Storage>>;
  return *r;
}

std::string currentFolder() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The name of an entry of `folder` equal to `name` when case is ignored, or "".
std::string findIgnoringCase(const std::string& folder, const std::string& name) {
  DIR* d = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (!d) return {};
  std::string want = rt::UPPER(name), found;
  while (dirent* e = ::readdir(d)) {
    if (rt::UPPER(e->d_name) == want) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

// The owner password turned into a raw 256-bit key once per process, so each open costs no
// key derivation. The salt is fixed: every program must reach the same key from the password.
std::string rawKey(const std::string& password) {
  static auto& cache = *new std::map<std::string, std::string>;
  auto it = cache.find(password);
  if (it != cache.end()) return it->second;
  static const unsigned char kSalt[] = "Orvane data files";
  unsigned char key[32];
  PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), kSalt, sizeof kSalt - 1, 64000,
                    EVP_sha256(), sizeof key, key);
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "x'";
  for (unsigned char c : key) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  out += "'";
  return cache.emplace(password, out).first->second;
}

bool isNetworkFolder(const std::string& path) {
  std::string folder = path.substr(0, path.find_last_of('/') + 1);
  struct statfs fs;
  if (::statfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969:      // NFS
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x517B:      // SMB
    case 0x65735546:  // FUSE (sshfs and the like)
      return true;
    default:
      return false;
  }
}

// ---- locks that belong to SQLite's own descriptors ----
//
// SQLite locks its files with POSIX record locks. Those belong to the process: closing any
// descriptor of the file drops all of them, so a file dialog or a copy that opens a data file and
// closes it again would leave the process reading and writing without a lock, and another
// program would take the file for its own (check-point it, delete its WAL). Open file
// description locks belong to the descriptor SQLite opened and go only with it; they conflict
// with POSIX locks of other processes as POSIX locks do. The process keeps one connection per
// storage file (the registry below), which is what these locks need: two connections of one
// process to one file would now exclude each other.

int ofdFcntl(int fd, int op, ...) {
  va_list ap;
  va_start(ap, op);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  if (op == F_SETLK || op == F_SETLKW || op == F_GETLK) {
    struct flock lock = *static_cast<struct flock*>(arg);
    lock.l_pid = 0;  // required by the open file description commands
    int ofdOp = op == F_SETLK ? F_OFD_SETLK : op == F_SETLKW ? F_OFD_SETLKW : F_OFD_GETLK;
    int rc = ::fcntl(fd, ofdOp, &lock);
    if (op == F_GETLK && rc == 0) *static_cast<struct flock*>(arg) = lock;
    return rc;
  }
  return ::fcntl(fd, op, arg);
}

bool g_descriptorLocks = false;  // SQLite's locks belong to its own descriptors

// A read lock on SQLite's shared-lock bytes through a descriptor of our own: while it is held no
// connection gets the exclusive lock a last close needs to check-point the WAL into the file.
void holdSharedLock(int fd) {
  struct flock shared{};
  shared.l_type = F_RDLCK;
  shared.l_whence = SEEK_SET;
  shared.l_start = 0x40000002;  // after SQLite's pending and reserved bytes
  shared.l_len = 510;
  (void)::fcntl(fd, F_OFD_SETLK, &shared);
}

void useDescriptorLocks() {
  static std::once_flag once;
  std::call_once(once, [] {
    sqlite3_vfs* unix = sqlite3_vfs_find("unix");
    if (!unix || unix->iVersion < 3 || !unix->xSetSystemCall) return;
    // Kernels before 3.15 lack them: keep SQLite's own locks there.
    int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    struct flock probe{};
    probe.l_type = F_RDLCK;
    bool supported = fd >= 0 && ::fcntl(fd, F_OFD_GETLK, &probe) == 0;
    if (fd >= 0) ::close(fd);
    if (supported) unix->xSetSystemCall(unix, "fcntl", reinterpret_cast<sqlite3_syscall_ptr>(ofdFcntl));
    g_descriptorLocks = supported;
  });
}

// ---- a VFS that fails writes once a byte budget is spent (the full-disk seam of the tests) ----

std::atomic<int64_t> g_budget{-1};
std::atomic<int> g_besidePages{4096};
bool g_budgetArmed = false;

struct FaultFile {
  sqlite3_file base;
  sqlite3_file* real;
};

sqlite3_vfs* g_realVfs = nullptr;
sqlite3_io_methods g_faultMethods;

sqlite3_file* realOf(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f)->real; }

int faultWrite(sqlite3_file* f, const void* data, int n, sqlite3_int64 off) {
  if (g_budget.load() >= 0) {
    if (g_budget.fetch_sub(n) < n) {
      g_budget.store(0);
      return SQLITE_FULL;
    }
  }
  return realOf(f)->pMethods->xWrite(realOf(f), data, n, off);
}

int faultOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* f, int flags, int* outFlags) {
  auto* ff = reinterpret_cast<FaultFile*>(f);
  ff->real = reinterpret_cast<sqlite3_file*>(ff + 1);
  ff->base.pMethods = nullptr;
  int rc = g_realVfs->xOpen(g_realVfs, name, ff->real, flags, outFlags);
  (void)vfs;
  if (rc != SQLITE_OK || !ff->real->pMethods) return rc;
  static std::once_flag once;
  std::call_once(once, [&] {
    const sqlite3_io_methods* m = ff->real->pMethods;
    g_faultMethods = *m;
    g_faultMethods.xClose = [](sqlite3_file* f) { return realOf(f)->pMethods->xClose(realOf(f)); };
    g_faultMethods.xRead = [](sqlite3_file* f, void* d, int n, sqlite3_int64 o) {
      return realOf(f)->pMethods->xRead(realOf(f), d, n, o);
    };
    g_faultMethods.xWrite = faultWrite;
    g_faultMethods.xTruncate = [](sqlite3_file* f, sqlite3_int64 n) { return realOf(f)->pMethods->xTruncate(realOf(f), n); };
    g_faultMethods.xSync = [](sqlite3_file* f, int fl) { return realOf(f)->pMethods->xSync(realOf(f), fl); };
    g_faultMethods.xFileSize = [](sqlite3_file* f, sqlite3_int64* n) { return realOf(f)->pMethods->xFileSize(realOf(f), n); };
    g_faultMethods.xLock = [](sqlite3_file* f, int l) { return realOf(f)->pMethods->xLock(realOf(f), l); };
    g_faultMethods.xUnlock = [](sqlite3_file* f, int l) { return realOf(f)->pMethods->xUnlock(realOf(f), l); };
    g_faultMethods.xCheckReservedLock = [](sqlite3_file* f, int* r) {
      return realOf(f)->pMethods->xCheckReservedLock(realOf(f), r);
    };
    g_faultMethods.xFileControl = [](sqlite3_file* f, int op, void* a) {
      return realOf(f)->pMethods->xFileControl(realOf(f), op, a);
    };
    g_faultMethods.xSectorSize = [](sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); };
    g_faultMethods.xDeviceCharacteristics = [](sqlite3_file* f) {
      return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f));
    };
    if (m->iVersion >= 2) {
      g_faultMethods.xShmMap = [](sqlite3_file* f, int p, int sz, int e, void volatile** out) {
        return realOf(f)->pMethods->xShmMap(realOf(f), p, sz, e, out);
      };
      g_faultMethods.xShmLock = [](sqlite3_file* f, int o, int n, int fl) {
        return realOf(f)->pMethods->xShmLock(realOf(f), o, n, fl);
      };
      g_faultMethods.xShmBarrier = [](sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); };
      g_faultMethods.xShmUnmap = [](sqlite3_file* f, int d) { return realOf(f)->pMethods->xShmUnmap(realOf(f), d); };
    }
    if (m->iVersion >= 3) {
      g_faultMethods.xFetch = [](sqlite3_file* f, sqlite3_int64 o, int n, void** p) {
        return realOf(f)->pMethods->xFetch(realOf(f), o, n, p);
      };
      g_faultMethods.xUnfetch = [](sqlite3_file* f, sqlite3_int64 o, void* p) {
        return realOf(f)->pMethods->xUnfetch(realOf(f), o, p);
      };
    }
  });
  ff->base.pMethods = &g_faultMethods;
  return rc;
}

const char* faultVfsName() {
  static sqlite3_vfs vfs;
  static std::once_flag once;
  std::call_once(once, [] {
    g_realVfs = sqlite3_vfs_find(nullptr);
    vfs = *g_realVfs;
    vfs.zName = "ov_fault";
    vfs.szOsFile = static_cast<int>(sizeof(FaultFile)) + g_realVfs->szOsFile;
    vfs.xOpen = faultOpen;
    vfs.pNext = nullptr;
    sqlite3_vfs_register(&vfs, 0);
  });
  return "ov_fault";
}

// ov_key('<layout>', v1, v2, ...): the encoded key of the values, each encoded as the layout says:
// two characters per value, its kind (i integer, r real, t text with case ignored, T text with
// case significant) and its direction (+ or -). The keys' indexes are on this expression.
void keyFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const char* spec = argc > 0 ? reinterpret_cast<const char*>(sqlite3_value_text(argv[0])) : nullptr;
  size_t specLen = spec ? std::strlen(spec) : 0;
  // Called for every key of every record written or compared: the buffer is kept between calls.
  thread_local std::string out;
  out.clear();
  for (int i = 1; i < argc; ++i) {
    size_t at = static_cast<size_t>(2 * (i - 1));
    char kind = at < specLen ? spec[at] : 't';
    bool descending = at + 1 < specLen && spec[at + 1] == '-';
    switch (kind) {
      case 'i': encodeInteger(sqlite3_value_int64(argv[i]), descending, out); break;
      case 'r': encodeNumber(sqlite3_value_double(argv[i]), descending, out); break;
      default: {
        const char* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[i]));
        encodeText(std::string_view(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(argv[i]))), kind == 'T',
                   descending, out);
        break;
      }
    }
  }
  sqlite3_result_blob(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

}  // namespace

std::recursive_mutex& fileLock() {
  static auto* m = new std::recursive_mutex;
  return *m;
}

void setWriteBudget(int64_t n) {
  g_budget.store(n);
  g_budgetArmed = g_budgetArmed || n >= 0;
}

StorageName resolveStorageName(std::string_view name, std::string_view label) {
  StorageName out;
  std::string file(name);
  size_t bang = std::string::npos;
  for (size_t i = 0; i + 1 < file.size(); ++i) {
    if ((file[i] == '\\' || file[i] == '/') && file[i + 1] == '!') {
      bang = i;
      break;
    }
  }
  if (bang != std::string::npos) {
    out.table = file.substr(bang + 2);
    file.resize(bang);
  } else {
    out.table = std::string(label);
  }
  while (!file.empty() && file.back() == ' ') file.pop_back();
  for (char& c : file)
    if (c == '\\') c = '/';
  while (file.size() >= 2 && file[0] == '.' && file[1] == '/') file.erase(0, 2);
  if (file.empty() || file[0] != '/') file = currentFolder() + "/" + file;
  if (!exists(file)) {
    size_t slash = file.find_last_of('/');
    std::string folder = file.substr(0, slash), base = file.substr(slash + 1);
    std::string other = findIgnoringCase(folder, base);
    if (!other.empty()) file = folder + "/" + other;
  }
  char real[PATH_MAX];
  if (::realpath(file.c_str(), real)) {
    out.path = real;
  } else {
    size_t slash = file.find_last_of('/');
    std::string folder = file.substr(0, slash);
    out.path = ::realpath(folder.empty() ? "/" : folder.c_str(), real) ? std::string(real) + file.substr(slash) : file;
  }
  return out;
}

Stmt::~Stmt() {
  if (m_s) {
    sqlite3_reset(m_s);
    sqlite3_clear_bindings(m_s);
  }
}

Storage::~Storage() {
  waitForCheckpoint();
  // SQLite leaves the WAL as it is when it closes a file that is no longer at its name; it must
  // not stay for the file now there.
  if (m_db && m_depth == 0) (void)checkPlace(nullptr);
  // Nor may the last connection to the lost file check-point the WAL into it (and remove it) as
  // it closes: what is in the WAL then is the new file's. SQLite does that only with an
  // exclusive lock on the file, which a read lock on the shared bytes through a descriptor of
  // our own withholds (the locks belong to descriptors, so ours conflicts with SQLite's).
  if (m_db && m_lost && m_lockFd >= 0) holdSharedLock(m_lockFd);
  for (auto& [sql, s] : m_stmts) sqlite3_finalize(s);
  if (m_db) sqlite3_close_v2(m_db);
  if (m_lockFd >= 0) ::close(m_lockFd);  // only now: closing it earlier would drop SQLite's locks
  registry().erase(m_path);
}

std::vector<std::string> Storage::findLost() {
  std::vector<std::shared_ptr<Storage>> open;  // held apart: a storage let go ends its registry entry
  for (const auto& [path, weak] : registry())
    if (auto s = weak.lock()) open.push_back(std::move(s));
  std::vector<std::string> found;
  for (const auto& s : open) {
    bool before = s->m_lost;
    std::string detail;
    if (s->checkPlace(&detail) != rt::Err::None && !before) found.push_back(detail);
  }
  return found;
}

std::shared_ptr<Storage> Storage::find(const std::string& path) {
  auto it = registry().find(path);
  return it == registry().end() ? nullptr : it->second.lock();
}

rt::Err Storage::acquire(const std::string& path, const std::string& password, bool create, bool exclusive,
                         std::shared_ptr<Storage>& out, std::string& detail) {
  if (auto s = find(path)) {
    if (rt::Err err = s->checkPlace(&detail); err != rt::Err::None) return err;
    if (s->m_password != password) {
      detail = path + ": open with another owner password";
      return rt::Err::NoAccess;
    }
    if (exclusive && !s->m_exclusive) {
      if (::flock(s->m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        detail = path + ": in use by another program";
        return rt::Err::NoAccess;
      }
      s->m_exclusive = true;
    }
    out = s;
    return rt::Err::None;
  }
  struct stat st;
  bool present = ::stat(path.c_str(), &st) == 0;
  if (!present && !create) {
    detail = path + ": no such file";
    return rt::Err::NoFile;
  }
  if (present && !S_ISREG(st.st_mode)) {
    detail = path + ": not a file";
    return rt::Err::BadName;
  }
  std::shared_ptr<Storage> s(new Storage);
  s->m_path = path;
  s->m_password = password;
  s->m_lockFd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
  if (s->m_lockFd < 0) {
    int e = errno;
    detail = path + ": " + std::strerror(e);
    return e == ENOENT ? rt::Err::NoFile : e == EACCES || e == EPERM || e == EROFS ? rt::Err::NoAccess
                                                                                    : rt::Err::FileSystem;
  }
  if (struct stat held; ::fstat(s->m_lockFd, &held) == 0) {
    s->m_device = held.st_dev;
    s->m_inode = held.st_ino;
  }
  if (::flock(s->m_lockFd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    detail = path + (exclusive ? ": in use by another program" : ": opened exclusively by another program");
    return rt::Err::NoAccess;
  }
  s->m_exclusive = exclusive;
  useDescriptorLocks();
  auto connect = [&](int flags, sqlite3*& db) {
    int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, g_budgetArmed ? faultVfsName() : nullptr);
    if (rc != SQLITE_OK) return rc;
    // Before the first read: another program may be writing (or recovering the journal) just
    // then, and the first read must wait for it rather than fail with "database is locked".
    sqlite3_busy_timeout(db, s->m_timeoutMs);
    if (!password.empty()) {
      const std::string& key = rawKey(password);
      sqlite3_key(db, key.data(), static_cast<int>(key.size()));
      // Pages of 8 KiB: an eighth of the per-page encryption work of the default and flatter keys.
      (void)sqlite3_exec(db, "PRAGMA cipher_page_size = 8192", nullptr, nullptr, nullptr);
    } else {
      (void)sqlite3_exec(db, "PRAGMA page_size = 8192", nullptr, nullptr, nullptr);
    }
    return sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  };
  // The key and the format are tried on a read-only connection first: one that cannot read the
  // file must not check-point a WAL into it (or change anything else) as it closes.
  sqlite3* probe = nullptr;
  int rc = connect(SQLITE_OPEN_READONLY, probe);
  std::string probeError = probe ? sqlite3_errmsg(probe) : sqlite3_errstr(rc);
  sqlite3_close_v2(probe);
  if ((rc & 0xFF) == SQLITE_NOTADB) {
    char head[16] = {};
    ssize_t got = ::pread(s->m_lockFd, head, sizeof head, 0);  // a descriptor of our own, kept open
    bool plain = got == 16 && std::memcmp(head, "SQLite format 3", 16) == 0;
    bool pageSized = st.st_size > 0 && st.st_size % 1024 == 0;
    if (!password.empty() && !plain && pageSized) {
      detail = path + ": wrong owner password";
      return rt::Err::NoAccess;
    }
    if (password.empty() && pageSized && !plain) {
      detail = path + ": the file is encrypted and no owner password was given";
      return rt::Err::NoAccess;
    }
    detail = path + (plain ? ": not an encrypted data file" : ": not a data file");
    return rt::Err::FileSystem;
  }
  if ((rc & 0xFF) == SQLITE_CORRUPT) {
    detail = path + ": the data file is damaged (" + probeError + ")";
    return rt::Err::FileSystem;
  }
  rc = connect(SQLITE_OPEN_READWRITE, s->m_db);
  if (!s->m_db) {
    detail = path + ": " + sqlite3_errstr(rc);
    return rt::Err::FileSystem;
  }
  sqlite3_create_function_v2(s->m_db, "ov_key", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, keyFunction, nullptr,
                             nullptr, nullptr);
  if (rc != SQLITE_OK) return s->mapError(rc, &detail);
  sqlite3_busy_timeout(s->m_db, s->m_timeoutMs);
  sqlite3_extended_result_codes(s->m_db, 1);
  const char* journal = isNetworkFolder(path) ? "PRAGMA journal_mode=DELETE" : "PRAGMA journal_mode=WAL";
  // A page cache of up to 64 MiB keeps the working set of a large table decrypted.
  // journal_size_limit=0: the last connection to close empties the WAL (it stays as a file).
  for (const char* sql : {journal, "PRAGMA synchronous=NORMAL", "PRAGMA foreign_keys=OFF", "PRAGMA cache_size=-65536",
                          "PRAGMA journal_size_limit=0"}) {
    rc = sqlite3_exec(s->m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return s->mapError(rc, &detail);
  }
  // The WAL stays when this connection is the last to close: a program that lost its locks to a
  // stray close elsewhere must still find the WAL it is using.
  int persist = 1;
  (void)sqlite3_file_control(s->m_db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
  // In place of SQLite's own check-point after a commit that leaves 1,000 pages or more in the WAL.
  sqlite3_wal_hook(s->m_db, onWalCommit, s.get());
  registry()[path] = s;
  s->completeIntents();
  out = s;
  return rt::Err::None;
}

Stmt Storage::prepare(const std::string& sql) {
  auto it = m_stmts.find(sql);
  if (it != m_stmts.end()) return Stmt(it->second);
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(m_db, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr) != SQLITE_OK) return Stmt();
  m_stmts.emplace(sql, s);
  return Stmt(s);
}

rt::Err Storage::exec(const std::string& sql, std::string* detail) {
  int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? rt::Err::None : mapError(rc, detail);
}

rt::Err Storage::mapError(int rc, std::string* detail) const {
  if (detail) *detail = m_path + ": " + sqlite3_errmsg(m_db);
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return rt::Err::None;
    case SQLITE_CONSTRAINT: return rt::Err::DupKey;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return rt::Err::IsLocked;
    case SQLITE_NOMEM: return rt::Err::NoMemory;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return rt::Err::NoAccess;
    case SQLITE_FULL:
      if (detail) *detail = m_path + ": the disk is full";
      return rt::Err::FileSystem;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      if (detail) *detail = m_path + ": the data file is damaged (" + sqlite3_errstr(rc) + ")";
      return rt::Err::FileSystem;
    default: return rt::Err::FileSystem;
  }
}

rt::Err Storage::checkTransaction(std::string* detail) const {
  if (m_depth == 0 || !sqlite3_get_autocommit(m_db)) return rt::Err::None;
  if (detail) *detail = m_path + ": the transaction was rolled back after an error";
  return rt::Err::FileSystem;
}

rt::Err Storage::checkWrite(std::string* detail) {
  if (rt::Err err = checkTransaction(detail); err != rt::Err::None) return err;
  return m_depth == 0 ? checkPlace(detail) : rt::Err::None;
}

rt::Err Storage::checkPlace(std::string* detail) {
  if (!m_lost) {
    struct stat st;
    bool there = ::stat(m_path.c_str(), &st) == 0;
    if (there && st.st_dev == m_device && st.st_ino == m_inode) return rt::Err::None;
    if (!there && errno != ENOENT && errno != ENOTDIR) return rt::Err::None;  // cannot tell (EACCES, EIO): as it was
    bool gone = !there;
    m_lost = true;
    m_lostDetail = m_path +
                   (gone ? ": the file was deleted or moved away while this program had it open"
                         : ": the file was replaced by another file while this program had it open") +
                   "; nothing more is saved into the file it had open. Close the program and start it again to "
                   "work with the file now there.";
  }
  if (!m_walReleased && m_depth == 0 && m_db && sqlite3_get_autocommit(m_db)) {
    // The WAL beside the name holds what was written to the lost file: it goes into that file and
    // the WAL is emptied, so that the file now there reads as it is. Once only: after that the
    // WAL is the new file's, and so it is as soon as one of our programs has the new file open
    // (its commits may be in it). Readers of the lost file in other programs may hold it up: a
    // short wait, tried again at the next look.
    int probe = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // whatever is there: a FIFO too
    bool newInUse = probe >= 0 && ::flock(probe, LOCK_EX | LOCK_NB) != 0;
    if (probe >= 0) ::close(probe);  // another file than SQLite's: no lock of ours goes with it
    if (newInUse) {
      m_walReleased = true;
    } else {
      sqlite3_busy_timeout(m_db, 200);
      m_walReleased =
          sqlite3_wal_checkpoint_v2(m_db, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) == SQLITE_OK;
      sqlite3_busy_timeout(m_db, m_timeoutMs);
    }
  }
  if (detail) *detail = m_lostDetail;
  return rt::Err::FileSystem;
}

rt::Err Storage::begin(int timeoutMs, std::string* detail) {
  if (rt::Err err = checkTransaction(detail); err != rt::Err::None) return err;
  if (m_depth == 0) {
    if (rt::Err err = checkPlace(detail); err != rt::Err::None) return err;
    sqlite3_busy_timeout(m_db, timeoutMs);
    rt::Err err = exec("BEGIN IMMEDIATE", detail);
    sqlite3_busy_timeout(m_db, m_timeoutMs);
    if (err != rt::Err::None) return err;
    m_touched.clear();
    sqlite3_update_hook(m_db, reinterpret_cast<void (*)(void*, int, const char*, const char*, sqlite3_int64)>(onUpdate),
                        this);
  } else if (rt::Err err = exec("SAVEPOINT s" + std::to_string(m_depth), detail); err != rt::Err::None) {
    return err;
  }
  ++m_depth;
  return rt::Err::None;
}

void RowRuns::insert(int64_t id) {
  auto next = m_runs.upper_bound(id);  // the first run that starts after `id`
  const bool joinsNext = next != m_runs.end() && id != INT64_MAX && next->first == id + 1;
  if (next != m_runs.begin()) {
    auto prev = std::prev(next);
    if (prev->second >= id) return;  // already in
    if (prev->second + 1 == id) {
      prev->second = id;
      if (joinsNext) {
        prev->second = next->second;
        m_runs.erase(next);
      }
      return;
    }
  }
  if (joinsNext) {
    const int64_t last = next->second;
    m_runs.erase(next);
    m_runs.emplace(id, last);
    return;
  }
  m_runs.emplace(id, id);
}

void Storage::onUpdate(void* self, int, const char*, const char* table, int64_t rowid) {
  if (std::strncmp(table, "_ov_", 4) == 0) return;  // holds, intents and the catalogue are our own
  auto& touched = static_cast<Storage*>(self)->m_touched;
  auto it = touched.find(std::string_view(table));
  if (it == touched.end()) it = touched.emplace(table, RowRuns{}).first;
  it->second.insert(rowid);
}

rt::Err Storage::end(bool commit, std::string* detail) {
  bool outermost = m_depth == 1;
  rt::Err err = endLevel(commit, detail);
  if (outermost) {
    sqlite3_update_hook(m_db, nullptr, nullptr);
    m_touched.clear();
  }
  return err;
}

rt::Err Storage::endLevel(bool commit, std::string* detail) {
  if (rt::Err err = checkTransaction(detail); err != rt::Err::None) {
    --m_depth;
    return m_depth == 0 && !commit ? rt::Err::None : err;  // a rollback asked for is done already
  }
  --m_depth;
  if (m_depth > 0) {
    std::string sp = "s" + std::to_string(m_depth);
    if (commit) return exec("RELEASE " + sp, detail);
    rt::Err err = exec("ROLLBACK TO " + sp, detail);
    (void)exec("RELEASE " + sp);  // the savepoint is empty after the rollback
    return err;
  }
  if (commit) {
    // A file put in the place of this one while the transaction ran: what it wrote is not saved.
    if (rt::Err err = checkPlace(detail); err != rt::Err::None) {
      (void)exec("ROLLBACK");
      (void)checkPlace(nullptr);  // now outside the transaction: the WAL goes to the lost file
      return err;
    }
    rt::Err err = exec("COMMIT", detail);
    if (err == rt::Err::None) return err;
    (void)exec("ROLLBACK");  // a failed commit leaves nothing half-done
    return err;
  }
  return sqlite3_get_autocommit(m_db) ? rt::Err::None : exec("ROLLBACK", detail);
}

// ---- check-points ----
//
// A commit leaves its pages in the WAL; a check-point copies them into the file. SQLite does it
// as the commit that fills the WAL past 1,000 pages ends, and so do we for a WAL of that size. A
// commit that leaves a much larger WAL (a large import, keys built for many records) would spend
// a good part of its time on the copy: the commit is made durable at once (the WAL synced, as
// the copy would first do) and the copy runs beside the program on a connection of its own,
// which readers and writers do not wait for. Closing the storage waits for it.

void setBesideCheckpointPages(int pages) { g_besidePages.store(pages); }

int Storage::onWalCommit(void* self, sqlite3* db, const char* name, int frames) {
  constexpr int kCheckpointPages = 1000;
  const int beside = g_besidePages.load();
  if (frames < std::min(kCheckpointPages, beside)) return SQLITE_OK;
  if (frames >= beside && static_cast<Storage*>(self)->checkpointBeside()) return SQLITE_OK;
  (void)sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  return SQLITE_OK;
}

bool Storage::checkpointBeside() {
  std::lock_guard lock(m_checkpointMutex);
  if (m_checkpointRunning) {  // it may have begun before this commit: it goes once more
    m_checkpointAgain = true;
    return true;
  }
  // Opening and closing a descriptor of our own is harmless only when SQLite's locks are not
  // the process's record locks.
  if (!g_descriptorLocks) return false;
  int fd = ::open((m_path + "-wal").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fdatasync(fd) == 0;
  ::close(fd);
  if (!synced) return false;
  if (m_checkpointer.joinable()) m_checkpointer.join();  // one that has ended
  m_checkpointRunning = true;
  m_checkpointer = std::thread([this, key = m_password.empty() ? std::string() : rawKey(m_password)] {
    runCheckpoints(key);
  });
  return true;
}

void Storage::runCheckpoints(const std::string& key) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                           g_budgetArmed ? faultVfsName() : nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, m_timeoutMs);
    if (!key.empty()) {
      sqlite3_key(db, key.data(), static_cast<int>(key.size()));
      (void)sqlite3_exec(db, "PRAGMA cipher_page_size = 8192", nullptr, nullptr, nullptr);
    }
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);  // opens the WAL
  }
  // A file put in the place of ours since the commit: the WAL at the name holds our pages, never
  // to be copied into that file.
  struct stat there{};
  const bool moved = ::stat(m_path.c_str(), &there) != 0 || there.st_dev != m_device || there.st_ino != m_inode;
  if (moved) rc = SQLITE_ABORT;
  for (;;) {
    // A failure leaves the pages in the WAL, where every reader finds them; the next commit's
    // check-point copies them.
    if (rc == SQLITE_OK) (void)sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    std::lock_guard lock(m_checkpointMutex);
    if (!m_checkpointAgain) {
      m_checkpointRunning = false;
      break;
    }
    m_checkpointAgain = false;
  }
  // Not the last connection to the file (the storage's own stays open until this has ended): the
  // close neither check-points nor removes the WAL. Where another file has come to the name this
  // may be that file's last connection: a shared lock of our own keeps SQLite from copying our WAL
  // into it as it closes.
  int guard = moved ? ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC) : -1;
  if (guard >= 0) holdSharedLock(guard);
  sqlite3_close_v2(db);
  if (guard >= 0) ::close(guard);
}

void Storage::waitForCheckpoint() {
  std::thread running;
  {
    std::lock_guard lock(m_checkpointMutex);
    running = std::move(m_checkpointer);
  }
  if (running.joinable()) running.join();
}

rt::Err Storage::quickCheck(std::string& detail, bool& damaged) {
  damaged = false;
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(m_db, "PRAGMA quick_check(1)", -1, &st, nullptr);
  std::string verdict;
  if (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(st, 0);
    verdict = t ? reinterpret_cast<const char*>(t) : "";
    rc = SQLITE_OK;
  }
  std::string message = rc == SQLITE_OK ? verdict : std::string(sqlite3_errmsg(m_db));
  sqlite3_finalize(st);
  if (rc == SQLITE_OK && verdict == "ok") return rt::Err::None;
  damaged = true;
  detail = m_path + ": the data file is damaged (" + message + ")";
  return rt::Err::FileSystem;
}

uint64_t Storage::generation(const std::string& table) const {
  auto it = m_generations.find(table);
  return m_epoch + (it == m_generations.end() ? 0 : it->second);
}

void Storage::touch(const std::string& table) { ++m_generations[table]; }

// ---- changes over several storage files ----

namespace {

void (*g_commitSeam)(int) = nullptr;

void seam(int committed) {
  if (g_commitSeam) g_commitSeam(committed);
}

std::string quoted(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string newIntentId() {
  static std::mt19937_64 gen{std::random_device{}() ^ (uint64_t(::getpid()) << 32)};
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  for (int half = 0; half < 2; ++half)
    for (uint64_t v = gen(), i = 0; i < 16; ++i, v >>= 4) id += kHex[v & 15];
  return id;
}

void putBytes(std::string& out, const void* data, uint32_t n) {
  out.append(reinterpret_cast<const char*>(&n), sizeof n);
  out.append(static_cast<const char*>(data), n);
}

// The stored row of `table` with `rowid` as an image (each column: name, type, value); false
// when there is no such row.
bool rowImage(Storage& s, const std::string& table, int64_t rowid, std::string& image) {
  Stmt st = s.prepare("SELECT * FROM " + quoted(table) + " WHERE rowid = ?1");
  if (!st) return false;
  sqlite3_bind_int64(st.get(), 1, rowid);
  if (sqlite3_step(st.get()) != SQLITE_ROW) return false;
  image.clear();
  for (int c = 0, n = sqlite3_column_count(st.get()); c < n; ++c) {
    const char* name = sqlite3_column_name(st.get(), c);
    putBytes(image, name, static_cast<uint32_t>(std::strlen(name)));
    int type = sqlite3_column_type(st.get(), c);
    image += static_cast<char>(type);
    switch (type) {
      case SQLITE_INTEGER: {
        int64_t v = sqlite3_column_int64(st.get(), c);
        image.append(reinterpret_cast<const char*>(&v), sizeof v);
        break;
      }
      case SQLITE_FLOAT: {
        double v = sqlite3_column_double(st.get(), c);
        image.append(reinterpret_cast<const char*>(&v), sizeof v);
        break;
      }
      case SQLITE_TEXT:
      case SQLITE_BLOB: {
        const void* v = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(st.get(), c))
                                            : sqlite3_column_blob(st.get(), c);
        putBytes(image, v, static_cast<uint32_t>(sqlite3_column_bytes(st.get(), c)));
        break;
      }
      default: break;
    }
  }
  return true;
}

// Writes a row image back under its row id; false when the image is damaged or the write fails.
bool writeImage(Storage& s, const std::string& table, int64_t rowid, std::string_view image) {
  struct Column {
    std::string name;
    int type;
    std::string_view value;
  };
  std::vector<Column> cols;
  size_t at = 0;
  auto take = [&](size_t n, std::string_view& out) {
    if (image.size() - at < n) return false;
    out = image.substr(at, n);
    at += n;
    return true;
  };
  auto takeSized = [&](std::string_view& out) {
    std::string_view len;
    if (!take(sizeof(uint32_t), len)) return false;
    uint32_t n;
    std::memcpy(&n, len.data(), sizeof n);
    return take(n, out);
  };
  while (at < image.size()) {
    std::string_view name, type, value;
    if (!takeSized(name) || !take(1, type)) return false;
    int t = static_cast<unsigned char>(type[0]);
    bool ok = t == SQLITE_INTEGER || t == SQLITE_FLOAT ? take(8, value)
              : t == SQLITE_TEXT || t == SQLITE_BLOB   ? takeSized(value)
                                                       : t == SQLITE_NULL;
    if (!ok) return false;
    cols.push_back({std::string(name), t, value});
  }
  std::string sql = "INSERT INTO " + quoted(table) + "(rowid", values = "?1";
  for (size_t i = 0; i < cols.size(); ++i) {
    sql += ", " + quoted(cols[i].name);
    values += ", ?" + std::to_string(i + 2);
  }
  Stmt st = s.prepare(sql + ") VALUES(" + values + ")");
  if (!st) return false;
  sqlite3_bind_int64(st.get(), 1, rowid);
  for (size_t i = 0; i < cols.size(); ++i) {
    int n = static_cast<int>(i + 2);
    const Column& c = cols[i];
    if (c.type == SQLITE_INTEGER || c.type == SQLITE_FLOAT) {
      int64_t iv;
      double dv;
      std::memcpy(&iv, c.value.data(), 8);
      std::memcpy(&dv, c.value.data(), 8);
      c.type == SQLITE_INTEGER ? sqlite3_bind_int64(st.get(), n, iv) : sqlite3_bind_double(st.get(), n, dv);
    } else if (c.type == SQLITE_TEXT) {
      sqlite3_bind_text(st.get(), n, c.value.data(), static_cast<int>(c.value.size()), SQLITE_TRANSIENT);
    } else if (c.type == SQLITE_BLOB) {
      sqlite3_bind_blob(st.get(), n, c.value.data(), static_cast<int>(c.value.size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(st.get(), n);
    }
  }
  return sqlite3_step(st.get()) == SQLITE_DONE;
}

constexpr const char* kIntentTable =
    "CREATE TABLE IF NOT EXISTS _ov_intent(id TEXT, peer TEXT, tbl TEXT, rid INTEGER, image BLOB)";
constexpr const char* kDoneTable = "CREATE TABLE IF NOT EXISTS _ov_intent_done(id TEXT PRIMARY KEY)";

bool hasMarker(Storage& s, const std::string& id) {
  Stmt st = s.prepare("SELECT 1 FROM _ov_intent_done WHERE id = ?1");
  if (!st) return false;
  sqlite3_bind_text(st.get(), 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
  return sqlite3_step(st.get()) == SQLITE_ROW;
}

void deleteWhereId(Storage& s, const char* table, const std::string& id) {
  Stmt st = s.prepare(std::string("DELETE FROM ") + table + " WHERE id = ?1");
  if (!st) return;
  sqlite3_bind_text(st.get(), 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
  (void)sqlite3_step(st.get());
}

}  // namespace

void setCommitSeam(void (*s)(int)) { g_commitSeam = s; }

rt::Err commitTogether(const std::vector<std::shared_ptr<Storage>>& storages, std::string* detail) {
  std::vector<Storage*> changed;
  for (const auto& s : storages)
    if (!s->touched().empty()) changed.push_back(s.get());
  Storage* lead = changed.empty() ? nullptr : changed.front();
  for (Storage* s : changed)
    if (!s->password().empty()) {  // an owner file leads: its records say most about the change
      lead = s;
      break;
    }
  auto rollbackAll = [&](rt::Err err) {
    for (const auto& s : storages) (void)s->end(false);
    return err;
  };

  std::string id;
  if (changed.size() > 1) {
    id = newIntentId();
    if (rt::Err err = lead->exec(kIntentTable, detail); err != rt::Err::None) return rollbackAll(err);
    for (Storage* peer : changed) {
      if (peer == lead) continue;
      if (rt::Err err = peer->exec(kDoneTable, detail); err != rt::Err::None) return rollbackAll(err);
      Stmt mark = peer->prepare("INSERT INTO _ov_intent_done(id) VALUES(?1)");
      Stmt note = lead->prepare("INSERT INTO _ov_intent(id, peer, tbl, rid, image) VALUES(?1, ?2, ?3, ?4, ?5)");
      if (!mark || !note) return rollbackAll(lead->mapError(SQLITE_ERROR, detail));
      sqlite3_bind_text(mark.get(), 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
      if (int rc = sqlite3_step(mark.get()); rc != SQLITE_DONE) return rollbackAll(peer->mapError(rc, detail));
      std::string image;
      for (const auto& [table, rows] : peer->touched()) {
        rt::Err failed = rt::Err::None;
        rows.forEach([&](int64_t rowid) {
          if (failed != rt::Err::None) return;
          sqlite3_reset(note.get());
          sqlite3_bind_text(note.get(), 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
          sqlite3_bind_text(note.get(), 2, peer->path().data(), static_cast<int>(peer->path().size()), SQLITE_TRANSIENT);
          sqlite3_bind_text(note.get(), 3, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
          sqlite3_bind_int64(note.get(), 4, rowid);
          if (rowImage(*peer, table, rowid, image))
            sqlite3_bind_blob(note.get(), 5, image.data(), static_cast<int>(image.size()), SQLITE_TRANSIENT);
          else
            sqlite3_bind_null(note.get(), 5);  // the row is gone
          if (int rc = sqlite3_step(note.get()); rc != SQLITE_DONE) failed = lead->mapError(rc, detail);
        });
        if (failed != rt::Err::None) return rollbackAll(failed);
      }
    }
  }

  // The lead first: once it has committed, the change is made, whatever happens to the rest.
  std::vector<Storage*> order;
  if (lead) order.push_back(lead);
  for (const auto& s : storages)
    if (s.get() != lead) order.push_back(s.get());
  // Every file is still in its place before the first commit: none of the change is made otherwise.
  for (Storage* s : order)
    if (rt::Err err = s->checkPlace(detail); err != rt::Err::None) return rollbackAll(err);
  rt::Err result = rt::Err::None;
  int committed = 0;
  seam(committed);
  for (Storage* s : order) {
    // After the lead committed with an intent record, the others commit whatever failed before.
    bool commit = result == rt::Err::None || (!id.empty() && committed > 0);
    rt::Err err = s->end(commit, detail);
    if (commit && err == rt::Err::None) seam(++committed);
    else if (err != rt::Err::None && result == rt::Err::None) result = err;
  }
  if (id.empty() || committed == 0) return result;
  if (result != rt::Err::None) {
    // A file that failed to commit takes the change from the intent record now, or at its next open.
    return lead->completeIntents() ? rt::Err::None : result;
  }
  deleteWhereId(*lead, "_ov_intent", id);
  for (Storage* peer : changed)
    if (peer != lead) deleteWhereId(*peer, "_ov_intent_done", id);
  return rt::Err::None;
}

bool Storage::completeIntents() {
  {
    Stmt has = prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '_ov_intent'");
    if (!has || sqlite3_step(has.get()) != SQLITE_ROW) return true;
  }
  if (m_depth != 0 || begin(m_timeoutMs) != rt::Err::None) return false;
  std::vector<std::pair<std::string, std::string>> intents;
  {
    Stmt st = prepare("SELECT DISTINCT id, peer FROM _ov_intent");
    while (st && sqlite3_step(st.get()) == SQLITE_ROW)
      intents.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)),
                           reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1)));
  }
  bool all = true;
  std::vector<std::pair<std::shared_ptr<Storage>, std::string>> done;
  for (const auto& [id, peerPath] : intents) {
    std::shared_ptr<Storage> peer = find(peerPath);
    std::string why;
    if (!peer && acquire(peerPath, m_password, false, false, peer, why) != rt::Err::None && !m_password.empty())
      (void)acquire(peerPath, "", false, false, peer, why);
    if (!peer || peer->depth() != 0 || peer->begin(peer->m_timeoutMs) != rt::Err::None) {
      all = false;
      continue;
    }
    bool ok = peer->exec(kDoneTable) == rt::Err::None;
    if (ok && !hasMarker(*peer, id)) {
      // Every row the change wrote is put back as it was committed in the other file: the rows
      // first go, then the images come back (a row may have taken another's key).
      Stmt rows = prepare("SELECT tbl, rid, image FROM _ov_intent WHERE id = ?1 AND peer = ?2 ORDER BY rowid");
      std::vector<std::tuple<std::string, int64_t, std::optional<std::string>>> images;
      sqlite3_bind_text(rows.get(), 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
      sqlite3_bind_text(rows.get(), 2, peerPath.data(), static_cast<int>(peerPath.size()), SQLITE_TRANSIENT);
      while (rows && sqlite3_step(rows.get()) == SQLITE_ROW) {
        std::optional<std::string> image;
        if (sqlite3_column_type(rows.get(), 2) != SQLITE_NULL)
          image.emplace(static_cast<const char*>(sqlite3_column_blob(rows.get(), 2)),
                        static_cast<size_t>(sqlite3_column_bytes(rows.get(), 2)));
        images.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(rows.get(), 0)),
                            sqlite3_column_int64(rows.get(), 1), std::move(image));
      }
      for (const auto& [table, rowid, image] : images) {
        Stmt del = peer->prepare("DELETE FROM " + quoted(table) + " WHERE rowid = ?1");
        if (!del) continue;  // the table is gone: nothing of it to complete
        sqlite3_bind_int64(del.get(), 1, rowid);
        ok = ok && sqlite3_step(del.get()) == SQLITE_DONE;
      }
      for (const auto& [table, rowid, image] : images)
        if (image) ok = ok && writeImage(*peer, table, rowid, *image);
      Stmt mark = peer->prepare("INSERT INTO _ov_intent_done(id) VALUES(?1)");
      sqlite3_bind_text(mark.get(), 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
      ok = ok && mark && sqlite3_step(mark.get()) == SQLITE_DONE;
    }
    if (!ok || peer->end(true) != rt::Err::None) {
      if (peer->depth() > 0) (void)peer->end(false);
      all = false;
      continue;
    }
    peer->touchAll();
    Stmt del = prepare("DELETE FROM _ov_intent WHERE id = ?1 AND peer = ?2");
    sqlite3_bind_text(del.get(), 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(del.get(), 2, peerPath.data(), static_cast<int>(peerPath.size()), SQLITE_TRANSIENT);
    (void)sqlite3_step(del.get());
    done.emplace_back(peer, id);
  }
  if (end(true) != rt::Err::None) return false;
  for (const auto& [peer, id] : done) deleteWhereId(*peer, "_ov_intent_done", id);
  return all;
}

}  // namespace ov::db::detail

// ---- a copy of one moment ----

namespace ov::db::detail {

SnapshotResult snapshotStorage(const std::string& path, const std::string& password, const std::string& target,
                               int timeoutMs, std::string& detail) {
  useDescriptorLocks();
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return SnapshotResult::NotDataFile;
  // A read-only connection: nothing of the file (nor a WAL it finds) is changed by looking at it.
  auto open = [&](const std::string& file, int flags, sqlite3*& db) {
    int rc = sqlite3_open_v2(file.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) return rc;
    sqlite3_busy_timeout(db, timeoutMs);
    if (!password.empty()) {
      const std::string& key = rawKey(password);
      sqlite3_key(db, key.data(), static_cast<int>(key.size()));
      (void)sqlite3_exec(db, "PRAGMA cipher_page_size = 8192", nullptr, nullptr, nullptr);
    } else {
      (void)sqlite3_exec(db, "PRAGMA page_size = 8192", nullptr, nullptr, nullptr);
    }
    return SQLITE_OK;
  };
  sqlite3* src = nullptr;
  sqlite3* dst = nullptr;
  sqlite3_backup* copy = nullptr;
  auto finish = [&](SnapshotResult r) {
    if (copy) sqlite3_backup_finish(copy);
    sqlite3_close_v2(dst);
    sqlite3_close_v2(src);
    if (r != SnapshotResult::Made) ::unlink(target.c_str());
    return r;
  };
  int rc = open(path, SQLITE_OPEN_READONLY, src);
  if (rc == SQLITE_OK) rc = sqlite3_exec(src, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  // Bytes that do not read as a data file (or no longer do: a damaged one) are not ours to judge
  // here: they are copied as they are.
  if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT) return finish(SnapshotResult::NotDataFile);
  if (rc != SQLITE_OK) {
    detail = path + ": " + (src ? sqlite3_errmsg(src) : sqlite3_errstr(rc));
    return finish(SnapshotResult::Failed);
  }
  ::unlink(target.c_str());
  rc = open(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, dst);
  if (rc == SQLITE_OK) copy = sqlite3_backup_init(dst, "main", src, "main");
  if (!copy) {
    detail = target + ": " + (dst ? sqlite3_errmsg(dst) : sqlite3_errstr(rc));
    return finish(SnapshotResult::Failed);
  }
  // Every page in one step: the source's read transaction spans the whole copy, so the copy is
  // the file as one commit left it, whatever other programs write meanwhile (a WAL lets them).
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    rc = sqlite3_backup_step(copy, -1);
    if (rc == SQLITE_DONE) break;
    if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && std::chrono::steady_clock::now() < until) {
      sqlite3_sleep(20);
      continue;
    }
    if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT) return finish(SnapshotResult::NotDataFile);
    detail = path + ": the copy failed (" + sqlite3_errstr(rc) + ")";
    return finish(SnapshotResult::Failed);
  }
  rc = sqlite3_backup_finish(copy);
  copy = nullptr;
  if (rc != SQLITE_OK) {
    detail = target + ": " + sqlite3_errmsg(dst);
    return finish(SnapshotResult::Failed);
  }
  return finish(SnapshotResult::Made);
}

}  // namespace ov::db::detail
