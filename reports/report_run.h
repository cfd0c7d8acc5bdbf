// One run of a report: the common course every report of the report program takes.
//
//   preparation (the report's own: criteria, title, query)  -> Run() ends when it answers false
//   the preview question (Yes preview, No print, Cancel end)
//   the main file opened, the view set to the report's key and filter, the filter described
//   the records read in cycles at the progress window's timer, each printed by the report
//   Cancel: "Are you sure"; when previewing with pages made, "Preview what was generated?"
//   the closing band (reports that have one), then the preview or the printer
//   the orderly return: files closed as opened, GLOBALRESPONSE set, names unbound
//
// A report derives from ReportRun, builds its layout on report() and fills in the hooks. Each run
// keeps its own copies of the criteria it binds, so runs that overlap cannot change each other's
// selection.
//
// Threading: GUI thread; the progress window runs modally in Run().
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/files/file_manager.h"
#include "platform/files/view_manager.h"
#include "platform/report/report.h"
#include "platform/rt/expr.h"
#include "reports/display_strings.h"
#include "reports/filter_text.h"

namespace ov::reports {

class ReportRun {
 public:
  explicit ReportRun(std::string procedureName, report::Layout layout = {});
  virtual ~ReportRun();
  ReportRun(const ReportRun&) = delete;
  ReportRun& operator=(const ReportRun&) = delete;

  // The whole run; returns the response (1 completed, 2 cancelled), also left in GLOBALRESPONSE.
  int Run();

  // What the run did, for the caller and for tests.
  const std::string& filterDescription() const { return m_description; }
  const std::string& queryText() const { return m_query; }
  bool previewed() const { return m_previewWanted; }
  const std::string& procedureName() const { return m_procedure; }

  // Progress of the loop (the progress window shows them).
  int64_t recordsToProcess() const { return m_toProcess; }
  int64_t recordsProcessed() const { return m_processed; }
  int percent() const { return m_percent; }

  // Steps of the loop, called by the progress window; public so that a test can drive them.
  // Reads and prints up to one cycle of records; false once the view is at its end.
  bool cycle();
  // The Cancel button (or Esc): asks, and answers true when the run stops.
  bool cancelPressed();

 protected:
  report::Report& report() { return m_report; }

  // Step 5: criteria, title and the like; false ends the run (response 2) without the preview
  // question. Runs after the display strings are loaded.
  virtual bool prepare() { return true; }
  // The query step before the preview question.
  virtual bool hasQueryStep() const { return false; }
  virtual std::span<const QueryField> queryFields() const { return {}; }
  virtual std::string queryTable() const { return {}; }
  virtual std::string defaultQuery() const { return {}; }
  // Step 7: the report's own names (criteria copies and the like).
  virtual void bindNames(rt::Bindings& /*names*/) {}
  // The main file, and the files opened beside it for the run.
  virtual db::FileManager& mainFile() = 0;
  virtual std::vector<db::FileManager*> otherFiles() { return {}; }
  // The file's name in the record-retrieval warning.
  virtual std::string fileLabel() const = 0;
  virtual db::Key key() = 0;
  // The view's filter; the query text by default.
  virtual std::string filter() { return m_query; }
  virtual void setRanges(db::ViewManager& /*view*/) {}
  virtual std::vector<std::span<const FieldLabel>> labelTables() const { return {}; }
  // After the files are opened and counted, before the view: false ends the run (response 2).
  virtual bool filesOpened() { return true; }
  // After the last record, when the run was not cancelled.
  virtual void viewEnded() {}
  // Step 18: the closing band, printed once after the last record.
  virtual void printClosing() { m_report.print({10, {}}); }
  // After the view is open and its filter described.
  virtual void viewOpened() {}
  // Step 15.3: prints the bands of the record in the buffer.
  virtual void printRecord() = 0;
  // Step 16: the report is opened (pictures of dates and times are read from the settings then).
  virtual void reportOpened() {}
  // The preview question; a report that always previews answers false.
  virtual bool asksPreview() const { return true; }
  // No page to show or print: the "Nothing to Preview." or "Nothing to Print." note.
  virtual void nothingToShow();
  // Steps 17 and 18: a late opening and a closing band, so an empty selection still shows a page.
  virtual bool hasClosingBand() const { return true; }
  virtual int recordsPerCycle() const { return 25; }
  virtual int previewOption() const { return 0; }
  // After a confirmed cancel, before the pages are shown (the contact reports print a band).
  virtual void cancelled() {}
  // The title of the preview window.
  virtual std::string title() const = 0;

  // Opens the report when it is not open (step 16).
  void openReport();
  bool reportIsOpen() const { return m_reportOpen; }
  db::ViewManager* view() { return m_view.get(); }
  const DisplayStrings& strings() const { return m_strings; }

 private:
  bool askQuery();
  bool openView();
  bool readNext();
  void finish();
  void output();
  void orderlyReturn();

  std::string m_procedure;
  report::Report m_report;
  DisplayStrings m_strings;
  std::string m_query, m_description;
  std::unique_ptr<db::ViewManager> m_view;
  std::vector<db::FileManager*> m_opened;
  std::string m_savedFolder;
  bool m_previewWanted = false;
  bool m_reportOpen = false;
  bool m_cancelRequested = false;
  bool m_previewPartial = false;
  bool m_stopped = false;
  bool m_bound = false;
  int m_response = 2;
  int m_perCycle = 25;
  int64_t m_toProcess = 0, m_processed = 0;
  int m_percent = 0;
};

}  // namespace ov::reports
