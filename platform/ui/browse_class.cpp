#include "platform/ui/browse_class.h"

#include <QWidget>

#include <algorithm>
#include <cassert>
#include <climits>

#include "platform/files/outer_scan.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"

namespace ov::ui {

using rt::Err;

namespace {

bool isText(rt::FieldType t) {
  return t == rt::FieldType::String || t == rt::FieldType::CString || t == rt::FieldType::Memo ||
         t == rt::FieldType::Blob;
}

std::string trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string_view::npos ? std::string() : std::string(s.substr(b, e - b + 1));
}

}  // namespace

BrowseClass::BrowseClass() = default;
BrowseClass::~BrowseClass() = default;

void BrowseClass::Init(int listControl, db::ViewManager& view, WindowManager& manager, db::RelationManager* relation) {
  m_manager = &manager;
  m_view = &view;
  m_relation = relation;
  m_listFeq = listControl;
  m_list = manager.window().as<ListControl>(listControl);
  assert(m_list && m_list->queue() && "the browse's list must be declared and bound to its queue first");
  m_list->setProp(Prop::Immediate, "1");
  m_view->SetPaged(true);  // a page at a time: opening reads no more of the file than the page
  m_list->setPopup(&Popup);
  Popup.Init();
}

void BrowseClass::Kill() {
  if (m_editing) cancelEdit();
  if (m_list) m_list->setPopup(nullptr);
  Popup.Kill();
}

// ---- orders ------------------------------------------------------------------------------------

BrowseClass::Order* BrowseClass::current() {
  if (m_orders.empty()) {
    m_orders.emplace_back();
    m_current = 1;
  }
  return &m_orders[static_cast<size_t>(m_current - 1)];
}

const BrowseClass::Order* BrowseClass::order(int n) const {
  if (n == 0) n = m_current;
  return n >= 1 && n <= static_cast<int>(m_orders.size()) ? &m_orders[static_cast<size_t>(n - 1)] : nullptr;
}

int BrowseClass::AddSortOrder(StepClass* step, db::Key key) {
  Order o;
  o.key = key;
  o.step = step;
  m_orders.push_back(std::move(o));
  m_current = static_cast<int>(m_orders.size());
  m_needOpen = true;
  return m_current;
}

void BrowseClass::SetOrder(std::string_view elements) {
  current()->elements = trim(elements);
  m_needOpen = true;
}

void BrowseClass::AppendOrder(std::string_view elements) {
  std::string e = trim(elements);
  if (e.empty()) return;
  Order* o = current();
  o->elements = o->elements.empty() ? e : o->elements + "," + e;
  m_needOpen = true;
}

void BrowseClass::AddLocator(LocatorClass& locator) {
  current()->locators.push_back(&locator);
  if (m_list && locator.kind() != LocatorClass::Kind::Entry) m_list->setTypeAhead(true);
}

void BrowseClass::AddRange(std::string_view field, Binding value) { AddRange(field, value, value); }

void BrowseClass::AddRange(std::string_view field, Binding low, Binding high) {
  current()->ranges.push_back(Range{std::string(field), low, high});
  m_needOpen = true;
}

void BrowseClass::AddResetField(Binding field) { m_resetFields.push_back(ResetField{field, field.text()}); }

void BrowseClass::SetFilter(std::string_view expression, std::string_view name) {
  Order* o = current();
  std::string n(name), e = trim(expression);
  auto it = std::find_if(o->filters.begin(), o->filters.end(), [&](const auto& f) { return f.first == n; });
  if (e.empty()) {
    if (it != o->filters.end()) o->filters.erase(it);
  } else if (it != o->filters.end()) {
    it->second = e;
  } else {
    o->filters.emplace_back(n, e);
  }
  m_needOpen = true;
}

std::string BrowseClass::GetFilter(int n) const {
  const Order* o = order(n);
  if (!o || o->filters.empty()) return {};
  if (o->filters.size() == 1) return o->filters.front().second;
  std::string out;
  for (const auto& [name, expr] : o->filters) out += (out.empty() ? "(" : " AND (") + expr + ")";
  return out;
}

std::string BrowseClass::orderText(const Order& o) const {
  std::string out;
  if (o.key.isValid()) {
    const db::KeyDecl& k = o.key.decl();
    const rt::RecordDesc& rec = m_view->Primary.file().record();
    for (const db::KeyPart& p : k.parts) {
      const rt::FieldDesc* f = rec.find(p.field);
      std::string e = f && isText(f->type) && !k.caseSensitive ? std::string("UPPER(") + p.field + ")" : p.field;
      out += (out.empty() ? "" : ",") + std::string(p.descending ? "-" : "") + e;
    }
  }
  if (!o.elements.empty()) out += (out.empty() ? "" : ",") + o.elements;
  return out;
}

std::string BrowseClass::GetOrder(int n) const {
  const Order* o = order(n);
  return o && m_view ? orderText(*o) : std::string();
}

bool BrowseClass::leadingField(const Order& o, const rt::FieldDesc*& field, bool& descending) const {
  const rt::RecordDesc& rec = m_view->Primary.file().record();
  field = nullptr;
  descending = false;
  if (o.key.isValid()) {
    const db::KeyDecl& k = o.key.decl();
    if (k.parts.empty()) return false;
    field = rec.find(k.parts.front().field);
    descending = k.parts.front().descending;
    return field != nullptr;
  }
  std::string e = trim(db::splitOuter(o.elements).front());  // the first element
  if (!e.empty() && (e.front() == '-' || e.front() == '+')) {
    descending = e.front() == '-';
    e = trim(e.substr(1));
  }
  if (e.size() > 7 && rt::UPPER(e.substr(0, 6)) == "UPPER(" && e.back() == ')') e = trim(e.substr(6, e.size() - 7));
  field = rec.find(e);
  return field != nullptr;
}

bool BrowseClass::SetSort(int n) {
  if (n < 1 || n > static_cast<int>(m_orders.size())) return false;
  bool changed = n != m_current;
  m_current = n;
  if (changed) m_needOpen = true;
  return changed;
}

void BrowseClass::ResetSort(bool force) { Reset(force); }

// ---- fields ------------------------------------------------------------------------------------

void BrowseClass::AddField(std::string_view fileField, std::string_view queueField) {
  assert(m_list && "Init comes first");
  Pair p;
  p.file = m_view->Primary.file().record().find(fileField);
  p.queue = m_list->queue()->record().find(queueField);
  assert(p.file && p.queue && "unknown field in AddField");
  if (p.file && p.queue) m_pairs.push_back(p);
}

bool BrowseClass::HasFileField(std::string_view fileField) const {
  return m_view && m_view->Primary.file().record().find(fileField) != nullptr;
}

void BrowseClass::AddField(Binding source, std::string_view queueField) {
  assert(m_list && "Init comes first");
  Pair p;
  p.source = source;
  p.queue = m_list->queue()->record().find(queueField);
  assert(p.queue && "unknown queue field in AddField");
  if (p.queue) m_pairs.push_back(p);
}

void BrowseClass::SetQueueRecord() {
  void* q = m_list->queue()->buffer();
  const void* rec = m_view->Primary.file().buffer();
  for (const Pair& p : m_pairs) {
    bool numeric = !isText(p.queue->type);
    if (p.file) {
      if (numeric && !isText(p.file->type))
        rt::setFieldNumber(q, *p.queue, rt::fieldNumber(rec, *p.file));
      else
        rt::setFieldText(q, *p.queue, rt::fieldText(rec, *p.file));
    } else if (numeric && p.source.isNumeric()) {
      rt::setFieldNumber(q, *p.queue, p.source.number());
    } else {
      rt::setFieldText(q, *p.queue, p.source.text());
    }
  }
}

// ---- reading -----------------------------------------------------------------------------------

bool BrowseClass::resetFieldsChanged() {
  bool changed = false;
  for (ResetField& r : m_resetFields) {
    std::string now = r.field.text();
    if (now != r.last) changed = true;
  }
  return changed;
}

int BrowseClass::pageSize() const { return std::max(1, m_list->items()); }
int64_t BrowseClass::Records() const { return m_view ? m_view->records() : 0; }
int64_t BrowseClass::reach(int64_t count) const { return m_view ? m_view->ensure(count) : 0; }
int BrowseClass::HasRecords() const { return m_list && m_list->queue() ? m_list->queue()->records() : 0; }

int64_t BrowseClass::positionOf(int row) const {
  return row >= 1 && row <= static_cast<int>(m_positions.size()) ? m_positions[static_cast<size_t>(row - 1)] : 0;
}

void BrowseClass::openView() {
  followShift();  // m_top as the view read so far counts
  int row = m_list->selected();
  int64_t keep = positionOf(row);
  Order* o = current();
  m_error = Err::None;
  if (o->key.isValid() && o->elements.empty()) {
    m_view->SetOrder(o->key);
  } else if (Err err = m_view->SetOrder(orderText(*o)); err != Err::None) {
    m_error = err;
  }
  std::string filter = GetFilter();
  if (Query && Query->isActive()) {
    std::string q = Query->GetFilter();
    filter = filter.empty() ? q : "(" + filter + ") AND (" + q + ")";
  }
  if (Err err = m_view->SetFilter(filter); err != Err::None) {
    m_error = err;
    (void)m_view->SetFilter("0");  // a filter that cannot be read selects nothing rather than everything
  }
  m_view->ClearRanges();
  for (const Range& r : o->ranges) m_view->AddRange(r.field, r.low.text(), r.high.text());
  if (Err err = m_view->Open(); err != Err::None && m_error == Err::None) m_error = err;
  m_needOpen = false;
  m_openedOrder = m_current;
  for (ResetField& r : m_resetFields) r.last = r.field.text();
  if (keep) {
    // The kept record is looked for near where it stood, not through the whole view; far from
    // the first record the view is placed at it instead.
    const int64_t near = 4 * static_cast<int64_t>(pageSize()) + 64;
    int64_t index = -1;
    if (m_top + row <= near || !m_view->SeekPosition(keep, index)) index = m_view->indexOf(keep, m_top + row + near);
    if (index >= 0) placeIndex(index, row - 1);
  }
}

void BrowseClass::followShift() {
  const int64_t now = m_view->shift();
  m_top += now - m_seenShift;
  m_seenShift = now;
}

int64_t BrowseClass::findPosition(int64_t position, int64_t near) {
  int64_t index = m_view->indexOf(position, m_view->known() + near);
  if (index >= 0 || m_view->complete()) return index;
  if (m_view->SeekPosition(position, index)) return index;
  return m_view->indexOf(position);
}

int64_t BrowseClass::seekValue(const rt::FieldDesc& f, std::string_view value, bool caseless, const std::string& picture) {
  const Order* o = current();
  if (!o->key.isValid() || !o->elements.empty()) return -1;
  if (isText(f.type) && caseless == o->key.decl().caseSensitive) return -1;  // compared otherwise than the key orders
  db::File& file = m_view->Primary.file();
  db::RecordImage saved = file.saveBuffer();
  void* rec = file.buffer();
  bool fits;
  if (isText(f.type)) {
    rt::setFieldText(rec, f, value);
    fits = rt::compareText(rt::fieldText(rec, f), value, caseless) == 0;  // not cut by the field's width
  } else {
    const double want = picture.empty() ? rt::textToNumber(value) : rt::deformatValue(value, picture);
    rt::setFieldNumber(rec, f, want);
    fits = rt::fieldNumber(rec, f) == want;
  }
  const int64_t index = fits ? m_view->SeekKey(1) : -1;
  file.restoreBuffer(saved);
  return index;
}

void BrowseClass::placeIndex(int64_t index, int rowOffset) {
  int64_t page = pageSize();
  int64_t total = reach(index + page);
  m_top = std::clamp<int64_t>(index - std::max(0, rowOffset), 0, std::max<int64_t>(0, total - page));
  m_wantRow = static_cast<int>(index - m_top + 1);
}

void BrowseClass::Reset(bool force) {
  if (!m_list || m_editing) return;
  if (force || m_needOpen || m_openedOrder != m_current || resetFieldsChanged()) openView();
  loadPage();
}

void BrowseClass::loadPage() {
  ListQueue& q = *m_list->queue();
  int want = m_wantRow > 0 ? m_wantRow : m_list->selected();
  m_wantRow = 0;
  int page = pageSize();
  followShift();
  int64_t total = reach(m_top + page + 1);  // one past the page: whether it can move down
  m_top = std::clamp<int64_t>(m_top, 0, std::max<int64_t>(0, total - page));
  // A view placed in the middle reads back to the page's first row (its indexes may move then).
  for (int i = 0; i < 4 && m_top < m_view->first(); ++i) {
    m_top = m_view->reachBack(m_top);
    m_seenShift = m_view->shift();
    total = reach(m_top + page + 1);
    m_top = std::clamp<int64_t>(m_top, 0, std::max<int64_t>(0, total - page));
  }
  q.free();
  m_positions.clear();
  db::File& file = m_view->Primary.file();
  m_view->ReadPage(static_cast<size_t>(m_top), static_cast<size_t>(page), [&] {
    SetQueueRecord();
    q.add();
    m_positions.push_back(file.position());
  });
  m_list->display();
  int rows = q.records();
  m_list->setSelected(rows == 0 ? 0 : std::clamp(want, 1, rows));
  // Until the view has read to its end, the thumb stands against a guess of its size.
  const int64_t size = m_view->complete() ? total : m_view->estimate();
  m_list->setVScrollPos(size > page ? static_cast<int>(std::min<int64_t>(100, m_top * 100 / (size - page))) : 0);
  (void)UpdateBuffer();  // no rows: the buffer keeps what it held
  UpdateWindow();
}

rt::Err BrowseClass::UpdateBuffer() {
  int64_t pos = m_list ? positionOf(m_list->selected()) : 0;
  if (!pos) return Err::NotAvailable;
  return m_view->Primary.file().getPosition(pos);
}

void BrowseClass::ScrollOne(int direction) {
  followShift();
  int page = pageSize();
  int64_t total = reach(m_top + page + 1);
  if (direction > 0) {
    if (m_top + page < total) {
      ++m_top;
    } else {
      m_wantRow = INT_MAX;
    }
  } else {
    if (m_top > 0) --m_top;
    else m_wantRow = 1;
  }
  loadPage();
}

void BrowseClass::ScrollPage(int direction) {
  followShift();
  int page = pageSize();
  int64_t total = reach(m_top + 2 * static_cast<int64_t>(page));
  if (direction > 0) {
    if (m_top + page >= total) m_wantRow = INT_MAX;
    else m_top = std::min<int64_t>(m_top + page, std::max<int64_t>(0, total - page));
  } else {
    if (m_top == 0) m_wantRow = 1;
    else m_top = std::max<int64_t>(0, m_top - page);
  }
  loadPage();
}

void BrowseClass::ScrollEnd(int direction) {
  if (direction > 0) {
    int64_t end = m_view->SeekEnd();  // placed at the end, the records before stay unread
    if (end < 0) end = reach(INT64_MAX);
    m_top = std::max<int64_t>(0, end - pageSize());
    m_wantRow = INT_MAX;
  } else {
    m_top = 0;
    m_wantRow = 1;
  }
  loadPage();
}

void BrowseClass::ScrollDrag(int percent) {
  // Against the guess while the view has not read to its end; loadPage keeps the page within it.
  int64_t room = std::max<int64_t>(0, (m_view->complete() ? Records() : m_view->estimate()) - pageSize());
  m_top = room * std::clamp(percent, 0, 100) / 100;
  loadPage();
}

int BrowseClass::compareAt(int64_t index, const rt::FieldDesc& f, std::string_view value, bool caseless,
                           const std::string& picture) {
  const void* rec = m_view->Primary.file().buffer();
  if (m_view->ReadPage(static_cast<size_t>(index), 1, [] {}) == 0) return 1;
  if (isText(f.type)) return rt::compareText(rt::fieldText(rec, f), value, caseless);
  double want = picture.empty() ? rt::textToNumber(value) : rt::deformatValue(value, picture);
  double have = rt::fieldNumber(rec, f);
  return have < want ? -1 : have > want ? 1 : 0;
}

void BrowseClass::Locate(LocatorClass& locator, std::string_view value) {
  if (!m_list || m_editing) return;
  if (m_needOpen || m_openedOrder != m_current) openView();
  const rt::FieldDesc* f = m_view->Primary.file().record().find(locator.Field);
  if (!f || reach(1) == 0) return;
  bool caseless = !locator.CaseSensitive;
  const rt::FieldDesc* lead = nullptr;
  bool descending = false;
  int64_t total = INT64_MAX;
  int64_t index = total;
  const bool ordered = leadingField(*current(), lead, descending) && lead == f;
  const int64_t placed = ordered ? seekValue(*f, value, caseless, locator.Picture) : -1;
  if (placed >= 0) {
    // The view is in the key's order: placed at the value, it reads from there.
    index = placed;
    total = reach(index + 1);
  } else if (ordered) {
    // The view is ordered by the field: the first record at or after the value. The bracket
    // doubles from the top, so the view is read only as far as the value.
    int64_t lo = 0, hi = 1;
    for (;;) {
      int64_t have = reach(hi);
      if (have < hi) {
        hi = have;
        break;
      }
      int c = compareAt(hi - 1, *f, value, caseless, locator.Picture);
      if (descending ? c <= 0 : c >= 0) break;
      lo = hi;
      hi *= 2;
    }
    while (lo < hi) {
      int64_t mid = lo + (hi - lo) / 2;
      int c = compareAt(mid, *f, value, caseless, locator.Picture);
      if (descending ? c <= 0 : c >= 0) hi = mid;
      else lo = mid + 1;
    }
    index = lo;
    total = reach(index + 1);
  } else {
    // Another order: the first record in it whose field starts with the value (texts) or equals it.
    const void* rec = m_view->Primary.file().buffer();
    std::string want = caseless ? rt::UPPER(value) : std::string(value);
    m_view->Reset();
    for (int64_t i = 0; m_view->Next() == Err::None; ++i) {
      bool hit;
      if (isText(f->type)) {
        std::string have = rt::fieldText(rec, *f);
        if (caseless) have = rt::UPPER(have);
        hit = have.compare(0, want.size(), want) == 0;
      } else {
        hit = compareAt(i, *f, value, caseless, locator.Picture) == 0;
      }
      if (hit) {
        index = i;
        break;
      }
    }
    if (index == total) return;  // nothing starts with it: the list stays
    total = reach(index + 1);
  }
  index = std::min(index, total - 1);
  if (index < 0) return;
  placeIndex(index, 0);
  loadPage();
}

bool BrowseClass::SelectPosition(int64_t position) {
  if (!m_list || m_editing || position <= 0) return false;
  if (m_needOpen || m_openedOrder != m_current) openView();
  const int64_t index = findPosition(position, 2 * static_cast<int64_t>(pageSize()));
  if (index < 0) return false;
  placeIndex(index, 0);
  loadPage();
  return true;
}

// ---- requests ----------------------------------------------------------------------------------

rt::Err BrowseClass::PrimeRecord(bool suppressClear) { return m_view->Primary.PrimeRecord(suppressClear); }

void BrowseClass::UpdateWindow() {
  if (!m_manager || !m_manager->window().isOpen()) return;
  bool rows = HasRecords() > 0;
  for (int feq : {ChangeControl, DeleteControl, SelectControl, ViewControl})
    if (feq) m_manager->window().setProp(feq, Prop::Disable, rows ? "" : "1");
  for (int feq : RowControls)
    if (feq) m_manager->window().setProp(feq, Prop::Disable, rows ? "" : "1");
}

int BrowseClass::Ask(int request) {
  if (!m_manager || m_editing) return RequestCancelled;
  if (request != InsertRecord && HasRecords() == 0) return RequestCancelled;
  db::FileManager& fm = m_view->Primary;
  int row = m_list->selected();
  if (request == InsertRecord) {
    if (PrimeRecord() != Err::None) return RequestCancelled;
  } else if (UpdateBuffer() != Err::None) {
    return RequestCancelled;
  }
  if (!AskProcedure) return AskRecord(request);
  int response = m_manager->Run(AskProcedure, request);
  if (request == InsertRecord && response != RequestCompleted && fm.hasReservation()) (void)fm.CancelAutoInc();
  if (response == RequestCompleted && request != ViewRecord) {
    int64_t written = request == InsertRecord ? fm.file().position() : positionOf(row);
    openView();
    if (request != DeleteRecord) {
      int64_t index = written ? findPosition(written, 2 * static_cast<int64_t>(pageSize())) : -1;
      if (index >= 0) placeIndex(index, row - 1);
    } else {
      m_wantRow = row;
    }
  }
  loadPage();
  return response;
}

int BrowseClass::AskRecord(int request) {
  db::FileManager& fm = m_view->Primary;
  switch (request) {
    case DeleteRecord: {
      int answer = MESSAGE(DeleteText, "Confirm Delete", Icon::Question, BUTTON::Yes | BUTTON::No, BUTTON::No);
      if (answer != BUTTON::Yes) return RequestCancelled;
      Err err = m_relation ? m_relation->Delete() : fm.Delete();
      if (err != Err::None) return RequestCancelled;
      int row = m_list->selected();
      openView();
      m_wantRow = row;
      loadPage();
      return RequestCompleted;
    }
    case InsertRecord:
    case ChangeRecord:
      if (!startEdit(request)) {
        if (request == InsertRecord && fm.hasReservation()) (void)fm.CancelAutoInc();
        return RequestCancelled;
      }
      return 0;  // the edit completes or is cancelled by the user's keys
    default: return RequestCancelled;
  }
}

void BrowseClass::pressButton(int feq) {
  Window& w = m_manager->window();
  if (!w.control(feq) || !w.isShown(feq) || !w.isEnabled(feq)) return;
  w.post(EVENT::Accepted, feq, KEYCODE());
}

void BrowseClass::SetAlerts() {
  if (!m_list) return;
  m_list->setProp(Prop::Alrt, std::to_string(Key::Insert));
  m_list->setProp(Prop::Alrt, std::to_string(Key::Delete));
  for (const Order& o : m_orders)
    for (LocatorClass* l : o.locators)
      if (l->kind() != LocatorClass::Kind::Entry) m_list->setTypeAhead(true);
  if (m_popupBuilt) return;
  m_popupBuilt = true;
  Window& w = m_manager->window();
  const std::pair<int, const char*> buttons[] = {
      {InsertControl, "Insert"}, {ChangeControl, "Change"}, {DeleteControl, "Delete"}, {ViewControl, "View"}};
  for (auto [feq, name] : buttons) {
    if (!feq || !w.control(feq)) continue;
    Popup.AddItem(w.control(feq)->textProp(), name);
    Popup.AddItemMimic(name, feq);
  }
  if (SelectControl && w.control(SelectControl)) {
    if (!Popup.ItemNames().empty()) Popup.AddItem("-", "SelectSeparator");
    Popup.AddItem(w.control(SelectControl)->textProp(), "Select");
    Popup.AddItemMimic("Select", SelectControl);
  }
}

Level BrowseClass::TakeEvent() {
  if (!m_manager || !m_list) return Level::Benign;
  int event = EVENT();
  int field = FIELD();
  if (m_editing) {
    auto at = std::find(m_editors.begin(), m_editors.end(), field);
    if (at != m_editors.end()) {
      int key = KEYCODE();
      if (event == EVENT::Accepted) {
        if (key == Key::Tab && m_editAt + 1 < m_editors.size()) {
          ++m_editAt;
          showEditor();
        } else if (key == Key::Tab || key == Key::Enter) {
          finishEdit();
        }
        return Level::Notify;
      }
      if (event == EVENT::AlertKey) {
        if (key == Key::Esc) cancelEdit();
        if (key == (Key::Tab | Key::Shift) && m_editAt > 0) {
          --m_editAt;
          showEditor();
        }
        return Level::Notify;
      }
      return Level::Benign;
    }
    return field == m_listFeq ? Level::Notify : Level::Benign;  // the list waits while a row is edited
  }
  if (field == m_listFeq) {
    switch (event) {
      case EVENT::NewSelection: TakeNewSelection(); break;
      case EVENT::ScrollUp:
      case EVENT::ScrollDown:
      case EVENT::PageUp:
      case EVENT::PageDown:
      case EVENT::ScrollTop:
      case EVENT::ScrollBottom:
      case EVENT::ScrollDrag: TakeScroll(event); break;
      case EVENT::Accepted:
      case EVENT::AlertKey: TakeKey(); break;
      default: break;
    }
    return Level::Benign;
  }
  if (event == EVENT::Accepted && field) {
    if (field == SelectControl) {
      if (HasRecords() && UpdateBuffer() == Err::None) m_manager->SetResponse(RequestCompleted);
    } else if (field == InsertControl) {
      Ask(InsertRecord);
    } else if (field == ChangeControl) {
      Ask(ChangeRecord);
    } else if (field == DeleteControl) {
      Ask(DeleteRecord);
    } else if (field == ViewControl) {
      Ask(ViewRecord);
    } else {
      for (LocatorClass* l : current()->locators) {
        auto* e = dynamic_cast<EntryLocatorClass*>(l);
        if (!e || e->Control != field) continue;
        Control* c = m_manager->window().control(field);
        std::string text = c ? std::string(rt::clipView(c->screenText())) : std::string();
        e->Shadow = text;
        Locate(*e, text);
      }
    }
    return Level::Benign;
  }
  if (!field && event == EVENT::Sized && m_list->queue()->records() < std::min<int64_t>(pageSize(), reach(m_top + pageSize()) - m_top))
    loadPage();
  return Level::Benign;
}

void BrowseClass::TakeNewSelection() {
  (void)UpdateBuffer();
  UpdateWindow();
  if (KEYCODE() == Key::MouseRight) {
    if (!Popup.ItemNames().empty()) (void)Popup.Ask();
    return;
  }
  for (LocatorClass* l : current()->locators)
    if (l->kind() == LocatorClass::Kind::Incremental) l->Reset();
}

bool BrowseClass::TakeKey() {
  int key = KEYCODE();
  int rows = HasRecords();
  if (key == Key::MouseLeft2 || key == Key::Enter) {
    if (key == Key::MouseLeft2 && m_list->propList(PROPLIST::MouseDownRow, 0) == "0") return false;  // the header
    if (!rows) return false;
    if (Selecting && SelectControl) pressButton(SelectControl);
    else if (ChangeControl) pressButton(ChangeControl);
    else if (ViewControl) pressButton(ViewControl);
    else return false;
    return true;
  }
  if (key == Key::Insert && InsertControl) {
    pressButton(InsertControl);
    return true;
  }
  if (key == Key::Delete && DeleteControl && rows) {
    pressButton(DeleteControl);
    return true;
  }
  if (EVENT() == EVENT::AlertKey) {
    for (LocatorClass* l : current()->locators) {
      std::string text;
      if (l->kind() != LocatorClass::Kind::Entry && l->TakeKey(key, m_list->lastChar(), text)) {
        Locate(*l, text);
        return true;
      }
    }
  }
  return false;
}

void BrowseClass::TakeScroll(int event) {
  switch (event) {
    case EVENT::ScrollUp: ScrollOne(-1); break;
    case EVENT::ScrollDown: ScrollOne(1); break;
    case EVENT::PageUp: ScrollPage(-1); break;
    case EVENT::PageDown: ScrollPage(1); break;
    case EVENT::ScrollTop: ScrollEnd(-1); break;
    case EVENT::ScrollBottom: ScrollEnd(1); break;
    case EVENT::ScrollDrag: ScrollDrag(m_list->vscrollPos()); break;
    default: break;
  }
  for (LocatorClass* l : current()->locators)
    if (l->kind() == LocatorClass::Kind::Incremental) l->Reset();
}

// ---- edit in place -----------------------------------------------------------------------------

void BrowseClass::AddEditControl(int column) {
  if (std::find(m_editColumns.begin(), m_editColumns.end(), column) == m_editColumns.end())
    m_editColumns.push_back(column);
}

const rt::FieldDesc* BrowseClass::fileFieldOf(int column) const {
  if (column < 1 || column > m_list->columnCount()) return nullptr;
  const rt::FieldDesc* qf = m_list->queue()->field(m_list->columns()[static_cast<size_t>(column - 1)].field);
  for (const Pair& p : m_pairs)
    if (p.queue == qf && p.file) return p.file;
  return nullptr;
}

void BrowseClass::ensureEditors() {
  if (!m_editors.empty()) return;
  Window& w = m_manager->window();
  std::vector<int> columns;
  for (int column : m_editColumns) {
    const rt::FieldDesc* f = fileFieldOf(column);
    if (!f) continue;
    std::string picture = m_list->columns()[static_cast<size_t>(column - 1)].picture;
    if (picture.empty()) picture = isText(f->type) ? "@s" + std::to_string(f->width) : "@n-15.4";
    Entry& e = w.entry(std::string("?EIP:") + f->name, picture);
    e.use(Binding(m_view->Primary.file().buffer(), *f));
    e.hidden(true);
    e.setProp(Prop::Alrt, std::to_string(Key::Esc));
    e.setProp(Prop::Alrt, std::to_string(Key::Tab | Key::Shift));
    m_editors.push_back(e.feq());
    columns.push_back(column);
  }
  m_editColumns = columns;  // columns without a file field are not edited
}

bool BrowseClass::startEdit(int request) {
  ensureEditors();
  if (m_editors.empty() || !m_manager->window().isOpen()) return false;
  ListQueue& q = *m_list->queue();
  int row = m_list->selected();
  if (request == InsertRecord) {
    row = q.records() == 0 ? 1 : row + 1;
    SetQueueRecord();
    q.add(row);
    m_positions.insert(m_positions.begin() + std::min<size_t>(static_cast<size_t>(row - 1), m_positions.size()), 0);
    m_list->display();
    m_list->setSelected(row);
  }
  m_editing = true;
  m_editRequest = request;
  m_editAt = 0;
  m_editRow = row;
  showEditor();
  return true;
}

void BrowseClass::showEditor() {
  Window& w = m_manager->window();
  for (size_t i = 0; i < m_editors.size(); ++i)
    if (i != m_editAt) w.control(m_editors[i])->hidden(true);
  int feq = m_editors[m_editAt];
  Control* c = w.control(feq);
  Rect cell;
  Rect list = m_list->rect();
  int frame = 0;
  if (m_list->view()) frame = (m_list->view()->width() - m_list->view()->contentsRect().width()) / 2;
  if (m_list->cellRectPx(m_editRow, m_editColumns[m_editAt], cell)) {
    c->at(list.x + w.pxToDluX(cell.x + frame), list.y + w.pxToDluY(cell.y + frame), std::max(8, w.pxToDluX(cell.w)),
          std::max(8, w.pxToDluY(cell.h)));
  } else {
    c->at(list.x, list.y, list.w, 10);
  }
  c->display();
  c->hidden(false);
  w.select(feq);
}

void BrowseClass::hideEditors() {
  Window& w = m_manager->window();
  for (int feq : m_editors)
    if (Control* c = w.control(feq)) c->hidden(true);
}

bool BrowseClass::finishEdit() {
  Window& w = m_manager->window();
  Control* c = w.control(m_editors[m_editAt]);
  if (c && !c->update()) {
    host().beep(0);
    w.select(c->feq());
    return false;
  }
  db::FileManager& fm = m_view->Primary;
  Err err = m_editRequest == InsertRecord ? (m_relation ? m_relation->Insert() : fm.Insert())
                                          : (m_relation ? m_relation->Update() : fm.Update());
  if (err != Err::None) {
    if (c) w.select(c->feq());  // the file reported it; the row stays in edit
    return false;
  }
  int64_t written = fm.file().position();
  int row = m_editRow;
  m_editing = false;
  hideEditors();
  openView();
  int64_t index = findPosition(written, 2 * static_cast<int64_t>(pageSize()));
  if (index >= 0) placeIndex(index, row - 1);
  loadPage();
  w.select(m_listFeq);
  return true;
}

void BrowseClass::cancelEdit() {
  m_editing = false;
  hideEditors();
  if (m_editRequest == InsertRecord && m_view->Primary.hasReservation()) (void)m_view->Primary.CancelAutoInc();
  m_wantRow = std::max(1, m_editRequest == InsertRecord ? m_editRow - 1 : m_editRow);
  loadPage();
  if (m_manager->window().isOpen()) m_manager->window().select(m_listFeq);
}

}  // namespace ov::ui
