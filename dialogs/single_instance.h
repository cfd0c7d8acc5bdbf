// A list that the frame opens only once: a second start finds the first in OpenWindowList, posts
// it EVENT:GainFocus and closes at once; the first restores and activates its window on that event.
//
// Threading: GUI thread only.
#pragma once

#include <string>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

class SingleInstance : public ui::WindowComponent {
 public:
  // Before the window opens: false when another thread shows the window already (it was told to
  // come forward); else this thread is entered under the procedure's name.
  bool Init(ui::WindowManager& manager);
  ui::Level TakeEvent() override;
  void Kill() override;

 private:
  ui::WindowManager* m_manager = nullptr;
  int m_thread = 0;
};

}  // namespace ov::dialogs
