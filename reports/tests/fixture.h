// A fresh data folder made current, with cleared settings and criteria, a fixed clock, and
// message boxes answered by the test's scripted host; small helpers to add records.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "platform/files/error_class.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/ui/error_messages.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "reports/criteria.h"

namespace ov::reports::testing {

// 9:00 as a stored time (hundredths of a second plus one).
constexpr int32_t kNine = 9 * 360000 + 1;

class DataFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::test::application();
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov-reports-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    m_dir = tmpl;
    m_cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);
    ::setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_dir / "share").c_str(), 1);
    files::clearGlobals();
    clearCriteria();
    files::GLO.DATAPATH = m_dir.string() + "/";
    files::FORMAT.DATE = "d2";
    files::FORMAT.TIME = "t1";
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    rt::setSystemFormats({"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"});
    m_today = rt::DATE(3, 10, 2026);  // a Tuesday
    rt::setTestClock(m_today, 10 * 360000 + 1);
    db::globalErrors().setSink(ui::messageBoxSink());
  }

  void TearDown() override {
    db::globalErrors().setSink({});
    for (db::FileManager* m : files::fileManagers())
      while (m->openCount() > 0) (void)m->Close();
    for (db::File* f : files::dataFiles()) (void)f->close();
    rt::clearTestClock();
    std::error_code ec;
    std::filesystem::current_path(m_cwd, ec);
    std::filesystem::remove_all(m_dir, ec);
  }

  const std::filesystem::path& dir() const { return m_dir; }
  int32_t today() const { return m_today; }

  // Adds a task; `fill` sets its fields on a cleared buffer.
  template <typename Fill>
  void addTask(Fill fill) {
    ASSERT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    files::SCH = files::ScheduleRec{};
    ASSERT_EQ(files::Access_SCHEDULE.PrimeRecord(), rt::Err::None);
    files::SCH.TaskType = "Display Message";
    files::SCH.ScheduleType = "Once";
    files::SCH.Category = "General";
    files::SCH.Time = kNine;
    files::SCH.Disabled = 0;  // new tasks are primed disabled
    fill(files::SCH);
    ASSERT_EQ(files::Access_SCHEDULE.Insert(), rt::Err::None);
    (void)files::Access_SCHEDULE.Close();
  }

  void addCategory(const char* name) {
    ASSERT_EQ(files::Access_CATEGORIES.Open(), rt::Err::None);
    files::CAT.Category = name;
    ASSERT_EQ(files::Access_CATEGORIES.Insert(), rt::Err::None);
    (void)files::Access_CATEGORIES.Close();
  }

 private:
  std::filesystem::path m_dir, m_cwd;
  int32_t m_today = 0;
};

// Runs `report` on the driver's thread and, once its query wizard opens, lets `answer` work the
// wizard's window; returns when the report has ended. Message boxes go to the scripted host.
inline void runWithQueryWizard(const std::function<void()>& report,
                               const std::function<void(ui::test::WindowDriver&)>& answer) {
  bool done = false;
  ui::test::runScript([&](ui::test::Driver& d) {
    d.later([&] {
      report();
      done = true;
    });
    ui::test::WindowDriver wizard = d.waitWindow("QueryWizard");
    answer(wizard);
    d.waitClosed(wizard);
    EXPECT_TRUE(d.waitUntil([&] { return done; }));
  });
}

// On the wizard's query page: adds one condition through its field, operation and value pages.
inline void addQueryCondition(ui::test::WindowDriver& wizard, const char* button, const char* field, const char* op,
                              const char* value) {
  wizard.press(button);
  wizard.choose("?Field", field);
  wizard.press("?Next");
  wizard.choose("?Operation", op);
  wizard.press("?Next");
  wizard.type("?Value", value);
  wizard.press("?Next");
}

}  // namespace ov::reports::testing
