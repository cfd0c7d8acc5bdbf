#include "platform/ui/toolbar_class.h"

#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/runtime.h"

namespace ov::ui {

void ToolbarClass::AddTarget(ToolbarTarget& target, int control) {
  m_targets.emplace_back(&target, control);
  if (m_targets.size() == 1) m_current = control;
}

void ToolbarClass::SetTarget(int control) {
  for (auto& [t, c] : m_targets) {
    if (c == control) {
      m_current = control;
      DisplayButtons();
      return;
    }
  }
}

ToolbarTarget* ToolbarClass::target() const {
  for (auto& [t, c] : m_targets)
    if (c == m_current) return t;
  return nullptr;
}

void ToolbarClass::DisplayButtons() {
  Window* frame = detail::frameWindow();
  ToolbarTarget* t = target();
  if (!frame) return;
  for (int feq = Toolbar::First; feq <= Toolbar::Last; ++feq) {
    if (!frame->control(feq)) continue;
    frame->setProp(feq, Prop::Disable, t && t->ToolbarEnabled(feq) ? 0 : 1);
  }
}

Level ToolbarClass::TakeEvent() {
  int e = EVENT();
  int f = FIELD();
  if (e == EVENT::Accepted && Toolbar::isStandard(f)) {
    if (ToolbarTarget* t = target()) t->TakeToolbar(f);
    return Level::Notify;
  }
  if ((e == EVENT::Selected || e == EVENT::NewSelection) && f) SetTarget(f);
  if (e == EVENT::GainFocus || e == EVENT::OpenWindow) DisplayButtons();
  return Level::Benign;
}

}  // namespace ov::ui
