// The exceptions window: the day checks packed into SCH:ExceptOther and read back, and the window
// over the task buffer: only Close writes the day checks, the weekend and weekday checks keep each
// other off, the time range follows its check, and the holiday list is opened by its name.
#include "editors/exceptions_window.h"

#include <gtest/gtest.h>

#include <string>

#include "dialogs/tests/fixture.h"
#include "editors/register_windows.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "scheduler/program_windows.h"

using namespace ov;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

TEST(ExceptOther, DayChecksPackSundayFirst) {
  struct Case {
    const char* name;
    editors::ExceptedDays days;
    const char* text;
  };
  const Case cases[] = {
      {"no day", {}, "       "},
      {"Monday and Friday", {false, true, false, false, false, true, false}, " Y   Y "},
      {"Sunday and Saturday", {true, false, false, false, false, false, true}, "Y     Y"},
      {"every day", {true, true, true, true, true, true, true}, "YYYYYYY"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(editors::exceptOtherText(c.days), c.text);
    EXPECT_EQ(editors::exceptedDays(c.text), c.days);
  }
  // Only "Y" excepts a day; a short or blank field excepts nothing past its end.
  EXPECT_EQ(editors::exceptedDays("yN Y"), (editors::ExceptedDays{false, false, false, true, false, false, false}));
  EXPECT_EQ(editors::exceptedDays(""), editors::ExceptedDays{});
}

class ExceptionsWindow : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    files::SCH = files::ScheduleRec{};
    files::SCH.ExceptOther = "Y";  // Sunday, from before
  }
  void TearDown() override {
    scheduler::registerProgramWindow("BrowseHolidays", {});
    DataFolder::TearDown();
  }
  // A click on a tab takes the focus off the page it leaves; the driver only switches the page.
  static void toOverrides(WindowDriver& w) {
    w.with([](ui::Window& win) { win.select(win.feq("?Close")); });
    w.selectTab("Overrides By Day");
  }
  static void open(Driver& d, int& response) {
    d.later([&response] { response = editors::UpdateSchedule_ExceptionsWindow(); });
  }
};

TEST_F(ExceptionsWindow, CloseWritesTheDayChecksAndABlankShiftBecomesSkip) {
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, response);
    WindowDriver w = d.waitWindow("UpdateSchedule:ExceptionsWindow");
    EXPECT_EQ(w.title(), "Exceptions");
    EXPECT_EQ(w.tabs("?CurrentTab"), (std::vector<std::string>{"Standard", "Overrides By Day"}));
    EXPECT_EQ(w.choice("?SCH:ShiftType"), 1) << "Skip (to next valid day)";
    toOverrides(w);
    EXPECT_EQ(w.prop("?Day1", ui::Prop::Checked), "1") << "Sunday from the field";
    w.check("?Day1", false);
    w.check("?Day2", true);
    w.check("?Day6", true);
    w.press("?Close");
    d.waitClosed(w);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  EXPECT_EQ(files::SCH.ExceptOther.view(), std::string(" Y   Y") + std::string(14, ' '));
  EXPECT_EQ(files::SCH.ShiftType.str(), "Skip (to next valid") << "as much as the field holds";
}

TEST_F(ExceptionsWindow, ClosedAnotherWayKeepsTheDayField) {
  files::SCH.ShiftType = "Next day";
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, response);
    WindowDriver w = d.waitWindow("UpdateSchedule:ExceptionsWindow");
    EXPECT_EQ(w.choice("?SCH:ShiftType"), 3);
    w.choose("?SCH:ShiftType", "Previous day");
    toOverrides(w);
    w.check("?Day4", true);
    w.close();
    d.waitClosed(w);
  });
  EXPECT_EQ(response, ui::RequestCancelled);
  EXPECT_EQ(files::SCH.ExceptOther.str(), "Y");
  EXPECT_EQ(files::SCH.ShiftType.str(), "Previous day") << "the other rules edit the buffer directly";
}

TEST_F(ExceptionsWindow, WeekendsAndWeekdaysExcludeEachOtherAndTheTimeRangeFollowsItsCheck) {
  files::SCH.ExceptWeekends = 1;
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, response);
    WindowDriver w = d.waitWindow("UpdateSchedule:ExceptionsWindow");
    // Weekends already excepted: weekdays cannot be added to leave no day at all.
    EXPECT_FALSE(w.enabled("?SCH:ExceptWeekdays"));
    EXPECT_FALSE(w.enabled("?SCH:ExceptTimeBegin"));
    EXPECT_FALSE(w.enabled("?SCH:ExceptTimeEnd"));
    w.check("?SCH:ExceptWeekends", false);
    EXPECT_TRUE(w.enabled("?SCH:ExceptWeekdays"));
    w.check("?SCH:ExceptWeekdays", true);
    EXPECT_FALSE(w.enabled("?SCH:ExceptWeekends"));
    w.check("?SCH:ExceptTime", true);
    EXPECT_TRUE(w.enabled("?SCH:ExceptTimeBegin"));
    EXPECT_TRUE(w.enabled("?SCH:ExceptTimeEnd"));
    w.enter("?SCH:ExceptTimeBegin", "12:00");
    w.enter("?SCH:ExceptTimeEnd", "13:30");
    w.check("?SCH:ExceptHolidays", true);
    w.press("?Close");
    d.waitClosed(w);
  });
  EXPECT_EQ(files::SCH.ExceptWeekends, 0);
  EXPECT_EQ(files::SCH.ExceptWeekdays, 1);
  EXPECT_EQ(files::SCH.ExceptHolidays, 1);
  EXPECT_EQ(files::SCH.ExceptTime, 1);
  EXPECT_EQ(files::SCH.ExceptTimeBegin, 12 * 360000 + 1);
  EXPECT_EQ(files::SCH.ExceptTimeEnd, 13 * 360000 + 30 * 6000 + 1);
}

TEST_F(ExceptionsWindow, HolidaysButtonOpensTheHolidayListByName) {
  int calls = 0;
  uint8_t requestSeen = 99;
  scheduler::registerProgramWindow("BrowseHolidays", [&]() -> std::unique_ptr<ui::WindowManager> {
    ++calls;
    requestSeen = files::GLOBALREQUEST;
    return nullptr;
  });
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, response);
    WindowDriver w = d.waitWindow("UpdateSchedule:ExceptionsWindow");
    w.press("?Holidays");
    EXPECT_TRUE(w.isOpen());
    w.press("?Close");
    d.waitClosed(w);
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(requestSeen, 0) << "the maintenance list, not a picker";
}

}  // namespace
