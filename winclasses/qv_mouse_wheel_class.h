// QVMouseWheelClass: mouse-wheel scrolling of a window's lists, combo boxes, drop lists and text
// boxes. The window creates one object, calls Init once it is open and Kill when it closes.
//
// Init hooks the window's chain of message procedures (property 7CB4h) when the window has a
// wheel-aware control (types 14, 15, 17, 33, 34); each wheel message then moves the control under
// the wheel one step per notch instead of letting it scroll by itself: the control with the focus
// if it is wheel-aware, else the first visible one under the mouse, else the first visible one.
// Lists and combos select the next or previous entry and get EVENT:NewSelection (a list with the
// immediate attribute gets EVENT:ScrollUp/ScrollDown instead); a text box gets the Up or Down key.
//
// Notches are counted from the signed wheel delta (120 a notch) whatever keys or buttons are held;
// smaller deltas of a high-resolution wheel add up per window until they make a notch. While a
// window's wheel message is handled, a further wheel message for that window is taken without
// effect; every other message, of that window or any other, goes on to the former procedures.
//
// One object serves a window: a second object's Init for the same window changes nothing.
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ui/window.h"
#include "platform/ui/window_proc.h"

namespace ov::winclasses {

class QVMouseWheelClass {
 public:
  QVMouseWheelClass() = default;
  virtual ~QVMouseWheelClass();
  QVMouseWheelClass(const QVMouseWheelClass&) = delete;
  QVMouseWheelClass& operator=(const QVMouseWheelClass&) = delete;

  uint8_t ACTIVE = 0;                // kept for derived windows; the class itself does not use it
  int32_t HWNDPROC = 0;              // the window's procedure before Init (0: not hooked)
  int32_t HWND = 0;                  // the hooked window's handle (0: not hooked)
  int32_t TURNS = 0;                 // notches of the last wheel message
  std::vector<int32_t> TARGETQ;      // the wheel-aware controls, ascending by number

  // Hooks the current window (ui::currentWindow()).
  void Init();
  // Unhooks it (only while its own procedure is still installed) and forgets the controls.
  void Kill();

  // Move the target control up or down TURNS steps.
  virtual void WheelUp();
  virtual void WheelDown();

  // The dispatching procedure installed on every hooked window.
  static ui::LRESULT WheelWindowProc(ui::Handle hwnd, uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam);

 protected:
  // The target control, 0 when none.
  int FindTarget() const;
  ui::Window* window() const { return m_window; }

 private:
  void takeWheel(ui::WPARAM wParam, ui::LPARAM lParam);
  void move(bool down);

  ui::Window* m_window = nullptr;
  int m_delta = 0;                  // wheel delta not yet making a whole notch
  int m_mouseX = 0, m_mouseY = 0;   // the mouse at the last wheel message, window coordinates
  bool m_busy = false;
};

}  // namespace ov::winclasses
