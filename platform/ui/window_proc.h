// Window procedures: the chain of message hooks on a window or control.
//
// Every window and every control has a handle (property 7C96h, a number above 32) and a window
// procedure (property 7CB4h, a procedure number). A class that must see raw messages does what it
// did on Windows:
//
//   former = w.propInt(0, Prop::WndProc);             // keep the procedure it replaces
//   w.setProp(0, Prop::WndProc, myProcNumber);        // install its own
//   ... in its procedure: handle what it takes, pass the rest on with
//   return CallWindowProc(former, hwnd, msg, wParam, lParam);
//   ... on Kill: put `former` back, but only while its own is still installed.
//
// The chain thus forms as on Windows: the last installed procedure sees a message first. At the end
// of every chain sits the layer's own procedure for that window or control. A message that comes from
// Qt (mouse, wheel, keys on the window; see window.h for which) is handled by Qt only when it reaches
// that last procedure; a hook that answers without passing it on swallows it.
//
// Messages carry their Windows numbers and parameters (WM::, MK::, SC:: below), so the system's
// classes port literally. Other layers (platform/os: hot keys, tray, session end) deliver their
// messages with SendMessage to the window's handle.
//
// Threading: GUI thread only. A procedure runs with the window's logical thread as THREAD() and the
// window as the current window, so POST(event) inside it reaches that window.
#pragma once

#include <cstdint>
#include <functional>

namespace ov::ui {

using Handle = int32_t;       // window or control handle; 0 = none
using ProcNumber = int32_t;   // a window procedure as property 7CB4h holds it; 0 = none
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

using WindowProcFn = std::function<LRESULT(Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam)>;
using WindowProcPtr = LRESULT (*)(Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);

// Windows message numbers.
namespace WM {
constexpr uint32_t Move = 3;
constexpr uint32_t Size = 5;
constexpr uint32_t Activate = 6;
constexpr uint32_t SetFocus = 7;
constexpr uint32_t KillFocus = 8;
constexpr uint32_t Close = 16;
constexpr uint32_t QueryEndSession = 17;
constexpr uint32_t EndSession = 22;
constexpr uint32_t DrawItem = 43;
constexpr uint32_t MeasureItem = 44;
constexpr uint32_t ContextMenu = 123;
constexpr uint32_t KeyDown = 256;
constexpr uint32_t KeyUp = 257;
constexpr uint32_t Char = 258;
constexpr uint32_t SysKeyDown = 260;
constexpr uint32_t SysKeyUp = 261;
constexpr uint32_t Command = 273;
constexpr uint32_t SysCommand = 274;
constexpr uint32_t Timer = 275;
constexpr uint32_t MouseMove = 512;
constexpr uint32_t LButtonDown = 513;
constexpr uint32_t LButtonUp = 514;
constexpr uint32_t LButtonDblClk = 515;
constexpr uint32_t RButtonDown = 516;
constexpr uint32_t RButtonUp = 517;
constexpr uint32_t RButtonDblClk = 518;
constexpr uint32_t MButtonDown = 519;
constexpr uint32_t MButtonUp = 520;
constexpr uint32_t MButtonDblClk = 521;
constexpr uint32_t MouseWheel = 522;
constexpr uint32_t PowerBroadcast = 536;
constexpr uint32_t DeviceChange = 537;
constexpr uint32_t HotKey = 786;
constexpr uint32_t User = 1024;
}  // namespace WM

// Key and button state in wParam of mouse messages.
namespace MK {
constexpr WPARAM LButton = 1;
constexpr WPARAM RButton = 2;
constexpr WPARAM Shift = 4;
constexpr WPARAM Control = 8;
constexpr WPARAM MButton = 16;
}  // namespace MK

// wParam of WM::SysCommand.
namespace SC {
constexpr WPARAM Minimize = 0xF020;
constexpr WPARAM Maximize = 0xF030;
constexpr WPARAM Close = 0xF060;
constexpr WPARAM Restore = 0xF120;
}  // namespace SC

constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<uint32_t>((static_cast<uint32_t>(hi) & 0xFFFF) << 16 |
                                                   (static_cast<uint32_t>(lo) & 0xFFFF)));
}
constexpr int LOWORD(intptr_t v) { return static_cast<int>(static_cast<uint32_t>(v) & 0xFFFF); }
constexpr int HIWORD(intptr_t v) { return static_cast<int>((static_cast<uint32_t>(v) >> 16) & 0xFFFF); }
// Signed coordinates and wheel deltas from a packed word.
constexpr int GET_X_LPARAM(LPARAM v) { return static_cast<int16_t>(LOWORD(v)); }
constexpr int GET_Y_LPARAM(LPARAM v) { return static_cast<int16_t>(HIWORD(v)); }
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM v) { return static_cast<int16_t>(HIWORD(static_cast<intptr_t>(v))); }

// Registers a procedure and gives its number (never 0). The number stays valid until
// unregisterWindowProc; a procedure is usually registered once for the life of its object.
ProcNumber registerWindowProc(WindowProcFn fn);
void unregisterWindowProc(ProcNumber proc);

// The number of a plain function, registered on first use and the same on every call, so a class
// can test "is my procedure still installed" by comparing with property 7CB4h.
ProcNumber windowProcNumber(WindowProcPtr fn);

// Calls procedure `proc` with the message (CallWindowProcA). An unknown number answers 0.
LRESULT CallWindowProc(ProcNumber proc, Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);

// Sends a message to a window or control through its current procedure and returns the answer;
// 0 when no window has that handle.
LRESULT SendMessage(Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam);

// Queues the message and sends it on a later pass of the event loop (PostMessage).
void PostMessage(Handle hwnd, uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);

}  // namespace ov::ui
