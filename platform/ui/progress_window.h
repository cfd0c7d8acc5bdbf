// A progress window for long work done in steps: a line of text, a bar, the percentage and a
// Cancel button. Every timer event of the window runs the step function (repeatedly, for up to
// 50 ms) until it reports the work done; Cancel stops before the next step. Run() answers
// RequestCompleted when the work finished and RequestCancelled when it was cancelled: what the
// steps already did stays done.
//
//   ProgressWindow p("Copying Template", [&](ProgressWindow& w) {
//     copyOne(i++);
//     w.setProgress(i, total);
//     return i < total ? ProgressWindow::Step::More : ProgressWindow::Step::Done;
//   });
//   int response = p.Run();
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/ui/window_manager.h"

namespace ov::ui {

class ProgressWindow : public WindowManager {
 public:
  enum class Step { More, Done };
  using StepFn = std::function<Step(ProgressWindow&)>;

  ProgressWindow(std::string title, StepFn step, std::string procedureName = "ProgressWindow");
  void setText(std::string_view text);
  void setProgress(int64_t done, int64_t total);
  int percent() const { return m_percent; }
  bool isCancelled() const { return m_cancelled; }
  bool isFinished() const { return m_finished; }

  Level Init() override;
  Level TakeAccepted() override;
  Level TakeWindowEvent() override;

  int textControl() const { return m_text; }
  int barControl() const { return m_bar; }
  int percentControl() const { return m_pct; }
  int cancelControl() const { return m_cancel; }

 private:
  std::string m_title;
  StepFn m_step;
  int m_text = 0, m_bar = 0, m_pct = 0, m_cancel = 0;
  int m_percent = 0;
  bool m_cancelled = false, m_finished = false;
};

}  // namespace ov::ui
