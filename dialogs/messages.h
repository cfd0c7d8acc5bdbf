// The stored mail messages: the list and the message form.
//
//   BrowseMessages   the list of MESSAGES in four orders; "Send E-&mail" queues a one-step
//                    "Send Email" script for the highlighted message, due at once. Opened with
//                    GLOBALREQUEST 4 it is the picker of the script item forms: "&Select" links
//                    the message to the SCR buffer's item (and the OVD buffer's while the script
//                    template list is open). Asks for the system lock first; single-instance
//                    unless selecting. An explorer list: a column sort from the header replaces
//                    the tab's order until a tab is chosen again; its layout is kept in
//                    .\POSITION.INI.
//   UpdateMessages   the form on the M_ buffer, requests and answers as every record form, with
//                    the id of a contact to write to (0 for none). It lays itself out by mail type
//                    and format, remembers the last value used for each mail type, sends the
//                    message as shown ("Sen&d Now") and, on OK, links the message to the SCR and
//                    OVD buffers' items.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/rt/fixed_string.h"
#include "platform/ui/window_manager.h"

namespace ov::dialogs {

std::unique_ptr<ui::WindowManager> makeBrowseMessages();
// The message form called by name (the script item forms): no contact to write to.
std::unique_ptr<ui::WindowManager> makeUpdateMessages();
// Each runs modally on the current thread (request in GLOBALREQUEST); its response.
int BrowseMessages();
int UpdateMessages(int32_t contactId);

}  // namespace ov::dialogs
