// tpsfix FILE [/E:EXAMPLE] [/K]: checks a storage file of our tables and repairs it when damaged,
// as the data-file repair class asks ("TPSFIX <file> /E:qvRepair.TPS /K").
//
// The owner password comes from the environment variable TPSFIX_OWNER (unset or empty: the
// file is a plain one), so it never shows on a command line.
//
// Check: the file is opened with the owner password and given SQLite's integrity check. A sound
// file is left as it is. A damaged one is rebuilt into a fresh file beside it: every table and
// key of its catalogue (and any table of the example file that the catalogue lost) is created
// anew, every record that can still be read is copied over in file order, with the records of a
// damaged page skipped, and the keys are built again from the copied records. The fresh file is
// checked, then takes the file's place. With /K the original stays as FILE.bak (FILE.bak.1, ...
// when that is taken); without it the original is dropped.
//
// Exit codes:
//   0  the file is sound; nothing was changed
//   1  the file was damaged and has been rebuilt (what was copied and lost is written to stdout)
//   2  the file cannot be read as a data file: wrong owner password, or its first page is damaged
//   3  wrong arguments, or the file or the example file is missing
//   4  the repair failed (catalogue unreadable, the fresh file could not be written); the
//      original is untouched
//   5  the file is in use by another program
#define SQLITE_HAS_CODEC
#include <sqlcipher/sqlite3.h>

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/files/detail/key_codec.h"
#include "platform/rt/text.h"

namespace {

constexpr int kSound = 0, kRepaired = 1, kUnreadable = 2, kUsage = 3, kFailed = 4, kInUse = 5;

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The raw key the table layer derives from an owner password (PBKDF2-HMAC-SHA256, fixed salt).
std::string rawKey(const std::string& password) {
  static const unsigned char kSalt[] = "Orvane data files";
  unsigned char key[32];
  PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), kSalt, sizeof kSalt - 1, 64000, EVP_sha256(),
                    sizeof key, key);
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "x'";
  for (unsigned char c : key) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out + "'";
}

// ov_key('<layout>', v1, ...): the encoded key the table layer's indexes are built on; the same
// encoding as the layer's own, so the rebuilt keys order as the program expects.
void keyFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  using namespace ov::db::detail;
  const char* spec = argc > 0 ? reinterpret_cast<const char*>(sqlite3_value_text(argv[0])) : nullptr;
  size_t specLen = spec ? std::strlen(spec) : 0;
  std::string out;
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

std::string quoted(const std::string& name) {
  std::string q = "\"";
  for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

class Db {
 public:
  ~Db() { close(); }
  // Opens `path` with the key (empty: plain). False with the SQLite code in `rc`.
  bool open(const std::string& path, const std::string& key, bool create, int& rc) {
    close();
    rc = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), nullptr);
    if (rc != SQLITE_OK) return false;
    if (!key.empty()) {
      sqlite3_key(m_db, key.data(), static_cast<int>(key.size()));
      exec("PRAGMA cipher_page_size = 8192");
    } else {
      exec("PRAGMA page_size = 8192");
    }
    sqlite3_create_function_v2(m_db, "ov_key", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, keyFunction, nullptr,
                               nullptr, nullptr);
    rc = exec("SELECT count(*) FROM sqlite_master");
    return rc == SQLITE_OK;
  }
  void close() {
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
  }
  int exec(const std::string& sql) { return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr); }
  sqlite3* get() const { return m_db; }
  std::string error() const { return m_db ? sqlite3_errmsg(m_db) : "not open"; }

 private:
  sqlite3* m_db = nullptr;
};

class Stmt {
 public:
  Stmt(sqlite3* db, const std::string& sql) { m_rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &m_s, nullptr); }
  ~Stmt() { sqlite3_finalize(m_s); }
  bool ok() const { return m_rc == SQLITE_OK && m_s; }
  sqlite3_stmt* get() const { return m_s; }

 private:
  sqlite3_stmt* m_s = nullptr;
  int m_rc = SQLITE_OK;
};

// PRAGMA integrity_check: true when it answers "ok".
bool sound(Db& db) {
  Stmt s(db.get(), "PRAGMA integrity_check");
  if (!s.ok()) return false;
  bool ok = false;
  int rows = 0, rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(s.get(), 0);
    ok = ++rows == 1 && t && std::strcmp(reinterpret_cast<const char*>(t), "ok") == 0;
  }
  return ok && rc == SQLITE_DONE;
}

struct SchemaItem {
  std::string type, name, table, sql;
};

// The catalogue entries that can be read (tables first, then keys, views and triggers).
std::vector<SchemaItem> readSchema(Db& db, bool& complete) {
  std::vector<SchemaItem> items;
  Stmt s(db.get(),
         "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite\\_%' "
         "ESCAPE '\\' ORDER BY CASE type WHEN 'table' THEN 0 WHEN 'index' THEN 1 ELSE 2 END, rowid");
  complete = s.ok();
  if (!s.ok()) return items;
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
    auto col = [&](int i) {
      const unsigned char* t = sqlite3_column_text(s.get(), i);
      return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
    };
    items.push_back({col(0), col(1), col(2), col(3)});
  }
  complete = rc == SQLITE_DONE;
  return items;
}

struct Counts {
  int64_t copied = 0, skipped = 0, refused = 0;
};

class Repair {
 public:
  Repair(std::string path, std::string key) : m_path(std::move(path)), m_key(std::move(key)) {}

  // Builds the fresh file at `out`; false (with a message on stderr) when it could not.
  bool build(const std::string& out, const std::string& example) {
    int rc;
    if (!m_src.open(m_path, m_key, false, rc)) return fail("cannot read the file again: " + m_src.error());
    bool complete = false;
    std::vector<SchemaItem> schema = readSchema(m_src, complete);
    if (schema.empty()) return fail("the file's catalogue cannot be read");
    if (!complete) std::printf("catalogue: read in part\n");
    if (!example.empty()) addFromExample(schema, example);

    ::unlink(out.c_str());
    if (!m_dst.open(out, m_key, true, rc)) return fail("cannot create " + out + ": " + m_dst.error());
    m_dst.exec("PRAGMA journal_mode=DELETE");
    if (m_dst.exec("BEGIN") != SQLITE_OK) return fail(m_dst.error());
    for (const SchemaItem& item : schema) {
      if (item.type != "table" && item.type != "index") continue;
      if (m_dst.exec(item.sql) != SQLITE_OK) return fail("cannot create " + item.name + ": " + m_dst.error());
    }
    for (const SchemaItem& item : schema) {
      if (item.type != "table") continue;
      Counts c;
      if (!copyTable(item.name, c)) return false;
      std::printf("%s: %lld copied, %lld unreadable, %lld refused by a unique key\n", item.name.c_str(),
                  static_cast<long long>(c.copied), static_cast<long long>(c.skipped),
                  static_cast<long long>(c.refused));
    }
    copySequences();
    for (const SchemaItem& item : schema) {
      if (item.type == "table" || item.type == "index") continue;
      if (m_dst.exec(item.sql) != SQLITE_OK) std::printf("%s %s: not kept (%s)\n", item.type.c_str(),
                                                         item.name.c_str(), m_dst.error().c_str());
    }
    if (m_dst.exec("COMMIT") != SQLITE_OK) return fail("cannot write " + out + ": " + m_dst.error());
    if (!sound(m_dst)) return fail("the rebuilt file does not pass the check");
    m_src.close();
    m_dst.close();
    return true;
  }

 private:
  bool fail(const std::string& why) {
    std::fprintf(stderr, "tpsfix: %s\n", why.c_str());
    return false;
  }

  void addFromExample(std::vector<SchemaItem>& schema, const std::string& example) {
    Db ex;
    int rc;
    if (!ex.open(example, m_key, false, rc)) {
      std::printf("example file: not readable (%s), ignored\n", ex.error().c_str());
      return;
    }
    bool complete;
    std::map<std::string, bool> have;
    for (const SchemaItem& i : schema) have[ov::rt::UPPER(i.name)] = true;
    for (const SchemaItem& i : readSchema(ex, complete)) {
      if (have[ov::rt::UPPER(i.name)]) continue;
      std::printf("%s %s: taken from the example file\n", i.type.c_str(), i.name.c_str());
      // Tables before keys, as in the list.
      auto at = schema.begin();
      if (i.type == "table")
        while (at != schema.end() && at->type == "table") ++at;
      else
        at = schema.end();
      schema.insert(at, i);
    }
  }

  // The column names, and whether one of them is the row id.
  bool columns(const std::string& table, std::vector<std::string>& names, bool& rowidColumn) {
    Stmt s(m_dst.get(), "PRAGMA table_info(" + quoted(table) + ")");
    if (!s.ok()) return false;
    int pkCount = 0;
    std::string pkType;
    rowidColumn = false;
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
      names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 1)));
      if (sqlite3_column_int(s.get(), 5) > 0) {
        ++pkCount;
        const unsigned char* t = sqlite3_column_text(s.get(), 2);
        pkType = t ? ov::rt::UPPER(reinterpret_cast<const char*>(t)) : "";
      }
    }
    rowidColumn = pkCount == 1 && pkType == "INTEGER";
    return !names.empty();
  }

  // Copies the readable records of `table` in file order. A read error skips to the next record
  // that can be found by its row id; the source connection is opened afresh after each one, since
  // a page that fails its check can leave the connection unusable.
  bool copyTable(const std::string& table, Counts& c) {
    std::vector<std::string> names;
    bool rowidColumn = false;
    if (!columns(table, names, rowidColumn)) return fail("no columns for " + table);
    std::string cols, marks;
    for (const std::string& n : names) {
      cols += (cols.empty() ? "" : ", ") + quoted(n);
      marks += marks.empty() ? "?" : ", ?";
    }
    const std::string insertSql = rowidColumn ? "INSERT INTO " + quoted(table) + " (" + cols + ") VALUES (" + marks + ")"
                                              : "INSERT INTO " + quoted(table) + " (_rowid_, " + cols + ") VALUES (?, " +
                                                    marks + ")";
    const std::string select = "SELECT _rowid_, " + cols + " FROM " + quoted(table);
    Stmt insert(m_dst.get(), insertSql);
    if (!insert.ok()) return fail("cannot store records of " + table + ": " + m_dst.error());

    auto store = [&](sqlite3_stmt* row) {
      int at = 1;
      if (!rowidColumn) sqlite3_bind_value(insert.get(), at++, sqlite3_column_value(row, 0));
      for (size_t i = 0; i < names.size(); ++i)
        sqlite3_bind_value(insert.get(), at++, sqlite3_column_value(row, static_cast<int>(i + 1)));
      int rc = sqlite3_step(insert.get());
      sqlite3_reset(insert.get());
      if (rc == SQLITE_DONE) {
        ++c.copied;
      } else if ((rc & 0xFF) == SQLITE_CONSTRAINT) {
        ++c.refused;
      } else {
        return false;
      }
      return true;
    };

    const int64_t highest = highestRowid(table);
    int64_t after = INT64_MIN;
    while (true) {
      int rc = SQLITE_DONE;
      {
        Stmt walk(m_src.get(), select + " WHERE _rowid_ > ? ORDER BY _rowid_");
        if (!walk.ok()) {
          rc = SQLITE_CORRUPT;
        } else {
          sqlite3_bind_int64(walk.get(), 1, after);
          while ((rc = sqlite3_step(walk.get())) == SQLITE_ROW) {
            if (!store(walk.get())) return fail("cannot write records of " + table + ": " + m_dst.error());
            after = sqlite3_column_int64(walk.get(), 0);
          }
        }
      }
      if (rc == SQLITE_DONE) return true;
      // A damaged page: look for the next record by its row id.
      if (!reopen()) return false;
      if (after == INT64_MIN) after = 0;
      bool found = false;
      for (int64_t r = after + 1; r <= highest && !found; ++r) {
        Stmt one(m_src.get(), select + " WHERE _rowid_ = ?");
        if (!one.ok()) {
          if (!reopen()) return false;
          ++c.skipped;
          continue;
        }
        sqlite3_bind_int64(one.get(), 1, r);
        int step = sqlite3_step(one.get());
        if (step == SQLITE_ROW) {
          if (!store(one.get())) return fail("cannot write records of " + table + ": " + m_dst.error());
          after = r;
          found = true;
        } else if (step != SQLITE_DONE) {
          ++c.skipped;
          if (!reopen()) return false;
        }
      }
      if (!found) {
        if (c.skipped == 0) ++c.skipped;  // at least the record the walk failed on
        return true;
      }
    }
  }

  // The highest row id the table has given out, as far as it can be read; where neither the
  // sequence nor the table's last record can be read, a generous bound past the records seen.
  int64_t highestRowid(const std::string& table) {
    int64_t best = 0;
    bool known = false;
    for (const std::string& sql : {"SELECT seq FROM sqlite_sequence WHERE name = " + quotedText(table),
                                   "SELECT max(_rowid_) FROM " + quoted(table)}) {
      Stmt s(m_src.get(), sql);
      if (!s.ok()) continue;
      int rc = sqlite3_step(s.get());
      if (rc == SQLITE_ROW && sqlite3_column_type(s.get(), 0) != SQLITE_NULL) {
        best = std::max<int64_t>(best, sqlite3_column_int64(s.get(), 0));
        known = true;
      } else if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        reopen();
      }
    }
    return known ? best : 100000;
  }

  // Keeps every table's row-id sequence at least where it was, so no row id is given out twice.
  void copySequences() {
    Stmt s(m_src.get(), "SELECT name, seq FROM sqlite_sequence");
    if (!s.ok()) return;
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
      std::string name = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
      int64_t seq = sqlite3_column_int64(s.get(), 1);
      Stmt up(m_dst.get(), "UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?");
      Stmt add(m_dst.get(), "INSERT INTO sqlite_sequence (name, seq) SELECT ?2, ?1 WHERE NOT EXISTS "
                            "(SELECT 1 FROM sqlite_sequence WHERE name = ?2)");
      for (Stmt* st : {&up, &add}) {
        if (!st->ok()) continue;
        sqlite3_bind_int64(st->get(), 1, seq);
        sqlite3_bind_text(st->get(), 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st->get());
      }
    }
  }

  static std::string quotedText(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'";
  }

  bool reopen() {
    int rc;
    if (m_src.open(m_path, m_key, false, rc)) return true;
    return fail("cannot read the file again: " + m_src.error());
  }

  std::string m_path, m_key;
  Db m_src, m_dst;
};

// The first free backup name: FILE.bak, FILE.bak.1, ...
std::string backupName(const std::string& path) {
  std::string name = path + ".bak";
  for (int i = 1; exists(name); ++i) name = path + ".bak." + std::to_string(i);
  return name;
}

int usage(const char* why) {
  std::fprintf(stderr, "tpsfix: %s\nusage: tpsfix FILE [/E:EXAMPLE] [/K]   (owner password in TPSFIX_OWNER)\n", why);
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path, example;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    std::string upper = ov::rt::UPPER(a);
    if (upper.rfind("/E:", 0) == 0 || upper.rfind("-E:", 0) == 0) {
      example = a.substr(3);
    } else if (upper == "/K" || upper == "-K") {
      keep = true;
    } else if (!a.empty() && (a[0] == '/' && a.size() == 2)) {
      return usage(("unknown switch " + a).c_str());
    } else if (path.empty()) {
      path = a;
    } else {
      return usage("more than one file named");
    }
  }
  if (path.empty()) return usage("no file named");
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return usage(("no such file: " + path).c_str());
  if (!example.empty() && !exists(example)) return usage(("no such example file: " + example).c_str());

  // Nobody else may have the file open while it is checked and replaced.
  int lockFd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (lockFd < 0 || ::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
    std::fprintf(stderr, "tpsfix: %s is in use by another program\n", path.c_str());
    return kInUse;
  }

  const char* owner = std::getenv("TPSFIX_OWNER");
  const std::string key = owner && *owner ? rawKey(owner) : std::string();
  {
    Db db;
    int rc;
    if (!db.open(path, key, false, rc)) {
      if ((rc & 0xFF) == SQLITE_NOTADB) {
        std::fprintf(stderr, "tpsfix: %s: wrong owner password, or not a data file (%s)\n", path.c_str(),
                     db.error().c_str());
        return kUnreadable;
      }
      std::printf("%s: catalogue damaged (%s)\n", path.c_str(), db.error().c_str());
    } else if (sound(db)) {
      std::printf("%s: sound\n", path.c_str());
      return kSound;
    } else {
      std::printf("%s: damaged\n", path.c_str());
    }
  }

  const std::string fresh = path + ".tpsfix";
  Repair repair(path, key);
  if (!repair.build(fresh, example)) {
    ::unlink(fresh.c_str());
    ::unlink((fresh + "-journal").c_str());
    return kFailed;
  }
  // The original's journal files belong to it, not to the fresh file that takes its name.
  std::string backup;
  if (keep) {
    backup = backupName(path);
    if (::link(path.c_str(), backup.c_str()) != 0 && ::rename(path.c_str(), backup.c_str()) != 0) {
      std::fprintf(stderr, "tpsfix: cannot keep the original as %s: %s\n", backup.c_str(), std::strerror(errno));
      ::unlink(fresh.c_str());
      return kFailed;
    }
    ::rename((path + "-wal").c_str(), (backup + "-wal").c_str());
  } else {
    ::unlink((path + "-wal").c_str());
  }
  ::unlink((path + "-shm").c_str());
  if (::rename(fresh.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "tpsfix: cannot put the rebuilt file in place: %s\n", std::strerror(errno));
    return kFailed;
  }
  if (keep) std::printf("original kept as %s\n", backup.c_str());
  std::printf("%s: rebuilt\n", path.c_str());
  return kRepaired;
}
