#include "ftp/ftp_log.h"

#include <utility>
#include <vector>

#include "ftp/ftp_command.h"
#include "ftp/ftp_session.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"

namespace ov::ftp {
namespace {

std::string now() { return rt::FORMAT(rt::TODAY(), "@d17") + " " + rt::FORMAT(rt::CLOCK(), "@t7"); }

std::string file(const std::string& folder, const char* name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

std::string maskPassword(const std::string& password) {
  size_t characters = 0;
  for (unsigned char c : rt::CLIP(password))
    if ((c & 0xC0) != 0x80) ++characters;  // one per UTF-8 character
  return std::string(std::min<size_t>(characters, 255), '*');
}

void WriteFtpLog(const std::string& folder, const FtpSession& session, const FtpCommand& command,
                 const FtpLogValues& values) {
  const std::string log = file(folder, kFtpLog);
  // Best effort: the log is for a reader after the run; the exit code carries the outcome.
  (void)rt::putIniValues("FTPStatus",
                         {{"Time", now()}, {"Errorcode", session.ErrorText()}, {"Errormessage", session.STATUSMSG}},
                         log);
  (void)rt::putIniValues("OperationSpec",
                         {{"LocalFilespec", values.localFilespec},
                          {"RemoteFilespec", values.remoteFilespec},
                          {"Param1 Op", command.operation},
                          {"Param2 From", command.from},
                          {"Param3 To", command.to},
                          {"Param4 Host", command.host},
                          {"LoginUser", values.loginUser},
                          {"LoginPassword", maskPassword(values.loginPassword)},
                          {"Overwrite", command.overwrite},
                          {"Passive", command.passive},
                          {"Port", std::to_string(command.port)},
                          {"Bytes", std::to_string(session.BYTES)},
                          {"BytesCopied", std::to_string(session.BYTESCOPIED)},
                          {"State", session.STATE == 1 ? "Writing" : "Reading"},
                          {"Status", std::to_string(session.STATUS)}},
                         log);
}

// Written as each transfer starts: not flushed to the disk, which would hold the transfer up.
void WriteDebugStatus(const std::string& folder, const FtpSession& session) {
  (void)rt::putIniValues("FTPStatus",
                         {{"Errorcode", rt::CLIP(session.ErrorText())}, {"Errormessage", rt::CLIP(session.STATUSMSG)}},
                         file(folder, kDebugIni), rt::IniFlush::Unflushed);  // best effort
}

void WriteLoginError(const std::string& folder, const FtpSession& session) {
  (void)rt::PUTINI("FTP", "LoginError", session.STATUSMSG, file(folder, kDebugIni));  // best effort
}

}  // namespace ov::ftp
