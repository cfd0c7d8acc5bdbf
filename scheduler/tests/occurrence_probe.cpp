// Reads task descriptions from standard input, one per line, and prints what the recurrence rules
// make of them; the rrule oracle test (rrule_oracle.py) compares that with python-dateutil.
//
//   next    type=DayOfWeek date=D time=T days=-M-W-F- weeks=-2--L last=0 repeat=1st15 offset=0
//           every=N unit=min count=K      -> K successive next occurrences, "date:time" each
//   resched <the same fields> mdate=D mtime=T -> the occurrence after the moment, or GIVEUP
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "scheduler/occurrence.h"
#include "scheduler/tests/test_tasks.h"

using namespace ov::scheduler;

int main() {
  const std::map<std::string, const char*> types = {
      {"Once", "Once"},          {"Monthly", "Monthly"},          {"Yearly", "Yearly"},
      {"DayOfWeek", "Day of Week"}, {"DayOfMonth", "Day of Month"}, {"Custom", "Custom"}};
  const std::map<std::string, const char*> repeats = {
      {"once", "Once"}, {"1st15", "Twice - 1st, 15th"}, {"15last", "Twice - 15th, Last"}};
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string verb, item;
    in >> verb;
    std::map<std::string, std::string> f;
    while (in >> item) {
      const size_t eq = item.find('=');
      f[item.substr(0, eq)] = item.substr(eq + 1);
    }
    ScheduleRecord t;
    t.ScheduleType = types.at(f["type"]);
    t.Date = std::stoi(f["date"]);
    t.Time = std::stoi(f["time"]);
    testing::setWeekdays(t, f.count("days") ? f["days"].c_str() : "-------");
    testing::setWeeks(t, f.count("weeks") ? f["weeks"].c_str() : "-----");
    t.LastDayOfMonth = f["last"] == "1";
    t.MonthRepeat = repeats.at(f.count("repeat") ? f["repeat"] : "once");
    t.Offset = f.count("offset") ? std::stoi(f["offset"]) : 0;
    t.Every = f.count("every") ? std::stoi(f["every"]) : 1;
    t.EveryType = f.count("unit") ? f["unit"] : "";
    if (verb == "next") {
      const int count = std::stoi(f["count"]);
      for (int i = 0; i < count; ++i) {
        NextOccurrence(t, t.Date, t.Time);
        std::printf("%s%d:%d", i ? " " : "", t.Date, t.Time);
      }
      std::printf("\n");
    } else if (verb == "resched") {
      const int32_t date = std::stoi(f["mdate"]), time = std::stoi(f["mtime"]);
      if (!ReschedulePreviousOccurrence(t, date, time)) {
        std::printf("GIVEUP\n");
        continue;
      }
      NextOccurrence(t, date, time);
      std::printf("%d:%d\n", t.Date, t.Time);
    } else {
      std::fprintf(stderr, "unknown verb %s\n", verb.c_str());
      return 2;
    }
  }
  return 0;
}
