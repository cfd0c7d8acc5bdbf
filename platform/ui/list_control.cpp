#include "platform/ui/list_control.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QWheelEvent>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdlib>

#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"
#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/detail/view_util.h"
#include "platform/ui/event.h"
#include "platform/ui/window.h"

namespace ov::ui {

using detail::q;

namespace {

constexpr int kGrip = 3;         // pixels either side of a column's right edge
constexpr int kTreeIndent = 12;  // pixels per tree level
constexpr int kTreeBox = 9;
constexpr int kIconSize = 16;

bool isText(rt::FieldType t) {
  return t == rt::FieldType::String || t == rt::FieldType::CString || t == rt::FieldType::Memo ||
         t == rt::FieldType::Blob;
}

std::string trimmed(std::string_view s, bool leading) {
  s = rt::clipView(s);
  if (leading)
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return std::string(s);
}

// A field shown through a picture, without the padding of the field or of the picture's width.
std::string formatField(const void* entry, const rt::FieldDesc* f, const std::string& picture) {
  if (!f) return {};
  if (picture.empty()) return trimmed(rt::fieldText(entry, *f), !isText(f->type));
  rt::PictureKind kind = rt::pictureKind(picture);
  std::string t = isText(f->type) ? rt::FORMAT(rt::fieldText(entry, *f), picture)
                                  : rt::FORMAT(rt::fieldNumber(entry, *f), picture);
  bool numeric = kind == rt::PictureKind::Number || kind == rt::PictureKind::Date || kind == rt::PictureKind::Time;
  return trimmed(t, numeric);
}

QColor colorOf(int32_t ref) { return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF); }

int alignOf(char just) {
  switch (just) {
    case 'R':
    case 'D': return Qt::AlignRight;
    case 'C': return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
  }
}

// Runtime key code of the keys a list handles itself; 0 for the others.
int listKeycode(const QKeyEvent& e) {
  int k = e.key();
  int vk = 0;
  switch (k) {
    case Qt::Key_Up: vk = Key::Up; break;
    case Qt::Key_Down: vk = Key::Down; break;
    case Qt::Key_Left: vk = Key::Left; break;
    case Qt::Key_Right: vk = Key::Right; break;
    case Qt::Key_PageUp: vk = Key::PgUp; break;
    case Qt::Key_PageDown: vk = Key::PgDn; break;
    case Qt::Key_Home: vk = Key::Home; break;
    case Qt::Key_End: vk = Key::End; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: vk = Key::Enter; break;
    case Qt::Key_Backspace: vk = Key::Backspace; break;
    case Qt::Key_Space: vk = Key::Space; break;
    default:
      if (k >= Qt::Key_A && k <= Qt::Key_Z) vk = 65 + (k - Qt::Key_A);
      else if (k >= Qt::Key_0 && k <= Qt::Key_9) vk = 48 + (k - Qt::Key_0);
      break;
  }
  if (!vk && !e.text().isEmpty() && e.text().at(0).isPrint()) vk = 255;  // a character without a key of its own
  if (!vk) return 0;
  Qt::KeyboardModifiers m = e.modifiers();
  if (m & Qt::ShiftModifier) vk |= Key::Shift;
  if (m & Qt::ControlModifier) vk |= Key::Ctrl;
  if (m & Qt::AltModifier) vk |= Key::Alt;
  return vk;
}

}  // namespace

std::string formatListField(const void* entry, const rt::FieldDesc* field, const std::string& picture) {
  return formatField(entry, field, picture);
}

// ---- the view ----------------------------------------------------------------------------------

class ListView : public QAbstractScrollArea {
 public:
  ListView(QWidget* parent, ListControl* list) : QAbstractScrollArea(parent), m_list(list) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) { verticalAction(action); });
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] {
      if (m_list->isImmediate()) m_list->userScrollAction(EVENT::ScrollDrag, verticalScrollBar()->value());
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
      if (m_syncing || m_list->isImmediate()) return;
      m_list->m_top = std::clamp(v, 0, std::max(0, static_cast<int>(m_list->m_rows.size()) - 1));
      viewport()->update();
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
      if (!m_syncing) m_list->userHScroll(v);
    });
  }

  void syncBars() {
    m_syncing = true;
    QScrollBar* v = verticalScrollBar();
    int n = static_cast<int>(m_list->m_rows.size());
    int items = m_list->items();
    if (m_list->isImmediate()) {
      setVerticalScrollBarPolicy(m_list->m_vscroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
      v->setRange(0, 100);
      v->setPageStep(10);
      v->setValue(m_list->m_vpos);
    } else {
      setVerticalScrollBarPolicy(m_list->m_vscroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      v->setRange(0, std::max(0, n - items));
      v->setPageStep(std::max(1, items));
      v->setValue(m_list->m_top);
    }
    QScrollBar* h = horizontalScrollBar();
    int movable = 0;
    for (const ListColumn& c : m_list->m_columns)
      if (!c.fixed) ++movable;
    setHorizontalScrollBarPolicy(m_list->m_hscroll && movable > 1 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    h->setRange(0, std::max(0, movable - 1));
    h->setPageStep(1);
    h->setValue(m_list->m_hpos);
    m_syncing = false;
  }

 protected:
  void scrollContentsBy(int, int) override { viewport()->update(); }

  void paintEvent(QPaintEvent*) override {
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.fillRect(viewport()->rect(), pal.brush(QPalette::Base));
    ListControl& l = *m_list;
    // A queue changed without DISPLAY still shows what it holds.
    if (l.m_queue && l.m_queue->records() != l.m_records) l.refreshRows();
    int hh = l.headerHeightPx();
    int rowH = l.rowHeightPx();
    std::vector<int> cols = l.shownColumns();
    QFontMetrics fm(font());
    // Header.
    if (hh > 0) {
      int x = 0;
      for (int ci : cols) {
        const ListColumn& c = l.m_columns[static_cast<size_t>(ci)];
        int w = l.pxX(c.width);
        QStyleOptionHeader opt;
        opt.initFrom(this);
        opt.rect = QRect(x, 0, w, hh);
        opt.section = ci;
        opt.state |= QStyle::State_Raised;
        style()->drawControl(QStyle::CE_HeaderSection, &opt, &p, this);
        QRect tr = opt.rect.adjusted(3, 0, -3, 0);
        int off = l.pxX(c.headerOffset);
        if (c.headerJust == 'R' || c.headerJust == 'D') tr.adjust(0, 0, -off, 0);
        else if (c.headerJust != 'C') tr.adjust(off, 0, 0, 0);
        p.setPen(pal.color(QPalette::ButtonText));
        p.save();
        p.setClipRect(opt.rect);
        p.drawText(tr, alignOf(c.headerJust) | Qt::AlignVCenter, q(c.header));
        p.restore();
        x += w;
      }
    }
    // Rows.
    int n = static_cast<int>(l.m_rows.size());
    int shown = (viewport()->height() - hh + rowH - 1) / std::max(1, rowH);
    for (int i = l.m_top; i < n && i < l.m_top + shown; ++i) {
      int pos = l.m_rows[static_cast<size_t>(i)];
      int y = hh + (i - l.m_top) * rowH;
      bool rowSelected = pos == l.m_selected;
      int x = 0;
      for (int ci : cols) {
        const ListColumn& c = l.m_columns[static_cast<size_t>(ci)];
        int w = l.pxX(c.width);
        QRect cellRect(x, y, w, rowH);
        x += w;
        ListCell cell = l.cell(pos, ci + 1);
        bool sel = rowSelected && (l.m_column == 0 || l.m_column == ci + 1);
        QColor back, fore = pal.color(QPalette::Text);
        if (sel) {
          back = cell.selBg >= 0 ? colorOf(cell.selBg) : pal.color(QPalette::Highlight);
          fore = cell.selFg >= 0 ? colorOf(cell.selFg) : pal.color(QPalette::HighlightedText);
        } else {
          if (cell.bg >= 0) back = colorOf(cell.bg);
          if (cell.fg >= 0) fore = colorOf(cell.fg);
        }
        if (back.isValid()) p.fillRect(cellRect, back);
        p.save();
        p.setClipRect(cellRect);
        QRect tr = cellRect.adjusted(2, 0, -2, 0);
        if (c.tree) {
          int level = std::max(1, std::abs(cell.level));
          int indent = (level - 1) * kTreeIndent;
          QRect box(tr.left() + indent, y + (rowH - kTreeBox) / 2, kTreeBox, kTreeBox);
          if (cell.hasChildren) {
            p.setPen(fore);
            p.drawRect(box.adjusted(0, 0, -1, -1));
            p.drawLine(box.left() + 2, box.center().y(), box.right() - 2, box.center().y());
            if (cell.level < 0) p.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
          }
          tr.setLeft(box.right() + 4);
        }
        if (c.icon && !cell.iconName.empty()) {
          QIcon icon = detail::loadIcon(cell.iconName);
          if (!icon.isNull()) icon.paint(&p, QRect(tr.left(), y + (rowH - kIconSize) / 2, kIconSize, kIconSize));
          tr.setLeft(tr.left() + kIconSize + 2);
        }
        int off = l.pxX(c.offset);
        if (c.just == 'R' || c.just == 'D') tr.adjust(0, 0, -off, 0);
        else if (c.just != 'C') tr.adjust(off, 0, 0, 0);
        QFont f = font();
        if (c.underline) f.setUnderline(true);
        p.setFont(f);
        p.setPen(fore);
        p.drawText(tr, alignOf(c.just) | Qt::AlignVCenter, q(cell.text));
        p.restore();
        if (c.rightBorder) {
          p.setPen(pal.color(QPalette::Mid));
          p.drawLine(cellRect.right(), cellRect.top(), cellRect.right(), cellRect.bottom());
        }
      }
      if (rowSelected && hasFocus() && l.m_column == 0) {
        p.setPen(QPen(pal.color(QPalette::HighlightedText), 1, Qt::DotLine));
        p.drawRect(QRect(0, y, x - 1, rowH - 1));
      }
    }
  }

  void mousePressEvent(QMouseEvent* e) override {
    QPoint pt = e->position().toPoint();
    int b = e->button() == Qt::RightButton ? 2 : e->button() == Qt::LeftButton ? 1 : 0;
    if (b) m_list->userMousePress(pt.x(), pt.y(), b, false);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    QPoint pt = e->position().toPoint();
    int b = e->button() == Qt::RightButton ? 2 : e->button() == Qt::LeftButton ? 1 : 0;
    if (b) m_list->userMousePress(pt.x(), pt.y(), b, true);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    QPoint pt = e->position().toPoint();
    m_list->userMouseMove(pt.x(), pt.y(), e->buttons() & Qt::LeftButton);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    QPoint pt = e->position().toPoint();
    int b = e->button() == Qt::RightButton ? 2 : e->button() == Qt::LeftButton ? 1 : 0;
    if (b) m_list->userMouseRelease(pt.x(), pt.y(), b);
  }
  void wheelEvent(QWheelEvent* e) override {
    m_wheel += e->angleDelta().y();
    int notches = m_wheel / 120;
    m_wheel -= notches * 120;
    if (notches) m_list->userWheel(notches);
    e->accept();
  }
  void keyPressEvent(QKeyEvent* e) override {
    int code = listKeycode(*e);
    if (!code) {
      e->ignore();
      return;
    }
    m_list->userKey(code, e->text().toUtf8().toStdString());
  }
  void resizeEvent(QResizeEvent* e) override {
    QAbstractScrollArea::resizeEvent(e);
    syncBars();
  }
  void focusInEvent(QFocusEvent* e) override {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
  }
  void focusOutEvent(QFocusEvent* e) override {
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
  }

 private:
  void verticalAction(int action) {
    if (!m_list->isImmediate()) return;
    int event = 0;
    switch (action) {
      case QAbstractSlider::SliderSingleStepAdd: event = EVENT::ScrollDown; break;
      case QAbstractSlider::SliderSingleStepSub: event = EVENT::ScrollUp; break;
      case QAbstractSlider::SliderPageStepAdd: event = EVENT::PageDown; break;
      case QAbstractSlider::SliderPageStepSub: event = EVENT::PageUp; break;
      case QAbstractSlider::SliderToMinimum: event = EVENT::ScrollTop; break;
      case QAbstractSlider::SliderToMaximum: event = EVENT::ScrollBottom; break;
      default: return;  // the thumb: ScrollDrag when it is let go
    }
    // The program moves the rows; the thumb stays where the program put it.
    verticalScrollBar()->setSliderPosition(m_list->m_vpos);
    m_list->userScrollAction(event);
  }

  ListControl* m_list;
  bool m_syncing = false;
  int m_wheel = 0;
};

// ---- the control -------------------------------------------------------------------------------

ListControl::ListControl(std::string name) : Control(Kind::List, std::move(name)) {}
ListControl::~ListControl() = default;

void ListControl::setQueue(std::unique_ptr<ListQueue> q) {
  m_queue = std::move(q);
  m_selected = 0;
  m_top = 0;
  display();
}

ListControl& ListControl::format(std::string_view text) {
  [[maybe_unused]] bool ok = setFormat(text);
  assert(ok && "malformed list format in a declaration");
  return *this;
}

bool ListControl::setFormat(std::string_view text, ListFormatError* error) {
  std::vector<ListColumn> cols;
  if (!parseListFormat(text, cols, error)) return false;
  m_columns = std::move(cols);
  m_column = std::min(m_column, columnCount());
  int movable = 0;
  for (const ListColumn& c : m_columns)
    if (!c.fixed) ++movable;
  m_hpos = std::clamp(m_hpos, 0, std::max(0, movable - 1));
  refreshRows();
  changedLayout();
  return true;
}

void ListControl::changedLayout() {
  if (m_view && !m_syncing) syncView();
}

void ListControl::refreshRows() {
  m_rows.clear();
  int n = m_queue ? m_queue->records() : 0;
  m_records = n;
  const ListColumn* tree = nullptr;
  for (const ListColumn& c : m_columns)
    if (c.tree) {
      tree = &c;
      break;
    }
  m_rows.reserve(static_cast<size_t>(n));
  const rt::FieldDesc* levelField = tree ? m_queue->field(tree->treeField()) : nullptr;
  int hideDeeperThan = INT_MAX;
  for (int pos = 1; pos <= n; ++pos) {
    if (levelField) {
      int level = static_cast<int>(rt::fieldNumber(m_queue->entry(pos), *levelField));
      int depth = std::abs(level);
      if (depth > hideDeeperThan) continue;
      hideDeeperThan = level < 0 ? depth : INT_MAX;
    }
    m_rows.push_back(pos);
  }
  if (m_selected > n) m_selected = n;
  if (m_selected < 0) m_selected = 0;
  int maxTop = std::max(0, static_cast<int>(m_rows.size()) - 1);
  m_top = std::clamp(m_top, 0, maxTop);
}

void ListControl::display() {
  refreshRows();
  if (m_view) {
    static_cast<ListView*>(m_view)->syncBars();
    static_cast<ListView*>(m_view)->viewport()->update();
  }
}

std::string ListControl::iconName(int number) const {
  return number >= 1 && number <= static_cast<int>(m_icons.size()) ? m_icons[static_cast<size_t>(number - 1)]
                                                                    : std::string();
}

bool ListControl::rowHasChildren(int position) const {
  const ListColumn* tree = nullptr;
  for (const ListColumn& c : m_columns)
    if (c.tree) tree = &c;
  if (!tree || !m_queue || position < 1 || position >= m_queue->records()) return false;
  const rt::FieldDesc* f = m_queue->field(tree->treeField());
  if (!f) return false;
  int here = std::abs(static_cast<int>(rt::fieldNumber(m_queue->entry(position), *f)));
  int next = std::abs(static_cast<int>(rt::fieldNumber(m_queue->entry(position + 1), *f)));
  return next > here;
}

ListCell ListControl::cell(int row, int column) const {
  ListCell cell;
  if (!m_queue || column < 1 || column > columnCount() || row < 1 || row > m_queue->records()) return cell;
  const ListColumn& c = m_columns[static_cast<size_t>(column - 1)];
  const void* e = m_queue->entry(row);
  cell.text = formatField(e, m_queue->field(c.field), c.picture);
  int32_t* colorSlot[4] = {&cell.fg, &cell.bg, &cell.selFg, &cell.selBg};
  for (int k = 0; k < 4; ++k) {
    int32_t v = -1;
    if (c.colors)
      if (const rt::FieldDesc* f = m_queue->field(c.colorField() + k)) v = static_cast<int32_t>(rt::fieldNumber(e, *f));
    *colorSlot[k] = v != -1 ? v : c.color[k];
  }
  if (c.icon)
    if (const rt::FieldDesc* f = m_queue->field(c.iconField())) {
      cell.icon = static_cast<int>(rt::fieldNumber(e, *f));
      cell.iconName = iconName(cell.icon);
    }
  if (c.tree)
    if (const rt::FieldDesc* f = m_queue->field(c.treeField())) {
      cell.level = static_cast<int>(rt::fieldNumber(e, *f));
      cell.hasChildren = rowHasChildren(row);
    }
  return cell;
}

// ---- properties --------------------------------------------------------------------------------

std::string ListControl::propList(int p, int column) const {
  using detail::flag;
  switch (p) {
    case PROPLIST::MouseDownRow: return std::to_string(m_down.row);
    case PROPLIST::MouseDownField: return std::to_string(m_down.field);
    case PROPLIST::MouseDownZone: return std::to_string(m_down.zone);
    case PROPLIST::MouseUpRow: return std::to_string(m_up.row);
    case PROPLIST::MouseUpField: return std::to_string(m_up.field);
    case PROPLIST::MouseUpZone: return std::to_string(m_up.zone);
    case PROPLIST::MouseMoveRow: return std::to_string(m_move.row);
    case PROPLIST::MouseMoveField: return std::to_string(m_move.field);
    default: break;
  }
  if (column < 1 || column > columnCount()) return {};
  const ListColumn& c = m_columns[static_cast<size_t>(column - 1)];
  bool pixels = m_window && detail::isTrue(m_window->prop(0, Prop::Pixels));
  switch (p) {
    case PROPLIST::Exists: return "1";
    case PROPLIST::Width: return std::to_string(pixels ? pxX(c.width) : c.width);
    case PROPLIST::Header: return c.header;
    case PROPLIST::Picture: return c.picture;
    case PROPLIST::FieldNo: return std::to_string(c.field);
    case PROPLIST::Left: return flag(c.just == 'L');
    case PROPLIST::Right: return flag(c.just == 'R');
    case PROPLIST::Center: return flag(c.just == 'C');
    case PROPLIST::Decimal: return flag(c.just == 'D');
    case PROPLIST::LeftOffset:
    case PROPLIST::RightOffset:
    case PROPLIST::CenterOffset:
    case PROPLIST::DecimalOffset: return std::to_string(c.offset);
    case PROPLIST::HeaderLeft: return flag(c.headerJust == 'L');
    case PROPLIST::HeaderRight: return flag(c.headerJust == 'R');
    case PROPLIST::HeaderCenter: return flag(c.headerJust == 'C');
    case PROPLIST::HeaderDecimal: return flag(c.headerJust == 'D');
    case PROPLIST::HeaderLeftOffset:
    case PROPLIST::HeaderRightOffset:
    case PROPLIST::HeaderCenterOffset:
    case PROPLIST::HeaderDecimalOffset: return std::to_string(c.headerOffset);
    case PROPLIST::Fixed: return flag(c.fixed);
    case PROPLIST::RightBorder: return flag(c.rightBorder);
    case PROPLIST::Resize: return flag(c.resize);
    case PROPLIST::Underline: return flag(c.underline);
    case PROPLIST::TextColor: return std::to_string(c.color[0]);
    case PROPLIST::BackColor: return std::to_string(c.color[1]);
    case PROPLIST::TextSelected: return std::to_string(c.color[2]);
    case PROPLIST::BackSelected: return std::to_string(c.color[3]);
    case PROPLIST::Color: return flag(c.colors);
    case PROPLIST::Tree: return flag(c.tree);
    case PROPLIST::Icon: return flag(c.icon != 0);
    case PROPLIST::IconTrn: return flag(c.icon == 2);
    default: return {};
  }
}

bool ListControl::setPropList(int p, int column, std::string_view v) {
  if (column < 1 || column > columnCount()) return false;
  ListColumn& c = m_columns[static_cast<size_t>(column - 1)];
  bool on = detail::isTrue(v);
  int n = static_cast<int>(detail::toInt(v));
  auto just = [&](char& slot, char letter) {
    if (on) slot = letter;
  };
  switch (p) {
    case PROPLIST::Width: {
      bool pixels = m_window && detail::isTrue(m_window->prop(0, Prop::Pixels));
      c.width = std::max(0, pixels ? dluX(n) : n);
      break;
    }
    case PROPLIST::Header:
      c.header = v;
      c.hasHeader = true;
      break;
    case PROPLIST::Picture: {
      std::string pic;
      for (char ch : v)
        if (ch != '@') pic += ch;
      pic = std::string(rt::clipView(pic));
      c.picture = pic.empty() ? std::string() : "@" + pic;
      break;
    }
    case PROPLIST::FieldNo:
      if (n < 1) return false;
      c.field = n;
      break;
    case PROPLIST::Left: just(c.just, 'L'); break;
    case PROPLIST::Right: just(c.just, 'R'); break;
    case PROPLIST::Center: just(c.just, 'C'); break;
    case PROPLIST::Decimal: just(c.just, 'D'); break;
    case PROPLIST::LeftOffset:
    case PROPLIST::RightOffset:
    case PROPLIST::CenterOffset:
    case PROPLIST::DecimalOffset: c.offset = std::max(0, n); break;
    case PROPLIST::HeaderLeft: just(c.headerJust, 'L'); break;
    case PROPLIST::HeaderRight: just(c.headerJust, 'R'); break;
    case PROPLIST::HeaderCenter: just(c.headerJust, 'C'); break;
    case PROPLIST::HeaderDecimal: just(c.headerJust, 'D'); break;
    case PROPLIST::HeaderLeftOffset:
    case PROPLIST::HeaderRightOffset:
    case PROPLIST::HeaderCenterOffset:
    case PROPLIST::HeaderDecimalOffset: c.headerOffset = std::max(0, n); break;
    case PROPLIST::Fixed: c.fixed = on; break;
    case PROPLIST::RightBorder: c.rightBorder = on; break;
    case PROPLIST::Resize: c.resize = on; break;
    case PROPLIST::Underline: c.underline = on; break;
    case PROPLIST::TextColor: c.color[0] = static_cast<int32_t>(detail::toInt(v, -1)); break;
    case PROPLIST::BackColor: c.color[1] = static_cast<int32_t>(detail::toInt(v, -1)); break;
    case PROPLIST::TextSelected: c.color[2] = static_cast<int32_t>(detail::toInt(v, -1)); break;
    case PROPLIST::BackSelected: c.color[3] = static_cast<int32_t>(detail::toInt(v, -1)); break;
    case PROPLIST::Color: c.colors = on; break;
    case PROPLIST::Tree: c.tree = on; break;
    case PROPLIST::Icon: c.icon = on ? std::max(c.icon, 1) : 0; break;
    case PROPLIST::IconTrn: c.icon = on ? 2 : (c.icon ? 1 : 0); break;
    default: return false;
  }
  refreshRows();
  changedLayout();
  return true;
}

std::string ListControl::prop(int p) const {
  switch (p) {
    case Prop::Format: return formatString();
    case Prop::Selected: return std::to_string(m_selected);
    case Prop::Column: return std::to_string(m_column);
    case Prop::Items: return std::to_string(items());
    case Prop::LineHeight: return std::to_string(m_lineHeight);
    case Prop::HScroll: return detail::flag(m_hscroll);
    case Prop::VScroll: return detail::flag(m_vscroll);
    case Prop::HScrollPos: return std::to_string(m_hpos);
    case Prop::VScrollPos: return std::to_string(m_vpos);
    case Prop::HeaderHeight: return std::to_string(headerHeightPx());
    case Prop::DragId: return m_dragId;
    case Prop::Records: return std::to_string(m_queue ? m_queue->records() : 0);
    case Prop::IconList: {
      std::string s;
      for (size_t i = 0; i < m_icons.size(); ++i) s += (i ? "|" : "") + m_icons[i];
      return s;
    }
    default: return Control::prop(p);
  }
}

bool ListControl::setProp(int p, std::string_view v) {
  int n = static_cast<int>(detail::toInt(v));
  switch (p) {
    case Prop::Format:
      (void)setFormat(v);  // a malformed format leaves the list as it was
      return true;
    case Prop::Selected: setSelected(n); return true;
    case Prop::Column: m_column = std::clamp(n, 0, columnCount()); break;
    case Prop::LineHeight: m_lineHeight = std::max(0, n); break;
    case Prop::HScroll: m_hscroll = detail::isTrue(v); break;
    case Prop::VScroll: m_vscroll = detail::isTrue(v); break;
    case Prop::HScrollPos: userHScroll(n); return true;
    case Prop::VScrollPos: setVScrollPos(n); return true;
    case Prop::DragId: m_dragId = v; return true;
    case Prop::IconList: {
      m_icons.clear();
      std::string_view rest = v;
      while (!rest.empty()) {
        size_t bar = rest.find('|');
        m_icons.emplace_back(rest.substr(0, bar));
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
      }
      break;
    }
    case Prop::Items:
    case Prop::HeaderHeight:
    case Prop::Records: return true;  // read only
    default: {
      bool ok = Control::setProp(p, v);
      if (ok && p == Prop::Immediate) display();
      return ok;
    }
  }
  changedLayout();
  return true;
}

void ListControl::setSelected(int position) {
  int n = m_queue ? m_queue->records() : 0;
  m_selected = std::clamp(position, 0, n);
  if (m_selected) scrollToRow(m_selected);
  if (m_view) m_view->update();
  changedLayout();
}

void ListControl::setVScrollPos(int percent) {
  m_vpos = std::clamp(percent, 0, 100);
  changedLayout();
}

void ListControl::scrollToRow(int position) {
  auto it = std::find(m_rows.begin(), m_rows.end(), position);
  if (it == m_rows.end()) return;
  int index = static_cast<int>(it - m_rows.begin());
  int shown = items();
  if (index < m_top) m_top = index;
  else if (index >= m_top + shown) m_top = index - shown + 1;
}

// ---- layout ------------------------------------------------------------------------------------

int ListControl::pxX(int dlu) const { return m_window ? m_window->dluToPxX(dlu) : dlu * 3 / 2; }
int ListControl::dluX(int px) const { return m_window ? m_window->pxToDluX(px) : px * 2 / 3; }

namespace {
int fontHeightPx(const ListControl& l, const QWidget* view) {
  if (view) return QFontMetrics(view->font()).height();
  return l.window().dluToPxY(8);
}
}  // namespace

int ListControl::headerHeightPx() const {
  bool any = std::any_of(m_columns.begin(), m_columns.end(), [](const ListColumn& c) { return c.hasHeader; });
  if (!any || !m_window) return 0;
  return fontHeightPx(*this, m_view) + 6;
}

int ListControl::rowHeightPx() const {
  if (!m_window) return 16;
  if (m_lineHeight > 0) return std::max(1, m_window->dluToPxY(m_lineHeight));
  return fontHeightPx(*this, m_view) + 2;
}

int ListControl::items() const {
  if (!m_window) return 1;
  int height = 0;
  if (m_view) {
    // The view's own height is set at once; its viewport follows only once it is shown.
    auto* v = static_cast<const ListView*>(m_view);
    height = v->height() - 2 * v->frameWidth();
    if (v->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ||
        (v->horizontalScrollBarPolicy() == Qt::ScrollBarAsNeeded && v->horizontalScrollBar()->maximum() > 0))
      height -= v->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, v);
  } else {
    height = m_window->dluToPxY(m_rect.h);
  }
  return std::max(1, (height - headerHeightPx()) / std::max(1, rowHeightPx()));
}

std::vector<int> ListControl::shownColumns() const {
  std::vector<int> out;
  for (size_t i = 0; i < m_columns.size(); ++i)
    if (m_columns[i].fixed) out.push_back(static_cast<int>(i));
  int skipped = 0;
  for (size_t i = 0; i < m_columns.size(); ++i) {
    if (m_columns[i].fixed) continue;
    if (skipped++ < m_hpos) continue;
    out.push_back(static_cast<int>(i));
  }
  return out;
}

bool ListControl::columnSpanPx(int column, int& left, int& width) const {
  left = 0;
  width = 0;
  int x = 0;
  for (int ci : shownColumns()) {
    int w = pxX(m_columns[static_cast<size_t>(ci)].width);
    if (ci + 1 == column) {
      left = x;
      width = w;
      return true;
    }
    x += w;
  }
  return false;
}

bool ListControl::cellRectPx(int row, int column, Rect& out) const {
  auto it = std::find(m_rows.begin(), m_rows.end(), row);
  if (it == m_rows.end()) return false;
  int index = static_cast<int>(it - m_rows.begin());
  if (index < m_top || index >= m_top + items()) return false;
  int left = 0, width = 0;
  if (!columnSpanPx(column, left, width)) return false;
  out = Rect{left, headerHeightPx() + (index - m_top) * rowHeightPx(), width, rowHeightPx()};
  return true;
}

ListHit ListControl::hitTest(int x, int y) const {
  ListHit hit;
  int hh = headerHeightPx();
  int rowH = std::max(1, rowHeightPx());
  if (y < hh) {
    hit.header = true;
  } else {
    int index = m_top + (y - hh) / rowH;
    if (index >= 0 && index < static_cast<int>(m_rows.size())) hit.row = m_rows[static_cast<size_t>(index)];
  }
  int left = 0;
  std::vector<int> cols = shownColumns();
  for (int ci : cols) {
    int w = pxX(m_columns[static_cast<size_t>(ci)].width);
    int edge = left + w;
    if (x >= edge - kGrip && x <= edge + kGrip) {
      hit.field = ci + 1;
      hit.zone = ListZone::RightBorder;
      break;
    }
    if (x >= left && x < edge) {
      hit.field = ci + 1;
      hit.zone = ListZone::Field;
      break;
    }
    left = edge;
  }
  if (!hit.header && hit.row == 0) hit.zone = ListZone::Nowhere;
  if (hit.row > 0 && hit.zone == ListZone::Field) {
    const ListColumn& c = m_columns[static_cast<size_t>(hit.field - 1)];
    if (c.tree) {
      ListCell cell = this->cell(hit.row, hit.field);
      int colLeft = 0, colWidth = 0;
      columnSpanPx(hit.field, colLeft, colWidth);
      int boxLeft = colLeft + 2 + (std::max(1, std::abs(cell.level)) - 1) * kTreeIndent;
      if (cell.hasChildren && x >= boxLeft && x < boxLeft + kTreeBox) hit.zone = ListZone::ExpandBox;
    }
  }
  return hit;
}

// ---- input -------------------------------------------------------------------------------------

void ListControl::moveSelection(int index, int keycode) {
  if (m_rows.empty()) return;
  index = std::clamp(index, 0, static_cast<int>(m_rows.size()) - 1);
  m_selected = m_rows[static_cast<size_t>(index)];
  scrollToRow(m_selected);
  if (m_view) {
    static_cast<ListView*>(m_view)->syncBars();
    m_view->update();
    static_cast<ListView*>(m_view)->viewport()->update();
  }
  post(EVENT::NewSelection, keycode);
}

void ListControl::toggleTree(int position) {
  for (const ListColumn& c : m_columns) {
    if (!c.tree) continue;
    const rt::FieldDesc* f = m_queue->field(c.treeField());
    if (!f) return;
    int level = static_cast<int>(rt::fieldNumber(m_queue->entry(position), *f));
    m_queue->setEntryField(position, c.treeField(), std::to_string(-level));
    display();
    post(level > 0 ? EVENT::Contracted : EVENT::Expanded);
    return;
  }
}

void ListControl::userMousePress(int x, int y, int button, bool doubleClick) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  ListHit hit = hitTest(x, y);
  m_down = hit;
  m_move = hit;
  m_pressX = x;
  m_pressY = y;
  if (button == 1) {
    m_pressed = !doubleClick;
    if (doubleClick) {
      if (hit.row > 0 || hit.header) post(EVENT::Accepted, Key::MouseLeft2);
      return;
    }
    if (hit.header) {
      if (hit.zone == ListZone::RightBorder && m_columns[static_cast<size_t>(hit.field - 1)].resize)
        m_resizing = hit.field;
      return;
    }
    if (hit.zone == ListZone::ExpandBox) {
      toggleTree(hit.row);
      return;
    }
    if (hit.row > 0) {
      auto it = std::find(m_rows.begin(), m_rows.end(), hit.row);
      moveSelection(static_cast<int>(it - m_rows.begin()), Key::MouseLeft);
      post(EVENT::Accepted, Key::MouseLeft);
    }
    return;
  }
  if (button == 2 && !hit.header) {
    if (hit.row > 0) {
      auto it = std::find(m_rows.begin(), m_rows.end(), hit.row);
      moveSelection(static_cast<int>(it - m_rows.begin()), Key::MouseRight);
    } else {
      post(EVENT::NewSelection, Key::MouseRight);
    }
    post(EVENT::AlertKey, Key::MouseRight);
  }
}

void ListControl::userMouseMove(int x, int y, bool leftHeld) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  m_move = hitTest(x, y);
  if (m_resizing && leftHeld) {
    int left = 0, width = 0;
    if (columnSpanPx(m_resizing, left, width)) {
      m_columns[static_cast<size_t>(m_resizing - 1)].width = std::max(1, dluX(x - left));
      changedLayout();
    }
    return;
  }
  if (!m_pressed || !leftHeld || m_dragId.empty() || m_down.row <= 0 || m_dragging) return;
  if (std::abs(y - m_pressY) + std::abs(x - m_pressX) < QApplication::startDragDistance()) return;
  m_dragging = true;
  post(EVENT::Dragging);
}

void ListControl::userMouseRelease(int x, int y, int button) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  m_up = hitTest(x, y);
  if (button != 1) return;
  m_pressed = false;
  if (m_resizing) {
    m_resizing = 0;
    return;
  }
  if (m_dragging) {
    m_dragging = false;
    if (m_up.row > 0) {
      post(EVENT::Drag);
      post(EVENT::Drop);
    }
  }
}

void ListControl::userKey(int keycode, std::string_view text) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  int key = keycode & ~Key::ModifierMask;
  bool ctrl = keycode & Key::Ctrl;
  int n = static_cast<int>(m_rows.size());
  auto found = std::find(m_rows.begin(), m_rows.end(), m_selected);
  int cur = found == m_rows.end() ? -1 : static_cast<int>(found - m_rows.begin());
  int page = items();
  switch (key) {
    case Key::Up:
      if (m_immediate && cur <= 0) post(EVENT::ScrollUp, keycode);
      else moveSelection(cur - 1, keycode);
      return;
    case Key::Down:
      if (m_immediate && cur >= n - 1) post(EVENT::ScrollDown, keycode);
      else moveSelection(cur + 1, keycode);
      return;
    case Key::PgUp:
      if (m_immediate) post(EVENT::PageUp, keycode);
      else moveSelection(std::max(0, cur - page), keycode);
      return;
    case Key::PgDn:
      if (m_immediate) post(EVENT::PageDown, keycode);
      else moveSelection(cur + page, keycode);
      return;
    case Key::Home:
      if (m_immediate) post(EVENT::ScrollTop, keycode);
      else moveSelection(0, keycode);
      return;
    case Key::End:
      if (m_immediate) post(EVENT::ScrollBottom, keycode);
      else moveSelection(n - 1, keycode);
      return;
    case Key::Left:
    case Key::Right: {
      int step = key == Key::Left ? -1 : 1;
      if (m_column > 0) {
        int next = std::clamp(m_column + step, 1, std::max(1, columnCount()));
        if (next != m_column) {
          m_column = next;
          changedLayout();
          post(EVENT::NewSelection, keycode);
        }
      } else if (m_hscroll) {
        userHScroll(m_hpos + step);
      }
      return;
    }
    case Key::Enter: post(EVENT::Accepted, keycode); return;
    default: break;
  }
  (void)ctrl;
  bool printable = !text.empty() && static_cast<unsigned char>(text.front()) >= 32 && text.front() != 127;
  if (m_typeAhead && !(keycode & (Key::Ctrl | Key::Alt)) && (printable || key == Key::Backspace)) {
    m_lastChar = printable ? std::string(text) : std::string();
    post(EVENT::AlertKey, keycode);
  }
}

void ListControl::userWheel(int notches) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  if (m_immediate) {
    for (int i = 0; i < std::abs(notches); ++i) post(notches > 0 ? EVENT::ScrollUp : EVENT::ScrollDown);
    return;
  }
  int maxTop = std::max(0, static_cast<int>(m_rows.size()) - items());
  m_top = std::clamp(m_top - 3 * notches, 0, maxTop);
  display();
}

void ListControl::userScrollAction(int event, int percent) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  if (event == EVENT::ScrollDrag) m_vpos = std::clamp(percent, 0, 100);
  post(event);
}

void ListControl::userHScroll(int pos) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  int movable = 0;
  for (const ListColumn& c : m_columns)
    if (!c.fixed) ++movable;
  m_hpos = std::clamp(pos, 0, std::max(0, movable - 1));
  changedLayout();
}

// ---- view --------------------------------------------------------------------------------------

QWidget* ListControl::createView(QWidget* parent) {
  auto* v = new ListView(parent, this);
  m_view = v;
  return v;
}

void ListControl::syncView() {
  if (!m_view || m_syncing) return;
  m_syncing = true;
  Control::syncView();
  auto* v = static_cast<ListView*>(m_view);
  if (m_records != (m_queue ? m_queue->records() : 0)) refreshRows();
  v->syncBars();
  v->viewport()->update();
  m_syncing = false;
}

}  // namespace ov::ui
