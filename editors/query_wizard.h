// The query wizard of the task lists: the fields of SCHEDULE a user may query, the filter
// expression of one condition, and the window that joins conditions into a query.
//
// "Query Wizard": a field, a comparison and a value (typed, or chosen for fields with choices and
// for flags) make one condition; "&And" and "&Or" add it to the query; OK answers the query (with
// the condition still in the controls added by AND when the value is not empty).
//
// Threading: GUI thread only (the window runs modally on the caller's thread).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ov::editors {

struct QueryField {
  std::string description;
  std::string field;    // "SCH:Category"
  std::string picture;  // the field's display picture: "@s20", "@d17", "@t7", "@n3"
  enum class Entry { Free, Check, Choice } entry = Entry::Free;
  std::string choices;  // "a|b|c" for a choice; the check box's text for a flag
};

// The fields of SCHEDULE offered by the task lists' query wizard, in their order.
const std::vector<QueryField>& scheduleQueryFields();

// The comparisons, in the order the wizard offers them.
inline constexpr const char* kQueryComparisons[] = {
    "equal to",  "not equal to", "less than",  "greater than", "less than or equal to", "greater than or equal to",
    "contains",  "begins with"};

// The filter expression of one condition: texts compare with case ignored and are quoted (a quote
// doubled); dates and times are read through the field's picture into day numbers and times;
// a flag takes "True"/"1"/"Yes" for 1, anything else for 0. Empty when the comparison is unknown.
std::string queryCondition(const QueryField& field, std::string_view comparison, std::string_view value);

// Runs the wizard over `fields`, starting from `query`; true with the new query on OK (it may be
// empty: no query), false when cancelled (`query` unchanged).
bool RunQueryWizard(const std::vector<QueryField>& fields, std::string& query);

}  // namespace ov::editors
