#include "reports/report_frame.h"

#include <QApplication>
#include <QMetaObject>
#include <QTimer>
#include <QWidget>

#include <cstring>

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/help.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "datalib/sys_shutdown_class.h"
#include "platform/os/user.h"
#include "platform/rt/command_line.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "platform/report/output.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "reports/calendar_report.h"
#include "reports/criteria.h"
#include "reports/custom_report.h"
#include "reports/other_reports.h"
#include "reports/schedule_reports.h"

namespace ov::reports {

namespace {

const ReportMenuItem kMenu[] = {
    {"?ReportsReportScheduleBriefSchedule", "&Brief Schedule", "Print schedule in a concise format", "&Schedule",
     ScheduleBriefReport, nullptr, 25000},
    {"?ReportsCalendar", "&Calendar", "Print schedule in a calendar format", "&Schedule", PrintCalendarReport,
     nullptr, 25000},
    {"?PrintSCH:KeyDate", "&All in Date Order", "Print ordered by Date", "&Schedule", ScheduleByDateReport, nullptr,
     50000},
    {"?PrintSCH:KeyCategory", "A&ll in Category Order", "Print ordered by Category", "&Schedule",
     ScheduleByCategoryReport, nullptr, 50000},
    {"?ReportsScheduleForspecificcategory", "&Specific Category", "Print schedule for one category only",
     "&Schedule", Print_SCH_OneCategory, nullptr, 25000},
    {"?ReportsScheduleChecklistStyle", "C&hecklist Style", "Brief Schedule in Daily Checklist Format", "&Schedule",
     ScheduleChecklistReport, nullptr, 25000},
    {"?ReportsScheduleMemoStyle", "&Memo Style", "Print memo style report", "&Schedule", ScheduleMemoReport, nullptr,
     25000},
    {"?ReportsPrintToDoList", "&Priority", "Print To Do List by Priority", "&To Do List", ToDoByPriorityReport,
     nullptr, 25000},
    {"?ReportsToDoListCategory", "&Category", "Print To Do List by Category", "&To Do List", ToDoByCategoryReport,
     nullptr, 25000},
    {"?ReportsContactsByName", "By &Last Name", "List of Contacts by Last Name", "&Contacts", ContactsReport,
     "Last Name", 25000},
    {"?ReportsContactsByFirstName", "By &First Name", "List of Contacts by First Name", "&Contacts", ContactsReport,
     "First Name", 25000},
    {"?ReportsContactsByCompany", "By &Company", "", "&Contacts", ContactsReport, "Company", 25000},
    {"?ReportsContactsWithinCategory", "By Categ&ory", "List of Contacts", "&Contacts", ContactsByCategoryReport,
     "Category", 25000},
    {"?ReportsScheduleEmailMessages", "Scheduled E-mail Messages", "", nullptr, ScheduledEmailsReport, nullptr,
     25000},
    {"?PrintCAT:KeyCategory", "Cate&gories", "Print ordered by Category", nullptr, CategoryListReport, nullptr, 25000},
    {"?SeparatorCustomReports", "", "", nullptr, nullptr, nullptr, 0},
    {"?ReportsCustomReports", "Custom &Reports", "Custom Reports", nullptr, CustomScheduleReport, nullptr, 25000},
};

// The order in which the command line's first word is compared with the use names.
constexpr const char* kCompareOrder[] = {
    "?ReportsCalendar", "?ReportsScheduleEmailMessages", "?ReportsScheduleMemoStyle",
    "?ReportsReportScheduleBriefSchedule", "?PrintSCH:KeyDate", "?PrintSCH:KeyCategory",
    "?ReportsScheduleForspecificcategory", "?ReportsScheduleChecklistStyle", "?ReportsPrintToDoList",
    "?ReportsToDoListCategory", "?ReportsContactsByName", "?ReportsContactsByFirstName",
    "?ReportsContactsByCompany", "?ReportsContactsWithinCategory", "?PrintCAT:KeyCategory",
    "?SeparatorCustomReports", "?ReportsCustomReports"};

constexpr const char* kWeekdays = "Sunday   Monday   Tuesday  WednesdayThursday Friday   Saturday ";

class MainFrame : public ui::WindowManager {
 public:
  explicit MainFrame(bool watchSession) : ui::WindowManager("Main"), m_watchSession(watchSession) {}

  ui::Level Init() override {
    files::APP.STARTUPTIME = rt::CLOCK();
    files::APP.STARTUPDATE = rt::TODAY();
    files::EXEPATH = rt::programFolder();
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    (void)files::Access_CATEGORIES.Open();
    (void)files::Access_CONFIGURATION.Open();
    (void)files::Access_HOLIDAYS.Open();
    m_filesOpened = true;

    ui::Window& w = window();
    w.setTitle(files::PRODUCTNAME.str() + " Reports " + files::VERSIONNUMBER.str());
    w.kind(ui::WindowKind::Frame).at(-1, -1, 420, 240).resizable().timer(clampFrameTimer(100));
    w.statusZones({100, 100, 120, 60});
    const int file = w.menu("?FileMenu", "&File").feq();
    m_printSetup = w.item("?PrintSetup", "Print Setup ...", file).tip("Setup printer").feq();
    m_exit = w.item("?Exit", "E&xit", file).tip("Exit this application").feq();
    const int edit = w.menu("?EditMenu", "Edit").feq();
    m_cut = w.item("?Cut", "Cu&t", edit).tip("Remove item to Windows Clipboard").feq();
    m_copy = w.item("?Copy", "&Copy", edit).tip("Copy item to Windows Clipboard").feq();
    m_paste = w.item("?Paste", "&Paste", edit).tip("Paste contents of Windows Clipboard").feq();
    const int reports = w.menu("?ReportsMenu", "&Reports").tip("Report data").feq();
    std::string current;
    int sub = 0;
    for (const ReportMenuItem& item : kMenu) {
      if (!item.run) {
        w.separator(reports);
        continue;
      }
      int parent = reports;
      if (item.submenu) {
        if (current != item.submenu) {
          current = item.submenu;
          sub = w.menu(std::string("?") + rt::CLIP(item.submenu), item.submenu, reports).feq();
        }
        parent = sub;
      }
      ui::MenuControl& c = w.item(item.useName, item.caption, parent);
      if (*item.tip) c.tip(item.tip);
      m_items.emplace_back(c.feq(), &item);
    }
    const int windowMenu = w.menu("?WindowMenu", "&Window").tip("Create and Arrange windows").feq();
    m_tile = w.item("?Tile", "T&ile", windowMenu).tip("Make all open windows visible").feq();
    m_cascade = w.item("?Cascade", "&Cascade", windowMenu).tip("Stack all open windows").feq();
    m_arrange = w.item("?ArrangeIcons", "&Arrange Icons", windowMenu).tip("Align all window icons").feq();
    const int help = w.menu("?HelpMenu", "&Help").tip("Windows Help").feq();
    m_contents = w.item("?HelpContents", "&Contents", help).tip("View the contents of the help file").feq();
    // A link whose address is not set is not offered.
    ui::MenuControl& web = w.item("?WebSite", "&Web Site", help);
    if (files::WebSiteAddress().empty()) web.disabled();
    m_webSite = web.feq();
    ui::MenuControl& support = w.item("?Support", "&E-mail for Support", help);
    if (files::SupportAddress().empty()) support.disabled();
    m_support = support.feq();
    m_about = w.item("?About", "&About", help).tip("About this program").feq();
    Open();
    // The clipboard commands need a text control with the focus, the window arrangement children
    // to arrange: greyed otherwise.
    w.onMenuShow(edit, [this] {
      for (int feq : {m_cut, m_copy, m_paste})
        window().setProp(feq, ui::Prop::Disable, ui::Window::focusTakesClipboard() ? 0 : 1);
    });
    w.onMenuShow(windowMenu, [this] {
      window().setProp(m_tile, ui::Prop::Disable, window().childWindows() ? 0 : 1);
      window().setProp(m_cascade, ui::Prop::Disable, window().childWindows() ? 0 : 1);
      window().setProp(m_arrange, ui::Prop::Disable, window().childWindows(true) ? 0 : 1);
    });
    m_shutdown.Init(1, 1, m_watchSession);  // yes to both questions of the session's end
    m_position.Init(*this, files::globalIni(), true);
    AddItem(m_position);
    showStatus();
    // The report the command line names starts as if chosen from the menu.
    if (const ReportMenuItem* item = matchCommandLine(rt::COMMAND("1")))
      for (const auto& [feq, it] : m_items)
        if (it == item) ui::POST(ui::EVENT::Accepted, feq);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int f = ui::ACCEPTED();
    for (const auto& [feq, item] : m_items) {
      if (feq == f) {
        const ReportMenuItem* it = item;
        // The frame does not wait for the report.
        QTimer::singleShot(0, [it] { (void)runMenuItem(*it); });
        return ui::Level::Notify;
      }
    }
    if (f == m_exit) {
      ui::POST(ui::EVENT::CloseWindow);
      return ui::Level::Notify;
    }
    if (f == m_about) {
      ReportAbout();
      return ui::Level::Notify;
    }
    if (f == m_printSetup) {
      printSetup();
      return ui::Level::Notify;
    }
    if (f == m_cut || f == m_copy || f == m_paste) {
      clipboardAction(f == m_cut ? "cut()" : f == m_copy ? "copy()" : "paste()");
      return ui::Level::Notify;
    }
    if (f == m_tile || f == m_cascade || f == m_arrange) {
      if (f == m_tile) window().tileChildren();
      else if (f == m_cascade) window().cascadeChildren();
      else window().arrangeIcons();
      return ui::Level::Notify;
    }
    if (f == m_contents) {
      (void)files::ShowHelp();
      return ui::Level::Notify;
    }
    if (f == m_webSite) {
      (void)files::OpenWebSite();
      return ui::Level::Notify;
    }
    if (f == m_support) {
      (void)files::OpenSupportMail();
      return ui::Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::Timer) showStatus();
    if (ui::EVENT() == files::ShutdownEvent::EndSession) {
      ui::POST(ui::EVENT::CloseWindow);
      return ui::Level::Notify;
    }
    return WindowManager::TakeWindowEvent();
  }

  ui::Level Kill() override {
    m_shutdown.Kill();
    if (m_filesOpened) {
      (void)files::Access_CATEGORIES.Close();
      (void)files::Access_CONFIGURATION.Close();
      (void)files::Access_HOLIDAYS.Close();
      m_filesOpened = false;
    }
    return WindowManager::Kill();
  }

 private:
  void showStatus() {
    window().setStatusText(3, statusDayText(rt::TODAY()));
    window().setStatusText(4, rt::FORMAT(rt::CLOCK(), "@t7"));
  }

  // The printer (or a PDF file) and the copies for every report from now on.
  void printSetup() { (void)report::PrintSetup(); }

  // The clipboard commands act on the text control that has the focus.
  static void clipboardAction(const char* slot) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->metaObject()->indexOfMethod(slot) >= 0)
      QMetaObject::invokeMethod(focus, std::string(slot, std::strlen(slot) - 2).c_str());
  }

  std::vector<std::pair<int, const ReportMenuItem*>> m_items;
  ui::WindowPositionKeeper m_position;
  int m_cut = 0, m_copy = 0, m_paste = 0, m_tile = 0, m_cascade = 0, m_arrange = 0;
  int m_printSetup = 0, m_exit = 0, m_contents = 0, m_webSite = 0, m_support = 0, m_about = 0;
  bool m_filesOpened = false;
  bool m_watchSession;
  files::SysShutdownClass m_shutdown;
};

class AboutWindow : public ui::WindowManager {
 public:
  AboutWindow() : ui::WindowManager("ReportAbout") {}
  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("About");
    w.at(-1, -1, 280, 152).minSize(279, 151);
    w.image("?Logo", "~orvane.jpg").at(10, 10, 60, 60);
    w.string("?Module", "Report Module").at(80, 10, 190, 12);
    w.string("?Version", "Version " + files::VERSIONNUMBER.str()).at(80, 30, 190, 10);
    w.string("?BuildLabel", "Build").at(80, 44, 30, 10);
    w.string("?Build", "274").at(112, 44, 60, 10);
    w.string("?Date", "09/28/02").at(80, 58, 100, 10);
    CancelControl = w.button("?Close", "Cl&ose").at(170, 130, 50, 14).feq();
    w.button("?Help", "&Help").at(224, 130, 50, 14).disabled();
    Open();
    return ui::Level::Benign;
  }
};

}  // namespace

std::span<const ReportMenuItem> reportMenu() { return kMenu; }

const ReportMenuItem* matchCommandLine(std::string_view argument) {
  const std::string arg = rt::CLIP(argument);
  for (const char* name : kCompareOrder) {
    if (arg != name) continue;
    for (const ReportMenuItem& item : kMenu)
      if (std::string_view(item.useName) == name) return &item;
  }
  return nullptr;
}

int runMenuItem(const ReportMenuItem& item) {
  if (!item.run) return 0;
  if (item.contactOrder) GLO.ContactOrder = item.contactOrder;
  return item.run();
}

std::string statusDayText(int32_t today) {
  const std::string name = rt::CLIP(std::string_view(kWeekdays).substr(static_cast<size_t>(today % 7) * 9, 9));
  return name + ", " + rt::FORMAT(today, "@d17");
}

int clampFrameTimer(int hundredths) { return hundredths < 1 || hundredths > 100 ? 100 : hundredths; }

void IdentifyUser() {
  files::STANDARDCONFIGURATION();
  files::GLO.USER = os::userName();
  const std::string user = rt::CLIP(rt::COMMAND("User="));
  if (!user.empty()) files::GLO.USER = user;
  if (files::Access_USERS.Open() != rt::Err::None) return;
  files::U_ = files::UserRec{};
  files::U_.User = files::GLO.USER.view();
  if (files::USERS.get(files::U_KeyUser) != rt::Err::None) {
    files::U_ = files::UserRec{};
    files::U_.User = files::GLO.USER.view();
    files::U_.SourcePath = rt::SHORTPATH(".");
    (void)files::Access_USERS.Insert();
  }
  (void)files::Access_USERS.Close();
}

bool startReportProgram() {
  // Window places and the preserved criteria live in POSITION.INI of the data folder, which is
  // current once the data library has found it.
  static rt::INIClass positions;
  positions.Init(".\\POSITION.INI");
  files::OV_FILES_INIT(nullptr, &positions);
  loadPreservedCriteria();
  files::PRODUCTNAME = "Orvane 2002";
  const std::string custom = rt::GETINI("Custom", "ProductName", "", files::INI.FILENAME.str());
  if (!rt::CLIP(custom).empty()) files::PRODUCTNAME = custom;
  files::VERSIONNUMBER = "3.41";
  files::INI.FILENAME = "OV98.INI";
  IdentifyUser();
  files::DEBUG.ACTIVE = static_cast<uint8_t>(rt::textToNumber(rt::GETINI("Settings", "Debug", "0", "OV98.INI")) != 0);
  return true;
}

std::unique_ptr<ui::WindowManager> makeMain(bool watchSession) { return std::make_unique<MainFrame>(watchSession); }

void ReportAbout() {
  AboutWindow w;
  w.Run();
}

}  // namespace ov::reports
