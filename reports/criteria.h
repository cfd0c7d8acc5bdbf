// The report criteria: the globals the criteria dialogs fill and the reports read, what the
// "Report Criteria" dialog makes of its answers, the key a report reads by, and the criteria kept
// in section Preserved of ".\POSITION.INI" from one run of the program to the next.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files/file.h"
#include "platform/rt/expr.h"
#include "platform/rt/fixed_string.h"

namespace ov::reports {

using rt::String;

// GLO:ReportOrder, GLO:ReportFilter, GLO:Category, GLO:ContactOrder.
struct CriteriaGlobals {
  String<255> ReportOrder;   // a key name ("Sch:KeyDate")
  String<255> ReportFilter;  // the view's filter expression
  String<20> Category;
  String<20> ContactOrder;   // "Last Name", "First Name", "Company", "Category"
};
// RANGE:Date:From, RANGE:Date:To.
struct RangeGlobals {
  struct {
    int32_t From = 0;
    int32_t To = 0;
  } Date;
};
// The answers of the criteria dialog (TMP:...).
struct TmpGlobals {
  String<9> DateSelect;        // "All" or "Selected"
  int32_t DateFrom = 0;
  int32_t DateTo = 0;
  String<9> CategorySelect;    // "All" or "Selected"
  String<20> CategorySelected;
  String<20> OrderSelect;      // "Date", "Category", "Description", "Task Type", "Adv. Warn", "Category/Date"
};

extern CriteriaGlobals GLO;
extern RangeGlobals RANGE;
extern TmpGlobals TMP;
extern String<80> ReportTitle;

// Clears every criteria global (tests, and the start of the program).
void clearCriteria();

// When the dialog opens: a From of 0 becomes today, a To of 0 today + 30, a blank order "Date",
// blank selections "All".
void applyCriteriaDefaults(int32_t today);

// OK of "Report Criteria": stores "RIFO" as the box was left, then builds GLO:ReportOrder,
// GLO:ReportFilter, GLO:Category and the range from the TMP answers. With the date range on "All"
// future occurrences are not expanded for this run (REPORT:IncludeFutureOccurances cleared in
// memory only).
void acceptCriteria();
// Cancel: both result strings blank.
void cancelCriteria();
// Both result strings blank: the dialog was cancelled.
bool criteriaCancelled();

// The order name of TMP:OrderSelect ("Category/Date" gives "Sch:KeyCategoryDate").
std::string orderNameOf(std::string_view orderSelect);
// The key of SCHEDULE (or, with `workFile`, of SCHEDULEWORKFILE) that an order name reads by,
// compared exactly; anything else reads by date.
db::Key scheduleKeyOf(std::string_view orderName, bool workFile);
// The filter of the work-file variants: upper-cased, every "SCH:" turned into "SCW:", at most
// 255 characters.
std::string workFileFilter(std::string_view filter);

// Binds "GLO:Category", "RANGE:Date:From" and "RANGE:Date:To" to the given variables.
struct CriteriaValues {
  String<20> Category;
  int32_t From = 0;
  int32_t To = 0;
};
CriteriaValues currentCriteriaValues();
void bindCriteria(rt::Bindings& names, CriteriaValues& values);

// Section Preserved of ".\POSITION.INI": read at start (a missing key gives blank or 0), written
// when the criteria dialog is accepted.
void loadPreservedCriteria();
void savePreservedCriteria();

}  // namespace ov::reports
