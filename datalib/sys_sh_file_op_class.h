// SysShFileOpClass: copy, move, rename, delete and send to the trash with the shell's rules
// (several names at once, wildcards, whole folders), and the folder picker.
//
// Lists name several files separated by "|" or ";" (with or without a blank after them). A list
// is always handed over whole; the file work runs on a worker thread while the window layer's
// event loop goes on. Results are Windows error codes, 0 on success.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::files {

class SysShFileOpClass {
 public:
  static constexpr uint32_t FO_MOVE = 1;
  static constexpr uint32_t FO_COPY = 2;
  static constexpr uint32_t FO_DELETE = 3;
  static constexpr uint32_t FO_RENAME = 4;
  static constexpr uint32_t kDefaultFlags = 1744;  // no confirmation, undo, files only, make folders, no error UI

  uint8_t INITIALIZED = 0;
  std::vector<std::string> SOURCE;
  std::vector<std::string> TARGET;
  uint32_t WFUNC = FO_COPY;
  uint32_t FFLAGS = kDefaultFlags;
  int32_t HWND = 0;

  void Init(uint8_t renameOnCollision);
  void Kill() {}

  // The list as separate names (see above); a single name without a folder part, wildcard or
  // closing separator becomes its full path in the current folder.
  static std::vector<std::string> ConvertMulti(std::string_view list);
  void Assign(std::string_view source, std::string_view target);

  int Copy(std::string_view source, std::string_view target);
  int Move(std::string_view source, std::string_view target);
  int Rename(std::string_view source, std::string_view newName);
  int Delete(std::string_view list, uint8_t useRecycleBin);
  int Recycle(std::string_view list) { return Delete(list, 1); }
  void EmptyRecycleBin() {}

  // The folder picker, opened on `start` (the current folder when empty); empty when cancelled.
  std::string GetFolder(std::string_view title, std::string_view start, int32_t flags);
  std::string GetFolder(std::string_view title);
  void FolderDialog(std::string_view title, std::string& folder, int32_t flags);

 private:
  int run(uint32_t op, std::string_view source, std::string_view target);
};

}  // namespace ov::files
