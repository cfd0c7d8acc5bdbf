// INI files with the semantics of Windows profile files.
//
// Sections ("[name]") and keys ("key=value") ignore case; the first of duplicates counts. Names
// and values lose the blanks around them, and a value wholly inside double or single quotes
// loses the quotes; nothing else is escaped or interpreted (";" starts a comment only at the
// start of a line). A missing file, section or key gives the default; a key that is present
// with an empty value gives "".
//
// Every write keeps the rest of the file as it was, in its order: a changed key stays on its
// line, a new key goes after the last line of its section, a new section at the end. The new
// file is written beside the old one and renamed over it, so a crash leaves either the old or
// the new file, never half of one; writers in one folder take turns (flock on the folder).
//
// A file named without a folder lives in configFolder() (paths.h), which is created when first
// written; the blank name is the runtime's default INI file "WIN.INI" there. ".\X" is X in the
// current folder at the time of the call.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "err.h"

namespace ov::rt {

std::string GETINI(std::string_view section, std::string_view key, std::string_view defaultValue = {},
                   std::string_view file = {});

// Sets one key. Line breaks in the value become blanks. A blank section or key, a section
// holding "]" or a line break, or a key holding "=" or a line break cannot be written:
// Err::BadParameters, and the file is untouched. A file that cannot be written gives Err::NoAccess
// or Err::NoPath (Err::FileSystem with FILEERROR() for anything else).
[[nodiscard]] Err PUTINI(std::string_view section, std::string_view key, std::string_view value,
                         std::string_view file = {});

// How a write reaches the disk. Durable waits until the new file is on the disk before it takes
// the old one's place. Unflushed leaves that to the system: still the old or the new file after
// a program crash, but a failure of the machine itself may lose the last write. It is for
// status and log files that are rewritten at every step, where waiting for the disk would hold
// up the work they describe.
enum class IniFlush { Durable, Unflushed };

// Sets several keys of one section in a single replacement of the file, in the order given.
[[nodiscard]] Err putIniValues(std::string_view section,
                               const std::vector<std::pair<std::string, std::string>>& values,
                               std::string_view file = {}, IniFlush flush = IniFlush::Durable);

// A window's place, as the window layer reads and sets it. `minimized` and `resizable` are read
// by Update only.
struct WindowPlace {
  int x = 0, y = 0, width = 0, height = 0;
  bool maximized = false;
  bool minimized = false;
  bool resizable = false;
};

// The class library's INI manager: one file, named at Init.
class INIClass {
 public:
  void Init(std::string_view fileName);
  void Kill() { m_file.clear(); }
  const std::string& fileName() const { return m_file; }

  // The value of a key, "" when missing.
  std::string TryFetch(std::string_view section, std::string_view key) const;
  // The value of a key, `defaultValue` when missing.
  std::string Fetch(std::string_view section, std::string_view key, std::string_view defaultValue) const;
  [[nodiscard]] Err Update(std::string_view section, std::string_view key, std::string_view value);

  // A window's section, named after its procedure: "Maximize" ("Yes"/"No"), then "XPos", "YPos"
  // and, for a resizable window, "Height" and "Width". Update stores nothing for a minimised
  // window and leaves the position keys alone for a maximised one. Fetch changes nothing unless
  // "Maximize" is "Yes" or "No"; it then takes the position (and, for a resizable window, the
  // size) when "XPos" has a value, and the maximised state. The window layer applies the
  // position first and the maximised state after it. Returns whether the section was usable.
  bool Fetch(std::string_view procedure, WindowPlace& place) const;
  [[nodiscard]] Err Update(std::string_view procedure, const WindowPlace& place);

 private:
  std::string m_file;
};

}  // namespace ov::rt
