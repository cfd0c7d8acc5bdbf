#include "reports/report_run.h"

#include <algorithm>
#include <filesystem>

#include "datalib/requests.h"
#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/report/output.h"
#include "platform/rt/err.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"

namespace ov::reports {

using ui::BUTTON::Ignore;
using ui::BUTTON::No;
using ui::BUTTON::Ok;
using ui::BUTTON::Yes;

namespace {

constexpr std::string_view kDisplayIni = "CPCSRPTS.INI";

// The progress window of a run: an extra line, a bar, the percentage and Cancel. Its timer runs
// the run's cycles; Cancel and Esc (the close event) ask the run whether to stop.
class ReportProgressWindow : public ui::WindowManager {
 public:
  ReportProgressWindow(ReportRun& run, const DisplayStrings& s, bool preview)
      : WindowManager(run.procedureName() + ":Progress"), m_run(run), m_strings(s), m_preview(preview) {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle(m_preview ? m_strings.ProgWinTitlePrvw : m_strings.ProgWinTitlePrnt);
    w.at(-1, -1, 180, 66);
    w.string("?Progress:UserString", m_strings.ProgWinUsrText).at(6, 6, 168, 10);
    m_bar = w.progress("?Progress:Thermometer").range(0, 100).at(6, 20, 168, 12).feq();
    m_pct = w.string("?Progress:PctText", m_strings.ProgWinPctText).at(6, 35, 168, 10).feq();
    m_cancel = w.button("?Progress:Cancel", "Cancel").at(65, 48, 50, 14).feq();
    w.timer(1);
    w.alert(ui::Key::Esc);
    Open();
    return ui::Level::Benign;
  }

  // Esc asks as the Cancel button does, wherever the focus is.
  ui::Level TakeFieldEvent() override {
    if (ui::EVENT() == ui::EVENT::AlertKey && ui::KEYCODE() == ui::Key::Esc) return escape();
    return WindowManager::TakeFieldEvent();
  }

  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_cancel) {
      if (m_run.cancelPressed()) stop(2);
      return ui::Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }

  ui::Level TakeCloseEvent() override {
    if (!m_done && !m_run.cancelPressed()) return ui::Level::Notify;
    m_done = true;
    return WindowManager::TakeCloseEvent();
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::AlertKey && ui::KEYCODE() == ui::Key::Esc) return escape();
    if (ui::EVENT() == ui::EVENT::Timer && !m_done) {
      const bool more = m_run.cycle();
      showProgress();
      if (!more) stop(1);
      return ui::Level::Benign;
    }
    return WindowManager::TakeWindowEvent();
  }

 private:
  ui::Level escape() {
    if (!m_done && m_run.cancelPressed()) stop(2);
    return ui::Level::Notify;
  }
  void showProgress() {
    const int pct = m_run.percent();
    if (pct == m_shown) return;
    m_shown = pct;
    window().setProp(m_bar, ui::Prop::Progress, pct);
    window().setProp(m_pct, ui::Prop::Text, std::to_string(pct) + m_strings.ProgWinPctText);
  }
  void stop(int response) {
    m_done = true;
    window().setProp(0, ui::Prop::Timer, 0);
    SetResponse(response);
  }

  ReportRun& m_run;
  const DisplayStrings& m_strings;
  bool m_preview;
  int m_bar = 0, m_pct = 0, m_cancel = 0;
  int m_shown = -1;
  bool m_done = false;
};

std::string errText(rt::Err err) { return std::string(rt::errorText(err)); }

}  // namespace

ReportRun::ReportRun(std::string procedureName, report::Layout layout)
    : m_procedure(std::move(procedureName)), m_report(std::move(layout)) {}

ReportRun::~ReportRun() = default;

int ReportRun::Run() {
  // Steps 1 to 4.
  rt::PUSHBIND();
  m_bound = true;
  m_strings = LoadReportDisplayStrings("Do you wish to PREVIEW this Report?", "Preview", "", kDisplayIni);
  std::error_code ec;
  m_savedFolder = std::filesystem::current_path(ec).string();
  m_response = 2;

  // Step 5 and the query step.
  if (!prepare()) {
    orderlyReturn();
    return files::GLOBALRESPONSE;
  }
  if (hasQueryStep() && !askQuery()) {
    orderlyReturn();
    return files::GLOBALRESPONSE;
  }

  // Step 6.
  ui::host().setBusy(false);
  int answer = Yes;
  if (asksPreview())
    answer = ui::MESSAGE(m_strings.AskPrvwDialogText, m_strings.AskPrvwDialogTitle, ui::Icon::Exclamation,
                         Yes | No | ui::BUTTON::Cancel, Yes);
  if (answer != Yes && answer != No) {
    orderlyReturn();
    return files::GLOBALRESPONSE;
  }
  m_previewWanted = answer == Yes;

  // Steps 7 to 11.
  bindNames(rt::threadBindings());
  files::GLOBALREQUEST = 0;
  files::GLOBALRESPONSE = 0;
  m_response = 2;
  for (db::FileManager* fm : [&] {
         std::vector<db::FileManager*> all{&mainFile()};
         for (db::FileManager* o : otherFiles()) all.push_back(o);
         return all;
       }()) {
    if (fm->Open() != rt::Err::None) {
      orderlyReturn();
      return files::GLOBALRESPONSE;
    }
    m_opened.push_back(fm);
  }
  rt::BIND(mainFile().file().record(), mainFile().file().buffer());
  m_perCycle = std::max(1, recordsPerCycle());
  m_processed = 0;
  m_percent = 0;
  (void)mainFile().file().send("QUICKSCAN=on");
  if (!filesOpened()) {
    m_response = 2;
    orderlyReturn();
    return files::GLOBALRESPONSE;
  }

  // Step 15.2, then the loop at the progress window's timer.
  if (openView()) {
    ReportProgressWindow progress(*this, m_strings, m_previewWanted);
    progress.Run();
  }
  (void)mainFile().file().send("QUICKSCAN=off");
  finish();
  output();
  orderlyReturn();
  return files::GLOBALRESPONSE;
}

bool ReportRun::askQuery() {
  if (m_query.empty()) m_query = defaultQuery();
  qwizard::QueryFields fields;
  if (const int error = qwizard::loadFields(packQueryFields(queryFields()), queryTable(), fields);
      error != qwizard::code::None) {
    // No wizard to offer: the report runs with the query it has.
    ui::MESSAGE("An error has prevented the Query Wizard from initializing.",
                "Query Wizard Error# " + std::to_string(error), ui::Icon::Information);
    return true;
  }
  if (ui::MESSAGE("Would you like to apply a query to this report?", "Query Wizard", ui::Icon::Exclamation,
                  Yes | No) == Yes) {
    // The query filters the main file's record; the report's own names (a related file's record)
    // may be named as well.
    fields.allowRecord(mainFile().file().record(), mainFile().file().buffer());
    rt::PUSHBIND();
    bindNames(rt::threadBindings());
    (void)qwizard::runQueryWizard(fields, m_query);
    rt::POPBIND();
  }
  return true;
}

bool ReportRun::openView() {
  m_view = std::make_unique<db::ViewManager>(mainFile());
  m_view->SetOrder(key());
  setRanges(*m_view);
  const std::string f = filter();
  rt::Err err = m_view->SetFilter(f);
  if (err == rt::Err::None) err = m_view->Open();
  else (void)m_view->Open();
  if (err != rt::Err::None)
    ui::MESSAGE("Error: (" + errText(err) + ") " + std::to_string(static_cast<int>(err)) +
                    " attempting to frame the current VIEW. Filter and Range Limits ignored.",
                "View Open Error", ui::Icon::Exclamation);
  m_toProcess = m_view->records();
  std::vector<std::span<const FieldLabel>> tables = labelTables();
  m_description = describeFilter(m_view->filter(), tables);
  viewOpened();
  if (!readNext()) {
    m_response = 1;
    return false;
  }
  openReport();
  return true;
}

bool ReportRun::readNext() {
  rt::Err err = m_view->Next();
  if (err == rt::Err::None) {
    ++m_processed;
    if (m_percent < 100 && m_toProcess > 0)
      m_percent = static_cast<int>(std::min<int64_t>(100, m_processed * 100 / m_toProcess));
    return true;
  }
  if (err != rt::Err::NotAvailable)
    ui::MESSAGE("Error: (" + errText(err) + ") " + std::to_string(static_cast<int>(err)) +
                    " attempting to access a record from the " + fileLabel() +
                    " file.  Returning to previous window.",
                "Record Retrieval Error", ui::Icon::Exclamation);
  return false;
}

bool ReportRun::cycle() {
  if (m_stopped) return false;
  for (int i = 0; i < m_perCycle; ++i) {
    if (m_stopped) return false;  // cancelled meanwhile
    printRecord();
    if (!readNext()) {
      m_response = 1;
      m_stopped = true;
      return false;
    }
  }
  return true;
}

bool ReportRun::cancelPressed() {
  if (m_stopped) return true;
  if (ui::MESSAGE(m_strings.CancelAreYouSureText, m_strings.CancelAreYouSureTitle, ui::Icon::Exclamation,
                  Yes | No, No) != Yes)
    return false;
  m_cancelRequested = true;
  m_perCycle = 1;
  if (m_previewWanted && m_report.hasPages()) {
    int answer = ui::MESSAGE(m_strings.CancelPrvwPartialText, m_strings.CancelPrvwPartialTitle,
                             ui::Icon::Exclamation, Yes | No | Ignore, No);
    if (answer == Yes) {
      m_response = 1;
      m_previewPartial = true;
    } else if (answer == No) {
      m_response = 2;
    } else {
      m_cancelRequested = false;  // Ignore: go on, one record at a time
      return false;
    }
  } else {
    m_response = 2;
  }
  m_stopped = true;
  return true;
}

void ReportRun::openReport() {
  if (m_reportOpen) return;
  m_reportOpen = true;
  m_report.copies = std::max(1, report::PRINTER().copies);
  m_report.collate = report::PRINTER().collate;
  m_report.open();
  reportOpened();
}

void ReportRun::finish() {
  if (m_cancelRequested) {
    // A cancelled run shows nothing more than what was made, and only when the user asked to
    // see it: no closing band, no late opening.
    cancelled();
    return;
  }
  viewEnded();
  if (!hasClosingBand()) return;
  openReport();
  printClosing();
  m_response = 1;
}

void ReportRun::output() {
  if (m_cancelRequested && !m_previewPartial) return;
  const report::PageQueue pages = m_reportOpen ? m_report.takePages() : report::PageQueue{};
  const int copies = m_report.copies;
  auto print = [&] {
    // The copies the printer cannot make (or collate) are the same pages read again.
    const bool handled = copies > 1 && (!report::SUPPORTED() || m_report.collate);
    const report::CopiedPages out(pages, handled ? copies : 1, m_report.collate);
    const int n = handled ? 1 : copies;
    std::string error;
    if (!report::printSink().print(out, n, title(), error)) {
      if (!error.empty()) ui::MESSAGE(error + "|The report was not printed.", "Print Error", ui::Icon::Exclamation);
      return 2;
    }
    return 1;
  };
  if (m_previewWanted) {
    if (m_response == 1 || m_previewPartial) {
      if (!pages.empty()) {
        int r = report::PRINTPREVIEW(pages, title(), previewOption());
        files::GLOBALRESPONSE = static_cast<uint8_t>(r);
        if (r == 1) files::GLOBALRESPONSE = static_cast<uint8_t>(print());
        m_response = files::GLOBALRESPONSE;
      } else {
        nothingToShow();
        m_response = 2;
      }
    }
    return;
  }
  if (m_response != 1) return;
  if (pages.empty()) {
    nothingToShow();
    m_response = 2;
    return;
  }
  m_response = print();
}

void ReportRun::nothingToShow() {
  if (m_previewWanted)
    ui::MESSAGE(m_strings.NothingToPrvwText, m_strings.NothingToPrvwTitle, ui::Icon::Information);
  else
    ui::MESSAGE(m_strings.NothingToPrntText, m_strings.NothingToPrntTitle, ui::Icon::Information);
}

void ReportRun::orderlyReturn() {
  ui::host().setBusy(false);
  if (m_view) {
    m_view->Close();
    m_view.reset();
  }
  for (auto it = m_opened.rbegin(); it != m_opened.rend(); ++it) (void)(*it)->Close();
  m_opened.clear();
  files::GLOBALRESPONSE = static_cast<uint8_t>(m_response == 0 ? 2 : m_response);
  if (m_bound) {
    rt::POPBIND();
    m_bound = false;
  }
  std::error_code ec;
  if (!m_savedFolder.empty() && std::filesystem::current_path(ec).string() != m_savedFolder)
    std::filesystem::current_path(m_savedFolder, ec);
}

}  // namespace ov::reports
