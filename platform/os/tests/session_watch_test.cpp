// The end of the session and power changes, from logind and UPower played by python3-dbusmock
// on a private bus, and from SIGTERM.
#include "platform/os/session_watch.h"
#include "platform/os/system_control.h"

#include "platform/os/tests/support.h"

#include <QDBusArgument>
#include <QDBusVariant>

#include <gtest/gtest.h>

#include <signal.h>

namespace ov::os {
namespace {

using test::MockSystemBus;

const QString kLogin = "org.freedesktop.login1";
const QString kLoginPath = "/org/freedesktop/login1";
const QString kManager = "org.freedesktop.login1.Manager";

struct Recorded {
  std::vector<WinMessage> messages;
  std::intptr_t answer = 1;
  MessageSink sink() {
    return [this](const WinMessage& m) {
      messages.push_back(m);
      return answer;
    };
  }
  std::vector<std::pair<unsigned, std::uintptr_t>> seen() const {
    std::vector<std::pair<unsigned, std::uintptr_t>> out;
    for (auto& m : messages) out.emplace_back(m.msg, m.wParam);
    return out;
  }
};

using Seen = std::vector<std::pair<unsigned, std::uintptr_t>>;

// The "what" of every inhibitor logind holds now.
QStringList inhibitors(MockSystemBus& mock) {
  QDBusMessage reply = mock.call(kLogin, kLoginPath, kManager, "ListInhibitors");
  QStringList out;
  if (reply.type() != QDBusMessage::ReplyMessage) return out;
  const QDBusArgument arg = reply.arguments().first().value<QDBusArgument>();
  arg.beginArray();
  while (!arg.atEnd()) {
    QString what, who, why, mode;
    uint uid = 0, pid = 0;
    arg.beginStructure();
    arg >> what >> who >> why >> mode >> uid >> pid;
    arg.endStructure();
    out << what + "/" + mode;
  }
  arg.endArray();
  return out;
}

class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    mock = MockSystemBus::get(&why);
    ASSERT_NE(mock, nullptr) << why;
  }
  MockSystemBus* mock = nullptr;
};

TEST_F(Session, ShutdownAsksEndsAndThenLetsTheSystemGo) {
  Recorded got;
  SessionWatch watch(got.sink(), mock->bus());
  ASSERT_TRUE(watch.holdsDelayLock());
  EXPECT_EQ(inhibitors(*mock), QStringList{"shutdown:sleep/delay"});

  got.answer = 1;
  ASSERT_TRUE(mock->emitSignal(kLogin, kLoginPath, kManager, "PrepareForShutdown", "b", {true}));
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 2; }));
  EXPECT_EQ(got.seen(), (Seen{{wm::kQueryEndSession, 0}, {wm::kEndSession, 1}}));
  ASSERT_TRUE(test::waitUntil([&] { return !watch.holdsDelayLock(); }));
  EXPECT_TRUE(test::waitUntil([&] { return inhibitors(*mock).isEmpty(); }));

  // Called off: the lock is taken again for the next time.
  ASSERT_TRUE(mock->emitSignal(kLogin, kLoginPath, kManager, "PrepareForShutdown", "b", {false}));
  ASSERT_TRUE(test::waitUntil([&] { return watch.holdsDelayLock(); }));
  EXPECT_EQ(got.messages.size(), 2u);

  got.answer = 0;
  ASSERT_TRUE(mock->emitSignal(kLogin, kLoginPath, kManager, "PrepareForShutdown", "b", {true}));
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 4; }));
  EXPECT_EQ(got.messages[3].msg, wm::kEndSession);
  EXPECT_EQ(got.messages[3].wParam, 0u) << "the query was answered 0";
}

TEST_F(Session, SleepAndWake) {
  Recorded got;
  SessionWatch watch(got.sink(), mock->bus());
  ASSERT_TRUE(mock->emitSignal(kLogin, kLoginPath, kManager, "PrepareForSleep", "b", {true}));
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 2 && !watch.holdsDelayLock(); }));
  ASSERT_TRUE(mock->emitSignal(kLogin, kLoginPath, kManager, "PrepareForSleep", "b", {false}));
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 3; }));
  EXPECT_EQ(got.seen(), (Seen{{wm::kPowerBroadcast, pbt::kQuerySuspend},
                              {wm::kPowerBroadcast, pbt::kSuspend},
                              {wm::kPowerBroadcast, pbt::kResumeSuspend}}));
  EXPECT_TRUE(watch.holdsDelayLock()) << "taken again on waking";
}

TEST_F(Session, BatteryChanges) {
  Recorded got;
  SessionWatch watch(got.sink(), mock->bus());
  const QString upower = "org.freedesktop.UPower";
  const QString device = "/org/freedesktop/UPower/devices/DisplayDevice";
  auto setProperty = [&](const QString& path, const QString& iface, const QString& name, const QVariant& v) {
    QDBusMessage r = mock->call(upower, path, "org.freedesktop.DBus.Properties", "Set",
                                {iface, name, QVariant::fromValue(QDBusVariant(v))});
    ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
  };
  setProperty("/org/freedesktop/UPower", upower, "OnBattery", true);
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 1; }));
  setProperty(device, "org.freedesktop.UPower.Device", "WarningLevel", QVariant::fromValue(2u));  // discharging
  setProperty(device, "org.freedesktop.UPower.Device", "WarningLevel", QVariant::fromValue(3u));  // low
  setProperty(device, "org.freedesktop.UPower.Device", "WarningLevel", QVariant::fromValue(4u));  // critical: still low
  setProperty("/org/freedesktop/UPower", upower, "OnBattery", false);
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 3; }));
  EXPECT_EQ(got.seen(), (Seen{{wm::kPowerBroadcast, pbt::kPowerStatusChange},
                              {wm::kPowerBroadcast, pbt::kBatteryLow},
                              {wm::kPowerBroadcast, pbt::kPowerStatusChange}}));
  setProperty(device, "org.freedesktop.UPower.Device", "WarningLevel", QVariant::fromValue(1u));
  setProperty(device, "org.freedesktop.UPower.Device", "WarningLevel", QVariant::fromValue(3u));
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 4; }));
  EXPECT_EQ(got.messages[3].wParam, pbt::kBatteryLow) << "low again after charging";
}

TEST_F(Session, SigtermEndsTheSession) {
  Recorded got;
  SessionWatch watch(got.sink(), mock->bus());
  ASSERT_EQ(raise(SIGTERM), 0);  // the process lives on: the watch took the signal
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 2; }));
  EXPECT_EQ(got.seen(), (Seen{{wm::kQueryEndSession, 0}, {wm::kEndSession, 1}}));
}

TEST_F(Session, WithoutLogindTheSignalStillCounts) {
  Recorded got;
  SessionWatch watch(got.sink(), QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "ov_os_no_bus"));
  EXPECT_FALSE(watch.holdsDelayLock());
  ASSERT_EQ(raise(SIGTERM), 0);
  ASSERT_TRUE(test::waitUntil([&] { return got.messages.size() >= 2; }));
}

// The requests logind received, by method name.
QStringList calls(MockSystemBus& mock, const QString& method) {
  QDBusMessage reply = mock.call(kLogin, kLoginPath, "org.freedesktop.DBus.Mock", "GetMethodCalls", {method});
  QStringList out;
  const QDBusArgument arg = reply.arguments().first().value<QDBusArgument>();
  arg.beginArray();
  while (!arg.atEnd()) {
    qulonglong when = 0;
    QVariantList args;
    arg.beginStructure();
    arg >> when >> args;
    arg.endStructure();
    QStringList parts;
    for (const QVariant& a : args)
      parts << (a.canConvert<QDBusVariant>() ? a.value<QDBusVariant>().variant() : a).toString();
    out << parts.join(",");
  }
  arg.endArray();
  return out;
}

TEST_F(Session, LogOffRebootAndShutDownGoToLogind) {
  mock->call(kLogin, kLoginPath, "org.freedesktop.DBus.Mock", "ClearCalls");
  test::EnvGuard session("XDG_SESSION_ID", "c7");
  std::string detail;
  EXPECT_TRUE(requestSystem(SystemRequest::Reboot, mock->bus(), &detail)) << detail;
  EXPECT_TRUE(requestSystem(SystemRequest::ShutDown, mock->bus(), &detail)) << detail;
  EXPECT_TRUE(requestSystem(SystemRequest::LogOff, mock->bus(), &detail)) << detail;
  EXPECT_EQ(calls(*mock, "Reboot"), QStringList{"false"});
  EXPECT_EQ(calls(*mock, "PowerOff"), QStringList{"false"});
  EXPECT_EQ(calls(*mock, "TerminateSession"), QStringList{"c7"});

  // With the recorder set, logind hears nothing.
  std::vector<SystemRequest> recorded;
  setSystemRequestRecorder([&](SystemRequest r) { recorded.push_back(r); });
  EXPECT_TRUE(requestSystem(SystemRequest::Reboot, mock->bus()));
  EXPECT_TRUE(requestSystem(SystemRequest::LogOff));
  setSystemRequestRecorder({});
  EXPECT_EQ(recorded, (std::vector<SystemRequest>{SystemRequest::Reboot, SystemRequest::LogOff}));
  EXPECT_EQ(calls(*mock, "Reboot").size(), 1);
}

TEST_F(Session, ARefusalIsReportedWithItsReason) {
  test::EnvGuard session("XDG_SESSION_ID", "");
  std::string detail;
  // The mock knows no GetSessionByPID: logind's answer comes back as the reason.
  EXPECT_FALSE(requestSystem(SystemRequest::LogOff, mock->bus(), &detail));
  EXPECT_NE(detail.find("GetSessionByPID"), std::string::npos) << detail;
  detail.clear();
  EXPECT_FALSE(requestSystem(SystemRequest::Reboot, QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "ov_os_no_bus2"), &detail));
  EXPECT_FALSE(detail.empty());
}

// The program must end after SIGTERM whatever it is doing.
TEST(SessionTerm, SigtermEndsABusyOrModalProgramWithinItsDeadline) {
  std::string line;
  {  // busy without an event loop: ended by the deadline
    test::Child busy({OV_OS_HELPER, "term", "busy", "1"}, {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(busy.readLine(line, 10000));
    ASSERT_EQ(line, "ready");
    ::kill(busy.pid(), SIGTERM);
    EXPECT_EQ(busy.wait(5000), 128 + SIGTERM);
  }
  {  // a second SIGTERM does not wait for the deadline
    test::Child busy({OV_OS_HELPER, "term", "busy", "600"}, {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(busy.readLine(line, 10000));
    ::kill(busy.pid(), SIGTERM);
    ::usleep(100 * 1000);
    ::kill(busy.pid(), SIGTERM);
    EXPECT_EQ(busy.wait(5000), 128 + SIGTERM);
  }
  {  // a modal message box is closed so the program can go on to its end
    test::Child modal({OV_OS_HELPER, "term", "modal", "600"}, {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(modal.readLine(line, 10000));
    ::usleep(200 * 1000);  // the box is showing
    ::kill(modal.pid(), SIGTERM);
    ASSERT_TRUE(modal.readLine(line, 5000));
    EXPECT_EQ(line, "closed");
    EXPECT_EQ(modal.wait(5000), 0);
  }
}

}  // namespace
}  // namespace ov::os
