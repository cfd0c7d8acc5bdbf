#include "backup/data_file_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "datalib/globals.h"
#include "platform/files/file.h"

namespace ov::backup {
namespace {

constexpr const char* kJournals[] = {"-wal", "-shm", "-journal"};

// The data file a journal belongs to ("" when `path` names no journal).
std::string journalOwner(const std::string& path) {
  for (const char* suffix : kJournals) {
    const size_t n = std::strlen(suffix);
    if (path.size() > n && path.compare(path.size() - n, n, suffix) == 0) return path.substr(0, path.size() - n);
  }
  return {};
}

// Plain data files start with the database's own header; encrypted ones with nothing readable.
bool looksPlain(const std::string& path) {
  char head[16] = {};
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool plain = ::pread(fd, head, sizeof head, 0) == 16 && std::memcmp(head, "SQLite format 3", 16) == 0;
  ::close(fd);
  return plain;
}

std::string temporaryFile() {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  std::string pattern = (ec ? std::string("/tmp") : folder.string()) + "/ovbackXXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) return {};
  ::close(fd);
  return pattern;
}

}  // namespace

zip::SourceAnswer DataFileSource::copy(const std::string& path) {
  zip::SourceAnswer a;
  const std::string temp = temporaryFile();
  if (temp.empty()) {
    a.kind = zip::SourceAnswer::Failed;
    a.detail = path + ": no temporary file for its copy (" + std::strerror(errno) + ")";
    return a;
  }
  std::string detail;
  switch (db::copyStorageFile(path, looksPlain(path) ? std::string() : m_password, temp, detail)) {
    case db::StorageCopy::Made:
      m_dataFiles[path] = true;
      a.kind = zip::SourceAnswer::Replaced;
      a.path = temp;
      return a;
    case db::StorageCopy::NotDataFile:
      m_dataFiles[path] = false;
      break;
    case db::StorageCopy::Failed:
      m_dataFiles[path] = true;
      a.kind = zip::SourceAnswer::Failed;
      a.detail = detail;
      break;
  }
  ::unlink(temp.c_str());
  return a;
}

bool DataFileSource::isDataFile(const std::string& path) {
  if (auto it = m_dataFiles.find(path); it != m_dataFiles.end()) return it->second;
  zip::SourceAnswer a = copy(path);
  if (a.kind == zip::SourceAnswer::Replaced) ::unlink(a.path.c_str());
  return m_dataFiles[path];
}

zip::SourceAnswer DataFileSource::answer(const std::string& path) {
  const std::string owner = journalOwner(path);
  if (!owner.empty() && ::access(owner.c_str(), F_OK) == 0 && isDataFile(owner)) {
    // Its content is in the copy of its data file; a journal of another moment restored beside
    // that copy would be replayed into it.
    zip::SourceAnswer a;
    a.kind = zip::SourceAnswer::Empty;
    return a;
  }
  return copy(path);
}

DataFileSourceScope::DataFileSourceScope() : m_source(std::string(files::kMasterFileOwner)) {
  zip::setSourceFilter([this](const std::string& path) { return m_source.answer(path); });
}

DataFileSourceScope::~DataFileSourceScope() { zip::setSourceFilter({}); }

}  // namespace ov::backup
