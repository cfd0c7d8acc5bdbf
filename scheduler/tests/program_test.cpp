// Start-up: the instance name of a data folder, and the program itself started twice on one data
// folder, with /ForceRun and on another folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "scheduler/program_body.h"
#include "scheduler/tests/data_fixture.h"

extern char** environ;

namespace ov::scheduler::testing {
namespace {

TEST(InstanceName, WorkedFromTheUpperCasedFolder) {
  // "OV" alone: O (79) and V (86) give digits F and 7; the missing characters count as 0, so
  // digit i is worked from i alone.
  EXPECT_EQ(instanceMutexName(""), "{F7234567-89AB-CDEF-0123-456789ABCDEF}");
  EXPECT_EQ(instanceMutexName("/srv/Data"), instanceMutexName("/SRV/DATA"));
  EXPECT_NE(instanceMutexName("/srv/data1"), instanceMutexName("/srv/data2"));
  const std::string longer = instanceMutexName("/a/folder/name/longer/than/thirty/two/characters");
  ASSERT_EQ(longer.size(), 38u);
  EXPECT_EQ(longer.front(), '{');
  EXPECT_EQ(longer[9], '-');
  EXPECT_EQ(longer[37], '}');
}

// A started ov98 process, ended by SIGKILL when the guard ends.
struct Process {
  pid_t pid = -1;
  ~Process() {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  // The exit code once it ended within `ms`; -1 while it still runs.
  int waitExit(int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
};

class Ov98 : public DataFixture {
 protected:
  void start(Process& p, std::vector<std::string> args) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!::getenv("XDG_RUNTIME_DIR")) ::setenv("XDG_RUNTIME_DIR", dir().c_str(), 1);
    args.insert(args.begin(), OV98_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ASSERT_EQ(::posix_spawn(&p.pid, OV98_PATH, nullptr, nullptr, argv.data(), environ), 0);
  }
  // A data folder that already holds the data file, so the start asks for no folder.
  std::string dataFolder(const std::string& name) {
    const std::filesystem::path folder = dir() / name;
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(dir() / "config" / "orvane");
    std::ofstream(dir() / "config" / "orvane" / "OV98.INI") << "[Settings]\nLogEvents=1\n";
    if (!std::filesystem::exists(dir() / "RO97.ZEZ")) {
      EXPECT_EQ(files::Access_SCHEDULE.Open(), rt::Err::None);
      (void)files::Access_SCHEDULE.Close();
      for (db::File* f : files::dataFiles()) (void)f->close();
    }
    for (const char* part : {"RO97.ZEZ", "RO97.ZEZ-wal", "RO97.ZEZ-shm"})
      if (std::filesystem::exists(dir() / part)) std::filesystem::copy_file(dir() / part, folder / part);
    EXPECT_TRUE(std::filesystem::exists(folder / "RO97.ZEZ"));
    return folder.string();
  }
  static std::string read(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static bool waitFor(const std::function<bool()>& done, int ms = 15000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
};

TEST_F(Ov98, OneInstancePerDataFolder) {
  const std::string one = dataFolder("one"), two = dataFolder("two");
  const std::filesystem::path log = std::filesystem::path(one) / "OV_EVENT.LOG";
  Process first;
  start(first, {"PATH=" + one});
  ASSERT_TRUE(waitFor([&] { return read(log).find("Started") != std::string::npos; })) << "the first start runs";
  EXPECT_EQ(read(std::filesystem::path(one) / "MUTEX.TMP").find("Normal Exit=False") != std::string::npos, true);

  Process second;
  start(second, {"PATH=" + one});
  EXPECT_EQ(second.waitExit(10000), 0) << "a second start on the same folder hands over and ends";
  EXPECT_EQ(first.waitExit(0), -1) << "the first goes on";

  Process forced, other;
  start(forced, {"PATH=" + one, "/ForceRun"});
  start(other, {"PATH=" + two});
  EXPECT_TRUE(waitFor([&] {
    std::string text = read(log);
    return text.find("Started") != text.rfind("Started");
  })) << "/ForceRun runs beside the first";
  EXPECT_TRUE(waitFor([&] { return read(std::filesystem::path(two) / "OV_EVENT.LOG").find("Started") != std::string::npos; }))
      << "another data folder has an instance of its own";
  EXPECT_EQ(forced.waitExit(0), -1);
  EXPECT_EQ(other.waitExit(0), -1);
}

TEST_F(Ov98, StartAfterAnAbnormalEndIsLogged) {
  const std::string one = dataFolder("one");
  const std::filesystem::path log = std::filesystem::path(one) / "OV_EVENT.LOG";
  {
    Process killed;
    start(killed, {"PATH=" + one});
    ASSERT_TRUE(waitFor([&] { return read(log).find("Started") != std::string::npos; }));
  }  // SIGKILL: no clean-exit mark
  Process again;
  start(again, {"PATH=" + one});
  EXPECT_TRUE(waitFor([&] { return read(log).find("Abnormal termination detected") != std::string::npos; }));
}

TEST_F(Ov98, TheEndOfTheSessionEndsTheProgramCleanly) {
  const std::string one = dataFolder("one");
  const std::filesystem::path log = std::filesystem::path(one) / "OV_EVENT.LOG";
  Process p;
  start(p, {"PATH=" + one});
  ASSERT_TRUE(waitFor([&] { return read(log).find("Started") != std::string::npos; }));
  ASSERT_EQ(::kill(p.pid, SIGTERM), 0);  // what the session manager sends at log-off
  EXPECT_EQ(p.waitExit(20000), 0) << "the frame closes a few seconds later";
  EXPECT_NE(read(std::filesystem::path(one) / "MUTEX.TMP").find("Normal Exit=True"), std::string::npos);
  EXPECT_NE(read(log).find("Exit Orvane 2003"), std::string::npos);
}

// The backup program's restore finds ov98 at work on the data folder and replaces nothing; once
// ov98 has ended, the same restore goes ahead.
TEST_F(Ov98, ARestoreWaitsUntilTheProgramOnTheDataFolderHasEnded) {
  const std::string one = dataFolder("one");
  const std::filesystem::path log = std::filesystem::path(one) / "OV_EVENT.LOG";
  auto qmtback = [&](const std::string& args, std::string& out) {
    out.clear();
    FILE* pipe = ::popen(("cd '" + dir().string() + "' && " + QMTBACK_PATH + " " + args + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buf[512];
    while (std::fgets(buf, sizeof buf, pipe)) out += buf;
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string out;
  ASSERT_EQ(qmtback("BACKUP=one.zip PATH=" + one, out), 0) << out;
  struct stat before {};
  ASSERT_EQ(::stat((one + "/RO97.ZEZ").c_str(), &before), 0);

  Process p;
  start(p, {"PATH=" + one});
  ASSERT_TRUE(waitFor([&] { return read(log).find("Started") != std::string::npos; }));
  EXPECT_EQ(qmtback("RESTORE=one.zip PATH=" + one, out), 1) << out;
  EXPECT_NE(out.find("ov98"), std::string::npos) << out;
  EXPECT_NE(out.find("Nothing was restored."), std::string::npos) << out;
  struct stat during {};
  ASSERT_EQ(::stat((one + "/RO97.ZEZ").c_str(), &during), 0);
  EXPECT_EQ(during.st_ino, before.st_ino) << "the file ov98 works on is still the one in the folder";

  ASSERT_EQ(::kill(p.pid, SIGTERM), 0);
  ASSERT_EQ(p.waitExit(20000), 0);
  EXPECT_EQ(qmtback("RESTORE=one.zip PATH=" + one, out), 0) << out;
  struct stat after {};
  ASSERT_EQ(::stat((one + "/RO97.ZEZ").c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino) << "restored";
}

TEST_F(Ov98, FrameReopensWhereItWasLeftAndKeepsItsPlaceInTheDataFolder) {
  const std::string one = dataFolder("one");
  const std::filesystem::path log = std::filesystem::path(one) / "OV_EVENT.LOG";
  const std::filesystem::path positions = std::filesystem::path(one) / "POSITION.INI";
  std::ofstream(positions) << "[Main]\nMaximize=No\nXPos=033\nYPos=044\nHeight=0200\nWidth=0400\n";
  Process p;
  start(p, {"PATH=" + one});
  ASSERT_TRUE(waitFor([&] { return read(log).find("Started") != std::string::npos; }));
  ASSERT_EQ(::kill(p.pid, SIGTERM), 0);
  ASSERT_EQ(p.waitExit(20000), 0);
  // Written again at the close, with the place it was given at the start (the windows opened at
  // the start keep theirs in sections of their own after it).
  const std::string written = read(positions);
  EXPECT_EQ(written.substr(0, written.find("\n[")), "[Main]\nMaximize=No\nXPos=33\nYPos=44\nHeight=200\nWidth=400");
  EXPECT_FALSE(std::filesystem::exists(dir() / "config" / "orvane" / "POSITION.INI"));
}

TEST_F(Ov98, BesideTheServiceProgramEachUserKeepsOwnPositions) {
  const std::string one = dataFolder("one");
  const std::filesystem::path log = std::filesystem::path(one) / "OV_EVENT.LOG";
  // A copy of the program in a folder that also holds the service program.
  const std::filesystem::path programs = dir() / "programs";
  std::filesystem::create_directories(programs);
  std::filesystem::copy_file(OV98_PATH, programs / "ov98");
  std::ofstream(programs / "OVNT.EXE") << "";
  std::ofstream(std::filesystem::path(one) / "joe POSITION.INI") << "[Main]\nMaximize=No\nXPos=033\nYPos=044\n";
  Process p;
  {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!::getenv("XDG_RUNTIME_DIR")) ::setenv("XDG_RUNTIME_DIR", dir().c_str(), 1);
    std::string program = (programs / "ov98").string(), path = "PATH=" + one, user = "User=joe";
    std::vector<char*> argv{program.data(), path.data(), user.data(), nullptr};
    ASSERT_EQ(::posix_spawn(&p.pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
  }
  ASSERT_TRUE(waitFor([&] { return read(log).find("Started") != std::string::npos; }));
  ASSERT_EQ(::kill(p.pid, SIGTERM), 0);
  ASSERT_EQ(p.waitExit(20000), 0);
  const std::string own = read(std::filesystem::path(one) / "joe POSITION.INI");
  EXPECT_EQ(own.rfind("[Main]\nMaximize=No\nXPos=33\nYPos=44\n", 0), 0u) << own;
  // The shared file keeps no window places (the day list's column layout lives there, as for
  // every user).
  EXPECT_EQ(read(std::filesystem::path(one) / "POSITION.INI").find("[Main]"), std::string::npos);
}

}  // namespace
}  // namespace ov::scheduler::testing
