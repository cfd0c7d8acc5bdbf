// FileRepairClass: packs, rebuilds, repairs and releases the data files a program registers under
// labels, one operation on one file at a time, each behind a small window that shows what is
// being done.
//
// Every operation opens the file exclusively first; it answers 0 when done and -1 when the label
// is unknown, the file cannot be opened (the reason is shown) or the work fails. Repair hands the
// storage file to the check and repair program tpsfix ("TPSFIX <file> /E:qvRepair.TPS /K", with
// an empty file of the same layout, qvRepair.TPS, made in the current folder as its example and
// the owner password in its environment) and answers its exit code: 0 sound, 1 rebuilt (the
// original kept as <file>.bak), 2 wrong owner password or unreadable, 3 wrong arguments, 4
// failed, 5 in use; -1 when the program could not be started. GUI thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::db {
class File;
}

namespace ov::files {

struct FileRepairEntry {
  db::File* FILE = nullptr;
  std::string LABEL;  // at most 255 characters
};

class FileRepairClass {
 public:
  virtual ~FileRepairClass() = default;

  std::vector<FileRepairEntry> Q;  // in label order
  int32_t PROGRESSFEQ = 0;
  int32_t PROGRESSHIGH = 0;
  int32_t PROGRESSNOW = 0;

  // Empties the list and asks every other window thread (2..64) to close, so that no other window
  // keeps a file open. The argument is not used.
  void Init(int32_t unused = 0);
  // Registers `file` under `label`; a label registered before now names this file.
  void AddFile(db::File& file, std::string_view label);
  int32_t Pack(std::string_view label);
  int32_t Build(std::string_view label);
  int32_t Repair(std::string_view label);
  int32_t Release(std::string_view label);
  void Kill();

 protected:
  // Runs the repair program's command line in the current folder and waits for it; its exit
  // code, or -1 (with `error` set to the start error) when it could not be started.
  virtual int32_t runRepairProgram(const std::string& commandLine, const std::string& owner, int& error);

 private:
  FileRepairEntry* find(std::string_view label);
  int32_t operate(std::string_view operation, std::string_view label);
};

}  // namespace ov::files
