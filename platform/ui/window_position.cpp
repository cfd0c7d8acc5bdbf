#include "platform/ui/window_position.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

#include "platform/rt/command_line.h"
#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"

namespace ov::ui {

namespace {

rt::WindowPlace placeOf(const Window& w) {
  rt::WindowPlace place;
  place.x = int(w.propInt(0, Prop::Xpos));
  place.y = int(w.propInt(0, Prop::Ypos));
  place.width = int(w.propInt(0, Prop::Width));
  place.height = int(w.propInt(0, Prop::Height));
  place.maximized = w.propInt(0, Prop::Maximize) != 0;
  place.minimized = w.propInt(0, Prop::Iconize) != 0;
  place.resizable = w.propInt(0, Prop::Resize) != 0;
  return place;
}

// A window placed off every screen (one since unplugged, a smaller resolution) comes back onto the
// nearest screen, whole where it fits. A window counts as on a screen while a piece of its title
// bar that a mouse can take hold of is.
void bringOnScreen(Window& window) {
  QWidget* top = window.view();
  if (!top || !top->isWindow() || window.propInt(0, Prop::Maximize) != 0) return;
  const QRect frame = detail::frameRect(top);
  const QRect grip(frame.topLeft(), QSize(std::min(frame.width(), 64), 16));
  const auto screens = QGuiApplication::screens();
  for (QScreen* screen : screens) {
    QRect on = screen->availableGeometry().intersected(grip);
    if (on.width() >= std::min(grip.width(), 32) && on.height() >= 8) return;
  }
  QScreen* screen = QGuiApplication::screenAt(frame.center());
  if (!screen) {
    // The screen whose centre lies nearest.
    int best = -1;
    for (QScreen* s : screens) {
      int d = (s->availableGeometry().center() - frame.center()).manhattanLength();
      if (best < 0 || d < best) best = d, screen = s;
    }
  }
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  QPoint to(std::clamp(frame.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width())),
            std::clamp(frame.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height())));
  if (top->windowHandle() && top->isVisible())
    top->windowHandle()->setFramePosition(to);
  else
    top->move(to);
}

}  // namespace

bool FetchWindowPosition(const rt::INIClass& ini, std::string_view procedure, Window& window) {
  rt::WindowPlace place = placeOf(window);
  const bool wasMaximized = place.maximized;
  if (!ini.Fetch(procedure, place)) return false;
  if (!place.maximized && wasMaximized) window.setProp(0, Prop::Maximize, 0);
  if (!ini.TryFetch(procedure, "XPos").empty()) {
    window.setProp(0, Prop::Xpos, place.x);
    window.setProp(0, Prop::Ypos, place.y);
    if (place.resizable) {
      // The controls follow the restored size as they follow the user's.
      const bool pixels = window.propInt(0, Prop::Pixels) != 0;
      if (pixels) window.setProp(0, Prop::Pixels, 0);
      const int w0 = int(window.propInt(0, Prop::Width)), h0 = int(window.propInt(0, Prop::Height));
      if (pixels) window.setProp(0, Prop::Pixels, 1);
      window.setProp(0, Prop::Width, place.width);
      window.setProp(0, Prop::Height, place.height);
      window.followSize(w0, h0);
    }
  }
  if (place.maximized != (window.propInt(0, Prop::Maximize) != 0)) window.setProp(0, Prop::Maximize, place.maximized ? 1 : 0);
  bringOnScreen(window);
  return true;
}

rt::Err UpdateWindowPosition(rt::INIClass& ini, std::string_view procedure, const Window& window) {
  return ini.Update(procedure, placeOf(window));
}

void SaveWindowPosition(rt::INIClass& ini, const Window& window, std::string_view procedure) {
  if (window.propInt(0, Prop::Hide) != 0 || window.propInt(0, Prop::Iconize) != 0) return;
  if ((window.propInt(0, Prop::Xpos) < 0 || window.propInt(0, Prop::Ypos) < 0) && window.propInt(0, Prop::Maximize) == 0)
    return;
  (void)UpdateWindowPosition(ini, procedure, window);  // a position that cannot be stored is no reason to stop
}

void FixNegativePosition(Window& window) {
  if (!rt::COMMAND("/NEGXY").empty()) return;
  if (window.propInt(0, Prop::Maximize) != 0) return;
  if (window.propInt(0, Prop::Xpos) < 0) window.setProp(0, Prop::Xpos, 1);
  if (window.propInt(0, Prop::Ypos) < 0) window.setProp(0, Prop::Ypos, 1);
}

void WindowPositionKeeper::Init(WindowManager& manager, rt::INIClass& ini, bool saveOnMove) {
  m_manager = &manager;
  m_ini = &ini;
  m_saveOnMove = saveOnMove;
  (void)FetchWindowPosition(ini, manager.procedureName(), manager.window());
  manager.AddItem(*this);
}

Level WindowPositionKeeper::TakeEvent() {
  if (m_manager && FIELD() == 0 && (EVENT() == EVENT::Moved || EVENT() == EVENT::Sized)) {
    FixNegativePosition(m_manager->window());
    if (m_saveOnMove && m_ini) SaveWindowPosition(*m_ini, m_manager->window(), m_manager->procedureName());
  }
  return Level::Benign;
}

void WindowPositionKeeper::Kill() {
  if (m_manager && m_ini && m_manager->window().isOpen())
    SaveWindowPosition(*m_ini, m_manager->window(), m_manager->procedureName());
  m_manager = nullptr;
}

}  // namespace ov::ui
