// The table layer under the loads the scheduler puts on it: the due-task look-up (the first task
// at or after a disabled/date/time key value among 100,000), adding 100,000 tasks in one
// transaction, and reading them all in key order. The tasks are shaped like the scheduler's:
// eleven keys, a 4096-byte message field, an encrypted storage file.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <random>
#include <string>

#include "platform/files/file.h"
#include "platform/rt/fixed_string.h"

namespace {

using namespace ov;
using rt::FieldType;

struct Task {
  int32_t id = 0;
  rt::String<40> user;
  rt::String<20> taskType;
  rt::String<20> category;
  rt::String<40> description;
  rt::String<255> command;
  rt::String<4096> message;
  int32_t date = 0, time = 0;
  uint8_t disabled = 0, advanceWarned = 0;
  int32_t advanceDate = 0, advanceTime = 0, expiryDate = 0, expiryTime = 0, originalId = 0;
};

const rt::FieldDesc kFields[] = {
    {"T:ID", FieldType::Long, 4, 0, offsetof(Task, id)},
    {"T:User", FieldType::String, 40, 4, offsetof(Task, user)},
    {"T:TaskType", FieldType::String, 20, 44, offsetof(Task, taskType)},
    {"T:Category", FieldType::String, 20, 64, offsetof(Task, category)},
    {"T:Description", FieldType::String, 40, 84, offsetof(Task, description)},
    {"T:Command", FieldType::String, 255, 124, offsetof(Task, command)},
    {"T:Message", FieldType::String, 4096, 379, offsetof(Task, message)},
    {"T:Date", FieldType::Long, 4, 4475, offsetof(Task, date)},
    {"T:Time", FieldType::Long, 4, 4479, offsetof(Task, time)},
    {"T:Disabled", FieldType::Byte, 1, 4483, offsetof(Task, disabled)},
    {"T:AdvanceWarned", FieldType::Byte, 1, 4484, offsetof(Task, advanceWarned)},
    {"T:AdvanceDate", FieldType::Long, 4, 4485, offsetof(Task, advanceDate)},
    {"T:AdvanceTime", FieldType::Long, 4, 4489, offsetof(Task, advanceTime)},
    {"T:ExpiryDate", FieldType::Long, 4, 4493, offsetof(Task, expiryDate)},
    {"T:ExpiryTime", FieldType::Long, 4, 4497, offsetof(Task, expiryTime)},
    {"T:OriginalID", FieldType::Long, 4, 4501, offsetof(Task, originalId)},
};
const rt::RecordDesc kRecord{"T", kFields, 4505};

Task g_task;

// The task file with all eleven keys, or with only its first `keys` (KeyID, KeyDate, ...).
db::FileDecl taskDecl(const std::string& path, size_t keys = 11) {
  db::FileDecl d;
  d.label = "TASKS";
  d.prefix = "T";
  d.name = "TASKS";
  d.nameFrom = [path] { return path + "\\!s"; };
  d.record = &kRecord;
  d.buffer = &g_task;
  d.bufferSize = sizeof g_task;
  d.owner = [] { return std::string("bench-pwd"); };
  d.keys = {
      {.name = "T:KeyID", .description = "ID", .parts = {{"T:ID"}}, .unique = true, .primary = true},
      {.name = "T:KeyDate", .description = "Date", .parts = {{"T:Date"}, {"T:Time"}}},
      {.name = "T:KeyCategory", .description = "Category", .parts = {{"T:Category"}, {"T:Description"}}},
      {.name = "T:KeyCategoryDate", .description = "", .parts = {{"T:Category"}, {"T:Date"}, {"T:Time"}}},
      {.name = "T:KeyTaskName", .description = "", .parts = {{"T:Description"}, {"T:Category"}}},
      {.name = "T:KeyTaskType", .description = "", .parts = {{"T:TaskType"}, {"T:Description"}}},
      {.name = "T:KeyTaskDate", .description = "", .parts = {{"T:TaskType"}, {"T:Date"}, {"T:Time"}}},
      {.name = "T:KeyDateEnabled", .description = "", .parts = {{"T:Disabled"}, {"T:Date"}, {"T:Time"}}},
      {.name = "T:KeyAdvanced", .description = "",
       .parts = {{"T:AdvanceWarned"}, {"T:AdvanceDate"}, {"T:AdvanceTime"}}},
      {.name = "T:KeyExpiryDate", .description = "", .parts = {{"T:ExpiryDate"}, {"T:ExpiryTime"}}},
      {.name = "T:KeyOriginalID", .description = "", .parts = {{"T:OriginalID"}}},
  };
  d.keys.resize(std::min(keys, d.keys.size()));
  d.version = 1;
  d.upgradeName = "Tasks";
  return d;
}

constexpr int kTasks = 100000;
const char* const kCategories[] = {"Work", "Home", "Birthday", "Backup", "Mail"};

void fillTask(int i, std::mt19937& rng) {
  g_task.id = i;
  g_task.user = "benchmark";
  g_task.taskType = i % 3 ? "Display Message" : "Run Program";
  g_task.category = kCategories[i % 5];
  g_task.description = "Task number " + std::to_string(i);
  g_task.command = i % 3 ? "" : "/usr/bin/true";
  g_task.message = "Remember task " + std::to_string(i);
  g_task.disabled = rng() % 10 == 0;
  g_task.date = 80000 + static_cast<int32_t>(rng() % 3650);
  g_task.time = 1 + static_cast<int32_t>(rng() % 8640000);
  g_task.advanceWarned = 0;
  g_task.advanceDate = g_task.date - 1;
  g_task.advanceTime = g_task.time;
  g_task.expiryDate = 0;
  g_task.expiryTime = 0;
  g_task.originalId = 0;
}

struct TempFolder {
  TempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov_db_bench_XXXXXX").string();
    path = ::mkdtemp(tmpl.data());
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::string path;
};

// Adds the tasks in one transaction; false on any failure.
bool addTasks(db::File& f, int count) {
  std::mt19937 rng(42);
  if (db::LOGOUT(10, {&f}) != rt::Err::None) return false;
  for (int i = 1; i <= count; ++i) {
    fillTask(i, rng);
    if (f.add() != rt::Err::None) {
      (void)db::ROLLBACK();
      return false;
    }
  }
  return db::COMMIT() == rt::Err::None;
}

// One file of 100,000 tasks shared by the reading benchmarks.
db::File& sharedTasks() {
  static TempFolder folder;
  static db::File file(taskDecl(folder.path + "/RO97.ZEZ"));
  static bool ready = [] {
    return file.create() == rt::Err::None && file.open() == rt::Err::None && addTasks(file, kTasks);
  }();
  (void)ready;
  return file;
}

void BM_InsertInOneTransaction(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TempFolder folder;
    db::File f(taskDecl(folder.path + "/RO97.ZEZ", static_cast<size_t>(state.range(1))));
    if (f.create() != rt::Err::None || f.open() != rt::Err::None) state.SkipWithError("cannot create the file");
    state.ResumeTiming();
    if (!addTasks(f, static_cast<int>(state.range(0)))) state.SkipWithError("an add failed");
    state.PauseTiming();
    (void)f.close();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
// Arguments: the number of tasks and the number of keys (the scheduler's task file has 11).
BENCHMARK(BM_InsertInOneTransaction)->Args({kTasks, 11})->Args({kTasks, 3})->Unit(benchmark::kMillisecond)->Iterations(3);

// The due-task look-up: SET(T:KeyDateEnabled, key) with Disabled = 0 and a date and time, then
// NEXT, which reads the whole task into the buffer.
void BM_FirstAtOrAfterThreePartKey(benchmark::State& state) {
  db::File& f = sharedTasks();
  db::Key key = f.key("T:KeyDateEnabled");
  std::mt19937 rng(7);
  for (auto _ : state) {
    g_task.disabled = 0;
    g_task.date = 80000 + static_cast<int32_t>(rng() % 3650);
    g_task.time = 1 + static_cast<int32_t>(rng() % 8640000);
    if (f.setFrom(key) != rt::Err::None || f.next() != rt::Err::None) state.SkipWithError("look-up failed");
    benchmark::DoNotOptimize(g_task.id);
  }
}
BENCHMARK(BM_FirstAtOrAfterThreePartKey)->Unit(benchmark::kMicrosecond);

void BM_KeyOrderedScan(benchmark::State& state) {
  db::File& f = sharedTasks();
  db::Key key = f.key("T:KeyCategory");
  int64_t read = 0;
  for (auto _ : state) {
    if (f.set(key) != rt::Err::None) state.SkipWithError("SET failed");
    int n = 0;
    while (f.next() == rt::Err::None) ++n;
    if (n != kTasks) state.SkipWithError("not every task was read");
    read += n;
  }
  state.SetItemsProcessed(read);
}
BENCHMARK(BM_KeyOrderedScan)->Unit(benchmark::kMillisecond);

}  // namespace
