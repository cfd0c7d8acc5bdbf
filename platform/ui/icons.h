// The programs' own icons, built into every program that links the window layer.
//
// A window, button, menu item, list or the tray names an icon as the runtime did ("~close.ico",
// "EXIT.ICO", "tray_ico"); the name compares without regard to case, a leading "~" and the
// ".ico"/"_ico" ending. Where the desktop's icon theme has the obvious counterpart of an icon
// (document-save for "save.ico"), the theme's picture is used and ours is the fallback.
//
// Threading: GUI thread (they build QIcons).
#pragma once

#include <QIcon>

#include <string>
#include <string_view>

namespace ov::ui {

// The built-in icon of that name; a null icon when the programs have none by that name.
QIcon programIcon(std::string_view name);
// The icon's name in the built-in set: "close" for "~Close.ICO", "tray" for "tray_ico".
std::string programIconName(std::string_view name);
// The programs' own drawing of a picture that a window names ("3hand.jpg", "~3hand.jpg"): the
// name compares as an icon's does, whatever its picture-file ending; a null icon when the programs
// have no picture by that name.
QIcon programPicture(std::string_view name);
// The programs' application icon (windows that name no icon of their own show it).
QIcon applicationIcon();

}  // namespace ov::ui
