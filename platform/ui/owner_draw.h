// Menus by handle and owner-drawn menu items, in the shape of the Windows menu calls.
//
// A window's menu bar and each of its menus (MenuControl of kind Menu) have a menu handle; the
// items of a menu are its menus and items in declaration order, separators included. An item
// whose type gains MFT::OwnerDraw (SetMenuItemInfoA with MIIM::Type) is measured and drawn by its
// window: the layer sends WM_MEASUREITEM (44) and WM_DRAWITEM (43) through the window's procedure
// chain with a MEASUREITEMSTRUCT or DRAWITEMSTRUCT in lParam (CtlType ODT::Menu, itemData the
// item's data), whenever Qt lays the menu out or paints the item. A chain that answers 0 leaves
// the item with the size and picture Qt gives it.
//
// DRAWITEMSTRUCT::hDC is a DeviceContext: the painting calls a procedure needs, on the item's
// picture. Colours are COLORREF values (0x00BBGGRR).
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui/window_proc.h"

class QPainter;

namespace ov::ui {

using HMENU = intptr_t;  // 0 = none
using COLORREF = uint32_t;

namespace MFT {
constexpr uint32_t String = 0;
constexpr uint32_t OwnerDraw = 0x100;
constexpr uint32_t Separator = 0x800;
}  // namespace MFT

namespace MIIM {
constexpr uint32_t ID = 2;
constexpr uint32_t SubMenu = 4;
constexpr uint32_t Type = 16;
constexpr uint32_t Data = 32;
}  // namespace MIIM

namespace ODT {
constexpr uint32_t Menu = 1;
}
namespace ODS {
constexpr uint32_t Selected = 1;
}
// DrawText formats.
namespace DT {
constexpr uint32_t Center = 1;
constexpr uint32_t VCenter = 4;
constexpr uint32_t SingleLine = 32;
}  // namespace DT

// Error codes of the menu calls (GetLastError).
constexpr uint32_t kErrorInvalidMenuHandle = 1401;
constexpr uint32_t kErrorMenuItemNotFound = 1456;

struct MENUITEMINFO {
  uint32_t cbSize = 44;
  uint32_t fMask = 0;
  uint32_t fType = 0;
  uint32_t fState = 0;
  uint32_t wID = 0;
  HMENU hSubMenu = 0;
  uintptr_t dwItemData = 0;
  char* dwTypeData = nullptr;  // the text buffer; nullptr asks for the length only
  uint32_t cch = 0;            // the buffer's size in; the text's length out
};

struct RECT {
  int left = 0, top = 0, right = 0, bottom = 0;
};

class DeviceContext;

struct MEASUREITEMSTRUCT {
  uint32_t CtlType = ODT::Menu;
  uint32_t CtlID = 0;
  uint32_t itemID = 0;      // the item's control number
  uint32_t itemWidth = 0;
  uint32_t itemHeight = 0;
  uintptr_t itemData = 0;
};

struct DRAWITEMSTRUCT {
  uint32_t CtlType = ODT::Menu;
  uint32_t CtlID = 0;
  uint32_t itemID = 0;
  uint32_t itemAction = 0;
  uint32_t itemState = 0;   // ODS::Selected
  HMENU hwndItem = 0;       // the menu
  DeviceContext* hDC = nullptr;
  RECT rcItem;
  uintptr_t itemData = 0;
};

// The window's menu bar; 0 when it has no menus.
HMENU GetMenu(Handle hwnd);
// -1 for a handle that names no menu.
int GetMenuItemCount(HMENU menu);
// Item `item` of the menu by position (from 0) or by control number. False on failure, with
// GetLastError telling why.
bool GetMenuItemInfoA(HMENU menu, uint32_t item, bool byPosition, MENUITEMINFO* info);
bool SetMenuItemInfoA(HMENU menu, uint32_t item, bool byPosition, const MENUITEMINFO* info);
uint32_t GetLastError();

// The extent of a text in the window's font (GetTextExtentPoint32 on its display context).
struct SIZE {
  int cx = 0, cy = 0;
};
SIZE GetTextExtent(Handle hwnd, std::string_view text);

// The colour of a display element: 4 menu, 30 menu bar (as the desktop's palette gives them).
COLORREF GetSysColor(int index);
// Menus here are flat (SystemParametersInfo SPI_GETFLATMENU).
bool flatMenus();

class DeviceContext {
 public:
  explicit DeviceContext(QPainter& painter) : m_painter(painter) {}
  void FillRect(const RECT& r, COLORREF colour);
  // A one-pixel frame along the inside of the rectangle.
  void FrameRect(const RECT& r, COLORREF colour);
  void SetBkColor(COLORREF colour) { m_background = colour; }
  COLORREF bkColor() const { return m_background; }
  // Text in the painter's font; "&" marks the next character's underline.
  void DrawText(std::string_view text, const RECT& r, uint32_t format);
  // A 16 by 16 icon of the programs' icon set by resource name ("OPEN_ICO"); false when there is
  // none by that name.
  bool DrawIcon(std::string_view name, int x, int y);

 private:
  QPainter& m_painter;
  COLORREF m_background = 0xFFFFFF;
};

}  // namespace ov::ui
