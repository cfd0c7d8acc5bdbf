// Sending one stored message of MESSAGES through Simple MAPI (platform/libs/mapi): a single
// message with To, Cc and Bcc, a mass mailing to the contacts of a category, a mail merge over
// the lines of a merge file, a mail script whose lines each carry their own addressee, subject,
// text and attachment, or a test message to the user's own address.
//
// Two ways: the BCC way puts every recipient of a mass mailing or merge into one message as Bcc
// (several messages of at most 100 recipients when there are more; a failed one ends the rest);
// the no-BCC way sends one message per recipient and goes on after a failure. A mail script is
// sent line by line in both.
//
// Every step is written to ".\TESSEL.LOG" (tessel_log.h) and the event log; the outcome is the
// process exit code, ExitCode:
//   0         everything was sent
//   1..99     the Simple MAPI result of the last failed send (1: the user cancelled); a send that
//             failed is not hidden by later ones that worked
//   101       no message has that number
//   102       a News article, or an "HTML file" or "Binary" message: not sendable this way
//   103..107  the log-on failed: user abort, general failure (also: no mail client), out of
//             memory, too many sessions, anything else
//   108       nothing was sent: a mass mailing without contacts (no category, or none in it) or a
//             merge or mail script without addressees
//   109       the merge or mail-script file is missing or cannot be read
// The message's last-sent date becomes today only when the run ends with 0.
//
// Threading: the program's one thread (record buffers, VARQ, the logs).
#pragma once

#include <cstdint>
#include <string>

namespace ov::mapisend {

constexpr int32_t kExitOk = 0;
constexpr int32_t kExitNoMessage = 101;
constexpr int32_t kExitNotSendable = 102;
constexpr int32_t kExitLogonAborted = 103;
constexpr int32_t kExitLogonFailed = 104;
constexpr int32_t kExitLogonNoMemory = 105;
constexpr int32_t kExitLogonTooManySessions = 106;
constexpr int32_t kExitLogonOther = 107;
constexpr int32_t kExitNothingSent = 108;
constexpr int32_t kExitFileMissing = 109;

// The exit code of the run; set to 0 at the start of the program.
extern int32_t ExitCode;

// Set for a run that nobody watches ("/AUTO": a task started it; or no display): what would be a
// message box goes to ".\TESSEL.LOG" (key "Message") and the event log instead, so the run ends.
extern bool Unattended;

// Milliseconds to wait after each mail-script line and after the work of the no-BCC and mail
// script ways (the mail client's pace); tests set it to 0.
extern int SendPauseMs;

enum class Way { Bcc, NoBcc };

// The way the command line and the setting EMAIL.USEMAPINOBCC choose: "/NOBCC" or the setting
// give the no-BCC way unless "/BCC" is given too.
Way chooseWay();

// The whole send of message `message` (0 or less: the test message).
void SendStoredMessage(int32_t message, Way way);

// The send of a "Mail Script" message already in the MESSAGES buffer.
void SendMailScriptLines(int32_t message);

// The log text of a Simple MAPI result ("Successful", "Cancelled.", ...).
std::string mapiResultText(uint32_t result);

}  // namespace ov::mapisend
