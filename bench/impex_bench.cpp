// Export and import of 100,000 to-do records through the CSV runs, and beside them the time the
// sqlite3 command-line program takes to .import the same CSV into a plain table (when the
// program is installed; it is only run, never linked).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "datalib/files.h"
#include "impex/export_run.h"
#include "impex/import_run.h"
#include "platform/rt/date_time.h"

namespace {

using namespace ov;
constexpr int kRecords = 100000;

struct Folder {
  std::filesystem::path root;
  Folder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "impexbench-XXXXXX").string();
    root = ::mkdtemp(tmpl.data());
    std::filesystem::current_path(root);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root / "share").c_str(), 1);
  }
  ~Folder() {
    (void)files::TODO.close();
    std::error_code ec;
    std::filesystem::current_path("/", ec);
    std::filesystem::remove_all(root, ec);
  }
};

rt::Err openFresh() {
  (void)files::TODO.close();
  std::filesystem::remove("RO97.ZEZ");
  if (rt::Err e = files::TODO.create(); e != rt::Err::None) return e;
  return files::TODO.open();
}

void fill() {
  (void)db::LOGOUT(5, {&files::TODO});
  for (int i = 0; i < kRecords; ++i) {
    files::TODO.clear();
    files::TDO.Done = static_cast<uint8_t>(i % 2);
    files::TDO.Priority = static_cast<uint8_t>(1 + i % 10);
    files::TDO.Category = "Category " + std::to_string(i % 17);
    files::TDO.ToDo = "Call supplier about order " + std::to_string(i) + ", \"urgent\"";
    files::TDO.CompletionDate = rt::DATE(1 + i % 12, 1 + i % 28, 2020 + i % 6);
    files::TDO.CompletionTime = (i % 24) * 360000 + 1;
    files::TDO.Notes = "Notes for item " + std::to_string(i) + "\r\nsecond line";
    (void)files::TODO.add();
  }
  (void)db::COMMIT();
}

std::vector<impex::ExportField> allFields(const impex::ImpexTable& t) {
  std::vector<impex::ExportField> out;
  for (const impex::ImpexField& f : t.fields) out.push_back({f.name, f.picture});
  return out;
}

void exportTo(const impex::ImpexTable& t, const std::string& path) {
  impex::ExportRun run(t, allFields(t), true);
  if (!run.begin(path)) std::abort();
  while (run.step(25) == impex::ExportRun::Step::More) {
  }
  if (!run.finish()) std::abort();
}

void BM_ExportTodo(benchmark::State& state) {
  Folder dir;
  const impex::ImpexTable& t = *impex::findImpexTable("TODO");
  if (openFresh() != rt::Err::None) return state.SkipWithError("open");
  fill();
  for (auto _ : state) exportTo(t, (dir.root / "todo.csv").string());
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ExportTodo)->Unit(benchmark::kMillisecond)->Iterations(3);

std::string csvOfTodos(const Folder& dir) {
  const impex::ImpexTable& t = *impex::findImpexTable("TODO");
  if (openFresh() != rt::Err::None) std::abort();
  fill();
  const std::string path = (dir.root / "todo.csv").string();
  exportTo(t, path);
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void BM_ImportTodo(benchmark::State& state) {
  Folder dir;
  const impex::ImpexTable& t = *impex::findImpexTable("TODO");
  const std::string data = csvOfTodos(dir);
  impex::CsvReader r(data);
  impex::CsvRecord first, second;
  (void)r.next(first);
  (void)r.next(second);
  for (auto _ : state) {
    state.PauseTiming();
    if (openFresh() != rt::Err::None) return state.SkipWithError("open");
    impex::ImportLayout layout = impex::ImportLayout::fromSample(t, first, &second);
    layout.autoAssign(t);
    state.ResumeTiming();
    impex::ImportRun run(t, data, layout);
    if (!run.begin()) return state.SkipWithError(run.error().c_str());
    while (run.step(25) == impex::ImportRun::Step::More) {
    }
    if (!run.finish() || files::TODO.records() != kRecords) return state.SkipWithError("import");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ImportTodo)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same CSV through the sqlite3 program's .import into a plain table (a process start included).
void BM_Sqlite3CliImport(benchmark::State& state) {
  if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) return state.SkipWithError("no sqlite3 program");
  Folder dir;
  (void)csvOfTodos(dir);
  const std::string db = (dir.root / "plain.db").string();
  const std::string cmd = "sqlite3 " + db + " \".mode csv\" \".import " + (dir.root / "todo.csv").string() + " todo\"";
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(db);
    state.ResumeTiming();
    if (std::system(cmd.c_str()) != 0) return state.SkipWithError("sqlite3 failed");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Sqlite3CliImport)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
