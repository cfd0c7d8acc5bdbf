// SysTrayClass: one icon of a window in the desktop's notification area (tray): add, change its
// picture and tip, remove; and, unless told otherwise, minimising the window hides it instead, so
// it lives on as its tray icon.
//
// The tray's clicks reach the owner window as the callback message 1088 through the window's
// chain of message hooks; the owner turns them into events (1089 left click, 1090 right click,
// 1091 left double click) and calls TakeTrayLeftClick and its sisters. GUI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ov::os {
class TrayIcon;
}

namespace ov::files {

namespace TrayEvent {
constexpr int Callback = 1088;
constexpr int LeftClick = 1089;
constexpr int RightClick = 1090;
constexpr int LeftDoubleClick = 1091;
constexpr int RightDoubleClick = 1092;
constexpr int Recreated = 1093;
}  // namespace TrayEvent

class SysTrayClass {
 public:
  SysTrayClass();
  virtual ~SysTrayClass();

  uint8_t ACTIVE = 0;
  uint8_t ALWAYSREFRESH = 0;
  uint8_t MINIMIZETOTASKBAR = 0;
  uint8_t NOSUBCLASSING = 0;
  int32_t HWND = 0;
  int32_t HWNDPROC = 0;
  int32_t UID = 0;
  std::string ICON;  // resource form of the icon's name ("busykey_ico")
  std::string TIP;   // up to 255 characters; the tray shows the first 63

  void Init(uint8_t id, std::string_view icon, std::string_view tip, uint8_t minimizeToTaskbar,
            uint8_t noSubclassing);
  void Kill();
  int AddIcon(std::string_view icon, std::string_view tip);
  int ChangeIcon(std::string_view icon);
  int ChangeTip(std::string_view tip);
  int DeleteIcon();
  std::string GetIcon() const { return ICON; }
  std::string GetTip() const { return TIP; }
  void Hide();
  void Unhide();
  void AllowMinimize();
  void DisallowMinimize();

  virtual void Iconized();
  virtual void Restore();
  virtual void TakeTrayLeftClick();
  virtual void TakeTrayLeftDoubleClick();
  virtual void TakeTrayRightClick();

  // "busykey.ico" -> "busykey_ico": the name under which an icon is linked into the program.
  static std::string IconResourceName(std::string_view name);

 protected:
  enum class ShellOp { Add, Modify, Delete };
  // Hands the icon to the tray; nonzero when it shows the result. Tests override it to count.
  virtual int ShellNotify(ShellOp op);

 private:
  void registerHandlers();
  void unregisterHandlers();
  bool handlersRegistered() const { return NOSUBCLASSING == 0 && MINIMIZETOTASKBAR == 0; }

  std::unique_ptr<os::TrayIcon> m_icon;
  int m_handlerIds[3] = {0, 0, 0};
};

}  // namespace ov::files
