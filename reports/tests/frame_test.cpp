#include "reports/report_frame.h"

#include <gtest/gtest.h>

#include "datalib/sys_shutdown_class.h"
#include "platform/rt/command_line.h"
#include "platform/ui/testing/driver.h"
#include "reports/calendar_report.h"
#include "reports/criteria.h"
#include "reports/tests/fixture.h"
#include "reports/tests/output_recorder.h"

namespace ov::reports {
namespace {

using ReportProgramFrame = testing::DataFolder;

TEST(ReportMenu, TheCommandLineSelectsItsItemExactly) {
  struct Case {
    const char* argument;
    const char* want;  // the use name of the item, nullptr for none
  };
  const Case cases[] = {
      {"?ReportsContactsByCompany", "?ReportsContactsByCompany"},
      {"?ReportsCalendar  ", "?ReportsCalendar"},
      {"?PrintSCH:KeyDate", "?PrintSCH:KeyDate"},
      {"?reportscalendar", nullptr},
      {"?SeparatorCustomReports", "?SeparatorCustomReports"},
      {"Calendar", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    const ReportMenuItem* item = matchCommandLine(c.argument);
    if (!c.want) {
      EXPECT_EQ(item, nullptr);
      continue;
    }
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(item->useName, c.want);
  }
  // The separator is an item that starts nothing.
  EXPECT_EQ(matchCommandLine("?SeparatorCustomReports")->run, nullptr);
  EXPECT_EQ(runMenuItem(*matchCommandLine("?SeparatorCustomReports")), 0);
  EXPECT_STREQ(matchCommandLine("?ReportsContactsByCompany")->contactOrder, "Company");
  EXPECT_EQ(reportMenu().size(), 17u);
  EXPECT_EQ(matchCommandLine("?PrintSCH:KeyCategory")->stack, 50000);
}

TEST(ReportFrame, StatusDayAndTimerClamp) {
  rt::setSystemFormats({"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"});
  const int32_t sunday = rt::DATE(3, 8, 2026);
  ASSERT_EQ(sunday % 7, 0);
  EXPECT_EQ(statusDayText(sunday), "Sunday, 03/08/26");
  EXPECT_EQ(statusDayText(sunday + 3), "Wednesday, 03/11/26");
  EXPECT_EQ(clampFrameTimer(0), 100);
  EXPECT_EQ(clampFrameTimer(500), 100);
  EXPECT_EQ(clampFrameTimer(1), 1);
  EXPECT_EQ(clampFrameTimer(100), 100);
}

TEST_F(ReportProgramFrame, UserOnTheCommandLineBecomesTheUserAndGetsARecord) {
  rt::setCommandLine("ov_rpts ?ReportsCalendar User=Margaret");
  IdentifyUser();
  EXPECT_EQ(files::GLO.USER.str(), "Margaret");
  ASSERT_EQ(files::Access_USERS.Open(), rt::Err::None);
  files::U_.User = "Margaret";
  EXPECT_EQ(files::USERS.get(files::U_KeyUser), rt::Err::None);
  EXPECT_FALSE(files::U_.SourcePath.isBlank());
  // A second start leaves the record as it is.
  files::U_.Email = "m@example.org";
  ASSERT_EQ(files::USERS.put(), rt::Err::None);
  (void)files::Access_USERS.Close();
  IdentifyUser();
  ASSERT_EQ(files::Access_USERS.Open(), rt::Err::None);
  EXPECT_EQ(files::USERS.records(), 1);
  files::U_.User = "Margaret";
  ASSERT_EQ(files::USERS.get(files::U_KeyUser), rt::Err::None);
  EXPECT_EQ(files::U_.Email.str(), "m@example.org");
  (void)files::Access_USERS.Close();
  rt::setCommandLine("ov_rpts");
}

TEST_F(ReportProgramFrame, TheFrameShowsItsTitleMenuAndStatus) {
  files::PRODUCTNAME = "Orvane 2002";
  files::VERSIONNUMBER = "3.41";
  rt::setCommandLine("ov_rpts");
  ui::test::runScript([&](ui::test::Driver& d) {
    d.later([] { makeMain(false)->Run(); });
    ui::test::WindowDriver w = d.waitWindow("Main");
    EXPECT_EQ(w.title(), "Orvane 2002 Reports 3.41");
    EXPECT_TRUE(w.enabled("?ReportsCalendar"));
    EXPECT_TRUE(w.enabled("?ReportsCustomReports"));
    w.with([](ui::Window& win) { EXPECT_EQ(win.statusText(3), "Tuesday, 03/10/26"); });
    w.post(files::ShutdownEvent::EndSession);  // the end of the session closes the frame
    d.waitClosed(w);
  });
}

TEST_F(ReportProgramFrame, AUseNameOnTheCommandLineRunsItsReport) {
  addCategory("Errands");
  testing::OutputRecorder out(dir());
  rt::setCommandLine("ov_rpts ?PrintCAT:KeyCategory");
  ui::test::ScriptedHost host;
  host.expectMessage("Do you wish to PREVIEW this Report?", ui::BUTTON::No);
  ui::test::runScript([&](ui::test::Driver& d) {
    d.later([] { makeMain(false)->Run(); });
    ui::test::WindowDriver w = d.waitWindow("Main");
    EXPECT_TRUE(d.waitUntil([&] { return !out.printed.empty(); }));
    w.close();
    d.waitClosed(w);
  });
  rt::setCommandLine("ov_rpts");
  ASSERT_EQ(out.printed.size(), 1u);
  EXPECT_NE(out.printed[0].text.find("Errands"), std::string::npos);
}

}  // namespace
}  // namespace ov::reports
