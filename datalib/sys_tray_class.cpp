#include "datalib/sys_tray_class.h"

#include <QWidget>

#include "platform/os/tray_icon.h"
#include "platform/os/window_sink.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::files {
namespace {

ui::Window* windowOf(int32_t hwnd) {
  for (ui::Window* w : ui::openWindows())
    if (w->handle() == hwnd) return w;
  return nullptr;
}

}  // namespace

SysTrayClass::SysTrayClass() = default;
SysTrayClass::~SysTrayClass() = default;

std::string SysTrayClass::IconResourceName(std::string_view name) {
  std::string s(rt::clipView(name));
  if (s.size() >= 5 && s[s.size() - 4] == '.') s[s.size() - 4] = '_';
  return s;
}

int SysTrayClass::ShellNotify(ShellOp op) {
  if (!m_icon) m_icon = std::make_unique<os::TrayIcon>(static_cast<unsigned>(UID), os::sendTo(HWND));
  // The picture is looked up under its resource name and, failing that, its file name.
  std::string file = ICON;
  if (file.size() >= 5 && file.compare(file.size() - 4, 4, "_ico") == 0) file[file.size() - 4] = '.';
  std::string shown(TIP.substr(0, rt::utf8CutLength(TIP, 63)));
  switch (op) {
    case ShellOp::Add: return m_icon->add(file, shown) ? 1 : 0;
    case ShellOp::Modify:
      return (m_icon->changeIcon(file) && m_icon->changeTip(QString::fromStdString(shown))) ? 1 : 0;
    case ShellOp::Delete: return m_icon->remove() ? 1 : 0;
  }
  return 0;
}

int SysTrayClass::AddIcon(std::string_view icon, std::string_view tip) {
  ICON = IconResourceName(icon);
  TIP = std::string(rt::clipView(tip));
  return ShellNotify(ShellOp::Add);
}

int SysTrayClass::ChangeIcon(std::string_view icon) {
  std::string name = IconResourceName(icon);
  if (ALWAYSREFRESH == 0 && name == ICON) return 1;
  ICON = name;
  return ShellNotify(ShellOp::Modify);
}

int SysTrayClass::ChangeTip(std::string_view tip) {
  std::string t(rt::clipView(tip));
  if (ALWAYSREFRESH == 0 && t == TIP) return 1;
  TIP = t;
  return ShellNotify(ShellOp::Modify);
}

int SysTrayClass::DeleteIcon() { return ShellNotify(ShellOp::Delete); }

void SysTrayClass::Init(uint8_t id, std::string_view icon, std::string_view tip, uint8_t minimizeToTaskbar,
                        uint8_t noSubclassing) {
  NOSUBCLASSING = noSubclassing;
  if (ui::Window* w = ui::currentWindow()) {
    HWND = w->handle();
    HWNDPROC = static_cast<int32_t>(w->propInt(0, ui::Prop::WndProc));
  }
  UID = id;
  MINIMIZETOTASKBAR = minimizeToTaskbar;
  AddIcon(icon, tip);
  if (handlersRegistered()) registerHandlers();
}

void SysTrayClass::Kill() {
  if (handlersRegistered()) unregisterHandlers();
  DeleteIcon();
  m_icon.reset();
}

void SysTrayClass::registerHandlers() {
  ui::Window* w = windowOf(HWND);
  if (!w) return;
  auto minimising = [this] {
    if (NOSUBCLASSING == 1) return 0;
    Iconized();
    return 5;
  };
  m_handlerIds[0] = w->registerEventHandler(ui::EVENT::Iconize, minimising);
  m_handlerIds[1] = w->registerEventHandler(ui::EVENT::Iconized, minimising);
  m_handlerIds[2] = w->registerEventHandler(ui::EVENT::Restore, [this, w] {
    if (NOSUBCLASSING == 1 || w->propInt(0, ui::Prop::Hide) != 1) return 0;
    Restore();
    return 5;
  });
}

void SysTrayClass::unregisterHandlers() {
  ui::Window* w = windowOf(HWND);
  for (int& id : m_handlerIds) {
    if (w && id) w->unregisterEventHandler(id);
    id = 0;
  }
}

void SysTrayClass::Hide() {
  if (ui::Window* w = windowOf(HWND)) w->setProp(0, ui::Prop::Hide, 1);
}

void SysTrayClass::Iconized() {
  Hide();
  if (ui::Window* w = windowOf(HWND)) w->setProp(0, ui::Prop::Iconize, 0);
  Hide();
}

void SysTrayClass::Unhide() {
  ui::Window* w = windowOf(HWND);
  if (!w) return;
  w->setProp(0, ui::Prop::Iconize, 0);
  w->setProp(0, ui::Prop::Hide, 0);
  if (QWidget* v = w->view()) {
    v->raise();
    v->activateWindow();
  }
}

void SysTrayClass::Restore() { Unhide(); }

void SysTrayClass::DisallowMinimize() {
  if (NOSUBCLASSING == 1 || MINIMIZETOTASKBAR == 0) return;
  MINIMIZETOTASKBAR = 0;
  registerHandlers();
}

void SysTrayClass::AllowMinimize() {
  if (NOSUBCLASSING == 1 || MINIMIZETOTASKBAR == 1) return;
  unregisterHandlers();
  MINIMIZETOTASKBAR = 1;
}

void SysTrayClass::TakeTrayLeftClick() { ui::POST(TrayEvent::LeftClick); }
void SysTrayClass::TakeTrayLeftDoubleClick() { ui::POST(TrayEvent::LeftDoubleClick); }
void SysTrayClass::TakeTrayRightClick() { ui::POST(TrayEvent::RightClick); }

}  // namespace ov::files
