#include "editors/hot_keys.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "editors/explore_binding.h"
#include "editors/hot_key_text.h"
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
#include "platform/ui/prop.h"
#include "scheduler/main_frame.h"
#include "scheduler/open_window_list.h"
#include "scheduler/program_windows.h"
#include "scheduler/services.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/form_wizard_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::editors {

namespace {

using files::HOT;
using files::SCH;

constexpr int32_t kSelectedTabColour = 10987431;
constexpr const char* kHotKeyCategory = "Hot Key";
constexpr const char* kTitle = "Hot Key";

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : "|") + n;
  return out;
}

// The hot-key record is written through its file manager alone: the data library's relation would
// take the task along on a delete, and the list decides about the task itself.
class HotKeyFile : public ui::UpdateFile {
 public:
  rt::Err PrimeRecord(bool /*keepBuffer*/) override {
    const rt::Err err = files::Access_SYSHOTKEYS.PrimeRecord(false);
    // A new hot key starts with no task, no key, active, typing its text.
    HOT = files::HotKeyRec{};
    HOT.Active = 1;
    HOT.TextType = "Type";
    HOT.Action = "Text";
    return err;
  }
  rt::Err Insert() override { return files::Access_SYSHOTKEYS.Insert(); }
  rt::Err Change() override { return files::Access_SYSHOTKEYS.Update(); }
  rt::Err Delete() override { return files::Access_SYSHOTKEYS.Delete(); }
};

class UpdateHotKeysForm : public ui::WindowManager {
 public:
  UpdateHotKeysForm() : ui::WindowManager("UpdateHotKeys") {}

  ui::Level Init() override {
    int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (request == 0) request = ui::InsertRecord;
    m_viewOnly = request == ui::ViewRecord;
    m_deleting = request == ui::DeleteRecord;
    Request = m_viewOnly ? ui::ChangeRecord : request;
    if (scheduler::services().passwordValidation && !scheduler::services().passwordValidation())
      return ui::Level::Notify;
    AddUpdateFile(m_file);
    if (files::Relate_SYSHOTKEYS.Open() != rt::Err::None) return ui::Level::Fatal;
    if (files::Relate_SCHEDULE.Open() != rt::Err::None) {
      (void)files::Relate_SYSHOTKEYS.Close();
      return ui::Level::Fatal;
    }
    m_opened = true;
    if (Request == ui::InsertRecord) (void)m_file.PrimeRecord(false);
    m_position = files::SYSHOTKEYS.position();
    readKeyText();
    fetchTask();

    ui::Window& w = window();
    w.at(-1, -1, 347, 160).minSize(347, 160).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 339, 130).feq();
    const int general = w.tab("?Tab:General", kTitle, m_sheet).feq();
    w.prompt("?Key:Prompt", "&Key:").at(10, 22, 40, 10).on(general);
    m_win = w.check("?Win", "&Win").at(56, 22, 40, 10).use(m_flags[0]).on(general).feq();
    m_ctrl = w.check("?Control", "&Control").at(100, 22, 44, 10).use(m_flags[1]).on(general).feq();
    m_alt = w.check("?Alt", "A&lt").at(148, 22, 36, 10).use(m_flags[2]).on(general).feq();
    m_shift = w.check("?Shift", "S&hift").at(188, 22, 40, 10).use(m_flags[3]).on(general).feq();
    m_key = w.dropList("?Key", joined(hotKeyChoices())).at(232, 20, 60, 12).use(m_keyName).on(general).feq();
    m_keyText = w.sstring("?KeyText", "@s30").at(56, 36, 180, 10).use(m_text).on(general).feq();
    w.check("?HOT:Active", "A&ctive").at(240, 36, 50, 10).use(HOT.Active).on(general);
    w.prompt("?HOT:Description:Prompt", "Enter a description for this hot key (optional):").at(10, 50, 200, 10).on(general);
    m_description = w.entry("?HOT:Description", "@s40").at(10, 60, 320, 12).required().use(HOT.Description).on(general).feq();
    m_action = w.option("?HOT:Action", "Action").at(10, 76, 320, 36).use(HOT.Action).on(general).feq();
    w.radio("?HOT:Action:Radio1", "&Text - Automatically type text or copy to clipboard", m_action).value("Text").at(16, 86, 300, 10);
    w.radio("?HOT:Action:Radio2", "Ta&sk - Start/control programs with advanced options", m_action).value("Task").at(16, 98, 300, 10);

    m_textTab = w.tab("?Tab:Text", "Text", m_sheet).feq();
    const int textType = w.option("?HOT:TextType", "Type or use clipboard").at(10, 22, 320, 40).use(HOT.TextType).on(m_textTab).feq();
    w.radio("?HOT:TextType:Radio1", "Typing", textType).value("Type").at(16, 32, 200, 10);
    w.radio("?HOT:TextType:Radio2", "Copy to clipboard", textType).value("Copy").at(16, 42, 200, 10);
    w.radio("?HOT:TextType:Radio3", "Copy to clipboard, then paste (using CTRL-V)", textType).value("Paste").at(16, 52, 250, 10);
    w.prompt("?HOT:Text:Prompt", "Enter the text you wish to have typed/copied:").at(10, 66, 200, 10).on(m_textTab);
    w.textBox("?HOT:Text").at(10, 76, 320, 50).use(HOT.Text).on(m_textTab);

    m_taskTab = w.tab("?Tab:Task", "Task", m_sheet).feq();
    w.prompt("?SCH:Description:Prompt", "Task:").at(10, 22, 40, 10).on(m_taskTab);
    w.sstring("?SCH:Description", "@s40").at(56, 22, 200, 10).use(SCH.Description).on(m_taskTab);
    w.string("?TaskCalling", "Calling Script Wizard...").at(56, 36, 200, 10).on(m_taskTab);

    m_back = w.button("?Back", "&Back").at(150, 140, 45, 14).feq();
    m_next = w.button("?Next", "&Next").at(198, 140, 45, 14).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(246, 140, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(294, 140, 45, 14).feq();
    w.setTitle(title());
    showPages();
    Open();
    m_wizard.Init(m_sheet, m_back, m_next, OkControl, CancelControl, true, false, false, 1);
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_description, "HOT:Description", "Description", "", "Description", true);
    m_place.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabs.ColourTabs();
    if (m_deleting) FirstField = CancelControl;
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    fetchTask();
    ui::WindowManager::Reset(force);
    if (m_viewOnly || m_deleting) StyleWindowControls(*this, m_deleting);
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (isAcceptAllPass()) return ui::WindowManager::TakeAccepted();
    if (feq == m_win || feq == m_ctrl || feq == m_alt || feq == m_shift || feq == m_key) {
      Update();
      m_text = buildHotKeyText(parts());
      window().display(m_keyText);
      return ui::Level::Notify;
    }
    if (feq == m_action) {
      Update();
      showPages();
      return ui::Level::Notify;
    }
    if (feq == m_next) {
      Update();
      m_wizard.TakeAccepted();
      showWizardPage();
      // On the task page the task is found or made, and its script items are edited.
      if (isTask() && m_wizard.CURTABNUM == tabNumber(m_taskTab)) {
        if (!taskStep()) {
          m_wizard.TakeBack();
          showWizardPage();
        } else if (scheduler::programWindowRegistered("BrowseScripting")) {
          runScriptList();
        }
      }
      return ui::Level::Notify;
    }
    if (feq == m_back) {
      m_wizard.TakeAccepted();
      showWizardPage();
      return ui::Level::Notify;
    }
    if (feq == OkControl && !m_deleting && !m_viewOnly) {
      Update();
      m_text = buildHotKeyText(parts());
      if (rt::CLIP(HOT.Description.str()).empty()) HOT.Description = m_text;
      window().display(m_description);
      if (m_required.Incomplete(false)) return ui::Level::Notify;
      if (!keyAcceptable()) return ui::Level::Notify;
      HOT.HotKey = m_text;
      std::string quick = rt::CLIP(HOT.Description.str()) + " ";
      if (!isTask()) quick += ": " + rt::CLIP(HOT.Text);
      HOT.QuickText = quick;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted) {
      m_madeTask = 0;  // the task now belongs to the stored hot key
      scheduler::BroadcastRefresh();
    }
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    m_tabs.Kill();
    m_wizard.Kill();
    // A task the task step made for a hot key that was not stored would be found by nothing.
    if (m_madeTask != 0 && Response != ui::RequestCompleted) {
      const files::ScheduleRec keep = SCH;
      SCH.ID = m_madeTask;
      if (files::SCHEDULE.get(files::SCH_KeyID) == rt::Err::None) (void)files::Relate_SCHEDULE.Delete();
      SCH = keep;
    }
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) {
      (void)files::Relate_SCHEDULE.Close();
      (void)files::Relate_SYSHOTKEYS.Close();
    }
    m_opened = false;
    if (scheduler::services().post) scheduler::services().post(kEventHotKeysChanged, scheduler::kFrameThread);
    else ui::POST(kEventHotKeysChanged, 0, scheduler::kFrameThread);
    return rv;
  }

 private:
  std::string title() const {
    if (m_deleting) return std::string("Delete ") + kTitle;
    if (Request == ui::InsertRecord) return std::string("New ") + kTitle;
    return std::string(m_viewOnly ? "View " : "Edit ") + kTitle;
  }

  HotKeyParts parts() const {
    return {m_flags[0] != 0, m_flags[1] != 0, m_flags[2] != 0, m_flags[3] != 0, rt::CLIP(m_keyName)};
  }

  void readKeyText() {
    const HotKeyParts p = splitHotKeyText(HOT.HotKey.str());
    m_flags[0] = p.win, m_flags[1] = p.ctrl, m_flags[2] = p.alt, m_flags[3] = p.shift;
    m_keyName = p.key;
    m_text = rt::CLIP(HOT.HotKey.str());
  }

  // The wizard's page becomes the sheet's choice; the focus leaves the page left behind first, or
  // the sheet would follow it back there.
  void showWizardPage() {
    window().select(CancelControl);
    window().setProp(m_sheet, ui::Prop::Selected, m_wizard.CURTABNUM);
  }

  bool isTask() const { return rt::CLIP(HOT.Action.str()) == "Task"; }

  int tabNumber(int tab) const {
    int n = 0;
    for (int feq : window().allControls()) {
      const ui::Control* c = window().control(feq);
      if (c && c->kind() == ui::Kind::Tab) {
        ++n;
        if (feq == tab) return n;
      }
    }
    return 0;
  }

  void showPages() {
    window().setProp(m_textTab, ui::Prop::Hide, isTask());
    window().setProp(m_taskTab, ui::Prop::Hide, !isTask());
  }

  void fetchTask() {
    SCH = files::ScheduleRec{};
    if (HOT.ID == 0) return;
    SCH.ID = HOT.ID;
    if (files::SCHEDULE.get(files::SCH_KeyID) != rt::Err::None) SCH = files::ScheduleRec{};
  }

  // The key must name a key, fit the field and be no other hot key's.
  bool keyAcceptable() {
    if (const std::string problem = hotKeyTextProblem(m_text); !problem.empty()) {
      (void)ui::MESSAGE(problem, "Hot Key", ui::Icon::Exclamation);
      window().select(m_key);
      return false;
    }
    const std::string other = keyUsedBy(hotKeyCode(m_text));
    if (!other.empty()) {
      (void)ui::MESSAGE("The key " + m_text + " is already used by the hot key \"" + other + "\".", "Hot Key",
                        ui::Icon::Exclamation);
      window().select(m_key);
      return false;
    }
    return true;
  }

  // The description of another stored hot key on the same key, "" when there is none. The buffer
  // and the file's current record are kept.
  std::string keyUsedBy(int32_t code) {
    const files::HotKeyRec keep = HOT;
    std::string found;
    rt::Err err = files::SYSHOTKEYS.set();
    while (found.empty() && err == rt::Err::None && (err = files::SYSHOTKEYS.next()) == rt::Err::None) {
      if (Request != ui::InsertRecord && files::SYSHOTKEYS.position() == m_position) continue;
      if (hotKeyCode(HOT.HotKey.str()) == code) {
        found = rt::CLIP(HOT.Description.str());
        if (found.empty()) found = rt::CLIP(HOT.HotKey.str());
      }
    }
    if (m_position != 0) (void)files::SYSHOTKEYS.getPosition(m_position);
    HOT = keep;
    return found;
  }

  // The hot key's own task: found by HOT:ID, or made and stored now.
  bool taskStep() {
    if (HOT.ID != 0) {
      SCH.ID = HOT.ID;
      if (files::SCHEDULE.get(files::SCH_KeyID) == rt::Err::None) {
        m_newTask = false;
        window().display();
        return true;
      }
      HOT.ID = 0;
    }
    if (files::Access_SCHEDULE.PrimeRecord() != rt::Err::None) return false;
    SCH.TaskType = "Hot Key";
    SCH.clearDayOfWeekGroup();
    SCH.Date = 0;
    SCH.Time = 0;
    SCH.clearExceptions();
    SCH.Command = "N/A";
    SCH.Category = kHotKeyCategory;
    SCH.Description = "Hot Key " + buildHotKeyText(parts());
    if (files::Access_SCHEDULE.Insert() != rt::Err::None) return false;
    HOT.ID = SCH.ID;
    m_madeTask = SCH.ID;
    m_newTask = true;
    window().display();
    return true;
  }

  void runScriptList() {
    SCH.TaskType = "Hot Key";
    files::GLOBALREQUEST = m_newTask ? ui::InsertRecord : ui::ChangeRecord;
    const int response = scheduler::callProgramWindow("BrowseScripting");
    ui::POST(ui::EVENT::Accepted, response == ui::RequestCompleted ? OkControl : m_back);
  }

  HotKeyFile m_file;
  winclasses::FormWizardClass m_wizard;
  winclasses::ReqFldClass m_required;
  winclasses::ColourTabClass m_tabs;
  ui::WindowPositionKeeper m_place;
  uint8_t m_flags[4] = {};  // Win, Control, Alt, Shift
  std::string m_keyName, m_text;
  int64_t m_position = 0;
  int32_t m_madeTask = 0;
  bool m_newTask = false, m_viewOnly = false, m_deleting = false, m_opened = false;
  int m_sheet = 0, m_textTab = 0, m_taskTab = 0, m_win = 0, m_ctrl = 0, m_alt = 0, m_shift = 0, m_key = 0;
  int m_keyText = 0, m_description = 0, m_action = 0, m_back = 0, m_next = 0;
};

// ---- the list -----------------------------------------------------------------------------------

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
  ui::Level TakeEvent() override {
    if (m_manager && ui::EVENT() == ui::EVENT::GainFocus && ui::FIELD() == 0) {
      ui::Window& w = m_manager->window();
      if (w.propInt(0, ui::Prop::Iconize)) w.setProp(0, ui::Prop::Iconize, 0);
      w.setProp(0, ui::Prop::Active, 1);
    }
    return ui::Level::Benign;
  }
  void Kill() override {
    if (m_manager) scheduler::leaveOpenWindow(m_manager->procedureName(), m_thread);
    m_manager = nullptr;
  }

 private:
  ui::WindowManager* m_manager = nullptr;
  int m_thread = 0;
};

struct HotKeyRow {
  rt::String<20> HotKey;
  rt::String<4> Action;
  rt::String<40> QuickText;
  rt::String<40> Description;
};
const rt::FieldDesc kHotKeyRowFields[] = {
    {"HOT:HotKey", rt::FieldType::String, 20, 0, offsetof(HotKeyRow, HotKey)},
    {"HOT:Action", rt::FieldType::String, 4, 20, offsetof(HotKeyRow, Action)},
    {"HOT:QuickText", rt::FieldType::String, 40, 24, offsetof(HotKeyRow, QuickText)},
    {"HOT:Description", rt::FieldType::String, 40, 64, offsetof(HotKeyRow, Description)},
};
const rt::RecordDesc kHotKeyRow{"HotKeyRow", kHotKeyRowFields, 104};

// The hot keys by key or by description, over the explorer list: a column sort from the header
// takes the place of the tab's order until a tab is chosen again; the layout is kept under
// "?Browse:1".
class BrowseHotKeysWindow : public ui::WindowManager {
 public:
  BrowseHotKeysWindow() : ui::WindowManager("BrowseHotKeys"), m_view(files::Access_SYSHOTKEYS) {}

  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    Request = request;
    if (request != ui::SelectRecord && !m_single.Init(*this)) return ui::Level::Notify;
    if (files::Relate_SYSHOTKEYS.Open() != rt::Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Hot Keys");
    w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 300, 170).minSize(267, 159).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 292, 130).feq();
    w.tab("?Tab:Key", "Hot Key", m_sheet);
    w.tab("?Tab:Description", "Description", m_sheet);
    const int list = w.add<ui::ListControl>(0, "?Browse:1")
                         .from(m_queue, kHotKeyRow)
                         .format("80L(2)|M~Key~@s20@28L(2)|M~Action~@s4@160L(2)|M~Description~@s40@")
                         .at(8, 20, 284, 110)
                         .feq();
    m_browse.Init(list, m_view, *this, &files::Relate_SYSHOTKEYS);
    m_browse.AddSortOrder(&m_stepKey, files::HOT_K_HotKey);
    m_keyLocator.Init("HOT:HotKey");
    m_browse.AddLocator(m_keyLocator);
    m_browse.AddSortOrder(&m_stepDescription, files::HOT_K_Description);
    m_descriptionLocator.Init("HOT:Description");
    m_browse.AddLocator(m_descriptionLocator);
    (void)m_browse.SetSort(1);
    m_explorer.columns = {
        {"HOT:HotKey", 80, "Key", "@s20", "Hot Key", 'L', true, false, false, true},
        {"HOT:Action", 16, "Action", "@s4", "Text or Task", 'L', true, false, false, true},
        {"HOT:QuickText", 160, "Description", "@s40", "Description", 'L', true, false, false, true},
        {"HOT:Description", 160, "Description", "@s40", "Basic - Task Description/Title", 'L', false, false, false,
         true},
    };
    m_browse.InsertControl = w.button("?Insert", "&New").at(84, 138, 50, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").at(138, 138, 50, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "&Delete").at(192, 138, 50, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(246, 138, 50, 14).feq();
    m_browse.AskProcedure = 1;
    m_binding.Bind(*this, m_browse, m_query, m_explorer, m_state, ".\\POSITION.INI");
    AddItem(m_browse);
    Open();
    m_place.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    scheduler::RegisteredThreads().push_back(ui::THREAD());
    m_registered = true;
    return ui::Level::Benign;
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_sheet) {
      m_explorer.EraseVisual();  // while the sorted column is still known
      m_binding.clearColumnSort();
      Reset(true);
    }
    return ui::WindowManager::TakeNewSelection();
  }

  // The tab's order, or the column order while a column sort is active.
  void Reset(bool force) override {
    const bool changed = m_browse.SetSort(m_binding.chosenOrder(std::max(1, window().choice(m_sheet))));
    ui::WindowManager::Reset(force || changed);
  }

  ui::Level TakeEvent() override {
    if (ui::EVENT() == scheduler::EVENT::RefreshAll) m_browse.ResetSort(true);
    return ui::WindowManager::TakeEvent();
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    const int32_t task = HOT.ID;
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    const int response = UpdateHotKeys();
    if (request == ui::DeleteRecord && response == ui::RequestCompleted && task != 0) (void)DeletePureHotKeyTask(task);
    return response;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    if (m_registered) {
      auto& threads = scheduler::RegisteredThreads();
      std::erase(threads, ui::THREAD());
      m_registered = false;
    }
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_SYSHOTKEYS.Close();
    m_opened = false;
    return rv;
  }

 private:
  rt::Queue<HotKeyRow> m_queue;
  db::ViewManager m_view;
  ui::BrowseClass m_browse;
  ui::StepStringClass m_stepKey, m_stepDescription;
  ui::StepLocatorClass m_keyLocator;
  ui::StepLocatorClass m_descriptionLocator;
  ui::QueryClass m_query;
  BoundExplorer m_explorer;
  ExploreState m_state;
  ExploreBinding m_binding;
  SingleList m_single;
  ui::WindowPositionKeeper m_place;
  int m_sheet = 0;
  bool m_opened = false, m_registered = false;
};

}  // namespace

bool DeletePureHotKeyTask(int32_t id) {
  if (id == 0) return false;
  if (files::Relate_SCHEDULE.Open() != rt::Err::None) return false;
  const files::ScheduleRec keep = SCH;
  bool deleted = false;
  SCH.ID = id;
  if (files::SCHEDULE.get(files::SCH_KeyID) == rt::Err::None && SCH.Date == 0 && SCH.Time == 0 &&
      rt::CLIP(SCH.Category.str()) == kHotKeyCategory)
    deleted = files::Relate_SCHEDULE.Delete() == rt::Err::None;
  SCH = keep;
  (void)files::Relate_SCHEDULE.Close();
  return deleted;
}

std::unique_ptr<ui::WindowManager> makeUpdateHotKeys() { return std::make_unique<UpdateHotKeysForm>(); }
std::unique_ptr<ui::WindowManager> makeBrowseHotKeys() { return std::make_unique<BrowseHotKeysWindow>(); }

int UpdateHotKeys() {
  UpdateHotKeysForm form;
  return form.Run();
}

int BrowseHotKeys() {
  BrowseHotKeysWindow list;
  return list.Run();
}

}  // namespace ov::editors
