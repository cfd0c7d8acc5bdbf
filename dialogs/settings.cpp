#include "dialogs/settings.h"

#include <string>

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "dialogs/lock_prompt.h"
#include "dialogs/settings_keys.h"
#include "platform/rt/command_line.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/process.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "scheduler/globals.h"
#include "scheduler/main_frame.h"
#include "scheduler/program_body.h"
#include "scheduler/smtp_mail.h"
#include "scheduler/services.h"
#include "winclasses/colour_tab_class.h"
#include "winclasses/qv_mouse_wheel_class.h"

namespace ov::dialogs {

namespace {

using files::CLIP;
using files::EMAIL;
using files::GLO;
using files::LOG;
using files::MSG;
using files::NEWS;
using files::SCRIPT;
using files::START;
using files::TASK;

constexpr int32_t kGrey = 10987431;  // red, green and blue 167
constexpr const char* kBuild = "597";
constexpr const char* kTestLog = ".\\SMTPTEST.LOG";

std::string joined(auto samples, std::string extra) {
  std::string items;
  bool found = false;
  for (const PictureSample& p : samples) {
    if (!items.empty()) items += '|';
    items += p.sample;
    if (extra == p.sample) found = true;
  }
  if (!found && !extra.empty()) items += "|" + extra;  // a configured picture the list does not offer
  return items;
}

class SetupWindow : public ui::WindowManager {
 public:
  SetupWindow() : ui::WindowManager("Setup") {}

  ui::Level Init() override {
    if (!fPasswordValidation()) return ui::Level::Notify;
    m_hasOpened = true;
    m_mapiNameAtOpen = EMAIL.MAPINAME.str();
    m_mapiPasswordAtOpen = EMAIL.MAPIPASSWORD.str();
    if (!rt::COMMAND("/I").empty() && rt::COMMAND("/CONFIG").empty())
      (void)ui::MESSAGE("The task scheduler has been \"inactivated\" using the /I command line parameter.", "Warning",
                        ui::Icon::Exclamation);
    m_state = openSettingsState();
    pullStartup();
    if (files::Relate_CONFIGURATION.Open() == rt::Err::None) m_opened |= 1;
    if (files::Relate_SCHEDULE.Open() == rt::Err::None) m_opened |= 2;
    if (files::Relate_TODO.Open() == rt::Err::None) m_opened |= 4;
    loadRegistryEmailDefaults();
    build();
    Open();
    m_tabs.Init(kGrey, -1, 0, -1, -1, 0, 0);
    m_wheel.Init();
    m_tabs.ColourTabs();
    showMailGroups();
    enableControls();
    window().display();
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    ui::Window& w = window();
    if (feq == CancelControl) {
      Update();
      scheduler::LoadConfiguration();
      SetResponse(ui::RequestCancelled);
      return ui::Level::Notify;
    }
    if (feq == OkControl) {
      Update();
      pushStartup();
      return save();
    }
    Update();
    pushStartup();
    if (feq == m_useMapi) showMailGroups();
    if (feq == m_logActive || feq == m_useNtLog || feq == m_locked) enableControls();
    if (feq == m_active && scheduler::SchedulerActive) serviceWarning();
    if (feq == w.feq("?OverdueInfo"))
      (void)ui::MESSAGE(
          "Tasks will be skipped if the system date is greater than the task date by the number of days set here "
          "(default is 1).  Orvane will optionally issue a warning (determined by the \"Warn if not run on specified "
          "date\" checkbox in Update Schedule, Advanced Settings).",
          "Note", ui::Icon::Information);
    if (feq == w.feq("?TranslateInfo"))
      (void)ui::MESSAGE(
          "This applies to starting programs from within scripting.  When \"Display Message\", \"File Action\", and "
          "\"Send Email\" script actions are processed, the file names and paths are \"translated\" using the values "
          "set internally or by the \"Set Value\" script action.||An example would be to copy a file to another file "
          "named using today's date: \"File Action: Copy File c:\\this.txt d:\\[DATE].txt\". ||Leave this option "
          "unchecked if you need to send a literal \"[\" to the programs you are starting. ",
          "Info", ui::Icon::Information);
    if (feq == w.feq("?TestSettings")) testSettings();
    return ui::WindowManager::TakeAccepted();
  }

  // The frame hears of the toolbar once the dialog is gone: posted while the dialog is open on the
  // frame's thread, the event would reach the dialog instead.
  using ui::WindowManager::Run;
  int Run() override {
    const int rv = ui::WindowManager::Run();
    if (m_toolbarChanged && scheduler::services().post)
      scheduler::services().post(scheduler::EVENT::ToolbarChanged, scheduler::kFrameThread);
    return rv;
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == window().feq("?CurrentTab")) m_tabs.ColourTabs();
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    if (m_hasOpened) m_tabs.Kill();
    m_wheel.Kill();
    if (m_opened & 1) (void)files::Relate_CONFIGURATION.Close();
    if (m_opened & 2) (void)files::Relate_SCHEDULE.Close();
    if (m_opened & 4) (void)files::Relate_TODO.Close();
    m_opened = 0;
    return ui::WindowManager::Kill();
  }

 private:
  // The start-up settings of the scheduler are kept as bools; the controls edit these copies,
  // which go back after every edit.
  void pullStartup() {
    const scheduler::StartupSettings& s = scheduler::startupSettings();
    m_lockedFlag = s.systemLock;
    m_altFormat = s.explorerScheduleView;
  }
  void pushStartup() {
    scheduler::StartupSettings& s = scheduler::startupSettings();
    s.systemLock = m_lockedFlag != 0;
    s.explorerScheduleView = m_altFormat != 0;
  }

  void build() {
    ui::Window& w = window();
    w.setTitle("Options");
    w.at(-1, -1, 300, 228);
    const int sheet = w.sheet("?CurrentTab").at(4, 4, 292, 190).feq();

    const int startUp = w.tab("?Tab:StartUp", "Start Up", sheet).feq();
    w.group("?ViewGroup", "\"View Schedule\" Defaults").at(10, 22, 270, 48).on(startUp);
    w.check("?START:SCHEDULE", "Show Schedule at start up ").at(16, 32, 250, 10).use(START.SCHEDULE).on(startUp);
    w.check("?START:ALLDAYS", "Show full schedule initially (\"All By Date\" tab) ").at(16, 44, 250, 10).use(START.ALLDAYS).on(startUp);
    w.check("?START:ACTIVEONLY", "Only show active tasks initially ").at(16, 56, 250, 10).use(START.ACTIVEONLY).on(startUp);
    w.check("?START:TODO", "Show To Do List at start up ").at(10, 76, 250, 10).use(START.TODO).on(startUp);
    w.check("?START:CONTACTS", "Show Contacts at start up ").at(10, 88, 250, 10).use(START.CONTACTS).on(startUp);
    w.check("?START:CLIPBOARD", "Show Clipboard Manager at start up ").at(10, 100, 250, 10).use(START.CLIPBOARD).on(startUp);
    w.check("?START:MINIMIZED", "Minimize at start up ").at(10, 112, 250, 10).use(START.MINIMIZED).on(startUp);
    w.check("?START:NOSPLASH", "Do not show splash window at start up").at(10, 124, 250, 10).tip("Suppress splash window").use(START.NOSPLASH).on(startUp);

    const int general = w.tab("?Tab:General", "General", sheet).feq();
    w.check("?GLO:NOTRAY", "Minimize to task bar (in addition to tray icon)").at(10, 22, 270, 10).use(GLO.NOTRAY).on(general);
    w.check("?GLO:TRAYONCLOSE", "Minimize to system tray instead of exiting ").at(10, 34, 270, 10).use(GLO.TRAYONCLOSE).on(general);
    w.check("?TASK:RESTOREONRUNPROGRAM", "Restore for \"Run Program\" tasks ").at(10, 46, 270, 10)
        .tip("If iconized, restore before running a \"run program\" task").use(TASK.RESTOREONRUNPROGRAM).on(general);
    w.check("?GLO:UseAlternateFormat", "Use alternate format for list of scheduled tasks").at(10, 58, 270, 10).use(m_altFormat).on(general);
    w.check("?GLO:HIDETOOLBAR", "Hide toolbar").at(10, 70, 270, 10).use(GLO.HIDETOOLBAR).on(general);
    w.prompt("?Prompt:DateFormat", "Display date in format:").at(10, 86, 90, 10).on(general);
    w.dropList("?DateFormat", joined(offeredDateSamples(), m_state.dateSample)).at(104, 84, 110, 12).use(m_state.dateSample).on(general);
    w.prompt("?Prompt:TimeFormat", "Display time in format:").at(10, 102, 90, 10).on(general);
    w.dropList("?TimeFormat", joined(offeredTimeSamples(), m_state.timeSample)).at(104, 100, 110, 12).use(m_state.timeSample).on(general);
    w.prompt("?Prompt:Rounding", "Start tasks on the:").at(10, 118, 90, 10).on(general);
    w.dropList("?TASK:ROUNDING", "Minute|Second").at(104, 116, 60, 12).use(TASK.ROUNDING).on(general);
    w.prompt("?Prompt:Skip", "Skip tasks if overdue by").at(10, 134, 90, 10).on(general);
    w.spin("?TASK:SKIPIFDAYSPASSED", "@n_3b").range(0, 999).at(104, 132, 40, 12).use(TASK.SKIPIFDAYSPASSED).on(general);
    w.prompt("?Prompt:SkipDays", "day(s)").at(148, 134, 30, 10).on(general);
    w.button("?OverdueInfo", "Info").at(184, 132, 30, 12).on(general);

    const int messages = w.tab("?Tab:Messages", "Messages", sheet).feq();
    w.check("?MSG:USEEXTERNAL", "Use external message program (\"start in new process\") ").at(10, 22, 270, 10).use(MSG.USEEXTERNAL).on(messages);
    w.check("?MSG:USEMODAL", "Use \"Stay on top\" attribute for message windows").at(10, 34, 270, 10).use(MSG.USEMODAL).on(messages);
    w.prompt("?Prompt:Repeat", "Repeat alarms every # seconds:").at(10, 52, 120, 10).on(messages);
    w.spin("?MSG:REPEATALARMINTERVAL", "@n_4").range(0, 9999).at(134, 50, 40, 12).use(MSG.REPEATALARMINTERVAL).on(messages);
    w.prompt("?Prompt:Repeat2", "(0=do not repeat)").at(178, 52, 90, 10).on(messages);
    w.prompt("?Prompt:MaxAlarm", "Maximum alarm time (minutes):").at(10, 68, 120, 10).on(messages);
    w.spin("?MSG:MAXALARMTIME", "@n_4").range(0, 9999).at(134, 66, 40, 12).use(MSG.MAXALARMTIME).on(messages);
    w.prompt("?Prompt:MaxAlarm2", "(0=infinite)").at(178, 68, 90, 10).on(messages);
    w.prompt("?Prompt:Snooze", "Snooze interval (minutes):").at(10, 84, 120, 10).on(messages);
    w.spin("?MSG:SNOOZEINTERVAL", "@n_4").range(0, 9999).at(134, 82, 40, 12).use(MSG.SNOOZEINTERVAL).on(messages);
    w.prompt("?Prompt:Snooze2", "(0=default)").at(178, 84, 90, 10).on(messages);

    const int history = w.tab("?Tab:History", "History", sheet).feq();
    w.prompt("?Prompt:History", "Removed completed tasks after").at(10, 24, 110, 10).on(history);
    w.spin("?TASK:HISTORYEXPIRES", "@n-_6").range(-1, 999999).at(124, 22, 50, 12).use(TASK.HISTORYEXPIRES).on(history);
    w.prompt("?Prompt:HistoryDays", "days").at(178, 24, 30, 10).on(history);
    w.prompt("?Prompt:History0", "Enter 0 to never remove completed tasks.").at(10, 38, 270, 10).on(history);
    w.prompt("?Prompt:History-1", "Enter -1 to remove completed tasks immediately.").at(10, 48, 270, 10).on(history);
    w.check("?TASK:REMOVEUNCOMPLETED", "Also remove uncompleted tasks ").at(10, 62, 270, 10).use(TASK.REMOVEUNCOMPLETED).on(history);
    m_logActive = w.check("?LOG:ACTIVE", "Log events (to text file)").at(10, 80, 270, 10).use(LOG.ACTIVE).on(history).feq();
    m_useNtLog = w.check("?LOG:USENTEVENT", "Use standard NT/2000 event log (NT Service module only)").at(20, 92, 260, 10).use(LOG.USENTEVENT).on(history).feq();
    w.check("?LOG:ALLEXITCODES", "Log exit codes").at(20, 104, 260, 10).use(LOG.ALLEXITCODES).on(history);
    w.prompt("?Prompt:MaxLogSize", "Ma&ximum log size:").at(20, 120, 70, 10).on(history);
    w.spin("?LOG:MAXSIZE", "@N10B").range(0, 2147483647).at(94, 118, 60, 12).use(LOG.MAXSIZE).on(history);
    w.prompt("?Prompt:MaxLogSize2", "characters").at(158, 120, 50, 10).on(history);

    const int scripting = w.tab("?Tab:Scripting", "Scripting", sheet).feq();
    w.prompt("?Prompt:DelayLen", "Send Interval (1/100ths of a second):").at(10, 24, 150, 10).on(scripting);
    w.spin("?SendInterval", "@n_3").range(0, 999).at(164, 22, 40, 12).use(m_state.sendInterval).on(scripting);
    w.check("?SCRIPT:SAVEONCOMPLETION", "Save script information on completed tasks ").at(10, 40, 270, 10).use(SCRIPT.SAVEONCOMPLETION).on(scripting);
    w.check("?SCRIPT:TRANSLATEFILENAMES", "Translate \"values\" when starting a program ").at(10, 52, 200, 10).use(SCRIPT.TRANSLATEFILENAMES).on(scripting);
    w.button("?TranslateInfo", "Info").at(214, 50, 30, 12).on(scripting);
    w.check("?SCRIPT:EXCLUDEHIDDENWINDOWS", "Exclude hidden windows in comparisons and lists").at(10, 64, 270, 10).use(SCRIPT.EXCLUDEHIDDENWINDOWS).on(scripting);
    w.check("?TASK:NEWPROC16", "Start each 16-bit application in a new process (NT Only)").at(10, 76, 270, 10).use(TASK.NEWPROC16).on(scripting);
    w.prompt("?Prompt:Burst", "Maximum number of characters per send group:").at(10, 92, 150, 10).on(scripting);
    w.spin("?BurstSize", "@n_3").range(0, 255).at(164, 90, 40, 12).use(m_state.burstSize).on(scripting);

    const int clipboard = w.tab("?Tab:Clipboard", "Clipboard", sheet).feq();
    w.check("?CLIP:MONITOR", "Monitor clipboard ").at(10, 22, 270, 10).use(CLIP.MONITOR).on(clipboard);
    w.prompt("?Prompt:MaxEntries", "Maximum number of entries to retain:").at(10, 38, 140, 10).on(clipboard);
    w.spin("?CLIP:MAXENTRIES", "@n_6").range(0, 999999).at(154, 36, 50, 12).use(CLIP.MAXENTRIES).on(clipboard);
    w.check("?CLIP:USEEXTERNAL", "Use external Clipboard Manager").at(10, 54, 270, 10).use(CLIP.USEEXTERNAL).on(clipboard);
    w.check("?CLIP:ONTOP", "Stay on top (external Clipboard manager only)").at(10, 66, 270, 10).use(CLIP.ONTOP).on(clipboard);

    const int email = w.tab("?Tab:Email", "E-mail", sheet).feq();
    w.prompt("?Prompt:SenderName", "Sender &Name (e.g. John Smith)").at(10, 22, 130, 10).on(email);
    w.entry("?EMAIL:SENDERNAME", "@s254").at(144, 20, 140, 12).use(EMAIL.SENDERNAME).on(email);
    w.prompt("?Prompt:Sender", "E&mail Reply-to Address (e.g. jsmith@example.com)").at(10, 36, 130, 10).on(email);
    w.entry("?EMAIL:SENDER", "@s254").at(144, 34, 140, 12).use(EMAIL.SENDER).on(email);
    m_useMapi = w.check("?EMAIL:USEMAPI", "&Use MAPI").at(10, 50, 100, 10).use(EMAIL.USEMAPI).on(email).feq();
    m_mapiGroup = w.group("?MapiGroup", "MAPI Profile").at(10, 64, 274, 64).on(email).feq();
    w.check("?EMAIL:USEMAPINOBCC", "No BCC (send individual messages during mass mailing)").at(16, 74, 260, 10).use(EMAIL.USEMAPINOBCC).on(m_mapiGroup);
    w.prompt("?Prompt:MapiName", "&Name:").at(16, 90, 60, 10).on(m_mapiGroup);
    w.entry("?EMAIL:MAPINAME", "@s40").at(80, 88, 120, 12).use(EMAIL.MAPINAME).on(m_mapiGroup);
    w.prompt("?Prompt:MapiPassword", "&Password:").at(16, 106, 60, 10).on(m_mapiGroup);
    w.entry("?EMAIL:MAPIPASSWORD", "@s20").password().at(80, 104, 120, 12).use(EMAIL.MAPIPASSWORD).on(m_mapiGroup);
    m_smtpGroup = w.group("?SmtpGroup", "").at(10, 64, 274, 64).on(email).feq();
    w.prompt("?Prompt:Host", "SM&TP Mail Host (e.g. mail.example.com)").at(16, 76, 120, 10).on(m_smtpGroup);
    w.entry("?EMAIL:HOST", "@s254").at(140, 74, 138, 12).use(EMAIL.HOST).on(m_smtpGroup);
    w.prompt("?Prompt:SmtpName", "&Name (if required):").at(16, 92, 120, 10).on(m_smtpGroup);
    w.entry("?EMAIL:SMTPNAME", "@s40").at(140, 90, 138, 12).use(EMAIL.SMTPNAME).on(m_smtpGroup);
    w.prompt("?Prompt:SmtpPassword", "&Password (if required):").at(16, 108, 120, 10).on(m_smtpGroup);
    w.entry("?EMAIL:SMTPPASSWORD", "@s32").password().at(140, 106, 138, 12).use(EMAIL.SMTPPASSWORD).on(m_smtpGroup);
    w.button("?TestSettings", "&Test Settings").at(10, 134, 70, 14).on(email);

    m_newsTab = w.tab("?Tab:News", "News", sheet).feq();
    w.prompt("?Prompt:NSender", "News Re&ply-to Address (e.g. jsmith@example.com)").at(10, 22, 130, 10).on(m_newsTab);
    w.entry("?NEWS:SENDER", "@s254").at(144, 20, 140, 12).use(NEWS.SENDER).on(m_newsTab);
    w.prompt("?Prompt:NSenderName", "News Sender &Name (e.g. John Smith)").at(10, 36, 130, 10).on(m_newsTab);
    w.entry("?NEWS:SENDERNAME", "@s255").at(144, 34, 140, 12).use(NEWS.SENDERNAME).on(m_newsTab);
    w.prompt("?Prompt:NHost", "News &Server (e.g. news.example.com)").at(10, 50, 130, 10).on(m_newsTab);
    w.entry("?NEWS:HOST", "@s254").at(144, 48, 140, 12).use(NEWS.HOST).on(m_newsTab);
    const int auth = w.group("?NewsAuth", "Optional Server Authentication").at(10, 66, 274, 44).on(m_newsTab).feq();
    w.prompt("?Prompt:NUser", "&User name:").at(16, 78, 60, 10).on(auth);
    w.entry("?NEWS:USER", "@s128").at(80, 76, 160, 12).use(NEWS.USER).on(auth);
    w.prompt("?Prompt:NPassword", "&Password:").at(16, 94, 60, 10).on(auth);
    w.entry("?NEWS:PASSWORD", "@s128").password().at(80, 92, 160, 12).use(NEWS.PASSWORD).on(auth);

    const int security = w.tab("?Tab:Security", "Security", sheet).feq();
    w.prompt("?Prompt:Security1", "If the system is locked, you will need to enter a password").at(10, 22, 270, 10).on(security);
    w.prompt("?Prompt:Security2", "before you will be allowed to add, change, or delete tasks.").at(10, 32, 270, 10).on(security);
    m_locked = w.check("?GLO:SystemLocked", "System Locked").at(10, 48, 100, 10).use(m_lockedFlag).on(security).feq();
    w.prompt("?Prompt:Password", "Password to lock/unlock system:").at(10, 64, 120, 10).on(security);
    w.entry("?Password", "@s32").password().at(134, 62, 120, 12).use(m_state.password).on(security);
    w.prompt("?Prompt:Confirm", "Confirm password:").at(10, 80, 120, 10).on(security);
    w.entry("?Confirm", "@s32").password().at(134, 78, 120, 12).use(m_state.confirm).on(security);

    OkControl = w.button("?OK", "&OK").setDefault().at(194, 200, 48, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(246, 200, 48, 14).feq();
    m_active = w.check("?APP:TaskExecutionActive", "Scheduler active (execute tasks using main application)")
                   .at(6, 202, 184, 10).use(scheduler::SchedulerActive).feq();
  }

  void showMailGroups() {
    ui::Window& w = window();
    const bool mapi = EMAIL.USEMAPI != 0;
    w.setProp(m_mapiGroup, ui::Prop::Hide, mapi ? 0 : 1);
    w.setProp(m_smtpGroup, ui::Prop::Hide, mapi ? 1 : 0);
    w.setProp(m_newsTab, ui::Prop::Hide, mapi ? 1 : 0);
  }

  void enableControls() {
    ui::Window& w = window();
    const bool logging = LOG.ACTIVE != 0;
    for (const char* name : {"?LOG:ALLEXITCODES", "?LOG:USENTEVENT", "?Prompt:MaxLogSize"})
      w.setProp(w.feq(name), ui::Prop::Disable, logging ? 0 : 1);
    w.setProp(w.feq("?LOG:MAXSIZE"), ui::Prop::Disable, logging && !LOG.USENTEVENT ? 0 : 1);
    for (const char* name : {"?Password", "?Confirm"}) w.setProp(w.feq(name), ui::Prop::Disable, m_lockedFlag ? 0 : 1);
  }

  // The service program, when installed, would take the tasks over again.
  void serviceWarning() {
    if (!rt::EXISTS(files::EXEPATH.str() + "/OVNT.EXE")) return;
    const std::string next = rt::GETINI("Main", "Next Task", "", ".\\OVNT.INI");
    if (next.empty() || next == "Service Stopped") return;
    (void)ui::MESSAGE(
        "You have just enabled the main UI scheduler.  The NT Service module is installed and should be disabled "
        "through the Windows Control Panel (Services applet) if you wish to use the main UI scheduler instead. If the "
        "service is still enabled it will automatically disable the main UI scheduler next time a task is due to be "
        "run.",
        "Warning", ui::Icon::Exclamation);
  }

  void testSettings() {
    if (EMAIL.SENDER.isBlank() || EMAIL.HOST.isBlank()) {
      (void)ui::MESSAGE("You must enter your reply to address and mail host.", "Error", ui::Icon::Exclamation);
      return;
    }
    if (!EMAIL.USEMAPI) {
      (void)sendSmtpTestMessage();
      return;
    }
    files::PUTCONFIG("MAPIName", EMAIL.MAPINAME.str());
    files::PUTCONFIG("MAPIPassword", EMAIL.MAPIPASSWORD.str());
    int exitCode = -1;
    const int startError = rt::runProgram("TESSEL.EXE", exitCode);
    if (startError == 0 && exitCode == 0)
      (void)ui::MESSAGE(
          "Test message sent.  If you did not receive any errors during this process, check your e-mail account in a "
          "few minutes to confirm that a test message has been received.",
          "Status", ui::Icon::Information);
    else
      (void)ui::MESSAGE(
          "Error sending message.  Check to ensure TESSEL.EXE is installed on your system, then check TESSEL.LOG for "
          "possible details.",
          "Status", ui::Icon::Exclamation);
    files::PUTCONFIG("MAPIName", m_mapiNameAtOpen);
    files::PUTCONFIG("MAPIPassword", m_mapiPasswordAtOpen);
  }

  ui::Level save() {
    const SaveOutcome out = saveSettings(m_state);
    if (out.lock != LockCheck::Ok) {
      if (out.lock == LockCheck::Mismatch)
        (void)ui::MESSAGE("The system lock passwords do not match.", "Error", ui::Icon::Exclamation);
      else
        (void)ui::MESSAGE("The system lock needs a password.  Enter one, or switch the lock off.", "Error",
                          ui::Icon::Exclamation);
      window().select(window().feq("?Password"));
      return ui::Level::Notify;
    }
    m_toolbarChanged = out.toolbarChanged;
    if (out.dateChanged)
      (void)ui::MESSAGE(
          "Date format changes will not affect currently open windows.  You can close and re-open windows, or exit "
          "and restart Orvane to view information using the new date format.",
          "Information", ui::Icon::Information);
    if (out.timeChanged)
      (void)ui::MESSAGE(
          "Time format changes will not affect currently open windows.  You can close and re-open windows, or exit "
          "and restart Orvane to view information using the new time format.",
          "Information", ui::Icon::Information);
    SetResponse(ui::RequestCompleted);
    return ui::Level::Notify;
  }

  SettingsDialogState m_state;
  winclasses::ColourTabClass m_tabs;
  winclasses::QVMouseWheelClass m_wheel;
  std::string m_mapiNameAtOpen, m_mapiPasswordAtOpen;
  uint8_t m_lockedFlag = 0, m_altFormat = 0;
  int m_opened = 0;
  bool m_hasOpened = false, m_toolbarChanged = false;
  int m_useMapi = 0, m_mapiGroup = 0, m_smtpGroup = 0, m_newsTab = 0;
  int m_logActive = 0, m_useNtLog = 0, m_locked = 0, m_active = 0;
};

void logTest(std::string_view key, std::string_view value) {
  (void)rt::PUTINI("E-mail", key, value, kTestLog);  // the log is a help for the user, not a record
}

}  // namespace

std::unique_ptr<ui::WindowManager> makeSetup() { return std::make_unique<SetupWindow>(); }

void Setup() {
  SetupWindow window;
  (void)window.Run();
}

int32_t sendSmtpTestMessage() {
  ui::BusyCursor busy;
  scheduler::EmailMessageClass mail;
  mail.Init();
  mail.SetOptionFlag(1);
  mail.SetLogFile("inmail.log");
  mail.SetServer(EMAIL.HOST.str());
  logTest("Host", EMAIL.HOST.str());
  if (!EMAIL.SMTPNAME.isBlank()) {
    mail.SetAuthentication(EMAIL.SMTPNAME.str(), EMAIL.SMTPPASSWORD.str());
    logTest("User", EMAIL.SMTPNAME.str());
    logTest("Pwd", std::to_string(EMAIL.SMTPPASSWORD.str().size()));
  }
  const std::string from = EMAIL.SENDERNAME.isBlank()
                               ? EMAIL.SENDER.str()
                               : "\"" + EMAIL.SENDERNAME.str() + "\" <" + EMAIL.SENDER.str() + ">";
  mail.SetFrom(from, "", true);
  logTest("From", from);
  mail.SetReturnPath(EMAIL.SENDER.str());
  logTest("ReturnPath", EMAIL.SENDER.str());
  if (!EMAIL.ORGANIZATION.isBlank()) mail.SetOrganization(EMAIL.ORGANIZATION.str());
  mail.SetMailer(files::PRODUCTNAME.str());
  mail.SetSubject("Test E-mail");
  mail.AddTo(EMAIL.SENDER.str(), EMAIL.SENDERNAME.str());
  logTest("To", EMAIL.SENDERNAME.str() + ": " + EMAIL.SENDER.str());
  // No blind copy to anyone else: the test goes to the user's own address only.
  mail.SetBody("This is a test e-mail from " + EMAIL.SENDERNAME.str() + " using " + files::PRODUCTNAME.str() + " " +
                   files::VERSIONNUMBER.str() + " Build " + kBuild,
               smtp::kPlainText);
  const int32_t result = mail.SendEmailMessage();
  if (result == 0) {
    (void)ui::MESSAGE("Test message sent without errors.", "Success", ui::Icon::Information);
    logTest("Error", "No error");
  } else {
    const std::string text = mail.EmailResultText(result);
    (void)ui::MESSAGE("Test message not sent.||Error:  " + text, "Warning", ui::Icon::Exclamation);
    logTest("Error", text);
  }
  mail.Kill();
  return result;
}

}  // namespace ov::dialogs
