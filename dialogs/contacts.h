// The contact list and the contact form of the main program.
//
//   BrowseContacts   the list of CONTACT in eight orders (by last name, first name, company,
//                    business phone, home phone, fax, e-mail, and the contacts of one category),
//                    with a locator entry; copies a contact as text to the clipboard, writes a
//                    message to one, starts the contact reports. Opened with GLOBALREQUEST 4 it is
//                    a picker ("&Select" leaves the contact in the C_ buffer and answers
//                    completed); otherwise single-instance.
//   UpdateContacts   the form on the C_ buffer with the contact's custom details (CONTACTDETAILS,
//                    written as each is edited) and notes. Requests and answers as every record
//                    form; started without a request it is a wizard for a new contact with a
//                    reminder, which becomes a one-time "Display Message" task when the contact
//                    is stored.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

std::unique_ptr<ui::WindowManager> makeBrowseContacts();
std::unique_ptr<ui::WindowManager> makeUpdateContacts();
// Each runs modally on the current thread (request in GLOBALREQUEST); its response.
int BrowseContacts();
int UpdateContacts();

}  // namespace ov::dialogs
