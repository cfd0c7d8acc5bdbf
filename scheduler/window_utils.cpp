#include "scheduler/window_utils.h"

#include <cctype>
#include <cmath>
#include <vector>

#include "datalib/globals.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"

namespace ov::scheduler {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(uint8_t(c)));
  return out;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::toupper(uint8_t(c)));
  return out;
}

// Rewrites every picture that starts with `pattern` (found in the format as `fold` turns it)
// to `picture`, keeping the "@" around it.
template <class Fold>
std::string rewritePictures(std::string_view formatIn, std::string_view pattern, std::string_view picture, Fold fold) {
  std::string format(formatIn);
  const std::string clipped(rt::clipView(picture));
  size_t from = 0;
  for (;;) {
    const size_t found = fold(format).find(pattern, from);
    if (found == std::string::npos) break;
    const size_t closing = format.find('@', found + 1);
    if (closing == std::string::npos) break;
    format = format.substr(0, found + 1) + clipped + format.substr(closing);
    from = found + 1 + clipped.size() + 1;  // past the closing "@" of the picture just written
  }
  return format;
}

std::string_view orDefault(std::string_view setting, std::string_view fallback) {
  setting = rt::clipView(setting);
  return setting.empty() ? fallback : setting;
}

}  // namespace

std::string applyDatePicture(std::string_view format, std::string_view code, std::string_view datePicture) {
  std::string pattern = "@" + lower(rt::clipView(code)) + "@";
  if (rt::clipView(code).empty()) pattern = "@d";
  if (pattern.size() > 4) pattern.resize(4);
  return rewritePictures(format, pattern, datePicture, lower);
}

std::string applyTimePicture(std::string_view format, std::string_view timePicture) {
  return rewritePictures(format, "@T", timePicture, upper);
}

void ApplyDatePicture(ui::Window& window, int list, std::string_view code) {
  const std::string format = window.prop(list, ui::Prop::Format);
  const std::string changed = applyDatePicture(format, code, orDefault(files::FORMAT.DATE.view(), "d7"));
  if (changed != format) window.setProp(list, ui::Prop::Format, changed);
}

void ApplyTimePicture(ui::Window& window, int list) {
  const std::string format = window.prop(list, ui::Prop::Format);
  const std::string changed = applyTimePicture(format, orDefault(files::FORMAT.TIME.view(), "t7b"));
  if (changed != format) window.setProp(list, ui::Prop::Format, changed);
}

void FitWindowToControl(ui::Window& window, FitRecord& r, int control) {
  using ui::Prop::Height;
  using ui::Prop::Width;
  r.control = control;
  r.width = int32_t(window.propInt(control, Width));
  r.height = int32_t(window.propInt(control, Height));
  if (r.width == 0 || r.height == 0) return;
  r.widthRatio = double(window.propInt(0, Width)) / r.width;
  r.heightRatio = double(window.propInt(0, Height)) / r.height;
  // Within 2 % (an exact 0.98 or 1.02 counts, whatever the division's last bit).
  if (std::fabs(1.0 - r.widthRatio) <= 0.02 + 1e-9) return;
  for (int feq : window.allControls()) {
    if (feq == control || feq <= 0) continue;  // menus and toolbar buttons stay where they are
    const double x = double(window.propInt(feq, ui::Prop::Xpos)), y = double(window.propInt(feq, ui::Prop::Ypos));
    const double w = double(window.propInt(feq, Width)), h = double(window.propInt(feq, Height));
    window.setProp(feq, ui::Prop::Xpos, int64_t(std::lround(x / r.widthRatio - (w / 2) * std::fabs(1.0 - r.widthRatio))));
    window.setProp(feq, ui::Prop::Ypos, int64_t(std::lround(y / r.heightRatio - (h / 2) * std::fabs(1.0 - r.heightRatio))));
  }
  window.setProp(0, Width, r.width);
  window.setProp(0, Height, r.height);
}

void MouseButtonSubclassProc::install(ui::Window& window, int control) {
  remove();
  m_window = &window;
  m_control = control;
  if (!m_own)
    m_own = ui::registerWindowProc(
        [this](ui::Handle h, uint32_t msg, ui::WPARAM wp, ui::LPARAM lp) { return take(h, msg, wp, lp); });
  m_former = ui::ProcNumber(window.propInt(control, ui::Prop::WndProc));
  window.setProp(control, ui::Prop::WndProc, m_own);
}

void MouseButtonSubclassProc::remove() {
  if (m_window && m_window->propInt(m_control, ui::Prop::WndProc) == m_own)
    m_window->setProp(m_control, ui::Prop::WndProc, m_former);
  m_window = nullptr;
  if (m_own) ui::unregisterWindowProc(m_own);
  m_own = 0;
}

ui::LRESULT MouseButtonSubclassProc::take(ui::Handle hwnd, uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
  int event = 0;
  switch (msg) {
    case ui::WM::LButtonDown: event = MouseEvent::LeftDown; break;
    case ui::WM::LButtonUp: event = MouseEvent::LeftUp; break;
    case ui::WM::RButtonDown: event = MouseEvent::RightDown; break;
    case ui::WM::RButtonUp: event = MouseEvent::RightUp; break;
    default: return ui::CallWindowProc(m_former, hwnd, msg, wParam, lParam);
  }
  const ui::LRESULT answer = ui::CallWindowProc(m_former, hwnd, msg, wParam, lParam);
  ui::POST(event, 0);
  return answer;
}

std::string TextBeforeSeparator(std::string_view text, std::string_view separator) {
  const size_t at = separator.empty() ? std::string_view::npos : text.find(separator);
  return std::string(rt::clipView(at == std::string_view::npos ? text : text.substr(0, at)));
}

}  // namespace ov::scheduler
