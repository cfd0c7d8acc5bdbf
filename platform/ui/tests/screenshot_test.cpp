// One window rendered offscreen to a PNG file: the picture must show the window's frame, its
// controls and its text, not an empty or one-coloured area. Set OV_SCREENSHOT_DIR to keep it.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "platform/rt/date_time.h"
#include "platform/rt/fixed_string.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "platform/ui/window_manager.h"

using namespace ov::ui;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::ScriptedHost;

namespace {

class Shown : public WindowManager {
 public:
  Shown() : WindowManager("UpdateHolidays") {}
  Level Init() override {
    Window& w = window();
    w.setTitle("Update the Holidays File");
    w.at(-1, -1, 200, 120);
    int sheet = w.sheet("?Sheet").at(2, 2, 196, 96).feq();
    int tab = w.tab("?Tab", "General", sheet).feq();
    w.prompt("?P1", "&Date:").at(8, 22, 40, 10).on(tab);
    w.entry("?Date", "@d2").at(60, 20, 60, 12).use(m_date).on(tab);
    w.prompt("?P2", "De&scription:").at(8, 38, 50, 10).on(tab);
    w.entry("?Name", "@s30").at(60, 36, 130, 12).use(m_name).on(tab);
    int opt = w.option("?Type", "Holiday T&ype").at(8, 52, 180, 40).on(tab).feq();
    w.radio("?Annual", "Annual", opt).at(14, 64, 60, 10);
    w.radio("?Easter", "Easter", opt).at(80, 64, 60, 10);
    w.button("?OK", "&OK").at(100, 102, 45, 14);
    w.button("?Cancel", "Cancel").at(150, 102, 45, 14);
    Open();
    return Level::Benign;
  }
  int32_t m_date = ov::rt::DATE(3, 15, 2026);
  ov::rt::String<30> m_name = "Spring Day";
};

TEST(Screenshot, AWindowRendersOffscreenToAPictureThatIsNotBlank) {
  ov::ui::test::application();
  ScriptedHost host;
  namespace fs = std::filesystem;
  const char* keep = std::getenv("OV_SCREENSHOT_DIR");
  fs::path dir = keep ? fs::path(keep) : fs::path(::testing::TempDir());
  fs::path png = dir / "update_holidays.png";
  runScript([&](Driver& d) {
    d.start([] { return std::make_unique<Shown>(); });
    d.waitWindow("UpdateHolidays").with([&](Window& w) {
      QImage shot = w.view()->grab().toImage();
      ASSERT_TRUE(shot.save(QString::fromStdString(png.string()), "PNG"));
    });
  });
  QImage back(QString::fromStdString(png.string()));
  ASSERT_FALSE(back.isNull());
  EXPECT_GT(back.width(), 250);
  EXPECT_GT(back.height(), 150);
  std::set<QRgb> colours;
  int dark = 0;
  for (int y = 0; y < back.height(); ++y) {
    for (int x = 0; x < back.width(); ++x) {
      QRgb p = back.pixel(x, y);
      colours.insert(p);
      if (qGray(p) < 80) ++dark;
    }
  }
  EXPECT_GT(colours.size(), 8u) << "frames, fields and text in several colours";
  EXPECT_GT(dark, 200) << "text is drawn";
  if (!keep) fs::remove(png);
}

}  // namespace
