// The runner's windows: Main ("Backup / Restore"), where the user picks the operation and the
// archive, and the progress windows Backup ("Archiving...") and Restore ("Restoring..."). A
// progress window runs the library on a worker from its open event and shows its progress on a
// timer; its Cancel button stops the library (-30).
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "backup/backup_runner.h"
#include "platform/ui/window_manager.h"

namespace ov::backup {

// One library call on a worker thread; the window polls done() on its timer.
class LibraryWorker {
 public:
  ~LibraryWorker() { join(); }
  void start(std::function<long()> call);
  bool isRunning() const { return m_thread.joinable(); }
  bool done() const { return m_done.load(); }
  // Waits for the call; its result.
  long join();

 private:
  std::thread m_thread;
  std::atomic<bool> m_done{false};
  long m_result = 0;
};

class BackupWindow : public ui::WindowManager {
 public:
  explicit BackupWindow(BackupJob job) : WindowManager("Backup"), m_op(std::move(job)) {}
  ui::Level Init() override;
  ui::Level TakeAccepted() override;
  ui::Level TakeWindowEvent() override;
  ui::Level Kill() override;
  int exitCode() const { return m_exit; }

 private:
  BackupOperation m_op;
  LibraryWorker m_worker;
  std::vector<std::string> m_files;
  int m_archive = 0, m_file = 0, m_bar1 = 0, m_bar2 = 0, m_list = 0, m_status = 0, m_cancel = 0;
  int m_exit = kExitFailed;
  bool m_finished = false;
};

class RestoreWindow : public ui::WindowManager {
 public:
  explicit RestoreWindow(RestoreJob job) : WindowManager("Restore"), m_op(std::move(job)) {}
  // True when the restore was refused because a program has the data open.
  bool refused() const { return m_op.refused(); }
  ui::Level Init() override;
  ui::Level TakeAccepted() override;
  ui::Level TakeWindowEvent() override;
  ui::Level Kill() override;
  int exitCode() const { return m_exit; }

 private:
  RestoreOperation m_op;
  LibraryWorker m_worker;
  std::vector<std::string> m_files;
  int m_archive = 0, m_file = 0, m_bar1 = 0, m_bar2 = 0, m_list = 0, m_cancel = 0;
  int m_exit = kExitFailed;
  bool m_finished = false;
};

class BackupMainWindow : public ui::WindowManager {
 public:
  BackupMainWindow(RunnerCommand cmd, std::string folder)
      : WindowManager("Main"), m_cmd(std::move(cmd)), m_folder(std::move(folder)) {}
  ui::Level Init() override;
  ui::Level TakeAccepted() override;
  int exitCode() const { return m_exit; }

 private:
  RunnerCommand m_cmd;
  std::string m_folder;
  int m_operation = 0, m_archive = 0, m_lookup = 0, m_advanced = 0;
  int m_exit = kExitSucceeded;
};

// The program: preserved values in, Main's set-up, one progress window or the main window,
// preserved values out. Returns the exit code.
int RunBackupProgram();

}  // namespace ov::backup
