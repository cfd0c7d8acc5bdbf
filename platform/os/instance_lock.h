// A lock held by one process at a time under a name, in place of a named mutex used to keep a
// program to a single instance.
//
// The lock is an flock on $XDG_RUNTIME_DIR/orvane/<name>.lock (or /tmp/orvane-<uid>/...), so it
// ends with the process that holds it, however that process ends, and is not inherited by the
// programs it starts.
#pragma once

#include <string>
#include <string_view>

namespace ov::os {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();  // release()
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // winerr::kSuccess when this object now holds the lock; kAlreadyExists when another holder
  // has it (with `wait`, it waits until the holder lets go instead); kAccessDenied when the lock
  // folder is not the user's own; another Windows code when the lock file cannot be made.
  int acquire(const std::string& name, bool wait = false);
  void release();
  bool held() const { return m_fd >= 0; }

  // The lock file for a name (characters unfit for a file name become "_").
  static std::string lockPath(const std::string& name);

  // The name under which the main program holds its one-instance lock for a data folder (the
  // folder's canonical path, without a closing "/"). Other programs look at it to learn whether
  // the main program runs on that folder.
  static std::string dataFolderName(std::string_view folder);

 private:
  int m_fd = -1;
};

}  // namespace ov::os
