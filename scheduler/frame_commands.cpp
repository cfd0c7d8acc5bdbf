#include "scheduler/frame_commands.h"

#include <string_view>

#include "datalib/globals.h"
#include "datalib/help.h"
#include "platform/rt/process.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "scheduler/program_windows.h"
#include "scheduler/scheduler_windows.h"
#include "scheduler/services.h"

namespace ov::scheduler {

namespace {

struct WindowCommand {
  int feq;
  std::string_view procedure;
  int stack;
};

// Commands that start a window of their own on a thread of its own.
constexpr WindowCommand kWindows[] = {
    {Command::TaskCategories, "BrowseTaskCategories", 25000},
    {Command::TaskCategories2, "BrowseTaskCategories", 25000},
    {Command::ContactCategories, "BrowseContactCategories2Pane", 25000},
    {Command::ContactCategories2, "BrowseContactCategories2Pane", 25000},
    {Command::ClipboardCategories, "BrowseClipboardCategories", 25000},
    {Command::ClipboardCategories2, "BrowseClipboardCategories", 25000},
    {Command::Holidays, "BrowseHolidays", 25000},
    {Command::ScriptTemplates, "BrowseScriptTemplates", 25000},
    {Command::EventLog, "ViewAscii:Log", 25000},
    {Command::ScriptQueue, "ViewQueue:Script", 25000},
    {Command::BugReport, "BugReport", 25000},
    {Command::Explorer, "ExploreSchedule", 25000},
    {Command::HotKeys, "BrowseHotKeys", 25000},
    {Command::Triggers, "BrowseTriggers", 25000},
    {Command::ToDo, "BrowseToDoList", 25000},
    {Command::Contacts, "BrowseContacts", 25000},
    {Command::Messages, "BrowseMessages", 25000},
    {Command::Clipboard, "BrowseClipboard", 25000},
    {Command::Users, "BrowseUsers", 25000},
    {Command::BirthdayWizard, "Wizard:NewBirthdays", 50000},
    {Command::NewContact, "UpdateContacts", 50000},
    {Command::NewHotKey, "UpdateHotKeys", 50000},
    {Command::NewTrigger, "UpdateTriggers", 50000},
    {-109, "BrowseToDoList", 25000},
    {-110, "BrowseContacts", 25000},
    {-111, "BrowseClipboard", 25000},
    {-112, "BrowseMessages", 25000},
};

// The task form with its preset task type.
struct TaskFormCommand {
  int feq;
  std::string_view taskType;
};
constexpr TaskFormCommand kTaskForms[] = {
    {Command::NewMessageTask, "Display Message"}, {Command::NewProgramTask, "Run Program"},
    {Command::NewScriptTask, "Script"},           {Command::NewEmailTask, "E-mail"},
    {Command::NewTask, ""},
};

// Companion programs started without waiting, by their command line after the program's folder.
struct ProgramCommand {
  int feq;
  std::string_view program;
  std::string_view arguments;
};
constexpr ProgramCommand kPrograms[] = {
    {Command::ImportTasks, "OV_IMPEX", "I SCHEDULE"}, {Command::ImportContacts, "OV_IMPEX", "I CONTACT"},
    {Command::ImportToDo, "OV_IMPEX", "I TODO"},      {Command::ImportHolidays, "OV_IMPEX", "I HOLIDAYS"},
    {Command::ExportTasks, "OV_IMPEX", "E SCHEDULE"}, {Command::ExportContacts, "OV_IMPEX", "E CONTACT"},
    {Command::ExportToDo, "OV_IMPEX", "E TODO"},      {Command::ExportHolidays, "OV_IMPEX", "E HOLIDAYS"},
    {Command::Backup, "QMTBACK.EXE", "RO97.ZEZ"},     {Command::Database, "OV_DBASE.EXE", ""},
};

struct ReportCommand {
  int feq;
  std::string_view name;
};
constexpr ReportCommand kReports[] = {
    {-62, "?ReportsReportScheduleBriefSchedule"}, {-63, "?ReportsCalendar"},
    {-64, "?PrintSCH:KeyDate"},                   {-65, "?PrintSCH:KeyCategory"},
    {-66, "?ReportsScheduleForspecificcategory"}, {-67, "?ReportsScheduleChecklistStyle"},
    {-68, "?ReportsScheduleMemoStyle"},           {-70, "?ReportsPrintToDoList"},
    {-71, "?ReportsToDoListCategory"},            {-73, "?ReportsContactsByName"},
    {-74, "?ReportsContactsByFirstName"},         {-75, "?ReportsContactsByCompany"},
    {-76, "?ReportsContactsWithinCategory"},      {-77, "?ReportsScheduleEmailMessages"},
    {-78, "?PrintCAT:KeyCategory"},               {-79, "?SeparatorCustomReports"},
    {-80, "?ReportsCustomReports"},
};
constexpr std::string_view kReportProgram = "OV_RPTS.EXE";

// Where a toolbar or popup target sends its command; 0 when it acts itself.
int targetOf(int feq) {
  switch (feq) {
    case -103: return Command::NewProgramTask;
    case -104: return Command::NewMessageTask;
    case -105: return Command::NewScriptTask;
    case -106: return Command::NewEmailTask;
    case -107: return Command::NewHotKey;
    case -108: return Command::Schedule;
    case -113: return Command::HotKeys;
    case -114: return Command::Setup;
    default: return 0;
  }
}

template <class Table>
auto find(const Table& table, int feq) -> decltype(&table[0]) {
  for (const auto& row : table)
    if (row.feq == feq) return &row;
  return nullptr;
}

std::string inProgramFolder(std::string_view program) {
  std::string folder(files::EXEPATH.clipped());
  if (folder.empty()) folder = rt::programFolder();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + std::string(program);
}

bool programThere(std::string_view program) { return !rt::findProgram(inProgramFolder(program)).empty(); }

// Starts `commandLine` without waiting; 0 when it started.
int runNoWait(const std::string& commandLine) {
  if (services().runNoWait) return services().runNoWait(commandLine);
  rt::RUN(commandLine, false);
  return rt::RUNCODE();
}

}  // namespace

rt::String<20>& PresetTaskType() {
  static rt::String<20> type;
  return type;
}

std::string ReportName(int feq) {
  const ReportCommand* r = find(kReports, feq);
  return r ? std::string(r->name) : std::string();
}

void StartBackup() {
  const ProgramCommand* p = find(kPrograms, Command::Backup);
  (void)runNoWait(inProgramFolder(p->program) + " " + std::string(p->arguments));
}

bool CommandAvailable(int feq) {
  if (feq <= Command::LastToolbarButton && feq >= Command::FirstToolbarButton)
    return CommandAvailable(feq - Command::LastToolbarButton + Command::LastTarget);
  if (int target = targetOf(feq)) return CommandAvailable(target);
  if (const WindowCommand* w = find(kWindows, feq)) return programWindowRegistered(w->procedure);
  if (find(kTaskForms, feq)) return programWindowRegistered("UpdateSchedule");
  if (const ProgramCommand* p = find(kPrograms, feq)) return programThere(p->program);
  if (find(kReports, feq)) return programThere(kReportProgram);
  switch (feq) {
    case Command::Setup: return programWindowRegistered("Setup");
    case Command::About: return programWindowRegistered("About");
    case Command::WebSite: return !files::WebSiteAddress().empty();
    case Command::SupportMail: return !files::SupportAddress().empty();
    case Command::Schedule: return programWindowRegistered("ExploreSchedule") || programWindowRegistered("BrowseSchedule");
    case Command::ViewActiveScripts: return programWindowRegistered("ViewQueue:Script");
    case Command::Help:
    case Command::Housekeeping:
    case Command::RescheduleAll:
    case Command::StopScripts:
    case Command::StopScripts2:
    case Command::Exit:
      return true;
    default: return false;
  }
}

bool RunCommand(int feq, const CommandFrame& frame) {
  if (feq <= Command::LastToolbarButton && feq >= Command::FirstToolbarButton)
    return RunCommand(feq - Command::LastToolbarButton + Command::LastTarget, frame);
  if (int target = targetOf(feq)) return RunCommand(target, frame);
  if (const WindowCommand* w = find(kWindows, feq)) {
    (void)startProgramWindow(w->procedure, w->stack);
    return true;
  }
  if (const TaskFormCommand* t = find(kTaskForms, feq)) {
    PresetTaskType() = t->taskType;
    (void)startProgramWindow("UpdateSchedule", 50000);
    return true;
  }
  if (const ProgramCommand* p = find(kPrograms, feq)) {
    std::string line = inProgramFolder(p->program);
    line += ' ';
    line += p->arguments;
    const int code = runNoWait(line);
    if (feq == Command::Database && code == 0) {
      if (frame.end) frame.end();
    } else if ((feq == Command::Database || feq == Command::Backup) && frame.reset) {
      frame.reset();
    }
    return true;
  }
  if (const ReportCommand* r = find(kReports, feq)) {
    if (runNoWait(inProgramFolder(kReportProgram) + " " + std::string(r->name)) != 0)
      (void)ui::MESSAGE(
          "Unable to start OV_RPTS.EXE.||Start using the Windows shortcut in the Orvane folder.  If this fails, "
          "re-install Orvane.",
          "Error", ui::Icon::Exclamation);
    return true;
  }
  const int queued = frame.queuedScripts ? frame.queuedScripts() : 0;
  switch (feq) {
    case Command::Setup: (void)callProgramWindow("Setup"); return true;
    case Command::About: (void)callProgramWindow("About"); return true;
    case Command::Help: (void)files::ShowHelp(); return true;
    case Command::WebSite: (void)files::OpenWebSite(); return true;
    case Command::SupportMail: (void)files::OpenSupportMail(); return true;
    case Command::Housekeeping: (void)Housekeeping().Run(); return true;
    case Command::RescheduleAll: (void)ui::START(rescheduleWithPasswordProc(), 25000); return true;
    case Command::Schedule:
      if (frame.explorerView && frame.explorerView() && programWindowRegistered("ExploreSchedule"))
        (void)startProgramWindow("ExploreSchedule", 50000);
      else
        (void)startProgramWindow("BrowseSchedule", 25000);
      return true;
    case Command::StopScripts:
    case Command::StopScripts2:
      if (queued > 0 && frame.stopScripts) frame.stopScripts();
      return true;
    case Command::ViewActiveScripts:
      if (queued > 0) (void)startProgramWindow("ViewQueue:Script");
      return true;
    case Command::Exit:
      if (frame.exit) frame.exit();
      return true;
    default: return false;
  }
}

}  // namespace ov::scheduler
