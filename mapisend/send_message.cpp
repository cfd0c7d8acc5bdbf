#include "mapisend/send_message.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string_view>
#include <thread>
#include <vector>

#include "datalib/config.h"
#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/script_exchange.h"
#include "mapisend/tessel_log.h"
#include "mapisend/variables.h"
#include "platform/libs/mapi/simple_mapi.h"
#include "platform/rt/command_line.h"
#include "platform/rt/date_time.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"

namespace ov::mapisend {

int32_t ExitCode = 0;
int SendPauseMs = 1000;
bool Unattended = false;

namespace {

using files::M_;
using rt::Err;

// A message box, or for a run that nobody watches its text in the logs.
void tell(std::string_view text, std::string_view caption) {
  if (!Unattended) {
    (void)ui::MESSAGE(std::string(text), std::string(caption));
    return;
  }
  logKey("Message", std::string(caption) + ": " + std::string(text));
  WriteEventLog(kEventCategory, text);
}

constexpr size_t kMaxRecipients = 100;
constexpr size_t kMaxFiles = 100;
constexpr size_t kSubjectWidth = 253;
constexpr size_t kOriginatorWidth = 253;
constexpr size_t kRecipientWidth = 254;
constexpr size_t kBodyWidth = 9999;
constexpr size_t kMemoWidth = 10000;
constexpr size_t kTextFileLine = 65535;
constexpr size_t kScriptFileLine = 1024;

std::string cut(std::string_view s, size_t width) { return std::string(s.substr(0, rt::utf8CutLength(s, width))); }
std::string clip(std::string_view s) { return rt::CLIP(s); }

void pause() {
  if (SendPauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(SendPauseMs));
}

std::string today() { return rt::FORMAT(double(rt::TODAY()), "@d17"); }

// The text after the last "\", "/" or ":" (the whole text when it has none).
std::string bareName(std::string_view path) {
  const size_t at = path.find_last_of("\\/:");
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

// The lines of a text file, each clipped and followed by CR LF, cut to `width` bytes.
std::string fileLines(std::string_view name, size_t lineWidth, size_t width) {
  std::ifstream in(rt::resolvePath(name), std::ios::binary);
  std::string out;
  for (std::string line; std::getline(in, line) && out.size() < width;) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out += clip(cut(line, lineWidth)) + "\r\n";
  }
  return cut(out, width);
}

bool isFile(std::string_view name) {
  if (name.empty() || name.find_first_of("\r\n") != std::string_view::npos) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(rt::resolvePath(name), ec);
}

class MessagesOpen {
 public:
  MessagesOpen() : m_ok(files::Access_MESSAGES.TryOpen() == Err::None) {}
  ~MessagesOpen() {
    if (m_ok) (void)files::Access_MESSAGES.Close();
  }
  bool ok() const { return m_ok; }

 private:
  bool m_ok;
};

void stampSent(int32_t message) {
  MessagesOpen file;
  M_.EmailID = message;
  if (!file.ok() || files::Access_MESSAGES.TryFetch(files::M_KeyEmailID) != Err::None) return;
  M_.LastDateSent = rt::TODAY();
  if (files::Access_MESSAGES.TryUpdate() != Err::None)
    WriteEventLog(kEventCategory, "Error updating message " + std::to_string(message) + ": " + rt::ERROR());
}

struct QueuedRecipient {
  std::string text;
  uint32_t cls = mapi::MAPI_TO;
};

struct QueuedAttachment {
  std::string Name;
  std::string Path;
};

struct Contact {
  std::string text;
  int64_t position = 0;
};

// One run's send: the session, the queues and the message being built.
class Sender {
 public:
  explicit Sender(Way way) : m_way(way) {}

  // Logs on, runs `work` and logs off; `pauseAfter` waits after the work.
  void logOnAndWork(const std::function<void()>& work, bool pauseAfter);

  void noBccWork();
  void bccWork();
  void mailScriptWork();

  // Ends the work: a failed send is the outcome even when later ones worked; a run that sent
  // nothing says so.
  void finish(std::string_view nothingSentReason);

  bool sentNothing() const { return m_sends == 0; }

 private:
  void queue(std::string text, uint32_t cls) { m_recipients.push_back({cut(text, kRecipientWidth), cls}); }
  std::string addressee() const;
  std::string lineAddressee(const files::ExportRec& line) const;
  void buildOriginatorAndSubject();
  void buildBodyAndAttachments();
  void buildMessage() {
    buildOriginatorAndSubject();
    buildBodyAndAttachments();
  }
  void send();
  void recordOutcome(uint32_t result);
  std::vector<Contact> contactsOfCategory(bool bccForm);
  // The lines of the merge or script file, or false (logged under `missingKey`) when it is
  // missing or cannot be read.
  bool readLines(std::string_view missingKey, std::vector<files::ExportRec>& lines);

  Way m_way;
  uint32_t m_session = 0;
  std::string m_operation;
  std::vector<QueuedRecipient> m_recipients;
  std::vector<QueuedAttachment> m_attachments;
  std::string m_originator, m_subject, m_body;
  int m_sends = 0;
  uint32_t m_lastFailure = 0;
  bool m_fileMissing = false;
};

std::string Sender::addressee() const {
  const std::string name = clip(M_.EmailToName.view()), address = clip(M_.EmailTo.view());
  return name.empty() ? address : name + " <" + address + ">";
}

std::string Sender::lineAddressee(const files::ExportRec& line) const {
  const std::string name = clip(line.Type.view()), address = clip(line.Field1.view());
  return name.empty() ? address : name + " <" + address + ">";
}

void Sender::recordOutcome(uint32_t result) {
  ExitCode = int32_t(result);
  logKey(m_operation, mapiResultText(result));
  if (result >= 2) {
    WriteEventLog(kEventCategory, mapiResultText(result) + "  Operation:" + clip(m_operation));
    if (const std::string why = mapi::lastMapiError(); !why.empty()) {
      logKey("Error", why);
      WriteEventLog(kEventCategory, why);
    }
  }
}

void Sender::logOnAndWork(const std::function<void()>& work, bool pauseAfter) {
  const std::string profile = clip(files::GETCONFIG("MAPIName"));
  const std::string password = clip(files::GETCONFIG("MAPIPassword"));
  const std::string folder = rt::SHORTPATH(rt::PATH());
  const uint32_t result = mapi::MAPILogon(profile, password, mapi::MAPI_LOGON_UI | mapi::MAPI_NEW_SESSION, m_session);
  m_operation = "MAPILOGON(" + std::to_string(m_session) + ")";
  const std::string why = mapi::lastMapiError();
  recordOutcome(result);
  const std::string caption = "MAPI Error " + m_operation;
  switch (result) {
    case mapi::SUCCESS_SUCCESS:
      (void)rt::SETPATH(folder);  // the folder it was; a folder gone meanwhile leaves the current one
      work();
      if (pauseAfter) pause();
      break;
    case mapi::MAPI_USER_ABORT:
      ExitCode = kExitLogonAborted;
      break;
    case mapi::MAPI_E_FAILURE:
      ExitCode = kExitLogonFailed;
      tell("MS-Mail: Unspecified error(s) occurred while signing in." + (why.empty() ? "" : "|" + why),
                        "MAPI Error: " + m_operation);
      break;
    case mapi::MAPI_E_INSUFFICIENT_MEMORY:
      ExitCode = kExitLogonNoMemory;
      tell("MS-Mail Insufficient Memory to proceed.", caption);
      break;
    case mapi::MAPI_E_TOO_MANY_SESSIONS:
      ExitCode = kExitLogonTooManySessions;
      tell("MS-Mail Too Many Sessions.", caption);
      break;
    default:
      ExitCode = kExitLogonOther;
      tell("MS-Logon Error - " + rt::FORMAT(double(result), "n08"), caption);
      break;
  }
  (void)mapi::MAPILogoff(m_session);  // a session that never opened has nothing to close
}

void Sender::finish(std::string_view nothingSentReason) {
  if (m_fileMissing) {
    ExitCode = kExitFileMissing;
    return;
  }
  if (ExitCode == 0 && m_lastFailure != 0) ExitCode = int32_t(m_lastFailure);
  if (ExitCode == 0 && m_sends == 0) {
    ExitCode = kExitNothingSent;
    const std::string text = "Nothing was sent: " + std::string(nothingSentReason);
    logKey("Error", text);
    WriteEventLog(kEventCategory, text);
  }
}

void Sender::buildOriginatorAndSubject() {
  const bool own = M_.Sender.isBlank();
  const std::string name = clip(own ? files::EMAIL.SENDERNAME.view() : M_.SenderName.view());
  const std::string address = clip(own ? files::EMAIL.SENDER.view() : M_.Sender.view());
  m_originator = cut("\"" + name + "\" <" + address + ">", kOriginatorWidth);
  m_subject = cut(clip(ExpandVariables(M_.Subject.view())), kSubjectWidth);
}

void Sender::buildBodyAndAttachments() {
  m_body = cut(clip(ExpandVariables(M_.Message)), kBodyWidth);
  m_attachments.clear();
  if (M_.Attachment.isBlank()) return;
  std::vector<std::string> found;
  files::GETFILEQ(ExpandVariables(M_.Attachment.view()), found, true, false);
  for (const std::string& path : found) m_attachments.push_back({bareName(clip(path)), clip(path)});
}

void Sender::send() {
  while (!m_recipients.empty()) {
    mapi::MapiMessage msg;
    msg.originator = {mapi::MAPI_ORIG, m_originator, {}};
    msg.lpszSubject = m_subject;
    logKey("From", m_originator);
    logKey("Subject", m_subject);

    const size_t count = std::min(m_recipients.size(), kMaxRecipients);
    for (size_t i = 0; i < count; ++i) {
      uint32_t cls = m_recipients[i].cls;
      if (cls < mapi::MAPI_TO || cls > mapi::MAPI_BCC) cls = i == 0 ? mapi::MAPI_TO : mapi::MAPI_CC;
      msg.recips.push_back({cls, m_recipients[i].text, {}});
      if (m_way == Way::Bcc)
        logKey("Sending", "Recipient" + std::to_string(i + 1), m_recipients[i].text + " " + std::to_string(cls));
    }

    for (size_t i = m_attachments.size(); i-- > 0;) {
      const QueuedAttachment& a = m_attachments[i];
      if (rt::clipView(a.Path).empty() && rt::clipView(a.Name).empty()) {
        m_attachments.erase(m_attachments.begin() + long(i));
      } else if (!isFile(a.Path) && !isFile(a.Name)) {
        WriteEventLog(kEventCategory, "Attachment not found: " + clip(a.Path));
        m_attachments.erase(m_attachments.begin() + long(i));
      }
    }
    const size_t files = std::min(m_attachments.size(), kMaxFiles);
    for (size_t i = 0; i < files; ++i) {
      const std::string path = clip(m_attachments[i].Path);
      msg.files.push_back({0, int32_t(2 * i + 1), path, bareName(path)});
      logKey("Attachments", "Path" + std::to_string(i + 1), path);
      logKey("Attachments", "File" + std::to_string(i + 1), bareName(path));
    }
    // The attachments stand on blanks 1, 3, 5, ... in front of the text.
    msg.lpszNoteText = (files > 0 ? std::string(2 * files + 1, ' ') : std::string()) + m_body;

    const uint32_t flags = !rt::clipView(m_subject).empty() && count > 0 ? 0 : mapi::MAPI_DIALOG;
    const uint32_t result = mapi::MAPISendMail(m_session, msg, flags);
    m_operation = "MAPISENDMAIL(" + std::to_string(m_session) + ")";
    ++m_sends;
    recordOutcome(result);
    const std::string what = clip(M_.Subject.view()) + " " + clip(M_.EmailTo.view());
    if (result == mapi::SUCCESS_SUCCESS) {
      m_recipients.erase(m_recipients.begin(), m_recipients.begin() + long(count));
      WriteEventLog(kEventCategory, "E-mail sent:  " + what);
    } else {
      m_lastFailure = result;
      if (result == mapi::MAPI_USER_ABORT) WriteEventLog(kEventCategory, "E-mail cancelled by user:  " + what);
      m_recipients.clear();  // no further batch of this message
    }
  }
}

std::vector<Contact> Sender::contactsOfCategory(bool bccForm) {
  std::vector<Contact> out;
  const std::string group = rt::UPPER(rt::clipView(M_.EmailToGroup.view()));
  if (files::Access_CONTACT.TryOpen() != Err::None) {
    WriteEventLog(kEventCategory, "Error retrieving contact information " + rt::ERROR());
    return out;
  }
  files::CONTACT.clear();
  files::C_.ContactCategory = M_.EmailToGroup.view();
  Err err = files::CONTACT.setFrom(files::C_KeyCategory);
  while (err == Err::None && (err = files::CONTACT.next()) == Err::None) {
    const files::ContactRec& c = files::C_;
    if (rt::UPPER(rt::clipView(c.ContactCategory.view())) != group) break;
    const std::string name = clip(rt::LEFT(std::string(c.FirstName.clipped()) + " " + std::string(c.LastName.view())));
    const std::string email = clip(c.Email.view());
    if (email.empty()) {
      // No address to send to: a recipient without one would fail its whole batch.
      WriteEventLog(kEventCategory, "No e-mail address for contact " + name + "; not sent");
      continue;
    }
    std::string text = name + " <" + email + ">";
    if (bccForm && c.FirstName.isBlank()) text = email;
    out.push_back({text, files::CONTACT.position()});
  }
  if (err != Err::None && err != Err::NotAvailable)
    WriteEventLog(kEventCategory, "Error retrieving contact information " + rt::ERROR());
  (void)files::Access_CONTACT.Close();  // read only
  return out;
}

bool Sender::readLines(std::string_view missingKey, std::vector<files::ExportRec>& lines) {
  files::GLO.EXPORTNAME = M_.MergeFile.view();
  const std::string name = clip(M_.MergeFile.view());
  std::string problem;
  if (!isFile(name)) {
    problem = name + " not found.";
  } else if (files::readExchangeFile(rt::resolvePath(name), lines, &problem) != Err::None) {
    problem = name + " cannot be read: " + problem;
  } else {
    return true;
  }
  logKey(missingKey, problem);
  WriteEventLog(kEventCategory, problem);
  m_fileMissing = true;
  return false;
}

void Sender::noBccWork() {
  const std::string type = clip(M_.MailType.view());
  if (type == "Mass Mailing" && !M_.EmailToGroup.isBlank()) {
    for (const Contact& c : contactsOfCategory(false)) {
      m_recipients.clear();
      queue(c.text, mapi::MAPI_TO);
      logKey("Recipient" + std::to_string(c.position), c.text);
      buildMessage();
      send();
    }
  } else if (type == "Mass Mailing") {
    m_recipients.clear();
    queue(addressee(), mapi::MAPI_TO);
    logKey("Recipient1", addressee());
    buildMessage();
    send();
  } else if (type == "Mail Merge") {
    std::vector<files::ExportRec> lines;
    if (!readLines("Mass Mailing", lines)) return;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].Type.isBlank() && lines[i].Field1.isBlank()) continue;
      m_recipients.clear();
      queue(lineAddressee(lines[i]), mapi::MAPI_TO);
      logKey("Recipient" + std::to_string(i + 1), lineAddressee(lines[i]));
      buildMessage();
      send();
    }
  } else {
    m_recipients.clear();
    queue(addressee(), mapi::MAPI_TO);
    logKey("Recipient(Single)", addressee());
    if (!M_.CC.isBlank()) {
      queue(clip(M_.CC.view()), mapi::MAPI_CC);
      logKey("Recipient" + std::to_string(m_recipients.size()), clip(M_.CC.view()));
    }
    if (!M_.BCC.isBlank()) {
      queue(clip(M_.BCC.view()), mapi::MAPI_BCC);
      logKey("Recipient" + std::to_string(m_recipients.size()), clip(M_.BCC.view()));
    }
    buildMessage();
    send();
  }
}

void Sender::bccWork() {
  const std::string type = clip(M_.MailType.view());
  buildOriginatorAndSubject();
  m_recipients.clear();
  if (type == "Mass Mailing") {
    if (!M_.EmailToGroup.isBlank()) {
      for (const Contact& c : contactsOfCategory(true)) {
        queue(c.text, mapi::MAPI_BCC);
        logKey("Recipient" + std::to_string(m_recipients.size()), c.text);
      }
    }
  } else if (type == "Mail Merge") {
    std::vector<files::ExportRec> lines;
    if (!readLines("Merge File", lines)) return;
    for (const files::ExportRec& line : lines) {
      if (line.Type.isBlank() && line.Field1.isBlank()) continue;
      queue(lineAddressee(line), mapi::MAPI_BCC);
      logKey("Recipient" + std::to_string(m_recipients.size()), lineAddressee(line));
    }
  } else {
    queue(addressee(), mapi::MAPI_TO);
    logKey("Recipient1", addressee());
    if (!M_.CC.isBlank()) {
      queue(clip(M_.CC.view()), mapi::MAPI_CC);
      logKey("Recipient" + std::to_string(m_recipients.size()), clip(M_.CC.view()));
    }
    if (!M_.BCC.isBlank()) {
      queue(clip(M_.BCC.view()), mapi::MAPI_BCC);
      logKey("Recipient" + std::to_string(m_recipients.size()), clip(M_.BCC.view()));
    }
  }
  buildBodyAndAttachments();
  send();
}

// The names of an attachment text (";" or line breaks between them) that hold no wildcard and
// name no file.
std::vector<std::string> missingFiles(std::string_view spec) {
  std::vector<std::string> missing;
  size_t start = 0;
  while (start <= spec.size()) {
    size_t end = spec.find_first_of(";\r\n", start);
    if (end == std::string_view::npos) end = spec.size();
    std::string name = clip(spec.substr(start, end - start));
    name.erase(0, name.find_first_not_of(' '));
    if (!name.empty() && name.find_first_of("*?") == std::string::npos && !rt::EXISTS(name)) missing.push_back(name);
    start = end + 1;
  }
  return missing;
}

void Sender::mailScriptWork() {
  std::vector<files::ExportRec> lines;
  if (!readLines("Mass Mailing", lines)) return;
  for (size_t i = 0; i < lines.size(); ++i) {
    const files::ExportRec& line = lines[i];
    if (line.Type.isBlank() && line.Field1.isBlank()) continue;
    m_recipients.clear();
    queue(lineAddressee(line), mapi::MAPI_TO);
    logKey("Recipient" + std::to_string(i + 1), lineAddressee(line));
    // A field the line leaves blank keeps the value of an earlier line (or of the message).
    if (!line.Field2.isBlank() || M_.Subject.isBlank()) M_.Subject = clip(rt::LEFT(line.Field2.view()));
    if (!line.Field3.isBlank() || rt::clipView(M_.Message).empty()) M_.Message = clip(rt::LEFT(line.Field3.view()));
    if (!rt::clipView(M_.Message).empty() && isFile(rt::clipView(M_.Message)))
      M_.Message = fileLines(rt::clipView(M_.Message), kScriptFileLine, kMemoWidth);
    if (!line.Field4.isBlank() || M_.Attachment.isBlank()) M_.Attachment = clip(rt::LEFT(line.Field4.view()));
    if (!M_.Attachment.isBlank()) {
      if (const std::vector<std::string> missing = missingFiles(ExpandVariables(M_.Attachment.view())); !missing.empty()) {
        logKey("Mail Script " + std::string(line.Type.view()), clip(M_.Attachment.view()) + " not found.");
        WriteEventLog(kEventCategory, "Not sent to " + lineAddressee(line) + ": " + missing.front() + " not found.");
        m_lastFailure = mapi::MAPI_E_ATTACHMENT_NOT_FOUND;  // the line is not sent; the run says so
        continue;
      }
    }
    buildMessage();
    send();
    pause();
  }
}

}  // namespace

std::string mapiResultText(uint32_t result) {
  switch (result) {
    case 0: return "Successful";
    case 1: return "Cancelled.";
    case 2: return "Unspecified MAPI error(s) occurred.";
    case 3: return "Unsuccessful logon, no mail sent.";
    case 4: return "Insufficient disk space.";
    case 5: return "Insufficient memory to send mail.";
    case 8: return "The are too many sessions, no mail sent.";
    case 9: return "There were too many attachments, no mail sent.";
    case 10: return "There were too many recipients, no mail sent.";
    case 11: return "Attachment not found.";
    case 14: return "There is an unknown recipient.";
    case 15: return "Type of recipient must be MAPI_TO,MAPI_CC or MAPI_BCC.";
    case 18: return "Text in message too large to be sent.";
    case 19: return "Invalid session passed to SendMail.";
    case 21: return "Duplicate Recipients.";
    default: return "MS-Send Error - " + rt::FORMAT(double(result), "n08");
  }
}

Way chooseWay() {
  const bool noBcc = !rt::COMMAND("/NOBCC").empty() || files::EMAIL.USEMAPINOBCC != 0;
  if (noBcc && rt::COMMAND("/BCC").empty()) return Way::NoBcc;
  return Way::Bcc;
}

void SendStoredMessage(int32_t message, Way way) {
  removeTesselLog();
  logKey("Command", rt::COMMAND("0") + rt::COMMAND("1") + rt::COMMAND("2"));
  logKey("Path", rt::SHORTPATH(rt::PATH()));
  logKey("LastUsed", today() + (way == Way::NoBcc ? " No BCC" : ""));

  MessagesOpen file;
  files::MESSAGES.clear();
  M_.EmailID = message;
  if (message <= 0) {
    M_.Subject = "Test MAPI E-Mail from " + clip(files::EMAIL.SENDERNAME.view()) + " [TODAY] [NOW]";
    M_.EmailTo = files::EMAIL.SENDER.view();
    M_.EmailToName = files::EMAIL.SENDERNAME.view();
    M_.Message = "This is a test message.\r\nSent [TODAY] at [NOW].\r\n[CLIPBOARD]";
    M_.MailType = "E-mail";
    logKey("Test", clip(files::EMAIL.SENDER.view()));
  } else {
    if (!file.ok() || files::Access_MESSAGES.TryFetch(files::M_KeyEmailID) != Err::None) {
      const std::string text = "Error retrieving message #" + std::to_string(message);
      logKey("Message", text);
      WriteEventLog(kEventCategory, text);
      ExitCode = kExitNoMessage;
      return;
    }
    if (M_.MailType == "Mail Script") {
      SendMailScriptLines(message);
      return;
    }
  }

  const std::string format = clip(M_.MailFormat.view());
  if (M_.MailType == "News") {
    ExitCode = kExitNotSendable;
    tell("News articles may not be posted using MAPI.", "Error!");
    logKey("Error", "News article not allowed.");
    return;
  }
  if (format == "HTML file" || format == "Binary") {
    ExitCode = kExitNotSendable;
    tell("This message format (" + format + ") may not be posted using MAPI.", "Error!");
    logKey("Error", "Format (" + format + ") may not be posted using MAPI.");
    return;
  }
  if (format == "Text file" && isFile(clip(M_.HTMLFile.view())))
    M_.Message = fileLines(clip(M_.HTMLFile.view()), kTextFileLine, kMemoWidth);
  if (M_.Subject.isBlank()) M_.Subject = cut(M_.Message, 32);

  Sender sender(way);
  const std::string type = clip(M_.MailType.view());
  sender.logOnAndWork(
      [&] {
        if (way == Way::Bcc)
          sender.bccWork();
        else
          sender.noBccWork();
        sender.finish(type == "Mail Merge" ? "the merge file " + clip(M_.MergeFile.view()) + " holds no addressee"
                      : M_.EmailToGroup.isBlank() ? std::string("the mass mailing names no contact category")
                                                  : "no contact of the category " + clip(M_.EmailToGroup.view()) +
                                                        " has an e-mail address");
      },
      way == Way::NoBcc);
  if (message > 0 && ExitCode == kExitOk) stampSent(message);
}

void SendMailScriptLines(int32_t message) {
  if (M_.Subject.isBlank()) M_.Subject = "See message for details";
  Sender sender(Way::NoBcc);
  sender.logOnAndWork(
      [&] {
        sender.mailScriptWork();
        sender.finish("the mail script " + clip(M_.MergeFile.view()) + " holds no addressee");
      },
      true);
  if (message > 0 && ExitCode == kExitOk) stampSent(message);
}

}  // namespace ov::mapisend
