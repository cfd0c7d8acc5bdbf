// A window's icon in the desktop's notification area (QSystemTrayIcon).
//
// Clicks reach the window as the tray callback message, as the shell sends it: wm::kTrayCallback
// with wParam = the icon's id and lParam = the mouse message (wm::kLButtonUp for a click,
// kLButtonDblClk for a double click, kRButtonUp for a right click, kMButtonUp for a middle one).
// Without a tray host the icon waits and appears once one starts. GUI thread.
#pragma once

#include "platform/os/win_msg.h"

#include <QIcon>
#include <QObject>
#include <QString>

#include <string>

class QSystemTrayIcon;

namespace ov::os {

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  TrayIcon(unsigned id, MessageSink sink, QObject* parent = nullptr);
  ~TrayIcon() override;  // the icon leaves the tray

  // Each returns true when the tray shows the result now, false when there is no tray host (or,
  // for change and remove, no icon was added).
  bool add(const QIcon& icon, const QString& tip);
  bool add(const std::string& iconName, const std::string& tip);
  bool changeIcon(const QIcon& icon);
  bool changeIcon(const std::string& iconName);
  bool changeTip(const QString& tip);
  bool remove();

  bool added() const { return m_added; }
  QString tip() const;

  // The picture linked into the program under `name` (":/icons/<name>", with or without .png,
  // .ico or .svg), else the programs' own icon of that name (ui::programIcon), else the desktop
  // theme's icon of that name; a blank picture when none has it, so the icon keeps its place.
  static QIcon iconByName(const std::string& name);
  static bool trayAvailable();

 private:
  unsigned m_id;
  MessageSink m_sink;
  QSystemTrayIcon* m_icon = nullptr;
  bool m_added = false;
};

}  // namespace ov::os
