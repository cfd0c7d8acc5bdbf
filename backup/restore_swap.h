// Putting restored files in place as a whole, and finding the programs that hold data files open.
//
// A restore extracts the archive into a staging folder beside the data (on the same file system,
// so that a rename is atomic), and only when every member came out whole are the files moved into
// place. The files they replace are moved aside first and put back if any later move fails; they
// are deleted only once the last restored file is in place. A data file's journal ("-wal",
// "-shm") belongs to the file it sat beside: it goes aside with it unless the archive brings its
// own.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ov::backup {

// A program that has a file open.
struct FileUser {
  pid_t pid = 0;          // 0 when the program is not one this user may look at
  std::string program;    // its name as the system knows it ("another program" when unknown)
};

// The programs (other than this one) that have `path` open: every process of this user whose
// descriptors lead to the file, and, when none of them does, a holder of a lock on it (another
// user's program). Empty when the file is free or does not exist.
std::vector<FileUser> programsUsing(const std::string& path);

// True when the main program runs on `folder` (it holds its one-instance lock for the folder).
bool mainProgramRunsOn(const std::string& folder);

class RestoreSwap {
 public:
  // `folder` receives the files; the staging folder is made inside it (a hidden folder, which
  // backups leave out).
  explicit RestoreSwap(std::string folder) : m_folder(std::move(folder)) {}
  ~RestoreSwap();  // removes whatever staging is left
  RestoreSwap(const RestoreSwap&) = delete;
  RestoreSwap& operator=(const RestoreSwap&) = delete;

  // Makes the staging folder; false (with errno kept) when it cannot be made.
  bool stage();
  const std::string& staging() const { return m_staging; }

  // The restored files (relative paths), once extracted into the staging folder.
  std::vector<std::string> stagedFiles() const;

  // The programs holding open any file that the restore would replace, as "name (process n)"
  // texts without repeats. Each such file stays locked against new openers by this object until
  // it is destroyed, so that nobody opens a file while it is being replaced.
  std::vector<std::string> holders();

  // Moves every staged file into place, or none: false when a move failed, after putting back
  // every file as it was (`failed` names the file).
  bool commit(std::string& failed);
  // After a failed commit: true when every replaced file could be put back.
  bool putBack() const { return m_putBack; }

 private:
  void discard();

  std::string m_folder, m_staging, m_aside;
  std::vector<int> m_locks;
  bool m_putBack = true;
};

}  // namespace ov::backup
