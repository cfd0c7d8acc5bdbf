// The end of the session and changes of power, handed to a window as the Windows messages:
//
//   logind PrepareForShutdown(true), SIGTERM  wm::kQueryEndSession, then wm::kEndSession
//                                             (wParam 1 when the first was answered non-zero)
//   logind PrepareForSleep(true)              wm::kPowerBroadcast pbt::kQuerySuspend, pbt::kSuspend
//   logind PrepareForSleep(false)             wm::kPowerBroadcast pbt::kResumeSuspend
//   UPower OnBattery changed                  wm::kPowerBroadcast pbt::kPowerStatusChange
//   UPower warning level reaches Low          wm::kPowerBroadcast pbt::kBatteryLow
//
// While watching it holds a logind "delay" inhibitor, so the system waits (up to logind's delay
// limit) until the messages have been handled: the lock is let go once the events the sink
// posted have run, and taken again when the shutdown is cancelled or the machine wakes.
// Without logind or UPower the other sources still work. One object per process (it owns the
// SIGTERM handler); GUI thread.
//
// SIGTERM must end the program even when it cannot get to its end-of-session handling (a modal
// window open, a long wait, a busy loop): a second later the message boxes and file dialogs open
// are closed so that the handling can go on, and a program still there `termDeadline()` seconds
// after the signal ends at once, as SIGTERM would have ended it; so does a second SIGTERM. The
// data files lose nothing by that: every change is a transaction.
#pragma once

#include "platform/os/win_msg.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QSocketNotifier;

namespace ov::os {

class SessionWatch : public QObject {
  Q_OBJECT

 public:
  // Seconds between SIGTERM and the forced end; tests shorten it.
  static unsigned termDeadline();
  static void setTermDeadline(unsigned seconds);
  explicit SessionWatch(MessageSink sink, QObject* parent = nullptr);
  // Watches logind and UPower on `bus` (the system bus above).
  SessionWatch(MessageSink sink, const QDBusConnection& bus, QObject* parent = nullptr);
  ~SessionWatch() override;

  // True while the logind delay inhibitor is held.
  bool holdsDelayLock() const { return m_inhibitor >= 0; }

 private slots:
  void onPrepareForShutdown(bool start);
  void onPrepareForSleep(bool start);
  void onManagerProperties(const QString& iface, const QVariantMap& changed, const QStringList& invalidated);
  void onDeviceProperties(const QString& iface, const QVariantMap& changed, const QStringList& invalidated);
  void onSignal();

 private:
  void takeDelayLock();
  void releaseDelayLockLater();
  void endSession();
  std::intptr_t send(unsigned msg, std::uintptr_t wParam);

  MessageSink m_sink;
  QDBusConnection m_bus;
  int m_inhibitor = -1;
  unsigned m_warningLevel = 0;
  QSocketNotifier* m_signals = nullptr;
};

}  // namespace ov::os
