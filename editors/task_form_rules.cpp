#include <string>

#include "datalib/date_string_functions.h"
#include "editors/task_form.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "scheduler/occurrence.h"

namespace ov::editors {

namespace {

std::string clipped(std::string_view s) { return std::string(rt::clipView(s)); }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && rt::UPPER(text.substr(0, prefix.size())) == rt::UPPER(prefix);
}

std::string shortDate(int32_t date) { return rt::FORMAT(date, "@d17"); }

}  // namespace

rt::String<20>& TaskFormStartDate() {
  static rt::String<20> date;
  return date;
}

int32_t& TaskFormSourceID() {
  static int32_t id = 0;
  return id;
}

bool isEmailCommand(std::string_view command) { return startsWithNoCase(command, "OVEMAIL"); }

int32_t emailIdOfCommand(std::string_view command) {
  if (!isEmailCommand(command) || command.size() <= 7) return 0;
  const std::string digits = clipped(rt::SUB(command, 8, 8));
  const std::string trimmed = digits.substr(std::min(digits.find_first_not_of(' '), digits.size()));
  if (trimmed.empty() || !rt::NUMERIC(trimmed)) return 0;
  const double id = rt::textToNumber(trimmed);
  return id > 0 ? static_cast<int32_t>(id) : 0;
}

std::string emailCommand(int32_t emailId) { return "OVEMAIL " + std::to_string(emailId); }

TaskPages taskTypePages(std::string_view taskType, std::string_view command, const TaskFormMode& mode) {
  TaskPages p;
  const std::string type = clipped(taskType);
  if (type == "Run Program" && isEmailCommand(command)) {
    p.emailPages = true;
    p.startTime = true;
  } else if (type == "Run Program") {
    p.startTime = true;
    p.programFields = true;
    if (mode.scriptWizard) {
      p.scriptPage = true;
    } else {
      p.programPage = true;
      if (mode.wizard && mode.newTask) {
        p.useScriptingCheck = true;
        p.scriptPage = mode.useScripting;
      } else {
        p.scriptPage = true;
      }
    }
  } else if (type == "Display Message") {
    p.startTime = true;
    p.messageRequired = true;
    if (mode.wizard)
      p.messageOnBasics = true;
    else
      p.messagePage = true;
  } else if (type == "Both") {
    p.startTime = true;
    p.programFields = true;
    p.programPage = true;
    p.messagePage = true;
    p.messageRequired = true;
    p.scriptPage = true;
  } else if (type == "None") {
    p.messagePage = true;
    p.reminderTime = true;
  } else {
    p.known = false;
  }
  return p;
}

ScheduleControls scheduleTypeControls(rt::String<15> type, rt::String<18>& monthRepeat) {
  ScheduleControls c;
  if (type == "Once") {
    c.clearsExpiry = true;
  } else if (type == "Yearly") {
    c.except = true;
  } else if (type == "Monthly") {
    c.groupCaption = "&Repeat (Per Month)";
    c.repeat = c.offset = c.except = true;
    if (!startsWithNoCase(monthRepeat.clipped(), "T")) {
      monthRepeat = "Once";
    } else {
      c.offsetEnabled = true;
    }
  } else if (type == "Day of Week") {
    c.weekdays = true;
  } else if (type == "Day of Month") {
    c.ordinals = c.monthEnd = c.weekdays = c.except = true;
  } else {
    c.every = c.interval = c.except = true;
  }
  return c;
}

void applyMonthEnd(files::ScheduleRec& task) {
  if (!task.LastDayOfMonth) return;
  task.Every1st = task.Every2nd = task.Every3rd = task.Every4th = task.EveryLast = 0;
  task.clearDayOfWeekGroup();
}

bool hourlyKeepsNoHistory(const files::ScheduleRec& task) {
  return task.Every > 0 && task.EveryType == "hour(s)";
}

void primeNewTaskSchedule(files::ScheduleRec& task, int32_t today, int32_t now, std::string_view startDate) {
  const std::string start = clipped(startDate);
  task.Date = start.empty() ? today : static_cast<int32_t>(rt::textToNumber(start));
  task.Time = now + 30000;
  files::FIXDATE(task.Date, task.Time);
  task.ScheduleType = "Day of Week";
  task.clearDayOfWeekGroup();
  for (int day = 1; day <= 5; ++day) task.dayOfWeek(day) = 1;
  task.EveryLast = 1;
  task.Warn = 1;
  task.Every = 1;
  task.EveryType = "hour(s)";
}

WizardKind wizardKind(std::string_view requested) {
  const std::string kind = clipped(requested);
  if (kind == "Script") return {"Run Program", true, false};
  if (kind == "E-mail") return {"Run Program", false, true};
  return {kind, false, false};
}

std::string taskFormTitle(bool insert, bool view, bool wizard, bool scriptWizard, const files::ScheduleRec& task) {
  std::string title = insert ? "New Task" : "Edit Task";
  if (view || wizard) title = "View" + title.substr(title.find(' '));
  if (!wizard) return title;
  if (task.TaskType == "Display Message") return "Display Message Wizard";
  if (task.TaskType == "Run Program") {
    if (isEmailCommand(task.Command.view())) return "E-mail Wizard";
    return scriptWizard ? "Script Wizard" : "Start Program Wizard";
  }
  return title;
}

std::string wizardHeading(const files::ScheduleRec& task, bool scriptWizard) {
  if (task.TaskType == "Display Message") return "Message Task Basics...";
  if (task.TaskType == "Run Program" && !scriptWizard && !isEmailCommand(task.Command.view()))
    return "Program Task Basics...";
  return {};
}

std::string wizardPicture(const files::ScheduleRec& task, bool scriptWizard) {
  if (task.TaskType == "Display Message") return "~3dispmsg.jpg";
  if (task.TaskType == "Run Program" && !isEmailCommand(task.Command.view()))
    return scriptWizard ? "~3scripting.jpg" : "~3startprg.jpg";
  return {};
}

int32_t nextValidScheduleDate(const files::ScheduleRec& task, int32_t date, int days) {
  for (int32_t d = date; d <= date + days; ++d)
    if (scheduler::IsValidScheduleDate(task, d, false)) return d;
  return 0;
}

std::string startDateWarning(const files::ScheduleRec& task) {
  if (task.Date == 0 || scheduler::IsValidScheduleDate(task, task.Date, false)) return {};
  std::string text = "Date entered (" + shortDate(task.Date) + ") does not match schedule type.";
  if (const int32_t next = nextValidScheduleDate(task, task.Date + 1, 59); next != 0)
    text += "  The next valid date would be " + shortDate(next) + ".";
  return text;
}

int32_t startDateOnSchedule(const files::ScheduleRec& task) {
  if (task.Date == 0 || scheduler::IsValidScheduleDate(task, task.Date, false)) return task.Date;
  if (const int32_t next = nextValidScheduleDate(task, task.Date + 1, 59); next != 0) return next;
  // No fitting date within the 60 days: the first date from the start date on that the scheduler
  // runs it on.
  scheduler::ScheduleRecord probe = task;
  probe.Completed = 0;
  probe.ExpiryDate = probe.ExpiryTime = 0;
  probe.Date = task.Date - 1;
  scheduler::NextOccurrence(probe, task.Date - 1, rt::kCentisecondsPerDay);
  return probe.Completed ? task.Date : probe.Date;
}

std::string startDateMovedText(int32_t entered, int32_t moved) {
  return "Date entered (" + shortDate(entered) + ") does not match schedule type.  The next valid date would be " +
         shortDate(moved) + ".";
}

bool warningAfterTask(const files::ScheduleRec& task) {
  if (task.AdvanceWarnDate == 0) return false;
  return task.AdvanceWarnDate > task.Date ||
         (task.AdvanceWarnDate == task.Date && task.AdvanceWarnTime > task.Time);
}

bool expiryBeforeStart(const files::ScheduleRec& task) {
  if (task.ExpiryDate == 0) return false;
  return task.ExpiryDate < task.Date ||
         (task.ExpiryDate == task.Date && task.ExpiryTime != 0 && task.ExpiryTime < task.Time);
}

void describeFromMessage(files::ScheduleRec& task) {
  if (task.Description.isBlank()) task.Description = task.Message.view().substr(0, 40);
}

std::string messageWithContact(std::string_view message, int32_t clientId) {
  std::string text(rt::clipView(message));
  text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
  return text + " [CONTACT " + std::to_string(clientId) + "]";
}

MailControls mailTypeControls(std::string_view mailType) {
  MailControls c;
  const std::string type = clipped(mailType);
  if (type == "News") {
    c.recipientPrompt = "*&Newsgroup:";
  } else if (type == "Mass Mailing") {
    c.recipient = false;
    c.category = true;
  } else if (type == "Mail Merge") {
    c.recipient = false;
    c.mergeFile = c.mergeNote = true;
  } else if (type == "Mail Script") {
    c.recipient = false;
    c.mergeFile = c.scriptNote = true;
  } else {
    c.contactButton = true;
  }
  return c;
}

std::string lastValueKey(std::string_view mailType) {
  const std::string type = clipped(mailType);
  if (type == "Mail Merge") return "LastMailMerge";
  if (type == "Mail Script") return "LastMailScript";
  if (type == "News") return "LastNewsgroup";
  if (type == "Mass Mailing") return "LastMassMailing";
  return "LastEmail";
}

MailBody mailBody(std::string_view mailFormat) {
  const std::string format = clipped(mailFormat);
  if (format == "Text file") return MailBody::TextFile;
  if (format == "HTML file") return MailBody::HtmlFile;
  return MailBody::Text;
}

std::string appendAttachments(std::string_view list, const std::vector<std::string>& files) {
  std::string out = clipped(list);
  for (const std::string& file : files) {
    if (out.empty())
      out = file;
    else if (files.size() > 1 && out.back() == ';')
      out += " " + file;
    else
      out += "; " + file;
  }
  return out;
}

std::string emailDescription(std::string_view description, std::string_view subject, int32_t today) {
  const std::string date = shortDate(today);
  if (clipped(description) != "E-mail " + date) return std::string(description);
  return rt::String<40>("E-mail " + clipped(subject) + " " + date).str();
}

std::string programFolder(std::string_view program) {
  const size_t last = program.find_last_of("/\\");
  if (last == std::string_view::npos) return {};
  if (last == 0) return std::string(program.substr(0, 1));  // a file in the root folder
  return std::string(program.substr(0, last));
}

}  // namespace ov::editors
