// The ovftp command line: nine positional values and the overrides of OVFTP.INI.
//
//   ovftp Operation RemotePath LocalPath Host User Password OverwriteYN PassiveModeYN Port#
//
// Operation: "D" download, "G" download in one blocking call, "U" upload, "P" upload in one
// blocking call, each optionally after "A" for a text (ASCII) transfer ("AD", "AU"); and the
// remote commands "RM" (delete a file), "RD" (remove a folder), "MD" (make a folder), which take
// the remote name from the second value. The second value is the source (remote for D and G,
// local for U and P), the third the destination. Port 0 or missing is 21.
//
// Two more words may stand anywhere and take no place (FtpProgram removes them): "/AUTO", a run
// that nobody watches (a task started it, or there is no display), which shows no message box and
// reports a bad command line in FTPLOG.INI; and "PASSWORDFILE=<file>", a private file holding the
// password (platform/rt/secret_file.h), read and deleted, which replaces the Password value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ov::ftp {

constexpr const char* kSyntax =
    "OVFTP Operation RemotePath LocalPath Host User Password OverwriteYN PassiveModeYN Port#";

struct FtpCommand {
  std::string operation;  // after the "A" handling: D, G, U, P, RM, RD or MD
  std::string from;       // value 2
  std::string to;         // value 3
  std::string host;
  std::string user;
  std::string password;
  std::string overwrite;  // first character only ("" when not given)
  std::string passive;    // first character only
  int32_t port = 0;       // as given (0 when missing); the connection uses 21 for 0
  int transferType = 2;   // 2 binary, 0 with the "A" prefix

  bool isDownload() const { return operation == "D" || operation == "G"; }
  bool isUpload() const { return operation == "U" || operation == "P"; }
  bool isRemoteCommand() const { return operation == "RM" || operation == "RD" || operation == "MD"; }
};

// Reads the values after the program and applies the section "Overrides" of `overridesIni`
// (keys Overwrite, Passive, Port; an empty value leaves the command line's). False when the
// operation is none of those above: the caller shows kSyntax.
bool parseFtpCommand(const std::vector<std::string>& values, const std::string& overridesIni, FtpCommand& out);

// OVFTP.INI in `programFolder` (found ignoring case).
std::string overridesFile(const std::string& programFolder);

}  // namespace ov::ftp
