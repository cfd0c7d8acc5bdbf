// Change notification for a folder, optionally with all its subfolders, in place of the shell's
// change-notification handle: it is signalled once a change of the watched kinds has happened
// and stays so until rearm(). Folders made later inside a watched tree are watched too.
// One thread at a time.
#pragma once

#include <map>
#include <string>

namespace ov::os {

// What counts as a change (the shell's FILE_NOTIFY_CHANGE_ values).
namespace notify {
constexpr unsigned kFileName = 0x1;   // a file made, deleted or renamed
constexpr unsigned kDirName = 0x2;    // a folder made, deleted or renamed
constexpr unsigned kAttributes = 0x4;
constexpr unsigned kSize = 0x8;
constexpr unsigned kLastWrite = 0x10;
constexpr unsigned kCreation = 0x40;
constexpr unsigned kSecurity = 0x100;
}  // namespace notify

class DirWatch {
 public:
  DirWatch() = default;
  ~DirWatch();
  DirWatch(const DirWatch&) = delete;
  DirWatch& operator=(const DirWatch&) = delete;

  // winerr::kSuccess; kPathNotFound for a missing folder, kDirectory for a name that is not a
  // folder, another code when the system refuses the watch.
  int open(const std::string& folder, bool subtree, unsigned filter);
  void close();
  bool isOpen() const { return m_fd >= 0; }

  // True when a change has happened since open() or the last rearm(); waits up to waitMs.
  bool signalled(int waitMs = 0);

  // Forgets the changes seen so far, so that the next one signals again.
  void rearm();

  // Readable when events wait (for a QSocketNotifier); -1 when closed.
  int fd() const { return m_fd; }

 private:
  void addTree(const std::string& folder);
  void addOne(const std::string& folder);
  // Reads the waiting events; true when one of them is a change of the watched kinds.
  bool drain();

  int m_fd = -1;
  bool m_subtree = false;
  unsigned m_filter = 0;
  unsigned m_mask = 0;
  bool m_pending = false;
  std::map<int, std::string> m_folders;  // watch descriptor -> folder
};

}  // namespace ov::os
