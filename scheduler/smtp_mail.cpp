#include "scheduler/smtp_mail.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <filesystem>
#include <cstring>
#include <new>

#include "platform/ui/host.h"
#include "platform/ui/runtime.h"

namespace ov::scheduler {
namespace {

std::string clip(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

std::string_view leftAligned(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

// Copies at most width-1 bytes, never cutting a UTF-8 character, leaving room for the zero.
void putText(char* at, std::string_view text, size_t width) {
  size_t n = std::min(text.size(), width - 1);
  if (n < text.size())
    while (n > 0 && (static_cast<unsigned char>(text[n]) >> 6) == 2) --n;
  std::memcpy(at, text.data(), n);
}

void addEntries(std::vector<EmailRecipient>& queue, std::string_view addresses, std::string_view names) {
  while (!clip(addresses).empty()) {
    addresses = leftAligned(addresses);
    names = leftAligned(names);
    const size_t a = FindAddressSeparator(addresses);
    const size_t n = FindAddressSeparator(names);
    EmailRecipient r;
    r.address = clip(addresses.substr(0, a));
    r.name = n == std::string_view::npos ? std::string() : clip(names.substr(0, n));
    addresses = a >= addresses.size() ? std::string_view() : addresses.substr(a + 1);
    names = n == std::string_view::npos || n >= names.size() ? std::string_view() : names.substr(n + 1);
    queue.push_back(std::move(r));
  }
}

void allocationFailed() { (void)ui::MESSAGE("CopyQueueToMemory: GlobalAlloc failed!"); }

}  // namespace

size_t FindAddressSeparator(std::string_view list) {
  const std::string clipped = clip(list);
  if (leftAligned(clipped).empty()) return std::string_view::npos;
  if (size_t comma = list.find(','); comma != std::string_view::npos) return comma;
  if (size_t semicolon = list.find(';'); semicolon != std::string_view::npos) return semicolon;
  return clipped.size();
}

std::vector<char> CopyQueueToMemory(const std::vector<EmailRecipient>& queue) {
  try {
    std::vector<char> block(queue.size() * smtp::kRecipientEntrySize, '\0');
    for (size_t i = 0; i < queue.size(); ++i) {
      char* entry = block.data() + i * smtp::kRecipientEntrySize;
      putText(entry, queue[i].name, smtp::kNameWidth);
      putText(entry + smtp::kNameWidth, queue[i].address, smtp::kAddressWidth);
    }
    return block;
  } catch (const std::bad_alloc&) {
    allocationFailed();
    return {};
  }
}

std::vector<char> CopyQueueToMemory(const std::vector<EmailAttachment>& queue) {
  try {
    std::vector<char> block(queue.size() * smtp::kAttachmentEntrySize, '\0');
    for (size_t i = 0; i < queue.size(); ++i) {
      char* entry = block.data() + i * smtp::kAttachmentEntrySize;
      putText(entry, queue[i].fileName, smtp::kFileNameWidth);
      entry[smtp::kFileNameWidth] = char(queue[i].kind);
    }
    return block;
  } catch (const std::bad_alloc&) {
    allocationFailed();
    return {};
  }
}

void EmailMessageClass::Init() { *this = EmailMessageClass(); }

void EmailMessageClass::Kill() {
  // The password goes first, so no copy of it outlives the message.
  std::fill(m_password.begin(), m_password.end(), '\0');
  *this = EmailMessageClass();
}

void EmailMessageClass::SetServer(std::string_view text) { m_server = clip(text); }
void EmailMessageClass::SetMailer(std::string_view text) { m_mailer = clip(text); }
void EmailMessageClass::SetReturnPath(std::string_view text) { m_returnPath = clip(text); }
void EmailMessageClass::SetOrganization(std::string_view text) { m_organization = clip(text); }
void EmailMessageClass::SetSubject(std::string_view text) { m_subject = clip(text); }
void EmailMessageClass::SetLogFile(std::string_view text) { m_logFile = clip(text); }

void EmailMessageClass::SetFrom(std::string_view name, std::string_view address, bool asIs) {
  if (asIs)
    m_from = clip(name);
  else if (!clip(address).empty())
    m_from = "\"" + clip(name) + "\" <" + clip(address) + ">";
  else
    m_from = clip(name);
}

void EmailMessageClass::SetAuthentication(std::string_view user, std::string_view password) {
  m_user = clip(user);
  m_password = clip(password);
}

void EmailMessageClass::SetOptionFlag(uint8_t flag) { m_option2 = flag; }
void EmailMessageClass::SetCallback(smtp::Progress callback) { m_callback = std::move(callback); }

void EmailMessageClass::SetBody(std::string_view text, uint8_t kind) {
  const std::string clipped = clip(text);
  try {
    m_body.assign(clipped.size() + 1, '\0');
    std::memcpy(m_body.data(), clipped.data(), clipped.size());
  } catch (const std::bad_alloc&) {
    allocationFailed();
    m_body.clear();
  }
  m_bodyOwned = !m_body.empty();
  if (m_bodyOwned) m_bodyKind = kind;
}

void EmailMessageClass::AddTo(std::string_view addresses, std::string_view names) { addEntries(m_to, addresses, names); }
void EmailMessageClass::AddCc(std::string_view addresses, std::string_view names) { addEntries(m_cc, addresses, names); }
void EmailMessageClass::AddBccNamed(std::string_view addresses, std::string_view names) {
  addEntries(m_bcc, addresses, names);
}
void EmailMessageClass::AddBcc(std::string_view addresses) { addEntries(m_bcc, addresses, addresses); }

void EmailMessageClass::AddAttachment(std::string_view fileName, uint8_t kind) {
  if (clip(fileName).empty()) return;
  m_attachments.push_back({clip(fileName), kind});
}

int32_t EmailMessageClass::SendEmailMessage() {
  // Cc and Bcc recipients are recipients too: a message for them alone goes out.
  if (m_to.empty() && m_cc.empty() && m_bcc.empty()) return smtp::code::NoRecipients;

  const std::vector<char> to = CopyQueueToMemory(m_to), cc = CopyQueueToMemory(m_cc), bcc = CopyQueueToMemory(m_bcc),
                          attachments = CopyQueueToMemory(m_attachments);
  char reply[smtp::kReplySize] = "";
  smtp::SendMailBlock b;
  b.server = m_server.c_str();
  b.mailer = m_mailer.c_str();
  b.from = m_from.c_str();
  b.returnPath = m_returnPath.c_str();
  b.organization = m_organization.c_str();
  b.subject = m_subject.c_str();
  b.reserved = m_reserved.c_str();
  b.to = to;
  b.cc = cc;
  b.bcc = bcc;
  b.option1 = m_option1;
  b.option2 = m_option2;
  b.user = m_user.c_str();
  b.password = m_password.c_str();
  b.reservedLong = m_reservedLong;
  b.body = m_body;
  b.bodyKind = m_bodyKind;
  b.attachments = attachments;
  b.callback = m_callback;
  b.reservedByte = m_reservedByte;
  // The log file is named now: the current folder may change while the worker runs.
  std::string logFile = m_logFile;
  if (!logFile.empty()) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(logFile, ec);
    if (!ec) logFile = p.string();
  }
  b.logFile = logFile.c_str();
  b.result1 = &m_result1;
  b.result2 = &m_result2;
  b.result3 = &m_result3;
  b.reply = reply;

  int32_t result = smtp::code::Unknown;
  // The conversation may take minutes; the frame's window keeps being drawn meanwhile.
  QCoreApplication* app = QCoreApplication::instance();
  if (app && QThread::currentThread() == app->thread())
    ui::waitForWorker([&] { result = smtp::SendMail(b); });
  else
    result = smtp::SendMail(b);

  m_serverReply = reply;
  m_result1 = m_result2 = m_result3 = 0;
  return result > 1000 ? 0 : result;
}

std::string EmailMessageClass::EmailResultText(int32_t code) const {
  switch (code) {
    case 1: return "Bad arguments from form";
    case 2: return "Unable to open temporary mailfile for read";
    case 3: return "Failed to start sockets";
    case 4: return "Failed to resolve host";
    case 5: return "Failed to obtain socket handle";
    case 6: return "Failed to connect. Mail Server not found!";
    case 7: return "Failed to send";
    case 8: return "Failed to receive";
    case 9: return "Mail Server Error:\r" + clip(m_serverReply);
    case 10: return "Failed to resolve the host IP name";
    case 11: return "Out of memory";
    case 12: return "Failed to open temporary file";
    case 13: return "Unknown error";
    case 14: return "User Cancel";
    case 15: return "No recipiens specified";
    default: return "Unknown error";
  }
}

}  // namespace ov::scheduler
