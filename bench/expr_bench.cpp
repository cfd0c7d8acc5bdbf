// Filters over 100,000 task records, as a browse or a report reads them: the record is read into
// the bound buffer and the filter, parsed once, is evaluated for it.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/rt/date_time.h"
#include "platform/rt/expr.h"

using namespace ov::rt;

namespace {

struct Task {
  int32_t ID = 0;
  String<20> TaskType;
  String<20> Category;
  String<40> Description;
  int32_t Date = 0;
  int32_t Time = 0;
  uint8_t Disabled = 0;
  uint8_t Completed = 0;
};
const FieldDesc kTaskFields[] = {
    {"SCH:ID", FieldType::Long, 4, 0, offsetof(Task, ID)},
    {"SCH:TaskType", FieldType::String, 20, 4, offsetof(Task, TaskType)},
    {"SCH:Category", FieldType::String, 20, 24, offsetof(Task, Category)},
    {"SCH:Description", FieldType::String, 40, 44, offsetof(Task, Description)},
    {"SCH:Date", FieldType::Date, 4, 84, offsetof(Task, Date)},
    {"SCH:Time", FieldType::Time, 4, 88, offsetof(Task, Time)},
    {"SCH:Disabled", FieldType::Byte, 1, 92, offsetof(Task, Disabled)},
    {"SCH:Completed", FieldType::Byte, 1, 93, offsetof(Task, Completed)},
};
const RecordDesc kTask{"SCH", kTaskFields, 94};

const std::vector<Task>& tasks() {
  static const std::vector<Task> rows = [] {
    const char* types[] = {"Run Program", "Display Message", "Hot Key", "Script"};
    const char* categories[] = {"Work", "Home", "Birthdays", "Reminders", "Backup"};
    std::vector<Task> v(100000);
    int32_t today = TODAY();
    for (int i = 0; i < 100000; ++i) {
      Task& t = v[static_cast<size_t>(i)];
      t.ID = i + 1;
      t.TaskType = types[i % 4];
      t.Category = categories[i % 5];
      t.Description = "Task number " + std::to_string(i) + (i % 7 == 0 ? " invoice" : "");
      t.Date = today - 200 + i % 400;
      t.Time = 1 + (i % 1440) * 6000;
      t.Disabled = i % 11 == 0;
      t.Completed = i % 13 == 0;
    }
    return v;
  }();
  return rows;
}

void runFilter(benchmark::State& state, const char* filter) {
  Task buffer;
  String<20> filterCategory = "Work", filterText = "invoice";
  Bindings names;
  names.bindRecord(kTask, &buffer);
  names.bind("Filter:Category", filterCategory);
  names.bind("Filter:Text", filterText);
  Expression e;
  if (!e.parse(filter, names)) {
    state.SkipWithError("filter does not parse");
    return;
  }
  const std::vector<Task>& rows = tasks();
  for (auto _ : state) {
    int selected = 0;
    for (const Task& row : rows) {
      buffer = row;
      selected += e.isTrue();
    }
    benchmark::DoNotOptimize(selected);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(rows.size()));
}

void BM_FilterExplorerParts(benchmark::State& state) {
  runFilter(state,
            "(NOT(SCH:TaskType='Hot Key')) AND (~(SCH:Disabled OR SCH:Completed)) AND "
            "(SCH:Date>=TODAY() AND SCH:Date<TODAY()+7) AND (SCH:Category=Filter:Category)");
}
BENCHMARK(BM_FilterExplorerParts)->Unit(benchmark::kMillisecond);

void BM_FilterTextSearch(benchmark::State& state) {
  runFilter(state, "INSTRING(UPPER(CLIP(Filter:Text)),UPPER(SCH:Description),1)>0");
}
BENCHMARK(BM_FilterTextSearch)->Unit(benchmark::kMillisecond);

void BM_FilterMonth(benchmark::State& state) { runFilter(state, "MONTH(SCH:Date)=MONTH(TODAY())"); }
BENCHMARK(BM_FilterMonth)->Unit(benchmark::kMillisecond);

void BM_Parse(benchmark::State& state) {
  Task buffer;
  Bindings names;
  names.bindRecord(kTask, &buffer);
  for (auto _ : state) {
    Expression e;
    benchmark::DoNotOptimize(e.parse("Sch:Date>=TODAY()-30 AND Sch:Date<=TODAY()+30 AND UPPER(SCH:Category)='WORK'", names));
  }
}
BENCHMARK(BM_Parse);

}  // namespace
