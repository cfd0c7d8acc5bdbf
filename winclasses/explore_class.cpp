#include "winclasses/explore_class.h"

#include <QPoint>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "platform/rt/fixed_string.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/rt/process.h"
#include "platform/rt/record.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/print_job.h"
#include "platform/ui/progress_window.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"
#include "winclasses/explore_export.h"
#include "winclasses/explore_print.h"

namespace ov::winclasses {

const ColorName kExploreColors[17] = {
    {"None", -1},          {"Black", 0},           {"Maroon", 128},     {"Green", 32768},
    {"Olive", 32896},      {"Navy", 8388608},      {"Purple", 8388736}, {"Teal", 8421376},
    {"Gray", 8421504},     {"Silver", 12632256},   {"Red", 255},        {"Lime", 65280},
    {"Yellow", 65535},     {"Blue", 16711680},     {"Fuschia", 16711935}, {"Aqua", 16776960},
    {"White", 16777215},
};

namespace {

std::string clip(std::string_view s) { return std::string(rt::clipView(s)); }

// The label written over a string passed by reference: padded to the string's length.
void putLabel(std::string& text, std::string_view label) {
  size_t n = std::max(text.size(), label.size());
  text.assign(label);
  text.resize(n, ' ');
}

// The band of a two-digit hour "00".."23" (the string holding nothing else), or -1.
int hourOf(std::string_view text) {
  std::string_view t = rt::clipView(text);
  if (t.size() != 2 || t[0] < '0' || t[0] > '9' || t[1] < '0' || t[1] > '9') return -1;
  int h = (t[0] - '0') * 10 + (t[1] - '0');
  return h <= 23 ? h : -1;
}

void hourBand(std::string& text, int hours) {
  int h = hourOf(text);
  if (h < 0) return;
  int from = h / hours * hours;
  char label[16];
  std::snprintf(label, sizeof label, "%02d:00-%02d:59", from, from + hours - 1);
  putLabel(text, label);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Abstract operations and the parts that belong to other windows

long ExploreClass::GetRecordsInKey() {
  abstractMethod("GetRecordsInKey");
  return 0;
}

void ExploreClass::GetStringForGraph(int, std::string_view) { abstractMethod("GetStringForGraph"); }

bool ExploreClass::MyPreviewer() {
  abstractMethod("MyPreview");
  return false;
}

void ExploreClass::SetReportValues(std::string&, std::string&) {}

// ---------------------------------------------------------------------------------------------
// Events

void ExploreClass::HandleMyEvents() { HandleMyEvents(static_cast<int>(ui::EVENT())); }

void ExploreClass::HandleMyEvents(int event) {
  if (XPGQ* c = columnAt(CurrentCol)) {
    CurrentValue = currentValue(c->QNos, {});  // the stored value, not its display form
    CaseMarker = !rt::NUMERIC(CurrentValue) && Upper ? "^" : "";
  } else {
    CurrentValue.clear();
    CaseMarker.clear();
  }
  namespace E = ExploreEvent;
  switch (event) {
    case E::LeftDown: LeftButtonDown(); break;
    case E::OffButton: MouseOffButton(); break;
    case E::RightDown: RightButtonDown(); break;
    case E::DragMoved: MouseMoved(); break;
    case E::MoveLeft:
    case E::MoveRight:
      if (mask() & ExploreMask::Moving) {
        GetColumnInfo(false, false);
        if (event == E::MoveLeft)
          MoveColLeft();
        else
          MoveColRight();
        ReformatListBox();
        GetColumnInfo(false, true);
      }
      break;
    case E::Reset: ResetToDefault(); break;
    case E::HdrJustLeft: ModColAttribute("HJL"); break;
    case E::HdrJustRight: ModColAttribute("HJR"); break;
    case E::HdrJustCenter: ModColAttribute("HJC"); break;
    case E::HdrJustDecimal: ModColAttribute("HJD"); break;
    case E::DataJustLeft: ModColAttribute("FJL"); break;
    case E::DataJustRight: ModColAttribute("FJR"); break;
    case E::DataJustCenter: ModColAttribute("FJC"); break;
    case E::DataJustDecimal: ModColAttribute("FJD"); break;
    case E::ListProperties:
      GetColumnInfo(false, false);
      ProcReformat();
      setSequence(0);
      GetColumnInfo(false, true);
      SetVisual();
      break;
    case E::Width: SpinColAttribute("WID"); break;
    case E::HeaderOffset: SpinColAttribute("HOS"); break;
    case E::DataOffset: SpinColAttribute("DOS"); break;
    case E::HeaderText: EntryColAttribute("HDR"); break;
    case E::Fixed: ModColAttribute("FXD"); break;
    case E::Underline: ModColAttribute("ULI"); break;
    case E::Border: ModColAttribute("BDR"); break;
    case E::Resize: ModColAttribute("RSZ"); break;
    case E::ListX: SpinColAttribute("XPS"); break;
    case E::ListY: SpinColAttribute("YPS"); break;
    case E::ListWidth: SpinColAttribute("BWI"); break;
    case E::ListHeight: SpinColAttribute("BHI"); break;
    case E::Font: {
      PrepareVars();
      std::string face = Pars.Font;
      int size = Pars.Point, style = Pars.Style;
      int32_t color = Pars.Color;
      if (ui::FONTDIALOG("Font", face, size, color, style)) {
        Pars.Font = face;
        Pars.Point = size;
        Pars.Color = color;
        Pars.Style = style;
        ui::ListControl& l = list();
        l.setProp(ui::Prop::FontName, face);
        l.setProp(ui::Prop::FontSize, std::to_string(size));
        l.setProp(ui::Prop::FontColor, std::to_string(color));
        l.setProp(ui::Prop::FontStyle, std::to_string(style));
      }
      break;
    }
    case E::LineHeight: SpinColAttribute("LHI"); break;
    case E::HScroll: ModColAttribute("HSC"); break;
    case E::VScroll: ModColAttribute("VSC"); break;
    case E::Colors: ColorColAttribute(); break;
    case E::HideColumn: HideColumn(); break;
    case E::BestFit: AdjustAllColumns(); break;
    case E::SortOn:
      ShowNewSort();
      ui::POST(E::NewSort);
      break;
    case E::PrintPage: PrintBrowse("Page"); break;
    case E::PrintAll: PrintBrowse("View"); break;
    case E::Graph: ShowBarGraph(); break;
    case E::ExportAscii: ExportASCII(); break;
    case E::ExportHtml: ExportHTML(); break;
    case E::FilterEqual: quickFilter(ui::QueryClass::Op::Equal); break;
    case E::FilterNotEqual: quickFilter(ui::QueryClass::Op::NotEqual); break;
    case E::FilterLess:
      quickFilter(FilterEqual ? ui::QueryClass::Op::LessEqual : ui::QueryClass::Op::Less);
      break;
    case E::FilterGreater:
      quickFilter(FilterEqual ? ui::QueryClass::Op::GreaterEqual : ui::QueryClass::Op::Greater);
      break;
    case E::UserFilter: UserFilter(); break;
    case E::CancelFilter:
      if (ListType == 1 && QC && BC) {
        QC->Reset();
        BC->ResetSort(true);
      }
      break;
    case E::AddEqualToFilter: ModColAttribute("EQL"); break;
    default: break;  // 1027, 1066 and anything else
  }
}

void ExploreClass::quickFilter(ui::QueryClass::Op op) {
  if (ListType != 1 || !QC || !BC) return;
  XPGQ* c = columnAt(CurrentCol);
  if (!c) return;
  std::string name = rt::UPPER(clip(c->Field));
  // The value goes in as a value: a leading "^", "=", "~" or "*" in it is data, not a mark.
  if (QC->SetLimit(name, op, CurrentValue, CaseMarker == "^")) BC->ResetSort(true);
}

// ---------------------------------------------------------------------------------------------
// Keyboard helpers, format slots

bool ExploreClass::popupPoint(int& x, int& y) const {
  ExploreClass& self = const_cast<ExploreClass&>(*this);
  int pos = self.list().columnCursor();
  if (pos < 1 || pos > static_cast<int>(SQ.size())) return false;
  double offset = 0;
  for (int i = 1; i < pos; ++i) offset += SQ[static_cast<size_t>(i - 1)].WidthPix;
  offset += SQ[static_cast<size_t>(pos - 1)].WidthPix / 2.0;
  int dx = static_cast<int>(offset);
  if (QWidget* v = self.list().view()) {
    QPoint p = v->mapToGlobal(QPoint(dx, v->height()));
    x = p.x();
    y = p.y();
    return true;
  }
  ui::Window& w = self.window();
  ui::Rect r = self.list().rect();
  x = w.dluToPxX(r.x) + dx;
  y = w.dluToPxY(r.y) + w.dluToPxY(r.h);
  return true;
}

void ExploreClass::InvokePopup() {
  int pos = list().columnCursor();
  if (pos == 0) return;
  CurrentCol = pos;
  int x = 0, y = 0;
  if (!popupPoint(x, y)) return;
  PreparePopup();
  if (RPU) (void)RPU->Ask(x, y);  // the chosen item posts its own event
}

void ExploreClass::ChangeFormatString(int control) {
  ui::ListControl& l = list();
  if (l.isHidden()) return;
  if (currentSlot < ForQ.size()) ForQ[currentSlot].Format = l.formatString();
  for (size_t i = 0; i < ForQ.size(); ++i)
    if (ForQ[i].Control == control) {
      currentSlot = i;
      break;
    }
  if (currentSlot >= ForQ.size()) return;
  const std::string& f = ForQ[currentSlot].Format;
  if (!rt::clipView(f).empty() && l.setFormat(f)) EquateColToQField();
}

void ExploreClass::ToggleBar() {
  ui::ListControl& l = list();
  l.setProp(ui::Prop::Column, l.columnCursor() == 0 ? "1" : "0");
}

// ---------------------------------------------------------------------------------------------
// Labels

void ExploreClass::GetDayName(int day, std::string& text) {
  static const char* const kDays[] = {" 1 =Sunday",   " 2 =Monday", " 3 =Tuesday",  " 4 =Wednesday",
                                      " 5 =Thursday", " 6 =Friday", " 7 =Saturday"};
  if (day >= 1 && day <= 7) putLabel(text, kDays[day - 1]);
}

void ExploreClass::GetMonthName(int month, std::string& text) {
  static const char* const kMonths[] = {" 1 =January",   " 2 =February", " 3 =March",    " 4 =April",
                                        " 5 =May",       " 6 =June",     " 7 =July",     " 8 =August",
                                        " 9 =September", "10 =October",  "11 =November", "12 =December"};
  if (month >= 1 && month <= 12) putLabel(text, kMonths[month - 1]);
}

void ExploreClass::Get6HrString(std::string& text) { hourBand(text, 6); }
void ExploreClass::Get4HrString(std::string& text) { hourBand(text, 4); }

// ---------------------------------------------------------------------------------------------
// Column attributes

bool ExploreClass::ColorStringToLong(std::string_view name, int32_t& colour) {
  for (const ColorName& c : kExploreColors)
    if (name == c.name) {
      colour = c.value;
      return true;
    }
  return false;
}

void ExploreClass::NewColumnHJ() {
  XPGQ* c = columnAt(CurrentCol);
  if (!c) return;
  ui::ListControl& l = list();
  using namespace ui::PROPLIST;
  int prop = 0, offsetProp = 0;
  switch (c->HJust) {
    case 'L': prop = HeaderLeft; offsetProp = HeaderLeftOffset; break;
    case 'R': prop = HeaderRight; offsetProp = HeaderRightOffset; break;
    case 'C': prop = HeaderCenter; offsetProp = HeaderCenterOffset; break;
    case 'D': prop = HeaderDecimal; offsetProp = HeaderDecimalOffset; break;
    default: return;
  }
  (void)l.setPropList(prop, CurrentCol, "1");
  (void)l.setPropList(offsetProp, CurrentCol, std::to_string(c->HOffset));
}

void ExploreClass::NewColumnFJ() {
  XPGQ* c = columnAt(CurrentCol);
  if (!c) return;
  ui::ListControl& l = list();
  using namespace ui::PROPLIST;
  int prop = 0, offsetProp = 0;
  switch (c->FJust) {
    case 'L': prop = Left; offsetProp = LeftOffset; break;
    case 'R': prop = Right; offsetProp = RightOffset; break;
    case 'C': prop = Center; offsetProp = CenterOffset; break;
    case 'D': prop = Decimal; offsetProp = DecimalOffset; break;
    default: return;
  }
  (void)l.setPropList(prop, CurrentCol, "1");
  (void)l.setPropList(offsetProp, CurrentCol, std::to_string(c->FOffset));
}

void ExploreClass::ModColAttribute(std::string_view code) {
  ui::ListControl& l = list();
  if (l.columnCursor() > 0) CurrentCol = l.columnCursor();
  XPGQ* c = columnAt(CurrentCol);
  auto flag = [&](bool& field, int prop) {
    if (!c) return;
    field = !field;
    (void)l.setPropList(prop, CurrentCol, field ? "1" : "0");
  };
  if (code.size() == 3 && (code[0] == 'H' || code[0] == 'F') && code[1] == 'J' &&
      std::string_view("LRCD").find(code[2]) != std::string_view::npos) {
    if (!c) return;
    if (code[0] == 'H') {
      c->HJust = code[2];
      NewColumnHJ();
    } else {
      c->FJust = code[2];
      NewColumnFJ();
    }
  } else if (code == "FXD") {
    flag(c->Fixed, ui::PROPLIST::Fixed);
  } else if (code == "ULI") {
    flag(c->ULine, ui::PROPLIST::Underline);
  } else if (code == "BDR") {
    flag(c->Border, ui::PROPLIST::RightBorder);
  } else if (code == "RSZ") {
    flag(c->Resize, ui::PROPLIST::Resize);
  } else if (code == "HSC") {
    Def.HScroll = l.prop(ui::Prop::HScroll) != "1";
    l.setProp(ui::Prop::HScroll, Def.HScroll ? "1" : "0");
  } else if (code == "VSC") {
    Def.VScroll = l.prop(ui::Prop::VScroll) != "1";
    l.setProp(ui::Prop::VScroll, Def.VScroll ? "1" : "0");
  } else if (code == "CLR") {
    ColorColAttribute();
  } else if (code == "EQL") {
    FilterEqual = !FilterEqual;
  } else {
    return;
  }
  ui::SETKEYCODE(0);
}

// ---------------------------------------------------------------------------------------------
// Export

long ExploreClass::exportTotal() {
  if (ListType == 1 && BC) {
    long n = static_cast<long>(BC->Records());
    return n >= 1 ? n : GetRecordsInKey();
  }
  ui::ListQueue* q = dataQueue();
  return q ? q->records() : 0;
}

ExportRows ExploreClass::exportRows() {
  ui::ListQueue* q = dataQueue();
  std::vector<XPGQ> cols = SQ;
  auto cells = [q, cols](const void* entry, std::vector<std::string>& out) {
    out.clear();
    for (const XPGQ& c : cols) {
      std::string pic = c.Picture.empty() ? "@S20" : c.Picture;
      out.push_back(q ? ui::formatListField(entry, q->field(c.QNos), pic) : std::string());
    }
  };
  if (ListType == 1 && BC && q) {
    db::ViewManager& view = BC->view();
    view.Reset();
    return [this, q, cells, &view](std::vector<std::string>& out) {
      if (view.Next() != rt::Err::None) return false;  // the end, or a read that failed: finish
      BC->SetQueueRecord();
      cells(q->buffer(), out);
      return true;
    };
  }
  auto row = std::make_shared<int>(0);
  return [q, cells, row](std::vector<std::string>& out) {
    if (!q || *row >= q->records()) return false;
    ++*row;
    cells(q->entry(*row), out);
    return true;
  };
}

void ExploreClass::afterExport(const std::string& file) {
  if (ListType == 1 && BC) BC->Reset(true);  // the view and the buffers were moved by the export
  ui::SETKEYCODE(0);
  if (!ShellExecute) return;
  int result = 0;
  if (shellOpen) {
    result = shellOpen(file);
  } else {
    rt::Started s = rt::shellOpen(file);
    result = s.ok() ? 42 : s.error;
    if (s.ok()) rt::closeProgram(s.handle);
  }
  if (result <= 32)
    ui::MESSAGE("Shell launching error:" + std::to_string(result) +
                    "|you may need to specify a file type in Win95|Go to Explorer; View; Options; File Types|and "
                    "the specify a type for " +
                    file,
                "Explore");
}

namespace {
// Runs an export with the progress window: one row per step.
rt::Err runWithProgress(long total, const std::function<rt::Err(const ExportProgress&)>& write) {
  rt::Err err = rt::Err::None;
  bool started = false;
  ui::ProgressWindow progress("Progress...", [&](ui::ProgressWindow& w) {
    if (!started) {
      started = true;
      err = write([&](int rows) {
        if (total > 0) w.setProgress(rows, total);
      });
    }
    return ui::ProgressWindow::Step::Done;
  });
  (void)progress.Run();
  if (!started) err = write({});  // the progress window did not run its step
  return err;
}
}  // namespace

void ExploreClass::ExportHTML() {
  std::string file = clip(HtmlFileName);
  if (!ui::FILEDIALOG("Select HTML Export File", file, "HTML Files|*.htm*|All Files|*.*", ui::FILE_::Save)) return;
  HtmlFileName = file;
  long total = exportTotal();
  GetColumnInfo(false, false);
  std::vector<std::string> headers;
  for (const XPGQ& c : SQ) headers.push_back(c.Header);
  ExportRows rows = exportRows();
  std::string title = window().title();
  int written = 0;
  rt::Err err = runWithProgress(total, [&](const ExportProgress& p) {
    return writeHtmlExport(file, title, headers, BrowseHeader, rows, written, p);
  });
  if (err != rt::Err::None) {
    ui::MESSAGE("The file " + file + " could not be written.", "Explore", ui::Icon::Exclamation);
    return;
  }
  afterExport(file);
}

void ExploreClass::ExportASCII() {
  std::string file = clip(AsciiFileName);
  if (!ui::FILEDIALOG("Select ASCII Export File", file, "CSV Files|*.csv|All Files|*.*", ui::FILE_::Save)) return;
  AsciiFileName = file;
  long total = exportTotal();
  GetColumnInfo(false, false);
  std::vector<std::string> headers;
  for (const XPGQ& c : SQ) headers.push_back(c.Header);
  ExportRows rows = exportRows();
  std::string sep = Separator.empty() ? std::string(",") : Separator.substr(0, 1);
  int written = 0;
  rt::Err err = runWithProgress(total, [&](const ExportProgress& p) {
    return writeCsvExport(file, sep, headers, BrowseHeader, rows, written, p);
  });
  if (err != rt::Err::None) {
    ui::MESSAGE("The file " + file + " could not be written.", "Explore", ui::Icon::Exclamation);
    return;
  }
  afterExport(file);
}

}  // namespace ov::winclasses

namespace ov::winclasses {

// ---------------------------------------------------------------------------------------------
// Printing

void ExploreClass::PrintPrepared() {
  std::string why;
  if (!ui::spoolFile(printedFile, &why, printedTitle))
    ui::MESSAGE("The printout of " + printedTitle + " could not be handed to the printer." + (why.empty() ? "" : "|" + why),
                "Explore", ui::Icon::Exclamation);
}

void ExploreClass::PrintBrowse(std::string_view mode) {
  ui::SETKEYCODE(0);
  const bool all = mode == "View";
  if (!all && mode != "Page") return;
  ui::ListQueue* q = dataQueue();
  if (!q) return;
  GetColumnInfo(false, false);

  // Every displayed column as wide as its widest cell or its header, whichever is more.
  std::vector<int> widths;
  std::vector<bool> borders;
  for (size_t i = 0; i < SQ.size(); ++i) {
    XPGQ& c = SQ[i];
    int widest = GetWidestString(c.QNos, c.Picture, "");
    FineTuneWidth(static_cast<int>(i) + 1, widest);
    c.MaxWidth = std::max(textWidthPx(c.Header), widest);
    widths.push_back(c.MaxWidth);
    borders.push_back(c.Border);
  }
  MaxFontSize = kPrintLargestFont;
  const PrintFit fit = fitPrintColumns(widths, borders, MinFontSize);
  if (fit.reduced) MaxFontSize = MinFontSize;

  PrintReport report;
  report.title = window().title();
  report.line1 = RptLine1;
  report.line3 = RptLine3;
  report.date = rt::FORMAT(rt::TODAY(), "@d17");
  report.time = rt::FORMAT(rt::CLOCK(), "@t7");
  report.font = list().prop(ui::Prop::FontName);
  if (report.font.empty() || report.font == "MS Sans Serif") report.font = "Arial";
  report.fontSize = fit.fontSize;
  const bool fromView = ListType == 1 && BC;
  if (fromView) report.filter = BC->view().filter();
  SetReportValues(report.order, report.filter);
  std::vector<XPGQ> cols;
  for (size_t i : fit.kept) {
    const XPGQ& c = SQ[i];
    cols.push_back(c);
    report.columns.push_back({c.Header, c.HJust, c.FJust, c.MaxWidth, c.Border});
  }
  std::vector<double> sums(cols.size(), 0.0);
  auto addRow = [&](const void* entry) {
    std::vector<std::string> cells;
    for (size_t i = 0; i < cols.size(); ++i) {
      const std::string pic = cols[i].Picture.empty() ? "@S20" : cols[i].Picture;
      const std::string text = ui::formatListField(entry, q->field(cols[i].QNos), pic);
      if (cols[i].TotalOK)
        if (const rt::FieldDesc* f = q->field(cols[i].QNos)) sums[i] += rt::fieldNumber(entry, *f);
      cells.push_back(clip(rt::LEFT(text)));
    }
    report.rows.push_back(std::move(cells));
  };

  if (all) {
    const long total = exportTotal();
    rt::Err readErr = runWithProgress(total, [&](const ExportProgress& progress) {
      if (fromView) {
        db::ViewManager& view = BC->view();
        view.Reset();
        while (view.Next() == rt::Err::None) {  // a failed read ends the rows
          BC->SetQueueRecord();
          addRow(q->buffer());
          if (progress) progress(static_cast<int>(report.rows.size()));
        }
      } else {
        for (int i = 1; i <= q->records(); ++i) {
          addRow(q->entry(i));
          if (progress) progress(i);
        }
      }
      return rt::Err::None;
    });
    (void)readErr;  // the rows read so far are printed
    for (size_t i = 0; i < cols.size(); ++i) {
      const std::string pic = cols[i].Picture.empty() ? "@S20" : cols[i].Picture;
      report.totals.push_back(cols[i].TotalOK ? clip(rt::LEFT(rt::FORMAT(sums[i], pic))) : std::string());
    }
  } else if (fromView) {
    for (int i = 1; i <= q->records(); ++i) addRow(q->entry(i));  // the rows loaded in the list
  } else {
    const std::vector<int>& shown = list().shownRows();
    const int first = list().topIndex();
    const int count = list().items();
    for (int i = first; i < static_cast<int>(shown.size()) && i < first + count; ++i) addRow(q->entry(shown[static_cast<size_t>(i)]));
  }

  static int serial = 0;
  std::error_code ec;
  printedFile = (std::filesystem::temp_directory_path(ec) /
                 ("ov-list-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".pdf"))
                    .string();
  printedPages = layoutListReport(report);
  printedTitle = report.title;
  if (writeListPages(printedFile, printedPages, report.title) != rt::Err::None) {
    ui::MESSAGE("The printout of " + report.title + " could not be prepared in " + printedFile + ".", "Explore",
                ui::Icon::Exclamation);
  } else if (!(all ? AllPreview : PagePreview) || MyPreviewer()) {
    PrintPrepared();
  }
  std::filesystem::remove(printedFile, ec);
  printedFile.clear();
  printedPages.clear();
  if (fromView) BC->Reset(true);
}

}  // namespace ov::winclasses
