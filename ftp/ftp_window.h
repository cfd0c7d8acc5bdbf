// FtpOperationWindow ("FTPAction"): the program's small window. It shows the session's status
// text, a progress bar, the bytes copied, the rate and the percentage, and a Cancel button; it runs
// one FtpOperation and closes when the operation ends. Its place is kept in "ovftp.INI" (the
// configuration folder). FtpProgram runs the whole program on a
// command line: the syntax message for an unknown operation (with "/AUTO", FTPLOG.INI's
// [FTPStatus] Errorcode "Syntax" and no box), else the window; the exit code.
#pragma once

#include <string>
#include <vector>

#include "ftp/ftp_command.h"
#include "ftp/ftp_operation.h"
#include "ftp/ftp_session.h"
#include "platform/rt/ini.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"

namespace ov::ftp {

class FtpOperationWindow : public ui::WindowManager, private FtpSessionHost {
 public:
  FtpOperationWindow(FtpCommand command, std::string programFolder);

  ui::Level Init() override;
  ui::Level Kill() override;
  ui::Level TakeEvent() override;
  ui::Level TakeWindowEvent() override;
  ui::Level TakeAccepted() override;

  int result() const { return m_operation.result(); }
  FtpSession& session() { return m_session; }

 private:
  void postEvent(int event) override;
  void postNotify(int code) override;
  void showStatus(const std::string& text) override;
  void showProgress(int64_t value, int64_t maximum) override;
  void runBlocking(const std::function<void()>& call) override;
  void setBusy(bool busy) override;
  void showCounts();

  FtpSession m_session;
  FtpOperation m_operation;
  rt::INIClass m_positions;  // "ovftp.INI": where the window reopens
  ui::WindowPositionKeeper m_keeper;
  int m_thread = 0;
  int m_group = 0, m_status = 0, m_progress = 0, m_bytes = 0, m_rate = 0, m_percent = 0, m_cancel = 0;
  int m_busy = 0;
};

// The program: `values` are the words after the program's name; logs and OVFTP.INI live in
// `programFolder`. The exit code: 0 after a run without a failure, -1 otherwise.
int FtpProgram(const std::vector<std::string>& values, const std::string& programFolder);

}  // namespace ov::ftp
