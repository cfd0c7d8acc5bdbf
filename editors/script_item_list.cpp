#include "editors/script_item_list.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "datalib/script_exchange.h"
#include "datalib/script_status.h"
#include "datalib/startup.h"
#include "editors/explore_binding.h"
#include "editors/item_sequence.h"
#include "editors/script_item_form.h"
#include "editors/script_items.h"
#include "editors/script_templates.h"
#include "editors/script_text_windows.h"
#include "editors/template_token_windows.h"
#include "editors/template_tokens.h"
#include "platform/files/view_manager.h"
#include "platform/report/output.h"
#include "platform/rt/date_time.h"
#include "platform/rt/process.h"
#include "platform/rt/queue.h"
#include "platform/rt/text.h"
#include "platform/ui/browse_class.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/progress_window.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/open_window_list.h"
#include "scheduler/services.h"
#include "scheduler/task_items.h"
#include "winclasses/colour_tab_class.h"

namespace ov::editors {

using files::SCH;
using files::SCR;
using rt::Err;

namespace {

constexpr int32_t kSelectedTabColour = 10987431;

std::string clipped(std::string_view s) { return std::string(rt::clipView(s)); }

// A question for a template token, asked through the host.

struct ItemRow {
  rt::String<27> Action;
  rt::String<80> Summary;
  int32_t ID = 0;
  int32_t Sequence = 0;
};
const rt::FieldDesc kItemRowFields[] = {
    {"SCR:Action", rt::FieldType::String, 27, 0, offsetof(ItemRow, Action)},
    {"LOC:Summary", rt::FieldType::String, 80, 0, offsetof(ItemRow, Summary)},
    {"SCR:ID", rt::FieldType::Long, 4, 0, offsetof(ItemRow, ID)},
    {"SCR:Sequence", rt::FieldType::Long, 4, 0, offsetof(ItemRow, Sequence)},
};
const rt::RecordDesc kItemRow{"ScriptItemRow", kItemRowFields, sizeof(ItemRow)};

class ScriptItemBrowse : public ui::BrowseClass {
 public:
  explicit ScriptItemBrowse(rt::Queue<ItemRow>& queue) : m_queue(queue) {}
  bool copying = false;
  bool fromDropButton = false;

  void SetQueueRecord() override {
    ui::BrowseClass::SetQueueRecord();
    std::string summary = files::SCRIPTSTATUS(SCR);
    summary.resize(rt::utf8CutLength(summary, 80));
    m_queue.buf.Summary = summary;
  }

  // A copy keeps the highlighted item in the buffer and only takes a new sequence.
  Err PrimeRecord(bool suppressClear) override {
    return ui::BrowseClass::PrimeRecord(suppressClear || copying);
  }

  // The sequence of the loaded row (1-based), 0 when there is none.
  int32_t sequenceAt(int row) {
    if (row < 1 || m_queue.GET(row) != Err::None) return 0;
    return m_queue.buf.Sequence;
  }

  int Ask(int request) override {
    const int32_t task = SCH.ID;
    const int row = list().selected();
    const int32_t anchor = HasRecords() ? sequenceAt(row) : 0;
    if (request == ui::InsertRecord) {
      NewScriptItemOwner = fromDropButton || ui::KEYCODE() == ui::Key::Insert ? -1 : 0;
      const int response = ui::BrowseClass::Ask(request);
      copying = false;
      if (response == ui::RequestCompleted && anchor != 0 && SCR.Sequence != anchor) {
        ItemSequencer sequencer(ItemSequencer::scriptItems());
        const ItemSequencer::Result r = sequencer.placeAfter(task, SCR.Sequence, anchor);
        if (r.err != Err::None) ui::MESSAGE(r.report, "Error!");
        showSequence(r.moved ? r.sequence : SCR.Sequence);
      }
      return response;
    }
    if (request == ui::DeleteRecord) {
      // The item form deletes without asking: the list asks first.
      if (ui::MESSAGE(DeleteText, "Confirm Delete", ui::Icon::Question, ui::BUTTON::Yes | ui::BUTTON::No,
                      ui::BUTTON::No) != ui::BUTTON::Yes)
        return ui::RequestCancelled;
      const int response = ui::BrowseClass::Ask(request);
      if (response == ui::RequestCompleted && anchor != 0) {
        ItemSequencer sequencer(ItemSequencer::scriptItems());
        const ItemSequencer::Result r = sequencer.renumberAfterDelete(task, anchor);
        if (r.err != Err::None) ui::MESSAGE(r.report, "Error!");
        ResetSort(true);
      }
      return response;
    }
    return ui::BrowseClass::Ask(request);
  }

  void showSequence(int32_t sequence) {
    ResetSort(true);
    if (sequence == 0) return;
    locator.Init("SCR:Sequence");
    Locate(locator, std::to_string(sequence));
  }

  ui::StepLocatorClass locator;

 private:
  rt::Queue<ItemRow>& m_queue;
};

class BrowseScriptingWindow;

class ScriptListActions : public ui::WindowComponent {
 public:
  explicit ScriptListActions(BrowseScriptingWindow& list) : m_list(list) {}
  ui::Level TakeEvent() override;

 private:
  BrowseScriptingWindow& m_list;
};

class BrowseScriptingWindow : public ui::WindowManager {
 public:
  BrowseScriptingWindow()
      : ui::WindowManager("BrowseScripting"), m_view(files::Access_SCRIPTING), m_browse(m_queue), m_actions(*this) {}

  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    Request = request;
    if (request != ui::SelectRecord) {
      const int other = scheduler::openWindowThread(procedureName());
      if (other && ui::isThreadRunning(other) && other != ui::THREAD()) {
        ui::POST(ui::EVENT::GainFocus, 0, other);
        return ui::Level::Notify;
      }
      m_thread = ui::THREAD();
      scheduler::enterOpenWindow(procedureName(), m_thread);
      m_entered = true;
    }
    if (files::Relate_SCHEDULE.Open() != Err::None) return ui::Level::Fatal;
    m_opened = true;
    m_task = SCH.ID;

    ui::Window& w = window();
    w.setTitle("Scripting");
    w.at(-1, -1, 400, 220).minSize(332, 180).resizable();
    m_sheet = w.sheet("?CurrentTab").at(4, 4, 340, 190).feq();
    w.tab("?Tab:Script", "Script", m_sheet);
    m_list = w.add<ui::ListControl>(0, "?Browse:1")
                 .from(m_queue, kItemRow)
                 .format("84L(2)|M~Action~@s20@320L(2)|M~Details~@s80@")
                 .at(8, 20, 332, 150)
                 .tip("Browsing Script Records")
                 .feq();
    w.setProp(m_list, ui::Prop::DragId, "ScriptItem");
    m_browse.Init(m_list, m_view, *this, &files::Relate_SCRIPTING);
    m_browse.AddSortOrder(&m_step, files::SCR_KeyID);
    m_browse.AddRange("SCR:ID", ui::Binding(m_task));
    m_sequenceLocator.Init("SCR:Sequence");
    m_browse.AddLocator(m_sequenceLocator);
    // Every column order keeps to the task. The details are worked out per row, so the view
    // cannot order by them.
    m_explorer.columns = {
        {"SCR:Action", 84, "Action", "@s20", "Action", 'L', true, false, false, true},
        {"LOC:Summary", 320, "Details", "@s80", "Details of the action", 'L', true, false, false, false},
        {"SCR:ID", 52, "ID", "@n13", "Task ID", 'R', false, false, false, true},
        {"SCR:Sequence", 40, "Sequence", "@n13", "Order within the script", 'R', false, false, false, true},
    };
    m_explorer.ranges = {{"SCR:ID", ui::Binding(m_task)}};
    m_browse.InsertControl = w.button("?Insert", "&New").tip("Add a script item").at(4, 198, 34, 14).feq();
    m_dropNew = w.button("?InsertMenu", "").icon("drop.ico").tip("Add a script item from the action menu").at(38, 198, 10, 14).feq();
    m_copy = w.button("?Copy", "Cop&y").tip("Copy the highlighted script item").msg("Copy record").at(50, 198, 34, 14).feq();
    m_browse.ChangeControl = w.button("?Change", "&Edit").tip("Edit the highlighted script item").at(86, 198, 34, 14).feq();
    m_browse.DeleteControl =
        w.button("?Delete", "&Delete").tip("Delete the highlighted script item").at(122, 198, 34, 14).feq();
    m_template = w.button("?Template", "&Template").tip("Add a script template").at(158, 198, 40, 14).feq();
    m_up = w.button("?MoveUp", "").icon("up.ico").tip("Move record up one").at(348, 20, 16, 14).feq();
    m_top = w.button("?MoveTop", "").icon("top.ico").tip("Move record to the top").at(348, 36, 16, 14).feq();
    m_down = w.button("?MoveDown", "").icon("down.ico").tip("Move record down one").at(348, 52, 16, 14).feq();
    m_bottom = w.button("?MoveBottom", "").icon("bottom.ico").tip("Move record to the bottom").at(348, 68, 16, 14).feq();
    m_import = w.button("?Import", "&Import").tip("Import script items from a text file").at(348, 90, 48, 14).feq();
    m_export = w.button("?Export", "E&xport")
                   .tip("Export script items from a text file - backup and transfer scripts, or use your own editor")
                   .at(348, 106, 48, 14)
                   .feq();
    m_clear = w.button("?Clear", "Clear").tip("Clear all script items").at(348, 122, 48, 14).feq();
    m_print = w.button("?Print", "&Print").tip("Print all script items for the current task").at(348, 138, 48, 14).feq();
    m_asText = w.button("?AsText", "As Te&xt").at(348, 154, 48, 14).feq();
    m_close = w.button("?Close", "Cl&ose").at(352, 198, 44, 14).feq();
    OkControl = w.button("?OK", "&OK").at(304, 198, 44, 14).hidden().feq();
    m_cancel = w.button("?Cancel", "Cancel").at(352, 198, 44, 14).hidden().feq();
    CancelControl = m_close;
    m_browse.AskProcedure = 1;
    m_browse.Popup.AddItemMimic(m_browse.Popup.AddItem("&Template"), m_template);
    m_browse.Popup.AddItem("-");
    m_browse.Popup.AddItemMimic(m_browse.Popup.AddItem("As Te&xt"), m_asText);
    m_browse.Popup.AddItem("-");
    m_browse.Popup.AddItemMimic(m_browse.Popup.AddItem("&Print"), m_print);
    m_browse.Popup.AddItem("-");
    m_browse.Popup.AddItemMimic(m_browse.Popup.AddItem("&Import"), m_import);
    m_browse.Popup.AddItemMimic(m_browse.Popup.AddItem("E&xport"), m_export);
    m_copyItem = m_browse.Popup.AddItem("Cop&y");
    m_browse.Popup.AddItemMimic(m_copyItem, m_copy);
    m_binding.Bind(*this, m_browse, m_query, m_explorer, m_state, ".\\POSITION.INI");
    AddItem(m_browse);
    AddItem(m_actions);
    Open();
    m_position.Init(*this, files::globalIni(), true);
    m_binding.Opened();
    m_tabs.Init(kSelectedTabColour, -1, 0, -1, -1, 0, 0);
    m_tabs.ColourTabs();
    opened();
    updateCopy();
    return ui::Level::Benign;
  }

  using ui::WindowManager::Run;
  int Run(int /*number*/, int request) override {
    files::GLOBALREQUEST = static_cast<uint8_t>(request);
    const int response = UpdateScripting();
    m_browse.fromDropButton = false;
    return response;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_cancel) {
      restore();
      SetResponse(ui::RequestCancelled);
      return ui::Level::Notify;
    }
    if (feq == OkControl) {
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response ? Response : ui::RequestCancelled);
    m_tabs.Kill();
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_SCHEDULE.Close();
    m_opened = false;
    if (m_entered) scheduler::leaveOpenWindow(procedureName(), m_thread);
    m_entered = false;
    return rv;
  }

  void takeEvent() {
    const int event = ui::EVENT();
    const int feq = ui::FIELD();
    ui::Window& w = window();
    if (event == ui::EVENT::GainFocus && feq == 0) {
      if (w.propInt(0, ui::Prop::Iconize)) w.setProp(0, ui::Prop::Iconize, 0);
      w.setProp(0, ui::Prop::Active, 1);
      w.select(m_list);
      m_browse.ResetSort(true);
    }
    if (event == ui::EVENT::NewSelection && feq == m_sheet) {
      w.select(m_list);
      m_tabs.ColourTabs();
    }
    if (event == ui::EVENT::Drop && feq == m_list) {
      const int from = std::atoi(m_browse.list().propList(ui::PROPLIST::MouseDownRow, 0).c_str());
      const int onto = std::atoi(m_browse.list().propList(ui::PROPLIST::MouseUpRow, 0).c_str());
      // Rows are turned into the sequences they show: gaps and scrolling leave them different.
      const int32_t fromSeq = m_browse.sequenceAt(from), ontoSeq = m_browse.sequenceAt(onto);
      ItemSequencer sequencer(ItemSequencer::scriptItems());
      const ItemSequencer::Result r = sequencer.dragTo(m_task, fromSeq, ontoSeq);
      afterMove(r);
    }
    if (event == ui::EVENT::Accepted) {
      if (feq != m_list && feq != m_sheet) Update();
      if (feq == m_copy) copy();
      if (feq == m_dropNew) {
        m_browse.fromDropButton = true;
        (void)m_browse.Ask(ui::InsertRecord);
        m_browse.fromDropButton = false;
        w.select(m_list);
      }
      if (feq == m_up || feq == m_down || feq == m_top || feq == m_bottom) move(feq);
      if (feq == m_template) templateItems();
      if (feq == m_import) {
        ImportScript();
        m_browse.ResetSort(true);
      }
      if (feq == m_export) ExportScript();
      if (feq == m_clear) {
        ConfirmClearScript();
        m_browse.ResetSort(true);
      }
      if (feq == m_print) PrintCurrentScript(0);
      if (feq == m_asText) {
        Script_EditAsText();
        w.select(m_list);
        m_browse.ResetSort(true);
      }
    }
    updateCopy();
  }

 private:
  void opened() {
    ui::Window& w = window();
    if (SCH.ID == 0) ui::MESSAGE("Invalid Schedule ID #0", "Internal Error", ui::Icon::Exclamation);
    if (SCH.Command.isBlank()) SCH.Command = "N/A";
    if (SCH.Description.isBlank()) SCH.Description = "Script " + files::FMTDATE(rt::TODAY());
    const std::string type = clipped(SCH.TaskType.view());
    bool keepCopy = true;
    if (type == "Hot Key") {
      w.setTitle("Hot Key Scripting - " + clipped(files::HOT.Description.view()));
    } else if (type == "Trigger") {
      w.setTitle(clipped(files::TRI.TriggerType.view()) + " Trigger Scripting - " +
                 clipped(files::TRI.Description.view()));
    } else {
      keepCopy = false;
      w.setTitle("Scripting - " + clipped(SCH.Category.view()) + ": " + clipped(SCH.Description.view()) + " " +
                 clipped(SCH.Command.view()));
    }
    if (keepCopy) {
      w.setProp(m_close, ui::Prop::Hide, 1);
      w.setProp(OkControl, ui::Prop::Hide, 0);
      w.setProp(m_cancel, ui::Prop::Hide, 0);
      CancelControl = m_cancel;
      m_savedTaken = ReadScriptItems(m_task, m_saved) == Err::None;
    }
  }

  // Cancel of a hot-key or trigger task: the script becomes what it was at opening, whole.
  void restore() {
    if (!m_savedTaken) return;
    if (RestoreScriptItems(m_task, m_saved) != Err::None)
      ui::MESSAGE("The script could not be put back:\r\n" + rt::ERROR(), "Error!", ui::Icon::Exclamation);
  }

  void updateCopy() {
    const bool rows = m_browse.Records() > 0;
    window().setProp(m_copy, ui::Prop::Disable, rows ? 0 : 1);
    m_browse.Popup.SetItemEnable(m_copyItem, rows);
  }

  void copy() {
    if (m_browse.Records() == 0 || m_browse.UpdateBuffer() != Err::None) return;
    m_browse.copying = true;
    (void)m_browse.Ask(ui::InsertRecord);
    m_browse.copying = false;
  }

  void move(int feq) {
    if (m_browse.Records() == 0) return;
    const int32_t sequence = m_browse.sequenceAt(m_browse.list().selected());
    if (sequence == 0) return;
    ItemSequencer sequencer(ItemSequencer::scriptItems());
    ItemSequencer::Result r;
    if (feq == m_up) r = sequencer.moveUp(m_task, sequence);
    if (feq == m_down) r = sequencer.moveDown(m_task, sequence);
    if (feq == m_top) r = sequencer.moveToTop(m_task, sequence);
    if (feq == m_bottom) r = sequencer.moveToBottom(m_task, sequence);
    afterMove(r);
  }

  void afterMove(const ItemSequencer::Result& r) {
    if (r.err != Err::None && !r.report.empty()) ui::MESSAGE(r.report, "Error!");
    m_browse.showSequence(r.moved ? r.sequence : 0);
  }

  void templateItems() {
    files::GLOBALREQUEST = ui::SelectRecord;
    if (BrowseScriptTemplates() != ui::RequestCompleted) return;
    (void)CopyTemplateWithProgress(files::OVT.WIZ_ID, m_task, "Script Template");
    m_browse.ResetSort(true);
  }

  rt::Queue<ItemRow> m_queue;
  db::ViewManager m_view;
  ScriptItemBrowse m_browse;
  ScriptListActions m_actions;
  ui::StepLongClass m_step;
  ui::StepLocatorClass m_sequenceLocator;
  ui::QueryClass m_query;
  BoundExplorer m_explorer;
  ExploreState m_state;
  ExploreBinding m_binding;
  ui::WindowPositionKeeper m_position;
  winclasses::ColourTabClass m_tabs;
  std::vector<files::ScriptingRec> m_saved;
  std::string m_copyItem;
  int32_t m_task = 0;
  bool m_savedTaken = false, m_opened = false, m_entered = false;
  int m_thread = 0, m_sheet = 0, m_list = 0, m_dropNew = 0, m_copy = 0, m_template = 0, m_up = 0, m_top = 0;
  int m_down = 0, m_bottom = 0, m_import = 0, m_export = 0, m_clear = 0, m_print = 0, m_asText = 0, m_close = 0;
  int m_cancel = 0;
};

ui::Level ScriptListActions::TakeEvent() {
  m_list.takeEvent();
  return ui::Level::Benign;
}

}  // namespace

std::unique_ptr<ui::WindowManager> makeBrowseScripting() { return std::make_unique<BrowseScriptingWindow>(); }

int BrowseScripting() {
  BrowseScriptingWindow list;
  return list.Run();
}

void ConfirmClearScript() {
  if (ui::MESSAGE("Delete all script items for the current task?", "Clear All", ui::Icon::Question,
                  ui::BUTTON::Yes | ui::BUTTON::No, ui::BUTTON::No) != ui::BUTTON::Yes)
    return;
  if (TemplateModeHere()) {
    DeleteScriptTemplateDetails();
    return;
  }
  if (files::Access_SCRIPTING.Open() != Err::None) return;
  if (DeleteScriptItems(0, true) != Err::None)
    ui::MESSAGE("The script items were not deleted:\r\n" + rt::ERROR(), "Clear All", ui::Icon::Exclamation);
  (void)files::Access_SCRIPTING.Close();
}

namespace {

// Lays the lines out as report pages behind a progress window, shows them in the preview and
// prints them through the print dialog when the user asks for it there.
void printScript(const std::string& description, const std::vector<ScriptPrintLine>& lines) {
  report::Report r = ScriptReport(description);
  r.open();
  if (lines.empty()) r.print({0, [](report::Canvas&) {}});  // a script without items: its header page
  size_t next = 0;
  ui::ProgressWindow progress(
      "Report Progress...",
      [&](ui::ProgressWindow& p) {
        for (int n = 0; n < 25 && next < lines.size(); ++n) r.print(ScriptLineBand(lines[next++]));
        p.setProgress(static_cast<int64_t>(next), static_cast<int64_t>(lines.size()));
        return next < lines.size() ? ui::ProgressWindow::Step::More : ui::ProgressWindow::Step::Done;
      },
      "PrintCurrentScript");
  (void)progress.Run();
  if (progress.isCancelled()) return;
  r.close();
  const report::PageQueue pages = r.takePages();
  if (report::PRINTPREVIEW(pages, "Script") != 1) return;
  const report::PrinterSettings& printer = report::PRINTER();
  int copies = std::max(1, printer.copies);
  const bool handled = copies > 1 && (!report::SUPPORTED() || printer.collate);
  const report::CopiedPages out(pages, handled ? copies : 1, printer.collate);
  if (handled) copies = 1;
  std::string error;
  if (!report::printSink().print(out, copies, "Script", error) && !error.empty())
    ui::MESSAGE(error + "|The script was not printed.", "Print Error", ui::Icon::Exclamation);
}

}  // namespace

void PrintCurrentScript(uint8_t templateMode) {
  std::vector<files::ScriptingRec> items;
  std::string description;
  if (templateMode) {
    if (files::Access_SCRIPTTEMPLATEDETAILS.Open() != Err::None) return;
    const files::ScriptingRec saved = files::OVD;
    files::SCRIPTTEMPLATEDETAILS.clear();
    files::OVD.WIZ_ID = files::OVT.WIZ_ID;
    files::OVD.Sequence = INT32_MIN;
    Err err = files::SCRIPTTEMPLATEDETAILS.setFrom(files::OVD_K_WIZ_ID);
    while (err == Err::None && (err = files::SCRIPTTEMPLATEDETAILS.next()) == Err::None &&
           files::OVD.WIZ_ID == files::OVT.WIZ_ID)
      items.push_back(files::OVD);
    files::OVD = saved;
    (void)files::Access_SCRIPTTEMPLATEDETAILS.Close();
    description = clipped(files::OVT.Description.view());
  } else {
    if (files::Access_SCRIPTING.Open() != Err::None) return;
    (void)ReadScriptItems(SCH.ID, items);
    (void)files::Access_SCRIPTING.Close();
    description = clipped(SCH.Description.view());
  }
  printScript(description, ScriptPrintLines(items));
}

void ExportScript() {
  std::string name = files::GLO.EXPORTNAME.str();
  if (!ui::FILEDIALOG("Export to File", name, "Export File (*.OVS)|*.ovs|Text (*.TXT)|*.txt|All|*.*",
                      ui::FILE_::Save | ui::FILE_::KeepDir | ui::FILE_::LongName))
    return;
  name = ScriptExportName(name);
  files::GLO.EXPORTNAME = name;
  if (files::Access_SCRIPTING.Open() != Err::None) return;
  Err err = Err::None;
  std::string problem;
  // The file is written whole in one step: Cancel before it leaves the old file alone.
  ui::ProgressWindow progress(
      "Processing Records",
      [&](ui::ProgressWindow& p) {
        p.setText("Exporting Script Items");
        err = ExportScriptItems(SCH.ID, name, nullptr, &problem);
        return ui::ProgressWindow::Step::Done;
      },
      "ExportScript");
  (void)progress.Run();
  (void)files::Access_SCRIPTING.Close();
  if (err != Err::None) ui::MESSAGE("Error exporting script item " + problem, "Error!", ui::Icon::Exclamation);
}

void ImportScript() {
  std::string name = files::GLO.EXPORTNAME.str();
  if (!ui::FILEDIALOG("Choose File to Import", name, "Export File|*.ovs|Text|*.txt|All|*.*",
                      ui::FILE_::KeepDir | ui::FILE_::LongName))
    return;
  name = ScriptExportName(name);
  files::GLO.EXPORTNAME = name;
  if (files::Access_SCRIPTING.Open() != Err::None) return;
  (void)scheduler::CheckScheduleLink("imported script action", SCH.ID);
  ScriptImporter importer;
  std::string problem;
  Err err = importer.begin(SCH.ID, name, &problem);
  if (err == Err::None) {
    // Cancel keeps the items added so far.
    ui::ProgressWindow progress(
        "Processing Records",
        [&](ui::ProgressWindow& p) {
          p.setText("Importing Script Items");
          const bool more = importer.step();
          p.setProgress(static_cast<int64_t>(importer.done()), static_cast<int64_t>(importer.total()));
          return more ? ui::ProgressWindow::Step::More : ui::ProgressWindow::Step::Done;
        },
        "ImportScript");
    (void)progress.Run();
    err = importer.finish(&problem);
  }
  for (const ImportNote& n : importer.notes) ui::MESSAGE(n.text, n.title, ui::Icon::Exclamation);
  if (err != Err::None) ui::MESSAGE("Error adding script item " + problem, "Error!", ui::Icon::Exclamation);
  (void)files::Access_SCRIPTING.Close();
}

}  // namespace ov::editors
