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
    } else if (kind == "News" || kind == "Mass Mailing" || kind == "Mail Merge") {
      const std::string text = kind + " messages cannot be sent by this program; message " + std::to_string(id) +
                               " was not sent";
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
