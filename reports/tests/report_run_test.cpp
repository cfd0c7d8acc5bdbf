#include "reports/report_run.h"

#include <gtest/gtest.h>

#include "datalib/files.h"
#include "platform/report/output.h"
#include "platform/rt/ini.h"
#include "reports/tests/fixture.h"
#include "reports/tests/output_recorder.h"
#include "scheduler/frame_commands.h"

namespace ov::reports {
namespace {

using testing::at;
using testing::OutputRecorder;
using ui::BUTTON::Ignore;
using ui::BUTTON::No;
using ui::BUTTON::Ok;
using ui::BUTTON::Yes;

// Lists the categories one per line; at the `cancelAt`-th record the user presses Cancel.
class CategoryRun : public ReportRun {
 public:
  explicit CategoryRun(int cancelAt = 0) : ReportRun("CategoryRun"), m_cancelAt(cancelAt) {
    report().setHeader({300, [](report::Canvas& c) { c.text(0, 0, 4000, 200, "Heading"); }});
    report().setFooter({200, [](report::Canvas& c) { c.text(0, 0, 2000, 200, "Foot " + std::to_string(c.pageNumber())); }});
  }
  std::string filterText;
  int printed = 0;

 protected:
  db::FileManager& mainFile() override { return files::Access_CATEGORIES; }
  std::string fileLabel() const override { return "Categories"; }
  db::Key key() override { return files::CAT_KeyCategory; }
  std::string filter() override { return filterText; }
  int recordsPerCycle() const override { return 3; }
  std::vector<std::span<const FieldLabel>> labelTables() const override { return {categoryFieldLabels()}; }
  std::string title() const override { return "Categories"; }
  void printRecord() override {
    ++printed;
    const std::string name = files::CAT.Category.str();
    report().print({200, [name](report::Canvas& c) { c.text(0, 0, 4000, 200, "Row " + name); }});
    if (printed == m_cancelAt) cancelPressed();
  }

 private:
  int m_cancelAt;
};

class ReportRunTest : public testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    for (const char* c : {"A1", "A2", "A3", "A4", "A5", "A6"}) addCategory(c);
  }
};

TEST_F(ReportRunTest, CancellingDuringTheRun) {
  struct Case {
    const char* name;
    int previewAnswer;            // Yes preview, No print
    int confirm;                  // the "Are you sure" answer
    int partial;                  // the "Preview what was generated" answer, 0 when not asked
    int wantResponse;
    int wantPreviews, wantPrinted;
    int wantRows;                 // rows in what was shown
  };
  const Case cases[] = {
      {"preview, confirm, show the part made", Yes, Yes, Yes, 2, 1, 0, 2},
      {"preview, confirm, show nothing", Yes, Yes, No, 2, 0, 0, 0},
      {"preview, confirm, ignore and go on", Yes, Yes, Ignore, 2, 1, 0, 6},
      {"preview, not confirmed", Yes, No, 0, 2, 1, 0, 6},
      {"printing, confirmed: nothing printed, no note", No, Yes, 0, 2, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OutputRecorder out(dir());
    ui::test::ScriptedHost host;
    host.expectMessage("Do you wish to PREVIEW this Report?", c.previewAnswer);
    host.expectMessage("Are you sure you want to CANCEL this Report?", c.confirm);
    if (c.partial) host.expectMessage("Preview Report generated so far?", c.partial);
    CategoryRun run(2);
    EXPECT_EQ(run.Run(), c.wantResponse);
    EXPECT_EQ(files::GLOBALRESPONSE, c.wantResponse);
    ASSERT_EQ(static_cast<int>(out.previews.size()), c.wantPreviews);
    EXPECT_EQ(static_cast<int>(out.printed.size()), c.wantPrinted);
    if (c.wantPreviews) {
      EXPECT_EQ(static_cast<int>(testing::linesWith(out.previews[0].text, "Row A").size()), c.wantRows)
          << out.previews[0].text;
    }
    EXPECT_FALSE(host.pending());
  }
}

// Lists many categories one per timer event, so the user has time to press keys.
class SlowRun : public CategoryRun {
 protected:
  int recordsPerCycle() const override { return 1; }
};

TEST_F(ReportRunTest, EscAsksTheSameConfirmationAsCancel) {
  for (int i = 0; i < 200; ++i) addCategory(("B" + std::to_string(1000 + i)).c_str());
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", No);
  host.expectMessage("Are you sure you want to CANCEL this Report?", No);
  host.expectMessage("Are you sure you want to CANCEL this Report?", Yes);
  int response = 0;
  ui::test::runScript([&](ui::test::Driver& d) {
    d.later([&] { response = SlowRun().Run(); });
    ui::test::WindowDriver w = d.waitWindow("CategoryRun:Progress");
    w.key("", ui::Key::Esc);     // No: the run goes on
    w.press("?Progress:Cancel");  // Yes: it stops
    d.waitClosed(w);
  });
  EXPECT_EQ(response, 2);
  EXPECT_TRUE(out.printed.empty());
}

TEST_F(ReportRunTest, AFilterTheViewRejectsIsReportedAndIgnored) {
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  host.expectMessage("View Open Error", Ok);
  CategoryRun run;
  run.filterText = "CAT:NoSuchField = 1";
  run.Run();
  ASSERT_EQ(out.previews.size(), 1u);
  EXPECT_EQ(testing::linesWith(out.previews[0].text, "Row A").size(), 6u);
}

TEST_F(ReportRunTest, AnEmptySelectionGivesOnePageAndThePreviewPrintsOnRequest) {
  OutputRecorder out(dir());
  out.previewAnswer = 1;
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  CategoryRun run;
  run.filterText = "CAT:Category = 'none'";
  EXPECT_EQ(run.Run(), 1);
  ASSERT_EQ(out.previews.size(), 1u);
  EXPECT_EQ(out.previews[0].pdfPages, 1);
  EXPECT_NE(at(out.previews[0].text, "Heading"), std::string::npos);
  EXPECT_NE(at(out.previews[0].text, "Foot 1"), std::string::npos);
  ASSERT_EQ(out.printed.size(), 1u);  // printed from the preview
  EXPECT_EQ(run.filterDescription(), "Category = 'none'");
}

TEST_F(ReportRunTest, APrinterFailureIsReportedNotTakenAsPrinted) {
  OutputRecorder out(dir());
  out.printFails = true;
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", No);
  host.expectMessage("The report was not printed.", Ok);
  CategoryRun run;
  EXPECT_EQ(run.Run(), 2);
}

// The categories with a query step over `fields`.
class QueriedRun : public CategoryRun {
 public:
  std::vector<QueryField> fields{{"Category", "CAT:Category", "@s20", 20, 1, 1, ""}};

 protected:
  bool hasQueryStep() const override { return true; }
  std::span<const QueryField> queryFields() const override { return fields; }
  std::string queryTable() const override { return "CATEGORIES"; }
  std::string defaultQuery() const override { return "CAT:Category <> 'A1'"; }
  std::string filter() override { return queryText(); }
};

TEST_F(ReportRunTest, AFieldListTheWizardCannotReadIsReportedAndTheDefaultQueryKept) {
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Query Wizard Error# 4", Ok);  // no query question follows
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  QueriedRun run;
  run.fields[0].length = 0;
  run.Run();
  EXPECT_EQ(run.queryText(), "CAT:Category <> 'A1'");
  ASSERT_EQ(out.previews.size(), 1u);
  EXPECT_EQ(testing::linesWith(out.previews[0].text, "Row A").size(), 5u);
}

TEST_F(ReportRunTest, TheWizardRefusesNamesTheRecordLacksAndCancelKeepsTheQuery) {
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Would you like to apply a query to this report?", Yes);
  host.expectMessage("Invalid Query", Ok);
  host.expectMessage("Do you wish to PREVIEW this Report?", Yes);
  QueriedRun run;
  testing::runWithQueryWizard([&] { run.Run(); }, [](ui::test::WindowDriver& q) {
    q.press("?Manual");
    q.type("?Expression", "CAT:NoSuchField = 1");
    q.press("?Finish");  // refused: the wizard stays open
    q.press("?Cancel");
  });
  EXPECT_EQ(run.queryText(), "CAT:Category <> 'A1'");
  ASSERT_EQ(out.previews.size(), 1u);
  EXPECT_EQ(testing::linesWith(out.previews[0].text, "Row A").size(), 5u);
}

TEST_F(ReportRunTest, DisplayStringsComeFromTheIniFile) {
  ASSERT_EQ(rt::PUTINI("DISPLAY STRINGS 2.0", "AskPrvwDialogText", "Look first?", "CPCSRPTS.INI"), rt::Err::None);
  ASSERT_EQ(rt::PUTINI("DISPLAY STRINGS 2.0", "NothingToPrntText", "Empty!", "CPCSRPTS.INI"), rt::Err::None);
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  host.expectMessage("Look first?", No);
  CategoryRun run;
  run.filterText = "CAT:Category = 'none'";
  run.Run();
  EXPECT_EQ(out.printed.size(), 1u);  // the closing band makes a page
  const DisplayStrings s = LoadReportDisplayStrings("Ask", "Title", "User", "");
  EXPECT_EQ(s.AskPrvwDialogText, "Ask");  // WIN.INI holds none of them
  EXPECT_EQ(s.ProgWinUsrText, "User");
  EXPECT_EQ(s.NothingToPrvwText, "Nothing to Preview.");
}

TEST(ReportProgram, TheMainProgramsReportCommandsFindTheProgram) {
  // The main program offers its Reports menu once ov_rpts lies beside it.
  EXPECT_TRUE(scheduler::CommandAvailable(-63));
  EXPECT_TRUE(scheduler::CommandAvailable(-80));
}

}  // namespace
}  // namespace ov::reports
