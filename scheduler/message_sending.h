// Sending the e-mail messages stored in MESSAGES: for the task command "OVEMAIL n", the script
// step "Send Email" and the message dialogs.
//
// SendMessageRecord reads the message and hands it to the MAPI sender program (EMAIL.USEMAPI) or
// sends it itself by SMTP (EmailMessageClass). A message of the kind "Mail Script" names a script
// exchange file of recipients and texts, each line of which goes out as its own message. Every
// send is written to the event log and leaves its outcome in the script variables "Mail" ("Sent"
// or "Error") and "MailError" ("None" or the error text); before an SMTP send "EmailHost",
// "EmailSenderName" and "EmailReturnPath" are set.
//
// A message goes out when it has any recipient, in To, Cc or Bcc ("N/A" in To means none there).
// A "Mass Mailing" goes to each contact of its contact category (or, without one, to its
// addressee), a "Mail Merge" to each addressee of its merge file, one message per addressee.
// A "News" article cannot be posted (there is no news server client): it is reported as an error,
// never as sent.
//
// Frame thread only: the MESSAGES and EXPORT record buffers and the script variables are used.
#pragma once

#include <cstdint>

#include "platform/rt/fixed_string.h"

namespace ov::scheduler {

// "Sending Email..." while an SMTP send runs, blank otherwise (the frame may show it).
extern rt::String<20> EmailState;

// Sends message `message`: 0 when sent; else the MAPI sender's exit code (or the Windows error
// of its failed start), the SMTP library's result code, -1 for a mail script that cannot be read
// or that had lines left unsent, 1 for a message that cannot be read, a missing e-mail set-up or
// a kind that has no sender here. With `reRead` set or `storedAlready` clear the message is read
// first by its number; else the caller has it in the MESSAGES buffer (M_). When it was sent and
// the message was read here, its M_.LastDateSent becomes today.
int32_t SendMessageRecord(int32_t message, uint8_t storedAlready, uint8_t reRead);

// Sends the mail script of the message in the buffer: 0 when every line was sent.
int32_t SendMailScript();

// Sends the mass mailing in the buffer, one message per contact of its category: 0 when every
// contact was sent to, else the first failure's code (-1 when there was nobody to send to).
int32_t SendMassMailing();

// Sends the mail merge in the buffer, one message per addressee line of its merge file: as above,
// -1 also for a merge file that is missing or cannot be read.
int32_t SendMailMerge();

// Sends the message in the buffer by SMTP: the library's result, 0 when sent.
int32_t SendSmtpMessage();

}  // namespace ov::scheduler
