#include "datalib/config.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/tests/data_folder.h"
#include "platform/rt/ini.h"
#include "platform/ui/testing/scripted_host.h"

namespace ov::files {
namespace {

using rt::Err;

// A fresh data folder, the settings globals cleared; a message box that the test does not
// expect fails it.
struct Session {
  Session() {
    clearGlobals();
    INI.FILENAME = "ov98.INI";
  }

  // Every stored setting, key to value.
  std::map<std::string, std::string> table() {
    std::map<std::string, std::string> out;
    EXPECT_EQ(CONFIGURATION.set(), Err::None);
    while (CONFIGURATION.next() == Err::None) out[CF.DataType.str()] = CF.DataValue.str();
    return out;
  }

  testing::DataFolder dir;
  ui::test::ScriptedHost host;
};

TEST(Configuration, FreshFolderStoresOnlyTheKeysWithADefault) {
  Session s;
  STANDARDCONFIGURATION();
  const std::map<std::string, std::string> want = {
      {"CM:Mode", "Normal"}, {"CM:OnTop", "1"}, {"CM:UseEx", "0"}, {"MaxClipboardEntries", "50"},
      {"UseMAPI", "0"}, {"UseMAPINoBCC", "0"}, {"DateFormat", "d7"}, {"TimeFormat", "t7b"},
      {"LogExitCodes", "0"}, {"MaxLogSize", "0"}, {"UseNTEventLog", "0"}, {"UseOVMsg", "1"},
      {"Rounding", "Minute"}};
  EXPECT_EQ(s.table(), want);
  EXPECT_EQ(CLIP.DEFAULTACTION.str(), "Normal");
  EXPECT_EQ(CLIP.ONTOP, 1);
  EXPECT_EQ(CLIP.MAXENTRIES, 50);
  EXPECT_EQ(FORMAT.DATE.str(), "d7");
  EXPECT_EQ(FORMAT.TIME.str(), "t7b");
  EXPECT_EQ(MSG.USEEXTERNAL, 1);
  EXPECT_EQ(TASK.ROUNDING.str(), "Minute");
  EXPECT_TRUE(EMAIL.HOST.isBlank());
  EXPECT_EQ(START.SCHEDULE, 1);  // a missing "StartUpSchedule" opens the schedule
  EXPECT_EQ(KEYS.MAXCHARSPERSEND, 7);
  EXPECT_EQ(SCRIPT.DELAYLEN, 10);
}

TEST(Configuration, StoredValuesLoadWithFloorsInversionAndClamping) {
  struct Case { const char* key; const char* value; const char* global; double want; };
  const Case kCases[] = {
      {"BurstSize", "0", "KEYS:MAXCHARSPERSEND", 7},
      {"BurstSize", "3", "KEYS:MAXCHARSPERSEND", 3},
      {"BurstSize", "300", "KEYS:MAXCHARSPERSEND", 255},  // clamped, not wrapped to 44
      {"ScriptingDelay", "5", "SCRIPT:DELAYLEN", 10},
      {"ScriptingDelay", "10", "SCRIPT:DELAYLEN", 10},
      {"ScriptingDelay", "25", "SCRIPT:DELAYLEN", 25},
      {"StartUpSchedule", "1", "START:SCHEDULE", 0},
      {"StartUpSchedule", "0", "START:SCHEDULE", 1},
      {"MaxClipboardEntries", "many", "CLIP:MAXENTRIES", 0},
      {"MaxClipboardEntries", "120", "CLIP:MAXENTRIES", 120},
      {"RIFO", "1", "REPORT:IncludeFutureOccurances", 1},
      {"MinimizeOnCloseRequest", "1", "GLO:TRAYONCLOSE", 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    Session s;
    PUTCONFIG(c.key, c.value);
    STANDARDCONFIGURATION();
    const GlobalEntry* g = findGlobal(c.global);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(rt::fieldNumber(g->address, g->desc), c.want);
    }
}

TEST(Configuration, TextSettingsAreCutToTheirGlobal) {
  Session s;
  PUTCONFIG("DateFormat", "d17 long");
  PUTCONFIG("Host", "smtp.example.org");
  STANDARDCONFIGURATION();
  EXPECT_EQ(FORMAT.DATE.view(), "d17 lo");
  EXPECT_EQ(EMAIL.HOST.str(), "smtp.example.org");
}

TEST(Configuration, MissingKeysComeFromTheirIniFileAndAreCopiedIntoTheTable) {
  Session s;
  // The main INI file and the runtime's default INI file, both named without a folder.
  ASSERT_EQ(rt::PUTINI("Settings", "Host", "mail.example.org", "ov98.INI"), Err::None);
  ASSERT_EQ(rt::PUTINI("Settings", "UseMAPI", "1", "ov98.INI"), Err::None);  // read from the default INI only
  ASSERT_EQ(rt::PUTINI("Debug", "Debug", "1", "ov98.INI"), Err::None);
  ASSERT_EQ(rt::PUTINI("Settings", "CM:Mode", "Quick", ""), Err::None);
  ASSERT_EQ(rt::PUTINI("Settings", "Host", "wrong.example.org", ""), Err::None);
  STANDARDCONFIGURATION();
  EXPECT_EQ(EMAIL.HOST.str(), "mail.example.org");
  EXPECT_EQ(EMAIL.USEMAPI, 0);
  EXPECT_EQ(DEBUG.ACTIVE, 1);
  EXPECT_EQ(CLIP.DEFAULTACTION.str(), "Quick");
  std::map<std::string, std::string> t = s.table();
  EXPECT_EQ(t["Host"], "mail.example.org");
  EXPECT_EQ(t["CM:Mode"], "Quick");
  EXPECT_EQ(t.count("Debug"), 0u);

  // Once copied, the table wins over the INI file.
  ASSERT_EQ(rt::PUTINI("Settings", "Host", "changed.example.org", "ov98.INI"), Err::None);
  EXPECT_EQ(GETCONFIG("Host", "", "ov98.INI"), "mail.example.org");
}

TEST(Configuration, PutAddsOnceThenUpdatesAndKeysIgnoreCase) {
  Session s;
  PUTCONFIG("LastEmail", "ann@example.org");
  EXPECT_EQ(CONFIGURATION.records(), 1);
  PUTCONFIG("LASTEMAIL", "bob@example.org");
  EXPECT_EQ(CONFIGURATION.records(), 1);
  EXPECT_EQ(GETCONFIG("lastemail"), "bob@example.org");
  EXPECT_EQ(GETCONFIG("DEFHOL"), "");  // set nowhere: nothing stored
  EXPECT_EQ(CONFIGURATION.records(), 1);
  EXPECT_EQ(GETCONFIG("BirthdayCategory", "Birthdays"), "Birthdays");
  EXPECT_EQ(CONFIGURATION.records(), 2);
}

// Stands in for the table to give the errors a healthy table never gives.
struct FailingFile : detail::ConfigFile {
  std::vector<Err> gets;  // answers to successive GETs; then None
  Err addResult = Err::None, putResult = Err::None;
  int opens = 0, adds = 0, puts = 0;
  Err get() override {
    if (gets.empty()) return Err::None;
    Err e = gets.front();
    gets.erase(gets.begin());
    return e;
  }
  Err open() override { ++opens; return Err::None; }
  Err add() override { ++adds; return addResult; }
  Err put() override { ++puts; return putResult; }
};

struct Replaced {
  explicit Replaced(detail::ConfigFile* f) { detail::setConfigFile(f); }
  ~Replaced() { detail::setConfigFile(nullptr); }
};

TEST(Configuration, AReadErrorGivesTheCallersDefaultNotAnotherKeysValue) {
  Session s;
  FailingFile f;
  Replaced r(&f);
  CF.DataValue = "value of another key";
  f.gets = {Err::FileSystem};
  s.host.expectMessage("Error retrieving configuration information", ui::BUTTON::Ok);
  EXPECT_EQ(GETCONFIG("Host", "fallback"), "fallback");
  ASSERT_EQ(s.host.messages().size(), 1u);
  EXPECT_EQ(s.host.messages()[0].title, "Error!");
  EXPECT_EQ(s.host.messages()[0].text, "Error retrieving configuration information code Host" + std::string(36, ' ') +
                                 " - " + std::string(rt::errorText(Err::FileSystem)));
  EXPECT_EQ(f.adds, 0);
}

TEST(Configuration, AClosedFileIsOpenedOnceAndTheReadRepeated) {
  Session s;
  FailingFile f;
  Replaced r(&f);
  CF.DataValue = "stored";
  f.gets = {Err::NotOpen};
  EXPECT_EQ(GETCONFIG("Host"), "stored");
  EXPECT_EQ(f.opens, 1);
}

TEST(Configuration, AFailedWriteIsReported) {
  Session s;
  FailingFile f;
  Replaced r(&f);
  s.host.expectMessage("Error writing configuration information", ui::BUTTON::Ok)
      .expectMessage("Error writing configuration information", ui::BUTTON::Ok);
  f.gets = {Err::NotFound};
  f.addResult = Err::NoAccess;
  PUTCONFIG("Host", "x");
  f.gets = {};
  f.putResult = Err::IsLocked;
  PUTCONFIG("Host", "y");
  ASSERT_EQ(s.host.messages().size(), 2u);
  EXPECT_EQ(s.host.messages()[0].title, "Error!");
  EXPECT_EQ(s.host.messages()[0].text, "Error writing configuration information.  Code Host - " +
                                 std::string(rt::errorText(Err::NoAccess)));
  EXPECT_EQ(s.host.messages()[1].text, "Error writing configuration information.  Code Host - " +
                                 std::string(rt::errorText(Err::IsLocked)));
  EXPECT_EQ(f.adds, 1);
  EXPECT_EQ(f.puts, 1);
}

TEST(Configuration, EverySettingNamesAGlobal) {
  for (const Setting& st : settingsTable()) EXPECT_NE(findGlobal(st.global), nullptr) << st.global;
  EXPECT_EQ(settingsTable().size(), 57u);
}

}  // namespace
}  // namespace ov::files
