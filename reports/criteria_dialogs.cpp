#include "reports/criteria_dialogs.h"

#include <cstddef>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "editors/calendar.h"
#include "platform/files/view_manager.h"
#include "platform/rt/date_time.h"
#include "platform/rt/queue.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"
#include "reports/criteria.h"

namespace ov::reports {

namespace {

class ReportParametersWindow : public ui::WindowManager {
 public:
  ReportParametersWindow() : ui::WindowManager("ReportParameters") {}

  ui::Level Init() override {
    (void)files::Access_CATEGORIES.Open();
    m_opened = true;
    std::string categories;
    (void)files::CATEGORIES.set(files::CAT_KeyCategory);
    while (files::CATEGORIES.next() == rt::Err::None)
      categories += (categories.empty() ? "" : "|") + files::CAT.Category.str();

    ui::Window& w = window();
    w.setTitle("Report Criteria");
    w.at(-1, -1, 250, 150).minSize(244, 110).resizable();
    const std::string datePicture = "@" + files::FORMAT.DATE.str();
    w.group("?DateGroup", "Date Range").at(4, 4, 120, 72);
    m_dateSelect = w.option("?TMP:DateSelect", "").at(8, 12, 110, 14).use(TMP.DateSelect).feq();
    w.radio("?TMP:DateSelect:Radio1", "All", m_dateSelect).at(10, 14, 40, 10);
    w.radio("?TMP:DateSelect:Radio2", "Selected", m_dateSelect).at(55, 14, 50, 10);
    m_fromPrompt = w.prompt("?TMP:DateFrom:Prompt", "From:").at(10, 32, 24, 10).feq();
    m_from = w.entry("?TMP:DateFrom", datePicture).at(36, 30, 60, 12).use(TMP.DateFrom).feq();
    m_fromButton = w.button("?LookupFrom", "...").at(98, 30, 14, 12).feq();
    m_toPrompt = w.prompt("?TMP:DateTo:Prompt", "To:").at(10, 48, 24, 10).feq();
    m_to = w.entry("?TMP:DateTo", datePicture).at(36, 46, 60, 12).use(TMP.DateTo).feq();
    m_toButton = w.button("?LookupTo", "...").at(98, 46, 14, 12).feq();
    m_future = w.check("?REPORT:IncludeFutureOccurances", "Include future occurances")
                   .at(10, 62, 110, 10)
                   .tip("Include future occurances of tasks")
                   .use(files::REPORT.IncludeFutureOccurances)
                   .feq();
    w.group("?CategoryGroup", "Category").at(128, 4, 118, 44);
    m_categorySelect = w.option("?TMP:CategorySelect", "").at(132, 12, 110, 14).use(TMP.CategorySelect).feq();
    w.radio("?TMP:CategorySelect:Radio1", "All", m_categorySelect).at(134, 14, 40, 10);
    w.radio("?TMP:CategorySelect:Radio2", "Selected", m_categorySelect).at(178, 14, 50, 10);
    m_category = w.dropList("?TMP:CategorySelected", categories).at(134, 30, 106, 12).use(TMP.CategorySelected).feq();
    w.group("?OrderGroup", "Order").at(128, 50, 118, 72);
    m_order = w.option("?TMP:OrderSelect", "").at(132, 58, 110, 60).use(TMP.OrderSelect).feq();
    int y = 58;
    for (const char* o : {"Date", "Category", "Description", "Task Type", "Adv. Warn", "Category/Date"}) {
      w.radio(std::string("?TMP:OrderSelect:") + o, o, m_order).at(134, y, 100, 9);
      y += 10;
    }
    OkControl = w.button("?OK", "&OK").setDefault().tip("Proceed with report").at(140, 128, 50, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(194, 128, 50, 14).feq();
    applyCriteriaDefaults(rt::TODAY());
    Open();
    m_position.Init(*this, files::globalIni(), true);
    AddItem(m_position);
    Update();
    enable();
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int f = ui::ACCEPTED();
    if (f == m_dateSelect || f == m_categorySelect) {
      Update();
      enable();
    } else if (f == m_fromButton || f == m_toButton) {
      Update();
      int32_t& date = f == m_fromButton ? TMP.DateFrom : TMP.DateTo;
      date = editors::Calendar(date, "", f == m_fromButton ? "Select \"From\" Date" : "Select \"To\" Date");
      window().display();
    } else if (f == OkControl) {
      Update();
      acceptCriteria();
      m_accepted = true;
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    } else if (f == CancelControl) {
      Update();
      cancelCriteria();
      SetResponse(ui::RequestCancelled);
      return ui::Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }

  ui::Level TakeCloseEvent() override {
    if (!m_accepted) cancelCriteria();
    return WindowManager::TakeCloseEvent();
  }

  ui::Level Kill() override {
    if (m_opened) (void)files::Access_CATEGORIES.Close();
    m_opened = false;
    return WindowManager::Kill();
  }

 private:
  void enable() {
    ui::Window& w = window();
    const bool dates = TMP.DateSelect == "Selected";
    for (int f : {m_fromPrompt, m_from, m_fromButton, m_toPrompt, m_to, m_toButton, m_future})
      w.setProp(f, ui::Prop::Disable, dates ? 0 : 1);
    w.setProp(m_category, ui::Prop::Disable, TMP.CategorySelect == "Selected" ? 0 : 1);
  }

  ui::WindowPositionKeeper m_position;
  int m_dateSelect = 0, m_fromPrompt = 0, m_from = 0, m_fromButton = 0, m_toPrompt = 0, m_to = 0, m_toButton = 0;
  int m_future = 0, m_categorySelect = 0, m_category = 0, m_order = 0;
  bool m_opened = false, m_accepted = false;
};

struct CategoryRow {
  rt::String<20> Category;
};
const rt::FieldDesc kCategoryRowFields[] = {
    {"CAT:Category", rt::FieldType::String, 20, 0, offsetof(CategoryRow, Category)},
};
const rt::RecordDesc kCategoryRow{"CategoryRow", kCategoryRowFields, 20};

class SelectCategoriesWindow : public ui::WindowManager {
 public:
  SelectCategoriesWindow() : ui::WindowManager("SelectCategories"), m_view(files::Access_CATEGORIES) {}

  ui::Level Init() override {
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (files::Access_CATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    ui::Window& w = window();
    w.setTitle("Select a Category");
    w.at(-1, -1, 160, 150).minSize(157, 130).resizable();
    const int sheet = w.sheet("?CurrentTab").at(2, 2, 156, 126).feq();
    const int tab = w.tab("?Tab:1", "Browsing Records", sheet).feq();
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kCategoryRow)
                 .format("80L(2)|M~Category~@s20@")
                 .on(tab)
                 .at(6, 18, 146, 104)
                 .feq();
    m_browse.Init(m_list, m_view, *this, nullptr);
    m_browse.AddSortOrder(&m_step, files::CAT_KeyCategory);
    m_locator.Init("CAT:Category");
    m_browse.AddLocator(m_locator);
    m_browse.AddField("CAT:Category", "CAT:Category");
    m_browse.SelectControl = w.button("?Select", "&Select").at(60, 132, 45, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(108, 132, 45, 14).feq();
    m_browse.Selecting = true;
    AddItem(m_browse);
    Open();
    m_position.Init(*this, files::globalIni(), true);
    AddItem(m_position);
    return ui::Level::Benign;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response == ui::RequestCompleted ? 1 : 2);
    const ui::Level rv = WindowManager::Kill();
    if (m_opened) (void)files::Access_CATEGORIES.Close();
    m_opened = false;
    return rv;
  }

 private:
  db::ViewManager m_view;
  rt::Queue<CategoryRow> m_queue;
  ui::BrowseClass m_browse;
  ui::StepStringClass m_step;
  ui::StepLocatorClass m_locator;
  ui::WindowPositionKeeper m_position;
  int m_list = 0;
  bool m_opened = false;
};

class SetReportTitleWindow : public ui::WindowManager {
 public:
  SetReportTitleWindow() : ui::WindowManager("SetReportTitle") {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("Set Report Title");
    w.at(-1, -1, 210, 84).minSize(199, 83).resizable();
    w.string("?Hint", "Leave the report title blank if you wish to use the default title.").at(6, 6, 198, 10);
    w.prompt("?ReportTitle:Prompt", "Report Title:").at(6, 26, 50, 10);
    w.entry("?ReportTitle", "@s80").at(58, 24, 146, 12).use(ReportTitle);
    OkControl = w.button("?OK", "OK").setDefault().at(104, 62, 48, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(156, 62, 48, 14).feq();
    Open();
    m_position.Init(*this, files::globalIni(), true);
    AddItem(m_position);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == OkControl || ui::ACCEPTED() == CancelControl) {
      Update();  // Cancel keeps the typed title too
      SetResponse(ui::ACCEPTED() == OkControl ? ui::RequestCompleted : ui::RequestCancelled);
      return ui::Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response == ui::RequestCompleted ? 1 : 2);
    return WindowManager::Kill();
  }

 private:
  ui::WindowPositionKeeper m_position;
};

}  // namespace

void ReportParameters() {
  ReportParametersWindow w;
  w.Run();
}

void SelectCategories() {
  SelectCategoriesWindow w;
  w.Run();
}

void SetReportTitle() {
  SetReportTitleWindow w;
  w.Run();
}

}  // namespace ov::reports
