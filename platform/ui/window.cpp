#include "platform/ui/window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QLayout>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>
#include <QWindow>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include <cstdio>

#include <algorithm>

#include "platform/rt/fixed_string.h"
#include "platform/ui/detail/owner_draw_menus.h"
#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/detail/view_util.h"
#include "platform/ui/event.h"
#include "platform/ui/help_key.h"
#include "platform/ui/icons.h"
#include "platform/ui/toolbar_class.h"
#include "platform/ui/window_manager.h"

namespace ov::ui {

using detail::q;
using detail::Runtime;
using detail::s8;

namespace detail {
void markRootReached();
LRESULT sendMessage(Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam, bool* reachedRoot);
}  // namespace detail

namespace {

// The top-level widget of a window: turns Qt's window notifications into messages and events.
// A closed window lets go of its widget (detach()) before handing it to deleteLater(): events
// already posted to the widget still arrive after the Window itself may be gone.
class WindowWidget : public QMainWindow {
 public:
  explicit WindowWidget(Window* w) : m_window(w) {}
  Window* window() const { return m_window; }
  void detach() { m_window = nullptr; }
  bool suppressState = false;

 protected:
  void closeEvent(QCloseEvent* e) override {
    e->ignore();  // the window closes when its procedure ends its accept loop
    if (isOpen()) SendMessage(m_window->handle(), WM::Close, 0, 0);
  }
  void changeEvent(QEvent* e) override {
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || suppressState || !isOpen()) return;
    auto* se = static_cast<QWindowStateChangeEvent*>(e);
    bool wasMin = se->oldState() & Qt::WindowMinimized;
    bool isMin = windowState() & Qt::WindowMinimized;
    if (isMin && !wasMin) SendMessage(m_window->handle(), WM::SysCommand, SC::Minimize, 0);
    else if (!isMin && wasMin) SendMessage(m_window->handle(), WM::SysCommand, SC::Restore, 0);
    else if ((windowState() & Qt::WindowMaximized) && !(se->oldState() & Qt::WindowMaximized))
      SendMessage(m_window->handle(), WM::SysCommand, SC::Maximize, 0);
  }
  void moveEvent(QMoveEvent* e) override {
    QMainWindow::moveEvent(e);
    if (isOpen()) detail::WindowAccess::moved(*m_window);
    if (isOpen() && isVisible()) m_window->post(EVENT::Moved);
  }
  void resizeEvent(QResizeEvent* e) override {
    QMainWindow::resizeEvent(e);
    if (isOpen()) detail::WindowAccess::resized(*m_window);
    if (isOpen() && isVisible()) m_window->post(EVENT::Sized);
  }
  bool event(QEvent* e) override {
    if (isOpen()) {
      if (e->type() == QEvent::WindowActivate) m_window->post(EVENT::GainFocus);
      if (e->type() == QEvent::WindowDeactivate) m_window->post(EVENT::LoseFocus);
    }
    return QMainWindow::event(e);
  }

 private:
  bool isOpen() const { return m_window && m_window->isOpen(); }

  Window* m_window;
};

// Windows virtual-key code of a Qt key, 0 when it has none.
int virtualKey(const QKeyEvent& e) {
  int k = e.key();
  bool keypad = e.modifiers() & Qt::KeypadModifier;
  if (keypad && k >= Qt::Key_0 && k <= Qt::Key_9) return 96 + (k - Qt::Key_0);
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return 65 + (k - Qt::Key_A);
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return 48 + (k - Qt::Key_0);
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return Key::F1 + (k - Qt::Key_F1);
  switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::Enter;
    case Qt::Key_Escape: return Key::Esc;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Key::Tab;
    case Qt::Key_Backspace: return Key::Backspace;
    case Qt::Key_Space: return Key::Space;
    case Qt::Key_PageUp: return Key::PgUp;
    case Qt::Key_PageDown: return Key::PgDn;
    case Qt::Key_End: return Key::End;
    case Qt::Key_Home: return Key::Home;
    case Qt::Key_Left: return Key::Left;
    case Qt::Key_Up: return Key::Up;
    case Qt::Key_Right: return Key::Right;
    case Qt::Key_Down: return Key::Down;
    case Qt::Key_Insert: return Key::Insert;
    case Qt::Key_Delete: return Key::Delete;
    case Qt::Key_Pause: return Key::Pause;
    case Qt::Key_CapsLock: return Key::CapsLock;
    case Qt::Key_Asterisk: return keypad ? 106 : 56;
    case Qt::Key_Plus: return keypad ? 107 : 187;
    case Qt::Key_Minus: return keypad ? 109 : 189;
    case Qt::Key_Period: return keypad ? 110 : 190;
    case Qt::Key_Slash: return keypad ? 111 : 191;
    case Qt::Key_Equal: return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less: return 188;
    case Qt::Key_Greater: return 190;
    case Qt::Key_Question: return 191;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return 186;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return Key::Backquote;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return Key::Quote;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 221;
    case Qt::Key_Underscore: return 189;
    case Qt::Key_Exclam: return 49;
    case Qt::Key_At: return 50;
    case Qt::Key_NumberSign: return 51;
    case Qt::Key_Dollar: return 52;
    case Qt::Key_Percent: return 53;
    case Qt::Key_AsciiCircum: return 54;
    case Qt::Key_Ampersand: return 55;
    case Qt::Key_ParenLeft: return 57;
    case Qt::Key_ParenRight: return 48;
    default: return 0;
  }
}

int runtimeKeycode(const QKeyEvent& e) {
  int vk = virtualKey(e);
  if (!vk) return 0;
  Qt::KeyboardModifiers m = e.modifiers();
  if (m & Qt::ShiftModifier) vk |= Key::Shift;
  if (m & Qt::ControlModifier) vk |= Key::Ctrl;
  if (m & Qt::AltModifier) vk |= Key::Alt;
  return vk;
}

// The character a key gives: its text, or the control character of the keys that have one.
int keychar(const QKeyEvent& e, int code) {
  if (code & (Key::Ctrl | Key::Alt)) return 0;
  switch (code & 0xFF) {
    case Key::Backspace:
    case Key::Tab:
    case Key::Enter:
    case Key::Esc: return code & 0xFF;
    default: break;
  }
  QString t = e.text();
  if (t.isEmpty() || t.at(0).unicode() < 32 || t.at(0).unicode() == 127) return 0;
  return static_cast<int>(t.at(0).unicode());
}

WPARAM mouseKeyState(Qt::MouseButtons b, Qt::KeyboardModifiers m) {
  WPARAM w = 0;
  if (b & Qt::LeftButton) w |= MK::LButton;
  if (b & Qt::RightButton) w |= MK::RButton;
  if (b & Qt::MiddleButton) w |= MK::MButton;
  if (m & Qt::ShiftModifier) w |= MK::Shift;
  if (m & Qt::ControlModifier) w |= MK::Control;
  return w;
}

std::function<void(const std::string&)>& helpHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}

// One filter for the whole application: input to windows whose thread has a called window open
// is refused, alert keys become EVENT:AlertKey, and input is offered to the message hooks.
class InputFilter : public QObject {
 public:
  bool eventFilter(QObject* obj, QEvent* ev) override {
    QEvent::Type t = ev->type();
    if (t == QEvent::Expose) checkFrame(obj);
    bool mouse = t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease ||
                 t == QEvent::MouseButtonDblClick || t == QEvent::MouseMove;
    bool input = mouse || t == QEvent::Wheel || t == QEvent::KeyPress || t == QEvent::KeyRelease;
    if (!input || !obj->isWidgetType()) return false;
    // Qt offers an input event again to each parent it propagates to; it is handled once.
    auto* widget = static_cast<QWidget*>(obj);
    if (ev == m_last && t == m_lastType && m_lastWidget && widget != m_lastWidget &&
        widget->isAncestorOf(m_lastWidget))
      return false;
    m_last = ev;
    m_lastType = t;
    m_lastWidget = widget;
    bool taken = filter(widget, ev, t, mouse);
    if (!taken && t == QEvent::KeyPress) dialogKey(widget, *static_cast<QKeyEvent*>(ev));
    return taken;
  }

 private:
  // A window shown: the window manager frames it about then, and the toolkit may have taken its
  // frame's margins halfway through; they are read again now and twice more shortly after.
  static void checkFrame(QObject* obj) {
    auto* handle = qobject_cast<QWindow*>(obj);
    if (handle == nullptr || !handle->isExposed() || handle->parent() != nullptr) return;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->windowHandle() != handle) continue;
      detail::frameRect(top);
      QPointer<QWidget> guard(top);
      for (int ms : {250, 1000})
        QTimer::singleShot(ms, top, [guard] { if (guard) detail::frameRect(guard); });
      return;
    }
  }

  // True when the event is taken here and goes no further.
  bool filter(QWidget* widget, QEvent* ev, QEvent::Type t, bool mouse) {
    auto* ie = static_cast<QInputEvent*>(ev);

    int feq = 0;
    Window* w = detail::windowOfWidget(widget, &feq);
    if (!w || !w->isOpen()) return false;
    Runtime& r = Runtime::get();
    detail::ThreadSlot& slot = r.slot(w->thread());
    if (!slot.stack.empty() && slot.stack.back() != w && t != QEvent::MouseMove) {
      if (QWidget* top = slot.stack.back()->view()) {
        top->raise();
        top->activateWindow();
      }
      return true;  // a called window of the same thread is open above this one
    }
    Control* c = feq ? w->control(feq) : nullptr;

    if (mouse || t == QEvent::Wheel) {
      QWidget* client = w->clientView() ? w->clientView() : w->view();
      QPointF global = t == QEvent::Wheel ? static_cast<QWheelEvent*>(ev)->globalPosition()
                                          : static_cast<QMouseEvent*>(ev)->globalPosition();
      if (client) {
        QPoint p = client->mapFromGlobal(global.toPoint());
        detail::WindowAccess::setMouse(*w, p.x(), p.y());
      }
    }
    if (t == QEvent::KeyPress) {
      int code = runtimeKeycode(*static_cast<QKeyEvent*>(ev));
      if (code) {
        slot.lastKeycode = code;
        slot.lastKeychar = keychar(*static_cast<QKeyEvent*>(ev), code);
        const auto& wa = detail::WindowAccess::alerts(*w);
        bool alerted = std::find(wa.begin(), wa.end(), code) != wa.end();
        if (c) {
          const auto& ca = detail::WindowAccess::alerts(*c);
          alerted = alerted || std::find(ca.begin(), ca.end(), code) != ca.end();
        }
        if (alerted) {
          w->post(EVENT::AlertKey, feq ? feq : w->focus(), code);
          return true;
        }
        if (code == Key::F1 && helpHandler()) {
          helpHandler()(helpId(*w));
          return true;
        }
      }
    }

    bool controlHooked = c && c->wndProc() != detail::WindowAccess::rootProc(*c);
    bool windowHooked = w->wndProc() != detail::WindowAccess::rootProc(*w);
    if (!controlHooked && !windowHooked) return false;
    if (controlHooked && (mouse || t == QEvent::Wheel)) {
      if (!offer(*ie, t, c->handle(), c->view() ? c->view() : widget, widget)) return true;
    }
    if (windowHooked) {
      QWidget* client = w->clientView() ? w->clientView() : w->view();
      if (!offer(*ie, t, w->handle(), client, widget)) return true;
    }
    return false;
  }

  // A dialog's keys, once the focused control has had them (an entry takes its text first): Esc
  // presses the Cancel button; Enter presses the focused button, or else the default button
  // unless a text box or a list has the focus (they take Enter themselves).
  static void dialogKey(QWidget* widget, const QKeyEvent& e) {
    const int code = runtimeKeycode(e);
    if (code != Key::Esc && code != Key::Enter) return;
    int feq = 0;
    Window* w = detail::windowOfWidget(widget, &feq);
    if (!w || !w->isOpen() || !w->manager()) return;
    // A message box or dialog of Qt's own over the window takes its keys itself.
    if (!w->view() || widget->window() != w->view()->window()) return;
    int target = 0;
    if (code == Key::Esc) {
      target = w->manager()->CancelControl;
      // A window of its own without a Cancel button (a reminder, a window with only Close) is
      // closed by Esc as by its close box; the frame and the windows inside it are not.
      if (!target && w->windowKind() == WindowKind::Normal) {
        QPointer<QWidget> top = w->view();
        QMetaObject::invokeMethod(
            qApp,
            [top] {
              Window* w = top ? detail::windowOfWidget(top) : nullptr;
              if (w && w->isOpen()) SendMessage(w->handle(), WM::Close, 0, 0);
            },
            Qt::QueuedConnection);
        return;
      }
    } else {
      Control* focused = feq ? w->control(feq) : nullptr;
      if (focused && focused->kind() == Kind::Button) {
        if (static_cast<Button*>(focused)->isDefault()) return;  // a default button takes Enter itself
        target = feq;
      } else if (!focused || (focused->kind() != Kind::Text && focused->kind() != Kind::List)) {
        for (int f : w->fields())
          if (auto* b = w->as<Button>(f); b && b->isDefault()) target = f;
      }
    }
    if (!target || !w->as<Button>(target) || !w->isShown(target) || !w->isEnabled(target)) return;
    QPointer<QWidget> top = w->view();
    QMetaObject::invokeMethod(
        qApp,
        [top, target] {
          Window* w = top ? detail::windowOfWidget(top) : nullptr;
          if (!w || !w->isOpen()) return;
          if (auto* b = w->as<Button>(target)) b->userPress(Key::Enter);
        },
        Qt::QueuedConnection);
  }

  // Sends the message for a Qt input event to a chain; false when a hook swallowed it.
  static bool offer(QInputEvent& ev, QEvent::Type t, Handle h, QWidget* origin, QWidget* widget) {
    uint32_t msg = 0;
    WPARAM wp = 0;
    LPARAM lp = 0;
    if (t == QEvent::Wheel) {
      auto& we = static_cast<QWheelEvent&>(ev);
      int delta = we.angleDelta().y();
      wp = (static_cast<WPARAM>(static_cast<uint16_t>(delta)) << 16) | mouseKeyState(we.buttons(), we.modifiers());
      QPoint g = we.globalPosition().toPoint();
      lp = MAKELPARAM(g.x(), g.y());
      msg = WM::MouseWheel;
    } else if (t == QEvent::KeyPress || t == QEvent::KeyRelease) {
      auto& ke = static_cast<QKeyEvent&>(ev);
      int vk = virtualKey(ke);
      if (!vk) return true;
      bool alt = ke.modifiers() & Qt::AltModifier;
      msg = t == QEvent::KeyPress ? (alt ? WM::SysKeyDown : WM::KeyDown) : (alt ? WM::SysKeyUp : WM::KeyUp);
      wp = static_cast<WPARAM>(vk);
      lp = 1 | (t == QEvent::KeyRelease ? (LPARAM(3) << 30) : 0);
    } else {
      auto& me = static_cast<QMouseEvent&>(ev);
      QPoint p = widget->mapTo(origin->window(), me.position().toPoint());
      p = origin->mapFrom(origin->window(), p);
      lp = MAKELPARAM(p.x(), p.y());
      wp = mouseKeyState(me.buttons(), me.modifiers());
      Qt::MouseButton b = me.button();
      switch (t) {
        case QEvent::MouseMove: msg = WM::MouseMove; break;
        case QEvent::MouseButtonPress:
          msg = b == Qt::RightButton ? WM::RButtonDown : b == Qt::MiddleButton ? WM::MButtonDown : WM::LButtonDown;
          break;
        case QEvent::MouseButtonRelease:
          msg = b == Qt::RightButton ? WM::RButtonUp : b == Qt::MiddleButton ? WM::MButtonUp : WM::LButtonUp;
          break;
        default:
          msg = b == Qt::RightButton   ? WM::RButtonDblClk
                : b == Qt::MiddleButton ? WM::MButtonDblClk
                                        : WM::LButtonDblClk;
          break;
      }
    }
    bool reached = true;
    detail::sendMessage(h, msg, wp, lp, &reached);
    return reached;
  }

  const QEvent* m_last = nullptr;
  QEvent::Type m_lastType = QEvent::None;
  QPointer<QWidget> m_lastWidget;
};

int64_t dluOrPx(const Window& w, bool pixels, int px, bool horizontal) {
  if (pixels) return px;
  return horizontal ? w.pxToDluX(px) : w.pxToDluY(px);
}

}  // namespace

struct Window::View {
  WindowWidget* main = nullptr;
  QMdiSubWindow* sub = nullptr;
  QWidget* client = nullptr;
  QMdiArea* mdi = nullptr;
  QToolBar* toolBar = nullptr;
  std::vector<QLabel*> zones;
  QTimer* timer = nullptr;
  double cx = 1.5, cy = 1.625;  // pixels per dialog unit
  std::map<int, QMenu*> menus;
  // The automatic layout: each control's place at the reference size and how it follows.
  struct Anchor {
    Rect origin;
    bool right = false, stretchX = false, bottom = false, stretchY = false;
  };
  bool layoutOn = false;
  int programSizing = 0;      // while the program sets the size itself
  int refW = 0, refH = 0;     // the reference client size, dialog units
  int laidW = 0, laidH = 0;   // the size the controls were last laid out for
  std::map<int, Anchor> anchors;
  // Shown first from the event loop, once Init has placed and sized the window: a window the
  // window manager has not framed yet would take a position for the inside of its frame.
  bool showPending = false;
  // Where the frame was last sent: the window manager moves it a moment later.
  QPoint sentFrame;
  QElapsedTimer sentAt;
  // The window was given the place of its frame before it was shown.
  bool framePlaced = false;

  // What the window adds around its client (menu, toolbar, status bar; an MDI child's frame),
  // measured when the view was built: a window not shown yet lays its client out only at showing.
  QSize extra;
  QSize decoration() const {
    QWidget* top = sub ? static_cast<QWidget*>(sub) : main;
    if (top->isVisible()) return top->size() - client->size();
    return extra;
  }

  QPoint framePos() const {
    QWidget* top = sub ? static_cast<QWidget*>(sub) : main;
    if (sentAt.isValid() && sentAt.elapsed() < 1000) return sentFrame;
    return top->pos();
  }
  void moveFrame(QPoint to) {
    QWidget* top = sub ? static_cast<QWidget*>(sub) : main;
    if (!sub && top->windowHandle() && top->isVisible()) {
      top->windowHandle()->setFramePosition(to);
      sentFrame = to;
      sentAt.start();
    } else if (!sub && top->windowHandle()) {
      // An X window not shown yet (one made early to stay above its owner): a move alone would
      // place its inside at the point, and the window manager would put the title bar above it.
      top->move(to);
      top->windowHandle()->setFramePosition(to);
      framePlaced = true;
    } else {
      top->move(to);
    }
  }
};

namespace detail {

// Set while a tab change shows and hides the controls of the tabs: Qt then moves the focus off
// each hidden control onto the next one in the chain, often one on the tab being left, and taking
// that as the user's selection would bring the old tab straight back.
bool g_changingTabs = false;

Window* windowOfWidget(const QWidget* widget, int* feq) {
  if (feq) *feq = 0;
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    if (feq && !*feq) {
      QVariant v = w->property("ovFeq");
      if (v.isValid() && !w->property("ovTabPage").isValid()) *feq = v.toInt();
    }
    if (auto* ww = dynamic_cast<const WindowWidget*>(w)) return ww->window();
  }
  return nullptr;
}

QRect frameRect(QWidget* top) {
  if (!top->isWindow()) return top->frameGeometry();
  QWindow* handle = top->windowHandle();
  if (handle == nullptr || !handle->isExposed()) return top->geometry();
  const QRect frame = top->geometry().marginsAdded(handle->frameMargins());
  if (top->frameGeometry() != frame) {
    // The toolkit's window takes its margins again on a move.
    QMoveEvent moved(handle->position(), handle->position());
    QCoreApplication::sendEvent(handle, &moved);
  }
  return frame;
}

Window* frameWindow() {
  for (Window* w : openWindows())
    if (w->windowKind() == WindowKind::Frame) return w;
  return nullptr;
}

void installInputFilter() {
  static bool installed = false;
  if (installed || !qApp) return;
  installed = true;
  auto* filter = new InputFilter;
  filter->setParent(qApp);  // goes with the application
  qApp->installEventFilter(filter);
  QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) {
    if (!now || g_changingTabs) return;
    int feq = 0;
    Window* w = windowOfWidget(now, &feq);
    if (!w || !w->isOpen() || !feq) return;
    Control* c = w->control(feq);
    if (!c || w->focus() == feq) return;
    detail::ThreadScope onThread(w->thread());
    w->select(feq);
    w->post(EVENT::Selected, feq);
  });
}

void WindowAccess::moved(Window& w) {
  if (w.m_view && w.m_view->sentAt.isValid() && w.m_view->main->pos() == w.m_view->sentFrame)
    w.m_view->sentAt.invalidate();
}

void WindowAccess::resized(Window& w) {
  if (!w.m_view || !w.m_view->layoutOn) return;
  if (w.m_view->programSizing) w.programResized();
  else w.layOut();
}

void WindowAccess::autoDisplay(Window& w) {
  if (!w.m_auto) return;
  for (int feq : w.allControls()) {
    Control* c = w.control(feq);
    if (c->binding().isBound() && !c->isTouched() && c->prop(Prop::Auto) != "") c->display();
  }
}

bool isTrue(std::string_view v) {
  std::string_view t = rt::clipView(v);
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  if (t.empty()) return false;
  char* end = nullptr;
  std::string s(t);
  double d = std::strtod(s.c_str(), &end);
  if (end && *end == '\0') return d != 0;
  return true;
}

int64_t toInt(std::string_view v, int64_t fallback) {
  std::string s(rt::clipView(v));
  if (s.empty()) return fallback;
  char* end = nullptr;
  double d = std::strtod(s.c_str(), &end);
  if (end == s.c_str()) return fallback;
  return static_cast<int64_t>(d);
}

double toDouble(std::string_view v) {
  std::string s(rt::clipView(v));
  char* end = nullptr;
  double d = std::strtod(s.c_str(), &end);
  return end == s.c_str() ? 0 : d;
}

std::string numberText(double v) {
  char buf[64];
  if (v == static_cast<double>(static_cast<int64_t>(v)))
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  else
    std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

int buttonTextNeed(QWidget& view);

void applyCommon(const Control& c, QWidget& view) {
  const Window& w = c.window();
  auto* toolbar = qobject_cast<QToolBar*>(view.parentWidget());
  if (toolbar) {
    // On a toolbar the toolbar lays the control out; its action shows and hides it.
    for (QAction* a : toolbar->actions())
      if (toolbar->widgetForAction(a) == &view) a->setVisible(w.isShown(c.feq()));
  } else {
    Rect r = c.rect();
    QSize hint = view.sizeHint();
    int width = r.w > 0 ? w.dluToPxX(r.w) : hint.width();
    int height = r.h > 0 ? w.dluToPxY(r.h) : hint.height();
    // A text that does not fit its control in the window's font widens the control, as far as
    // the window leaves room: a text is never cut.
    const Kind k = c.kind();
    // A button needs its text's width: the style's size hint holds a least width of its own for
    // buttons, which would spread a row of small buttons over each other.
    const int need = k == Kind::Button ? buttonTextNeed(view) : hint.width();
    if (r.w > 0 && need > width &&
        (k == Kind::Check || k == Kind::Radio || k == Kind::Prompt || k == Kind::String || k == Kind::SString ||
         k == Kind::Button)) {
      QWidget* client = view.parentWidget();
      const int room = client ? client->width() - w.dluToPxX(r.x) - 2 : 0;
      if (room > width) width = std::min(need, room);
    }
    view.setGeometry(w.dluToPxX(r.x), w.dluToPxY(r.y), width, height);
    view.setVisible(w.isShown(c.feq()));
  }
  view.setToolTip(q(c.prop(Prop::Tip)));
  view.setEnabled(w.isEnabled(c.feq()));
  std::string face = c.prop(Prop::FontName);
  int64_t size = toInt(c.prop(Prop::FontSize));
  int64_t style = toInt(c.prop(Prop::FontStyle));
  if (!face.empty() || size || style) {
    QFont f = view.parentWidget() ? view.parentWidget()->font() : view.font();
    if (!face.empty()) f.setFamily(q(face));
    if (size > 0) f.setPointSize(static_cast<int>(size));
    if (style) {
      if (style % 4096) f.setWeight(static_cast<QFont::Weight>(std::clamp<int64_t>(style % 4096, 100, 900)));
      f.setItalic(style & 4096);
      f.setUnderline(style & 8192);
    }
    view.setFont(f);
  }
  int64_t color = toInt(c.prop(Prop::Color), -1);
  int64_t fontColor = toInt(c.prop(Prop::FontColor), -1);
  if (color >= 0 || fontColor >= 0) {
    QPalette pal = view.palette();
    auto qc = [](int64_t ref) { return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF); };
    if (color >= 0) {
      pal.setColor(QPalette::Window, qc(color));
      pal.setColor(QPalette::Base, qc(color));
      pal.setColor(QPalette::Button, qc(color));
      view.setAutoFillBackground(true);
    }
    if (fontColor >= 0) {
      pal.setColor(QPalette::WindowText, qc(fontColor));
      pal.setColor(QPalette::Text, qc(fontColor));
      pal.setColor(QPalette::ButtonText, qc(fontColor));
    }
    view.setPalette(pal);
  }
}

}  // namespace detail

int activeMdiThread() {
  Window* frame = detail::frameWindow();
  if (!frame) return kFrameThread;
  if (frame->m_view && frame->m_view->mdi) {
    if (QMdiSubWindow* sub = frame->m_view->mdi->currentSubWindow()) {
      auto* ww = dynamic_cast<WindowWidget*>(sub->widget());
      if (ww && ww->window()) return ww->window()->thread();
    }
  }
  return frame->thread();
}

void Window::tileChildren() {
  if (m_view && m_view->mdi) m_view->mdi->tileSubWindows();
}

void Window::cascadeChildren() {
  if (m_view && m_view->mdi) m_view->mdi->cascadeSubWindows();
}

int Window::childWindows(bool minimisedOnly) const {
  if (!m_view || !m_view->mdi) return 0;
  int n = 0;
  for (QMdiSubWindow* sub : m_view->mdi->subWindowList())
    if (sub->isVisible() || sub->isMinimized()) n += !minimisedOnly || sub->isMinimized();
  return n;
}

void Window::onMenuShow(int menuFeq, std::function<void()> update) {
  if (!m_view || !m_view->menus.count(menuFeq)) return;
  QMenu* menu = m_view->menus[menuFeq];
  QObject::connect(menu, &QMenu::aboutToShow, menu, std::move(update));
}

bool Window::focusTakesClipboard() {
  const QWidget* focus = QApplication::focusWidget();
  return focus && focus->metaObject()->indexOfMethod("paste()") >= 0;
}

void Window::arrangeIcons() {
  if (!m_view || !m_view->mdi) return;
  QMdiArea* area = m_view->mdi;
  int x = 0;
  int y = area->viewport()->height();
  for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder)) {
    if (!sub->isMinimized()) continue;
    const QSize size = sub->size();
    if (x > 0 && x + size.width() > area->viewport()->width()) {
      x = 0;
      y -= size.height();
    }
    sub->move(x, y - size.height());
    x += size.width();
  }
}

// ---- declaring ---------------------------------------------------------------------------------

Window::Window(std::string title) : m_title(std::move(title)) {}

Window::~Window() {
  if (m_open) destroy();
}

Window& Window::at(int x, int y, int w, int h) {
  m_rect = Rect{x, y, w, h};
  return *this;
}
Window& Window::kind(WindowKind k) {
  m_kind = k;
  return *this;
}
Window& Window::resizable(bool on) {
  m_resizable = on;
  return *this;
}
Window& Window::timer(int hundredths) {
  setProp(0, Prop::Timer, hundredths);
  return *this;
}
Window& Window::alert(int keycode) {
  if (std::find(m_alerts.begin(), m_alerts.end(), keycode) == m_alerts.end()) m_alerts.push_back(keycode);
  return *this;
}
Window& Window::font(std::string_view face, int points) {
  m_fontName = face;
  m_fontSize = points;
  return *this;
}
Window& Window::statusZones(std::vector<int> widths) {
  m_zoneWidths = std::move(widths);
  m_zoneTexts.resize(m_zoneWidths.size());
  return *this;
}
Window& Window::minSize(int w, int h) {
  m_minW = w;
  m_minH = h;
  if (m_open) syncWindowView();
  return *this;
}
Window& Window::iconized(bool on) {
  m_iconized = on;
  return *this;
}
void setHelpId(Window& window, std::string_view id) { window.setProp(0, Prop::Help, id); }

std::string helpId(const Window& window) {
  std::string id = window.prop(0, Prop::Help);
  if (id.empty() && window.manager()) id = window.manager()->procedureName();
  return id;
}

void setHelpHandler(std::function<void(const std::string& helpId)> handler) { helpHandler() = std::move(handler); }

Window& Window::hiddenAtOpen(bool on) {
  m_hidden = on;
  return *this;
}

void Window::adopt(std::unique_ptr<Control> c, int feq) {
  if (feq == 0) {
    while (m_controls.count(m_nextFeq)) ++m_nextFeq;
    feq = m_nextFeq++;
  }
  c->m_feq = feq;
  c->m_window = this;
  m_order.erase(std::remove(m_order.begin(), m_order.end(), feq), m_order.end());
  m_order.push_back(feq);
  Control& ref = *c;
  m_controls[feq] = std::move(c);
  if (m_open) {
    Runtime& r = Runtime::get();
    ref.m_handle = r.newHandle(this, feq);
    ref.m_rootProc = r.registerProc([](Handle, uint32_t, WPARAM, LPARAM) -> LRESULT {
      detail::markRootReached();
      return 0;
    });
    ref.m_wndProc = ref.m_rootProc;
    placeControl(ref);
  }
}

void Window::destroyControl(int feq) {
  auto it = m_controls.find(feq);
  if (it == m_controls.end()) return;
  Control& c = *it->second;
  c.destroyView();
  if (auto* m = dynamic_cast<MenuControl*>(&c)) m->m_action = nullptr;
  if (c.m_handle) {
    Runtime& r = Runtime::get();
    r.releaseHandle(c.m_handle);
    r.unregisterProc(c.m_rootProc);
  }
  if (m_focus == feq) m_focus = 0;
  m_order.erase(std::remove(m_order.begin(), m_order.end(), feq), m_order.end());
  m_controls.erase(it);
}

Label& Window::string(std::string name, std::string_view text, int feq) {
  Label& l = add<Label>(feq, std::move(name), Kind::String);
  l.text(text);
  return l;
}
Label& Window::sstring(std::string name, std::string_view picture, int feq) {
  Label& l = add<Label>(feq, std::move(name), Kind::SString);
  l.picture(picture);
  return l;
}
Prompt& Window::prompt(std::string name, std::string_view text, int feq) {
  Prompt& p = add<Prompt>(feq, std::move(name));
  p.text(text);
  return p;
}
Entry& Window::entry(std::string name, std::string_view picture, int feq) {
  return add<Entry>(feq, std::move(name), std::string(picture));
}
Spin& Window::spin(std::string name, std::string_view picture, int feq) {
  return add<Spin>(feq, std::move(name), std::string(picture));
}
TextBox& Window::textBox(std::string name, int feq) { return add<TextBox>(feq, std::move(name)); }
Check& Window::check(std::string name, std::string_view text, int feq) {
  Check& c = add<Check>(feq, std::move(name));
  c.text(text);
  return c;
}
Option& Window::option(std::string name, std::string_view text, int feq) {
  Option& o = add<Option>(feq, std::move(name));
  o.text(text);
  return o;
}
Radio& Window::radio(std::string name, std::string_view text, int optionFeq, int feq) {
  Radio& r = add<Radio>(feq, std::move(name));
  r.text(text);
  r.on(optionFeq);
  return r;
}
ListChoice& Window::dropList(std::string name, std::string_view from, int feq) {
  return add<ListChoice>(feq, std::move(name), Kind::DropList).from(from);
}
ListChoice& Window::combo(std::string name, std::string_view from, int feq) {
  return add<ListChoice>(feq, std::move(name), Kind::Combo).from(from);
}
ListChoice& Window::dropCombo(std::string name, std::string_view from, int feq) {
  return add<ListChoice>(feq, std::move(name), Kind::DropCombo).from(from);
}
Sheet& Window::sheet(std::string name, int feq) { return add<Sheet>(feq, std::move(name)); }
Tab& Window::tab(std::string name, std::string_view text, int sheetFeq, int feq) {
  Tab& t = add<Tab>(feq, std::move(name));
  t.text(text);
  t.on(sheetFeq);
  return t;
}
Group& Window::group(std::string name, std::string_view text, int feq) {
  Group& g = add<Group>(feq, std::move(name));
  g.text(text);
  return g;
}
Button& Window::button(std::string name, std::string_view text, int feq) {
  Button& b = add<Button>(feq, std::move(name));
  b.text(text);
  return b;
}
Image& Window::image(std::string name, std::string_view file, int feq) {
  Image& i = add<Image>(feq, std::move(name));
  i.text(file);
  return i;
}
ProgressBar& Window::progress(std::string name, int feq) { return add<ProgressBar>(feq, std::move(name)); }
Region& Window::region(std::string name, int feq) { return add<Region>(feq, std::move(name)); }
MenuControl& Window::menu(std::string name, std::string_view text, int parentMenu, int feq) {
  MenuControl& m = add<MenuControl>(feq, std::move(name), Kind::Menu);
  m.text(text);
  m.on(parentMenu);
  return m;
}
MenuControl& Window::item(std::string name, std::string_view text, int menuFeq, int feq) {
  MenuControl& m = add<MenuControl>(feq, std::move(name), Kind::Item);
  m.text(text);
  m.on(menuFeq);
  return m;
}
MenuControl& Window::separator(int menuFeq) {
  int feq = -10000;  // separators take numbers of their own, below the program's
  while (m_controls.count(feq)) --feq;
  return item("", "-", menuFeq, feq);
}
MenuControl& Window::toolbar(std::string name, int feq) {
  return add<MenuControl>(feq ? feq : 128, std::move(name), Kind::Toolbar);
}

// ---- finding -----------------------------------------------------------------------------------

Control* Window::control(int feq) const {
  auto it = m_controls.find(feq);
  return it == m_controls.end() ? nullptr : it->second.get();
}

Control* Window::control(std::string_view name) const {
  for (int feq : m_order) {
    Control* c = m_controls.at(feq).get();
    if (!c->name().empty() && rt::compareText(c->name(), name, true) == 0) return c;
  }
  return nullptr;
}

int Window::feq(std::string_view name) const {
  Control* c = control(name);
  return c ? c->feq() : 0;
}

std::vector<int> Window::fields() const {
  std::vector<int> out;
  for (int feq : m_order)
    if (feq > 0 && m_controls.at(feq)->kind() != Kind::Toolbar) out.push_back(feq);
  return out;
}

std::vector<int> Window::allControls() const { return m_order; }

// ---- properties --------------------------------------------------------------------------------

std::string Window::prop(int feq, int p) const {
  using detail::flag;
  if (feq != 0) {
    Control* c = control(feq);
    if (!c) return {};
    switch (p) {
      case Prop::Xpos:
      case Prop::Ypos:
      case Prop::Width:
      case Prop::Height: {
        Rect r = c->rect();
        if (m_open && c->view()) {
          QRect g = c->view()->geometry();
          if (p == Prop::Xpos) return std::to_string(dluOrPx(*this, m_pixels, g.x(), true));
          if (p == Prop::Ypos) return std::to_string(dluOrPx(*this, m_pixels, g.y(), false));
          if (p == Prop::Width) return std::to_string(dluOrPx(*this, m_pixels, g.width(), true));
          return std::to_string(dluOrPx(*this, m_pixels, g.height(), false));
        }
        int v = p == Prop::Xpos ? r.x : p == Prop::Ypos ? r.y : p == Prop::Width ? r.w : r.h;
        if (m_pixels) v = (p == Prop::Xpos || p == Prop::Width) ? dluToPxX(v) : dluToPxY(v);
        return std::to_string(v);
      }
      case Prop::NextField: {
        std::vector<int> f = fields();
        auto it = std::find(f.begin(), f.end(), feq);
        return it == f.end() || it + 1 == f.end() ? "0" : std::to_string(*(it + 1));
      }
      default: return c->prop(p);
    }
  }
  switch (p) {
    case Prop::Text: return m_title;
    case Prop::Xpos:
    case Prop::Ypos:
    case Prop::Width:
    case Prop::Height: {
      if (m_open && m_view) {
        QWidget* top = view();
        const QSize client = top->size() - m_view->decoration();
        if (p == Prop::Xpos) return std::to_string(dluOrPx(*this, m_pixels, m_view->framePos().x(), true));
        if (p == Prop::Ypos) return std::to_string(dluOrPx(*this, m_pixels, m_view->framePos().y(), false));
        if (p == Prop::Width) return std::to_string(dluOrPx(*this, m_pixels, client.width(), true));
        return std::to_string(dluOrPx(*this, m_pixels, client.height(), false));
      }
      int v = p == Prop::Xpos ? m_rect.x : p == Prop::Ypos ? m_rect.y : p == Prop::Width ? m_rect.w : m_rect.h;
      return std::to_string(v);
    }
    case Prop::Hide: return flag(m_hidden);
    case Prop::Iconize: return flag(m_iconized);
    case Prop::Maximize: return flag(m_maximized);
    case Prop::Resize: return flag(m_resizable);
    case Prop::Handle: return std::to_string(m_handle);
    case Prop::WndProc: return std::to_string(m_wndProc);
    case Prop::Timer: return std::to_string(m_timer);
    case Prop::MinWidth: return std::to_string(m_minW);
    case Prop::MinHeight: return std::to_string(m_minH);
    case Prop::MaxWidth: return std::to_string(m_maxW);
    case Prop::MaxHeight: return std::to_string(m_maxH);
    case Prop::Pixels: return flag(m_pixels);
    case Prop::Auto: return flag(m_auto);
    case Prop::FontName: return m_fontName;
    case Prop::FontSize: return m_fontSize ? std::to_string(m_fontSize) : std::string();
    case Prop::Icon: return m_icon;
    case Prop::Mdi: return flag(m_kind == WindowKind::Mdi);
    case Prop::Active: return flag(m_open && view() && view()->isActiveWindow());
    case Prop::Visible: return flag(m_open && view() && view()->isVisible());
    case Prop::AcceptAll: return flag(m_manager && detail::WindowAccess::acceptAllRunning(*m_manager));
    case Prop::FirstField: {
      std::vector<int> f = fields();
      return f.empty() ? "0" : std::to_string(f.front());
    }
    case Prop::LastField: {
      std::vector<int> f = fields();
      return f.empty() ? "0" : std::to_string(f.back());
    }
    default:
      if (p > Prop::StatusText && p <= Prop::StatusText + 16) return statusText(p - Prop::StatusText);
      auto it = m_extraProps.find(p);
      return it == m_extraProps.end() ? std::string() : it->second;
  }
}

int64_t Window::propInt(int feq, int p) const { return detail::toInt(prop(feq, p)); }

void Window::setProp(int feq, int p, int64_t value) { setProp(feq, p, std::to_string(value)); }

void Window::setProp(int feq, int p, std::string_view v) {
  using detail::isTrue;
  using detail::toInt;
  if (feq != 0) {
    Control* c = control(feq);
    if (!c) return;
    switch (p) {
      case Prop::Xpos:
      case Prop::Ypos:
      case Prop::Width:
      case Prop::Height: {
        int n = static_cast<int>(toInt(v));
        if (m_pixels) n = (p == Prop::Xpos || p == Prop::Width) ? pxToDluX(n) : pxToDluY(n);
        Rect r = c->rect();
        (p == Prop::Xpos ? r.x : p == Prop::Ypos ? r.y : p == Prop::Width ? r.w : r.h) = n;
        c->at(r.x, r.y, r.w, r.h);
        return;
      }
      default:
        if (!c->setProp(p, v)) m_extraProps[(static_cast<int64_t>(feq) << 32) | static_cast<uint32_t>(p)] = v;
        return;
    }
  }
  switch (p) {
    case Prop::Text: setTitle(v); return;
    case Prop::Xpos:
    case Prop::Ypos:
    case Prop::Width:
    case Prop::Height: {
      int n = static_cast<int>(toInt(v));
      if (m_open && m_view) {
        QWidget* top = view();
        const QSize deco = m_view->decoration();
        bool horizontal = p == Prop::Xpos || p == Prop::Width;
        int px = m_pixels ? n : (horizontal ? dluToPxX(n) : dluToPxY(n));
        if (p == Prop::Xpos) m_view->moveFrame(QPoint(px, m_view->framePos().y()));
        if (p == Prop::Ypos) m_view->moveFrame(QPoint(m_view->framePos().x(), px));
        ++m_view->programSizing;
        if (p == Prop::Width) top->resize(deco.width() + px, top->height());
        if (p == Prop::Height) top->resize(top->width(), deco.height() + px);
        --m_view->programSizing;
        if (!m_pixels) (p == Prop::Xpos ? m_rect.x : p == Prop::Ypos ? m_rect.y : p == Prop::Width ? m_rect.w : m_rect.h) = n;
        return;
      }
      (p == Prop::Xpos ? m_rect.x : p == Prop::Ypos ? m_rect.y : p == Prop::Width ? m_rect.w : m_rect.h) = n;
      return;
    }
    case Prop::Hide: m_hidden = isTrue(v); break;
    case Prop::Iconize:
      m_iconized = isTrue(v);
      if (m_iconized) m_maximized = false;
      break;
    case Prop::Maximize:
      m_maximized = isTrue(v);
      if (m_maximized) m_iconized = false;
      break;
    case Prop::Resize: m_resizable = isTrue(v); break;
    case Prop::Auto: m_auto = isTrue(v); return;
    case Prop::WndProc: m_wndProc = static_cast<ProcNumber>(toInt(v)); return;
    case Prop::Timer: {
      m_timer = static_cast<int>(toInt(v));
      if (m_view && m_view->timer) {
        if (m_timer > 0)
          m_view->timer->start(m_timer * 10);
        else
          m_view->timer->stop();
      }
      return;
    }
    case Prop::MinWidth: m_minW = static_cast<int>(toInt(v)); break;
    case Prop::MinHeight: m_minH = static_cast<int>(toInt(v)); break;
    case Prop::MaxWidth: m_maxW = static_cast<int>(toInt(v)); break;
    case Prop::MaxHeight: m_maxH = static_cast<int>(toInt(v)); break;
    case Prop::Pixels: m_pixels = isTrue(v); return;
    case Prop::Icon: m_icon = v; break;
    case Prop::Alrt: {
      int64_t code = toInt(v);
      if (code < 0)
        std::erase(m_alerts, static_cast<int>(-code));
      else if (code > 0)
        alert(static_cast<int>(code));
      else
        m_alerts.clear();
      return;
    }
    case Prop::Active:
      if (isTrue(v) && m_view) {
        view()->raise();
        view()->activateWindow();
      }
      return;
    default:
      if (p > Prop::StatusText && p <= Prop::StatusText + 16) {
        setStatusText(p - Prop::StatusText, v);
        return;
      }
      m_extraProps[p] = v;
      return;
  }
  if (m_open) syncWindowView();
}

void Window::setTitle(std::string_view t) {
  m_title = t;
  if (m_open && m_view) {
    m_view->main->setWindowTitle(q(m_title));
    if (m_view->sub) m_view->sub->setWindowTitle(q(m_title));
  }
}

// ---- statements --------------------------------------------------------------------------------

void Window::display(int feq) {
  if (feq) {
    if (Control* c = control(feq)) c->display();
    return;
  }
  for (int f : m_order) m_controls[f]->display();
}

bool Window::update(int feq) {
  if (feq) {
    Control* c = control(feq);
    return !c || c->update();
  }
  bool ok = true;
  for (int f : m_order) {
    Control* c = m_controls[f].get();
    if (c->takesInput() && !c->update()) ok = false;
  }
  return ok;
}

void Window::select(int feq) {
  Control* c = control(feq);
  if (!c) return;
  if (m_manager && detail::WindowAccess::acceptAllRunning(*m_manager))
    detail::WindowAccess::acceptAllStopped(*m_manager) = true;
  if (c->kind() == Kind::Tab) {
    if (auto* s = dynamic_cast<Sheet*>(control(c->parentFeq()))) {
      std::vector<int> tabs = s->tabs();
      auto it = std::find(tabs.begin(), tabs.end(), feq);
      if (it != tabs.end()) s->setProp(Prop::Selected, std::to_string(it - tabs.begin() + 1));
    }
    return;
  }
  // A control on a tab brings its tab forward.
  for (Control* p = control(c->parentFeq()); p; p = control(p->parentFeq())) {
    if (p->kind() == Kind::Tab) select(p->feq());
  }
  m_focus = feq;
  if (m_open && c->view()) c->view()->setFocus(Qt::OtherFocusReason);
}

int Window::focus() const { return m_focus; }

int Window::choice(int feq) const { return static_cast<int>(detail::toInt(prop(feq, Prop::Selected))); }

void Window::post(int event, int feq, int keycode) {
  if (!m_manager) return;
  int thread = m_thread ? m_thread : THREAD();
  Runtime::get().post(detail::Posted{event, feq, keycode, detail::TargetKind::Manager,
                                     detail::WindowAccess::id(*m_manager)},
                      thread);
}

void Window::setStatusText(int zone, std::string_view text) {
  if (zone < 1) return;
  if (static_cast<size_t>(zone) > m_zoneTexts.size()) m_zoneTexts.resize(static_cast<size_t>(zone));
  m_zoneTexts[static_cast<size_t>(zone) - 1] = text;
  if (m_view && static_cast<size_t>(zone) <= m_view->zones.size())
    m_view->zones[static_cast<size_t>(zone) - 1]->setText(q(text));
}

std::string Window::statusText(int zone) const {
  if (zone < 1 || static_cast<size_t>(zone) > m_zoneTexts.size()) return {};
  return m_zoneTexts[static_cast<size_t>(zone) - 1];
}

bool Window::isShown(int feq) const {
  for (Control* c = control(feq); c; c = control(c->parentFeq())) {
    if (c->isHidden()) return false;
    // Controls on a tab show while it is the chosen one; the tab itself shows in the tab row.
    if (c->kind() == Kind::Tab && c->feq() != feq) {
      auto* s = dynamic_cast<Sheet*>(control(c->parentFeq()));
      if (s && s->selectedTab() != c->feq()) return false;
    }
    if (c->parentFeq() == c->feq()) break;
  }
  return true;
}

bool Window::isEnabled(int feq) const {
  for (Control* c = control(feq); c; c = control(c->parentFeq())) {
    if (c->isDisabled()) return false;
    if (c->parentFeq() == c->feq()) break;
  }
  return true;
}

int Window::registerEventHandler(int event, std::function<int()> handler) {
  int id = m_nextHandler++;
  m_handlers[id] = {event, std::move(handler)};
  return id;
}

void Window::unregisterEventHandler(int id) { m_handlers.erase(id); }

int Window::callEventHandlers(int event) {
  std::vector<std::function<int()>> handlers;
  for (auto& [id, h] : m_handlers)
    if (h.first == event) handlers.push_back(h.second);
  for (auto& h : handlers)
    if (h() == 5) return 5;
  return 0;
}

QWidget* Window::view() const {
  if (!m_view) return nullptr;
  return m_view->sub ? static_cast<QWidget*>(m_view->sub) : m_view->main;
}

QWidget* Window::clientView() const { return m_view ? m_view->client : nullptr; }

int Window::dluToPxX(int dlu) const {
  double cx = m_view ? m_view->cx : 1.5;
  return static_cast<int>(dlu * cx + (dlu >= 0 ? 0.5 : -0.5));
}
int Window::dluToPxY(int dlu) const {
  double cy = m_view ? m_view->cy : 1.625;
  return static_cast<int>(dlu * cy + (dlu >= 0 ? 0.5 : -0.5));
}
int Window::pxToDluX(int px) const {
  double cx = m_view ? m_view->cx : 1.5;
  return static_cast<int>(px / cx + (px >= 0 ? 0.5 : -0.5));
}
int Window::pxToDluY(int px) const {
  double cy = m_view ? m_view->cy : 1.625;
  return static_cast<int>(px / cy + (px >= 0 ? 0.5 : -0.5));
}

// ---- opening and closing -----------------------------------------------------------------------

void Window::open(WindowManager* manager, int thread) {
  if (m_open) return;
  Runtime& r = Runtime::get();
  m_manager = manager;
  m_thread = thread;
  m_open = true;
  m_handle = r.newHandle(this, 0);
  m_rootProc = r.registerProc([this](Handle, uint32_t msg, WPARAM wParam, LPARAM) -> LRESULT {
    detail::markRootReached();
    if (msg == WM::Close) {
      post(EVENT::CloseWindow);
    } else if (msg == WM::SysCommand) {
      WPARAM cmd = wParam & 0xFFF0;
      auto* main = m_view ? m_view->main : nullptr;
      if (cmd == SC::Close) {
        post(EVENT::CloseWindow);
      } else if (cmd == SC::Minimize) {
        if (callEventHandlers(EVENT::Iconize) == 5) return 0;
        m_iconized = true;
        m_maximized = false;
        if (main && !(main->windowState() & Qt::WindowMinimized)) syncWindowView();
        post(EVENT::Iconize);
        if (callEventHandlers(EVENT::Iconized) != 5) post(EVENT::Iconized);
      } else if (cmd == SC::Restore) {
        if (callEventHandlers(EVENT::Restore) == 5) return 0;
        m_iconized = false;
        m_maximized = false;
        if (main && (main->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) syncWindowView();
        post(EVENT::Restored);
      } else if (cmd == SC::Maximize) {
        m_maximized = true;
        m_iconized = false;
        if (main && !(main->windowState() & Qt::WindowMaximized)) syncWindowView();
        post(EVENT::Maximized);
      }
    }
    return 0;
  });
  m_wndProc = m_rootProc;
  for (int feq : m_order) {
    Control& c = *m_controls[feq];
    c.m_handle = r.newHandle(this, feq);
    c.m_rootProc = r.registerProc([](Handle, uint32_t, WPARAM, LPARAM) -> LRESULT {
      detail::markRootReached();
      return 0;
    });
    c.m_wndProc = c.m_rootProc;
  }
  detail::installInputFilter();
  r.windowOpened(*this);
  buildView();
  post(EVENT::OpenWindow);
  display();
  for (int feq : m_order) m_controls[feq]->syncView();
  // A called window stays above the window that called it; a window of its own that names no
  // place opens a step below and right of the last such one, so that they do not cover each other.
  const std::vector<Window*>& stack = r.slot(m_thread).stack;
  Window* owner = stack.size() >= 2 && stack.back() == this ? stack[stack.size() - 2] : nullptr;
  if (!m_view->sub) {
    if (owner && owner->view()) {
      m_view->main->winId();
      if (QWindow* own = owner->view()->window()->windowHandle()) m_view->main->windowHandle()->setTransientParent(own);
    }
    if (m_rect.x < 0 || m_rect.y < 0) placeUnplaced(owner);
  }
  if (m_resizable && m_kind != WindowKind::Frame) captureLayout();
  m_view->showPending = true;
  QPointer<QWidget> guard = m_view->main;
  QMetaObject::invokeMethod(
      m_view->main, [this, guard] { if (guard && m_open && m_view && m_view->showPending) firstShow(); },
      Qt::QueuedConnection);
}

void Window::firstShow() {
  m_view->showPending = false;
  ++m_view->programSizing;
  syncWindowView();
  --m_view->programSizing;
  // Sized to the frame's area as a user sizes it: the controls follow.
  fitInFrame();
  const std::vector<Window*>& stack = Runtime::get().slot(m_thread).stack;
  auto it = std::find(stack.begin(), stack.end(), this);
  const bool called = it != stack.end() && it != stack.begin();
  if (called && !m_hidden && !m_iconized) {
    QWidget* top = view();
    top->raise();
    top->activateWindow();
    if (!top->isVisible())
      std::fprintf(stderr, "ov98: the window \"%s\" (%s) could not be shown\n", m_title.c_str(),
                   m_manager ? m_manager->procedureName().c_str() : "");
  }
}

// A child of the frame opens whole inside the frame's window area: it moves in, and a child
// still larger than the area that can be sized takes the area's size. One that cannot be made
// that small (it is not resizable, or its minimum is larger) opens at the area's top-left, and
// the area's scroll bars reach the rest. The frame keeps its own place and size: they are the
// user's.
void Window::fitInFrame() {
  View& v = *m_view;
  if (!v.sub || !v.sub->mdiArea() || m_maximized || m_iconized || m_hidden) return;
  const QSize room = v.sub->mdiArea()->viewport()->size();
  QRect g = v.sub->geometry();
  if (m_resizable && (g.width() > room.width() || g.height() > room.height())) {
    // Never smaller than its controls' minimum: the rest is scrolled to.
    const QSize fit = g.size().boundedTo(room).expandedTo(v.sub->minimumSizeHint());
    if (fit != g.size()) {
      v.sub->resize(fit);
      g.setSize(v.sub->size());
    }
  }
  const QPoint at(std::clamp(g.x(), 0, std::max(0, room.width() - g.width())),
                  std::clamp(g.y(), 0, std::max(0, room.height() - g.height())));
  if (at != g.topLeft()) v.sub->move(at);
}

void Window::placeUnplaced(Window* owner) {
  QWidget* top = m_view->main;
  QScreen* screen = owner && owner->view() ? owner->view()->window()->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QSize size = top->size();
  QPoint at;
  if (owner && owner->view()) {
    // Over the middle of the window that called it.
    const QRect below = detail::frameRect(owner->view()->window());
    at = below.center() - QPoint(size.width() / 2, size.height() / 2);
  } else {
    // The middle of the screen, one step down and right for each window already shown there.
    const int step = std::max(24, top->style()->pixelMetric(QStyle::PM_TitleBarHeight));
    int n = 0;
    for (Window* w : openWindows())
      if (w != this && w->m_view && !w->m_view->sub && w->view()->isVisible()) ++n;
    n %= 8;
    at = area.center() - QPoint(size.width() / 2, size.height() / 2) + QPoint(step * n, step * n);
  }
  at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
  at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
  top->move(at);
}

namespace {

// A label's text as drawn: in a prompt a single "&" marks the access key, "&&" shows one "&".
QString shownText(const QString& text, bool accessKey) {
  if (!accessKey) return text;
  QString t = text;
  t.replace(QLatin1String("&&"), QChar(0x1));
  t.remove(QLatin1Char('&'));
  t.replace(QChar(0x1), QLatin1Char('&'));
  return t;
}

int widestLine(const QFontMetrics& fm, const QString& text) {
  int w = 0;
  for (const QString& line : text.split(QLatin1Char('\n'))) w = std::max(w, fm.horizontalAdvance(line));
  return w;
}

// The pixels a control's text needs to be drawn whole on one line; 0 where nothing is measured.
int textNeed(const Control& c, QWidget* v) {
  if (auto* b = qobject_cast<QCheckBox*>(v)) return b->text().isEmpty() ? 0 : b->sizeHint().width();
  if (auto* r = qobject_cast<QRadioButton*>(v)) return r->text().isEmpty() ? 0 : r->sizeHint().width();
  if (qobject_cast<QPushButton*>(v)) return detail::buttonTextNeed(*v);
  if (auto* l = qobject_cast<QLabel*>(v)) {
    if (l->text().isEmpty() || !l->pixmap().isNull() || l->wordWrap()) return 0;
    return widestLine(l->fontMetrics(), shownText(l->text(), c.kind() == Kind::Prompt)) + 2 * l->margin() +
           std::max(0, l->indent()) + 2;
  }
  if (auto* g = qobject_cast<QGroupBox*>(v)) {
    if (g->title().isEmpty()) return 0;
    const int box = g->isCheckable() ? g->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, g) + 4 : 0;
    return widestLine(g->fontMetrics(), shownText(g->title(), true)) + box + 16;
  }
  if (auto* t = qobject_cast<QTabWidget*>(v)) {
    QTabBar* bar = t->tabBar();
    if (bar->isHidden()) return 0;
    int need = 0;
    for (int i = 0; i < bar->count(); ++i)
      if (bar->isTabVisible(i))
        need += bar->fontMetrics().horizontalAdvance(shownText(bar->tabText(i), true)) +
                std::max(16, bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar));
    return need + 4;
  }
  return 0;
}

}  // namespace

namespace detail {

// The pixels a button's text (and icon) needs to be drawn whole; 0 for a button without text.
int buttonTextNeed(QWidget& view) {
  auto* p = qobject_cast<QPushButton*>(&view);
  if (!p || p->text().isEmpty()) return 0;
  const int icon = p->icon().isNull() ? 0 : p->iconSize().width() + 4;
  return widestLine(p->fontMetrics(), shownText(p->text(), true)) + icon + 8;
}

}  // namespace detail

// How much wider the dialog units must be for every text of the window to show whole. A text
// that only needs the free room to its right takes it (applyCommon); one that would run into
// the next control or past its group, tab or window counts here, as do group titles and the
// captions of a sheet's tabs, which have no room to take.
double Window::widthForTexts() const {
  const double cx = m_view->cx;
  double scale = 1.0;
  for (int feq : m_order) {
    const Control& c = *m_controls.at(feq);
    QWidget* view = c.view();
    const Rect r = c.rect();
    if (!view || r.w <= 0 || qobject_cast<QToolBar*>(view->parentWidget())) continue;
    const int need = textNeed(c, view);
    if (need <= 0) continue;
    const Kind k = c.kind();
    int room = r.w;
    if (k == Kind::Check || k == Kind::Radio || k == Kind::Prompt || k == Kind::String || k == Kind::SString ||
        k == Kind::Button) {
      // Up to the next control on its right, or the inside edge of what holds it.
      int limit = m_rect.w > 0 ? m_rect.w - 2 : 1 << 20;
      if (const Control* holder = c.parentFeq() && c.parentFeq() != feq ? control(c.parentFeq()) : nullptr) {
        const Control* box = holder->kind() == Kind::Tab ? control(holder->parentFeq()) : holder;
        if (box && box->rect().w > 0) limit = std::min(limit, box->rect().x + box->rect().w - 3);
      }
      for (int other : m_order) {
        const Control& o = *m_controls.at(other);
        const Rect b = o.rect();
        if (other == feq || o.parentFeq() != c.parentFeq() || b.w <= 0 || b.h <= 0 || !o.view()) continue;
        if (b.x >= r.x + r.w - 1 && b.y < r.y + r.h && r.y < b.y + b.h) limit = std::min(limit, b.x - 1);
      }
      room = std::max(r.w, limit - r.x);
    }
    scale = std::max(scale, need / (room * cx));
  }
  if (scale <= 1.0) return 1.0;
  // Never wider than half as much again, nor wider than the screen.
  scale = std::min(scale, 1.5);
  if (QScreen* screen = QGuiApplication::primaryScreen(); screen && m_rect.w > 0)
    scale = std::max(1.0, std::min(scale, (screen->availableGeometry().width() - 40) / (m_rect.w * cx)));
  return scale;
}

// ---- automatic layout --------------------------------------------------------------------------

void Window::autoLayout(bool on) {
  if (!m_view) return;
  if (on && !m_view->layoutOn && m_resizable) captureLayout();
  m_view->layoutOn = on && m_resizable;
}

void Window::captureLayout() {
  View& v = *m_view;
  v.anchors.clear();
  v.refW = v.laidW = int(propInt(0, Prop::Width));
  v.refH = v.laidH = int(propInt(0, Prop::Height));
  if (m_pixels) {  // the sizes above came in pixels
    v.refW = v.laidW = pxToDluX(v.refW);
    v.refH = v.laidH = pxToDluY(v.refH);
  }
  auto stretches = [](Kind k) { return k == Kind::List || k == Kind::Text || k == Kind::Sheet; };
  auto isInside = [this](int feq, int container) {
    for (Control* c = control(feq); c && c->parentFeq() != c->feq(); c = control(c->parentFeq()))
      if (c->parentFeq() == container) return true;
    return false;
  };
  // Each control's extent in dialog units as it is shown (a size of 0 is the control's own).
  std::map<int, Rect> extent;
  for (int feq : fields()) {
    Control* c = control(feq);
    QWidget* view = c->view();
    if (!view || qobject_cast<QToolBar*>(view->parentWidget()) || c->kind() == Kind::Tab) continue;
    Rect r = c->rect();
    if (r.w <= 0) r.w = pxToDluX(view->width());
    if (r.h <= 0) r.h = pxToDluY(view->height());
    extent[feq] = r;
  }
  for (const auto& [feq, r] : extent) {
    Control* c = control(feq);
    View::Anchor a;
    a.origin = c->rect();
    const bool stretchy = stretches(c->kind());
    a.stretchX = a.stretchY = stretchy && a.origin.w > 0 && a.origin.h > 0;
    for (const auto& [other, o] : extent) {
      if (other == feq || !stretches(control(other)->kind()) || isInside(feq, other) || isInside(other, feq)) continue;
      const bool overlapsY = r.y < o.y + o.h && o.y < r.y + r.h;
      const bool overlapsX = r.x < o.x + o.w && o.x < r.x + r.w;
      const bool rightOf = r.x >= o.x + o.w - 2, below = r.y >= o.y + o.h - 2;
      if ((overlapsY || below) && rightOf) a.right = true;
      if ((overlapsX || rightOf) && below) a.bottom = true;
      // Buttons under the right half of a stretching control keep to the right edge (OK, Cancel).
      if (overlapsX && below && c->kind() == Kind::Button && 2 * r.x + r.w > 2 * o.x + o.w) a.right = true;
      // An entry or list that ends where a stretching control below it ends grows with it.
      if (!stretchy && c->kind() != Kind::Button && c->kind() != Kind::Prompt && c->kind() != Kind::String &&
          a.origin.w > 0 && o.y >= r.y + r.h && std::abs((r.x + r.w) - (o.x + o.w)) <= 4)
        a.stretchX = true;
    }
    if (a.right) a.stretchX = false;
    if (a.bottom) a.stretchY = false;
    if (a.right || a.bottom || a.stretchX || a.stretchY) v.anchors[feq] = a;
  }
  v.layoutOn = true;
}

void Window::followSize(int fromWidth, int fromHeight) {
  if (!m_view || !m_view->layoutOn) return;
  View& v = *m_view;
  v.refW -= v.laidW - fromWidth;
  v.refH -= v.laidH - fromHeight;
  v.laidW = fromWidth;
  v.laidH = fromHeight;
  layOut();
}

// The program sized the window itself: what it shows now is the layout for this size.
void Window::programResized() {
  View& v = *m_view;
  int w = int(propInt(0, Prop::Width)), h = int(propInt(0, Prop::Height));
  if (m_pixels) w = pxToDluX(w), h = pxToDluY(h);
  v.refW += w - v.laidW;
  v.refH += h - v.laidH;
  v.laidW = w;
  v.laidH = h;
  for (auto& [feq, a] : v.anchors) {
    Control* c = control(feq);
    if (!c) continue;
    // The control stays; its origin is where it would be at the reference size.
    Rect r = c->rect();
    const int dw = w - v.refW, dh = h - v.refH;
    a.origin = r;
    if (a.right) a.origin.x -= dw;
    if (a.stretchX) a.origin.w -= dw;
    if (a.bottom) a.origin.y -= dh;
    if (a.stretchY) a.origin.h -= dh;
  }
}

void Window::layOut() {
  if (!m_view || !m_view->layoutOn) return;
  View& v = *m_view;
  int w = int(propInt(0, Prop::Width)), h = int(propInt(0, Prop::Height));
  if (m_pixels) w = pxToDluX(w), h = pxToDluY(h);
  const int dw = w - v.refW, dh = h - v.refH;
  for (auto& [feq, a] : v.anchors) {
    Control* c = control(feq);
    if (!c) continue;
    // A control the program moved since the last layout keeps that place as its own.
    Rect now = c->rect();
    Rect laid = a.origin;
    const int ldw = v.laidW - v.refW, ldh = v.laidH - v.refH;
    if (a.right) laid.x += ldw;
    if (a.stretchX) laid.w = std::max(1, laid.w + ldw);
    if (a.bottom) laid.y += ldh;
    if (a.stretchY) laid.h = std::max(1, laid.h + ldh);
    if (now.x != laid.x || now.y != laid.y || now.w != laid.w || now.h != laid.h) {
      a.origin = now;
      if (a.right) a.origin.x -= ldw;
      if (a.stretchX) a.origin.w -= ldw;
      if (a.bottom) a.origin.y -= ldh;
      if (a.stretchY) a.origin.h -= ldh;
    }
    Rect r = a.origin;
    if (a.right) r.x += dw;
    if (a.stretchX) r.w = std::max(1, r.w + dw);
    if (a.bottom) r.y += dh;
    if (a.stretchY) r.h = std::max(1, r.h + dh);
    if (r.x != now.x || r.y != now.y || r.w != now.w || r.h != now.h) c->at(r.x, r.y, r.w, r.h);
  }
  v.laidW = w;
  v.laidH = h;
}

void Window::buildView() {
  m_view = std::make_unique<View>();
  View& v = *m_view;
  v.main = new WindowWidget(this);
  v.main->setAttribute(Qt::WA_DeleteOnClose, false);
  if (!m_fontName.empty() || m_fontSize) {
    QFont f = v.main->font();
    if (!m_fontName.empty()) f.setFamily(q(m_fontName));
    if (m_fontSize > 0) f.setPointSize(m_fontSize);
    v.main->setFont(f);
  }
  QFontMetricsF fm(v.main->font());
  v.cx = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 / 4.0;
  v.cy = fm.height() / 8.0;
  v.main->setWindowTitle(q(m_title));
  if (m_kind == WindowKind::Frame) {
    v.mdi = new QMdiArea(v.main);
    // The frame's size is the user's: a child that does not fit in the area, or that the user
    // moved partly out of it, is reached by scrolling the area.
    v.mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    v.mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    v.main->setCentralWidget(v.mdi);
    v.client = v.mdi;
  } else {
    v.client = new QWidget(v.main);
    v.main->setCentralWidget(v.client);
  }
  // Menus, then the toolbar, then every other control in declaration order.
  if (std::any_of(m_order.begin(), m_order.end(), [this](int feq) {
        const Kind k = m_controls[feq]->kind();
        return k == Kind::Menu || k == Kind::Item;
      }))
    v.main->setMenuBar(detail::newOwnerDrawMenuBar(v.main));
  for (int feq : m_order) {
    Control& c = *m_controls[feq];
    if (c.kind() == Kind::Menu) {
      auto& m = static_cast<MenuControl&>(c);
      QMenu* parentMenu = v.menus.count(c.parentFeq()) ? v.menus[c.parentFeq()] : nullptr;
      QMenu* menu = detail::newOwnerDrawMenu(q(c.textProp()), parentMenu ? static_cast<QWidget*>(parentMenu) : v.main);
      if (parentMenu)
        parentMenu->addMenu(menu);
      else
        v.main->menuBar()->addMenu(menu);
      v.menus[feq] = menu;
      m.m_action = menu->menuAction();
    } else if (c.kind() == Kind::Item) {
      auto& m = static_cast<MenuControl&>(c);
      QMenu* menu = v.menus.count(c.parentFeq()) ? v.menus[c.parentFeq()] : nullptr;
      QAction* a = nullptr;
      if (c.textProp() == "-") {
        a = menu ? menu->addSeparator() : v.main->menuBar()->addSeparator();
      } else {
        a = menu ? menu->addAction(q(c.textProp())) : v.main->menuBar()->addAction(q(c.textProp()));
        QObject::connect(a, &QAction::triggered, a, [&m] { m.userChoose(); });
      }
      m.m_action = a;
    } else if (c.kind() == Kind::Toolbar) {
      v.toolBar = v.main->addToolBar(q(c.name()));
      v.toolBar->setMovable(false);
      static_cast<MenuControl&>(c).m_action = v.toolBar->toggleViewAction();
    }
  }
  for (int feq : m_order) {
    Control& c = *m_controls[feq];
    if (c.kind() == Kind::Menu || c.kind() == Kind::Item || c.kind() == Kind::Toolbar) continue;
    placeControl(c);
  }
  // Dialog units come from the window's font, but texts are not all of average letters: where a
  // text would still be cut, the units widen for the whole window, so nothing overlaps.
  if (const double scale = widthForTexts(); scale > 1.0) v.cx *= scale;
  // Sheets, groups and options lie under every other control, one above the other in the order
  // they were declared.
  auto isContainer = [](Kind k) { return k == Kind::Sheet || k == Kind::Group || k == Kind::Option; };
  for (bool containers : {true, false})
    for (int feq : m_order)
      if (QWidget* w = m_controls[feq]->view(); w && isContainer(m_controls[feq]->kind()) == containers) w->raise();
  if (!m_zoneWidths.empty()) {
    QStatusBar* bar = v.main->statusBar();
    for (size_t i = 0; i < m_zoneWidths.size(); ++i) {
      auto* label = new QLabel(q(i < m_zoneTexts.size() ? m_zoneTexts[i] : std::string()));
      if (m_zoneWidths[i] > 0) label->setMinimumWidth(dluToPxX(m_zoneWidths[i]));
      bar->addWidget(label, m_zoneWidths[i] < 0 ? 1 : 0);
      v.zones.push_back(label);
    }
  }
  v.timer = new QTimer(v.main);
  QObject::connect(v.timer, &QTimer::timeout, v.main, [this] {
    // Timer events do not pile up: one waits at most.
    auto& queue = Runtime::get().slot(m_thread).queue;
    uint64_t id = detail::WindowAccess::id(*m_manager);
    for (const detail::Posted& p : queue)
      if (p.event == EVENT::Timer && p.kind == detail::TargetKind::Manager && p.manager == id) return;
    post(EVENT::Timer);
  });
  if (m_timer > 0) v.timer->start(m_timer * 10);

  // Size: the declared one, or what the controls need.
  int w = m_rect.w, h = m_rect.h;
  if (w <= 0 || h <= 0) {
    int right = 0, bottom = 0;
    for (int feq : m_order) {
      Rect r = m_controls[feq]->rect();
      right = std::max(right, r.x + r.w);
      bottom = std::max(bottom, r.y + r.h);
    }
    if (w <= 0) w = std::max(right + 6, 60);
    if (h <= 0) h = std::max(bottom + 6, 30);
  }
  v.client->setMinimumSize(0, 0);
  v.main->resize(v.main->sizeHint());
  // Lays the menu, toolbar and status bar out now, so the client's size is the one they leave.
  if (QLayout* layout = v.main->layout()) layout->activate();
  QSize extra = v.main->size() - v.client->size();
  if (extra.width() < 0 || extra.height() < 0) extra = QSize(0, 0);
  v.extra = extra;
  int width = dluToPxX(w) + std::max(0, extra.width());
  if (m_kind == WindowKind::Frame && v.toolBar) {
    // The toolbar's buttons are sized by their font and icons, not in dialog units: a frame opens
    // wide enough to show them all, as far as its screen allows. A size the user gave it (a
    // stored place) still comes after this; a narrower frame puts the rest behind the toolbar's
    // extension mark.
    int wanted = v.toolBar->sizeHint().width();
    if (QScreen* screen = QGuiApplication::primaryScreen()) wanted = std::min(wanted, screen->availableGeometry().width());
    width = std::max(width, wanted);
  }
  v.main->resize(width, dluToPxY(h) + std::max(0, extra.height()));
  // The client takes its size now: controls whose text needs more room measure against it.
  if (QLayout* layout = v.main->layout()) layout->activate();

  Window* frame = detail::frameWindow();
  if (m_kind == WindowKind::Mdi && frame && frame != this && frame->m_view && frame->m_view->mdi) {
    v.sub = frame->m_view->mdi->addSubWindow(v.main);
    v.sub->setAttribute(Qt::WA_DeleteOnClose, false);
    // The sub-window's title bar and border come on top of the window's own size.
    v.sub->resize(v.main->size().grownBy(v.sub->contentsMargins()));
    v.extra = v.extra.grownBy(v.sub->contentsMargins());
    if (m_rect.x >= 0 && m_rect.y >= 0) v.sub->move(dluToPxX(m_rect.x), dluToPxY(m_rect.y));
  } else if (m_rect.x >= 0 && m_rect.y >= 0) {
    v.main->move(dluToPxX(m_rect.x), dluToPxY(m_rect.y));
  }
}

void Window::placeControl(Control& c) {
  View& v = *m_view;
  QWidget* parent = v.client;
  Control* p = control(c.parentFeq());
  bool onToolbar = p && p->kind() == Kind::Toolbar && v.toolBar;
  if (onToolbar) parent = v.toolBar;
  QWidget* view = c.createView(parent);
  if (!view) return;
  view->setProperty("ovFeq", c.feq());
  if (onToolbar) v.toolBar->addWidget(view);
  c.syncView();
}

void Window::controlChanged(Control& c) {
  if (!m_open) return;
  c.syncView();
  Kind k = c.kind();
  if (k == Kind::Sheet || k == Kind::Tab || k == Kind::Group || k == Kind::Option || k == Kind::Toolbar ||
      k == Kind::Menu) {
    updateTabVisibility();
  }
}

void Window::updateTabVisibility() {
  const bool outer = !detail::g_changingTabs;
  detail::g_changingTabs = true;
  for (int feq : m_order) {
    Control& c = *m_controls[feq];
    if (QWidget* view = c.view()) {
      if (qobject_cast<QToolBar*>(view->parentWidget())) {
        c.syncView();
        continue;
      }
      bool shown = isShown(feq);
      if (view->isVisibleTo(view->parentWidget()) != shown) view->setVisible(shown);
      view->setEnabled(isEnabled(feq));
    } else if (c.kind() == Kind::Item || c.kind() == Kind::Menu) {
      c.syncView();
    }
  }
  if (!outer) return;
  detail::g_changingTabs = false;
  // The focused control went with its tab: the focus is where Qt put it.
  if (m_open && m_focus && !isShown(m_focus)) {
    int feq = 0;
    QWidget* now = QApplication::focusWidget();
    if (now && detail::windowOfWidget(now, &feq) == this && feq && isShown(feq)) m_focus = feq;
  }
}

void Window::syncWindowView() {
  if (!m_view) return;
  View& v = *m_view;
  QWidget* top = view();
  if (m_minW > 0 || m_minH > 0)
    v.client->setMinimumSize(m_minW > 0 ? dluToPxX(m_minW) : 0, m_minH > 0 ? dluToPxY(m_minH) : 0);
  if (m_maxW > 0 || m_maxH > 0)
    v.client->setMaximumSize(m_maxW > 0 ? dluToPxX(m_maxW) : QWIDGETSIZE_MAX,
                             m_maxH > 0 ? dluToPxY(m_maxH) : QWIDGETSIZE_MAX);
  QIcon icon = m_icon.empty() ? QIcon() : detail::loadIcon(m_icon);
  v.main->setWindowIcon(icon.isNull() ? applicationIcon() : icon);
  if (v.showPending) return;
  // A window given the place of its frame and then a size before it was shown (a stored place
  // and size restored): the toolkit's window still has the old size, and showing would then
  // take the frame's place for the inside's, opening the window a title bar higher each time.
  if (QWindow* handle = v.sub ? nullptr : top->windowHandle(); handle && v.framePlaced && handle->size() != top->size()) {
    const QPoint at = handle->framePosition();
    handle->resize(top->size());
    handle->setFramePosition(at);
  }
  v.main->suppressState = true;
  if (m_hidden) {
    top->hide();
  } else {
    if (m_iconized)
      top->showMinimized();
    else if (m_maximized)
      top->showMaximized();
    else if (top->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
      top->showNormal();
    else
      top->show();
    if (v.sub) v.main->show();
  }
  v.main->suppressState = false;
}

void Window::destroy() {
  if (!m_open) return;
  Runtime& r = Runtime::get();
  m_open = false;
  r.windowClosed(*this);
  for (int feq : m_order) {
    Control& c = *m_controls[feq];
    c.destroyView();
    if (auto* m = dynamic_cast<MenuControl*>(&c)) m->m_action = nullptr;
    r.releaseHandle(c.m_handle);
    r.unregisterProc(c.m_rootProc);
    c.m_handle = 0;
    c.m_wndProc = c.m_rootProc = 0;
  }
  r.releaseHandle(m_handle);
  r.unregisterProc(m_rootProc);
  m_handle = 0;
  m_wndProc = m_rootProc = 0;
  if (m_view) {
    View& v = *m_view;
    if (v.timer) v.timer->stop();
    QWidget* top = v.sub ? static_cast<QWidget*>(v.sub) : v.main;
    top->hide();
    if (v.sub) {
      if (QMdiArea* area = v.sub->mdiArea()) area->removeSubWindow(v.sub);
    }
    v.main->detach();
    top->deleteLater();
    if (v.sub && v.sub != top) v.main->deleteLater();
    m_view.reset();
  }
}

}  // namespace ov::ui
