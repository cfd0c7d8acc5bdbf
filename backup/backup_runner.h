// The backup and restore runner (qmtback): its command line, its preserved values, the set-up of a
// backup or a restore and what each reports. The windows (runner_windows.h) call these; a test
// calls them without windows.
//
// Command line: keys PATH=, BACKUP=, RESTORE=, FILES=, EXCLUDE= and switches /S, /V, /NOSUB,
// /VERBOSE, in any order and case; up to three other words are handed to the archiver.
//
// Exit code: 0 when the backup or restore worked (or the window was closed without one), 1 when it
// failed, 2 when it was cancelled. A quiet run (BACKUP= or RESTORE= without /V) shows no message
// box: its errors go to the quiet log (standard error).
#pragma once

#include <string>
#include <vector>

#include "backup/backup_zip_class.h"

namespace ov::backup {

constexpr int kExitSucceeded = 0;
constexpr int kExitFailed = 1;
constexpr int kExitCancelled = 2;

// Run's result when a restore was refused or could not put its files in place; Finish tells why.
constexpr long kRestoreRefused = -1000;

// A backup without FILES takes every file of the folder, whatever its name ("*.*" finds names
// without a dot too): the data files are not all "*.TPS" (RO97.ZEZ, OVTpl, MSGLINK, OVACTN, ...).
constexpr const char* kBackupDefaultFiles = "*.*";

constexpr const char* kBackupOperation = "Backup to an archive";
constexpr const char* kRestoreOperation = "Restore from an archive";

// The runner's preserved values (section "Preserved" of QMTBACK.INI in the configuration folder).
struct RunnerGlobals {
  std::string ArchiveName;
  std::string Operation;
};
extern RunnerGlobals GLO;
void loadPreserved();
void savePreserved();

struct RunnerCommand {
  std::string PATH, BACKUP, RESTORE, FILES, EXCLUDE;
  bool S = false, V = false, NOSUB = false, VERBOSE = false;
  std::string args[3];  // the first three words of the command line, for the archiver
};
// From the program's command line (rt::COMMAND).
RunnerCommand readRunnerCommand();

struct BackupJob {
  std::string exclusion, fileSpec, folder, archive;
  bool subfolders = false, quiet = false, verbose = false;
};
struct RestoreJob {
  std::string fileSpec, folder, archive;
  bool subfolders = true, quiet = false;
};

// What Main does before its window would open. For Window, GLO got its defaults; a command-line
// run leaves GLO as it was.
struct MainPlan {
  enum class Kind { Window, Backup, Restore } kind = Kind::Window;
  BackupJob backup;
  RestoreJob restore;
  std::string folder;
};
MainPlan MainSetup(const RunnerCommand& cmd);

// The set-ups behind OK and the command line.
BackupJob BackupSetup(const RunnerCommand& cmd, const std::string& archive, const std::string& fileSpec,
                      const std::string& exclusion, const std::string& folder);
RestoreJob RestoreSetup(const RunnerCommand& cmd, const std::string& archive, const std::string& fileSpec,
                        const std::string& folder);

// True for "Backup"/"Backup to an archive", false for the restore forms; nothing else is either.
bool isBackupOperation(const std::string& operation);
bool isRestoreOperation(const std::string& operation);

// The archiver's command line: "QMTBACKA.EXE " and the three words, each prepared as the archiver
// expects (quotes around a word holding an inner blank or a "/", "" for an empty one).
std::string advancedCommand(const RunnerCommand& cmd);

// The patterns of a file list such as "*.TPS;*.INI": split at ";", empty pieces dropped; `empty` for none.
std::vector<std::string> splitFileSpec(const std::string& spec, const std::string& empty);

// A backup, from set-up to result. Prepare changes the current folder; Close puts it back.
class BackupOperation {
 public:
  explicit BackupOperation(BackupJob job) : m_job(std::move(job)) {}
  ~BackupOperation() { Close(); }
  // Steps before the library runs (window may be null). False when the folder cannot be made
  // current: Finish then reports that without running anything.
  bool Prepare(ui::Window* window = nullptr, int progress1 = 0, int list = 0, int fileText = 0,
               int progress2 = 0, std::vector<std::string>* fileQueue = nullptr);
  long Run();                  // any thread
  int Finish(long result);     // window thread: boxes (unless quiet) and the exit code
  void Close();
  // Prepare, Run, Finish and Close on this thread.
  int RunNow();

  const std::string& archiveName() const { return m_archive; }
  const std::string& statusLine() const { return m_status; }
  const BackupJob& job() const { return m_job; }
  BackupZipClass& zip() { return m_zip; }

 private:
  BackupJob m_job;
  BackupZipClass m_zip;
  std::string m_archive, m_status, m_savedFolder;
  std::string m_copyFailure;  // why a data file could not be copied ("" when none was refused)
  bool m_prepared = false, m_folderOk = true;
};

class RestoreOperation {
 public:
  explicit RestoreOperation(RestoreJob job) : m_job(std::move(job)) {}
  ~RestoreOperation() { Close(); }
  void Prepare(ui::Window* window = nullptr, int progress1 = 0, int list = 0, int fileText = 0,
               int progress2 = 0, std::vector<std::string>* fileQueue = nullptr);
  // Extracts into a staging folder and replaces the files only when every member is whole and no
  // program has the data open (the main program on the folder, or any program with one of the
  // files to be replaced open); kRestoreRefused when it refused.
  long Run();
  int Finish(long result);
  void Close();
  int RunNow();

  const std::string& folder() const { return m_folder; }
  // True when the last run refused because a program has the data open: nothing was replaced, and
  // the same restore may work once that program is closed.
  bool refused() const { return m_refused; }
  const RestoreJob& job() const { return m_job; }
  BackupUnzipClass& unzip() { return m_unzip; }

 private:
  RestoreJob m_job;
  BackupUnzipClass m_unzip;
  std::string m_folder, m_refusal;  // m_refusal: why nothing was replaced, told by Finish
  bool m_prepared = false, m_refused = false;
};

// The result texts.
std::string backupErrorText(const std::string& fileSpec, const std::string& archive, long code);
std::string restoreErrorText(const std::string& fileSpec, const std::string& archive, long code);

}  // namespace ov::backup
