#include "platform/os/instance_lock.h"

#include "platform/os/tests/support.h"
#include "platform/os/win_msg.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace ov::os {
namespace {

using test::Child;
using test::EnvGuard;
using test::TempDir;

TEST(InstanceLock, HeldByOneProcessAtATime) {
  TempDir run;
  EnvGuard env("XDG_RUNTIME_DIR", run.path().string());
  const std::string name = "{0123ABCD-0000-1111-2222-333344445555}";

  Child holder({OV_OS_HELPER, "lock", name});
  std::string line;
  ASSERT_TRUE(holder.readLine(line, 5000));
  ASSERT_EQ(line, "locked");

  InstanceLock mine;
  EXPECT_EQ(mine.acquire(name), winerr::kAlreadyExists);
  EXPECT_FALSE(mine.held());

  // Another name is another lock.
  InstanceLock other;
  EXPECT_EQ(other.acquire(name + "x"), winerr::kSuccess);

  holder.closeStdin();  // the holder lets go and ends
  ASSERT_EQ(holder.wait(5000), 0);
  EXPECT_EQ(mine.acquire(name), winerr::kSuccess);

  Child second({OV_OS_HELPER, "lock", name});
  ASSERT_TRUE(second.readLine(line, 5000));
  EXPECT_EQ(line, "busy");
}

TEST(InstanceLock, EndsWithAKilledHolder) {
  TempDir run;
  EnvGuard env("XDG_RUNTIME_DIR", run.path().string());
  Child holder({OV_OS_HELPER, "lock", "killed"});
  std::string line;
  ASSERT_TRUE(holder.readLine(line, 5000));
  ASSERT_EQ(line, "locked");
  holder.kill();
  InstanceLock mine;
  EXPECT_EQ(mine.acquire("killed"), winerr::kSuccess);
}

TEST(InstanceLock, ProgramsStartedByTheHolderDoNotKeepIt) {
  TempDir run;
  EnvGuard env("XDG_RUNTIME_DIR", run.path().string());
  Child holder({OV_OS_HELPER, "lockspawn", "spawner"});
  std::string line;
  ASSERT_TRUE(holder.readLine(line, 5000));
  ASSERT_EQ(line, "locked");
  ASSERT_TRUE(holder.waitForLine("spawned ", line, 5000));
  pid_t sleeper = std::stoi(line.substr(8));
  ASSERT_EQ(holder.wait(5000), 0);

  InstanceLock mine;
  EXPECT_EQ(mine.acquire("spawner"), winerr::kSuccess) << "the started program inherited the lock";
  kill(sleeper, SIGKILL);
}

TEST(InstanceLock, NamesWithSeparatorsStayInsideTheLockFolder) {
  TempDir run;
  EnvGuard env("XDG_RUNTIME_DIR", run.path().string());
  EXPECT_EQ(InstanceLock::lockPath("Global\\a/../b"), run.path().string() + "/orvane/Global_a_.._b.lock");
  EXPECT_EQ(InstanceLock::lockPath(".."), run.path().string() + "/orvane/_...lock");
  InstanceLock a, b;
  EXPECT_EQ(a.acquire("a/b"), winerr::kSuccess);
  EXPECT_EQ(b.acquire("a\\b"), winerr::kAlreadyExists);  // both spell the same file
}

TEST(InstanceLock, ALockFolderThatIsNotOursPrivateIsRefused) {
  TempDir run;
  EnvGuard env("XDG_RUNTIME_DIR", run.path().string());
  const std::string folder = run.path().string() + "/orvane";
  struct Case {
    const char* what;
    std::function<void()> make;
  };
  const Case cases[] = {
      {"a folder others can write to", [&] { std::filesystem::create_directory(folder); chmod(folder.c_str(), 0777); }},
      {"a link to another folder", [&] {
         std::filesystem::create_directory(run.path() / "elsewhere");
         std::filesystem::create_directory_symlink(run.path() / "elsewhere", folder);
       }},
      {"a file", [&] { std::ofstream(folder) << "x"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(folder);
    c.make();
    InstanceLock lock;
    EXPECT_EQ(lock.acquire("x"), winerr::kAccessDenied);
    EXPECT_FALSE(lock.held());
  }
  EXPECT_FALSE(std::filesystem::exists(run.path() / "elsewhere" / "x.lock"));
  std::filesystem::remove_all(folder);
  InstanceLock lock;
  EXPECT_EQ(lock.acquire("x"), winerr::kSuccess);
}

TEST(InstanceLock, AWaitingAcquireGetsTheLockWhenTheHolderLetsGo) {
  TempDir run;
  EnvGuard env("XDG_RUNTIME_DIR", run.path().string());
  Child holder({OV_OS_HELPER, "lock", "start"});
  std::string line;
  ASSERT_TRUE(holder.readLine(line, 5000));
  ASSERT_EQ(line, "locked");
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    holder.closeStdin();
  });
  InstanceLock mine;
  EXPECT_EQ(mine.acquire("start", true), winerr::kSuccess);
  release.join();
  EXPECT_EQ(holder.wait(5000), 0);
}

}  // namespace
}  // namespace ov::os
