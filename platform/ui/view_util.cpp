#include "platform/ui/detail/view_util.h"

#include <QAction>
#include <QApplication>
#include <QStyle>
#include <QToolBar>

#include <cctype>
#include <filesystem>
#include <vector>

#include "platform/rt/text.h"
#include "platform/ui/control.h"
#include "platform/ui/event.h"
#include "platform/ui/icons.h"
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

namespace {
struct StandardIcon {
  const char* name;
  QStyle::StandardPixmap pixmap;
};
// In code order: "<00>" is the first.
constexpr StandardIcon kStandardIcons[] = {
    {"ICON:NONE", QStyle::SP_CustomBase},
    {"ICON:APPLICATION", QStyle::SP_ComputerIcon},
    {"ICON:HAND", QStyle::SP_MessageBoxCritical},
    {"ICON:QUESTION", QStyle::SP_MessageBoxQuestion},
    {"ICON:EXCLAMATION", QStyle::SP_MessageBoxWarning},
    {"ICON:ASTERISK", QStyle::SP_MessageBoxInformation},
    {"ICON:PICK", QStyle::SP_DialogOpenButton},
    {"ICON:SAVE", QStyle::SP_DialogSaveButton},
    {"ICON:PRINT", QStyle::SP_FileIcon},
    {"ICON:PASTE", QStyle::SP_FileDialogContentsView},
    {"ICON:OPEN", QStyle::SP_DirOpenIcon},
    {"ICON:NEW", QStyle::SP_FileIcon},
    {"ICON:HELP", QStyle::SP_DialogHelpButton},
    {"ICON:CUT", QStyle::SP_TrashIcon},
    {"ICON:COPY", QStyle::SP_FileDialogDetailedView},
    {"ICON:CHILD", QStyle::SP_TitleBarNormalButton},
    {"ICON:FRAME", QStyle::SP_TitleBarMaxButton},
    {nullptr, QStyle::SP_DesktopIcon},  // the runtime's own logo: no name to ask for it by
    {"ICON:NOPRINT", QStyle::SP_DialogCancelButton},
    {"ICON:ZOOM", QStyle::SP_FileDialogInfoView},
    {"ICON:NEXTPAGE", QStyle::SP_ArrowForward},
    {"ICON:PREVPAGE", QStyle::SP_ArrowBack},
    {"ICON:JUMPPAGE", QStyle::SP_ArrowRight},
    {"ICON:THUMBNAIL", QStyle::SP_FileDialogListView},
    {"ICON:TICK", QStyle::SP_DialogApplyButton},
    {"ICON:CROSS", QStyle::SP_DialogCloseButton},
    {"ICON:CONNECT", QStyle::SP_DriveNetIcon},
    {"ICON:PRINT1", QStyle::SP_FileIcon},
    {"ICON:ELLIPSIS", QStyle::SP_ToolBarHorizontalExtensionButton},
    {"ICON:VCRTOP", QStyle::SP_MediaSkipBackward},
    {"ICON:VCRREWIND", QStyle::SP_MediaSeekBackward},
    {"ICON:VCRBACK", QStyle::SP_ArrowLeft},
    {"ICON:VCRPLAY", QStyle::SP_MediaPlay},
    {"ICON:VCRFASTFORWARD", QStyle::SP_MediaSeekForward},
    {"ICON:VCRBOTTOM", QStyle::SP_MediaSkipForward},
    {"ICON:VCRLOCATE", QStyle::SP_FileDialogContentsView},
};
constexpr int kStandardIconCount = static_cast<int>(sizeof kStandardIcons / sizeof kStandardIcons[0]);

// The position of a code "<nn>" in the table, -1 when it is none.
int standardIconIndex(std::string_view code) {
  if (code.size() != 4 || code[0] != '<' || code[3] != '>' || !isdigit(static_cast<unsigned char>(code[1])) ||
      !isdigit(static_cast<unsigned char>(code[2])))
    return -1;
  int n = (code[1] - '0') * 10 + (code[2] - '0');
  return n < kStandardIconCount ? n : -1;
}
}  // namespace

QIcon loadIcon(std::string_view name) {
  if (int i = standardIconIndex(name); i >= 0) {
    if (i == 0 || !qApp) return QIcon();
    return QApplication::style()->standardIcon(kStandardIcons[i].pixmap);
  }
  // "~name" is one of the programs' own; another name is a file when there is one.
  const bool own = !name.empty() && name.front() == '~';
  if (!own) {
    std::string path = findImageFile(name);
    if (!path.empty()) return QIcon(q(path));
  }
  if (QIcon builtIn = programIcon(name); !builtIn.isNull()) return builtIn;
  std::string path = own ? findImageFile(name) : std::string();
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

std::string standardIconCode(std::string_view name) {
  std::string upper = rt::UPPER(rt::clipView(name));
  for (int i = 0; i < detail::kStandardIconCount; ++i) {
    const char* n = detail::kStandardIcons[i].name;
    if (n && upper == n) {
      char code[5] = {'<', static_cast<char>('0' + i / 10), static_cast<char>('0' + i % 10), '>', 0};
      return code;
    }
  }
  return {};
}

}  // namespace ov::ui
