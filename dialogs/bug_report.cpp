#include "dialogs/bug_report.h"

#include <cstddef>
#include <functional>

#include "datalib/globals.h"
#include "datalib/queues.h"
#include "platform/rt/date_time.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/queue.h"
#include "platform/rt/record.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "datalib/files.h"
#include "scheduler/event_log.h"
#include "scheduler/frame_commands.h"
#include "scheduler/reminder.h"
#include "scheduler/temp_script_execution.h"
#include "scheduler/globals.h"
#include "scheduler/message_sending.h"
#include "scheduler/program_body.h"
#include "scheduler/smtp_mail.h"
#include "scheduler/tick.h"
#include "scheduler/variables.h"
#include "scheduler/window_utils.h"

namespace ov::dialogs {

namespace {

constexpr const char* kBuild = "597";

// The value of a data-library global by its name, as text (numbers in decimal).
std::string globalText(std::string_view name) {
  const files::GlobalEntry* g = files::findGlobal(name);
  if (!g) return {};
  if (g->desc.type == rt::FieldType::String) return rt::CLIP(rt::fieldText(g->address, g->desc));
  return std::to_string(int64_t(rt::fieldNumber(g->address, g->desc)));
}

struct DumpLine {
  const char* label;
  std::function<std::string()> value;  // null: the data-library global named by the label
};

std::string flag(bool b) { return b ? "1" : "0"; }

std::string date(int32_t d) { return rt::CLIP(rt::FORMAT(d, "@d1")); }
std::string time(int32_t t) { return rt::CLIP(rt::FORMAT(t, "@t1")); }
// A value this program never sets: it stays at its initial blank, 0 or empty date.
std::string unsetText() { return {}; }
std::string unsetNumber() { return "0"; }

// The globals of the dump in their order, every label listed; a label whose value this program
// does not keep shows the initial value, not a made-up one.
const std::vector<DumpLine>& dumpLines() {
  using files::APP;
  static const std::vector<DumpLine> lines = {
      {"ProductName", [] { return files::PRODUCTNAME.str(); }},
      {"VersionNumber", [] { return files::VERSIONNUMBER.str(); }},
      {"ExePath", [] { return files::EXEPATH.str(); }},
      {"APP:AddScriptSemaphore", unsetNumber},
      {"APP:Handle", unsetNumber},
      {"APP:LastChecked", [] { return date(0); }},
      {"APP:LastHistoryCheck", [] { return date(0); }},
      {"APP:MultiUser", [] { return flag(scheduler::startupSettings().multiUser); }},
      {"APP:Path", [] { return APP.PATH.str(); }},
      {"APP:StartupDate", [] { return date(APP.STARTUPDATE); }},
      {"APP:StartupTime", [] { return time(APP.STARTUPTIME); }},
      {"APP:TaskExecutionActive", [] { return std::to_string(scheduler::SchedulerActive); }},
      {"APP:TempScriptExecution", [] { return std::to_string(scheduler::TempScriptExecution()); }},
      {"APP:UserID", [] { return APP.USERID.str(); }},
      {"APP:UserName", [] { return APP.USERNAME.str(); }},
      {"ASCIIFileName", unsetText},
      {"CLIP:DefaultAction", nullptr},
      {"CLIP:MaxEntries", nullptr},
      {"CLIP:Monitor", nullptr},
      {"CLIP:OnTop", nullptr},
      {"CLIP:UseExternal", nullptr},
      {"DEBUG:Active", nullptr},
      {"EMAIL:Host", nullptr},
      {"EMAIL:MAPIName", nullptr},
      {"EMAIL:OnError", unsetNumber},
      {"EMAIL:OnErrorRecipient", unsetText},
      {"EMAIL:OnSkip", unsetNumber},
      {"EMAIL:Organization", nullptr},
      {"EMAIL:Sender", nullptr},
      {"EMAIL:SenderName", nullptr},
      {"EMAIL:UseMAPI", nullptr},
      {"EMAIL:UseMAPINoBCC", nullptr},
      {"FORMAT:Date", nullptr},
      {"GLO:DataPath", nullptr},
      {"GLO:Date", [] { return date(0); }},
      {"GLO:ExportName", nullptr},
      {"GLO:Feedback", [] { return scheduler::Feedback.str(); }},
      {"GLO:GroupMode", unsetNumber},
      {"GLO:HideToolbar", nullptr},
      {"GLO:LogFileName", nullptr},
      {"GLO:LongVar", unsetNumber},
      {"GLO:MainThread", [] { return std::string("1"); }},  // the frame runs on the first thread
      {"GLO:NextTestDate", [] { return date(0); }},
      {"GLO:NextTestTime", [] { return time(0); }},
      {"GLO:NoTray", nullptr},
      {"GLO:ScheduleWorkfileName", nullptr},
      {"GLO:SecurityActive", [] { return flag(scheduler::startupSettings().gsa); }},
      {"GLO:SecurityLevel", unsetNumber},
      {"GLO:StatusFile", unsetText},
      {"GLO:OVFileName", [] { return std::string(files::kMainStorage); }},
      {"GLO:SyncScheduleFilename", nullptr},
      {"GLO:SyncScriptingFilename", nullptr},
      {"GLO:SyncOVUSDFilename", nullptr},
      {"GLO:SyncTodoFilename", nullptr},
      {"GLO:SystemLocked", [] { return flag(scheduler::startupSettings().systemLock); }},
      {"GLO:SystemUnlockedSession", [] { return flag(scheduler::tickState().unlocked); }},
      {"GLO:Time", [] { return time(0); }},
      {"GLO:TrayOnClose", nullptr},
      {"GLO:UseAlternateFormat", [] { return flag(scheduler::startupSettings().explorerScheduleView); }},
      {"GLO:User", nullptr},
      {"GLO:VBAF::ViewMode", unsetNumber},
      {"INI:Filename", nullptr},
      {"KEYS:MaxCharsPerSend", nullptr},
      {"LOG:Active", nullptr},
      {"LOG:AllExitCodes", nullptr},
      {"LOG:MaxSize", nullptr},
      {"LOG:UseNTEvent", nullptr},
      {"MSG:MaxAlarmTime", nullptr},
      {"MSG:RepeatAlarmInterval", nullptr},
      {"MSG:SnoozeInterval", nullptr},
      {"MSG:UseExternal", nullptr},
      {"MSG:UseModal", nullptr},
      {"MSG:UseWin", nullptr},
      {"NEWS:Host", nullptr},
      {"NEWS:Organization", nullptr},
      {"NEWS:Sender", nullptr},
      {"NEWS:SenderName", nullptr},
      {"NEWS:User", nullptr},
      {"NTService", unsetNumber},  // never runs as a system service here
      {"PASS:EmailState", [] { return scheduler::EmailState.str(); }},
      {"PASS:MSG:AlarmFile", unsetText},
      {"PASS:MSG:Body", unsetText},
      {"PASS:MSG:Description", unsetText},
      {"PASS:TASK:DefaultTaskType", [] { return scheduler::PresetTaskType().str(); }},
      {"REPORT:IncludeFutureOccurances", nullptr},
      {"SavePath", unsetText},
      {"SCRIPT:DelayLen", nullptr},
      {"SCRIPT:ExcludeHiddenWindows", nullptr},
      {"SCRIPT:SaveOnCompletion", nullptr},
      {"SCRIPT:TranslateFilenames", nullptr},
      {"START:ActiveOnly", nullptr},
      {"START:AllDays", nullptr},
      {"START:Clipboard", nullptr},
      {"START:Contacts", nullptr},
      {"START:Minimized", nullptr},
      {"START:NoSplash", nullptr},
      {"START:Schedule", nullptr},
      {"START:ToDo", nullptr},
      {"OVNTExists", unsetNumber},
      {"TASK:HistoryExpires", nullptr},
      {"TASK:NewProc16", nullptr},
      {"TASK:RemoveUncompleted", nullptr},
      {"TASK:RestoreOnRunProgram", nullptr},
      {"TASK:SkipIfDaysPassed", nullptr},
      {"ThreadCount", [] { return std::to_string(scheduler::THREADCOUNT()); }},
      {"WizardThreadCount", unsetNumber},
      {"WizardThreadNo", unsetNumber},
  };
  return lines;
}

std::string cut(std::string s, size_t width) {
  s.resize(rt::utf8CutLength(s, width));
  return s;
}

struct InfoLine {
  rt::String<80> Line;
};
const rt::FieldDesc kInfoLineFields[] = {{"Line", rt::FieldType::String, 80, 0, offsetof(InfoLine, Line)}};
const rt::RecordDesc kInfoLine{"InfoLine", kInfoLineFields, 80};

class BugReportWindow : public ui::WindowManager {
 public:
  BugReportWindow() : ui::WindowManager("BugReport") {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("Bug Reporting");
    w.at(-1, -1, 300, 262).timer(100);
    w.prompt("?Prompt:Sender", "Before proceeding, make sure that your return email address is correct:").at(6, 6, 288, 10);
    w.entry("?EMAIL:SENDER", "@s254").at(6, 18, 288, 12).use(files::EMAIL.SENDER);
    w.prompt("?Prompt:Report", "Enter your bug report or comments here:").at(6, 36, 288, 10);
    w.textBox("?ReportText").at(6, 48, 288, 70).use(m_report);
    w.prompt("?Prompt:Info", "This information will be sent:").at(6, 124, 288, 10);
    m_list = w.add<ui::ListControl>(0, "?InfoList").from(m_queue, kInfoLine).format("320L(2)@s80@").at(6, 136, 288, 70).feq();
    const int group = w.group("?SendGroup", "Send to Orvane support").at(6, 210, 190, 30).feq();
    w.check("?IncludeDatabase", "Include Full Database").at(12, 222, 90, 10).use(m_includeDatabase).on(group);
    w.check("?IncludeLog", "Include Log File").at(106, 222, 80, 10).use(m_includeLog).on(group);
    m_send = w.button("?Send", "&Send").at(200, 210, 44, 14).feq();
    m_reset = w.button("?Reset", "&Reset").at(250, 210, 44, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(250, 228, 44, 14).feq();
    w.string("?CurrentTime", "").at(200, 246, 94, 10).use(m_time);
    Open();
    return ui::Level::Benign;
  }

  ui::Level TakeEvent() override {
    if (ui::EVENT() == ui::EVENT::Timer) {
      m_time = rt::CLIP(rt::FORMAT(rt::CLOCK(), "@t6"));
      if (m_queue.RECORDS() == 0) fill();
      window().display();
    }
    return ui::WindowManager::TakeEvent();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_reset) {
      Update();
      m_queue.FREE();
      window().display(m_list);
      return ui::Level::Notify;
    }
    if (feq == m_send) {
      Update();
      std::vector<std::string> lines;
      for (const InfoLine& l : m_queue) lines.push_back(l.Line.str());
      std::string error;
      if (sendBugReport(m_report.str(), lines, m_includeDatabase, m_includeLog, &error) != 0) {
        // The typed report stays, so it can be sent again once the mail settings are put right.
        (void)ui::MESSAGE("The bug report was not sent.||Error:  " + error, "Bug Reporting", ui::Icon::Exclamation);
        return ui::Level::Notify;
      }
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    if (feq == CancelControl) Update();
    return ui::WindowManager::TakeAccepted();
  }

 private:
  void fill() {
    std::vector<std::string> lines;
    DumpGlobals(lines, true);
    m_queue.FREE();
    for (const std::string& l : lines) {
      m_queue.buf.Line = l;
      m_queue.ADD();
    }
  }

  rt::String<kBugReportTextWidth> m_report;
  rt::String<20> m_time;
  rt::Queue<InfoLine> m_queue;
  uint8_t m_includeDatabase = 0, m_includeLog = 0;
  int m_list = 0, m_send = 0, m_reset = 0;
};

}  // namespace

void DumpGlobals(std::vector<std::string>& lines, bool scriptValues, size_t width) {
  lines.clear();
  for (const DumpLine& d : dumpLines())
    lines.push_back(cut(std::string(d.label) + " = " + (d.value ? d.value() : globalText(d.label)), width));
  if (!scriptValues) return;
  lines.push_back(cut("------ Script Values:", width));
  for (const files::VarEntry& v : files::VARQ)
    lines.push_back(cut("[" + v.NAME.str() + "] = " + v.STRINGVALUE.str(), width));
}

std::string bugReportBody(std::string_view report, const std::vector<std::string>& lines) {
  std::string body = rt::CLIP(report);
  body += "\r\n--------------Internal Information------------\r\n";
  for (const std::string& l : lines) body += rt::CLIP(l) + "\r\n";
  std::vector<rt::DirEntry> entries;
  (void)rt::DIRECTORY(entries, "*.*", rt::ffDirectory);  // no listing is no reason not to send
  for (const rt::DirEntry& e : entries) {
    std::string date = rt::CLIP(rt::FORMAT(e.date, "@d01-"));
    body += e.name + " " + date + " " + rt::CLIP(rt::FORMAT(e.time, "@t1")) + "\r\n";
  }
  body.resize(rt::utf8CutLength(body, kBugReportTextWidth));
  return body;
}

int32_t sendBugReport(std::string_view report, const std::vector<std::string>& lines, bool includeDatabase,
                      bool includeLog, std::string* errorText) {
  using files::EMAIL;
  scheduler::EmailMessageClass mail;
  mail.Init();
  mail.SetOptionFlag(1);
  mail.SetLogFile("inmail.log");
  mail.SetServer(EMAIL.HOST.str());
  if (!EMAIL.SMTPNAME.isBlank()) mail.SetAuthentication(EMAIL.SMTPNAME.str(), EMAIL.SMTPPASSWORD.str());
  scheduler::SetVariable(EMAIL.HOST.str(), "EmailHost");
  scheduler::SetVariable(EMAIL.SENDERNAME.str(), "EmailSenderName");
  scheduler::SetVariable(EMAIL.SENDER.str(), "EmailReturnPath");
  if (!EMAIL.SENDERNAME.isBlank())
    mail.SetFrom(EMAIL.SENDERNAME.str(), EMAIL.SENDER.str(), false);
  else if (!EMAIL.SENDER.isBlank())
    mail.SetFrom(EMAIL.SENDER.str(), "", true);
  if (!EMAIL.SENDER.isBlank()) mail.SetReturnPath(EMAIL.SENDER.str());
  if (!EMAIL.ORGANIZATION.isBlank()) mail.SetOrganization(EMAIL.ORGANIZATION.str());
  mail.SetMailer(files::PRODUCTNAME.str());
  mail.SetSubject("Orvane 2003 " + files::VERSIONNUMBER.str() + "." + kBuild + ":  Support for " +
                  EMAIL.SENDERNAME.str());
  mail.AddTo(kSupportAddress, "Orvane Support");
  mail.SetBody(bugReportBody(report, lines), smtp::kPlainText);
  // Only files that are there: a missing one would stop the whole message.
  auto attach = [&](const char* name) {
    if (rt::EXISTS(name)) mail.AddAttachment(name, smtp::kFileBody);
  };
  if (includeDatabase) {
    attach("RO97.ZEZ");
    attach("UPG.TPS");
  }
  if (includeLog) attach("OV_EVENT.LOG");
  scheduler::EmailState = "Sending Email...";
  const int32_t result = mail.SendEmailMessage();
  scheduler::EmailState.clear();
  if (result != 0) {
    const std::string text = mail.EmailResultText(result);
    scheduler::WriteLog("Error:  " + text, "Mail Error");
    scheduler::WriteLog("The bug report could not be sent to Orvane support", "Mail Error");
    scheduler::SetVariable("Error", "Mail");
    scheduler::SetVariable(text, "MailError");
    if (errorText) *errorText = text;
  } else {
    scheduler::WriteLog("The bug report was sent to Orvane support", "Mail");
    scheduler::SetVariable("Sent", "Mail");
    scheduler::SetVariable("None", "MailError");
  }
  mail.Kill();
  return result;
}

std::unique_ptr<ui::WindowManager> makeBugReport() { return std::make_unique<BugReportWindow>(); }

void BugReport() {
  BugReportWindow window;
  (void)window.Run();
}

}  // namespace ov::dialogs
