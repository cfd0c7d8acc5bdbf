// A temporary data folder with the event log switched on, a fixed clock and fixed system formats.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datalib/globals.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "scheduler/event_log.h"
#include "scheduler/globals.h"

namespace ov::scheduler::testing {

class LogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ov-sched-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);
    files::clearGlobals();
    files::GLO.DATAPATH = m_dir.string() + "/";
    files::GLO.LOGFILENAME = logPath().string();
    files::LOG.ACTIVE = 1;
    files::FORMAT.DATE = "d2";
    SchedulerActive = 1;
    Feedback.clear();
    rt::SystemFormats formats{"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"};
    rt::setSystemFormats(formats);
    rt::setTestClock(rt::DATE(3, 10, 2024), ((10 * 60 + 5) * 60 + 7) * 100 + 1);  // 10:05:07
  }
  void TearDown() override {
    closeEventLog();
    rt::clearTestClock();
    std::filesystem::current_path(m_cwd);
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }

  const std::filesystem::path& dir() const { return m_dir; }
  std::filesystem::path logPath() const { return m_dir / "OV_EVENT.LOG"; }

  static std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::filesystem::path m_dir, m_cwd;
};

}  // namespace ov::scheduler::testing

using ov::scheduler::testing::LogFixture;
