#include "scheduler/program_body.h"

#include <QApplication>
#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QString>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/program_hooks.h"
#include "datalib/records.h"
#include "datalib/startup.h"
#include "platform/os/instance_lock.h"
#include "platform/os/win_msg.h"
#include "platform/rt/ini.h"
#include "platform/os/user.h"
#include "platform/rt/command_line.h"
#include "platform/rt/err.h"
#include "platform/rt/process.h"
#include "scheduler/event_log.h"
#include "scheduler/globals.h"
#include "scheduler/main_frame.h"
#include "scheduler/program_errors.h"
#include "scheduler/services.h"

namespace ov::scheduler {

using rt::Err;

namespace {

std::string currentFolder() {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::current_path(ec);
  if (ec) return {};
  std::filesystem::path canonical = std::filesystem::canonical(p, ec);
  return (ec ? p : canonical).string();
}

QString serverName(const std::string& mutexName) { return QString::fromStdString("orvane-" + mutexName); }

// A second start hands the running instance a "raise" and ends; false when nobody answered.
bool raiseRunningInstance(const std::string& mutexName) {
  QLocalSocket socket;
  socket.connectToServer(serverName(mutexName));
  if (!socket.waitForConnected(2000)) return false;
  socket.write("raise\n");
  return socket.waitForBytesWritten(2000);
}

}  // namespace

std::string instanceMutexName(std::string_view folder) { return os::InstanceLock::dataFolderName(folder); }

StartupSettings& startupSettings() {
  static StartupSettings settings;
  return settings;
}

void LoadConfiguration() {
  StartupSettings& s = startupSettings();
  s.systemLock = files::GETCONFIG("SysLock", "0") == "1";
  s.systemPassword = files::GETCONFIG("SysPwd");
  s.gsa = files::GETCONFIG("GSA", "0") == "1";
  s.explorerScheduleView = files::GETCONFIG("AltFmt", "0") == "1";
  files::STANDARDCONFIGURATION();
  if (services().loadEmailDefaults) services().loadEmailDefaults();
  const std::string ini = files::INI.FILENAME.str();
  SchedulerActive = files::GETCONFIG("StartupActive", "0", ini) == "1" ? 0 : 1;
  if (!rt::COMMAND("/I").empty()) SchedulerActive = 0;
  s.multiUser = files::GETCONFIG("MultiUser", "0", ini) == "1";
  if (s.multiUser) {
    if (std::string name = os::userName(); !name.empty()) files::APP.USERID = name;
    files::APP.USERNAME = files::APP.USERID.str();
  } else {
    files::APP.USERID = files::GETCONFIG("UserID", "", ini);
    files::APP.USERNAME = "";
  }
  files::GLO.USER = os::userName();
  if (std::string user = rt::COMMAND("User="); !user.empty()) files::GLO.USER = user;
  EnsureUserRecord();
}

void EnsureUserRecord() {
  if (files::Access_USERS.Open() != Err::None) return;
  const files::UserRec saved = files::U_;
  files::USERS.clear();
  files::U_.User = files::GLO.USER.str();
  if (files::USERS.get(files::U_KeyUser) != Err::None) {
    files::USERS.clear();
    files::U_.User = files::GLO.USER.str();
    files::U_.SourcePath = currentFolder();
    (void)files::Access_USERS.TryInsert();  // a user without a record is no reason to stop
  }
  files::U_ = saved;
  (void)files::Access_USERS.Close();
}

int ProgramBody(int argc, char** argv) {
  rt::setCommandLine(argc, argv);
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);

  // One start at a time settles its data folder and takes that folder's instance lock: a second
  // start waits here while the first asks for the data folder, then finds the folder the first
  // chose and hands over to it, instead of asking as well.
  os::InstanceLock starting;
  (void)starting.acquire("orvane-start", true);

  // The data folder: PATH=, PATHS.INI, the folder dialog, the program files folder.
  files::OV_FILES_LOAD();
  const std::string folder = currentFolder();

  os::InstanceLock lock;
  std::unique_ptr<QLocalServer> server;
  const bool forceRun = !rt::COMMAND("/ForceRun").empty();
  const std::string mutexName = instanceMutexName(folder);
  if (!forceRun) {
    if (lock.acquire(mutexName) == os::winerr::kAlreadyExists) {
      starting.release();
      (void)raiseRunningInstance(mutexName);
      return 0;
    }
    server = std::make_unique<QLocalServer>();
    QLocalServer::removeServer(serverName(mutexName));  // left by a run that ended without cleaning up
    (void)server->listen(serverName(mutexName));        // without it a second start ends silently
  }
  starting.release();

  // Nothing reads the data file before it is known to open: one message and the repair offered,
  // never a main window on a half-open database.
  if (!files::CheckDataFile()) return 1;

  rt::INIClass positions;
  positions.Init(".\\POSITION.INI");  // in the data folder, not the configuration folder
  ProgramErrors errors;
  files::OV_FILES_INIT(&errors, &positions);
  files::setEventLogWriter([](std::string_view text, std::string_view label) { WriteLog(text, label); });

  int code = 0;
  {
    Main frame;
    if (server)
      QObject::connect(server.get(), &QLocalServer::newConnection, [&] {
        while (QLocalSocket* peer = server->nextPendingConnection()) {
          QObject::connect(peer, &QLocalSocket::readyRead, peer, [peer, &frame] {
            if (peer->readAll().startsWith("raise")) frame.raiseFromOutside();
            peer->disconnectFromServer();
          });
          QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
      });
    code = frame.Run();
  }
  files::setEventLogWriter({});
  closeEventLog();
  files::OV_FILES_KILL();
  files::OV_FILES_UNLOAD();
  return code < 0 ? 1 : 0;
}

}  // namespace ov::scheduler
