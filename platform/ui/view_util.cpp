#include "platform/ui/detail/view_util.h"

#include <QAction>
#include <QToolBar>

#include <filesystem>
#include <vector>

#include "platform/ui/control.h"
#include "platform/ui/event.h"
#include "platform/ui/window.h"

namespace ov::ui {
namespace {
std::vector<std::string>& imageFolders() {
  static std::vector<std::string> folders;
  return folders;
}
}  // namespace

void addImageFolder(std::string folder) { imageFolders().push_back(std::move(folder)); }

namespace detail {

std::string findImageFile(std::string_view name) {
  namespace fs = std::filesystem;
  std::string n(name);
  while (!n.empty() && n.front() == '~') n.erase(0, 1);  // "~x.ico": one of the program's own
  if (n.empty()) return {};
  std::error_code ec;
  if (fs::path(n).is_absolute()) return fs::exists(n, ec) ? n : std::string();
  if (fs::exists(n, ec)) return n;
  // "busykey_ico" is how a resource named "busykey.ico" is linked in.
  std::string dotted = n;
  if (dotted.size() > 4 && dotted[dotted.size() - 4] == '_') dotted[dotted.size() - 4] = '.';
  for (const std::string& folder : imageFolders()) {
    for (const std::string& candidate : {n, dotted}) {
      fs::path p = fs::path(folder) / candidate;
      if (fs::exists(p, ec)) return p.string();
    }
  }
  return {};
}

// Qt key and modifiers of a runtime key code.
std::pair<int, Qt::KeyboardModifiers> qtKeyOf(int code) {
  Qt::KeyboardModifiers mods;
  if (code & Key::Shift) mods |= Qt::ShiftModifier;
  if (code & Key::Ctrl) mods |= Qt::ControlModifier;
  if (code & Key::Alt) mods |= Qt::AltModifier;
  int vk = code & 0xFF;
  if (vk >= 65 && vk <= 90) return {Qt::Key_A + (vk - 65), mods};
  if (vk >= 48 && vk <= 57) return {Qt::Key_0 + (vk - 48), mods};
  if (vk >= Key::F1 && vk <= Key::F1 + 23) return {Qt::Key_F1 + (vk - Key::F1), mods};
  switch (vk) {
    case Key::Enter: return {Qt::Key_Return, mods};
    case Key::Esc: return {Qt::Key_Escape, mods};
    case Key::Tab: return {Qt::Key_Tab, mods};
    case Key::Backspace: return {Qt::Key_Backspace, mods};
    case Key::Space: return {Qt::Key_Space, mods};
    case Key::PgUp: return {Qt::Key_PageUp, mods};
    case Key::PgDn: return {Qt::Key_PageDown, mods};
    case Key::End: return {Qt::Key_End, mods};
    case Key::Home: return {Qt::Key_Home, mods};
    case Key::Left: return {Qt::Key_Left, mods};
    case Key::Up: return {Qt::Key_Up, mods};
    case Key::Right: return {Qt::Key_Right, mods};
    case Key::Down: return {Qt::Key_Down, mods};
    case Key::Insert: return {Qt::Key_Insert, mods};
    case Key::Delete: return {Qt::Key_Delete, mods};
    case Key::Quote: return {Qt::Key_Apostrophe, mods};
    case Key::Backquote: return {Qt::Key_QuoteLeft, mods};
    default: return {0, mods};
  }
}

QIcon loadIcon(std::string_view name) {
  std::string path = findImageFile(name);
  return path.empty() ? QIcon() : QIcon(q(path));
}

void syncMenuControl(MenuControl& c) {
  auto* a = static_cast<QAction*>(c.actionHandle());
  if (!a) return;
  const Window& w = c.window();
  if (c.kind() == Kind::Toolbar) {
    if (auto* tb = qobject_cast<QToolBar*>(a->parent())) tb->setVisible(!c.isHidden());
    return;
  }
  if (c.textProp() != "-") a->setText(q(c.textProp()));
  a->setEnabled(w.isEnabled(c.feq()));
  a->setVisible(!c.isHidden());
  a->setToolTip(q(c.prop(Prop::Tip)));
  a->setCheckable(c.isCheckable());
  a->setChecked(c.isChecked());
  if (!c.prop(Prop::Icon).empty()) a->setIcon(loadIcon(c.prop(Prop::Icon)));
}

}  // namespace detail
}  // namespace ov::ui
