#include "editors/script_item_form.h"

#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <QWidget>

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "datalib/script_actions.h"
#include "datalib/script_exchange.h"
#include "datalib/startup.h"
#include "editors/script_catalogue.h"
#include "editors/script_items.h"
#include "editors/style_window_controls.h"
#include "platform/rt/date_time.h"
#include "platform/rt/paths.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/keystrokes.h"
#include "platform/os/input.h"
#include "scheduler/program_windows.h"
#include "scheduler/services.h"
#include "scheduler/task_items.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/qv_mouse_wheel_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::editors {

namespace act = files::action;
using files::SCH;
using files::SCR;
using rt::Err;

namespace {

constexpr int32_t kSelectedTabColour = 10987431;
constexpr int kActionCancelled = 2, kActionCompleted = 1;

std::string clipped(std::string_view s) { return std::string(rt::clipView(s)); }

std::string joined(std::span<const std::string_view> items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += '|';
    out += items[i];
  }
  return out;
}

// The form's items in the template item buffer while the template list is open.
struct TemplateMirror {
  TemplateMirror() {
    if (TemplateModeHere()) SCR = files::OVD;
  }
  ~TemplateMirror() {
    if (TemplateModeHere()) files::OVD = SCR;
  }
};

constexpr int kEventCaptureAbandoned = 1024;
constexpr int kMousePanelTimer = 50;  // hundredths of a second

void postToFrame(int event) {
  if (scheduler::services().post) scheduler::services().post(event, scheduler::kFrameThread);
}

// While the mouse is captured, a button let go anywhere ends the capture: the left one takes the
// pointer's place, the right one abandons it.
class CaptureFilter : public QObject {
 public:
  explicit CaptureFilter(int thread) : m_thread(thread) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) return true;
    if (e->type() != QEvent::MouseButtonRelease) return QObject::eventFilter(watched, e);
    const auto* mouse = static_cast<QMouseEvent*>(e);
    if (mouse->button() == Qt::LeftButton) {
      postToFrame(kEventShowAfterCapture);
      ui::POST(ui::EVENT::GainFocus, 0, m_thread);
    } else if (mouse->button() == Qt::RightButton) {
      postToFrame(kEventShowAfterCapture);
      ui::POST(kEventCaptureAbandoned, 0, m_thread);
    }
    return true;
  }

 private:
  int m_thread;
};

// Inserts and changes through the file manager, deletes through the relation manager.
class ScriptingUpdateFile : public ui::UpdateFile {
 public:
  Err PrimeRecord(bool keepBuffer) override { return files::Access_SCRIPTING.PrimeRecord(keepBuffer); }
  Err Insert() override { return files::Relate_SCRIPTING.Insert(); }
  Err Change() override { return files::Relate_SCRIPTING.Update(); }
  Err Delete() override { return files::Relate_SCRIPTING.Delete(); }
  void CancelAutoInc() override { (void)files::Access_SCRIPTING.CancelAutoInc(); }
};

// A control bound to a variable only while its tab shows, so fields that several tabs edit are
// written back from the tab in use alone.
struct TabBinding {
  int feq = 0;
  ui::Binding use;
  int tab = 0;
};

class UpdateScriptingForm : public ui::WindowManager {
 public:
  UpdateScriptingForm() : ui::WindowManager("UpdateScripting") {}

  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    m_viewOnly = request == ui::ViewRecord;
    Request = m_viewOnly ? ui::ChangeRecord : request;
    if (Request == 0) Request = ui::InsertRecord;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    AddUpdateFile(m_file);
    if (files::Relate_SCRIPTING.Open() != Err::None) return ui::Level::Fatal;
    m_opened = true;
    if (Request == ui::ChangeRecord || Request == ui::DeleteRecord) {
      // The stored item becomes the current record, which the update or delete replaces; the
      // buffer stays as the caller left it.
      const files::ScriptingRec given = SCR;
      if (files::SCRIPTING.get(files::SCR_KeyID) == Err::None) SCR = given;
    }
    if (Request == ui::DeleteRecord) {
      Response = files::Relate_SCRIPTING.Delete() == Err::None ? ui::RequestCompleted : ui::RequestCancelled;
      return ui::Level::Notify;
    }
    if (Request == ui::InsertRecord) primeNewItem();
    if (m_actionState == kActionCancelled) {
      Response = ui::RequestCancelled;
      return ui::Level::Notify;
    }
    if (clipped(SCR.Action.view()) == act::kSendEmail) chooseMessage();

    build();
    Open();
    if (clipped(SCR.Action.view()) == act::kSendEmail) {
      // The message was chosen or edited already: the hidden window completes itself.
      window().setProp(0, ui::Prop::Hide, 1);
      ui::POST(ui::EVENT::Accepted, SCR.EmailID != 0 ? OkControl : CancelControl);
    }
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    files::SCRIPT_STANDARDEDITS(SCR);
    m_locals = ReadItemLocals(SCR);
    SelectActionTab();
    (void)scheduler::CheckScheduleLink("script", SCR.ID);
    std::string title = Request == ui::InsertRecord ? "New Script Action" : "Edit Script Action";
    if (m_viewOnly) title = "View" + title.substr(title.find(' '));
    window().setTitle(title);
    m_position.Init(*this, files::globalIni(), true);
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_wheel.Init();
    m_tabs.ColourTabs();
    if (m_viewOnly) StyleWindowControls(*this, false);
    return ui::Level::Benign;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_viewOnly) StyleWindowControls(*this, false);
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (isAcceptAllPass()) return ui::WindowManager::TakeAccepted();
    ui::Window& w = window();
    if (feq == m_changeAction) {
      Update();
      if (UpdateScripting_GetAction()) {
        m_locals = ReadItemLocals(SCR);
        m_actionState = 0;
        SelectActionTab();
      }
      return ui::Level::Notify;
    }
    if (feq == m_appendKey) {
      Update();
      SCR.Keystrokes = AppendKeyCode(SCR.Keystrokes.view(), m_modifier, m_key);
      w.display(m_keystrokes);
      w.select(m_keystrokes);
      return ui::Level::Notify;
    }
    if (feq == m_appendValue) {
      Update();
      SCR.Keystrokes = AppendValueName(SCR.Keystrokes.view(), m_keysReserved);
      w.display(m_keystrokes);
      w.select(m_keystrokes);
      return ui::Level::Notify;
    }
    if (feq == m_waitAdvanced || feq == m_ifWinAdvanced || feq == m_focusAdvanced) {
      Update();
      const std::string pattern = clipped(feq == m_waitAdvanced  ? SCR.WaitForWindow.view()
                                          : feq == m_focusAdvanced ? SCR.FocusOnWindow.view()
                                                                   : SCR.WindowTitleToCheckFor.view());
      m_target = pattern.empty() ? 0 : scheduler::FindWindowByPattern(pattern, "");
      if (feq == m_focusAdvanced)
        (void)runChildPicker(true);
      else
        (void)runChildPicker(false);
      ShowContainingTexts();
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_waitSeconds || feq == m_waitWindow) {
      Update();
      ShowWaitCombination();
      return ui::Level::Notify;
    }
    if (feq == m_setType || feq == m_setReserved || feq == m_setName || feq == m_setValue || feq == m_iniFile ||
        feq == m_iniSection) {
      Update();
      if (feq == m_setReserved) SCR.Path = m_setReservedName;
      if (feq == m_setName) m_setReservedName = clipped(SCR.Path.view()).substr(0, 10);
      ShowSetValuePreview();
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_newer || feq == m_rename) {
      Update();
      if (feq == m_newer && m_newerFlag) m_renameFlag = 0;
      if (feq == m_rename && m_renameFlag) m_newerFlag = 0;
      w.display(m_newer);
      w.display(m_rename);
      return ui::Level::Notify;
    }
    if (feq == m_fileAction) {
      Update();
      ShowFileActionRows();
      return ui::Level::Notify;
    }
    if (feq == m_system) {
      Update();
      ShowSystemControls();
      return ui::Level::Notify;
    }
    if (feq == m_loopType) {
      Update();
      ShowLoopControls();
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_ifFileBrowse || feq == m_fileRow1Browse || feq == m_loopBrowse) {
      Update();
      std::string file = SCR.Command.str();
      const char* title = feq == m_ifFileBrowse ? "Select file to check for" : feq == m_loopBrowse ? "Select a file" : "Select file";
      if (ui::FILEDIALOG(title, file, "All Files|*.*", ui::FILE_::KeepDir | ui::FILE_::LongName)) SCR.Command = file;
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_fileRow2Browse) {
      Update();
      std::string file = SCR.Path.str();
      if (ui::FILEDIALOG("Select file", file, "All Files|*.*", ui::FILE_::KeepDir | ui::FILE_::LongName)) SCR.Path = file;
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_scriptBrowse) {
      Update();
      std::string file = SCR.Command.str();
      if (ui::FILEDIALOG("Select file", file, "Script Files|*.ovs", ui::FILE_::KeepDir | ui::FILE_::LongName))
        SCR.Command = file;
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_fileRow3Browse || feq == m_attachBrowse || feq == m_folderBrowse) {
      Update();
      std::string& target = feq == m_fileRow3Browse ? m_locals.fileThird
                            : feq == m_attachBrowse ? m_locals.attachmentsFolder
                                                    : m_locals.messageFolder;
      std::string folder = target;
      if (ui::FILEDIALOG("Select Folder", folder, {}, ui::FILE_::Directory)) target = folder;
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_startBrowse || feq == m_closeBrowse) {
      Update();
      SelectProgramFile();
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_startAdvanced) {
      Update();
      SCR.DDEApplicationName.data()[0] = m_startWait ? '1' : '0';  // the check and the options share it
      (void)UpdateScripting_StartProgram_Advanced();
      m_locals.waitForProgram = SCR.DDEApplicationName.view()[0] == '1';
      m_startWait = m_locals.waitForProgram ? 1 : 0;
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_selectMessage || feq == m_newMessage) {
      Update();
      files::GLOBALREQUEST = feq == m_selectMessage ? ui::SelectRecord : ui::InsertRecord;
      const files::ScriptingRec saved = SCR;
      const int response = scheduler::callProgramWindow(feq == m_selectMessage ? "BrowseMessages" : "UpdateMessages");
      SCR = saved;
      if (response == ui::RequestCompleted) takeMessage();
      showMessageFields();
      return ui::Level::Notify;
    }
    if (feq == m_contact) {
      Update();
      files::GLOBALREQUEST = ui::SelectRecord;
      const files::ScriptingRec saved = SCR;
      const int response = scheduler::callProgramWindow("BrowseContacts");
      SCR = saved;
      if (response == ui::RequestCompleted && files::C_.ClientID > 0) {
        std::string text = m_locals.messageText;
        text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size() : text.find_first_not_of(' '));
        m_locals.messageText = text + " [CONTACT " + std::to_string(files::C_.ClientID) + "]";
      }
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_abbreviations) {
      (void)scheduler::callProgramWindow("ViewAscii:ScriptKeys");
      return ui::Level::Notify;
    }
    if (feq == m_watch) {
      Update();
      if (m_capturing)
        EndMouseCapture();
      else
        BeginMouseCapture();
      return ui::Level::Notify;
    }
    if (feq == m_ifVarReserved || feq == m_loopReserved) {
      Update();
      const auto names = ReservedValueNames(false);
      const int n = ui::POPUP(joined(names));
      if (n > 0) SCR.Command = names[n - 1];
      w.display();
      return ui::Level::Notify;
    }
    if (feq == OkControl && !m_viewOnly) {
      Update();
      if (m_required.Incomplete(true)) return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeEvent() override {
    const int event = ui::EVENT();
    if (event == ui::EVENT::GainFocus && ui::FIELD() == 0 && m_capturing) {
      scheduler::ListTopWindows();
      EndMouseCapture();
    } else if (event == kEventCaptureAbandoned && m_capturing) {
      m_capturing = false;
      EndMouseCapture();
    } else if (event == ui::EVENT::Timer) {
      ShowMousePanel();
    }
    return ui::WindowManager::TakeEvent();
  }

  ui::Level TakeCompleted() override {
    if (Request == ui::InsertRecord || Request == ui::ChangeRecord) {
      if (!m_viewOnly && !completeItem()) return ui::Level::Notify;
    }
    return ui::WindowManager::TakeCompleted();
  }

  // The window drop lists offer the titles of the windows open now as they gain the focus.
  ui::Level TakeSelected() override {
    const int feq = ui::FIELD();
    if ((feq == m_waitWindow || feq == m_focusWindow || feq == m_ifWinWindow) && !m_viewOnly) {
      scheduler::ListTopWindows();
      std::string items;
      for (scheduler::WindowEntry e : scheduler::TopWindowList) {
        std::erase(e.title, '|');
        if (e.title.empty()) continue;
        if (!items.empty()) items += '|';
        items += e.title;
      }
      if (auto* combo = window().as<ui::ListChoice>(feq)) combo->from(items);
    }
    return ui::WindowManager::TakeSelected();
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_sheet && m_viewOnly) window().select(CancelControl);
    if (ui::FIELD() == m_sheet) m_tabs.ColourTabs();
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response ? Response : ui::RequestCancelled);
    releaseCapture();
    m_required.Kill();
    m_tabs.Kill();
    m_wheel.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_SCRIPTING.Close();
    m_opened = false;
    return rv;
  }

 private:
  // ---- priming --------------------------------------------------------------------------------

  void primeNewItem() {
    if (!SCR.Action.isBlank() && NewScriptItemOwner != -1 && SCR.ID != 0) return;  // a copy
    SCR.ID = SCH.ID;
    SCR.Action = act::kSendKeys;
    SCR.WindowExistance = "Window Exists";
    SCR.IfTimeElapsed = "Greater than";
    SCR.TimeElapsed = 86400;
    if (NewScriptItemOwner == -1) {
      NewScriptItemOwner = 0;
      const int n = ui::POPUP(QuickActionMenu());
      if (n <= 0) {
        m_actionState = kActionCancelled;
        return;
      }
      SCR.Action = QuickActionLabel(n);
      ConvertPickedAction(SCR);
    } else if (!UpdateScripting_GetAction()) {
      m_actionState = kActionCancelled;
    }
  }

  // A Send Email item: the linked message is edited, or one is chosen.
  void chooseMessage() {
    const files::ScriptingRec saved = SCR;
    if (Request == ui::ChangeRecord && SCR.EmailID != 0) {
      (void)files::Access_MESSAGES.Open();
      files::MESSAGES.clear();
      files::M_.EmailID = SCR.EmailID;
      const bool found = files::MESSAGES.get(files::M_KeyEmailID) == Err::None;
      (void)files::Access_MESSAGES.Close();
      if (found) {
        files::GLOBALREQUEST = ui::ChangeRecord;
        (void)scheduler::callProgramWindow("UpdateMessages");
        SCR = saved;
        return;
      }
    }
    files::GLOBALREQUEST = ui::SelectRecord;
    const int response = scheduler::callProgramWindow("BrowseMessages");
    SCR = saved;
    SCR.EmailID = 0;
    if (response == ui::RequestCompleted) takeMessage();
  }

  void takeMessage() {
    SCR.EmailID = files::M_.EmailID;
    SCR.WindowTitleToCheckFor = clipped(files::M_.Subject.view()) + " - " + clipped(files::M_.EmailTo.view());
  }

  void showMessageFields() {
    m_mailTo.clear();
    m_mailSubject.clear();
    if (SCR.EmailID != 0 && files::Access_MESSAGES.Open() == Err::None) {
      const files::MessageRec saved = files::M_;
      files::MESSAGES.clear();
      files::M_.EmailID = SCR.EmailID;
      if (files::MESSAGES.get(files::M_KeyEmailID) == Err::None) {
        m_mailTo = clipped(files::M_.EmailTo.view());
        m_mailSubject = clipped(files::M_.Subject.view());
      }
      files::M_ = saved;
      (void)files::Access_MESSAGES.Close();
    }
    if (window().isOpen()) window().display();
  }

  // ---- OK ---------------------------------------------------------------------------------------

  // False when the item must not be stored (the window stays open).
  bool completeItem() {
    m_locals.waitForProgram = m_startWait != 0;
    m_locals.windowsDialog = m_msgDialog != 0;
    m_locals.includeFolders = m_includeFlag != 0;
    m_locals.newerFiles = m_newerFlag != 0;
    m_locals.renameFiles = m_renameFlag != 0;
    m_locals.deleteAfterRetrieving = m_deleteFlag != 0;
    WriteItemLocals(m_locals, SCR);
    if (clipped(SCR.Action.view()) == "Other") {
      if (m_otherAction == "Other" || m_otherAction.empty()) {
        // An item without a real action would be stored unusable: the user chooses one first.
        ui::MESSAGE("\"Other\" script item not recorded correctly.  Re-enter.", "Error");
        return false;
      }
      SCR.Action = m_otherAction;
    }
    m_actionState = kActionCompleted;
    SCR.NetworkUser = files::APP.USERID.view();
    SCR.LastChangeDate = rt::TODAY();
    SCR.LastChangeTime = rt::CLOCK();
    if (SCR.OriginalID == 0) SCR.OriginalID = SCR.ID;
    return true;
  }

  // ---- the window -------------------------------------------------------------------------------

  int bind(ui::Control& c, ui::Binding use, int tab) {
    m_bindings.push_back({c.feq(), use, tab});
    return c.feq();
  }

  int addTab(std::string_view name, std::string_view caption) {
    const int tab = window().tab(std::string("?Tab:") + std::string(name), caption, m_sheet).feq();
    m_tabFeqs.emplace_back(std::string(name), tab);
    return tab;
  }

  void build() {
    ui::Window& w = window();
    w.setTitle("Update the Scripting File");
    w.at(-1, -1, 340, 300).minSize(340, 300).resizable();
    w.prompt("?SCR:Action:Prompt", "Action:").at(6, 6, 30, 10);
    w.entry("?SCR:Action", "@s27").at(40, 4, 120, 12).readOnly().use(SCR.Action);
    m_changeAction = w.button("?ChangeAction", "Change Action").at(166, 4, 60, 14).feq();
    w.textBox("?HelpText").at(6, 20, 328, 40).readOnly().use(m_help);
    m_sheet = w.sheet("?Sheet").at(4, 64, 332, 160).feq();

    // Keys
    int t = addTab("Keys", "Keys");
    w.prompt("?Keys:Prompt", "&Key(s) to press:").at(10, 82, 80, 10).on(t);
    m_keystrokes = bind(w.entry("?SCR:Keystrokes", "@s255").at(90, 80, 236, 12).required().on(t), SCR.Keystrokes, t);
    const int keyGroup = w.group("?KeyCodeGroup", "Key Code").at(10, 98, 150, 40).on(t).feq();
    bind(w.dropList("?Modifier", joined(ModifierList())).at(16, 110, 60, 12).on(keyGroup), m_modifier, t);
    bind(w.dropList("?Key", joined(KeyList())).at(80, 110, 40, 12).on(keyGroup), m_key, t);
    m_appendKey = w.button("?AppendKey", "Append").tip("Append to keystrokes").at(124, 110, 32, 14).on(keyGroup).feq();
    const int valueGroup = w.group("?ValueGroup", "Value").at(166, 98, 160, 40).on(t).feq();
    bind(w.dropList("?KeysReserved", joined(ReservedValueNames(true))).at(172, 110, 80, 12).on(valueGroup),
         m_keysReserved, t);
    m_appendValue = w.button("?AppendValue", "A&ppend").at(256, 110, 36, 14).on(valueGroup).feq();
    m_abbreviations = w.button("?Abbreviations", "Abbreviation List").at(10, 144, 70, 14).on(t).feq();
    m_watch = w.button("?WatchMouse", "Wa&tch Mouse").tip("Record a mouse click").at(84, 144, 60, 14).on(t).feq();

    // Wait
    t = addTab("Wait", "Wait");
    w.prompt("?Wait:Seconds:Prompt", "Wait &seconds:").at(10, 82, 70, 10).on(t);
    m_waitSeconds = bind(w.spin("?SCR:SecondsToWait", "@n7").at(90, 80, 50, 12).immediate().on(t), SCR.SecondsToWait, t);
    w.prompt("?Wait:Window:Prompt", "&Wait for window:").at(10, 98, 70, 10).on(t);
    m_waitWindow = bind(w.combo("?SCR:WaitForWindow", "").at(90, 96, 236, 12).on(t), SCR.WaitForWindow, t);
    m_waitCombo = bind(w.option("?WaitCombination", "").at(90, 112, 120, 20).on(t), m_locals.waitCombination, t);
    w.radio("?WaitCombination:Either", "Either", m_waitCombo).at(96, 118, 40, 10);
    w.radio("?WaitCombination:Both", "Both", m_waitCombo).at(140, 118, 40, 10);
    m_waitAdvanced = w.button("?WaitAdvanced", "Ad&vanced").at(10, 138, 50, 14).on(t).feq();
    m_waitContaining = w.string("?WaitContaining", "").at(66, 140, 260, 10).on(t).feq();

    // Set Focus
    t = addTab("Focus", "Focus");
    w.prompt("?Focus:Prompt", "&Focus on window:").at(10, 82, 70, 10).on(t);
    m_focusWindow = bind(w.combo("?SCR:FocusOnWindow", "").at(90, 80, 236, 12).required().on(t), SCR.FocusOnWindow, t);
    m_focusAdvanced = w.button("?FocusAdvanced", "Advanced").at(10, 98, 50, 14).on(t).feq();
    m_focusContaining = w.string("?FocusContaining", "").at(66, 100, 260, 10).on(t).feq();

    // If Window
    t = addTab("IfWin", "If Window");
    m_ifWinCondition = bind(w.option("?IfWin:Condition", "Condition").at(10, 80, 150, 22).on(t), SCR.WindowExistance, t);
    w.radio("?IfWin:Exists", "Exists", m_ifWinCondition).at(16, 88, 50, 10);
    w.radio("?IfWin:NotExists", "Does not exist", m_ifWinCondition).at(70, 88, 70, 10);
    w.prompt("?IfWin:Window:Prompt", "Window:").at(10, 108, 40, 10).on(t);
    m_ifWinWindow = bind(w.combo("?SCR:WindowTitleToCheckFor", "").at(60, 106, 266, 12).required().on(t),
                         SCR.WindowTitleToCheckFor, t);
    m_ifWinAdvanced = w.button("?IfWinAdvanced", "Advanced").at(10, 124, 50, 14).on(t).feq();
    m_ifWinContaining = w.string("?IfWinContaining", "").at(66, 126, 260, 10).on(t).feq();

    // If Time Elapsed
    t = addTab("IfTime", "If Time");
    const int timeCondition =
        bind(w.option("?IfTime:Condition", "Condition").at(10, 80, 150, 22).on(t), SCR.IfTimeElapsed, t);
    w.radio("?IfTime:Greater", "Greater than", timeCondition).at(16, 88, 60, 10);
    w.radio("?IfTime:Less", "Less than", timeCondition).at(80, 88, 60, 10);
    w.prompt("?IfTime:Seconds:Prompt", "Seconds:").at(10, 108, 40, 10).on(t);
    bind(w.entry("?SCR:TimeElapsed", "@n9").at(60, 106, 60, 12).on(t), SCR.TimeElapsed, t);

    // If File Exists
    t = addTab("IfFile", "If File");
    const int fileCondition =
        bind(w.option("?IfFile:Condition", "Condition").at(10, 80, 150, 22).on(t), SCR.WindowExistance, t);
    w.radio("?IfFile:Exists", "Exists", fileCondition).at(16, 88, 50, 10);
    w.radio("?IfFile:NotExists", "Does not exist", fileCondition).at(70, 88, 70, 10);
    w.prompt("?IfFile:File:Prompt", "&File:").at(10, 108, 40, 10).on(t);
    bind(w.entry("?IfFile:SCR:Command", "@s255").at(60, 106, 220, 12).required().on(t), SCR.Command, t);
    m_ifFileBrowse = w.button("?IfFileBrowse", "&Browse").at(284, 106, 42, 14).on(t).feq();

    // If Value
    t = addTab("IfVar", "If Value");
    w.prompt("?IfVar:Name:Prompt", "Enter or select the name of a script value (square brackets optional):")
        .at(10, 80, 300, 10).on(t);
    bind(w.entry("?IfVar:SCR:Command", "@s255").at(10, 92, 280, 12).on(t), SCR.Command, t);
    m_ifVarReserved = w.button("?IfVarReserved", "...").at(294, 92, 14, 12).on(t).feq();
    w.prompt("?IfVar:Compare:Prompt", "Enter the type of comparison:").at(10, 108, 200, 10).on(t);
    bind(w.dropList("?IfVar:Comparison", joined(ComparisonList())).at(10, 120, 40, 12).on(t), SCR.WindowTitleToCheckFor, t);
    w.prompt("?IfVar:Literal:Prompt",
             "Enter a literal string or number, or enter a script value surrounded by square brackets:")
        .at(10, 136, 316, 10).on(t);
    bind(w.entry("?IfVar:SCR:WaitForWindow", "@s255").at(10, 148, 280, 12).on(t), SCR.WaitForWindow, t);

    // Set Value
    t = addTab("SetVar", "Set Value");
    w.prompt("?SetVar:Type:Prompt", "&Type of set:").at(10, 82, 60, 10).on(t);
    m_setType = bind(w.dropList("?SetVar:Type", joined(SetTypeList())).at(80, 80, 100, 12).on(t), SCR.DDEType, t);
    w.prompt("?SetVar:Name:Prompt", "Value &name:").at(10, 98, 60, 10).on(t);
    m_setName = bind(w.entry("?SetVar:SCR:Path", "@s255").at(80, 96, 200, 12).on(t), SCR.Path, t);
    m_setReserved = bind(w.dropList("?SetVar:Reserved", joined(ReservedValueNames(true))).at(80, 96, 100, 12).on(t),
                         m_setReservedName, t);
    w.prompt("?SetVar:Value:Prompt", "&Value:").at(10, 114, 60, 10).on(t);
    m_setValue = bind(w.entry("?SetVar:SCR:Command", "@s255").at(80, 112, 200, 12).on(t), SCR.Command, t);
    m_iniGroup = w.group("?IniGroup", "INI Parameters").at(10, 128, 316, 40).on(t).feq();
    w.prompt("?Ini:File:Prompt", "&INI file name:").at(16, 138, 60, 10).on(m_iniGroup);
    m_iniFile = bind(w.entry("?SetVar:SCR:DDEApplicationName", "@s128").at(80, 136, 240, 12).on(m_iniGroup),
                     SCR.DDEApplicationName, t);
    w.prompt("?Ini:Section:Prompt", "INI &Section:").at(16, 152, 60, 10).on(m_iniGroup);
    m_iniSection = bind(w.entry("?SetVar:SCR:DDEApplicationTopic", "@s64").at(80, 150, 160, 12).on(m_iniGroup),
                        SCR.DDEApplicationTopic, t);
    m_setPreview = w.string("?SetVarPreview", "").at(10, 172, 316, 10).on(t).feq();

    // Start Loop
    t = addTab("Loop", "Loop");
    w.prompt("?Loop:Type:Prompt", "Type of loop:").at(10, 82, 60, 10).on(t);
    m_loopType = bind(w.dropList("?Loop:Type", joined(LoopTypeList())).at(80, 80, 80, 12).on(t), SCR.DDEType, t);
    m_loopCountRow = w.group("?Loop:CountRow", "").at(10, 96, 316, 18).on(t).feq();
    w.prompt("?Loop:Count:Prompt", "Repetitions:").at(14, 100, 60, 10).on(m_loopCountRow);
    bind(w.entry("?Loop:SCR:SecondsToWait", "@n7").at(80, 98, 50, 12).on(m_loopCountRow), SCR.SecondsToWait, t);
    m_loopConditionRow = w.group("?Loop:ConditionRow", "").at(10, 96, 316, 18).on(t).feq();
    bind(w.entry("?Loop:SCR:Command", "@s255").at(14, 98, 120, 12).on(m_loopConditionRow), SCR.Command, t);
    m_loopReserved = w.button("?LoopReserved", "...").at(136, 98, 14, 12).on(m_loopConditionRow).feq();
    bind(w.dropList("?Loop:Comparison", joined(ComparisonList())).at(154, 98, 40, 12).on(m_loopConditionRow),
         SCR.WindowTitleToCheckFor, t);
    bind(w.entry("?Loop:SCR:WaitForWindow", "@s255").at(198, 98, 120, 12).on(m_loopConditionRow), SCR.WaitForWindow, t);
    m_loopFilesRow = w.group("?Loop:FilesRow", "").at(10, 96, 316, 30).on(t).feq();
    w.prompt("?Loop:Files:Prompt", "Enter a file specification (wildcards and script values are valid):")
        .at(14, 98, 300, 10).on(m_loopFilesRow);
    bind(w.entry("?Loop:Files:SCR:Command", "@s255").at(14, 110, 280, 12).on(m_loopFilesRow), SCR.Command, t);
    m_loopBrowse = w.button("?LoopBrowse", "...").at(298, 110, 14, 12).on(m_loopFilesRow).feq();

    // Start Script
    t = addTab("Script", "Script");
    w.prompt("?Script:File:Prompt", "Enter the file name of, or select, an exported Orvane script file:")
        .at(10, 80, 300, 10).on(t);
    bind(w.entry("?Script:SCR:Command", "@s255").at(10, 92, 250, 12).required().on(t), SCR.Command, t);
    m_scriptBrowse = w.button("?ScriptBrowse", "Select a script").at(264, 92, 62, 14).on(t).feq();
    w.prompt("?Script:Method:Prompt", "Select a method of starting this imported script:").at(10, 110, 300, 10).on(t);
    bind(w.dropList("?Script:Method", joined(StartMethodList())).at(10, 122, 160, 12).on(t), SCR.Path, t);

    // Send Email
    t = addTab("Email", "E-mail");
    w.prompt("?Email:To:Prompt", "Send to:").at(10, 82, 50, 10).on(t);
    w.entry("?Email:To", "@s255").at(60, 80, 266, 12).readOnly().use(m_mailTo).on(t);
    w.prompt("?Email:Subject:Prompt", "Subject:").at(10, 98, 50, 10).on(t);
    w.entry("?Email:Subject", "@s255").at(60, 96, 266, 12).readOnly().use(m_mailSubject).on(t);
    m_selectMessage = w.button("?SelectMessage", "Select &Message").at(60, 114, 60, 14).on(t).feq();
    m_newMessage = w.button("?NewMessage", "&New Message").at(124, 114, 60, 14).on(t).feq();

    // Get Email
    t = addTab("Pop", "Get E-mail");
    w.prompt("?Pop:Server:Prompt", "Ser&ver:").at(10, 82, 60, 10).on(t);
    bind(w.entry("?Pop:Server", "@s64").at(80, 80, 200, 12).on(t), m_locals.mailServer, t);
    w.prompt("?Pop:User:Prompt", "&User:").at(10, 96, 60, 10).on(t);
    bind(w.entry("?Pop:User", "@s64").at(80, 94, 120, 12).on(t), m_locals.mailUser, t);
    w.prompt("?Pop:Password:Prompt", "&Password:").at(10, 110, 60, 10).on(t);
    bind(w.entry("?Pop:Password", "@s64").password().at(80, 108, 120, 12).on(t), m_locals.mailPassword, t);
    w.prompt("?Pop:Attach:Prompt", "A&ttachments folder:").at(10, 124, 70, 10).on(t);
    bind(w.entry("?Pop:Attach", "@s255").at(80, 122, 200, 12).on(t), m_locals.attachmentsFolder, t);
    m_attachBrowse = w.button("?Pop:AttachBrowse", "Select...").at(284, 122, 40, 14).on(t).feq();
    w.prompt("?Pop:Folder:Prompt", "&Message folder:").at(10, 138, 70, 10).on(t);
    bind(w.entry("?Pop:Folder", "@s255").at(80, 136, 200, 12).on(t), m_locals.messageFolder, t);
    m_folderBrowse = w.button("?Pop:FolderBrowse", "Select...").at(284, 136, 40, 14).on(t).feq();
    bind(w.check("?Pop:Delete", "&Delete after retrieving").at(80, 152, 100, 10).on(t), m_deleteFlag, t);
    w.prompt("?Pop:Params:Prompt", "Additional Parameters:").at(10, 166, 70, 10).on(t);
    bind(w.entry("?Pop:Params", "@s255").at(80, 164, 244, 12).on(t), m_locals.mailParameters, t);

    // File Actions
    t = addTab("File", "File");
    w.prompt("?File:Action:Prompt", "File Action:").at(10, 82, 60, 10).on(t);
    m_fileAction = bind(w.dropList("?File:Action", joined(FileActionList())).at(80, 80, 100, 12).on(t), SCR.DDEType, t);
    m_fileRow1Prompt = w.prompt("?File:Row1:Prompt", "Parameter &1:").at(10, 98, 66, 10).on(t).feq();
    m_fileRow1 = bind(w.entry("?File:Row1", "@s255").at(80, 96, 200, 12).required().on(t), SCR.Command, t);
    m_fileRow1Browse = w.button("?File:Row1Browse", "Select...").at(284, 96, 40, 14).on(t).feq();
    m_fileRow2Prompt = w.prompt("?File:Row2:Prompt", "Parameter &2:").at(10, 114, 66, 10).on(t).feq();
    m_fileRow2 = bind(w.entry("?File:Row2", "@s255").at(80, 112, 200, 12).required().on(t), SCR.Path, t);
    m_fileRow2Browse = w.button("?File:Row2Browse", "Select...").at(284, 112, 40, 14).on(t).feq();
    m_fileRow3Prompt = w.prompt("?File:Row3:Prompt", "Parameter &3:").at(10, 130, 66, 10).on(t).feq();
    m_fileRow3 = bind(w.entry("?File:Row3", "@s255").at(80, 128, 200, 12).required().on(t), m_locals.fileThird, t);
    m_fileRow3Browse = w.button("?File:Row3Browse", "Select...").at(284, 128, 40, 14).on(t).feq();
    m_fileUserPrompt = w.prompt("?File:User:Prompt", "&User Name:").at(10, 146, 66, 10).on(t).feq();
    m_fileUser = bind(w.entry("?File:User", "@s128").at(80, 144, 120, 12).required().on(t), m_locals.ftpUser, t);
    m_filePasswordPrompt = w.prompt("?File:Password:Prompt", "&Password:").at(10, 160, 66, 10).on(t).feq();
    m_filePassword =
        bind(w.entry("?File:Password", "@s127").password().at(80, 158, 120, 12).on(t), m_locals.ftpPassword, t);
    m_newer = bind(w.check("?File:Newer", "Only copy/move &newer files").at(10, 176, 110, 10).on(t), m_newerFlag, t);
    m_include = bind(w.check("?File:Include", "&Include folders when wildcards used").at(120, 176, 120, 10).on(t),
                     m_includeFlag, t);
    m_rename = bind(w.check("?File:Rename", "Rename files instead of o&verwriting").at(10, 188, 140, 10).on(t),
                    m_renameFlag, t);

    // Start Program
    t = addTab("Start", "Start Program");
    w.prompt("?Start:Command:Prompt", "Comma&nd:").at(10, 82, 50, 10).on(t);
    bind(w.entry("?Start:SCR:Command", "@s255").at(60, 80, 220, 12).required().on(t), SCR.Command, t);
    m_startBrowse = w.button("?StartBrowse", "&Browse").at(284, 80, 40, 14).on(t).feq();
    w.prompt("?Start:Path:Prompt", "Start &in:").at(10, 98, 50, 10).on(t);
    bind(w.entry("?Start:SCR:Path", "@s255").at(60, 96, 220, 12).on(t), SCR.Path, t);
    bind(w.check("?Start:Wait", "Wait for program to finish before continuing script").at(60, 114, 200, 10).on(t),
         m_startWait, t);
    m_startAdvanced = w.button("?StartAdvanced", "Advanced").at(60, 128, 50, 14).on(t).feq();

    // Display Message
    t = addTab("Msg", "Message");
    w.prompt("?Msg:Title:Prompt", "Title:").at(10, 82, 40, 10).on(t);
    bind(w.entry("?Msg:Title", "@s255").at(60, 80, 266, 12).on(t), m_locals.messageTitle, t);
    w.prompt("?Msg:Text:Prompt", "Message:").at(10, 96, 40, 10).on(t);
    bind(w.textBox("?Msg:Text").at(60, 94, 246, 40).on(t), m_locals.messageText, t);
    m_contact = w.button("?Msg:Contact", "").icon("contact.ico").tip("Add a contact").at(310, 94, 16, 14).on(t).feq();
    bind(w.check("?Msg:Dialog", "Use Windows Message Dialog").at(60, 138, 120, 10).on(t), m_msgDialog, t);
    w.prompt("?Msg:Buttons:Prompt", "Buttons:").at(10, 152, 40, 10).on(t);
    bind(w.entry("?Msg:Buttons", "@s255").at(60, 150, 266, 12).on(t), SCR.FocusOnWindow, t);

    // Close Program
    t = addTab("Close", "Close Program");
    w.prompt("?Close:Command:Prompt", "Execu&table or window title:").at(10, 82, 100, 10).on(t);
    bind(w.entry("?Close:SCR:Command", "@s255").at(10, 94, 270, 12).on(t), SCR.Command, t);
    m_closeBrowse = w.button("?CloseBrowse", "&Browse").at(284, 94, 40, 14).on(t).feq();
    w.prompt("?Close:Path:Prompt", "If a window, only consider it a match if it includes this text (optional):")
        .at(10, 112, 310, 10).on(t);
    bind(w.entry("?Close:SCR:Path", "@s255").at(10, 124, 270, 12).on(t), SCR.Path, t);

    // System
    t = addTab("Sys", "System");
    m_system = bind(w.option("?Sys:Action", "Select the system action to perform:").at(10, 80, 140, 100).on(t),
                    m_locals.systemAction, t);
    int y = 90;
    for (std::string_view name : SystemActionList()) {
      w.radio("?Sys:" + std::string(name), name, m_system).at(16, y, 100, 10);
      y += 11;
    }
    m_logonGroup = w.group("?Sys:Logon", "Logon Information").at(156, 80, 170, 56).on(t).feq();
    w.prompt("?Sys:User:Prompt", "User &Name:").at(160, 92, 44, 10).on(m_logonGroup);
    m_logonUser = bind(w.entry("?Sys:User", "@s64").at(206, 90, 114, 12).on(m_logonGroup), m_locals.logonUser, t);
    w.prompt("?Sys:Password:Prompt", "&Password:").at(160, 106, 44, 10).on(m_logonGroup);
    m_logonPassword =
        bind(w.entry("?Sys:Password", "@s64").password().at(206, 104, 114, 12).on(m_logonGroup), m_locals.logonPassword, t);
    w.prompt("?Sys:Domain:Prompt", "&Domain:").at(160, 120, 44, 10).on(m_logonGroup);
    m_logonDomain = bind(w.entry("?Sys:Domain", "@s64").at(206, 118, 114, 12).on(m_logonGroup), m_locals.logonDomain, t);
    m_serviceGroup = w.group("?Sys:Service", "Service Information").at(156, 140, 170, 24).on(t).feq();
    w.prompt("?Sys:Service:Prompt", "Service &Name:").at(160, 150, 44, 10).on(m_serviceGroup);
    bind(w.entry("?Sys:Service:SCR:Command", "@s255").at(206, 148, 114, 12).on(m_serviceGroup), SCR.Command, t);
    m_desktopGroup = w.group("?Sys:Desktop", "Switch to Desktop").at(156, 140, 170, 24).on(t).feq();
    w.prompt("?Sys:Desktop:Prompt", "Desktop &Name:").at(160, 150, 44, 10).on(m_desktopGroup);
    bind(w.entry("?Sys:Desktop:SCR:Command", "@s255").at(206, 148, 114, 12).on(m_desktopGroup), SCR.Command, t);

    // DDE
    t = addTab("DDE", "DDE");
    w.prompt("?DDE:App:Prompt", "&Application name:").at(10, 82, 70, 10).on(t);
    bind(w.entry("?DDE:App", "@s255").at(80, 80, 246, 12).on(t), SCR.DDEApplicationName, t);
    w.prompt("?DDE:Topic:Prompt", "A&pplication topic:").at(10, 98, 70, 10).on(t);
    bind(w.entry("?DDE:Topic", "@s255").at(80, 96, 246, 12).on(t), SCR.DDEApplicationTopic, t);
    w.prompt("?DDE:Command:Prompt", "&Command:").at(10, 114, 70, 10).on(t);
    bind(w.entry("?DDE:Command", "@s255").at(80, 112, 246, 12).on(t), SCR.DDECommand, t);

    // Comment
    t = addTab("Comment", "Comment");
    w.prompt("?Comment:Prompt", "Comment:").at(10, 82, 40, 10).on(t);
    bind(w.entry("?Comment:SCR:Command", "@s255").at(60, 80, 266, 12).on(t), SCR.Command, t);

    // Other
    t = addTab("Other", "Other");
    w.string("?Other:Text", "No information is required for this action.").at(10, 90, 300, 10).on(t);

    // The window and control under the mouse, for Set Focus and If Window.
    m_mouseGroup = w.group("?MouseGroup", "").at(4, 226, 332, 52).hidden().feq();
    m_mouseText = w.string("?MousePanel", "").at(10, 230, 320, 10).on(m_mouseGroup).feq();
    w.prompt("?MouseWindow:Prompt", "Window:").at(10, 242, 40, 10).on(m_mouseGroup);
    m_mouseWindowText = w.string("?MouseWindowText", "").at(54, 242, 170, 10).on(m_mouseGroup).feq();
    m_mouseWindowClass = w.string("?MouseWindowClass", "").at(228, 242, 100, 10).on(m_mouseGroup).feq();
    w.prompt("?MouseControl:Prompt", "Control:").at(10, 254, 40, 10).on(m_mouseGroup);
    m_mouseControlText = w.string("?MouseControlText", "").at(54, 254, 170, 10).on(m_mouseGroup).feq();
    m_mouseControlClass = w.string("?MouseControlClass", "").at(228, 254, 100, 10).on(m_mouseGroup).feq();
    w.timer(kMousePanelTimer);

    OkControl = w.button("?OK", "&OK").setDefault().at(236, 282, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(286, 282, 45, 14).feq();
  }

  int tabFeq(std::string_view name) const {
    for (const auto& [n, feq] : m_tabFeqs)
      if (n == name) return feq;
    return 0;
  }

  void showTab(int tab) {
    ui::Window& w = window();
    for (const auto& [name, feq] : m_tabFeqs) w.setProp(feq, ui::Prop::Hide, feq == tab ? 0 : 1);
    for (const TabBinding& b : m_bindings)
      if (ui::Control* c = w.control(b.feq)) c->use(b.tab == tab ? b.use : ui::Binding());
    w.select(tab);
    m_currentTab = tab;
    const bool panel = tab == tabFeq("Focus") || tab == tabFeq("IfWin");
    w.setProp(m_mouseGroup, ui::Prop::Hide, panel ? 0 : 1);
  }

 public:
  void SelectActionTab() {
    if (m_actionState == kActionCompleted) return;
    m_help = ActionHelpText(SCR.Action.view());
    const std::string action = clipped(SCR.Action.view());
    std::string tab(ActionTab(action));
    bool completesItself = false;
    if (action == act::kWait) {
      if (m_locals.waitCombination.empty()) m_locals.waitCombination = "Either";
    } else if (action == act::kSendKeystrokes) {
      SCR.Action = act::kSendKeys;
    } else if (action == act::kIfWindow || action == act::kIfFileExists) {
      // Blank, or a primed "Window Exists", is the first choice.
      const std::string now = rt::LOWER(clipped(SCR.WindowExistance.view()));
      SCR.WindowExistance = now.find("not") != std::string::npos ? "Does not exist" : "Exists";
    } else if (action == act::kIfTimeElapsed) {
      if (SCR.IfTimeElapsed.isBlank()) SCR.IfTimeElapsed = "Less than";
      else if (!(SCR.IfTimeElapsed == "Less than")) SCR.IfTimeElapsed = "Greater than";
    } else if (action == act::kEndIf || action == act::kExitLoop || action == act::kEndLoop) {
      completesItself = true;
    } else if (tab == "Other") {
      if (m_otherAction.empty() || m_otherAction == "Other" || action != "Other") m_otherAction = action;
      SCR.Action = "Other";
      completesItself = true;
    }
    if (action == act::kIfValue || action == act::kSetValue || action == act::kStartLoop ||
        action == act::kStartScript || action == act::kFileActions || action == act::kSystem)
      ApplyTabDefaults(SCR);
    if (action == act::kSetValue) m_setReservedName = clipped(SCR.Path.view()).substr(0, 10);
    if (action == act::kStartProgram) m_startWait = m_locals.waitForProgram ? 1 : 0;
    if (action == act::kDisplayMessage) m_msgDialog = m_locals.windowsDialog ? 1 : 0;
    if (action == act::kGetEmail) m_deleteFlag = m_locals.deleteAfterRetrieving ? 1 : 0;
    if (action == act::kFileActions) {
      m_includeFlag = m_locals.includeFolders ? 1 : 0;
      m_newerFlag = m_locals.newerFiles ? 1 : 0;
      m_renameFlag = m_locals.renameFiles ? 1 : 0;
    }
    if (action == act::kSystem && m_locals.systemAction.empty()) m_locals.systemAction = clipped(SCR.DDEType.view());
    showTab(tabFeq(tab));
    if (action == act::kSystem) ShowSystemControls();
    if (action == act::kStartLoop) ShowLoopControls();
    if (action == act::kSendEmail) showMessageFields();
    if (completesItself && Request == ui::InsertRecord) ui::POST(ui::EVENT::Accepted, OkControl);
    ShowWaitCombination();
    ShowFileActionRows();
    ShowSetValuePreview();
    ShowContainingTexts();
    window().display();
  }

  void ShowWaitCombination() {
    if (clipped(SCR.Action.view()) != act::kWait) return;
    ui::Window& w = window();
    const bool both = SCR.SecondsToWait != 0 && !SCR.WaitForWindow.isBlank();
    w.setProp(m_waitCombo, ui::Prop::Disable, both ? 0 : 1);
    if (both && m_locals.waitCombination.empty()) m_locals.waitCombination = "Both";
    if (!both) m_locals.waitCombination.clear();
    w.display(m_waitCombo);
  }

  void ShowLoopControls() {
    if (clipped(SCR.Action.view()) != act::kStartLoop) return;
    std::string type = clipped(SCR.DDEType.view());
    if (type != "Forever" && type != "While" && type != "Until" && type != "Count" && type != "Files") {
      SCR.DDEType = "Count";
      SCR.SecondsToWait = 1;
      type = "Count";
    }
    ui::Window& w = window();
    w.setProp(m_loopCountRow, ui::Prop::Hide, type == "Count" ? 0 : 1);
    w.setProp(m_loopConditionRow, ui::Prop::Hide, type == "While" || type == "Until" ? 0 : 1);
    w.setProp(m_loopFilesRow, ui::Prop::Hide, type == "Files" ? 0 : 1);
    SCR.NextTaskID = 0;
  }

  void ShowSystemControls() {
    if (clipped(SCR.Action.view()) != act::kSystem) return;
    ui::Window& w = window();
    const std::string& chosen = m_locals.systemAction;
    SCR.DDEType = chosen;
    const bool logon = chosen.find(" as") != std::string::npos;
    for (int feq : {m_logonUser, m_logonPassword, m_logonDomain}) w.setProp(feq, ui::Prop::Disable, logon ? 0 : 1);
    w.setProp(m_logonGroup, ui::Prop::Hide, logon ? 0 : 1);
    w.setProp(m_serviceGroup, ui::Prop::Hide, chosen.find("ervice") != std::string::npos ? 0 : 1);
    w.setProp(m_desktopGroup, ui::Prop::Hide, chosen == "Desktop" ? 0 : 1);
    // The interpreter starts and stops services through systemctl: offered where it is installed.
    const bool services = !rt::findProgram("systemctl").empty();
    for (const char* name : {"?Sys:Stop Service", "?Sys:Start Service"})
      w.setProp(w.feq(name), ui::Prop::Disable, services ? 0 : 1);
  }

  void ShowFileActionRows() {
    if (clipped(SCR.Action.view()) != act::kFileActions) return;
    ui::Window& w = window();
    const std::string kind = clipped(SCR.DDEType.view());
    auto show = [&](int feq, bool on) { w.setProp(feq, ui::Prop::Hide, on ? 0 : 1); };
    auto row = [&](int prompt, int entry, int button, bool on) {
      show(prompt, on);
      show(entry, on);
      show(button, on);
    };
    row(m_fileRow1Prompt, m_fileRow1, m_fileRow1Browse, true);
    row(m_fileRow2Prompt, m_fileRow2, m_fileRow2Browse, true);
    row(m_fileRow3Prompt, m_fileRow3, m_fileRow3Browse, false);
    row(m_fileUserPrompt, m_fileUser, 0, false);
    row(m_filePasswordPrompt, m_filePassword, 0, false);
    w.setProp(m_fileRow1Prompt, ui::Prop::Text, "&From:");
    w.setProp(m_fileRow2Prompt, ui::Prop::Text, "&To:");
    w.setProp(m_include, ui::Prop::Text, "&Include folders when wildcards used");
    for (int feq : {m_newer, m_include, m_rename}) show(feq, kind == "Copy");
    for (int feq : {m_fileRow1, m_fileRow2, m_fileRow3, m_fileUser, m_filePassword})
      w.setProp(feq, ui::Prop::Req, 1);
    auto oneRow = [&](const char* prompt) {
      row(m_fileRow2Prompt, m_fileRow2, m_fileRow2Browse, false);
      w.setProp(m_fileRow1Prompt, ui::Prop::Text, prompt);
    };
    if (kind == "Delete" || kind == "Get File Date" || kind == "Get File Time" || kind == "Get File Size" ||
        kind == "If File Exists") {
      oneRow("&File:");
    } else if (kind == "Make Directory" || kind == "Remove Directory") {
      oneRow("&Directory:");
    } else if (kind == "Log Windows") {
      oneRow("Log to &File:");
      w.setProp(m_fileRow2, ui::Prop::Req, 0);
    } else if (kind == "FTP Upload" || kind == "FTP Download") {
      const bool up = kind == "FTP Upload";
      w.setProp(m_fileRow1Prompt, ui::Prop::Text, up ? "&Local file:" : "&Path/Filename:");
      w.setProp(m_fileRow2Prompt, ui::Prop::Text, up ? "&Upload to:" : "&Save As:");
      show(up ? m_fileRow2Browse : m_fileRow1Browse, false);
      row(m_fileRow3Prompt, m_fileRow3, 0, true);
      w.setProp(m_fileRow3Prompt, ui::Prop::Text, "FTP &Host:");
      row(m_fileUserPrompt, m_fileUser, 0, true);
      row(m_filePasswordPrompt, m_filePassword, 0, true);
      // Anonymous servers take an empty password.
      w.setProp(m_filePassword, ui::Prop::Req, 0);
    } else if (kind == "HTTP Download") {
      w.setProp(m_fileRow1Prompt, ui::Prop::Text, "&URL:");
      w.setProp(m_fileRow2Prompt, ui::Prop::Text, "&Save As:");
      show(m_fileRow1Browse, false);
    } else if (kind == "Zip" || kind == "Unzip") {
      const bool zip = kind == "Zip";
      w.setProp(m_fileRow1Prompt, ui::Prop::Text, "&Archive:");
      w.setProp(m_fileRow2Prompt, ui::Prop::Text, zip ? "&Files to Zip:" : "&Files to Unzip:");
      row(m_fileRow3Prompt, m_fileRow3, m_fileRow3Browse, true);
      w.setProp(m_fileRow3Prompt, ui::Prop::Text, zip ? "In &Folder:" : "&Destination:");
      w.setProp(m_fileRow3, ui::Prop::Req, zip ? 0 : 1);
      if (zip) {
        show(m_include, true);
        w.setProp(m_include, ui::Prop::Text, "&Include subfolders");
      }
    }
    if (kind == "Move") for (int feq : {m_newer, m_include, m_rename}) show(feq, false);
  }

  void ShowSetValuePreview() {
    if (clipped(SCR.Action.view()) != act::kSetValue) return;
    ui::Window& w = window();
    const std::string type = clipped(SCR.DDEType.view());
    w.setProp(m_iniGroup, ui::Prop::Hide, type.find("INI") != std::string::npos ? 0 : 1);
    const bool reserved = type.find("served") != std::string::npos;
    w.setProp(m_setReserved, ui::Prop::Hide, reserved ? 0 : 1);
    w.setProp(m_setName, ui::Prop::Hide, reserved ? 1 : 0);
    w.setProp(m_setPreview, ui::Prop::Text, SetValuePreview(SCR));
  }

  void ShowContainingTexts() {
    ui::Window& w = window();
    const std::string focus = clipped(SCR.FocusOnWindow.view()), wait = clipped(SCR.WaitForWindow.view());
    const std::string containingFocus = focus.empty() ? "" : "Containing: " + focus;
    w.setProp(m_waitContaining, ui::Prop::Text, containingFocus);
    w.setProp(m_ifWinContaining, ui::Prop::Text, containingFocus);
    w.setProp(m_focusContaining, ui::Prop::Text, wait.empty() ? "" : "Containing: " + wait);
  }

  // The panel follows the mouse: each line is written only when its text changed.
  void ShowMousePanel() {
    if (m_currentTab != tabFeq("Focus") && m_currentTab != tabFeq("IfWin")) return;
    const PointerHost& p = pointerHost();
    int x = 0, y = 0;
    if (!p.position || !p.position(x, y)) return;
    const os::WindowId top = p.windowUnder ? p.windowUnder() : 0;
    const os::WindowId control = top && p.controlUnder ? p.controlUnder(top, x, y) : 0;
    auto text = [&](os::WindowId id) {
      std::string t = id && p.text ? p.text(id) : std::string();
      return t.substr(0, rt::utf8CutLength(t, 255));
    };
    auto kind = [&](os::WindowId id) { return id && p.className ? p.className(id) : std::string(); };
    ui::Window& w = window();
    const std::pair<int, std::string> lines[] = {
        {m_mouseText, "The mouse (X=" + std::to_string(x) + ", Y=" + std::to_string(y) + ") is currently over..."},
        {m_mouseWindowText, text(top)},
        {m_mouseWindowClass, kind(top)},
        {m_mouseControlText, text(control)},
        {m_mouseControlClass, kind(control)},
    };
    for (const auto& [feq, line] : lines)
      if (w.prop(feq, ui::Prop::Text) != line) w.setProp(feq, ui::Prop::Text, line);
  }

  // "Wa&tch Mouse": the frame steps aside and the next click anywhere is taken.
  void BeginMouseCapture() {
    postToFrame(kEventHideForCapture);
    QWidget* view = window().view();
    if (!view) return;
    if (!m_filter) m_filter = std::make_unique<CaptureFilter>(window().thread());
    view->installEventFilter(m_filter.get());
    view->grabMouse();
    m_capturing = true;
  }

  void EndMouseCapture() {
    releaseCapture();
    ui::Window& w = window();
    w.setProp(m_watch, ui::Prop::Text, "Wa&tch");
    int x = 0, y = 0;
    if (m_capturing && pointerHost().position && pointerHost().position(x, y)) {
      SCR.Keystrokes = clipped(SCR.Keystrokes.view()) + "[MOUSE X=" + std::to_string(x) + " Y=" +
                       std::to_string(y) + "][MOUSELEFT]";
      w.display(m_keystrokes);
    }
    postToFrame(kEventShowAfterCapture);
    m_capturing = false;
    w.setProp(0, ui::Prop::Active, 1);
  }

 private:
  void releaseCapture() {
    if (!m_filter) return;
    if (QWidget* view = window().view()) {
      view->releaseMouse();
      view->removeEventFilter(m_filter.get());
    }
    m_filter.reset();
  }

  int runChildPicker(bool focus) {
    if (m_target) scheduler::ListChildWindows(m_target);
    else scheduler::ChildWindowList.clear();
    return focus ? UpdateScriptingGetChildFocus() : UpdateScriptingGetChild();
  }

  ScriptingUpdateFile m_file;
  winclasses::ReqFldClass m_required;
  winclasses::ColourTabClass m_tabs;
  winclasses::QVMouseWheelClass m_wheel;
  ui::WindowPositionKeeper m_position;
  ItemLocals m_locals;
  std::vector<TabBinding> m_bindings;
  std::vector<std::pair<std::string, int>> m_tabFeqs;
  std::string m_help, m_otherAction, m_modifier, m_key, m_keysReserved, m_setReservedName, m_mailTo, m_mailSubject;
  uint8_t m_startWait = 0, m_msgDialog = 0, m_deleteFlag = 0, m_includeFlag = 0, m_newerFlag = 0, m_renameFlag = 0;
  os::WindowId m_target = 0;
  std::unique_ptr<CaptureFilter> m_filter;
  bool m_capturing = false;
  int m_watch = 0, m_mouseGroup = 0, m_mouseText = 0, m_mouseWindowText = 0, m_mouseWindowClass = 0;
  int m_mouseControlText = 0, m_mouseControlClass = 0;
  int m_actionState = 0, m_currentTab = 0;
  bool m_viewOnly = false, m_opened = false;
  int m_sheet = 0, m_changeAction = 0, m_keystrokes = 0, m_appendKey = 0, m_appendValue = 0, m_abbreviations = 0;
  int m_waitSeconds = 0, m_waitWindow = 0, m_waitCombo = 0, m_waitAdvanced = 0, m_waitContaining = 0;
  int m_focusWindow = 0, m_focusAdvanced = 0, m_focusContaining = 0;
  int m_ifWinCondition = 0, m_ifWinWindow = 0, m_ifWinAdvanced = 0, m_ifWinContaining = 0, m_ifFileBrowse = 0;
  int m_ifVarReserved = 0, m_setType = 0, m_setName = 0, m_setReserved = 0, m_setValue = 0, m_iniGroup = 0;
  int m_iniFile = 0, m_iniSection = 0, m_setPreview = 0;
  int m_loopType = 0, m_loopCountRow = 0, m_loopConditionRow = 0, m_loopFilesRow = 0, m_loopReserved = 0, m_loopBrowse = 0;
  int m_scriptBrowse = 0, m_selectMessage = 0, m_newMessage = 0, m_attachBrowse = 0, m_folderBrowse = 0;
  int m_fileAction = 0, m_fileRow1Prompt = 0, m_fileRow1 = 0, m_fileRow1Browse = 0, m_fileRow2Prompt = 0;
  int m_fileRow2 = 0, m_fileRow2Browse = 0, m_fileRow3Prompt = 0, m_fileRow3 = 0, m_fileRow3Browse = 0;
  int m_fileUserPrompt = 0, m_fileUser = 0, m_filePasswordPrompt = 0, m_filePassword = 0;
  int m_newer = 0, m_include = 0, m_rename = 0, m_startBrowse = 0, m_startAdvanced = 0, m_contact = 0;
  int m_closeBrowse = 0, m_system = 0, m_logonGroup = 0, m_logonUser = 0, m_logonPassword = 0, m_logonDomain = 0;
  int m_serviceGroup = 0, m_desktopGroup = 0;
};

// ---- the action picker ------------------------------------------------------------------------

struct PickerGroup {
  std::string_view title;
  std::vector<std::string_view> labels;
};
const std::vector<PickerGroup>& pickerGroups() {
  static const std::vector<PickerGroup> groups = {
      {" Basic Actions ", {"Send &Keys", "Set &Focus", "&Wait", "Display &Message"}},
      {" Conditions and Values ",
       {"&If Window...", "If &Time Elapsed...", "If &Value...", "If File E&xists...", "Set V&alue", "...&End If"}},
      {" File ", {"&Copy Files", "Move Fi&les", "&Delete Files", "&Zip Files", "Unzi&p Files", "Ot&her..."}},
      {" Internet ", {"Download we&b page", "FTP &Upload", "FTP Download", "Se&nd E-mail", "Get E-mail"}},
      {" Program/System ", {"Start P&rogram", "Close Pro&gram", "S&ystem Command", "DDE"}},
      {" Script Control ", {"Start &Script", "Exit Script", "Start Loop", "Exit Loop", "...End Loop"}},
      {" Other ", {"Comment"}},
  };
  return groups;
}

class GetActionWindow : public ui::WindowManager {
 public:
  GetActionWindow() : ui::WindowManager("UpdateScripting:GetAction") {}
  int result = 0;

  ui::Level Init() override {
    files::GLOBALRESPONSE = 0;
    m_saved = SCR.Action.str();
    SCR.Action = PickerLabelFor(SCR);
    ui::Window& w = window();
    w.setTitle("Select Script Action");
    // The groups fill columns from top to bottom; the window is as wide as its columns.
    struct Place {
      int x, y;
    };
    std::vector<Place> places;
    int x = 8, y = 8;
    for (const PickerGroup& g : pickerGroups()) {
      const int height = 12 + 11 * static_cast<int>(g.labels.size());
      if (y + height > 200) {
        y = 8;
        x += 146;
      }
      places.push_back({x, y});
      y += height + 4;
    }
    const int width = x + 146;
    w.at(-1, -1, width, 230);
    m_option = w.option("?SCR:Action", "").at(4, 4, width - 8, 200).use(SCR.Action).feq();
    for (size_t i = 0; i < pickerGroups().size(); ++i) {
      const PickerGroup& g = pickerGroups()[i];
      const int height = 12 + 11 * static_cast<int>(g.labels.size());
      x = places[i].x;
      y = places[i].y;
      w.group("?Group:" + std::string(rt::clipView(g.title)), g.title).at(x, y, 140, height).on(m_option);
      int ry = y + 10;
      for (std::string_view label : g.labels) {
        std::string value = stripAccelerator(label);
        if (value == "Send E-mail") value = "Send Email";
        if (value == "Get E-mail") value = "Get Email";
        auto& radio = w.radio("?Radio:" + value, label, m_option);
        radio.value(value);
        radio.at(x + 6, ry, 128, 10);
        ry += 11;
      }
    }
    OkControl = w.button("?OK", "&OK").setDefault().at(width - 100, 210, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(width - 50, 210, 45, 14).feq();
    // The focus goes to the first control that reads as the item's label.
    const std::string label = clipped(SCR.Action.view());
    for (int feq : w.fields()) {
      if (feq == m_option) continue;  // the group reads as its chosen value
      const std::string text = w.prop(feq, ui::Prop::Text);
      std::string bare = text;
      std::erase(bare, '&');
      if (bare == label || text == label) {
        FirstField = feq;
        break;
      }
    }
    Open();
    m_position.Init(*this, files::globalIni(), true);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == OkControl && !isAcceptAllPass()) {
      Update();
      ConvertPickedAction(SCR);
      result = 1;
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    if (feq == CancelControl) {
      SCR.Action = m_saved;
      SetResponse(ui::RequestCancelled);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    if (!result) SCR.Action = m_saved;  // cancelled or closed: the item keeps its action
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response ? Response : ui::RequestCancelled);
    return ui::WindowManager::Kill();
  }

 private:
  std::string m_saved;
  int m_option = 0;
  ui::WindowPositionKeeper m_position;
};

// ---- Start Program options ----------------------------------------------------------------------

class StartProgramAdvanced : public ui::WindowManager {
 public:
  StartProgramAdvanced() : ui::WindowManager("UpdateScripting:StartProgram:Advanced") {}

  ui::Level Init() override {
    files::GLOBALRESPONSE = 0;
    if (TemplateModeHere()) SCR = files::OVD;
    const StartOptions o = ReadStartOptions(SCR);
    m_wait = o.wait;
    m_asUser = o.asUser;
    m_translate = o.translate;
    m_priority = o.priority;
    m_mode = o.windowMode;
    m_type = o.startType;
    m_seconds = o.stopWaitingAfter;
    m_user = o.user;
    m_password = o.password;
    m_domain = o.domain;

    ui::Window& w = window();
    w.setTitle("Advanced...");
    w.at(-1, -1, 240, 170);
    const int sheet = w.sheet("?Sheet").at(4, 4, 232, 140).feq();
    int t = w.tab("?Tab:Start", "Start Settings", sheet).feq();
    const int mode = w.option("?WindowMode", "Window mode").at(8, 20, 110, 80).use(m_mode).on(t).feq();
    int y = 30;
    for (const auto& [text, code] : StartWindowModes()) {
      w.radio("?WindowMode:" + std::string(1, code), text, mode).at(12, y, 104, 10);
      y += 11;
    }
    m_typeOption = w.option("?StartType", "Start type").at(122, 20, 106, 84).use(m_type).on(t).feq();
    y = 30;
    for (const char* verb : {"Open", "View", "Print", "Edit", "Play", "Find", "Explore"}) {
      w.radio(std::string("?StartType:") + verb, verb, m_typeOption).at(126, y, 60, 10);
      y += 10;
    }
    const int priority = w.option("?Priority", "Process Priority").at(8, 102, 110, 24).use(m_priority).on(t).feq();
    w.radio("?Priority:Low", "Low", priority).at(12, 112, 30, 10);
    w.radio("?Priority:Normal", "Normal", priority).at(44, 112, 36, 10);
    w.radio("?Priority:High", "High", priority).at(82, 112, 30, 10);
    w.check("?Translate", "Translate command").at(122, 112, 100, 10).use(m_translate).on(t);
    t = w.tab("?Tab:Wait", "Wait", sheet).feq();
    m_waitCheck = w.check("?WaitCheck", "Wait for program end").at(8, 24, 120, 10).use(m_wait).on(t).feq();
    w.string("?WaitNote", "(Script continues only after program is finished)").at(8, 36, 200, 10).on(t);
    w.prompt("?StopWaiting:Prompt", "Stop waiting after").at(8, 52, 60, 10).on(t);
    m_secondsEntry = w.entry("?StopWaiting", "@n6").at(70, 50, 40, 12).use(m_seconds).on(t).feq();
    w.string("?StopWaiting:Note", "seconds, even if program is running.").at(114, 52, 120, 10).on(t);
    t = w.tab("?Tab:User", "Start as User", sheet).feq();
    m_userCheck = w.check("?AsUser", "Start as specific user").at(8, 24, 120, 10).use(m_asUser).on(t).feq();
    w.prompt("?User:Prompt", "User &Name:").at(8, 40, 50, 10).on(t);
    m_userEntry = w.entry("?User", "@s64").at(60, 38, 160, 12).use(m_user).on(t).feq();
    w.prompt("?Password:Prompt", "&Password:").at(8, 56, 50, 10).on(t);
    m_passwordEntry = w.entry("?Password", "@s64").password().at(60, 54, 160, 12).use(m_password).on(t).feq();
    w.prompt("?Domain:Prompt", "&Domain:").at(8, 72, 50, 10).on(t);
    m_domainEntry = w.entry("?Domain", "@s64").at(60, 70, 160, 12).use(m_domain).on(t).feq();
    m_close = w.button("?Close", "Cl&ose").at(190, 150, 45, 14).feq();
    // The focus starts off the tabs: a focused control on a page that is switched away from
    // would bring its page back.
    FirstField = m_close;
    Open();
    dependents();
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (isAcceptAllPass()) return ui::WindowManager::TakeAccepted();
    if (feq == m_waitCheck || feq == m_userCheck) {
      Update();
      dependents();
      return ui::Level::Notify;
    }
    if (feq == m_close) {
      Update();
      StartOptions o;
      o.wait = m_wait != 0;
      o.asUser = m_asUser != 0;
      o.translate = m_translate != 0;
      o.priority = m_priority;
      o.windowMode = m_mode;
      o.startType = m_type;
      o.stopWaitingAfter = m_seconds;
      o.user = m_user;
      o.password = m_password;
      o.domain = m_domain;
      WriteStartOptions(o, SCR);
      if (TemplateModeHere()) files::OVD = SCR;
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response ? Response : ui::RequestCancelled);
    return ui::WindowManager::Kill();
  }

 private:
  void dependents() {
    ui::Window& w = window();
    w.setProp(m_secondsEntry, ui::Prop::Disable, m_wait ? 0 : 1);
    w.setProp(m_typeOption, ui::Prop::Disable, m_wait ? 1 : 0);
    for (int feq : {m_userEntry, m_passwordEntry, m_domainEntry}) w.setProp(feq, ui::Prop::Disable, m_asUser ? 0 : 1);
  }

  uint8_t m_wait = 0, m_asUser = 0, m_translate = 0;
  std::string m_priority, m_mode, m_type, m_user, m_password, m_domain;
  int32_t m_seconds = 0;
  int m_typeOption = 0, m_waitCheck = 0, m_secondsEntry = 0, m_userCheck = 0, m_userEntry = 0, m_passwordEntry = 0;
  int m_domainEntry = 0, m_close = 0;
};

// ---- the containing-text pickers ----------------------------------------------------------------

class GetChildWindow : public ui::WindowManager {
 public:
  explicit GetChildWindow(bool focus)
      : ui::WindowManager(focus ? "UpdateScriptingGetChildFocus" : "UpdateScriptingGetChild"), m_focus(focus) {}

  ui::Level Init() override {
    files::GLOBALRESPONSE = 0;
    m_text = clipped(m_focus ? SCR.WaitForWindow.view() : SCR.FocusOnWindow.view()).substr(0, 40);
    std::string items;
    for (scheduler::WindowEntry e : scheduler::ChildWindowList) {
      std::erase(e.title, '|');
      if (e.title.empty()) continue;
      if (!items.empty()) items += '|';
      items += e.title;
    }
    ui::Window& w = window();
    w.setTitle("Advanced Settings");
    w.at(-1, -1, 220, 110).minSize(220, 110).resizable();
    w.string("?Line1", "Many application windows contain at least some text that").at(6, 4, 208, 10);
    w.string("?Line2", "can be examined by Orvane.  This is typically").at(6, 14, 208, 10);
    w.string("?Line3", "the text on buttons and error messages.").at(6, 24, 208, 10);
    w.prompt("?Text:Prompt", "Window must contain this text:").at(6, 40, 208, 10);
    w.combo("?Text", items).picture("@s40").at(6, 52, 208, 12).tip("Contents of window to locate").use(m_text);
    w.string("?Warn1", "Do not use this in conjunction with the \"~\" reversal").at(6, 70, 208, 10);
    w.string("?Warn2", "switch.").at(6, 80, 208, 10);
    m_close = w.button("?Close", "Cl&ose").at(170, 92, 45, 14).feq();
    Open();
    m_position.Init(*this, files::globalIni(), true);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_close && !isAcceptAllPass()) {
      Update();
      const std::string text = m_text.substr(0, rt::utf8CutLength(m_text, 40));
      if (m_focus)
        SCR.WaitForWindow = text;
      else
        SCR.FocusOnWindow = text;
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response ? Response : ui::RequestCancelled);
    return ui::WindowManager::Kill();
  }

 private:
  bool m_focus;
  std::string m_text;
  int m_close = 0;
  ui::WindowPositionKeeper m_position;
};

}  // namespace

PointerHost& pointerHost() {
  static PointerHost host{
      .position = [](int& x, int& y) { return os::mousePosition(x, y); },
      .windowUnder = [] { return os::windowUnderPointer(); },
      .controlUnder =
          [](os::WindowId top, int x, int y) {
            os::WindowId found = 0;
            for (const os::TopWindow& child : os::listChildWindows(top)) {
              os::WindowRect r;
              if (os::windowRect(child.id, r) && x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height)
                found = child.id;  // the deepest one listed last wins
            }
            return found;
          },
      .text = [](os::WindowId id) { return os::windowTitle(id); },
      .className = [](os::WindowId id) { return os::windowClass(id); },
  };
  return host;
}

std::unique_ptr<ui::WindowManager> makeUpdateScripting() { return std::make_unique<UpdateScriptingForm>(); }

int UpdateScripting() {
  UpdateScriptingForm form;
  return form.Run();
}

int UpdateScripting_GetAction() {
  GetActionWindow picker;
  (void)picker.Run();
  return picker.result;
}

int UpdateScripting_StartProgram_Advanced() {
  StartProgramAdvanced window;
  return window.Run();
}

void SelectProgramFile() {
  TemplateMirror mirror;
  std::error_code ec;
  const std::filesystem::path saved = std::filesystem::current_path(ec);
  const std::string folder = clipped(SCR.Path.view());
  if (!folder.empty()) std::filesystem::current_path(folder, ec);
  std::string file = SCR.Command.str();
  if (ui::FILEDIALOG("Select a Program", file, "All Files|*.*|EXEs|*.EXE|COMs|*.COM|BATs|*.BAT|Shortcuts|*.LNK")) {
    SCR.Command = file;
    if (SCR.Path.isBlank()) SCR.Path = ProgramStartFolder(file);
  }
  if (!saved.empty()) std::filesystem::current_path(saved, ec);
}

int UpdateScriptingGetChild() {
  GetChildWindow picker(false);
  return picker.Run();
}

int UpdateScriptingGetChildFocus() {
  GetChildWindow picker(true);
  return picker.Run();
}

}  // namespace ov::editors
