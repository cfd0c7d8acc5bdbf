// Dates that follow the system's short and long date take the desktop locale's order for display
// and input alike; the fixed pictures keep theirs whatever the locale.
#include <gtest/gtest.h>

#include <QLocale>

#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/ui/desktop_formats.h"

using ov::rt::DATE;
using ov::rt::DEFORMAT;
using ov::rt::FORMAT;

namespace {

class DesktopFormats : public ::testing::Test {
 protected:
  void SetUp() override { m_saved = ov::rt::systemFormats(); }
  void TearDown() override { ov::rt::setSystemFormats(m_saved); }
  void use(const char* locale) {
    ov::rt::setSystemFormats(ov::ui::desktopFormats(QLocale(QString::fromLatin1(locale)), m_saved));
  }
  ov::rt::SystemFormats m_saved;
};

TEST_F(DesktopFormats, TypedDatesReadInTheOrderTheFieldShows) {
  const int32_t dec11 = DATE(12, 11, 2026), nov12 = DATE(11, 12, 2026);
  struct Case {
    const char* locale;
    const char* picture;
    const char* typed;
    int32_t read;
  };
  const Case cases[] = {
      // the system's short date: the locale's order
      {"en_US", "@d17", "12/11/2026", dec11},
      {"en_US", "@d17", "12/11/26", dec11},
      {"en_GB", "@d17", "12/11/2026", nov12},
      {"en_GB", "@d17", "11.12.26", dec11},
      {"de_DE", "@d17", "11.12.2026", dec11},
      // the long date reads month names in any order
      {"en_GB", "@d18", "Friday, 11 December 2026", dec11},
      {"en_US", "@d18", "Friday, December 11, 2026", dec11},
      // the fixed pictures: their own order whatever the locale
      {"en_GB", "@d2", "12/11/2026", dec11},
      {"en_US", "@d6", "12/11/2026", nov12},
      {"de_DE", "@d10", "2026/12/11", dec11},
  };
  for (const Case& c : cases) {
    use(c.locale);
    EXPECT_EQ(static_cast<int32_t>(ov::rt::deformatValue(c.typed, c.picture)), c.read)
        << c.locale << " " << c.picture << " \"" << c.typed << "\"";
  }
}

TEST_F(DesktopFormats, ShownDatesFollowTheLocaleAndReadBack) {
  const int32_t dec11 = DATE(12, 11, 2026);
  const std::pair<const char*, const char*> shown[] = {
      {"en_US", "12/11/26"}, {"en_GB", "11/12/2026"}, {"de_DE", "11.12.26"}, {"nl_NL", "11-12-2026"}};
  for (const auto& [locale, text] : shown) {
    use(locale);
    EXPECT_EQ(FORMAT(dec11, "@d17"), text) << locale;
    EXPECT_EQ(DEFORMAT(FORMAT(dec11, "@d17"), "@d17"), std::to_string(dec11)) << locale;
    EXPECT_EQ(DEFORMAT(FORMAT(dec11, "@d18"), "@d18"), std::to_string(dec11)) << locale;
    EXPECT_EQ(FORMAT(dec11, "@d2"), "12/11/2026") << locale << ": a fixed picture";
  }
}

TEST_F(DesktopFormats, TheCLocaleLeavesTheFormsAsTheyAre) {
  ov::rt::SystemFormats base{"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"};
  ov::rt::SystemFormats f = ov::ui::desktopFormats(QLocale::c(), base);
  EXPECT_EQ(f.shortDate, base.shortDate);
  EXPECT_EQ(f.longDate, base.longDate);
  // Another locale changes the dates only: the times stay.
  f = ov::ui::desktopFormats(QLocale(QStringLiteral("de_DE")), base);
  EXPECT_EQ(f.shortDate, "dd.MM.yy");
  EXPECT_EQ(f.shortTime, "HH:mm");
  EXPECT_EQ(f.longTime, "HH:mm:ss");
}

}  // namespace
