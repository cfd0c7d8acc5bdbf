#include "editors/explore_binding.h"

#include <cstdio>
#include <cstdlib>

#include "platform/report/output.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/list_control.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::editors {

namespace {

std::string packText(std::string_view s) {
  const size_t n = std::min<size_t>(s.size(), 255);
  return std::string(1, static_cast<char>(n)) + std::string(s.substr(0, n));
}

std::string pack16(int v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }

// The kind of a column's field, from its picture: dates, times and numbers step by value.
enum class FieldKind { Text, Value, Other };
FieldKind kindOf(const ExploreColumn& c) {
  if (c.icon || !c.sortable) return FieldKind::Other;
  const std::string p = rt::UPPER(c.picture);
  if (p.rfind("@D", 0) == 0 || p.rfind("@T", 0) == 0 || p.rfind("@N", 0) == 0) return FieldKind::Value;
  if (p.rfind("@S", 0) == 0) return FieldKind::Text;
  return FieldKind::Other;
}

}  // namespace

std::string packExploreColumns(const std::vector<ExploreColumn>& columns) {
  std::string s;
  for (const ExploreColumn& c : columns) {
    s += packText(c.field) + pack16(c.width) + packText(c.header) + packText(c.picture) + packText(c.description);
    s += c.just;
    s += static_cast<char>(c.shown ? 1 : 0);
    s += static_cast<char>(c.colours ? 1 : 0);
    s += static_cast<char>(c.icon ? 1 : 0);
    s += static_cast<char>(c.sortable ? 1 : 0);  // a field of the view
    s += std::string(4, '\0');                   // tab control
    s += '\0';                                   // totals
    s += static_cast<char>(c.graph ? 1 : 0);
    s += '\0';                                   // graph type: a count of rows
    s += static_cast<char>(c.sortable ? 1 : 0);
    s += ' ';                                    // locator type
  }
  return s;
}

// ---- the explorer's operations ------------------------------------------------------------------

void BoundExplorer::ListBoxData() {
  GrLBF = packExploreColumns(columns);
  QDim = static_cast<int>(columns.size());
  GrSSF.clear();
  QDimS = 0;
  GrASF = std::string(1, '\0') + pack16(0);  // no apply-to-all fields
  GetQFields();
  CreateFormatQ(LB);
}

void BoundExplorer::AddColumnSortOrder(int number) {
  // The k-th sortable field, as AddAllColumnSortOrders counts them.
  const ExploreColumn* column = nullptr;
  int k = 0;
  for (const ExploreColumn& c : columns)
    if (c.sortable && ++k == number) {
      column = &c;
      break;
    }
  std::unique_ptr<ui::StepClass> step;
  switch (column ? kindOf(*column) : FieldKind::Other) {
    case FieldKind::Value: step = std::make_unique<ui::StepLongClass>(); break;
    case FieldKind::Text: step = std::make_unique<ui::StepStringClass>(); break;
    case FieldKind::Other: step = std::make_unique<ui::StepCustomClass>(); break;
  }
  const int order = BC->AddSortOrder(step.get());
  m_steps.push_back(std::move(step));
  columnOrders.push_back(order);
  if (column) {
    auto locator = std::make_unique<ui::StepLocatorClass>();
    locator->Init(column->field);
    BC->AddLocator(*locator);
    m_locators.push_back(std::move(locator));
  }
  if (!baseFilter.empty()) BC->SetFilter(baseFilter);
  for (const auto& [field, value] : ranges) BC->AddRange(field, value);
  for (const ui::Binding& b : resetFields) BC->AddResetField(b);
}

void BoundExplorer::SetFilters() {
  if (setFilters) setFilters();
}

void BoundExplorer::SetNewOrderFields() {
  winclasses::XPGQ* c = columnAt(sequence());
  if (!c || !state) return;
  int k = 0;
  for (const winclasses::XPGQ& f : FQ) {
    if (f.SortField) ++k;
    if (f.QNos == c->QNos) break;
  }
  const size_t at = static_cast<size_t>(2 * (k - 1) + (c->AscDesc ? 1 : 0));
  if (k < 1 || at >= columnOrders.size()) return;
  state->columnSort = true;
  state->columnOrder = columnOrders[at];
  (void)BC->SetSort(state->columnOrder);
}

long BoundExplorer::GetRecordsInKey() {
  // Every key of a table holds every record, so a key order and a keyless one count alike.
  return BC ? static_cast<long>(BC->view().Primary.file().records()) : 0;
}

void BoundExplorer::GetStringForGraph(int fieldNumber, std::string_view picture) {
  // The gathering has just put the row to count in the data queue's buffer (read from the view, or
  // from the queue's entry): the row the list has selected does not matter here.
  ui::ListQueue* q = dataQueue();
  if (!q) return;
  std::string name = ui::formatListField(q->buffer(), q->field(fieldNumber), std::string(picture));
  const size_t first = name.find_first_not_of(' ');
  name = first == std::string::npos ? std::string() : rt::CLIP(name.substr(first));
  if (name.size() > 80) name.resize(80);
  winclasses::GraphCategory* entry = nullptr;
  for (winclasses::GraphCategory& g : QSel)
    if (g.Name == name) entry = &g;
  if (!entry) {
    QSel.push_back({name, 0, 0, 0, {}});
    entry = &QSel.back();
  }
  ++entry->Count;
  entry->Total += 0;  // the task lists have no amounts: every row adds 0
  std::string total = rt::FORMAT(std::to_string(entry->Total), std::string(picture));
  entry->TextSfx = total.size() > 20 ? total.substr(0, 20) : total;
}

bool BoundExplorer::MyPreviewer() {
  // The preview prints by itself when asked to; the caller then has nothing left to print.
  if (report::PRINTPREVIEW(printedPages, printedTitle) == 1) PrintPrepared();
  return false;
}

// ---- the window's side --------------------------------------------------------------------------

void ExploreBinding::Bind(ui::WindowManager& manager, ui::BrowseClass& browse, ui::QueryClass& query,
                          BoundExplorer& explorer, ExploreState& state, std::string_view iniFile,
                          std::string_view visual, std::string_view listName) {
  m_manager = &manager;
  m_listName = listName;
  m_browse = &browse;
  m_explorer = &explorer;
  m_state = &state;
  explorer.state = &state;
  winclasses::ExploreWindowVars vars;
  vars.restoreHeader = &state.restoreHeader;
  vars.viewOrder = &state.viewOrder;
  vars.sequenceNbr = &state.sequence;
  vars.mask = &state.mask;
  vars.fileSeqOn = &state.fileSeqOn;
  vars.titleText = &state.titleText;
  const int own = browse.CurrentSort();
  m_ownOrder = own;
  explorer.Init(manager, browse, query, browse.listControl(), visual, iniFile, true, vars);
  // What every list of the main program offers: exports with headers, opened by the desktop,
  // printing of the page or of everything with a preview first, the bar graph.
  explorer.Separator = ",";
  explorer.BrowseHeader = true;
  explorer.ShellExecute = true;
  explorer.MaxFontSize = 9;
  explorer.MinFontSize = 6;
  explorer.AllPreview = true;
  explorer.PagePreview = false;
  explorer.LHCol4Moving = 1;
  explorer.Upper = true;
  explorer.Graph = true;
  explorer.PrintView = true;
  explorer.PrintPage = true;
  ui::ListControl& list = browse.list();
  if (list.formatString().empty()) list.format(winclasses::exploreFormatString(explorer.SQ));  // as described
  for (const ExploreColumn& c : explorer.columns) explorer.AddField(c.field, c.field);
  explorer.AddAllColumnSortOrders(true);
  (void)browse.SetSort(own);  // the window's own order until a column is chosen
  manager.AddItem(*this);
}

void ExploreBinding::Opened() {
  m_explorer->SetSubclassFunc();  // the header mouse needs the list's handle, which the open made
  m_explorer->GetBBSize(m_manager->procedureName(), m_listName);
  clearColumnSort();
  m_opened = true;
  ui::Window& w = m_manager->window();
  for (int key : {kFitColumns, kDefaultLayout, kToggleBar, kPopup}) w.alert(key);  // taken on the list only
  ui::POST(kListLayout);
}

void ExploreBinding::clearColumnSort() {
  if (m_state->columnSort && m_browse) (void)m_browse->SetSort(m_ownOrder);
  m_state->columnSort = false;
  m_state->columnOrder = 0;
  m_state->sequence = 0;
  m_state->viewOrder = 0;
}

int ExploreBinding::chosenOrder(int own) const {
  return m_state && m_state->columnSort && m_state->columnOrder && m_state->sequence ? m_state->columnOrder : own;
}

bool ExploreBinding::takeDoubleClick() {
  if (!m_explorer || m_browse->HasRecords() == 0) return false;
  return m_explorer->LeftButton2() != 0;
}

ui::Level ExploreBinding::TakeEvent() {
  m_handled = false;
  if (!m_explorer || !m_opened) return ui::Level::Benign;
  const int event = ui::EVENT();
  const int field = ui::FIELD();
  const int list = m_browse->listControl();
  namespace E = winclasses::ExploreEvent;
  if (field == list && (event == ui::EVENT::AlertKey || event == ui::EVENT::Accepted)) {
    switch (ui::KEYCODE()) {
      case kFitColumns: m_explorer->AdjustAllColumns(); m_handled = true; break;
      case kDefaultLayout: m_explorer->ResetToDefault(); clearColumnSort(); m_handled = true; break;
      case kToggleBar: m_explorer->ToggleBar(); m_handled = true; break;
      case kPopup: m_explorer->InvokePopup(); m_handled = true; break;
      case ui::Key::MouseLeft2: m_handled = takeDoubleClick(); break;
      default: break;
    }
    return m_handled ? ui::Level::Notify : ui::Level::Benign;
  }
  if (field == list && event == ui::EVENT::NewSelection && ui::KEYCODE() == ui::Key::MouseRight) {
    (void)m_browse->UpdateBuffer();
    m_browse->UpdateWindow();
    return ui::Level::Notify;
  }
  if (field != 0 && field != list) return ui::Level::Benign;
  if (event == kListLayout || event == ui::EVENT::GainFocus) {
    m_explorer->GetColumnInfo(false, true);
    return ui::Level::Benign;  // the window's own handling of the focus runs too
  }
  if (event < E::LeftDown || event > E::AddEqualToFilter) return ui::Level::Benign;
  // The header mouse posts its events to the window: they are this list's only when its header
  // had them (a window may hold two explorer lists). A new sort is the one whose view order is set.
  const int mouseList = winclasses::headerMouse().control;
  if (event != E::NewSort && mouseList != 0 && mouseList != list) return ui::Level::Benign;
  if (event == E::NewSort && !m_state->viewOrder) return ui::Level::Benign;
  switch (event) {
    case E::LeftUp: m_explorer->LeftButtonUp(1); break;
    case E::RightUp:
      if (std::atoi(m_browse->list().propList(ui::PROPLIST::MouseUpRow, 0).c_str()) > 0) {
        if (rowPopup) {
          rowPopup();
        } else if (m_browse->HasRecords() && m_browse->UpdateBuffer() == rt::Err::None &&
                   !m_browse->Popup.ItemNames().empty()) {
          (void)m_browse->Popup.Ask();
        }
      } else {
        m_explorer->RightButtonUp();
        if (m_state->columnSort && m_state->sequence == 0) {  // "Sort by default key", "Do not sort"
          clearColumnSort();
          m_manager->Reset(true);
        }
      }
      break;
    case E::NewSort:
      if (m_state->viewOrder) {
        m_state->viewOrder = 0;
        m_manager->Reset(true);
        m_explorer->SetVisual();
      }
      break;
    default:
      m_explorer->HandleMyEvents(event);
      if (event == E::Reset) clearColumnSort();
      break;
  }
  m_handled = true;
  return ui::Level::Notify;
}

void ExploreBinding::Kill() {
  if (!m_explorer) return;
  if (m_opened) {
    m_explorer->EraseVisual();  // the sort mark is not part of the saved headers
    const winclasses::XPGQ* c = m_explorer->columnAt(m_state->sequence);
    m_explorer->PutIniX(m_manager->procedureName(), m_listName, m_state->sequence, c ? c->AscDesc : 0);
  }
  m_explorer->Kill();
  m_explorer = nullptr;
  m_opened = false;
}

}  // namespace ov::editors
