// "Reschedule all tasks" over a SCHEDULE file of 100,000 tasks of every schedule type.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/task_folder.h"
#include "datalib/records.h"
#include "platform/rt/date_time.h"
#include "scheduler/reschedule.h"

using namespace ov;

namespace {

constexpr int32_t at(int h, int m) { return (h * 60 + m) * 6000 + 1; }

// One task of every schedule type in turn.
void fillTask(int i, files::ScheduleRec& t) {
  const char* units[] = {"minute(s)", "hour(s)", "day(s)", "week(s)", "month(s)"};
  t.ID = i + 1;
  t.Description = "Task " + std::to_string(i);
  t.TaskType = "Display Message";
  t.Date = rt::DATE(1, 1, 2024) + i % 400;
  t.Time = at(i % 24, i % 60);
  switch (i % 6) {
    case 0: t.ScheduleType = "Custom"; t.Every = 1 + i % 30; t.EveryType = units[i % 5]; break;
    case 1: t.ScheduleType = "Day of Week"; t.Monday = t.Thursday = 1; break;
    case 2: t.ScheduleType = "Day of Month"; t.Tuesday = 1; t.Every2nd = 1; break;
    case 3: t.ScheduleType = "Monthly"; t.MonthRepeat = i % 2 ? "Twice - 1st, 15th" : "Once"; break;
    case 4: t.ScheduleType = "Yearly"; break;
    case 5: t.ScheduleType = "Day of Month"; t.LastDayOfMonth = 1; break;
  }
}

void BM_RescheduleAllTasks(benchmark::State& state) {
  bench::TaskFolder folder(int(state.range(0)), fillTask);
  // Alternate between two moments half a year apart, so that every pass moves every task.
  int32_t moments[] = {rt::DATE(6, 1, 2024), rt::DATE(12, 1, 2024)};
  int pass = 0;
  for (auto _ : state) {
    if (scheduler::RescheduleAllTasks(moments[pass++ % 2], at(9, 0)) != rt::Err::None)
      state.SkipWithError("reschedule failed");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RescheduleAllTasks)->Arg(100000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

