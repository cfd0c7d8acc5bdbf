#include "platform/os/shell_file_op.h"

#include "platform/os/tests/support.h"
#include "platform/os/win_msg.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

namespace ov::os {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

constexpr unsigned kDefault = 0x6D0;  // no confirmation, undo, files only, no mkdir prompt, no error UI

// src/a.txt "A", src/b.txt "B", src/c.log "C", src/sub/d.txt "D"
class ShellTree : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(at("src/a.txt"), "A");
    writeFile(at("src/b.txt"), "B");
    writeFile(at("src/c.log"), "C");
    writeFile(at("src/sub/d.txt"), "D");
  }
  std::string at(const std::string& rel) const { return (dir.path() / rel).string(); }
  bool has(const std::string& rel) const { return fs::exists(dir.path() / rel); }
  std::string content(const std::string& rel) const { return readFile(dir.path() / rel); }
  // Names directly in a folder, sorted.
  std::vector<std::string> names(const std::string& rel) const {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir.path() / rel)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  test::TempDir dir;
};

using Names = std::vector<std::string>;

TEST_F(ShellTree, CopiesListsAndWildcardsIntoAFolder) {
  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/a.txt"), at("src/b.txt")}, {at("one")}, kDefault),
            winerr::kSuccess);
  EXPECT_EQ(names("one"), (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(content("one/b.txt"), "B");

  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src") + "\\*.txt"}, {at("two")}, kDefault), winerr::kSuccess);
  EXPECT_EQ(names("two"), (Names{"a.txt", "b.txt"}));

  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/*.*")}, {at("files")}, kDefault), winerr::kSuccess);
  EXPECT_EQ(names("files"), (Names{"a.txt", "b.txt", "c.log"})) << "files only: the folder stays out";

  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/*.*")}, {at("all")}, kDefault & ~fof::kFilesOnly),
            winerr::kSuccess);
  EXPECT_EQ(names("all"), (Names{"a.txt", "b.txt", "c.log", "sub"}));
  EXPECT_EQ(content("all/sub/d.txt"), "D");

  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/*.none")}, {at("empty")}, kDefault), winerr::kSuccess);
  EXPECT_FALSE(has("empty")) << "a wildcard that matches nothing does nothing";
}

TEST_F(ShellTree, ASingleSourceTakesTheTargetName) {
  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/a.txt")}, {at("out/new.txt")}, kDefault), winerr::kSuccess);
  EXPECT_EQ(content("out/new.txt"), "A");
  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/sub")}, {at("copied")}, kDefault), winerr::kSuccess);
  EXPECT_EQ(content("copied/d.txt"), "D");
  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/a.txt")}, {at("folder") + "/"}, kDefault), winerr::kSuccess);
  EXPECT_EQ(content("folder/a.txt"), "A") << "a trailing separator names a folder";
  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/b.txt")}, {at("copied")}, kDefault), winerr::kSuccess);
  EXPECT_EQ(content("copied/b.txt"), "B") << "an existing folder takes the file in";
}

TEST_F(ShellTree, Collisions) {
  writeFile(at("dst/a.txt"), "old");
  EXPECT_EQ(shellFileOperation(ShellOp::Copy, {at("src/a.txt")}, {at("dst")}, kDefault & ~fof::kNoConfirmation),
            winerr::kAlreadyExists);
  EXPECT_EQ(content("dst/a.txt"), "old");

  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/a.txt")}, {at("dst")}, kDefault | fof::kRenameOnCollision),
            winerr::kSuccess);
  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/a.txt")}, {at("dst")}, kDefault | fof::kRenameOnCollision),
            winerr::kSuccess);
  EXPECT_EQ(names("dst"), (Names{"Copy (2) of a.txt", "Copy of a.txt", "a.txt"}));
  EXPECT_EQ(content("dst/a.txt"), "old");

  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/a.txt")}, {at("dst")}, kDefault), winerr::kSuccess);
  EXPECT_EQ(content("dst/a.txt"), "A") << "no confirmation: replaced";

  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/c.log")}, {at("src")}, kDefault), winerr::kSuccess);
  EXPECT_EQ(content("src/Copy of c.log"), "C") << "a copy onto itself gets a new name";

  writeFile(at("clash/sub"), "a file where the folder would go");
  EXPECT_EQ(shellFileOperation(ShellOp::Copy, {at("src/sub")}, {at("clash")}, kDefault), winerr::kAlreadyExists);
}

TEST_F(ShellTree, MovesFilesAndMergesFolders) {
  writeFile(at("dst/sub/old.txt"), "O");
  ASSERT_EQ(shellFileOperation(ShellOp::Move, {at("src/sub"), at("src/a.txt")}, {at("dst")}, kDefault),
            winerr::kSuccess);
  EXPECT_EQ(names("dst"), (Names{"a.txt", "sub"}));
  EXPECT_EQ(names("dst/sub"), (Names{"d.txt", "old.txt"}));
  EXPECT_EQ(names("src"), (Names{"b.txt", "c.log"}));

  EXPECT_EQ(shellFileOperation(ShellOp::Move, {at("dst")}, {at("dst/sub")}, kDefault), winerr::kInvalidParameter)
      << "a folder into itself";
  EXPECT_TRUE(has("dst/sub/d.txt"));
}

TEST_F(ShellTree, Renames) {
  ASSERT_EQ(shellFileOperation(ShellOp::Rename, {at("src/a.txt")}, {"renamed.txt"}, kDefault), winerr::kSuccess);
  EXPECT_EQ(content("src/renamed.txt"), "A") << "a bare new name stays in the folder";
  ASSERT_EQ(shellFileOperation(ShellOp::Rename, {at("src/renamed.txt")}, {"RENAMED.TXT"}, kDefault),
            winerr::kSuccess);
  EXPECT_TRUE(has("src/RENAMED.TXT"));
  EXPECT_EQ(shellFileOperation(ShellOp::Rename, {at("src/b.txt")}, {"c.log"}, kDefault), winerr::kAlreadyExists);
  EXPECT_EQ(content("src/c.log"), "C");
  ASSERT_EQ(shellFileOperation(ShellOp::Rename, {at("src/b.txt")}, {"c.log"}, kDefault | fof::kRenameOnCollision),
            winerr::kSuccess);
  EXPECT_EQ(content("src/Copy of c.log"), "B");
  EXPECT_EQ(shellFileOperation(ShellOp::Rename, {at("src/*.log")}, {"x"}, kDefault), winerr::kInvalidParameter);
}

TEST_F(ShellTree, DeletesForGoodOrIntoTheTrash) {
  test::EnvGuard data("XDG_DATA_HOME", at("data"));
  ASSERT_EQ(shellFileOperation(ShellOp::Delete, {at("src/*.*")}, {}, kDefault & ~fof::kAllowUndo), winerr::kSuccess);
  EXPECT_EQ(names("src"), (Names{"sub"})) << "files only";

  writeFile(at("keep/x.txt"), "X");
  ASSERT_EQ(shellFileOperation(ShellOp::Delete, {at("keep/x.txt")}, {}, kDefault), winerr::kSuccess);
  EXPECT_FALSE(has("keep/x.txt"));
  EXPECT_EQ(content("data/Trash/files/x.txt"), "X");
  EXPECT_NE(content("data/Trash/info/x.txt.trashinfo").find("Path="), std::string::npos);

  ASSERT_EQ(shellFileOperation(ShellOp::Delete, {at("src/sub")}, {}, 0), winerr::kSuccess);
  EXPECT_FALSE(has("src/sub")) << "a named folder goes whole";
}

TEST_F(ShellTree, TrashWithoutADataFolderYet) {
  test::EnvGuard data("XDG_DATA_HOME", at("fresh/data"));
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(at("src").c_str()), 0);
  int rc = shellFileOperation(ShellOp::Delete, {at("src/a.txt")}, {}, kDefault);
  ASSERT_EQ(chdir(old), 0);
  ASSERT_EQ(rc, winerr::kSuccess);
  EXPECT_EQ(content("fresh/data/Trash/files/a.txt"), "A");
  EXPECT_EQ(names("src"), (Names{"b.txt", "c.log", "sub"})) << "trash folders made in the current folder";
}

TEST_F(ShellTree, NamesIgnoreCaseAndTakeBackslashes) {
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  int rc = shellFileOperation(ShellOp::Copy, {"SRC\\A.TXT", "src\\SUB\\D.Txt"}, {"out"}, kDefault);
  ASSERT_EQ(chdir(old), 0);
  ASSERT_EQ(rc, winerr::kSuccess);
  EXPECT_EQ(names("out"), (Names{"a.txt", "d.txt"}));
}

TEST_F(ShellTree, CopiesKeepTheirTime) {
  auto when = fs::last_write_time(at("src/a.txt")) - std::chrono::hours(48);
  fs::last_write_time(at("src/a.txt"), when);
  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/a.txt")}, {at("t/")}, kDefault), winerr::kSuccess);
  EXPECT_EQ(fs::last_write_time(at("t/a.txt")), when);
}

TEST_F(ShellTree, FailuresComeBeforeAnythingIsDone) {
  struct Case {
    const char* name;
    ShellOp op;
    std::vector<std::string> from, to;
    unsigned flags;
    int want;
  };
  const Case kCases[] = {
      {"a missing file in the list", ShellOp::Copy, {at("src/a.txt"), at("src/none.txt")}, {at("x")}, kDefault,
       winerr::kFileNotFound},
      {"a missing folder", ShellOp::Delete, {at("nowhere/a.txt")}, {}, kDefault, winerr::kPathNotFound},
      {"a wildcard in a folder part", ShellOp::Copy, {at("s*/a.txt")}, {at("x")}, kDefault,
       winerr::kInvalidParameter},
      {"an empty list", ShellOp::Copy, {}, {at("x")}, kDefault, winerr::kInvalidParameter},
      {"no target", ShellOp::Copy, {at("src/a.txt")}, {}, kDefault, winerr::kInvalidParameter},
      {"a target folder that may not be made", ShellOp::Copy, {at("src/a.txt"), at("src/b.txt")}, {at("x")},
       fof::kNoConfirmation, winerr::kPathNotFound},
      {"targets that do not pair up", ShellOp::Copy, {at("src/a.txt"), at("src/b.txt")}, {at("x")},
       kDefault | fof::kMultiDestFiles, winerr::kInvalidParameter},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(shellFileOperation(c.op, c.from, c.to, c.flags), c.want);
    EXPECT_FALSE(has("x"));
    EXPECT_EQ(names("src"), (Names{"a.txt", "b.txt", "c.log", "sub"}));
  }
}

TEST_F(ShellTree, OneTargetPerSource) {
  ASSERT_EQ(shellFileOperation(ShellOp::Copy, {at("src/a.txt"), at("src/b.txt")}, {at("m/1.txt"), at("m/2.txt")},
                               kDefault | fof::kMultiDestFiles),
            winerr::kSuccess);
  EXPECT_EQ(content("m/1.txt"), "A");
  EXPECT_EQ(content("m/2.txt"), "B");
}

}  // namespace
}  // namespace ov::os
