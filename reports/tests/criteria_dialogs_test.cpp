#include "reports/criteria_dialogs.h"

#include <gtest/gtest.h>

#include "reports/calendar_report.h"
#include "reports/criteria.h"
#include "reports/tests/fixture.h"

namespace ov::reports {
namespace {

using ui::test::Driver;
using ui::test::runScript;
using ui::test::WindowDriver;
using CriteriaDialogsTest = testing::DataFolder;

TEST_F(CriteriaDialogsTest, ReportCriteriaStartsOnAllAndEnablesWhatIsSelected) {
  addCategory("Home");
  addCategory("Work");
  ui::test::ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { ReportParameters(); });
    WindowDriver w = d.waitWindow("ReportParameters");
    EXPECT_EQ(w.title(), "Report Criteria");
    EXPECT_FALSE(w.enabled("?TMP:DateFrom"));
    EXPECT_FALSE(w.enabled("?LookupTo"));
    EXPECT_FALSE(w.enabled("?REPORT:IncludeFutureOccurances"));
    EXPECT_FALSE(w.enabled("?TMP:CategorySelected"));
    EXPECT_EQ(w.text("?TMP:DateFrom"), " 3/10/2026");  // today, in the user's picture (d2)
    EXPECT_EQ(w.text("?TMP:DateTo"), " 4/09/2026");    // today + 30
    w.choose("?TMP:DateSelect", "Selected");
    EXPECT_TRUE(w.enabled("?TMP:DateFrom"));
    EXPECT_TRUE(w.enabled("?REPORT:IncludeFutureOccurances"));
    w.choose("?TMP:CategorySelect", "Selected");
    EXPECT_TRUE(w.enabled("?TMP:CategorySelected"));
    w.choose("?TMP:CategorySelected", "Work");
    w.choose("?TMP:OrderSelect", "Category/Date");
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_EQ(GLO.ReportFilter.str(),
            "Sch:Category=Glo:Category AND Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To");
  EXPECT_EQ(GLO.ReportOrder.str(), "Sch:KeyCategoryDate");
  EXPECT_EQ(GLO.Category.str(), "Work");
  EXPECT_EQ(RANGE.Date.From, today());
  EXPECT_EQ(RANGE.Date.To, today() + 30);

  runScript([&](Driver& d) {
    d.later([] { ReportParameters(); });
    WindowDriver w = d.waitWindow("ReportParameters");
    EXPECT_TRUE(w.enabled("?TMP:DateFrom"));  // the answers of the last run
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_TRUE(criteriaCancelled());
}

TEST_F(CriteriaDialogsTest, SelectCategoriesPicksOrCloses) {
  addCategory("Errands");
  addCategory("Home");
  ui::test::ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { SelectCategories(); });
    WindowDriver w = d.waitWindow("SelectCategories");
    EXPECT_EQ(w.title(), "Select a Category");
    w.with([](ui::Window& win) { win.setProp(win.feq("?Browse:1"), ui::Prop::Selected, 2); });
    w.press("?Select");
    d.waitClosed(w);
  });
  EXPECT_EQ(files::GLOBALRESPONSE, 1);
  EXPECT_EQ(files::CAT.Category.str(), "Home");
  runScript([&](Driver& d) {
    d.later([] { SelectCategories(); });
    WindowDriver w = d.waitWindow("SelectCategories");
    w.press("?Close");
    d.waitClosed(w);
  });
  EXPECT_EQ(files::GLOBALRESPONSE, 2);
}

TEST_F(CriteriaDialogsTest, SetReportTitleKeepsTheTextEvenWhenCancelled) {
  ui::test::ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { SetReportTitle(); });
    WindowDriver w = d.waitWindow("SetReportTitle");
    w.type("?ReportTitle", "Jobs for May");
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_EQ(files::GLOBALRESPONSE, 2);
  EXPECT_EQ(ReportTitle.str(), "Jobs for May");
}

TEST_F(CriteriaDialogsTest, PrintCalendarCorrectsTheSpanAndSetsTheRange) {
  addCategory("Health");
  ui::test::ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([] { SelectCalendarSettings(); });
    WindowDriver w = d.waitWindow("SelectCalendarSettings");
    EXPECT_EQ(w.title(), "Print Calendar");
    EXPECT_EQ(w.text("?FromMonth"), "March");  // today's month and year on both sides
    EXPECT_EQ(w.text("?ToYear"), "2026");
    EXPECT_FALSE(w.enabled("?CAT:Category"));
    w.choose("?ToMonth", "January");  // before March in the same year: March moves back
    EXPECT_EQ(w.text("?FromMonth"), "January");
    w.choose("?ToYear", "2027");
    w.choose("?ToMonth", "February");
    w.check("?AllCategories", false);
    EXPECT_TRUE(w.enabled("?CAT:Category"));
    w.choose("?CAT:Category", "Health");
    w.press("?OK");
    d.waitClosed(w);
  });
  EXPECT_EQ(files::GLOBALRESPONSE, 1);
  EXPECT_EQ(RANGE.Date.From, rt::DATE(1, 1, 2026));
  EXPECT_EQ(RANGE.Date.To, rt::DATE(2, 28, 2027));
  EXPECT_EQ(files::CAT.Category.str(), "Health");
  EXPECT_EQ(GLO.ReportOrder.str(), "Sch:KeyDate");
  runScript([&](Driver& d) {
    d.later([] { SelectCalendarSettings(); });
    WindowDriver w = d.waitWindow("SelectCalendarSettings");
    w.press("?Cancel");
    d.waitClosed(w);
  });
  EXPECT_TRUE(criteriaCancelled());
}

}  // namespace
}  // namespace ov::reports
