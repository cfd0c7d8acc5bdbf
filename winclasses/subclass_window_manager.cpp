#include "winclasses/subclass_window_manager.h"

#include <algorithm>
#include <cstring>

#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/window.h"

namespace ov::winclasses {

using namespace ov::ui;

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kSelectedFill = 0xDFBFBF;   // red 191, green 191, blue 223
constexpr COLORREF kSelectedFrame = 0x800000;  // navy
constexpr COLORREF kBarOutline = 0x666666;
constexpr COLORREF kBarShadow = 0x747474;
constexpr int kGutter = 23;      // the icon column of a popup
constexpr int kTextIndent = 27;  // where a popup item's text begins
constexpr size_t kMaxText = 64;

HMENU g_lastMenu = 0;

void menuCallFailed() { MESSAGE("GetMenuItemInfo Failed!", std::to_string(ui::GetLastError())); }

XPMenuItem* recordOf(uintptr_t data) { return reinterpret_cast<XPMenuItem*>(data); }

}  // namespace

SubclassWindowManager::~SubclassWindowManager() {
  if (WINREF && WINREF->isOpen()) KillSubclass();
  if (m_proc) unregisterWindowProc(m_proc);
}

void SubclassWindowManager::InitSubclass(Window& window) {
  WINREF = &window;
  WNDPROC = static_cast<ProcNumber>(window.propInt(0, Prop::WndProc));
  if (!m_proc)
    m_proc = registerWindowProc([this](Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
      return SubclassEvent(hwnd, msg, wParam, lParam);
    });
  window.setProp(0, Prop::WndProc, int64_t(m_proc));
}

void SubclassWindowManager::KillSubclass() {
  if (!WINREF || !WINREF->isOpen()) return;
  if (WINREF->propInt(0, Prop::WndProc) == m_proc) WINREF->setProp(0, Prop::WndProc, int64_t(WNDPROC));
}

LRESULT SubclassWindowManager::SubclassEvent(Handle hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProc(WNDPROC, hwnd, message, wParam, lParam);
}

int32_t& XPWindowManager::itemCounter() {
  static int32_t counter = 0;
  return counter;
}

HMENU XPWindowManager::lastMenu() { return g_lastMenu; }

void XPWindowManager::InitSubclass(Window& window) {
  SubclassWindowManager::InitSubclass(window);
  g_lastMenu = GetMenu(window.handle());
  if (g_lastMenu) SetMenuOwnerDrawn(g_lastMenu, 0, 0, itemCounter());
}

LRESULT XPWindowManager::SubclassEvent(Handle hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  // Owner-drawn items of other kinds than menus are not this class's.
  if (message == WM::MeasureItem) {
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    if (mis && mis->CtlType == ODT::Menu && mis->itemData) {
      OnMeasureItem(hwnd, mis);
      return 1;
    }
  } else if (message == WM::DrawItem) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    if (dis && dis->CtlType == ODT::Menu && dis->itemData && dis->hDC) {
      OnDrawItem(hwnd, dis);
      return 1;
    }
  }
  return SubclassWindowManager::SubclassEvent(hwnd, message, wParam, lParam);
}

void XPWindowManager::GetMenuIcon(int32_t /*equateLabel*/, int32_t /*size*/, std::string& name) { name.clear(); }

void XPWindowManager::SetMenuOwnerDrawn(HMENU menu, int32_t barIndex, int32_t level, int32_t& counter) {
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    MENUITEMINFO info;
    info.fMask = MIIM::ID | MIIM::SubMenu | MIIM::Type;
    if (level == 0) barIndex = i;
    XPMenuItem record;
    record.UBARINDEX = barIndex;
    record.ULEVEL = level;
    record.UINDEX = i;
    info.cch = 0;
    if (!GetMenuItemInfoA(menu, uint32_t(i), true, &info)) {
      menuCallFailed();
      continue;
    }
    if (info.fType == MFT::String) {
      record.EQUATELABEL = --counter;
      std::string buffer(info.cch + 1, '\0');
      MENUITEMINFO text = info;
      text.dwTypeData = buffer.data();
      text.cch = info.cch + 1;
      if (GetMenuItemInfoA(menu, uint32_t(i), true, &text)) {
        const size_t len = std::min<size_t>(text.cch, kMaxText);
        record.CCHITEMTEXT = int32_t(text.cch);
        std::memcpy(record.SZITEMTEXT, buffer.data(), len);
        record.SZITEMTEXT[len] = '\0';
      }
    }
    record.FTYPE = int32_t(info.fType);
    auto owned = std::make_unique<XPMenuItem>(record);
    info.fMask |= MIIM::Data;
    info.fType |= MFT::OwnerDraw;
    info.dwItemData = reinterpret_cast<uintptr_t>(owned.get());
    info.dwTypeData = nullptr;
    m_items.push_back(std::move(owned));
    if (!SetMenuItemInfoA(menu, uint32_t(i), true, &info)) menuCallFailed();
    if (info.hSubMenu) SetMenuOwnerDrawn(info.hSubMenu, barIndex, level + 1, counter);
  }
}

void XPWindowManager::OnMeasureItem(Handle hwnd, MEASUREITEMSTRUCT* mis) {
  const XPMenuItem& item = *recordOf(mis->itemData);
  if (item.FTYPE == int32_t(MFT::Separator)) {
    mis->itemHeight = 3;
  } else if (item.FTYPE == int32_t(MFT::String)) {
    const SIZE extent = GetTextExtent(hwnd, item.SZITEMTEXT);
    if (item.ULEVEL != 0) {
      mis->itemHeight = 20;
      mis->itemWidth = uint32_t(extent.cx + kGutter + (item.UBARINDEX == 0 ? 20 : 0));
    } else {
      mis->itemHeight = uint32_t(extent.cy);
      mis->itemWidth = uint32_t(extent.cx * 8 / 10);  // 0.8 times, the fraction dropped
    }
  }
}

void XPWindowManager::OnDrawItem(Handle /*hwnd*/, DRAWITEMSTRUCT* dis) {
  const XPMenuItem& item = *recordOf(dis->itemData);
  DeviceContext& dc = *dis->hDC;
  const bool popup = item.ULEVEL != 0;
  const COLORREF menuColour = GetSysColor(flatMenus() ? 30 : 4);
  dc.SetBkColor(menuColour);

  RECT r = dis->rcItem;
  dc.FillRect(r, menuColour);
  if (popup) {
    RECT text = r;
    text.left += kGutter;
    dc.FillRect(text, kWhite);
  }
  if (item.FTYPE == int32_t(MFT::Separator)) {
    RECT line = r;
    line.left += kTextIndent;
    line.top += 1;
    line.bottom -= 1;
    dc.FillRect(line, menuColour);
    return;
  }
  if (item.FTYPE != int32_t(MFT::String)) return;

  std::string name;
  uint32_t format = DT::SingleLine | DT::VCenter;
  if (popup) {
    GetMenuIcon(item.EQUATELABEL, 64, name);
    if (name.size() > kMaxText) name.resize(kMaxText);
  } else {
    format |= DT::Center;
  }
  std::string first, fallback;
  if (dis->itemState & ODS::Selected) {
    if (popup) {
      first = name + "_ICO";
      dc.FillRect(r, kSelectedFill);
      dc.FrameRect(r, kSelectedFrame);
      dc.SetBkColor(kSelectedFill);
    } else {
      RECT outline = r;
      outline.right -= 2;
      dc.FrameRect(outline, kBarOutline);
      dc.FrameRect(RECT{r.right - 2, r.top + 2, r.right, r.bottom}, kBarShadow);
    }
  } else if (popup) {
    first = name + "_cold_ICO";
    fallback = name + "_ICO";
    dc.SetBkColor(kWhite);
  }
  // A menu-bar entry never shows an icon; an item without a name has none.
  if (popup && !name.empty()) {
    if (!dc.DrawIcon(first, r.left + 2, r.top + 2) && !fallback.empty()) (void)dc.DrawIcon(fallback, r.left + 2, r.top + 2);
  }
  RECT text = r;
  text.left += popup ? kTextIndent : 4;
  dc.DrawText(item.SZITEMTEXT, text, format);
}

}  // namespace ov::winclasses
