// Forwarding a reminder as an e-mail: the small "Email Message" window that the reminder windows'
// E-mail button calls with the reminder they show.
//
// The user confirms or changes the recipient (one or more addresses separated by ";" or ","), the
// recipient's name, the subject and the text, and presses OK. The mail goes out through the
// program's own mail client with the global mail settings (EMAIL.HOST, EMAIL.SENDER, ...), or,
// with EMAIL.USEMAPI, is stored as a new MESSAGES record and handed to the mail sender program
// ("TESSEL.EXE n", not waited for). The recipient is remembered in "OVMSG.INI" [Email] (in the
// configuration folder) and offered again the next time, in any reminder.
//
// The window works on its own copy of the reminder: what the user changes in it never reaches the
// reminder window or the shared MSGLINK buffer, so two reminders can forward at the same time.
//
// GUI thread only; the window runs modally on the calling logical thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scheduler/services.h"

namespace ov::dialogs {

// GenerateEmail: the window, called (not started) by a reminder window with its reminder.
void GenerateEmail(const scheduler::ReminderText& reminder);

// ForwardMessageByEmail: sends one message by SMTP with the global mail settings and shows the
// outcome in a "Status" box ("Message sent.", or "Message was not sent." with the mail client's
// error, the sender and the host; never the SMTP password). A blank `recipientName` becomes the
// recipient's address (its first 60 bytes). Returns the mail client's result, 0 when sent.
int32_t ForwardMessageByEmail(std::string_view recipient, std::string& recipientName, std::string_view title,
                              std::string_view message);

// The MAPI way: stores the message as a new MESSAGES record (mail type "Email") and starts the
// mail sender program on it without waiting. Returns the new message's number, 0 when it could
// not be stored or the sender could not be started (both are reported; a message that was stored
// stays stored).
int32_t ForwardMessageByMapi(std::string_view recipient, std::string_view recipientName, std::string_view title,
                             std::string_view message);

// The remembered recipient: "OVMSG.INI", section "Email".
inline constexpr std::string_view kRememberIni = "OVMSG.INI";

}  // namespace ov::dialogs
