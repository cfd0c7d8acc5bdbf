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

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

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

// ---- a VFS that fails writes once a byte budget is spent (the full-disk seam of the tests) ----

std::atomic<int64_t> g_budget{-1};
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
  for (auto& [sql, s] : m_stmts) sqlite3_finalize(s);
  if (m_db) sqlite3_close_v2(m_db);
  if (m_lockFd >= 0) ::close(m_lockFd);  // only now: closing it earlier would drop SQLite's locks
  registry().erase(m_path);
}

std::shared_ptr<Storage> Storage::find(const std::string& path) {
  auto it = registry().find(path);
  return it == registry().end() ? nullptr : it->second.lock();
}

rt::Err Storage::acquire(const std::string& path, const std::string& password, bool create, bool exclusive,
                         std::shared_ptr<Storage>& out, std::string& detail) {
  if (auto s = find(path)) {
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
  if (::flock(s->m_lockFd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    detail = path + (exclusive ? ": in use by another program" : ": opened exclusively by another program");
    return rt::Err::NoAccess;
  }
  s->m_exclusive = exclusive;
  int rc = sqlite3_open_v2(path.c_str(), &s->m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                           g_budgetArmed ? faultVfsName() : nullptr);
  if (rc != SQLITE_OK) {
    detail = path + ": " + (s->m_db ? sqlite3_errmsg(s->m_db) : sqlite3_errstr(rc));
    return rt::Err::FileSystem;
  }
  // Before the first read: another program may be writing (or recovering the journal) just then,
  // and the first read must wait for it rather than fail with "database is locked".
  sqlite3_busy_timeout(s->m_db, s->m_timeoutMs);
  if (!password.empty()) {
    const std::string& key = rawKey(password);
    sqlite3_key(s->m_db, key.data(), static_cast<int>(key.size()));
    // Pages of 8 KiB: an eighth of the per-page encryption work of the default and flatter keys.
    (void)sqlite3_exec(s->m_db, "PRAGMA cipher_page_size = 8192", nullptr, nullptr, nullptr);
  } else {
    (void)sqlite3_exec(s->m_db, "PRAGMA page_size = 8192", nullptr, nullptr, nullptr);
  }
  sqlite3_create_function_v2(s->m_db, "ov_key", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, keyFunction, nullptr,
                             nullptr, nullptr);
  rc = sqlite3_exec(s->m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (rc == SQLITE_NOTADB) {
    char head[16] = {};
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ssize_t got = fd >= 0 ? ::read(fd, head, sizeof head) : 0;
    if (fd >= 0) ::close(fd);
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
  if (rc != SQLITE_OK) return s->mapError(rc, &detail);
  sqlite3_busy_timeout(s->m_db, s->m_timeoutMs);
  sqlite3_extended_result_codes(s->m_db, 1);
  const char* journal = isNetworkFolder(path) ? "PRAGMA journal_mode=DELETE" : "PRAGMA journal_mode=WAL";
  // A page cache of up to 64 MiB keeps the working set of a large table decrypted.
  for (const char* sql : {journal, "PRAGMA synchronous=NORMAL", "PRAGMA foreign_keys=OFF", "PRAGMA cache_size=-65536"}) {
    rc = sqlite3_exec(s->m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return s->mapError(rc, &detail);
  }
  registry()[path] = s;
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

rt::Err Storage::begin(int timeoutMs, std::string* detail) {
  if (rt::Err err = checkTransaction(detail); err != rt::Err::None) return err;
  if (m_depth == 0) {
    sqlite3_busy_timeout(m_db, timeoutMs);
    rt::Err err = exec("BEGIN IMMEDIATE", detail);
    sqlite3_busy_timeout(m_db, m_timeoutMs);
    if (err != rt::Err::None) return err;
  } else if (rt::Err err = exec("SAVEPOINT s" + std::to_string(m_depth), detail); err != rt::Err::None) {
    return err;
  }
  ++m_depth;
  return rt::Err::None;
}

rt::Err Storage::end(bool commit, std::string* detail) {
  if (m_depth == 0) return rt::Err::NoLogout;
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
    rt::Err err = exec("COMMIT", detail);
    if (err == rt::Err::None) return err;
    (void)exec("ROLLBACK");  // a failed commit leaves nothing half-done
    return err;
  }
  return sqlite3_get_autocommit(m_db) ? rt::Err::None : exec("ROLLBACK", detail);
}

uint64_t Storage::generation(const std::string& table) const {
  auto it = m_generations.find(table);
  return m_epoch + (it == m_generations.end() ? 0 : it->second);
}

void Storage::touch(const std::string& table) { ++m_generations[table]; }

}  // namespace ov::db::detail
