#include "winclasses/qv_mouse_wheel_class.h"

#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/ui/event.h"
#include "platform/ui/list_control.h"
#include "platform/ui/runtime.h"

namespace ov::winclasses {

namespace {

constexpr int kNotch = 120;

struct Hooked {
  QVMouseWheelClass* CLASS = nullptr;
  int32_t HWNDPROC = 0;
};

// The hooked windows of the process, by handle.
std::map<ui::Handle, Hooked>& windowTable() {
  static std::map<ui::Handle, Hooked> table;
  return table;
}

bool isWheelAware(ui::Kind k) {
  return k == ui::Kind::Text || k == ui::Kind::List || k == ui::Kind::Combo || k == ui::Kind::DropList ||
         k == ui::Kind::DropCombo;
}

ui::ProcNumber ownProc() { return ui::windowProcNumber(&QVMouseWheelClass::WheelWindowProc); }

// Entries a list or combo can select.
int entriesOf(const ui::Control& c) {
  if (auto* l = dynamic_cast<const ui::ListControl*>(&c)) return l->queue() ? l->queue()->records() : 0;
  if (auto* lc = dynamic_cast<const ui::ListChoice*>(&c)) return static_cast<int>(lc->items().size());
  return 0;
}

}  // namespace

QVMouseWheelClass::~QVMouseWheelClass() {
  auto it = windowTable().find(HWND);
  if (HWND && it != windowTable().end() && it->second.CLASS == this) {
    // The window is still open without a Kill: hand it back its former procedure if it still has
    // ours. A window that has gone is not touched.
    std::vector<ui::Window*> open = ui::openWindows();
    bool isOpen = std::find(open.begin(), open.end(), m_window) != open.end();
    if (isOpen && m_window->handle() == HWND && m_window->propInt(0, ui::Prop::WndProc) == ownProc())
      m_window->setProp(0, ui::Prop::WndProc, static_cast<int64_t>(HWNDPROC));
    windowTable().erase(it);
  }
}

void QVMouseWheelClass::Init() {
  ui::Window* w = ui::currentWindow();
  if (!w) return;
  if (windowTable().count(w->handle())) return;  // the window's first object keeps it
  TARGETQ.clear();
  for (int feq : w->allControls()) {
    ui::Control* c = w->control(feq);
    if (c && isWheelAware(c->kind())) TARGETQ.push_back(feq);
  }
  std::sort(TARGETQ.begin(), TARGETQ.end());
  if (TARGETQ.empty()) {
    HWND = 0;
    HWNDPROC = 0;
    return;
  }
  m_window = w;
  HWND = w->handle();
  HWNDPROC = static_cast<int32_t>(w->propInt(0, ui::Prop::WndProc));
  windowTable()[HWND] = Hooked{this, HWNDPROC};
  w->setProp(0, ui::Prop::WndProc, static_cast<int64_t>(ownProc()));
}

void QVMouseWheelClass::Kill() {
  TARGETQ.clear();
  if (m_window && HWNDPROC != 0 && m_window->propInt(0, ui::Prop::WndProc) == ownProc()) {
    m_window->setProp(0, ui::Prop::WndProc, static_cast<int64_t>(HWNDPROC));
    auto it = windowTable().find(HWND);
    if (it != windowTable().end() && it->second.CLASS == this) windowTable().erase(it);
  }
}

ui::LRESULT QVMouseWheelClass::WheelWindowProc(ui::Handle hwnd, uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
  auto it = windowTable().find(hwnd);
  if (it == windowTable().end()) return 1;
  QVMouseWheelClass* self = it->second.CLASS;
  if (msg != ui::WM::MouseWheel) return ui::CallWindowProc(it->second.HWNDPROC, hwnd, msg, wParam, lParam);
  if (!self->m_busy) {
    self->m_busy = true;
    self->takeWheel(wParam, lParam);
    self->m_busy = false;
  }
  return 1;
}

void QVMouseWheelClass::takeWheel(ui::WPARAM wParam, ui::LPARAM lParam) {
  // The delta is the signed high word; the low word holds the keys and buttons held.
  int delta = ui::GET_WHEEL_DELTA_WPARAM(wParam);
  if (delta == 0) return;
  if ((delta < 0) != (m_delta < 0)) m_delta = 0;  // a turn the other way starts afresh
  m_delta += delta;
  TURNS = std::abs(m_delta) / kNotch;
  m_delta -= (m_delta < 0 ? -TURNS : TURNS) * kNotch;
  if (TURNS == 0) return;
  // The mouse in the window's coordinates, as the controls' positions read.
  m_mouseX = m_mouseY = -1;
  if (m_window) {
    if (QWidget* client = m_window->clientView() ? m_window->clientView() : m_window->view()) {
      QPoint p = client->mapFromGlobal(QPoint(ui::GET_X_LPARAM(lParam), ui::GET_Y_LPARAM(lParam)));
      bool pixels = m_window->propInt(0, ui::Prop::Pixels) != 0;
      m_mouseX = pixels ? p.x() : m_window->pxToDluX(p.x());
      m_mouseY = pixels ? p.y() : m_window->pxToDluY(p.y());
    }
  }
  if (delta < 0)
    WheelDown();
  else
    WheelUp();
}

int QVMouseWheelClass::FindTarget() const {
  if (!m_window) return 0;
  ui::Window& w = *m_window;
  int focus = w.focus();
  if (focus && std::binary_search(TARGETQ.begin(), TARGETQ.end(), focus)) return focus;
  auto visible = [&](int feq) { return w.propInt(feq, ui::Prop::Visible) != 0; };
  for (int feq : TARGETQ) {
    if (!visible(feq)) continue;
    int64_t x = w.propInt(feq, ui::Prop::Xpos), y = w.propInt(feq, ui::Prop::Ypos);
    int64_t right = x + w.propInt(feq, ui::Prop::Width), bottom = y + w.propInt(feq, ui::Prop::Height);
    if (m_mouseX >= x && m_mouseX <= right && m_mouseY >= y && m_mouseY <= bottom) return feq;
  }
  for (int feq : TARGETQ)
    if (visible(feq)) return feq;
  return 0;
}

void QVMouseWheelClass::WheelUp() { move(false); }

void QVMouseWheelClass::WheelDown() { move(true); }

void QVMouseWheelClass::move(bool down) {
  int feq = FindTarget();
  if (!feq) return;
  ui::Window& w = *m_window;
  ui::SETKEYCODE(0);
  for (int i = 0; i < TURNS; ++i) {
    ui::Control* c = w.control(feq);
    if (!c) return;
    if (c->kind() == ui::Kind::Text) {
      w.select(feq);
      ui::PRESSKEY(down ? ui::Key::Down : ui::Key::Up);
    } else if (c->prop(ui::Prop::Immediate) != "") {
      w.post(down ? ui::EVENT::ScrollDown : ui::EVENT::ScrollUp, feq);
    } else {
      int n = entriesOf(*c);
      if (n == 0) continue;
      int choice = std::clamp(w.choice(feq) + (down ? 1 : -1), 1, n);
      w.setProp(feq, ui::Prop::Selected, choice);
      w.post(ui::EVENT::NewSelection, feq);
    }
  }
}

}  // namespace ov::winclasses
