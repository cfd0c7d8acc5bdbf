#include "editors/register_windows.h"

#include "editors/birthday_wizard.h"
#include "editors/calendar.h"
#include "editors/exceptions_window.h"
#include "editors/hot_keys.h"
#include "editors/script_item_form.h"
#include "editors/script_item_list.h"
#include "editors/script_templates.h"
#include "editors/script_text_windows.h"
#include "editors/task_form.h"
#include "editors/script_keys.h"
#include "editors/task_lists.h"
#include "editors/triggers.h"
#include "editors/user_schedule_form.h"
#include "scheduler/program_windows.h"
#include "scheduler/services.h"

namespace ov::editors {

void registerWindows() {
  scheduler::services().calendar = [](int32_t date, std::string_view mode, std::string_view title) {
    return Calendar(date, mode, title);
  };
  scheduler::registerProgramWindow("UpdateTriggers", makeUpdateTriggers);
  scheduler::registerProgramWindow("BrowseTriggers", makeBrowseTriggers);
  scheduler::registerProgramWindow("UpdateHotKeys", makeUpdateHotKeys);
  scheduler::registerProgramWindow("BrowseHotKeys", makeBrowseHotKeys);
  scheduler::registerProgramWindow("BrowseScripting", makeBrowseScripting);
  scheduler::registerProgramWindow("UpdateScripting", makeUpdateScripting);
  scheduler::registerProgramWindow("BrowseScriptTemplates", makeBrowseScriptTemplates);
  scheduler::registerProgramWindow("Script:EditAsText", makeScriptEditAsText);
  scheduler::registerProgramWindow("UpdateSchedule", makeUpdateSchedule);
  registerScriptCommand("ConfirmClearScript", ConfirmClearScript);
  registerScriptCommand("PrintCurrentScript", [] { PrintCurrentScript(0); });
  registerScriptCommand("ExportScript", ExportScript);
  registerScriptCommand("ImportScript", ImportScript);
  scheduler::registerProgramWindow("UpdateSchedule:ExceptionsWindow", makeExceptionsWindow);
  scheduler::registerProgramWindow("UpdateOVUSD", makeUpdateOVUSD);
  scheduler::registerProgramWindow("ViewAscii:ScriptKeys", makeViewAsciiScriptKeys);
  scheduler::registerProgramWindow("Wizard:NewBirthdays", makeWizardNewBirthdays);
  scheduler::registerProgramWindow("ExploreSchedule", makeExploreSchedule);
  scheduler::registerProgramWindow("BrowseSchedule", makeBrowseSchedule);
}

}  // namespace ov::editors
