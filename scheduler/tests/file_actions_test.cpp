// File actions on a temporary tree.
#include <gtest/gtest.h>

#include <sys/time.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/ui/runtime.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window.h"
#include "scheduler/file_actions.h"
#include "scheduler/tests/script_fixture.h"

namespace ov::scheduler {
namespace {

namespace fs = std::filesystem;
using testing::Step;
using testing::setValue;

class FileActionsTest : public ScriptFixture {
 protected:
  void SetUp() override {
    ScriptFixture::SetUp();
    for (const char* f : {"src/a.txt", "src/b.txt", "src/notes.log", "src/.hidden.txt", "src/sub/c.txt", "src/sub/deep/d.txt"})
      write(f, fs::path(f).filename().string());
    scriptServices().fileActionStatus = [this](std::string_view line) {
      status.emplace_back(line);
      // The same line is the last one of the status window, which is open meanwhile.
      for (ui::Window* w : ui::openWindows()) {
        if (w->title() != "File Actions") continue;
        auto* list = w->as<ui::TextList>(w->feq("?Status"));
        shownInWindow += list && !list->lines().empty() && list->lines().back() == line;
      }
    };
    SetVariable(dir().string(), "DIR");
    fs::create_directories(dir() / "share");  // XDG_DATA_HOME, where the trash lives
  }
  void write(const std::string& relative, const std::string& content) {
    fs::create_directories((dir() / relative).parent_path());
    std::ofstream(dir() / relative) << content;
  }
  std::string read(const std::string& relative) {
    std::ifstream in(dir() / relative);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  bool has(const std::string& relative) { return fs::exists(dir() / relative); }
  // Sets a file's modification time to a local moment.
  void touch(const std::string& relative, int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
    ASSERT_EQ(::utimes((dir() / relative).c_str(), times), 0);
  }
  int32_t act(std::string_view kind, std::string_view source, std::string_view destination = {},
              std::string_view o1 = {}, std::string_view o2 = {}) {
    status.clear();
    return FileActions(kind, source, destination, o1, o2);
  }
  std::vector<std::string> status;
  int shownInWindow = 0;
};

TEST_F(FileActionsTest, CopiesWithWildcardsTreesAndNewerFilesOnly) {
  EXPECT_EQ(act("Copy", "[DIR]/src/*.txt", "[DIR]/flat"), 0);
  EXPECT_EQ(read("flat/a.txt"), "a.txt");
  EXPECT_TRUE(has("flat/b.txt"));
  EXPECT_FALSE(has("flat/notes.log"));
  EXPECT_FALSE(has("flat/sub"));
  EXPECT_EQ(var("FileCopy"), "0");

  // "/S" without "*.*": the tree copy, every level below made as needed.
  EXPECT_EQ(act("Copy", "[DIR]/src/*.txt", "[DIR]/tree", "/S"), 0);
  EXPECT_EQ(read("tree/sub/deep/d.txt"), "d.txt");
  EXPECT_EQ(read("tree/sub/c.txt"), "c.txt");
  EXPECT_FALSE(has("tree/notes.log"));

  // "/D": files whose copies are as new are skipped, one line each; a newer one is copied.
  EXPECT_EQ(act("Copy", "[DIR]/src/*.txt", "[DIR]/tree", "/S", "/D"), 0);
  EXPECT_EQ(std::count_if(status.begin(), status.end(), [](const std::string& s) { return s.starts_with("Skipping "); }), 5);
  write("src/a.txt", "changed");
  touch("src/a.txt", 2037, 1, 1, 0, 0, 0);
  EXPECT_EQ(act("Copy", "[DIR]/src/*.txt", "[DIR]/tree", "/D", "/S"), 0);
  EXPECT_EQ(read("tree/a.txt"), "changed");
  EXPECT_EQ(std::count_if(status.begin(), status.end(), [](const std::string& s) { return s.ends_with("/tree/a.txt"); }), 1);

  EXPECT_EQ(act("Copy", "[DIR]/src/*.none", "[DIR]/tree", "/D"), -1);  // nothing to copy
  // Every status line of the tree copies above was shown: 2 searches and 5 copies, 2 searches and
  // 5 skips, 2 searches with 4 skips and a copy, 1 search.
  EXPECT_EQ(shownInWindow, 7 + 7 + 7 + 1);
  EXPECT_TRUE(ui::openWindows().empty());                // and the window closed after each
}

TEST_F(FileActionsTest, MovesRenamesDeletesAndRecycles) {
  EXPECT_EQ(act("Move", "[DIR]/src/notes.log", "[DIR]/moved/"), 0);
  EXPECT_TRUE(has("moved/notes.log"));
  EXPECT_FALSE(has("src/notes.log"));
  EXPECT_EQ(var("FileMove"), "0");

  EXPECT_EQ(act("Rename", "[DIR]/moved/notes.log", "renamed.log"), 0);
  EXPECT_TRUE(has("moved/renamed.log"));
  EXPECT_EQ(var("FileRename"), "0");
  EXPECT_EQ(var("FileCopy"), "0");

  EXPECT_EQ(act("Delete", "[DIR]/src/a.txt|[DIR]/src/b.txt"), 0);
  EXPECT_FALSE(has("src/a.txt"));
  EXPECT_FALSE(has("src/b.txt"));
  EXPECT_FALSE(has("share/Trash/files/a.txt"));  // deleted for good
  EXPECT_EQ(act("Recycle", "[DIR]/moved/renamed.log"), 0);
  EXPECT_FALSE(has("moved/renamed.log"));
  EXPECT_EQ(read("share/Trash/files/renamed.log"), "notes.log");
  EXPECT_EQ(var("FileDelete"), "0");

  EXPECT_NE(act("Move", "[DIR]/src/none.txt", "[DIR]/x.txt"), 0);
}

TEST_F(FileActionsTest, FoldersDatesSizesAndExistence) {
  EXPECT_EQ(act("Make Directory", "[DIR]/x/y/z"), 1);
  EXPECT_TRUE(fs::is_directory(dir() / "x/y/z"));
  EXPECT_EQ(var("DirCreate"), "1");
  EXPECT_EQ(act("Make Directory", ""), 0);
  EXPECT_EQ(act("Remove Directory", "[DIR]/x"), 0);  // not empty
  EXPECT_EQ(act("Remove Directory", "[DIR]/x/y/z"), 1);
  EXPECT_EQ(var("DirRemove"), "1");

  touch("src/sub/c.txt", 2024, 6, 1, 10, 20, 30);
  EXPECT_EQ(act("Get File Date", "[DIR]/src/sub/c.txt"), rt::DATE(6, 1, 2024));
  EXPECT_EQ(var("FileDate"), "20240601");
  EXPECT_EQ(act("Get File Time", "[DIR]/src/sub/*.txt"), ((10 * 60 + 20) * 60 + 30) * 100 + 1);
  EXPECT_EQ(var("FileTime"), "102030");
  EXPECT_EQ(act("Get File Size", "[DIR]/src/sub/c.txt"), 5);
  EXPECT_EQ(var("FileSize"), "5");
  EXPECT_EQ(act("Get File Date", "[DIR]/src/none.txt"), 0);
  EXPECT_EQ(var("FileDate"), "00000");

  struct Case {
    const char* source;
    int32_t want;
  };
  for (const Case& c : {Case{"[DIR]/src/sub/*.txt", 1}, Case{"[DIR]/src/*.none", 0}, Case{"[DIR]/src/sub", 1},
                        Case{"[DIR]/src/.hidden.txt", 1}, Case{"[DIR]/nowhere/*.txt", 0}}) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(act("File Exists", c.source), c.want);
    EXPECT_EQ(var("FileExists"), std::to_string(c.want));
  }
  EXPECT_EQ(act("Shred", "[DIR]/src/a.txt"), 0);
  EXPECT_TRUE(has("src/a.txt"));
  EXPECT_EQ(var("Errorcode"), "0");
}

TEST_F(FileActionsTest, StepsCarryTheResultAndTestExistence) {
  queue({Step("File Actions").kind("Make Directory").command("[DIR]/made"),
         Step("If File Exists...").command("[DIR]/src/*.log").existence("Exists"), setValue("T", "[T]log"),
         Step("...End If"),
         Step("If File Exists...").command("[DIR]/src/*.none").existence("Exists"), setValue("T", "[T]none"),
         Step("...End If")});
  run();
  EXPECT_EQ(var("T"), "log");
  const std::vector<std::string> lines = logWith("Script:  File Actions");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with("; 1")) << lines[0];
}

}  // namespace
}  // namespace ov::scheduler
