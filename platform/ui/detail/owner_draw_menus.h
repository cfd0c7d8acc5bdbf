// The menu widgets of a window's view: Qt's menu bar and menus that hand their owner-drawn items
// (owner_draw.h) to the window's procedure chain.
#pragma once

class QMenu;
class QMenuBar;
class QString;
class QWidget;

namespace ov::ui::detail {

QMenu* newOwnerDrawMenu(const QString& title, QWidget* parent);
QMenuBar* newOwnerDrawMenuBar(QWidget* parent);

}  // namespace ov::ui::detail
