// Start-up of the data library: the load routine, OV_FILES_INIT / OV_FILES_KILL and the search
// for the data folder.
//
// The data folder is the process's current folder: the data files are opened (and created when
// missing) there. The search takes, in order: the command line's PATH= folder, the folder that
// PATHS.INI in the current folder redirects to, and otherwise asks for a folder (through the
// interaction host), starting in the program files folder ($XDG_DATA_HOME/orvane). The choice is written to
// PATHS.INI so the next start finds it; a cancelled dialog leaves the data in the program files
// folder.
//
// Everything here runs on the program's first thread, before other threads exist.
#pragma once

#include <string>
#include <string_view>

namespace ov::rt {
class INIClass;
}
namespace ov::db {
class ErrorClass;
}

namespace ov::files {

inline constexpr std::string_view kDataFileName = "RO97.ZEZ";
inline constexpr std::string_view kRedirectFileName = "PATHS.INI";
inline constexpr std::string_view kRedirectInfo = "This INI file will redirect the program to the location of the data.";

// The load routine: clears the globals and record buffers and makes the library's own error and
// INI managers current; the first call in the process also applies the DATA= switch and runs the
// data-folder search. Called by OV_FILES_INIT when a program did not call it first.
void OV_FILES_LOAD();

// Called by each program once its own error and INI managers exist (either may be null: the
// library keeps its own). Repeats the data-folder search, honouring PATH=.
void OV_FILES_INIT(db::ErrorClass* errors, rt::INIClass* ini);

// Called by each program at its end; does nothing.
void OV_FILES_KILL();

// The unload routine: closes every data file, frees TOKENQ and VARQ and goes back to the
// library's own error and INI managers.
void OV_FILES_UNLOAD();

// The data-folder search from the current folder (PATH=, PATHS.INI, the dialog); returns the
// data folder, now current. The folder that the dialog settled on earlier in this process is not
// asked about again, so the searches at load and at OV_FILES_INIT ask at most once.
std::string findDataFolder();


// Checks RO97.ZEZ of the data folder before the program reads anything from it (a missing one
// is no fault: the program creates it). When it cannot be opened (a wrong owner password, a file
// that is no data file, an empty, damaged or read-only one) one message names the file and the
// cause; a damaged file is offered the repair, which keeps the original beside it. Nothing is
// written to the file unless the repair is chosen. False when the program must end.
bool CheckDataFile();

// GLO:DATAPATH and GLO:LOGFILENAME for a data folder: the folder with one "/" after it, and
// OV_EVENT.LOG in it.
void setDataPathGlobals(std::string_view folder);

// The INI manager of the library: its own on "ov_files.INI", or the program's after
// OV_FILES_INIT. (The error manager is db::globalErrors().)
rt::INIClass& globalIni();

namespace detail {
// Forgets that the load routine and the dialog ran in this process (for tests).
void resetStartupForTest();
}  // namespace detail

}  // namespace ov::files
