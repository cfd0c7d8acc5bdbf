// Shared pieces of the library's tests: a private folder for the registry store, captured debug
// output, and a fresh load of the library with a given command line.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "netlib/detail/testing.h"
#include "netlib/net_log.h"
#include "platform/rt/command_line.h"

namespace ov::net::test {

// XDG_CONFIG_HOME in a temporary folder (so the registry store is the test's own) while it lives.
class TempConfig {
 public:
  TempConfig() {
    char tmpl[] = "/tmp/netwire_XXXXXX";
    m_root = ::mkdtemp(tmpl);
    if (const char* v = ::getenv("XDG_CONFIG_HOME")) m_saved = v;
    ::setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
  }
  ~TempConfig() {
    if (m_saved) ::setenv("XDG_CONFIG_HOME", m_saved->c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }
  TempConfig(const TempConfig&) = delete;
  TempConfig& operator=(const TempConfig&) = delete;
  const std::string& root() const { return m_root; }
  std::string registryFile() const { return m_root + "/config/orvane/registry.ini"; }

 private:
  std::string m_root;
  std::optional<std::string> m_saved;
};

// Collects the debug output while it lives.
class CapturedLog {
 public:
  CapturedLog() {
    setDebugSink([this](std::string_view line) {
      std::lock_guard lock(m_mutex);
      m_lines.emplace_back(line);
    });
  }
  ~CapturedLog() { setDebugSink({}); }
  std::vector<std::string> lines() {
    std::lock_guard lock(m_mutex);
    return m_lines;
  }
  void clear() {
    std::lock_guard lock(m_mutex);
    m_lines.clear();
  }
  bool contains(const std::string& part) {
    for (const std::string& l : lines())
      if (l.find(part) != std::string::npos) return true;
    return false;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

// Loads the library afresh as a process started with `commandLine` would.
inline void loadWith(const std::string& commandLine) {
  rt::setCommandLine(commandLine);
  detail::testing::reloadLibrary();
}

// Polls `done` until it holds or `ms` milliseconds passed.
inline bool waitFor(const std::function<bool()>& done, int ms = 5000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace ov::net::test
