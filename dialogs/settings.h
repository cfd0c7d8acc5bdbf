// The settings dialog of the main program ("Options"): ten tabs of controls bound to the live
// configuration globals, so an edit takes effect at once; OK writes every setting (settings_keys.h),
// Cancel reloads them all from the configuration (LoadConfiguration). "&Test Settings" sends a
// test e-mail through SMTP, logging each setting to SMTPTEST.LOG, or through the mail sender
// program.
//
// Threading: GUI thread only; runs modally on the caller's thread after the system-lock prompt.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

// The procedure registered as "Setup"; opens nothing when the system-lock prompt refuses.
std::unique_ptr<ui::WindowManager> makeSetup();
void Setup();

// The SMTP test of the dialog with the settings as they are: sends "Test E-mail" to the sender's
// own address, logs the settings (never the password) to SMTPTEST.LOG in the data folder, and
// shows the outcome. Returns the mail object's result (0 sent).
int32_t sendSmtpTestMessage();

}  // namespace ov::dialogs
