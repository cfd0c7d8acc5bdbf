#include "platform/ui/window_manager.h"

#include <QEventLoop>

#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"

namespace ov::ui {

using detail::Context;
using detail::Runtime;

WindowManager::WindowManager(std::string procedureName) : m_procedure(std::move(procedureName)) {
  m_id = Runtime::get().registerManager(this);
}

WindowManager::~WindowManager() {
  if (m_window.isOpen()) m_window.destroy();
  Runtime::get().unregisterManager(m_id);
}

void WindowManager::AddItem(WindowComponent& component) { m_components.push_back(&component); }

void WindowManager::AddHistoryField(int feq, std::function<void()> restore) {
  m_history.emplace_back(feq, std::move(restore));
}

void WindowManager::endAccept() {
  m_done = true;
  if (m_loop) static_cast<QEventLoop*>(m_loop)->quit();
  // The frame's loop returns only once the called windows whose loops run above it (a list's
  // graph window, say) have returned: they are closed now, not left holding the program open.
  if (m_window.isOpen() && m_window.windowKind() == WindowKind::Frame) Runtime::get().frameEnding(m_window.thread());
  // A started procedure ends (Kill, then the thread is freed) once no handler of it runs any more.
  if (m_started) Runtime::get().scheduleReap();
}

int WindowManager::Run() {
  Runtime& r = Runtime::get();
  int thread = THREAD();
  r.pushContext(Context{thread, this});
  detail::ThreadSlot& s = r.slot(thread);
  Level rv = Level::Fatal;
  if (detail::ManagerState* st = r.state(m_id)) {
    ++st->busy;
    st->initializing = true;
    ++s.initializing;
  }
  try {
    rv = Init();
  } catch (...) {
    rv = Level::Fatal;
  }
  if (detail::ManagerState* st = r.state(m_id)) {
    --st->busy;
    st->initializing = false;
    --s.initializing;
  }
  if (rv == Level::Benign && !m_done) Ask();
  if (detail::ManagerState* st = r.state(m_id)) ++st->busy;
  Kill();
  if (detail::ManagerState* st = r.state(m_id)) --st->busy;
  r.popContext();
  r.schedule();
  return Response;
}

int WindowManager::Run(int /*number*/, int /*request*/) {
  // A list's window manager overrides this to call its form or picker by number.
  return RequestCancelled;
}

void WindowManager::Ask() {
  if (m_started) {
    if (!m_window.isOpen()) endAccept();
    return;  // the application's event loop drives a started window
  }
  if (!m_window.isOpen() || m_done) return;
  QEventLoop loop;
  m_loop = &loop;
  m_inLoop = true;
  {
    ModalScope modal(m_window.thread());
    Runtime::get().schedule();
    while (!m_done) loop.exec();
  }
  m_inLoop = false;
  m_loop = nullptr;
}

Level WindowManager::Init() {
  Open();
  return Level::Benign;
}

Level WindowManager::Kill() {
  if (Dead) return Level::Notify;
  Dead = true;
  if (m_updateFile && m_watching) m_updateFile->Watch(false);
  m_watching = false;
  for (WindowComponent* c : m_components) c->Kill();
  if (m_window.isOpen()) m_window.destroy();
  return Level::Benign;
}

void WindowManager::Open() {
  if (m_window.isOpen()) return;
  m_window.open(this, THREAD());
  Opened = true;
  if (m_updateFile && Request == ChangeRecord) {
    m_updateFile->Watch(true);
    m_watching = true;
  }
  SetAlerts();
}

void WindowManager::PrimeFields() {}

void WindowManager::PrimeUpdate() { Update(); }

void WindowManager::Reset(bool force) {
  for (WindowComponent* c : m_components) c->Reset(force);
  if (m_window.isOpen()) m_window.display();
}

void WindowManager::RestoreField(int feq) {
  for (auto& [f, restore] : m_history) {
    if (f == feq) {
      restore();
      m_window.display(feq);
      return;
    }
  }
}

void WindowManager::SetAlerts() {
  if (HistoryKey) m_window.alert(HistoryKey);
  for (WindowComponent* c : m_components) c->SetAlerts();
}

void WindowManager::SetResponse(int response) {
  Response = response;
  m_window.post(EVENT::CloseWindow);
}

bool WindowManager::acceptAll() {
  m_acceptAll = true;
  m_acceptAllStopped = false;
  bool ok = true;
  Runtime& r = Runtime::get();
  for (int feq : m_window.fields()) {
    Control* c = m_window.control(feq);
    if (!c || !c->takesInput() || c->isReadOnly() || !m_window.isShown(feq) || !m_window.isEnabled(feq))
      continue;
    if (!c->update()) {
      host().beep(0);
      m_window.select(feq);
      ok = false;
      break;
    }
    if (c->isRequired()) {
      const Binding& b = c->binding();
      bool empty = b.isBound() ? (b.isNumeric() ? b.number() == 0 : b.text().empty())
                               : rt::clipView(c->screenText()).empty();
      if (empty) {
        host().beep(0);
        m_window.select(feq);
        ok = false;
        break;
      }
    }
    r.pushContext(Context{m_window.thread(), this, EVENT::Accepted, feq, 0});
    try {
      TakeEvent();
    } catch (...) {
    }
    r.popContext();
    if (m_acceptAllStopped || m_done) {
      ok = false;
      break;
    }
  }
  m_acceptAll = false;
  return ok;
}

Level WindowManager::TakeAccepted() {
  int feq = ACCEPTED();
  if (!feq) return Level::Benign;
  if (feq == OkControl) {
    if (Request != DeleteRecord && Request != ViewRecord) {
      Update();
      if (!acceptAll()) return Level::Notify;
    }
    m_window.post(EVENT::Completed);
    return Level::Notify;
  }
  if (feq == CancelControl) {
    if (Request == InsertRecord && m_updateFile) m_updateFile->CancelAutoInc();
    SetResponse(RequestCancelled);
    return Level::Notify;
  }
  return Level::Benign;
}

Level WindowManager::TakeCompleted() {
  if (m_updateFile) {
    rt::Err err = rt::Err::None;
    switch (Request) {
      case InsertRecord: err = m_updateFile->Insert(); break;
      case ChangeRecord: err = m_updateFile->Change(); break;
      case DeleteRecord: err = m_updateFile->Delete(); break;
      default: break;
    }
    if (err != rt::Err::None) return Level::Notify;  // the file reported it; the form stays open
  }
  SetResponse(RequestCompleted);
  return Level::Benign;
}

Level WindowManager::TakeCloseEvent() {
  if (Response == 0) {
    if (Request == InsertRecord && m_updateFile) m_updateFile->CancelAutoInc();
    Response = RequestCancelled;
  }
  return Level::Benign;
}

Level WindowManager::TakeEvent() {
  for (WindowComponent* c : m_components) {
    Level rv = c->TakeEvent();
    if (rv != Level::Benign) return rv;
  }
  int event = EVENT();
  if (event == EVENT::AlertKey && HistoryKey && KEYCODE() == HistoryKey) {
    RestoreField(FIELD() ? FIELD() : FOCUS());
    return Level::Notify;
  }
  if (event == EVENT::Completed) return TakeCompleted();
  Level rv = Level::Benign;
  if (FIELD()) {
    switch (event) {
      case EVENT::Accepted: rv = TakeAccepted(); break;
      case EVENT::Rejected: rv = TakeRejected(); break;
      case EVENT::Selected: rv = TakeSelected(); break;
      case EVENT::NewSelection: rv = TakeNewSelection(); break;
      default: break;
    }
    if (rv == Level::Benign) rv = TakeFieldEvent();
  } else {
    rv = TakeWindowEvent();
  }
  return rv;
}

Level WindowManager::TakeFieldEvent() { return Level::Benign; }
Level WindowManager::TakeNewSelection() { return Level::Benign; }
Level WindowManager::TakeSelected() { return Level::Benign; }

Level WindowManager::TakeRejected() {
  host().beep(0);
  m_window.select(FIELD());
  return Level::Benign;
}

Level WindowManager::TakeWindowEvent() {
  switch (EVENT()) {
    case EVENT::OpenWindow: {
      Reset(true);
      int first = FirstField;
      if (!first) {
        for (int feq : m_window.fields()) {
          Control* c = m_window.control(feq);
          if (c->takesInput() && m_window.isShown(feq) && m_window.isEnabled(feq)) {
            first = feq;
            break;
          }
        }
      }
      if (first) m_window.select(first);
      return Level::Benign;
    }
    case EVENT::CloseWindow:
    case EVENT::CloseDown: return TakeCloseEvent();
    default: return Level::Benign;
  }
}

void WindowManager::Update() {
  if (m_window.isOpen()) m_window.update();
  for (WindowComponent* c : m_components) c->Update();
}

}  // namespace ov::ui
