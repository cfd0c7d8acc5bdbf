// The holiday list and form driven as a user would: a new holiday needing its date, the date
// picker behind "...", the Easter rule on switching the type, the read-only view and delete
// forms, and the list opened only once.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/holidays.h"
#include "dialogs/tests/fixture.h"
#include "dialogs/tests/records.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"

using namespace ov;
using ov::dialogs::testing::addHoliday;
using ov::dialogs::testing::storedHolidays;
using rt::DATE;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

class Holidays : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(DATE(1, 10, 2025), 1000000);  // Easter 2025 is 20 April
  }
};

int openCount(std::string_view procedure) {
  int n = 0;
  for (ui::Window* w : ui::openWindows())
    if (w->manager() && w->manager()->procedureName() == procedure) ++n;
  return n;
}

TEST_F(Holidays, NewHolidayNeedsItsDateAndFollowsEaster) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseHolidays);
    WindowDriver list = d.waitWindow("BrowseHolidays");
    EXPECT_EQ(list.title(), "Holidays");
    list.press("?Insert");
    WindowDriver form = d.waitWindow("UpdateHolidays");
    EXPECT_EQ(form.title(), "New Holiday");

    form.with([](ui::Window&) { EXPECT_EQ(files::HOL.HolidayType.str(), "Annual") << "primed by the data library"; });
    form.enter("?HOL:Holiday", "Good Friday");
    form.enter("?HOL:HolidayDate", "");
    host.expectMessage("\"Holiday Date\" must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    d.settle();
    ASSERT_TRUE(form.isOpen()) << "OK refused without a date";
    ASSERT_FALSE(host.messages().empty());
    EXPECT_EQ(host.messages().back().title, "Missing Information");

    // "..." shows the date picker on every day; "&Today" takes today.
    form.press("?CallLookup");
    WindowDriver picker = d.waitWindow("Calendar");
    EXPECT_EQ(picker.title(), "Select Date");
    picker.press("?Today");
    d.waitClosed(picker);
    form.with([](ui::Window&) { EXPECT_EQ(files::HOL.HolidayDate, DATE(1, 10, 2025)); });

    // Today lies more than 30 days before Easter: Good Friday moves to two days before it.
    form.choose("?HOL:HolidayType", "Easter");
    form.with([](ui::Window&) { EXPECT_EQ(files::HOL.HolidayDate, DATE(4, 18, 2025)); });
    form.press("?OK");
    d.waitClosed(form);
    d.gui([] { EXPECT_EQ(files::GLOBALRESPONSE, ui::RequestCompleted); });

    // The history key brings back the field of the holiday written last.
    list.press("?Insert");
    form = d.waitWindow("UpdateHolidays");
    form.key("?HOL:Holiday", 734);
    EXPECT_EQ(form.text("?HOL:Holiday"), "Good Friday");
    form.press("?Cancel");
    d.waitClosed(form);
    list.close();
    d.waitClosed(list);
  });
  const auto stored = storedHolidays();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].HolidayDate, DATE(4, 18, 2025));
  EXPECT_EQ(stored[0].Holiday.str(), "Good Friday");
  EXPECT_EQ(stored[0].HolidayType.str(), "Easter");
}

TEST_F(Holidays, TypeThatWasEasterAlreadyKeepsTheDate) {
  addHoliday(DATE(3, 1, 2024), "Good Friday", "Easter");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseHolidays);
    WindowDriver list = d.waitWindow("BrowseHolidays");
    list.press("?Change");
    WindowDriver form = d.waitWindow("UpdateHolidays");
    EXPECT_EQ(form.title(), "Edit Holiday");
    form.choose("?HOL:HolidayType", "Annual");
    form.choose("?HOL:HolidayType", "Easter");
    form.with([](ui::Window&) { EXPECT_EQ(files::HOL.HolidayDate, DATE(3, 1, 2024)); });
    form.press("?OK");
    d.waitClosed(form);
    list.close();
    d.waitClosed(list);
  });
  const auto stored = storedHolidays();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].HolidayDate, DATE(3, 1, 2024));
}

TEST_F(Holidays, ViewShowsTheRecordReadOnly) {
  ScriptedHost host;
  int response = 0;
  runScript([&](Driver& d) {
    d.later([&] {
      files::HOL.HolidayDate = DATE(12, 25, 2025);
      files::HOL.Holiday = "Christmas Day";
      files::HOL.HolidayType = "Annual";
      files::GLOBALREQUEST = ui::ViewRecord;
      response = dialogs::UpdateHolidays();
    });
    WindowDriver form = d.waitWindow("UpdateHolidays");
    EXPECT_EQ(form.title(), "View Holiday");
    EXPECT_FALSE(form.enabled("?HOL:HolidayDate"));
    EXPECT_FALSE(form.enabled("?HOL:Holiday"));
    EXPECT_FALSE(form.enabled("?CallLookup"));
    EXPECT_EQ(form.prop("?HOL:HolidayDate:Prompt", ui::Prop::Text), "Date:");
    EXPECT_EQ(form.prop("?HOL:Holiday:Prompt", ui::Prop::Text), "Description:");
    EXPECT_EQ(form.prop("?HOL:HolidayType", ui::Prop::Text), "Holiday Type");
    // The chosen type stays readable; the others cannot be chosen.
    EXPECT_TRUE(form.enabled("?HOL:HolidayType:Radio1"));
    EXPECT_EQ(form.prop("?HOL:HolidayType:Radio1", ui::Prop::ReadOnly), "1");
    EXPECT_FALSE(form.enabled("?HOL:HolidayType:Radio3"));
    form.press("?HOL:HolidayType:Radio1");
    EXPECT_EQ(form.choice("?HOL:HolidayType"), 1);
    EXPECT_EQ(form.prop("?Cancel", ui::Prop::Text), "Cl&ose");
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_EQ(response, ui::RequestCancelled);
  EXPECT_TRUE(storedHolidays().empty());
}

TEST_F(Holidays, DeleteConfirmsThroughTheReadOnlyForm) {
  addHoliday(DATE(1, 1, 2025), "New Year's Day", "Annual");
  addHoliday(DATE(12, 25, 2025), "Christmas Day", "Annual");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseHolidays);
    WindowDriver list = d.waitWindow("BrowseHolidays");
    list.press("?Delete");
    WindowDriver form = d.waitWindow("UpdateHolidays");
    EXPECT_EQ(form.title(), "Holiday") << "a delete has a title too";
    EXPECT_EQ(form.text("?HOL:Holiday"), "New Year's Day");
    EXPECT_FALSE(form.enabled("?HOL:Holiday"));
    EXPECT_TRUE(form.enabled("?OK"));
    int cancel = 0;
    form.with([&](ui::Window& w) { cancel = w.feq("?Cancel"); });
    EXPECT_EQ(form.focus(), cancel);
    form.press("?OK");
    d.waitClosed(form);
    list.close();
    d.waitClosed(list);
  });
  const auto stored = storedHolidays();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].Holiday.str(), "Christmas Day");
}

TEST_F(Holidays, SecondStartBringsTheFirstListForward) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    const int first = d.start(dialogs::makeBrowseHolidays);
    WindowDriver list = d.waitWindow("BrowseHolidays");
    list.with([](ui::Window& w) { w.setProp(0, ui::Prop::Iconize, 1); });
    d.start(dialogs::makeBrowseHolidays);
    d.settle();
    d.gui([&] {
      EXPECT_EQ(openCount("BrowseHolidays"), 1);
      ASSERT_EQ(scheduler::OpenWindowList().size(), 1u);
      EXPECT_EQ(scheduler::OpenWindowList()[0].thread, first);
    });
    EXPECT_EQ(list.prop("", ui::Prop::Iconize), "") << "restored on EVENT:GainFocus";
    list.close();
    d.waitClosed(list);
    d.gui([] { EXPECT_TRUE(scheduler::OpenWindowList().empty()); });
  });
}

TEST_F(Holidays, ListSortsFromTheHeaderAndBackByDate) {
  addHoliday(DATE(1, 1, 2025), "New Year's Day", "Annual");
  addHoliday(DATE(4, 18, 2025), "Good Friday", "Easter");
  addHoliday(DATE(12, 25, 2025), "Christmas Day", "Annual");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseHolidays);
    WindowDriver list = d.waitWindow("BrowseHolidays");
    ListDriver rows(d, list, "?Browse:1");
    using Names = std::vector<std::string>;
    EXPECT_EQ(rows.texts(2), (Names{"New Year's Day", "Good Friday", "Christmas Day"}));
    rows.clickHeader(2);
    d.settle();
    EXPECT_EQ(rows.texts(2), (Names{"Christmas Day", "Good Friday", "New Year's Day"}));
    EXPECT_EQ(rows.propList(ui::PROPLIST::Underline, 2), "1") << "the sorted column is underlined";
    host.expectPopup("Sort by default key");
    rows.rightClickHeader(2);
    d.settle();
    EXPECT_EQ(rows.texts(2), (Names{"New Year's Day", "Good Friday", "Christmas Day"})) << "by date again";
    list.close();
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
}

}  // namespace
