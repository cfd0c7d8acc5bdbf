#include "platform/ui/testing/driver.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/rt/fixed_string.h"
#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/detail/view_util.h"
#include "platform/ui/event.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"

namespace ov::ui::test {
namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string plain(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != '&') out += c;
  return out;
}

Window* windowOf(Handle h) {
  Window* w = nullptr;
  int feq = 0;
  if (!detail::Runtime::get().resolveHandle(h, w, feq) || feq != 0) return nullptr;
  return w;
}

Control* findControl(const Window& w, std::string_view name) {
  if (Control* c = w.control(name)) return c;
  for (int feq : w.allControls()) {
    Control* c = w.control(feq);
    if (!c->textProp().empty() && plain(c->textProp()) == plain(name)) return c;
  }
  return nullptr;
}

}  // namespace

QApplication& application() {
  static QApplication* app = [] {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "ov_ui_test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

// ---- Driver ------------------------------------------------------------------------------------

void Driver::gui(const std::function<void()>& fn) {
  QMetaObject::invokeMethod(
      qApp,
      [&fn] {
        try {
          fn();
        } catch (...) {
          ADD_FAILURE() << "exception in a driver call";
        }
      },
      Qt::BlockingQueuedConnection);
}

void Driver::later(std::function<void()> fn) { QMetaObject::invokeMethod(qApp, std::move(fn), Qt::QueuedConnection); }

int Driver::start(ProcFactory factory) {
  int t = 0;
  gui([&] { t = START(std::move(factory)); });
  settle();
  return t;
}

bool Driver::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    bool ok = false;
    gui([&] { ok = condition(); });
    if (ok) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
}

void Driver::settle() {
  if (!waitUntil([] { return !detail::Runtime::get().hasPendingWork(); }, 10s))
    ADD_FAILURE() << "events were still pending after 10 s";
}

WindowDriver Driver::waitWindow(std::string_view procedure, std::chrono::milliseconds timeout) {
  Handle found = 0;
  std::string want(procedure);
  bool ok = waitUntil(
      [&] {
        for (Window* w : openWindows())
          if (w->manager() && w->manager()->procedureName() == want && w->handle() > found) found = w->handle();
        return found != 0;
      },
      timeout);
  if (!ok) {
    std::string open;
    gui([&] {
      for (Window* w : openWindows()) open += " " + (w->manager() ? w->manager()->procedureName() : "?");
    });
    ADD_FAILURE() << "window " << want << " did not open; open:" << open;
    return {};
  }
  settle();
  return WindowDriver(this, found);
}

void Driver::waitClosed(const WindowDriver& w, std::chrono::milliseconds timeout) {
  Handle h = w.handle();
  if (!waitUntil([h] { return windowOf(h) == nullptr; }, timeout)) ADD_FAILURE() << "window did not close";
  settle();
}

// ---- WindowDriver ------------------------------------------------------------------------------

namespace {
// Runs `fn` on the control of an open window, failing the test when there is none.
struct Target {
  Window* window = nullptr;
  Control* control = nullptr;
};

Target target(Handle h, std::string_view name, bool mustAct) {
  Target t;
  t.window = windowOf(h);
  if (!t.window) {
    ADD_FAILURE() << "the window is not open (control " << name << ")";
    return {};
  }
  if (name.empty()) return t;
  t.control = findControl(*t.window, name);
  if (!t.control) {
    ADD_FAILURE() << "no control " << name << " on \"" << t.window->title() << "\"";
    return {};
  }
  if (mustAct) {
    auto& stack = detail::Runtime::get().slot(t.window->thread()).stack;
    if (!stack.empty() && stack.back() != t.window) {
      ADD_FAILURE() << "\"" << t.window->title() << "\" lies behind a called window: " << name << " cannot be used";
      return {};
    }
    if (!t.window->isShown(t.control->feq())) {
      ADD_FAILURE() << name << " is hidden";
      return {};
    }
    if (!t.window->isEnabled(t.control->feq())) {
      ADD_FAILURE() << name << " is disabled";
      return {};
    }
  }
  return t;
}
}  // namespace

void WindowDriver::press(std::string_view name) {
  m_driver->gui([&] {
    Target t = target(m_handle, name, true);
    if (!t.control) return;
    Control* c = t.control;
    switch (c->kind()) {
      case Kind::Button:
        if (auto* b = qobject_cast<QPushButton*>(c->view()))
          b->click();
        else
          static_cast<Button*>(c)->userPress(Key::MouseLeft);
        break;
      case Kind::Region: static_cast<Region*>(c)->userClick(Key::MouseLeft); break;
      case Kind::Item: {
        auto* m = static_cast<MenuControl*>(c);
        if (auto* a = static_cast<QAction*>(m->actionHandle()))
          a->trigger();
        else
          m->userChoose();
        break;
      }
      case Kind::Radio:
      case Kind::Check:
        if (auto* b = qobject_cast<QAbstractButton*>(c->view())) b->click();
        break;
      default: ADD_FAILURE() << name << " cannot be pressed";
    }
  });
  m_driver->settle();
}

void WindowDriver::type(std::string_view name, std::string_view text) {
  m_driver->gui([&] {
    Target t = target(m_handle, name, true);
    if (!t.control) return;
    Control* c = t.control;
    std::string s(text);
    if (auto* e = dynamic_cast<Entry*>(c)) {
      QLineEdit* le = qobject_cast<QLineEdit*>(c->view());
      if (!le && c->view()) le = c->view()->findChild<QLineEdit*>();
      if (e->isReadOnly()) {
        ADD_FAILURE() << name << " is read-only";
        return;
      }
      if (le) {
        le->setFocus();
        le->setText(q(s));
      }
      e->userEdit(s);
    } else if (auto* tb = dynamic_cast<TextBox*>(c)) {
      if (auto* pt = qobject_cast<QPlainTextEdit*>(c->view())) {
        pt->setFocus();
        pt->setPlainText(q(s));
      } else {
        tb->userEdit(s);
      }
    } else if (auto* lc = dynamic_cast<ListChoice*>(c); lc && lc->isEditable()) {
      if (auto* cb = qobject_cast<QComboBox*>(c->view()); cb && cb->lineEdit()) cb->lineEdit()->setText(q(s));
      lc->userEdit(s);
    } else {
      ADD_FAILURE() << name << " takes no typing";
    }
  });
  m_driver->settle();
}

void WindowDriver::accept(std::string_view name) {
  m_driver->gui([&] {
    Target t = target(m_handle, name, true);
    if (!t.control) return;
    Control* c = t.control;
    if (dynamic_cast<Entry*>(c)) {
      // The field's own completion with Enter, without the window's default button that a real
      // Enter key also presses.
      static_cast<Entry*>(c)->userAccept(Key::Enter);
    } else if (auto* tb = dynamic_cast<TextBox*>(c)) {
      tb->userAccept();
    } else if (auto* lc = dynamic_cast<ListChoice*>(c)) {
      lc->userAccept();
    } else {
      ADD_FAILURE() << name << " cannot be accepted";
    }
  });
  m_driver->settle();
}

void WindowDriver::choose(std::string_view name, std::string_view item) {
  m_driver->gui([&] {
    Target t = target(m_handle, name, true);
    if (!t.control) return;
    Control* c = t.control;
    std::string want(item);
    if (auto* lc = dynamic_cast<ListChoice*>(c)) {
      const auto& items = lc->items();
      for (size_t i = 0; i < items.size(); ++i) {
        if (plain(items[i]) == want || items[i] == want) {
          if (auto* cb = qobject_cast<QComboBox*>(c->view())) cb->setCurrentIndex(static_cast<int>(i));
          lc->userChoose(static_cast<int>(i + 1));
          return;
        }
      }
      ADD_FAILURE() << name << " has no entry \"" << want << "\"";
    } else if (auto* o = dynamic_cast<Option*>(c)) {
      for (int feq : o->radios()) {
        auto* r = static_cast<Radio*>(t.window->control(feq));
        if (plain(r->textProp()) == want || r->radioValue() == want) {
          if (!t.window->isShown(feq) || !t.window->isEnabled(feq)) {
            ADD_FAILURE() << "radio " << want << " is hidden or disabled";
            return;
          }
          if (auto* b = qobject_cast<QRadioButton*>(r->view()))
            b->click();
          else
            o->userChoose(feq);
          return;
        }
      }
      ADD_FAILURE() << name << " has no radio \"" << want << "\"";
    } else {
      ADD_FAILURE() << name << " offers no choice";
    }
  });
  m_driver->settle();
}

void WindowDriver::check(std::string_view name, bool on) {
  m_driver->gui([&] {
    Target t = target(m_handle, name, true);
    if (!t.control) return;
    auto* c = dynamic_cast<Check*>(t.control);
    if (!c) {
      ADD_FAILURE() << name << " is not a check box";
      return;
    }
    if (c->isChecked() == on) return;
    if (auto* b = qobject_cast<QCheckBox*>(c->view()))
      b->click();
    else
      c->userToggle(on);
  });
  m_driver->settle();
}

void WindowDriver::selectTab(std::string_view tab) {
  m_driver->gui([&] {
    Target t = target(m_handle, tab, true);
    if (!t.control) return;
    if (t.control->kind() != Kind::Tab) {
      ADD_FAILURE() << tab << " is not a tab";
      return;
    }
    auto* sheet = dynamic_cast<Sheet*>(t.window->control(t.control->parentFeq()));
    if (!sheet) return;
    if (sheet->isWizard()) {
      ADD_FAILURE() << "the tabs of a wizard cannot be chosen by the user";
      return;
    }
    std::vector<int> tabs = sheet->tabs();
    for (size_t i = 0; i < tabs.size(); ++i) {
      if (tabs[i] != t.control->feq()) continue;
      if (auto* tw = qobject_cast<QTabWidget*>(sheet->view()))
        tw->setCurrentIndex(static_cast<int>(i));
      else
        sheet->userSelectTab(tabs[i]);
    }
  });
  m_driver->settle();
}

void WindowDriver::key(std::string_view name, int keycode) {
  m_driver->gui([&] {
    Target t = target(m_handle, name, !name.empty());
    if (!t.window) return;
    QWidget* w = t.control && t.control->view() ? t.control->view() : t.window->clientView();
    if (QLineEdit* le = w ? w->findChild<QLineEdit*>() : nullptr; le && !qobject_cast<QLineEdit*>(w)) w = le;
    auto [k, mods] = detail::qtKeyOf(keycode);
    if (!k || !w) {
      ADD_FAILURE() << "key code " << keycode << " cannot be pressed";
      return;
    }
    QTest::keyClick(w, static_cast<Qt::Key>(k), mods);
  });
  m_driver->settle();
}

void WindowDriver::post(int event, std::string_view control) {
  m_driver->gui([&] {
    Target t = target(m_handle, control, false);
    if (!t.window) return;
    t.window->post(event, t.control ? t.control->feq() : 0);
  });
  m_driver->settle();
}

void WindowDriver::tick(int n) {
  for (int i = 0; i < n; ++i) {
    m_driver->gui([&] {
      if (Window* w = windowOf(m_handle)) w->post(EVENT::Timer);
    });
    m_driver->settle();
  }
}

void WindowDriver::close() {
  m_driver->gui([&] {
    if (Window* w = windowOf(m_handle); w && w->view()) w->view()->close();
  });
  m_driver->settle();
}

void WindowDriver::spin(std::string_view name, int steps) {
  m_driver->gui([&] {
    Target t = target(m_handle, name, true);
    if (!t.control) return;
    if (auto* s = qobject_cast<QAbstractSpinBox*>(t.control->view()))
      s->stepBy(steps);
    else if (auto* sp = dynamic_cast<Spin*>(t.control))
      sp->userStep(steps);
  });
  m_driver->settle();
}

bool WindowDriver::isOpen() const {
  bool open = false;
  m_driver->gui([&] { open = windowOf(m_handle) != nullptr; });
  return open;
}

std::string WindowDriver::title() const {
  std::string s;
  m_driver->gui([&] {
    if (Window* w = windowOf(m_handle)) s = w->title();
  });
  return s;
}

std::string WindowDriver::text(std::string_view name) const {
  std::string s;
  m_driver->gui([&] {
    Target t = target(m_handle, name, false);
    if (t.control) s = t.control->screenText();
  });
  return s;
}

bool WindowDriver::shown(std::string_view name) const {
  bool v = false;
  m_driver->gui([&] {
    Target t = target(m_handle, name, false);
    if (t.control) v = t.window->isShown(t.control->feq());
  });
  return v;
}

bool WindowDriver::enabled(std::string_view name) const {
  bool v = false;
  m_driver->gui([&] {
    Target t = target(m_handle, name, false);
    if (t.control) v = t.window->isEnabled(t.control->feq());
  });
  return v;
}

std::string WindowDriver::tip(std::string_view name) const { return prop(name, Prop::Tip); }

std::string WindowDriver::prop(std::string_view name, int p) const {
  std::string s;
  m_driver->gui([&] {
    Target t = target(m_handle, name, false);
    if (t.window) s = t.window->prop(t.control ? t.control->feq() : 0, p);
  });
  return s;
}

int WindowDriver::choice(std::string_view name) const {
  int v = 0;
  m_driver->gui([&] {
    Target t = target(m_handle, name, false);
    if (t.control) v = t.window->choice(t.control->feq());
  });
  return v;
}

int WindowDriver::focus() const {
  int v = 0;
  m_driver->gui([&] {
    if (Window* w = windowOf(m_handle)) v = w->focus();
  });
  return v;
}

std::vector<std::string> WindowDriver::tabs(std::string_view name) const {
  std::vector<std::string> out;
  m_driver->gui([&] {
    Target t = target(m_handle, name, false);
    auto* s = t.control ? dynamic_cast<Sheet*>(t.control) : nullptr;
    if (!s) return;
    for (int feq : s->tabs())
      if (!t.window->control(feq)->isHidden()) out.push_back(t.window->control(feq)->textProp());
  });
  return out;
}

void WindowDriver::with(const std::function<void(Window&)>& fn) const {
  m_driver->gui([&] {
    if (Window* w = windowOf(m_handle)) {
      detail::ThreadScope onThread(w->thread());  // sees the window's record buffers
      fn(*w);
    } else
      ADD_FAILURE() << "the window is not open";
  });
}

// ---- runScript ---------------------------------------------------------------------------------

void runScript(const std::function<void(Driver&)>& script, std::chrono::milliseconds timeout) {
  application();
  QEventLoop loop;
  std::atomic<bool> finished{false};
  std::thread t([&] {
    Driver d;
    try {
      script(d);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "the script threw: " << e.what();
    } catch (...) {
      ADD_FAILURE() << "the script threw";
    }
    finished = true;
    // Whatever the script left open is closed; nested loops unwind, then the outer one ends.
    QMetaObject::invokeMethod(
        qApp,
        [&loop] {
          closeAllWindows();
          loop.quit();
        },
        Qt::QueuedConnection);
  });
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
    ADD_FAILURE() << "the script ran longer than " << timeout.count() << " ms";
    closeAllWindows();
  });
  deadline.start(static_cast<int>(timeout.count()));
  while (!finished) loop.exec();
  deadline.stop();
  t.join();
  closeAllWindows();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace ov::ui::test
