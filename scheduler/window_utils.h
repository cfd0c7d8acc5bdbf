// Small routines that many windows of the main program share: the user's date and time pictures
// in list columns, fitting a picture window to its picture, a mouse-button hook that reports
// presses on one control as window events, and the cut of a text at a separator.
//
// Threading: GUI thread only (TextBeforeSeparator and the format rewrites: any thread).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui/window.h"
#include "platform/ui/window_proc.h"

namespace ov::scheduler {

// The mouse events the hook posts, with control 0.
struct MouseEvent {
  static constexpr int LeftDown = 1024;
  static constexpr int LeftUp = 1025;
  static constexpr int RightDown = 1026;
  static constexpr int RightUp = 1027;
};

// A list format with every picture "@" + code rewritten to `datePicture` (the code compares
// without regard to case; "d17" finds @d17@ and @D17@). An empty code matches every date picture.
// The search goes on after the closing "@" of each rewritten picture; a picture without a
// closing "@" ends the rewriting.
std::string applyDatePicture(std::string_view format, std::string_view code, std::string_view datePicture);
// The same for every time picture ("@t..." in either case) and `timePicture`.
std::string applyTimePicture(std::string_view format, std::string_view timePicture);

// The list's column format (property 7C85h) with its date pictures of `code` made FORMAT:DATE
// (default "d7"), and its time pictures FORMAT:TIME (default "t7b").
void ApplyDatePicture(ui::Window& window, int list, std::string_view code);
void ApplyTimePicture(ui::Window& window, int list);

// What FitWindowToControl keeps of the calling window.
struct FitRecord {
  int32_t width = 0, height = 0;            // the control's size
  double widthRatio = 0, heightRatio = 0;   // window size / control size
  int32_t control = 0;
};

// Gives the window the size of picture control `control` (loaded just before), moving every other
// control by the same ratios. Nothing changes when the widths already agree within 2 % or the
// control has no size.
void FitWindowToControl(ui::Window& window, FitRecord& record, int control);

// Reports the left and right button presses and releases on one control as MouseEvent events
// posted to the window's thread, after the control's own procedure has seen them. Removed by
// remove() or at destruction (when it is still the control's procedure).
class MouseButtonSubclassProc {
 public:
  MouseButtonSubclassProc() = default;
  ~MouseButtonSubclassProc() { remove(); }
  MouseButtonSubclassProc(const MouseButtonSubclassProc&) = delete;
  MouseButtonSubclassProc& operator=(const MouseButtonSubclassProc&) = delete;

  void install(ui::Window& window, int control);
  void remove();

 private:
  ui::LRESULT take(ui::Handle hwnd, uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam);

  ui::Window* m_window = nullptr;
  int m_control = 0;
  ui::ProcNumber m_own = 0, m_former = 0;
};

// The clipped text before the first `separator`; the whole clipped text when there is none.
std::string TextBeforeSeparator(std::string_view text, std::string_view separator);

}  // namespace ov::scheduler
