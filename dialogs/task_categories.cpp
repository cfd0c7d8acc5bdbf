#include "dialogs/task_categories.h"

#include <cstddef>

#include "datalib/files.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "dialogs/record_form.h"
#include "dialogs/single_instance.h"
#include "editors/style_window_controls.h"
#include "platform/files/view_manager.h"
#include "platform/rt/queue.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/window_utils.h"
#include "winclasses/req_fld_class.h"

namespace ov::dialogs {

namespace {

using files::CAT;

class UpdateCategoriesForm : public ui::WindowManager {
 public:
  UpdateCategoriesForm() : ui::WindowManager("UpdateCategories"), m_file(files::Relate_CATEGORIES) {}

  ui::Level Init() override {
    takeFormRequest(Request, m_viewOnly, m_deleting);
    AddUpdateFile(m_file);
    if (files::Relate_CATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (Request == ui::InsertRecord) (void)m_file.PrimeRecord(false);

    ui::Window& w = window();
    w.at(-1, -1, 160, 62).minSize(158, 60).resizable();
    w.prompt("?CAT:Category:Prompt", "&Category:").at(6, 10, 40, 10);
    m_name = w.entry("?CAT:Category", "@s20").at(50, 8, 100, 12).tip("Category").use(CAT.Category).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(60, 40, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(108, 40, 45, 14).feq();
    w.setTitle(formTitle(Request, m_viewOnly, "Category"));
    Open();
    // No field is required: an empty name goes to the data layer as typed.
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_position.Init(*this, files::globalIni(), true);
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
    if (ui::ACCEPTED() == OkControl && !m_deleting && m_required.Incomplete(false)) return ui::Level::Notify;
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_CATEGORIES.Close();
    m_opened = false;
    return rv;
  }

 private:
  RelationUpdateFile m_file;
  winclasses::ReqFldClass m_required;
  ui::WindowPositionKeeper m_position;
  bool m_viewOnly = false, m_deleting = false, m_opened = false;
  int m_name = 0;
};

struct CategoryRow {
  rt::String<20> Category;
};
const rt::FieldDesc kCategoryRowFields[] = {
    {"CAT:Category", rt::FieldType::String, 20, 0, offsetof(CategoryRow, Category)},
};
const rt::RecordDesc kCategoryRow{"CategoryRow", kCategoryRowFields, 20};

class BrowseTaskCategoriesWindow : public ui::WindowManager {
 public:
  BrowseTaskCategoriesWindow() : ui::WindowManager("BrowseTaskCategories"), m_view(files::Access_CATEGORIES) {}

  ui::Level Init() override {
    Request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    // A picker is never registered: every caller gets a window of its own.
    if (Request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_CATEGORIES.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Task Categories");
    if (Request != ui::SelectRecord) w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 170, 180).minSize(169, 177).resizable();
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kCategoryRow)
                 .format("80L(2)|M~Categories~@s20@")
                 .at(4, 4, 162, 136)
                 .feq();
    m_browse.Init(m_list, m_view, *this, &files::Relate_CATEGORIES);
    m_browse.AddSortOrder(&m_step, files::CAT_KeyCategory);
    m_locator.Init("CAT:Category");
    m_browse.AddLocator(m_locator);
    m_browse.AddField("CAT:Category", "CAT:Category");
    m_browse.SelectControl = w.button("?Select", "&Select").at(4, 144, 40, 14).feq();
    m_browse.InsertControl = w.button("?Insert", "&New").at(4, 162, 38, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").at(45, 162, 38, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "&Delete").at(86, 162, 38, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(127, 162, 38, 14).feq();
    m_browse.Selecting = Request == ui::SelectRecord;
    if (Request != ui::SelectRecord) w.setProp(m_browse.SelectControl, ui::Prop::Hide, 1);
    m_browse.AskProcedure = 1;
    AddItem(m_browse);
    Open();
    scheduler::ApplyDatePicture(w, m_list, "");
    scheduler::ApplyTimePicture(w, m_list);
    m_position.Init(*this, files::globalIni(), true);
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    return UpdateCategories();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_CATEGORIES.Close();
    m_opened = false;
    return rv;
  }

 private:
  rt::Queue<CategoryRow> m_queue;
  db::ViewManager m_view;
  ui::BrowseClass m_browse;
  ui::StepStringClass m_step;
  ui::IncrementalLocatorClass m_locator;
  SingleInstance m_single;
  ui::WindowPositionKeeper m_position;
  bool m_opened = false;
  int m_list = 0;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseTaskCategories() {
  return std::make_unique<BrowseTaskCategoriesWindow>();
}

int BrowseTaskCategories() {
  BrowseTaskCategoriesWindow list;
  return list.Run();
}

int UpdateCategories() {
  UpdateCategoriesForm form;
  return form.Run();
}

}  // namespace ov::dialogs
