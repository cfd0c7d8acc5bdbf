#include "impex/import_run.h"

#include <algorithm>

#include "datalib/files.h"
#include "platform/files/file.h"
#include "platform/rt/err.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"

namespace ov::impex {
namespace {

constexpr size_t kValueWidth = 100;
constexpr int kAutoNumberTries = 3;
constexpr const char* kChanged = "The file changed while it was imported";

std::string cutValue(const std::string& s) { return s.substr(0, std::min(s.size(), kValueWidth)); }

bool isDateOrTime(std::string_view picture) {
  rt::PictureKind k = rt::pictureKind(picture);
  return k == rt::PictureKind::Date || k == rt::PictureKind::Time;
}

bool namesMatch(const ImpexTable& table, std::string_view value, std::string_view target) {
  value = rt::clipView(value);
  if (!table.looseNames) return value == target;
  const std::string v = rt::UPPER(value), t = rt::UPPER(target);
  return v == t || "SCH:" + v == t;
}

// The error with the driver's own detail when it has one (a file system error names the file and
// says "the disk is full").
std::string errText(rt::Err err) {
  std::string text = "Error #" + std::to_string(static_cast<int>(err)) + " - " + rt::ERROR();
  if (const std::string detail = rt::FILEERROR(); !detail.empty() && detail != rt::ERROR()) text += " (" + detail + ")";
  return text;
}

}  // namespace

std::string displayPicture(std::string_view picture) {
  switch (pictureType(picture)) {
    case 'S': return "Alpha-num";
    case 'N': return "Numeric";
    default: return std::string(rt::clipView(picture));
  }
}

ImportLayout ImportLayout::fromSample(const ImpexTable& table, const CsvRecord& first,
                                      const CsvRecord* second) {
  ImportLayout l;
  for (size_t i = 0; i < first.fields.size(); ++i) {
    ImportColumn c;
    c.field = "Field_" + std::to_string(i + 1);
    c.value = cutValue(first.fields[i].text);
    if (second != nullptr && i < second->fields.size() && !second->fields[i].quoted)
      c.picture = kNumberColumnPicture;
    l.columns.push_back(std::move(c));
  }
  l.source.assign(table.fields.size(), -1);
  return l;
}

int ImportLayout::autoAssign(const ImpexTable& table) {
  int assigned = 0;
  for (size_t t = 0; t < table.fields.size(); ++t) {
    if (source[t] >= 0) continue;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (!namesMatch(table, columns[c].value, table.fields[t].name)) continue;
      source[t] = static_cast<int>(c);
      ++assigned;
      // The export wrote dates and times formatted: read them back through the field's picture.
      if (isDateOrTime(table.fields[t].picture)) columns[c].picture = table.fields[t].picture;
      break;
    }
  }
  stripHeader = assigned > 0;
  return assigned;
}

void ImportLayout::showSample(const CsvRecord& rec) {
  for (size_t c = 0; c < columns.size() && c < rec.fields.size(); ++c)
    columns[c].value = cutValue(rec.fields[c].text);
}

bool ImportLayout::hasAssignment() const {
  return std::any_of(source.begin(), source.end(), [](int s) { return s >= 0; });
}

ImportRun::ImportRun(const ImpexTable& table, std::string data, ImportLayout layout,
                     RetryQuestion askRetry)
    : m_table(table), m_data(std::move(data)), m_reader(m_data), m_layout(std::move(layout)),
      m_askRetry(std::move(askRetry)) {
  bindColumns();
}

ImportRun::ImportRun(const ImpexTable& table, CsvFile file, ImportLayout layout, RetryQuestion askRetry)
    : m_table(table), m_path(std::move(file.path)), m_layout(std::move(layout)), m_askRetry(std::move(askRetry)) {
  bindColumns();
}

void ImportRun::bindColumns() {
  for (size_t t = 0; t < m_table.fields.size() && t < m_layout.source.size(); ++t) {
    const int c = m_layout.source[t];
    if (c < 0 || static_cast<size_t>(c) >= m_layout.columns.size()) continue;
    m_bindings.push_back({static_cast<size_t>(c),
                          FieldStore(*m_table.fields[t].desc, m_layout.columns[static_cast<size_t>(c)].picture,
                                     m_table.fields[t].picture)});
  }
  m_caption = std::string("Cannot ADD to ") + m_table.label + "!";
}

ImportRun::~ImportRun() { abandon(); }

bool ImportRun::openInput() {
  if (m_path.empty()) return true;
  m_in.open(m_path, std::ios::binary);
  if (!m_in) {
    m_caption = "Cannot OPEN " + m_path;
    m_error = "Error #2 - " + std::string(rt::errorText(rt::Err::NoFile));
    return false;
  }
  m_reader = CsvReader(m_in);
  return true;
}

std::string ImportRun::badRecord(CsvReader::Result r, const CsvRecord& rec) const {
  if (r == CsvReader::Result::Malformed) return m_reader.error();
  if (!rec.fields.empty() && rec.fields.size() < m_layout.columns.size()) {
    // A line cut short (a file that ended early, a record split by a stray line end).
    return "Line " + std::to_string(rec.line) + ": " + std::to_string(rec.fields.size()) +
           (rec.fields.size() == 1 ? " field" : " fields") + " where the first line has " +
           std::to_string(m_layout.columns.size());
  }
  return {};
}

void ImportRun::inputError(const std::string& text) {
  if (m_reader.inputFailed()) {
    m_caption = "Cannot OPEN " + m_path;
    m_error = text;
  } else {
    m_caption = "Invalid Import File!";
    m_error = text + ".  Nothing was imported.";
  }
}

bool ImportRun::begin() {
  // The whole file is checked first, so a bad line anywhere stores nothing; the records are read
  // again one at a time as they are stored.
  if (!openInput()) return false;
  CsvRecord rec;
  bool first = true;
  m_total = 0;
  for (;;) {
    CsvReader::Result r = m_reader.next(rec);
    if (r == CsvReader::Result::End) break;
    if (const std::string bad = badRecord(r, rec); !bad.empty()) {
      inputError(bad);
      return false;
    }
    const bool header = first && m_layout.stripHeader;
    first = false;
    if (!header && !rec.fields.empty()) ++m_total;  // a blank line stores nothing
  }
  m_bytes = static_cast<int64_t>(m_reader.offset());
  m_reader.rewind();
  if (m_reader.inputFailed()) {
    inputError("The file could not be read.");
    return false;
  }
  m_headerPending = m_layout.stripHeader;
  if (rt::Err err = db::LOGOUT(5, {m_table.file}); err != rt::Err::None) {
    m_error = errText(err);
    return false;
  }
  m_inTransaction = true;
  // Many records into a table that holds as many or fewer: its keys are built once, sorted, when
  // the run is kept, rather than kept up record by record (most of an ADD's time). Not when the
  // run numbers records (each reads the highest id by its key) or a key is unique (a duplicate
  // must stop the run at its own line).
  const auto& keys = m_table.file->decl().keys;
  const bool anyUnique = std::any_of(keys.begin(), keys.end(), [](const db::KeyDecl& k) { return k.unique; });
  m_existing = m_table.file->records();
  if (m_table.idField == nullptr && !anyUnique && m_total > 0 && m_existing <= m_total && m_existing < m_deferLimit) {
    if (rt::Err err = m_table.file->deferKeys(); err != rt::Err::None) {
      m_error = errText(err);
      abandon();
      return false;
    }
    m_keysDeferred = true;
  }
  return true;
}

void ImportRun::fillRecord(const CsvRecord& rec) {
  m_table.file->clear();
  void* buffer = m_table.buffer();
  for (const Binding& b : m_bindings)
    if (b.column < rec.fields.size()) b.store(buffer, rec.fields[b.column].text);
  if (m_table.file == &files::SCHEDULE && files::SCH.AdvanceWarnDate == 0) files::SCH.AdvanceWarnTime = 0;
}

rt::Err ImportRun::autoNumberAdd() {
  const db::RecordImage saved = m_table.file->saveBuffer();
  for (;;) {
    rt::Err err = rt::Err::None;
    for (int attempt = 0; attempt < kAutoNumberTries; ++attempt) {
      double id = 1;
      if ((err = m_table.file->set(m_table.idKey)) != rt::Err::None) return err;
      err = m_table.file->previous();
      if (err == rt::Err::None) {
        id = rt::fieldNumber(m_table.buffer(), *m_table.idField) + 1;
      } else if (err != rt::Err::NotAvailable) {
        m_readFailed = true;
        return err;
      }
      m_table.file->restoreBuffer(saved);
      rt::setFieldNumber(m_table.buffer(), *m_table.idField, id);
      err = m_table.file->add();
      if (err != rt::Err::DupKey) return err;
    }
    const std::string question =
        "Attempts to automatically number this record have failed.  Error: " + rt::ERROR() + ".";
    if (!m_askRetry || !m_askRetry(question)) return err;
  }
}

rt::Err ImportRun::store() {
  return m_table.idField != nullptr ? autoNumberAdd() : m_table.file->add();
}

ImportRun::Step ImportRun::step(int maxRecords) {
  if (!m_inTransaction) return Step::Failed;
  CsvRecord rec;
  for (int n = 0; n < maxRecords && m_next < m_total;) {
    // The file is read again as it is stored: a record that no longer reads as one, or a file
    // that ends early, fails the run.
    const CsvReader::Result r = m_reader.next(rec);
    std::string bad = badRecord(r, rec);
    if (bad.empty() && r == CsvReader::Result::End) bad = kChanged;
    if (!bad.empty()) {
      inputError(bad);
      abandon();
      return Step::Failed;
    }
    const bool header = m_headerPending;
    m_headerPending = false;
    if (header || rec.fields.empty()) continue;
    fillRecord(rec);
    if (rt::Err err = store(); err != rt::Err::None) {
      if (m_readFailed) {
        m_caption = "Record Retrieval Error";
        m_error = "Error: (" + rt::ERROR() + " (" + std::to_string(static_cast<int>(err)) +
                  ")) attempting to access a record from the " + m_table.label + " file.  Returning to previous window.";
      } else {
        m_error = errText(err) + " (line " + std::to_string(rec.line) + ").  Nothing was imported.";
      }
      abandon();
      return Step::Failed;
    }
    ++m_next;
    ++n;
    // Sorting more records at once would hold more memory than a large import may take: the
    // keys are built for what is stored so far and the rest of the records keep them up.
    if (m_keysDeferred && m_existing + m_next >= m_deferLimit && m_next < m_total && !buildKeys()) return Step::Failed;
  }
  if (m_next < m_total) return Step::More;
  return Step::Done;
}

bool ImportRun::finish() {
  if (!m_inTransaction) return m_error.empty();
  if (m_next == m_total && !restIsAsChecked()) {
    abandon();
    return false;
  }
  if (m_keysDeferred && !buildKeys()) return false;
  m_inTransaction = false;
  if (rt::Err err = db::COMMIT(); err != rt::Err::None) {
    m_error = errText(err) + ".  Nothing was imported.";
    (void)db::ROLLBACK();  // best effort: nothing half-done stays
    return false;
  }
  return true;
}

// Builds the keys dropped at begin(); on failure the run is rolled back.
bool ImportRun::buildKeys() {
  m_keysDeferred = false;
  if (rt::Err err = m_table.file->buildDeferredKeys(); err != rt::Err::None) {
    m_error = errText(err) + ".  Nothing was imported.";
    abandon();
    return false;
  }
  return true;
}

// After the last record stored, the file must end where it ended when it was checked: only blank
// lines may follow.
bool ImportRun::restIsAsChecked() {
  CsvRecord rec;
  for (;;) {
    const CsvReader::Result r = m_reader.next(rec);
    if (r == CsvReader::Result::Record && (rec.fields.empty() || m_headerPending)) {
      m_headerPending = false;  // a file of nothing but its header line
      continue;
    }
    if (r == CsvReader::Result::End && static_cast<int64_t>(m_reader.offset()) == m_bytes) return true;
    inputError(r == CsvReader::Result::Malformed ? m_reader.error() : std::string(kChanged));
    return false;
  }
}

void ImportRun::abandon() {
  if (!m_inTransaction) return;
  m_inTransaction = false;
  (void)db::ROLLBACK();  // the table goes back to where the run began
}

}  // namespace ov::impex
