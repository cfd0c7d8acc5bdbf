// The first page of the task lists over a SCHEDULE file of 1,000 and 100,000 tasks: the browse
// reads the view again (as a reset with force does) in the orders and with the filters the task
// explorer and the day list give it (the explorer's day filters as the explorer makes them), and
// loads one page; also sorted by a column, and placed at today. Also the last page, for
// comparison.
//
// The browse runs on a declared window that is not shown, so the figures are those of the view
// and the page loading, without painting. The tasks' dates spread over 400 days around today.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "editors/task_list_rules.h"
#include "platform/files/view_manager.h"
#include "platform/rt/date_time.h"
#include "platform/rt/expr.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/window_manager.h"

using namespace ov;

namespace {

// A data folder of `count` tasks, made once per count and kept for the run.
class TaskFolder {
 public:
  explicit TaskFolder(int count) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov-list-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    m_dir = tmpl;
    use();
    if (files::Access_SCHEDULE.Open() != rt::Err::None) std::abort();
    (void)db::LOGOUT(10, {&files::SCHEDULE});
    const int32_t today = rt::TODAY();
    const char* categories[] = {"Backup", "Mail", "Reports", "Home", "Work"};
    for (int i = 0; i < count; ++i) {
      files::SCHEDULE.clear();
      files::ScheduleRec& t = files::SCH;
      t.ID = i + 1;
      t.Description = "Task " + std::to_string(i);
      t.Category = categories[i % 5];
      t.TaskType = "Display Message";
      t.ScheduleType = "Once";
      t.Date = today - 200 + (i * 7919) % 400;  // not in file order
      t.Time = (i % 1440) * 6000 + 1;
      if (files::SCHEDULE.add() != rt::Err::None) std::abort();
    }
    if (db::COMMIT() != rt::Err::None) std::abort();
    (void)files::Access_SCHEDULE.Close();
  }
  ~TaskFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
  // Makes the folder the data folder.
  void use() {
    std::filesystem::current_path(m_dir);
    files::clearGlobals();
    files::GLO.DATAPATH = m_dir.string() + "/";
    files::GLO.LOGFILENAME = (m_dir / "OV_EVENT.LOG").string();
  }

 private:
  std::filesystem::path m_dir;
};

TaskFolder& folder(int count) {
  static std::map<int, std::unique_ptr<TaskFolder>> made;
  auto& f = made[count];
  if (!f) f = std::make_unique<TaskFolder>(count);
  f->use();
  return *f;
}

struct Row {
  int32_t date = 0;
  int32_t time = 0;
  rt::String<20> category;
  rt::String<40> description;
};
const rt::FieldDesc kRowFields[] = {
    {"Date", rt::FieldType::Long, 4, 0, offsetof(Row, date)},
    {"Time", rt::FieldType::Long, 4, 4, offsetof(Row, time)},
    {"Category", rt::FieldType::String, 20, 8, offsetof(Row, category)},
    {"Description", rt::FieldType::String, 40, 28, offsetof(Row, description)},
};
const rt::RecordDesc kRow{"ROW", kRowFields, 68};

// A task list's browse, declared but not opened: 20 rows a page.
struct TaskList : ui::WindowManager {
  TaskList() : ui::WindowManager("TaskListBench"), view(files::Access_SCHEDULE) {
    if (files::Access_SCHEDULE.Open() != rt::Err::None) std::abort();
    selectedDay = rt::TODAY();
    rt::BIND("SelectedDay", selectedDay);
    int list = window()
                   .add<ui::ListControl>(0, "?Browse")
                   .from(queue, kRow)
                   .format("40R~Date~@d3@30R~Time~@t7@80L~Category~@s20@120L~Description~@s40@")
                   .at(4, 4, 300, 200)
                   .feq();
    Browse.Init(list, view, *this);
    Browse.AddField("SCH:Date", "Date");
    Browse.AddField("SCH:Time", "Time");
    Browse.AddField("SCH:Category", "Category");
    Browse.AddField("SCH:Description", "Description");
    Browse.AddSortOrder(files::SCH_KeyDate);
  }
  ~TaskList() override {
    rt::UNBIND("SelectedDay");
    (void)files::Access_SCHEDULE.Close();
  }
  // The explorer's filter parts for a day filter condition.
  void explorer(const std::string& dayCondition) {
    Browse.SetFilter("(SCH:Date>0)");
    Browse.SetFilter("NOT(SCH:TaskType='Hot Key')", "3TaskType");
    Browse.SetFilter(dayCondition, "2Date");
  }
  int32_t selectedDay = 0;
  db::ViewManager view;
  rt::Queue<Row> queue;
  ui::BrowseClass Browse;
};

void firstPage(benchmark::State& state, const std::function<void(TaskList&)>& setUp) {
  folder(static_cast<int>(state.range(0)));
  TaskList w;
  setUp(w);
  for (auto _ : state) {
    w.Browse.ResetSort(true);
    benchmark::DoNotOptimize(w.queue.RECORDS());
  }
  state.counters["rows"] = w.queue.RECORDS();
}

// The explorer's filter for one of its day choices.
std::string dayCondition(const char* choice) { return editors::applyDayFilter(choice, rt::TODAY(), 0, 0).condition; }

void BM_ExplorerToday(benchmark::State& state) {
  firstPage(state, [](TaskList& w) { w.explorer(dayCondition("Today")); });
}
void BM_ExplorerThisWeek(benchmark::State& state) {
  firstPage(state, [](TaskList& w) { w.explorer(dayCondition("This Week")); });
}
void BM_ExplorerAll(benchmark::State& state) {
  firstPage(state, [](TaskList& w) { w.explorer(dayCondition("All")); });
}
void BM_ExplorerThisMonth(benchmark::State& state) {
  firstPage(state, [](TaskList& w) { w.explorer(dayCondition("This Month")); });
}
// All tasks sorted by a column's elements, as a click on its header orders them: Date, Category
// and Description lead keys of the file (one category holds a fifth of the tasks); Time and the
// last run lead none, so the file sorts the tasks by them.
void sortedByColumn(benchmark::State& state, const char* elements) {
  firstPage(state, [elements](TaskList& w) {
    w.Browse.AddSortOrder();
    w.Browse.SetOrder(elements);
    w.explorer("");
  });
}
void BM_ExplorerSortByDate(benchmark::State& state) { sortedByColumn(state, "-SCH:Date"); }
void BM_ExplorerSortByCategory(benchmark::State& state) { sortedByColumn(state, "UPPER(SCH:Category)"); }
void BM_ExplorerSortByDescription(benchmark::State& state) { sortedByColumn(state, "UPPER(SCH:Description)"); }
void BM_ExplorerSortByTime(benchmark::State& state) { sortedByColumn(state, "SCH:Time"); }
void BM_ExplorerSortByTimeDown(benchmark::State& state) { sortedByColumn(state, "-SCH:Time"); }
void BM_ExplorerSortByLastRun(benchmark::State& state) { sortedByColumn(state, "-SCH:LastRunDate,-SCH:LastRunTime"); }
// The last page of all tasks sorted by time (End pressed in the list).
void BM_ExplorerSortByTimeLastPage(benchmark::State& state) {
  folder(static_cast<int>(state.range(0)));
  TaskList w;
  w.Browse.AddSortOrder();
  w.Browse.SetOrder("SCH:Time");
  w.explorer("");
  for (auto _ : state) {
    w.Browse.ResetSort(true);
    w.Browse.ScrollEnd(1);
    benchmark::DoNotOptimize(w.queue.RECORDS());
  }
  state.counters["rows"] = w.queue.RECORDS();
}
void BM_DayListDaySchedule(benchmark::State& state) {
  firstPage(state, [](TaskList& w) { w.Browse.SetFilter("(SCH:Date=SelectedDay AND SCH:Date>0)"); });
}
void BM_DayListAllByDate(benchmark::State& state) {
  firstPage(state, [](TaskList& w) { w.Browse.SetFilter("(SCH:Date>0)"); });
}
// All tasks by date, the list placed at today's first task (the lists' start with every day shown):
// the tasks before today are read on the way.
void BM_ExplorerAllAtToday(benchmark::State& state) {
  folder(static_cast<int>(state.range(0)));
  TaskList w;
  w.explorer("");
  ui::StepLocatorClass locator;
  locator.Init("SCH:Date");
  w.Browse.AddLocator(locator);
  for (auto _ : state) {
    w.Browse.ResetSort(true);
    w.Browse.Locate(locator, std::to_string(rt::TODAY()));
    benchmark::DoNotOptimize(w.queue.RECORDS());
  }
  state.counters["first"] = static_cast<double>(w.Browse.firstRow());
}
// The last page of all tasks by date: every selected task is read on the way.
void BM_DayListAllByDateLastPage(benchmark::State& state) {
  folder(static_cast<int>(state.range(0)));
  TaskList w;
  w.Browse.SetFilter("(SCH:Date>0)");
  for (auto _ : state) {
    w.Browse.ResetSort(true);
    w.Browse.ScrollEnd(1);
    benchmark::DoNotOptimize(w.queue.RECORDS());
  }
}

#define OV_LIST_BENCH(name) BENCHMARK(name)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)
OV_LIST_BENCH(BM_ExplorerToday);
OV_LIST_BENCH(BM_ExplorerThisWeek);
OV_LIST_BENCH(BM_ExplorerAll);
OV_LIST_BENCH(BM_ExplorerThisMonth);
OV_LIST_BENCH(BM_ExplorerSortByDate);
OV_LIST_BENCH(BM_ExplorerSortByCategory);
OV_LIST_BENCH(BM_ExplorerSortByDescription);
OV_LIST_BENCH(BM_ExplorerSortByTime);
OV_LIST_BENCH(BM_ExplorerSortByTimeDown);
OV_LIST_BENCH(BM_ExplorerSortByLastRun);
OV_LIST_BENCH(BM_ExplorerSortByTimeLastPage);
OV_LIST_BENCH(BM_ExplorerAllAtToday);
OV_LIST_BENCH(BM_DayListDaySchedule);
OV_LIST_BENCH(BM_DayListAllByDate);
OV_LIST_BENCH(BM_DayListAllByDateLastPage);

}  // namespace
