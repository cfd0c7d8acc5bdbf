// File and folder names as the programs write them, mapped onto Linux.
//
// Names arrive with "\" or "/" between folders; both are accepted and "/" is what comes back.
// ".\X" names X in the current folder. Linux names are case-sensitive while the stored names
// and the programs' own literals are not: a lookup tries the exact name first, then, folder by
// folder, an entry whose name differs only in case.
//
// The program's own folder is programFolder() of process.h. The program files folder is
// $XDG_DATA_HOME/orvane (default ~/.local/share/orvane); INI files named without a folder live in
// $XDG_CONFIG_HOME/orvane (default ~/.config/orvane). Tests point XDG_* at temporary folders.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "err.h"

namespace ov::rt {

// "\" becomes "/", a leading ".\" or "./" goes (the name is then relative to the current folder).
std::string normalizePath(std::string_view name);

// The name under which `name` exists: the normalised name when it exists as it stands, else
// the first entry (in name order) that matches each missing folder or file ignoring case. When
// a part matches nothing, the rest stays as given, so a new file lands in the existing folder.
std::string resolvePath(std::string_view name);

// True when a file or folder of that name exists (looked up as resolvePath does).
bool EXISTS(std::string_view name);

// Parts of a name: the folder with its closing "/" (empty when none), the name without its
// extension, the extension with its dot ("" when none). "C:\a\b.txt" gives "C:/a/", "b", ".txt".
struct PathParts {
  std::string folder;
  std::string name;
  std::string extension;
};
PathParts splitPath(std::string_view name);

// The current folder (absolute), and changing it; SETPATH gives Err::NoPath for a missing folder.
std::string PATH();
[[nodiscard]] Err SETPATH(std::string_view folder);

// The canonical absolute path of an existing file or folder (Windows' short and long forms both
// map to it); "" when it does not exist.
std::string SHORTPATH(std::string_view name);
std::string LONGPATH(std::string_view name);

// $XDG_CONFIG_HOME/orvane and $XDG_DATA_HOME/orvane (the program files folder), without a
// closing "/". They are not created here.
std::string configFolder();
std::string dataFolder();

// Creates a folder and the folders above it; existing ones are fine.
[[nodiscard]] Err makeFolders(std::string_view folder);

// The path of an INI file: a name without a folder lives in configFolder(); "" is the runtime's
// default INI file "WIN.INI" there; other names are resolved as resolvePath does.
std::string iniFilePath(std::string_view fileName);

// Attribute bits of directory entries, with the runtime's values.
enum FileAttribute : uint8_t {
  ffNormal = 0x00,
  ffReadOnly = 0x01,    // the owner may not write it
  ffHidden = 0x02,      // its name starts with "."
  ffSystem = 0x04,      // not a file or folder (device, socket, pipe)
  ffDirectory = 0x10,
  ffArchive = 0x20,     // every regular file
};

struct DirEntry {
  std::string name;  // the long name, without the folder
  int32_t date = 0;  // modification date and time, local, runtime units
  int32_t time = 0;
  int64_t size = 0;  // bytes; 0 for folders
  uint8_t attrib = 0;
};

// The runtime's DIRECTORY: the entries of the folder of `spec` whose names match its last part
// ("*" and "?", ignoring case; "*.*" is every name), sorted by name ignoring case. Plain files
// always come; folders, hidden and system entries only when `attributes` asks for them. "." and
// ".." are never listed. A spec without wildcards names one entry. A missing folder gives
// Err::NoPath; no match is no error.
[[nodiscard]] Err DIRECTORY(std::vector<DirEntry>& out, std::string_view spec, uint8_t attributes = ffNormal);

}  // namespace ov::rt
