// The holiday list and the holiday form of the main program.
//
//   BrowseHolidays   the list of HOLIDAYS by date; "&New", "&Edit" and "&Delete" run the form.
//                    Opened with any request but select it is single-instance (OpenWindowList).
//   UpdateHolidays   the form on the HOL record buffer: request in GLOBALREQUEST (1 insert,
//                    2 change, 3 delete, 4 view), answer in GLOBALRESPONSE (1 completed,
//                    2 cancelled). Switching a holiday's type to "Easter" places it by
//                    easterRelativeDate (easter.h).
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

std::unique_ptr<ui::WindowManager> makeBrowseHolidays();
// Runs the list modally on the current thread (not entered as the single instance when
// GLOBALREQUEST is 4); its response.
int BrowseHolidays();
// Runs the form modally on the current thread; its response.
int UpdateHolidays();

}  // namespace ov::dialogs
