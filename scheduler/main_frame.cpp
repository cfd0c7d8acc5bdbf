#include "scheduler/main_frame.h"

#include <QWidget>

#include <filesystem>
#include <string>

#include "datalib/config.h"
#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/program_hooks.h"
#include "datalib/startup.h"
#include "datalib/sys_hot_key_class.h"
#include "datalib/sys_shutdown_class.h"
#include "datalib/sys_tray_class.h"
#include "platform/os/device_watch.h"
#include "platform/os/dir_watch.h"
#include "platform/os/sound.h"
#include "platform/os/win_msg.h"
#include "platform/os/window_sink.h"
#include "platform/rt/command_line.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/clipboard_capture.h"
#include "scheduler/event_log.h"
#include "scheduler/frame_commands.h"
#include "scheduler/globals.h"
#include "scheduler/program_body.h"
#include "scheduler/program_exits.h"
#include "scheduler/program_runner.h"
#include "scheduler/program_windows.h"
#include "scheduler/script_queue.h"
#include "scheduler/script_services.h"
#include "scheduler/variables.h"
#include "scheduler/reminder.h"
#include "scheduler/runner.h"
#include "scheduler/services.h"
#include "scheduler/tick.h"
#include "scheduler/triggers.h"

namespace ov::scheduler {

namespace {

constexpr int kTrayId = 99;
constexpr int kWorkingIcon = -99;  // the toolbar's animated working icon
constexpr int kEndSessionDelay = 500;  // centiseconds between the end of the session and the close

std::string currentFolder() {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::current_path(ec);
  std::filesystem::path c = std::filesystem::canonical(p, ec);
  return (ec ? p : c).string();
}

void broadcast(int event) {
  const int self = ui::THREAD();
  for (int thread : RegisteredThreads())
    if (thread != self) ui::POST(event, 0, thread);
}

double momentNow() { return double(rt::TODAY()) + double(rt::CLOCK()) / 8640000.0; }

}  // namespace

std::vector<int>& RegisteredThreads() {
  static std::vector<int> threads;
  return threads;
}
void BroadcastRefresh() { broadcast(EVENT::RefreshAll); }
void BroadcastDayChange() { broadcast(EVENT::DayChanged); }

// The frame's tray icon: a left click does nothing, a double click brings the frame back, a
// right click opens the tray popup.
class FrameTray : public files::SysTrayClass {
 public:
  explicit FrameTray(Main& frame) : m_frame(frame) {}
  void TakeTrayLeftClick() override {}
  void TakeTrayLeftDoubleClick() override {
    runnerState().RefreshPending += 1;
    Restore();
  }
  void TakeTrayRightClick() override { m_frame.trayPopup(); }

 private:
  Main& m_frame;
};

struct Main::Impl {
  explicit Impl(Main& frame) : tray(frame) {}
  FrameOptions options;
  std::string pathParameter;
  std::string mutexFile;
  rt::INIClass mainIni;
  os::DirWatch watch;
  FrameTray tray;
  bool trayOpen = false;
  files::SysHotKeyClass hotKeys;
  files::SysShutdownClass shutdown;
  std::unique_ptr<os::DeviceWatch> devices;
  ui::ProcNumber trayProc = 0;
  ui::ProcNumber formerProc = 0;
  bool filesOpened = false;
  bool startMinimized = false;
  bool servicePresent = false;  // the service program OVNT.EXE lies in the program's folder
  bool splashWanted = false;
  int splashThread = 0;         // while the splash may still be open
  int toolbar = 0;
};

Main::Main(FrameOptions options) : WindowManager("Main"), m(std::make_unique<Impl>(*this)) { m->options = options; }
Main::~Main() {
  if (m->trayProc) ui::unregisterWindowProc(m->trayProc);
}

ui::Level Main::Init() {
  m->pathParameter = rt::COMMAND("Path");
  files::APP.STARTUPTIME = rt::CLOCK();
  files::APP.STARTUPDATE = rt::TODAY();
  tickState() = TickState{};
  runnerState() = RunnerState{};
  tickState().LastSeenDate = rt::TODAY();
  tickState().pathParameter = m->pathParameter;
  tickState().noWatchDir = !rt::COMMAND("/NOWATCHDIR").empty();
  RunnerState& r = runnerState();
  r.NextCheckDate = rt::TODAY();
  r.NextCheckTime = rt::CLOCK() + 2000;
  files::FIXDATE(r.NextCheckDate, r.NextCheckTime);

  std::error_code ec;
  files::EXEPATH = std::filesystem::canonical("/proc/self/exe", ec).parent_path().string();
  files::INI.FILENAME = "OV98.INI";
  m->mainIni.Init(files::INI.FILENAME.str());
  files::PRODUCTNAME = "Orvane 2003";
  if (std::string custom = m->mainIni.TryFetch("Custom", "ProductName"); !custom.empty()) files::PRODUCTNAME = custom;
  files::VERSIONNUMBER = "3.42";
  const std::string folder = currentFolder();
  files::setDataPathGlobals(folder);
  m->mutexFile = folder + "/MUTEX.TMP";

  // The program's parts that the scheduler core calls.
  Services& s = services();
  s.showReminder = [](const ReminderText& reminder) { ShowMessageThread(reminder); };
  s.playSound = [](std::string_view file) { (void)os::playSound(std::string(file)); };
  s.beep = [] { (void)os::beep(150, 160); };
  s.post = [](int event, int thread) { ui::POST(event, 0, thread); };
  s.threadCount = [] { return THREADCOUNT(); };
  s.broadcastRefresh = [] { BroadcastRefresh(); };
  s.expandVariables = [](std::string_view text) { return ExpandVariables(text); };
  s.runTaskProgram = [](int32_t task, std::string_view command, std::string_view path) {
    RunOptions options;
    options.task = task;
    options.folder = std::string(path);
    return int(RunTaskProgram(command, options));
  };
  s.clearActiveScripts = [] { StopScripts(); };
  ScriptServices& ss = scriptServices();
  ss.raiseFrame = [this] { raise(); };
  ss.changeTrayIcon = [this](std::string_view icon) {
    if (m->trayOpen) (void)m->tray.ChangeIcon(icon);
  };
  files::setWindowHiddenProbe([this] { return isHidden(); });

  RunnerFrame& rf = runnerFrame();
  rf.restore = [this] { restore(); };
  rf.raise = [this] { raise(); };
  rf.showNextTask = [this](std::string_view text) { window().setStatusText(2, text); };
  rf.setTrayTip = [this](std::string_view tip) {
    if (m->trayOpen) (void)m->tray.ChangeTip(tip);
  };
  TickFrame& tf = tickFrame();
  tf.setTitle = [this](std::string_view title) {
    if (window().title() != title) window().setTitle(title);
  };
  tf.setStatus = [this](int zone, std::string_view text) {
    if (zone >= 1 && zone <= 4) window().setStatusText(zone, text);
  };
  tf.isHidden = [this] { return isHidden(); };
  tf.setTrayIcon = [this](std::string_view icon) {
    if (m->trayOpen) (void)m->tray.ChangeIcon(icon);
  };
  tf.scriptsRunning = [this](bool running) {
    window().setProp(Command::StopScripts, ui::Prop::Disable, running ? 0 : 1);
    window().setProp(Command::StopScripts2, ui::Prop::Disable, running ? 0 : 1);
  };
  tf.setWorkingIcon = [this](std::string_view icon) {
    if (window().prop(kWorkingIcon, ui::Prop::Text) != icon) window().setProp(kWorkingIcon, ui::Prop::Text, icon);
  };
  tf.allowMinimize = [this] {
    if (m->trayOpen) m->tray.AllowMinimize();
  };
  tf.disallowMinimize = [this] {
    if (m->trayOpen) m->tray.DisallowMinimize();
  };
  tf.pollTriggers = [] {
    PollTriggers();
    FireTriggers();
  };
  triggerState() = TriggerState{};
  TriggerFrame& trf = triggerFrame();
  trf.raise = [this] { raise(); };
  trf.restore = [this] { m->tray.Restore(); };
  trf.hotKeysChanged = [] { ui::POST(EVENT::HotKeysChanged, 0, ui::kFrameThread); };
  tf.hasChangeNotification = [this] { return m->watch.isOpen(); };
  tf.dataFolderChanged = [this] {
    if (!m->watch.signalled(10)) return false;
    m->watch.rearm();
    return true;
  };
  tf.closeChangeNotification = [this] { m->watch.close(); };
  tf.broadcastRefresh = [] { BroadcastRefresh(); };
  tf.reapPrograms = [] { ReapExitedPrograms(); };
  tf.queuedScripts = [] { return ActiveScriptQueue.RECORDS(); };
  tf.scriptStep = [] { ScriptStep(); };
  tf.shownScriptStep = [] {
    if (ActiveScriptQueue.RECORDS() == 0 || ActiveScriptQueue.GET(1) != rt::Err::None) return std::string();
    const ScriptEntry& head = ActiveScriptQueue.buf;
    return actionOf(head) + " " + statusTime(head.TIME);
  };
  rf.queuedScripts = tf.queuedScripts;
  tf.broadcastDayChange = [] { BroadcastDayChange(); };
  tf.startBackup = [] { StartBackup(); };
  tf.warn = [this](std::string_view text, std::string_view title) {
    raise();
    (void)ui::MESSAGE(text, title, ui::Icon::Exclamation);
  };

  ui::Window& w = window();
  w.setTitle(files::PRODUCTNAME.str() + " " + files::VERSIONNUMBER.str());
  w.kind(ui::WindowKind::Frame).at(-1, -1, 420, 240).resizable().timer(100).minSize(341, 170).hiddenAtOpen();
  // Menus and toolbar; a command whose window or program is not there yet shows disabled.
  auto item = [&w](std::string name, std::string_view text, int menu, int feq) {
    ui::MenuControl& c = w.item(std::move(name), text, menu, feq);
    if (!CommandAvailable(feq)) c.disabled();
  };
  const int file = w.menu("?FileMenu", "&File").feq();
  const int newMenu = w.menu("?NewMenu", "&New", file).feq();
  item("?NewTask", "&Task...", newMenu, Command::NewTask);
  item("?NewMessageTask", "&Message Task...", newMenu, Command::NewMessageTask);
  item("?NewProgramTask", "&Program Task...", newMenu, Command::NewProgramTask);
  item("?NewScriptTask", "&Script Task...", newMenu, Command::NewScriptTask);
  item("?NewEmailTask", "&E-mail Task...", newMenu, Command::NewEmailTask);
  w.separator(newMenu);
  item("?NewContact", "&Contact...", newMenu, Command::NewContact);
  item("?NewHotKey", "&Hot Key...", newMenu, Command::NewHotKey);
  item("?NewTrigger", "T&rigger...", newMenu, Command::NewTrigger);
  item("?BirthdayWizard", "&Birthdays and Anniversaries...", newMenu, Command::BirthdayWizard);
  const int importMenu = w.menu("?ImportMenu", "&Import", file).feq();
  item("?ImportTasks", "&Tasks...", importMenu, Command::ImportTasks);
  item("?ImportContacts", "&Contacts...", importMenu, Command::ImportContacts);
  item("?ImportToDo", "T&o Do...", importMenu, Command::ImportToDo);
  item("?ImportHolidays", "&Holidays...", importMenu, Command::ImportHolidays);
  const int exportMenu = w.menu("?ExportMenu", "&Export", file).feq();
  item("?ExportTasks", "&Tasks...", exportMenu, Command::ExportTasks);
  item("?ExportContacts", "&Contacts...", exportMenu, Command::ExportContacts);
  item("?ExportToDo", "T&o Do...", exportMenu, Command::ExportToDo);
  item("?ExportHolidays", "&Holidays...", exportMenu, Command::ExportHolidays);
  w.separator(file);
  item("?Backup", "&Backup...", file, Command::Backup);
  item("?Options", "&Options...", file, Command::Setup);
  w.separator(file);
  item("?Exit", "E&xit", file, Command::Exit);

  const int view = w.menu("?ViewMenu", "&View").feq();
  item("?Schedule", "&Schedule", view, Command::Schedule);
  item("?Explorer", "Schedule &Explorer", view, Command::Explorer);
  item("?ToDo", "&To Do List", view, Command::ToDo);
  item("?Contacts", "&Contacts", view, Command::Contacts);
  item("?Messages", "&Messages", view, Command::Messages);
  item("?Clipboard", "C&lipboard", view, Command::Clipboard);
  item("?HotKeys", "&Hot Keys", view, Command::HotKeys);
  item("?Triggers", "T&riggers", view, Command::Triggers);
  item("?Users", "&Users", view, Command::Users);
  w.separator(view);
  item("?EventLog", "E&vent Log", view, Command::EventLog);
  item("?ScriptQueue", "Script &Queue", view, Command::ScriptQueue);

  const int tools = w.menu("?ToolsMenu", "&Tools").feq();
  item("?RescheduleAll", "&Reschedule All", tools, Command::RescheduleAll);
  item("?Housekeeping", "&Housekeeping", tools, Command::Housekeeping);
  item("?StopScripts", "&Stop Active Scripts", tools, Command::StopScripts);
  w.setProp(Command::StopScripts, ui::Prop::Disable, 1);  // offered while a script runs
  w.separator(tools);
  item("?TaskCategories", "&Task Categories", tools, Command::TaskCategories);
  item("?ContactCategories", "&Contact Categories", tools, Command::ContactCategories);
  item("?ClipboardCategories", "C&lipboard Categories", tools, Command::ClipboardCategories);
  item("?Holidays", "H&olidays", tools, Command::Holidays);
  item("?ScriptTemplates", "Script Te&mplates", tools, Command::ScriptTemplates);

  const int reports = w.menu("?ReportsMenu", "&Reports").feq();
  item("?ReportsReportScheduleBriefSchedule", "&Brief Schedule", reports, -62);
  item("?ReportsCalendar", "&Calendar", reports, -63);
  item("?PrintSCH:KeyDate", "Tasks by &Date", reports, -64);
  item("?PrintSCH:KeyCategory", "Tasks by C&ategory", reports, -65);
  item("?ReportsScheduleForspecificcategory", "Tasks of &One Category", reports, -66);
  item("?ReportsScheduleChecklistStyle", "Chec&klist", reports, -67);
  item("?ReportsScheduleMemoStyle", "&Memo Style", reports, -68);
  w.separator(reports);
  item("?ReportsPrintToDoList", "&To Do List", reports, -70);
  item("?ReportsToDoListCategory", "To Do List by Cate&gory", reports, -71);
  w.separator(reports);
  item("?ReportsContactsByName", "Contacts by &Name", reports, -73);
  item("?ReportsContactsByFirstName", "Contacts by &First Name", reports, -74);
  item("?ReportsContactsByCompany", "Contacts by Com&pany", reports, -75);
  item("?ReportsContactsWithinCategory", "Contacts &within a Category", reports, -76);
  w.separator(reports);
  item("?ReportsScheduleEmailMessages", "&E-mail Messages", reports, -77);
  item("?PrintCAT:KeyCategory", "Categor&ies", reports, -78);
  item("?ReportsCustomReports", "C&ustom Reports", reports, -80);

  const int help = w.menu("?HelpMenu", "&Help").feq();
  item("?HelpContents", "&Contents", help, Command::Help);
  item("?WebSite", "&Web Site", help, Command::WebSite);
  item("?SupportMail", "&E-mail for Support", help, Command::SupportMail);
  w.separator(help);
  item("?BugReport", "&Bug Report", help, Command::BugReport);
  item("?About", "&About", help, Command::About);

  // Toolbar buttons -124..-135 stand for the targets -103..-114.
  // Their icons are those of the same commands on the tray popup, where it has them.
  struct ToolbarButton {
    std::string_view name, text, icon;
  };
  static constexpr ToolbarButton kButtons[] = {
      {"?TbProgramWizard", "Program", "~prgwiz16.ico"}, {"?TbMessageWizard", "Message", "~msgwiz16.ico"},
      {"?TbScriptWizard", "Script", "~scrwiz16.ico"},   {"?TbEmailWizard", "E-mail", "~mail.ico"},
      {"?TbHotKey", "Hot Key", "~keydownw.ico"},        {"?TbSchedule", "Schedule", "~timedate.ico"},
      {"?TbToDo", "To Do", "~done.ico"},                {"?TbContacts", "Contacts", "~crdfle09.ico"},
      {"?TbClipboard", "Clipboard", "~taskdoc.ico"},    {"?TbMessages", "Messages", "~msgtask.ico"},
      {"?TbHotKeys", "Hot Keys", "~hotkey4.ico"},       {"?TbOptions", "Options", "~wrench16.ico"},
  };
  m->toolbar = w.toolbar().feq();
  // First the working icon, which turns while the scheduler runs and shows its script frames
  // while a script runs, and beside it the button that stops the scripts, offered while one runs.
  w.image("?WorkingIcon", "~blank.ico", kWorkingIcon).on(m->toolbar);
  w.button("?TbStopScripts", "Stop", Command::StopScripts2)
      .on(m->toolbar)
      .tip("Stop Active Scripts")
      .icon("~stopscr.ico")
      .disabled();
  int button = Command::LastToolbarButton;
  for (const auto& [name, text, icon] : kButtons) {
    ui::Control& b = w.button(std::string(name), text, button).on(m->toolbar).tip(text).icon(icon);
    if (!CommandAvailable(button)) b.disabled();
    --button;
  }
  w.statusZones({60, -1, 130, 50});

  if (!tickState().noWatchDir) (void)m->watch.open(folder, true, 24);
  m->startMinimized = files::GETCONFIG("StartUpMinimized", "0") == "1";
  m->splashWanted = files::GETCONFIG("NoSplash", "0") != "1";
  if (m->splashWanted && m->startMinimized) m->splashThread = startProgramWindow("Splash");
  Open();
  m->filesOpened = true;
  showToolbar();

  // The tray icon reports clicks as its callback message through the frame's message hooks;
  // they become the frame's events.
  m->tray.Init(kTrayId, "tray_ico", w.title(), files::GLO.NOTRAY ? 1 : 0, 0);
  m->trayOpen = true;
  m->formerProc = static_cast<ui::ProcNumber>(w.propInt(0, ui::Prop::WndProc));
  if (!m->trayProc)
    m->trayProc = ui::registerWindowProc([this](ui::Handle h, uint32_t msg, ui::WPARAM wp, ui::LPARAM lp) -> ui::LRESULT {
      if (msg != uint32_t(files::TrayEvent::Callback)) return ui::CallWindowProc(m->formerProc, h, msg, wp, lp);
      switch (unsigned(ui::LOWORD(lp))) {
        case os::wm::kLButtonUp: ui::POST(EVENT::TrayLeftClick, 0, ui::kFrameThread); break;
        case os::wm::kLButtonDblClk: ui::POST(EVENT::TrayLeftDoubleClick, 0, ui::kFrameThread); break;
        case os::wm::kRButtonUp: ui::POST(EVENT::TrayRightClick, 0, ui::kFrameThread); break;
        case os::wm::kRButtonDblClk: ui::POST(EVENT::TrayRightDoubleClick, 0, ui::kFrameThread); break;
        default: break;
      }
      return 0;
    });
  w.setProp(0, ui::Prop::WndProc, m->trayProc);

  // Hot keys: the frame's own key now, the user's keys and the triggers on the first events.
  m->hotKeys.Init();
  m->hotKeys.AddKey(kFrameHotKey);
  ui::POST(EVENT::HotKeysChanged);
  ui::POST(EVENT::TriggersChanged);
  m->hotKeys.Activate();

  // The end of the session and the power events (answered "yes, go ahead"), and devices.
  m->shutdown.Init(1, 1, m->options.watchSystem);
  if (m->options.watchSystem) m->devices = std::make_unique<os::DeviceWatch>(os::sendTo(w.handle()));

  startupWork();

  // With the service program beside ours, every user of a shared data folder keeps his own
  // window positions.
  m->servicePresent = rt::EXISTS(files::EXEPATH.str() + "/OVNT.EXE");
  if (m->servicePresent) files::globalIni().Init(".\\" + files::GLO.USER.str() + " POSITION.INI");
  if (!m->startMinimized) (void)ui::FetchWindowPosition(files::globalIni(), "Main", w);
  if (m->splashWanted && !m->startMinimized) m->splashThread = startProgramWindow("Splash");
  return ui::Level::Benign;
}

void Main::startupWork() {
  ui::Window& w = window();
  std::string title = files::PRODUCTNAME.str() + " " + files::VERSIONNUMBER.str();
  if (!m->pathParameter.empty()) title += " (" + m->pathParameter + ")";
  w.setTitle(title);
  files::PUTCONFIG("Version", files::VERSIONNUMBER.str());
  LoadConfiguration();
  // The restart mark is logged once the settings say whether the event log is on.
  rt::INIClass mutex;
  mutex.Init(m->mutexFile);
  if (mutex.TryFetch("State", "Normal Exit") == "False") WriteLog("Abnormal termination detected", "*** Restarted ***");
  (void)mutex.Update("State", "Normal Exit", "False");
  files::DEBUG.ACTIVE = m->mainIni.TryFetch("Settings", "Debug") == "1";
  runnerState().OverrideSkipTimeout = std::atoi(m->mainIni.TryFetch("Settings", "OverrideSkipTimeout").c_str());
  if (files::DEBUG.ACTIVE) WriteLog("Debug", "Debugging Active");
  PrimeClipboardFromHistory();
  // The windows the user wants at start, each on a thread of its own.
  if (files::START.CONTACTS) (void)startProgramWindow("BrowseContacts", 25000);
  if (files::START.CLIPBOARD) (void)startProgramWindow("BrowseClipboard", 25000);
  if (files::START.TODO) (void)startProgramWindow("BrowseToDoList", 25000);
  if (files::START.SCHEDULE)
    (void)startProgramWindow(startupSettings().explorerScheduleView ? "ExploreSchedule" : "BrowseSchedule", 50000);
  w.setStatusText(3, statusDate(rt::TODAY()));
  w.setStatusText(4, statusTime(rt::CLOCK()));
  if (!m->startMinimized) {
    w.setProp(0, ui::Prop::Hide, 0);
    raise();
  } else if (files::GLO.NOTRAY) {
    w.setProp(0, ui::Prop::Hide, 0);
    w.setProp(0, ui::Prop::Iconize, 1);
  }
  tickState().startupDay = rt::TODAY();
  if (SchedulerActive) WriteLog(w.title(), "Started");
}

ui::Level Main::Kill() {
  if (window().isOpen()) ui::SaveWindowPosition(files::globalIni(), window(), "Main");
  rt::INIClass mutex;
  mutex.Init(m->mutexFile);
  (void)mutex.Update("State", "Normal Exit", "True");
  m->watch.close();
  if (SchedulerActive) WriteLog("", "Exit Orvane 2003");
  m->shutdown.Kill();
  m->devices.reset();
  m->hotKeys.Kill();
  if (window().isOpen() && window().propInt(0, ui::Prop::WndProc) == m->trayProc)
    window().setProp(0, ui::Prop::WndProc, m->formerProc);
  if (m->trayOpen) m->tray.Kill();
  m->trayOpen = false;
  triggerFrame() = TriggerFrame{};
  triggerState() = TriggerState{};
  files::setWindowHiddenProbe({});
  runnerFrame() = RunnerFrame{};
  tickFrame() = TickFrame{};
  services() = Services{};
  scriptServices() = ScriptServices{};
  return WindowManager::Kill();
}

void Main::closeOtherThreads() {
  for (int t = 2; t <= ui::kMaxThreads; ++t)
    if (ui::isThreadRunning(t)) ui::POST(EVENT::CloseWindow, 0, t);
}

void Main::takeSystemEvent(int event) {
  switch (event) {
    case EVENT::QueryEndSession: QueueEventTrigger("Shutdown"); break;
    case EVENT::PowerStatusChange: QueueEventTrigger("Power status change"); break;
    case EVENT::DeviceChange: QueueEventTrigger("Device change"); break;
    case EVENT::LowBattery:
      QueueEventTrigger("Low battery");
      closeOtherThreads();
      break;
    case EVENT::QueryStandby:
      QueueEventTrigger("Standby");
      closeOtherThreads();
      break;
    case EVENT::QuerySuspend:
      QueueEventTrigger("Suspend");
      closeOtherThreads();
      break;
    default: break;
  }
}

bool Main::isHidden() const {
  const ui::Window& w = window();
  if (!w.isOpen()) return true;
  return w.propInt(0, ui::Prop::Hide) != 0 || w.propInt(0, ui::Prop::Iconize) != 0;
}

void Main::restore() {
  ui::Window& w = window();
  w.setProp(0, ui::Prop::Hide, 0);
  w.setProp(0, ui::Prop::Iconize, 0);
  raise();
}

void Main::raise() {
  if (QWidget* v = window().view()) {
    v->raise();
    v->activateWindow();
  }
}

void Main::raiseFromOutside() { restore(); }

void Main::trayPopup() {
  raise();
  const bool scripts = tickFrame().queuedScripts && tickFrame().queuedScripts() > 0;
  auto entry = [](std::string_view text, bool enabled) { return (enabled ? "" : "~") + std::string(text); };
  const std::string menu = entry("Restore", isHidden()) + "|-|" +
                           entry("Program Wizard", CommandAvailable(-103)) + "|" +
                           entry("Message Wizard", CommandAvailable(-104)) + "|" +
                           entry("Scripting Wizard", CommandAvailable(-105)) + "|" +
                           entry("New Hot Key", CommandAvailable(Command::NewHotKey)) + "|-|" +
                           entry("Reschedule All", true) + "|" + entry("Stop Active Scripts", scripts) + "|-|" +
                           entry("Options", CommandAvailable(-114)) + "|" + entry("About", CommandAvailable(Command::About)) +
                           "|-|Exit Orvane";
  // The popup's items, separators left out, and the command each stands for.
  static constexpr int kItems[] = {0, -103, -104, -105, Command::NewHotKey, Command::RescheduleAll, 0, -114,
                                   Command::About, Command::Exit};
  const int choice = ui::POPUP(menu);
  if (choice == 1) {
    runnerState().RefreshPending += 1;
    restore();
  } else if (choice == 7) {
    ui::POST(EVENT::StopScripts);
  } else if (choice >= 2 && choice <= 10) {
    if (choice <= 5) restore();  // the wizards and the new hot key come up over the frame
    (void)command(kItems[choice - 1]);
  }
}

void Main::showToolbar() {
  // POSITION.INI [System] Toolbar: 1 hides it, 2 asks for the small one, 0 or nothing leaves it to
  // the settings.
  const std::string style = files::globalIni().TryFetch("System", "Toolbar");
  const bool hide = style == "1" || ((style.empty() || style == "0") && files::GLO.HIDETOOLBAR);
  window().setProp(m->toolbar, ui::Prop::Hide, hide ? 1 : 0);
}

void Main::exitCommand() {
  if (files::GLO.TRAYONCLOSE) {
    m_exitConfirmed = false;
    restore();
    if (SchedulerActive &&
        ui::MESSAGE("Tasks will not execute if Orvane 2003 is not active.||Are you sure you want to close Orvane 2003?",
                    "Warning - Close Requested", ui::Icon::Question, ui::BUTTON::Yes | ui::BUTTON::No,
                    ui::BUTTON::No) != ui::BUTTON::Yes)
      return;
    m_exitConfirmed = true;
  }
  ui::POST(EVENT::CloseWindow);
}

ui::Level Main::TakeAccepted() {
  // The user's first command closes the splash (a minimised start leaves it to close by itself).
  if (m->splashThread != 0 && !m->startMinimized) {
    // Only while that thread still shows the splash: a closed splash's number may serve another window.
    const std::vector<ui::Window*> windows = ui::threadWindows(m->splashThread);
    if (!windows.empty() && windows.front()->manager() && windows.front()->manager()->procedureName() == "Splash")
      ui::POST(EVENT::CloseWindow, 0, m->splashThread);
    m->splashThread = 0;
  }
  if (command(ui::ACCEPTED())) return ui::Level::Notify;
  return WindowManager::TakeAccepted();
}

bool Main::command(int feq) {
  CommandFrame frame;
  frame.exit = [this] { exitCommand(); };
  frame.reset = [this] { Reset(); };
  frame.end = [] { ui::POST(EVENT::CloseDown); };
  frame.explorerView = [] { return startupSettings().explorerScheduleView; };
  frame.queuedScripts = [] { return int(ActiveScriptQueue.RECORDS()); };
  frame.stopScripts = [] { StopScripts(); };
  return RunCommand(feq, frame);
}

ui::Level Main::TakeEvent() {
  switch (int event = ui::EVENT()) {
    case EVENT::OpenWindow:
      // The working icon shows its first frame as the frame opens, not a tick later.
      tickFrame().setWorkingIcon(workingIcon(tickState().animationPhase, tickState().ScriptRunning, SchedulerActive != 0));
      // A minimised start takes its place from the last run too; with the tray it stays hidden.
      if (m->startMinimized) {
        (void)ui::FetchWindowPosition(files::globalIni(), "Main", window());
        if (!files::GLO.NOTRAY) window().setProp(0, ui::Prop::Hide, 1);
      }
      break;
    case EVENT::Iconize:
      tickState().unlocked = false;  // the system lock goes back on
      break;
    case EVENT::Moved:
    case EVENT::Sized:
      ui::FixNegativePosition(window());
      ui::SaveWindowPosition(files::globalIni(), window(), "Main");
      break;
    case EVENT::Timer:
      ui::POST(EVENT::TimerStep);
      return ui::Level::Notify;
    case EVENT::TimerStep:
      if (m_shutdownPending && momentNow() - double(kEndSessionDelay) / 8640000.0 > m_shutdownMoment) {
        m_shutdownPending = false;
        ui::POST(EVENT::CloseDown);
      }
      MainTimerTick();
      return ui::Level::Notify;
    case EVENT::CloseWindow:
      if (files::GLO.TRAYONCLOSE && !m_exitConfirmed) {
        window().setProp(0, ui::Prop::Hide, 1);
        tickState().unlocked = false;
        return ui::Level::Notify;
      }
      break;
    case EVENT::TrayLeftClick:
      m->tray.TakeTrayLeftClick();
      return ui::Level::Notify;
    case EVENT::TrayLeftDoubleClick:
      m->tray.TakeTrayLeftDoubleClick();
      return ui::Level::Notify;
    case EVENT::TrayRightClick:
      m->tray.TakeTrayRightClick();
      return ui::Level::Notify;
    case EVENT::TrayRightDoubleClick:
      return ui::Level::Notify;
    case EVENT::TrayRecreated:
      if (m->trayOpen) (void)m->tray.AddIcon(m->tray.GetIcon(), m->tray.GetTip());
      return ui::Level::Notify;
    case EVENT::HotKey:
      HotKeyPressed(m->hotKeys);
      return ui::Level::Notify;
    case EVENT::HotKeysChanged:
      m->hotKeys.UnActivate();
      m->hotKeys.KEYQ.clear();  // a key whose record went is let go
      LoadHotKeys(m->hotKeys);
      m->hotKeys.Activate();
      return ui::Level::Notify;
    case EVENT::TriggersChanged:
      LoadTriggers();
      return ui::Level::Notify;
    case EVENT::EndSession:
      // The other windows close now; the frame on the first timer step 5 seconds later, so
      // they have closed by then.
      m_shutdownPending = true;
      m_shutdownMoment = momentNow();
      closeOtherThreads();
      return ui::Level::Notify;
    case EVENT::QueryEndSession:
    case EVENT::PowerStatusChange:
    case EVENT::LowBattery:
    case EVENT::QueryStandby:
    case EVENT::QuerySuspend:
    case EVENT::DeviceChange:
      takeSystemEvent(event);
      return ui::Level::Notify;
    case EVENT::Standby:
    case EVENT::Suspend:
    case EVENT::PowerOther:
      return ui::Level::Notify;
    case EVENT::RefreshAll:
      runnerState().NextCheckDate = rt::TODAY();
      runnerState().NextCheckTime = rt::CLOCK() + 200;
      files::FIXDATE(runnerState().NextCheckDate, runnerState().NextCheckTime);
      return ui::Level::Notify;
    case EVENT::TaskFormCancelled:
      if (m->watch.isOpen() && runnerState().RefreshPending > 0) runnerState().RefreshPending -= 1;
      return ui::Level::Notify;
    case EVENT::StopScripts:
      StopScripts();
      return ui::Level::Notify;
    case EVENT::ToolbarChanged:
      window().setProp(m->toolbar, ui::Prop::Hide, files::GLO.HIDETOOLBAR ? 1 : 0);
      return ui::Level::Notify;
    case EVENT::HideForCapture:
      window().setProp(0, ui::Prop::Hide, 1);
      return ui::Level::Notify;
    case EVENT::ShowAfterCapture:
      restore();
      return ui::Level::Notify;
    default:
      (void)event;
      break;
  }
  return WindowManager::TakeEvent();
}

}  // namespace ov::scheduler
