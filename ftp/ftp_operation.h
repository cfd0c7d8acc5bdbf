// FtpOperation: one run of the program's command line over an FtpSession, without a window. It
// connects, logs on, splits the given paths into folders and file patterns, builds the list of
// files and transfers them one at a time, reacting to the session's events; it keeps the result
// (0, or -1 after any failure or a cancel) and the logs in the program's folder.
//
// Local paths take "/" or "\" between folders ("\" from command lines written for the old
// system); remote paths likewise. A local folder that does not exist is a failure, not a reason
// to use the current folder. With OverwriteYN "N" a file whose destination exists already is
// skipped (the run goes on); any other value replaces it.
//
// Threading: the session's owner thread.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "ftp/ftp_command.h"
#include "ftp/ftp_log.h"
#include "ftp/ftp_session.h"

namespace ov::ftp {

struct TransferEntry {
  std::string LOCALFILENAME;
  std::string REMOTEFILENAME;
};

class FtpOperation {
 public:
  // `logFolder`: where FTPLOG.INI and DEBUG.INI are written (the program's folder). `close` asks
  // the owner to end the run (the window closes); it may be called more than once.
  FtpOperation(FtpCommand command, std::string logFolder, FtpSession& session, std::function<void()> close);

  // Deletes the old log and connects (its events follow through the session's host).
  void Start();
  // One of the session's events (1793..1798).
  void Take(int event);
  // The user confirmed Cancel.
  void Cancel();

  int result() const { return m_result; }
  bool isClosing() const { return m_closing; }
  const FtpCommand& command() const { return m_command; }
  // "Status - File n of N" once a transfer started, else "".
  std::string groupCaption() const;
  const std::deque<TransferEntry>& transferList() const { return m_list; }
  const std::string& localFilespec() const { return m_log.localFilespec; }
  const std::string& remoteFilespec() const { return m_log.remoteFilespec; }
  const std::string& localFolder() const { return m_localFolder; }

 private:
  void splitPaths();
  void buildTransferList();
  void transferStep();
  void fail();
  void close();
  bool destinationExists(const TransferEntry& e);

  FtpCommand m_command;
  std::string m_logFolder;
  FtpSession& m_session;
  std::function<void()> m_close;
  FtpLogValues m_log;
  std::string m_localFolder;  // with its closing "/", or "" for the current folder
  std::deque<TransferEntry> m_list;
  int m_listSize = 0;
  int m_fileNumber = 0;
  int m_result = 0;
  bool m_closing = false;
};

}  // namespace ov::ftp
