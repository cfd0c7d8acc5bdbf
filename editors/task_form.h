// The task form of the main program, UpdateSchedule, and the rules it follows.
//
//   UpdateSchedule   the form on the SCH record buffer: request in GLOBALREQUEST (0 or 1 insert,
//                    2 change, 3 delete, 4 view), answer in GLOBALRESPONSE (1 completed,
//                    2 cancelled). PresetTaskType() (the frame's "New ..." commands) turns a new
//                    task into a wizard of that kind ("Display Message", "Run Program", "Script",
//                    "E-mail", "Both", "None") or, with "Reschedule", into a one-time copy of the
//                    task in the buffer. TaskFormStartDate() and TaskFormSourceID() are the other
//                    inputs a task list sets. A new task is numbered as the form opens, so that
//                    its script items can be written while it is open; a cancelled new task takes
//                    its script items with it. OK stores the task (and an e-mail task's message,
//                    and a rescheduled task's skip mark) in one transaction.
//   ChooseProgramToStart   the program chooser of the "Program" page: a file dialog that fills
//                    SCH:Command and, when the task has none, SCH:Path.
//
// The headless rules (which pages and controls a task type and a schedule type show, priming,
// the checks of dates, storing) are declared here for the window and the tests.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datalib/records.h"
#include "platform/rt/err.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/window_manager.h"

namespace ov::editors {

constexpr int kEventTaskFormCancelled = 3396;
constexpr int32_t kReminderTime = 8639500;  // 23:59:55, the time of a "None" task

// Inputs of the next task form besides PresetTaskType(): the day a new task starts on (a day
// number as text, blank for today) and the task a reschedule or copy comes from.
rt::String<20>& TaskFormStartDate();
int32_t& TaskFormSourceID();


// ---- task type --------------------------------------------------------------------------------

// An e-mail task is a "Run Program" task whose command begins with "OVEMAIL"; the eight
// characters from position 8 hold a blank and its message's number.
bool isEmailCommand(std::string_view command);
int32_t emailIdOfCommand(std::string_view command);
std::string emailCommand(int32_t emailId);

struct TaskFormMode {
  bool wizard = false;
  bool scriptWizard = false;
  bool newTask = false;
  bool useScripting = false;  // the "Use scripting on this task" check
};

// What a task type shows. `known` is false for types the form leaves as they are.
struct TaskPages {
  bool known = true;
  bool startTime = false;      // the start time on "Scheduling"
  bool programFields = false;  // command and folder
  bool programPage = false;
  bool scriptPage = false;
  bool useScriptingCheck = false;
  bool messagePage = false;
  bool messageOnBasics = false;  // a wizard edits the message on "Task Basics"
  bool messageRequired = false;
  bool emailPages = false;
  bool reminderTime = false;   // the task's time becomes kReminderTime
};
TaskPages taskTypePages(std::string_view taskType, std::string_view command, const TaskFormMode& mode);

// ---- schedule type ----------------------------------------------------------------------------

struct ScheduleControls {
  std::string groupCaption = "&Every...";
  bool ordinals = false;   // "1st" .. "Last"
  bool monthEnd = false;
  bool weekdays = false;   // "Sunday" .. "Saturday"
  bool every = false;      // "Every:"
  bool interval = false;
  bool repeat = false;
  bool offset = false;     // "Days to Offset:" and "&Tips"
  bool offsetEnabled = false;
  bool except = false;
  bool clearsExpiry = false;
};
// The controls of schedule type `type`. For "Monthly" the repeat is made "Once" unless it begins
// with "T" (then the offset is enabled); for "Once" the end date and time are cleared.
ScheduleControls scheduleTypeControls(rt::String<15> type, rt::String<18>& monthRepeat);

// "Month End" checked clears every ordinal and weekday of "Day of Month".
void applyMonthEnd(files::ScheduleRec& task);

// Accepting "Every:" or "Interval": hourly repeats keep no history.
bool hourlyKeepsNoHistory(const files::ScheduleRec& task);

// ---- priming and titles -----------------------------------------------------------------------

// The schedule of a new task: today (or `startDate`, a day number as text, when not blank) at
// five minutes from now (past midnight: the next day), on weekdays, warned when missed, hourly
// when made custom. The category is left to the caller.
void primeNewTaskSchedule(files::ScheduleRec& task, int32_t today, int32_t now, std::string_view startDate);

// The kind of new task a wizard makes: its stored type; "Script" and "E-mail" make a "Run
// Program" task.
struct WizardKind {
  std::string taskType;
  bool scriptWizard = false;
  bool email = false;
};
WizardKind wizardKind(std::string_view requested);

// The window's title: "New Task", "Edit Task", "View Task" or the wizard's name.
std::string taskFormTitle(bool insert, bool view, bool wizard, bool scriptWizard, const files::ScheduleRec& task);
// The heading of "Task Basics" and its picture in wizard mode (empty when the type has none).
std::string wizardHeading(const files::ScheduleRec& task, bool scriptWizard);
std::string wizardPicture(const files::ScheduleRec& task, bool scriptWizard);

// ---- field reactions --------------------------------------------------------------------------

// The warning for a start date its schedule type rejects ("" when it fits or is 0): the first
// sentence, and the next valid date when one lies within 60 days.
std::string startDateWarning(const files::ScheduleRec& task);
// The first date from `date` on (within `days` days) that the schedule accepts; 0 when none.
int32_t nextValidScheduleDate(const files::ScheduleRec& task, int32_t date, int days);

// The start date a task is stored with: its own when the schedule accepts it (or it is 0), else
// the first date from it on that the schedule accepts; its own when there is none.
int32_t startDateOnSchedule(const files::ScheduleRec& task);
// What the user is told when OK moves the start date onto the schedule.
std::string startDateMovedText(int32_t entered, int32_t moved);

// The advance warning lies after the task.
bool warningAfterTask(const files::ScheduleRec& task);
// The end lies before the start.
bool expiryBeforeStart(const files::ScheduleRec& task);

// A blank description from the message: its first 40 characters.
void describeFromMessage(files::ScheduleRec& task);
// A contact's reference appended to a message: the message clipped, " [CONTACT id]".
std::string messageWithContact(std::string_view message, int32_t clientId);

// ---- e-mail pages -----------------------------------------------------------------------------

// What a mail type shows on the "E-mail" page.
struct MailControls {
  std::string recipientPrompt = "*&To:";
  bool recipient = true;
  bool contactButton = false;  // the contact button, name, CC and BCC
  bool category = false;
  bool mergeFile = false;
  bool mergeNote = false;
  bool scriptNote = false;
};
MailControls mailTypeControls(std::string_view mailType);
// The configuration key of the last value used for a mail type ("LastMailMerge", ...).
std::string lastValueKey(std::string_view mailType);

// Which row of the "Message" page a mail format shows.
enum class MailBody { Text, HtmlFile, TextFile };
MailBody mailBody(std::string_view mailFormat);

// The attachment list after chosen files were appended (none chosen: unchanged).
std::string appendAttachments(std::string_view list, const std::vector<std::string>& files);
// The description of a new e-mail task once its subject is known: "E-mail <subject> <date>",
// cut at 40, while it still reads "E-mail <date>"; otherwise unchanged.
std::string emailDescription(std::string_view description, std::string_view subject, int32_t today);

// ---- program chooser --------------------------------------------------------------------------

// The start folder of a chosen program: the part of its path before the last separator ("/" or
// "\"); the drive itself ("C:") for a file in a drive's root, "/" for a file in the root folder.
std::string programFolder(std::string_view program);
// Fills SCH:Command from a file dialog and SCH:Path when it is blank; the current folder is
// kept. False when nothing was chosen.
bool ChooseProgramToStart();

// ---- storing ----------------------------------------------------------------------------------

struct TaskStore {
  int request = 0;            // ui::InsertRecord, ChangeRecord or DeleteRecord
  bool email = false;         // store the message in the M_ buffer first
  bool skipSource = false;    // reschedule: set SkipNextTime on task `sourceId`
  int32_t sourceId = 0;
  // Completes SCH inside the transaction before anything is written (what it writes, such as the
  // shifted copies of the exception rules, stands or falls with the task).
  std::function<void(TaskStore&)> prepare;
};
// Writes the task in SCH (and, as asked, its message and its source's skip mark) in one
// transaction. A failed message store or task write leaves nothing written and is reported in
// `failure`; a failed skip mark is reported at once and the rest goes on.
rt::Err storeTask(const TaskStore& store, std::string& failure);

// Every new task stored counts here with its number, so that a task list that reloads after a
// task was made elsewhere (the frame's commands, a wizard) can select it.
struct NewTaskNote {
  uint64_t count = 0;
  int32_t id = 0;
};
NewTaskNote lastNewTask();

// A cancelled new task: its reserved record and every script item written under its number.
void discardNewTask(int32_t id);

// ---- the script page's whole-script commands ---------------------------------------------------

// "ConfirmClearScript", "PrintCurrentScript", "ExportScript" and "ImportScript" work on the task in
// SCH; the script item windows install them by name (an empty command removes one). The script
// page offers a command's button only while it is installed.
void registerScriptCommand(std::string name, std::function<void()> command);
bool scriptCommandRegistered(std::string_view name);
// Runs the named command; false when it is not installed.
bool runScriptCommand(std::string_view name);

// ---- the windows ------------------------------------------------------------------------------

std::unique_ptr<ui::WindowManager> makeUpdateSchedule();
// Runs the form modally on the current thread; its response.
int UpdateSchedule();

}  // namespace ov::editors
