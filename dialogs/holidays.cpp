#include "dialogs/holidays.h"

#include <cstddef>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "dialogs/easter.h"
#include "dialogs/record_form.h"
#include "dialogs/single_instance.h"
#include "editors/calendar.h"
#include "editors/explore_binding.h"
#include "editors/style_window_controls.h"
#include "platform/files/view_manager.h"
#include "platform/rt/date_time.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/query_class.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/window_utils.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::dialogs {

namespace {

using files::HOL;

constexpr int kHistoryKey = 734;
constexpr int32_t kSelectedTabColour = 10987431;

// The record written last, which the history key brings back.
files::HolidayRec& lastHoliday() {
  static files::HolidayRec last;
  return last;
}

class UpdateHolidaysForm : public ui::WindowManager {
 public:
  UpdateHolidaysForm() : ui::WindowManager("UpdateHolidays"), m_file(files::Relate_HOLIDAYS) {}

  ui::Level Init() override {
    takeFormRequest(Request, m_viewOnly, m_deleting);
    m_openingType = HOL.HolidayType.str();
    HistoryKey = kHistoryKey;
    AddUpdateFile(m_file);
    if (files::Relate_HOLIDAYS.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (Request == ui::InsertRecord) (void)m_file.PrimeRecord(false);

    ui::Window& w = window();
    w.setTitle("Update the Holidays File");
    w.at(-1, -1, 200, 110).minSize(180, 102).resizable();
    const int sheet = w.sheet("?CurrentTab").at(4, 4, 192, 84).feq();
    const int general = w.tab("?Tab:General", "General", sheet).feq();
    w.prompt("?HOL:HolidayDate:Prompt", "&Date:").at(10, 22, 40, 10).on(general);
    m_date = w.entry("?HOL:HolidayDate", "@d3").at(56, 20, 70, 12).tip("Date of Holiday").required().use(HOL.HolidayDate).on(general).feq();
    m_lookup = w.button("?CallLookup", "...").at(128, 20, 14, 12).on(general).feq();
    w.prompt("?HOL:Holiday:Prompt", "De&scription:").at(10, 38, 44, 10).on(general);
    m_name = w.entry("?HOL:Holiday", "@s30").at(56, 36, 130, 12).tip("Description of Holiday").use(HOL.Holiday).on(general).feq();
    m_type = w.option("?HOL:HolidayType", "Holiday T&ype").at(10, 52, 176, 32).tip("Holiday repetition type").use(HOL.HolidayType).on(general).feq();
    w.radio("?HOL:HolidayType:Radio1", "Annual", m_type).at(16, 62, 40, 10);
    w.radio("?HOL:HolidayType:Radio2", "Day of Month", m_type).at(60, 62, 60, 10);
    w.radio("?HOL:HolidayType:Radio3", "Easter", m_type).at(16, 72, 40, 10);
    w.radio("?HOL:HolidayType:Radio4", "Once", m_type).at(60, 72, 40, 10);
    OkControl = w.button("?OK", "&OK").setDefault().at(100, 92, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(150, 92, 45, 14).feq();
    AddHistoryField(m_date, [] { HOL.HolidayDate = lastHoliday().HolidayDate; });
    AddHistoryField(m_name, [] { HOL.Holiday = lastHoliday().Holiday; });
    AddHistoryField(m_type, [] { HOL.HolidayType = lastHoliday().HolidayType; });
    w.setTitle(formTitle(Request, m_viewOnly, "Holiday"));
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_date, "HOL:HolidayDate", "Date of Holiday", "", "Holiday Date", true);
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabs.ColourTabs();
    if (m_deleting) {
      editors::StyleWindowControls(*this, true);
      FirstField = CancelControl;  // the focus as the window opens
    }
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_viewOnly || m_deleting) editors::StyleWindowControls(*this, m_deleting);
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_lookup) {
      Update();
      HOL.HolidayDate = editors::Calendar(HOL.HolidayDate, "None", "Select Date");
      window().display(m_date);
      return ui::Level::Notify;
    }
    if (feq == m_type && !isAcceptAllPass()) {
      const std::string now = rt::CLIP(HOL.HolidayType.str());
      if (now != rt::CLIP(m_openingType) && now == "Easter") {
        HOL.HolidayDate = easterRelativeDate(HOL.HolidayDate, HOL.Holiday.str(), rt::TODAY());
        window().display(m_date);
      }
    }
    // The date is the one field OK needs; the checker tells which.
    if (feq == OkControl && !m_deleting && m_required.Incomplete(false)) return ui::Level::Notify;
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted && !m_deleting) lastHoliday() = HOL;
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    m_tabs.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_HOLIDAYS.Close();
    m_opened = false;
    return rv;
  }

 private:
  RelationUpdateFile m_file;
  winclasses::ReqFldClass m_required;
  winclasses::ColourTabClass m_tabs;
  ui::WindowPositionKeeper m_position;
  std::string m_openingType;
  bool m_viewOnly = false, m_deleting = false, m_opened = false;
  int m_date = 0, m_lookup = 0, m_name = 0, m_type = 0;
};

// ---- the list -----------------------------------------------------------------------------------

struct HolidayRow {
  int32_t HolidayDate = 0;
  rt::String<30> Holiday;
};
const rt::FieldDesc kHolidayRowFields[] = {
    {"HOL:HolidayDate", rt::FieldType::Long, 4, 0, offsetof(HolidayRow, HolidayDate)},
    {"HOL:Holiday", rt::FieldType::String, 30, 4, offsetof(HolidayRow, Holiday)},
};
const rt::RecordDesc kHolidayRow{"HolidayRow", kHolidayRowFields, 34};

// The holidays by date, over the explorer list: columns sorted, moved and fitted from the header,
// the layout kept under "?Browse:1".
class BrowseHolidaysWindow : public ui::WindowManager {
 public:
  BrowseHolidaysWindow() : ui::WindowManager("BrowseHolidays"), m_view(files::Access_HOLIDAYS) {}

  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    Request = request;
    if (request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_HOLIDAYS.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Holidays");
    w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 180, 170).minSize(168, 155).resizable();
    const int list = w.add<ui::ListControl>(0, "?Browse:1")
                         .from(m_queue, kHolidayRow)
                         .format("47R(2)|M~Date~C(0)@d3@80L(2)|M~Description~@s30@")
                         .at(4, 4, 172, 130)
                         .feq();
    m_browse.Init(list, m_view, *this, &files::Relate_HOLIDAYS);
    m_browse.AddSortOrder(&m_step, files::HOL_KeyHolidayDate);
    m_locator.Init("HOL:HolidayDate");
    m_browse.AddLocator(m_locator);
    m_explorer.columns = {
        {"HOL:HolidayDate", 44, "Date", "@d3", "Date of Holiday", 'R', true, false, false, true},
        {"HOL:Holiday", 120, "Description", "@s30", "Description of Holiday", 'L', true, false, false, true},
    };
    m_browse.InsertControl = w.button("?Insert", "&New").at(4, 138, 40, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").at(48, 138, 40, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "&Delete").at(92, 138, 40, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(136, 138, 40, 14).feq();
    m_browse.AskProcedure = 1;
    m_binding.Bind(*this, m_browse, m_query, m_explorer, m_state, ".\\POSITION.INI", "Underline");
    AddItem(m_browse);
    Open();
    scheduler::ApplyDatePicture(w, list, "d3");
    m_position.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    return UpdateHolidays();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_HOLIDAYS.Close();
    m_opened = false;
    return rv;
  }

 private:
  rt::Queue<HolidayRow> m_queue;
  db::ViewManager m_view;
  ui::BrowseClass m_browse;
  ui::StepLongClass m_step;
  ui::StepLocatorClass m_locator;
  ui::QueryClass m_query;
  editors::BoundExplorer m_explorer;
  editors::ExploreState m_state;
  editors::ExploreBinding m_binding;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  bool m_opened = false;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseHolidays() { return std::make_unique<BrowseHolidaysWindow>(); }

int BrowseHolidays() {
  BrowseHolidaysWindow list;
  return list.Run();
}

int UpdateHolidays() {
  UpdateHolidaysForm form;
  return form.Run();
}

}  // namespace ov::dialogs
