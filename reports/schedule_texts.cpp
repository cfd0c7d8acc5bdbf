#include "reports/schedule_texts.h"

#include "platform/rt/date_time.h"
#include "platform/rt/text.h"

namespace ov::reports {

namespace {

constexpr size_t kDescriptionWidth = 80;

std::string dropTrailingComma(std::string text) {
  text = rt::CLIP(text);
  if (!text.empty() && text.back() == ',') text.pop_back();
  return text;
}

std::string cut(std::string text) {
  if (text.size() > kDescriptionWidth) text.resize(kDescriptionWidth);
  return rt::CLIP(text);
}

bool hasExceptions(const files::ScheduleRec& t) {
  return !t.ExceptOther.isBlank() || t.ExceptTime || t.ExceptHolidays || t.ExceptWeekdays ||
         t.ExceptWeekends;
}

bool isTwice(const files::ScheduleRec& t) {
  return rt::UPPER(rt::SUB(t.MonthRepeat.view(), 1, 5)) == "TWICE";
}

}  // namespace

std::string OrdinalListText(std::string_view text, const files::ScheduleRec& t) {
  std::string s = cut(std::string(text)) + " ";
  if (t.Every1st) s += "1st, ";
  if (t.Every2nd) s += "2nd, ";
  if (t.Every3rd) s += "3rd, ";
  if (t.Every4th) s += "4th, ";
  if (t.EveryLast) s += "Last";
  return dropTrailingComma(cut(s));
}

std::string WeekdayListText(std::string_view text, const files::ScheduleRec& t) {
  static constexpr const char* kDays[] = {"Sun, ", "Mon, ", "Tue, ", "Wed, ", "Thu, ", "Fri, ", "Sat, "};
  std::string s = cut(std::string(text)) + " ";
  for (int d = 0; d < 7; ++d)
    if (t.dayOfWeek(d)) s += kDays[d];
  return dropTrailingComma(cut(s));
}

std::string ScheduleDescriptionText(const files::ScheduleRec& t) {
  const std::string type = t.ScheduleType.str();
  std::string text = type;
  if (type == "Monthly") {
    if (isTwice(t)) {
      text = "Twice Monthly";
      if (t.Offset != 0) text += " (" + std::to_string(t.Offset) + ")";
    }
  } else if (type == "Day of Week") {
    text = WeekdayListText("Days: ", t);
  } else if (type == "Day of Month") {
    text = OrdinalListText("Days: ", t);
    text = WeekdayListText(cut(text) + ":", t);
  } else if (type == "Custom" || type == "Other" || type == "Every") {
    std::string unit = t.EveryType.str();
    if (t.Every == 1 && unit.find("(s)") != std::string::npos) unit.resize(unit.size() - 3);
    text = "Every " + std::to_string(t.Every) + " " + unit;
  }
  if (hasExceptions(t)) text = cut(text) + " (exceptions exist)";
  return cut(text);
}

bool DateFitsSchedule(const files::ScheduleRec& t, int32_t date) {
  if (date == 0) date = t.Date;
  const std::string type = t.ScheduleType.str();
  if (type == "Monthly") {
    if (!isTwice(t)) return true;
    if (rt::DAY(date - t.Offset) == 15) return true;
    const int d = rt::DAY(date - t.Offset + 1);
    const bool last = rt::UPPER(t.MonthRepeat.view()).find("LAST") != std::string::npos;
    if (d == 1) return last;
    if (d == 2) return !last;
    return false;
  }
  if (type == "Day of Week") return t.dayOfWeek(rt::weekday(date)) != 0;
  if (type == "Day of Month") {
    if (t.LastDayOfMonth) return rt::MONTH(date + 1) != rt::MONTH(date);
    if (!t.dayOfWeek(rt::weekday(date))) return false;
    const int day = rt::DAY(date);
    if (day <= 7 && t.Every1st) return true;
    if (day >= 8 && day <= 14 && t.Every2nd) return true;
    if (day >= 15 && day <= 21 && t.Every3rd) return true;
    if (day >= 22 && day <= 28 && t.Every4th) return true;
    return t.EveryLast && rt::MONTH(date + 7) != rt::MONTH(date);
  }
  return true;  // "Once", "Yearly" and any other type
}

int monthNumber(std::string_view name) {
  static constexpr const char* kMonths[] = {"January", "February", "March",     "April",
                                            "May",     "June",     "July",      "August",
                                            "September", "October", "November", "December"};
  const std::string n = rt::CLIP(name);
  for (int m = 0; m < 12; ++m)
    if (n == kMonths[m]) return m + 1;
  return 0;
}

}  // namespace ov::reports
