// The exceptions window of the task form: the days and times on which a due occurrence of the task
// in the SCHEDULE record buffer must not run, and where it moves instead.
//
//   UpdateSchedule_ExceptionsWindow   runs on the caller's thread and edits the buffer only: the
//                                      task form stores the rules with the task, or drops them
//                                      when it is cancelled. "Cl&ose" writes the seven day checks
//                                      into SCH:ExceptOther; closing the window any other way
//                                      leaves that field as it was. Its response goes to
//                                      GLOBALRESPONSE (1 closed with "Cl&ose", 2 otherwise).
//
// Threading: GUI thread only.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/window_manager.h"

namespace ov::editors {

constexpr const char* kShiftSkip = "Skip (to next valid day)";

// SCH:ExceptOther holds one character per weekday, Sunday first: "Y" for an excepted day.
using ExceptedDays = std::array<bool, 7>;
ExceptedDays exceptedDays(std::string_view exceptOther);
// The field's text for `days`: seven "Y" or blank characters (the rest of the field stays blank).
std::string exceptOtherText(const ExceptedDays& days);

std::unique_ptr<ui::WindowManager> makeExceptionsWindow();
// Runs the window modally on the current thread; its response.
int UpdateSchedule_ExceptionsWindow();

}  // namespace ov::editors
