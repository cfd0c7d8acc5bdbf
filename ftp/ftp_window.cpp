#include "ftp/ftp_window.h"

#include <cstdio>

#include "ftp/ftp_log.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/picture.h"
#include "platform/rt/secret_file.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"

namespace ov::ftp {
namespace {

constexpr int kTimerHundredths = 25;

}  // namespace

FtpOperationWindow::FtpOperationWindow(FtpCommand command, std::string programFolder)
    : WindowManager("FTPAction"),
      m_operation(std::move(command), std::move(programFolder), m_session,
                  [this] { window().post(ui::EVENT::CloseWindow); }) {}

ui::Level FtpOperationWindow::Init() {
  ui::Window& w = window();
  w.setTitle("FTP");
  w.at(-1, -1, 220, 82).timer(kTimerHundredths);
  m_group = w.group("?Status", "Status").at(6, 4, 208, 56).feq();
  m_status = w.string("?StatusText", "No operation in progress.").at(14, 16, 192, 10).on(m_group).feq();
  m_progress = w.progress("?Progress").at(14, 30, 192, 10).on(m_group).feq();
  m_bytes = w.string("?Bytes", "").at(14, 44, 80, 10).on(m_group).feq();
  m_rate = w.string("?Rate", "").at(100, 44, 50, 10).on(m_group).feq();
  m_percent = w.string("?Percent", "").at(156, 44, 50, 10).on(m_group).feq();
  m_cancel = w.button("?Cancel", "Cancel").at(164, 64, 50, 14).feq();
  Open();
  m_positions.Init("ovftp.INI");
  m_keeper.Init(*this, m_positions);
  m_thread = ui::THREAD();
  m_session.Init(*this, false);
  w.setTitle("FTP " + m_operation.command().host);
  return ui::Level::Benign;
}

ui::Level FtpOperationWindow::Kill() {
  m_session.Disconnect();
  m_session.Kill();
  return WindowManager::Kill();
}

ui::Level FtpOperationWindow::TakeEvent() {
  const int event = ui::EVENT();
  if (event == FtpEvent::NotifyMessage) {
    m_session.TakeNotify(ui::FIELD());
    return ui::Level::Notify;
  }
  if (event >= FtpEvent::Connected && event <= FtpEvent::Failed) {
    m_operation.Take(event);
    std::string caption = m_operation.groupCaption();
    if (!caption.empty()) window().setProp(m_group, ui::Prop::Text, caption);
    return ui::Level::Notify;
  }
  return WindowManager::TakeEvent();
}

ui::Level FtpOperationWindow::TakeWindowEvent() {
  switch (ui::EVENT()) {
    case ui::EVENT::OpenWindow:
      // Connecting waits on the server: it starts once the window is up.
      m_operation.Start();
      break;
    case ui::EVENT::Timer:
      if (m_session.CONNECTED && m_session.LOGGEDIN) showCounts();
      break;
    default:
      break;
  }
  return WindowManager::TakeWindowEvent();
}

ui::Level FtpOperationWindow::TakeAccepted() {
  if (ui::FIELD() == m_cancel) {
    if (ui::MESSAGE("Do you want to cancel this operation?", "Cancel", ui::Icon::Question, "&Yes|&No") == 1) {
      m_operation.Cancel();  // closes the window
    }
    return ui::Level::Notify;
  }
  return WindowManager::TakeAccepted();
}

void FtpOperationWindow::showCounts() {
  ui::Window& w = window();
  const int64_t copied = m_session.BYTESCOPIED;
  const int64_t size = m_session.BYTES;
  if (size > 0) {
    w.setProp(m_bytes, ui::Prop::Text, std::to_string(copied) + "/" + std::to_string(size));
    char percent[32];
    std::snprintf(percent, sizeof percent, "%.1f%%", double(copied) / double(size) * 100.0);
    w.setProp(m_percent, ui::Prop::Text, percent);
    int32_t now = rt::CLOCK();
    if (now < m_session.STARTTIME) m_session.STARTTIME -= 8640000;  // past midnight
    const int64_t elapsed = now - m_session.STARTTIME;
    char rate[32];
    if (elapsed > 0) std::snprintf(rate, sizeof rate, "%gk/s", double(copied / elapsed) / 10.0);
    else std::snprintf(rate, sizeof rate, "0k/s");  // no time has passed yet
    w.setProp(m_rate, ui::Prop::Text, rate);
  } else {
    w.setProp(m_bytes, ui::Prop::Text, std::to_string(copied) + "/???");
    w.setProp(m_percent, ui::Prop::Text, "???%");
    w.setProp(m_rate, ui::Prop::Text, "???k/s");
  }
}

void FtpOperationWindow::postEvent(int event) { ui::POST(event, 0, m_thread); }

void FtpOperationWindow::postNotify(int code) { ui::postFromWorker(FtpEvent::NotifyMessage, code, m_thread); }

void FtpOperationWindow::showStatus(const std::string& text) {
  if (m_status && window().prop(m_status, ui::Prop::Text) != text) window().setProp(m_status, ui::Prop::Text, text);
}

void FtpOperationWindow::showProgress(int64_t value, int64_t maximum) {
  if (!m_progress) return;
  // The bar counts in steps that fit its range however large the file.
  if (maximum != 0) {
    window().setProp(m_progress, ui::Prop::RangeLow, int64_t{0});
    window().setProp(m_progress, ui::Prop::RangeHigh, maximum > 0x7fffffff ? int64_t{0x7fffffff} : maximum);
  }
  window().setProp(m_progress, ui::Prop::Progress, value > 0x7fffffff ? int64_t{0x7fffffff} : value);
}

void FtpOperationWindow::runBlocking(const std::function<void()>& call) { ui::waitForWorker(call); }

void FtpOperationWindow::setBusy(bool busy) {
  m_busy += busy ? 1 : -1;
  ui::host().setBusy(busy);
}

int FtpProgram(const std::vector<std::string>& valuesIn, const std::string& programFolder) {
  // "/AUTO" and "PASSWORDFILE=" may stand anywhere; the other values keep their places.
  std::vector<std::string> values;
  bool quiet = false;
  std::string passwordFile;
  for (const std::string& v : valuesIn) {
    if (rt::UPPER(v) == "/AUTO")
      quiet = true;
    else if (rt::UPPER(v.substr(0, 13)) == "PASSWORDFILE=")
      passwordFile = v.substr(13);
    else
      values.push_back(v);
  }
  // Nobody answers a message box of a run that a task started.
  auto refuse = [&](const std::string& code, const std::string& text, const char* title) {
    if (quiet) {
      (void)rt::putIniValues("FTPStatus", {{"Time", rt::FORMAT(rt::TODAY(), "@d17") + " " + rt::FORMAT(rt::CLOCK(), "@t7")},
                                           {"Errorcode", code}, {"Errormessage", text}},
                             programFolder + "/" + kFtpLog);  // best effort: the exit code says it
    } else {
      ui::MESSAGE(text, title);
    }
    return -1;
  };
  std::string password;
  if (!passwordFile.empty()) {
    std::string error;
    if (!rt::takeSecretFile(passwordFile, password, &error)) return refuse("Password", "No password: " + error, "FTP");
  }
  FtpCommand command;
  if (!parseFtpCommand(values, overridesFile(programFolder), command)) return refuse("Syntax", kSyntax, "Syntax");
  if (!passwordFile.empty()) command.password = password;
  FtpOperationWindow window(std::move(command), programFolder);
  window.Run();
  return window.result();
}

}  // namespace ov::ftp
