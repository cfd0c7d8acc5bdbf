#include "dialogs/single_instance.h"

#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "scheduler/open_window_list.h"

namespace ov::dialogs {

bool SingleInstance::Init(ui::WindowManager& manager) {
  const std::string& name = manager.procedureName();
  if (int other = scheduler::openWindowThread(name); other && ui::isThreadRunning(other) && other != ui::THREAD()) {
    ui::POST(ui::EVENT::GainFocus, 0, other);
    return false;
  }
  m_manager = &manager;
  m_thread = ui::THREAD();
  scheduler::enterOpenWindow(name, m_thread);
  manager.AddItem(*this);
  return true;
}

ui::Level SingleInstance::TakeEvent() {
  if (m_manager && ui::EVENT() == ui::EVENT::GainFocus && ui::FIELD() == 0) {
    ui::Window& w = m_manager->window();
    if (w.propInt(0, ui::Prop::Iconize)) w.setProp(0, ui::Prop::Iconize, 0);
    w.setProp(0, ui::Prop::Active, 1);
  }
  return ui::Level::Benign;
}

void SingleInstance::Kill() {
  if (m_manager) scheduler::leaveOpenWindow(m_manager->procedureName(), m_thread);
  m_manager = nullptr;
}

}  // namespace ov::dialogs
