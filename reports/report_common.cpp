#include "reports/report_common.h"

#include "datalib/globals.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "reports/calendar_report.h"
#include "reports/criteria_dialogs.h"
#include "reports/custom_report.h"

namespace ov::reports {

std::string userDate(int32_t date) {
  return date == 0 ? std::string() : rt::FORMAT(date, "@" + files::FORMAT.DATE.str());
}

std::string userTime(int32_t time) {
  return time == 0 ? std::string() : rt::FORMAT(time, "@" + files::FORMAT.TIME.str());
}

std::string weekdayName(int32_t date) {
  static constexpr const char* kNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};
  return kNames[((date % 7) + 7) % 7];
}

CriteriaDialogs& criteriaDialogs() {
  static CriteriaDialogs dialogs{[] { ReportParameters(); }, [] { SelectCategories(); },
                                 [] { SetReportTitle(); }, [] { SelectCalendarSettings(); }, [] { return CustomReports(); }};
  return dialogs;
}

void headingBar(report::Canvas& c, int y, int width, int height,
                const std::vector<std::pair<int, std::string>>& captions, const report::Font& font) {
  c.filledBox(0, y, width, height, report::kLightGrey);
  for (size_t i = 0; i < captions.size(); ++i) {
    const int x = captions[i].first;
    const int next = i + 1 < captions.size() ? captions[i + 1].first : width;
    c.text(x + 20, y + 20, next - x - 20, height - 20, captions[i].second, font);
  }
}

}  // namespace ov::reports
