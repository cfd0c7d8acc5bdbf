#include "reports/criteria.h"

#include <gtest/gtest.h>

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "reports/filter_text.h"
#include "reports/tests/fixture.h"
#include "editors/exceptions_window.h"
#include "editors/task_list_rules.h"
#include "datalib/records.h"
#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/rt/expr.h"

namespace ov::reports {
namespace {

using testing::DataFolder;
using Criteria = DataFolder;

TEST_F(Criteria, OkTurnsTheAnswersIntoOrderAndFilter) {
  struct Case {
    const char* name;
    const char* dateSelect;
    const char* categorySelect;
    const char* order;
    bool future;
    const char* wantFilter;
    const char* wantOrder;
    bool wantFuture;
  };
  const Case cases[] = {
      {"both all", "All", "All", "Date", false, "", "Sch:KeyDate", false},
      {"dates selected", "Selected", "All", "Date", true,
       "Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To", "Sch:KeyDate", true},
      {"both selected", "Selected", "Selected", "Category/Date", false,
       "Sch:Category=Glo:Category AND Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To",
       "Sch:KeyCategoryDate", false},
      {"category only", "All", "Selected", "Description", false, "Sch:Category=Glo:Category", "Sch:KeyTaskName", false},
      {"all dates clear future occurrences", "All", "All", "Adv. Warn", true, "", "Sch:KeyAdvanced", false},
      {"task type", "All", "All", "Task Type", false, "", "Sch:KeyTaskType", false},
      {"unknown order", "All", "All", "Priority", false, "", "Sch:KeyDate", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clearCriteria();
    TMP.DateSelect = c.dateSelect;
    TMP.CategorySelect = c.categorySelect;
    TMP.CategorySelected = "Work";
    TMP.OrderSelect = c.order;
    TMP.DateFrom = today();
    TMP.DateTo = today() + 6;
    files::REPORT.IncludeFutureOccurances = c.future;
    acceptCriteria();
    EXPECT_EQ(GLO.ReportFilter.str(), c.wantFilter);
    EXPECT_EQ(GLO.ReportOrder.str(), c.wantOrder);
    EXPECT_EQ(files::REPORT.IncludeFutureOccurances != 0, c.wantFuture);
    // The box is stored as the user left it, whatever the run does with it.
    EXPECT_EQ(files::GETCONFIG("RIFO"), c.future ? "1" : "0");
    EXPECT_FALSE(criteriaCancelled());
    if (TMP.CategorySelect == "Selected") EXPECT_EQ(GLO.Category.str(), "Work");
  }
}

TEST_F(Criteria, CancelLeavesBothResultsBlankAndDefaultsFillTheDialog) {
  GLO.ReportOrder = "Sch:KeyDate";
  GLO.ReportFilter = "x";
  cancelCriteria();
  EXPECT_TRUE(criteriaCancelled());
  applyCriteriaDefaults(today());
  EXPECT_EQ(TMP.DateFrom, today());
  EXPECT_EQ(TMP.DateTo, today() + 30);
  EXPECT_EQ(TMP.OrderSelect.str(), "Date");
  EXPECT_EQ(TMP.DateSelect.str(), "All");
  EXPECT_EQ(TMP.CategorySelect.str(), "All");
}

TEST_F(Criteria, PreservedCriteriaSurviveToTheNextStart) {
  TMP.DateSelect = "Selected";
  TMP.CategorySelect = "Selected";
  TMP.CategorySelected = "Home";
  TMP.DateFrom = today() - 3;
  TMP.DateTo = today() + 9;
  TMP.OrderSelect = "Category";
  ReportTitle = "My tasks";
  files::REPORT.IncludeFutureOccurances = 1;
  acceptCriteria();
  clearCriteria();
  files::REPORT.IncludeFutureOccurances = 0;
  loadPreservedCriteria();
  EXPECT_EQ(TMP.DateSelect.str(), "Selected");
  EXPECT_EQ(TMP.CategorySelected.str(), "Home");
  EXPECT_EQ(TMP.DateFrom, today() - 3);
  EXPECT_EQ(TMP.DateTo, today() + 9);
  EXPECT_EQ(TMP.OrderSelect.str(), "Category");
  EXPECT_EQ(ReportTitle.str(), "My tasks");
  EXPECT_EQ(files::REPORT.IncludeFutureOccurances, 1);
}

TEST(ReportKeys, OrderNamesPickTheKeyExactly) {
  EXPECT_EQ(scheduleKeyOf("Sch:KeyCategory", false), files::SCH_KeyCategory);
  EXPECT_EQ(scheduleKeyOf("Sch:KeyCategory", true), files::SCW_KeyCategory);
  EXPECT_EQ(scheduleKeyOf("Sch:KeyTaskType", true), files::SCW_KeyTaskType);
  EXPECT_EQ(scheduleKeyOf("SCH:KEYCATEGORY", false), files::SCH_KeyDate);  // compared exactly
  EXPECT_EQ(scheduleKeyOf("", true), files::SCW_KeyDate);
}

TEST(ReportFilters, WorkFileFilterIsUpperCasedWithTheWorkFilePrefix) {
  EXPECT_EQ(workFileFilter("Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To"),
            "SCW:DATE>=RANGE:DATE:FROM AND SCW:DATE<=RANGE:DATE:TO");
  EXPECT_EQ(workFileFilter("sch:Category=Glo:Category"), "SCW:CATEGORY=GLO:CATEGORY");
  EXPECT_EQ(workFileFilter(""), "");
}

TEST(ReportFilters, DescriptionReplacesWholeFieldNamesByLabels) {
  const std::span<const FieldLabel> tables[] = {scheduleFieldLabels()};
  struct Case {
    const char* filter;
    const char* want;
  };
  const Case cases[] = {
      {"NOT(SCH:Completed) AND NOT(SCH:Disabled)", "NOT(Completed) AND NOT(Disabled)"},
      {"SCH:Every1st = 1", "1st = 1"},
      {"SCH:Every = 2 AND SCH:EveryType = 'x'", "Every = 2 AND Every Type = 'x'"},
      {"Sch:Category=Glo:Category", "Category=Glo:Category"},
      {"UPPER(SCH:Description) = 'A:B'", "UPPER(Description) = 'A:B'"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    EXPECT_EQ(describeFilter(c.filter, tables), c.want);
  }
}

TEST(ReportFilters, QueryFieldListsPackAndUnpack) {
  EXPECT_EQ(scheduleQueryFields().size(), 52u);
  EXPECT_EQ(contactQueryFields().size(), 18u);
  std::vector<QueryField> back;
  ASSERT_TRUE(unpackQueryFields(packQueryFields(scheduleQueryFields()), back));
  ASSERT_EQ(back.size(), 52u);
  EXPECT_EQ(back[6].name, "SCH:Sunday");
  EXPECT_EQ(back[6].choices, "Sunday");
  EXPECT_EQ(back[6].entryKind, 2);
  EXPECT_EQ(back.back().label, "Email Address");
  // A record with too few fields is refused.
  EXPECT_FALSE(unpackQueryFields("a\xA6" "b\xA6\xAB", back));
  EXPECT_FALSE(unpackQueryFields("no end", back));
}

// Every choice the reports' and the task lists' query fields offer selects a task as the task form
// and the exceptions window store it.
TEST(ReportFilters, EveryOfferedChoiceFindsAStoredTask) {
  std::vector<files::ScheduleRec> tasks;
  auto add = [&](auto set, std::initializer_list<const char*> values) {
    for (const char* v : values) set(tasks.emplace_back(), v);
  };
  add([](files::ScheduleRec& t, const char* v) { t.TaskType = v; }, {"Run Program", "Display Message", "Both", "None"});
  add([](files::ScheduleRec& t, const char* v) { t.ScheduleType = v; },
      {"Once", "Day of Week", "Day of Month", "Monthly", "Yearly", "Custom"});
  add([](files::ScheduleRec& t, const char* v) { t.MonthRepeat = v; }, {"Once", "Twice - 1st, 15th", "Twice - 15th, Last"});
  add([](files::ScheduleRec& t, const char* v) { t.EveryType = v; },
      {"minute(s)", "hour(s)", "day(s)", "week(s)", "month(s)", "year(s)"});
  add([](files::ScheduleRec& t, const char* v) { t.ShiftType = v; }, {editors::kShiftSkip, "Previous day", "Next day"});

  const struct {
    const char* table;
    std::string packed;
  } tables[] = {{"reports", packQueryFields(scheduleQueryFields())}, {"task lists", editors::taskListQueryFields()}};
  for (const auto& table : tables) {
    qwizard::QueryFields fields;
    ASSERT_EQ(qwizard::loadFields(table.packed, "SCHEDULE", fields), qwizard::code::None) << table.table;
    int offered = 0;
    for (size_t i = 0; i < fields.fields.size(); ++i) {
      const qwizard::QueryField& f = fields.fields[i];
      if (f.entry != qwizard::EntryKind::Choice) continue;
      for (const std::string& value : f.choices) {
        ++offered;
        SCOPED_TRACE(std::string(table.table) + ": " + f.label + " = " + value);
        std::string query;
        ASSERT_TRUE(qwizard::buildQuery(fields, {{qwizard::Link::And, int(i), qwizard::Op::Equal, value}}, query));
        files::ScheduleRec rec{};
        rt::Bindings names;
        names.bindRecord(files::Desc_SCHEDULE, &rec);
        rt::Expression e;
        ASSERT_TRUE(e.parse(query, names)) << query;
        int found = 0;
        for (const files::ScheduleRec& t : tasks) {
          rec = t;
          found += e.isTrue();
        }
        EXPECT_GE(found, 1) << query << " selects no task";
      }
    }
    EXPECT_GE(offered, 16) << table.table << ": the choice fields were read";
  }
}

}  // namespace
}  // namespace ov::reports
