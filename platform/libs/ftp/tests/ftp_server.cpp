#include "platform/libs/ftp/tests/ftp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace ov::ftplib::test {
namespace fs = std::filesystem;

namespace {

uint16_t freePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

bool portAnswers(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

std::string FtpServer::unavailable() {
  if (::access("/usr/bin/python3", X_OK) != 0) return "/usr/bin/python3 is missing";
  if (!fs::exists("/usr/lib/python3/dist-packages/pyftpdlib"))
    return "pyftpdlib is not installed (Debian package python3-pyftpdlib)";
  return {};
}

FtpServer& FtpServer::shared() {
  static FtpServer server;
  return server;
}

namespace {

// pyftpdlib with its throttled data handler: root, port, bytes per second.
const char kThrottled[] = R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
users = DummyAuthorizer()
users.add_user('probe', 'pw', sys.argv[1], perm='elradfmwMT')
ThrottledDTPHandler.read_limit = int(sys.argv[3])
ThrottledDTPHandler.write_limit = int(sys.argv[3])
FTPHandler.authorizer = users
FTPHandler.dtp_handler = ThrottledDTPHandler
FTPServer(('127.0.0.1', int(sys.argv[2])), FTPHandler).serve_forever()
)";

}  // namespace

FtpServer::FtpServer(int bytesPerSecond) {
  char tmpl[] = "/tmp/ov_ftpd_XXXXXX";
  m_root = ::mkdtemp(tmpl);
  m_port = freePort();
  const std::string port = std::to_string(m_port);
  const std::string log = m_root + ".log";
  std::vector<std::string> args = {"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", port,
                                   "-w", "-d", m_root, "-u", "probe", "-P", "pw"};
  if (bytesPerSecond > 0) args = {"/usr/bin/python3", "-c", kThrottled, m_root, port, std::to_string(bytesPerSecond)};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  if (m_pid <= 0) {
    m_error = "cannot start pyftpdlib";
    return;
  }
  for (int i = 0; i < 200 && !portAnswers(m_port); ++i) {
    if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
      m_pid = 0;
      m_error = "pyftpdlib ended: " + readFile(log);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  if (!portAnswers(m_port)) m_error = "pyftpdlib never opened port " + port;
}

FtpServer::~FtpServer() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 400; ++i) {
      if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) break;
      if (i == 300) ::kill(m_pid, SIGKILL);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::error_code ec;
  fs::remove_all(m_root, ec);
  fs::remove(m_root + ".log", ec);
}

void FtpServer::write(const std::string& name, const std::string& bytes) const { writeFile(m_root + "/" + name, bytes); }
std::string FtpServer::read(const std::string& name) const { return readFile(m_root + "/" + name); }
bool FtpServer::exists(const std::string& name) const { return fs::exists(m_root + "/" + name); }
void FtpServer::makeFolder(const std::string& name) const { fs::create_directories(m_root + "/" + name); }

std::string FtpServer::freshFolder() {
  std::string name = "t" + std::to_string(++m_folders);
  makeFolder(name);
  return name;
}

uint16_t deadPort() { return freePort(); }

SilentPort::SilentPort() {
  m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && ::listen(m_fd, 8) == 0 &&
      ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&at), &len) == 0)
    m_port = ntohs(at.sin_port);
}

SilentPort::~SilentPort() {
  if (m_fd >= 0) ::close(m_fd);
}

TempFolder::TempFolder() {
  char tmpl[] = "/tmp/ov_ftp_XXXXXX";
  m_path = ::mkdtemp(tmpl);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(m_path, ec);
}

void TempFolder::write(const std::string& name, const std::string& bytes) const { writeFile(file(name), bytes); }
std::string TempFolder::read(const std::string& name) const { return readFile(file(name)); }
bool TempFolder::exists(const std::string& name) const { return fs::exists(file(name)); }

std::vector<std::string> TempFolder::list() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(m_path, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace ov::ftplib::test
