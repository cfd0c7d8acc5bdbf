// WindowResizeClass: keeps a window's controls in place or moves and stretches them with the
// window, and holds the window's minimum size.
//
// Strategies per control, against the size the window had when Init ran: Lock keeps the
// position, FixRight/FixBottom keep the distance to the right or bottom edge, Resize stretches
// the control by the window's growth. Init's strategy sets every control: KeepControls locks all;
// Surface moves buttons with the bottom-right corner and stretches text boxes, lists and sheets.
//
// Threading: GUI thread only.
#pragma once

#include <map>

#include "platform/ui/window_manager.h"

namespace ov::ui {

class WindowResizeClass : public WindowComponent {
 public:
  enum class AppStrategy { KeepControls, Surface };
  enum class Horizontal { Lock, FixRight, Resize };
  enum class Vertical { Lock, FixBottom, Resize };

  // Takes the window's present size and controls as the reference.
  void Init(WindowManager& manager, AppStrategy strategy = AppStrategy::KeepControls);
  // Minimum size of the window in dialog units.
  void SetMinSize(int width, int height);
  void SetStrategy(int feq, Horizontal h, Vertical v);
  // Lays the controls out for the window's present size (the Sized event calls it).
  void Resize();

  Level TakeEvent() override;
  void Kill() override { m_strategies.clear(); }

 private:
  struct Placement {
    Rect origin;
    Horizontal h = Horizontal::Lock;
    Vertical v = Vertical::Lock;
  };
  WindowManager* m_manager = nullptr;
  int m_width = 0, m_height = 0;  // the reference size
  std::map<int, Placement> m_strategies;
};

}  // namespace ov::ui
