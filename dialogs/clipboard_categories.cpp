#include "dialogs/clipboard_categories.h"

#include <cstddef>

#include "datalib/files.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "dialogs/clipboard.h"
#include "dialogs/record_form.h"
#include "dialogs/single_instance.h"
#include "editors/explore_binding.h"
#include "editors/style_window_controls.h"
#include "platform/files/view_manager.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/window_utils.h"
#include "winclasses/req_fld_class.h"

namespace ov::dialogs {

namespace {

using files::CLC;
using files::CLI;

constexpr int kHistoryKey = 734;
constexpr int kCategoryForm = 1, kEntryForm = 2;

// ---- the form -----------------------------------------------------------------------------------

// The category written last, which the history key brings back.
files::CategoryRec& lastCategory() {
  static files::CategoryRec last;
  return last;
}

class UpdateClipboardCategoriesForm : public ui::WindowManager {
 public:
  UpdateClipboardCategoriesForm()
      : ui::WindowManager("UpdateClipboardCategories"), m_file(files::Relate_CLIPBOARDCATEGORIES) {}

  ui::Level Init() override {
    takeFormRequest(Request, m_viewOnly, m_deleting);
    HistoryKey = kHistoryKey;
    AddUpdateFile(m_file);
    if (files::Relate_CLIPBOARDCATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (Request == ui::InsertRecord) (void)m_file.PrimeRecord(false);

    ui::Window& w = window();
    w.at(-1, -1, 180, 60).minSize(176, 54).resizable();
    w.prompt("?CLC:Category:Prompt", "&Category:").at(6, 10, 40, 10);
    m_category = w.entry("?CLC:Category", "@s20").at(50, 8, 124, 12).tip("Clipboard category").required().use(CLC.Category).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(82, 40, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(130, 40, 45, 14).feq();
    AddHistoryField(m_category, [] { CLC.Category = lastCategory().Category; });
    w.setTitle(title());
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_category, "CLC:Category", "Clipboard category", "", "Category", true);
    m_position.Init(*this, files::globalIni(), true);
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

  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == OkControl && !m_deleting && !m_viewOnly && m_required.Incomplete(false))
      return ui::Level::Notify;
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted && !m_deleting) lastCategory() = CLC;
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_CLIPBOARDCATEGORIES.Close();
    m_opened = false;
    return rv;
  }

 private:
  std::string title() const {
    if (m_viewOnly) return "View Clipboard Category";
    if (Request == ui::InsertRecord) return "Add Clipboard Category";
    if (Request == ui::ChangeRecord) return "Change Clipboard Category";
    return "Delete Clipboard Category";
  }

  RelationUpdateFile m_file;
  winclasses::ReqFldClass m_required;
  ui::WindowPositionKeeper m_position;
  bool m_viewOnly = false, m_deleting = false, m_opened = false;
  int m_category = 0;
};

// ---- the list -----------------------------------------------------------------------------------

struct CategoryRow {
  rt::String<20> Category;
};
const rt::FieldDesc kCategoryRowFields[] = {
    {"CLC:Category", rt::FieldType::String, 20, 0, offsetof(CategoryRow, Category)},
};
const rt::RecordDesc kCategoryRow{"ClipboardCategoryRow", kCategoryRowFields, 20};

struct EntryRow {
  int32_t ClipDate = 0;
  rt::String<255> ClipContents;
  rt::String<120> ClipHashKey;
  rt::String<20> Category;
  rt::String<20> Abbreviation;
};
const rt::FieldDesc kEntryRowFields[] = {
    {"CLI:ClipDate", rt::FieldType::Long, 4, 0, offsetof(EntryRow, ClipDate)},
    {"CLI:ClipContents", rt::FieldType::String, 255, 4, offsetof(EntryRow, ClipContents)},
    {"CLI:ClipHashKey", rt::FieldType::String, 120, 259, offsetof(EntryRow, ClipHashKey)},
    {"CLI:Category", rt::FieldType::String, 20, 379, offsetof(EntryRow, Category)},
    {"CLI:Abbreviation", rt::FieldType::String, 20, 399, offsetof(EntryRow, Abbreviation)},
};
const rt::RecordDesc kEntryRow{"ClipboardEntryRow", kEntryRowFields, 419};

// The wait cursor shows while a list is read again.
class BusyBrowse : public ui::BrowseClass {
 public:
  void ResetSort(bool force) override {
    ui::BusyCursor busy;
    ui::BrowseClass::ResetSort(force);
  }
};

// The entries' rows show the start of the text.
class EntryBrowse : public BusyBrowse {
 public:
  void SetQueueRecord() override {
    BusyBrowse::SetQueueRecord();
    auto& row = *static_cast<EntryRow*>(list().queue()->buffer());
    row.ClipDate = CLI.ClipDate;
    row.ClipContents = rt::CLIP(CLI.ClipContents);
  }
};

// The entries are an explorer list: a column sort from the header stays within the category.
class BrowseClipboardCategoriesWindow : public ui::WindowManager {
 public:
  BrowseClipboardCategoriesWindow()
      : ui::WindowManager("BrowseClipboardCategories"),
        m_categoryView(files::Access_CLIPBOARDCATEGORIES),
        m_entryView(files::Access_CLIPBOARD) {}

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (Request != ui::ViewRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_CLIPBOARD.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (files::Relate_CLIPBOARDCATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_categoriesOpened = true;

    ui::Window& w = window();
    w.setTitle("Clipboard Categories");
    w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 330, 170).minSize(318, 144).resizable();
    m_categoryList = w.add<ui::ListControl>(0, "?CategoryList")
                         .from(m_categoryQueue, kCategoryRow)
                         .format("80L(2)|M~Category~@s20@")
                         .at(4, 4, 96, 124)
                         .feq();
    m_categories.Init(m_categoryList, m_categoryView, *this, &files::Relate_CLIPBOARDCATEGORIES);
    m_categories.AddSortOrder(&m_categoryStep, files::CLC_KeyCategory);
    m_categoryLocator.Init("CLC:Category");
    m_categories.AddLocator(m_categoryLocator);
    m_categories.AddField("CLC:Category", "CLC:Category");
    m_categories.InsertControl = w.button("?Insert", "&Insert").at(4, 132, 30, 14).feq();
    m_categories.ChangeControl = w.button("?Change", "&Change").at(37, 132, 30, 14).feq();
    m_categories.DeleteControl = w.button("?Delete", "&Delete").at(70, 132, 30, 14).feq();
    m_categories.AskProcedure = kCategoryForm;

    m_entryList = w.add<ui::ListControl>(0, "?List")
                      .from(m_entryQueue, kEntryRow)
                      .format("44R(2)|M~Date Saved~@d3@1020L(2)|M~Contents~@s255@")
                      .at(104, 4, 222, 124)
                      .feq();
    m_entries.Init(m_entryList, m_entryView, *this, &files::Relate_CLIPBOARD);
    m_entries.AddSortOrder(&m_entryStep, files::CLI_K_Category);
    m_entries.AddRange("CLI:Category", ui::Binding(CLC.Category));
    m_entries.AddResetField(ui::Binding(CLC.Category));
    m_entryLocator.Init("CLI:Abbreviation");
    m_entries.AddLocator(m_entryLocator);
    m_entries.InsertControl = w.button("?InsertEntry", "I&nsert").at(104, 132, 40, 14).feq();
    m_entries.ChangeControl = w.button("?ChangeEntry", "C&hange").at(147, 132, 40, 14).feq();
    m_entries.DeleteControl = w.button("?DeleteEntry", "D&elete").at(190, 132, 40, 14).feq();
    m_entries.AskProcedure = kEntryForm;
    m_explorer.columns = {
        {"CLI:ClipDate", 44, "Date Saved", "@d3", "Date", 'R', true, false, false, true},
        {"CLI:ClipContents", 1020, "Contents", "@s255", "Contents", 'L', true, false, false, true},
        {"CLI:ClipHashKey", 480, "Clip Hash Key", "@s120", "Hash key (no spaces or graphic characters)", 'L', false,
         false, false, true},
        {"CLI:Category", 80, "Category", "@s20", "Category", 'L', false, false, false, true},
        {"CLI:Abbreviation", 80, "Abbreviation", "@s20", "Abbreviation", 'L', false, false, false, true},
    };
    m_explorer.ranges = {{"CLI:Category", ui::Binding(CLC.Category)}};
    m_explorer.resetFields = {ui::Binding(CLC.Category)};
    m_binding.Bind(*this, m_entries, m_query, m_explorer, m_state, ".\\POSITION.INI", "Underline", "?List");
    CancelControl = w.button("?Close", "Cl&ose").at(286, 152, 40, 14).feq();
    AddItem(m_categories);
    AddItem(m_entries);
    Open();
    scheduler::ApplyDatePicture(w, m_entryList, "d3");
    scheduler::ApplyTimePicture(w, m_entryList);
    m_position.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int number, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    const files::CategoryRec shown = CLC;
    const int response = number == kCategoryForm ? UpdateClipboardCategories() : UpdateClipboard();
    if (number == kEntryForm) CLC = shown;  // the entry form's category picker may have moved it
    return response;
  }

  ui::Level TakeNewSelection() override {
    const ui::Level rv = ui::WindowManager::TakeNewSelection();
    if (ui::FIELD() == m_categoryList) m_entries.ResetSort(true);
    return rv;
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::GainFocus) ui::SELECT(m_categoryList);
    return ui::WindowManager::TakeWindowEvent();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_categoriesOpened) (void)files::Relate_CLIPBOARDCATEGORIES.Close();
    if (m_opened) (void)files::Relate_CLIPBOARD.Close();
    m_opened = m_categoriesOpened = false;
    return rv;
  }

 private:
  rt::Queue<CategoryRow> m_categoryQueue;
  rt::Queue<EntryRow> m_entryQueue;
  db::ViewManager m_categoryView, m_entryView;
  BusyBrowse m_categories;
  EntryBrowse m_entries;
  ui::StepStringClass m_categoryStep, m_entryStep;
  ui::IncrementalLocatorClass m_categoryLocator, m_entryLocator;
  ui::QueryClass m_query;
  editors::BoundExplorer m_explorer;
  editors::ExploreState m_state;
  editors::ExploreBinding m_binding;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  bool m_opened = false, m_categoriesOpened = false;
  int m_categoryList = 0, m_entryList = 0;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseClipboardCategories() {
  return std::make_unique<BrowseClipboardCategoriesWindow>();
}

int BrowseClipboardCategories() {
  BrowseClipboardCategoriesWindow list;
  return list.Run();
}

int UpdateClipboardCategories() {
  UpdateClipboardCategoriesForm form;
  return form.Run();
}

}  // namespace ov::dialogs
