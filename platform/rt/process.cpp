#include "process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "err.h"
#include "paths.h"
#include "text.h"

extern char** environ;

namespace ov::rt {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool endsWithExe(std::string_view s) {
  return s.size() > 4 && UPPER(s.substr(s.size() - 4)) == ".EXE";
}

bool statPath(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

bool isDirectory(const std::string& path) {
  struct stat st;
  return statPath(path, st) && S_ISDIR(st.st_mode);
}

std::string join(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  return folder.ends_with('/') ? folder + std::string(name) : folder + "/" + std::string(name);
}

// The file or folder `name` names, looked up ignoring case as resolvePath does; empty when there
// is none, with `missingFolder` telling whether a folder on the way is missing.
std::string existing(const std::string& name, bool* missingFolder = nullptr) {
  std::string p = resolvePath(name);
  if (!p.empty() && ::access(p.c_str(), F_OK) == 0) return p;
  if (missingFolder) {
    std::string folder = splitPath(p).folder;
    *missingFolder = !folder.empty() && !isDirectory(folder);
  }
  return {};
}

bool isProgramFile(const std::string& path) {
  struct stat st;
  return statPath(path, st) && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The names a program may go by: as written, and without its ".EXE".
std::vector<std::string> programNames(const std::string& name) {
  std::vector<std::string> names{name};
  if (endsWithExe(name)) names.push_back(name.substr(0, name.size() - 4));
  return names;
}

std::string currentFolder() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}

// The arguments after the program, split by the Windows rules for arguments.
void splitArguments(std::string_view s, size_t p, std::vector<std::string>& out) {
  for (;;) {
    while (p < s.size() && isBlank(s[p])) ++p;
    if (p >= s.size()) return;
    std::string arg;
    bool inQuote = false;
    for (;;) {
      size_t slashes = 0;
      while (p < s.size() && s[p] == '\\') ++p, ++slashes;
      bool copy = true;
      if (p < s.size() && s[p] == '"') {
        if (slashes % 2 == 0) {
          if (inQuote && p + 1 < s.size() && s[p + 1] == '"') {
            ++p;  // "" inside quotes: one literal quote
          } else {
            copy = false;
            inQuote = !inQuote;
          }
        }
        slashes /= 2;
      }
      arg.append(slashes, '\\');
      if (p >= s.size() || (!inQuote && isBlank(s[p]))) break;
      if (copy) arg += s[p];
      ++p;
    }
    out.push_back(std::move(arg));
  }
}

// ---- started programs --------------------------------------------------------------------------

struct Child {
  pid_t pid = 0;
  bool ended = false;
  int code = winerr::StillActive;
};

struct Table {
  std::mutex mutex;
  std::condition_variable changed;
  std::unordered_map<ProcessHandle, std::shared_ptr<Child>> open;
  ProcessHandle next = 1000;  // callers treat handles of 32 and below as "none"
};

// Never destroyed: watcher threads may still finish after main() has returned.
Table& table() {
  static Table* t = new Table;
  return *t;
}

int exitCodeOf(const siginfo_t& info) {
  if (info.si_code == CLD_EXITED) return info.si_status;
  return 128 + info.si_status;  // killed or dumped by a signal
}

// Waits for this one child. The child is first waited for without reaping it, so while `ended` is
// false its pid still belongs to it and a signal sent under the lock cannot reach a stranger.
void watch(std::shared_ptr<Child> child) {
  Table& t = table();
  siginfo_t info{};
  int rc;
  do rc = ::waitid(P_PID, static_cast<id_t>(child->pid), &info, WEXITED | WNOWAIT);
  while (rc == -1 && errno == EINTR);
  {
    std::lock_guard lock(t.mutex);
    child->ended = true;
    child->code = rc == 0 ? exitCodeOf(info) : -1;  // -1: someone else reaped it
  }
  if (rc == 0) {
    int status;
    while (::waitpid(child->pid, &status, 0) == -1 && errno == EINTR) {}
  }
  t.changed.notify_all();
}

// Spawns `path` with `argv`; returns 0 or an errno value.
int spawn(const std::string& path, const std::vector<std::string>& argv, const StartOptions& options, pid_t& pid) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (int rc = posix_spawn_file_actions_init(&actions)) return rc;
  if (int rc = posix_spawnattr_init(&attr)) {
    posix_spawn_file_actions_destroy(&actions);
    return rc;
  }
  int rc = 0;
  if (!options.folder.empty()) rc = posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
  // Handles are not inherited: the child gets stdin, stdout and stderr only.
  if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  // Signal mask and dispositions as a fresh process has them, whatever this program changed.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  if (rc == 0) rc = posix_spawnattr_setsigmask(&attr, &none);
  if (rc == 0) rc = posix_spawnattr_setsigdefault(&attr, &all);
  if (rc == 0) rc = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  if (rc == 0) rc = posix_spawn(&pid, path.c_str(), &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc;
}

Started launch(const std::string& path, const std::vector<std::string>& argv, const StartOptions& options) {
  Started result;
  if (!options.folder.empty() && !isDirectory(options.folder)) {
    result.error = winerr::PathNotFound;
    return result;
  }
  pid_t pid = 0;
  if (int rc = spawn(path, argv, options, pid)) {
    result.error = windowsError(rc);
    return result;
  }
  if (options.priority == 1) (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(pid), 19);
  if (options.priority == 3) (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(pid), -5);  // may be refused

  auto child = std::make_shared<Child>();
  child->pid = pid;
  try {
    std::thread(watch, child).detach();
  } catch (...) {
    // No watcher: end the child now rather than leave it unreaped.
    ::kill(pid, SIGKILL);
    int status;
    while (::waitpid(pid, &status, 0) == -1 && errno == EINTR) {}
    result.error = winerr::NotEnoughMemory;
    return result;
  }
  Table& t = table();
  std::lock_guard lock(t.mutex);
  result.handle = t.next++;
  result.pid = pid;
  t.open.emplace(result.handle, std::move(child));
  return result;
}

std::shared_ptr<Child> lookUp(ProcessHandle handle) {
  Table& t = table();
  auto it = t.open.find(handle);
  return it == t.open.end() ? nullptr : it->second;
}

bool isAddress(std::string_view s) {
  if (UPPER(s.substr(0, 4)) == "WWW.") return true;
  size_t colon = s.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;  // "C:..." is a drive, not a scheme
  for (size_t i = 0; i < colon; ++i) {
    char c = s[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    if (!ok) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (isBlank(s.back()) || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

thread_local int t_runCode = 0;

}  // namespace

int windowsError(int e) {
  switch (e) {
    case 0: return 0;
    case ENOENT: return winerr::FileNotFound;
    case ENOTDIR: return winerr::PathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return winerr::AccessDenied;
    case ENOMEM:
    case EAGAIN: return winerr::NotEnoughMemory;
    case EMFILE:
    case ENFILE: return winerr::TooManyOpenFiles;
    case ENOEXEC:
    case ELIBBAD:
    case ELIBEXEC: return winerr::BadFormat;
    case ETXTBSY:
    case EBUSY: return winerr::SharingViolation;
    case ELIBACC: return winerr::LibraryNotFound;
    case EINVAL: return winerr::InvalidParameter;
    case ENOSPC: return winerr::DiskFull;
    case E2BIG:
    case ENAMETOOLONG:
    case ELOOP: return winerr::NameTooLong;
    case ECANCELED: return winerr::Cancelled;
    case ETIMEDOUT: return winerr::Timeout;
    default: return winerr::NoAssociation;
  }
}

std::vector<std::string> splitCommandLine(std::string_view s) {
  std::vector<std::string> out;
  size_t p = 0;
  while (p < s.size() && isBlank(s[p])) ++p;
  if (p >= s.size()) return out;
  // The program: quotes only group, backslashes are plain characters.
  std::string program;
  bool inQuote = false;
  for (; p < s.size(); ++p) {
    if (s[p] == '"') {
      inQuote = !inQuote;
      continue;
    }
    if (!inQuote && isBlank(s[p])) break;
    program += s[p];
  }
  out.push_back(std::move(program));
  splitArguments(s, p, out);
  return out;
}

std::string programFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return currentFolder();
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string findProgram(std::string_view nameIn, int* error) {
  auto fail = [&](int code) {
    if (error) *error = code;
    return std::string();
  };
  if (error) *error = 0;
  std::string name = normalizePath(trimmed(nameIn));
  if (name.empty()) return fail(winerr::FileNotFound);

  if (name.find('/') != std::string::npos) {
    // A path: taken as written (relative to the current folder), parts matched ignoring case.
    bool missingFolder = false;
    std::string other;
    for (const std::string& candidate : programNames(name)) {
      bool missing = false;
      std::string found = existing(candidate, &missing);
      missingFolder = missingFolder || missing;
      if (found.empty()) continue;
      if (isProgramFile(found)) return found.starts_with('/') ? found : join(currentFolder(), found);
      if (other.empty()) other = found;
    }
    if (!other.empty()) return fail(winerr::AccessDenied);
    return fail(missingFolder ? winerr::PathNotFound : winerr::FileNotFound);
  }

  std::vector<std::string> folders{programFolder(), currentFolder()};
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      size_t colon = rest.find(':');
      std::string_view dir = rest.substr(0, colon);
      folders.emplace_back(dir.empty() ? "." : dir);
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
  }
  bool sawFile = false;
  for (const std::string& folder : folders) {
    for (const std::string& candidate : programNames(name)) {
      std::string found = existing(join(folder, candidate));
      if (found.empty()) continue;
      if (isProgramFile(found)) return found.starts_with('/') ? found : join(currentFolder(), found);
      sawFile = true;
    }
  }
  return fail(sawFile ? winerr::AccessDenied : winerr::FileNotFound);
}

Started startProgram(std::string_view line, const StartOptions& options) {
  std::string_view s = trimmed(line);
  Started result;
  if (s.empty()) {
    result.error = winerr::FileNotFound;
    return result;
  }
  std::string path;
  std::vector<std::string> argv;
  if (s.front() == '"') {
    argv = splitCommandLine(s);
    path = findProgram(argv.front(), &result.error);
  } else {
    // Unquoted: the first word, then the first two words, ... as Windows tries them.
    int firstError = 0;
    for (size_t end = 0;;) {
      end = s.find_first_of(" \t", end);
      std::string_view program = s.substr(0, end);
      int error = 0;
      path = findProgram(program, &error);
      if (!path.empty()) {
        argv.emplace_back(program);
        if (end != std::string_view::npos) splitArguments(s, end, argv);
        break;
      }
      if (firstError == 0) firstError = error;
      if (end == std::string_view::npos) break;
      while (end < s.size() && isBlank(s[end])) ++end;
    }
    result.error = path.empty() ? firstError : 0;
  }
  if (path.empty()) return result;
  argv.front() = path;
  return launch(path, argv, options);
}

Started shellOpen(std::string_view fileIn, std::string_view parameters, std::string_view folderIn,
                  std::string_view verbIn) {
  Started result;
  std::string verb = LOWER(trimmed(verbIn));
  if (!verb.empty() && verb != "open" && verb != "explore" && verb != "edit") {
    result.error = winerr::NoAssociation;
    return result;
  }
  std::string_view file = trimmed(fileIn);
  std::string folder = normalizePath(trimmed(folderIn));
  StartOptions options;
  options.folder = folder;
  if (file.empty()) {
    result.error = winerr::FileNotFound;
    return result;
  }
  if (!folder.empty() && !isDirectory(folder)) {
    result.error = winerr::PathNotFound;
    return result;
  }

  std::string target;
  if (isAddress(file)) {
    target = std::string(file);
  } else {
    std::string name = normalizePath(file);
    bool missingFolder = false;
    std::string found;
    if (name.find('/') == std::string::npos) {
      // A bare name: a document in the folder given, or a program found as startProgram finds it.
      if (!folder.empty()) found = existing(join(folder, name));
      if (found.empty()) found = existing(name);
      if (found.empty()) {
        int error = 0;
        found = findProgram(name, &error);
        if (found.empty()) {
          result.error = error;
          return result;
        }
      }
    } else {
      if (!folder.empty() && !name.starts_with('/')) found = existing(join(folder, name), &missingFolder);
      if (found.empty()) found = existing(name, &missingFolder);
      if (found.empty() && endsWithExe(name)) found = findProgram(name);
      if (found.empty()) {
        result.error = missingFolder ? winerr::PathNotFound : winerr::FileNotFound;
        return result;
      }
    }
    if (isProgramFile(found)) {
      std::vector<std::string> argv{found};
      splitArguments(parameters, 0, argv);
      return launch(found, argv, options);
    }
    if (!found.starts_with('/')) found = currentFolder() + "/" + found;
    target = found;
  }

  std::string opener = findProgram("xdg-open");
  if (opener.empty()) {
    result.error = winerr::NoAssociation;
    return result;
  }
  result = launch(opener, {opener, target}, options);
  if (!result.ok()) return result;
  // xdg-open reports a missing handler at once; a handler that stays open is success.
  int code = winerr::StillActive;
  if (waitProgram(result.handle, 1000) == WaitResult::Ended && programExitCode(result.handle, code) && code != 0) {
    closeProgram(result.handle);
    result = Started{};
    result.error = code == 2 ? winerr::FileNotFound : code == 3 ? winerr::NoAssociation : winerr::AssociationIncomplete;
  }
  return result;
}

bool programExitCode(ProcessHandle handle, int& code) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  auto child = lookUp(handle);
  if (!child) return false;
  code = child->ended ? child->code : winerr::StillActive;
  return true;
}

WaitResult waitProgram(ProcessHandle handle, int timeoutMs) {
  Table& t = table();
  std::unique_lock lock(t.mutex);
  auto child = lookUp(handle);
  if (!child) return WaitResult::NoSuchHandle;
  auto ended = [&] { return child->ended; };
  if (timeoutMs < 0) {
    t.changed.wait(lock, ended);
    return WaitResult::Ended;
  }
  return t.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended) ? WaitResult::Ended
                                                                               : WaitResult::TimedOut;
}

bool endProgram(ProcessHandle handle, int graceMs) {
  Table& t = table();
  std::unique_lock lock(t.mutex);
  auto child = lookUp(handle);
  if (!child) return false;
  auto ended = [&] { return child->ended; };
  if (child->ended) return true;
  ::kill(child->pid, SIGTERM);
  if (t.changed.wait_for(lock, std::chrono::milliseconds(std::max(graceMs, 0)), ended)) return true;
  ::kill(child->pid, SIGKILL);
  return t.changed.wait_for(lock, std::chrono::seconds(10), ended);
}

int programPid(ProcessHandle handle) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  auto child = lookUp(handle);
  return child ? child->pid : 0;
}

void closeProgram(ProcessHandle handle) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  t.open.erase(handle);  // the watcher keeps the child until it has reaped it
}

int runProgram(std::string_view commandLine, int& exitCode, const StartOptions& options, int timeoutMs) {
  exitCode = winerr::StillActive;
  Started s = startProgram(commandLine, options);
  if (!s.ok()) return s.error;
  if (waitProgram(s.handle, timeoutMs) == WaitResult::Ended) (void)programExitCode(s.handle, exitCode);
  closeProgram(s.handle);
  return 0;
}

void RUN(std::string_view command, bool wait) {
  int code = 0;
  int error = wait ? runProgram(command, code) : 0;
  if (!wait) {
    Started s = startProgram(command);
    error = s.error;
    if (s.ok()) closeProgram(s.handle);
  }
  if (error) {
    setError(static_cast<Err>(error), command);
    t_runCode = -4;
    return;
  }
  clearError();
  t_runCode = code;
}

int RUNCODE() { return t_runCode; }

}  // namespace ov::rt
