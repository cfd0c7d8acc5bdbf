#include "platform/ui/testing/list_driver.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/event.h"
#include "platform/ui/popup_class.h"
#include "platform/ui/window.h"

namespace ov::ui::test {
namespace {

Window* windowOf(Handle h) {
  Window* w = nullptr;
  int feq = 0;
  if (!detail::Runtime::get().resolveHandle(h, w, feq) || feq != 0) return nullptr;
  return w;
}

QWidget* viewportOf(ListControl* l) {
  auto* area = l ? qobject_cast<QAbstractScrollArea*>(l->view()) : nullptr;
  return area ? area->viewport() : nullptr;
}

std::pair<int, Qt::KeyboardModifiers> qtKey(int code) {
  Qt::KeyboardModifiers mods;
  if (code & Key::Shift) mods |= Qt::ShiftModifier;
  if (code & Key::Ctrl) mods |= Qt::ControlModifier;
  if (code & Key::Alt) mods |= Qt::AltModifier;
  int vk = code & ~Key::ModifierMask;
  if (vk >= 65 && vk <= 90) return {Qt::Key_A + (vk - 65), mods};
  if (vk >= 48 && vk <= 57) return {Qt::Key_0 + (vk - 48), mods};
  if (vk >= Key::F1 && vk <= Key::F1 + 11) return {Qt::Key_F1 + (vk - Key::F1), mods};
  switch (vk) {
    case Key::Enter: return {Qt::Key_Return, mods};
    case Key::Esc: return {Qt::Key_Escape, mods};
    case Key::Tab: return {Qt::Key_Tab, mods};
    case Key::Backspace: return {Qt::Key_Backspace, mods};
    case Key::Space: return {Qt::Key_Space, mods};
    case Key::PgUp: return {Qt::Key_PageUp, mods};
    case Key::PgDn: return {Qt::Key_PageDown, mods};
    case Key::End: return {Qt::Key_End, mods};
    case Key::Home: return {Qt::Key_Home, mods};
    case Key::Left: return {Qt::Key_Left, mods};
    case Key::Up: return {Qt::Key_Up, mods};
    case Key::Right: return {Qt::Key_Right, mods};
    case Key::Down: return {Qt::Key_Down, mods};
    case Key::Insert: return {Qt::Key_Insert, mods};
    case Key::Delete: return {Qt::Key_Delete, mods};
    default: return {0, mods};
  }
}

}  // namespace

ListDriver::ListDriver(Driver& d, const WindowDriver& w, std::string list)
    : m_driver(&d), m_window(w), m_name(std::move(list)) {}

ListControl* ListDriver::list() const {
  Window* w = windowOf(m_window.handle());
  if (!w) {
    ADD_FAILURE() << "the window of list " << m_name << " is not open";
    return nullptr;
  }
  auto* l = dynamic_cast<ListControl*>(w->control(m_name));
  if (!l) ADD_FAILURE() << "no list " << m_name << " on \"" << w->title() << "\"";
  return l;
}

std::vector<std::vector<ListCell>> ListDriver::rows() const {
  std::vector<std::vector<ListCell>> out;
  m_driver->gui([&] {
    ListControl* l = list();
    if (!l || !l->queue()) return;
    for (int pos = 1; pos <= l->queue()->records(); ++pos) {
      std::vector<ListCell> row;
      for (int c = 1; c <= l->columnCount(); ++c) row.push_back(l->cell(pos, c));
      out.push_back(std::move(row));
    }
  });
  return out;
}

std::vector<std::string> ListDriver::texts(int column) const {
  std::vector<std::string> out;
  m_driver->gui([&] {
    ListControl* l = list();
    if (!l) return;
    for (int pos : l->shownRows()) out.push_back(l->cell(pos, column).text);
  });
  return out;
}

int ListDriver::selected() const {
  int s = 0;
  m_driver->gui([&] {
    if (ListControl* l = list()) s = l->selected();
  });
  return s;
}

int ListDriver::items() const {
  int n = 0;
  m_driver->gui([&] {
    if (ListControl* l = list()) n = l->items();
  });
  return n;
}

std::string ListDriver::prop(int p) const {
  std::string v;
  m_driver->gui([&] {
    if (ListControl* l = list()) v = l->prop(p);
  });
  return v;
}

std::string ListDriver::propList(int p, int column) const {
  std::string v;
  m_driver->gui([&] {
    if (ListControl* l = list()) v = l->propList(p, column);
  });
  return v;
}

ListDriver::Point ListDriver::cellPoint(int row, int column, bool scroll) const {
  Point pt;
  m_driver->gui([&] {
    ListControl* l = list();
    if (!l) return;
    if (scroll) {
      l->scrollToRow(row);
      l->display();
    }
    for (int c = column; c <= std::max(column, l->columnCount()); ++c) {
      Rect r;
      if (l->cellRectPx(row, c, r)) {
        pt = Point{r.x + r.w / 2, r.y + r.h / 2, true};
        return;
      }
      if (column > 0) break;
    }
  });
  if (!pt.ok) ADD_FAILURE() << "row " << row << " of " << m_name << " is not in sight";
  return pt;
}

ListDriver::Point ListDriver::headerPoint(int column, bool border) const {
  Point pt;
  m_driver->gui([&] {
    ListControl* l = list();
    if (!l) return;
    int left = 0, width = 0;
    int hh = l->headerHeightPx();
    if (hh <= 0 || !l->columnSpanPx(column, left, width)) return;
    pt = Point{border ? left + width - 1 : left + width / 2, hh / 2, true};
  });
  if (!pt.ok) ADD_FAILURE() << "the header of column " << column << " of " << m_name << " is not in sight";
  return pt;
}

void ListDriver::mouse(int type, Point at, int button, int buttons) const {
  if (!at.ok) return;
  m_driver->gui([&] {
    QWidget* vp = viewportOf(list());
    if (!vp) {
      ADD_FAILURE() << m_name << " has no view";
      return;
    }
    QPointF local(at.x, at.y);
    QMouseEvent ev(static_cast<QEvent::Type>(type), local, vp->mapToGlobal(local), static_cast<Qt::MouseButton>(button),
                   static_cast<Qt::MouseButtons>(buttons), Qt::NoModifier);
    QApplication::sendEvent(vp, &ev);
  });
}

void ListDriver::select(int row) { clickCell(row, 0); }

void ListDriver::clickCell(int row, int column) {
  Point pt = cellPoint(row, column, true);
  mouse(QEvent::MouseButtonPress, pt, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, pt, Qt::LeftButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::doubleClick(int row) {
  Point pt = cellPoint(row, 0, true);
  mouse(QEvent::MouseButtonPress, pt, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, pt, Qt::LeftButton, Qt::NoButton);
  mouse(QEvent::MouseButtonDblClick, pt, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, pt, Qt::LeftButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::rightClick(int row) {
  Point pt = cellPoint(row, 0, true);
  mouse(QEvent::MouseButtonPress, pt, Qt::RightButton, Qt::RightButton);
  mouse(QEvent::MouseButtonRelease, pt, Qt::RightButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::clickBelowRows() {
  Point pt;
  m_driver->gui([&] {
    ListControl* l = list();
    QWidget* vp = viewportOf(l);
    if (!l || !vp) return;
    int used = l->headerHeightPx() + static_cast<int>(l->shownRows().size() - l->topIndex()) * l->rowHeightPx();
    if (used + 2 < vp->height()) pt = Point{2, used + 2, true};
  });
  if (!pt.ok) ADD_FAILURE() << m_name << " has no room below its rows";
  mouse(QEvent::MouseButtonPress, pt, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, pt, Qt::LeftButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::clickHeader(int column) {
  Point pt = headerPoint(column, false);
  mouse(QEvent::MouseButtonPress, pt, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, pt, Qt::LeftButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::rightClickHeader(int column) {
  Point pt = headerPoint(column, false);
  mouse(QEvent::MouseButtonPress, pt, Qt::RightButton, Qt::RightButton);
  mouse(QEvent::MouseButtonRelease, pt, Qt::RightButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::dragHeader(int column, int toColumn) {
  Point from = headerPoint(column, false);
  Point to = headerPoint(toColumn, false);
  if (!from.ok || !to.ok) return;
  mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  for (int i = 1; i <= 4; ++i) {
    Point step{from.x + (to.x - from.x) * i / 4, from.y, true};
    mouse(QEvent::MouseMove, step, Qt::NoButton, Qt::LeftButton);
  }
  mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::dragBorder(int column, int dx) {
  Point from = headerPoint(column, true);
  if (!from.ok) return;
  mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  Point to{from.x + dx, from.y, true};
  mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::dragRow(int row, int toRow) {
  Point from = cellPoint(row, 0, true);
  Point to = cellPoint(toRow, 0, false);
  if (!from.ok || !to.ok) return;
  mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  for (int i = 1; i <= 4; ++i) {
    Point step{from.x, from.y + (to.y - from.y) * i / 4, true};
    mouse(QEvent::MouseMove, step, Qt::NoButton, Qt::LeftButton);
  }
  mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::clickExpandBox(int row) {
  Point pt;
  m_driver->gui([&] {
    ListControl* l = list();
    if (!l) return;
    for (int c = 1; c <= l->columnCount(); ++c) {
      if (!l->columns()[static_cast<size_t>(c - 1)].tree) continue;
      Rect r;
      if (!l->cellRectPx(row, c, r)) return;
      int level = std::max(1, std::abs(l->cell(row, c).level));
      pt = Point{r.x + 2 + (level - 1) * 12 + 4, r.y + r.h / 2, true};
    }
  });
  if (!pt.ok) ADD_FAILURE() << "row " << row << " of " << m_name << " has no tree box in sight";
  mouse(QEvent::MouseButtonPress, pt, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, pt, Qt::LeftButton, Qt::NoButton);
  m_driver->settle();
}

void ListDriver::key(int keycode) {
  m_driver->gui([&] {
    ListControl* l = list();
    if (!l || !l->view()) return;
    auto [k, mods] = qtKey(keycode);
    if (!k) {
      ADD_FAILURE() << "key code " << keycode << " cannot be pressed";
      return;
    }
    QTest::keyClick(l->view(), static_cast<Qt::Key>(k), mods);
  });
  m_driver->settle();
}

void ListDriver::type(std::string_view text) {
  for (char c : text) {
    m_driver->gui([&] {
      ListControl* l = list();
      if (l && l->view()) QTest::keyClick(l->view(), c);
    });
    m_driver->settle();
  }
}

void ListDriver::wheel(int notches) {
  m_driver->gui([&] {
    QWidget* vp = viewportOf(list());
    if (!vp) return;
    QPointF at(vp->width() / 2.0, vp->height() / 2.0);
    QWheelEvent ev(at, vp->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(vp, &ev);
  });
  m_driver->settle();
}

std::vector<PopupItem> ListDriver::popup() const {
  std::vector<PopupItem> items;
  m_driver->gui([&] {
    ListControl* l = list();
    if (!l) return;
    if (!l->popup()) {
      ADD_FAILURE() << m_name << " has no popup";
      return;
    }
    items = l->popup()->Items();
  });
  return items;
}

}  // namespace ov::ui::test
