#include "platform/ui/detail/view_util.h"

#include <QAction>
#include <QToolBar>

#include <filesystem>
#include <vector>

#include "platform/ui/control.h"
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
