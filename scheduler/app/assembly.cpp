#include "scheduler/app/assembly.h"

#include "datalib/help.h"
#include "dialogs/default_holidays.h"
#include "dialogs/generate_email.h"
#include "dialogs/lock_prompt.h"
#include "dialogs/register_windows.h"
#include "dialogs/settings_keys.h"
#include "editors/register_windows.h"
#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/ui/help_key.h"
#include "scheduler/services.h"

namespace ov::scheduler {

void AssembleProgram() {
  editors::registerWindows();
  dialogs::registerWindows();
  // F1 in any window opens that window's page of the manual.
  ui::setHelpHandler([](const std::string& id) { (void)files::ShowHelp(id); });
  qwizard::SetQueryWizardTexts();  // the operator and page texts of the lists' query wizard
  // The windows of the dialogs that the scheduler core calls.
  services().generateEmail = [](const ReminderText& reminder) { dialogs::GenerateEmail(reminder); };
  services().initDefaultHolidays = [] { dialogs::InitDefaultHolidays(); };
  services().passwordValidation = [] { return dialogs::fPasswordValidation(); };
  services().loadEmailDefaults = [] { dialogs::loadRegistryEmailDefaults(); };
}

}  // namespace ov::scheduler
