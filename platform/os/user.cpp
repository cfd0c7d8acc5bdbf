#include "platform/os/user.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace ov::os {
namespace {

bool account(passwd& pw, std::vector<char>& buf) {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  buf.resize(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd* found = nullptr;
  return getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found;
}

}  // namespace

std::string userName() {
  passwd pw{};
  std::vector<char> buf;
  if (account(pw, buf) && pw.pw_name) return pw.pw_name;
  if (const char* user = std::getenv("USER")) return user;
  return {};
}

std::string userFullName() {
  passwd pw{};
  std::vector<char> buf;
  if (!account(pw, buf) || !pw.pw_gecos) return {};
  std::string gecos = pw.pw_gecos;
  return gecos.substr(0, gecos.find(','));
}

}  // namespace ov::os
