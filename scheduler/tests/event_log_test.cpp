#include "scheduler/event_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "datalib/globals.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/picture.h"
#include "scheduler/globals.h"
#include "scheduler/tests/recording_host.h"
#include "scheduler/tests/log_fixture.h"

using namespace ov;
using namespace ov::scheduler;
using EventLogFile = LogFixture;
namespace fs = std::filesystem;

TEST(EventLog, MasksEveryPasswordValue) {
  struct Row {
    const char* name;
    const char* text;
    const char* want;
  };
  const Row rows[] = {
      {"a word up to the blank", "run x PASSWORD=secret now", "run x PASSWORD=****** now"},
      {"any case", "password=abc def", "password=*** def"},
      {"at the end of the text", "PASSWORD=abc", "PASSWORD=***"},
      {"a quoted value with blanks", "QMT PASSWORD=\"my secret\" /S", "QMT PASSWORD=*********** /S"},
      {"an escaped quote inside the quotes", "PASSWORD=\"a\\\"b c\" x", "PASSWORD=******** x"},
      {"an unclosed quote masks to the end", "PASSWORD=\"abc def", "PASSWORD=********"},
      {"every occurrence", "USER=a PASSWORD=x1 Password=y2 z", "USER=a PASSWORD=** Password=** z"},
      {"an empty value", "PASSWORD= next", "PASSWORD= next"},
      {"no password", "nothing to hide here", "nothing to hide here"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(maskPasswords(row.text), row.want);
  }
}

TEST_F(EventLogFile, LineHasFixedFieldsAtTheirPositions) {
  WriteLog("  Started the task", "  Scheduling");
  const std::vector<std::string> lines = readLines(logPath());
  ASSERT_EQ(lines.size(), 1u);
  const std::string& l = lines[0];
  ASSERT_EQ(l.size(), kLogLineWidth);
  EXPECT_EQ(l.substr(0, 12), " 3/10/2024  ");  // picture d2, day first-number blank-filled
  EXPECT_EQ(l.substr(12, 10), "10:05     ");
  EXPECT_EQ(l.substr(22, 32), std::string("Scheduling") + std::string(22, ' '));
  EXPECT_EQ(l.substr(54), std::string("Started the task") + std::string(112, ' '));
}

TEST_F(EventLogFile, CutsLabelAndTextToTheirFields) {
  WriteLog(std::string(140, 'x') + "PASSWORD=hidden", std::string(40, 'L'));
  const std::string l = readLines(logPath()).at(0);
  EXPECT_EQ(l.substr(22, 32), std::string(32, 'L'));
  EXPECT_EQ(l.substr(54), std::string(128, 'x'));
}

TEST_F(EventLogFile, DateThatDoesNotFitUsesPictureThree) {
  files::FORMAT.DATE = "d4";  // "March 10, 2024" is 14 characters
  WriteLog("text", "label");
  const std::string l = readLines(logPath()).at(0);
  const std::string d3 = rt::FORMAT(double(rt::DATE(3, 10, 2024)), "@d3");
  ASSERT_LE(d3.size(), 12u);
  EXPECT_EQ(l.substr(0, 12), d3 + std::string(12 - d3.size(), ' '));
}

TEST_F(EventLogFile, FeedbackJoinsTheLineOrFollowsOnItsOwn) {
  const std::string feedback(100, 'f');
  Feedback = feedback;
  WriteLog(std::string(20, 't'), "If");
  Feedback = feedback;
  WriteLog(std::string(40, 'u'), "If");
  const std::vector<std::string> lines = readLines(logPath());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(rt::clipView(lines[0].substr(54)), std::string(20, 't') + " " + feedback);
  EXPECT_EQ(rt::clipView(lines[1].substr(54)), std::string(40, 'u'));
  EXPECT_EQ(rt::clipView(lines[2].substr(22, 32)), "(continued)");
  EXPECT_EQ(rt::clipView(lines[2].substr(54)), feedback);
  EXPECT_EQ(lines[2].substr(0, 22), lines[1].substr(0, 22));
  EXPECT_TRUE(Feedback.isBlank());
}

TEST_F(EventLogFile, LoggingOffWritesNothingAndDropsFeedback) {
  files::LOG.ACTIVE = 0;
  Feedback = "pending";
  WriteLog("text", "label");
  EXPECT_FALSE(fs::exists(logPath()));
  EXPECT_TRUE(Feedback.isBlank());
}

TEST_F(EventLogFile, FileIsReopenedAfterEvery26Lines) {
  // Lines written while the file stays open follow it when it is renamed away; the 27th line
  // opens the log afresh under its name.
  WriteLog("line 1", "n");
  fs::rename(logPath(), dir() / "moved.log");
  for (int i = 2; i <= 27; ++i) WriteLog("line " + std::to_string(i), "n");
  const std::vector<std::string> moved = readLines(dir() / "moved.log");
  const std::vector<std::string> fresh = readLines(logPath());
  ASSERT_EQ(moved.size(), 26u);
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_EQ(rt::clipView(fresh[0].substr(54)), "line 27");
}

TEST_F(EventLogFile, InactiveSchedulerWritesToTheTestLog) {
  SchedulerActive = 0;
  WriteLog("while inactive", "Test");
  EXPECT_FALSE(fs::exists(logPath()));
  EXPECT_EQ(files::GLO.LOGFILENAME.clipped(), (dir() / "OV_TEST.LOG").string());
  EXPECT_EQ(readLines(dir() / "OV_TEST.LOG").size(), 1u);
}

TEST_F(EventLogFile, UnwritableLogIsReportedOnceAndLosesOnlyTheLine) {
  files::GLO.LOGFILENAME = (dir() / "missing-folder" / "OV_EVENT.LOG").string();
  ov::scheduler::testing::RecordingHost host;
  WriteLog("one", "x");
  WriteLog("two", "x");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("missing-folder"), std::string::npos);
}

namespace {

// Writes `count` numbered lines of the log's width straight into the file.
void fillLog(const fs::path& path, int count) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int i = 1; i <= count; ++i) {
    std::string line = "line " + std::to_string(i);
    line.resize(kLogLineWidth, ' ');
    out << line << '\n';
  }
}

std::string firstLineText(const std::vector<std::string>& lines) {
  return lines.empty() ? "" : std::string(rt::clipView(lines.front()));
}

}  // namespace

TEST_F(EventLogFile, TrimsFrom105PercentToBelow95Percent) {
  // Lines are 183 bytes with their line feed. With LOG.MAXSIZE 100000, 574 lines (105042 bytes)
  // reach 105 %; dropping 55 of them leaves 519 lines, 94977 bytes, the first below 95000.
  files::LOG.MAXSIZE = 100000;
  fillLog(logPath(), 573);
  TrimEventLog();
  EXPECT_EQ(fs::file_size(logPath()), 573u * 183) << "104859 bytes are below 105 %";
  fillLog(logPath(), 574);
  TrimEventLog();
  const std::vector<std::string> lines = readLines(logPath());
  EXPECT_EQ(lines.size(), 519u);
  EXPECT_EQ(firstLineText(lines), "line 56");
  EXPECT_EQ(fs::file_size(logPath()), 94977u);
}

TEST_F(EventLogFile, TrimsOnlyWhenItsConditionsHold) {
  struct Row {
    const char* name;
    int32_t maxSize;
    bool active, ntEvent, scheduler;
    bool wantTrimmed;
  };
  const Row rows[] = {
      {"maximum 19158: 95 % holds 100 lines", 19158, true, false, true, true},
      {"maximum 19157: never trimmed", 19157, true, false, true, false},
      {"maximum 0: no limit", 0, true, false, true, false},
      {"logging off", 19158, false, false, true, false},
      {"system event log in use", 19158, true, true, true, false},
      {"own scheduler off (test log)", 19158, true, false, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    files::LOG.MAXSIZE = row.maxSize;
    files::LOG.ACTIVE = row.active;
    files::LOG.USENTEVENT = row.ntEvent;
    SchedulerActive = row.scheduler;
    fillLog(logPath(), 400);  // 73200 bytes
    TrimEventLog();
    EXPECT_EQ(readLines(logPath()).size() < 400, row.wantTrimmed);
  }
}

TEST_F(EventLogFile, FailedTrimLeavesTheLogWholeAndNotesWhy) {
  files::LOG.MAXSIZE = 100000;
  fillLog(logPath(), 600);
  fs::create_directory(dir() / "OV_EVENT.LOG.trim");  // the trimmed copy can't be created
  TrimEventLog();
  EXPECT_EQ(readLines(logPath()).size(), 600u);
  EXPECT_EQ(rt::GETINI("Log", "Error", "", ".\\DEBUG.INI").rfind("Create: ", 0), 0u);
}

TEST_F(EventLogFile, LogWithoutLinesToKeepIsReported) {
  files::LOG.MAXSIZE = 100000;
  { std::ofstream(logPath(), std::ios::binary) << std::string(120000, 'x') << '\n'; }  // one huge line
  TrimEventLog();
  EXPECT_EQ(fs::file_size(logPath()), 120001u + kLogLineWidth + 1);
  const std::string last = readLines(logPath()).back();
  ASSERT_EQ(last.size(), kLogLineWidth);
  EXPECT_EQ(rt::clipView(last.substr(22, 32)), "File corruption");
  EXPECT_EQ(rt::clipView(last.substr(54)), "Unable to reduce log size");
}
