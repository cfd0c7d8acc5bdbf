#include "reports/calendar_report.h"

#include <algorithm>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"
#include "reports/criteria.h"
#include "reports/report_common.h"
#include "reports/report_run.h"
#include "reports/schedule_texts.h"
#include "reports/work_file.h"

namespace ov::reports {

namespace {

using report::Align;
using report::Canvas;
using report::Rgb;

constexpr int kColumnWidth = 1400;
constexpr Rgb kNavy = 0x000080;
constexpr Rgb kLightYellow = 0xFFFFD2;
constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kMonthItems =
    "January|February|March|April|May|June|July|August|September|October|November|December";

int32_t firstOfMonth(int32_t date) { return rt::DATE(rt::MONTH(date), 1, rt::YEAR(date)); }
int32_t lastOfMonth(int32_t date) { return rt::DATE(rt::MONTH(date) + 1, 1, rt::YEAR(date)) - 1; }

report::Layout calendarLayout() {
  report::Layout l;
  l.landscape = true;
  l.header = {400, 400, 10000, 700};
  l.detail = {400, 1100, 10000, 6604};
  l.footer = {400, 8000, 10000, 0};
  l.font.points = 10;
  return l;
}

struct DayBox {
  std::string text;
  int count = 0;
};

class CalendarRun : public ReportRun {
 public:
  CalendarRun() : ReportRun("PrintCalendarReport", calendarLayout()) {
    report().setHeader({700, [this](Canvas& c) {
                          c.box(90, 0, 9890, 320);
                          c.text(90, 50, 9890, 240, m_heading, c.font(14, true), Align::Center);
                          static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                                  "Thursday", "Friday", "Saturday"};
                          for (int d = 0; d < 7; ++d) {
                            c.box(kColumnWidth * d + 90, 400, 1360, 260);
                            c.text(kColumnWidth * d + 90, 440, 1360, 200, kDays[d], c.font(10, true), Align::Center);
                          }
                        }});
  }

 protected:
  bool prepare() override {
    criteriaDialogs().calendarSettings();
    if (criteriaCancelled()) return false;
    m_category = files::CAT.Category.str();
    m_first = RANGE.Date.From;
    m_last = RANGE.Date.To;
    m_work.create(m_first, m_last, rt::TODAY());
    m_work.select();
    return true;
  }
  bool asksPreview() const override { return false; }
  db::FileManager& mainFile() override { return files::Access_SCHEDULEWORKFILE; }
  std::vector<db::FileManager*> otherFiles() override { return {&files::Access_SCHEDULE}; }
  std::string fileLabel() const override { return "ScheduleWorkfile"; }
  db::Key key() override { return files::SCW_KeyDate; }
  std::string filter() override { return {}; }
  std::string title() const override { return "Calendar"; }

  // The whole calendar is laid out as the view opens; the records themselves print nothing more.
  void viewOpened() override {
    openReport();
    for (int32_t month = firstOfMonth(m_first);; month = lastOfMonth(month) + 1) {
      printMonth(month);
      if (lastOfMonth(month) >= m_last) break;
    }
  }
  void printRecord() override {}

 private:
  void printMonth(int32_t firstDay) {
    const MonthGrid g = monthGrid(firstDay);
    RANGE.Date.From = g.first;
    RANGE.Date.To = g.last;
    DayBox boxes[6][7];
    files::SCW = files::ScheduleRec{};
    files::SCW.Date = g.first;
    if (files::SCHEDULEWORKFILE.setFrom(files::SCW_KeyDate) == rt::Err::None) {
      while (files::SCHEDULEWORKFILE.next() == rt::Err::None && files::SCW.Date <= g.last) {
        if (files::SCW.Disabled) continue;
        if (!m_category.empty() && !(files::SCW.Category == std::string_view(m_category))) continue;
        DayBox& box = boxes[gridRow(g, files::SCW.Date) - 1][gridColumn(files::SCW.Date) - 1];
        std::string line = rt::LOWER(rt::FORMAT(files::SCW.Time, "@t7")) + ": " + std::string(files::SCW.Description.view());
        box.text = rt::CLIP(box.text).empty() ? line : rt::CLIP(box.text) + "\r\n" + line;
        if (box.text.size() > 1024) box.text.resize(1024);
        ++box.count;
      }
    }
    const std::string monthTitle = std::string(kMonthNames[rt::MONTH(g.first) - 1]) + " " +
                                   std::to_string(rt::YEAR(g.first));
    m_heading = m_category.empty() ? monthTitle : (m_category + " - " + monthTitle).substr(0, 80);
    (void)rt::putIniValues(monthTitle,
                           {{"TextBoxHeight", std::to_string(g.boxHeight)},
                            {"NumberOfWeeks", std::to_string(g.weeks)},
                            {"DOWOffset", std::to_string(g.dowOffset)},
                            {"RANGE:Date:To", rt::FORMAT(g.last, "@d17")},
                            {"RANGE:Date:From", rt::FORMAT(g.first, "@d17")}},
                           ".\\OV_RPTS.INI");  // a record of what was printed; nothing reads it
    if (m_printed) report().endPage();
    m_printed = true;
    report().print({6594, [g, &boxes](Canvas& c) {
                      for (int32_t d = g.first; d <= g.last; ++d) {
                        const int col = gridColumn(d), row = gridRow(g, d);
                        const int x = kColumnWidth * (col - 1), y = g.boxHeight * (row - 1);
                        const DayBox& box = boxes[row - 1][col - 1];
                        c.filledBox(x + 90, y + 100, 1360, g.boxHeight - 20, kLightYellow, true, kNavy);
                        report::Font day = c.font(11, true);
                        day.color = kNavy;
                        c.text(x + 1190, y + 100, 200, 167, std::to_string(rt::DAY(d)), day);
                        if (box.count > 0) {
                          report::Font count = c.font(8, true);
                          count.color = kNavy;
                          c.text(x + 110, y + 100, 1000, 167,
                                 std::to_string(box.count) + " task" + (box.count > 1 ? "s" : ""), count);
                        }
                        if (!rt::CLIP(box.text).empty()) {
                          report::Item& t =
                              c.text(x + 110, y + 270, 1300, g.boxHeight - 200, rt::CLIP(box.text), c.font(8));
                          t.wrap = true;  // within the box, under the day: lines that do not fit are not shown
                        }
                      }
                    }});
  }

  ScheduleWorkFile m_work;
  std::string m_category, m_heading;
  int32_t m_first = 0, m_last = 0;
  bool m_printed = false;
};

class SelectCalendarSettingsWindow : public ui::WindowManager {
 public:
  SelectCalendarSettingsWindow() : ui::WindowManager("SelectCalendarSettings") {}

  ui::Level Init() override {
    if (files::Access_CATEGORIES.Open() == rt::Err::None) m_opened = true;
    std::string categories;
    (void)files::CATEGORIES.set(files::CAT_KeyCategory);
    while (files::CATEGORIES.next() == rt::Err::None)
      categories += (categories.empty() ? "" : "|") + files::CAT.Category.str();
    std::string years;
    for (const std::string& y : calendarYears(rt::TODAY())) years += (years.empty() ? "" : "|") + y;
    const int32_t today = rt::TODAY();
    m_fromMonth = m_toMonth = kMonthNames[rt::MONTH(today) - 1];
    m_fromYear = m_toYear = std::to_string(rt::YEAR(today));
    m_all = 1;
    files::CAT.Category.clear();

    ui::Window& w = window();
    w.setTitle("Print Calendar");
    w.at(-1, -1, 200, 96).resizable();
    w.prompt("?Prompt:From", "&Print calendar for:").at(6, 8, 70, 10);
    m_fromMonthC = w.dropList("?FromMonth", kMonthItems).at(78, 6, 60, 12).tip("Select month").use(m_fromMonth).feq();
    m_fromYearC = w.dropList("?FromYear", years).at(142, 6, 50, 12).use(m_fromYear).feq();
    w.prompt("?Prompt:To", "To:").at(6, 24, 70, 10);
    m_toMonthC = w.dropList("?ToMonth", kMonthItems).at(78, 22, 60, 12).tip("Select month").use(m_toMonth).feq();
    m_toYearC = w.dropList("?ToYear", years).at(142, 22, 50, 12).use(m_toYear).feq();
    m_allC = w.check("?AllCategories", "Print all categories").at(6, 40, 120, 10).use(m_all).feq();
    m_categoryPrompt = w.prompt("?Prompt:Category", "&Print category:").at(6, 56, 70, 10).disabled().feq();
    m_categoryC = w.dropList("?CAT:Category", categories).at(78, 54, 114, 12).use(files::CAT.Category).disabled().feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(90, 76, 50, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(144, 76, 50, 14).feq();
    cancelCriteria();
    Open();
    m_position.Init(*this, files::globalIni(), true);
    AddItem(m_position);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int f = ui::ACCEPTED();
    Update();
    CalendarChoice c = choice();
    if (f == m_fromMonthC) c.correct(CalendarChoice::Changed::FromMonth);
    else if (f == m_fromYearC) c.correct(CalendarChoice::Changed::FromYear);
    else if (f == m_toMonthC) c.correct(CalendarChoice::Changed::ToMonth);
    else if (f == m_toYearC) c.correct(CalendarChoice::Changed::ToYear);
    else if (f == m_allC) {
      window().setProp(m_categoryPrompt, ui::Prop::Disable, m_all ? 1 : 0);
      window().setProp(m_categoryC, ui::Prop::Disable, m_all ? 1 : 0);
      if (!m_all) ui::SELECT(m_categoryC);
    } else if (f == OkControl) {
      c.correct(CalendarChoice::Changed::FromYear);
      if (m_all) files::CAT.Category.clear();
      RANGE.Date.From = c.rangeFrom();
      RANGE.Date.To = c.rangeTo();
      GLO.ReportOrder = "Sch:KeyDate";
      GLO.ReportFilter = "Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To";
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    } else if (f == CancelControl) {
      SetResponse(ui::RequestCancelled);
      return ui::Level::Notify;
    }
    setChoice(c);
    window().display();
    return WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response == ui::RequestCompleted ? 1 : 2);
    const ui::Level rv = WindowManager::Kill();
    if (m_opened) (void)files::Access_CATEGORIES.Close();
    m_opened = false;
    return rv;
  }

 private:
  CalendarChoice choice() const {
    CalendarChoice c;
    c.fromMonth = m_fromMonth.str();
    c.fromYear = m_fromYear.str();
    c.toMonth = m_toMonth.str();
    c.toYear = m_toYear.str();
    return c;
  }
  void setChoice(const CalendarChoice& c) {
    m_fromMonth = c.fromMonth;
    m_fromYear = c.fromYear;
    m_toMonth = c.toMonth;
    m_toYear = c.toYear;
  }

  rt::String<9> m_fromMonth, m_toMonth;
  rt::String<4> m_fromYear, m_toYear;
  uint8_t m_all = 1;
  int m_fromMonthC = 0, m_fromYearC = 0, m_toMonthC = 0, m_toYearC = 0, m_allC = 0, m_categoryPrompt = 0,
      m_categoryC = 0;
  bool m_opened = false;
  ui::WindowPositionKeeper m_position;
};

}  // namespace

MonthGrid monthGrid(int32_t anyDayOfMonth) {
  MonthGrid g;
  g.first = firstOfMonth(anyDayOfMonth);
  g.last = lastOfMonth(anyDayOfMonth);
  g.dowOffset = g.first % 7;
  g.weeks = (g.last - g.first + g.dowOffset) / 7 + 1;
  g.boxHeight = 6360 / g.weeks;
  return g;
}

int gridRow(const MonthGrid& g, int32_t date) { return (date - g.first + g.dowOffset) / 7 + 1; }
int gridColumn(int32_t date) { return date % 7 + 1; }

void CalendarChoice::correct(Changed changed) {
  auto months = [&] { return std::pair{monthNumber(fromMonth), monthNumber(toMonth)}; };
  switch (changed) {
    case Changed::FromYear:
      if (fromYear > toYear) toYear = fromYear;
      [[fallthrough]];
    case Changed::FromMonth:
      if (fromYear == toYear && months().first > months().second) toMonth = fromMonth;
      break;
    case Changed::ToYear:
      if (fromYear > toYear) fromYear = toYear;
      [[fallthrough]];
    case Changed::ToMonth:
      if (fromYear == toYear && months().first > months().second) fromMonth = toMonth;
      break;
  }
}

int32_t CalendarChoice::rangeFrom() const {
  return rt::DATE(monthNumber(fromMonth), 1, static_cast<int32_t>(rt::textToNumber(fromYear)));
}

int32_t CalendarChoice::rangeTo() const {
  return rt::DATE(monthNumber(toMonth) + 1, 1, static_cast<int32_t>(rt::textToNumber(toYear))) - 1;
}

std::vector<std::string> calendarYears(int32_t today) {
  std::vector<std::string> out;
  for (int y = rt::YEAR(today) - 5; y <= rt::YEAR(today) + 5; ++y) out.push_back(std::to_string(y));
  return out;
}

int PrintCalendarReport() { return CalendarRun().Run(); }

void SelectCalendarSettings() {
  SelectCalendarSettingsWindow w;
  w.Run();
}

}  // namespace ov::reports
