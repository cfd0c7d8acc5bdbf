#include "ftp/tests/support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

#ifndef OVFTP_PROGRAM
#define OVFTP_PROGRAM "ovftp"
#endif

namespace ov::ftp::test {
namespace fs = std::filesystem;

void LoopHost::postEvent(int event) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_queue.emplace_back(false, event);
  m_cv.notify_all();
}

void LoopHost::postNotify(int code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_queue.emplace_back(true, code);
  m_cv.notify_all();
}

bool LoopHost::run(FtpOperation& operation, FtpSession& session, int ms,
                   const std::function<void(int event)>& afterEvent) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  operation.Start();
  while (!operation.isClosing()) {
    std::pair<bool, int> item;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      if (!m_cv.wait_until(lock, until, [&] { return !m_queue.empty(); })) return false;
      item = m_queue.front();
      m_queue.pop_front();
    }
    if (item.first) {
      session.TakeNotify(item.second);
    } else {
      operation.Take(item.second);
      if (afterEvent) afterEvent(item.second);
    }
  }
  return true;
}

ProgramFolder::ProgramFolder() {
  char tmpl[] = "/tmp/ov_ftpprog_XXXXXX";
  m_path = ::mkdtemp(tmpl);
  fs::copy_file(OVFTP_PROGRAM, m_path + "/ovftp");
  fs::create_directories(m_path + "/runtime");
  fs::permissions(m_path + "/runtime", fs::perms::owner_all);
}

ProgramFolder::~ProgramFolder() {
  std::error_code ec;
  fs::remove_all(m_path, ec);
}

bool ProgramFolder::exists(const std::string& name) const { return fs::exists(file(name)); }

void ProgramFolder::write(const std::string& name, const std::string& text) const {
  std::ofstream(file(name), std::ios::binary | std::ios::trunc) << text;
}

std::string ProgramFolder::runtimeFolder() const {
  const std::string folder = m_path + "/runtime";
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

int ProgramFolder::run(const std::vector<std::string>& arguments, int ms, bool display) const {
  std::vector<std::string> args = {m_path + "/ovftp"};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtimeFolder(), "XDG_CONFIG_HOME=" + m_path + "/config",
                                  "XDG_DATA_HOME=" + m_path + "/data", "HOME=" + m_path};
  if (display) env.push_back("QT_QPA_PLATFORM=offscreen");
  if (const char* path = ::getenv("PATH")) env.push_back(std::string("PATH=") + path);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = m_path + "/ovftp.out";
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, m_path.c_str());
  pid_t pid = 0;
  int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return 1001;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : 1002;
    if (std::chrono::steady_clock::now() > until) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      return 1000;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace ov::ftp::test
