#include "popmail/main_window.h"

#include "platform/rt/ini.h"
#include "platform/ui/event.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"

namespace ov::pop {

Main::Main(PopOptions options, std::string missing)
    : WindowManager("Main"), m_receiver(std::move(options)), m_missing(std::move(missing)) {}

ui::Level Main::Init() {
  ui::Window& w = window();
  w.setTitle("E-Mail (POP)");
  w.at(-1, -1, 220, 74).timer(20);
  int group = w.group("?Status", "Status").at(6, 4, 208, 44).feq();
  m_status = w.string("?StatusText", "Initializing...").at(14, 16, 192, 10).on(group).feq();
  m_progress = w.progress("?Progress").at(14, 30, 192, 10).on(group).feq();
  m_cancel = w.button("?Cancel", "Cancel").at(164, 54, 50, 14).feq();
  Open();
  m_receiver.UseThisThread = ui::THREAD();
  m_receiver.Init();
  m_receiver.onStatus = [this](const std::string& text) {
    m_statusText = text;
    m_statusChanged = true;
  };
  m_receiver.onProgress = [this](bool visible, long value) {
    window().setProp(m_progress, ui::Prop::RangeLow, int64_t{0});
    window().setProp(m_progress, ui::Prop::RangeHigh, int64_t{1000});
    window().setProp(m_progress, ui::Prop::Hide, int64_t{visible ? 0 : 1});
    window().setProp(m_progress, ui::Prop::Progress, static_cast<int64_t>(value));
  };
  m_receiver.onClose = [this] { window().post(ui::EVENT::CloseWindow); };
  return ui::Level::Benign;
}

ui::Level Main::Kill() {
  m_receiver.Kill();
  return WindowManager::Kill();
}

ui::Level Main::TakeEvent() {
  m_receiver.TakeEvent(ui::EVENT());  // the library's events for the connection
  return WindowManager::TakeEvent();
}

ui::Level Main::TakeWindowEvent() {
  switch (ui::EVENT()) {
    case ui::EVENT::OpenWindow:
      StartFetch();
      break;
    case ui::EVENT::Timer:
      showStatus();
      m_receiver.UpdateProgress();
      m_receiver.CheckTimeout();
      break;
    default:
      break;
  }
  return WindowManager::TakeWindowEvent();
}

ui::Level Main::TakeAccepted() {
  if (ui::FIELD() == m_cancel) {
    if (!m_receiver.finished() && !m_receiver.failed()) {
      m_cancelled = true;
      (void)rt::PUTINI("Pop", "Error", "Cancelled by the user before the fetch ended; Main", kPopLog);  // best effort
    }
    window().post(ui::EVENT::CloseWindow);
    return ui::Level::Notify;
  }
  return WindowManager::TakeAccepted();
}

void Main::showStatus() {
  if (!m_statusChanged) return;
  m_statusChanged = false;
  window().setProp(m_status, ui::Prop::Text, m_statusText);
}

void Main::StartFetch() {
  if (!m_missing.empty()) {
    // Without a server or a user there is nothing to fetch: say so, and end with a failure.
    (void)rt::PUTINI("Pop", "Error", "Missing option(s): " + m_missing + "; Main.StartFetch", kPopLog);  // best effort
    window().post(ui::EVENT::CloseWindow);
    return;
  }
  m_receiver.StartFetch();
  showStatus();
}

int Main::exitCode() const {
  if (!m_missing.empty()) return kExitNoOptions;
  if (m_receiver.failed()) return kExitFailed;
  if (m_cancelled || !m_receiver.finished()) return kExitCancelled;
  return kExitOk;
}

}  // namespace ov::pop
