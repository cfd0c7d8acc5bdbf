// What a backup archives for each file: a data file as one commit left it, copied through the
// database while ov98 may be writing it, and its journals ("-wal", "-shm", "-journal") as empty
// members, since the copy holds everything they held. Any other file is read as it is.
#pragma once

#include <map>
#include <string>

#include "platform/libs/zip/zip_library.h"

namespace ov::backup {

class DataFileSource {
 public:
  explicit DataFileSource(std::string password) : m_password(std::move(password)) {}
  zip::SourceAnswer answer(const std::string& path);

 private:
  // Copies `path` into a new temporary file when it is a data file: the answer for it.
  zip::SourceAnswer copy(const std::string& path);
  bool isDataFile(const std::string& path);

  std::string m_password;
  std::map<std::string, bool> m_dataFiles;  // by path, as found out so far
};

// Installs a DataFileSource with the data files' owner password for the zip calls of this
// thread's backup while it lives; the default source comes back at its end.
class DataFileSourceScope {
 public:
  DataFileSourceScope();
  ~DataFileSourceScope();
  DataFileSourceScope(const DataFileSourceScope&) = delete;
  DataFileSourceScope& operator=(const DataFileSourceScope&) = delete;

 private:
  DataFileSource m_source;
};

}  // namespace ov::backup
