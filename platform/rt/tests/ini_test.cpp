#include "platform/rt/ini.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/rt/paths.h"
#include "scratch.h"

using namespace ov::rt;
using ov::rt::testing::Scratch;

namespace {

const char kFixture[] =
    "; written by hand\n"
    "[Settings]\n"
    "  DateFormat = d17 \n"
    "Quoted=\"  padded  \"\n"
    "Single='x'\n"
    "Half=\"open\n"
    "Empty=\n"
    "NoEquals\n"
    "dup=first\n"
    "DUP=second\n"
    "Eq=a=b\n"
    "Path=C:\\Data\\x;y\n"
    "\n"
    "[ Other ]\n"
    "key=other\n"
    "[settings]\n"
    "late=in the second copy\n";

struct Lookup {
  const char* section;
  const char* key;
  const char* want;
};
const Lookup kLookups[] = {
    {"Settings", "dateformat", "d17"},         // case ignored, blanks around trimmed
    {"SETTINGS", "Quoted", "  padded  "},      // quotes removed, blanks inside kept
    {"Settings", "Single", "x"},
    {"Settings", "Half", "\"open"},            // no closing quote: as it stands
    {"Settings", "Empty", ""},                 // present and empty: not the default
    {"Settings", "NoEquals", "(default)"},
    {"Settings", "dup", "first"},              // the first of duplicates
    {"Settings", "Eq", "a=b"},
    {"Settings", "Path", "C:\\Data\\x;y"},     // nothing escaped, ";" inside a value stays
    {"other", "KEY", "other"},                 // blanks inside the brackets trimmed
    {"Settings", "late", "(default)"},         // only the first section of a name counts
    {"Missing", "key", "(default)"},
    {"Settings", "written by hand", "(default)"},  // comments are not keys
};

}  // namespace

TEST(Ini, ReadsAsWindowsProfilesDo) {
  Scratch s;
  s.write("T.INI", kFixture);
  for (const Lookup& c : kLookups) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(GETINI(c.section, c.key, "(default)", ".\\T.INI"), c.want);
  }
  EXPECT_EQ(GETINI("Settings", "DateFormat", "(default)", ".\\NOFILE.INI"), "(default)");
}

TEST(Ini, WritesKeepTheFileInItsOrder) {
  Scratch s;
  s.write("T.INI", kFixture);
  ASSERT_EQ(PUTINI("SETTINGS", "dateFORMAT", "d3", ".\\t.ini"), Err::None);  // case-insensitive file name
  ASSERT_EQ(PUTINI("Settings", "NewKey", " spaced value ", ".\\T.INI"), Err::None);
  ASSERT_EQ(PUTINI("Other", "two", "2", ".\\T.INI"), Err::None);
  ASSERT_EQ(PUTINI("Fresh", "Line", "one\ntwo\r\nthree", ".\\T.INI"), Err::None);
  EXPECT_EQ(s.read("T.INI"),
            "; written by hand\n"
            "[Settings]\n"
            "DateFormat=d3\n"
            "Quoted=\"  padded  \"\n"
            "Single='x'\n"
            "Half=\"open\n"
            "Empty=\n"
            "NoEquals\n"
            "dup=first\n"
            "DUP=second\n"
            "Eq=a=b\n"
            "Path=C:\\Data\\x;y\n"
            "NewKey=spaced value\n"
            "\n"
            "[ Other ]\n"
            "key=other\n"
            "two=2\n"
            "[settings]\n"
            "late=in the second copy\n"
            "[Fresh]\n"
            "Line=one two  three\n");
  EXPECT_FALSE(std::filesystem::exists(s.path("t.ini")));  // the existing file was used
}

TEST(Ini, KeepsWindowsLineEndsAndAByteOrderMark) {
  Scratch s;
  s.write("W.INI", "\xEF\xBB\xBF[Main]\r\nA=1\r\n");
  EXPECT_EQ(GETINI("Main", "A", "", ".\\W.INI"), "1");
  ASSERT_EQ(PUTINI("Main", "B", "2", ".\\W.INI"), Err::None);
  EXPECT_EQ(s.read("W.INI"), "\xEF\xBB\xBF[Main]\r\nA=1\r\nB=2\r\n");
}

TEST(Ini, NamesThatCannotBeWrittenLeaveTheFileAlone) {
  Scratch s;
  s.write("T.INI", kFixture);
  const std::pair<const char*, const char*> bad[] = {
      {"", "key"}, {"  ", "key"}, {"Sec]tion", "key"}, {"Sec\ntion", "key"},
      {"Settings", ""}, {"Settings", "a=b"}, {"Settings", "a\nb"}, {"Settings", "[x"}, {"Settings", ";x"},
  };
  for (auto [section, key] : bad) {
    SCOPED_TRACE(std::string(section) + "/" + key);
    EXPECT_EQ(PUTINI(section, key, "v", ".\\T.INI"), Err::BadParameters);
  }
  EXPECT_EQ(s.read("T.INI"), kFixture);
}

TEST(Ini, FileWithoutFolderLivesInTheConfigFolder) {
  Scratch s;
  ASSERT_EQ(PUTINI("Settings", "A", "1", "OV98.INI"), Err::None);  // the folder is created
  EXPECT_EQ(s.read("config/orvane/OV98.INI"), "[Settings]\nA=1\n");
  EXPECT_EQ(GETINI("settings", "a", "", "ov98.ini"), "1");
  EXPECT_EQ(GETINI("Settings", "A", "none", ".\\OV98.INI"), "none");  // not the current folder

  ASSERT_EQ(PUTINI("Custom", "ProductName", "Orvane"), Err::None);  // the default INI file
  EXPECT_EQ(s.read("config/orvane/WIN.INI"), "[Custom]\nProductName=Orvane\n");
  EXPECT_EQ(GETINI("Custom", "ProductName"), "Orvane");

  ASSERT_EQ(PUTINI("Main", "X", "1", ".\\POSITION.INI"), Err::None);
  EXPECT_EQ(s.read("POSITION.INI"), "[Main]\nX=1\n");
  EXPECT_EQ(PUTINI("Main", "X", "1", "nofolder\\POSITION.INI"), Err::NoPath);
}

TEST(Ini, NewFilesFollowTheUmaskAndOldOnesKeepTheirMode) {
  Scratch s;
  mode_t old = ::umask(022);
  ASSERT_EQ(PUTINI("A", "k", "v", ".\\NEW.INI"), Err::None);
  ::umask(old);
  struct stat st;
  ASSERT_EQ(::stat(s.path("NEW.INI").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  ::chmod(s.path("NEW.INI").c_str(), 0600);
  ASSERT_EQ(PUTINI("A", "k", "w", ".\\NEW.INI"), Err::None);
  ASSERT_EQ(::stat(s.path("NEW.INI").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Readers never see half a file: every value read is one of the whole values written.
TEST(Ini, ReadersSeeTheOldFileOrTheNewOneNeverHalf) {
  Scratch s;
  const std::string a(4000, 'a'), b(4000, 'b');
  ASSERT_EQ(putIniValues("S", {{"K1", a}, {"K2", a}, {"K3", a}}, ".\\R.INI"), Err::None);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 60; ++i) {
      const std::string& v = i % 2 ? a : b;
      if (putIniValues("S", {{"K1", v}, {"K2", v}, {"K3", v}}, ".\\R.INI") != Err::None) break;
    }
    done = true;
  });
  int reads = 0, bad = 0;
  while (!done || reads == 0) {
    std::string v = GETINI("S", "K3", "missing", ".\\R.INI");
    if (v != a && v != b) ++bad;
    ++reads;
  }
  writer.join();
  EXPECT_EQ(bad, 0) << "of " << reads << " reads";
  EXPECT_TRUE(std::filesystem::exists(s.path("R.INI")));
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(s.root())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

// A write that skips the flush to disk is the same replacement otherwise: the same bytes, the
// file's mode kept, no temporary file left.
TEST(Ini, UnflushedWritesReplaceTheFileAsDurableOnesDo) {
  Scratch s;
  s.write("D.INI", kFixture);
  s.write("U.INI", kFixture);
  ASSERT_EQ(::chmod(s.path("U.INI").c_str(), 0640), 0);
  const std::vector<std::pair<std::string, std::string>> values = {{"DateFormat", "d3"}, {"New", "x"}};
  ASSERT_EQ(putIniValues("Settings", values, ".\\D.INI", IniFlush::Durable), Err::None);
  ASSERT_EQ(putIniValues("Settings", values, ".\\U.INI", IniFlush::Unflushed), Err::None);
  ASSERT_EQ(putIniValues("Fresh", {{"k", "v"}}, ".\\N.INI", IniFlush::Unflushed), Err::None);
  EXPECT_EQ(s.read("U.INI"), s.read("D.INI"));
  EXPECT_EQ(GETINI("Settings", "DateFormat", "", ".\\U.INI"), "d3");
  EXPECT_EQ(s.read("N.INI"), "[Fresh]\nk=v\n");
  struct stat st {};
  ASSERT_EQ(::stat(s.path("U.INI").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(s.root())) files += e.is_regular_file();
  EXPECT_EQ(files, 3);
}

// Two writers of different keys in one file lose neither's keys.
TEST(Ini, ConcurrentWritersLoseNoKey) {
  Scratch s;
  auto writer = [](const char* prefix) {
    for (int i = 0; i < 20; ++i)
      if (PUTINI("S", prefix + std::to_string(i), "v", ".\\C.INI") != Err::None) return;
  };
  std::thread t1(writer, "a"), t2(writer, "b");
  t1.join();
  t2.join();
  int missing = 0;
  for (int i = 0; i < 20; ++i)
    for (const char* p : {"a", "b"}) missing += GETINI("S", p + std::to_string(i), "", ".\\C.INI") != "v";
  EXPECT_EQ(missing, 0);
}

TEST(IniClass, ValuesThroughTheManager) {
  Scratch s;
  INIClass ini;
  ini.Init(".\\POSITION.INI");
  EXPECT_EQ(ini.TryFetch("Preserved", "ReportTitle"), "");
  EXPECT_EQ(ini.Fetch("Preserved", "ReportTitle", "Calendar"), "Calendar");
  ASSERT_EQ(ini.Update("Preserved", "ReportTitle", "Weekly"), Err::None);
  EXPECT_EQ(ini.TryFetch("PRESERVED", "reporttitle"), "Weekly");
  EXPECT_EQ(s.read("POSITION.INI"), "[Preserved]\nReportTitle=Weekly\n");
}

TEST(IniClass, WindowPlaceIsSavedInKeyOrder) {
  Scratch s;
  INIClass ini;
  ini.Init(".\\POSITION.INI");
  ASSERT_EQ(ini.Update("UpdateSchedule", WindowPlace{10, 20, 300, 200, false, false, true}), Err::None);
  ASSERT_EQ(ini.Update("Fixed", WindowPlace{-5, 7, 300, 200, false, false, false}), Err::None);
  EXPECT_EQ(s.read("POSITION.INI"),
            "[UpdateSchedule]\nMaximize=No\nXPos=10\nYPos=20\nHeight=200\nWidth=300\n"
            "[Fixed]\nMaximize=No\nXPos=-5\nYPos=7\n");
  // Maximised: only the flag changes, the last normal place stays. Minimised: nothing is written.
  ASSERT_EQ(ini.Update("UpdateSchedule", WindowPlace{0, 0, 1, 1, true, false, true}), Err::None);
  ASSERT_EQ(ini.Update("Fixed", WindowPlace{1, 1, 1, 1, false, true, false}), Err::None);
  EXPECT_EQ(s.read("POSITION.INI"),
            "[UpdateSchedule]\nMaximize=Yes\nXPos=10\nYPos=20\nHeight=200\nWidth=300\n"
            "[Fixed]\nMaximize=No\nXPos=-5\nYPos=7\n");
}

TEST(IniClass, WindowPlaceIsRestored) {
  Scratch s;
  s.write("POSITION.INI",
          "[Saved]\nMaximize=Yes\nXPos=10\nYPos=20\nHeight=200\nWidth=300\n"
          "[NoPos]\nMaximize=No\n"
          "[Odd]\nMaximize=maybe\nXPos=10\n");
  INIClass ini;
  ini.Init(".\\POSITION.INI");

  WindowPlace resizable{1, 2, 3, 4, false, false, true};
  ASSERT_TRUE(ini.Fetch("saved", resizable));
  EXPECT_EQ(resizable.x, 10);
  EXPECT_EQ(resizable.y, 20);
  EXPECT_EQ(resizable.width, 300);
  EXPECT_EQ(resizable.height, 200);
  EXPECT_TRUE(resizable.maximized);

  WindowPlace fixed{1, 2, 3, 4, false, false, false};
  ASSERT_TRUE(ini.Fetch("Saved", fixed));
  EXPECT_EQ(fixed.x, 10);
  EXPECT_EQ(fixed.width, 3);  // a fixed-size window keeps its size

  WindowPlace maximised{1, 2, 3, 4, true, false, true};
  ASSERT_TRUE(ini.Fetch("NoPos", maximised));  // "No" without a position: only un-maximised
  EXPECT_EQ(maximised.x, 1);
  EXPECT_FALSE(maximised.maximized);

  for (const char* section : {"Odd", "Missing"}) {
    WindowPlace untouched{1, 2, 3, 4, true, false, true};
    EXPECT_FALSE(ini.Fetch(section, untouched));
    EXPECT_EQ(untouched.x, 1);
    EXPECT_TRUE(untouched.maximized);
  }
}
