#include "platform/os/tray_icon.h"

#include <QFile>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "platform/ui/icons.h"

namespace ov::os {

TrayIcon::TrayIcon(unsigned id, MessageSink sink, QObject* parent)
    : QObject(parent), m_id(id), m_sink(std::move(sink)), m_icon(new QSystemTrayIcon(this)) {
  connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    unsigned mouse = 0;
    switch (reason) {
      case QSystemTrayIcon::Trigger: mouse = wm::kLButtonUp; break;
      case QSystemTrayIcon::DoubleClick: mouse = wm::kLButtonDblClk; break;
      case QSystemTrayIcon::Context: mouse = wm::kRButtonUp; break;
      case QSystemTrayIcon::MiddleClick: mouse = wm::kMButtonUp; break;
      default: return;
    }
    if (m_sink) m_sink(WinMessage{wm::kTrayCallback, m_id, static_cast<std::intptr_t>(mouse)});
  });
}

TrayIcon::~TrayIcon() { remove(); }

bool TrayIcon::trayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

QIcon TrayIcon::iconByName(const std::string& name) {
  QString base = ":/icons/" + QString::fromStdString(name);
  for (const char* ext : {"", ".png", ".ico", ".svg"})
    if (QFile::exists(base + ext)) return QIcon(base + ext);
  if (QIcon own = ui::programIcon(name); !own.isNull()) return own;
  QIcon themed = QIcon::fromTheme(QString::fromStdString(name));
  if (!themed.isNull()) return themed;
  QPixmap blank(16, 16);
  blank.fill(Qt::transparent);
  return QIcon(blank);
}

bool TrayIcon::add(const QIcon& icon, const QString& tip) {
  m_icon->setIcon(icon);
  m_icon->setToolTip(tip);
  m_icon->show();
  m_added = true;
  return trayAvailable();
}

bool TrayIcon::add(const std::string& iconName, const std::string& tip) {
  return add(iconByName(iconName), QString::fromStdString(tip));
}

bool TrayIcon::changeIcon(const QIcon& icon) {
  if (!m_added) return false;
  m_icon->setIcon(icon);
  return trayAvailable();
}

bool TrayIcon::changeIcon(const std::string& iconName) { return changeIcon(iconByName(iconName)); }

bool TrayIcon::changeTip(const QString& tip) {
  if (!m_added) return false;
  m_icon->setToolTip(tip);
  return trayAvailable();
}

bool TrayIcon::remove() {
  if (!m_added) return false;
  m_icon->hide();
  m_added = false;
  return true;
}

QString TrayIcon::tip() const { return m_icon->toolTip(); }

}  // namespace ov::os
