#include "winclasses/q_box_class.h"

#include <QGuiApplication>
#include <QStyleHints>

#include <algorithm>
#include <cstdlib>

#include "platform/rt/date_time.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"

namespace ov::winclasses {

namespace {
constexpr double kCentisecondsPerDay = 8640000.0;
constexpr int kNearPixels = 11;
}  // namespace

void QBoxClass::Init(ui::ListQueue& q, int32_t listControl) {
  Q = &q;
  LISTFEQ = listControl;
  m_window = ui::currentWindow();
  if (m_window) m_window->setProp(LISTFEQ, ui::Prop::Immediate, 1);
}

int QBoxClass::selected() const { return m_window ? static_cast<int>(m_window->propInt(LISTFEQ, ui::Prop::Selected)) : 0; }

void QBoxClass::Update() {
  int row = selected();
  if (Q && row >= 1 && row <= Q->records()) (void)Q->get(row);
}

void QBoxClass::UpdatePosition(int32_t row) {
  if (!m_window || !Q) return;
  row = std::max(row, 1);
  row = std::min(row, Q->records());
  m_window->setProp(LISTFEQ, ui::Prop::Selected, row);
  m_window->post(ui::EVENT::NewSelection, LISTFEQ);
}

void QBoxClass::ScrollUp() { UpdatePosition(selected() - 1); }
void QBoxClass::ScrollDown() { UpdatePosition(selected() + 1); }

void QBoxClass::PageUp() {
  if (m_window) UpdatePosition(selected() - static_cast<int>(m_window->propInt(LISTFEQ, ui::Prop::Items)));
}

void QBoxClass::PageDown() {
  if (m_window) UpdatePosition(selected() + static_cast<int>(m_window->propInt(LISTFEQ, ui::Prop::Items)));
}

void QBoxClass::Drag(int32_t percent) {
  if (Q) UpdatePosition(static_cast<int32_t>(static_cast<int64_t>(percent) * Q->records() / 100));
}

void QBoxClass::TakeAccepted(bool enterAccepts) {
  if (!m_window || ui::ACCEPTED() != LISTFEQ) return;
  ui::Window& w = *m_window;
  bool doubleClick = false;
  switch (ui::KEYCODE()) {
    case ui::Key::MouseLeft: {
      double now = rt::TODAY() + rt::CLOCK() / kCentisecondsPerDay;
      double interval = DoubleClickDays;
      if (interval <= 0) interval = QGuiApplication::styleHints()->mouseDoubleClickInterval() / 86400000.0;
      // Positions compare in pixels whatever units the window uses.
      bool pixels = w.propInt(0, ui::Prop::Pixels) != 0;
      int x = ui::MOUSEX(), y = ui::MOUSEY();
      int px = pixels ? x : w.dluToPxX(x), py = pixels ? y : w.dluToPxY(y);
      int lastPx = pixels ? LASTMOUSEX : w.dluToPxX(LASTMOUSEX), lastPy = pixels ? LASTMOUSEY : w.dluToPxY(LASTMOUSEY);
      if (now - LASTLEFTCLICK >= 0 && now - LASTLEFTCLICK <= interval && std::abs(px - lastPx) < kNearPixels &&
          std::abs(py - lastPy) < kNearPixels) {
        doubleClick = true;
      } else {
        LASTLEFTCLICK = now;
        LASTMOUSEX = x;
        LASTMOUSEY = y;
        return;
      }
      break;
    }
    case ui::Key::MouseLeft2: doubleClick = true; break;
    case ui::Key::Enter: doubleClick = enterAccepts; break;
    default: break;
  }
  if (!doubleClick) return;
  for (int feq : w.allControls()) {
    ui::Control* c = w.control(feq);
    if (c && c->kind() == ui::Kind::Button && w.propInt(feq, ui::Prop::Default)) {
      w.post(ui::EVENT::Accepted, feq);
      return;
    }
  }
}

}  // namespace ov::winclasses
