// Internal: small helpers shared by the controls' and windows' views.
#pragma once

#include <QIcon>
#include <QString>

#include <cstdint>
#include <utility>
#include <string>
#include <string_view>

class QWidget;

namespace ov::ui {
class Control;
class MenuControl;
}  // namespace ov::ui

namespace ov::ui::detail {

inline QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string s8(const QString& s) { return s.toUtf8().toStdString(); }

inline std::string flag(bool on) { return on ? "1" : ""; }
// A flag property is set by any text that is not blank and not a zero number.
bool isTrue(std::string_view v);
int64_t toInt(std::string_view v, int64_t fallback = 0);
double toDouble(std::string_view v);
std::string numberText(double v);

// Text, tip, font, colours, geometry, visibility and enabled state of a control's view.
void applyCommon(const Control& c, QWidget& view);
void syncMenuControl(MenuControl& c);

// The Qt key and modifiers of a runtime key code (virtual-key code + Shift/Ctrl/Alt); key 0 when
// the code has no Qt key.
std::pair<int, Qt::KeyboardModifiers> qtKeyOf(int keycode);

// An icon by the runtime's name ("~close.ico", "tray_ico", a path); empty when not found.
QIcon loadIcon(std::string_view name);
// A picture file by name: the path itself, the current folder, then the icon folders; "" if none.
std::string findImageFile(std::string_view name);

}  // namespace ov::ui::detail
