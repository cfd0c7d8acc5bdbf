// e2e_shot: saves a picture of the X screen, or of one window by its id, as a PNG.
//
//   e2e_shot OUT.png [WINDOW-ID [X Y W H]]
//
// Without a window the whole screen; a rectangle cuts a part of the window (or of the screen
// with window id 0). Needs DISPLAY; exit code 0 when the file was written.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3 && argc != 7) {
    std::fprintf(stderr, "usage: e2e_shot OUT.png [WINDOW-ID [X Y W H]]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QGuiApplication app(argc, argv);
  const WId id = argc >= 3 ? std::strtoull(argv[2], nullptr, 0) : 0;
  int x = 0, y = 0, w = -1, h = -1;
  if (argc == 7) {
    x = std::atoi(argv[3]);
    y = std::atoi(argv[4]);
    w = std::atoi(argv[5]);
    h = std::atoi(argv[6]);
  }
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(id, x, y, w, h);
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "e2e_shot: no picture of window %s\n", argc >= 3 ? argv[2] : "0");
    return 1;
  }
  return 0;
}
