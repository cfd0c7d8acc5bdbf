#include "datalib/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "platform/files/file.h"
#include "platform/ui/testing/driver.h"
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
    return rt::GETINI("PATH", key, "", programFiles() + "/PATHS.INI");
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
  EXPECT_EQ(rt::GETINI("PATH", "DATA", "", (f.dir.root() / "start" / "PATHS.INI").string()), (f.dir.root() / "gone").string())
      << "the start folder's PATHS.INI is left as it was";

  // The next start, from this folder or another, goes straight to it.
  std::ofstream(f.dir.root() / "empty" / "RO97.ZEZ") << "x";
  for (const char* from : {"start", "data"}) {
    SCOPED_TRACE(from);
    detail::resetStartupForTest();
    fs::remove(f.dir.root() / "start" / "PATHS.INI");
    fs::remove(f.dir.root() / "data" / "RO97.ZEZ");
    fs::current_path(f.dir.root() / from);
    EXPECT_EQ(findDataFolder(), f.path("empty"));
  }
}

TEST(DataFolderSearch, CancellingCreatesTheDataInTheProgramFilesFolderAndSaysSo) {
  Folders f;
  f.host.expectFolder("Select data directory", std::nullopt).expectMessage("New Database", ui::BUTTON::Ok);
  std::string folder = findDataFolder();
  EXPECT_EQ(folder, fs::canonical(f.programFiles()).string());
  EXPECT_EQ(rt::PATH(), folder);
  ASSERT_EQ(f.host.messages().size(), 1u);
  EXPECT_EQ(f.host.messages()[0].text.rfind("Application data will be created", 0), 0u);
  EXPECT_NE(f.host.messages()[0].text.find(folder), std::string::npos);
  EXPECT_FALSE(fs::exists(f.dir.root() / "start" / "PATHS.INI"));

  // A later search in this process (OV_FILES_INIT's) does not ask again for the same folder.
  EXPECT_EQ(findDataFolder(), folder);

  // Once the data is there, a start from anywhere finds it without asking.
  std::ofstream(fs::path(folder) / "RO97.ZEZ") << "x";
  detail::resetStartupForTest();
  fs::current_path(f.dir.root() / "empty");
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

// A start-up with an RO97.ZEZ that cannot be opened: one message naming the file and the cause,
// the repair offered only for a damaged file, and the file left as it was.
TEST(Startup, ADataFileThatCannotBeOpenedIsNamedWithItsCauseAndLeftAlone) {
  ui::test::application();
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* cause;
    bool repairOffered;
  };
  auto withConfig = [](const fs::path& file, const std::string& owner, int records) {
    db::FileDecl decl = CONFIGURATION.decl();
    decl.nameFrom = [file] { return file.string() + "\\!CF"; };
    decl.owner = owner.empty() ? std::function<std::string()>() : [owner] { return owner; };
    db::File f(decl);
    ASSERT_EQ(f.create(), Err::None);
    ASSERT_EQ(f.open(), Err::None);
    ASSERT_EQ(db::LOGOUT(1, {&f}), Err::None);
    for (int i = 0; i < records; ++i) {
      CF.DataType = "Key" + std::to_string(i);
      CF.DataValue = std::string(200, char('a' + i % 26));
      ASSERT_EQ(f.add(), Err::None);
    }
    ASSERT_EQ(db::COMMIT(), Err::None);
  };
  const std::string owner(GLO.MASTERFILEOWNER);
  const Case kCases[] = {
      {"another owner password", [&](const fs::path& p) { withConfig(p, "not-the-owner", 1); }, "wrong owner password",
       false},
      {"a plain SQLite file", [&](const fs::path& p) { withConfig(p, "", 1); }, "not an encrypted data file", false},
      {"a text file", [](const fs::path& p) { std::ofstream(p) << "just some text\n"; }, "not a data file", false},
      {"an empty file", [](const fs::path& p) { std::ofstream{p}; }, "empty", false},
      {"a read-only file",
       [&](const fs::path& p) {
         withConfig(p, owner, 1);
         fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
       },
       "read-only", false},
      {"a damaged file",
       [&](const fs::path& p) {
         withConfig(p, owner, 600);
         std::fstream io(p, std::ios::in | std::ios::out | std::ios::binary);
         io.seekg(0, std::ios::end);
         const long pages = static_cast<long>(io.tellg()) / 8192;
         for (long page = pages - 3; page < pages - 1; ++page) {
           io.seekp(page * 8192 + 3000);
           io << std::string(200, '\x5A');
         }
       },
       "damaged", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Folders f;
    const fs::path file = f.dir.root() / "start" / "RO97.ZEZ";
    c.make(file);
    std::string before;
    {
      std::ifstream in(file, std::ios::binary);
      before.assign(std::istreambuf_iterator<char>(in), {});
    }
    const auto stamp = fs::last_write_time(file);
    if (c.repairOffered)
      f.host.expectMessage("Repair it now?", ui::BUTTON::No);
    else
      f.host.expectMessage("cannot start", ui::BUTTON::Ok);
    EXPECT_FALSE(CheckDataFile());
    ASSERT_EQ(f.host.messages().size(), 1u);
    const std::string text = f.host.messages()[0].text;
    EXPECT_NE(text.find(fs::canonical(file).string()), std::string::npos) << text;
    EXPECT_NE(text.find(c.cause), std::string::npos) << text;
    std::ifstream in(file, std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == before) << "the file was changed";
    EXPECT_EQ(fs::last_write_time(file), stamp);
    EXPECT_FALSE(fs::exists(file.string() + ".bak"));
  }

  Folders f;  // a sound file passes without a word, a missing one is no fault
  EXPECT_TRUE(CheckDataFile());
  withConfig(f.dir.root() / "start" / "RO97.ZEZ", owner, 1);
  EXPECT_TRUE(CheckDataFile());
  EXPECT_EQ(f.host.messages().size(), 0u);
}

TEST(Startup, ADamagedDataFileIsRepairedWhenTheUserSaysSoAndTheOriginalKept) {
  ui::test::application();
  Folders f;
  const fs::path file = f.dir.root() / "start" / "RO97.ZEZ";
  {
    db::FileDecl decl = CONFIGURATION.decl();
    decl.nameFrom = [file] { return file.string() + "\\!CF"; };
    db::File cf(decl);
    ASSERT_EQ(cf.create(), Err::None);
    ASSERT_EQ(cf.open(), Err::None);
    ASSERT_EQ(db::LOGOUT(1, {&cf}), Err::None);
    for (int i = 0; i < 600; ++i) {
      CF.DataType = "Key" + std::to_string(i);
      CF.DataValue = std::string(200, 'v');
      ASSERT_EQ(cf.add(), Err::None);
    }
    ASSERT_EQ(db::COMMIT(), Err::None);
  }
  std::string before;
  {
    std::fstream io(file, std::ios::in | std::ios::out | std::ios::binary);
    io.seekg(0, std::ios::end);
    const long pages = static_cast<long>(io.tellg()) / 8192;
    for (long page = pages - 3; page < pages - 1; ++page) {
      io.seekp(page * 8192 + 3000);
      io << std::string(200, '\x5A');
    }
  }
  {
    std::ifstream in(file, std::ios::binary);
    before.assign(std::istreambuf_iterator<char>(in), {});
  }
  f.host.expectMessage("Repair it now?", ui::BUTTON::Yes);  // the repair program is beside the test program
  EXPECT_TRUE(CheckDataFile());
  ASSERT_TRUE(fs::exists(file.string() + ".bak"));
  std::ifstream in(file.string() + ".bak", std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == before) << "the original is kept as it was";
}

}  // namespace
}  // namespace ov::files
