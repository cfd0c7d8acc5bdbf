#include <charconv>
#include <deque>
#include <map>

#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/rt/expr.h"
#include "platform/rt/picture.h"

namespace ov::qwizard {

namespace {

constexpr char kRecordEnd = '\xAB';
constexpr char kFieldEnd = '\xA6';
constexpr size_t kFieldsPerRecord = 9;

std::vector<std::string_view> split(std::string_view s, char sep) {
  std::vector<std::string_view> out;
  size_t from = 0;
  for (size_t at = s.find(sep); at != std::string_view::npos; at = s.find(sep, from)) {
    out.push_back(s.substr(from, at - from));
    from = at + 1;
  }
  out.push_back(s.substr(from));
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool wholeNumber(std::string_view s, int& out) {
  s = trim(s);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

bool goodName(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c == ' ' || c == '\'' || c == '"' || c == '(' || c == ')' || c == ',') return false;
  return true;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

int readRecord(std::string_view record, QueryField& f) {
  std::vector<std::string_view> parts = split(record, kFieldEnd);
  // Every field is ended by its separator, so the piece after the last one is empty; a last
  // field written without it is taken as well.
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();
  if (parts.size() < kFieldsPerRecord) return code::ShortRecord;
  f.label = std::string(trim(parts[0]));
  f.name = std::string(trim(parts[2]));
  if (!goodName(f.name)) return code::BadName;
  f.picture = std::string(trim(parts[3]));
  if (rt::pictureKind(f.picture) == rt::PictureKind::Invalid) return code::BadPicture;
  if (!wholeNumber(parts[4], f.length) || f.length <= 0) return code::BadLength;
  int kind = 0;
  if (!wholeNumber(parts[5], kind) || (kind != 1 && kind != 2)) return code::BadValueKind;
  f.value = static_cast<ValueKind>(kind);
  if (!wholeNumber(parts[6], kind) || kind < 1 || kind > 3) return code::BadEntryKind;
  f.entry = static_cast<EntryKind>(kind);
  if (f.entry == EntryKind::Choice) {
    for (std::string_view choice : split(parts[8], '|'))
      if (!trim(choice).empty()) f.choices.emplace_back(trim(choice));
    if (f.choices.empty()) return code::NoChoices;
  } else if (f.entry == EntryKind::Flag) {
    f.caption = std::string(trim(parts[8]));
  }
  if (f.label.empty()) f.label = f.name;
  return code::None;
}

}  // namespace

bool QueryField::isDate() const { return value == ValueKind::Number && rt::pictureKind(picture) == rt::PictureKind::Date; }
bool QueryField::isTime() const { return value == ValueKind::Number && rt::pictureKind(picture) == rt::PictureKind::Time; }

int loadFields(std::string_view packed, std::string_view fileLabel, QueryFields& out) {
  out.fileLabel = std::string(fileLabel);
  out.fields.clear();
  std::vector<std::string_view> records = split(packed, kRecordEnd);
  // Text after the last record end is a record cut short.
  if (!trim(records.back()).empty()) return code::ShortRecord;
  records.pop_back();
  std::vector<QueryField> fields;
  for (std::string_view record : records) {
    QueryField f;
    if (int err = readRecord(record, f); err != code::None) return err;
    for (const QueryField& other : fields)
      if (upper(other.name) == upper(f.name)) return code::Duplicate;
    fields.push_back(std::move(f));
  }
  if (fields.empty()) return code::NoFields;
  out.fields = std::move(fields);
  return code::None;
}

bool QueryFields::check(std::string_view text, std::string* message) const {
  rt::Bindings names;
  if (m_record) names.bindRecord(*m_record, m_buffer);
  // Without a record, listed fields are checked against stand-ins of their kind; with one, only
  // those the calling thread has bound besides (computed columns): the view knows no others.
  std::deque<std::string> texts;
  std::deque<double> numbers;
  for (const QueryField& f : fields) {
    if (names.find(f.name)) continue;
    if (m_record && !rt::threadBindings().find(f.name)) continue;
    if (f.value == ValueKind::Number)
      names.bind(f.name, numbers.emplace_back());
    else
      names.bind(f.name, texts.emplace_back());
  }
  rt::Expression e;
  rt::ExprError error;
  if (e.parse(text, names, &error)) return true;
  if (message) *message = error.message;
  return false;
}

// ---- display texts -------------------------------------------------------------------------------

namespace {

struct NumberedText {
  int number;
  const char* text;
};

const NumberedText kStandardTexts[] = {
    {1, "Is Equal To"}, {2, "Is NOT Equal To"}, {3, "Is Greater Than"}, {4, "Is Less Than"},
    {5, "Is Greater Than or Equal To"}, {6, "Is Less Than or Equal To"}, {7, "Begins With"},
    {9, "Does NOT Begin With"}, {8, "Contains"}, {10, "Does NOT Contain"}, {11, "Is Checked"},
    {12, "Is NOT Checked"},
    {31, "ErrorLoadingQuery"}, {32, "An error has prevented the Query Wizard from loading your query at this time."},
    {33, "Invalid Query"}, {34, "The query you have designed is invalid.|Please review your query and correct the problem."},
    {35, "Overwrite Query"}, {36, "Do you want to overwrite the query you are editing?"},
    {37, "Query No Longer Valid"},
    {38, "This query is no longer valid because fields|and/or expressions were renamed or deleted from|the database "
         "after you created the query.| |You should go through the query and make the|necessary corrections to fix "
         "this query."},
    {39, "Restricted Query"}, {40, "Sorry, this is a restricted query and may not be modified."},
    {41, "Save Query"}, {42, "Would you like to save this query?"},
    {71, "MS Sans Serif"}, {72, "10"}, {73, "MS Sans Serif"}, {74, "10"}, {75, "MS Sans Serif"}, {76, "8"},
    {77, "MS Sans Serif"}, {78, "8"}, {79, "MS Sans Serif"}, {80, "12"}, {218, "MS Sans Serif"}, {219, "8"},
    {243, "MS Sans Serif"}, {244, "8"},
    {100, ""}, {101, "Add a New AND Query Element"}, {102, "New AND Condition"}, {103, "&AND"},
    {104, "Go Back to the Previous Page"}, {105, "Goto Previous Page"}, {106, "< &Back"},
    {107, "Cancel Changes and Exit Wizard"}, {108, "Cancel Changes"}, {109, "Cancel"},
    {110, "Change Query Element"}, {111, "Change Element"}, {112, "&Change"}, {113, "Delete Query Element"},
    {114, "Delete Element"}, {115, "&Delete"}, {116, "Finish the Wizard and Run Query"}, {117, "Run the Query"},
    {118, "&Finish"}, {119, "Manually Enter Query Criteria"}, {120, "Manual Query Entry"}, {121, "&Manual"},
    {122, "Go Forward to the Next Page"}, {123, "Goto Next Page"}, {124, "&Next >"},
    {125, "Add a New OR Query Element"}, {126, "New OR Condition"}, {127, "O&R"}, {151, "Constant &Value"},
    {152, "E&xpression"}, {153, "&Another Field"}, {154, "Current Query"},
    {155, "Add conditions by pressing the AND or OR buttons."}, {156, "Press Change or Delete to modify a condition."},
    {157, "Enter a value to complete your expression."}, {158, "Field Selection"}, {159, "Fields to Evaluate"},
    {160, "Manual Override"}, {161, "Compare Using Absolute Values"}, {162, "Compare Using Case Sensitive Matching"},
    {163, "(New Query)"}, {164, "Operation Selection"}, {165, "Query Operations"},
    {166, "Select a field from the list below."}, {167, "Select an Option Below"},
    {168, "Select a query operation to perform on the selected field."}, {169, "Value Entry"}, {170, "?"},
    {171, "Query Wizard"},
    {200, ""}, {201, "Query Description"}, {202, "Queries"}, {203, "Edit the Selected Query"}, {204, "Edit Query"},
    {205, "&Change"}, {206, "Cancel Request to Select a Saved Query"}, {207, "Cancel Query Request"},
    {208, "Cl&ose"}, {209, "Remove the Selected Query"}, {210, "Remove Query"}, {211, "&Delete"},
    {212, "Add a New Query"}, {213, "Add Query"}, {214, "&New"}, {215, "Run the Selected Query"},
    {216, "Run Query"}, {217, "&Select"}, {220, "Query No Longer Valid"},
    {221, "This query is no longer valid because fields|and/or expressions were renamed or deleted from|the database "
          "after you created the query.| |You must edit the query and fix the problems|before it can be used."},
    {230, ""}, {231, "Enter a new description for the query or press OK to accept the existing description."},
    {232, "Enter a description for the new query."}, {233, "Change Existing Query"}, {234, "Delete Saved Query"},
    {235, "Add New Query"}, {236, "Query Description:"}, {237, "Cancel Save and Go Back to Editing Query"},
    {238, "Cancel Save"}, {239, "Cancel"}, {240, "Accept Description and Save Query"}, {241, "Save Query"},
    {242, "&OK"},
    {300, "Converting Saved Query Data -- Please Wait..."}, {301, "Converting Data File Structure  -- Please Wait..."},
    {302, "All Records"}, {303, "Custom Query..."},
};

std::map<int, std::string>& texts() {
  static std::map<int, std::string> table = [] {
    std::map<int, std::string> t;
    for (const NumberedText& n : kStandardTexts) t[n.number] = n.text;
    return t;
  }();
  return table;
}

}  // namespace

void TC_SETQWDISPLAYTEXT(int number, std::string_view text) { texts()[number] = std::string(text); }

std::string displayText(int number) {
  const auto it = texts().find(number);
  return it == texts().end() ? std::string() : it->second;
}

void SetQueryWizardTexts() {
  for (const NumberedText& n : kStandardTexts) TC_SETQWDISPLAYTEXT(n.number, n.text);
}

}  // namespace ov::qwizard
