#include "platform/rt/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/rt/err.h"

using namespace ov::rt;
namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path;
  TempDir() {
    char tmpl[] = "/tmp/ov_process_XXXXXX";
    path = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

struct CurrentFolder {
  fs::path saved = fs::current_path();
  explicit CurrentFolder(const fs::path& p) { fs::current_path(p); }
  ~CurrentFolder() { fs::current_path(saved); }
};

struct EnvPath {
  std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
  explicit EnvPath(const std::string& value) { ::setenv("PATH", value.c_str(), 1); }
  ~EnvPath() { ::setenv("PATH", saved.c_str(), 1); }
};

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& text, bool executable = false) {
  std::ofstream(path) << text;
  if (executable) ::chmod(path.c_str(), 0755);
}

bool waitForFile(const std::string& path) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (fs::exists(path) && fs::file_size(path) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

std::string child() { return programFolder() + "/rt_test_child"; }

// Closes a started program's handle when the test leaves, also on a failed assertion.
struct Handle {
  ProcessHandle h;
  ~Handle() {
    if (h) {
      (void)endProgram(h, 0);
      closeProgram(h);
    }
  }
};

}  // namespace

struct Split {
  const char* name;
  const char* line;
  std::vector<std::string> want;
};
const Split kSplits[] = {
    {"plain words", "prog a b", {"prog", "a", "b"}},
    {"runs of blanks and tabs", "  prog \t a   b  ", {"prog", "a", "b"}},
    {"quoted blank", "prog \"a b\" c", {"prog", "a b", "c"}},
    {"quotes inside a word", "prog a\"b c\"d", {"prog", "ab cd"}},
    {"backslashes not before a quote are kept", "prog C:\\dir\\file \\\\srv\\x", {"prog", "C:\\dir\\file", "\\\\srv\\x"}},
    {"escaped quote", "prog \"a\\\"b\"", {"prog", "a\"b"}},
    {"two backslashes then a quote", "prog a\\\\\"b c\"", {"prog", "a\\b c"}},
    {"three backslashes then a quote", "prog a\\\\\\\"b", {"prog", "a\\\"b"}},
    {"doubled quote inside quotes", "prog \"a\"\"b\"", {"prog", "a\"b"}},
    {"tripled quotes", "prog \"\"\"a\"\"\"", {"prog", "\"a\""}},
    {"empty quoted argument", "prog \"\" x", {"prog", "", "x"}},
    {"unterminated quote runs to the end", "prog \"a b", {"prog", "a b"}},
    {"quoted program keeps its backslashes", "\"C:\\Program Files\\App\\\" /x", {"C:\\Program Files\\App\\", "/x"}},
    {"program quoted in the middle", "C:\\\"Program Files\"\\app.exe x", {"C:\\Program Files\\app.exe", "x"}},
    {"nothing", "   ", {}},
};

TEST(CommandLine, SplitsByWindowsRules) {
  for (const Split& c : kSplits) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(splitCommandLine(c.line), c.want);
  }
}

TEST(Process, FindsProgramsIgnoringCaseAndExe) {
  TempDir dir;
  fs::create_directories(dir / "Sub");
  writeFile(dir / "Sub/Tool", "#!/bin/sh\nexit 0\n", true);
  writeFile(dir / "Sub/notes.txt", "not a program");
  CurrentFolder cd(dir.path);

  int error = -1;
  // In this program's own folder, whatever the case and with ".EXE".
  EXPECT_EQ(findProgram("RT_TEST_CHILD.EXE", &error), child());
  EXPECT_EQ(error, 0);
  // A path with Windows separators, relative to the current folder, matched ignoring case.
  std::string tool = (fs::canonical(dir.path) / "Sub/Tool").string();
  EXPECT_EQ(findProgram(".\\sub\\TOOL.EXE", &error), tool);
  EXPECT_EQ(findProgram("sub/tool"), tool);
  EXPECT_EQ(findProgram(dir / "SUB/tool"), dir / "Sub/Tool");
  // Failures say why.
  EXPECT_EQ(findProgram("NO_SUCH_PROGRAM_OV.EXE", &error), "");
  EXPECT_EQ(error, winerr::FileNotFound);
  EXPECT_EQ(findProgram(dir / "Missing/tool", &error), "");
  EXPECT_EQ(error, winerr::PathNotFound);
  EXPECT_EQ(findProgram("Sub\\notes.txt", &error), "");
  EXPECT_EQ(error, winerr::AccessDenied);
}

TEST(Process, RunsAChildAndReadsItsExitCode) {
  int code = -1;
  EXPECT_EQ(runProgram("RT_TEST_CHILD.EXE exit 7", code), 0);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(runProgram("rt_test_child exit 0", code), 0);
  EXPECT_EQ(code, 0);
}

TEST(Process, ArgumentsArriveAsSplit) {
  TempDir dir;
  std::string out = dir / "args.txt";
  int code = -1;
  ASSERT_EQ(runProgram("rt_test_child args " + out + " \"a b\" c\\\"d \"\" \"x\"\"y\"", code), 0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(readFile(out), "a b\nc\"d\n\nx\"y\n");
}

TEST(Process, StartsInTheFolderGiven) {
  TempDir dir, elsewhere;
  StartOptions options;
  options.folder = dir.path.string();
  int code = -1;
  ASSERT_EQ(runProgram("rt_test_child pwd " + (elsewhere / "pwd.txt"), code, options), 0);
  EXPECT_EQ(fs::path(readFile(elsewhere / "pwd.txt")), fs::canonical(dir.path));

  options.folder = dir / "no such folder";
  EXPECT_EQ(startProgram("rt_test_child exit 0", options).error, winerr::PathNotFound);
}

TEST(Process, UnquotedPathWithBlanksIsFound) {
  TempDir dir;
  fs::create_directories(dir / "My Apps");
  fs::create_symlink(child(), dir / "My Apps/tool");
  int code = -1;
  EXPECT_EQ(runProgram((dir / "My Apps/tool") + " exit 5", code), 0);
  EXPECT_EQ(code, 5);
  EXPECT_EQ(runProgram("\"" + (dir / "My Apps/tool") + "\" exit 6", code), 0);
  EXPECT_EQ(code, 6);
}

TEST(Process, WaitsWithATimeOutAndEndsTheProgram) {
  Started s = startProgram("rt_test_child sleep 60000");
  ASSERT_TRUE(s.ok());
  Handle guard{s.handle};
  EXPECT_GT(s.handle, 32);
  EXPECT_EQ(programPid(s.handle), s.pid);
  int code = 0;
  ASSERT_TRUE(programExitCode(s.handle, code));
  EXPECT_EQ(code, winerr::StillActive);
  EXPECT_EQ(waitProgram(s.handle, 50), WaitResult::TimedOut);

  EXPECT_TRUE(endProgram(s.handle));
  ASSERT_TRUE(programExitCode(s.handle, code));
  EXPECT_EQ(code, 128 + SIGTERM);
  EXPECT_EQ(waitProgram(s.handle, 0), WaitResult::Ended);
}

TEST(Process, EndKillsAProgramThatIgnoresTheRequest) {
  TempDir dir;
  Started s = startProgram("rt_test_child stubborn " + (dir / "ready"));
  ASSERT_TRUE(s.ok());
  Handle guard{s.handle};
  ASSERT_TRUE(waitForFile(dir / "ready"));
  EXPECT_TRUE(endProgram(s.handle, 100));
  int code = 0;
  ASSERT_TRUE(programExitCode(s.handle, code));
  EXPECT_EQ(code, 128 + SIGKILL);
}

TEST(Process, ProgramsThatCannotStartGiveTheirCode) {
  TempDir dir;
  writeFile(dir / "garbage", "\x01\x02 not a program", true);
  writeFile(dir / "plain", "#!/bin/sh\nexit 0\n");
  fs::create_directories(dir / "folder.exe");

  struct Case {
    const char* name;
    std::string line;
    int want;
  };
  const Case cases[] = {
      {"missing program", "NO_SUCH_PROGRAM_OV.EXE /x", winerr::FileNotFound},
      {"missing folder", (dir / "nope") + "/prog", winerr::PathNotFound},
      {"not executable", dir / "plain", winerr::AccessDenied},
      {"a folder", dir / "folder.exe", winerr::AccessDenied},
      {"not a program format", dir / "garbage", winerr::BadFormat},
      {"empty command", "   ", winerr::FileNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Started s = startProgram(c.line);
    EXPECT_EQ(s.error, c.want);
    EXPECT_EQ(s.handle, 0);
  }
  int code = 0;
  EXPECT_FALSE(programExitCode(12345678, code));
  EXPECT_EQ(waitProgram(12345678, 0), WaitResult::NoSuchHandle);
}

TEST(Process, WaitingLeavesOtherChildrenAlone) {
  // A child of this process that someone else owns: started here, reaped here.
  pid_t other = 0;
  std::string path = child();
  char* argv[] = {path.data(), const_cast<char*>("exit"), const_cast<char*>("9"), nullptr};
  ASSERT_EQ(posix_spawn(&other, path.c_str(), nullptr, nullptr, argv, environ), 0);

  int code = -1;
  ASSERT_EQ(runProgram("rt_test_child sleep 100 4", code), 0);
  EXPECT_EQ(code, 4);

  int status = 0;
  ASSERT_EQ(waitpid(other, &status, 0), other);  // still ours to reap
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 9);
}

TEST(Process, RunSetsRunCodeAndErrorCode) {
  RUN("rt_test_child exit 3", true);
  EXPECT_EQ(RUNCODE(), 3);
  EXPECT_EQ(ERRORCODE(), 0);
  RUN("rt_test_child exit 3");
  EXPECT_EQ(RUNCODE(), 0);  // started, not waited for
  RUN("NO_SUCH_PROGRAM_OV");
  EXPECT_EQ(RUNCODE(), -4);
  EXPECT_EQ(ERRORCODE(), 2);
  EXPECT_EQ(ERRORFILE(), "NO_SUCH_PROGRAM_OV");
}

TEST(Process, ShellOpenHandsDocumentsAndAddressesToTheDesktop) {
  TempDir dir;
  fs::create_directories(dir / "bin");
  std::string log = dir / "opened.txt";
  writeFile(dir / "bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n", true);
  writeFile(dir / "Report.TXT", "hello");
  EnvPath path((dir / "bin") + ":" + programFolder());
  CurrentFolder cd(dir.path);

  auto open = [&](std::string_view file, std::string_view params = {}, std::string_view folder = {},
                  std::string_view verb = "open") {
    Started s = shellOpen(file, params, folder, verb);
    if (s.ok()) {
      EXPECT_EQ(waitProgram(s.handle, 10000), WaitResult::Ended);
      closeProgram(s.handle);
    }
    return s.error;
  };
  EXPECT_EQ(open("report.txt"), 0);                       // found ignoring case, made absolute
  EXPECT_EQ(open("https://example.org/a?b=1"), 0);         // addresses pass as written
  EXPECT_EQ(open("Report.TXT", "", dir.path.string(), ""), 0);
  EXPECT_EQ(readFile(log), (dir / "Report.TXT") + "\nhttps://example.org/a?b=1\n" + (dir / "Report.TXT") + "\n");

  EXPECT_EQ(open("missing.doc"), winerr::FileNotFound);
  EXPECT_EQ(open("gone\\missing.doc"), winerr::PathNotFound);
  EXPECT_EQ(open("report.txt", "", "", "print"), winerr::NoAssociation);

  // A program opened through the shell is started with the parameters.
  std::string args = dir / "args.txt";
  EXPECT_EQ(open("RT_TEST_CHILD.EXE", "args " + args + " \"x y\""), 0);
  EXPECT_EQ(readFile(args), "x y\n");

  // The desktop has no handler: xdg-open says so with its code 3.
  writeFile(dir / "bin/xdg-open", "#!/bin/sh\nexit 3\n", true);
  EXPECT_EQ(open("report.txt"), winerr::NoAssociation);
}

TEST(Process, ShellOpenWithoutAnOpenerReportsNoAssociation) {
  TempDir dir;
  writeFile(dir / "a.txt", "x");
  EnvPath path(dir.path.string());
  EXPECT_EQ(shellOpen(dir / "a.txt").error, winerr::NoAssociation);
}
