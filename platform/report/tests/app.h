// The one application object of the report engine's tests (text is measured with Qt's fonts).
#pragma once

#include <QApplication>

namespace ov::report::test {

inline QApplication& app() {
  static int argc = 1;
  static char name[] = "report_engine_tests";
  static char* argv[] = {name, nullptr};
  static QApplication a(argc, argv);
  return a;
}

}  // namespace ov::report::test
