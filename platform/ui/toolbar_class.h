// ToolbarClass: the application frame's standard toolbar buttons act on the active window.
//
// The frame's toolbar carries buttons with the standard numbers below. Pressing one on the frame
// posts EVENT:Accepted with that number to the thread of the active MDI child (the frame gets it
// itself when no child is open); there the window's ToolbarClass hands it to its current target
// (a browse list or a form) and answers the event as taken. A window with several targets switches
// between them as the focus moves to a target's control.
//
// Threading: GUI thread only.
#pragma once

#include <vector>

#include "platform/ui/window_manager.h"

namespace ov::ui {

namespace Toolbar {
constexpr int Insert = -3001;
constexpr int Change = -3002;
constexpr int Delete = -3003;
constexpr int Select = -3004;
constexpr int Top = -3005;
constexpr int PageUp = -3006;
constexpr int Up = -3007;
constexpr int Locate = -3008;
constexpr int Down = -3009;
constexpr int PageDown = -3010;
constexpr int Bottom = -3011;
constexpr int History = -3012;
constexpr int Help = -3013;
constexpr int First = Help;   // the lowest number
constexpr int Last = Insert;  // the highest number
constexpr bool isStandard(int feq) { return feq >= First && feq <= Last; }
}  // namespace Toolbar

// What a toolbar acts on.
class ToolbarTarget {
 public:
  virtual ~ToolbarTarget() = default;
  // Carries out a standard toolbar control's action.
  virtual void TakeToolbar(int control) = 0;
  // Whether the control can act now (the frame's button is enabled accordingly).
  virtual bool ToolbarEnabled(int control) const { return control != Toolbar::History && control != Toolbar::Help; }
};

class ToolbarClass : public WindowComponent {
 public:
  void Init(WindowManager& manager) { m_manager = &manager; }
  // A target and the control of the window that stands for it (the list, say).
  void AddTarget(ToolbarTarget& target, int control);
  // Makes the target of `control` the current one.
  void SetTarget(int control);
  ToolbarTarget* target() const;
  // Enables the frame's standard buttons by what the current target can do.
  void DisplayButtons();

  Level TakeEvent() override;
  void Kill() override { m_targets.clear(); }

 private:
  WindowManager* m_manager = nullptr;
  std::vector<std::pair<ToolbarTarget*, int>> m_targets;
  int m_current = 0;
};

// The thread of the frame's active MDI child; the frame's own thread when none is open.
int activeMdiThread();

}  // namespace ov::ui
