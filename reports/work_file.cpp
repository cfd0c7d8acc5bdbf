#include "reports/work_file.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/ui/host.h"
#include "platform/ui/progress_window.h"
#include "scheduler/occurrence.h"

namespace ov::reports {

namespace {

// Occurrences of one task are not followed further than this: a task every minute over a year
// is half a million records, so anything beyond is a runaway rule, not a listing.
constexpr int kMaxOccurrencesPerTask = 1'000'000;

std::string shortDate(int32_t date) { return rt::FORMAT(date, "@d17"); }

}  // namespace

// The names of the work files that live runs hold.
static std::set<std::string>& namesInUse() {
  static std::set<std::string> names;
  return names;
}

ScheduleWorkFile::ScheduleWorkFile() {
  int32_t n = rt::CLOCK();
  std::error_code ec;
  while (namesInUse().count(std::to_string(n)) || std::filesystem::exists(std::to_string(n), ec)) ++n;
  m_name = std::to_string(n);
  namesInUse().insert(m_name);
}

ScheduleWorkFile::~ScheduleWorkFile() {
  remove();
  namesInUse().erase(m_name);
}

void ScheduleWorkFile::select() const { files::GLO.SCHEDULEWORKFILENAME = m_name; }

void ScheduleWorkFile::remove() {
  if (m_removed) return;
  m_removed = true;
  select();
  while (files::Access_SCHEDULEWORKFILE.openCount() > 0) (void)files::Access_SCHEDULEWORKFILE.Close();
  (void)files::SCHEDULEWORKFILE.close();
  const std::string path = files::SCHEDULEWORKFILE.path();
  (void)files::SCHEDULEWORKFILE.removeFile();  // the table; the storage file goes below
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, ec);
}

int64_t ScheduleWorkFile::create(int32_t from, int32_t to, int32_t today, bool withWindow) {
  select();
  if (files::Access_SCHEDULEWORKFILE.Open() != rt::Err::None) return 0;
  // EmptyWorkfile: a new name is empty already, but a reused one is not.
  (void)files::SCHEDULEWORKFILE.set(files::SCW_KeyID);
  while (files::SCHEDULEWORKFILE.next() == rt::Err::None) (void)files::SCHEDULEWORKFILE.deleteRecord();
  if (files::Access_SCHEDULE.Open() != rt::Err::None) {
    (void)files::Access_SCHEDULEWORKFILE.Close();
    return 0;
  }
  WorkFileBuilder builder(from, to, today);
  if (withWindow) {
    ui::ProgressWindow progress(
        "Processing Records",
        [&](ui::ProgressWindow& w) {
          bool more = builder.step(25);
          if (builder.progressDate() > 0 && to > today - 30)
            w.setProgress(builder.progressDate() - (today - 30), to - (today - 30));
          return more ? ui::ProgressWindow::Step::More : ui::ProgressWindow::Step::Done;
        },
        "CreateWorkfile");
    progress.setText("Building schedule");
    progress.Run();
  } else {
    while (builder.step(100)) {
    }
  }
  (void)files::Access_SCHEDULE.Close();
  (void)files::Access_SCHEDULEWORKFILE.Close();
  if (builder.tasksRead() == 0)
    ui::MESSAGE("There are no schedule records in the date range " + shortDate(from) + " to " + shortDate(to) + ".",
                "Empty Report", ui::Icon::Information);
  return builder.recordsMade();
}

WorkFileBuilder::WorkFileBuilder(int32_t from, int32_t to, int32_t today)
    : m_from(from), m_to(to), m_start(std::min(today - 30, from)) {}

bool WorkFileBuilder::step(int tasks) {
  if (!m_started) {
    m_started = true;
    files::SCH.Date = m_start;
    files::SCH.Time = 0;
    if (files::SCHEDULE.setFrom(files::SCH_KeyDate) != rt::Err::None) return false;
  }
  for (int i = 0; i < tasks; ++i) {
    if (files::SCHEDULE.next() != rt::Err::None || files::SCH.Date > m_to) return false;
    ++m_tasks;
    m_lastDate = files::SCH.Date;
    expand();
  }
  return true;
}

void WorkFileBuilder::copy() {
  files::SCW = files::SCH;
  files::SCW.ID = static_cast<int32_t>(m_made + 1);
  if (files::SCW.Date >= m_from && files::SCHEDULEWORKFILE.add() == rt::Err::None) ++m_made;
}

void WorkFileBuilder::expand() {
  // The task moves in a copy; the SCHEDULE buffer and record stay as read.
  const files::ScheduleRec stored = files::SCH;
  scheduler::CalculationScope scope;
  copy();
  if (files::SCH.ScheduleType == "Once" || files::SCH.Disabled) return;
  files::ScheduleRec task = stored;
  for (int n = 0; n < kMaxOccurrencesPerTask; ++n) {
    const bool wasCompleted = task.Completed != 0;
    scheduler::NextOccurrence(task, task.Date, task.Time + 1);
    if (task.Date > m_to) break;
    if (task.Date == files::SCW.Date && task.Time <= files::SCW.Time + 1) break;
    if (!wasCompleted && task.Completed) break;  // past its expiry: no further occurrence
    files::SCH = task;
    copy();
  }
  files::SCH = stored;
}

}  // namespace ov::reports
