// EmailMessageClass: one outgoing e-mail message, collected and then sent through the SMTP mail
// library (platform/libs/smtp) in one call.
//
// Each message uses a new object: Init, set up, SendEmailMessage once, Kill. The object owns every
// text, list and block it hands to the library; the recipient and attachment blocks live only
// for the duration of one send. Texts are clipped of trailing blanks when set.
//
// Address lists: the separator of a list is its first ","; when it has none, its first ";". Each
// address becomes one entry, paired with the name at the same place of the name list (names run
// out: empty names). So "a@x,b@y" with "Ann;Bob" gives (Ann, a@x) and (Bob, b@y).
//
// Frame thread only. SendEmailMessage runs the SMTP conversation on a worker thread and waits in a
// nested event loop meanwhile (when there is a GUI application; else it simply blocks). The
// callback runs on that worker thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/libs/smtp/send_mail.h"

namespace ov::scheduler {

struct EmailRecipient {
  std::string name;     // at most 199 bytes reach the library
  std::string address;  // at most 199 bytes reach the library
};

struct EmailAttachment {
  std::string fileName;  // at most 254 bytes reach the library
  uint8_t kind = smtp::kFileBody;
};

class EmailMessageClass {
 public:
  void Init();
  void Kill();

  void SetServer(std::string_view text);
  void SetMailer(std::string_view text);
  void SetReturnPath(std::string_view text);
  void SetOrganization(std::string_view text);
  void SetSubject(std::string_view text);
  void SetLogFile(std::string_view text);
  // With `asIs` the From text is `name` unchanged (a complete From text); else "\"name\" <address>"
  // when the address is not blank, else the name alone.
  void SetFrom(std::string_view name, std::string_view address, bool asIs);
  void SetAuthentication(std::string_view user, std::string_view password);
  void SetOptionFlag(uint8_t flag);
  void SetCallback(smtp::Progress callback);
  // The body: text, or a file name for the kinds 5 and 8 (smtp::BodyKind).
  void SetBody(std::string_view text, uint8_t kind);

  void AddTo(std::string_view addresses, std::string_view names);
  void AddCc(std::string_view addresses, std::string_view names);
  void AddBccNamed(std::string_view addresses, std::string_view names);
  void AddBcc(std::string_view addresses);  // the addresses serve as names too
  void AddAttachment(std::string_view fileName, uint8_t kind);  // a blank name is ignored

  // Sends the message: 0 when it went out (a library result above 1000 counts as 0), else the
  // library's code. A message with no recipient at all in To, Cc and Bcc gives 15 without a
  // connection.
  int32_t SendEmailMessage();

  // The text of a result code; code 9 carries the server's last reply.
  std::string EmailResultText(int32_t code) const;

  // What the object holds, for its callers' checks.
  const std::string& from() const { return m_from; }
  const std::vector<EmailRecipient>& toList() const { return m_to; }
  const std::vector<EmailRecipient>& ccList() const { return m_cc; }
  const std::vector<EmailRecipient>& bccList() const { return m_bcc; }
  const std::vector<EmailAttachment>& attachments() const { return m_attachments; }
  const std::vector<char>& bodyBlock() const { return m_body; }
  uint8_t bodyKind() const { return m_bodyKind; }
  const std::string& serverReply() const { return m_serverReply; }

 private:
  std::string m_server, m_mailer, m_from, m_returnPath, m_organization, m_subject, m_reserved;
  std::vector<EmailRecipient> m_to, m_cc, m_bcc;
  uint8_t m_option1 = 3;
  uint8_t m_option2 = 1;
  std::string m_user, m_password;
  int32_t m_reservedLong = 0;
  std::vector<char> m_body;
  bool m_bodyOwned = false;
  uint8_t m_bodyKind = smtp::kPlainText;
  std::vector<EmailAttachment> m_attachments;
  smtp::Progress m_callback;
  uint8_t m_reservedByte = 0;
  std::string m_logFile;
  int32_t m_result1 = 0, m_result2 = 0, m_result3 = 0;
  std::string m_serverReply;
};

// The position of the separator of an address list (see above); the clipped length when it has
// none; std::string_view::npos for a blank list.
size_t FindAddressSeparator(std::string_view list);

// The entries of a queue end to end in one zero-filled block (400 bytes per recipient, 256 per
// attachment); an empty block for an empty queue. When memory runs out: the message box
// "CopyQueueToMemory: GlobalAlloc failed!" and an empty block.
std::vector<char> CopyQueueToMemory(const std::vector<EmailRecipient>& queue);
std::vector<char> CopyQueueToMemory(const std::vector<EmailAttachment>& queue);

}  // namespace ov::scheduler
