#include "platform/os/instance_lock.h"

#include "platform/os/win_msg.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace ov::os {

std::string InstanceLock::lockPath(const std::string& name) {
  std::string dir;
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
    dir = std::string(run) + "/orvane";
  else
    dir = "/tmp/orvane-" + std::to_string(getuid());
  std::string file;
  for (unsigned char c : name) {
    bool fit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.' || c == '{' || c == '}' || c >= 0x80;
    file += fit ? static_cast<char>(c) : '_';
  }
  if (file.empty() || file == "." || file == "..") file = "_" + file;
  return dir + "/" + file + ".lock";
}

std::string InstanceLock::dataFolderName(std::string_view folder) {
  static constexpr std::string_view kAlphabet = "0123456789ABCDE";
  std::string key = "ov" + std::string(folder);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string name = "{";
  for (int i = 1; i <= 32; ++i) {
    const int c = i <= static_cast<int>(key.size()) ? static_cast<unsigned char>(key[static_cast<size_t>(i - 1)]) : 0;
    const int v = (i + c) % 16;
    // Value 0 has no place in the 15-character alphabet; it gives "F".
    name += v == 0 ? 'F' : kAlphabet[static_cast<size_t>(v - 1)];
    if (i == 8 || i == 12 || i == 16 || i == 20) name += '-';
  }
  return name + "}";
}

InstanceLock::~InstanceLock() { release(); }

int InstanceLock::acquire(const std::string& name, bool wait) {
  release();
  std::string path = lockPath(name);
  std::string dir = path.substr(0, path.rfind('/'));
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return winErrorFromErrno(errno);
  // In a shared /tmp another user may have made the folder (or a link by its name) first: use it
  // only when it is a real folder of ours that nobody else can write to.
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) return winErrorFromErrno(errno);
  if (!S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return winerr::kAccessDenied;
  // Never unlinked: removing a lock file while another process waits on it would let two
  // processes hold "the" lock on two different files.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return winErrorFromErrno(errno);
  int got;
  while ((got = flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
  }
  if (got != 0) {
    int err = errno;
    close(fd);
    return err == EWOULDBLOCK ? winerr::kAlreadyExists : winErrorFromErrno(err);
  }
  m_fd = fd;
  return winerr::kSuccess;
}

void InstanceLock::release() {
  if (m_fd < 0) return;
  close(m_fd);  // drops the flock
  m_fd = -1;
}

}  // namespace ov::os
