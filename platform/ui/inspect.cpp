// The inspection channel: a read-only view of a program's windows for the end-to-end tests.
//
// Off unless the environment variable OV_INSPECT names a folder. Then, as soon as the program's
// application object exists, the program listens on the local socket "<program>-<pid>.sock" in
// that folder (so the companions a program starts, which inherit the variable, have their own);
// a client that writes one line "windows" gets one JSON document back and the connection closes:
//
//   {"pid": 123, "windows": [ {window}, ... ]}
//   window:  title, procedure ("" for a Qt dialog or menu of the host), thread, class, mdi,
//            x y w h (the client area in screen pixels), fx fy fw fh (with the frame),
//            vx vy vw vh (the part that can be seen: an MDI child only within its MDI area),
//            ax ay aw ah (an MDI child: all of its MDI area that the area's scroll bars reach),
//            scroll: [ {the frame's MDI area's scroll bars: orientation, x y w h, shown, value,
//                       min, max} ]
//            visible, minimized, exposed, modal, active, controls: [ {control}, ... ]
//            bars: [ {the menu bar's menus and the toolbars' buttons (kind QToolButton; another widget
//            on a toolbar, a picture, has its Qt class): kind, text, x y w h, ...} ]
//   control: kind (the runtime's kind, or the Qt class for a host dialog's widgets), feq, name,
//            text, x y w h (screen pixels), enabled, visible, checked (check boxes and radios),
//            need, have, fits; a list also
//            rows: [ {position, selected, cells: [text, ...], icons: [icon name or "", ...],
//            colours: [text colour or -1, ...], x y w h} ] for the rows in sight (a text list: one
//            cell a line, no icons or colours);
//            a tab the place of its caption and whether it is the chosen one
//
// A popup menu is listed as a window whose controls are its items (kind "QAction", with their
// place and whether they open a submenu).
//
// `need` is the width the control's text takes in the control's font (QFontMetrics, with the
// indicator and margins the control draws around it) and `have` the width the control gives it;
// `fits` is need <= have. A control whose text is not measured (an entry, a list) has need 0.
//
// Nothing here changes a window or runs a window procedure: the channel reads the views and the
// layer's own bookkeeping on the GUI thread, between events.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QWindow>

#include <cstdlib>
#include <set>

#include "platform/ui/list_control.h"
#include "platform/ui/text_list.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::ui {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

QString plain(QString text) {
  // "&&" shows one "&"; a single "&" marks the access key and is not drawn.
  text.replace(QLatin1String("&&"), QChar(0x1));
  text.remove(QLatin1Char('&'));
  text.replace(QChar(0x1), QLatin1Char('&'));
  return text;
}

int widest(const QFontMetrics& fm, const QString& text) {
  int w = 0;
  for (const QString& line : text.split(QLatin1Char('\n'))) w = std::max(w, fm.horizontalAdvance(line));
  return w;
}

struct Fit {
  int need = 0;
  int have = 0;
};

// How wide the text of a view needs to be drawn whole, against the room the view has.
Fit measure(QWidget* v) {
  Fit f;
  if (auto* b = qobject_cast<QCheckBox*>(v)) {
    f.need = b->text().isEmpty() ? 0 : b->sizeHint().width();
    f.have = b->width();
  } else if (auto* r = qobject_cast<QRadioButton*>(v)) {
    f.need = r->text().isEmpty() ? 0 : r->sizeHint().width();
    f.have = r->width();
  } else if (auto* p = qobject_cast<QPushButton*>(v)) {
    if (!p->text().isEmpty()) {
      const int icon = p->icon().isNull() ? 0 : p->iconSize().width() + 4;
      f.need = widest(p->fontMetrics(), plain(p->text())) + icon + 4;
    }
    f.have = p->width();
  } else if (auto* l = qobject_cast<QLabel*>(v)) {
    if (!l->text().isEmpty() && l->pixmap().isNull()) {
      // A label with a buddy draws its "&" as the access key's underline.
      const QString text = l->textFormat() == Qt::PlainText && !l->buddy() ? l->text() : plain(l->text());
      if (l->wordWrap()) {  // a wrapped label must fit in height
        f.need = l->heightForWidth(l->contentsRect().width());
        f.have = l->contentsRect().height();
      } else {
        f.need = widest(l->fontMetrics(), text) + 2 * l->margin() + std::max(0, l->indent());
        f.have = l->contentsRect().width();
      }
    }
  } else if (auto* g = qobject_cast<QGroupBox*>(v)) {
    if (!g->title().isEmpty()) {
      const int box = g->isCheckable() ? g->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, g) + 4 : 0;
      f.need = widest(g->fontMetrics(), plain(g->title())) + box + 12;
    }
    f.have = g->width();
  } else if (auto* t = qobject_cast<QTabWidget*>(v)) {
    if (t->tabBar()->isVisible()) {
      // Tabs that do not fit get scroll arrows or elided captions: the sum of the captions'
      // own widths against the bar's room.
      QTabBar* bar = t->tabBar();
      for (int i = 0; i < bar->count(); ++i)
        if (bar->isTabVisible(i)) f.need += bar->fontMetrics().horizontalAdvance(plain(bar->tabText(i))) + 16;
      f.have = t->width();
    }
  }
  return f;
}

QJsonObject place(QWidget* v) {
  const QPoint at = v->mapToGlobal(QPoint(0, 0));
  return {{"x", at.x()}, {"y", at.y()}, {"w", v->width()}, {"h", v->height()}};
}

void merge(QJsonObject& into, const QJsonObject& from) {
  for (auto it = from.begin(); it != from.end(); ++it) into.insert(it.key(), it.value());
}

QString shownText(QWidget* v) {
  if (auto* b = qobject_cast<QAbstractButton*>(v)) return plain(b->text());
  if (auto* l = qobject_cast<QLabel*>(v)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(v)) return plain(g->title());
  return {};
}

QJsonObject describeView(QWidget* v) {
  QJsonObject c{{"text", shownText(v)}, {"enabled", v->isEnabled()}, {"visible", v->isVisible()}};
  if (auto* b = qobject_cast<QAbstractButton*>(v); b != nullptr && b->isCheckable()) c.insert("checked", b->isChecked());
  // The control that keys typed into its window go to (a combo's or spin's inner entry counts).
  QWidget* focus = v->window()->focusWidget();
  c.insert("focused", focus != nullptr && (focus == v || v->isAncestorOf(focus)));
  merge(c, place(v));
  const Fit f = measure(v);
  c.insert("need", f.need);
  c.insert("have", f.have);
  c.insert("fits", f.need <= f.have);
  return c;
}

QJsonObject describeTop(QWidget* top) {
  QJsonObject o{{"class", QString::fromLatin1(top->metaObject()->className())},
                {"title", top->windowTitle()},
                {"visible", top->isVisible()},
                {"minimized", top->isMinimized()},
                {"modal", top->isModal()},
                {"active", top->isActiveWindow()},
                {"exposed", top->windowHandle() != nullptr && top->windowHandle()->isExposed()},
                // The X window that holds it: its own, or its frame's for an MDI child. Only read:
                // asking for winId() would make a native window of one that has none yet.
                {"winid", QString::number(top->window()->internalWinId())}};
  merge(o, place(top));
  // The frame's size is read only once the window manager has framed the window: asked before,
  // the toolkit works the frame out from the bare window and keeps that wrong answer.
  const bool framed = !top->isWindow() || (top->windowHandle() != nullptr && top->windowHandle()->isExposed());
  const QRect frame = framed ? top->frameGeometry() : top->geometry();
  const QPoint frameAt = top->isWindow() ? frame.topLeft() : top->mapToGlobal(QPoint(0, 0));
  o.insert("fx", frameAt.x());
  o.insert("fy", frameAt.y());
  o.insert("fw", frame.width());
  o.insert("fh", frame.height());
  // Where the window can be seen: an MDI child only inside its frame's MDI area.
  QRect seen(frameAt, frame.size());
  if (auto* sub = qobject_cast<QMdiSubWindow*>(top); sub != nullptr && sub->mdiArea() != nullptr) {
    QWidget* area = sub->mdiArea()->viewport();
    const QRect view(area->mapToGlobal(QPoint(0, 0)), area->size());
    seen &= view;
    // What scrolling the area brings into view: the viewport widened by each shown bar's range.
    QRect reach = view;
    if (QScrollBar* h = sub->mdiArea()->horizontalScrollBar(); h->isVisibleTo(sub->mdiArea()))
      reach.adjust(-(h->value() - h->minimum()), 0, h->maximum() - h->value(), 0);
    if (QScrollBar* v = sub->mdiArea()->verticalScrollBar(); v->isVisibleTo(sub->mdiArea()))
      reach.adjust(0, -(v->value() - v->minimum()), 0, v->maximum() - v->value());
    o.insert("ax", reach.x());
    o.insert("ay", reach.y());
    o.insert("aw", reach.width());
    o.insert("ah", reach.height());
  }
  o.insert("vx", seen.x());
  o.insert("vy", seen.y());
  o.insert("vw", seen.width());
  o.insert("vh", seen.height());
  return o;
}

// A menu's item or a bar's command: where it lies, so that it can be clicked.
QJsonObject describeAction(QAction* a, QWidget* owner, const QRect& r, bool submenu) {
  const QPoint at = owner->mapToGlobal(r.topLeft());
  return {{"kind", "QAction"}, {"text", plain(a->text())}, {"enabled", a->isEnabled()},
          {"visible", a->isVisible() && !r.isEmpty()}, {"submenu", submenu}, {"fits", true}, {"need", 0},
          {"have", 0}, {"x", at.x()}, {"y", at.y()}, {"w", r.width()}, {"h", r.height()}};
}

// The menu bar's menus and the toolbars' buttons of a window, in screen pixels.
QJsonArray describeBars(QWidget* top) {
  QJsonArray bars;
  auto* main = qobject_cast<QMainWindow*>(top);
  if (main == nullptr) return bars;
  // menuWidget(), not menuBar(): asking for the bar would make one.
  if (auto* bar = qobject_cast<QMenuBar*>(main->menuWidget()); bar != nullptr && bar->isVisible())
    for (QAction* a : bar->actions())
      if (!a->isSeparator()) bars.append(describeAction(a, bar, bar->actionGeometry(a), true));
  for (QToolBar* tb : main->findChildren<QToolBar*>()) {
    if (!tb->isVisible()) continue;
    for (QAction* a : tb->actions()) {
      QWidget* button = tb->widgetForAction(a);
      if (a->isSeparator() || button == nullptr) continue;
      QJsonObject d = describeAction(a, button, button->rect(), false);
      d.insert("visible", a->isVisible() && button->isVisible());
      // A control on the bar is its own widget: its state and text are the widget's.
      d.insert("enabled", a->isEnabled() && button->isEnabled());
      if (auto* b = qobject_cast<QAbstractButton*>(button); b != nullptr && a->text().isEmpty())
        d.insert("text", plain(b->text()));
      // A picture on the bar (the frame's working icon) is no command.
      d.insert("kind", qobject_cast<QAbstractButton*>(button) ? QStringLiteral("QToolButton")
                                                              : QString::fromLatin1(button->metaObject()->className()));
      d.insert("tip", a->text().isEmpty() ? button->toolTip() : a->toolTip());
      bars.append(d);
    }
  }
  return bars;
}

// The scroll bars of a frame's MDI area, in screen pixels.
QJsonArray describeScrollBars(QWidget* top) {
  QJsonArray bars;
  auto* main = qobject_cast<QMainWindow*>(top);
  auto* area = main ? qobject_cast<QMdiArea*>(main->centralWidget()) : nullptr;
  if (area == nullptr) return bars;
  for (QScrollBar* b : {area->horizontalScrollBar(), area->verticalScrollBar()}) {
    const QPoint at = b->mapToGlobal(QPoint(0, 0));
    bars.append(QJsonObject{{"orientation", b->orientation() == Qt::Horizontal ? "h" : "v"},
                            {"x", at.x()}, {"y", at.y()}, {"w", b->width()}, {"h", b->height()},
                            {"shown", b->isVisible()}, {"value", b->value()}, {"min", b->minimum()},
                            {"max", b->maximum()}});
  }
  return bars;
}

// A tab's caption on its sheet's bar, where a user clicks to choose it.
QJsonObject describeTab(Window& w, Control& tab) {
  Control* sheet = w.control(tab.parentFeq());
  auto* t = sheet ? qobject_cast<QTabWidget*>(sheet->view()) : nullptr;
  if (t == nullptr) return {};
  for (int i = 0; i < t->count(); ++i) {
    if (t->widget(i)->property("ovFeq").toInt() != tab.feq()) continue;
    QTabBar* bar = t->tabBar();
    const QRect r = bar->tabRect(i);
    const QPoint at = bar->mapToGlobal(r.topLeft());
    const int need = bar->fontMetrics().horizontalAdvance(plain(bar->tabText(i)));
    return {{"x", at.x()}, {"y", at.y()}, {"w", r.width()}, {"h", r.height()},
            {"visible", bar->isVisible() && t->isTabVisible(i) && !r.isEmpty()}, {"chosen", t->currentIndex() == i},
            {"need", need}, {"have", r.width()}, {"fits", need <= r.width()}};
  }
  return {};
}

// The lines a text list shows, as rows of one cell each.
QJsonArray describeLines(const TextList& list) {
  QJsonArray rows;
  auto* v = qobject_cast<QListWidget*>(list.view());
  if (v == nullptr) return rows;
  for (int i = 0; i < v->count(); ++i) {
    const QRect r = v->visualItemRect(v->item(i));
    if (!r.intersects(v->viewport()->rect())) continue;  // out of sight
    const QPoint at = v->viewport()->mapToGlobal(r.topLeft());
    rows.append(QJsonObject{{"position", i + 1}, {"selected", i + 1 == list.selected()},
                            {"cells", QJsonArray{v->item(i)->text()}}, {"x", at.x()}, {"y", at.y()},
                            {"w", r.width()}, {"h", r.height()}});
  }
  return rows;
}

// The rows a list shows: each row's cells as shown and where the row lies on the screen.
QJsonArray describeRows(const ListControl& list) {
  QJsonArray rows;
  QWidget* v = list.view();
  if (v == nullptr) return rows;
  const QPoint origin = v->mapToGlobal(QPoint(0, 0));
  const std::vector<int>& shown = list.shownRows();
  const int end = std::min<int>(static_cast<int>(shown.size()), list.topIndex() + list.items());
  for (int i = std::max(0, list.topIndex()); i < end; ++i) {
    const int position = shown[static_cast<size_t>(i)];
    QJsonArray cells, icons, colours;
    for (int column = 1; column <= list.columnCount(); ++column) {
      const ListCell cell = list.cell(position, column);
      cells.append(q(cell.text));
      icons.append(q(cell.iconName));
      colours.append(cell.fg);
    }
    const int y = list.headerHeightPx() + (i - list.topIndex()) * list.rowHeightPx();
    rows.append(QJsonObject{{"position", position}, {"selected", position == list.selected()}, {"cells", cells},
                            {"icons", icons}, {"colours", colours}, {"x", origin.x()}, {"y", origin.y() + y},
                            {"w", v->width()}, {"h", list.rowHeightPx()}});
  }
  return rows;
}

QJsonObject describeWindow(Window& w) {
  QWidget* top = w.view();
  QJsonObject o = describeTop(top);
  o.insert("title", q(w.title()));
  o.insert("procedure", w.manager() ? q(w.manager()->procedureName()) : QString());
  o.insert("thread", w.thread());
  o.insert("mdi", w.windowKind() == WindowKind::Mdi);
  if (QWidget* client = w.clientView()) merge(o, place(client));
  QJsonArray controls;
  for (int feq : w.allControls()) {
    Control* c = w.control(feq);
    if (c == nullptr) continue;
    QJsonObject d;
    if (c->view() != nullptr) {
      d = describeView(c->view());
    } else {  // a tab, a menu or a toolbar item: no widget of its own
      d = {{"enabled", w.isEnabled(feq)}, {"visible", w.isShown(feq)}, {"need", 0}, {"have", 0}, {"fits", true}};
      if (c->kind() == Kind::Tab) merge(d, describeTab(w, *c));
    }
    d.insert("kind", static_cast<int>(c->kind()));
    d.insert("feq", feq);
    d.insert("name", q(c->name()));
    d.insert("text", q(c->screenText()));
    if (auto* list = dynamic_cast<ListControl*>(c)) {
      d.insert("rows", describeRows(*list));
      QJsonArray headers, spans;
      const QPoint origin = list->view() ? list->view()->mapToGlobal(QPoint(0, 0)) : QPoint();
      for (int column = 1; column <= list->columnCount(); ++column) {
        headers.append(q(list->propList(PROPLIST::Header, column)));
        // Where the column's header lies on the screen (its width 0 when hidden).
        int left = 0, width = 0;
        if (!list->columnSpanPx(column, left, width)) left = width = 0;
        spans.append(QJsonObject{{"x", origin.x() + left}, {"y", origin.y()}, {"w", width}, {"h", list->headerHeightPx()}});
      }
      d.insert("headers", headers);
      d.insert("header_cells", spans);
    } else if (auto* lines = dynamic_cast<TextList*>(c)) {
      d.insert("rows", describeLines(*lines));
    }
    controls.append(d);
  }
  o.insert("controls", controls);
  o.insert("bars", describeBars(top));
  o.insert("scroll", describeScrollBars(top));
  return o;
}

// A top-level widget that is no window of the layer: a message box, a file dialog, a popup menu.
QJsonObject describeOther(QWidget* top) {
  QJsonObject o = describeTop(top);
  o.insert("procedure", QString());
  o.insert("thread", 0);
  o.insert("mdi", false);
  QJsonArray controls;
  if (auto* menu = qobject_cast<QMenu*>(top)) {
    for (QAction* a : menu->actions())
      if (!a->isSeparator()) controls.append(describeAction(a, menu, menu->actionGeometry(a), a->menu() != nullptr));
  }
  const auto children = top->findChildren<QWidget*>();
  for (QWidget* v : children) {
    if (!qobject_cast<QAbstractButton*>(v) && !qobject_cast<QLabel*>(v) && !qobject_cast<QGroupBox*>(v)) continue;
    QJsonObject d = describeView(v);
    d.insert("kind", QString::fromLatin1(v->metaObject()->className()));
    d.insert("name", v->objectName());
    controls.append(d);
  }
  o.insert("controls", controls);
  return o;
}

QByteArray snapshot() {
  QJsonArray windows;
  std::set<QWidget*> seen;
  for (Window* w : openWindows()) {
    if (w->view() == nullptr) continue;
    seen.insert(w->view()->window());
    seen.insert(w->view());
    windows.append(describeWindow(*w));
  }
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (seen.count(top) || !top->isVisible()) continue;
    if (top->windowType() == Qt::ToolTip || top->windowType() == Qt::Desktop) continue;
    windows.append(describeOther(top));
  }
  QJsonObject doc{{"pid", static_cast<qint64>(QCoreApplication::applicationPid())}, {"windows", windows}};
  return QJsonDocument(doc).toJson(QJsonDocument::Compact) + '\n';
}

void serve(QLocalSocket* peer) {
  QObject::connect(peer, &QLocalSocket::readyRead, peer, [peer] {
    if (!peer->canReadLine()) return;
    const QByteArray request = peer->readLine().trimmed();
    peer->write(request == "windows" ? snapshot() : QByteArray("{\"error\":\"unknown request\"}\n"));
    peer->flush();
    peer->disconnectFromServer();
  });
  QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
}

void startInspection() {
  const char* folder = std::getenv("OV_INSPECT");
  QCoreApplication* app = QCoreApplication::instance();
  if (folder == nullptr || *folder == '\0') return;
  // The layer may be linked into a program and into a library it loads: one server per process.
  if (app->property("ovInspecting").toBool()) return;
  app->setProperty("ovInspecting", true);
  const QString path = QStringLiteral("%1/%2-%3.sock")
                           .arg(QString::fromLocal8Bit(folder), QCoreApplication::applicationName())
                           .arg(QCoreApplication::applicationPid());
  auto* server = new QLocalServer(app);
  if (!server->listen(path)) {
    qWarning("inspection channel: cannot listen on %s: %s", qPrintable(path), qPrintable(server->errorString()));
    return;
  }
  QObject::connect(server, &QLocalServer::newConnection, server, [server] {
    while (QLocalSocket* peer = server->nextPendingConnection()) serve(peer);
  });
}

Q_COREAPP_STARTUP_FUNCTION(startInspection)

}  // namespace
}  // namespace ov::ui

// Referenced by the link options of ov_ui (CMakeLists.txt), so every program that links the layer
// carries this file and its start-up hook.
extern "C" {
int ov_ui_inspection_anchor = 0;
}
