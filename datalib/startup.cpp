#include "startup.h"

#include <optional>
#include <string>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/queues.h"
#include "datalib/records.h"
#include "platform/files/error_class.h"
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

// Asks for the data folder; the folder that is current afterwards is where the data lives.
void askForDataFolder() {
  const std::string programFiles = rt::dataFolder();  // $XDG_DATA_HOME/orvane
  std::string cur = currentFolder();
  g_candidate = cur;
  if (!isWithin(cur, programFiles)) {
    if (rt::makeFolders(programFiles) == rt::Err::None && rt::SETPATH(programFiles) == rt::Err::None)
      g_candidate = currentFolder();
  }

  if (std::optional<std::string> chosen = ui::host().folderDialog({"Select data directory", g_candidate})) {
    if (rt::SETPATH(*chosen) == rt::Err::None) {
      std::string data = currentFolder();
      rt::Err saved = rt::putIniValues("PATH", {{"DATA", data}, {"INFO1", std::string(kRedirectInfo)}},
                                       g_redirectFile);
      if (saved != rt::Err::None) {
        ui::MESSAGE("The data folder could not be noted in " + g_redirectFile + " (" +
                        std::string(rt::errorText(saved)) + "); it will be asked for again at the next start.",
                    "Select data directory");
      }
      return;
    }
    ui::MESSAGE("The folder " + *chosen + " cannot be used.", "Select data directory");
  }

  // Cancelled: the data is created in the user's own program files folder, which is writable.
  if (rt::makeFolders(programFiles) == rt::Err::None && rt::SETPATH(programFiles) == rt::Err::None) {
    ui::MESSAGE("New Database\n\nThe data files will be created in " + currentFolder() + ".",
                "Application data will be created");
  } else {
    ui::MESSAGE("New Database\n\n" + programFiles + " cannot be created; the data files will be created in " +
                    currentFolder() + ".",
                "Application data will be created");
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

  if (!holdsData(cur) && rt::EXISTS(g_redirectFile)) {
    if (std::string data = rt::GETINI("PATH", "DATA", "", g_redirectFile); !data.empty())
      (void)rt::SETPATH(data);  // likewise
    cur = currentFolder();
  }
  if (!holdsData(cur) && g_settled != cur) {
    askForDataFolder();
    cur = currentFolder();
    g_settled = cur;
  }
  return cur;
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
