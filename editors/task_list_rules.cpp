#include "editors/task_list_rules.h"

#include "datalib/date_string_functions.h"
#include "platform/rt/date_time.h"
#include "platform/rt/text.h"

namespace ov::editors {

namespace {

constexpr int32_t kGrey = 0x808080;    // (128, 128, 128)
constexpr int32_t kBlue = 0xFF0000;    // (0, 0, 255) in the runtime's colour order
constexpr int32_t kWhite = 0xFFFFFF;

std::string clip(std::string_view s) { return std::string(rt::clipView(s)); }

std::string range(int32_t start, int32_t end) { return files::FMTDATE(start) + "-" + files::FMTDATE(end); }

}  // namespace

int statusIcon(const files::ScheduleRec& t) {
  if (t.Completed == 1 && t.Skipped != 1) return 4;
  if (t.SkipNextTime == 1 && t.Completed == 0) return 8;
  if (t.Disabled != 0 && t.Completed == 0) return 3;
  if (t.Completed == 1 && t.Skipped == 1) return 9;
  return 6;
}

int taskTypeIcon(const files::ScheduleRec& t) {
  const std::string type = clip(t.TaskType.str());
  if (type == "Run Program") return 7;
  if (type == "Display Message") return 5;
  if (type == "Both") return 2;
  return 1;
}

DateColours dayListDateColours(const files::ScheduleRec& t) {
  if (t.Disabled == 1) return {kGrey, kWhite};
  if (t.SkipNextTime == 1) return {kBlue, kWhite};
  return {};
}

DayFilter applyDayFilter(std::string_view choice, int32_t today, int32_t rangeStart, int32_t rangeEnd) {
  DayFilter f;
  f.shownDate = today;
  f.rangeStart = rangeStart;
  f.rangeEnd = rangeEnd;
  f.title = "Scheduled Tasks";
  auto oneDay = [&](int32_t day, std::string condition) {
    f.condition = std::move(condition);
    f.shownDate = day;
    f.dateText = files::FMTDATE(day);
  };
  if (choice == "Today") {
    oneDay(today, "SCH:Date=TODAY()");
  } else if (choice == "Yesterday") {
    oneDay(today - 1, "SCH:Date=TODAY()-1");
  } else if (choice == "Tomorrow") {
    oneDay(today + 1, "SCH:Date=TODAY()+1");
  } else if (choice == "This Week") {
    f.condition = "SCH:Date>=TODAY() AND SCH:Date<TODAY()+7";
    f.rangeStart = today;
    f.rangeEnd = today + 6;
    f.dateText = range(f.rangeStart, f.rangeEnd);
  } else if (choice == "This Month") {
    f.rangeStart = rt::DATE(rt::MONTH(today), 1, rt::YEAR(today));
    f.rangeEnd = rt::DATE(rt::MONTH(today) + 1, 1, rt::YEAR(today)) - 1;
    // The days of this month of this year: comparing months alone would list the same month of
    // every other year too.
    f.condition = "SCH:Date>=" + std::to_string(f.rangeStart) + " AND SCH:Date<=" + std::to_string(f.rangeEnd);
    f.dateText = range(f.rangeStart, f.rangeEnd);
  } else if (choice == "Custom") {
    if (f.rangeEnd == 0) f.rangeEnd = rt::DATE(1, 1, 2099);
    if (f.rangeStart == 0) f.rangeStart = rt::DATE(1, 1, 1995);
    f.condition = "SCH:Date>=" + std::to_string(f.rangeStart) + " AND SCH:Date<=" + std::to_string(f.rangeEnd);
    f.shownDate = f.rangeStart;
    f.dateText = range(f.rangeStart, f.rangeEnd);
    f.title = "Scheduled Tasks - " + files::FMTDATE(f.rangeStart);
    if (f.rangeEnd != f.rangeStart) f.title += "-" + files::FMTDATE(f.rangeEnd);
  }
  f.tip = f.dateText.empty() ? "Select records by date" : f.dateText;
  return f;
}

std::string statusCondition(std::string_view status) {
  if (status == "Active") return "~(SCH:Disabled OR SCH:Completed)";
  if (status == "Completed") return "SCH:Completed";
  if (status == "Disabled") return "SCH:Disabled";
  return {};
}

std::string categoryCondition(std::string_view category) {
  return clip(category) == "All" ? std::string() : "SCH:Category=Filter:Category";
}

std::string textCondition(std::string_view text) {
  return clip(text).empty() ? std::string() : "INSTRING(UPPER(CLIP(Filter:Text)),UPPER(SCH:Description),1)>0";
}

bool followDayChange(int32_t today, int32_t& remembered, int32_t& shown) {
  if (today == remembered) return false;
  const bool moved = shown == remembered;
  if (moved) shown = today;
  remembered = today;
  return moved;
}

std::string skipText(bool skipping, std::string_view undo) {
  return (skipping ? std::string(undo) : std::string()) + "Skip Next Occurrence";
}

std::string disableText(bool disabled, std::string_view undo) {
  return (disabled ? std::string(undo) : std::string()) + "Disable";
}

std::vector<ExploreColumn> taskListColumns(bool explorer) {
  std::vector<ExploreColumn> c = {
      {"Checkmark", 12, "", "@s1", "Status", 'L', true, true, true, false},
      {"PrgIcon", 12, "", "@s1", "Task type", 'L', true, true, true, false},
      {"SCH:Date", 48, "Date", "@d3", "Basic - Next Date to Perform Task", 'L', true, true, false, true},
      {"SCH:Time", 32, "Time", "@t7", "Basic - Next Time to Perform Task", 'L', true, true, false, true},
      {"SCH:Category", 60, "Category", "@s20", "Basic - Task Category", 'L', true, false, false, true, true},
      {"SCH:Description", 120, "Description", "@s40", "Basic - Task Description/Title", 'L', true, false, false, true},
      {"LOC:ScheduleType", 120, "Schedule Type", explorer ? "@s40" : "@s80", "Schedule Type", 'L', true, false, false,
       false},
      {"SCH:LastRunDate", 48, explorer ? "Last Performed" : "Last Run", "@d17b", "Basic - Last performed on this date",
       'L', true, false, false, true},
      {"SCH:LastRunTime", 32, explorer ? "At" : "Last Time", "@t7", "Basic - Last performed at this time", 'L', true,
       false, false, true},
  };
  if (explorer)
    c.push_back({"SCH:Message", 200, "Message", "@s255", "Basic - Message to display", 'L', true, false, false, true});
  c.push_back({"SCH:Skipped", 12, "Skipped", "@n3", "Status - Task skipped (True/False)", 'L', false, false, false, true});
  c.push_back({"SCH:ID", 52, "ID", "@n13", "Unique internal system ID", 'R', false, false, false, true});
  return c;
}

std::string& taskListQueryFields() {
  static std::string table =
      "Basic - Task Type (Message/Program/Both/Reminder)\xA6" "0\xA6" "SCH:TaskType\xA6" "@s20\xA6" "20\xA6" "1\xA6" "3\xA6" "\xA6" "Run Program|Display Message|Both|None\xA6\xAB"
      "Basic - Task Category\xA6" "0\xA6" "SCH:Category\xA6" "@s20\xA6" "20\xA6" "1\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Basic - Task Description/Title\xA6" "0\xA6" "SCH:Description\xA6" "@s40\xA6" "40\xA6" "1\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Program - Command to run\xA6" "0\xA6" "SCH:Command\xA6" "@s255\xA6" "255\xA6" "1\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Program - Start in folder\xA6" "0\xA6" "SCH:Path\xA6" "@s255\xA6" "255\xA6" "1\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Schedule - Schedule type\xA6" "0\xA6" "SCH:ScheduleType\xA6" "@s15\xA6" "15\xA6" "1\xA6" "3\xA6" "\xA6" "Once|Day of Week|Day of Month|Monthly|Yearly|Custom\xA6\xAB"
      "Schedule - Sunday\xA6" "0\xA6" "SCH:Sunday\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Sunday\xA6\xAB"
      "Schedule - Monday\xA6" "0\xA6" "SCH:Monday\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Monday\xA6\xAB"
      "Schedule - Tuesday\xA6" "0\xA6" "SCH:Tuesday\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Tuesday\xA6\xAB"
      "Schedule - Wednesday\xA6" "0\xA6" "SCH:Wednesday\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Wednesday\xA6\xAB"
      "Schedule - Thursday\xA6" "0\xA6" "SCH:Thursday\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Thursday\xA6\xAB"
      "Schedule - Friday\xA6" "0\xA6" "SCH:Friday\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Friday\xA6\xAB"
      "Schedule - Saturday\xA6" "0\xA6" "SCH:Saturday\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Saturday\xA6\xAB"
      "Schedule - Monthly repeat\xA6" "0\xA6" "SCH:MonthRepeat\xA6" "@s18\xA6" "18\xA6" "1\xA6" "3\xA6" "\xA6" "Once|Twice - 1st, 15th|Twice - 15th, Last\xA6\xAB"
      "Schedule - Day offset\xA6" "0\xA6" "SCH:Offset\xA6" "@n-7\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Schedule - Every (number of units)\xA6" "0\xA6" "SCH:Every\xA6" "@n7\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Schedule - Every 1st\xA6" "0\xA6" "SCH:Every1st\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "1st\xA6\xAB"
      "Schedule - Every 2nd\xA6" "0\xA6" "SCH:Every2nd\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "2nd\xA6\xAB"
      "Schedule - Every 3rd\xA6" "0\xA6" "SCH:Every3rd\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "3rd\xA6\xAB"
      "Schedule - Every 4th\xA6" "0\xA6" "SCH:Every4th\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "4th\xA6\xAB"
      "Schedule - Every last\xA6" "0\xA6" "SCH:EveryLast\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Last\xA6\xAB"
      "Schedule - Last day of the month\xA6" "0\xA6" "SCH:LastDayofMonth\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Last day of month\xA6\xAB"
      "Schedule - Every (unit)\xA6" "0\xA6" "SCH:EveryType\xA6" "@s20\xA6" "20\xA6" "1\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Basic - Next Date to Perform Task\xA6" "0\xA6" "SCH:Date\xA6" "@d17\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Basic - Next Time to Perform Task\xA6" "0\xA6" "SCH:Time\xA6" "@t7\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Basic - Last performed on this date\xA6" "0\xA6" "SCH:LastRunDate\xA6" "@d17\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Basic - Last performed at this time\xA6" "0\xA6" "SCH:LastRunTime\xA6" "@t7\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Status - Skip the next occurrence\xA6" "0\xA6" "SCH:SkipNextTime\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Skip next occurrence\xA6\xAB"
      "Alarm - Sound an alarm\xA6" "0\xA6" "SCH:Alarm\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Alarm\xA6\xAB"
      "Alarm - Sound file\xA6" "0\xA6" "SCH:AlarmFile\xA6" "@s255\xA6" "255\xA6" "1\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Warning - Advance warning date\xA6" "0\xA6" "SCH:AdvanceWarnDate\xA6" "@d17\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Warning - Advance warning time\xA6" "0\xA6" "SCH:AdvanceWarnTime\xA6" "@t7\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Warning - Advance warning given\xA6" "0\xA6" "SCH:AdvanceWarned\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Warned\xA6\xAB"
      "Warning - Warn in advance\xA6" "0\xA6" "SCH:Warn\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Warn\xA6\xAB"
      "Options - Skip if missed\xA6" "0\xA6" "SCH:SkipIfMissed\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Skip if missed\xA6\xAB"
      "Options - Skip if a script is active\xA6" "0\xA6" "SCH:SkipIfScriptActive\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Skip if a script is active\xA6\xAB"
      "Options - Keep no history\xA6" "0\xA6" "SCH:NoHistory\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "No history\xA6\xAB"
      "Options - Skipped by the user\xA6" "0\xA6" "SCH:UserSkip\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "User skip\xA6\xAB"
      "Status - Task disabled (True/False)\xA6" "0\xA6" "SCH:Disabled\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Disabled\xA6\xAB"
      "Status - Task skipped (True/False)\xA6" "0\xA6" "SCH:Skipped\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Skipped\xA6\xAB"
      "Expiry - Task expires\xA6" "0\xA6" "SCH:Expiry\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Expires\xA6\xAB"
      "Expiry - Expiry date\xA6" "0\xA6" "SCH:ExpiryDate\xA6" "@d17\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Expiry - Expiry time\xA6" "0\xA6" "SCH:ExpiryTime\xA6" "@t7\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Exceptions - Task has exceptions\xA6" "0\xA6" "SCH:Exceptions\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Exceptions\xA6\xAB"
      "Exceptions - Shift type\xA6" "0\xA6" "SCH:ShiftType\xA6" "@s20\xA6" "20\xA6" "1\xA6" "3\xA6" "\xA6" "Skip (to next valid|Previous day|Next day\xA6\xAB"
      "Exceptions - Except weekends\xA6" "0\xA6" "SCH:ExceptWeekends\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Weekends\xA6\xAB"
      "Exceptions - Except weekdays\xA6" "0\xA6" "SCH:ExceptWeekdays\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Weekdays\xA6\xAB"
      "Exceptions - Except holidays\xA6" "0\xA6" "SCH:ExceptHolidays\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Holidays\xA6\xAB"
      "Exceptions - Except a time range\xA6" "0\xA6" "SCH:ExceptTime\xA6" "@n3\xA6" "1\xA6" "2\xA6" "2\xA6" "\xA6" "Time range\xA6\xAB"
      "Exceptions - Time range begins\xA6" "0\xA6" "SCH:ExceptTimeBegin\xA6" "@t7\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "Exceptions - Time range ends\xA6" "0\xA6" "SCH:ExceptTimeEnd\xA6" "@t7\xA6" "4\xA6" "2\xA6" "1\xA6" "\xA6" "\xA6\xAB"
      "E-mail - Address\xA6" "0\xA6" "SCH:Email\xA6" "@s60\xA6" "60\xA6" "1\xA6" "1\xA6" "\xA6" "\xA6\xAB";
  return table;
}

std::string storedTaskListQueryFields() {
  // A row's field name is its third field; a row the wizard cannot read is kept for it to report.
  std::string out;
  std::string_view rest = taskListQueryFields();
  while (!rest.empty()) {
    const size_t end = rest.find('\xAB');
    const std::string_view row = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
    rest.remove_prefix(row.size());
    const size_t a = row.find('\xA6');
    const size_t b = a == std::string_view::npos ? a : row.find('\xA6', a + 1);
    const size_t c = b == std::string_view::npos ? b : row.find('\xA6', b + 1);
    if (c != std::string_view::npos && files::Desc_SCHEDULE.find(clip(row.substr(b + 1, c - b - 1))) == nullptr)
      continue;
    out += row;
  }
  return out;
}

}  // namespace ov::editors
