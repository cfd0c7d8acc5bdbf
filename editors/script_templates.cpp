#include "editors/script_templates.h"

#include <climits>
#include <cstddef>
#include <vector>

#include "datalib/files.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "editors/explore_binding.h"
#include "editors/script_item_list.h"
#include "editors/script_items.h"
#include "platform/files/file.h"
#include "platform/files/view_manager.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/help_key.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/progress_window.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/open_window_list.h"

namespace ov::editors {

std::function<rt::Err(const files::ScriptingRec&)> templateDetailBeforeDelete;

using files::OVD;
using files::OVT;
using rt::Err;

namespace {

struct TemplateRow {
  rt::String<60> Description;
  int32_t WIZ_ID = 0;
  rt::String<255> DOSFilename;
};
const rt::FieldDesc kTemplateRowFields[] = {
    {"OVT:Description", rt::FieldType::String, 60, 0, offsetof(TemplateRow, Description)},
    {"OVT:WIZ_ID", rt::FieldType::Long, 4, 0, offsetof(TemplateRow, WIZ_ID)},
    {"OVT:DOSFilename", rt::FieldType::String, 255, 0, offsetof(TemplateRow, DOSFilename)},
};
const rt::RecordDesc kTemplateRow{"TemplateRow", kTemplateRowFields, sizeof(TemplateRow)};

class TemplateBrowse : public ui::BrowseClass {
 public:
  bool copying = false;
  // New starts empty; Copy starts from the highlighted template.
  Err PrimeRecord(bool suppressClear) override { return ui::BrowseClass::PrimeRecord(suppressClear || copying); }
};

class BrowseScriptTemplatesWindow;

class TemplateListActions : public ui::WindowComponent {
 public:
  explicit TemplateListActions(BrowseScriptTemplatesWindow& list) : m_list(list) {}
  ui::Level TakeEvent() override;

 private:
  BrowseScriptTemplatesWindow& m_list;
};

class BrowseScriptTemplatesWindow : public ui::WindowManager {
 public:
  BrowseScriptTemplatesWindow()
      : ui::WindowManager("BrowseScriptTemplates"), m_view(files::Access_SCRIPTTEMPLATES), m_actions(*this) {}

  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    Request = request;
    if (request != ui::SelectRecord) {
      const int other = scheduler::openWindowThread(procedureName());
      if (other && ui::isThreadRunning(other) && other != ui::THREAD()) {
        ui::POST(ui::EVENT::GainFocus, 0, other);
        return ui::Level::Notify;
      }
      m_thread = ui::THREAD();
      scheduler::enterOpenWindow(procedureName(), m_thread);
      m_entered = true;
    }
    m_previousMode = ScriptTemplateMode;
    m_previousThread = ScriptTemplateThread;
    ScriptTemplateMode = 1;
    ScriptTemplateThread = ui::THREAD();
    m_modeSet = true;
    if (files::Relate_SCRIPTTEMPLATES.Open() != Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Script Templates");
    ui::setHelpId(w, "BrowseScriptWizards");
    w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 300, 190).minSize(260, 150).resizable();
    w.sheet("?CurrentTab").at(4, 4, 292, 160);
    w.tab("?Tab:Description", "Description", w.feq("?CurrentTab"));
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kTemplateRow)
                 .format("80L(2)|M~Description~@s60@")  // a heading to sort and size the column from
                 .at(8, 20, 284, 140)
                 .feq();
    m_browse.Init(m_list, m_view, *this, &files::Relate_SCRIPTTEMPLATES);
    m_browse.AddSortOrder(&m_stepDescription, files::OVT_K_Description);
    m_descriptionLocator.Init("OVT:Description");
    m_browse.AddLocator(m_descriptionLocator);
    m_browse.AddSortOrder(&m_stepFile, files::OVT_K_DOSFilename);
    m_fileLocator.Init("OVT:DOSFilename");
    m_browse.AddLocator(m_fileLocator);
    m_browse.SetSort(1);
    m_explorer.columns = {
        {"OVT:Description", 80, "Description", "@s60", "Template name", 'L', true, false, false, true},
        {"OVT:WIZ_ID", 40, "ID", "@n13", "Template ID", 'R', false, false, false, true},
        {"OVT:DOSFilename", 160, "File Name", "@s255", "File name of the template", 'L', false, false, false, true},
    };
    m_browse.AddEditControl(1);
    m_browse.InsertControl = w.button("?Insert", "&New").at(4, 170, 36, 14).feq();
    m_copy = w.button("?Copy", "Cop&y").at(42, 170, 36, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").at(80, 170, 36, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "&Delete").at(118, 170, 36, 14).feq();
    m_print = w.button("?Print", "&Print").tip("Print information").at(156, 170, 36, 14).feq();
    m_browse.RowControls = {m_print};
    m_browse.SelectControl = w.button("?Select", "&Select").at(216, 170, 36, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(256, 170, 36, 14).feq();
    if (request != ui::SelectRecord) w.setProp(m_browse.SelectControl, ui::Prop::Hide, 1);
    m_browse.Selecting = request == ui::SelectRecord;
    m_copyItem = m_browse.Popup.AddItem("Cop&y");
    m_browse.Popup.AddItemMimic(m_copyItem, m_copy);
    AddItem(m_actions);
    m_binding.Bind(*this, m_browse, m_query, m_explorer, m_state, ".\\POSITION.INI");
    AddItem(m_browse);
    Open();
    m_position.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    updateCopy();
    return ui::Level::Benign;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response ? Response : ui::RequestCancelled);
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_SCRIPTTEMPLATES.Close();
    m_opened = false;
    if (m_modeSet) {
      ScriptTemplateMode = m_previousMode;
      ScriptTemplateThread = m_previousThread;
    }
    m_modeSet = false;
    if (m_entered) scheduler::leaveOpenWindow(procedureName(), m_thread);
    m_entered = false;
    return rv;
  }

  void takeEvent() {
    const int event = ui::EVENT();
    const int feq = ui::FIELD();
    ui::Window& w = window();
    if (event == ui::EVENT::GainFocus && feq == 0) {
      if (w.propInt(0, ui::Prop::Iconize)) w.setProp(0, ui::Prop::Iconize, 0);
      w.setProp(0, ui::Prop::Active, 1);
    }
    if (event == ui::EVENT::Accepted && feq == m_browse.InsertControl && !m_browse.copying) NewScriptItemOwner = 0;
    if (event == ui::EVENT::Accepted && feq == m_copy) copy();
    if (event == ui::EVENT::Accepted && feq == m_print && m_browse.Records() > 0 &&
        m_browse.UpdateBuffer() == Err::None)
      PrintCurrentScript(1);
    updateCopy();
  }

 private:
  void updateCopy() {
    const bool rows = m_browse.Records() > 0;
    window().setProp(m_copy, ui::Prop::Disable, rows ? 0 : 1);
    m_browse.Popup.SetItemEnable(m_copyItem, rows);
  }

  void copy() {
    if (m_browse.Records() == 0 || m_browse.UpdateBuffer() != Err::None) return;
    NewScriptItemOwner = OVT.WIZ_ID;
    m_browse.copying = true;
    (void)m_browse.Ask(ui::InsertRecord);
    m_browse.copying = false;
  }

  rt::Queue<TemplateRow> m_queue;
  db::ViewManager m_view;
  TemplateBrowse m_browse;
  TemplateListActions m_actions;
  ui::StepStringClass m_stepDescription, m_stepFile;
  ui::StepLocatorClass m_descriptionLocator, m_fileLocator;
  ui::QueryClass m_query;
  BoundExplorer m_explorer;
  ExploreState m_state;
  ExploreBinding m_binding;
  ui::WindowPositionKeeper m_position;
  std::string m_copyItem;
  uint8_t m_previousMode = 0;
  int m_previousThread = 0;
  bool m_opened = false, m_entered = false, m_modeSet = false;
  int m_thread = 0, m_list = 0, m_copy = 0, m_print = 0;
};

ui::Level TemplateListActions::TakeEvent() {
  m_list.takeEvent();
  return ui::Level::Benign;
}

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseScriptTemplates() {
  return std::make_unique<BrowseScriptTemplatesWindow>();
}

int BrowseScriptTemplates() {
  BrowseScriptTemplatesWindow list;
  return list.Run();
}

void DeleteScriptTemplateDetails() {
  const int32_t id = OVT.WIZ_ID;
  if (id == 0) return;
  if (files::Access_SCRIPTTEMPLATES.Open() != Err::None) return;
  if (files::Access_SCRIPTTEMPLATEDETAILS.Open() != Err::None) {
    (void)files::Access_SCRIPTTEMPLATES.Close();
    return;
  }
  const files::ScriptingRec saved = OVD;
  std::vector<files::ScriptingRec> items;
  files::SCRIPTTEMPLATEDETAILS.clear();
  OVD.WIZ_ID = id;
  OVD.Sequence = INT32_MIN;
  Err err = files::SCRIPTTEMPLATEDETAILS.setFrom(files::OVD_K_WIZ_ID);
  while (err == Err::None && (err = files::SCRIPTTEMPLATEDETAILS.next()) == Err::None && OVD.WIZ_ID == id)
    items.push_back(OVD);
  const bool inTransaction = db::LOGOUT(1, {&files::SCRIPTTEMPLATEDETAILS}) == Err::None;
  size_t done = 0;
  Err failed = Err::None;
  ui::ProgressWindow progress(
      "Processing Records",
      [&](ui::ProgressWindow& p) {
        p.setText("Deleting Script");
        if (done >= items.size()) return ui::ProgressWindow::Step::Done;
        OVD = items[done];
        Err e = files::SCRIPTTEMPLATEDETAILS.get(files::OVD_K_WIZ_ID);
        if (e == Err::None && templateDetailBeforeDelete) e = templateDetailBeforeDelete(OVD);
        if (e == Err::None) e = files::SCRIPTTEMPLATEDETAILS.deleteRecord();
        if (e != Err::None) {
          failed = e;
          return ui::ProgressWindow::Step::Done;
        }
        p.setProgress(static_cast<int64_t>(++done), static_cast<int64_t>(items.size()));
        return done < items.size() ? ui::ProgressWindow::Step::More : ui::ProgressWindow::Step::Done;
      },
      "DeleteScriptTemplateDetails");
  (void)progress.Run();
  if (failed != Err::None) {
    // A half-deleted template is worse than none deleted: the deletes are undone.
    const std::string why = rt::ERROR();
    if (inTransaction) (void)db::ROLLBACK();
    ui::MESSAGE("The template's items were not deleted:\r\n" + why +
                    (inTransaction ? "\r\nNothing was changed." : ""),
                "Process:View", ui::Icon::Exclamation);
  } else if (inTransaction) {
    (void)db::COMMIT();
  }
  OVD = saved;
  (void)files::Access_SCRIPTTEMPLATEDETAILS.Close();
  (void)files::Access_SCRIPTTEMPLATES.Close();
}

}  // namespace ov::editors
