// The per-user schedule details form over a temporary data folder: the required next date and
// time, what is stored for each request, the read-only view, and the two date pickers.
#include "editors/user_schedule_form.h"

#include <gtest/gtest.h>

#include <vector>

#include "dialogs/tests/fixture.h"
#include "platform/rt/date_time.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"

using namespace ov;
using rt::DATE;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

class UserScheduleForm : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(DATE(6, 10, 2026), 1000000);
    files::FORMAT.TIME = "t1";  // hh:mm
  }

  static void addDetails(const char* user, int32_t id, int32_t date, int32_t time) {
    ASSERT_EQ(files::Access_OVUSD.Open(), rt::Err::None);
    files::US = files::UserScheduleRec{};
    files::US.User = user;
    files::US.ID = id;
    files::US.Date = date;
    files::US.Time = time;
    ASSERT_EQ(files::OVUSD.add(), rt::Err::None);
    (void)files::Access_OVUSD.Close();
  }

  static std::vector<files::UserScheduleRec> stored() {
    std::vector<files::UserScheduleRec> out;
    EXPECT_EQ(files::Access_OVUSD.Open(), rt::Err::None);
    rt::Err err = files::OVUSD.set(files::US_KeyUser);
    while (err == rt::Err::None && (err = files::OVUSD.next()) == rt::Err::None) out.push_back(files::US);
    (void)files::Access_OVUSD.Close();
    return out;
  }

  // Opens the form with `request` on the record of `user` (or on nothing for an insert), with the
  // file kept open and on that record while the form runs, as a list keeps it.
  static void open(Driver& d, int request, int& response, const char* user = nullptr) {
    d.later([request, &response, user] {
      EXPECT_EQ(files::Access_OVUSD.Open(), rt::Err::None);
      if (user) {
        rt::Err err = files::OVUSD.set(files::US_KeyUser);
        while (err == rt::Err::None && (err = files::OVUSD.next()) == rt::Err::None)
          if (rt::CLIP(files::US.User.str()) == user) break;
        EXPECT_EQ(err, rt::Err::None) << user;
      }
      files::GLOBALREQUEST = static_cast<uint8_t>(request);
      response = editors::UpdateOVUSD();
      (void)files::Access_OVUSD.Close();
    });
  }
};

TEST_F(UserScheduleForm, NewDetailsNeedTheNextDateAndTime) {
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, ui::InsertRecord, response);
    WindowDriver form = d.waitWindow("UpdateOVUSD");
    EXPECT_EQ(form.title(), "New Schedule Details");
    form.enter("?US:Time", "07:30");
    host.expectMessage("\"Next Date to Perform Task\" must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen());
    EXPECT_EQ(host.messages().back().title, "Missing Information");
    form.enter("?US:Date", "6/20/26");
    form.with([](ui::Window&) { files::US.User = "anne"; });
    form.check("?US:SkipNextTime", true);
    form.check("?US:Disabled", false);
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto rows = stored();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Date, DATE(6, 20, 2026));
  EXPECT_EQ(rows[0].Time, 7 * 360000 + 30 * 6000 + 1);
  EXPECT_EQ(rows[0].SkipNextTime, 1);
  EXPECT_EQ(rows[0].Disabled, 0);
}

TEST_F(UserScheduleForm, StartDatePickerLeavesTheWarningDateAlone) {
  addDetails("anne", 7, DATE(6, 12, 2026), 360001);
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, ui::ChangeRecord, response, "anne");
    WindowDriver form = d.waitWindow("UpdateOVUSD");
    EXPECT_EQ(form.title(), "Edit User Schedule Details");
    form.press("?CallLookup");
    WindowDriver picker = d.waitWindow("Calendar");
    EXPECT_EQ(picker.title(), "Select Starting Date");
    picker.press("?Day15");  // June 2026 starts on a Monday: button 15 is the 14th
    d.waitClosed(picker);
    form.press("?CallLookup:2");
    picker = d.waitWindow("Calendar");
    EXPECT_EQ(picker.title(), "Select Advanced Warning Date");
    picker.press("?Cancel");
    d.waitClosed(picker);
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto rows = stored();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Date, DATE(6, 14, 2026));
  EXPECT_EQ(rows[0].AdvanceWarnDate, 0);
  EXPECT_EQ(rows[0].ID, 7);
}

TEST_F(UserScheduleForm, ViewIsReadOnlyAndDeleteRemovesTheRecord) {
  addDetails("anne", 7, DATE(6, 12, 2026), 360001);
  addDetails("bob", 7, DATE(6, 13, 2026), 360001);
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    open(d, ui::ViewRecord, response, "anne");
    WindowDriver form = d.waitWindow("UpdateOVUSD");
    EXPECT_EQ(form.title(), "View User Schedule Details");
    EXPECT_FALSE(form.enabled("?US:Date"));
    EXPECT_FALSE(form.enabled("?US:Disabled"));
    EXPECT_FALSE(form.enabled("?CallLookup"));
    EXPECT_EQ(form.text("?Cancel"), "Cl&ose");
    form.press("?Cancel");
    d.waitClosed(form);
    EXPECT_EQ(response, ui::RequestCancelled);

    open(d, ui::DeleteRecord, response, "bob");
    form = d.waitWindow("UpdateOVUSD");
    EXPECT_EQ(form.title(), "Update OVUSD");
    EXPECT_FALSE(form.enabled("?US:Time"));
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCompleted);
  const auto rows = stored();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rt::CLIP(rows[0].User.str()), "anne");
  EXPECT_EQ(rows[0].Date, DATE(6, 12, 2026));
}

}  // namespace
