// Handing a password to a program we start without putting it on the command line, where every
// local user sees it (ps, /proc/<pid>/cmdline): the starter writes it to a file that only the
// user can read, in a folder that only the user can enter, and names the file on the command
// line; the started program reads the file and deletes it.
//
// The folder is "orvane" in $XDG_RUNTIME_DIR (a per-user tmpfs the session manager clears at
// log-out), else /tmp/orvane-<uid>; either is made with mode 0700 and refused when another user
// owns it or may enter it. A program reads and deletes only files of that folder whose name
// starts with "secret-", so a file name given on a command line cannot make it delete another
// file of the user's.
#pragma once

#include <string>
#include <string_view>

namespace ov::rt {

// The folder of the secret files (made when missing), or empty with `error` set when it cannot be
// made or is not private.
std::string secretFolder(std::string* error = nullptr);

// Writes `secret` to a new file (mode 0600) of secretFolder(); its path, or empty with `error` set.
std::string writeSecretFile(std::string_view secret, std::string* error = nullptr);

// Reads the secret of `path` written by writeSecretFile and deletes the file. False with `error`
// set when the path is not a secret file of the folder, or the file is not a regular file of the
// user's readable by the user alone, or holds more than kSecretMax bytes.
constexpr size_t kSecretMax = 4096;
bool takeSecretFile(const std::string& path, std::string& secret, std::string* error = nullptr);

}  // namespace ov::rt
