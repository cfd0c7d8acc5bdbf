#include "platform/os/session_watch.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace ov::os {
namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginManager = "org.freedesktop.login1.Manager";
constexpr const char* kUPower = "org.freedesktop.UPower";
constexpr const char* kUPowerPath = "/org/freedesktop/UPower";
constexpr const char* kDisplayDevice = "/org/freedesktop/UPower/devices/DisplayDevice";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr unsigned kWarningLow = 3;  // UPower's levels: 1 none, 2 discharging, 3 low, 4 critical, 5 action

int g_signalPipe[2] = {-1, -1};
struct sigaction g_previousTerm;
struct sigaction g_previousAlarm;
volatile sig_atomic_t g_terms = 0;
unsigned g_termDeadline = 8;  // the end-of-session handling takes 5 seconds

// Ends the process as SIGTERM does by default. Only async-signal-safe calls.
void endAsTerminated() {
  signal(SIGTERM, SIG_DFL);
  raise(SIGTERM);
  _exit(128 + SIGTERM);  // should SIGTERM be blocked here
}

void onAlarm(int) { endAsTerminated(); }

void onTerm(int) {
  if (g_terms++ > 0) endAsTerminated();  // asked twice: no more waiting
  // The deadline runs from the signal itself, whatever the event loop is doing.
  alarm(g_termDeadline);
  char c = 1;
  ssize_t n = write(g_signalPipe[1], &c, 1);  // async-signal-safe; a full pipe already says it
  (void)n;
}

// Closes the message boxes and file dialogs that hold the program in their own loops.
void closeModalDialogs() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->isModal()) d->done(QDialog::Rejected);
}

}  // namespace

SessionWatch::SessionWatch(MessageSink sink, QObject* parent)
    : SessionWatch(std::move(sink), QDBusConnection::systemBus(), parent) {}

SessionWatch::SessionWatch(MessageSink sink, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_sink(std::move(sink)), m_bus(bus) {
  if (g_signalPipe[0] < 0 && pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    struct sigaction sa{};
    sa.sa_handler = onTerm;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, &g_previousTerm);
    sa.sa_handler = onAlarm;
    sigaction(SIGALRM, &sa, &g_previousAlarm);
    g_terms = 0;
  }
  if (g_signalPipe[0] >= 0) {
    m_signals = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_signals, &QSocketNotifier::activated, this, &SessionWatch::onSignal);
  }
  if (!m_bus.isConnected()) return;
  m_bus.connect(kLogin, kLoginPath, kLoginManager, "PrepareForShutdown", this, SLOT(onPrepareForShutdown(bool)));
  m_bus.connect(kLogin, kLoginPath, kLoginManager, "PrepareForSleep", this, SLOT(onPrepareForSleep(bool)));
  m_bus.connect(kUPower, kUPowerPath, kProperties, "PropertiesChanged", this,
                SLOT(onManagerProperties(QString, QVariantMap, QStringList)));
  m_bus.connect(kUPower, kDisplayDevice, kProperties, "PropertiesChanged", this,
                SLOT(onDeviceProperties(QString, QVariantMap, QStringList)));
  QDBusMessage get = QDBusMessage::createMethodCall(kUPower, kDisplayDevice, kProperties, "Get");
  get << QString("org.freedesktop.UPower.Device") << QString("WarningLevel");
  QDBusReply<QDBusVariant> level = m_bus.call(get, QDBus::Block, 2000);
  if (level.isValid()) m_warningLevel = level.value().variant().toUInt();
  takeDelayLock();
}

SessionWatch::~SessionWatch() {
  if (m_inhibitor >= 0) close(m_inhibitor);
  if (g_signalPipe[0] >= 0) {
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    alarm(0);  // the program has come to its end by itself
    sigaction(SIGALRM, &g_previousAlarm, nullptr);
    close(g_signalPipe[0]);
    close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
  }
}

std::intptr_t SessionWatch::send(unsigned msg, std::uintptr_t wParam) {
  return m_sink ? m_sink(WinMessage{msg, wParam, 0}) : 0;
}

void SessionWatch::takeDelayLock() {
  if (m_inhibitor >= 0 || !m_bus.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kLogin, kLoginPath, kLoginManager, "Inhibit");
  call << QString("shutdown:sleep") << QString("Orvane") << QString("Running the end-of-session tasks")
       << QString("delay");
  QDBusReply<QDBusUnixFileDescriptor> reply = m_bus.call(call, QDBus::Block, 2000);
  // The reply's descriptor closes with it: keep a copy of our own.
  if (reply.isValid() && reply.value().isValid()) m_inhibitor = fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
}

void SessionWatch::releaseDelayLockLater() {
  // Queued behind what the sink has posted, so the system waits until that has run.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (m_inhibitor >= 0) close(m_inhibitor);
        m_inhibitor = -1;
      },
      Qt::QueuedConnection);
}

void SessionWatch::endSession() {
  std::intptr_t answer = send(wm::kQueryEndSession, 0);
  send(wm::kEndSession, answer != 0 ? 1 : 0);
}

void SessionWatch::onPrepareForShutdown(bool start) {
  if (!start) {  // the shutdown was called off
    takeDelayLock();
    return;
  }
  endSession();
  releaseDelayLockLater();
}

void SessionWatch::onPrepareForSleep(bool start) {
  if (start) {
    send(wm::kPowerBroadcast, pbt::kQuerySuspend);
    send(wm::kPowerBroadcast, pbt::kSuspend);
    releaseDelayLockLater();
  } else {
    send(wm::kPowerBroadcast, pbt::kResumeSuspend);
    takeDelayLock();
  }
}

void SessionWatch::onManagerProperties(const QString&, const QVariantMap& changed, const QStringList&) {
  if (changed.contains("OnBattery")) send(wm::kPowerBroadcast, pbt::kPowerStatusChange);
}

void SessionWatch::onDeviceProperties(const QString&, const QVariantMap& changed, const QStringList&) {
  auto it = changed.find("WarningLevel");
  if (it == changed.end()) return;
  unsigned level = it->toUInt();
  if (level >= kWarningLow && m_warningLevel < kWarningLow) send(wm::kPowerBroadcast, pbt::kBatteryLow);
  m_warningLevel = level;
}

void SessionWatch::onSignal() {
  char buf[64];
  bool any = false;
  while (read(g_signalPipe[0], buf, sizeof buf) > 0) any = true;
  if (!any) return;
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) QTimer::singleShot(1000, this, [] { closeModalDialogs(); });
  endSession();
}

unsigned SessionWatch::termDeadline() { return g_termDeadline; }
void SessionWatch::setTermDeadline(unsigned seconds) { g_termDeadline = seconds; }

}  // namespace ov::os
