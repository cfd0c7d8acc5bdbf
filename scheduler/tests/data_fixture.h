// A fresh data folder made current, with the settings cleared, the event log on, a fixed clock,
// and message boxes and popups answered by the test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "scheduler/event_log.h"
#include "scheduler/globals.h"
#include "scheduler/tests/recording_host.h"
#include "scheduler/services.h"

namespace ov::scheduler::testing {

class DataFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov-sched-data-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    m_dir = tmpl;
    m_cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);
    ::setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_dir / "share").c_str(), 1);
    files::clearGlobals();
    files::GLO.DATAPATH = m_dir.string() + "/";
    files::GLO.LOGFILENAME = (m_dir / "OV_EVENT.LOG").string();
    files::LOG.ACTIVE = 1;
    files::FORMAT.DATE = "d2";
    SchedulerActive = 1;
    Feedback.clear();
    rt::setSystemFormats({"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"});
    m_savedServices = services();
    services() = Services{};
    services().post = [this](int event, int thread) { posted.push_back({event, thread}); };
  }

  void TearDown() override {
    closeEventLog();
    for (db::FileManager* m : files::fileManagers())
      while (m->openCount() > 0) (void)m->Close();
    for (db::File* f : files::dataFiles()) (void)f->close();
    services() = m_savedServices;
    rt::clearTestClock();
    std::error_code ec;
    std::filesystem::current_path(m_cwd, ec);
    std::filesystem::remove_all(m_dir, ec);
  }

  const std::filesystem::path& dir() const { return m_dir; }

  // Adds `task` as a new record (numbered when its ID is 0); returns its ID.
  int32_t addTask(const files::ScheduleRec& task) {
    EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    files::SCH = task;
    EXPECT_EQ(files::Access_SCHEDULE.Insert(), rt::Err::None);
    const int32_t id = files::SCH.ID;
    (void)files::Access_SCHEDULE.Close();
    return id;
  }

  // The stored task with that ID; ID 0 when there is none.
  files::ScheduleRec storedTask(int32_t id) {
    files::ScheduleRec out;
    EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    const files::ScheduleRec saved = files::SCH;
    files::SCH.ID = id;
    if (files::SCHEDULE.get(files::SCH_KeyID) == rt::Err::None) out = files::SCH;
    files::SCH = saved;
    (void)files::Access_SCHEDULE.Close();
    return out;
  }

  // Stores `task` over the record with its ID.
  void updateTask(files::ScheduleRec task) {  // by value: it may be SCH itself
    EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    const files::ScheduleRec saved = files::SCH;
    files::SCH.ID = task.ID;
    EXPECT_EQ(files::SCHEDULE.get(files::SCH_KeyID), rt::Err::None);
    files::SCH = task;
    EXPECT_EQ(files::Access_SCHEDULE.Update(), rt::Err::None);
    files::SCH = saved;
    (void)files::Access_SCHEDULE.Close();
  }

  std::vector<files::ScheduleRec> storedTasks() {
    std::vector<files::ScheduleRec> out;
    const files::ScheduleRec saved = files::SCH;
    EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    rt::Err err = files::SCHEDULE.set(files::SCH_KeyID);
    while (err == rt::Err::None && (err = files::SCHEDULE.next()) == rt::Err::None) out.push_back(files::SCH);
    (void)files::Access_SCHEDULE.Close();
    files::SCH = saved;
    return out;
  }

  void addScriptItems(int32_t task, int count) {
    ASSERT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
    for (int i = 1; i <= count; ++i) {
      files::SCRIPTING.clear();
      files::SCR.ID = task;
      files::SCR.Sequence = i;
      files::SCR.Action = "Wait";
      ASSERT_EQ(files::SCRIPTING.add(), rt::Err::None);
    }
    (void)files::Access_SCRIPTING.Close();
  }

  int scriptItemCount(int32_t task) {
    int n = 0;
    EXPECT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
    rt::Err err = files::SCRIPTING.set(files::SCR_KeyID);
    while (err == rt::Err::None && (err = files::SCRIPTING.next()) == rt::Err::None) n += files::SCR.ID == task;
    (void)files::Access_SCRIPTING.Close();
    return n;
  }

  void addHoliday(int32_t date) {
    ASSERT_EQ(files::Access_HOLIDAYS.Open(), rt::Err::None);
    files::HOLIDAYS.clear();
    files::HOL.HolidayDate = date;
    files::HOL.Holiday = "Holiday";
    ASSERT_EQ(files::HOLIDAYS.add(), rt::Err::None);
    (void)files::Access_HOLIDAYS.Close();
  }

  // Event-log lines as (label, text).
  std::vector<std::pair<std::string, std::string>> logLines() {
    closeEventLog();
    std::vector<std::pair<std::string, std::string>> out;
    std::ifstream in(m_dir / "OV_EVENT.LOG");
    for (std::string line; std::getline(in, line);)
      if (line.size() >= kLogLineWidth)
        out.emplace_back(std::string(rt::clipView(line.substr(22, 32))), std::string(rt::clipView(line.substr(54))));
    return out;
  }

  RecordingHost host;  // message boxes and popups shown, popup answers
  std::vector<std::pair<int, int>> posted;

 private:
  std::filesystem::path m_dir, m_cwd;
  Services m_savedServices;
};

}  // namespace ov::scheduler::testing
