// Event numbers, key codes, levels and the request/response codes of the window layer.
//
// Event numbers are the runtime's: field events below 256, Selected at 257, window events from 513,
// and user events from 1024 up. Key codes are Windows virtual-key codes plus 256 for Shift, 512 for
// Ctrl and 1024 for Alt; the mouse buttons have the codes 1 to 7.
#pragma once

namespace ov::ui {

// The runtime's event numbers, and the event being handled: EVENT() converts to it, so
// `switch (EVENT())` and `if (EVENT() == EVENT::Accepted)` read as in the runtime. Take it as an
// int when it must be kept. A program adds its own numbers by deriving:
//   struct EVENT : ui::EVENT { static static constexpr int TimerStep = 3398; };
struct EVENT {
// Field events (FIELD() names the control).
static constexpr int Accepted = 1;
static constexpr int NewSelection = 2;
static constexpr int ScrollUp = 3;
static constexpr int ScrollDown = 4;
static constexpr int PageUp = 5;
static constexpr int PageDown = 6;
static constexpr int ScrollTop = 7;
static constexpr int ScrollBottom = 8;
static constexpr int Locate = 9;
static constexpr int MouseDown = 10;
static constexpr int MouseUp = 11;
static constexpr int MouseIn = 12;
static constexpr int MouseOut = 13;
static constexpr int MouseMove = 14;
static constexpr int AlertKey = 16;
static constexpr int PreAlertKey = 17;
static constexpr int Dragging = 18;
static constexpr int Drag = 19;
static constexpr int Drop = 20;
static constexpr int ScrollDrag = 21;
static constexpr int TabChanging = 22;
static constexpr int Expanding = 23;
static constexpr int Contracting = 24;
static constexpr int Expanded = 25;
static constexpr int Contracted = 26;
static constexpr int Rejected = 27;
static constexpr int DroppingDown = 28;
static constexpr int DroppedDown = 29;
static constexpr int Selected = 257;

// Window events (FIELD() is 0).
static constexpr int CloseWindow = 513;
static constexpr int CloseDown = 514;
static constexpr int OpenWindow = 515;
static constexpr int OpenFailed = 516;
static constexpr int LoseFocus = 517;
static constexpr int GainFocus = 518;
static constexpr int Timer = 523;
static constexpr int Completed = 525;  // the OK pass of a form has accepted every field
static constexpr int Move = 544;
static constexpr int Size = 545;
static constexpr int Restore = 546;
static constexpr int Maximize = 547;
static constexpr int Iconize = 548;
static constexpr int Moved = 560;
static constexpr int Sized = 561;
static constexpr int Restored = 562;
static constexpr int Maximized = 563;
static constexpr int Iconized = 564;

// The first number free for a program's own events.
static constexpr int User = 1024;

static constexpr bool isFieldEvent(int e) { return e > 0 && e < 513; }

  operator int() const;  // NOLINT: the event being handled, 0 outside a handler
};

namespace Key {
constexpr int Shift = 256;
constexpr int Ctrl = 512;
constexpr int Alt = 1024;
constexpr int ModifierMask = Shift | Ctrl | Alt;

constexpr int MouseLeft = 1;
constexpr int MouseRight = 2;
constexpr int MouseCenter = 3;
constexpr int MouseLeft2 = 5;   // double click
constexpr int MouseRight2 = 6;
constexpr int MouseCenter2 = 7;
constexpr int Backspace = 8;
constexpr int Tab = 9;
constexpr int Enter = 13;
constexpr int Pause = 19;
constexpr int CapsLock = 20;
constexpr int Esc = 27;
constexpr int Space = 32;
constexpr int PgUp = 33;
constexpr int PgDn = 34;
constexpr int End = 35;
constexpr int Home = 36;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
constexpr int Insert = 45;
constexpr int Delete = 46;
constexpr int F1 = 112;  // F1..F12 are 112..123
constexpr int Quote = 222;     // the ' key
constexpr int Backquote = 192;  // the ` key

constexpr int ctrl(int k) { return k | Ctrl; }
constexpr int alt(int k) { return k | Alt; }
constexpr int shift(int k) { return k | Shift; }
constexpr int F(int n) { return F1 + n - 1; }
}  // namespace Key

// What a window manager's handler tells its caller.
enum class Level {
  Benign = 0,   // carry on with the default handling
  User = 1,
  Program = 2,
  Fatal = 3,    // end the window's accept loop: the window closes
  Cancel = 4,
  Notify = 5,   // the event is handled: skip the rest of the handling (the runtime's CYCLE)
};

// Requests a list hands to a form, and the form's answer.
constexpr int InsertRecord = 1;
constexpr int ChangeRecord = 2;
constexpr int DeleteRecord = 3;
constexpr int ViewRecord = 4;    // a list opened with it selects a record
constexpr int SelectRecord = 4;
constexpr int RequestCompleted = 1;
constexpr int RequestCancelled = 2;

}  // namespace ov::ui
