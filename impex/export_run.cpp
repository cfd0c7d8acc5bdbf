#include "impex/export_run.h"

#include <fcntl.h>
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
  m_out = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (m_out < 0)
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
  m_pending += m_line.line();
  m_pending += kCsvLineEnd;
  return m_pending.size() < kWriteChunk || flush();
}

bool ExportRun::flush() {
  while (!m_pending.empty()) {
    const ssize_t n = ::pwrite(m_out, m_pending.data(), m_pending.size(), m_written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int code = n < 0 ? errno : ENOSPC;
      m_writeFailed = true;
      return fail("Cannot ADD to " + m_path + ": Error #" + std::to_string(code) + " - " + std::strerror(code));
    }
    m_written += n;
    m_pending.erase(0, static_cast<size_t>(n));
  }
  m_writeFailed = false;
  return true;
}

bool ExportRun::retryWrite() {
  if (m_out < 0) return false;
  m_error.clear();
  return flush();
}

ExportRun::Step ExportRun::step(int maxRecords) {
  if (m_out < 0 || m_writeFailed) return Step::Failed;
  if (m_atEnd) return Step::Done;
  auto* rec = m_table.buffer();
  for (int n = 0; n < maxRecords; ++n) {
    rt::Err err = m_table.file->next();
    if (err == rt::Err::NotAvailable) {
      m_atEnd = true;
      return Step::Done;
    }
    if (err != rt::Err::None) {
      m_readFailed = true;
      m_atEnd = true;  // as at the end of the table: what was written is kept
      fail(std::string("Error: (") + rt::ERROR() + " (" + std::to_string(static_cast<int>(err)) +
           ")) attempting to access a record from the " + m_table.label + " file.  Returning to previous window.");
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
  if (m_out < 0) return fail(m_error.empty() ? "The export file is not open" : m_error);
  if (!flush()) return false;  // the file stays open: the write may be tried again
  const bool synced = ::fsync(m_out) == 0;
  const int syncErr = errno;
  const bool closed = ::close(m_out) == 0;
  const int closeErr = errno;
  m_out = -1;
  if (!synced || !closed) {
    (void)std::remove(m_temp.c_str());  // best effort: the target stays as it was
    const int code = synced ? closeErr : syncErr;
    return fail("Cannot CLOSE " + m_path + ": Error #" + std::to_string(code) + " - " + std::strerror(code));
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
  if (m_out < 0) return;
  ::close(m_out);
  m_out = -1;
  (void)std::remove(m_temp.c_str());  // best effort
}

}  // namespace ov::impex
