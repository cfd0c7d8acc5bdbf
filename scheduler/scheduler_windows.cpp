#include "scheduler/scheduler_windows.h"

#include <string>

#include "datalib/globals.h"
#include "datalib/startup.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "scheduler/housekeeping.h"
#include "scheduler/reschedule.h"
#include "scheduler/services.h"

namespace ov::scheduler {

using ui::EVENT;
using ui::Level;

namespace {

constexpr int kRunWork = EVENT::User + 1;
// The chosen tab's colour, as on the other windows of the main program.
constexpr int32_t kSelectedTabColour = 10987431;

bool passwordAccepted() { return !services().passwordValidation || services().passwordValidation(); }

// The user's date and time pictures ("@d2", "@t7").
std::string datePicture() { return "@" + std::string(files::FORMAT.DATE.isBlank() ? "d2" : files::FORMAT.DATE.clipped()); }
std::string timePicture() { return "@" + std::string(files::FORMAT.TIME.isBlank() ? "t7" : files::FORMAT.TIME.clipped()); }

// Asks the date picker for the date in `date`, titled `title`.
void pickDate(ui::Window& w, int field, int32_t& date, std::string_view title) {
  if (!services().calendar) return;
  w.update(field);
  date = services().calendar(date, "None", title);
  w.display(field);
}

}  // namespace

RescheduleAllTasks_GetDate::RescheduleAllTasks_GetDate(bool askPassword)
    : WindowManager("RescheduleAllTasks:GetDate"), m_askPassword(askPassword) {}

Level RescheduleAllTasks_GetDate::Init() {
  if (m_askPassword && !passwordAccepted()) return Level::Fatal;
  rescheduleMomentOffered(m_date, m_time);
  ui::Window& w = window();
  w.setTitle("Reschedule All Tasks");
  w.at(-1, -1, 180, 76);
  w.prompt("?DatePrompt", "&Date:").at(8, 10, 40, 10);
  m_dateField = w.entry("?Date", datePicture()).at(52, 8, 70, 12).use(m_date).required().feq();
  m_calendar = w.button("?Calendar", "...").at(126, 8, 14, 12).tip("Select date").feq();
  w.prompt("?TimePrompt", "&Time:").at(8, 28, 40, 10);
  m_timeField = w.entry("?Time", timePicture()).at(52, 26, 70, 12).use(m_time).feq();
  m_ok = w.button("?OK", "OK").at(70, 54, 48, 14).feq();
  m_cancel = w.button("?Cancel", "Cancel").at(124, 54, 48, 14).feq();
  OkControl = 0;  // OK is handled here: it checks the moment before anything runs
  CancelControl = m_cancel;
  Open();
  m_position.Init(*this, files::globalIni());
  return Level::Benign;
}

Level RescheduleAllTasks_GetDate::TakeAccepted() {
  const int feq = ui::ACCEPTED();
  if (feq == m_calendar) {
    pickDate(window(), m_dateField, m_date, "Select date");
    return Level::Notify;
  }
  if (feq == m_ok) {
    window().update();
    if (!acceptRescheduleMoment(m_date, m_time)) {
      ui::MESSAGE("The date and time entered must be in the future.", "Error", ui::Icon::Exclamation);
      window().select(m_dateField);
      return Level::Notify;
    }
    const int32_t date = m_date, time = m_time;
    ProcessWindow pass("RescheduleAllTasks", "Reschedule All Tasks",
                       [date, time](const std::function<void(int)>& progress) {
                         return RescheduleAllTasks(date, time, progress);
                       });
    pass.Run();
    SetResponse(ui::RequestCompleted);
    return Level::Notify;
  }
  return WindowManager::TakeAccepted();
}

void RescheduleWithPassword() {
  RescheduleAllTasks_GetDate window(true);
  window.Run();
}

ui::ProcFactory rescheduleWithPasswordProc() {
  return [] { return std::make_unique<RescheduleAllTasks_GetDate>(true); };
}

ProcessWindow::ProcessWindow(std::string procedure, std::string title, Work work)
    : WindowManager(std::move(procedure)), m_title(std::move(title)), m_work(std::move(work)) {}

Level ProcessWindow::Init() {
  ui::Window& w = window();
  w.setTitle(m_title);
  w.at(-1, -1, 160, 60);
  w.string("?Processing", "Processing Records").at(8, 6, 144, 10);
  m_bar = w.progress("?Progress").at(8, 20, 144, 12).feq();
  m_percent = w.string("?Percent", "0% Completed").at(8, 38, 144, 10).feq();
  Open();
  m_position.Init(*this, files::globalIni());
  w.post(kRunWork);
  return Level::Benign;
}

Level ProcessWindow::TakeWindowEvent() {
  if (ui::EVENT() != kRunWork) return WindowManager::TakeWindowEvent();
  ui::Window& w = window();
  ui::BusyCursor busy;
  m_result = m_work([&](int percent) {
    w.setProp(m_bar, ui::Prop::Progress, int64_t(percent));
    w.setProp(m_percent, ui::Prop::Text, std::to_string(percent) + "% Completed");
  });
  SetResponse(m_result == rt::Err::None ? ui::RequestCompleted : ui::RequestCancelled);
  return Level::Notify;
}

Housekeeping::Housekeeping() : WindowManager("Housekeeping") {}

Level Housekeeping::Init() {
  if (!passwordAccepted()) return Level::Fatal;
  ui::Window& w = window();
  w.setTitle("Housekeeping");
  w.at(-1, -1, 178, 222);
  const int sheet = w.sheet("?CurrentTab").at(4, 4, 170, 186).feq();
  const int tab = w.tab("?Tab:Housekeeping", "Housekeeping", sheet).feq();
  int y = 22;
  auto button = [&](const char* name, const char* text) {
    const int feq = w.button(name, text).at(14, y, 150, 16).on(tab).feq();
    y += 20;
    return feq;
  };
  m_removeDisabled = button("?RemoveDisabled", "Remove &Disabled Tasks");
  m_removeCompleted = button("?RemoveCompleted", "Remove Co&mpleted Tasks");
  m_clearToDo = button("?ClearToDo", "Clear &To Do List");
  m_resetPositions = button("?ResetPositions", "Reset Saved &Window Settings");
  m_removeScripts = button("?RemoveScripts", "Remove Active &Scripts");
  m_reschedule = button("?Reschedule", "&Reschedule All Tasks");
  m_verifyLinks = button("?VerifyLinks", "&Verify Script Links");
  m_close = w.button("?Close", "&Close").at(124, 196, 50, 16).feq();
  CancelControl = m_close;
  Open();
  m_opened = true;
  m_position.Init(*this, files::globalIni());
  m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
  m_tabs.ColourTabs();
  return Level::Benign;
}

Level Housekeeping::Kill() {
  m_tabs.Kill();
  if (m_opened) {
    if (services().broadcastRefresh)
      services().broadcastRefresh();
    else if (services().post)
      services().post(kEventRefreshAll, kFrameThread);
  }
  return WindowManager::Kill();
}

Level Housekeeping::TakeAccepted() {
  const int feq = ui::ACCEPTED();
  // Each action is asked first (Yes acts) and confirmed afterwards.
  auto confirmed = [](const char* question) {
    return ui::MESSAGE(question, "Housekeeping", ui::Icon::Question, ui::BUTTON::Yes | ui::BUTTON::No,
                       ui::BUTTON::No) == ui::BUTTON::Yes;
  };
  auto done = [](const std::string& text) { ui::MESSAGE(text, "Housekeeping", ui::Icon::Information); };
  // A pass that failed says so: its changes were rolled back or never made.
  auto failed = [](rt::Err err) {
    ui::MESSAGE("The housekeeping step could not be completed: " + std::string(rt::errorText(err)), "Housekeeping",
                ui::Icon::Exclamation);
  };
  if (feq == m_removeDisabled || feq == m_removeCompleted) {
    const bool completed = feq == m_removeCompleted;
    if (confirmed(completed ? "Remove completed tasks?" : "Remove disabled tasks?")) {
      rt::Err err;
      {
        ui::BusyCursor busy;
        err = removeDisabledTasks(completed);
      }
      if (err == rt::Err::None)
        done(completed ? "Completed tasks removed." : "Disabled tasks removed.");
      else
        failed(err);
    }
  } else if (feq == m_clearToDo) {
    if (confirmed("Clear To Do list?")) {
      rt::Err err;
      {
        ui::BusyCursor busy;
        err = clearToDoList();
      }
      if (err == rt::Err::None)
        done("To Do list removed.");
      else
        failed(err);
    }
  } else if (feq == m_resetPositions) {
    if (confirmed("Reset saved window settings?")) {
      if (const rt::Err err = resetWindowPositions(); err == rt::Err::None)
        done("All saved window positions have been removed");
      else
        failed(err);
    }
  } else if (feq == m_removeScripts) {
    if (confirmed("Remove active scripts?")) {
      if (services().clearActiveScripts) services().clearActiveScripts();
      done("All active scripts have been removed");
    }
  } else if (feq == m_reschedule) {
    RescheduleAllTasks_GetDate getDate;
    getDate.Run();
  } else if (feq == m_verifyLinks) {
    int64_t removed = 0;
    ProcessWindow verify("VerifyLinks", "Verify Links", [&removed](const std::function<void(int)>& progress) {
      return VerifyLinks(progress, &removed);
    });
    verify.Run();
    // An empty or sound script file passes in a blink: the user is told what was found.
    if (verify.result() != rt::Err::None)
      failed(verify.result());
    else if (verify.Response != ui::RequestCompleted)
      ;  // closed before it ran: nothing was checked
    else if (removed == 0)
      done("Script links verified: every script item belongs to a task.");
    else
      done("Script links verified: " + std::to_string(removed) + (removed == 1 ? " script item" : " script items") +
           " without a task removed.");
  } else {
    return WindowManager::TakeAccepted();
  }
  return Level::Notify;
}

namespace {

class FindScheduleWindow : public ui::WindowManager {
 public:
  FindScheduleWindow() : WindowManager("FindScheduleOnList") {}
  rt::String<20> text;
  Level Init() override {
    ui::Window& w = window();
    w.setTitle("Find");
    w.at(-1, -1, 160, 50);
    w.prompt("?FindPrompt", "&Find:").at(6, 8, 30, 10);
    w.entry("?Find", "@s20").at(40, 6, 112, 12).use(text);
    OkControl = w.button("?OK", "OK").at(50, 28, 48, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(104, 28, 48, 14).feq();
    Open();
    return Level::Benign;
  }
};

class SelectDateRangeWindow : public ui::WindowManager {
 public:
  SelectDateRangeWindow(int32_t start, int32_t end) : WindowManager("Function:SelectDateRange"), start(start), end(end) {}
  int32_t start, end;
  uint8_t oneDay = 0;
  Level Init() override {
    ui::Window& w = window();
    w.setTitle("Select Date Range");
    w.at(-1, -1, 170, 84);
    w.prompt("?StartPrompt", "&Start date:").at(6, 8, 50, 10);
    m_start = w.entry("?Start", datePicture()).at(60, 6, 70, 12).use(start).feq();
    m_startButton = w.button("?StartCalendar", "...").at(134, 6, 14, 12).feq();
    w.prompt("?EndPrompt", "&End date:").at(6, 26, 50, 10);
    m_end = w.entry("?End", datePicture()).at(60, 24, 70, 12).use(end).feq();
    m_endButton = w.button("?EndCalendar", "...").at(134, 24, 14, 12).feq();
    m_oneDay = w.check("?OneDay", "&One day only").at(60, 42, 90, 10).use(oneDay).feq();
    OkControl = w.button("?OK", "OK").at(60, 62, 48, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(114, 62, 48, 14).feq();
    Open();
    return Level::Benign;
  }
  Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_startButton) {
      pickDate(window(), m_start, start, "Select Start Date");
    } else if (feq == m_endButton) {
      pickDate(window(), m_end, end, "Select Start Date");
    } else if (feq == m_oneDay) {
      window().update(m_oneDay);
      window().setProp(m_end, ui::Prop::Disable, oneDay ? "1" : "");
      window().setProp(m_endButton, ui::Prop::Disable, oneDay ? "1" : "");
      return Level::Benign;
    } else {
      return WindowManager::TakeAccepted();
    }
    return Level::Notify;
  }

 private:
  int m_start = 0, m_startButton = 0, m_end = 0, m_endButton = 0, m_oneDay = 0;
};

}  // namespace

std::string FindScheduleOnList() {
  FindScheduleWindow w;
  return w.Run() == ui::RequestCompleted ? w.text.str() : std::string();
}

bool Function_SelectDateRange(int32_t& start, int32_t& end) {
  SelectDateRangeWindow w(start, end);
  if (w.Run() != ui::RequestCompleted) return false;
  start = w.start;
  end = w.oneDay ? w.start : w.end;
  return true;
}

}  // namespace ov::scheduler
