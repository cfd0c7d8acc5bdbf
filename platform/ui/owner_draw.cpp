#include "platform/ui/owner_draw.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/ui/control.h"
#include "platform/ui/detail/owner_draw_menus.h"
#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/icons.h"
#include "platform/ui/window.h"

namespace ov::ui {

namespace {

thread_local uint32_t g_lastError = 0;

const char* const kItemProperty = "ovMenuItem";

QColor colour(COLORREF c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
COLORREF colorref(const QColor& c) { return COLORREF(c.red()) | COLORREF(c.green()) << 8 | COLORREF(c.blue()) << 16; }
QRect qrect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

// A menu handle names the menu bar of a window (the window's handle, negated) or one of its menus
// (the menu control's handle).
struct MenuRef {
  Window* window = nullptr;
  int menuFeq = 0;  // 0: the bar
};

bool resolveMenu(HMENU menu, MenuRef& ref) {
  Window* w = nullptr;
  int feq = 0;
  const Handle h = static_cast<Handle>(menu < 0 ? -menu : menu);
  if (menu == 0 || !detail::Runtime::get().resolveHandle(h, w, feq)) return false;
  if (menu < 0) {
    if (feq != 0) return false;
  } else {
    Control* c = w->control(feq);
    if (feq == 0 || !c || c->kind() != Kind::Menu) return false;
  }
  ref = {w, menu < 0 ? 0 : feq};
  return true;
}

// The menu's items: its menus and items in declaration order.
std::vector<MenuControl*> itemsOf(const MenuRef& ref) {
  std::vector<MenuControl*> items;
  for (int feq : ref.window->allControls()) {
    Control* c = ref.window->control(feq);
    if ((c->kind() == Kind::Menu || c->kind() == Kind::Item) && c->parentFeq() == ref.menuFeq)
      items.push_back(static_cast<MenuControl*>(c));
  }
  return items;
}

MenuControl* findItem(HMENU menu, uint32_t item, bool byPosition) {
  MenuRef ref;
  if (!resolveMenu(menu, ref)) {
    g_lastError = kErrorInvalidMenuHandle;
    return nullptr;
  }
  const std::vector<MenuControl*> items = itemsOf(ref);
  if (byPosition) {
    if (item < items.size()) return items[item];
  } else {
    for (MenuControl* m : items)
      if (static_cast<uint32_t>(m->feq()) == item) return m;
  }
  g_lastError = kErrorMenuItemNotFound;
  return nullptr;
}

uint32_t baseType(const MenuControl& m) { return m.textProp() == "-" ? MFT::Separator : MFT::String; }

MenuControl* ownerDrawn(const QStyleOption* opt) {
  auto* a = qobject_cast<QAction*>(opt ? opt->styleObject : nullptr);
  if (!a) return nullptr;
  auto* m = static_cast<MenuControl*>(a->property(kItemProperty).value<void*>());
  return m && (m->menuType & MFT::OwnerDraw) ? m : nullptr;
}

// Hands owner-drawn menu items to their window's procedure chain.
class OwnerDrawStyle : public QProxyStyle {
 public:
  QSize sizeFromContents(ContentsType type, const QStyleOption* opt, const QSize& size,
                         const QWidget* widget) const override {
    if (type == CT_MenuItem || type == CT_MenuBarItem) {
      if (MenuControl* m = ownerDrawn(opt)) {
        // The procedure starts from the size the desktop's style gives the item.
        const QSize own = QProxyStyle::sizeFromContents(type, opt, size, widget);
        MEASUREITEMSTRUCT mis;
        mis.itemWidth = static_cast<uint32_t>(std::max(own.width(), 0));
        mis.itemHeight = static_cast<uint32_t>(std::max(own.height(), 0));
        mis.itemID = static_cast<uint32_t>(m->feq());
        mis.itemData = m->menuData;
        if (SendMessage(m->window().handle(), WM::MeasureItem, 0, reinterpret_cast<LPARAM>(&mis)))
          return QSize(int(mis.itemWidth), int(mis.itemHeight));
      }
    }
    return QProxyStyle::sizeFromContents(type, opt, size, widget);
  }
  void drawControl(ControlElement element, const QStyleOption* opt, QPainter* p, const QWidget* widget) const override {
    if (element == CE_MenuItem || element == CE_MenuBarItem) {
      if (MenuControl* m = ownerDrawn(opt)) {
        p->save();
        DeviceContext dc(*p);
        DRAWITEMSTRUCT dis;
        dis.itemID = static_cast<uint32_t>(m->feq());
        dis.itemState = (opt->state & State_Selected) ? ODS::Selected : 0;
        dis.hDC = &dc;
        dis.rcItem = {opt->rect.left(), opt->rect.top(), opt->rect.right() + 1, opt->rect.bottom() + 1};
        dis.itemData = m->menuData;
        const LRESULT taken = SendMessage(m->window().handle(), WM::DrawItem, 0, reinterpret_cast<LPARAM>(&dis));
        p->restore();
        if (taken) return;
      }
    }
    QProxyStyle::drawControl(element, opt, p, widget);
  }
};

QStyle* ownerDrawStyle() {
  static OwnerDrawStyle* style = [] {
    auto* s = new OwnerDrawStyle;
    s->setParent(qApp);
    return s;
  }();
  return style;
}

// Tags an owner-drawn item's style option with its action, so that the style can find the item.
void tag(QStyleOptionMenuItem* option, const QAction* action) {
  if (action && action->property(kItemProperty).isValid()) option->styleObject = const_cast<QAction*>(action);
}

class OwnerDrawMenu : public QMenu {
 public:
  using QMenu::QMenu;
  void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override {
    QMenu::initStyleOption(option, action);
    tag(option, action);
  }
};

class OwnerDrawMenuBar : public QMenuBar {
 public:
  using QMenuBar::QMenuBar;
  void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override {
    QMenuBar::initStyleOption(option, action);
    tag(option, action);
  }
};

}  // namespace

namespace detail {
QMenu* newOwnerDrawMenu(const QString& title, QWidget* parent) { return new OwnerDrawMenu(title, parent); }
QMenuBar* newOwnerDrawMenuBar(QWidget* parent) { return new OwnerDrawMenuBar(parent); }
}  // namespace detail

HMENU GetMenu(Handle hwnd) {
  Window* w = nullptr;
  int feq = 0;
  if (!detail::Runtime::get().resolveHandle(hwnd, w, feq) || feq != 0) return 0;
  for (int f : w->allControls()) {
    Control* c = w->control(f);
    if ((c->kind() == Kind::Menu || c->kind() == Kind::Item) && c->parentFeq() == 0) return -static_cast<HMENU>(hwnd);
  }
  return 0;
}

int GetMenuItemCount(HMENU menu) {
  MenuRef ref;
  if (!resolveMenu(menu, ref)) {
    g_lastError = kErrorInvalidMenuHandle;
    return -1;
  }
  return static_cast<int>(itemsOf(ref).size());
}

bool GetMenuItemInfoA(HMENU menu, uint32_t item, bool byPosition, MENUITEMINFO* info) {
  MenuControl* m = findItem(menu, item, byPosition);
  if (!m || !info) return false;
  if (info->fMask & MIIM::ID) info->wID = static_cast<uint32_t>(m->feq());
  if (info->fMask & MIIM::SubMenu) info->hSubMenu = m->kind() == Kind::Menu ? static_cast<HMENU>(m->handle()) : 0;
  if (info->fMask & MIIM::Type) {
    info->fType = baseType(*m) | m->menuType;
    const std::string text = info->fType & MFT::Separator ? std::string() : m->textProp();
    if (info->dwTypeData && info->cch > 0) {
      const size_t n = std::min<size_t>(text.size(), info->cch - 1);
      std::memcpy(info->dwTypeData, text.data(), n);
      info->dwTypeData[n] = '\0';
      info->cch = static_cast<uint32_t>(n);
    } else {
      info->cch = static_cast<uint32_t>(text.size());
    }
  }
  if (info->fMask & MIIM::Data) info->dwItemData = m->menuData;
  return true;
}

bool SetMenuItemInfoA(HMENU menu, uint32_t item, bool byPosition, const MENUITEMINFO* info) {
  MenuControl* m = findItem(menu, item, byPosition);
  if (!m || !info) return false;
  if (info->fMask & MIIM::Data) m->menuData = info->dwItemData;
  if (info->fMask & MIIM::Type) m->menuType = info->fType & MFT::OwnerDraw;
  if (auto* a = static_cast<QAction*>(m->actionHandle())) {
    a->setProperty(kItemProperty, QVariant::fromValue<void*>(m));
    if (m->menuType & MFT::OwnerDraw) {
      for (QObject* o : a->associatedObjects()) {
        if (auto* widget = qobject_cast<QWidget*>(o); widget && (qobject_cast<QMenu*>(widget) || qobject_cast<QMenuBar*>(widget))) {
          if (widget->style() != ownerDrawStyle()) widget->setStyle(ownerDrawStyle());
          widget->updateGeometry();
          widget->update();
        }
      }
    }
  }
  return true;
}

uint32_t GetLastError() { return g_lastError; }

SIZE GetTextExtent(Handle hwnd, std::string_view text) {
  Window* w = nullptr;
  int feq = 0;
  QFont font = QApplication::font("QMenu");
  if (detail::Runtime::get().resolveHandle(hwnd, w, feq) && w->view()) font = w->view()->font();
  const QFontMetrics fm(font);
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return {fm.horizontalAdvance(s), fm.height()};
}

COLORREF GetSysColor(int index) {
  // The menu (4) and the menu bar (30) share the desktop's window colour; so does anything else.
  (void)index;
  return colorref(QApplication::palette("QMenu").color(QPalette::Window));
}

bool flatMenus() { return true; }

void DeviceContext::FillRect(const RECT& r, COLORREF c) { m_painter.fillRect(qrect(r), colour(c)); }

void DeviceContext::FrameRect(const RECT& r, COLORREF c) {
  const QRect q = qrect(r);
  if (q.width() <= 0 || q.height() <= 0) return;
  m_painter.fillRect(QRect(q.left(), q.top(), q.width(), 1), colour(c));
  m_painter.fillRect(QRect(q.left(), q.bottom(), q.width(), 1), colour(c));
  m_painter.fillRect(QRect(q.left(), q.top(), 1, q.height()), colour(c));
  m_painter.fillRect(QRect(q.right(), q.top(), 1, q.height()), colour(c));
}

void DeviceContext::DrawText(std::string_view text, const RECT& r, uint32_t format) {
  int flags = Qt::TextShowMnemonic;
  flags |= (format & DT::Center) ? Qt::AlignHCenter : Qt::AlignLeft;
  flags |= (format & DT::VCenter) ? Qt::AlignVCenter : Qt::AlignTop;
  if (format & DT::SingleLine) flags |= Qt::TextSingleLine;
  m_painter.setPen(QApplication::palette("QMenu").color(QPalette::WindowText));
  m_painter.drawText(qrect(r), flags, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool DeviceContext::DrawIcon(std::string_view name, int x, int y) {
  const QIcon icon = programIcon(name);
  if (icon.isNull()) return false;
  icon.paint(&m_painter, QRect(x, y, 16, 16));
  return true;
}

}  // namespace ov::ui
