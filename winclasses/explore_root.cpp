#include "winclasses/explore_root.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QStyle>
#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdlib>
#include <map>

#include "platform/rt/fixed_string.h"
#include "platform/rt/ini.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::winclasses {

namespace {

std::string clip(std::string_view s) { return std::string(rt::clipView(s)); }

// Bounded reading of packed descriptions: past the end every byte is 0.
class Reader {
 public:
  explicit Reader(std::string_view s) : m_s(s) {}
  int byte() {
    if (m_at >= m_s.size()) return 0;
    return static_cast<uint8_t>(m_s[m_at++]);
  }
  int u16() {
    int lo = byte();
    int hi = byte();
    return lo | hi << 8;
  }
  std::string text() {
    size_t n = static_cast<size_t>(byte());
    n = std::min(n, m_s.size() - std::min(m_at, m_s.size()));
    std::string out(m_s.substr(std::min(m_at, m_s.size()), n));
    m_at += n;
    return clip(out);
  }
  void skip(size_t n) { m_at = std::min(m_s.size(), m_at + n); }
  bool done() const { return m_at >= m_s.size(); }

 private:
  std::string_view m_s;
  size_t m_at = 0;
};

char justOf(int c) {
  c = std::toupper(c);
  return c == 'R' || c == 'C' || c == 'D' ? static_cast<char>(c) : 'L';
}

std::vector<SortSubField> readSubFields(Reader& r, int count) {
  std::vector<SortSubField> out;
  for (int j = 0; j < count && !r.done(); ++j) {
    SortSubField f;
    f.Seq = j + 1;
    f.FieldName = r.text();
    f.AscDesc = r.byte() ? 1 : 0;
    f.Picture = r.text();
    out.push_back(std::move(f));
  }
  return out;
}

bool isStringPicture(std::string_view picture) {
  return picture.size() > 1 && std::toupper(static_cast<unsigned char>(picture[1])) == 'S';
}

bool sameName(std::string_view a, std::string_view b) { return rt::compareText(a, b, true) == 0; }

// At most `n` bytes of a text, never splitting a character.
std::string cutText(std::string_view s, size_t n) {
  if (s.size() <= n) return std::string(s);
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return std::string(s.substr(0, n));
}

std::map<ui::Handle, ui::ProcNumber>& savedProcs() {
  static std::map<ui::Handle, ui::ProcNumber> procs;
  return procs;
}

// The explorer of each subclassed list, so a press can measure its header cell at once.
std::map<ui::Handle, ExploreRootClass*>& explorers() {
  static std::map<ui::Handle, ExploreRootClass*> e;
  return e;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Packed descriptions

std::vector<XPGQ> decodePackedColumns(std::string_view packed, int count) {
  Reader r(packed);
  std::vector<XPGQ> out;
  for (int i = 0; i < count; ++i) {
    XPGQ c;
    c.Field = r.text();
    c.WidthDLU = r.u16();
    c.Header = r.text();
    c.Picture = r.text();
    c.Description = r.text();
    c.HJust = c.FJust = justOf(r.byte());
    c.Display = r.byte() != 0;
    c.Colors = r.byte() != 0;
    c.IconX = r.byte();
    c.ViewField = r.byte() != 0;
    c.TabControl = r.u16();
    r.skip(2);
    c.TotalOK = r.byte() != 0;
    c.GraphOK = r.byte() != 0;
    c.GraphType = r.byte();
    c.SortField = r.byte();
    int loc = r.byte();
    c.LocatorType = loc ? static_cast<char>(loc) : ' ';
    out.push_back(std::move(c));
  }
  return out;
}

std::vector<PackedSubFields> decodePackedSubFields(std::string_view packed, int count) {
  Reader r(packed);
  std::vector<PackedSubFields> out;
  for (int i = 0; i < count && !r.done(); ++i) {
    PackedSubFields p;
    p.column = r.text();
    int n = r.u16();
    p.fields = readSubFields(r, n);
    out.push_back(std::move(p));
  }
  return out;
}

std::vector<SortSubField> decodePackedApplyAll(std::string_view packed, int& applyAll) {
  Reader r(packed);
  applyAll = r.byte() ? 1 : 0;
  int n = r.u16();
  return readSubFields(r, n);
}

std::vector<std::string> columnOrderElements(const XPGQ& column, const std::vector<SortSubField>& subFields,
                                             const std::vector<SortSubField>& applyAllFields, bool applyAll,
                                             int direction, bool upper) {
  std::vector<std::string> out;
  auto add = [&](const std::string& name, int ownDirection, std::string_view picture) {
    if (name.empty()) return;
    std::string e = upper && isStringPicture(picture) ? "UPPER(" + name + ")" : name;
    out.push_back(direction != ownDirection ? "-" + e : e);
  };
  if (subFields.empty()) {
    add(column.Field, column.AscDesc, column.Picture);
  } else {
    for (const SortSubField& f : subFields) add(f.FieldName, f.AscDesc, f.Picture);
  }
  if (subFields.empty() || applyAll)
    for (const SortSubField& f : applyAllFields) add(f.FieldName, f.AscDesc, f.Picture);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Formats

std::string exploreFormatString(const std::vector<XPGQ>& columns) {
  std::vector<ui::ListColumn> out;
  for (const XPGQ& c : columns) {
    ui::ListColumn l;
    l.width = c.WidthDLU;
    l.just = c.FJust;
    l.offset = c.FOffset;
    l.colors = c.Colors;
    l.icon = c.IconX == 1 ? 1 : c.IconX == 2 ? 2 : 0;
    l.fixed = c.Fixed;
    l.underline = c.ULine;
    l.resize = c.Resize;
    l.rightBorder = c.Border;
    l.hasHeader = true;
    l.header = cutText(clip(c.Header), 25);
    l.headerJust = c.HJust;
    l.headerOffset = c.HOffset;
    l.picture = c.Picture.empty() ? "@S20" : c.Picture;
    l.field = c.QNos;
    l.color[0] = c.NFG;
    l.color[1] = c.NBG;
    l.color[2] = c.SFG;
    l.color[3] = c.SBG;
    out.push_back(std::move(l));
  }
  return ui::listFormatString(out);
}

namespace {
void takeAttributes(XPGQ& x, const ui::ListColumn& l) {
  x.WidthDLU = l.width;
  x.FJust = l.just;
  x.FOffset = l.offset;
  x.Fixed = l.fixed;
  x.ULine = l.underline;
  x.Resize = l.resize;
  x.Border = l.rightBorder;
  x.Header = l.header;
  x.HJust = l.hasHeader ? l.headerJust : l.just;
  x.HOffset = l.headerOffset;
  x.Picture = l.picture;
  x.NFG = l.color[0];
  x.NBG = l.color[1];
  x.SFG = l.color[2];
  x.SBG = l.color[3];
}
}  // namespace

bool columnsFromFormat(std::string_view format, const std::vector<XPGQ>& fields, std::vector<XPGQ>& out) {
  std::vector<ui::ListColumn> cols;
  if (!ui::parseListFormat(format, cols)) return false;
  std::vector<XPGQ> result;
  for (const ui::ListColumn& l : cols) {
    auto it = std::find_if(fields.begin(), fields.end(), [&](const XPGQ& f) { return f.QNos == l.field; });
    if (it == fields.end()) continue;
    XPGQ x = *it;
    takeAttributes(x, l);
    x.Display = true;
    x.Seq = x.Col = static_cast<int>(result.size()) + 1;
    result.push_back(std::move(x));
  }
  out = std::move(result);
  return true;
}

void layoutColumns(std::vector<XPGQ>& columns, int roomPx) {
  int edge = 0;
  int room = std::max(roomPx, 0);
  XPGQ* last = nullptr;
  for (XPGQ& c : columns) {
    c.XPosPix = edge;
    if (c.WidthPix <= 0) {
      c.WidthPix = 0;
      continue;
    }
    c.WidthPix = std::min(c.WidthPix, room);
    int step = c.WidthPix + (c.Border ? 1 : 0);
    room = std::max(room - step, 0);
    edge += step;
    last = &c;
  }
  if (last && room > 0) last->WidthPix += room;
}

// ---------------------------------------------------------------------------------------------
// Header mouse

void HeaderMouse::message(uint32_t msg, int x, int y) {
  ++messages;
  auto send = [&](int e) {
    if (post) post(e);
  };
  switch (msg) {
    case ui::WM::LButtonDown:
      pressX = lastX = x;
      pressed = true;
      send(ExploreEvent::LeftDown);
      break;
    case ui::WM::LButtonUp:
      pressed = false;
      lastX = x;
      send(ExploreEvent::LeftUp);
      break;
    case ui::WM::RButtonDown: send(ExploreEvent::RightDown); break;
    case ui::WM::RButtonUp: send(ExploreEvent::RightUp); break;
    case ui::WM::MouseMove: {
      // A move with no button held is no drag.
      if (!pressed) break;
      int dx = std::abs(x - pressX);
      if (buttonShown) {
        if (y < 0 || y > headerHeight || x < cellLeft || x > cellLeft + cellWidth) send(ExploreEvent::OffButton);
        if (dx > headerHeight / 2) {
          if (!dragBoxShown) {
            dragBoxShown = true;
            if (showDragBox) showDragBox(true);
          }
          send(ExploreEvent::OffButton);
        }
      }
      if (dx > headerHeight && y > -headerHeight && y < 2 * headerHeight) {
        lastX = x;
        send(ExploreEvent::DragMoved);
      }
      break;
    }
    default: break;
  }
}

HeaderMouse& headerMouse() {
  static HeaderMouse state;
  return state;
}

ui::LRESULT ExploreListProc(ui::Handle hwnd, uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
  auto it = savedProcs().find(hwnd);
  ui::LRESULT r = it == savedProcs().end() ? 0 : ui::CallWindowProc(it->second, hwnd, msg, wParam, lParam);
  HeaderMouse& hm = headerMouse();
  if (!hm.post) hm.post = [](int e) { ui::POST(e); };
  int x = ui::GET_X_LPARAM(lParam), y = ui::GET_Y_LPARAM(lParam);
  auto e = explorers().find(hwnd);
  if (msg == ui::WM::LButtonDown || msg == ui::WM::RButtonDown)  // the release and moves follow the press
    hm.control = e != explorers().end() ? e->second->LB : 0;
  if (msg == ui::WM::LButtonDown) {
    // The cell is measured now, not when the posted press is handled, so the moves that follow
    // at once already see it.
    if (e != explorers().end()) e->second->armHeaderPress(x, y);
  }
  hm.message(msg, x, y);
  return r;
}

// ---------------------------------------------------------------------------------------------
// ExploreRootClass

ExploreRootClass::ExploreRootClass() = default;
ExploreRootClass::~ExploreRootClass() {
  for (auto it = explorers().begin(); it != explorers().end();)
    it = it->second == this ? explorers().erase(it) : std::next(it);
}

void ExploreRootClass::abstractMethod(std::string_view name) const {
  ui::MESSAGE("This should not be executed - the VIRTUAL in the Procedure should be executed instead",
              "Explore." + std::string(name) + " Base Method");
}

void ExploreRootClass::AddColumnSortOrder(int) { abstractMethod("AddColumnSortOrder"); }
void ExploreRootClass::ListBoxData() { abstractMethod("ListBoxData"); }
void ExploreRootClass::SetFilters() { abstractMethod("SetFilters"); }
void ExploreRootClass::SetNewOrderFields() { abstractMethod("SetNewOrderFields"); }

ui::ListControl& ExploreRootClass::list() const {
  auto* l = WM->window().as<ui::ListControl>(LB);
  assert(l && "the explorer's list control");
  return *l;
}

XPGQ* ExploreRootClass::columnAt(int position) {
  if (position < 1 || position > static_cast<int>(SQ.size())) return nullptr;
  return &SQ[static_cast<size_t>(position - 1)];
}

XPGQ* ExploreRootClass::fieldEntry(int qnos) {
  for (XPGQ& f : FQ)
    if (f.QNos == qnos) return &f;
  return nullptr;
}

std::string ExploreRootClass::currentValue(int qnos, std::string_view picture) const {
  ui::ListQueue* q = dataQueue();
  if (!q) return {};
  const void* e = list().selected() > 0 && list().selected() <= q->records() ? q->entry(list().selected()) : q->buffer();
  std::string v = ui::formatListField(e, q->field(qnos), std::string(picture));
  size_t b = v.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : clip(v.substr(b));
}

void ExploreRootClass::InitAux(ui::WindowManager& manager, int listFeq, std::string_view visual,
                               std::string_view iniFile, bool allowResize, const ExploreWindowVars& v) {
  WM = &manager;
  LB = listFeq;
  Visual = std::string(visual);
  IniFileName = std::string(iniFile);
  Def.AllowBBResize = allowResize;
  vars = v;
  SQ.clear();
  FQ.clear();
  SOQ.clear();
  AOQ.clear();
  ForQ.clear();
  QSel.clear();
  AscToken = ">";
  DescToken = "<";
  HdrToken = AscDesc ? DescToken : AscToken;
  ListBoxData();
  MaxFontSize = 14;
  MinFontSize = 6;
  PaperType = 1;
  AllPreview = true;
  PagePreview = false;
  HeaderStyle = 400;
  AsciiFileName = "XPort.CSV";
  HtmlFileName = "XPort.HTM";
  Symbol = "EQ";
}

void ExploreRootClass::Init(ui::WindowManager& manager, ui::BrowseClass& browse, ui::QueryClass& query, int listFeq,
                            std::string_view visual, std::string_view iniFile, bool allowResize,
                            const ExploreWindowVars& v) {
  ListType = 1;
  BC = &browse;
  QC = &query;
  QC->Init();
  BC->Query = QC;
  InitAux(manager, listFeq, visual, iniFile, allowResize, v);
}

void ExploreRootClass::Init(ui::WindowManager& manager, ExploreFileClass& files, int listFeq, std::string_view visual,
                            std::string_view iniFile, bool allowResize, const ExploreWindowVars& v) {
  ListType = 2;
  FC = &files;
  if (!FC->Popup) FC->Popup = &m_ownPopup;
  InitAux(manager, listFeq, visual, iniFile, allowResize, v);
}

void ExploreRootClass::Init(ui::WindowManager& manager, ExploreListClass& items, int listFeq, std::string_view visual,
                            std::string_view iniFile, bool allowResize, const ExploreWindowVars& v) {
  ListType = 3;
  LC = &items;
  if (!LC->Popup) LC->Popup = &m_ownPopup;
  InitAux(manager, listFeq, visual, iniFile, allowResize, v);
}

void ExploreRootClass::Kill() {
  pairs.clear();
  SQ.clear();
  FQ.clear();
  SOQ.clear();
  AOQ.clear();
  ForQ.clear();
  QSel.clear();
  LSQ.clear();
  if (ListType == 1 && QC) QC->Kill();
  if (ListType != 1 && RPU) RPU->Kill();
  if (LB && WM) {
    ui::Control* c = WM->window().control(LB);
    if (c && c->wndProc() == ui::windowProcNumber(&ExploreListProc)) {
      auto it = savedProcs().find(c->handle());
      if (it != savedProcs().end()) {
        c->setProp(ui::Prop::WndProc, std::to_string(it->second));
        savedProcs().erase(it);
      }
    }
    if (c) {
      auto e = explorers().find(c->handle());
      if (e != explorers().end() && e->second == this) explorers().erase(e);
    }
  }
}

void ExploreRootClass::CreateFormatQ(int control) { ForQ.push_back({control, {}}); }

void ExploreRootClass::GetQFields() {
  FQ.clear();
  SQ.clear();
  SOQ.clear();
  AOQ.clear();
  m_addFieldAt = 0;
  std::vector<ui::ListColumn> design;
  if (WM && LB) design = list().columns();
  int fieldNo = 0;
  std::vector<XPGQ> recs = decodePackedColumns(GrLBF, QDim);
  for (size_t i = 0; i < recs.size(); ++i) {
    XPGQ c = std::move(recs[i]);
    ++fieldNo;
    c.FJust = c.HJust;
    if (c.IconX != 0) {
      // A transparent icon in the list's own format makes it 2.
      for (const ui::ListColumn& l : design)
        if (l.field == fieldNo && l.icon == 2) c.IconX += 1;
    }
    int extra = (c.Colors ? 4 : 0) + (c.IconX ? 1 : 0);
    if (c.LocatorType == 'X' && !c.Display) {
      fieldNo += extra;
      continue;
    }
    c.QNos = fieldNo;
    c.Seq = static_cast<int>(i) + 1;
    c.AscDesc = 0;
    c.HOffset = c.FOffset = 1;
    c.ULine = c.Fixed = false;
    c.Border = c.Resize = true;
    c.NFG = c.NBG = c.SFG = c.SBG = -1;
    c.ControlField = c.Display;
    c.Format.clear();
    if (c.ControlField) {
      c.Col = static_cast<int>(i) + 1;
      XPGQ s = c;
      s.Seq = s.Col = static_cast<int>(SQ.size()) + 1;
      SQ.push_back(std::move(s));
    } else {
      c.Col = 0;
    }
    c.Icon = c.Display ? 1 : 0;
    fieldNo += extra;
    FQ.push_back(std::move(c));
  }
  for (const PackedSubFields& p : decodePackedSubFields(GrSSF, QDimS)) {
    int q = 0;
    for (const XPGQ& f : FQ)
      if (sameName(f.Field, p.column)) {
        q = f.QNos;
        break;
      }
    for (SortSubField s : p.fields) {
      s.QNos = q;
      SOQ.push_back(std::move(s));
    }
  }
  std::stable_sort(SOQ.begin(), SOQ.end(),
                   [](const SortSubField& a, const SortSubField& b) { return a.QNos != b.QNos ? a.QNos < b.QNos : a.Seq < b.Seq; });
  int all = 0;
  AOQ = decodePackedApplyAll(GrASF, all);
  ApplyAll = all != 0;
  if (ListType == 1 && QC)
    for (const XPGQ& f : FQ) {
      std::string name = rt::UPPER(clip(f.Field));
      QC->AddItem(name, name, f.Picture);
    }
}

void ExploreRootClass::AddField(std::string_view viewField, std::string_view queueField) {
  pairs.emplace_back(std::string(viewField), std::string(queueField));
  // A column that is no field of the file (an icon, a text made per row) is the row code's to fill.
  if (ListType == 1 && BC && BC->HasFileField(viewField)) BC->AddField(viewField, queueField);
  ++m_addFieldAt;
}

void ExploreRootClass::FindAnySubFields(bool firstSets, std::string_view direction) {
  if (!BC || m_sortColumn >= FQ.size()) return;
  const XPGQ& col = FQ[m_sortColumn];
  std::vector<SortSubField> subs;
  for (const SortSubField& s : SOQ)
    if (s.QNos == col.QNos && col.QNos != 0) subs.push_back(s);
  int dir = direction == "1" ? 1 : 0;
  std::vector<std::string> e = columnOrderElements(col, subs, AOQ, ApplyAll, dir, Upper);
  for (size_t i = 0; i < e.size(); ++i) {
    if (i == 0 && firstSets)
      BC->SetOrder(e[i]);
    else
      BC->AppendOrder(e[i]);
  }
}

void ExploreRootClass::AddAllColumnSortOrders(bool firstSets) {
  if (ListType == 1) {
    RPU = BC ? &BC->Popup : nullptr;
  } else {
    ui::PopupClass* p = ListType == 2 ? FC->Popup : LC->Popup;
    RPU = p;
    if (RPU) RPU->Init();
  }
  SetSubclassFunc();
  AddItemsToPopup();
  if (ListType != 1) LSQ.clear();
  int k = 0;
  for (size_t i = 0; i < FQ.size(); ++i) {
    XPGQ& f = FQ[i];
    if (f.SortField == 0) continue;
    ++k;
    if (ListType == 1) {
      m_sortColumn = i;
      AddColumnSortOrder(k);
      FindAnySubFields(firstSets, "0");
      AddColumnSortOrder(k);
      FindAnySubFields(firstSets, "1");
    } else {
      std::vector<SortSubField> subs;
      for (const SortSubField& s : SOQ)
        if (s.QNos == f.QNos) subs.push_back(s);
      f.SortField = static_cast<int>(LSQ.size()) + 1;
      for (int dir = 0; dir < 2; ++dir) {
        std::vector<std::string> e = columnOrderElements(f, subs, AOQ, ApplyAll, dir, false);
        std::string joined;
        for (const std::string& s : e) joined += (joined.empty() ? "" : ",") + s;
        LSQ.push_back({static_cast<int>(LSQ.size()) + 1, joined});
      }
    }
    for (XPGQ& s : SQ)
      if (s.QNos == f.QNos) s.SortField = f.SortField;
  }
}

// ---------------------------------------------------------------------------------------------
// Column layout

void ExploreRootClass::ReformatListBox() {
  for (size_t i = 0; i < SQ.size(); ++i) SQ[i].Seq = SQ[i].Col = static_cast<int>(i) + 1;
  (void)list().setFormat(exploreFormatString(SQ));  // built from our own columns: always readable
}

void ExploreRootClass::EquateColToQField() {
  std::string format = currentSlot < ForQ.size() ? ForQ[currentSlot].Format : std::string();
  if (clip(format).empty()) format = list().formatString();
  std::vector<XPGQ> cols;
  if (!columnsFromFormat(format, FQ, cols)) return;
  for (XPGQ& c : cols)
    for (const XPGQ& old : SQ)
      if (old.QNos == c.QNos) c.AscDesc = old.AscDesc;
  SQ = std::move(cols);
}

void ExploreRootClass::GetColumnInfo(bool, bool keepCurrent) {
  std::vector<XPGQ> cols;
  if (columnsFromFormat(list().formatString(), FQ, cols)) {
    for (XPGQ& c : cols)
      for (const XPGQ& old : SQ)
        if (old.QNos == c.QNos) {
          c.AscDesc = old.AscDesc;
          c.MaxWidth = old.MaxWidth;
        }
    SQ = std::move(cols);
  }
  for (XPGQ& c : SQ) c.WidthPix = WM->window().dluToPxX(c.WidthDLU);
  if (!keepCurrent) {
    XPGQ* c = columnAt(sequence());
    QNos = c ? c->QNos : 0;
  }
  HPos = list().hscrollPos();
  m_lastHPos = HPos;
  if (HPos > 0) {
    int skipped = 0;
    for (XPGQ& c : SQ) {
      if (c.Fixed) continue;
      if (skipped >= HPos) break;
      c.WidthPix = 0;
      ++skipped;
    }
  }
  CalcColumnWidths();
}

int ExploreRootClass::scrollBarPx() const {
  if (qApp) return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  return 16;
}

int ExploreRootClass::textWidthPx(std::string_view text) const {
  QFont font = qApp ? QApplication::font() : QFont();
  const ui::ListControl& l = list();
  std::string face = l.prop(ui::Prop::FontName);
  if (!face.empty()) font.setFamily(QString::fromStdString(face));
  int size = std::atoi(l.prop(ui::Prop::FontSize).c_str());
  if (size > 0) font.setPointSize(size);
  return QFontMetrics(font).horizontalAdvance(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
}

void ExploreRootClass::CalcColumnWidths() {
  int room = WM->window().dluToPxX(list().rect().w);
  if (list().prop(ui::Prop::VScroll) == "1") room -= scrollBarPx();
  layoutColumns(SQ, room);
  if (QNos != 0) {
    for (size_t i = 0; i < SQ.size(); ++i)
      if (SQ[i].QNos == QNos) setSequence(static_cast<int>(i) + 1);
  }
}

int ExploreRootClass::GetWidestString(int fieldNumber, std::string_view picture, std::string_view header) {
  int widest = 0;
  std::string pic = picture.empty() ? "@S20" : std::string(picture);
  if (ui::ListQueue* q = dataQueue()) {
    const rt::FieldDesc* f = q->field(fieldNumber);
    for (int i = 1; i <= q->records(); ++i)
      widest = std::max(widest, textWidthPx(ui::formatListField(q->entry(i), f, pic)));
  }
  if (IncludeHeader) widest = std::max(widest, textWidthPx(header));
  return widest;
}

void ExploreRootClass::FineTuneWidth(int column, int& width) {
  XPGQ* c = columnAt(column);
  if (!c) return;
  if (c->FJust == 'L' || c->FJust == 'R') width += c->FOffset;
  if (c->FJust == 'D') width += 1;
  if (list().propList(ui::PROPLIST::Icon, column) == "1") width += 11;
  width += 1;
}

void ExploreRootClass::AdjustAllColumns() {
  ui::BusyCursor busy;
  GetColumnInfo(false, true);
  for (size_t i = 0; i < SQ.size(); ++i) {
    XPGQ& c = SQ[i];
    int w = GetWidestString(c.QNos, c.Picture, c.Header);
    FineTuneWidth(static_cast<int>(i) + 1, w);
    c.MaxWidth = w;
    c.WidthDLU = std::max(1, WM->window().pxToDluX(w));
  }
  ReformatListBox();
  GetColumnInfo(false, true);
}

int ExploreRootClass::XlateCol2Q(int column) const {
  if (column < 1 || column > static_cast<int>(SQ.size())) return 0;
  return SQ[static_cast<size_t>(column - 1)].QNos;
}

void ExploreRootClass::MoveColLeft() {
  int pos = CurrentCol;
  if (pos < 2 || pos > static_cast<int>(SQ.size()) || pos <= LHCol4Moving) {
    ui::BEEP();
    return;
  }
  std::swap(SQ[static_cast<size_t>(pos - 1)], SQ[static_cast<size_t>(pos - 2)]);
  for (size_t i = 0; i < SQ.size(); ++i) SQ[i].Seq = SQ[i].Col = static_cast<int>(i) + 1;
  CurrentCol = pos - 1;
  setSequence(CurrentCol);
}

void ExploreRootClass::MoveColRight() {
  int pos = CurrentCol;
  if (pos < 1 || pos >= static_cast<int>(SQ.size()) || pos < LHCol4Moving) {
    ui::BEEP();
    return;
  }
  std::swap(SQ[static_cast<size_t>(pos - 1)], SQ[static_cast<size_t>(pos)]);
  for (size_t i = 0; i < SQ.size(); ++i) SQ[i].Seq = SQ[i].Col = static_cast<int>(i) + 1;
  CurrentCol = pos + 1;
  setSequence(CurrentCol);
}

void ExploreRootClass::HideColumn() {
  if (SQ.size() <= 1) return;
  XPGQ* c = columnAt(CurrentCol);
  if (!c) return;
  if (XPGQ* f = fieldEntry(c->QNos)) {
    int q = f->QNos;
    *f = *c;
    f->QNos = q;
    f->Display = false;
    f->Icon = 0;
    f->Col = 0;
  }
  SQ.erase(SQ.begin() + (CurrentCol - 1));
  if (CurrentCol > static_cast<int>(SQ.size())) CurrentCol = static_cast<int>(SQ.size());
  ReformatListBox();
  GetColumnInfo(false, true);
}

void ExploreRootClass::ResetToDefault() {
  ui::ListControl& l = list();
  (void)l.setFormat(Def.OrigFormatString);
  if (Def.Height != 0) {
    l.setProp(ui::Prop::Xpos, std::to_string(Def.XPos));
    l.setProp(ui::Prop::Ypos, std::to_string(Def.YPos));
    l.setProp(ui::Prop::Width, std::to_string(Def.Width));
    l.setProp(ui::Prop::Height, std::to_string(Def.Height));
  }
  l.setProp(ui::Prop::LineHeight, std::to_string(Def.LineHeight));
  if (!Def.Font.empty()) l.setProp(ui::Prop::FontName, Def.Font);
  if (Def.Point) l.setProp(ui::Prop::FontSize, std::to_string(Def.Point));
  Pars = Def;
  SQ.clear();
  for (XPGQ& f : FQ) {
    f.Icon = f.ControlField ? 1 : 0;
    f.Display = f.ControlField;
    if (!f.ControlField) continue;
    XPGQ s = f;
    s.Seq = s.Col = static_cast<int>(SQ.size()) + 1;
    SQ.push_back(std::move(s));
  }
  if (vars.restoreHeader) *vars.restoreHeader = 1;
  EraseVisual();
  setSequence(0);
  QNos = 0;
  if (vars.viewOrder) *vars.viewOrder = 0;
  if (vars.fileSeqOn) *vars.fileSeqOn = 0;
  WM->Reset(true);
  GetColumnInfo(false, true);
}

void ExploreRootClass::PrepareVars() {
  ui::ListControl& l = list();
  Pars.OrigFormatString = l.formatString();
  Pars.XPos = std::atoi(l.prop(ui::Prop::Xpos).c_str());
  Pars.YPos = std::atoi(l.prop(ui::Prop::Ypos).c_str());
  Pars.Width = std::atoi(l.prop(ui::Prop::Width).c_str());
  Pars.Height = std::atoi(l.prop(ui::Prop::Height).c_str());
  Pars.LineHeight = std::atoi(l.prop(ui::Prop::LineHeight).c_str());
  Pars.HScroll = l.prop(ui::Prop::HScroll) == "1";
  Pars.VScroll = l.prop(ui::Prop::VScroll) == "1";
  Pars.Font = l.prop(ui::Prop::FontName);
  Pars.Point = std::atoi(l.prop(ui::Prop::FontSize).c_str());
  Pars.Column = l.columnCursor();
  for (XPGQ& f : FQ) {
    f.Icon = 0;
    for (const XPGQ& s : SQ)
      if (s.QNos == f.QNos) f.Icon = 1;
  }
}

void ExploreRootClass::ReorganizePairs() {
  if (currentSlot < ForQ.size()) ForQ[currentSlot].Format = list().formatString();
  EquateColToQField();
  // The browse's pairs follow the fields, not the columns; nothing to re-pair here.
}

// ---------------------------------------------------------------------------------------------
// Sorting and the sort mark

void ExploreRootClass::ShowNewSort() {
  XPGQ* c = columnAt(CurrentCol);
  if (!c || c->SortField == 0) return;
  EraseVisual();
  if (vars.restoreHeader) *vars.restoreHeader = 1;
  c = columnAt(CurrentCol);
  if (CurrentCol == sequence()) {
    c->AscDesc ^= 1;
  } else {
    c->AscDesc = AscDesc;
    AscDesc = 0;
    setSequence(CurrentCol);
  }
  HdrToken = c->AscDesc ? DescToken : AscToken;
  SetNewOrderFields();
  QNos = c->QNos;
  if (ListType == 1) {
    if (vars.viewOrder) *vars.viewOrder = 1;
  } else {
    if (vars.viewOrder) *vars.viewOrder = 0;
    int n = 0;
    SetupOrder(n);
  }
  list().display();
}

void ExploreRootClass::SetupOrder(int& orderNumber) {
  orderNumber = 0;
  XPGQ* c = columnAt(sequence());
  if (!c || c->SortField == 0) return;
  orderNumber = c->SortField + (c->AscDesc ? 1 : 0);
  sortInMemory();
  SetVisual();
}

void ExploreRootClass::sortInMemory() {
  XPGQ* c = columnAt(sequence());
  if (!c || c->SortField == 0) return;
  int n = c->SortField + (c->AscDesc ? 1 : 0);
  if (n < 1 || n > static_cast<int>(LSQ.size())) return;
  if (ui::ListQueue* q = dataQueue()) (void)q->sort(LSQ[static_cast<size_t>(n - 1)].SortString);  // an unknown name leaves the order
  list().display();
}

void ExploreRootClass::SetVisual() {
  XPGQ* c = columnAt(sequence());
  if (!c) return;
  std::string header = clip(c->Header);
  if (Visual == "Text Bar") {
    std::string word = c->AscDesc ? "(Descending)" : "(Ascending)";
    std::string tmpl = vars.titleText ? *vars.titleText : std::string();
    std::string title;
    size_t q = tmpl.find('"');
    if (clip(tmpl).empty())
      title = header + " " + word;
    else if (q == std::string::npos)
      title = clip(tmpl) + " " + header + " " + word;
    else
      title = tmpl.substr(0, q) + header + " " + word + tmpl.substr(std::min(tmpl.size(), q + 2));
    WM->window().setTitle(clip(title));
  } else if (Visual == "Underline") {
    c->ULine = true;
    (void)list().setPropList(ui::PROPLIST::Underline, sequence(), "1");
  } else if (Visual == ">Header") {
    if (vars.restoreHeader && *vars.restoreHeader) {
      *vars.restoreHeader = 0;
      c->Header = HdrToken + header;
      (void)list().setPropList(ui::PROPLIST::Header, sequence(), c->Header);
    }
  }
}

void ExploreRootClass::EraseVisual() {
  if (Visual == "Text Bar") {
    std::string tmpl = vars.titleText ? *vars.titleText : std::string();
    size_t q = tmpl.find('"');
    std::string title;
    if (clip(tmpl).empty())
      title = "Key Sequence";
    else if (q == std::string::npos)
      title = clip(tmpl);
    else
      title = tmpl.substr(0, q) + "key sequence" + tmpl.substr(std::min(tmpl.size(), q + 2));
    WM->window().setTitle(clip(title));
    return;
  }
  XPGQ* c = columnAt(sequence());
  if (!c) return;
  if (Visual == "Underline") {
    c->ULine = false;
    (void)list().setPropList(ui::PROPLIST::Underline, sequence(), "0");
  } else if (Visual == ">Header") {
    std::string h = list().propList(ui::PROPLIST::Header, sequence());
    if (!HdrToken.empty() && h.rfind(HdrToken, 0) == 0) h.erase(0, HdrToken.size());
    c->Header = h;
    (void)list().setPropList(ui::PROPLIST::Header, sequence(), h);
    if (vars.restoreHeader) *vars.restoreHeader = 0;
  }
}

// ---------------------------------------------------------------------------------------------
// Saved layout

namespace {
const char* const kPrefix[] = {"ExploreXpos-",      "ExploreYpos-",       "ExploreHeight-", "ExploreWidth-",
                               "ExploreHscroll-",   "ExploreVscroll-",    "ExploreLineHeight-",
                               "ExploreFont-",      "ExplorePoint-",      "ExploreColor-",  "ExploreStyle-"};
}

void ExploreRootClass::GetBBSize(std::string_view section, std::string_view suffix) {
  ui::ListControl& l = list();
  std::string sfx(suffix);
  bool allow = Def.AllowBBResize;
  Def = ListLayout();
  Def.AllowBBResize = allow;
  Def.OrigFormatString = l.formatString();
  Def.LineHeight = std::atoi(l.prop(ui::Prop::LineHeight).c_str());
  Def.Font = l.prop(ui::Prop::FontName);
  Def.Point = std::atoi(l.prop(ui::Prop::FontSize).c_str());
  Def.Color = static_cast<int32_t>(std::atoll(l.prop(ui::Prop::FontColor).c_str()));
  Def.Style = std::atoi(l.prop(ui::Prop::FontStyle).c_str());
  Def.HScroll = l.prop(ui::Prop::HScroll) == "1";
  Def.VScroll = l.prop(ui::Prop::VScroll) == "1";
  Def.XPos = std::atoi(l.prop(ui::Prop::Xpos).c_str());
  Def.YPos = std::atoi(l.prop(ui::Prop::Ypos).c_str());
  Def.Width = std::atoi(l.prop(ui::Prop::Width).c_str());
  Def.Height = std::atoi(l.prop(ui::Prop::Height).c_str());
  Pars = Def;
  if (ForQ.empty()) CreateFormatQ(LB);
  auto get = [&](std::string_view prefix, std::string_view def) {
    return rt::GETINI(section, std::string(prefix) + sfx, def, IniFileName);
  };
  std::string stored = get("ExploreOrigFormatString-", "");
  if (!clip(stored).empty() && stored != Def.OrigFormatString) {
    for (FormatSlot& s : ForQ) s.Format = Def.OrigFormatString;
    setSequence(1);
  } else {
    for (size_t i = 0; i < ForQ.size(); ++i) {
      ForQ[i].Format = rt::GETINI(section, "ExploreFormatString-" + sfx + std::to_string(i + 1), Def.OrigFormatString,
                                  IniFileName);
      if (clip(ForQ[i].Format).empty()) ForQ[i].Format = Def.OrigFormatString;
    }
    currentSlot = 0;
    const std::string& first = ForQ[0].Format;
    std::vector<XPGQ> cols;
    if (!clip(first).empty() && columnsFromFormat(first, FQ, cols) && !cols.empty() && l.setFormat(first)) {
      EquateColToQField();
    } else {
      ForQ[0].Format = Def.OrigFormatString;  // a stored format we cannot read is not applied
    }
    l.setProp(ui::Prop::HScroll, get("ExploreHscroll-", Def.HScroll ? "1" : "0"));
    l.setProp(ui::Prop::VScroll, get("ExploreVscroll-", Def.VScroll ? "1" : "0"));
    l.setProp(ui::Prop::LineHeight, get("ExploreLineHeight-", std::to_string(Def.LineHeight)));
    std::string font = get("ExploreFont-", Def.Font);
    if (!font.empty()) l.setProp(ui::Prop::FontName, font);
    std::string point = get("ExplorePoint-", std::to_string(Def.Point));
    if (std::atoi(point.c_str()) > 0) l.setProp(ui::Prop::FontSize, point);
    std::string color = get("ExploreColor-", std::to_string(Def.Color));
    if (std::atoll(color.c_str()) >= 0) l.setProp(ui::Prop::FontColor, color);
    std::string style = get("ExploreStyle-", std::to_string(Def.Style));
    if (std::atoi(style.c_str()) > 0) l.setProp(ui::Prop::FontStyle, style);
    if (Def.AllowBBResize) {
      l.setProp(ui::Prop::Xpos, get("ExploreXpos-", std::to_string(Def.XPos)));
      l.setProp(ui::Prop::Ypos, get("ExploreYpos-", std::to_string(Def.YPos)));
      l.setProp(ui::Prop::Height, get("ExploreHeight-", std::to_string(Def.Height)));
      l.setProp(ui::Prop::Width, get("ExploreWidth-", std::to_string(Def.Width)));
    }
    int prev = std::atoi(get("ExplorePrevCol-", "1").c_str());
    setSequence(prev >= 0 && prev <= static_cast<int>(SQ.size()) ? prev : 0);
    AscDesc = std::atoi(get("ExploreAscDesc-", "0").c_str()) ? 1 : 0;
  }
  SetupButton();
}

void ExploreRootClass::PutIniX(std::string_view section, std::string_view suffix, int previousColumn, int direction) {
  if (ListType == 3) EraseVisual();
  ui::ListControl& l = list();
  std::string sfx(suffix);
  if (ForQ.empty()) CreateFormatQ(LB);
  if (currentSlot >= ForQ.size()) currentSlot = 0;
  ForQ[currentSlot].Format = l.formatString();
  std::vector<std::pair<std::string, std::string>> v;
  for (size_t i = 0; i < ForQ.size(); ++i)
    v.emplace_back("ExploreFormatString-" + sfx + std::to_string(i + 1), ForQ[i].Format);
  v.emplace_back("ExploreOrigFormatString-" + sfx, Def.OrigFormatString);
  const std::string values[] = {l.prop(ui::Prop::Xpos),       l.prop(ui::Prop::Ypos),
                                l.prop(ui::Prop::Height),     l.prop(ui::Prop::Width),
                                l.prop(ui::Prop::HScroll) == "1" ? "1" : "0",
                                l.prop(ui::Prop::VScroll) == "1" ? "1" : "0",
                                l.prop(ui::Prop::LineHeight), l.prop(ui::Prop::FontName),
                                l.prop(ui::Prop::FontSize),   l.prop(ui::Prop::FontColor),
                                l.prop(ui::Prop::FontStyle)};
  for (size_t i = 0; i < std::size(kPrefix); ++i) v.emplace_back(kPrefix[i] + sfx, values[i]);
  v.emplace_back("ExplorePrevCol-" + sfx, std::to_string(previousColumn));
  v.emplace_back("ExploreAscDesc-" + sfx, std::to_string(direction));
  (void)rt::putIniValues(section, v, IniFileName);  // a layout that cannot be saved is only lost
}

// ---------------------------------------------------------------------------------------------
// Header mouse: what the window does with the posted events

void ExploreRootClass::SetSubclassFunc() {
  ui::Control* c = WM->window().control(LB);
  if (!c || c->handle() == 0) return;  // the window is not open: nothing to watch yet
  ui::ProcNumber mine = ui::windowProcNumber(&ExploreListProc);
  if (c->wndProc() == mine) return;
  savedProcs()[c->handle()] = c->wndProc();
  explorers()[c->handle()] = this;
  c->setProp(ui::Prop::WndProc, std::to_string(mine));
  HeaderMouse& hm = headerMouse();
  hm.showDragBox = [](bool) {};
}

void ExploreRootClass::SetupButton() {
  headerButton = HeaderButtonState();
  headerButton.created = true;
  ui::Window& w = WM->window();
  if (!w.isOpen() || m_buttonFeq) return;
  // A button laid over the pressed header cell, and a grey box with the header's text that
  // follows a drag; both hidden until a press.
  m_buttonFeq = w.button("?ExploreHeaderButton:" + std::to_string(LB), "").feq();
  m_boxFeq = w.string("?ExploreHeaderBox:" + std::to_string(LB), "").feq();
  w.setProp(m_buttonFeq, ui::Prop::Hide, 1);
  w.setProp(m_boxFeq, ui::Prop::Hide, 1);
  w.setProp(m_boxFeq, ui::Prop::Color, 8421504);
}

void ExploreRootClass::showHeaderControls() {
  ui::Window& w = WM->window();
  if (!m_buttonFeq || !w.isOpen()) return;
  ui::Rect r = list().rect();
  auto place = [&](int feq, int xPx) {
    w.setProp(feq, ui::Prop::Xpos, r.x + w.pxToDluX(xPx));
    w.setProp(feq, ui::Prop::Ypos, r.y + w.pxToDluY(headerButton.y));
    w.setProp(feq, ui::Prop::Width, std::max(1, w.pxToDluX(headerButton.width)));
    w.setProp(feq, ui::Prop::Height, std::max(1, w.pxToDluY(headerButton.height)));
  };
  place(m_buttonFeq, headerButton.x);
  w.setProp(m_buttonFeq, ui::Prop::Text, headerButton.boxText);
  w.setProp(m_buttonFeq, ui::Prop::Hide, headerButton.buttonShown ? 0 : 1);
  place(m_boxFeq, headerButton.boxX);
  w.setProp(m_boxFeq, ui::Prop::Text, headerButton.boxText);
  w.setProp(m_boxFeq, ui::Prop::Hide, headerButton.boxShown ? 0 : 1);
}

void ExploreRootClass::ShowButtonDown(int column) {
  XPGQ* c = columnAt(column);
  if (!c) return;
  ui::ListControl& l = list();
  int left = 0, width = 0;
  if (!l.columnSpanPx(column, left, width)) return;
  int hh = l.headerHeightPx();
  headerButton.x = left + 1;
  headerButton.y = 1;
  headerButton.width = std::max(0, width - 2);
  headerButton.height = std::max(0, hh - 2);
  headerButton.boxText = clip(c->Header);
  headerButton.boxShown = false;
  HeaderMouse& hm = headerMouse();
  if (hm.headerHeight == 0 || hm.cellLeft != left || hm.cellWidth != width) {
    // Not measured at the press (a press fed in by other means): measure it here.
    hm.cellLeft = left;
    hm.cellWidth = width;
    hm.headerHeight = hh;
    hm.buttonShown = c->SortField != 0;
  }
  // The moves since the press may have taken the pointer off the button already.
  headerButton.buttonShown = hm.buttonShown;
  headerButton.boxX = headerButton.x;
  m_pressedColumn = column;
  showHeaderControls();
}

void ExploreRootClass::armHeaderPress(int x, int y) {
  ui::ListControl& l = list();
  ui::ListHit hit = l.hitTest(x, y);
  HeaderMouse& hm = headerMouse();
  hm.buttonShown = hm.dragBoxShown = false;
  if (!hit.header || hit.field < 1 || hit.zone == ui::ListZone::RightBorder) return;
  int left = 0, width = 0;
  if (!l.columnSpanPx(hit.field, left, width)) return;
  hm.cellLeft = left;
  hm.cellWidth = width;
  hm.headerHeight = l.headerHeightPx();
  XPGQ* c = columnAt(hit.field);
  hm.buttonShown = c && c->SortField != 0;
}

void ExploreRootClass::LeftButtonDown() {
  ui::ListControl& l = list();
  int row = std::atoi(l.propList(ui::PROPLIST::MouseDownRow, 0).c_str());
  int field = std::atoi(l.propList(ui::PROPLIST::MouseDownField, 0).c_str());
  int zone = std::atoi(l.propList(ui::PROPLIST::MouseDownZone, 0).c_str());
  m_pressedColumn = 0;
  if (row == 0 && field > 0 && zone != ui::ListZone::RightBorder) {
    CurrentCol = field;
    ShowButtonDown(field);
  }
}

void ExploreRootClass::MouseOffButton() {
  if (headerButton.buttonShown) {
    headerButton.buttonShown = false;
    headerMouse().buttonShown = false;
    showHeaderControls();
  }
}

void ExploreRootClass::MouseMoved() {
  HeaderMouse& hm = headerMouse();
  if (m_pressedColumn == 0) return;
  XPGQ* c = columnAt(m_pressedColumn);
  headerButton.boxShown = true;
  hm.dragBoxShown = true;
  headerButton.boxText = c ? clip(c->Header) : std::string();
  headerButton.boxX = hm.cellLeft + 1 + hm.lastX - hm.pressX;  // list pixels
  MouseOffButton();
  showHeaderControls();
}

void ExploreRootClass::LeftButtonUp(int warn) {
  ui::ListControl& l = list();
  HeaderMouse& hm = headerMouse();
  int downRow = std::atoi(l.propList(ui::PROPLIST::MouseDownRow, 0).c_str());
  int downZone = std::atoi(l.propList(ui::PROPLIST::MouseDownZone, 0).c_str());
  int upField = std::atoi(l.propList(ui::PROPLIST::MouseUpField, 0).c_str());
  int upZone = std::atoi(l.propList(ui::PROPLIST::MouseUpZone, 0).c_str());
  bool pressedHeader = m_pressedColumn != 0;
  if (!headerButton.boxShown && !hm.dragBoxShown) {
    if (!pressedHeader || downZone == ui::ListZone::RightBorder || upZone == ui::ListZone::Nowhere || downRow > 0) {
      GetColumnInfo(false, false);
    } else if (headerButton.buttonShown) {
      CurrentCol = upField > 0 ? upField : m_pressedColumn;
      XPGQ* c = columnAt(CurrentCol);
      if (c && c->SortField != 0) {
        ShowNewSort();
        ui::POST(ExploreEvent::NewSort);
      } else if (c && warn == 1) {
        ui::MESSAGE("Data cannot be ordered on column: " + clip(c->Header) + "(" + clip(c->Field) + ")",
                    "Re-Order Option", ui::Icon::Exclamation);
      }
    }
  } else {
    headerButton.boxShown = false;
    if (hm.lastX < hm.cellLeft)
      ui::POST(ExploreEvent::MoveLeft);
    else if (hm.lastX > hm.cellLeft + hm.cellWidth)
      ui::POST(ExploreEvent::MoveRight);
  }
  headerButton.buttonShown = false;
  headerButton.boxShown = false;
  hm.buttonShown = false;
  hm.dragBoxShown = false;
  m_pressedColumn = 0;
  showHeaderControls();
}

uint8_t ExploreRootClass::LeftButton2() {
  ui::ListControl& l = list();
  int row = std::atoi(l.propList(ui::PROPLIST::MouseDownRow, 0).c_str());
  int field = std::atoi(l.propList(ui::PROPLIST::MouseDownField, 0).c_str());
  int zone = std::atoi(l.propList(ui::PROPLIST::MouseDownZone, 0).c_str());
  if (row != 0 || field < 1 || zone != ui::ListZone::RightBorder) return 0;
  GetColumnInfo(false, true);
  XPGQ* c = columnAt(field);
  if (!c) return 0;
  int w = GetWidestString(c->QNos, c->Picture, c->Header);
  FineTuneWidth(field, w);
  c->MaxWidth = w;
  c->WidthDLU = std::max(1, WM->window().pxToDluX(w));
  ReformatListBox();
  GetColumnInfo(false, true);
  return 1;
}

void ExploreRootClass::RightButtonDown() {
  ui::ListControl& l = list();
  if (l.hscrollPos() != m_lastHPos) GetColumnInfo(false, true);
  int row = std::atoi(l.propList(ui::PROPLIST::MouseDownRow, 0).c_str());
  int field = std::atoi(l.propList(ui::PROPLIST::MouseDownField, 0).c_str());
  int zone = std::atoi(l.propList(ui::PROPLIST::MouseDownZone, 0).c_str());
  if (zone == ui::ListZone::RightBorder) return;
  if (row == 0 && field > 0) return;  // a header cell: the sort popup on release
  if (field > 0) {
    CurrentCol = field;
    PreparePopup();
  }
}

void ExploreRootClass::RightButtonUp() {
  ui::ListControl& l = list();
  int row = std::atoi(l.propList(ui::PROPLIST::MouseUpRow, 0).c_str());
  int field = std::atoi(l.propList(ui::PROPLIST::MouseUpField, 0).c_str());
  int downRow = std::atoi(l.propList(ui::PROPLIST::MouseDownRow, 0).c_str());
  if (row == 0 && downRow == 0 && field > 0) {
    int choice = ui::POPUP("Cancel this menu|Sort by default key|Do not sort");
    IgnoreEvent = true;
    if (choice == 2 || choice == 3) {
      EraseVisual();
      setSequence(0);
      QNos = 0;
      if (vars.viewOrder) *vars.viewOrder = 0;
      if (vars.fileSeqOn) *vars.fileSeqOn = choice == 3 ? 1 : 0;
      WM->Reset(true);
    }
  } else if (ListType != 1 && RPU) {
    (void)RPU->Ask();
  }
}

// ---------------------------------------------------------------------------------------------
// Popup

void ExploreRootClass::AddItemsToPopup() {
  if (!RPU) return;
  ui::PopupClass& p = *RPU;
  const int64_t m = mask();
  std::string after;
  // Adds an item after the one added before it; a leading "+" makes it carry a tick.
  auto add = [&](std::string_view name, std::string_view text, int event, int level) {
    bool tick = !text.empty() && text[0] == '+';
    std::string t(tick ? text.substr(1) : text);
    p.AddItem(t, name, after, level);
    if (tick) p.SetItemCheck(name, false);
    if (event) p.AddItemEvent(name, event);
    after = std::string(name);
  };
  auto sep = [&](std::string_view name, int level, bool when) {
    if (when) add(name, "-", 0, level);
  };
  std::vector<std::string> existing = p.ItemNames();
  if (!existing.empty()) after = existing.back();
  bool hasRequests = BC && (BC->SelectControl || BC->DeleteControl || BC->ChangeControl || BC->InsertControl);
  sep("S11", 1, ListType == 1 && hasRequests);

  add("Output", "&Output", 0, 1);
  add("PVW", "Print All", ExploreEvent::PrintAll, 2);
  add("PPG", "Print Page", ExploreEvent::PrintPage, 2);
  add("ASC", "Export to ASCII (" + clip(AsciiFileName) + ")", ExploreEvent::ExportAscii, 2);
  add("HTM", "Export to HTML (" + clip(HtmlFileName) + ")", ExploreEvent::ExportHtml, 2);
  add("GBR", "Graph on", ExploreEvent::Graph, 2);

  add("List", "&List", 0, 1);
  add("DEF", "Reset to Default", ExploreEvent::Reset, 2);
  add("ADJ", "Best-fit Column Widths", ExploreEvent::BestFit, 2);
  if (m & ExploreMask::ListProperties) add("PRP", "List Properties", ExploreEvent::ListProperties, 2);
  add("SRT", "Sort on", ExploreEvent::SortOn, 2);

  if (ListType == 1) {
    add("Filter", "&Filter", 0, 1);
    add("ADDF1", "Add Filter of", ExploreEvent::FilterEqual, 2);
    add("ADDF4", "Add Filter of", ExploreEvent::FilterNotEqual, 2);
    sep("S31", 2, true);
    add("ADDF2", "Add Filter of", ExploreEvent::FilterLess, 2);
    add("ADDF3", "Add Filter of", ExploreEvent::FilterGreater, 2);
    add("EQL", "+Add = to Filter", ExploreEvent::AddEqualToFilter, 2);
    sep("S32", 2, true);
    add("USERF", "User Filter", ExploreEvent::UserFilter, 2);
    sep("S33", 2, true);
    add("VOID", "Cancel Filter", ExploreEvent::CancelFilter, 2);
  }

  if (m & 0xEDEFEFFF) {
    add("Explore", "&Explore", 0, 1);
    if (m & ExploreMask::Moving) {
      add("MCL", "Move Left", ExploreEvent::MoveLeft, 2);
      add("MCR", "Move Right", ExploreEvent::MoveRight, 2);
      sep("S21", 2, true);
    }
    if (m & ExploreMask::HeaderOffset) add("HOS", "Header offset", ExploreEvent::HeaderOffset, 2);
    if (m & ExploreMask::DataOffset) add("DOS", "Data offset", ExploreEvent::DataOffset, 2);
    if (m & ExploreMask::Width) add("WID", "Width", ExploreEvent::Width, 2);
    if (m & ExploreMask::HeaderText) add("HDR", "Header Text", ExploreEvent::HeaderText, 2);
    sep("S22", 2, m & 0xE10);
    if (m & ExploreMask::DataJustLeft) add("FJL", "+Data Just left", ExploreEvent::DataJustLeft, 2);
    if (m & ExploreMask::DataJustCenter) add("FJC", "+Data Just Center", ExploreEvent::DataJustCenter, 2);
    if (m & ExploreMask::DataJustRight) add("FJR", "+Data Just Right", ExploreEvent::DataJustRight, 2);
    if (m & ExploreMask::DataJustDecimal) add("FJD", "+Data Just Decimal", ExploreEvent::DataJustDecimal, 2);
    sep("S23", 2, m & 0xF);
    if (m & ExploreMask::HdrJustLeft) add("HJL", "+Hdr Just left", ExploreEvent::HdrJustLeft, 2);
    if (m & ExploreMask::HdrJustCenter) add("HJC", "+Hdr Just Center", ExploreEvent::HdrJustCenter, 2);
    if (m & ExploreMask::HdrJustRight) add("HJR", "+Hdr Just Right", ExploreEvent::HdrJustRight, 2);
    if (m & ExploreMask::HdrJustDecimal) add("HJD", "+Hdr Just Decimal", ExploreEvent::HdrJustDecimal, 2);
    sep("S24", 2, m & 0x1E0);
    if (m & ExploreMask::Resize) add("RSZ", "+Resize", ExploreEvent::Resize, 2);
    if (m & ExploreMask::Border) add("BDR", "+Border", ExploreEvent::Border, 2);
    if (m & ExploreMask::Underline) add("ULI", "+Underline", ExploreEvent::Underline, 2);
    if (m & ExploreMask::Fixed) add("FXD", "+Fixed", ExploreEvent::Fixed, 2);
    sep("S25", 2, m & 0xF0000);
    if (m & ExploreMask::Colors) add("CLR", "Colors", ExploreEvent::Colors, 2);
    if (m & 0x1FE00000) {
      sep("S26", 2, true);
      add("ListBox", "&ListBox", 0, 2);
      if (m & ExploreMask::ListX) add("XPS", "X Pos", ExploreEvent::ListX, 3);
      if (m & ExploreMask::ListY) add("YPS", "Y Pos", ExploreEvent::ListY, 3);
      if (m & ExploreMask::ListWidth) add("BWI", "Width", ExploreEvent::ListWidth, 3);
      if (m & ExploreMask::ListHeight) add("BHI", "Height", ExploreEvent::ListHeight, 3);
      sep("S34", 3, m & 0x1E00000);
      if (m & ExploreMask::LineHeight) add("LHI", "Line Height", ExploreEvent::LineHeight, 3);
      if (m & ExploreMask::HScroll) add("HSC", "+H Scroll", ExploreEvent::HScroll, 3);
      if (m & ExploreMask::VScroll) add("VSC", "+V Scroll", ExploreEvent::VScroll, 3);
      sep("S35", 3, m & 0x1C000000);
      if (m & ExploreMask::Font) add("FNT", "Font", ExploreEvent::Font, 3);
    }
  }
}

void ExploreRootClass::PreparePopup() {
  if (!RPU) return;
  ui::PopupClass& p = *RPU;
  XPGQ* c = columnAt(CurrentCol);
  if (!c) return;
  auto check = [&](std::string_view name, bool on) {
    if (p.HasItem(name)) p.SetItemCheck(name, on);
  };
  auto enable = [&](std::string_view name, bool on) {
    if (p.HasItem(name)) p.SetItemEnable(name, on);
  };
  auto text = [&](std::string_view name, std::string_view t) {
    if (p.HasItem(name)) p.SetText(name, t);
  };
  ui::ListControl& l = list();
  check("FXD", c->Fixed);
  check("ULI", c->ULine);
  check("BDR", c->Border);
  check("RSZ", c->Resize);
  check("HSC", l.prop(ui::Prop::HScroll) == "1");
  check("VSC", l.prop(ui::Prop::VScroll) == "1");
  check("HJL", c->HJust == 'L');
  check("HJC", c->HJust == 'C');
  check("HJR", c->HJust == 'R');
  check("HJD", c->HJust == 'D');
  check("FJL", c->FJust == 'L');
  check("FJC", c->FJust == 'C');
  check("FJR", c->FJust == 'R');
  check("FJD", c->FJust == 'D');
  std::string desc = clip(c->Description);
  std::string value = currentValue(c->QNos, c->Picture);
  std::string eq = FilterEqual ? "=" : "";
  text("ADDF1", "Add Filter of (" + desc + "=" + value + ")");
  text("ADDF4", "Add Filter of (" + desc + "~=" + value + ")");
  text("ADDF2", "Add Filter of (" + desc + "<" + eq + value + ")");
  text("ADDF3", "Add Filter of (" + desc + ">" + eq + value + ")");
  check("EQL", FilterEqual);
  for (const char* n : {"ADDF1", "ADDF2", "ADDF3", "ADDF4"}) enable(n, c->ViewField);
  text("SRT", "Sort on " + desc);
  enable("SRT", c->SortField != 0);
  text("GBR", "Graph on " + desc);
  enable("GBR", Graph && c->GraphOK);
  enable("PVW", PrintView);
  enable("ASC", PrintView);
  enable("HTM", PrintView);
  enable("PPG", PrintPage);
}

}  // namespace ov::winclasses
