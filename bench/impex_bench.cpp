// Export and import of to-do records through the CSV runs, and beside the import the time the
// sqlite3 command-line program takes to .import the same CSV into a plain table (when the
// program is installed; it is only run, never linked) and the ratio of the two.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

void fill(int records = kRecords) {
  (void)db::LOGOUT(5, {&files::TODO});
  for (int i = 0; i < records; ++i) {
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

std::string csvOfTodos(const Folder& dir, int records = kRecords) {
  const impex::ImpexTable& t = *impex::findImpexTable("TODO");
  if (openFresh() != rt::Err::None) std::abort();
  fill(records);
  const std::string path = (dir.root / "todo.csv").string();
  exportTo(t, path);
  return path;
}

// A figure of /proc/self/status in bytes: VmRSS the resident memory now, VmHWM its peak since
// the last reset (clear_refs 5).
double statusBytes(const std::string& name) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(name + ":", 0) == 0) return std::stod(line.substr(name.size() + 1)) * 1024;
  return 0;
}
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The import of `rows` to-dos from a CSV file on disk, into an empty table, through the run the
// program uses. Beside it in each iteration (untimed) the sqlite3 program's .import of the same
// file into a plain table of a fresh database, a process start included: sqlite3_s is its time,
// ratio ours over it (the peer runs once our import's WAL is in the file). peak_MB is the highest
// resident memory during our import and the copy of its WAL, grew_MB how far it rose above the
// memory resident when the import began; file_MB is the file's size.
void BM_ImportTodo(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  Folder dir;
  const impex::ImpexTable& t = *impex::findImpexTable("TODO");
  const std::string path = csvOfTodos(dir, rows);
  const bool haveSqlite = std::system("command -v sqlite3 >/dev/null 2>&1") == 0;
  const std::string db = (dir.root / "plain.db").string();
  const std::string cmd = "sqlite3 " + db + " \".mode csv\" \".import " + path + " todo\"";
  impex::CsvRecord first, second;
  {
    std::ifstream in(path, std::ios::binary);
    impex::CsvReader r(in);
    (void)r.next(first);
    (void)r.next(second);
  }
  double ours = 0, theirs = 0, peak = 0, grew = 0;
  for (auto _ : state) {
    if (openFresh() != rt::Err::None) return state.SkipWithError("open");
    impex::ImportLayout layout = impex::ImportLayout::fromSample(t, first, &second);
    layout.autoAssign(t);
    resetPeak();
    const double before = statusBytes("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    {
      impex::ImportRun run(t, impex::CsvFile{path}, layout);
      if (!run.begin()) return state.SkipWithError(run.error().c_str());
      while (run.step(25) == impex::ImportRun::Step::More) {
      }
      if (!run.finish() || files::TODO.records() != rows) return state.SkipWithError("import");
    }
    const double took = seconds(start);
    // The copy of a large import's WAL into the file goes on beside the program after the import
    // has reported; closing the file waits for it, so it neither runs into the peer's time nor
    // escapes the peak of memory.
    (void)files::TODO.close();
    const double top = statusBytes("VmHWM");
    peak = std::max(peak, top);
    grew = std::max(grew, top - before);
    state.SetIterationTime(took);
    ours += took;
    if (haveSqlite) {
      std::filesystem::remove(db);
      const auto s = std::chrono::steady_clock::now();
      if (std::system(cmd.c_str()) != 0) return state.SkipWithError("sqlite3 failed");
      theirs += seconds(s);
    }
  }
  state.SetItemsProcessed(state.iterations() * rows);
  state.counters["peak_MB"] = peak / (1024 * 1024);
  state.counters["grew_MB"] = grew / (1024 * 1024);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / (1024 * 1024);
  if (theirs > 0) {
    state.counters["sqlite3_s"] = theirs / static_cast<double>(state.iterations());
    state.counters["ratio"] = ours / theirs;
  }
}
BENCHMARK(BM_ImportTodo)->Arg(10000)->Arg(kRecords)->Arg(4 * kRecords)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
