// The run-as helper: as root it becomes the user; as anyone else it goes through su, here a
// stand-in early on PATH that asks for the password as su does.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/rt/secret_file.h"

namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    std::string t = (fs::temp_directory_path() / "ov-executeas-XXXXXX").string();
    path = ::mkdtemp(t.data());
    ::chmod(path.c_str(), 0777);  // the command, run as another user, writes here
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Outcome {
  int code = -1;
  std::string out, err;
  std::string passwordFile;  // the file a "PASSWORDFILE=" word was given
};

struct Invocation {
  std::vector<std::string> args;  // after the program; a word "PASSWORDFILE=" gets a file holding `secret`
  std::string secret{};
  bool asNobody = false;
  std::string path{};  // PATH, when not empty
};

// Runs the helper with stdin from /dev/null; its output and errors are read from files.
Outcome runHelper(const Invocation& r, const TempDir& tmp) {
  const fs::path out = tmp.path / "helper.out", err = tmp.path / "helper.err";
  int report[2];
  if (::pipe(report) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(report[0]);
    const int in = ::open("/dev/null", O_RDONLY), o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
              e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0), ::dup2(o, 1), ::dup2(e, 2);
    if (r.asNobody) {
      const passwd* pw = ::getpwnam("nobody");
      if (!pw || ::setgroups(0, nullptr) != 0 || ::setgid(pw->pw_gid) != 0 || ::setuid(pw->pw_uid) != 0) ::_exit(200);
      ::unsetenv("XDG_RUNTIME_DIR");  // root's: the secret folder of nobody lies in /tmp
    }
    if (!r.path.empty()) ::setenv("PATH", r.path.c_str(), 1);
    std::vector<std::string> words{OV_EXECUTEAS};
    for (const std::string& a : r.args) {
      if (a != "PASSWORDFILE=") {
        words.push_back(a);
        continue;
      }
      const std::string file = ov::rt::writeSecretFile(r.secret);
      if (file.empty()) ::_exit(201);
      (void)!::write(report[1], file.data(), file.size());
      words.push_back(a + file);
    }
    ::close(report[1]);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(202);
  }
  ::close(report[1]);
  Outcome result;
  char buf[512];
  for (ssize_t n; (n = ::read(report[0], buf, sizeof buf)) > 0;) result.passwordFile.append(buf, size_t(n));
  ::close(report[0]);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid)
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = read(out);
  result.err = read(err);
  return result;
}

class ExecuteAs : public testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "changing users needs root";
  }
  TempDir tmp;
};

TEST_F(ExecuteAs, RootBecomesTheUserAndReturnsTheCommandsCode) {
  const std::string dir = tmp.path.string();
  const Outcome o = runHelper({{"u=nobody", "d=ANYDOMAIN", "show=2", "/bin/sh", "-c",
                                "id -u > " + dir + "/uid; echo \"$HOME $USER $LOGNAME\" > " + dir + "/env; exit 7"}},
                              tmp);
  EXPECT_EQ(o.code, 7) << o.err;
  EXPECT_EQ(read(tmp.path / "uid"), std::to_string(::getpwnam("nobody")->pw_uid) + "\n");
  EXPECT_EQ(read(tmp.path / "env"), std::string(::getpwnam("nobody")->pw_dir) + " nobody nobody\n");
  struct stat st {};
  ASSERT_EQ(::stat((tmp.path / "uid").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, ::getpwnam("nobody")->pw_uid);
}

TEST_F(ExecuteAs, FailuresHaveTheirOwnCodesAndSayWhy) {
  struct Case {
    const char* name;
    Invocation call;
    int code;
    const char* says;
  };
  const Case cases[] = {
      {"our own user: started directly", {{"U=root", "p=ignored", "/bin/sh", "-c", "exit 5"}}, 5, ""},
      {"unknown user", {{"u=no-such-user-4711", "/bin/true"}}, 121, "unknown user: no-such-user-4711"},
      {"no command", {{"u=nobody", "d=x"}}, 120, "no command"},
      {"no user", {{"/bin/true"}}, 120, "no user"},
      {"command not found", {{"u=nobody", "no-such-program-4711", "x"}}, 127, "command not found: no-such-program-4711"},
      {"a signal ends the command", {{"u=nobody", "/bin/sh", "-c", "kill -TERM $$"}}, 128 + SIGTERM, ""},
      {"no su for another user", {{"u=daemon", "p=pw", "/bin/true"}, "", true, "/nonexistent"}, 123, "su is not on PATH"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome o = runHelper(c.call, tmp);
    EXPECT_EQ(o.code, c.code) << o.err;
    EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
  }
}

TEST_F(ExecuteAs, PasswordFileIsTakenOnlyFromTheSecretFolderAndDeleted) {
  // A file outside the secret folder is refused and left alone; nothing runs.
  const fs::path other = tmp.path / "secret-notes";
  std::ofstream(other) << "keep me";
  ::chmod(other.c_str(), 0600);
  Outcome o = runHelper({{"u=root", "PASSWORDFILE=" + other.string(), "/bin/sh", "-c", "touch ran"}}, tmp);
  EXPECT_EQ(o.code, 120);
  EXPECT_NE(o.err.find("no password"), std::string::npos) << o.err;
  EXPECT_EQ(read(other), "keep me");
  EXPECT_FALSE(fs::exists("ran"));

  // A secret file is deleted even when the user turns out unknown.
  o = runHelper({{"u=no-such-user-4711", "PASSWORDFILE=", "/bin/true"}, "pw"}, tmp);
  EXPECT_EQ(o.code, 121);
  ASSERT_FALSE(o.passwordFile.empty());
  EXPECT_FALSE(fs::exists(o.passwordFile));
}

// As a user other than root, through su. The stand-in asks for the password with echo off, as su
// does, records its arguments, and runs the command through the shell on a right password.
class ExecuteAsThroughSu : public ExecuteAs {
 protected:
  void SetUp() override {
    ExecuteAs::SetUp();
    if (IsSkipped()) return;
    const fs::path bin = tmp.path / "bin";
    fs::create_directory(bin);
    ::chmod(bin.c_str(), 0755);
    std::ofstream(bin / "su") << "#!/bin/sh\n"
                                 "printf '%s\\n' \"$@\" > "
                              << (tmp.path / "su-args").string()
                              << "\n"
                                 "[ \"$1\" = -c ] && [ \"$3\" = -- ] && [ \"$4\" = daemon ] || { echo \"su: usage\"; exit 1; }\n"
                                 "stty -echo\n"
                                 "printf 'Password: '\n"
                                 "IFS= read -r pw\n"
                                 "printf '\\n'\n"
                                 "[ \"$pw\" = 'right pw' ] || { echo 'su: Authentication failure'; exit 1; }\n"
                                 "exec /bin/sh -c \"$2\"\n";
    ::chmod((bin / "su").c_str(), 0755);
    path = bin.string() + ":/usr/bin:/bin";
  }
  std::string path;
};

TEST_F(ExecuteAsThroughSu, RightPasswordRunsTheCommandAndPassesItsOutputAndCode) {
  const Outcome o = runHelper({{"u=daemon", "PASSWORDFILE=", "d=LAN", "/bin/sh", "-c",
                                "printf '%s|' \"$0\" \"$1\"; exit 9", "it's", "a b"},
                               "right pw", true, path},
                              tmp);
  EXPECT_EQ(o.code, 9) << o.err;
  EXPECT_EQ(o.out, "it's|a b|");  // the command's words whole; nothing of su's dialogue
  EXPECT_FALSE(fs::exists(o.passwordFile));
  const std::string args = read(tmp.path / "su-args");
  EXPECT_NE(args.find("daemon"), std::string::npos) << args;
  EXPECT_EQ(args.find("right pw"), std::string::npos) << args;
  EXPECT_EQ(o.err.find("right pw"), std::string::npos) << o.err;
}

TEST_F(ExecuteAsThroughSu, WrongPasswordRunsNothing) {
  for (const char* password : {"p=wrong", "p="}) {
    SCOPED_TRACE(password);
    const Outcome o = runHelper({{"u=daemon", password, "/bin/sh", "-c", "touch " + (tmp.path / "ran").string()},
                                 "", true, path},
                                tmp);
    EXPECT_EQ(o.code, 122);
    EXPECT_NE(o.err.find("the password was refused (su: Authentication failure)"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_FALSE(fs::exists(tmp.path / "ran"));
  }
}

}  // namespace
