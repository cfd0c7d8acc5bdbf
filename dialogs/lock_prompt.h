// The system lock: fPasswordValidation is the gate that guarded operations (the settings, task
// changes, triggers and hot keys, rescheduling, housekeeping) call first. It answers true at once
// while the lock is off or the system was unlocked for the session; otherwise it asks for the
// password in the "Password Required" window. The lock and its password are the scheduler's
// start-up settings (SysLock, SysPwd); the session flag is the tick's " (Unlocked)" state,
// cleared when the main window is hidden.
//
// Threading: GUI thread only; runs modally on the caller's logical thread.
#pragma once

#include <string_view>

namespace ov::dialogs {

// An entry matches the stored password when both agree upper-cased, trailing blanks ignored;
// leading blanks count. Only the stored password's 32 characters take part, so a longer entry
// never matches.
bool systemPasswordMatches(std::string_view entry, std::string_view stored);

// true: go on with the guarded operation.
bool fPasswordValidation();

}  // namespace ov::dialogs
