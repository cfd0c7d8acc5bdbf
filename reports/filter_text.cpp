#include "reports/filter_text.h"

#include <cctype>

#include "platform/rt/text.h"

namespace ov::reports {

namespace {

const FieldLabel kSchedule[] = {
    {"SCH:ID", "ID"}, {"SCH:User", "User"}, {"SCH:TaskType", "Task Type"},
    {"SCH:Category", "Category"}, {"SCH:Description", "Description"}, {"SCH:Command", "Command"},
    {"SCH:Path", "Start in"}, {"SCH:Message", "Message"}, {"SCH:ScheduleType", "Schedule Type"},
    {"SCH:DayOfWeekGroup", "Day Of Week"}, {"SCH:Sunday", "Sunday"}, {"SCH:Monday", "Monday"},
    {"SCH:Tuesday", "Tuesday"}, {"SCH:Wednesday", "Wednesday"}, {"SCH:Thursday", "Thursday"},
    {"SCH:Friday", "Friday"}, {"SCH:Saturday", "Saturday"}, {"SCH:MonthRepeat", "Month Repeat"},
    {"SCH:Offset", "Number of Days to Offset"}, {"SCH:Every", "Every"},
    {"SCH:EveryOrdinal", "Every Ordinal"}, {"SCH:Every1st", "1st"}, {"SCH:Every2nd", "2nd"},
    {"SCH:Every3rd", "3rd"}, {"SCH:Every4th", "4th"}, {"SCH:EveryLast", "Last"},
    {"SCH:LastDayofMonth", "Last Day of Month"}, {"SCH:EveryType", "Every Type"},
    {"SCH:ScheduleDateAndTime", "Schedule Date And Time"}, {"SCH:Date", "Next Date to Perform Task"},
    {"SCH:Time", "Next Time to Perform Task"}, {"SCH:LastRunDate", "Last Run Date"},
    {"SCH:LastRunTime", "Last Run Time"}, {"SCH:SkipNextTime", "Skip Next Time"},
    {"SCH:AlarmGroup", "Alarm"}, {"SCH:Alarm", "Alarm"}, {"SCH:AlarmFile", "Alarm File"},
    {"SCH:AdvancedWarning", "Advanced Warning"}, {"SCH:AdvanceWarnDate", "Advance Warning Date"},
    {"SCH:AdvanceWarnTime", "Advanced Warning Time"}, {"SCH:AdvanceWarned", "Advance Warning Given"},
    {"SCH:LastWarnDate", "Last Warn Date"}, {"SCH:LastWarnTime", "Last Run Time"},
    {"SCH:AdvanceWarnRepeat", "Repeat advanced warning daily"},
    {"SCH:Warn", "Warn if not run on specified date"},
    {"SCH:SkipIfMissed", "Skip if not run on specified date"},
    {"SCH:SkipIfScriptActive", "Skip if a script is running"}, {"SCH:NoHistory", "No History"},
    {"SCH:UserSkip", "Give option to skip before performing"}, {"SCH:Disabled", "Disabled"},
    {"SCH:Completed", "Completed"}, {"SCH:Skipped", "Skipped"}, {"SCH:ExpiryDate", "Expiry Date"},
    {"SCH:ExpiryTime", "Expiry Time"}, {"SCH:Exceptions", "Exceptions"},
    {"SCH:ShiftType", "Shift Type"}, {"SCH:ExceptWeekends", "Except Weekends"},
    {"SCH:ExceptWeekdays", "Except Weekdays"}, {"SCH:ExceptHolidays", "Except Holidays"},
    {"SCH:ExceptTime", "Except Time"}, {"SCH:ExceptTimeBegin", "Except Time Begin"},
    {"SCH:ExceptTimeEnd", "Except Time End"}, {"SCH:ExceptOther", "Except Other"},
    {"SCH:ExceptionLink", "Exception Link"}, {"SCH:Synchonization", "Synchonization"},
    {"SCH:NetworkUser", "Network User"}, {"SCH:LastChangeDate", "Last Change Date"},
    {"SCH:LastChangeTime", "Last Change Time"}, {"SCH:OriginalID", "Original ID"},
    {"SCH:Email", "Email"}, {"SCH:Password", "Password"},
};
static_assert(std::size(kSchedule) == 71);

const FieldLabel kWorkFile[] = {
    {"SCW:TaskType", "Task Type"}, {"SCW:Description", "Description"}, {"SCW:Command", "Command"},
    {"SCW:Path", "Start in"}, {"SCW:Message", "Message"}, {"SCW:ScheduleType", "Schedule Type"},
    {"SCW:Every", "Every"}, {"SCW:Date", "Next Date to Perform Task"},
    {"SCW:Time", "Next Time to Perform Task"}, {"SCW:LastRunDate", "Last Run Date"},
    {"SCW:LastRunTime", "Last Run Time"}, {"SCW:SkipNextTime", "Skip Next Time"},
    {"SCW:Alarm", "Alarm"}, {"SCW:AlarmFile", "Alarm File"},
    {"SCW:AdvancedWarning", "Advanced Warning"}, {"SCW:AdvanceWarnDate", "Advance Warning Date"},
    {"SCW:AdvanceWarnTime", "Advanced Warning Time"}, {"SCW:LastWarnDate", "Last Warn Date"},
    {"SCW:LastWarnTime", "Last Run Time"}, {"SCW:AdvanceWarnRepeat", "Repeat advanced warning daily"},
    {"SCW:Warn", "Warn if not run on specified date"},
    {"SCW:SkipIfMissed", "Skip if not run on specified date"},
    {"SCW:SkipIfScriptActive", "Skip if a script is running"}, {"SCW:NoHistory", "No History"},
    {"SCW:UserSkip", "Give option to skip before performing"}, {"SCW:Disabled", "Disabled"},
    {"SCW:Completed", "Completed"}, {"SCW:Skipped", "Skipped"}, {"SCW:ExpiryDate", "Expiry Date"},
    {"SCW:ExpiryTime", "Expiry Time"}, {"SCW:Email", "Email"}, {"SCW:Password", "Password"},
};
static_assert(std::size(kWorkFile) == 32);

const FieldLabel kCategory[] = {{"CAT:Category", "Category"}};

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Replaces every whole occurrence of `name` (case ignored), scanning from the end of the text.
void replaceWhole(std::string& text, std::string_view name, std::string_view label) {
  const std::string upperName = rt::UPPER(name);
  std::string upper = rt::UPPER(text);
  size_t at = upper.rfind(upperName);
  while (at != std::string::npos) {
    const size_t end = at + upperName.size();
    if (end >= text.size() || !isWordChar(text[end])) {
      text.replace(at, upperName.size(), label);
      upper.replace(at, upperName.size(), rt::UPPER(label));
    }
    if (at == 0) break;
    at = upper.rfind(upperName, at - 1);
  }
}

QueryField flag(const char* label, const char* name, const char* caption) {
  return {label, name, "@n3", 1, 2, 2, caption};
}
QueryField typed(const char* label, const char* name, const char* picture, int length, int valueKind) {
  return {label, name, picture, length, valueKind, 1, ""};
}
QueryField choice(const char* label, const char* name, const char* picture, int length, const char* choices) {
  return {label, name, picture, length, 1, 3, choices};
}

}  // namespace

std::span<const FieldLabel> scheduleFieldLabels() { return kSchedule; }
std::span<const FieldLabel> workFileFieldLabels() { return kWorkFile; }
std::span<const FieldLabel> categoryFieldLabels() { return kCategory; }

std::string describeFilter(std::string_view filter, std::span<const std::span<const FieldLabel>> tables) {
  std::string text(filter);
  for (std::span<const FieldLabel> table : tables) {
    for (const FieldLabel& f : table) {
      if (text.find(':') == std::string::npos) return text;
      replaceWhole(text, f.first, f.second);
    }
  }
  return text;
}

std::string packQueryFields(std::span<const QueryField> fields) {
  constexpr char kField = '\xA6', kRecord = '\xAB';
  std::string out;
  for (const QueryField& f : fields) {
    for (const std::string& part :
         {f.label, std::string("0"), f.name, f.picture, std::to_string(f.length),
          std::to_string(f.valueKind), std::to_string(f.entryKind), std::string(), f.choices}) {
      out += part;
      out += kField;
    }
    out += kRecord;
  }
  return out;
}

bool unpackQueryFields(std::string_view packed, std::vector<QueryField>& out) {
  out.clear();
  size_t start = 0;
  while (start < packed.size()) {
    size_t end = packed.find('\xAB', start);
    if (end == std::string_view::npos) return false;
    std::vector<std::string> parts;
    std::string_view rec = packed.substr(start, end - start);
    size_t p = 0;
    while (p < rec.size()) {
      size_t q = rec.find('\xA6', p);
      if (q == std::string_view::npos) return false;
      parts.emplace_back(rec.substr(p, q - p));
      p = q + 1;
    }
    if (parts.size() != 9) return false;
    out.push_back({parts[0], parts[2], parts[3], static_cast<int>(rt::textToNumber(parts[4])),
                   static_cast<int>(rt::textToNumber(parts[5])), static_cast<int>(rt::textToNumber(parts[6])), parts[8]});
    start = end + 1;
  }
  return true;
}

// A choice is the value the task forms store, so that the query matches it: a semi-monthly task is
// stored as Monthly with a twice-a-month repeat, an "Every..." task as Custom, and the exception
// shift's first choice as much of its caption as the field holds.
std::span<const QueryField> scheduleQueryFields() {
  static const std::vector<QueryField> kFields = [] {
    std::vector<QueryField> f{
        choice("Basic - Task Type (Message/Program/Both/Reminder)", "SCH:TaskType", "@s20", 20,
               "Run Program|Display Message|Both|None"),
        typed("Basic - Task Category", "SCH:Category", "@s20", 20, 1),
        typed("Basic - Task Description/Title", "SCH:Description", "@s40", 40, 1),
        typed("Basic - Program to start", "SCH:Command", "@s255", 255, 1),
        typed("Basic - Start in (path or folder)", "SCH:Path", "@s255", 255, 1),
        choice("Basic - Task Schedule Type (Once/Repeating)", "SCH:ScheduleType", "@s15", 15,
               "Once|Day of Week|Day of Month|Monthly|Yearly|Custom"),
    };
    const char* days[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    static std::vector<std::string> dayTexts;
    for (const char* d : days) {
      dayTexts.push_back(std::string("Day - ") + d);
      dayTexts.push_back(std::string("SCH:") + d);
    }
    for (size_t i = 0; i < 7; ++i)
      f.push_back(flag(dayTexts[2 * i].c_str(), dayTexts[2 * i + 1].c_str(), days[i]));
    f.push_back(choice("Every - Month Repeat", "SCH:MonthRepeat", "@s18", 18, "Once|Twice - 1st, 15th|Twice - 15th, Last"));
    f.push_back({"Every - Semi-Monthly Offset", "SCH:Offset", "@n-2b", 4, 2, 1, ""});
    f.push_back({"Every - Number of seconds/minutes/hours/etc.", "SCH:Every", "@n6", 4, 2, 1, ""});
    f.push_back(flag("Every - 1st", "SCH:Every1st", "1st"));
    f.push_back(flag("Every - 2nd", "SCH:Every2nd", "2nd"));
    f.push_back(flag("Every - 3rd", "SCH:Every3rd", "3rd"));
    f.push_back(flag("Every - 4th", "SCH:Every4th", "4th"));
    f.push_back(flag("Every - Last", "SCH:EveryLast", "Last"));
    f.push_back(flag("Every - Last Day of Month", "SCH:LastDayofMonth", "Last Day of Month"));
    f.push_back(choice("Every - Type/unit (seconds/minutes/hours/etc).", "SCH:EveryType", "@s20", 20,
                       "minute(s)|hour(s)|day(s)|week(s)|month(s)|year(s)"));
    f.push_back(typed("Basic - Next Date to Perform Task", "SCH:Date", "@d17b", 4, 2));
    f.push_back(typed("Basic - Next Time to Perform Task", "SCH:Time", "@t7b", 4, 2));
    f.push_back(typed("Basic - Last performed on this date", "SCH:LastRunDate", "@d17b", 4, 2));
    f.push_back(typed("Basic - Last performed at this time", "SCH:LastRunTime", "@t7b", 4, 2));
    f.push_back(flag("Basic - Skip next occurance of this task (True/False)", "SCH:SkipNextTime", "Skip Next Time"));
    f.push_back(flag("Option - Alarm - On/Off", "SCH:Alarm", "Alarm"));
    f.push_back(typed("Option - Alarm - WAV file to play", "SCH:AlarmFile", "@s254", 255, 1));
    f.push_back(typed("Option - Advanced Warning - Date", "SCH:AdvanceWarnDate", "@d17b", 4, 2));
    f.push_back(typed("Option - Advanced Warning - Time", "SCH:AdvanceWarnTime", "@t7b", 4, 2));
    f.push_back(flag("Option - Advanced Warning - Issued True/False", "SCH:AdvanceWarned", "Advance Warning Given"));
    f.push_back(flag("Option - Warn if not run on specified date (True/False)", "SCH:Warn", "Warn if not run on specified date"));
    f.push_back(flag("Option - Skip if not run on specified date (True/False)", "SCH:SkipIfMissed", "Skip if not run on specified date"));
    f.push_back(flag("Option - Skip if a script is running", "SCH:SkipIfScriptActive", "Skip if a script is running"));
    f.push_back(flag("Option - Do not show history (remove when completed) (True/False)", "SCH:NoHistory", "No History"));
    f.push_back(flag("Option - Give option to skip before performing (True/False)", "SCH:UserSkip", "Give option to skip before performing"));
    f.push_back(flag("Option - Do not perform this task (True/False)", "SCH:Disabled", "Disabled"));
    f.push_back(flag("Status - Task skipped (True/False)", "SCH:Skipped", "Skipped"));
    f.push_back(typed("Expiry", "SCH:Expiry", "@s8", 8, 1));
    f.push_back(typed("Expires on date", "SCH:ExpiryDate", "@d17", 4, 2));
    f.push_back(typed("Expires at time", "SCH:ExpiryTime", "@t7b", 4, 2));
    f.push_back(typed("Exceptions", "SCH:Exceptions", "@s56", 56, 1));
    f.push_back(choice("Exception Shift Type", "SCH:ShiftType", "@s20", 20, "Skip (to next valid|Previous day|Next day"));
    f.push_back(flag("Except Weekends  (True/False)", "SCH:ExceptWeekends", "Except Weekends"));
    f.push_back(flag("Except Weekdays  (True/False)", "SCH:ExceptWeekdays", "Except Weekdays"));
    f.push_back(flag("Except Holidays  (True/False)", "SCH:ExceptHolidays", "Except Holidays"));
    f.push_back(flag("Except Time  (True/False)", "SCH:ExceptTime", "Except Time"));
    f.push_back(typed("Exception Time Range Begin", "SCH:ExceptTimeBegin", "@t3", 4, 2));
    f.push_back(typed("Exception Time Range End", "SCH:ExceptTimeEnd", "@t3", 4, 2));
    f.push_back(typed("Email Address", "SCH:Email", "@s60", 60, 1));
    return f;
  }();
  return kFields;
}

std::span<const QueryField> contactQueryFields() {
  static const std::vector<QueryField> kFields{
      typed("Notes", "C_:Notes", "@s255", 1024, 1),
      typed("Last Name", "C_:LastName", "@s40", 40, 1),
      typed("First Name", "C_:FirstName", "@s20", 20, 1),
      typed("Company", "C_:Company", "@s40", 40, 1),
      typed("Address Line 1", "C_:AddressLine1", "@s40", 40, 1),
      typed("Address Line 2", "C_:AddressLine2", "@s40", 40, 1),
      typed("Address Line 3", "C_:AddressLine3", "@s40", 40, 1),
      typed("Postal Code", "C_:PostalCode", "@s10", 10, 1),
      typed("Business Phone", "C_:WorkDayPhone", "@s20", 20, 1),
      typed("Home Phone", "C_:HomeEveningPhone", "@s20", 20, 1),
      typed("Other Phone Number", "C_:OtherPhone", "@s20", 20, 1),
      typed("Fax Number", "C_:Fax", "@s20", 20, 1),
      typed("Contact Category", "C_:ContactCategory", "@s20", 20, 1),
      typed("E-mail Address", "C_:Email", "@s80", 80, 1),
      typed("Web Site (URL)", "C_:WebSite", "@s90", 90, 1),
      choice("Default contact field", "C_:DefaultContact", "@s8", 8, "None|Business|Home|Fax|E-mail|Other"),
      typed("Label", "CDT:DataLabel", "@s30", 30, 1),
      typed("Value", "CDT:DataValue", "@s90", 90, 1),
  };
  return kFields;
}

}  // namespace ov::reports
