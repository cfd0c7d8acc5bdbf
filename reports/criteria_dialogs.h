// The dialogs a report opens before it reads anything:
//
//   ReportParameters  "Report Criteria": date range, category, order and future occurrences;
//                     OK builds GLO.ReportOrder and GLO.ReportFilter (criteria.h), Cancel leaves
//                     both blank.
//   SelectCategories  "Select a Category": picks a task category into the CAT buffer; response 1,
//                     or 2 when closed without a choice.
//   SetReportTitle    "Set Report Title": edits ReportTitle; response 2 when cancelled.
//
// Each runs modally on the calling report's thread and keeps its place in ".\POSITION.INI".
#pragma once

namespace ov::reports {

void ReportParameters();
void SelectCategories();
void SetReportTitle();

}  // namespace ov::reports
