// The main program: starts on the data folder and runs until its frame closes.
#include "datalib/help.h"
#include "dialogs/default_holidays.h"
#include "dialogs/generate_email.h"
#include "dialogs/lock_prompt.h"
#include "dialogs/register_windows.h"
#include "editors/register_windows.h"
#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/ui/help_key.h"
#include "scheduler/program_body.h"
#include "scheduler/services.h"

int main(int argc, char** argv) {
  ov::editors::registerWindows();
  ov::dialogs::registerWindows();
  // F1 in any window opens that window's page of the manual.
  ov::ui::setHelpHandler([](const std::string& id) { (void)ov::files::ShowHelp(id); });
  ov::qwizard::SetQueryWizardTexts();  // the operator and page texts of the lists' query wizard
  // The windows of the dialogs that the scheduler core calls.
  ov::scheduler::services().generateEmail = [](const ov::scheduler::ReminderText& reminder) {
    ov::dialogs::GenerateEmail(reminder);
  };
  ov::scheduler::services().initDefaultHolidays = [] { ov::dialogs::InitDefaultHolidays(); };
  ov::scheduler::services().passwordValidation = [] { return ov::dialogs::fPasswordValidation(); };
  return ov::scheduler::ProgramBody(argc, argv);
}
