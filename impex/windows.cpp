#include "impex/windows.h"

#include <QEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>

#include <algorithm>
#include <utility>
#include <filesystem>
#include <fstream>
#include <functional>

#include "impex/export_run.h"
#include "platform/files/file.h"
#include "platform/rt/command_line.h"
#include "platform/rt/err.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/progress_window.h"
#include "platform/ui/runtime.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window.h"

namespace ov::impex {

using ui::Icon;
using ui::MESSAGE;

namespace {

constexpr int kPerTick = 25;

int modifierBits(Qt::KeyboardModifiers m) {
  return ((m & Qt::ShiftModifier) ? ui::Key::Shift : 0) | ((m & Qt::ControlModifier) ? ui::Key::Ctrl : 0);
}

// Takes the mouse and the keys of a field list's view before the view acts on them: the list's
// marks follow their own rules (click, Ctrl and Shift with the anchor, Space), so the view only
// shows them. Each click or key is reported with the entry it reached.
class MarkListInput : public QObject {
 public:
  using Report = std::function<void(int index, int keycode)>;
  MarkListInput(QListWidget* view, std::function<int()> current, Report report)
      : QObject(view), m_view(view), m_viewport(view->viewport()), m_current(std::move(current)),
        m_report(std::move(report)) {
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    // Compared with the viewport taken at the start: the view still sends events to its filters
    // while it is being destroyed, when it can no longer be asked for its viewport.
    if (o == m_viewport) {
      if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::LeftButton) return true;
        m_view->setFocus(Qt::MouseFocusReason);
        const int row = m_view->indexAt(me->position().toPoint()).row();
        if (row >= 0) m_report(row, ui::Key::MouseLeft | modifierBits(me->modifiers()));
        return true;
      }
      // No selecting by dragging: the view's own selection never moves.
      return e->type() == QEvent::MouseMove && (static_cast<QMouseEvent*>(e)->buttons() & Qt::LeftButton);
    }
    if (o == m_view && e->type() == QEvent::KeyPress) return key(*static_cast<QKeyEvent*>(e));
    return false;
  }

 private:
  bool key(const QKeyEvent& e) {
    const int n = m_view->count();
    const int cur = std::max(0, m_current());
    const int rowHeight = std::max(1, m_view->sizeHintForRow(0));
    const int page = std::max(1, m_view->viewport()->height() / rowHeight - 1);
    int code = 0, to = cur;
    switch (e.key()) {
      case Qt::Key_Up: code = ui::Key::Up; to = cur - 1; break;
      case Qt::Key_Down: code = ui::Key::Down; to = cur + 1; break;
      case Qt::Key_PageUp: code = ui::Key::PgUp; to = cur - page; break;
      case Qt::Key_PageDown: code = ui::Key::PgDn; to = cur + page; break;
      case Qt::Key_Home: code = ui::Key::Home; to = 0; break;
      case Qt::Key_End: code = ui::Key::End; to = n - 1; break;
      case Qt::Key_Space: code = ui::Key::Space; break;
      default:
        // Typed letters would move the view's own selection: taken and dropped. Keys with Ctrl
        // or Alt go on to the window.
        return !(e.modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && !e.text().isEmpty() &&
               e.text().at(0).isPrint();
    }
    if (n > 0) m_report(std::clamp(to, 0, n - 1), code | modifierBits(e.modifiers()));
    return true;
  }

  QListWidget* m_view;
  QObject* m_viewport;
  std::function<int()> m_current;
  Report m_report;
};

}  // namespace

namespace {

// After a write of the export file failed: asks Retry or Abort until the write succeeds (true)
// or the user aborts (false: the run is dropped, the old file stays, and a box says so).
bool askRetryWrite(ExportRun& run, const std::string& path) {
  if (!run.writeFailed()) return false;
  for (;;) {
    const int answer = MESSAGE(run.error(), "Cannot ADD to " + path, Icon::Hand, ui::BUTTON::Retry | ui::BUTTON::Abort,
                               ui::BUTTON::Abort);
    if (answer != ui::BUTTON::Retry) break;
    if (run.retryWrite()) return true;
  }
  run.abandon();
  MESSAGE("The export was aborted.|Nothing was exported; " + path + " is as it was.", "Export Failed", Icon::Hand);
  return false;
}

}  // namespace

bool openImpexTable(const ImpexTable& table) {
  db::File& f = *table.file;
  if (f.isOpen()) return true;
  rt::Err err = f.open();
  if (err == rt::Err::IsLocked) {
    (void)f.send("Recover=10");
    err = f.open();
  }
  if (err == rt::Err::NoFile) {
    if (f.create() != rt::Err::None || f.open() != rt::Err::None) {
      MESSAGE("File Creation Error", "", Icon::Hand);
      return false;
    }
    return true;
  }
  if (err == rt::Err::RebuildKey) {
    if (MESSAGE("Invalid Key", "", Icon::Question, ui::BUTTON::Yes | ui::BUTTON::No) != ui::BUTTON::Yes) return false;
    return f.build() == rt::Err::None && (f.isOpen() || f.open() == rt::Err::None);
  }
  if (err == rt::Err::BadRecordDecl) {
    MESSAGE("Invalid File!", "", Icon::Hand);
    return false;
  }
  if (err != rt::Err::None) {
    MESSAGE("File (" + f.path() + ") could not be opened.  Error: " + rt::ERROR() + ".", "File Access Error", Icon::Hand);
    return false;
  }
  return true;
}

std::string AskPicture(std::string_view current) {
  for (;;) {
    std::optional<std::string> text = ui::host().askText("&Enter format of value...", "Value format:", current);
    if (!text || text->empty()) return "";
    std::string p(rt::clipView(*text));
    if (!p.empty() && p[0] == '@') return p.substr(0, 30);
    MESSAGE("Pictures must begin with \"@\"", "Invalid Picture!", Icon::Information);
  }
}

// ---- export ------------------------------------------------------------------------------------

ExportWindow::ExportWindow(const ImpexTable& table)
    : WindowManager("Export" + std::string(table.label)), m_table(table), m_chooser(table) {}

ui::Level ExportWindow::Init() {
  ui::Window& w = window();
  w.setTitle("Choose Fields for Export...");
  w.string("?AllPrompt", "All Fields").at(4, 2, 100, 10);
  m_all = w.add<ui::TextList>(0, "?AllFields").at(4, 14, 110, 120).feq();
  m_add = w.button("?Add", "&Add ->").at(120, 20, 56, 14).feq();
  m_remove = w.button("?Remove", "&Remove").at(120, 38, 56, 14).feq();
  m_up = w.button("?ShiftUp", "Shift &Up").at(120, 56, 56, 14).feq();
  m_down = w.button("?ShiftDown", "Shift &Down").at(120, 74, 56, 14).feq();
  m_picture = w.button("?Picture", "&Picture").at(120, 92, 56, 14).feq();
  w.string("?ExportPrompt", "Export Fields").at(182, 2, 100, 10);
  m_chosen = w.add<ui::TextList>(0, "?ExportFields").at(182, 14, 110, 120).feq();
  m_display = w.string("?PictureDisplay", "").at(182, 138, 110, 10).feq();
  w.check("?Header", "Include &header record with field names").at(4, 152, 200, 10).use(m_header);
  OkControl = w.button("?OK", "&OK").setDefault().at(180, 168, 50, 14).feq();
  CancelControl = w.button("?Cancel", "Cancel").at(240, 168, 50, 14).feq();
  Open();
  for (FieldChooser::List l : {FieldChooser::All, FieldChooser::Chosen}) {
    if (auto* view = qobject_cast<QListWidget*>(w.control(l == FieldChooser::All ? m_all : m_chosen)->view()))
      new MarkListInput(view, [this, l] { return m_chooser.current(l); },
                        [this, l](int index, int keycode) { listInput(l, index, keycode); });
  }
  refresh();
  ui::SELECT(m_all);
  return ui::Level::Benign;
}

void ExportWindow::listInput(FieldChooser::List l, int index, int keycode) {
  m_reached[l].push_back(index);
  window().post(ui::EVENT::NewSelection, l == FieldChooser::All ? m_all : m_chosen, keycode);
}

void ExportWindow::refresh() {
  for (FieldChooser::List l : {FieldChooser::All, FieldChooser::Chosen}) {
    std::vector<std::string> lines;
    for (const ChooserEntry& e : m_chooser.entries(l)) lines.push_back((e.marked ? "> " : "  ") + e.field);
    const int feq = l == FieldChooser::All ? m_all : m_chosen;
    window().as<ui::TextList>(feq)->setLines(lines);
    if (m_chooser.current(l) >= 0) window().setProp(feq, ui::Prop::Selected, static_cast<int>(m_chooser.current(l) + 1));
  }
  window().setProp(m_display, ui::Prop::Text, m_chooser.pictureDisplay());
  // A button that would change nothing is greyed.
  const std::pair<int, bool> able[] = {{m_add, m_chooser.canAdd()},
                                       {m_remove, m_chooser.canRemove()},
                                       {m_up, m_chooser.canShiftUp()},
                                       {m_down, m_chooser.canShiftDown()},
                                       {m_picture, m_chooser.current(FieldChooser::Chosen) >= 0}};
  for (const auto& [feq, on] : able) window().setProp(feq, ui::Prop::Disable, on ? 0 : 1);
}

ui::Level ExportWindow::TakeNewSelection() {
  if (ui::FIELD() == m_all || ui::FIELD() == m_chosen) {
    const FieldChooser::List l = ui::FIELD() == m_all ? FieldChooser::All : FieldChooser::Chosen;
    if (!m_reached[l].empty()) {
      m_chooser.select(l, m_reached[l].front(), ui::KEYCODE());
      m_reached[l].pop_front();
    } else {  // the view moved by other means
      m_chooser.click(l, window().choice(ui::FIELD()) - 1);
    }
    refresh();
  }
  return WindowManager::TakeNewSelection();
}

ui::Level ExportWindow::TakeAccepted() {
  const int f = ui::ACCEPTED();
  if (f == m_add) m_chooser.addMarked();
  else if (f == m_remove) m_chooser.removeMarked();
  else if (f == m_up) m_chooser.shiftUp();
  else if (f == m_down) m_chooser.shiftDown();
  else if (f == m_picture) {
    if (m_chooser.current(FieldChooser::Chosen) < 0) {
      ui::SELECT(m_all);
      return ui::Level::Benign;
    }
    m_chooser.setPicture(AskPicture(m_chooser.entries(FieldChooser::Chosen)[static_cast<size_t>(m_chooser.current(FieldChooser::Chosen))].picture));
  } else if (f == OkControl) {
    if (m_chooser.chosen().empty()) {
      MESSAGE("You must select one or more fields to export.", "No Fields Selected for Export!", Icon::Information);
      ui::SELECT(m_all);
      return ui::Level::Benign;
    }
    Update();
    runExport();
    ui::POST(ui::EVENT::CloseWindow);
    return ui::Level::Benign;
  } else {
    return WindowManager::TakeAccepted();
  }
  refresh();
  return ui::Level::Benign;
}

void ExportWindow::runExport() {
  std::string path;
  if (!ui::FILEDIALOG("Export File", path, "Export Files|*.CSV|All Files|*.*", ui::FILE_::Save)) return;
  ExportRun run(m_table, m_chooser.chosen(), m_header != 0);
  if (!run.begin(path)) {
    MESSAGE(run.error(), "Cannot CREATE " + path, Icon::Hand);
    return;
  }
  bool cancelled = false;
  for (;;) {
    bool failed = false;
    ui::ProgressWindow progress("Exporting Records", [&](ui::ProgressWindow& w) {
      ExportRun::Step s = run.step(kPerTick);
      w.setProgress(run.done(), run.total());
      if (s == ExportRun::Step::Failed) failed = true;
      return s == ExportRun::Step::More ? ui::ProgressWindow::Step::More : ui::ProgressWindow::Step::Done;
    });
    cancelled = progress.Run() == ui::RequestCancelled;
    if (!failed) break;
    if (run.readFailed()) {  // the table ends there; what was written is kept
      MESSAGE(run.error(), "Record Retrieval Error", Icon::Hand);
      break;
    }
    if (!askRetryWrite(run, path)) return;  // a new progress window goes on from the same line
  }
  while (!run.finish()) {
    if (run.writeFailed() && askRetryWrite(run, path)) continue;
    if (!run.writeFailed()) MESSAGE(run.error(), "Cannot CLOSE " + path, Icon::Hand);
    return;
  }
  if (run.readFailed() || cancelled) return;
  MESSAGE("Process Completed|" + std::to_string(run.done()) + (run.done() == 1 ? " record" : " records") +
              " written to " + path + ".",
          "Export", Icon::Information);
}

// ---- import ------------------------------------------------------------------------------------

ImportWindow::ImportWindow(const ImpexTable& table, std::string path, ImportLayout layout)
    : WindowManager("Import" + std::string(table.label)), m_table(table), m_path(std::move(path)),
      m_layout(std::move(layout)), m_sampleIn(m_path, std::ios::binary), m_sample(m_sampleIn) {
  CsvRecord first;
  (void)m_sample.next(first);  // the sample line shown first
}

ui::Level ImportWindow::Init() {
  ui::Window& w = window();
  w.setTitle("Assign fields for Import...");
  m_columns = w.add<ui::TextList>(0, "?ImportFields").at(4, 4, 180, 120).feq();
  m_targets = w.add<ui::TextList>(0, "?TargetFields").at(190, 4, 180, 120).feq();
  m_next = w.button("?Next", "&Next").at(4, 128, 40, 14).feq();
  m_rec = w.string("?RecNo", "").at(50, 130, 60, 10).feq();
  m_picture = w.button("?Picture", "&Picture").at(120, 128, 50, 14).feq();
  m_assign = w.button("?Assign", "A&ssign").at(190, 128, 50, 14).feq();
  m_auto = w.button("?Auto", "A&uto").at(246, 128, 50, 14).feq();
  m_unassign = w.button("?Unassign", "&Unassign").at(302, 128, 50, 14).feq();
  w.check("?Strip", "Strip &header record (field names)").at(4, 148, 200, 10).use(m_strip);
  OkControl = w.button("?OK", "&OK").setDefault().at(260, 164, 50, 14).feq();
  CancelControl = w.button("?Cancel", "Cancel").at(316, 164, 50, 14).feq();
  Open();
  m_layout.autoAssign(m_table);
  m_strip = m_layout.stripHeader ? 1 : 0;
  refresh();
  return ui::Level::Benign;
}

void ImportWindow::refresh() {
  std::vector<std::string> cols, targets;
  for (const ImportColumn& c : m_layout.columns) cols.push_back(c.field + "  " + displayPicture(c.picture) + "  " + c.value);
  for (size_t t = 0; t < m_table.fields.size(); ++t) {
    const int s = m_layout.source[t];
    targets.push_back(std::string(m_table.fields[t].name) + (s >= 0 ? " = " + m_layout.columns[static_cast<size_t>(s)].field : ""));
  }
  const int colSel = window().choice(m_columns), tgtSel = window().choice(m_targets);
  window().as<ui::TextList>(m_columns)->setLines(cols);
  window().as<ui::TextList>(m_targets)->setLines(targets);
  if (colSel > 0) window().setProp(m_columns, ui::Prop::Selected, static_cast<int>(colSel));
  if (tgtSel > 0) window().setProp(m_targets, ui::Prop::Selected, static_cast<int>(tgtSel));
  window().setProp(m_rec, ui::Prop::Text, "Rec# " + std::to_string(m_sampleNumber));
  ui::DISPLAY();
  offerButtons();
}

// A button that would change nothing is greyed: Picture without a chosen column, Assign without a
// column and a field (or with the field taking that column already), Unassign without a field
// that takes a column, Auto where it would make the assignment there is.
void ImportWindow::offerButtons() {
  const int col = window().choice(m_columns) - 1, tgt = window().choice(m_targets) - 1;
  const int source = tgt >= 0 && tgt < static_cast<int>(m_layout.source.size()) ? m_layout.source[static_cast<size_t>(tgt)] : -1;
  ImportLayout again = m_layout;
  again.autoAssign(m_table);
  // (Auto finding nothing new would also clear the header box: greyed, it cannot.)
  const bool autoSame = again.source == m_layout.source;
  const std::pair<int, bool> able[] = {{m_picture, col >= 0},
                                       {m_assign, col >= 0 && tgt >= 0 && source != col},
                                       {m_unassign, source >= 0},
                                       {m_auto, !m_autoDisabled && !autoSame}};
  for (const auto& [feq, on] : able) window().setProp(feq, ui::Prop::Disable, on ? 0 : 1);
}

ui::Level ImportWindow::TakeNewSelection() {
  const int col = window().choice(m_columns) - 1, tgt = window().choice(m_targets) - 1;
  if (ui::FIELD() == m_columns && col >= 0) {
    for (size_t t = 0; t < m_layout.source.size(); ++t)
      if (m_layout.source[t] == col) {
        window().setProp(m_targets, ui::Prop::Selected, static_cast<int>(t + 1));
        break;
      }
  } else if (ui::FIELD() == m_targets && tgt >= 0 && m_layout.source[static_cast<size_t>(tgt)] >= 0) {
    window().setProp(m_columns, ui::Prop::Selected, static_cast<int>(m_layout.source[static_cast<size_t>(tgt)] + 1));
  }
  offerButtons();
  return WindowManager::TakeNewSelection();
}

ui::Level ImportWindow::TakeAccepted() {
  const int f = ui::ACCEPTED();
  const int col = window().choice(m_columns) - 1, tgt = window().choice(m_targets) - 1;
  if (f == m_assign) {
    if (col >= 0 && tgt >= 0) m_layout.source[static_cast<size_t>(tgt)] = col;
  } else if (f == m_unassign) {
    if (tgt >= 0) m_layout.source[static_cast<size_t>(tgt)] = -1;
  } else if (f == m_auto) {
    m_layout.autoAssign(m_table);
    m_strip = m_layout.stripHeader ? 1 : 0;
  } else if (f == m_picture) {
    if (col >= 0) {
      std::string p = AskPicture(m_layout.columns[static_cast<size_t>(col)].picture);
      if (!p.empty()) m_layout.columns[static_cast<size_t>(col)].picture = p;
    }
  } else if (f == m_next) {
    CsvRecord rec;
    if (m_sample.next(rec) != CsvReader::Result::Record) {
      window().setProp(m_next, ui::Prop::Disable, 1);
    } else {
      ++m_sampleNumber;
      m_layout.showSample(rec);
      m_autoDisabled = true;
    }
  } else if (f == OkControl) {
    if (!m_layout.hasAssignment()) {
      MESSAGE("You must select one or more fields to import.", "No Fields Selected for Import!", Icon::Information);
      ui::SELECT(m_columns);
      return ui::Level::Benign;
    }
    Update();
    runImport();
    ui::POST(ui::EVENT::CloseWindow);
    return ui::Level::Benign;
  } else {
    return WindowManager::TakeAccepted();
  }
  refresh();
  return ui::Level::Benign;
}

void ImportWindow::runImport() {
  m_layout.stripHeader = m_strip != 0;
  ImportRun run(m_table, CsvFile{m_path}, m_layout, [](const std::string& question) {
    return MESSAGE(question, "Auto Increment Error", Icon::Question, ui::BUTTON::Retry | ui::BUTTON::Cancel,
                   ui::BUTTON::Cancel) == ui::BUTTON::Retry;
  });
  if (!run.begin()) {
    MESSAGE(run.error(), run.errorCaption(), Icon::Hand);
    return;
  }
  bool failed = false;
  ui::ProgressWindow progress("Importing Records", [&](ui::ProgressWindow& w) {
    ImportRun::Step s = run.step(kPerTick);
    w.setProgress(run.bytesDone(), run.bytesTotal());
    if (s == ImportRun::Step::Failed) failed = true;
    return s == ImportRun::Step::More ? ui::ProgressWindow::Step::More : ui::ProgressWindow::Step::Done;
  });
  const bool cancelled = progress.Run() == ui::RequestCancelled;
  if (failed) {
    MESSAGE(run.error(), run.errorCaption(), Icon::Hand);
    return;
  }
  if (!run.finish()) {
    MESSAGE(run.error(), run.errorCaption(), Icon::Hand);
    return;
  }
  std::string summary = std::to_string(run.done()) + (run.done() == 1 ? " record" : " records") + " imported into " +
                        m_table.label + ".";
  if (cancelled) summary += "|Cancelled: " + std::to_string(run.total() - run.done()) + " of the file's " +
                            std::to_string(run.total()) + " were not imported.";
  MESSAGE((cancelled ? "" : "Process Completed|") + summary, "Import", Icon::Information);
}

// ---- procedures ----------------------------------------------------------------------------------

void ExportTable(const ImpexTable& table) {
  if (!openImpexTable(table)) return;
  {
    ExportWindow w(table);
    w.Run();
  }
  (void)table.file->close();
}

void ImportTable(const ImpexTable& table) {
  if (!openImpexTable(table)) return;
  for (;;) {
    std::string path;
    if (!ui::FILEDIALOG("Import File", path, "Import Files|*.CSV|All Files|*.*")) break;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kCsvFileMax) {
      MESSAGE("The file holds " + std::to_string(size) + " bytes; an import file may hold at most " +
                  std::to_string(kCsvFileMax) + ".",
              "Cannot OPEN " + path, Icon::Hand);
      break;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      MESSAGE("Error #2 - " + rt::ERROR(), "Cannot OPEN " + path, Icon::Hand);
      break;
    }
    // Only the first lines are read here: the window reads more as samples, the run the rest.
    CsvReader r(in);
    CsvRecord first, second;
    const CsvReader::Result got = r.next(first);
    if (got == CsvReader::Result::End) {
      MESSAGE("That file is empty!  Please pick another file.", "Attention!", Icon::Information);
      continue;
    }
    if (got == CsvReader::Result::Malformed) {
      if (r.inputFailed()) MESSAGE(r.error(), "Cannot OPEN " + path, Icon::Hand);
      else MESSAGE(r.error() + ".  Nothing was imported.", "Invalid Import File!", Icon::Hand);
      break;
    }
    if (!first.fields.empty()) {
      const bool hasSecond = r.next(second) == CsvReader::Result::Record;
      ImportLayout layout = ImportLayout::fromSample(table, first, hasSecond ? &second : nullptr);
      ImportWindow w(table, std::move(path), std::move(layout));
      w.Run();
    }
    break;
  }
  (void)table.file->close();
}

bool ImpExDispatch() {
  const std::string verb(rt::clipView(rt::COMMAND("1")));
  if (verb != "E" && verb != "I") return false;
  const ImpexTable* table = findImpexTable(rt::COMMAND("2"));
  if (table == nullptr) return false;
  if (verb == "E") ExportTable(*table);
  else ImportTable(*table);
  return true;
}

}  // namespace ov::impex
