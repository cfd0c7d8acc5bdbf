#include "editors/task_form.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <functional>

#include "datalib/config.h"
#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "datalib/script_status.h"
#include "datalib/startup.h"
#include "editors/calendar.h"
#include "editors/explore_binding.h"
#include "editors/item_sequence.h"
#include "editors/script_items.h"
#include "editors/style_window_controls.h"
#include "editors/template_token_windows.h"
#include "editors/template_tokens.h"
#include "platform/files/view_manager.h"
#include "platform/rt/date_time.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/popup_class.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/frame_commands.h"
#include "scheduler/main_frame.h"
#include "scheduler/program_windows.h"
#include "scheduler/schedule_data.h"
#include "scheduler/services.h"
#include "scheduler/task_items.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/entry_completion_class.h"
#include "winclasses/form_wizard_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::editors {

using files::C_;
using files::M_;
using files::SCH;
using files::SCR;
using files::US;
using rt::Err;

namespace {

constexpr int32_t kSelectedTabColour = 10987431;

std::string clipped(std::string_view s) { return std::string(rt::clipView(s)); }

std::string datePicture() {
  const std::string p = clipped(files::FORMAT.DATE.view());
  return p.empty() ? "@d17" : "@" + p;
}
std::string timePicture() {
  const std::string p = clipped(files::FORMAT.TIME.view());
  return p.empty() ? "@t7" : "@" + p;
}
// The picture with its blank-when-zero mark; the user's time picture may carry it already ("t7b").
std::string blankWhenZero(std::string picture) {
  if (picture.find_first_of("bB", 1) == std::string::npos) picture += 'b';
  return picture;
}

std::string mainIni() { return clipped(files::INI.FILENAME.view()); }

void postToFrame(int event) {
  if (scheduler::services().post)
    scheduler::services().post(event, scheduler::kFrameThread);
  else
    ui::POST(event, 0, scheduler::kFrameThread);
}

// Rows of the "Script" page.
struct ScriptRow {
  rt::String<27> Action;
  rt::String<80> Summary;
  int32_t ID = 0;
  int32_t Sequence = 0;
};
const rt::FieldDesc kScriptRowFields[] = {
    {"SCR:Action", rt::FieldType::String, 27, 0, offsetof(ScriptRow, Action)},
    {"LOC:Summary", rt::FieldType::String, 80, 0, offsetof(ScriptRow, Summary)},
    {"SCR:ID", rt::FieldType::Long, 4, 0, offsetof(ScriptRow, ID)},
    {"SCR:Sequence", rt::FieldType::Long, 4, 0, offsetof(ScriptRow, Sequence)},
};
const rt::RecordDesc kScriptRow{"ScriptRow", kScriptRowFields, sizeof(ScriptRow)};

// The script page's list reads the task's items through a browse; the details are made per row.
class TaskScriptBrowse : public ui::BrowseClass {
 public:
  explicit TaskScriptBrowse(rt::Queue<ScriptRow>& rows) : m_rows(rows) {}
  void SetQueueRecord() override {
    ui::BrowseClass::SetQueueRecord();
    std::string summary = files::SCRIPTSTATUS(SCR);
    summary.resize(rt::utf8CutLength(summary, 80));
    m_rows.buf.Summary = summary;
  }

 private:
  rt::Queue<ScriptRow>& m_rows;
};

// Rows of the "Users" page.
struct UserRow {
  rt::String<40> User;
};
const rt::FieldDesc kUserRowFields[] = {{"U_:User", rt::FieldType::String, 40, 0, offsetof(UserRow, User)}};
const rt::RecordDesc kUserRow{"UserRow", kUserRowFields, sizeof(UserRow)};

struct TaskUserRow {
  rt::String<40> User;
  int32_t Date = 0;
  int32_t Time = 0;
};
const rt::FieldDesc kTaskUserRowFields[] = {
    {"US:User", rt::FieldType::String, 40, 0, offsetof(TaskUserRow, User)},
    {"US:Date", rt::FieldType::Long, 4, 0, offsetof(TaskUserRow, Date)},
    {"US:Time", rt::FieldType::Long, 4, 0, offsetof(TaskUserRow, Time)},
};
const rt::RecordDesc kTaskUserRow{"TaskUserRow", kTaskUserRowFields, sizeof(TaskUserRow)};

class UpdateScheduleForm;

class TaskFile : public ui::UpdateFile {
 public:
  explicit TaskFile(UpdateScheduleForm& form) : m_form(form) {}
  Err PrimeRecord(bool keepBuffer) override { return files::Access_SCHEDULE.PrimeRecord(keepBuffer); }
  Err Insert() override;
  Err Change() override;
  Err Delete() override;
  void CancelAutoInc() override;
  void Watch(bool on) override {
    if (on)
      (void)files::SCHEDULE.watch();
    else
      files::SCHEDULE.unwatch();
  }

 private:
  UpdateScheduleForm& m_form;
};


class UpdateScheduleForm : public ui::WindowManager {
 public:
  UpdateScheduleForm() : ui::WindowManager("UpdateSchedule"), m_file(*this) {}

  bool emailTask() const { return isEmailCommand(SCH.Command.view()) && SCH.TaskType == "Run Program"; }
  int32_t sourceId() const { return m_sourceId; }
  int32_t newId() const { return m_newId; }

  ui::Level Init() override {
    // Refresh broadcasts stay away from the list behind the form while it is open.
    m_caller = ui::THREAD();
    auto& threads = scheduler::RegisteredThreads();
    if (auto it = std::find(threads.begin(), threads.end(), m_caller); it != threads.end()) {
      threads.erase(it);
      m_callerRegistered = true;
    }
    int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (request == 0) request = ui::InsertRecord;
    m_sourceId = TaskFormSourceID();
    TaskFormSourceID() = 0;
    const std::string startDate = TaskFormStartDate().str();
    TaskFormStartDate() = "";
    std::string preset = scheduler::PresetTaskType().str();
    if (!openFiles()) return ui::Level::Fatal;

    if (preset == "Reschedule") {
      m_wizard = m_reschedule = true;
      preset.clear();
      scheduler::PresetTaskType() = "";
      if (!reserveNumber()) return cancelled();
      m_newId = SCH.ID;
      linkItems(true);
    }
    // Started on a thread of its own (the frame's "New ..." commands) no caller left a task in
    // the buffer: whatever is there belongs to another window.
    if (isStarted() && !m_reschedule) request = ui::InsertRecord;
    if (!preset.empty() || (isStarted() && !m_reschedule)) {
      SCH = files::ScheduleRec{};
      M_ = files::MessageRec{};
    }
    m_viewOnly = request == ui::ViewRecord;
    m_deleting = request == ui::DeleteRecord;
    Request = m_viewOnly ? ui::ChangeRecord : request;
    if (scheduler::services().passwordValidation && !scheduler::services().passwordValidation()) {
      if (m_newId) discardNewTask(m_newId);
      return cancelled();
    }
    AddUpdateFile(m_file);
    if (Request == ui::InsertRecord && !prime(preset, startDate)) return cancelled();
    // Only a number reserved for this new task is given back on cancel, with its items; a
    // number the buffer merely carried may belong to a stored task.
    if (Request == ui::InsertRecord && (m_primed || files::Access_SCHEDULE.hasReservation())) m_newId = SCH.ID;
    if (emailTask()) fetchMessage();
    declareWindow();
    fillScriptList();
    fillUserLists();
    Open();
    m_scriptBinding.Opened();
    afterOpen();
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_viewOnly || m_deleting) readOnly();
  }

  // Some fields have a control on two pages (the "Event" and "Scheduling" dates, the message on
  // "Task Basics" and on "Message", the HTML and text file names); only one of each pair is on a
  // page that is not hidden, and only that one is read. The other then shows the same value.
  void Update() override {
    ui::Window& w = window();
    if (!w.isOpen()) return;
    const int pairs[] = {m_eventDate, m_eventTime,   m_eventSkip,  m_eventWarnDate, m_eventWarnTime,
                         m_startDate, m_startTime,   m_skip,       m_warnDate,      m_warnTime,
                         m_message,   m_basicsMessage, m_htmlFile, m_textFile};
    for (int feq : w.fields()) {
      ui::Control* c = w.control(feq);
      if (!c || !c->takesInput()) continue;
      if (std::find(std::begin(pairs), std::end(pairs), feq) != std::end(pairs) && hiddenOnForm(feq)) continue;
      (void)c->update();
    }
    w.display();
  }

  // Viewed or about to be deleted: nothing on the form changes the task or its items, and a
  // viewed task is not stored again.
  void readOnly() {
    StyleWindowControls(*this, m_deleting);
    for (int feq : {m_chooseProgram, m_chooseFolder, m_scripting, m_newItem, m_newQuick, m_copyItem, m_editItem,
                    m_deleteItem, m_moveUp, m_moveTop, m_moveDown, m_moveBottom, m_template, m_editText, m_import,
                    m_export, m_clear, m_contact, m_except, m_browseWav, m_removeUser, m_editUser, m_selectContact,
                    m_selectCategory, m_mergeButton, m_attach, m_htmlButton, m_textFileButton})
      enable(feq, false);
    if (m_viewOnly) enable(OkControl, false);
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_back || feq == m_next) {
      Update();
      // Next leaves a page only once its required fields are filled.
      if (feq == m_next && incomplete(true)) return ui::Level::Notify;
      const int32_t was = m_steps.CURTABNUM;
      m_steps.TakeAccepted();
      if (m_steps.CURTABNUM != was) {
        // The focus leaves the page first, or the sheet would follow it back there; then it goes
        // to the new page's first field, so that typing lands there and Enter goes on to the next
        // page (or finishes), never on Cancel, which would throw away the new task.
        window().select(CancelControl);
        window().setProp(m_sheet, ui::Prop::Selected, m_steps.CURTABNUM);
        window().select(firstFieldOfPage());
      }
      refreshLists();
      return ui::Level::Notify;
    }
    if (feq == OkControl && !isAcceptAllPass()) {
      if (!m_deleting && !okChecks()) return ui::Level::Notify;
      return ui::WindowManager::TakeAccepted();
    }
    if (feq == CancelControl || feq == OkControl) return ui::WindowManager::TakeAccepted();
    if (isAcceptAllPass()) {
      // The OK pass: the defaults that follow from a field, without its messages.
      if (feq == m_description || feq == m_message || feq == m_basicsMessage || feq == m_command) fieldDefaults(feq);
      return ui::WindowManager::TakeAccepted();
    }
    Update();
    if (takeField(feq) || takeButton(feq) || takeScriptButton(feq) || takeMailField(feq))
      return ui::Level::Notify;
    return ui::WindowManager::TakeAccepted();
  }

  // A message field entered with a blank message takes the description; the WAV field its last
  // used file.
  ui::Level TakeSelected() override {
    const int feq = ui::FIELD();
    // The box as shown counts too: keys typed before this event came are the user's message.
    const ui::Control* box = window().control(feq);
    if ((feq == m_message || feq == m_basicsMessage) && SCH.Message.isBlank() && !SCH.Description.isBlank() &&
        box && rt::clipView(box->screenText()).empty()) {
      SCH.Message = SCH.Description.view();
      window().display(feq);
    } else if (feq == m_alarmFile && !m_viewOnly && !m_deleting) {
      lastWavFile(true);
    }
    return ui::WindowManager::TakeSelected();
  }

  ui::Level TakeNewSelection() override {
    const int feq = ui::FIELD();
    if (feq == m_sheet) {
      m_tabs.ColourTabs();
      const int tab = chosenTab();
      if (tab == m_scriptTab && !m_viewOnly && !m_deleting) {
        if (SCH.Command.isBlank()) SCH.Command = "N/A";
        if (SCH.Description.isBlank()) SCH.Description = "Script " + files::FMTDATE(rt::TODAY());
        window().display();
        renewCaption();
      }
      if (m_viewOnly || m_deleting) {
        window().select(CancelControl);
      } else if (tab == m_scriptTab) {
        updateScriptButtons();  // the list has read its items by now
        window().select(m_scriptList);
      }
    }
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level TakeEvent() override {
    if (m_completing) m_categoryCompletion.TakeEvent();
    return ui::WindowManager::TakeEvent();
  }

  // The script list: an item dragged onto another row takes its place; the right button opens
  // the list's menu.
  ui::Level TakeFieldEvent() override {
    if (ui::FIELD() == m_scriptList && !m_viewOnly && !m_deleting) {
      if (ui::EVENT() == ui::EVENT::Drop) {
        dropItem();
        return ui::Level::Notify;
      }
    }
    return ui::WindowManager::TakeFieldEvent();
  }

  ui::Level TakeCompleted() override {
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted) postToFrame(scheduler::kEventRefreshAll);
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    if (Response == 0) Response = ui::RequestCancelled;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    m_tabs.Kill();
    m_steps.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (Response == ui::RequestCancelled && Opened) postToFrame(kEventTaskFormCancelled);
    if (m_newId != 0 && Response != ui::RequestCompleted) discardNewTask(m_newId);
    m_newId = 0;
    closeFiles();
    if (m_callerRegistered) scheduler::RegisteredThreads().push_back(m_caller);
    m_callerRegistered = false;
    return rv;
  }

  // Completion before the write: defaults and the exception rules, a rescheduled task's one
  // occurrence (asked once: after a failed write the check on the form is already cleared).
  void complete(TaskStore& store) {
    scheduler::PrepareTaskRecord();
    if (m_reschedule) {
      SCH.ScheduleType = "Once";
      if (SCH.SkipNextTime) m_skipSource = true;
      SCH.SkipNextTime = 0;
      store.skipSource = m_skipSource;
    }
  }

  // After the write: the category remembered for the next task of the type, the service
  // program's stamp.
  void stored() {
    files::PUTCONFIG("OVCAT" + SCH.TaskType.str(), SCH.Category.str());
    if (rt::EXISTS("OVNT.EXE"))
      (void)rt::PUTINI("Main", "Last Update",
                       rt::FORMAT(rt::TODAY(), "@d17") + " " + rt::FORMAT(rt::CLOCK(), "@t4"), "./OVNT.INI");
  }

  void reportFailure(const std::string& failure) {
    if (failure == "Could not add message to database.")
      ui::MESSAGE(failure, "Error", ui::Icon::Exclamation);
    else if (!failure.empty())
      ui::MESSAGE("The task was not stored:|" + failure + "|Nothing was changed.", "Error", ui::Icon::Exclamation);
  }

  // The mail settings of an e-mail task remembered for the next message of its type.
  void rememberMailValues() {
    const std::string type = M_.MailType.str();
    std::string value;
    if (type == "Mail Merge" || type == "Mail Script")
      value = M_.MergeFile.str();
    else if (type == "Mass Mailing")
      value = M_.EmailToGroup.str();
    else
      value = M_.EmailTo.str();
    if (!value.empty()) files::PUTCONFIG(lastValueKey(type), value);
  }

  void forgetReservation() { m_newId = 0; }

 private:
  ui::Level cancelled() {
    Response = ui::RequestCancelled;
    return ui::Level::Notify;
  }

  bool openFiles() {
    for (db::RelationManager* r : {&files::Relate_SCHEDULE, &files::Relate_MESSAGES, &files::Relate_CONTACT,
                                   &files::Relate_CONTACTCATEGORIES, &files::Relate_CATEGORIES,
                                   &files::Relate_HOLIDAYS, &files::Relate_USERS, &files::Relate_OVUSD,
                                   &files::Relate_SCRIPTING}) {
      if (r->Open() != Err::None) return false;
      m_opened.push_back(r);
    }
    return true;
  }
  void closeFiles() {
    for (auto it = m_opened.rbegin(); it != m_opened.rend(); ++it) (void)(*it)->Close();
    m_opened.clear();
  }

  // The script items of the task copied from (reschedule, copy) come with the new task.
  void linkItems(bool rescheduling) {
    if (m_sourceId != 0 && m_newId != 0) {
      if (m_sourceId == m_newId)
        ui::MESSAGE("Schedule IDs should not match.", "Internal Error", ui::Icon::Hand);
      else
        (void)scheduler::copyScriptItems(m_sourceId, m_newId);
      return;
    }
    if (rescheduling) {
      (void)scheduler::CheckScheduleLink("new task", m_newId);
      (void)scheduler::CheckScheduleLink("original task", m_sourceId);
    } else if (m_newId == 0) {
      ui::MESSAGE("Unassigned new schedule ID.", "Internal Error", ui::Icon::Hand);
    } else {
      ui::MESSAGE("Unassigned original schedule ID.", "Internal Error", ui::Icon::Hand);
    }
  }

  // Numbers the task in SCH as a new one. The number is reserved with a blank record, which the
  // scheduler passes over (it has no date), not with a copy of the task, which it would perform
  // while the form is still open.
  bool reserveNumber() {
    const files::ScheduleRec task = SCH;
    if (files::Access_SCHEDULE.PrimeRecord(false) != Err::None) return false;
    m_primed = true;
    const int32_t id = SCH.ID;
    SCH = task;
    SCH.ID = id;
    return true;
  }

  bool prime(const std::string& preset, const std::string& startDate) {
    if (!SCH.ScheduleType.isBlank()) {
      // A copy of the task the caller left in the buffer, or the reschedule primed above.
      if (!m_reschedule) {
        m_copy = true;
        if (!reserveNumber()) return false;
      }
    } else {
      if (!preset.empty()) {
        m_wizard = true;
        if (files::Access_SCHEDULE.PrimeRecord(false) != Err::None) {
          ui::MESSAGE("The wizard was not able to initialize a task record in the database.", "Error",
                      ui::Icon::Hand);
          return false;
        }
        m_primed = true;
        const WizardKind kind = wizardKind(preset);
        SCH.TaskType = kind.taskType;
        m_scriptWizard = kind.scriptWizard;
        if (kind.email) {
          SCH.Command = "OVEMAIL";
          SCH.Description = "E-mail " + rt::FORMAT(rt::TODAY(), "@d17");
          M_.MailType = "E-mail";
          M_.MailFormat = "Text";
        }
        scheduler::PresetTaskType() = "";
      } else if (SCH.ID == 0) {
        if (files::Access_SCHEDULE.PrimeRecord(false) != Err::None) return false;
        m_primed = true;
        SCH.TaskType = "Both";
      }
      primeNewTaskSchedule(SCH, rt::TODAY(), rt::CLOCK(), startDate);
      SCH.Category = files::GETCONFIG("OVCAT" + SCH.TaskType.str());
      if (SCH.Category.isBlank()) {
        files::CATEGORIES.clear();
        if (files::CATEGORIES.set() == Err::None && files::CATEGORIES.next() == Err::None)
          SCH.Category = files::CAT.Category.view();
        // No categories yet: the form shows the category the task is stored under.
        if (SCH.Category.isBlank()) SCH.Category = "General";
      } else {
        m_skipFirst = true;
      }
    }
    SCH.Completed = SCH.AdvanceWarned = SCH.Disabled = 0;
    return true;
  }

  void fetchMessage() {
    const int32_t id = emailIdOfCommand(SCH.Command.view());
    if (id <= 0) return;
    M_.EmailID = id;
    if (files::Access_MESSAGES.TryFetch(files::M_KeyEmailID) != Err::None) M_.EmailID = 0;
  }

  void declareWindow() {
    ui::Window& w = window();
    w.at(-1, -1, 380, 252).minSize(365, 178).resizable();
    w.setProp(0, ui::Prop::Icon, "datecard.ico");
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 372, 222).feq();
    const std::string dp = datePicture(), tp = timePicture();

    // Event (reschedule only).
    m_eventTab = w.tab("?Tab:Event", "Event", m_sheet).feq();
    int y = 10;
    for (const char* line :
         {"Rescheduling...", "This is useful when the day a task is normally scheduled is a holiday, or",
          "must be changed temporarily because of some other special event.",
          "This wizard copies an existing task to create a special event.",
          "You may modify any of the information in addition to setting the special", "event date and time."}) {
      w.string("", line).at(10, y, 350, 10).on(m_eventTab);
      y += 11;
    }
    w.prompt("?EventDate:Prompt", "N&ext occurrence:").at(10, 86, 70, 10).on(m_eventTab);
    m_eventDate = w.entry("?SCH:Date:Event", dp).at(84, 86, 70, 12).use(SCH.Date).on(m_eventTab).feq();
    m_eventDateButton = w.button("?EventDateButton", "...").at(156, 86, 14, 12).on(m_eventTab).feq();
    w.prompt("?EventTime:Prompt", "&Time:").at(180, 86, 30, 10).on(m_eventTab);
    m_eventTime = w.entry("?SCH:Time:Event", tp).at(212, 86, 60, 12).use(SCH.Time).on(m_eventTab).feq();
    m_eventSkip = w.check("?SCH:SkipNextTime:Event", "&Skip next regular occurrence of this task")
                      .at(10, 104, 250, 10).use(SCH.SkipNextTime).on(m_eventTab).feq();
    w.prompt("?EventWarn:Prompt", "&Advance warning:").at(10, 120, 70, 10).on(m_eventTab);
    m_eventWarnDate = w.entry("?SCH:AdvanceWarnDate:Event", dp).at(84, 120, 70, 12).use(SCH.AdvanceWarnDate).on(m_eventTab).feq();
    m_eventWarnButton = w.button("?EventWarnButton", "...").at(156, 120, 14, 12).on(m_eventTab).feq();
    w.prompt("?EventWarnTime:Prompt", "Time:").at(180, 120, 30, 10).on(m_eventTab);
    m_eventWarnTime = w.entry("?SCH:AdvanceWarnTime:Event", blankWhenZero(tp)).at(212, 120, 60, 12).use(SCH.AdvanceWarnTime).on(m_eventTab).feq();

    // Task Basics.
    m_basicsTab = w.tab("?Tab:Basics", "Task Basics", m_sheet).feq();
    m_wizardPicture = w.image("?WizardPicture", "").at(300, 10, 60, 60).hidden().on(m_basicsTab).feq();
    m_basicsHeading = w.string("?BasicsHeading", "").at(10, 6, 200, 10).hidden().on(m_basicsTab).feq();
    m_typeText = w.string("?TaskTypeText", "Select the basic type of task to perform.").at(10, 10, 250, 10).on(m_basicsTab).feq();
    m_taskType = w.option("?SCH:TaskType", "Task Type").at(10, 22, 280, 24).use(SCH.TaskType).on(m_basicsTab).feq();
    w.radio("?SCH:TaskType:Program", "&Start Program", m_taskType).value("Run Program").at(16, 32, 64, 10);
    w.radio("?SCH:TaskType:Message", "Display &Message", m_taskType).value("Display Message").at(84, 32, 70, 10);
    w.radio("?SCH:TaskType:Both", "&Both", m_taskType).value("Both").at(160, 32, 40, 10);
    w.radio("?SCH:TaskType:None", "&None", m_taskType).value("None").at(206, 32, 40, 10);
    m_categoryPrompt = w.prompt("?SCH:Category:Prompt", "&Category:").at(10, 54, 50, 10).on(m_basicsTab).feq();
    m_category = w.dropCombo("?SCH:Category", categoryList()).at(64, 54, 120, 12).use(SCH.Category).on(m_basicsTab).feq();
    m_descriptionPrompt = w.prompt("?SCH:Description:Prompt", "&Description:").at(10, 72, 50, 10).on(m_basicsTab).feq();
    m_description = w.entry("?SCH:Description", "@s40").at(64, 72, 220, 12).use(SCH.Description).on(m_basicsTab).feq();
    m_basicsMessagePrompt = w.prompt("?SCH:Message:Basics:Prompt", "&Message:").at(10, 90, 50, 10).hidden().on(m_basicsTab).feq();
    m_basicsMessage = w.textBox("?SCH:Message:Basics").at(64, 90, 290, 90).use(SCH.Message).hidden().on(m_basicsTab).feq();

    // Program.
    m_programTab = w.tab("?Tab:Program", "Program", m_sheet).feq();
    m_commandPrompt = w.prompt("?SCH:Command:Prompt",
                               "&Program or document to start (include command-line parameters if necessary):")
                          .at(10, 10, 340, 10).on(m_programTab).feq();
    m_command = w.entry("?SCH:Command", "@s255").at(10, 22, 320, 12).use(SCH.Command).on(m_programTab).feq();
    m_chooseProgram = w.button("?ChooseProgram", "...").tip("Choose a program to start").at(334, 22, 16, 12).on(m_programTab).feq();
    m_pathPrompt = w.prompt("?SCH:Path:Prompt", "Folder to start program or document &in:").at(10, 40, 200, 10).on(m_programTab).feq();
    m_path = w.entry("?SCH:Path", "@s255").at(10, 52, 300, 12).use(SCH.Path).on(m_programTab).feq();
    m_chooseFolder = w.button("?ChooseFolder", "Folder").at(314, 52, 36, 12).on(m_programTab).feq();
    m_useScripting = w.check("?UseScripting", "Use scripting on this task").at(10, 72, 150, 10).use(m_useScriptingValue).hidden().on(m_programTab).feq();
    m_scripting = w.button("?Scripting", "&Scripting").at(10, 88, 50, 14).on(m_programTab).feq();
    w.string("", "<- Press this to send keystrokes or perform").at(66, 88, 200, 10).on(m_programTab);
    w.string("", "other advanced commands").at(66, 98, 200, 10).on(m_programTab);
    w.string("", "TIP:  If you just want to use scripting, enter \"N/A\" as the command above.").at(10, 116, 340, 10).on(m_programTab);

    // Script.
    m_scriptTab = w.tab("?Tab:Script", "Script", m_sheet).feq();
    w.string("?ScriptHeading", "Perform Script Actions...").at(10, 6, 200, 10).on(m_scriptTab);
    m_scriptList = w.add<ui::ListControl>(0, "?ST:Browse:1")
                       .from(m_scriptRows, kScriptRow)
                       .format("80L(2)|M~Action~@s20@200L(2)|M~Details~@s80@")
                       .at(10, 20, 280, 150)
                       .on(m_scriptTab)
                       .feq();
    w.setProp(m_scriptList, ui::Prop::DragId, "ScriptItems");
    // An explorer list: sorted by any column, its layout kept under "?ST:Browse:1".
    m_scriptBrowse.Init(m_scriptList, m_scriptView, *this);
    m_scriptBrowse.AddSortOrder(&m_scriptStep, files::SCR_KeyID);
    m_scriptBrowse.AddRange("SCR:ID", ui::Binding(m_scriptTask));
    m_scriptLocator.Init("SCR:Sequence");
    m_scriptBrowse.AddLocator(m_scriptLocator);
    m_scriptExplorer.columns = {
        {"SCR:Action", 108, "Action", "@s20", "Action", 'L', true, false, false, true},
        {"LOC:Summary", 99, "LOC:Summary", "@S20", "LOC:Summary", 'L', false, false, false, false},
        {"SCR:ID", 52, "ID", "@n13", "Schedule ID", 'R', false, false, false, true},
        {"SCR:Sequence", 52, "Sequence", "@n13", "Sequence", 'R', false, false, false, true},
    };
    m_scriptExplorer.ranges = {{"SCR:ID", ui::Binding(m_scriptTask)}};
    m_scriptBinding.Bind(*this, m_scriptBrowse, m_scriptQuery, m_scriptExplorer, m_scriptState, ".\\POSITION.INI",
                         ">Header", "?ST:Browse:1");
    m_scriptBinding.rowPopup = [this] {
      if (!m_viewOnly && !m_deleting) (void)m_scriptMenu.Ask();
    };
    AddItem(m_scriptBrowse);
    int by = 20;
    auto scriptButton = [&](const char* name, const char* text, const char* tip) {
      const int feq = w.button(name, text).tip(tip).at(296, by, 60, 12).on(m_scriptTab).feq();
      by += 13;
      return feq;
    };
    m_newItem = scriptButton("?NewItem", "&New", "Add a script item");
    m_newQuick = w.button("?NewQuick", "v").at(358, 20, 10, 12).on(m_scriptTab).feq();
    m_copyItem = scriptButton("?CopyItem", "Cop&y", "Copy the highlighted script item");
    m_editItem = scriptButton("?EditItem", "&Edit", "");
    m_deleteItem = scriptButton("?DeleteItem", "&Delete", "");
    m_moveUp = scriptButton("?MoveUp", "Up", "Move record up one");
    m_moveTop = scriptButton("?MoveTop", "Top", "Move record to the top");
    m_moveDown = scriptButton("?MoveDown", "Down", "Move record down one");
    m_moveBottom = scriptButton("?MoveBottom", "Bottom", "Move record to the bottom");
    m_template = scriptButton("?Template", "&Template", "");
    m_editText = scriptButton("?EditAsText", "Edit as Te&xt", "");
    m_import = w.button("?ImportScript", "&Import").at(10, 176, 40, 12).on(m_scriptTab).feq();
    m_export = w.button("?ExportScript", "E&xport").at(54, 176, 40, 12).on(m_scriptTab).feq();
    m_clear = w.button("?ClearScript", "Clear").tip("Clear all script items").at(98, 176, 40, 12).on(m_scriptTab).feq();
    m_print = w.button("?PrintScript", "&Print").tip("Print all script items for the current task").at(142, 176, 40, 12).on(m_scriptTab).feq();

    // Message.
    m_messageTab = w.tab("?Tab:Message", "Message", m_sheet).feq();
    w.string("", "Message to display...").at(10, 6, 200, 10).on(m_messageTab);
    m_contact = w.button("?MessageContact", "...").tip("Select contact information to include in the message").at(330, 6, 20, 12).on(m_messageTab).feq();
    m_messagePrompt = w.prompt("?SCH:Message:Prompt", "&Message:").at(10, 20, 50, 10).on(m_messageTab).feq();
    m_message = w.textBox("?SCH:Message").at(10, 32, 350, 150).use(SCH.Message).on(m_messageTab).feq();

    declareMailPages(w);

    // Scheduling.
    m_schedulingTab = w.tab("?Tab:Scheduling", "Scheduling", m_sheet).feq();
    m_schedulingText = w.group("?SchedulingWizardText", "").at(250, 4, 110, 22).hidden().on(m_schedulingTab).feq();
    w.string("", "When and how often this").at(252, 6, 100, 9).on(m_schedulingText);
    w.string("", "task will be performed.").at(252, 15, 100, 9).on(m_schedulingText);
    m_scheduleType = w.option("?SCH:ScheduleType", "&Perform").at(6, 6, 80, 84).use(SCH.ScheduleType).on(m_schedulingTab).feq();
    int ry = 16;
    for (auto [text, value] : {std::pair{"Once", "Once"}, {"Day of Week", "Day of Week"}, {"Day of Month", "Day of Month"},
                               {"Monthly", "Monthly"}, {"Yearly", "Yearly"}, {"Every...", "Custom"}}) {
      w.radio(std::string("?SCH:ScheduleType:") + value, text, m_scheduleType).value(value).at(10, ry, 70, 10);
      ry += 12;
    }
    m_everyGroup = w.group("?EveryGroup", "&Every...").at(90, 6, 150, 84).on(m_schedulingTab).feq();
    const char* ordinals[] = {"1st", "2nd", "3rd", "4th", "Last"};
    uint8_t* ordinalFields[] = {&SCH.Every1st, &SCH.Every2nd, &SCH.Every3rd, &SCH.Every4th, &SCH.EveryLast};
    for (int i = 0; i < 5; ++i)
      m_ordinals[i] = w.check(std::string("?SCH:Every") + ordinals[i], ordinals[i]).at(94 + 28 * (i % 5), 16, 28, 10)
                          .use(*ordinalFields[i]).on(m_everyGroup).feq();
    m_monthEnd = w.check("?SCH:LastDayOfMonth", "Month End").at(94, 28, 60, 10).use(SCH.LastDayOfMonth).on(m_everyGroup).feq();
    const char* days[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    for (int i = 0; i < 7; ++i)
      m_days[i] = w.check(std::string("?SCH:") + days[i], days[i]).at(94 + 72 * (i % 2), 40 + 10 * (i / 2), 70, 10)
                      .use(SCH.dayOfWeek(i)).on(m_everyGroup).feq();
    m_everyPrompt = w.prompt("?SCH:Every:Prompt", "Every:").at(94, 16, 30, 10).on(m_everyGroup).feq();
    m_every = w.entry("?SCH:Every", "@n6").at(126, 16, 40, 12).use(SCH.Every).on(m_everyGroup).feq();
    m_interval = w.option("?SCH:EveryType", "Interval").at(94, 30, 140, 56).use(SCH.EveryType).on(m_everyGroup).feq();
    int iy = 40;
    for (const char* unit : {"minute(s)", "hour(s)", "day(s)", "week(s)", "month(s)", "year(s)"}) {
      w.radio(std::string("?SCH:EveryType:") + unit, unit, m_interval).value(unit).at(98 + 66 * ((iy - 40) / 30 % 2), iy - 30 * ((iy - 40) / 30), 64, 10);
      iy += 10;
    }
    m_repeat = w.option("?SCH:MonthRepeat", "Repeat").at(94, 16, 140, 40).use(SCH.MonthRepeat).on(m_everyGroup).feq();
    ry = 26;
    for (const char* repeat : {"Once", "Twice - 1st, 15th", "Twice - 15th, Last"}) {
      w.radio(std::string("?SCH:MonthRepeat:") + repeat, repeat, m_repeat).value(repeat).at(98, ry, 120, 10);
      ry += 10;
    }
    m_offsetPrompt = w.prompt("?SCH:Offset:Prompt", "Days to Offset:").at(94, 60, 56, 10).on(m_everyGroup).feq();
    m_offset = w.entry("?SCH:Offset", "@n-7b").at(152, 60, 36, 12).use(SCH.Offset).on(m_everyGroup).feq();
    m_tips = w.button("?Tips", "&Tips").at(192, 60, 36, 12).on(m_everyGroup).feq();
    m_except = w.button("?Except", "E&xcept").at(246, 30, 50, 14).on(m_schedulingTab).feq();
    w.prompt("?SCH:Date:Prompt", "&Start:").at(6, 98, 60, 10).on(m_schedulingTab);
    m_startDate = w.entry("?SCH:Date", dp).at(70, 98, 70, 12).use(SCH.Date).on(m_schedulingTab).feq();
    m_startButton = w.button("?StartDateButton", "...").at(142, 98, 14, 12).on(m_schedulingTab).feq();
    m_startTimePrompt = w.prompt("?SCH:Time:Prompt", "&Time:").at(164, 98, 30, 10).on(m_schedulingTab).feq();
    m_startTime = w.entry("?SCH:Time", tp).at(196, 98, 60, 12).use(SCH.Time).on(m_schedulingTab).feq();
    m_skip = w.check("?SCH:SkipNextTime", "&Skip next regular occurrence").at(262, 98, 110, 10).use(SCH.SkipNextTime).on(m_schedulingTab).feq();
    w.prompt("?SCH:ExpiryDate:Prompt", "&End (blank=never):").at(6, 116, 64, 10).on(m_schedulingTab);
    m_expiryDate = w.entry("?SCH:ExpiryDate", dp).at(70, 116, 70, 12).use(SCH.ExpiryDate).on(m_schedulingTab).feq();
    m_expiryButton = w.button("?ExpiryDateButton", "...").at(142, 116, 14, 12).on(m_schedulingTab).feq();
    w.prompt("?SCH:ExpiryTime:Prompt", "Time:").at(164, 116, 30, 10).on(m_schedulingTab);
    m_expiryTime = w.entry("?SCH:ExpiryTime", blankWhenZero(tp)).at(196, 116, 60, 12).use(SCH.ExpiryTime).on(m_schedulingTab).feq();
    w.prompt("?SCH:AdvanceWarnDate:Prompt", "&Advance warning:").at(6, 134, 64, 10).on(m_schedulingTab);
    m_warnDate = w.entry("?SCH:AdvanceWarnDate", dp).at(70, 134, 70, 12).use(SCH.AdvanceWarnDate).on(m_schedulingTab).feq();
    m_warnButton = w.button("?WarnDateButton", "...").at(142, 134, 14, 12).on(m_schedulingTab).feq();
    w.prompt("?SCH:AdvanceWarnTime:Prompt", "Time:").at(164, 134, 30, 10).on(m_schedulingTab);
    m_warnTime = w.entry("?SCH:AdvanceWarnTime", blankWhenZero(tp)).at(196, 134, 60, 12).use(SCH.AdvanceWarnTime).on(m_schedulingTab).feq();
    m_lastRun = w.group("?LastPerformed", "").at(6, 150, 250, 14).on(m_schedulingTab).feq();
    w.string("", "Last performed:").at(8, 152, 60, 10).on(m_lastRun);
    w.sstring("?SCH:LastRunDate", dp).at(70, 152, 70, 10).use(SCH.LastRunDate).on(m_lastRun);
    w.sstring("?SCH:LastRunTime", blankWhenZero(tp)).at(146, 152, 60, 10).use(SCH.LastRunTime).on(m_lastRun);

    // Users.
    m_usersTab = w.tab("?Tab:Users", "Users", m_sheet).feq();
    m_allUsers = w.add<ui::ListControl>(0, "?AllUsers").from(m_userRows, kUserRow).format("120L(2)|M~All Users~@s40@")
                     .at(10, 10, 130, 150).on(m_usersTab).feq();
    m_taskUsers = w.add<ui::ListControl>(0, "?TaskUsers")
                      .from(m_taskUserRows, kTaskUserRow)
                      .format("100L(2)|M~Users for this Task~@s40@60L(2)|M~Date~" + dp + "@40L(2)|M~Time~" + tp + "@")
                      .at(170, 10, 190, 150).on(m_usersTab).feq();
    m_removeUser = w.button("?RemoveUser", "<<").at(146, 60, 20, 14).on(m_usersTab).feq();
    m_editUser = w.button("?EditUser", "&Edit").at(170, 166, 40, 14).on(m_usersTab).feq();

    // Options / Alarm.
    m_optionsTab = w.tab("?Tab:Options", "Options / Alarm", m_sheet).feq();
    const int alarm = w.group("?AlarmGroup", "Alarm").at(6, 6, 360, 40).on(m_optionsTab).feq();
    m_alarm = w.check("?SCH:Alarm", "Alarm").tip("Play a WAV file as an alarm").at(12, 16, 40, 10).use(SCH.Alarm).on(alarm).feq();
    m_alarmPrompt = w.prompt("?SCH:AlarmFile:Prompt", "WAV File to Play:").at(60, 16, 70, 10).on(alarm).feq();
    m_alarmFile = w.entry("?SCH:AlarmFile", "@s255").at(60, 28, 200, 12).use(SCH.AlarmFile).on(alarm).feq();
    m_browseWav = w.button("?BrowseWav", "Browse").at(264, 28, 40, 12).on(alarm).feq();
    m_playWav = w.button("?PlayWav", "&Play").tip("Let's hear it!").at(308, 28, 40, 12).on(alarm).feq();
    w.check("?SCH:Warn", "&Warn if not run on specified date").at(12, 52, 250, 10).use(SCH.Warn).on(m_optionsTab);
    w.check("?SCH:SkipIfMissed", "&Skip if not run at specified time (+/- 10 minutes)").at(12, 64, 250, 10).use(SCH.SkipIfMissed).on(m_optionsTab);
    w.check("?SCH:UserSkip", "&Before performing task, give option to skip").at(12, 76, 250, 10).use(SCH.UserSkip).on(m_optionsTab);
    w.check("?SCH:SkipIfScriptActive", "Skip if a script is &running").at(12, 88, 250, 10).use(SCH.SkipIfScriptActive).on(m_optionsTab);
    w.check("?SCH:NoHistory", "No &History").tip("Do not show history (remove when completed)").at(12, 100, 250, 10).use(SCH.NoHistory).on(m_optionsTab);
    w.check("?SCH:Disabled", "&Disable").tip("Do not perform this task").at(12, 112, 250, 10).use(SCH.Disabled).on(m_optionsTab);
    m_optionsText = w.group("?OptionsWizardText", "").at(6, 128, 360, 40).hidden().on(m_optionsTab).feq();
    w.string("", "Finally, here are some advanced features you may wish to use...").at(10, 130, 300, 10).on(m_optionsText);
    w.string("", "Special options affecting").at(10, 142, 200, 10).on(m_optionsText);
    w.string("", "how to perform this task.").at(10, 152, 200, 10).on(m_optionsText);
    w.string("?TaskId", "Task " + std::to_string(SCH.ID)).at(250, 152, 100, 10).on(m_optionsText);

    m_back = w.button("?Back", "&Back").at(188, 232, 45, 14).feq();
    m_next = w.button("?Next", "&Next").at(236, 232, 45, 14).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(284, 232, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(332, 232, 45, 14).feq();
    // The pages' contents lie below the tab row.
    for (int feq : w.allControls()) {
      const ui::Control* c = w.control(feq);
      if (!c || c->kind() == ui::Kind::Tab || c->kind() == ui::Kind::Sheet) continue;
      bool onTab = false;
      for (const ui::Control* p = c; p && !onTab; p = p->parentFeq() ? w.control(p->parentFeq()) : nullptr)
        onTab = p != c && p->kind() == ui::Kind::Tab;
      if (onTab) w.setProp(feq, ui::Prop::Ypos, w.propInt(feq, ui::Prop::Ypos) + 16);
    }
    m_title = taskFormTitle(Request == ui::InsertRecord, m_viewOnly, m_wizard, m_scriptWizard, SCH);
    w.setTitle(m_title);
  }

  void declareMailPages(ui::Window& w) {
    m_emailTab = w.tab("?Tab:Email", "E-mail", m_sheet).feq();
    w.string("", "* indicates required field").at(10, 6, 150, 10).on(m_emailTab);
    w.prompt("?M_:MailType:Prompt", "&Mail type:").at(10, 20, 50, 10).on(m_emailTab);
    m_mailType = w.dropList("?M_:MailType", "E-mail|News|Mass Mailing|Mail Merge|Mail Script").at(64, 20, 80, 12).use(M_.MailType).on(m_emailTab).feq();
    w.prompt("?M_:MailFormat:Prompt", "Mail &format").at(160, 20, 50, 10).on(m_emailTab);
    m_mailFormat = w.dropList("?M_:MailFormat", "Text|HTML|HTML file|Text file|Binary").at(214, 20, 80, 12).use(M_.MailFormat).on(m_emailTab).feq();
    m_toPrompt = w.prompt("?M_:EmailTo:Prompt", "*&To:").at(10, 38, 50, 10).on(m_emailTab).feq();
    m_emailTo = w.entry("?M_:EmailTo", "@s255").at(64, 38, 270, 12).use(M_.EmailTo).on(m_emailTab).feq();
    m_selectContact = w.button("?SelectContact", "...").tip("Select Contact to email").at(338, 38, 16, 12).on(m_emailTab).feq();
    m_groupPrompt = w.prompt("?M_:EmailToGroup:Prompt", "Cate&gory:").at(10, 38, 50, 10).on(m_emailTab).feq();
    m_emailGroup = w.entry("?M_:EmailToGroup", "@s20").tip("E-mail to Group (Contact Category)").at(64, 38, 120, 12).use(M_.EmailToGroup).on(m_emailTab).feq();
    m_selectCategory = w.button("?SelectCategory", "...").tip("Select Contact Category").at(188, 38, 16, 12).on(m_emailTab).feq();
    m_mergePrompt = w.prompt("?M_:MergeFile:Prompt", "*&Merge file:").at(10, 38, 50, 10).on(m_emailTab).feq();
    m_mergeFile = w.entry("?M_:MergeFile", "@s255").tip("External mail merge file in CSV format").at(64, 38, 270, 12).use(M_.MergeFile).on(m_emailTab).feq();
    m_mergeButton = w.button("?MergeFileButton", "...").at(338, 38, 16, 12).on(m_emailTab).feq();
    m_mergeNote = w.string("?MergeNote", "(Comma-delimited list of recipient names and e-mail addresses.)").at(64, 52, 280, 10).on(m_emailTab).feq();
    m_scriptNote1 = w.string("?ScriptNote1", "Comma-delimited list of recipient names, e-mail addresses,").at(64, 52, 280, 10).on(m_emailTab).feq();
    m_scriptNote2 = w.string("?ScriptNote2", "subjects, text files, and attachments.").at(64, 61, 280, 10).on(m_emailTab).feq();
    m_namePrompt = w.prompt("?M_:EmailToName:Prompt", "&Name:").at(10, 74, 50, 10).on(m_emailTab).feq();
    m_emailName = w.entry("?M_:EmailToName", "@s255").at(64, 74, 270, 12).use(M_.EmailToName).on(m_emailTab).feq();
    m_ccPrompt = w.prompt("?M_:CC:Prompt", "&CC:").at(10, 90, 50, 10).on(m_emailTab).feq();
    m_cc = w.entry("?M_:CC", "@s255").at(64, 90, 270, 12).use(M_.CC).on(m_emailTab).feq();
    m_bccPrompt = w.prompt("?M_:BCC:Prompt", "&BCC:").at(10, 106, 50, 10).on(m_emailTab).feq();
    m_bcc = w.entry("?M_:BCC", "@s255").at(64, 106, 270, 12).use(M_.BCC).on(m_emailTab).feq();
    w.prompt("?M_:Subject:Prompt", "&Subject:").at(10, 122, 50, 10).on(m_emailTab);
    m_subject = w.entry("?M_:Subject", "@s255").at(64, 122, 270, 12).use(M_.Subject).on(m_emailTab).feq();
    w.prompt("?M_:Attachment:Prompt", "Attac&hment(s):").at(10, 138, 50, 10).on(m_emailTab);
    m_attachment = w.entry("?M_:Attachment", "@s255").at(64, 138, 270, 12).use(M_.Attachment).on(m_emailTab).feq();
    m_attach = w.button("?Attach", "...").tip("Select file").at(338, 138, 16, 12).on(m_emailTab).feq();

    m_mailBodyTab = w.tab("?Tab:MailBody", "Message", m_sheet).feq();
    m_bodyPrompt = w.prompt("?M_:Message:Prompt", "Enter the &message to be e-mailed:").at(10, 6, 200, 10).on(m_mailBodyTab).feq();
    m_body = w.textBox("?M_:Message").at(10, 18, 350, 160).use(M_.Message).on(m_mailBodyTab).feq();
    m_htmlPrompt = w.prompt("?M_:HTMLFile:Prompt", "Enter the name of the &HTML file:").at(10, 6, 200, 10).on(m_mailBodyTab).feq();
    m_htmlFile = w.entry("?M_:HTMLFile", "@s255").at(10, 18, 320, 12).use(M_.HTMLFile).on(m_mailBodyTab).feq();
    m_htmlButton = w.button("?HTMLFileButton", "...").at(334, 18, 16, 12).on(m_mailBodyTab).feq();
    m_textFilePrompt = w.prompt("?M_:HTMLFile:Text:Prompt", "&Text file name:").at(10, 6, 200, 10).on(m_mailBodyTab).feq();
    m_textFile = w.entry("?M_:HTMLFile:Text", "@s255").tip("Text file to send as message").at(10, 18, 320, 12).use(M_.HTMLFile).on(m_mailBodyTab).feq();
    m_textFileButton = w.button("?TextFileButton", "...").at(334, 18, 16, 12).on(m_mailBodyTab).feq();
  }

  void afterOpen() {
    ui::Window& w = window();
    w.setProp(m_schedulingText, ui::Prop::Hide, !m_wizard);
    w.setProp(m_optionsText, ui::Prop::Hide, !m_wizard);
    w.setProp(m_eventTab, ui::Prop::Hide, !m_reschedule);
    w.setProp(m_schedulingTab, ui::Prop::Hide, m_reschedule);
    if (m_wizard) {
      w.setProp(m_taskType, ui::Prop::Hide, 1);
      w.setProp(m_typeText, ui::Prop::Hide, 1);
      for (int feq : {m_categoryPrompt, m_category, m_descriptionPrompt, m_description})
        w.setProp(feq, ui::Prop::Ypos, w.propInt(feq, ui::Prop::Ypos) - 32);
      const std::string heading = wizardHeading(SCH, m_scriptWizard);
      w.setProp(m_basicsHeading, ui::Prop::Text, heading);
      w.setProp(m_basicsHeading, ui::Prop::Hide, heading.empty());
      const std::string picture = wizardPicture(SCH, m_scriptWizard);
      w.setProp(m_wizardPicture, ui::Prop::Text, picture);
      w.setProp(m_wizardPicture, ui::Prop::Hide, picture.empty());
    }
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_requirable = {{m_eventDate, "SCH:Date", "Next occurrence"},
                    {m_eventTime, "SCH:Time", "Time"},
                    {m_startDate, "SCH:Date", "Start"},
                    {m_startTime, "SCH:Time", "Time"},
                    {m_emailTo, "M_:EmailTo", "To (Email Address)"},
                    {m_mergeFile, "M_:MergeFile", "Merge file"},
                    {m_every, "SCH:Every", "Every"},
                    {m_alarmFile, "SCH:AlarmFile", "WAV File to Play"},
                    {m_message, "SCH:Message", "Message"},
                    {m_basicsMessage, "SCH:Message", "Message"}};
    m_steps.Init(m_sheet, m_back, m_next, OkControl, CancelControl, true, false, false, m_wizard ? 1 : 0);
    if (m_wizard) m_required.RegisterWizard(m_sheet);
    // A new task's form is shorter by the hidden last-run line. It shrinks before the saved place
    // and size come back, so that a size saved from an earlier new task is not shrunk again.
    if (Request == ui::InsertRecord) m_steps.ShrinkSheet(12);
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    if (m_deleting) FirstField = CancelControl;
    if (m_deleting || m_viewOnly) readOnly();
    alarmControls();
    scheduleTypeRules(false);
    taskTypeRules();
    if (m_copy) linkItems(false);
    if (Request == ui::InsertRecord) {
      w.setProp(m_lastRun, ui::Prop::Hide, 1);
      if (SCH.ID == 0)
        ui::MESSAGE("Auto-increment error.  Could not set unique schedule ID.", "Internal Error", ui::Icon::Hand);
    }
    m_scriptMenu.Init();
    for (auto [text, control] : {std::pair{"&New", m_newItem}, {"&Edit", m_editItem}, {"&Delete", m_deleteItem},
                                 {"-", 0}, {"&Template", m_template}, {"Edit as Te&xt", m_editText}, {"-", 0},
                                 {"&Print", m_print}, {"-", 0}, {"Clear", m_clear}, {"Cop&y", m_copyItem}}) {
      const std::string name = m_scriptMenu.AddItem(text);
      if (control) m_scriptMenu.AddItemMimic(name, control);
    }
    if (!m_viewOnly && !m_deleting) {
      m_categoryCompletion.Init(ui::Binding(M_.EmailToGroup), m_emailGroup, ui::Binding(files::CC.ContactCategory),
                                false, files::Access_CONTACTCATEGORIES, files::CC_KeyContactCategories);
      m_completing = true;
    }
    updateScriptButtons();
    if (m_skipFirst && !m_deleting && !m_viewOnly) FirstField = m_description;  // the category is known
    if (!m_wizard) showFirstPage();
    m_tabs.ColourTabs();
    renewCaption();
  }

  std::string categoryList() {
    std::string list;
    files::CATEGORIES.clear();
    Err err = files::CATEGORIES.setFrom(files::CAT_KeyCategory);
    while (err == Err::None && (err = files::CATEGORIES.next()) == Err::None) {
      std::string name = files::CAT.Category.str();
      std::erase(name, '|');
      if (!list.empty()) list += '|';
      list += name;
    }
    return list;
  }

  void renewCaption() {
    std::string caption = m_title;
    const std::string description = SCH.Description.str();
    if (!description.empty()) caption += "  (" + description + ")";
    window().setTitle(caption);
  }

  // The sheet opens on its first page that is shown: the event page, first of all, belongs to a
  // reschedule only.
  void showFirstPage() {
    const auto* s = window().as<ui::Sheet>(m_sheet);
    if (!s) return;
    const int chosen = chosenTab();
    if (chosen != 0 && !window().propInt(chosen, ui::Prop::Hide)) return;
    const std::vector<int> tabs = s->tabs();
    for (size_t i = 0; i < tabs.size(); ++i) {
      if (window().propInt(tabs[i], ui::Prop::Hide)) continue;
      window().setProp(m_sheet, ui::Prop::Selected, static_cast<int>(i + 1));
      return;
    }
  }

  // The first field of the chosen page that takes typing or a choice; the wizard's way on (Next,
  // or OK on its last page) when the page has none.
  int firstFieldOfPage() const {
    const ui::Window& w = window();
    const int tab = chosenTab();
    for (int feq : w.fields()) {
      const ui::Control* c = w.control(feq);
      if (!c || !c->takesInput() || c->kind() == ui::Kind::List || c->isReadOnly() || hiddenOnForm(feq) ||
          !w.isEnabled(feq))
        continue;
      for (const ui::Control* p = c; p; p = p->parentFeq() ? w.control(p->parentFeq()) : nullptr)
        if (p->feq() == tab) return feq;
    }
    return m_steps.NextControl();
  }

  int chosenTab() const {
    const auto* s = window().as<ui::Sheet>(m_sheet);
    if (!s) return 0;
    const int n = static_cast<int>(window().propInt(m_sheet, ui::Prop::Selected));
    const std::vector<int> tabs = s->tabs();
    return n >= 1 && n <= static_cast<int>(tabs.size()) ? tabs[static_cast<size_t>(n - 1)] : 0;
  }

  // A control is hidden when it or anything it lies on (a group, a tab) is hidden.
  bool hiddenOnForm(int feq) const {
    for (const ui::Control* c = window().control(feq); c; c = c->parentFeq() ? window().control(c->parentFeq()) : nullptr)
      if (c->isHidden()) return true;
    return false;
  }

  // The required fields are the candidates that the form shows now; a message only when the
  // task type needs one.
  void syncRequired() {
    for (const Requirable& r : m_requirable) {
      const bool isMessage = r.feq == m_message || r.feq == m_basicsMessage;
      const bool on = !hiddenOnForm(r.feq) && (!isMessage || m_messageRequired);
      window().setProp(r.feq, ui::Prop::Req, on ? 1 : 0);
      if (on)
        m_required.AddField(r.feq, r.field, r.prompt, "", r.prompt, true);
      else
        m_required.RemoveField(r.feq);
    }
  }

  bool incomplete(bool visibleOnly) {
    syncRequired();
    return m_required.Incomplete(visibleOnly) != 0;
  }

  void show(int feq, bool on) { window().setProp(feq, ui::Prop::Hide, on ? 0 : 1); }
  void enable(int feq, bool on) { window().setProp(feq, ui::Prop::Disable, on ? 0 : 1); }

  // ---- the task-type, schedule-type, mail and alarm rules ---------------------------------------

  void taskTypeRules() {
    const TaskPages p = taskTypePages(SCH.TaskType.view(), SCH.Command.view(),
                                      {m_wizard, m_scriptWizard, Request == ui::InsertRecord, m_useScriptingValue != 0});
    if (!p.known) return;
    show(m_startTimePrompt, p.startTime);
    show(m_startTime, p.startTime);
    for (int feq : {m_commandPrompt, m_command, m_chooseProgram, m_pathPrompt, m_path, m_chooseFolder})
      show(feq, p.programFields);
    show(m_programTab, p.programPage);
    show(m_scriptTab, p.scriptPage);
    show(m_useScripting, p.useScriptingCheck);
    show(m_messageTab, p.messagePage);
    show(m_basicsMessagePrompt, p.messageOnBasics);
    show(m_basicsMessage, p.messageOnBasics);
    show(m_emailTab, p.emailPages);
    show(m_mailBodyTab, p.emailPages);
    m_messageRequired = p.messageRequired;
    if (p.reminderTime) {
      SCH.Time = kReminderTime;
      window().display(m_startTime);
    }
    if (p.emailPages) mailRules();
  }

  void scheduleTypeRules(bool chosen) {
    ui::Window& w = window();
    const ScheduleControls c = scheduleTypeControls(SCH.ScheduleType, SCH.MonthRepeat);
    w.setProp(m_everyGroup, ui::Prop::Text, c.groupCaption);
    for (int feq : m_ordinals) show(feq, c.ordinals);
    show(m_monthEnd, c.monthEnd);
    for (int feq : m_days) show(feq, c.weekdays);
    show(m_everyPrompt, c.every);
    show(m_every, c.every);
    show(m_interval, c.interval);
    show(m_repeat, c.repeat);
    for (int feq : {m_offsetPrompt, m_offset, m_tips}) {
      show(feq, c.offset);
      enable(feq, c.offsetEnabled);
    }
    show(m_except, c.except);
    if (c.clearsExpiry) SCH.ExpiryDate = SCH.ExpiryTime = 0;
    monthEndRule();
    if (chosen || c.clearsExpiry || c.repeat) w.display();
  }

  void monthEndRule() {
    if (SCH.ScheduleType != "Day of Month") return;
    const bool end = SCH.LastDayOfMonth != 0;
    applyMonthEnd(SCH);
    for (int feq : m_ordinals) enable(feq, !end);
    for (int feq : m_days) enable(feq, !end);
    window().display();
  }

  void mailRules() {
    const MailControls c = mailTypeControls(M_.MailType.view());
    window().setProp(m_toPrompt, ui::Prop::Text, c.recipientPrompt);
    for (int feq : {m_toPrompt, m_emailTo}) show(feq, c.recipient);
    for (int feq : {m_selectContact, m_namePrompt, m_emailName, m_ccPrompt, m_cc, m_bccPrompt, m_bcc})
      show(feq, c.contactButton);
    for (int feq : {m_groupPrompt, m_emailGroup, m_selectCategory}) show(feq, c.category);
    for (int feq : {m_mergePrompt, m_mergeFile, m_mergeButton}) show(feq, c.mergeFile);
    show(m_mergeNote, c.mergeNote);
    show(m_scriptNote1, c.scriptNote);
    show(m_scriptNote2, c.scriptNote);
    const std::string key = lastValueKey(M_.MailType.view());
    if (c.mergeFile && M_.MergeFile.isBlank()) M_.MergeFile = files::GETCONFIG(key);
    if (key == "LastNewsgroup" && M_.EmailTo.isBlank()) M_.EmailTo = files::GETCONFIG(key);
    if (c.category && M_.EmailToGroup.isBlank()) M_.EmailToGroup = files::GETCONFIG(key);
    mailFormatRules();
    window().display();
  }

  void mailFormatRules() {
    const MailBody body = mailBody(M_.MailFormat.view());
    for (int feq : {m_bodyPrompt, m_body}) show(feq, body == MailBody::Text);
    for (int feq : {m_htmlPrompt, m_htmlFile, m_htmlButton}) show(feq, body == MailBody::HtmlFile);
    for (int feq : {m_textFilePrompt, m_textFile, m_textFileButton}) show(feq, body == MailBody::TextFile);
  }

  void alarmControls() {
    const bool on = SCH.Alarm != 0 && !m_viewOnly && !m_deleting;
    for (int feq : {m_alarmPrompt, m_alarmFile, m_browseWav, m_playWav}) enable(feq, on);
  }

  // The alarm's file: a blank one takes the last used, a set one becomes the last used.
  void lastWavFile(bool throughConfig) {
    if (SCH.AlarmFile.isBlank()) {
      SCH.AlarmFile = throughConfig ? files::GETCONFIG("LastWAVFile")
                                    : rt::GETINI("Settings", "LastWAVFile", "", mainIni());
      window().display(m_alarmFile);
    } else if (throughConfig) {
      files::PUTCONFIG("LastWAVFile", SCH.AlarmFile.str());
    } else {
      (void)rt::PUTINI("Settings", "LastWAVFile", SCH.AlarmFile.str(), mainIni());
    }
  }

  // ---- field reactions ------------------------------------------------------------------------

  void fieldDefaults(int feq) {
    if (feq == m_description) {
      if (SCH.Message.isBlank()) SCH.Message = SCH.Description.view();
    } else if (feq == m_message || feq == m_basicsMessage) {
      describeFromMessage(SCH);
    } else if (feq == m_command && SCH.Description.isBlank()) {
      SCH.Description = "Program: " + SCH.Command.str();
    }
    window().display();
    renewCaption();
  }

  bool takeField(int feq) {
    ui::Window& w = window();
    if (feq == m_description || feq == m_message || feq == m_basicsMessage || feq == m_command) {
      fieldDefaults(feq);
    } else if (feq == m_taskType) {
      taskTypeRules();
      renewCaption();
    } else if (feq == m_scheduleType) {
      scheduleTypeRules(true);
    } else if (feq == m_monthEnd) {
      monthEndRule();
    } else if (feq == m_repeat) {
      if (SCH.MonthRepeat.isBlank()) SCH.MonthRepeat = "Once";
      const bool twice = rt::UPPER(SCH.MonthRepeat.str().substr(0, 1)) == "T";
      for (int f : {m_offsetPrompt, m_offset, m_tips}) enable(f, twice);
      w.display(m_repeat);
    } else if (feq == m_every || feq == m_interval) {
      if (hourlyKeepsNoHistory(SCH)) {
        SCH.NoHistory = 1;
        w.display();
      }
    } else if (feq == m_startDate) {
      startDateAccepted();
    } else if (feq == m_warnDate || feq == m_warnTime || feq == m_eventWarnDate || feq == m_eventWarnTime) {
      warningAccepted();
    } else if (feq == m_expiryDate || feq == m_expiryTime) {
      expiryAccepted();
    } else if (feq == m_alarm) {
      alarmControls();
      if (SCH.Alarm) lastWavFile(false);
    } else if (feq == m_alarmFile) {
      lastWavFile(true);
    } else if (feq == m_useScripting) {
      taskTypeRules();
    } else {
      return false;
    }
    return true;
  }

  void startDateAccepted() {
    if (m_reschedule) return;
    if (const std::string warning = startDateWarning(SCH); !warning.empty())
      ui::MESSAGE(warning, "Warning", ui::Icon::Exclamation);
    const std::string ini = mainIni();
    if (rt::textToNumber(rt::GETINI("Warning", "Active", "0", ini)) != 0) {
      SCH.AdvanceWarned = 0;
      int32_t date = SCH.Date - static_cast<int32_t>(rt::textToNumber(rt::GETINI("Warning", "Date", "0", ini)));
      int32_t time = SCH.Time - static_cast<int32_t>(rt::textToNumber(rt::GETINI("Warning", "Time", "0", ini)));
      while (time < 1 && date > 0) {  // earlier than midnight: the days before
        time += 8640000;
        --date;
      }
      SCH.AdvanceWarnDate = date;
      SCH.AdvanceWarnTime = time;
      window().display();
    }
  }

  // False when the warning had to be taken back.
  bool warningAccepted(bool finalPass = false) {
    if (!finalPass) SCH.AdvanceWarned = 0;
    if (!warningAfterTask(SCH)) return true;
    if (!m_reschedule) {
      SCH.AdvanceWarnDate = SCH.AdvanceWarnTime = 0;
      window().display();
    }
    if (!(m_reschedule && finalPass))
      ui::MESSAGE("Advanced Warning cannot be after scheduled task.", "Warning", ui::Icon::Exclamation);
    return m_reschedule;
  }

  bool expiryAccepted() {
    if (!expiryBeforeStart(SCH)) return true;
    SCH.ExpiryDate = SCH.ExpiryTime = 0;
    window().display();
    ui::MESSAGE("End date and time must be after the start date and time.", "Warning", ui::Icon::Exclamation);
    return false;
  }

  bool takeButton(int feq) {
    ui::Window& w = window();
    if (feq == m_startButton) {
      SCH.Date = Calendar(SCH.Date, "Schedule", "Select Starting Date");
      w.display();
      startDateAccepted();
    } else if (feq == m_expiryButton) {
      SCH.ExpiryDate = Calendar(SCH.ExpiryDate, "Schedule", "Select Expiry Date");
      w.display();
      expiryAccepted();
    } else if (feq == m_eventDateButton) {
      SCH.Date = Calendar(SCH.Date, "Schedule", "Reschedule for...");
      w.display();
    } else if (feq == m_eventWarnButton) {
      SCH.AdvanceWarnDate = Calendar(SCH.AdvanceWarnDate, "Schedule", "Reschedule for...");
      w.display();
      warningAccepted();
    } else if (feq == m_warnButton) {
      SCH.AdvanceWarnDate = Calendar(SCH.AdvanceWarnDate, "None", "Select Advanced Warning Date");
      w.display();
      warningAccepted();
    } else if (feq == m_chooseProgram) {
      if (ChooseProgramToStart()) w.display();
    } else if (feq == m_chooseFolder) {
      std::string folder = SCH.Path.str();
      if (ui::FILEDIALOG("Select Folder", folder, "", ui::FILE_::Directory) && !folder.empty()) {
        SCH.Path = folder;
        w.display(m_path);
      }
    } else if (feq == m_contact) {
      files::GLOBALREQUEST = ui::SelectRecord;
      if (scheduler::callProgramWindow("BrowseContacts") == ui::RequestCompleted && C_.ClientID > 0) {
        SCH.Message = messageWithContact(SCH.Message.view(), C_.ClientID);
        w.display(m_message);
      }
    } else if (feq == m_tips) {
      ui::MESSAGE("\"Days to Offset\" allows you to shift the semi-monthly dates.  For example, if you have selected "
                  "\"Twice - 1st, 15th\", an offset of \"3\" will make Orvane run your task on the 4th and 18th of every "
                  "month. If you have selected \"Twice - 15th, Last\", an offset of \"-1\" will make Orvane run your task "
                  "on the 14th and 2nd last day of every month.",
                  "Offset Tips", ui::Icon::Information);
    } else if (feq == m_except) {
      (void)scheduler::callProgramWindow("UpdateSchedule:ExceptionsWindow");
      w.display();
    } else if (feq == m_browseWav) {
      browseWav();
    } else if (feq == m_playWav) {
      playWav();
    } else if (feq == m_scripting) {
      files::GLOBALREQUEST = ui::ChangeRecord;
      (void)scheduler::callProgramWindow("BrowseScripting");
      refreshScriptList(0);
    } else if (feq == m_removeUser) {
      removeUser();
    } else if (feq == m_editUser) {
      editUser();
    } else {
      return false;
    }
    return true;
  }

  void browseWav() {
    const std::string saved = rt::PATH();
    const std::string ini = mainIni();
    const std::string wavPath = rt::GETINI("Defaults", "WAVPath", "", ini);
    if (!wavPath.empty()) (void)rt::SETPATH(wavPath);
    std::string file = SCH.AlarmFile.str();
    if (ui::FILEDIALOG("Select WAV File for Alarm", file, "WAV Files|*.WAV", ui::FILE_::KeepDir) && !file.empty()) {
      SCH.AlarmFile = file;
      window().display(m_alarmFile);
      const std::string folder = programFolder(file);
      if (!folder.empty()) (void)rt::PUTINI("Defaults", "WAVPath", rt::SHORTPATH(folder), ini);
    }
    (void)rt::SETPATH(saved);
  }

  void playWav() {
    const std::string file = SCH.AlarmFile.str();
    if (file.empty()) {
      browseWav();
      return;
    }
    if (!rt::EXISTS(file)) {
      window().select(m_browseWav);
      return;
    }
    if (scheduler::services().playSound) scheduler::services().playSound(file);
  }

  // ---- script page ----------------------------------------------------------------------------

  // Reads the task's items again (the record buffer of SCRIPTING is kept).
  void fillScriptList() {
    m_scriptTask = SCH.ID;
    if (!window().isOpen()) return;  // the browse reads them as the window opens
    const files::ScriptingRec kept = SCR;
    m_scriptBrowse.ResetSort(true);
    SCR = kept;
  }

  bool scriptHasRows() const { return m_scriptBrowse.Records() > 0; }

  // Redraws the list and highlights the item at `sequence` (0: the one highlighted before), or
  // the nearest item before it.
  void refreshScriptList(int32_t sequence) {
    if (sequence == 0) sequence = highlightedSequence();
    fillScriptList();
    int row = 0;
    int32_t best = INT32_MIN;
    for (int i = 1; i <= m_scriptRows.RECORDS(); ++i) {
      const int32_t at = m_scriptRows.at(i).Sequence;
      if (at <= sequence && at > best) best = at, row = i;
    }
    if (row == 0 && m_scriptRows.RECORDS() > 0) row = 1;
    if (auto* list = window().as<ui::ListControl>(m_scriptList)) {
      list->setSelected(row);
      window().display(m_scriptList);
    }
    updateScriptButtons();
    window().select(m_scriptList);
  }

  int32_t highlightedSequence() const {
    const auto* list = window().as<ui::ListControl>(m_scriptList);
    const int row = list ? list->selected() : 0;
    return row >= 1 && row <= m_scriptRows.RECORDS() ? m_scriptRows.at(row).Sequence : 0;
  }

  void updateScriptButtons() {
    if (m_viewOnly || m_deleting) return;
    const bool rows = scriptHasRows();
    const bool itemForm = scheduler::programWindowRegistered("UpdateScripting");
    enable(m_newItem, itemForm);
    enable(m_newQuick, itemForm);
    enable(m_copyItem, itemForm && rows);
    enable(m_editItem, itemForm && rows);
    enable(m_deleteItem, itemForm && rows);
    for (int feq : {m_moveUp, m_moveTop, m_moveDown, m_moveBottom}) enable(feq, rows);
    enable(m_template, scheduler::programWindowRegistered("BrowseScriptTemplates"));
    enable(m_editText, scheduler::programWindowRegistered("Script:EditAsText"));
    enable(m_import, scriptCommandRegistered("ImportScript"));
    enable(m_export, rows && scriptCommandRegistered("ExportScript"));
    enable(m_print, rows && scriptCommandRegistered("PrintCurrentScript"));
    enable(m_clear, rows && scriptCommandRegistered("ConfirmClearScript"));
    enable(m_scripting, scheduler::programWindowRegistered("BrowseScripting"));
  }

  // Runs the item form; a new item follows the highlighted one, a deleted one leaves no gap.
  void runItemForm(int request, int32_t owner, bool copy) {
    const int32_t anchor = highlightedSequence();
    if (request != ui::InsertRecord || copy) {
      if (anchor == 0) return;
      SCR.ID = SCH.ID;
      SCR.Sequence = anchor;
      if (files::SCRIPTING.get(files::SCR_KeyID) != Err::None) return;
    } else {
      files::SCRIPTING.clear();
      SCR.ID = SCH.ID;
    }
    if (request == ui::InsertRecord) {
      NewScriptItemOwner = owner;
      if (copy) SCR.Sequence = 0;
    }
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    const int response = scheduler::callProgramWindow("UpdateScripting");
    int32_t highlight = anchor;
    ItemSequencer sequencer(ItemSequencer::scriptItems());
    if (response == ui::RequestCompleted && request == ui::InsertRecord) {
      highlight = SCR.Sequence;
      if (anchor != 0 && SCR.ID == SCH.ID && SCR.Sequence != anchor + 1) {
        const ItemSequencer::Result r = sequencer.placeAfter(SCH.ID, SCR.Sequence, anchor);
        if (r.err == Err::None) highlight = anchor + 1;
      }
    } else if (response == ui::RequestCompleted && request == ui::DeleteRecord) {
      (void)sequencer.renumberAfterDelete(SCH.ID, anchor);
      highlight = std::max(1, anchor - 1);
    }
    refreshScriptList(highlight);
  }

  // The rows are translated to the items' sequences: after blank lines of a script read from
  // text, or a delete, row and sequence numbers differ.
  void dropItem() {
    const auto* list = window().as<ui::ListControl>(m_scriptList);
    if (!list) return;
    const int from = static_cast<int>(rt::textToNumber(list->propList(ui::PROPLIST::MouseDownRow, 0)));
    const int onto = static_cast<int>(rt::textToNumber(list->propList(ui::PROPLIST::MouseUpRow, 0)));
    const int rows = m_scriptRows.RECORDS();
    if (from < 1 || from > rows || onto < 1 || onto > rows || from == onto) return;
    ItemSequencer sequencer(ItemSequencer::scriptItems());
    const ItemSequencer::Result r =
        sequencer.dragTo(SCH.ID, m_scriptRows.at(from).Sequence, m_scriptRows.at(onto).Sequence);
    if (r.err != Err::None && !r.report.empty()) ui::MESSAGE(r.report, "Error", ui::Icon::Exclamation);
    refreshScriptList(r.moved ? r.sequence : m_scriptRows.at(from).Sequence);
  }

  void moveItem(int feq) {
    const int32_t sequence = highlightedSequence();
    if (sequence == 0) return;
    ItemSequencer sequencer(ItemSequencer::scriptItems());
    ItemSequencer::Result r;
    if (feq == m_moveUp) r = sequencer.moveUp(SCH.ID, sequence);
    if (feq == m_moveTop) r = sequencer.moveToTop(SCH.ID, sequence);
    if (feq == m_moveDown) r = sequencer.moveDown(SCH.ID, sequence);
    if (feq == m_moveBottom) r = sequencer.moveToBottom(SCH.ID, sequence);
    if (r.err != Err::None && !r.report.empty()) ui::MESSAGE(r.report, "Error", ui::Icon::Exclamation);
    refreshScriptList(r.moved ? r.sequence : sequence);
  }

  bool takeScriptButton(int feq) {
    if (feq == m_newItem) {
      runItemForm(ui::InsertRecord, ui::KEYCODE() == ui::Key::Insert ? -1 : SCH.ID, false);
    } else if (feq == m_newQuick) {
      runItemForm(ui::InsertRecord, -1, false);
    } else if (feq == m_copyItem) {
      if (scriptHasRows()) runItemForm(ui::InsertRecord, SCH.ID, true);
    } else if (feq == m_editItem) {
      runItemForm(ui::ChangeRecord, SCH.ID, false);
    } else if (feq == m_deleteItem) {
      runItemForm(ui::DeleteRecord, SCH.ID, false);
    } else if (feq == m_moveUp || feq == m_moveTop || feq == m_moveDown || feq == m_moveBottom) {
      moveItem(feq);
    } else if (feq == m_template) {
      files::GLOBALREQUEST = ui::SelectRecord;
      if (scheduler::callProgramWindow("BrowseScriptTemplates") == ui::RequestCompleted) {
        (void)CopyTemplateWithProgress(files::OVT.WIZ_ID, SCH.ID, "Template");
      }
      refreshScriptList(0);
    } else if (feq == m_editText) {
      (void)scheduler::callProgramWindow("Script:EditAsText");
      refreshScriptList(0);
    } else if (feq == m_import || feq == m_export || feq == m_clear || feq == m_print) {
      (void)runScriptCommand(feq == m_import   ? "ImportScript"
                             : feq == m_export ? "ExportScript"
                             : feq == m_clear  ? "ConfirmClearScript"
                                               : "PrintCurrentScript");
      if (feq != m_print) refreshScriptList(0);
    } else if (feq == m_scriptList) {
      if (ui::KEYCODE() == 5 && scriptHasRows() && !m_viewOnly && !m_deleting)
        runItemForm(ui::ChangeRecord, SCH.ID, false);  // a double click edits the item
    } else {
      return false;
    }
    return true;
  }

  // ---- users page -----------------------------------------------------------------------------

  void fillUserLists() {
    m_userRows.FREE();
    const files::UserRec keptUser = files::U_;
    files::USERS.clear();
    Err err = files::USERS.setFrom(files::U_KeyUser);
    while (err == Err::None && (err = files::USERS.next()) == Err::None) {
      m_userRows.buf.User = files::U_.User.view();
      m_userRows.ADD();
    }
    files::U_ = keptUser;
    m_taskUserRows.FREE();
    if (SCH.ID == 0) return;
    const files::UserScheduleRec kept = US;
    files::OVUSD.clear();
    US.ID = SCH.ID;
    err = files::OVUSD.setFrom(files::US_KeyID);
    while (err == Err::None && (err = files::OVUSD.next()) == Err::None && US.ID == SCH.ID) {
      m_taskUserRows.buf.User = US.User.view();
      m_taskUserRows.buf.Date = US.Date;
      m_taskUserRows.buf.Time = US.Time;
      m_taskUserRows.ADD();
    }
    US = kept;
  }

  void refreshLists() {
    fillScriptList();
    fillUserLists();
    window().display();
  }

  // The OVUSD record of the highlighted "Users for this Task" row in US; false when none.
  bool fetchTaskUser() {
    const auto* list = window().as<ui::ListControl>(m_taskUsers);
    const int row = list ? list->selected() : 0;
    if (row < 1 || row > m_taskUserRows.RECORDS()) return false;
    files::OVUSD.clear();
    US.User = m_taskUserRows.at(row).User.view();
    US.ID = SCH.ID;
    return files::OVUSD.get(files::US_KeyUser) == Err::None;
  }

  void removeUser() {
    if (fetchTaskUser()) (void)files::Relate_OVUSD.Delete();
    fillUserLists();
    window().display(m_taskUsers);
    window().select(m_taskUsers);
  }

  void editUser() {
    if (!fetchTaskUser()) return;
    files::GLOBALREQUEST = ui::ChangeRecord;
    (void)scheduler::callProgramWindow("UpdateOVUSD");
    fillUserLists();
    window().display(m_taskUsers);
  }

  // ---- e-mail page ----------------------------------------------------------------------------

  void setContactName() {
    M_.ContactID = C_.ClientID;
    std::string name = C_.FirstName.str() + " " + C_.LastName.str();
    name.erase(0, std::min(name.find_first_not_of(' '), name.size()));
    M_.EmailToName = name;
  }

  bool takeMailField(int feq) {
    ui::Window& w = window();
    if (feq == m_mailType) {
      mailRules();
    } else if (feq == m_mailFormat) {
      mailFormatRules();
    } else if (feq == m_emailTo) {
      if (!M_.EmailTo.isBlank()) {
        const files::ContactRec kept = C_;
        files::CONTACT.clear();
        C_.Email = M_.EmailTo.view();
        if (files::CONTACT.get(files::C_KeyEmail) == Err::None && M_.EmailToName.isBlank()) {
          setContactName();
          w.display();
        }
        C_ = kept;
      }
    } else if (feq == m_selectContact) {
      files::GLOBALREQUEST = ui::SelectRecord;
      if (scheduler::callProgramWindow("BrowseContacts") == ui::RequestCompleted) {
        M_.EmailTo = C_.Email.view();
        setContactName();
        w.display();
      }
    } else if (feq == m_emailGroup) {
      categoryAccepted();
    } else if (feq == m_selectCategory) {
      files::GLOBALREQUEST = ui::SelectRecord;
      if (scheduler::callProgramWindow("SelectContactCategories") == ui::RequestCompleted) {
        M_.EmailToGroup = files::CC.ContactCategory.view();
        if (M_.EmailTo.isBlank()) M_.EmailTo = "N/A";
        w.display();
      }
    } else if (feq == m_subject) {
      SCH.Description = emailDescription(SCH.Description.view(), M_.Subject.view(), rt::TODAY());
      w.display();
      renewCaption();
    } else if (feq == m_attach) {
      std::string chosen;
      if (ui::FILEDIALOG("Choose a file to attach", chosen, "All Files|*.*", ui::FILE_::Multi | ui::FILE_::KeepDir)) {
        const std::string list = appendAttachments(M_.Attachment.view(), splitChosenFiles(chosen));
        if (list.size() > M_.Attachment.size()) {
          ui::MESSAGE("The attachment list is full: the chosen files were not added.", "E-mail", ui::Icon::Exclamation);
        } else {
          M_.Attachment = list;
          w.display(m_attachment);
        }
      }
    } else if (feq == m_mergeButton) {
      std::string file = M_.MergeFile.str();
      if (ui::FILEDIALOG("Select Mail Merge File", file, "All Files|*.*", ui::FILE_::KeepDir) && !file.empty()) {
        M_.MergeFile = file;
        w.display(m_mergeFile);
      }
    } else if (feq == m_htmlButton || feq == m_textFileButton) {
      std::string file = M_.HTMLFile.str();
      const bool html = feq == m_htmlButton;
      if (ui::FILEDIALOG(html ? "Select HTML file" : "Select text file", file,
                         html ? "HTML files|*.htm*|HTM files|*.htm|All files|*.*" : "Text|*.TXT|All Files|*.*",
                         ui::FILE_::KeepDir) &&
          !file.empty()) {
        M_.HTMLFile = file;
        w.display();
      }
    } else {
      return false;
    }
    return true;
  }

  static std::vector<std::string> splitChosenFiles(const std::string& chosen) {
    std::vector<std::string> names;
    if (chosen.find('|') == std::string::npos) {
      if (!chosen.empty()) names.push_back(chosen);
      return names;
    }
    std::string folder = chosen.substr(0, chosen.find('|'));
    if (!folder.empty() && folder.back() != '/') folder += '/';
    size_t at = chosen.find('|');
    while (at != std::string::npos) {
      const size_t end = chosen.find('|', at + 1);
      names.push_back(folder + chosen.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1));
      at = end;
    }
    return names;
  }

  void categoryAccepted() {
    ui::Window& w = window();
    if (!M_.EmailToGroup.isBlank() && M_.EmailTo.isBlank()) M_.EmailTo = "N/A";
    if (M_.EmailToGroup.isBlank()) {
      w.display();
      return;
    }
    files::CONTACTCATEGORIES.clear();
    files::CC.ContactCategory = M_.EmailToGroup.view();
    if (files::CONTACTCATEGORIES.get(files::CC_KeyContactCategories) != Err::None) {
      files::GLOBALREQUEST = ui::SelectRecord;
      if (scheduler::callProgramWindow("SelectContactCategories") != ui::RequestCompleted) {
        w.select(m_emailGroup);
        return;
      }
    }
    M_.EmailToGroup = files::CC.ContactCategory.view();
    w.display();
  }

  // ---- OK -------------------------------------------------------------------------------------

  bool okChecks() {
    ui::Window& w = window();
    Update();
    if (SCH.Command.isBlank()) SCH.Command = "N/A";
    w.display(m_command);
    if (incomplete(false)) return false;
    if (emailTask() && Request == ui::InsertRecord && M_.Subject.isBlank() &&
        ui::MESSAGE("This e-mail message has no subject.  Are you sure you want to save?", "Warning",
                    ui::Icon::Question, ui::BUTTON::Yes | ui::BUTTON::No) != ui::BUTTON::Yes)
      return false;
    if (Request == ui::ChangeRecord && SCH.Completed) {
      if (SCH.Disabled) {
        ui::MESSAGE("The task you are editing has already been executed and marked as disabled.  It will not be "
                    "executed again.  If you wish to re-activate this task, uncheck the \"Disabled\" box.\r\n\r\n"
                    "If this is a recurring task, you should review the schedule (\"All by Date\") for an active copy "
                    "of this task, and ensure that you do not unintentionally have two copies active.",
                    "Warning", ui::Icon::Exclamation);
      } else {
        SCH.Completed = 0;
      }
    }
    if (emailTask()) rememberMailValues();
    // The checks of the date fields, whichever page they are on. A start date off the schedule
    // would be run on as it stands: it moves to the first date the schedule accepts (with the
    // advance warning, which keeps its distance), and the user is told.
    if (!m_reschedule && !m_viewOnly) {
      if (const int32_t moved = startDateOnSchedule(SCH); moved != SCH.Date) {
        ui::MESSAGE(startDateMovedText(SCH.Date, moved), "Warning", ui::Icon::Exclamation);
        if (SCH.AdvanceWarnDate != 0) SCH.AdvanceWarnDate += moved - SCH.Date;
        SCH.Date = moved;
        w.display();
      }
    }
    if (!expiryAccepted()) return false;
    if (!warningAccepted(true)) return false;
    return true;
  }

 public:
  bool m_viewOnly = false, m_deleting = false;

 private:
  TaskFile m_file;
  winclasses::FormWizardClass m_steps;
  winclasses::ReqFldClass m_required;
  winclasses::ColourTabClass m_tabs;
  winclasses::EntryCompletionClass m_categoryCompletion;
  bool m_completing = false;
  ui::PopupClass m_scriptMenu;
  ui::WindowPositionKeeper m_position;
  std::vector<db::RelationManager*> m_opened;
  struct Requirable {
    int feq;
    const char* field;
    const char* prompt;
  };
  std::vector<Requirable> m_requirable;
  bool m_messageRequired = false;
  rt::Queue<ScriptRow> m_scriptRows;
  db::ViewManager m_scriptView{files::Access_SCRIPTING};
  TaskScriptBrowse m_scriptBrowse{m_scriptRows};
  ui::StepLongClass m_scriptStep;
  ui::StepLocatorClass m_scriptLocator;
  ui::QueryClass m_scriptQuery;
  BoundExplorer m_scriptExplorer;
  ExploreState m_scriptState;
  ExploreBinding m_scriptBinding;
  int32_t m_scriptTask = 0;
  rt::Queue<UserRow> m_userRows;
  rt::Queue<TaskUserRow> m_taskUserRows;
  std::string m_title;
  uint8_t m_useScriptingValue = 0;
  int m_caller = 0;
  int32_t m_sourceId = 0, m_newId = 0;
  bool m_callerRegistered = false, m_wizard = false, m_reschedule = false, m_scriptWizard = false, m_copy = false;
  bool m_skipFirst = false, m_skipSource = false, m_primed = false;
  int m_sheet = 0, m_eventTab = 0, m_basicsTab = 0, m_programTab = 0, m_scriptTab = 0, m_messageTab = 0;
  int m_emailTab = 0, m_mailBodyTab = 0, m_schedulingTab = 0, m_usersTab = 0, m_optionsTab = 0;
  int m_eventDate = 0, m_eventDateButton = 0, m_eventTime = 0, m_eventSkip = 0, m_eventWarnDate = 0;
  int m_eventWarnButton = 0, m_eventWarnTime = 0;
  int m_wizardPicture = 0, m_basicsHeading = 0, m_typeText = 0, m_taskType = 0, m_categoryPrompt = 0;
  int m_category = 0, m_descriptionPrompt = 0, m_description = 0, m_basicsMessagePrompt = 0, m_basicsMessage = 0;
  int m_commandPrompt = 0, m_command = 0, m_chooseProgram = 0, m_pathPrompt = 0, m_path = 0, m_chooseFolder = 0;
  int m_useScripting = 0, m_scripting = 0;
  int m_scriptList = 0, m_newItem = 0, m_newQuick = 0, m_copyItem = 0, m_editItem = 0, m_deleteItem = 0;
  int m_moveUp = 0, m_moveTop = 0, m_moveDown = 0, m_moveBottom = 0, m_template = 0, m_editText = 0;
  int m_import = 0, m_export = 0, m_clear = 0, m_print = 0;
  int m_contact = 0, m_messagePrompt = 0, m_message = 0;
  int m_mailType = 0, m_mailFormat = 0, m_toPrompt = 0, m_emailTo = 0, m_selectContact = 0, m_groupPrompt = 0;
  int m_emailGroup = 0, m_selectCategory = 0, m_mergePrompt = 0, m_mergeFile = 0, m_mergeButton = 0;
  int m_mergeNote = 0, m_scriptNote1 = 0, m_scriptNote2 = 0, m_namePrompt = 0, m_emailName = 0;
  int m_ccPrompt = 0, m_cc = 0, m_bccPrompt = 0, m_bcc = 0, m_subject = 0, m_attachment = 0, m_attach = 0;
  int m_bodyPrompt = 0, m_body = 0, m_htmlPrompt = 0, m_htmlFile = 0, m_htmlButton = 0;
  int m_textFilePrompt = 0, m_textFile = 0, m_textFileButton = 0;
  int m_schedulingText = 0, m_scheduleType = 0, m_everyGroup = 0, m_ordinals[5] = {}, m_monthEnd = 0;
  int m_days[7] = {}, m_everyPrompt = 0, m_every = 0, m_interval = 0, m_repeat = 0, m_offsetPrompt = 0;
  int m_offset = 0, m_tips = 0, m_except = 0, m_startDate = 0, m_startButton = 0, m_startTimePrompt = 0;
  int m_startTime = 0, m_skip = 0, m_expiryDate = 0, m_expiryButton = 0, m_expiryTime = 0, m_warnDate = 0;
  int m_warnButton = 0, m_warnTime = 0, m_lastRun = 0;
  int m_allUsers = 0, m_taskUsers = 0, m_removeUser = 0, m_editUser = 0;
  int m_alarm = 0, m_alarmPrompt = 0, m_alarmFile = 0, m_browseWav = 0, m_playWav = 0, m_optionsText = 0;
  int m_back = 0, m_next = 0;
};

Err write(UpdateScheduleForm& form, int request) {
  TaskStore store;
  store.request = request;
  store.email = form.emailTask();
  store.sourceId = form.sourceId();
  if (request != ui::DeleteRecord) store.prepare = [&form](TaskStore& s) { form.complete(s); };
  std::string failure;
  const Err err = storeTask(store, failure);
  if (err != Err::None) {
    // A task changed meanwhile by someone else was asked about already (and maybe reloaded).
    if (err != Err::Changed) form.reportFailure(failure);
    return err;
  }
  if (request == ui::InsertRecord) form.forgetReservation();
  if (request != ui::DeleteRecord) form.stored();
  return err;
}

Err TaskFile::Insert() { return write(m_form, ui::InsertRecord); }

Err TaskFile::Change() { return write(m_form, ui::ChangeRecord); }

Err TaskFile::Delete() { return write(m_form, ui::DeleteRecord); }

// A new task that is not stored leaves nothing behind: neither its number nor the script items
// written under it while the form was open.
void TaskFile::CancelAutoInc() {
  discardNewTask(m_form.newId());
  m_form.forgetReservation();
}

}  // namespace

std::unique_ptr<ui::WindowManager> makeUpdateSchedule() { return std::make_unique<UpdateScheduleForm>(); }

int UpdateSchedule() {
  UpdateScheduleForm form;
  return form.Run();
}

}  // namespace ov::editors
