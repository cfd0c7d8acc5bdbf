#include "backup/restore_swap.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/os/instance_lock.h"
#include "platform/os/win_msg.h"

namespace ov::backup {
namespace {

namespace fs = std::filesystem;

constexpr const char* kJournals[] = {"-wal", "-shm"};

std::string programName(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name.empty() ? std::string("another program") : name;
}

using FileId = std::pair<dev_t, ino_t>;

// The processes of this user with a descriptor on any of the files, by file; one pass over /proc.
std::map<FileId, std::vector<FileUser>> processesWithOpen(const std::set<FileId>& files) {
  std::map<FileId, std::vector<FileUser>> out;
  DIR* proc = ::opendir("/proc");
  if (!proc || files.empty()) {
    if (proc) ::closedir(proc);
    return out;
  }
  const pid_t self = ::getpid();
  while (dirent* e = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self) continue;
    const std::string fdDir = "/proc/" + std::string(e->d_name) + "/fd";
    DIR* fds = ::opendir(fdDir.c_str());
    if (!fds) continue;  // another user's process, or one that just ended
    std::set<FileId> found;
    while (dirent* f = ::readdir(fds)) {
      if (f->d_name[0] == '.') continue;
      struct stat st {};
      if (::stat((fdDir + "/" + f->d_name).c_str(), &st) == 0 && files.count({st.st_dev, st.st_ino}))
        found.insert({st.st_dev, st.st_ino});
    }
    ::closedir(fds);
    for (const FileId& id : found) out[id].push_back({static_cast<pid_t>(pid), programName(static_cast<pid_t>(pid))});
  }
  ::closedir(proc);
  return out;
}

// Opens `path` and takes an exclusive lock without waiting: the descriptor, or -1 with `busy` set
// when another holder's lock is in the way (-1 without it when the file cannot be opened).
int lockFile(const std::string& path, bool& busy) {
  busy = false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    busy = errno == EWOULDBLOCK;
    ::close(fd);
    return -1;
  }
  return fd;
}

bool isFile(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace

std::vector<FileUser> programsUsing(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  std::vector<FileUser> users = processesWithOpen({{st.st_dev, st.st_ino}})[{st.st_dev, st.st_ino}];
  if (users.empty()) {
    bool busy = false;
    int fd = lockFile(path, busy);
    if (fd >= 0) ::close(fd);
    if (busy) users.push_back({0, "another program"});
  }
  return users;
}

bool mainProgramRunsOn(const std::string& folder) {
  std::error_code ec;
  const fs::path canonical = fs::canonical(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  if (ec) return false;  // a folder that does not exist yet has nobody working in it
  const std::string name = os::InstanceLock::dataFolderName(canonical.string());
  {
    os::InstanceLock probe;
    if (probe.acquire(name) != os::winerr::kAlreadyExists) return false;
  }
  // The name is made from the first characters of the folder's path only, so a folder inside the
  // data folder (or beside it, with a long path in common) has the same one. The holder of the lock
  // works in its data folder: it is this folder's main program only when it works here.
  struct stat lockFile {};
  if (::stat(os::InstanceLock::lockPath(name).c_str(), &lockFile) != 0) return true;
  std::ifstream locks("/proc/locks");
  bool holderSeen = false;
  for (std::string line; std::getline(locks, line);) {
    // "1: FLOCK  ADVISORY  WRITE 1234 fe:00:5678 0 EOF": the holder's pid and the file's inode.
    std::istringstream in(line);
    std::string id, kind, mode, access, file;
    long pid = 0;
    if (!(in >> id >> kind >> mode >> access >> pid >> file) || kind != "FLOCK") continue;
    const size_t colon = file.rfind(':');
    if (colon == std::string::npos || std::strtoull(file.c_str() + colon + 1, nullptr, 10) != lockFile.st_ino)
      continue;
    holderSeen = true;
    const fs::path cwd = fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd", ec);
    if (ec) return true;  // a holder this user may not look at counts as working here
    if (fs::equivalent(cwd, canonical, ec) || ec) return true;
  }
  return !holderSeen;
}

RestoreSwap::~RestoreSwap() {
  discard();
  for (int fd : m_locks) ::close(fd);
}

void RestoreSwap::discard() {
  std::error_code ec;
  if (!m_staging.empty()) fs::remove_all(m_staging, ec);
  m_staging.clear();
  if (!m_aside.empty()) fs::remove(m_aside, ec);  // only when empty: it may hold the only copy of a file
}

bool RestoreSwap::stage() {
  std::error_code ec;
  fs::create_directories(m_folder, ec);
  std::string tmpl = m_folder + "/.qmtback-XXXXXX";
  if (!::mkdtemp(tmpl.data())) return false;
  m_staging = tmpl;
  return true;
}

std::vector<std::string> RestoreSwap::stagedFiles() const {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(m_staging, ec), end; !ec && it != end; it.increment(ec))
    if (!it->is_directory(ec)) out.push_back(fs::relative(it->path(), m_staging, ec).string());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> RestoreSwap::holders() {
  // First the locks (kept: nobody opens a file while it is replaced), then who has them open.
  std::vector<std::pair<FileId, bool>> targets;  // file, and whether another's lock is in the way
  for (const std::string& rel : stagedFiles()) {
    const std::string target = m_folder + "/" + rel;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    bool busy = false;
    int fd = lockFile(target, busy);
    if (fd >= 0) m_locks.push_back(fd);
    targets.push_back({{st.st_dev, st.st_ino}, busy});
  }
  std::set<FileId> ids;
  for (const auto& t : targets) ids.insert(t.first);
  std::map<FileId, std::vector<FileUser>> open = processesWithOpen(ids);
  std::vector<std::string> out;
  std::set<std::string> seen;
  for (const auto& [id, busy] : targets) {
    std::vector<FileUser> users = open[id];
    if (users.empty() && busy) users.push_back({0, "another program"});
    for (const FileUser& u : users) {
      std::string text = u.pid > 0 ? u.program + " (process " + std::to_string(u.pid) + ")" : u.program;
      if (seen.insert(text).second) out.push_back(text);
    }
  }
  return out;
}

bool RestoreSwap::commit(std::string& failed) {
  const std::vector<std::string> files = stagedFiles();
  const std::set<std::string> staged(files.begin(), files.end());
  std::string tmpl = m_folder + "/.qmtback-old-XXXXXX";
  if (!::mkdtemp(tmpl.data())) {
    failed = m_folder;
    return false;
  }
  m_aside = tmpl;

  struct Move {
    std::string from, to;
    bool exchanged = false;
  };
  std::vector<Move> done;
  std::error_code ec;
  auto move = [&](const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path(), ec);
    if (std::rename(from.c_str(), to.c_str()) != 0) return false;
    done.push_back({from, to});
    return true;
  };
  // The new file and the old one trade places in one step, so that the data folder never lacks
  // the file, not even for a moment; the old one lands in the staging folder. Where the file
  // system cannot do that, the old file is moved aside first.
  auto replace = [&](const std::string& staged, const std::string& target) {
    if (!isFile(target)) return move(staged, target);
    if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
      done.push_back({staged, target, true});
      return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    return move(target, m_aside + "/" + fs::path(staged).lexically_relative(m_staging).string()) &&
           move(staged, target);
  };

  bool ok = true;
  for (const std::string& rel : files) {
    const std::string target = m_folder + "/" + rel;
    // The old file's journals go aside unless the archive brings its own.
    for (const char* j : kJournals)
      if (!staged.count(rel + j) && isFile(target + j) && !move(target + j, m_aside + "/" + rel + j)) {
        ok = false;
        break;
      }
    if (!ok || !replace(m_staging + "/" + rel, target)) {
      ok = false;
      failed = target;
      break;
    }
  }
  if (ok) {
    fs::remove_all(m_aside, ec);
    m_aside.clear();
    return true;
  }
  // Everything back as it was, newest move first.
  m_putBack = true;
  for (auto it = done.rbegin(); it != done.rend(); ++it) {
    const int rc = it->exchanged ? ::renameat2(AT_FDCWD, it->to.c_str(), AT_FDCWD, it->from.c_str(), RENAME_EXCHANGE)
                                 : std::rename(it->to.c_str(), it->from.c_str());
    if (rc != 0) m_putBack = false;
  }
  if (m_putBack) {
    fs::remove_all(m_aside, ec);
    m_aside.clear();
  } else {
    // Never removed: between them they hold the old files that could not be put back.
    failed += " (the old files are kept in " + m_aside + " and " + m_staging + ")";
    m_aside.clear();
    m_staging.clear();
  }
  return false;
}

}  // namespace ov::backup
