// What the reports share: the user's date and time pictures, weekday names, the criteria dialogs
// as the reports call them, and a few band pieces.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/report/report.h"
#include "reports/custom_report.h"

namespace ov::reports {

// A date in the user's picture (FORMAT:DATE), a time in FORMAT:TIME; blank for 0.
std::string userDate(int32_t date);
std::string userTime(int32_t time);
// The weekday of a day number, "Sunday" .. "Saturday".
std::string weekdayName(int32_t date);

// The dialogs the reports open before they read anything. The program's are the windows of
// criteria_dialogs.h; tests may put their own in place.
struct CriteriaDialogs {
  std::function<void()> reportParameters;  // fills the criteria globals
  std::function<void()> selectCategories;  // CAT buffer and GLOBALRESPONSE
  std::function<void()> setReportTitle;    // ReportTitle and GLOBALRESPONSE
  std::function<void()> calendarSettings;  // RANGE, the CAT buffer, GLO.ReportOrder/ReportFilter
  std::function<std::optional<CustomDefinition>()> customReports;  // the chosen design
};
CriteriaDialogs& criteriaDialogs();

// A light grey bar across `width` with captions at the given offsets.
void headingBar(report::Canvas& c, int y, int width, int height,
                const std::vector<std::pair<int, std::string>>& captions, const report::Font& font);

}  // namespace ov::reports
