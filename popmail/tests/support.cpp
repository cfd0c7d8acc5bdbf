#include "popmail/tests/support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "netlib/net_callback.h"
#include "popmail/pop_receiver.h"

extern char** environ;

#ifndef OV_POP_PROGRAM
#define OV_POP_PROGRAM "ov_pop"
#endif

namespace ov::pop::test {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::uint16_t freePort() {
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

bool portAnswers(std::uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

pid_t spawn(const std::vector<std::string>& args, const std::string& logFile, char** env) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

// Waits for `pid` at most `ms`; its exit status, or -1 when it still runs.
int waitExit(pid_t pid, int ms) {
  auto until = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return status;
    if (r < 0 || Clock::now() > until) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void sendAll(int fd, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::string stuffed(const std::string& message) {
  std::string out;
  size_t pos = 0;
  while (pos < message.size()) {
    size_t end = message.find("\r\n", pos);
    std::string line = message.substr(pos, end == std::string::npos ? std::string::npos : end + 2 - pos);
    if (!line.empty() && line[0] == '.') out += '.';
    out += line;
    if (end == std::string::npos) {
      out += "\r\n";
      break;
    }
    pos = end + 2;
  }
  return out;
}

}  // namespace

// ---- Scratch ------------------------------------------------------------------------------------

Scratch::Scratch() {
  char tmpl[] = "/tmp/ov_pop_XXXXXX";
  m_root = ::mkdtemp(tmpl);
  m_savedCwd = fs::current_path().string();
  if (const char* v = ::getenv("XDG_CONFIG_HOME")) m_savedConfig = v;
  if (const char* v = ::getenv("XDG_DATA_HOME")) m_savedData = v;
  ::setenv("XDG_CONFIG_HOME", (m_root + "/.config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (m_root + "/.data").c_str(), 1);
  fs::current_path(m_root);
}

Scratch::~Scratch() {
  std::error_code ec;
  fs::current_path(m_savedCwd, ec);
  if (m_savedConfig) ::setenv("XDG_CONFIG_HOME", m_savedConfig->c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");
  if (m_savedData) ::setenv("XDG_DATA_HOME", m_savedData->c_str(), 1);
  else ::unsetenv("XDG_DATA_HOME");
  fs::remove_all(m_root, ec);
}

void Scratch::write(const std::string& name, const std::string& text) const {
  fs::create_directories(fs::path(path(name)).parent_path());
  std::ofstream(path(name), std::ios::binary) << text;
}

std::string Scratch::read(const std::string& name) const {
  std::ifstream in(path(name), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> Scratch::list(const std::string& folder) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(path(folder), ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

// ---- Dovecot ------------------------------------------------------------------------------------

std::string Dovecot::unavailable() {
  if (::access("/usr/sbin/dovecot", X_OK) != 0) return "dovecot is not installed (Debian package dovecot-pop3d)";
  return {};
}

Dovecot::Dovecot() {
  char tmpl[] = "/tmp/ov_dovecot_XXXXXX";
  m_dir = ::mkdtemp(tmpl);
  ::chmod(m_dir.c_str(), 0755);  // the mail processes run as another user and must reach the maildir
  fs::create_directories(m_dir + "/run");
  for (const char* sub : {"new", "cur", "tmp"}) fs::create_directories(m_dir + "/mail/alice/" + sub);
  std::ofstream(m_dir + "/users") << "alice:{PLAIN}alicepw::::::\n";
  const bool root = ::geteuid() == 0;
  std::string user, group;
  uid_t uid = ::geteuid();
  gid_t gid = ::getegid();
  if (root) {
    user = "nobody";
    group = "nogroup";
    if (passwd* pw = ::getpwnam("nobody")) uid = pw->pw_uid;
    if (::group* gr = ::getgrnam("nogroup")) gid = gr->gr_gid;
  } else {
    passwd* pw = ::getpwuid(uid);
    ::group* gr = ::getgrgid(gid);
    user = pw ? pw->pw_name : std::to_string(uid);
    group = gr ? gr->gr_name : std::to_string(gid);
  }
  for (const auto& e : fs::recursive_directory_iterator(m_dir + "/mail"))
    if (::lchown(e.path().c_str(), uid, gid) != 0) m_error = "cannot hand the maildir to " + user;
  (void)::lchown((m_dir + "/mail").c_str(), uid, gid);
  m_port = freePort();
  std::ofstream conf(m_dir + "/dovecot.conf");
  conf << "protocols = pop3\nlisten = 127.0.0.1\n"
       << "base_dir = " << m_dir << "/run\nstate_dir = " << m_dir << "/run\nlog_path = " << m_dir << "/dovecot.log\n"
       << "ssl = no\ndisable_plaintext_auth = no\nauth_mechanisms = plain\nauth_failure_delay = 0 secs\n"
       << "mail_location = maildir:" << m_dir << "/mail/%u\n"
       << "passdb {\n  driver = passwd-file\n  args = " << m_dir << "/users\n}\n"
       << "userdb {\n  driver = static\n  args = uid=" << user << " gid=" << group << " home=" << m_dir
       << "/mail/%u\n}\n"
       << "service pop3-login {\n  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " << m_port
       << "\n  }\n  inet_listener pop3s {\n    port = 0\n  }\n";
  if (!root) conf << "  chroot =\n";
  conf << "}\n";
  if (!root) {
    conf << "service anvil {\n  chroot =\n}\n"
         << "default_internal_user = " << user << "\ndefault_internal_group = " << group
         << "\ndefault_login_user = " << user << "\n";
  }
  conf.close();
  m_pid = spawn({"/usr/sbin/dovecot", "-c", m_dir + "/dovecot.conf", "-F"}, m_dir + "/stdout.log", environ);
  auto until = Clock::now() + std::chrono::seconds(10);
  while (m_pid > 0 && !portAnswers(m_port)) {
    if (Clock::now() > until || waitExit(m_pid, 0) != -1) {
      std::ifstream log(m_dir + "/stdout.log");
      std::stringstream ss;
      ss << log.rdbuf();
      m_error = "dovecot did not open its port: " + ss.str();
      m_port = 0;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Dovecot::~Dovecot() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);
    if (waitExit(m_pid, 10000) == -1) {
      ::kill(m_pid, SIGKILL);
      waitExit(m_pid, 2000);
    }
  }
  std::error_code ec;
  fs::remove_all(m_dir, ec);
}

void Dovecot::deliver(const std::string& message) {
  const int n = ++m_counter;
  std::string name = m_dir + "/mail/alice/new/" + std::to_string(1700000000 + n) + ".M" + std::to_string(n) + "P1.test";
  std::ofstream(name, std::ios::binary) << message;
  struct stat st{};
  if (::stat((m_dir + "/mail/alice").c_str(), &st) == 0) (void)::lchown(name.c_str(), st.st_uid, st.st_gid);
}

size_t Dovecot::messageCount() const {
  size_t n = 0;
  std::error_code ec;
  for (const char* sub : {"/new", "/cur"})
    for (const auto& e : fs::directory_iterator(m_dir + "/mail/alice" + sub, ec)) {
      (void)e;
      ++n;
    }
  return n;
}

// ---- ScriptedPop3 -------------------------------------------------------------------------------

ScriptedPop3::ScriptedPop3(Script script) : m_script(std::move(script)) {
  m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::listen(m_listen, 4);
  socklen_t len = sizeof a;
  ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
  m_port = ntohs(a.sin_port);
  m_thread = std::thread([this] { serve(); });
}

ScriptedPop3::~ScriptedPop3() {
  m_stop = true;
  m_thread.join();
  ::close(m_listen);
}

std::vector<std::string> ScriptedPop3::commands() {
  std::lock_guard lock(m_mutex);
  return m_commands;
}

std::vector<int> ScriptedPop3::deleted() {
  std::lock_guard lock(m_mutex);
  return m_deleted;
}

void ScriptedPop3::serve() {
  while (!m_stop) {
    pollfd p{m_listen, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    session(fd);
    ::close(fd);
  }
}

void ScriptedPop3::session(int fd) {
  sendAll(fd, "+OK scripted server ready\r\n");
  std::string in;
  std::vector<int> marked;
  bool silent = false;
  auto reply = [&](const std::string& command, const std::string& normal) {
    auto it = m_script.replies.find(command);
    sendAll(fd, it != m_script.replies.end() ? it->second : normal);
  };
  while (!m_stop) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    char buf[4096];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    in.append(buf, static_cast<size_t>(n));
    for (size_t eol; (eol = in.find("\r\n")) != std::string::npos;) {
      std::string command = in.substr(0, eol);
      in.erase(0, eol + 2);
      {
        std::lock_guard lock(m_mutex);
        m_commands.push_back(command);
      }
      if (silent) continue;
      if (!m_script.stallOn.empty() && command.rfind(m_script.stallOn, 0) == 0) {
        silent = true;  // no answer to this command, nor to any after it
        continue;
      }
      std::istringstream words(command);
      std::string verb;
      long number = 0;
      words >> verb >> number;
      const auto& box = m_script.messages;
      bool valid = number >= 1 && number <= static_cast<long>(box.size());
      if (verb == "CAPA" && !m_script.capabilities.empty()) {
        std::string list = "+OK\r\n";
        for (const std::string& c : m_script.capabilities) list += c + "\r\n";
        reply(command, list + ".\r\n");
      } else if (verb == "USER" || verb == "NOOP") {
        reply(command, "+OK\r\n");
      } else if (verb == "PASS") {
        reply(command, command == "PASS " + m_script.password ? "+OK logged in\r\n" : "-ERR [AUTH] Authentication failed.\r\n");
      } else if (verb == "STAT") {
        size_t total = 0;
        for (const std::string& m : box) total += m.size();
        reply(command, "+OK " + std::to_string(box.size()) + " " + std::to_string(total) + "\r\n");
      } else if (verb == "LIST" && valid) {
        reply(command, "+OK " + std::to_string(number) + " " + std::to_string(box[number - 1].size()) + "\r\n");
      } else if (verb == "UIDL" && valid) {
        reply(command, "+OK " + std::to_string(number) + " uid-" + std::to_string(number) + "\r\n");
      } else if (verb == "TOP" && valid) {
        const std::string& m = box[number - 1];
        size_t h = m.find("\r\n\r\n");
        std::string head = h == std::string::npos ? m : m.substr(0, h + 4);
        reply(command, "+OK\r\n" + stuffed(head) + ".\r\n");
      } else if (verb == "RETR" && valid) {
        reply(command, "+OK message follows\r\n" + stuffed(box[number - 1]) + ".\r\n");
      } else if (verb == "DELE" && valid) {
        marked.push_back(static_cast<int>(number));
        reply(command, "+OK marked\r\n");
      } else if (verb == "QUIT") {
        {
          std::lock_guard lock(m_mutex);
          m_deleted.insert(m_deleted.end(), marked.begin(), marked.end());
        }
        reply(command, "+OK bye\r\n");
        if (m_script.closeAfterQuit) return;
      } else {
        reply(command, "-ERR unknown command\r\n");
      }
      if (!m_script.hangUpOn.empty() && command.rfind(m_script.hangUpOn, 0) == 0) return;
    }
  }
}

// ---- Driving ------------------------------------------------------------------------------------

bool runFetch(PopReceiver& receiver, int ms) {
  net::CallbackQueue queue(1);
  bool closed = false;
  receiver.onClose = [&] { closed = true; };
  receiver.UseThisThread = 1;
  receiver.Init();
  receiver.StartFetch();
  auto until = Clock::now() + std::chrono::milliseconds(ms);
  auto nextTimer = Clock::now();
  while (!closed && Clock::now() < until) {
    int event;
    if (queue.take(event, std::chrono::milliseconds(20))) receiver.TakeEvent(event);
    if (Clock::now() >= nextTimer) {
      receiver.UpdateProgress();
      receiver.CheckTimeout();
      nextTimer = Clock::now() + std::chrono::milliseconds(20);
    }
  }
  receiver.Kill();
  return closed;
}

int runProgram(const std::vector<std::string>& arguments, int timeoutMs) {
  std::vector<std::string> args{OV_POP_PROGRAM};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e)
    if (std::string_view(*e).rfind("QT_QPA_PLATFORM=", 0) != 0) envText.emplace_back(*e);
  envText.emplace_back("QT_QPA_PLATFORM=offscreen");
  std::vector<char*> env;
  for (std::string& s : envText) env.push_back(s.data());
  env.push_back(nullptr);
  pid_t pid = spawn(args, "ov_pop.out", env.data());
  if (pid <= 0) return -1;
  int status = waitExit(pid, timeoutMs);
  if (status == -1) {
    ::kill(pid, SIGKILL);
    waitExit(pid, 2000);
    return -2;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace ov::pop::test
