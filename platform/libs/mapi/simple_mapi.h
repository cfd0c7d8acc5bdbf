// Simple MAPI over the sendmail interface: MAPILogon, MAPISendMail and MAPILogoff with the
// published result codes, for programs that hand a message to "the system's mail client".
//
// The mail client here is the local sendmail program (any MTA's sendmail interface: postfix,
// exim, msmtp-mta, ...): each MAPISendMail composes one RFC 5322 message (MIME when files are
// attached) and pipes it to `sendmail -t -i`, which takes the recipients from the To, Cc and Bcc
// headers and removes the Bcc header before delivery. The program is named by the environment
// variable OV_SENDMAIL, else /usr/sbin/sendmail or /usr/lib/sendmail; when none of them can be
// run, MAPILogon fails with MAPI_E_FAILURE and lastMapiError() says that there is no mail client.
//
// Recipients are resolved by their texts: "Name <address>", or an address alone; a text may hold
// several, separated by ";" or ",". A text that yields no usable address is an unknown recipient
// (14). There is no compose dialog: MAPI_DIALOG is accepted, and a message that would need the
// user to add recipients fails instead (MAPI_E_FAILURE, lastMapiError() saying why). A file's
// position marks the character of the note text that the attachment stands for; the client
// shows attachments as parts of their own, so a run of blanks in front of the text that holds
// every position is dropped.
//
// The sendmail program's exit code becomes the result: 0 success, 67 (no such user) and 68 (no
// such host) MAPI_E_UNKNOWN_RECIPIENT, anything else MAPI_E_FAILURE.
//
// Threading: any thread; sessions are process-wide. MAPISendMail blocks until sendmail ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::mapi {

// Flags.
constexpr uint32_t MAPI_LOGON_UI = 0x00000001;
constexpr uint32_t MAPI_NEW_SESSION = 0x00000002;
constexpr uint32_t MAPI_DIALOG = 0x00000008;

// Recipient classes.
constexpr uint32_t MAPI_ORIG = 0;
constexpr uint32_t MAPI_TO = 1;
constexpr uint32_t MAPI_CC = 2;
constexpr uint32_t MAPI_BCC = 3;

// Result codes of the published interface.
constexpr uint32_t SUCCESS_SUCCESS = 0;
constexpr uint32_t MAPI_USER_ABORT = 1;
constexpr uint32_t MAPI_E_FAILURE = 2;
constexpr uint32_t MAPI_E_LOGIN_FAILURE = 3;
constexpr uint32_t MAPI_E_DISK_FULL = 4;
constexpr uint32_t MAPI_E_INSUFFICIENT_MEMORY = 5;
constexpr uint32_t MAPI_E_TOO_MANY_SESSIONS = 8;
constexpr uint32_t MAPI_E_TOO_MANY_FILES = 9;
constexpr uint32_t MAPI_E_TOO_MANY_RECIPIENTS = 10;
constexpr uint32_t MAPI_E_ATTACHMENT_NOT_FOUND = 11;
constexpr uint32_t MAPI_E_UNKNOWN_RECIPIENT = 14;
constexpr uint32_t MAPI_E_BAD_RECIPTYPE = 15;
constexpr uint32_t MAPI_E_TEXT_TOO_LARGE = 18;
constexpr uint32_t MAPI_E_INVALID_SESSION = 19;
constexpr uint32_t MAPI_E_AMBIGUOUS_RECIPIENT = 21;

// The environment variable naming the sendmail program.
inline constexpr const char* kSendmailVariable = "OV_SENDMAIL";

struct MapiRecipDesc {
  uint32_t ulRecipClass = MAPI_TO;
  std::string lpszName;     // the text to resolve ("Ann <ann@example.org>", "ann@example.org")
  std::string lpszAddress;  // used instead of the name when not empty
};

struct MapiFileDesc {
  uint32_t flFlags = 0;
  int32_t nPosition = -1;    // character of the note text the attachment stands for; -1 none
  std::string lpszPathName;  // the file sent
  std::string lpszFileName;  // the name shown; the path's own name when empty
};

struct MapiMessage {
  std::string lpszSubject;
  std::string lpszNoteText;
  uint32_t flFlags = 0;
  MapiRecipDesc originator;  // class MAPI_ORIG; its name is the From text
  std::vector<MapiRecipDesc> recips;
  std::vector<MapiFileDesc> files;
};

// Opens a session: 0 with `session` set (a number above 0), or MAPI_E_FAILURE when there is no
// mail client. Profile and password are accepted and not needed by the sendmail interface.
uint32_t MAPILogon(std::string_view profile, std::string_view password, uint32_t flags, uint32_t& session);

// Sends one message through the session (see above for the results).
uint32_t MAPISendMail(uint32_t session, const MapiMessage& message, uint32_t flags);

// Closes a session: 0, or MAPI_E_INVALID_SESSION for one that is not open.
uint32_t MAPILogoff(uint32_t session);

// Why the last call of this thread failed, in words ("" after a success).
std::string lastMapiError();

// The sendmail program that would be used: OV_SENDMAIL when set (even when it cannot be run),
// else the first standard place that holds a program; "" when there is none.
std::string sendmailProgram();

namespace detail {
// The recipient addresses of one text, as the client resolves it; empty when it names none
// usable. Exposed for the tests.
struct Address {
  std::string name;
  std::string address;
};
bool resolveRecipient(std::string_view text, std::vector<Address>& out);
// The note text as sent: the blanks in front that hold every file position dropped.
std::string noteTextWithoutPositions(std::string_view text, const std::vector<MapiFileDesc>& files);
}  // namespace detail

}  // namespace ov::mapi
