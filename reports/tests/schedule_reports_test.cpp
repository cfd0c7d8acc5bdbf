#include "reports/schedule_reports.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "reports/criteria.h"
#include "reports/report_common.h"
#include "reports/tests/fixture.h"
#include "reports/tests/output_recorder.h"

namespace ov::reports {
namespace {

using testing::OutputRecorder;
using testing::at;
using ui::BUTTON::No;
using ui::BUTTON::Ok;
using ui::BUTTON::Yes;
using Task = files::ScheduleRec;

class ScheduleReports : public testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    m_saved = criteriaDialogs();
    // The criteria dialog answers as the test sets TMP, with OK.
    criteriaDialogs().reportParameters = [this] {
      ++m_criteriaAsked;
      if (m_cancelCriteria) cancelCriteria(); else acceptCriteria();
    };
    criteriaDialogs().selectCategories = [this] {
      files::CAT.Category = m_pick;
      files::GLOBALRESPONSE = m_pick.empty() ? 2 : 1;
    };
  }
  void TearDown() override {
    criteriaDialogs() = m_saved;
    DataFolder::TearDown();
  }

  // Criteria: dates from today + `from` to today + `to` ("All" when from > to), every category.
  void criteria(int from, int to, const char* order = "Date", bool future = false) {
    TMP.DateSelect = from <= to ? "Selected" : "All";
    TMP.DateFrom = today() + from;
    TMP.DateTo = today() + to;
    TMP.CategorySelect = "All";
    TMP.OrderSelect = order;
    files::REPORT.IncludeFutureOccurances = future;
  }

  // The work files left in the data folder (named by digits).
  int workFilesLeft() const {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir())) {
      const std::string name = e.path().filename().string();
      if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) ++n;
    }
    return n;
  }

  void addTasks() {
    addTask([&](Task& t) { t.Description = "Water plants"; t.Date = today() + 2; t.Category = "Home"; });
    addTask([&](Task& t) { t.Description = "Backup server"; t.Date = today() + 1; t.Category = "Work";
                           t.Disabled = 1; });
    addTask([&](Task& t) { t.Description = "Pay rent"; t.Date = today() + 3; t.Category = "Home";
                           t.Completed = 1; t.Disabled = 1; });
  }

  int m_criteriaAsked = 0;
  bool m_cancelCriteria = false;
  std::string m_pick;

 private:
  CriteriaDialogs m_saved;
};

TEST_F(ScheduleReports, BriefListsEveryTaskInDateOrderWithItsStatus) {
  addTasks();
  criteria(1, 0);  // both groups on "All": no message, every task
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  EXPECT_EQ(ScheduleBriefReport(), 2);  // the preview was closed without printing
  ASSERT_EQ(out.previews.size(), 1u);
  const std::string& text = out.previews[0].text;
  EXPECT_NE(at(text, "Schedule in Brief"), std::string::npos) << text;
  ASSERT_NE(at(text, "Backup server"), std::string::npos) << text;
  EXPECT_LT(at(text, "Backup server"), at(text, "Water plants"));
  EXPECT_LT(at(text, "Water plants"), at(text, "Pay rent"));
  EXPECT_NE(testing::linesWith(text, "Backup server")[0].find("Off"), std::string::npos);
  EXPECT_NE(testing::linesWith(text, "Pay rent")[0].find("Done"), std::string::npos);
  EXPECT_EQ(testing::linesWith(text, "Water plants")[0].find("Done"), std::string::npos);
  // The user's date picture (d2).
  EXPECT_NE(testing::linesWith(text, "Water plants")[0].find("3/12/2026"), std::string::npos) << text;
  EXPECT_NE(at(text, "Page 1"), std::string::npos);
}

TEST_F(ScheduleReports, BriefWithFutureOccurrencesListsTheWorkFileAndRemovesIt) {
  addTask([&](Task& t) {
    t.Description = "Daily check";
    t.ScheduleType = "Custom";
    t.Every = 1;
    t.EveryType = "day(s)";
    t.Date = today();
  });
  criteria(0, 6, "Date", true);
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  ScheduleBriefReport();
  ASSERT_EQ(out.previews.size(), 1u);
  const std::string& text = out.previews[0].text;
  EXPECT_NE(at(text, "Complete Schedule in Brief"), std::string::npos) << text;
  EXPECT_EQ(testing::linesWith(text, "Daily check").size(), 7u) << text;
  EXPECT_NE(at(text, "3/16/2026"), std::string::npos) << text;
  EXPECT_EQ(workFilesLeft(), 0);
}

TEST_F(ScheduleReports, CancelledCriteriaEndTheBriefReportWithAMessage) {
  addTasks();
  m_cancelCriteria = true;
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("You did not enter the report order and selection criteria.", Ok);
  EXPECT_EQ(ScheduleBriefReport(), 2);
  EXPECT_TRUE(out.previews.empty());
}

TEST_F(ScheduleReports, AnEmptySelectionStillPreviewsHeaderAndFooter) {
  addTasks();
  criteria(20, 25);  // no task in that range
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  ScheduleBriefReport();
  ASSERT_EQ(out.previews.size(), 1u);
  EXPECT_EQ(out.previews[0].pdfPages, 1);
  EXPECT_NE(at(out.previews[0].text, "Schedule in Brief"), std::string::npos);
  EXPECT_NE(at(out.previews[0].text, "Page 1"), std::string::npos);
  EXPECT_EQ(at(out.previews[0].text, "Water plants"), std::string::npos);
}

TEST_F(ScheduleReports, CancelAtThePreviewQuestionReadsNothingAndRemovesTheWorkFile) {
  addTasks();
  criteria(0, 6, "Date", true);
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", ui::BUTTON::Cancel);
  EXPECT_EQ(ScheduleChecklistReport(), 2);
  EXPECT_TRUE(out.previews.empty());
  EXPECT_TRUE(out.printed.empty());
  EXPECT_EQ(workFilesLeft(), 0);
}

TEST_F(ScheduleReports, PrintingDirectlySendsThePagesWithTheirCopies) {
  addTasks();
  criteria(1, 0);
  report::PRINTER().copies = 3;
  OutputRecorder out(dir());
  out.copiesSupported = false;  // the pages are repeated for the printer instead
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", No);
  EXPECT_EQ(ScheduleBriefReport(), 1);
  report::PRINTER().copies = 1;
  ASSERT_EQ(out.printed.size(), 1u);
  EXPECT_EQ(out.printed[0].pages, 3);
  EXPECT_EQ(out.printedCopies[0], 1);
  EXPECT_EQ(testing::linesWith(out.printed[0].text, "Water plants").size(), 3u);
}

TEST_F(ScheduleReports, ListingFramesTheQueryAndPrintsTheBandsOfEachTaskType) {
  addTask([&](Task& t) {
    t.Description = "Start editor";
    t.TaskType = "Both";
    t.Command = "/usr/bin/editor";
    t.Path = "/home/me";
    t.Message = "Remember the notes";
    t.Date = today() + 1;
  });
  addTask([&](Task& t) {
    t.Description = "Shifted only";
    t.TaskType = "None";
    t.ShiftType = "Next Day";
    t.Date = today() + 2;
    t.ScheduleType = "Day of Week";
    t.Monday = t.Friday = 1;
    t.ExceptHolidays = 0;
  });
  addTask([&](Task& t) { t.Description = "Old one"; t.Completed = 1; t.Date = today(); });
  OutputRecorder out(dir());
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Would you like to apply a query to this report?", No);
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    ScheduleByDateReport();
  }
  ASSERT_EQ(out.previews.size(), 1u);
  EXPECT_EQ(out.previews[0].option, 8);
  std::string text = out.previews[0].text;
  EXPECT_NE(at(text, "Schedule by Date"), std::string::npos) << text;
  EXPECT_NE(at(text, "(Active Tasks)"), std::string::npos) << text;
  EXPECT_EQ(at(text, "Old one"), std::string::npos) << text;  // completed: not active
  ASSERT_NE(at(text, "Command:"), std::string::npos) << text;
  EXPECT_LT(at(text, "Command:"), at(text, "Message:"));
  EXPECT_NE(at(text, "Remember the notes"), std::string::npos);
  EXPECT_NE(at(text, "Days: Mon, Fri"), std::string::npos) << text;
  // A shift type alone prints no exceptions band.
  EXPECT_EQ(at(text, "Except Weekends"), std::string::npos) << text;

  // A query over the category is described by its label; a query cleared to nothing lists all.
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Would you like to apply a query to this report?", Yes);
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    testing::runWithQueryWizard([] { ScheduleByCategoryReport(); }, [](ui::test::WindowDriver& q) {
      q.press("?Manual");  // the active-tasks query is no list of conditions: typed over by hand
      EXPECT_EQ(q.text("?Expression"), "NOT(SCH:Completed) AND NOT(SCH:Disabled)");
      q.type("?Expression", "SCH:Category = 'General'");
      q.press("?Finish");
    });
  }
  ASSERT_EQ(out.previews.size(), 2u);
  text = out.previews[1].text;
  EXPECT_NE(at(text, "Schedule by Category"), std::string::npos);
  EXPECT_NE(at(text, "(Category = 'General')"), std::string::npos) << text;
  EXPECT_NE(at(text, "Old one"), std::string::npos);
  {
    ui::test::ScriptedHost host;
    host.expectMessage("Would you like to apply a query to this report?", Yes);
    host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
    testing::runWithQueryWizard([] { ScheduleByDateReport(); }, [](ui::test::WindowDriver& q) {
      q.press("?Delete");
      q.press("?Finish");
    });
  }
  ASSERT_EQ(out.previews.size(), 3u);
  EXPECT_NE(at(out.previews[2].text, "()"), std::string::npos);
  EXPECT_NE(at(out.previews[2].text, "Old one"), std::string::npos);
}

TEST_F(ScheduleReports, ListingWithoutAnyTaskShowsTheNoteAndNoPage) {
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Would you like to apply a query to this report?", No);
  host.expectMessage("Do you wish to PREVIEW this Report?", No);
  host.expectMessage("Nothing to Print.", Ok);
  EXPECT_EQ(ScheduleByDateReport(), 2);
  EXPECT_TRUE(out.printed.empty());
}

TEST_F(ScheduleReports, OneCategoryListsItsTasksInDateOrderWithAFixedDatePicture) {
  addTasks();
  addTask([&](Task& t) { t.Description = "Sweep"; t.Date = today() + 2; t.Time = testing::kNine - 360000;
                         t.Category = "home"; });
  OutputRecorder out(dir());
  m_pick = "Home";
  {
    ui::test::ScriptedHost host;  // no preview question, no query
    Print_SCH_OneCategory();
  }
  ASSERT_EQ(out.previews.size(), 1u);
  const std::string& text = out.previews[0].text;
  EXPECT_EQ(at(text, "Backup server"), std::string::npos);
  ASSERT_NE(at(text, "Sweep"), std::string::npos) << text;
  EXPECT_LT(at(text, "Sweep"), at(text, "Water plants"));  // same date, earlier time
  EXPECT_LT(at(text, "Water plants"), at(text, "Pay rent"));  // completed tasks too
  EXPECT_NE(at(text, "MAR 12,2026"), std::string::npos) << text;  // d3, not the user's d2

  m_pick = "Empty";
  {
    ui::test::ScriptedHost host;
    host.expectMessage("There are no records available to process.", Ok);
    Print_SCH_OneCategory();
  }
  m_pick.clear();
  {
    ui::test::ScriptedHost host;  // a cancelled picker ends without a word
    EXPECT_EQ(Print_SCH_OneCategory(), 2);
  }
  EXPECT_EQ(out.previews.size(), 1u);
}

TEST_F(ScheduleReports, ChecklistPutsEachDateOnItsOwnPage) {
  addTasks();
  addTask([&](Task& t) { t.Description = "Also Thursday"; t.Date = today() + 2; });
  criteria(1, 0, "Category");
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("does not contain a key by date", Ok);
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  ScheduleChecklistReport();
  ASSERT_EQ(out.previews.size(), 1u);
  // By category: General (12th), Home (13th, then 12th by description), Work (11th): a page each.
  EXPECT_EQ(out.previews[0].pdfPages, 4) << out.previews[0].text;
  const std::string& text = out.previews[0].text;
  EXPECT_NE(at(text, "Wednesday March 11, 2026"), std::string::npos) << text;
  EXPECT_NE(at(text, "Actual Start"), std::string::npos);
  EXPECT_NE(testing::linesWith(text, "Pay rent")[0].find("Done"), std::string::npos);
}

TEST_F(ScheduleReports, MemoWithFutureOccurrencesHeadsEachDate) {
  addTask([&](Task& t) {
    t.Description = "Stand-up";
    t.Message = "Say what you did";
    t.ScheduleType = "Custom";
    t.Every = 1;
    t.EveryType = "day(s)";
    t.Date = today();
  });
  criteria(0, 2, "Date", true);
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  ScheduleMemoReport();
  ASSERT_EQ(out.previews.size(), 1u);
  EXPECT_EQ(out.previews[0].pdfPages, 3);
  const std::string& text = out.previews[0].text;
  EXPECT_EQ(testing::linesWith(text, "Complete Schedule").size(), 3u) << text;
  EXPECT_EQ(testing::linesWith(text, "Say what you did").size(), 3u) << text;
  EXPECT_NE(at(text, "Thursday March 12, 2026"), std::string::npos) << text;
  EXPECT_EQ(workFilesLeft(), 0);
}

}  // namespace
}  // namespace ov::reports
