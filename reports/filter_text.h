// The readable description of a report's filter (field names replaced by their labels) and the
// field lists offered to the query step.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ov::reports {

using FieldLabel = std::pair<const char*, const char*>;  // field name, label

// SCHEDULE's 71 labels, the work file's 32 and CATEGORIES' one.
std::span<const FieldLabel> scheduleFieldLabels();
std::span<const FieldLabel> workFileFieldLabels();
std::span<const FieldLabel> categoryFieldLabels();

// For each table in turn, while the text holds a colon, every field name that stands whole in
// it (the character after it is no letter or digit) becomes its label. Names are found whatever
// their case, as the view finds them: "Sch:Category" reads Category.
std::string describeFilter(std::string_view filter, std::span<const std::span<const FieldLabel>> tables);

// One field the query step offers: its label, name, picture and kind.
struct QueryField {
  std::string label, name, picture;
  int length = 0;
  int valueKind = 1;   // 1 text, 2 number
  int entryKind = 1;   // 1 typed, 2 flag, 3 choice
  std::string choices;  // "a|b|c", or a flag's caption
};

// The packed form of a field list: nine fields each followed by 0xA6, each record by 0xAB.
std::string packQueryFields(std::span<const QueryField> fields);
// Reads a packed list; false (error) when a record does not hold nine fields.
bool unpackQueryFields(std::string_view packed, std::vector<QueryField>& out);

std::span<const QueryField> scheduleQueryFields();
std::span<const QueryField> contactQueryFields();

}  // namespace ov::reports
