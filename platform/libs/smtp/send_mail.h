// The SMTP mail library: SendMail sends one message, described by one argument block, through one
// whole SMTP conversation (libcurl underneath) and returns a result code.
//
// The block carries texts, the recipient lists and the attachment list as flat blocks of
// fixed-size entries, the body, the SMTP log-on, a log file and room for the server's last reply.
// The library composes the message itself (headers with non-ASCII texts encoded, a multipart body
// when there are attachments); Bcc recipients get the message but never appear in it.
//
// The log file gets the conversation: commands and replies, never the message text and never the
// log-on (everything the client sends while it authenticates is written as "****").
//
// SendMail blocks until the server has answered or given up; call it from a worker thread. The
// progress callback runs on that thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace ov::smtp {

// A recipient entry: a name of 200 bytes, then an address of 200 bytes, each zero-terminated
// (so at most 199 bytes of text each). An attachment entry: a file name of 255 bytes,
// zero-terminated, then a kind byte.
constexpr size_t kNameWidth = 200;
constexpr size_t kAddressWidth = 200;
constexpr size_t kRecipientEntrySize = kNameWidth + kAddressWidth;
constexpr size_t kFileNameWidth = 255;
constexpr size_t kAttachmentEntrySize = kFileNameWidth + 1;
static_assert(kRecipientEntrySize == 400 && kAttachmentEntrySize == 256);
// The server reply buffer the caller provides.
constexpr size_t kReplySize = 500;

// How the body block is read.
enum BodyKind : uint8_t {
  kHtmlText = 4,   // the block is HTML text
  kHtmlFile = 5,   // the block names an HTML file whose content is the body
  kPlainText = 6,  // the block is plain text
  kFileBody = 8,   // the block names a file that is sent as the message's attachment
};

// Result codes. Anything above 1000 also means success to the callers (no code of ours is).
namespace code {
constexpr int32_t Ok = 0;
constexpr int32_t BadArguments = 1;     // no server, no sender, an unusable address
constexpr int32_t CannotReadFile = 2;   // the body file or an attachment cannot be read
constexpr int32_t SocketsFailed = 3;    // the transfer machinery could not be set up
constexpr int32_t ResolveFailed = 4;    // the server's name is unknown or malformed
constexpr int32_t ConnectFailed = 6;    // nothing answers at the server's address
constexpr int32_t SendFailed = 7;       // the connection broke while sending
constexpr int32_t ReceiveFailed = 8;    // the connection broke or timed out while waiting
constexpr int32_t ServerError = 9;      // the server refused; the reply says why
constexpr int32_t OutOfMemory = 11;
constexpr int32_t Unknown = 13;
constexpr int32_t Cancelled = 14;       // the progress callback asked to stop
constexpr int32_t NoRecipients = 15;
}  // namespace code

// Called while the message is being sent with the bytes sent so far and the message size; false
// stops the transfer (result 14).
using Progress = std::function<bool(int64_t sent, int64_t total)>;

struct SendMailBlock {
  const char* server = "";        // "host", "host:port", "[::1]:25", or "smtp://..."/"smtps://..."
  const char* mailer = "";        // X-Mailer header; none when empty
  const char* from = "";          // the From header as it stands ("\"Name\" <a@b>" or "a@b")
  const char* returnPath = "";    // envelope sender; empty: the address in `from`
  const char* organization = "";  // Organization header; none when empty
  const char* subject = "";
  const char* reserved = "";
  std::span<const char> to, cc, bcc;  // recipient entries end to end; empty for none
  uint8_t option1 = 3;
  uint8_t option2 = 1;  // non-zero: switch to TLS (STARTTLS) when the server offers it
  const char* user = "";      // SMTP log-on; none when empty
  const char* password = "";
  int32_t reservedLong = 0;
  std::span<const char> body;  // zero-terminated text or file name
  uint8_t bodyKind = kPlainText;
  std::span<const char> attachments;  // attachment entries end to end; empty for none
  Progress callback;
  uint8_t reservedByte = 0;
  const char* logFile = "";  // the conversation is appended here; none when empty
  // Filled when not null: the last reply code of the server, the number of recipients, the size
  // of the message in bytes.
  int32_t* result1 = nullptr;
  int32_t* result2 = nullptr;
  int32_t* result3 = nullptr;
  // kReplySize bytes, filled when not null: the server's last reply line, or on a failure that is
  // not the server's, what went wrong (which file, which address, the connection's error).
  char* reply = nullptr;
};

// Sends the message. Every address of To, Cc and Bcc is a recipient of the envelope (each once);
// the message needs at least one. Returns a code of `code` above.
int32_t SendMail(const SendMailBlock& block);

}  // namespace ov::smtp
