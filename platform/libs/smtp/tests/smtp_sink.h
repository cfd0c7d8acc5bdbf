// Test helpers: the loopback mail server of smtp_sink.py, and the stored messages read back
// through Python's mail parser (read_mail.py beside it). OV_SMTP_SINK names smtp_sink.py.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace ov::smtp::testing {

// One stored message: the envelope, and the fields read_mail.py printed ("attachment" lines are
// collected in order).
struct StoredMail {
  std::string mailFrom;
  std::vector<std::string> recipients;
  std::string login;
  std::map<std::string, std::string> fields;
  std::vector<std::string> attachments;
  std::string raw;

  const std::string& operator[](const std::string& key) const {
    static const std::string none;
    auto it = fields.find(key);
    return it == fields.end() ? none : it->second;
  }
};

inline std::string readWholeFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class SmtpSink {
 public:
  // Starts the server storing into `folder` (created by the server); with a user, AUTH is offered.
  SmtpSink(std::filesystem::path folder, const std::string& user = {}, const std::string& password = {})
      : m_folder(std::move(folder)) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    std::vector<std::string> args = {"/usr/bin/python3", OV_SMTP_SINK, m_folder.string()};
    if (!user.empty()) {
      args.push_back(user);
      args.push_back(password);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) m_pid = 0;
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    // The port line, or nothing when the server did not come up within 15 seconds.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (m_pid && line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out[0], POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buf[64];
      const ssize_t n = ::read(out[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, size_t(n));
    }
    ::close(out[0]);
    m_port = std::atoi(line.c_str());
  }

  ~SmtpSink() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
  }
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  int port() const { return m_port; }
  std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }

  // The number of messages stored so far.
  size_t count() const {
    size_t n = 0;
    while (std::filesystem::exists(m_folder / (number(int(n) + 1) + ".env"))) ++n;
    return n;
  }

  // The messages stored so far, in order, from the `first`-th on (0-based).
  std::vector<StoredMail> messages(size_t first = 0) const {
    std::vector<StoredMail> out;
    for (int n = int(first) + 1;; ++n) {
      const std::string base = number(n);
      const std::filesystem::path env = m_folder / (std::string(base) + ".env");
      if (!std::filesystem::exists(env)) break;
      StoredMail m;
      std::istringstream e(readWholeFile(env));
      std::string rcpts;
      std::getline(e, m.mailFrom);
      std::getline(e, rcpts);
      std::getline(e, m.login);
      std::istringstream r(rcpts);
      for (std::string a; r >> a;) m.recipients.push_back(a);
      const std::filesystem::path eml = m_folder / (std::string(base) + ".eml");
      m.raw = readWholeFile(eml);
      readBack(eml, m);
      out.push_back(std::move(m));
    }
    return out;
  }

 private:
  static std::string number(int n) {
    char base[16];
    std::snprintf(base, sizeof base, "%03d", n);
    return base;
  }

  static void readBack(const std::filesystem::path& eml, StoredMail& m) {
    const std::string script = std::filesystem::path(OV_SMTP_SINK).parent_path() / "read_mail.py";
    const std::string command = "/usr/bin/python3 '" + script + "' '" + eml.string() + "'";
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return;
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    ::pclose(p);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      if (key == "attachment")
        m.attachments.push_back(value);
      else
        m.fields[key] = value;
    }
  }

  std::filesystem::path m_folder;
  pid_t m_pid = 0;
  int m_port = 0;
};

}  // namespace ov::smtp::testing
