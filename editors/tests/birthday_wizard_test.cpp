// The birthday wizard: the task's texts and dates worked out from its inputs, and the wizard over
// a temporary data folder: the task it stores, the category it falls back to, the number it gives
// back on Cancel, and the frame's command for it.
#include "editors/birthday_wizard.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "datalib/config.h"
#include "dialogs/tests/fixture.h"
#include "editors/register_windows.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "scheduler/frame_commands.h"
#include "scheduler/program_windows.h"

using namespace ov;
using editors::BirthdayInputs;
using editors::OccasionTask;
using rt::DATE;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

const int32_t kToday = DATE(6, 10, 2026);
const std::string kBreak = "\r\n\r\n";

TEST(BuildOccasionText, TextsByOccasionAndWhatIsKnown) {
  struct Case {
    const char* name;
    BirthdayInputs in;
    const char* description;
    std::string message;
  };
  const Case cases[] = {
      {"exact birthday shows the age", {"Ann", "Exact", DATE(3, 14, 1960), false, 1, "Birthday"}, "Birthday: Ann",
       "It's Ann's birthday today!" + kBreak + "Age: [= AGE(DATE(3,14,1960),TODAY())]"},
      {"month and day only: no age", {"Ann", "Birthday", DATE(3, 14, 1960), false, 1, "Birthday"}, "Birthday: Ann",
       "It's Ann's birthday today!" + kBreak},
      {"exact anniversary counts the years", {"Bo & Cy", "Exact", DATE(9, 2, 2001), false, 1, "Anniversary"},
       "Anniversary: Bo & Cy", "It's Bo & Cy's anniversary today!" + kBreak + "[= AGE(DATE(9,2,2001),TODAY())]"},
      {"another event", {"Moving day", "Birthday", DATE(9, 2, 2001), false, 1, "Other"}, "Event: Moving day",
       "Moving day is today!" + kBreak},
      {"exact other event", {"Graduation", "Exact", DATE(12, 1, 1999), false, 1, "Other"}, "Event: Graduation",
       "Graduation is today!" + kBreak + "[= AGE(DATE(12,1,1999),TODAY())]"},
      {"long name cut to the field", {"Maximiliane Alexandra von Hohenberg-Lang", "Birthday", kToday, false, 1, "Birthday"},
       "Birthday: Maximiliane Alexandra von Hohe", "It's Maximiliane Alexandra von Hohenberg-Lang's birthday today!" + kBreak},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const OccasionTask t = editors::BuildOccasionText(c.in, kToday);
    EXPECT_EQ(t.description, c.description);
    EXPECT_EQ(t.message, c.message);
    EXPECT_EQ(t.time, 6 * 360000);
  }
}

TEST(BuildOccasionText, NextDateAndAdvanceWarning) {
  struct Case {
    const char* name;
    int32_t date;
    bool warn;
    int days;
    int32_t today;
    int32_t next, warnDate;
  };
  const Case cases[] = {
      {"today's day is next year's", DATE(6, 10, 1970), false, 1, kToday, DATE(6, 10, 2027), 0},
      {"tomorrow is tomorrow", DATE(6, 11, 1970), false, 1, kToday, DATE(6, 11, 2026), 0},
      {"earlier this year is next year", DATE(1, 5, 1980), false, 1, kToday, DATE(1, 5, 2027), 0},
      {"no date is today, so next year", 0, false, 1, kToday, DATE(6, 10, 2027), 0},
      {"warning of 7 days", DATE(12, 24, 1990), true, 7, kToday, DATE(12, 24, 2026), DATE(12, 17, 2026)},
      {"warning across the new year", DATE(1, 3, 1990), true, 5, kToday, DATE(1, 3, 2027), DATE(12, 29, 2026)},
      {"warning of 0 days is none", DATE(12, 24, 1990), true, 0, kToday, DATE(12, 24, 2026), 0},
      {"days without the warning are none", DATE(12, 24, 1990), false, 7, kToday, DATE(12, 24, 2026), 0},
      // 29 February stays in February in a year without one, and is itself in a leap year.
      {"29 February in 2026 is the 28th", DATE(2, 29, 1988), false, 1, DATE(1, 10, 2026), DATE(2, 28, 2026), 0},
      {"29 February after it is next year's 28th", DATE(2, 29, 1988), false, 1, DATE(3, 1, 2026), DATE(2, 28, 2027), 0},
      {"29 February in a leap year", DATE(2, 29, 1988), false, 1, DATE(3, 1, 2027), DATE(2, 29, 2028), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const OccasionTask t = editors::BuildOccasionText({"X", "Exact", c.date, c.warn, c.days, "Birthday"}, c.today);
    EXPECT_EQ(t.date, c.next);
    EXPECT_EQ(t.warnDate, c.warnDate);
    EXPECT_EQ(t.warnTime, c.warnDate ? 6 * 360000 : 0);
  }
}

// ---- the wizard over a data folder ----------------------------------------------------------------

struct StoredTask {
  int32_t id;
  std::string description, message, category, type, scheduleType;
  int32_t date, time, warnDate;
  uint8_t disabled;
};

class BirthdayWizard : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(kToday, 1000000);
    scheduler::services().post = [this](int event, int thread) { posted.push_back({event, thread}); };
  }
  void TearDown() override {
    scheduler::registerProgramWindow("BrowseTaskCategories", {});
    DataFolder::TearDown();
  }

  static void addCategories(std::initializer_list<const char*> names) {
    ASSERT_EQ(files::Access_CATEGORIES.Open(), rt::Err::None);
    for (const char* name : names) {
      files::CAT.Category = name;
      ASSERT_EQ(files::CATEGORIES.add(), rt::Err::None);
    }
    (void)files::Access_CATEGORIES.Close();
  }

  static std::vector<std::string> categories() {
    std::vector<std::string> out;
    EXPECT_EQ(files::Access_CATEGORIES.Open(), rt::Err::None);
    rt::Err err = files::CATEGORIES.set(files::CAT_KeyCategory);
    while (err == rt::Err::None && (err = files::CATEGORIES.next()) == rt::Err::None)
      out.push_back(rt::CLIP(files::CAT.Category.str()));
    (void)files::Access_CATEGORIES.Close();
    return out;
  }

  static std::vector<StoredTask> storedTasks() {
    std::vector<StoredTask> out;
    EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
    rt::Err err = files::SCHEDULE.set(files::SCH_KeyID);
    while (err == rt::Err::None && (err = files::SCHEDULE.next()) == rt::Err::None) {
      const files::ScheduleRec& s = files::SCH;
      out.push_back({s.ID, s.Description.str(), s.Message.str(), s.Category.str(), s.TaskType.str(),
                     s.ScheduleType.str(), s.Date, s.Time, s.AdvanceWarnDate, s.Disabled});
    }
    (void)files::Access_SCHEDULE.Close();
    return out;
  }

  static void open(Driver& d, int& response) {
    d.later([&response] { response = editors::Wizard_NewBirthdays(); });
  }

  int refreshPosts() const {
    int n = 0;
    for (const auto& [event, thread] : posted) n += event == scheduler::kEventRefreshAll && thread == 1;
    return n;
  }

  std::vector<std::pair<int, int>> posted;
};

TEST_F(BirthdayWizard, StoresAYearlyGreetingEnabled) {
  addCategories({"Birthdays", "Family"});
  ScriptedHost host;
  int response = 0;
  int32_t reserved = 0;
  runScript([&](Driver& d) {
    open(d, response);
    WindowDriver w = d.waitWindow("Wizard:NewBirthdays");
    EXPECT_EQ(w.title(), "Birthday/Anniversary Wizard");
    EXPECT_FALSE(w.enabled("?Back"));
    EXPECT_EQ(w.choice("?CurrentTab"), 1);
    // The number is taken at once by a disabled record.
    std::vector<StoredTask> whileOpen;
    d.gui([&] {
      reserved = files::SCH.ID;
      const files::ScheduleRec keep = files::SCH;  // reading the file fills the wizard's buffer
      whileOpen = storedTasks();
      files::SCH = keep;
    });
    ASSERT_EQ(whileOpen.size(), 1u);
    EXPECT_EQ(whileOpen[0].disabled, 1);
    EXPECT_EQ(whileOpen[0].id, reserved);

    host.expectMessage("\"Who\" must be entered.", ui::BUTTON::Ok);
    w.press("?Next");
    d.settle();
    EXPECT_EQ(w.choice("?CurrentTab"), 1);
    w.enter("?Who", "Ann Smith");
    w.enter("?Date", "03/14/60");
    w.check("?AdvanceWarning", true);
    w.enter("?Days", "3");
    w.press("?Next");
    EXPECT_EQ(w.choice("?CurrentTab"), 2);
    EXPECT_TRUE(w.enabled("?Back"));
    EXPECT_EQ(w.text("?SCH:Description"), "Birthday: Ann Smith");
    EXPECT_EQ(w.text("?SCH:Category"), "Birthdays");
    w.enter("?SCH:Category", "Family");
    w.press("?Next");
    EXPECT_EQ(w.choice("?CurrentTab"), 3);
    EXPECT_FALSE(w.enabled("?Next"));
    EXPECT_FALSE(w.enabled("?SCH:AlarmFile")) << "no alarm, no file";
    EXPECT_EQ(w.prop("?OK", ui::Prop::Default), "1");
    w.press("?Back");
    EXPECT_EQ(w.choice("?CurrentTab"), 2);
    EXPECT_EQ(w.prop("?Next", ui::Prop::Default), "1");
    w.press("?Next");
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  const StoredTask& t = tasks[0];
  EXPECT_EQ(t.id, reserved);
  EXPECT_EQ(t.description, "Birthday: Ann Smith");
  EXPECT_EQ(t.message, "It's Ann Smith's birthday today!" + kBreak + "Age: [= AGE(DATE(3,14,1960),TODAY())]");
  EXPECT_EQ(t.type, "Display Message");
  EXPECT_EQ(t.scheduleType, "Yearly");
  EXPECT_EQ(t.category, "Family");
  EXPECT_EQ(t.date, DATE(3, 14, 2027));
  EXPECT_EQ(t.time, 6 * 360000);
  EXPECT_EQ(t.warnDate, DATE(3, 11, 2027));
  EXPECT_EQ(t.disabled, 0);
  EXPECT_EQ(files::GETCONFIG("BirthdayCategory"), "Family") << "the category chosen is the next default";
  EXPECT_GE(refreshPosts(), 1);
}

TEST_F(BirthdayWizard, CancelLeavesNoTaskBehind) {
  addCategories({"Birthdays"});
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, response);
    WindowDriver w = d.waitWindow("Wizard:NewBirthdays");
    w.enter("?Who", "Ann");
    w.press("?Next");
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_EQ(response, ui::RequestCancelled);
  EXPECT_TRUE(storedTasks().empty());
  EXPECT_EQ(refreshPosts(), 0);
}

TEST_F(BirthdayWizard, MissingCategoriesFallBackToReminders) {
  struct Case {
    const char* name;
    std::vector<const char*> present;
    const char* configured;
    const char* expected;
  };
  const Case cases[] = {
      {"configured one exists", {"Birthdays", "Family"}, "Family", "Family"},
      {"configured one is gone: Birthday", {"Birthday", "Reminders"}, "Gone", "Birthday"},
      {"neither: Reminders", {"Reminders"}, "", "Reminders"},
      {"none at all: Reminders is made", {}, "", "Reminders"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(files::Access_CATEGORIES.Open(), rt::Err::None);
    while (files::CATEGORIES.set() == rt::Err::None && files::CATEGORIES.next() == rt::Err::None)
      ASSERT_EQ(files::CATEGORIES.deleteRecord(), rt::Err::None);
    (void)files::Access_CATEGORIES.Close();
    for (const char* name : c.present) addCategories({name});
    files::PUTCONFIG("BirthdayCategory", c.configured);
    ScriptedHost host;
    std::string shown;
    int response = 0;
    runScript([&](Driver& d) {
      open(d, response);
      WindowDriver w = d.waitWindow("Wizard:NewBirthdays");
      shown = w.text("?SCH:Category");
      w.press("?Cancel");
      d.waitClosed(w);
    });
    EXPECT_EQ(shown, c.expected);
    const auto now = categories();
    EXPECT_NE(std::find(now.begin(), now.end(), std::string(c.expected)), now.end());
  }
}

TEST_F(BirthdayWizard, UnknownCategoryIsPickedFromTheCategoryList) {
  addCategories({"Birthdays", "Family"});
  int calls = 0;
  uint8_t request = 0;
  scheduler::registerProgramWindow("BrowseTaskCategories", [&]() -> std::unique_ptr<ui::WindowManager> {
    ++calls;
    request = files::GLOBALREQUEST;
    files::CAT.Category = "Family";
    return nullptr;  // answers 0: nothing picked
  });
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, response);
    WindowDriver w = d.waitWindow("Wizard:NewBirthdays");
    w.enter("?Who", "Ann");
    w.press("?Next");
    w.enter("?SCH:Category", "Famly");
    EXPECT_EQ(w.text("?SCH:Category"), "Famly") << "nothing picked: the entry keeps its text";
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(request, ui::SelectRecord);
}

TEST_F(BirthdayWizard, AlarmTakesTheLastSoundAndStampsTheServiceIni) {
  addCategories({"Birthdays"});
  ASSERT_EQ(rt::PUTINI("Settings", "LastWAVFile", "/sounds/bell.wav", files::INI.FILENAME.str()), rt::Err::None);
  std::ofstream(dir() / "OVNT.EXE") << "";
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, response);
    WindowDriver w = d.waitWindow("Wizard:NewBirthdays");
    w.enter("?Who", "Ann");
    w.choose("?When", "I only know the month and day");
    w.choose("?Occasion", "Other");
    w.press("?Next");
    EXPECT_EQ(w.text("?SCH:Description"), "Event: Ann");
    w.press("?Next");
    w.check("?SCH:Alarm", true);
    EXPECT_TRUE(w.enabled("?SCH:AlarmFile"));
    EXPECT_EQ(w.text("?SCH:AlarmFile"), "/sounds/bell.wav");
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto tasks = storedTasks();
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].message, "Ann is today!" + kBreak);
  EXPECT_EQ(tasks[0].date, DATE(6, 10, 2027));
  EXPECT_EQ(rt::GETINI("Main", "Last Update", "", ".\\OVNT.INI"), "06/10/26  2:46:39") << "the short date and hh:mm:ss";
}

TEST_F(BirthdayWizard, RefusedPasswordOpensNothing) {
  addCategories({"Birthdays"});
  scheduler::services().passwordValidation = [] { return false; };
  ScriptedHost host;
  int response = -1;
  runScript([&](Driver& d) {
    open(d, response);
    d.settle();
    EXPECT_TRUE(d.waitUntil([&] { return response != -1; }));
  });
  EXPECT_NE(response, ui::RequestCompleted);
  EXPECT_TRUE(storedTasks().empty());
}

TEST_F(BirthdayWizard, FrameCommandBecomesAvailableOnceRegistered) {
  scheduler::registerProgramWindow("Wizard:NewBirthdays", {});
  EXPECT_FALSE(scheduler::CommandAvailable(scheduler::Command::BirthdayWizard));
  editors::registerWindows();
  EXPECT_TRUE(scheduler::CommandAvailable(scheduler::Command::BirthdayWizard));
}

}  // namespace
