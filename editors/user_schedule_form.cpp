#include "editors/user_schedule_form.h"

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "editors/calendar.h"
#include "editors/form_pictures.h"
#include "editors/style_window_controls.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::editors {

namespace {

using files::US;

constexpr int kHistoryKey = 734;
constexpr int32_t kSelectedTabColour = 10987431;

// The record written last, which the history key brings back.
files::UserScheduleRec& lastUserSchedule() {
  static files::UserScheduleRec last;
  return last;
}

class UserScheduleFile : public ui::UpdateFile {
 public:
  rt::Err PrimeRecord(bool keepBuffer) override { return files::Relate_OVUSD.Me.PrimeRecord(keepBuffer); }
  rt::Err Insert() override { return files::Relate_OVUSD.Insert(); }
  rt::Err Change() override { return files::Relate_OVUSD.Update(); }
  rt::Err Delete() override { return files::Relate_OVUSD.Delete(); }
  void CancelAutoInc() override { (void)files::Relate_OVUSD.Me.CancelAutoInc(); }  // best effort
};

class UpdateOVUSDForm : public ui::WindowManager {
 public:
  UpdateOVUSDForm() : ui::WindowManager("UpdateOVUSD") {}

  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    m_viewOnly = request == ui::ViewRecord;
    m_deleting = request == ui::DeleteRecord;
    Request = m_viewOnly ? ui::ChangeRecord : request;
    HistoryKey = kHistoryKey;
    AddUpdateFile(m_file);
    if (files::Relate_OVUSD.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (Request == ui::InsertRecord && m_file.PrimeRecord(false) != rt::Err::None) return ui::Level::Fatal;

    const std::string time = configuredTimePicture();
    ui::Window& w = window();
    w.setTitle("Update OVUSD");
    w.setProp(0, ui::Prop::Icon, "WINPYR.ICO");
    w.at(-1, -1, 363, 170).minSize(363, 166).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 355, 142).feq();
    const int when = w.tab("?Tab:When", "When", m_sheet).feq();
    w.prompt("?US:Date:Prompt", "&Start:").at(10, 22, 60, 10).on(when);
    m_date = w.spin("?US:Date", "@d3").at(76, 20, 70, 12).tip("Next Date to Perform Task").required().use(US.Date).on(when).feq();
    m_dateLookup = w.button("?CallLookup", "...").at(148, 20, 14, 12).on(when).feq();
    w.prompt("?US:Time:Prompt", "&Time:").at(170, 22, 24, 10).on(when);
    m_time = w.entry("?US:Time", time).at(196, 20, 50, 12).tip("Next Time to Perform Task").required().use(US.Time).on(when).feq();
    w.prompt("?US:LastRunDate:Prompt", "Last performed:").at(10, 38, 60, 10).on(when);
    m_lastDate = w.entry("?US:LastRunDate", "@d3").at(76, 36, 70, 12).tip("Task last performed on this date").use(US.LastRunDate).on(when).feq();
    m_lastTime = w.entry("?US:LastRunTime", time).at(196, 36, 50, 12).tip("Task last performed at this time").use(US.LastRunTime).on(when).feq();
    w.prompt("?US:AdvanceWarnDate:Prompt", "&Advance warning:").at(10, 54, 62, 10).on(when);
    m_warnDate = w.spin("?US:AdvanceWarnDate", "@d3").at(76, 52, 70, 12).tip("Date of Advanced Warning").use(US.AdvanceWarnDate).on(when).feq();
    m_warnLookup = w.button("?CallLookup:2", "...").at(148, 52, 14, 12).on(when).feq();
    w.prompt("?US:AdvanceWarnTime:Prompt", "Time:").at(170, 54, 24, 10).on(when);
    m_warnTime = w.entry("?US:AdvanceWarnTime", time).at(196, 52, 50, 12).tip("Advanced Warning Time").use(US.AdvanceWarnTime).on(when).feq();
    w.image("?Image", "scheduling.jpg").at(256, 20, 96, 64).on(when);
    w.prompt("?US:User:Prompt", "Changes made here only affect this user:").at(10, 90, 150, 10).on(when);
    m_user = w.sstring("?US:User", "@s40").at(160, 90, 180, 10).use(US.User).on(when).feq();
    m_disabled = w.check("?US:Disabled", "&Disabled").at(10, 106, 80, 10).tip("Do not perform this task").use(US.Disabled).on(when).feq();
    m_skip = w.check("?US:SkipNextTime", "Skip &Next Time").at(100, 106, 80, 10).tip("Skip next occurance of this task").use(US.SkipNextTime).on(when).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(262, 150, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(312, 150, 45, 14).feq();

    AddHistoryField(m_date, [] { US.Date = lastUserSchedule().Date; });
    AddHistoryField(m_time, [] { US.Time = lastUserSchedule().Time; });
    AddHistoryField(m_lastDate, [] { US.LastRunDate = lastUserSchedule().LastRunDate; });
    AddHistoryField(m_lastTime, [] { US.LastRunTime = lastUserSchedule().LastRunTime; });
    AddHistoryField(m_warnDate, [] { US.AdvanceWarnDate = lastUserSchedule().AdvanceWarnDate; });
    AddHistoryField(m_warnTime, [] { US.AdvanceWarnTime = lastUserSchedule().AdvanceWarnTime; });
    AddHistoryField(m_user, [] { US.User = lastUserSchedule().User; });
    AddHistoryField(m_disabled, [] { US.Disabled = lastUserSchedule().Disabled; });
    AddHistoryField(m_skip, [] { US.SkipNextTime = lastUserSchedule().SkipNextTime; });

    if (Request == ui::InsertRecord) w.setTitle("New Schedule Details");
    if (Request == ui::ChangeRecord) w.setTitle(m_viewOnly ? "View User Schedule Details" : "Edit User Schedule Details");
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_date, "US:Date", "Next Date to Perform Task", "", "Next Date to Perform Task", true);
    m_required.AddField(m_time, "US:Time", "Next Time to Perform Task", "", "Next Time to Perform Task", true);
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabs.ColourTabs();
    if (m_deleting) {
      StyleWindowControls(*this, true);
      FirstField = CancelControl;
    }
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_viewOnly || m_deleting) StyleWindowControls(*this, m_deleting);
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_dateLookup || feq == m_warnLookup) {
      Update();
      const bool start = feq == m_dateLookup;
      int32_t& date = start ? US.Date : US.AdvanceWarnDate;
      date = Calendar(date, "", start ? "Select Starting Date" : "Select Advanced Warning Date");
      window().display(start ? m_date : m_warnDate);
      return ui::Level::Notify;
    }
    if (feq == OkControl && !m_deleting && !m_viewOnly) {
      Update();
      if (m_required.Incomplete(false)) return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeNewSelection() override {
    const ui::Level rv = ui::WindowManager::TakeNewSelection();
    if (ui::FIELD() == m_sheet) {
      m_tabs.ColourTabs();
      if (m_viewOnly || m_deleting) window().select(CancelControl);
    }
    return rv;
  }

  ui::Level TakeCompleted() override {
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted && !m_deleting) lastUserSchedule() = US;
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    m_tabs.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_OVUSD.Close();
    m_opened = false;
    return rv;
  }

 private:
  UserScheduleFile m_file;
  winclasses::ReqFldClass m_required;
  winclasses::ColourTabClass m_tabs;
  ui::WindowPositionKeeper m_position;
  bool m_viewOnly = false, m_deleting = false, m_opened = false;
  int m_sheet = 0, m_date = 0, m_dateLookup = 0, m_time = 0, m_lastDate = 0, m_lastTime = 0;
  int m_warnDate = 0, m_warnLookup = 0, m_warnTime = 0, m_user = 0, m_disabled = 0, m_skip = 0;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeUpdateOVUSD() { return std::make_unique<UpdateOVUSDForm>(); }

int UpdateOVUSD() {
  UpdateOVUSDForm form;
  return form.Run();
}

}  // namespace ov::editors
