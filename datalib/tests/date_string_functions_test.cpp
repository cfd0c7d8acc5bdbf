#include "datalib/date_string_functions.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "datalib/globals.h"
#include "platform/rt/date_time.h"
#include "platform/rt/picture.h"
#include "platform/rt/process.h"

using namespace ov::files;
using ov::rt::String;

namespace {
constexpr int32_t K = 8640000;
}

TEST(FixDate, NormalisesTheTimeIntoOneDay) {
  struct Case { const char* name; int32_t d, t, wantD, wantT; };
  const Case kCases[] = {
      {"one past the day's end", 100, K + 1, 101, 1},
      {"time 0 is the previous day's last", 100, 0, 99, K},
      {"no date, no time", 0, 0, 0, 0},
      {"no date keeps a negative time", 0, -5, 0, -5},
      {"last centisecond stays", 100, K, 100, K},
      {"three days of time", 5, 3 * K, 7, K},
      {"minus one day", 100, -K, 98, K},
      {"stops at date 0", 1, -2 * K, 0, -K},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    int32_t d = c.d, t = c.t;
    FIXDATE(d, t);
    EXPECT_EQ(d, c.wantD);
    EXPECT_EQ(t, c.wantT);
  }
}

TEST(CompareDate, ComparesNormalisedMoments) {
  struct Case { const char* name; int32_t d1, t1, d2, t2, want; };
  const Case kCases[] = {
      {"overflowing time equals next day", 100, K + 1, 101, 1, 0},
      {"earlier time", 100, 5, 100, 6, -1},
      {"later date beats a later time", 101, 1, 100, K, 1},
      {"no date is earliest", 0, 0, 1, 1, -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(COMPAREDATE(c.d1, c.t1, c.d2, c.t2), c.want);
    EXPECT_EQ(COMPAREDATE(c.d2, c.t2, c.d1, c.t1), -c.want);
  }
}

TEST(CompareDate, MinuteOrSecondPrecision) {
  struct Case { const char* name; int32_t t1, t2; bool bySecond; int32_t want; };
  const Case kCases[] = {
      {"same minute", 6001, 11999, false, 0},
      {"different seconds", 6001, 11999, true, -1},
      {"same second", 6001, 6099, true, 0},
      {"next minute", 11999, 12001, false, -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(COMPAREDATEMINUTE(100, c.t1, 100, c.t2, c.bySecond), c.want);
  }
  EXPECT_EQ(COMPAREDATEMINUTE(99, K + 6001, 100, 11999, false), 0);  // normalised first
  EXPECT_EQ(COMPAREDATEMINUTE(100, 6001, 101, 1, false), -1);
}

TEST(CompareDate, PrecisionFollowsTheRoundingSetting) {
  struct Restore { ~Restore() { TASK.ROUNDING = "Minute"; } } restore;
  const std::pair<const char*, int32_t> kSettings[] = {{"Minute", 0}, {"Second", -1}, {"second", -1}, {"", 0}};
  for (auto [setting, want] : kSettings) {
    SCOPED_TRACE(setting);
    TASK.ROUNDING = setting;
    EXPECT_EQ(COMPAREDATEMINUTE(100, 6001, 100, 11999), want);
  }
}

TEST(FmtDate, UsesThePictureNumberOfTheSetting) {
  struct Restore {
    ov::rt::SystemFormats saved = ov::rt::systemFormats();
    ~Restore() { FORMAT.DATE = "d7"; ov::rt::setSystemFormats(saved); }
  } restore;
  ov::rt::setSystemFormats({"dd.MM.yyyy", "dddd, d. MMMM yyyy", "HH:mm", "HH:mm:ss"});
  const int32_t d = ov::rt::DATE(3, 9, 2007);
  struct Case { const char* setting; const char* want; };
  const Case kCases[] = {
      {"d12", "20070309"},          {"d10", "2007/03/09"},  {"D10", "2007/03/09"},
      {"d17", "09.03.2007"},        {"d7b", " 9 MAR 07"},   {"d7", " 9 MAR 07"},
      {"x", "MAR  9,2007"},         {"d19", "MAR  9,2007"}, {"d0", "MAR  9,2007"},
      {"", "MAR  9,2007"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.setting);
    FORMAT.DATE = c.setting;
    EXPECT_EQ(FMTDATE(d), c.want);
    EXPECT_EQ(FMTDATE(0), "");
  }
}

TEST(FmtYYYYMMDD, YearMonthDayDigits) {
  EXPECT_EQ(FMTYYYYMMDD(ov::rt::DATE(3, 9, 2007)), "20070309");
  EXPECT_EQ(FMTYYYYMMDD(ov::rt::DATE(1, 1, 1801)), "18010101");
  EXPECT_EQ(FMTYYYYMMDD(ov::rt::DATE(12, 31, 9999)), "99991231");
  EXPECT_EQ(FMTYYYYMMDD(0), "00000");
}

TEST(FReplace, ReplacesFromTheEndBackwards) {
  struct Case { const char* name; const char* target; const char* find; const char* repl; bool nocase; const char* want; };
  const Case kCases[] = {
      {"every separator", "a/b/c", "/", "\\", false, "a\\b\\c"},
      {"case kept", "Path PATH path", "path", "X", false, "Path PATH X"},
      {"case ignored", "Path PATH path", "path", "X", true, "X X X"},
      {"backward scan: overlap taken at the end", "aaa", "aa", "b", false, "ab"},
      {"replacement holding find is not rescanned", "ab", "a", "aa", false, "aab"},
      {"find's trailing blank counts", "a b a", "a ", "X", false, "Xb a"},
      {"empty find matches nothing", "abc", "", "X", false, "abc"},
      {"Unicode case", "Straße ÉTÉ", "été", "summer", true, "Straße summer"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string s = c.target;
    FREPLACE(s, c.find, c.repl, c.nocase);
    EXPECT_EQ(s, c.want);
  }
}

TEST(FReplace, FixedFieldKeepsItsWidth) {
  String<5> grows = "abc";
  FREPLACE(grows, "b", "XYZW", false);
  EXPECT_EQ(grows.view(), "aXYZW");
  String<5> shrinks = "abcde";
  FREPLACE(shrinks, "bcd", "", false);
  EXPECT_EQ(shrinks.view(), "ae   ");
  String<4> utf8 = "ab";
  FREPLACE(utf8, "b", "éé", false);  // "aéé" is 5 bytes: the second "é" is dropped whole
  EXPECT_EQ(utf8.view(), "aé ");
}

TEST(StripQuotes, RemovesOnlySurroundingQuotes) {
  struct Case { const char* in; const char* want; };
  const Case kCases[] = {
      {"\"\"", ""},          {"\"\"   ", ""},         {"\"abc\"", "abc"},
      {"\"a b\"  ", "a b"},  {"abc", "abc"},         {" \"abc\"", " \"abc\""},
      {"\"abc", "\"abc"},    {"a\"b\"", "a\"b\""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.in);
    std::string s = c.in;
    STRIPQUOTES(s);
    EXPECT_EQ(ov::rt::clipView(s), c.want);
  }
  String<10> f = "\"x y\"";
  STRIPQUOTES(f);
  EXPECT_EQ(f.view(), "x y       ");
}

TEST(WrapQuotes, QuotesWhereTheCommandLineNeedsIt) {
  struct Case { const char* name; const char* in; const char* want; const char* after; };
  const Case kCases[] = {
      {"plain word", "abc", "abc", "abc"},
      {"blank", "a b", "\"a b\"", "a b"},
      {"backslash", "C:\\Temp", "\"C:\\Temp\"", "C:\\Temp"},
      {"slash", "/tmp/x", "\"/tmp/x\"", "/tmp/x"},
      {"empty", "", "\"\"", ""},
      {"already quoted", "\"x y\"", "\"x y\"", "x y"},
      {"two quotes", "\"\"", "\"\"", ""},
      {"leading blanks dropped", "  lead", "\"lead\"", "  lead"},
      {"tab", "a\tb", "\"a\tb\"", "a\tb"},
      {"inner quotes escaped", "say \"hi\"", "\"say \\\"hi\\\"\"", "say \"hi\""},
      {"quote without blank", "a\"b", "\"a\\\"b\"", "a\"b"},
      {"trailing backslash doubled", "C:\\Temp\\", "\"C:\\Temp\\\\\"", "C:\\Temp\\"},
      {"backslash before quote", "a\\\"b", "\"a\\\\\\\"b\"", "a\\\"b"},
      {"inner backslashes stay single", "a\\\\b", "\"a\\\\b\"", "a\\\\b"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string s = c.in;
    EXPECT_EQ(WRAPQUOTES(s), c.want);
    EXPECT_EQ(s, c.after);
  }
}

TEST(WrapQuotes, ProgramStartSplitsTheValueBackExactly) {
  const char* kValues[] = {"abc", "a b", "C:\\Temp\\", "/tmp/My Files/", "say \"hi\"", "a\\\"b", "\\\\srv\\x y",
                           "tab\there", "end\\\\", "", "x\"", "\"\"\"", "é ü/ß"};
  for (const char* v : kValues) {
    SCOPED_TRACE(v);
    std::string value = v;
    std::string line = "prog " + WRAPQUOTES(value) + " next";
    std::vector<std::string> args = ov::rt::splitCommandLine(line);
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[1], value);
    EXPECT_EQ(args[2], "next");
  }
}

TEST(ExtractFileName, TakesTheProgramsName) {
  struct Case { const char* in; const char* want; };
  const Case kCases[] = {
      {"\"C:\\Program Files\\My App\\app.exe\" /x \"a b\"", "app"},
      {"notepad.exe file.txt", "notepad"},
      {"NotePad.EXE", "NotePad"},
      {"/usr/bin/ov_pop SERVER=x", "ov_pop"},
      {"\"/opt/My Tools/Edit.bin\" a.txt", "Edit"},
      {"  tool arg", "tool"},
      {"Report.Final.exe", "Report.Final"},
      {"C:prog.exe", "prog"},
      {".profile", ".PROFILE"},
      {"C:\\dir\\.cfg x", ".CFG"},
      {"", "UNKNOWN"},
      {"    ", "UNKNOWN"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(EXTRACTFILENAME(c.in), c.want);
  }
}

TEST(GetHash, LettersFirstThenADigestOfTheWholeText) {
  // Digests from an independent FNV-1a 128 implementation (Python), checked against the
  // published test vector of "a".
  EXPECT_EQ(GETHASH("abc"), "ABC#A68D622CEC8B5822836DBC7977AF7F3B");
  EXPECT_EQ(GETHASH("Hello, World 42"), "HELLOWORLD#CA3CA8E4B58B0CB8DF1DBF7E7B05F8C1");
  EXPECT_EQ(GETHASH(""), "#6C62272E07BB014262B821756295C58D");
  EXPECT_EQ(GETHASH("abc   "), GETHASH("abc"));
  EXPECT_EQ(GETHASH("café 1").substr(0, 6), "CAFÉ#");
}

TEST(GetHash, TextsThatDifferGetDifferentKeys) {
  // Clipboard history entries are unique by this key: each pair must not collide.
  const std::pair<const char*, const char*> kPairs[] = {
      {"call 555-1234", "call 555-9999"},  // digits only
      {"12345", "67890"},                  // no letters at all
      {"a.b", "a,b"},                      // punctuation
      {"abc", "ABC"},                      // case
      {"  x", "x"},                        // leading blanks
  };
  for (auto [a, b] : kPairs) {
    SCOPED_TRACE(std::string(a) + " / " + b);
    EXPECT_NE(GETHASH(a), GETHASH(b));
  }
}

TEST(GetHash, FitsTheKeyFieldAndSortsByLetters) {
  std::string longText(500, 'x');
  std::string key = GETHASH(longText);
  EXPECT_EQ(key.size(), kHashKeyWidth);
  EXPECT_EQ(key.substr(0, kHashLetterBytes), std::string(kHashLetterBytes, 'X'));
  // Two-byte letters are never cut in half: 43 of them fill 86 of the 87 letter bytes.
  std::string accents;
  for (int i = 0; i < 100; ++i) accents += "é";
  std::string upperAccents;
  for (int i = 0; i < 43; ++i) upperAccents += "É";
  EXPECT_EQ(GETHASH(accents).substr(0, 87), upperAccents + "#");
  EXPECT_LT(GETHASH("ab 1"), GETHASH("abc"));
  EXPECT_LT(GETHASH("zzz 999"), GETHASH("zzza"));
}

TEST(Scramble, HandWorkedPositions) {
  // Index 0 uses 65 & 11h = 01h, index 1 uses 66 & 11h = 0, index 16 uses 81 & 11h = 11h.
  String<64> f = "AB";
  QVDECRYPT(f);
  EXPECT_EQ(f.clipped(), "!ENC@B");
  f = "!a b";  // "!" ^ 01h is a blank: stored as FFh
  QVDECRYPT(f);
  EXPECT_EQ(f.clipped(), "!ENC\xFF" "a b");
  f = std::string(16, 'b') + "A";
  QVDECRYPT(f);
  EXPECT_EQ(f.clipped().back(), 'P');  // 41h ^ 11h
}

TEST(Scramble, RoundTripsAndNeverLosesAValue) {
  struct Case { const char* name; std::string plain; bool scrambled; };
  const Case kCases[] = {
      {"word", "secret", true},
      {"with blanks", "pass word 1", true},
      {"digits and signs", "P@ss!0 01", true},
      {"UTF-8", "ünïcödé", true},
      {"60 bytes fill the field with the mark", std::string(60, 'k'), true},
      {"61 bytes leave no room for the mark", std::string(61, 'k'), false},
      {"blank", "", false},
      // EFh at index 15 (key 10h) would scramble to FFh, which reads back as a blank.
      {"byte that would scramble to FFh", std::string(15, 'a') + "\uF8FF", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    String<64> f;
    f = c.plain;
    QVDECRYPT(f);
    EXPECT_EQ(f.view().starts_with(kScrambleMark), c.scrambled);
    if (c.scrambled) {
      EXPECT_NE(f.clipped().substr(4), c.plain);
    }
    QVENCRYPT(f);
    EXPECT_EQ(f.clipped(), c.plain);
  }
}

TEST(Scramble, EachDirectionLeavesTheOtherFormAlone) {
  String<64> plain = "secret";
  QVENCRYPT(plain);
  EXPECT_EQ(plain.clipped(), "secret");
  String<64> once = "secret";
  QVDECRYPT(once);
  String<64> twice = once;
  QVDECRYPT(twice);
  EXPECT_EQ(twice.view(), once.view());
}

namespace {
struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/ov_fileq_XXXXXX";
    path = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string make(const char* name, std::string_view content) const {
    std::string p = path + "/" + name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
};
}  // namespace

TEST(GetFileQ, ListsEachMatchingFileOnce) {
  TempDir dir;
  for (const char* name : {"a.txt", "b.TXT", "c.log", ".hidden"}) dir.make(name, "x");
  std::filesystem::create_directory(dir.path + "/sub.txt");
  const std::string d = dir.path + "/";
  std::vector<std::string> q;
  GETFILEQ(d + "*.txt;" + d + "*.TXT\r\n" + d + "c.log\r" + d + ".hidden\n  " + d + "none.*;" + d + "a.txt;" +
               dir.path + "/nofolder/*.*;" + d + "sub.txt",
           q, true, false);
  EXPECT_EQ(q, (std::vector<std::string>{d + "a.txt", d + "b.TXT", d + "c.log", d + ".hidden"}));

  // Kept entries are not repeated; a cleared queue starts afresh.
  q = {"other", d + "c.log"};
  GETFILEQ(d + "*.log", q, false, false);
  EXPECT_EQ(q, (std::vector<std::string>{"other", d + "c.log"}));
  GETFILEQ(d + "*.log", q, true, false);
  EXPECT_EQ(q, (std::vector<std::string>{d + "c.log"}));
}

TEST(GetFileQ, DetailsGiveDateTimeAndSize) {
  struct Restore {
    ov::rt::SystemFormats saved = ov::rt::systemFormats();
    ~Restore() { ov::rt::setSystemFormats(saved); }
  } restore;
  ov::rt::setSystemFormats({"dd.MM.yyyy", "dddd, d. MMMM yyyy", "HH:mm", "HH:mm:ss"});
  TempDir dir;
  std::string file = dir.make("report.csv", "12345");
  // 9 March 2007, 14:05:30 local time (runtime time = centiseconds + 1).
  int64_t unixTime = ov::rt::toUnixTime(ov::rt::DATE(3, 9, 2007), (14 * 3600 + 5 * 60 + 30) * 100 + 1);
  timespec times[2] = {{unixTime, 0}, {unixTime, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  std::vector<std::string> q;
  GETFILEQ(dir.path + "/REPORT.*", q, true, true);
  EXPECT_EQ(q, (std::vector<std::string>{dir.path + "/report.csv|09.03.2007|14:05|5|"}));
}
