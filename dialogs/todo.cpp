#include "dialogs/todo.h"

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "dialogs/record_form.h"
#include "dialogs/single_instance.h"
#include "dialogs/task_categories.h"
#include "editors/calendar.h"
#include "editors/explore_binding.h"
#include "editors/style_window_controls.h"
#include "platform/files/view_manager.h"
#include "platform/rt/date_time.h"
#include "platform/rt/expr.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/query_class.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/event_log.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_body.h"
#include "scheduler/program_windows.h"
#include "scheduler/window_utils.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::dialogs {

namespace {

using files::CAT;
using files::TDO;

constexpr int kHistoryKey = 734;
constexpr int32_t kSelectedTabColour = 10987431;
constexpr size_t kMessageWidth = 4096;
constexpr size_t kResolutionWidth = 1000;
constexpr int kEventTransfer = ui::EVENT::User + 211;  // the popup's "Transfer to Schedule"
constexpr const char* kGeneral = "General";

std::string cut(std::string text, size_t width) {
  text.resize(rt::utf8CutLength(text, width));
  return text;
}

// A user's date or time picture ("d7" in the settings), or `fallback` when none is set.
std::string userPicture(std::string_view code, const char* fallback) {
  const std::string c = rt::CLIP(code);
  return "@" + (c.empty() ? std::string(fallback) : c);
}

}  // namespace

std::string toDoTransferMessage(const files::TodoRec& item) {
  std::string message = rt::CLIP(item.Notes) + "\r\n";
  if (item.CompletionDate != 0)
    message += "Completed " + rt::CLIP(rt::FORMAT(item.CompletionDate, "@d17"));
  else
    message += "Priority " + std::to_string(item.Priority);
  message += "\r\n";
  const std::string resolution = rt::CLIP(cut(item.Resolution, kResolutionWidth));
  if (!resolution.empty()) message = rt::CLIP(message) + "Resolution:\r\n" + resolution + "\r\n";
  return cut(std::move(message), kMessageWidth);
}

void toggleToDoDone(files::TodoRec& item, int32_t date, int32_t time) {
  item.Done = item.Done ? 0 : 1;
  if (!item.Done) return;
  item.CompletionDate = date;
  item.CompletionTime = time;
}

void TransferToDoToSchedule() {
  files::SCHEDULE.clear();
  files::SCH.Message = toDoTransferMessage(TDO);
  files::SCH.Description = TDO.ToDo.view();
  files::SCH.Category = TDO.Category;
  files::SCH.Date = rt::TODAY() + 1;
  files::SCH.Time = rt::CLOCK();
  scheduler::PresetTaskType() = "Display Message";
  files::GLOBALREQUEST = 0;  // the form takes no request as a new task of the preset type
  (void)scheduler::callProgramWindow("UpdateSchedule");
}

namespace {

// ---- the form -----------------------------------------------------------------------------------

// The item written last, which the history key brings back; cleared as the program starts.
files::TodoRec& lastItem() {
  static files::TodoRec last;
  return last;
}

class UpdateTodoForm : public ui::WindowManager {
 public:
  UpdateTodoForm() : ui::WindowManager("UpdateTodo"), m_file(files::Relate_TODO) {}

  ui::Level Init() override {
    takeFormRequest(Request, m_viewOnly, m_deleting);
    if (rt::CLIP(CAT.Category.view()).empty()) CAT.Category = kGeneral;
    if (rt::CLIP(TDO.Category.view()).empty()) TDO.Category = kGeneral;
    HistoryKey = kHistoryKey;
    AddUpdateFile(m_file);
    if (files::Relate_CATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_categoriesOpened = true;
    if (files::Relate_TODO.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (Request == ui::InsertRecord) {
      const std::string category = CAT.Category.str();
      (void)m_file.PrimeRecord(false);
      TDO.Priority = 5;
      TDO.Category = category;
    }
    m_openingDone = TDO.Done;  // a new item is never done as it opens

    ui::Window& w = window();
    w.at(-1, -1, 310, 170).minSize(307, 158).resizable();
    const int sheet = w.sheet("?CurrentTab").at(4, 4, 302, 142).feq();
    const int general = w.tab("?Tab:General", "General", sheet).feq();
    w.prompt("?TDO:ToDo:Prompt", "&To Do:").at(10, 24, 50, 10).on(general);
    m_todo = w.entry("?TDO:ToDo", "@s80").at(64, 22, 236, 12).tip("To Do (Description)").required().use(TDO.ToDo).on(general).feq();
    w.prompt("?TDO:Priority:Prompt", "&Priority:").at(10, 40, 50, 10).on(general);
    m_priority = w.entry("?TDO:Priority", "@n2").at(64, 38, 30, 12).tip("Priority, 1 to 10").use(TDO.Priority).on(general).feq();
    w.prompt("?TDO:Category:Prompt", "C&ategory:").at(10, 56, 50, 10).on(general);
    m_category = w.dropList("?TDO:Category", categoryChoices()).at(64, 54, 120, 12).use(TDO.Category).on(general).feq();
    m_done = w.check("?TDO:Done", "&Done").at(10, 74, 50, 10).use(TDO.Done).on(general).feq();
    w.prompt("?TDO:CompletionDate:Prompt", "Completion Da&te:").at(10, 90, 59, 10).on(general);
    m_date = w.entry("?TDO:CompletionDate", userPicture(files::FORMAT.DATE.view(), "d17"))
                 .at(70, 88, 70, 12)
                 .use(TDO.CompletionDate)
                 .on(general)
                 .feq();
    m_calendar = w.button("?CallCalendar", "...").at(142, 88, 14, 12).tip("Select Completion Date").on(general).feq();
    w.prompt("?TDO:CompletionTime:Prompt", "Completion T&ime:").at(10, 106, 59, 10).on(general);
    m_time = w.entry("?TDO:CompletionTime", userPicture(files::FORMAT.TIME.view(), "t7"))
                 .at(70, 104, 70, 12)
                 .use(TDO.CompletionTime)
                 .on(general)
                 .feq();
    const int notes = w.tab("?Tab:Notes", "Notes", sheet).feq();
    m_notes = w.textBox("?TDO:Notes").at(10, 22, 290, 118).use(TDO.Notes).on(notes).feq();
    const int resolution = w.tab("?Tab:Resolution", "Resolution", sheet).feq();
    m_resolution = w.textBox("?TDO:Resolution").at(10, 22, 290, 118).use(TDO.Resolution).on(resolution).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(212, 150, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(261, 150, 45, 14).feq();
    AddHistoryField(m_todo, [] { TDO.ToDo = lastItem().ToDo; });
    AddHistoryField(m_priority, [] { TDO.Priority = lastItem().Priority; });
    AddHistoryField(m_category, [] { TDO.Category = lastItem().Category; });
    AddHistoryField(m_notes, [] { TDO.Notes = lastItem().Notes; });
    AddHistoryField(m_resolution, [] { TDO.Resolution = lastItem().Resolution; });
    AddHistoryField(m_date, [] { TDO.CompletionDate = lastItem().CompletionDate; });
    AddHistoryField(m_time, [] { TDO.CompletionTime = lastItem().CompletionTime; });
    AddHistoryField(m_done, [] { TDO.Done = lastItem().Done; });
    const std::string title = formTitle(Request, m_viewOnly, "To Do Item");
    w.setTitle(title.empty() ? "To Do Item" : title);
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_todo, "TDO:ToDo", "To Do (Description)", "", "To Do", true);
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabs.ColourTabs();
    if (m_viewOnly || m_deleting) {
      editors::StyleWindowControls(*this, m_deleting);
      FirstField = CancelControl;  // the focus as the window opens
    }
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_viewOnly || m_deleting) editors::StyleWindowControls(*this, m_deleting);
  }

  ui::Level TakeNewSelection() override {
    const ui::Level rv = ui::WindowManager::TakeNewSelection();
    m_tabs.ColourTabs();
    if ((m_viewOnly || m_deleting) && ui::FIELD() == window().feq("?CurrentTab")) ui::SELECT(CancelControl);
    return rv;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    const bool editing = !m_viewOnly && !m_deleting;
    if (feq == m_calendar && editing) {
      Update();
      TDO.CompletionDate = editors::Calendar(TDO.CompletionDate, "None", "Select Completion Date");
      window().display();
      return ui::Level::Notify;
    }
    if (feq == m_priority && editing && files::Access_TODO.ValidateByName("TDO:Priority") != db::Level::Benign) {
      ui::SELECT(m_priority);  // also ends the OK pass: nothing is stored
      return ui::Level::Notify;
    }
    if (feq == m_done && editing && !isAcceptAllPass() && TDO.Done && !m_openingDone) {
      TDO.CompletionDate = rt::TODAY();
      TDO.CompletionTime = rt::CLOCK();
      window().display();
    }
    if (feq == OkControl && editing && m_required.Incomplete(false)) return ui::Level::Notify;
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    if (!m_deleting) {
      TDO.NetworkUser = files::APP.USERID;
      TDO.LastChangeDate = rt::TODAY();
      TDO.LastChangeTime = rt::CLOCK();
      if (TDO.OriginalID == 0) TDO.OriginalID = static_cast<int32_t>(files::TODO.records());
    }
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted && !m_deleting) lastItem() = TDO;
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    m_tabs.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_TODO.Close();
    if (m_categoriesOpened) (void)files::Relate_CATEGORIES.Close();
    m_opened = m_categoriesOpened = false;
    return rv;
  }

 private:
  // The task categories, by name; the item's own category is kept even when no longer stored.
  static std::string categoryChoices() {
    const files::CategoryRec saved = CAT;
    std::string out;
    bool hasOwn = false;
    const std::string own = rt::CLIP(TDO.Category.view());
    rt::Err err = files::CATEGORIES.set(files::CAT_KeyCategory);
    while (err == rt::Err::None && (err = files::CATEGORIES.next()) == rt::Err::None) {
      const std::string name = rt::CLIP(CAT.Category.view());
      if (name.empty()) continue;
      hasOwn = hasOwn || rt::compareText(name, own, true) == 0;
      out += (out.empty() ? "" : "|") + name;
    }
    CAT = saved;
    if (!hasOwn && !own.empty()) out = own + (out.empty() ? "" : "|") + out;
    return out;
  }

  RelationUpdateFile m_file;
  winclasses::ReqFldClass m_required;
  winclasses::ColourTabClass m_tabs;
  ui::WindowPositionKeeper m_position;
  uint8_t m_openingDone = 0;
  bool m_viewOnly = false, m_deleting = false, m_opened = false, m_categoriesOpened = false;
  int m_todo = 0, m_priority = 0, m_category = 0, m_done = 0, m_date = 0, m_calendar = 0, m_time = 0;
  int m_notes = 0, m_resolution = 0;
};

// ---- the list -----------------------------------------------------------------------------------

struct ToDoRow {
  uint8_t Done = 0;
  int32_t DoneIcon = 0;
  uint8_t Priority = 0;
  rt::String<80> ToDo;
  rt::String<20> Category;
  int32_t CompletionDate = 0;
  int32_t CompletionTime = 0;
  rt::String<20> CurrentCategory;
};
const rt::FieldDesc kToDoRowFields[] = {
    {"TDO:Done", rt::FieldType::Byte, 1, 0, offsetof(ToDoRow, Done)},
    {"DoneIcon", rt::FieldType::Long, 4, 1, offsetof(ToDoRow, DoneIcon)},
    {"TDO:Priority", rt::FieldType::Byte, 1, 5, offsetof(ToDoRow, Priority)},
    {"TDO:ToDo", rt::FieldType::String, 80, 6, offsetof(ToDoRow, ToDo)},
    {"TDO:Category", rt::FieldType::String, 20, 86, offsetof(ToDoRow, Category)},
    {"TDO:CompletionDate", rt::FieldType::Long, 4, 106, offsetof(ToDoRow, CompletionDate)},
    {"TDO:CompletionTime", rt::FieldType::Long, 4, 110, offsetof(ToDoRow, CompletionTime)},
    {"CAT:Category", rt::FieldType::String, 20, 114, offsetof(ToDoRow, CurrentCategory)},
};
const rt::RecordDesc kToDoRow{"ToDoRow", kToDoRowFields, 134};

// The list's columns: the done icon, priority, text, category and completion shown; the stored
// name of the item's task category ready to be shown from the header's popup.
std::vector<editors::ExploreColumn> toDoColumns() {
  return {
      {"TDO:Done", 12, "", "@p#pb", "Done", 'R', true, false, true, true},
      {"TDO:Priority", 32, "Priority", "@n2", "Priority", 'R', true, false, false, true, true},
      {"TDO:ToDo", 200, "To Do", "@s80", "To Do (Description)", 'L', true, false, false, true},
      {"TDO:Category", 80, "Category", "@s20", "Category", 'L', true, false, false, true, true},
      {"TDO:CompletionDate", 56, "Completion Date", "@d3", "Completion Date", 'L', true, false, false, true},
      {"TDO:CompletionTime", 50, "Completion Time", "@t3", "Completion Time", 'L', true, false, false, true},
      {"CAT:Category", 80, "Category", "@s20", "Category", 'L', false, false, false, false},
  };
}

// The category tab's items, for a column order (the tab's own order has the category's range).
constexpr const char* kCurrentCategoryFilter = "UPPER(TDO:Category)=UPPER(CAT:Category)";

// Rows show the done icon; the wait cursor shows while the list is read again.
class ToDoBrowse : public ui::BrowseClass {
 public:
  // Chooses the order to read (the tab's, or a column's) before the view is read.
  std::function<void()> ChooseOrder;

  void Reset(bool force) override {
    ui::BusyCursor busy;
    if (ChooseOrder) ChooseOrder();
    ui::BrowseClass::Reset(force);
  }
  void SetQueueRecord() override {
    ui::BrowseClass::SetQueueRecord();
    auto& row = *static_cast<ToDoRow*>(list().queue()->buffer());
    row.DoneIcon = TDO.Done ? 2 : 1;
    row.CurrentCategory = storedCategory();
  }

 private:
  // The item's task category as stored, blank when there is none by its name.
  static std::string storedCategory() {
    const files::CategoryRec current = CAT;  // the current category stays in the buffer
    CAT.Category = TDO.Category;
    std::string name;
    if (!rt::CLIP(TDO.Category.view()).empty() && files::CATEGORIES.get(files::CAT_KeyCategory) == rt::Err::None)
      name = rt::CLIP(CAT.Category.view());
    CAT = current;
    return name;
  }
};

// The to-do items over the explorer list: columns sorted, moved and fitted from the header, the
// layout kept under "?Browse:1"; a column sort on the category tab keeps to that category.
class BrowseToDoListWindow : public ui::WindowManager {
 public:
  BrowseToDoListWindow() : ui::WindowManager("BrowseToDoList"), m_view(files::Access_TODO) {}

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (Request != ui::ViewRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_CATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_categoriesOpened = true;
    if (files::Relate_TODO.Open() != rt::Err::None) {
      scheduler::WriteLog("ToDoList", "File not open error");
      if (files::Access_TODO.Open() != rt::Err::None) {
        scheduler::WriteLog("Todo", "File not open: " + rt::CLIP(rt::ERROR()));
        return ui::Level::Fatal;
      }
      m_ownOpen = true;
    }
    m_opened = true;

    ui::Window& w = window();
    std::string title = "To Do List";
    if (scheduler::startupSettings().multiUser && !rt::CLIP(files::APP.USERID.view()).empty())
      title += " - " + rt::CLIP(files::APP.USERID.view());
    w.setTitle(title);
    w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 330, 200).minSize(167, 161).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 322, 152).feq();
    m_tabs[0] = w.tab("?Tab:Done", "By &Done", m_sheet).feq();
    m_tabs[1] = w.tab("?Tab:Priority", "By &Priority", m_sheet).feq();
    m_tabs[2] = w.tab("?Tab:ToDo", "By &To Do", m_sheet).feq();
    m_tabs[3] = w.tab("?Tab:Category", "By C&ategory", m_sheet).feq();
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kToDoRow)
                 .at(8, 20, 314, 132)
                 .feq();
    w.setProp(m_list, ui::Prop::IconList, "~blank.ico|~done.ico");
    m_browse.Init(m_list, m_view, *this, &files::Relate_TODO);
    m_browse.AddSortOrder(&m_priorityStep, files::TDO_KeyPriority);
    m_priorityLocator.Init("TDO:Priority");
    m_browse.AddLocator(m_priorityLocator);
    m_browse.AddSortOrder(&m_toDoStep, files::TDO_KeyToDo);
    m_toDoLocator.Init("TDO:ToDo");
    m_browse.AddLocator(m_toDoLocator);
    m_browse.AddSortOrder(&m_categoryStep, files::TDO_KeyCategory);
    m_browse.AddRange("TDO:Category", ui::Binding(CAT.Category));
    m_categoryLocator.Init("TDO:Priority");
    m_browse.AddLocator(m_categoryLocator);
    m_browse.AddSortOrder(&m_doneStep, files::TDO_KeyDone);
    m_doneLocator.Init("TDO:Done");
    m_browse.AddLocator(m_doneLocator);
    (void)m_browse.SetSort(kOrderOfTab[0]);
    m_tabOrder = kOrderOfTab[0];
    rt::BIND("CAT:Category", CAT.Category);
    m_bound = true;
    m_browse.ChooseOrder = [this] {
      const int order = m_binding.chosenOrder(m_tabOrder);
      (void)m_browse.SetSort(order);
      if (order != m_tabOrder) m_browse.SetFilter(m_tabOrder == kCategoryOrder ? kCurrentCategoryFilter : "");
    };
    m_explorer.columns = toDoColumns();

    m_browse.InsertControl = w.button("?Insert", "&Insert").at(4, 162, 44, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Change").at(50, 162, 44, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "&Delete").at(96, 162, 44, 14).feq();
    m_markDone = w.button("?MarkDone", "Done/&Not Done").at(4, 180, 64, 14).tip("Mark the highlighted item done or not done").feq();
    m_browse.RowControls = {m_markDone};
    m_categories = w.button("?Categories", "Cate&gories").at(70, 180, 50, 14).tip("Choose the current category").feq();
    CancelControl = w.button("?Close", "Cl&ose").at(282, 180, 44, 14).feq();
    m_browse.AskProcedure = 1;
    m_binding.Bind(*this, m_browse, m_query, m_explorer, m_state, ".\\POSITION.INI");
    AddItem(m_browse);
    Open();
    m_browse.Popup.AddItem("-", "MarkDoneSeparator");
    m_browse.Popup.AddItem(w.control(m_markDone)->textProp(), "MarkDone");
    m_browse.Popup.AddItemMimic("MarkDone", m_markDone);
    m_browse.Popup.AddItem("-", "TransferSeparator");
    m_browse.Popup.AddItem("Transfer to Schedule", "Transfer");
    m_browse.Popup.AddItemEvent("Transfer", kEventTransfer);
    scheduler::ApplyDatePicture(w, m_list, "d3");
    scheduler::ApplyTimePicture(w, m_list);
    m_position.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    m_tabColours.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabColours.ColourTabs();
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    return UpdateTodo();
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_sheet) {
      const int tab = static_cast<ui::Sheet*>(window().control(m_sheet))->selectedTab();
      m_explorer.EraseVisual();  // while the sorted column is still known
      m_binding.clearColumnSort();
      for (int i = 0; i < 4; ++i)
        if (m_tabs[i] == tab) m_tabOrder = kOrderOfTab[i];
      (void)m_browse.SetSort(m_tabOrder);
      m_browse.ResetSort(true);
      m_tabColours.ColourTabs();
      ui::SELECT(m_list);
    }
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_markDone) {
      if (m_browse.UpdateBuffer() == rt::Err::None) {
        toggleToDoDone(TDO, rt::TODAY(), rt::CLOCK());
        (void)files::Access_TODO.TryUpdate();  // the list shows what was stored
      }
      m_browse.ResetSort(true);
      ui::SELECT(m_list);
      return ui::Level::Notify;
    }
    if (feq == m_categories) {
      (void)m_browse.UpdateBuffer();
      files::GLOBALREQUEST = ui::SelectRecord;
      (void)BrowseTaskCategories();
      m_browse.ResetSort(true);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == kEventTransfer) {
      if (m_browse.UpdateBuffer() == rt::Err::None) TransferToDoToSchedule();
      return ui::Level::Benign;
    }
    if (ui::EVENT() == ui::EVENT::GainFocus) ui::SELECT(m_list);
    return ui::WindowManager::TakeWindowEvent();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_tabColours.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)(m_ownOpen ? files::Access_TODO.Close() : files::Relate_TODO.Close());
    if (m_categoriesOpened) (void)files::Relate_CATEGORIES.Close();
    m_opened = m_categoriesOpened = false;
    if (m_bound) rt::UNBIND("CAT:Category");
    m_bound = false;
    return rv;
  }

 private:
  static constexpr int kCategoryOrder = 3;
  // The browse's orders are by priority, by text, by category, by done; the tabs come in the
  // order by done, by priority, by text, by category.
  static constexpr int kOrderOfTab[4] = {4, 1, 2, 3};

  rt::Queue<ToDoRow> m_queue;
  db::ViewManager m_view;
  ToDoBrowse m_browse;
  ui::StepLongClass m_priorityStep, m_doneStep;
  ui::StepStringClass m_toDoStep, m_categoryStep;
  ui::StepLocatorClass m_priorityLocator, m_categoryLocator, m_doneLocator;
  ui::IncrementalLocatorClass m_toDoLocator;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  winclasses::ColourTabClass m_tabColours;
  ui::QueryClass m_query;
  editors::BoundExplorer m_explorer;
  editors::ExploreState m_state;
  editors::ExploreBinding m_binding;
  int m_tabOrder = 0;  // the order of the current tab
  bool m_opened = false, m_categoriesOpened = false, m_ownOpen = false, m_bound = false;
  int m_sheet = 0, m_tabs[4] = {}, m_list = 0, m_markDone = 0, m_categories = 0;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseToDoList() { return std::make_unique<BrowseToDoListWindow>(); }

int BrowseToDoList() {
  BrowseToDoListWindow list;
  return list.Run();
}

int UpdateTodo() {
  UpdateTodoForm form;
  return form.Run();
}

}  // namespace ov::dialogs
