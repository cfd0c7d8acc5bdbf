#include "platform/ui/window_resize_class.h"

#include "platform/ui/runtime.h"

namespace ov::ui {

void WindowResizeClass::Init(WindowManager& manager, AppStrategy strategy) {
  m_manager = &manager;
  Window& w = manager.window();
  w.autoLayout(false);  // the strategies below lay the window out
  m_width = static_cast<int>(w.propInt(0, Prop::Width));
  m_height = static_cast<int>(w.propInt(0, Prop::Height));
  m_strategies.clear();
  for (int feq : w.fields()) {
    Control* c = w.control(feq);
    Placement p;
    p.origin = c->rect();
    if (strategy == AppStrategy::Surface) {
      switch (c->kind()) {
        case Kind::Button:
          p.h = Horizontal::FixRight;
          p.v = Vertical::FixBottom;
          break;
        case Kind::Text:
        case Kind::List:
        case Kind::Sheet:
          p.h = Horizontal::Resize;
          p.v = Vertical::Resize;
          break;
        default: break;
      }
    }
    m_strategies[feq] = p;
  }
}

void WindowResizeClass::SetMinSize(int width, int height) {
  if (!m_manager) return;
  m_manager->window().setProp(0, Prop::MinWidth, width);
  m_manager->window().setProp(0, Prop::MinHeight, height);
}

void WindowResizeClass::SetStrategy(int feq, Horizontal h, Vertical v) {
  auto it = m_strategies.find(feq);
  if (it == m_strategies.end()) return;
  it->second.h = h;
  it->second.v = v;
}

void WindowResizeClass::Resize() {
  if (!m_manager || !m_width || !m_height) return;
  Window& w = m_manager->window();
  bool pixels = w.propInt(0, Prop::Pixels) != 0;
  if (pixels) w.setProp(0, Prop::Pixels, 0);
  int dw = static_cast<int>(w.propInt(0, Prop::Width)) - m_width;
  int dh = static_cast<int>(w.propInt(0, Prop::Height)) - m_height;
  for (auto& [feq, p] : m_strategies) {
    Control* c = w.control(feq);
    if (!c) continue;
    Rect r = p.origin;
    if (p.h == Horizontal::FixRight) r.x += dw;
    if (p.h == Horizontal::Resize && r.w > 0) r.w = std::max(1, r.w + dw);
    if (p.v == Vertical::FixBottom) r.y += dh;
    if (p.v == Vertical::Resize && r.h > 0) r.h = std::max(1, r.h + dh);
    c->at(r.x, r.y, r.w, r.h);
  }
  if (pixels) w.setProp(0, Prop::Pixels, 1);
}

Level WindowResizeClass::TakeEvent() {
  if (EVENT() == EVENT::Sized && !FIELD()) Resize();
  return Level::Benign;
}

}  // namespace ov::ui
