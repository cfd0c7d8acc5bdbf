#include "backup/backup_runner.h"

#include <algorithm>
#include <filesystem>

#include "backup/data_file_source.h"
#include "backup/restore_swap.h"
#include "backup/zip_error_text.h"
#include "platform/rt/command_line.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"

namespace ov::backup {

RunnerGlobals GLO;

namespace {

constexpr const char* kIni = "QMTBACK.INI";
constexpr const char* kSection = "Preserved";

std::string clip(std::string_view s) {
  size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(s.substr(0, end + 1));
}

std::string trim(std::string_view s) {
  size_t start = s.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string() : clip(s.substr(start));
}

bool isBlank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

std::string stripQuotes(std::string s) {
  s = trim(s);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

// The current folder as the runner shows and compares it (canonical, no closing "/").
std::string currentFolder() { return rt::SHORTPATH(rt::PATH()); }

bool isAbsolute(const std::string& name) {
  std::string n = rt::normalizePath(name);
  return (!n.empty() && n[0] == '/') || (n.size() >= 2 && n[1] == ':');
}

int exitCodeOf(long code) {
  if (code == 0) return kExitSucceeded;
  if (code == 30 || code == -30) return kExitCancelled;
  return kExitFailed;
}

}  // namespace

void loadPreserved() {
  GLO.ArchiveName = rt::GETINI(kSection, "GLO:ArchiveName", "", kIni);
  GLO.Operation = rt::GETINI(kSection, "GLO:Operation", "", kIni);
}

void savePreserved() {
  if (rt::putIniValues(kSection, {{"GLO:ArchiveName", GLO.ArchiveName}, {"GLO:Operation", GLO.Operation}}, kIni) !=
      rt::Err::None)
    quietLog("QMTBACK.INI: the archive name and operation could not be saved");
}

RunnerCommand readRunnerCommand() {
  RunnerCommand c;
  c.PATH = rt::COMMAND("PATH=");
  c.BACKUP = rt::COMMAND("BACKUP=");
  c.RESTORE = rt::COMMAND("RESTORE=");
  c.FILES = rt::COMMAND("FILES=");
  c.EXCLUDE = rt::COMMAND("EXCLUDE=");
  c.S = !rt::COMMAND("/S").empty();
  c.V = !rt::COMMAND("/V").empty();
  c.NOSUB = !rt::COMMAND("/NOSUB").empty();
  c.VERBOSE = !rt::COMMAND("/VERBOSE").empty();
  for (int i = 0; i < 3; ++i) c.args[i] = rt::COMMAND(std::to_string(i + 1));
  return c;
}

bool isBackupOperation(const std::string& operation) {
  std::string op = clip(operation);
  return op == "Backup" || op == kBackupOperation;
}

bool isRestoreOperation(const std::string& operation) {
  std::string op = clip(operation);
  return op == "Restore" || op == kRestoreOperation;
}

MainPlan MainSetup(const RunnerCommand& cmd) {
  MainPlan plan;
  plan.folder = !isBlank(cmd.PATH) ? cmd.PATH : currentFolder();
  if (!isBlank(cmd.BACKUP)) {
    plan.kind = MainPlan::Kind::Backup;
    plan.backup = BackupSetup(cmd, cmd.BACKUP, cmd.FILES, cmd.EXCLUDE, plan.folder);
    return plan;
  }
  if (!isBlank(cmd.RESTORE)) {
    plan.kind = MainPlan::Kind::Restore;
    plan.restore = RestoreSetup(cmd, cmd.RESTORE, cmd.FILES, plan.folder);
    return plan;
  }
  if (isBlank(GLO.ArchiveName)) GLO.ArchiveName = "Backup.zip";
  if (isBlank(GLO.Operation)) GLO.Operation = kBackupOperation;
  return plan;
}

BackupJob BackupSetup(const RunnerCommand& cmd, const std::string& archive, const std::string& fileSpec,
                      const std::string& exclusion, const std::string& folder) {
  BackupJob job;
  job.archive = archive;
  job.fileSpec = isBlank(fileSpec) ? kBackupDefaultFiles : fileSpec;
  job.exclusion = exclusion;
  job.folder = folder;
  job.subfolders = cmd.S;
  job.quiet = !isBlank(cmd.BACKUP) && !cmd.V;
  job.verbose = cmd.VERBOSE;
  return job;
}

RestoreJob RestoreSetup(const RunnerCommand& cmd, const std::string& archive, const std::string& fileSpec,
                        const std::string& folder) {
  RestoreJob job;
  job.archive = archive;
  job.fileSpec = isBlank(fileSpec) ? "*.*" : fileSpec;
  job.folder = folder;
  job.subfolders = !(!isBlank(cmd.RESTORE) && cmd.NOSUB);
  job.quiet = !isBlank(cmd.RESTORE) && !cmd.V;
  return job;
}

std::string advancedCommand(const RunnerCommand& cmd) {
  std::string line = "QMTBACKA.EXE";
  for (const std::string& raw : cmd.args) {
    std::string a = stripQuotes(raw);
    std::string inner = clip(a);
    std::string arg;
    if (inner.empty()) {
      arg = "\"\"";
    } else if (inner.find(' ') != std::string::npos || inner.find('/') != std::string::npos) {
      arg = "\"" + trim(a) + "\"";
    } else {
      arg = inner;
    }
    line += " " + arg;
  }
  return line;
}

std::vector<std::string> splitFileSpec(const std::string& spec, const std::string& empty) {
  std::vector<std::string> out;
  if (isBlank(spec)) {
    out.push_back(empty);
    return out;
  }
  if (spec.find(';') == std::string::npos) {
    out.push_back(clip(spec));
    return out;
  }
  std::string rest = spec.substr(0, 1024);
  while (!isBlank(rest)) {
    size_t semi = rest.find(';');
    std::string piece = clip(rest.substr(0, semi));
    if (!isBlank(piece)) out.push_back(trim(piece));
    if (semi == std::string::npos) break;
    rest = rest.substr(semi + 1);
    size_t start = rest.find_first_not_of(' ');
    rest = start == std::string::npos ? std::string() : rest.substr(start);
  }
  if (out.empty()) out.push_back(empty);
  return out;
}

std::string backupErrorText(const std::string& fileSpec, const std::string& archive, long code) {
  return "An error prevented zipping files (" + clip(fileSpec) + ") to \"" + archive + "\":|" +
         clip(ZipErrorText(code)) + "|An internal errorcode of " + std::to_string(code) +
         " was reported.|If the error persists, delete the zip file and run the process again.";
}

std::string restoreErrorText(const std::string& fileSpec, const std::string& archive, long code) {
  return "An error prevented unzipping files (" + clip(fileSpec) + ") from \"" + archive + "\":|" +
         clip(ZipErrorText(code)) + "|An internal errorcode of " + std::to_string(code) +
         " was reported.|If the error persists, the zip file may not be usable.";
}

// ---- backup -------------------------------------------------------------------------------------

bool BackupOperation::Prepare(ui::Window* window, int progress1, int list, int fileText, int progress2,
                              std::vector<std::string>* fileQueue) {
  m_zip.Init(window, progress1, list, fileText, progress2, fileQueue);
  m_zip.SetQuiet(m_job.quiet);
  m_savedFolder = rt::PATH();
  m_prepared = true;

  // A relative archive name stays where it would have been before the folder changes.
  const std::string target = rt::SHORTPATH(m_job.folder);
  m_archive = clip(m_job.archive);
  if (target != currentFolder() && !isAbsolute(m_archive)) m_archive = currentFolder() + "/" + m_archive;
  m_zip.SetArchiveName(m_archive);

  // Zipping in another folder than the one asked for would back up the wrong files.
  if (target.empty() || rt::SETPATH(target) != rt::Err::None) {
    m_folderOk = false;
    return false;
  }

  std::vector<std::string> patterns = splitFileSpec(m_job.fileSpec, "*.*");
  m_zip.AddFirstSpec(patterns.front());
  for (size_t i = 1; i < patterns.size(); ++i) m_zip.AddSpec(patterns[i]);

  m_zip.SetComment("Backup made " + rt::FORMAT(rt::TODAY(), "@d17"));

  // Each pattern of the exclusion excludes on its own.
  if (!isBlank(m_job.exclusion))
    for (const std::string& p : splitFileSpec(m_job.exclusion, "")) m_zip.AddExclude(p);

  if (!m_job.verbose) m_zip.SetOption(zip::zipopt::Quiet);
  m_zip.SetOption(0x80000);
  m_zip.SetOption(0x10000);
  if (m_job.subfolders) m_zip.SetOption(zip::zipopt::FullPath | zip::zipopt::Recurse);

  m_status = "From " + currentFolder() + (m_job.subfolders ? " with Subfolders" : "") +
             (m_job.quiet ? " in QuietMode" : "") + ": " + clip(m_job.fileSpec);
  return true;
}

long BackupOperation::Run() {
  if (!m_folderOk) return 0;
  // Data files go in as one moment of each, whatever ov98 writes meanwhile.
  DataFileSourceScope consistent;
  const long result = m_zip.Run(zip::zipaction::Add);
  m_copyFailure = zip::lastSourceFailure();
  return result;
}

int BackupOperation::Finish(long result) {
  if (!m_folderOk) {
    std::string text = "An error prevented zipping files (" + clip(m_job.fileSpec) + ") to \"" + m_archive +
                       "\":|The folder " + clip(m_job.folder) + " cannot be opened.";
    if (m_job.quiet)
      quietLog("Backup (Zip) Error: " + text);
    else
      ui::MESSAGE(text, "Backup (Zip) Error", ui::Icon::Exclamation);
    return kExitFailed;
  }
  m_zip.Finish(result);
  const long code = m_zip.LLASTERROR;
  if (!m_job.quiet) {
    if (result >= 0)
      ui::MESSAGE("Files were backed up successfully.", "Status", ui::Icon::Information);
    else if (code == 30 || code == -30)
      ui::MESSAGE("Files were not backed up successfully.  The operation was cancelled.", "Status",
                  ui::Icon::Information);
    else
      ui::MESSAGE(backupErrorText(m_job.fileSpec, m_archive, code) + (m_copyFailure.empty() ? "" : "|" + m_copyFailure),
                  "Backup (Zip) Error", ui::Icon::Exclamation);
  } else if (result < 0 && !m_copyFailure.empty()) {
    quietLog("Backup (Zip) Error: " + m_copyFailure);
  }
  return result >= 0 ? kExitSucceeded : exitCodeOf(code);
}

void BackupOperation::Close() {
  if (!m_prepared) return;
  m_prepared = false;
  m_zip.Kill();
  (void)rt::SETPATH(m_savedFolder);  // best effort: the folder may have gone meanwhile
}

int BackupOperation::RunNow() {
  Prepare();
  int code = Finish(Run());
  Close();
  return code;
}

// ---- restore ------------------------------------------------------------------------------------

void RestoreOperation::Prepare(ui::Window* window, int progress1, int list, int fileText, int progress2,
                               std::vector<std::string>* fileQueue) {
  m_unzip.Init(window, progress1, list, fileText, progress2, fileQueue);
  m_unzip.SetQuiet(m_job.quiet);
  m_prepared = true;

  m_folder = m_job.folder;
  const std::string f = clip(m_folder);
  if (f == ".." || f == "..\\" || f == "../") {
    const std::string here = currentFolder();
    const size_t slash = here.size() > 1 ? here.find_last_of('/', here.size() - 2) : std::string::npos;
    m_folder = slash == std::string::npos ? here : here.substr(0, slash + 1);
  }

  m_unzip.SetArchiveName(m_job.archive);
  std::vector<std::string> patterns = splitFileSpec(m_job.fileSpec, "*");
  m_unzip.AddFirstSpec(patterns.front());
  for (size_t i = 1; i < patterns.size(); ++i) m_unzip.AddSpec(patterns[i]);
  m_unzip.ExtractTo(m_folder);
  if (m_job.quiet) m_unzip.SetOption(zip::unzipopt::Quiet);
  m_unzip.SetOption(zip::unzipopt::Overwrite);
  if (!m_job.subfolders) m_unzip.SetOption(zip::unzipopt::NoPaths);
}

// Nothing is replaced while a program has the data open (its next writes would go to a file that
// is no longer there), and nothing is replaced until every member came out whole: the archive is
// extracted into a staging folder beside the data, then the files are moved into place as a whole.
long RestoreOperation::Run() {
  m_refusal.clear();
  m_refused = false;
  std::string folder =
      std::filesystem::absolute(rt::resolvePath(m_folder.empty() ? std::string(".") : clip(m_folder)))
          .lexically_normal()
          .string();
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (mainProgramRunsOn(folder)) {
    m_refusal = "ov98 is running on the data folder " + folder +
                ".|Close ov98 and run the restore again. Nothing was restored.";
    m_refused = true;
    return kRestoreRefused;
  }
  RestoreSwap swap(folder);
  if (!swap.stage()) return zip::code::CreateDirectory;
  m_unzip.ExtractTo(swap.staging());
  const long r = m_unzip.Run(zip::unzipaction::Extract);
  if (r < 0) return r;  // the staging folder goes; the data stays as it was
  if (std::vector<std::string> held = swap.holders(); !held.empty()) {
    std::string names;
    for (const std::string& h : held) names += (names.empty() ? "" : ", ") + h;
    m_refusal = "The files to be restored in " + folder + " are in use by " + names + ".|Close " +
                (held.size() == 1 ? "that program" : "those programs") +
                " and run the restore again. Nothing was restored.";
    m_refused = true;
    return kRestoreRefused;
  }
  std::string failed;
  if (!swap.commit(failed)) {
    m_refusal = "The restored files could not be put in place (" + failed + ")." +
                (swap.putBack() ? "|Every data file was left as it was." : "");
    return zip::code::CreateOutput;
  }
  return r;
}

int RestoreOperation::Finish(long result) {
  if (!m_refusal.empty()) {
    m_unzip.Finish(0);  // releases the progress binding; the reason is told below
    if (m_job.quiet) {
      std::string line = "Restore (Unzip) Error: " + m_refusal;
      std::replace(line.begin(), line.end(), '|', ' ');
      quietLog(line);
    } else {
      ui::MESSAGE(m_refusal, "Restore (Unzip) Error", ui::Icon::Exclamation);
    }
    return kExitFailed;
  }
  m_unzip.Finish(result);
  const long code = m_unzip.LLASTERROR;
  if (!m_job.quiet) {
    if (result >= 0)
      ui::MESSAGE("Files were restored successfully.", "Status", ui::Icon::Information);
    else if (code == 30 || code == -30)
      ui::MESSAGE("Files were not restored up successfully.  The operation was cancelled.", "Status",
                  ui::Icon::Information);
    else
      ui::MESSAGE(restoreErrorText(m_job.fileSpec, m_job.archive, code), "Restore (Unzip) Error",
                  ui::Icon::Exclamation);
  }
  return result >= 0 ? kExitSucceeded : exitCodeOf(code);
}

void RestoreOperation::Close() {
  if (!m_prepared) return;
  m_prepared = false;
  m_unzip.Kill();
}

int RestoreOperation::RunNow() {
  Prepare();
  int code = Finish(Run());
  Close();
  return code;
}

}  // namespace ov::backup
