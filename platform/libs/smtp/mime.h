// Composing the text of an outgoing message (RFC 5322 headers, MIME body), for SendMail.
//
// Header texts lose their control characters (a line break in a subject or a name cannot start a
// header of its own); texts beyond ASCII become RFC 2047 encoded words in UTF-8. Line ends are
// CRLF throughout. A text body goes as it is when it is short-lined ASCII, else in base64; files
// always go in base64.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov::smtp {

struct Recipient {
  std::string name;
  std::string address;
};

struct MessageParts {
  std::string from;  // as the From header should read, before encoding
  std::vector<Recipient> to, cc;
  std::string subject, organization, mailer;
  uint8_t bodyKind = 6;    // BodyKind of send_mail.h
  std::string body;        // the text, or for kinds 5 and 8 the file's name
  std::vector<std::string> attachments;  // file names
  std::string messageIdDomain;           // the part after "@" of the Message-ID
  std::time_t date = 0;
};

// The whole message. False when a file cannot be read; `problem` then names it.
bool composeMessage(const MessageParts& parts, std::string& out, std::string& problem);

// The recipient entries of a block (400 bytes each; a short tail is ignored), names and addresses
// without trailing blanks. Entries with a blank address are left out.
std::vector<Recipient> readRecipients(std::span<const char> block);
// The file names of an attachment block (256 bytes each); blank names are left out.
std::vector<std::string> readAttachments(std::span<const char> block);

// Pieces, exposed for the tests.
std::string base64(std::string_view data);
std::string headerText(std::string_view text);          // encoded words when needed
std::string formatRecipient(const Recipient& r);        // "\"Name\" <a@b>" or "a@b"
std::string formatFrom(std::string_view from);
// The address inside a From text: what lies between "<" and ">", else the whole text trimmed.
std::string addressOf(std::string_view from);
// True for an address the envelope can carry: not empty, no blanks, control characters or any
// of "<>,;\"()".
bool isUsableAddress(std::string_view address);

}  // namespace ov::smtp
