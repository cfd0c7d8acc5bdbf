#include "platform/ui/progress_window.h"

#include <chrono>

#include "platform/ui/runtime.h"

namespace ov::ui {

ProgressWindow::ProgressWindow(std::string title, StepFn step, std::string procedureName)
    : WindowManager(std::move(procedureName)), m_title(std::move(title)), m_step(std::move(step)) {}

Level ProgressWindow::Init() {
  Window& w = window();
  w.setTitle(m_title);
  w.at(-1, -1, 180, 66);
  m_text = w.string("?Progress:UserString", "").at(6, 6, 168, 10).feq();
  m_bar = w.progress("?Progress:Thermometer").range(0, 100).at(6, 20, 168, 12).feq();
  m_pct = w.string("?Progress:PctText", "0% Completed").at(6, 35, 168, 10).feq();
  m_cancel = w.button("?Progress:Cancel", "Cancel").at(65, 48, 50, 14).feq();
  CancelControl = m_cancel;
  w.timer(1);
  Open();
  return Level::Benign;
}

void ProgressWindow::setText(std::string_view text) { window().setProp(m_text, Prop::Text, text); }

void ProgressWindow::setProgress(int64_t done, int64_t total) {
  int pct = total > 0 ? static_cast<int>(done * 100 / total) : 0;
  pct = std::min(std::max(pct, 0), 100);
  if (pct == m_percent && window().propInt(m_bar, Prop::Progress) == pct) return;
  m_percent = pct;
  window().setProp(m_bar, Prop::Progress, pct);
  window().setProp(m_pct, Prop::Text, std::to_string(pct) + "% Completed");
}

Level ProgressWindow::TakeAccepted() {
  if (ACCEPTED() == m_cancel) {
    m_cancelled = true;
    window().setProp(0, Prop::Timer, 0);
    SetResponse(RequestCancelled);
    return Level::Notify;
  }
  return WindowManager::TakeAccepted();
}

Level ProgressWindow::TakeWindowEvent() {
  if (EVENT() == EVENT::Timer && !m_cancelled && !m_finished) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    while (!m_finished && !m_cancelled && !isDone()) {
      if (m_step(*this) == Step::Done) {
        m_finished = true;
        window().setProp(0, Prop::Timer, 0);
        setProgress(1, 1);
        SetResponse(RequestCompleted);
        break;
      }
      if (std::chrono::steady_clock::now() > until) break;
    }
    return Level::Benign;
  }
  return WindowManager::TakeWindowEvent();
}

}  // namespace ov::ui
