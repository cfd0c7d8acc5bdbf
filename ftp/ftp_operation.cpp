#include "ftp/ftp_operation.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/libs/ftp/ftp_library.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"

namespace ov::ftp {
namespace {

bool isFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool hasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

std::string withoutQuotes(std::string s) {
  std::erase(s, '"');
  return s;
}

std::string slashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

}  // namespace

FtpOperation::FtpOperation(FtpCommand command, std::string logFolder, FtpSession& session, std::function<void()> close)
    : m_command(std::move(command)), m_logFolder(std::move(logFolder)), m_session(session), m_close(std::move(close)) {}

void FtpOperation::Start() {
  std::remove((m_logFolder + "/" + kFtpLog).c_str());
  if (m_command.port == 0) m_command.port = 21;
  // The connection is made on a thread of its own: Cancel works while the server keeps silent.
  if (m_session.StartConnect(m_command.host, m_command.port, 30) == -1) {
    fail();  // nothing to connect to is a failed run
  }
}

void FtpOperation::Take(int event) {
  if (m_closing) return;
  switch (event) {
    case FtpEvent::Connected:
      m_log.loginUser = rt::CLIP(m_command.user);
      m_log.loginPassword = rt::CLIP(m_command.password);
      if (m_session.Login(m_log.loginUser, m_log.loginPassword) == -1) {
        WriteLoginError(m_logFolder, m_session);
        fail();
        return;
      }
      if (m_command.passive == "Y") m_session.SetPassiveMode(true);
      break;
    case FtpEvent::LoggedIn:
      if (m_command.isRemoteCommand()) {
        const std::string target = slashes(m_command.from);
        m_log.remoteFilespec = target;
        if (m_command.operation == "RM") m_session.RemoveFile(target);
        else if (m_command.operation == "RD") m_session.RemoveDirectory(target);
        else m_session.MakeDirectory(target);
        return;
      }
      buildTransferList();
      if (m_closing || m_session.ErrorText() != "No error") return;  // the failure event follows
      m_listSize = int(m_list.size());
      transferStep();
      break;
    case FtpEvent::TransferDone:
      if (!m_list.empty()) {
        transferStep();
        return;
      }
      if (m_result == 0) close();
      break;
    case FtpEvent::Failed:
      if (rt::UPPER(m_session.ErrorText()) == "NO ERROR") {
        m_session.Post(FtpEvent::TransferDone);
        return;
      }
      fail();
      break;
    default:
      break;
  }
}

void FtpOperation::Cancel() {
  if (m_closing) return;
  m_session.Cancel();
  m_session.StopNotify();
  // A cancelled run did not do what it was asked: it is no success.
  m_session.NoteCancelled();
  fail();
}

void FtpOperation::fail() {
  if (m_closing) return;
  m_result = -1;
  WriteFtpLog(m_logFolder, m_session, m_command, m_log);
  close();
}

void FtpOperation::close() {
  m_closing = true;
  if (m_close) m_close();
}

std::string FtpOperation::groupCaption() const {
  if (m_fileNumber == 0) return {};
  return "Status - File " + std::to_string(m_fileNumber) + " of " + std::to_string(m_listSize);
}

void FtpOperation::splitPaths() {
  std::string local = slashes(m_command.isDownload() ? m_command.to : m_command.from);
  std::string remote = slashes(m_command.isDownload() ? m_command.from : m_command.to);

  if (local.find('/') != std::string::npos) {
    if (isFolder(local)) {
      m_localFolder = local.back() == '/' ? local : local + "/";
      m_log.localFilespec = "*.*";
    } else {
      size_t cut = local.rfind('/');
      m_log.localFilespec = local.substr(cut + 1);
      m_localFolder = local.substr(0, cut + 1);
    }
  } else {
    m_log.localFilespec = local;
    m_localFolder.clear();
  }

  if (remote.find('/') != std::string::npos) {
    if (m_session.ChangeDirectory(remote) != -1) {
      m_log.remoteFilespec = "*.*";
    } else {
      size_t cut = remote.rfind('/');
      m_log.remoteFilespec = remote.substr(cut + 1);
      std::string folder = remote.substr(0, cut);
      m_session.SetDirectory(folder.empty() ? "/" : folder);
    }
  } else {
    m_log.remoteFilespec = remote;
  }
}

void FtpOperation::buildTransferList() {
  m_list.clear();
  splitPaths();
  if (m_session.ErrorText() != "No error") return;
  if (!m_localFolder.empty() && !isFolder(m_localFolder)) {
    m_session.ReportError("Local folder not found: " + m_localFolder, true);
    return;
  }
  const std::string& localSpec = m_log.localFilespec;
  const std::string& remoteSpec = m_log.remoteFilespec;
  if (hasWildcard(localSpec) || hasWildcard(remoteSpec)) {
    if (m_command.isDownload()) {
      std::vector<RemoteEntry> entries;
      m_session.ListDirectory(entries, "", remoteSpec, true);
      for (const RemoteEntry& e : entries) m_list.push_back({e.FILENAME, e.FILENAME});
    } else {
      std::vector<rt::DirEntry> entries;
      if (rt::DIRECTORY(entries, (m_localFolder.empty() ? "./" : m_localFolder) + localSpec, rt::ffNormal) ==
          rt::Err::None)
        for (const rt::DirEntry& e : entries) m_list.push_back({e.name, e.name});
    }
    if (!m_list.empty()) return;
  }
  m_log.localFilespec = withoutQuotes(m_log.localFilespec);
  m_log.remoteFilespec = withoutQuotes(m_log.remoteFilespec);
  m_list.push_back({m_log.localFilespec, m_log.remoteFilespec});
}

bool FtpOperation::destinationExists(const TransferEntry& e) {
  if (m_command.isDownload()) return isFile(m_localFolder + e.LOCALFILENAME);
  int64_t bytes = 0;
  return ftplib::FtpGetFileLength(m_session.HANDLE, e.REMOTEFILENAME, bytes) >= 0;
}

void FtpOperation::transferStep() {
  if (m_list.empty()) return;
  const TransferEntry entry = m_list.front();
  m_list.pop_front();
  ++m_fileNumber;
  const std::string localPath = m_localFolder + entry.LOCALFILENAME;
  if (m_command.overwrite == "N" && destinationExists(entry)) {
    m_session.SetStatus("Skipped " + (m_command.isDownload() ? localPath : entry.REMOTEFILENAME) + ": it exists");
    m_session.Post(FtpEvent::TransferDone);
    return;
  }
  const std::string& op = m_command.operation;
  const int type = m_command.transferType;
  if (op == "U") m_session.Upload(localPath, entry.REMOTEFILENAME, type);
  else if (op == "P") m_session.PutFile(localPath, entry.REMOTEFILENAME, type);
  else if (op == "G") m_session.GetFile(localPath, entry.REMOTEFILENAME, type);
  else m_session.Download(localPath, entry.REMOTEFILENAME, type);
  if (rt::UPPER(m_session.ErrorText()) != "NO ERROR") WriteFtpLog(m_logFolder, m_session, m_command, m_log);
  else WriteDebugStatus(m_logFolder, m_session);
}

}  // namespace ov::ftp
