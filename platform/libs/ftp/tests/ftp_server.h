// A pyftpdlib FTP server on 127.0.0.1 for tests: user "probe", password "pw", writable, serving a
// temporary folder. Starting is quick but stopping takes seconds, so a test program shares one
// server (shared()) and each test works in a folder of its own under the root.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ov::ftplib::test {

class FtpServer {
 public:
  // Why the server cannot run here ("" when it can).
  static std::string unavailable();
  // The program's server, started on first use and stopped (by its pid) at exit.
  static FtpServer& shared();

  // `bytesPerSecond` above 0 slows every data connection down to it (for tests that act while a
  // transfer is under way).
  explicit FtpServer(int bytesPerSecond = 0);
  ~FtpServer();
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;

  bool running() const { return m_pid > 0 && m_port != 0; }
  uint16_t port() const { return m_port; }
  const std::string& root() const { return m_root; }
  const std::string& error() const { return m_error; }

  // Files under the served folder, by path relative to it.
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  void makeFolder(const std::string& name) const;
  // A fresh folder under the root for one test ("t1", "t2", ...): its name.
  std::string freshFolder();

 private:
  std::string m_root;
  uint16_t m_port = 0;
  pid_t m_pid = 0;
  int m_folders = 0;
  std::string m_error;
};

// A port on 127.0.0.1 where nothing listens.
uint16_t deadPort();

// A port on 127.0.0.1 that takes connections and never says a word, while it lives.
class SilentPort {
 public:
  SilentPort();
  ~SilentPort();
  SilentPort(const SilentPort&) = delete;
  SilentPort& operator=(const SilentPort&) = delete;
  uint16_t port() const { return m_port; }

 private:
  int m_fd = -1;
  uint16_t m_port = 0;
};

// A temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return m_path; }
  std::string file(const std::string& name) const { return m_path + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  std::vector<std::string> list() const;

 private:
  std::string m_path;
};

}  // namespace ov::ftplib::test
