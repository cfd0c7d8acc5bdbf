#include "dialogs/register_windows.h"

#include "dialogs/about.h"
#include "dialogs/bug_report.h"
#include "dialogs/clipboard.h"
#include "dialogs/clipboard_categories.h"
#include "dialogs/contact_categories.h"
#include "dialogs/contacts.h"
#include "dialogs/holidays.h"
#include "dialogs/log_viewer.h"
#include "dialogs/messages.h"
#include "dialogs/task_categories.h"
#include "dialogs/todo.h"
#include "dialogs/script_queue_viewer.h"
#include "dialogs/settings.h"
#include "dialogs/task_categories.h"
#include "dialogs/users.h"
#include "scheduler/program_windows.h"

namespace ov::dialogs {

void registerWindows() {
  scheduler::registerProgramWindow("BrowseHolidays", makeBrowseHolidays);
  scheduler::registerProgramWindow("BrowseTaskCategories", makeBrowseTaskCategories);
  scheduler::registerProgramWindow("ViewAscii:Log", makeViewAsciiLog);
  scheduler::registerProgramWindow("BrowseClipboard", makeBrowseClipboard);
  scheduler::registerProgramWindow("BrowseToDoList", makeBrowseToDoList);
  scheduler::registerProgramWindow("BrowseClipboardCategories", makeBrowseClipboardCategories);
  scheduler::registerProgramWindow("BrowseContacts", makeBrowseContacts);
  scheduler::registerProgramWindow("UpdateContacts", makeUpdateContacts);
  scheduler::registerProgramWindow("BrowseMessages", makeBrowseMessages);
  scheduler::registerProgramWindow("UpdateMessages", makeUpdateMessages);
  scheduler::registerProgramWindow("SelectContactCategories", makeSelectContactCategories);
  scheduler::registerProgramWindow("BrowseContactCategories2Pane", makeBrowseContactCategories2Pane);
  scheduler::registerProgramWindow("Setup", makeSetup);
  scheduler::registerProgramWindow("BrowseUsers", makeBrowseUsers);
  scheduler::registerProgramWindow("Splash", makeSplash);
  scheduler::registerProgramWindow("About", makeAbout);
  scheduler::registerProgramWindow("BugReport", makeBugReport);
  scheduler::registerProgramWindow("ViewQueue:Script", makeViewQueueScript);
}

}  // namespace ov::dialogs
