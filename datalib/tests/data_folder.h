// A fresh data folder for a test: a temporary folder made current, with XDG_CONFIG_HOME and
// XDG_DATA_HOME inside it; every data file is closed and the folder removed at the end.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "datalib/files.h"
#include "platform/rt/err.h"

namespace ov::files::testing {

class DataFolder {
 public:
  DataFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ovdata-XXXXXX").string();
    m_root = ::mkdtemp(tmpl.data());
    m_old = std::filesystem::current_path();
    std::filesystem::create_directories(m_root / "data");
    std::filesystem::current_path(m_root / "data");
    ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_root / "share").c_str(), 1);
  }
  ~DataFolder() {
    for (db::FileManager* m : fileManagers())
      while (m->openCount() > 0) (void)m->Close();
    for (db::File* f : dataFiles()) (void)f->close();
    std::error_code ec;
    std::filesystem::current_path(m_old, ec);
    std::filesystem::remove_all(m_root, ec);
  }
  const std::filesystem::path& root() const { return m_root; }
  std::filesystem::path data() const { return m_root / "data"; }

 private:
  std::filesystem::path m_root;
  std::filesystem::path m_old;
};

// Opens `f`, creating it when it is missing, as the file managers do.
inline rt::Err openOrCreate(db::File& f) {
  rt::Err err = f.open();
  if (err == rt::Err::NoFile) {
    if (rt::Err c = f.create(); c != rt::Err::None) return c;
    err = f.open();
  }
  return err;
}

}  // namespace ov::files::testing
