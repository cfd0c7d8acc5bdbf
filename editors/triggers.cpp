#include "editors/triggers.h"

#include <cstddef>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "editors/style_window_controls.h"
#include "platform/files/file.h"
#include "platform/files/view_manager.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/paths.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/keystrokes.h"
#include "scheduler/open_window_list.h"
#include "scheduler/program_windows.h"
#include "scheduler/services.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/qv_mouse_wheel_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::editors {

using files::SCH;
using files::SCR;
using files::TRI;
using rt::Err;

namespace {

constexpr int32_t kSelectedTabColour = 10987431;
constexpr int kMaxCopiedItems = 10000;

std::string clipped(std::string_view s) { return std::string(rt::clipView(s)); }

bool isFileType(std::string_view type) { return triggerGroup(type) == TriggerGroup::File; }

// Adds the trigger's task from a cleared record: a "Trigger" task without date, time, days or
// exceptions, named after the trigger. SCHEDULE is numbered at the insert, so nothing is reserved
// before the transaction decides.
Err addTriggerTask() {
  db::FileManager& schedule = files::Access_SCHEDULE;
  const bool lazy = schedule.LazyAutoInc;
  schedule.LazyAutoInc = true;
  Err err = schedule.PrimeRecord(false);
  schedule.LazyAutoInc = lazy;
  if (err != Err::None) return err;
  SCH.ID = 0;
  SCH.TaskType = "Trigger";
  SCH.Date = 0;
  SCH.Time = 0;
  SCH.Command = "N/A";
  SCH.Category = TRI.TriggerType.view();
  SCH.Description = ("Trigger " + clipped(TRI.Description.view())).substr(0, 40);
  SCH.Disabled = 0;  // a trigger's task runs whenever its trigger fires
  schedule.LazyAutoInc = true;
  err = schedule.Insert();
  schedule.LazyAutoInc = lazy;
  return err;
}

// Copies of the script items of task `from` under task `to`, in sequence order.
Err copyScriptItems(int32_t from, int32_t to) {
  std::vector<files::ScriptingRec> items;
  files::SCRIPTING.clear();
  SCR.ID = from;
  Err err = files::SCRIPTING.setFrom(files::SCR_KeyID);
  while (err == Err::None && static_cast<int>(items.size()) < kMaxCopiedItems &&
         (err = files::SCRIPTING.next()) == Err::None && SCR.ID == from)
    items.push_back(SCR);
  if (err != Err::None && err != Err::NotAvailable) return err;
  for (files::ScriptingRec& item : items) {
    SCR = item;
    SCR.ID = to;
    if ((err = files::SCRIPTING.add()) != Err::None) return err;
  }
  return Err::None;
}

// Adds the trigger's task with copies of the items of task `copyItemsFrom` (0: none) in one
// transaction; the task is left in the SCH buffer and TRI:ID names it.
Err makeTriggerTask(int32_t copyItemsFrom) {
  const files::ScriptingRec savedItem = SCR;
  Err err = db::LOGOUT(1, {&files::SCHEDULE, &files::SCRIPTING});
  if (err != Err::None) return err;
  err = addTriggerTask();
  const files::ScheduleRec task = SCH;
  if (err == Err::None && copyItemsFrom != 0) err = copyScriptItems(copyItemsFrom, task.ID);
  if (err == Err::None) err = db::COMMIT();
  if (err != Err::None) {
    const std::string why = rt::ERROR();
    (void)db::ROLLBACK();
    rt::setError(err, files::SCHEDULE.label(), why);
  } else {
    TRI.ID = task.ID;
  }
  SCH = task;
  SCR = savedItem;
  return err;
}

}  // namespace

TriggerGroup triggerGroup(std::string_view type) {
  const std::string t = rt::UPPER(rt::clipView(type));
  if (t == "FILE" || t == "FILE CREATION" || t == "FILE CHANGE") return TriggerGroup::File;
  if (t == "WINDOW") return TriggerGroup::Window;
  if (t == "EVENT") return TriggerGroup::Event;
  return TriggerGroup::None;
}

std::string appendFileSpec(std::string_view list, const std::vector<std::string>& files) {
  std::string out(list);
  if (files.empty()) return out;
  if (files.size() == 1 && out.find(';') != std::string::npos) return clipped(out) + "; " + files[0];
  for (const std::string& file : files) {
    const std::string now = clipped(out);
    const size_t semi = now.find(';');
    if (now.empty())
      out = file;
    else if (semi != std::string::npos && semi == now.size() - 1)
      out = now + " " + file;
    else
      out = now + "; " + file;
  }
  return out;
}

std::string TriggerDetailsText(const files::TriggerRec& trigger) {
  switch (triggerGroup(trigger.TriggerType.view())) {
    case TriggerGroup::File: return clipped(trigger.FileSpec.view()).substr(0, 255);
    case TriggerGroup::Window: {
      std::string text = clipped(trigger.WindowSpec.view()) + " ";
      const std::string child = clipped(trigger.WindowChildSpec.view());
      if (!child.empty()) text += "containing " + child;
      return text.substr(0, 255);
    }
    case TriggerGroup::Event: return clipped(trigger.EventSpec.view());
    case TriggerGroup::None: break;
  }
  return {};
}

rt::Err storeTrigger(bool insert, bool newTask, int32_t copyItemsFrom, int32_t madeTask) {
  const files::ScheduleRec savedTask = SCH;
  const files::ScriptingRec savedItem = SCR;
  const int32_t oldTask = TRI.ID;
  Err err = db::LOGOUT(1, {&files::TRIGGERS, &files::SCHEDULE, &files::SCRIPTING});
  if (err != Err::None) return err;
  if (newTask) {
    err = addTriggerTask();
    if (err == Err::None) TRI.ID = SCH.ID;
    if (err == Err::None && copyItemsFrom != 0) err = copyScriptItems(copyItemsFrom, TRI.ID);
  }
  if (err == Err::None && !newTask && madeTask != 0 && madeTask == TRI.ID) {
    // The task made before the trigger was complete is named after the trigger as stored.
    files::SCHEDULE.clear();
    SCH.ID = madeTask;
    err = files::SCHEDULE.get(files::SCH_KeyID);
    if (err == Err::None) {
      SCH.Category = TRI.TriggerType.view();
      SCH.Description = ("Trigger " + clipped(TRI.Description.view())).substr(0, 40);
      err = files::SCHEDULE.put();
    }
  }
  if (err == Err::None) err = insert ? files::Relate_TRIGGERS.Insert() : files::Relate_TRIGGERS.Update();
  if (err == Err::None) err = db::COMMIT();
  if (err != Err::None) {
    const std::string why = rt::ERROR();
    (void)db::ROLLBACK();
    TRI.ID = oldTask;
    rt::setError(err, files::TRIGGERS.label(), why);
  }
  SCH = savedTask;
  SCR = savedItem;
  return err;
}

// ---- the form -----------------------------------------------------------------------------------

namespace {

class UpdateTriggersForm;

// Inserts and changes store the trigger with its task in one transaction; deletes go through the
// relation manager, which takes the trigger's task and its items with it.
class TriggerUpdateFile : public ui::UpdateFile {
 public:
  explicit TriggerUpdateFile(UpdateTriggersForm& form) : m_form(form) {}
  Err PrimeRecord(bool keepBuffer) override { return files::Relate_TRIGGERS.Me.PrimeRecord(keepBuffer); }
  Err Insert() override;
  Err Change() override;
  Err Delete() override { return files::Relate_TRIGGERS.Delete(); }
  void CancelAutoInc() override { (void)files::Relate_TRIGGERS.Me.CancelAutoInc(); }

 private:
  UpdateTriggersForm& m_form;
};

class UpdateTriggersForm : public ui::WindowManager {
 public:
  explicit UpdateTriggersForm(int32_t copyItemsFrom = 0)
      : ui::WindowManager("UpdateTriggers"), m_file(*this), m_copyFrom(copyItemsFrom) {}

  int32_t copyFrom() const { return m_copyFrom; }
  int32_t madeTask() const { return m_madeTask; }

  ui::Level Init() override {
    int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    m_viewOnly = request == ui::ViewRecord;
    m_deleting = request == ui::DeleteRecord;
    m_inserting = request == 0 || request == ui::InsertRecord;
    Request = m_inserting ? ui::InsertRecord : m_viewOnly ? ui::ChangeRecord : request;
    if (scheduler::services().passwordValidation && !scheduler::services().passwordValidation()) {
      Response = ui::RequestCancelled;
      return ui::Level::Notify;
    }
    AddUpdateFile(m_file);
    if (files::Relate_TRIGGERS.Open() != Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (files::Access_SCHEDULE.Open() != Err::None) return ui::Level::Fatal;
    m_scheduleOpened = true;
    if (files::Access_SCRIPTING.Open() != Err::None) return ui::Level::Fatal;
    m_scriptingOpened = true;
    if (m_inserting) prime();

    ui::Window& w = window();
    w.at(-1, -1, 315, 170).minSize(315, 158).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 307, 140).feq();
    w.setProp(m_sheet, ui::Prop::Wizard, 1);
    m_basic = w.tab("?Tab:Basic", "Basic", m_sheet).feq();
    const int trigger = w.group("?TriggerGroup", "Trigger").at(8, 8, 299, 48).on(m_basic).feq();
    w.prompt("?TRI:TriggerType:Prompt", "&Trigger Type:").at(14, 18, 50, 10).on(trigger);
    m_type = w.dropList("?TRI:TriggerType", "File creation|File change|Window|Event|Startup")
                 .at(70, 18, 80, 12).use(TRI.TriggerType).on(trigger).feq();
    m_active = w.check("?TRI:Active", "&Active").at(160, 18, 50, 10).use(TRI.Active).on(trigger).feq();
    w.prompt("?TRI:Description:Prompt", "&Description:").at(14, 36, 50, 10).on(trigger);
    m_description = w.entry("?TRI:Description", "@s40").at(70, 36, 230, 12).required().use(TRI.Description).on(trigger).feq();

    m_fileGroup = w.group("?FileGroup", "Enter file name(s):").at(8, 60, 299, 80).on(m_basic).feq();
    m_fileSpec = w.textBox("?TRI:FileSpec").at(14, 70, 266, 44).use(TRI.FileSpec).on(m_fileGroup).feq();
    m_lookup = w.button("?LookupFile", "").icon("open.ico").tip("Select file").at(284, 70, 16, 14).on(m_fileGroup).feq();
    w.string("?FileNote",
             "Note: Wildcards (*, ?) may be used. Separate several file names with ENTER or a semicolon (;).")
        .at(14, 118, 286, 18).on(m_fileGroup);

    m_windowGroup = w.group("?WindowGroup", "Window trigger details").at(8, 60, 299, 50).on(m_basic).feq();
    w.prompt("?TRI:WindowSpec:Prompt", "Window title:").at(14, 72, 60, 10).on(m_windowGroup);
    m_windowSpec = w.combo("?TRI:WindowSpec", "").at(80, 72, 220, 12).use(TRI.WindowSpec).on(m_windowGroup).feq();
    w.prompt("?TRI:WindowChildSpec:Prompt", "Window contains:").at(14, 90, 60, 10).on(m_windowGroup);
    m_childSpec = w.combo("?TRI:WindowChildSpec", "").at(80, 90, 220, 12).use(TRI.WindowChildSpec).on(m_windowGroup).feq();

    m_eventGroup = w.group("?EventGroup", "Event trigger details").at(8, 60, 299, 30).on(m_basic).feq();
    w.prompt("?TRI:EventSpec:Prompt", "Event:").at(14, 72, 60, 10).on(m_eventGroup);
    m_eventSpec = w.dropList("?TRI:EventSpec", "Shutdown|Standby|Suspend|Low battery")
                      .at(80, 72, 100, 12).use(TRI.EventSpec).on(m_eventGroup).feq();

    m_taskTab = w.tab("?Tab:Task", "Task", m_sheet).feq();
    w.string("?TaskCalling", "Calling Script Wizard...").at(8, 10, 200, 10).on(m_taskTab);
    m_taskText = w.string("?TaskDescription", "").at(8, 26, 290, 10).on(m_taskTab).feq();

    m_back = w.button("?Back", "&Back").at(116, 150, 45, 14).feq();
    m_next = w.button("?Next", "&Next").at(164, 150, 45, 14).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(212, 150, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(260, 150, 45, 14).feq();
    std::string title = m_inserting ? "Add Trigger" : "Change Trigger";
    if (m_viewOnly) title = "View" + title.substr(title.find(' '));
    w.setTitle(title);
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_description, "TRI:Description", "Description", "", "Description", true);
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_wheel.Init();
    m_tabs.ColourTabs();
    TriggerTypeFields();
    showPage(m_basic);
    if (m_inserting) w.setProp(OkControl, ui::Prop::Disable, 1);  // completed through "&Next"
    if (m_viewOnly || m_deleting) {
      StyleWindowControls(*this, m_deleting);
      w.setProp(m_next, ui::Prop::Disable, 1);
      w.setProp(m_back, ui::Prop::Disable, 1);
      if (m_deleting) FirstField = CancelControl;
    }
    return ui::Level::Benign;
  }

  // Shows the details group of the trigger's type and hides the others.
  void TriggerTypeFields() {
    ui::Window& w = window();
    const TriggerGroup group = triggerGroup(TRI.TriggerType.view());
    w.setProp(m_fileGroup, ui::Prop::Hide, group == TriggerGroup::File ? 0 : 1);
    w.setProp(m_windowGroup, ui::Prop::Hide, group == TriggerGroup::Window ? 0 : 1);
    w.setProp(m_eventGroup, ui::Prop::Hide, group == TriggerGroup::Event ? 0 : 1);
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (isAcceptAllPass()) return ui::WindowManager::TakeAccepted();
    if (feq == m_type) {
      Update();
      TriggerTypeFields();
      return ui::Level::Notify;
    }
    if (feq == m_lookup) {
      Update();
      lookupFiles();
      return ui::Level::Notify;
    }
    if (feq == m_next) {
      Update();
      taskStep();
      return ui::Level::Notify;
    }
    if (feq == m_back) {
      showPage(m_basic);
      return ui::Level::Notify;
    }
    if (feq == OkControl && !m_deleting) {
      // The checker shows the field: it lies on the first page.
      showPage(m_basic);
      if (m_required.Incomplete(false)) return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  // The window drop lists are filled as they gain the focus: the titles of the windows open now,
  // and the texts of the child windows of the window the title names.
  ui::Level TakeSelected() override {
    const int feq = ui::FIELD();
    if ((feq == m_windowSpec || feq == m_childSpec) && !m_viewOnly && !m_deleting) {
      std::vector<std::string> texts;
      if (feq == m_windowSpec) {
        scheduler::ListTopWindows();
        for (const scheduler::WindowEntry& e : scheduler::TopWindowList) texts.push_back(e.title);
      } else if (const std::string pattern = clipped(TRI.WindowSpec.view()); !pattern.empty()) {
        if (const os::WindowId found = scheduler::FindWindowByPattern(pattern, ""); found != 0) {
          scheduler::ListChildWindows(found);
          for (const scheduler::WindowEntry& e : scheduler::ChildWindowList) texts.push_back(e.title);
        }
      }
      if (feq == m_windowSpec || !texts.empty()) {
        std::string items;
        for (std::string t : texts) {
          std::erase(t, '|');  // the item separator of the drop list
          if (t.empty()) continue;
          if (!items.empty()) items += '|';
          items += t;
        }
        if (auto* combo = window().as<ui::ListChoice>(feq)) combo->from(items);
      }
    }
    return ui::WindowManager::TakeSelected();
  }

  ui::Level TakeCompleted() override {
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted) m_madeTask = 0;  // the task now belongs to the stored trigger
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response ? Response : ui::RequestCancelled);
    m_required.Kill();
    m_tabs.Kill();
    m_wheel.Kill();
    // A task that "&Next" made for a trigger that was not stored would be found by nothing.
    if (m_madeTask != 0 && Response != ui::RequestCompleted && files::Relate_SCHEDULE.Open() == Err::None) {
      const files::ScheduleRec keep = SCH;
      files::SCHEDULE.clear();
      SCH.ID = m_madeTask;
      if (files::SCHEDULE.get(files::SCH_KeyID) == Err::None) (void)files::Relate_SCHEDULE.Delete();
      SCH = keep;
      (void)files::Relate_SCHEDULE.Close();
    }
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_scriptingOpened) (void)files::Access_SCRIPTING.Close();
    if (m_scheduleOpened) (void)files::Access_SCHEDULE.Close();
    if (m_opened) (void)files::Relate_TRIGGERS.Close();
    m_opened = m_scheduleOpened = m_scriptingOpened = false;
    // Completed or cancelled, the frame reloads its triggers.
    if (scheduler::services().post) scheduler::services().post(kEventTriggersChanged, scheduler::kFrameThread);
    return rv;
  }

 private:
  void prime() {
    if (m_copyFrom != 0) {
      const files::TriggerRec source = TRI;
      (void)m_file.PrimeRecord(true);
      const int32_t id = TRI.TRI_ID;
      TRI = source;
      TRI.TRI_ID = id;
    } else {
      SCH.ID = 0;
      (void)m_file.PrimeRecord(false);
      TRI.Active = 1;
      TRI.TriggerType = "File creation";
    }
    TRI.ID = 0;  // "&Next" makes the task
  }

  void showPage(int tab) {
    ui::Window& w = window();
    w.setProp(m_basic, ui::Prop::Hide, tab == m_basic ? 0 : 1);
    w.setProp(m_taskTab, ui::Prop::Hide, tab == m_taskTab ? 0 : 1);
    // Back leads nowhere from the first page; a form that only shows a trigger keeps it off.
    w.setProp(m_back, ui::Prop::Disable, tab == m_basic || m_viewOnly || m_deleting ? 1 : 0);
    w.select(tab);
  }

  void lookupFiles() {
    std::string chosen;
    if (!ui::FILEDIALOG("Select file", chosen, "All Files|*.*", ui::FILE_::Multi | ui::FILE_::KeepDir)) return;
    std::vector<std::string> names;
    if (chosen.find('|') != std::string::npos) {
      std::string folder = chosen.substr(0, chosen.find('|'));
      if (!folder.empty() && folder.back() != '/') folder += '/';
      size_t at = chosen.find('|');
      while (at != std::string::npos) {
        const size_t end = chosen.find('|', at + 1);
        names.push_back(folder + chosen.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1));
        at = end;
      }
    } else if (!chosen.empty()) {
      names.push_back(chosen);
    }
    const std::string list = appendFileSpec(TRI.FileSpec.view(), names);
    if (list.size() > TRI.FileSpec.size()) {
      ui::MESSAGE("The file list is full: the chosen files were not added.", "Trigger", ui::Icon::Exclamation);
      return;
    }
    TRI.FileSpec = list;
    window().display(m_fileSpec);
  }

  // "&Next": a file trigger needs its names; then the trigger's task is found, or made and stored
  // at once, and its script items are edited in the script list. The list's OK completes the
  // form; its Cancel goes back to the first page.
  void taskStep() {
    ui::Window& w = window();
    const std::string type = clipped(TRI.TriggerType.view());
    if ((type == "File creation" || type == "File change") && clipped(TRI.FileSpec.view()).empty()) {
      w.select(m_fileSpec);
      ui::MESSAGE("You have not entered a file name.", "Trigger Incomplete", ui::Icon::Exclamation);
      return;
    }
    if (TRI.ID != 0) {
      files::SCHEDULE.clear();
      SCH.ID = TRI.ID;
      if (files::SCHEDULE.get(files::SCH_KeyID) != Err::None) TRI.ID = 0;  // its task is gone: a new one is made
    }
    bool made = false;
    if (TRI.ID == 0) {
      if (makeTriggerTask(m_inserting ? m_copyFrom : 0) != Err::None) {
        ui::MESSAGE("The trigger's task was not made:\r\n" + rt::ERROR(), "Trigger", ui::Icon::Exclamation);
        return;
      }
      m_madeTask = TRI.ID;
      made = true;
    }
    w.setProp(m_taskText, ui::Prop::Text, clipped(SCH.Description.view()));
    showPage(m_taskTab);
    w.setProp(OkControl, ui::Prop::Disable, 0);
    if (!scheduler::programWindowRegistered("BrowseScripting")) return;
    SCH.TaskType = "Trigger";  // the script list's title
    files::GLOBALREQUEST = made ? ui::InsertRecord : ui::ChangeRecord;
    const int response = scheduler::callProgramWindow("BrowseScripting");
    ui::POST(ui::EVENT::Accepted, response == ui::RequestCompleted ? OkControl : m_back);
  }

  TriggerUpdateFile m_file;
  int32_t m_copyFrom = 0;
  winclasses::ReqFldClass m_required;
  winclasses::ColourTabClass m_tabs;
  winclasses::QVMouseWheelClass m_wheel;
  ui::WindowPositionKeeper m_position;
  int32_t m_madeTask = 0;
  bool m_viewOnly = false, m_deleting = false, m_inserting = false;
  bool m_opened = false, m_scheduleOpened = false, m_scriptingOpened = false;
  int m_sheet = 0, m_basic = 0, m_taskTab = 0, m_type = 0, m_active = 0, m_description = 0;
  int m_fileGroup = 0, m_fileSpec = 0, m_lookup = 0, m_windowGroup = 0, m_windowSpec = 0, m_childSpec = 0;
  int m_eventGroup = 0, m_eventSpec = 0, m_taskText = 0, m_back = 0, m_next = 0;
};

Err storeReporting(bool insert, const UpdateTriggersForm& form) {
  // A new trigger stored without "&Next" having made its task gets one now; a changed one keeps
  // what it has.
  const bool newTask = insert && TRI.ID == 0;
  const Err err = storeTrigger(insert, newTask, newTask ? form.copyFrom() : 0, form.madeTask());
  if (err != Err::None)
    ui::MESSAGE("The trigger was not stored:\r\n" + rt::ERROR() + "\r\nNothing was changed.", "Trigger",
                ui::Icon::Exclamation);
  return err;
}

Err TriggerUpdateFile::Insert() { return storeReporting(true, m_form); }
Err TriggerUpdateFile::Change() { return storeReporting(false, m_form); }

// ---- the list -----------------------------------------------------------------------------------

struct TriggerRow {
  rt::String<1> Active;
  int32_t ActiveIcon = 0;
  rt::String<20> TriggerType;
  rt::String<40> Description;
  rt::String<255> Details;
  int32_t TRI_ID = 0;
};
const rt::FieldDesc kTriggerRowFields[] = {
    {"Active", rt::FieldType::String, 1, 0, offsetof(TriggerRow, Active)},
    {"ActiveIcon", rt::FieldType::Long, 4, 0, offsetof(TriggerRow, ActiveIcon)},
    {"TRI:TriggerType", rt::FieldType::String, 20, 0, offsetof(TriggerRow, TriggerType)},
    {"TRI:Description", rt::FieldType::String, 40, 0, offsetof(TriggerRow, Description)},
    {"Details", rt::FieldType::String, 255, 0, offsetof(TriggerRow, Details)},
    {"TRI:TRI_ID", rt::FieldType::Long, 4, 0, offsetof(TriggerRow, TRI_ID)},
};
const rt::RecordDesc kTriggerRow{"TriggerRow", kTriggerRowFields, sizeof(TriggerRow)};

class TriggerBrowse : public ui::BrowseClass {
 public:
  explicit TriggerBrowse(rt::Queue<TriggerRow>& queue) : m_queue(queue) {}
  bool copying = false;

  void SetQueueRecord() override {
    ui::BrowseClass::SetQueueRecord();
    m_queue.buf.ActiveIcon = TRI.Active ? 1 : 2;
    m_queue.buf.Details = TriggerDetailsText(TRI);
  }

  // A new trigger starts cleared; a copy starts from the highlighted one, which the form keeps.
  Err PrimeRecord(bool suppressClear) override {
    if (copying) return Err::None;
    SCH.ID = 0;
    return ui::BrowseClass::PrimeRecord(suppressClear);
  }

 private:
  rt::Queue<TriggerRow>& m_queue;
};

class BrowseTriggersWindow;

// The list's own component: the sort tabs, Copy's state, Execute and coming forward.
class TriggerListActions : public ui::WindowComponent {
 public:
  explicit TriggerListActions(BrowseTriggersWindow& list) : m_list(list) {}
  ui::Level TakeEvent() override;

 private:
  BrowseTriggersWindow& m_list;
};

class BrowseTriggersWindow : public ui::WindowManager {
 public:
  BrowseTriggersWindow()
      : ui::WindowManager("BrowseTriggers"), m_view(files::Access_TRIGGERS), m_browse(m_queue), m_actions(*this) {}

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
    if (files::Relate_TRIGGERS.Open() != Err::None) return ui::Level::Fatal;
    m_opened = true;

    ui::Window& w = window();
    w.setTitle("Triggers");
    w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 360, 200).minSize(352, 192).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 352, 170).feq();
    w.tab("?Tab:Type", "Trigger Type", m_sheet);
    w.tab("?Tab:Active", "Active Triggers Only", m_sheet);
    w.tab("?Tab:Description", "Description", m_sheet);
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kTriggerRow)
                 .format("23R(1)|MI~Active~C(0)@p p@80L(1)|M~Trigger Type~@s20@100L(1)|M~Description~@s40@1020L(1)|M~Details~@s255@")
                 .at(8, 20, 344, 130)
                 .feq();
    w.setProp(m_list, ui::Prop::IconList, "~notdone.ico|~disabled.ico");
    m_browse.Init(m_list, m_view, *this, &files::Relate_TRIGGERS);
    m_browse.AddSortOrder(&m_stepType, files::TRI_K_Trigger);
    m_typeLocator.Init("TRI:TriggerType");
    m_browse.AddLocator(m_typeLocator);
    m_browse.AddSortOrder(&m_stepActive, files::TRI_K_Active);
    m_browse.AddRange("TRI:Active", ui::Binding(m_one));
    m_activeLocator.Init("TRI:TriggerType");
    m_browse.AddLocator(m_activeLocator);
    m_browse.AddSortOrder(&m_stepDescription, files::TRI_K_Description);
    m_descriptionLocator.Init("TRI:Description");
    m_browse.AddLocator(m_descriptionLocator);
    m_browse.SetSort(1);
    m_browse.AddField("TRI:TriggerType", "TRI:TriggerType");
    m_browse.AddField("TRI:Description", "TRI:Description");
    m_browse.AddField("TRI:TRI_ID", "TRI:TRI_ID");
    m_execute = w.button("?Execute", "E&xecute").tip("Execute (run) the highlighted task").at(4, 178, 44, 14).feq();
    m_browse.RowControls = {m_execute};
    m_browse.SelectControl = w.button("?Select", "&Select").at(52, 178, 40, 14).feq();
    m_browse.InsertControl = w.button("?Insert", "&New").at(96, 178, 40, 14).feq();
    m_copy = w.button("?Copy", "Cop&y").at(140, 178, 40, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").at(184, 178, 40, 14).feq();
    m_browse.DeleteControl = w.button("?Delete", "Delete").at(228, 178, 40, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(312, 178, 40, 14).feq();
    if (request != ui::SelectRecord) w.setProp(m_browse.SelectControl, ui::Prop::Hide, 1);
    m_browse.AskProcedure = 1;
    AddItem(m_browse);
    AddItem(m_actions);
    Open();
    m_position.Init(*this, files::globalIni(), true);
    updateCopy();
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    const int32_t copyFrom = m_copySource;
    m_copySource = 0;
    return UpdateTriggers(copyFrom);
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_TRIGGERS.Close();
    m_opened = false;
    if (m_entered) scheduler::leaveOpenWindow(procedureName(), m_thread);
    m_entered = false;
    return rv;
  }

  void takeEvent() {
    const int event = ui::EVENT();
    ui::Window& w = window();
    if (event == ui::EVENT::GainFocus && ui::FIELD() == 0) {
      if (w.propInt(0, ui::Prop::Iconize)) w.setProp(0, ui::Prop::Iconize, 0);
      w.setProp(0, ui::Prop::Active, 1);
    }
    if (event == ui::EVENT::NewSelection && ui::FIELD() == m_sheet) {
      m_browse.SetSort(w.choice(m_sheet));
      m_browse.ResetSort(true);
    }
    if (event == ui::EVENT::Accepted && ui::FIELD() == m_copy) copy();
    if (event == ui::EVENT::Accepted && ui::FIELD() == m_execute) execute();
    updateCopy();
  }

 private:
  void updateCopy() { window().setProp(m_copy, ui::Prop::Disable, m_browse.Records() > 0 ? 0 : 1); }

  void copy() {
    if (m_browse.Records() == 0 || m_browse.UpdateBuffer() != Err::None) return;
    m_copySource = TRI.ID;
    m_browse.copying = true;
    (void)m_browse.Ask(ui::InsertRecord);
    m_browse.copying = false;
    m_copySource = 0;
  }

  // The chain program is not part of this system: without it the task runs here.
  void execute() {
    if (m_browse.Records() == 0 || m_browse.UpdateBuffer() != Err::None) return;
    const std::string chain = scheduler::ProgramFolder() + "OVCHAIN.EXE";
    if (rt::EXISTS(chain)) {
      if (scheduler::services().runNoWait) (void)scheduler::services().runNoWait(chain + " TASK=" + std::to_string(TRI.ID));
      return;
    }
    if (scheduler::services().runTaskProgram) (void)scheduler::services().runTaskProgram(TRI.ID, "N/A", "");
  }

  rt::Queue<TriggerRow> m_queue;
  db::ViewManager m_view;
  TriggerBrowse m_browse;
  TriggerListActions m_actions;
  ui::StepStringClass m_stepType, m_stepDescription;
  ui::StepLongClass m_stepActive;
  ui::StepLocatorClass m_typeLocator, m_activeLocator, m_descriptionLocator;
  ui::WindowPositionKeeper m_position;
  uint8_t m_one = 1;
  int32_t m_copySource = 0;
  int m_sheet = 0, m_list = 0, m_execute = 0, m_copy = 0, m_thread = 0;
  bool m_opened = false, m_entered = false;
};

ui::Level TriggerListActions::TakeEvent() {
  m_list.takeEvent();
  return ui::Level::Benign;
}

}  // namespace

std::unique_ptr<ui::WindowManager> makeUpdateTriggers() { return std::make_unique<UpdateTriggersForm>(); }
std::unique_ptr<ui::WindowManager> makeBrowseTriggers() { return std::make_unique<BrowseTriggersWindow>(); }

int UpdateTriggers(int32_t copyItemsFrom) {
  UpdateTriggersForm form(copyItemsFrom);
  return form.Run();
}

int BrowseTriggers() {
  BrowseTriggersWindow list;
  return list.Run();
}

}  // namespace ov::editors
