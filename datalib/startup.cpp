#include "startup.h"

#include <optional>
#include <string>

#include "datalib/file_repair_class.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/queues.h"
#include "datalib/records.h"
#include "platform/files/error_class.h"
#include "platform/files/file.h"
#include "platform/rt/command_line.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/ui/host.h"

namespace ov::files {
namespace {

bool g_loaded = false;                  // the once-per-process part of the load routine ran
std::optional<std::string> g_settled;   // the folder the dialog settled on in this process
std::string g_startFolder;              // where the last search began
std::string g_redirectFile;             // PATHS.INI of the last search
std::string g_candidate;                // the folder offered in the dialog

rt::INIClass g_ownIni;
rt::INIClass* g_ini = &g_ownIni;

// The current folder as a canonical absolute path (the short path of the original).
std::string currentFolder() {
  std::string cwd = rt::PATH();
  std::string canonical = rt::SHORTPATH(cwd);
  return canonical.empty() ? cwd : canonical;
}

std::string inFolder(const std::string& folder, std::string_view name) {
  return folder.ends_with('/') ? folder + std::string(name) : folder + "/" + std::string(name);
}

bool holdsData(const std::string& folder) { return rt::EXISTS(inFolder(folder, kDataFileName)); }

// True when `folder` is `root` or lies inside it.
bool isWithin(const std::string& folder, const std::string& root) {
  return folder == root || folder.starts_with(root.ends_with('/') ? root : root + "/");
}

// Asks for the data folder; the folder that is current afterwards is where the data lives. The
// question is asked in the program files folder, and the answer noted in its PATHS.INI, never in
// the folder the program happened to be started from.
void askForDataFolder() {
  const std::string programFiles = rt::dataFolder();  // $XDG_DATA_HOME/orvane
  std::string cur = currentFolder();
  bool inOwnFolder = isWithin(cur, programFiles);
  if (!inOwnFolder && rt::makeFolders(programFiles) == rt::Err::None && rt::SETPATH(programFiles) == rt::Err::None)
    inOwnFolder = true;
  g_candidate = currentFolder();
  const std::string redirect = inOwnFolder ? inFolder(g_candidate, kRedirectFileName) : std::string();

  if (std::optional<std::string> chosen = ui::host().folderDialog({"Select data directory", g_candidate})) {
    if (rt::SETPATH(*chosen) == rt::Err::None) {
      std::string data = currentFolder();
      rt::Err saved = redirect.empty() ? rt::Err::NoPath
                                       : rt::putIniValues("PATH", {{"DATA", data}, {"INFO1", std::string(kRedirectInfo)}},
                                                          redirect);
      if (saved != rt::Err::None) {
        ui::MESSAGE("The data folder could not be noted in " + (redirect.empty() ? programFiles : redirect) + " (" +
                        std::string(rt::errorText(saved)) + "); it will be asked for again at the next start.",
                    "Select data directory");
      }
      return;
    }
    ui::MESSAGE("The folder " + *chosen + " cannot be used.", "Select data directory");
  }

  // Cancelled: the data is created in the user's own program files folder, which is writable.
  if (inOwnFolder) {
    ui::MESSAGE("Application data will be created\n\n" + currentFolder(), "New Database");
  } else {
    ui::MESSAGE("Application data will be created\n\n" + programFiles + " cannot be created; the data files will be "
                    "created in " + currentFolder() + ".",
                "New Database");
  }
}

}  // namespace

void setDataPathGlobals(std::string_view folder) {
  std::string f(folder);
  std::string log = f + "/OV_EVENT.LOG";
  std::string path = f + "/";
  if (log.find("//OV_EVENT.LOG") != std::string::npos) {  // the root: its name already ends in "/"
    log = f + "OV_EVENT.LOG";
    path = f;
  }
  GLO.LOGFILENAME = log;
  GLO.DATAPATH = path;
}

std::string findDataFolder() {
  g_startFolder = currentFolder();
  if (std::string p = rt::COMMAND("PATH="); !p.empty())
    (void)rt::SETPATH(p);  // a folder that can't be made current leaves it unchanged
  std::string cur = currentFolder();
  g_redirectFile = inFolder(cur, kRedirectFileName);

  // The current folder's PATHS.INI first, then the one the dialog writes in the program files
  // folder.
  const std::string ownRedirect = inFolder(rt::dataFolder(), kRedirectFileName);
  for (const std::string& redirect : {g_redirectFile, ownRedirect}) {
    if (holdsData(cur) || !rt::EXISTS(redirect)) continue;
    if (std::string data = rt::GETINI("PATH", "DATA", "", redirect); !data.empty())
      (void)rt::SETPATH(data);  // likewise
    cur = currentFolder();
  }
  // Data created in the program files folder when the question was cancelled: as on a system
  // where the program starts in its own folder, it is found there without asking again.
  if (!holdsData(cur) && holdsData(rt::dataFolder()) && rt::SETPATH(rt::dataFolder()) == rt::Err::None)
    cur = currentFolder();
  if (!holdsData(cur) && g_settled != cur) {
    askForDataFolder();
    cur = currentFolder();
    g_settled = cur;
  }
  return cur;
}

bool CheckDataFile() {
  const std::string path = inFolder(currentFolder(), kDataFileName);
  if (!rt::EXISTS(path)) return true;
  const std::string owner = CONFIGURATION.decl().owner ? CONFIGURATION.decl().owner() : std::string();
  const char* title = "Data file";
  for (bool repaired = false;; repaired = true) {
    std::string detail;
    bool repairable = false;
    rt::Err err = db::checkStorageFile(path, owner, detail, repairable);
    if (err == rt::Err::None) return true;
    if (!repairable || repaired) {
      ui::MESSAGE("The program cannot start: the data file cannot be opened.\n\n" + detail, title, ui::Icon::Hand);
      return false;
    }
    int answer = ui::MESSAGE("The data file cannot be opened.\n\n" + detail +
                                 "\n\nRepair it now? Every record that can still be read is kept; the damaged "
                                 "original is kept beside it as " + std::string(kDataFileName) + ".bak.",
                             title, ui::Icon::Question, ui::BUTTON::Yes | ui::BUTTON::No, ui::BUTTON::Yes);
    if (answer != ui::BUTTON::Yes) return false;
    FileRepairClass repair;
    repair.AddFile(CONFIGURATION, kDataFileName);
    int32_t code = repair.Repair(kDataFileName);
    if (code != 0 && code != 1) {
      if (code > 1)
        ui::MESSAGE("The data file " + path + " could not be repaired (TPSFIX ended with code " +
                        std::to_string(code) + "). The original is unchanged.",
                    title, ui::Icon::Hand);
      return false;
    }
  }
}

void OV_FILES_LOAD() {
  clearGlobals();
  clearRecordBuffers();
  g_startFolder.clear();
  g_redirectFile.clear();
  g_candidate.clear();
  db::setGlobalErrors(nullptr);  // the library's own
  g_ownIni.Init("ov_files.INI");
  g_ini = &g_ownIni;
  if (g_loaded) return;
  g_loaded = true;
  if (std::string data = rt::COMMAND("DATA="); !data.empty()) (void)rt::SETPATH(data);
  setDataPathGlobals(findDataFolder());
}

void OV_FILES_INIT(db::ErrorClass* errors, rt::INIClass* ini) {
  if (!g_loaded) OV_FILES_LOAD();
  setDataPathGlobals(findDataFolder());
  if (errors != nullptr) db::setGlobalErrors(errors);
  if (ini != nullptr) g_ini = ini;
}

void OV_FILES_KILL() {}

void OV_FILES_UNLOAD() {
  for (db::FileManager* m : fileManagers())
    while (m->openCount() > 0) (void)m->Close();
  TOKENQ.FREE();
  VARQ.FREE();
  db::setGlobalErrors(nullptr);
  g_ini = &g_ownIni;
}

rt::INIClass& globalIni() { return *g_ini; }

namespace detail {
void resetStartupForTest() {
  g_loaded = false;
  g_settled.reset();
}
}  // namespace detail

}  // namespace ov::files
