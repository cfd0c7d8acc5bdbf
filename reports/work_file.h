// The schedule work file: every occurrence of the tasks in a date range, one record each, in a
// temporary file of its own for one report run.
//
// A run names its file from the clock (hundredths of a second since midnight; the next free
// number when that one is taken in the data folder), builds it, lists it and removes it. The file
// layer takes the work file's name from GLO.SCHEDULEWORKFILENAME at each open: the run sets it to
// its own name before each use, so overlapping runs keep their files apart.
#pragma once

#include <cstdint>
#include <string>

namespace ov::reports {

class ScheduleWorkFile {
 public:
  ScheduleWorkFile();
  // Closes and removes the file.
  ~ScheduleWorkFile();
  ScheduleWorkFile(const ScheduleWorkFile&) = delete;
  ScheduleWorkFile& operator=(const ScheduleWorkFile&) = delete;

  const std::string& name() const { return m_name; }
  // Makes this run's file the one SCHEDULEWORKFILE opens.
  void select() const;

  // EmptyWorkfile, then the expansion of SCHEDULE for `from` .. `to`, with a progress window
  // when `withWindow` (Cancel keeps what was copied). Answers the number of records made.
  int64_t create(int32_t from, int32_t to, int32_t today, bool withWindow = true);
  // Closes the file and removes it from the disk.
  void remove();

 private:
  std::string m_name;
  bool m_removed = false;
};

// The expansion, a few tasks at a time: the tasks of SCHEDULE whose next date lies from the
// earlier of today - 30 and `from` up to `to`, each copied once per occurrence from `from` on.
// A task stops at `to`, at an occurrence that does not move forward, at its expiry, and when it
// is "Once" or disabled. SCHEDULE and the work file must be open; the SCHEDULE records are not
// written.
class WorkFileBuilder {
 public:
  WorkFileBuilder(int32_t from, int32_t to, int32_t today);
  // Handles up to `tasks` tasks; false once every task is done.
  bool step(int tasks);
  int64_t tasksRead() const { return m_tasks; }
  int64_t recordsMade() const { return m_made; }
  int32_t progressDate() const { return m_lastDate; }

 private:
  void expand();
  void copy();

  int32_t m_from, m_to, m_start;
  bool m_started = false;
  int64_t m_tasks = 0, m_made = 0;
  int32_t m_lastDate = 0;
};

}  // namespace ov::reports
