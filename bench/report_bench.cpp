// The report program's Schedule in Brief over a SCHEDULE file of N tasks, printed to a PDF file
// (Print Setup chose the file, so no dialog asks) or shown in the preview window: the whole run,
// from the criteria to the file written or the preview closed. Counters: the pages made and the peak memory of the run ("peak_MB", the process's
// high-water mark, reset before each run where the system allows it; "growth_MB", that peak less
// the memory in use before the run).
//
// The records are read at the progress window's timer, 25 per event, so the time holds the
// timer's waits; the CPU time is the work.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QScrollArea>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "bench/task_folder.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/report/output.h"
#include "platform/rt/date_time.h"
#include "platform/ui/host.h"
#include "reports/criteria.h"
#include "reports/report_common.h"
#include "reports/schedule_reports.h"

using namespace ov;

namespace {

constexpr int32_t at(int h, int m) { return (h * 60 + m) * 6000 + 1; }
const int32_t kToday = rt::DATE(3, 10, 2026);

QApplication& application() {
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "report_bench";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);  // one per process, kept to its end
  }();
  return *app;
}

// A data folder holding `count` tasks over 400 days.
bench::TaskFolder briefTasks(int count) {
  static const char* const categories[] = {"General", "Home", "Work", "Backup", "Mail"};
  return bench::TaskFolder(count, [](int i, files::ScheduleRec& t) {
    t.ID = i + 1;
    t.Description = "Task number " + std::to_string(i) + " of the bench";
    t.TaskType = "Display Message";
    t.Category = categories[i % 5];
    t.Date = kToday + i % 400;
    t.Time = at(i % 24, i % 60);
    t.ScheduleType = "Once";
    t.Completed = i % 7 == 0;
  });
}

// Answers the preview question (No: print) and takes the note that the file was saved; any other
// prompt is kept, and fails the run.
class PrintingHost : public ui::InteractionHost {
 public:
  int message(const ui::MessageRequest& r) override {
    if (r.text.find("PREVIEW") != std::string::npos) return previewAnswer;
    if (r.text.find("The report was saved as") != std::string::npos) return ui::BUTTON::Ok;
    if (unexpected.empty()) unexpected = r.title + ": " + r.text;
    return ui::BUTTON::Cancel;
  }
  std::optional<std::vector<std::string>> fileDialog(const ui::FileRequest&) override { return {}; }
  std::optional<std::string> folderDialog(const ui::FolderRequest&) override { return {}; }
  std::optional<ui::FontChoice> fontDialog(std::string_view, const ui::FontChoice&) override { return {}; }
  std::string popup(const ui::PopupRequest&) override { return {}; }
  std::optional<std::string> askText(std::string_view, std::string_view, std::string_view) override { return {}; }
  void beep(int) override {}
  std::string clipboardText() override { return {}; }
  void setClipboardText(std::string_view) override {}
  bool clipboardImage(QImage&) override { return false; }
  void setClipboardImage(const QImage&) override {}
  void setBusy(bool) override {}
  std::string unexpected;
  int previewAnswer = ui::BUTTON::No;
};

// The kibibytes of a "Name:   123 kB" line of /proc/self/status, 0 when absent.
long statusKiB(const char* name) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(name) + ":";
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
  return 0;
}

// Resets the high-water mark of the resident memory to what is in use now; false where the
// system does not allow it.
bool resetPeak() {
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
  out.flush();
  return bool(out);
}

int pdfPageCount(const std::filesystem::path& pdf) {
  std::ifstream in(pdf, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  const std::string text = s.str();
  int n = 0;
  for (size_t p = text.find("/Type /Page"); p != std::string::npos; p = text.find("/Type /Page", p + 1))
    if (text.compare(p, 12, "/Type /Pages") != 0) ++n;
  return n;
}

// The brief report of state.range(0) tasks, printed to a PDF file or, with `preview`, shown in the
// preview window, which is closed once it has drawn its first pages.
void briefReport(benchmark::State& state, bool preview) {
  (void)application();
  rt::setTestClock(kToday, at(10, 0));
  bench::TaskFolder folder = briefTasks(int(state.range(0)));
  files::FORMAT.DATE = "d2";
  files::FORMAT.TIME = "t1";
  reports::CriteriaDialogs saved = reports::criteriaDialogs();
  reports::criteriaDialogs().reportParameters = [] {
    reports::TMP.DateSelect = "All";
    reports::TMP.CategorySelect = "All";
    reports::TMP.OrderSelect = "Date";
    files::REPORT.IncludeFutureOccurances = false;
    reports::acceptCriteria();
  };
  PrintingHost host;
  host.previewAnswer = preview ? ui::BUTTON::Yes : ui::BUTTON::No;
  ui::setHost(&host);
  const std::filesystem::path pdf = folder.dir() / "brief.pdf";
  report::PRINTER() = report::PrinterSettings{};
  report::PRINTER().chosen = true;
  report::PRINTER().pdfFile = pdf.string();
  long peak = 0, growth = 0;
  int pages = 0;
  for (auto _ : state) {
    std::error_code ec;
    std::filesystem::remove(pdf, ec);
    const long before = statusKiB("VmRSS");
    const bool reset = resetPeak();
    int previewsShown = 0;
    QTimer closer;
    if (preview) {
      QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->findChild<QScrollArea*>() || !dialog->isVisible()) return;
        dialog->repaint();  // the pages in view are drawn
        ++previewsShown;
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
      });
      closer.start(50);
    }
    const int response = reports::ScheduleBriefReport();
    closer.stop();
    const long high = reset ? statusKiB("VmHWM") : [] {
      rusage u{};
      ::getrusage(RUSAGE_SELF, &u);
      return long(u.ru_maxrss);
    }();
    const bool done = preview ? response == 2 && previewsShown == 1 : response == 1 && std::filesystem::exists(pdf);
    if (!done || !host.unexpected.empty()) {
      state.SkipWithError(("the report was not " + std::string(preview ? "previewed: " : "printed: ") +
                           host.unexpected).c_str());
      break;
    }
    peak = std::max(peak, high);
    growth = std::max(growth, high - before);
    if (!preview) pages = pdfPageCount(pdf);
  }
  if (!preview) state.counters["pages"] = pages;
  state.counters["peak_MB"] = double(peak) / 1024;
  state.counters["growth_MB"] = double(growth) / 1024;
  ui::setHost(nullptr);
  reports::criteriaDialogs() = saved;
  report::PRINTER() = report::PrinterSettings{};
  rt::clearTestClock();
}
void BM_BriefReportToPdf(benchmark::State& state) { briefReport(state, false); }
BENCHMARK(BM_BriefReportToPdf)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_BriefReportPreview(benchmark::State& state) { briefReport(state, true); }
BENCHMARK(BM_BriefReportPreview)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
