#include "scheduler/message_sending.h"

#include <QCoreApplication>
#include <QThread>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/script_exchange.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "scheduler/event_log.h"
#include "scheduler/smtp_mail.h"
#include "scheduler/variables.h"

namespace ov::scheduler {

rt::String<20> EmailState;

namespace {

using files::M_;
using rt::Err;

constexpr std::string_view kMapiSender = "TESSEL.EXE";
constexpr std::string_view kDebugIni = ".\\DEBUG.INI";
constexpr size_t kLongestFileName = 4096;

// Long waits run off the frame's thread while its window keeps being drawn.
void runOffFrame(const std::function<void()>& work) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app && QThread::currentThread() == app->thread())
    ui::waitForWorker(work);
  else
    work();
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

bool fetchMessage(int32_t id) {
  MessagesOpen file;
  if (!file.ok()) return false;
  M_.EmailID = id;
  return files::MESSAGES.get(files::M_KeyEmailID) == Err::None;
}

void stampSent(int32_t id) {
  MessagesOpen file;
  M_.EmailID = id;
  if (!file.ok() || files::MESSAGES.get(files::M_KeyEmailID) != Err::None) return;
  M_.LastDateSent = rt::TODAY();
  if (files::Access_MESSAGES.TryUpdate() != Err::None)
    WriteLog("Error updating message " + std::to_string(id) + " : " + rt::ERROR(), "Script");
}

// The absolute name of a file as the program names it ("\" separators, case ignored), so that a
// later change of the current folder cannot redirect it.
std::string absoluteName(std::string_view name) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(rt::resolvePath(name), ec);
  return ec ? rt::resolvePath(name) : p.string();
}

bool isExistingFile(std::string_view name) {
  if (name.empty() || name.size() > kLongestFileName || name.find_first_of("\r\n") != std::string_view::npos)
    return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(rt::resolvePath(name), ec);
}

// The lines of a text file, each followed by CR LF; `clipLines` drops their trailing blanks.
std::string fileLines(std::string_view name, bool clipLines) {
  std::ifstream in(rt::resolvePath(name), std::ios::binary);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (clipLines) line = std::string(rt::clipView(line));
    out += line + "\r\n";
  }
  return out;
}

// The file names of an attachment specification (";" or line breaks between them) that have no
// wildcard and name no file: the mail script leaves such a line unsent.
std::vector<std::string> missingAttachments(std::string_view spec) {
  std::vector<std::string> missing;
  size_t start = 0;
  while (start <= spec.size()) {
    size_t end = spec.find_first_of(";\r\n", start);
    if (end == std::string_view::npos) end = spec.size();
    const std::string name(rt::clipView(spec.substr(start, end - start)));
    const std::string trimmed = name.substr(std::min(name.size(), name.find_first_not_of(' ')));
    if (!trimmed.empty() && trimmed.find_first_of("*?") == std::string::npos && !rt::EXISTS(trimmed))
      missing.push_back(trimmed);
    start = end + 1;
  }
  return missing;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

// Who a message goes to, for the event log: the To list, or when it has none the Cc and Bcc.
std::string recipientsForLog() {
  const std::string to = M_.EmailTo.str();
  if (!to.empty() && to != "N/A") return to;
  std::string out = M_.CC.str();
  if (!M_.BCC.isBlank()) out += (out.empty() ? "" : ", ") + M_.BCC.str();
  return out.empty() ? to : out;
}

int32_t sendThroughMapi(int32_t id) {
  const bool here = rt::EXISTS(kMapiSender) || rt::EXISTS("tessel");
  // Named by its full path, so the program start cannot take the one of the other folder instead
  // (a name without a folder is looked up in the program's own folder first).
  const std::string command = "\"" + (here ? rt::PATH() : rt::programFolder()) + "/" + std::string(kMapiSender) +
                              "\" " + std::to_string(id) + " /AUTO";  // a task's send: no box waits
  int exitCode = 0;
  int startError = 0;
  runOffFrame([&] { startError = rt::runProgram(command, exitCode); });
  if (startError != 0) {
    const std::string text = "Could not start " + command + " (error " + std::to_string(startError) + ")";
    WriteLog(text, "Mail Error");
    SetVariable("Error", "Mail");
    SetVariable(text, "MailError");
    return startError;
  }
  return exitCode;
}

// One message per addressee: each pair (display name, address list) becomes the message's only
// recipient in turn. A failed send does not stop the others; the result is the first failure's
// code, and 0 only when every addressee was sent to. The message buffer is left as it was.
int32_t sendToEach(const std::vector<std::pair<std::string, std::string>>& addressees, std::string_view nobody) {
  if (addressees.empty()) {
    WriteLog(std::string(nobody), M_.MailType.str());
    SetVariable("Error", "Mail");
    SetVariable(std::string(nobody), "MailError");
    return -1;
  }
  const files::MessageRec stored = M_;
  int32_t first = 0;
  size_t failed = 0;
  std::string lastError;
  for (const auto& [name, address] : addressees) {
    M_.EmailToName = name;
    M_.EmailTo = address;
    M_.CC.clear();
    M_.BCC.clear();
    if (const int32_t result = SendSmtpMessage(); result != 0) {
      if (first == 0) first = result;
      ++failed;
      lastError = TranslateVariable("MailError");
    }
    M_ = stored;  // the next addressee starts from the message as stored
  }
  if (failed > 0) {
    SetVariable("Error", "Mail");
    SetVariable(std::to_string(failed) + " of " + std::to_string(addressees.size()) + " not sent, " + lastError,
                "MailError");
  }
  return first;
}

}  // namespace

int32_t SendMessageRecord(int32_t message, uint8_t storedAlready, uint8_t reRead) {
  const bool readHere = reRead || !storedAlready;
  if (readHere && !fetchMessage(message)) {
    WriteLog("Error sending message", "Script");
    return 1;
  }
  const int32_t id = M_.EmailID;
  int32_t result = 0;
  if (files::EMAIL.USEMAPI) {
    result = sendThroughMapi(id);
  } else {
    const std::string kind = M_.MailType.str();
    if (kind != "News" && (files::EMAIL.HOST.isBlank() || files::EMAIL.SENDER.isBlank())) {
      (void)ui::MESSAGE("E-mail not setup.  Select File->Setup, Email tab, and fill in the required information.",
                        "Error!");
      return 1;
    }
    if (kind == "Mail Script") {
      result = SendMailScript();
    } else if (kind == "Mass Mailing") {
      result = SendMassMailing();
    } else if (kind == "Mail Merge") {
      result = SendMailMerge();
    } else if (kind == "News") {
      // Posting needs a news server conversation, which this program does not hold; the message
      // is refused rather than mailed to a news group name as if it were an address.
      const std::string text = "News articles cannot be posted: this program sends mail only, and has no way to "
                               "reach a news server.  Message " + std::to_string(id) + " was not sent.";
      WriteLog(text, "Mail Error");
      SetVariable("Error", "Mail");
      SetVariable(text, "MailError");
      result = 1;
    } else {
      result = SendSmtpMessage();
    }
  }
  if (result == 0 && readHere) stampSent(id);
  return result;
}

int32_t SendMailScript() {
  files::GLO.EXPORTNAME = M_.MergeFile.clipped();
  const std::string name = M_.MergeFile.str();
  if (!rt::EXISTS(name)) {
    WriteLog(name + " not found.", "Mail Script");
    return -1;
  }
  // The whole file is read before the first line goes out: a malformed line sends nothing.
  std::vector<files::ExportRec> lines;
  std::string problem;
  if (files::readExchangeFile(rt::resolvePath(name), lines, &problem) != Err::None) {
    WriteLog("Error opening " + name + ": " + problem, "Mail Script");
    return -1;
  }
  int unsent = 0;
  std::string lastProblem;
  for (size_t i = 0; i < lines.size(); ++i) {
    const files::ExportRec& line = lines[i];
    // A field the line leaves blank keeps the value of the line before (or of the message).
    M_.EmailToName = line.Type.clipped();
    M_.EmailTo = rt::LEFT(line.Field1.view());
    if (!line.Field2.isBlank() || M_.Subject.isBlank()) M_.Subject = line.Field2.clipped();
    if (!line.Field3.isBlank() || rt::clipView(M_.Message).empty()) M_.Message = line.Field3.str();
    if (isExistingFile(rt::clipView(M_.Message))) M_.Message = fileLines(rt::clipView(M_.Message), false);
    if (!line.Field4.isBlank() || M_.Attachment.isBlank()) M_.Attachment = line.Field4.clipped();
    // A line whose attachment is missing is not sent; the others still are, and the script as a
    // whole is then not reported as sent.
    if (const std::vector<std::string> missing = missingAttachments(ExpandVariables(M_.Attachment.str()));
        !missing.empty()) {
      ++unsent;
      lastProblem = "line " + std::to_string(i + 1) + " not sent to " + M_.EmailTo.str() + ": " + joined(missing) +
                    " not found.";
      WriteLog(lastProblem, "Mail Script");
      continue;
    }
    if (const int32_t result = SendSmtpMessage(); result != 0) return result;
  }
  if (unsent > 0) {
    SetVariable("Error", "Mail");
    SetVariable(std::to_string(unsent) + " of " + std::to_string(lines.size()) + " lines not sent, " + lastProblem,
                "MailError");
    return -1;
  }
  return 0;
}

int32_t SendMassMailing() {
  std::vector<std::pair<std::string, std::string>> addressees;
  if (M_.EmailToGroup.isBlank()) {
    if (!M_.EmailTo.isBlank()) addressees.emplace_back(M_.EmailToName.str(), M_.EmailTo.str());
    return sendToEach(addressees, "Mass mailing without a contact category or an addressee; nothing was sent.");
  }
  const std::string group = M_.EmailToGroup.str();
  if (files::Access_CONTACT.TryOpen() != Err::None) {
    const std::string text = "Error retrieving contact information " + rt::ERROR();
    WriteLog(text, "Mail Error");
    SetVariable("Error", "Mail");
    SetVariable(text, "MailError");
    return -1;
  }
  files::CONTACT.clear();
  files::C_.ContactCategory = group;
  Err err = files::CONTACT.setFrom(files::C_KeyCategory);
  while (err == Err::None && (err = files::CONTACT.next()) == Err::None) {
    const files::ContactRec& c = files::C_;
    if (rt::UPPER(c.ContactCategory.clipped()) != rt::UPPER(group)) break;
    const std::string name = std::string(rt::clipView(rt::LEFT(c.FirstName.str() + " " + c.LastName.str())));
    if (c.Email.isBlank()) {
      WriteLog("No e-mail address for " + name + "; not sent", "Mass Mailing");  // nobody to send to
      continue;
    }
    addressees.emplace_back(name, c.Email.str());
  }
  (void)files::Access_CONTACT.Close();  // read only
  return sendToEach(addressees, "No contact of the category " + group + " has an e-mail address; nothing was sent.");
}

int32_t SendMailMerge() {
  files::GLO.EXPORTNAME = M_.MergeFile.clipped();
  const std::string name = M_.MergeFile.str();
  std::vector<files::ExportRec> lines;
  std::string problem;
  if (!rt::EXISTS(name))
    problem = name + " not found.";
  else if (files::readExchangeFile(rt::resolvePath(name), lines, &problem) != Err::None)
    problem = "Error opening " + name + ": " + problem;
  if (!problem.empty()) {
    WriteLog(problem, "Mail Merge");
    SetVariable("Error", "Mail");
    SetVariable(problem, "MailError");
    return -1;
  }
  std::vector<std::pair<std::string, std::string>> addressees;
  for (const files::ExportRec& line : lines) {
    if (!line.Field1.isBlank())
      addressees.emplace_back(line.Type.str(), std::string(rt::LEFT(line.Field1.view())));
    else if (!line.Type.isBlank())
      WriteLog("No e-mail address for " + line.Type.str() + "; not sent", "Mail Merge");
  }
  return sendToEach(addressees, "The merge file " + name + " names no addressee; nothing was sent.");
}

int32_t SendSmtpMessage() {
  EmailMessageClass mail;
  mail.Init();
  mail.SetOptionFlag(1);
  mail.SetLogFile("inmail.log");

  const std::string server = M_.Mail_Server.isBlank() ? files::EMAIL.HOST.str() : M_.Mail_Server.str();
  mail.SetServer(server);
  SetVariable(server, "EmailHost");

  const std::string address = M_.Sender.isBlank() ? files::EMAIL.SENDER.str() : M_.Sender.str();
  const std::string name = M_.SenderName.isBlank() ? files::EMAIL.SENDERNAME.str() : M_.SenderName.str();
  if (!name.empty())
    mail.SetFrom("\"" + name + "\" <" + address + ">", "", true);
  else if (!address.empty())
    mail.SetFrom(address, "", true);
  SetVariable(name, "EmailSenderName");
  if (!address.empty()) mail.SetReturnPath(address);
  SetVariable(address, "EmailReturnPath");

  if (!files::EMAIL.ORGANIZATION.isBlank()) mail.SetOrganization(files::EMAIL.ORGANIZATION.str());
  mail.SetMailer(files::PRODUCTNAME.str());
  const std::string subject = M_.Subject.isBlank() ? std::string() : ExpandVariables(M_.Subject.str());
  if (!subject.empty()) mail.SetSubject(subject);

  const std::string to = M_.EmailTo.str();
  if (!to.empty() && to != "N/A") mail.AddTo(to, M_.EmailToName.str());
  if (!M_.CC.isBlank()) mail.AddCc(M_.CC.str(), M_.CC.str());
  if (!M_.BCC.isBlank()) mail.AddBcc(M_.BCC.str());

  std::string body = ExpandVariables(M_.Message);
  if (rt::clipView(body).empty()) body = subject;
  if (rt::clipView(body).empty()) body = "|No message|";
  if (!files::EMAIL.SMTPNAME.isBlank())
    mail.SetAuthentication(files::EMAIL.SMTPNAME.str(), files::EMAIL.SMTPPASSWORD.str());

  const std::string format = M_.MailFormat.str();
  const std::string file = M_.HTMLFile.str();
  if (format == "HTML") {
    mail.SetBody(body, smtp::kHtmlText);
  } else if (format == "Text file") {
    if (isExistingFile(file)) {
      M_.Message = fileLines(file, true);
      mail.SetBody(M_.Message, smtp::kPlainText);
    } else {
      mail.SetBody(body, smtp::kPlainText);
    }
  } else if (format == "HTML file") {
    // The library reads the file by its absolute name, so images beside it keep their folder.
    if (!file.empty() && rt::EXISTS(file))
      mail.SetBody(absoluteName(file), smtp::kHtmlFile);
    else
      mail.SetBody("HTML file not found:  " + file, smtp::kPlainText);
  } else if (format == "Binary") {
    mail.SetBody(absoluteName(file), smtp::kFileBody);
  } else {
    mail.SetBody(body, smtp::kPlainText);
  }

  if (!M_.Attachment.isBlank()) {
    const std::string spec = ExpandVariables(M_.Attachment.str());
    const std::string today = rt::FORMAT(double(rt::TODAY()), "@d17");
    std::vector<std::string> found;
    files::GETFILEQ(spec, found, true, false);
    for (size_t i = 0; i < found.size(); ++i) {
      mail.AddAttachment(absoluteName(found[i]), smtp::kFileBody);
      (void)rt::PUTINI("E-mail", "Attachment " + today + " " + std::to_string(i + 1), found[i], kDebugIni);  // a note only
    }
    if (found.empty()) {
      (void)rt::PUTINI("E-mail error", subject + " " + today, spec + " not found.", kDebugIni);  // a note only
      WriteLog(spec + " not found.", "E-mail error");
    }
  }

  EmailState = "Sending Email...";
  const int32_t result = mail.SendEmailMessage();
  EmailState.clear();

  if (result == 0) {
    WriteLog("Sent " + recipientsForLog(), M_.MailType.str());
    SetVariable("Sent", "Mail");
    SetVariable("None", "MailError");
  } else {
    const std::string text = mail.EmailResultText(result);
    WriteLog("Error:  " + text, "Mail Error");
    // What the library found wrong (a file, an address, the connection), unless the text has it.
    if (result != smtp::code::ServerError && !mail.serverReply().empty()) WriteLog(mail.serverReply(), "Mail Error");
    WriteLog("Could not send " + recipientsForLog(), "Mail Error");
    SetVariable("Error", "Mail");
    SetVariable(text, "MailError");
  }
  mail.Kill();
  return result;
}

}  // namespace ov::scheduler
