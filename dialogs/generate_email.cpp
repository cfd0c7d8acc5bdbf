#include "dialogs/generate_email.h"

#include <algorithm>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/startup.h"
#include "platform/rt/err.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/ini.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"
#include "platform/ui/window_resize_class.h"
#include "scheduler/smtp_mail.h"

namespace ov::dialogs {

using rt::Err;

namespace {

constexpr std::string_view kSection = "Email";
constexpr std::string_view kMailSender = "TESSEL.EXE";
constexpr size_t kNameWidth = 60;

std::string clip(std::string_view s) { return std::string(rt::clipView(s)); }

// The window's own copy of the reminder and the recipient, edited on screen.
class GenerateEmailWindow : public ui::WindowManager {
 public:
  explicit GenerateEmailWindow(const scheduler::ReminderText& reminder) : WindowManager("GenerateEmail") {
    m_title = reminder.title;
    m_message = reminder.message;
  }

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("Email Message");
    w.at(-1, -1, 253, 188).resizable().minSize(253, 188);
    w.setProp(0, ui::Prop::Icon, "mail.ico");
    w.prompt("?Prompt:Recipient", "Recipient's E-mail address:").at(6, 6, 120, 10);
    w.entry("?Recipient", "@s255").at(6, 16, 241, 12).tip("Email address").use(m_recipient);
    w.prompt("?Prompt:RecipientName", "Recipient's Name:").at(6, 32, 120, 10);
    w.entry("?RecipientName", "@s60").at(6, 42, 241, 12).tip("Recipient Name").use(m_recipientName);
    w.prompt("?Prompt:Subject", "Subject:").at(6, 58, 120, 10);
    w.entry("?ML:Title", "@s60").at(6, 68, 241, 12).tip("Title").use(m_title);
    const int text = w.textBox("?ML:Message").at(6, 86, 241, 78).tip("Message").use(m_message).feq();
    OkControl = w.button("?OK", "&OK").setDefault().icon("ok.ico").at(146, 168, 48, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").icon("cancel.ico").at(199, 168, 48, 14).feq();
    Open();
    m_resizer.Init(*this, ui::WindowResizeClass::AppStrategy::Surface);
    m_resizer.SetMinSize(253, 188);
    for (const char* entry : {"?Recipient", "?RecipientName", "?ML:Title"})
      m_resizer.SetStrategy(w.feq(entry), ui::WindowResizeClass::Horizontal::Resize,
                            ui::WindowResizeClass::Vertical::Lock);
    m_resizer.SetStrategy(text, ui::WindowResizeClass::Horizontal::Resize, ui::WindowResizeClass::Vertical::Resize);
    AddItem(m_resizer);
    m_position.Init(*this, files::globalIni(), true);

    // The recipient of the last forwarded reminder, whatever reminder that was.
    m_recipient = rt::GETINI(kSection, "Recipient", m_recipient.str(), kRememberIni);
    m_recipientName = rt::GETINI(kSection, "RecipientName", m_recipientName.str(), kRememberIni);
    w.display();
    return ui::Level::Benign;
  }

  ui::Level TakeCompleted() override {
    const std::string recipient = m_recipient.str();
    std::string name = m_recipientName.str();
    if (files::EMAIL.USEMAPI) {
      (void)ForwardMessageByMapi(recipient, name, m_title.str(), m_message.str());  // reports its own failures
    } else {
      (void)ForwardMessageByEmail(recipient, name, m_title.str(), m_message.str());  // shows its own outcome
      m_recipientName = name;
    }
    // Remembered whatever the outcome, so a failed send can be tried again without retyping.
    if (rt::putIniValues(kSection, {{"Recipient", recipient}, {"RecipientName", m_recipientName.str()}},
                         kRememberIni) != Err::None)
      (void)ui::MESSAGE("The recipient could not be remembered in " + std::string(kRememberIni) + ": " + rt::ERROR(),
                        "Status", ui::Icon::Exclamation);
    return WindowManager::TakeCompleted();
  }

 private:
  rt::String<255> m_recipient;
  rt::String<kNameWidth> m_recipientName;
  rt::String<60> m_title;
  rt::String<4096> m_message;
  ui::WindowResizeClass m_resizer;
  ui::WindowPositionKeeper m_position;
};

// Starts a program without waiting: 0 when it started, else the start's error code.
int startWithoutWaiting(const std::string& commandLine) {
  if (scheduler::services().runNoWait) return scheduler::services().runNoWait(commandLine);
  rt::RUN(commandLine, false);
  if (rt::RUNCODE() == 0) return 0;
  return rt::ERRORCODE() != 0 ? rt::ERRORCODE() : rt::RUNCODE();
}

// The "Status" box of a message that did not go out: the error and, after a blank line, `detail`.
// A server's reply comes after a carriage return in the mail client's text: a line of its own.
void notSent(std::string_view error, std::string_view detail) {
  std::string text = "Message was not sent.\n\nError:\n" + std::string(error) + "\n\n" + std::string(detail);
  std::replace(text.begin(), text.end(), '\r', '\n');
  (void)ui::MESSAGE(text, "Status");
}

}  // namespace

void GenerateEmail(const scheduler::ReminderText& reminder) {
  GenerateEmailWindow window(reminder);
  (void)window.Run();
}

int32_t ForwardMessageByEmail(std::string_view recipient, std::string& recipientName, std::string_view title,
                              std::string_view message) {
  scheduler::EmailMessageClass mail;
  mail.Init();
  mail.SetOptionFlag(1);
  mail.SetLogFile("inmail.log");
  mail.SetServer(files::EMAIL.HOST.str());

  // The From line carries the sender's address: a name alone is no valid From line.
  const std::string sender = files::EMAIL.SENDER.str();
  if (!files::EMAIL.SENDERNAME.isBlank())
    mail.SetFrom(files::EMAIL.SENDERNAME.str(), sender, false);
  else if (!sender.empty())
    mail.SetFrom(sender, "", true);
  if (!sender.empty()) mail.SetReturnPath(sender);
  if (!files::EMAIL.ORGANIZATION.isBlank()) mail.SetOrganization(files::EMAIL.ORGANIZATION.str());
  mail.SetMailer("Orvane");
  mail.SetSubject(rt::clipView(title).empty() ? std::string_view("Forwarded Message") : title);

  if (rt::clipView(recipientName).empty()) recipientName = rt::String<kNameWidth>(clip(recipient)).str();
  mail.AddTo(clip(recipient), clip(recipientName));
  mail.SetBody(message, smtp::kPlainText);
  if (!files::EMAIL.SMTPNAME.isBlank())
    mail.SetAuthentication(files::EMAIL.SMTPNAME.str(), files::EMAIL.SMTPPASSWORD.str());

  int32_t result;
  {
    ui::BusyCursor busy;
    result = mail.SendEmailMessage();
  }
  if (result == 0)
    (void)ui::MESSAGE("Message sent.", "Status");
  else
    notSent(mail.EmailResultText(result),
            "Sender: " + files::EMAIL.SENDER.str() + "\nHost: " + files::EMAIL.HOST.str());
  mail.Kill();
  return result;
}

int32_t ForwardMessageByMapi(std::string_view recipient, std::string_view recipientName, std::string_view title,
                             std::string_view message) {
  // The shared MESSAGES buffer is the caller's again afterwards.
  const files::MessageRec saved = files::M_;
  int32_t id = 0;
  if (files::Access_MESSAGES.Open() == Err::None) {
    // Primed from a cleared buffer: nothing of another message (its copies, its attachment) is
    // carried into this one.
    if (files::Access_MESSAGES.PrimeRecord() == Err::None) {
      files::M_.Subject = title;
      files::M_.EmailTo = recipient;
      files::M_.EmailToName = recipientName;
      files::M_.Message = std::string(message);
      files::M_.MailType = "Email";
      if (files::Access_MESSAGES.Insert() == Err::None)
        id = files::M_.EmailID;
      else
        (void)files::Access_MESSAGES.CancelAutoInc();  // the insert's failure was reported
    }
    (void)files::Access_MESSAGES.Close();
  }
  files::M_ = saved;
  if (id == 0) return 0;  // nothing stored: the sender is not started on a message that is not there

  const std::string command = std::string(kMailSender) + " " + std::to_string(id);
  if (const int error = startWithoutWaiting(command); error != 0) {
    notSent("Could not start " + command + " (error " + std::to_string(error) + ")",
            "The message is kept as message " + std::to_string(id) + ".");
    return 0;
  }
  return id;
}

}  // namespace ov::dialogs
