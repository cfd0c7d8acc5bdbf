// The rules of the task explorer and the day task list that need no window: the row icons and
// colours, the explorer's quick filters as filter expressions, following the day at midnight, the
// texts of the toggles, the lists' column descriptions and the fields their query wizard offers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datalib/records.h"
#include "editors/explore_binding.h"

namespace ov::editors {

// The icon files of the task lists' two icon columns, numbered from 1.
inline constexpr const char* kTaskListIcons[] = {"~blank.ico",   "~bothtask.ico", "~disabled.ico",
                                                 "~done.ico",    "~msgtask.ico",  "~notdone.ico",
                                                 "~progtsk2.ico", "~skip.ico",     "~skipped.ico"};
static_assert(std::size(kTaskListIcons) == 9);

// The status icon: done, skip, disabled, skipped or not done (first rule that holds).
int statusIcon(const files::ScheduleRec& task);
// The task-type icon: program, message, both, else blank.
int taskTypeIcon(const files::ScheduleRec& task);

// The day list's Date column: text colour and selected text colour (-1: default). A disabled
// task is grey, one that skips its next occurrence blue; both select in white.
struct DateColours {
  int32_t fg = -1, sfg = -1;
};
DateColours dayListDateColours(const files::ScheduleRec& task);

// The explorer's day filter ("All", "Today", "Tomorrow", "This Week", "This Month", "Yesterday",
// "Custom") applied on `today` with the Custom range.
struct DayFilter {
  std::string condition;      // the filter part over SCH:Date; empty: every day
  int32_t shownDate = 0;      // the day the window stands for (new tasks default to it)
  int32_t rangeStart = 0, rangeEnd = 0;  // the range as the filter left it
  std::string dateText;       // the text beside the drop list
  std::string tip;            // the drop list's tip
  std::string title;          // the window's title
};
DayFilter applyDayFilter(std::string_view choice, int32_t today, int32_t rangeStart, int32_t rangeEnd);

// The other parts: status ("All", "Active", "Completed", "Disabled"), category ("All" or a name;
// the expression names the bound variable Filter:Category) and text (the bound Filter:Text).
std::string statusCondition(std::string_view status);
std::string categoryCondition(std::string_view category);
std::string textCondition(std::string_view text);

// At a day-change test: when today moved on and the window showed the remembered today, it moves
// to the new day (true). The remembered today becomes today either way.
bool followDayChange(int32_t today, int32_t& remembered, int32_t& shown);

// "Skip Next Occurrence" / "Disable", with `undo` in front while the flag is set.
std::string skipText(bool skipping, std::string_view undo);
std::string disableText(bool disabled, std::string_view undo);

// The task lists' described columns: the explorer's ten shown ones (with "Message") or the day
// list's nine, then the hidden SCH:Skipped and SCH:ID.
std::vector<ExploreColumn> taskListColumns(bool explorer);

// The fields of SCHEDULE the lists' query wizard offers, as the packed field table the wizard
// reads. Choice lists hold the texts the task form stores, so that a chosen value can match.
std::string& taskListQueryFields();
// The table without the rows for fields SCHEDULE does not store (as the lists hand it on).
std::string storedTaskListQueryFields();

}  // namespace ov::editors
