#include "platform/os/tray_icon.h"

#include "platform/os/tests/support.h"

#include <QImage>

#include <gtest/gtest.h>

namespace ov::os {
namespace {

TEST(TrayIcon, PicturesByName) {
  test::ensureApp();
  // tests/data/tray_ico.png is linked in as ":/icons/tray_ico.png": a 4x4 red square.
  QImage linked = TrayIcon::iconByName("tray_ico").pixmap(4, 4).toImage();
  ASSERT_FALSE(linked.isNull());
  EXPECT_EQ(linked.pixelColor(1, 1), QColor(Qt::red));

  QIcon missing = TrayIcon::iconByName("no_such_icon_anywhere");
  ASSERT_FALSE(missing.isNull()) << "the icon keeps its place";
  EXPECT_EQ(missing.pixmap(16, 16).toImage().pixelColor(8, 8).alpha(), 0);
}

TEST(TrayIcon, ChangesNeedAnAddedIcon) {
  test::ensureApp();
  TrayIcon icon(5, {});
  EXPECT_FALSE(icon.changeTip("tip"));
  EXPECT_FALSE(icon.changeIcon("tray_ico"));
  EXPECT_FALSE(icon.remove());
  icon.add("tray_ico", "Tip");
  EXPECT_TRUE(icon.added());
  EXPECT_EQ(icon.tip(), "Tip");
  EXPECT_TRUE(icon.remove());
  EXPECT_FALSE(icon.added());
}

}  // namespace
}  // namespace ov::os
