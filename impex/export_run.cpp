#include "impex/export_run.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "datalib/files.h"
#include "platform/rt/err.h"

namespace ov::impex {

ExportRun::ExportRun(const ImpexTable& table, std::vector<ExportField> fields, bool header)
    : m_table(table), m_fields(std::move(fields)), m_header(header) {
  for (const ExportField& f : m_fields) {
    const ImpexField* field = m_table.field(f.name);
    m_descs.push_back(field ? field->desc : nullptr);
  }
}

ExportRun::~ExportRun() { abandon(); }

bool ExportRun::fail(std::string text) {
  m_error = std::move(text);
  return false;
}

bool ExportRun::begin(const std::string& path) {
  for (size_t i = 0; i < m_descs.size(); ++i)
    if (m_descs[i] == nullptr) return fail("No field " + m_fields[i].name + " in " + m_table.label);
  m_path = path;
  m_temp = path + ".part";
  m_out = std::fopen(m_temp.c_str(), "wb");
  if (m_out == nullptr)
    return fail("Cannot CREATE " + path + ": Error #" + std::to_string(errno) + " - " + std::strerror(errno));
  if (m_header) {
    m_line.start();
    for (const ExportField& f : m_fields) m_line.appendHeader(f.name);
    if (!writeLine()) return false;
  }
  m_total = m_table.file->records();
  if (rt::Err err = m_table.file->set(m_table.readKey); err != rt::Err::None)
    return fail("Record Retrieval Error: " + rt::ERROR() + " (" + std::to_string(static_cast<int>(err)) + ")");
  return true;
}

bool ExportRun::writeLine() {
  const std::string& s = m_line.line();
  if (std::fwrite(s.data(), 1, s.size(), m_out) != s.size() ||
      std::fwrite(kCsvLineEnd.data(), 1, kCsvLineEnd.size(), m_out) != kCsvLineEnd.size())
    return fail("Cannot ADD to " + m_path + ": Error #" + std::to_string(errno) + " - " + std::strerror(errno));
  return true;
}

ExportRun::Step ExportRun::step(int maxRecords) {
  if (m_out == nullptr) return Step::Failed;
  auto* rec = m_table.buffer();
  for (int n = 0; n < maxRecords; ++n) {
    rt::Err err = m_table.file->next();
    if (err == rt::Err::NotAvailable) {
      m_atEnd = true;
      return Step::Done;
    }
    if (err != rt::Err::None) {
      fail(std::string("Error: (") + rt::ERROR() + " (" + std::to_string(static_cast<int>(err)) +
           ")) attempting to access a record from the " + m_table.label + " file.");
      return Step::Failed;
    }
    // A repeat rule stored with a NUL first character is written as blanks.
    if (m_table.file == &files::SCHEDULE && files::SCH.MonthRepeat.data()[0] == '\0')
      files::SCH.MonthRepeat.clear();
    m_line.start();
    for (size_t i = 0; i < m_descs.size(); ++i)
      m_line.appendField(rec, *m_descs[i], m_fields[i].picture);
    if (!writeLine()) return Step::Failed;
    ++m_done;
  }
  return Step::More;
}

bool ExportRun::finish() {
  if (m_out == nullptr) return fail(m_error.empty() ? "The export file is not open" : m_error);
  const bool flushed = std::fflush(m_out) == 0 && ::fsync(::fileno(m_out)) == 0;
  const int flushErr = errno;
  const bool closed = std::fclose(m_out) == 0;
  m_out = nullptr;
  if (!flushed || !closed) {
    (void)std::remove(m_temp.c_str());  // best effort: the target stays as it was
    return fail("Cannot CLOSE " + m_path + ": Error #" + std::to_string(flushErr) + " - " + std::strerror(flushErr));
  }
  std::error_code ec;
  std::filesystem::rename(m_temp, m_path, ec);
  if (ec) {
    (void)std::remove(m_temp.c_str());
    return fail("Cannot CREATE " + m_path + ": " + ec.message());
  }
  return true;
}

void ExportRun::abandon() {
  if (m_out == nullptr) return;
  std::fclose(m_out);
  m_out = nullptr;
  (void)std::remove(m_temp.c_str());  // best effort
}

}  // namespace ov::impex
