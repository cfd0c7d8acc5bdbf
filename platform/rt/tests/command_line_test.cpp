#include "platform/rt/command_line.h"

#include <gtest/gtest.h>

using namespace ov::rt;

TEST(CommandLine, Lookups) {
  setCommandLine("OV98.EXE PATH=\"C:\\My Data\" /ForceRun user=Bob ?ReportsCalendar /i \"two words\" Empty=");
  struct Case {
    const char* flag;
    const char* want;
  };
  const Case cases[] = {
      {"PATH=", "C:\\My Data"},        // the quotes grouped the value and are gone
      {"path", "C:\\My Data"},
      {"User=", "Bob"},
      {"USER", "Bob"},
      {"Empty=", ""},
      {"Missing=", ""},
      {"/FORCERUN", "/ForceRun"},      // as written
      {"/I", "/i"},
      {"/NEGXY", ""},
      {"/For", ""},                    // whole words only
      {"0", "OV98.EXE"},
      {"1", "PATH=C:\\My Data"},
      {"4", "?ReportsCalendar"},
      {"6", "two words"},
      {"8", ""},
      {"99999999999", ""},
      {"?reportscalendar", "?ReportsCalendar"},  // a bare word names itself
      {"ForceRun", ""},                // a bare word is not a switch
      {"", "\"PATH=C:\\My Data\" /ForceRun user=Bob ?ReportsCalendar /i \"two words\" Empty="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flag);
    EXPECT_EQ(COMMAND(c.flag), c.want);
  }
}

TEST(CommandLine, ArgvAndAppendedWords) {
  const char* argv[] = {"/usr/bin/ov_pop", "SERVER=mail.example.org", "/DELETE"};
  setCommandLine(3, argv);
  EXPECT_EQ(COMMAND("server"), "mail.example.org");
  EXPECT_EQ(COMMAND("/netdebugtrace"), "");
  SETCOMMAND("/netdebugtrace /netdlllogall \"/x y\"");
  EXPECT_EQ(COMMAND("/NETDEBUGTRACE"), "/netdebugtrace");
  EXPECT_EQ(COMMAND("5"), "/x y");
  EXPECT_EQ(commandWords().size(), 6u);
  setCommandLine("");
  EXPECT_EQ(COMMAND("1"), "");
  EXPECT_EQ(COMMAND(), "");
}
