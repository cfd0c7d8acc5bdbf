#include "editors/recurrence.h"

#include <cctype>

#include "platform/rt/fixed_string.h"

namespace ov::editors {
namespace {

constexpr size_t kWidth = 80;

// Cut to the text width, then without trailing blanks: every step works on the clipped text.
std::string fit(std::string s) {
  s.resize(rt::utf8CutLength(s, kWidth));
  s.resize(rt::clipView(s).size());
  return s;
}

// Removes one comma that ends the (clipped) text.
void dropTrailingComma(std::string& text) {
  text = fit(std::move(text));
  if (!text.empty() && text.back() == ',') text.pop_back();
}

}  // namespace

void AppendWeekdayNames(std::string& text, const files::ScheduleRec& task) {
  static constexpr const char* kNames[] = {"Sun, ", "Mon, ", "Tue, ", "Wed, ", "Thu, ", "Fri, ", "Sat, "};
  const uint8_t days[] = {task.Sunday, task.Monday, task.Tuesday, task.Wednesday,
                          task.Thursday, task.Friday, task.Saturday};
  text = fit(std::move(text)) + " ";
  for (int i = 0; i < 7; ++i)
    if (days[i] == 1) text += kNames[i];
  dropTrailingComma(text);
}

void AppendWeekOrdinals(std::string& text, const files::ScheduleRec& task) {
  text = fit(std::move(text)) + " ";
  if (task.Every1st == 1) text += "1st, ";
  if (task.Every2nd == 1) text += "2nd, ";
  if (task.Every3rd == 1) text += "3rd, ";
  if (task.Every4th == 1) text += "4th, ";
  if (task.EveryLast == 1) text += "Last";
  dropTrailingComma(text);
}

std::string DescribeRecurrence(const files::ScheduleRec& task) {
  const std::string type = task.ScheduleType.str();
  std::string text = fit(type);
  if (type != "Once") {
    if (type == "Monthly") {
      std::string repeat = task.MonthRepeat.str().substr(0, 5);
      for (char& c : repeat) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (repeat == "TWICE") {
        text = "Twice Monthly";
        if (task.Offset != 0) text = fit(text + " (" + std::to_string(task.Offset) + ")");
      }
    } else if (type == "Day of Week") {
      text = "Days: ";
      AppendWeekdayNames(text, task);
    } else if (type == "Day of Month") {
      text = "Days: ";
      AppendWeekOrdinals(text, task);
      text = fit(fit(text) + ":");
      AppendWeekdayNames(text, task);
    } else if (type == "Custom" || type == "Other" || type == "Every") {
      text = fit("Every " + std::to_string(task.Every) + " " + task.EveryType.str());
    }
  }
  if (!task.ExceptOther.isBlank() || task.ExceptTime || task.ExceptHolidays || task.ExceptWeekdays ||
      task.ExceptWeekends)
    text = fit(fit(text) + " (exceptions exist)");
  return fit(text);
}

std::string DescribeRecurrence() { return DescribeRecurrence(files::SCH); }

}  // namespace ov::editors
