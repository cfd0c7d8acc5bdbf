// The main program over a SCHEDULE file of 100,000 tasks none of which is due: one timer tick
// (with and without the runner looking at the schedule, and with ten windows of other logical
// threads open), and the start-up up to the frame shown (and up to the end of its first tick).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/task_folder.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/startup.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/thread_data.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"
#include "scheduler/globals.h"
#include "scheduler/main_frame.h"
#include "scheduler/runner.h"
#include "scheduler/tick.h"

using namespace ov;
using namespace ov::scheduler;

namespace {

constexpr int32_t at(int h, int m) { return (h * 60 + m) * 6000 + 1; }
const int32_t kToday = rt::DATE(3, 10, 2024);

extern "C" char** environ;

// A data folder holding `count` tasks, all due from tomorrow on; every other one has an advance
// warning the day before it is due.
bench::TaskFolder dueTasks(int count) {
  return bench::TaskFolder(count, [](int i, files::ScheduleRec& t) {
    t.ID = i + 1;
    t.Description = "Task " + std::to_string(i);
    t.TaskType = "Display Message";
    t.Date = kToday + 2 + i % 400;
    t.Time = at(i % 24, i % 60);
    t.ScheduleType = "Custom";
    t.Every = 1 + i % 30;
    t.EveryType = "day(s)";
    if (i % 2 == 0) {
      t.AdvanceWarnDate = t.Date - 1;
      t.AdvanceWarnTime = t.Time;
    } else {
      t.AdvanceWarned = 1;
    }
  });
}

void startTicking() {
  rt::setTestClock(kToday, at(10, 0));
  SchedulerActive = 1;
  files::TASK.HISTORYEXPIRES = 0;
  tickState() = TickState{};
  runnerState() = RunnerState{};
  tickState().LastSeenDate = kToday;
  tickState().startupDay = kToday;
  // As the frame does: SCHEDULE stays open while the program runs, and a change notification
  // watches the data folder.
  tickFrame() = TickFrame{};
  tickFrame().hasChangeNotification = [] { return true; };
  tickFrame().dataFolderChanged = [] { return false; };
  tickFrame().setStatus = [](int, std::string_view text) { benchmark::DoNotOptimize(text.data()); };
  if (files::Access_SCHEDULE.Open() != rt::Err::None) std::abort();
}

void stopTicking() {
  (void)files::Access_SCHEDULE.Close();
  tickFrame() = TickFrame{};
  rt::clearTestClock();
}

// The first tick of a cycle: the runner finds the next task and the advance warnings are
// looked at. Nothing is due.
void BM_TickRunnerLooks(benchmark::State& state) {
  bench::TaskFolder folder = dueTasks(int(state.range(0)));
  startTicking();
  MainTimerTick();  // the advance warnings of the past are settled once
  for (auto _ : state) {
    tickState().TickCounter = 0;
    MainTimerTick();
  }
  if (runnerState().nextTaskText.find("Next: ") != 0) state.SkipWithError("the runner found no next task");
  stopTicking();
}
BENCHMARK(BM_TickRunnerLooks)->Arg(100000)->Unit(benchmark::kMicrosecond);

// An ordinary tick: the remembered moment of the next task has not come.
void BM_TickNothingToLookAt(benchmark::State& state) {
  bench::TaskFolder folder = dueTasks(int(state.range(0)));
  startTicking();
  MainTimerTick();
  for (auto _ : state) {
    if (tickState().TickCounter >= 59) tickState().TickCounter = 1;
    MainTimerTick();
  }
  stopTicking();
}
BENCHMARK(BM_TickNothingToLookAt)->Arg(100000)->Unit(benchmark::kMicrosecond);

QApplication& application();

// A window of its own logical thread that only waits for input, as an open list or form does.
class IdleWindow : public ui::WindowManager {
 public:
  IdleWindow() : ui::WindowManager("IdleWindow") {}
  ui::Level Init() override {
    window().setTitle("Idle");
    window().button("?OK", "OK").at(4, 4, 40, 14);
    Open();
    return ui::Level::Benign;
  }
};

// The frame's window on thread 1: each of its timer events runs the tick.
class TickingFrame : public ui::WindowManager {
 public:
  TickingFrame() : ui::WindowManager("TickingFrame") {}
  ui::Level Init() override {
    window().setTitle("Frame");
    window().button("?OK", "OK").at(4, 4, 40, 14);
    Open();
    return ui::Level::Benign;
  }
  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::Timer) MainTimerTick();
    return ui::Level::Benign;
  }
};

// An ordinary tick with ten windows open on threads of their own, each of which gets a timer
// event of its own between two ticks: the tick and the ten events are delivered through the
// runtime, so every one of them changes the resident logical thread (its record buffers and
// file positions) and back.
void BM_TickWithTenWindows(benchmark::State& state) {
  bench::TaskFolder folder = dueTasks(int(state.range(0)));
  (void)application();
  startTicking();
  MainTimerTick();
  TickingFrame frame;
  (void)frame.Init();
  std::vector<int> threads;
  for (int i = 0; i < 10; ++i) threads.push_back(ui::START([] { return std::make_unique<IdleWindow>(); }));
  ui::processEvents();
  if (ui::openWindows().size() != 11) state.SkipWithError("the windows did not open");
  const unsigned long switchesBefore = rt::residentSwitches();
  for (auto _ : state) {
    if (tickState().TickCounter >= 59) tickState().TickCounter = 1;
    ui::POST(ui::EVENT::Timer, 0, ui::kFrameThread);
    for (int t : threads) ui::POST(ui::EVENT::Timer, 0, t);
    ui::processEvents();
  }
  state.counters["switches/tick"] =
      benchmark::Counter(double(rt::residentSwitches() - switchesBefore), benchmark::Counter::kAvgIterations);
  ui::closeAllWindows();
  (void)frame.Kill();
  ui::processEvents();
  stopTicking();
}
BENCHMARK(BM_TickWithTenWindows)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The frame, timed from the program's start-up steps (data folder, managers) until its window
// is shown; with `firstTick`, until its first tick has run as well.
class TimedMain : public Main {
 public:
  explicit TimedMain(bool firstTick) : m_firstTick(firstTick) {}
  ui::Level Init() override {
    const ui::Level level = Main::Init();
    if (m_firstTick) MainTimerTick();
    shown = std::chrono::steady_clock::now();
    ui::POST(EVENT::CloseDown);
    return level;
  }
  std::chrono::steady_clock::time_point shown;

 private:
  bool m_firstTick;
};

QApplication& application() {
  static int argc = 1;
  static char name[] = "ov98";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);  // one per process, kept to its end
  app->setQuitOnLastWindowClosed(false);
  return *app;
}

void startUp(benchmark::State& state, bool firstTick) {
  bench::TaskFolder folder = dueTasks(int(state.range(0)));
  rt::setTestClock(kToday, at(10, 0));
  (void)application();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    files::OV_FILES_LOAD();
    rt::INIClass positions;
    positions.Init("POSITION.INI");
    files::OV_FILES_INIT(nullptr, &positions);
    std::chrono::steady_clock::time_point shown;
    {
      TimedMain frame(firstTick);
      (void)frame.Run();
      shown = frame.shown;
    }
    files::OV_FILES_KILL();
    files::OV_FILES_UNLOAD();
    state.SetIterationTime(std::chrono::duration<double>(shown - start).count());
  }
  rt::clearTestClock();
}

void BM_StartupToFrameShown(benchmark::State& state) { startUp(state, false); }
BENCHMARK(BM_StartupToFrameShown)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartupToFirstTick(benchmark::State& state) { startUp(state, true); }
BENCHMARK(BM_StartupToFirstTick)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The program itself: from its start as a process on the data folder until its frame has
// logged "Started" (the last step before the frame shows). Each run is killed after it.
void BM_ProgramStartedLine(benchmark::State& state) {
  bench::TaskFolder folder = dueTasks(int(state.range(0)));
  const std::filesystem::path dir = folder.dir();
  std::filesystem::create_directories(dir / "config" / "orvane");
  std::ofstream(dir / "config" / "orvane" / "OV98.INI") << "[Settings]\nLogEvents=1\n";
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  const std::filesystem::path log = dir / "OV_EVENT.LOG";
  auto startedLines = [&] {
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    int n = 0;
    for (size_t at = s.find("Started"); at != std::string::npos; at = s.find("Started", at + 1)) ++n;
    return n;
  };
  for (auto _ : state) {
    const int before = startedLines();
    std::string program = OV98_PATH, path = "PATH=" + dir.string();
    std::vector<char*> argv{program.data(), path.data(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (::posix_spawn(&pid, OV98_PATH, nullptr, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("ov98 did not start");
      break;
    }
    const auto deadline = start + std::chrono::seconds(20);
    while (startedLines() == before && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    const auto shown = std::chrono::steady_clock::now();
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    if (shown >= deadline) {
      state.SkipWithError("ov98 did not log its start");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(shown - start).count());
  }
}
BENCHMARK(BM_ProgramStartedLine)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
