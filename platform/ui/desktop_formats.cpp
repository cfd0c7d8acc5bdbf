#include "platform/ui/desktop_formats.h"

#include <cctype>

namespace ov::ui {

namespace {

// The toolkit's date patterns use the letters of ours (d M y, quoted text); anything it adds
// beyond them (era, time zone) is dropped.
std::string datePattern(const QString& qt) {
  std::string out;
  bool quoted = false;
  for (QChar ch : qt) {
    char16_t c = ch.unicode();
    if (c == '\'') quoted = !quoted;
    if (!quoted && c < 128 && std::isalpha(static_cast<int>(c)) && c != 'd' && c != 'M' && c != 'y') continue;
    out += QString(ch).toStdString();
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

rt::SystemFormats desktopFormats(const QLocale& locale, rt::SystemFormats base) {
  if (locale.language() == QLocale::C) return base;
  std::string shortDate = datePattern(locale.dateFormat(QLocale::ShortFormat));
  std::string longDate = datePattern(locale.dateFormat(QLocale::LongFormat));
  if (!shortDate.empty()) base.shortDate = shortDate;
  if (!longDate.empty()) base.longDate = longDate;
  return base;
}

void useDesktopDateFormats() {
  const QLocale system = QLocale::system();
  if (system.language() == QLocale::C) return;
  rt::setSystemFormats(desktopFormats(system, rt::systemFormats()));
}

}  // namespace ov::ui
