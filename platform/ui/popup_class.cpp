#include "platform/ui/popup_class.h"

#include <cctype>

#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"

namespace ov::ui {
namespace {

// Splits at top-level "|" (not inside braces).
std::vector<std::string_view> topLevel(std::string_view s) {
  std::vector<std::string_view> out;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '{') ++depth;
    if (s[i] == '}' && depth > 0) --depth;
    if (s[i] == '|' && depth == 0) {
      out.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(s.substr(start));
  return out;
}

void parseInto(std::string_view menu, std::vector<PopupItem>& out, int& position) {
  for (std::string_view token : topLevel(menu)) {
    PopupItem item;
    if (token == "-") {
      item.separator = true;
      out.push_back(std::move(item));
      continue;
    }
    while (!token.empty() && (token[0] == '~' || token[0] == '+')) {
      if (token[0] == '~') item.enabled = false;
      if (token[0] == '+') item.checkable = item.checked = true;
      token.remove_prefix(1);
    }
    size_t brace = token.find('{');
    if (brace != std::string_view::npos) {
      item.text = std::string(token.substr(0, brace));
      size_t close = token.rfind('}');
      std::string_view inner =
          token.substr(brace + 1, close == std::string_view::npos || close < brace ? std::string_view::npos
                                                                                   : close - brace - 1);
      parseInto(inner, item.children, position);
    } else {
      item.text = std::string(token);
      item.id = std::to_string(++position);
    }
    if (item.text.empty() && item.children.empty() && !item.separator) continue;
    out.push_back(std::move(item));
  }
}

}  // namespace

std::vector<PopupItem> parsePopupMenu(std::string_view menu) {
  std::vector<PopupItem> items;
  int position = 0;
  if (!menu.empty()) parseInto(menu, items, position);
  return items;
}

int PopupClass::find(std::string_view name) const {
  for (size_t i = 0; i < m_items.size(); ++i)
    if (rt::compareText(m_items[i].name, name, true) == 0) return static_cast<int>(i);
  return -1;
}

std::string PopupClass::uniqueName(std::string_view text) const {
  std::string base;
  for (char c : text)
    if (std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80) base += c;
  if (base.empty()) base = text == "-" ? "Separator" : "Item";
  std::string name = base;
  for (int n = 1; find(name) >= 0; ++n) name = base + std::to_string(n);
  return name;
}

std::string PopupClass::AddItem(std::string_view text, std::string_view name, std::string_view after, int level) {
  Item item;
  item.text = std::string(text);
  item.name = name.empty() || find(name) >= 0 ? uniqueName(name.empty() ? text : name) : std::string(name);
  item.level = level < 1 ? 1 : level;
  int pos = after.empty() ? -1 : find(after);
  if (pos < 0) {
    m_items.push_back(item);
  } else {
    // After the named item and the items nested under it.
    size_t at = static_cast<size_t>(pos) + 1;
    while (at < m_items.size() && m_items[at].level > m_items[pos].level) ++at;
    m_items.insert(m_items.begin() + static_cast<long>(at), item);
  }
  return item.name;
}

void PopupClass::addParsed(const std::vector<PopupItem>& items, int level, size_t& at) {
  for (const PopupItem& p : items) {
    Item item;
    item.text = p.separator ? "-" : p.text;
    item.name = uniqueName(item.text);
    item.level = level;
    item.enabled = p.enabled;
    item.checkable = p.checkable;
    item.checked = p.checked;
    m_items.insert(m_items.begin() + static_cast<long>(at), item);
    ++at;
    if (!p.children.empty()) addParsed(p.children, level + 1, at);
  }
}

void PopupClass::AddMenu(std::string_view menu) {
  size_t at = m_items.size();
  addParsed(parsePopupMenu(menu), 1, at);
}

std::string PopupClass::AddSubMenu(std::string_view text, std::string_view menu, std::string_view after) {
  std::string name = AddItem(text, {}, after, 1);
  size_t at = static_cast<size_t>(find(name)) + 1;
  addParsed(parsePopupMenu(menu), m_items[at - 1].level + 1, at);
  return name;
}

void PopupClass::AddItemEvent(std::string_view name, int event, int control, int thread) {
  int i = find(name);
  if (i < 0) return;
  m_items[i].event = event;
  m_items[i].eventControl = control;
  m_items[i].eventThread = thread;
}

void PopupClass::AddItemMimic(std::string_view name, int control) {
  int i = find(name);
  if (i >= 0) m_items[i].mimic = control;
}

void PopupClass::DeleteItem(std::string_view name) {
  int i = find(name);
  if (i < 0) return;
  size_t end = static_cast<size_t>(i) + 1;
  while (end < m_items.size() && m_items[end].level > m_items[i].level) ++end;
  m_items.erase(m_items.begin() + i, m_items.begin() + static_cast<long>(end));
}

void PopupClass::SetText(std::string_view name, std::string_view text) {
  if (int i = find(name); i >= 0) m_items[i].text = text;
}

std::string PopupClass::GetText(std::string_view name) const {
  int i = find(name);
  return i < 0 ? std::string() : m_items[i].text;
}

void PopupClass::SetItemCheck(std::string_view name, bool checked) {
  if (int i = find(name); i >= 0) {
    m_items[i].checkable = true;
    m_items[i].checked = checked;
  }
}

bool PopupClass::GetItemChecked(std::string_view name) const {
  int i = find(name);
  return i >= 0 && m_items[i].checked;
}

void PopupClass::SetItemEnable(std::string_view name, bool enabled) {
  if (int i = find(name); i >= 0) m_items[i].enabled = enabled;
}

bool PopupClass::GetItemEnabled(std::string_view name) const {
  int i = find(name);
  return i >= 0 && m_items[i].enabled;
}

std::vector<std::string> PopupClass::ItemNames() const {
  std::vector<std::string> names;
  for (const Item& i : m_items) names.push_back(i.name);
  return names;
}

std::vector<PopupItem> PopupClass::Items() const {
  Window* w = currentWindow();
  std::vector<PopupItem> root;
  // Parents by level: the list to which an item of level n is appended.
  std::vector<std::vector<PopupItem>*> lists{&root};
  for (const Item& item : m_items) {
    bool shown = true, enabled = item.enabled;
    if (item.mimic && w) {
      shown = w->control(item.mimic) && !w->control(item.mimic)->isHidden();
      enabled = enabled && w->isEnabled(item.mimic);
    }
    size_t level = static_cast<size_t>(item.level);
    if (level > lists.size()) level = lists.size();
    lists.resize(level);
    if (!shown) continue;
    PopupItem p;
    p.id = item.name;
    p.text = item.text;
    p.separator = item.text == "-";
    p.enabled = enabled;
    p.checkable = item.checkable;
    p.checked = item.checked;
    lists.back()->push_back(std::move(p));
    lists.push_back(&lists.back()->back().children);
  }
  return root;
}

std::string PopupClass::Ask(int x, int y) {
  PopupRequest r;
  r.items = Items();
  r.x = x;
  r.y = y;
  std::string chosen = host().popup(r);
  int i = chosen.empty() ? -1 : find(chosen);
  if (i < 0) return {};
  const Item& item = m_items[i];
  if (item.checkable) m_items[i].checked = !item.checked;
  if (item.mimic) POST(EVENT::Accepted, item.mimic);
  if (item.event) POST(item.event, item.eventControl, item.eventThread);
  return m_items[i].name;
}

}  // namespace ov::ui
