#include "platform/rt/paths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>

#include "platform/rt/date_time.h"
#include "scratch.h"

using namespace ov::rt;
using ov::rt::testing::Scratch;

TEST(Paths, Normalise) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\\b\\c.txt", "a/b/c.txt"}, {".\\X.INI", "X.INI"},   {"./X.INI", "X.INI"},
      {".\\\\x", "x"},              {"/abs/x", "/abs/x"},     {"..\\up", "../up"},
      {"dir\\", "dir/"},            {"", ""},
  };
  for (auto [in, want] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(normalizePath(in), want);
  }
}

TEST(Paths, SplitsNames) {
  struct Split {
    const char* in;
    const char* folder;
    const char* name;
    const char* ext;
  };
  const Split cases[] = {
      {"C:\\a\\b.txt", "C:/a/", "b", ".txt"},
      {"report.tar.gz", "", "report.tar", ".gz"},
      {"/x/.hidden", "/x/", ".hidden", ""},
      {"C:prog.exe", "C:", "prog", ".exe"},
      {"folder/", "folder/", "", ""},
      {"NOEXT", "", "NOEXT", ""},
  };
  for (const Split& c : cases) {
    SCOPED_TRACE(c.in);
    PathParts p = splitPath(c.in);
    EXPECT_EQ(p.folder, c.folder);
    EXPECT_EQ(p.name, c.name);
    EXPECT_EQ(p.extension, c.ext);
  }
}

TEST(Paths, ExactNameFirstThenIgnoringCase) {
  Scratch s;
  s.write("Data/Sub/File.TXT", "x");
  s.write("Data/a.txt", "lower");
  s.write("Data/A.TXT", "upper");
  const std::pair<const char*, const char*> cases[] = {
      {"data\\sub\\file.txt", "Data/Sub/File.TXT"},
      {".\\DATA\\SUB\\FILE.TXT", "Data/Sub/File.TXT"},
      {"Data/a.txt", "Data/a.txt"},            // exact names win
      {"Data/A.TXT", "Data/A.TXT"},
      {"Data/A.txt", "Data/A.TXT"},            // otherwise the first in name order
      {"DATA/new.txt", "Data/new.txt"},        // a new file lands in the existing folder
      {"nope\\Sub\\x", "nope/Sub/x"},          // the rest stays as given
      {"data/sub/", "Data/Sub/"},
      {"Data/Sub/File.TXT   ", "Data/Sub/File.TXT"},  // a blank-padded field
  };
  for (auto [in, want] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(resolvePath(in), want);
  }
  EXPECT_EQ(resolvePath(s.root() + "/DATA/SUB"), s.root() + "/Data/Sub");
  EXPECT_TRUE(EXISTS("data\\sub\\file.txt"));
  EXPECT_TRUE(EXISTS("DATA"));
  EXPECT_FALSE(EXISTS("data\\sub\\other.txt"));
  EXPECT_FALSE(EXISTS(""));
}

TEST(Paths, CurrentFolder) {
  Scratch s;
  s.mkdir("Data/Sub");
  ASSERT_EQ(SETPATH("data\\sub"), Err::None);
  EXPECT_EQ(PATH(), SHORTPATH(s.root()) + "/Data/Sub");
  EXPECT_EQ(SHORTPATH(".."), SHORTPATH(s.root()) + "/Data");
  EXPECT_EQ(SETPATH("missing"), Err::NoPath);
  EXPECT_EQ(PATH(), SHORTPATH(s.root()) + "/Data/Sub");
  EXPECT_EQ(SHORTPATH("missing"), "");
}

TEST(Paths, XdgFolders) {
  Scratch s;
  EXPECT_EQ(configFolder(), s.root() + "/config/orvane");
  EXPECT_EQ(dataFolder(), s.root() + "/data/orvane");
  EXPECT_EQ(iniFilePath("OV98.INI"), s.root() + "/config/orvane/OV98.INI");
  EXPECT_EQ(iniFilePath(""), s.root() + "/config/orvane/WIN.INI");
  EXPECT_EQ(iniFilePath(".\\POSITION.INI"), "POSITION.INI");

  // Unset (or relative, which the XDG rules ignore): the folders under the home folder.
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", s.path("home").c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("XDG_DATA_HOME", "relative", 1);
  EXPECT_EQ(configFolder(), s.root() + "/home/.config/orvane");
  EXPECT_EQ(dataFolder(), s.root() + "/home/.local/share/orvane");
  ::setenv("HOME", home.c_str(), 1);

  ASSERT_EQ(makeFolders(s.path("x/y/z")), Err::None);
  ASSERT_EQ(makeFolders(s.path("x/y/z")), Err::None);  // existing is fine
  s.write("file", "");
  EXPECT_EQ(makeFolders(s.path("file/sub")), Err::NoPath);
}

TEST(Paths, DirectoryListsNamesDatesTimesAndSizes) {
  Scratch s;
  s.write("Logs/b.TXT", "12345");
  s.write("Logs/a.txt", "");
  s.write("Logs/C.log", "1");
  s.write("Logs/.hidden", "x");
  s.mkdir("Logs/Sub.txt");
  // a.txt last changed on 4 March 2024 at 13:05:07 local time.
  int32_t date = DATE(3, 4, 2024), time = 13 * 360000 + 5 * 6000 + 7 * 100 + 1;
  struct utimbuf times{static_cast<time_t>(toUnixTime(date, time)), static_cast<time_t>(toUnixTime(date, time))};
  ASSERT_EQ(::utime(s.path("Logs/a.txt").c_str(), &times), 0);

  auto names = [](const std::vector<DirEntry>& list) {
    std::string out;
    for (const DirEntry& e : list) out += (out.empty() ? "" : " ") + e.name;
    return out;
  };
  std::vector<DirEntry> list;
  ASSERT_EQ(DIRECTORY(list, "logs\\*.*"), Err::None);
  EXPECT_EQ(names(list), "a.txt b.TXT C.log");  // sorted ignoring case; no folders, no hidden
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].date, date);
  EXPECT_EQ(list[0].time, time);
  EXPECT_EQ(list[0].size, 0);
  EXPECT_EQ(list[1].size, 5);
  EXPECT_EQ(list[1].attrib, ffArchive);

  ASSERT_EQ(DIRECTORY(list, "Logs/*.txt", ffDirectory), Err::None);
  EXPECT_EQ(names(list), "a.txt b.TXT Sub.txt");
  EXPECT_EQ(list[2].attrib, ffDirectory);

  ASSERT_EQ(DIRECTORY(list, "Logs/*", ffHidden), Err::None);
  EXPECT_EQ(names(list), ".hidden a.txt b.TXT C.log");
  EXPECT_EQ(list[0].attrib, ffArchive | ffHidden);

  ASSERT_EQ(DIRECTORY(list, "Logs/?.LOG"), Err::None);
  EXPECT_EQ(names(list), "C.log");
  ASSERT_EQ(DIRECTORY(list, "LOGS\\B.TXT"), Err::None);  // one named entry
  EXPECT_EQ(names(list), "b.TXT");
  ASSERT_EQ(DIRECTORY(list, "Logs/*.none"), Err::None);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(DIRECTORY(list, "Missing/*.*"), Err::NoPath);
}
