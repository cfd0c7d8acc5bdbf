#include "editors/exceptions_window.h"

#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "editors/form_pictures.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/program_windows.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/qv_mouse_wheel_class.h"

namespace ov::editors {

namespace {

using files::SCH;

constexpr int32_t kSelectedTabColour = 10987431;
constexpr const char* kDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

class ExceptionsWindow : public ui::WindowManager {
 public:
  ExceptionsWindow() : ui::WindowManager("UpdateSchedule:ExceptionsWindow") {}

  ui::Level Init() override {
    files::GLOBALRESPONSE = 0;
    if (SCH.ShiftType.isBlank()) SCH.ShiftType = kShiftSkip;
    const ExceptedDays days = exceptedDays(SCH.ExceptOther.view());
    for (size_t i = 0; i < days.size(); ++i) m_days[i] = days[i] ? 1 : 0;

    ui::Window& w = window();
    w.setTitle("Exceptions");
    w.setProp(0, ui::Prop::Icon, "CAL2.ICO");
    w.at(-1, -1, 242, 140).minSize(242, 128).resizable();
    const int sheet = w.sheet("?CurrentTab").at(4, 4, 234, 112).feq();
    const int standard = w.tab("?Tab:Standard", "Standard", sheet).feq();
    const int shift = w.option("?SCH:ShiftType", "E&xception Action").at(10, 20, 100, 44).tip("Exception Shift Type").use(SCH.ShiftType).on(standard).feq();
    // The field holds 20 characters: what is stored of the first choice is what it matches.
    w.radio("?SCH:ShiftType:Radio1", kShiftSkip, shift).value(rt::String<20>(kShiftSkip).str()).at(14, 30, 94, 10);
    w.radio("?SCH:ShiftType:Radio2", "Previous day", shift).at(14, 40, 94, 10);
    w.radio("?SCH:ShiftType:Radio3", "Next day", shift).at(14, 50, 94, 10);
    m_weekends = w.check("?SCH:ExceptWeekends", "Except &weekends").at(118, 22, 110, 10).use(SCH.ExceptWeekends).on(standard).feq();
    m_weekdays = w.check("?SCH:ExceptWeekdays", "Except week&days").at(118, 34, 110, 10).use(SCH.ExceptWeekdays).on(standard).feq();
    m_holidays = w.check("?SCH:ExceptHolidays", "Except &holidays").at(118, 46, 110, 10).use(SCH.ExceptHolidays).on(standard).feq();
    m_time = w.check("?SCH:ExceptTime", "Except &time range:").at(10, 70, 100, 10).use(SCH.ExceptTime).on(standard).feq();
    w.prompt("?SCH:ExceptTimeBegin:Prompt", "&Begin:").at(18, 84, 26, 10).on(standard);
    m_begin = w.entry("?SCH:ExceptTimeBegin", configuredTimePicture()).at(46, 82, 50, 12).use(SCH.ExceptTimeBegin).on(standard).feq();
    w.prompt("?SCH:ExceptTimeEnd:Prompt", "&End:").at(104, 84, 22, 10).on(standard);
    m_end = w.entry("?SCH:ExceptTimeEnd", configuredTimePicture()).at(128, 82, 50, 12).use(SCH.ExceptTimeEnd).on(standard).feq();
    m_holidayList = w.button("?Holidays", "Ho&lidays...").at(170, 98, 60, 14).on(standard).feq();

    const int overrides = w.tab("?Tab:Overrides", "Overrides By Day", sheet).feq();
    static constexpr const char* kNote[] = {
        "Select the days of the week for which", "you wish to have additional exceptions.",
        "NOTE:  These exceptions are in addition to", "the exceptions on the Standard tab.",
        "You do not need to use these unless you", "have exceptions that do not fit into the",
        "categories on the Standard tab."};
    for (int i = 0; i < 7; ++i) {
      m_dayChecks[i] = w.check("?Day" + std::to_string(i + 1), kDayNames[i]).at(10, 20 + 12 * i, 60, 10).use(m_days[i]).on(overrides).feq();
      w.string("?Note" + std::to_string(i + 1), kNote[i]).at(76, 20 + 10 * i, 156, 10).on(overrides);
    }
    m_close = w.button("?Close", "Cl&ose").at(192, 120, 46, 14).feq();
    w.setProp(m_close, ui::Prop::Icon, "EXIT.ICO");
    Open();
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabs.ColourTabs();
    m_wheel.Init();
    // A rule that excepts weekends and weekdays leaves no day to run on, so the check that is on
    // keeps the other one off from the start as well as while the window is open.
    weekendRule();
    timeRangeRule();
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_weekends || feq == m_weekdays || feq == m_holidays || feq == m_time) {
      Update();
      weekendRule();
      timeRangeRule();
      return ui::Level::Notify;
    }
    if (feq == m_holidayList) {
      Update();
      const uint8_t request = files::GLOBALREQUEST;
      files::GLOBALREQUEST = 0;
      (void)scheduler::callProgramWindow("BrowseHolidays");
      files::GLOBALREQUEST = request;
      files::GLOBALRESPONSE = 0;
      window().display();
      return ui::Level::Notify;
    }
    if (feq == m_close) {
      Update();
      ExceptedDays days{};
      for (size_t i = 0; i < days.size(); ++i) days[i] = m_days[i] != 0;
      SCH.ExceptOther = exceptOtherText(days);
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeNewSelection() override {
    const ui::Level rv = ui::WindowManager::TakeNewSelection();
    m_tabs.ColourTabs();
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    if (Response == 0) Response = ui::RequestCancelled;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_tabs.Kill();
    m_wheel.Kill();
    return ui::WindowManager::Kill();
  }

 private:
  void weekendRule() {
    window().setProp(m_weekdays, ui::Prop::Disable, SCH.ExceptWeekends ? 1 : 0);
    window().setProp(m_weekends, ui::Prop::Disable, SCH.ExceptWeekdays ? 1 : 0);
  }
  void timeRangeRule() {
    const int off = SCH.ExceptTime ? 0 : 1;
    window().setProp(m_begin, ui::Prop::Disable, off);
    window().setProp(m_end, ui::Prop::Disable, off);
  }

  winclasses::ColourTabClass m_tabs;
  winclasses::QVMouseWheelClass m_wheel;
  ui::WindowPositionKeeper m_position;
  uint8_t m_days[7] = {};
  int m_dayChecks[7] = {};
  int m_weekends = 0, m_weekdays = 0, m_holidays = 0, m_time = 0, m_begin = 0, m_end = 0;
  int m_holidayList = 0, m_close = 0;
};

}  // namespace

ExceptedDays exceptedDays(std::string_view exceptOther) {
  ExceptedDays days{};
  for (size_t i = 0; i < days.size() && i < exceptOther.size(); ++i) days[i] = exceptOther[i] == 'Y';
  return days;
}

std::string exceptOtherText(const ExceptedDays& days) {
  std::string text;
  for (bool day : days) text += day ? 'Y' : ' ';
  return text;
}

std::unique_ptr<ui::WindowManager> makeExceptionsWindow() { return std::make_unique<ExceptionsWindow>(); }

int UpdateSchedule_ExceptionsWindow() {
  ExceptionsWindow window;
  return window.Run();
}

}  // namespace ov::editors
