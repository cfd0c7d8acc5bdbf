// The reports over the schedule: in brief (with its complete variant over the work file), the
// full listings by date and by category, the schedule of one category, and the checklist and
// memo styles (each with its complete variant).
//
// Each procedure runs one report to its end (preview or printer) and answers its response, also
// left in GLOBALRESPONSE.
#pragma once

namespace ov::reports {

int ScheduleBriefReport();
int CompleteScheduleBriefReport();
int ScheduleByDateReport();
int ScheduleByCategoryReport();
int Print_SCH_OneCategory();
int ScheduleChecklistReport();
int ScheduleMemoReport();
int CompleteScheduleChecklistReport();
int CompleteScheduleMemoReport();

}  // namespace ov::reports
