#include "editors/calendar.h"

#include <memory>

#include "datalib/date_string_functions.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"
#include "scheduler/schedule_data.h"

namespace ov::editors {

std::array<CalendarCell, kCalendarButtons> monthGrid(int month, int year,
                                                     const std::function<bool(int32_t)>& allowed) {
  std::array<CalendarCell, kCalendarButtons> cells{};
  const int32_t first = rt::DATE(month, 1, year);
  const int days = rt::daysInMonth(month, year);
  const int firstButton = 1 + static_cast<int>(first % 7);  // 1-based, Sunday in column 1
  for (int d = 1; d <= days; ++d) {
    CalendarCell& c = cells[static_cast<size_t>(firstButton + d - 2)];
    c.day = d;
    c.date = first + d - 1;
    c.enabled = !allowed || allowed(c.date);
  }
  for (int i = 0; i < kCalendarButtons && cells[static_cast<size_t>(i)].day == 0; ++i)
    cells[static_cast<size_t>(i)].shown = false;
  for (int i = kCalendarButtons - 1; i >= 0 && cells[static_cast<size_t>(i)].day == 0; --i)
    cells[static_cast<size_t>(i)].shown = false;
  return cells;
}

std::string monthHeading(int month, int year) {
  const std::string longDate = rt::FORMAT(rt::DATE(month, 1, year), "@d4");
  const size_t blank = longDate.find(' ');
  const std::string name = blank == std::string::npos ? longDate + " " : longDate.substr(0, blank + 1);
  return name + std::to_string(year);
}

void stepYear(int& year, int delta) {
  year += delta;
  if (year < kFirstCalendarYear) year = kLastCalendarYear;
  if (year > kLastCalendarYear) year = kFirstCalendarYear;
}

void stepMonth(int& month, int& year, int delta) {
  month += delta;
  while (month < 1) {
    month += 12;
    stepYear(year, -1);
  }
  while (month > 12) {
    month -= 12;
    stepYear(year, +1);
  }
}

namespace {

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

class CalendarWindow : public ui::WindowManager {
 public:
  CalendarWindow(int32_t date, std::string_view mode, std::string_view title)
      : ui::WindowManager("Calendar"), m_given(date), m_result(date), m_mode(mode), m_title(title) {}

  int32_t result() const { return m_result; }

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    const int32_t working = m_given ? m_given : rt::TODAY();
    m_month = rt::MONTH(working);
    m_year = rt::YEAR(working);
    m_restricted = rt::CLIP(m_mode) != "None";

    ui::Window& w = window();
    std::string caption = rt::CLIP(m_title);
    if (caption.empty()) {
      caption = "Select Date";
      if (m_restricted && !rt::CLIP(files::SCH.ScheduleType.str()).empty()) caption = rt::CLIP(files::SCH.ScheduleType.str());
    }
    w.setTitle(caption);
    w.at(-1, -1, 150, 150).minSize(143, 144).resizable();
    w.setProp(0, ui::Prop::Icon, "CAL.ICO");
    m_prevYear = w.button("?PrevYear", "<<").at(4, 4, 16, 12).tip("Previous Year").feq();
    m_prevMonth = w.button("?PrevMonth", "<").at(22, 4, 14, 12).tip("Previous month").feq();
    m_heading = w.string("?Heading", "").at(40, 6, 70, 10).feq();
    m_nextMonth = w.button("?NextMonth", ">").at(112, 4, 14, 12).tip("Next month").feq();
    m_nextYear = w.button("?NextYear", ">>").at(128, 4, 16, 12).tip("Next year").feq();
    for (int c = 0; c < 7; ++c) w.string(std::string("?DayName") + std::to_string(c + 1), kDayNames[c]).at(4 + c * 20, 20, 18, 10);
    for (int i = 0; i < kCalendarButtons; ++i)
      m_days[static_cast<size_t>(i)] =
          w.button("?Day" + std::to_string(i + 1), "").at(4 + (i % 7) * 20, 32 + (i / 7) * 16, 18, 14).feq();
    m_today = w.button("?Today", "&Today").at(30, 130, 40, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(80, 130, 40, 14).feq();
    w.setProp(CancelControl, ui::Prop::Icon, "cancel.ico");
    Open();
    m_position.Init(*this, files::globalIni(), true);
    fillMonth();
    focusWorkingDay(working);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_prevYear || feq == m_nextYear) {
      stepYear(m_year, feq == m_prevYear ? -1 : 1);
      fillMonth();
      return ui::Level::Notify;
    }
    if (feq == m_prevMonth || feq == m_nextMonth) {
      stepMonth(m_month, m_year, feq == m_prevMonth ? -1 : 1);
      fillMonth();
      return ui::Level::Notify;
    }
    if (feq == m_today) {
      m_result = rt::TODAY();
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    for (int i = 0; i < kCalendarButtons; ++i) {
      if (feq != m_days[static_cast<size_t>(i)]) continue;
      const int day = std::atoi(window().prop(feq, ui::Prop::Text).c_str());
      if (day < 1) return ui::Level::Notify;
      const int32_t chosen = rt::DATE(m_month, day, m_year);
      if (chosen < rt::TODAY() &&
          ui::MESSAGE("You have selected a date earlier than today.  Do you wish to use this date?", "Confirm",
                      ui::Icon::Exclamation, ui::BUTTON::Yes + ui::BUTTON::No) != ui::BUTTON::Yes)
        return ui::Level::Notify;
      m_result = chosen;
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    return ui::WindowManager::Kill();
  }

 private:
  void fillMonth() {
    ui::Window& w = window();
    w.setProp(m_heading, ui::Prop::Text, monthHeading(m_month, m_year));
    std::function<bool(int32_t)> allowed;
    if (m_restricted) allowed = [](int32_t d) { return scheduler::IsValidScheduleDate(d, false); };
    const auto cells = monthGrid(m_month, m_year, allowed);
    for (int i = 0; i < kCalendarButtons; ++i) {
      const CalendarCell& c = cells[static_cast<size_t>(i)];
      const int feq = m_days[static_cast<size_t>(i)];
      w.setProp(feq, ui::Prop::Text, c.day ? std::to_string(c.day) : std::string());
      w.setProp(feq, ui::Prop::Tip, c.day ? files::FMTDATE(c.date) : std::string());
      w.setProp(feq, ui::Prop::Hide, c.shown ? 0 : 1);
      w.setProp(feq, ui::Prop::Disable, c.enabled ? 0 : 1);
    }
  }

  void focusWorkingDay(int32_t working) {
    const auto cells = monthGrid(m_month, m_year);
    for (int i = 0; i < kCalendarButtons; ++i)
      if (cells[static_cast<size_t>(i)].date == working) window().select(m_days[static_cast<size_t>(i)]);
  }

  int32_t m_given, m_result;
  std::string m_mode, m_title;
  bool m_restricted = false;
  int m_month = 1, m_year = 2000;
  int m_prevYear = 0, m_prevMonth = 0, m_nextMonth = 0, m_nextYear = 0, m_heading = 0, m_today = 0;
  std::array<int, kCalendarButtons> m_days{};
  ui::WindowPositionKeeper m_position;
};

}  // namespace

int32_t Calendar(int32_t date, std::string_view mode, std::string_view title) {
  CalendarWindow picker(date, mode, title);
  picker.Run();
  return picker.result();
}

}  // namespace ov::editors
