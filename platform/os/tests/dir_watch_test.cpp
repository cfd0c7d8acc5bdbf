#include "platform/os/dir_watch.h"

#include "platform/os/tests/support.h"
#include "platform/os/win_msg.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>

namespace ov::os {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

// The kernel queues a change before the call that made it returns, so a check right after the
// change sees it (or its absence) without waiting.

TEST(DirWatch, KindsOfChange) {
  struct Case {
    const char* name;
    unsigned filter;
    std::function<void(const fs::path&)> change;
    bool fires;
  };
  const unsigned kSizeWrite = notify::kSize | notify::kLastWrite;
  const Case kCases[] = {
      {"a write changes size", kSizeWrite, [](const fs::path& d) { writeFile(d / "f.txt", "more"); }, true},
      {"a rename is no write", kSizeWrite, [](const fs::path& d) { fs::rename(d / "f.txt", d / "g.txt"); }, false},
      {"a rename changes a file name", notify::kFileName,
       [](const fs::path& d) { fs::rename(d / "f.txt", d / "g.txt"); }, true},
      {"a new folder changes a folder name", notify::kDirName,
       [](const fs::path& d) { fs::create_directory(d / "new"); }, true},
      {"a new folder is no file name", notify::kFileName, [](const fs::path& d) { fs::create_directory(d / "new"); },
       false},
      {"a deleted file", notify::kFileName, [](const fs::path& d) { fs::remove(d / "f.txt"); }, true},
      {"attributes", notify::kAttributes, [](const fs::path& d) { chmod((d / "f.txt").c_str(), 0600); }, true},
      {"a write below, not watched", kSizeWrite, [](const fs::path& d) { writeFile(d / "sub/h.txt", "x"); }, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    writeFile(dir.path() / "f.txt", "f");
    writeFile(dir.path() / "sub/h.txt", "h");
    DirWatch watch;
    ASSERT_EQ(watch.open(dir.path().string(), false, c.filter), winerr::kSuccess);
    EXPECT_FALSE(watch.signalled());
    c.change(dir.path());
    EXPECT_EQ(watch.signalled(), c.fires);
  }
}

TEST(DirWatch, WatchesTheWholeTreeIncludingNewFolders) {
  TempDir dir;
  writeFile(dir.path() / "a/b/c.txt", "c");
  DirWatch watch;
  ASSERT_EQ(watch.open(dir.path().string(), true, notify::kSize | notify::kLastWrite | notify::kDirName),
            winerr::kSuccess);
  EXPECT_FALSE(watch.signalled());
  writeFile(dir.path() / "a/b/c.txt", "changed deep down");
  EXPECT_TRUE(watch.signalled());
  EXPECT_TRUE(watch.signalled()) << "stays signalled until re-armed";
  watch.rearm();
  EXPECT_FALSE(watch.signalled());

  fs::create_directories(dir.path() / "a/new/deeper");
  EXPECT_TRUE(watch.signalled());
  watch.rearm();
  writeFile(dir.path() / "a/new/deeper/d.txt", "");
  EXPECT_FALSE(watch.signalled()) << "an empty new file is a name change only";
  writeFile(dir.path() / "a/new/deeper/d.txt", "written");
  EXPECT_TRUE(watch.signalled()) << "a folder made after open() is watched";
}

TEST(DirWatch, WaitsForAChangeFromAnotherProcess) {
  TempDir dir;
  DirWatch watch;
  ASSERT_EQ(watch.open(dir.path().string(), true, notify::kFileName), winerr::kSuccess);
  test::Child writer({"sh", "-c", "read x; touch \"$0/late.txt\"", dir.path().string()});
  EXPECT_FALSE(watch.signalled(0));
  writer.closeStdin();
  EXPECT_TRUE(watch.signalled(10000));
  EXPECT_TRUE(fs::exists(dir.path() / "late.txt"));
}

TEST(DirWatch, RefusesWhatIsNoFolder) {
  TempDir dir;
  writeFile(dir.path() / "file", "x");
  DirWatch watch;
  EXPECT_EQ(watch.open((dir.path() / "missing").string(), true, notify::kFileName), winerr::kPathNotFound);
  EXPECT_EQ(watch.open((dir.path() / "file").string(), true, notify::kFileName), winerr::kDirectory);
  EXPECT_FALSE(watch.isOpen());
  EXPECT_FALSE(watch.signalled(0));
}

}  // namespace
}  // namespace ov::os
