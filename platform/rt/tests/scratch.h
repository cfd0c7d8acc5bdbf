// A temporary folder for one test: the current folder while it lives, with XDG_CONFIG_HOME and
// XDG_DATA_HOME pointing inside it. Everything is put back and removed when it goes.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace ov::rt::testing {

class Scratch {
 public:
  Scratch() {
    char tmpl[] = "/tmp/ov_rt_XXXXXX";
    m_root = ::mkdtemp(tmpl);
    m_savedCwd = std::filesystem::current_path();
    saveEnv("XDG_CONFIG_HOME", m_savedConfig);
    saveEnv("XDG_DATA_HOME", m_savedData);
    ::setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
    std::filesystem::current_path(m_root);
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::current_path(m_savedCwd, ec);
    restoreEnv("XDG_CONFIG_HOME", m_savedConfig);
    restoreEnv("XDG_DATA_HOME", m_savedData);
    std::filesystem::remove_all(m_root, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::string& root() const { return m_root; }
  std::string path(const std::string& name) const { return m_root + "/" + name; }

  void write(const std::string& name, const std::string& text) const {
    std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
    std::ofstream(path(name), std::ios::binary) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void mkdir(const std::string& name) const { std::filesystem::create_directories(path(name)); }

 private:
  static void saveEnv(const char* name, std::optional<std::string>& saved) {
    if (const char* v = ::getenv(name)) saved = v;
  }
  static void restoreEnv(const char* name, const std::optional<std::string>& saved) {
    if (saved) ::setenv(name, saved->c_str(), 1);
    else ::unsetenv(name);
  }

  std::string m_root;
  std::filesystem::path m_savedCwd;
  std::optional<std::string> m_savedConfig, m_savedData;
};

}  // namespace ov::rt::testing
