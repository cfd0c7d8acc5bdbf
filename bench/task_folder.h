// A data folder of the benchmarks: a SCHEDULE file of `count` tasks in a fresh temporary
// folder, which is the current folder and the data path while the object lives. Each task is
// the cleared record given to `fill` with its index; the folder goes with the object.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"

namespace ov::bench {

class TaskFolder {
 public:
  using Fill = std::function<void(int index, files::ScheduleRec& task)>;

  TaskFolder(int count, const Fill& fill) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    m_dir = tmpl;
    m_cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);
    ::setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_dir / "share").c_str(), 1);
    files::clearGlobals();
    files::GLO.DATAPATH = m_dir.string() + "/";
    files::GLO.LOGFILENAME = (m_dir / "OV_EVENT.LOG").string();
    if (files::Access_SCHEDULE.Open() != rt::Err::None) std::abort();
    (void)db::LOGOUT(10, {&files::SCHEDULE});
    for (int i = 0; i < count; ++i) {
      files::SCHEDULE.clear();
      fill(i, files::SCH);
      if (files::SCHEDULE.add() != rt::Err::None) std::abort();
    }
    if (db::COMMIT() != rt::Err::None) std::abort();
    (void)files::Access_SCHEDULE.Close();
  }
  ~TaskFolder() {
    std::filesystem::current_path(m_cwd);
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
  TaskFolder(const TaskFolder&) = delete;
  TaskFolder& operator=(const TaskFolder&) = delete;

  const std::filesystem::path& dir() const { return m_dir; }

 private:
  std::filesystem::path m_dir, m_cwd;
};

}  // namespace ov::bench
