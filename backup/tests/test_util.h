// Small helpers of the backup tests: a scratch folder that is current while a test runs, files,
// and the output of a shell command (Info-ZIP's zip, unzip and zipinfo are the oracles).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace ov::backup::test {

namespace fs = std::filesystem;

inline std::string run(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return out;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

inline std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void writeFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

inline std::set<std::string> zipNames(const fs::path& archive) {
  std::set<std::string> out;
  std::istringstream in(run("zipinfo -1 '" + archive.string() + "'"));
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.insert(line);
  return out;
}

// A temporary folder, current while it lives; XDG_CONFIG_HOME points into it, so INI files named
// without a folder land there too.
class Scratch {
 public:
  Scratch() {
    char tmpl[] = "/tmp/ovbackupXXXXXX";
    m_dir = mkdtemp(tmpl);
    m_old = fs::current_path();
    fs::create_directories(m_dir / "config");
    setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    fs::create_directories(m_dir / "work");
    fs::current_path(m_dir / "work");
  }
  ~Scratch() {
    fs::current_path(m_old);
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  const fs::path& root() const { return m_dir; }
  fs::path work() const { return m_dir / "work"; }

 private:
  fs::path m_dir, m_old;
};

}  // namespace ov::backup::test
