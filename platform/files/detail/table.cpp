// The Tps driver: a file is a table of a SQLCipher storage.
//
// (doc/table_format.md describes the format.)
// Table layout: `_rid` (the row id: file order, and the tie-breaker of equal keys), a column per
// field named without its prefix (arrays: a column per element, "Name_1", ...) and a column per
// memo or BLOB. Strings are stored without trailing blanks. Each key is an index on the
// expression ov_key('<layout>', columns...), which gives the encoded key (key_codec.h); it is
// unique for unique keys. The catalogue table `_ov_tables` keeps each table's label, layout
// name, version and key signature.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#define SQLITE_HAS_CODEC
#include <sqlcipher/sqlite3.h>

#include "platform/files/detail/backend.h"
#include "platform/files/detail/key_codec.h"
#include "platform/files/detail/storage.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::db::detail {
namespace {

using rt::Err;
using rt::FieldType;

std::string quote(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string literal(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

std::string withoutPrefix(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon ? std::string(colon + 1) : std::string(name);
}

bool isInteger(FieldType t) {
  switch (t) {
    case FieldType::Byte:
    case FieldType::Short:
    case FieldType::UShort:
    case FieldType::Long:
    case FieldType::ULong:
    case FieldType::Date:
    case FieldType::Time: return true;
    default: return false;
  }
}

bool isReal(FieldType t) { return t == FieldType::Real || t == FieldType::SReal || t == FieldType::Decimal; }

// The length of a fixed text without its trailing blanks and zeros, eight bytes at a time: wide
// fields (a 4096-byte message) are mostly padding.
size_t clippedLength(const char* p, size_t n) {
  constexpr uint64_t kBlanks = 0x2020202020202020ULL;
  while (n >= 8) {
    uint64_t w;
    std::memcpy(&w, p + n - 8, 8);
    if (w != kBlanks && w != 0) break;
    n -= 8;
  }
  while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
  return n;
}

struct Column {
  const rt::FieldDesc* field;
  int element;
  std::string name;
};

// The lexicographic successor of every string that starts with `prefix`, or "" when none exists.
std::string successor(std::string prefix) {
  while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF) prefix.pop_back();
  if (prefix.empty()) return {};
  prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
  return prefix;
}

bool processAlive(int64_t pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The values of a sorted reading's terms for one record, kept as the place to read on from: per
// value a kind byte ('i' integer, 'r' real, 'b' text or blob) and its bytes (8, 8, or a 4-byte
// length and the bytes).
void appendTerm(sqlite3_stmt* st, int col, std::string& out) {
  switch (sqlite3_column_type(st, col)) {
    case SQLITE_INTEGER: {
      int64_t v = sqlite3_column_int64(st, col);
      out += 'i';
      out.append(reinterpret_cast<const char*>(&v), sizeof v);
      break;
    }
    case SQLITE_FLOAT: {
      double v = sqlite3_column_double(st, col);
      out += 'r';
      out.append(reinterpret_cast<const char*>(&v), sizeof v);
      break;
    }
    default: {
      const void* p = sqlite3_column_blob(st, col);
      uint32_t len = static_cast<uint32_t>(sqlite3_column_bytes(st, col));
      out += 'b';
      out.append(reinterpret_cast<const char*>(&len), sizeof len);
      out.append(p ? static_cast<const char*>(p) : "", len);
      break;
    }
  }
}

struct Term {
  char kind = 0;
  int64_t i = 0;
  double r = 0;
  std::string_view b;
};

// Reads the next term of `text` from `at`; false when the text ends or is malformed.
bool nextTerm(std::string_view text, size_t& at, Term& t) {
  if (at >= text.size()) return false;
  t.kind = text[at++];
  if (t.kind == 'i' || t.kind == 'r') {
    if (text.size() - at < 8) return false;
    if (t.kind == 'i') std::memcpy(&t.i, text.data() + at, 8);
    else std::memcpy(&t.r, text.data() + at, 8);
    at += 8;
    return true;
  }
  uint32_t len = 0;
  if (t.kind != 'b' || text.size() - at < sizeof len) return false;
  std::memcpy(&len, text.data() + at, sizeof len);
  at += sizeof len;
  if (text.size() - at < len) return false;
  t.b = text.substr(at, len);
  at += len;
  return true;
}

// Binds the `n` terms of `text` to ?1...?n; false when it does not hold n terms.
bool bindTerms(sqlite3_stmt* st, std::string_view text, int n) {
  size_t at = 0;
  Term t;
  for (int i = 1; i <= n; ++i) {
    if (!nextTerm(text, at, t)) return false;
    if (t.kind == 'i') sqlite3_bind_int64(st, i, t.i);
    else if (t.kind == 'r') sqlite3_bind_double(st, i, t.r);
    else sqlite3_bind_blob(st, i, t.b.data(), static_cast<int>(t.b.size()), SQLITE_TRANSIENT);
  }
  return at == text.size();
}

// When the process `pid` started (clock ticks after boot, from /proc); 0 when it is unknown.
// With the number it tells a live process from a later one that was given the same number.
int64_t processStart(int64_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i)  // the fields after the name begin with the third
    if (i == 22) return std::strtoll(field.c_str(), nullptr, 10);
  return 0;
}

class TableBackend final : public Backend {
 public:
  explicit TableBackend(File& file) : m_file(file), m_decl(file.decl()), m_memos(memoSlots(file.decl())) {}
  ~TableBackend() override { close(); }

  std::string path() const override { return m_name.path; }
  Storage* storage() override { return m_storage.get(); }
  uint64_t generation() const override { return m_storage ? m_storage->generation(m_tableKey) : 0; }

  Err open(int mode, std::string& detail) override {
    if (Err err = prepareLayout(detail); err != Err::None) return err;
    std::shared_ptr<Storage> s;
    int share = mode & 0xF0;
    bool exclusive = share == kDenyAll || share == kDenyWrite;
    Err err = Storage::acquire(m_name.path, password(), false, exclusive, s, detail);
    if (err == Err::NoFile && earlierStorageExists())  // the table moves into a new storage file
      err = Storage::acquire(m_name.path, password(), true, exclusive, s, detail);
    if (err != Err::None) return err;
    m_storage = s;
    m_readOnly = (mode & 0x0F) == kReadOnly;
    err = attachTable(detail);
    if (err != Err::None) m_storage.reset();
    return err;
  }

  Err create(std::string& detail) override {
    if (Err err = prepareLayout(detail); err != Err::None) return err;
    std::shared_ptr<Storage> s;
    if (Err err = Storage::acquire(m_name.path, password(), true, false, s, detail); err != Err::None) return err;
    if (Err err = s->begin(s->defaultTimeoutMs(), &detail); err != Err::None) return err;
    Err err = s->exec("DROP TABLE IF EXISTS " + quote(m_name.table), &detail);
    if (err == Err::None) err = ensureCatalogue(*s, detail);
    if (err == Err::None) err = s->exec(createSql(), &detail);
    for (size_t k = 0; err == Err::None && k < m_keys.size(); ++k) err = s->exec(indexSql(k), &detail);
    if (err == Err::None) err = writeCatalogue(*s, detail);
    Err end = s->end(err == Err::None, err == Err::None ? &detail : nullptr);
    s->touch(upper(m_name.table));
    return err != Err::None ? err : end;
  }

  void close() override {
    if (!m_storage) return;
    releaseHolds();
    m_storage.reset();
  }

  Err removeFile(std::string& detail) override {
    if (Err err = prepareLayout(detail); err != Err::None) return err;
    std::shared_ptr<Storage> s;
    if (Err err = Storage::acquire(m_name.path, password(), false, false, s, detail); err != Err::None) return err;
    if (!tableExists(*s, m_name.table)) {
      detail = m_name.path + ": no table " + m_name.table;
      return Err::NoFile;
    }
    if (Err err = s->begin(s->defaultTimeoutMs(), &detail); err != Err::None) return err;
    Err err = s->exec("DROP TABLE " + quote(m_name.table), &detail);
    if (err == Err::None)
      err = s->exec("DELETE FROM _ov_tables WHERE name = " + literal(m_name.table), &detail);
    Err end = s->end(err == Err::None);
    s->touch(upper(m_name.table));
    return err != Err::None ? err : end;
  }

  Err scan(int order, const Anchor& from, bool forward, int limit, std::vector<Row>& out,
           std::string& detail) override {
    out.clear();
    if (from.kind == Anchor::End && forward) return Err::None;
    if (from.kind == Anchor::Begin && !forward) return Err::None;
    const std::string& table = m_quotedTable;
    std::string kcol = order < 0 ? std::string("NULL") : keyExpr(order);
    std::string ord = order < 0 ? (forward ? " ORDER BY _rid" : " ORDER BY _rid DESC")
                                : (forward ? " ORDER BY " + kcol + ", _rid" : " ORDER BY " + kcol + " DESC, _rid DESC");
    std::string head = "SELECT _rid, " + kcol + m_selectCols + " FROM " + table;
    const char* gt = forward ? " > " : " < ";
    const char* ge = forward ? " >= " : " <= ";
    if (from.kind == Anchor::Row && order >= 0) {
      // Records equal in the key come in row-id order, then the ones beyond the key value.
      Err err = runScan(head + " WHERE " + kcol + " = ?1 AND _rid" + gt + "?2" +
                            (forward ? " ORDER BY _rid" : " ORDER BY _rid DESC") + " LIMIT ?3",
                        &from.key, from.rid, limit, out, detail);
      if (err != Err::None || static_cast<int>(out.size()) >= limit) return err;
      std::vector<Row> more;
      err = runScan(head + " WHERE " + kcol + gt + "?1" + ord + " LIMIT ?3", &from.key, 0,
                    limit - static_cast<int>(out.size()), more, detail);
      for (Row& r : more) out.push_back(std::move(r));
      return err;
    }
    std::string sql;
    switch (from.kind) {
      case Anchor::Unset:
      case Anchor::Begin:
      case Anchor::End: sql = head + ord + " LIMIT ?3"; break;
      case Anchor::Value:
        sql = order < 0 ? head + " WHERE _rid" + ge + "?2" + ord + " LIMIT ?3"
                        : head + " WHERE " + kcol + ge + "?1" + ord + " LIMIT ?3";
        break;
      case Anchor::Row: sql = head + " WHERE _rid" + gt + "?2" + ord + " LIMIT ?3"; break;
    }
    return runScan(sql, order >= 0 && from.kind == Anchor::Value ? &from.key : nullptr, from.rid, limit, out, detail);
  }

  // A term per column: numbers as stored (SQLite orders them by value), texts encoded as a key
  // compares them; each ascending or descending in the reading's direction (the row id after
  // them). False when a column is no column of the table.
  bool sortTerms(const std::vector<SortColumn>& columns, bool forward, std::vector<std::string>& terms,
                 std::vector<bool>& descending) const {
    if (columns.empty()) return false;
    for (const SortColumn& sc : columns) {
      const Column* col = nullptr;
      for (const Column& c : m_columns)
        if (c.field == sc.field && c.element == 0 && c.field->dim == 1) col = &c;
      if (!col) return false;  // a memo, an array or another file's field
      const FieldType t = sc.field->type;
      terms.push_back(isInteger(t) || isReal(t) ? quote(col->name)
                                                : "ov_key('" + std::string(sc.caseless ? "t+" : "T+") + "', " +
                                                      quote(col->name) + ")");
      descending.push_back(sc.descending != !forward);
    }
    return true;
  }

  // The records after the one whose terms are bound to ?1...?n and whose row id to ?n+1: the
  // first term beyond it, or equal to it and the rest after.
  static std::string afterCondition(const std::vector<std::string>& terms, const std::vector<bool>& descending,
                                    bool forward) {
    const int n = static_cast<int>(terms.size());
    std::string after = std::string("_rid") + (forward ? " > ?" : " < ?") + std::to_string(n + 1);
    for (int i = n - 1; i >= 0; --i) {
      const std::string param = "?" + std::to_string(i + 1);
      after = "(" + terms[i] + (descending[i] ? " < " : " > ") + param + " OR (" + terms[i] + " = " + param +
              " AND " + after + "))";
    }
    return after;
  }

  Err sortedPlace(const std::vector<SortColumn>& columns, int64_t rid, std::string& key, int64_t& before,
                  std::string& detail) override {
    std::vector<std::string> terms;
    std::vector<bool> descending;
    if (!sortTerms(columns, false, terms, descending)) return Err::NotSupported;
    const int n = static_cast<int>(terms.size());
    std::string sql = "SELECT _rid";
    for (const std::string& t : terms) sql += ", " + t;
    sql += " FROM " + m_quotedTable + " WHERE _rid = ?1";
    Stmt st = m_storage->prepare(sql);
    if (!st) return prepareFailed(detail);
    sqlite3_bind_int64(st.get(), 1, rid);
    int rc = sqlite3_step(st.get());
    if (rc == SQLITE_DONE) return Err::NotFound;
    if (rc != SQLITE_ROW) return m_storage->mapError(rc, &detail);
    key.clear();
    for (int i = 0; i < n; ++i) appendTerm(st.get(), i + 1, key);
    sqlite3_reset(st.get());
    // The records before it: those after it reading backwards.
    Stmt count = m_storage->prepare("SELECT count(*) FROM " + m_quotedTable + " WHERE " +
                                    afterCondition(terms, descending, false));
    if (!count) return prepareFailed(detail);
    if (!bindTerms(count.get(), key, n)) return Err::BadParameters;
    sqlite3_bind_int64(count.get(), n + 1, rid);
    rc = sqlite3_step(count.get());
    if (rc != SQLITE_ROW) return m_storage->mapError(rc, &detail);
    before = sqlite3_column_int64(count.get(), 0);
    return Err::None;
  }

  Err sortedScan(const std::vector<SortColumn>& columns, const Anchor& from, bool forward, int limit,
                 std::vector<Row>& out, std::string& detail) override {
    out.clear();
    std::vector<std::string> terms;
    std::vector<bool> descending;
    if (!sortTerms(columns, forward, terms, descending)) return Err::NotSupported;
    const int n = static_cast<int>(terms.size());
    const std::string limitParam = "?" + std::to_string(n + 2);
    std::string sql = "SELECT _rid AS _sr";
    for (int i = 0; i < n; ++i) sql += ", " + terms[i] + " AS _s" + std::to_string(i + 1);
    sql += " FROM " + m_quotedTable;
    if (from.kind == Anchor::Row) sql += " WHERE " + afterCondition(terms, descending, forward);
    sql += " ORDER BY ";
    for (int i = 0; i < n; ++i) sql += "_s" + std::to_string(i + 1) + (descending[i] ? " DESC, " : ", ");
    sql += std::string("_sr") + (forward ? "" : " DESC") + " LIMIT " + limitParam;
    Stmt st = m_storage->prepare(sql);
    if (!st) return prepareFailed(detail);
    if (from.kind == Anchor::Row && !bindTerms(st.get(), from.key, n)) {
      detail = m_name.path + ": the place to read on from is not one this order gave";
      return Err::BadParameters;
    }
    sqlite3_bind_int64(st.get(), n + 1, from.rid);
    sqlite3_bind_int(st.get(), n + 2, limit);
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
      Row& row = out.emplace_back();
      row.rid = sqlite3_column_int64(st.get(), 0);
      for (int i = 0; i < n; ++i) appendTerm(st.get(), i + 1, row.key);
    }
    return rc == SQLITE_DONE ? Err::None : m_storage->mapError(rc, &detail);
  }

  Err readRows(const std::vector<int64_t>& rids, std::vector<Row>& out, std::string& detail) override {
    out.clear();
    // SQLite takes up to 999 parameters a statement. The lists come in a few sizes (the last row
    // id repeated to fill one), so that a few statements are prepared and kept.
    constexpr size_t kChunk = 512;
    for (size_t from = 0; from < rids.size(); from += kChunk) {
      const size_t count = std::min(kChunk, rids.size() - from);
      size_t slots = 16;
      while (slots < count) slots *= 2;
      std::string sql = "SELECT _rid, NULL" + m_selectCols + " FROM " + m_quotedTable + " WHERE _rid IN (";
      for (size_t i = 0; i < slots; ++i) sql += i ? ", ?" + std::to_string(i + 1) : "?1";
      sql += ")";
      Stmt st = m_storage->prepare(sql);
      if (!st) return prepareFailed(detail);
      for (size_t i = 0; i < slots; ++i)
        sqlite3_bind_int64(st.get(), static_cast<int>(i + 1), rids[from + std::min(i, count - 1)]);
      int rc;
      while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        Row& row = out.emplace_back();
        row.rid = sqlite3_column_int64(st.get(), 0);
        loadImage(st.get(), 2, row);
      }
      if (rc != SQLITE_DONE) return m_storage->mapError(rc, &detail);
    }
    return Err::None;
  }

  Err getByKey(int key, const std::string& value, Row& out, std::string& detail) override {
    std::vector<Row> rows;
    std::string kcol = keyExpr(key);
    Err err = runScan("SELECT _rid, " + kcol + m_selectCols + " FROM " + m_quotedTable + " WHERE " + kcol +
                          " = ?1 ORDER BY _rid LIMIT ?3",
                      &value, 0, 1, rows, detail);
    if (err != Err::None) return err;
    if (rows.empty()) return Err::NotFound;
    out = std::move(rows.front());
    return Err::None;
  }

  Err getByRid(int64_t rid, Row& out, std::string& detail) override {
    std::vector<Row> rows;
    Err err = runScan("SELECT _rid, NULL" + m_selectCols + " FROM " + m_quotedTable + " WHERE _rid = ?2 LIMIT ?3",
                      nullptr, rid, 1, rows, detail);
    if (err != Err::None) return err;
    if (rows.empty()) return Err::NotFound;
    out = std::move(rows.front());
    return Err::None;
  }

  Err insert(int64_t& rid, std::string& detail) override {
    if (m_readOnly) return readOnly(detail);
    if (Err err = m_storage->checkWrite(&detail); err != Err::None) return err;
    Stmt st = m_storage->prepare(m_insertSql);
    if (!st) return prepareFailed(detail);
    bindRecord(st.get());
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_DONE) return writeFailed(rc, 0, detail);
    rid = sqlite3_last_insert_rowid(m_storage->db());
    m_storage->touch(m_tableKey);
    return Err::None;
  }

  Err update(int64_t rid, std::string& detail) override {
    if (m_readOnly) return readOnly(detail);
    if (Err err = m_storage->checkWrite(&detail); err != Err::None) return err;
    Stmt st = m_storage->prepare(m_updateSql);
    if (!st) return prepareFailed(detail);
    int n = bindRecord(st.get());
    sqlite3_bind_int64(st.get(), n + 1, rid);
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_DONE) return writeFailed(rc, rid, detail);
    m_storage->touch(m_tableKey);
    if (sqlite3_changes(m_storage->db()) == 0) {
      detail = m_name.path + ": the record was deleted by another program";
      return Err::NotAvailable;
    }
    return Err::None;
  }

  Err erase(int64_t rid, std::string& detail) override {
    if (m_readOnly) return readOnly(detail);
    if (Err err = m_storage->checkWrite(&detail); err != Err::None) return err;
    Stmt st = m_storage->prepare("DELETE FROM " + m_quotedTable + " WHERE _rid = ?1");
    if (!st) return prepareFailed(detail);
    sqlite3_bind_int64(st.get(), 1, rid);
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_DONE) return writeFailed(rc, rid, detail);
    m_storage->touch(m_tableKey);
    if (sqlite3_changes(m_storage->db()) == 0) {
      detail = m_name.path + ": the record was deleted by another program";
      return Err::NotAvailable;
    }
    return Err::None;
  }

  Err count(int64_t& n, std::string& detail) override {
    Stmt st = m_storage->prepare("SELECT count(*) FROM " + m_quotedTable);
    if (!st) return prepareFailed(detail);
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW) return m_storage->mapError(rc, &detail);
    n = sqlite3_column_int64(st.get(), 0);
    return Err::None;
  }

  Err countKeys(int key, const std::string* low, const std::string* high, int64_t& n, std::string& detail) override {
    const std::string kcol = keyExpr(key);
    Stmt st = m_storage->prepare("SELECT count(*) FROM " + m_quotedTable + " WHERE " + kcol + " >= ?1" +
                                 (high ? " AND " + kcol + " < ?2" : std::string()));
    if (!st) return prepareFailed(detail);
    if (low) sqlite3_bind_blob(st.get(), 1, low->data(), static_cast<int>(low->size()), SQLITE_STATIC);
    else sqlite3_bind_zeroblob(st.get(), 1, 0);  // every key is at or after the empty one
    if (high) sqlite3_bind_blob(st.get(), 2, high->data(), static_cast<int>(high->size()), SQLITE_STATIC);
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW) return m_storage->mapError(rc, &detail);
    n = sqlite3_column_int64(st.get(), 0);
    return Err::None;
  }

  bool duplicate(int key, int64_t rid) override {
    Stmt st = m_storage->prepare("SELECT 1 FROM " + m_quotedTable + " WHERE " + keyExpr(key) +
                                 " = ?1 AND _rid <> ?2 LIMIT 1");
    if (!st) return false;
    std::string value = encodeKey(key, m_decl.buffer);
    sqlite3_bind_blob(st.get(), 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st.get(), 2, rid);
    return sqlite3_step(st.get()) == SQLITE_ROW;
  }

  std::string encodeKey(int key, const void* buffer) const override {
    return key >= 0 && static_cast<size_t>(key) < m_keys.size() ? detail::encodeKey(m_keys[key], buffer) : std::string();
  }

  std::string encodeKeyPrefix(int key, const void* buffer, size_t parts) const override {
    return key >= 0 && static_cast<size_t>(key) < m_keys.size() ? detail::encodeKeyPrefix(m_keys[key], buffer, parts)
                                                                 : std::string();
  }

  Err hold(int64_t rid, std::string& detail) override {
    int64_t me = ::getpid();
    if (Err err = m_storage->exec("CREATE TABLE IF NOT EXISTS _ov_holds(tbl TEXT, rid INTEGER, pid INTEGER, "
                                  "PRIMARY KEY(tbl, rid))",
                                  &detail);
        err != Err::None)
      return err;
    if (Err err = m_storage->begin(m_storage->defaultTimeoutMs(), &detail); err != Err::None) return err;
    Err err = Err::None;
    {
      Stmt q = m_storage->prepare("SELECT pid FROM _ov_holds WHERE tbl = ?1 AND rid = ?2");
      sqlite3_bind_text(q.get(), 1, m_tableKey.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(q.get(), 2, rid);
      if (sqlite3_step(q.get()) == SQLITE_ROW) {
        int64_t pid = sqlite3_column_int64(q.get(), 0);
        if (pid != me && processAlive(pid)) {
          detail = m_name.path + ": the record is held by process " + std::to_string(pid);
          err = Err::IsHeld;
        }
      }
    }
    if (err == Err::None) {
      Stmt w = m_storage->prepare("INSERT OR REPLACE INTO _ov_holds(tbl, rid, pid) VALUES(?1, ?2, ?3)");
      sqlite3_bind_text(w.get(), 1, m_tableKey.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(w.get(), 2, rid);
      sqlite3_bind_int64(w.get(), 3, me);
      int rc = sqlite3_step(w.get());
      if (rc != SQLITE_DONE) err = m_storage->mapError(rc, &detail);
      else m_holding = true;
    }
    Err end = m_storage->end(err == Err::None);
    return err != Err::None ? err : end;
  }

  void releaseHolds() override {
    if (!m_holding || !m_storage) return;
    m_holding = false;
    Stmt st = m_storage->prepare("DELETE FROM _ov_holds WHERE tbl = ?1 AND pid = ?2");
    if (!st) return;
    sqlite3_bind_text(st.get(), 1, m_tableKey.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st.get(), 2, ::getpid());
    (void)sqlite3_step(st.get());  // best effort: a hold of a dead process is ignored by others
  }

  bool isHeld(int64_t rid) override {
    Stmt st = m_storage->prepare("SELECT pid FROM _ov_holds WHERE tbl = ?1 AND rid = ?2");
    if (!st) return false;  // no hold was ever taken in this storage
    sqlite3_bind_text(st.get(), 1, m_tableKey.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st.get(), 2, rid);
    return sqlite3_step(st.get()) == SQLITE_ROW && processAlive(sqlite3_column_int64(st.get(), 0));
  }

  Err noteReservation(int64_t rid, bool reserved, std::string& detail) override {
    if (reserved) {
      if (Err err = m_storage->exec("CREATE TABLE IF NOT EXISTS _ov_reserved(tbl TEXT, rid INTEGER, pid INTEGER, "
                                    "started INTEGER, PRIMARY KEY(tbl, rid))",
                                    &detail);
          err != Err::None)
        return err;
    }
    Stmt st = m_storage->prepare(reserved ? "INSERT OR REPLACE INTO _ov_reserved(tbl, rid, pid, started) "
                                            "VALUES(?1, ?2, ?3, ?4)"
                                          : "DELETE FROM _ov_reserved WHERE tbl = ?1 AND rid = ?2");
    if (!st) return reserved ? m_storage->mapError(SQLITE_ERROR, &detail) : Err::None;  // none was ever noted
    sqlite3_bind_text(st.get(), 1, m_tableKey.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st.get(), 2, rid);
    if (reserved) {
      const int64_t me = ::getpid();  // a forked child is a process of its own
      sqlite3_bind_int64(st.get(), 3, me);
      sqlite3_bind_int64(st.get(), 4, processStart(me));
    }
    int rc = sqlite3_step(st.get());
    return rc == SQLITE_DONE ? Err::None : m_storage->mapError(rc, &detail);
  }

  std::vector<int64_t> abandonedReservations() override {
    std::vector<int64_t> rids;
    Stmt st = m_storage->prepare("SELECT rid, pid, started FROM _ov_reserved WHERE tbl = ?1 ORDER BY rid");
    if (!st) return rids;  // no reservation was ever noted in this storage
    sqlite3_bind_text(st.get(), 1, m_tableKey.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
      int64_t pid = sqlite3_column_int64(st.get(), 1), started = sqlite3_column_int64(st.get(), 2);
      bool alive = processAlive(pid) && (started == 0 || processStart(pid) == started);
      if (!alive) rids.push_back(sqlite3_column_int64(st.get(), 0));
    }
    return rids;
  }

  void dropHold(int64_t rid) override {
    Stmt st = m_storage->prepare("DELETE FROM _ov_holds WHERE tbl = ?1 AND rid = ?2");
    if (!st) return;
    sqlite3_bind_text(st.get(), 1, m_tableKey.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st.get(), 2, rid);
    (void)sqlite3_step(st.get());  // best effort: recovery of a hold left behind
  }

  Err pack(std::string& detail) override {
    if (m_storage->depth() > 0) {
      detail = m_name.path + ": cannot be packed inside a transaction";
      return Err::LogoutActive;
    }
    return m_storage->exec("VACUUM", &detail);
  }

  Err build(const std::function<void(std::string_view)>& onKey, std::string& detail) override {
    if (m_storage->depth() > 0) {
      detail = m_name.path + ": keys cannot be rebuilt inside a transaction";
      return Err::LogoutActive;
    }
    Storage& s = *m_storage;
    if (Err err = s.begin(s.defaultTimeoutMs(), &detail); err != Err::None) return err;
    Err err = Err::None;
    for (size_t k = 0; err == Err::None && k < m_keys.size(); ++k) {
      if (onKey) onKey(m_decl.keys[k].name);
      err = s.exec("DROP INDEX IF EXISTS " + quote(indexName(k)), &detail);
      if (err == Err::None) err = s.exec(indexSql(k), &detail);
      if (err == Err::DupKey) {
        detail = m_name.path + ": the records duplicate the unique key " + std::string(m_decl.keys[k].name);
        err = Err::RebuildKey;
      }
    }
    Err end = s.end(err == Err::None);
    s.touch(m_tableKey);
    return err != Err::None ? err : end;
  }

  Err deferKeys(std::string& detail) override {
    if (m_readOnly) return readOnly(detail);
    if (m_storage->depth() == 0) {
      detail = m_name.path + ": keys are deferred only inside a transaction";
      return Err::NoLogout;
    }
    if (Err err = m_storage->checkWrite(&detail); err != Err::None) return err;
    Err err = Err::None;
    for (size_t k = 0; err == Err::None && k < m_keys.size(); ++k)
      err = m_storage->exec("DROP INDEX IF EXISTS " + quote(indexName(k)), &detail);
    m_storage->touch(m_tableKey);
    return err;
  }

  Err buildDeferredKeys(std::string& detail) override {
    if (m_readOnly) return readOnly(detail);
    if (Err err = m_storage->checkWrite(&detail); err != Err::None) return err;
    Err err = Err::None;
    for (size_t k = 0; err == Err::None && k < m_keys.size(); ++k) {
      Stmt st = m_storage->prepare("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1");
      if (!st) return prepareFailed(detail);
      const std::string name = indexName(k);
      sqlite3_bind_text(st.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
      const bool present = sqlite3_step(st.get()) == SQLITE_ROW;
      sqlite3_reset(st.get());
      if (!present) err = m_storage->exec(indexSql(k), &detail);
    }
    m_storage->touch(m_tableKey);
    return err;
  }

  Err highestNumber(int key, double& value, std::string& detail) override {
    const KeyLayout& k = m_keys[key];
    if (k.parts.empty()) return Err::BadRecordDecl;
    const KeyLayout::Part& last = k.parts.back();
    std::string col;
    for (const Column& c : m_columns)
      if (c.field == last.field && c.element == 0) col = c.name;
    std::string prefix = detail::encodeKeyPrefix(k, m_decl.buffer, k.parts.size() - 1);
    std::string upperBound = successor(prefix);
    std::string kcol = keyExpr(key);
    std::string sql = "SELECT " + quote(col) + " FROM " + m_quotedTable;
    if (!prefix.empty()) sql += " WHERE " + kcol + " >= ?1" + (upperBound.empty() ? "" : " AND " + kcol + " < ?2");
    sql += " ORDER BY " + kcol + (last.descending ? "" : " DESC") + " LIMIT 1";
    Stmt st = m_storage->prepare(sql);
    if (!st) return prepareFailed(detail);
    if (!prefix.empty()) {
      sqlite3_bind_blob(st.get(), 1, prefix.data(), static_cast<int>(prefix.size()), SQLITE_TRANSIENT);
      if (!upperBound.empty())
        sqlite3_bind_blob(st.get(), 2, upperBound.data(), static_cast<int>(upperBound.size()), SQLITE_TRANSIENT);
    }
    int rc = sqlite3_step(st.get());
    if (rc == SQLITE_ROW) value = sqlite3_column_double(st.get(), 0);
    else if (rc == SQLITE_DONE) value = 0;
    else return m_storage->mapError(rc, &detail);
    return Err::None;
  }

 private:
  std::string password() const { return m_decl.owner ? m_decl.owner() : std::string(); }
  static std::string upper(std::string_view s) { return rt::UPPER(s); }

  std::string keyExpr(int key) const { return m_keyExprs[static_cast<size_t>(key)]; }

  Err readOnly(std::string& detail) {
    detail = m_name.path + ": opened for reading only";
    return Err::NoAccess;
  }
  Err prepareFailed(std::string& detail) {
    detail = m_name.path + ": " + sqlite3_errmsg(m_storage->db());
    return Err::FileSystem;
  }
  Err writeFailed(int rc, int64_t rid, std::string& detail) {
    Err err = m_storage->mapError(rc, &detail);
    if (err == Err::DupKey) detail = m_name.path + ": " + duplicateKeyName(rid);
    return err;
  }
  std::string duplicateKeyName(int64_t rid) {
    for (size_t k = 0; k < m_keys.size(); ++k)
      if (m_decl.keys[k].unique && duplicate(static_cast<int>(k), rid))
        return std::string("duplicate value of the key ") + m_decl.keys[k].name;
    return "duplicate key";
  }

  // Resolves the name, the columns and the keys; done at each open since the name may change.
  Err prepareLayout(std::string& detail) {
    m_name = resolveStorageName(m_file.name(), m_decl.label);
    m_quotedTable = quote(m_name.table);
    m_tableKey = upper(m_name.table);
    if (!m_columns.empty()) return Err::None;
    if (!m_decl.record || !m_decl.buffer) {
      detail = std::string(m_decl.label) + ": no record declared";
      return Err::BadRecordDecl;
    }
    for (const rt::FieldDesc& f : m_decl.record->fields) {
      if (f.memberOffset + static_cast<size_t>(f.width) * f.dim > m_decl.bufferSize &&
          f.type != FieldType::Memo && f.type != FieldType::Blob) {
        detail = std::string(m_decl.label) + ": field " + f.name + " lies outside the record buffer";
        return Err::BadRecordDecl;
      }
      if (f.type == FieldType::Memo || f.type == FieldType::Blob) continue;  // memos are declared beside
      for (int e = 0; e < f.dim; ++e)
        m_columns.push_back({&f, e, f.dim > 1 ? withoutPrefix(f.name) + "_" + std::to_string(e + 1) : withoutPrefix(f.name)});
    }
    m_keys.resize(m_decl.keys.size());
    for (size_t k = 0; k < m_decl.keys.size(); ++k) {
      std::string missing;
      if (!resolveKey(m_decl.keys[k], *m_decl.record, m_keys[k], missing)) {
        detail = std::string(m_decl.label) + ": key " + m_decl.keys[k].name + " names no field " + missing;
        m_columns.clear();
        return Err::BadRecordDecl;
      }
    }
    std::string names, params, sets;
    int n = 0;
    auto add = [&](const std::string& col) {
      ++n;
      names += (names.empty() ? "" : ", ") + quote(col);
      params += (params.empty() ? "?" : ", ?") + std::to_string(n);
      sets += (sets.empty() ? "" : ", ") + quote(col) + " = ?" + std::to_string(n);
      m_selectCols += ", " + quote(col);
    };
    for (const Column& c : m_columns) add(c.name);
    for (const MemoSlot& m : m_memos) add(withoutPrefix(m.name));
    m_keyExprs.clear();
    for (size_t k = 0; k < m_keys.size(); ++k) {
      std::string spec, cols;
      for (const KeyLayout::Part& part : m_keys[k].parts) {
        FieldType t = part.field->type;
        spec += isInteger(t) ? 'i' : isReal(t) ? 'r' : m_keys[k].caseSensitive ? 'T' : 't';
        spec += part.descending ? '-' : '+';
        for (const Column& c : m_columns)
          if (c.field == part.field && c.element == 0) cols += ", " + quote(c.name);
      }
      m_keyExprs.push_back("ov_key('" + spec + "'" + cols + ")");
    }
    m_insertSql = "INSERT INTO %T (" + names + ") VALUES (" + params + ")";
    // OR FAIL: the UPDATE names one row, and SQLite checks every constraint of a row before it
    // writes any of it, so a duplicate key leaves the record and its keys as they were. OR ABORT
    // (the default) would give each PUT inside a transaction a statement journal, which the
    // cipher encrypts page by page: a dozen pages per PUT, most of a PUT's time.
    m_updateSql = "UPDATE OR FAIL %T SET " + sets + " WHERE _rid = ?" + std::to_string(n + 1);
    m_keySignature.clear();
    for (const KeyDecl& k : m_decl.keys) {
      m_keySignature += k.name;
      m_keySignature += k.unique ? "|u" : "|d";
      m_keySignature += k.caseSensitive ? "c" : "i";
      for (const KeyPart& p : k.parts) m_keySignature += std::string("|") + p.field + (p.descending ? "-" : "+");
      m_keySignature += ";";
    }
    m_insertTemplate = m_insertSql;
    m_updateTemplate = m_updateSql;
    return Err::None;
  }

  std::string columnType(const Column& c) const {
    if (isInteger(c.field->type)) return "INTEGER NOT NULL DEFAULT 0";
    if (isReal(c.field->type)) return "REAL NOT NULL DEFAULT 0";
    return "TEXT NOT NULL DEFAULT ''";
  }
  std::string memoType(const MemoSlot& m) const { return m.isBlob ? "BLOB" : "TEXT NOT NULL DEFAULT ''"; }

  std::string createSql() const {
    std::string sql = "CREATE TABLE " + m_quotedTable + " (_rid INTEGER PRIMARY KEY AUTOINCREMENT";
    for (const Column& c : m_columns) sql += ", " + quote(c.name) + " " + columnType(c);
    for (const MemoSlot& m : m_memos) sql += ", " + quote(withoutPrefix(m.name)) + " " + memoType(m);
    return sql + ")";
  }

  std::string indexName(size_t k) const { return "ix_" + m_name.table + "_" + withoutPrefix(m_decl.keys[k].name); }
  std::string indexSql(size_t k) const {
    return std::string("CREATE ") + (m_decl.keys[k].unique ? "UNIQUE " : "") + "INDEX " + quote(indexName(k)) +
           " ON " + m_quotedTable + " (" + keyExpr(static_cast<int>(k)) + ")";
  }

  static Err ensureCatalogue(Storage& s, std::string& detail) {
    return s.exec("CREATE TABLE IF NOT EXISTS _ov_tables(name TEXT PRIMARY KEY COLLATE NOCASE, label TEXT, "
                  "upgrade TEXT, version INTEGER, keys TEXT)",
                  &detail);
  }

  Err writeCatalogue(Storage& s, std::string& detail) {
    Stmt st = s.prepare("INSERT OR REPLACE INTO _ov_tables(name, label, upgrade, version, keys) VALUES(?1,?2,?3,?4,?5)");
    if (!st) {
      detail = s.path() + ": " + sqlite3_errmsg(s.db());
      return Err::FileSystem;
    }
    sqlite3_bind_text(st.get(), 1, m_name.table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st.get(), 2, m_decl.label, -1, SQLITE_STATIC);
    sqlite3_bind_text(st.get(), 3, m_decl.upgradeName ? m_decl.upgradeName : "", -1, SQLITE_STATIC);
    sqlite3_bind_int(st.get(), 4, m_decl.version);
    sqlite3_bind_text(st.get(), 5, m_keySignature.c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(st.get());
    return rc == SQLITE_DONE ? Err::None : s.mapError(rc, &detail);
  }

  static bool tableExists(Storage& s, const std::string& table) {
    Stmt st = s.prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    if (!st) return false;
    sqlite3_bind_text(st.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(st.get()) == SQLITE_ROW;
  }

  // Finds the table (moving it from an earlier name when needed), checks its layout against the
  // declaration and upgrades an older one.
  Err attachTable(std::string& detail) {
    Storage& s = *m_storage;
    std::string sub = "%T";
    m_insertSql = m_insertTemplate;
    m_updateSql = m_updateTemplate;
    m_insertSql.replace(m_insertSql.find(sub), sub.size(), m_quotedTable);
    m_updateSql.replace(m_updateSql.find(sub), sub.size(), m_quotedTable);
    if (!tableExists(s, m_name.table)) {
      Err err = moveFromEarlierName(detail);
      if (err != Err::None) return err;
      if (!tableExists(s, m_name.table)) {
        detail = m_name.path + ": no table " + m_name.table;
        return Err::NoFile;
      }
    }
    int storedVersion = 0;
    std::string storedKeys;
    bool catalogued = false;
    {
      Stmt st = s.prepare("SELECT version, keys FROM _ov_tables WHERE name = ?1");
      if (st) {
        sqlite3_bind_text(st.get(), 1, m_name.table.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st.get()) == SQLITE_ROW) {
          catalogued = true;
          storedVersion = sqlite3_column_int(st.get(), 0);
          const unsigned char* k = sqlite3_column_text(st.get(), 1);
          storedKeys = k ? reinterpret_cast<const char*>(k) : "";
        }
      }
    }
    if (catalogued && storedVersion > m_decl.version) {
      detail = m_name.path + ": table " + m_name.table + " has layout version " + std::to_string(storedVersion) +
               ", newer than this program's " + std::to_string(m_decl.version);
      return Err::BadRecordDecl;
    }
    std::vector<std::string> present;
    {
      Stmt st = s.prepare("PRAGMA table_info(" + m_quotedTable + ")");
      if (!st) return prepareFailed(detail);
      while (sqlite3_step(st.get()) == SQLITE_ROW) present.push_back(upper(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1))));
    }
    auto has = [&](const std::string& col) {
      std::string u = upper(col);
      for (const std::string& p : present)
        if (p == u) return true;
      return false;
    };
    std::vector<std::string> addColumns;
    for (const Column& c : m_columns)
      if (!has(c.name)) addColumns.push_back(quote(c.name) + " " + columnType(c));
    for (const MemoSlot& m : m_memos)
      if (!has(withoutPrefix(m.name))) addColumns.push_back(quote(withoutPrefix(m.name)) + " " + memoType(m));
    bool keysChanged = storedKeys != m_keySignature;
    if (!addColumns.empty() && catalogued && storedVersion == m_decl.version) {
      detail = m_name.path + ": table " + m_name.table + " does not match its declaration (column " + addColumns[0] + ")";
      return Err::BadRecordDecl;
    }
    if (addColumns.empty() && !keysChanged && storedVersion == m_decl.version) return Err::None;
    if (m_readOnly) {
      detail = m_name.path + ": table " + m_name.table + " needs an upgrade and is opened for reading only";
      return Err::NoAccess;
    }
    // Upgrade: new columns with their blank defaults, keys rebuilt, the new version recorded;
    // all or nothing.
    if (Err err = s.begin(s.defaultTimeoutMs(), &detail); err != Err::None) return err;
    Err err = ensureCatalogue(s, detail);
    for (size_t i = 0; err == Err::None && i < addColumns.size(); ++i)
      err = s.exec("ALTER TABLE " + m_quotedTable + " ADD COLUMN " + addColumns[i], &detail);
    if (err == Err::None && keysChanged) err = rebuildKeys(detail);
    if (err == Err::None) err = writeCatalogue(s, detail);
    Err end = s.end(err == Err::None, err == Err::None ? &detail : nullptr);
    s.touch(m_tableKey);
    return err != Err::None ? err : end;
  }

  // Drops the keys of the stored layout and builds the declared ones from the records.
  Err rebuildKeys(std::string& detail) {
    Storage& s = *m_storage;
    std::vector<std::string> old;
    {
      Stmt st = s.prepare("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = ?1 COLLATE NOCASE "
                          "AND name LIKE 'ix\\_%' ESCAPE '\\'");
      if (!st) return prepareFailed(detail);
      sqlite3_bind_text(st.get(), 1, m_name.table.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(st.get()) == SQLITE_ROW) old.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
    }
    for (const std::string& ix : old)
      if (Err err = s.exec("DROP INDEX " + quote(ix), &detail); err != Err::None) return err;
    for (size_t k = 0; k < m_keys.size(); ++k) {
      if (Err err = s.exec(indexSql(k), &detail); err != Err::None) {
        if (err == Err::DupKey) {
          detail = m_name.path + ": the records duplicate the unique key " + std::string(m_decl.keys[k].name);
          return Err::RebuildKey;
        }
        return err;
      }
    }
    return Err::None;
  }

  bool earlierStorageExists() const {
    for (const char* earlier : m_decl.earlierNames) {
      struct stat st;
      StorageName from = resolveStorageName(earlier, m_decl.label);
      if (from.path != m_name.path && ::stat(from.path.c_str(), &st) == 0) return true;
    }
    return false;
  }

  Err moveFromEarlierName(std::string& detail) {
    for (const char* earlier : m_decl.earlierNames) {
      StorageName from = resolveStorageName(earlier, m_decl.label);
      if (upper(from.table) == m_tableKey && from.path == m_name.path) continue;
      if (from.path == m_name.path) {
        if (!tableExists(*m_storage, from.table)) continue;
        Storage& s = *m_storage;
        if (Err err = s.begin(s.defaultTimeoutMs(), &detail); err != Err::None) return err;
        Err err = s.exec("ALTER TABLE " + quote(from.table) + " RENAME TO " + m_quotedTable, &detail);
        if (err == Err::None)
          err = s.exec("UPDATE _ov_tables SET name = " + literal(m_name.table) + " WHERE name = " + literal(from.table),
                       &detail);
        Err end = s.end(err == Err::None);
        return err != Err::None ? err : end;
      }
      // Another storage file: copy the table's rows over, in one transaction of this storage.
      std::shared_ptr<Storage> src;
      std::string ignored;
      if (Storage::acquire(from.path, password(), false, false, src, ignored) != Err::None) continue;
      if (!tableExists(*src, from.table)) continue;
      return copyTable(*src, from.table, detail);
    }
    return Err::None;
  }

  Err copyTable(Storage& src, const std::string& table, std::string& detail) {
    Storage& s = *m_storage;
    std::vector<std::string> cols;
    {
      Stmt st = src.prepare("PRAGMA table_info(" + quote(table) + ")");
      while (st && sqlite3_step(st.get()) == SQLITE_ROW) cols.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1)));
    }
    std::string list;
    for (const std::string& c : cols) list += (list.empty() ? "" : ", ") + quote(c);
    if (Err err = s.begin(s.defaultTimeoutMs(), &detail); err != Err::None) return err;
    Err err = ensureCatalogue(s, detail);
    if (err == Err::None) {
      // The copy keeps the source's layout and version; the usual upgrade then runs on it.
      Stmt info = src.prepare("SELECT sql FROM sqlite_master WHERE type IN ('table', 'index') AND tbl_name = ?1 "
                              "COLLATE NOCASE AND sql IS NOT NULL ORDER BY type DESC");
      sqlite3_bind_text(info.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
      std::vector<std::string> ddl;
      while (sqlite3_step(info.get()) == SQLITE_ROW) ddl.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 0)));
      for (std::string sql : ddl) {
        if (err != Err::None) break;
        if (sql.compare(0, 12, "CREATE TABLE") == 0)
          sql = "CREATE TABLE " + m_quotedTable + sql.substr(sql.find('('));
        else if (sql.find(" ON ") != std::string::npos)
          sql = sql.substr(0, sql.find(" ON ")) + " ON " + m_quotedTable + sql.substr(sql.find('(', sql.find(" ON ")));
        err = s.exec(sql, &detail);
      }
    }
    if (err == Err::None) {
      Stmt rd = src.prepare("SELECT " + list + " FROM " + quote(table));
      std::string params;
      for (size_t i = 0; i < cols.size(); ++i) params += (i ? ", ?" : "?") + std::to_string(i + 1);
      Stmt wr = s.prepare("INSERT INTO " + m_quotedTable + " (" + list + ") VALUES (" + params + ")");
      if (!rd || !wr) err = prepareFailed(detail);
      int rc;
      while (err == Err::None && (rc = sqlite3_step(rd.get())) == SQLITE_ROW) {
        for (int i = 0; i < static_cast<int>(cols.size()); ++i) sqlite3_bind_value(wr.get(), i + 1, sqlite3_column_value(rd.get(), i));
        rc = sqlite3_step(wr.get());
        sqlite3_reset(wr.get());
        if (rc != SQLITE_DONE) err = s.mapError(rc, &detail);
      }
    }
    if (err == Err::None) {
      Stmt ver = src.prepare("SELECT version, keys FROM _ov_tables WHERE name = ?1");
      int version = 0;
      std::string keys;
      if (ver) {
        sqlite3_bind_text(ver.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(ver.get()) == SQLITE_ROW) {
          version = sqlite3_column_int(ver.get(), 0);
          const unsigned char* k = sqlite3_column_text(ver.get(), 1);
          keys = k ? reinterpret_cast<const char*>(k) : "";
        }
      }
      err = s.exec("INSERT OR REPLACE INTO _ov_tables(name, label, upgrade, version, keys) VALUES(" +
                       literal(m_name.table) + ", " + literal(m_decl.label) + ", '', " + std::to_string(version) +
                       ", " + literal(keys) + ")",
                   &detail);
    }
    Err end = s.end(err == Err::None);
    return err != Err::None ? err : end;
  }

  Err runScan(const std::string& sql, const std::string* key, int64_t rid, int limit, std::vector<Row>& out,
              std::string& detail) {
    Stmt st = m_storage->prepare(sql);
    if (!st) return prepareFailed(detail);
    if (key) sqlite3_bind_blob(st.get(), 1, key->data(), static_cast<int>(key->size()), SQLITE_STATIC);
    if (sqlite3_bind_parameter_count(st.get()) >= 2) sqlite3_bind_int64(st.get(), 2, rid);
    sqlite3_bind_int(st.get(), 3, limit);
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
      Row& row = out.emplace_back();
      row.rid = sqlite3_column_int64(st.get(), 0);
      if (const void* k = sqlite3_column_blob(st.get(), 1))
        row.key.assign(static_cast<const char*>(k), static_cast<size_t>(sqlite3_column_bytes(st.get(), 1)));
      loadImage(st.get(), 2, row);
    }
    return rc == SQLITE_DONE ? Err::None : m_storage->mapError(rc, &detail);
  }

  // Reads the field and memo columns starting at column `col` into the row's image.
  void loadImage(sqlite3_stmt* st, int col, Row& row) const {
    row.image.bytes.assign(static_cast<const char*>(m_decl.buffer), m_decl.bufferSize);
    int next = loadFields(st, col, row.image.bytes.data());
    row.image.memos.resize(m_memos.size());
    for (size_t m = 0; m < m_memos.size(); ++m, ++next) {
      const void* p = sqlite3_column_blob(st, next);
      size_t n = static_cast<size_t>(sqlite3_column_bytes(st, next));
      std::string_view v(p ? static_cast<const char*>(p) : "", n);
      row.image.memos[m].assign(v.substr(0, m_memos[m].isBlob ? std::min<size_t>(n, m_memos[m].size)
                                                               : rt::utf8CutLength(v, m_memos[m].size)));
    }
  }

  // Reads the field columns starting at column `col` into the record at `base`; returns the
  // column after them.
  int loadFields(sqlite3_stmt* st, int col, char* base) const {
    for (const Column& c : m_columns) {
      const rt::FieldDesc& f = *c.field;
      char* p = base + f.memberOffset + static_cast<size_t>(c.element) * f.width;
      int type = sqlite3_column_type(st, col);
      switch (f.type) {
        case FieldType::String:
        case FieldType::CString: {
          const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
          std::string_view v(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(st, col)));
          size_t room = f.type == FieldType::String ? f.width : f.width - 1;
          size_t n = rt::utf8CutLength(v, room);
          std::memcpy(p, v.data(), n);
          std::memset(p + n, f.type == FieldType::String ? ' ' : '\0', f.width - n);
          break;
        }
        default:
          if (type == SQLITE_TEXT) rt::setFieldText(base, f, reinterpret_cast<const char*>(sqlite3_column_text(st, col)), c.element);
          else if (isInteger(f.type)) rt::setFieldNumber(base, f, static_cast<double>(sqlite3_column_int64(st, col)), c.element);
          else rt::setFieldNumber(base, f, sqlite3_column_double(st, col), c.element);
          break;
      }
      ++col;
    }
    return col;
  }

  // Binds the buffer's fields, memos and encoded keys to ?1...; returns the last index used.
  int bindRecord(sqlite3_stmt* st) {
    const char* base = static_cast<const char*>(m_decl.buffer);
    int i = 0;
    for (const Column& c : m_columns) {
      ++i;
      const rt::FieldDesc& f = *c.field;
      const char* p = base + f.memberOffset + static_cast<size_t>(c.element) * f.width;
      // The buffer stays as it is until the statement has run: no copies needed.
      if (f.type == FieldType::String) {
        sqlite3_bind_text(st, i, p, static_cast<int>(clippedLength(p, f.width)), SQLITE_STATIC);
      } else if (f.type == FieldType::CString) {
        sqlite3_bind_text(st, i, p, static_cast<int>(::strnlen(p, f.width)), SQLITE_STATIC);
      } else if (isInteger(f.type)) {
        sqlite3_bind_int64(st, i, static_cast<int64_t>(rt::fieldNumber(base, f, c.element)));
      } else {
        sqlite3_bind_double(st, i, rt::fieldNumber(base, f, c.element));
      }
    }
    for (const MemoSlot& m : m_memos) {
      ++i;
      const std::string& v = m.ref(m_decl.buffer);
      size_t n = m.isBlob ? std::min<size_t>(v.size(), m.size) : rt::utf8CutLength(v, m.size);
      if (m.isBlob) sqlite3_bind_blob(st, i, v.data(), static_cast<int>(n), SQLITE_STATIC);
      else sqlite3_bind_text(st, i, v.data(), static_cast<int>(n), SQLITE_STATIC);
    }
    return i;
  }

  File& m_file;
  const FileDecl& m_decl;
  std::vector<MemoSlot> m_memos;
  StorageName m_name;
  std::string m_quotedTable, m_tableKey;
  std::shared_ptr<Storage> m_storage;
  std::vector<Column> m_columns;
  std::vector<KeyLayout> m_keys;
  std::string m_selectCols, m_insertSql, m_updateSql, m_insertTemplate, m_updateTemplate, m_keySignature;
  std::vector<std::string> m_keyExprs;  // per key: the SQL expression its index is on
  bool m_readOnly = false;
  bool m_holding = false;
};

}  // namespace

std::unique_ptr<Backend> makeTableBackend(File& file) { return std::make_unique<TableBackend>(file); }

}  // namespace ov::db::detail
