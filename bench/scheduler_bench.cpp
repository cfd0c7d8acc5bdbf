// The recurrence rules: one next occurrence per schedule type for a task 30 days overdue, and the
// backward-then-forward step of rescheduling.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/rt/date_time.h"
#include "scheduler/occurrence.h"

using namespace ov;
using namespace ov::scheduler;

namespace {

constexpr int32_t at(int h, int m) { return (h * 60 + m) * 6000 + 1; }

ScheduleRecord makeTask(int kind) {
  ScheduleRecord t;
  t.Date = rt::DATE(3, 1, 2024);
  t.Time = at(10, 0);
  switch (kind) {
    case 0: t.ScheduleType = "Custom"; t.Every = 1; t.EveryType = "minute(s)"; break;
    case 1: t.ScheduleType = "Custom"; t.Every = 1; t.EveryType = "hour(s)"; break;
    case 2: t.ScheduleType = "Custom"; t.Every = 1; t.EveryType = "day(s)"; break;
    case 3: t.ScheduleType = "Custom"; t.Every = 1; t.EveryType = "week(s)"; break;
    case 4: t.ScheduleType = "Custom"; t.Every = 1; t.EveryType = "month(s)"; break;
    case 5: t.ScheduleType = "Monthly"; t.MonthRepeat = "Twice - 15th, Last"; break;
    case 6: t.ScheduleType = "Monthly"; t.MonthRepeat = "Once"; break;
    case 7: t.ScheduleType = "Yearly"; break;
    case 8: t.ScheduleType = "Day of Week"; t.Monday = t.Wednesday = t.Friday = 1; break;
    case 9: t.ScheduleType = "Day of Month"; t.Tuesday = 1; t.Every2nd = 1; break;
    case 10: t.ScheduleType = "Day of Month"; t.LastDayOfMonth = 1; break;
    case 11: t.ScheduleType = "Day of Month"; t.Monday = t.Tuesday = t.Wednesday = t.Thursday = t.Friday = 1; break;
  }
  return t;
}

const char* const kNames[] = {"every minute", "every hour",       "every day",    "every week",
                              "every month",  "semi-monthly",     "monthly",      "yearly",
                              "day of week",  "second Tuesday",   "month end",    "every weekday"};

// A task 30 days overdue moves to its next occurrence past now.
void BM_NextOccurrence30DaysOverdue(benchmark::State& state) {
  ScheduleRecord t = makeTask(int(state.range(0)));
  const int32_t date = t.Date, time = t.Time;
  const int32_t now = date + 30, nowTime = at(12, 34) + 5678;
  for (auto _ : state) {
    t.Date = date;
    t.Time = time;
    NextOccurrence(t, now, nowTime);
    benchmark::DoNotOptimize(t.Date);
  }
  state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_NextOccurrence30DaysOverdue)->DenseRange(0, 11);

// Rescheduling a task due in 30 days to tomorrow: back, then forward.
void BM_RescheduleOneTask(benchmark::State& state) {
  ScheduleRecord t = makeTask(int(state.range(0)));
  const int32_t date = t.Date + 30, time = t.Time;
  const int32_t moment = t.Date + 1, momentTime = at(9, 0);
  for (auto _ : state) {
    t.Date = date;
    t.Time = time;
    ReschedulePreviousOccurrence(t, moment, momentTime);
    NextOccurrence(t, moment, momentTime);
    benchmark::DoNotOptimize(t.Date);
  }
  state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_RescheduleOneTask)->DenseRange(0, 11);

}  // namespace
