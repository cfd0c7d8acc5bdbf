// killproc PROGRAM [ARGUMENTS...]: ends every process of this user whose program has the name
// that PROGRAM names (its file name without folder and extension, ignoring case), as "Close
// Program" asks when it can find neither the window nor the process it started. The arguments
// after the program are ignored: the line is the command the script started.
//
// Each process is asked to end (SIGTERM) and killed when it is still there 3 seconds later.
// Exit codes: 0 at least one process ended; 1 none was running; 2 wrong arguments.
#include <dirent.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/rt/text.h"

namespace {

// The name of a program path: without folder (either separator) and extension, upper-cased.
std::string programName(std::string path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos) path.erase(0, slash + 1);
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot > 0) path.erase(dot);
  return ov::rt::UPPER(path);
}

std::string firstArgument(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::string arg;
  std::getline(in, arg, '\0');
  return arg;
}

std::string executable(pid_t pid) {
  char buf[4096];
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, size_t(n));
  if (path.ends_with(" (deleted)")) path.resize(path.size() - 10);
  return path;
}

std::vector<pid_t> matching(const std::string& name) {
  std::vector<pid_t> pids;
  DIR* proc = ::opendir("/proc");
  if (!proc) return pids;
  const pid_t self = ::getpid();
  while (const dirent* e = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (*end != '\0' || pid <= 1 || pid == self) continue;
    const std::string exe = executable(pid), arg0 = firstArgument(pid);
    if ((!exe.empty() && programName(exe) == name) || (!arg0.empty() && programName(arg0) == name))
      pids.push_back(pid_t(pid));
  }
  ::closedir(proc);
  return pids;
}

bool alive(pid_t pid) {
  if (::kill(pid, 0) != 0) return false;
  // A zombie has ended; only its parent's reaping is missing.
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  const size_t close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: killproc PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  const std::string name = programName(argv[1]);
  std::vector<pid_t> pids = matching(name);
  int ended = 0;
  for (pid_t pid : pids)
    if (::kill(pid, SIGTERM) == 0) ++ended;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (pid_t pid : pids) {
    while (alive(pid) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (alive(pid)) (void)::kill(pid, SIGKILL);
  }
  if (ended == 0) std::fprintf(stderr, "killproc: no process named %s\n", argv[1]);
  return ended > 0 ? 0 : 1;
}
