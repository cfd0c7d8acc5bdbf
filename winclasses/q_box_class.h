// QBoxClass: a list control over an in-memory queue, moved by line, by page and by a drag position
// in per cent, with the queue's buffer kept on the selected row; a double click on a row (or Enter,
// when asked) presses the window's default button.
//
// A double click is two left clicks within the desktop's double-click interval and less than 11
// pixels apart in both directions; the click times come from the runtime's clock (TODAY/CLOCK).
// Works on the current window. Threading: GUI thread only.
#pragma once

#include <cstdint>

#include "platform/ui/list_control.h"

namespace ov::winclasses {

class QBoxClass {
 public:
  ui::ListQueue* Q = nullptr;
  int32_t LISTFEQ = 0;
  double LASTLEFTCLICK = 0;   // day number plus the fraction of the day
  int32_t LASTMOUSEX = 0;
  int32_t LASTMOUSEY = 0;

  void Init(ui::ListQueue& q, int32_t listControl);
  // Loads the selected row's entry into the queue's buffer.
  void Update();
  // Selects `row`, kept within 1..entries, and posts EVENT:NewSelection to the list.
  void UpdatePosition(int32_t row);
  void ScrollUp();
  void ScrollDown();
  void PageUp();
  void PageDown();
  void Drag(int32_t percent);
  void TakeAccepted(bool enterAccepts);

  // The double-click interval in days; 0 takes the desktop's.
  double DoubleClickDays = 0;

 private:
  int selected() const;
  ui::Window* m_window = nullptr;
};

}  // namespace ov::winclasses
