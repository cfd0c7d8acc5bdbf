// The frame's commands: its menu items, toolbar buttons and tray-popup items by control number.
//
// A command that opens a window of another part of the program acts only once that part has
// registered its window procedure (program_windows.h); a command that starts a companion program
// only when the program lies in the program's folder. Until then the frame shows it disabled.
//
// Threading: GUI thread, the frame's logical thread.
#pragma once

#include <functional>
#include <string>

#include "platform/rt/fixed_string.h"

namespace ov::scheduler {

namespace Command {
constexpr int Setup = -2;
constexpr int TaskCategories = -3, ContactCategories = -4, ClipboardCategories = -5;
constexpr int Holidays = -6, ScriptTemplates = -7, Housekeeping = -8;
constexpr int ImportTasks = -11, ImportContacts = -12, ImportToDo = -13, ImportHolidays = -14;
constexpr int ExportTasks = -16, ExportContacts = -17, ExportToDo = -18, ExportHolidays = -19;
constexpr int EventLog = -21, Backup = -22, ScriptQueue = -28, BugReport = -29, Explorer = -30;
constexpr int Database = -31, Exit = -33;
constexpr int TaskCategories2 = -47, ContactCategories2 = -48, ClipboardCategories2 = -49;
constexpr int Schedule = -39, HotKeys = -40, Triggers = -41, ToDo = -42, Contacts = -43;
constexpr int Messages = -44, Clipboard = -45, Users = -46;
constexpr int NewMessageTask = -51, NewProgramTask = -52, NewScriptTask = -53, NewEmailTask = -54;
constexpr int NewTask = -55, BirthdayWizard = -56, NewContact = -57, NewHotKey = -58, NewTrigger = -59;
constexpr int FirstReport = -80, LastReport = -62;
constexpr int Help = -84, WebSite = -90, SupportMail = -91, About = -92;
constexpr int StopScripts = -100, ViewActiveScripts = -101, StopScripts2 = -137;
constexpr int FirstTarget = -114, LastTarget = -103;          // toolbar and popup targets
constexpr int FirstToolbarButton = -135, LastToolbarButton = -124;
constexpr int RescheduleAll = -122;
}  // namespace Command

// The task type the next task form starts with ("Display Message", "Run Program", "Script",
// "E-mail" or empty).
rt::String<20>& PresetTaskType();

// What the commands ask of the frame.
struct CommandFrame {
  std::function<void()> exit;              // the Exit command's close handling
  std::function<void()> reset;             // after a companion program that changes the data
  std::function<void()> end;               // the database program took over: the program ends
  std::function<bool()> explorerView;      // the schedule is shown as the explorer
  std::function<int()> queuedScripts;      // entries of the active script queue
  std::function<void()> stopScripts;       // empties the active script queue
};

// The report program's name for a report command (-62..-80); empty for other numbers.
std::string ReportName(int feq);

// Whether command `feq` can act now.
bool CommandAvailable(int feq);

// Starts the backup program on the data file without waiting (the File menu's Backup, and the
// tick after the clock has jumped forward).
void StartBackup();

// Carries out command `feq`; false when the number is none of the frame's commands.
bool RunCommand(int feq, const CommandFrame& frame);

}  // namespace ov::scheduler
