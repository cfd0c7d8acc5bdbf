// The scheduler core's small windows: choosing the moment to reschedule every task, the progress
// of a pass over a file, the Housekeeping window and two pickers of the task lists. Their work is
// done by reschedule.h, housekeeping.h and task_items.h; the windows only ask and show.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/rt/err.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"
#include "winclasses/colour_tab_class.h"

namespace ov::scheduler {

// "RescheduleAllTasks:GetDate": the moment after which every task is rescheduled, a date and a
// time in the user's pictures; OK accepts a moment at least a minute ahead and runs the pass.
// With `askPassword` the system-lock password is asked first and the window does not open when it
// is refused.
class RescheduleAllTasks_GetDate : public ui::WindowManager {
 public:
  explicit RescheduleAllTasks_GetDate(bool askPassword = false);
  ui::Level Init() override;
  ui::Level TakeAccepted() override;

 private:
  bool m_askPassword;
  ui::WindowPositionKeeper m_position;
  int32_t m_date = 0, m_time = 0;
  int m_dateField = 0, m_timeField = 0, m_calendar = 0, m_ok = 0, m_cancel = 0;
};

// Runs the window above after the system-lock password; the task lists start it on a thread of
// its own with START(rescheduleWithPasswordProc()).
void RescheduleWithPassword();
ui::ProcFactory rescheduleWithPasswordProc();

// A process window: "Processing Records", a progress bar and "n% Completed" while `work` runs;
// it closes when the work is done. Stored positions go by `procedure`.
class ProcessWindow : public ui::WindowManager {
 public:
  using Work = std::function<rt::Err(const std::function<void(int percent)>& progress)>;
  ProcessWindow(std::string procedure, std::string title, Work work);
  ui::Level Init() override;
  ui::Level TakeWindowEvent() override;
  rt::Err result() const { return m_result; }

 private:
  std::string m_title;
  Work m_work;
  rt::Err m_result = rt::Err::None;
  ui::WindowPositionKeeper m_position;
  int m_bar = 0, m_percent = 0;
};

// "Housekeeping": removing disabled or completed tasks, the to-do list, saved window positions
// and active scripts, rescheduling and checking the links of scripts. Asks the system-lock
// password when it opens; tells the registered threads to refresh when it closes.
class Housekeeping : public ui::WindowManager {
 public:
  Housekeeping();
  ui::Level Init() override;
  ui::Level Kill() override;
  ui::Level TakeAccepted() override;

 private:
  int m_removeDisabled = 0, m_removeCompleted = 0, m_clearToDo = 0, m_resetPositions = 0,
      m_removeScripts = 0, m_reschedule = 0, m_verifyLinks = 0, m_close = 0;
  bool m_opened = false;
  ui::WindowPositionKeeper m_position;
  winclasses::ColourTabClass m_tabs;
};

// "FindScheduleOnList": the text to search the task list for (20 characters), "" when cancelled.
std::string FindScheduleOnList();

// "Function:SelectDateRange": a start and an end date, or one day; false when cancelled (the dates
// are then unchanged).
bool Function_SelectDateRange(int32_t& start, int32_t& end);

}  // namespace ov::scheduler
