// The task form's rules without its window: pages by task type, controls by schedule type,
// priming a new task, the date checks, the e-mail page's texts and the program chooser's folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datalib/records.h"
#include "editors/task_form.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"

using namespace ov;
using editors::TaskFormMode;
using editors::TaskPages;

namespace {

std::string pages(const TaskPages& p) {
  std::string out;
  auto add = [&](bool on, const char* name) {
    if (on) out += std::string(out.empty() ? "" : " ") + name;
  };
  add(p.startTime, "time");
  add(p.programFields, "fields");
  add(p.programPage, "program");
  add(p.scriptPage, "script");
  add(p.useScriptingCheck, "check");
  add(p.messagePage, "message");
  add(p.messageOnBasics, "basics");
  add(p.messageRequired, "required");
  add(p.emailPages, "email");
  add(p.reminderTime, "23:59:55");
  return out;
}

TEST(TaskFormRules, PagesFollowTheTaskType) {
  const TaskFormMode plain{}, wizard{true, false, true, false}, checked{true, false, true, true};
  const TaskFormMode scriptWizard{true, true, true, false}, editWizard{true, false, false, false};
  struct Case {
    const char* type;
    const char* command;
    TaskFormMode mode;
    const char* shown;
  };
  const Case cases[] = {
      {"Run Program", "notepad", plain, "time fields program script"},
      {"Run Program", "notepad", wizard, "time fields program check"},
      {"Run Program", "notepad", checked, "time fields program script check"},
      {"Run Program", "N/A", scriptWizard, "time fields script"},
      {"Run Program", "notepad", editWizard, "time fields program script"},
      {"Run Program", "OVEMAIL 12", plain, "time email"},
      {"Run Program", "ovemail", wizard, "time email"},
      {"Display Message", "", plain, "time message required"},
      {"Display Message", "", wizard, "time basics required"},
      {"Both", "", plain, "time fields program script message required"},
      {"None", "", plain, "message 23:59:55"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " / " + c.command);
    const TaskPages p = editors::taskTypePages(c.type, c.command, c.mode);
    EXPECT_TRUE(p.known);
    EXPECT_EQ(pages(p), c.shown);
  }
  EXPECT_FALSE(editors::taskTypePages("Hot Key", "", plain).known) << "other types leave the pages alone";
}

TEST(TaskFormRules, ControlsFollowTheScheduleType) {
  struct Case {
    const char* type;
    const char* repeat;
    const char* caption;
    const char* shown;
    const char* repeatAfter;
  };
  const Case cases[] = {
      {"Once", "", "&Every...", "clears-expiry", ""},
      {"Yearly", "", "&Every...", "except", ""},
      {"Monthly", "", "&Repeat (Per Month)", "repeat offset except", "Once"},
      {"Monthly", "Garbage", "&Repeat (Per Month)", "repeat offset except", "Once"},
      {"Monthly", "Twice - 15th, Last", "&Repeat (Per Month)", "repeat offset offset-enabled except",
       "Twice - 15th, Last"},
      {"Day of Week", "", "&Every...", "weekdays", ""},
      {"Day of Month", "", "&Every...", "ordinals month-end weekdays except", ""},
      {"Custom", "", "&Every...", "every interval except", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " / " + c.repeat);
    rt::String<18> repeat(c.repeat);
    const editors::ScheduleControls s = editors::scheduleTypeControls(c.type, repeat);
    std::string shown;
    auto add = [&](bool on, const char* name) {
      if (on) shown += std::string(shown.empty() ? "" : " ") + name;
    };
    add(s.ordinals, "ordinals");
    add(s.monthEnd, "month-end");
    add(s.weekdays, "weekdays");
    add(s.every, "every");
    add(s.interval, "interval");
    add(s.repeat, "repeat");
    add(s.offset, "offset");
    add(s.offsetEnabled, "offset-enabled");
    add(s.except, "except");
    add(s.clearsExpiry, "clears-expiry");
    EXPECT_EQ(s.groupCaption, c.caption);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(repeat.str(), c.repeatAfter);
  }
}

TEST(TaskFormRules, MonthEndLeavesOnlyItselfChecked) {
  files::ScheduleRec t{};
  t.ScheduleType = "Day of Month";
  t.Every1st = t.Every3rd = t.EveryLast = 1;
  t.Monday = t.Friday = 1;
  editors::applyMonthEnd(t);
  EXPECT_EQ(t.Every1st + t.Every3rd + t.EveryLast + t.Monday + t.Friday, 1 + 1 + 1 + 1 + 1) << "not checked: no change";
  t.LastDayOfMonth = 1;
  editors::applyMonthEnd(t);
  EXPECT_EQ(t.Every1st + t.Every2nd + t.Every3rd + t.Every4th + t.EveryLast, 0);
  for (int d = 0; d < 7; ++d) EXPECT_EQ(t.dayOfWeek(d), 0) << d;
  EXPECT_EQ(t.LastDayOfMonth, 1);
}

TEST(TaskFormRules, NewTaskStartsFiveMinutesFromNowOnWeekdays) {
  const int32_t today = rt::DATE(3, 16, 2026);
  struct Case {
    const char* name;
    int32_t now;
    const char* start;
    int32_t date, time;
  };
  const Case cases[] = {
      {"at 10:00", 10 * 360000 + 1, "", today, 10 * 360000 + 30001},
      {"at 23:58 the next day at 00:03", 23 * 360000 + 58 * 6000 + 1, "", today + 1, 3 * 6000 + 1},
      {"a start day from the list", 10 * 360000 + 1, "46100", 46100, 10 * 360000 + 30001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files::ScheduleRec t{};
    editors::primeNewTaskSchedule(t, today, c.now, c.start);
    EXPECT_EQ(t.Date, c.date);
    EXPECT_EQ(t.Time, c.time);
    EXPECT_EQ(t.ScheduleType.str(), "Day of Week");
    EXPECT_EQ(std::string() + char('0' + t.Sunday) + char('0' + t.Monday) + char('0' + t.Tuesday) +
                  char('0' + t.Wednesday) + char('0' + t.Thursday) + char('0' + t.Friday) + char('0' + t.Saturday),
              "0111110");
    EXPECT_EQ(t.EveryLast, 1);
    EXPECT_EQ(t.Warn, 1);
    EXPECT_EQ(t.Every, 1);
    EXPECT_EQ(t.EveryType.str(), "hour(s)");
  }
}

TEST(TaskFormRules, WizardKindsAndTitles) {
  EXPECT_EQ(editors::wizardKind("Script").taskType, "Run Program");
  EXPECT_TRUE(editors::wizardKind("Script").scriptWizard);
  EXPECT_EQ(editors::wizardKind("E-mail").taskType, "Run Program");
  EXPECT_TRUE(editors::wizardKind("E-mail").email);
  EXPECT_EQ(editors::wizardKind("None").taskType, "None");

  struct Case {
    bool insert, view, wizard, scriptWizard;
    const char* type;
    const char* command;
    const char* title;
  };
  const Case cases[] = {
      {true, false, false, false, "Both", "", "New Task"},
      {false, false, false, false, "Both", "", "Edit Task"},
      {false, true, false, false, "Both", "", "View Task"},
      {true, false, true, false, "Display Message", "", "Display Message Wizard"},
      {true, false, true, false, "Run Program", "OVEMAIL", "E-mail Wizard"},
      {true, false, true, true, "Run Program", "N/A", "Script Wizard"},
      {true, false, true, false, "Run Program", "", "Start Program Wizard"},
      {true, false, true, false, "None", "", "View Task"},
  };
  for (const Case& c : cases) {
    files::ScheduleRec t{};
    t.TaskType = c.type;
    t.Command = c.command;
    EXPECT_EQ(editors::taskFormTitle(c.insert, c.view, c.wizard, c.scriptWizard, t), c.title) << c.type;
  }
}

class TaskFormDates : public ::testing::Test {
 protected:
  void SetUp() override { rt::setSystemFormats({"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"}); }
};

TEST_F(TaskFormDates, StartDateWarningNamesTheNextValidDateWithinSixtyDays) {
  files::ScheduleRec t{};
  t.ScheduleType = "Day of Week";
  t.Monday = t.Tuesday = t.Wednesday = t.Thursday = t.Friday = 1;
  t.Date = rt::DATE(3, 14, 2026);  // a Saturday
  EXPECT_EQ(editors::startDateWarning(t),
            "Date entered (03/14/26) does not match schedule type.  The next valid date would be 03/16/26.");
  t.Date = rt::DATE(3, 16, 2026);
  EXPECT_EQ(editors::startDateWarning(t), "") << "a Monday fits";
  t.Date = 0;
  EXPECT_EQ(editors::startDateWarning(t), "") << "no date, no warning";

  files::ScheduleRec never{};
  never.ScheduleType = "Day of Week";
  never.Date = rt::DATE(3, 14, 2026);
  EXPECT_EQ(editors::startDateWarning(never), "Date entered (03/14/26) does not match schedule type.")
      << "no day checked: only the first sentence";

  files::ScheduleRec firstSunday{};
  firstSunday.ScheduleType = "Day of Month";
  firstSunday.Every1st = 1;
  firstSunday.Sunday = 1;
  firstSunday.Date = rt::DATE(3, 2, 2026);  // the first Sunday in March 2026 is the 1st; April's is the 5th
  EXPECT_EQ(editors::nextValidScheduleDate(firstSunday, firstSunday.Date, 60), rt::DATE(4, 5, 2026));
}

TEST_F(TaskFormDates, StartDateOffTheScheduleMovesToTheFirstDateItAccepts) {
  // March 2026: Mondays 2, 9, 16, 23, 30; Tuesdays 3, 10, 17, 24, 31; Fridays 6, 13, 20, 27.
  struct Case {
    const char* name;
    const char* type;
    const char* days;   // Sunday first; '-' not chosen
    const char* weeks;  // 1st..4th, last
    bool monthEnd;
    const char* repeat;
    int offset;
    int32_t date, want;
  };
  const int32_t friday = rt::DATE(3, 20, 2026);
  const Case cases[] = {
      {"a weekday task on a Monday stays", "Day of Week", "-MTWTF-", "-----", false, "", 0, rt::DATE(3, 16, 2026),
       rt::DATE(3, 16, 2026)},
      {"a weekday task on a Saturday: Monday", "Day of Week", "-MTWTF-", "-----", false, "", 0, rt::DATE(3, 14, 2026),
       rt::DATE(3, 16, 2026)},
      {"2nd Tuesday from a Friday: April's", "Day of Month", "--T----", "-2---", false, "", 0, friday,
       rt::DATE(4, 14, 2026)},
      {"last Friday from the 1st", "Day of Month", "-----F-", "----L", false, "", 0, rt::DATE(3, 1, 2026),
       rt::DATE(3, 27, 2026)},
      {"month end from the 15th", "Day of Month", "-------", "-----", true, "", 0, rt::DATE(2, 15, 2026),
       rt::DATE(2, 28, 2026)},
      {"1st/15th with offset 3 from the 10th: the 18th", "Monthly", "-------", "-----", false, "Twice - 1st, 15th",
       3, rt::DATE(3, 10, 2026), rt::DATE(3, 18, 2026)},
      {"Mondays without a week, from a Friday: the next Monday", "Day of Month", "-M-----", "-----", false, "", 0,
       friday, rt::DATE(3, 23, 2026)},
      {"Mondays without a week, on a Monday: stays", "Day of Month", "-M-----", "-----", false, "", 0,
       rt::DATE(3, 16, 2026), rt::DATE(3, 16, 2026)},
      {"no weekday chosen runs every day: stays", "Day of Week", "-------", "-----", false, "", 0, friday, friday},
      {"custom: any date", "Custom", "-------", "-----", false, "", 0, friday, friday},
      {"no date", "Day of Week", "-M-----", "-----", false, "", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files::ScheduleRec t{};
    t.ScheduleType = c.type;
    uint8_t* days[7] = {&t.Sunday, &t.Monday, &t.Tuesday, &t.Wednesday, &t.Thursday, &t.Friday, &t.Saturday};
    for (int i = 0; i < 7; ++i) *days[i] = c.days[i] != '-';
    uint8_t* weeks[5] = {&t.Every1st, &t.Every2nd, &t.Every3rd, &t.Every4th, &t.EveryLast};
    for (int i = 0; i < 5; ++i) *weeks[i] = c.weeks[i] != '-';
    t.LastDayOfMonth = c.monthEnd;
    t.MonthRepeat = c.repeat;
    t.Offset = c.offset;
    t.Date = c.date;
    t.Time = 9 * 360000 + 1;
    EXPECT_EQ(editors::startDateOnSchedule(t), c.want);
  }
  EXPECT_EQ(editors::startDateMovedText(friday, rt::DATE(4, 14, 2026)),
            "Date entered (03/20/26) does not match schedule type.  The next valid date would be 04/14/26.");
}

TEST_F(TaskFormDates, WarningsAfterTheTaskAndEndsBeforeTheStart) {
  struct Case {
    const char* name;
    int32_t warnDate, warnTime, expiryDate, expiryTime;
    bool warningAfter, expiryBefore;
  };
  const int32_t day = rt::DATE(3, 16, 2026), at = 10 * 360000 + 1;
  const Case cases[] = {
      {"none set", 0, 0, 0, 0, false, false},
      {"the day before", day - 1, at + 100, day + 1, at - 100, false, false},
      {"same day, earlier warning, later end", day, at - 1, day, at + 1, false, false},
      {"same day, later warning, earlier end", day, at + 1, day, at - 1, true, true},
      {"the next day / the day before", day + 1, 1, day - 1, at, true, true},
      {"end on the day without a time", 0, 0, day, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files::ScheduleRec t{};
    t.Date = day;
    t.Time = at;
    t.AdvanceWarnDate = c.warnDate;
    t.AdvanceWarnTime = c.warnTime;
    t.ExpiryDate = c.expiryDate;
    t.ExpiryTime = c.expiryTime;
    EXPECT_EQ(editors::warningAfterTask(t), c.warningAfter);
    EXPECT_EQ(editors::expiryBeforeStart(t), c.expiryBefore);
  }
}

TEST_F(TaskFormDates, EmailDescriptionTakesTheSubjectOnlyWhileItIsTheDefault) {
  const int32_t today = rt::DATE(3, 16, 2026);
  EXPECT_EQ(editors::emailDescription("E-mail 03/16/26", "Report", today), "E-mail Report 03/16/26");
  EXPECT_EQ(editors::emailDescription("E-mail 03/16/26", "A subject long enough to be cut somewhere", today),
            "E-mail A subject long enough to be cut s");
  EXPECT_EQ(editors::emailDescription("Weekly figures", "Report", today), "Weekly figures");
  EXPECT_EQ(editors::emailDescription("E-mail 03/15/26", "Report", today), "E-mail 03/15/26") << "another day";
}

TEST(TaskFormRules, EmailCommandsAttachmentsAndMailTypes) {
  struct Id {
    const char* command;
    int32_t id;
  };
  const Id ids[] = {{"OVEMAIL 42", 42}, {"ovemail 1234567", 1234567}, {"OVEMAIL", 0}, {"OVEMAIL 0", 0},
                    {"OVEMAIL x", 0},   {"notepad 42", 0},         {"OVEMAIL 12345678", 1234567}};
  for (const Id& c : ids) EXPECT_EQ(editors::emailIdOfCommand(c.command), c.id) << c.command;
  EXPECT_EQ(editors::emailCommand(42), "OVEMAIL 42");

  struct Attach {
    const char* list;
    std::vector<std::string> files;
    const char* expected;
  };
  const Attach attach[] = {
      {"", {}, ""},
      {"/a.pdf", {}, "/a.pdf"},
      {"", {"/d/a", "/d/b"}, "/d/a; /d/b"},
      {"/a", {"/b"}, "/a; /b"},
      {"/a;", {"/b", "/c"}, "/a; /b; /c"},
      {"/a;", {"/b"}, "/a;; /b"},
  };
  for (const Attach& c : attach) EXPECT_EQ(editors::appendAttachments(c.list, c.files), c.expected) << c.list;

  EXPECT_EQ(editors::mailTypeControls("E-mail").recipientPrompt, "*&To:");
  EXPECT_TRUE(editors::mailTypeControls("E-mail").contactButton);
  EXPECT_EQ(editors::mailTypeControls("News").recipientPrompt, "*&Newsgroup:");
  EXPECT_FALSE(editors::mailTypeControls("News").contactButton);
  EXPECT_TRUE(editors::mailTypeControls("Mass Mailing").category);
  EXPECT_FALSE(editors::mailTypeControls("Mass Mailing").recipient);
  EXPECT_TRUE(editors::mailTypeControls("Mail Merge").mergeNote);
  EXPECT_TRUE(editors::mailTypeControls("Mail Script").scriptNote);
  EXPECT_TRUE(editors::mailTypeControls("Anything").contactButton) << "any other type is a plain e-mail";
  EXPECT_EQ(editors::lastValueKey("Mail Merge"), "LastMailMerge");
  EXPECT_EQ(editors::lastValueKey("Mail Script"), "LastMailScript");
  EXPECT_EQ(editors::lastValueKey("News"), "LastNewsgroup");
  EXPECT_EQ(editors::lastValueKey("Mass Mailing"), "LastMassMailing");
  EXPECT_EQ(editors::lastValueKey("E-mail"), "LastEmail");
  EXPECT_EQ(editors::mailBody("Text file"), editors::MailBody::TextFile);
  EXPECT_EQ(editors::mailBody("HTML file"), editors::MailBody::HtmlFile);
  EXPECT_EQ(editors::mailBody("HTML"), editors::MailBody::Text);
}

TEST(TaskFormRules, ProgramFolderIsThePathBeforeTheLastSeparator) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Tools\\run.exe", "C:\\Tools"}, {"C:\\run.exe", "C:"}, {"/usr/local/bin/tool", "/usr/local/bin"},
      {"/tool", "/"},                      {"tool", ""},         {"/home/me/My Files/a b.sh", "/home/me/My Files"},
  };
  for (const auto& [program, folder] : cases) EXPECT_EQ(editors::programFolder(program), folder) << program;
}

TEST(TaskFormRules, MessageTextsAndHourlyHistory) {
  files::ScheduleRec t{};
  t.Message = std::string(50, 'm');
  editors::describeFromMessage(t);
  EXPECT_EQ(t.Description.str(), std::string(40, 'm'));
  t.Message = "other";
  editors::describeFromMessage(t);
  EXPECT_EQ(t.Description.str(), std::string(40, 'm')) << "a description is kept";
  EXPECT_EQ(editors::messageWithContact("  Call back   ", 7), "Call back [CONTACT 7]");

  t.Every = 2;
  t.EveryType = "hour(s)";
  EXPECT_TRUE(editors::hourlyKeepsNoHistory(t));
  t.EveryType = "day(s)";
  EXPECT_FALSE(editors::hourlyKeepsNoHistory(t));
  t.EveryType = "hour(s)";
  t.Every = 0;
  EXPECT_FALSE(editors::hourlyKeepsNoHistory(t));
}

}  // namespace
