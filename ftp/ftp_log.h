// The result log: FTPLOG.INI in the program's folder keeps the outcome of a failed run with every
// value of the operation (the password as one "*" per character); DEBUG.INI beside it gets a few
// status values. The operation deletes FTPLOG.INI when it starts, so it always describes the last
// run, and a run without a failure leaves none.
#pragma once

#include <string>

namespace ov::ftp {

class FtpSession;
struct FtpCommand;

constexpr const char* kFtpLog = "FTPLOG.INI";
constexpr const char* kDebugIni = "DEBUG.INI";

// What the log says of the operation besides the session's state.
struct FtpLogValues {
  std::string localFilespec;
  std::string remoteFilespec;
  std::string loginUser;
  std::string loginPassword;
};

// "*" for each character of the clipped password, at most 255.
std::string maskPassword(const std::string& password);

// Writes [FTPStatus] and [OperationSpec] of `folder`/FTPLOG.INI.
void WriteFtpLog(const std::string& folder, const FtpSession& session, const FtpCommand& command,
                 const FtpLogValues& values);
// [FTPStatus] Errorcode and Errormessage of `folder`/DEBUG.INI, after a step without an error.
void WriteDebugStatus(const std::string& folder, const FtpSession& session);
// [FTP] LoginError of `folder`/DEBUG.INI.
void WriteLoginError(const std::string& folder, const FtpSession& session);

}  // namespace ov::ftp
