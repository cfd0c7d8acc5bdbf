#include "dialogs/register_windows.h"

#include "dialogs/clipboard.h"
#include "dialogs/clipboard_categories.h"
#include "dialogs/contact_categories.h"
#include "dialogs/contacts.h"
#include "dialogs/holidays.h"
#include "dialogs/log_viewer.h"
#include "dialogs/messages.h"
#include "dialogs/task_categories.h"
#include "dialogs/todo.h"
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
  scheduler::registerProgramWindow("BrowseContactCategories2Pane", makeBrowseContactCategories2Pane);
}

}  // namespace ov::dialogs
