#include <gtest/gtest.h>

#include "netlib/detail/log.h"
#include "netlib/net_error.h"
#include "netlib/net_log.h"
#include "netlib/tests/support.h"

namespace ov::net {
namespace {

using test::CapturedLog;
using test::loadWith;
using test::TempConfig;

TEST(NetDebugTrace, CutsLongTextsAndDropsTrailingBlanks) {
  CapturedLog log;
  struct Case {
    const char* name;
    std::string text;
    std::string want;
  };
  const Case cases[] = {
      {"short text keeps its words", "hello  ", "hello\r\n"},
      {"1021 characters are written whole", std::string(1021, 'a'), std::string(1021, 'a') + "\r\n"},
      {"1022 characters are clipped", std::string(1022, 'b'), std::string(1012, 'b') + " <clipped>\r\n"},
      {"the passed length decides, not the clipped one", std::string(20, 'c') + std::string(1010, ' '),
       std::string(20, 'c') + std::string(992, ' ') + " <clipped>\r\n"},
      {"300 blanks give an empty line", std::string(300, ' '), "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    EXPECT_EQ(NetDebugTrace(c.text), 0);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], c.want);
  }
}

// Which lines appear under which switches: plain (level 0) and error (level 100) lines, the banner.
TEST(NetTurnOnLogging, SwitchesDecideWhichLinesAreWritten) {
  TempConfig config;
  struct Case {
    const char* switches;
    bool plainLine, errorLine, banner;
  };
  const Case cases[] = {
      {"", false, false, false},
      {"/netdlllog", true, true, true},
      {"/NetDllLog", true, true, true},
      {"/netdlllogerrors", false, true, false},
      {"/netdlllog /netdlllogerrors", false, true, false},
      {"/netdlllogall", false, false, false},
      {"/netdlllogall /netdlllogerrors", false, true, false},
      {"/netall", false, false, false},  // detailed lines, but plain logging stays off
      {"/neterrors", false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.switches);
    CapturedLog log;
    loadWith(std::string("/opt/ov/OV_POP ") + c.switches);
    bool banner = log.contains("[NetDLL] Using Wirelet DLL version = 2.5c in application /opt/ov/ov_pop : Wirelet DLL "
                               "Logging turned On");
    log.clear();
    detail::logLine("Probe", "plain text  ", detail::kLevelPlain);
    detail::logLine("Probe", "error text", detail::kLevelError);
    EXPECT_EQ(banner, c.banner);
    EXPECT_EQ(log.contains("[NetDLL]  Probe() : plain text\r\n"), c.plainLine);
    EXPECT_EQ(log.contains("[NetDLL]  Probe() : error text\r\n"), c.errorLine);
  }
}

TEST(NetTurnOnLogging, BannerReplaysStartUpLinesOnlyOnce) {
  {
    TempConfig earlier;
    loadWith("prog");  // a library an earlier test left loaded logs its shut-down before the capture
  }
  TempConfig config;
  CapturedLog log;
  loadWith("prog /netdlllog");
  std::vector<std::string> first = log.lines();
  ASSERT_GE(first.size(), 6u);
  EXPECT_EQ(first[0], "[NetDLL] ===== [WIRELET] " + std::string(79, '=') + "\r\n");
  EXPECT_NE(first[2].find("Net:MaxBinData = 16384 MaxDataPacketSize = 16735"), std::string::npos);
  const std::string startLine = " DLLStartUp() : Having to create a new GUID for this machine.";
  EXPECT_TRUE(log.contains("[NetDLL] " + startLine));  // written at once
  EXPECT_FALSE(log.contains("[Past Info]"));            // nothing was kept before the first banner
  log.clear();
  NetTurnOnLogging();
  EXPECT_TRUE(log.contains("Wirelet DLL Logging turned On"));
  EXPECT_TRUE(log.contains("[NetDLL]  [Past Info] " + startLine));
  log.clear();
  NetTurnOnLogging();
  EXPECT_TRUE(log.contains("Wirelet DLL Logging turned On"));
  EXPECT_FALSE(log.contains("[Past Info]"));
}

TEST(NetErrorStr, GivesTheTextOfEveryKindOfCode) {
  struct Case {
    long code;
    const char* want;
  };
  const Case cases[] = {
      {0, "General Winsock Error (unknown by NetErrorStr) [0]"},
      {-57, "General Winsock Error (unknown by NetErrorStr) [-57]"},
      {12345, "General Winsock Error (unknown by NetErrorStr) [12345]"},
      {-5, "Main start sequence faile"},
      {-13, "No request"},
      {-56, "Wirelet DLL not actively initiated"},
      {-1, "Unknown Error (was previously Wirelet DLL not actively initiated)"},
      {10009, "WSAEBADF (BadF)"},
      {10049, "(WSAEADDRNOTAVAIL) The specified address is not available from the local computer."},
      {10070, "(WSAESTALE) WSAESTALE (stale)"},
  };
  for (const Case& c : cases) EXPECT_EQ(NetErrorStr(c.code), c.want) << c.code;
  EXPECT_EQ(NetErrorStr(-5).size(), 25u);
  EXPECT_EQ(NetErrorStr(10054).rfind("(WSAECONNRESET) Connection reset by peer.", 0), 0u);
  EXPECT_EQ(NetErrorStr(10061).rfind("(WSAECONNREFUSED) Connection refused", 0), 0u);
}

TEST(NetErrorStr, LongTextIsCutAt255Characters) {
  std::string text = NetErrorStr(10048);
  EXPECT_LE(text.size(), 255u);
  EXPECT_TRUE(text.ends_with("that has already been used for an existing")) << text;
}

TEST(NetErrorStr, LogsSocketCodesButNotItsOwn) {
  TempConfig config;
  CapturedLog log;
  loadWith("prog /netdlllogerrors");
  log.clear();
  std::string text = NetErrorStr(10054);
  EXPECT_TRUE(log.contains("[NetDLL]  NetErrorStr() : Error (10054) = " + text + "\r\n"));
  log.clear();
  NetErrorStr(-5);
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace ov::net
