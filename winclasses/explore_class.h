// ExploreClass: the explorer list class the list windows derive from. On top of ExploreRootClass
// (columns, orders, layout, header mouse, popup items) it takes the list's and the popup's events
// (HandleMyEvents), changes column and list attributes, applies quick filters, switches format
// slots, exports the rows to HTML and comma-separated text, prints them, draws a bar graph of a column's
// categories, and offers label helpers that group graph categories by weekday, month or hour band.
//
// A derived browse supplies GetRecordsInKey, GetStringForGraph and MyPreviewer besides the four
// abstract operations of the base.
//
// Threading: GUI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/report/page.h"
#include "winclasses/explore_export.h"
#include "winclasses/explore_root.h"

class QImage;

namespace ov::winclasses {

// The colour names of the column colours, in their list order ("None" is -1).
struct ColorName {
  const char* name;
  int32_t value;
};
extern const ColorName kExploreColors[17];

class ExploreClass : public ExploreRootClass {
 public:
  // ---- slots 12..36 ----
  virtual void ChangeFormatString(int control);
  virtual void ColorColAttribute();
  virtual void EntryColAttribute(std::string_view code);
  virtual void ExportASCII();
  virtual void ExportHTML();
  virtual void Get4HrString(std::string& text);
  virtual void Get6HrString(std::string& text);
  virtual void GetDayName(int day, std::string& text);
  virtual void GetMonthName(int month, std::string& text);
  virtual long GetRecordsInKey();                                     // abstract
  virtual void GetStringForGraph(int fieldNumber, std::string_view picture);  // abstract
  virtual void GraphOutput();
  virtual void HandleMyEvents();
  virtual void InvokePopup();
  virtual void ModColAttribute(std::string_view code);
  virtual bool MyPreviewer();                                         // abstract
  virtual void NewColumnFJ();
  virtual void NewColumnHJ();
  virtual void Preferences();
  virtual void PrintBrowse(std::string_view mode);
  virtual void SetReportValues(std::string& orderText, std::string& filterText);
  virtual void ProcReformat();
  virtual void ShowBarGraph();
  virtual void SpinColAttribute(std::string_view code);
  virtual void ToggleBar();

  // The event handler with the event given (HandleMyEvents takes the event being handled).
  void HandleMyEvents(int event);
  void UserFilter();
  static bool ColorStringToLong(std::string_view name, int32_t& colour);

  std::string RptLine1;
  std::string RptLine3;

  // The case marker of the quick filters: "^" when the current value is not a number and Upper.
  std::string CaseMarker;
  // The value of the current column in the selected row, as HandleMyEvents took it.
  std::string CurrentValue;

  // Where InvokePopup opens the popup: screen pixels.
  bool popupPoint(int& x, int& y) const;

  // Opens an exported file with the desktop; answers the shell's result (above 32: opened).
  std::function<int(const std::string& file)> shellOpen;

  // For GetStringForGraph: counts the row being graphed in category `name` and adds `amount`
  // (the row's amount for a column of graph type 2) to the category's total.
  void AddGraphCategory(std::string_view name, double amount = 0);
  // The picture of the graph on show, which GraphOutput copies; empty outside ShowBarGraph.
  std::shared_ptr<QImage> graphImage;
  // The printout being made, which MyPreviewer shows: its PDF and its pages; empty outside
  // PrintBrowse. PrintPrepared hands the PDF to the print dialog and tells a failure.
  std::string printedFile;
  std::vector<report::Page> printedPages;
  std::string printedTitle;
  void PrintPrepared();

 protected:
  // The rows to export: list type 1 reads the browse's view from its start, the others the data
  // queue; each row's cells are the displayed columns through their pictures.
  ExportRows exportRows();
  long exportTotal();
  void afterExport(const std::string& file);
  // A quick filter on the current column: `op` with the current value.
  void quickFilter(ui::QueryClass::Op op);
};

}  // namespace ov::winclasses
