#include "platform/rt/secret_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ov::rt {
namespace {

constexpr std::string_view kPrefix = "secret-";

void setError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

std::string systemText(int code) { return std::strerror(code); }

// `folder` exists (made with 0700 when missing), is a folder of the user's and nobody else may
// enter or list it.
bool privateFolder(const std::string& folder, std::string* error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    setError(error, "cannot make " + folder + ": " + systemText(errno));
    return false;
  }
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) {
    setError(error, "cannot read " + folder + ": " + systemText(errno));
    return false;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
    setError(error, folder + " is not a private folder of this user's");
    return false;
  }
  return true;
}

}  // namespace

std::string secretFolder(std::string* error) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder;
  struct stat st {};
  if (runtime && *runtime == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
    folder = std::string(runtime) + "/orvane";
  else
    folder = "/tmp/orvane-" + std::to_string(::geteuid());
  return privateFolder(folder, error) ? folder : std::string();
}

std::string writeSecretFile(std::string_view secret, std::string* error) {
  const std::string folder = secretFolder(error);
  if (folder.empty()) return {};
  std::string path = folder + "/" + std::string(kPrefix) + "XXXXXX";
  const int fd = ::mkstemp(path.data());  // O_EXCL, mode 0600
  if (fd < 0) {
    setError(error, "cannot make a file in " + folder + ": " + systemText(errno));
    return {};
  }
  size_t done = 0;
  while (done < secret.size()) {
    const ssize_t n = ::write(fd, secret.data() + done, secret.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      setError(error, "cannot write " + path + ": " + systemText(n < 0 ? errno : ENOSPC));
      ::close(fd);
      ::unlink(path.c_str());
      return {};
    }
    done += size_t(n);
  }
  if (::close(fd) != 0) {
    setError(error, "cannot write " + path + ": " + systemText(errno));
    ::unlink(path.c_str());
    return {};
  }
  return path;
}

bool takeSecretFile(const std::string& path, std::string& secret, std::string* error) {
  secret.clear();
  const size_t slash = path.rfind('/');
  const std::string folder = secretFolder(error);
  if (folder.empty()) return false;
  if (slash == std::string::npos || path.substr(0, slash) != folder ||
      path.compare(slash + 1, kPrefix.size(), kPrefix) != 0 || path.find("/..", slash) != std::string::npos ||
      path.size() == slash + 1 + kPrefix.size()) {
    setError(error, path + " is not a password file of this program");
    return false;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    setError(error, "cannot read " + path + ": " + systemText(errno));
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
  if (!ok) setError(error, path + " is not a private file of this user's");
  if (ok && st.st_size > off_t(kSecretMax)) {
    ok = false;
    setError(error, path + " holds more than " + std::to_string(kSecretMax) + " bytes");
  }
  if (ok) {
    char buffer[kSecretMax + 1];
    size_t got = 0;
    for (;;) {
      const ssize_t n = ::read(fd, buffer + got, sizeof buffer - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ok = false;
        setError(error, "cannot read " + path + ": " + systemText(errno));
      }
      if (n <= 0) break;
      got += size_t(n);
      if (got == sizeof buffer) break;
    }
    if (ok && got > kSecretMax) {
      ok = false;
      setError(error, path + " holds more than " + std::to_string(kSecretMax) + " bytes");
    }
    if (ok) secret.assign(buffer, got);
    std::memset(buffer, 0, sizeof buffer);
  }
  ::close(fd);
  if (st.st_uid == ::geteuid()) ::unlink(path.c_str());  // read once: nobody needs it after this
  return ok;
}

}  // namespace ov::rt
