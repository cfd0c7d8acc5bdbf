// A fresh data folder made current, with cleared settings, a fixed clock, no saved window
// places, and message boxes and file dialogs answered by the test's scripted host.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "platform/rt/date_time.h"
#include "platform/files/error_class.h"
#include "platform/rt/picture.h"
#include "platform/ui/error_messages.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "scheduler/event_log.h"
#include "scheduler/open_window_list.h"
#include "scheduler/services.h"

namespace ov::dialogs::testing {

class DataFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::test::application();
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov-dialogs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    m_dir = tmpl;
    m_cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);
    ::setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_dir / "share").c_str(), 1);
    files::clearGlobals();
    files::GLO.DATAPATH = m_dir.string() + "/";
    files::GLO.LOGFILENAME = (m_dir / "OV_EVENT.LOG").string();
    files::FORMAT.DATE = "d2";
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    scheduler::OpenWindowList().clear();
    rt::setSystemFormats({"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"});
    m_saved = scheduler::services();
    scheduler::services() = scheduler::Services{};
    db::globalErrors().setSink(ui::messageBoxSink());  // record errors as message boxes
  }

  void TearDown() override {
    db::globalErrors().setSink({});
    scheduler::closeEventLog();
    for (db::FileManager* m : files::fileManagers())
      while (m->openCount() > 0) (void)m->Close();
    for (db::File* f : files::dataFiles()) (void)f->close();
    scheduler::services() = m_saved;
    rt::clearTestClock();
    std::error_code ec;
    std::filesystem::current_path(m_cwd, ec);
    std::filesystem::remove_all(m_dir, ec);
  }

  const std::filesystem::path& dir() const { return m_dir; }

 private:
  std::filesystem::path m_dir, m_cwd;
  scheduler::Services m_saved;
};

}  // namespace ov::dialogs::testing
