#include "platform/ui/runtime.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QWidget>

#include <cassert>
#include <cstdio>
#include <exception>
#include <map>
#include <thread>

#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/detail/view_util.h"

namespace ov::ui {
namespace detail {

namespace {
// One entry per SendMessage in progress: set when the message reached the layer's own procedure.
std::vector<bool> g_reachedRoot;

void reportException(const char* where) {
  try {
    throw;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ov_ui: exception in %s: %s\n", where, e.what());
  } catch (...) {
    std::fprintf(stderr, "ov_ui: unknown exception in %s\n", where);
  }
}
}  // namespace

Runtime& Runtime::get() {
  static Runtime* r = [] {
    auto* rt = new Runtime;
    rt->m_slots[kFrameThread].used = true;
    return rt;
  }();
  return *r;
}

ThreadSlot& Runtime::slot(int thread) {
  assert(thread >= 1 && thread <= kMaxThreads);
  return m_slots[thread];
}

int Runtime::currentThread() const { return m_contexts.empty() ? kFrameThread : m_contexts.back().thread; }

uint64_t Runtime::registerManager(WindowManager* m) {
  uint64_t id = m_nextManager++;
  m_managers[id] = ManagerState{m, 0, false};
  return id;
}

void Runtime::unregisterManager(uint64_t id) { m_managers.erase(id); }

WindowManager* Runtime::manager(uint64_t id) const {
  auto it = m_managers.find(id);
  return it == m_managers.end() ? nullptr : it->second.manager;
}

ManagerState* Runtime::state(uint64_t id) {
  auto it = m_managers.find(id);
  return it == m_managers.end() ? nullptr : &it->second;
}

Handle Runtime::newHandle(Window* w, int feq) {
  Handle h = m_nextHandle;
  m_nextHandle += 4;
  m_handles[h] = {w, feq};
  return h;
}

void Runtime::releaseHandle(Handle h) { m_handles.erase(h); }

bool Runtime::resolveHandle(Handle h, Window*& w, int& feq) const {
  auto it = m_handles.find(h);
  if (it == m_handles.end()) return false;
  w = it->second.first;
  feq = it->second.second;
  return true;
}

ProcNumber Runtime::registerProc(WindowProcFn fn) {
  ProcNumber p = m_nextProc++;
  m_procs[p] = std::move(fn);
  return p;
}

void Runtime::unregisterProc(ProcNumber p) { m_procs.erase(p); }

ProcNumber Runtime::procNumber(WindowProcPtr fn) {
  auto it = m_procPtrs.find(fn);
  if (it != m_procPtrs.end()) return it->second;
  ProcNumber p = registerProc(fn);
  m_procPtrs[fn] = p;
  return p;
}

const WindowProcFn* Runtime::proc(ProcNumber p) const {
  auto it = m_procs.find(p);
  return it == m_procs.end() ? nullptr : &it->second;
}

void Runtime::post(Posted p, int thread) {
  if (thread < 1 || thread > kMaxThreads || !slot(thread).used) return;
  slot(thread).queue.push_back(p);
  schedule();
}

void Runtime::postFromWorker(int event, int control, int thread) {
  {
    std::lock_guard<std::mutex> lock(m_workerMutex);
    m_workerPosts.emplace_back(event, control, thread);
  }
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(
        app,
        [this] {
          std::vector<std::tuple<int, int, int>> posts;
          {
            std::lock_guard<std::mutex> lock(m_workerMutex);
            posts.swap(m_workerPosts);
          }
          for (auto& [e, c, t] : posts) POST(e, c, t);
        },
        Qt::QueuedConnection);
  }
}

void Runtime::schedule() {
  if (m_scheduled) return;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  m_scheduled = true;
  QMetaObject::invokeMethod(app, [this] { dispatch(); }, Qt::QueuedConnection);
}

void Runtime::dispatch() {
  m_scheduled = false;
  // Deliver what can be delivered now; a long run yields to Qt so painting and input go on.
  for (int n = 0; n < 200; ++n) {
    if (!deliverOne()) return;
  }
  schedule();
}

Window* Runtime::resolve(const Posted& p, int thread, bool& drop) {
  ThreadSlot& s = slot(thread);
  drop = false;
  if (p.kind == TargetKind::Manager) {
    ManagerState* st = state(p.manager);
    if (!st || st->manager->isDone()) {
      drop = true;
      return nullptr;
    }
    Window& w = st->manager->window();
    if (w.isOpen()) return &w;
    if (!st->initializing) drop = true;  // it never opened: nobody will take the event
    return nullptr;
  }
  if (s.stack.empty()) {
    if (!s.initPending && s.initializing == 0) drop = true;  // nobody is opening a window there
    return nullptr;
  }
  return p.kind == TargetKind::Innermost ? s.stack.back() : s.stack.front();
}

bool Runtime::deliverOne() {
  for (int t = 1; t <= kMaxThreads; ++t) {
    ThreadSlot& s = m_slots[t];
    for (auto it = s.queue.begin(); it != s.queue.end();) {
      bool drop = false;
      Window* w = resolve(*it, t, drop);
      if (drop) {
        it = s.queue.erase(it);
        continue;
      }
      if (!w || s.stack.empty() || w != s.stack.back()) {
        ++it;  // waits: not open yet, or a called window of the thread lies above it
        continue;
      }
      WindowManager* m = w->manager();
      uint64_t id = WindowAccess::id(*m);
      ManagerState* st = state(id);
      if (!st || st->busy > 0) {
        ++it;  // one event at a time per window
        continue;
      }
      Posted p = *it;
      s.queue.erase(it);
      if (p.keycode) s.lastKeycode = p.keycode;
      pushContext(Context{t, m, p.event, p.control, p.keycode ? p.keycode : s.lastKeycode});
      ++st->busy;
      Level rv = Level::Benign;
      try {
        rv = m->TakeEvent();
      } catch (...) {
        reportException("an event handler");
      }
      st = state(id);
      if (st) --st->busy;
      if (!st) {
        popContext();
        return true;
      }
      bool closing = p.event == EVENT::CloseWindow || p.event == EVENT::CloseDown;
      if (!m->isDone() && (rv == Level::Fatal || (closing && (rv != Level::Notify || m_forcing))))
        WindowAccess::endAccept(*m);
      // The window shows its variables from its own thread's buffers.
      if (!m->isDone() && w->isOpen()) WindowAccess::autoDisplay(*w);
      popContext();
      if (m->isDone() && m->isStarted() && st->busy == 0) finishStarted(t);
      return true;
    }
  }
  return false;
}

bool Runtime::hasPendingWork() {
  for (int t = 1; t <= kMaxThreads; ++t) {
    ThreadSlot& s = m_slots[t];
    if (s.initPending && s.started) return true;
    for (const Posted& p : s.queue) {
      bool drop = false;
      Window* w = resolve(p, t, drop);
      if (drop) return true;  // the next pass drops it
      if (!w || s.stack.empty() || w != s.stack.back()) continue;
      ManagerState* st = state(WindowAccess::id(*w->manager()));
      if (st && st->busy == 0) return true;
    }
  }
  return false;
}

void Runtime::startPending(int thread) {
  ThreadSlot& s = slot(thread);
  if (!s.used || !s.started || !s.initPending) return;
  s.initPending = false;
  WindowManager& m = *s.started;
  uint64_t id = WindowAccess::id(m);
  ManagerState* st = state(id);
  pushContext(Context{thread, &m});
  ++st->busy;
  st->initializing = true;
  ++s.initializing;
  Level rv = Level::Fatal;
  try {
    rv = m.Init();
    st = state(id);
    st->initializing = false;
    --s.initializing;
    if (rv == Level::Benign && !m.isDone()) m.Ask();
  } catch (...) {
    reportException("a window set-up");
  }
  st = state(id);
  if (st->initializing) --s.initializing;
  st->initializing = false;
  --st->busy;
  popContext();
  if (rv != Level::Benign && !m.isDone()) WindowAccess::endAccept(m);
  if (m.isDone()) finishStarted(thread);
  schedule();
}

void Runtime::finishStarted(int thread) {
  ThreadSlot& s = slot(thread);
  if (!s.started) return;
  WindowManager& m = *s.started;
  uint64_t id = WindowAccess::id(m);
  ManagerState* st = state(id);
  if (!st || st->busy > 0) return;
  pushContext(Context{thread, &m});
  ++st->busy;
  try {
    m.Kill();
  } catch (...) {
    reportException("a window's Kill");
  }
  --st->busy;
  popContext();
  std::unique_ptr<WindowManager> gone = std::move(s.started);
  gone.reset();
  s.initPending = false;
  if (s.stack.empty()) {
    s.used = false;
    rt::endThread(thread);
    s.queue.clear();
    s.modal = 0;
    s.lastKeycode = 0;
    s.lastKeychar = 0;
  }
}

void Runtime::reap() {
  for (int t = 2; t <= kMaxThreads; ++t) {
    ThreadSlot& s = m_slots[t];
    if (s.started && s.started->isDone() && !s.initPending) finishStarted(t);
  }
}

void Runtime::scheduleReap() {
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, [this] { reap(); }, Qt::QueuedConnection);
}

void Runtime::windowOpened(Window& w) { slot(w.thread()).stack.push_back(&w); }

void Runtime::windowClosed(Window& w) {
  ThreadSlot& s = slot(w.thread());
  for (auto it = s.stack.begin(); it != s.stack.end(); ++it) {
    if (*it == &w) {
      s.stack.erase(it);
      break;
    }
  }
  if (w.windowKind() == WindowKind::Frame) {
    // The application frame ends the program: every other thread is told to close down.
    m_frameEnding = false;
    for (int t = 1; t <= kMaxThreads; ++t)
      if (t != w.thread() && !m_slots[t].stack.empty())
        post(Posted{EVENT::CloseDown, 0, 0, TargetKind::Innermost, 0}, t);
  } else if (m_frameEnding && !s.stack.empty() && s.stack.back()->windowKind() != WindowKind::Frame) {
    // While the frame ends, the window below the one that closed is next.
    post(Posted{EVENT::CloseDown, 0, 0, TargetKind::Innermost, 0}, w.thread());
  }
  schedule();
}

void Runtime::frameEnding(int frameThread) {
  m_frameEnding = true;
  for (int t = 1; t <= kMaxThreads; ++t)
    if (t != frameThread && !m_slots[t].stack.empty())
      post(Posted{EVENT::CloseDown, 0, 0, TargetKind::Innermost, 0}, t);
  schedule();
}

void Runtime::closeAll() {
  m_forcing = true;
  auto openCount = [this] {
    size_t n = 0;
    for (int t = 1; t <= kMaxThreads; ++t) n += m_slots[t].stack.size() + (m_slots[t].started ? 1 : 0);
    return n;
  };
  for (int round = 0; round < 1000; ++round) {
    size_t before = openCount();
    if (before == 0) break;
    for (int t = 1; t <= kMaxThreads; ++t) {
      ThreadSlot& s = m_slots[t];
      WindowManager* m = s.stack.empty() ? s.started.get() : s.stack.back()->manager();
      if (!m) continue;
      if (!m->isDone()) WindowAccess::endAccept(*m);
      if (m->isStarted()) finishStarted(t);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // A called window whose loop has ended closes once the code below it on the stack returns.
    if (openCount() == before) break;
  }
  m_forcing = false;
}

uint64_t WindowAccess::id(const WindowManager& m) { return m.m_id; }

ThreadScope::ThreadScope(int thread) {
  Runtime& r = Runtime::get();
  int t = thread >= 1 && thread <= kMaxThreads ? thread : kFrameThread;
  r.pushContext(Context{t, nullptr, 0, 0, r.slot(t).lastKeycode});
}

ThreadScope::~ThreadScope() { Runtime::get().popContext(); }

}  // namespace detail

using detail::Posted;
using detail::Runtime;
using detail::TargetKind;

// ---- window procedures -------------------------------------------------------------------------

ProcNumber registerWindowProc(WindowProcFn fn) { return Runtime::get().registerProc(std::move(fn)); }
void unregisterWindowProc(ProcNumber proc) { Runtime::get().unregisterProc(proc); }
ProcNumber windowProcNumber(WindowProcPtr fn) { return Runtime::get().procNumber(fn); }

LRESULT CallWindowProc(ProcNumber proc, Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
  const WindowProcFn* fn = Runtime::get().proc(proc);
  if (!fn) return 0;
  WindowProcFn copy = *fn;  // the procedure may unregister itself while it runs
  return copy(hwnd, msg, wParam, lParam);
}

namespace detail {
// Marks that the message in progress reached the layer's own procedure.
void markRootReached() {
  if (!g_reachedRoot.empty()) g_reachedRoot.back() = true;
}

LRESULT sendMessage(Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam, bool* reachedRoot) {
  Runtime& r = Runtime::get();
  Window* w = nullptr;
  int feq = 0;
  if (!r.resolveHandle(hwnd, w, feq)) {
    if (reachedRoot) *reachedRoot = true;
    return 0;
  }
  ProcNumber proc = feq ? w->control(feq)->wndProc() : w->wndProc();
  WindowManager* m = w->manager();
  uint64_t id = WindowAccess::id(*m);
  r.pushContext(Context{w->thread(), m, 0, 0, r.slot(w->thread()).lastKeycode});
  if (ManagerState* st = r.state(id)) ++st->busy;
  g_reachedRoot.push_back(false);
  LRESULT result = 0;
  try {
    result = CallWindowProc(proc, hwnd, msg, wParam, lParam);
  } catch (...) {
    reportException("a window procedure");
  }
  bool reached = g_reachedRoot.back();
  g_reachedRoot.pop_back();
  if (ManagerState* st = r.state(id)) --st->busy;
  r.popContext();
  if (reachedRoot) *reachedRoot = reached;
  r.scheduleReap();
  r.schedule();
  return result;
}
}  // namespace detail

LRESULT SendMessage(Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
  return detail::sendMessage(hwnd, msg, wParam, lParam, nullptr);
}

void PostMessage(Handle hwnd, uint32_t msg, WPARAM wParam, LPARAM lParam) {
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, [=] { SendMessage(hwnd, msg, wParam, lParam); }, Qt::QueuedConnection);
}

// ---- threads and events ------------------------------------------------------------------------

int START(ProcFactory factory, int /*stack*/) {
  Runtime& r = Runtime::get();
  int thread = 0;
  for (int t = 2; t <= kMaxThreads; ++t) {
    if (!r.slot(t).used) {
      thread = t;
      break;
    }
  }
  if (!thread) return 0;
  std::unique_ptr<WindowManager> proc;
  try {
    proc = factory();
  } catch (...) {
    detail::reportException("START");
  }
  if (!proc) return 0;
  detail::ThreadSlot& s = r.slot(thread);
  s.used = true;
  // The new thread's record buffers start as a copy of the starter's.
  rt::beginThread(thread, r.currentThread());
  s.initPending = true;
  s.started = std::move(proc);
  detail::WindowAccess::setStarted(*s.started);
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, [thread] { Runtime::get().startPending(thread); }, Qt::QueuedConnection);
  return thread;
}

int THREAD() { return Runtime::get().currentThread(); }

void POST(int event, int control, int thread) {
  Runtime& r = Runtime::get();
  int current = r.currentThread();
  Posted p{event, control, 0, TargetKind::Innermost, 0};
  if (thread == 0 || thread == current) {
    thread = current;
    const detail::Context* c = r.context();
    if (c && c->manager) {
      p.kind = TargetKind::Manager;
      p.manager = detail::WindowAccess::id(*c->manager);
    }
  } else if (event != EVENT::CloseWindow && event != EVENT::CloseDown) {
    p.kind = TargetKind::Base;
  }
  r.post(p, thread);
}

void postFromWorker(int event, int control, int thread) { Runtime::get().postFromWorker(event, control, thread); }

bool isThreadRunning(int thread) {
  return thread >= 1 && thread <= kMaxThreads && Runtime::get().slot(thread).used;
}

int modalDepth(int thread) {
  if (thread < 1 || thread > kMaxThreads) return 0;
  return Runtime::get().slot(thread).modal;
}

std::vector<Window*> threadWindows(int thread) {
  if (thread < 1 || thread > kMaxThreads) return {};
  return Runtime::get().slot(thread).stack;
}

std::vector<Window*> openWindows() {
  std::vector<Window*> all;
  for (int t = 1; t <= kMaxThreads; ++t)
    for (Window* w : Runtime::get().slot(t).stack) all.push_back(w);
  return all;
}

Window* currentWindow() {
  Runtime& r = Runtime::get();
  const detail::Context* c = r.context();
  if (c && c->manager && c->manager->window().isOpen()) return &c->manager->window();
  auto& stack = r.slot(r.currentThread()).stack;
  return stack.empty() ? nullptr : stack.back();
}

EVENT::operator int() const {
  const detail::Context* c = Runtime::get().context();
  return c ? c->event : 0;
}

int FIELD() {
  const detail::Context* c = Runtime::get().context();
  return c ? c->field : 0;
}

int KEYCODE() {
  Runtime& r = Runtime::get();
  const detail::Context* c = r.context();
  if (c && c->keycode) return c->keycode;
  return r.slot(r.currentThread()).lastKeycode;
}

void SETKEYCODE(int code) {
  Runtime& r = Runtime::get();
  if (detail::Context* c = r.context()) c->keycode = code;
  r.slot(r.currentThread()).lastKeycode = code;
}

int KEYCHAR() {
  Runtime& r = Runtime::get();
  return r.slot(r.currentThread()).lastKeychar;
}

int KEYSTATE() { return KEYCODE() & Key::ModifierMask; }

namespace {
int mouseCoordinate(bool horizontal) {
  Window* w = currentWindow();
  if (!w) return 0;
  auto [x, y] = detail::WindowAccess::mouse(*w);
  int px = horizontal ? x : y;
  if (w->propInt(0, Prop::Pixels)) return px;
  return horizontal ? w->pxToDluX(px) : w->pxToDluY(px);
}
std::map<int, std::string>& systemProps() {
  static std::map<int, std::string> props;
  return props;
}
}  // namespace

int MOUSEX() { return mouseCoordinate(true); }
int MOUSEY() { return mouseCoordinate(false); }

std::string systemProp(int p) {
  auto it = systemProps().find(p);
  return it == systemProps().end() ? std::string() : it->second;
}

void setSystemProp(int p, std::string_view value) {
  systemProps()[p] = std::string(value);
  // Properties that change how windows draw take effect on the open ones.
  for (Window* w : openWindows())
    for (int feq : w->allControls())
      if (Control* c = w->control(feq); c && c->kind() == Kind::Sheet) w->controlChanged(*c);
}

int ACCEPTED() { return EVENT() == EVENT::Accepted ? FIELD() : 0; }
int SELECTED() { return EVENT() == EVENT::Selected ? FIELD() : 0; }

int FOCUS() {
  Window* w = currentWindow();
  return w ? w->focus() : 0;
}

int CHOICE(int feq) {
  Window* w = currentWindow();
  return w ? w->choice(feq) : 0;
}

void SELECT(int feq) {
  if (Window* w = currentWindow()) w->select(feq);
}

void DISPLAY(int feq) {
  if (Window* w = currentWindow()) w->display(feq);
}

bool UPDATE(int feq) {
  Window* w = currentWindow();
  return w ? w->update(feq) : true;
}

void PRESSKEY(int keycode) {
  Window* w = currentWindow();
  if (!w || !w->isOpen()) return;
  auto [key, mods] = detail::qtKeyOf(keycode);
  if (!key) return;
  Control* c = w->control(w->focus());
  QWidget* target = c && c->view() ? c->view() : w->clientView();
  if (!target) return;
  if (QWidget* proxy = target->focusProxy()) target = proxy;
  if (!qobject_cast<QLineEdit*>(target))
    if (QLineEdit* inner = target->findChild<QLineEdit*>()) target = inner;
  // Queued like typed keys: the key arrives once the running handler has returned.
  QString text;
  if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
    QChar ch(key);
    text = (mods & Qt::ShiftModifier) ? QString(ch) : QString(ch).toLower();
  }
  if (key == Qt::Key_Return) text = "\r";
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, mods, text));
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, mods, text));
}

ModalScope::ModalScope(int thread) : m_thread(thread ? thread : THREAD()) {
  Runtime& r = Runtime::get();
  ++r.slot(m_thread).modal;
  // Whatever the nested loop runs (other threads' events, timers, queued calls) does not run on
  // behalf of the handler that waits below it.
  r.pushContext(detail::Context{kFrameThread, nullptr});
}

ModalScope::~ModalScope() {
  Runtime& r = Runtime::get();
  r.popContext();
  auto& s = r.slot(m_thread);
  if (s.modal > 0) --s.modal;
}

void waitForWorker(std::function<void()> work) {
  ModalScope modal(THREAD());
  QEventLoop loop;
  bool done = false;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      detail::reportException("a worker");
    }
    QMetaObject::invokeMethod(
        &loop,
        [&] {
          done = true;
          loop.quit();
        },
        Qt::QueuedConnection);
  });
  while (!done) loop.exec();
  worker.join();
}

void processEvents() {
  Runtime& r = Runtime::get();
  for (int t = 2; t <= kMaxThreads; ++t)
    if (r.slot(t).initPending) r.startPending(t);
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  r.dispatch();
}

void closeAllWindows() { Runtime::get().closeAll(); }

}  // namespace ov::ui
