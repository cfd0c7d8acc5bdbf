#include "reports/calendar_report.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/rt/ini.h"
#include "reports/criteria.h"
#include "reports/report_common.h"
#include "reports/tests/fixture.h"
#include "reports/tests/output_recorder.h"

namespace ov::reports {
namespace {

using testing::at;
using testing::linesWith;
using testing::OutputRecorder;
using Task = files::ScheduleRec;

TEST(CalendarGrid, WeeksBoxHeightAndOffsetFollowTheMonth) {
  struct Case {
    const char* name;
    int32_t day;
    int weeks, boxHeight, offset;
  };
  const Case cases[] = {
      {"February 2015 starts on a Sunday, 28 days", rt::DATE(2, 10, 2015), 4, 1590, 0},
      {"August 2026 starts on a Saturday, 31 days", rt::DATE(8, 20, 2026), 6, 1060, 6},
      {"April 2026 starts on a Wednesday", rt::DATE(4, 1, 2026), 5, 1272, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonthGrid g = monthGrid(c.day);
    EXPECT_EQ(g.weeks, c.weeks);
    EXPECT_EQ(g.boxHeight, c.boxHeight);
    EXPECT_EQ(g.dowOffset, c.offset);
  }
  MonthGrid april = monthGrid(rt::DATE(4, 1, 2026));
  EXPECT_EQ(gridRow(april, april.first), 1);
  EXPECT_EQ(gridColumn(april.first), 4);
  EXPECT_EQ(gridRow(april, april.last), 5);
}

TEST(CalendarSettings, CorrectionsKeepTheSpanForward) {
  using C = CalendarChoice::Changed;
  struct Case {
    const char* name;
    CalendarChoice in;
    C changed;
    const char *fromMonth, *fromYear, *toMonth, *toYear;
  };
  const Case cases[] = {
      {"to-month before from-month moves the from-month", {"May", "2026", "March", "2026"}, C::ToMonth, "March",
       "2026", "March", "2026"},
      {"from-month after to-month moves the to-month", {"May", "2026", "March", "2026"}, C::FromMonth, "May", "2026",
       "May", "2026"},
      {"from-year after to-year raises the to-year", {"March", "2027", "May", "2026"}, C::FromYear, "March", "2027",
       "May", "2027"},
      {"to-year before from-year lowers the from-year", {"May", "2027", "March", "2026"}, C::ToYear, "March", "2026",
       "March", "2026"},
      {"different years are left alone", {"November", "2025", "February", "2026"}, C::ToMonth, "November", "2025",
       "February", "2026"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CalendarChoice x = c.in;
    x.correct(c.changed);
    EXPECT_EQ(x.fromMonth, c.fromMonth);
    EXPECT_EQ(x.fromYear, c.fromYear);
    EXPECT_EQ(x.toMonth, c.toMonth);
    EXPECT_EQ(x.toYear, c.toYear);
  }
  CalendarChoice span{"November", "2005", "February", "2006"};
  EXPECT_EQ(span.rangeFrom(), rt::DATE(11, 1, 2005));
  EXPECT_EQ(span.rangeTo(), rt::DATE(2, 28, 2006));
  CalendarChoice december{"December", "2026", "December", "2026"};
  EXPECT_EQ(december.rangeTo(), rt::DATE(12, 31, 2026));
  // The years offered lie around today's, whatever the year.
  const std::vector<std::string> years = calendarYears(rt::DATE(6, 1, 2031));
  EXPECT_EQ(years.front(), "2026");
  EXPECT_EQ(years.back(), "2036");
}

class Calendar : public testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    m_saved = criteriaDialogs();
    criteriaDialogs().calendarSettings = [this] {
      if (m_cancel) {
        cancelCriteria();
        return;
      }
      RANGE.Date.From = m_choice.rangeFrom();
      RANGE.Date.To = m_choice.rangeTo();
      files::CAT.Category = m_category;
      GLO.ReportOrder = "Sch:KeyDate";
      GLO.ReportFilter = "Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To";
    };
  }
  void TearDown() override {
    criteriaDialogs() = m_saved;
    DataFolder::TearDown();
  }
  CalendarChoice m_choice{"March", "2026", "March", "2026"};
  std::string m_category;
  bool m_cancel = false;

 private:
  CriteriaDialogs m_saved;
};

TEST_F(Calendar, PrintsAMonthPerPageWithTheDaysTasks) {
  addTask([&](Task& t) {  // every day at 9:00
    t.Description = "Feed cat";
    t.ScheduleType = "Custom";
    t.Every = 1;
    t.EveryType = "day(s)";
    t.Date = rt::DATE(3, 1, 2026);
  });
  addTask([&](Task& t) { t.Description = "Dentist"; t.Date = rt::DATE(3, 12, 2026); t.Time = 14 * 360000 + 1;
                         t.Category = "Health"; });
  addTask([&](Task& t) { t.Description = "Early call"; t.Date = rt::DATE(3, 12, 2026); t.Time = 7 * 360000 + 1; });
  addTask([&](Task& t) { t.Description = "Hidden"; t.Date = rt::DATE(3, 13, 2026); t.Disabled = 1; });
  m_choice = {"February", "2026", "April", "2026"};
  OutputRecorder out(dir());
  {
    ui::test::ScriptedHost host;  // no preview question
    PrintCalendarReport();
  }
  ASSERT_EQ(out.previews.size(), 1u);
  EXPECT_EQ(out.previews[0].pdfPages, 3);
  const std::string& text = out.previews[0].text;
  ASSERT_NE(at(text, "February 2026"), std::string::npos) << text;
  EXPECT_LT(at(text, "February 2026"), at(text, "March 2026"));
  EXPECT_LT(at(text, "March 2026"), at(text, "April 2026"));
  EXPECT_NE(at(text, "Wednesday"), std::string::npos);
  EXPECT_EQ(at(text, "Hidden"), std::string::npos);
  EXPECT_NE(at(text, "3 tasks"), std::string::npos) << text;  // 12 March: two tasks and the daily one
  EXPECT_NE(at(text, "1 task"), std::string::npos);
  // Within a day the lines follow the time of day; times read like "7:00 am" in the system's form.
  ASSERT_NE(at(text, "Early call"), std::string::npos) << text;
  EXPECT_LT(at(text, "Early call"), at(text, "Dentist"));
  // No work file is left, and each month is recorded in OV_RPTS.INI.
  for (const auto& e : std::filesystem::directory_iterator(dir()))
    EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(e.path().filename().string()[0]))) << e.path();
  EXPECT_EQ(rt::GETINI("March 2026", "NumberOfWeeks", "", ".\\OV_RPTS.INI"), "5");
  EXPECT_EQ(rt::GETINI("March 2026", "DOWOffset", "", ".\\OV_RPTS.INI"), "0");
  EXPECT_EQ(rt::GETINI("February 2026", "TextBoxHeight", "", ".\\OV_RPTS.INI"), "1590");
  // The calendar builds its own work file: the user's future-occurrences setting is left alone.
  EXPECT_EQ(files::REPORT.IncludeFutureOccurances, 0);

  // One category: its tasks only, and the heading names it.
  m_category = "Health";
  m_choice = {"March", "2026", "March", "2026"};
  {
    ui::test::ScriptedHost host;
    PrintCalendarReport();
  }
  ASSERT_EQ(out.previews.size(), 2u);
  EXPECT_EQ(out.previews[1].pdfPages, 1);
  EXPECT_NE(at(out.previews[1].text, "Health - March 2026"), std::string::npos) << out.previews[1].text;
  EXPECT_EQ(at(out.previews[1].text, "Feed cat"), std::string::npos);
  EXPECT_NE(at(out.previews[1].text, "Dentist"), std::string::npos);
}

TEST_F(Calendar, ACancelledDialogPrintsNothing) {
  m_cancel = true;
  OutputRecorder out(dir());
  ui::test::ScriptedHost host;
  EXPECT_EQ(PrintCalendarReport(), 2);
  EXPECT_TRUE(out.previews.empty());
  EXPECT_FALSE(std::filesystem::exists(dir() / "OV_RPTS.INI"));
}

}  // namespace
}  // namespace ov::reports
