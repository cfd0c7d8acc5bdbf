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
      {"SCH:Category", 60, "Category", "@s20", "Basic - Task Category", 'L', true, false, false, true},
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

}  // namespace ov::editors
