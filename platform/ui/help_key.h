// F1: the page of the manual for the window with the focus.
//
// A window's help id is its procedure's name unless the window sets one. F1 in a window that does
// not take the key itself (as an alert key) goes to the program's help handler with that id;
// without a handler F1 reaches the window as any other key.
//
// Threading: GUI thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ov::ui {

class Window;

namespace Prop {
constexpr int Help = 0x7C43;  // the window's help id, as text
}  // namespace Prop

void setHelpId(Window& window, std::string_view id);
std::string helpId(const Window& window);

void setHelpHandler(std::function<void(const std::string& helpId)> handler);

}  // namespace ov::ui
