#include "editors/task_lists.h"

#include <QPoint>
#include <QWidget>
#include <algorithm>
#include <map>
#include <utility>
#include <cstddef>
#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "editors/calendar.h"
#include "editors/explore_binding.h"
#include "editors/recurrence.h"
#include "editors/task_list_rules.h"
#include "platform/files/view_manager.h"
#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/rt/date_time.h"
#include "platform/rt/expr.h"
#include "platform/rt/picture.h"
#include "platform/rt/process.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/prop.h"
#include "platform/ui/query_class.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/event_log.h"
#include "scheduler/frame_commands.h"
#include "scheduler/main_frame.h"
#include "scheduler/open_window_list.h"
#include "scheduler/program_body.h"
#include "scheduler/program_windows.h"
#include "scheduler/scheduler_windows.h"
#include "scheduler/services.h"
#include "editors/task_form.h"
#include "scheduler/temp_script_execution.h"
#include "scheduler/task_items.h"
#include "scheduler/window_utils.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/qv_browse_class.h"

namespace ov::editors {

namespace {

using files::SCH;

constexpr int32_t kSelectedTabColour = 10987431;

std::string clip(std::string_view s) { return std::string(rt::clipView(s)); }

// One row of the task lists: the described columns in order, with the colour and icon fields the
// list format puts after them.
struct TaskRow {
  rt::String<1> Checkmark;
  int32_t cmFg = -1, cmBg = -1, cmSfg = -1, cmSbg = -1;
  int32_t cmIcon = 0;
  rt::String<1> PrgIcon;
  int32_t piFg = -1, piBg = -1, piSfg = -1, piSbg = -1;
  int32_t piIcon = 0;
  int32_t Date = 0;
  int32_t dFg = -1, dBg = -1, dSfg = -1, dSbg = -1;
  int32_t Time = 0;
  int32_t tFg = -1, tBg = -1, tSfg = -1, tSbg = -1;
  rt::String<20> Category;
  rt::String<40> Description;
  rt::String<80> ScheduleType;
  int32_t LastRunDate = 0;
  int32_t LastRunTime = 0;
  rt::String<255> Message;
  uint8_t Skipped = 0;
  int32_t ID = 0;
};

#define OV_ROW_LONG(name, member) {name, rt::FieldType::Long, 4, 0, offsetof(TaskRow, member)}
const rt::FieldDesc kExplorerRowFields[] = {
    {"Checkmark", rt::FieldType::String, 1, 0, offsetof(TaskRow, Checkmark)},
    OV_ROW_LONG("CM:Fg", cmFg), OV_ROW_LONG("CM:Bg", cmBg), OV_ROW_LONG("CM:SFg", cmSfg), OV_ROW_LONG("CM:SBg", cmSbg),
    OV_ROW_LONG("CM:Icon", cmIcon),
    {"PrgIcon", rt::FieldType::String, 1, 0, offsetof(TaskRow, PrgIcon)},
    OV_ROW_LONG("PI:Fg", piFg), OV_ROW_LONG("PI:Bg", piBg), OV_ROW_LONG("PI:SFg", piSfg), OV_ROW_LONG("PI:SBg", piSbg),
    OV_ROW_LONG("PI:Icon", piIcon),
    OV_ROW_LONG("SCH:Date", Date),
    OV_ROW_LONG("D:Fg", dFg), OV_ROW_LONG("D:Bg", dBg), OV_ROW_LONG("D:SFg", dSfg), OV_ROW_LONG("D:SBg", dSbg),
    OV_ROW_LONG("SCH:Time", Time),
    OV_ROW_LONG("T:Fg", tFg), OV_ROW_LONG("T:Bg", tBg), OV_ROW_LONG("T:SFg", tSfg), OV_ROW_LONG("T:SBg", tSbg),
    {"SCH:Category", rt::FieldType::String, 20, 0, offsetof(TaskRow, Category)},
    {"SCH:Description", rt::FieldType::String, 40, 0, offsetof(TaskRow, Description)},
    {"LOC:ScheduleType", rt::FieldType::String, 80, 0, offsetof(TaskRow, ScheduleType)},
    OV_ROW_LONG("SCH:LastRunDate", LastRunDate),
    OV_ROW_LONG("SCH:LastRunTime", LastRunTime),
    {"SCH:Message", rt::FieldType::String, 255, 0, offsetof(TaskRow, Message)},
    {"SCH:Skipped", rt::FieldType::Byte, 1, 0, offsetof(TaskRow, Skipped)},
    OV_ROW_LONG("SCH:ID", ID),
};
#undef OV_ROW_LONG
const rt::RecordDesc kExplorerRow{"TaskRow", kExplorerRowFields, sizeof(TaskRow)};

// The day list has no Message column: the same row without it.
const std::vector<rt::FieldDesc>& dayListFields() {
  static const std::vector<rt::FieldDesc> fields = [] {
    std::vector<rt::FieldDesc> f(std::begin(kExplorerRowFields), std::end(kExplorerRowFields));
    std::erase_if(f, [](const rt::FieldDesc& d) { return std::string_view(d.name) == "SCH:Message"; });
    return f;
  }();
  return fields;
}
const rt::RecordDesc kDayListRow{"TaskRow", dayListFields(), sizeof(TaskRow)};

// Tells the frame that tasks changed.
void postRefreshToFrame() {
  if (scheduler::services().post)
    scheduler::services().post(scheduler::kEventRefreshAll, scheduler::kFrameThread);
  else
    ui::POST(scheduler::EVENT::RefreshAll, 0, scheduler::kFrameThread);
}

bool passwordPasses() {
  return !scheduler::services().passwordValidation || scheduler::services().passwordValidation();
}

int32_t pickDate(int32_t date, std::string_view mode, std::string_view title) {
  if (scheduler::services().calendar) return scheduler::services().calendar(date, mode, title);
  return Calendar(date, mode, title);
}

// The list is opened once: a second start brings the first forward and closes.
class SingleList : public ui::WindowComponent {
 public:
  bool Init(ui::WindowManager& manager) {
    const std::string& name = manager.procedureName();
    if (int other = scheduler::openWindowThread(name); other && ui::isThreadRunning(other) && other != ui::THREAD()) {
      ui::POST(ui::EVENT::GainFocus, 0, other);
      return false;
    }
    m_manager = &manager;
    m_thread = ui::THREAD();
    scheduler::enterOpenWindow(name, m_thread);
    manager.AddItem(*this);
    return true;
  }
  void Kill() override {
    if (m_manager) scheduler::leaveOpenWindow(m_manager->procedureName(), m_thread);
    m_manager = nullptr;
  }

 private:
  ui::WindowManager* m_manager = nullptr;
  int m_thread = 0;
};

class TaskListWindow;

// The browse of the task lists: rows with icons, colours and the recurrence text; the window's
// filter and order before every reading; a copy keeps the record buffer.
class TaskBrowse : public winclasses::QVBrowseClass {
 public:
  TaskListWindow* owner = nullptr;
  void SetQueueRecord() override;
  void ResetSort(bool force) override;
  void Reset(bool force) override;
  rt::Err PrimeRecord(bool suppressClear) override;
  void UpdateWindow() override;
};

class TaskListWindow : public ui::WindowManager {
 public:
  explicit TaskListWindow(bool explorer)
      : ui::WindowManager(explorer ? "ExploreSchedule" : "BrowseSchedule"),
        m_isExplorer(explorer),
        m_view(files::Access_SCHEDULE) {
    m_browse.owner = this;
  }

  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    if (request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (m_isExplorer) {
      scheduler::RegisteredThreads().push_back(ui::THREAD());
      m_registered = true;
    }
    const int32_t today = rt::TODAY();
    m_shownDate = m_rememberedToday = m_selectedDay = today;
    // Bound names are shared by every window of the program: each list binds only its own.
    if (m_isExplorer) {
      rt::BIND("Filter:Category", m_filterCategory);
      rt::BIND("Filter:Text", m_filterText);
    } else {
      rt::BIND("SelectedDay", m_selectedDay);
      rt::BIND("CAT:Category", files::CAT.Category);
    }
    m_bound = true;
    m_filterCategory = "All";
    m_status = files::START.ACTIVEONLY ? "Active" : "All";
    m_activeOnly = files::START.ACTIVEONLY != 0;
    editors::TaskFormStartDate() = std::to_string(m_isExplorer ? m_shownDate : m_selectedDay);

    if (files::Relate_SCHEDULE.Open() != rt::Err::None) {
      scheduler::WriteLog("Schedule", "File not open error");
      if (files::Relate_SCHEDULE.Open() != rt::Err::None)
        scheduler::WriteLog("Schedule", "File not open: " + rt::ERROR());  // the window opens, empty
      else
        m_openedSchedule = true;
    } else {
      m_openedSchedule = true;
    }
    if (files::Relate_CATEGORIES.Open() == rt::Err::None) m_openedCategories = true;
    if (files::Access_SCRIPTING.Open() == rt::Err::None) m_openedScripting = true;

    m_wizardError = qwizard::loadFields(storedTaskListQueryFields(), "SCHEDULE", m_queryFields);
    if (m_wizardError != qwizard::code::None)
      (void)ui::MESSAGE("An error has prevented the Query Wizard from initializing.",
                        "Query Wizard Error# " + std::to_string(m_wizardError), ui::Icon::Information);
    m_queryFields.allowRecord(files::Desc_SCHEDULE, &files::SCH);

    if (m_isExplorer) loadCategories();
    declareWindow();
    m_day = "Today";
    if (files::START.ALLDAYS) m_day = "All";

    // The browse and its orders.
    m_browse.Init(m_list, m_view, *this, &files::Relate_SCHEDULE);
    if (m_isExplorer) {
      m_ownOrder = m_browse.AddSortOrder(&m_dateStep, files::SCH_KeyDate);
      m_dateLocator.Init("SCH:Date");
      m_browse.AddLocator(m_dateLocator);
      m_browse.SetFilter("(SCH:Date>0)");
    } else {
      addDayListOrders();
    }
    for (ui::Binding b : resetFields()) m_browse.AddResetField(b);
    m_explorer.columns = taskListColumns(m_isExplorer);
    m_explorer.baseFilter = "(SCH:Date>0)";
    m_explorer.resetFields = resetFields();
    m_binding.rowPopup = [this] {
      if (!withTask()) return;
      beforePopup();
      (void)m_browse.Popup.Ask();
    };
    m_browse.InsertControl = m_new;
    m_browse.ChangeControl = m_edit;
    m_browse.DeleteControl = m_delete;
    // What acts on the highlighted task has nothing to act on in an empty list.
    m_browse.RowControls = {m_quick, m_execute, m_special, m_editAsText, m_scripting, m_disabled, m_skip};
    m_browse.AskProcedure = 1;
    buildPopup();  // the window's items first: the explorer adds its own after them
    m_binding.Bind(*this, m_browse, m_query, m_explorer, m_state, ".\\POSITION.INI");
    AddItem(m_browse);
    Open();

    ui::Window& w = window();
    scheduler::ApplyDatePicture(w, m_list, "d17");
    scheduler::ApplyTimePicture(w, m_list);
    m_position.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    w.setProp(m_queryButton, ui::Prop::Disable, m_wizardError != qwizard::code::None ? 1 : 0);
    w.setProp(m_resetQuery, ui::Prop::Disable, m_queryText.empty() ? 1 : 0);
    if (m_isExplorer) {
      if (files::START.ALLDAYS) {
        w.display(m_dayList);
        positionAtToday();
      }
    } else {
      if (files::START.ALLDAYS) {
        w.select(m_tabAll);
        m_visitedAll = true;
        positionAtToday();
      }
      w.setProp(m_tabDay, ui::Prop::Text, files::FMTDATE(m_selectedDay));
      if (scheduler::startupSettings().multiUser && !clip(files::APP.USERID.str()).empty())
        w.setTitle("View Schedule - " + clip(files::APP.USERID.str()));
      m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
      m_tabs.ColourTabs();
      scheduler::RegisteredThreads().push_back(ui::THREAD());
      m_registered = true;
    }
    ui::POST(scheduler::EVENT::DayChanged);
    return ui::Level::Benign;
  }

  // ---- what the browse asks ----

  void fillRow(TaskRow& row) {
    const std::string type = DescribeRecurrence();
    row.ScheduleType = type;
    row.cmIcon = statusIcon(SCH);
    row.piIcon = taskTypeIcon(SCH);
    row.cmFg = row.cmBg = row.cmSfg = row.cmSbg = -1;
    row.piFg = row.piBg = row.piSfg = row.piSbg = -1;
    row.dFg = row.dBg = row.dSfg = row.dSbg = -1;
    row.tFg = row.tBg = row.tSfg = row.tSbg = -1;
    if (!m_isExplorer) {
      const DateColours c = dayListDateColours(SCH);
      row.dFg = c.fg;
      row.dSfg = c.sfg;
    }
  }

  // The order and the filter parts, before the browse reads the view.
  void prepareRead() {
    if (m_isExplorer) {
      const DayFilter f = applyDayFilter(m_day, rt::TODAY(), m_rangeStart, m_rangeEnd);
      m_rangeStart = f.rangeStart;
      m_rangeEnd = f.rangeEnd;
      m_shownDate = f.shownDate;
      (void)m_browse.SetSort(m_binding.chosenOrder(m_ownOrder));
      setPart("6 Query", m_queryText);
      setPart("3TaskType", "NOT(SCH:TaskType='Hot Key')");
      setPart("3Status", statusCondition(m_status));
      setPart("2Date", f.condition);
      setPart("5Cat", categoryCondition(m_filterCategory.str()));
      setPart("7Text", textCondition(m_filterText.str()));
      editors::TaskFormStartDate() = std::to_string(m_shownDate);
      if (window().isOpen()) {
        ui::Window& w = window();
        w.setProp(m_dateText, ui::Prop::Text, f.dateText);
        w.setProp(m_dayList, ui::Prop::Tip, f.tip);
        w.setTitle(f.title);
      }
    } else {
      const int own = dayListOrder();
      const int order = m_binding.chosenOrder(own);
      (void)m_browse.SetSort(order);
      if (order != own) setPart("", tabFilter(own));  // a column order keeps to the tab's records
      setPart("6 Query", m_queryText);
      setPart("9Active", m_activeOnly ? "~(SCH:Disabled OR SCH:Completed)" : "");
    }
  }

  // The day list's tab filters as a column order takes them (the category as a condition, where
  // the tab's own order has a range).
  static std::string tabFilter(int order) {
    switch (order) {
      case 4: return "(SCH:Date=SelectedDay AND SCH:Date>0)";
      case 2: return "(SCH:Date>0) AND UPPER(SCH:Category)=UPPER(CAT:Category)";
      default: return "(SCH:Date>0)";
    }
  }

  // A named filter part of the current order, set only when it changed: a set part makes the
  // browse read the view again.
  void setPart(const std::string& name, const std::string& expression) {
    std::string& last = m_parts[{m_browse.CurrentSort(), name}];
    if (last == expression && !expression.empty()) return;
    if (last.empty() && expression.empty()) return;
    last = expression;
    m_browse.SetFilter(expression, name);
  }

  // A new task starts as a copy of the highlighted one after Copy.
  bool takeCopyFlag() {
    const bool copy = m_copy;
    m_copy = false;
    return copy;
  }

  // Before the row popup opens: the toggles' texts, the script items offered for suitable tasks.
  void beforePopup() {
    ui::Window& w = window();
    ui::PopupClass& p = m_browse.Popup;
    const bool skipping = SCH.SkipNextTime == 1, disabled = SCH.Disabled == 1;
    const bool scripts = clip(SCH.TaskType.str()) != "Display Message";
    if (m_isExplorer) {
      p.SetItemEnable("Popup10", scripts);
      p.SetItemEnable("Popup17", scripts);
      w.setProp(m_skip, ui::Prop::Text, skipText(skipping, "Undo: "));
      p.SetText("Popup19", skipText(false, ""));
      p.SetItemCheck("Popup19", skipping);
      w.setProp(m_disabled, ui::Prop::Text, disableText(disabled, "Undo: "));
      p.SetText("PopupDisabled", disableText(disabled, "Undo: "));
    } else {
      w.setProp(m_skip, ui::Prop::Text, skipText(skipping, "Undo "));
      p.SetText("Popup19S", skipText(skipping, "Undo "));
      w.setProp(m_disabled, ui::Prop::Text, disableText(disabled, "Undo "));
      p.SetText("PopupDisabled", disableText(disabled, "Undo "));
    }
  }

  // ---- the window ----

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    updateButtons();
  }

  // Copy follows the rows; Show Active Only and Show All are each greyed while their filter is
  // the one in force (the popup's items mimic them).
  void updateButtons() {
    if (!window().isOpen()) return;
    ui::Window& w = window();
    const bool rows = m_browse.HasRecords() > 0;
    w.setProp(m_copyButton, ui::Prop::Disable, rows ? 0 : 1);
    m_browse.Popup.SetItemEnable("Copy", rows);
    const bool activeOnly = m_isExplorer ? m_status == "Active" : m_activeOnly;
    const bool all = m_isExplorer ? m_status == "All" : !m_activeOnly;
    w.setProp(m_showActive, ui::Prop::Disable, activeOnly ? 1 : 0);
    w.setProp(m_showAll, ui::Prop::Disable, all ? 1 : 0);
    // The two toggles say what they would do to the highlighted task (the buffer holds it), as
    // the popup does: a toggle whose row looks the same either way (a completed task, a skipped
    // one in the explorer) still shows that it acted.
    const char* undo = m_isExplorer ? "Undo: " : "Undo ";
    w.setProp(m_skip, ui::Prop::Text, rows ? skipText(SCH.SkipNextTime == 1, undo) : std::string("Set &Skip"));
    w.setProp(m_disabled, ui::Prop::Text, rows ? disableText(SCH.Disabled == 1, undo) : std::string("Disabled"));
    if (!m_isExplorer) {
      m_browse.Popup.SetItemEnable("Popup12", !m_activeOnly);
      m_browse.Popup.SetItemEnable("Popup13", m_activeOnly);
    }
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    const int response = scheduler::callProgramWindow("UpdateSchedule");
    return response == 0 ? ui::RequestCancelled : response;
  }

  ui::Level TakeEvent() override {
    const int event = ui::EVENT();
    if (event == scheduler::EVENT::DayChanged) {
      dayChanged();
    } else if (event == scheduler::EVENT::RefreshAll) {
      refresh();
      selectNewTask();
    } else if (event == ui::EVENT::GainFocus && ui::FIELD() == 0) {
      ui::Window& w = window();
      if (w.propInt(0, ui::Prop::Iconize)) w.setProp(0, ui::Prop::Iconize, 0);
      w.setProp(0, ui::Prop::Active, 1);
      w.select(m_list);
    }
    return ui::WindowManager::TakeEvent();
  }

  ui::Level TakeNewSelection() override {
    const int feq = ui::FIELD();
    if (feq == m_sheet) {
      window().select(m_list);
      m_explorer.EraseVisual();  // while the sorted column is still known
      m_binding.clearColumnSort();
      if (window().choice(m_sheet) == 2 && !m_visitedAll) {
        m_visitedAll = true;
        positionAtToday();
      } else {
        refresh();
      }
      m_tabs.ColourTabs();
    } else if (feq == m_dayList) {
      window().update(m_dayList);
      if (m_day == "Custom") {
        if (m_rangeEnd == 0) m_rangeEnd = rt::DATE(1, 1, 2099);
        if (m_rangeStart == 0) m_rangeStart = rt::DATE(1, 1, 1999);
        (void)scheduler::Function_SelectDateRange(m_rangeStart, m_rangeEnd);
      }
      refresh();
    } else if (feq == m_statusList || feq == m_categoryList) {
      window().update(feq);
      refresh();
    }
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    ui::Window& w = window();
    w.update();
    if (feq == m_copyButton) {
      if (m_browse.HasRecords() && m_browse.UpdateBuffer() == rt::Err::None) {
        editors::TaskFormSourceID() = SCH.ID;
        m_copy = true;
        w.post(ui::EVENT::Accepted, m_new);
      }
      return ui::Level::Notify;
    }
    if (feq == m_new) {
      editors::TaskFormStartDate() = std::to_string(m_isExplorer ? m_shownDate : m_selectedDay);
      if (!m_copy) editors::TaskFormSourceID() = 0;
    } else if (feq == m_quick) {
      if (withTask() && passwordPasses()) {
        (void)scheduler::SnoozeTask();
        refresh();
        w.select(m_list);
        if (!m_isExplorer) postRefreshToFrame();
      }
    } else if (feq == m_execute) {
      if (withTask()) {
        scheduler::TempScriptExecution() = 1;
        scheduler::RunTaskNow();
      }
    } else if (feq == m_special) {
      if (withTask()) {
        scheduler::PresetTaskType() = "Reschedule";
        editors::TaskFormSourceID() = SCH.ID;
        files::GLOBALREQUEST = ui::InsertRecord;
        (void)scheduler::callProgramWindow("UpdateSchedule");
        refresh();
        postRefreshToFrame();
      }
    } else if (feq == m_scripting) {
      if (withTask() && passwordPasses()) {
        const std::string type = clip(SCH.TaskType.str());
        const char first = type.empty() ? ' ' : type[0];
        if (first != 'R' && first != 'B') {
          ui::MESSAGE("This schedule type does not support scripting.", "Error", ui::Icon::Exclamation);
        } else {
          files::GLOBALREQUEST = ui::ChangeRecord;
          (void)scheduler::callProgramWindow("BrowseScripting");
        }
      }
    } else if (feq == m_editAsText) {
      if (withTask()) {
        files::GLOBALREQUEST = ui::ChangeRecord;
        (void)scheduler::callProgramWindow("Script:EditAsText");
        refresh();
      }
    } else if (feq == m_showActive || feq == m_showAll) {
      if (m_isExplorer) {
        m_status = feq == m_showActive ? "Active" : "All";
        w.display(m_statusList);
      } else {
        m_activeOnly = feq == m_showActive;
      }
      refresh();
    } else if (feq == m_disabled) {
      if (withTask()) {
        scheduler::ToggleTaskEnabled();
        refresh();
      }
    } else if (feq == m_skip) {
      if (withTask()) {
        scheduler::ToggleSkipNextOccurrence();
        w.select(m_list);
        refresh();
      }
    } else if (feq == m_rescheduleAll) {
      (void)ui::START(scheduler::rescheduleWithPasswordProc(), 25000);
    } else if (feq == m_viewCalendar) {
      std::string folder = clip(files::EXEPATH.str());
      if (!folder.empty() && folder.back() != '/') folder += '/';
      const std::string line = folder + "OV_RPTS.EXE ?ReportsCalendar";
      if (scheduler::services().runNoWait)
        (void)scheduler::services().runNoWait(line);
      else
        rt::RUN(line, false);
    } else if (feq == m_refresh) {
      refresh();
    } else if (feq == m_queryButton) {
      if (qwizard::runQueryWizard(m_queryFields, m_queryText)) {
        // Reset stays off while there is no query to clear.
        w.setProp(m_resetQuery, ui::Prop::Disable, m_queryText.empty() ? 1 : 0);
        refresh();
      }
    } else if (feq == m_resetQuery) {
      w.setProp(m_resetQuery, ui::Prop::Disable, 1);
      m_queryText.clear();
      refresh();
    } else if (feq == m_find && feq) {
      const std::string text = scheduler::FindScheduleOnList();
      if (!clip(text).empty()) {
        m_findText = clip(text);
        if (!findTask(0)) ui::BEEP();
        w.select(m_list);
      }
    } else if (feq == m_findNext && feq) {
      if (m_findText.empty() || !findTask(m_browse.positionOf(m_browse.list().selected()))) ui::BEEP();
      w.select(m_list);
    } else if (feq == m_more) {
      int x = -1, y = -1;
      morePopupPoint(x, y);
      if (withTask()) beforePopup();
      (void)m_browse.Popup.Ask(x, y);
    } else if (feq == m_calendarButton) {
      if (m_rangeStart == 0) m_rangeStart = rt::TODAY();
      const int32_t d = pickDate(m_rangeStart, "None", "Select Date");
      m_rangeStart = m_rangeEnd = d;
      m_day = d == rt::TODAY() ? "Today" : "Custom";
      w.display();
      refresh();
    } else if (feq == m_dateEntry) {
      m_rangeEnd = m_rangeStart;
      m_day = m_rangeStart == rt::TODAY() ? "Today" : "Custom";
      w.display();
      refresh();
    } else if (feq == m_textEntry) {
      refresh();
      w.select(m_list);
    } else if (feq == m_selectDay) {
      SCH = files::ScheduleRec{};
      m_selectedDay = pickDate(m_selectedDay, "", "");
      editors::TaskFormStartDate() = std::to_string(m_selectedDay);
      w.setProp(m_tabDay, ui::Prop::Text, rt::FORMAT(m_selectedDay, "@d3"));
      refresh();
    } else if (feq == m_categoryButton) {
      files::GLOBALREQUEST = ui::SelectRecord;
      (void)scheduler::callProgramWindow("BrowseTaskCategories");
      refresh();
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    if (m_registered) {
      std::erase(scheduler::RegisteredThreads(), ui::THREAD());
      m_registered = false;
    }
    m_tabs.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_openedSchedule) (void)files::Relate_SCHEDULE.Close();
    if (m_openedCategories) (void)files::Relate_CATEGORIES.Close();
    if (m_openedScripting) (void)files::Access_SCRIPTING.Close();
    m_openedSchedule = m_openedCategories = m_openedScripting = false;
    if (m_bound) {
      if (m_isExplorer) {
        rt::UNBIND("Filter:Category");
        rt::UNBIND("Filter:Text");
      } else {
        rt::UNBIND("SelectedDay");
        rt::UNBIND("CAT:Category");
      }
      m_bound = false;
    }
    return rv;
  }

  void refresh() { m_browse.ResetSort(true); }

 private:
  std::vector<ui::Binding> resetFields() {
    if (m_isExplorer) return {m_filterCategory, m_day, m_rangeEnd, m_rangeStart, m_status, m_filterText};
    return {m_selectedDay};
  }

  // The day list's orders, numbered as its tabs choose them.
  void addDayListOrders() {
    m_browse.AddSortOrder(&m_dateStep, files::SCH_KeyDate);  // 1: All by Date
    m_dateLocator.Init("SCH:Date");
    m_browse.AddLocator(m_dateLocator);
    m_browse.SetFilter("(SCH:Date>0)");
    m_browse.AddSortOrder(&m_categoryStep, files::SCH_KeyCategory);  // 2: All in Category
    m_browse.AddRange("SCH:Category", ui::Binding(files::CAT.Category));
    m_descriptionLocator.Init("SCH:Description");
    m_browse.AddLocator(m_descriptionLocator);
    m_browse.SetFilter("(SCH:Date>0)");
    m_browse.AddSortOrder(&m_selectedStep, files::SCH_KeyDate);  // 3: Selected
    m_selectedLocator.Init("SCH:Date");
    m_browse.AddLocator(m_selectedLocator);
    m_browse.SetFilter("(SCH:Date>0)");
    m_browse.AddSortOrder(&m_dayStep, files::SCH_KeyDate);  // 4: Day Schedule
    m_dayLocator.Init("SCH:Date");
    m_browse.AddLocator(m_dayLocator);
    m_browse.SetFilter("(SCH:Date=SelectedDay AND SCH:Date>0)");
    m_ownOrder = 4;
  }

  int dayListOrder() const {
    if (!window().isOpen()) return 4;
    switch (window().choice(m_sheet)) {
      case 2: return 1;
      case 3: return 2;
      case 4: return 3;
      default: return 4;
    }
  }

  void loadCategories() {
    m_categories = "All";
    const files::CategoryRec keep = files::CAT;
    rt::Err err = files::CATEGORIES.set(files::CAT_KeyCategory);
    while (err == rt::Err::None && (err = files::CATEGORIES.next()) == rt::Err::None)
      m_categories += "|" + clip(files::CAT.Category.str());
    files::CAT = keep;
  }

  // A task made elsewhere since the list last looked (the frame's commands, a wizard) becomes the
  // selected row when the list holds it; otherwise the selection stays.
  void selectNewTask() {
    const NewTaskNote note = lastNewTask();
    if (note.count == m_seenNewTasks) return;
    m_seenNewTasks = note.count;
    SCH.ID = note.id;
    bool found = false;
    if (files::SCHEDULE.get(files::SCH_KeyID) == rt::Err::None) found = m_browse.SelectPosition(files::SCHEDULE.position());
    if (!found) (void)m_browse.UpdateBuffer();  // the buffer back on the highlighted task
  }

  // Selects the first task in description order whose description starts with the find text (case
  // ignored) and that the list holds; with `after`, the first one after that task's record.
  bool findTask(int64_t after) {
    const std::string want = rt::UPPER(m_findText);
    std::vector<int64_t> hits;
    bool passed = after == 0;
    rt::Err err = files::SCHEDULE.set(files::SCH_KeyTaskName);
    while (err == rt::Err::None && (err = files::SCHEDULE.next()) == rt::Err::None) {
      const int64_t at = files::SCHEDULE.position();
      if (!passed) {
        passed = at == after;
        continue;
      }
      if (rt::UPPER(clip(SCH.Description.str())).rfind(want, 0) == 0 && m_view.indexOf(at) >= 0) {
        hits.push_back(at);
        break;
      }
    }
    const bool found = !hits.empty() && m_browse.SelectPosition(hits.front());
    if (!found) (void)m_browse.UpdateBuffer();  // the buffer back on the highlighted task
    return found;
  }

  // Where "&More..." opens its popup, in screen pixels: under the button's lower left corner, or,
  // for a button lower than 300 pixels below the window's top, at the middle of its right edge.
  void morePopupPoint(int& x, int& y) {
    ui::Control* c = window().control(m_more);
    QWidget* button = c ? c->view() : nullptr;
    QWidget* top = window().view();
    if (!button || !top) return;  // at the mouse
    const QPoint centre = button->mapTo(top, QPoint(0, button->height() / 2));
    const QPoint at = centre.y() <= 300 ? QPoint(0, button->height()) : QPoint(button->width(), button->height() / 2);
    const QPoint screen = button->mapToGlobal(at);
    x = screen.x();
    y = screen.y();
  }

  // The list read in date order from its start, with the first task of today (or after) selected.
  void positionAtToday() {
    m_browse.ResetSort(true);
    m_browse.Locate(m_dateLocator, std::to_string(rt::TODAY()));
  }

  // The highlighted task in SCH; false on an empty list.
  bool withTask() { return m_browse.HasRecords() > 0 && m_browse.UpdateBuffer() == rt::Err::None; }

  void dayChanged() {
    const int32_t today = rt::TODAY();
    if (m_isExplorer) {
      if (followDayChange(today, m_rememberedToday, m_shownDate)) {
        editors::TaskFormStartDate() = std::to_string(m_shownDate);
        refresh();
      }
    } else if (followDayChange(today, m_rememberedToday, m_selectedDay)) {
      editors::TaskFormStartDate() = std::to_string(m_selectedDay);
      window().setProp(m_tabDay, ui::Prop::Text, rt::FORMAT(m_selectedDay, "@d3"));
      refresh();
    }
  }

  void declareWindow() {
    ui::Window& w = window();
    w.setTitle("Scheduled Tasks");
    w.setProp(0, ui::Prop::Icon, "timedate.ico");
    w.kind(ui::WindowKind::Mdi);
    const int top = m_isExplorer ? 56 : 20;
    w.at(-1, -1, 420, 250).minSize(380, m_isExplorer ? 200 : 177).resizable();
    if (!m_isExplorer) {
      m_sheet = w.sheet("?CurrentTab").at(4, 4, 412, 168).feq();
      m_tabDay = w.tab("?Tab:Day", "Day Schedule", m_sheet).feq();
      m_tabAll = w.tab("?Tab:All", "All by Date", m_sheet).feq();
      m_tabCategory = w.tab("?Tab:Category", "All in Category", m_sheet).feq();
      w.tab("?Tab:Selected", "Selected", m_sheet);
    }
    auto& list = w.add<ui::ListControl>(0, "?Browse:1");
    if (m_isExplorer)
      list.from(m_queue, kExplorerRow);
    else
      list.from(m_queue, kDayListRow);
    list.at(8, top, 404, 110).tip("Browsing Schedule");
    m_list = list.feq();
    std::string icons;
    for (const char* i : kTaskListIcons) icons += (icons.empty() ? "" : "|") + std::string(i);
    w.setProp(m_list, ui::Prop::IconList, icons);

    if (m_isExplorer) {
      w.group("?FiltersGroup", "F&ilters").at(4, 2, 412, 50);
      m_dateText = w.string("?DateText", "").at(220, 12, 190, 10).feq();
      w.prompt("?DayPrompt", "&Day:").at(10, 12, 30, 10);
      m_dayList = w.dropList("?Day", "All|Today|Tomorrow|This Week|This Month|Yesterday|Custom")
                      .use(m_day)
                      .at(40, 12, 70, 12)
                      .feq();
      m_dateEntry = w.entry("?ShownDate", "@" + (clip(files::FORMAT.DATE.str()).empty()
                                                     ? std::string("d2")
                                                     : clip(files::FORMAT.DATE.str())))
                        .use(m_rangeStart)
                        .at(116, 12, 60, 12)
                        .feq();
      m_calendarButton =
          w.button("?Calendar", "...").tip("Select a specific date using a calendar").at(178, 12, 14, 12).feq();
      w.prompt("?StatusPrompt", "&Status:").at(10, 30, 30, 10);
      m_statusList = w.dropList("?Status", "All|Active|Completed|Disabled")
                         .use(m_status)
                         .tip("Select records by status")
                         .at(40, 30, 60, 12)
                         .feq();
      w.prompt("?CategoryPrompt", "&Category:").at(106, 30, 36, 10);
      m_categoryList =
          w.dropList("?Category", m_categories).use(m_filterCategory).tip("Select records by category").at(144, 30, 80, 12).feq();
      w.prompt("?TextPrompt", "&Text:").at(230, 30, 24, 10);
      m_textEntry = w.entry("?Text", "@s20")
                        .use(m_filterText)
                        .tip("Text contained in the description or message")
                        .at(256, 30, 90, 12)
                        .feq();
    } else {
      m_selectDay =
          w.button("?SelectDay", "&Select Day").tip("Select a day for which to view tasks").on(m_tabDay).at(8, 154, 60, 14).feq();
      m_categoryButton = w.button("?SelectCategory", "Cate&gory")
                             .tip("Select a category for which to view tasks")
                             .on(m_tabCategory)
                             .at(8, 154, 60, 14)
                             .feq();
    }
    const int row1 = 176, row2 = 194, row3 = 212;
    auto button = [&](const char* name, std::string_view text, std::string_view tip, int x, int y, int wdt = 44) {
      auto& b = w.button(name, text);
      b.at(x, y, wdt, 14);
      if (!tip.empty()) b.tip(tip);
      return b.feq();
    };
    m_new = button("?Insert", "&New", "Add a new task (tabbed)", 4, row1);
    m_copyButton = button("?Copy", "Cop&y", "Copy the highlighted task to a new task", 50, row1);
    m_edit = button("?Change", "&Edit", "Edit the highlighted task", 96, row1);
    m_delete = button("?Delete", m_isExplorer ? "Delete" : "&Delete", "Delete the highlighted task", 142, row1);
    m_quick = button("?Quick", "&Quick", "Quick Start - Make a copy (of the current task) that will start shortly.", 188,
                     row1);
    m_execute = button("?Execute", m_isExplorer ? "E&xecute" : "E&xecute/Test", "Execute (run) the highlighted task", 234,
                       row1);
    m_special = button("?Special", "S&pecial", "Special Event Wizard - ideal for holidays, and temporary changes", 280,
                       row1);
    m_more = button("?More", "&More...", "Select one of several options from a popup menu", 326, row1);
    CancelControl = button("?Close", "Cl&ose", "Close this window", 372, row1);
    m_queryButton = button("?Query", m_isExplorer ? "Query" : "&Query", "Select records using a detailed query criteria",
                           4, row2);
    m_resetQuery = button("?ResetQuery", "Reset", "Reset (clear) query", 50, row2);
    m_viewCalendar = button("?ViewCalendar", "View Calendar", "", 96, row2, 56);
    m_refresh = button("?Refresh", "Refresh", "", 154, row2);
    m_editAsText = button("?EditAsText", "Edit Script as Text", "", 200, row2, 70);
    m_scripting = button("?Scripting", "&Scripting", "Send keystrokes, DDE commands, etc.", 272, row2);
    if (m_isExplorer) {
      m_find = button("?Find", "Find", "", 318, row2);
      m_findNext = button("?FindNext", "Find Next", "", 364, row2, 52);
    } else {
      w.setProp(m_refresh, ui::Prop::Hide, 1);  // the day list refreshes on its own events only
    }
    m_showActive = button("?ShowActive", "Show Active Only", "", 4, row3, 62);
    m_showAll = button("?ShowAll", "Show All", "", 68, row3);
    m_disabled = button("?Disabled", "Disabled", "", 114, row3, 56);
    // Wide enough for "Undo: Skip Next Occurrence", which it shows for a skipped task.
    m_skip = button("?Skip", "Set &Skip", "", 172, row3, 110);
    m_rescheduleAll = button("?RescheduleAll", "Reschedule All", "", 284, row3, 60);
  }

  void buildPopup() {
    ui::PopupClass& p = m_browse.Popup;
    p.Init();
    auto item = [&](std::string_view name, std::string_view text, int control) {
      p.AddItem(text, name);
      if (control) p.AddItemMimic(name, control);
    };
    auto separator = [&](std::string_view name) { p.AddItem("-", name); };
    if (m_isExplorer) {
      item("Popup19", "Skip Next Occurrence", m_skip);
      item("PopupDisabled", "Disable", m_disabled);
      separator("S1");
      item("Popup21", "View Calendar", m_viewCalendar);
      separator("S2");
      item("Popup20", "Reschedule All", m_rescheduleAll);
      item("Popup8", "S&pecial", m_special);
      item("Popup9", "E&xecute", m_execute);
      item("Popup5", "&Quick", m_quick);
      separator("S3");
      item("Popup10", "&Scripting", m_scripting);
      item("Popup17", "Edit Script as Text", m_editAsText);
      separator("S4");
      item("Popup12", "Show Active Only", m_showActive);
      item("Popup13", "Show All", m_showAll);
      separator("S5");
      item("Popup11", "Query", m_queryButton);
      item("Popup15", "Reset", m_resetQuery);
      separator("S6");
      item("Copy", "Cop&y", m_copyButton);
    } else {
      item("Popup19S", "Skip Next Occurrence", m_skip);
      item("PopupDisabled", "Disable", m_disabled);
      separator("S1");
      item("Popup20", "View Calendar", m_viewCalendar);
      separator("S2");
      item("Popup19", "Reschedule All", m_rescheduleAll);
      separator("S3");
      item("Popup8", "S&pecial", m_special);
      item("Popup9", "E&xecute/Test", m_execute);
      item("Popup5", "&Quick", m_quick);
      separator("S4");
      item("Popup10", "&Scripting", m_scripting);
      item("Popup17", "Edit Script as Text", m_editAsText);
      separator("S5");
      item("Popup12", "Show Active Only", m_showActive);
      item("Popup13", "Show All", m_showAll);
      separator("S6");
      item("Popup11", "&Query", m_queryButton);
      item("Popup15", "Reset", m_resetQuery);
      separator("S7");
      item("Copy", "Cop&y", m_copyButton);
    }
  }

  bool m_isExplorer;
  rt::Queue<TaskRow> m_queue;
  db::ViewManager m_view;
  TaskBrowse m_browse;
  ui::QueryClass m_query;
  BoundExplorer m_explorer;
  ExploreState m_state;
  ExploreBinding m_binding;
  ui::StepLongClass m_dateStep, m_selectedStep, m_dayStep;
  ui::StepStringClass m_categoryStep;
  ui::StepLocatorClass m_dateLocator, m_descriptionLocator, m_selectedLocator, m_dayLocator;
  SingleList m_single;
  ui::WindowPositionKeeper m_position;
  winclasses::ColourTabClass m_tabs;

  // Filters and days.
  std::string m_day = "Today", m_status = "All", m_categories = "All";
  rt::String<20> m_filterCategory, m_filterText;
  int32_t m_rangeStart = 0, m_rangeEnd = 0, m_shownDate = 0, m_rememberedToday = 0, m_selectedDay = 0;
  std::string m_queryText;  // the query wizard's result; empty: no query
  qwizard::QueryFields m_queryFields;
  int m_wizardError = qwizard::code::None;
  std::map<std::pair<int, std::string>, std::string> m_parts;
  std::string m_findText;
  uint64_t m_seenNewTasks = lastNewTask().count;
  bool m_activeOnly = false, m_copy = false, m_visitedAll = false;
  int m_ownOrder = 1;

  bool m_bound = false;
  bool m_registered = false, m_openedSchedule = false, m_openedCategories = false, m_openedScripting = false;
  int m_list = 0, m_sheet = 0, m_tabDay = 0, m_tabAll = 0, m_tabCategory = 0;
  int m_dateText = 0, m_dayList = 0, m_dateEntry = 0, m_calendarButton = 0, m_statusList = 0, m_categoryList = 0;
  int m_textEntry = 0, m_selectDay = 0, m_categoryButton = 0;
  int m_new = 0, m_copyButton = 0, m_edit = 0, m_delete = 0, m_quick = 0, m_execute = 0, m_special = 0, m_more = 0;
  int m_queryButton = 0, m_resetQuery = 0, m_viewCalendar = 0, m_refresh = 0, m_editAsText = 0, m_scripting = 0;
  int m_showActive = 0, m_showAll = 0, m_disabled = 0, m_skip = 0, m_rescheduleAll = 0, m_find = 0, m_findNext = 0;

  friend class TaskBrowse;
};

void TaskBrowse::SetQueueRecord() {
  winclasses::QVBrowseClass::SetQueueRecord();
  owner->fillRow(*static_cast<TaskRow*>(list().queue()->buffer()));
}

void TaskBrowse::ResetSort(bool force) {
  owner->prepareRead();
  winclasses::QVBrowseClass::ResetSort(force);
}

void TaskBrowse::Reset(bool force) {
  owner->prepareRead();
  winclasses::QVBrowseClass::Reset(force);
}

rt::Err TaskBrowse::PrimeRecord(bool suppressClear) {
  return winclasses::QVBrowseClass::PrimeRecord(suppressClear || owner->takeCopyFlag());
}

void TaskBrowse::UpdateWindow() {
  winclasses::QVBrowseClass::UpdateWindow();
  owner->updateButtons();
}

}  // namespace

std::unique_ptr<ui::WindowManager> makeExploreSchedule() { return std::make_unique<TaskListWindow>(true); }
std::unique_ptr<ui::WindowManager> makeBrowseSchedule() { return std::make_unique<TaskListWindow>(false); }

}  // namespace ov::editors
