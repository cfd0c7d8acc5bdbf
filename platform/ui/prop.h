// Property numbers of windows and controls.
//
// The numbers that the system's code uses by number are the runtime's own (position and size
// 7C02h-7C05h, hidden 7C65h, minimised 7C69h, immediate 7C6Ah, maximised 7C6Fh, read-only 7C7Bh,
// skip 7C81h, list format 7C85h, resizable 7C8Ah, handle 7C96h, accept-all pass 7C9Ah, window
// procedure 7CB4h). The others are named only; their numbers lie in a block of their own.
//
// Every property reads and writes as text, as in the runtime: flags are "1" or "" (any non-blank,
// non-zero text sets a flag), numbers are plain decimals.
#pragma once

namespace ov::ui::Prop {

constexpr int Xpos = 0x7C02;
constexpr int Ypos = 0x7C03;
constexpr int Width = 0x7C04;
constexpr int Height = 0x7C05;
constexpr int Hide = 0x7C65;
constexpr int Iconize = 0x7C69;
constexpr int Immediate = 0x7C6A;
constexpr int Maximize = 0x7C6F;
constexpr int ReadOnly = 0x7C7B;
constexpr int Skip = 0x7C81;
constexpr int Format = 0x7C85;
constexpr int Resize = 0x7C8A;
constexpr int Handle = 0x7C96;
constexpr int AcceptAll = 0x7C9A;
constexpr int WndProc = 0x7CB4;

constexpr int Text = 0x7A01;        // caption, title; an entry's or spin's picture
constexpr int ScreenText = 0x7A02;  // what an entry, spin, combo or text box shows
constexpr int Disable = 0x7A03;
constexpr int Tip = 0x7A04;
constexpr int Msg = 0x7A05;
constexpr int Icon = 0x7A06;
constexpr int Color = 0x7A07;       // background, a COLORREF number (0xBBGGRR); -1 = none
constexpr int FontColor = 0x7A08;
constexpr int FontName = 0x7A09;
constexpr int FontSize = 0x7A0A;
constexpr int FontStyle = 0x7A0B;   // weight (400 normal, 700 bold) + 4096 italic + 8192 underline
constexpr int Selected = 0x7A0C;    // the chosen entry of a drop list, option, sheet: 1-based
constexpr int From = 0x7A0D;        // the entries of a drop list or combo, "a|b|c"
constexpr int Type = 0x7A0E;        // the control's kind number (CREATE type)
constexpr int Parent = 0x7A0F;      // the control it lies on (sheet tab, group, option), 0 = window
constexpr int NextField = 0x7A10;   // the next control in field order, 0 after the last
constexpr int Req = 0x7A11;
constexpr int Default = 0x7A12;     // the window's default button
constexpr int Timer = 0x7A13;       // window timer in hundredths of a second, 0 = off
constexpr int MinWidth = 0x7A14;
constexpr int MinHeight = 0x7A15;
constexpr int Pixels = 0x7A16;      // 1: positions and sizes read and write in pixels
constexpr int Value = 0x7A17;       // a radio's value; a check's value when on
constexpr int TrueValue = 0x7A18;
constexpr int FalseValue = 0x7A19;
constexpr int RangeLow = 0x7A1A;
constexpr int RangeHigh = 0x7A1B;
constexpr int Step = 0x7A1C;
constexpr int Progress = 0x7A1D;    // a progress bar's value
constexpr int Wizard = 0x7A1E;      // a sheet without its tab row
constexpr int Checked = 0x7A1F;     // a menu item's check
constexpr int Alrt = 0x7A20;        // alert keys: write a key code to add it, "-code" to remove
constexpr int Active = 0x7A21;      // the window is the active one
constexpr int Touched = 0x7A22;     // the control was edited since it was last displayed
constexpr int MaxWidth = 0x7A23;
constexpr int MaxHeight = 0x7A24;
constexpr int FirstField = 0x7A25;
constexpr int LastField = 0x7A26;
constexpr int Visible = 0x7A27;     // read only: shown on screen (the layer's Hide up the chain, the tab shown)
constexpr int Password = 0x7A28;
constexpr int Upper = 0x7A29;
constexpr int Mdi = 0x7A2A;
// An entry's caret and selection, 1-based character positions: SelStart is the first selected
// character (without a selection: the one after the caret), SelEnd the last selected one
// (without a selection: SelStart - 1). Writing SelStart drops the selection; writing SelEnd then
// selects from SelStart to it.
constexpr int SelStart = 0x7A2B;
constexpr int SelEnd = 0x7A2C;
// Auto display, on by default: after each event the layer shows the USE variables of the
// window's controls that the user has not edited. Off on the window: none; off on a control:
// that one is left alone.
constexpr int Auto = 0x7A2D;
constexpr int StatusText = 0x7A40;  // + zone number (1..16): the status bar's zones

// System properties (systemProp in runtime.h).
// On: sheets draw each tab's header in the tab's own Color, FontColor and FontStyle.
constexpr int ColorTabs = 0x7CBC;

}  // namespace ov::ui::Prop
