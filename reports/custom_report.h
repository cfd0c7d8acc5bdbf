// The custom schedule report: the user designs its layout (which task fields, in which order,
// sorted how, under which title, with or without totals) and the report lists SCHEDULE so.
//
// Designs are kept in "reports.tps" in the data folder, a text file of our own (one section per
// design). The design window ("Custom Reports") lists them with New, Edit and Delete; OK runs the
// chosen one.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ov::reports {

// A printable field of the report: its control number, name, caption, and whether it can be
// totalled (flags and numbers).
struct CustomField {
  int control;
  const char* name;
  const char* desc;
  bool total;
};
// The 48 fields in control order (4 to 51).
std::span<const CustomField> reportControlList();

struct SortOrder {
  const char* desc;
  const char* sort;  // a view order: "UPPER(SCH:Category),SCH:Date,SCH:Time"
};
std::span<const SortOrder> sortOrderList();

struct CustomDefinition {
  std::string name;
  std::string title;                // at most 40 characters
  std::string sort;                 // a SortOrder's desc, or "" for date order
  std::vector<std::string> fields;  // field names in print order
  bool totals = false;              // a closing band: the task count and the sums of the totalled fields
  // A group break on this field ("" for none): the tasks come grouped by it, each group under a
  // header naming its value and over a footer with its subtotals (the count and the sums).
  std::string breakField;
};

// The designs of "reports.tps" in the current (data) folder.
std::vector<CustomDefinition> loadCustomDefinitions();
// Replaces the design named `old` (or adds one); false when the name is blank or taken.
bool saveCustomDefinition(const CustomDefinition& def, const std::string& old = {});
void removeCustomDefinition(const std::string& name);

// The sort expression of a design: "" when it has none or names an unknown order. A group break
// sorts by its field first (case-blind for texts), then by the chosen order or by date and time.
std::string customSortExpression(const CustomDefinition& def);

// The design window; the chosen design, nothing when cancelled.
std::optional<CustomDefinition> CustomReports();

int CustomScheduleReport();

}  // namespace ov::reports
