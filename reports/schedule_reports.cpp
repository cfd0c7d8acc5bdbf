#include "reports/schedule_reports.h"

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "reports/criteria.h"
#include "reports/report_common.h"
#include "reports/report_run.h"
#include "reports/schedule_texts.h"
#include "reports/work_file.h"

namespace ov::reports {

namespace {

using files::SCH;
using report::Align;
using report::Band;
using report::Canvas;
using report::Layout;

constexpr const char* kDefaultQuery = "NOT(SCH:Completed) AND NOT(SCH:Disabled)";

// "Done" when completed, else "Off" when disabled, else blank.
std::string statusWord(const files::ScheduleRec& t) {
  if (t.Completed) return "Done";
  if (t.Disabled) return "Off";
  return {};
}

Band pageFooter(int width) {
  return {200, [width](Canvas& c) { c.text(0, 0, width, 200, "Page " + std::to_string(c.pageNumber())); }};
}

// Runs `body` with the criteria dialog's answers; answers false when the dialog was cancelled.
bool askCriteria() {
  criteriaDialogs().reportParameters();
  return !criteriaCancelled();
}

// ---- in brief ----------------------------------------------------------------------------------

Layout briefLayout() {
  Layout l;
  l.header = {729, 1000, 6500, 490};
  l.detail = {729, 1500, 6500, 7875};
  l.footer = {729, 9385, 6500, 0};
  l.font.points = 10;
  return l;
}

// A report over SCHEDULE (`workFile` false) or the work file of its future occurrences, in the
// order and with the filter the criteria dialogs chose.
class CriteriaScheduleRun : public ReportRun {
 public:
  CriteriaScheduleRun(std::string name, Layout layout, bool workFile)
      : ReportRun(std::move(name), std::move(layout)), m_workFile(workFile) {}

 protected:
  bool prepare() override { m_values = currentCriteriaValues(); return true; }
  void bindNames(rt::Bindings& names) override { bindCriteria(names, m_values); }
  db::FileManager& mainFile() override {
    return m_workFile ? files::Access_SCHEDULEWORKFILE : files::Access_SCHEDULE;
  }
  std::string fileLabel() const override { return m_workFile ? "ScheduleWorkfile" : "Schedule"; }
  db::Key key() override { return scheduleKeyOf(GLO.ReportOrder.view(), m_workFile); }
  std::string filter() override {
    return m_workFile ? workFileFilter(GLO.ReportFilter.view()) : GLO.ReportFilter.str();
  }
  std::vector<std::span<const FieldLabel>> labelTables() const override {
    return {m_workFile ? workFileFieldLabels() : scheduleFieldLabels()};
  }
  int recordsPerCycle() const override { return m_workFile ? 50 : 25; }

  const bool m_workFile;

 private:
  CriteriaValues m_values;
};

// The brief listing over SCHEDULE (`workFile` false) or the work file.
class BriefReport : public CriteriaScheduleRun {
 public:
  explicit BriefReport(bool workFile)
      : CriteriaScheduleRun(workFile ? "CompleteScheduleBriefReport" : "ScheduleBriefReport", briefLayout(), workFile) {
    const std::string heading = workFile ? "Complete Schedule in Brief" : "Schedule in Brief";
    report().setHeader({490, [heading](Canvas& c) {
                          c.text(0, 0, 6500, 200, heading, c.font(10, true), Align::Center);
                          headingBar(c, 250, 6500, 220,
                                     {{52, "Date"}, {938, "Time"}, {1563, "Category"}, {3021, "Description"},
                                      {6073, "Done"}},
                                     c.font());
                        }});
    report().setFooter(pageFooter(6500));
  }

 protected:
  std::string title() const override { return m_workFile ? "Complete Schedule in Brief" : "Schedule in Brief"; }

  void printRecord() override {
    const files::ScheduleRec& t = m_workFile ? files::SCW : files::SCH;
    const std::string date = userDate(t.Date), time = userTime(t.Time), category = t.Category.str(),
                      description = t.Description.str(), status = statusWord(t);
    report().print({292, [=](Canvas& c) {
                      c.text(52, 40, 833, 200, date);
                      c.text(938, 40, 604, 200, time);
                      c.text(1563, 40, 1396, 200, category);
                      c.text(3021, 40, 3000, 200, description);
                      c.box(6073, 20, 396, 220);
                      c.text(6073, 40, 396, 200, status, c.font(), Align::Center);
                      c.line(0, 280, 6500);
                    }});
  }

};

// The entry of a report with a complete variant: criteria, then the plain run or the work file
// with the complete run. `warnNoDate` adds the checklist's warning for an order without a date.
template <typename Plain, typename Complete>
int runWithCriteria(bool warnNoDate, bool cancelMessage) {
  if (!askCriteria()) {
    if (cancelMessage)
      ui::MESSAGE("You did not enter the report order and selection criteria.", "Report cancelled");
    files::GLOBALRESPONSE = 2;
    return 2;
  }
  if (warnNoDate && rt::UPPER(GLO.ReportOrder.view()).find("DATE") == std::string::npos)
    ui::MESSAGE("You have selected an order that does not contain a key by date.  Since a page break is issued "
                "when the date of a scheduled tasks changes, the report may be long.",
                "Warning");
  if (files::REPORT.IncludeFutureOccurances) {
    ScheduleWorkFile work;
    (void)work.create(RANGE.Date.From, RANGE.Date.To, rt::TODAY());
    work.select();
    Complete run;
    int response = run.Run();
    work.remove();
    return response;
  }
  Plain run;
  return run.Run();
}

// ---- by date and by category -----------------------------------------------------------------

Layout listingLayout() {
  Layout l;
  l.header = {500, 500, 7500, 677};
  l.detail = {500, 1240, 7500, 9281};
  l.footer = {500, 10500, 7500, 0};
  l.font.points = 9;
  return l;
}

class ListingReport : public ReportRun {
 public:
  explicit ListingReport(bool byCategory)
      : ReportRun(byCategory ? "ScheduleByCategoryReport" : "ScheduleByDateReport", listingLayout()),
        m_byCategory(byCategory) {
    report().setHeader({677, [this](Canvas& c) {
                          c.text(0, 0, 7500, 180, title(), c.font(10, true));
                          c.text(0, 180, 7500, 160, m_framed.substr(0, std::min<size_t>(m_framed.size(), 255)));
                          headingBar(c, 450, 7500, 200,
                                     {{0, "Date"}, {875, "Time"}, {1604, "Task Type"}, {3135, "Category"},
                                      {4448, "Description"}},
                                     c.font());
                        }});
    report().setFooter(pageFooter(7500));
  }

 protected:
  bool hasQueryStep() const override { return true; }
  std::span<const QueryField> queryFields() const override { return scheduleQueryFields(); }
  std::string queryTable() const override { return "SCHEDULE"; }
  std::string defaultQuery() const override { return kDefaultQuery; }
  void bindNames(rt::Bindings& names) override { names.bind("LOC:ScheduleType", m_scheduleType); }
  db::FileManager& mainFile() override { return files::Access_SCHEDULE; }
  std::string fileLabel() const override { return "Schedule"; }
  db::Key key() override { return m_byCategory ? files::SCH_KeyCategory : files::SCH_KeyDate; }
  std::vector<std::span<const FieldLabel>> labelTables() const override { return {scheduleFieldLabels()}; }
  bool hasClosingBand() const override { return false; }
  int previewOption() const override { return 8; }
  std::string title() const override { return m_byCategory ? "Schedule by Category" : "Schedule by Date"; }

  void viewOpened() override {
    m_framed = queryText() == kDefaultQuery ? std::string("(Active Tasks)")
                                            : "(" + rt::CLIP(filterDescription()) + ")";
  }

  void printRecord() override {
    const files::ScheduleRec t = SCH;
    m_scheduleType = ScheduleDescriptionText(t);
    const std::string scheduleType = m_scheduleType.str();
    report().print({1667, [t, scheduleType](Canvas& c) {
                      const int h = 150;
                      c.text(0, 0, 875, h, userDate(t.Date));
                      c.text(875, 0, 583, h, userTime(t.Time));
                      c.text(1604, 0, 1500, h, t.TaskType.str());
                      c.text(3135, 0, 1300, h, t.Category.str());
                      c.text(4448, 0, 3050, h, t.Description.str());
                      c.text(1604, 160, 5896, h, scheduleType);
                      c.text(0, 320, 1000, h, "Ends:");
                      c.text(1000, 320, 875, h, userDate(t.ExpiryDate));
                      c.text(1900, 320, 700, h, userTime(t.ExpiryTime));
                      c.check(4448, 320, 3000, h, "Skip Next Time", t.SkipNextTime);
                      c.text(0, 480, 1000, h, "Advance Warning:");
                      c.text(1000, 480, 875, h, userDate(t.AdvanceWarnDate));
                      c.text(1900, 480, 700, h, userTime(t.AdvanceWarnTime));
                      c.check(4448, 480, 3000, h, "Issued", t.AdvanceWarned);
                      c.text(0, 640, 1000, h, "Last Run:");
                      c.text(1000, 640, 875, h, userDate(t.LastRunDate));
                      c.text(1900, 640, 700, h, userTime(t.LastRunTime));
                      c.check(0, 800, 900, h, "Alarm", t.Alarm);
                      c.text(1000, 800, 6500, h, std::string(t.AlarmFile.view()).substr(0, 254));
                      c.check(0, 980, 3600, h, "Warn if not run on specified date", t.Warn);
                      c.check(0, 1140, 3600, h, "Skip if not run at specified time", t.SkipIfMissed);
                      c.check(0, 1300, 3600, h, "Skip if a script is running", t.SkipIfScriptActive);
                      c.check(3800, 980, 3600, h, "No History", t.NoHistory);
                      c.check(3800, 1140, 3600, h, "Give option to skip before performing", t.UserSkip);
                      c.check(3800, 1300, 3600, h, "Disabled", t.Disabled);
                      c.check(3800, 1460, 3600, h, "Skipped", t.Skipped);
                    }});
    const std::string type = t.TaskType.str();
    if (type == "Run Program" || type == "Both")
      report().print({344, [t](Canvas& c) {
                        c.text(0, 0, 1000, 150, "Command:");
                        c.text(1000, 0, 6500, 150, t.Command.str());
                        c.text(0, 170, 1000, 150, "Start in:");
                        c.text(1000, 170, 6500, 150, t.Path.str());
                      }});
    if (type == "Display Message" || type == "Both")
      report().print({167, [t](Canvas& c) {
                        c.text(0, 0, 1000, 150, "Message:");
                        c.textBlock(1000, 0, 5177, t.Message.str(), c.font());
                      }});
    if (!t.ExceptOther.isBlank() || t.ExceptTime || t.ExceptHolidays || t.ExceptWeekdays || t.ExceptWeekends)
      report().print({667, [t](Canvas& c) {
                        c.text(0, 0, 1500, 150, t.ShiftType.str());
                        c.check(1604, 0, 2000, 150, "Except Weekends", t.ExceptWeekends);
                        c.check(1604, 160, 2000, 150, "Except Weekdays", t.ExceptWeekdays);
                        c.check(1604, 320, 2000, 150, "Except Holidays", t.ExceptHolidays);
                        c.check(1604, 480, 2000, 150, "Except Time", t.ExceptTime);
                        c.text(3700, 480, 800, 150, userTime(t.ExceptTimeBegin));
                        c.text(4600, 480, 800, 150, userTime(t.ExceptTimeEnd));
                      }});
    report().print({167, [](Canvas& c) { c.line(0, 80, 7500); }});
  }

 private:
  bool m_byCategory;
  rt::String<255> m_scheduleType;
  std::string m_framed;
};

// ---- one category ------------------------------------------------------------------------------

Layout oneCategoryLayout() {
  Layout l;
  l.header = {1000, 1000, 6000, 594};
  l.detail = {1000, 1604, 6000, 7406};
  l.footer = {1000, 9000, 6000, 0};
  l.font.points = 10;
  return l;
}

class OneCategoryReport : public ReportRun {
 public:
  OneCategoryReport() : ReportRun("Print:SCH:OneCategory", oneCategoryLayout()) {
    report().setHeader({594, [this](Canvas& c) {
                          c.text(0, 0, 6000, 200, m_category, c.font(10, true));
                          headingBar(c, 300, 6000, 220, {{708, "Date"}, {1646, "Time"}, {2406, "Description"}},
                                     c.font());
                        }});
    report().setFooter(pageFooter(6000));
  }

 protected:
  bool prepare() override {
    files::GLOBALREQUEST = 4;
    criteriaDialogs().selectCategories();
    if (files::GLOBALRESPONSE != 1) return false;
    m_category = files::CAT.Category.str();
    return true;
  }
  bool asksPreview() const override { return false; }
  db::FileManager& mainFile() override { return files::Access_SCHEDULE; }
  std::string fileLabel() const override { return "Schedule"; }
  db::Key key() override { return files::SCH_KeyCategoryDate; }
  std::string filter() override { return {}; }
  void setRanges(db::ViewManager& view) override { view.AddRange("SCH:Category", m_category); }
  bool hasClosingBand() const override { return false; }
  void nothingToShow() override {
    ui::MESSAGE("There are no records available to process.", "No Records", ui::Icon::Exclamation);
  }
  std::string title() const override { return "Schedule for " + m_category; }

  void printRecord() override {
    const std::string date = SCH.Date ? rt::FORMAT(SCH.Date, "@d3") : std::string(), time = userTime(SCH.Time),
                      description = SCH.Description.str();
    report().print({302, [=](Canvas& c) {
                      c.text(708, 60, 900, 200, date);
                      c.text(1646, 60, 700, 200, time);
                      c.text(2406, 60, 3500, 200, description);
                    }});
  }

 private:
  std::string m_category;
};

// ---- checklist and memo ----------------------------------------------------------------------

Layout dailyLayout() {
  Layout l;
  l.landscape = true;
  l.header = {500, 500, 10000, 300};
  l.detail = {500, 900, 10000, 7000};
  l.footer = {500, 8000, 10000, 0};
  l.font.points = 10;
  return l;
}

class DailyReport : public CriteriaScheduleRun {
 public:
  DailyReport(bool memo, bool workFile)
      : CriteriaScheduleRun(std::string(workFile ? "CompleteSchedule" : "Schedule") + (memo ? "MemoReport" : "ChecklistReport"),
                            dailyLayout(), workFile),
        m_memo(memo) {
    const std::string heading = workFile ? "Complete Schedule" : "Schedule";
    report().setHeader({300, [heading](Canvas& c) {
                          c.text(0, 0, 10000, 220, heading, c.font(12, true), Align::Center);
                        }});
    report().setFooter(pageFooter(10000));
  }

 protected:
  std::string title() const override { return m_workFile ? "Complete Schedule" : "Schedule"; }

  void printRecord() override {
    const files::ScheduleRec t = m_workFile ? files::SCW : files::SCH;
    if (!m_started || t.Date != m_date) {
      if (m_started) report().endPage();  // each date on a page of its own
      m_started = true;
      m_date = t.Date;
      const std::string dateLine = weekdayName(t.Date) + " " + rt::FORMAT(t.Date, "@d4");
      const bool memo = m_memo;
      report().print({520, [dateLine, memo](Canvas& c) {
                        c.text(0, 0, 10000, 220, dateLine, c.font(11, true), Align::Center);
                        std::vector<std::pair<int, std::string>> heads{{0, "Time"}, {1000, "Category"},
                                                                       {2600, "Description"}};
                        if (memo) {
                          heads.push_back({5400, "Message"});
                        } else {
                          heads.insert(heads.end(), {{5400, "Done"}, {6200, "Actual Start"}, {7500, "Actual End"},
                                                     {8800, "Initials"}});
                        }
                        headingBar(c, 280, 10000, 220, heads, c.font());
                      }});
    }
    const std::string time = userTime(t.Time), category = t.Category.str(), description = t.Description.str();
    if (m_memo) {
      const std::string message = t.Message.str();
      report().print({260, [=](Canvas& c) {
                        c.text(0, 40, 950, 200, time);
                        c.text(1000, 40, 1550, 200, category);
                        c.text(2600, 40, 2750, 200, description);
                        c.textBlock(5400, 40, 4600, message, c.font());
                      }});
    } else {
      const std::string status = statusWord(t);
      report().print({300, [=](Canvas& c) {
                        c.text(0, 60, 950, 200, time);
                        c.text(1000, 60, 1550, 200, category);
                        c.text(2600, 60, 2750, 200, description);
                        c.box(5400, 30, 500, 230);
                        c.text(5400, 60, 500, 200, status, c.font(), Align::Center);
                        c.line(6200, 260, 1200);
                        c.line(7500, 260, 1200);
                        c.line(8800, 260, 1100);
                      }});
    }
  }

 private:
  bool m_memo;
  bool m_started = false;
  int32_t m_date = 0;
};

struct BriefPlain : BriefReport {
  BriefPlain() : BriefReport(false) {}
};
struct BriefComplete : BriefReport {
  BriefComplete() : BriefReport(true) {}
};
struct ChecklistPlain : DailyReport {
  ChecklistPlain() : DailyReport(false, false) {}
};
struct ChecklistComplete : DailyReport {
  ChecklistComplete() : DailyReport(false, true) {}
};
struct MemoPlain : DailyReport {
  MemoPlain() : DailyReport(true, false) {}
};
struct MemoComplete : DailyReport {
  MemoComplete() : DailyReport(true, true) {}
};

}  // namespace

int ScheduleBriefReport() { return runWithCriteria<BriefPlain, BriefComplete>(false, true); }
int CompleteScheduleBriefReport() { return BriefComplete().Run(); }
int ScheduleByDateReport() { return ListingReport(false).Run(); }
int ScheduleByCategoryReport() { return ListingReport(true).Run(); }
int Print_SCH_OneCategory() { return OneCategoryReport().Run(); }
int ScheduleChecklistReport() { return runWithCriteria<ChecklistPlain, ChecklistComplete>(true, false); }
int ScheduleMemoReport() { return runWithCriteria<MemoPlain, MemoComplete>(true, false); }
int CompleteScheduleChecklistReport() { return ChecklistComplete().Run(); }
int CompleteScheduleMemoReport() { return MemoComplete().Run(); }
}  // namespace ov::reports
