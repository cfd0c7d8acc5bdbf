// The probe window of the script tests: script_probe TITLE LOGFILE [X Y W H].
// A window titled TITLE that appends what it receives to LOGFILE, one line per event, flushed:
//   "ready <window id>", "key <text as hex> <Qt key> <modifiers S C A M or ->",
//   "press <button 1 left, 2 right, 3 middle> <x> <y>", "dblclick <button> <x> <y>",
//   "focus in", "close".
// It holds one named child X window ("Probe Child"), as classic toolkits make for each control.
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

FILE* logFile = nullptr;

void say(const std::string& line) {
  std::fprintf(logFile, "%s\n", line.c_str());
  std::fflush(logFile);
}

std::string hex(const QString& s) {
  std::string out;
  char buf[3];
  for (unsigned char c : s.toUtf8()) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out.empty() ? "-" : out;
}

std::string modifiers(Qt::KeyboardModifiers m) {
  std::string out;
  if (m & Qt::ShiftModifier) out += 'S';
  if (m & Qt::ControlModifier) out += 'C';
  if (m & Qt::AltModifier) out += 'A';
  if (m & Qt::MetaModifier) out += 'M';
  return out.empty() ? "-" : out;
}

class Probe : public QWidget {
 protected:
  void keyPressEvent(QKeyEvent* e) override {
    say("key " + hex(e->text()) + " " + std::to_string(e->key()) + " " + modifiers(e->modifiers()));
  }
  void mousePressEvent(QMouseEvent* e) override { report("press", e); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { report("dblclick", e); }
  void focusInEvent(QFocusEvent*) override { say("focus in"); }
  void closeEvent(QCloseEvent* e) override {
    say("close");
    e->accept();
  }

 private:
  void report(const char* what, QMouseEvent* e) {
    const int button = e->button() == Qt::LeftButton ? 1 : e->button() == Qt::RightButton ? 2 : 3;
    const QPoint g = e->globalPosition().toPoint();
    say(std::string(what) + " " + std::to_string(button) + " " + std::to_string(g.x()) + " " + std::to_string(g.y()));
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: script_probe TITLE LOGFILE [X Y W H]\n");
    return 2;
  }
  logFile = std::fopen(argv[2], "a");
  if (!logFile) return 3;
  QApplication app(argc, argv);
  Probe w;
  w.setWindowTitle(QString::fromUtf8(argv[1]));
  w.setFocusPolicy(Qt::StrongFocus);
  const bool placed = argc >= 7;
  w.setGeometry(placed ? std::atoi(argv[3]) : 200, placed ? std::atoi(argv[4]) : 150,
                placed ? std::atoi(argv[5]) : 400, placed ? std::atoi(argv[6]) : 300);
  // Made on its own first and given its parent once the window exists, so that its title reaches
  // the X server.
  auto* child = new QWindow(static_cast<QWindow*>(nullptr));
  w.show();
  child->setParent(w.windowHandle());
  child->setTitle("Probe Child");
  child->setGeometry(10, 10, 50, 20);
  child->show();
  say("ready " + std::to_string(w.winId()));
  return app.exec();
}
