// The interaction host in a program that never made a GUI application object (a command-line
// tool, an engine test): the clipboard reads empty and the calls that need a display do nothing,
// where Qt itself would abort the program.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>

#include "platform/ui/host.h"

namespace ov::ui {
namespace {

TEST(HostWithoutApplication, ClipboardCursorAndBeepAreHarmless) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  SETCLIPBOARD("kept nowhere");
  EXPECT_EQ(CLIPBOARD(), "");
  QImage image;
  EXPECT_FALSE(qtHost().clipboardImage(image));
  qtHost().setClipboardImage(QImage(4, 4, QImage::Format_RGB32));
  { BusyCursor busy; }
  BEEP(0);
}

TEST(HostWithoutApplication, ACoreApplicationAloneHasNoClipboardEither) {
  int argc = 1;
  char name[] = "host_without_app_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  SETCLIPBOARD("still nowhere");
  EXPECT_EQ(CLIPBOARD(), "");
}

}  // namespace
}  // namespace ov::ui
