// The download and process-kill stand-ins, run as the script steps run them.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    std::string t = (fs::temp_directory_path() / "ov-tools-XXXXXX").string();
    path = ::mkdtemp(t.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

pid_t spawn(const std::vector<std::string>& args, const std::string& folder = {}) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&fa, folder.c_str());
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

int run(const std::vector<std::string>& args) {
  const pid_t pid = spawn(args);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int freePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

bool answers(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

// python3's http.server on loopback, serving `folder`; stopped by pid.
struct HttpServer {
  pid_t pid = -1;
  int port = 0;
  explicit HttpServer(const fs::path& folder) {
    port = freePort();
    pid = spawn({"/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1", std::to_string(port)}, folder);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid > 0 && !answers(port) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ~HttpServer() {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  }
  std::string url(const std::string& name) const { return "http://127.0.0.1:" + std::to_string(port) + "/" + name; }
};

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(HttpGet, DownloadsWholeFilesAndLeavesNothingOnFailure) {
  TempDir served, out;
  std::string body(300000, 'x');
  for (size_t i = 0; i < body.size(); i += 97) body[i] = char('a' + i % 26);
  std::ofstream(served.path / "data.bin", std::ios::binary) << body;
  HttpServer server(served.path);
  ASSERT_TRUE(answers(server.port));

  EXPECT_EQ(run({OV_HTTPGET, server.url("data.bin"), (out.path / "got.bin").string(), "/AUTO"}), 0);
  EXPECT_EQ(readAll(out.path / "got.bin"), body);

  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    fs::path absent;
  };
  const Case cases[] = {
      {"missing page", {OV_HTTPGET, server.url("none.txt"), (out.path / "none.txt").string(), "/AUTO"}, 2,
       out.path / "none.txt"},
      {"no server", {OV_HTTPGET, "http://127.0.0.1:1/x", (out.path / "x.txt").string(), "/AUTO"}, 2, out.path / "x.txt"},
      {"missing folder", {OV_HTTPGET, server.url("data.bin"), (out.path / "no/such/d.bin").string()}, 3,
       out.path / "no"},
      {"no file named", {OV_HTTPGET, server.url("data.bin"), "/AUTO"}, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.args), c.exitCode);
    if (!c.absent.empty()) {
      EXPECT_FALSE(fs::exists(c.absent));
    }
  }
  // Only got.bin: no temporary file is left behind by the failures.
  EXPECT_EQ(std::distance(fs::directory_iterator(out.path), fs::directory_iterator()), 1);
}

TEST(HttpGet, FailedDownloadKeepsThePreviousFile) {
  TempDir served, out;
  HttpServer server(served.path);
  ASSERT_TRUE(answers(server.port));
  std::ofstream(out.path / "keep.txt") << "before";
  EXPECT_EQ(run({OV_HTTPGET, server.url("gone.txt"), (out.path / "keep.txt").string(), "/AUTO"}), 2);
  EXPECT_EQ(readAll(out.path / "keep.txt"), "before");
}

TEST(KillProc, EndsEveryProcessOfThatNameOnly) {
  TempDir dir;
  // A copy of sleep under a name no other process has.
  const fs::path unique = dir.path / ("ovkill" + std::to_string(::getpid()));
  fs::copy_file("/bin/sleep", unique);
  const fs::path other = dir.path / ("ovkeep" + std::to_string(::getpid()));
  fs::copy_file("/bin/sleep", other);
  const pid_t a = spawn({unique.string(), "60"}), b = spawn({unique.string(), "60"}), c = spawn({other.string(), "60"});
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  ASSERT_GT(c, 0);

  // Named the way the script's command line names it: another case, an extension, arguments.
  std::string asWritten = unique.string();
  asWritten.replace(asWritten.rfind("ovkill"), 6, "OVKILL");
  EXPECT_EQ(run({OV_KILLPROC, asWritten + ".EXE", "60"}), 0);
  int status = 0;
  EXPECT_EQ(::waitpid(a, &status, 0), a);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(::waitpid(b, &status, 0), b);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(::waitpid(c, &status, WNOHANG), 0) << "a process of another name was ended";
  ::kill(c, SIGKILL);
  ::waitpid(c, nullptr, 0);

  EXPECT_EQ(run({OV_KILLPROC, unique.string()}), 1);  // nothing left of that name
  EXPECT_EQ(run({OV_KILLPROC}), 2);
}

}  // namespace
