#include "platform/os/dir_watch.h"

#include "platform/os/win_msg.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

namespace ov::os {
namespace fs = std::filesystem;

namespace {

constexpr unsigned kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

// Whether one inotify event is a change of a kind in `filter`.
bool wanted(unsigned filter, std::uint32_t mask) {
  if (mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF)) return true;  // can't tell: say so
  bool isDir = mask & IN_ISDIR;
  if ((mask & kNameEvents) && (filter & (isDir ? notify::kDirName : notify::kFileName))) return true;
  if ((mask & IN_CREATE) && (filter & notify::kCreation)) return true;
  if ((mask & IN_ATTRIB) && (filter & (notify::kAttributes | notify::kSecurity))) return true;
  if ((mask & IN_MODIFY) && (filter & (notify::kSize | notify::kLastWrite))) return true;
  return false;
}

}  // namespace

DirWatch::~DirWatch() { close(); }

int DirWatch::open(const std::string& folder, bool subtree, unsigned filter) {
  close();
  std::error_code ec;
  auto status = fs::status(folder, ec);
  if (!fs::exists(status)) return winerr::kPathNotFound;
  if (!fs::is_directory(status)) return winerr::kDirectory;
  m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (m_fd < 0) return winErrorFromErrno(errno);
  m_subtree = subtree;
  m_filter = filter;
  m_mask = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
  if (filter & (notify::kFileName | notify::kDirName)) m_mask |= kNameEvents;
  if (filter & notify::kCreation) m_mask |= IN_CREATE;
  if (filter & (notify::kAttributes | notify::kSecurity)) m_mask |= IN_ATTRIB;
  if (filter & (notify::kSize | notify::kLastWrite)) m_mask |= IN_MODIFY;
  if (subtree) m_mask |= IN_CREATE | IN_MOVED_TO;  // to watch new folders as they come
  int wd = inotify_add_watch(m_fd, folder.c_str(), m_mask);
  if (wd < 0) {
    int err = errno;
    close();
    return winErrorFromErrno(err);
  }
  m_folders[wd] = folder;
  if (subtree) {
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_directory(ec) && !it->is_symlink(ec)) addTree(it->path().string());
  }
  return winerr::kSuccess;
}

void DirWatch::close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_pending = false;
  m_folders.clear();
}

void DirWatch::addOne(const std::string& folder) {
  int wd = inotify_add_watch(m_fd, folder.c_str(), m_mask);
  if (wd >= 0) m_folders[wd] = folder;  // a folder gone meanwhile is simply not watched
}

void DirWatch::addTree(const std::string& folder) {
  addOne(folder);
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec))
    if (it->is_directory(ec) && !it->is_symlink(ec)) addOne(it->path().string());
}

bool DirWatch::drain() {
  bool changed = false;
  alignas(inotify_event) char buf[16384];
  while (true) {
    ssize_t n = read(m_fd, buf, sizeof buf);
    if (n <= 0) break;  // EAGAIN: nothing more waiting
    for (char* p = buf; p < buf + n;) {
      auto* ev = reinterpret_cast<inotify_event*>(p);
      p += sizeof(inotify_event) + ev->len;
      if (ev->mask & IN_IGNORED) {
        m_folders.erase(ev->wd);
        continue;
      }
      if (m_subtree && (ev->mask & IN_ISDIR) && (ev->mask & (IN_CREATE | IN_MOVED_TO)) && ev->len > 0) {
        auto it = m_folders.find(ev->wd);
        if (it != m_folders.end()) addTree(it->second + "/" + ev->name);
      }
      if (wanted(m_filter, ev->mask)) changed = true;
    }
  }
  return changed;
}

bool DirWatch::signalled(int waitMs) {
  if (m_fd < 0) return false;
  if (m_pending) return true;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (true) {
    if (drain()) {
      m_pending = true;
      return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return false;
  }
}

void DirWatch::rearm() {
  if (m_fd < 0) return;
  drain();
  m_pending = false;
}

}  // namespace ov::os
