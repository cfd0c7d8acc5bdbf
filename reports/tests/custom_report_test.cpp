#include "reports/custom_report.h"

#include <gtest/gtest.h>

#include "reports/report_common.h"
#include "reports/tests/fixture.h"
#include "reports/tests/output_recorder.h"

namespace ov::reports {
namespace {

using testing::at;
using testing::linesWith;
using testing::OutputRecorder;
using ui::BUTTON::No;
using ui::BUTTON::Yes;
using Task = files::ScheduleRec;

class CustomReport : public testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    m_saved = criteriaDialogs();
    criteriaDialogs().customReports = [this]() -> std::optional<CustomDefinition> { return m_design; };
  }
  void TearDown() override {
    criteriaDialogs() = m_saved;
    DataFolder::TearDown();
  }
  void addTasks() {
    addTask([&](Task& t) { t.Description = "beta"; t.Category = "work"; t.Date = today() + 1; t.Alarm = 1; });
    addTask([&](Task& t) { t.Description = "Alpha"; t.Category = "Work"; t.Date = today() + 3; t.Alarm = 1;
                           t.Completed = 1; });
    addTask([&](Task& t) { t.Description = "Gamma"; t.Category = "Home"; t.Date = today() + 2; t.Disabled = 1; });
  }
  std::optional<CustomDefinition> m_design;

 private:
  CriteriaDialogs m_saved;
};

TEST(CustomReportLists, FieldsAndSortOrdersAsOffered) {
  ASSERT_EQ(reportControlList().size(), 48u);
  EXPECT_EQ(reportControlList().front().control, 4);
  EXPECT_EQ(reportControlList().back().control, 51);
  for (const CustomField& f : reportControlList()) EXPECT_LE(std::string_view(f.desc).size(), 29u) << f.name;
  ASSERT_EQ(sortOrderList().size(), 9u);
  EXPECT_EQ(customSortExpression({"x", "", "Category", {}, false}), "UPPER(SCH:Category),UPPER(SCH:Description)");
  EXPECT_EQ(customSortExpression({"x", "", "", {}, false}), "");
  EXPECT_EQ(customSortExpression({"x", "", "Nonsense", {}, false}), "");
}

TEST_F(CustomReport, DesignsAreStoredRenamedAndRemoved) {
  EXPECT_TRUE(loadCustomDefinitions().empty());
  ASSERT_TRUE(saveCustomDefinition({"Weekly", "Week", "Date", {"SCH:Date", "SCH:Description"}, true}));
  ASSERT_TRUE(saveCustomDefinition({"All [tasks]", "", "", {"SCH:Category"}, false}));
  EXPECT_FALSE(saveCustomDefinition({"weekly", "", "", {}, false}));  // names ignore case
  EXPECT_FALSE(saveCustomDefinition({"   ", "", "", {}, false}));
  std::vector<CustomDefinition> defs = loadCustomDefinitions();
  ASSERT_EQ(defs.size(), 2u);
  EXPECT_EQ(defs[0].name, "All  tasks");
  EXPECT_EQ(defs[1].name, "Weekly");
  EXPECT_EQ(defs[1].fields, (std::vector<std::string>{"SCH:Date", "SCH:Description"}));
  EXPECT_TRUE(defs[1].totals);
  // Renaming replaces the old design.
  ASSERT_TRUE(saveCustomDefinition({"Monthly", "Month", "", {"SCH:Time"}, false}, "Weekly"));
  defs = loadCustomDefinitions();
  ASSERT_EQ(defs.size(), 2u);
  EXPECT_EQ(defs[1].name, "Monthly");
  removeCustomDefinition("monthly");
  EXPECT_EQ(loadCustomDefinitions().size(), 1u);
}

TEST_F(CustomReport, ListsTheChosenFieldsInTheChosenOrderWithTotals) {
  addTasks();
  m_design = CustomDefinition{"Weekly", "Weekly", "Category",
                              {"SCH:Category", "SCH:Description", "SCH:Date", "SCH:Alarm"}, true};
  OutputRecorder out(dir());
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Would you like to apply a query to this report?", No);
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    CustomScheduleReport();
  }
  ASSERT_EQ(out.previews.size(), 1u);
  const std::string& text = out.previews[0].text;
  EXPECT_NE(at(text, "Schedule - Custom Report - Weekly"), std::string::npos) << text;
  // Category, then description, both without regard to case; completed and disabled ones too.
  ASSERT_NE(at(text, "Gamma"), std::string::npos) << text;
  EXPECT_LT(at(text, "Gamma"), at(text, "Alpha"));
  EXPECT_LT(at(text, "Alpha"), at(text, "beta"));
  EXPECT_NE(linesWith(text, "beta")[0].find("3/11/2026"), std::string::npos) << text;
  EXPECT_EQ(at(text, "Start in"), std::string::npos);  // fields not chosen are not printed
  EXPECT_NE(at(text, "Tasks: 3"), std::string::npos) << text;
  EXPECT_EQ(linesWith(text, "Tasks:").size(), 1u);
  // Under the count, the sum of the alarm flags: two tasks have one.
  EXPECT_EQ(linesWith(text.substr(at(text, "Tasks: 3")), "2").size(), 1u) << text;
}

TEST_F(CustomReport, GroupBreakOnCategoryPrintsHeaderSubtotalAndFooter) {
  addTasks();
  addTask([&](Task& t) { t.Description = "Delta"; t.Category = "Home"; t.Date = today() + 4; t.Alarm = 1; });
  ASSERT_TRUE(saveCustomDefinition({"Grouped", "", "", {"SCH:Description", "SCH:Alarm"}, true, "SCH:Category"}));
  m_design = loadCustomDefinitions().at(0);
  EXPECT_EQ(m_design->breakField, "SCH:Category") << "the break is stored with the design";
  EXPECT_EQ(customSortExpression(*m_design), "UPPER(SCH:Category),SCH:Date,SCH:Time");
  OutputRecorder out(dir());
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Would you like to apply a query to this report?", No);
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    CustomScheduleReport();
  }
  ASSERT_EQ(out.previews.size(), 1u);
  const std::string& text = out.previews[0].text;
  // Home first (case-blind), by date within the group; "work" and "Work" are one group.
  const size_t home = at(text, "Category: Home"), gamma = at(text, "Gamma"), delta = at(text, "Delta");
  const size_t homeTotal = at(text, "Subtotal Category Home: 2 tasks");
  const size_t work = at(text, "Category: work"), beta = at(text, "beta"), alpha = at(text, "Alpha");
  const size_t workTotal = at(text, "Subtotal Category work: 2 tasks"), total = at(text, "Tasks: 4");
  ASSERT_NE(home, std::string::npos) << text;
  ASSERT_NE(homeTotal, std::string::npos) << text;
  ASSERT_NE(workTotal, std::string::npos) << text;
  EXPECT_LT(home, gamma);
  EXPECT_LT(gamma, delta);
  EXPECT_LT(delta, homeTotal);
  EXPECT_LT(homeTotal, work);
  EXPECT_LT(work, beta);
  EXPECT_LT(beta, alpha);
  EXPECT_LT(alpha, workTotal);
  EXPECT_LT(workTotal, total) << "the report's totals come after the last group";
  EXPECT_EQ(linesWith(text, "Category:").size(), 2u) << "one header per group";
  // Under each subtotal the group's sum of alarms: one in Home, two in Work.
  const size_t homeNext = text.find('\n', homeTotal), workNext = text.find('\n', workTotal);
  const std::string homeSums = text.substr(homeNext, work - homeNext);
  const std::string workSums = text.substr(workNext, total - workNext);
  EXPECT_EQ(linesWith(homeSums, "1").size(), 1u) << homeSums;
  EXPECT_EQ(linesWith(workSums, "2").size(), 1u) << workSums;
}

TEST_F(CustomReport, WithoutSortOrTitleByDateAndCancelledDesignsEndQuietly) {
  addTasks();
  m_design = CustomDefinition{"Plain", "", "", {"SCH:Description"}, true};
  OutputRecorder out(dir());
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Would you like to apply a query to this report?", Yes);
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    host.expectMessage("Nothing to Preview.", ui::BUTTON::Ok);  // no task: no page, no totals
    testing::runWithQueryWizard([] { CustomScheduleReport(); }, [](ui::test::WindowDriver& q) {
      testing::addQueryCondition(q, "?And", "Basic - Task Category", "Is Equal To", "Nobody");
      q.press("?Finish");
    });
  }
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Would you like to apply a query to this report?", No);
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    CustomScheduleReport();
  }
  ASSERT_EQ(out.previews.size(), 1u);
  const std::string& text = out.previews[0].text;
  EXPECT_NE(at(text, "Schedule - Custom Report"), std::string::npos);
  EXPECT_EQ(at(text, "Schedule - Custom Report -"), std::string::npos);
  ASSERT_NE(at(text, "beta"), std::string::npos) << text;
  EXPECT_LT(at(text, "beta"), at(text, "Gamma"));  // next date order
  EXPECT_LT(at(text, "Gamma"), at(text, "Alpha"));
  m_design.reset();
  {
    ui::test::ScriptedHost host;  // no query or preview question
    EXPECT_EQ(CustomScheduleReport(), 2);
  }
}

TEST_F(CustomReport, TheDesignWindowMakesAndPicksADesign) {
  ui::test::ScriptedHost host;
  std::optional<CustomDefinition> picked;
  ui::test::runScript([&](ui::test::Driver& d) {
    d.later([&] { picked = CustomReports(); });
    ui::test::WindowDriver list = d.waitWindow("CustomReports");
    // Without a design there is nothing to edit, delete or print.
    for (const char* button : {"?Edit", "?Delete", "?OK"}) EXPECT_FALSE(list.enabled(button)) << button;
    list.press("?New");
    ui::test::WindowDriver form = d.waitWindow("UpdateCustomReport");
    // Nothing chosen in either list: no button can act yet.
    for (const char* button : {"?Add", "?Remove", "?Up", "?Down"}) EXPECT_FALSE(form.enabled(button)) << button;
    form.type("?Name", "Mine");
    form.type("?Title", "For me");
    form.choose("?Sort", "Description");
    auto pick = [&](const char* list, int row) {
      form.with([&](ui::Window& w) { w.setProp(w.feq(list), ui::Prop::Selected, row); });
      form.post(ui::EVENT::NewSelection, list);
    };
    pick("?Available", 1);
    form.press("?Add");  // the first field by caption: "1st"
    pick("?Available", 1);
    form.press("?Add");  // then "2nd"
    pick("?Chosen", 2);
    EXPECT_FALSE(form.enabled("?Down")) << "the last one";
    form.press("?Up");
    EXPECT_FALSE(form.enabled("?Up")) << "now the first";
    EXPECT_TRUE(form.enabled("?Down"));
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_TRUE(list.enabled("?OK"));
    list.press("?OK");
    d.waitClosed(list);
  });
  ASSERT_TRUE(picked.has_value());
  EXPECT_EQ(picked->name, "Mine");
  EXPECT_EQ(picked->title, "For me");
  EXPECT_EQ(picked->sort, "Description");
  EXPECT_EQ(picked->fields, (std::vector<std::string>{"SCH:Every2nd", "SCH:Every1st"}));
  EXPECT_EQ(loadCustomDefinitions().size(), 1u);
}

}  // namespace
}  // namespace ov::reports
