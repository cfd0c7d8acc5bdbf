#include "datalib/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "datalib/globals.h"
#include "datalib/queues.h"
#include "datalib/tests/data_folder.h"
#include "platform/files/error_class.h"
#include "platform/rt/command_line.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/ui/testing/scripted_host.h"

namespace ov::files {
namespace {

namespace fs = std::filesystem;
using rt::Err;

// Folders under a temporary root: "start" (current at the beginning), "data" holding RO97.ZEZ,
// "empty", and the XDG folders; the program files folder is share/orvane.
struct Folders {
  Folders() {
    detail::resetStartupForTest();
    rt::setCommandLine("ov98");
    for (const char* f : {"start", "data", "empty"}) fs::create_directories(dir.root() / f);
    std::ofstream(dir.root() / "data" / "RO97.ZEZ") << "x";
    fs::current_path(dir.root() / "start");
  }
  ~Folders() {
    rt::setCommandLine("ov98");
    detail::resetStartupForTest();
  }
  std::string path(const char* name) const { return fs::canonical(dir.root() / name).string(); }
  std::string programFiles() const { return (dir.root() / "share" / "orvane").string(); }
  std::string redirect(const char* key) const {
    return rt::GETINI("PATH", key, "", (dir.root() / "start" / "PATHS.INI").string());
  }

  testing::DataFolder dir;
  ui::test::ScriptedHost host;
};

TEST(DataFolderSearch, FindsTheDataWithoutAskingWhenItCan) {
  struct Case {
    const char* name;
    bool dataInStart;
    const char* redirectTo;  // PATHS.INI in the start folder: DATA=<root>/<this>
    const char* pathSwitch;  // PATH=<root>/<this>
    const char* want;
  };
  const Case kCases[] = {
      {"the start folder holds the data", true, nullptr, nullptr, "start"},
      {"PATHS.INI redirects to the data", false, "data", nullptr, "data"},
      {"PATHS.INI is read ignoring case", false, "DATA", nullptr, "data"},
      {"data in the start folder wins over PATHS.INI", true, "data", nullptr, "start"},
      {"PATH= names the data folder", false, nullptr, "data", "data"},
      {"PATH= wins over PATHS.INI of the start folder", false, "empty", "data", "data"},
      {"a missing PATH= folder is passed over", true, nullptr, "missing", "start"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Folders f;
    if (c.dataInStart) {
      std::ofstream(f.dir.root() / "start" / "RO97.ZEZ") << "x";
    }
    if (c.redirectTo) {
      ASSERT_EQ(rt::PUTINI("PATH", "DATA", (f.dir.root() / c.redirectTo).string(),
                           (f.dir.root() / "start" / "PATHS.INI").string()),
                Err::None);
    }
    if (c.pathSwitch) rt::setCommandLine("ov98 PATH=" + (f.dir.root() / c.pathSwitch).string());
    EXPECT_EQ(findDataFolder(), f.path(c.want));
    EXPECT_EQ(rt::PATH(), f.path(c.want));
    EXPECT_FALSE(c.redirectTo == nullptr && fs::exists(f.dir.root() / "start" / "PATHS.INI"))
        << "no redirect file is written without a dialog";
  }
}

TEST(DataFolderSearch, AChosenFolderIsRememberedInPathsIni) {
  Folders f;
  // PATHS.INI naming a folder that is gone counts as no redirect.
  ASSERT_EQ(rt::PUTINI("PATH", "DATA", (f.dir.root() / "gone").string(),
                       (f.dir.root() / "start" / "PATHS.INI").string()),
            Err::None);
  f.host.expectFolder("Select data directory", f.path("empty"));
  EXPECT_EQ(findDataFolder(), f.path("empty"));
  EXPECT_EQ(f.redirect("DATA"), f.path("empty"));
  EXPECT_EQ(f.redirect("INFO1"), "This INI file will redirect the program to the location of the data.");
  ASSERT_EQ(f.host.messages().size(), 0u);
  EXPECT_TRUE(fs::is_directory(f.programFiles()));

  // The next start in the same folder goes straight to it.
  detail::resetStartupForTest();
  fs::current_path(f.dir.root() / "start");
  std::ofstream(f.dir.root() / "empty" / "RO97.ZEZ") << "x";
  EXPECT_EQ(findDataFolder(), f.path("empty"));
}

TEST(DataFolderSearch, CancellingCreatesTheDataInTheProgramFilesFolderAndSaysSo) {
  Folders f;
  f.host.expectFolder("Select data directory", std::nullopt)
      .expectMessage("Application data will be created", ui::BUTTON::Ok);
  std::string folder = findDataFolder();
  EXPECT_EQ(folder, fs::canonical(f.programFiles()).string());
  EXPECT_EQ(rt::PATH(), folder);
  ASSERT_EQ(f.host.messages().size(), 1u);
  EXPECT_EQ(f.host.messages()[0].text.rfind("New Database", 0), 0u);
  EXPECT_NE(f.host.messages()[0].text.find(folder), std::string::npos);
  EXPECT_FALSE(fs::exists(f.dir.root() / "start" / "PATHS.INI"));

  // A later search in this process (OV_FILES_INIT's) does not ask again for the same folder.
  EXPECT_EQ(findDataFolder(), folder);
}

TEST(DataFolderSearch, DataPathGlobalsNameTheFolderOnce) {
  struct Case { const char* folder; const char* log; const char* path; };
  const Case kCases[] = {
      {"/", "/OV_EVENT.LOG", "/"},
      {"/home/ann/data", "/home/ann/data/OV_EVENT.LOG", "/home/ann/data/"},
  };
  for (const Case& c : kCases) {
    setDataPathGlobals(c.folder);
    EXPECT_EQ(GLO.LOGFILENAME.str(), c.log);
    EXPECT_EQ(GLO.DATAPATH.str(), c.path);
  }
}

TEST(Startup, LoadHonoursDataThenInitHonoursPath) {
  Folders f;
  rt::setCommandLine("ov98 DATA=" + (f.dir.root() / "data").string());
  OV_FILES_LOAD();
  EXPECT_EQ(rt::PATH(), f.path("data"));
  EXPECT_EQ(GLO.DATAPATH.str(), f.path("data") + "/");
  EXPECT_EQ(GLO.LOGFILENAME.str(), f.path("data") + "/OV_EVENT.LOG");

  // The program's own command line: its PATH= takes effect although the load settled elsewhere.
  std::ofstream(f.dir.root() / "empty" / "RO97.ZEZ") << "x";
  rt::setCommandLine("ov98 PATH=" + (f.dir.root() / "empty").string());
  OV_FILES_INIT(nullptr, nullptr);
  EXPECT_EQ(rt::PATH(), f.path("empty"));
  EXPECT_EQ(GLO.DATAPATH.str(), f.path("empty") + "/");
}

TEST(Startup, InitAdoptsTheProgramsManagersOnlyWhenGiven) {
  Folders f;
  std::ofstream(f.dir.root() / "start" / "RO97.ZEZ") << "x";
  db::ErrorClass* own = &db::globalErrors();
  OV_FILES_INIT(nullptr, nullptr);
  EXPECT_EQ(&db::globalErrors(), own);
  EXPECT_EQ(fs::path(globalIni().fileName()).filename(), "ov_files.INI");

  db::ErrorClass errors;
  rt::INIClass ini;
  ini.Init("ov98.INI");
  OV_FILES_INIT(&errors, &ini);
  EXPECT_EQ(&db::globalErrors(), &errors);
  EXPECT_EQ(&globalIni(), &ini);

  VARQ.buf.NAME = "TOTAL";
  VARQ.ADD(VAR_ByName);
  TOKENQ.buf.PROMPT = "FILE LOG FILE";
  TOKENQ.ADD(TQ_ByPrompt);
  OV_FILES_KILL();
  EXPECT_EQ(VARQ.RECORDS(), 1);  // KILL does nothing
  OV_FILES_UNLOAD();
  EXPECT_EQ(VARQ.RECORDS(), 0);
  EXPECT_EQ(TOKENQ.RECORDS(), 0);
  EXPECT_EQ(&db::globalErrors(), own);
}

}  // namespace
}  // namespace ov::files
