// PopupClass: a popup menu built item by item, shown through the interaction host.
//
// Items have unique names. AddItem with a level above 1 nests the item under the nearest item
// before it one level up, which thus becomes a submenu. An item can post an event when chosen
// (AddItemEvent) or mimic a control (AddItemMimic): it is then enabled and shown only while the
// control is, and choosing it posts Accepted to the control. Ask shows the menu and answers the
// chosen item's name ("" when none was chosen) after posting its event.
//
// Threading: GUI thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/host.h"

namespace ov::ui {

// Parses the runtime's menu text "a|b|-|~c|+d|e{f|g}" (see POPUP in host.h) into items whose
// ids are the positions of the items that can be chosen ("1", "2", ...).
std::vector<PopupItem> parsePopupMenu(std::string_view menu);

class PopupClass {
 public:
  void Init() { m_items.clear(); }
  void Kill() { m_items.clear(); }

  // Adds an item after the named one (at the end when `after` is empty or unknown) and returns its
  // name; an empty name is made from the text (letters and digits only, numbered when taken).
  // The text "-" adds a separator.
  std::string AddItem(std::string_view text, std::string_view name = {}, std::string_view after = {},
                      int level = 1);
  // Adds the items of a menu text (as POPUP takes it) at the end; names are made from the texts.
  void AddMenu(std::string_view menu);
  // Adds a submenu item whose items come from a menu text.
  std::string AddSubMenu(std::string_view text, std::string_view menu, std::string_view after = {});
  void AddItemEvent(std::string_view name, int event, int control = 0, int thread = 0);
  void AddItemMimic(std::string_view name, int control);
  void DeleteItem(std::string_view name);

  void SetText(std::string_view name, std::string_view text);
  std::string GetText(std::string_view name) const;
  void SetItemCheck(std::string_view name, bool checked);
  bool GetItemChecked(std::string_view name) const;
  void SetItemEnable(std::string_view name, bool enabled);
  bool GetItemEnabled(std::string_view name) const;
  bool HasItem(std::string_view name) const { return find(name) >= 0; }
  std::vector<std::string> ItemNames() const;

  // Shows the menu at screen pixels (x, y), or at the mouse, and answers the chosen name.
  std::string Ask(int x = -1, int y = -1);
  // The tree Ask would show now (mimics resolved against the current window).
  std::vector<PopupItem> Items() const;

 private:
  struct Item {
    std::string name, text;
    int level = 1;
    bool checkable = false, checked = false, enabled = true;
    int event = 0, eventControl = 0, eventThread = 0;
    int mimic = 0;
  };
  int find(std::string_view name) const;
  std::string uniqueName(std::string_view text) const;
  void addParsed(const std::vector<PopupItem>& items, int level, size_t& at);

  std::vector<Item> m_items;
};

}  // namespace ov::ui
