// SubclassWindowManager: a window procedure that also sees every raw message of its window
// (handle, message, wParam, lParam) before the window layer does. XPWindowManager uses that to
// draw the window's menu bar and menus itself, flat, with 16 by 16 icons beside popup items.
//
// A window derived from either calls InitSubclass once its window is open and KillSubclass before
// it closes. XPWindowManager makes every item of the menu bar, at every depth, owner-drawn and
// keeps one item record per item for the life of the object; a derived window names the icons of
// its items in GetMenuIcon by the item's equate label (-1, -2, ... in the order the items were
// met across the process). Icons are looked up as "<name>_ICO" (chosen item) and
// "<name>_cold_ICO" (others, falling back to "<name>_ICO") in the programs' icon set.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/owner_draw.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_proc.h"

namespace ov::winclasses {

class SubclassWindowManager : public ui::WindowManager {
 public:
  using ui::WindowManager::WindowManager;
  ~SubclassWindowManager() override;

  ui::Window* WINREF = nullptr;     // the window that was subclassed
  ui::ProcNumber WNDPROC = 0;        // its procedure before

  virtual void InitSubclass(ui::Window& window);
  // Puts the former procedure back, while this one's is still installed.
  virtual void KillSubclass();
  // The default passes the message on to the former procedure.
  virtual ui::LRESULT SubclassEvent(ui::Handle hwnd, uint32_t message, ui::WPARAM wParam, ui::LPARAM lParam);

 private:
  ui::ProcNumber m_proc = 0;  // the dispatching procedure: calls this object's SubclassEvent
};

// One record per menu item, kept as the item's data.
struct XPMenuItem {
  int32_t FTYPE = 0;        // the item's type before owner-drawing (0 text, 2048 separator)
  int32_t UBARINDEX = 0;    // the menu-bar entry the item lies under
  int32_t ULEVEL = 0;       // 0 menu-bar entry, 1 its popup's item, 2 and more nested popups
  int32_t UINDEX = 0;       // position within its own menu
  int32_t EQUATELABEL = 0;  // text items: -1, -2, ... in the order met
  int32_t CCHITEMTEXT = 0;
  char SZITEMTEXT[65] = {};
};

class XPWindowManager : public SubclassWindowManager {
 public:
  using SubclassWindowManager::SubclassWindowManager;

  void InitSubclass(ui::Window& window) override;
  ui::LRESULT SubclassEvent(ui::Handle hwnd, uint32_t message, ui::WPARAM wParam, ui::LPARAM lParam) override;
  // The base name of the icon of the item with that equate label (at most `size` characters);
  // the default names none.
  virtual void GetMenuIcon(int32_t equateLabel, int32_t size, std::string& name);

  void SetMenuOwnerDrawn(ui::HMENU menu, int32_t barIndex, int32_t level, int32_t& counter);
  void OnMeasureItem(ui::Handle hwnd, ui::MEASUREITEMSTRUCT* mis);
  void OnDrawItem(ui::Handle hwnd, ui::DRAWITEMSTRUCT* dis);

  // The process-wide item counter (never reset) and the last menu bar set up.
  static int32_t& itemCounter();
  static ui::HMENU lastMenu();

 private:
  std::vector<std::unique_ptr<XPMenuItem>> m_items;
};

}  // namespace ov::winclasses
