#include "platform/os/system_control.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace ov::os {
namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

std::mutex g_mutex;
std::function<void(SystemRequest)> g_recorder;

bool call(const QDBusConnection& bus, QDBusMessage msg, std::string* detail, QDBusMessage* reply = nullptr) {
  QDBusMessage answer = bus.call(msg, QDBus::Block, 10000);
  if (answer.type() == QDBusMessage::ErrorMessage) {
    if (detail) *detail = (answer.errorName() + ": " + answer.errorMessage()).toStdString();
    return false;
  }
  if (reply) *reply = answer;
  return true;
}

bool ownSession(const QDBusConnection& bus, QString& id, std::string* detail) {
  if (const char* env = std::getenv("XDG_SESSION_ID"); env && *env) {
    id = QString::fromUtf8(env);
    return true;
  }
  QDBusMessage byPid = QDBusMessage::createMethodCall(kLogin, kLoginPath, kManager, "GetSessionByPID");
  byPid << static_cast<uint>(getpid());
  QDBusMessage reply;
  if (!call(bus, byPid, detail, &reply) || reply.arguments().isEmpty()) return false;
  QString path = reply.arguments().first().value<QDBusObjectPath>().path();
  QDBusMessage get = QDBusMessage::createMethodCall(kLogin, path, "org.freedesktop.DBus.Properties", "Get");
  get << QString("org.freedesktop.login1.Session") << QString("Id");
  if (!call(bus, get, detail, &reply) || reply.arguments().isEmpty()) return false;
  id = reply.arguments().first().value<QDBusVariant>().variant().toString();
  if (id.isEmpty() && detail) *detail = "the session has no id";
  return !id.isEmpty();
}

}  // namespace

void setSystemRequestRecorder(std::function<void(SystemRequest)> recorder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_recorder = std::move(recorder);
}

bool requestSystem(SystemRequest what, std::string* detail) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_recorder) {
      g_recorder(what);
      return true;
    }
  }
  return requestSystem(what, QDBusConnection::systemBus(), detail);
}

bool requestSystem(SystemRequest what, const QDBusConnection& bus, std::string* detail) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_recorder) {
      g_recorder(what);
      return true;
    }
  }
  if (!bus.isConnected()) {
    if (detail) *detail = "no system bus";
    return false;
  }
  QDBusMessage msg;
  switch (what) {
    case SystemRequest::Reboot:
      msg = QDBusMessage::createMethodCall(kLogin, kLoginPath, kManager, "Reboot");
      msg << false;  // not interactive: no password prompt in the middle of a script
      break;
    case SystemRequest::ShutDown:
      msg = QDBusMessage::createMethodCall(kLogin, kLoginPath, kManager, "PowerOff");
      msg << false;
      break;
    case SystemRequest::LogOff: {
      QString id;
      if (!ownSession(bus, id, detail)) return false;
      msg = QDBusMessage::createMethodCall(kLogin, kLoginPath, kManager, "TerminateSession");
      msg << id;
      break;
    }
  }
  return call(bus, msg, detail);
}

}  // namespace ov::os
