// The users of a shared data folder.
//
//   BrowseUsers   the list of USERS by name; "&New", "&Edit" and "Delete" run the form, "&Select"
//                 serves a list opened to select a user. Opened with any request but select it
//                 exists once per process (OpenWindowList): a second start brings the first
//                 forward.
//   UpdateUsers   the form on the U_ record buffer: request in GLOBALREQUEST (1 insert, 2 change,
//                 3 delete, 4 view), answer in GLOBALRESPONSE (1 completed, 2 cancelled). The
//                 user name is required; the passwords are stored as typed.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

std::unique_ptr<ui::WindowManager> makeBrowseUsers();
// Runs the form modally on the current thread; its response.
int UpdateUsers();

}  // namespace ov::dialogs
