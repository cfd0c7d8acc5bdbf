#include "platform/ui/icons.h"

#include "platform/ui/desktop_formats.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cctype>
#include <utility>

// The resource file lies in a static library: registered here, once, before the first look-up.
static void initIconResources() { Q_INIT_RESOURCE(ov_icons); }

namespace ov::ui {

namespace {

// Our icons with an obvious counterpart in the freedesktop icon naming.
constexpr std::pair<std::string_view, const char*> kThemeNames[] = {
    {"save", "document-save"}, {"disk", "document-save"}, {"open", "document-open"},
    {"help", "help-browser"},  {"up", "go-up"},           {"down", "go-down"},
    {"top", "go-top"},         {"bottom", "go-bottom"},   {"qvmoveup", "go-up"},
    {"qvmovedn", "go-down"},   {"qvmovebg", "go-top"},    {"qvmovend", "go-bottom"},
    {"exit", "application-exit"},
};

}  // namespace

std::string programIconName(std::string_view name) {
  std::string n(name);
  n.erase(0, n.find_first_not_of('~'));
  if (auto slash = n.find_last_of("/\\"); slash != std::string::npos) n.erase(0, slash + 1);
  std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (std::string_view end : {".ico", "_ico", ".svg", ".png"})
    if (n.size() > end.size() && n.compare(n.size() - end.size(), end.size(), end) == 0) {
      n.erase(n.size() - end.size());
      break;
    }
  return n;
}

QIcon programIcon(std::string_view name) {
  static const bool registered = (initIconResources(), true);
  (void)registered;
  const std::string stem = programIconName(name);
  if (stem.empty()) return {};
  const QString path = QStringLiteral(":/icons/") + QString::fromStdString(stem) + QStringLiteral(".svg");
  if (!QFile::exists(path)) return {};
  QIcon ours(path);
  for (const auto& [key, theme] : kThemeNames)
    if (stem == key) return QIcon::fromTheme(QString::fromLatin1(theme), ours);
  return ours;
}

QIcon programPicture(std::string_view name) {
  std::string n = programIconName(name);
  for (std::string_view end : {".jpg", ".jpeg", ".bmp", ".gif"})
    if (n.size() > end.size() && n.compare(n.size() - end.size(), end.size(), end) == 0) {
      n.erase(n.size() - end.size());
      break;
    }
  // Only our own drawing: the desktop's theme has no counterpart of a wizard's picture.
  static const bool registered = (initIconResources(), true);
  (void)registered;
  const QString path = QStringLiteral(":/icons/") + QString::fromStdString(n) + QStringLiteral(".svg");
  return !n.empty() && QFile::exists(path) ? QIcon(path) : QIcon();
}

QIcon applicationIcon() { return programIcon("orvane"); }

namespace {

// As a program's application object comes up: its windows get the application icon (the desktop
// entry "orvane.desktop" names the same), and dates follow the desktop's locale.
void atApplicationStart() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    QGuiApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("orvane"));
  }
  useDesktopDateFormats();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(atApplicationStart)

}  // namespace ov::ui
